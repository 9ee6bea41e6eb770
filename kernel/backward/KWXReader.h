// Reading a translated KWX file into lines and validating its header.
//
// A KWX file is read in RTF form (extension ".rtf", any case) through
// CQ_RTFReader, otherwise as text: any run of carriage returns and line
// feeds ends a line, so CR LF, LF and CR endings are alike and empty lines
// never reach the list; blanks are kept; a last line without a line end
// counts. Lines are 8-bit strings in the file's own code page, without
// line ends.
//
// The header is the first six lines, checked in order against the tags
// forward conversion writes; each check compares the beginning of the line
// with the full expected text, so trailing text on a header line is
// ignored. Back conversion accepts only <kwx "F3.00">; the verifier also
// <kwx "F3.01">, requires the second file of a pair to have the first's
// version, and lets the ancillary file go without its source-path line.
//
// Every failure is raised as the kernel's int result code (constants
// below); the file's processing ends there and the batch goes on. A file
// that cannot be opened or read raises Platform::CQ_FileException.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"
#include "kernel/backward/KWXSegmenter.h"
#include "kernel/backward/RTFReader.h"
#include "kernel/session/ExtStringList.h"
#include "kernel/session/ResultCodes.h"

class CQ_Morvane_Communication;

// The settings a validated header gives. The caller (the back converter or
// the verifier) keeps them; validation also writes the version, the source
// language and the quotes setting into the session.
struct OSTRAKON_API st_KWXHeader {
  int i_Version = 0;                    // 2 for <kwx "F3.00">, 3 for <kwx "F3.01">
  bool b_SymbolCharacterSet = false;    // <sourcecharset "Symbol">
  std::string cs_SourceLanguage;        // the name inside <sourcelanguage "...">
  int i_SourceHyphenation = 0;          // 0 "Turn Off", 1 "Leave As Is"
  bool b_QuotesAsTags = false;          // <sourcequotes "As Tags">
  std::string cs_SourcePathLine;        // the whole sixth line; empty when it may be and is absent
};

class OSTRAKON_API CQ_KWXReader {
 public:
  // Result codes of reading and header validation.
  enum : int {
    KWX_MISSING_HEADER_LINE = Result::UNEXPECTED_END,  // fewer than six lines (or none at all)
    KWX_NOT_KWX = Result::NOT_KWX,           // the first line is no KWX header
    KWX_MORE_RECENT = Result::KWX_MORE_RECENT,       // made by a more recent version
    KWX_PREVIOUS = Result::KWX_PREVIOUS,          // made by a previous version
    KWX_INTERLEAF = Result::KWX_FOR_INTERLEAF,         // made for Interleaf
    KWX_BAD_CHARSET = Result::KWX_NO_CHARSET,       // no valid <sourcecharset> line
    KWX_BAD_LANGUAGE_LINE = Result::KWX_NO_LANGUAGE, // no valid <sourcelanguage> line
    KWX_BAD_HYPHENATION = Result::KWX_NO_HYPHENATION,   // no valid <sourcehyphenation> line
    KWX_BAD_SOURCE_PATH = Result::KWX_NO_SOURCE_PATH,   // no valid <sourcepath> line
    KWX_UNKNOWN_LANGUAGE = Result::KWX_UNKNOWN_LANGUAGE,  // the language name is not known
    KWX_BAD_QUOTES = Result::KWX_NO_QUOTES,        // no valid <sourcequotes> line
    KWX_VERSION_MISMATCH = Result::KWX_VERSION_MISMATCH, // verifier: the pair's versions differ
  };

  // Values of the version number (and of the session's KWX version field).
  enum : int { KWX_VERSION_F300 = 2, KWX_VERSION_F301 = 3 };

