// Reads a file, or bytes already in memory, one byte at a time through a
// block buffer of 4096 bytes.
//
// Opening or reading a file that fails raises Platform::CQ_FileException
// with the cause of the operating system's error and the file's name. The
// reader owns its file descriptor and closes it when destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CQ_FileBlockReader {
 public:
  static constexpr std::size_t BLOCK_SIZE = 4096;

  // Opens path for reading; raises Platform::CQ_FileException on failure.
  explicit CQ_FileBlockReader(const std::string& path);
  // Reads from bytes, which must outlive the reader.
  explicit CQ_FileBlockReader(std::string_view bytes);
  ~CQ_FileBlockReader();

  CQ_FileBlockReader(const CQ_FileBlockReader&) = delete;
  CQ_FileBlockReader& operator=(const CQ_FileBlockReader&) = delete;

  // The next byte (0 to 255), or -1 at the end of the input.
  int i_Get() {
    if (m_pNext == m_pEnd && !b_Refill()) return -1;
    return static_cast<unsigned char>(*m_pNext++);
  }

  // Puts back the byte just read by i_Get (one byte only, never -1).
  void v_Unget() { --m_pNext; }

  // Skips up to count bytes; returns how many could be skipped (fewer only
  // at the end of the input).
  std::uint64_t n_Skip(std::uint64_t count);

  // Appends bytes up to (not including) the next CR or LF to out, leaving
  // the reader on that byte or at the end. Lets a line reader copy whole
  // runs instead of single bytes.
  void v_AppendUntilLineEnd(std::string& out);

  // Bytes read so far (including one put back).
  std::uint64_t n_Offset() const { return m_nBlockStart + static_cast<std::uint64_t>(m_pNext - m_pBlock); }

 private:
  bool b_Refill();

  int m_iFile = -1;
  std::string m_strPath;
  char m_acBuffer[BLOCK_SIZE];
  const char* m_pBlock = m_acBuffer;
  const char* m_pNext = m_acBuffer;
  const char* m_pEnd = m_acBuffer;
  std::uint64_t m_nBlockStart = 0;
  bool m_bMemory = false;
};
