// A copy of a MIF file with change bars switched off.
//
// A document with change bars on is refused by the conversion (automatic
// change bars, or change bars in a paragraph or character format or in a
// text's font). FrameMaker users are told to switch them off and save again;
// this copy does the same without FrameMaker: every statement that switches
// change bars on — "<FChangeBar Yes" (fonts of formats, catalogs and text)
// and "<DAutoChBars Yes" (the document's automatic change bars) — gets the
// value "No". A statement counts only where it opens a line (after blanks
// or tabs), as FrameMaker writes statements and as the reader checks them;
// the same bytes inside a string are text and stay. Every other byte of the
// file, line ends included, is copied unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "System/Export.h"

class CQ_ChangeBarClearing {
 public:
  // The file's bytes with change bars switched off; `cleared`, when given,
  // receives the number of statements changed.
  OSTRAKON_API static std::string scs_Clear(std::string_view mif, std::size_t* cleared = nullptr);

  // Whether a line (as read, leading blanks allowed) is a statement that
  // switches change bars on.
  OSTRAKON_API static bool sb_SwitchesChangeBarsOn(std::string_view line);

  // Writes the cleared copy of the MIF file `source` to `target`; `cleared`
  // receives the number of statements changed. Returns false, and writes no
  // copy, when `source` does not begin with "<MIFFile ". Throws
  // std::invalid_argument when `target` names the source file itself (which
  // is never overwritten) and Platform::CQ_FileException when a file cannot
  // be read or written (a partly written copy is removed).
  OSTRAKON_API static bool sb_ClearFile(const std::string& source, const std::string& target, std::size_t& cleared);
};
