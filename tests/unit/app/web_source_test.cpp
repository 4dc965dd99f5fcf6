#include "app/web_source.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/zelupd_main.h"
#include "archive/lha32.h"
#include "archive_recorder/recorder_client.h"
#include "fakes.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"
#include "web_fakes.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::TempDir;

const std::string kPage = "http://www.example.com/dl/page.htm";
const std::string kArchive = "http://www.example.com/dl/zel16.lzh";

std::string ModuleAnchor(const std::string& href) {
  return "<a id=\"$target$\" href=\"" + href + "\">download</a>";
}
std::string ModulePage(const std::string& href) {
  return "<html><body><p>ZEL</p>" + ModuleAnchor(href) + "</body></html>";
}

// ---- Fetching the page ----

TEST(FetchPage, ReadsChunksOf1025BytesUpToTheirFirstZeroByte) {
  struct Case {
    std::string Name;
    std::vector<std::string> Chunks;
    std::string Text;
  };
  const std::string full(1025, 'x');
  const std::vector<Case> cases = {
      {"plain", {"<html>", "</html>"}, "<html></html>"},
      {"zero byte cuts its chunk only", {"abc", std::string("de\0fg", 5), "h"}, "abcdeh"},
      {"a full chunk counts whole", {full, "y"}, full + "y"},
      {"a longer answer in 1025-byte reads", {full + full + "z"}, full + full + "z"},
      {"an empty read ends the text", {"a", "", "b"}, "a"},
      {"nothing", {}, ""},
  };
  for (const Case& c : cases) {
    testing_support::ScopedFakeWeb fake;
    fake.Web.Pages[kPage] = c.Chunks;
    std::string text = "stale";
    EXPECT_TRUE(app::FetchPage(kPage, text)) << c.Name;
    EXPECT_EQ(text, c.Text) << c.Name;
    for (const std::string& line : fake.Web.Log) {
      if (line.rfind("read ", 0) == 0) {
        EXPECT_EQ(line, "read 1025") << c.Name;
      }
    }
  }
}

TEST(FetchPage, OpensWithTheAgentAndReloadAndClosesRequestThenSession) {
  testing_support::ScopedFakeWeb fake;
  fake.Web.Pages[kPage] = {"page"};
  std::string text;
  ASSERT_TRUE(app::FetchPage(kPage, text));
  EXPECT_EQ(fake.Web.Log,
            (std::vector<std::string>{"open ZElUpd/0.8 0", "url " + kPage + " 2147483648",
                                      "read 1025", "read 1025", "close request", "close session"}));
}

