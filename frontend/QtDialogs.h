// The real answers of the Dialogs seam: Qt message boxes, native file
// dialogs, the confirmation dialog of a batch, the "Customise Verifier
// Report" dialog and the help texts kept in the program's resources.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <vector>

#include "logic/BatchFlow.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// The help text of a topic from the resources, or an empty text.
QString HelpText(const std::string& topic);

class ConfirmDialog : public QDialog {
  Q_OBJECT
 public:
  ConfirmDialog(brannock::ConfirmRequest& request, brannock::Dialogs& dialogs, const std::string& caption,
                QWidget* parent);
  QLineEdit* Field(int i) const { return m_fields.at(i); }
  QCheckBox* Check(int i) const { return m_checks.at(i); }
  int CheckCount() const { return static_cast<int>(m_checks.size()); }
  // OK: checks the fields; closes only when they pass, then hands the
  // fields' texts and the check boxes' states to the request.
  void accept() override;

 private:
  brannock::ConfirmRequest& m_request;
  brannock::Dialogs& m_dialogs;
  std::string m_caption;
  std::vector<QLineEdit*> m_fields;
  std::vector<QCheckBox*> m_checks;
};

class ReportDialog : public QDialog {
  Q_OBJECT
 public:
  ReportDialog(const std::vector<bool>& flags, brannock::Dialogs& dialogs, QWidget* parent);
  std::vector<bool> Flags() const;
  void SetFlags(const std::vector<bool>& flags);
  QListWidget* List() const { return m_list; }
  QPushButton* ResetButton() const { return m_reset; }

 private:
  QListWidget* m_list;
  QPushButton* m_reset;
};

class QtDialogs : public brannock::Dialogs {
 public:
  // Dialogs are owned by this widget (the main window), set once it exists.
  void SetParent(QWidget* parent) { m_parent = parent; }

  int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
  bool ChooseFiles(const std::string& title, const std::string& filter, const std::string& startDir,
                   brannock::FileChoice& choice) override;
  bool Confirm(brannock::ConfirmRequest& request) override;
  bool ChooseSaveFile(const std::string& title, const std::string& filter, const std::string& defaultName,
                      const std::string& startDir, std::string& path) override;
  bool ChooseDirectory(const std::string& title, const std::string& startDir, std::string& dir) override;
  bool CustomiseReport(std::vector<bool>& flags) override;
  void ShowHelp(const std::string& topic) override;

 private:
  QPointer<QWidget> m_parent;
};
