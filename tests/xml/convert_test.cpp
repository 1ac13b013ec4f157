// Character sets: CConvert, Utf8ToCString, and documents of each declared encoding reaching
// UTF-16 through AppendElementText. Runs with the Chinese ANSI code page (936).
#include <doctest/doctest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "XmlTestHelpers.h"
#include "platform/Text.h"
#include "player/online/Convert.h"

using WStrings = std::vector<std::wstring>;

namespace {

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }

// The texts at the path as the program sees them: through AppendElementText.
WStrings SongTexts(const std::string& doc, const std::string& path) {
  CXML xml;
  xml.Load(doc);
  xml.Parse();
  WStrings texts;
  xml.Query(path, AppendElementText, &texts);
  return texts;
}

std::string SongDocument(const std::string& declaration, const std::string& name) {
  return declaration +
         "\r\n<result>\r\n  <mp3>\r\n    <musicName>" + name +
         "</musicName>\r\n    <musicSize>3:45</musicSize>\r\n    <url>\r\n"
         "      <item>http://127.0.0.1/song/12.mp3</item>\r\n    </url>\r\n  </mp3>\r\n</result>\r\n";
}

}  // namespace

TEST_CASE("the tests run with the Chinese ANSI code page") { REQUIRE(GetACP() == 936); }

TEST_CASE("encoding names: UTF-8 in any case and gb2312 are known, others are not") {
  struct Case {
    const char* name;
    bool known;
    UINT source, target;
  };
  const Case cases[] = {
      {"utf-8", true, CP_UTF8, 936},  {"UTF-8", true, CP_UTF8, 936}, {"Utf-8", true, CP_UTF8, 936},
      {"gb2312", true, 936, 936},     {"GB2312", true, 936, 936},    {"utf8", false, 0, 0},
      {"gbk", false, 0, 0},           {"GBK", false, 0, 0},          {"", false, 0, 0},
      {"utf-16", false, 0, 0},        {" utf-8", false, 0, 0},       {"big5", false, 0, 0},
  };
  CConvert convert;
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    UINT source = 0, target = 0;
    CHECK(convert.GetCodePages(c.name, source, target) == c.known);
    if (c.known) {
      CHECK(source == c.source);
      CHECK(target == c.target);
    }
  }
}

TEST_CASE("ConvertCharset re-encodes UTF-8 to code page 936 and leaves the rest") {
  const std::wstring song = L"胎教音乐 月光曲";
  struct Case {
    const char* what;
    std::string input;
    const char* encoding;
    std::string expected;
  };
  const Case cases[] = {
      {"empty, known encoding", "", "utf-8", ""},
      {"empty, unknown encoding", "", "utf8", ""},
      {"ASCII", "<r>abc</r>", "utf-8", "<r>abc</r>"},
      {"Chinese UTF-8", Utf8(song), "utf-8", Gbk(song)},
      {"Chinese UTF-8, name in capitals", Utf8(song), "UTF-8", Gbk(song)},
      {"936 text declared gb2312 stays", Gbk(song), "gb2312", Gbk(song)},
      {"936 text declared GB2312 stays", Gbk(song), "GB2312", Gbk(song)},
      {"unknown name utf8: unchanged", Utf8(song), "utf8", Utf8(song)},
      {"unknown name gbk: unchanged", Gbk(song), "gbk", Gbk(song)},
      {"a character 936 lacks", Utf8(L"a\u0E01b"), "utf-8", "a?b"},
      {"a zero byte inside", std::string("a\0b", 3), "utf-8", std::string("a\0b", 3)},
      {"a lone lead byte among good text", Utf8(L"月") + "\xE6" + Utf8(L"光"), "utf-8",
       Gbk(L"月") + "?" + Gbk(L"光")},
  };
  CConvert convert;
  for (const Case& c : cases) {
    CAPTURE(std::string(c.what));
    CHECK(convert.ConvertCharset(c.input.data(), c.input.size(), c.encoding) == c.expected);
  }
  CHECK(convert.ConvertCharset(nullptr, 0, "utf-8").empty());
}

