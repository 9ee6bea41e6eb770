// The batch drivers: forward conversion, back conversion and verification
// of a list of files.
//
// Each driver works through its list in order: it checks the extension,
// derives the current file's name, refuses (a GUI session asks about) a
// file whose outputs an earlier file of the batch already wrote, asks
// before overwriting outputs, runs the converter of its task on the one
// file, turns the result code into results lines (b_ErrorReporting) and
// keeps the progress indicators moving. Nothing escapes a driver: errors
// end up in the results queue. A GUI-clear session with more than one job
// runs the same steps over child processes (ParallelBatch.cpp).
#include <new>
#include <unordered_set>

#include "System/Platform/FileSystem.h"
#include "System/Platform/LocalTime.h"
#include "kernel/session/CommunicationFrame.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace {

const int kForwardSteps = 8;
const int kBackwardSteps = 24;
const int kVerifySteps = 24;

// The extension is the text from the last '.' when that dot stands after
// the last path separator; otherwise there is none.
std::string ExtensionOf(const std::string& path) {
  std::size_t dot = path.rfind('.');
  std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  return path.substr(dot);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) { return Platform::SamePathIgnoringCase(a, b); }

// The file's base name: the path after its folder, less the 4-character
// extension. A folder that the path does not begin with (a front end may
// have set another) is replaced by the path's own folder.
std::string BaseName(const std::string& path, const std::string& folder) {
  std::string name = (!folder.empty() && path.compare(0, folder.size(), folder) == 0) ? path.substr(folder.size())
                                                                                       : Platform::FileNameOf(path);
  return name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
}

// Whether the path names a file directly in the folder (ending with '/').
bool InFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.compare(0, folder.size(), folder) == 0 &&
         path.find('/', folder.size()) == std::string::npos;
}

}  // namespace

// --- progress and results ------------------------------------------------------

void CQ_Morvane_Communication::v_UpdateUI() {
  v_SendToUI(m_nMsgUpdateProgress, 0, 0);
  if (m_iBatchProgressIndicator > 0) --m_iBatchProgressIndicator;
  if (m_iFileProgressIndicator > 0) --m_iFileProgressIndicator;
  if (m_bUserCancelled) throw Result::CANCELLED;
}

void CQ_Morvane_Communication::v_UpdateResults() { v_SendToUI(m_nMsgUpdateResults, 0, 0); }

void CQ_Morvane_Communication::v_TidyUpFile() {
  if (m_iFileProgressIndicator < 1) {
    m_iFileProgressIndicator = 0;
    return;
  }
  for (int i = 0; i < m_iFileProgressIndicator; ++i) {
    v_SendToUI(m_nMsgUpdateProgress, 0, 0);
    --m_iBatchProgressIndicator;
  }
  m_iFileProgressIndicator = 0;
}

void CQ_Morvane_Communication::v_TidyUpBatch() {
  v_TidyUpFile();
  if (m_iBatchProgressIndicator < 1) {
    m_iBatchProgressIndicator = 0;
    return;
  }
  for (int i = 0; i < m_iBatchProgressIndicator; ++i) v_SendToUI(m_nMsgUpdateProgress, 1, 0);
  m_iBatchProgressIndicator = 0;
}

void CQ_Morvane_Communication::v_TimeStampStatusReport() {
  v_AddMessage("");
  v_AddMessage(Platform::LongDateTime());
  v_AddMessage("");
}

// --- overwrite questions ----------------------------------------------------------

int CQ_Morvane_Communication::i_ConfirmOverwriting(const std::string& fullName, bool withCancel) {
  if (!Platform::FileExists(fullName)) return Platform::IDYES;
  if (withCancel) {
    return i_MessageBox(ccs_FormatKernelString(Msg::BATCH_ASK_OVERWRITE_OR_CANCEL, fullName.c_str()),
                        Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION);
  }
  return i_MessageBox(ccs_FormatKernelString(Msg::BATCH_ASK_OVERWRITE, fullName.c_str()), Platform::MB_YESNO | Platform::MB_ICONQUESTION);
}

