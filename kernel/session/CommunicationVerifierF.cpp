// The verifier-only session: it keeps just the ORG and translated paths and
// the settings the verifier needs, and stores languages as names without
// deriving code pages from them.
#include "kernel/session/CommunicationVerifierF.h"

CQ_Morvane_CommunicationVerifierF::CQ_Morvane_CommunicationVerifierF(const char* appName, const char* version,
                                                                     bool gui)
    : CQ_Morvane_CommunicationFrame(appName, version, gui, st_DerivedSession{}) {
  v_InitVerifier();
}

CQ_Morvane_CommunicationVerifierF::~CQ_Morvane_CommunicationVerifierF() {
  if (m_bGUI) vv_WriteSettingsToRegistry();
  m_bSettingsWritten = true;
}

void CQ_Morvane_CommunicationVerifierF::v_InitVerifier() {
  if (m_bGUI) vv_GetSettingsFromRegistry();
}

void CQ_Morvane_CommunicationVerifierF::v_Set() {
  CQ_Morvane_Communication::v_Set();
  m_mapVisibleMIFObjects.clear();
  v_InitVerifier();
}

int CQ_Morvane_CommunicationVerifierF::vi_CompareKWXFiles() { return CQ_Morvane_CommunicationFrame::vi_CompareKWXFiles(); }

void CQ_Morvane_CommunicationVerifierF::vv_CreateTagMap(const std::vector<bool>* flags) {
  CQ_Morvane_CommunicationFrame::vv_CreateTagMap(flags);
}

void CQ_Morvane_CommunicationVerifierF::vv_GetPage4FromRegistry() {
  const char* paths = scs_RegEntryPaths.c_str();
  m_bDuringSession = sn4_GetValueFromRegistry(paths, "DURING_SESSION", 1) != 0;
  m_bBetweenSessions = sn4_GetValueFromRegistry(paths, "BETWEEN_SESSIONS", 1) != 0;
  if (!m_bDuringSession) {
    m_strORGFilesPath = m_strTranslatedFilesPath = scs_RootDir;
    return;
  }
  v_ReadStoredPath("ORG_FILES", m_strORGFilesPath);
  v_ReadStoredPath("TRANSLATED_FILES", m_strTranslatedFilesPath);
}

void CQ_Morvane_CommunicationVerifierF::vv_WritePage4ToRegistry() {
  const char* paths = scs_RegEntryPaths.c_str();
  sv_WriteIntToRegistry(paths, "DURING_SESSION", m_bDuringSession ? 1 : 0);
  sv_WriteIntToRegistry(paths, "BETWEEN_SESSIONS", m_bBetweenSessions ? 1 : 0);
  const char* root = scs_RootDir.c_str();
  sv_WriteStringToRegistry(paths, "ORG_FILES", m_bBetweenSessions ? m_strORGFilesPath.c_str() : root);
  sv_WriteStringToRegistry(paths, "TRANSLATED_FILES", m_bBetweenSessions ? m_strTranslatedFilesPath.c_str() : root);
}

void CQ_Morvane_CommunicationVerifierF::vv_GetPage5FromRegistry() {
  const char* options = scs_RegEntryOptions.c_str();
  m_iOverwriteFiles = static_cast<int>(sn4_GetValueFromRegistry(options, "OVERWRITE_FILES", 0));
  m_iFileFormatForKWX = static_cast<int>(sn4_GetValueFromRegistry(options, "FILE_FORMAT_FOR_KWX", 1));
  m_strTargetLanguage = slpsz_GetValueFromRegistry(options, "TARGET_LANGUAGE", "English (US)");
  m_strSourceLanguage = slpsz_GetValueFromRegistry(options, "SOURCE_LANGUAGE", "English (US)");
  m_iRTFPageSize = static_cast<int>(sn4_GetValueFromRegistry(options, "RTF_PAGE_SIZE", 0));
  m_iCharacterSet = static_cast<int>(sn4_GetValueFromRegistry(options, "CHARACTER_SET_TEXT", 0));
  m_iSourceHyphenation = static_cast<int>(sn4_GetValueFromRegistry(options, "SOURCE_HYPHENATION", 0));
  m_iSmartQuotes = static_cast<int>(sn4_GetValueFromRegistry(options, "SMART_QUOTES", 1));
  m_iReadOnlyComponents = static_cast<int>(sn4_GetValueFromRegistry(options, "READ_ONLY_COMPONENTS", 1));
  if (m_strTargetLanguage.empty()) m_strTargetLanguage = "English (US)";
  if (m_strSourceLanguage.empty()) m_strSourceLanguage = "English (US)";
}

void CQ_Morvane_CommunicationVerifierF::vv_WritePage5ToRegistry() {
  const char* options = scs_RegEntryOptions.c_str();
  sv_WriteIntToRegistry(options, "OVERWRITE_FILES", static_cast<unsigned long>(m_iOverwriteFiles));
  sv_WriteIntToRegistry(options, "FILE_FORMAT_FOR_KWX", static_cast<unsigned long>(m_iFileFormatForKWX));
  sv_WriteStringToRegistry(options, "TARGET_LANGUAGE", m_strTargetLanguage.c_str());
}

void CQ_Morvane_CommunicationVerifierF::vv_RestoreSettingsDefaults() {
  m_iOverwriteFiles = 0;
  m_iFileFormatForKWX = 1;
  v_InitialiseTargetLanguage("English (US)");
  m_strSourceMarkerLength = "220";
}

void CQ_Morvane_CommunicationVerifierF::vv_RestorePathsDefaults() {
  m_strORGFilesPath = m_strTranslatedFilesPath = scs_RootDir;
  m_bDuringSession = m_bBetweenSessions = true;
}
