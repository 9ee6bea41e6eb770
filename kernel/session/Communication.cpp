// Construction, reset, accessors with side effects, the settings store
// functions, the results queue and the verifier's tag map of the session
// base class. Batch drivers and error reporting live in files of their own.
#include "kernel/session/Communication.h"

#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <variant>

#include "System/Platform/FileSystem.h"
#include "System/Platform/Registry.h"
#include "kernel/session/KernelStrings.h"

std::string CQ_Morvane_Communication::scs_AppRegistryKey;
const std::string CQ_Morvane_Communication::scs_RegSection = "SETTINGS";
const std::string CQ_Morvane_Communication::scs_RegEntryOptions = "OPTIONS";
const std::string CQ_Morvane_Communication::scs_RegEntryPaths = "PATHS";
const std::string CQ_Morvane_Communication::scs_RegEntryReporting = "REPORTING";
const std::string CQ_Morvane_Communication::scs_RootDir = "/";

namespace {
const char kProgressMessage[] = "Update The Morvane Progress Indicators";
const char kResultsMessage[] = "Update The Morvane Results Window";
}  // namespace

CQ_Morvane_Communication::CQ_Morvane_Communication(const char* appName, const char* version, bool gui)
    : m_strAppName(appName ? appName : ""), m_strVersion(version ? version : ""), m_bGUI(gui) {
  v_Init();
}

CQ_Morvane_Communication::~CQ_Morvane_Communication() = default;

void CQ_Morvane_Communication::v_Init() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  scs_AppRegistryKey = "Software\\Halvex\\" + m_strAppName + "\\3.0\\";
  m_strSourceMarkerLength = "220";
  v_ZeroSettings();
  m_bRunningTask = m_bUserCancelled = false;
  m_nVerificationWarnings = m_nVerificationAlerts = m_nVerificationErrors = m_nVerificationSuppressions = 0;
  m_iBatchProgressIndicator = m_iFileProgressIndicator = 0;
  m_nSourceRef = m_nTargetRef = 0;
  m_nMsgUpdateProgress = Platform::RegisterWindowMessage(kProgressMessage);
  m_nMsgUpdateResults = Platform::RegisterWindowMessage(kResultsMessage);
  m_iTask = TASK_NONE;
  m_bAncillaryNoticePending = true;
  m_nFileDialogHelpID = 3;
  m_etKWXVersion = KWX_VERSION_NONE;
  m_bJapaneseColloquy = false;
  if (!m_bGUI) m_hwndUI = nullptr;
}

void CQ_Morvane_Communication::v_ClearPathsAndLanguages() {
  m_strSourceFilesPath.clear();
  m_strORGFilesPath.clear();
  m_strTranslatedFilesPath.clear();
  m_strSourceLanguage.clear();
  m_strTargetLanguage.clear();
  m_strSourceMIFLanguage.clear();
  m_strTargetMIFLanguage.clear();
  m_strSourceIASCIILanguage.clear();
  m_strTargetIASCIILanguage.clear();
}

void CQ_Morvane_Communication::v_ClearBatchLines() {
  m_lstResults.clear();
  m_lstAncillary.clear();
  m_coAncillaryReadBack.RemoveAll();
  m_coInterleafAncillaryFile.Clear();
}

void CQ_Morvane_Communication::v_ZeroSettings() {
  m_iRTFPageSize = m_iOverwriteFiles = m_iFileFormatForKWX = m_iCharacterSet = 0;
  m_iSourceHyphenation = m_iTranslationHyphenation = m_iMarkerPlaceholders = 0;
  m_iSmartQuotes = m_iReadOnlyComponents = 0;
  m_iHighestMIFVersion = 55;
  m_iSourceCodePage = m_iTargetCodePage = 0;
  m_bBetweenSessions = m_bDuringSession = false;
}

