// The copy with change bars switched off: which statements change and that
// nothing else does; over every change-barred corpus document of MIF 4.0 to
// 5.5, the copy converts, verifies clean and converts back to the same
// document.
#include "kernel/forward/ChangeBarClearing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "backward/convert/BackTestSupport.h"
#include "kernel/session/KernelStrings.h"

using namespace back_test;

namespace {

TEST(ChangeBarClearing, SwitchesOffOnlyStatementsThatOpenALine) {
  const struct {
    const char* in;
    const char* out;
    std::size_t cleared;
  } rows[] = {
      {"<FChangeBar Yes>\n", "<FChangeBar No>\n", 1},
      {"   <FChangeBar Yes >\n", "   <FChangeBar No >\n", 1},
      {"\t<DAutoChBars Yes>\r\n<X>", "\t<DAutoChBars No>\r\n<X>", 1},
      {"<FChangeBar  Yes>", "<FChangeBar  No>", 1},                             // last line, no line end
      {"<A>\r<FChangeBar Yes>\r<FChangeBar Yes>\r", "<A>\r<FChangeBar No>\r<FChangeBar No>\r", 2},  // CR only
      {"<FChangeBar No>\n", "<FChangeBar No>\n", 0},
      {"<FChangeBar Yesterday>\n", "<FChangeBar Yesterday>\n", 0},            // not the value Yes
      {"<FChangeBarX Yes>\n", "<FChangeBarX Yes>\n", 0},                      // another statement
      {"<String `<FChangeBar Yes\\>'>\n", "<String `<FChangeBar Yes\\>'>\n", 0},  // text in a string
      {"<DChBarColor `Yes'>\n", "<DChBarColor `Yes'>\n", 0},
      {"x <FChangeBar Yes>\n", "x <FChangeBar Yes>\n", 0},                    // not where a line opens
      {"", "", 0},
  };
  for (const auto& row : rows) {
    std::size_t cleared = 99;
    EXPECT_EQ(CQ_ChangeBarClearing::scs_Clear(row.in, &cleared), row.out) << row.in;
    EXPECT_EQ(cleared, row.cleared) << row.in;
  }
}

TEST(ChangeBarClearing, RecognisesOneLine) {
  EXPECT_TRUE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn("  <FChangeBar Yes >"));
  EXPECT_TRUE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn("<DAutoChBars Yes>"));
  EXPECT_FALSE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn("<DAutoChBars No>"));
  EXPECT_FALSE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn("<String `<FChangeBar Yes>'>"));
  EXPECT_FALSE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn("<FChangeBar Yess>"));
}

class ChangeBarFileTest : public ScratchTest {};

TEST_F(ChangeBarFileTest, WritesTheCopyAndNeverReplacesTheSource) {
  const std::string source = dir_ + "src/doc.mif";
  const std::string text = "<MIFFile 5.50>\n<Document\n <DAutoChBars Yes>\n> # end of Document\n";
  WriteBytes(source, text);
  std::size_t cleared = 99;
  EXPECT_TRUE(CQ_ChangeBarClearing::sb_ClearFile(source, dir_ + "org/doc.mif", cleared));
  EXPECT_EQ(cleared, 1u);
  EXPECT_EQ(ReadBytes(dir_ + "org/doc.mif"), "<MIFFile 5.50>\n<Document\n <DAutoChBars No>\n> # end of Document\n");

  EXPECT_THROW((void)CQ_ChangeBarClearing::sb_ClearFile(source, source, cleared), std::invalid_argument);
  EXPECT_THROW((void)CQ_ChangeBarClearing::sb_ClearFile(source, dir_ + "src/../src/doc.mif", cleared),
               std::invalid_argument);
  EXPECT_EQ(ReadBytes(source), text);

  WriteBytes(dir_ + "src/notmif.mif", "<Document <DAutoChBars Yes>>\n");
  // Not a MIF file: reported by the result, nothing thrown, no copy.
  cleared = 99;
  EXPECT_NO_THROW(EXPECT_FALSE(CQ_ChangeBarClearing::sb_ClearFile(dir_ + "src/notmif.mif", dir_ + "org/notmif.mif",
                                                                  cleared)));
  EXPECT_EQ(cleared, 0u);
  EXPECT_FALSE(Exists(dir_ + "org/notmif.mif"));
  EXPECT_THROW((void)CQ_ChangeBarClearing::sb_ClearFile(dir_ + "src/none.mif", dir_ + "org/none.mif", cleared),
               Platform::CQ_FileException);
}

