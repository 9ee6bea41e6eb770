#include "fontmapping/wizard/TypeshiftWizard.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "System/Platform/Registry.h"

namespace typeshift {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

const char* const kColumnTitles[10] = {"Type", "Format", "Current Font", "Size", "Bold",
                                       "Italic", "New Font", "Size", "Bold", "Italic"};

QPushButton* Button(const char* text, QWidget* parent) { return new QPushButton(QString::fromUtf8(text), parent); }

}  // namespace

const char* const CQ_TypeshiftWizard::kSettingsKey = "Software\\Halvex\\Halvex Typeshift for FrameMaker\\1.0\\PATHS";

}  // namespace typeshift

// The help texts are compiled into the static widgets library; calling their
// initialiser keeps the linker from dropping them.
static void InitTypeshiftHelp() { Q_INIT_RESOURCE(typeshift); }

namespace typeshift {

QString qs_HelpText(const std::string& topic) {
  static const bool initialised = (InitTypeshiftHelp(), true);
  (void)initialised;
  QFile file(":/help/" + Q(topic) + ".html");
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

const char* CQ_TypeshiftWizard::HelpTopic(int page) {
  static const char* const topics[3] = {"typeshift-selection", "typeshift-loading", "typeshift-mapping"};
  return page >= 0 && page < 3 ? topics[page] : topics[0];
}

// --- the real dialogs -----------------------------------------------------------------

et_Answer CQ_QtTypeshiftDialogs::et_Message(const std::string& text, const std::string& caption, et_Buttons buttons) {
  if (buttons == et_Buttons::YesNo) {
    return QMessageBox::question(m_pParent, Q(caption), Q(text)) == QMessageBox::Yes ? et_Answer::Yes : et_Answer::No;
  }
  QMessageBox::information(m_pParent, Q(caption), Q(text));
  return et_Answer::Ok;
}

et_Answer CQ_QtTypeshiftDialogs::et_AppendOrReplace() {
  QMessageBox box(QMessageBox::Question, Q(kProductName),
                  "You can either replace or append the files to your current selection of files.", QMessageBox::NoButton,
                  m_pParent);
  QPushButton* append = box.addButton("&Append", QMessageBox::AcceptRole);
  QPushButton* replace = box.addButton("&Replace", QMessageBox::DestructiveRole);
  box.addButton("Cancel", QMessageBox::RejectRole);
  box.exec();
  if (box.clickedButton() == append) return et_Answer::Append;
  if (box.clickedButton() == replace) return et_Answer::Replace;
  return et_Answer::Cancel;
}

bool CQ_QtTypeshiftDialogs::b_ChooseFiles(const std::string& title, const std::string& filter,
                                          std::vector<std::string>& files) {
  const QStringList chosen = QFileDialog::getOpenFileNames(m_pParent, Q(title), QString(), Q(filter));
  files.clear();
  for (const QString& f : chosen) files.push_back(S(f));
  return !files.empty();
}

bool CQ_QtTypeshiftDialogs::b_ChooseDirectory(const std::string& title, std::string& dir) {
  const QString d = QFileDialog::getExistingDirectory(m_pParent, Q(title));
  dir = S(d);
  return !d.isEmpty();
}

bool CQ_QtTypeshiftDialogs::b_ChooseSaveFile(const std::string& title, const std::string& filter, std::string& path) {
  QString p = QFileDialog::getSaveFileName(m_pParent, Q(title), QString(), Q(filter));
  if (p.isEmpty()) return false;
  if (!p.endsWith(".txt", Qt::CaseInsensitive)) p += ".txt";
  path = S(p);
  return true;
}

bool CQ_QtTypeshiftDialogs::b_ChooseOpenFile(const std::string& title, const std::string& filter, std::string& path) {
  const QString p = QFileDialog::getOpenFileName(m_pParent, Q(title), QString(), Q(filter));
  path = S(p);
  return !p.isEmpty();
}

bool CQ_QtTypeshiftDialogs::b_MultipleChange(const std::string& title, const std::vector<std::string>& originals,
                                             const std::vector<std::string>& fonts, std::vector<std::string>& chosen,
                                             std::string& newFont) {
  QDialog dialog(m_pParent);
  dialog.setWindowTitle(Q(title));
  auto* layout = new QGridLayout(&dialog);
  layout->addWidget(new QLabel("Original", &dialog), 0, 0);
  layout->addWidget(new QLabel("New Font", &dialog), 0, 1);
  auto* left = new QListWidget(&dialog);
  left->setSelectionMode(QAbstractItemView::ExtendedSelection);
  for (const std::string& o : originals) left->addItem(Q(o));
  auto* right = new QListWidget(&dialog);
  for (const std::string& f : fonts) right->addItem(Q(f));
  layout->addWidget(left, 1, 0);
  layout->addWidget(right, 1, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons, 2, 0, 1, 2);
  if (dialog.exec() != QDialog::Accepted || !right->currentItem()) return false;
  chosen.clear();
  for (const QListWidgetItem* i : left->selectedItems()) chosen.push_back(S(i->text()));
  newFont = S(right->currentItem()->text());
  return !chosen.empty();
}

et_Overwrite CQ_QtTypeshiftDialogs::et_AskOverwrite(const std::string& path) {
  QMessageBox box(QMessageBox::Question, Q(kProductName), Q("Do you want to overwrite the file:\n" + path),
                  QMessageBox::NoButton, m_pParent);
  QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
  QPushButton* no = box.addButton("&No", QMessageBox::NoRole);
  QPushButton* yesAll = box.addButton("Y&es to all", QMessageBox::YesRole);
  box.addButton("No to &all", QMessageBox::NoRole);
  box.exec();
  if (box.clickedButton() == yes) return et_Overwrite::Yes;
  if (box.clickedButton() == no) return et_Overwrite::No;
  if (box.clickedButton() == yesAll) return et_Overwrite::YesToAll;
  return et_Overwrite::NoToAll;
}

void CQ_QtTypeshiftDialogs::v_ShowHelp(const std::string& topic) {
  QDialog dialog(m_pParent);
  dialog.setWindowTitle("Help");
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextBrowser(&dialog);
  text->setHtml(qs_HelpText(topic));
  text->setMinimumSize(460, 320);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  dialog.exec();
}

// --- the wizard -------------------------------------------------------------------------

CQ_TypeshiftWizard::CQ_TypeshiftWizard(CQ_TypeshiftDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_rDialogs(dialogs), m_pLogic(std::make_unique<CQ_Typeshift>()) {
  setWindowTitle(Q(kProductName));
  m_pPages = new QStackedWidget(this);
  m_pPages->addWidget(pco_BuildSelectionPage());
  m_pPages->addWidget(pco_BuildLoadingPage());
  m_pPages->addWidget(pco_BuildMappingPage());
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pPages);
  resize(900, 560);
  m_pLogic->fn_Pump = [this] { v_Pump(); };
  m_pLogic->fn_Stopped = [this] { return m_bStopped; };
  m_pLogic->fn_Progress = [this](long piece, long pieces, int, int) {
    const int pct = pieces > 0 ? static_cast<int>(100 * piece / pieces) : 0;
    m_pFileBar->setValue(pct);
    m_pFilePercent->setText(QString::number(pct) + "%");
  };
}

CQ_TypeshiftWizard::~CQ_TypeshiftWizard() = default;

void CQ_TypeshiftWizard::v_Pump() { QApplication::processEvents(); }

QWidget* CQ_TypeshiftWizard::pco_BuildSelectionPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto group = [&](const char* title, QLineEdit*& field, QPushButton*& browse) {
    auto* g = new QGroupBox(title, page);
    auto* h = new QHBoxLayout(g);
    field = new QLineEdit(g);
    browse = Button("Browse...", g);
    h->addWidget(field);
    h->addWidget(browse);
    layout->addWidget(g);
  };
  group("Translated Files", m_pTranslated, m_pBrowseTranslated);
  group("Font Files", m_pFonts, m_pBrowseFonts);
  group("Output Files Directory", m_pOutput, m_pBrowseOutput);
  layout->addStretch();
  auto* buttons = new QHBoxLayout;
  m_pNext = Button("&Next >", page);
  m_pClear = Button("&Clear All", page);
  QPushButton* help = Button("&Help", page);
  QPushButton* exit = Button("&Exit", page);
  buttons->addStretch();
  for (QPushButton* b : {m_pClear, m_pNext, help, exit}) buttons->addWidget(b);
  layout->addLayout(buttons);

  auto stored = [](const char* name) {
    const auto v = Platform::Registry::QueryValue(kSettingsKey, name);
    return v && std::holds_alternative<std::string>(*v) ? Q(std::get<std::string>(*v)) : QString();
  };
  m_pTranslated->setText(stored("OriginalFiles"));
  m_pFonts->setText(stored("FontFiles"));
  m_pOutput->setText(stored("MappedFile"));

  connect(m_pBrowseTranslated, &QPushButton::clicked, this,
          [this] { v_Browse(m_pTranslated, "Select Translated Files", "MIF Files (*.mif)"); });
  connect(m_pBrowseFonts, &QPushButton::clicked, this, [this] {
    v_Browse(m_pFonts, "Select Font Files", "MIF Files (*.mif);;Font Map Files (*.txt)");
  });
  connect(m_pBrowseOutput, &QPushButton::clicked, this, [this] {
    std::string dir;
    if (m_rDialogs.b_ChooseDirectory("Select Ouput Files Directory", dir)) m_pOutput->setText(Q(dir));
  });
  connect(m_pClear, &QPushButton::clicked, this, [this] {
    m_pTranslated->clear();
    m_pFonts->clear();
    m_pOutput->clear();
  });
  connect(m_pNext, &QPushButton::clicked, this, [this] { v_SelectionNext(); });
  m_apHelp[0] = help;
  connect(help, &QPushButton::clicked, this, [this] { m_rDialogs.v_ShowHelp(HelpTopic(0)); });
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  return page;
}

void CQ_TypeshiftWizard::v_Browse(QLineEdit* field, const char* title, const char* filter) {
  std::vector<std::string> files;
  if (!m_rDialogs.b_ChooseFiles(title, filter, files)) return;
  std::string list;
  for (const std::string& f : files) list += f + ";";
  if (!field->text().isEmpty()) {
    const et_Answer a = m_rDialogs.et_AppendOrReplace();
    if (a == et_Answer::Cancel) return;
    if (a == et_Answer::Append) {
      QString current = field->text();
      if (!current.endsWith(';')) current += ';';
      field->setText(current + Q(list));
      return;
    }
  }
  field->setText(Q(list));
}

void CQ_TypeshiftWizard::v_SelectionNext() {
  std::string tr = S(m_pTranslated->text()), fo = S(m_pFonts->text());
  int field = 0;
  std::string caption;
  const std::string problem = ccs_ValidateSelection(tr, fo, S(m_pOutput->text()), &field, &caption);
  if (!problem.empty()) {
    m_rDialogs.et_Message(problem, caption, et_Buttons::Ok);
    (field == 0 ? m_pTranslated : field == 1 ? m_pFonts : m_pOutput)->setFocus();
    return;
  }
  m_pTranslated->setText(Q(tr));
  m_pFonts->setText(Q(fo));
  Platform::Registry::SetString(kSettingsKey, "OriginalFiles", tr);
  Platform::Registry::SetString(kSettingsKey, "FontFiles", fo);
  Platform::Registry::SetString(kSettingsKey, "MappedFile", S(m_pOutput->text()));
  m_pLog->clear();
  m_pLoadingNext->setEnabled(false);
  m_pPages->setCurrentIndex(1);
}

QWidget* CQ_TypeshiftWizard::pco_BuildLoadingPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  m_pLog = new QListWidget(page);
  layout->addWidget(m_pLog);
  auto* buttons = new QHBoxLayout;
  m_pStart = Button("S&tart", page);
  m_pStop = Button("&Stop", page);
  m_pSaveLog = Button("Save &As...", page);
  m_pLoadingBack = Button("< &Back", page);
  m_pLoadingNext = Button("&Next >", page);
  QPushButton* help = Button("&Help", page);
  QPushButton* exit = Button("&Exit", page);
  m_pStop->setEnabled(false);
  m_pLoadingNext->setEnabled(false);
  for (QPushButton* b : {m_pStart, m_pStop, m_pSaveLog}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {m_pLoadingBack, m_pLoadingNext, help, exit}) buttons->addWidget(b);
  layout->addLayout(buttons);
  connect(m_pStart, &QPushButton::clicked, this, [this] { v_Start(); });
  connect(m_pStop, &QPushButton::clicked, this, [this] { m_bStopped = true; });
  connect(m_pSaveLog, &QPushButton::clicked, this, [this] {
    std::string path;
    if (!m_rDialogs.b_ChooseSaveFile("Save Results As", "Text Files (*.txt)", path)) return;
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < m_pLog->count(); ++i) out << S(m_pLog->item(i)->text()) << "\r\n";
    if (!out) m_rDialogs.et_Message("Filename: " + path + " could not be written.", "Error", et_Buttons::Ok);
  });
  connect(m_pLoadingBack, &QPushButton::clicked, this, [this] {
    if (!m_bLoading) m_pPages->setCurrentIndex(0);
  });
  connect(m_pLoadingNext, &QPushButton::clicked, this, [this] {
    v_FillMappingPage();
    m_pPages->setCurrentIndex(2);
  });
  m_apHelp[1] = help;
  connect(help, &QPushButton::clicked, this, [this] { m_rDialogs.v_ShowHelp(HelpTopic(1)); });
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  return page;
}

