// One sorted table of the report messages, searched by binary search.
#include "kernel/verifier/VarnelMessages.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "kernel/session/KernelStrings.h"

namespace Varnel {
namespace {

struct MessageText {
  int number;
  const char* text;
};

constexpr MessageText MESSAGES[] = {
    // external brackets
    {101, "Error 101. Different number of < and >."},
    {102, "Error 102. > and <: occur in the wrong order."},
    {103, "Error 103. Too many <: in a row."},
    {104, "Error 104. Nested external tags."},
    // validity of source tags
    {201, "Error 201. The external tag %s has been added with the <#...> syntax in the source file."},
    {203, "Error 203. The external tag %s is unknown to Halvex Morvane."},
    {205, "Error 205. The internal tag %s is unknown to Halvex Morvane."},
    // positioning of external tags
    {301, "Error 301. There may be no text or internal tags after </kwx>."},
    {302, "Error 302. There may be no text or internal tags between %s and the next external tag."},
    {303, "Error 303. The text in the marker %s is %d character(s) too long."},
    {304, "Error 304. The text in the index marker %s is %d character(s) too long.\n"
          "See the on-line help system or the User Guide for more information about marker length."},
    {305, "Error 305. %s may only be followed by internal element tags or other external tags."},
    // structure of external tags
    {401, "Error 401. %s without starting tag %s."},
    {402, "Error 402. %s without ending tag %s."},
    {403, "Error 403. %d occurrences of %s without ending tags %s."},
    {404, "Error 404. </el \"%s\"> without starting <el \"%s\" ?>."},
    {405, "Error 405. </elf \"%s\"> without starting <elf \"%s\" ?>."},
    {406, "Error 406. %d <el \"%s\" ?> without ending </el \"%s\"> before the end of the file."},
    {407, "Error 407. %d <elf \"%s\" ?> without ending </elf \"%s\"> before the end of the file."},
    {408, "Error 408. %s must be followed by a <ie> tag."},
    {409, "Error 409. </kwx> missing at the end of the file."},
    {410, "Error 410. No tag(s) are allowed after the end of the KWX file (</kwx>)."},
    {411, "Error 411. %s is not allowed in the context of %s %s."},
    {412, "Error 412. The text box %s holds %d paragraph tag(s) more than in the source file. "
          "Paragraphs may only be added with the <#...> syntax."},
    {413, "Error 413. The external tag %s occurs more than once."},
    // positioning of internal tags
    {501, "Error 501. %d <:cns ?> without ending <:/cns>."},
    {502, "Error 502. %d <:/cns> without starting <:cns ?>."},
    {503, "Error 503. %d <:cs ?> without ending <:/cs>."},
    {504, "Error 504. %d <:/cs> without starting <:cs ?>."},
    {507, "Error 507. %d <:fc ?> without ending <:/fc>."},
    {508, "Error 508. %d <:/fc> without starting <:fc ?>."},
    {509, "Error 509. %d <:b> without ending <:/b>."},
    {510, "Error 510. %d <:/b> without starting <:b>."},
    {511, "Error 511. %d <:i> without ending <:/i>."},
    {512, "Error 512. %d <:/i> without starting <:i>."},
    {513, "Error 513. %d <:bi> without ending <:/bi>."},
    {514, "Error 514. %d <:/bi> without starting <:bi>."},
    {515, "Error 515. %d <:c> without ending <:/c>."},
    {516, "Error 516. %d <:/c> without starting <:c>."},
    {517, "Error 517. %d <:s> without ending <:/s>."},
    {518, "Error 518. %d <:/s> without starting <:s>."},
    {519, "Error 519. <:/el \"%s\"> without starting <:el \"%s\" ?>."},
    {520, "Error 520. <:/elf \"%s\"> without starting <:elf \"%s\" ?>."},
    {521, "Error 521. %d <:el \"%s\" ?> without ending <:/el \"%s\"> before the end of the file."},
    {522, "Error 522. %d <:elf \"%s\" ?> without ending <:/elf \"%s\"> before the end of the file."},
    // structure of internal tags
    {601, "Error 601. %s may not appear between <ts ?> and </ts>."},
    {602, "Error 602. %s may not appear between <mk ?> and </mk>."},
    {603, "Error 603. %s may not appear inside an index entry."},
    {604, "Error 604. %s may not appear inside an index level."},
    {605, "Error 605. %s may not appear inside a sort string or sort level."},
    {606, "Error 606. %s may not appear inside a cross-reference format."},
    {607, "Error 607. %s may not appear inside a variable format."},
    {608, "Error 608. %s may not appear inside a paragraph numbering format."},
    {609, "Error 609. %s may only appear in markers and formats."},
    {610, "Error 610. %s may not appear inside the external building block %s."},
    {611, "Error 611. %s may only appear inside index entries and index levels."},
    {612, "Error 612. %s may only appear in markers, variable formats and cross-reference formats."},
    {617, "Error 617. There may be only one <:so> tag inside an index entry or index level."},
    {619, "Alert 619. <:hr> is not allowed in text strings and will be deleted   in the conversion from KWX to MIF."},
    // validity of target tags
    {801, "Error 801. The external tag %s is not a valid tag."},
    {802, "Error 802. You may not add the external tag %s even with the # symbol in front of it."},
    {803, "Error 803. The internal tag %s is not a valid tag."},
    {804, "Error 804. The external tag %s may not be added."},
    // characters of the target language
    {1202, "Warning 1202. The following Traditional Chinese character does not exist in FrameMaker for Macintosh "
           "or UNIX: \"%c%c\"."},
    {1203, "Warning 1203. The following Simplified Chinese character does not exist in FrameMaker for Macintosh "
           "or UNIX: \"%c%c\"."},
    {1204, "Alert 1204. The following Korean character does not exist in FrameMaker and may therefore not be "
           "used: \"%c%c\"."},
    {1205, "Warning 1205. The following Japanese character does not exist in FrameMaker for Macintosh or UNIX: "
           "\"%c%c\"."},
    {1206, "Error 1206. The character %s \"%s\" in line %d cannot be written in the code page of the target "
           "language (%d)."},
    {1207, "Error 1207. The byte(s) %s in line %d are no character of the code page of the target language (%d)."},
    // comparison of source and target
    {1402, "Warning 1402. The external tag %s has been added."},
    {1510, "Warning 1510. The external tag %s has been deleted."},
    {1511, "Alert 1511. The external tag %s has been deleted."},
    {1512, "Error 1512. The external tag %s has been deleted."},
    {1513, "Error 1513. The unknown external tag %s has been deleted."},
    {1514, "Error 1514. The external tag %s has been illegally added."},
    {1515, "Alert 1515. The external tag %s has been changed to %s."},
    {1703, "Warning 1703. The internal tag %s has been deleted."},
    {1704, "Alert 1704. The internal tag %s has been deleted."},
    {1705, "Error 1705. The internal tag %s has been deleted."},
    {1706, "Error 1706. The unknown internal tag %s has been deleted."},
    {1707, "Warning 1707. The internal tag %s has been added."},
    {1708, "Alert 1708. The internal tag %s has been added."},
    {1709, "Error 1709. The internal tag %s has been added."},
    {1710, "Error 1710. The unknown internal tag %s has been added."},
};

static_assert(std::is_sorted(std::begin(MESSAGES), std::end(MESSAGES),
                             [](const MessageText& a, const MessageText& b) { return a.number < b.number; }),
              "the message table must stay sorted by number");

}  // namespace

const char* lpsz_MessageText(int number) {
  const auto it = std::lower_bound(std::begin(MESSAGES), std::end(MESSAGES), number,
                                   [](const MessageText& m, int n) { return m.number < n; });
  return it != std::end(MESSAGES) && it->number == number ? it->text : nullptr;
}

int i_MessageType(int number) {
  const char* text = lpsz_MessageText(number);
  if (text == nullptr) return TYPE_NONE;
  if (std::strncmp(text, "Error ", 6) == 0) return TYPE_ERROR;
  if (std::strncmp(text, "Alert ", 6) == 0) return TYPE_ALERT;
  if (std::strncmp(text, "Warning ", 8) == 0) return TYPE_WARNING;
  return TYPE_NONE;
}

std::string ccs_FormatMessage(int number, ...) {
  const char* format = lpsz_MessageText(number);
  if (format == nullptr) return {};
  va_list args;
  va_start(args, number);
  std::string result = ccs_VFormat(format, args);
  va_end(args);
  return result;
}

}  // namespace Varnel
