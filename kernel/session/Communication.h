// The session object: the one object through which every client of the
// kernel works.
//
// A session holds the settings of a conversion (paths, output format,
// languages and code pages, options), the state of the running batch
// (current file, progress counters, cancel flag, task), the results queue
// and error list the front end reads, the ancillary lines collected during
// a batch and the verifier's tag map. Converters receive the session, read
// their settings from it and report through it.
//
// A session created with the GUI flag set persists its settings in the
// per-user settings store, notifies its UI window and asks questions; one
// created with the flag clear does none of that and always overwrites.
// Sessions are used from one thread.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "System/Export.h"
#include "System/Platform/FileException.h"
#include "System/Platform/WindowServices.h"
#include "kernel/session/ErrorMessage.h"
#include "kernel/session/ExtStringList.h"
#include "kernel/session/TagMap.h"

using HWND = Platform::HWND;

// Version of the KWX format in hand. 0: none; 2: the version this program
// writes ("F3.00"). Other values are given by the KWX reader.
enum EKWXVERSION : int {
  KWX_VERSION_NONE = 0,
  KWX_VERSION_F300 = 2,
};

// The kinds of task a session runs.
enum : int {
  TASK_MIF_TO_KWX = 0,
  TASK_KWX_TO_MIF = 2,
  TASK_VERIFY = 3,
  TASK_NONE = 4,
};


// The settings a forward run depends on that a KWX file's header records:
// the character set (0 Normal, 1 Symbol) and the source hyphenation (0
// "Turn Off", 1 "Keep"). Forward conversion takes them from the session;
// back conversion runs the forward conversion of the ORG copy, and checks
// the ancillary file, with those of the translated file's header, and
// leaves the session's own settings untouched.
struct st_ForwardRunSettings {
  int i_CharacterSet = 0;
  int i_SourceHyphenation = 0;
};

// Follows a batch in a session without a UI window (a command line): it is
// told of every progress step and of lines waiting in the results queue,
// as a front end's window would be. It must not call back into the batch
// except to drain the results queue or set the cancel flag.
class OSTRAKON_API CQ_Morvane_Observer {
 public:
  virtual ~CQ_Morvane_Observer();
  // batchOnly: a step of the batch bar alone (the rest of a file's share).
  virtual void v_ProgressStep(bool batchOnly) = 0;
  virtual void v_ResultsWaiting() = 0;
  // A named stage of a file's conversion has ended (back conversion names
  // its stages); for measurements, nothing needs it.
  virtual void v_StageEnded(const char* /*stage*/) {}
};

class OSTRAKON_API CQ_Morvane_Communication {
 public:
  CQ_Morvane_Communication(const char* appName, const char* version, bool gui);
  virtual ~CQ_Morvane_Communication();

  CQ_Morvane_Communication(const CQ_Morvane_Communication&) = delete;
  CQ_Morvane_Communication& operator=(const CQ_Morvane_Communication&) = delete;

  // --- virtual operations, in slot order --------------------------------
 protected:
  // Compares the current source and translated KWX files; returns the
  // per-file result code.
  virtual int vi_CompareKWXFiles() = 0;

 public:
  // Builds the verifier's tag map from the report options (flag i stands
  // for message type i of the report list).
  virtual void vv_CreateTagMap(const std::vector<bool>* flags) = 0;
  virtual void vv_RestoreSettingsDefaults() = 0;
  virtual void vv_RestorePathsDefaults() = 0;

 protected:
  virtual void vv_WriteSettingsToRegistry() = 0;
  virtual void vv_GetSettingsFromRegistry() = 0;

 public:
  virtual void vv_WritePage4ToRegistry() = 0;
  virtual void vv_WritePage5ToRegistry() = 0;
  virtual void vv_GetPage4FromRegistry() = 0;
  virtual void vv_GetPage5FromRegistry() = 0;

  // --- construction and reset --------------------------------------------
  // Returns the session to its constructed state.
  virtual void v_Set();
  // Called before each batch.
  void v_ResetBatch();
  // Empties the current file name and extension and the verification
  // counters.
  void v_ResetFile();

  // --- accessors -----------------------------------------------------------
  std::string ccs_GetAppName() const { return m_strAppName; }
  std::string ccs_GetVersion() const { return m_strVersion; }