TEST_CASE("MultiToWide and WideToMulti terminate, report the length, and fail cleanly") {
  CConvert convert;
  SUBCASE("a conversion that fits") {
    wchar_t wide[8];
    int capacity = 8;
    const std::string utf8 = Utf8(L"月光ab");
    CHECK(convert.MultiToWide(CP_UTF8, utf8.data(), (int)utf8.size(), wide, capacity) == 0);
    CHECK(capacity == 4);
    CHECK(std::wstring(wide) == L"月光ab");

    char multi[8];
    int bytes = 8;
    CHECK(convert.WideToMulti(936, wide, 4, multi, bytes) == 0);
    CHECK(bytes == 6);
    CHECK(std::string(multi) == Gbk(L"月光ab"));
  }
  SUBCASE("output exactly filling the buffer still leaves room for the terminator") {
    wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
    int capacity = 4;
    CHECK(convert.MultiToWide(CP_UTF8, "abc", 3, wide, capacity) == 0);
    CHECK(capacity == 3);
    CHECK(wide[3] == L'\0');
  }
  SUBCASE("too small, empty or missing buffers give an error code and an empty output") {
    struct Case {
      const char* what;
      const char* input;
      int length;
      int capacity;
      DWORD error;
    };
    const Case cases[] = {
        {"output does not fit", "abcd", 4, 4, ERROR_INSUFFICIENT_BUFFER},
        {"empty input", "", 0, 4, ERROR_INVALID_PARAMETER},
        {"null input", nullptr, 3, 4, ERROR_INVALID_PARAMETER},
        {"no room at all", "a", 1, 0, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
      CAPTURE(std::string(c.what));
      wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
      int capacity = c.capacity;
      CHECK(convert.MultiToWide(CP_UTF8, c.input, c.length, wide, capacity) == c.error);
      CHECK(capacity == 0);
      if (c.capacity > 0) CHECK(wide[0] == L'\0');

      char multi[4] = {'x', 'x', 'x', 'x'};
      int bytes = c.capacity;
      const std::wstring w = c.input ? std::wstring(c.input, c.input + c.length) : std::wstring();
      CHECK(convert.WideToMulti(936, c.input ? w.c_str() : nullptr, c.length, multi, bytes) == c.error);
      CHECK(bytes == 0);
      if (c.capacity > 0) CHECK(multi[0] == '\0');
    }
    wchar_t wide[2];
    int capacity = 2;
    CHECK(convert.MultiToWide(CP_UTF8, "a", 1, nullptr, capacity) == ERROR_INSUFFICIENT_BUFFER);
    CHECK(convert.MultiToWide(CP_UTF8, "a", 1, wide, capacity) == 0);
  }
}

TEST_CASE("Utf8ToCString decodes up to the first zero byte") {
  struct Case {
    std::string input;
    std::wstring expected;
  };
  const Case cases[] = {
      {"", L""},
      {"abc", L"abc"},
      {Utf8(L"胎教音乐"), L"胎教音乐"},
      {Utf8(L"\U0001F600 ok"), L"\U0001F600 ok"},
      {std::string("a\0b", 3), L"a"},
      {"http://127.0.0.1/ad/pop.php?admentid=1", L"http://127.0.0.1/ad/pop.php?admentid=1"},
  };
  for (const Case& c : cases) {
    CAPTURE(c.input);
    CHECK(Utf8ToCString(c.input) == c.expected);
    CHECK(Utf8ToCString(c.input.c_str()) == c.expected);
  }
  CHECK(Utf8ToCString(static_cast<const char*>(nullptr)).empty());
  CHECK(Utf8ToCString("\xFF").size() == 1);  // an invalid byte becomes one replacement character
}

TEST_CASE("service and skin documents reach UTF-16 through AppendElementText") {
  const std::wstring name = L"胎教音乐 月光曲（钢琴版）";
  struct Case {
    const char* what;
    std::string doc;
    std::wstring expected;
  };
  const Case cases[] = {
      {"UTF-8 service answer", SongDocument("<?xml version=\"1.0\" encoding=\"utf-8\"?>", Utf8(name)), name},
      {"UTF-8 in capitals", SongDocument("<?xml version='1.0' encoding='UTF-8'?>", Utf8(name)), name},
      {"UTF-8 with a byte-order mark",
       SongDocument("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>", Utf8(name)), name},
      {"declared GB2312", SongDocument("<?xml version=\"1.0\" encoding=\"GB2312\"?>", Gbk(name)), name},
      {"declared gb2312", SongDocument("<?xml version=\"1.0\" encoding=\"gb2312\"?>", Gbk(name)), name},
      {"no declaration, 936 text", SongDocument("", Gbk(name)), name},
      {"unknown name gbk, 936 text passes unchanged", SongDocument("<?xml version=\"1.0\" encoding=\"gbk\"?>", Gbk(name)),
       name},
      {"a character 936 lacks", SongDocument("<?xml version=\"1.0\" encoding=\"utf-8\"?>", Utf8(L"月\u0E01光")),
       L"月?光"},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.what));
    CHECK(SongTexts(c.doc, R"(result\mp3\musicName)") == WStrings{c.expected});
    CHECK(SongTexts(c.doc, R"(result\mp3\musicSize)") == WStrings{L"3:45"});
    CHECK(SongTexts(c.doc, R"(result\mp3\url\item)") == WStrings{L"http://127.0.0.1/song/12.mp3"});
  }

  // "utf8" is not a name the reader knows: the UTF-8 bytes pass unchanged and read as 936 text.
  const std::string utf8Name = Utf8(name);
  CHECK(SongTexts(SongDocument("<?xml version=\"1.0\" encoding=\"utf8\"?>", utf8Name), R"(result\mp3\musicName)") ==
        WStrings{ThreadAnsiToWide(utf8Name)});
}

TEST_CASE("AppendElementText appends in order, returns 0 and tolerates nulls") {
  CXML xml;
  xml.Load("<?xml version=\"1.0\" encoding=\"utf-8\"?><Skin><MainDlg><img>default\\" + Utf8(L"背景") +
           ".png</img><img>default\\play.png</img></MainDlg><AdDlg><img>ad\\x.png</img></AdDlg></Skin>");
  CHECK(xml.Parse());
  WStrings list{L"kept"};
  xml.Query(R"(Skin\MainDlg\img)", AppendElementText, &list);
  xml.Query(R"(Skin\Setting\img)", AppendElementText, &list);
  xml.Query(R"(Skin\AdDlg\img)", AppendElementText, &list);
  CHECK(list == WStrings{L"kept", L"default\\背景.png", L"default\\play.png", L"ad\\x.png"});

  XMLNode node;
  node.m_element.SetText("t");
  CHECK(AppendElementText(&list, &node) == 0);
  CHECK(list.back() == L"t");
  CHECK(AppendElementText(nullptr, &node) == 0);
  CHECK(AppendElementText(&list, nullptr) == 0);
  CHECK(list.size() == 5);
}
