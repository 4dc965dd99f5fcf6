#include "recorder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "recorder_format.h"

namespace recorder {
namespace {

using recorder_format::Escape;
using recorder_format::SplitFields;
using recorder_format::Unescape;

struct Member {
  std::string Name;
  std::uint32_t Size = 0;
  std::uint32_t Packed = 0;
  std::uint32_t Crc = 0;
  std::uint16_t Ratio = 0;
  std::uint16_t Date = 0;
  std::uint16_t Time = 0;
  std::string Attribute;
  std::string Method;
  // What the time and size entries deliver, by entry kind; a kind without
  // a value delivers nothing.
  std::map<std::string, std::uint64_t> Values;
};

struct Script {
  std::map<std::string, std::vector<long long>> Results;
  std::optional<std::string> Output;
  std::vector<Member> Members;
  std::string Password;
  // Fill the dialog's buffer without a terminating NUL.
  bool PasswordUnterminated = false;
  std::string Extract;
  // Files a command writes into its destination: name, content.
  std::vector<std::pair<std::string, std::string>> Unpack;
};

// Process state that the log cannot carry.
int memberCursor = -1;  // index of the member last found, -1 for none
arcapi::TEnumMembersProc64 enumCallback = nullptr;

std::string ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

std::optional<long long> ParseSigned(const std::string& text) {
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || end == nullptr || *end != '\0') {
    return std::nullopt;
  }
  return value;
}

std::uint64_t ParseUnsigned(const std::string& text) {
  return std::strtoull(text.c_str(), nullptr, 0);
}

// The member fields that the time and size entries deliver, by entry kind.
const char* ValueKind(const std::string& key) {
  constexpr std::pair<const char*, const char*> kKinds[] = {{"write", "GetWriteTimeEx"},
                                                            {"create", "GetCreateTimeEx"},
                                                            {"access", "GetAccessTimeEx"},
                                                            {"size64", "GetOriginalSizeEx"},
                                                            {"packed64", "GetCompressedSizeEx"}};
  for (const auto& [name, kind] : kKinds) {
    if (key == name) {
      return kind;
    }
  }
  return nullptr;
}

Member ParseMember(const std::vector<std::string>& fields) {
  Member member;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const std::size_t equals = fields[i].find('=');
    if (equals == std::string::npos) {
      continue;
    }
    const std::string key = fields[i].substr(0, equals);
    const std::string value = Unescape(fields[i].substr(equals + 1));
    if (key == "name") {
      member.Name = value;
    } else if (key == "size") {
      member.Size = static_cast<std::uint32_t>(ParseUnsigned(value));
    } else if (key == "packed") {
      member.Packed = static_cast<std::uint32_t>(ParseUnsigned(value));
    } else if (key == "crc") {
      member.Crc = static_cast<std::uint32_t>(ParseUnsigned(value));
    } else if (key == "ratio") {
      member.Ratio = static_cast<std::uint16_t>(ParseUnsigned(value));
    } else if (key == "date") {
      member.Date = static_cast<std::uint16_t>(ParseUnsigned(value));
    } else if (key == "time") {
      member.Time = static_cast<std::uint16_t>(ParseUnsigned(value));
    } else if (key == "attribute") {
      member.Attribute = value;
    } else if (key == "method") {
      member.Method = value;
    } else if (const char* kind = ValueKind(key); kind != nullptr) {
      member.Values[kind] = ParseUnsigned(value);
    }
  }
  return member;
}

Script LoadScript() {
  Script script;
  const char* path = std::getenv(recorder_format::kScriptVariable);
  if (path == nullptr) {
    return script;
  }
  for (const std::string& line : Lines(ReadWholeFile(path))) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    const std::vector<std::string> fields = SplitFields(line);
    const std::string& directive = fields[0];
    const std::string value = fields.size() > 1 ? Unescape(fields[1]) : std::string();
    if (directive == "result" && fields.size() > 2) {
      std::vector<long long>& codes = script.Results[fields[1]];
      codes.clear();
      for (std::size_t i = 2; i < fields.size(); ++i) {
        if (const std::optional<long long> code = ParseSigned(fields[i])) {
          codes.push_back(*code);
        }
      }
    } else if (directive == "output") {
      script.Output = value;
    } else if (directive == "member") {
      script.Members.push_back(ParseMember(fields));
    } else if (directive == "password") {
      script.Password = value;
      script.PasswordUnterminated = false;
    } else if (directive == "password-unterminated") {
      script.Password = value;
      script.PasswordUnterminated = true;
    } else if (directive == "extract") {
      script.Extract = value;
    } else if (directive == "unpack" && fields.size() > 2) {
      script.Unpack.emplace_back(value, Unescape(fields[2]));
    }
  }
  return script;
}

