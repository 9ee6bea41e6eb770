// The pre-scan over the fixtures: golden dumps of the restructured lists,
// the ORG copy and its second-form reading, truncation, soft hyphens, and
// the forward form's handling of files (EUC copy, failures leave no ORG).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "MIFTestSupport.h"
#include "support/TestFiles.h"
#include "System/Platform/FileException.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

using mif_test::CaseFolder;
using mif_test::CodeOf;
using mif_test::Document;
using mif_test::Exists;
using mif_test::ListFolder;
using mif_test::ReadFile;
using mif_test::SameText;
using mif_test::WriteFile;

// What the ORG copy must hold, computed independently of the reader: the
// lines split at CR and LF, trimmed, without empty ones, up to the end
// marker.
std::string ExpectedORG(const std::string& source) {
  std::string out;
  std::string line;
  auto flush = [&]() -> bool {
    const std::size_t b = line.find_first_not_of(" \t\r\n\v\f");
    if (b == std::string::npos) {
      line.clear();
      return false;
    }
    const std::size_t e = line.find_last_not_of(" \t\r\n\v\f");
    const std::string t = line.substr(b, e - b + 1);
    out += t + "\n";
    line.clear();
    return t.rfind("# End of MIFFile", 0) == 0;
  };
  for (char c : source) {
    if (c == '\r' || c == '\n') {
      if (flush()) return out;
    } else {
      line += c;
    }
  }
  flush();
  return out;
}

class MIFGoldenTest : public mif_test::SessionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MIFGoldenTest, DumpMatchesAndTheORGCopyReadsTheSame) {
  const std::string folder = CaseFolder(GetParam());
  const std::string input = folder + "input.mif";
  CQ_MIFPreScan forward(session_, mif_test::Forward());
  ASSERT_EQ(CodeOf([&] { forward.v_PreScanForward(input, dir_ + "input.org"); }), 0);
  const std::string dump = forward.ccs_Dump();
  if (morvane_test::UpdateGolden()) {
    // Writes the file and fails, so an update run never passes silently.
    EXPECT_TRUE(morvane_test::MatchesGolden(folder + "expected.txt", dump));
  } else {
    EXPECT_TRUE(SameText(ReadFile(folder + "expected.txt"), dump));
  }

  EXPECT_TRUE(SameText(ExpectedORG(ReadFile(input)), ReadFile(dir_ + "input.org")));
  EXPECT_EQ(ListFolder(dir_), std::vector<std::string>{"input.org"});

  CQ_MIFPreScan second(session_, mif_test::SecondForm());
  ASSERT_EQ(CodeOf([&] { second.v_PreScanSecondForm(dir_ + "input.org"); }), 0);
  EXPECT_TRUE(SameText(dump, second.ccs_Dump()));
  EXPECT_EQ(forward.rco_GetBodyLines(), second.rco_GetBodyLines());
  EXPECT_EQ(forward.rco_GetMasterLines(), second.rco_GetMasterLines());
  EXPECT_EQ(forward.acs_VisibleObjects(), second.acs_VisibleObjects());
}

TEST_P(MIFGoldenTest, EveryTruncationIsAnUnexpectedEnd) {
  const std::string text = ReadFile(CaseFolder(GetParam()) + "input.mif");
  const std::size_t marker = text.find("# End of MIFFile");
  ASSERT_NE(marker, std::string::npos);
  const std::size_t complete = marker + std::string("# End of MIFFile").size();
  for (std::size_t size = 0; size <= text.size(); ++size) {
    CQ_MIFPreScan scan(session_, mif_test::SecondForm());
    const int code = CodeOf([&] { scan.v_PreScanText(text.data(), size); });
    ASSERT_EQ(code, size >= complete ? 0 : 8) << "prefix of " << size << " bytes";
  }
}

