// The FrameMaker session: construction, the settings pages it keeps in the
// per-user store, defaults, the verifier's tag map and the visible MIF
// objects. The drivers are in BatchDrivers.cpp, the ancillary file in
// AncillaryFile.cpp.
#include "kernel/session/CommunicationFrame.h"

#include "kernel/session/KernelStrings.h"

const std::vector<std::string> CQ_Morvane_CommunicationFrame::sacs_CustomiseFrame = {
    "<:b><:/b>",
    "<:bb \"",
    "<:bi><:/bi>",
    "<:c><:/c><:c1><:/c1><:c2><:/c2>",
    "<:cs \"<:/cs>",
    "<:dh>",
    "<:el \"<:/el \"",
    "<:elf \"<:/elf \"",
    "<:ems>",
    "<:ens>",
    "<:ep \"",
    "<:es \"",
    "<:fc <:/fc>",
    "<:flq>",
    "<:frq>",
    "<:glq>",
    "<:grq>",
    "<:gt>",
    "<:hh>",
    "<:hr>",
    "<:hs>",
    "<:i><:/i>",
    "<:imk ",
    "<:ldq>",
    "<:lq>",
    "<:lt>",
    "<:nh>",
    "<:ns>",
    "<:r1<:r3",
    "<:rdq>",
    "<:rq>",
    "<:s><:/s>",
    "<:sh>",
    "<:so>",
    "<:t>",
    "<:ts>",
    "<:v \"",
    "<:xr \"",
    "<ie>",
    "<il>",
    "<imk</imk>",
    "<pn \"",
    "<ps \"",
    "<sl>",
    "<ss>",
};

CQ_Morvane_FileConverter::~CQ_Morvane_FileConverter() = default;
CQ_Morvane_ConverterFactory::~CQ_Morvane_ConverterFactory() = default;

CQ_Morvane_CommunicationFrame::CQ_Morvane_CommunicationFrame(const char* appName, const char* version, bool gui)
    : CQ_Morvane_Communication(appName, version, gui) {
  v_InitFrame();
}

CQ_Morvane_CommunicationFrame::CQ_Morvane_CommunicationFrame(const char* appName, const char* version, bool gui,
                                                             st_DerivedSession)
    : CQ_Morvane_Communication(appName, version, gui) {}

CQ_Morvane_CommunicationFrame::~CQ_Morvane_CommunicationFrame() {
  if (m_bGUI && !m_bSettingsWritten) vv_WriteSettingsToRegistry();
}

void CQ_Morvane_CommunicationFrame::v_InitFrame() {
  if (!m_bGUI) return;
  v_AddMissingReportingSettings();
  vv_GetSettingsFromRegistry();
}

void CQ_Morvane_CommunicationFrame::v_Set() {
  CQ_Morvane_Communication::v_Set();
  m_mapVisibleMIFObjects.clear();
  v_InitFrame();
}

void CQ_Morvane_CommunicationFrame::v_SetConverterFactory(std::unique_ptr<CQ_Morvane_ConverterFactory> factory) {
  m_pcoConverterFactory = std::move(factory);
}

CQ_Morvane_ConverterFactory& CQ_Morvane_CommunicationFrame::rco_GetConverterFactory() {
  if (!m_pcoConverterFactory) m_pcoConverterFactory = pco_CreateKernelConverterFactory();
  return *m_pcoConverterFactory;
}

// --- settings pages ------------------------------------------------------------------

void CQ_Morvane_CommunicationFrame::vv_WriteSettingsToRegistry() {
  vv_WritePage4ToRegistry();
  vv_WritePage5ToRegistry();
}

void CQ_Morvane_CommunicationFrame::vv_GetSettingsFromRegistry() {
  vv_GetPage4FromRegistry();
  vv_GetPage5FromRegistry();
}

void CQ_Morvane_CommunicationFrame::vv_GetPage4FromRegistry() {
  const char* paths = scs_RegEntryPaths.c_str();
  m_bDuringSession = sn4_GetValueFromRegistry(paths, "DURING_SESSION", 1) != 0;
  m_bBetweenSessions = sn4_GetValueFromRegistry(paths, "BETWEEN_SESSIONS", 1) != 0;
  if (!m_bDuringSession) {
    m_strSourceFilesPath = m_strORGFilesPath = m_strTranslatedFilesPath = scs_RootDir;
    return;
  }
  v_ReadStoredPath("SOURCE_FILES", m_strSourceFilesPath);
  v_ReadStoredPath("ORG_FILES", m_strORGFilesPath);
  v_ReadStoredPath("TRANSLATED_FILES", m_strTranslatedFilesPath);
}

