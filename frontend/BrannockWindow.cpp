// The window and its pages. Widgets stay thin: values go to and from the
// page records of the logic library, batches run through BatchFlow, and
// every dialog goes through the Dialogs seam.
//
// During a batch the kernel calls the active batch page synchronously; the
// page steps its bars or drains the results queue and then lets pending
// events run, which repaints the window and lets Cancel be pressed. While a
// batch is prepared or runs, the other pages and the start buttons are
// disabled so nothing can start a second batch inside the first.
#include "BrannockWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "Artwork.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/Languages.h"
#include "logic/FrontEndStrings.h"
#include "logic/SystemInfo.h"

using brannock::BatchKind;

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

const char* StartLabel(BatchKind kind) {
  switch (kind) {
    case BatchKind::ConvertMIF: return "Convert &MIF...";
    case BatchKind::VerifyVarnels: return "&Verify Varnels...";
    case BatchKind::ConvertKWX: return "Convert &KWX...";
  }
  return "";
}

}  // namespace

// --- batch pages ----------------------------------------------------------------

BatchPage::BatchPage(BrannockWindow& window, BatchKind kind)
    : m_window(window),
      m_kind(kind),
      m_progressMessage(Platform::RegisterWindowMessage("Update The Morvane Progress Indicators")),
      m_resultsMessage(Platform::RegisterWindowMessage("Update The Morvane Results Window")) {
  auto* layout = new QGridLayout(this);
  auto* fileLabel = new QLabel(QStringLiteral("File:"));
  auto* batchLabel = new QLabel(QStringLiteral("Batch:"));
  auto* resultsLabel = new QLabel(QStringLiteral("Results:"));
  m_fileBar = new QProgressBar;
  m_batchBar = new QProgressBar;
  for (QProgressBar* bar : {m_fileBar, m_batchBar}) {
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(false);
  }
  m_results = new QListWidget;
  m_results->setUniformItemSizes(true);
  m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_results->setMinimumHeight(220);
  m_start = new QPushButton(QString::fromLatin1(StartLabel(kind)));
  m_cancel = new QPushButton(QStringLiteral("&Cancel"));
  m_clear = new QPushButton(QStringLiteral("Clear &Results"));
  m_save = new QPushButton(QStringLiteral("&Save Results..."));
  resultsLabel->setBuddy(m_results);

  layout->addWidget(fileLabel, 0, 0);
  layout->addWidget(m_fileBar, 0, 1);
  layout->addWidget(batchLabel, 1, 0);
  layout->addWidget(m_batchBar, 1, 1);
  layout->addWidget(resultsLabel, 2, 0, 1, 2);
  layout->addWidget(m_results, 3, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_start);
  buttons->addStretch();
  buttons->addWidget(m_cancel);
  buttons->addWidget(m_clear);
  buttons->addWidget(m_save);
  layout->addLayout(buttons, 4, 0, 1, 2);
  setTabOrder(m_start, m_cancel);
  setTabOrder(m_cancel, m_clear);
  setTabOrder(m_clear, m_save);
  setTabOrder(m_save, m_results);

  m_cancel->setEnabled(false);
  UpdateResultButtons();
  setAcceptDrops(true);

  connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { m_window.Flow().AskCancel(); });
  connect(m_clear, &QPushButton::clicked, this, [this] {
    m_results->clear();
    UpdateResultButtons();
  });
  connect(m_save, &QPushButton::clicked, this, [this] {
    const brannock::PathsState paths = m_window.Paths()->State();
    m_window.Flow().SaveResults(ResultLines(), paths.duringSession ? paths.translated : std::string());
    DrainResults();  // a file error is reported into the results
  });
}

void BatchPage::Step(QProgressBar* bar) {
  // A full bar starts again from the beginning, as a stepped bar wraps.
  int value = bar->value() + 1;
  if (value > bar->maximum()) value = bar->minimum() + 1;
  bar->setValue(value);
}

long BatchPage::SendMessage(unsigned message, unsigned long wParam, long lParam) {
  if (message == m_progressMessage) {
    if (lParam == 0) Step(m_batchBar);
    if (wParam == 0) Step(m_fileBar);
    emit progressStepped();
    QCoreApplication::processEvents();
  } else if (message == m_resultsMessage) {
    DrainResults();
    QCoreApplication::processEvents();
  }
  return 0;
}

