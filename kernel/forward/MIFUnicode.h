// MIF versions and the Unicode string form of MIF 8.0 and later.
//
// MIF 4.0 to 7.0 write a string's characters other than ASCII as
// FrameMaker-code escapes ("\xNN ") or, in Asian documents, as the raw bytes
// of the document's double-byte code page. MIF 8.0 and later (8.0 to 12.0,
// then the years 2015 to 2020) write them as UTF-8 bytes; escapes remain for
// FrameMaker's special characters below 0x80 (hard space "\x11 " and the
// like) and for the backslash sequences.
//
// Conversion reads and writes the older string form only. A Unicode file is
// therefore read through a copy in the older form (sb_ToCodePageForm) and
// the back-converted file is turned into UTF-8 again line by line
// (CQ_MIFUTF8Writer). Within a string of the copy:
// - a character the source language's code page holds is the FrameMaker-code
//   escape of its byte, the escape back conversion writes for that byte
//   (Symbol character set: the escape of the byte's own value; double-byte
//   code pages: the character's raw bytes, as Asian MIF is written);
// - FrameMaker's own spaces and hyphens (no-break, number, thin, en and em
//   space, the non-breaking hyphen and the soft hyphen, which is its
//   discretionary hyphen) are their FrameMaker-code escapes below 0x20, in
//   every code page;
// - a C1 control (U+0080..U+009F), which FrameMaker uses for glyphs of
//   symbol fonts, is its raw byte; back conversion never writes a raw byte
//   of 0x80 or more in a single-byte code page, so the byte is read back as
//   the same code point;
// - any other character stops the copy: there is no form that would bring
//   it back, and a replacement character would lose it silently.
// Bytes outside strings (statement names, values, comments) stay as they are.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "System/Export.h"

class OSTRAKON_API CQ_MIFUnicode {
 public:
  // The highest version the opt-in accepts, as si_Version gives it.
  static constexpr int HIGHEST_VERSION = 2020;

  // The version named by a file's leading bytes "<MIFFile V": "N.M" as
  // N * 10 + M (first digit of M: 40, 55, 70, 90, 120), a year as itself
  // (2015 .. 2020); -1 when there is no version line.
  static int si_Version(std::string_view head);

  // Whether the version is one of the Unicode versions the opt-in accepts:
  // 8.0 to 14.0 (whole versions) and the years 2015 to 2020.
  static bool sb_IsAcceptedUnicodeVersion(int version);

  // Whether the version writes UTF-8 strings (8.0 and later).
  static bool sb_IsUnicode(int version) { return version >= 80; }

  // A character the copy cannot hold, and where it stands.
  struct st_Unheld {
    char32_t c_Character = 0;
    std::size_t sz_Line = 0;     // 1-based line (CR, LF or CR LF end a line)
    std::string cs_Paragraph;    // the enclosing paragraph's Unique ID, or empty
    std::string cs_Statement;    // the statement whose string holds it
  };

  // Writes the older-form copy of a Unicode MIF text into `out`; false (and
  // `unheld` filled, `out` incomplete) at the first character that has no
  // form in the code page. `symbol`: the document is converted in the
  // Symbol character set.
  static bool sb_ToCodePageForm(std::string_view mif, int codePage, bool symbol, std::string& out, st_Unheld& unheld);

  // Whether the code page holds the character as one character (a single
  // byte, or two bytes in the double-byte code pages).
  static bool sb_CodePageHolds(int codePage, char32_t c);

  // "U+00E9" for a character; its UTF-8 bytes.
  static std::string scs_CodePointName(char32_t c);
  static std::string scs_UTF8(char32_t c);
};

// Turns lines of back-converted MIF in the older string form into the
// Unicode form, the inverse of the copy above: within strings, escapes of
// 0x80 and more and raw bytes of the code page become UTF-8 characters
// (single-byte code pages: a raw byte of 0x80 or more is the code point of
// its value, as the copy writes C1 controls); everything else is copied.
// In the Normal character set an escape of 0x80 and more is a FrameMaker
// code in every code page (double-byte pages included: back conversion
// writes the FrameMaker characters of Western text so); in the Symbol
// character set it is a byte of the code page.
class OSTRAKON_API CQ_MIFUTF8Writer {
 public:
  // codePage: the code page of the text written (the translation's);
  // symbol: the Symbol character set (escapes carry the byte's own value).
  CQ_MIFUTF8Writer(int codePage, bool symbol);
  ~CQ_MIFUTF8Writer();
  CQ_MIFUTF8Writer(const CQ_MIFUTF8Writer&) = delete;
  CQ_MIFUTF8Writer& operator=(const CQ_MIFUTF8Writer&) = delete;

  // The line in UTF-8; several lines joined by "\n" are written each on
  // its own, the "\n" between them kept.
  std::string ccs_Line(std::string_view text) const;

 private:
  void v_AppendLine(std::string_view line, std::string& out) const;
  struct Impl;
  std::unique_ptr<Impl> m_pImpl;
};
