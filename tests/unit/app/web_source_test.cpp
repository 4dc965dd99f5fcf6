#include "app/web_source.h"

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "app/errors.h"
#include "app/page_charset.h"
#include "app/web_address.h"
#include "app/zelupd_main.h"
#include "archive/formats/lha32.h"
#include "archive_recorder/recorder_client.h"
#include "expected_codes.h"
#include "fakes.h"
#include "rtl/codepage.h"
#include "support/temp_dir.h"
#include "web_fakes.h"

namespace {

using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::TempDir;

// The last-download record as the tool writes it.
std::string RecordOf(const std::string& name) {
  const std::string lineBreak = testing_support::expected::kProfileLineBreak;
  return "[ZelUpd]" + lineBreak + "LastDown=" + name + lineBreak;
}

const std::string kPage = "http://www.example.com/dl/page.htm";
const std::string kArchive = "http://www.example.com/dl/zel16.lzh";

std::string ModuleAnchor(const std::string& href) {
  return "<a id=\"$target$\" href=\"" + href + "\">download</a>";
}
std::string ModulePage(const std::string& href) {
  return "<html><body><p>ZEL</p>" + ModuleAnchor(href) + "</body></html>";
}

// ---- Fetching the page ----

TEST(FetchPage, ThePageIsEveryByteTheServerSentInReadsOf1025) {
  struct Case {
    std::string Name;
    std::vector<std::string> Chunks;
    std::string Bytes;
  };
  const std::string full(1025, 'x');
  const std::vector<Case> cases = {
      {"plain", {"<html>", "</html>"}, "<html></html>"},
      // However the reads fall, a zero byte is one byte of the page.
      {"zero bytes kept", {"abc", std::string("de\0fg", 5), "h"}, std::string("abcde\0fgh", 9)},
      {"a longer answer in 1025-byte reads", {full + full + "z"}, full + full + "z"},
      {"an empty read ends the text", {"a", "", "b"}, "a"},
      {"nothing", {}, ""},
  };
  for (const Case& c : cases) {
    testing_support::ScopedFakeWeb fake;
    fake.Web.Pages[kPage] = c.Chunks;
    fake.Web.ContentTypes[kPage] = "text/html; charset=utf-8";
    app::TFetchedPage page;
    page.Bytes = "stale";
    EXPECT_TRUE(app::FetchPage(kPage, page)) << c.Name;
    EXPECT_EQ(page.Bytes, c.Bytes) << c.Name;
    EXPECT_EQ(page.ContentType, "text/html; charset=utf-8") << c.Name;
    EXPECT_EQ(page.Url, kPage) << c.Name;
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
  fake.Web.Redirects[kPage] = "https://www.example.com/new/page.htm";
  app::TFetchedPage page;
  ASSERT_TRUE(app::FetchPage(kPage, page));
  EXPECT_EQ(fake.Web.Log,
            (std::vector<std::string>{"open ZElUpd/0.8 0", "url " + kPage + " 2147483648",
                                      "read 1025", "read 1025", "close request", "close session"}));
  EXPECT_EQ(page.Url, "https://www.example.com/new/page.htm");
}

TEST(FetchPage, FailsWhenNoWholePageArrives) {
  const std::string half(app::kPageLimit / 2, 'x');
  struct Case {
    std::string Name;
    std::function<void(testing_support::FakeWeb&)> Set;
  };
  const std::vector<Case> cases = {
      {"no session", [](auto& web) { web.SessionFails = true; }},
      {"the address cannot be opened", [](auto& web) { web.Pages.erase(kPage); }},
      {"the transfer breaks off", [](auto& web) { web.BrokenPages.insert(kPage); }},
      {"announced larger than the limit",
       [](auto& web) { web.ContentLengths[kPage] = app::kPageLimit + 1; }},
      {"larger than the limit without an announcement",
       [&](auto& web) {
         web.Pages[kPage] = {half, half, "!"};
       }},
  };
  for (const Case& c : cases) {
    testing_support::ScopedFakeWeb fake;
    fake.Web.Pages[kPage] = {"<html>", "</html>"};
    c.Set(fake.Web);
    app::TFetchedPage page;
    EXPECT_FALSE(app::FetchPage(kPage, page)) << c.Name;
    if (!fake.Web.SessionFails) {
      EXPECT_EQ(fake.Web.Log.back(), "close session") << c.Name;
    }
  }
  // Exactly the limit is still a page.
  testing_support::ScopedFakeWeb fake;
  fake.Web.Pages[kPage] = {half, half};
  app::TFetchedPage page;
  EXPECT_TRUE(app::FetchPage(kPage, page));
  EXPECT_EQ(page.Bytes.size(), app::kPageLimit);
}

// ---- The page's text ----

TEST(DecodePage, TheMarkTheHeaderTheMetaThenTheSystemsCodePage) {
  // "ぜる" in UTF-8 and in Shift_JIS.
  const std::string utf8 = "\xE3\x81\x9C\xE3\x82\x8B";
  const std::string sjis = "\x82\xBA\x82\xE9";
  const std::u16string zeru = u"ぜる";
  struct Case {
    std::string Name;
    std::string Bytes;
    std::string ContentType;
    unsigned Ansi;
    std::u16string Contains;
  };
  const std::string meta = "<meta charset=\"Shift_JIS\"><p>";
  const std::string httpEquiv =
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=x-sjis\"><p>";
  const std::vector<Case> cases = {
      {"UTF-8 mark over everything", "\xEF\xBB\xBF" + meta + utf8, "text/html; charset=sjis",
       rtl::CP_SHIFT_JIS, u"<p>" + zeru},
      {"UTF-16 mark", std::string("\xFF\xFE<\0p\0>\0\x5C\x30", 10), "", rtl::CP_UTF8_,
       u"<p>\u305C"},
      {"header over meta", "<meta charset=utf-8><p>" + sjis, "text/html;charset=\"Shift_JIS\"",
       rtl::CP_UTF8_, u"<p>" + zeru},
      {"meta charset", meta + sjis, "text/html", rtl::CP_UTF8_, u"<p>" + zeru},
      {"meta http-equiv", httpEquiv + sjis, "", rtl::CP_UTF8_, u"<p>" + zeru},
      {"meta in a comment does not count", "<!-- <meta charset=utf-8> --><p>" + sjis, "",
       rtl::CP_SHIFT_JIS, u"<p>" + zeru},
      {"meta after 1024 bytes does not count", std::string(1024, ' ') + meta + utf8, "",
       rtl::CP_UTF8_, u"<p>" + zeru},
      {"unknown label: the system's", "<meta charset=klingon><p>" + utf8, "", rtl::CP_UTF8_,
       u"<p>" + zeru},
      {"system code page Shift_JIS", "<p>" + sjis, "", rtl::CP_SHIFT_JIS, u"<p>" + zeru},
      {"Latin-1 page", "<meta charset=iso-8859-1><p>caf\xE9", "", rtl::CP_SHIFT_JIS, u"<p>café"},
  };
  for (const Case& c : cases) {
    rtl::ScopedAnsiCodePage ansi(c.Ansi);
    const std::u16string text = app::DecodePage(c.Bytes, c.ContentType);
    EXPECT_NE(text.find(c.Contains), std::u16string::npos) << c.Name;
    EXPECT_NE(text.front(), u'\uFEFF') << c.Name;
  }
}

// ---- Finding the module link ----

TEST(FindModuleLink, TheFirstAnchorMarkedTargetDecides) {
  struct Case {
    std::string Name;
    std::string Page;
    std::string Link;
  };
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
      {"unquoted values with a path", body("<a id=$target$ href=files/zel.lzh>z</a>"),
       "files/zel.lzh"},
      {"nested in a table",
       body("<table><tr><td><a id='$target$' href='t.lzh'>t</a></table>" +
            ModuleAnchor("later.lzh")),
       "t.lzh"},
      {"id in other case", body("<a id=\"$TARGET$\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"blank before the id", body("<a id=\" $target$\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"id is only part", body("<a id=\"$target$x\" href=\"zel.lzh\">z</a>"), "NONE"},
      {"id without a value", body("<a id href=\"zel.lzh\">z</a>"), "NONE"},
      {"not an anchor", body("<div id=\"$target$\" href=\"zel.lzh\">z</div>"), "NONE"},
      {"empty page", "", "NONE"},
      {"a server's error page", "<html><title>404 Not Found</title><h1>Not Found</h1></html>",
       "NONE"},
      // The marked anchor without a link means the page has none to offer,
      // even when a later one has.
      {"marked anchor without href", body("<a id=\"$target$\">x</a>" + ModuleAnchor("later.lzh")),
       "NONE"},
      {"marked anchor with an empty href",
       body("<a id=\"$target$\" href=\"\">x</a>" + ModuleAnchor("later.lzh")), "NONE"},
      // The whole value, its references resolved as a browser does.
      {"references in the link",
       body("<a id=\"$target$\" href=\"get?a=1&amp;b=2&#38;c=&#x33;&bogus;&d\">x</a>"),
       "get?a=1&b=2&c=3&bogus;&d"},
      {"HTML5 page with its doctype",
       "<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8><title>ZEL</title>"
       "<script>if (a < b) document.write('</p><a id=\"$target$\" href=\"no.lzh\">');</script>"
       "</head><body>" +
           ModuleAnchor("zel17.lzh") + "</body></html>",
       "zel17.lzh"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::FindModuleLink(rtl::AnsiToWide(c.Page, rtl::CP_UTF8_)),
              rtl::AnsiToWide(c.Link, rtl::CP_UTF8_))
        << c.Name;
  }
}

// ---- Addresses and names ----

TEST(WebAddresses, LinksResolveAsInABrowser) {
  // The normal and abnormal examples of the address standard, on its base.
  const std::u16string base = u"http://a/b/c/d;p?q";
  const std::vector<std::pair<std::u16string, std::u16string>> standard = {
      {u"g:h", u"g:h"},
      {u"g", u"http://a/b/c/g"},
      {u"./g", u"http://a/b/c/g"},
      {u"g/", u"http://a/b/c/g/"},
      {u"/g", u"http://a/g"},
      {u"//g", u"http://g"},
      {u"?y", u"http://a/b/c/d;p?y"},
      {u"g?y", u"http://a/b/c/g?y"},
      {u"#s", u"http://a/b/c/d;p?q"},
      {u"g#s", u"http://a/b/c/g"},
      {u";x", u"http://a/b/c/;x"},
      {u"", u"http://a/b/c/d;p?q"},
      {u".", u"http://a/b/c/"},
      {u"..", u"http://a/b/"},
      {u"../g", u"http://a/b/g"},
      {u"../..", u"http://a/"},
      {u"../../g", u"http://a/g"},
      {u"../../../g", u"http://a/g"},
      {u"/./g", u"http://a/g"},
      {u"/../g", u"http://a/g"},
      {u"g.", u"http://a/b/c/g."},
      {u"..g", u"http://a/b/c/..g"},
      {u"./../g", u"http://a/b/g"},
      {u"g/./h", u"http://a/b/c/g/h"},
      {u"g/../h", u"http://a/b/c/h"},
      {u"g;x=1/../y", u"http://a/b/c/y"},
      {u"g?y/./x", u"http://a/b/c/g?y/./x"},
      {u"http:g", u"http://a/b/c/g"},
  };
  for (const auto& [link, url] : standard) {
    EXPECT_EQ(app::ResolveUrl(base, link), url);
  }
  // What download pages write.
  const std::u16string page = u"http://www.example.com/dl/page.htm";
  const std::vector<std::tuple<std::u16string, std::u16string, std::u16string>> pages = {
      {page, u"zel152.lzh", u"http://www.example.com/dl/zel152.lzh"},
      {u"HTTP://Host/dl/", u"zel.lzh", u"HTTP://Host/dl/zel.lzh"},
      {u"http://h", u"zel.lzh", u"http://h/zel.lzh"},
      {page, u"https://mirror.example.net/zel.lzh", u"https://mirror.example.net/zel.lzh"},
      {u"https://h/p.htm", u"//cdn.example.net/zel.lzh", u"https://cdn.example.net/zel.lzh"},
      {page, u"  files\\zel.lzh\n", u"http://www.example.com/dl/files/zel.lzh"},
      {page, u"../pub/zel.lzh?from=page#top", u"http://www.example.com/pub/zel.lzh?from=page"},
  };
  for (const auto& [from, link, url] : pages) {
    EXPECT_EQ(app::ArchiveUrlOf(from, u"", link), url);
  }
  // A base element's address counts, itself taken relative to the page.
  EXPECT_EQ(app::ArchiveUrlOf(page, u"/mirror/", u"zel.lzh"),
            u"http://www.example.com/mirror/zel.lzh");
  EXPECT_TRUE(app::IsWebUrl(u"https://h/x.lzh"));
  for (const std::u16string url : {u"ftp://h/x.lzh", u"javascript:get()", u"mailto:a@b", u"http:x",
                                   u"file:///x.lzh", u"http:///x.lzh"}) {
    EXPECT_FALSE(app::IsWebUrl(url));
  }
  EXPECT_EQ(app::WireUrl(u"http://h/dl/ぜる 1%41.lzh"),
            "http://h/dl/%E3%81%9C%E3%82%8B%201%41.lzh");
}

TEST(WebAddresses, TheFileNameIsTheLastSegmentDecoded) {
  struct Case {
    std::string Url;
    unsigned Ansi;
    std::string Name;
    bool Plain;
  };
  const std::vector<Case> cases = {
      {kArchive, rtl::CP_UTF8_, "zel16.lzh", true},
      {"zel16.lzh", rtl::CP_UTF8_, "zel16.lzh", true},
      {"http://h/get/zel.lzh?mirror=2#top", rtl::CP_UTF8_, "zel.lzh", true},
      {"http://h/.hidden.lzh", rtl::CP_UTF8_, ".hidden.lzh", true},
      {"http://h/zel%3F%2A.lzh", rtl::CP_UTF8_, "zel?*.lzh", true},
      {"http://h/%E3%81%9C%E3%82%8B.lzh", rtl::CP_UTF8_, "\xE3\x81\x9C\xE3\x82\x8B.lzh", true},
      {"http://h/%E3%81%9C%E3%82%8B.lzh", rtl::CP_SHIFT_JIS, "\x82\xBA\x82\xE9.lzh", true},
      // Legacy servers encode the system's own bytes; "表" ends in a backslash byte.
      {"http://h/%95%5C.lzh", rtl::CP_SHIFT_JIS, "\x95\x5C.lzh", true},
      {"http://h/dl/", rtl::CP_UTF8_, "", false},
      {"http://h", rtl::CP_UTF8_, "", false},
      {"http://h/dl/%2E%2E", rtl::CP_UTF8_, "..", false},
      {"http://h/a%2Fb.lzh", rtl::CP_UTF8_, "a/b.lzh", false},
      {"http://h/a%5Cb.lzh", rtl::CP_UTF8_, "a\\b.lzh", false},
      {"http://h/a%00b.lzh", rtl::CP_UTF8_, std::string("a\0b.lzh", 7), false},
      {"http://h/a%0Ab.lzh", rtl::CP_UTF8_, "a\nb.lzh", false},
      // A character the system's code page cannot hold has no name.
      {"http://h/%E2%82%AC%F0%9F%98%80.lzh", rtl::CP_SHIFT_JIS, "", false},
  };
  for (const Case& c : cases) {
    rtl::ScopedAnsiCodePage ansi(c.Ansi);
    EXPECT_EQ(app::DownloadFileNameOf(c.Url), c.Name) << c.Url;
    EXPECT_EQ(app::IsPlainFileName(c.Name), c.Plain) << c.Url;
  }
}

// ---- The last-download record ----

TEST(LastDownload, TheRecordHoldsTheFileNameAndComparesItExactly) {
  TempDir tmp;
  const std::string record = tmp.Path("downver.inf");
  EXPECT_FALSE(app::IsLastDownload(record, tmp.Path("dl/zel16.lzh")));
  // Only the name counts, not its directory.
  app::SaveLastDownload(record, tmp.Path("dl/zel16.lzh"));
  EXPECT_EQ(ReadFile(record), RecordOf("zel16.lzh"));
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
    session_.SetScript(recorder_test::Script().Unpack("ZEL.EXE", "new exe"));
  }
  ~WebSource() override { archive::TLha32::FreeDLL(); }

