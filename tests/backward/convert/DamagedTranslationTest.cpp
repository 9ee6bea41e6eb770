// Translated files whose blocks no longer match their source, as a careless
// edit leaves them: a paragraph line copied twice inside a text box (in the
// document or in a master-page flow of the ancillary file), and a text box
// renumbered to the number of another. Back conversion pairs a text box's
// paragraphs with the ORG paragraphs and files blocks by number, so each
// must stop with its tag-error message and a report, and leave no MIF
// file; verification must call both an error. Paragraphs added with the
// "<#...>" form, the sound way of adding one, still convert, also at the
// end of the last column of a flow.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "backward/convert/BackTestSupport.h"
#include "kernel/session/KernelStrings.h"

using namespace back_test;

namespace {

std::size_t FindPrefix(const std::vector<std::string>& lines, const std::string& prefix, std::size_t from = 0) {
  for (std::size_t k = from; k < lines.size(); ++k) {
    if (lines[k].rfind(prefix, 0) == 0) return k;
  }
  return lines.size();
}

bool HasLineContaining(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

class DamagedTranslationTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    const std::vector<std::string> results =
        Forward("doc.mif", ReadBytes(DataDir() + "roundtrip/columns.mif"), settings_);
    ASSERT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::DONE))) << ::testing::PrintToString(results);
    kwx_ = Lines(ReadBytes(KWX()));
    ancillary_ = Lines(ReadBytes(dir_ + "tr/ancillary.txt"));
  }
  std::string KWX() const { return dir_ + "tr/doc.txt"; }
  std::string MIF() const { return dir_ + "tr/doc.mif"; }
  std::string Report() const { return dir_ + "tr/doc.cmp"; }
  void Save() {
    WriteBytes(KWX(), Joined(kwx_));
    WriteBytes(dir_ + "tr/ancillary.txt", Joined(ancillary_));
  }
  // The line at `at` written twice.
  static void Duplicate(std::vector<std::string>& lines, std::size_t at) {
    ASSERT_LT(at, lines.size());
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), lines[at]);
  }
  // The verification of the translated file against its source: the
  // report's lines, and whether the results count errors.
  std::vector<std::string> Verify(bool& errors) {
    auto session = MakeSession(settings_, dir_ + "org/", dir_ + "tr/");
    CQ_StringList paths = {KWX()};
    session->v_VerifyVarnels(&paths);
    const std::vector<std::string> results = ResultLines(*session);
    errors = HasLineContaining(results, "Errors: ");
    return Lines(ReadBytes(Report()));
  }
  // Back conversion refused the file with message `message` and error 412
  // or 413 in its report, and wrote no MIF file.
  void ExpectRefused(unsigned message, const std::string& error) {
    const std::vector<std::string> results = Back("doc", settings_);
    EXPECT_TRUE(Contains(results, lpsz_LoadKernelString(message))) << ::testing::PrintToString(results);
    EXPECT_FALSE(Exists(MIF()));
    ASSERT_TRUE(Exists(Report()));
    const std::vector<std::string> report = Lines(ReadBytes(Report()));
    EXPECT_TRUE(HasLineContaining(report, error)) << Joined(report);
  }

  Settings settings_;
  std::vector<std::string> kwx_;
  std::vector<std::string> ancillary_;
};

TEST_F(DamagedTranslationTest, ParagraphCopiedInTheLastColumnOfAFlowIsATagError) {
  // <tr 11> is the second and last column of the body flow; it has one paragraph.
  Duplicate(kwx_, FindPrefix(kwx_, "<ps \"Body\" 2>Caf"));
  Save();
  ExpectRefused(1140, "Error 412. The text box <tr 11> holds 1 paragraph tag(s) more than in the source file.");
  bool errors = false;
  const std::vector<std::string> report = Verify(errors);
  EXPECT_TRUE(errors);
  EXPECT_TRUE(HasLineContaining(report, "Error 412. The text box <tr 11>")) << Joined(report);
}