void CQ_Morvane_Communication::v_Set() {
  m_strCurrentFileName.clear();
  m_strCurrentFileExtension.clear();
  v_ClearPathsAndLanguages();
  v_ClearBatchLines();
  m_mapCustomTags.clear();
  m_strErrorMessage.clear();
  m_lstErrors.clear();
  v_Init();
}

void CQ_Morvane_Communication::v_ResetBatch() {
  if (m_bGUI) {
    // The front end writes its page values back after this call.
    v_ClearPathsAndLanguages();
    v_ZeroSettings();
    v_ClearBatchLines();
  }
  v_ResetFile();
  m_bRunningTask = false;
  m_bUserCancelled = false;
  m_bAncillaryNoticePending = true;
  m_mapCustomTags.clear();
  m_bJapaneseColloquy = false;
}

void CQ_Morvane_Communication::v_ResetFile() {
  m_strCurrentFileName.clear();
  m_strCurrentFileExtension.clear();
  m_nVerificationWarnings = m_nVerificationAlerts = m_nVerificationErrors = m_nVerificationSuppressions = 0;
}

// The initialisation stores the name itself and puts the previous one back
// when the name is unknown, so the stored name always agrees with the code
// page and MIF language in force.
void CQ_Morvane_Communication::v_SetSourceLanguage(const char* name) {
  (void)b_InitialiseSourceLanguage(name ? name : "");  // an unknown name keeps the previous language
}

bool CQ_Morvane_Communication::b_SetSourceLanguage(const char* name) {
  return b_InitialiseSourceLanguage(name ? name : "");
}

void CQ_Morvane_Communication::v_SetTargetLanguage(const char* name) { v_InitialiseTargetLanguage(name ? name : ""); }

// --- settings store -----------------------------------------------------------

unsigned long CQ_Morvane_Communication::sn4_GetValueFromRegistry(const char* section, const char* name,
                                                                 unsigned long def) {
  auto value = Platform::Registry::QueryValue(scs_AppRegistryKey + section, name);
  if (!value) return def;
  if (const auto* n = std::get_if<std::uint32_t>(&*value)) return *n;
  return def;  // a value of another type counts as missing
}

const char* CQ_Morvane_Communication::slpsz_GetValueFromRegistry(const char* section, const char* name,
                                                               const char* def) {
  static thread_local std::string last;
  auto value = Platform::Registry::QueryValue(scs_AppRegistryKey + section, name);
  if (!value) return def;
  if (const auto* s = std::get_if<std::string>(&*value)) {
    last = *s;
    return last.c_str();
  }
  return def;
}

void CQ_Morvane_Communication::sv_WriteIntToRegistry(const char* section, const char* name, unsigned long value) {
  Platform::Registry::SetDword(scs_AppRegistryKey + section, name, static_cast<std::uint32_t>(value));
}

void CQ_Morvane_Communication::sv_WriteStringToRegistry(const char* section, const char* name, const char* value) {
  Platform::Registry::SetString(scs_AppRegistryKey + section, name, value ? value : "");
}

bool CQ_Morvane_Communication::b_VerifyPath(const std::string& path) { return Platform::DirectoryIsEnterable(path); }

void CQ_Morvane_Communication::v_AddMissingReportingSettings() {
  const std::string key = scs_AppRegistryKey + scs_RegEntryReporting;
  // On the first run the key does not exist: the front end creates the
  // values when it saves its report options.
  if (!Platform::Registry::KeyExists(key)) return;
  for (unsigned id = Msg::GLOSSARY_FIRST; id <= Msg::GLOSSARY_LAST; ++id) {
    const char* name = lpsz_LoadKernelString(id);
    if (!*name) continue;
    if (!Platform::Registry::QueryValue(key, name)) Platform::Registry::SetDword(key, name, 1);
  }
}

// --- results queue ----------------------------------------------------------------

void CQ_Morvane_Communication::v_AddMessage(const char* line) { m_lstResults.emplace_back(line ? line : ""); }

void CQ_Morvane_Communication::v_AddStringMessage(unsigned id, ...) {
  va_list args;
  va_start(args, id);
  m_lstResults.push_back(ccs_VFormatKernelString(id, args));
  va_end(args);
}