  const char* lpsz_GetCurrentFileName() const { return m_strCurrentFileName.c_str(); }
  void v_SetCurrentFileName(const char* s) { m_strCurrentFileName = s ? s : ""; }
  const char* lpsz_GetCurrentFileExtension() const { return m_strCurrentFileExtension.c_str(); }
  void v_SetCurrentFileExtension(const char* s) { m_strCurrentFileExtension = s ? s : ""; }
  const char* lpsz_GetSourceFilesPath() const { return m_strSourceFilesPath.c_str(); }
  void v_SetSourceFilesPath(const char* s) { m_strSourceFilesPath = s ? s : ""; }
  const char* lpsz_GetORGFilesPath() const { return m_strORGFilesPath.c_str(); }
  void v_SetORGFilesPath(const char* s) { m_strORGFilesPath = s ? s : ""; }
  const char* lpsz_GetTranslatedFilesPath() const { return m_strTranslatedFilesPath.c_str(); }
  void v_SetTranslatedFilesPath(const char* s) { m_strTranslatedFilesPath = s ? s : ""; }

  unsigned n_GetMsgUpdateProgress() const { return m_nMsgUpdateProgress; }
  void v_SetMsgUpdateProgress(unsigned n) { m_nMsgUpdateProgress = n; }
  unsigned n_GetMsgUpdateResults() const { return m_nMsgUpdateResults; }
  void v_SetMsgUpdateResults(unsigned n) { m_nMsgUpdateResults = n; }

  bool b_GetBetweenSessions() const { return m_bBetweenSessions; }
  void v_SetBetweenSessions(bool b) { m_bBetweenSessions = b; }
  bool b_GetDuringSession() const { return m_bDuringSession; }
  void v_SetDuringSession(bool b) { m_bDuringSession = b; }

  int i_GetRTFPageSize() const { return m_iRTFPageSize; }
  void v_SetRTFPageSize(int i) { m_iRTFPageSize = i; }
  int i_GetOverwriteFiles() const { return m_iOverwriteFiles; }
  void v_SetOverwriteFiles(int i) { m_iOverwriteFiles = i; }
  int i_GetFileFormatForKWX() const { return m_iFileFormatForKWX; }
  void v_SetFileFormatForKWX(int i) { m_iFileFormatForKWX = i; }
  int i_GetCharacterSet() const { return m_iCharacterSet; }
  void v_SetCharacterSet(int i) { m_iCharacterSet = i; }
  int i_GetSourceHyphenation() const { return m_iSourceHyphenation; }
  void v_SetSourceHyphenation(int i) { m_iSourceHyphenation = i; }
  // The session's character set and source hyphenation, together.
  st_ForwardRunSettings st_GetForwardRunSettings() const { return {m_iCharacterSet, m_iSourceHyphenation}; }
  int i_GetTranslationHyphenation() const { return m_iTranslationHyphenation; }
  void v_SetTranslationHyphenation(int i) { m_iTranslationHyphenation = i; }
  // The highest MIF version forward conversion accepts, times ten: 55 (the
  // default) for MIF 4.0, 5.0 and 5.5 only, 70 for MIF 7.0 as well, 2020
  // for 7.0 and the Unicode versions 8.0 to 2020 as well (other values give
  // 55). Not kept between sessions: the caller asks for it per batch.
  int i_GetHighestMIFVersion() const { return m_iHighestMIFVersion; }
  void v_SetHighestMIFVersion(int i) { m_iHighestMIFVersion = i == 70 || i == 2020 ? i : 55; }
  int i_GetMarkerPlaceholders() const { return m_iMarkerPlaceholders; }
  void v_SetMarkerPlaceholders(int i) { m_iMarkerPlaceholders = i; }
  int i_GetSmartQuotes() const { return m_iSmartQuotes; }
  void v_SetSmartQuotes(int i) { m_iSmartQuotes = i; }
  int i_GetReadOnlyComponents() const { return m_iReadOnlyComponents; }
  void v_SetReadOnlyComponents(int i) { m_iReadOnlyComponents = i; }
  int i_GetSourceCodePage() const { return m_iSourceCodePage; }
  void v_SetSourceCodePage(int i) { m_iSourceCodePage = i; }
  int i_GetTargetCodePage() const { return m_iTargetCodePage; }
  void v_SetTargetCodePage(int i) { m_iTargetCodePage = i; }
  // The code page source text is in: the source's, 1252 while none is set.
  int i_SourceTextCodePage() const { return m_iSourceCodePage ? m_iSourceCodePage : 1252; }
  // The code page translated text is in: the target's, else the source's,
  // else 1252.
  int i_TargetTextCodePage() const { return m_iTargetCodePage ? m_iTargetCodePage : i_SourceTextCodePage(); }

