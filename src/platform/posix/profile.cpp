#include "platform/profile.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/fs.h"
#include "platform/posix/errors.h"
#include "platform/posix/fd.h"

// The 8-bit store without any conversion: values are bytes in the ANSI code
// page, as the system's profile functions keep them. The template's code is
// compiled here, for exactly this store.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace platform {
namespace {

using posix::Fd;
using posix::LastError;

// Quotes around a value are dropped on reading, as the system's reader does.
class Profile {
 public:
  Profile() {
    ini_.SetUnicode(false);
    ini_.SetMultiKey(false);
    ini_.SetSpaces(false);
    ini_.SetQuotes(true);
  }

  // A file that is not there reads as an empty profile.
  SysError Load(const std::string& fileName) {
    std::string data;
    SysError error = ReadWholeFile(fileName, data);
    if (error.Code == kErrorFileNotFound) {
      return {};
    }
    if (error.Failed()) {
      return error;
    }
    if (ini_.LoadData(data) < 0) {
      return posix::FromErrno(EINVAL);
    }
    return {};
  }

  std::string Get(const std::string& section, const std::string& key,
                  const std::string& defaultValue) const {
    return ini_.GetValue(section.c_str(), key.c_str(), defaultValue.c_str());
  }

  SysError Set(const std::string& section, const std::string& key, const std::string& value) {
    if (ini_.SetValue(section.c_str(), key.c_str(), value.c_str(), nullptr, true) < 0) {
      return posix::FromErrno(ENOMEM);
    }
    return {};
  }

  SysError Save(const std::string& fileName) const {
    std::string data;
    if (ini_.Save(data) < 0) {
      return posix::FromErrno(ENOMEM);
    }
    return WriteNewFile(fileName, data).Error;
  }

 private:
  static SysError ReadWholeFile(const std::string& fileName, std::string& data) {
    const Fd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
      return LastError();
    }
    std::array<char, 4096> buffer{};
    while (true) {
      const ssize_t got = ::read(fd.Get(), buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        return LastError();
      }
      if (got == 0) {
        return {};
      }
      data.append(buffer.data(), static_cast<std::size_t>(got));
    }
  }

  CSimpleIniA ini_;
};

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  Profile profile;
  if (profile.Load(fileName).Failed()) {
    return defaultValue;
  }
  return profile.Get(section, key, defaultValue);
}

SysError WritePrivateProfileString(const std::string& section, const std::string& key,
                                   const std::string& value, const std::string& fileName) {
  Profile profile;
  // A file that exists but cannot be read is not overwritten: its other
  // entries would be lost.
  if (SysError error = profile.Load(fileName); error.Failed()) {
    return error;
  }
  if (SysError error = profile.Set(section, key, value); error.Failed()) {
    return error;
  }
  return profile.Save(fileName);
}

}  // namespace platform
