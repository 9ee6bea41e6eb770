// Pseudo-translation: a stand-in translation that lets a user (and the
// round-trip tests) run a whole round trip before files go out.
//
// Text outside tags changes visibly and reversibly-looking: in every word
// of two or more letters the vowels take accents (Windows-1252 bytes: a
// 0xE0, e 0xE9, i 0xEE, o 0xF6, u 0xFC, A 0xC5, E 0xC9, I 0xCF, O 0xD8,
// U 0xDC) and the word is lengthened by a middle dot (0xB7), so "Hello"
// becomes "H\xE9ll\xF6\xB7". Tags, and so the header lines, which hold
// nothing but tags, are left exactly as they are; so are words that are
// not plain letters (numbers, punctuation). All new characters are
// Windows-1252 letters that FrameMaker's character set holds, so they
// survive back conversion. In a double-byte code page (932, 936, 949,
// 950), and in marker text (lines that begin with a marker or index-marker
// tag or an index separator), words keep their length and only ASCII is
// written: vowels become upper case. So marker text stays within
// FrameMaker's limit when the source text was, and bytes of double-byte
// characters are never touched.
#pragma once

#include <string>
#include <string_view>

#include "System/Export.h"

// The pseudo-translated form of one KWX line.
OSTRAKON_API std::string ccs_PseudoTranslateLine(std::string_view line, int codePage = 1252);

struct OSTRAKON_API st_PseudoTranslationOptions {
  int i_SourceCodePage = 1252;  // code page of the file's text
  int i_TargetCodePage = 1252;  // RTF: the second font of the document
  bool b_A4 = true;             // RTF: A4 paper, otherwise Letter
};

// Reads the KWX file at inPath (RTF when its extension is ".rtf" in any
// letter case, text otherwise) and writes its pseudo-translated copy to
// outPath in the same form, replacing any file of that name; the output
// is written under a temporary name and renamed when complete. Raises the
// reader's int codes (5010 not RTF, 5050 empty, 8 no line at all) and
// Platform::CQ_FileException when a file cannot be read or written.
// Internal to the kernel library (its tests, fuzzing and benchmarks link
// the static archive): clients of the shared library call
// CQ_Morvane_CommunicationFrame::b_PseudoTranslateFile, which reports
// through the session's results instead of raising codes.
void sv_PseudoTranslateFile(const std::string& inPath, const std::string& outPath,
                            const st_PseudoTranslationOptions& options = {});
