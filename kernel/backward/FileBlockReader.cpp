// Block reading over POSIX descriptors. A byte put back after a refill is
// still in the buffer, because a refill happens only when the buffer is
// used up and v_Unget follows an i_Get that returned a byte of the current
// block.
#include "kernel/backward/FileBlockReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "System/Platform/FileException.h"

CQ_FileBlockReader::CQ_FileBlockReader(const std::string& path) : m_strPath(path) {
  do {
    m_iFile = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (m_iFile < 0 && errno == EINTR);
  if (m_iFile < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
}

CQ_FileBlockReader::CQ_FileBlockReader(std::string_view bytes)
    : m_pBlock(bytes.data()), m_pNext(bytes.data()), m_pEnd(bytes.data() + bytes.size()), m_bMemory(true) {}

CQ_FileBlockReader::~CQ_FileBlockReader() {
  if (m_iFile >= 0) ::close(m_iFile);
}

bool CQ_FileBlockReader::b_Refill() {
  if (m_bMemory) return false;
  m_nBlockStart += static_cast<std::uint64_t>(m_pEnd - m_pBlock);
  ssize_t got;
  do {
    got = ::read(m_iFile, m_acBuffer, BLOCK_SIZE);
  } while (got < 0 && errno == EINTR);
  if (got < 0) Platform::CQ_FileException::ThrowOsError(errno, m_strPath);
  m_pBlock = m_acBuffer;
  m_pNext = m_acBuffer;
  m_pEnd = m_acBuffer + got;
  return got > 0;
}

std::uint64_t CQ_FileBlockReader::n_Skip(std::uint64_t count) {
  std::uint64_t skipped = 0;
  while (skipped < count) {
    if (m_pNext == m_pEnd && !b_Refill()) break;
    const std::uint64_t here = std::min<std::uint64_t>(count - skipped, static_cast<std::uint64_t>(m_pEnd - m_pNext));
    m_pNext += here;
    skipped += here;
  }
  return skipped;
}

void CQ_FileBlockReader::v_AppendUntilLineEnd(std::string& out) {
  for (;;) {
    if (m_pNext == m_pEnd && !b_Refill()) return;
    // The line feed by memchr, then a carriage return before it (the
    // rarer end) in the shorter stretch.
    const std::size_t left = static_cast<std::size_t>(m_pEnd - m_pNext);
    const void* lf = std::memchr(m_pNext, '\n', left);
    const char* stop = lf ? static_cast<const char*>(lf) : m_pEnd;
    const void* cr = std::memchr(m_pNext, '\r', static_cast<std::size_t>(stop - m_pNext));
    if (cr) stop = static_cast<const char*>(cr);
    out.append(m_pNext, stop);
    m_pNext = stop;
    if (stop != m_pEnd) return;
  }
}
