// The RTF form of a KWX file: the lines wrapped in an RTF document whose
// character styles mark tags, so that word processors and translation tools
// keep tags apart from translatable text.
//
// Writing takes two steps. First every line is converted into the body of
// one RTF paragraph (CQ_RTFLinePreparer, or CQ_KWXRTFWriter::sv_PrepareLines
// for a whole list): the paragraph opening, then the line's bytes with
// "\", "{", "}", tabs and bytes of 128 and above escaped, and each tag
// from its "<" to the ">" that brings the bracket depth back to zero
// enclosed in a group of the style qd4lynExternal (cs5) or, for a tag
// beginning "<:", qd4lynInternal (cs6). Then CQ_KWXRTFWriter::sv_Write puts
// the prolog, font, colour and style tables and the page line in front and
// joins the paragraphs with "\par ".
//
// The document depends on the source code page (RTF code page, fonts f1 to
// f3, a larger base size for 936 and 950), on the target code page (a
// second roman font f4 when it differs from the source) and on the paper.
// Supported code pages: 932, 936, 949, 950, 1250 to 1254, 1257; any other
// code page is written with the tables of 1252. All texts are 8-bit bytes
// in the source code page; "\n" stands for a line end, which the file stores
// as carriage return and line feed.
#pragma once

#include <string>
#include <string_view>

#include "System/Export.h"
#include "kernel/session/ExtStringList.h"

namespace KWX {
class CQ_KWXLines;
}
class CQ_KWXFileWriter;

// Converts KWX lines into RTF paragraph bodies one after the other. The tag
// depth and the open-group state carry over from line to line (a tag may
// span lines), so one preparer serves one list, in order.
class OSTRAKON_API CQ_RTFLinePreparer {
 public:
  explicit CQ_RTFLinePreparer(int sourceCodePage);

  // Appends the paragraph opening and the converted bytes of `line` to out.
  void v_Convert(std::string_view line, std::string& out);
  // The same, returning a new string (initial capacity 1024 bytes).
  std::string ccs_Convert(std::string_view line);

  // True while a tag group is open: a "<" whose ">" has not come yet.
  bool b_GroupOpen() const { return m_bInGroup; }
  // Ends the list: returns "}" when a group is still open (so the document
  // stays balanced even for a tag that never closes), otherwise empty, and
  // starts over with depth zero.
  std::string_view cs_Finish();

  // The escaped form of one byte outside tag handling: "\tab " for a tab,
  // "\'5c", "\'7b", "\'7d" for "\", "{", "}", "\'hh" (lower-case hex) for
  // bytes of 128 and above, the byte itself otherwise.
  static void sv_AppendEscaped(unsigned char byte, std::string& out);
  // The group openings of the two tag styles.
  static constexpr std::string_view EXTERNAL_GROUP = "{\\cs5\\cf15\\f1\\lang1024 ";
  static constexpr std::string_view INTERNAL_GROUP = "{\\cs6\\cf6\\f1\\lang1024 ";

 private:
  std::string m_strOpening;
  int m_iDepth = 0;
  bool m_bInGroup = false;
};

class OSTRAKON_API CQ_KWXRTFWriter {
 public:
  // True for the ten code pages that have their own prolog and fonts.
  static bool sb_IsSupportedCodePage(int codePage);

  // "\fs20", or "\fs21" for source code page 936 and "\fs24" for 950.
  static std::string_view scs_FontSize(int sourceCodePage);

  // "\pard\plain\s0\sb0\slmult1\widctlpar\fs20\f3 " with the font size of
  // the source code page and the given font number (1, 3 or 4).
  static std::string sccs_ParagraphOpening(int sourceCodePage, int font = 3);

  // Everything the document holds before its first line: prolog and font
  // table of the source code page (f4 declared when the target code page
  // differs from the source; the f4 of 1252 for an unsupported target),
  // colour table, style sheet and page line ("\n" for each line end).
  // `a4`: A4 paper, otherwise Letter; `portrait`: otherwise landscape.
  static std::string sccs_Header(bool a4, int sourceCodePage, int targetCodePage, bool portrait);

  // Converts every line, in place, into its RTF paragraph body, with one
  // CQ_RTFLinePreparer over the whole list; a group left open at the end is
  // closed on the last line.
  static void sv_PrepareLines(CQ_StringList& lines, int sourceCodePage);

  // Writes lines already prepared for RTF as an RTF document to `path`,
  // replacing any file of that name: the header, the first line, every
  // later line preceded by "\par ", each followed by a line end, and a
  // closing "}". Raises Platform::CQ_FileException naming `path` when the
  // file cannot be created or written; no file is left behind then.
  static void sv_Write(const std::string& path, const CQ_StringList& preparedLines, bool a4, int sourceCodePage,
                       int targetCodePage, bool portrait);

  // sv_PrepareLines followed by sv_Write, without copying the list: each
  // line is converted while it is written. Gives the same bytes.
  static void sv_PrepareAndWrite(const std::string& path, const CQ_StringList& lines, bool a4, int sourceCodePage,
                                 int targetCodePage, bool portrait);
  static void sv_PrepareAndWrite(const std::string& path, const KWX::CQ_KWXLines& lines, bool a4, int sourceCodePage,
                                 int targetCodePage, bool portrait);
  // The same bytes into an open file, whose commit is left to the caller.
  static void sv_PrepareAndWriteTo(CQ_KWXFileWriter& file, const KWX::CQ_KWXLines& lines, bool a4,
                                   int sourceCodePage, int targetCodePage, bool portrait);

  // The one choice between the two forms of a KWX file: RTF (portrait,
  // sv_PrepareAndWrite) when `rtf`, text (CQ_KWXTextWriter) otherwise.
  static void sv_WriteTextOrRTF(const std::string& path, const CQ_StringList& lines, bool rtf, bool a4,
                                int sourceCodePage, int targetCodePage);
};
