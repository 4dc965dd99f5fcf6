#include "rtl/console.h"

#include <cstdio>

namespace rtl {
namespace {

void WriteLine(std::FILE* stream, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void WriteLn(std::string_view line) {
  WriteLine(stdout, line);
}
void WriteErrLn(std::string_view line) {
  WriteLine(stderr, line);
}
void WriteErr(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace rtl