void CQ_Morvane_CommunicationFrame::v_ReadStoredPath(const char* name, std::string& field) {
  field = slpsz_GetValueFromRegistry(scs_RegEntryPaths.c_str(), name, scs_RootDir.c_str());
  if (!b_VerifyPath(field)) field = scs_RootDir;
}

void CQ_Morvane_CommunicationFrame::vv_WritePage4ToRegistry() {
  const char* paths = scs_RegEntryPaths.c_str();
  sv_WriteIntToRegistry(paths, "DURING_SESSION", m_bDuringSession ? 1 : 0);
  sv_WriteIntToRegistry(paths, "BETWEEN_SESSIONS", m_bBetweenSessions ? 1 : 0);
  const char* root = scs_RootDir.c_str();
  sv_WriteStringToRegistry(paths, "SOURCE_FILES", m_bBetweenSessions ? m_strSourceFilesPath.c_str() : root);
  sv_WriteStringToRegistry(paths, "ORG_FILES", m_bBetweenSessions ? m_strORGFilesPath.c_str() : root);
  sv_WriteStringToRegistry(paths, "TRANSLATED_FILES", m_bBetweenSessions ? m_strTranslatedFilesPath.c_str() : root);
}

void CQ_Morvane_CommunicationFrame::vv_GetPage5FromRegistry() {
  const char* options = scs_RegEntryOptions.c_str();
  m_iOverwriteFiles = m_bGUI ? static_cast<int>(sn4_GetValueFromRegistry(options, "OVERWRITE_FILES", 0)) : 1;
  m_iFileFormatForKWX = static_cast<int>(sn4_GetValueFromRegistry(options, "FILE_FORMAT_FOR_KWX", 1));
  // Copy at once: the store's text lives only until its next read.
  std::string target = slpsz_GetValueFromRegistry(options, "TARGET_LANGUAGE", "English (US)");
  v_InitialiseTargetLanguage(target.c_str());
  std::string source = slpsz_GetValueFromRegistry(options, "SOURCE_LANGUAGE", "English (US)");
  v_SetSourceLanguage(source.c_str());
  m_iRTFPageSize = static_cast<int>(sn4_GetValueFromRegistry(options, "RTF_PAGE_SIZE", 0));
  m_iCharacterSet = static_cast<int>(sn4_GetValueFromRegistry(options, "CHARACTER_SET_TEXT", 0));
  m_iSourceHyphenation = static_cast<int>(sn4_GetValueFromRegistry(options, "SOURCE_HYPHENATION", 0));
  m_iSmartQuotes = static_cast<int>(sn4_GetValueFromRegistry(options, "SMART_QUOTES", 0));
  m_iReadOnlyComponents = static_cast<int>(sn4_GetValueFromRegistry(options, "READ_ONLY_COMPONENTS", 1));
  if (m_strSourceLanguage.empty()) v_SetSourceLanguage("English (US)");
  if (m_strTargetLanguage.empty()) v_InitialiseTargetLanguage("English (US)");
  m_iMarkerPlaceholders = static_cast<int>(sn4_GetValueFromRegistry(options, "MARKER_PLACEHOLDERS", 0));
  m_iTranslationHyphenation = static_cast<int>(sn4_GetValueFromRegistry(options, "TRANSLATION_HYPHENATION", 0));
  m_strSourceMarkerLength = slpsz_GetValueFromRegistry(options, "SOURCE_MARKER_LENGTH", "220");
}

