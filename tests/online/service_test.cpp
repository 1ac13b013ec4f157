// The service client against the local stand-in of the music service (tools/standin), which the
// test command starts on its own loopback address and names in Config.ini next to this program.
#include <doctest/doctest.h>
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "player/common/Globals.h"
#include "player/online/ServiceClient.h"
#include "player/online/ServiceHosts.h"
#include "player/online/UrlFetcher.h"
#include "player/online/WanInfo.h"
#include "FallbackAddress.h"

namespace {

std::wstring StandinAddress() {
  wchar_t value[64] = {};
  GetEnvironmentVariableW(L"STANDIN_ADDR", value, 64);
  return value;
}

std::wstring StandinUrl(const std::wstring& pathAndQuery) {
  return L"http://" + StandinAddress() + L"/" + pathAndQuery;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string PercentEncodeUtf8(const std::string& utf8) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.') {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::wstring Ascii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Tells the stand-in what to answer on one path of the service from now on (see standin.py): the
// given body, or without one its usual answer; `extra` adds a misbehaviour or a charset.
void StandinAnswer(const std::string& path, const std::string& utf8Body, const std::string& extra = "") {
  std::string reply;
  const std::string body = utf8Body.empty() ? "" : "&body=" + PercentEncodeUtf8(utf8Body);
  const std::wstring url = StandinUrl(Ascii("_standin/answer?path=" + PercentEncodeUtf8(path) + body + extra));
  REQUIRE(CUrlFetcher().GetUrlText(reply, url));
  REQUIRE(reply == "ok");
}

void StandinReset() {
  std::string reply;
  REQUIRE(CUrlFetcher().GetUrlText(reply, StandinUrl(L"_standin/reset")));
}

std::string StandinLog() {
  std::string log;
  REQUIRE(CUrlFetcher().GetUrlText(log, StandinUrl(L"_standin/log")));
  return log;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Fixture(const char* name) { return ReadFileBytes(Ascii(std::string(HALVERY_FIXTURE_DIR "/") + name)); }

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

const char kConfigPathQuery[] = "/x.php?action=config";
const char kAdmentPathQuery[] = "/x.php?action=GetAdment";

std::string Xml(const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>" + inner + "</result>\n";
}

}  // namespace

TEST_CASE("Config.ini next to the program points every host at the stand-in") {
  REQUIRE_FALSE(StandinAddress().empty());
  CHECK(ApiUrl(kConfigPath) == L"http://" + StandinAddress() + L"/x.php?action=config");
  CHECK(WebUrl(kSuggestPath) == L"http://" + StandinAddress() + L"/soft/suggest.php");
  CHECK(IpEchoUrl(kIpEchoPath) == L"http://" + StandinAddress() + L"/ic.asp");
}

TEST_CASE("GetUrlText reads the body as the server sent it and says who asks") {
  StandinReset();
  std::string text;
  REQUIRE(CUrlFetcher().GetUrlText(text, ApiUrl(MusicXmlPath(101, L"abc"))));
  CHECK(text.find("<musicName>\xE6\x91\x87\xE7\xAF\xAE\xE6\x9B\xB2</musicName>") != std::string::npos);  // 摇篮曲 in UTF-8
  CHECK(StandinLog() == "GET\t/getMusicXML.php?id=101&key=abc\tHalvery\t200\n");
}

TEST_CASE("GetUrlText under every misbehaviour of the server") {
  const std::string song = Fixture("short1s_128k.mp3");
  REQUIRE(song.size() == 16718);
  enum Expect { kWhole, kFirst100, kEmpty, kPrefix };
  const struct {
    const wchar_t* query;
    bool ok;
    Expect text;
  } cases[] = {
      {L"", true, kWhole},
      {L"?mode=nolength", true, kWhole},
      {L"?mode=chunked", true, kWhole},
      {L"?mode=bigheader&header=9000", true, kWhole},
      {L"?mode=overlong&extra=3000", true, kWhole},  // the bytes beyond Content-Length are not taken
      {L"?mode=drip&rate=200000", true, kWhole},
      {L"?mode=close&after=100", false, kFirst100},
      {L"?mode=close&after=0", false, kEmpty},
      {L"?mode=hugelength", false, kPrefix},
      {L"?mode=error&status=404", false, kEmpty},  // an error page is not the answer
      {L"?mode=error&status=500", false, kEmpty},
  };
  for (const auto& c : cases) {
    CAPTURE(Narrow(c.query));
    std::string text = "from before";
    CHECK(CUrlFetcher().GetUrlText(text, StandinUrl(std::wstring(L"music/short1s.mp3") + c.query)) == c.ok);
    switch (c.text) {
      case kWhole: CHECK(text == song); break;
      case kFirst100: CHECK(text == song.substr(0, 100)); break;
      case kEmpty: CHECK(text.empty()); break;
      case kPrefix: CHECK(song.compare(0, text.size(), text) == 0); break;
    }
  }
}

TEST_CASE("GetUrlText refuses a body far larger than any answer") {
  std::string text;
  CHECK_FALSE(CUrlFetcher().GetUrlText(text, StandinUrl(L"music/big20m.mp3")));
  CHECK(text.size() == CUrlFetcher::kMaxTextBytes);
}

TEST_CASE("DownloadUrlToFile under every misbehaviour of the server") {
  const std::string song = Fixture("tone5s_128k.mp3");
  const std::wstring path = TempPath(L"halvery_download_test.mp3");
  enum Expect { kWhole, kFirstN, kUntouched, kPrefix };
  const struct {
    const wchar_t* query;
    bool ok;
    Expect file;
    size_t n;
  } cases[] = {
      {L"", true, kWhole, 0},
      {L"?mode=nolength", true, kWhole, 0},
      {L"?mode=chunked", true, kWhole, 0},
      {L"?mode=bigheader", true, kWhole, 0},
      {L"?mode=overlong&extra=5000", true, kWhole, 0},
      {L"?mode=drip&rate=400000", true, kWhole, 0},
      {L"?mode=close&after=50000", false, kFirstN, 50000},  // the part stays in the file
      {L"?mode=close&after=10240", false, kFirstN, 10240},
      {L"?mode=hugelength&length=4294967296", false, kPrefix, 0},
      {L"?mode=error&status=404", false, kUntouched, 0},  // an error page never replaces a file
  };
  for (const auto& c : cases) {
    CAPTURE(Narrow(c.query));
    std::ofstream(path.c_str(), std::ios::binary) << "stored before";
    CHECK(CUrlFetcher().DownloadUrlToFile(path, StandinUrl(std::wstring(L"music/tone5s.mp3") + c.query)) == c.ok);
    const std::string file = ReadFileBytes(path);
    switch (c.file) {
      case kWhole: CHECK(file == song); break;
      case kFirstN: CHECK(file == song.substr(0, c.n)); break;
      case kUntouched: CHECK(file == "stored before"); break;
      case kPrefix: CHECK(song.compare(0, file.size(), file) == 0); break;
    }
  }
  DeleteFileW(path.c_str());
}

TEST_CASE("DownloadUrlToFile cannot write where no file can be made") {
  const std::wstring missingFolder = TempPath(L"halvery_no_such_folder\\song.mp3");
  CHECK_FALSE(CUrlFetcher().DownloadUrlToFile(missingFolder, StandinUrl(L"music/tone5s.mp3")));
  CHECK_FALSE(CUrlFetcher().DownloadUrlToFile(L"", StandinUrl(L"music/tone5s.mp3")));
}

TEST_CASE("a refused or unreachable service fails without hanging") {
  const struct {
    const char* name;
    const wchar_t* host;
  } cases[] = {
      {"nothing listens (refused)", L"127.0.0.64"},
      // Unreachable on an ordinary network; where a gateway intercepts every connection it answers
      // with an error status instead, which fails as well.
      {"reserved documentation address", L"198.51.100.7"},
      {"name that cannot resolve", L"no-such-host.invalid"},
  };
  const std::wstring path = TempPath(L"halvery_unreachable.mp3");
  for (const auto& c : cases) {
    CAPTURE(std::string(c.name));
    DeleteFileW(path.c_str());
    const DWORD start = GetTickCount();
    std::string text = "from before";
    CHECK_FALSE(CUrlFetcher().GetUrlText(text, std::wstring(L"http://") + c.host + L"/x.php?action=config"));
    CHECK(text.empty());
    CHECK_FALSE(CUrlFetcher().DownloadUrlToFile(path, std::wstring(L"http://") + c.host + L"/music/tone5s.mp3"));
    CHECK(GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES);  // no empty file left behind
    MESSAGE(std::string(c.name) << ": both calls failed after " << GetTickCount() - start << " ms");
  }
}

TEST_CASE("CheckNewVersion: the service's version, or the local one when the answer is unusable") {
  g_strAppVersion = L"Beta1.0";
  g_strAppTime = L"20121008";
  StandinReset();
  SUBCASE("the stand-in's own answer") {
    CHECK(CServiceClient().CheckNewVersion());
    CHECK(g_RemoteVersion.versionNumber == L"Beta1.0");
    CHECK(g_RemoteVersion.versionUrl == L"http://" + StandinAddress() + L"/update/update.zip");
    CHECK(g_RemoteVersion.versionDatetime == L"20121008");
  }
  SUBCASE("answers read through the whole chain") {
    const struct {
      const char* name;
      std::string answer;
      bool ok;
      const wchar_t *number, *url, *datetime;
      int asset, adment;
    } cases[] = {
        {"a newer version with a Chinese name",
         Xml("<version><number>\xE6\xAD\xA3\xE5\xBC\x8F\xE7\x89\x88V2.0</number><url>http://x/u.zip</url>"
             "<datetime>20130301</datetime></version><update><download>1</download><asset>12abc</asset>"
             "<adment>abc</adment><datetime>20130302</datetime></update>"),
         true, L"正式版V2.0", L"http://x/u.zip", L"20130301", 12, 0},
        {"no download element",
         Xml("<version><number>V3</number><url>http://x/u.zip</url><datetime>20140101</datetime></version>"
             "<update><asset>5</asset><adment>6</adment><datetime>20140102</datetime></update>"),
         false, L"Beta1.0", L"", L"20121008", 12, 0},
        {"not XML", "<html>Service Unavailable</html>", false, L"Beta1.0", L"", L"20121008", 12, 0},
    };
    // The first case fills the record; the failures after it show which fields fall back and which
    // keep their values.
    for (const auto& c : cases) {
      CAPTURE(std::string(c.name));
      StandinAnswer(kConfigPathQuery, c.answer);
      CHECK(CServiceClient().CheckNewVersion() == c.ok);
      CHECK(g_RemoteVersion.versionNumber == c.number);
      CHECK(g_RemoteVersion.versionUrl == c.url);
      CHECK(g_RemoteVersion.versionDatetime == c.datetime);
      CHECK(g_RemoteVersion.updateAsset == c.asset);
      CHECK(g_RemoteVersion.updateAdment == c.adment);
      CHECK(g_RemoteVersion.updateDatetime == L"20130302");
    }
  }
  SUBCASE("the service answers with an error status") {
    g_RemoteVersion.versionUrl = L"http://old/u.zip";
    StandinAnswer(kConfigPathQuery, "", "&mode=error&status=503");
    CHECK_FALSE(CServiceClient().CheckNewVersion());
    CHECK(g_RemoteVersion.versionNumber == L"Beta1.0");
    CHECK(g_RemoteVersion.versionUrl.empty());
  }
  StandinReset();
}

TEST_CASE("banner and text advertisements") {
  StandinReset();
  using List = std::vector<std::wstring>;
  const std::wstring base = L"http://" + StandinAddress() + L"/";
  SUBCASE("the stand-in's own answer") {
    List banners = {L"kept"}, texts = {L"kept"};
    CHECK(CServiceClient().GetBannerAds(banners));
    CHECK(banners == List{L"kept", base + L"ad/banner1.htm", base + L"ad/banner2.htm", base + L"ad/banner3.htm"});
    CHECK(CServiceClient().GetTextAds(texts));
    CHECK(texts == List{L"kept", L"孕期营养小知识", base + L"soft/tips.php?id=1", L"本周胎教音乐推荐",
                        base + L"soft/tips.php?id=2"});
  }
  SUBCASE("answers of every shape") {
    const struct {
      const char* name;
      std::string answer;
      List banners, texts;
    } cases[] = {
        {"three banners in document order",
         Xml("<ad64060><item><url>http://a/3</url></item><item><url>http://a/1</url></item>"
             "<item><url>http://a/2</url></item></ad64060>"),
         {L"http://a/3", L"http://a/1", L"http://a/2"}, {}},
        {"no banner item", Xml("<ad64060></ad64060><adtext></adtext>"), {}, {}},
        {"two text items",
         Xml("<adtext><item><text>\xE4\xB8\x80</text><url>u1</url></item>"
             "<item><text>\xE4\xBA\x8C</text><url>u2</url></item></adtext>"),
         {}, {L"一", L"u1", L"二", L"u2"}},
        {"three texts, two URLs",
         Xml("<adtext><item><text>a</text><url>u1</url></item><item><text>b</text><url>u2</url></item>"
             "<item><text>c</text></item></adtext>"),
         {}, {L"a", L"u1", L"b", L"u2"}},
        {"not XML", "<<<>>>", {}, {}},
    };
    for (const auto& c : cases) {
      CAPTURE(std::string(c.name));
      StandinAnswer(kAdmentPathQuery, c.answer);
      List banners, texts;
      CHECK(CServiceClient().GetBannerAds(banners));
      CHECK(banners == c.banners);
      CHECK(CServiceClient().GetTextAds(texts));
      CHECK(texts == c.texts);
    }
  }
  SUBCASE("the answer cannot be fetched: false, list unchanged") {
    for (const char* mode : {"&mode=error&status=500", "&mode=close&after=20"}) {
      CAPTURE(mode);
      StandinAnswer(kAdmentPathQuery, "", mode);
      List banners = {L"kept"}, texts = {L"kept"};
      CHECK_FALSE(CServiceClient().GetBannerAds(banners));
      CHECK_FALSE(CServiceClient().GetTextAds(texts));
      CHECK(banners == List{L"kept"});
      CHECK(texts == List{L"kept"});
    }
  }
  StandinReset();
}

TEST_CASE("GetWanIP reads the address from the echo page") {
  StandinReset();
  CWanInfo wan;
  // The stand-in's own page names the address it sees us connect from.
  CHECK(wan.GetWanIP() == L"127.0.0.1");

  const struct {
    const char* name;
    std::string page;  // UTF-8 here; the stand-in sends it in GBK, as such pages are
    std::string extra;
    const wchar_t* address;  // nullptr: the fallback
  } cases[] = {
      {"address inside other text", "<html>\xE6\x82\xA8\xE7\x9A\x84IP\xEF\xBC\x9A[1.2.3.4] \xE5\x8C\x97\xE4\xBA\xAC</html>",
       "&charset=gbk", L"1.2.3.4"},
      {"opening bracket only", "<html>IP: [1.2.3.4 and more</html>", "&charset=gbk", nullptr},
      {"something else between brackets", "<html>[1.2.3.4&admin=1]</html>", "&charset=gbk", nullptr},
      {"an error page", "", "&mode=error&status=404", nullptr},
      {"connection cut before the page", "", "&mode=close&after=0", nullptr},
  };
  for (const auto& c : cases) {
    CAPTURE(std::string(c.name));
    StandinAnswer("/ic.asp", c.page, c.extra);
    const std::wstring ip = wan.GetWanIP();
    if (c.address) {
      CHECK(ip == c.address);
    } else {
      CHECK(IsFallbackAddress(ip));
    }
  }
  StandinReset();
}
