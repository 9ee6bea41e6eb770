// The batch flows of the three batch pages. Each runs: reset the session,
// copy the Paths and Settings pages into it, choose files, confirm the
// folders, size the bars, run the driver, then clear the running state
// whatever happened. The driver itself reports through the session's
// results queue and its UI window; this file only prepares and tidies up.
#include "BatchFlow.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>

#include "FrontEndStrings.h"
#include "System/Platform/FileException.h"
#include "System/Platform/FileSystem.h"
#include "System/Platform/WindowServices.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace brannock {
namespace {

bool HasExtension(const std::string& path, const std::string& extension) {
  if (path.size() < extension.size()) return false;
  return Platform::SamePathIgnoringCase(path.substr(path.size() - extension.size()), extension);
}

// Dropped files of the page's kind, from the folder of the first one (a
// batch works in one source folder), in alphabetical order.
FileChoice ChoiceFromDrop(const std::vector<std::string>& dropped, const std::string& extension) {
  FileChoice choice;
  for (const std::string& file : dropped) {
    if (!HasExtension(file, extension)) continue;
    const std::string folder = Platform::DirectoryOf(file);
    if (choice.files.empty()) choice.folder = folder;
    if (folder == choice.folder) choice.files.push_back(file);
  }
  std::sort(choice.files.begin(), choice.files.end());
  return choice;
}

}  // namespace

Dialogs::~Dialogs() = default;

std::vector<std::string> ConfirmRequest::FieldValues() const {
  std::vector<std::string> values;
  for (const Item& item : items) {
    if (item.field) values.push_back(item.value);
  }
  return values;
}

std::vector<bool> ConfirmRequest::CheckStates() const {
  std::vector<bool> states;
  for (const Item& item : items) {
    if (item.check) states.push_back(item.checked);
  }
  return states;
}

int StepsPerFile(BatchKind kind) { return kind == BatchKind::ConvertMIF ? 8 : 24; }

BatchFlow::BatchFlow(CQ_Morvane_CommunicationFrame& session, Dialogs& dialogs)
    : m_session(session), m_dialogs(dialogs) {}

std::string BatchFlow::App() const { return m_session.ccs_GetAppName(); }

ConfirmRequest BatchFlow::MakeConfirmation(BatchKind kind, int count, const std::string& chosenFolder) {
  ConfirmRequest request;
  auto line = [&](const std::string& text) { request.items.push_back({text, false, {}}); };
  auto field = [&](unsigned browseTitle, const std::string& value) {
    request.items.push_back({LoadString(browseTitle), true, value});
  };
  auto exists = [](const std::string& folder) { return CQ_Morvane_Communication::b_VerifyPath(folder); };
  const std::string org = m_session.lpsz_GetORGFilesPath();
  const std::string translated = m_session.lpsz_GetTranslatedFilesPath();
  switch (kind) {
    case BatchKind::ConvertMIF:
      request.title = LoadString(brannock::Text::CONFIRM_MIF_TITLE);
      request.helpTopic = "convert-mif";
      line(FormatString(brannock::Text::MIF_FILES_TO_CONVERT, count));
      line(LoadString(brannock::Text::CONFIRM_MIF_OUTPUT_FOLDER));
      line(LoadString(brannock::Text::CONFIRM_MIF_OVERWRITE));
      field(brannock::Text::FOLDER_SOURCE_KWX_ORG, org);
      line(LoadString(brannock::Text::CONFIRM_MIF_COPY_FOLDER));
      field(brannock::Text::FOLDER_TRANSLATED, translated);
      request.items.push_back({LoadString(brannock::Text::CONFIRM_MIF_CLEAR_CHANGE_BARS), false, {}, true, LoadClearChangeBars()});
      request.validate = [exists, chosenFolder](const std::vector<std::string>& v) -> std::optional<Refusal> {
        for (int i = 0; i < 2; ++i) {
          if (!exists(v[i])) return Refusal{i, LoadString(brannock::Text::FOLDER_MISSING)};
        }
        for (int i = 0; i < 2; ++i) {
          if (SameFolder(v[i], chosenFolder)) return Refusal{i, FormatString(brannock::Text::MIF_KWX_FOLDER_IS_SOURCE, chosenFolder.c_str())};
        }
        return std::nullopt;
      };
      break;
    case BatchKind::ConvertKWX:
      request.title = LoadString(brannock::Text::CONFIRM_KWX_TITLE);
      request.helpTopic = "convert-kwx";
      line(FormatString(brannock::Text::KWX_FILES_TO_CONVERT, count));
      line(LoadString(brannock::Text::CONFIRM_KWX_ORG_FOLDER));
      field(brannock::Text::FOLDER_SOURCE_KWX_ORG, org);
      line(LoadString(brannock::Text::CONFIRM_KWX_OUTPUT_FOLDER));
      line(translated);
      line(LoadString(brannock::Text::CONFIRM_KWX_OVERWRITE));
      request.validate = [exists](const std::vector<std::string>& v) -> std::optional<Refusal> {
        if (!exists(v[0])) return Refusal{0, LoadString(brannock::Text::FOLDER_MISSING)};
        return std::nullopt;
      };
      break;
    case BatchKind::VerifyVarnels:
      request.title = LoadString(brannock::Text::CONFIRM_VERIFY_TITLE);
      request.helpTopic = "verify-varnels";
      line(FormatString(brannock::Text::CONFIRM_VERIFY_FILES, count));
      line(LoadString(brannock::Text::CONFIRM_VERIFY_SOURCE_FOLDER));
      field(brannock::Text::FOLDER_SOURCE_KWX_ORG, org);
      line(LoadString(brannock::Text::CONFIRM_VERIFY_LOG_FILES));
      line(translated);
      line(LoadString(brannock::Text::CONFIRM_VERIFY_OVERWRITE));
      request.validate = [exists, chosenFolder](const std::vector<std::string>& v) -> std::optional<Refusal> {
        if (!exists(v[0])) return Refusal{0, LoadString(brannock::Text::FOLDER_MISSING)};
        if (SameFolder(v[0], chosenFolder)) return Refusal{0, LoadString(brannock::Text::VERIFY_TWO_FOLDERS)};
        return std::nullopt;
      };
      break;
  }
  return request;
}

