// The verifier as a whole: its two modes over hand-written KWX files in the
// layout forward conversion writes, mutations of them, the run order and
// its early ends, the records handed to the session, the suppression key
// and the marker measure.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kernel/session/ResultCodes.h"
#include "kernel/verifier/MarkerTextMeasure.h"
#include "verifier/rules/RulesTestSupport.h"

using namespace RulesTest;

namespace {

struct Fixture {
  const char* file;
  bool document;
};

class FixtureTest : public ::testing::TestWithParam<Fixture> {};

// A correct file verifies clean against itself in both modes.
TEST_P(FixtureTest, VerifiesCleanAgainstItself) {
  const std::string kwx = ReadFile(DataPath(GetParam().file));
  ASSERT_FALSE(kwx.empty());
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, GetParam().document);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(kwx))) << Dump(verifier);
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(kwx))) << Dump(verifier);
  EXPECT_TRUE(verifier.rco_Entries().empty()) << Dump(verifier);
  for (const st_TagCounter& counter : verifier.rco_TagCounters().rco_Records()) {
    EXPECT_EQ(counter.i_Difference, 0) << counter.cs_Tag;
  }

  CQ_FrameVarnelVerifier backwards(*session, GetParam().document);
  EXPECT_TRUE(backwards.b_CheckTranslatedList(Lines(kwx), TagMapOf(kwx))) << Dump(backwards);
  EXPECT_TRUE(backwards.rco_Entries().empty()) << Dump(backwards);
}

INSTANTIATE_TEST_SUITE_P(Files, FixtureTest,
                         ::testing::Values(Fixture{"document.txt", true}, Fixture{"ancillary.txt", false}),
                         [](const ::testing::TestParamInfo<Fixture>& info) { return info.param.document ? "document" : "ancillary"; });

// --- mutations of a correct target ---------------------------------------------------------

struct Mutation {
  std::string name;
  std::string from;  // the first occurrence in the document is replaced
  std::string to;
  std::vector<int> expected;  // sections 7 to 12
};

std::ostream& operator<<(std::ostream& out, const Mutation& m) { return out << m.name; }

class MutationTest : public ::testing::TestWithParam<Mutation> {};

TEST_P(MutationTest, TargetRulesFindTheDamage) {
  const Mutation& m = GetParam();
  const std::string source = ReadFile(DataPath("document.txt"));
  std::string target = source;
  const std::size_t at = target.find(m.from);
  ASSERT_NE(at, std::string::npos) << m.from;
  target.replace(at, m.from.size(), m.to);
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(source)));
  verifier.b_CheckTarget(Lines(target));
  EXPECT_EQ(Numbers(verifier, 1, 17), m.expected) << Dump(verifier);
}

INSTANTIATE_TEST_SUITE_P(
    Document, MutationTest,
    ::testing::Values(
        Mutation{"deleted </tr>", "<:/cns>\n</tr>\n", "<:/cns>\n", {402}},
        Mutation{"deleted </ct>", "Name\n</ct>\n", "Name\n", {411}},
        Mutation{"deleted </fn>", "Measured.\n</fn>\n", "Measured.\n", {402}},
        Mutation{"deleted </imk>", "<ss>set-up\n</imk>\n", "<ss>set-up\n", {411}},
        Mutation{"deleted <:/b> of an added pair", "emphasis<:/cs>", "<:b>emphasis<:/cs>", {509}},
        Mutation{"<:b> moved across paragraphs", "local change<:/fc>", "local change<:/fc><:b>", {509}},
        Mutation{"changed paragraph tag", "<ps \"TableTitle\" 4>", "<ps \"TableTitle\" 5>", {801}},
        Mutation{"added table with #", "<ps \"Body\" 2>A figure", "<#tb 20>\n<ps \"Body\" 2>A figure", {802}},
        Mutation{"text typed after a row tag", "<row 2>\n", "<row 2>Speed\n", {302}},
        Mutation{"translated marker text too long", "Check this with",
                 std::string(250, 'x') + " Check this with", {303}},
        Mutation{"hard return typed into a text string", "Draft", "Dr<:hr>aft", {619}},
        Mutation{"tag pasted after the end", "</page>\n</kwx>\n", "</page>\n</kwx>\n<ps \"Body\" 2>more\n", {410}},
        Mutation{"external tag typed inside a tag", "<ps \"Footnote\" 3>", "<ps \"Foot<tr 1>note\" 3>", {104}}),
    [](const ::testing::TestParamInfo<Mutation>& info) { return "row" + std::to_string(info.index); });

