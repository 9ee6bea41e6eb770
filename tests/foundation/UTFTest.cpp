// The UTF-7 and UTF-8 engines: boundary tables, state kept between calls,
// and UTF-7 checked against glibc's iconv in both directions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IconvReference.h"
#include "System/String/StringConvert/StringConvert.h"
#include "System/String/StringConvert/UTF.h"

namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char part[4];
  for (unsigned char c : bytes) {
    std::snprintf(part, sizeof part, "%02X ", c);
    out += part;
  }
  return out;
}

std::string HexUnits(const std::u16string& units) {
  std::string out;
  char part[8];
  for (char16_t u : units) {
    std::snprintf(part, sizeof part, "%04X ", static_cast<unsigned>(u));
    out += part;
  }
  return out;
}

std::string EncodeUtf8(const std::u16string& units) {
  std::vector<char> out(units.size() * 3 + 1);
  const int n = CQ_UTF::si_WideToUTF8(out.data(), static_cast<std::uint32_t>(out.size()), units.data(),
                                      static_cast<std::uint32_t>(units.size()));
  return std::string(out.data(), static_cast<std::size_t>(n));
}

std::u16string DecodeUtf8(const std::string& bytes) {
  std::vector<char16_t> out(bytes.size() + 2);
  CQ_UTF::sv_UTF8ToWideInit();
  const int n = CQ_UTF::si_UTF8ToWide(out.data(), static_cast<std::uint32_t>(out.size()), bytes.data(),
                                      static_cast<std::uint32_t>(bytes.size()));
  CQ_UTF::sv_UTF8ToWideInit();
  return std::u16string(out.data(), static_cast<std::size_t>(n));
}

std::string EncodeUtf7(const std::u16string& units) {
  std::vector<char> out(units.size() * 5 + 8);
  CQ_UTF::sv_WideToUTF7Init();
  const int n = CQ_UTF::si_WideToUTF7(out.data(), static_cast<std::uint32_t>(out.size()), units.data(),
                                      static_cast<std::uint32_t>(units.size()));
  const int m = CQ_UTF::si_WideToUTF7Exit(out.data() + n, static_cast<std::uint32_t>(out.size()) - n);
  return std::string(out.data(), static_cast<std::size_t>(n + m));
}

std::u16string DecodeUtf7(const std::string& bytes) {
  std::vector<char16_t> out(bytes.size() + 2);
  CQ_UTF::sv_UTF7ToWideInit();
  const int n = CQ_UTF::si_UTF7ToWide(out.data(), static_cast<std::uint32_t>(out.size()), bytes.data(),
                                      static_cast<std::uint32_t>(bytes.size()));
  return std::u16string(out.data(), static_cast<std::size_t>(n));
}

struct Utf8Row {
  std::u16string units;
  std::string bytes;
};

