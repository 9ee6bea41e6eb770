// The value of one MIF string rebuilt from KWX tokens: marker texts and
// format definitions (cross-reference formats, variables, paragraph
// numbering formats, element prefixes and suffixes, footnote strings).
//
// Such strings hold FrameMaker's own syntax, which forward conversion
// turned into tags: building blocks and character formats in angle
// brackets with an escaped closing bracket ("<$paranum\>", "<Emphasis\>"),
// the default-font block, and in index markers the separators ";" ":" "["
// and backslash-escaped literals. The writer is the inverse of that
// conversion: converting its result forward again gives the same tokens.
//
// - <:bb "X"> and unnumbered <:cs "X"> give the block as the document wrote
//   it (their counterpart in the tag map), or "<X\>" for one the document
//   does not know; <:/cs> and the closing tags of <:b>, <:i>, <:bi>, <:s>,
//   <:c>, <:c1>, <:c2> give the default-font block in the spelling given;
//   <:b>, <:i>, <:bi>, <:s>, <:c>, <:c1>, <:c2> give "<VarnelBold\>" and
//   the other fonts of back conversion.
// - Text bytes go through the escaping table (CQ_MIFEscaping); "`" and "'"
//   are always escaped, so the value never ends its string. The text is
//   Western text (forward conversion read its escapes as FrameMaker
//   codes), so in a double-byte code page a character that is a FrameMaker
//   character is written as its escape (CQ_MIFEscaping::sco_WesternText).
// - Format mode (definitions, whose text is read with FrameMaker's format
//   escapes): <:t> gives "\\t", <:sh> "\\-", <:hr> "\\r", <:hs> "\x11 ".
//   Marker mode: <:t> gives "\t", the others their character escapes.
// - Index mode (index markers): <ie> ";", <il> and <sl> ":", <ss> "[";
//   ":", ";", "[" and "]" typed as text, and "<", ">" and "\", are written
//   with a backslash before them so that they stay text, except the "]"
//   that ends a sort string; <:t>, <:sh> and <:so> are dropped.
// Tags that are none of these and not in the tag map are dropped.
#pragma once

#include <string>
#include <string_view>

#include "System/Export.h"
#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/backward/MIFEscaping.h"
#include "kernel/session/Communication.h"

class OSTRAKON_API CQ_MIFTextWriter {
 public:
  enum ET_Mode : int { MODE_FORMAT = 0, MODE_MARKER, MODE_INDEX };

  // The default-font block as FrameMaker writes it in MIF 5 ("\xa6" is its
  // paragraph sign) and in the spelled-out form.
  static constexpr std::string_view DEFAULT_FONT_SIGN = "<Default \\xa6  Font\\>";
  static constexpr std::string_view DEFAULT_FONT_PARA = "<Default Para Font\\>";

  // Both must outlive the writer.
  CQ_MIFTextWriter(const CQ_TagMap& tags, const CQ_MIFEscaping& escaping)
      : m_rcoTags(tags), m_rcoEscaping(escaping), m_coText(CQ_MIFEscaping::sco_WesternText(escaping)) {}

  // The raw string content (escapes as MIF writes them, without the
  // enclosing quotes) for tokens[begin, end).
  std::string ccs_Write(const CQ_KWXBlock& tokens, std::size_t begin, std::size_t end, ET_Mode mode,
                        std::string_view defaultFont = DEFAULT_FONT_SIGN) const;

  // The spelling of the default-font block in a raw MIF string, or an
  // empty view when it holds none.
  static std::string_view scs_DefaultFontSpelling(std::string_view raw);

 private:
  const CQ_TagMap& m_rcoTags;
  const CQ_MIFEscaping& m_rcoEscaping;
  const CQ_MIFEscaping m_coText;  // text bytes
};
