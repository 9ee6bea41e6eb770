#include "forward/writers/WritersTestSupport.h"
#include "support/TestFiles.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace writers_test {

std::string DataDir() { return std::string(MORVANE_TEST_DATA_DIR) + "/writers/"; }

std::string ReadBytes(const std::string& path) {
  return morvane_test::ReadBytes(path);
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

CQ_StringList ReadLines(const std::string& path) {
  std::istringstream in(ReadBytes(path));
  CQ_StringList lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t lineStart = expected.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
  auto lineAt = [from](const std::string& text) {
    std::string line = text.substr(from, text.find('\n', from) - from);
    std::string shown;
    for (char c : line) shown += c == '\r' ? std::string("\\r") : std::string(1, c);
    return shown;
  };
  return ::testing::AssertionFailure() << "first difference at byte " << at << " (sizes " << expected.size()
                                       << " and " << actual.size() << ")\n  expected line: " << lineAt(expected)
                                       << "\n  actual line:   " << lineAt(actual);
}

void ScratchDir::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  dir_ = (std::filesystem::temp_directory_path() / ("morvane_writers_" + name + "_" + std::to_string(getpid()))).string() + "/";
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void ScratchDir::TearDown() { std::filesystem::remove_all(dir_); }

std::vector<std::string> ScratchDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace writers_test
