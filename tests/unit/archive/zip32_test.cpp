#include "archive/formats/zip32.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "archive_recorder/recorder_client.h"
#include "platform/fs.h"
#include "rtl/codepage.h"
#include "rtl/exceptions.h"
#include "support/scoped.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiverOptions;
using archive::TZip32;
using archive::TZipDll;
using recorder_test::LibraryFile;
using recorder_test::RecordedCall;
using recorder_test::Script;
using recorder_test::Session;
using recorder_test::VariantDir;
using testing_support::NativeName;
using testing_support::ScopedCurrentDir;

const std::string kUnzip = LibraryFile("UNZIP32.DLL");
const std::string kZip = LibraryFile("ZIP32J.DLL");
const std::string kLmzip = LibraryFile("LMZIP32.DLL");

// A library directory of the test's own, holding copies of chosen
// libraries from the recorder's variants.
class LibraryDir {
 public:
  LibraryDir() = default;
  LibraryDir(std::initializer_list<std::pair<std::string, std::string>> variantAndLibrary) {
    for (const auto& [variant, library] : variantAndLibrary) {
      std::filesystem::copy_file(VariantDir(variant) + library, dir_.Path(library));
    }
  }
  void Offer(const std::string& variant, const std::string& library) const {
    std::filesystem::copy_file(VariantDir(variant) + library, dir_.Path(library));
  }
  std::string Dir() const { return dir_.Dir(); }

 private:
  testing_support::TempDir dir_;
};

std::string Message(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const rtl::Exception& e) {
    return std::string(e.ClassName()) + ": " + e.Message();
  }
  return "no exception";
}

constexpr const char* kNoExtractor =
    "EArchiver: ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。";
constexpr const char* kNoCreator =
    "EArchiver: ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。";

// Each test starts without a binding, so the one it makes sees its own session.
class Zip32 : public ::testing::Test {
 protected:
  Zip32() { TZip32::FreeDLL(); }
  ~Zip32() override { TZip32::FreeDLL(); }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
};

// --- the binding ---