// --- the run order -------------------------------------------------------------------------------

TEST(VerifierRunTest, BrokenSourceBracketsEndTheRunWithTheNotes) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  EXPECT_FALSE(verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>a > b<:zz>\n<ps \"B\" 1>c<:/b>"))));
  const auto& entries = verifier.rco_Entries();
  ASSERT_EQ(entries.size(), 3u) << Dump(verifier);
  EXPECT_EQ(entries[0].i_Message, 101);
  EXPECT_EQ(entries[1].co_Record.ccs_Text, "Note: You should never get verification errors in the source file.");
  EXPECT_EQ(entries[2].co_Record.ccs_Text, "The source file is invalid.");
  for (const auto& e : entries) EXPECT_EQ(e.i_Section, 1);
  EXPECT_EQ(entries[1].co_Record.i_Type, 0);
  EXPECT_FALSE(entries[1].b_Numbered);
}

TEST(VerifierRunTest, TextLeftOverAtTheEndOfTheFileIsNamed) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  const std::string kwx = Build(ON_PAGE, "<ps \"B\" 1>a") + "<ps \"x\" 1\n";
  EXPECT_FALSE(verifier.b_CheckSource(Lines(kwx)));
  const auto& entries = verifier.rco_Entries();
  ASSERT_GE(entries.size(), 2u) << Dump(verifier);
  EXPECT_EQ(entries[0].i_Message, 101);
  EXPECT_EQ(entries[1].co_Record.ccs_Text, "The previous message refers to the end of the file.");
}

TEST(VerifierRunTest, BrokenTargetBracketsStopBeforeTheOtherSections) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>a"))));
  EXPECT_FALSE(verifier.b_CheckTarget(Lines(Build(ON_PAGE, "<ps \"X\" 9>a<:<:<:t>>>"))));
  EXPECT_EQ(Numbers(verifier, 1, 17), std::vector<int>{103});
  EXPECT_EQ(verifier.rco_Entries().front().i_Section, 7);
}

TEST(VerifierRunTest, SectionsAndLineReferencesFollowTheFile) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  // Line 10 of the source holds the <:so> (611, section 6); the segment ends where line 11 begins.
  const std::string kwx = Build(ON_PAGE, "<ps \"B\" 1>a\n<ps \"B\" 1>b<:so>");
  ASSERT_TRUE(verifier.b_CheckSource(Lines(kwx)));
  ASSERT_TRUE(verifier.b_CheckTarget(Lines(kwx)));
  const auto& entries = verifier.rco_Entries();
  ASSERT_EQ(entries.size(), 2u) << Dump(verifier);
  EXPECT_EQ(entries[0].i_Section, 6);
  EXPECT_EQ(entries[1].i_Section, 12);
  const std::vector<std::pair<int, unsigned>> sourceRef{{1, 11u}};
  const std::vector<std::pair<int, unsigned>> targetRef{{2, 11u}};
  EXPECT_EQ(entries[0].co_Record.st_References, sourceRef);
  EXPECT_EQ(entries[1].co_Record.st_References, targetRef);
  EXPECT_EQ(entries[0].cs_Context.str(), "<ps \"B\" 1>b<:so>\n");
  EXPECT_EQ(entries[0].i_Context, st_VarnelReportEntry::CONTEXT_SEGMENT);
  EXPECT_TRUE(entries[0].b_Numbered);
  EXPECT_EQ(entries[0].co_Record.ccs_Tag, "<:so>");
}

