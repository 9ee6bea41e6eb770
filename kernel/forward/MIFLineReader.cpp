// Block-buffered line reading. Each 4096-byte block (or the whole memory
// buffer) is searched for CR and LF with memchr; the bytes between line ends
// are appended to the current line in one call, or handed out in place by
// the view form, so a long line costs one pass over its bytes. The copying
// reader collects its output in a 64 KiB buffer and writes it when full.
// The form with net depths walks a line that lies whole in the block 16
// bytes at a time, stopping only at brackets, strings, comments and line
// ends, and leaves the few lines it does not settle to the form above.
#include "kernel/forward/MIFLineReader.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System/Platform/FileException.h"
#include "kernel/forward/MIFSyntax.h"

namespace {

constexpr std::size_t kCopyBufferSize = 1 << 16;

// Byte classes of the one-walk line scan (b_ReadLineNet).
enum : unsigned char {
  SCAN_SPACE = 1,      // blank, tab, CR, LF, vertical tab, form feed
  SCAN_STOP = 2,       // ends a run of other bytes: '<', '>', '#', '`', CR, LF
  SCAN_IN_STRING = 4,  // ends a run inside a string: the apostrophe, CR, LF
  SCAN_LINE_END = 8,   // CR, LF
  SCAN_BYTEWISE = 16,  // '&', '=': first bytes of lines left to the byte-wise reading
};

constexpr std::array<unsigned char, 256> MakeScanClasses() {
  std::array<unsigned char, 256> classes{};
  for (unsigned char c : {' ', '\t', '\v', '\f'}) classes[c] = SCAN_SPACE;
  for (unsigned char c : {'\r', '\n'}) classes[c] = SCAN_SPACE | SCAN_STOP | SCAN_IN_STRING | SCAN_LINE_END;
  for (unsigned char c : {'<', '>', '#', '`'}) classes[c] = SCAN_STOP;
  for (unsigned char c : {'&', '='}) classes[c] = SCAN_BYTEWISE;
  classes[static_cast<unsigned char>('\'')] = SCAN_IN_STRING;
  return classes;
}

constinit const std::array<unsigned char, 256> kScanClass = MakeScanClasses();

inline bool Is(char c, unsigned char cls) { return (kScanClass[static_cast<unsigned char>(c)] & cls) != 0; }

// Bit i set when at[i] is a byte the line scan stops at: '<', '>', '#',
// '`', the apostrophe, CR or LF. Reads the 16 bytes from at.
inline unsigned StopMask(const char* at) {
#if defined(__SSE2__)
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  // '<' (0x3C) and '>' (0x3E) differ only in bit 1: with that bit set,
  // both are '>' and no other byte is.
  __m128i m = _mm_cmpeq_epi8(_mm_or_si128(v, _mm_set1_epi8(0x02)), _mm_set1_epi8('>'));
  m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8('#')));
  m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8('`')));
  m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8('\'')));
  m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
  m = _mm_or_si128(m, _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
  return static_cast<unsigned>(_mm_movemask_epi8(m));
#else
  unsigned mask = 0;
  for (unsigned i = 0; i < 16; ++i) {
    if (Is(at[i], SCAN_STOP | SCAN_IN_STRING)) mask |= 1u << i;
  }
  return mask;
#endif
}

// Scans the line whose first byte (no white space) is at p, 16 bytes at a
// time: returns its line end (the CR or LF that ends it) and sets net to
// the line's net depth as MIFSyntax::NetDepth counts it on the trimmed
// line. Returns null, leaving the line to the byte-wise reading, for the
// lines this walk does not settle: one whose end lies less than 16 bytes
// before `end`, image data and comment lines (which may run to megabytes
// and are found by memchr), and a string with an escaped apostrophe, which
// ends the string only when it is the line's last.
const char* ScanLine(const char* p, const char* end, int& net) {
  const char first = *p;
  if (first == '&' || first == '=' || first == '#') return nullptr;
  enum { CODE, STRING, COMMENT } state = CODE;
  int depth = 0;
  const char* stringStart = nullptr;
  const char* chunk = p;
  if (first == '>' && end - p >= 3 && p[1] == ' ' && p[2] == '#') {
    // A closer, "> # end of Name": a third of a document's lines.
    depth = -1;
    state = COMMENT;
    chunk = p + 3;
  }
  for (; end - chunk >= 16; chunk += 16) {
    for (unsigned m = StopMask(chunk); m != 0; m &= m - 1) {
      const char* const at = chunk + std::countr_zero(m);
      const char c = *at;
      if (Is(c, SCAN_LINE_END)) {
        net = depth;
        return at;
      }
      if (state == CODE) {
        if (c == '<') {
          ++depth;
        } else if (c == '>') {
          --depth;
        } else if (c == '#') {
          state = COMMENT;  // nothing after it counts
        } else if (c == '`') {
          state = STRING;
          stringStart = at + 1;
        }
      } else if (state == STRING && c == '\'') {
        std::size_t backslashes = 0;
        for (const char* b = at; b > stringStart && b[-1] == '\\'; --b) ++backslashes;
        if (backslashes % 2 != 0) return nullptr;
        state = CODE;
      }
    }
  }
  return nullptr;
}

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

