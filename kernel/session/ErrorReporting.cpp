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
    case 0: {
      CodeRow row = PerTask({6}, {6}, {6});
      row.outcome = Outcome::Done;
      return row;
    }
    case 1:
    case 2: return Ending(PerTask({40}, {1050}, {2050}), 5050, 5051);
    case 3: return PerTask({40}, {1050}, {2050});
    case 4: return Same({});  // already reported by the exception's own lines
    case 5: return Ending(PerTask({10}, {1010}, {2010}), 5010, 5011);
    case 6: return PerTask({20}, {1020}, {2020});
    case 7: return PerTask({110}, {1170}, {});
    case 8: return PerTask({180}, {1230}, {2170});
    // A failed consistency check of the kernel itself: never blamed on the document.
    case Result::INTERNAL_ERROR: return Same({Msg::INTERNAL_ERROR});
    case 1000: return Same({131});
    case 1010: return Same({101});
    case 1030: return Same({160, 161});
    case 1040: return Same({170, 171});
    case 1050:
    case 1080:
    case 1090:
    case 1100:
    case 1110: return Same({150, 151, 152});
    case 1060: return Same({80, 81});
    case 1070: return Same({140, 141});
    case 2000: return Same({130});
    case 2010: return Same({100});
    case 2015: return Same({103});
    case 2030: return Same({50, 51, 52});
    case 2040: return Same({62, 63, 64});
    case 2050: return Same({120, 121, 122});
    case 2070: return Same({90, 91});
    case 2080: return PerTask({}, {1190, 1191}, {2190, 2191});
    case 2090: return Same({3010});
    case 2100: return Same({153, 154, 155});
    case 3200: return Same({3200, 3201});
    case 3210: return Same({});  // the check has added its lines with the file's name
    case 5000: return PerTask({}, {1190, 1192}, {2190, 2192});
    case 5010: return PerTask({}, {1180}, {2180});
    case 5020: return PerTask({}, {1030}, {2030});
    case 5030:
    case 5040:
    case 5050:
    case 5060: return Same({});  // the converter has added its lines
    case 5070: return PerTask({}, {1200, 1201}, {2140, 2141});
    case 5080: return PerTask({}, {1220}, {2160});
    case 5100: return PerTask({}, {1145}, {});
    case 5110: return Same({3005});
    case 5120: return PerTask({}, {1210, 1211}, {2150, 2151});
    case 6000: return PerTask({}, {1221}, {2161});
    case 6010: return PerTask({}, {1060}, {2060});
    case 6020: return PerTask({}, {1100}, {2100});
    case 6030: return PerTask({}, {1090, 1091}, {2090, 2091});
    case 6040: return PerTask({}, {1110}, {2110});
    case 6050: return PerTask({}, {1150}, {2130});
    case 6060: return Same({1160});
    case 7000: return PerTask({}, {1070}, {2070});
    case 7010: return PerTask({}, {1080}, {2080});
    case 10000: return Same({1140});
    case 10010: return Same({1130});
    case 10020: {
      CodeRow row;
      row.outcome = Outcome::VerificationFailed;
      return row;
    }
    case 10030: {
      CodeRow row;
      row.outcome = Outcome::VerificationComplete;
      return row;
    }
    case 10040: return PerTask({}, {}, {2120});
    default: return Ending(PerTask({30}, {1040}, {2040}), 5020, 5021);
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
      v_AddStringMessage(2300);
      if (m_nVerificationErrors) v_AddStringMessage(2312, static_cast<int>(m_nVerificationErrors));
      if (m_nVerificationAlerts) v_AddStringMessage(2311, static_cast<int>(m_nVerificationAlerts));
      if (m_nVerificationWarnings) v_AddStringMessage(2310, static_cast<int>(m_nVerificationWarnings));
      if (m_nVerificationSuppressions) v_AddStringMessage(2313, static_cast<int>(m_nVerificationSuppressions));
      v_AddMessage("");
      break;
    case Outcome::VerificationFailed:
      v_AddStringMessage(2301);
      if (m_nVerificationErrors) v_AddStringMessage(2312, static_cast<int>(m_nVerificationErrors));
      if (m_nVerificationAlerts) v_AddStringMessage(2311, static_cast<int>(m_nVerificationAlerts));
      if (m_nVerificationWarnings) v_AddStringMessage(2310, static_cast<int>(m_nVerificationWarnings));
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
      v_AddStringMessage(5);
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

void CQ_Morvane_Communication::v_FileErrorReporting(const Platform::CQ_FileException* e) {
  if (!e) return;
  static const unsigned kByCause[] = {3050, 3040, 3110, 3020, 3120, 3100, 3160, 3070,
                                      3130, 3170, 3140, 3060, 3150, 3080, 3090};
  unsigned id = (e->m_cause >= 0 && e->m_cause < 15) ? kByCause[e->m_cause] : 3040;
  v_AddStringMessage(id);
  v_AddMessage(std::string(lpsz_LoadKernelString(3000)) + e->m_strFileName);
  v_UpdateResults();
}

void CQ_Morvane_Communication::v_ArchiveErrorReporting(const Platform::CQ_ArchiveException* e) {
  if (!e) return;
  v_AddStringMessage(3030);
  v_AddMessage(std::string(lpsz_LoadKernelString(3000)) + e->m_strFileName);
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