TEST_F(Zip32, EachOperationTakesItsEntryFromTheFirstLibraryInItsOrder) {
  struct Operation {
    const char* name;
    // The entry as the operation names it, and where it is looked for, in
    // order, under the name each library exports.
    std::string entry;
    std::vector<std::pair<std::string, std::string>> order;
    bool required;
    std::function<int(TZipDll&)> call;
  };
  std::string output;
  archive::TMemberInfo info{};
  std::uint64_t value = 0;
  std::uint8_t buffer[8] = {};
  const auto handle = reinterpret_cast<archive::TArchiveHandle>(std::uintptr_t{1});
  const auto search = [](const std::string& suffix) {
    return std::vector<std::pair<std::string, std::string>>{
        {kLmzip, "Unzip" + suffix}, {kZip, "UnZip" + suffix}, {kUnzip, "UnZip" + suffix}};
  };
  const auto check = [](const std::string& suffix) {
    return std::vector<std::pair<std::string, std::string>>{
        {kUnzip, "UnZip" + suffix}, {kLmzip, "Unzip" + suffix}, {kZip, "UnZip" + suffix}};
  };
  const std::vector<Operation> operations = {
      {"Command",
       "UnZip",
       {{kUnzip, "UnZip"}, {kLmzip, "Unzip"}},
       true,
       [&](TZipDll& dll) { return dll.Command(nullptr, "a.zip", "-x", output); }},
      {"PackCommand",
       "Zip",
       {{kZip, "Zip"}, {kLmzip, "Zip"}},
       true,
       [&](TZipDll& dll) { return dll.PackCommand(nullptr, "a.zip", "-d", output); }},
      {"OpenArchive", "UnZipOpenArchive", search("OpenArchive"), true,
       [&](TZipDll& dll) { return dll.OpenArchive(nullptr, "a.zip", 0) != nullptr ? 1 : 0; }},
      {"CloseArchive", "UnZipCloseArchive", search("CloseArchive"), true,
       [&](TZipDll& dll) { return dll.CloseArchive(handle); }},
      {"FindFirst", "UnZipFindFirst", search("FindFirst"), true,
       [&](TZipDll& dll) { return dll.FindFirst(handle, "*", info); }},
      {"FindNext", "UnZipFindNext", search("FindNext"), true,
       [&](TZipDll& dll) { return dll.FindNext(handle, info); }},
      {"GetWriteTimeEx",
       "UnzipGetWriteTimeEx",
       {{kLmzip, "UnzipGetWriteTimeEx"},
        {kZip, "UnzipGetWriteTimeEx"},
        {kUnzip, "UnzipGetWriteTimeEx"}},
       false,
       [&](TZipDll& dll) { return dll.GetWriteTimeEx(handle, value); }},
      {"GetCreateTimeEx", "UnZipGetCreateTimeEx", search("GetCreateTimeEx"), false,
       [&](TZipDll& dll) { return dll.GetCreateTimeEx(handle, value); }},
      {"GetAccessTimeEx", "UnZipGetAccessTimeEx", search("GetAccessTimeEx"), false,
       [&](TZipDll& dll) { return dll.GetAccessTimeEx(handle, value); }},
      {"CheckArchive", "UnZipCheckArchive", check("CheckArchive"), true,
       [&](TZipDll& dll) { return dll.CheckArchive("a.zip", 24); }},
      {"ExtractMem", "UnZipExtractMem", check("ExtractMem"), true,
       [&](TZipDll& dll) {
         return dll.ExtractMem(nullptr, " \"a.zip\" \"m\"", buffer, sizeof buffer, nullptr, nullptr,
                               nullptr);
       }},
      {"SetOwnerWindowEx",
       "UnZipSetOwnerWindowEx",
       {{kUnzip, "UnZipSetOwnerWindowEx"}},
       true,
       [&](TZipDll& dll) { return dll.SetOwnerWindowEx(nullptr, nullptr); }},
      {"KillOwnerWindowEx",
       "UnZipKillOwnerWindowEx",
       {{kUnzip, "UnZipKillOwnerWindowEx"}},
       true,
       [&](TZipDll& dll) { return dll.KillOwnerWindowEx(nullptr); }},
  };
  const std::vector<std::string> all = {kUnzip, kZip, kLmzip};
  for (unsigned subset = 0; subset < 8; ++subset) {
    const LibraryDir dir;
    std::vector<std::string> present;
    for (unsigned bit = 0; bit < 3; ++bit) {
      if ((subset & (1u << bit)) != 0) {
        dir.Offer("full", all[bit]);
        present.push_back(all[bit]);
      }
    }
    const Session session(std::vector{dir.Dir()});
    TZip32::FreeDLL();
    TZip32::LoadDLL();
    TZipDll& dll = *TZip32::ZipDll();
    for (const Operation& operation : operations) {
      std::string trace = std::string(operation.name) + " with";
      for (const std::string& library : present) {
        trace += " " + library;
      }
      SCOPED_TRACE(trace);
      const std::pair<std::string, std::string>* expected = nullptr;
      for (const auto& candidate : operation.order) {
        if (std::find(present.begin(), present.end(), candidate.first) != present.end()) {
          expected = &candidate;
          break;
        }
      }
      const std::size_t before = session.Calls().size();
      if (expected != nullptr) {
        operation.call(dll);
        const std::vector<RecordedCall> calls = session.Calls();
        ASSERT_EQ(calls.size(), before + 1);
        EXPECT_EQ(calls.back().Library, expected->first);
        EXPECT_EQ(calls.back().Entry, expected->second);
      } else if (!operation.required) {
        EXPECT_EQ(operation.call(dll), 0);
        EXPECT_EQ(session.Calls().size(), before);
      } else if (operation.order.size() == 1) {
        // Bound the single-library way: the message names the module, here
        // the program itself because UNZIP32.DLL is not loaded.
        EXPECT_EQ(Message([&] { operation.call(dll); }),
                  "EEntryNotFound: " + platform::GetModuleFileName() + " に " + operation.entry +
                      " のエントリが見つかりません。");
      } else {
        // The name as the operation spells it, not as LMZIP32.DLL does.
        EXPECT_EQ(
            Message([&] { operation.call(dll); }),
            "EEntryNotFound: " + operation.entry + " のエントリが DLL に見つかりませんでした。");
        EXPECT_EQ(session.Calls().size(), before);
      }
    }
  }
}

TEST_F(Zip32, LibraryWithoutTheEntryIsPassedOver) {
  const LibraryDir dir({{"no-open", kZip}, {"full", kUnzip}, {"no-command", kLmzip}});
  const Session session(std::vector{dir.Dir()});
  TZip32::LoadDLL();
  TZipDll& dll = *TZip32::ZipDll();
  EXPECT_NE(dll.OpenArchive(nullptr, "a.zip", 0), nullptr);
  std::string output;
  dll.PackCommand(nullptr, "a.zip", "-d", output);
  const std::vector<RecordedCall> calls = session.Calls();
  ASSERT_EQ(calls.size(), 2u);
  // LMZIP32.DLL comes first for opening; it has the entry here.
  EXPECT_EQ(calls[0].Library, kLmzip);
  EXPECT_EQ(calls[0].Entry, "UnzipOpenArchive");
  EXPECT_EQ(calls[1].Library, kZip);
  EXPECT_EQ(calls[1].Entry, "Zip");

  const LibraryDir withoutLmzip({{"no-open", kZip}, {"full", kUnzip}});
  const Session other(std::vector{withoutLmzip.Dir()});
  TZip32::FreeDLL();
  TZip32::LoadDLL();
  EXPECT_NE(TZip32::ZipDll()->OpenArchive(nullptr, "a.zip", 0), nullptr);
  ASSERT_EQ(other.Calls().size(), 1u);
  EXPECT_EQ(other.Calls()[0].Library, kUnzip);

  const LibraryDir lmzipPacks({{"no-command", kZip}, {"full", kLmzip}});
  const Session third(std::vector{lmzipPacks.Dir()});
  TZip32::FreeDLL();
  TZip32::LoadDLL();
  TZip32::ZipDll()->PackCommand(nullptr, "a.zip", "-d", output);
  ASSERT_EQ(third.Calls().size(), 1u);
  EXPECT_EQ(third.Calls()[0].Library, kLmzip);
  EXPECT_EQ(third.Calls()[0].Entry, "Zip");
}

