#include "archive/archiver_dll.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "archive_recorder/recorder_client.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"

namespace {

using archive::TArchiverDll;
using archive::TMemberInfo;
using recorder_test::LibraryFile;
using recorder_test::RecordedMember;
using recorder_test::ScopedEnv;
using recorder_test::Script;
using recorder_test::Session;
using recorder_test::VariantDir;

constexpr std::uint16_t Dos(int year, int month, int day) {
  return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
constexpr std::uint16_t DosClock(int hour, int minute, int second) {
  return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

// 2024-03-15 12:34:56 as a file time when read as UTC.
constexpr std::uint16_t kDate = Dos(2024, 3, 15);
constexpr std::uint16_t kTime = DosClock(12, 34, 56);
constexpr std::uint64_t kFileTimeUtc = 133549796960000000;
constexpr std::uint64_t kHour = 36000000000;
const std::string kSeparator(1, testing_support::kPathListSeparator);

const char* const kLhaFormat = "LHA 形式書庫";

class ArchiverDll : public ::testing::Test {
 protected:
  std::unique_ptr<TArchiverDll> MakeLha() const {
    return std::make_unique<TArchiverDll>(rtl::Utf8ToAnsi(kLhaFormat), "UNLHA32.DLL", "Unlha");
  }
  static std::string Module(const std::string& variant) {
    return VariantDir(variant) + LibraryFile("UNLHA32.DLL");
  }
  static std::string EntryNotFound(const std::string& module, const std::string& entry) {
    return module + " に " + entry + " のエントリが見つかりません。";
  }
  // A record whose program fields hold what an earlier member left.
  static TMemberInfo StaleRecord() {
    TMemberInfo info{};
    std::memset(&info, 0xA5, sizeof info);
    return info;
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  ScopedEnv utc_{"TZ", "UTC0"};
};

// --- library names and loading ---

TEST(LibraryFileName, MapsWindowsNamesToSharedObjects) {
  const struct {
    const char* windows;
    const char* local;
  } cases[] = {
      {"UNLHA32.DLL", "libunlha32.so"}, {"7-zip32.dll", "lib7-zip32.so"},
      {"Cab32.Dll", "libcab32.so"},     {"YZ1", "libyz1.so"},
      {"stub.bin", "libstub.bin"},      {"/opt/arc/UNRAR32.DLL", "/opt/arc/libunrar32.so"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.windows);
    EXPECT_EQ(platform::LibraryFileName(c.windows), c.local);
  }
}

TEST(Library, SearchesTheListedDirectoriesInOrder) {
  testing_support::TempDir empty;
  // An empty entry and a directory without the library are passed over.
  ScopedEnv path("ZELUPD_LIBRARY_PATH", empty.Dir() + kSeparator + kSeparator +
                                            VariantDir("no-type") + kSeparator +
                                            VariantDir("full"));
  platform::Library library = platform::LoadLibrary("UNLHA32.DLL");
  ASSERT_TRUE(library.IsLoaded());
  EXPECT_NE(library.Handle(), 0u);
  EXPECT_EQ(library.GetModuleFileName(), VariantDir("no-type") + LibraryFile("UNLHA32.DLL"));
  EXPECT_NE(library.GetProcAddress("UnlhaFindFirst"), nullptr);
  EXPECT_EQ(library.GetProcAddress("UnlhaGetArchiveType"), nullptr);

  // Moving hands the module over; the source is then empty.
  platform::Library moved = std::move(library);
  EXPECT_FALSE(library.IsLoaded());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(library.GetProcAddress("UnlhaFindFirst"), nullptr);
  EXPECT_TRUE(library.GetModuleFileName().empty());
  EXPECT_NE(moved.GetProcAddress("UnlhaFindFirst"), nullptr);
  moved.Free();
  EXPECT_EQ(moved.Handle(), 0u);
}

TEST(Library, EntriesOfOtherModulesDoNotCount) {
  ScopedEnv path("ZELUPD_LIBRARY_PATH", VariantDir("full"));
  const platform::Library library = platform::LoadLibrary("CAB32.DLL");
  ASSERT_TRUE(library.IsLoaded());
  EXPECT_NE(library.GetProcAddress("CabOpenArchive"), nullptr);
  // Defined by the C library that the archiver library depends on.
  EXPECT_EQ(library.GetProcAddress("malloc"), nullptr);
  // Names of the other families are not in it.
  EXPECT_EQ(library.GetProcAddress("UnlhaOpenArchive"), nullptr);
  // Internal functions are not exported.
  EXPECT_EQ(library.GetProcAddress("zel_recorder_unused_PackCommand"), nullptr);
}

TEST(Library, RelativeDirectoriesAreTakenFromTheCurrentDirectory) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(VariantDir("full"));
  {
    ScopedEnv path("ZELUPD_LIBRARY_PATH", testing_support::NativeName("../no-time"));
    const platform::Library library = platform::LoadLibrary("TAR32.DLL");
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_TRUE(std::filesystem::path(library.GetModuleFileName()).is_absolute());
    EXPECT_EQ(library.GetProcAddress("TarGetWriteTimeEx"), nullptr);
  }
  std::filesystem::current_path(previous);
}

TEST(Library, FamiliesExportTheirOwnNames) {
  ScopedEnv path("ZELUPD_LIBRARY_PATH", VariantDir("full"));
  const struct {
    const char* dll;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {"UNLHA32.DLL", {"Unlha", "UnlhaGetArchiveType"}, {"UnlhaSetDefaultPassword", "Zip"}},
      {"UNZIP32.DLL",
       {"UnZip", "UnZipOpenArchive", "UnzipGetWriteTimeEx", "UnZipGetCreateTimeEx"},
       {"Zip", "UnZipGetWriteTimeEx"}},
      {"ZIP32J.DLL", {"Zip", "UnZipOpenArchive", "UnZipCheckArchive"}, {"UnZip"}},
      {"LMZIP32.DLL", {"Unzip", "Zip", "UnzipFindFirst", "UnzipGetWriteTimeEx"}, {"UnZip"}},
      {"UNARJ32J.DLL", {"Unarj", "UnarjFindNext"}, {}},
      {"TAR32.DLL", {"Tar", "TarGetArchiveType"}, {}},
      {"UNRAR32.DLL", {"Unrar", "UnrarExtractMem"}, {}},
      {"BGA32.DLL", {"Bga", "BgaCheckArchive"}, {}},
      {"YYZ32.DLL", {"Yz1", "Yz1SetDefaultPassword", "Yz1PasswordDialog"}, {}},
      {"YZ1.DLL", {"Yz1", "Yz1FindFirst"}, {}},
      {"7-zip32.dll", {"SevenZip", "SevenZipSetEnumMembersProc64"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dll);
    const platform::Library library = platform::LoadLibrary(c.dll);
    ASSERT_TRUE(library.IsLoaded());
    for (const std::string& name : c.present) {
      EXPECT_NE(library.GetProcAddress(name), nullptr) << name;
    }
    for (const std::string& name : c.absent) {
      EXPECT_EQ(library.GetProcAddress(name), nullptr) << name;
    }
  }
}

// --- loading ---

TEST_F(ArchiverDll, MissingLibraryIsReportedAndLoadedOnceInPlace) {
  testing_support::TempDir dir;
  const Session session(std::vector{dir.Dir()});
  const auto lha = MakeLha();
  const std::string expected = "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。";
  try {
    lha->Load();
    ADD_FAILURE() << "loaded without the library";
  } catch (const archive::ENoArchiverDLL& e) {
    EXPECT_EQ(e.Message(), expected);
  }
  EXPECT_EQ(lha->ModuleHandle(), 0u);

  // Every operation that loads first reports it again.
  TMemberInfo info{};
  std::string output;
  const std::vector<std::function<void()>> loadingFirst = {
      [&] { lha->Command(nullptr, "a.lzh", "x", output); },
      [&] { lha->PackCommand(nullptr, "a.lzh", "u", output); },
      [&] { lha->CheckArchive("a.lzh", 16); },
      [&] { lha->CloseArchive(nullptr); },
      [&] { lha->FindFirst(nullptr, "*", info); },
      [&] { lha->OpenArchive(nullptr, "a.lzh", 0x800002); },
      [&] { lha->GetArchiveType("a.lzh"); },
      [&] { lha->SetEnumMembersProc64(nullptr, arcapi::kEnumMemberInfo64Size); },
      [&] { lha->ClearEnumMembersProc64(); },
  };
  for (std::size_t i = 0; i < loadingFirst.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_THROW(loadingFirst[i](), archive::ENoArchiverDLL);
  }

  std::filesystem::copy_file(Module("full"), dir.Path(LibraryFile("UNLHA32.DLL")));
  session.SetScript(Script().Result("GetArchiveType", {7}));
  EXPECT_EQ(lha->GetArchiveType("a.lzh"), 7);
  EXPECT_NE(lha->ModuleHandle(), 0u);
  EXPECT_EQ(session.CallsTo("UnlhaGetArchiveType").size(), 1u);
}

TEST_F(ArchiverDll, OperationsThatDoNotLoadLeaveAnUnloadedLibraryAlone) {
  const Session session("full");
  const auto lha = MakeLha();
  std::uint64_t value = 0;
  EXPECT_EQ(lha->SetOwnerWindowEx(nullptr, nullptr), 0);
  EXPECT_EQ(lha->KillOwnerWindowEx(nullptr), 0);
  EXPECT_EQ(lha->GetWriteTimeEx(nullptr, value), 0);
  EXPECT_EQ(lha->GetOriginalSizeEx(nullptr, value), 0);
  EXPECT_EQ(lha->ModuleHandle(), 0u);
  // A required entry of an unloaded library is looked for in the program.
  TMemberInfo info{};
  try {
    lha->FindNext(nullptr, info);
    ADD_FAILURE() << "FindNext called into nothing";
  } catch (const archive::EEntryNotFound& e) {
    EXPECT_NE(e.Message().find("UnlhaFindNext"), std::string::npos);
  }
  EXPECT_TRUE(session.Calls().empty());
}

// --- entries ---

TEST_F(ArchiverDll, MissingRequiredEntryNamesTheModuleAndTheEntry) {
  const struct {
    const char* variant;
    const char* entry;
    std::function<void(TArchiverDll&)> call;
  } cases[] = {
      {"no-type", "UnlhaGetArchiveType", [](TArchiverDll& dll) { dll.GetArchiveType("a.lzh"); }},
      {"no-open", "UnlhaOpenArchive",
       [](TArchiverDll& dll) { dll.OpenArchive(nullptr, "a.lzh", 0); }},
      {"no-command", "Unlha",
       [](TArchiverDll& dll) {
         std::string output;
         dll.Command(nullptr, "a.lzh", "x", output);
       }},
      {"no-command", "Unlha",
       [](TArchiverDll& dll) {
         std::string output;
         dll.PackCommand(nullptr, "a.lzh", "u", output);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    const Session session(c.variant);
    const auto lha = MakeLha();
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        c.call(*lha);
        ADD_FAILURE() << "no failure";
      } catch (const archive::EEntryNotFound& e) {
        EXPECT_EQ(e.Message(), EntryNotFound(Module(c.variant), c.entry));
      }
    }
    EXPECT_TRUE(session.Calls().empty());
    // The other entries are served.
    EXPECT_EQ(lha->CheckArchive("a.lzh", 16), 1);
  }
}

TEST_F(ArchiverDll, MissingOptionalEntriesAnswerZero) {
  {
    const Session session("no-owner");
    const auto lha = MakeLha();
    lha->Load();
    EXPECT_EQ(lha->SetOwnerWindowEx(nullptr, nullptr), 0);
    EXPECT_EQ(lha->Entries().SetOwnerWindowEx, nullptr);
    EXPECT_EQ(lha->KillOwnerWindowEx(nullptr), 1);
    EXPECT_EQ(session.Calls().size(), 1u);
  }
  {
    const Session session("no-enum");
    const auto lha = MakeLha();
    EXPECT_EQ(lha->SetEnumMembersProc64(nullptr, arcapi::kEnumMemberInfo64Size), 0);
    EXPECT_EQ(lha->ClearEnumMembersProc64(), 0);
    EXPECT_TRUE(session.Calls().empty());
  }
}

TEST_F(ArchiverDll, EntryIsKeptUntilUnload) {
  const Session session("full");
  const auto lha = MakeLha();
  lha->GetArchiveType("a.lzh");
  const arcapi::TGetArchiveTypeEntry bound = lha->Entries().GetArchiveType;
  {
    const platform::Library same = platform::LoadLibrary("UNLHA32.DLL");
    EXPECT_EQ(reinterpret_cast<void*>(bound), same.GetProcAddress("UnlhaGetArchiveType"));
  }
  lha->GetArchiveType("b.lzh");
  EXPECT_EQ(lha->Entries().GetArchiveType, bound);
  EXPECT_EQ(session.CallsTo("UnlhaGetArchiveType").size(), 2u);

  lha->Unload();
  EXPECT_EQ(lha->ModuleHandle(), 0u);
  const archive::TArchiverEntries& e = lha->Entries();
  const void* const slots[] = {reinterpret_cast<void*>(e.Command),
                               reinterpret_cast<void*>(e.OpenArchive),
                               reinterpret_cast<void*>(e.CloseArchive),
                               reinterpret_cast<void*>(e.FindFirst),
                               reinterpret_cast<void*>(e.FindNext),
                               reinterpret_cast<void*>(e.ExtractMem),
                               reinterpret_cast<void*>(e.CheckArchive),
                               reinterpret_cast<void*>(e.SetOwnerWindowEx),
                               reinterpret_cast<void*>(e.KillOwnerWindowEx),
                               reinterpret_cast<void*>(e.GetWriteTimeEx),
                               reinterpret_cast<void*>(e.GetCreateTimeEx),
                               reinterpret_cast<void*>(e.GetAccessTimeEx),
                               reinterpret_cast<void*>(e.GetOriginalSizeEx),
                               reinterpret_cast<void*>(e.GetCompressedSizeEx),
                               reinterpret_cast<void*>(e.GetArchiveType),
                               reinterpret_cast<void*>(e.SetEnumMembersProc64),
                               reinterpret_cast<void*>(e.ClearEnumMembersProc64)};
  for (const void* slot : slots) {
    EXPECT_EQ(slot, nullptr);
  }

  // After Unload the entry is looked up afresh, in whatever is loaded next.
  const Session other("no-type");
  try {
    lha->GetArchiveType("a.lzh");
    ADD_FAILURE() << "an entry outlived its library";
  } catch (const archive::EEntryNotFound& error) {
    EXPECT_EQ(error.Message(), EntryNotFound(Module("no-type"), "UnlhaGetArchiveType"));
  }
}

TEST_F(ArchiverDll, CommandPassesTheCallersBufferOrNull) {
  const Session session("full");
  session.SetScript(Script().Output("3 files extracted").Result("Command", {0x8019}));
  const auto lha = MakeLha();

  std::string none;
  EXPECT_EQ(lha->Command(nullptr, "a.lzh", "x -+ \"a.lzh\"", none), 0x8019);
  EXPECT_TRUE(none.empty());

  std::string output(32, '#');
  const char* storage = output.data();
  EXPECT_EQ(lha->PackCommand(nullptr, "a.lzh", "u -+ \"a.lzh\"", output), 0x8019);
  EXPECT_EQ(output.data(), storage);
  EXPECT_EQ(output.size(), 32u);
  EXPECT_STREQ(output.c_str(), "3 files extracted");

  std::string small(4, '#');
  lha->Command(nullptr, "a.lzh", "l", small);
  EXPECT_EQ(small, std::string("3 f\0", 4));

  const auto calls = session.CallsTo("Unlha");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Arg("line"), "x -+ \"a.lzh\"");
  EXPECT_EQ(calls[0].Arg("output"), "null");
  EXPECT_EQ(calls[0].Arg("size"), "0");
  EXPECT_EQ(calls[1].Arg("line"), "u -+ \"a.lzh\"");
  EXPECT_EQ(calls[1].Arg("output"), "set");
  EXPECT_EQ(calls[1].Arg("size"), "32");
  EXPECT_EQ(calls[2].Arg("size"), "4");
}

TEST_F(ArchiverDll, ArgumentsAndResultsPassUnchanged) {
  const Session session("full");
  session.SetScript(Script()
                        .Result("OpenArchive", {77})
                        .Result("CloseArchive", {0x8021})
                        .Result("CheckArchive", {0})
                        .Extract("member data"));
  const auto lha = MakeLha();
  auto* const window = reinterpret_cast<arcapi::TWindowHandle>(std::uintptr_t{4660});

  const arcapi::TArchiveHandle archive = lha->OpenArchive(window, "/tmp/a.lzh", 0x800002);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(archive), 77u);
  EXPECT_EQ(lha->CloseArchive(archive), 0x8021);
  EXPECT_EQ(lha->CheckArchive("/tmp/a.lzh", 16), 0);
  std::uint8_t buffer[6] = {};
  std::uint32_t written = 0;
  EXPECT_EQ(
      lha->ExtractMem(window, " \"m.txt\"", buffer, sizeof buffer, nullptr, nullptr, &written), 0);
  EXPECT_EQ(written, 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 6), "member");
  EXPECT_EQ(lha->SetOwnerWindowEx(window, nullptr), 1);

  const auto calls = session.Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0].Entry, "UnlhaOpenArchive");
  EXPECT_EQ(calls[0].Arg("window"), "4660");
  EXPECT_EQ(calls[0].Arg("file"), "/tmp/a.lzh");
  EXPECT_EQ(calls[0].Arg("mode"), std::to_string(0x800002));
  EXPECT_EQ(calls[1].Arg("handle"), "77");
  EXPECT_EQ(calls[2].Arg("mode"), "16");
  EXPECT_EQ(calls[3].Entry, "UnlhaExtractMem");
  EXPECT_EQ(calls[3].Arg("line"), " \"m.txt\"");
  EXPECT_EQ(calls[3].Arg("size"), "6");
  EXPECT_EQ(calls[3].Arg("time"), "null");
  EXPECT_EQ(calls[3].Arg("attribute"), "null");
  EXPECT_EQ(calls[3].Arg("written"), "set");
  EXPECT_EQ(calls[4].Entry, "UnlhaSetOwnerWindowEx");
  EXPECT_EQ(calls[4].Arg("callback"), "null");
}

