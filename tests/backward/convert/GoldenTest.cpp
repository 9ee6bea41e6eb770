// Golden cases: tests/data/back/golden/<case>/ holds an ORG copy
// (input.mif), a translated KWX file (translated.txt), optionally its
// translated ancillary file (ancillary.txt) and the settings of the run
// (settings.txt: "key value" lines). The case is converted back through
// the batch driver; the MIF file must equal expected.mif and the results
// expected-results.txt (the scratch folder written as "<dir>/").
// MORVANE_UPDATE_GOLDEN=1 writes the expected files instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "backward/convert/BackTestSupport.h"

using namespace back_test;

namespace {

std::vector<std::string> Cases() {
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(DataDir() + "golden")) return names;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir() + "golden")) {
    if (std::filesystem::exists(entry.path() / "input.mif")) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

Settings ReadSettings(const std::string& path) {
  Settings s;
  for (const std::string& line : Lines(ReadBytes(path))) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank);
    const std::string value = line.substr(blank + 1);
    if (key == "target-language") s.targetLanguage = value;
    if (key == "translation-hyphenation") s.translationHyphenation = std::atoi(value.c_str());
    if (key == "character-set") s.characterSet = std::atoi(value.c_str());
    if (key == "smart-quotes") s.smartQuotes = std::atoi(value.c_str());
    if (key == "source-hyphenation") s.sourceHyphenation = std::atoi(value.c_str());
  }
  return s;
}

class GoldenTest : public ScratchTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(GoldenTest, ConvertsToTheExpectedMIF) {
  const std::string data = DataDir() + "golden/" + GetParam() + "/";
  const Settings settings = ReadSettings(data + "settings.txt");
  // The ORG copy as forward conversion writes it: trimmed lines.
  WriteBytes(dir_ + "org/doc.org", Joined(MIFLines(ReadBytes(data + "input.mif"))));
  WriteBytes(dir_ + "tr/doc.txt", ReadBytes(data + "translated.txt"));
  if (Exists(data + "ancillary.txt")) WriteBytes(dir_ + "tr/ancillary.txt", ReadBytes(data + "ancillary.txt"));

  std::string results;
  for (std::string line : Back("doc", settings)) {
    for (std::size_t at = line.find(dir_); at != std::string::npos; at = line.find(dir_)) line.replace(at, dir_.size(), "<dir>/");
    results += line + "\n";
  }
  const std::string mif = Exists(dir_ + "tr/doc.mif") ? Joined(MIFLines(ReadBytes(dir_ + "tr/doc.mif"))) : "";
  if (morvane_test::UpdateGolden()) {
    // Writes the files and fails, so an update run never passes silently.
    EXPECT_TRUE(morvane_test::MatchesGolden(data + "expected.mif", mif));
    EXPECT_TRUE(morvane_test::MatchesGolden(data + "expected-results.txt", results));
    return;
  }
  const std::vector<std::string> expected = MIFLines(ReadBytes(data + "expected.mif"));
  const std::vector<std::string> actual = MIFLines(mif);
  std::size_t k = 0;
  while (k < expected.size() && k < actual.size() && expected[k] == actual[k]) ++k;
  EXPECT_TRUE(k == expected.size() && k == actual.size())
      << "first difference at line " << k + 1 << "\n expected: " << (k < expected.size() ? expected[k] : "(end)")
      << "\n actual:   " << (k < actual.size() ? actual[k] : "(end)");
  EXPECT_EQ(ReadBytes(data + "expected-results.txt"), results);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenTest);

}  // namespace
