// The update tool's exception family; each class carries only its message.
#pragma once

#include <string_view>

#include "rtl/exceptions.h"

namespace app {

// Texts of the tool's own, beside the string table's, in UTF-8.
inline constexpr std::string_view kInterruptedUtf8 = "処理が中断されました";
inline constexpr std::string_view kRestoredUtf8 = " / インストール先は元に戻しました";
inline constexpr std::string_view kExtractFailedUtf8 =
    "書庫[%s]を展開できませんでした (コード 0x%x: %s)";
inline constexpr std::string_view kNothingExtractedUtf8 = "書庫[%s]からは何も展開されませんでした";
inline constexpr std::string_view kNotRestoredUtf8 =
    "インストール先[%s]を元に戻せませんでした（%s が残っています）";

class EZelUpdError : public rtl::Exception {
 public:
  using Exception::Exception;
  std::string_view ClassName() const noexcept override { return "EZelUpdError"; }
};

class EFileDownloadError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EFileDownloadError"; }
};

class ECloseFailure : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "ECloseFailure"; }
};

class EStartError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EStartError"; }
};

class EExecZelError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EExecZelError"; }
};

class EArchiveFileError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EArchiveFileError"; }
};

class ECreateDirError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "ECreateDirError"; }
};

class EFileCheckError : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EFileCheckError"; }
};

// The user asked the run to stop (Ctrl+C, a termination request).
class EInterrupted : public EZelUpdError {
 public:
  using EZelUpdError::EZelUpdError;
  std::string_view ClassName() const noexcept override { return "EInterrupted"; }
};

}  // namespace app