void CQ_TypeshiftWizard::v_Start() {
  m_bStopped = false;
  m_bLoading = true;
  m_pStart->setEnabled(false);
  m_pStop->setEnabled(true);
  m_pLoadingBack->setEnabled(false);
  m_pLog->clear();
  m_pLogic = std::make_unique<CQ_Typeshift>();
  CQ_Typeshift& logic = *m_pLogic;
  // The log shows each line as it is written.
  logic.fn_Pump = [this, &logic] {
    for (int i = m_pLog->count(); i < static_cast<int>(logic.vec_Log.size()); ++i) m_pLog->addItem(Q(logic.vec_Log[i]));
    v_Pump();
  };
  logic.fn_Stopped = [this] { return m_bStopped; };
  logic.fn_Progress = [this](long piece, long pieces, int, int) {
    const int pct = pieces > 0 ? static_cast<int>(100 * piece / pieces) : 0;
    m_pFileBar->setValue(pct);
    m_pFilePercent->setText(QString::number(pct) + "%");
  };
  const bool ok = logic.b_Load(vec_SplitFileList(S(m_pTranslated->text())), vec_SplitFileList(S(m_pFonts->text())));
  for (int i = m_pLog->count(); i < static_cast<int>(logic.vec_Log.size()); ++i) m_pLog->addItem(Q(logic.vec_Log[i]));
  m_pLog->scrollToBottom();
  m_bLoading = false;
  m_pStart->setEnabled(true);
  m_pStop->setEnabled(false);
  m_pLoadingBack->setEnabled(true);
  m_pLoadingNext->setEnabled(ok && !m_bStopped && !logic.rco_TranslatedLists().empty());
}