int CQ_Morvane_Communication::i_ConfirmOverwritingCMPFiles() {
  if (!m_bGUI || m_iOverwriteFiles == 1) return Platform::IDYES;
  return i_ConfirmOverwriting(m_strTranslatedFilesPath + m_strCurrentFileName + ".cmp", true);
}

int CQ_Morvane_CommunicationFrame::i_ConfirmOverwritingKWXFiles() {
  if (!m_bGUI || m_iOverwriteFiles == 1) return Platform::IDYES;
  const std::string base = m_strORGFilesPath + m_strCurrentFileName;
  int answer = i_ConfirmOverwriting(base + ".org", true);
  if (answer != Platform::IDYES) return answer;
  answer = i_ConfirmOverwriting(base + ccs_KWXExtension(), true);
  if (answer != Platform::IDYES) return answer;
  if (!Platform::SamePathIgnoringCase(m_strTranslatedFilesPath, m_strORGFilesPath)) {
    answer = i_ConfirmOverwriting(m_strTranslatedFilesPath + m_strCurrentFileName + ccs_KWXExtension(), true);
  }
  return answer;
}

int CQ_Morvane_CommunicationFrame::i_ConfirmOverwritingMIFFiles() {
  if (!m_bGUI || m_iOverwriteFiles == 1) return Platform::IDYES;
  return i_ConfirmOverwriting(m_strTranslatedFilesPath + m_strCurrentFileName + ".mif", true);
}

std::string CQ_Morvane_Communication::ccs_OutputKey() const {
  // Forward conversion writes into the ORG folder (and a fixed translated
  // folder); back conversion and verification beside the translated file.
  return (m_iTask == TASK_MIF_TO_KWX ? m_strORGFilesPath : m_strTranslatedFilesPath) + m_strCurrentFileName;
}

int CQ_Morvane_Communication::i_ConfirmDistinctOutputs(const std::string& path,
                                                       std::unordered_set<std::string>& outputs) {
  if (outputs.insert(ccs_OutputKey()).second) return Platform::IDYES;
  if (!m_bGUI) return 0;
  return i_MessageBox(ccs_FormatKernelString(Msg::FILE_ASK_SAME_NAME_IN_BATCH, path.c_str()), Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION);
}

void CQ_Morvane_CommunicationFrame::v_CheckNotReplacingSource(const std::string& outputPath,
                                                              const std::string& sourcePath) {
  if (m_bReplaceSourceFiles || !Platform::SameFile(outputPath, sourcePath)) return;
  if (m_bGUI &&
      i_MessageBox(ccs_FormatKernelString(Msg::FILE_ASK_REPLACE_SOURCE, outputPath.c_str()), Platform::MB_YESNO | Platform::MB_ICONQUESTION) ==
          Platform::IDYES) {
    return;
  }
  v_AddStringMessage(Msg::FILE_ERR_WOULD_REPLACE_SOURCE);
  v_AddMessage(outputPath);
  v_AddStringMessage(Msg::FILE_ERR_WOULD_REPLACE_SOURCE_HINT);
  throw Result::WOULD_REPLACE_SOURCE;
}

std::string CQ_Morvane_CommunicationFrame::ccs_KWXExtension() const {
  return m_iFileFormatForKWX == 1 ? ".rtf" : ".txt";
}

// --- per-file operations -------------------------------------------------------

int CQ_Morvane_Communication::i_RunGuarded(const std::function<int()>& operation) {
  try {
    return operation();
  } catch (int code) {
    return code;
  } catch (const Platform::CQ_FileException& e) {
    v_FileErrorReporting(&e);
    return Result::ALREADY_REPORTED;
  } catch (const Platform::CQ_ArchiveException& e) {
    v_ArchiveErrorReporting(&e);
    return Result::ALREADY_REPORTED;
  } catch (const std::bad_alloc&) {
    return Result::OUT_OF_MEMORY;
  }
}

