// Languages: display names to code pages, MIF languages and the
// two-letter codes, on both sides.
#include <gtest/gtest.h>

#include <algorithm>

#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/Languages.h"

namespace {

struct Row {
  const char* name;
  int codePage;
  const char* mif;
  const char* sourceCode;
  const char* targetCode;
};

// One row per kind of entry: each code-page group, names whose MIF name or
// codes differ between sides, and the unusual names.
const Row kRows[] = {
    {"Japanese", 932, "Japanese", "nl", "nl"},
    {"Japanese (Colloquy)", 932, "Japanese", "nl", "nl"},
    {"Japanese anything", 932, "Japanese", "nl", "nl"},
    {"Chinese (Simplified)", 936, "SimplifiedChinese", "", "nl"},
    {"Chinese (Traditional)", 950, "TraditionalChinese", "", "nl"},
    {"Korean", 949, "Korean", "", "nl"},
    {"Czech", 1250, "NoLanguage", "nl", "nl"},
    {"Slovenian", 1250, "NoLanguage", "nl", "nl"},
    {"Russian", 1251, "NoLanguage", "nl", "nl"},
    {"Icelandic", 1252, "NoLanguage", "nl", "nl"},
    {"None", 1252, "NoLanguage", "nl", "nl"},
    {"Catalan", 1252, "Catalan", "nl", "nl"},
    {"English (AUS)", 1252, "NoLanguage", "au", "au"},
    {"English (UK)", 1252, "UKEnglish", "br", "br"},
    {"French (Canadian)", 1252, "CanadianFrench", "ca", "ca"},
    {"German (Swiss)", 1252, "SwissGerman", "ge", "nl"},
    {"Norwegian (Nynorsk)", 1252, "Nynorsk", "nl", "nl"},
    {"Portuguese (Brazilian)", 1252, "Brazilian", "bp", "nl"},
    {"Swedish", 1252, "Swedish", "sw", "sw"},
    {"Greek", 1253, "NoLanguage", "nl", "nl"},
    {"Turkish", 1254, "NoLanguage", "nl", "nl"},
    {"Lithuanian", 1257, "NoLanguage", "nl", "nl"},
};

class LanguagesTest : public ::testing::Test {
 protected:
  CQ_Morvane_CommunicationFrame session{"Typeshift", "3.0", false};
};

TEST_F(LanguagesTest, EveryKindOfRowOnBothSides) {
  for (const Row& row : kRows) {
    session.v_SetSourceIASCIILanguage("");  // the CJK rows leave it unchanged
    EXPECT_TRUE(session.b_SetSourceLanguage(row.name)) << row.name;
    EXPECT_STREQ(session.lpsz_GetSourceLanguage(), row.name);
    EXPECT_EQ(session.i_GetSourceCodePage(), row.codePage) << row.name;
    EXPECT_STREQ(session.lpsz_GetSourceMIFLanguage(), row.mif) << row.name;
    EXPECT_STREQ(session.lpsz_GetSourceIASCIILanguage(), row.sourceCode) << row.name;

    session.v_SetTargetLanguage(row.name);
    EXPECT_STREQ(session.lpsz_GetTargetLanguage(), row.name);
    EXPECT_EQ(session.i_GetTargetCodePage(), row.codePage) << row.name;
    EXPECT_STREQ(session.lpsz_GetTargetMIFLanguage(), row.mif) << row.name;
    EXPECT_STREQ(session.lpsz_GetTargetIASCIILanguage(), row.targetCode) << row.name;
  }
}

TEST_F(LanguagesTest, ColloquyFlagIsForTheSourceSideOnly) {
  session.v_SetSourceLanguage("Japanese (Colloquy)");
  EXPECT_TRUE(session.b_GetJapaneseColloquy());
  session.v_SetSourceLanguage("Japanese");
  EXPECT_FALSE(session.b_GetJapaneseColloquy());
  session.v_SetTargetLanguage("Japanese (Colloquy)");
  EXPECT_FALSE(session.b_GetJapaneseColloquy());
  EXPECT_EQ(session.i_GetTargetCodePage(), 932);
}

TEST_F(LanguagesTest, UnknownNamesKeepThePreviousLanguage) {
  session.v_SetSourceLanguage("German");
  for (const char* bad : {"japanese", "Klingon", "", "German ", "german"}) {
    EXPECT_FALSE(session.b_SetSourceLanguage(bad)) << bad;
    EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "German");
    EXPECT_EQ(session.i_GetSourceCodePage(), 1252);
    EXPECT_STREQ(session.lpsz_GetSourceMIFLanguage(), "German");
    EXPECT_STREQ(session.lpsz_GetSourceIASCIILanguage(), "nl");
  }
  session.v_SetSourceLanguage("Klingon");
  EXPECT_STREQ(session.lpsz_GetSourceLanguage(), "German");

  session.v_SetTargetLanguage("Korean");
  session.v_SetTargetLanguage("Klingon");
  EXPECT_STREQ(session.lpsz_GetTargetLanguage(), "Korean");
  EXPECT_EQ(session.i_GetTargetCodePage(), 949);
  EXPECT_STREQ(session.lpsz_GetTargetIASCIILanguage(), "nl");
}

TEST(OfferedLanguages, ListsWhatTheFrontEndOffers) {
  auto source = ccs_OfferedLanguageNames(true);
  auto target = ccs_OfferedLanguageNames(false);
  EXPECT_EQ(source.size(), target.size() + 1);
  EXPECT_TRUE(std::is_sorted(source.begin(), source.end()));
  auto has = [](const std::vector<std::string>& v, const char* s) { return std::find(v.begin(), v.end(), s) != v.end(); };
  EXPECT_TRUE(has(source, "Japanese (Colloquy)"));
  EXPECT_FALSE(has(target, "Japanese (Colloquy)"));
  EXPECT_FALSE(has(source, "English (AUS)"));
  // Every offered name is accepted by the session.
  CQ_Morvane_CommunicationFrame session("Typeshift", "3.0", false);
  for (const std::string& name : source) EXPECT_TRUE(session.b_SetSourceLanguage(name.c_str())) << name;
}

}  // namespace
