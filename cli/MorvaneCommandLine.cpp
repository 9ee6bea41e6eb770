// Command dispatch and option parsing for morvane.
//
// Options are read into a plain record first and checked as a whole, so a
// usage error never leaves a half-configured session behind; only then is
// the session created and the batch run. Results lines are written to the
// output stream as the session reports them; a progress line goes to the
// error stream when that stream is a terminal.
#include "MorvaneCommandLine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "System/Platform/FileSystem.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/ChangeBarClearing.h"
#include "kernel/forward/ChangeBarsOffCopies.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/Languages.h"
#include "kernel/xliff/XLIFFBridge.h"

namespace {

const char kAppName[] = "Halvex Morvane for FrameMaker";
const char kVersion[] = "3.0";

const char kUsage[] =
    "Usage: morvane COMMAND [options] FILE...\n"
    "\n"
    "Commands:\n"
    "  convert-mif [options] FILE.mif...   convert MIF files to KWX files\n"
    "  verify [options] TRANSLATED...      check translated KWX files against their sources\n"
    "  convert-kwx [options] TRANSLATED... convert translated KWX files back to MIF\n"
    "  pseudo --output-dir DIR KWX...      write pseudo-translated copies of KWX files,\n"
    "                                      to try the round trip before translation\n"
    "  to-xliff --org-dir DIR KWX...       write an XLIFF 1.2 file for each KWX file, for\n"
    "                                      translation tools\n"
    "  from-xliff --org-dir DIR XLIFF...   rebuild the KWX files from translated XLIFF files\n"
    "  message-types                       list the verifier's message types\n"
    "  prescan FILE.mif...                 list the objects the pages of MIF files show\n"
    "  clear-change-bars [--output-dir DIR] FILE.mif...\n"
    "                                      write copies of MIF files with change bars\n"
    "                                      switched off\n"
    "  languages                           list the accepted language names\n"
    "\n"
    "Options of convert-mif:\n"
    "  --org-dir DIR              where ORG copies and source KWX files go\n"
    "                             (default: the folder of the MIF files)\n"
    "  --translated-dir DIR       where the KWX files for translation go\n"
    "                             (default: the ORG folder)\n"
    "  --format rtf|txt           KWX file format (default rtf)\n"
    "  --page-size a4|letter      RTF page size (default a4)\n"
    "  --charset normal|symbol    character set of the text (default normal)\n"
    "  --source-hyphenation off|keep   soft hyphens of the source (default off)\n"
    "  --target-hyphenation off|keep   hyphenation of the translation (default off)\n"
    "  --marker-placeholders insert|none   (default insert)\n"
    "  --smart-quotes text|tags   smart quotes as text or as tags (default text)\n"
    "  --source-language NAME     (default \"English (US)\")\n"
    "  --target-language NAME     (default \"English (US)\")\n"
    "  --marker-length N          report markers of at least N characters (default 220)\n"
    "  --ancillary FILE           write the batch's ancillary file under this name\n"
    "  --no-ancillary             write no ancillary file\n"
    "  --max-mif-version 5.5|7.0|2020|modern\n"
    "                             the newest MIF version converted: 5.5 (the default)\n"
    "                             converts MIF 4.0, 5.0 and 5.5; 7.0 converts MIF 7.0\n"
    "                             as well; 2020 (or modern) converts 7.0 and the\n"
    "                             Unicode versions 8.0 to 2020 as well, their UTF-8\n"
    "                             text in the source language's code page (a character\n"
    "                             it lacks stops that file), and back conversion\n"
    "                             writes UTF-8 again. Newer versions are refused.\n"
    "  --clear-change-bars        convert documents with change bars from a copy with\n"
    "                             change bars switched off, kept in the folder\n"
    "                             change-bars-off/ of the ORG folder (by default such\n"
    "                             documents are refused)\n"
    "  By default the ancillary file is written as ancillary.rtf (or .txt) into the\n"
    "  ORG folder and, when different, the translated folder.\n"
    "\n"
    "Options of clear-change-bars:\n"
    "  --output-dir DIR           where the copies go, under the files' own names\n"
    "                             (default: beside each file, as NAME.cleared.mif)\n"
    "  The copy switches off every \"FChangeBar Yes\" and \"DAutoChBars Yes\" statement\n"
    "  and is byte for byte the same elsewhere; a file is never replaced by its copy.\n"
    "\n"
    "Options of verify:\n"
    "  --org-dir DIR              where the source KWX files are (required); each\n"
    "                             report goes beside its translated file as NAME.cmp\n"
    "  --format rtf|txt           KWX file format (default: from the files' extension)\n"
    "  --target-language NAME     language of the translation (default \"English (US)\")\n"
    "  --page-size a4|letter      paper of RTF reports (default a4)\n"
    "  --suppress TYPES           do not report these message types\n"
    "  --report TYPES             report these message types\n"
    "  --report-all               report every message type\n"
    "  TYPES is a comma-separated list of numbers from 'morvane message-types'.\n"
    "  By default bold, bold italics, different character set, italics and small\n"
    "  caps (1, 3, 4, 22, 32) are suppressed, as in the desktop program.\n"
    "\n"
    "Options of convert-kwx:\n"
    "  --org-dir DIR              where the ORG copies are (required); each MIF file\n"
    "                             goes beside its translated file\n"
    "  --ancillary FILE           the translated ancillary file (default: ancillary.rtf\n"
    "                             or ancillary.txt beside the translated files)\n"
    "  --format rtf|txt           KWX file format (default: from the files' extension)\n"
    "  --target-language NAME     language of the translation (default \"English (US)\")\n"
    "  --target-hyphenation off|keep   hyphenation of the translation (default off)\n"
    "  --replace-source           allow a MIF file to replace the source file its\n"
    "                             ORG copy was made from (refused by default)\n"
    "\n"
    "Option of convert-mif, verify and convert-kwx:\n"
    "  --jobs N                   work on N files at once, each in a process of its\n"
    "                             own (default: the number of processors); results,\n"
    "                             exit status and ancillary file are those of --jobs 1\n"
    "\n"
    "Options of to-xliff:\n"
    "  --org-dir DIR              where the source KWX files are (required); the text\n"
    "                             of a KWX file that differs from its source becomes\n"
    "                             the unit's target\n"
    "  --output-dir DIR           where NAME.rtf.xlf (or NAME.txt.xlf) goes (default:\n"
    "                             beside the KWX file)\n"
    "  --target-language NAME     language of the translation (default \"English (US)\")\n"
    "  --copy-source              give each unit without a target a copy of its source\n"
    "                             as target (for tools that translate in <target>)\n"
    "  One trans-unit stands for one KWX line (id: the line number); every tag is an\n"
    "  inline code; lines without text are units with translate=\"no\".\n"
    "\n"
    "Options of from-xliff:\n"
    "  --org-dir DIR              where the source KWX files are (required)\n"
    "  --output-dir DIR           where the KWX file goes, under its original name\n"
    "                             (default: beside the XLIFF file)\n"
    "  Each unit gives its target, or its source when it has none. A target\n"
    "  character the KWX code page cannot hold is reported with the unit id and\n"
    "  the KWX file is not written. Then run verify and convert-kwx as usual.\n"
    "\n"
    "General options:\n"
    "  -h, --help                 show this help and exit\n"
    "  --version                  show the version and exit\n"
    "\n"
    "Exit status: 0 when every file was processed without error, 1 when any\n"
    "failed (for verify: also when any file has tag errors), 2 for a usage error.\n";

struct Arguments {
  std::string command;
  std::vector<std::string> files;
  std::map<std::string, std::string> options;  // long name without "--" to value
  std::set<std::string> flags;                 // options without a value
  bool help = false;
  bool version = false;
};

// Options that take a value, per command; flags take none.
const std::map<std::string, std::set<std::string>> kValueOptions = {
    {"convert-mif",
     {"org-dir", "translated-dir", "format", "page-size", "charset", "source-hyphenation", "target-hyphenation",
      "marker-placeholders", "smart-quotes", "source-language", "target-language", "marker-length", "ancillary",
      "jobs", "max-mif-version"}},
    {"verify", {"org-dir", "format", "target-language", "page-size", "suppress", "report", "jobs"}},
    {"convert-kwx", {"org-dir", "ancillary", "format", "target-language", "target-hyphenation", "jobs"}},
    {"pseudo", {"output-dir"}},
    {"to-xliff", {"org-dir", "output-dir", "target-language"}},
    {"from-xliff", {"org-dir", "output-dir"}},
    {"message-types", {}},
    {"prescan", {}},
    {"languages", {}},
    {"clear-change-bars", {"output-dir"}},
};
const std::map<std::string, std::set<std::string>> kFlags = {
    {"pseudo", {}},
    {"to-xliff", {"copy-source"}},
    {"from-xliff", {}},
    {"convert-kwx", {"replace-source"}},
    {"convert-mif", {"no-ancillary", "clear-change-bars"}},
    {"verify", {"report-all"}},
    {"message-types", {}},
    {"prescan", {}},
    {"languages", {}},
    {"clear-change-bars", {}},
};
// Options that may be given more than once; their values are joined with
// commas.
const std::set<std::string> kRepeatable = {"suppress", "report"};

// Splits argv into the command, options and files. Returns an error text
// for a usage error.
std::string Parse(int argc, char** argv, Arguments& args) {
  bool onlyFiles = false;
  for (int i = 0; i < argc; ++i) {
    std::string word = argv[i];
    if (onlyFiles) {
      args.files.push_back(word);
      continue;
    }
    if (word == "--") {
      onlyFiles = true;
    } else if (word == "-h" || word == "--help") {
      args.help = true;
    } else if (word == "--version") {
      args.version = true;
    } else if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
      if (args.command.empty()) return "options come after the command";
      std::string name = word.substr(2), value;
      const bool inlineValue = name.find('=') != std::string::npos;
      if (inlineValue) {
        value = name.substr(name.find('=') + 1);
        name.erase(name.find('='));
      }
      const auto& values = kValueOptions.at(args.command);
      const auto& flags = kFlags.at(args.command);
      if (flags.count(name)) {
        if (inlineValue) return "option --" + name + " takes no value";
        args.flags.insert(name);
      } else if (values.count(name)) {
        if (!inlineValue) {
          if (i + 1 >= argc) return "option --" + name + " needs a value";
          value = argv[++i];
        }
        if (kRepeatable.count(name) && args.options.count(name)) {
          args.options[name] += "," + value;
        } else {
          args.options[name] = value;
        }
      } else {
        return "unknown option '" + word + "' for " + args.command;
      }
    } else if (word.size() > 1 && word[0] == '-') {
      return "unknown option '" + word + "'";
    } else if (args.command.empty()) {
      if (!kValueOptions.count(word)) return "unknown command '" + word + "'";
      args.command = word;
    } else {
      args.files.push_back(word);
    }
  }
  return std::string();
}

