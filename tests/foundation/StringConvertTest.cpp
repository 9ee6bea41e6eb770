// Code-page conversion: every supported page round-trips its repertoire,
// undefined bytes survive, unknown pages fall back to 1252, raw buffers are
// never overrun or cut inside a character, and a conversion that writes
// nothing is reported to the error manager.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "IconvReference.h"
#include "System/ErrorManager/ErrorManager.h"
#include "System/String/CString.h"
#include "System/String/StringConvert/StringConvert.h"
#include "System/String/UString.h"

namespace {

std::u16string ToWide(const std::string& bytes, std::uint32_t codePage) {
  const int needed = CQ_StringConvert::si_MultiToWide(nullptr, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size()), codePage);
  std::vector<char16_t> out(static_cast<std::size_t>(needed) + 1);
  const int n = CQ_StringConvert::si_MultiToWide(out.data(), static_cast<std::uint32_t>(out.size()), bytes.data(),
                                                 static_cast<std::uint32_t>(bytes.size()), codePage);
  EXPECT_EQ(n, needed);
  return std::u16string(out.data(), static_cast<std::size_t>(n));
}

std::string ToMulti(const std::u16string& units, std::uint32_t codePage, bool* usedDefault = nullptr) {
  const int needed = CQ_StringConvert::si_WideToMulti(nullptr, 0, units.data(), static_cast<std::uint32_t>(units.size()), codePage);
  std::vector<char> out(static_cast<std::size_t>(needed) + 1);
  const int n = CQ_StringConvert::si_WideToMulti(out.data(), static_cast<std::uint32_t>(out.size()), units.data(),
                                                 static_cast<std::uint32_t>(units.size()), codePage, '?', usedDefault);
  EXPECT_EQ(n, needed);
  return std::string(out.data(), static_cast<std::size_t>(n));
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char part[4];
  for (unsigned char c : bytes) {
    std::snprintf(part, sizeof part, "%02X", c);
    out += part;
  }
  return out;
}

class SingleBytePage : public ::testing::TestWithParam<std::uint32_t> {};

// All 255 non-zero bytes, the undefined ones included, come back unchanged.
TEST_P(SingleBytePage, EveryByteRoundTrips) {
  const std::uint32_t page = GetParam();
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string units = ToWide(all, page);
  ASSERT_EQ(units.size(), all.size()) << "code page " << page;
  for (std::size_t i = 0; i < units.size(); ++i) {
    EXPECT_NE(units[i], 0xFFFD) << "code page " << page << ", byte " << Hex(all.substr(i, 1));
  }
  bool usedDefault = false;
  EXPECT_EQ(Hex(ToMulti(units, page, &usedDefault)), Hex(all)) << "code page " << page;
  EXPECT_FALSE(usedDefault) << "code page " << page;
}

INSTANTIATE_TEST_SUITE_P(Pages, SingleBytePage, ::testing::Values(1250u, 1251u, 1252u, 1253u, 1254u, 1257u));

TEST(CodePage, UndefinedSingleBytesMapAsWindowsDoes) {
  EXPECT_EQ(ToWide("\x81\x8D\x8F\x90\x9D", 1252), u"\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(ToWide("\x80\x9F", 1252), u"\u20AC\u0178");
  EXPECT_EQ(ToWide("\xAA\xD2\xFF", 1253), u"\uF8F9\uF8FA\uF8FB");
  EXPECT_EQ(ToWide("\xA1\xA5", 1257), u"\uF8FC\uF8FD");
  // Back to the page where the byte is undefined; elsewhere a C1 control
  // has no form.
  EXPECT_EQ(ToMulti(u"\u0081", 1252), "\x81");
  bool usedDefault = false;
  EXPECT_EQ(ToMulti(u"\u0081", 1251, &usedDefault), "?") << "0x81 is the letter GJE in 1251";
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ(ToMulti(u"\u0098", 1251), "\x98") << "0x98 is undefined in 1251";
  EXPECT_EQ(ToMulti(u"\u0098", 1252, &usedDefault), "?");
  EXPECT_TRUE(usedDefault);
}

struct DoubleBytePage {
  std::uint32_t page;
  unsigned firstLead;
  unsigned lastLead;
};

void PrintTo(const DoubleBytePage& row, std::ostream* os) { *os << "code page " << row.page; }

class DoubleByte : public ::testing::TestWithParam<DoubleBytePage> {};

// Every two-byte sequence the page decodes comes back to a sequence that
// decodes to the same character; all but a few duplicates (the same
// character at two codes) come back to the same bytes.
TEST_P(DoubleByte, RepertoireRoundTrips) {
  const DoubleBytePage row = GetParam();
  int characters = 0;
  int duplicates = 0;
  std::string bytes;
  for (unsigned lead = row.firstLead; lead <= row.lastLead; ++lead) {
    if (!CQ_StringConvert::sb_IsLeadByte(static_cast<char>(lead), row.page)) continue;
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string units = ToWide(pair, row.page);
      if (units.size() != 1 || units[0] == 0xFFFD) continue;
      ++characters;
      const std::string back = ToMulti(units, row.page);
      if (back != pair) {
        ++duplicates;
        ASSERT_EQ(ToWide(back, row.page), units) << "code page " << row.page << ", bytes " << Hex(pair);
      }
      bytes += pair;
    }
  }
  EXPECT_GT(characters, 5000) << "code page " << row.page;
  EXPECT_LT(duplicates, characters / 20) << "code page " << row.page;
  // The whole repertoire at once, as one text.
  const std::u16string text = ToWide(bytes, row.page);
  EXPECT_EQ(ToWide(ToMulti(text, row.page), row.page), text) << "code page " << row.page;
  // ASCII and the single bytes keep their place between double bytes.
  const std::string mixed = std::string("a\\") + bytes.substr(0, 2) + "\\z";
  EXPECT_EQ(ToWide(mixed, row.page).size(), 5u) << "code page " << row.page;
}

