// The Typeshift wizard through its real widgets under the offscreen
// platform: answers come from a scripted dialogs seam, the settings store is
// a temporary file. With TYPESHIFT_SCREENSHOTS=DIR each page is saved as a
// picture.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "System/Platform/Registry.h"
#include "fontmapping/wizard/TypeshiftWizard.h"

using namespace typeshift;
namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(MORVANE_TEST_DATA_DIR) + "/typeshift/";
const std::string kHonbun = "\x96\x7b\x95\xb6";  // "本文" in Shift-JIS

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ScriptedDialogs : public CQ_TypeshiftDialogs {
 public:
  std::vector<std::string> messages;  // "caption|text"
  std::deque<et_Answer> answers;      // for YesNo and Append/Replace questions
  std::deque<std::vector<std::string>> files;
  std::deque<std::string> paths;      // directories, save and open names
  std::vector<std::string> chosen;    // multiple change: originals
  std::string newFont;
  std::vector<std::string> offeredOriginals;
  std::string multipleTitle;
  std::deque<et_Overwrite> overwrite;
  std::vector<std::string> askedOverwrite;
  std::vector<std::string> helpTopics;
  std::function<void()> onMessage;  // runs while a message box would be open

  et_Answer et_Message(const std::string& text, const std::string& caption, et_Buttons buttons) override {
    messages.push_back(caption + "|" + text);
    if (onMessage) onMessage();
    if (buttons == et_Buttons::Ok) return et_Answer::Ok;
    return Pop(answers, et_Answer::No);
  }
  et_Answer et_AppendOrReplace() override { return Pop(answers, et_Answer::Cancel); }
  bool b_ChooseFiles(const std::string&, const std::string&, std::vector<std::string>& out) override {
    if (files.empty()) return false;
    out = Pop(files, {});
    return true;
  }
  bool b_ChooseDirectory(const std::string&, std::string& dir) override { return PopPath(dir); }
  bool b_ChooseSaveFile(const std::string&, const std::string&, std::string& path) override { return PopPath(path); }
  bool b_ChooseOpenFile(const std::string&, const std::string&, std::string& path) override { return PopPath(path); }
  bool b_MultipleChange(const std::string& title, const std::vector<std::string>& originals,
                        const std::vector<std::string>&, std::vector<std::string>& out, std::string& font) override {
    multipleTitle = title;
    offeredOriginals = originals;
    out = chosen;
    font = newFont;
    return true;
  }
  et_Overwrite et_AskOverwrite(const std::string& path) override {
    askedOverwrite.push_back(path);
    return Pop(overwrite, et_Overwrite::No);
  }
  void v_ShowHelp(const std::string& topic) override { helpTopics.push_back(topic); }
  std::string Last() const { return messages.empty() ? "" : messages.back(); }

 private:
  template <class T>
  static T Pop(std::deque<T>& q, T def) {
    if (q.empty()) return def;
    T v = q.front();
    q.pop_front();
    return v;
  }
  bool PopPath(std::string& p) {
    if (paths.empty()) return false;
    p = Pop(paths, std::string());
    return true;
  }
};

void Shot(QWidget& w, const char* name) {
  const char* dir = std::getenv("TYPESHIFT_SCREENSHOTS");
  if (!dir) return;
  w.grab().save(QString::fromStdString(std::string(dir) + "/" + name));
}

}  // namespace

class TypeshiftWizardTest : public QObject {
  Q_OBJECT

 private:
  fs::path m_dir;
  void Copy(const std::string& fixture, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(kData + fixture, to, fs::copy_options::overwrite_existing);
  }
  std::string P(const std::string& rel) const { return (m_dir / rel).string(); }