TEST(FetchPage, FailsWhenTheSessionOrTheAddressCannotBeOpened) {
  {
    testing_support::ScopedFakeWeb fake;
    fake.Web.SessionFails = true;
    std::string text = "stale";
    EXPECT_FALSE(app::FetchPage(kPage, text));
    EXPECT_EQ(text, "");
  }
  testing_support::ScopedFakeWeb fake;
  std::string text = "stale";
  EXPECT_FALSE(app::FetchPage(kPage, text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(fake.Web.Log.back(), "close session");
}

// ---- Finding the module link ----

TEST(FindModuleLink, TheFirstAnchorMarkedTargetDecides) {
  struct Case {
    std::string Name;
    std::string Page;
    std::string Link;
  };
  // A page of one body; a page without one ends at its first element.
  const auto body = [](const std::string& inner) {
    return "<html><head><title>ZEL</title></head><body>" + inner + "</body></html>";
  };
  const std::vector<Case> cases = {
      {"plain", ModulePage("zel16.lzh"), "zel16.lzh"},
      {"two marked anchors",
       body("<a id=\"$target$\" href=\"first.lzh\">1</a><a id=\"$target$\" "
            "href=\"second.lzh\">2</a>"),
       "first.lzh"},
      {"other anchors first",
       body("<a href=\"x.lzh\">x</a><a id=\"other\" href=\"y.lzh\">y</a>" +
            ModuleAnchor("zel.lzh")),
       "zel.lzh"},
      {"names in capitals", body("<A ID=\"$target$\" HREF=\"ZEL16.LZH\">new</A>"), "ZEL16.LZH"},
      {"unquoted values", body("<a id=$target$ href=zel.lzh>z</a>"), "zel.lzh"},
      {"nested in a table",
       body("<table><tr><td><a id='$target$' href='t.lzh'>t</a></table>" +
            ModuleAnchor("later.lzh")),
       "t.lzh"},
      {"id in other case", body("<a id=\"$TARGET$\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"blank before the id", body("<a id=\" $target$\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"id is only part", body("<a id=\"$target$x\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"id without a value", body("<a id href=\"zel.lzh\">z</a>"), "NONE"},
      {"not an anchor", body("<div id=\"$target$\" href=\"zel.lzh\">z</div>"), "NONE"},
      {"no anchors", body("nothing here"), "NONE"},
      {"empty page", "", "NONE"},
      {"a server's error page", "<html><title>404 Not Found</title><h1>Not Found</h1></html>",
       "NONE"},
      // The marked anchor without a link means the page has none to offer,
      // even when a later one has.
      {"marked anchor without href", body("<a id=\"$target$\">x</a>" + ModuleAnchor("later.lzh")),
       "NONE"},
      {"marked anchor with an empty href",
       body("<a id=\"$target$\" href=\"\">x</a>" + ModuleAnchor("later.lzh")), "NONE"},
      // Only the first child of the value counts.
      {"entity in the link", body("<a id=\"$target$\" href=\"get?a=1&amp;b=2\">x</a>"), "get?a=1"},
      {"full address as link", ModulePage("http://mirror.example.net/zel.lzh"),
       "http://mirror.example.net/zel.lzh"},
  };
  rtl::ScopedAnsiCodePage utf8(rtl::CP_UTF8_);
  for (const Case& c : cases) {
    EXPECT_EQ(app::FindModuleLink(c.Page), c.Link) << c.Name;
  }
}

TEST(FindModuleLink, ThePageIsReadInTheAnsiCodePage) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  // "表" in Shift_JIS is 0x95 0x5C: its second byte is a backslash.
  const std::string link = "zel\x95\x5C.lzh";
  EXPECT_EQ(app::FindModuleLink("<p>\x83\x8D\x82\xCA</p>" + ModulePage(link)), link);
}

// ---- Addresses and names ----

TEST(WebAddresses, TheLinkIsJoinedToThePagesDirectoryAsText) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {kPage, "zel152.lzh", "http://www.example.com/dl/zel152.lzh"},
      {"http://h/dl/", "zel.lzh", "http://h/dl/zel.lzh"},
      {"http://h", "zel.lzh", "http://zel.lzh"},
      {"page.htm", "zel.lzh", "zel.lzh"},
      {kPage, "sub/zel.lzh", "http://www.example.com/dl/sub/zel.lzh"},
      {kPage, "http://m/zel.lzh", "http://www.example.com/dl/http://m/zel.lzh"},
  };
  for (const auto& [page, link, url] : cases) {
    EXPECT_EQ(app::ArchiveUrlOf(page, link), url) << page << " + " << link;
  }
}

TEST(WebAddresses, OnlyAPlainNameAfterTheLastSlashIsUsed) {
  const std::vector<std::tuple<std::string, std::string, bool>> cases = {
      {kArchive, "zel16.lzh", true},
      {"zel16.lzh", "zel16.lzh", true},
      {"http://h/get.cgi?f=zel.lzh", "get.cgi?f=zel.lzh", true},
      {"http://h/.hidden.lzh", ".hidden.lzh", true},
      {"http://h/dl/", "", false},
      {"http://h/dl/.", ".", false},
      {"http://h/dl/..", "..", false},
      {"http://h/a" + std::string(1, '\0') + "b", std::string("a\0b", 3), false},
  };
  for (const auto& [url, name, plain] : cases) {
    EXPECT_EQ(app::DownloadFileNameOf(url), name) << url;
    EXPECT_EQ(app::IsPlainFileName(name), plain) << url;
  }
}

// ---- The last-download record ----

