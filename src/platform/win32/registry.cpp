#include "platform/registry.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// An open registry key, closed when it goes.
class RegistryKey {
 public:
  RegistryKey(HKEY root, const std::string& path) {
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~RegistryKey() {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // The string value `name`; empty when it is missing or no string.
  std::string String(const std::string& name) const {
    if (key_ == nullptr) {
      return {};
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return {};
    }
    std::string value(size, '\0');
    if (::RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS) {
      return {};
    }
    // The stored size counts the terminating NUL, when the writer stored one.
    value.resize(std::min<std::size_t>(size, value.size()));
    value.resize(std::char_traits<char>::length(value.c_str()));
    return value;
  }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string ReadRegistryString(RegistryRoot root, const std::string& key,
                               const std::string& valueName) {
  const HKEY base = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  return RegistryKey(base, key).String(valueName);
}

}  // namespace platform