TEST(VerifierRunTest, TagCountersCompareSourceAndTarget) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  ASSERT_TRUE(verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"A\" 1>a<:t>\n<ps \"B\" 2>b"))));
  ASSERT_TRUE(verifier.b_CheckTarget(
      Lines(Build(ON_PAGE, "<ps \"A\" 1>a<:b>x<:/b>\n<#ps \"A\" 1>c<:ems>\n<#imk>\n<ie>e\n<#/imk>"))));
  const CQ_TagCounterMap& counters = verifier.rco_TagCounters();
  const auto difference = [&](const char* tag) {
    const st_TagCounter* c = counters.pcst_Find(tag);
    return c == nullptr ? -99 : c->i_Difference;
  };
  EXPECT_EQ(difference("<ps \"B\" 2>"), 1);  // deleted
  EXPECT_EQ(difference("<ps \"A\" 1>"), 0);  // the added one is not counted
  EXPECT_EQ(difference("<:t>"), 1);
  EXPECT_EQ(difference("<:b>"), -1);        // seeded, then added
  EXPECT_EQ(difference("<:ems>"), 0);       // inside an added segment
  EXPECT_EQ(difference("<ie>"), -1);
  EXPECT_EQ(verifier.n_GetAddedTags(), 3u);
  std::vector<int> categories;
  for (const auto& s : verifier.rco_TargetSegments()) {
    if (s.cs_Tag[1] == '#') categories.push_back(s.i_Category);
  }
  EXPECT_EQ(categories, (std::vector<int>{6, 8, 8}));
  EXPECT_TRUE(verifier.rco_Entries().empty()) << Dump(verifier);
  EXPECT_EQ(verifier.rco_SourceInternalTags().size(), 1u);
  EXPECT_EQ(verifier.rco_TargetInternalTags().size(), 3u);
}

TEST(VerifierRunTest, CancelStopsTheRun) {
  auto session = MakeSession();
  session->v_SetUserCancelled(true);
  CQ_FrameVarnelVerifier verifier(*session, true);
  try {
    verifier.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>a")));
    FAIL() << "no cancel";
  } catch (int code) {
    EXPECT_EQ(code, Result::CANCELLED);
  }
}

TEST(VerifierRunTest, BackConversionModeAnswersByErrorsOnly) {
  auto session = MakeSession();
  const std::string source = Build(BODY, "<page \"1\">\n<ts 1>a\n</ts>\n</page>");
  CQ_FrameVarnelVerifier alertOnly(*session, true);
  EXPECT_TRUE(alertOnly.b_CheckTranslatedList(Lines(Build(BODY, "<page \"1\">\n<ts 1>a<:hr>b\n</ts>\n</page>")),
                                              TagMapOf(source)));
  EXPECT_EQ(Numbers(alertOnly, 1, 17), std::vector<int>{619});
  CQ_FrameVarnelVerifier ancillary(*session, false);
  EXPECT_FALSE(ancillary.b_CheckTranslatedList(Lines(Build(ANCILLARY, "<xrfmt \"X\">a<:<:<:t>>>")), CQ_TagMap{}));
  EXPECT_EQ(ancillary.i_TagErrorCode(), 10010);
  EXPECT_EQ(Numbers(ancillary, 1, 17), std::vector<int>{103});
}

// Damaged input of every kind ends in messages, never in a fault: every
// prefix of a correct file, as source and as target in both modes.
TEST(VerifierRunTest, EveryPrefixOfAFileIsCheckedCleanly) {
  const std::string kwx = ReadFile(DataPath("document.txt"));
  auto session = MakeSession();
  const CQ_TagMap map = TagMapOf(kwx);
  std::size_t prefixes = 0;
  std::size_t reported = 0;
  for (std::size_t size = 1; size < kwx.size(); size += 7) {
    ++prefixes;
    const std::vector<std::string> lines = Lines(kwx.substr(0, size));
    CQ_FrameVarnelVerifier verifier(*session, true);
    if (verifier.b_CheckSource(lines)) verifier.b_CheckTarget(lines);
    CQ_FrameVarnelVerifier backwards(*session, true);
    backwards.b_CheckTranslatedList(lines, map);
    if (!backwards.rco_Entries().empty()) ++reported;
  }
  // A cut file lacks at least its </kwx>.
  EXPECT_EQ(reported, prefixes);
}