  std::string Tool(const std::string& name = "") const { return tmp_.Path("tool/" + name); }
  void Update(const std::string& page = kPage, bool deleteDownload = false,
              const std::string& downPath = "") {
    app::CZelUpd updater(Tool());
    updater.UpdateFromPage(page, tmp_.Path("inst/"), deleteDownload, downPath);
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
  recorder_test::ScopedEnv tmpdir_{testing_support::kTempDirVariable, tmp_.Path("temp")};
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
  EXPECT_EQ(ReadFile(Tool("downver.inf")), RecordOf("zel16.lzh"));
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
  EXPECT_EQ(ReadFile(Tool("downver.inf")), RecordOf("zel17.lzh"));
}

TEST_F(WebSource, TheDownloadDirectoryAndDeletingTheDownload) {
  struct Case {
    std::string DownPath;
    bool Delete;
  };
  const std::vector<Case> cases = {
      {tmp_.Path("dl"), false},
      {tmp_.Path("dl/"), false},
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
    EXPECT_EQ(ReadFile(Tool("downver.inf")), RecordOf("zel16.lzh")) << c.DownPath;
  }
}

TEST_F(WebSource, AnArchiveAlreadyThereIsInstalledWithoutADownload) {
  tmp_.Write("tool/zel16.lzh", "kept from before");
  Update();
  EXPECT_TRUE(web_.Web.Downloads().empty());
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("zel16.lzh")});
  EXPECT_EQ(ReadFile(Tool("zel16.lzh")), "kept from before");
  EXPECT_EQ(ReadFile(Tool("downver.inf")), RecordOf("zel16.lzh"));
}

