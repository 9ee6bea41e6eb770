// Test doubles for the session: a front-end window that records what the
// kernel sends and answers questions from a script, a private settings
// store per test, and a converter factory whose converters return or
// raise what a test asks.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "System/Platform/WindowServices.h"
#include "kernel/session/CommunicationFrame.h"

namespace morvane_test {

class RecordingWindow : public Platform::Window {
 public:
  struct Message {
    unsigned id;
    unsigned long wParam;
    long lParam;
  };
  struct Box {
    std::string text, caption;
    unsigned style;
  };

  long SendMessage(unsigned message, unsigned long wParam, long lParam) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;

  // Answers for the next boxes, in order; IDOK once they run out.
  std::deque<int> answers;
  std::vector<Message> messages;
  std::vector<Box> boxes;
  // Called for each message, e.g. to press Cancel during a batch.
  std::function<void(const Message&)> onMessage;

  int Count(unsigned id, unsigned long wParam) const;
};

// Points the settings store at a fresh folder for the test's lifetime.
class StoreFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string StoreText() const;
  // A folder for the test's files, ending with '/'.
  std::string dir_;
  std::string storeFile_;
};

// What one converter call does: return a code, or raise something.
using FileAction = std::function<int(CQ_Morvane_CommunicationFrame&)>;

class ScriptedFactory : public CQ_Morvane_ConverterFactory {
 public:
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateMIFConverter(CQ_Morvane_CommunicationFrame& s) override;
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateKWXConverter(CQ_Morvane_CommunicationFrame& s) override;
  std::unique_ptr<CQ_Morvane_FileConverter> pco_CreateComparison(CQ_Morvane_CommunicationFrame& s) override;
  bool vb_ReadRTFLines(CQ_Morvane_CommunicationFrame&, const std::string& path, CExtStringList& lines) override;
  bool vb_WriteKWXLines(CQ_Morvane_CommunicationFrame&, const CQ_StringList& lines, const std::string& path) override;

  // Actions taken in turn by successive converters; success (0) when none
  // is left.
  std::deque<FileAction> actions;
  std::vector<std::string> convertedFiles;  // current file names seen
  std::vector<std::string> writtenFiles;
  // Stand for a build that holds no converters.
  bool withoutConverters = false;
};

// Creates a file with some text; dies on failure.
void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);

// The results queue drained through b_GetNextMessage.
std::vector<std::string> Drain(CQ_Morvane_Communication& session);

// The results without the time stamp block that opens every batch.
std::vector<std::string> DrainAfterTimeStamp(CQ_Morvane_Communication& session);

std::string Underscores();

}  // namespace morvane_test
