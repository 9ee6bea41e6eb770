// The edge cases of back conversion, each on a fixture converted forward,
// edited as a translator would edit it, and converted back through the
// batch driver: deleted objects and their warnings, tags added in the
// "<#...>" form, language switching with a third language, the fonts of
// back conversion in the catalog, file names, index-marker syntax, the
// Symbol character set, tag errors, the ancillary file, and failures that
// must leave no MIF file behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>

#include "backward/convert/BackTestSupport.h"
#include "kernel/session/KernelStrings.h"

using namespace back_test;

namespace {

std::string Fixture() { return ReadBytes(DataDir() + "roundtrip/columns.mif"); }

// The lines of a file, and the same joined again.
std::vector<std::string> FileLines(const std::string& path) { return Lines(ReadBytes(path)); }

// Index of the first line equal to `line`, or the size.
std::size_t Find(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0) {
  for (std::size_t k = from; k < lines.size(); ++k) {
    if (lines[k] == line) return k;
  }
  return lines.size();
}

std::size_t FindPrefix(const std::vector<std::string>& lines, const std::string& prefix, std::size_t from = 0) {
  for (std::size_t k = from; k < lines.size(); ++k) {
    if (lines[k].rfind(prefix, 0) == 0) return k;
  }
  return lines.size();
}

bool Has(const std::vector<std::string>& lines, const std::string& line) { return Find(lines, line) < lines.size(); }

std::size_t Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

class EdgeCaseTest : public ScratchTest {
 protected:
  std::string KWX() const { return dir_ + "tr/doc.txt"; }
  std::string MIF() const { return dir_ + "tr/doc.mif"; }

  void ForwardFixture(const std::string& mif = Fixture()) {
    const std::vector<std::string> results = Forward("doc.mif", mif, settings_);
    ASSERT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(results);
    kwx_ = FileLines(KWX());
  }
  void Save() { WriteBytes(KWX(), Joined(kwx_)); }
  std::vector<std::string> BackLines() {
    results_ = Back("doc", settings_);
    return MIFLines(ReadBytes(MIF()));
  }

  Settings settings_;
  std::vector<std::string> kwx_;
  std::vector<std::string> results_;
};

TEST_F(EdgeCaseTest, EmptiedTextBoxGivesWarning1430AndKeepsItsColumnStatement) {
  ForwardFixture();
  // Column 10 holds the first three paragraphs; the translator empties it.
  const std::size_t open = Find(kwx_, "<tr 10>");
  ASSERT_LT(open, kwx_.size());
  std::size_t close = open + 1;
  int depth = 1;
  for (; close < kwx_.size(); ++close) {
    if (kwx_[close].rfind("<tr ", 0) == 0) ++depth;
    if (kwx_[close] == "</tr>" && --depth == 0) break;
  }
  kwx_.erase(kwx_.begin() + static_cast<std::ptrdiff_t>(open + 1), kwx_.begin() + static_cast<std::ptrdiff_t>(close));
  Save();
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Contains(results_, "Conversion Warning 1430. The text box <tr 10> has been deleted.")) << ::testing::PrintToString(results_);
  EXPECT_FALSE(Has(mif, "<String `Introduction'>"));
  // Its column statement opens the first remaining paragraph, the second
  // column's; the second column's statement stands in that paragraph too.
  const std::size_t flow = Find(mif, "<TextFlow");
  const std::size_t first = Find(mif, "<TextRectID 10>", flow);
  ASSERT_LT(first, mif.size());
  EXPECT_EQ(mif[first - 1], "<ParaLine");
  EXPECT_LT(Find(mif, "<TextRectID 11>", first), mif.size());
  // The table anchored in the deleted text went with it.
  EXPECT_TRUE(Contains(results_, "Conversion Warning 1420. The table <tb 1> has been deleted."));
  EXPECT_FALSE(Has(mif, "<TblID 1>"));
  // So did the footnote anchored there: no note without its anchor.
  EXPECT_FALSE(Has(mif, "<ID 30>"));
}

