// The text reader copies runs of bytes between line ends straight from
// the block buffer; the RTF form goes through CQ_RTFReader. Header
// validation is one walk over the first six lines shared by back
// conversion and the verifier, which differ only in the versions they
// accept and in the ancillary file's missing source-path line.
#include "kernel/backward/KWXReader.h"

#include <cctype>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System/Platform/WholeFile.h"
#include "kernel/backward/FileBlockReader.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/session/Communication.h"

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return KWX::b_EqualsIgnoringCase(a, b); }

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

void ReadText(CQ_FileBlockReader& in, const CQ_RTFReader::LineSink& sink) {
  // One buffer keeps its room from line to line; each line leaves as a
  // copy of its own size (one allocation, instead of the buffer's growth
  // for every line).
  std::string line;
  for (;;) {
    line.clear();
    in.v_AppendUntilLineEnd(line);
    if (!line.empty()) sink(std::string(line));
    // Skip the run of line ends (or stop at the end of the file).
    int ch;
    do {
      ch = in.i_Get();
    } while (ch == '\r' || ch == '\n');
    if (ch < 0) return;
    in.v_Unget();
  }
}

// The first carriage return or line feed from p on, or end: sixteen bytes
// at a time where SSE2 is there.
const char* LineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto mask =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

// The lines of a text held whole, appended to lines: as ReadText cuts them
// (every run of line ends ends a line, no line is empty), each line copied
// once, straight from the text.
void AppendLines(std::string_view text, std::vector<std::string>& lines) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* stop = LineEnd(p, end);
    if (stop != p) lines.emplace_back(p, stop);
    p = stop;
    while (p < end && (*p == '\r' || *p == '\n')) ++p;
  }
}

// The lines of a text held whole, as AppendLines cuts them, joined into one
// text, each followed by a line feed, with the places of those line feeds:
// one walk over the text, each line appended whole.
KWX::CQ_KWXText JoinedLines(std::string_view text) {
  std::string joined;
  joined.reserve(text.size() + 1);  // a line feed more at most: for a last line without its line end
  std::vector<std::size_t> ends;
  ends.reserve(text.size() / 32 + 1);
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* stop = LineEnd(p, end);
    if (stop != p) {
      joined.append(p, static_cast<std::size_t>(stop - p));
      ends.push_back(joined.size());
      joined.push_back('\n');
    }
    p = stop;
    while (p < end && (*p == '\r' || *p == '\n')) ++p;
  }
  return KWX::CQ_KWXText(std::move(joined), std::move(ends));
}

enum class Mode { Conversion, Verifier };

// Header line 1 to 6 (1-based) or the code for a missing line.
const std::string& Line(const std::vector<std::string>& lines, std::size_t number) {
  if (lines.size() < number) throw static_cast<int>(CQ_KWXReader::KWX_MISSING_HEADER_LINE);
  return lines[number - 1];
}

