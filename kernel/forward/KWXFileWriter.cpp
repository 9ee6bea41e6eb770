// Buffered, all-or-nothing output for the KWX writers.
//
// The temporary file and its commit are Platform::CQ_TemporaryFile's. The
// "\n" to "\r\n" expansion happens while bytes are copied into the
// buffer, so a line end is never split from its carriage return by a
// flush.
#include "kernel/forward/KWXFileWriter.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

CQ_KWXFileWriter::CQ_KWXFileWriter(std::string path)
    : m_strPath(path), m_coFile(std::move(path)), m_pcBuffer(new char[BUFFER_SIZE]) {}

CQ_KWXFileWriter::~CQ_KWXFileWriter() = default;

void CQ_KWXFileWriter::v_Flush() {
  m_coFile.v_Write(m_pcBuffer.get(), m_nUsed);
  m_nUsed = 0;
}

void CQ_KWXFileWriter::v_Write(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* const stop = found ? static_cast<const char*>(found) : end;
    const std::size_t size = static_cast<std::size_t>(stop - p);
    if (size <= BUFFER_SIZE - m_nUsed) {
      std::memcpy(m_pcBuffer.get() + m_nUsed, p, size);
      m_nUsed += size;
    } else {
      v_Copy(p, size);
    }
    if (!found) return;
    v_Write('\n');
    // A short line with more text after it: many lines in one piece (a
    // stretch of MIF lines), which go faster eight bytes at a time than with
    // a search and a copy each.
    if constexpr (std::endian::native == std::endian::little) {
      if (stop - p < 32 && end - stop > 64) {
        v_WriteShortLines(stop + 1, end);
        return;
      }
    }
    p = stop + 1;
  }
}

void CQ_KWXFileWriter::v_Copy(const char* bytes, std::size_t size) {
  std::size_t copied = 0;
  while (copied < size) {
    if (m_nUsed == BUFFER_SIZE) v_Flush();
    const std::size_t chunk = std::min(size - copied, BUFFER_SIZE - m_nUsed);
    std::memcpy(m_pcBuffer.get() + m_nUsed, bytes + copied, chunk);
    m_nUsed += chunk;
    copied += chunk;
  }
}

void CQ_KWXFileWriter::v_WriteShortLines(const char* p, const char* const end) {
  // Eight bytes a round: copied whole, then kept up to the first line feed
  // among them, if any, which is written as CR LF (the next round starts
  // after it).
  constexpr std::uint64_t ones = 0x0101010101010101ULL;
  constexpr std::uint64_t lineFeeds = ones * '\n';
  constexpr std::uint64_t highs = ones * 0x80;
  while (p < end) {
    if (BUFFER_SIZE - m_nUsed < 16) v_Flush();
    char* const out = m_pcBuffer.get();
    std::size_t used = m_nUsed;
    // Input taken this time: what fits even with every byte a line feed, so
    // that each round has room for its eight bytes.
    const char* const stop = p + std::min(static_cast<std::size_t>(end - p), (BUFFER_SIZE - used) / 2);
#if defined(__SSE2__)
    // Sixteen bytes a round where SSE2 is there: without a line feed they
    // are copied whole; otherwise each piece up to a line feed is copied
    // as sixteen bytes from where it begins (a copy of fixed size; only the
    // piece is kept) and followed by CR LF, and the next round starts after
    // the last line feed. A round reads at most 32 bytes ahead and writes
    // at most sixteen bytes past what it keeps, within what `stop` allows.
    const __m128i lineFeed = _mm_set1_epi8('\n');
    while (stop - p >= 32) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lineFeed)));
      if (mask == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + used), v);
        used += 16;
        p += 16;
        continue;
      }
      const char* const base = p;
      do {
        const char* const lf = base + std::countr_zero(mask);
        std::memcpy(out + used, p, 16);
        used += static_cast<std::size_t>(lf - p);
        out[used++] = '\r';
        out[used++] = '\n';
        p = lf + 1;
        mask &= mask - 1;
      } while (mask != 0);
    }
#endif
    while (stop - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      std::memcpy(out + used, p, sizeof word);
      const std::uint64_t x = word ^ lineFeeds;
      // A byte of x is zero where the input has a line feed; the lowest bit
      // set marks the first of them exactly (little-endian: the first byte).
      const std::uint64_t found = (x - ones) & ~x & highs;
      if (found == 0) {
        used += 8;
        p += 8;
        continue;
      }
      const std::size_t k = static_cast<std::size_t>(std::countr_zero(found)) / 8;
      used += k;
      out[used++] = '\r';
      out[used++] = '\n';
      p += k + 1;
    }
    for (; p < stop; ++p) {
      if (*p == '\n') out[used++] = '\r';
      out[used++] = *p;
    }
    m_nUsed = used;
  }
}

void CQ_KWXFileWriter::v_Commit() {
  try {
    v_Flush();
  } catch (...) {
    m_coFile.v_Discard();
    throw;
  }
  m_coFile.v_Commit();
}
