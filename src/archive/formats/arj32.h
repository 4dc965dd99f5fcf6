// The archiver of ARJ archives, bound to UNARJ32J.DLL under the prefix
// "Unarj". It shares the LHA command lines, and every operation sends its
// LHA line to the ARJ library.
#pragma once

#include <memory>
#include <string>

#include "archive/formats/lha32.h"

namespace archive {

// Creating one loads the ARJ library (never the LHA one).
class TArj32 : public TBoundArchiver<TLha32, atArj> {
 public:
  static TArchiverDll* ArjDll() { return Binding(); }

 protected:
  // The LHA plans, except that extraction follows the caller's
  // response-file flag.
  std::span<const TCommandPlan> CommandPlans() const override;
};

// Whether the library opens the file as an ARJ archive; never raises.
bool IsArjArchive(const std::string& fileName);

}  // namespace archive