int CQ_Morvane_CommunicationFrame::i_RunConverter(CQ_Morvane_FileConverter* converter) {
  // A build without the converter of this task cannot process the file;
  // that is reported like any error the reporting does not know.
  if (!converter) return Result::NO_CONVERTER;
  return converter->vi_Convert();
}

int CQ_Morvane_CommunicationFrame::i_ConvertMIFFile() {
  return i_RunGuarded([this] {
    std::unique_ptr<CQ_Morvane_FileConverter> converter = rco_GetConverterFactory().pco_CreateMIFConverter(*this);
    return i_RunConverter(converter.get());
  });
}

int CQ_Morvane_CommunicationFrame::i_ConvertKWXFile(const char* ancillaryName) {
  return i_RunGuarded([this, ancillaryName] {
    std::unique_ptr<CQ_Morvane_FileConverter> converter = rco_GetConverterFactory().pco_CreateKWXConverter(*this);
    std::string name;
    if (m_bGUI) {
      name = m_strTranslatedFilesPath + "ancillary" + ccs_KWXExtension();
    } else if (ancillaryName) {
      name = ancillaryName;
    }
    v_ReadAncillaryKWXFile(name);
    return i_RunConverter(converter.get());
  });
}

int CQ_Morvane_CommunicationFrame::vi_CompareKWXFiles() {
  std::unique_ptr<CQ_Morvane_FileConverter> comparison = rco_GetConverterFactory().pco_CreateComparison(*this);
  return i_RunConverter(comparison.get());
}

// --- drivers ------------------------------------------------------------------------

bool CQ_Morvane_Communication::b_SetCurrentFile(const std::string& path, const st_BatchTask& task) {
  const std::string extension = ExtensionOf(path);
  if (!EqualsIgnoringCase(extension, task.extension)) return false;
  // A GUI session works in the folder the user chose; a file listed from
  // elsewhere (a copy with change bars switched off, in the ORG folder) is
  // read from its own folder, as every file of a session without GUI is.
  if (!m_bGUI || !InFolder(path, *task.folder)) *task.folder = Platform::DirectoryOf(path);
  m_strCurrentFileName = BaseName(path, *task.folder);
  m_strCurrentFileExtension = task.keepExtension ? extension : std::string(task.extension);
  return true;
}

bool CQ_Morvane_Communication::b_BeginFile(const std::string& path, const st_BatchTask& task) {
  m_iFileProgressIndicator = task.steps;
  if (!b_SetCurrentFile(path, task)) {
    v_AddStringMessage(task.badExtension[0]);
    v_AddStringMessage(task.badExtension[1]);
    v_UpdateResults();
    return false;  // neither processed nor failed
  }
  v_AddStringMessage(task.announce, path.c_str());
  v_UpdateResults();
  return true;
}

bool CQ_Morvane_Communication::b_EndFile(int code, int& processed, int& failed, int& tagChanges, int files) {
  if (m_iTask == TASK_VERIFY && (m_nVerificationErrors || m_nVerificationAlerts || m_nVerificationWarnings)) {
    ++tagChanges;
  }
  if (m_iTask == TASK_VERIFY && m_nVerificationErrors) ++m_iBatchFilesWithTagErrors;
  const bool goOn = b_ErrorReporting(code, processed, failed, files);
  m_iBatchProcessed = processed;
  m_iBatchFailed = failed;
  if (!goOn) {
    v_TidyUpBatch();
    return false;
  }
  if (m_iTask == TASK_VERIFY) m_nVerificationErrors = m_nVerificationAlerts = m_nVerificationWarnings = 0;
  v_TidyUpFile();
  return true;
}

