// The file-list argument of every archive operation: an ordered sequence of
// items of mixed kinds, flattened into plain 8-bit names when a command line
// or a response file is built.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "rtl/stringlist.h"

namespace archive {

// One item of a file list. Each kind contributes its strings, taken when the
// item is made (so an item never refers to an object that may be gone):
//   8-bit string, NUL-terminated C string     the string
//   null-terminated array of C strings         each string before the null pointer
//   string list (reference or pointer)         each line, first to last
//   wide string                                the string in the ANSI code page
//   vector of strings                          each element in order
// Every other kind (integers, booleans, characters, floating point, wide C
// strings, null pointers) is accepted and contributes nothing, so a caller
// may pass a mixed list without sorting it first.
class FileItem {
 public:
  FileItem(std::string name);                // NOLINT(google-explicit-constructor)
  FileItem(std::string_view name);           // NOLINT(google-explicit-constructor)
  FileItem(const char* name);                // NOLINT(google-explicit-constructor)
  FileItem(const char* const* names);        // NOLINT(google-explicit-constructor)
  FileItem(const rtl::TStringList& list);    // NOLINT(google-explicit-constructor)
  FileItem(const rtl::TStringList* list);    // NOLINT(google-explicit-constructor)
  FileItem(std::u16string_view wide);        // NOLINT(google-explicit-constructor)
  FileItem(const std::u16string& wide);      // NOLINT(google-explicit-constructor)
  FileItem(std::vector<std::string> names);  // NOLINT(google-explicit-constructor)
  FileItem(const char16_t* /*unused*/) {}    // NOLINT(google-explicit-constructor)
  FileItem(std::nullptr_t /*unused*/) {}     // NOLINT(google-explicit-constructor)
  template <typename T>
  requires std::is_arithmetic_v<T> FileItem(T /*unused*/) {}  // NOLINT(google-explicit-constructor)

  // The item's strings in its own order, empty ones included.
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::vector<std::string> names_;
};

class FileItems {
 public:
  FileItems() = default;
  FileItems(std::initializer_list<FileItem> items) : items_(items) {}

  void Add(FileItem item) { items_.push_back(std::move(item)); }
  const std::vector<FileItem>& Items() const { return items_; }

 private:
  std::vector<FileItem> items_;
};

// The names of all items in order; empty strings are dropped, duplicates kept.
std::vector<std::string> FileItemsToList(const FileItems& items);

}  // namespace archive
