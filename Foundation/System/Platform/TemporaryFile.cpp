// Temporary output files: creation relative to an open folder handle,
// commit by fsync and rename, and the sweep of files left by dead writers.
//
// A writer is identified by its process id and a tag made from the
// process's start time (field 22 of /proc/PID/stat, in clock ticks since
// boot) and the boot id, so that neither a reused process id nor a restart
// makes a dead writer look alive. Folders already swept are remembered per
// process under a mutex; the commit gate is a plain function pointer read
// once per commit.
#include "System/Platform/TemporaryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "System/Platform/FileException.h"

namespace Platform {

namespace {

std::atomic<std::uint32_t> g_sequence{0};
std::atomic<CQ_TemporaryFile::CommitGate> g_commitGate{nullptr};
std::atomic<bool> g_gatePassed{false};

constexpr std::size_t kTemporaryNameSize = 50;

std::uint32_t Hash32(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// Fields 3 (state) and 22 (start time in clock ticks since boot) of a
// process's /proc/PID/stat; false when they cannot be read.
bool ProcessStat(pid_t pid, char& state, std::string& startTime) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return false;
  // The command name (field 2) may hold blanks and parentheses: the fields
  // after it begin after the last ')'.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22; ++i) {
    if (!(fields >> field)) return false;
    if (i == 3) state = field.empty() ? '?' : field[0];
  }
  startTime = field;
  return true;
}

std::string StartTime(pid_t pid) {
  char state = '?';
  std::string start;
  return ProcessStat(pid, state, start) ? start : std::string();
}

// The machine: its machine id, or its host name. Writers of another
// machine sharing the folder are never judged from here.
std::uint32_t HostHash() {
  static const std::uint32_t hash = [] {
    std::ifstream in("/etc/machine-id");
    std::string id;
    std::getline(in, id);
    if (id.empty()) {
      char name[256] = {};
      if (::gethostname(name, sizeof name - 1) == 0) id = name;
    }
    return Hash32("host/" + id);
  }();
  return hash;
}

const std::string& BootId() {
  static const std::string id = [] {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string line;
    std::getline(in, line);
    return line;
  }();
  return id;
}

std::uint32_t TagOf(pid_t pid) {
  const std::string start = StartTime(pid);
  if (start.empty()) return 0;
  const std::uint32_t tag = Hash32(BootId() + "/" + start);
  return tag == 0 ? 1 : tag;
}

bool ParseHex8(const std::string& text, std::size_t at, std::uint32_t& value) {
  if (at + 8 > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + 8; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

bool ParseDecimal(const std::string& text, std::uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return true;
}

// True when no process has this id, or only one that has ended and waits
// for its parent (a zombie: a killed batch's children whose parent died
// with them may stay so where nobody reaps them).
bool ProcessIsGone(std::uint32_t pid) {
  if (pid == 0 || pid > 0x7fffffffu) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
  char state = '?';
  std::string start;
  return ProcessStat(static_cast<pid_t>(pid), state, start) && (state == 'Z' || state == 'X');
}

// The writer of a temporary name of the present form is gone.
bool CurrentFormIsLeftover(const std::string& name) {
  if (name.size() != kTemporaryNameSize || name.compare(0, 2, ".~") != 0 ||
      name.compare(kTemporaryNameSize - 4, 4, ".tmp") != 0) {
    return false;
  }
  std::uint32_t hash, host, pid, tag, sequence;
  if (!ParseHex8(name, 2, hash) || name[10] != '-' || !ParseHex8(name, 11, host) || name[19] != '-' ||
      !ParseHex8(name, 20, pid) || name[28] != '-' || !ParseHex8(name, 29, tag) || name[37] != '-' ||
      !ParseHex8(name, 38, sequence)) {
    return false;
  }
  if (host != HostHash()) return false;
  if (ProcessIsGone(pid)) return true;
  if (pid > 0x7fffffffu) return false;
  const std::uint32_t now = TagOf(static_cast<pid_t>(pid));
  // An unreadable state keeps the file: it may be a live writer's.
  return now != 0 && now != tag;
}

// The writer of a temporary name of the earlier form ".NAME.PID.N.tmp" is
// gone (only a process id tells, so a live id keeps the file).
bool EarlierFormIsLeftover(const std::string& name) {
  if (name.size() < 10 || name[0] != '.' || name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
  const std::string stem = name.substr(0, name.size() - 4);
  const std::size_t numberDot = stem.rfind('.');
  if (numberDot == std::string::npos || numberDot == 0) return false;
  const std::size_t pidDot = stem.rfind('.', numberDot - 1);
  if (pidDot == std::string::npos || pidDot < 2) return false;
  std::uint32_t pid, number;
  if (!ParseDecimal(stem.substr(numberDot + 1), number) ||
      !ParseDecimal(stem.substr(pidDot + 1, numberDot - pidDot - 1), pid)) {
    return false;
  }
  return ProcessIsGone(pid);
}

int OpenFolder(const std::string& folder, int flags) {
  int fd;
  do {
    fd = ::open(folder.empty() ? "." : folder.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::size_t Sweep(const std::string& folder) {
  const int fd = OpenFolder(folder, O_RDONLY);
  if (fd < 0) return 0;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return 0;
  }
  std::size_t removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < 10 || name[0] != '.') continue;
    if (!CQ_TemporaryFile::sb_IsLeftover(name)) continue;
    if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace

std::string CQ_TemporaryFile::scs_TemporaryName(const std::string& fileName, std::uint32_t pid, std::uint32_t tag,
                                                std::uint32_t sequence) {
  char name[kTemporaryNameSize + 1];
  std::snprintf(name, sizeof name, ".~%08x-%08x-%08x-%08x-%08x.tmp", Hash32(fileName), HostHash(), pid, tag,
                sequence);
  return name;
}

std::uint32_t CQ_TemporaryFile::sn_ProcessTag() {
  // Computed per call: a child made by fork has a tag of its own.
  return TagOf(::getpid());
}

bool CQ_TemporaryFile::sb_IsLeftover(const std::string& fileName) {
  return CurrentFormIsLeftover(fileName) || EarlierFormIsLeftover(fileName);
}

std::size_t CQ_TemporaryFile::sn_SweepFolderOnce(const std::string& folder) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!swept.insert(folder.empty() ? std::string("./") : folder).second) return 0;
  }
  return Sweep(folder);
}

void CQ_TemporaryFile::sv_SetCommitGate(CommitGate gate) {
  g_commitGate.store(gate);
  g_gatePassed.store(false);
}

void CQ_TemporaryFile::sv_PassCommitGate() {
  const CommitGate gate = g_commitGate.load();
  if (!gate || g_gatePassed.load()) return;
  gate();
  g_gatePassed.store(true);
}

CQ_TemporaryFile::CQ_TemporaryFile(std::string destination) : m_strPath(std::move(destination)) {
  const std::size_t slash = m_strPath.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : m_strPath.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
  if (name.empty()) CQ_FileException::ThrowOsError(EISDIR, m_strPath);
  if (name.size() > NAME_MAX) CQ_FileException::ThrowOsError(ENAMETOOLONG, m_strPath);
  m_iFolder = OpenFolder(folder, O_PATH);
  if (m_iFolder < 0) CQ_FileException::ThrowOsError(errno, m_strPath);
  sn_SweepFolderOnce(folder);
  // The tag is read once per writer: a process forked after another
  // writer was made still names its own files by its own id and tag.
  const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
  const std::uint32_t tag = sn_ProcessTag();
  for (int attempt = 0; attempt < 16; ++attempt) {
    m_strTemporaryName = scs_TemporaryName(name, pid, tag, g_sequence.fetch_add(1));
    do {
      m_iDescriptor = ::openat(m_iFolder, m_strTemporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (m_iDescriptor < 0 && errno == EINTR);
    if (m_iDescriptor >= 0) return;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  m_strTemporaryName.clear();
  ::close(m_iFolder);
  m_iFolder = -1;
  CQ_FileException::ThrowOsError(error, m_strPath);
}

CQ_TemporaryFile::~CQ_TemporaryFile() {
  v_Discard();
  if (m_iFolder >= 0) ::close(m_iFolder);
}

void CQ_TemporaryFile::v_Discard() {
  if (m_iDescriptor >= 0) ::close(m_iDescriptor);
  m_iDescriptor = -1;
  if (!m_bCommitted && !m_strTemporaryName.empty()) ::unlinkat(m_iFolder, m_strTemporaryName.c_str(), 0);
  m_strTemporaryName.clear();
}

void CQ_TemporaryFile::v_Fail(int error) {
  v_Discard();
  CQ_FileException::ThrowOsError(error, m_strPath);
}

void CQ_TemporaryFile::v_Write(const char* data, std::size_t size) {
  if (m_iDescriptor < 0) v_Fail(EBADF);
  while (size > 0) {
    const ssize_t written = ::write(m_iDescriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      v_Fail(errno);
    }
    if (written == 0) v_Fail(ENOSPC);
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void CQ_TemporaryFile::v_CheckDestination() {
  if (m_iDescriptor < 0) v_Fail(EBADF);
  struct stat st {};
  if (::fstatat(m_iFolder, ccs_FileName().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
    v_Fail(EISDIR);
  }
}

std::string CQ_TemporaryFile::ccs_FileName() const {
  const std::size_t slash = m_strPath.rfind('/');
  return slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
}

void CQ_TemporaryFile::v_Commit() {
  if (m_iDescriptor < 0) v_Fail(EBADF);
  if (::fsync(m_iDescriptor) != 0 && errno != EINVAL && errno != EROFS) v_Fail(errno);
  const int fd = m_iDescriptor;
  m_iDescriptor = -1;
  if (::close(fd) != 0) v_Fail(errno);
  try {
    sv_PassCommitGate();
  } catch (...) {
    v_Discard();
    throw;
  }
  if (::renameat(m_iFolder, m_strTemporaryName.c_str(), m_iFolder, ccs_FileName().c_str()) != 0) v_Fail(errno);
  m_bCommitted = true;
  m_strTemporaryName.clear();
}

}  // namespace Platform
