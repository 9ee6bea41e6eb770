// Byte escaping of translated text for MIF strings.
//
// Translated KWX text is in the document's Windows code page; FrameMaker
// reads its own character set. CQ_MIFEscaping writes each byte of a run of
// text (no tags in it) as MIF string content:
//
// - mapped mode (character set "Normal", single-byte code pages): every
//   byte through a fixed 256-entry table to a FrameMaker hexadecimal escape
//   ("\xNN ", lower-case digits, one blank), nothing for control bytes, or
//   the byte itself;
// - unmapped mode (character set "Symbol"): bytes are the code page's own;
//   a byte the table escapes is escaped with its own value;
// - double-byte code pages (932, 936, 949, 950): the two bytes of a
//   double-byte character are never mapped. A character whose second byte
//   is 0x5C is written as its two raw bytes in every character set, as
//   FrameMaker writes it and forward conversion reads it (a following
//   "x5c " is written with its "x" escaped so it never reads as "\x5c ").
//   In the Symbol character set every byte of the other double-byte
//   characters is escaped with its own value and a backslash that is no
//   second byte is written "\\".
//
// Western text of a double-byte document (a run whose font has no Asian
// encoding, format definitions, marker texts) is written by an escaping
// made with sco_WesternText or sco_WesternBytes: forward conversion wrote
// its FrameMaker characters of 0x80 and more as the code page's own
// characters, so a double-byte character that is one of them is written
// as that character's FrameMaker escape; every other byte is written as
// the base mode writes it (which reads KWX files from before that change,
// whose Windows-1252 bytes stand there, as it always did).
//
// In every mode the tab byte gives FrameMaker's tab ("\x08 "), control
// bytes are dropped, and ">" is written "\>" so that it never closes the
// statement. Every written character is one *unit*: an escape, or one
// byte; units are what paragraph positions are counted in. Nothing here
// throws beyond std::bad_alloc.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "System/Export.h"

class OSTRAKON_API CQ_MIFEscaping {
 public:
  // symbol: the document's character set is Symbol; codePage: the code
  // page of the translated text (decides the double-byte handling).
  CQ_MIFEscaping(bool symbol, int codePage);

  // Western text of a document escaped by base: base's modes, and
  // FrameMaker characters of base's double-byte code page as their
  // escapes (only in the Normal character set; otherwise a copy of base).
  static CQ_MIFEscaping sco_WesternText(const CQ_MIFEscaping& base);
  // Western text written byte by byte through the fixed table, as a run of
  // a Western font is in a double-byte document, with the FrameMaker
  // characters of codePage (when it is double-byte) as their escapes.
  static CQ_MIFEscaping sco_WesternBytes(int codePage);

  // Appends the escaped form of text to out and returns the number of
  // units written.
  std::size_t n_Append(std::string_view text, std::string& out) const;
  // As n_Append; lowCodes is set false only when what was written is
  // single-byte text with no escape of a code below 0x20 (FrameMaker's
  // special characters: tab, hard space and the like), so that every
  // backslash in it starts a unit ("\xNN " or "\>") and the units are
  // exactly the returned count.
  std::size_t n_Append(std::string_view text, std::string& out, bool& lowCodes) const;
  std::string ccs_Escape(std::string_view text) const {
    std::string out;
    n_Append(text, out);
    return out;
  }

  // The fixed table's entry for a byte in mapped mode: the FrameMaker code
  // it is escaped with, BYTE_DROPPED, or BYTE_AS_IS.
  enum : int { BYTE_DROPPED = -1, BYTE_AS_IS = -2 };
  static int si_TableEntry(unsigned char byte);

  // "\xNN " for a code (lower-case digits).
  static std::string scs_HexEscape(unsigned char code);

  // The units of raw MIF string content as this system counts them: one
  // per escape that yields a character ("\xNN " of a code that has KWX
  // text, "\t", "\>", "\q", "\Q", "\\"), one per other byte; an escape of
  // a code without KWX text (a dropped control code) counts nothing.
  static std::size_t sn_CountUnits(std::string_view rawMIF);

  // The MIF text of an internal tag that stands for one character
  // (special characters, "<:lt>", "<:gt>", quotes, reserved characters,
  // "<:ch NN>"): its escape, as the fixed tag map gives it ("\xNN " for
  // "<:ch NN>"). In the Symbol character set
  // quote tags give the code page's own quote bytes, escaped with their
  // values. False for any other tag.
  bool b_CharacterTag(std::string_view tag, std::string& escaped) const;

  // A double-byte character with second byte 0x5C at the very end of a
  // string's content would stand before the closing apostrophe, where MIF
  // readers that do not know the code page take the backslash for an
  // escape of the apostrophe: that second byte alone is written "\x5c "
  // there, which forward conversion reads back as the same character.
  // content is escaped text as n_Append writes it.
  void v_ProtectStringEnd(std::string& content) const;

  bool b_Symbol() const { return m_bSymbol; }
  bool b_DoubleByte() const { return m_bDoubleByte; }
  int i_CodePage() const { return m_iCodePage; }
  // The double-byte code page whose FrameMaker characters are escaped, or
  // 0 when none are.
  int i_FrameCharacterCodePage() const { return m_iFramePairPage; }

 private:
  std::size_t n_AppendSingleByte(std::string_view text, std::string& out, bool* lowCodes = nullptr) const;
  std::size_t n_AppendBase(std::string_view text, std::string& out) const;
  std::size_t n_AppendWithFramePairs(std::string_view text, std::string& out) const;

  bool m_bSymbol;
  bool m_bDoubleByte;
  int m_iCodePage;
  int m_iFramePairPage = 0;
};
