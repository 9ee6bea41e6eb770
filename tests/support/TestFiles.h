// File helpers shared by the test programs: whole-file reads and writes,
// scratch folders that two runs at once never share, the first difference
// of two texts, and golden files with their update mode.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace morvane_test {

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Writes (replaces) a file with the bytes; false when it cannot be written.
bool WriteBytes(const std::string& path, std::string_view bytes);
bool Exists(const std::string& path);

// A process id that no process has: that of a child that has exited and
// been reaped, for tests of what a dead writer leaves behind.
int DeadProcessId();

// The bytes with those outside printable ASCII shown as <HH>, for failure
// messages.
std::string Visible(std::string_view bytes);

// Where two texts first differ, for failure messages: the line number and
// both lines (bytes outside printable ASCII as <HH>), or an empty string
// when the texts are equal.
std::string FirstDifference(std::string_view expected, std::string_view actual);

// A fresh folder below the system's temporary folder, named after the
// prefix, the process and a counter; removed with everything in it when the
// object goes, unless MORVANE_KEEP_SCRATCH is set.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The folder, ending with '/'.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// True when MORVANE_UPDATE_GOLDEN is set (to anything but "" or "0"): golden
// tests then write their expected files instead of comparing.
bool UpdateGolden();

// Compares the actual text with the golden file. In update mode the file is
// written and the result is a failure that names it, so a run that rewrites
// golden files never passes: run again without MORVANE_UPDATE_GOLDEN.
::testing::AssertionResult MatchesGolden(const std::string& goldenPath, std::string_view actual);

}  // namespace morvane_test
