#include "SessionTestSupport.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "System/Platform/Registry.h"
#include "support/TestFiles.h"

namespace morvane_test {

long RecordingWindow::SendMessage(unsigned message, unsigned long wParam, long lParam) {
  messages.push_back({message, wParam, lParam});
  if (onMessage) onMessage(messages.back());
  return 0;
}

int RecordingWindow::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  boxes.push_back({text, caption, style});
  if (answers.empty()) return Platform::IDOK;
  int answer = answers.front();
  answers.pop_front();
  return answer;
}

int RecordingWindow::Count(unsigned id, unsigned long wParam) const {
  int n = 0;
  for (const Message& m : messages) n += (m.id == id && m.wParam == wParam);
  return n;
}

void StoreFixture::SetUp() {
  char pattern[] = "/tmp/morvane-test-XXXXXX";
  char* made = mkdtemp(pattern);
  ASSERT_NE(made, nullptr);
  dir_ = std::string(made) + "/";
  storeFile_ = dir_ + "config/halvex/registry.reg";
  Platform::Registry::SetStoreFile(storeFile_);
}

void StoreFixture::TearDown() {
  Platform::Registry::SetStoreFile("");
  std::error_code ec;
  std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(dir_, ec);
}

std::string StoreFixture::StoreText() const { return ReadFile(storeFile_); }

namespace {

class ScriptedConverter : public CQ_Morvane_FileConverter {
 public:
  ScriptedConverter(ScriptedFactory& factory, CQ_Morvane_CommunicationFrame& session)
      : factory_(factory), session_(session) {}
  int vi_Convert() override {
    factory_.convertedFiles.push_back(session_.lpsz_GetCurrentFileName());
    if (factory_.actions.empty()) return 0;
    FileAction action = factory_.actions.front();
    factory_.actions.pop_front();
    return action(session_);
  }

 private:
  ScriptedFactory& factory_;
  CQ_Morvane_CommunicationFrame& session_;
};

}  // namespace

std::unique_ptr<CQ_Morvane_FileConverter> ScriptedFactory::pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame& s) {
  if (withoutConverters) return nullptr;
  return std::make_unique<ScriptedConverter>(*this, s);
}
std::unique_ptr<CQ_Morvane_FileConverter> ScriptedFactory::pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame& s) {
  if (withoutConverters) return nullptr;
  return std::make_unique<ScriptedConverter>(*this, s);
}
std::unique_ptr<CQ_Morvane_FileConverter> ScriptedFactory::pco_CreateComparison(CQ_Morvane_CommunicationFrame& s) {
  if (withoutConverters) return nullptr;
  return std::make_unique<ScriptedConverter>(*this, s);
}

bool ScriptedFactory::vb_ReadRTFLines(CQ_Morvane_CommunicationFrame&, const std::string& path, CExtStringList& lines) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.AddTail(line);
  return true;
}

bool ScriptedFactory::vb_WriteKWXLines(CQ_Morvane_CommunicationFrame&, const CQ_StringList& lines,
                                       const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  for (const std::string& line : lines) out << line << "\n";
  writtenFiles.push_back(path);
  return static_cast<bool>(out);
}

void WriteFile(const std::string& path, const std::string& text) {
  ASSERT_TRUE(morvane_test::WriteBytes(path, text)) << path;
}

std::string ReadFile(const std::string& path) {
  return morvane_test::ReadBytes(path);
}

std::vector<std::string> Drain(CQ_Morvane_Communication& session) {
  std::vector<std::string> lines;
  char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
  while (session.b_GetNextMessage(buffer)) lines.emplace_back(buffer);
  return lines;
}

std::vector<std::string> DrainAfterTimeStamp(CQ_Morvane_Communication& session) {
  std::vector<std::string> lines = Drain(session);
  if (lines.size() >= 3 && lines[0].empty() && lines[2].empty()) lines.erase(lines.begin(), lines.begin() + 3);
  return lines;
}

std::string Underscores() { return std::string(84, '_'); }

}  // namespace morvane_test
