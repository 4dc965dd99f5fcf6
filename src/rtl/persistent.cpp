#include "rtl/persistent.h"

#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace rtl {

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(Format(LoadStr(SAssignError), {ClassName(), dest.ClassName()}));
}

}  // namespace rtl
