#include "html/wstrings.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <system_error>
#include <utility>

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace html {
namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";
// Below this count a plain scan beats building the hash index.
constexpr int kHashMinCount = 16;
// Unseekable streams are read in pieces of this many bytes.
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

// BeginUpdate/EndUpdate around `body`, EndUpdate also when it throws.
template <typename Body>
void Batched(TWStrings& list, Body&& body) {
  list.BeginUpdate();
  try {
    std::forward<Body>(body)();
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

[[noreturn]] void RaiseAssignError(std::string_view sourceClass, std::string_view destClass) {
  throw rtl::EConvertError(rtl::Format(rtl::LoadStr(rtl::SAssignError),
                                       {std::string(sourceClass), std::string(destClass)}));
}

std::string SystemText(int error) {
  return error == 0 ? std::string() : std::string(std::strerror(error));
}

// UTF-16 code units from little-endian byte pairs; `bytes` holds 2 * units.size().
void DecodeLittleEndian(const std::string& bytes, WideString& units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto low = static_cast<unsigned char>(bytes[2 * i]);
    const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(low | (high << 8));
  }
}

// Reads `count` code units at the stream's position; raises EReadError when
// fewer arrive.
WideString ReadUnits(std::istream& stream, std::size_t count) {
  WideString units(count, u'\0');
  const auto bytes = static_cast<std::streamsize>(count * 2);
  if constexpr (std::endian::native == std::endian::little) {
    stream.read(reinterpret_cast<char*>(units.data()), bytes);
  } else {
    std::string raw(count * 2, '\0');
    stream.read(raw.data(), bytes);
    DecodeLittleEndian(raw, units);
  }
  if (stream.gcount() != bytes) {
    throw rtl::EReadError(rtl::LoadStr(rtl::SStreamReadError));
  }
  return units;
}

// A stream without positions (a pipe) is read to its end; its final odd byte
// is consumed with the rest.
WideString ReadUnitsToEnd(std::istream& stream) {
  std::string raw;
  std::string chunk(kReadChunk, '\0');
  while (stream.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
         stream.gcount() > 0) {
    raw.append(chunk, 0, static_cast<std::size_t>(stream.gcount()));
  }
  if (stream.bad()) {
    throw rtl::EReadError(rtl::LoadStr(rtl::SStreamReadError));
  }
  stream.clear(stream.rdstate() & ~(std::ios::eofbit | std::ios::failbit));
  WideString units(raw.size() / 2, u'\0');
  DecodeLittleEndian(raw, units);
  return units;
}

// Everything from the stream's position to its end, as code units.
WideString ReadRemainingUnits(std::istream& stream) {
  if (stream.bad()) {
    throw rtl::EReadError(rtl::LoadStr(rtl::SStreamReadError));
  }
  // A stream left at its end by an earlier read is still a valid stream.
  stream.clear();
  const std::istream::pos_type start = stream.tellg();
  if (start == std::istream::pos_type(-1)) {
    return ReadUnitsToEnd(stream);
  }
  stream.seekg(0, std::ios::end);
  const std::istream::pos_type end = stream.tellg();
  stream.seekg(start);
  if (end == std::istream::pos_type(-1) || !stream) {
    throw rtl::EReadError(rtl::LoadStr(rtl::SStreamReadError));
  }
  const std::int64_t available = static_cast<std::int64_t>(end - start);
  return ReadUnits(stream, available > 0 ? static_cast<std::size_t>(available / 2) : 0);
}

void WriteUnits(std::ostream& stream, std::u16string_view units) {
  const auto bytes = static_cast<std::streamsize>(units.size() * 2);
  if constexpr (std::endian::native == std::endian::little) {
    stream.write(reinterpret_cast<const char*>(units.data()), bytes);
  } else {
    std::string raw;
    raw.reserve(units.size() * 2);
    for (const char16_t unit : units) {
      raw.push_back(static_cast<char>(unit & 0xFF));
      raw.push_back(static_cast<char>(unit >> 8));
    }
    stream.write(raw.data(), bytes);
  }
  if (!stream) {
    throw rtl::EWriteError(rtl::LoadStr(rtl::SStreamWriteError));
  }
}

}  // namespace

int CompareWideOrdinal(std::u16string_view a, std::u16string_view b) noexcept {
  // char16_t is unsigned, so the traits compare code units as unsigned numbers.
  const int order = a.compare(b);
  if (order < 0) {
    return -1;
  }
  return order > 0 ? 1 : 0;
}

// ---- TWStrings ----

void TWStrings::Assign(const rtl::TPersistent& source) {
  const auto* strings = dynamic_cast<const TWStrings*>(&source);
  if (strings == nullptr) {
    RaiseAssignError(source.ClassName(), ClassName());
  }
  // Clearing first would leave nothing to copy from.
  if (strings == this) {
    return;
  }
  Batched(*this, [&] {
    Clear();
    AddStrings(*strings);
  });
}

void TWStrings::Assign(const rtl::TPersistent* source) {
  if (source == nullptr) {
    RaiseAssignError("nil", ClassName());
  }
  Assign(*source);
}

void TWStrings::AssignTo(rtl::TPersistent& dest) const {
  RaiseAssignError(ClassName(), dest.ClassName());
}

void* TWStrings::GetObject(int /*index*/) const {
  return nullptr;
}

WideString TWStrings::GetText() const {
  const int count = GetCount();
  std::size_t size = 0;
  for (int i = 0; i < count; ++i) {
    size += Get(i).size() + kLineBreak.size();
  }
  WideString text;
  text.reserve(size);
  for (int i = 0; i < count; ++i) {
    text += Get(i);
    text += kLineBreak;
  }
  return text;
}

void TWStrings::Put(int index, WideString s) {
  void* const object = GetObject(index);
  Delete(index);
  InsertObject(index, std::move(s), object);
}

void TWStrings::PutObject(int /*index*/, void* /*object*/) {}

void TWStrings::SetCapacity(int /*capacity*/) {}

void TWStrings::SetText(std::u16string_view text) {
  Batched(*this, [&] {
    Clear();
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != u'\0') {
      const std::size_t start = pos;
      while (pos < text.size() && text[pos] != u'\0' && text[pos] != u'\r' && text[pos] != u'\n') {
        ++pos;
      }
      Add(WideString(text.substr(start, pos - start)));
      if (pos < text.size() && text[pos] == u'\r') {
        ++pos;
      }
      if (pos < text.size() && text[pos] == u'\n') {
        ++pos;
      }
    }
  });
}

