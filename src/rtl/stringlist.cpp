#include "rtl/stringlist.h"

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/mbcs.h"
#include "rtl/strtable.h"

namespace rtl {

const std::string& TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) {
    throw EStringListError(Format(LoadStr(SListIndexOutOfBounds), {index}));
  }
  return items_[static_cast<std::size_t>(index)];
}

int TStringList::IndexOf(std::string_view s) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameTextAscii(items_[static_cast<std::size_t>(i)], s)) {
      return i;
    }
  }
  return -1;
}

}  // namespace rtl
