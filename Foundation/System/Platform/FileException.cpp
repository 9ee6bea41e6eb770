#include "System/Platform/FileException.h"

#include <cerrno>

namespace Platform {

CQ_FileException::CQ_FileException(int cause, std::string fileName) : m_cause(cause), m_strFileName(std::move(fileName)) {}

int CQ_FileException::OsErrorToCause(int error) {
  switch (error) {
    case 0: return none;
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST: return accessDenied;
    case EBADF: return invalidFile;
    case EBUSY: return removeCurrentDir;
    case EMLINK: return directoryFull;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case ETXTBSY: return sharingViolation;
    case EDEADLK:
    case ENOLCK: return lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    default: return genericException;
  }
}

void CQ_FileException::ThrowOsError(int error, const std::string& fileName) {
  throw CQ_FileException(OsErrorToCause(error), fileName);
}

CQ_ArchiveException::CQ_ArchiveException(std::string fileName) : m_strFileName(std::move(fileName)) {}

}  // namespace Platform