TEST_F(DamagedTranslationTest, ParagraphCopiedInTheFirstColumnIsATagError) {
  Duplicate(kwx_, FindPrefix(kwx_, "<ps \"Heading\" 1>"));
  Save();
  ExpectRefused(1140, "Error 412. The text box <tr 10> holds 1 paragraph tag(s) more than in the source file.");
}

TEST_F(DamagedTranslationTest, ParagraphCopiedInAMasterPageFlowIsATagErrorOfTheAncillaryFile) {
  Duplicate(ancillary_, FindPrefix(ancillary_, "<ps \"Body\" 2>Master page flow text"));
  Save();
  ExpectRefused(1130, "Error 412. The text box <tr 50> holds 1 paragraph tag(s) more than in the source file.");
}

TEST_F(DamagedTranslationTest, ParagraphsAddedWithTheHashFormAtTheEndOfTheLastColumnConvert) {
  const std::size_t last = FindPrefix(kwx_, "<ps \"Body\" 2>Caf");
  ASSERT_LT(last, kwx_.size());
  kwx_.insert(kwx_.begin() + static_cast<std::ptrdiff_t>(last + 1),
              {"<#ps \"Body\" 2>First added paragraph.", "<#ps \"Heading\" 1>Second added paragraph."});
  const std::size_t master = FindPrefix(ancillary_, "<ps \"Body\" 2>Master page flow text");
  ASSERT_LT(master, ancillary_.size());
  ancillary_.insert(ancillary_.begin() + static_cast<std::ptrdiff_t>(master + 1),
                    "<#ps \"Body\" 2>Added on the master page.");
  Save();
  const std::vector<std::string> results = Back("doc", settings_);
  ASSERT_TRUE(Exists(MIF())) << ::testing::PrintToString(results);
  const std::vector<std::string> mif = MIFLines(ReadBytes(MIF()));
  const auto at = [&](const std::string& line) {
    return static_cast<std::size_t>(std::find(mif.begin(), mif.end(), line) - mif.begin());
  };
  const std::size_t cafe = FindPrefix(mif, "<String `Caf");
  ASSERT_LT(cafe, mif.size());
  EXPECT_LT(cafe, at("<String `First added paragraph.'>"));
  EXPECT_LT(at("<String `First added paragraph.'>"), at("<String `Second added paragraph.'>"));
  EXPECT_LT(at("<String `Second added paragraph.'>"), mif.size());
  EXPECT_LT(at("<String `Master page flow text'>"), at("<String `Added on the master page.'>"));
  EXPECT_LT(at("<String `Added on the master page.'>"), mif.size());
}

TEST_F(DamagedTranslationTest, TextBoxRenumberedToAnotherTextBoxIsATagError) {
  const std::size_t second = FindPrefix(kwx_, "<tr 11>");
  ASSERT_LT(second, kwx_.size());
  kwx_[second] = "<tr 10>";
  Save();
  bool errors = false;
  const std::vector<std::string> report = Verify(errors);
  EXPECT_TRUE(errors);
  EXPECT_TRUE(HasLineContaining(report, "Error 413. The external tag <tr 10> occurs more than once.")) << Joined(report);
  ExpectRefused(1140, "Error 413. The external tag <tr 10> occurs more than once.");
}

TEST_F(DamagedTranslationTest, TextBoxRenumberedToAMasterPageTextBoxIsATagErrorOfTheAncillaryFile) {
  // The document's blocks and its ancillary section's are filed together.
  const std::size_t second = FindPrefix(kwx_, "<tr 11>");
  ASSERT_LT(second, kwx_.size());
  kwx_[second] = "<tr 50>";
  Save();
  ExpectRefused(1130, "Error 413. The external tag <tr 50> occurs more than once.");
}

TEST_F(DamagedTranslationTest, TextStringRenumberedToAnotherTextStringIsATagError) {
  const std::size_t second = FindPrefix(kwx_, "<ts 2>");
  ASSERT_LT(second, kwx_.size());
  kwx_[second] = "<ts 1>";
  Save();
  ExpectRefused(1140, "Error 413. The external tag <ts 1> occurs more than once.");
}

}  // namespace