TEST_F(EdgeCaseTest, EmptiedSingleColumnKeepsOneEmptyParagraph) {
  ForwardFixture();
  // The flow of the master page: its text is in the ancillary file.
  std::vector<std::string> ancillary = FileLines(dir_ + "tr/ancillary.txt");
  const std::size_t open = Find(ancillary, "<tr 50>");
  ASSERT_LT(open, ancillary.size());
  ancillary.erase(ancillary.begin() + static_cast<std::ptrdiff_t>(open + 1),
                  ancillary.begin() + static_cast<std::ptrdiff_t>(Find(ancillary, "</tr>", open)));
  WriteBytes(dir_ + "tr/ancillary.txt", Joined(ancillary));
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Contains(results_, "Conversion Warning 1430. The text box <tr 50> has been deleted."));
  const std::size_t rect = Find(mif, "<TextRectID 50>");
  ASSERT_LT(rect, mif.size());
  // "<TextFlow", its statements, then one paragraph with nothing but the
  // column statement.
  EXPECT_EQ(mif[rect - 2], "<Para");
  EXPECT_EQ(mif[rect - 1], "<ParaLine");
  EXPECT_EQ(mif[rect + 1], "> # end of ParaLine");
  EXPECT_EQ(mif[rect + 2], "> # end of Para");
  EXPECT_EQ(mif[rect + 3], "> # end of TextFlow");
}

TEST_F(EdgeCaseTest, RemovedTableGivesWarning1420AndLeavesTheTables) {
  ForwardFixture();
  const std::size_t open = Find(kwx_, "<tb 1>");
  const std::size_t close = Find(kwx_, "</tb>", open);
  ASSERT_LT(close, kwx_.size());
  kwx_.erase(kwx_.begin() + static_cast<std::ptrdiff_t>(open), kwx_.begin() + static_cast<std::ptrdiff_t>(close + 1));
  Save();
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Contains(results_, "Conversion Warning 1420. The table <tb 1> has been deleted."))
      << ::testing::PrintToString(results_);
  EXPECT_FALSE(Has(mif, "<TblID 1>"));
  EXPECT_FALSE(Has(mif, "<ATbl 1>"));
  EXPECT_TRUE(Has(mif, "<Tbls"));
  // The footnote of the deleted cell is gone with its table.
  EXPECT_FALSE(Has(mif, "<ID 40>"));
}

TEST_F(EdgeCaseTest, EmptiedTextLineGivesWarning1440UnlessItHadNoText) {
  ForwardFixture();
  const std::size_t line = FindPrefix(kwx_, "<ts 1>");
  ASSERT_LT(line, kwx_.size());
  kwx_[line] = "<ts 1>";
  Save();
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Contains(results_, "Conversion Warning 1440. The text string <ts 1> has been deleted."))
      << ::testing::PrintToString(results_);
  EXPECT_FALSE(Has(mif, "<Unique 121>"));
  // <ts 2> holds no text in the source either: copied, no warning.
  EXPECT_TRUE(Has(mif, "<Unique 122>"));
  EXPECT_FALSE(Contains(results_, "Conversion Warning 1440. The text string <ts 2> has been deleted."));
  // The reference page's text line was never converted: copied.
  EXPECT_TRUE(Has(mif, "<String `Reference text line'>"));
}

TEST_F(EdgeCaseTest, ParagraphAddedWithHashFormBecomesAParagraph) {
  ForwardFixture();
  const std::size_t at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  ASSERT_LT(at, kwx_.size());
  kwx_.insert(kwx_.begin() + static_cast<std::ptrdiff_t>(at), "<#ps \"Body\" 2>An added paragraph.");
  ASSERT_LT(at, kwx_.size());
  Save();
  const std::vector<std::string> mif = BackLines();
  ASSERT_TRUE(Exists(MIF())) << ::testing::PrintToString(results_);
  const std::size_t added = Find(mif, "<String `An added paragraph.'>");
  ASSERT_LT(added, mif.size());
  EXPECT_EQ(mif[added - 3], "<Para");
  EXPECT_EQ(mif[added - 2], "<PgfTag `Body'>");
}

TEST_F(EdgeCaseTest, TargetLanguageSwitchesOnlyTheSourceLanguage) {
  settings_.targetLanguage = "German";
  settings_.translationHyphenation = 0;
  ForwardFixture();
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Has(mif, "<DLanguage German>"));
  EXPECT_TRUE(Has(mif, "<PgfLanguage German>"));
  EXPECT_TRUE(Has(mif, "<FLanguage German>"));
  EXPECT_TRUE(Has(mif, "<TLLanguage German>"));
  EXPECT_TRUE(Has(mif, "<PgfLanguage French >"));  // a third language stays
  EXPECT_TRUE(Has(mif, "<PgfHyphenate No>"));
  EXPECT_FALSE(Has(mif, "<PgfHyphenate Yes >"));
}