// A path made absolute and normal ("a/./b/../c" becomes "/cwd/a/c").
std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

// A folder as the session keeps it: absolute, ending with '/'.
std::string Folder(const std::string& dir) {
  std::string folder = Absolute(dir);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// Chooses one of two words: 0 for the first, 1 for the second.
std::optional<int> Choice(const Arguments& args, const std::string& name, const char* first, const char* second,
                          int def, std::string& error) {
  auto it = args.options.find(name);
  if (it == args.options.end()) return def;
  if (it->second == first) return 0;
  if (it->second == second) return 1;
  error = "--" + name + " takes " + first + " or " + second + ", not '" + it->second + "'";
  return std::nullopt;
}

// The newest MIF version convert-mif accepts, as the session takes it:
// 5.5 (the default), 7.0, or 2020 (also called "modern") for 7.0 and the
// Unicode versions 8.0 to 2020.
std::optional<int> HighestMIFVersion(const Arguments& args, std::string& error) {
  auto it = args.options.find("max-mif-version");
  if (it == args.options.end() || it->second == "5.5") return 55;
  if (it->second == "7.0") return 70;
  if (it->second == "2020" || it->second == "modern") return 2020;
  error = "--max-mif-version takes 5.5, 7.0, 2020 or modern, not '" + it->second + "'";
  return std::nullopt;
}

// The number of files to work on at once: --jobs N, or the number of
// processors. Empty for a value that is not a whole number from 1 to 1024.
std::optional<int> Jobs(const Arguments& args, std::string& error) {
  auto it = args.options.find("jobs");
  if (it == args.options.end()) {
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    return processors > 0 ? static_cast<int>(std::min(processors, 1024L)) : 1;
  }
  const std::string& text = it->second;
  if (!text.empty() && text.size() <= 4 && text.find_first_not_of("0123456789") == std::string::npos) {
    const int n = std::stoi(text);
    if (n >= 1 && n <= 1024) return n;
  }
  error = "--jobs takes a whole number from 1 to 1024, not '" + text + "'";
  return std::nullopt;
}

// Follows the batch: results lines as they come, a progress line on a
// terminal.
class Reporter : public CQ_Morvane_Observer {
 public:
  Reporter(CQ_Morvane_Communication& session, std::ostream& out, std::ostream& err, bool progress)
      : session_(session), out_(out), err_(err), progress_(progress) {
    session_.v_SetObserver(this);
  }
  ~Reporter() override {
    Drain();
    ClearProgress();
    session_.v_SetObserver(nullptr);
  }

  void v_ProgressStep(bool) override {
    if (!progress_) return;
    ++done_;
    const int total = done_ + std::max(0, session_.i_GetBatchProgressIndicator());
    err_ << "\r[" << (total ? done_ * 100 / total : 100) << "%] " << session_.lpsz_GetCurrentFileName() << "\x1b[K"
         << std::flush;
    shown_ = true;
  }
  void v_ResultsWaiting() override { Drain(); }

  void Drain() {
    char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
    bool any = false;
    while (session_.b_GetNextMessage(buffer)) {
      if (!any) ClearProgress();
      any = true;
      out_ << buffer << '\n';
    }
    if (any) out_.flush();
  }

 private:
  void ClearProgress() {
    if (shown_) err_ << "\r\x1b[K" << std::flush;
    shown_ = false;
  }
  CQ_Morvane_Communication& session_;
  std::ostream& out_;
  std::ostream& err_;
  bool progress_;
  bool shown_ = false;
  int done_ = 0;
};

// Every listed file was processed, and none failed.
bool BatchSucceeded(const CQ_Morvane_Communication& session, std::size_t files) {
  return session.i_GetBatchFailed() == 0 && session.i_GetBatchProcessed() == static_cast<int>(files);
}

// For convert-mif --clear-change-bars: each document with change bars on is
// converted from a copy with change bars switched off in the ORG folder
// (CQ_ChangeBarsOffCopies); the copies are reported before the batch.
// Returns false, after saying which copy could not be written, when none
// may be converted.
bool ClearChangeBarsBeforeConversion(CQ_StringList& paths, const std::string& orgFolder, std::ostream& out,
                                     std::ostream& err) {
  const st_ChangeBarsOffBatch batch = CQ_ChangeBarsOffCopies::sc_UseCopies(paths, orgFolder);
  for (const st_ChangeBarsOffCopy& copy : batch.copies) {
    for (const std::string& line : copy.ccs_ResultsLines()) out << line << '\n';
  }
  if (batch.b_Failed()) {
    err << "morvane convert-mif: cannot write the copy without change bars " << batch.failedCopy << ": "
        << batch.failure << '\n';
    return false;
  }
  return true;
}

int RunConvertMIF(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane convert-mif: no MIF file given\n";
    return 2;
  }
  std::string error;
  auto format = Choice(args, "format", "txt", "rtf", 1, error);
  auto pageSize = Choice(args, "page-size", "a4", "letter", 0, error);
  auto charset = Choice(args, "charset", "normal", "symbol", 0, error);
  auto sourceHyphenation = Choice(args, "source-hyphenation", "off", "keep", 0, error);
  auto targetHyphenation = Choice(args, "target-hyphenation", "off", "keep", 0, error);
  auto placeholders = Choice(args, "marker-placeholders", "insert", "none", 0, error);
  auto quotes = Choice(args, "smart-quotes", "text", "tags", 0, error);
  auto maxVersion = HighestMIFVersion(args, error);
  auto jobs = Jobs(args, error);
  if (!error.empty()) {
    err << "morvane convert-mif: " << error << '\n';
    return 2;
  }
  const auto option = [&](const char* name, const char* def) {
    auto it = args.options.find(name);
    return it == args.options.end() ? std::string(def) : it->second;
  };
  const std::string markerLength = option("marker-length", "220");
  if (markerLength.empty() || markerLength.find_first_not_of("0123456789") != std::string::npos ||
      markerLength.size() > 9) {
    err << "morvane convert-mif: --marker-length takes a whole number, not '" << markerLength << "'\n";
    return 2;
  }
  if (args.flags.count("no-ancillary") && args.options.count("ancillary")) {
    err << "morvane convert-mif: --ancillary and --no-ancillary exclude each other\n";
    return 2;
  }
  const std::string sourceLanguage = option("source-language", "English (US)");
  const std::string targetLanguage = option("target-language", "English (US)");
  for (const auto& [sourceSide, name] : {std::pair{true, sourceLanguage}, std::pair{false, targetLanguage}}) {
    const auto names = ccs_OfferedLanguageNames(sourceSide);
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      err << "morvane convert-mif: unknown " << (sourceSide ? "source" : "target") << " language '" << name
          << "'; the names are:\n";
      for (const std::string& n : names) err << "  " << n << '\n';
      return 2;
    }
  }

  CQ_StringList paths;
  std::set<std::string> folders;
  for (const std::string& file : args.files) {
    paths.push_back(Absolute(file));
    folders.insert(Platform::DirectoryOf(paths.back()));
  }
  if (!args.options.count("org-dir") && folders.size() > 1) {
    err << "morvane convert-mif: the MIF files lie in several folders; name the output folder with --org-dir\n";
    return 2;
  }
  const std::string orgFolder = args.options.count("org-dir") ? Folder(args.options.at("org-dir")) : *folders.begin();
  const std::string translatedFolder =
      args.options.count("translated-dir") ? Folder(args.options.at("translated-dir")) : orgFolder;
  for (const std::string& folder : {orgFolder, translatedFolder}) {
    if (!CQ_Morvane_Communication::b_VerifyPath(folder)) {
      err << "morvane convert-mif: the folder '" << folder << "' does not exist\n";
      return 2;
    }
  }

  if (args.flags.count("clear-change-bars") && !ClearChangeBarsBeforeConversion(paths, orgFolder, out, err)) return 1;

  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  session.v_SetSourceLanguage(sourceLanguage.c_str());
  session.v_SetTargetLanguage(targetLanguage.c_str());
  session.v_SetFileFormatForKWX(*format);
  session.v_SetRTFPageSize(*pageSize);
  session.v_SetCharacterSet(*charset);
  session.v_SetSourceHyphenation(*sourceHyphenation);
  session.v_SetTranslationHyphenation(*targetHyphenation);
  session.v_SetMarkerPlaceholders(*placeholders);
  session.v_SetSmartQuotes(*quotes);
  session.v_SetHighestMIFVersion(*maxVersion);
  session.v_SetSourceMarkerLength(markerLength.c_str());
  session.v_SetORGFilesPath(orgFolder.c_str());
  session.v_SetTranslatedFilesPath(translatedFolder.c_str());
  session.v_SetBatchProgressIndicator(static_cast<int>(paths.size()) * 8);
  session.v_SetParallelJobs(*jobs);

  Reporter reporter(session, out, err, isatty(STDERR_FILENO));
  session.v_ConvertMIF(&paths);
  bool ok = BatchSucceeded(session, paths.size());

  // The ancillary file, as the desktop front end offers it: only when at
  // least one file was converted.
  if (session.i_GetBatchProcessed() > session.i_GetBatchFailed() && !args.flags.count("no-ancillary")) {
    const bool written = args.options.count("ancillary")
                             ? session.b_CreateAncillaryFile(Absolute(args.options.at("ancillary")))
                             : session.b_CreateAncillaryFile();
    if (!written) {
      session.v_AddStringMessage(Msg::ANCILLARY_NOT_CREATED);
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

// The KWX format of a list of files: text when every name ends in ".txt".
int FormatFromNames(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const std::string name = Platform::FileNameOf(file);
    if (name.size() <= 4 || !Platform::SamePathIgnoringCase(name.substr(name.size() - 4), ".txt")) return 1;
  }
  return 0;
}

// A known target language, or a usage error listing the names.
bool CheckTargetLanguage(const char* command, const std::string& name, std::ostream& err) {
  const auto names = ccs_OfferedLanguageNames(false);
  if (std::find(names.begin(), names.end(), name) != names.end()) return true;
  err << "morvane " << command << ": unknown target language '" << name << "'; the names are:\n";
  for (const std::string& n : names) err << "  " << n << '\n';
  return false;
}

// Message types as numbered in the list (1 to 45), from a comma-separated
// list. Returns false for an entry that is not such a number.
bool MessageTypes(const std::string& list, std::vector<unsigned>& types, std::string& bad) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const bool number = !item.empty() && item.size() <= 2 && item.find_first_not_of("0123456789") == std::string::npos;
    const unsigned value = number ? static_cast<unsigned>(std::stoul(item)) : 0;
    if (value < 1 || value > CQ_Morvane_CommunicationFrame::sacs_CustomiseFrame.size()) {
      bad = item;
      return false;
    }
    types.push_back(value - 1);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

int RunMessageTypes(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (!args.files.empty()) {
    err << "morvane message-types: takes no files\n";
    return 2;
  }
  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  session.v_RestoreVerifierReportDefaults();
  for (unsigned i = 0; i < CQ_Morvane_CommunicationFrame::sacs_CustomiseFrame.size(); ++i) {
    out << (i + 1 < 10 ? " " : "") << i + 1 << "  " << lpsz_LoadKernelString(Msg::GLOSSARY_FIRST + i)
        << (session.b_GetVerifierReportOption(i) ? "  (suppressed by default)" : "") << '\n';
  }
  return 0;
}

int RunVerify(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane verify: no translated KWX file given\n";
    return 2;
  }
  if (!args.options.count("org-dir")) {
    err << "morvane verify: name the folder of the source KWX files with --org-dir\n";
    return 2;
  }
  std::string error;
  // Without --format, the files' own extension decides.
  auto format = Choice(args, "format", "txt", "rtf", FormatFromNames(args.files), error);
  auto pageSize = Choice(args, "page-size", "a4", "letter", 0, error);
  auto jobs = Jobs(args, error);
  std::vector<unsigned> suppress, report;
  std::string bad;
  if (args.options.count("suppress") && !MessageTypes(args.options.at("suppress"), suppress, bad)) {
    error = "--suppress takes message type numbers from 1 to 45, not '" + bad + "'";
  }
  if (args.options.count("report") && !MessageTypes(args.options.at("report"), report, bad)) {
    error = "--report takes message type numbers from 1 to 45, not '" + bad + "'";
  }
  if (!error.empty()) {
    err << "morvane verify: " << error << '\n';
    return 2;
  }
  const std::string targetLanguage =
      args.options.count("target-language") ? args.options.at("target-language") : "English (US)";
  if (!CheckTargetLanguage("verify", targetLanguage, err)) return 2;
  const std::string orgFolder = Folder(args.options.at("org-dir"));
  if (!CQ_Morvane_Communication::b_VerifyPath(orgFolder)) {
    err << "morvane verify: the folder '" << orgFolder << "' does not exist\n";
    return 2;
  }

  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  session.v_ResetBatch();
  session.v_SetFileFormatForKWX(*format);
  session.v_SetRTFPageSize(*pageSize);
  session.v_SetTargetLanguage(targetLanguage.c_str());
  session.v_SetORGFilesPath(orgFolder.c_str());
  if (!args.flags.count("report-all")) session.v_RestoreVerifierReportDefaults();
  for (unsigned type : suppress) session.v_SetVerifierReportOption(type, true);
  for (unsigned type : report) session.v_SetVerifierReportOption(type, false);

  CQ_StringList paths;
  for (const std::string& file : args.files) paths.push_back(Absolute(file));
  session.v_SetBatchProgressIndicator(static_cast<int>(paths.size()) * 24);
  session.v_SetParallelJobs(*jobs);
  Reporter reporter(session, out, err, isatty(STDERR_FILENO));
  session.v_VerifyVarnels(&paths);
  // Tag errors stop back conversion, so a script must see them.
  return BatchSucceeded(session, paths.size()) && session.i_GetBatchFilesWithTagErrors() == 0 ? 0 : 1;
}