int TWStrings::Add(WideString s) {
  const int index = GetCount();
  Insert(index, std::move(s));
  return index;
}

int TWStrings::AddObject(WideString s, void* object) {
  const int index = Add(std::move(s));
  PutObject(index, object);
  return index;
}

void TWStrings::AddStrings(const TWStrings& source) {
  Batched(*this, [&] {
    // The count is taken once, so a list that adds itself doubles once.
    const int count = source.GetCount();
    for (int i = 0; i < count; ++i) {
      AddObject(source.Get(i), source.GetObject(i));
    }
  });
}

void TWStrings::Exchange(int index1, int index2) {
  WideString first = Get(index1);
  WideString second = Get(index2);
  void* const firstObject = GetObject(index1);
  void* const secondObject = GetObject(index2);
  Batched(*this, [&] {
    Put(index1, std::move(second));
    PutObject(index1, secondObject);
    Put(index2, std::move(first));
    PutObject(index2, firstObject);
  });
}

int TWStrings::IndexOf(std::u16string_view s) const {
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    if (CompareWideOrdinal(Get(i), s) == 0) {
      return i;
    }
  }
  return -1;
}

void TWStrings::LoadFromFile(const std::string& fileName) {
  std::error_code ignored;
  // Opening a directory for reading succeeds on some systems; it holds no text.
  if (std::filesystem::is_directory(fileName, ignored)) {
    throw rtl::EFOpenError(
        rtl::Format(rtl::LoadStr(rtl::SFOpenError), {fileName, SystemText(EISDIR)}));
  }
  errno = 0;
  std::ifstream file(fileName, std::ios::in | std::ios::binary);
  if (!file.is_open()) {
    throw rtl::EFOpenError(
        rtl::Format(rtl::LoadStr(rtl::SFOpenError), {fileName, SystemText(errno)}));
  }
  LoadFromStream(file);
}

void TWStrings::LoadFromStream(std::istream& stream) {
  Batched(*this, [&] { SetText(ReadRemainingUnits(stream)); });
}

void TWStrings::Move(int currentIndex, int newIndex) {
  if (currentIndex == newIndex) {
    return;
  }
  // Both indexes are checked before the entry is taken out, so a bad target
  // cannot lose it.
  WideString s = Get(currentIndex);
  void* const object = GetObject(currentIndex);
  if (newIndex < 0 || newIndex >= GetCount()) {
    Error(rtl::SListIndexError, newIndex);
  }
  Batched(*this, [&] {
    Delete(currentIndex);
    InsertObject(newIndex, std::move(s), object);
  });
}