TEST_F(EdgeCaseTest, FontsOfBackConversionJoinTheCatalogOnlyWhenUsed) {
  std::string mif = Fixture();
  const std::string catalog = "<FontCatalog \n";
  mif.insert(mif.find(catalog) + catalog.size(), " <Font \n  <FTag `VarnelBold'>\n  <FWeight `Heavy'>\n > # end of Font\n");
  ForwardFixture(mif);
  std::vector<std::string> untouched = BackLines();
  EXPECT_FALSE(Has(untouched, "<FTag `VarnelItalic'>"));

  const std::size_t at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  kwx_[at].replace(kwx_[at].find("Text with"), 9, "Text <:b>with<:/b>");
  Save();
  const std::vector<std::string> out = BackLines();
  EXPECT_EQ(Count(out, "<FTag `VarnelBold'>"), 2u);  // the catalog's own and the change in the text
  for (const char* font : {"VarnelItalic", "VarnelBoldItalic", "VarnelNormal", "VarnelCourierNew", "VarnelArial",
                           "VarnelSmallCaps"}) {
    EXPECT_EQ(Count(out, std::string("<FTag `") + font + "'>"), 1u) << font;
  }
  const std::size_t text = Find(out, "<String `Text '>");
  ASSERT_LT(text + 5, out.size());
  EXPECT_EQ(out[text + 1], "<Font");
  EXPECT_EQ(out[text + 2], "<FTag `VarnelBold'>");
  EXPECT_EQ(out[text + 4], "<String `with'>");
}

TEST_F(EdgeCaseTest, UpperCaseORGExtensionGivesUpperCaseMIFExtension) {
  const std::vector<std::string> forward = Forward("Chapter1.MIF", Fixture(), settings_);
  ASSERT_TRUE(Exists(dir_ + "org/Chapter1.ORG")) << ::testing::PrintToString(forward);
  Back("Chapter1", settings_);
  EXPECT_TRUE(Exists(dir_ + "tr/Chapter1.MIF"));
  EXPECT_FALSE(Exists(dir_ + "tr/Chapter1.mif"));
}

TEST_F(EdgeCaseTest, IndexMarkerEscapesTypedSyntaxButNotSeparators) {
  ForwardFixture();
  const std::size_t open = Find(kwx_, "<imk 1>Columns");
  ASSERT_LT(open, kwx_.size());
  kwx_[open] = "<imk 1>Spalten; [typed]";
  kwx_[open + 1] = "<il>Text: fliessend";
  Save();
  const std::vector<std::string> mif = BackLines();
  // Typed ";", "[", "]" and ":" take a backslash (written "\\" in MIF);
  // the level separator <il> and the entry separator <ie> do not.
  EXPECT_TRUE(Has(mif, "<MText `Spalten\\\\; \\\\[typed\\\\]:Text\\\\: fliessend;colon\\\\: typed'>"))
      << ::testing::PrintToString(mif);
}

TEST_F(EdgeCaseTest, AccentedLetterIsEscapedByTheTableOrByItsOwnValue) {
  ForwardFixture();
  std::size_t at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  kwx_[at].replace(kwx_[at].find("Text"), 4, "T\xE9xt");
  Save();
  EXPECT_TRUE(Has(BackLines(), "<String `T\\x8e xt with '>"));

  settings_.characterSet = 1;
  ForwardFixture();
  at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  kwx_[at].replace(kwx_[at].find("Text"), 4, "T\xE9xt");
  Save();
  EXPECT_TRUE(Has(BackLines(), "<String `T\\xe9 xt with '>")) << ::testing::PrintToString(results_);
}

TEST_F(EdgeCaseTest, TagErrorWritesTheReportAndNoMIFWhileTheBatchGoesOn) {
  ForwardFixture();
  // A second document that stays intact.
  WriteBytes(dir_ + "src/other.mif", Fixture());
  {
    auto session = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
    CQ_StringList paths = {dir_ + "src/other.mif"};
    session->v_ConvertMIF(&paths);
  }
  const std::size_t at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  ASSERT_LT(at, kwx_.size());
  kwx_[at] += "<ps \"Unknown\" 99>";
  Save();
  auto session = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
  CQ_StringList paths = {dir_ + "tr/doc.txt", dir_ + "tr/other.txt"};
  session->v_ConvertKWX(&paths, (dir_ + "tr/ancillary.txt").c_str());
  const std::vector<std::string> results = ResultLines(*session);
  EXPECT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::BACK_ERR_TAGS))) << ::testing::PrintToString(results);
  EXPECT_TRUE(Exists(dir_ + "tr/doc.cmp"));
  EXPECT_FALSE(Exists(MIF()));
  EXPECT_TRUE(Exists(dir_ + "tr/other.mif"));
}

// The stages an observer is told of (the back-conversion benchmark times
// them): every stage in order for a converted file, and for a file refused
// at its tag check only the stages before the check.
class StageRecorder : public CQ_Morvane_Observer {
 public:
  void v_ProgressStep(bool) override {}
  void v_ResultsWaiting() override {}
  void v_StageEnded(const char* stage) override { stages.emplace_back(stage); }
  std::vector<std::string> stages;
};