// The change-barred corpus documents within the versions converted.
std::vector<std::string> ChangeBarredCorpusDocuments() {
  std::vector<std::string> names;
  if (!HaveCorpus()) return names;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    if (entry.path().extension() != ".mif") continue;
    const std::string mif = ReadBytes(entry.path().string());
    if (mif.rfind("<MIFFile 4", 0) != 0 && mif.rfind("<MIFFile 5.0", 0) != 0 && mif.rfind("<MIFFile 5.5", 0) != 0) {
      continue;
    }
    std::size_t cleared = 0;
    CQ_ChangeBarClearing::scs_Clear(mif, &cleared);
    if (cleared > 0) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ChangeBarFileTest, CorpusCopiesDifferOnlyInChangeBarStatementsAndRoundTrip) {
  const std::vector<std::string> names = ChangeBarredCorpusDocuments();
  if (names.empty()) GTEST_SKIP() << "no change-barred document in the corpus";
  RecordProperty("documents", ::testing::PrintToString(names));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string original = ReadBytes(CorpusDir() + name);
    const std::string copyPath = dir_ + "src/" + name;
    std::size_t cleared = 0;
    ASSERT_TRUE(CQ_ChangeBarClearing::sb_ClearFile(CorpusDir() + name, copyPath, cleared));
    const std::string copy = ReadBytes(copyPath);

    // Line by line (line ends kept as they are, so the counts compare the
    // files' own lines): each differing line is one change-bar statement
    // switched from Yes to No, and there is one such line per statement.
    const std::vector<std::string> before = MIFLines(original);
    const std::vector<std::string> after = MIFLines(copy);
    ASSERT_EQ(before.size(), after.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i] == after[i]) continue;
      ++differing;
      EXPECT_TRUE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn(before[i])) << before[i];
      EXPECT_FALSE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn(after[i])) << after[i];
      std::string expected = before[i];
      expected.replace(expected.find("Yes"), 3, "No");
      EXPECT_EQ(after[i], expected);
    }
    EXPECT_EQ(differing, cleared);
    EXPECT_GT(cleared, 0u);
    EXPECT_EQ(copy.size() + cleared, original.size());  // "Yes" became "No", nothing else changed size
    for (const std::string& line : after) EXPECT_FALSE(CQ_ChangeBarClearing::sb_SwitchesChangeBarsOn(line)) << line;

    // The original is refused; the copy converts, verifies clean and comes
    // back as the same document.
    Settings settings;
    const std::string base = name.substr(0, name.size() - 4);
    std::vector<std::string> refused = Forward(name, original, settings);
    EXPECT_FALSE(Contains(refused, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(refused);
    const std::vector<std::string> forward = Forward(name, copy, settings);
    ASSERT_TRUE(Contains(forward, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(forward);
    // The ORG copy holds the cleaned copy's lines.
    const std::vector<std::string> org = MIFLines(ReadBytes(dir_ + "org/" + base + ".org"));
    ASSERT_LE(org.size(), after.size());
    EXPECT_TRUE(std::equal(org.begin(), org.end(), after.begin()));

    auto verifier = MakeSession(settings, dir_ + "org/", dir_ + "tr/");
    const CQ_StringList targets = {dir_ + "tr/" + base + ".txt"};
    verifier->v_VerifyVarnels(&targets);
    for (const std::string& line : ResultLines(*verifier)) {
      EXPECT_NE(line.rfind("Errors: ", 0), 0u) << line;
      EXPECT_NE(line.rfind("Alerts: ", 0), 0u) << line;
    }
    EXPECT_FALSE(Exists(dir_ + "tr/" + base + ".cmp"));

    const std::vector<std::string> back = Back(base, settings);
    ASSERT_TRUE(Exists(dir_ + "tr/" + base + ".mif")) << ::testing::PrintToString(back);
    EXPECT_TRUE(SameDocument(org, MIFLines(ReadBytes(dir_ + "tr/" + base + ".mif")), Differences()));
  }
}

}  // namespace
