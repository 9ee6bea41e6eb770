// The pre-scan over the real FrameMaker documents of the shared corpus:
// versions outside 4.0 to 5.5 are refused, documents with change bars are
// refused with their messages, and the same documents with change bars
// switched off pre-scan, read back identically from their ORG copies, and
// give well-formed restructured lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string_view>

#include "MIFTestSupport.h"
#include "kernel/backward/MIFBlockBuilder.h"
#include "kernel/forward/MIFLineReader.h"
#include "kernel/session/ResultCodes.h"

namespace {

using mif_test::CodeOf;
using mif_test::ListFolder;
using mif_test::ReadFile;
using mif_test::SameText;
using mif_test::WriteFile;

const std::string kCorpus = MORVANE_CORPUS_DIR;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const std::string& name : ListFolder(kCorpus)) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".mif") == 0) files.push_back(name);
  }
  return files;
}

bool InRange(const std::string& text) {
  return text.rfind("<MIFFile 4", 0) == 0 || text.rfind("<MIFFile 5.0", 0) == 0 || text.rfind("<MIFFile 5.5", 0) == 0;
}

// The document with change bars switched off, as a user would save it.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string SwitchedOff(const std::string& text) {
  return ReplaceAll(ReplaceAll(text, "<FChangeBar Yes", "<FChangeBar No"), "<DAutoChBars Yes", "<DAutoChBars No");
}

// How the unmodified documents that have change bars are refused.
struct Refusal {
  int code;
  std::size_t formatMessages;  // messages 60/61 before the stop
};
const std::map<std::string, Refusal> kRefusals = {
    {"x11__RX_mif400.mif", {2030, 0}},  // DAutoChBars in the Document section
    {"self__VMRef.mif", {2040, 3}},     // three paragraph formats
    {"x11__xp_library_mif400.mif", {2040, 1}},
    {"x11__xp_library_mif500.mif", {2040, 1}},
};

// Structural checks of a restructured list.
::testing::AssertionResult WellFormed(const CQ_MIFLines& lines) {
  long depth = 0;
  std::vector<std::string> open;
  std::size_t columns = 0;
  std::size_t columnEnds = 0;
  std::size_t frames = 0;
  std::size_t frameEnds = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int net = MIFSyntax::NetDepth(line);
    const std::string_view kw = MIFSyntax::Keyword(line);
    const bool statement = MIFSyntax::IsStatement(line);
    if (statement && kw == "Unique" && !open.empty() && open.back() == "Para") {
      return ::testing::AssertionFailure() << "Unique line in a paragraph at " << i;
    }
    if (statement && (kw == "ATbl" || kw == "FNote")) {
      const std::string expected = kw == "ATbl" ? "<Tbl" : "<FNote";
      if (i + 1 >= lines.size() || lines[i + 1] != expected) {
        return ::testing::AssertionFailure() << line << " at " << i << " is not followed by " << expected;
      }
    }
    if (statement && kw == "AFrame") {
      ++frames;
      if (i + 1 >= lines.size() || (lines[i + 1] != "<Frame" && lines[i + 1] != "<End Of AFrame>")) {
        return ::testing::AssertionFailure() << line << " at " << i << " is not followed by its frame";
      }
    }
    if (statement && kw == "TextRectID") ++columns;
    if (line == "<End of TextRectID>") ++columnEnds;
    if (line == "<End Of AFrame>") ++frameEnds;
    if (net > 0) open.emplace_back(kw);
    for (int k = 0; k < -net && !open.empty(); ++k) open.pop_back();
    depth += net;
    // An anchored frame's opening is closed by its end-of-frame line.
    if (line == "<End Of AFrame>" && i > 0 && lines[i - 1].rfind("<AFrame ", 0) != 0) {
      depth -= 1;
      if (!open.empty()) open.pop_back();
    }
    if (depth < 0) return ::testing::AssertionFailure() << "closer without opening at " << i;
  }
  if (depth != 0) return ::testing::AssertionFailure() << "depth " << depth << " at the end";
  if (columns != columnEnds) return ::testing::AssertionFailure() << columns << " columns, " << columnEnds << " ends";
  if (frames != frameEnds) return ::testing::AssertionFailure() << frames << " frames, " << frameEnds << " ends";
  return ::testing::AssertionSuccess();
}

class MIFCorpusTest : public mif_test::SessionTest {
 protected:
  void SetUp() override {
    if (CorpusFiles().empty()) GTEST_SKIP() << "no FrameMaker corpus at " << kCorpus;
    SessionTest::SetUp();
  }
};

