// Every real document of the corpus: a MIF 4.0, 5.0 or 5.5 file converts
// once its change bars are switched off (as the user is told to), its KWX
// lines and ancillary section pass the self-check, a second conversion
// gives the same bytes, and the ORG copy converted again in memory gives
// the same lines. Files of other MIF versions are refused with the
// version message; files with change bars on stop with their messages.
// MIF 7.0 and the Unicode versions (8.0 to 2020) are converted the same way
// with the opt-in (the session's highest MIF version 2020).
// Skipped when the corpus folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "forward/convert/ConvertTestSupport.h"
#include "forward/convert/KWXSelfCheck.h"
#include "kernel/forward/MIFToKWXConverter.h"
#include "kernel/forward/MIFUnicode.h"
#include "kernel/session/KernelStrings.h"

using namespace convert_test;

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  if (!HaveCorpus()) return names;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    if (entry.path().extension() == ".mif") names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool Convertible(const std::string& mif) {
  return mif.rfind("<MIFFile 4", 0) == 0 || mif.rfind("<MIFFile 5.0", 0) == 0 || mif.rfind("<MIFFile 5.5", 0) == 0;
}

// The session's highest MIF version a document converts with: 55, or 2020
// for MIF 7.0 and the Unicode versions; 0 for a document none converts.
int HighestVersionFor(const std::string& mif) {
  if (Convertible(mif)) return 55;
  const int version = CQ_MIFUnicode::si_Version(mif.substr(0, 32));
  return version == 70 || CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(version) ? CQ_MIFUnicode::HIGHEST_VERSION : 0;
}

class CorpusConvertTest : public ScratchTest, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    if (!HaveCorpus()) GTEST_SKIP() << "corpus folder " << CorpusDir() << " is absent";
    ScratchTest::SetUp();
    std::filesystem::create_directories(dir_ + "src");
    std::filesystem::create_directories(dir_ + "org");
    std::filesystem::create_directories(dir_ + "tr");
    original_ = ReadBytes(CorpusDir() + GetParam());
  }

  // Converts `mif` under the corpus file's name; returns the results lines.
  std::vector<std::string> Convert(const std::string& mif, int format, CQ_StringList* ancillary = nullptr,
                                   int highestVersion = 55) {
    WriteBytes(Source(), mif);
    auto session = MakeSession(Settings(), dir_ + "org/", dir_ + "tr/", format);
    session->v_SetHighestMIFVersion(highestVersion);
    CQ_StringList paths = {Source()};
    session->v_ConvertMIF(&paths);
    if (ancillary) *ancillary = session->rco_GetAncillaryLines();
    return ResultLines(*session);
  }
  std::string Source() const { return dir_ + "src/" + GetParam(); }
  std::string Base() const { return GetParam().substr(0, GetParam().size() - 4); }
  std::string Output(const char* folder, const char* ext) const { return dir_ + folder + "/" + Base() + ext; }

  std::string original_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_P(CorpusConvertTest, ConvertsOrFailsWithItsMessage) {
  const std::vector<std::string> results = Convert(original_, 0);
  if (!Convertible(original_)) {
    EXPECT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::FWD_ERR_MIF_VERSION))) << GetParam() << ::testing::PrintToString(results);
    EXPECT_FALSE(Exists(Output("org", ".txt")));
    return;
  }
  const bool changeBars = WithoutChangeBars(original_) != original_;
  if (changeBars) {
    // Automatic change bars (50 to 52) or change bars in formats or text
    // (50 to 52 for text, 62 to 64 for formats).
    const bool stopped = Contains(results, lpsz_LoadKernelString(Msg::FWD_ERR_AUTO_CHANGE_BARS)) || Contains(results, lpsz_LoadKernelString(Msg::FWD_ERR_CHANGE_BARS_IN_FORMAT_HINT));
    EXPECT_TRUE(stopped) << GetParam() << ::testing::PrintToString(results);
    EXPECT_FALSE(Exists(Output("org", ".txt")));
  } else {
    EXPECT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::DONE))) << GetParam() << ::testing::PrintToString(results);
  }
}

TEST_P(CorpusConvertTest, WithoutChangeBarsConvertsToCleanLinesTwiceTheSame) {
  const int highest = HighestVersionFor(original_);
  if (highest == 0) GTEST_SKIP() << GetParam() << " is outside MIF 4.0 to 2020";
  const std::string mif = WithoutChangeBars(original_);
  CQ_StringList ancillary;
  const std::vector<std::string> results = Convert(mif, 0, &ancillary, highest);
  ASSERT_TRUE(Contains(results, lpsz_LoadKernelString(Msg::DONE))) << GetParam() << ::testing::PrintToString(results);
  const std::string text = ReadBytes(Output("org", ".txt"));
  EXPECT_TRUE(SameBytes(text, ReadBytes(Output("tr", ".txt")))) << "the copy for translation";
  const std::vector<std::string> problems = CheckKWXLines(SplitLines(text));
  EXPECT_TRUE(problems.empty()) << GetParam() << ::testing::PrintToString(problems);
  const std::vector<std::string> ancillaryProblems = CheckKWXLines(ancillary, true);
  EXPECT_TRUE(ancillaryProblems.empty()) << GetParam() << ::testing::PrintToString(ancillaryProblems);

  Convert(mif, 0, nullptr, highest);
  EXPECT_TRUE(SameBytes(text, ReadBytes(Output("org", ".txt")))) << "second text conversion";
  Convert(mif, 1, nullptr, highest);
  const std::string rtf = ReadBytes(Output("org", ".rtf"));
  Convert(mif, 1, nullptr, highest);
  EXPECT_TRUE(SameBytes(rtf, ReadBytes(Output("org", ".rtf")))) << "second RTF conversion";
}

TEST_P(CorpusConvertTest, ORGCopyInMemoryGivesTheSameLines) {
  const int highest = HighestVersionFor(original_);
  if (highest == 0) GTEST_SKIP() << GetParam() << " is outside MIF 4.0 to 2020";
  CQ_StringList ancillary;
  Convert(WithoutChangeBars(original_), 0, &ancillary, highest);
  const CQ_StringList written = SplitLines(ReadBytes(Output("org", ".txt")));
  auto session = MakeSession(Settings(), dir_ + "org/", dir_ + "tr/", 0);
  CQ_MIFToKWXConverter again(*session, CQ_MIFToKWXConverter::st_InMemoryOptions(Source()));
  again.v_ConvertInMemory(Output("org", ".org"));
  EXPECT_TRUE(again.rco_GetKWXLines() == written) << GetParam();
  EXPECT_TRUE(again.rco_GetAncillarySection() == ancillary) << GetParam();
  EXPECT_TRUE(session->rco_GetResults().empty()) << ::testing::PrintToString(session->rco_GetResults());
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusConvertTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.size() - 4);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusConvertTest);

}  // namespace