int BatchPage::MessageBox(const std::string& text, const std::string& caption, unsigned style) {
  // The wait cursor of a running batch does not belong on a question.
  const bool waiting = QApplication::overrideCursor() != nullptr;
  if (waiting) QApplication::restoreOverrideCursor();
  const int answer = m_window.Dialogs().MessageBox(text, caption, style);
  if (waiting) QApplication::setOverrideCursor(Qt::WaitCursor);
  return answer;
}

void BatchPage::Activate() {
  for (QProgressBar* bar : {m_fileBar, m_batchBar}) bar->setValue(0);
  m_window.Session().v_SetUI(this);
  m_window.Session().v_SetUserCancelled(false);
}

void BatchPage::Start(const std::vector<std::string>* dropped) { m_window.RunBatch(*this, dropped); }

void BatchPage::DrainResults() {
  char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
  bool any = false;
  while (m_window.Session().b_GetNextMessage(buffer)) {
    auto* item = new QListWidgetItem(QString::fromUtf8(buffer));
    // The line's own bytes are what "Save Results" writes.
    item->setData(Qt::UserRole, QByteArray(buffer));
    m_results->addItem(item);
    any = true;
  }
  if (any) {
    m_results->scrollToBottom();
    UpdateResultButtons();
  }
}

std::vector<std::string> BatchPage::ResultLines() const {
  std::vector<std::string> lines;
  for (int i = 0; i < m_results->count(); ++i) lines.push_back(m_results->item(i)->data(Qt::UserRole).toByteArray().toStdString());
  return lines;
}

void BatchPage::SetBusy(bool busy) {
  m_start->setEnabled(!busy);
  if (busy) {
    m_clear->setEnabled(false);
    m_save->setEnabled(false);
  } else {
    m_cancel->setEnabled(false);
    UpdateResultButtons();
  }
}

void BatchPage::SetRunning(bool running) { m_cancel->setEnabled(running); }

void BatchPage::UpdateResultButtons() {
  const bool any = m_results->count() > 0 && m_start->isEnabled();
  m_clear->setEnabled(any);
  m_save->setEnabled(any);
}

void BatchPage::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && m_start->isEnabled()) event->acceptProposedAction();
}

void BatchPage::dropEvent(QDropEvent* event) {
  std::vector<std::string> files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files.push_back(S(url.toLocalFile()));
  }
  event->acceptProposedAction();
  if (!files.empty()) Start(&files);
}

// --- paths page -----------------------------------------------------------------

PathsPage::PathsPage(BrannockWindow& window, const brannock::PathsState& paths) : m_window(window) {
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const char* labels[3] = {"Source MIF Files:", "Source KWX && ORG Files:", "Translated KWX && MIF Files:"};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(QString::fromLatin1(labels[i]));
    m_fields[i] = new QLineEdit;
    m_browse[i] = new QPushButton(QStringLiteral("Browse..."));
    label->setBuddy(m_fields[i]);
    grid->addWidget(label, 2 * i, 0, 1, 2);
    grid->addWidget(m_fields[i], 2 * i + 1, 0);
    grid->addWidget(m_browse[i], 2 * i + 1, 1);
    connect(m_fields[i], &QLineEdit::editingFinished, this, [this, i] {
      m_fields[i]->setText(Q(brannock::WithTrailingSeparator(S(m_fields[i]->text()))));
    });
    connect(m_browse[i], &QPushButton::clicked, this, [this, i] {
      std::string dir;
      if (m_window.Dialogs().ChooseDirectory(brannock::LoadString(brannock::Text::FOLDER_SOURCE_MIF + 10 * i), S(m_fields[i]->text()), dir)) {
        m_fields[i]->setText(Q(brannock::WithTrailingSeparator(dir)));
      }
    });
  }
  layout->addLayout(grid);
  auto* keep = new QGroupBox(QStringLiteral("Keep Paths"));
  auto* keepLayout = new QVBoxLayout(keep);
  m_during = new QCheckBox(QStringLiteral("&During Session"));
  m_between = new QCheckBox(QStringLiteral("&Between Sessions"));
  keepLayout->addWidget(m_during);
  keepLayout->addWidget(m_between);
  layout->addWidget(keep);
  layout->addStretch();
  for (int i = 0; i < 3; ++i) {
    setTabOrder(i == 0 ? static_cast<QWidget*>(m_fields[0]) : m_browse[i - 1], m_fields[i]);
    setTabOrder(m_fields[i], m_browse[i]);
  }
  setTabOrder(m_browse[2], m_during);
  setTabOrder(m_during, m_between);
  connect(m_during, &QCheckBox::toggled, this, [this](bool on) {
    if (!on) m_between->setChecked(false);
    UpdateEnabled();
  });
  SetState(paths);
}