  const char* lpsz_GetSourceLanguage() const { return m_strSourceLanguage.c_str(); }
  // Stores the name and derives code page and MIF language from it.
  void v_SetSourceLanguage(const char* name);
  // Derives the source side from the name; false when it is not a language
  // of the table (the previous language then stays in force).
  [[nodiscard]] bool b_SetSourceLanguage(const char* name);
  const char* lpsz_GetTargetLanguage() const { return m_strTargetLanguage.c_str(); }
  void v_SetTargetLanguage(const char* name);
  const char* lpsz_GetSourceMIFLanguage() const { return m_strSourceMIFLanguage.c_str(); }
  void v_SetSourceMIFLanguage(const char* s) { m_strSourceMIFLanguage = s ? s : ""; }
  const char* lpsz_GetTargetMIFLanguage() const { return m_strTargetMIFLanguage.c_str(); }
  void v_SetTargetMIFLanguage(const char* s) { m_strTargetMIFLanguage = s ? s : ""; }
  const char* lpsz_GetSourceMarkerLength() const { return m_strSourceMarkerLength.c_str(); }
  void v_SetSourceMarkerLength(const char* s) { m_strSourceMarkerLength = s ? s : ""; }
  const char* lpsz_GetSourceIASCIILanguage() const { return m_strSourceIASCIILanguage.c_str(); }
  void v_SetSourceIASCIILanguage(const char* s) { m_strSourceIASCIILanguage = s ? s : ""; }
  const char* lpsz_GetTargetIASCIILanguage() const { return m_strTargetIASCIILanguage.c_str(); }
  void v_SetTargetIASCIILanguage(const char* s) { m_strTargetIASCIILanguage = s ? s : ""; }

  bool b_GetGUI() const { return m_bGUI; }
  void v_SetGUI(bool b) { m_bGUI = b; }
  HWND hwnd_GetUI() const { return m_hwndUI; }
  void v_SetUI(HWND hwnd) { m_hwndUI = hwnd; }
  // The observer of a session without the GUI flag (not owned; null: none).
  void v_SetObserver(CQ_Morvane_Observer* observer) { m_pcoObserver = observer; }

  unsigned n_GetVerificationWarnings() const { return m_nVerificationWarnings; }
  void v_SetVerificationWarnings(unsigned n) { m_nVerificationWarnings = n; }
  unsigned n_GetVerificationAlerts() const { return m_nVerificationAlerts; }
  void v_SetVerificationAlerts(unsigned n) { m_nVerificationAlerts = n; }
  unsigned n_GetVerificationErrors() const { return m_nVerificationErrors; }
  void v_SetVerificationErrors(unsigned n) { m_nVerificationErrors = n; }
  unsigned n_GetVerificationSuppressions() const { return m_nVerificationSuppressions; }
  void v_SetVerificationSuppressions(unsigned n) { m_nVerificationSuppressions = n; }

  EKWXVERSION et_GetKWXVersion() const { return m_etKWXVersion; }
  void v_SetKWXVersion(EKWXVERSION v) { m_etKWXVersion = v; }

  int i_GetBatchProgressIndicator() const { return m_iBatchProgressIndicator; }
  void v_SetBatchProgressIndicator(int i) { m_iBatchProgressIndicator = i; }
  int i_GetFileProgressIndicator() const { return m_iFileProgressIndicator; }
  void v_SetFileProgressIndicator(int i) { m_iFileProgressIndicator = i; }

  bool b_GetRunningTask() const { return m_bRunningTask; }
  void v_SetRunningTask(bool b) { m_bRunningTask = b; }
  bool b_GetUserCancelled() const { return m_bUserCancelled; }
  void v_SetUserCancelled(bool b) { m_bUserCancelled = b; }

