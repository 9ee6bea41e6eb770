// A Dialogs seam answered from a script, recording what was asked. The
// confirmation runs the request's checks on each scripted answer as the
// real dialog does on OK: a refused answer is shown (recorded) and the
// next answer is tried; when the answers run out the dialog is cancelled.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "System/Platform/WindowServices.h"
#include "logic/BatchFlow.h"

namespace brannock_test {

class ScriptedDialogs : public brannock::Dialogs {
 public:
  struct Box {
    std::string text, caption;
    unsigned style;
  };
  struct FileRequest {
    std::string title, filter, startDir;
  };

  // Answers, consumed in order.
  std::deque<int> answers;                               // message boxes
  std::deque<brannock::FileChoice> files;                // open dialogs
  std::deque<std::vector<std::string>> confirmations;    // field values per OK press
  std::deque<std::vector<bool>> checkStates;             // check box states per accepted confirmation
  std::deque<std::string> savePaths;                     // save dialogs
  std::deque<std::vector<bool>> reports;                 // report dialog
  // Called at each message box before it is answered (e.g. to look at the
  // window during a batch).
  std::function<void(const Box&)> onBox;

  // What was asked.
  std::vector<Box> boxes;
  std::vector<FileRequest> fileRequests;
  std::vector<brannock::ConfirmRequest> confirmRequests;
  std::vector<std::string> helpTopics;

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override {
    boxes.push_back({text, caption, style});
    if (onBox) onBox(boxes.back());
    if (!answers.empty()) {
      int answer = answers.front();
      answers.pop_front();
      return answer;
    }
    // Unscripted: the answer that changes nothing.
    switch (style & 0x0Fu) {
      case Platform::MB_YESNOCANCEL: return Platform::IDCANCEL;
      case Platform::MB_YESNO: return Platform::IDNO;
      default: return Platform::IDOK;
    }
  }
  bool ChooseFiles(const std::string& title, const std::string& filter, const std::string& startDir,
                   brannock::FileChoice& choice) override {
    fileRequests.push_back({title, filter, startDir});
    if (files.empty()) return false;
    choice = files.front();
    files.pop_front();
    return true;
  }
  bool Confirm(brannock::ConfirmRequest& request) override {
    confirmRequests.push_back(request);
    while (!confirmations.empty()) {
      std::vector<std::string> values = confirmations.front();
      confirmations.pop_front();
      if (request.validate) {
        if (auto refusal = request.validate(values)) {
          MessageBox(refusal->message, "confirm", Platform::MB_OK | Platform::MB_ICONSTOP);
          continue;
        }
      }
      std::size_t next = 0;
      for (auto& item : request.items) {
        if (item.field && next < values.size()) item.value = values[next++];
      }
      if (!checkStates.empty()) {
        std::size_t nextCheck = 0;
        for (auto& item : request.items) {
          if (item.check && nextCheck < checkStates.front().size()) item.checked = checkStates.front()[nextCheck++];
        }
        checkStates.pop_front();
      }
      return true;
    }
    return false;
  }
  bool ChooseSaveFile(const std::string&, const std::string&, const std::string&, const std::string&,
                      std::string& path) override {
    if (savePaths.empty()) return false;
    path = savePaths.front();
    savePaths.pop_front();
    return true;
  }
  bool ChooseDirectory(const std::string&, const std::string&, std::string&) override { return false; }
  bool CustomiseReport(std::vector<bool>& flags) override {
    if (reports.empty()) return false;
    flags = reports.front();
    reports.pop_front();
    return true;
  }
  void ShowHelp(const std::string& topic) override { helpTopics.push_back(topic); }

  // The texts of the boxes shown, in order.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const Box& box : boxes) texts.push_back(box.text);
    return texts;
  }
};

}  // namespace brannock_test
