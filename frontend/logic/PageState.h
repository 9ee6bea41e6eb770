// What the Paths and Settings pages hold, how they are loaded from and
// written into the session and the settings store, and the checks their
// fields must pass. No widget code: the pages copy these records to and
// from their controls.
#pragma once

#include <optional>
#include <string>
#include <vector>

class CQ_Morvane_Communication;
class CQ_Morvane_CommunicationFrame;

namespace brannock {

inline constexpr int kReportTypes = 45;  // verifier message types 19200 to 19244
inline constexpr int kMaxMarkerLength = 255;
// A stored list selection that selects nothing.
inline constexpr unsigned kNoSelection = 1000;

// A folder as the session keeps it: ending with '/'. An empty text stays
// empty.
std::string WithTrailingSeparator(const std::string& path);

// Two folders compared without regard to ASCII case and to a trailing '/'.
bool SameFolder(const std::string& a, const std::string& b);

// True when text is a source marker length: digits only, 1 to 255.
bool ValidMarkerLength(const std::string& text);

// Swaps the first and last entry of a chosen list of two or more files when
// the first is not alphabetically before the last (a file dialog reports
// the last clicked file first).
void SwapFirstAndLast(std::vector<std::string>& files);

// Leaves out files named "ancillary.txt" or "ancillary.rtf" (any case);
// they cannot be converted on their own.
std::vector<std::string> WithoutAncillaryFiles(const std::vector<std::string>& files);

// The Paths page.
struct PathsState {
  std::string source, org, translated;  // folders ending with '/'
  bool duringSession = true;
  bool betweenSessions = true;
};

// The page as the session holds it after reading the store.
PathsState LoadPaths(const CQ_Morvane_Communication& session);
// Writes the keep-path flags and the paths into the session. Paths are kept
// for the run while "During Session" is set; the store keeps them between
// runs only while "Between Sessions" is set (the session writes the root
// folder otherwise).
void ApplyPaths(CQ_Morvane_Communication& session, const PathsState& paths);
// The index (0 source, 1 ORG, 2 translated) of the first path that is not
// an enterable folder, or nothing when all are (checked only while "During
// Session" is set).
std::optional<int> FirstMissingPath(const PathsState& paths);

// The Settings page.
struct SettingsState {
  int overwriteFiles = 0;
  int fileFormatForKWX = 1;
  int rtfPageSize = 0;
  int characterSet = 0;
  int sourceHyphenation = 0;
  int translationHyphenation = 0;
  int markerPlaceholders = 0;
  int smartQuotes = 0;
  int readOnlyComponents = 1;
  std::string sourceLanguage = "English (US)";
  std::string targetLanguage = "English (US)";
  std::string markerLength = "220";
  unsigned sourceSelection = kNoSelection;  // index in the offered source names
  unsigned targetSelection = kNoSelection;
  std::vector<bool> reportFlags = std::vector<bool>(kReportTypes, false);  // true: suppressed
};

// The page's values: the session's settings (an empty language becomes
// "English (US)", an empty marker length "220"), the stored list selections
// and the stored report flags.
SettingsState LoadSettings(const CQ_Morvane_Communication& session);
// Writes the page into the session (tag map included) and stores the two
// list selections.
void ApplySettings(CQ_Morvane_CommunicationFrame& session, const SettingsState& settings);

// The default of report flag i (0-based): suppressed for bold, bold
// italics, different character set, italics and small caps.
bool DefaultReportFlag(int index);
std::vector<bool> DefaultReportFlags();
// The flags as stored in the REPORTING section (one DWORD per message type,
// named by its text); a missing value takes its default.
std::vector<bool> LoadReportFlags();
// Writes all 45 values.
void SaveReportFlags(const std::vector<bool>& flags);

// The "Clear change bars" choice of the Convert MIF confirmation as stored
// (value CLEAR_CHANGE_BARS of the OPTIONS section); off when missing.
bool LoadClearChangeBars();
// Stores the choice (nothing is written when it is stored already).
void SaveClearChangeBars(bool on);

// The index of a name in a list, or kNoSelection.
unsigned IndexOf(const std::vector<std::string>& names, const std::string& name);

}  // namespace brannock