  unsigned n_GetFileDialogHelpID() const { return m_nFileDialogHelpID; }
  void v_SetFileDialogHelpID(unsigned n) { m_nFileDialogHelpID = n; }

  bool b_GetJapaneseColloquy() const { return m_bJapaneseColloquy; }
  void v_SetJapaneseColloquy(bool b) { m_bJapaneseColloquy = b; }

  int i_GetTask() const { return m_iTask; }
  // The counts of the last batch: files processed (a result was reported)
  // and files that failed. Files refused for their extension count in
  // neither.
  int i_GetBatchProcessed() const { return m_iBatchProcessed; }
  int i_GetBatchFailed() const { return m_iBatchFailed; }
  // Files of the last verification batch whose tags had errors.
  int i_GetBatchFilesWithTagErrors() const { return m_iBatchFilesWithTagErrors; }
  // Files a batch of a GUI-clear session converts or verifies at once, each
  // in a process of its own (1: one after the other, in this process).
  int i_GetParallelJobs() const { return m_iParallelJobs; }
  void v_SetParallelJobs(int n) { m_iParallelJobs = n < 1 ? 1 : n; }
  void v_SetTask(int i) { m_iTask = i; }

  CQ_TagMap* pco_GetCustomTagMap() { return &m_mapCustomTags; }
  const CQ_TagMap* pcco_GetCustomTagMap() const { return &m_mapCustomTags; }
  CAncillaryFile& rco_GetInterleafAncillaryFile() { return m_coInterleafAncillaryFile; }

  // --- results queue and error records -----------------------------------
  // Copies a line to the tail of the results queue.
  void v_AddMessage(const char* line);
  void v_AddMessage(const std::string& line) { v_AddMessage(line.c_str()); }
  // Adds the text of a string id, formatted printf-style.
  void v_AddStringMessage(unsigned id, ...);
  // Removes the head line of the results queue and copies it, with its
  // terminating zero, into buffer, which must hold RESULT_BUFFER_SIZE bytes;
  // a longer line is cut to RESULT_BUFFER_SIZE - 1 bytes. Returns false,
  // leaving buffer untouched, when the queue is empty.
  bool b_GetNextMessage(char* buffer);
  static constexpr std::size_t RESULT_BUFFER_SIZE = 4096;
  void v_ClearResults() { m_lstResults.clear(); }
  const CQ_StringList& rco_GetResults() const { return m_lstResults; }

  // Reports one file's result code into the results queue; returns false
  // when the batch must stop. processed and failed are the batch counters.
  [[nodiscard]] bool b_ErrorReporting(int code, int& processed, int& failed, int filesInList);
  // Report an exception, then forget it.
  void v_FileErrorReporting(const Platform::CQ_FileException* e);
  // The string id of the results line that names a file exception's cause.
  static unsigned sn_FileErrorMessage(int cause);
  void v_ArchiveErrorReporting(const Platform::CQ_ArchiveException* e);
  // Writes the results queue to a file (GUI-clear sessions only).
  [[nodiscard]] bool b_SaveResults(const std::string& path);

  // Moves all records of list to the tail of the session's error list.
  void v_TakeErrorList(CQ_Morvane_ErrorList* list);
  const CQ_Morvane_ErrorList* pcco_GetErrorList() const { return &m_lstErrors; }
  // Takes the next record the user did not suppress; its text and line
  // references become readable below. The argument is not read.
  bool b_NextErrorMessage(CQ_Morvane_ErrorMessage* unused = nullptr);
  const char* lpsz_GetErrorMessage() const { return m_strErrorMessage.c_str(); }
  unsigned n_GetSourceRef() const { return m_nSourceRef; }
  unsigned n_GetTargetRef() const { return m_nTargetRef; }

  // --- ancillary lines -------------------------------------------------------
  void v_AddToAncillaryFile(const CQ_StringList* lines);
  void v_AddHeadToAncillaryFile(std::string line);
  void v_AddTailToAncillaryFile(std::string line);
  bool b_AncillaryFileIsEmpty() const { return m_lstAncillary.empty(); }
  const CQ_StringList& rco_GetAncillaryLines() const { return m_lstAncillary; }
  CExtStringList& rco_GetAncillaryReadBack() { return m_coAncillaryReadBack; }
  bool b_GetAncillaryNoticePending() const { return m_bAncillaryNoticePending; }
  void v_SetAncillaryNoticePending(bool b) { m_bAncillaryNoticePending = b; }

