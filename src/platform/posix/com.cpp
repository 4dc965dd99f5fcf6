#include "platform/com.h"

namespace platform {

// Nothing on Linux needs COM; the calls keep the updater's shape on both systems.
void ComInitialize() {}
void ComUninitialize() {}

}  // namespace platform