void PathsPage::UpdateEnabled() {
  const bool on = m_during->isChecked();
  for (int i = 0; i < 3; ++i) {
    m_fields[i]->setEnabled(on);
    m_browse[i]->setEnabled(on);
  }
  m_between->setEnabled(on);
}

brannock::PathsState PathsPage::State() const {
  brannock::PathsState paths;
  paths.source = brannock::WithTrailingSeparator(S(m_fields[0]->text()));
  paths.org = brannock::WithTrailingSeparator(S(m_fields[1]->text()));
  paths.translated = brannock::WithTrailingSeparator(S(m_fields[2]->text()));
  paths.duringSession = m_during->isChecked();
  paths.betweenSessions = m_during->isChecked() && m_between->isChecked();
  return paths;
}

void PathsPage::SetState(const brannock::PathsState& paths) {
  m_fields[0]->setText(Q(paths.source));
  m_fields[1]->setText(Q(paths.org));
  m_fields[2]->setText(Q(paths.translated));
  m_during->setChecked(paths.duringSession);
  m_between->setChecked(paths.duringSession && paths.betweenSessions);
  UpdateEnabled();
}

bool PathsPage::CheckLeave() {
  if (auto missing = brannock::FirstMissingPath(State())) {
    m_window.Dialogs().MessageBox(brannock::LoadString(brannock::Text::FOLDER_MISSING), m_window.Session().ccs_GetAppName(),
                                  Platform::MB_OK | Platform::MB_ICONSTOP);
    m_fields[*missing]->setFocus();
    m_fields[*missing]->selectAll();
    return false;
  }
  return true;
}

// --- settings page ----------------------------------------------------------------

