// The process-wide library binding every format archiver shares: one
// binding object per format, created and loaded by the first LoadDLL and
// kept (even when loading failed) until FreeDLL, and the content check of
// the formats that ask the library to open the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/archiver_type.h"
#include "rtl/exceptions.h"

namespace archive {

// How a content check opens an archive: with the library's own dialog
// kept away, and quietly.
inline constexpr std::uint32_t kProbeOpenMode = 0x800002;

// Whether `dll` opens the file as its archive, and closes it again. With
// `mustExist`, a file that is not there is no archive without asking.
bool OpensAsArchive(TCustomArchiverDll& dll, const std::string& fileName, bool mustExist);

// Creates and loads the registered binding of `type` (its library, entry
// prefix and format name) unless one is stored already.
void LoadRegisteredBinding(TArchiverType type, std::unique_ptr<TArchiverDll>& binding);

template <TArchiverType Type>
void LoadRegistered(std::unique_ptr<TArchiverDll>& binding) {
  LoadRegisteredBinding(Type, binding);
}

// `Base` bound to the binding of `Type`; `Load` fills the binding on the
// first LoadDLL.
template <class Base, TArchiverType Type, class Dll = TArchiverDll,
          void (*Load)(std::unique_ptr<Dll>&) = &LoadRegistered<Type>>
class TBoundArchiver : public Base {
 public:
  // Loads the format's library; the loader's exception when it is missing.
  TBoundArchiver() : Base(TNoLoad{}) { LoadDLL(); }

  static void LoadDLL() { Load(Slot()); }
  static void FreeDLL() { Slot().reset(); }
  // The binding, or null before the first LoadDLL.
  static Dll* Binding() { return Slot().get(); }
  // The binding after LoadDLL; the loader's exception when there is none.
  static Dll& LoadedBinding() {
    LoadDLL();
    return *Binding();
  }

  TCustomArchiverDll& ArchiverDll() const override { return LoadedBinding(); }
  void EnsureDLL() override { LoadDLL(); }

  // The content check of a format whose library opening the file is the
  // answer; never raises.
  static bool OpensArchive(const std::string& fileName, bool mustExist) {
    try {
      return OpensAsArchive(LoadedBinding(), fileName, mustExist);
    } catch (const rtl::Exception&) {
      return false;
    }
  }

 protected:
  explicit TBoundArchiver(TNoLoad tag) : Base(tag) {}

 private:
  static std::unique_ptr<Dll>& Slot() {
    static std::unique_ptr<Dll> binding;
    return binding;
  }
};

}  // namespace archive
