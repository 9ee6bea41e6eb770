// Real dialogs for the Dialogs seam. Message boxes map the Windows styles
// and answers onto QMessageBox; file choices use the platform's own file
// dialogs; help texts are HTML files compiled into the program.
#include "QtDialogs.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "System/Platform/WindowServices.h"
#include "kernel/session/KernelStrings.h"
#include "logic/FrontEndStrings.h"
#include "logic/PageState.h"

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

// The help texts are compiled into this static library; referring to their
// initialiser keeps the linker from dropping them.
static void InitHelpResources() { Q_INIT_RESOURCE(brannock); }

QString HelpText(const std::string& topic) {
  static const bool initialised = (InitHelpResources(), true);
  (void)initialised;
  QFile file(QStringLiteral(":/help/") + Q(topic) + QStringLiteral(".html"));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

// --- confirmation dialog ----------------------------------------------------------

ConfirmDialog::ConfirmDialog(brannock::ConfirmRequest& request, brannock::Dialogs& dialogs, const std::string& caption,
                             QWidget* parent)
    : QDialog(parent), m_request(request), m_dialogs(dialogs), m_caption(caption) {
  setWindowTitle(Q(request.title));
  auto* layout = new QVBoxLayout(this);
  for (brannock::ConfirmRequest::Item& item : request.items) {
    if (item.check) {
      auto* check = new QCheckBox(Q(item.text));
      check->setChecked(item.checked);
      layout->addWidget(check);
      m_checks.push_back(check);
      continue;
    }
    if (!item.field) {
      auto* label = new QLabel(Q(item.text));
      label->setWordWrap(true);
      layout->addWidget(label);
      continue;
    }
    auto* row = new QHBoxLayout;
    auto* field = new QLineEdit(Q(item.value));
    field->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    row->addWidget(field);
    row->addWidget(browse);
    layout->addLayout(row);
    m_fields.push_back(field);
    const std::string title = item.text;
    connect(browse, &QPushButton::clicked, this, [this, field, title] {
      std::string dir;
      if (m_dialogs.ChooseDirectory(title, S(field->text()), dir)) field->setText(Q(brannock::WithTrailingSeparator(dir)));
    });
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { m_dialogs.ShowHelp(m_request.helpTopic); });
  if (!m_fields.empty()) m_fields.front()->setFocus();
}

void ConfirmDialog::accept() {
  std::vector<std::string> values;
  for (QLineEdit* field : m_fields) values.push_back(S(field->text()));
  if (m_request.validate) {
    if (auto refusal = m_request.validate(values)) {
      m_dialogs.MessageBox(refusal->message, m_caption, Platform::MB_OK | Platform::MB_ICONSTOP);
      QLineEdit* field = m_fields.at(static_cast<std::size_t>(refusal->field));
      field->setFocus();
      field->selectAll();
      return;
    }
  }
  std::size_t next = 0, nextCheck = 0;
  for (brannock::ConfirmRequest::Item& item : m_request.items) {
    if (item.field) item.value = values[next++];
    if (item.check) item.checked = m_checks[nextCheck++]->isChecked();
  }
  QDialog::accept();
}

// --- report dialog ------------------------------------------------------------------

ReportDialog::ReportDialog(const std::vector<bool>& flags, brannock::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(brannock::LoadString(brannock::Text::REPORT_CUSTOMISE_TITLE)));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(QString::fromUtf8(brannock::LoadString(brannock::Text::REPORT_SUPPRESS_LABEL)));
  m_list = new QListWidget;
  label->setBuddy(m_list);
  for (int i = 0; i < brannock::kReportTypes; ++i) {
    auto* item = new QListWidgetItem(QString::fromUtf8(brannock::LoadString(Msg::GLOSSARY_FIRST + i)), m_list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  }
  // Wide enough for the longest message type without a scroll bar.
  m_list->setMinimumSize(std::max(420, m_list->sizeHintForColumn(0) + 40), 360);
  layout->addWidget(label);
  layout->addWidget(m_list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  m_reset = buttons->addButton(QStringLiteral("&Reset"), QDialogButtonBox::ResetRole);
  QPushButton* help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_reset, &QPushButton::clicked, this, [this] { SetFlags(brannock::DefaultReportFlags()); });
  connect(help, &QPushButton::clicked, this, [&dialogs] { dialogs.ShowHelp("customise-report"); });
  SetFlags(flags);
}

std::vector<bool> ReportDialog::Flags() const {
  std::vector<bool> flags(brannock::kReportTypes);
  for (int i = 0; i < brannock::kReportTypes; ++i) flags[i] = m_list->item(i)->checkState() == Qt::Checked;
  return flags;
}

void ReportDialog::SetFlags(const std::vector<bool>& flags) {
  for (int i = 0; i < brannock::kReportTypes; ++i) {
    const bool on = i < static_cast<int>(flags.size()) && flags[i];
    m_list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

// --- the seam -------------------------------------------------------------------------

int QtDialogs::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  QMessageBox box(m_parent);
  box.setWindowTitle(Q(caption));
  box.setText(Q(text));
  switch (style & 0xF0u) {
    case Platform::MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case Platform::MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case Platform::MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::Warning); break;
  }
  switch (style & 0x0Fu) {
    case Platform::MB_YESNOCANCEL:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case Platform::MB_YESNO:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes: return Platform::IDYES;
    case QMessageBox::No: return Platform::IDNO;
    case QMessageBox::Ok: return Platform::IDOK;
    default: return Platform::IDCANCEL;  // Cancel, or the box closed by Escape
  }
}

bool QtDialogs::ChooseFiles(const std::string& title, const std::string& filter, const std::string& startDir,
                            brannock::FileChoice& choice) {
  const QStringList files =
      QFileDialog::getOpenFileNames(m_parent, Q(title), Q(startDir), Q(brannock::QtFilter(filter)));
  if (files.isEmpty()) return false;
  choice.files.clear();
  for (const QString& file : files) choice.files.push_back(S(file));
  choice.folder = brannock::WithTrailingSeparator(S(QFileInfo(files.first()).absolutePath()));
  return true;
}

bool QtDialogs::Confirm(brannock::ConfirmRequest& request) {
  const std::string caption = m_parent ? S(m_parent->windowTitle()) : request.title;
  ConfirmDialog dialog(request, *this, caption, m_parent);
  return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::ChooseSaveFile(const std::string& title, const std::string& filter, const std::string& defaultName,
                               const std::string& startDir, std::string& path) {
  const QString start = startDir.empty() ? Q(defaultName) : Q(brannock::WithTrailingSeparator(startDir) + defaultName);
  const QString chosen = QFileDialog::getSaveFileName(m_parent, Q(title), start, Q(brannock::QtFilter(filter)));
  if (chosen.isEmpty()) return false;
  path = S(chosen);
  return true;
}

bool QtDialogs::ChooseDirectory(const std::string& title, const std::string& startDir, std::string& dir) {
  const QString chosen = QFileDialog::getExistingDirectory(m_parent, Q(title), Q(startDir));
  if (chosen.isEmpty()) return false;
  dir = brannock::WithTrailingSeparator(S(chosen));
  return true;
}

bool QtDialogs::CustomiseReport(std::vector<bool>& flags) {
  ReportDialog dialog(flags, *this, m_parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  flags = dialog.Flags();
  return true;
}

void QtDialogs::ShowHelp(const std::string& topic) {
  QDialog dialog(m_parent);
  dialog.setWindowTitle(QStringLiteral("Help"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextBrowser;
  text->setHtml(HelpText(topic));
  text->setMinimumSize(460, 320);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.exec();
}
