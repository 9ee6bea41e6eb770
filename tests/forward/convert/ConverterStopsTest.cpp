// Stops, warnings and the file-level steps of forward conversion: each
// stop has an input that triggers it in the first conversion; the
// conversion of an ORG copy in memory reports nothing and stops only for
// what makes the file unreadable.
#include <gtest/gtest.h>

#include <filesystem>

#include "forward/convert/ConvertTestSupport.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "kernel/session/KernelStrings.h"

using namespace convert_test;

namespace {

// A document of one body page whose only paragraph holds `paraLines`
// (after its PgfTag, before its ParaLine) and `lineContent` (in its
// ParaLine); `pageExtra` stands on the page.
std::string Doc(const std::string& paraLines, const std::string& lineContent, const std::string& pageExtra = "") {
  return "<MIFFile 5.50> # test\n<Page \n<PageType BodyPage>\n<PageNum `4'>\n<TextRect \n<ID 9>\n"
         "<ShapeRect  1.0\" 1.0\" 6.0\" 9.0\">\n> # end of TextRect\n" +
         pageExtra +
         "> # end of Page\n<TextFlow \n<TFTag `A'>\n<Para \n<PgfTag `Body'>\n" + paraLines +
         "<ParaLine \n<TextRectID 9>\n" + lineContent +
         "> # end of ParaLine\n> # end of Para\n> # end of TextFlow\n# End of MIFFile\n";
}

std::string Begin(const std::string& name) {
  return "<ElementBegin \n<ETag `" + name + "'>\n> # end of ElementBegin\n";
}

struct StopRow {
  const char* name;
  std::string mif;
  int placeholders;
  int code;          // raised in the first conversion
  bool inMemoryToo;  // also raised when the ORG copy is converted
};

std::vector<StopRow> StopRows() {
  return {
      {"change bars in a paragraph's overrides",
       Doc("<Pgf \n<PgfFont \n<FChangeBar Yes>\n> # end of PgfFont\n> # end of Pgf\n", "<String `x'>\n"), 0, 2030,
       false},
      {"change bars in a font change", Doc("", "<Font \n<FTag `'>\n<FChangeBar Yes>\n> # end of Font\n"), 0, 2030,
       false},
      {"uncollapsed IXgen marker",
       Doc("", "<Marker \n<MType 2>\n<MText `!IXGEN_DONT_EDIT_THIS!'>\n> # end of Marker\n"), 0, 2050, false},
      {"structured markup without marker placeholders",
       Doc("", "<ElementBegin \n<ETag `Sec'>\n> # end of ElementBegin\n<String `x'>\n<ElementEnd `Sec'>\n"), 1,
       2070, true},
      {"footnote anchor whose note is missing", Doc("", "<FNote 12>\n"), 0, 6, true},
      {"table without its identifier",
       "<MIFFile 5.50>\n<Tbls \n<Tbl \n<TblTag `A'>\n> # end of Tbl\n> # end of Tbls\n# End of MIFFile\n", 0, 6,
       true},
      {"a paragraph that never ends", "<MIFFile 5.50>\n<TextFlow \n<Para \n<PgfTag `Body'>\n", 0, 8, true},
      // Elements whose begins and ends do not pair would give KWX tags
      // back conversion refuses.
      {"element begun and never ended", Doc("", Begin("Sec") + "<String `x'>\n"), 0, 6, true},
      {"element ended and never begun", Doc("", "<String `x'>\n<ElementEnd `Sec'>\n"), 0, 6, true},
      {"element ended before it begins",
       Doc("", "<ElementEnd `Sec'>\n<String `x'>\n" + Begin("Sec")), 0, 6, true},
      {"element ended under another name", Doc("", Begin("Sec") + "<String `x'>\n<ElementEnd `Title'>\n"), 0, 6,
       true},
      {"element ended once too often",
       Doc("", Begin("Sec") + "<String `x'>\n<ElementEnd `Sec'>\n<ElementEnd `Sec'>\n"), 0, 6, true},
      {"element ended in the one-line form, never begun", Doc("", "<String `x'>\n<ElementEnd \n<ETag `Sec'>\n"
       "> # end of ElementEnd\n"), 0, 6, true},
  };
}

class ConverterStopsTest : public ScratchTest {};

int ConvertText(const std::string& mif, bool first, int placeholders, CQ_Morvane_CommunicationFrame& session) {
  session.v_SetMarkerPlaceholders(placeholders);
  CQ_MIFToKWXConverter::st_Options options =
      first ? CQ_MIFToKWXConverter::st_ForwardOptions() : CQ_MIFToKWXConverter::st_InMemoryOptions("/src/a.mif");
  options.b_ReportProgress = false;
  CQ_MIFToKWXConverter converter(session, options);
  try {
    converter.v_ConvertText(mif);
  } catch (int code) {
    return code;
  }
  return 0;
}

TEST_F(ConverterStopsTest, EachStopHasItsCode) {
  for (const StopRow& row : StopRows()) {
    auto session = MakeSession(Settings(), dir_, dir_, 0);
    EXPECT_EQ(row.code, ConvertText(row.mif, true, row.placeholders, *session)) << row.name;
    auto again = MakeSession(Settings(), dir_, dir_, 0);
    EXPECT_EQ(row.inMemoryToo ? row.code : 0, ConvertText(row.mif, false, row.placeholders, *again)) << row.name;
  }
}

// Structured markup whose begins and ends pair by name, whatever their
// order: the KWX tags balance, so the document converts.
TEST_F(ConverterStopsTest, PairedElementsConvert) {
  const std::pair<const char*, std::string> rows[] = {
      {"one element", Begin("Sec") + "<String `x'>\n<ElementEnd `Sec'>\n"},
      {"nested", Begin("Sec") + Begin("Title") + "<String `x'>\n<ElementEnd `Title'>\n<ElementEnd `Sec'>\n"},
      {"same name nested", Begin("Sec") + Begin("Sec") + "<String `x'>\n<ElementEnd `Sec'>\n<ElementEnd `Sec'>\n"},
      {"crossing", Begin("A") + Begin("B") + "<String `x'>\n<ElementEnd `A'>\n<ElementEnd `B'>\n"},
      {"one-line objects only", "<Element \n<ETag `Img'>\n> # end of Element\n<String `x'>\n"},
  };
  for (const auto& [name, content] : rows) {
    auto session = MakeSession(Settings(), dir_, dir_, 0);
    EXPECT_EQ(0, ConvertText(Doc("", content), true, 0, *session)) << name;
    auto again = MakeSession(Settings(), dir_, dir_, 0);
    EXPECT_EQ(0, ConvertText(Doc("", content), false, 0, *again)) << name;
  }
}

struct WarningRow {
  const char* name;
  std::string mif;
  std::vector<unsigned> ids;  // messages added, in order
};

std::vector<WarningRow> WarningRows() {
  return {
      {"equation", Doc("", "<String `x'>\n", "<Math \n<MathFullForm `char[x]'>\n> # end of Math\n"), {230, 231}},
      {"text inset", Doc("", "<TextInset \n<TiSrcFile `<c\\>a.txt'>\n> # end of TextInset\n<String `x'>\n<TextInsetEnd >\n"),
       {260, 261}},
      {"unanchored frame",
       Doc("", "<String `x'>\n",
           "<Frame \n<ShapeRect  1.0\" 9.5\" 1.0\" 1.0\">\n<TextLine \n<TLOrigin  0.1\" 0.1\">\n<String `Label'>\n"
           "> # end of TextLine\n> # end of Frame\n"),
       {300, 301}},
      {"long marker", Doc("", "<Marker \n<MType 3>\n<MText `" + std::string(221, 'm') + "'>\n> # end of Marker\n"),
       {250, 251}},
      {"short marker", Doc("", "<Marker \n<MType 3>\n<MText `" + std::string(220, 'm') + "'>\n> # end of Marker\n"),
       {}},
      {"structured markup", Doc("", "<ElementBegin \n<ETag `Sec'>\n> # end of ElementBegin\n<ElementEnd `Sec'>\n"),
       {290, 291, 292}},
  };
}

TEST_F(ConverterStopsTest, WarningsInTheFirstConversionOnly) {
  for (const WarningRow& row : WarningRows()) {
    auto session = MakeSession(Settings(), dir_, dir_, 0);
    ASSERT_EQ(0, ConvertText(row.mif, true, 0, *session)) << row.name;
    std::vector<std::string> expected;
    for (unsigned id : row.ids) expected.push_back(lpsz_LoadKernelString(id));
    std::vector<std::string> actual;
    for (const std::string& line : session->rco_GetResults()) actual.push_back(line.substr(0, line.find(' ', 19)));
    ASSERT_EQ(expected.size(), actual.size()) << row.name << ::testing::PrintToString(session->rco_GetResults());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i].substr(0, expected[i].find(' ', 19)), actual[i]) << row.name;
    }
    auto again = MakeSession(Settings(), dir_, dir_, 0);
    ASSERT_EQ(0, ConvertText(row.mif, false, 0, *again)) << row.name;
    EXPECT_TRUE(again->rco_GetResults().empty()) << row.name;
  }
}