QWidget* CQ_TypeshiftWizard::pco_BuildMappingPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  m_pList = new QTreeWidget(page);
  m_pList->setRootIsDecorated(false);
  m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_pList->setColumnCount(10);
  QStringList titles;
  for (const char* t : kColumnTitles) titles << t;
  m_pList->setHeaderLabels(titles);
  const QFontMetrics fm(m_pList->font());
  for (int c = 0; c < 10; ++c) {
    const int extra = c == 0 ? 12 : (c == 1 || c == 2 || c == 6) ? 31 : 14;
    m_pList->setColumnWidth(c, fm.horizontalAdvance(kColumnTitles[c]) + extra + 12);
  }
  layout->addWidget(m_pList, 1);

  auto* row = new QHBoxLayout;
  auto* fonts = new QGroupBox("Available Fonts", page);
  auto* fl = new QGridLayout(fonts);
  m_pFontName = new QComboBox(fonts);
  m_pFontSize = new QComboBox(fonts);
  m_pFontSize->setEditable(true);
  m_pFontSize->setInsertPolicy(QComboBox::NoInsert);
  m_pBold = new QCheckBox("Bol&d", fonts);
  m_pItalic = new QCheckBox("&Italic", fonts);
  fl->addWidget(new QLabel("Name:", fonts), 0, 0);
  fl->addWidget(m_pFontName, 0, 1);
  fl->addWidget(new QLabel("Size:", fonts), 1, 0);
  fl->addWidget(m_pFontSize, 1, 1);
  fl->addWidget(m_pBold, 0, 2);
  fl->addWidget(m_pItalic, 1, 2);
  row->addWidget(fonts, 2);
  auto* multiple = new QGroupBox("Multiple Change", page);
  auto* ml = new QVBoxLayout(multiple);
  m_pByFormat = Button("F&ormat...", multiple);
  m_pByFont = Button("&Font...", multiple);
  ml->addWidget(m_pByFormat);
  ml->addWidget(m_pByFont);
  row->addWidget(multiple);
  auto* map = new QGroupBox("Font Map", page);
  auto* mpl = new QVBoxLayout(map);
  m_pMapLoad = Button("&Load...", map);
  m_pMapSave = Button("Save &As...", map);
  mpl->addWidget(m_pMapLoad);
  mpl->addWidget(m_pMapSave);
  row->addWidget(map);
  m_pShowFiles = Button("Show Filenames", page);
  row->addWidget(m_pShowFiles);
  layout->addLayout(row);

  auto* bars = new QGridLayout;
  m_pFileBar = new QProgressBar(page);
  m_pTotalBar = new QProgressBar(page);
  m_pFilePercent = new QLabel("0%", page);
  m_pTotalPercent = new QLabel("0%", page);
  for (QProgressBar* b : {m_pFileBar, m_pTotalBar}) b->setTextVisible(false);
  bars->addWidget(new QLabel("Current File:", page), 0, 0);
  bars->addWidget(m_pFileBar, 0, 1);
  bars->addWidget(m_pFilePercent, 0, 2);
  bars->addWidget(new QLabel("Total:", page), 1, 0);
  bars->addWidget(m_pTotalBar, 1, 1);
  bars->addWidget(m_pTotalPercent, 1, 2);
  layout->addLayout(bars);

  auto* buttons = new QHBoxLayout;
  m_pMappingBack = Button("< &Back", page);
  m_pRun = Button("&Run", page);
  QPushButton* help = Button("&Help", page);
  QPushButton* exit = Button("&Exit", page);
  buttons->addStretch();
  for (QPushButton* b : {m_pMappingBack, m_pRun, help, exit}) buttons->addWidget(b);
  layout->addLayout(buttons);

  connect(m_pFontName, &QComboBox::activated, this, [this](int) { v_ApplyToSelection(6, S(m_pFontName->currentData().toString())); });
  connect(m_pFontSize, &QComboBox::activated, this, [this](int) { b_EnterSize(m_pFontSize->currentText()); });
  connect(m_pFontSize->lineEdit(), &QLineEdit::returnPressed, this, [this] { b_EnterSize(m_pFontSize->currentText()); });
  connect(m_pBold, &QCheckBox::clicked, this, [this](bool on) { v_ApplyToSelection(8, on ? "Bold" : "Regular"); });
  connect(m_pItalic, &QCheckBox::clicked, this, [this](bool on) { v_ApplyToSelection(9, on ? "Italic" : "Regular"); });
  connect(m_pList, &QTreeWidget::itemSelectionChanged, this, [this] { v_ShowRowValues(); });
  connect(m_pByFormat, &QPushButton::clicked, this, [this] { v_MultipleChange(true); });
  connect(m_pByFont, &QPushButton::clicked, this, [this] { v_MultipleChange(false); });
  connect(m_pShowFiles, &QPushButton::clicked, this, [this] { v_ShowFilenames(); });
  connect(m_pMapLoad, &QPushButton::clicked, this, [this] { v_LoadMap(); });
  connect(m_pMapSave, &QPushButton::clicked, this, [this] { v_SaveMap(); });
  connect(m_pRun, &QPushButton::clicked, this, [this] { v_Run(); });
  connect(m_pMappingBack, &QPushButton::clicked, this, [this] { v_MappingBack(); });
  m_apHelp[2] = help;
  connect(help, &QPushButton::clicked, this, [this] { m_rDialogs.v_ShowHelp(HelpTopic(2)); });
  connect(exit, &QPushButton::clicked, this, &QWidget::close);
  return page;
}