int enumerated = 0;
int ARCAPI TakeTwoMembers(arcapi::TEnumMemberInfo64* /*info*/) {
  return ++enumerated < 2 ? 1 : 0;
}

TEST_F(ArchiverDll, EnumerationCallbackReachesTheLibrary) {
  const Session session("full");
  session.SetScript(Script()
                        .Member(RecordedMember("a", 1, 1, kDate, kTime))
                        .Member(RecordedMember("b", 1, 1, kDate, kTime))
                        .Member(RecordedMember("c", 1, 1, kDate, kTime)));
  const auto lha = MakeLha();
  enumerated = 0;
  EXPECT_EQ(lha->SetEnumMembersProc64(TakeTwoMembers, arcapi::kEnumMemberInfo64Size), 1);
  std::string output;
  lha->Command(nullptr, "a.lzh", "l", output);
  EXPECT_EQ(enumerated, 2);
  EXPECT_EQ(lha->ClearEnumMembersProc64(), 1);
  lha->Command(nullptr, "a.lzh", "l", output);
  EXPECT_EQ(enumerated, 2);

  const auto calls = session.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].Entry, "UnlhaSetEnumMembersProc64");
  EXPECT_EQ(calls[0].Arg("callback"), "set");
  EXPECT_EQ(calls[0].Arg("size"), "1094");
  EXPECT_EQ(calls[1].Arg("enumerated"), "2");
  EXPECT_EQ(calls[2].Entry, "UnlhaClearEnumMembersProc64");
}

