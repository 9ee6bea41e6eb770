// A batch whose files are converted or verified by child processes, one
// per file, with the results of the serial run.
//
// The parent decides up front which files run (extension, duplicate
// outputs) and forks a child per file, up to the number of jobs at work at
// once. A child runs the file's operation on its copy of the session with
// an empty results queue and sends back what the file changed in the
// session: result code, results lines, ancillary lines, error records,
// verification counters and the few settings a file sets. The parent takes
// the files in list order, replays each one's lines and counts exactly as
// the serial driver does, and stops where the serial run would stop.
//
// Nothing a child writes takes its final name before the parent allows it:
// the first commit of a child waits at the commit gate until every earlier
// file has been taken and the batch goes on; a child behind a file that
// ends the batch is told to abandon its files. One piece of state crosses
// files: the notice that no ancillary file is available, given once per
// batch. A child that started with the notice pending while an earlier
// file gave it is run again with the right state before its files count.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <unordered_set>
#include <vector>

#include "System/Platform/TemporaryFile.h"
#include "kernel/session/Communication.h"
#include "kernel/session/ResultCodes.h"

namespace {

// --- a byte stream of numbers and strings ------------------------------------

class Packer {
 public:
  void Number(std::int64_t value) { m_bytes.append(reinterpret_cast<const char*>(&value), sizeof value); }
  void Text(const std::string& text) {
    Number(static_cast<std::int64_t>(text.size()));
    m_bytes += text;
  }
  const std::string& Bytes() const { return m_bytes; }

 private:
  std::string m_bytes;
};

class Unpacker {
 public:
  explicit Unpacker(const std::string& bytes) : m_bytes(bytes) {}
  std::int64_t Number() {
    std::int64_t value = 0;
    if (m_at + sizeof value > m_bytes.size()) {
      m_ok = false;
      return 0;
    }
    std::memcpy(&value, m_bytes.data() + m_at, sizeof value);
    m_at += sizeof value;
    return value;
  }
  std::string Text() {
    const std::int64_t size = Number();
    if (size < 0 || m_at + static_cast<std::size_t>(size) > m_bytes.size()) {
      m_ok = false;
      return std::string();
    }
    std::string text = m_bytes.substr(m_at, static_cast<std::size_t>(size));
    m_at += static_cast<std::size_t>(size);
    return text;
  }
  bool Ok() const { return m_ok; }

