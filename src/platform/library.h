// Libraries loaded at run time by their Windows file name, entry lookup by
// name, the module's file name.
//
// On Windows the name goes to the system's normal library search. Elsewhere
// it is mapped to the local shared-object name (LibraryFileName) and looked
// for in this order:
//   1. each directory of the environment variable ZELUPD_LIBRARY_PATH, a
//      colon-separated list (empty entries are skipped, relative ones are
//      taken from the current directory), so a user can point the tool at
//      archiver libraries installed anywhere, and tests can switch
//      libraries while the process runs (the loader reads LD_LIBRARY_PATH
//      only at start);
//   2. the directory of the running program;
//   3. ../lib/zelupd/ relative to that directory (an installed tree);
//   4. the loader's own search path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace platform {

// The environment variable of step 1 above.
inline constexpr std::string_view kLibraryPathVariable = "ZELUPD_LIBRARY_PATH";

// The file name the backend looks for. On Linux: lower case, ".dll"
// replaced by ".so" (appended when the name has no extension), "lib" put in
// front: "UNLHA32.DLL" gives "libunlha32.so". A directory part is kept as
// it is. On Windows the name is unchanged.
std::string LibraryFileName(std::string_view fileName);

// A loaded library, freed when the object goes. Not loaded when empty.
class Library {
 public:
  Library() = default;
  ~Library();
  Library(Library&& other) noexcept;
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool IsLoaded() const { return handle_ != nullptr; }
  // The module handle as a number, 0 while not loaded.
  std::uintptr_t Handle() const { return reinterpret_cast<std::uintptr_t>(handle_); }

  // The address of the entry `name` in this module (not in the libraries it
  // depends on); null when it has none or nothing is loaded.
  void* GetProcAddress(const std::string& name) const;
  // The same, as a function pointer type.
  template <class Function>
  Function GetProcAddressAs(const std::string& name) const {
    static_assert(std::is_pointer_v<Function> &&
                  std::is_function_v<std::remove_pointer_t<Function>>);
    return reinterpret_cast<Function>(GetProcAddress(name));
  }

  // Full path of the loaded file; empty while not loaded.
  std::string GetModuleFileName() const;

  // Frees the library; the object is then empty.
  void Free();

 private:
  friend Library LoadLibrary(std::string_view fileName);
  explicit Library(void* handle) : handle_(handle) {}

  void* handle_ = nullptr;
};

// Loads the library by its Windows file name (see the search order above).
// The result is empty when it cannot be found or loaded.
Library LoadLibrary(std::string_view fileName);

}  // namespace platform
