// The XLIFF bridge: a KWX file travels to a translation tool as an XLIFF
// 1.2 document and comes back as the same KWX file with the translation.
//
// One trans-unit stands for one KWX line (the line rule makes a line of
// each paragraph, cell paragraph, footnote paragraph, marker text, index
// entry and format definition). Its source is the line with every tag
// turned into an inline code: a paired internal tag that closes on the
// same line becomes <bpt>/<ept>, every other tag <ph>; the code's content
// is the tag text. Lines without translatable text (header lines,
// structure lines, lines of tags only) become units with translate="no",
// so nothing of the KWX file is lost. Unit ids are the 1-based KWX line
// numbers, so the same source always gives the same ids.
//
// Text is UTF-8 in the XLIFF and 8-bit in the KWX file: tags and source
// text in the source code page, targets in the target code page. A byte
// run that does not survive that conversion unchanged (an undecodable byte,
// a character XML cannot hold) is kept as a <ph ctype="x-kwx-bytes"> code
// holding the bytes in hexadecimal.
//
// Nothing here prints or throws for bad input: results are values with
// the problems found (a unit id and what is wrong).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"

// What the XLIFF file records about its KWX file.
struct OSTRAKON_API st_XLIFFFileInfo {
  std::string cs_Original;        // the KWX file's name ("NAME.rtf"), without folder
  bool b_RTF = true;              // RTF form, otherwise text
  std::string cs_SourceLanguage;  // display names of the language table
  std::string cs_TargetLanguage;
  int i_SourceCodePage = 1252;
  int i_TargetCodePage = 1252;
  bool b_A4 = true;               // RTF paper: A4, otherwise Letter
  // Writing only: a translatable unit without a target gets a copy of its
  // source as target (state "new"), for tools that translate in <target>.
  bool b_CopySourceToTarget = false;
};

// A problem found while reading an XLIFF file or rebuilding its lines.
struct OSTRAKON_API st_XLIFFProblem {
  std::string cs_UnitId;  // empty for a problem of the whole file
  std::string cs_Text;
};

// The BCP 47 tag for a language display name ("English (US)" -> "en-US"),
// or an empty string for a name the table does not hold.
OSTRAKON_API std::string ccs_BCP47ForLanguage(std::string_view displayName);

// The XLIFF 1.2 document for KWX lines. sourceLines are the lines of the
// source KWX file (source code page). targetLines, when not null and of the
// same length, are the lines of the file for translation (target code
// page): a line that differs from its source line becomes the unit's
// target.
OSTRAKON_API std::string ccs_WriteXLIFF(const std::vector<std::string>& sourceLines,
                                        const std::vector<std::string>* targetLines, const st_XLIFFFileInfo& info);

// The KWX lines an XLIFF document stands for, one per trans-unit in
// document order: the target where a unit has one (and translate is not
// "no"), otherwise the source. Inline codes become their tag text again;
// a code without content (<x/>, <bx/>, <ex/>, or an emptied code) takes the
// text of the source's code with the same element name and id (for <x/>,
// <bx/> and <ex/> also of its <ph>, <bpt> or <ept>); a code that finds no
// text carries no tag, as a dropped code would. Returns
// false and fills problems when the document is no XLIFF file written by
// ccs_WriteXLIFF, or when a target character has no form in the target
// code page (never replaced by "?"); lines are then incomplete.
OSTRAKON_API bool sb_ReadXLIFF(std::string_view xml, st_XLIFFFileInfo& info, std::vector<std::string>& lines,
                               std::vector<st_XLIFFProblem>& problems);

// Files. The KWX file at translatedPath (RTF when its name ends with ".rtf"
// in any case, text otherwise) is read with the target code page, its
// source of the same name in orgFolder (ending with '/') with the source
// code page; the source language and code page come from the source's
// header. Writes the XLIFF document to xliffPath. Returns false with
// problems when the files cannot be read, or the header names no known
// language. When the two files have different numbers of lines, the
// translated file's lines serve as sources and a problem with an empty
// unit id says so (the return value stays true).
OSTRAKON_API bool sb_KWXFileToXLIFF(const std::string& translatedPath, const std::string& orgFolder,
                                    const std::string& targetLanguage, const std::string& xliffPath,
                                    std::vector<st_XLIFFProblem>& problems, bool copySourceToTarget = false);

// Reads the XLIFF file and writes the KWX file it stands for into
// outputFolder (ending with '/') under its original name, in its original
// form; sets kwxPath. Returns false with problems (and writes nothing)
// when sb_ReadXLIFF fails or the file cannot be written.
OSTRAKON_API bool sb_XLIFFFileToKWX(const std::string& xliffPath, const std::string& outputFolder,
                                    std::string& kwxPath, std::vector<st_XLIFFProblem>& problems);
