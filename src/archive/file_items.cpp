#include "archive/file_items.h"

#include "rtl/codepage.h"

namespace archive {

FileItem::FileItem(std::string name) : names_{std::move(name)} {}

FileItem::FileItem(std::string_view name) : names_{std::string(name)} {}

FileItem::FileItem(const char* name) {
  if (name != nullptr) {
    names_.emplace_back(name);
  }
}

FileItem::FileItem(const char* const* names) {
  if (names == nullptr) {
    return;
  }
  for (const char* const* name = names; *name != nullptr; ++name) {
    names_.emplace_back(*name);
  }
}

FileItem::FileItem(const rtl::TStringList& list) {
  names_.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    names_.push_back(list.Get(i));
  }
}

FileItem::FileItem(const rtl::TStringList* list) {
  if (list != nullptr) {
    *this = FileItem(*list);
  }
}

FileItem::FileItem(std::u16string_view wide) : names_{rtl::WideToAnsi(wide)} {}

FileItem::FileItem(const std::u16string& wide) : FileItem(std::u16string_view(wide)) {}

FileItem::FileItem(std::vector<std::string> names) : names_(std::move(names)) {}

std::vector<std::string> FileItemsToList(const FileItems& items) {
  std::vector<std::string> list;
  for (const FileItem& item : items.Items()) {
    for (const std::string& name : item.Names()) {
      if (!name.empty()) {
        list.push_back(name);
      }
    }
  }
  return list;
}

}  // namespace archive
