#include "archive/formats/yz132.h"

#include <array>
#include <string_view>

#include "archive/errors.h"
#include "archive/formats/registry.h"
#include "archive/sfx_file.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

constexpr std::string_view kDosStub = "yzdos16.sfx";
constexpr std::string_view kWin32Stub = "yzw32cui.sfx";
constexpr std::string_view kWin32Decoder = "yzdec.exe";

// The names in the load failure: both as alternatives, the one set, or none.
std::string Yz1DllNames(const std::string& name1, const std::string& name2) {
  if (!name1.empty() && !name2.empty()) {
    return rtl::Format(rtl::LoadStr(rtl::SYz1EitherLibrary), {name1, name2});
  }
  return name1.empty() ? name2 : name1;
}

// The compression level the library's "y" switch takes for the option m;
// -1 leaves the switch out.
int Yz1Level(std::int8_t m) {
  switch (static_cast<std::uint8_t>(m)) {
    case 0:
    case 2:
      return 2;
    case 1:
      return 1;
    case 9:
      return 0;
    default:
      return -1;
  }
}

// The stub for the kind that gw asks for, found along the standard search path.
std::string FindYz1Stub(std::int8_t gw) {
  if (gw <= 0) {
    std::string stub = platform::SearchPath(std::string(kDosStub));
    if (stub.empty()) {
      throw EArchiver(rtl::Format(rtl::LoadStr(rtl::SYz1DosSfxStubRequired), {kDosStub}));
    }
    return stub;
  }
  for (const std::string_view name : {kWin32Stub, kWin32Decoder}) {
    std::string stub = platform::SearchPath(std::string(name));
    if (!stub.empty()) {
      return stub;
    }
  }
  throw EArchiver(rtl::LoadStr(rtl::SYz1Win32SfxStubRequired));
}

}  // namespace

std::string& Yz1DllName1() {
  static std::string name = "YYZ32.DLL";
  return name;
}

std::string& Yz1DllName2() {
  static std::string name = "YZ1.DLL";
  return name;
}

// --- TYZ1Dll ---

TYZ1Dll::TYZ1Dll(std::string formatName, std::string dllName, std::string prefix)
    : TArchiverDll(std::move(formatName), std::move(dllName), std::move(prefix)) {}

void TYZ1Dll::Unload() {
  // The addresses go with the library they point into.
  setDefaultPassword_ = nullptr;
  passwordDialog_ = nullptr;
  TArchiverDll::Unload();
}

TArchiveHandle TYZ1Dll::OpenArchive(TWindowHandle window, const std::string& fileName,
                                    std::uint32_t mode) {
  lastWindow_ = window;
  return TArchiverDll::OpenArchive(window, fileName, mode);
}

int TYZ1Dll::FindFirst(TArchiveHandle archive, const std::string& wildName, TMemberInfo& info) {
  int result = 0;
  for (int attempt = 0; attempt < kFindFirstAttempts; ++attempt) {
    result = TArchiverDll::FindFirst(archive, wildName, info);
    if (result != arcapi::kErrorPasswordFile) {
      break;
    }
    // One byte more than the library is told, always NUL, so a password
    // that fills the whole buffer still ends before the buffer does.
    std::array<char, kPasswordBufferSize + 1> password{};
    if (PasswordDialog(lastWindow_, password.data(), kPasswordBufferSize) < 0) {
      break;
    }
    SetDefaultPassword(archive, password.data());
  }
  return result;
}

int TYZ1Dll::SetDefaultPassword(TArchiveHandle archive, const char* password) {
  if (!Bind(setDefaultPassword_, arcapi::kSetDefaultPasswordSuffix, false)) {
    return -1;
  }
  return setDefaultPassword_(archive, password);
}

int TYZ1Dll::PasswordDialog(TWindowHandle window, char* buffer, std::uint32_t bufferSize) {
  if (!Bind(passwordDialog_, arcapi::kPasswordDialogSuffix, false)) {
    return -1;
  }
  return passwordDialog_(window, buffer, bufferSize);
}

// --- TYZ1 ---

void LoadYz1Binding(std::unique_ptr<TYZ1Dll>& dll) {
  if (dll != nullptr) {
    return;
  }
  const TFormatRow& row = *FindFormat(atYz1);
  const std::string name1 = Yz1DllName1();
  const std::string name2 = Yz1DllName2();
  for (const std::string& name : {name1, name2}) {
    if (name.empty()) {
      continue;
    }
    dll = std::make_unique<TYZ1Dll>(rtl::LoadStr(row.FormatName), name, std::string(row.Prefix));
    try {
      dll->Load();
      return;
    } catch (const rtl::Exception&) {
      dll.reset();
    }
  }
  throw EArchiver(rtl::Format(rtl::LoadStr(rtl::SYz1LibraryRequired), {Yz1DllNames(name1, name2)}));
}

std::string TYZ1::BuildYz1Command(const std::string& command, const std::string& archiveFileName,
                                  const TArchiverOptions& options, const std::string& dir,
                                  const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  opt.Add("-+");
  const int level = Yz1Level(options.m);
  opt.AddSwitch("c", level == 2 ? 2 : options.c);
  opt.AddSwitch("y", level);
  opt.AddFlag("i", options.n > 0 || HasOwnerWindow());
  opt.AddSwitch("z", options.p);
  opt.AddSwitch("x", options.x);
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::span<const TCommandPlan> TYZ1::CommandPlans() const {
  static constexpr std::array<TCommandPlan, 2> kPlans{{
      {TBuilder::Extract, "x", TResponseFileRule::Caller},
      {TBuilder::Add, "c", TResponseFileRule::Caller},
  }};
  return kPlans;
}

std::string TYZ1::BuildCommand(const TCommandRequest& request) {
  return BuildYz1Command(request.Word, request.ArchiveFileName, request.Options, request.Dir,
                         request.Files, request.UseResponseFile);
}

int TYZ1::MakeSfx(TWindowHandle /*window*/, const std::string& archiveFileName,
                  const TArchiverOptions& options, const std::string& dir,
                  std::string& /*commandLine*/, std::string& /*output*/) {
  const std::string stub = FindYz1Stub(options.gw);
  WriteSfxFile(SfxOutputFileName(archiveFileName, ".exe", dir), {stub, archiveFileName},
               TSfxTail::LastPartSizeBigEndian);
  return 0;
}

bool IsYz1Archive(const std::string& fileName) {
  return TYZ1::OpensArchive(fileName, true);
}

}  // namespace archive