TEST_F(ConverterStopsTest, WarningTextsNameThePageAndTheMarker) {
  auto session = MakeSession(Settings(), dir_, dir_, 0);
  session->v_SetSourceMarkerLength("5");
  ASSERT_EQ(0, ConvertText(Doc("", "<String `x'>\n<Marker \n<MType 3>\n<MText `123456'>\n> # end of Marker\n",
                       "<Math \n> # end of Math\n"),
                   true, 0, *session));
  const CQ_StringList& r = session->rco_GetResults();
  ASSERT_EQ(4u, r.size());
  EXPECT_EQ("Conversion Warning 230. Equation on page 4.", r[0]);
  EXPECT_EQ("Conversion Warning 250. Marker <mk \"Comment\" 1> with more than 5 characters found.", r[2]);
}

// --- file level ---------------------------------------------------------------------

class FileLevelTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    for (const char* sub : {"src", "org", "tr"}) std::filesystem::create_directories(dir_ + sub);
  }
  std::unique_ptr<CQ_Morvane_CommunicationFrame> Session(const std::string& translated, int format = 0) {
    return MakeSession(Settings(), dir_ + "org/", translated, format);
  }
};

class StepCounter : public CQ_Morvane_Observer {
 public:
  void v_ProgressStep(bool) override {
    ++steps;
    if (cancelAt && steps == cancelAt) session->v_SetUserCancelled(true);
  }
  void v_ResultsWaiting() override {}
  int steps = 0;
  int cancelAt = 0;
  CQ_Morvane_Communication* session = nullptr;
};

