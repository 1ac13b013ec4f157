// The service client's rules that need no network: reading the version answer, the integer rule,
// pairing text advertisements, cutting the address out of the echo page, URLs and host names.
#include <doctest/doctest.h>
#include <windows.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "player/online/ServiceAnswers.h"
#include "player/online/ServiceClient.h"
#include "player/online/ServiceHosts.h"
#include "player/online/ServiceUrls.h"
#include "player/online/UrlFetcher.h"
#include "player/online/WanAddress.h"
#include "player/online/WanInfo.h"
#include "FallbackAddress.h"

namespace {

// A version answer with the given inner text of <update>, as the service writes it (UTF-8).
std::string ConfigAnswer(const std::string& update, const std::string& number = "V2.0") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>\n"
         "  <version><number>" + number + "</number><url>http://h/update.zip</url>"
         "<datetime>20130105</datetime></version>\n"
         "  <update>" + update + "</update>\n</result>\n";
}

const std::string kFullUpdate =
    "<download>1</download><asset>3</asset><adment>4</adment><datetime>20130101</datetime>";

std::wstring TempFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return path;
}

}  // namespace

TEST_CASE("a version answer fills the record only with exactly seven values") {
  struct Case {
    const char* name;
    std::string answer;
    bool ok;
    int asset, adment;
  };
  const Case cases[] = {
      {"all seven", ConfigAnswer(kFullUpdate), true, 3, 4},
      {"asset 12abc reads 12",
       ConfigAnswer("<download>1</download><asset>12abc</asset><adment>abc</adment><datetime>d</datetime>"),
       true, 12, 0},
      {"signs and blanks",
       ConfigAnswer("<download>1</download><asset> -7x</asset><adment>+15</adment><datetime>d</datetime>"),
       true, -7, 15},
      {"too large for int is clamped",
       ConfigAnswer("<download>1</download><asset>99999999999</asset><adment>-99999999999</adment>"
                    "<datetime>d</datetime>"),
       true, INT_MAX, INT_MIN},
      {"no download element: six values",
       ConfigAnswer("<asset>3</asset><adment>4</adment><datetime>20130101</datetime>"), false, 0, 0},
      {"a repeated element: eight values", ConfigAnswer(kFullUpdate + "<asset>5</asset>"), false, 0, 0},
      {"no update part at all", ConfigAnswer(""), false, 0, 0},
      {"not XML", "<html><body>502 Bad Gateway</body></html>", false, 0, 0},
      {"empty", "", false, 0, 0},
      {"cut in the middle", ConfigAnswer(kFullUpdate).substr(0, 120), false, 0, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ServiceConfig out;
    out.versionNumber = L"untouched";
    out.updateAsset = 77;
    const bool ok = CServiceClient().ParseConfig(c.answer, out);
    CHECK(ok == c.ok);
    if (c.ok) {
      CHECK(out.versionNumber == L"V2.0");
      CHECK(out.versionUrl == L"http://h/update.zip");
      CHECK(out.versionDatetime == L"20130105");
      CHECK(out.updateAsset == c.asset);
      CHECK(out.updateAdment == c.adment);
    } else {
      CHECK(out.versionNumber == L"untouched");
      CHECK(out.updateAsset == 77);
    }
  }
}

TEST_CASE("Chinese text of a UTF-8 version answer arrives as UTF-16") {
  ServiceConfig out;
  REQUIRE(CServiceClient().ParseConfig(ConfigAnswer(kFullUpdate, "\xE6\xB5\x8B\xE8\xAF\x95\xE7\x89\x88 2.0"), out));
  CHECK(out.versionNumber == L"测试版 2.0");
  CHECK(out.updateDatetime == L"20130101");
}

TEST_CASE("decimal text follows the C library's rule") {
  const struct {
    const wchar_t* text;
    int value;
  } cases[] = {
      {L"12abc", 12}, {L"abc", 0},         {L"", 0},        {L"  42", 42},      {L"\t\n-3", -3},
      {L"+8", 8},     {L"-", 0},           {L"- 5", 0},     {L"0x1F", 0},       {L"2147483647", INT_MAX},
      {L"2147483648", INT_MAX}, {L"-2147483648", INT_MIN}, {L"-2147483649", INT_MIN},
      {L"000000000000000000000123", 123}, {L"99999999999999999999999999", INT_MAX},
  };
  for (const auto& c : cases) {
    CAPTURE(std::string(c.text, c.text + wcslen(c.text)));
    CHECK(DecimalTextToInt(c.text) == c.value);
  }
}

TEST_CASE("text advertisements are paired by position") {
  using List = std::vector<std::wstring>;
  const struct {
    const char* name;
    List texts, urls, expected;
  } cases[] = {
      {"two and two", {L"一", L"二"}, {L"u1", L"u2"}, {L"一", L"u1", L"二", L"u2"}},
      {"more texts", {L"一", L"二", L"三"}, {L"u1", L"u2"}, {L"一", L"u1", L"二", L"u2"}},
      {"more URLs", {L"一"}, {L"u1", L"u2"}, {L"一", L"u1"}},
      {"no URLs", {L"一"}, {}, {}},
      {"nothing", {}, {}, {}},
  };
  for (const auto& c : cases) {
    CAPTURE(std::string(c.name));
    List out = {L"kept"};
    AppendTextAdPairs(c.texts, c.urls, out);
    List expected = {L"kept"};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    CHECK(out == expected);
  }
}

TEST_CASE("the public address is cut out of the echo page") {
  const struct {
    const wchar_t* page;
    const wchar_t* address;  // nullptr: the fallback 123.127.170.N
  } cases[] = {
      {L"<html>您的IP是：[1.2.3.4] 来自：北京市 联通</html>", L"1.2.3.4"},
      {L"[255.255.255.255]", L"255.255.255.255"},
      {L"first [5.6.7.8] then [9.9.9.9]", L"5.6.7.8"},
      {L"您的IP是：[1.2.3.4 来自：北京市", nullptr},  // "[" without "]"
      {L"no brackets 1.2.3.4", nullptr},
      {L"] 1.2.3.4 [", nullptr},
      {L"", nullptr},
      {L"[]", nullptr},
      // What goes between the brackets ends up in a query URL: only an address is taken.
      {L"[1.2.3.4&mac=0]", nullptr},
      {L"[ 1.2.3.4 ]", nullptr},
      {L"[256.1.1.1]", nullptr},
      {L"[1.2.3]", nullptr},
      {L"[1.2.3.4.5]", nullptr},
      {L"[1234.1.1.1]", nullptr},
      {L"[<script>]", nullptr},
  };
  CWanInfo wan;
  for (const auto& c : cases) {
    CAPTURE(std::string(c.page, c.page + wcslen(c.page)));
    const std::wstring ip = wan.ExtractIP(c.page);
    if (c.address) {
      CHECK(ip == c.address);
    } else {
      CHECK(IsFallbackAddress(ip));
    }
  }
}

TEST_CASE("the fallback address covers 1 to 255") {
  const struct {
    unsigned int r;
    const wchar_t* address;
  } cases[] = {
      {0, L"123.127.170.1"},   {1, L"123.127.170.2"},   {254, L"123.127.170.255"},
      {255, L"123.127.170.1"}, {UINT_MAX, L"123.127.170.1"}, {12345, L"123.127.170.106"},
  };
  for (const auto& c : cases) {
    CAPTURE(c.r);
    CHECK(FallbackWanAddress(c.r) == c.address);
  }
}

TEST_CASE("adapter addresses are twelve upper-case hex digits") {
  const unsigned char zero[6] = {};
  const unsigned char some[6] = {0x00, 0x1a, 0x2B, 0xc3, 0xFF, 0x09};
  CHECK(FormatMacAddress(zero) == L"000000000000");
  CHECK(FormatMacAddress(some) == L"001A2BC3FF09");

  const std::wstring mac = CWanInfo().GetMacAddress();
  MESSAGE("adapter address under this Wine: " << std::string(mac.begin(), mac.end()));
  CHECK(mac.size() == 12);
  CHECK(mac.find_first_not_of(L"0123456789ABCDEF") == std::wstring::npos);
}

TEST_CASE("endpoint URLs") {
  const struct {
    std::wstring url, expected;
  } cases[] = {
      {ServiceUrl(L"api.example", kConfigPath), L"http://api.example/x.php?action=config"},
      {ServiceUrl(L"api.example", kAdmentPath), L"http://api.example/x.php?action=GetAdment"},
      {ServiceUrl(L"h", MusicXmlPath(101, L"0123456789abcdef0123456789abcdef0123456")),
       L"http://h/getMusicXML.php?id=101&key=0123456789abcdef0123456789abcdef0123456"},
      {ServiceUrl(L"h", MusicXmlPath(4294967295UL, L"")), L"http://h/getMusicXML.php?id=4294967295&key="},
      {ServiceUrl(L"h", PopQueryPath(L"1.2.3.4", L"001A2BC3FF09")), L"http://h/getPop.php?ip=1.2.3.4&mac=001A2BC3FF09"},
      {ServiceUrl(L"h", PopFallbackPath(L"001A2BC3FF09")), L"http://h/ad/pop.php?admentid=1&mac=001A2BC3FF09"},
      {ServiceUrl(L"h", kIndexPath), L"http://h/index.php"},
      {ServiceUrl(L"h", kSearchPath), L"http://h/search.php"},
      {ServiceUrl(L"w", kSuggestPath), L"http://w/soft/suggest.php"},
      {ServiceUrl(L"ip", kIpEchoPath), L"http://ip/ic.asp"},
  };
  for (const auto& c : cases) CHECK(c.url == c.expected);
}

TEST_CASE("host names from Config.ini: usable ones replace the defaults") {
  const std::wstring ini = TempFolder() + L"halvery_hosts_test.ini";
  const struct {
    const char* content;  // file content; nullptr: no file
    const wchar_t *api, *web, *echo;
  } cases[] = {
      {nullptr, kDefaultApiHost, kDefaultWebHost, kDefaultIpEchoHost},
      {"[VERSION]\r\nAppVersion=V1\r\n", kDefaultApiHost, kDefaultWebHost, kDefaultIpEchoHost},
      {"[SERVICE]\r\nApiHost=api.music.test\r\nWebHost=www.music.test\r\nIpEchoHost=127.0.0.9\r\n",
       L"api.music.test", L"www.music.test", L"127.0.0.9"},
      {"[service]\r\napihost = 10.1.2.3 \r\n", L"10.1.2.3", kDefaultWebHost, kDefaultIpEchoHost},
      {"[SERVICE]\r\nApiHost=\r\nWebHost=http://www.music.test/\r\nIpEchoHost=ip.test:8080\r\n",
       kDefaultApiHost, kDefaultWebHost, kDefaultIpEchoHost},
      {"[SERVICE]\r\nApiHost=a b\r\nWebHost=user@host\r\nIpEchoHost=host/path?x\r\n", kDefaultApiHost,
       kDefaultWebHost, kDefaultIpEchoHost},
      {"[SERVICE]\r\nApiHost=.lead\r\nWebHost=-lead\r\nIpEchoHost=\xE4\xB8\xAD.test\r\n", kDefaultApiHost,
       kDefaultWebHost, kDefaultIpEchoHost},
  };
  for (const auto& c : cases) {
    CAPTURE(c.content ? c.content : "(no file)");
    DeleteFileW(ini.c_str());
    if (c.content) {
      std::ofstream(ini.c_str(), std::ios::binary) << c.content;
    }
    const ServiceHosts hosts = ReadServiceHosts(ini);
    CHECK(hosts.api == c.api);
    CHECK(hosts.web == c.web);
    CHECK(hosts.ipEcho == c.echo);
  }
  std::ofstream(ini.c_str(), std::ios::binary) << "[SERVICE]\r\nApiHost=" << std::string(300, 'a') << "\r\n";
  CHECK(ReadServiceHosts(ini).api == kDefaultApiHost);  // longer than a host name can be
  DeleteFileW(ini.c_str());
}

TEST_CASE("an empty URL fetches nothing") {
  std::string text = "left from before";
  CHECK_FALSE(CUrlFetcher().GetUrlText(text, L""));
  CHECK(text.empty());

  const std::wstring path = TempFolder() + L"halvery_empty_url.bin";
  std::ofstream(path.c_str(), std::ios::binary) << "stored";
  CHECK_FALSE(CUrlFetcher().DownloadUrlToFile(path, L""));
  std::ifstream in(path.c_str(), std::ios::binary);
  CHECK(std::string(std::istreambuf_iterator<char>(in), {}) == "stored");  // nothing stored is lost
  in.close();
  DeleteFileW(path.c_str());
}

TEST_CASE("URLs that are not http fail cleanly") {
  for (const wchar_t* url : {L"not a url", L"http://", L"ftp//x", L"file:///C:/windows/win.ini", L"http://[::1"}) {
    CAPTURE(std::string(url, url + wcslen(url)));
    std::string text;
    CHECK_FALSE(CUrlFetcher().GetUrlText(text, url));
  }
}