INSTANTIATE_TEST_SUITE_P(Pages, DoubleByte,
                         ::testing::Values(DoubleBytePage{932, 0x81, 0xFC}, DoubleBytePage{936, 0x81, 0xFE},
                                           DoubleBytePage{949, 0x81, 0xFE}, DoubleBytePage{950, 0x81, 0xFE}));

TEST(CodePage, ShiftJisKeepsBackslashAndTilde) {
  EXPECT_EQ(ToWide("\\~", 932), u"\\~");
  EXPECT_EQ(ToWide("\x83\x5C", 932), u"\u30BD") << "0x5C as a trail byte belongs to the character";
  EXPECT_EQ(ToMulti(u"\u30BD\\", 932), "\x83\x5C\\");
}

TEST(CodePage, BrokenDoubleByteInputKeepsTheFollowingText) {
  EXPECT_EQ(ToWide("\x82\n", 932), u"\uFFFD\n") << "a lead byte without a trail byte";
  EXPECT_EQ(ToWide("ab\x82", 932), u"ab\uFFFD") << "a lead byte at the end";
  EXPECT_EQ(ToWide("\x80" "a", 932), u"\u0080a");
  EXPECT_EQ(ToWide("\xA0\xFD\xFE\xFF", 932), u"\uF8F0\uF8F1\uF8F2\uF8F3");
  EXPECT_EQ(ToMulti(u"\uF8F1", 932), "\xFD");
}

TEST(CodePage, UnknownPagesUseTheAnsiPage) {
  const std::string text = "caf\xE9 \x80";
  const std::u16string expected = u"caf\u00E9 \u20AC";
  for (std::uint32_t page : {0u, 3u, 12345u, 1200u, 99999u}) {
    EXPECT_EQ(ToWide(text, page), expected) << "code page " << page;
    EXPECT_EQ(ToMulti(expected, page), text) << "code page " << page;
    EXPECT_EQ(CQ_StringConvert::sn_ResolveCodePage(page), 1252u) << "code page " << page;
  }
  EXPECT_FALSE(CQ_StringConvert::sb_IsValidCodePage(12345));
  EXPECT_TRUE(CQ_StringConvert::sb_IsValidCodePage(932));
  EXPECT_TRUE(CQ_StringConvert::sb_IsValidCodePage(65001));
}

TEST(CodePage, Utf8PageUsesTheUtf8EngineWithFreshState) {
  EXPECT_EQ(ToMulti(u"\u00E9\u65E5", 65001), "\xC3\xA9\xE6\x97\xA5");
  // A whole-text conversion ends an unfinished sequence instead of carrying
  // it into the next text.
  EXPECT_EQ(ToWide("a\xE6\x97", 65001), u"a\uFFFD");
  EXPECT_EQ(ToWide("\xA5" "b", 65001), u"\uFFFDb");
}

TEST(CodePage, SingleCharacters) {
  EXPECT_EQ(CQ_StringConvert::sus_MultiToWide('\x80', 1252), u'\u20AC');
  EXPECT_EQ(CQ_StringConvert::sus_MultiToWide('\xC0', 1251), u'\u0410');
  EXPECT_EQ(CQ_StringConvert::sus_MultiToWide('\x82', 932), u'\uFFFD') << "a lead byte alone";
  EXPECT_EQ(CQ_StringConvert::sus_MultiToWide('\xB1', 932), u'\uFF71');
  EXPECT_EQ(CQ_StringConvert::sc_WideToMulti(u'\u20AC', 1252), '\x80');
  EXPECT_EQ(CQ_StringConvert::sc_WideToMulti(u'\u3042', 932), '?') << "needs two bytes";
  EXPECT_EQ(CQ_StringConvert::sc_WideToMulti(u'\u0410', 1252), '?');
}