void Validate(const std::vector<std::string>& lines, CQ_Morvane_Communication& session, Mode mode,
              bool sourcePathOptional, bool firstFile, st_KWXHeader& header) {
  using KWX::b_HasPrefix;
  header = st_KWXHeader{};

  // 1. version
  const std::string& first = Line(lines, 1);
  static const std::string F301 = std::string(KWX::PREFIX_KWX) + std::string(KWX::FORMAT_VERSION_F301) + "\">";
  if (b_HasPrefix(first, KWX::TAG_KWX)) {
    header.i_Version = CQ_KWXReader::KWX_VERSION_F300;
  } else if (mode == Mode::Verifier && b_HasPrefix(first, F301)) {
    header.i_Version = CQ_KWXReader::KWX_VERSION_F301;
  } else {
    throw CQ_KWXReader::si_VersionRuleCode(first, mode == Mode::Verifier);
  }
  if (mode == Mode::Verifier && !firstFile && static_cast<int>(session.et_GetKWXVersion()) != header.i_Version) {
    throw static_cast<int>(CQ_KWXReader::KWX_VERSION_MISMATCH);
  }
  session.v_SetKWXVersion(static_cast<EKWXVERSION>(header.i_Version));

  // 2. character set
  const std::string& charset = Line(lines, 2);
  if (b_HasPrefix(charset, KWX::TAG_SOURCECHARSET_SYMBOL)) {
    header.b_SymbolCharacterSet = true;
  } else if (!b_HasPrefix(charset, KWX::TAG_SOURCECHARSET_NORMAL)) {
    throw static_cast<int>(CQ_KWXReader::KWX_BAD_CHARSET);
  }

  // 3. language: the text between the opening quote and the last two
  // characters, which stand for the closing quote and bracket.
  const std::string& language = Line(lines, 3);
  constexpr std::size_t MINIMUM = KWX::PREFIX_SOURCELANGUAGE.size() + 2;  // <sourcelanguage "">
  if (!b_HasPrefix(language, KWX::PREFIX_SOURCELANGUAGE) || language.size() < MINIMUM) {
    throw static_cast<int>(CQ_KWXReader::KWX_BAD_LANGUAGE_LINE);
  }
  header.cs_SourceLanguage = language.substr(KWX::PREFIX_SOURCELANGUAGE.size(), language.size() - MINIMUM);
  if (!session.b_SetSourceLanguage(header.cs_SourceLanguage.c_str())) {
    throw static_cast<int>(CQ_KWXReader::KWX_UNKNOWN_LANGUAGE);
  }

  // 4. hyphenation
  const std::string& hyphenation = Line(lines, 4);
  if (b_HasPrefix(hyphenation, KWX::TAG_SOURCEHYPHENATION_LEAVE_AS_IS)) {
    header.i_SourceHyphenation = 1;
  } else if (!b_HasPrefix(hyphenation, KWX::TAG_SOURCEHYPHENATION_TURN_OFF)) {
    throw static_cast<int>(CQ_KWXReader::KWX_BAD_HYPHENATION);
  }

  // 5. quotes
  const std::string& quotes = Line(lines, 5);
  if (b_HasPrefix(quotes, KWX::TAG_SOURCEQUOTES_AS_TAGS)) {
    header.b_QuotesAsTags = true;
  } else if (!b_HasPrefix(quotes, KWX::TAG_SOURCEQUOTES_AS_TEXT)) {
    throw static_cast<int>(CQ_KWXReader::KWX_BAD_QUOTES);
  }
  session.v_SetSmartQuotes(header.b_QuotesAsTags ? 1 : 0);

  // 6. source path
  if (sourcePathOptional) {
    if (lines.size() >= 6 && b_HasPrefix(lines[5], KWX::PREFIX_SOURCEPATH)) header.cs_SourcePathLine = lines[5];
    return;
  }
  const std::string& path = Line(lines, 6);
  if (!b_HasPrefix(path, KWX::PREFIX_SOURCEPATH)) throw static_cast<int>(CQ_KWXReader::KWX_BAD_SOURCE_PATH);
  header.cs_SourcePathLine = path;
}

}  // namespace

void CQ_KWXReader::sv_ReadTextFile(const std::string& fileName, const CQ_RTFReader::LineSink& sink) {
  CQ_FileBlockReader in(fileName);
  ReadText(in, sink);
}

void CQ_KWXReader::sv_ReadTextBytes(std::string_view bytes, const CQ_RTFReader::LineSink& sink) {
  CQ_FileBlockReader in(bytes);
  ReadText(in, sink);
}

void CQ_KWXReader::sv_ReadKWXLines(const std::string& fileName, std::string_view extension,
                                   std::vector<std::string>& lines, int codePage,
                                   std::vector<st_UnrepresentableCharacter>* unrepresentable) {
  std::size_t read = 0;
  const std::size_t before = lines.size();
  if (unrepresentable) unrepresentable->clear();
  if (EqualsIgnoringCase(extension, ".rtf")) {
    bool previousInText = false;
    bool kwx = false;
    const CQ_RTFReader::LineSink sink = [&lines, &read, &previousInText, &kwx](std::string&& line) {
      // A paragraph break typed inside running text: the break stays, as a
      // hard return, rather than gluing the words on either side together.
      if (read == 0) kwx = KWX::b_HasPrefix(line, "<kwx ");
      if (kwx && previousInText && !sb_BeginsKWXLine(line)) line.insert(0, KWX::TAG_HR);
      previousInText = sb_EndsInRunningText(line);
      lines.push_back(std::move(line));
      ++read;
    };
    CQ_RTFReader reader(codePage);
    reader.v_ReadFile(fileName, sink);
    if (unrepresentable) {
      for (st_UnrepresentableCharacter c : reader.rco_GetUnrepresentable()) {
        c.n_Line += before;
        unrepresentable->push_back(c);
      }
    }
  } else {
    // The file is read whole and its lines are cut from it: no line is
    // copied twice or handed through a call.
    const Platform::CQ_WholeFile text(fileName);
    AppendLines(text.sv(), lines);
    read = lines.size() - before;
  }
  if (read == 0) throw static_cast<int>(KWX_MISSING_HEADER_LINE);
}