// The text with CR line ends, and with CR LF line ends and blanks and tabs
// around them.
std::vector<std::string> OtherLineEnds(const std::string& text) {
  std::string crOnly = text;
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  std::string crlfIndented;
  for (char c : text) crlfIndented += c == '\n' ? std::string("  \r\n\t") : std::string(1, c);
  return {crOnly, crlfIndented};
}

TEST_P(MIFGoldenTest, TheSecondFormReadsAFileAsItReadsTheSameBytesInMemory) {
  // The second form reads its file whole and keeps the lines where they lie
  // in that text; reading the same bytes through the line reader must give
  // the same state, whatever the line ends, blanks and the end of the text.
  const std::string text = ReadFile(CaseFolder(GetParam()) + "input.mif");
  std::vector<std::string> variants = OtherLineEnds(text);
  variants.insert(variants.begin(), text);
  variants.push_back(text.substr(0, text.find_last_not_of("\r\n") + 1));  // no final line end
  variants.push_back(text + "\n\n<Page\n");
  for (const std::string& bytes : variants) {
    CQ_MIFPreScan memory(session_, mif_test::SecondForm());
    const int expected = CodeOf([&] { memory.v_PreScanText(bytes.data(), bytes.size()); });
    WriteFile(dir_ + "copy.org", bytes);
    CQ_MIFPreScan file(session_, mif_test::SecondForm());
    ASSERT_EQ(CodeOf([&] { file.v_PreScanSecondForm(dir_ + "copy.org"); }), expected);
    if (expected != 0) continue;
    EXPECT_TRUE(SameText(memory.ccs_Dump(), file.ccs_Dump()));
    EXPECT_EQ(memory.rco_GetBodyLines(), file.rco_GetBodyLines());
    EXPECT_EQ(memory.rco_GetMasterLines(), file.rco_GetMasterLines());
    EXPECT_EQ(memory.acs_VisibleObjects(), file.acs_VisibleObjects());
    // Held text keeps its lines where they lie, a batch of the reader at a
    // time: its lists are the file's, whatever the line ends and the end.
    CQ_MIFPreScan held(session_, mif_test::SecondForm());
    ASSERT_EQ(CodeOf([&] { held.v_PreScanHeldText(bytes); }), 0);
    EXPECT_TRUE(SameText(held.ccs_Dump(), file.ccs_Dump()));
    EXPECT_EQ(held.rco_GetBodyLines(), file.rco_GetBodyLines());
    EXPECT_EQ(held.rco_GetMasterLines(), file.rco_GetMasterLines());
    // The lists stay readable after the file is gone.
    std::remove((dir_ + "copy.org").c_str());
    EXPECT_EQ(memory.rco_GetBodyLines(), file.rco_GetBodyLines());
    file.v_ReleaseLines();
    EXPECT_TRUE(file.rco_GetBodyList().empty());
  }
}

