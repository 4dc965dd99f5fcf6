#include "platform/posix/errors.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace platform::posix {

std::uint32_t WindowsCodeOf(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case ETXTBSY:
    case EBUSY:
      return kErrorSharingViolation;
    case EEXIST:
      return kErrorFileExists;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENOMEM:
      return 8;  // not enough memory
    case EMFILE:
    case ENFILE:
      return 4;  // too many open files
    case EXDEV:
      return 17;  // not the same device
    case EINVAL:
      return 87;  // invalid parameter
    case ENOEXEC:
      return 193;  // not a valid application
    case EIO:
      return 1117;  // I/O device error
    case ENOTSUP:
      return kErrorNotSupported;
    default:
      return 31;  // a device attached to the system is not functioning
  }
}

SysError FromErrno(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not be `buffer`.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  // The text is in the locale's codeset, which is the ANSI code page.
  return SysError{WindowsCodeOf(error), std::string(text)};
}

SysError LastError() {
  return FromErrno(errno);
}

}  // namespace platform::posix