bool CQ_Morvane_Communication::b_RunBatch(const CQ_StringList* paths, const st_BatchTask& task, int& processed,
                                          int& failed, int& tagChanges) {
  const int files = paths ? static_cast<int>(paths->size()) : 0;
  m_iBatchProcessed = m_iBatchFailed = m_iBatchFilesWithTagErrors = 0;
  if (!paths) return true;
  if (m_iParallelJobs > 1 && !m_bGUI && paths->size() > 1) {
    return b_RunBatchInParallel(*paths, task, processed, failed, tagChanges);
  }
  // A GUI session keeps the folder the user chose for the next batch and
  // the next run, whatever folder a file of the batch was read from.
  struct KeepFolder {
    std::string* folder;
    std::string chosen;
    ~KeepFolder() {
      if (folder) *folder = chosen;
    }
  } keep{m_bGUI ? task.folder : nullptr, *task.folder};
  // The folder and base name of every file's outputs so far: a second file
  // with the same ones would replace the first one's results.
  std::unordered_set<std::string> outputs;
  for (const std::string& path : *paths) {
    if (!b_BeginFile(path, task)) continue;
    int code;
    switch (i_ConfirmDistinctOutputs(path, outputs)) {
      case Platform::IDCANCEL: code = Result::BATCH_CANCELLED; break;
      case Platform::IDNO: code = Result::FILE_SKIPPED; break;
      case Platform::IDYES:
        switch (task.confirm()) {
          case Platform::IDCANCEL: code = Result::BATCH_CANCELLED; break;
          case Platform::IDNO: code = Result::FILE_SKIPPED; break;
          case Platform::IDYES: code = task.run(); break;
          default: code = Result::UNEXPECTED_ANSWER; break;
        }
        break;
      case 0: code = Result::SAME_NAME_IN_BATCH; break;  // refused without a question
      default: code = Result::UNEXPECTED_ANSWER; break;
    }
    if (!b_EndFile(code, processed, failed, tagChanges, files)) return false;
  }
  return true;
}

void CQ_Morvane_CommunicationFrame::v_ConversionSummary(int processed, int failed, int filesInList) {
  v_TidyUpBatch();
  v_AddClosingLine();
  v_UpdateResults();
  std::string summary;
  if (failed == 0) {
    summary = filesInList >= 2 ? ccs_FormatKernelString(Msg::BATCH_ALL_CONVERTED, processed) : ccs_FormatKernelString(Msg::BATCH_NO_ERRORS);
  } else {
    summary = filesInList > 1 ? ccs_FormatKernelString(Msg::BATCH_SOME_NOT_CONVERTED, processed - failed, failed) : ccs_FormatKernelString(Msg::BATCH_FILE_NOT_CONVERTED);
  }
  if (m_bGUI) i_MessageBox(summary, Platform::MB_OK | Platform::MB_ICONINFORMATION);
}

bool CQ_Morvane_CommunicationFrame::b_UseChangeBarsOffCopies(CQ_StringList& paths) {
  std::string org = m_strORGFilesPath;
  if (!org.empty() && org.back() != '/') org += '/';
  const st_ChangeBarsOffBatch batch = rco_GetConverterFactory().vc_UseChangeBarsOffCopies(paths, org);
  for (const st_ChangeBarsOffCopy& copy : batch.copies) {
    for (const std::string& line : copy.ccs_ResultsLines()) v_AddMessage(line);
  }
  if (!batch.b_Failed()) {
    v_UpdateResults();
    return true;
  }
  // Converting the others would leave the batch half done for no reason
  // the user can see; nothing is converted.
  m_iBatchProcessed = m_iBatchFailed = m_iBatchFilesWithTagErrors = 0;
  v_AddMessage("A copy with change bars switched off could not be written; no file was converted.");
  if (batch.fileError) {
    v_FileErrorReporting(&*batch.fileError);
  } else {
    v_AddMessage(batch.failure);
    v_AddMessage(std::string(lpsz_LoadKernelString(Msg::FILE_NAME_LABEL)) + batch.failedCopy);
  }
  v_TidyUpBatch();
  v_AddClosingLine();
  v_UpdateResults();
  return false;
}