TEST_P(MIFGoldenTest, TheLineDepthsNotedAreThoseOfTheLinesAsReadAgain) {
  // A later pass over the same text takes each line's depth from these
  // notes by its number: they must follow the reader line for line, up to
  // the end marker, whatever the line ends and blanks.
  const std::string text = ReadFile(CaseFolder(GetParam()) + "input.mif");
  std::vector<std::string> variants = OtherLineEnds(text);
  variants.insert(variants.begin(), text);
  variants.push_back(text.substr(0, text.find_last_not_of("\r\n") + 1));  // no final line end
  for (const std::string& bytes : variants) {
    CQ_MIFPreScan scan(session_, mif_test::SecondForm());
    ASSERT_EQ(CodeOf([&] { scan.v_PreScanHeldText(bytes); }), 0);
    const std::vector<std::int8_t>& nets = scan.rco_GetLineNets();
    // Each line's length is noted with its depth.
    const std::vector<std::uint8_t>& lengths = scan.rco_GetLineLengths();
    CQ_MIFLineReader reader(bytes.data(), bytes.size());
    std::string_view line;
    std::size_t k = 0;
    int depth = 0;
    while (reader.b_ReadLineView(line) && line.rfind("# End of MIFFile", 0) != 0) {
      const bool statementOrInside = depth > 0 || line.front() == '<';
      const int net = statementOrInside ? MIFSyntax::NetDepth(line) : 0;
      ASSERT_LT(k, nets.size());
      ASSERT_EQ(nets[k], net) << "line " << k + 1 << ": " << line;
      ASSERT_LT(k, lengths.size());
      ASSERT_EQ(lengths[k], std::min<std::size_t>(line.size(), 255)) << "line " << k + 1 << ": " << line;
      depth += net;
      ++k;
    }
    EXPECT_EQ(k, nets.size());
    EXPECT_EQ(k, lengths.size());
    // Handed over, the notes leave the pre-scan.
    const std::vector<std::uint8_t> taken = scan.vec_TakeLineLengths();
    EXPECT_EQ(taken.size(), k);
    EXPECT_TRUE(scan.rco_GetLineLengths().empty());
    EXPECT_EQ(scan.vec_TakeLineNets().size(), k);
    EXPECT_TRUE(scan.rco_GetLineNets().empty());
  }
  // Text that is not held (read once, for tests and fuzzing) notes nothing,
  // nor does a file read whole for the second form.
  CQ_MIFPreScan copied(session_, mif_test::SecondForm());
  ASSERT_EQ(CodeOf([&] { copied.v_PreScanText(text.data(), text.size()); }), 0);
  EXPECT_TRUE(copied.rco_GetLineNets().empty());
  EXPECT_TRUE(copied.rco_GetLineLengths().empty());
  WriteFile(dir_ + "notes.org", text);
  CQ_MIFPreScan file(session_, mif_test::SecondForm());
  ASSERT_EQ(CodeOf([&] { file.v_PreScanSecondForm(dir_ + "notes.org"); }), 0);
  EXPECT_TRUE(file.rco_GetLineNets().empty());
  EXPECT_TRUE(file.rco_GetLineLengths().empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MIFGoldenTest,
                         ::testing::Values("reading_order", "flow_preparation", "anchored_objects", "catalogs"));

class MIFPreScanTest : public mif_test::SessionTest {
 protected:
  // The body list of a document pre-scanned with the given hyphenation.
  CQ_MIFLines Body(const std::string& text, int hyphenation) {
    CQ_MIFPreScan::st_Options options = mif_test::SecondForm();
    options.i_SourceHyphenation = hyphenation;
    CQ_MIFPreScan scan(session_, options);
    scan.v_PreScanText(text.data(), text.size());
    return scan.rco_GetBodyLines();
  }
};

const char* const kPageWithColumn5 =
    "<Page\n<PageType BodyPage>\n<TextRect\n<ID 5>\n<ShapeRect 1\" 1\" 6\" 9\">\n> # end of TextRect\n"
    "> # end of Page\n";

std::string FlowOf(const std::string& paragraphs) {
  return "<TextFlow\n<Notes\n> # end of Notes\n" + paragraphs + "> # end of TextFlow\n";
}

struct SoftHyphenRow {
  const char* name;
  std::string paragraph;
  std::size_t keptWhenOff;  // soft hyphens left with hyphenation "Turn Off"
  std::size_t inSource;     // soft hyphens in the paragraph ("Leave As Is" keeps them all)
};

std::size_t SoftHyphens(const CQ_MIFLines& lines) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return MIFSyntax::ValueIs(l, "Char", "SoftHyphen");
  }));
}