// --- member records ---

TEST_F(ArchiverDll, SixtyFourBitEntriesCompleteTheRecord) {
  const Session session("full");
  RecordedMember first("a.txt", 100, 40, kDate, kTime);
  first.WriteTime = 111;
  first.AccessTime = 222;
  first.CreateTime = 333;
  first.Size64 = 5'000'000'000;
  first.Packed64 = 4'000'000'000;
  // Delivers only the write time and the original size.
  RecordedMember second("b.txt", 7, 3, kDate, kTime);
  second.WriteTime = 444;
  second.Size64 = 6'000'000'000;
  session.SetScript(Script().Member(first).Member(second));
  const auto lha = MakeLha();

  TMemberInfo info = StaleRecord();
  ASSERT_EQ(lha->FindFirst(nullptr, "*.*", info), 0);
  EXPECT_STREQ(info.Dll.FileName, "a.txt");
  EXPECT_EQ(std::uint64_t{info.LastWriteTime}, 111u);
  EXPECT_EQ(std::uint64_t{info.LastAccessTime}, 222u);
  EXPECT_EQ(std::uint64_t{info.CreationTime}, 333u);
  EXPECT_EQ(std::uint64_t{info.OriginalSize64}, 5'000'000'000u);
  EXPECT_EQ(std::uint64_t{info.CompressedSize64}, 4'000'000'000u);

  ASSERT_EQ(lha->FindNext(nullptr, info), 0);
  EXPECT_STREQ(info.Dll.FileName, "b.txt");
  EXPECT_EQ(std::uint64_t{info.LastWriteTime}, 444u);
  EXPECT_EQ(std::uint64_t{info.LastAccessTime}, kFileTimeUtc);
  EXPECT_EQ(std::uint64_t{info.CreationTime}, kFileTimeUtc);
  EXPECT_EQ(std::uint64_t{info.OriginalSize64}, 6'000'000'000u);
  EXPECT_EQ(std::uint64_t{info.CompressedSize64}, 3u);

  EXPECT_EQ(lha->FindNext(nullptr, info), arcapi::kFindEnd);
}

TEST_F(ArchiverDll, WithoutTimeEntriesTheDosTimeAndSmallSizesAreUsed) {
  const struct {
    const char* name;
    std::uint16_t date;
    std::uint16_t time;
    std::uint64_t expected;
  } cases[] = {
      {"dated", kDate, kTime, kFileTimeUtc},
      {"undated", 0, 0, 0},
      {"month zero", Dos(2024, 0, 1), kTime, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Session session("no-time");
    RecordedMember member("m", 0xFFFFFFF0, 17, c.date, c.time);
    member.WriteTime = 1;  // never asked for: the entries are missing
    session.SetScript(Script().Member(member));
    const auto lha = MakeLha();
    TMemberInfo info = StaleRecord();
    ASSERT_EQ(lha->FindFirst(nullptr, "*", info), 0);
    EXPECT_EQ(std::uint64_t{info.LastWriteTime}, c.expected);
    EXPECT_EQ(std::uint64_t{info.LastAccessTime}, c.expected);
    EXPECT_EQ(std::uint64_t{info.CreationTime}, c.expected);
    EXPECT_EQ(std::uint64_t{info.OriginalSize64}, 0xFFFFFFF0u);
    EXPECT_EQ(std::uint64_t{info.CompressedSize64}, 17u);
    EXPECT_EQ(session.Calls().size(), 1u);
  }
}

TEST_F(ArchiverDll, FailedSearchLeavesTheRecordToTheLibrary) {
  const Session session("full");
  session.SetScript(
      Script().Member(RecordedMember("a", 1, 1, kDate, kTime)).Result("FindFirst", {0x800A, 0}));
  const auto lha = MakeLha();
  TMemberInfo info = StaleRecord();
  EXPECT_EQ(lha->FindFirst(nullptr, "*", info), 0x800A);
  EXPECT_EQ(std::uint64_t{info.LastWriteTime}, 0xA5A5A5A5A5A5A5A5u);
  EXPECT_EQ(session.Calls().size(), 1u);
  EXPECT_EQ(lha->FindFirst(nullptr, "*", info), 0);
  EXPECT_EQ(std::uint64_t{info.LastWriteTime}, kFileTimeUtc);
}

// --- DOS times ---

TEST(DosTimeToFileTime, ConvertsLocalTimeToUtc) {
  const struct {
    const char* zone;
    std::uint16_t date;
    std::uint16_t time;
    std::uint64_t expected;
  } cases[] = {
      {"UTC0", kDate, kTime, kFileTimeUtc},
      {"JST-9", kDate, kTime, kFileTimeUtc - 9 * kHour},
      {"UTC0", Dos(1980, 1, 1), 0, 119600064000000000},
      {"UTC0", Dos(2024, 2, 29), DosClock(23, 59, 58), 133537247980000000},
      // Daylight saving time counts at the member's own date.
      {"CET-1CEST,M3.5.0,M10.5.0/3", Dos(2024, 7, 1), DosClock(12, 0, 0),
       133643088000000000 - 2 * kHour},
      {"CET-1CEST,M3.5.0,M10.5.0/3", Dos(2024, 1, 15), DosClock(12, 0, 0),
       133497936000000000 - 1 * kHour},
      {"JST-9", 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.zone) + " " + std::to_string(c.date) + " " + std::to_string(c.time));
    const ScopedEnv zone("TZ", c.zone);
    std::uint64_t fileTime = 1;
    EXPECT_TRUE(archive::DosTimeToFileTime(c.date, c.time, fileTime));
    EXPECT_EQ(fileTime, c.expected);
  }
}

TEST(DosTimeToFileTime, InvalidValuesFailWithZero) {
  const ScopedEnv zone("TZ", "UTC0");
  const struct {
    const char* what;
    std::uint16_t date;
    std::uint16_t time;
  } cases[] = {
      {"month 0", Dos(2024, 0, 10), kTime},      {"month 13", Dos(2024, 13, 10), kTime},
      {"day 0", Dos(2024, 3, 0), kTime},         {"29 February 2023", Dos(2023, 2, 29), kTime},
      {"31 April", Dos(2024, 4, 31), kTime},     {"hour 24", kDate, DosClock(24, 0, 0)},
      {"minute 60", kDate, DosClock(12, 60, 0)}, {"second 60", kDate, DosClock(12, 0, 60)},
      {"time without a date", 0, kTime},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint64_t fileTime = 5;
    EXPECT_FALSE(archive::DosTimeToFileTime(c.date, c.time, fileTime));
    EXPECT_EQ(fileTime, 0u);
  }
}

TEST(LocalFileTimeToFileTime, RefusesTimesBefore1601) {
  const ScopedEnv zone("TZ", "JST-9");
  std::uint64_t fileTime = 5;
  EXPECT_FALSE(platform::LocalFileTimeToFileTime(kHour, fileTime));
  EXPECT_EQ(fileTime, 5u);
  EXPECT_TRUE(platform::LocalFileTimeToFileTime(9 * kHour, fileTime));
  EXPECT_EQ(fileTime, 0u);
}

}  // namespace
