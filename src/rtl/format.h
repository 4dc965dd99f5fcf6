// Positional formatting of messages: "%s", "%d", "%u", "%x", "%%" and the
// indexed forms "%0:s", "%1:d"; an optional "-" and width pad the field.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace rtl {

class FormatArg {
 public:
  FormatArg(std::string value) : value_(std::move(value)) {}               // NOLINT
  FormatArg(const char* value) : value_(std::string(value)) {}             // NOLINT
  FormatArg(std::string_view value) : value_(std::string(value)) {}        // NOLINT
  FormatArg(std::int64_t value) : value_(value) {}                         // NOLINT
  FormatArg(int value) : value_(static_cast<std::int64_t>(value)) {}       // NOLINT
  FormatArg(unsigned value) : value_(static_cast<std::int64_t>(value)) {}  // NOLINT

  const std::string* AsString() const { return std::get_if<std::string>(&value_); }
  const std::int64_t* AsInteger() const { return std::get_if<std::int64_t>(&value_); }

 private:
  std::variant<std::string, std::int64_t> value_;
};

// Raises EConvertError when a placeholder has no argument or the wrong kind.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace rtl