TEST_F(Zip32, CommandEntriesHandTheOutputBufferThrough) {
  const Session session("full");
  session.SetScript(Script().Result("UnZip", {0x8019}).Output("unzipped"));
  TZip32::LoadDLL();
  TZipDll& dll = *TZip32::ZipDll();
  std::string output(16, '\0');
  EXPECT_EQ(dll.Command(nullptr, "a.zip", "-x line", output), 0x8019);
  EXPECT_EQ(output.c_str(), std::string("unzipped"));
  EXPECT_NE(dll.UnZipEntry(), nullptr);
  std::string none;
  EXPECT_EQ(dll.PackCommand(nullptr, "a.zip", "-d line", none), 0);
  EXPECT_NE(dll.ZipEntry(), nullptr);
  const auto unzip = session.CallsTo("UnZip");
  ASSERT_EQ(unzip.size(), 1u);
  EXPECT_EQ(unzip[0].Arg("line"), "-x line");
  EXPECT_EQ(unzip[0].Arg("size"), "16");
  const auto zip = session.CallsTo("Zip");
  ASSERT_EQ(zip.size(), 1u);
  EXPECT_EQ(zip[0].Arg("output"), "null");
  EXPECT_EQ(zip[0].Arg("size"), "0");
}

TEST_F(Zip32, LoadTakesWhatIsThereAndUnloadForgetsIt) {
  const LibraryDir dir({{"full", kUnzip}});
  const Session session(std::vector{dir.Dir()});
  TZip32 zip;
  TZipDll& dll = *TZip32::ZipDll();
  EXPECT_NE(dll.UnzipModule(), 0u);
  EXPECT_EQ(dll.ZipModule(), 0u);
  EXPECT_EQ(dll.LmzipModule(), 0u);
  TArchiverOptions options;
  // A library installed after the first load is not picked up by LoadDLL ...
  dir.Offer("full", kZip);
  TZip32 later;
  EXPECT_EQ(Message([&] { later.GetAddCommand(nullptr, "a.zip", options, "", {"f"}, false); }),
            kNoCreator);
  // ... but by the next Load of the binding.
  std::string output;
  dll.Command(nullptr, "a.zip", "-x", output);
  EXPECT_NE(dll.ZipModule(), 0u);
  EXPECT_NO_THROW(later.GetAddCommand(nullptr, "a.zip", options, "", {"f"}, false));

  dll.Unload();
  EXPECT_EQ(dll.UnzipModule(), 0u);
  EXPECT_EQ(dll.ZipModule(), 0u);
  EXPECT_EQ(dll.UnZipEntry(), nullptr);
  EXPECT_EQ(dll.ZipEntry(), nullptr);
  EXPECT_EQ(dll.Entries().CheckArchive, nullptr);
  // Operations that load first load again.
  EXPECT_EQ(dll.CheckArchive("a.zip", 24), 1);
  EXPECT_NE(dll.UnzipModule(), 0u);
}

TEST_F(Zip32, OnlyLmzipServesBothDirections) {
  const LibraryDir dir({{"full", kLmzip}});
  const Session session(std::vector{dir.Dir()});
  TZip32 zip;
  TArchiverOptions options;
  options.c = 1;
  options.x = 0;
  std::string commandLine;
  std::string output;
  zip.ExtractFiles(nullptr, "a.zip", options, NativeName("/dest"), FileItems{"-a"}, false,
                   commandLine, output);
  const std::string extract = NativeName("-x -o -j  \"a.zip\" \"/dest/\" \"[-]a\" ");
  EXPECT_EQ(commandLine, extract);
  // No directory and no path conversion for LMZIP32.DLL's own dialect.
  zip.AddFiles(nullptr, "a.zip", options, NativeName("/base"), FileItems{"-a", "d\\[1]"}, false,
               commandLine, output);
  EXPECT_EQ(commandLine, "-ru -o -j  \"a.zip\" \"-a\" \"d\\[1]\" ");
  EXPECT_NE(zip.OpenArchive(nullptr, "a.zip", 0), nullptr);
  const std::vector<RecordedCall> calls = session.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Entry, "Unzip");
  EXPECT_EQ(calls[0].Arg("line"), extract);
  EXPECT_EQ(calls[1].Entry, "Zip");
  EXPECT_EQ(calls[2].Entry, "UnzipOpenArchive");
  for (const RecordedCall& call : calls) {
    EXPECT_EQ(call.Library, kLmzip);
  }
}

