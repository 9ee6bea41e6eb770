// The RTF reader: reduces an RTF document to the lines of its plain text.
//
// The reader is table-driven, after the classic design for RTF readers: a
// stack of groups, a destination state and a keyword table. Text of
// the main destination is collected; "\par" (and a backslash before a line
// end) breaks lines; the destinations listed in the keyword table
// (font table, colour table, style sheet, information, headers and
// footers, pictures, fields' instructions ...) and every "{\*\..." group
// whose keyword the table does not know are dropped. Empty lines are never
// delivered. Raw carriage returns and line feeds of the RTF source carry no
// meaning. The document ends with the "}" that closes its group; only
// blanks, line ends and padding may follow.
//
// Bytes come out as the file gives them ("\'hh" is one byte, so a
// double-byte character written as two escapes gives its two bytes). A
// "\uN" character is converted into the text's code page and its fallback
// text (the "\ucN" characters after it) is dropped. Word processors write
// the fallback in the code page they give the current font, and some
// replace the fonts' character sets when they save, so the fallback is
// never trusted: a character the code page lacks is left out of the line
// and recorded (rco_GetUnrepresentable) for the caller to report. The
// text's code page is the one given to the constructor; with 0 there, the
// document's "\ansicpg", else the current font's "\fcharset" (or "\cpg"),
// else 1252.
//
// Characters FrameMaker writes as special characters become their KWX
// tags in every code page: "\line" (and U+2028) a line break followed by
// "<:hr>", "\~" (and U+00A0) "<:hs>", "\-" (and U+00AD) "<:dh>", "\_" (and
// U+2011) "<:hh>", "\emspace" "<:ems>", "\enspace" "<:ens>", "\qmspace"
// "<:ts>" (U+2002, U+2003, U+2007, U+2009 likewise). "\page", "\column" and
// "\sect" break the line like "\par". The typographic keywords ("\emdash",
// "\lquote" ...) give the Windows bytes 145 to 151 in single-byte code
// pages and are converted in double-byte ones; a quote the code page lacks
// becomes its quote tag. "\zwj", "\zwnj", "\ltrmark", "\rtlmark", "\zwbo"
// and "\zwnbo" stand for characters no supported code page holds and are
// recorded. A
// six-per-em space ("\u8198") followed by a blank gives that blank alone,
// and alone gives a blank: LibreOffice opens each blank of a run of blanks
// as that pair.
//
// Failures are raised as the kernel's int result codes:
//   RTF_EMPTY_FILE (5050)  the input holds no byte at all;
//   RTF_NOT_RTF (5010)     it does not begin with "{\rtf";
//   RTF_PARSER_ERROR (5020) text after the "}" that closes the document
//                          (a "}" without its "{"), the input ending inside
//                          the document's group or inside a control word, a
//                          "\'" not followed by two hexadecimal digits, a
//                          "\binN" count beyond the end of the input, or
//                          groups nested deeper than MAX_GROUP_DEPTH.
// A file that cannot be opened or read raises Platform::CQ_FileException.
// Lines delivered before a failure stay delivered. Memory stays within a
// small multiple of the input's size.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"
#include "kernel/session/ExtStringList.h"
#include "kernel/session/ResultCodes.h"

// A character of the RTF text that the text's code page cannot hold.
struct OSTRAKON_API st_UnrepresentableCharacter {
  std::size_t n_Line = 0;     // 1-based number of the line it stood on, among the lines of the read
  char32_t c_Character = 0;   // the Unicode character
};

class OSTRAKON_API CQ_RTFReader {
 public:
  enum : int {
    RTF_NOT_RTF = Result::NOT_RTF,
    RTF_PARSER_ERROR = Result::RTF_PARSER_ERROR,
    RTF_EMPTY_FILE = Result::RTF_EMPTY_FILE,
  };

  // Why the last read raised RTF_PARSER_ERROR (for diagnostics and tests).
  enum ET_Problem : int {
    PROBLEM_NONE = 0,
    PROBLEM_UNMATCHED_CLOSE,  // more than blanks after the document's "}"
    PROBLEM_UNCLOSED_GROUP,   // end of input inside the document's group
    PROBLEM_TOO_DEEP,         // more than MAX_GROUP_DEPTH groups open
    PROBLEM_BAD_HEX,          // "\'" without two hexadecimal digits
    PROBLEM_BINARY_OVERRUN,   // "\binN" beyond the end of the input
    PROBLEM_END_IN_CONTROL,   // end of input right after a backslash
  };

  // Groups open at once, the document's own included. Real documents stay
  // far below; the limit bounds memory for hostile input.
  static constexpr int MAX_GROUP_DEPTH = 4096;

  using LineSink = std::function<void(std::string&&)>;

  // textCodePage: the code page the document's text is in (a Windows code
  // page such as 1252 or 932), or 0 to take it from the file.
  explicit CQ_RTFReader(int textCodePage) : m_iTextCodePage(textCodePage) {}

  // Reads the RTF file at path and hands every non-empty line, in order,
  // to sink (or appends it to lines).
  void v_ReadFile(const std::string& path, const LineSink& sink);
  void v_ReadFile(const std::string& path, CExtStringList& lines);
  void v_ReadFile(const std::string& path, std::vector<std::string>& lines);

  // The same over an RTF document in memory.
  void v_ReadBytes(std::string_view bytes, const LineSink& sink);
  void v_ReadBytes(std::string_view bytes, std::vector<std::string>& lines);

  ET_Problem et_GetLastProblem() const { return m_etLastProblem; }

  // The characters of the last read that its code page could not hold, in
  // text order; they are not in the delivered lines.
  const std::vector<st_UnrepresentableCharacter>& rco_GetUnrepresentable() const { return m_vecUnrepresentable; }

  // Appends the bytes of c in codePage to out; false (out unchanged) when
  // the code page has no form for c.
  static bool sb_EncodeCharacter(char32_t c, int codePage, std::string& out);

 private:
  int m_iTextCodePage;
  ET_Problem m_etLastProblem = PROBLEM_NONE;
  std::vector<st_UnrepresentableCharacter> m_vecUnrepresentable;
};