void TWStrings::SaveToFile(const std::string& fileName) const {
  errno = 0;
  std::ofstream file(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file.is_open()) {
    throw rtl::EFCreateError(
        rtl::Format(rtl::LoadStr(rtl::SFCreateError), {fileName, SystemText(errno)}));
  }
  SaveToStream(file);
  // Buffered bytes reach the disk only now; a full disk shows here.
  errno = 0;
  file.close();
  if (!file) {
    throw rtl::EWriteError(
        rtl::Format(rtl::LoadStr(rtl::SFWriteError), {fileName, SystemText(errno)}));
  }
}

void TWStrings::SaveToStream(std::ostream& stream) const {
  WriteUnits(stream, GetText());
}

void TWStrings::BeginUpdate() {
  if (updateCount_ == 0) {
    SetUpdateState(true);
  }
  ++updateCount_;
}

void TWStrings::EndUpdate() {
  // An unmatched call must not leave the count below zero, which would
  // silence every later notification.
  if (updateCount_ == 0) {
    return;
  }
  --updateCount_;
  if (updateCount_ == 0) {
    SetUpdateState(false);
  }
}

void TWStrings::InsertObject(int index, WideString s, void* object) {
  Insert(index, std::move(s));
  PutObject(index, object);
}

void TWStrings::Error(rtl::StrId message, int value) {
  throw rtl::EStringListError(rtl::Format(rtl::LoadStr(message), {value}));
}

void TWStrings::SetUpdateState(bool /*updating*/) {}

// ---- TWStringList ----

TWStringList::~TWStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
}

void TWStringList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) {
    Error(rtl::SListIndexError, index);
  }
}

WideString TWStringList::Get(int index) const {
  return StringAt(index);
}

const WideString& TWStringList::StringAt(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].String;
}

void* TWStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)].Object;
}

WideString TWStringList::GetText() const {
  std::size_t size = 0;
  for (const TWStringItem& item : items_) {
    size += item.String.size() + kLineBreak.size();
  }
  WideString text;
  text.reserve(size);
  for (const TWStringItem& item : items_) {
    text += item.String;
    text += kLineBreak;
  }
  return text;
}

void TWStringList::Put(int index, WideString s) {
  if (sorted_) {
    Error(rtl::SSortedListError, 0);
  }
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].String = std::move(s);
  DropHashIndex();
  Changed();
}

void TWStringList::PutObject(int index, void* object) {
  CheckIndex(index);
  Changing();
  items_[static_cast<std::size_t>(index)].Object = object;
  Changed();
}

void TWStringList::SetCapacity(int capacity) {
  if (capacity < GetCount()) {
    Error(rtl::SListIndexError, capacity);
  }
  const auto wanted = static_cast<std::size_t>(capacity);
  if (wanted > items_.capacity()) {
    items_.reserve(wanted);
  } else if (wanted < items_.capacity()) {
    // Shrinking needs a fresh allocation of exactly the new size.
    std::vector<TWStringItem> resized;
    resized.reserve(wanted);
    std::move(items_.begin(), items_.end(), std::back_inserter(resized));
    items_.swap(resized);
  }
  capacity_ = capacity;
}

void TWStringList::Grow() {
  const std::int64_t current = capacity_;
  std::int64_t delta = 4;
  if (current > 64) {
    delta = current / 4;
  } else if (current > 8) {
    delta = 16;
  }
  SetCapacity(static_cast<int>(std::min<std::int64_t>(current + delta, INT_MAX)));
}

void TWStringList::InsertItem(int index, WideString s) {
  Changing();
  if (GetCount() == capacity_) {
    Grow();
  }
  const bool appended = index == GetCount();
  items_.insert(items_.begin() + index, TWStringItem{std::move(s), nullptr});
  if (appended) {
    HashAppended();
  } else {
    DropHashIndex();
  }
  Changed();
}

int TWStringList::Add(WideString s) {
  int index = GetCount();
  if (sorted_ && Find(s, index)) {
    if (duplicates_ == TDuplicates::Ignore) {
      return index;
    }
    if (duplicates_ == TDuplicates::Error) {
      Error(rtl::SDuplicateString, 0);
    }
  }
  InsertItem(index, std::move(s));
  return index;
}

int TWStringList::AddObject(WideString s, void* object) {
  const int countBefore = GetCount();
  const int index = Add(std::move(s));
  if (GetCount() != countBefore) {
    PutObject(index, object);
  }
  return index;
}

