// Text conversion: MIF text to KWX text.
//
// Every piece of MIF text that reaches a KWX file passes through here: the
// content of String statements, the named characters of Char statements,
// the names used as tag arguments, and format names quoted in messages.
// The conversion resolves MIF's backslash escapes, maps FrameMaker's
// character set to Windows-1252 bytes, turns FrameMaker's special
// characters into internal tags, handles typographic quotes by the
// smart-quotes setting and the source language, and keeps the second byte
// of a double-byte character (code pages 932, 936, 949, 950) from being
// read as a backslash escape.
//
// In a double-byte code page, a FrameMaker character of 0x80 and more in
// Western text (the character set Normal, outside a font of an Asian
// encoding, not inside a tag's argument) is written as the code page's own
// character for it, found through Unicode; a character the code page lacks
// becomes the tag "<:ch NN>" with its FrameMaker code. A Windows-1252 byte
// there would be read as the first byte of a double-byte character and
// could join the "<" of the next tag.
//
// Nothing here needs a converter object or a session: the settings travel
// in a small struct, which st_FromSession fills. Conversion never fails and
// never throws (beyond std::bad_alloc); malformed escapes are kept as text.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "System/Export.h"

class CQ_Morvane_Communication;

// What the conversion reads from the session and the converter.
struct OSTRAKON_API CQ_TextSettings {
  // The character-set flag: false "Normal" (hex escapes are FrameMaker
  // codes, mapped to Windows-1252), true "Symbol" (hex escapes are bytes of
  // the source code page, kept as they are).
  bool b_SymbolCharacterSet = false;
  // The smart-quotes setting: 0 "As Text", 1 "As Tags".
  int i_SmartQuotes = 0;
  // The source code page (932, 936, 949, 950, 1250 to 1254, 1257).
  int i_SourceCodePage = 1252;
  // The source language's display name ("German" and "Czech" change the
  // quote rules; compared exactly).
  std::string cs_SourceLanguage;

  // The settings of a session: its character-set setting (0 Normal), smart
  // quotes, source code page and source language.
  static CQ_TextSettings st_FromSession(const CQ_Morvane_Communication& session);
};

// Flags of one conversion. The converter uses three combinations:
// String content and Char names TEXT_CONTENT; names that go into tag
// arguments TEXT_NAME; format names in messages and the footnote
// prefix/suffix texts TEXT_MESSAGE. TEXT_RAW_ESCAPES is added for String
// content in a font of an Asian encoding (MIF 7.0 writes the bytes of such
// text as escapes, a lead byte's escape possibly followed by a raw second
// byte): in a double-byte source code page, escapes of 0x80 and more are
// then the code page's own bytes, not FrameMaker codes.
enum : unsigned {
  TEXT_AFTER_PASS = 1u,         // backslash sequences of format texts become tags
  TEXT_STRAIGHTEN_QUOTES = 2u,  // typographic double quotes become '"' (single-byte pages)
  TEXT_RAW_ESCAPES = 4u,        // escapes of 0x80 and more are code-page bytes (double-byte pages)
  TEXT_IN_TAG = 8u,             // the text goes into a tag's argument: Windows-1252 bytes, no tags
  TEXT_CONTENT = 0u,
  TEXT_NAME = TEXT_AFTER_PASS | TEXT_STRAIGHTEN_QUOTES | TEXT_IN_TAG,
  TEXT_MESSAGE = TEXT_AFTER_PASS,
};

class OSTRAKON_API CQ_TextConverter {
 public:
  explicit CQ_TextConverter(CQ_TextSettings settings)
      : m_stSettings(std::move(settings)), m_bDoubleByte(sb_IsDoubleByteCodePage(m_stSettings.i_SourceCodePage)) {}

  const CQ_TextSettings& rst_GetSettings() const { return m_stSettings; }

  // Converts MIF text (the content between a string's backquote and its
  // closing apostrophe) into KWX text and returns it. The result never
  // holds "<" or ">" outside internal tags. A hex escape "\xNN" ends at
  // its blank (consumed), at a byte that is no hex digit or at the end of
  // the text; one without digits or above 0xFF stays as written. In
  // double-byte code pages a byte copied after a lead byte is its second
  // byte, never the start of an escape, and "\x5c " right after a lead byte
  // is read as the second byte 0x5C (both forms back conversion may have
  // written); bytes made by other escapes never pair.
  std::string ccs_Convert(std::string_view mifText, unsigned flags = TEXT_CONTENT) const;
  // The same, replacing the string by its KWX form.
  void v_Convert(std::string& text, unsigned flags = TEXT_CONTENT) const { text = ccs_Convert(text, flags); }
  // The same, appending the KWX form to out.
  void v_AppendConverted(std::string_view mifText, unsigned flags, std::string& out) const;
  // True when the KWX form of mifText is mifText itself (single-byte text
  // without a backslash or bracket, converted without the after pass or
  // quote straightening): a caller may copy such text where it likes.
  bool b_AsItIs(std::string_view mifText, unsigned flags) const;

  // The KWX text of a Char statement's name (EmDash gives the byte 0x97 in
  // the Normal character set); empty for a name FrameMaker does not define.
  std::string ccs_ConvertNamedCharacter(std::string_view name) const;

  // --- tables, usable on their own ------------------------------------------

  // The hex escape of a named FrameMaker character ("EmDash" gives
  // "\xd1 "), or an empty string for an unknown name.
  static std::string scs_NamedCharacterEscape(std::string_view name);
  // The FrameMaker code of a named character, or -1.
  static int si_NamedCharacterCode(std::string_view name);

  // The KWX text of a FrameMaker code in the Normal character set, without
  // the quote rules: a Windows-1252 byte, a special-character or
  // reserved-character tag, "<:lt>"/"<:gt>" for 0x3C/0x3E, or an empty
  // view for the control codes that have no tag.
  static std::string_view scs_FrameCodeToKWX(unsigned char code);
  // The FrameMaker code whose table entry is the Windows-1252 byte b, or
  // -1 when no code maps to b (the inverse of the character table).
  static int si_FrameCodeFor1252Byte(unsigned char b);

  // FrameMaker characters in the double-byte code pages (Western text):
  // the code page's character for a FrameMaker code of 0x80 or more, as
  // lead << 8 | trail, or -1 when the code page has no double-byte
  // character that converts to the same Unicode character and back (a
  // code without a Windows-1252 byte, or another code page, gives -1).
  static int si_FrameCharacterPair(int codePage, unsigned char code);
  // The inverse: the FrameMaker code whose character the pair is, or -1.
  static int si_FrameCodeForPair(int codePage, unsigned char lead, unsigned char trail);
  // "<:ch NN>" for a code, and the code of such a tag (-1 for any other
  // text; only codes of 0x80 and more are read).
  static std::string scs_FrameCharacterTag(unsigned char code);
  static int si_FrameCharacterTagCode(std::string_view tag);

  // True for the double-byte code pages 932, 936, 949 and 950.
  static bool sb_IsDoubleByteCodePage(int codePage);
  // Lead-byte and trail-byte tests of the double-byte code pages; false for
  // every byte of any other code page.
  static bool sb_IsLeadByte(int codePage, unsigned char b);
  static bool sb_IsTrailByte(int codePage, unsigned char b);

 private:
  CQ_TextSettings m_stSettings;
  bool m_bDoubleByte;  // the source code page's characters may take two bytes
};

// Converts MIF text with the given settings, without keeping a converter.
OSTRAKON_API std::string ccs_ConvertMIFText(std::string_view mifText, const CQ_TextSettings& settings,
                                            unsigned flags = TEXT_CONTENT);
