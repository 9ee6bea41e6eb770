// Turning per-file result codes and exceptions into results lines, the
// session's error records, and saving the results log.
//
// Each result code maps, per task (0 forward conversion, 2 back
// conversion, 3 verification), to the string ids of its lines. Codes the
// table does not list are unknown parser errors: like a cancel or a memory
// error they end the batch with a closing block and, in a GUI session, a
// box that counts the files done before.
#include <initializer_list>
#include <vector>

#include "System/Platform/TemporaryFile.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"
#include "kernel/session/ResultCodes.h"

namespace {

enum class Outcome { Done, Failed, BatchEnding, VerificationFailed, VerificationComplete };

struct CodeRow {
  std::vector<unsigned> t0, t2, t3;
  bool same = false;  // the t0 lines serve every task, other tasks included
  Outcome outcome = Outcome::Failed;
  unsigned batchConverted = 0;  // box text for tasks 0 and 2
  unsigned batchVerified = 0;   // box text for task 3
};

CodeRow Same(std::initializer_list<unsigned> ids) {
  CodeRow row;
  row.t0 = ids;
  row.same = true;
  return row;
}

CodeRow PerTask(std::vector<unsigned> t0, std::vector<unsigned> t2, std::vector<unsigned> t3) {
  CodeRow row;
  row.t0 = std::move(t0);
  row.t2 = std::move(t2);
  row.t3 = std::move(t3);
  return row;
}

CodeRow Ending(CodeRow row, unsigned converted, unsigned verified) {
  row.outcome = Outcome::BatchEnding;
  row.batchConverted = converted;
  row.batchVerified = verified;
  return row;
}

CodeRow LookUp(int code) {
  switch (code) {
    case Result::OK: {
      CodeRow row = PerTask({Msg::DONE}, {Msg::DONE}, {Msg::DONE});
      row.outcome = Outcome::Done;
      return row;
    }
    case Result::CANCELLED:
    case Result::BATCH_CANCELLED: return Ending(PerTask({Msg::FWD_ERR_CANCELLED}, {Msg::BACK_ERR_CANCELLED}, {Msg::VERIFY_ERR_CANCELLED}), Msg::BATCH_CANCELLED_CONVERTED, Msg::BATCH_CANCELLED_VERIFIED);
    case Result::FILE_SKIPPED: return PerTask({Msg::FWD_ERR_CANCELLED}, {Msg::BACK_ERR_CANCELLED}, {Msg::VERIFY_ERR_CANCELLED});
    case Result::ALREADY_REPORTED: return Same({});  // already reported by the exception's own lines
    case Result::OUT_OF_MEMORY: return Ending(PerTask({Msg::FWD_ERR_MEMORY}, {Msg::BACK_ERR_MEMORY}, {Msg::VERIFY_ERR_MEMORY}), Msg::BATCH_MEMORY_CONVERTED, Msg::BATCH_MEMORY_VERIFIED);
    case Result::DAMAGED: return PerTask({Msg::FWD_ERR_PARSER}, {Msg::BACK_ERR_PARSER}, {Msg::VERIFY_ERR_PARSER});
    case Result::DISK_FULL: return PerTask({Msg::FWD_ERR_DISK_SPACE}, {Msg::BACK_ERR_DISK_SPACE}, {});
    case Result::UNEXPECTED_END: return PerTask({Msg::FWD_ERR_UNEXPECTED_END}, {Msg::BACK_ERR_UNEXPECTED_END}, {Msg::VERIFY_ERR_UNEXPECTED_END});
    // A failed consistency check of the kernel itself: never blamed on the document.
    case Result::INTERNAL_ERROR: return Same({Msg::INTERNAL_ERROR});
    case Result::IL_NOT_INTERLEAF_ASCII: return Same({Msg::FWD_ERR_NOT_INTERLEAF_ASCII});
    case Result::IL_VERSION: return Same({Msg::FWD_ERR_INTERLEAF_VERSION});
    case Result::IL_REVISION_TRACKING: return Same({Msg::FWD_ERR_REVISION_TRACKING, Msg::FWD_ERR_REVISION_TRACKING_HINT});
    case Result::IL_SPLIT_DOCUMENT: return Same({Msg::FWD_ERR_SPLIT_DOCUMENT, Msg::FWD_ERR_SPLIT_DOCUMENT_HINT});
    case Result::IL_EDITED:
    case Result::IL_EDITED_2:
    case Result::IL_EDITED_3:
    case Result::IL_EDITED_4:
    case Result::IL_EDITED_5: return Same({Msg::FWD_ERR_EDITED_INTERLEAF_ASCII, Msg::FWD_ERR_EDITED_INTERLEAF_ASCII_HINT, Msg::FWD_ERR_EDITED_INTERLEAF_ASCII_HINT2});
    case Result::IL_INDEX_MARKER_TOO_LONG: return Same({Msg::FWD_ERR_INDEX_MARKER_TOO_LONG, Msg::FWD_ERR_INDEX_MARKER_TOO_LONG_HINT});
    case Result::IL_JAPANESE_NOT_SHIFT_JIS: return Same({Msg::FWD_ERR_JAPANESE_NOT_SHIFT_JIS, Msg::FWD_ERR_JAPANESE_NOT_SHIFT_JIS_HINT});
    case Result::NOT_MIF: return Same({Msg::FWD_ERR_NOT_MIF});
    case Result::MIF_VERSION: return Same({Msg::FWD_ERR_MIF_VERSION});
    case Result::MIF7_TEXT: return Same({Msg::FWD_ERR_MIF7_TEXT_HINT});
    case Result::AUTO_CHANGE_BARS: return Same({Msg::FWD_ERR_AUTO_CHANGE_BARS, Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT, Msg::FWD_ERR_AUTO_CHANGE_BARS_HINT2});
    case Result::CHANGE_BARS_IN_FORMAT: return Same({Msg::FWD_ERR_CHANGE_BARS_IN_FORMAT_HINT, Msg::FWD_ERR_CHANGE_BARS_IN_FORMAT_HINT2, Msg::FWD_ERR_CHANGE_BARS_IN_FORMAT_HINT3});
    case Result::IXGEN_MARKERS: return Same({Msg::FWD_ERR_IXGEN_MARKERS, Msg::FWD_ERR_IXGEN_MARKERS_HINT, Msg::FWD_ERR_IXGEN_MARKERS_HINT2});
    case Result::MARKER_PLACEHOLDERS_REQUIRED: return Same({Msg::FWD_ERR_MARKER_PLACEHOLDERS_REQUIRED, Msg::FWD_ERR_MARKER_PLACEHOLDERS_REQUIRED_HINT});
    case Result::NOT_KWX: return PerTask({}, {Msg::BACK_ERR_NOT_KWX, Msg::BACK_ERR_NOT_KWX_HINT_F}, {Msg::VERIFY_ERR_NOT_KWX, Msg::VERIFY_ERR_NOT_KWX_HINT_F});
    case Result::EUC_TO_SJIS_FAILED: return Same({Msg::FILE_ERR_EUC_TO_SJIS});
    case Result::EUC_TW: return Same({Msg::FWD_ERR_EUC_TW, Msg::FWD_ERR_EUC_TW_HINT, Msg::FWD_ERR_EUC_TW_HINT2});
    case Result::SAME_NAME_IN_BATCH: return Same({Msg::FILE_ERR_SAME_NAME_IN_BATCH, Msg::FILE_ERR_SAME_NAME_IN_BATCH_HINT});
    case Result::WOULD_REPLACE_SOURCE: return Same({});  // the check has added its lines with the file's name
    case Result::IL_NOT_KWX: return PerTask({}, {Msg::BACK_ERR_NOT_KWX, Msg::BACK_ERR_NOT_KWX_HINT_I}, {Msg::VERIFY_ERR_NOT_KWX, Msg::VERIFY_ERR_NOT_KWX_HINT_I});
    case Result::NOT_RTF: return PerTask({}, {Msg::BACK_ERR_NOT_RTF}, {Msg::VERIFY_ERR_NOT_RTF});
    case Result::RTF_PARSER_ERROR: return PerTask({}, {Msg::BACK_ERR_RTF_PARSER}, {Msg::VERIFY_ERR_RTF_PARSER});
    case Result::CONVERTER_REPORTED:
    case Result::CONVERTER_REPORTED_2:
    case Result::RTF_EMPTY_FILE:
    case Result::CONVERTER_REPORTED_3: return Same({});  // the converter has added its lines
    case Result::KWX_MORE_RECENT: return PerTask({}, {Msg::BACK_ERR_MORE_RECENT, Msg::BACK_ERR_MORE_RECENT_HINT}, {Msg::VERIFY_ERR_MORE_RECENT, Msg::VERIFY_ERR_MORE_RECENT_HINT});
    case Result::KWX_FOR_FRAMEMAKER: return PerTask({}, {Msg::BACK_ERR_MADE_FOR_FRAMEMAKER}, {Msg::VERIFY_ERR_MADE_FOR_FRAMEMAKER});
    case Result::NO_CATALOG_TEXT: return PerTask({}, {Msg::BACK_ERR_NO_CATALOG_TEXT}, {});
    case Result::SJIS_TO_EUC_FAILED: return Same({Msg::FILE_ERR_SJIS_TO_EUC});
    case Result::KWX_PREVIOUS: return PerTask({}, {Msg::BACK_ERR_PREVIOUS_VERSION, Msg::BACK_ERR_PREVIOUS_VERSION_HINT}, {Msg::VERIFY_ERR_PREVIOUS_VERSION, Msg::VERIFY_ERR_PREVIOUS_VERSION_HINT});
    case Result::KWX_FOR_INTERLEAF: return PerTask({}, {Msg::BACK_ERR_MADE_FOR_INTERLEAF}, {Msg::VERIFY_ERR_MADE_FOR_INTERLEAF});
    case Result::KWX_NO_CHARSET: return PerTask({}, {Msg::BACK_ERR_NO_CHARSET}, {Msg::VERIFY_ERR_NO_CHARSET});
    case Result::KWX_NO_LANGUAGE: return PerTask({}, {Msg::BACK_ERR_NO_LANGUAGE}, {Msg::VERIFY_ERR_NO_LANGUAGE});
    case Result::KWX_NO_HYPHENATION: return PerTask({}, {Msg::BACK_ERR_NO_HYPHENATION, Msg::BACK_ERR_NO_HYPHENATION_HINT}, {Msg::VERIFY_ERR_NO_HYPHENATION, Msg::VERIFY_ERR_NO_HYPHENATION_HINT});
    case Result::KWX_NO_SOURCE_PATH: return PerTask({}, {Msg::BACK_ERR_NO_SOURCE_PATH}, {Msg::VERIFY_ERR_NO_SOURCE_PATH});
    case Result::KWX_UNKNOWN_LANGUAGE: return PerTask({}, {Msg::BACK_ERR_UNKNOWN_LANGUAGE}, {Msg::VERIFY_ERR_UNKNOWN_LANGUAGE});
    case Result::ANCILLARY_ALONE: return Same({Msg::BACK_ERR_ANCILLARY_ALONE});
    case Result::KWX_NO_QUOTES: return PerTask({}, {Msg::BACK_ERR_NO_QUOTES}, {Msg::VERIFY_ERR_NO_QUOTES});
    case Result::KWX_NO_READ_ONLY: return PerTask({}, {Msg::BACK_ERR_NO_READ_ONLY}, {Msg::VERIFY_ERR_NO_READ_ONLY});
    case Result::TAG_ERRORS: return Same({Msg::BACK_ERR_TAGS});
    case Result::ANCILLARY_TAG_ERRORS: return Same({Msg::BACK_ERR_ANCILLARY_TAGS});
    case Result::VERIFICATION_FAILED: {
      CodeRow row;
      row.outcome = Outcome::VerificationFailed;
      return row;
    }
    case Result::VERIFICATION_COMPLETE: {
      CodeRow row;
      row.outcome = Outcome::VerificationComplete;
      return row;
    }
    case Result::KWX_VERSION_MISMATCH: return PerTask({}, {}, {Msg::VERIFY_ERR_VERSION_MISMATCH});
    default: return Ending(PerTask({Msg::FWD_ERR_UNKNOWN_PARSER}, {Msg::BACK_ERR_UNKNOWN_PARSER}, {Msg::VERIFY_ERR_UNKNOWN_PARSER}), Msg::BATCH_UNKNOWN_PARSER_CONVERTED, Msg::BATCH_UNKNOWN_PARSER_VERIFIED);
  }
}

const std::vector<unsigned>& LinesFor(const CodeRow& row, int task) {
  static const std::vector<unsigned> none;
  if (row.same) return row.t0;
  switch (task) {
    case TASK_MIF_TO_KWX: return row.t0;
    case TASK_KWX_TO_MIF: return row.t2;
    case TASK_VERIFY: return row.t3;
    default: return none;
  }
}

}  // namespace

