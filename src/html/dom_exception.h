// The error of the document model: DomException, which every failing DOM
// operation raises.
#pragma once

#include <string_view>

#include "rtl/exceptions.h"

namespace html {

// A failure of a DOM operation: one of the W3C exception codes, with its
// standard text as the message.
class DomException : public rtl::Exception {
 public:
  static constexpr int INDEX_SIZE_ERR = 1;
  static constexpr int DOMSTRING_SIZE_ERR = 2;
  static constexpr int HIERARCHY_REQUEST_ERR = 3;
  static constexpr int WRONG_DOCUMENT_ERR = 4;
  static constexpr int INVALID_CHARACTER_ERR = 5;
  static constexpr int NO_DATA_ALLOWED_ERR = 6;
  static constexpr int NO_MODIFICATION_ALLOWED_ERR = 7;
  static constexpr int NOT_FOUND_ERR = 8;
  static constexpr int NOT_SUPPORTED_ERR = 9;
  static constexpr int INUSE_ATTRIBUTE_ERR = 10;
  static constexpr int INVALID_STATE_ERR = 11;
  static constexpr int SYNTAX_ERR = 12;
  static constexpr int INVALID_MODIFICATION_ERR = 13;
  static constexpr int NAMESPACE_ERR = 14;
  static constexpr int INVALID_ACCESS_ERR = 15;

  explicit DomException(int code);
  int code() const noexcept { return code_; }
  std::string_view ClassName() const noexcept override { return "DomException"; }

  // The standard text of a code from 1 to 15; empty for any other number.
  static std::string_view MessageOf(int code) noexcept;

 private:
  int code_;
};

}  // namespace html