int RunConvertKWX(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane convert-kwx: no translated KWX file given\n";
    return 2;
  }
  if (!args.options.count("org-dir")) {
    err << "morvane convert-kwx: name the folder of the ORG copies with --org-dir\n";
    return 2;
  }
  std::string error;
  auto format = Choice(args, "format", "txt", "rtf", FormatFromNames(args.files), error);
  auto hyphenation = Choice(args, "target-hyphenation", "off", "keep", 0, error);
  auto jobs = Jobs(args, error);
  if (!error.empty()) {
    err << "morvane convert-kwx: " << error << '\n';
    return 2;
  }
  const std::string targetLanguage =
      args.options.count("target-language") ? args.options.at("target-language") : "English (US)";
  if (!CheckTargetLanguage("convert-kwx", targetLanguage, err)) return 2;
  const std::string orgFolder = Folder(args.options.at("org-dir"));
  if (!CQ_Morvane_Communication::b_VerifyPath(orgFolder)) {
    err << "morvane convert-kwx: the folder '" << orgFolder << "' does not exist\n";
    return 2;
  }

  CQ_StringList paths;
  for (const std::string& file : args.files) paths.push_back(Absolute(file));
  // The translated files' ancillary file, where the desktop program looks
  // for it: beside them.
  const std::string ancillary =
      args.options.count("ancillary")
          ? Absolute(args.options.at("ancillary"))
          : Platform::DirectoryOf(paths.front()) + "ancillary" + (*format == 1 ? ".rtf" : ".txt");

  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  session.v_ResetBatch();
  session.v_SetFileFormatForKWX(*format);
  session.v_SetTargetLanguage(targetLanguage.c_str());
  session.v_SetTranslationHyphenation(*hyphenation);
  session.v_SetReplaceSourceFiles(args.flags.count("replace-source") != 0);
  session.v_SetORGFilesPath(orgFolder.c_str());
  session.v_SetBatchProgressIndicator(static_cast<int>(paths.size()) * 24);
  session.v_SetParallelJobs(*jobs);
  Reporter reporter(session, out, err, isatty(STDERR_FILENO));
  session.v_ConvertKWX(&paths, ancillary.c_str());
  return BatchSucceeded(session, paths.size()) ? 0 : 1;
}