// How often this library's `entry` was called before, by the log.
std::size_t PriorCalls(const std::string& entry) {
  const char* path = std::getenv(recorder_format::kLogVariable);
  if (path == nullptr) {
    return 0;
  }
  std::size_t count = 0;
  for (const std::string& line : Lines(ReadWholeFile(path))) {
    const std::vector<std::string> fields = SplitFields(line);
    if (fields.size() >= 2 && fields[0] == kLibraryName && fields[1] == entry) {
      ++count;
    }
  }
  return count;
}

std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

template <class Pointer>
std::string HandleValue(Pointer pointer) {
  return Number(reinterpret_cast<std::uintptr_t>(pointer));
}

template <class Pointer>
std::string NullOrSet(Pointer pointer) {
  return pointer == nullptr ? "null" : "set";
}

std::string TextOrNull(const char* text) {
  return text == nullptr ? std::string("(null)") : std::string(text);
}

// One call in progress: its arguments so far, the script, the call count.
class Call {
 public:
  Call(const char* entry, std::string kind)
      : entry_(entry), kind_(std::move(kind)), script_(LoadScript()), index_(PriorCalls(entry_)) {}

  const Script& Scripted() const { return script_; }

  void Arg(const std::string& key, const std::string& value) { args_.emplace_back(key, value); }

  // The scripted result of this call: under "library:kind", the entry's
  // name or the kind, in that order; the last code of a sequence repeats.
  std::optional<long long> ScriptedResult() const {
    for (const std::string& key : {std::string(kLibraryName) + ":" + kind_, entry_, kind_}) {
      const auto found = script_.Results.find(key);
      if (found != script_.Results.end() && !found->second.empty()) {
        return found->second[std::min(index_, found->second.size() - 1)];
      }
    }
    return std::nullopt;
  }

  int Result(long long fallback) const {
    return static_cast<int>(ScriptedResult().value_or(fallback));
  }

  // Appends the call to the log.
  void Record(const std::string& result) const {
    const char* path = std::getenv(recorder_format::kLogVariable);
    if (path == nullptr) {
      return;
    }
    std::string line = Escape(kLibraryName) + "\t" + Escape(entry_);
    for (const auto& [key, value] : args_) {
      line += "\t" + key + "=" + Escape(value);
    }
    line += "\tresult=" + Escape(result) + "\n";
    std::ofstream(path, std::ios::binary | std::ios::app) << line;
  }

 private:
  std::string entry_;
  std::string kind_;
  Script script_;
  std::size_t index_;
  std::vector<std::pair<std::string, std::string>> args_;
};

// Copies as much of `text` as fits, NUL-terminated.
void CopyText(const std::string& text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || bufferSize == 0) {
    return;
  }
  const std::size_t n = std::min(text.size(), bufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

void FillMember(const Member& member, arcapi::TDllMemberInfo& info) {
  info = arcapi::TDllMemberInfo{};
  info.OriginalSize = member.Size;
  info.CompressedSize = member.Packed;
  info.Crc = member.Crc;
  info.Ratio = member.Ratio;
  info.DosDate = member.Date;
  info.DosTime = member.Time;
  CopyText(member.Name, info.FileName, sizeof info.FileName);
  CopyText(member.Attribute, info.Attribute, sizeof info.Attribute);
  CopyText(member.Method, info.Method, sizeof info.Method);
}

// Reports the member at `index` when there is one and the result is 0.
int Find(Call& call, std::size_t index, arcapi::TDllMemberInfo* info) {
  const std::vector<Member>& members = call.Scripted().Members;
  const bool exists = index < members.size();
  const int result = call.Result(exists ? 0 : arcapi::kFindEnd);
  if (result == 0 && exists && info != nullptr) {
    FillMember(members[index], *info);
    memberCursor = static_cast<int>(index);
    call.Arg("member", members[index].Name);
  } else {
    memberCursor = exists ? -1 : static_cast<int>(members.size());
  }
  return result;
}

// Calls the enumeration callback once per scripted member until it says stop.
int Enumerate(const Script& script) {
  int calls = 0;
  for (std::size_t i = 0; i < script.Members.size(); ++i) {
    arcapi::TEnumMemberInfo64 record{};
    ++calls;
    if (enumCallback(&record) == 0) {
      break;
    }
  }
  return calls;
}

}  // namespace