  // A wizard on the mapping page over the Japanese fixture and its font file.
  void LoadJapanese(CQ_TypeshiftWizard& w) {
    w.pco_Translated()->setText(QString::fromStdString(P("in/ja55.mif")));
    w.pco_Fonts()->setText(QString::fromStdString(P("fonts/ja55-fonts.mif")));
    w.pco_Output()->setText(QString::fromStdString(P("out")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 1);
    QTest::mouseClick(w.pco_Start(), Qt::LeftButton);
    QVERIFY(w.pco_LoadingNext()->isEnabled());
    QTest::mouseClick(w.pco_LoadingNext(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 2);
  }

 private slots:
  void init() {
    m_dir = fs::temp_directory_path() / ("tswiz_" + std::to_string(QCoreApplication::applicationPid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir / "out");
    Copy("ja55.mif", P("in/ja55.mif"));
    Copy("ja55-fonts.mif", P("fonts/ja55-fonts.mif"));
    Copy("w50.mif", P("in5/a.mif"));
    Copy("w50.mif", P("in5/b.mif"));
    Copy("w50.mif", P("in5/c.mif"));
    Platform::Registry::SetStoreFile(P("store.reg"));
  }
  void cleanup() {
    Platform::Registry::SetStoreFile("");
    fs::remove_all(m_dir);
  }

  void selectionValidationsInOrder() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    QVERIFY(w.pco_Translated()->text().isEmpty());
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(d.Last(), std::string("Error|Please select translated files."));
    w.pco_Translated()->setText(QString::fromStdString(P("in/ja55.mif")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(d.Last(), std::string("Error|Please select font files."));
    w.pco_Fonts()->setText(QString::fromStdString(P("fonts/ja55-fonts.mif")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(d.Last(), std::string("Error|Please select output files directory."));
    w.pco_Output()->setText(QString::fromStdString(P("in")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(d.Last(), std::string("Error|Output files can't be created in the same directory as the translated files or the font files."));
    QCOMPARE(w.pco_Pages()->currentIndex(), 0);
    Shot(w, "typeshift-selection.png");

    // Browse: a second pick asks Append or Replace.
    d.files.push_back({P("in5/a.mif")});
    d.answers.push_back(et_Answer::Append);
    QTest::mouseClick(w.pco_BrowseTranslated(), Qt::LeftButton);
    QCOMPARE(w.pco_Translated()->text().toStdString(), P("in/ja55.mif") + ";" + P("in5/a.mif") + ";");
    d.files.push_back({P("in/ja55.mif")});
    d.answers.push_back(et_Answer::Replace);
    QTest::mouseClick(w.pco_BrowseTranslated(), Qt::LeftButton);
    QCOMPARE(w.pco_Translated()->text().toStdString(), P("in/ja55.mif") + ";");

    w.pco_Output()->setText(QString::fromStdString(P("out")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 1);
    QCOMPARE(w.pco_Fonts()->text().toStdString(), P("fonts/ja55-fonts.mif") + ";");
    // The choices are kept for the next start.
    CQ_TypeshiftWizard again(d);
    QCOMPARE(again.pco_Translated()->text().toStdString(), P("in/ja55.mif") + ";");
    QCOMPARE(again.pco_Output()->text().toStdString(), P("out"));
  }

  void loadingStopsMidway() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    w.pco_Translated()->setText(QString::fromStdString(P("in5/a.mif") + ";" + P("in5/b.mif") + ";" + P("in5/c.mif")));
    w.pco_Fonts()->setText(QString::fromStdString(P("in5/a.mif")));
    w.pco_Output()->setText(QString::fromStdString(P("out")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 1);
    // Stop is pressed while the first file loads (the load runs the event loop).
    QTimer::singleShot(0, w.pco_Stop(), [&w] {
      QVERIFY(w.pco_Stop()->isEnabled());
      QTest::mouseClick(w.pco_Stop(), Qt::LeftButton);
    });
    QTest::mouseClick(w.pco_Start(), Qt::LeftButton);
    QCOMPARE(w.rco_Logic().rco_TranslatedLists().size(), std::size_t(1));
    QStringList log;
    for (int i = 0; i < w.pco_Log()->count(); ++i) log << w.pco_Log()->item(i)->text();
    QVERIFY(log.contains("*************** PROCESS STOPPED ***************"));
    QVERIFY(!w.pco_LoadingNext()->isEnabled());
    QVERIFY(w.pco_Start()->isEnabled());
    // Started again without Stop: everything loads.
    QTest::mouseClick(w.pco_Start(), Qt::LeftButton);
    QCOMPARE(w.rco_Logic().rco_TranslatedLists().size(), std::size_t(3));
    QVERIFY(w.pco_LoadingNext()->isEnabled());
    QCOMPARE(w.pco_Log()->item(0)->text(),
             QString("------------------------- Loading Translated Files ------------------------"));
    Shot(w, "typeshift-loading.png");
    d.paths.push_back(P("out/log.txt"));
    QTest::mouseClick(w.pco_SaveLog(), Qt::LeftButton);
    QVERIFY(Read(P("out/log.txt")).find("Processing: " + P("in5/b.mif") + "\r\n") != std::string::npos);
  }

  void mappingMultipleChangeSizesAndFontMap() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    LoadJapanese(w);
    QTreeWidget* list = w.pco_List();
    QCOMPARE(list->columnCount(), 10);
    const char* titles[] = {"Type", "Format", "Current Font", "Size", "Bold", "Italic", "New Font", "Size", "Bold", "Italic"};
    for (int c = 0; c < 10; ++c) QCOMPARE(list->headerItem()->text(c), QString(titles[c]));
    QVERIFY(list->columnWidth(1) > list->columnWidth(3));
    QCOMPARE(list->topLevelItemCount(), 8);
    QCOMPARE(list->topLevelItem(0)->text(1), QString::fromUtf8("本文"));
    QCOMPARE(w.pco_FontName()->count(), 4);  // two combined fonts, two families

    // Multiple change by format: both 本文 rows get the combined font and keep their sizes.
    // The dialog offers the names as the list shows them.
    d.chosen = {"\xE6\x9C\xAC\xE6\x96\x87"};
    d.newFont = "Mincho-Times";
    QTest::mouseClick(w.pco_ByFormat(), Qt::LeftButton);
    QCOMPARE(d.multipleTitle, std::string("Multiple Changes By Format"));
    QCOMPARE(d.offeredOriginals.size(), std::size_t(5));
    int changed = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = list->topLevelItem(i);
      if (item->text(1) != QString::fromUtf8("本文")) {
        QVERIFY(item->text(6).isEmpty());
        continue;
      }
      ++changed;
      QVERIFY(item->isSelected());
      QCOMPARE(item->text(6), QString("Mincho-Times"));
      QCOMPARE(item->text(7), item->text(3));
      QCOMPARE(item->text(8), item->text(4));
    }
    QCOMPARE(changed, 2);

    // Size entry rule.
    for (const char* bad : {"12a", "500"}) {
      d.messages.clear();
      QVERIFY(!w.b_EnterSize(bad));
      QCOMPARE(d.Last(), std::string("Error|Please enter a numeric value between 2.00 and 400.00."));
    }
    QVERIFY(w.b_EnterSize("2"));
    QVERIFY(w.b_EnterSize("400.00"));
    QVERIFY(w.pco_FontSize()->findText("400.00") >= 0);
    QCOMPARE(list->topLevelItem(0)->text(7), QString("400.00"));
    w.pco_Bold()->click();
    QCOMPARE(list->topLevelItem(0)->text(8), QString("Bold"));

    // Show Filenames for the current row.
    list->setCurrentItem(list->topLevelItem(0));
    QTest::mouseClick(w.pco_ShowFiles(), Qt::LeftButton);
    QCOMPARE(d.Last(), "Show Filenames|Format appears in the following files\n\n" + P("in/ja55.mif"));
    Shot(w, "typeshift-mapping.png");

    // Save As, lose the mappings by going back, load the map again.
    d.paths.push_back(P("out/map.txt"));
    QTest::mouseClick(w.pco_MapSave(), Qt::LeftButton);
    const std::string map = Read(P("out/map.txt"));
    QVERIFY(map.rfind("Halvex Typeshift for FrameMaker 1.00;\r\n", 0) == 0);
    QVERIFY(map.find(";Mincho-Times;400.00;Bold;Regular;CTextPieceText;\n<CombinedFontDefn") != std::string::npos);
    d.answers.push_back(et_Answer::No);
    QTest::mouseClick(w.pco_MappingBack(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 2);
    QCOMPARE(d.Last(), std::string("Warning.|Any font mappings in the list will be lost.\n\rAre you sure you want to go back?"));
    d.answers.push_back(et_Answer::Yes);
    QTest::mouseClick(w.pco_MappingBack(), Qt::LeftButton);
    QCOMPARE(w.pco_Pages()->currentIndex(), 1);
    QTest::mouseClick(w.pco_LoadingNext(), Qt::LeftButton);
    QVERIFY(list->topLevelItem(0)->text(6).isEmpty());
    d.paths.push_back(P("out/map.txt"));
    QTest::mouseClick(w.pco_MapLoad(), Qt::LeftButton);
    QCOMPARE(list->topLevelItem(0)->text(6), QString("Mincho-Times"));
    QCOMPARE(list->topLevelItem(0)->text(7), QString("400.00"));
    // A file that is no font map is refused.
    std::ofstream(P("out/bad.txt")) << "something else\r\n";
    d.paths.push_back(P("out/bad.txt"));
    QTest::mouseClick(w.pco_MapLoad(), Qt::LeftButton);
    QCOMPARE(d.Last(), std::string("Error|This is not a valid font map file."));

    // Run: the mapped file names the combined font. While "Finished
    // processing." is shown both bars stand at 100%; afterwards at 0%.
    QStringList barsAtEnd;
    d.onMessage = [&] {
      barsAtEnd << w.pco_FilePercent()->text() << w.pco_TotalPercent()->text()
                << QString::number(w.pco_TotalBar()->value());
    };
    QTest::mouseClick(w.pco_Run(), Qt::LeftButton);
    d.onMessage = nullptr;
    QCOMPARE(barsAtEnd, QStringList({"100%", "100%", "100"}));
    QCOMPARE(w.pco_FilePercent()->text(), QString("0%"));
    QCOMPARE(w.pco_TotalPercent()->text(), QString("0%"));
    QCOMPARE(d.Last(), std::string("Halvex Typeshift for FrameMaker|Finished processing."));
    const std::string out = Read(P("out/ja55.mif"));
    QVERIFY(out.find("<FCombinedFontName `Mincho-Times'>") != std::string::npos);
    QCOMPARE(w.pco_TotalBar()->value(), 0);
  }

  // Selecting a row shows its values in the controls: the new ones where
  // set, else the current ones; changing a control sets the new value.
  void mappingControlsShowSelectedRow() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    LoadJapanese(w);
    QTreeWidget* list = w.pco_List();
    QComboBox* name = w.pco_FontName();
    int regular = -1, other = -1;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = list->topLevelItem(i);
      if (item->text(4) == "Regular" && item->text(5) == "Regular" && !item->text(3).isEmpty()) {
        (regular < 0 ? regular : other) = i;
      }
      if (other >= 0) break;
    }
    QVERIFY(regular >= 0 && other >= 0);
    list->setCurrentItem(list->topLevelItem(regular));
    QCOMPARE(w.pco_FontSize()->currentText(), list->topLevelItem(regular)->text(3));
    QVERIFY(!w.pco_Bold()->isChecked());
    QVERIFY(!w.pco_Italic()->isChecked());
    const QString current = QString::fromStdString(w.rco_Logic().vec_Rows[regular].acs_Cells[2]);
    QCOMPARE(name->currentIndex(), name->findData(current));

    // New values through the controls.
    const int mincho = name->findData("Mincho-Times");
    QVERIFY(mincho >= 0);
    name->setCurrentIndex(mincho);
    emit name->activated(mincho);
    QVERIFY(w.b_EnterSize("14.5"));
    w.pco_Bold()->click();
    w.pco_Italic()->click();
    QTreeWidgetItem* changed = list->topLevelItem(regular);
    QCOMPARE(changed->text(6), QString("Mincho-Times"));
    QCOMPARE(changed->text(7), QString("14.5"));
    QCOMPARE(changed->text(8), QString("Bold"));
    QCOMPARE(changed->text(9), QString("Italic"));

    // Another row shows its own (current) values, the first its new ones.
    list->setCurrentItem(list->topLevelItem(other));
    QCOMPARE(w.pco_FontSize()->currentText(), list->topLevelItem(other)->text(3));
    QVERIFY(!w.pco_Bold()->isChecked());
    QVERIFY(!w.pco_Italic()->isChecked());
    QVERIFY(name->currentIndex() != mincho);
    list->setCurrentItem(list->topLevelItem(regular));
    QCOMPARE(name->currentIndex(), mincho);
    QCOMPARE(w.pco_FontSize()->currentText(), QString("14.5"));
    QVERIFY(w.pco_Bold()->isChecked());
    QVERIFY(w.pco_Italic()->isChecked());
    // Showing the values changed no row.
    QVERIFY(list->topLevelItem(other)->text(6).isEmpty());
    QVERIFY(list->topLevelItem(other)->text(7).isEmpty());

    // Unticking Bold on the selected row sets "Regular"; without a selection
    // the controls are empty.
    w.pco_Bold()->click();
    QCOMPARE(changed->text(8), QString("Regular"));
    list->clearSelection();
    QCOMPARE(name->currentIndex(), -1);
    QVERIFY(w.pco_FontSize()->currentText().isEmpty());
    QVERIFY(!w.pco_Italic()->isChecked());
  }

  // Each page's Help button opens that page's own help text.
  void helpOnEveryPage() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    QTest::mouseClick(w.pco_Help(0), Qt::LeftButton);
    LoadJapanese(w);
    QTest::mouseClick(w.pco_Help(2), Qt::LeftButton);
    w.pco_Pages()->setCurrentIndex(1);
    QTest::mouseClick(w.pco_Help(1), Qt::LeftButton);
    QCOMPARE(d.helpTopics, std::vector<std::string>({"typeshift-selection", "typeshift-mapping", "typeshift-loading"}));
    const char* expected[3] = {"Output Files Directory", "Stop", "Show Filenames"};
    std::set<QString> texts;
    for (int page = 0; page < 3; ++page) {
      const QString text = qs_HelpText(CQ_TypeshiftWizard::HelpTopic(page));
      QVERIFY2(text.contains(expected[page]), CQ_TypeshiftWizard::HelpTopic(page));
      texts.insert(text);
    }
    QCOMPARE(texts.size(), std::size_t(3));
    QVERIFY(qs_HelpText("no-such-topic").isEmpty());
    QVERIFY(d.messages.empty());
  }

  void runWithNoToAll() {
    ScriptedDialogs d;
    CQ_TypeshiftWizard w(d);
    w.show();
    w.pco_Translated()->setText(QString::fromStdString(P("in5/a.mif") + ";" + P("in5/b.mif")));
    w.pco_Fonts()->setText(QString::fromStdString(P("in5/c.mif")));
    w.pco_Output()->setText(QString::fromStdString(P("out")));
    QTest::mouseClick(w.pco_Next(), Qt::LeftButton);
    QTest::mouseClick(w.pco_Start(), Qt::LeftButton);
    QTest::mouseClick(w.pco_LoadingNext(), Qt::LeftButton);
    d.chosen = {"Times"};
    d.newFont = "Helvetica";
    QTest::mouseClick(w.pco_ByFont(), Qt::LeftButton);
    QCOMPARE(d.multipleTitle, std::string("Multiple Changes By Font"));
    std::ofstream(P("out/a.mif")) << "old a";
    std::ofstream(P("out/b.mif")) << "old b";
    d.overwrite.push_back(et_Overwrite::NoToAll);
    QTest::mouseClick(w.pco_Run(), Qt::LeftButton);
    QCOMPARE(d.askedOverwrite.size(), std::size_t(1));
    QCOMPARE(Read(P("out/a.mif")), std::string("old a"));
    QCOMPARE(Read(P("out/b.mif")), std::string("old b"));
    QCOMPARE(d.Last(), std::string("Halvex Typeshift for FrameMaker|Finished processing."));
    // Yes to all writes both.
    d.askedOverwrite.clear();
    d.overwrite.push_back(et_Overwrite::YesToAll);
    QTest::mouseClick(w.pco_Run(), Qt::LeftButton);
    QCOMPARE(d.askedOverwrite.size(), std::size_t(1));
    QVERIFY(Read(P("out/b.mif")).find("<FFamily `Helvetica'>") != std::string::npos);
    // "&No" leaves one file, "&Yes" overwrites the next.
    std::ofstream(P("out/a.mif")) << "old a";
    std::ofstream(P("out/b.mif")) << "old b";
    d.askedOverwrite.clear();
    d.overwrite = {et_Overwrite::No, et_Overwrite::Yes};
    QTest::mouseClick(w.pco_Run(), Qt::LeftButton);
    QCOMPARE(d.askedOverwrite, std::vector<std::string>({P("out/a.mif"), P("out/b.mif")}));
    QCOMPARE(Read(P("out/a.mif")), std::string("old a"));
    QVERIFY(Read(P("out/b.mif")).find("<FFamily `Helvetica'>") != std::string::npos);
  }
};

QTEST_MAIN(TypeshiftWizardTest)
#include "TypeshiftWizardTest.moc"