TEST(LastDownload, TheRecordHoldsTheFileNameAndComparesItExactly) {
  TempDir tmp;
  const std::string record = tmp.Path("downver.inf");
  EXPECT_FALSE(app::IsLastDownload(record, tmp.Path("dl/zel16.lzh")));
  // Only the name counts, not its directory.
  app::SaveLastDownload(record, tmp.Path("dl/zel16.lzh"));
  EXPECT_EQ(ReadFile(record), "[ZelUpd]\nLastDown=zel16.lzh\n");
  EXPECT_TRUE(app::IsLastDownload(record, tmp.Path("elsewhere/zel16.lzh")));
  EXPECT_TRUE(app::IsLastDownload(record, "zel16.lzh"));
  for (const char* other : {"ZEL16.LZH", "zel16.lzh.bak", "zel16", "zel17.lzh"}) {
    EXPECT_FALSE(app::IsLastDownload(record, tmp.Path(other))) << other;
  }
  app::SaveLastDownload(record, "zel17.lzh");
  EXPECT_TRUE(app::IsLastDownload(record, "zel17.lzh"));
  EXPECT_FALSE(app::IsLastDownload(record, "zel16.lzh"));
}

// ---- The whole source, through the fakes and the recording library ----

class WebSource : public ::testing::Test {
 protected:
  WebSource() {
    archive::TLha32::FreeDLL();
    tmp_.MakeDir("tool");
    tmp_.MakeDir("temp");
    tmp_.Write("inst/ZEL.EXE", "old exe");
    web_.Web.Pages[kPage] = {ModulePage("zel16.lzh")};
    web_.Web.Files[kArchive] = "archive 16";
  }
  ~WebSource() override { archive::TLha32::FreeDLL(); }

  std::string Tool(const std::string& name = "") const { return tmp_.Path("tool") + "/" + name; }
  void Update(const std::string& page = kPage, bool deleteDownload = false,
              const std::string& downPath = "") {
    app::CZelUpd updater(Tool());
    updater.UpdateFromPage(page, tmp_.Path("inst") + "/", deleteDownload, downPath);
  }
  // The message of the failure of Update, or "" when it succeeded.
  std::string Failure(const std::string& page = kPage, bool deleteDownload = false,
                      const std::string& downPath = "") {
    try {
      Update(page, deleteDownload, downPath);
    } catch (const app::EFileDownloadError& e) {
      return e.Message();
    }
    return "";
  }
  // The archive that each extraction was asked for.
  std::vector<std::string> Extracted() const {
    std::vector<std::string> archives;
    for (const recorder_test::RecordedCall& call : session_.CallsTo("Unlha")) {
      const std::string line = call.Arg("line");
      const std::size_t open = line.find('"');
      archives.push_back(line.substr(open + 1, line.find('"', open + 1) - open - 1));
    }
    return archives;
  }
  std::size_t Starts() const { return fake_.Launcher.CommandLines.size(); }

  rtl::ScopedAnsiCodePage utf8_{rtl::CP_UTF8_};
  TempDir tmp_;
  recorder_test::Session session_{"full"};
  // Set once everything above has made its own temporary directory.
  recorder_test::ScopedEnv tmpdir_{"TMPDIR", tmp_.Path("temp")};
  testing_support::FakeSystem fake_;
  testing_support::ScopedFakeWeb web_;
};

TEST_F(WebSource, DownloadsBesideTheToolInstallsAndRecords) {
  Update();
  EXPECT_EQ(web_.Web.Downloads(), std::vector<std::string>{"download " + kArchive + " > " +
                                                           Tool("zel16.lzh") + " ZElUpd/0.8"});
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("zel16.lzh")});
  EXPECT_EQ(Starts(), 1u);
  EXPECT_EQ(ReadFile(Tool("zel16.lzh")), "archive 16");
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel16.lzh\n");
  EXPECT_TRUE(std::filesystem::is_empty(tmp_.Path("temp")));
}

TEST_F(WebSource, TheSameArchiveAgainIsRefusedANewOneGoesOn) {
  Update();
  web_.Web.Log.clear();
  EXPECT_EQ(Failure(), "更新されていないようです");
  // Refused before the local file is looked at, also once it is gone.
  std::filesystem::remove(Tool("zel16.lzh"));
  EXPECT_EQ(Failure(), "更新されていないようです");
  EXPECT_TRUE(web_.Web.Downloads().empty());
  EXPECT_EQ(Starts(), 1u);

  web_.Web.Pages[kPage] = {ModulePage("zel17.lzh")};
  web_.Web.Files["http://www.example.com/dl/zel17.lzh"] = "archive 17";
  Update();
  EXPECT_EQ(web_.Web.Downloads().size(), 1u);
  EXPECT_EQ(Starts(), 2u);
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel17.lzh\n");
}