bool CQ_MIFLineReader::b_ReadLineNet(std::string_view& line, int& net) {
  // White space before the line, empty lines included, is passed over
  // (across blocks: it belongs to no line).
  for (;;) {
    while (m_nBlockPos < m_nBlockLen && Is(m_pBlock[m_nBlockPos], SCAN_SPACE)) ++m_nBlockPos;
    if (m_nBlockPos < m_nBlockLen) break;
    if (!b_Fill()) return false;
  }
  const char* const begin = m_pBlock + m_nBlockPos;
  const char* const e = ScanLine(begin, m_pBlock + m_nBlockLen, net);
  if (e == nullptr) {
    // A line that runs over the block's end, or one left to memchr.
    if (!CQ_MIFLineReader::b_ReadLineView(line)) return false;
    net = MIFSyntax::NetDepth(line);
    return true;
  }
  const char* last = e;
  while (Is(last[-1], SCAN_SPACE)) --last;  // stops at the first byte, no white space
  line = std::string_view(begin, static_cast<std::size_t>(last - begin));
  m_nBlockPos = static_cast<std::size_t>(e - m_pBlock) + 1;
  ++m_nLines;
  return true;
}

std::size_t CQ_MIFLineReader::n_ReadLinesNet(st_LineNet* out, std::size_t max) {
  std::size_t n = 0;
  // Lines are scanned from the block position while their bytes lie in
  // the block; a line the walk does not settle (see ScanLine) ends the
  // batch, or, first in its batch, is read on its own.
  const char* const blockEnd = m_pBlock + m_nBlockLen;
  const char* p = m_pBlock + m_nBlockPos;
  // The batch ends before the line at p (its white space passed over).
  const auto single = [&]() -> std::size_t {
    m_nBlockPos = static_cast<std::size_t>(p - m_pBlock);
    if (n > 0) {
      m_nLines += n;
      return n;
    }
    return CQ_MIFLineReader::b_ReadLineNet(out[0].sv_Line, out[0].i_Net) ? 1 : 0;
  };
  if (m_nBlockPos >= m_nBlockLen) return single();
  // The 16-byte step in hand: its first byte and the stop bits not yet
  // handled (StopMask).
  const char* chunk = nullptr;
  unsigned mask = 0;
  while (n < max) {
    // The class of the line's first byte answers both questions.
    unsigned char cls = 0;
    while (p < blockEnd && ((cls = kScanClass[static_cast<unsigned char>(*p)]) & SCAN_SPACE) != 0) ++p;
    if (p == blockEnd || (cls & SCAN_BYTEWISE) != 0) return single();
    const char* const begin = p;
    const bool last = *p == '#';
    // The step may already hold the line's first bytes: bits before the
    // line (line ends of empty lines) are dropped.
    if (chunk != nullptr && begin < chunk + 16) {
      mask &= ~0u << (begin - chunk);
    } else {
      if (blockEnd - begin < 16) return single();
      chunk = begin;
      mask = StopMask(chunk);
    }
    enum { CODE, STRING, COMMENT } state = CODE;
    int depth = 0;
    if (*begin == '>' && blockEnd - begin >= 3 && begin[1] == ' ' && begin[2] == '#') {
      // A closer, "> # end of Name": a third of a document's lines. The
      // walk goes on from its comment, which holds only its line end.
      depth = -1;
      state = COMMENT;
      mask &= ~(7u << (begin - chunk));
    }
    const char* stringStart = nullptr;
    const char* end = nullptr;
    while (end == nullptr) {
      if (mask == 0) {
        chunk += 16;
        if (blockEnd - chunk < 16) return single();
        mask = StopMask(chunk);
        continue;
      }
      const char* const at = chunk + std::countr_zero(mask);
      mask &= mask - 1;
      const char c = *at;
      // Brackets first, the commonest stops; they count only outside
      // strings and comments.
      if (c == '<') {
        depth += state == CODE ? 1 : 0;
      } else if (c == '>') {
        depth -= state == CODE ? 1 : 0;
      } else if (c == '\n' || c == '\r') {
        end = at;
      } else if (state == CODE) {
        if (c == '#') {
          state = COMMENT;
        } else if (c == '`') {
          state = STRING;
          stringStart = at + 1;
        }
      } else if (state == STRING && c == '\'') {
        std::size_t backslashes = 0;
        for (const char* b = at; b > stringStart && b[-1] == '\\'; --b) ++backslashes;
        if (backslashes % 2 != 0) return single();  // ends the string only as the line's last
        state = CODE;
      }
    }
    const char* trimmed = end;
    while (Is(trimmed[-1], SCAN_SPACE)) --trimmed;  // stops at the first byte, no white space
    out[n].sv_Line = std::string_view(begin, static_cast<std::size_t>(trimmed - begin));
    out[n].i_Net = depth;
    ++n;  // counted in m_nLines when the batch ends
    p = end + 1;
    if (last) break;
  }
  m_nBlockPos = static_cast<std::size_t>(p - m_pBlock);
  m_nLines += n;
  return n;
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

bool CQ_MIFCopyingReader::b_ReadLineNet(std::string_view& line, int& net) {
  if (!CQ_MIFLineReader::b_ReadLineNet(line, net)) return false;
  v_Copy(line);
  return true;
}

std::size_t CQ_MIFCopyingReader::n_ReadLinesNet(st_LineNet* out, std::size_t max) {
  const std::size_t n = CQ_MIFLineReader::n_ReadLinesNet(out, max);
  for (std::size_t k = 0; k < n; ++k) v_Copy(out[k].sv_Line);
  return n;
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
