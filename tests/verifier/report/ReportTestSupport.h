// Verification runs over real files for the report tests: a temporary
// pair of folders (ORG and translated), KWX files written in either form,
// a GUI-clear session with the kernel's own converters, and golden-file
// comparison.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kernel/session/CommunicationFrame.h"

namespace ReportTest {

// A file of tests/data/report.
std::string DataPath(const std::string& name);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

// A fresh temporary folder with "org/" and "translated/" inside, removed
// with everything in it when the object goes.
class Folders {
 public:
  Folders();
  ~Folders();
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;
  const std::string& Root() const { return m_root; }  // ends with '/'
  std::string Org() const { return m_root + "org/"; }
  std::string Translated() const { return m_root + "translated/"; }
  // The text with every occurrence of the root replaced by "TMP/".
  std::string Normalised(std::string text) const;

 private:
  std::string m_root;
};

// A session as a command line makes it: GUI clear, the kernel's
// converters, the given KWX file format (0 text, 1 RTF), source and target
// language "English (US)", ORG folder of folders, no suppressions.
std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(int format, const Folders& folders);

// Writes KWX text (lines separated by "\n") as a KWX file: as it stands
// for format 0, through the KWX RTF writer for format 1.
void WriteKWX(const std::string& path, std::string_view text, int format, int sourceCodePage = 1252,
              int targetCodePage = 1252);

// Takes every line out of the session's results queue.
std::vector<std::string> DrainResults(CQ_Morvane_Communication& session);

// The lines a verification adds for one file after its "Verifying" line.
std::vector<std::string> ResultLines(const std::string& first, unsigned errors, unsigned alerts, unsigned warnings,
                                     unsigned suppressed);

// Compares actual with the golden file, or rewrites the golden file when
// MORVANE_UPDATE_GOLDEN is set.
::testing::AssertionResult MatchesGolden(const std::string& goldenPath, const std::string& actual);

// A fixed date for the reports, set for the life of the object.
class FixedDate {
 public:
  FixedDate();
  ~FixedDate();
};

}  // namespace ReportTest
