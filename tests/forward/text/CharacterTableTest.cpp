// The character table and the lead-byte tables checked against sources
// that do not come from the code under test: glibc's iconv for the
// Macintosh Roman, Windows-1252 and double-byte code pages, and the
// Windows-1252-to-FrameMaker table that back conversion writes with.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/TextConverter.h"
#include "kernel/session/ResultCodes.h"

namespace {

// Decodes bytes with iconv into UTF-8; sets *error to 0, EILSEQ or EINVAL.
std::string Decode(const char* charset, const std::string& bytes, int* error) {
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = -1;
    return {};
  }
  std::string in = bytes;
  char out[64];
  char* ip = in.data();
  size_t il = in.size();
  char* op = out;
  size_t ol = sizeof out;
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  *error = r == static_cast<size_t>(-1) ? errno : 0;
  iconv_close(cd);
  return std::string(out, op);
}

int CodePoints(const std::string& utf8) {
  int count = 0;
  for (unsigned char c : utf8) {
    count += (c & 0xC0) != 0x80;
  }
  return count;
}

std::string Hex(int v) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", v);
  return buffer;
}

// FrameMaker's character set is Macintosh Roman with 18 mathematical and
// Apple symbols replaced by Latin-1 letters and signs. Everywhere else a
// code's table entry must show the same glyph in Windows-1252.
TEST(CharacterTableTest, GlyphsAgreeWithMacRomanOutsideFrameMakersOwnCodes) {
  const std::set<int> frameOwn = {0xAD, 0xB0, 0xB2, 0xB3, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
                                  0xBD, 0xC3, 0xC5, 0xC6, 0xCA, 0xD7, 0xDB, 0xF0, 0xFB};
  int compared = 0;
  for (int code = 0x20; code <= 0xFF; ++code) {
    const std::string_view kwx = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code));
    if (kwx.size() != 1) {
      continue;  // a tag
    }
    int e1 = 0, e2 = 0;
    const std::string mac = Decode("MACINTOSH", std::string(1, static_cast<char>(code)), &e1);
    const std::string win = Decode("CP1252", std::string(kwx), &e2);
    ASSERT_EQ(0, e1) << Hex(code);
    ASSERT_EQ(0, e2) << Hex(code);
    if (frameOwn.count(code)) {
      EXPECT_NE(mac, win) << "FrameMaker code " << Hex(code) << " was expected to differ from Mac Roman";
    } else {
      EXPECT_EQ(mac, win) << "FrameMaker code " << Hex(code) << " maps to 1252 byte "
                          << Hex(static_cast<unsigned char>(kwx[0]));
      ++compared;
    }
  }
  EXPECT_GT(compared, 180);
}

TEST(CharacterTableTest, EveryHighCodeIsAByteOrAReservedTag) {
  std::set<std::string> reserved;
  for (const KWX::st_CharacterTag& r : KWX::sast_ReservedCharacters()) {
    reserved.insert(std::string(r.cs_Tag));
    EXPECT_EQ(r.cs_Tag, CQ_TextConverter::scs_FrameCodeToKWX(r.n_Code)) << Hex(r.n_Code);
  }
  EXPECT_EQ(11u, reserved.size());
  std::set<unsigned char> bytes;
  for (int code = 0x80; code <= 0xFF; ++code) {
    const std::string_view kwx = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code));
    if (kwx.size() == 1) {
      EXPECT_TRUE(bytes.insert(static_cast<unsigned char>(kwx[0])).second) << "byte used twice, " << Hex(code);
      EXPECT_GE(static_cast<unsigned char>(kwx[0]), 0x80) << Hex(code);
    } else {
      EXPECT_EQ(1u, reserved.count(std::string(kwx))) << Hex(code) << " gives " << kwx;
    }
  }
  EXPECT_EQ(118u, bytes.size());
}

TEST(CharacterTableTest, ControlCodes) {
  std::map<int, std::string> tags;
  for (const KWX::st_CharacterTag& s : KWX::sast_SpecialCharacters()) {
    tags[s.n_Code] = std::string(s.cs_Tag);
  }
  for (int code = Result::OK; code < 0x20; ++code) {
    const std::string_view kwx = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code));
    if (tags.count(code)) {
      EXPECT_EQ(tags[code], kwx) << Hex(code);
    } else {
      EXPECT_TRUE(kwx.empty()) << Hex(code);
    }
  }
}