TEST_F(FileLevelTest, WritesORGCopyAndKWXFilesAndTakesEightSteps) {
  WriteBytes(dir_ + "src/Chapter.MIF", Doc("", "<String `Text'>\n"));
  auto session = Session(dir_ + "tr/", 1);
  StepCounter counter;
  session->v_SetObserver(&counter);
  CQ_StringList paths = {dir_ + "src/Chapter.MIF"};
  session->v_ConvertMIF(&paths);
  EXPECT_EQ(8, counter.steps);
  EXPECT_EQ(KWX_VERSION_F300, session->et_GetKWXVersion());
  // The ORG extension takes the case of the source extension.
  EXPECT_TRUE(Exists(dir_ + "org/Chapter.ORG"));
  EXPECT_EQ(ReadBytes(dir_ + "org/Chapter.rtf"), ReadBytes(dir_ + "tr/Chapter.rtf"));
  EXPECT_FALSE(ReadBytes(dir_ + "org/Chapter.rtf").empty());
  EXPECT_FALSE(session->b_AncillaryFileIsEmpty());
}

TEST_F(FileLevelTest, OneFileWhenBothFoldersAreTheSame) {
  WriteBytes(dir_ + "src/a.mif", Doc("", "<String `Text'>\n"));
  auto session = Session(dir_ + "ORG/");  // the same folder, spelled otherwise
  CQ_StringList paths = {dir_ + "src/a.mif"};
  session->v_ConvertMIF(&paths);
  EXPECT_TRUE(Exists(dir_ + "org/a.txt"));
  EXPECT_FALSE(Exists(dir_ + "ORG/a.txt"));
}