 private:
  const std::string& m_bytes;
  std::size_t m_at = 0;
  bool m_ok = true;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Messages from a child: one byte of kind, then for a result its length
// and bytes.
constexpr char kAtGate = 'G';
constexpr char kResult = 'R';
// Answers at the gate.
constexpr char kGo = '1';
constexpr char kAbandon = '0';

// The child's ends of its two pipes, for the commit gate.
int g_toParent = -1;
int g_fromParent = -1;
bool g_abandoned = false;

// Raised through the file's operation when the parent says to abandon.
constexpr int kAbandonedCode = -7001;

void ChildCommitGate() {
  char answer = kAbandon;
  if (!WriteAll(g_toParent, &kAtGate, 1)) answer = kAbandon;
  else if (::read(g_fromParent, &answer, 1) != 1) answer = kAbandon;
  if (answer != kGo) {
    g_abandoned = true;
    throw kAbandonedCode;
  }
}

// What the parent knows of one file of the list.
struct PlannedFile {
  bool accepted = false;  // the extension fits
  bool refused = false;   // another file of the batch has its outputs
};

// A running or finished child.
struct Child {
  pid_t pid = -1;
  int fromChild = -1;
  int toChild = -1;
  bool noticeAtStart = true;
  bool atGate = false;
  bool finished = false;  // its result (or its end) has arrived
  bool resultOk = false;
  std::string inbox;   // bytes read, not yet taken apart
  std::string result;  // the result's bytes
};

void CloseChild(Child& child) {
  if (child.fromChild >= 0) ::close(child.fromChild);
  if (child.toChild >= 0) ::close(child.toChild);
  child.fromChild = child.toChild = -1;
  if (child.pid > 0) {
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  child.pid = -1;
}

// Takes the complete messages out of the child's inbox.
void TakeMessages(Child& child) {
  for (;;) {
    if (child.inbox.empty() || child.finished) return;
    if (child.inbox[0] == kAtGate) {
      child.atGate = true;
      child.inbox.erase(0, 1);
      continue;
    }
    if (child.inbox[0] != kResult) {
      child.finished = true;  // not a message of ours: take it as a failed child
      return;
    }
    std::int64_t size = 0;
    if (child.inbox.size() < 1 + sizeof size) return;
    std::memcpy(&size, child.inbox.data() + 1, sizeof size);
    if (child.inbox.size() < 1 + sizeof size + static_cast<std::size_t>(size)) return;
    child.result = child.inbox.substr(1 + sizeof size, static_cast<std::size_t>(size));
    child.inbox.clear();
    child.finished = true;
    child.resultOk = true;
  }
}

// Reads what the child sent; at the end of its stream it is finished.
void ReadFrom(Child& child) {
  char buffer[65536];
  const ssize_t n = ::read(child.fromChild, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {
    TakeMessages(child);
    child.finished = true;
    return;
  }
  child.inbox.append(buffer, static_cast<std::size_t>(n));
  TakeMessages(child);
}

// Ignores SIGPIPE while it lives: a child may end before the parent's
// answer reaches it, and that must not end the parent.
class IgnoreBrokenPipes {
 public:
  IgnoreBrokenPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, &m_previous);
  }
  ~IgnoreBrokenPipes() { ::sigaction(SIGPIPE, &m_previous, nullptr); }
  IgnoreBrokenPipes(const IgnoreBrokenPipes&) = delete;
  IgnoreBrokenPipes& operator=(const IgnoreBrokenPipes&) = delete;

 private:
  struct sigaction m_previous {};
};

}  // namespace

bool CQ_Morvane_Communication::b_RunBatchInParallel(const CQ_StringList& paths, const st_BatchTask& task,
                                                    int& processed, int& failed, int& tagChanges) {
  const int files = static_cast<int>(paths.size());
  const std::vector<std::string> list(paths.begin(), paths.end());
  const IgnoreBrokenPipes ignoreBrokenPipes;

  // Which files run, decided as the serial driver would.
  std::vector<PlannedFile> plan(list.size());
  std::unordered_set<std::string> outputs;
  std::unordered_set<std::string> folders;
  for (std::size_t i = 0; i < list.size(); ++i) {
    plan[i].accepted = b_SetCurrentFile(list[i], task);
    if (!plan[i].accepted) continue;
    plan[i].refused = !outputs.insert(ccs_OutputKey()).second;
    folders.insert(m_iTask == TASK_MIF_TO_KWX ? m_strORGFilesPath : *task.folder);
    if (m_iTask == TASK_MIF_TO_KWX) folders.insert(m_strTranslatedFilesPath);
  }
  // Leftovers are swept once here, not once per child.
  for (const std::string& folder : folders) Platform::CQ_TemporaryFile::sn_SweepFolderOnce(folder);

  std::map<std::size_t, Child> children;
  std::size_t nextToStart = 0;
  const std::size_t lookAhead = static_cast<std::size_t>(m_iParallelJobs) * 4;

  auto start = [&](std::size_t index) {
    Child child;
    child.noticeAtStart = m_bAncillaryNoticePending;
    int up[2], down[2];
    if (::pipe2(up, O_CLOEXEC) != 0) return false;
    if (::pipe2(down, O_CLOEXEC) != 0) {
      ::close(up[0]);
      ::close(up[1]);
      return false;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
      for (int fd : {up[0], up[1], down[0], down[1]}) ::close(fd);
      return false;
    }
    if (pid == 0) {
      // The child: this one file, then exit without running the parent's
      // clean-ups.
      ::close(up[0]);
      ::close(down[1]);
      for (auto& [unused, other] : children) {
        if (other.fromChild >= 0) ::close(other.fromChild);
        if (other.toChild >= 0) ::close(other.toChild);
      }
      g_toParent = up[1];
      g_fromParent = down[0];
      Platform::CQ_TemporaryFile::sv_SetCommitGate(&ChildCommitGate);
      m_pcoObserver = nullptr;
      m_lstResults.clear();
      const std::size_t ancillaryBefore = m_lstAncillary.size();
      const std::size_t errorsBefore = m_lstErrors.size();
      (void)b_SetCurrentFile(list[index], task);  // the plan accepted its extension
      m_iFileProgressIndicator = task.steps;
      int code = Result::OK;
      try {
        code = task.confirm() == Platform::IDYES ? task.run() : Result::UNEXPECTED_ANSWER;
      } catch (...) {
        code = Result::NO_CONVERTER;  // what the serial driver would not have caught: an unknown error
      }
      if (g_abandoned) ::_exit(0);
      Packer out;
      out.Number(code);
      out.Number(m_lstResults.size());
      for (const std::string& line : m_lstResults) out.Text(line);
      out.Number(static_cast<std::int64_t>(m_lstAncillary.size() - ancillaryBefore));
      for (std::size_t k = ancillaryBefore; k < m_lstAncillary.size(); ++k) out.Text(m_lstAncillary[k]);
      out.Number(static_cast<std::int64_t>(m_lstErrors.size() - errorsBefore));
      for (std::size_t k = errorsBefore; k < m_lstErrors.size(); ++k) {
        const CQ_Morvane_ErrorMessage& record = *m_lstErrors[k];
        out.Number(record.i_Type);
        out.Text(record.ccs_Text);
        out.Text(record.ccs_Tag);
        out.Number(static_cast<std::int64_t>(record.st_References.size()));
        for (const auto& [kind, line] : record.st_References) {
          out.Number(kind);
          out.Number(line);
        }
      }
      for (unsigned counter : {m_nVerificationErrors, m_nVerificationAlerts, m_nVerificationWarnings,
                               m_nVerificationSuppressions}) {
        out.Number(counter);
      }
      out.Number(m_etKWXVersion);
      out.Number(m_iSmartQuotes);
      out.Number(m_bAncillaryNoticePending ? 1 : 0);
      std::string message(1, kResult);
      const std::int64_t size = static_cast<std::int64_t>(out.Bytes().size());
      message.append(reinterpret_cast<const char*>(&size), sizeof size);
      message += out.Bytes();
      WriteAll(g_toParent, message.data(), message.size());
      ::_exit(0);
    }
    ::close(up[1]);
    ::close(down[0]);
    child.pid = pid;
    child.fromChild = up[0];
    child.toChild = down[1];
    children[index] = std::move(child);
    return true;
  };

  auto working = [&] {
    std::size_t n = 0;
    for (const auto& [index, child] : children) n += !child.finished && !child.atGate;
    return n;
  };
  // Starts children while fewer than the jobs are at work.
  auto fill = [&](std::size_t head) {
    while (nextToStart < list.size() && working() < static_cast<std::size_t>(m_iParallelJobs) &&
           nextToStart < head + lookAhead) {
      const std::size_t index = nextToStart++;
      if (!plan[index].accepted || plan[index].refused) continue;
      if (!start(index)) break;  // no more processes now: the file runs when its turn comes
    }
  };
  // Waits until something arrives from any child.
  auto wait = [&] {
    std::vector<pollfd> fds;
    std::vector<std::size_t> owners;
    for (auto& [index, child] : children) {
      if (child.finished || child.fromChild < 0) continue;
      fds.push_back({child.fromChild, POLLIN, 0});
      owners.push_back(index);
    }
    if (fds.empty()) return;
    int ready;
    do {
      ready = ::poll(fds.data(), fds.size(), -1);
    } while (ready < 0 && errno == EINTR);
    for (std::size_t k = 0; k < fds.size(); ++k) {
      if (fds[k].revents) ReadFrom(children[owners[k]]);
    }
  };
  auto abandonAll = [&] {
    for (auto& [index, child] : children) {
      if (child.toChild >= 0) WriteAll(child.toChild, &kAbandon, 1);
      CloseChild(child);
    }
    children.clear();
  };

  for (std::size_t i = 0; i < list.size(); ++i) {
    fill(i);
    if (!b_BeginFile(list[i], task)) continue;
    int code = Result::OK;
    if (plan[i].refused) {
      code = Result::SAME_NAME_IN_BATCH;
    } else {
      // This file's child, started now if it was not (or must run again).
      bool taken = false;
      while (!taken) {
        if (!children.count(i) && !start(i)) {
          // No process can be made: the file runs here, as in a serial batch.
          code = task.confirm() == Platform::IDYES ? task.run() : Result::UNEXPECTED_ANSWER;
          break;
        }
        Child& child = children[i];
        if (child.noticeAtStart != m_bAncillaryNoticePending) {
          // Started before an earlier file gave the notice: run it again.
          if (child.toChild >= 0) WriteAll(child.toChild, &kAbandon, 1);
          CloseChild(child);
          children.erase(i);
          continue;
        }
        if (child.atGate && child.toChild >= 0) {
          WriteAll(child.toChild, &kGo, 1);
          ::close(child.toChild);
          child.toChild = -1;
          child.atGate = false;
        }
        if (!child.finished) {
          fill(i);
          wait();
          continue;
        }
        // The result, taken apart first and replayed into this session
        // only when it is whole.
        Unpacker in(child.result);
        const int childCode = static_cast<int>(in.Number());
        std::vector<std::string> lines, ancillary;
        for (std::int64_t n = in.Number(); n > 0 && in.Ok(); --n) lines.push_back(in.Text());
        for (std::int64_t n = in.Number(); n > 0 && in.Ok(); --n) ancillary.push_back(in.Text());
        CQ_Morvane_ErrorList records;
        for (std::int64_t n = in.Number(); n > 0 && in.Ok(); --n) {
          auto record = std::make_unique<CQ_Morvane_ErrorMessage>();
          record->i_Type = static_cast<int>(in.Number());
          record->ccs_Text = in.Text();
          record->ccs_Tag = in.Text();
          for (std::int64_t r = in.Number(); r > 0 && in.Ok(); --r) {
            const int kind = static_cast<int>(in.Number());
            record->v_AddReference(kind, static_cast<unsigned>(in.Number()));
          }
          records.push_back(std::move(record));
        }
        std::int64_t state[7];
        for (std::int64_t& value : state) value = in.Number();
        if (child.resultOk && in.Ok()) {
          code = childCode;
          for (std::string& line : lines) v_AddMessage(line);
          for (std::string& line : ancillary) m_lstAncillary.push_back(std::move(line));
          v_TakeErrorList(&records);
          m_nVerificationErrors = static_cast<unsigned>(state[0]);
          m_nVerificationAlerts = static_cast<unsigned>(state[1]);
          m_nVerificationWarnings = static_cast<unsigned>(state[2]);
          m_nVerificationSuppressions = static_cast<unsigned>(state[3]);
          m_etKWXVersion = static_cast<EKWXVERSION>(state[4]);
          m_iSmartQuotes = static_cast<int>(state[5]);
          m_bAncillaryNoticePending = state[6] != 0;
        } else {
          // A child that died without a whole result failed in a way the
          // serial driver would not have caught: an unknown error.
          code = Result::NO_CONVERTER;
        }
        CloseChild(child);
        children.erase(i);
        if (!m_lstResults.empty()) v_UpdateResults();
        taken = true;
      }
    }
    if (!b_EndFile(code, processed, failed, tagChanges, files)) {
      abandonAll();
      return false;
    }
  }
  abandonAll();
  return true;
}
