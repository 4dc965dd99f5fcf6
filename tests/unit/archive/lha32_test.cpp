#include "archive/formats/lha32.h"

#include <gtest/gtest.h>

#include "archive/errors.h"
#include "archive_recorder/recorder_client.h"
#include "rtl/codepage.h"
#include "support/scoped.h"
#include "support/temp_dir.h"

namespace {

using archive::FileItems;
using archive::TArchiverOptions;
using archive::TLha32;
using recorder_test::Script;
using recorder_test::Session;
using testing_support::NativeName;

// Each test starts without a binding, so the one it makes sees its own session.
class Lha32 : public ::testing::Test {
 protected:
  Lha32() { TLha32::FreeDLL(); }
  ~Lha32() override { TLha32::FreeDLL(); }

  static TArchiverOptions& ExtractOptions(TArchiverOptions& options) {
    options.n = 1;
    options.y = 1;
    options.jse = 1;
    options.jso = 1;
    return options;
  }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
};

TEST_F(Lha32, ExtractLineOfTheUpdaterReachesTheLibraryAsBuilt) {
  const Session session("full");
  session.SetScript(Script().Result("Unlha", {0x8019}).Output("1 file(s) extracted"));
  TLha32 lha;
  TArchiverOptions options;
  ExtractOptions(options);
  std::string commandLine;
  std::string output(64, '\0');
  const int result =
      lha.ExtractFiles(nullptr, NativeName("/dl/zel152.lzh"), options, NativeName("/tmp/TMP1A.tmp"),
                       FileItems{"*.*"}, true, commandLine, output);
  EXPECT_EQ(result, 0x8019);  // handed back unjudged
  const std::string expected =
      NativeName("x -+ -n1 -y1 -jse1 -jso1  \"/dl/zel152.lzh\" \"/tmp/TMP1A.tmp/\" \"*.*\" ");
  EXPECT_EQ(commandLine, expected);
  EXPECT_EQ(output.c_str(), std::string("1 file(s) extracted"));
  const auto calls = session.CallsTo("Unlha");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Arg("line"), expected);
  EXPECT_EQ(calls[0].Arg("size"), "64");
}

TEST_F(Lha32, MissingOptionsStopTheBuildBeforeTheLibrary) {
  const Session session("full");
  TLha32 lha;
  TArchiverOptions options;
  options.jso = 0;
  std::string commandLine = "untouched";
  std::string output;
  try {
    lha.ExtractFiles(nullptr, "a.lzh", options, "d", FileItems{"*.*"}, false, commandLine, output);
    FAIL() << "no assertion for jse";
  } catch (const rtl::EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "jse オプションが設定されていません。 (LHA32, 234 行)");
  }
  options.jso = -1;
  try {
    lha.AddFiles(nullptr, "a.lzh", options, "d", FileItems{"x"}, false, commandLine, output);
    FAIL() << "no assertion for jso";
  } catch (const rtl::EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "jso オプションが設定されていません。 (LHA32, 240 行)");
  }
  // jse is asked for by extraction only.
  options.jso = 0;
  EXPECT_NO_THROW(lha.GetDeleteCommand(nullptr, "a.lzh", options, "", FileItems{"x"}, false));
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_TRUE(session.CallsTo("Unlha").empty());
}

TEST_F(Lha32, EverySwitchInItsFixedOrder) {
  const Session session("full");
  TLha32 lha;
  TArchiverOptions options;
  options.a = 0;
  options.m = 2;
  options.n = 3;
  options.u = 1;
  options.w = NativeName("/work");
  options.z = 1;
  options.jn = 9;
  options.jo = "o v";
  options.job = "b";
  options.jse = 1;
  options.jso = 2;
  options.jw = 4;
  options.jx.Add("*.bak");
  options.jx.Add("*.tmp");
  options.jyo = 1;
  options.jz = "comment";
  options.gp = 5;
  options.gr = "r";
  options.gyc = 6;
  options.gyd = "d";
  options.gye = "e";
  options.gys = 7;
  options.gyt = "t";
  options.gyw = "w";
  options.gyx = 8;
  options.UserOptions = "-user";
  options.UserFileList = "-tail";
  EXPECT_EQ(
      lha.GetUpdateCommand(nullptr, "z.lzh", options, NativeName("/base/"), FileItems{"a", "b"},
                           true),
      NativeName("f -+ -a0 -m2 -n3 -u1 \"-w/work/\" -z1 -jn9 \"-joo v\" \"-jobb\" -jse1 -jso2 -jw4"
                 " \"-jx*.bak\" \"-jx*.tmp\" -jyo1 \"-jzcomment\" -gp5 \"-grr\" -gyc6 \"-gydd\""
                 " \"-gyee\" -gys7 \"-gytt\" \"-gyww\" -gyx8 -user \"z.lzh\" \"/base/\" \"a\" \"b\""
                 " -tail"));
}