bool CQ_Morvane_Communication::b_ErrorReporting(int code, int& processed, int& failed, int /*filesInList*/) {
  ++processed;
  const CodeRow row = LookUp(code);
  const bool knownTask = (m_iTask == TASK_MIF_TO_KWX || m_iTask == TASK_KWX_TO_MIF || m_iTask == TASK_VERIFY);

  switch (row.outcome) {
    case Outcome::Done:
      for (unsigned id : LinesFor(row, m_iTask)) v_AddStringMessage(id);
      v_AddMessage("");
      break;
    case Outcome::VerificationComplete:
      v_AddStringMessage(Msg::VERIFICATION_COMPLETE);
      if (m_nVerificationErrors) v_AddStringMessage(Msg::VERIFY_ERROR_COUNT, static_cast<int>(m_nVerificationErrors));
      if (m_nVerificationAlerts) v_AddStringMessage(Msg::VERIFY_ALERT_COUNT, static_cast<int>(m_nVerificationAlerts));
      if (m_nVerificationWarnings) v_AddStringMessage(Msg::VERIFY_WARNING_COUNT, static_cast<int>(m_nVerificationWarnings));
      if (m_nVerificationSuppressions) v_AddStringMessage(Msg::VERIFY_SUPPRESSED_COUNT, static_cast<int>(m_nVerificationSuppressions));
      v_AddMessage("");
      break;
    case Outcome::VerificationFailed:
      v_AddStringMessage(Msg::VERIFICATION_FAILED);
      if (m_nVerificationErrors) v_AddStringMessage(Msg::VERIFY_ERROR_COUNT, static_cast<int>(m_nVerificationErrors));
      if (m_nVerificationAlerts) v_AddStringMessage(Msg::VERIFY_ALERT_COUNT, static_cast<int>(m_nVerificationAlerts));
      if (m_nVerificationWarnings) v_AddStringMessage(Msg::VERIFY_WARNING_COUNT, static_cast<int>(m_nVerificationWarnings));
      v_AddMessage("");
      ++failed;
      break;
    case Outcome::Failed:
      for (unsigned id : LinesFor(row, m_iTask)) v_AddStringMessage(id);
      v_AddMessage("");
      ++failed;
      break;
    case Outcome::BatchEnding:
      for (unsigned id : LinesFor(row, m_iTask)) v_AddStringMessage(id);
      v_AddMessage("");
      ++failed;
      // With no known task there is no batch to end.
      if (!knownTask) break;
      v_AddClosingLine();
      v_AddMessage("");
      v_AddStringMessage(Msg::BATCH_CANCELLED);
      v_AddClosingLine();
      v_UpdateResults();
      if (m_bGUI) {
        unsigned id = (m_iTask == TASK_VERIFY) ? row.batchVerified : row.batchConverted;
        i_MessageBox(ccs_FormatKernelString(id, processed - failed), Platform::MB_OK | Platform::MB_ICONSTOP);
      }
      return false;
  }
  v_UpdateResults();
  return true;
}