void CQ_Morvane_CommunicationFrame::v_ConvertMIF(const CQ_StringList* paths) {
  m_iTask = TASK_MIF_TO_KWX;
  m_bRunningTask = true;
  int processed = 0, failed = 0, unused = 0;
  v_TimeStampStatusReport();
  CQ_StringList fromCopies;
  if (m_bClearChangeBars && paths) {
    fromCopies = *paths;
    if (!b_UseChangeBarsOffCopies(fromCopies)) return;
    paths = &fromCopies;
  }
  const st_BatchTask task{kForwardSteps, ".mif", {105, 106}, &m_strSourceFilesPath, true, 1,
                          [this] { return i_ConfirmOverwritingKWXFiles(); }, [this] { return i_ConvertMIFFile(); }};
  if (!b_RunBatch(paths, task, processed, failed, unused)) return;
  v_ConversionSummary(processed, failed, paths ? static_cast<int>(paths->size()) : 0);

  if (m_bGUI && processed != failed) {
    int answer = i_MessageBox(lpsz_LoadKernelString(Msg::BATCH_ASK_CREATE_ANCILLARY), Platform::MB_YESNO | Platform::MB_ICONQUESTION);
    if (answer != Platform::IDYES || !b_CreateAncillaryFile()) {
      v_AddStringMessage(Msg::ANCILLARY_NOT_CREATED);
      v_UpdateResults();
    }
  }
}

void CQ_Morvane_CommunicationFrame::v_ConvertKWX(const CQ_StringList* paths, const char* ancillaryName) {
  m_iTask = TASK_KWX_TO_MIF;
  m_bRunningTask = true;
  int processed = 0, failed = 0, unused = 0;
  v_TimeStampStatusReport();
  const std::string extension = ccs_KWXExtension();
  const st_BatchTask task{kBackwardSteps, extension.c_str(), {1165, 1166}, &m_strTranslatedFilesPath, false, 1,
                          [this] { return i_ConfirmOverwritingMIFFiles(); },
                          [this, ancillaryName] { return i_ConvertKWXFile(ancillaryName); }};
  if (!b_RunBatch(paths, task, processed, failed, unused)) return;
  v_ConversionSummary(processed, failed, paths ? static_cast<int>(paths->size()) : 0);
}

void CQ_Morvane_Communication::v_VerifyVarnels(const CQ_StringList* paths) {
  m_iTask = TASK_VERIFY;
  m_bRunningTask = true;
  int processed = 0, failed = 0, tagChanges = 0;
  const int files = paths ? static_cast<int>(paths->size()) : 0;
  v_TimeStampStatusReport();
  const st_BatchTask task{kVerifySteps, m_iFileFormatForKWX == 1 ? ".rtf" : ".txt", {2125, 2126},
                          &m_strTranslatedFilesPath, true, 2,
                          [this] { return i_ConfirmOverwritingCMPFiles(); },
                          [this] { return i_RunGuarded([this] { return vi_CompareKWXFiles(); }); }};
  if (!b_RunBatch(paths, task, processed, failed, tagChanges)) return;
  v_TidyUpBatch();
  v_AddClosingLine();
  v_UpdateResults();
  std::string summary;
  if (failed != 0) {
    summary = files >= 2 ? ccs_FormatKernelString(Msg::BATCH_SOME_NOT_VERIFIED, processed - failed, failed) : ccs_FormatKernelString(Msg::BATCH_FILE_NOT_VERIFIED);
  } else if (tagChanges != 0) {
    summary = files > 1 ? ccs_FormatKernelString(Msg::BATCH_VERIFIED_TAG_CHANGES, processed, tagChanges) : ccs_FormatKernelString(Msg::BATCH_FILES_TAG_CHANGES);
  } else {
    summary = files >= 2 ? ccs_FormatKernelString(Msg::BATCH_ALL_VERIFIED, processed) : ccs_FormatKernelString(Msg::BATCH_FILES_VERIFIED);
  }
  if (m_bGUI) i_MessageBox(summary, Platform::MB_OK | Platform::MB_ICONINFORMATION);
}
