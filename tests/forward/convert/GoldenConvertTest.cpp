// Golden cases: each folder of tests/data/convert/golden holds a small MIF
// document (input.mif), optional settings (settings.txt) and what forward
// conversion must make of it, checked by hand once: the text form
// (expected.txt), the RTF form (expected.rtf), the ancillary section
// (expected-ancillary.txt) and the results lines (expected-results.txt).
// The cases are converted through a session's batch driver, as a command
// line does. The folder of the run is written "@DIR@/" in the expected
// files. MORVANE_UPDATE_GOLDEN=1 rewrites the expected files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "forward/convert/ConvertTestSupport.h"
#include "forward/convert/KWXSelfCheck.h"
#include "kernel/forward/KWXFormat.h"
#include "kernel/forward/MIFToKWXConverter.h"

using namespace convert_test;

namespace {

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  const std::string root = DataDir() + "golden";
  if (!std::filesystem::is_directory(root)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(root)) {
    if (std::filesystem::exists(entry.path() / "input.mif")) names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Tags whose counterpart back conversion knows without the tables:
// characters, quotes and the index-marker separators.
bool IsCharacterTag(std::string_view tag) {
  for (const auto* table : {&KWX::sast_SpecialCharacters(), &KWX::sast_ReservedCharacters()}) {
    for (const KWX::st_CharacterTag& t : *table) {
      if (t.cs_Tag == tag) return true;
    }
  }
  for (const KWX::st_CharacterTag& t : KWX::sast_QuoteTags()) {
    if (t.cs_Tag == tag) return true;
  }
  return tag == KWX::TAG_LT || tag == KWX::TAG_GT || tag == KWX::TAG_IE || tag == KWX::TAG_IL ||
         tag == KWX::TAG_SS || tag == KWX::TAG_SL || tag == KWX::TAG_FC_CLOSE;
}

class GoldenConvertTest : public ScratchTest, public ::testing::WithParamInterface<std::string> {
 protected:
  struct Output {
    std::string kwx;
    std::string ancillary;
    std::string results;
  };

  // Converts the case with the KWX format given; the ORG and translated
  // folders are the same.
  Output Convert(int format) {
    const std::string name = GetParam();
    const std::string caseDir = DataDir() + "golden/" + name + "/";
    std::filesystem::create_directories(dir_ + "src");
    std::filesystem::create_directories(dir_ + "org");
    std::filesystem::copy_file(caseDir + "input.mif", dir_ + "src/" + name + ".mif",
                               std::filesystem::copy_options::overwrite_existing);
    const Settings settings = ReadSettings(caseDir + "settings.txt");
    auto session = MakeSession(settings, dir_ + "org/", dir_ + "org/", format);
    CQ_StringList paths = {dir_ + "src/" + name + ".mif"};
    session->v_ConvertMIF(&paths);
    Output out;
    out.kwx = ReadBytes(dir_ + "org/" + name + (format == 0 ? ".txt" : ".rtf"));
    out.ancillary = JoinLines(session->rco_GetAncillaryLines());
    for (const std::string& line : ResultLines(*session)) out.results += line + "\n";
    for (std::string* text : {&out.kwx, &out.ancillary, &out.results}) *text = Replace(*text, dir_, "@DIR@/");
    return out;
  }

  void Compare(const std::string& file, const std::string& actual) {
    const std::string path = DataDir() + "golden/" + GetParam() + "/" + file;
    if (UpdateGolden()) {
      // Writes the file and fails, so an update run never passes silently.
      EXPECT_TRUE(morvane_test::MatchesGolden(path, actual));
      return;
    }
    ASSERT_TRUE(Exists(path)) << path;
    EXPECT_TRUE(SameBytes(ReadBytes(path), actual)) << GetParam() << "/" << file;
  }
};

TEST_P(GoldenConvertTest, TextFormAncillarySectionAndResults) {
  const Output out = Convert(0);
  Compare("expected.txt", out.kwx);
  Compare("expected-ancillary.txt", out.ancillary);
  Compare("expected-results.txt", out.results);
}

TEST_P(GoldenConvertTest, RTFForm) {
  const Output out = Convert(1);
  Compare("expected.rtf", out.kwx);
}

TEST_P(GoldenConvertTest, LinesPassTheSelfCheck) {
  const Output out = Convert(0);
  const std::vector<std::string> problems = CheckKWXLines(SplitLines(out.kwx));
  EXPECT_TRUE(problems.empty()) << GetParam() << ": " << ::testing::PrintToString(problems);
  const std::vector<std::string> ancillary = CheckKWXLines(SplitLines(out.ancillary), true);
  EXPECT_TRUE(ancillary.empty()) << GetParam() << " (ancillary): " << ::testing::PrintToString(ancillary);
}

// The ORG copy converted again in memory gives the same lines, and every
// tag of them has its MIF counterpart in the tables.
TEST_P(GoldenConvertTest, ORGCopyInMemoryGivesTheSameLinesAndEveryCounterpart) {
  const Output out = Convert(0);
  const std::string name = GetParam();
  const Settings settings = ReadSettings(DataDir() + "golden/" + name + "/settings.txt");
  auto session = MakeSession(settings, dir_ + "org/", dir_ + "org/", 0);
  CQ_MIFToKWXConverter again(*session, CQ_MIFToKWXConverter::st_InMemoryOptions(dir_ + "src/" + name + ".mif"));
  again.v_ConvertInMemory(dir_ + "org/" + name + ".org");
  EXPECT_TRUE(SameBytes(out.kwx, Replace(ReadBytes(dir_ + "org/" + name + ".txt"), dir_, "@DIR@/")));
  std::string lines;
  for (const std::string& l : again.rco_GetKWXLines()) lines += l + "\r\n";
  EXPECT_TRUE(SameBytes(out.kwx, Replace(lines, dir_, "@DIR@/")));
  EXPECT_TRUE(SameBytes(out.ancillary, Replace(JoinLines(again.rco_GetAncillarySection()), dir_, "@DIR@/")));
  EXPECT_TRUE(session->rco_GetResults().empty()) << "the in-memory conversion reports nothing";
  for (const CQ_StringList* list : {&again.rco_GetKWXLines(), &again.rco_GetAncillarySection()}) {
    for (const std::string& line : *list) {
      for (const KWX::st_Token& token : KWX::sast_Tokenize(line)) {
        if (token.et_Kind != KWX::TOKEN_TAG || IsCharacterTag(token.cs_Text)) continue;
        EXPECT_NE(again.rco_GetTagTables().pcs_FindFragment(token.cs_Text), nullptr)
            << name << ": no counterpart for " << token.cs_Text;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenConvertTest, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenConvertTest);

}  // namespace
