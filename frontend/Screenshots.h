// Pictures of the window's pages for the documentation.
#pragma once

#include <QPixmap>
#include <string>
#include <vector>

#include "logic/BatchFlow.h"

class BrannockWindow;

// The dialogs of a window whose pictures are taken: the open dialog picks
// the given MIF files, the confirmation the given folders, questions are
// answered No and messages OK; nothing else is chosen.
class ScreenshotDialogs : public brannock::Dialogs {
 public:
  ScreenshotDialogs(std::vector<std::string> files, std::string org, std::string translated);
  bool HasFiles() const { return !m_files.empty(); }

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  bool ChooseFiles(const std::string& title, const std::string& filter, const std::string& startDir,
                   brannock::FileChoice& choice) override;
  bool Confirm(brannock::ConfirmRequest& request) override;
  bool ChooseSaveFile(const std::string&, const std::string&, const std::string&, const std::string&,
                      std::string&) override {
    return false;
  }
  bool ChooseDirectory(const std::string&, const std::string&, std::string&) override { return false; }
  bool CustomiseReport(std::vector<bool>&) override { return false; }
  void ShowHelp(const std::string&) override {}

 private:
  std::vector<std::string> m_files;
  std::string m_org, m_translated;
};

// Saves brannock-<page>.png for each page, brannock-splash.png and pictures
// of the report dialog (and, when the dialogs have MIF files, of the MIF
// confirmation) into dir, created when missing. With MIF files the Convert
// MIF page first runs a real batch of them, so the results list is filled.
// False when a picture could not be written.
bool SaveScreenshots(BrannockWindow& window, ScreenshotDialogs& dialogs, const QPixmap& splash,
                     const std::string& dir);
