// The base of objects whose state can be copied into another object of a
// fitting class with Assign, and named in the error when the classes differ.
#pragma once

#include <string_view>

namespace rtl {

class TPersistent {
 public:
  virtual ~TPersistent() = default;

  virtual std::string_view ClassName() const { return "TPersistent"; }
  // Takes over the state of `source`: the source decides how (AssignTo).
  virtual void Assign(const TPersistent& source);
  // Copies this object's state into `dest`. The base knows no class it could
  // copy into and raises EConvertError (SAssignError, naming both classes).
  virtual void AssignTo(TPersistent& dest) const;

 protected:
  TPersistent() = default;
  // Copying is for derived classes only, so no object is ever sliced.
  TPersistent(const TPersistent&) = default;
  TPersistent& operator=(const TPersistent&) = default;
  TPersistent(TPersistent&&) = default;
  TPersistent& operator=(TPersistent&&) = default;
};

}  // namespace rtl