TEST_F(WebSource, TheDownloadDirectoryAndDeletingTheDownload) {
  struct Case {
    std::string DownPath;
    bool Delete;
  };
  const std::vector<Case> cases = {
      {tmp_.Path("dl"), false},
      {tmp_.Path("dl") + "/", false},
      {tmp_.Path("dl"), true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(tmp_.Path("dl"));
    std::filesystem::remove(Tool("downver.inf"));
    tmp_.MakeDir("dl");
    Update(kPage, c.Delete, c.DownPath);
    EXPECT_EQ(Exists(tmp_.Path("dl/zel16.lzh")), !c.Delete) << c.DownPath;
    EXPECT_FALSE(Exists(Tool("zel16.lzh"))) << c.DownPath;
    EXPECT_EQ(Extracted().back(), tmp_.Path("dl/zel16.lzh")) << c.DownPath;
    // The record is beside the tool either way.
    EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel16.lzh\n") << c.DownPath;
  }
}

TEST_F(WebSource, AnArchiveAlreadyThereIsInstalledWithoutADownload) {
  tmp_.Write("tool/zel16.lzh", "kept from before");
  Update();
  EXPECT_TRUE(web_.Web.Downloads().empty());
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("zel16.lzh")});
  EXPECT_EQ(ReadFile(Tool("zel16.lzh")), "kept from before");
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel16.lzh\n");
}

TEST_F(WebSource, ANameWithWildcardCharactersIsInstalledAsItStands) {
  web_.Web.Pages[kPage] = {ModulePage("zel?.lzh")};
  web_.Web.Files["http://www.example.com/dl/zel?.lzh"] = "archive";
  tmp_.Write("tool/zelx.lzh", "another archive that a pattern would pick");
  Update();
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("zel?.lzh")});
}

TEST_F(WebSource, FailuresAndTheirMessages) {
  web_.Web.Pages["http://h/none.htm"] = {"<html><body>no module</body></html>"};
  web_.Web.Pages["http://h/gone.htm"] = {ModulePage("gone.lzh")};
  web_.Web.Pages["http://h/dir.htm"] = {ModulePage("sub/")};
  web_.Web.Pages["http://h/dots.htm"] = {ModulePage("..")};
  web_.Web.Pages["http://h/dot.htm"] = {ModulePage("sub/.")};
  struct Case {
    std::string Page;
    std::string Message;
    bool Downloads;
  };
  const std::vector<Case> cases = {
      {"http://h/missing.htm", "ページ[http://h/missing.htm]のダウンロードに失敗しました", false},
      {"http://h/none.htm", "ページ[http://h/none.htm]には\"ろぬ\"のモジュールが見あたりません",
       false},
      {"http://h/gone.htm", "ファイル[http://h/gone.lzh]のダウンロードに失敗しました", true},
      {"http://h/dir.htm", "ファイル[http://h/sub/]のダウンロードに失敗しました", false},
      {"http://h/dots.htm", "ファイル[http://h/..]のダウンロードに失敗しました", false},
      {"http://h/dot.htm", "ファイル[http://h/sub/.]のダウンロードに失敗しました", false},
  };
  tmp_.Write("tool/downver.inf", "[ZelUpd]\nLastDown=zel15.lzh\n");
  for (const Case& c : cases) {
    web_.Web.Log.clear();
    EXPECT_EQ(Failure(c.Page), c.Message) << c.Page;
    EXPECT_EQ(web_.Web.Downloads().size(), c.Downloads ? 1u : 0u) << c.Page;
  }
  // Nothing was installed, nothing recorded, nothing left behind.
  EXPECT_EQ(Starts(), 0u);
  EXPECT_TRUE(fake_.Desktop.Messages.empty());
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel15.lzh\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Tool()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(WebSource, AFailedInstallationLeavesTheRecordAlone) {
  tmp_.Write("tool/downver.inf", "[ZelUpd]\nLastDown=zel15.lzh\n");
  std::filesystem::remove_all(tmp_.Path("temp"));  // no work directory can be made
  app::CZelUpd updater(Tool());
  EXPECT_THROW(updater.UpdateFromPage(kPage, tmp_.Path("inst"), true, ""), rtl::Exception);
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel15.lzh\n");
  // The downloaded archive stays, even with the delete flag.
  EXPECT_EQ(ReadFile(Tool("zel16.lzh")), "archive 16");
}

}  // namespace