TEST_F(Zip32, OnlyUnzipExtractsAndRefusesToCreate) {
  const LibraryDir dir({{"full", kUnzip}});
  const Session session(std::vector{dir.Dir()});
  TZip32 zip;
  TArchiverOptions options;
  std::string commandLine = "untouched";
  std::string output;
  EXPECT_EQ(Message([&] {
              zip.AddFiles(nullptr, "a.zip", options, "", FileItems{"f"}, false, commandLine,
                           output);
            }),
            kNoCreator);
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_TRUE(session.Calls().empty());
  // Deleting builds its line but finds no packing entry.
  EXPECT_EQ(Message([&] {
              zip.DeleteFiles(nullptr, "a.zip", options, "", FileItems{"f"}, false, commandLine,
                              output);
            }),
            "EEntryNotFound: Zip のエントリが DLL に見つかりませんでした。");
  try {
    zip.MakeSfx(nullptr, "a.zip", options, "", commandLine, output);
    ADD_FAILURE() << "self-extracting file without ZIP32J.DLL";
  } catch (const archive::ESfxNoRequiredFile& e) {
    EXPECT_EQ(e.ArchiveKind(), "zip");
    EXPECT_EQ(e.SfxKind(), "");
    EXPECT_EQ(e.RequiredFile(), "ZIP32J.DLL");
  }
  EXPECT_EQ(
      zip.ExtractFiles(nullptr, "a.zip", options, "", FileItems{"*"}, false, commandLine, output),
      0);
  ASSERT_EQ(session.CallsTo("UnZip").size(), 1u);
  EXPECT_EQ(session.Calls().size(), 1u);
}

TEST_F(Zip32, WithoutAnyLibraryConstructionSucceedsAndExtractionIsRefused) {
  const LibraryDir dir;
  const Session session(std::vector{dir.Dir()});
  TZip32 zip;
  EXPECT_EQ(TZip32::ZipDll()->UnzipModule(), 0u);
  TArchiverOptions options;
  std::string commandLine;
  std::string output;
  EXPECT_EQ(Message([&] {
              zip.ExtractFiles(nullptr, "a.zip", options, "", FileItems{"*"}, false, commandLine,
                               output);
            }),
            kNoExtractor);
  EXPECT_EQ(Message([&] { zip.GetExtractMemCommand(nullptr, "a.zip", options, "m"); }),
            "no exception");
  EXPECT_FALSE(archive::IsZipArchive("a.zip"));
}

// --- the command lines ---

