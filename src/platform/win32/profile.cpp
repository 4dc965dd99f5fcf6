#include "platform/profile.h"

#include "platform/fs.h"
#include "platform/win32/errors.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  // A name without a directory would be looked for in the Windows directory.
  const std::string file = ExpandFileName(fileName);
  std::string buffer(256, '\0');
  while (true) {
    const auto size = static_cast<DWORD>(buffer.size());
    const DWORD length = ::GetPrivateProfileStringA(
        section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(), size, file.c_str());
    // A value that fills the buffer to its last character may have been cut.
    if (length + 1 < size) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

SysError WritePrivateProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& fileName) {
  const std::string file = ExpandFileName(fileName);
  if (::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) ==
      FALSE) {
    return win32::LastError();
  }
  return {};
}

}  // namespace platform