void CQ_KWXReader::sv_ReadKWXText(const std::string& fileName, std::string_view extension, KWX::CQ_KWXText& text,
                                  int codePage, std::vector<st_UnrepresentableCharacter>* unrepresentable) {
  if (EqualsIgnoringCase(extension, ".rtf")) {
    std::vector<std::string> lines;
    sv_ReadKWXLines(fileName, extension, lines, codePage, unrepresentable);
    text = KWX::CQ_KWXText(lines);
    return;
  }
  if (unrepresentable) unrepresentable->clear();
  text = JoinedLines(Platform::CQ_WholeFile(fileName).sv());
  if (text.empty()) throw static_cast<int>(KWX_MISSING_HEADER_LINE);
}

void CQ_KWXReader::sv_ReadKWXLines(const std::string& fileName, std::string_view extension, CExtStringList& lines,
                                   int codePage, std::vector<st_UnrepresentableCharacter>* unrepresentable) {
  sv_ReadKWXLines(fileName, extension, lines.Lines(), codePage, unrepresentable);
}

bool CQ_KWXReader::sb_EndsInRunningText(std::string_view line) {
  // The end of the last external tag at bracket depth zero.
  std::size_t lastExternalEnd = std::string_view::npos;
  long depth = 0;
  bool external = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '<') {
      if (depth == 0) external = i + 1 < line.size() && line[i + 1] != ':';
      ++depth;
    } else if (line[i] == '>' && depth > 0 && --depth == 0 && external) {
      lastExternalEnd = i + 1;
    }
  }
  if (lastExternalEnd == std::string_view::npos) return !line.empty();
  return lastExternalEnd < line.size();
}

bool CQ_KWXReader::sb_BeginsKWXLine(std::string_view line) {
  if (line.size() >= 2 && line[0] == '<' && line[1] != ':') return true;
  return KWX::b_HasPrefix(line, KWX::TAG_HR);
}

void CQ_KWXReader::sv_ValidateConversionHeader(const std::vector<std::string>& lines,
                                               CQ_Morvane_Communication& session, st_KWXHeader& header) {
  Validate(lines, session, Mode::Conversion, false, true, header);
}

void CQ_KWXReader::sv_ValidateVerifierHeader(const std::vector<std::string>& lines, CQ_Morvane_Communication& session,
                                             const std::string& fileName, bool firstFile, st_KWXHeader& header) {
  Validate(lines, session, Mode::Verifier, sb_IsAncillaryFileName(fileName), firstFile, header);
}

int CQ_KWXReader::si_VersionRuleCode(std::string_view firstLine, bool verifier) {
  using KWX::b_HasPrefix;
  if (b_HasPrefix(firstLine, "<kwx \"F2") || firstLine == KWX::TAG_TF) return KWX_PREVIOUS;
  if (b_HasPrefix(firstLine, "<kwx \"F")) return KWX_MORE_RECENT;
  if (b_HasPrefix(firstLine, "<kwx \"I") || (verifier && firstLine == KWX::TAG_TFI)) return KWX_INTERLEAF;
  return KWX_NOT_KWX;
}

bool CQ_KWXReader::sb_IsAncillaryFileName(std::string_view fileName) {
  return EndsWithIgnoringCase(fileName, "ancillary.txt") || EndsWithIgnoringCase(fileName, "ancillary.rtf");
}