TEST_F(MIFPreScanTest, SoftHyphensGoOnlyAtLineEndsAndOnlyWhenTurnedOff) {
  const SoftHyphenRow rows[] = {
      {"line end, MIF 5 closer",
       "<Para\n<ParaLine\n<TextRectID 5>\n<String `hy'>\n<Char SoftHyphen>\n> # end of ParaLine\n> # end of Para\n", 0,
       1},
      {"line end, MIF 4 bare closer",
       "<Para\n<ParaLine\n<TextRectID 5>\n<String `hy'>\n<Char SoftHyphen >\n>\n> # end of Para\n", 0, 1},
      {"mid-line",
       "<Para\n<ParaLine\n<TextRectID 5>\n<Char SoftHyphen>\n<String `x'>\n> # end of ParaLine\n> # end of Para\n", 1,
       1},
      {"before a nested block's closer is not a line end",
       "<Para\n<ParaLine\n<TextRectID 5>\n<Font\n<Char SoftHyphen>\n> # end of Font\n> # end of ParaLine\n"
       "> # end of Para\n",
       1, 1},
      {"one of each",
       "<Para\n<ParaLine\n<TextRectID 5>\n<Char SoftHyphen>\n<String `a'>\n<Char SoftHyphen>\n>\n"
       "<ParaLine\n<String `b'>\n>\n> # end of Para\n",
       1, 2},
  };
  for (const SoftHyphenRow& row : rows) {
    const std::string text = Document(kPageWithColumn5 + FlowOf(row.paragraph));
    EXPECT_EQ(SoftHyphens(Body(text, 0)), row.keptWhenOff) << row.name;
    EXPECT_EQ(SoftHyphens(Body(text, 1)), row.inSource) << row.name << " (Leave As Is)";
  }
}

TEST_F(MIFPreScanTest, RestructuringIsDeterministic) {
  const std::string text = ReadFile(CaseFolder("anchored_objects") + "input.mif");
  CQ_MIFPreScan a(session_, mif_test::SecondForm());
  CQ_MIFPreScan b(session_, mif_test::SecondForm());
  a.v_PreScanText(text.data(), text.size());
  b.v_PreScanText(text.data(), text.size());
  EXPECT_EQ(a.ccs_Dump(), b.ccs_Dump());
  // The objects placed moved out of the tables into the lists; a table no
  // anchor uses stays.
  EXPECT_TRUE(a.rco_GetTextColumns().at("10").empty());
  EXPECT_TRUE(a.rco_GetTables().at("1").empty());
  EXPECT_FALSE(a.rco_GetTables().at("9").empty());
}

TEST_F(MIFPreScanTest, ColumnStartsForBackConversion) {
  const std::string text = ReadFile(CaseFolder("flow_preparation") + "input.mif");
  CQ_MIFPreScan scan(session_, mif_test::SecondForm());
  scan.v_PreScanText(text.data(), text.size());
  const std::vector<st_MIFTextFlow>& flows = scan.rco_GetTextFlows();
  ASSERT_EQ(flows.size(), 3u);
  ASSERT_EQ(flows[0].vec_Columns.size(), 2u);
  const st_MIFColumnStart& second = flows[0].vec_Columns[1];
  EXPECT_EQ(second.cs_Line, "<TextRectID 9>");
  EXPECT_EQ(second.n_Paragraph, 1u);  // the paragraph that runs on
  EXPECT_EQ(second.n_ParaLine, 2u);
  EXPECT_EQ(second.n_FirstHome, 2u);
  EXPECT_EQ(second.n_HomeCount, 1u);
  EXPECT_EQ(flows[0].lst_Header, (CQ_MIFLines{"<TextFlow", "<TFTag `A'>", "<TFAutoConnect Yes >"}));
  EXPECT_TRUE(flows[2].vec_Columns.empty());
  EXPECT_TRUE(scan.b_IsConditionHidden("Internal"));
  EXPECT_FALSE(scan.b_IsConditionHidden("Print"));
  EXPECT_FALSE(scan.b_IsConditionHidden("Unknown"));
  EXPECT_EQ(scan.rco_GetFootnotes().count("27"), 1u);
}

