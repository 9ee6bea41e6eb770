// Buffered, all-or-nothing output for the KWX writers.
//
// The temporary file and its commit are Platform::CQ_TemporaryFile's. The
// "\n" to "\r\n" expansion happens while bytes are copied into the
// buffer, so a line end is never split from its carriage return by a
// flush.
#include "kernel/forward/KWXFileWriter.h"

#include <algorithm>
#include <cstring>

CQ_KWXFileWriter::CQ_KWXFileWriter(std::string path)
    : m_strPath(path), m_coFile(std::move(path)), m_pcBuffer(new char[BUFFER_SIZE]) {}

CQ_KWXFileWriter::~CQ_KWXFileWriter() = default;

void CQ_KWXFileWriter::v_Flush() {
  m_coFile.v_Write(m_pcBuffer.get(), m_nUsed);
  m_nUsed = 0;
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
  try {
    v_Flush();
  } catch (...) {
    m_coFile.v_Discard();
    throw;
  }
  m_coFile.v_Commit();
}