TEST_F(EdgeCaseTest, BackConversionNamesItsStagesInOrder) {
  ForwardFixture();
  const std::vector<std::string> all = {"name checked",        "translated file read",      "ancillary section extracted",
                                        "ORG copy converted again", "tag map copied",        "source indexed",
                                        "translated tags checked",
                                        "tokens exploded",     "ancillary section checked", "blocks collected",
                                        "MIF pass",            "file committed"};
  {
    StageRecorder recorder;
    auto session = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
    session->v_SetObserver(&recorder);
    CQ_StringList paths = {dir_ + "tr/doc.txt"};
    session->v_ConvertKWX(&paths, (dir_ + "tr/ancillary.txt").c_str());
    ASSERT_TRUE(Exists(MIF())) << ::testing::PrintToString(ResultLines(*session));
    EXPECT_EQ(recorder.stages, all);
  }
  const std::size_t at = FindPrefix(kwx_, "<ps \"Body\" 2><:imk 1>Text with");
  ASSERT_LT(at, kwx_.size());
  kwx_[at] += "<ps \"Unknown\" 99>";
  Save();
  StageRecorder recorder;
  auto session = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
  session->v_SetObserver(&recorder);
  CQ_StringList paths = {dir_ + "tr/doc.txt"};
  session->v_ConvertKWX(&paths, (dir_ + "tr/ancillary.txt").c_str());
  EXPECT_EQ(recorder.stages, std::vector<std::string>(all.begin(), all.begin() + 6));
}

TEST_F(EdgeCaseTest, RTFFilesGiveTheSameMIFAsTextFiles) {
  ForwardFixture();
  const std::vector<std::string> fromText = BackLines();
  ASSERT_FALSE(fromText.empty()) << ::testing::PrintToString(results_);
  std::filesystem::remove(MIF());
  settings_.format = 1;
  const std::vector<std::string> forward = Forward("doc.mif", Fixture(), settings_);
  ASSERT_TRUE(Exists(dir_ + "tr/doc.rtf")) << ::testing::PrintToString(forward);
  EXPECT_EQ(BackLines(), fromText) << ::testing::PrintToString(results_);
}

TEST_F(EdgeCaseTest, AncillaryFileIsNotConvertedOnItsOwn) {
  ForwardFixture();
  const std::vector<std::string> results = Back("ancillary", settings_);
  EXPECT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::BACK_ERR_ANCILLARY_ALONE))) << ::testing::PrintToString(results);
  EXPECT_FALSE(Exists(dir_ + "tr/ancillary.mif"));
}

TEST_F(EdgeCaseTest, WithoutAncillaryFileMasterPageTextStaysAsItWas) {
  ForwardFixture();
  std::filesystem::remove(dir_ + "tr/ancillary.txt");
  const std::vector<std::string> mif = BackLines();
  EXPECT_TRUE(Contains(results_, lpsz_LoadKernelString(Msg::BACK_WARN_NO_ANCILLARY_FILE_HINT))) << ::testing::PrintToString(results_);
  EXPECT_TRUE(Has(mif, "<String `Master page flow text'>"));
  EXPECT_TRUE(Has(mif, "<String `Running header'>"));
  for (const std::string& line : results_) EXPECT_EQ(line.find("Warning 14"), std::string::npos) << line;
}

TEST_F(EdgeCaseTest, FailedConversionLeavesNoMIFFile) {
  ForwardFixture();
  WriteBytes(MIF(), "an older MIF file\n");
  // The ORG copy is missing: nothing may be written.
  std::filesystem::rename(dir_ + "org/doc.org", dir_ + "org/doc.keep");
  Back("doc", settings_);
  EXPECT_EQ(ReadBytes(MIF()), "an older MIF file\n");
  std::filesystem::rename(dir_ + "org/doc.keep", dir_ + "org/doc.org");
  std::filesystem::remove(MIF());

  // The disk fills while the MIF file is written: the part written goes.
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 2048;
  signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  results_ = Back("doc", settings_);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(Exists(MIF()));
  EXPECT_TRUE(Contains(results_, lpsz_LoadKernelString(Msg::FILE_ERR_DISK_FULL)) || Contains(results_, lpsz_LoadKernelString(Msg::FILE_ERR_UNSPECIFIED)))
      << ::testing::PrintToString(results_);
  for (const auto& entry : std::filesystem::directory_iterator(dir_ + "tr")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "doc.txt" || name == "ancillary.txt") << name;
  }
}

}  // namespace