int RunPseudo(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane pseudo: no KWX file given\n";
    return 2;
  }
  if (!args.options.count("output-dir")) {
    err << "morvane pseudo: name the folder for the copies with --output-dir\n";
    return 2;
  }
  const std::string folder = Folder(args.options.at("output-dir"));
  if (!CQ_Morvane_Communication::b_VerifyPath(folder)) {
    err << "morvane pseudo: the folder '" << folder << "' does not exist\n";
    return 2;
  }
  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  bool ok = true;
  for (const std::string& file : args.files) {
    const std::string in = Absolute(file);
    const std::string outPath = folder + Platform::FileNameOf(in);
    if (outPath == in) {
      err << "morvane pseudo: " << in << " would be replaced by its own copy; choose another --output-dir\n";
      return 2;
    }
    if (session.b_PseudoTranslateFile(in, outPath)) {
      out << "Pseudo-translated " << in << "\n  into " << outPath << '\n';
      continue;
    }
    // The reasons are the string table's lines of the failure.
    out << "Could not pseudo-translate " << in << ":\n";
    char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
    while (session.b_GetNextMessage(buffer)) out << buffer << '\n';
    ok = false;
  }
  return ok ? 0 : 1;
}

// The folder of --name, or an empty string after a usage error.
std::string ExistingFolder(const Arguments& args, const char* command, const char* name, std::ostream& err) {
  const std::string folder = Folder(args.options.at(name));
  if (!CQ_Morvane_Communication::b_VerifyPath(folder)) {
    err << "morvane " << command << ": the folder '" << folder << "' does not exist\n";
    return std::string();
  }
  return folder;
}

