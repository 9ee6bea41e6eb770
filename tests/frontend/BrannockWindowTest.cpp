// The window through its real widgets and the real kernel, under the
// offscreen platform: files and answers come from a scripted Dialogs seam,
// the settings store lives in a temporary $XDG_CONFIG_HOME per test.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "BrannockWindow.h"
#include "QtDialogs.h"
#include "FrontEndTestSupport.h"
#include "ScriptedDialogs.h"
#include "System/Platform/Registry.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "logic/FrontEndStrings.h"

using brannock::BatchKind;
using brannock_test::ReadText;
using brannock_test::ScriptedDialogs;
namespace fs = std::filesystem;

namespace {

const char kApp[] = "Halvex Morvane for FrameMaker";
const std::string kUnderscores(84, '_');

// One run of the program: session and window over a scripted seam.
struct Program {
  explicit Program(ScriptedDialogs& dialogs)
      : session(std::make_unique<CQ_Morvane_CommunicationFrame>(kApp, "Version 3.00 (Build 1)", true)),
        window(std::make_unique<BrannockWindow>(*session, dialogs, QCoreApplication::applicationFilePath().toStdString())) {
    window->show();
  }
  // Closes the window as the user would, then ends the run.
  void Exit() {
    if (window) QTest::mouseClick(window->ExitButton(), Qt::LeftButton);
    window.reset();
    session.reset();
  }
  std::unique_ptr<CQ_Morvane_CommunicationFrame> session;
  std::unique_ptr<BrannockWindow> window;
};

std::optional<Platform::RegistryValue> Stored(const char* section, const char* name) {
  return Platform::Registry::QueryValue(CQ_Morvane_Communication::scs_AppRegistryKey + section, name);
}

std::string StoredString(const char* section, const char* name) {
  auto value = Stored(section, name);
  return value && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value) : "<missing>";
}

int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == line) return static_cast<int>(i);
  }
  return -1;
}

// Answers the confirmation with the real dialog, which `use` looks at and
// fills in before OK is pressed; every other dialog comes from the script.
class RealConfirmation : public ScriptedDialogs {
 public:
  std::function<void(ConfirmDialog&)> use;
  bool Confirm(brannock::ConfirmRequest& request) override {
    confirmRequests.push_back(request);
    ConfirmDialog dialog(request, *this, kApp, nullptr);
    if (use) use(dialog);
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  }
};

}  // namespace

class BrannockWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> m_store, m_work;
  std::string m_src, m_org, m_out;

  std::string Dir(const char* name) {
    std::string dir = m_work->path().toStdString() + "/" + name + "/";
    fs::create_directories(dir);
    return dir;
  }
  // Two MIF files of the repository in the source folder.
  void CopyFixtures() {
    fs::copy_file(MORVANE_SOURCE_DIR "/samples/sample.mif", m_src + "a.mif");
    fs::copy_file(MORVANE_SOURCE_DIR "/tests/data/convert/golden/text_runs/input.mif", m_src + "b.mif");
  }

 private slots:
  void init() {
    // The store replaces its file with fsync at every write; in memory
    // that costs nothing.
    m_store = QDir(QStringLiteral("/dev/shm")).isReadable()
                  ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/brannock-store-XXXXXX"))
                  : std::make_unique<QTemporaryDir>();
    QVERIFY(m_store->isValid());
    m_work = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_store->path().toUtf8());
    m_src = Dir("src");
    m_org = Dir("org");
    m_out = Dir("out");
  }

  void pagesAndButtonsInOrder() {
    ScriptedDialogs dialogs;
    Program program(dialogs);
    QTabWidget* tabs = program.window->Tabs();
    const QStringList expected = {"Convert MIF", "Verify Varnels", "Convert KWX", "Paths", "Settings", "About"};
    QCOMPARE(tabs->count(), expected.size());
    for (int i = 0; i < tabs->count(); ++i) QCOMPARE(tabs->tabText(i), expected[i]);
    QCOMPARE(program.window->ExitButton()->text(), QStringLiteral("&Exit"));
    QCOMPARE(program.window->HelpButton()->text(), QStringLiteral("&Help"));
    QCOMPARE(program.window->Page(BatchKind::VerifyVarnels)->StartButton()->text(), QStringLiteral("&Verify Varnels..."));
    // The page the kernel talks to is the active batch page.
    QCOMPARE(program.session->hwnd_GetUI(), static_cast<Platform::Window*>(program.window->Page(BatchKind::ConvertMIF)));
    tabs->setCurrentIndex(BrannockWindow::kConvertKWX);
    QCOMPARE(program.session->hwnd_GetUI(), static_cast<Platform::Window*>(program.window->Page(BatchKind::ConvertKWX)));
    // Help answers on every page with a text of its own.
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      QTest::mouseClick(program.window->HelpButton(), Qt::LeftButton);
    }
    QCOMPARE(dialogs.helpTopics.size(), std::size_t(6));
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(dialogs.helpTopics[i], std::string(BrannockWindow::HelpTopic(i)));
      QVERIFY2(HelpText(dialogs.helpTopics[i]).contains(expected[i]), dialogs.helpTopics[i].c_str());
    }
    QVERIFY(!HelpText("customise-report").isEmpty());
    // The About page shows this machine's facts.
    QListWidget* about = program.window->About()->SystemLines();
    QVERIFY(about->count() >= 10);
    QCOMPARE(about->item(1)->text(), QStringLiteral("Halvex Morvane for FrameMaker is running"));
    QVERIFY(about->item(2)->text().startsWith("Total Physical Memory: "));
    QVERIFY(!about->findItems("Operating System: ", Qt::MatchStartsWith).isEmpty());
  }

  void keyboardReachesTheButtons() {
    ScriptedDialogs dialogs;
    Program program(dialogs);
    QApplication::setActiveWindow(program.window.get());
    QVERIFY(QTest::qWaitForWindowActive(program.window.get()));
    // Alt+M presses "Convert &MIF...": the open dialog is asked for. (A
    // mnemonic animates the press, so the click comes a moment later.)
    QTest::keyClick(program.window.get(), Qt::Key_M, Qt::AltModifier);
    QTRY_COMPARE(dialogs.fileRequests.size(), std::size_t(1));
    // Alt+H presses "&Help".
    QTest::keyClick(program.window.get(), Qt::Key_H, Qt::AltModifier);
    QTRY_COMPARE(dialogs.helpTopics, std::vector<std::string>{"convert-mif"});
    // On the Settings page Alt+W chooses "Always Over&write".
    program.window->Tabs()->setCurrentIndex(BrannockWindow::kSettings);
    QTest::keyClick(program.window.get(), Qt::Key_W, Qt::AltModifier);
    QTRY_COMPARE(program.window->Settings()->State().overwriteFiles, 1);
  }

  void forwardBatchFillsResultsAndAsksForTheAncillaryFile() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    // The dialog reports the last clicked file first.
    dialogs.files.push_back({m_src, {m_src + "b.mif", m_src + "a.mif"}});
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDOK, Platform::IDYES};  // summary, ancillary question
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    int steps = 0;
    bool otherTabsOff = true;
    connect(page, &BatchPage::progressStepped, [&] {
      ++steps;
      otherTabsOff = otherTabsOff && !program.window->Tabs()->isTabEnabled(BrannockWindow::kSettings) &&
                     !page->StartButton()->isEnabled() && page->CancelButton()->isEnabled();
    });
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);

    QCOMPARE(dialogs.fileRequests.size(), std::size_t(1));
    QCOMPARE(dialogs.fileRequests[0].title, std::string("Select MIF File(s) to Convert"));
    QCOMPARE(dialogs.fileRequests[0].filter, std::string("MIF Files (*.mif)|*.mif||"));
    QCOMPARE(dialogs.confirmRequests.at(0).title, std::string("Confirm MIF Conversion"));
    QCOMPARE(dialogs.confirmRequests.at(0).items.at(0).text, std::string("2 MIF File(s) will be converted to KWX."));

    const std::vector<std::string> lines = page->ResultLines();
    const int first = IndexOf(lines, "Converting " + m_src + "a.mif");
    const int second = IndexOf(lines, "Converting " + m_src + "b.mif");
    QVERIFY2(first >= 0 && second > first, "the alphabetically smaller file is converted first");
    QVERIFY(IndexOf(lines, kUnderscores) > second);
    QVERIFY(IndexOf(lines, lpsz_LoadKernelString(Msg::ANCILLARY_CREATED)) > second);  // the ancillary file was written

    const std::vector<std::string> boxes = dialogs.BoxTexts();
    QCOMPARE(boxes.size(), std::size_t(2));
    QCOMPARE(boxes[0], ccs_FormatKernelString(Msg::BATCH_ALL_CONVERTED, 2));
    QCOMPARE(boxes[1], std::string(lpsz_LoadKernelString(Msg::BATCH_ASK_CREATE_ANCILLARY)));
    QCOMPARE(dialogs.boxes[0].caption, std::string(kApp));

    for (const char* name : {"a.org", "a.rtf", "b.org", "b.rtf", "ancillary.rtf"}) QVERIFY2(fs::exists(m_org + name), name);
    for (const char* name : {"a.rtf", "b.rtf", "ancillary.rtf"}) QVERIFY2(fs::exists(m_out + name), name);

    QCOMPARE(page->FileBar()->maximum(), 8);
    QCOMPARE(page->BatchBar()->maximum(), 16);
    QCOMPARE(page->BatchBar()->value(), 16);
    QCOMPARE(steps, 16);
    QVERIFY(otherTabsOff);
    // The state is reset and the page usable again.
    QVERIFY(!program.session->b_GetRunningTask());
    QVERIFY(!program.session->b_GetUserCancelled());
    QVERIFY(page->StartButton()->isEnabled());
    QVERIFY(!page->CancelButton()->isEnabled());
    QVERIFY(page->SaveButton()->isEnabled() && page->ClearButton()->isEnabled());
    QVERIFY(program.window->Tabs()->isTabEnabled(BrannockWindow::kSettings));
    // The Paths page keeps the folders the batch used.
    QCOMPARE(program.window->Paths()->Field(0)->text().toStdString(), m_src);
    QCOMPARE(program.window->Paths()->Field(1)->text().toStdString(), m_org);

    // Save Results writes the list; Clear Results empties it.
    dialogs.savePaths.push_back(m_work->path().toStdString() + "/results");
    QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
    std::string expected;
    for (const std::string& line : lines) expected += line + "\n";
    QCOMPARE(ReadText(m_work->path().toStdString() + "/results.txt"), expected);
    QTest::mouseClick(page->ClearButton(), Qt::LeftButton);
    QCOMPARE(page->Results()->count(), 0);
    QVERIFY(!page->SaveButton()->isEnabled());
  }

  void anAncillaryFileThatCannotBeWrittenIsReported() {
    CopyFixtures();
    fs::create_directories(m_org + "ancillary.rtf");  // a folder where the file would go
    ScriptedDialogs dialogs;
    dialogs.files.push_back({m_src, {m_src + "a.mif"}});
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDOK, Platform::IDYES, Platform::IDYES, Platform::IDYES};
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);
    const std::vector<std::string> lines = page->ResultLines();
    QVERIFY(IndexOf(lines, lpsz_LoadKernelString(Msg::FILE_NAME_LABEL) + m_org + "ancillary.rtf") > 0);
    QVERIFY(lines.at(IndexOf(lines, lpsz_LoadKernelString(Msg::FILE_NAME_LABEL) + m_org + "ancillary.rtf") - 1).rfind("File Error", 0) == 0);
    QVERIFY(!program.session->b_GetRunningTask());
    QVERIFY(page->StartButton()->isEnabled());
  }

  void cancelAnsweredYesEndsTheBatch() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    dialogs.files.push_back({m_src, {m_src + "a.mif", m_src + "b.mif"}});
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDYES};  // "Are you sure you want to cancel?"
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    bool pressed = false;
    connect(page, &BatchPage::progressStepped, [&] {
      if (!pressed) {
        pressed = true;
        QTest::mouseClick(page->CancelButton(), Qt::LeftButton);
      }
    });
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);

    const std::vector<std::string> boxes = dialogs.BoxTexts();
    QVERIFY(boxes.size() >= 1);
    QCOMPARE(boxes[0], std::string("Are you sure you want to cancel?"));
    QCOMPARE(dialogs.boxes[0].style, unsigned(Platform::MB_YESNO | Platform::MB_ICONQUESTION));
    QCOMPARE(IndexOf(boxes, lpsz_LoadKernelString(Msg::BATCH_ASK_CREATE_ANCILLARY)), -1);  // no ancillary question
    const std::vector<std::string> lines = page->ResultLines();
    QVERIFY(IndexOf(lines, "Converting " + m_src + "a.mif") >= 0);
    QCOMPARE(IndexOf(lines, "Converting " + m_src + "b.mif"), -1);
    const int cancelled = IndexOf(lines, lpsz_LoadKernelString(Msg::BATCH_CANCELLED));
    QVERIFY2(cancelled > 0, "the cancel lines end the results");
    QCOMPARE(lines.back(), kUnderscores);
    QVERIFY(!fs::exists(m_org + "a.rtf"));
    QVERIFY(!program.session->b_GetUserCancelled());
    QVERIFY(page->StartButton()->isEnabled());
  }

  void closingDuringABatchAsksAndClosesAfterIt() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    dialogs.files.push_back({m_src, {m_src + "a.mif"}});
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDNO, Platform::IDYES};  // first close: No; second close: Yes
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    int closes = 0;
    connect(page, &BatchPage::progressStepped, [&] {
      if (closes < 2 && ++closes) program.window->close();
    });
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);
    QCOMPARE(closes, 2);
    QCOMPARE(dialogs.BoxTexts().at(0), std::string("Are you sure you want to cancel?"));
    QCOMPARE(dialogs.BoxTexts().at(1), std::string("Are you sure you want to cancel?"));
    QVERIFY(IndexOf(page->ResultLines(), lpsz_LoadKernelString(Msg::BATCH_CANCELLED)) > 0);
    QVERIFY(!program.window->isVisible());
    // No half-written output: the file's outputs are not there at all.
    QVERIFY(!fs::exists(m_org + "a.rtf"));
    QVERIFY(!fs::exists(m_out + "a.rtf"));
  }

  void kwxFolderEqualToTheSourceFolderIsRefused() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    dialogs.files.push_back({m_src, {m_src + "a.mif"}});
    dialogs.confirmations.push_back({m_src, m_out});            // refused: 1020
    dialogs.confirmations.push_back({m_org, m_src});            // refused: 1020
    dialogs.confirmations.push_back({m_org + "missing/", m_out});  // refused: 4030
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);
    const std::vector<std::string> boxes = dialogs.BoxTexts();
    QCOMPARE(boxes.size(), std::size_t(3));
    QCOMPARE(boxes[0], brannock::FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, m_src.c_str()));
    QCOMPARE(boxes[1], brannock::FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, m_src.c_str()));
    QCOMPARE(boxes[2], std::string("The path you entered doesn't exist. Please try again."));
    // The dialog was cancelled at last: nothing ran.
    QCOMPARE(page->Results()->count(), 0);
    QVERIFY(!program.session->b_GetRunningTask());
    QVERIFY(page->StartButton()->isEnabled());
  }

  void onlyTheAncillaryFileOnConvertKwxRunsNothing() {
    ScriptedDialogs dialogs;
    std::ofstream(m_out + "ancillary.rtf") << "{\\rtf1}";
    dialogs.files.push_back({m_out, {m_out + "ancillary.rtf"}});
    dialogs.confirmations.push_back({m_org});
    Program program(dialogs);
    program.window->Tabs()->setCurrentIndex(BrannockWindow::kConvertKWX);
    BatchPage* page = program.window->Page(BatchKind::ConvertKWX);
    QTest::mouseClick(page->StartButton(), Qt::LeftButton);
    QCOMPARE(dialogs.fileRequests.at(0).title, std::string("Select KWX File(s) to Convert"));
    QCOMPARE(dialogs.fileRequests.at(0).filter, std::string("RTF Files (*.rtf)|*.rtf||"));
    QCOMPARE(dialogs.BoxTexts(), std::vector<std::string>{"The ancillary file can not be converted as an individual file."});
    QCOMPARE(dialogs.boxes[0].style & 0xF0u, unsigned(Platform::MB_ICONSTOP));
    QVERIFY(dialogs.confirmRequests.empty());
    QCOMPARE(page->Results()->count(), 0);
    QVERIFY(!program.session->b_GetRunningTask());
  }

  void verifyAndBackConversionRunFromTheirPages() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    dialogs.files.push_back({m_src, {m_src + "a.mif"}});
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDOK, Platform::IDYES};
    Program program(dialogs);
    QTest::mouseClick(program.window->Page(BatchKind::ConvertMIF)->StartButton(), Qt::LeftButton);
    QVERIFY(fs::exists(m_out + "a.rtf"));

    // Verification: the source folder must differ from the translated one.
    program.window->Tabs()->setCurrentIndex(BrannockWindow::kVerifyVarnels);
    BatchPage* verify = program.window->Page(BatchKind::VerifyVarnels);
    dialogs.boxes.clear();
    dialogs.files.push_back({m_out, {m_out + "a.rtf"}});
    dialogs.confirmations.push_back({m_out});  // refused: 2010
    dialogs.confirmations.push_back({m_org});
    dialogs.answers = {Platform::IDOK};
    QTest::mouseClick(verify->StartButton(), Qt::LeftButton);
    QCOMPARE(dialogs.fileRequests.back().title, std::string("Select KWX file(s) to Verify"));
    QCOMPARE(dialogs.fileRequests.back().startDir, m_out);  // the translated folder of the last batch
    QCOMPARE(dialogs.BoxTexts().at(0), std::string("You must select files in two different directories."));
    const int verifying = IndexOf(verify->ResultLines(), "Verifying " + m_out + "a.rtf");
    QVERIFY(verifying >= 0);
    QCOMPARE(IndexOf(verify->ResultLines(), lpsz_LoadKernelString(Msg::VERIFICATION_COMPLETE)), verifying + 1);
    QCOMPARE(verify->BatchBar()->maximum(), 24);

    program.window->Tabs()->setCurrentIndex(BrannockWindow::kConvertKWX);
    BatchPage* back = program.window->Page(BatchKind::ConvertKWX);
    dialogs.files.push_back({m_out, {m_out + "ancillary.rtf", m_out + "a.rtf"}});
    dialogs.confirmations.push_back({m_org});
    dialogs.answers = {Platform::IDOK};
    QTest::mouseClick(back->StartButton(), Qt::LeftButton);
    QCOMPARE(dialogs.confirmRequests.back().items.at(0).text, std::string("1 KWX File(s) will be converted to MIF."));
    QVERIFY(IndexOf(back->ResultLines(), "Converting " + m_out + "a.rtf") >= 0);
    QVERIFY(fs::exists(m_out + "a.mif"));
  }

  void droppedMifFilesStartTheSameFlow() {
    CopyFixtures();
    ScriptedDialogs dialogs;
    dialogs.confirmations.push_back({m_org, m_out});
    dialogs.answers = {Platform::IDOK, Platform::IDNO};
    Program program(dialogs);
    BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_src + "b.mif")),
                  QUrl::fromLocalFile(QString::fromStdString(m_src + "notes.txt")),
                  QUrl::fromLocalFile(QString::fromStdString(m_src + "a.mif"))});
    // The drop goes to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(page, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(page, &drop);
    QVERIFY(dialogs.fileRequests.empty());  // no open dialog
    QCOMPARE(dialogs.confirmRequests.at(0).items.at(0).text, std::string("2 MIF File(s) will be converted to KWX."));
    const std::vector<std::string> lines = page->ResultLines();
    QVERIFY(IndexOf(lines, "Converting " + m_src + "a.mif") < IndexOf(lines, "Converting " + m_src + "b.mif"));
    QVERIFY(IndexOf(lines, lpsz_LoadKernelString(Msg::ANCILLARY_NOT_CREATED)) >= 0);  // "No ancillary file created."
  }

  void markerLengthIsChecked_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("too large") << "256" << false;
    QTest::newRow("not a number") << "12a" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("largest") << "255" << true;
    QTest::newRow("smallest") << "1" << true;
  }
  void markerLengthIsChecked() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    ScriptedDialogs dialogs;
    Program program(dialogs);
    QTabWidget* tabs = program.window->Tabs();
    tabs->setCurrentIndex(BrannockWindow::kSettings);
    program.window->Settings()->MarkerLength()->setText(text);
    tabs->setCurrentIndex(BrannockWindow::kAbout);
    if (accepted) {
      QVERIFY(dialogs.boxes.empty());
      QCOMPARE(tabs->currentIndex(), int(BrannockWindow::kAbout));
    } else {
      QCOMPARE(dialogs.BoxTexts(), std::vector<std::string>{"Please enter a number between 1 and 255."});
      QCOMPARE(tabs->currentIndex(), int(BrannockWindow::kSettings));
    }
    program.Exit();
    // Only an accepted length is stored.
    QCOMPARE(StoredString("OPTIONS", "SOURCE_MARKER_LENGTH"), accepted ? text.toStdString() : std::string("220"));
  }

  void pathsAreKeptOnlyBetweenSessionsWhenAsked_data() {
    QTest::addColumn<bool>("between");
    QTest::newRow("between sessions cleared") << false;
    QTest::newRow("between sessions set") << true;
  }
  void pathsAreKeptOnlyBetweenSessionsWhenAsked() {
    QFETCH(bool, between);
    ScriptedDialogs dialogs;
    Program program(dialogs);
    PathsPage* paths = program.window->Paths();
    QVERIFY(paths->DuringSession()->isChecked() && paths->BetweenSessions()->isChecked());
    paths->Field(0)->setText(QString::fromStdString(m_src));
    paths->Field(1)->setText(QString::fromStdString(m_org));
    paths->Field(2)->setText(QString::fromStdString(m_out.substr(0, m_out.size() - 1)));  // no trailing '/'
    paths->BetweenSessions()->setChecked(between);
    program.Exit();
    QCOMPARE(StoredString("PATHS", "SOURCE_FILES"), between ? m_src : std::string("/"));
    QCOMPARE(StoredString("PATHS", "ORG_FILES"), between ? m_org : std::string("/"));
    QCOMPARE(StoredString("PATHS", "TRANSLATED_FILES"), between ? m_out : std::string("/"));

    // The next run starts with what was stored.
    Program next(dialogs);
    QCOMPARE(next.window->Paths()->Field(0)->text().toStdString(), between ? m_src : std::string("/"));
    QCOMPARE(next.window->Paths()->BetweenSessions()->isChecked(), between);
  }

  void clearingDuringSessionClearsBetweenSessions() {
    ScriptedDialogs dialogs;
    Program program(dialogs);
    PathsPage* paths = program.window->Paths();
    paths->DuringSession()->setChecked(false);
    QVERIFY(!paths->BetweenSessions()->isChecked());
    QVERIFY(!paths->BetweenSessions()->isEnabled());
    QVERIFY(!paths->Field(1)->isEnabled());
    // A missing folder keeps the page while "During Session" is set.
    paths->DuringSession()->setChecked(true);
    paths->Field(1)->setText(QString::fromStdString(m_org + "missing/"));
    program.window->Tabs()->setCurrentIndex(BrannockWindow::kPaths);
    program.window->Tabs()->setCurrentIndex(BrannockWindow::kConvertMIF);
    QCOMPARE(dialogs.BoxTexts(), std::vector<std::string>{"The path you entered doesn't exist. Please try again."});
    QCOMPARE(program.window->Tabs()->currentIndex(), int(BrannockWindow::kPaths));
  }

  void reportFlagsSurviveARestart() {
    std::vector<bool> chosen(45);
    for (int i = 0; i < 45; ++i) chosen[i] = (i % 3 == 1) || i == 44;
    {
      ScriptedDialogs dialogs;
      Program first(dialogs);
      QCOMPARE(first.window->Settings()->State().reportFlags, brannock::DefaultReportFlags());
      dialogs.reports.push_back(chosen);
      QTest::mouseClick(first.window->Settings()->CustomiseButton(), Qt::LeftButton);
      first.Exit();
    }
    for (int i = 0; i < 45; ++i) {
      auto value = Stored("REPORTING", lpsz_LoadKernelString(Msg::GLOSSARY_FIRST + i));
      QVERIFY(value && std::holds_alternative<std::uint32_t>(*value));
      QCOMPARE(std::get<std::uint32_t>(*value), chosen[i] ? 1u : 0u);
    }
    ScriptedDialogs dialogs;
    Program second(dialogs);
    QCOMPARE(second.window->Settings()->State().reportFlags, chosen);
  }

  void settingsSurviveARestart() {
    {
      ScriptedDialogs dialogs;
      Program first(dialogs);
      SettingsPage* settings = first.window->Settings();
      settings->Group("File Format For KWX:")->button(0)->click();
      QVERIFY(!settings->Group("RTF Page Size:")->button(0)->isEnabled());
      settings->Group("Smart Quotes:")->button(1)->click();
      settings->SourceLanguage()->setCurrentText("German");
      settings->TargetLanguage()->setCurrentText("French");
      first.Exit();
    }
    QCOMPARE(StoredString("OPTIONS", "SOURCE_LANGUAGE"), std::string("German"));
    auto selection = Stored("OPTIONS", "SOURCE_LANGUAGE_SELECTION");
    QVERIFY(selection && std::holds_alternative<std::uint32_t>(*selection));
    ScriptedDialogs dialogs;
    Program second(dialogs);
    const brannock::SettingsState s = second.window->Settings()->State();
    QCOMPARE(s.fileFormatForKWX, 0);
    QCOMPARE(s.smartQuotes, 1);
    QCOMPARE(s.sourceLanguage, std::string("German"));
    QCOMPARE(s.targetLanguage, std::string("French"));
    QCOMPARE(s.sourceSelection, std::get<std::uint32_t>(*selection));
    // A text-format batch page offers text files.
    second.window->Tabs()->setCurrentIndex(BrannockWindow::kVerifyVarnels);
    QTest::mouseClick(second.window->Page(BatchKind::VerifyVarnels)->StartButton(), Qt::LeftButton);
    QCOMPARE(dialogs.fileRequests.at(0).filter, std::string("Text Files (*.txt)|*.txt||"));
  }

  // The MIF confirmation's "Clear change bars" box: there, off at first,
  // stored when OK is pressed, offered as stored in the next run, and what
  // decides whether a document with change bars converts.
  void clearChangeBarsBoxOnTheMifConfirmation() {
    std::string mif = ReadText(MORVANE_SOURCE_DIR "/samples/sample.mif");
    const std::string sample = mif;
    for (const std::string statement : {"<FChangeBar ", "<DAutoChBars "}) {
      const std::size_t at = mif.find(statement + "No>");
      QVERIFY(at != std::string::npos);
      mif.replace(at, statement.size() + 3, statement + "Yes>");
    }
    std::ofstream(m_src + "bars.mif", std::ios::binary) << mif;
    QVERIFY(!Stored("OPTIONS", "CLEAR_CHANGE_BARS"));

    const struct {
      bool offered, ticked;
    } runs[] = {{false, false}, {false, true}, {true, true}, {true, false}};
    for (const auto& run : runs) {
      for (const std::string& folder : {m_org, m_out}) {
        fs::remove_all(folder);
        fs::create_directories(folder);
      }
      RealConfirmation dialogs;
      dialogs.files.push_back({m_src, {m_src + "bars.mif"}});
      dialogs.answers = {Platform::IDOK, Platform::IDNO};  // summary, ancillary question
      int boxes = -1;
      QString label;
      bool offered = !run.offered;
      dialogs.use = [&](ConfirmDialog& dialog) {
        boxes = dialog.CheckCount();
        if (boxes < 1) return;
        label = dialog.Check(0)->text();
        offered = dialog.Check(0)->isChecked();
        dialog.Field(0)->setText(QString::fromStdString(m_org));
        dialog.Field(1)->setText(QString::fromStdString(m_out));
        if (dialog.Check(0)->isChecked() != run.ticked) dialog.Check(0)->click();
      };
      Program program(dialogs);
      BatchPage* page = program.window->Page(BatchKind::ConvertMIF);
      QTest::mouseClick(page->StartButton(), Qt::LeftButton);
      QCOMPARE(boxes, 1);
      QCOMPARE(label, QStringLiteral("Clear change bars (convert from a copy with change bars switched off)"));
      QCOMPARE(offered, run.offered);
      auto stored = Stored("OPTIONS", "CLEAR_CHANGE_BARS");
      QVERIFY(stored && std::holds_alternative<std::uint32_t>(*stored));
      QCOMPARE(std::get<std::uint32_t>(*stored), run.ticked ? 1u : 0u);

      const std::vector<std::string> lines = page->ResultLines();
      const std::string copy = m_org + "change-bars-off/bars.mif";
      QCOMPARE(fs::exists(m_org + "bars.org"), run.ticked);
      QCOMPARE(dialogs.boxes.at(0).text, ccs_FormatKernelString(run.ticked ? 5061 : 5041));
      // This run's lines: the last file converted, after the copy's lines.
      int last = -1;
      for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (lines[i].rfind("Converting ", 0) == 0) last = i;
      }
      QVERIFY(last >= 2);
      QCOMPARE(lines[last], "Converting " + (run.ticked ? copy : m_src + "bars.mif"));
      if (run.ticked) {
        QCOMPARE(lines[last - 1], "  " + copy);
        QCOMPARE(lines[last - 2], "Change bars switched off (2 statements) in a copy of " + m_src + "bars.mif:");
        QCOMPARE(ReadText(copy), sample);
      }
      program.Exit();
    }
  }

  void confirmAndReportDialogs() {
    ScriptedDialogs dialogs;
    brannock::ConfirmRequest request;
    request.title = "Confirm";
    request.items = {{"line", false, {}}, {"browse", true, m_src}};
    request.validate = [&](const std::vector<std::string>& v) -> std::optional<brannock::Refusal> {
      if (v[0] == m_src) return brannock::Refusal{0, "refused"};
      return std::nullopt;
    };
    ConfirmDialog confirm(request, dialogs, kApp, nullptr);
    confirm.accept();
    QCOMPARE(confirm.result(), int(QDialog::Rejected));  // still open
    QCOMPARE(dialogs.BoxTexts(), std::vector<std::string>{"refused"});
    confirm.Field(0)->setText(QString::fromStdString(m_org));
    confirm.accept();
    QCOMPARE(confirm.result(), int(QDialog::Accepted));
    QCOMPARE(request.items[1].value, m_org);

    std::vector<bool> none(45, false);
    ReportDialog report(none, dialogs, nullptr);
    QCOMPARE(report.List()->count(), 45);
    QCOMPARE(report.List()->item(44)->text(), QStringLiteral("<ss> Sort String"));
    QCOMPARE(report.Flags(), none);
    QTest::mouseClick(report.ResetButton(), Qt::LeftButton);
    QCOMPARE(report.Flags(), brannock::DefaultReportFlags());
  }
};

QTEST_MAIN(BrannockWindowTest)
#include "BrannockWindowTest.moc"
