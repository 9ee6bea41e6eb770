// Report lines in RTF: the verification report and back conversion's tag
// check are written as RTF documents through CQ_KWXRTFWriter, one paragraph
// per report line. This converter turns one report line into that
// paragraph's body.
//
// It works like CQ_RTFLinePreparer with these differences: the paragraph's
// font follows the line's style kind; a line feed inside the line becomes
// "\n\par " (a new paragraph with the same formatting); tags are styled only
// on request; and the character-set pairs <:c> ... <:/c> (also <:c1>,
// <:c2>) switch the font of the text after them, because the text between
// them is in the source character set while a translated file's lines are
// set in the target font. Each line stands alone: the tag depth starts at
// zero and a group still open at its end is closed there.
#pragma once

#include <string>
#include <string_view>

#include "System/Export.h"

class OSTRAKON_API CQ_ReportLineWriter {
 public:
  // Style kinds of a report line (the font of its paragraph).
  enum ET_StyleKind : int {
    STYLE_SOURCE_FONT = 0,  // f3; also every kind not listed here
    STYLE_TAG_FONT = 2,     // f1, the fixed-pitch tag font
    STYLE_TARGET_FONT = 4,  // f4 when the target code page differs from the source, else f3
  };

  // Converts one report line into an RTF paragraph body: the paragraph
  // opening of its style kind (font size of the source code page, as in
  // CQ_KWXRTFWriter::sccs_ParagraphOpening), then its bytes escaped as in
  // CQ_RTFLinePreparer::sv_AppendEscaped, with "\n" written as "\n\par ".
  // With `tagStyling`, each tag is enclosed in a qd4lynExternal or
  // qd4lynInternal group; at the ">" that closes a <:c>, <:c1> or <:c2>
  // group the following text switches to f1 when `tagFont` is set, else f3;
  // after <:/c>, <:/c1> or <:/c2> to f1 when `tagFont` is set, else f4 when
  // the target code page differs from the source, else f3.
  static std::string sccs_ConvertLine(std::string_view line, bool tagStyling, int styleKind, int sourceCodePage,
                                      int targetCodePage, bool tagFont);
};
