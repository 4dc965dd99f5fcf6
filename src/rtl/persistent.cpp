#include "rtl/persistent.h"

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(Format("Cannot assign a %s to a %s", {ClassName(), dest.ClassName()}));
}

}  // namespace rtl