bool BatchFlow::Run(BatchKind kind, PathsState& paths, const SettingsState& settings,
                    const std::vector<std::string>* dropped, const FlowHooks& hooks) {
  m_session.v_ResetBatch();
  if (hooks.resetBars) hooks.resetBars(0, 0);
  ApplyPaths(m_session, paths);
  ApplySettings(m_session, settings);
  m_session.v_SetRunningTask(true);
  if (hooks.setBusy) hooks.setBusy(true);

  // Whatever happens below, the page is usable again afterwards.
  struct Finish {
    CQ_Morvane_CommunicationFrame& session;
    const FlowHooks& hooks;
    ~Finish() {
      session.v_SetRunningTask(false);
      session.v_SetUserCancelled(false);
      session.v_SetVerificationErrors(0);
      session.v_SetVerificationAlerts(0);
      session.v_SetVerificationWarnings(0);
      if (hooks.setBusy) hooks.setBusy(false);
    }
  } finish{m_session, hooks};

  const bool rtf = settings.fileFormatForKWX == 1;
  const std::string kwxFilter = LoadString(rtf ? brannock::Text::FILTER_RTF : brannock::Text::FILTER_TXT);
  const std::string& root = CQ_Morvane_Communication::scs_RootDir;
  unsigned helpId = 256, title = brannock::Text::MIF_CHOOSE_TITLE;
  std::string filter = LoadString(brannock::Text::FILTER_MIF), start = m_session.lpsz_GetSourceFilesPath(), extension = ".mif";
  if (kind != BatchKind::ConvertMIF) {
    helpId = kind == BatchKind::ConvertKWX ? 512 : 768;
    title = kind == BatchKind::ConvertKWX ? brannock::Text::KWX_CHOOSE_TITLE : brannock::Text::VERIFY_CHOOSE_TITLE;
    filter = kwxFilter;
    start = m_session.lpsz_GetTranslatedFilesPath();
    extension = rtf ? ".rtf" : ".txt";
  }
  if (!paths.duringSession) start = root;
  m_session.v_SetFileDialogHelpID(helpId);

  FileChoice choice;
  if (dropped) {
    choice = ChoiceFromDrop(*dropped, extension);
  } else if (!m_dialogs.ChooseFiles(LoadString(title), filter, start, choice)) {
    return false;
  }
  std::vector<std::string> files = choice.files;
  if (files.empty()) return false;
  SwapFirstAndLast(files);
  const std::string folder = WithTrailingSeparator(choice.folder.empty() ? Platform::DirectoryOf(files.front())
                                                                          : choice.folder);
  if (kind == BatchKind::ConvertMIF) {
    m_session.v_SetSourceFilesPath(folder.c_str());
  } else {
    m_session.v_SetTranslatedFilesPath(folder.c_str());
  }
  if (kind == BatchKind::ConvertKWX) {
    files = WithoutAncillaryFiles(files);
    if (files.empty()) {
      m_dialogs.MessageBox(LoadString(brannock::Text::KWX_ANCILLARY_ALONE), App(), Platform::MB_OK | Platform::MB_ICONSTOP);
      return false;
    }
  }

  const int count = static_cast<int>(files.size());
  m_lastConfirmation = MakeConfirmation(kind, count, folder);
  if (!m_dialogs.Confirm(m_lastConfirmation)) return false;
  const std::vector<std::string> values = m_lastConfirmation.FieldValues();
  // A script or a dialog that skipped the checks must not start a batch
  // the checks refuse.
  if (m_lastConfirmation.validate && m_lastConfirmation.validate(values)) return false;
  const std::string org = WithTrailingSeparator(values[0]);
  m_session.v_SetORGFilesPath(org.c_str());
  if (kind == BatchKind::ConvertMIF) {
    m_session.v_SetTranslatedFilesPath(WithTrailingSeparator(values[1]).c_str());
    const std::vector<bool> checks = m_lastConfirmation.CheckStates();
    const bool clearChangeBars = checks.size() > kClearChangeBarsCheck && checks[kClearChangeBarsCheck];
    SaveClearChangeBars(clearChangeBars);
    m_session.v_SetClearChangeBars(clearChangeBars);
  }

  if (paths.duringSession) {
    if (kind == BatchKind::ConvertMIF) paths.source = folder;
    paths.org = org;
    paths.translated = m_session.lpsz_GetTranslatedFilesPath();
  }

  const int steps = StepsPerFile(kind);
  if (hooks.resetBars) hooks.resetBars(steps, steps * count);
  m_session.v_SetFileProgressIndicator(steps);
  m_session.v_SetBatchProgressIndicator(steps * count);

  const CQ_StringList list(files.begin(), files.end());
  if (hooks.setRunning) hooks.setRunning(true);
  try {
    switch (kind) {
      case BatchKind::ConvertMIF: m_session.v_ConvertMIF(&list); break;
      case BatchKind::ConvertKWX: m_session.v_ConvertKWX(&list, nullptr); break;
      case BatchKind::VerifyVarnels: m_session.v_VerifyVarnels(&list); break;
    }
  } catch (const Platform::CQ_FileException& e) {
    // Writing the ancillary file after the batch can fail outside any
    // file's own error handling; report it like any file error.
    m_session.v_FileErrorReporting(&e);
  } catch (const Platform::CQ_ArchiveException& e) {
    m_session.v_ArchiveErrorReporting(&e);
  } catch (int code) {
    if (code == Result::CANCELLED) m_session.v_AddStringMessage(Msg::BATCH_CANCELLED);
  } catch (const std::bad_alloc&) {
    m_session.v_AddMessage(lpsz_LoadKernelString(Msg::BATCH_CANCELLED));
  }
  if (hooks.setRunning) hooks.setRunning(false);
  if (hooks.drainResults) hooks.drainResults();
  return true;
}

