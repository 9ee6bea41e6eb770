// Shared helpers of the MIF reading tests: files and folders, golden-text
// comparison with a readable difference, and running a pre-scan to its
// result code.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/forward/MIFPreScan.h"
#include "kernel/session/CommunicationFrame.h"

namespace mif_test {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);

// The folder of a fixture case under tests/data/mif, ending with '/'.
std::string CaseFolder(const std::string& name);

// Compares two texts line by line and shows the first difference with its
// neighbourhood.
::testing::AssertionResult SameText(const std::string& expected, const std::string& actual);

// A session for tests: GUI clear, so nothing touches the settings store.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest();
  void SetUp() override;
  void TearDown() override;
  // All lines of the results queue, drained.
  std::vector<std::string> Results();

  CQ_Morvane_CommunicationFrame session_;
  // A fresh folder for the test's files, ending with '/'; removed afterwards.
  std::string dir_;
};

// Runs a step and returns the int it raised, or 0.
template <class F>
int CodeOf(F&& step) {
  try {
    step();
  } catch (int code) {
    return code;
  }
  return 0;
}

// The second-form options with default hyphenation ("Turn Off").
CQ_MIFPreScan::st_Options SecondForm();
// The forward options with default hyphenation.
CQ_MIFPreScan::st_Options Forward();

// A minimal well-formed MIF 5.5 document around `sections`.
std::string Document(const std::string& sections, const std::string& version = "5.50");

}  // namespace mif_test