SettingsPage::SettingsPage(BrannockWindow& window, const brannock::SettingsState& settings)
    : m_window(window), m_sourceNames(ccs_OfferedLanguageNames(true)), m_targetNames(ccs_OfferedLanguageNames(false)) {
  auto* layout = new QGridLayout(this);
  // A group box of one or two radio groups; each radio group is a pair of
  // options whose ids are the setting's values.
  auto addGroup = [this](QGroupBox* box, QGridLayout* grid, int row, const char* label, const char* first,
                         const char* second, const char* rowLabel) {
    auto* group = new QButtonGroup(box);
    auto* a = new QRadioButton(QString::fromUtf8(first));
    auto* b = new QRadioButton(QString::fromUtf8(second));
    group->addButton(a, 0);
    group->addButton(b, 1);
    int column = 0;
    if (rowLabel) grid->addWidget(new QLabel(QString::fromUtf8(rowLabel)), row, column++);
    grid->addWidget(a, row, column++);
    grid->addWidget(b, row, column);
    m_groups.emplace_back(QString::fromUtf8(label), group);
  };
  auto box = [&](const char* title, int row, int column) {
    auto* g = new QGroupBox(QString::fromUtf8(title));
    layout->addWidget(g, row, column);
    return std::make_pair(g, new QGridLayout(g));
  };
  auto [overwrite, overwriteGrid] = box("Overwrite Files:", 0, 0);
  addGroup(overwrite, overwriteGrid, 0, "Overwrite Files:", "Always &Prompt", "Always Over&write", nullptr);
  auto [format, formatGrid] = box("File Format For KWX:", 1, 0);
  addGroup(format, formatGrid, 0, "File Format For KWX:", "ANSI Te&xt", "&RTF", nullptr);
  auto [page, pageGrid] = box("RTF Page Size:", 2, 0);
  addGroup(page, pageGrid, 0, "RTF Page Size:", "A&4", "&Letter", nullptr);
  auto [charset, charsetGrid] = box("Character Set:", 3, 0);
  addGroup(charset, charsetGrid, 0, "Character Set:", "&Normal", "Sym&bol", nullptr);
  auto [hyph, hyphGrid] = box("Hyphenation:", 4, 0);
  addGroup(hyph, hyphGrid, 0, "Source:", "&Turn Off", "Leave A&s Is", "Source:");
  addGroup(hyph, hyphGrid, 1, "Translation:", "T&urn Off", "Lea&ve As Is", "Translation:");
  auto [markers, markersGrid] = box("Marker Placeholders:", 0, 1);
  addGroup(markers, markersGrid, 0, "Marker Placeholders:", "&Insert", "&Don't Insert", nullptr);
  auto [quotes, quotesGrid] = box("Smart Quotes:", 1, 1);
  addGroup(quotes, quotesGrid, 0, "Smart Quotes:", "As Text (&1)", "As Tags (&2)", nullptr);
  auto [report, reportGrid] = box("Verifier Report:", 2, 1);
  m_customise = new QPushButton(QStringLiteral("Custo&mise..."));
  reportGrid->addWidget(m_customise, 0, 0);

  auto [language, languageGrid] = box("Document Language", 3, 1);
  auto* sourceLabel = new QLabel(QStringLiteral("Sour&ce Language:"));
  auto* targetLabel = new QLabel(QStringLiteral("Tar&get Language:"));
  m_source = new QComboBox;
  m_target = new QComboBox;
  for (const std::string& name : m_sourceNames) m_source->addItem(Q(name));
  for (const std::string& name : m_targetNames) m_target->addItem(Q(name));
  sourceLabel->setBuddy(m_source);
  targetLabel->setBuddy(m_target);
  languageGrid->addWidget(sourceLabel, 0, 0);
  languageGrid->addWidget(m_source, 0, 1);
  languageGrid->addWidget(targetLabel, 1, 0);
  languageGrid->addWidget(m_target, 1, 1);

  auto [marker, markerGrid] = box("Source Marker Length", 4, 1);
  auto* reportLabel = new QLabel(QStringLiteral("Report markers >="));
  m_marker = new QLineEdit;
  m_marker->setMaxLength(3);
  m_marker->setMaximumWidth(60);
  reportLabel->setBuddy(m_marker);
  markerGrid->addWidget(reportLabel, 0, 0);
  markerGrid->addWidget(m_marker, 0, 1);
  markerGrid->addWidget(new QLabel(QStringLiteral("characters.")), 0, 2);
  layout->setRowStretch(5, 1);

  connect(Group(QStringLiteral("File Format For KWX:")), &QButtonGroup::idClicked, this, [this] { UpdateEnabled(); });
  connect(m_customise, &QPushButton::clicked, this, [this] {
    std::vector<bool> flags = m_reportFlags;
    if (m_window.Dialogs().CustomiseReport(flags)) m_reportFlags = flags;
  });
  SetState(settings);
}

QButtonGroup* SettingsPage::Group(const QString& label) const {
  for (const auto& [name, group] : m_groups) {
    if (name == label) return group;
  }
  return nullptr;
}

void SettingsPage::UpdateEnabled() {
  const bool rtf = Group(QStringLiteral("File Format For KWX:"))->checkedId() == 1;
  Group(QStringLiteral("RTF Page Size:"))->buttons().first()->parentWidget()->setEnabled(rtf);
}

brannock::SettingsState SettingsPage::State() const {
  brannock::SettingsState s;
  auto value = [this](const char* label) { return std::max(0, Group(QString::fromUtf8(label))->checkedId()); };
  s.overwriteFiles = value("Overwrite Files:");
  s.fileFormatForKWX = value("File Format For KWX:");
  s.rtfPageSize = value("RTF Page Size:");
  s.characterSet = value("Character Set:");
  s.sourceHyphenation = value("Source:");
  s.translationHyphenation = value("Translation:");
  s.markerPlaceholders = value("Marker Placeholders:");
  s.smartQuotes = value("Smart Quotes:");
  s.readOnlyComponents = m_readOnlyComponents;
  s.sourceLanguage = S(m_source->currentText());
  s.targetLanguage = S(m_target->currentText());
  s.sourceSelection = m_source->currentIndex() < 0 ? brannock::kNoSelection : static_cast<unsigned>(m_source->currentIndex());
  s.targetSelection = m_target->currentIndex() < 0 ? brannock::kNoSelection : static_cast<unsigned>(m_target->currentIndex());
  s.markerLength = S(m_marker->text());
  s.reportFlags = m_reportFlags;
  return s;
}

