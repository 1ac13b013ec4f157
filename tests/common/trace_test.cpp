#include <doctest/doctest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "platform/Text.h"
#include "player/common/Trace.h"
#include "player/common/TraceFormat.h"

TEST_CASE("trace prefix shifts the hour by +8 modulo 24 and keeps the UTC date") {
  struct Case { int y, mo, d, h, mi, s; const char* expected; };
  const Case cases[] = {
      {2026, 12, 11, 0, 0, 0, "2026-12-11 08:00:00: "},
      {2026, 12, 11, 15, 59, 59, "2026-12-11 23:59:59: "},
      {2026, 12, 11, 16, 0, 0, "2026-12-11 00:00:00: "},   // past midnight in China, date unchanged
      {2026, 12, 31, 23, 59, 59, "2026-12-31 07:59:59: "}, // year end: date still not shifted
      {2027, 1, 1, 0, 0, 1, "2027-01-01 08:00:01: "},
      {999, 2, 3, 4, 5, 6, "0999-02-03 12:05:06: "},
  };
  for (const Case& c : cases) {
    CAPTURE(c.expected);
    CHECK(FormatTracePrefix(c.y, c.mo, c.d, c.h, c.mi, c.s) == c.expected);
  }
}

TEST_CASE("trace lines are appended to the log file next to the program") {
  std::wstring path = TraceFilePath();
  DeleteFileW(path.c_str());
  Trace(L"第一行");
  Trace(std::wstring(L"second line"));
  std::ifstream in(WideToUtf8(path).c_str(), std::ios::binary);  // the test folder is ASCII
  REQUIRE(in.good());
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  CHECK(text.find(": \xE7\xAC\xAC\xE4\xB8\x80\xE8\xA1\x8C\r\n") != std::string::npos);
  CHECK(text.find(": second line\r\n") != std::string::npos);
  CHECK(text.size() > 2 * 21);
  CHECK(text[4] == '-');
  CHECK(text[19] == ':');
}
