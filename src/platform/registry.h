// Read-only lookup of one string value in the system registry.
#pragma once

#include <string>

namespace platform {

enum class RegistryRoot { LocalMachine, CurrentUser };

// The string value `valueName` of `key` under `root`, read-only; empty when
// the key or the value cannot be read. Systems without a registry answer empty.
std::string ReadRegistryString(RegistryRoot root, const std::string& key,
                               const std::string& valueName);

}  // namespace platform