void TWStringList::Clear() {
  if (items_.empty()) {
    return;
  }
  Changing();
  items_.clear();
  SetCapacity(0);
  DropHashIndex();
  Changed();
}

void TWStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  items_.erase(items_.begin() + index);
  DropHashIndex();
  Changed();
}

void TWStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  DropHashIndex();
  Changed();
}

bool TWStringList::Find(std::u16string_view s, int& index) const {
  bool found = false;
  int low = 0;
  int high = GetCount() - 1;
  while (low <= high) {
    const auto middle =
        static_cast<int>((static_cast<unsigned>(low) + static_cast<unsigned>(high)) >> 1U);
    const int order = CompareWideOrdinal(items_[static_cast<std::size_t>(middle)].String, s);
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (order == 0) {
        found = true;
        if (duplicates_ != TDuplicates::Accept) {
          low = middle;
        }
      }
    }
  }
  index = low;
  return found;
}

int TWStringList::IndexOf(std::u16string_view s) const {
  if (!sorted_) {
    return FindUnsorted(s);
  }
  int index = -1;
  return Find(s, index) ? index : -1;
}

void TWStringList::Insert(int index, WideString s) {
  if (sorted_) {
    Error(rtl::SSortedListError, 0);
  }
  if (index < 0 || index > GetCount()) {
    Error(rtl::SListIndexError, index);
  }
  InsertItem(index, std::move(s));
}

void TWStringList::Move(int currentIndex, int newIndex) {
  // Taking the entry out and inserting it again would lose it on a sorted list.
  if (sorted_ && currentIndex != newIndex) {
    Error(rtl::SSortedListError, 0);
  }
  TWStrings::Move(currentIndex, newIndex);
}

void TWStringList::Sort() {
  if (sorted_ || GetCount() < 2) {
    return;
  }
  Changing();
  // Introsort: no deep recursion and no quadratic case, and equal strings
  // may end in any order, as with any unstable sort.
  std::sort(items_.begin(), items_.end(), [](const TWStringItem& a, const TWStringItem& b) {
    return CompareWideOrdinal(a.String, b.String) < 0;
  });
  DropHashIndex();
  Changed();
}

void TWStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) {
    return;
  }
  if (sorted) {
    Sort();
  }
  sorted_ = sorted;
}

void TWStringList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TWStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) {
    OnChange(*this);
  }
}

void TWStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) {
    OnChanging(*this);
  }
}

// ---- The hash index of unsorted lists ----

namespace {

std::size_t HashOf(std::u16string_view s) {
  return std::hash<std::u16string_view>{}(s);
}

}  // namespace

int TWStringList::FindUnsorted(std::u16string_view s) const {
  const int count = GetCount();
  if (count < kHashMinCount) {
    for (int i = 0; i < count; ++i) {
      if (items_[static_cast<std::size_t>(i)].String == s) {
        return i;
      }
    }
    return -1;
  }
  if (hashSlots_.empty()) {
    BuildHashIndex();
  }
  const std::size_t mask = hashSlots_.size() - 1;
  for (std::size_t slot = HashOf(s) & mask;; slot = (slot + 1) & mask) {
    const std::int32_t entry = hashSlots_[slot];
    if (entry < 0 || items_[static_cast<std::size_t>(entry)].String == s) {
      return entry;
    }
  }
}

void TWStringList::BuildHashIndex() const {
  // At most half full, so every probe ends at a free slot soon.
  const std::size_t slots = std::bit_ceil(std::max<std::size_t>(32, items_.size() * 2));
  hashSlots_.assign(slots, -1);
  hashUsed_ = 0;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    HashInsert(static_cast<int>(i));
  }
}

// Records entry `index` unless an earlier entry holds the same string.
void TWStringList::HashInsert(int index) const {
  const WideString& s = items_[static_cast<std::size_t>(index)].String;
  const std::size_t mask = hashSlots_.size() - 1;
  for (std::size_t slot = HashOf(s) & mask;; slot = (slot + 1) & mask) {
    const std::int32_t entry = hashSlots_[slot];
    if (entry < 0) {
      hashSlots_[slot] = index;
      ++hashUsed_;
      return;
    }
    if (items_[static_cast<std::size_t>(entry)].String == s) {
      return;
    }
  }
}

void TWStringList::HashAppended() const {
  if (hashSlots_.empty()) {
    return;
  }
  if (static_cast<std::size_t>(hashUsed_ + 1) * 2 > hashSlots_.size()) {
    BuildHashIndex();
  } else {
    HashInsert(GetCount() - 1);
  }
}

}  // namespace html