void CQ_TypeshiftWizard::v_FillMappingPage() {
  const std::string enc = m_pLogic->ccs_Encoding();
  m_pFontName->clear();
  for (const auto& [name, piece] : m_pLogic->rco_AvailableFonts()) {
    m_pFontName->addItem(Q(ccs_DisplayText(name, enc)), Q(name));
  }
  m_pFontSize->clear();
  for (const std::string& s : m_pLogic->rco_Sizes()) m_pFontSize->addItem(Q(s));
  m_pFontSize->setCurrentText(QString());
  m_pList->clear();
  for (std::size_t i = 0; i < m_pLogic->vec_Rows.size(); ++i) {
    m_pList->addTopLevelItem(new QTreeWidgetItem);
    v_RefreshRow(static_cast<int>(i));
  }
  m_pFileBar->setValue(0);
  m_pTotalBar->setValue(0);
  m_pFilePercent->setText("0%");
  m_pTotalPercent->setText("0%");
}

void CQ_TypeshiftWizard::v_RefreshRow(int row) {
  QTreeWidgetItem* item = m_pList->topLevelItem(row);
  const st_Row& r = m_pLogic->vec_Rows[static_cast<std::size_t>(row)];
  const std::string enc = m_pLogic->ccs_Encoding();
  for (int c = 0; c < 10; ++c) {
    const bool name = c == 1 || c == 2 || c == 6;
    item->setText(c, Q(name ? ccs_DisplayText(r.acs_Cells[c], enc) : r.acs_Cells[c]));
  }
}

