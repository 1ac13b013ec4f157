// DownloadUrlToFile streams a 20 MB song through its one buffer: the process's memory must not grow
// with the body. A program of its own, so that its peak working set reflects this download only.
#include <doctest/doctest.h>
#include <windows.h>
#include <psapi.h>

#include <fstream>
#include <string>

#include "player/online/UrlFetcher.h"

namespace {

std::wstring StandinUrl(const std::wstring& pathAndQuery) {
  wchar_t addr[64] = {};
  GetEnvironmentVariableW(L"STANDIN_ADDR", addr, 64);
  return std::wstring(L"http://") + addr + L"/" + pathAndQuery;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

PROCESS_MEMORY_COUNTERS_EX Memory() {
  PROCESS_MEMORY_COUNTERS_EX m = {};
  m.cb = sizeof(m);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof(m));
  return m;
}

}  // namespace

TEST_CASE("DownloadUrlToFile streams 20 MB without holding it in memory") {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"halvery_download_20m.mp3";
  const std::string unit = ReadFileBytes(L"" HALVERY_FIXTURE_DIR "/tone5s_128k.mp3");
  REQUIRE(unit.size() == 80666);

  // A first small download loads everything the Internet library needs, so the figures below
  // measure the streaming only.
  REQUIRE(CUrlFetcher().DownloadUrlToFile(path, StandinUrl(L"music/tone5s.mp3")));
  const PROCESS_MEMORY_COUNTERS_EX before = Memory();
  const DWORD start = GetTickCount();
  const bool ok = CUrlFetcher().DownloadUrlToFile(path, StandinUrl(L"music/big20m.mp3"));
  const DWORD elapsed = GetTickCount() - start;
  const PROCESS_MEMORY_COUNTERS_EX after = Memory();
  CHECK(ok);

  const double mb = 1024.0 * 1024.0;
  MESSAGE("20 MB download: " << elapsed << " ms; peak working set " << before.PeakWorkingSetSize / mb << " -> "
                             << after.PeakWorkingSetSize / mb << " MB; peak commit " << before.PeakPagefileUsage / mb
                             << " -> " << after.PeakPagefileUsage / mb << " MB");
  // A body held in memory would add 20 MB to both peaks.
  const SIZE_T limit = 4 * 1024 * 1024;
  CHECK(after.PeakWorkingSetSize - before.PeakWorkingSetSize < limit);
  CHECK(after.PeakPagefileUsage - before.PeakPagefileUsage < limit);

  const std::string file = ReadFileBytes(path);
  CHECK(file.size() == unit.size() * 260);
  bool same = file.size() == unit.size() * 260;
  for (size_t i = 0; same && i < 260; ++i) same = file.compare(i * unit.size(), unit.size(), unit) == 0;
  CHECK(same);
  DeleteFileW(path.c_str());
}
