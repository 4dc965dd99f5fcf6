// The test side of the recording archiver library: a session that points
// the program at one variant directory and gives the library a log and a
// script in a fresh temporary directory, the script writer, and the log
// reader. See README.md for the formats.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "archive_recorder/recorder_format.h"
#include "platform/library.h"
#include "rtl/mbcs.h"
#include "support/native_name.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace recorder_test {

// The directory of a variant ("full", "no-time", ...) with a trailing
// path delimiter.
inline std::string VariantDir(const std::string& variant) {
  return testing_support::NativeName(std::string(ZEL_RECORDER_DIR) + "/" + variant + "/");
}

// The file of the library that the binding loads as `interfaceName`
// ("UNLHA32.DLL"): "libunlha32.so" on Linux, the name itself on Windows. It
// is also the name the library logs under.
inline std::string LibraryFile(const std::string& interfaceName) {
  return platform::LibraryFileName(interfaceName);
}

using testing_support::ScopedEnv;

struct RecordedMember {
  RecordedMember(std::string name, std::uint32_t size, std::uint32_t packed, std::uint16_t date,
                 std::uint16_t time)
      : Name(std::move(name)), Size(size), Packed(packed), Date(date), Time(time) {}

  std::string Name;
  std::uint32_t Size = 0;
  std::uint32_t Packed = 0;
  std::uint16_t Date = 0;
  std::uint16_t Time = 0;
  // What the time and size entries deliver; nullopt: they deliver nothing.
  std::optional<std::uint64_t> WriteTime;
  std::optional<std::uint64_t> AccessTime;
  std::optional<std::uint64_t> CreateTime;
  std::optional<std::uint64_t> Size64;
  std::optional<std::uint64_t> Packed64;
  std::string Method;
};

// What the library answers. A result key is a kind ("FindFirst"), an
// exported entry name ("UnZipFindFirst") or "library:kind"
// (LibraryFile("ZIP32J.DLL") + ":OpenArchive"); the codes answer successive
// calls, the last one repeats. OpenArchive answers its code as the handle.
class Script {
 public:
  Script& Result(const std::string& key, std::initializer_list<long long> codes) {
    text_ += "result\t" + key;
    for (const long long code : codes) {
      text_ += "\t" + std::to_string(code);
    }
    text_ += "\n";
    return *this;
  }
  // Written NUL-terminated into the command's output buffer, as far as it fits.
  Script& Output(const std::string& text) { return Line("output", text); }
  Script& Password(const std::string& text) { return Line("password", text); }
  // As Password, but without the terminating NUL: as many bytes as fit.
  Script& PasswordUnterminated(const std::string& text) {
    return Line("password-unterminated", text);
  }
  Script& Extract(const std::string& data) { return Line("extract", data); }
  // A file that a command writes into its destination directory.
  Script& Unpack(const std::string& name, const std::string& content) {
    text_ +=
        "unpack\t" + recorder_format::Escape(name) + "\t" + recorder_format::Escape(content) + "\n";
    return *this;
  }
  Script& Member(const RecordedMember& m) {
    using recorder_format::Escape;
    text_ += "member\tname=" + Escape(m.Name) + "\tsize=" + std::to_string(m.Size) +
             "\tpacked=" + std::to_string(m.Packed) + "\tdate=" + std::to_string(m.Date) +
             "\ttime=" + std::to_string(m.Time) + "\tmethod=" + Escape(m.Method);
    Value("write", m.WriteTime);
    Value("access", m.AccessTime);
    Value("create", m.CreateTime);
    Value("size64", m.Size64);
    Value("packed64", m.Packed64);
    text_ += "\n";
    return *this;
  }
  const std::string& Text() const { return text_; }

 private:
  Script& Line(const std::string& directive, const std::string& value) {
    text_ += directive + "\t" + recorder_format::Escape(value) + "\n";
    return *this;
  }
  void Value(const std::string& key, const std::optional<std::uint64_t>& value) {
    if (value) {
      text_ += "\t" + key + "=" + std::to_string(*value);
    }
  }

  std::string text_;
};

// One logged call: the library's file name, the entry's exported name and
// the arguments in the order logged ("result" last).
struct RecordedCall {
  std::string Library;
  std::string Entry;
  std::vector<std::pair<std::string, std::string>> Args;

  // The argument's value; empty when it was not logged.
  std::string Arg(const std::string& key) const {
    for (const auto& [name, value] : Args) {
      if (name == key) {
        return value;
      }
    }
    return {};
  }
};

inline std::vector<RecordedCall> ReadCalls(const std::string& logPath) {
  std::vector<RecordedCall> calls;
  std::istringstream in(testing_support::ReadFile(logPath));
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = recorder_format::SplitFields(line);
    if (fields.size() < 2) {
      continue;
    }
    RecordedCall call{
        recorder_format::Unescape(fields[0]), recorder_format::Unescape(fields[1]), {}};
    for (std::size_t i = 2; i < fields.size(); ++i) {
      const std::size_t equals = fields[i].find('=');
      call.Args.emplace_back(fields[i].substr(0, equals),
                             equals == std::string::npos
                                 ? std::string()
                                 : recorder_format::Unescape(fields[i].substr(equals + 1)));
    }
    calls.push_back(std::move(call));
  }
  return calls;
}

// A test's use of the recording libraries: while it lives, the library
// search starts in the given directories (variant directories or the test's
// own), and the libraries log into and read their script from its
// temporary directory.
class Session {
 public:
  explicit Session(const std::vector<std::string>& libraryDirs)
      : path_(kLibraryPathVariable, Join(libraryDirs)),
        log_(recorder_format::kLogVariable, dir_.Path("calls.log")),
        script_(recorder_format::kScriptVariable, dir_.Path("script.txt")) {}
  explicit Session(const std::string& variant) : Session(std::vector{VariantDir(variant)}) {}

  const testing_support::TempDir& Dir() const { return dir_; }
  void SetScript(const Script& script) const { dir_.Write("script.txt", script.Text()); }
  std::vector<RecordedCall> Calls() const { return ReadCalls(dir_.Path("calls.log")); }
  // The calls of one exported entry.
  std::vector<RecordedCall> CallsTo(const std::string& entry) const {
    std::vector<RecordedCall> out;
    for (RecordedCall& call : Calls()) {
      if (call.Entry == entry) {
        out.push_back(std::move(call));
      }
    }
    return out;
  }

 private:
  static constexpr const char* kLibraryPathVariable = "ZELUPD_LIBRARY_PATH";

  static std::string Join(const std::vector<std::string>& dirs) {
    std::string joined;
    for (const std::string& dir : dirs) {
      if (!joined.empty()) {
        joined += testing_support::kPathListSeparator;
      }
      joined += dir;
    }
    return joined;
  }

  testing_support::TempDir dir_;
  ScopedEnv path_;
  ScopedEnv log_;
  ScopedEnv script_;
};

}  // namespace recorder_test
