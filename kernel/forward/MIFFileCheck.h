// The checks a MIF file passes before it is read, and the Shift-JIS copy
// through which a Japanese EUC file is read.
//
// Failures are raised as the kernel's int result codes:
//   2000  the file does not begin with "<MIFFile "
//   2010  a MIF version other than 4, 5.0 or 5.5 (or 7.0, 8.0 .. 2020 when
//         accepted)
//   2100  the file is EUC-TW encoded
//   7     free disk space below the file's size plus 10 MB
//   2090  the EUC temporary copy cannot be created, read or written
// and a file that cannot be opened raises Platform::CQ_FileException.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "System/Platform/TemporaryFile.h"

class CQ_MIFFileCheck {
 public:
  // Number of leading bytes the checks look at.
  static constexpr std::size_t HEAD_SIZE = 200;

  // Checks the leading bytes of a file; returns true when they mark a
  // Japanese EUC file. Throws 2000, 2010 or 2100. `highestVersion` (times
  // ten) 70 accepts MIF 7.0 as well, whose strings are encoded as 5.5's;
  // CQ_MIFUnicode::HIGHEST_VERSION (2020) accepts the Unicode versions 8.0
  // to 2020 too (MIFUnicode.h). Later versions are refused in any case.
  static bool sb_CheckHead(std::string_view head, int highestVersion = 55);

  // Reads the head of the file at `path`, checks it (sb_CheckHead) and
  // checks that the file system holding `orgFolder` (the current directory
  // when empty) has room for the file plus 10 MB; throws 7 when not. When
  // the free space cannot be determined the space check passes. Returns the
  // EUC flag.
  static bool sb_CheckFile(const std::string& path, const std::string& orgFolder, int highestVersion = 55);

  // The space rule: free bytes must reach the file's bytes plus 10 MB.
  static bool sb_EnoughDiskSpace(std::int64_t freeBytes, std::int64_t fileBytes);
};

// Converts EUC-JP bytes to Shift-JIS (code page 932) in pieces. JIS X 0208
// pairs, half-width katakana (0x8E xx) and those JIS X 0212 characters that
// code page 932 holds are converted; a pair of bytes in 0xA1..0xFE that has
// no character is converted by the arithmetic JIS to Shift-JIS rule; every
// other byte passes unchanged, so MIF syntax and escapes stay as they are.
class CQ_EUCToShiftJIS {
 public:
  CQ_EUCToShiftJIS();
  ~CQ_EUCToShiftJIS();
  CQ_EUCToShiftJIS(const CQ_EUCToShiftJIS&) = delete;
  CQ_EUCToShiftJIS& operator=(const CQ_EUCToShiftJIS&) = delete;

  // Converts the next piece and appends the result to `out`. A sequence cut
  // by the end of the piece is kept for the next call; with `last` set it is
  // passed through as it is.
  void v_Convert(std::string_view piece, std::string& out, bool last);

  // Whole-buffer form.
  static std::string scs_Convert(std::string_view euc);

 private:
  void* m_cd;
  std::string m_carry;
};

// The temporary Shift-JIS copy of an EUC-JP file. The constructor writes the
// copy as a temporary file (Platform::CQ_TemporaryFile) in the folder of
// `standIn`, under a short hidden name that fits wherever `standIn`'s name
// fits; it throws 2090 and leaves no file when that fails. The copy never
// takes the stand-in's name: the destructor removes it, whatever path the
// pre-scan took, and a run killed meanwhile leaves a file the next run in
// that folder sweeps away.
class CQ_EUCTempCopy {
 public:
  CQ_EUCTempCopy(const std::string& sourcePath, const std::string& standIn);
  ~CQ_EUCTempCopy();
  CQ_EUCTempCopy(const CQ_EUCTempCopy&) = delete;
  CQ_EUCTempCopy& operator=(const CQ_EUCTempCopy&) = delete;

  // Where the copy can be read while its owner lives.
  const std::string& ccs_Path() const { return m_strPath; }

  // The stand-in name for a source file's copy: ORG folder + the source
  // file's name.
  static std::string scs_TempPath(const std::string& orgFolder, const std::string& sourcePath);

 private:
  std::unique_ptr<Platform::CQ_TemporaryFile> m_pcoFile;
  std::string m_strPath;
};