TEST(UTF8, BoundariesOfEachLength) {
  const Utf8Row rows[] = {
      {u"\u0001", "\x01"},
      {u"\u007F", "\x7F"},
      {u"\u0080", "\xC2\x80"},
      {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
      {u"\u65E5\u672C", "\xE6\x97\xA5\xE6\x9C\xAC"},
      // Surrogates are written one unit at a time, three bytes each.
      {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
  };
  for (const Utf8Row& row : rows) {
    EXPECT_EQ(Hex(EncodeUtf8(row.units)), Hex(row.bytes)) << "units " << HexUnits(row.units);
    EXPECT_EQ(HexUnits(DecodeUtf8(row.bytes)), HexUnits(row.units)) << "bytes " << Hex(row.bytes);
  }
}

TEST(UTF8, MalformedInputBecomesReplacementCharacters) {
  const Utf8Row rows[] = {
      {u"a\uFFFDb", "a\x80" "b"},                  // stray trail byte
      {u"\uFFFD\uFFFD", "\xC0\xAF"},               // overlong lead C0, then a stray trail
      {u"\uFFFD", "\xE0\x80\xAF"},                 // overlong three-byte form
      {u"\uFFFDA", "\xE6\x97" "A"},                // sequence broken off by ASCII
      {u"\U0001F600", "\xF0\x9F\x98\x80"},         // real four-byte UTF-8 gives a pair
      {u"\uFFFD", "\xF4\x90\x80\x80"},             // beyond U+10FFFF
      {u"\uFFFDz", "\xFF" "z"},
  };
  for (const Utf8Row& row : rows) {
    EXPECT_EQ(HexUnits(DecodeUtf8(row.bytes)), HexUnits(row.units)) << "bytes " << Hex(row.bytes);
  }
}

TEST(UTF8, SequenceSplitBetweenTwoCallsIsJoined) {
  const std::string bytes = "x\xE6\x97\xA5y";  // x, U+65E5, y
  char16_t out[8] = {};
  CQ_UTF::sv_UTF8ToWideInit();
  const int first = CQ_UTF::si_UTF8ToWide(out, 8, bytes.data(), 2);
  EXPECT_EQ(first, 1);
  const int second = CQ_UTF::si_UTF8ToWide(out + first, 8 - first, bytes.data() + 2, 3);
  EXPECT_EQ(HexUnits(std::u16string(out, first + second)), HexUnits(u"x\u65E5y"));

  // With the state cleared in between, both halves are broken.
  CQ_UTF::sv_UTF8ToWideInit();
  const int a = CQ_UTF::si_UTF8ToWide(out, 8, bytes.data(), 2);
  CQ_UTF::sv_UTF8ToWideInit();
  const int b = CQ_UTF::si_UTF8ToWide(out + a, 8 - a, bytes.data() + 2, 3);
  EXPECT_EQ(HexUnits(std::u16string(out, a + b)), HexUnits(u"x\uFFFD\uFFFDy"));
  CQ_UTF::sv_UTF8ToWideInit();
}

TEST(UTF8, ZeroEndsAndIsWritten) {
  char16_t out[8];
  std::fill(std::begin(out), std::end(out), u'#');
  CQ_UTF::sv_UTF8ToWideInit();
  EXPECT_EQ(CQ_UTF::si_UTF8ToWide(out, 8, "ab\0cd", 5), 2);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(CQ_UTF::si_UTF8ToWide(out, 8, "abc", CQ_NPOS), 3) << "count -1 stops before the zero";
  char bytes[8];
  std::fill(std::begin(bytes), std::end(bytes), '#');
  EXPECT_EQ(CQ_UTF::si_WideToUTF8(bytes, 8, u"ab\0c", 4), 2);
  EXPECT_EQ(bytes[2], 0);
  // Too little room: whole characters only, and still a terminating zero.
  EXPECT_EQ(CQ_UTF::si_WideToUTF8(bytes, 4, u"a\u00E9\u00E9", CQ_NPOS), 3);
  EXPECT_STREQ(bytes, "a\xC3\xA9");
}

TEST(UTF8, EveryUnitRoundTrips) {
  std::u16string all;
  for (char32_t u = 1; u <= 0xFFFF; ++u) all.push_back(static_cast<char16_t>(u));
  EXPECT_TRUE(DecodeUtf8(EncodeUtf8(all)) == all);
}

// Texts whose UTF-7 form must decode to the same units with glibc, and
// whose glibc form must decode to the same units here.
const std::u16string kUtf7Texts[] = {
    u"Hi Mom -\u263A-!",
    u"A+B=C, 1+1",
    u"+",
    u"++-+",
    u"\u65E5\u672C\u8A9E",
    u"caf\u00E9 au lait",
    u"!\"#$%&*;<=>@[]^_`{|}~\\",
    u"x\u00E9-y\u00E9z",
    u"line\r\nnext\ttab",
    u"\U0001F600 smile",
    u"a\u00E9\u00E9\u00E9\u00E9b",
};

TEST(UTF7, RoundTripsAgainstIconv) {
  for (const std::u16string& text : kUtf7Texts) {
    const std::string mine = EncodeUtf7(text);
    const auto theirs = iconv_reference::ToWide(mine, "UTF-7");
    ASSERT_TRUE(theirs.has_value()) << "iconv refused " << mine;
    EXPECT_EQ(HexUnits(*theirs), HexUnits(text)) << "our UTF-7: " << mine;

    const auto reference = iconv_reference::FromWide(text, "UTF-7");
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(HexUnits(DecodeUtf7(*reference)), HexUnits(text)) << "iconv's UTF-7: " << *reference;
  }
}

TEST(UTF7, WritesOnlyTheRestrictedDirectSet) {
  EXPECT_EQ(EncodeUtf7(u"A+B"), "A+-B");
  EXPECT_EQ(EncodeUtf7(u"Hi Mom -\u263A-!"), "Hi Mom -+Jjo--+ACE-");
  EXPECT_EQ(EncodeUtf7(u"\u65E5\u672C\u8A9E"), "+ZeVnLIqe-");
  EXPECT_EQ(EncodeUtf7(u"a.b:c?(d)'e,f/g"), "a.b:c?(d)'e,f/g");
  EXPECT_EQ(EncodeUtf7(u"a!b"), "a+ACE-b") << "optional direct characters are encoded";
  EXPECT_EQ(DecodeUtf7("+-"), u"+");
  EXPECT_EQ(DecodeUtf7("+AGEAYgBj-d"), u"abcd");
  EXPECT_EQ(DecodeUtf7("+AGE.x"), u"a.x") << "a run also ends at a non-base64 character";
}

TEST(UTF7, StateCarriesAcrossCallsUntilExit) {
  const std::u16string text = u"\u00E9\u00E8x\u00E0";
  char out[64] = {};
  CQ_UTF::sv_WideToUTF7Init();
  int n = CQ_UTF::si_WideToUTF7(out, 64, text.data(), 1);
  n += CQ_UTF::si_WideToUTF7(out + n, 64 - n, text.data() + 1, 1);
  n += CQ_UTF::si_WideToUTF7(out + n, 64 - n, text.data() + 2, 2);
  n += CQ_UTF::si_WideToUTF7Exit(out + n, 64 - n);
  EXPECT_EQ(std::string(out, n), EncodeUtf7(text)) << "pieces encode like the whole text";

  char16_t units[16] = {};
  const std::string bytes = EncodeUtf7(text);
  CQ_UTF::sv_UTF7ToWideInit();
  int m = 0;
  for (char c : bytes) m += CQ_UTF::si_UTF7ToWide(units + m, 16 - m, &c, 1);
  EXPECT_EQ(HexUnits(std::u16string(units, m)), HexUnits(text)) << "byte by byte: " << bytes;
}

TEST(UTF7, CodePage65000ConvertsWholeTexts) {
  for (const std::u16string& text : kUtf7Texts) {
    char bytes[256];
    const int n = CQ_StringConvert::si_WideToMulti(bytes, sizeof bytes, text.data(), static_cast<std::uint32_t>(text.size()),
                                                   65000);
    char16_t units[256];
    const int m = CQ_StringConvert::si_MultiToWide(units, 256, bytes, static_cast<std::uint32_t>(n), 65000);
    EXPECT_EQ(HexUnits(std::u16string(units, m)), HexUnits(text)) << std::string(bytes, n);
  }
}

TEST(UTF, CodePagesCarryEveryUnitThroughStringConvert) {
  std::u16string all;
  for (char32_t u = 1; u <= 0xFFFF; ++u) all.push_back(static_cast<char16_t>(u));
  for (std::uint32_t page : {65000u, 65001u}) {
    const int needed = CQ_StringConvert::si_WideToMulti(nullptr, 0, all.data(), static_cast<std::uint32_t>(all.size()), page);
    std::vector<char> bytes(static_cast<std::size_t>(needed) + 1);
    ASSERT_EQ(CQ_StringConvert::si_WideToMulti(bytes.data(), static_cast<std::uint32_t>(bytes.size()), all.data(),
                                               static_cast<std::uint32_t>(all.size()), page),
              needed);
    std::vector<char16_t> units(all.size() + 1);
    const int n = CQ_StringConvert::si_MultiToWide(units.data(), static_cast<std::uint32_t>(units.size()), bytes.data(),
                                                   static_cast<std::uint32_t>(needed), page);
    EXPECT_TRUE(std::u16string(units.data(), static_cast<std::size_t>(n)) == all) << "code page " << page;
  }
}

}  // namespace