TEST_F(Zip32, BuildersWriteTheirSwitchesInOrder) {
  const Session session("full");
  TZip32 zip;
  enum class Op { Extract, Add, Delete, Update, Mem };
  const struct {
    const char* name;
    Op op;
    std::function<void(TArchiverOptions&)> set;
    std::string expected;
  } cases[] = {
      {"zip, all unset", Op::Delete, [](TArchiverOptions&) {}, "-d -D  \"a.zip\" \"f\" "},
      {"zip, a=1", Op::Delete, [](TArchiverOptions& o) { o.a = 1; }, "-d -S -D  \"a.zip\" \"f\" "},
      {"zip, a=2", Op::Delete, [](TArchiverOptions& o) { o.a = 2; }, "-d -S  \"a.zip\" \"f\" "},
      {"zip, a=0", Op::Delete, [](TArchiverOptions& o) { o.a = 0; }, "-d -D  \"a.zip\" \"f\" "},
      {"zip, n=1", Op::Delete, [](TArchiverOptions& o) { o.n = 1; },
       "-d -D -q -o  \"a.zip\" \"f\" "},
      {"zip, every switch", Op::Update,
       [](TArchiverOptions& o) {
         o.a = 1;
         o.l = 1;
         o.n = 1;
         o.r = 1;
         o.u = 1;
         o.x = 0;
         o.jc = 1;
         o.ji = 1;
         o.jm = 9;
         o.gd = 1;
       },
       "-f -S -D -v -q -r -o -u -j -FF -k -9 -J  \"a.zip\" \"/base/\" \"f\" "},
      {"zip, switches at 0 and x at 1", Op::Update,
       [](TArchiverOptions& o) {
         o.l = 0;
         o.n = 0;
         o.r = 0;
         o.u = 0;
         o.x = 1;
         o.jc = 0;
         o.ji = 0;
         o.jm = 0;
         o.gd = 0;
       },
       "-f -D -0  \"a.zip\" \"/base/\" \"f\" "},
      {"zip add, no command word", Op::Add, [](TArchiverOptions& o) { o.jm = 6; },
       " -D -6  \"a.zip\" \"/base/\" \"f\" "},
      {"zip, user texts", Op::Delete,
       [](TArchiverOptions& o) {
         o.UserOptions = "-user";
         o.UserFileList = "-tail";
       },
       "-d -D -user \"a.zip\" \"f\" -tail"},
      {"unzip, all unset", Op::Extract, [](TArchiverOptions&) {},
       "-x  \"a.zip\" \"/dest/\" \"f\" "},
      {"unzip, c=1 n=1 x=0", Op::Extract,
       [](TArchiverOptions& o) {
         o.c = 1;
         o.n = 1;
         o.x = 0;
       },
       "-x -o --i -j  \"a.zip\" \"/dest/\" \"f\" "},
      {"unzip, c=2 n=0 x=1", Op::Extract,
       [](TArchiverOptions& o) {
         o.c = 2;
         o.n = 0;
         o.x = 1;
       },
       "-x  \"a.zip\" \"/dest/\" \"f\" "},
      {"memory, converted member", Op::Mem, [](TArchiverOptions& o) { o.c = 1; },
       " -o  \"a.zip\" \"dir/[[]1].txt\" "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TArchiverOptions options;
    c.set(options);
    // Directories are written with "/" and taken with the system's
    // delimiter; a member's name is in the archive's own form with "/".
    const std::string dest = NativeName("/dest");
    const std::string base = NativeName("/base");
    std::string line;
    std::string expected = NativeName(c.expected);
    switch (c.op) {
      case Op::Extract:
        line = zip.GetExtractCommand(nullptr, "a.zip", options, dest, FileItems{"f"}, false);
        break;
      case Op::Add:
        line = zip.GetAddCommand(nullptr, "a.zip", options, base, FileItems{"f"}, false);
        break;
      case Op::Delete:
        line = zip.GetDeleteCommand(nullptr, "a.zip", options, NativeName("/ignored"),
                                    FileItems{"f"}, false);
        break;
      case Op::Update:
        line = zip.GetUpdateCommand(nullptr, "a.zip", options, base, FileItems{"f"}, false);
        break;
      case Op::Mem:
        line = zip.GetExtractMemCommand(nullptr, "a.zip", options, "dir\\[1].txt");
        expected = c.expected;
        break;
    }
    EXPECT_EQ(line, expected);
  }
}

TEST_F(Zip32, OwnerWindowAsksUnzipForItsProgressSwitch) {
  const Session session("full");
  TZip32 zip;
  TArchiverOptions options;
  auto* window = reinterpret_cast<archive::TWindowHandle>(std::uintptr_t{0x4321});
  EXPECT_TRUE(zip.SetOwnerWindow(window, nullptr));
  EXPECT_EQ(zip.GetExtractCommand(nullptr, "a.zip", options, "", FileItems{"f"}, false),
            "-x --i  \"a.zip\" \"f\" ");
  // Packing has no such switch.
  EXPECT_EQ(zip.GetDeleteCommand(nullptr, "a.zip", options, "", FileItems{"f"}, false),
            "-d -D  \"a.zip\" \"f\" ");
  EXPECT_TRUE(zip.KillOwnerWindow(window));
  EXPECT_EQ(zip.GetExtractCommand(nullptr, "a.zip", options, "", FileItems{"f"}, false),
            "-x  \"a.zip\" \"f\" ");
  const auto set = session.CallsTo("UnZipSetOwnerWindowEx");
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0].Library, kUnzip);
  EXPECT_EQ(set[0].Arg("window"), std::to_string(0x4321));
  EXPECT_EQ(session.CallsTo("UnZipKillOwnerWindowEx").size(), 1u);
}

TEST_F(Zip32, ResponseFileFollowsTheTemplatesFlag) {
  const Session session("full");
  TZip32 zip;
  TArchiverOptions options;
  options.ResFileName = session.Dir().Path("names.rsp");
  // ruOnUpdate is not in the set, yet the flag decides.
  const std::string line =
      zip.GetUpdateCommand(nullptr, "a.zip", options, "", FileItems{"-a", "d\\x"}, true);
  EXPECT_EQ(line, "-f -D  \"a.zip\" \"@" + options.ResFileName + "\" ");
  EXPECT_EQ(testing_support::ReadFile(options.ResFileName), "\"[-]a\"\r\n\"d/x\"\r\n");
  // ruOnUnpack is in the set, yet without the flag the names go on the line.
  EXPECT_EQ(zip.GetExtractCommand(nullptr, "a.zip", options, "", FileItems{"one"}, false),
            "-x  \"a.zip\" \"one\" ");
  // Memory extraction never uses one.
  EXPECT_EQ(zip.GetExtractMemCommand(nullptr, "a.zip", options, "m"), "  \"a.zip\" \"m\" ");

  session.SetScript(Script().Extract("data"));
  std::uint8_t buffer[8] = {};
  std::uint32_t written = 0;
  std::string commandLine;
  zip.ExtractMem(nullptr, "a.zip", options, "m", buffer, sizeof buffer, &written, commandLine);
  const auto calls = session.CallsTo("UnZipExtractMem");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Library, kUnzip);
  EXPECT_EQ(calls[0].Arg("line"), "  \"a.zip\" \"m\" ");
}

