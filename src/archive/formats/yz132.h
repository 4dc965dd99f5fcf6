// The archiver of YZ1 archives. Its library comes under two names, tried in
// order; a password-protected archive makes the search ask for a password.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

// The library names tried for YZ1, in this order; a caller may change them,
// and an empty name is skipped. By default "YYZ32.DLL", then "YZ1.DLL".
std::string& Yz1DllName1();
std::string& Yz1DllName2();

// The YZ1 binding: a plain binding that remembers the window of the latest
// OpenArchive and asks for a password when a search meets a protected archive.
class TYZ1Dll : public TArchiverDll {
 public:
  static constexpr int kPasswordBufferSize = 256;
  // Attempts a search makes in all, a password asked for before each retry.
  static constexpr int kFindFirstAttempts = 4;

  TYZ1Dll(std::string formatName, std::string dllName, std::string prefix);

  // The window given to the latest OpenArchive; null at creation.
  TWindowHandle LastWindow() const { return lastWindow_; }

  void Unload() override;
  TArchiveHandle OpenArchive(TWindowHandle window, const std::string& fileName,
                             std::uint32_t mode) override;
  // Up to four searches: after each that answers kErrorPasswordFile the
  // password dialog is shown (on LastWindow) and its password set on the
  // archive; a dialog that answers negative ends the loop. The result is the
  // last search's.
  int FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info) override;

  // The optional password entries; -1 without calling anything when the
  // library lacks them.
  int SetDefaultPassword(TArchiveHandle archive, const char* password);
  int PasswordDialog(TWindowHandle window, char* buffer, std::uint32_t bufferSize);

 private:
  TWindowHandle lastWindow_ = nullptr;
  arcapi::TSetDefaultPasswordEntry setDefaultPassword_ = nullptr;
  arcapi::TPasswordDialogEntry passwordDialog_ = nullptr;
};

// Tries Yz1DllName1, then Yz1DllName2, unless a binding is already there;
// EArchiver naming both library names when neither can be loaded. A name
// whose library fails to load leaves no binding behind, so a later call
// tries both again.
void LoadYz1Binding(std::unique_ptr<TYZ1Dll>& binding);

class TYZ1 : public TBoundArchiver<TArchiver, atYz1, TYZ1Dll, &LoadYz1Binding> {
 public:
  static TYZ1Dll* Yz1Dll() { return Binding(); }

  // Writes stub + archive + the archive's size (4 bytes, big-endian) as the
  // archive name with ".exe", in `dir` when one is given; the library is not
  // used. Option gw above 0 picks the Win32 stub ("yzw32cui.sfx", else
  // "yzdec.exe"), otherwise the DOS stub "yzdos16.sfx". Returns 0 and leaves
  // `commandLine` and `output` untouched.
  int MakeSfx(TWindowHandle window, const std::string& archiveFileName,
              const TArchiverOptions& options, const std::string& dir, std::string& commandLine,
              std::string& output) override;

  std::string BuildYz1Command(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile);

 protected:
  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// Whether the file exists and the YZ1 library opens it; never raises.
bool IsYz1Archive(const std::string& fileName);

}  // namespace archive