void PrintProblems(const std::vector<st_XLIFFProblem>& problems, std::ostream& out) {
  for (const st_XLIFFProblem& p : problems) {
    out << "  " << (p.cs_UnitId.empty() ? "" : "unit " + p.cs_UnitId + ": ") << p.cs_Text << '\n';
  }
}

int RunToXLIFF(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane to-xliff: no KWX file given\n";
    return 2;
  }
  if (!args.options.count("org-dir")) {
    err << "morvane to-xliff: name the folder of the source KWX files with --org-dir\n";
    return 2;
  }
  const std::string targetLanguage =
      args.options.count("target-language") ? args.options.at("target-language") : "English (US)";
  if (!CheckTargetLanguage("to-xliff", targetLanguage, err)) return 2;
  const std::string orgFolder = ExistingFolder(args, "to-xliff", "org-dir", err);
  if (orgFolder.empty()) return 2;
  std::string outputFolder;
  if (args.options.count("output-dir")) {
    outputFolder = ExistingFolder(args, "to-xliff", "output-dir", err);
    if (outputFolder.empty()) return 2;
  }
  bool ok = true;
  for (const std::string& file : args.files) {
    const std::string in = Absolute(file);
    const std::string xliff =
        (outputFolder.empty() ? Platform::DirectoryOf(in) : outputFolder) + Platform::FileNameOf(in) + ".xlf";
    std::vector<st_XLIFFProblem> problems;
    const bool written =
        sb_KWXFileToXLIFF(in, orgFolder, targetLanguage, xliff, problems, args.flags.count("copy-source") > 0);
    out << (written ? "Wrote " + xliff + "\n  from " + in : "Could not write XLIFF for " + in) << '\n';
    PrintProblems(problems, out);
    ok = ok && written;
  }
  return ok ? 0 : 1;
}