TEST_F(Zip32, PathConverter) {
  const struct {
    unsigned codePage;
    std::string name;
    std::string expected;
  } cases[] = {
      {rtl::CP_UTF8_, "-a", "[-]a"},
      {rtl::CP_UTF8_, "dir\\[1].txt", "dir/[[]1].txt"},
      {rtl::CP_UTF8_, "plain name.txt", "plain name.txt"},
      {rtl::CP_UTF8_, "", ""},
      {rtl::CP_UTF8_, "a-b/c]", "a-b/c]"},
      {rtl::CP_UTF8_, "--x", "[-]-x"},
      {rtl::CP_UTF8_, "\\-a", "/-a"},
      {rtl::CP_UTF8_, "a\\b\\[[c", "a/b/[[][[]c"},
      // Without a double-byte code page the same bytes are single characters.
      {rtl::CP_UTF8_,
       "\x95\x5C"
       "a",
       "\x95/a"},
      // CP932 trail bytes 0x5C ("\") and 0x5B ("[") belong to their character.
      {rtl::CP_SHIFT_JIS,
       "\x95\x5C"
       "a",
       "\x95\x5C"
       "a"},
      {rtl::CP_SHIFT_JIS, "\x95\x5C\\[x", "\x95\x5C/[[]x"},
      {rtl::CP_SHIFT_JIS, "-\x81\x5B\x95\x5C", "[-]\x81\x5B\x95\x5C"},
      {rtl::CP_SHIFT_JIS, "d\\\x83\x5C\\f", "d/\x83\x5C/f"},
      {rtl::CP_SHIFT_JIS, "a\\b", "a/b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const rtl::ScopedAnsiCodePage codePage(c.codePage);
    EXPECT_EQ(archive::ZipPathConverter(c.name), c.expected);
  }
}

// --- self-extracting files ---

class Zip32Sfx : public Zip32 {
 protected:
  Zip32Sfx() {
    stubs_.Write("sfx16.dat", kDosStub);
    stubs_.Write("sfx32gui.dat", kWin32Stub);
  }

  static constexpr char kDosStubBytes[] = "MZ\x00\x01 dos stub\xff";
  static constexpr char kWin32StubBytes[] = "MZ\x90\x00 win32 gui stub\r\n";
  static constexpr char kArchiveBytes[] = "PK\x03\x04\x00\x00 members \x00\xff PK\x05\x06";
  const std::string kDosStub{kDosStubBytes, sizeof kDosStubBytes - 1};
  const std::string kWin32Stub{kWin32StubBytes, sizeof kWin32StubBytes - 1};
  const std::string kArchive{kArchiveBytes, sizeof kArchiveBytes - 1};

  testing_support::TempDir stubs_;
  testing_support::TempDir work_;
};

TEST_F(Zip32Sfx, StubThenArchiveByteForByte) {
  const Session session("full");
  const ScopedCurrentDir cwd(stubs_.Dir());
  TZip32 zip;
  const std::string archiveName = work_.Write("in/b.zip", kArchive);
  const std::string outDir = work_.MakeDir("out");
  const struct {
    const char* name;
    std::int8_t gw;
    std::string dir;
    std::string archive;
    std::string expectedPath;
    const std::string& stub;
  } cases[] = {
      {"DOS, unset gw, into a directory", -1, outDir, archiveName, work_.Path("out/b.EXE"),
       kDosStub},
      {"DOS, gw 0, directory with delimiter", 0, work_.Path("out/"), archiveName,
       work_.Path("out/b.EXE"), kDosStub},
      {"Win32 beside the archive", 1, "", archiveName, work_.Path("in/b.EXE"), kWin32Stub},
      {"name without extension", 2, "", work_.Write("in/noext", kArchive),
       work_.Path("in/noext.EXE"), kWin32Stub},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An existing, longer output is replaced, not overwritten in part.
    work_.Write(c.expectedPath.substr(work_.Dir().size()), std::string(200, 'x'));
    TArchiverOptions options;
    options.gw = c.gw;
    std::string commandLine;
    std::string output;
    EXPECT_EQ(zip.MakeSfx(nullptr, c.archive, options, c.dir, commandLine, output), 0);
    EXPECT_EQ(commandLine, "-A " + c.expectedPath);
    EXPECT_EQ(testing_support::ReadFile(c.expectedPath), c.stub + kArchive);
    EXPECT_EQ(testing_support::ReadFile(c.archive), kArchive);
    const auto calls = session.CallsTo("Zip");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().Library, kZip);
    EXPECT_EQ(calls.back().Arg("line"), commandLine);
  }
}

