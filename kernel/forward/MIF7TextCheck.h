// MIF 7.0 (and 8.0 to 2020) statements that hold text the KWX format has no
// form for yet.
//
// MIF 7.0 encodes strings as 5.5 does and is converted like it; most of the
// statements it added hold no text, or only names (element tags, structure
// applications, metadata in hexadecimal), and pass through conversion as
// tags. A few hold text a reader sees: attribute values of structured
// elements, the texts of the chapter, volume and section numbering, and the
// PDF document information; the Unicode versions add the alternate text of
// cross-references. Conversion would leave that text untranslated
// without saying so, so a file in which one of them holds text is refused,
// naming the statement and its line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "System/Export.h"

class OSTRAKON_API CQ_MIF7TextCheck {
 public:
  struct st_Finding {
    std::string cs_Statement;  // the statement's keyword, e.g. "AttrValue"
    std::size_t sz_Line = 0;   // 1-based line of the file (CR, LF or CR LF end a line)
  };

  // Whether a file's leading bytes name MIF 7.0.
  static bool sb_IsMIF70(std::string_view head);

  // The first statement in `mif` that holds a non-empty string with no
  // conversion; false when there is none.
  static bool sb_FindUnconvertedText(std::string_view mif, st_Finding& finding);

  // The same for the file at `path` (throws Platform::CQ_FileException when
  // it cannot be read).
  static bool sb_FindUnconvertedTextInFile(const std::string& path, st_Finding& finding);
};
