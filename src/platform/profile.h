// INI files as the system's profile functions read and write them: sections
// in square brackets, lines of key, equals sign and value; section and key
// names without regard to ASCII letter case.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

// The value of `key` in `section` of `fileName`, or `defaultValue` when the
// file, the section or the key is not there.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

// Sets `key` in `section` of `fileName` to `value`, creating the file and
// the section as needed and keeping everything else the file holds.
SysError WritePrivateProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& fileName);

}  // namespace platform