TEST_F(Zip32Sfx, ArchiveNamedLikeItsOutputIsRefusedUntouched) {
  const Session session("full");
  const ScopedCurrentDir cwd(stubs_.Dir());
  TZip32 zip;
  const std::string archiveName = work_.Write("b.EXE", kArchive);
  TArchiverOptions options;
  EXPECT_THROW(zip.GetSfxCommand(nullptr, archiveName, options, ""), rtl::EFCreateError);
  EXPECT_EQ(testing_support::ReadFile(archiveName), kArchive);
}

TEST_F(Zip32Sfx, MissingStubNamesItsKind) {
  const Session session("full");
  const ScopedCurrentDir cwd(work_.Dir());
  TZip32 zip;
  const std::string archiveName = work_.Write("b.zip", kArchive);
  const struct {
    std::int8_t gw;
    const char* sfxKind;
    const char* file;
  } cases[] = {{-1, "DOS", "sfx16.dat"}, {0, "DOS", "sfx16.dat"}, {1, "Win32", "sfx32gui.dat"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.gw);
    TArchiverOptions options;
    options.gw = c.gw;
    std::string commandLine = "untouched";
    std::string output;
    try {
      zip.MakeSfx(nullptr, archiveName, options, "", commandLine, output);
      ADD_FAILURE() << "built without its stub";
    } catch (const archive::ESfxNoRequiredFile& e) {
      EXPECT_EQ(e.ArchiveKind(), "zip");
      EXPECT_EQ(e.SfxKind(), c.sfxKind);
      EXPECT_EQ(e.RequiredFile(), c.file);
      EXPECT_EQ(e.Message(), std::string("zip 書庫からの") + c.sfxKind +
                                 "自己解凍書庫の作成には '" + c.file + "' ファイルが必要です。");
    }
    EXPECT_EQ(commandLine, "untouched");
  }
  EXPECT_FALSE(testing_support::Exists(work_.Path("b.EXE")));
  EXPECT_TRUE(session.Calls().empty());
}

TEST_F(Zip32Sfx, MissingArchiveCreatesNoOutput) {
  const Session session("full");
  const ScopedCurrentDir cwd(stubs_.Dir());
  TZip32 zip;
  TArchiverOptions options;
  const std::string missing = work_.Path("missing.zip");
  EXPECT_EQ(Message([&] { zip.GetSfxCommand(nullptr, missing, options, ""); }),
            "EFOpenError: Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_FALSE(testing_support::Exists(work_.Path("missing.EXE")));
  // An output that cannot be created is the runtime's creation error.
  const std::string archiveName = work_.Write("b.zip", kArchive);
  EXPECT_EQ(Message([&] {
              zip.GetSfxCommand(nullptr, archiveName, options, work_.Path("no/such/dir"));
            }).rfind("EFCreateError: Cannot create file \"" + work_.Path("no/such/dir/b.EXE"), 0),
            0u);
}

// --- the content check ---

TEST_F(Zip32, ContentCheckNeedsTheCheckAndAnOpenedHandle) {
  const Session session("full");
  testing_support::TempDir tmp;
  tmp.Write("text.txt", "text");
  tmp.Write("zel.zip", "PK");
  tmp.Write("broken.zip", "PK");
  const ScopedCurrentDir cwd(tmp.Dir());
  session.SetScript(
      Script().Result("UnZipCheckArchive", {0, 1, 1, 1}).Result("UnzipOpenArchive", {7, 0}));
  EXPECT_FALSE(archive::IsZipArchive("text.txt"));
  EXPECT_TRUE(archive::IsZipArchive("zel.zip"));
  EXPECT_FALSE(archive::IsZipArchive("broken.zip"));
  EXPECT_FALSE(archive::IsZipArchive("missing.zip"));

  const auto checks = session.CallsTo("UnZipCheckArchive");
  ASSERT_EQ(checks.size(), 4u);
  EXPECT_EQ(checks[0].Library, kUnzip);
  EXPECT_EQ(checks[0].Arg("file"), tmp.Dir() + "text.txt");
  EXPECT_EQ(checks[0].Arg("mode"), "24");
  // Neither the rejected nor the missing file is opened.
  const auto opens = session.CallsTo("UnzipOpenArchive");
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].Library, kLmzip);
  EXPECT_EQ(opens[0].Arg("file"), tmp.Dir() + "zel.zip");
  EXPECT_EQ(opens[0].Arg("mode"), std::to_string(0x800002));
  EXPECT_EQ(opens[0].Arg("window"), "0");
  EXPECT_EQ(opens[1].Arg("file"), tmp.Dir() + "broken.zip");
  // Only a handle that is not 0 is closed.
  const auto closes = session.CallsTo("UnzipCloseArchive");
  ASSERT_EQ(closes.size(), 1u);
  EXPECT_EQ(closes[0].Arg("handle"), "7");
}

