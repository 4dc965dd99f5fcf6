// A list of 8-bit strings whose reads are checked, as the command line needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rtl {

class TStringList {
 public:
  void Add(std::string s) { items_.push_back(std::move(s)); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EStringListError "List index out of bounds (n)" outside 0..Count-1.
  const std::string& Get(int index) const;
  // First entry equal to `s` ignoring ASCII letter case, or -1.
  int IndexOf(std::string_view s) const;

 private:
  std::vector<std::string> items_;
};

}  // namespace rtl