// The destination of a command line: its first quoted item that ends in a
// directory delimiter.
std::string DestinationOf(const std::string& line) {
  for (std::size_t open = line.find('"'); open != std::string::npos;) {
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos) {
      break;
    }
    const std::string item = line.substr(open + 1, close - open - 1);
    if (!item.empty() && (item.back() == '/' || item.back() == '\\')) {
      return item;
    }
    open = line.find('"', close + 1);
  }
  return {};
}

// Writes the scripted files, as an extraction leaves them.
void Unpack(const Script& script, const char* commandLine) {
  const std::string dest = DestinationOf(TextOrNull(commandLine));
  for (const auto& [name, content] : script.Unpack) {
    if (!dest.empty()) {
      std::ofstream(dest + name, std::ios::binary) << content;
    }
  }
}

int Command(const char* entry, const char* kind, arcapi::TWindowHandle window,
            const char* commandLine, char* output, std::uint32_t outputSize) noexcept {
  try {
    Call call(entry, kind);
    call.Arg("window", HandleValue(window));
    call.Arg("line", TextOrNull(commandLine));
    call.Arg("output", NullOrSet(output));
    call.Arg("size", Number(outputSize));
    if (call.Scripted().Output) {
      CopyText(*call.Scripted().Output, output, outputSize);
    }
    if (enumCallback != nullptr) {
      call.Arg("enumerated", Number(static_cast<std::uint64_t>(Enumerate(call.Scripted()))));
    }
    Unpack(call.Scripted(), commandLine);
    const int result = call.Result(0);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return arcapi::kErrorNotSupported;
  }
}

arcapi::TArchiveHandle OpenArchive(const char* entry, arcapi::TWindowHandle window,
                                   const char* fileName, std::uint32_t mode) noexcept {
  try {
    Call call(entry, "OpenArchive");
    call.Arg("window", HandleValue(window));
    call.Arg("file", TextOrNull(fileName));
    call.Arg("mode", Number(mode));
    const auto value = static_cast<std::uintptr_t>(call.ScriptedResult().value_or(1));
    call.Record(Number(value));
    return reinterpret_cast<arcapi::TArchiveHandle>(value);
  } catch (...) {
    return nullptr;
  }
}

int CloseArchive(const char* entry, arcapi::TArchiveHandle archive) noexcept {
  try {
    Call call(entry, "CloseArchive");
    call.Arg("handle", HandleValue(archive));
    const int result = call.Result(0);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return arcapi::kErrorNotSupported;
  }
}

int FindFirst(const char* entry, arcapi::TArchiveHandle archive, const char* wildName,
              arcapi::TDllMemberInfo* info) noexcept {
  try {
    Call call(entry, "FindFirst");
    call.Arg("handle", HandleValue(archive));
    call.Arg("wildcard", TextOrNull(wildName));
    call.Arg("info", NullOrSet(info));
    const int result = Find(call, 0, info);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return arcapi::kErrorNotSupported;
  }
}

int FindNext(const char* entry, arcapi::TArchiveHandle archive,
             arcapi::TDllMemberInfo* info) noexcept {
  try {
    Call call(entry, "FindNext");
    call.Arg("handle", HandleValue(archive));
    call.Arg("info", NullOrSet(info));
    const int next = memberCursor + 1;
    const int result = Find(call, static_cast<std::size_t>(next), info);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return arcapi::kErrorNotSupported;
  }
}

int ExtractMem(const char* entry, arcapi::TWindowHandle window, const char* commandLine,
               std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* time,
               std::uint16_t* attribute, std::uint32_t* writtenSize) noexcept {
  try {
    Call call(entry, "ExtractMem");
    call.Arg("window", HandleValue(window));
    call.Arg("line", TextOrNull(commandLine));
    call.Arg("buffer", NullOrSet(buffer));
    call.Arg("size", Number(bufferSize));
    call.Arg("time", NullOrSet(time));
    call.Arg("attribute", NullOrSet(attribute));
    call.Arg("written", NullOrSet(writtenSize));
    const std::string& data = call.Scripted().Extract;
    const std::size_t n = buffer == nullptr ? 0 : std::min<std::size_t>(data.size(), bufferSize);
    std::copy_n(data.begin(), n, buffer);
    if (writtenSize != nullptr) {
      *writtenSize = static_cast<std::uint32_t>(n);
    }
    const int result = call.Result(0);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return arcapi::kErrorNotSupported;
  }
}