bool CQ_Morvane_Communication::b_GetNextMessage(char* buffer) {
  if (m_lstResults.empty() || !buffer) return false;
  const std::string& line = m_lstResults.front();
  std::size_t n = line.size() < RESULT_BUFFER_SIZE ? line.size() : RESULT_BUFFER_SIZE - 1;
  line.copy(buffer, n);
  buffer[n] = '\0';
  m_lstResults.pop_front();
  return true;
}

void CQ_Morvane_Communication::v_AddClosingLine() { m_lstResults.emplace_back(84, '_'); }

// --- ancillary lines -------------------------------------------------------------

void CQ_Morvane_Communication::v_AddToAncillaryFile(const CQ_StringList* lines) {
  if (!lines) return;
  m_lstAncillary.insert(m_lstAncillary.end(), lines->begin(), lines->end());
}

void CQ_Morvane_Communication::v_AddHeadToAncillaryFile(std::string line) { m_lstAncillary.push_front(std::move(line)); }

void CQ_Morvane_Communication::v_AddTailToAncillaryFile(std::string line) { m_lstAncillary.push_back(std::move(line)); }

// --- verifier tag map -----------------------------------------------------------

std::vector<std::string> CQ_Morvane_Communication::sacs_SplitPrefixes(const std::string& entry) {
  std::vector<std::string> prefixes;
  std::string rest = entry;
  std::size_t pos;
  while ((pos = rest.find('<', 1)) != std::string::npos) {
    prefixes.push_back(rest.substr(0, pos));
    rest.erase(0, pos);
  }
  prefixes.push_back(rest);
  return prefixes;
}

void CQ_Morvane_Communication::v_AddToMap(const char* key) {
  if (key && !m_mapCustomTags.count(key)) m_mapCustomTags.emplace(key, key);
}

void CQ_Morvane_Communication::v_RemoveFromMap(const char* key) {
  if (key) m_mapCustomTags.erase(key);
}

void CQ_Morvane_Communication::v_AddPrefixesToMap(const std::string& entry) {
  for (const std::string& prefix : sacs_SplitPrefixes(entry)) v_AddToMap(prefix.c_str());
}

void CQ_Morvane_Communication::v_RestoreVerifierReportDefaults() {
  if (m_bGUI) return;
  m_mapCustomTags.clear();
  for (const char* prefix : {"<:b>", "<:/b>", "<:i>", "<:/i>", "<:bi>", "<:/bi>", "<:s>", "<:/s>", "<:c>", "<:/c>",
                             "<:c1>", "<:/c1>", "<:c2>", "<:/c2>"}) {
    v_AddToMap(prefix);
  }
}

// --- window services ---------------------------------------------------------------

CQ_Morvane_Observer::~CQ_Morvane_Observer() = default;

void CQ_Morvane_Communication::v_SendToUI(unsigned message, unsigned long wParam, long lParam) {
  if (m_bGUI) {
    if (m_hwndUI) m_hwndUI->SendMessage(message, wParam, lParam);
  } else if (m_pcoObserver) {
    if (message == m_nMsgUpdateProgress) m_pcoObserver->v_ProgressStep(wParam != 0);
    if (message == m_nMsgUpdateResults) m_pcoObserver->v_ResultsWaiting();
  }
}

int CQ_Morvane_Communication::i_MessageBox(const std::string& text, unsigned style) {
  if (!m_bGUI) return Platform::IDOK;
  if (!m_hwndUI) {
    // Nobody can answer: take the answer that changes nothing.
    unsigned buttons = style & 0x0Fu;
    if (buttons == Platform::MB_YESNOCANCEL) return Platform::IDCANCEL;
    if (buttons == Platform::MB_YESNO) return Platform::IDNO;
    return Platform::IDOK;
  }
  return m_hwndUI->MessageBox(text, m_strAppName, style);
}
