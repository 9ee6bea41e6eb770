#include "support/TestFiles.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvane_test {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

int DeadProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<int>(child);
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string Visible(std::string_view s) {
  std::string out;
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      out.push_back(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", u);
      out += hex;
    }
  }
  return out;
}

namespace {

// The line of `text` that starts at `from`, without its line feed.
std::string_view LineAt(std::string_view text, std::size_t from) {
  if (from >= text.size()) return {};
  const std::size_t end = text.find('\n', from);
  return text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from);
}

}  // namespace

std::string FirstDifference(std::string_view expected, std::string_view actual) {
  if (expected == actual) return std::string();
  std::size_t at = 0;
  std::size_t lineStart = 0;
  std::size_t line = 1;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
    if (expected[at] == '\n') {
      ++line;
      lineStart = at + 1;
    }
    ++at;
  }
  std::ostringstream out;
  out << "first difference at line " << line << ", column " << (at - lineStart + 1) << "\n  expected: "
      << (lineStart < expected.size() ? Visible(LineAt(expected, lineStart)) : "(end of text)")
      << "\n  actual:   " << (lineStart < actual.size() ? Visible(LineAt(actual, lineStart)) : "(end of text)");
  return out.str();
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  static std::atomic<int> counter{0};
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  path_ = root.string() + "/";
}

ScratchFolder::~ScratchFolder() {
  if (std::getenv("MORVANE_KEEP_SCRATCH")) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool UpdateGolden() {
  const char* value = std::getenv("MORVANE_UPDATE_GOLDEN");
  return value && *value && std::string_view(value) != "0";
}

::testing::AssertionResult MatchesGolden(const std::string& goldenPath, std::string_view actual) {
  if (UpdateGolden()) {
    if (!WriteBytes(goldenPath, actual)) return ::testing::AssertionFailure() << "cannot write " << goldenPath;
    return ::testing::AssertionFailure() << "rewrote " << goldenPath
                                         << " (update mode): check it and run again without MORVANE_UPDATE_GOLDEN";
  }
  if (!Exists(goldenPath)) return ::testing::AssertionFailure() << "no golden file " << goldenPath;
  const std::string expected = ReadBytes(goldenPath);
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << goldenPath << ": " << FirstDifference(expected, actual);
}

}  // namespace morvane_test