TEST_F(MIFPreScanTest, CatalogAccessors) {
  const std::string text = ReadFile(CaseFolder("catalogs") + "input.mif");
  CQ_MIFPreScan scan(session_, mif_test::SecondForm());
  scan.v_PreScanText(text.data(), text.size());
  ASSERT_NE(scan.pcco_FindPgfNumFormat("Step"), nullptr);
  EXPECT_EQ(*scan.pcco_FindPgfNumFormat("Step"), "S:Step <n+\\>:\\t");
  EXPECT_EQ(scan.pcco_FindPgfNumFormat("Body"), nullptr);
  EXPECT_EQ(scan.rco_GetFootnoteText(MIF_TBLFN_ANCHOR_PREFIX), "(");
  EXPECT_EQ(scan.rco_GetFootnoteText(MIF_FN_NUMBER_PREFIX), "");
  EXPECT_EQ(scan.rco_GetPageBackgrounds(), (std::vector<std::string>{"Default", "First"}));
  scan.v_ReleaseObjectTables();
  EXPECT_TRUE(scan.rco_GetTextColumns().empty());
  EXPECT_FALSE(scan.rco_GetBodyLines().empty());
}

struct ORGPathRow {
  const char* extension;
  const char* org;
};

TEST(MIFORGPathTest, ExtensionCaseCarriesOver) {
  const ORGPathRow rows[] = {{".mif", "/o/doc.org"}, {".MIF", "/o/doc.ORG"}, {".Mif", "/o/doc.Org"},
                             {".mIf", "/o/doc.oRg"}, {".mi", "/o/doc.org"}};
  for (const ORGPathRow& row : rows) EXPECT_EQ(CQ_MIFPreScan::scs_ORGPath("/o/", "doc", row.extension), row.org) << row.extension;
}

// --- the forward form over files ---------------------------------------------------

class MIFForwardTest : public mif_test::SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    src_ = dir_ + "src/";
    org_ = dir_ + "org/";
    ASSERT_EQ(::mkdir(src_.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(org_.c_str(), 0755), 0);
  }
  int Run(const std::string& name) {
    CQ_MIFPreScan scan(session_, mif_test::Forward());
    return CodeOf([&] { scan.v_PreScanForward(src_ + name + ".mif", org_ + name + ".org"); });
  }
  std::string src_;
  std::string org_;
};

TEST_F(MIFForwardTest, EUCJapaneseIsReadThroughAShiftJISCopyThatIsRemoved) {
  const std::string folder = CaseFolder("euc_jp");
  WriteFile(src_ + "jp.mif", ReadFile(folder + "input.mif"));
  CQ_MIFPreScan scan(session_, mif_test::Forward());
  ASSERT_EQ(CodeOf([&] { scan.v_PreScanForward(src_ + "jp.mif", org_ + "jp.org"); }), 0);
  EXPECT_TRUE(scan.b_GetEUC());
  EXPECT_TRUE(SameText(ReadFile(folder + "expected.org"), ReadFile(org_ + "jp.org")));
  EXPECT_EQ(ListFolder(org_), std::vector<std::string>{"jp.org"});
  EXPECT_EQ(ListFolder(src_), std::vector<std::string>{"jp.mif"});
  // Message 3 for the MIFEncoding statement.
  EXPECT_EQ(Results(), std::vector<std::string>{"This MIF file was created on an Asian Operating System."});
  // The Shift-JIS text, trail byte 0x5C included, reaches the lists.
  bool found = false;
  for (const std::string& line : scan.rco_GetBodyLines()) found = found || line.find("\x83\x5C") != std::string::npos;
  EXPECT_TRUE(found);
}

TEST_F(MIFForwardTest, EUCCopyIsRemovedWhenThePreScanFails) {
  std::string text = ReadFile(CaseFolder("euc_jp") + "input.mif");
  text.resize(text.find("# End of MIFFile") - 40);
  WriteFile(src_ + "jp.mif", text);
  EXPECT_EQ(Run("jp"), 8);
  EXPECT_TRUE(ListFolder(org_).empty());
}

