// A service that accepts the connection and then says nothing must not hold the calling thread:
// the stand-in stays silent for 600 s, longer than this test's CTest time limit, so only our own
// receive time-out lets the call return. A program of its own, so it waits alongside other tests.
#include <doctest/doctest.h>
#include <windows.h>

#include <string>

#include "player/online/UrlFetcher.h"

TEST_CASE("a silent service fails after the receive time-out") {
  wchar_t addr[64] = {};
  GetEnvironmentVariableW(L"STANDIN_ADDR", addr, 64);
  const std::wstring url = std::wstring(L"http://") + addr + L"/x.php?action=config&mode=stall&seconds=600";
  const DWORD start = GetTickCount();
  std::string text = "from before";
  CHECK_FALSE(CUrlFetcher().GetUrlText(text, url));
  CHECK(text.empty());
  MESSAGE("silent service: GetUrlText gave up after " << GetTickCount() - start << " ms");
}
