// Whole-file reading: one read for a regular file of known size (and one
// more that sees its end), growing blocks otherwise.
#include "System/Platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "System/Platform/FileException.h"

namespace Platform {

namespace {

// Closes the descriptor however reading ends.
struct Descriptor {
  int fd;
  ~Descriptor() { ::close(fd); }
};

}  // namespace

CQ_WholeFile::CQ_WholeFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) CQ_FileException::ThrowOsError(errno, path);
  const Descriptor file{fd};
  struct stat st {};
  // One byte more than the size, so that the end is seen without growing.
  std::size_t capacity = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
                             ? static_cast<std::size_t>(st.st_size) + 1
                             : std::size_t(1) << 16;
  m_coBlock = LargeBuffer(capacity);
  for (;;) {
    if (m_nSize == capacity) {
      LargeBuffer larger(capacity * 2);
      std::memcpy(larger.data(), m_coBlock.data(), m_nSize);
      m_coBlock = std::move(larger);
      capacity *= 2;
    }
    const ssize_t n = ::read(fd, m_coBlock.data() + m_nSize, capacity - m_nSize);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) CQ_FileException::ThrowOsError(errno, path);
    if (n == 0) break;
    m_nSize += static_cast<std::size_t>(n);
  }
}

}  // namespace Platform
