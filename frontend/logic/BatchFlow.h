// The flows behind the three start buttons, the Cancel button and "Save
// Results...", over the session and a seam of dialogs.
//
// The window passes every question, file choice and confirmation through
// the Dialogs interface: the program answers it with real dialogs, tests
// answer it from a script. A flow never shows a widget itself.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PageState.h"

class CQ_Morvane_CommunicationFrame;

namespace brannock {

enum class BatchKind { ConvertMIF = 0, VerifyVarnels = 1, ConvertKWX = 2 };

// Progress steps per file of a batch kind: 8 for forward conversion, 24
// otherwise.
int StepsPerFile(BatchKind kind);

// Files chosen in a multiple-selection open dialog, in the order the dialog
// reports them, with the folder they were chosen in (ending with '/').
struct FileChoice {
  std::string folder;
  std::vector<std::string> files;  // full paths
};

// A refused confirmation: the message to show and the field (0-based) that
// gets the focus.
struct Refusal {
  int field = 0;
  std::string message;
};

// A confirmation dialog: lines of text, directory fields and check boxes
// in order.
struct ConfirmRequest {
  struct Item {
    std::string text;         // a line, the field's browse title, or the check box's label
    bool field = false;       // an edit field with a browse button
    std::string value;        // the field's text (in and out)
    bool check = false;       // a check box (not a field)
    bool checked = false;     // the check box's state (in and out)
  };
  std::string title;
  std::string helpTopic;
  std::vector<Item> items;
  // Checks the field values (in item order); nothing when OK may close the
  // dialog.
  std::function<std::optional<Refusal>(const std::vector<std::string>&)> validate;

  std::vector<std::string> FieldValues() const;
  // The states of the check boxes, in item order.
  std::vector<bool> CheckStates() const;
};

// The index in a Convert MIF confirmation's check boxes of "Clear change
// bars": documents with change bars are converted from copies with change
// bars switched off instead of being refused.
inline constexpr int kClearChangeBarsCheck = 0;

class Dialogs {
 public:
  virtual ~Dialogs();
  // A message box with Windows styles and answers (Platform::MB_*, ID*).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
  // A multiple-selection open dialog; false when cancelled. filter has the
  // string table's form ("MIF Files (*.mif)|*.mif||").
  virtual bool ChooseFiles(const std::string& title, const std::string& filter, const std::string& startDir,
                           FileChoice& choice) = 0;
  // Shows the confirmation; on OK the request's fields hold the accepted
  // values (each passed validate, whose refusals are shown with
  // MessageBox). False when cancelled.
  virtual bool Confirm(ConfirmRequest& request) = 0;
  // A save dialog that asks before overwriting; false when cancelled.
  virtual bool ChooseSaveFile(const std::string& title, const std::string& filter, const std::string& defaultName,
                              const std::string& startDir, std::string& path) = 0;
  // A folder chooser; false when cancelled.
  virtual bool ChooseDirectory(const std::string& title, const std::string& startDir, std::string& dir) = 0;
  // The report dialog over the 45 flags; false when cancelled.
  virtual bool CustomiseReport(std::vector<bool>& flags) = 0;
  // Shows the help text of a topic ("convert-mif", "paths", ...).
  virtual void ShowHelp(const std::string& topic) = 0;
};

// What a flow tells the page while it runs.
struct FlowHooks {
  // Bars to 0 with these ranges.
  std::function<void(int fileSteps, int batchSteps)> resetBars;
  // A batch is being prepared or runs (true), or is over (false).
  std::function<void(bool busy)> setBusy;
  // The driver is about to run (true) or has returned (false).
  std::function<void(bool running)> setRunning;
  // Lines may wait in the results queue.
  std::function<void()> drainResults;
};

class BatchFlow {
 public:
  BatchFlow(CQ_Morvane_CommunicationFrame& session, Dialogs& dialogs);

  // The start button of a batch page. dropped: files dropped onto the page
  // (used in place of the open dialog), or null. paths is updated with the
  // folders the batch used while "During Session" is set. Returns true when
  // the driver ran.
  bool Run(BatchKind kind, PathsState& paths, const SettingsState& settings, const std::vector<std::string>* dropped,
           const FlowHooks& hooks);

  // The Cancel button: asks the question; on any answer but No the session
  // is told to stop at its next progress step. Returns whether it will.
  bool AskCancel();

  // Writes the lines, each followed by a line feed, to a file chosen in the
  // save dialog. A file error goes into the results queue. Returns true
  // when the file was written.
  bool SaveResults(const std::vector<std::string>& lines, const std::string& startDir);

  // The last confirmation shown (for the flow's callers and tests).
  const ConfirmRequest& LastConfirmation() const { return m_lastConfirmation; }

 private:
  std::string App() const;
  ConfirmRequest MakeConfirmation(BatchKind kind, int count, const std::string& chosenFolder);

  CQ_Morvane_CommunicationFrame& m_session;
  Dialogs& m_dialogs;
  ConfirmRequest m_lastConfirmation;
};

// Writes lines, each followed by '\n', to path through a temporary file
// renamed into place, so a failure never leaves half a file. Throws
// Platform::CQ_FileException on failure.
void WriteLines(const std::vector<std::string>& lines, const std::string& path);

}  // namespace brannock