TEST_F(MIFCorpusTest, EveryDocumentPreScansOrIsRefusedWithItsMessages) {
  for (const std::string& name : CorpusFiles()) {
    SCOPED_TRACE(name);
    const std::string path = kCorpus + "/" + name;
    const std::string text = ReadFile(path);
    CQ_MIFPreScan scan(session_, mif_test::Forward());
    const int code = CodeOf([&] { scan.v_PreScanForward(path, dir_ + "out.org"); });
    std::vector<std::string> results = Results();
    // The lines the session reports for the code, as for a batch of one.
    int processed = 0;
    int failed = 0;
    session_.v_SetTask(TASK_MIF_TO_KWX);
    (void)session_.b_ErrorReporting(code, processed, failed, 1);
    const std::vector<std::string> report = Results();
    if (!InRange(text)) {
      EXPECT_EQ(code, Result::MIF_VERSION);
      EXPECT_TRUE(results.empty());
      EXPECT_EQ(report, (std::vector<std::string>{"Conversion Error 100. Incorrect MIF version (not 4.0, 5.0 or 5.5).", ""}));
      EXPECT_TRUE(ListFolder(dir_).empty());
      continue;
    }
    const std::size_t formatMessages = static_cast<std::size_t>(std::count_if(
        results.begin(), results.end(), [](const std::string& l) { return l.rfind("Conversion Error 60.", 0) == 0; }));
    const auto refusal = kRefusals.find(name);
    if (refusal != kRefusals.end()) {
      EXPECT_EQ(code, refusal->second.code);
      EXPECT_EQ(formatMessages, refusal->second.formatMessages);
      ASSERT_EQ(report.size(), 4u);
      EXPECT_EQ(report[0], code == Result::AUTO_CHANGE_BARS ? "Conversion Error 50. Automatic Change Bars are on in the document."
                                        : "Open the file in FrameMaker, turn off Automatic Change Bars and clear all Change Bars.");
      if (code == Result::CHANGE_BARS_IN_FORMAT) {
        EXPECT_EQ(report[1], "Use the Global Update Command to remove Change Bars from all formats.");
      }
      EXPECT_EQ(report[2], "Save the file, then save the file as MIF and attempt to convert again.");
      EXPECT_TRUE(ListFolder(dir_).empty());
    } else {
      EXPECT_TRUE(code == Result::OK || code == Result::AUTO_CHANGE_BARS || code == Result::CHANGE_BARS_IN_FORMAT) << "code " << code;
      if (code == Result::OK) ::unlink((dir_ + "out.org").c_str());
    }
  }
}

TEST_F(MIFCorpusTest, DocumentsWithChangeBarsOffPreScanAndReadBackFromTheirORGCopies) {
  std::size_t checked = 0;
  for (const std::string& name : CorpusFiles()) {
    const std::string source = ReadFile(kCorpus + "/" + name);
    if (!InRange(source)) continue;
    SCOPED_TRACE(name);
    const std::string mif = dir_ + name;
    const std::string org = dir_ + name + ".org";
    WriteFile(mif, SwitchedOff(source));

    CQ_MIFPreScan forward(session_, mif_test::Forward());
    ASSERT_EQ(CodeOf([&] { forward.v_PreScanForward(mif, org); }), 0);
    for (const std::string& line : Results()) {
      EXPECT_EQ(line.rfind("Conversion Warning 240.", 0), 0u) << line;
    }
    EXPECT_TRUE(WellFormed(forward.rco_GetBodyLines()));
    EXPECT_TRUE(WellFormed(forward.rco_GetMasterLines()));
    EXPECT_FALSE(forward.rco_GetBodyLines().empty());

    CQ_MIFPreScan again(session_, mif_test::Forward());
    ASSERT_EQ(CodeOf([&] { again.v_PreScanForward(mif, dir_ + "again.org"); }), 0);
    Results();
    EXPECT_EQ(forward.ccs_Dump(), again.ccs_Dump()) << "not deterministic";

    CQ_MIFPreScan second(session_, mif_test::SecondForm());
    ASSERT_EQ(CodeOf([&] { second.v_PreScanSecondForm(org); }), 0);
    EXPECT_TRUE(SameText(forward.ccs_Dump(), second.ccs_Dump()));

    ASSERT_TRUE(session_.b_FindMIFObjects(mif));
    const std::vector<std::string> visible = forward.acs_VisibleObjects();
    EXPECT_FALSE(visible.empty());
    for (const std::string& id : visible) EXPECT_TRUE(session_.b_GetVisibleMIFObject(id.c_str())) << id;
    ::unlink(mif.c_str());
    ::unlink(org.c_str());
    ::unlink((dir_ + "again.org").c_str());
    ++checked;
  }
  EXPECT_GT(checked, 0u);
}