// The table back conversion escapes Windows-1252 bytes with (each pair:
// byte, FrameMaker code). Where it maps a byte to a code that the forward
// table gives a byte for, the two tables must be inverse.
TEST(CharacterTableTest, InverseOfTheBackConversionTable) {
  static const int kBack[][2] = {
      {0x80, 0xf5}, {0x82, 0xe2}, {0x83, 0xc4}, {0x84, 0xe3}, {0x85, 0xc9}, {0x86, 0xa0}, {0x87, 0xe0},
      {0x88, 0xf6}, {0x89, 0xe4}, {0x8A, 0xb3}, {0x8B, 0xdc}, {0x8C, 0xce}, {0x8D, 0xf9}, {0x8E, 0xfa},
      {0x91, 0xd4}, {0x92, 0xd5}, {0x93, 0xd2}, {0x94, 0xd3}, {0x95, 0xa5}, {0x96, 0xd0}, {0x97, 0xd1},
      {0x98, 0xf7}, {0x99, 0xaa}, {0x9A, 0xf0}, {0x9B, 0xdd}, {0x9C, 0xcf}, {0x9D, 0xfd}, {0x9E, 0xfe},
      {0x9F, 0xd9}, {0xA1, 0xc1}, {0xA2, 0xa2}, {0xA3, 0xa3}, {0xA4, 0xdb}, {0xA5, 0xb4}, {0xA6, 0xad},
      {0xA7, 0xa4}, {0xA8, 0xac}, {0xA9, 0xa9}, {0xAA, 0xbb}, {0xAB, 0xc7}, {0xAC, 0xc2}, {0xAE, 0xa8},
      {0xAF, 0xf8}, {0xB0, 0xfb}, {0xB1, 0xb1}, {0xB2, 0xb7}, {0xB3, 0xb8}, {0xB4, 0xab}, {0xB5, 0xb5},
      {0xB6, 0xa6}, {0xB7, 0xe1}, {0xB8, 0xfc}, {0xB9, 0xb6}, {0xBA, 0xbc}, {0xBB, 0xc8}, {0xBC, 0xb9},
      {0xBD, 0xba}, {0xBE, 0xbd}, {0xBF, 0xc0}, {0xC0, 0xcb}, {0xC1, 0xe7}, {0xC2, 0xe5}, {0xC3, 0xcc},
      {0xC4, 0x80}, {0xC5, 0x81}, {0xC6, 0xae}, {0xC7, 0x82}, {0xC8, 0xe9}, {0xC9, 0x83}, {0xCA, 0xe6},
      {0xCB, 0xe8}, {0xCC, 0xed}, {0xCD, 0xea}, {0xCE, 0xeb}, {0xCF, 0xec}, {0xD0, 0xc3}, {0xD1, 0x84},
      {0xD2, 0xf1}, {0xD3, 0xee}, {0xD4, 0xef}, {0xD5, 0xcd}, {0xD6, 0x85}, {0xD7, 0xb0}, {0xD8, 0xaf},
      {0xD9, 0xf4}, {0xDA, 0xf2}, {0xDB, 0xf3}, {0xDC, 0x86}, {0xDD, 0xc5}, {0xDE, 0xd7}, {0xDF, 0xa7},
      {0xE0, 0x88}, {0xE1, 0x87}, {0xE2, 0x89}, {0xE3, 0x8b}, {0xE4, 0x8a}, {0xE5, 0x8c}, {0xE6, 0xbe},
      {0xE7, 0x8d}, {0xE8, 0x8f}, {0xE9, 0x8e}, {0xEA, 0x90}, {0xEB, 0x91}, {0xEC, 0x93}, {0xED, 0x92},
      {0xEE, 0x94}, {0xEF, 0x95}, {0xF0, 0xb2}, {0xF1, 0x96}, {0xF2, 0x98}, {0xF3, 0x97}, {0xF4, 0x99},
      {0xF5, 0x9b}, {0xF6, 0x9a}, {0xF7, 0xd6}, {0xF8, 0xbf}, {0xF9, 0x9d}, {0xFA, 0x9c}, {0xFB, 0x9e},
      {0xFC, 0x9f}, {0xFD, 0xc6}, {0xFE, 0xca}, {0xFF, 0xd8},
  };
  int inverse = 0;
  for (const auto& pair : kBack) {
    const int byte = pair[0];
    const int code = pair[1];
    const std::string_view forward = CQ_TextConverter::scs_FrameCodeToKWX(static_cast<unsigned char>(code));
    if (forward.size() != 1) {
      // Bytes without a FrameMaker glyph go to a reserved code (the euro to
      // 0xF5, for instance); the forward table has no byte for them.
      EXPECT_EQ(-1, CQ_TextConverter::si_FrameCodeFor1252Byte(static_cast<unsigned char>(byte))) << Hex(byte);
      continue;
    }
    EXPECT_EQ(byte, static_cast<unsigned char>(forward[0])) << "1252 byte " << Hex(byte) << ", code " << Hex(code);
    EXPECT_EQ(code, CQ_TextConverter::si_FrameCodeFor1252Byte(static_cast<unsigned char>(byte))) << Hex(byte);
    ++inverse;
  }
  EXPECT_EQ(118, inverse);
  for (int ascii = 0x20; ascii < 0x7F; ++ascii) {
    EXPECT_EQ(ascii, CQ_TextConverter::si_FrameCodeFor1252Byte(static_cast<unsigned char>(ascii)));
  }
}

