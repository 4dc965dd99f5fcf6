// What a library keeps between calls: the owner window for progress
// messages, the enumeration callback and the open archives. Each library
// file has its own; the interface allows one operation at a time per
// library, the table of open archives is guarded all the same.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "archive/arcapi.h"
#include "family.h"
#include "member.h"

namespace archivers {

// An archive opened by OpenArchive: its members, read once, and the search.
struct OpenedArchive {
  Family FamilyId = Family::Lha;
  std::uint32_t Mode = 0;
  std::vector<Member> Members;
  std::string Pattern;  // UTF-8; empty chooses every member
  std::size_t Next = 0;
  bool Searching = false;
  std::optional<std::size_t> Found;  // the member last found
};

class LibraryState {
 public:
  static LibraryState& Instance();

  void SetOwner(arcapi::TWindowHandle window, arcapi::TArchiverProc callback);
  // False when `window` is not the owner.
  bool KillOwner(arcapi::TWindowHandle window);
  arcapi::TWindowHandle OwnerWindow() const;
  arcapi::TArchiverProc OwnerCallback() const;

  void SetEnumCallback(arcapi::TEnumMembersProc64 callback);
  arcapi::TEnumMembersProc64 EnumCallback() const;

  arcapi::TArchiveHandle Add(std::unique_ptr<OpenedArchive> archive);
  // Null when the handle is not open.
  std::shared_ptr<OpenedArchive> Find(arcapi::TArchiveHandle handle) const;
  bool Remove(arcapi::TArchiveHandle handle);

 private:
  mutable std::mutex mutex_;
  arcapi::TWindowHandle ownerWindow_ = nullptr;
  arcapi::TArchiverProc ownerCallback_ = nullptr;
  arcapi::TEnumMembersProc64 enumCallback_ = nullptr;
  std::map<std::uintptr_t, std::shared_ptr<OpenedArchive>> archives_;
  std::uintptr_t nextHandle_ = 1;
};

// Reports to the owner window (or its callback) during one command.
class Progress {
 public:
  Progress();
  // False when the owner asks to stop.
  bool Send(int state, const arcapi::TExtractingInfoEx& info) const;

 private:
  arcapi::TWindowHandle window_;
  arcapi::TArchiverProc callback_;
  std::uint32_t message_ = 0;
};

// Calls the enumeration callback during one command.
class Enumeration {
 public:
  Enumeration();
  // False when the callback answers 0 (stop).
  bool Continue(const Member& member, std::uint32_t index) const;

 private:
  arcapi::TEnumMembersProc64 callback_;
};

}  // namespace archivers