bool BatchFlow::AskCancel() {
  const int answer = m_dialogs.MessageBox(LoadString(brannock::Text::ASK_CANCEL), App(), Platform::MB_YESNO | Platform::MB_ICONQUESTION);
  if (answer == Platform::IDNO) return false;
  m_session.v_SetUserCancelled(true);
  return true;
}

bool BatchFlow::SaveResults(const std::vector<std::string>& lines, const std::string& startDir) {
  std::string path;
  if (!m_dialogs.ChooseSaveFile(LoadString(brannock::Text::SAVE_RESULTS_TITLE), LoadString(brannock::Text::FILTER_RESULTS_TXT), LoadString(brannock::Text::RESULTS_FILE_NAME), startDir, path) || path.empty()) {
    return false;
  }
  if (Platform::FileNameOf(path).find('.') == std::string::npos) path += ".txt";
  try {
    WriteLines(lines, path);
  } catch (const Platform::CQ_FileException& e) {
    m_session.v_FileErrorReporting(&e);
    return false;
  }
  return true;
}

void WriteLines(const std::vector<std::string>& lines, const std::string& path) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
  std::size_t written = 0;
  int error = 0;
  while (written < text.size()) {
    ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error) {
    // mkstemp creates the file for its owner alone; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp.c_str(), 0666 & ~mask);
  }
  if (!error && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error) {
    unlink(temp.c_str());
    Platform::CQ_FileException::ThrowOsError(error, path);
  }
}

}  // namespace brannock