unsigned CQ_Morvane_Communication::sn_FileErrorMessage(int cause) {
  static const unsigned kByCause[] = {Msg::FILE_ERR_NONE, Msg::FILE_ERR_UNSPECIFIED, Msg::FILE_ERR_NOT_FOUND, Msg::FILE_ERR_BAD_PATH, Msg::FILE_ERR_TOO_MANY_OPEN, Msg::FILE_ERR_ACCESS_DENIED, Msg::FILE_ERR_BAD_HANDLE, Msg::FILE_ERR_REMOVE_CURRENT_DIR,
                                      Msg::FILE_ERR_NO_MORE_ENTRIES, Msg::FILE_ERR_BAD_SEEK, Msg::FILE_ERR_HARDWARE, Msg::FILE_ERR_SHARING, Msg::FILE_ERR_LOCK_VIOLATION, Msg::FILE_ERR_DISK_FULL, Msg::FILE_ERR_END_OF_FILE};
  return (cause >= 0 && cause < 15) ? kByCause[cause] : Msg::FILE_ERR_UNSPECIFIED;
}

void CQ_Morvane_Communication::v_FileErrorReporting(const Platform::CQ_FileException* e) {
  if (!e) return;
  v_AddStringMessage(sn_FileErrorMessage(e->m_cause));
  v_AddMessage(std::string(lpsz_LoadKernelString(Msg::FILE_NAME_LABEL)) + e->m_strFileName);
  v_UpdateResults();
}

