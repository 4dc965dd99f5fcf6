#include "platform/registry.h"

namespace platform {

// Linux keeps no registry: callers fall back to their standard search.
std::string ReadRegistryString(RegistryRoot /*root*/, const std::string& /*key*/,
                               const std::string& /*valueName*/) {
  return {};
}

}  // namespace platform
