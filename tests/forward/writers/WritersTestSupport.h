// Helpers shared by the writer tests: a scratch folder per test, whole-file
// reads, KWX line lists read from fixtures, and a comparison that shows the
// first differing line.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/session/ExtStringList.h"

namespace writers_test {

std::string DataDir();  // tests/data/writers/, ending with '/'

// Reads a whole file as bytes; empty when it cannot be opened.
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);

// The lines of a fixture file (line feeds separate lines; no CR expected).
CQ_StringList ReadLines(const std::string& path);

// Equality of two texts; on failure names the first differing line (CR LF
// shown as "\r") and the byte offset.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual);

// A fresh empty folder for one test, removed with its contents afterwards.
class ScratchDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Names of the entries in the folder (to check nothing is left behind).
  std::vector<std::string> Entries() const;
  std::string dir_;  // ends with '/'
};

}  // namespace writers_test
