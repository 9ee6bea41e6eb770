// The output file under the KWX writers: exclusive, buffered and
// all-or-nothing.
//
// Bytes go to a Platform::CQ_TemporaryFile in the destination's folder
// (short fixed-length name, flushed to the disk before the rename) through
// a 64 KiB buffer, the size the ORG copy is written with (fewer, larger
// writes). Line ends are written as the platform's text files have them in
// this format's home: every line feed is stored as carriage return and line
// feed. v_Commit renames the finished file over the destination; a writer
// destroyed without a successful commit removes its temporary file, so a
// failure never leaves a partial or truncated output behind. A caller that
// writes several files of one result keeps their writers and commits them
// together at the end.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "System/Export.h"
#include "System/Platform/TemporaryFile.h"

class OSTRAKON_API CQ_KWXFileWriter {
 public:
  static constexpr std::size_t BUFFER_SIZE = std::size_t(1) << 16;

  // Creates the temporary file beside `path`. Raises
  // Platform::CQ_FileException naming `path` (not the temporary name) when
  // the folder does not exist or the file cannot be created.
  explicit CQ_KWXFileWriter(std::string path);
  // Removes the temporary file when v_Commit has not succeeded.
  ~CQ_KWXFileWriter();

  CQ_KWXFileWriter(const CQ_KWXFileWriter&) = delete;
  CQ_KWXFileWriter& operator=(const CQ_KWXFileWriter&) = delete;

  // Appends bytes; each "\n" among them is written as "\r\n". Raises
  // Platform::CQ_FileException naming the destination when the disk is full
  // or a write fails.
  void v_Write(std::string_view bytes);
  // Inline: it ends every line.
  void v_Write(char byte) {
    if (byte == '\n') {
      if (m_nUsed + 2 > BUFFER_SIZE) v_Flush();
      m_pcBuffer.get()[m_nUsed++] = '\r';
    } else if (m_nUsed == BUFFER_SIZE) {
      v_Flush();
    }
    m_pcBuffer.get()[m_nUsed++] = byte;
  }
  // Appends the line and a line end.
  void v_WriteLine(std::string_view line) {
    v_Write(line);
    v_Write('\n');
  }

  // Flushes, closes and renames the file over the destination (replacing
  // any file of that name). Raises Platform::CQ_FileException naming the
  // destination on failure; the temporary file is gone either way. Nothing
  // may be written afterwards.
  void v_Commit();

  // See Platform::CQ_TemporaryFile::v_CheckDestination.
  void v_CheckDestination() { m_coFile.v_CheckDestination(); }


 private:
  void v_Flush();
  // Appends bytes that hold no line feed.
  void v_Copy(const char* bytes, std::size_t size);
  // v_Write of [p, end) sixteen bytes at a time where SSE2 is there, eight
  // otherwise: for many short lines.
  void v_WriteShortLines(const char* p, const char* end);

  std::string m_strPath;
  Platform::CQ_TemporaryFile m_coFile;
  std::size_t m_nUsed = 0;
  std::unique_ptr<char[]> m_pcBuffer;
};