TEST_F(WebSource, ANameWithWildcardCharactersIsInstalledAsItStands) {
  web_.Web.Pages[kPage] = {ModulePage("zel%3F.lzh")};
  web_.Web.Files["http://www.example.com/dl/zel%3F.lzh"] = "archive";
  tmp_.Write("tool/zelx.lzh", "another archive that a pattern would pick");
  Update();
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("zel?.lzh")});
}

TEST_F(WebSource, AJapaneseNameIsRequestedInUtf8AndSavedInTheSystemsCodePage) {
  rtl::ScopedAnsiCodePage sjis(rtl::CP_SHIFT_JIS);
  // "表" ends in a backslash byte in Shift_JIS.
  web_.Web.Pages[kPage] = {"<meta charset=shift_jis>" + ModulePage("\x95\x5C.lzh")};
  web_.Web.Files["http://www.example.com/dl/%E8%A1%A8.lzh"] = "archive";
  Update();
  EXPECT_EQ(Extracted(), std::vector<std::string>{Tool("\x95\x5C.lzh")});
  EXPECT_EQ(ReadFile(Tool("downver.inf")), RecordOf("\x95\x5C.lzh"));
}

TEST_F(WebSource, ADownloadThatIsNoArchiveIsNotKept) {
  // No library takes it for an archive.
  session_.SetScript(
      recorder_test::Script().Result("CheckArchive", {0}).Result("OpenArchive", {0}));
  tmp_.Write("tool/downver.inf", "[ZelUpd]\nLastDown=zel15.lzh\n");
  const std::string message = "ファイル[" + kArchive + "]のダウンロードに失敗しました";
  EXPECT_EQ(Failure(), message);
  EXPECT_FALSE(Exists(Tool("zel16.lzh")));
  // The next run asks again.
  EXPECT_EQ(Failure(), message);
  EXPECT_EQ(web_.Web.Downloads().size(), 2u);
  EXPECT_EQ(Starts(), 0u);
  EXPECT_EQ(ReadFile(Tool("downver.inf")), "[ZelUpd]\nLastDown=zel15.lzh\n");
}