// The controls of the "Available Fonts" group show the row a user selected:
// its new values, or its current ones where it has no new value yet.
void CQ_TypeshiftWizard::v_ShowRowValues() {
  QTreeWidgetItem* item = m_pList->currentItem();
  if (!item || !item->isSelected()) {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    item = selected.isEmpty() ? nullptr : selected.front();
  }
  const QSignalBlocker blockName(m_pFontName), blockSize(m_pFontSize), blockBold(m_pBold), blockItalic(m_pItalic);
  if (!item) {
    m_pFontName->setCurrentIndex(-1);
    m_pFontSize->setCurrentText(QString());
    m_pBold->setChecked(false);
    m_pItalic->setChecked(false);
    return;
  }
  const st_Row& r = m_pLogic->vec_Rows[static_cast<std::size_t>(m_pList->indexOfTopLevelItem(item))];
  const auto value = [&r](int column) { return r.acs_Cells[column + 4].empty() ? r.acs_Cells[column] : r.acs_Cells[column + 4]; };
  m_pFontName->setCurrentIndex(m_pFontName->findData(Q(value(2))));
  m_pFontSize->setCurrentText(Q(value(3)));
  m_pBold->setChecked(value(4) == "Bold");
  m_pItalic->setChecked(value(5) == "Italic");
}

