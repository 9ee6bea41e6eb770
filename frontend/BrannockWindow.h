// The desktop front end's window: a tabbed sheet of six pages ("Convert
// MIF", "Verify Varnels", "Convert KWX", "Paths", "Settings", "About") with
// "&Exit" and "&Help" below it.
//
// The window works over one session (not owned; created before the window,
// destroyed after it) and one Dialogs seam (not owned) through which every
// question and file choice goes. The batch pages are the session's UI
// window while active: the kernel steps their bars and fills their results
// list through Platform::Window, and they let pending events run so Cancel
// stays live during a batch.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "System/Platform/WindowServices.h"
#include "logic/BatchFlow.h"
#include "logic/PageState.h"

class CQ_Morvane_CommunicationFrame;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class BrannockWindow;

class BatchPage : public QWidget, public Platform::Window {
  Q_OBJECT
 public:
  BatchPage(BrannockWindow& window, brannock::BatchKind kind);

  // Platform::Window: the two registered messages and message boxes.
  long SendMessage(unsigned message, unsigned long wParam, long lParam) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;

  // The page became active: bars to 0, the page is the session's UI window.
  void Activate();
  // The start button's flow; dropped: files dropped onto the page, or null.
  void Start(const std::vector<std::string>* dropped = nullptr);
  // Moves the waiting results lines into the list.
  void DrainResults();
  std::vector<std::string> ResultLines() const;
  // A batch is prepared or runs: the start and results buttons are off.
  void SetBusy(bool busy);
  // The driver runs: Cancel is on.
  void SetRunning(bool running);

  brannock::BatchKind Kind() const { return m_kind; }
  QProgressBar* FileBar() const { return m_fileBar; }
  QProgressBar* BatchBar() const { return m_batchBar; }
  QListWidget* Results() const { return m_results; }
  QPushButton* StartButton() const { return m_start; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* ClearButton() const { return m_clear; }
  QPushButton* SaveButton() const { return m_save; }

 signals:
  // After each progress step has been shown (before pending events run).
  void progressStepped();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void UpdateResultButtons();
  static void Step(QProgressBar* bar);

  BrannockWindow& m_window;
  brannock::BatchKind m_kind;
  const unsigned m_progressMessage;  // the two registered messages
  const unsigned m_resultsMessage;
  QProgressBar* m_fileBar;
  QProgressBar* m_batchBar;
  QListWidget* m_results;
  QPushButton* m_start;
  QPushButton* m_cancel;
  QPushButton* m_clear;
  QPushButton* m_save;
};

class PathsPage : public QWidget {
  Q_OBJECT
 public:
  PathsPage(BrannockWindow& window, const brannock::PathsState& paths);
  brannock::PathsState State() const;
  void SetState(const brannock::PathsState& paths);
  // False (after saying why) when the page may not be left.
  bool CheckLeave();

  QLineEdit* Field(int i) const { return m_fields[i]; }
  QCheckBox* DuringSession() const { return m_during; }
  QCheckBox* BetweenSessions() const { return m_between; }

 private:
  void UpdateEnabled();
  BrannockWindow& m_window;
  QLineEdit* m_fields[3];
  QPushButton* m_browse[3];
  QCheckBox* m_during;
  QCheckBox* m_between;
};

class SettingsPage : public QWidget {
  Q_OBJECT
 public:
  SettingsPage(BrannockWindow& window, const brannock::SettingsState& settings);
  brannock::SettingsState State() const;
  void SetState(const brannock::SettingsState& settings);
  bool CheckLeave();

  // The radio group of a setting by its label ("Overwrite Files:", ...).
  QButtonGroup* Group(const QString& label) const;
  QComboBox* SourceLanguage() const { return m_source; }
  QComboBox* TargetLanguage() const { return m_target; }
  QLineEdit* MarkerLength() const { return m_marker; }
  QPushButton* CustomiseButton() const { return m_customise; }

 private:
  void UpdateEnabled();
  BrannockWindow& m_window;
  std::vector<std::pair<QString, QButtonGroup*>> m_groups;
  QComboBox* m_source;
  QComboBox* m_target;
  QLineEdit* m_marker;
  QPushButton* m_customise;
  std::vector<bool> m_reportFlags;
  std::vector<std::string> m_sourceNames, m_targetNames;
  int m_readOnlyComponents = 1;
};

class AboutPage : public QWidget {
  Q_OBJECT
 public:
  AboutPage(BrannockWindow& window, const std::vector<std::string>& systemLines);
  QListWidget* SystemLines() const { return m_lines; }

 private:
  QListWidget* m_lines;
};

class BrannockWindow : public QWidget {
  Q_OBJECT
 public:
  enum PageIndex { kConvertMIF = 0, kVerifyVarnels, kConvertKWX, kPaths, kSettings, kAbout };

  // programPath: where the program lies (for the About page's disk space).
  BrannockWindow(CQ_Morvane_CommunicationFrame& session, brannock::Dialogs& dialogs, const std::string& programPath,
                 QWidget* parent = nullptr);
  ~BrannockWindow() override;

  CQ_Morvane_CommunicationFrame& Session() { return m_session; }
  brannock::Dialogs& Dialogs() { return m_dialogs; }
  brannock::BatchFlow& Flow() { return m_flow; }

  QTabWidget* Tabs() const { return m_tabs; }
  BatchPage* Page(brannock::BatchKind kind) const { return m_batchPages[static_cast<int>(kind)]; }
  PathsPage* Paths() const { return m_paths; }
  SettingsPage* Settings() const { return m_settings; }
  AboutPage* About() const { return m_about; }
  QPushButton* ExitButton() const { return m_exit; }
  QPushButton* HelpButton() const { return m_help; }

  // The help topic of a page.
  static const char* HelpTopic(int page);

  // Runs the batch of a page: called by its start button and drops.
  void RunBatch(BatchPage& page, const std::vector<std::string>* dropped);
  // True while a batch driver runs.
  bool Running() const { return m_running; }
  // Writes the pages into the session and stores the report flags; runs
  // once, when the window closes (or is destroyed without closing).
  void Shutdown();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnTabChanged(int index);
  void SetPagesEnabled(bool enabled, int except);

  CQ_Morvane_CommunicationFrame& m_session;
  brannock::Dialogs& m_dialogs;
  brannock::BatchFlow m_flow;
  QTabWidget* m_tabs;
  BatchPage* m_batchPages[3];
  PathsPage* m_paths;
  SettingsPage* m_settings;
  AboutPage* m_about;
  QPushButton* m_exit;
  QPushButton* m_help;
  int m_lastTab = 0;
  bool m_reverting = false;
  bool m_running = false;
  bool m_closePending = false;
  bool m_shutDown = false;
};
