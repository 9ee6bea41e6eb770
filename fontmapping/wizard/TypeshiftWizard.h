// The Typeshift wizard: selection, loading and mapping pages over the font
// mapping logic. Every question and file dialog goes through
// CQ_TypeshiftDialogs, so tests answer them without a user.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "fontmapping/logic/TypeshiftRun.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace typeshift {

// Buttons of a message box, and the answers.
enum class et_Buttons { Ok, YesNo };
enum class et_Answer { Ok, Yes, No, Cancel, Append, Replace };

class CQ_TypeshiftDialogs : public CQ_TypeshiftQuestions {
 public:
  virtual et_Answer et_Message(const std::string& text, const std::string& caption, et_Buttons buttons) = 0;
  // "&Append", "&Replace" or "Cancel".
  virtual et_Answer et_AppendOrReplace() = 0;
  // Multi-select open dialog; false when cancelled.
  virtual bool b_ChooseFiles(const std::string& title, const std::string& filter, std::vector<std::string>& files) = 0;
  virtual bool b_ChooseDirectory(const std::string& title, std::string& dir) = 0;
  virtual bool b_ChooseSaveFile(const std::string& title, const std::string& filter, std::string& path) = 0;
  virtual bool b_ChooseOpenFile(const std::string& title, const std::string& filter, std::string& path) = 0;
  // The multiple-change dialog: picks original values and one new font.
  virtual bool b_MultipleChange(const std::string& title, const std::vector<std::string>& originals,
                                const std::vector<std::string>& fonts, std::vector<std::string>& chosen,
                                std::string& newFont) = 0;
  // Shows the help text of a page (a topic of qs_HelpText).
  virtual void v_ShowHelp(const std::string& topic) = 0;
  void v_Message(const std::string& text, const std::string& caption) override {
    et_Message(text, caption, et_Buttons::Ok);
  }
};

// The HTML help text of a topic, compiled into the program; empty for an
// unknown topic.
QString qs_HelpText(const std::string& topic);

// The real dialogs (Qt message boxes and file dialogs).
class CQ_QtTypeshiftDialogs : public CQ_TypeshiftDialogs {
 public:
  explicit CQ_QtTypeshiftDialogs(QWidget* parent = nullptr) : m_pParent(parent) {}
  void v_SetParent(QWidget* parent) { m_pParent = parent; }
  et_Answer et_Message(const std::string& text, const std::string& caption, et_Buttons buttons) override;
  et_Answer et_AppendOrReplace() override;
  bool b_ChooseFiles(const std::string& title, const std::string& filter, std::vector<std::string>& files) override;
  bool b_ChooseDirectory(const std::string& title, std::string& dir) override;
  bool b_ChooseSaveFile(const std::string& title, const std::string& filter, std::string& path) override;
  bool b_ChooseOpenFile(const std::string& title, const std::string& filter, std::string& path) override;
  bool b_MultipleChange(const std::string& title, const std::vector<std::string>& originals,
                        const std::vector<std::string>& fonts, std::vector<std::string>& chosen,
                        std::string& newFont) override;
  et_Overwrite et_AskOverwrite(const std::string& path) override;
  void v_ShowHelp(const std::string& topic) override;

 private:
  QWidget* m_pParent;
};

class CQ_TypeshiftWizard : public QWidget {
  Q_OBJECT
 public:
  explicit CQ_TypeshiftWizard(CQ_TypeshiftDialogs& dialogs, QWidget* parent = nullptr);
  ~CQ_TypeshiftWizard() override;

  // Page widgets and controls, for tests and screenshots.
  QStackedWidget* pco_Pages() const { return m_pPages; }
  QLineEdit* pco_Translated() const { return m_pTranslated; }
  QLineEdit* pco_Fonts() const { return m_pFonts; }
  QLineEdit* pco_Output() const { return m_pOutput; }
  QPushButton* pco_Next() const { return m_pNext; }
  QPushButton* pco_BrowseTranslated() const { return m_pBrowseTranslated; }
  QPushButton* pco_Start() const { return m_pStart; }
  QPushButton* pco_Stop() const { return m_pStop; }
  QPushButton* pco_SaveLog() const { return m_pSaveLog; }
  QPushButton* pco_LoadingNext() const { return m_pLoadingNext; }
  QListWidget* pco_Log() const { return m_pLog; }
  QTreeWidget* pco_List() const { return m_pList; }
  QComboBox* pco_FontName() const { return m_pFontName; }
  QComboBox* pco_FontSize() const { return m_pFontSize; }
  QCheckBox* pco_Bold() const { return m_pBold; }
  QCheckBox* pco_Italic() const { return m_pItalic; }
  QPushButton* pco_ByFormat() const { return m_pByFormat; }
  QPushButton* pco_ByFont() const { return m_pByFont; }
  QPushButton* pco_ShowFiles() const { return m_pShowFiles; }
  QPushButton* pco_MapLoad() const { return m_pMapLoad; }
  QPushButton* pco_MapSave() const { return m_pMapSave; }
  QPushButton* pco_Run() const { return m_pRun; }
  QPushButton* pco_MappingBack() const { return m_pMappingBack; }
  QProgressBar* pco_FileBar() const { return m_pFileBar; }
  QProgressBar* pco_TotalBar() const { return m_pTotalBar; }
  QLabel* pco_FilePercent() const { return m_pFilePercent; }
  QLabel* pco_TotalPercent() const { return m_pTotalPercent; }
  QPushButton* pco_Help(int page) const { return m_apHelp[page]; }
  CQ_Typeshift& rco_Logic() { return *m_pLogic; }

  // The size entry: true when accepted (added to the size list and the
  // selected rows).
  bool b_EnterSize(const QString& size);

  static const char* const kSettingsKey;
  // The help topic of a page (0 selection, 1 loading, 2 mapping).
  static const char* HelpTopic(int page);

 private:
  QWidget* pco_BuildSelectionPage();
  QWidget* pco_BuildLoadingPage();
  QWidget* pco_BuildMappingPage();
  void v_Browse(QLineEdit* field, const char* title, const char* filter);
  void v_SelectionNext();
  void v_Start();
  void v_FillMappingPage();
  void v_RefreshRow(int row);
  void v_ShowRowValues();
  void v_ApplyToSelection(int column, const std::string& value);
  void v_MultipleChange(bool byFormat);
  void v_ShowFilenames();
  void v_LoadMap();
  void v_SaveMap();
  void v_Run();
  void v_MappingBack();
  void v_Pump();

  CQ_TypeshiftDialogs& m_rDialogs;
  std::unique_ptr<CQ_Typeshift> m_pLogic;
  bool m_bStopped = false;
  bool m_bLoading = false;
  QStackedWidget* m_pPages;
  QLineEdit *m_pTranslated, *m_pFonts, *m_pOutput;
  QPushButton *m_pNext, *m_pBrowseTranslated, *m_pBrowseFonts, *m_pBrowseOutput, *m_pClear;
  QPushButton *m_pStart, *m_pStop, *m_pSaveLog, *m_pLoadingNext, *m_pLoadingBack;
  QListWidget* m_pLog;
  QTreeWidget* m_pList;
  QComboBox *m_pFontName, *m_pFontSize;
  QCheckBox *m_pBold, *m_pItalic;
  QPushButton *m_pByFormat, *m_pByFont, *m_pShowFiles, *m_pMapLoad, *m_pMapSave, *m_pRun, *m_pMappingBack;
  QProgressBar *m_pFileBar, *m_pTotalBar;
  QLabel *m_pFilePercent, *m_pTotalPercent;
  QPushButton* m_apHelp[3] = {};
};

}  // namespace typeshift