void CQ_Morvane_CommunicationFrame::vv_WritePage5ToRegistry() {
  const char* options = scs_RegEntryOptions.c_str();
  sv_WriteIntToRegistry(options, "OVERWRITE_FILES", static_cast<unsigned long>(m_iOverwriteFiles));
  sv_WriteIntToRegistry(options, "FILE_FORMAT_FOR_KWX", static_cast<unsigned long>(m_iFileFormatForKWX));
  sv_WriteStringToRegistry(options, "TARGET_LANGUAGE", m_strTargetLanguage.c_str());
  sv_WriteIntToRegistry(options, "RTF_PAGE_SIZE", static_cast<unsigned long>(m_iRTFPageSize));
  sv_WriteIntToRegistry(options, "MARKER_PLACEHOLDERS", static_cast<unsigned long>(m_iMarkerPlaceholders));
  sv_WriteIntToRegistry(options, "CHARACTER_SET_TEXT", static_cast<unsigned long>(m_iCharacterSet));
  sv_WriteIntToRegistry(options, "SOURCE_HYPHENATION", static_cast<unsigned long>(m_iSourceHyphenation));
  sv_WriteIntToRegistry(options, "TRANSLATION_HYPHENATION", static_cast<unsigned long>(m_iTranslationHyphenation));
  sv_WriteStringToRegistry(options, "SOURCE_LANGUAGE", m_strSourceLanguage.c_str());
  sv_WriteIntToRegistry(options, "SMART_QUOTES", static_cast<unsigned long>(m_iSmartQuotes));
  sv_WriteStringToRegistry(options, "SOURCE_MARKER_LENGTH", m_strSourceMarkerLength.c_str());
}

void CQ_Morvane_CommunicationFrame::vv_RestoreSettingsDefaults() {
  m_iOverwriteFiles = 0;
  m_iFileFormatForKWX = 1;
  v_InitialiseTargetLanguage("English (US)");
  v_SetSourceLanguage("English (US)");
  m_iRTFPageSize = m_iCharacterSet = m_iSourceHyphenation = m_iSmartQuotes = 0;
  m_iReadOnlyComponents = 1;
  m_iMarkerPlaceholders = m_iTranslationHyphenation = 0;
  m_strSourceMarkerLength = "220";
}

void CQ_Morvane_CommunicationFrame::vv_RestorePathsDefaults() {
  m_strSourceFilesPath = m_strORGFilesPath = m_strTranslatedFilesPath = scs_RootDir;
  m_bDuringSession = m_bBetweenSessions = true;
}

// --- verifier tag map -------------------------------------------------------------

void CQ_Morvane_CommunicationFrame::vv_CreateTagMap(const std::vector<bool>* flags) {
  if (!flags) return;
  m_mapCustomTags.clear();
  for (std::size_t i = 0; i < flags->size() && i < sacs_CustomiseFrame.size(); ++i) {
    if ((*flags)[i]) v_AddPrefixesToMap(sacs_CustomiseFrame[i]);
  }
}

void CQ_Morvane_CommunicationFrame::v_SetVerifierReportOption(unsigned index, bool suppress) {
  if (m_bGUI || index >= sacs_CustomiseFrame.size()) return;
  for (const std::string& prefix : sacs_SplitPrefixes(sacs_CustomiseFrame[index])) {
    if (suppress) {
      v_AddToMap(prefix.c_str());
    } else {
      v_RemoveFromMap(prefix.c_str());
    }
  }
}

bool CQ_Morvane_CommunicationFrame::b_GetVerifierReportOption(unsigned index) const {
  if (index >= sacs_CustomiseFrame.size()) return false;
  const std::string& entry = sacs_CustomiseFrame[index];
  std::size_t second = entry.find('<', 1);
  return m_mapCustomTags.count(second == std::string::npos ? entry : entry.substr(0, second)) != 0;
}

// --- visible MIF objects ----------------------------------------------------------

void CQ_Morvane_CommunicationFrame::v_AddVisibleMIFObject(const char* identifier) {
  if (identifier) m_mapVisibleMIFObjects.emplace(identifier, std::string());
}

bool CQ_Morvane_CommunicationFrame::b_GetVisibleMIFObject(const char* identifier) const {
  return identifier && m_mapVisibleMIFObjects.count(identifier) != 0;
}

std::vector<std::string> CQ_Morvane_CommunicationFrame::ccs_GetVisibleMIFObjects() const {
  std::vector<std::string> identifiers;
  identifiers.reserve(m_mapVisibleMIFObjects.size());
  for (const auto& entry : m_mapVisibleMIFObjects) identifiers.push_back(entry.first);
  return identifiers;
}