// The lines a CQ_MIFHeldLines gives over text, with the lengths of its
// first lines given or not.
std::vector<std::string_view> HeldLines(const std::string& text, const std::vector<std::uint8_t>* lengths) {
  CQ_MIFHeldLines held = lengths ? CQ_MIFHeldLines(text, lengths->data(), lengths->size()) : CQ_MIFHeldLines(text);
  std::vector<std::string_view> lines;
  std::string_view line;
  while (held.b_Next(line)) lines.push_back(line);
  return lines;
}

TEST_F(MIFCorpusTest, TheLengthsOfTheLinesNotedOverHeldTextGiveTheLinesTheTextGives) {
  // A later pass over the held ORG copy takes its lines by the lengths the
  // pre-scan noted: they are those of the reader's lines, up to the end
  // marker, and the lines taken by them are those split from the text
  // itself, on the ORG copy and on the source with CR LF line ends and
  // blanks around its lines.
  std::size_t checked = 0;
  for (const std::string& name : CorpusFiles()) {
    const std::string source = ReadFile(kCorpus + "/" + name);
    if (!InRange(source)) continue;
    SCOPED_TRACE(name);
    const std::string mif = dir_ + name;
    const std::string org = dir_ + name + ".org";
    WriteFile(mif, SwitchedOff(source));
    CQ_MIFPreScan forward(session_, mif_test::Forward());
    ASSERT_EQ(CodeOf([&] { forward.v_PreScanForward(mif, org); }), 0);
    Results();
    std::string crlf;
    for (const char c : SwitchedOff(source)) crlf += c == '\n' ? std::string(" \r\n\t") : std::string(1, c);
    for (const std::string& text : {ReadFile(org), crlf}) {
      CQ_MIFPreScan scan(session_, mif_test::SecondForm());
      ASSERT_EQ(CodeOf([&] { scan.v_PreScanHeldText(text); }), 0);
      const std::vector<std::uint8_t>& lengths = scan.rco_GetLineLengths();
      EXPECT_EQ(lengths.size(), scan.rco_GetLineNets().size());
      CQ_MIFLineReader reader(text.data(), text.size());
      std::string_view line;
      std::size_t k = 0;
      while (reader.b_ReadLineView(line) && line.rfind("# End of MIFFile", 0) != 0) {
        ASSERT_LT(k, lengths.size());
        ASSERT_EQ(lengths[k], std::min<std::size_t>(line.size(), 255)) << "line " << k + 1;
        ++k;
      }
      EXPECT_EQ(k, lengths.size());
      EXPECT_EQ(HeldLines(text, &lengths), HeldLines(text, nullptr));
    }
    ::unlink(mif.c_str());
    ::unlink(org.c_str());
    ++checked;
  }
  EXPECT_GT(checked, 0u);
}

TEST_F(MIFCorpusTest, TextInAnchoredFramesIsKept) {
  // VMRef holds 33 text columns inside anchored frames and text lines in
  // frames; all of them must reach the body list.
  const std::string path = kCorpus + "/self__VMRef.mif";
  const std::string source = ReadFile(path);
  if (source.empty()) GTEST_SKIP() << "self__VMRef.mif is not in the corpus";
  CQ_MIFPreScan scan(session_, mif_test::SecondForm());
  const std::string text = SwitchedOff(source);
  ASSERT_EQ(CodeOf([&] { scan.v_PreScanText(text.data(), text.size()); }), 0);
  const CQ_MIFLines& body = scan.rco_GetBodyLines();
  std::size_t columnsInFrames = 0;
  int inFrame = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == "<Frame" && i > 0 && body[i - 1].rfind("<AFrame ", 0) == 0) ++inFrame;
    if (body[i] == "<End Of AFrame>" && body[i - 1].rfind("<AFrame ", 0) != 0) --inFrame;
    if (inFrame > 0 && body[i].rfind("<TextRectID ", 0) == 0) ++columnsInFrames;
  }
  EXPECT_EQ(columnsInFrames, 33u);
  // Column 208 receives no text and is left out.
  EXPECT_EQ(std::count(body.begin(), body.end(), "<TextRectID 208>"), 0);
}

}  // namespace
