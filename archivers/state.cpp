#include "state.h"

#include <cstring>

#include "enum_record.h"
#include "platform/desktop.h"

namespace archivers {

LibraryState& LibraryState::Instance() {
  static LibraryState state;
  return state;
}

void LibraryState::SetOwner(arcapi::TWindowHandle window, arcapi::TArchiverProc callback) {
  const std::lock_guard lock(mutex_);
  ownerWindow_ = window;
  ownerCallback_ = callback;
}

bool LibraryState::KillOwner(arcapi::TWindowHandle window) {
  const std::lock_guard lock(mutex_);
  if (ownerWindow_ == nullptr || ownerWindow_ != window) {
    return false;
  }
  ownerWindow_ = nullptr;
  ownerCallback_ = nullptr;
  return true;
}

arcapi::TWindowHandle LibraryState::OwnerWindow() const {
  const std::lock_guard lock(mutex_);
  return ownerWindow_;
}

arcapi::TArchiverProc LibraryState::OwnerCallback() const {
  const std::lock_guard lock(mutex_);
  return ownerCallback_;
}

void LibraryState::SetEnumCallback(arcapi::TEnumMembersProc64 callback) {
  const std::lock_guard lock(mutex_);
  enumCallback_ = callback;
}

arcapi::TEnumMembersProc64 LibraryState::EnumCallback() const {
  const std::lock_guard lock(mutex_);
  return enumCallback_;
}

arcapi::TArchiveHandle LibraryState::Add(std::unique_ptr<OpenedArchive> archive) {
  const std::lock_guard lock(mutex_);
  const std::uintptr_t handle = nextHandle_++;
  archives_[handle] = std::move(archive);
  // Handles are numbers, never addresses: a stale one is recognised.
  return reinterpret_cast<arcapi::TArchiveHandle>(handle);
}

std::shared_ptr<OpenedArchive> LibraryState::Find(arcapi::TArchiveHandle handle) const {
  const std::lock_guard lock(mutex_);
  const auto found = archives_.find(reinterpret_cast<std::uintptr_t>(handle));
  return found != archives_.end() ? found->second : nullptr;
}

bool LibraryState::Remove(arcapi::TArchiveHandle handle) {
  const std::lock_guard lock(mutex_);
  return archives_.erase(reinterpret_cast<std::uintptr_t>(handle)) > 0;
}

Progress::Progress()
    : window_(LibraryState::Instance().OwnerWindow()),
      callback_(LibraryState::Instance().OwnerCallback()) {
  if (window_ != nullptr) {
    message_ = platform::RegisterWindowMessage(arcapi::kExtractMessageName);
  }
}

bool Progress::Send(int state, const arcapi::TExtractingInfoEx& info) const {
  if (window_ == nullptr) {
    return true;
  }
  // The record is handed over as the interface's pointer-sized parameter.
  auto* record = const_cast<arcapi::TExtractingInfoEx*>(&info);
  if (callback_ != nullptr) {
    return callback_(window_, message_, static_cast<std::uint32_t>(state), record) == 0;
  }
  return platform::SendMessage(window_, message_, static_cast<std::uintptr_t>(state),
                               reinterpret_cast<std::intptr_t>(record)) == 0;
}

Enumeration::Enumeration() : callback_(LibraryState::Instance().EnumCallback()) {}

bool Enumeration::Continue(const Member& member, std::uint32_t index) const {
  if (callback_ == nullptr) {
    return true;
  }
  EnumMemberRecord record{};
  FillEnumRecord(member, index, record);
  arcapi::TEnumMemberInfo64 info{};
  static_assert(sizeof(info) == sizeof(record));
  std::memcpy(&info, &record, sizeof(record));
  return callback_(&info) != 0;
}

}  // namespace archivers
