#include "forward/convert/ConvertTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace convert_test {

std::string DataDir() { return std::string(MORVANE_TEST_DATA_DIR) + "/convert/"; }
std::string CorpusDir() { return std::string(MORVANE_CORPUS_DIR) + "/"; }
bool HaveCorpus() { return std::filesystem::is_directory(MORVANE_CORPUS_DIR); }

CQ_StringList SplitLines(const std::string& text) {
  CQ_StringList lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string JoinLines(const CQ_StringList& lines) {
  std::string text;
  for (const std::string& l : lines) {
    text += l;
    text += '\n';
  }
  return text;
}

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size() << ", "
                                       << morvane_test::FirstDifference(expected, actual);
}

Settings ReadSettings(const std::string& path) {
  Settings s;
  for (const std::string& line : SplitLines(ReadBytes(path))) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank);
    const std::string value = line.substr(blank + 1);
    if (key == "source-language") s.sourceLanguage = value;
    else if (key == "target-language") s.targetLanguage = value;
    else if (key == "smart-quotes") s.smartQuotes = std::atoi(value.c_str());
    else if (key == "character-set") s.characterSet = std::atoi(value.c_str());
    else if (key == "source-hyphenation") s.sourceHyphenation = std::atoi(value.c_str());
    else if (key == "page-size") s.pageSize = std::atoi(value.c_str());
    else if (key == "marker-placeholders") s.markerPlaceholders = std::atoi(value.c_str());
    else if (key == "marker-length") s.markerLength = value;
  }
  return s;
}

std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(const Settings& settings, const std::string& orgDir,
                                                           const std::string& translatedDir, int format) {
  auto s = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  s->v_SetORGFilesPath(orgDir.c_str());
  s->v_SetTranslatedFilesPath(translatedDir.c_str());
  s->v_SetFileFormatForKWX(format);
  s->v_SetSourceLanguage(settings.sourceLanguage.c_str());
  s->v_SetTargetLanguage(settings.targetLanguage.c_str());
  s->v_SetSmartQuotes(settings.smartQuotes);
  s->v_SetCharacterSet(settings.characterSet);
  s->v_SetSourceHyphenation(settings.sourceHyphenation);
  s->v_SetRTFPageSize(settings.pageSize);
  s->v_SetMarkerPlaceholders(settings.markerPlaceholders);
  s->v_SetSourceMarkerLength(settings.markerLength.c_str());
  return s;
}

std::vector<std::string> ResultLines(const CQ_Morvane_Communication& session) {
  const CQ_StringList& all = session.rco_GetResults();
  // The time stamp: an empty line, the date and time, an empty line.
  std::vector<std::string> lines(all.begin() + (all.size() >= 3 ? 3 : 0), all.end());
  return lines;
}

std::string WithoutChangeBars(std::string mif) {
  for (const char* key : {"<FChangeBar Yes", "<DAutoChBars Yes"}) {
    const std::string from = key;
    const std::string to = from.substr(0, from.size() - 3) + "No ";
    for (std::size_t at = mif.find(from); at != std::string::npos; at = mif.find(from, at + to.size())) {
      mif.replace(at, from.size(), to);
    }
  }
  return mif;
}

void ScratchTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  dir_ = (std::filesystem::temp_directory_path() / ("morvane_convert_" + name + "_" + std::to_string(getpid()))).string() + "/";
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void ScratchTest::TearDown() { std::filesystem::remove_all(dir_); }

}  // namespace convert_test
