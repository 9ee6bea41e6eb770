// Line readers for MIF (and KWX text) files.
//
// CQ_MIFLineReader delivers the non-empty lines of a file or of a memory
// buffer. CR and LF both end a line, so LF, CR LF and Mac CR-only files read
// alike, and runs of line ends give no empty lines. Files are read in blocks
// of 4096 bytes; a line may be of any length (image data lines can run to
// megabytes) and costs time linear in its length.
//
// CQ_MIFCopyingReader also writes every line it delivers, followed by one
// line feed, to the ORG copy. The copy is written under a temporary name in
// the ORG folder and only takes the ORG file's name when v_Commit is called
// after the whole file was read; a reader destroyed without commit removes
// its temporary file, so a failed pre-scan never leaves a half-written ORG
// file behind.
//
// Failures: opening, reading or writing a file raises
// Platform::CQ_FileException with the cause of the OS error and the file's
// name. Nothing else is thrown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>


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

  // Number of lines delivered so far (1-based number of the last line).
  std::size_t n_LinesRead() const { return m_nLines; }

  static constexpr std::size_t BLOCK_SIZE = 4096;

 private:
  bool b_Fill();

  int m_fd = -1;
  std::string m_strPath;
  const char* m_pMemory = nullptr;
  std::size_t m_nMemorySize = 0;
  std::size_t m_nMemoryPos = 0;
  std::vector<char> m_block;
  std::size_t m_nBlockPos = 0;
  std::size_t m_nBlockLen = 0;
  bool m_bEnd = false;
  std::size_t m_nLines = 0;
};

class CQ_MIFCopyingReader : public CQ_MIFLineReader {
 public:
  // Reads `sourcePath` and copies every delivered line to `orgPath`
  // (through a temporary file beside it). Throws CQ_FileException when
  // either file cannot be opened.
  CQ_MIFCopyingReader(const std::string& sourcePath, const std::string& orgPath);
  ~CQ_MIFCopyingReader() override;

  bool b_ReadLine(std::string& line, bool trim = true) override;

  // Flushes the copy and gives it the ORG file's name, replacing an older
  // ORG file. Throws CQ_FileException when that fails.
  void v_Commit();

  // The temporary name the copy is written under until v_Commit.
  static std::string ccs_TemporaryName(const std::string& orgPath) { return orgPath + ".part"; }

 private:
  void v_Flush();

  std::string m_strORGPath;
  std::string m_strTempPath;
  int m_fdOut = -1;
  std::string m_out;
  bool m_bCommitted = false;
};