TEST(CodePage, LeadBytesFollowTheWindowsRanges) {
  struct Row {
    std::uint32_t page;
    unsigned char byte;
    bool lead;
  };
  const Row rows[] = {{932, 0x81, true},  {932, 0x9F, true},  {932, 0xA0, false}, {932, 0xDF, false},
                      {932, 0xE0, true},  {932, 0xFC, true},  {932, 0xFD, false}, {936, 0x81, true},
                      {936, 0xFE, true},  {936, 0x80, false}, {949, 0xC9, true},  {950, 0xA1, true},
                      {1252, 0x81, false}, {65001, 0xE6, false}};
  for (const Row& row : rows) {
    EXPECT_EQ(CQ_StringConvert::sb_IsLeadByte(static_cast<char>(row.byte), row.page), row.lead)
        << "code page " << row.page << ", byte " << Hex(std::string(1, static_cast<char>(row.byte)));
  }
}

TEST(CodePage, RawTargetsAreNeverOverrunNorCutInsideACharacter) {
  char bytes[6];
  std::memset(bytes, '#', sizeof bytes);
  // "あいう" needs 6 bytes in 932: only two characters fit with the zero.
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(bytes, 6, u"\u3042\u3044\u3046", CQ_NPOS, 932), 4);
  EXPECT_STREQ(bytes, "\x82\xA0\x82\xA2");
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(bytes, 5, u"\u3042\u3044\u3046", CQ_NPOS, 932), 4);
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(bytes, 4, u"\u3042\u3044\u3046", CQ_NPOS, 932), 2);
  char16_t units[3];
  EXPECT_EQ(CQ_StringConvert::si_MultiToWide(units, 3, "abcdef", CQ_NPOS, 1252), 2);
  EXPECT_EQ(units[2], 0);
  EXPECT_EQ(CQ_StringConvert::si_MultiToWide(units, 3, "\xF0\x9F\x98\x80", CQ_NPOS, 65001), 2)
      << "a surrogate pair fits exactly";
  EXPECT_EQ(CQ_StringConvert::si_MultiToWide(units, 2, "\xF0\x9F\x98\x80", CQ_NPOS, 65001), 0)
      << "half a pair is not written";
  // An explicit count converts zeros like any other byte.
  EXPECT_EQ(CQ_StringConvert::si_MultiToWide(units, 3, "a\0b", 2, 1252), 2);
  EXPECT_EQ(units[1], 0);
}

TEST(CodePage, WritingNothingRecordsTheSystemError) {
  CQ_ErrorManager* manager = CQ_ErrorManager::spco_Get();
  ASSERT_NE(manager, nullptr);
  while (manager->b_IsSetError() || manager->b_IsHoldError()) manager->v_ClearError();
  char bytes[1];
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(bytes, 1, u"abc", CQ_NPOS, 1252), 0);
  ASSERT_TRUE(manager->b_IsSetError());
  ASSERT_EQ(manager->n_GetLocationCount(), 1u);
  EXPECT_STREQ(manager->qccz_GetLocationFileAt(0), "Foundation\\System\\String\\StringConvert");
  EXPECT_EQ(manager->n_GetLocationLineAt(0), 196u);
  EXPECT_EQ(errno, 0) << "the system error is reset once recorded";
  manager->v_ClearError();
  // An empty source writes nothing without being an error.
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(bytes, 1, u"", CQ_NPOS, 1252), 0);
  EXPECT_FALSE(manager->b_IsSetError());
}

TEST(CodePage, StringOverloadsUseTheStringsCodePage) {
  CQ_UString wide;
  EXPECT_EQ(CQ_StringConvert::si_MultiToWide(wide, CQ_CString("\xC0\xC1", 1251)), 2);
  EXPECT_TRUE(wide == u"\u0410\u0411");
  CQ_CString greek(1253);
  bool usedDefault = true;
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(greek, u"\u0391\u03A9", CQ_NPOS, '?', &usedDefault), 2);
  EXPECT_FALSE(usedDefault);
  EXPECT_STREQ(greek.qccz_Get(), "\xC1\xD9");
  EXPECT_EQ(CQ_StringConvert::si_WideToMulti(greek, wide, '*', &usedDefault), 2);
  EXPECT_TRUE(usedDefault) << "Cyrillic has no form in 1253";
  EXPECT_STREQ(greek.qccz_Get(), "**");
}

}  // namespace