void SettingsPage::SetState(const brannock::SettingsState& s) {
  auto set = [this](const char* label, int value) {
    if (QAbstractButton* button = Group(QString::fromUtf8(label))->button(value ? 1 : 0)) button->setChecked(true);
  };
  set("Overwrite Files:", s.overwriteFiles);
  set("File Format For KWX:", s.fileFormatForKWX);
  set("RTF Page Size:", s.rtfPageSize);
  set("Character Set:", s.characterSet);
  set("Source:", s.sourceHyphenation);
  set("Translation:", s.translationHyphenation);
  set("Marker Placeholders:", s.markerPlaceholders);
  set("Smart Quotes:", s.smartQuotes);
  m_readOnlyComponents = s.readOnlyComponents;
  // The language names decide; a stored selection serves when a name is
  // not offered.
  auto select = [](QComboBox* combo, const std::vector<std::string>& names, const std::string& name, unsigned stored) {
    unsigned index = brannock::IndexOf(names, name);
    if (index == brannock::kNoSelection && stored < names.size()) index = stored;
    combo->setCurrentIndex(index == brannock::kNoSelection ? -1 : static_cast<int>(index));
  };
  select(m_source, m_sourceNames, s.sourceLanguage, s.sourceSelection);
  select(m_target, m_targetNames, s.targetLanguage, s.targetSelection);
  m_marker->setText(Q(s.markerLength));
  m_reportFlags = s.reportFlags;
  m_reportFlags.resize(brannock::kReportTypes, false);
  UpdateEnabled();
}

bool SettingsPage::CheckLeave() {
  if (brannock::ValidMarkerLength(S(m_marker->text()))) return true;
  m_window.Dialogs().MessageBox(brannock::FormatString(brannock::Text::NUMBER_OUT_OF_RANGE, brannock::kMaxMarkerLength),
                                m_window.Session().ccs_GetAppName(), Platform::MB_OK | Platform::MB_ICONSTOP);
  m_marker->setFocus();
  m_marker->selectAll();
  return false;
}

// --- about page -------------------------------------------------------------------

AboutPage::AboutPage(BrannockWindow& window, const std::vector<std::string>& systemLines) {
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel;
  icon->setPixmap(BrannockIcon(64));
  auto* name = new QLabel(Q(window.Session().ccs_GetAppName()));
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  name->setFont(big);
  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(new QLabel(Q(window.Session().ccs_GetVersion())));
  text->addWidget(new QLabel(QStringLiteral("Desktop front end \"Brannock\"")));
  top->addWidget(icon);
  top->addLayout(text);
  top->addStretch();
  layout->addLayout(top);
  m_lines = new QListWidget;
  for (const std::string& line : systemLines) m_lines->addItem(Q(line));
  layout->addWidget(m_lines);
}

// --- window -------------------------------------------------------------------------

BrannockWindow::BrannockWindow(CQ_Morvane_CommunicationFrame& session, brannock::Dialogs& dialogs,
                               const std::string& programPath, QWidget* parent)
    : QWidget(parent), m_session(session), m_dialogs(dialogs), m_flow(session, dialogs) {
  setWindowTitle(Q(session.ccs_GetAppName()));
  setWindowIcon(QIcon(BrannockIcon(64)));
  m_tabs = new QTabWidget;
  const char* titles[3] = {"Convert MIF", "Verify Varnels", "Convert KWX"};
  for (int i = 0; i < 3; ++i) {
    m_batchPages[i] = new BatchPage(*this, static_cast<BatchKind>(i));
    m_tabs->addTab(m_batchPages[i], QString::fromLatin1(titles[i]));
  }
  m_paths = new PathsPage(*this, brannock::LoadPaths(session));
  m_settings = new SettingsPage(*this, brannock::LoadSettings(session));
  m_about = new AboutPage(*this, brannock::SystemInfoLines(session.ccs_GetAppName(), programPath));
  m_tabs->addTab(m_paths, QStringLiteral("Paths"));
  m_tabs->addTab(m_settings, QStringLiteral("Settings"));
  m_tabs->addTab(m_about, QStringLiteral("About"));

  m_exit = new QPushButton(QStringLiteral("&Exit"));
  m_help = new QPushButton(QStringLiteral("&Help"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tabs);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_exit);
  buttons->addWidget(m_help);
  layout->addLayout(buttons);
  resize(720, 560);

  connect(m_exit, &QPushButton::clicked, this, &QWidget::close);
  connect(m_help, &QPushButton::clicked, this, [this] { m_dialogs.ShowHelp(HelpTopic(m_tabs->currentIndex())); });
  connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { OnTabChanged(index); });

  session.v_SetRunningTask(false);
  session.v_SetUserCancelled(false);
  m_batchPages[0]->Activate();
}