int RunFromXLIFF(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane from-xliff: no XLIFF file given\n";
    return 2;
  }
  if (!args.options.count("org-dir")) {
    err << "morvane from-xliff: name the folder of the source KWX files with --org-dir\n";
    return 2;
  }
  const std::string orgFolder = ExistingFolder(args, "from-xliff", "org-dir", err);
  if (orgFolder.empty()) return 2;
  std::string outputFolder;
  if (args.options.count("output-dir")) {
    outputFolder = ExistingFolder(args, "from-xliff", "output-dir", err);
    if (outputFolder.empty()) return 2;
  }
  bool ok = true;
  for (const std::string& file : args.files) {
    const std::string in = Absolute(file);
    const std::string folder = outputFolder.empty() ? Platform::DirectoryOf(in) : outputFolder;
    if (Platform::SamePathIgnoringCase(folder, orgFolder)) {
      // The rebuilt file would replace its own source.
      err << "morvane from-xliff: " << in << " would be rebuilt into the ORG folder, over its source; "
          << "choose another --output-dir\n";
      return 2;
    }
    std::vector<st_XLIFFProblem> problems;
    std::string kwx;
    const bool written = sb_XLIFFFileToKWX(in, folder, kwx, problems);
    out << (written ? "Wrote " + kwx + "\n  from " + in : "Could not rebuild the KWX file of " + in) << '\n';
    if (written && !std::filesystem::exists(orgFolder + Platform::FileNameOf(kwx))) {
      problems.push_back({"", "no source file " + orgFolder + Platform::FileNameOf(kwx) + " to verify against"});
    }
    PrintProblems(problems, out);
    ok = ok && written;
  }
  return ok ? 0 : 1;
}