TEST_F(WebSource, ADownloadWhoseLibraryIsMissingIsKeptAndTheLibraryNamed) {
  const TempDir none;
  const recorder_test::Session noLibraries(std::vector{none.Dir()});
  std::string message;
  try {
    Update();
  } catch (const rtl::Exception& e) {
    message = e.Message();
  }
  EXPECT_NE(message.find("UNLHA32.DLL"), std::string::npos) << message;
  // Installing the library is all the next run needs.
  EXPECT_EQ(ReadFile(Tool("zel16.lzh")), "archive 16");
}

TEST_F(WebSource, FailuresAndTheirMessages) {
  web_.Web.Pages["http://h/none.htm"] = {"<html><body>no module</body></html>"};
  web_.Web.Pages["http://h/gone.htm"] = {ModulePage("gone.lzh")};
  web_.Web.Pages["http://h/dir.htm"] = {ModulePage("sub/")};
  web_.Web.Pages["http://h/dots.htm"] = {ModulePage("..")};
  web_.Web.Pages["http://h/ftp.htm"] = {ModulePage("ftp://h/zel.lzh")};
  web_.Web.Pages["http://h/script.htm"] = {ModulePage("javascript:get('zel.lzh')")};
  web_.Web.Pages["http://h/cut.htm"] = {ModulePage("zel.lzh")};
  web_.Web.BrokenPages.insert("http://h/cut.htm");
  struct Case {
    std::string Page;
    std::string Message;
    bool Downloads;
  };
  const std::vector<Case> cases = {
      {"http://h/missing.htm", "ページ[http://h/missing.htm]のダウンロードに失敗しました", false},
      {"http://h/cut.htm", "ページ[http://h/cut.htm]のダウンロードに失敗しました", false},
      {"http://h/none.htm", "ページ[http://h/none.htm]には\"ろぬ\"のモジュールが見あたりません",
       false},
      {"http://h/gone.htm", "ファイル[http://h/gone.lzh]のダウンロードに失敗しました", true},
      {"http://h/dir.htm", "ファイル[http://h/sub/]のダウンロードに失敗しました", false},
      {"http://h/dots.htm", "ファイル[http://h/]のダウンロードに失敗しました", false},
      {"http://h/ftp.htm", "ファイル[ftp://h/zel.lzh]のダウンロードに失敗しました", false},
      {"http://h/script.htm", "ファイル[javascript:get('zel.lzh')]のダウンロードに失敗しました",
       false},
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
