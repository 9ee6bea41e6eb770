// Exceptions for failed file operations.
//
// A file exception carries a cause (0 to 14, in the order below) and the
// name of the file concerned; an archive exception (a failure while
// serialising or reading structured data) carries the file name only.
// Converters throw them; the per-file operations catch and report them.
#pragma once

#include <string>

#include "System/Export.h"

namespace Platform {

class OSTRAKON_API CQ_FileException {
 public:
  enum Cause : int {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  CQ_FileException(int cause, std::string fileName);

  int m_cause;
  std::string m_strFileName;

  // The cause that an errno value stands for.
  static int OsErrorToCause(int error);

  // Raises a file exception for the errno value and file name.
  [[noreturn]] static void ThrowOsError(int error, const std::string& fileName);
};

class OSTRAKON_API CQ_ArchiveException {
 public:
  explicit CQ_ArchiveException(std::string fileName);

  std::string m_strFileName;
};

}  // namespace Platform
