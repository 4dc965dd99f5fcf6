#include "platform/console.h"

#include "platform/win32/windows_api.h"

namespace platform {

bool StandardErrorIsTerminal() {
  // Only a console has a mode; a pipe or a file does not.
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

}  // namespace platform
