// Block-buffered line reading. Each 4096-byte block (or the whole memory
// buffer) is searched for CR and LF with memchr; the bytes between line ends
// are appended to the current line in one call, or handed out in place by
// the view form, so a long line costs one pass over its bytes. The copying
// reader collects its output in a 64 KiB buffer and writes it when full.
#include "kernel/forward/MIFLineReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "System/Platform/FileException.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

constexpr std::size_t kCopyBufferSize = 1 << 16;

int OpenForReading(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
  return fd;
}

}  // namespace

CQ_MIFLineReader::CQ_MIFLineReader(const std::string& path) : m_strPath(path) {
  m_fd = OpenForReading(path);
  m_block.resize(BLOCK_SIZE);
  struct stat st {};
  if (::fstat(m_fd, &st) == 0 && st.st_size > 0) m_nSizeHint = static_cast<std::size_t>(st.st_size);
}

CQ_MIFLineReader::CQ_MIFLineReader(const char* data, std::size_t size)
    : m_pMemory(data), m_nMemorySize(data ? size : 0), m_nSizeHint(m_nMemorySize) {}

CQ_MIFLineReader::~CQ_MIFLineReader() {
  if (m_fd >= 0) ::close(m_fd);
}

bool CQ_MIFLineReader::b_Fill() {
  if (m_bEnd) return false;
  m_nBlockPos = 0;
  m_nBlockLen = 0;
  if (m_fd >= 0) {
    ssize_t n;
    do {
      n = ::read(m_fd, m_block.data(), BLOCK_SIZE);
    } while (n < 0 && errno == EINTR);
    if (n < 0) Platform::CQ_FileException::ThrowOsError(errno, m_strPath);
    m_pBlock = m_block.data();
    m_nBlockLen = static_cast<std::size_t>(n);
  } else if (!m_bMemoryRead) {
    // Memory is one block, read where it lies.
    m_pBlock = m_pMemory;
    m_nBlockLen = m_nMemorySize;
    m_bMemoryRead = true;
  }
  if (m_nBlockLen == 0) m_bEnd = true;
  m_nNextLF = NOT_SEARCHED;
  m_nNextCR = NOT_SEARCHED;
  return m_nBlockLen > 0;
}

bool CQ_MIFLineReader::b_ReadLine(std::string& line, bool trim) {
  line.clear();
  for (;;) {
    if (m_nBlockPos >= m_nBlockLen && !b_Fill()) break;
    const std::size_t i = n_LineEnd();
    line.append(m_pBlock + m_nBlockPos, i - m_nBlockPos);
    m_nBlockPos = i;
    if (i >= m_nBlockLen) continue;  // the line goes on in the next block
    ++m_nBlockPos;                   // consume the line end
    if (trim) {
      const std::string_view t = MIFSyntax::Trim(line);
      if (t.empty()) {
        line.clear();
        continue;
      }
      if (t.size() != line.size()) line = std::string(t);
    } else if (line.empty()) {
      continue;
    }
    ++m_nLines;
    return true;
  }
  // End of input: the last line may lack its line end.
  if (trim) {
    const std::string_view t = MIFSyntax::Trim(line);
    if (t.size() != line.size()) line = std::string(t);
  }
  if (line.empty()) return false;
  ++m_nLines;
  return true;
}

bool CQ_MIFLineReader::b_ReadLineView(std::string_view& line) {
  m_line.clear();
  bool spans = false;  // the line began in an earlier block: it is in m_line
  for (;;) {
    if (m_nBlockPos >= m_nBlockLen && !b_Fill()) break;
    const std::size_t begin = m_nBlockPos;
    const std::size_t i = n_LineEnd();
    m_nBlockPos = i;
    if (i >= m_nBlockLen) {
      m_line.append(m_pBlock + begin, i - begin);
      spans = true;
      continue;
    }
    ++m_nBlockPos;
    std::string_view whole(m_pBlock + begin, i - begin);
    if (spans) {
      m_line.append(whole);
      whole = m_line;
    }
    const std::string_view t = MIFSyntax::Trim(whole);
    if (t.empty()) {
      m_line.clear();
      spans = false;
      continue;
    }
    line = t;
    ++m_nLines;
    return true;
  }
  const std::string_view t = MIFSyntax::Trim(m_line);
  if (t.empty()) return false;
  line = t;
  ++m_nLines;
  return true;
}

CQ_MIFCopyingReader::CQ_MIFCopyingReader(const std::string& sourcePath, const std::string& orgPath)
    : CQ_MIFLineReader(sourcePath),
      m_strORGPath(orgPath),
      m_pcoOut(std::make_unique<Platform::CQ_TemporaryFile>(orgPath)),
      m_pOut(new char[kCopyBufferSize]) {
  ::unlink(ccs_EarlierTemporaryName(orgPath).c_str());
}

CQ_MIFCopyingReader::~CQ_MIFCopyingReader() = default;

bool CQ_MIFCopyingReader::b_ReadLine(std::string& line, bool trim) {
  if (!CQ_MIFLineReader::b_ReadLine(line, trim)) return false;
  v_Copy(line);
  return true;
}

bool CQ_MIFCopyingReader::b_ReadLineView(std::string_view& line) {
  if (!CQ_MIFLineReader::b_ReadLineView(line)) return false;
  v_Copy(line);
  return true;
}

void CQ_MIFCopyingReader::v_Copy(std::string_view line) {
  if (!m_pcoOut) Platform::CQ_FileException::ThrowOsError(EBADF, m_strORGPath);
  if (m_nOut + line.size() + 1 > kCopyBufferSize) {
    v_Flush();
    if (line.size() + 1 > kCopyBufferSize) {
      // A line longer than the buffer goes out as it is.
      m_pcoOut->v_Write(line.data(), line.size());
      m_pcoOut->v_Write("\n", 1);
      return;
    }
  }
  char* out = m_pOut.get() + m_nOut;
  std::memcpy(out, line.data(), line.size());
  out[line.size()] = '\n';
  m_nOut += line.size() + 1;
}

void CQ_MIFCopyingReader::v_Flush() {
  m_pcoOut->v_Write(m_pOut.get(), m_nOut);
  m_nOut = 0;
}

std::unique_ptr<Platform::CQ_TemporaryFile> CQ_MIFCopyingReader::pco_TakeCopy() {
  if (!m_pcoOut) Platform::CQ_FileException::ThrowOsError(EBADF, m_strORGPath);
  v_Flush();
  return std::move(m_pcoOut);
}

void CQ_MIFCopyingReader::v_Commit() {
  if (!m_pcoOut) return;  // committed already, or handed over
  pco_TakeCopy()->v_Commit();
}
