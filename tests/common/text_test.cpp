#include <doctest/doctest.h>
#include <windows.h>

#include "platform/Text.h"

TEST_CASE("tests run with the Chinese ANSI code page") {
  CHECK(GetACP() == 936);
}

TEST_CASE("thread ANSI conversions round-trip GBK text") {
  std::wstring name = L"胎教音乐 song's";
  std::string gbk = WideToThreadAnsi(name);
  CHECK(gbk == "\xCC\xA5\xBD\xCC\xD2\xF4\xC0\xD6 song's");
  CHECK(ThreadAnsiToWide(gbk) == name);
  CHECK(ThreadAnsiToWide(static_cast<const char*>(nullptr)).empty());
  CHECK(WideToThreadAnsi(L"").empty());
  // A character outside GBK comes back as the code page's replacement.
  CHECK(ThreadAnsiToWide(WideToThreadAnsi(L"a\u0E01b")) == L"a?b");        // Thai letter
  CHECK(ThreadAnsiToWide(WideToThreadAnsi(L"\U0001F600")) == L"??");      // one per surrogate
}

TEST_CASE("StrFormat keeps the Windows meaning of %s") {
  CHECK(StrFormat(L"%s\\music.mp3", L"C:\\App") == L"C:\\App\\music.mp3");
  CHECK(StrFormat(L"%02d:%02d", 3, 7) == L"03:07");
  CHECK(StrFormatA("%s[%d]", "SQLITE_ERROR", 1) == "SQLITE_ERROR[1]");
  std::wstring longText(5000, L'x');
  CHECK(StrFormat(L"<%s>", longText.c_str()).size() == 5002);
}