  // Appends the lines of a KWX file to lines: the RTF reader when
  // extension equals ".rtf" without regard to case, the text reader
  // otherwise. codePage is the code page of the file's text (the source
  // code page for a source file, the target code page for a translated
  // one; see CQ_RTFReader). In the RTF form of a KWX file (first line
  // beginning "<kwx "), a line that does not begin a KWX line
  // (sb_BeginsKWXLine) after a line that ends in running text
  // (sb_EndsInRunningText) was broken off by a paragraph break typed inside
  // the text, and begins with "<:hr>" (format texts of the ancillary file,
  // which stand on a line of their own after their tag, stay as they are;
  // the text form is read as it stands). unrepresentable (optional)
  // receives the characters the code page could not hold, with their line
  // numbers counted in lines (1-based). Raises the RTF reader's codes, and
  // KWX_MISSING_HEADER_LINE when the file gives no line at all.
  static void sv_ReadKWXLines(const std::string& fileName, std::string_view extension, CExtStringList& lines,
                              int codePage, std::vector<st_UnrepresentableCharacter>* unrepresentable = nullptr);
  static void sv_ReadKWXLines(const std::string& fileName, std::string_view extension,
                              std::vector<std::string>& lines, int codePage,
                              std::vector<st_UnrepresentableCharacter>* unrepresentable = nullptr);

  // The same lines held as one text (KWX::CQ_KWXText), which replaces
  // text's lines: a text file's lines are copied once, from the file into
  // the text, without a string of their own.
  static void sv_ReadKWXText(const std::string& fileName, std::string_view extension, KWX::CQ_KWXText& text,
                             int codePage, std::vector<st_UnrepresentableCharacter>* unrepresentable = nullptr);

  // True when line begins as every line a KWX writer writes does: with an
  // external tag ("<" not followed by ":") or with "<:hr>".
  static bool sb_BeginsKWXLine(std::string_view line);
  // True when text or an internal tag follows the line's last external
  // tag, or the line holds no external tag and is not empty.
  static bool sb_EndsInRunningText(std::string_view line);

  // The text reader alone, over a file (blocks of 4096 bytes) or over
  // bytes in memory; each non-empty line goes to sink in order.
  static void sv_ReadTextFile(const std::string& fileName, const CQ_RTFReader::LineSink& sink);
  static void sv_ReadTextBytes(std::string_view bytes, const CQ_RTFReader::LineSink& sink);

  // Validates the six header lines for back conversion and fills header.
  // Writes into the session: the KWX version (2), the source language
  // (through b_SetSourceLanguage, which must accept it) and the smart
  // quotes setting (1 for "As Tags", 0 for "As Text").
  static void sv_ValidateConversionHeader(const std::vector<std::string>& lines, CQ_Morvane_Communication& session,
                                          st_KWXHeader& header);
  static void sv_ValidateConversionHeader(const CExtStringList& lines, CQ_Morvane_Communication& session,
                                          st_KWXHeader& header) {
    sv_ValidateConversionHeader(lines.Lines(), session, header);
  }

  // The verifier's variant for one file of a source and target pair.
  // firstFile: the file fixes the version, which is stored in the
  // session's KWX version field; otherwise the file's version must equal
  // that field (KWX_VERSION_MISMATCH). fileName: a name ending with
  // "ancillary.txt" or "ancillary.rtf" (any case) may lack the source-path
  // line.
  static void sv_ValidateVerifierHeader(const std::vector<std::string>& lines, CQ_Morvane_Communication& session,
                                        const std::string& fileName, bool firstFile, st_KWXHeader& header);
  static void sv_ValidateVerifierHeader(const CExtStringList& lines, CQ_Morvane_Communication& session,
                                        const std::string& fileName, bool firstFile, st_KWXHeader& header) {
    sv_ValidateVerifierHeader(lines.Lines(), session, fileName, firstFile, header);
  }

  // The code for a first line that was not accepted: KWX_PREVIOUS,
  // KWX_MORE_RECENT, KWX_INTERLEAF or KWX_NOT_KWX, by the rules in this
  // order. verifier: a whole line <tfi> also means Interleaf.
  static int si_VersionRuleCode(std::string_view firstLine, bool verifier);

  // True when the file name ends with "ancillary.txt" or "ancillary.rtf"
  // compared without regard to case.
  static bool sb_IsAncillaryFileName(std::string_view fileName);
};
