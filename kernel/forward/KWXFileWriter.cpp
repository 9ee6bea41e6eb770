// Exclusive, buffered, all-or-nothing output for the KWX writers.
//
// The temporary file is created with O_EXCL under a name made of the
// destination's name, the process id and a running number, so two writers
// (in this process or another) never share one. Writes loop until the
// kernel took every byte; EINTR is retried. The "\n" to "\r\n" expansion
// happens while bytes are copied into the buffer, so a line end is never
// split from its carriage return by a flush.
#include "kernel/forward/KWXFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "System/Platform/FileException.h"

namespace {

std::atomic<unsigned> g_temporaryCounter{0};

std::string TemporaryPathFor(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()),
                g_temporaryCounter.fetch_add(1));
  return folder + "." + name + suffix;
}

}  // namespace

CQ_KWXFileWriter::CQ_KWXFileWriter(std::string path)
    : m_strPath(std::move(path)), m_pcBuffer(new char[BUFFER_SIZE]) {
  if (m_strPath.empty() || m_strPath.back() == '/') {
    Platform::CQ_FileException::ThrowOsError(EISDIR, m_strPath);
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    m_strTemporaryPath = TemporaryPathFor(m_strPath);
    m_iDescriptor = ::open(m_strTemporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_iDescriptor >= 0) return;
    if (errno != EEXIST) break;
  }
  const int error = errno;
  m_strTemporaryPath.clear();
  Platform::CQ_FileException::ThrowOsError(error, m_strPath);
}

CQ_KWXFileWriter::~CQ_KWXFileWriter() {
  if (m_iDescriptor >= 0) ::close(m_iDescriptor);
  if (!m_bCommitted && !m_strTemporaryPath.empty()) ::unlink(m_strTemporaryPath.c_str());
}

void CQ_KWXFileWriter::v_Fail(int error) {
  if (m_iDescriptor >= 0) ::close(m_iDescriptor);
  m_iDescriptor = -1;
  if (!m_strTemporaryPath.empty()) ::unlink(m_strTemporaryPath.c_str());
  m_strTemporaryPath.clear();
  Platform::CQ_FileException::ThrowOsError(error, m_strPath);
}

void CQ_KWXFileWriter::v_Flush() {
  if (m_iDescriptor < 0) v_Fail(EBADF);
  std::size_t done = 0;
  while (done < m_nUsed) {
    const ssize_t written = ::write(m_iDescriptor, m_pcBuffer.get() + done, m_nUsed - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      v_Fail(errno);
    }
    if (written == 0) v_Fail(ENOSPC);
    done += static_cast<std::size_t>(written);
  }
  m_nUsed = 0;
}

void CQ_KWXFileWriter::v_Write(char byte) {
  if (byte == '\n') {
    if (m_nUsed + 2 > BUFFER_SIZE) v_Flush();
    m_pcBuffer.get()[m_nUsed++] = '\r';
  } else if (m_nUsed == BUFFER_SIZE) {
    v_Flush();
  }
  m_pcBuffer.get()[m_nUsed++] = byte;
}

void CQ_KWXFileWriter::v_Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const void* found = std::memchr(bytes.data(), '\n', bytes.size());
    const std::size_t plain =
        found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data()) : bytes.size();
    std::size_t copied = 0;
    while (copied < plain) {
      if (m_nUsed == BUFFER_SIZE) v_Flush();
      const std::size_t chunk = std::min(plain - copied, BUFFER_SIZE - m_nUsed);
      std::memcpy(m_pcBuffer.get() + m_nUsed, bytes.data() + copied, chunk);
      m_nUsed += chunk;
      copied += chunk;
    }
    if (!found) return;
    v_Write('\n');
    bytes.remove_prefix(plain + 1);
  }
}

void CQ_KWXFileWriter::v_Commit() {
  v_Flush();
  if (::close(m_iDescriptor) != 0) {
    m_iDescriptor = -1;
    v_Fail(errno);
  }
  m_iDescriptor = -1;
  if (::rename(m_strTemporaryPath.c_str(), m_strPath.c_str()) != 0) v_Fail(errno);
  m_bCommitted = true;
  m_strTemporaryPath.clear();
}