void CQ_Morvane_Communication::v_ArchiveErrorReporting(const Platform::CQ_ArchiveException* e) {
  if (!e) return;
  v_AddStringMessage(Msg::FILE_ERR_ARCHIVE);
  v_AddMessage(std::string(lpsz_LoadKernelString(Msg::FILE_NAME_LABEL)) + e->m_strFileName);
  v_UpdateResults();
}

bool CQ_Morvane_Communication::b_SaveResults(const std::string& path) {
  // The desktop front end saves its own results list.
  if (m_bGUI) return false;
  std::string text;
  for (const std::string& line : m_lstResults) {
    text += line;
    text += '\n';
  }
  // Complete or not at all, like every other output file.
  try {
    Platform::CQ_TemporaryFile file(path);
    file.v_Write(text.data(), text.size());
    file.v_Commit();
  } catch (const Platform::CQ_FileException&) {
    return false;
  }
  return !m_lstResults.empty();
}

void CQ_Morvane_Communication::v_TakeErrorList(CQ_Morvane_ErrorList* list) {
  if (!list) return;
  for (auto& record : *list) m_lstErrors.push_back(std::move(record));
  list->clear();
}

bool CQ_Morvane_Communication::b_DisplayErrorMessage(const CQ_Morvane_ErrorMessage* record) const {
  if (!record) return false;
  if (record->i_Type == CQ_Morvane_ErrorMessage::ERROR || record->ccs_Tag.empty()) return true;
  return m_mapCustomTags.count(record->ccs_Tag) == 0;
}