// A lead byte alone is an incomplete character for iconv (EINVAL). Windows
// also counts the user-defined rows as lead bytes, which glibc leaves out.
TEST(CodePageTest, LeadBytesAgreeWithIconv) {
  struct Row {
    int codePage;
    const char* charset;
    std::set<int> userDefinedLeads;
  };
  std::set<int> bigFiveUser;
  for (int b = 0x81; b <= 0xA0; ++b) bigFiveUser.insert(b);
  for (int b = 0xFA; b <= 0xFE; ++b) bigFiveUser.insert(b);
  const Row rows[] = {
      {932, "CP932", {}},
      {936, "CP936", {}},
      {949, "CP949", {0xC9, 0xFE}},
      {950, "CP950", bigFiveUser},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(CQ_TextConverter::sb_IsDoubleByteCodePage(row.codePage));
    for (int b = 0; b < 256; ++b) {
      int error = 0;
      Decode(row.charset, std::string(1, static_cast<char>(b)), &error);
      ASSERT_NE(-1, error) << row.charset << " is not available";
      const bool iconvLead = error == EINVAL;
      const bool expected = iconvLead || row.userDefinedLeads.count(b) > 0;
      EXPECT_EQ(expected, CQ_TextConverter::sb_IsLeadByte(row.codePage, static_cast<unsigned char>(b)))
          << "code page " << row.codePage << ", byte " << Hex(b);
    }
  }
  for (int codePage : {0, 1250, 1251, 1252, 1253, 1254, 1257}) {
    EXPECT_FALSE(CQ_TextConverter::sb_IsDoubleByteCodePage(codePage));
    for (int b = 0; b < 256; ++b) {
      EXPECT_FALSE(CQ_TextConverter::sb_IsLeadByte(codePage, static_cast<unsigned char>(b))) << codePage;
    }
  }
}

// A byte is a second byte when some lead byte forms one character with it.
TEST(CodePageTest, TrailBytesAgreeWithIconv) {
  const std::pair<int, const char*> pages[] = {{932, "CP932"}, {936, "CP936"}, {949, "CP949"}, {950, "CP950"}};
  for (const auto& [codePage, charset] : pages) {
    for (int t = 0; t < 256; ++t) {
      bool formsCharacter = false;
      for (int lead = 0x81; lead < 256 && !formsCharacter; ++lead) {
        int error = 0;
        const std::string pair = {static_cast<char>(lead), static_cast<char>(t)};
        const std::string utf8 = Decode(charset, pair, &error);
        formsCharacter = error == 0 && CodePoints(utf8) == 1;
      }
      EXPECT_EQ(formsCharacter, CQ_TextConverter::sb_IsTrailByte(codePage, static_cast<unsigned char>(t)))
          << "code page " << codePage << ", byte " << Hex(t);
    }
    // The backslash is a second byte everywhere except in Korean; "<" and
    // ">" are none anywhere, which keeps KWX tags recognisable.
    EXPECT_EQ(codePage != 949, CQ_TextConverter::sb_IsTrailByte(codePage, 0x5C)) << codePage;
    EXPECT_FALSE(CQ_TextConverter::sb_IsTrailByte(codePage, '<')) << codePage;
    EXPECT_FALSE(CQ_TextConverter::sb_IsTrailByte(codePage, '>')) << codePage;
  }
}

}  // namespace