TEST(VerifierRunTest, PathologicalInputsStayLinear) {
  auto session = MakeSession();
  // 100,000 frames in frames, never closed, then 100,000 misplaced paragraphs.
  std::string deep = "<page \"1\">\n";
  for (int i = 0; i < 100000; ++i) deep += "<ufo>\n";
  for (int i = 0; i < 100000; ++i) deep += "<ps \"B\" 1>x\n";
  CQ_FrameVarnelVerifier frames(*session, true);
  ASSERT_TRUE(frames.b_CheckSource(Lines(Build(NO_END, deep))));
  EXPECT_EQ(Numbers(frames, 4, 4), (std::vector<int>{411}));
  // One line of 2 MB holding 200,000 internal tags.
  std::string line = "<ps \"B\" 1>";
  for (int i = 0; i < 200000; ++i) line += "<:t>word ";
  CQ_FrameVarnelVerifier wide(*session, true);
  ASSERT_TRUE(wide.b_CheckSource(Lines(Build(ON_PAGE, line))));
  EXPECT_EQ(wide.rco_SourceInternalTags().size(), 200000u);
  EXPECT_TRUE(wide.rco_Entries().empty());
  // 100,000 opening brackets in a row.
  CQ_FrameVarnelVerifier brackets(*session, true);
  EXPECT_FALSE(brackets.b_CheckSource(Lines(Build(ON_PAGE, "<ps \"B\" 1>" + std::string(100000, '<')))));
  EXPECT_EQ(Numbers(brackets, 1, 1), (std::vector<int>{101}));
}

// --- records handed to the session ------------------------------------------------------------------

TEST(VerifierRunTest, RecordsReachTheSessionsErrorList) {
  auto session = MakeSession();
  CQ_FrameVarnelVerifier verifier(*session, true);
  const std::string kwx = Build(BODY, "<page \"1\">\n<ts 1>a<:hr>b<:xr \"X\" 1>\n</ts>\n</page>");
  ASSERT_TRUE(verifier.b_CheckSource(Lines(kwx)));
  ASSERT_EQ(Numbers(verifier, 1, 6), (std::vector<int>{619, 601}));
  verifier.v_HandOverRecords();
  ASSERT_EQ(session->pcco_GetErrorList()->size(), 2u);
  (*session->pco_GetCustomTagMap())["<:hr>"] = "<:hr>";  // the user suppressed hard returns
  ASSERT_TRUE(session->b_NextErrorMessage());
  EXPECT_STREQ(session->lpsz_GetErrorMessage(), "Error 601. <:xr \"X\" 1> may not appear between <ts ?> and </ts>.");
  EXPECT_EQ(session->n_GetSourceRef(), 9u);  // where </ts> begins
  EXPECT_FALSE(session->b_NextErrorMessage());
}

// --- suppression key ------------------------------------------------------------------------------------

TEST(VerifierRunTest, SuppressionKeys) {
  auto session = MakeSession();
  const CQ_FrameVarnelVerifier verifier(*session, true);
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"<ps \"Body\" 1>", "<ps \""},  {"<#ps \"Body\" 1>", "<ps \""}, {"<imk 3>", "<imk"},     {"<imk>", "<imk"},
      {"<#imk>", "<imk"},             {"</imk>", "</imk>"},          {"<:fc 3>", "<:fc "},    {"<:imk 4>", "<:imk "},
      {"<:r35>", "<:r3"},             {"<:r1>", "<:r1"},             {"<:b>", "<:b>"},        {"<:/el \"P\">", "<:/el \""},
      {"<tr 12>", "<tr "},            {"</page>", "</page>"},        {"<:rq>", "<:rq>"},
  };
  for (const auto& [tag, key] : rows) EXPECT_EQ(verifier.vcs_SuppressionKey(tag), key) << tag;
  // Every kind of message a user can suppress is found by its key.
  std::vector<bool> all(45, true);
  session->vv_CreateTagMap(&all);
  const CQ_TagMap& map = *session->pcco_GetCustomTagMap();
  for (const char* tag : {"<:fc 3>", "<:imk 4>", "<:r35>", "<:r1>", "<:el \"P\" 2>", "<:/elf \"P\">", "<imk 3>",
                          "</imk>", "<ps \"B\" 1>", "<pn \"1.\" 2>", "<:cs \"E\" 1>", "<:/c2>", "<:xr \"X\" 4>",
                          "<:bb \"$x\">", "<:ep \"Note\">", "<ss>"}) {
    EXPECT_EQ(map.count(verifier.vcs_SuppressionKey(tag)), 1u) << tag;
  }
}

// --- marker measure ----------------------------------------------------------------------------------------

