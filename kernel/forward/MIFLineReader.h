// Line readers for MIF (and KWX text) files.
//
// CQ_MIFLineReader delivers the non-empty lines of a file or of a memory
// buffer. CR and LF both end a line, so LF, CR LF and Mac CR-only files read
// alike, and runs of line ends give no empty lines. Files are read in blocks
// of 4096 bytes, memory is read in place; a line may be of any length (image
// data lines can run to megabytes) and costs time linear in its length.
//
// CQ_MIFCopyingReader also writes every line it delivers, followed by one
// line feed, to the ORG copy. The copy is a Platform::CQ_TemporaryFile in
// the ORG folder and only takes the ORG file's name when it is committed
// after the whole file was read, by v_Commit or by whoever took it with
// pco_TakeCopy; a reader destroyed without either removes its temporary
// file, so a failed pre-scan never leaves a half-written ORG file behind.
//
// Failures: opening, reading or writing a file raises
// Platform::CQ_FileException with the cause of the OS error and the file's
// name. Nothing else is thrown.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "System/Platform/TemporaryFile.h"

class CQ_MIFLineReader {
 public:
  // Opens the file for reading; throws CQ_FileException when it cannot.
  explicit CQ_MIFLineReader(const std::string& path);
  // Reads from memory; the caller keeps the buffer alive while reading.
  CQ_MIFLineReader(const char* data, std::size_t size);
  virtual ~CQ_MIFLineReader();

  CQ_MIFLineReader(const CQ_MIFLineReader&) = delete;
  CQ_MIFLineReader& operator=(const CQ_MIFLineReader&) = delete;

  // The next non-empty line, trimmed of blank, tab, CR, LF, vertical tab
  // and form feed on both sides when `trim` is set (a line of white space
  // only is then skipped). False at the end of the input.
  virtual bool b_ReadLine(std::string& line, bool trim = true);

  // The same as b_ReadLine(line, true), but the line is a view into the
  // reader's own buffer (or into the caller's memory), valid until the next
  // read: no copy is made when the line lies within one block.
  virtual bool b_ReadLineView(std::string_view& line);

  // The same as b_ReadLineView, with the line's net depth
  // (MIFSyntax::NetDepth) found in the same walk over its bytes: a line
  // that lies whole in the block is scanned once for its end, its brackets,
  // strings and comment together.
  virtual bool b_ReadLineNet(std::string_view& line, int& net);

  // A line with its net depth.
  struct st_LineNet {
    std::string_view sv_Line;
    int i_Net = 0;
  };
  // The next lines b_ReadLineNet would give, up to `max` of them (max > 0),
  // into `out`; how many, 0 at the end of the input. The views are valid
  // until the next read. The lines of the block are scanned in one walk,
  // 16 bytes at a time, without stopping between lines. A line beginning
  // with '#' (comments, the end marker) is the last of its batch, so a
  // caller that stops at such a line has had nothing read beyond it.
  virtual std::size_t n_ReadLinesNet(st_LineNet* out, std::size_t max);

  // Number of lines delivered so far (1-based number of the last line).
  std::size_t n_LinesRead() const { return m_nLines; }

  // The size of the input in bytes when it was opened (0 when unknown), for
  // callers that size their buffers once.
  std::size_t n_SizeHint() const { return m_nSizeHint; }

  static constexpr std::size_t BLOCK_SIZE = 4096;

 private:
  static constexpr std::size_t NOT_SEARCHED = static_cast<std::size_t>(-1);

  bool b_Fill();
  // The next line end (CR or LF) at or after the block position, or the
  // block's end. Inline: it runs once a line.
  std::size_t n_LineEnd() {
    // Each memchr result is kept until the position passes it, so every
    // byte is searched at most once for each of the two line ends,
    // whatever mix of CR and LF the file uses.
    const std::size_t pos = m_nBlockPos;
    if (m_nNextLF == NOT_SEARCHED || m_nNextLF < pos) {
      const void* lf = std::memchr(m_pBlock + pos, '\n', m_nBlockLen - pos);
      m_nNextLF = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - m_pBlock) : m_nBlockLen;
    }
    if (m_nNextCR == NOT_SEARCHED || m_nNextCR < pos) {
      const void* cr = std::memchr(m_pBlock + pos, '\r', m_nBlockLen - pos);
      m_nNextCR = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - m_pBlock) : m_nBlockLen;
    }
    return m_nNextLF < m_nNextCR ? m_nNextLF : m_nNextCR;
  }

  int m_fd = -1;
  std::string m_strPath;
  const char* m_pMemory = nullptr;
  std::size_t m_nMemorySize = 0;
  bool m_bMemoryRead = false;
  std::vector<char> m_block;
  const char* m_pBlock = nullptr;  // the block: m_block's bytes, or the memory
  std::size_t m_nBlockPos = 0;
  std::size_t m_nBlockLen = 0;
  // Where the next LF and the next CR of the block are (m_nBlockLen when
  // there is none, all ones before the block is searched), found by memchr
  // and kept until the position passes them.
  std::size_t m_nNextLF = 0;
  std::size_t m_nNextCR = 0;
  bool m_bEnd = false;
  std::size_t m_nLines = 0;
  std::size_t m_nSizeHint = 0;
  std::string m_line;  // a line that runs over block ends
};

class CQ_MIFCopyingReader : public CQ_MIFLineReader {
 public:
  // Reads `sourcePath` and copies every delivered line to `orgPath`
  // (through a temporary file beside it). Throws CQ_FileException when
  // either file cannot be opened.
  CQ_MIFCopyingReader(const std::string& sourcePath, const std::string& orgPath);
  ~CQ_MIFCopyingReader() override;

  bool b_ReadLine(std::string& line, bool trim = true) override;
  bool b_ReadLineView(std::string_view& line) override;
  bool b_ReadLineNet(std::string_view& line, int& net) override;
  std::size_t n_ReadLinesNet(st_LineNet* out, std::size_t max) override;

  // Flushes the copy and gives it the ORG file's name, replacing an older
  // ORG file. Throws CQ_FileException when that fails.
  void v_Commit();

  // Flushes the copy and hands it over uncommitted, for a caller that
  // gives it its name only after the files made from it are written. The
  // reader copies nothing afterwards.
  std::unique_ptr<Platform::CQ_TemporaryFile> pco_TakeCopy();

  // The name an earlier version wrote the copy under; a reader of the same
  // ORG file removes such a leftover.
  static std::string ccs_EarlierTemporaryName(const std::string& orgPath) { return orgPath + ".part"; }

 private:
  void v_Copy(std::string_view line);
  void v_Flush();

  std::string m_strORGPath;
  std::unique_ptr<Platform::CQ_TemporaryFile> m_pcoOut;
  std::unique_ptr<char[]> m_pOut;  // the copy's bytes not yet written
  std::size_t m_nOut = 0;
};
