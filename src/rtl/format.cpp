#include "rtl/format.h"

#include <cstdio>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/strtable.h"

namespace rtl {
namespace {

[[noreturn]] void ThrowInvalid(std::string_view pattern) {
  throw EConvertError(Format(LoadStr(SInvalidFormat), {pattern}));
}

struct Spec {
  bool left = false;
  std::size_t width = 0;
  char type = 0;
};

std::string Pad(std::string text, const Spec& spec) {
  if (text.size() >= spec.width) {
    return text;
  }
  std::string fill(spec.width - text.size(), ' ');
  return spec.left ? text + fill : fill + text;
}

std::string Render(const FormatArg& arg, const Spec& spec, std::string_view pattern) {
  switch (spec.type) {
    case 's':
      if (const std::string* s = arg.AsString()) {
        return Pad(*s, spec);
      }
      break;
    case 'd':
      if (const std::int64_t* i = arg.AsInteger()) {
        return Pad(std::to_string(*i), spec);
      }
      break;
    case 'u':
      if (const std::int64_t* i = arg.AsInteger()) {
        return Pad(std::to_string(static_cast<std::uint32_t>(*i)), spec);
      }
      break;
    case 'x':
      if (const std::int64_t* i = arg.AsInteger()) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(*i));
        return Pad(buffer, spec);
      }
      break;
    default:
      break;
  }
  ThrowInvalid(pattern);
}

}  // namespace

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args) {
  const std::vector<FormatArg> list(args);
  std::string out;
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i < pattern.size() && pattern[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // An optional "index:" picks the argument and moves the running index past it.
    std::size_t digitsEnd = i;
    while (digitsEnd < pattern.size() && pattern[digitsEnd] >= '0' && pattern[digitsEnd] <= '9') {
      ++digitsEnd;
    }
    if (digitsEnd > i && digitsEnd < pattern.size() && pattern[digitsEnd] == ':') {
      next = std::stoul(std::string(pattern.substr(i, digitsEnd - i)));
      i = digitsEnd + 1;
    }
    Spec spec;
    if (i < pattern.size() && pattern[i] == '-') {
      spec.left = true;
      ++i;
    }
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
      spec.width = spec.width * 10 + static_cast<std::size_t>(pattern[i] - '0');
      ++i;
    }
    if (i >= pattern.size()) {
      ThrowInvalid(pattern);
    }
    spec.type = static_cast<char>(pattern[i] | 0x20);  // Types are accepted in either case.
    ++i;
    if (next >= list.size()) {
      ThrowInvalid(pattern);
    }
    out += Render(list[next++], spec, pattern);
  }
  return out;
}

}  // namespace rtl
