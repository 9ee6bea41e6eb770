// Helpers shared by the conversion tests: fixture and corpus folders, a
// scratch folder per test, per-case settings, sessions set up as a
// command line sets them up, and whole-text comparison.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kernel/session/CommunicationFrame.h"
#include "support/TestFiles.h"

namespace convert_test {

std::string DataDir();    // tests/data/convert/, ending with '/'
std::string CorpusDir();  // the real documents, ending with '/'
bool HaveCorpus();

using morvane_test::Exists;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;

// Lines of a text; CR LF, CR and LF all end a line; a last line without a
// line end counts.
CQ_StringList SplitLines(const std::string& text);
std::string JoinLines(const CQ_StringList& lines);  // each line + "\n"

// Equality of two texts; on failure shows the first differing line.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual);

// The settings of one golden case, read from its settings.txt ("key value"
// lines; missing keys keep the defaults below).
struct Settings {
  std::string sourceLanguage = "English (US)";
  std::string targetLanguage = "German";
  int smartQuotes = 0;
  int characterSet = 0;
  int sourceHyphenation = 0;
  int pageSize = 0;
  int markerPlaceholders = 0;
  std::string markerLength = "220";
};
Settings ReadSettings(const std::string& path);

// A session with the GUI flag clear, its settings applied, writing KWX of
// the given format (0 text, 1 RTF) into orgDir and translatedDir.
std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(const Settings& settings, const std::string& orgDir,
                                                           const std::string& translatedDir, int format);

// The results queue without the time stamp that opens a batch.
std::vector<std::string> ResultLines(const CQ_Morvane_Communication& session);

// Set when golden files are to be (re)written instead of compared
// (environment variable MORVANE_UPDATE_GOLDEN).
using morvane_test::UpdateGolden;

// A MIF file with change bars switched off, as the corpus tests convert
// it: every "<FChangeBar Yes" and "<DAutoChBars Yes" becomes "No".
std::string WithoutChangeBars(std::string mif);

// A fresh empty folder for one test, removed afterwards.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string dir_;  // ends with '/'
};

}  // namespace convert_test
