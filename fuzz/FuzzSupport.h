// What the whole-conversion fuzz targets share: scratch folders, the
// settings a fixture asks for (its settings.txt), sessions set up the way a
// command line sets them up, and reading and writing whole files.
//
// The targets run the batch drivers over files, as the program does, so
// each process keeps a scratch folder of its own (under /dev/shm when it
// exists, so the files stay in memory) and removes it when it ends.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/session/CommunicationFrame.h"

namespace fuzz {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const char* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  WriteBytes(path, bytes.data(), bytes.size());
}

// The folder temporary files go to: /dev/shm when there is one.
inline std::filesystem::path TempRoot() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// A folder of this process's own, removed at exit; its path ends with '/'.
class Scratch {
 public:
  explicit Scratch(const std::string& name) {
    path_ = (TempRoot() / (name + "." + std::to_string(::getpid()))).string() + "/";
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct Settings {
  std::string sourceLanguage = "English (US)";
  std::string targetLanguage = "English (US)";
  std::string markerLength;
  int smartQuotes = 0;
  int characterSet = 0;
  int sourceHyphenation = 1;       // "Leave As Is"
  int translationHyphenation = 1;  // "Leave As Is"
  int pageSize = 0;
  int format = 0;  // 0 text, 1 RTF
};

// A fixture's settings.txt ("key value" lines); defaults where absent.
inline Settings ReadSettings(const std::string& file) {
  Settings s;
  std::istringstream in(ReadBytes(file));
  bool targetGiven = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) continue;
    const std::string key = line.substr(0, blank);
    const std::string value = line.substr(blank + 1);
    if (key == "source-language") {
      s.sourceLanguage = value;
      if (!targetGiven) s.targetLanguage = value;
    } else if (key == "target-language") {
      s.targetLanguage = value;
      targetGiven = true;
    } else if (key == "smart-quotes") {
      s.smartQuotes = std::atoi(value.c_str());
    } else if (key == "character-set") {
      s.characterSet = std::atoi(value.c_str());
    } else if (key == "source-hyphenation") {
      s.sourceHyphenation = std::atoi(value.c_str());
    } else if (key == "translation-hyphenation") {
      s.translationHyphenation = std::atoi(value.c_str());
    } else if (key == "page-size") {
      s.pageSize = std::atoi(value.c_str());
    } else if (key == "marker-length") {
      s.markerLength = value;
    }
  }
  return s;
}

// A session with the GUI flag clear (no questions, outputs overwritten).
inline std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(const Settings& s, const std::string& orgDir,
                                                                  const std::string& translatedDir) {
  auto session = std::make_unique<CQ_Morvane_CommunicationFrame>("morvane", "3.0", false);
  session->v_SetORGFilesPath(orgDir.c_str());
  session->v_SetTranslatedFilesPath(translatedDir.c_str());
  session->v_SetFileFormatForKWX(s.format);
  session->v_SetSourceLanguage(s.sourceLanguage.c_str());
  session->v_SetTargetLanguage(s.targetLanguage.c_str());
  session->v_SetSmartQuotes(s.smartQuotes);
  session->v_SetCharacterSet(s.characterSet);
  session->v_SetSourceHyphenation(s.sourceHyphenation);
  session->v_SetTranslationHyphenation(s.translationHyphenation);
  session->v_SetRTFPageSize(s.pageSize);
  if (!s.markerLength.empty()) session->v_SetSourceMarkerLength(s.markerLength.c_str());
  return session;
}

// The batch ended with the file converted ("Done." in the results).
inline bool Done(const CQ_Morvane_Communication& session) {
  for (const std::string& line : session.rco_GetResults()) {
    if (line == "Done.") return true;
  }
  return false;
}

}  // namespace fuzz
