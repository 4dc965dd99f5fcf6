// Lists of wide (UTF-16) strings, each paired with an optional untyped object
// reference: change notifications with batching, joining to and splitting from
// one text, and loading and saving as raw little-endian UTF-16.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/codepage.h"
#include "rtl/persistent.h"
#include "rtl/strtable.h"

namespace html {

using rtl::WideString;

// Code unit by code unit as unsigned 16-bit numbers; a prefix is the smaller.
// No case folding and no locale. Returns -1, 0 or 1.
int CompareWideOrdinal(std::u16string_view a, std::u16string_view b) noexcept;

// What Add does on a sorted list with a string that is already there.
enum class TDuplicates : std::uint8_t { Ignore = 0, Accept = 1, Error = 2 };

// The abstract protocol: composite operations in terms of a few primitives.
// Indexes are 0-based; strings go in and come out as copies.
class TWStrings : public rtl::TPersistent {
 public:
  TWStrings(const TWStrings&) = delete;
  TWStrings& operator=(const TWStrings&) = delete;
  TWStrings(TWStrings&&) = delete;
  TWStrings& operator=(TWStrings&&) = delete;
  ~TWStrings() override = default;

  std::string_view ClassName() const override { return "TWStrings"; }

  // From another TWStrings: replaces this list's content (a batch). From any
  // other class: EConvertError naming both classes.
  void Assign(const rtl::TPersistent& source) override;
  // As above; no source ("nil") is a conversion error too.
  void Assign(const rtl::TPersistent* source);
  // A list copies itself into no other class: EConvertError naming both.
  void AssignTo(rtl::TPersistent& dest) const override;

  virtual WideString Get(int index) const = 0;
  virtual int GetCapacity() const { return GetCount(); }
  virtual int GetCount() const = 0;
  virtual void* GetObject(int index) const;
  // Every line followed by CR LF.
  virtual WideString GetText() const;
  virtual void Put(int index, WideString s);
  virtual void PutObject(int index, void* object);
  virtual void SetCapacity(int capacity);
  // Splits at CR LF, lone CR or lone LF; stops at U+0000.
  virtual void SetText(std::u16string_view text);
  virtual int Add(WideString s);
  virtual int AddObject(WideString s, void* object);
  virtual void AddStrings(const TWStrings& source);
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Exchange(int index1, int index2);
  // First index holding `s`, or -1.
  virtual int IndexOf(std::u16string_view s) const;
  virtual void Insert(int index, WideString s) = 0;
  // The file name is 8-bit text in the ANSI code page. Open failures raise
  // rtl::EFOpenError, read failures rtl::EReadError.
  virtual void LoadFromFile(const std::string& fileName);
  // Reads from the current position to the end as little-endian UTF-16 code
  // units, without byte-order-mark handling; a final odd byte is left unread.
  virtual void LoadFromStream(std::istream& stream);
  // Moves the entry at `currentIndex` so that it ends at `newIndex`.
  virtual void Move(int currentIndex, int newIndex);
  // Creation failures raise rtl::EFCreateError, write failures rtl::EWriteError.
  virtual void SaveToFile(const std::string& fileName) const;
  // Writes GetText as little-endian UTF-16 without byte-order mark or terminator.
  virtual void SaveToStream(std::ostream& stream) const;

  // Batches notifications; calls nest and must be matched.
  void BeginUpdate();
  void EndUpdate();
  void InsertObject(int index, WideString s, void* object);
  // Raises EStringListError with the text of `message` formatted with `value`.
  [[noreturn]] static void Error(rtl::StrId message, int value);

 protected:
  TWStrings() = default;
  virtual void SetUpdateState(bool updating);
  int UpdateCount() const { return updateCount_; }

 private:
  std::int32_t updateCount_ = 0;
};

// One entry of a TWStringList: the list owns the string, not the object.
struct TWStringItem {
  WideString String;
  void* Object = nullptr;
};

// The concrete list: a growable array, optionally kept sorted.
class TWStringList : public TWStrings {
 public:
  TWStringList() = default;
  // Notifications stop first, so nothing is told while the list is torn down.
  ~TWStringList() override;
  TWStringList(const TWStringList&) = delete;
  TWStringList& operator=(const TWStringList&) = delete;
  TWStringList(TWStringList&&) = delete;
  TWStringList& operator=(TWStringList&&) = delete;

  std::string_view ClassName() const override { return "TWStringList"; }

  WideString Get(int index) const override;
  int GetCapacity() const override { return capacity_; }
  int GetCount() const override { return static_cast<int>(items_.size()); }
  void* GetObject(int index) const override;
  void Put(int index, WideString s) override;
  void PutObject(int index, void* object) override;
  WideString GetText() const override;
  // A capacity below the count (or negative) is refused with the index error.
  void SetCapacity(int capacity) override;
  int Add(WideString s) override;
  // A duplicate that a sorted list ignores leaves the existing entry's object
  // as it was.
  int AddObject(WideString s, void* object) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(std::u16string_view s) const override;
  void Insert(int index, WideString s) override;
  // Refused on a sorted list, like Insert.
  void Move(int currentIndex, int newIndex) override;

  // Binary search; meaningful on ascending entries only. `index` receives the
  // equal entry met (the first of a run when duplicates are accepted) or the
  // position where `s` belongs.
  virtual bool Find(std::u16string_view s, int& index) const;
  // Orders the entries by CompareWideOrdinal; not stable. Nothing to do when
  // the list is marked sorted.
  virtual void Sort();

  // The entry's string without a copy, after the index check.
  const WideString& StringAt(int index) const;

  bool Sorted() const { return sorted_; }
  // Turning it on sorts the entries at once.
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }

  // Called after a change and before one, except inside an update batch.
  std::function<void(TWStringList&)> OnChange;
  std::function<void(TWStringList&)> OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  virtual void Changed();
  virtual void Changing();

 private:
  void CheckIndex(int index) const;
  void Grow();
  void InsertItem(int index, WideString s);
  int FindUnsorted(std::u16string_view s) const;
  void BuildHashIndex() const;
  void HashInsert(int index) const;
  void HashAppended() const;
  void DropHashIndex() const { hashSlots_.clear(); }

  // Entries 0 to count - 1; its allocation always has room for exactly
  // capacity_ entries, so the growth rule decides every reallocation.
  std::vector<TWStringItem> items_;
  std::int32_t capacity_ = 0;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::Ignore;
  // Open-addressing table of entry indexes (-1 = free), one per distinct
  // string at its first index, so IndexOf on a long unsorted list (the
  // interning pattern: look up, then append) stays constant time. Built
  // lazily, kept up to date on appends and dropped on any other change; so
  // even a const list is not for concurrent readers.
  mutable std::vector<std::int32_t> hashSlots_;
  mutable std::int32_t hashUsed_ = 0;
};

}  // namespace html