// The Shift-JIS copy's name is no longer than the ORG copy's: a source
// whose name takes 250 of the 255 bytes a name may have converts.
TEST_F(MIFForwardTest, EUCJapaneseWithA250ByteNameConverts) {
  const std::string folder = CaseFolder("euc_jp");
  const std::string name(246, 'j');
  WriteFile(src_ + name + ".mif", ReadFile(folder + "input.mif"));
  ASSERT_EQ(Run(name), 0);
  EXPECT_TRUE(SameText(ReadFile(folder + "expected.org"), ReadFile(org_ + name + ".org")));
  EXPECT_EQ(ListFolder(org_), std::vector<std::string>{name + ".org"});
}

TEST_F(MIFForwardTest, FailedFileLeavesNoORGAndKeepsAnOlderOne) {
  WriteFile(src_ + "cut.mif", "<MIFFile 5.50>\n<PgfCatalog\n<Pgf\n");
  EXPECT_EQ(Run("cut"), 8);
  EXPECT_TRUE(ListFolder(org_).empty());
  WriteFile(org_ + "cut.org", "an older ORG copy\n");
  EXPECT_EQ(Run("cut"), 8);
  EXPECT_EQ(ListFolder(org_), std::vector<std::string>{"cut.org"});
  EXPECT_EQ(ReadFile(org_ + "cut.org"), "an older ORG copy\n");
}

TEST_F(MIFForwardTest, RefusedFileCreatesNothing) {
  WriteFile(src_ + "old.mif", "<MIFFile 3.00> # Generated by FrameMaker 3.1X\n# End of MIFFile\n");
  EXPECT_EQ(Run("old"), 2010);
  WriteFile(src_ + "tw.mif", "<MIFFile 5.50>\n<MIFEncoding `\xC4\xE3\xC5\xC6'>\n# End of MIFFile\n");
  EXPECT_EQ(Run("tw"), 2100);
  WriteFile(src_ + "text.mif", "Just some text\n");
  EXPECT_EQ(Run("text"), 2000);
  EXPECT_TRUE(ListFolder(org_).empty());
  EXPECT_EQ(ListFolder(src_), (std::vector<std::string>{"old.mif", "text.mif", "tw.mif"}));
}

TEST_F(MIFForwardTest, MissingSourceIsAFileException) {
  CQ_MIFPreScan scan(session_, mif_test::Forward());
  try {
    scan.v_PreScanForward(src_ + "gone.mif", org_ + "gone.org");
    FAIL() << "no exception";
  } catch (const Platform::CQ_FileException& e) {
    EXPECT_EQ(e.m_cause, Platform::CQ_FileException::fileNotFound);
  }
  EXPECT_TRUE(ListFolder(org_).empty());
}

TEST_F(MIFForwardTest, SecondFormOfAMissingOrEmptyFile) {
  CQ_MIFPreScan scan(session_, mif_test::SecondForm());
  try {
    scan.v_PreScanSecondForm(org_ + "gone.org");
    FAIL() << "no exception";
  } catch (const Platform::CQ_FileException& e) {
    EXPECT_EQ(e.m_cause, Platform::CQ_FileException::fileNotFound);
  }
  WriteFile(org_ + "empty.org", "");
  CQ_MIFPreScan empty(session_, mif_test::SecondForm());
  EXPECT_EQ(CodeOf([&] { empty.v_PreScanSecondForm(org_ + "empty.org"); }), 8);
}

TEST_F(MIFForwardTest, LinesAfterTheEndMarkerAreNotCopied) {
  WriteFile(src_ + "tail.mif", "<MIFFile 5.00>\r\n  <Units Uin>  \r\n# End of MIFFile\r\n<Page\r\ntrailing\r\n");
  EXPECT_EQ(Run("tail"), 0);
  EXPECT_EQ(ReadFile(org_ + "tail.org"), "<MIFFile 5.00>\n<Units Uin>\n# End of MIFFile\n");
}

}  // namespace
