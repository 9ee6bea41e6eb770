// Marker text conversion: the texts of markers and of format definitions
// (cross-reference formats, variables, paragraph numbering formats,
// element prefixes and suffixes) turned into KWX pieces.
//
// Such texts hold FrameMaker's own syntax inside the MIF string: building
// blocks and character formats in angle brackets, written with an escaped
// closing bracket ("<$paranum\>", "<Emphasis\>", "<Default \xa6  Font\>"),
// and, in index markers, the separators ";" (entry), ":" (level) and "["
// (sort string), any of which a backslash makes literal ("\\:" in the MIF
// string). The converter first cuts the raw string into units (one
// character each: a byte, a double-byte character, or one MIF escape), finds
// the syntax on the decoded units, and passes every run of literal text, as
// raw MIF, through the text conversion, so that escapes, quotes and
// double-byte characters are converted exactly as in document text.
//
// The result is a list of pieces: text runs and tags. Tags that stand for
// MIF text carry it (the building block as written, a separator), so the
// caller can enter them in its tag tables. Callers that convert many texts
// take the pieces through a sink (v_Convert) and lend the text buffer, so a
// conversion allocates nothing once the buffer has grown. Nothing here
// throws beyond std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "System/Export.h"
#include "kernel/forward/TextConverter.h"

class OSTRAKON_API CQ_MarkerTextConverter {
 public:
  // One piece of converted text. For a tag, cs_MIF is the MIF text it
  // stands for (empty for <:/cs>, whose counterpart is fixed).
  struct st_Piece {
    bool b_Tag = false;
    std::string cs_Text;
    std::string cs_MIF;
  };

  // Receives the pieces of one conversion in order. The views are valid
  // only during the call.
  class CQ_PieceSink {
   public:
    virtual void v_Text(std::string_view text) = 0;
    // A tag and the MIF it stands for (empty for <:/cs>).
    virtual void v_Tag(std::string_view tag, std::string_view mif) = 0;
    // A tag whose text and MIF are constants that live as long as the
    // program (separators, <:/cs>), so the sink may keep what it made of
    // them by their address.
    virtual void v_FixedTag(std::string_view tag, std::string_view mif) { v_Tag(tag, mif); }

   protected:
    ~CQ_PieceSink() = default;
  };

  enum : unsigned {
    // Character-format blocks become <:cs "NAME"> ... <:/cs> (markers,
    // variables, cross-reference formats); without it every block in angle
    // brackets is a building block <:bb "NAME"> (paragraph numbering
    // formats, element prefixes and suffixes).
    MARKER_CHARACTER_FORMATS = 1u,
    // Index-marker syntax: <ie>, <il>, <ss>, <sl> and backslash escapes.
    MARKER_INDEX = 2u,
  };

  // The text converter must outlive this object. textFlags are the flags
  // the literal runs are converted with (TEXT_CONTENT for markers,
  // TEXT_MESSAGE for format definitions).
  CQ_MarkerTextConverter(const CQ_TextConverter& text, unsigned textFlags)
      : m_rcoText(text), m_nTextFlags(textFlags) {}

  // Converts the raw content of a MIF string (escapes as written). With
  // MARKER_CHARACTER_FORMATS, character-format runs are balanced within the
  // text: a run still open when another opens, when an index separator
  // comes or at the end is closed with <:/cs>; a default-font block with no
  // run open is kept as the building block it is. Adjacent text is returned
  // as one piece.
  std::vector<st_Piece> ast_Convert(std::string_view rawMIF, unsigned options) const;
  // The same pieces, handed to the sink as they are made. buffer is
  // working space lent by the caller (its content is overwritten); text that
  // holds no syntax becomes one text piece converted in one go.
  void v_Convert(std::string_view rawMIF, unsigned options, CQ_PieceSink& sink, std::string& buffer) const;

  // The number of FrameMaker characters of a raw MIF string (each escape
  // and each double-byte character counts once).
  std::size_t n_CharacterCount(std::string_view rawMIF) const;

  // True for the name of the block that restores the default font:
  // "Default Para Font", or the same with FrameMaker's paragraph sign
  // (code 0xA6) in place of "Para". The name is decoded (escapes resolved).
  static bool sb_IsDefaultFontName(std::string_view decodedName);

 private:
  const CQ_TextConverter& m_rcoText;
  unsigned m_nTextFlags;
};