TEST_F(Lha32, OwnerWindowForcesNOne) {
  const Session session("full");
  TLha32 lha;
  TArchiverOptions options;
  options.n = 0;
  options.jso = 0;
  auto* window = reinterpret_cast<archive::TWindowHandle>(std::uintptr_t{0x1234});
  EXPECT_TRUE(lha.SetOwnerWindow(window, nullptr));
  EXPECT_TRUE(lha.HasOwnerWindow());
  EXPECT_EQ(lha.GetAddCommand(nullptr, "a.lzh", options, "", FileItems{"f"}, false),
            "u -+ -n1 -jso0  \"a.lzh\" \"f\" ");
  const auto calls = session.CallsTo("UnlhaSetOwnerWindowEx");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Arg("window"), std::to_string(0x1234));
  EXPECT_TRUE(lha.KillOwnerWindow(window));
  EXPECT_FALSE(lha.HasOwnerWindow());
  EXPECT_EQ(lha.GetAddCommand(nullptr, "a.lzh", options, "", FileItems{"f"}, false),
            "u -+ -n0 -jso0  \"a.lzh\" \"f\" ");
}

TEST_F(Lha32, ResponseFileFollowsTheOptionsNotTheFlag) {
  const Session session("full");
  TLha32 lha;
  TArchiverOptions options;
  ExtractOptions(options);
  options.ResFileName = session.Dir().Path("names.rsp");
  std::string line = lha.GetExtractCommand(nullptr, "a.lzh", options, NativeName("/d"),
                                           FileItems{"one", "two"}, false);
  EXPECT_EQ(line, NativeName("x -+ -n1 -y1 -jse1 -jso1  \"a.lzh\" \"/d/\" \"@") +
                      options.ResFileName + "\" ");
  EXPECT_EQ(testing_support::ReadFile(options.ResFileName), "\"one\"\r\n\"two\"\r\n");
  options.ResFileUsage.Exclude(archive::ruOnUnpack);
  line = lha.GetExtractCommand(nullptr, "a.lzh", options, NativeName("/d"), FileItems{"one"}, true);
  EXPECT_EQ(line, NativeName("x -+ -n1 -y1 -jse1 -jso1  \"a.lzh\" \"/d/\" \"one\" "));
  // Updating is not in the default set.
  line = lha.GetUpdateCommand(nullptr, "a.lzh", options, "", FileItems{"one"}, true);
  EXPECT_EQ(line, "f -+ -n1 -y1 -jse1 -jso1  \"a.lzh\" \"one\" ");
}

TEST_F(Lha32, DeleteSfxAndMemoryExtractionLines) {
  const Session session("full");
  session.SetScript(Script().Extract("member bytes"));
  TLha32 lha;
  TArchiverOptions options;
  options.jso = 0;
  EXPECT_EQ(
      lha.GetDeleteCommand(nullptr, "rel/a.lzh", options, "/ignored", FileItems{"x.txt"}, false),
      "d -+ -jso0  \"rel/a.lzh\" \"x.txt\" ");
  std::string commandLine;
  std::string output;
  EXPECT_EQ(lha.MakeSfx(nullptr, "a.lzh", options, NativeName("/out"), commandLine, output), 0);
  EXPECT_EQ(commandLine, NativeName("s -+ -jso0  \"a.lzh\" \"/out/\" "));
  EXPECT_EQ(session.CallsTo("Unlha").at(0).Arg("output"), "null");

  std::uint8_t buffer[32] = {};
  std::uint32_t written = 0;
  lha.ExtractMem(nullptr, "a.lzh", options, "doc/read me.txt", buffer, sizeof buffer, &written,
                 commandLine);
  EXPECT_EQ(commandLine, " -+ -jso0  \"a.lzh\" \"doc/read me.txt\" ");
  const auto calls = session.CallsTo("UnlhaExtractMem");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Arg("line"), commandLine);
  EXPECT_EQ(calls[0].Arg("time"), "null");
  EXPECT_EQ(calls[0].Arg("attribute"), "null");
  EXPECT_EQ(calls[0].Arg("written"), "set");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "member bytes");
}