BrannockWindow::~BrannockWindow() {
  Shutdown();
  // The session outlives the window; it must not call a page that is gone.
  m_session.v_SetUI(nullptr);
}

const char* BrannockWindow::HelpTopic(int page) {
  static const char* const topics[] = {"convert-mif", "verify-varnels", "convert-kwx", "paths", "settings", "about"};
  return page >= 0 && page < 6 ? topics[page] : "convert-mif";
}

void BrannockWindow::OnTabChanged(int index) {
  if (m_reverting) return;
  const int previous = m_lastTab;
  bool leave = true;
  if (previous == kPaths || previous == kSettings) {
    // The page is shown again before the message, so the focus can go to
    // the field to correct.
    m_reverting = true;
    m_tabs->setCurrentIndex(previous);
    m_reverting = false;
    leave = previous == kPaths ? m_paths->CheckLeave() : m_settings->CheckLeave();
    if (leave) {
      m_reverting = true;
      m_tabs->setCurrentIndex(index);
      m_reverting = false;
    }
  }
  if (!leave) return;
  m_lastTab = index;
  if (index >= kConvertMIF && index <= kConvertKWX) m_batchPages[index]->Activate();
}

void BrannockWindow::SetPagesEnabled(bool enabled, int except) {
  for (int i = 0; i < m_tabs->count(); ++i) {
    if (i != except) m_tabs->setTabEnabled(i, enabled);
  }
  m_help->setEnabled(enabled);
}

void BrannockWindow::RunBatch(BatchPage& page, const std::vector<std::string>* dropped) {
  if (m_running || !page.StartButton()->isEnabled()) return;
  const int index = static_cast<int>(page.Kind());
  if (m_tabs->currentIndex() != index) m_tabs->setCurrentIndex(index);
  if (m_tabs->currentIndex() != index) return;  // the page left refused
  brannock::PathsState paths = m_paths->State();
  brannock::SettingsState settings = m_settings->State();
  page.Activate();

  brannock::FlowHooks hooks;
  hooks.resetBars = [&page](int fileSteps, int batchSteps) {
    if (fileSteps > 0) page.FileBar()->setRange(0, fileSteps);
    if (batchSteps > 0) page.BatchBar()->setRange(0, batchSteps);
    page.FileBar()->setValue(0);
    page.BatchBar()->setValue(0);
  };
  hooks.setBusy = [this, &page, index](bool busy) {
    page.SetBusy(busy);
    SetPagesEnabled(!busy, index);
  };
  hooks.setRunning = [this, &page](bool running) {
    m_running = running;
    page.SetRunning(running);
    if (running) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
      QApplication::restoreOverrideCursor();
    }
  };
  hooks.drainResults = [&page] { page.DrainResults(); };
  m_flow.Run(page.Kind(), paths, settings, dropped, hooks);
  if (paths.duringSession) m_paths->SetState(paths);
  page.DrainResults();
  page.SetBusy(false);
  if (m_closePending) {
    m_closePending = false;
    close();
  }
}

void BrannockWindow::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  brannock::ApplyPaths(m_session, m_paths->State());
  brannock::SettingsState settings = m_settings->State();
  if (!brannock::ValidMarkerLength(settings.markerLength)) {
    // A value the page refuses is not stored; the last good one stays.
    const std::string current = m_session.lpsz_GetSourceMarkerLength();
    settings.markerLength = brannock::ValidMarkerLength(current) ? current : "220";
  }
  brannock::ApplySettings(m_session, settings);
  brannock::SaveReportFlags(settings.reportFlags);
}

void BrannockWindow::closeEvent(QCloseEvent* event) {
  if (m_running) {
    // The batch ends at its next progress step; the window closes after.
    if (m_flow.AskCancel()) m_closePending = true;
    event->ignore();
    return;
  }
  Shutdown();
  event->accept();
}