  // --- batch control -----------------------------------------------------------
  // Verifies a batch of translated KWX files against their sources.
  void v_VerifyVarnels(const CQ_StringList* paths);
  // One progress step; raises the int 1 when the user has cancelled.
  void v_UpdateUI();
  // Tells the observer (if any) that a named stage of the file at hand has
  // ended; no progress step.
  void v_StageEnded(const char* stage) {
    if (m_pcoObserver) m_pcoObserver->v_StageEnded(stage);
  }
  // Tells the UI window that lines wait in the results queue.
  void v_UpdateResults();
  void v_TidyUpFile();
  void v_TidyUpBatch();
  void v_TimeStampStatusReport();

  // --- paths and settings store ----------------------------------------------
  // True when the directory exists and can be entered.
  static bool b_VerifyPath(const std::string& path);

  static unsigned long sn4_GetValueFromRegistry(const char* section, const char* name, unsigned long def);
  // The stored text, valid until the next call; def when missing.
  static const char* slpsz_GetValueFromRegistry(const char* section, const char* name, const char* def);
  static void sv_WriteIntToRegistry(const char* section, const char* name, unsigned long value);
  static void sv_WriteStringToRegistry(const char* section, const char* name, const char* value);

  static std::string scs_AppRegistryKey;
  static const std::string scs_RegSection;
  static const std::string scs_RegEntryOptions;
  static const std::string scs_RegEntryPaths;
  static const std::string scs_RegEntryReporting;
  static const std::string scs_RootDir;

  // Suppresses the 14 character-format prefixes and nothing else (GUI-clear
  // sessions only).
  void v_RestoreVerifierReportDefaults();

 protected:
  void v_Init();
  [[nodiscard]] bool b_InitialiseSourceLanguage(const char* name);
  void v_InitialiseTargetLanguage(const char* name);

  void v_AddMissingReportingSettings();
  void v_ClearPathsAndLanguages();
  void v_ClearBatchLines();
  // Zeroes the integer settings, code pages and keep-path flags.
  void v_ZeroSettings();
  // What a batch driver does with one task's files.
  struct st_BatchTask {
    int steps;                          // progress steps per file
    const char* extension;              // the extension accepted
    unsigned badExtension[2];           // the two lines for another one
    std::string* folder;                // taken from each path (in a GUI session: only from a path outside it)
    bool keepExtension;                 // current extension as found, or `extension`
    unsigned announce;                  // "Converting %s" or "Verifying %s"
    std::function<int()> confirm;       // the overwrite question
    std::function<int()> run;           // the per-file operation
  };
  // Runs every file of the list through the task; false when the batch
  // was ended early. processed and failed are the batch counters;
  // tagChanges counts files whose verification found tag changes.
  [[nodiscard]] bool b_RunBatch(const CQ_StringList* paths, const st_BatchTask& task, int& processed, int& failed,
                                int& tagChanges);
  // b_RunBatch over child processes, one per file, for a session with the
  // GUI flag clear: same results lines, counts, ancillary lines and error
  // records as the serial run, in the same order (ParallelBatch.cpp).
  [[nodiscard]] bool b_RunBatchInParallel(const CQ_StringList& paths, const st_BatchTask& task, int& processed, int& failed,
                            int& tagChanges);
  // Takes the file's folder, name and extension into the session; false
  // (and nothing changed) for an extension the task does not accept.
  [[nodiscard]] bool b_SetCurrentFile(const std::string& path, const st_BatchTask& task);
  // The start of one file in a batch: extension check with its lines, or
  // the current file and its announcing line. False when it is skipped.
  [[nodiscard]] bool b_BeginFile(const std::string& path, const st_BatchTask& task);
  // The end of one file: counts, result lines, progress. False when the
  // batch must stop.
  [[nodiscard]] bool b_EndFile(int code, int& processed, int& failed, int& tagChanges, int files);
  // The output folder and base name of the current file.
  std::string ccs_OutputKey() const;
  void v_AddToMap(const char* key);
  void v_RemoveFromMap(const char* key);
  // Adds every tag prefix of a message type's entry to the tag map.
  void v_AddPrefixesToMap(const std::string& entry);