int CheckArchive(const char* entry, const char* fileName, int mode) noexcept {
  try {
    Call call(entry, "CheckArchive");
    call.Arg("file", TextOrNull(fileName));
    call.Arg("mode", std::to_string(mode));
    const int result = call.Result(1);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int SetOwnerWindowEx(const char* entry, arcapi::TWindowHandle window,
                     arcapi::TArchiverProc callback) noexcept {
  try {
    Call call(entry, "SetOwnerWindowEx");
    call.Arg("window", HandleValue(window));
    call.Arg("callback", NullOrSet(callback));
    const int result = call.Result(1);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int KillOwnerWindowEx(const char* entry, arcapi::TWindowHandle window) noexcept {
  try {
    Call call(entry, "KillOwnerWindowEx");
    call.Arg("window", HandleValue(window));
    const int result = call.Result(1);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int GetMemberValue(const char* entry, const char* kind, arcapi::TArchiveHandle archive,
                   std::uint64_t* value) noexcept {
  try {
    Call call(entry, kind);
    call.Arg("handle", HandleValue(archive));
    call.Arg("value", NullOrSet(value));
    const std::vector<Member>& members = call.Scripted().Members;
    const Member* member =
        memberCursor >= 0 && static_cast<std::size_t>(memberCursor) < members.size()
            ? &members[static_cast<std::size_t>(memberCursor)]
            : nullptr;
    std::optional<std::uint64_t> delivered;
    if (member != nullptr) {
      if (const auto found = member->Values.find(kind); found != member->Values.end()) {
        delivered = found->second;
      }
    }
    const int result = call.Result(delivered ? 1 : 0);
    if (result != 0 && delivered && value != nullptr) {
      *value = *delivered;
    }
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int GetArchiveType(const char* entry, const char* fileName) noexcept {
  try {
    Call call(entry, "GetArchiveType");
    call.Arg("file", TextOrNull(fileName));
    const int result = call.Result(0);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int SetEnumMembersProc64(const char* entry, arcapi::TEnumMembersProc64 callback,
                         std::uint32_t recordSize) noexcept {
  try {
    Call call(entry, "SetEnumMembersProc64");
    call.Arg("callback", NullOrSet(callback));
    call.Arg("size", Number(recordSize));
    const int result = call.Result(1);
    // A record size the library does not know is refused, as it would be.
    if (result != 0 && recordSize == arcapi::kEnumMemberInfo64Size) {
      enumCallback = callback;
    }
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int ClearEnumMembersProc64(const char* entry) noexcept {
  try {
    Call call(entry, "ClearEnumMembersProc64");
    enumCallback = nullptr;
    const int result = call.Result(1);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int SetDefaultPassword(const char* entry, arcapi::TArchiveHandle archive,
                       const char* password) noexcept {
  try {
    Call call(entry, "SetDefaultPassword");
    call.Arg("handle", HandleValue(archive));
    call.Arg("password", TextOrNull(password));
    const int result = call.Result(0);
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return 0;
  }
}

int PasswordDialog(const char* entry, arcapi::TWindowHandle window, char* buffer,
                   std::uint32_t bufferSize) noexcept {
  try {
    Call call(entry, "PasswordDialog");
    call.Arg("window", HandleValue(window));
    call.Arg("buffer", NullOrSet(buffer));
    call.Arg("size", Number(bufferSize));
    const int result = call.Result(0);
    if (result >= 0) {
      const Script& script = call.Scripted();
      if (script.PasswordUnterminated && buffer != nullptr) {
        std::copy_n(script.Password.begin(),
                    std::min<std::size_t>(script.Password.size(), bufferSize), buffer);
      } else {
        CopyText(script.Password, buffer, bufferSize);
      }
    }
    call.Record(std::to_string(result));
    return result;
  } catch (...) {
    return -1;
  }
}

}  // namespace recorder