namespace {

bool EscapedAt(const std::string& text, std::size_t pos) { return pos > 0 && text[pos - 1] == '\\'; }

std::size_t FindUnescaped(const std::string& text, char c, std::size_t from) {
  for (std::size_t pos = text.find(c, from); pos != std::string::npos; pos = text.find(c, pos + 1)) {
    if (!EscapedAt(text, pos)) return pos;
  }
  return std::string::npos;
}

// Report texts written for RTF carry control words: "\f1 Tag {\b <:b>}
// missing". Keeps the words and the text of each group.
std::string StripRTFMarkup(const std::string& text) {
  std::size_t blank = text.find(' ');
  if (blank == std::string::npos) return std::string();
  std::string rest = text.substr(blank + 1);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t open = FindUnescaped(rest, '{', pos);
    if (open == std::string::npos) break;
    out.append(rest, pos, open - pos);
    std::size_t close = FindUnescaped(rest, '}', open + 1);
    std::size_t space = rest.find(' ', open + 1);
    if (space != std::string::npos && (close == std::string::npos || space < close)) {
      std::size_t end = (close == std::string::npos) ? rest.size() : close;
      out.append(rest, space + 1, end - space - 1);
    }
    if (close == std::string::npos) return out;
    pos = close + 1;
  }
  out.append(rest, pos, std::string::npos);
  return out;
}

}  // namespace

bool CQ_Morvane_Communication::b_NextErrorMessage(CQ_Morvane_ErrorMessage* /*unused*/) {
  m_strErrorMessage.clear();
  m_nSourceRef = m_nTargetRef = 0;
  while (!m_lstErrors.empty()) {
    std::unique_ptr<CQ_Morvane_ErrorMessage> record = std::move(m_lstErrors.front());
    m_lstErrors.pop_front();
    if (!b_DisplayErrorMessage(record.get())) continue;
    m_strErrorMessage = record->ccs_Text;
    const std::string& t = m_strErrorMessage;
    if (m_iFileFormatForKWX == 1 && !t.empty() && t[0] == '\\' && (t.size() < 2 || t[1] != '\\')) {
      m_strErrorMessage = StripRTFMarkup(t);
    }
    for (const auto& [kind, value] : record->st_References) {
      if (kind == CQ_Morvane_ErrorMessage::SOURCE_LINE) m_nSourceRef = value;
      if (kind == CQ_Morvane_ErrorMessage::TARGET_LINE) m_nTargetRef = value;
    }
    return true;
  }
  return false;
}