int RunPrescan(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane prescan: no MIF file given\n";
    return 2;
  }
  CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
  bool allRead = true;
  for (const std::string& file : args.files) {
    session.v_ResetBatch();
    const bool read = session.b_FindMIFObjects(file);
    char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
    while (session.b_GetNextMessage(buffer)) out << buffer << '\n';
    if (!read) {
      allRead = false;
      continue;
    }
    std::vector<std::string> objects = session.ccs_GetVisibleMIFObjects();
    std::sort(objects.begin(), objects.end());
    out << file << ": " << objects.size() << " visible object(s)\n";
    for (const std::string& object : objects) out << "  " << object << '\n';
  }
  return allRead ? 0 : 1;
}

int RunClearChangeBars(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.files.empty()) {
    err << "morvane clear-change-bars: no MIF file given\n";
    return 2;
  }
  std::string folder;
  if (args.options.count("output-dir")) {
    folder = Folder(args.options.at("output-dir"));
    if (!CQ_Morvane_Communication::b_VerifyPath(folder)) {
      err << "morvane clear-change-bars: the folder '" << folder << "' does not exist\n";
      return 2;
    }
  }
  std::vector<std::pair<std::string, std::string>> jobs;  // source, copy
  for (const std::string& file : args.files) {
    const std::string in = Absolute(file);
    std::string copy;
    if (folder.empty()) {
      const std::string name = Platform::FileNameOf(in);
      const std::size_t dot = name.rfind('.');
      copy = Platform::DirectoryOf(in) + (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) +
             ".cleared.mif";
    } else {
      copy = folder + Platform::FileNameOf(in);
    }
    std::error_code ec;
    if (copy == in || std::filesystem::equivalent(in, copy, ec)) {
      err << "morvane clear-change-bars: " << in << " would be replaced by its own copy; choose another --output-dir\n";
      return 2;
    }
    jobs.emplace_back(in, copy);
  }
  bool ok = true;
  for (const auto& [in, copy] : jobs) {
    try {
      std::size_t cleared = 0;
      if (!CQ_ChangeBarClearing::sb_ClearFile(in, copy, cleared)) {
        out << "Could not read " << in << " as a MIF file; no copy written.\n";
        ok = false;
      } else if (cleared == 0) {
        out << "No change bars in " << in << "; copied unchanged\n  into " << copy << '\n';
      } else {
        out << "Change bars switched off (" << cleared << " statement" << (cleared == 1 ? "" : "s") << ") in " << in
            << "\n  into " << copy << '\n';
      }
    } catch (const Platform::CQ_FileException& e) {
      CQ_Morvane_CommunicationFrame session(kAppName, kVersion, false);
      session.v_FileErrorReporting(&e);
      char buffer[CQ_Morvane_Communication::RESULT_BUFFER_SIZE];
      while (session.b_GetNextMessage(buffer)) out << buffer << '\n';
      ok = false;
    } catch (const std::exception& e) {
      out << e.what() << '\n';
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

int RunLanguages(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (!args.files.empty()) {
    err << "morvane languages: takes no files\n";
    return 2;
  }
  const std::vector<std::string> source = ccs_OfferedLanguageNames(true);
  const std::vector<std::string> target = ccs_OfferedLanguageNames(false);
  const std::set<std::string> targetSet(target.begin(), target.end());
  for (const std::string& name : source) {
    out << name << (targetSet.count(name) ? "" : "  (source only)") << '\n';
  }
  return 0;
}

}  // namespace

int i_RunMorvane(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Arguments args;
  const std::string error = Parse(argc, argv, args);
  if (!error.empty()) {
    err << "morvane: " << error << "\n\n" << kUsage;
    return 2;
  }
  if (args.help) {
    out << kUsage;
    return 0;
  }
  if (args.version) {
    out << "morvane (" << kAppName << ") " << kVersion << '\n';
    return 0;
  }
  if (args.command == "convert-mif") return RunConvertMIF(args, out, err);
  if (args.command == "verify") return RunVerify(args, out, err);
  if (args.command == "convert-kwx") return RunConvertKWX(args, out, err);
  if (args.command == "pseudo") return RunPseudo(args, out, err);
  if (args.command == "to-xliff") return RunToXLIFF(args, out, err);
  if (args.command == "from-xliff") return RunFromXLIFF(args, out, err);
  if (args.command == "message-types") return RunMessageTypes(args, out, err);
  if (args.command == "prescan") return RunPrescan(args, out, err);
  if (args.command == "languages") return RunLanguages(args, out, err);
  if (args.command == "clear-change-bars") return RunClearChangeBars(args, out, err);
  err << "morvane: no command given\n\n" << kUsage;
  return 2;
}