void CQ_TypeshiftWizard::v_ApplyToSelection(int column, const std::string& value) {
  for (QTreeWidgetItem* item : m_pList->selectedItems()) {
    const int row = m_pList->indexOfTopLevelItem(item);
    st_Row& r = m_pLogic->vec_Rows[static_cast<std::size_t>(row)];
    if (column == 6) {
      m_pLogic->b_SetNewFont(r, value);
    } else {
      r.acs_Cells[column] = value;
    }
    v_RefreshRow(row);
  }
}

bool CQ_TypeshiftWizard::b_EnterSize(const QString& size) {
  const std::string s = S(size.trimmed());
  if (!b_ValidSize(s)) {
    m_rDialogs.et_Message(kSizeMessage, "Error", et_Buttons::Ok);
    return false;
  }
  if (m_pFontSize->findText(Q(s)) < 0) m_pFontSize->addItem(Q(s));
  m_pLogic->v_AddSize(s);
  v_ApplyToSelection(7, s);
  return true;
}

void CQ_TypeshiftWizard::v_MultipleChange(bool byFormat) {
  const int column = byFormat ? 1 : 2;
  // The dialog lists names as the list shows them; the choices are mapped
  // back to the MIF names.
  const std::string enc = m_pLogic->ccs_Encoding();
  std::vector<std::string> originals;
  std::map<std::string, std::set<std::string>> originalNames;  // shown -> MIF names
  for (const st_Row& r : m_pLogic->vec_Rows) {
    if (r.acs_Cells[column].empty()) continue;
    const std::string shown = ccs_DisplayText(r.acs_Cells[column], enc);
    auto [it, added] = originalNames.try_emplace(shown);
    if (added) originals.push_back(shown);
    it->second.insert(r.acs_Cells[column]);
  }
  std::vector<std::string> fonts;
  std::map<std::string, std::string> fontNames;  // shown -> MIF name
  for (const auto& [name, piece] : m_pLogic->rco_AvailableFonts()) {
    const std::string shown = ccs_DisplayText(name, enc);
    if (fontNames.emplace(shown, name).second) fonts.push_back(shown);
  }
  std::vector<std::string> chosen;
  std::string shownFont;
  if (!m_rDialogs.b_MultipleChange(byFormat ? "Multiple Changes By Format" : "Multiple Changes By Font", originals,
                                   fonts, chosen, shownFont)) {
    return;
  }
  const auto font = fontNames.find(shownFont);
  const std::string newFont = font == fontNames.end() ? shownFont : font->second;
  std::set<std::string> picked;
  for (const std::string& c : chosen) {
    const auto names = originalNames.find(c);
    if (names != originalNames.end()) picked.insert(names->second.begin(), names->second.end());
  }
  m_pList->clearSelection();
  for (std::size_t i = 0; i < m_pLogic->vec_Rows.size(); ++i) {
    st_Row& r = m_pLogic->vec_Rows[i];
    if (!picked.count(r.acs_Cells[column])) continue;
    m_pLogic->b_SetNewFont(r, newFont);
    r.acs_Cells[7] = r.acs_Cells[3];
    r.acs_Cells[8] = r.acs_Cells[4];
    r.acs_Cells[9] = r.acs_Cells[5];
    m_pList->topLevelItem(static_cast<int>(i))->setSelected(true);
    v_RefreshRow(static_cast<int>(i));
  }
}