  bool b_DisplayErrorMessage(const CQ_Morvane_ErrorMessage* record) const;
  // Runs one file's operation and maps what it raises to a result code:
  // raised ints pass through, file and archive exceptions are reported and
  // give 4, an out-of-memory exception gives 5.
  [[nodiscard]] int i_RunGuarded(const std::function<int()>& operation);
  int i_ConfirmOverwritingCMPFiles();
  // Records the current file's output folder and base name in `outputs`.
  // When an earlier file of the batch had the same ones, a GUI session asks
  // (IDYES, IDNO or IDCANCEL) and any other refuses (0); otherwise IDYES.
  int i_ConfirmDistinctOutputs(const std::string& path, std::unordered_set<std::string>& outputs);
  // Asks the overwrite question for one file; IDYES when it does not exist.
  int i_ConfirmOverwriting(const std::string& fullName, bool withCancel);
  // Shows a message box owned by the UI window (GUI sessions only).
  int i_MessageBox(const std::string& text, unsigned style);
  void v_SendToUI(unsigned message, unsigned long wParam, long lParam);
  // Adds the closing line of 84 underscores.
  void v_AddClosingLine();

  // Splits an entry of the report list into its tag prefixes.
  static std::vector<std::string> sacs_SplitPrefixes(const std::string& entry);

  std::string m_strAppName;
  std::string m_strVersion;
  std::string m_strCurrentFileName;
  std::string m_strCurrentFileExtension;
  std::string m_strSourceFilesPath;
  std::string m_strORGFilesPath;
  std::string m_strTranslatedFilesPath;
  unsigned m_nMsgUpdateProgress = 0;
  unsigned m_nMsgUpdateResults = 0;
  bool m_bBetweenSessions = false;
  bool m_bDuringSession = false;
  int m_iRTFPageSize = 0;
  int m_iOverwriteFiles = 0;
  int m_iFileFormatForKWX = 0;
  int m_iCharacterSet = 0;
  int m_iSourceHyphenation = 0;
  int m_iHighestMIFVersion = 55;
  int m_iTranslationHyphenation = 0;
  int m_iMarkerPlaceholders = 0;
  int m_iSmartQuotes = 0;
  int m_iReadOnlyComponents = 0;
  int m_iSourceCodePage = 0;
  int m_iTargetCodePage = 0;
  std::string m_strSourceLanguage;
  std::string m_strTargetLanguage;
  std::string m_strSourceMarkerLength = "220";
  std::string m_strSourceMIFLanguage;
  std::string m_strTargetMIFLanguage;
  std::string m_strSourceIASCIILanguage;
  std::string m_strTargetIASCIILanguage;
  bool m_bGUI = false;
  HWND m_hwndUI = nullptr;
  CQ_Morvane_Observer* m_pcoObserver = nullptr;
  unsigned m_nVerificationWarnings = 0;
  unsigned m_nVerificationAlerts = 0;
  unsigned m_nVerificationErrors = 0;
  unsigned m_nVerificationSuppressions = 0;
  EKWXVERSION m_etKWXVersion = KWX_VERSION_NONE;
  int m_iBatchProgressIndicator = 0;
  int m_iFileProgressIndicator = 0;
  CQ_StringList m_lstResults;
  CQ_StringList m_lstAncillary;
  CAncillaryFile m_coInterleafAncillaryFile;
  CExtStringList m_coAncillaryReadBack;
  int m_iTask = TASK_NONE;
  int m_iBatchProcessed = 0;
  int m_iBatchFailed = 0;
  int m_iBatchFilesWithTagErrors = 0;
  int m_iParallelJobs = 1;
  bool m_bRunningTask = false;
  bool m_bUserCancelled = false;
  CQ_TagMap m_mapCustomTags;
  bool m_bAncillaryNoticePending = true;
  unsigned m_nFileDialogHelpID = 3;
  bool m_bJapaneseColloquy = false;
  CQ_Morvane_ErrorList m_lstErrors;
  std::string m_strErrorMessage;
  unsigned m_nSourceRef = 0;
  unsigned m_nTargetRef = 0;
};
