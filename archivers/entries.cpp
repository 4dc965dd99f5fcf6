#include "entries.h"

#include <exception>
#include <optional>
#include <string>

#include "commands.h"
#include "engine_error.h"
#include "extract.h"
#include "host.h"
#include "raii.h"
#include "rtl/codepage.h"
#include "state.h"
#include "wildcard.h"

namespace archivers::entries {
namespace {

// What an entry answers for a failure nobody foresaw (out of memory).
constexpr int kUnexpectedFailure = arcapi::kErrorCannotRead;

// Every entry runs in one of these: the host code page is settled first
// (from the program's locale), then the thread is set up for libarchive's
// names.
class EntryScope {
 public:
  EntryScope() : codePage_(rtl::AnsiCodePage()) {}

 private:
  [[maybe_unused]] unsigned codePage_;
  ScopedNameLocale locale_;
};

template <class Body>
int Guarded(Body&& body) noexcept {
  try {
    const EntryScope scope;
    return body();
  } catch (const EngineError& e) {
    return e.Code();
  } catch (...) {
    return kUnexpectedFailure;
  }
}

// A command: the text goes into the caller's buffer also when it fails.
template <class Body>
int WithOutput(char* output, std::uint32_t outputSize, Body&& body) noexcept {
  return Guarded([&] {
    OutputText text;
    int code = kUnexpectedFailure;
    try {
      code = body(text);
    } catch (const EngineError& e) {
      text.Line(e.what());
      code = e.Code();
    } catch (const std::exception& e) {
      text.Line(e.what());
    }
    text.CopyTo(output, outputSize);
    return code;
  });
}

std::optional<std::size_t> Search(OpenedArchive& archive) {
  const bool nameOnly = (archive.Mode & arcapi::kOpenCheckFileNameOnly) != 0;
  const PatternRules rules{TraitsOf(archive.FamilyId).PatternSets};
  while (archive.Next < archive.Members.size()) {
    const std::size_t index = archive.Next++;
    const std::string key = NormalizePattern(archive.Members[index].Name);
    if (archive.Pattern.empty() ||
        WildcardMatch(archive.Pattern, nameOnly ? BaseName(key) : key, rules)) {
      return index;
    }
  }
  return std::nullopt;
}

int Report(OpenedArchive& archive, arcapi::TDllMemberInfo* info) {
  archive.Found = Search(archive);
  if (!archive.Found) {
    return arcapi::kFindEnd;
  }
  if (info != nullptr) {
    FillMemberRecord(archive.Members[*archive.Found], *info);
  }
  return arcapi::kSuccess;
}

// A value of the member last found: 1 with `*value` set, or 0.
template <class Field>
int Deliver(arcapi::TArchiveHandle handle, std::uint64_t* value, Field&& field) noexcept {
  if (value == nullptr) {
    return 0;
  }
  const int delivered = Guarded([&] {
    const std::shared_ptr<OpenedArchive> archive = LibraryState::Instance().Find(handle);
    if (!archive || !archive->Found) {
      return 0;
    }
    const std::optional<std::uint64_t> result = field(archive->Members[*archive->Found]);
    if (!result) {
      return 0;
    }
    *value = *result;
    return 1;
  });
  return delivered == 1 ? 1 : 0;
}

}  // namespace

int Command(Family family, arcapi::TWindowHandle /*window*/, const char* commandLine, char* output,
            std::uint32_t outputSize) noexcept {
  return WithOutput(output, outputSize, [&](OutputText& text) {
    if (commandLine == nullptr) {
      return arcapi::kErrorNotSupported;
    }
    return RunCommand(family, commandLine, text);
  });
}

int PackCommand(Family family, arcapi::TWindowHandle /*window*/, const char* commandLine,
                char* output, std::uint32_t outputSize) noexcept {
  return WithOutput(output, outputSize, [&](OutputText& text) {
    if (commandLine == nullptr) {
      return arcapi::kErrorNotSupported;
    }
    return RunPackCommand(family, commandLine, text);
  });
}

arcapi::TArchiveHandle OpenArchive(Family family, arcapi::TWindowHandle /*window*/,
                                   const char* fileName, std::uint32_t mode) noexcept {
  arcapi::TArchiveHandle handle = nullptr;
  Guarded([&] {
    if (fileName == nullptr) {
      return arcapi::kErrorArchiveFileOpen;
    }
    auto archive = std::make_unique<OpenedArchive>();
    archive->FamilyId = family;
    archive->Mode = mode;
    archive->Members = ReadMembers(family, fileName);
    handle = LibraryState::Instance().Add(std::move(archive));
    return arcapi::kSuccess;
  });
  return handle;
}

int CloseArchive(arcapi::TArchiveHandle archive) noexcept {
  return Guarded([&] {
    return LibraryState::Instance().Remove(archive) ? arcapi::kSuccess
                                                    : arcapi::kErrorHandleNotOpened;
  });
}

int FindFirst(arcapi::TArchiveHandle handle, const char* wildName,
              arcapi::TDllMemberInfo* info) noexcept {
  return Guarded([&] {
    const std::shared_ptr<OpenedArchive> archive = LibraryState::Instance().Find(handle);
    if (!archive) {
      return arcapi::kErrorHandleNotOpened;
    }
    archive->Pattern = wildName != nullptr ? NormalizePattern(FromHost(wildName)) : "";
    if (archive->Pattern == "*") {
      archive->Pattern.clear();
    }
    archive->Next = 0;
    archive->Searching = true;
    return Report(*archive, info);
  });
}

int FindNext(arcapi::TArchiveHandle handle, arcapi::TDllMemberInfo* info) noexcept {
  return Guarded([&] {
    const std::shared_ptr<OpenedArchive> archive = LibraryState::Instance().Find(handle);
    if (!archive) {
      return arcapi::kErrorHandleNotOpened;
    }
    if (!archive->Searching) {
      return arcapi::kErrorNotSearchMode;
    }
    return Report(*archive, info);
  });
}

int ExtractMem(Family family, arcapi::TWindowHandle /*window*/, const char* commandLine,
               std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* time,
               std::uint16_t* attribute, std::uint32_t* writtenSize) noexcept {
  if (writtenSize != nullptr) {
    *writtenSize = 0;
  }
  return Guarded([&] {
    if (commandLine == nullptr) {
      return arcapi::kErrorNotSupported;
    }
    const MemoryTarget target{buffer, buffer != nullptr ? bufferSize : 0, writtenSize, time,
                              attribute};
    return RunExtractMem(family, commandLine, target);
  });
}

int CheckArchive(Family family, const char* fileName, int mode) noexcept {
  const int valid =
      Guarded([&] { return fileName != nullptr && IsArchive(family, fileName, mode) ? 1 : 0; });
  return valid == 1 ? 1 : 0;
}

int SetOwnerWindowEx(arcapi::TWindowHandle window, arcapi::TArchiverProc callback) noexcept {
  if (window == nullptr) {
    return 0;
  }
  return Guarded([&] {
    LibraryState::Instance().SetOwner(window, callback);
    return 1;
  });
}

int KillOwnerWindowEx(arcapi::TWindowHandle window) noexcept {
  const int killed = Guarded([&] { return LibraryState::Instance().KillOwner(window) ? 1 : 0; });
  return killed == 1 ? 1 : 0;
}

int GetWriteTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept {
  return Deliver(archive, value, [](const Member& member) { return member.WriteTime; });
}

int GetCreateTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept {
  return Deliver(archive, value, [](const Member& member) { return member.CreateTime; });
}

int GetAccessTimeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept {
  return Deliver(archive, value, [](const Member& member) { return member.AccessTime; });
}

int GetOriginalSizeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept {
  return Deliver(archive, value, [](const Member& member) {
    return member.SizeKnown ? std::optional<std::uint64_t>(member.Size) : std::nullopt;
  });
}

int GetCompressedSizeEx(arcapi::TArchiveHandle archive, std::uint64_t* value) noexcept {
  return Deliver(archive, value, [](const Member& member) { return member.CompressedSize; });
}

int GetArchiveType(Family family, const char* fileName) noexcept {
  const int type =
      Guarded([&] { return fileName != nullptr ? ArchiveType(family, fileName) : -1; });
  return type >= -1 && type <= 7 ? type : -1;
}

int SetEnumMembersProc64(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize) noexcept {
  if (callback == nullptr || recordSize != arcapi::kEnumMemberInfo64Size) {
    return 0;
  }
  return Guarded([&] {
    LibraryState::Instance().SetEnumCallback(callback);
    return 1;
  });
}

int ClearEnumMembersProc64() noexcept {
  return Guarded([&] {
    LibraryState::Instance().SetEnumCallback(nullptr);
    return 1;
  });
}

}  // namespace archivers::entries
