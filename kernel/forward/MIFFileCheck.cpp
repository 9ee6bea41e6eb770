// File checks and the EUC-JP to Shift-JIS copy. The copy leans on iconv
// (EUC-JP to CP932; glibc's SHIFT_JIS would turn 0x5C into a yen sign) and
// falls back to the arithmetic JIS rule for pairs iconv rejects, so the
// result is the same as a byte-wise conversion wherever a character exists.
#include "kernel/forward/MIFFileCheck.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include "System/Platform/FileException.h"
#include "kernel/forward/MIFUnicode.h"
#include "System/Platform/FileSystem.h"
#include "System/Platform/TemporaryFile.h"
#include "kernel/session/ResultCodes.h"

namespace {

// "Japanese" written in EUC-JP, as FrameMaker writes it in MIFEncoding.
constexpr std::string_view kEUCJapaneseMark = "\xC6\xFC\xCB\xDC\xB8\xEC";
// The mark of an EUC-TW file.
constexpr std::string_view kEUCTaiwanMark = "\xC4\xE3\xC5\xC6";

constexpr std::int64_t kMegabyte = 1024 * 1024;
constexpr std::int64_t kSpareBytes = 10 * kMegabyte;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsEUCByte(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

// JIS X 0208 row/cell (both 0x21..0x7E) to Shift-JIS.
void AppendJISAsShiftJIS(unsigned char e1, unsigned char e2, std::string& out) {
  const unsigned j1 = e1 - 0x80u;
  const unsigned j2 = e2 - 0x80u;
  const unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70u : 0xB0u);
  const unsigned s2 = (j1 & 1) ? j2 + (j2 <= 0x5F ? 0x1Fu : 0x20u) : j2 + 0x7Eu;
  out.push_back(static_cast<char>(s1));
  out.push_back(static_cast<char>(s2));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return m_fd; }
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

ssize_t ReadSome(int fd, char* buf, std::size_t size) {
  ssize_t n;
  do {
    n = ::read(fd, buf, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

}  // namespace

bool CQ_MIFFileCheck::sb_CheckHead(std::string_view head, int highestVersion) {
  head = head.substr(0, HEAD_SIZE);
  if (!StartsWith(head, "<MIFFile ")) throw Result::NOT_MIF;
  const bool accepted = StartsWith(head, "<MIFFile 4") || StartsWith(head, "<MIFFile 5.0") ||
                        StartsWith(head, "<MIFFile 5.5") || (highestVersion >= 70 && StartsWith(head, "<MIFFile 7.0")) ||
                        (highestVersion >= CQ_MIFUnicode::HIGHEST_VERSION &&
                         CQ_MIFUnicode::sb_IsAcceptedUnicodeVersion(CQ_MIFUnicode::si_Version(head)));
  if (!accepted) throw Result::MIF_VERSION;
  if (head.find(kEUCJapaneseMark) != std::string_view::npos) return true;
  if (head.find(kEUCTaiwanMark) != std::string_view::npos) throw Result::EUC_TW;
  return false;
}

bool CQ_MIFFileCheck::sb_EnoughDiskSpace(std::int64_t freeBytes, std::int64_t fileBytes) {
  return freeBytes >= fileBytes + kSpareBytes;
}

bool CQ_MIFFileCheck::sb_CheckFile(const std::string& path, const std::string& orgFolder, int highestVersion) {
  int raw;
  do {
    raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
  FileDescriptor fd(raw);

  char head[HEAD_SIZE];
  std::size_t have = 0;
  while (have < HEAD_SIZE) {
    const ssize_t n = ReadSome(fd.get(), head + have, HEAD_SIZE - have);
    if (n < 0) Platform::CQ_FileException::ThrowOsError(errno, path);
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  const bool euc = sb_CheckHead(std::string_view(head, have), highestVersion);

  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) Platform::CQ_FileException::ThrowOsError(errno, path);
  const std::int64_t freeBytes = Platform::FreeDiskSpace(orgFolder.empty() ? std::string(".") : orgFolder);
  if (freeBytes >= 0 && !sb_EnoughDiskSpace(freeBytes, static_cast<std::int64_t>(st.st_size))) throw Result::DISK_FULL;
  return euc;
}

CQ_EUCToShiftJIS::CQ_EUCToShiftJIS() {
  const iconv_t cd = ::iconv_open("CP932", "EUC-JP");
  m_cd = cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd;
}

CQ_EUCToShiftJIS::~CQ_EUCToShiftJIS() {
  if (m_cd) ::iconv_close(static_cast<iconv_t>(m_cd));
}

void CQ_EUCToShiftJIS::v_Convert(std::string_view piece, std::string& out, bool last) {
  std::string input;
  if (!m_carry.empty()) {
    input = m_carry;
    input.append(piece);
    m_carry.clear();
    piece = input;
  }
  // Shift-JIS is never longer than the EUC-JP it comes from.
  std::vector<char> buffer(piece.size() + 16);
  const char* in = piece.data();
  std::size_t inLeft = piece.size();
  while (inLeft > 0) {
    if (m_cd) {
      char* outPtr = buffer.data();
      std::size_t outLeft = buffer.size();
      char* inPtr = const_cast<char*>(in);
      const std::size_t r = ::iconv(static_cast<iconv_t>(m_cd), &inPtr, &inLeft, &outPtr, &outLeft);
      const int error = errno;
      out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
      in = inPtr;
      if (r != static_cast<std::size_t>(-1)) break;
      if (error == EINVAL) {
        // A sequence cut by the end of the piece.
        if (last) {
          out.append(in, inLeft);
        } else {
          m_carry.assign(in, inLeft);
        }
        return;
      }
      if (error != EILSEQ) {
        out.append(in, inLeft);
        return;
      }
    }
    // Not convertible by iconv (or no iconv): one step by the byte rules.
    const unsigned char b0 = static_cast<unsigned char>(in[0]);
    if (inLeft >= 2 && IsEUCByte(b0) && IsEUCByte(static_cast<unsigned char>(in[1]))) {
      AppendJISAsShiftJIS(b0, static_cast<unsigned char>(in[1]), out);
      in += 2;
      inLeft -= 2;
    } else if (!m_cd && inLeft >= 2 && b0 == 0x8E && static_cast<unsigned char>(in[1]) >= 0xA1 &&
               static_cast<unsigned char>(in[1]) <= 0xDF) {
      out.push_back(in[1]);
      in += 2;
      inLeft -= 2;
    } else if (!m_cd && !last && inLeft == 1 && (IsEUCByte(b0) || b0 == 0x8E)) {
      m_carry.assign(in, 1);
      return;
    } else {
      out.push_back(in[0]);
      ++in;
      --inLeft;
    }
  }
}

std::string CQ_EUCToShiftJIS::scs_Convert(std::string_view euc) {
  CQ_EUCToShiftJIS converter;
  std::string out;
  converter.v_Convert(euc, out, true);
  return out;
}

std::string CQ_EUCTempCopy::scs_TempPath(const std::string& orgFolder, const std::string& sourcePath) {
  return orgFolder + Platform::FileNameOf(sourcePath);
}

CQ_EUCTempCopy::CQ_EUCTempCopy(const std::string& sourcePath, const std::string& standIn) {
  int raw;
  do {
    raw = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) throw Result::EUC_TO_SJIS_FAILED;
  FileDescriptor in(raw);
  try {
    m_pcoFile = std::make_unique<Platform::CQ_TemporaryFile>(standIn);
    m_strPath = Platform::DirectoryOf(standIn) + m_pcoFile->rcs_GetTemporaryName();
    CQ_EUCToShiftJIS converter;
    char block[4096];
    std::string converted;
    for (;;) {
      const ssize_t n = ReadSome(in.get(), block, sizeof block);
      if (n < 0) throw Result::EUC_TO_SJIS_FAILED;
      converted.clear();
      converter.v_Convert(std::string_view(block, static_cast<std::size_t>(n)), converted, n == 0);
      m_pcoFile->v_Write(converted.data(), converted.size());
      if (n == 0) break;
    }
  } catch (const Platform::CQ_FileException&) {
    // The temporary file (if made) goes with m_pcoFile.
    throw Result::EUC_TO_SJIS_FAILED;
  }
}

// The temporary file is never committed: its destructor removes it.
CQ_EUCTempCopy::~CQ_EUCTempCopy() = default;