TEST_F(Zip32, ContentCheckWithoutItsEntriesIsFalse) {
  testing_support::TempDir tmp;
  tmp.Write("a.zip", "PK");
  const ScopedCurrentDir cwd(tmp.Dir());
  {
    // ZIP32J.DLL alone, without its opening entry: checked, but never opened.
    const LibraryDir dir({{"no-open", kZip}});
    const Session session(std::vector{dir.Dir()});
    EXPECT_FALSE(archive::IsZipArchive("a.zip"));
    EXPECT_EQ(session.CallsTo("UnZipCheckArchive").size(), 1u);
  }
  TZip32::FreeDLL();
  {
    const LibraryDir dir({{"full", kZip}});
    const Session session(std::vector{dir.Dir()});
    EXPECT_TRUE(archive::IsZipArchive("a.zip"));
    EXPECT_EQ(session.CallsTo("UnZipOpenArchive").at(0).Library, kZip);
  }
}

// --- the archive file around packing ---

TEST_F(Zip32, PackingNeverRemovesAnArchiveWithMembers) {
  const std::string members = "PK\x03\x04 old members";
  testing_support::TempDir stubs;
  stubs.Write("sfx16.dat", "stub");
  const ScopedCurrentDir cwd(stubs.Dir());
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> libraries;
    std::function<void(TZip32&, const std::string&)> pack;
  } cases[] = {
      {"add through ZIP32J.DLL",
       {{"full", kZip}},
       [](TZip32& zip, const std::string& archiveName) {
         std::string commandLine;
         std::string output;
         zip.AddFiles(nullptr, archiveName, TArchiverOptions(), "", FileItems{"new"}, false,
                      commandLine, output);
       }},
      {"add through LMZIP32.DLL",
       {{"full", kLmzip}},
       [](TZip32& zip, const std::string& archiveName) {
         std::string commandLine;
         std::string output;
         zip.AddFiles(nullptr, archiveName, TArchiverOptions(), "", FileItems{"new"}, false,
                      commandLine, output);
       }},
      {"delete",
       {{"full", kZip}},
       [](TZip32& zip, const std::string& archiveName) {
         std::string commandLine;
         std::string output;
         zip.DeleteFiles(nullptr, archiveName, TArchiverOptions(), "", FileItems{"old"}, false,
                         commandLine, output);
       }},
      {"freshen",
       {{"full", kZip}},
       [](TZip32& zip, const std::string& archiveName) {
         std::string commandLine;
         std::string output;
         zip.UpdateFiles(nullptr, archiveName, TArchiverOptions(), "", FileItems{"old"}, false,
                         commandLine, output);
       }},
      {"self-extracting",
       {{"full", kZip}},
       [](TZip32& zip, const std::string& archiveName) {
         std::string commandLine;
         std::string output;
         zip.MakeSfx(nullptr, archiveName, TArchiverOptions(), "", commandLine, output);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const LibraryDir dir;
    for (const auto& [variant, library] : c.libraries) {
      dir.Offer(variant, library);
    }
    const Session session(std::vector{dir.Dir()});
    TZip32::FreeDLL();
    TZip32 zip;
    testing_support::TempDir tmp;
    const std::string archiveName = tmp.Write("a.zip", members);
    c.pack(zip, archiveName);
    EXPECT_EQ(session.CallsTo("Zip").size(), 1u);
    EXPECT_EQ(testing_support::ReadFile(archiveName), members);
  }
}

TEST_F(Zip32, AddingReplacesOnlyAnEmptyPlaceholder) {
  const Session session("full");
  TZip32 zip;
  testing_support::TempDir tmp;
  std::string commandLine;
  std::string output;
  // A placeholder such as a fresh temporary name: no members to lose.
  const std::string placeholder = tmp.Write("TMP1A.tmp", "");
  zip.AddFiles(nullptr, placeholder, TArchiverOptions(), "", FileItems{"f"}, false, commandLine,
               output);
  EXPECT_FALSE(testing_support::Exists(placeholder));
  EXPECT_EQ(session.CallsTo("Zip").size(), 1u);
  // Deleting from it leaves it to the library.
  const std::string kept = tmp.Write("kept.zip", "");
  zip.DeleteFiles(nullptr, kept, TArchiverOptions(), "", FileItems{"f"}, false, commandLine,
                  output);
  EXPECT_TRUE(testing_support::Exists(kept));
  // A directory of that name and a name with wildcards are not taken for it.
  const std::string directory = tmp.MakeDir("dir.zip");
  zip.AddFiles(nullptr, directory, TArchiverOptions(), "", FileItems{"f"}, false, commandLine,
               output);
  EXPECT_TRUE(std::filesystem::is_directory(directory));
  tmp.Write("star-empty", "");
  const std::string wild = tmp.Write("star*", "content");
  zip.AddFiles(nullptr, wild, TArchiverOptions(), "", FileItems{"f"}, false, commandLine, output);
  EXPECT_EQ(testing_support::ReadFile(wild), "content");
  EXPECT_TRUE(testing_support::Exists(tmp.Path("star-empty")));
}

}  // namespace
