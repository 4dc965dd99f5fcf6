#include "rtl/persistent.h"

#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {

void TPersistent::Assign(const TPersistent& source) {
  source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(
      Format(Utf8ToAnsi("%s を %s に代入することはできません"), {ClassName(), dest.ClassName()}));
}

}  // namespace rtl