void CQ_TypeshiftWizard::v_ShowFilenames() {
  QTreeWidgetItem* item = m_pList->currentItem();
  if (!item) return;
  const st_Row& r = m_pLogic->vec_Rows[static_cast<std::size_t>(m_pList->indexOfTopLevelItem(item))];
  std::string text = "Format appears in the following files\n";
  std::set<std::string> files;
  for (const st_Row& other : m_pLogic->vec_Rows) {
    if (other.acs_Cells[1] == r.acs_Cells[1]) files.insert(other.vec_Files.begin(), other.vec_Files.end());
  }
  for (const std::string& f : files) text += "\n" + f;
  m_rDialogs.et_Message(text, "Show Filenames", et_Buttons::Ok);
}

void CQ_TypeshiftWizard::v_LoadMap() {
  std::string path, error;
  if (!m_rDialogs.b_ChooseOpenFile("Load Font Map", "Font Map Files (*.txt)", path)) return;
  if (!m_pLogic->b_LoadFontMap(path, error)) {
    m_rDialogs.et_Message(error, "Error", et_Buttons::Ok);
    return;
  }
  v_FillMappingPage();
}

void CQ_TypeshiftWizard::v_SaveMap() {
  std::string path, error;
  if (!m_rDialogs.b_ChooseSaveFile("Save Font Map As", "Text Files (*.txt)", path)) return;
  if (!m_pLogic->b_SaveFontMap(path, error)) m_rDialogs.et_Message(error, "Error", et_Buttons::Ok);
}

void CQ_TypeshiftWizard::v_Run() {
  m_pLogic->vec_Log.clear();
  m_pLogic->fn_Progress = [this](long piece, long pieces, int file, int files) {
    const int pct = pieces > 0 ? static_cast<int>(100 * piece / pieces) : 0;
    const int total = files > 0 ? static_cast<int>((100 * (file - 1) + pct) / files) : 0;
    m_pFileBar->setValue(pct);
    m_pFilePercent->setText(QString::number(pct) + "%");
    m_pTotalBar->setValue(total);
    m_pTotalPercent->setText(QString::number(total) + "%");
  };
  m_pLogic->i_Run(S(m_pOutput->text()), m_rDialogs);
  m_pFileBar->setValue(0);
  m_pTotalBar->setValue(0);
  m_pFilePercent->setText("0%");
  m_pTotalPercent->setText("0%");
  for (const std::string& l : m_pLogic->vec_Log) m_pLog->addItem(Q(l));
}

void CQ_TypeshiftWizard::v_MappingBack() {
  if (m_rDialogs.et_Message("Any font mappings in the list will be lost.\n\rAre you sure you want to go back?", "Warning.",
                            et_Buttons::YesNo) != et_Answer::Yes) {
    return;
  }
  for (st_Row& r : m_pLogic->vec_Rows) {
    for (int c = 6; c < 10; ++c) r.acs_Cells[c].clear();
    r.b_HasDefinition = false;
  }
  m_pPages->setCurrentIndex(1);
}

}  // namespace typeshift
