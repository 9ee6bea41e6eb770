// Block-buffered line reading. Each 4096-byte block is scanned for CR and LF;
// the bytes between line ends are appended to the current line in one call,
// so a long line costs one pass over its bytes. The copying reader collects
// its output in memory and writes it in large pieces.
#include "kernel/forward/MIFLineReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "System/Platform/FileException.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

constexpr std::size_t kCopyFlushSize = 1 << 16;

int OpenForReading(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
  return fd;
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Platform::CQ_FileException::ThrowOsError(errno, path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

CQ_MIFLineReader::CQ_MIFLineReader(const std::string& path) : m_strPath(path) {
  m_fd = OpenForReading(path);
  m_block.resize(BLOCK_SIZE);
}

CQ_MIFLineReader::CQ_MIFLineReader(const char* data, std::size_t size)
    : m_pMemory(data), m_nMemorySize(data ? size : 0) {
  m_block.resize(BLOCK_SIZE);
}

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
    m_nBlockLen = static_cast<std::size_t>(n);
  } else {
    const std::size_t left = m_nMemorySize - m_nMemoryPos;
    m_nBlockLen = left < BLOCK_SIZE ? left : BLOCK_SIZE;
    if (m_nBlockLen > 0) std::memcpy(m_block.data(), m_pMemory + m_nMemoryPos, m_nBlockLen);
    m_nMemoryPos += m_nBlockLen;
  }
  if (m_nBlockLen == 0) m_bEnd = true;
  return m_nBlockLen > 0;
}

bool CQ_MIFLineReader::b_ReadLine(std::string& line, bool trim) {
  line.clear();
  for (;;) {
    if (m_nBlockPos >= m_nBlockLen && !b_Fill()) break;
    const char* block = m_block.data();
    std::size_t i = m_nBlockPos;
    while (i < m_nBlockLen && block[i] != '\n' && block[i] != '\r') ++i;
    line.append(block + m_nBlockPos, i - m_nBlockPos);
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

CQ_MIFCopyingReader::CQ_MIFCopyingReader(const std::string& sourcePath, const std::string& orgPath)
    : CQ_MIFLineReader(sourcePath), m_strORGPath(orgPath), m_strTempPath(ccs_TemporaryName(orgPath)) {
  int fd;
  do {
    fd = ::open(m_strTempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Platform::CQ_FileException::ThrowOsError(errno, orgPath);
  m_fdOut = fd;
}

CQ_MIFCopyingReader::~CQ_MIFCopyingReader() {
  if (m_fdOut >= 0) ::close(m_fdOut);
  if (!m_bCommitted) ::unlink(m_strTempPath.c_str());
}

bool CQ_MIFCopyingReader::b_ReadLine(std::string& line, bool trim) {
  if (!CQ_MIFLineReader::b_ReadLine(line, trim)) return false;
  m_out.append(line);
  m_out.push_back('\n');
  if (m_out.size() >= kCopyFlushSize) v_Flush();
  return true;
}

void CQ_MIFCopyingReader::v_Flush() {
  WriteAll(m_fdOut, m_out.data(), m_out.size(), m_strORGPath);
  m_out.clear();
}

void CQ_MIFCopyingReader::v_Commit() {
  if (m_bCommitted) return;
  v_Flush();
  const int fd = m_fdOut;
  m_fdOut = -1;
  if (::close(fd) != 0) Platform::CQ_FileException::ThrowOsError(errno, m_strORGPath);
  if (std::rename(m_strTempPath.c_str(), m_strORGPath.c_str()) != 0) {
    Platform::CQ_FileException::ThrowOsError(errno, m_strORGPath);
  }
  m_bCommitted = true;
}