TEST(MarkerTextMeasureTest, MIFLengths) {
  struct Row {
    const char* text;
    bool index;
    std::size_t length;
  };
  const Row rows[] = {
      {"abc", false, 3},
      {"abc\n", false, 3},
      {"caf\xE9", false, 8},
      {"it's", false, 8},
      {"a\\b", false, 7},
      {"a\\b", true, 12},
      {"a:b;c[d]", false, 8},
      {"a:b;c[d]", true, 12},
      {"<:b>x<:/b>", false, 13 + 1 + 20},
      {"<:i><:bi><:s><:c><:c1><:c2>", false, 15 + 19 + 18 + 15 + 19 + 14},
      {"<:cs \"Emphasis\">x<:/cs>", false, 11 + 1 + 20},
      {"<:bb \"$startrange\">", true, 14},
      {"<:t><:hs><:lt>", false, 15},
      {"<:t><:sh><:lt>", true, 6},
      {"<:r35><:ldq>", false, 10},
      {"<:so><:xr \"X\" 1>", true, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(CQ_MarkerTextMeasure::sn_MIFLength(row.text, row.index), row.length) << row.text << " " << row.index;
  }
}

// --- the message table ------------------------------------------------------------------------------------

TEST(VarnelMessagesTest, EveryMessageNamesItsNumberAndSeverity) {
  int count = 0;
  for (int number = 100; number < 2000; ++number) {
    const char* text = Varnel::lpsz_MessageText(number);
    if (text == nullptr) continue;
    ++count;
    const std::string t = text;
    const int type = Varnel::i_MessageType(number);
    ASSERT_NE(type, Varnel::TYPE_NONE) << t;
    const std::string word = type == Varnel::TYPE_ERROR ? "Error " : type == Varnel::TYPE_ALERT ? "Alert " : "Warning ";
    EXPECT_EQ(t, word + std::to_string(number) + t.substr(word.size() + std::to_string(number).size())) << t;
  }
  EXPECT_EQ(count, 84);  // 412 and 413 guard the blocks back conversion files by identifier; 1206 and 1207
                         // keep the text within the target code page
  EXPECT_EQ(Varnel::i_MessageType(619), Varnel::TYPE_ALERT);
  EXPECT_EQ(Varnel::i_MessageType(1206), Varnel::TYPE_ERROR);
  EXPECT_EQ(Varnel::i_MessageType(1207), Varnel::TYPE_ERROR);
  EXPECT_EQ(Varnel::i_MessageType(1205), Varnel::TYPE_WARNING);
  EXPECT_EQ(Varnel::ccs_FormatMessage(1515, "<ps \"A\" 1>", "<ps \"B\" 2>"),
            "Alert 1515. The external tag <ps \"A\" 1> has been changed to <ps \"B\" 2>.");
  EXPECT_EQ(Varnel::ccs_FormatMessage(999), "");
}

// --- reading the pair --------------------------------------------------------------------------------------

TEST(VerifierRunTest, ReadsTheSessionsSourceAndTargetFiles) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("varnel-read-" + std::to_string(::getpid()));
  fs::create_directories(dir / "org");
  fs::create_directories(dir / "translated");
  const std::string kwx = ReadFile(DataPath("document.txt"));
  std::ofstream(dir / "org" / "guide.txt", std::ios::binary) << kwx;
  std::string translated = kwx;
  translated.replace(translated.find("F3.00"), 5, "F3.01");
  std::ofstream(dir / "translated" / "guide.txt", std::ios::binary) << translated;

  auto session = MakeSession();
  session->v_SetORGFilesPath(((dir / "org").string() + "/").c_str());
  session->v_SetTranslatedFilesPath(((dir / "translated").string() + "/").c_str());
  session->v_SetCurrentFileName("guide");
  session->v_SetCurrentFileExtension(".txt");
  CQ_FrameVarnelVerifier verifier(*session, true);
  std::vector<std::string> source;
  std::vector<std::string> target;
  try {
    verifier.v_ReadFiles(source, target);
    ADD_FAILURE() << "versions differ";
  } catch (int code) {
    EXPECT_EQ(code, Result::KWX_VERSION_MISMATCH);
  }
  std::ofstream(dir / "translated" / "guide.txt", std::ios::binary) << kwx;
  source.clear();
  target.clear();
  verifier.v_ReadFiles(source, target);
  EXPECT_EQ(source, Lines(kwx));
  EXPECT_EQ(target, source);
  fs::remove_all(dir);
}

}  // namespace
