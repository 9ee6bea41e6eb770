// The helpers that forward conversion, back conversion, verification and
// the tools share from one home: tag names, case-blind comparison, hex
// digits, raw MIF values, joined text runs, the code pages of source and
// translated text, and the choice between the text and RTF writers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/backward/KWXBlockCollector.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/forward/MIFSyntax.h"
#include "kernel/session/CommunicationFrame.h"
#include "support/TestFiles.h"

namespace {

TEST(SharedHelpers, QuotedNameOfATag) {
  struct Row {
    const char* tag;
    bool untilEnd;
    const char* name;
  } const rows[] = {
      {"<page \"3\">", false, "3"},      {"<ps \"Body Text\" 12>", false, "Body Text"},
      {"<:el \"\">", false, ""},         {"<tr 12>", false, ""},
      {"<:el \"open", false, ""},        {"<:el \"open", true, "open"},
      {"<:el \"a\" \"b\">", true, "a"},  {"", true, ""},
  };
  for (const Row& r : rows) EXPECT_EQ(KWX::sv_QuotedName(r.tag, r.untilEnd), r.name) << r.tag << " " << r.untilEnd;
}

TEST(SharedHelpers, CaseBlindComparisonAndHexDigits) {
  EXPECT_TRUE(KWX::b_EqualsIgnoringCase(".RtF", ".rtf"));
  EXPECT_TRUE(KWX::b_EqualsIgnoringCase("", ""));
  EXPECT_FALSE(KWX::b_EqualsIgnoringCase(".rtf", ".rtf "));
  EXPECT_FALSE(KWX::b_EqualsIgnoringCase("[", "{"));  // only letters differ by case
  EXPECT_FALSE(KWX::b_EqualsIgnoringCase("\xC4", "\xE4"));
  const std::string digits = "0123456789abcdefABCDEF";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const auto c = static_cast<unsigned char>(digits[i]);
    EXPECT_TRUE(KWX::b_IsHexDigit(c)) << digits[i];
    EXPECT_EQ(KWX::i_HexValue(c), static_cast<int>(i < 16 ? i : i - 6)) << digits[i];
  }
  for (unsigned char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0'}) EXPECT_FALSE(KWX::b_IsHexDigit(c)) << int(c);
}

TEST(SharedHelpers, RawValueOfAMIFStatement) {
  struct Row {
    const char* line;
    const char* value;
  } const rows[] = {
      {"<PgfTag `Body'>", "Body"},
      {"<PgfNumString `'>", ""},
      {"<String `a\\>b'>", "a\\>b"},
      {"<PgfHyphenate Yes >", "Yes"},
      {"<Unique 12>", "12"},
      {"<ParaLine ", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(MIFSyntax::RawValue(r.line), r.value) << r.line;
}

TEST(SharedHelpers, JoinedTextRunsIgnoreLineBreaks) {
  const CQ_KWXTokens tokens = {"<ps \"Body\" 1>", "one ", "two", "<:b>", "three", " four", "<:/b>", "five"};
  EXPECT_EQ(KWXBack::sco_JoinedTextRuns(tokens, 0, tokens.size()),
            (CQ_KWXTokens{"<ps \"Body\" 1>", "one two", "<:b>", "three four", "<:/b>", "five"}));
  EXPECT_EQ(KWXBack::sco_JoinedTextRuns(tokens, 4, 6), (CQ_KWXTokens{"three four"}));
  EXPECT_TRUE(KWXBack::sco_JoinedTextRuns(tokens, 3, 3).empty());
}

// The comparison without joining agrees with comparing the joined tokens:
// rows of token pairs, then many random pairs drawn from a small alphabet so
// that equal and nearly equal texts are common.
TEST(SharedHelpers, SameJoinedTextRunsAgreesWithJoiningFirst) {
  struct Row {
    CQ_KWXTokens a, b;
    bool same;
  } const rows[] = {
      {{"one ", "two"}, {"one two"}, true},
      {{"one ", "two"}, {"one", " two"}, true},
      {{"one ", "", "two"}, {"one two"}, true},
      {{"one", "<:b>", "two"}, {"one", "<:b>", "two"}, true},
      {{"one", "<:b>", "two"}, {"onetwo"}, false},
      {{"one", "<:b>"}, {"one", "<:i>"}, false},
      {{"one tw"}, {"one two"}, false},
      {{"ab", "c"}, {"a", "bd"}, false},
      {{}, {}, true},
      {{""}, {}, false},
      {{"<:b>", ""}, {"<:b>", "", ""}, true},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(KWXBack::sb_SameJoinedTextRuns(r.a, 0, r.a.size(), r.b, 0, r.b.size()), r.same);
    EXPECT_EQ(KWXBack::sb_SameJoinedTextRuns(r.b, 0, r.b.size(), r.a, 0, r.a.size()), r.same);
    EXPECT_EQ(KWXBack::sco_JoinedTextRuns(r.a, 0, r.a.size()) == KWXBack::sco_JoinedTextRuns(r.b, 0, r.b.size()), r.same);
  }
  const char* const pieces[] = {"", "a", "b", "ab", "ba", "<:b>", "<:i>"};
  unsigned state = 7;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  int same = 0;
  for (int k = 0; k < 20000; ++k) {
    CQ_KWXTokens a(next(6));
    CQ_KWXTokens b(next(6));
    for (std::string& t : a) t = pieces[next(7)];
    for (std::string& t : b) t = pieces[next(7)];
    // Ranges inside longer lists as well.
    a.insert(a.begin(), "<x>");
    b.push_back("<y>");
    const bool expected =
        KWXBack::sco_JoinedTextRuns(a, 1, a.size()) == KWXBack::sco_JoinedTextRuns(b, 0, b.size() - 1);
    ASSERT_EQ(KWXBack::sb_SameJoinedTextRuns(a, 1, a.size(), b, 0, b.size() - 1), expected) << k;
    same += expected;
  }
  EXPECT_GT(same, 500);
}

TEST(SharedHelpers, CodePagesOfSourceAndTranslatedText) {
  CQ_Morvane_CommunicationFrame session("Halvex Morvane for FrameMaker", "3.0", false);
  struct Row {
    int source, target, sourceText, targetText;
  } const rows[] = {{0, 0, 1252, 1252}, {932, 0, 932, 932}, {0, 1250, 1252, 1250}, {1251, 1253, 1251, 1253}};
  for (const Row& r : rows) {
    session.v_SetSourceCodePage(r.source);
    session.v_SetTargetCodePage(r.target);
    EXPECT_EQ(session.i_SourceTextCodePage(), r.sourceText) << r.source << "/" << r.target;
    EXPECT_EQ(session.i_TargetTextCodePage(), r.targetText) << r.source << "/" << r.target;
  }
}

TEST(SharedHelpers, OneChoiceBetweenTheTextAndRTFWriters) {
  morvane_test::ScratchFolder scratch("shared-helpers");
  const CQ_StringList lines = {"<kwx \"F3.00\">", "<ps \"Body\" 1>Caf\xe9", "</kwx>"};
  CQ_KWXRTFWriter::sv_WriteTextOrRTF(scratch.Path() + "a.txt", lines, false, true, 1252, 1252);
  CQ_KWXRTFWriter::sv_WriteTextOrRTF(scratch.Path() + "a.rtf", lines, true, true, 1252, 1252);
  CQ_KWXRTFWriter::sv_PrepareAndWrite(scratch.Path() + "b.rtf", lines, true, 1252, 1252, true);
  const std::string text = morvane_test::ReadBytes(scratch.Path() + "a.txt");
  EXPECT_EQ(text.rfind("<kwx \"F3.00\">", 0), 0u) << text;
  EXPECT_NE(text.find("Caf\xe9"), std::string::npos);
  const std::string rtf = morvane_test::ReadBytes(scratch.Path() + "a.rtf");
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_EQ(rtf, morvane_test::ReadBytes(scratch.Path() + "b.rtf"));  // A4, portrait: the same bytes
}

}  // namespace