TEST_F(Lha32, MissingLibraryFailsConstructionAndKeepsTheBinding) {
  testing_support::TempDir empty;
  const Session session(std::vector{empty.Dir()});
  try {
    TLha32 lha;
    FAIL() << "constructed without its library";
  } catch (const archive::ENoArchiverDLL& e) {
    EXPECT_EQ(e.Message(), "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
  }
  ASSERT_NE(TLha32::LhaDll(), nullptr);
  EXPECT_EQ(TLha32::LhaDll()->ModuleHandle(), 0u);
  // The stored binding makes later constructions succeed; loading operations fail again.
  TLha32 lha;
  EXPECT_THROW(lha.CheckArchive("a.lzh", 1, 2), archive::ENoArchiverDLL);
  EXPECT_FALSE(archive::IsLhaArchive("a.lzh"));
}

TEST_F(Lha32, ContentCheckAsksTheLibraryThenOpensAndCloses) {
  const Session session("full");
  testing_support::TempDir tmp;
  session.SetScript(
      Script().Result("UnlhaCheckArchive", {0, 1, 1}).Result("UnlhaOpenArchive", {7, 0}));
  {
    const testing_support::ScopedCurrentDir cwd(tmp.Dir());
    EXPECT_FALSE(archive::IsLhaArchive("text.txt"));
    EXPECT_TRUE(archive::IsLhaArchive("zel.lzh"));
    EXPECT_FALSE(archive::IsLhaArchive("broken.lzh"));
  }

  const auto checks = session.CallsTo("UnlhaCheckArchive");
  ASSERT_EQ(checks.size(), 3u);
  EXPECT_EQ(checks[0].Arg("file"), tmp.Dir() + "text.txt");
  EXPECT_EQ(checks[0].Arg("mode"), "16");
  const auto opens = session.CallsTo("UnlhaOpenArchive");
  ASSERT_EQ(opens.size(), 2u);
  EXPECT_EQ(opens[0].Arg("file"), tmp.Dir() + "zel.lzh");
  EXPECT_EQ(opens[0].Arg("mode"), std::to_string(0x800002));
  EXPECT_EQ(opens[0].Arg("window"), "0");
  // The handle is closed in both cases, also when it is 0.
  const auto closes = session.CallsTo("UnlhaCloseArchive");
  ASSERT_EQ(closes.size(), 2u);
  EXPECT_EQ(closes[0].Arg("handle"), "7");
  EXPECT_EQ(closes[1].Arg("handle"), "0");
}

TEST_F(Lha32, ContentCheckWithoutItsEntryIsFalse) {
  const Session session("no-open");
  EXPECT_FALSE(archive::IsLhaArchive("zel.lzh"));
}

// A format that only extracts, to show the base's refusals.
class ExtractOnly : public archive::TArchiver {
 public:
  ExtractOnly() { EnsureDLL(); }
  archive::TCustomArchiverDll& ArchiverDll() const override { return *TLha32::LhaDll(); }
  void EnsureDLL() override { TLha32::LoadDLL(); }
  std::string GetExtractCommand(archive::TWindowHandle, const std::string&, const TArchiverOptions&,
                                const std::string&, const FileItems&, bool) override {
    return "x";
  }
};

TEST_F(Lha32, UnsupportedOperationsAreRefusedBeforeTheLibrary) {
  const Session session("full");
  ExtractOnly archiver;
  TArchiverOptions options;
  std::string commandLine = "untouched";
  std::string output;
  const FileItems files{"a"};
  const auto refusal = [&](const std::function<void()>& operation) {
    try {
      operation();
    } catch (const archive::EArchiver& e) {
      return e.Message();
    }
    return std::string("no refusal");
  };
  EXPECT_EQ(refusal([&] {
              archiver.AddFiles(nullptr, "a", options, "", files, false, commandLine, output);
            }),
            "この形式では書庫ファイルの作成をサポートしておりません。");
  EXPECT_EQ(refusal([&] {
              archiver.DeleteFiles(nullptr, "a", options, "", files, false, commandLine, output);
            }),
            "この形式の書庫ではファイルの削除をサポートしておりません。");
  EXPECT_EQ(refusal([&] {
              archiver.UpdateFiles(nullptr, "a", options, "", files, false, commandLine, output);
            }),
            "この形式の書庫では書庫の更新をサポートしておりません。");
  EXPECT_EQ(refusal([&] { archiver.MakeSfx(nullptr, "a", options, "", commandLine, output); }),
            "この形式では自己解凍書庫の作成をサポートしておりません。");
  EXPECT_EQ(refusal([&] {
              archiver.ExtractMem(nullptr, "a", options, "m", nullptr, 0, nullptr, commandLine);
            }),
            "この形式ではメモリ展開をサポートしておりません。");
  EXPECT_EQ(commandLine, "untouched");
  EXPECT_TRUE(session.Calls().empty());
  // What it does support runs; the modes of a check are added.
  EXPECT_EQ(archiver.ExtractFiles(nullptr, "a", options, "", files, false, commandLine, output), 0);
  EXPECT_EQ(commandLine, "x");
  archiver.CheckArchive("a", 16, 4);
  EXPECT_EQ(session.CallsTo("UnlhaCheckArchive").at(0).Arg("mode"), "20");
}

}  // namespace
