#include "platform/win32/errors.h"

#include <string>

#include "platform/fs.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {
namespace {

// The buffer FormatMessageA allocates, freed when it goes.
class LocalText {
 public:
  LocalText() = default;
  ~LocalText() {
    if (text_ != nullptr) {
      ::LocalFree(text_);
    }
  }
  LocalText(const LocalText&) = delete;
  LocalText& operator=(const LocalText&) = delete;

  // Where FormatMessageA puts the address of its buffer.
  char** Receiver() { return &text_; }
  const char* Get() const { return text_; }

 private:
  char* text_ = nullptr;
};

std::string MessageText(std::uint32_t code) {
  LocalText text;
  // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the
  // address of the text instead of holding it.
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(text.Receiver()), 0, nullptr);
  if (length == 0 || text.Get() == nullptr) {
    // A code the system has no text for still tells the reader something.
    return "Error " + std::to_string(code);
  }
  return {text.Get(), length};
}

}  // namespace

SysError FromCode(std::uint32_t code) {
  if (code == ERROR_SUCCESS) {
    return {};
  }
  return SysError{code, MessageText(code)};
}

SysError LastError() {
  const DWORD code = ::GetLastError();
  // A call that failed without saying why must still read as a failure.
  return FromCode(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
}

}  // namespace win32

SysError SystemError(std::uint32_t code) {
  return win32::FromCode(code);
}

}  // namespace platform