TEST_F(FileLevelTest, AStopWritesNoKWXFileAndNoAncillarySection) {
  WriteBytes(dir_ + "src/a.mif", Doc("", "<Marker \n<MType 2>\n<MText `!IXGEN_DONT_EDIT_THIS!'>\n> # end of Marker\n"));
  auto session = Session(dir_ + "tr/");
  CQ_StringList paths = {dir_ + "src/a.mif"};
  session->v_ConvertMIF(&paths);
  EXPECT_FALSE(Exists(dir_ + "org/a.txt"));
  EXPECT_FALSE(Exists(dir_ + "tr/a.txt"));
  EXPECT_TRUE(session->b_AncillaryFileIsEmpty());
  const std::vector<std::string> results = ResultLines(*session);
  EXPECT_NE(std::find(results.begin(), results.end(), lpsz_LoadKernelString(Msg::FWD_ERR_IXGEN_MARKERS)), results.end());
}

TEST_F(FileLevelTest, UnpairedElementsLeaveNoOutputAndAParserError) {
  WriteBytes(dir_ + "src/a.mif", Doc("", Begin("Sec") + "<String `x'>\n"));
  WriteBytes(dir_ + "src/b.mif", Doc("", Begin("Sec") + "<String `x'>\n<ElementEnd `Sec'>\n"));
  auto session = Session(dir_ + "tr/");
  session->v_SetMarkerPlaceholders(0);
  CQ_StringList paths = {dir_ + "src/a.mif", dir_ + "src/b.mif"};
  session->v_ConvertMIF(&paths);
  for (const char* name : {"org/a.txt", "tr/a.txt", "org/a.org"}) EXPECT_FALSE(Exists(dir_ + name)) << name;
  // The next file of the batch converts.
  for (const char* name : {"org/b.txt", "tr/b.txt", "org/b.org"}) EXPECT_TRUE(Exists(dir_ + name)) << name;
  const std::vector<std::string> results = ResultLines(*session);
  EXPECT_NE(std::find(results.begin(), results.end(), lpsz_LoadKernelString(Msg::FWD_ERR_PARSER)), results.end());
}

TEST_F(FileLevelTest, ACancelAtAProgressStepEndsTheFile) {
  WriteBytes(dir_ + "src/a.mif", Doc("", "<String `Text'>\n"));
  auto session = Session(dir_ + "tr/");
  StepCounter counter;
  counter.cancelAt = 4;
  counter.session = session.get();
  session->v_SetObserver(&counter);
  CQ_StringList paths = {dir_ + "src/a.mif"};
  session->v_ConvertMIF(&paths);
  EXPECT_FALSE(Exists(dir_ + "org/a.txt"));
  const std::vector<std::string> results = ResultLines(*session);
  EXPECT_NE(std::find(results.begin(), results.end(), lpsz_LoadKernelString(Msg::BATCH_CANCELLED)), results.end());
}

}  // namespace

namespace {

// Every line prefix of a document, and the document with any one line
// left out, either converts or stops with one of the kernel's codes;
// nothing else escapes and nothing crashes.
int ConvertOrCode(std::string_view mif) {
  CQ_Morvane_CommunicationFrame session("morvane", "3.0", false);
  CQ_MIFToKWXConverter converter(session, CQ_MIFToKWXConverter::st_InMemoryOptions("/src/a.mif"));
  try {
    converter.v_ConvertText(mif);
  } catch (int code) {
    return code;
  }
  return 0;
}

TEST(DamagedInputTest, EveryPrefixAndEveryMissingLineConvertsOrStopsWithACode) {
  for (const char* name : {"tables_frames", "markers_footnotes", "formats_master", "structured", "conditions"}) {
    const std::string mif = ReadBytes(DataDir() + "golden/" + name + "/input.mif");
    ASSERT_FALSE(mif.empty()) << name;
    std::size_t converted = 0;
    std::size_t begin = 0;
    for (std::size_t end = mif.find('\n'); end != std::string::npos; begin = end + 1, end = mif.find('\n', end + 1)) {
      const int prefix = ConvertOrCode(std::string_view(mif).substr(0, end + 1));
      EXPECT_TRUE(prefix == 0 || prefix == 6 || prefix == 8) << name << " cut after byte " << end << ": " << prefix;
      if (prefix == 0) ++converted;
      const std::string without = mif.substr(0, begin) + mif.substr(end + 1);
      const int missing = ConvertOrCode(without);
      EXPECT_TRUE(missing == 0 || missing == 6 || missing == 8)
          << name << " without line at byte " << begin << ": " << missing;
    }
    // Only the whole document ends with "# End of MIFFile".
    EXPECT_EQ(1u, converted) << name;
  }
}

}  // namespace
