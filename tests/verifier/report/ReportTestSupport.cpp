#include "verifier/report/ReportTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kernel/forward/KWXRTFWriter.h"
#include "kernel/session/KernelStrings.h"
#include "support/TestFiles.h"

namespace ReportTest {

std::string DataPath(const std::string& name) { return std::string(MORVANE_TEST_DATA_DIR) + "/report/" + name; }

std::string ReadFile(const std::string& path) {
  return morvane_test::ReadBytes(path);
}

void WriteFile(const std::string& path, std::string_view bytes) {
  (void)morvane_test::WriteBytes(path, bytes);
}

Folders::Folders() {
  static int counter = 0;
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("varnel-report-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "org");
  std::filesystem::create_directories(root / "translated");
  m_root = root.string() + "/";
}

Folders::~Folders() {
  std::error_code ignored;
  std::filesystem::remove_all(m_root, ignored);
}

std::string Folders::Normalised(std::string text) const {
  for (std::size_t at = text.find(m_root); at != std::string::npos; at = text.find(m_root, at + 4)) {
    text.replace(at, m_root.size(), "TMP/");
  }
  return text;
}

std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(int format, const Folders& folders) {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("Halvex Morvane for FrameMaker", "3.0", false);
  session->v_SetFileFormatForKWX(format);
  session->v_SetSourceLanguage("English (US)");
  session->v_SetTargetLanguage("English (US)");
  session->v_SetORGFilesPath(folders.Org().c_str());
  session->v_SetTranslatedFilesPath(folders.Translated().c_str());
  return session;
}

void WriteKWX(const std::string& path, std::string_view text, int format, int sourceCodePage, int targetCodePage) {
  if (format == 0) {
    WriteFile(path, text);
    return;
  }
  CQ_StringList lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  CQ_KWXRTFWriter::sv_PrepareAndWrite(path, lines, true, sourceCodePage, targetCodePage, true);
}

std::vector<std::string> DrainResults(CQ_Morvane_Communication& session) {
  std::vector<std::string> lines;
  char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
  while (session.b_GetNextMessage(buffer)) lines.emplace_back(buffer);
  return lines;
}

std::vector<std::string> ResultLines(const std::string& first, unsigned errors, unsigned alerts, unsigned warnings,
                                     unsigned suppressed) {
  std::vector<std::string> lines{first};
  if (errors) lines.push_back(ccs_FormatKernelString(Msg::VERIFY_ERROR_COUNT, errors));
  if (alerts) lines.push_back(ccs_FormatKernelString(Msg::VERIFY_ALERT_COUNT, alerts));
  if (warnings) lines.push_back(ccs_FormatKernelString(Msg::VERIFY_WARNING_COUNT, warnings));
  if (suppressed) lines.push_back(ccs_FormatKernelString(Msg::VERIFY_SUPPRESSED_COUNT, suppressed));
  lines.emplace_back("");
  return lines;
}

::testing::AssertionResult MatchesGolden(const std::string& goldenPath, const std::string& actual) {
  return morvane_test::MatchesGolden(goldenPath, actual);
}

FixedDate::FixedDate() { ::setenv("SOURCE_DATE_EPOCH", "946684800", 1); }
FixedDate::~FixedDate() { ::unsetenv("SOURCE_DATE_EPOCH"); }

}  // namespace ReportTest
