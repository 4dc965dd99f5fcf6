// COM for the calling thread (the web source hosts a COM control on Windows).
#pragma once

namespace platform {

void ComInitialize();
void ComUninitialize();

}  // namespace platform
