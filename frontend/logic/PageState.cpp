// Loading, applying and checking the values of the Paths and Settings
// pages. The session reads its own settings pages from the store when it is
// created and writes them when it is destroyed; the front end adds the two
// language-list selections and the verifier report flags.
#include "PageState.h"

#include <algorithm>
#include <cctype>

#include "System/Platform/FileSystem.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"

namespace brannock {
namespace {

const char kSourceSelection[] = "SOURCE_LANGUAGE_SELECTION";
const char kTargetSelection[] = "TARGET_LANGUAGE_SELECTION";
const char kClearChangeBars[] = "CLEAR_CHANGE_BARS";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string WithTrailingSeparator(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + '/';
}

bool SameFolder(const std::string& a, const std::string& b) {
  return Platform::SamePathIgnoringCase(WithTrailingSeparator(a), WithTrailingSeparator(b));
}

bool ValidMarkerLength(const std::string& text) {
  if (text.empty() || text.size() > 3) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  int value = std::stoi(text);
  return value >= 1 && value <= kMaxMarkerLength;
}

void SwapFirstAndLast(std::vector<std::string>& files) {
  if (files.size() >= 2 && !(files.front() < files.back())) std::swap(files.front(), files.back());
}

std::vector<std::string> WithoutAncillaryFiles(const std::vector<std::string>& files) {
  std::vector<std::string> kept;
  for (const std::string& file : files) {
    const std::string name = Lower(file);
    auto endsWith = [&](const char* tail) {
      const std::string t = tail;
      return name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0;
    };
    if (!endsWith("ancillary.txt") && !endsWith("ancillary.rtf")) kept.push_back(file);
  }
  return kept;
}

PathsState LoadPaths(const CQ_Morvane_Communication& session) {
  PathsState paths;
  paths.source = session.lpsz_GetSourceFilesPath();
  paths.org = session.lpsz_GetORGFilesPath();
  paths.translated = session.lpsz_GetTranslatedFilesPath();
  paths.duringSession = session.b_GetDuringSession();
  paths.betweenSessions = paths.duringSession && session.b_GetBetweenSessions();
  return paths;
}

void ApplyPaths(CQ_Morvane_Communication& session, const PathsState& paths) {
  session.v_SetDuringSession(paths.duringSession);
  session.v_SetBetweenSessions(paths.duringSession && paths.betweenSessions);
  const std::string& root = CQ_Morvane_Communication::scs_RootDir;
  auto pick = [&](const std::string& path) { return paths.duringSession && !path.empty() ? WithTrailingSeparator(path) : root; };
  session.v_SetSourceFilesPath(pick(paths.source).c_str());
  session.v_SetORGFilesPath(pick(paths.org).c_str());
  session.v_SetTranslatedFilesPath(pick(paths.translated).c_str());
}

std::optional<int> FirstMissingPath(const PathsState& paths) {
  if (!paths.duringSession) return std::nullopt;
  const std::string* all[] = {&paths.source, &paths.org, &paths.translated};
  for (int i = 0; i < 3; ++i) {
    if (!CQ_Morvane_Communication::b_VerifyPath(*all[i])) return i;
  }
  return std::nullopt;
}

SettingsState LoadSettings(const CQ_Morvane_Communication& session) {
  SettingsState s;
  s.overwriteFiles = session.i_GetOverwriteFiles();
  s.fileFormatForKWX = session.i_GetFileFormatForKWX();
  s.rtfPageSize = session.i_GetRTFPageSize();
  s.characterSet = session.i_GetCharacterSet();
  s.sourceHyphenation = session.i_GetSourceHyphenation();
  s.translationHyphenation = session.i_GetTranslationHyphenation();
  s.markerPlaceholders = session.i_GetMarkerPlaceholders();
  s.smartQuotes = session.i_GetSmartQuotes();
  s.readOnlyComponents = session.i_GetReadOnlyComponents();
  s.sourceLanguage = session.lpsz_GetSourceLanguage();
  s.targetLanguage = session.lpsz_GetTargetLanguage();
  s.markerLength = session.lpsz_GetSourceMarkerLength();
  if (s.sourceLanguage.empty()) s.sourceLanguage = "English (US)";
  if (s.targetLanguage.empty()) s.targetLanguage = "English (US)";
  if (s.markerLength.empty()) s.markerLength = "220";
  const char* options = CQ_Morvane_Communication::scs_RegEntryOptions.c_str();
  s.sourceSelection = static_cast<unsigned>(CQ_Morvane_Communication::sn4_GetValueFromRegistry(options, kSourceSelection, kNoSelection));
  s.targetSelection = static_cast<unsigned>(CQ_Morvane_Communication::sn4_GetValueFromRegistry(options, kTargetSelection, kNoSelection));
  s.reportFlags = LoadReportFlags();
  return s;
}

void ApplySettings(CQ_Morvane_CommunicationFrame& session, const SettingsState& s) {
  session.v_SetOverwriteFiles(s.overwriteFiles);
  session.v_SetFileFormatForKWX(s.fileFormatForKWX);
  session.v_SetTargetLanguage(s.targetLanguage.c_str());
  session.vv_CreateTagMap(&s.reportFlags);
  session.v_SetRTFPageSize(s.rtfPageSize);
  session.v_SetMarkerPlaceholders(s.markerPlaceholders);
  session.v_SetCharacterSet(s.characterSet);
  session.v_SetSourceHyphenation(s.sourceHyphenation);
  session.v_SetSmartQuotes(s.smartQuotes);
  session.v_SetTranslationHyphenation(s.translationHyphenation);
  session.v_SetReadOnlyComponents(s.readOnlyComponents);
  session.v_SetSourceLanguage(s.sourceLanguage.c_str());
  session.v_SetSourceMarkerLength(s.markerLength.c_str());
  const char* options = CQ_Morvane_Communication::scs_RegEntryOptions.c_str();
  CQ_Morvane_Communication::sv_WriteIntToRegistry(options, kSourceSelection, s.sourceSelection);
  CQ_Morvane_Communication::sv_WriteIntToRegistry(options, kTargetSelection, s.targetSelection);
}

bool DefaultReportFlag(int index) {
  const int id = Msg::GLOSSARY_FIRST + index;
  return id == Msg::GLOSSARY_BOLD || id == Msg::GLOSSARY_BOLD_ITALICS || id == Msg::GLOSSARY_DIFFERENT_CHARACTER_SET || id == Msg::GLOSSARY_ITALICS || id == Msg::GLOSSARY_SMALL_CAPS;
}

std::vector<bool> DefaultReportFlags() {
  std::vector<bool> flags(kReportTypes);
  for (int i = 0; i < kReportTypes; ++i) flags[i] = DefaultReportFlag(i);
  return flags;
}

std::vector<bool> LoadReportFlags() {
  std::vector<bool> flags(kReportTypes);
  const char* section = CQ_Morvane_Communication::scs_RegEntryReporting.c_str();
  for (int i = 0; i < kReportTypes; ++i) {
    const char* name = lpsz_LoadKernelString(Msg::GLOSSARY_FIRST + i);
    flags[i] = CQ_Morvane_Communication::sn4_GetValueFromRegistry(section, name, DefaultReportFlag(i) ? 1 : 0) != 0;
  }
  return flags;
}

void SaveReportFlags(const std::vector<bool>& flags) {
  const char* section = CQ_Morvane_Communication::scs_RegEntryReporting.c_str();
  // Each write replaces the whole store on disk; a value already stored as
  // it should be is left alone, so all 45 end up stored at little cost.
  const unsigned long kMissing = 0xFFFFFFFFul;
  for (int i = 0; i < kReportTypes; ++i) {
    const unsigned long flag = i < static_cast<int>(flags.size()) && flags[i] ? 1 : 0;
    const char* name = lpsz_LoadKernelString(Msg::GLOSSARY_FIRST + i);
    if (CQ_Morvane_Communication::sn4_GetValueFromRegistry(section, name, kMissing) != flag) {
      CQ_Morvane_Communication::sv_WriteIntToRegistry(section, name, flag);
    }
  }
}

bool LoadClearChangeBars() {
  const char* options = CQ_Morvane_Communication::scs_RegEntryOptions.c_str();
  return CQ_Morvane_Communication::sn4_GetValueFromRegistry(options, kClearChangeBars, 0) != 0;
}

void SaveClearChangeBars(bool on) {
  const char* options = CQ_Morvane_Communication::scs_RegEntryOptions.c_str();
  const unsigned long kMissing = 0xFFFFFFFFul;
  const unsigned long value = on ? 1 : 0;
  if (CQ_Morvane_Communication::sn4_GetValueFromRegistry(options, kClearChangeBars, kMissing) != value) {
    CQ_Morvane_Communication::sv_WriteIntToRegistry(options, kClearChangeBars, value);
  }
}

unsigned IndexOf(const std::vector<std::string>& names, const std::string& name) {
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? kNoSelection : static_cast<unsigned>(it - names.begin());
}

}  // namespace brannock
