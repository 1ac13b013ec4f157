// Benchmark of the player engine (not a test: it prints figures and checks nothing).
//
//   playback_engine_bench.exe start-local <song>      median of 20: Start -> first buffer to the device
//   playback_engine_bench.exe start-http <url>        the same for a song from the service
//   playback_engine_bench.exe cpu <song> <seconds>    CPU seconds per second of playback
//   playback_engine_bench.exe download <url>          throughput of a whole download
//   playback_engine_bench.exe memory <url> <seconds>  peak working set while the song plays
// Songs are Windows paths; URLs come from the stand-in. Run through tools/bench_engine.sh.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "audio/AudioPlayer.h"
#include "player/common/Globals.h"
#include "player/playback/MusicPlayer.h"

namespace {

double Seconds(const FILETIME& t) {
  ULARGE_INTEGER v;
  v.LowPart = t.dwLowDateTime;
  v.HighPart = t.dwHighDateTime;
  return v.QuadPart / 1e7;
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Seconds(kernel) + Seconds(user);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n == 0 ? 0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

std::wstring CachePathFor(const std::wstring& folder, const std::wstring& source) {
  return source.rfind(L"http", 0) == 0 ? folder + L"\\测试歌曲.mp3" : source;
}

// Start -> the first decoded buffer handed to the sound device, in milliseconds; -1 on a failure.
double StartToFirstBuffer(TestMainWindow& window, const std::wstring& folder, const std::wstring& source) {
  DeleteFileW((folder + L"\\测试歌曲.mp3").c_str());
  window.Clear();
  CMusicPlayer* player = new CMusicPlayer();
  audio::StreamFigures figures = {};
  std::uint64_t start = audio::MonotonicMicroseconds();
  player->Start(window.Handle(), source, source, CachePathFor(folder, source));
  bool ok = window.PumpUntil(
      [&] { return audio::GetStreamFigures(player->AudioInstance(), &figures) && figures.firstBufferUs != 0; }, 30000);
  StopAndDestroy(player, window);
  return ok ? (figures.firstBufferUs - start) / 1000.0 : -1;
}

int StartLatency(const std::wstring& folder, const std::wstring& source, const char* what) {
  TestMainWindow window;
  std::vector<double> runs;
  for (int i = 0; i < 20; ++i) {
    double ms = StartToFirstBuffer(window, folder, source);
    if (ms < 0) {
      std::printf("%s: run %d did not start\n", what, i + 1);
      return 1;
    }
    runs.push_back(ms);
  }
  std::printf("%s: Start -> first buffer to the device, median of 20: %.1f ms (min %.1f, max %.1f)\n", what,
              Median(runs), *std::min_element(runs.begin(), runs.end()), *std::max_element(runs.begin(), runs.end()));
  return 0;
}

int CpuPerSecond(const std::wstring& folder, const std::wstring& source, int seconds) {
  TestMainWindow window;
  CMusicPlayer* player = new CMusicPlayer();
  player->Start(window.Handle(), source, source, CachePathFor(folder, source));
  EngineEvents& e = window.Events();
  if (!window.PumpUntil([&] { return !e.positions.empty() && e.positions.back() >= 1; }, 30000)) {
    std::printf("cpu: the song did not start\n");
    return 1;
  }
  double cpu0 = ProcessCpuSeconds();
  ULONGLONG wall0 = GetTickCount64();
  window.PumpFor((DWORD)seconds * 1000);
  double cpu = ProcessCpuSeconds() - cpu0;
  double wall = (GetTickCount64() - wall0) / 1000.0;
  std::printf("cpu: %.4f CPU seconds per second of playback (%.2f s CPU over %.1f s, whole test process)\n",
              cpu / wall, cpu, wall);
  StopAndDestroy(player, window);
  return 0;
}

int DownloadThroughput(const std::wstring& folder, const std::wstring& url) {
  TestMainWindow window;
  std::wstring cache = folder + L"\\测试歌曲.mp3";
  std::vector<double> rates;
  for (int i = 0; i < 3; ++i) {
    DeleteFileW(cache.c_str());
    window.Clear();
    EngineEvents& e = window.Events();
    CMusicPlayer* player = new CMusicPlayer();
    ULONGLONG start = GetTickCount64();
    player->Start(window.Handle(), url, url, cache);
    bool done = window.PumpUntil(
        [&] { return !e.totals.empty() && !e.progress.empty() && e.progress.back() == e.totals[0]; }, 300000);
    double seconds = (GetTickCount64() - start) / 1000.0;
    long long total = e.totals.empty() ? 0 : e.totals[0];
    window.PumpUntil([&] { return FileExists(cache); }, 60000);
    StopAndDestroy(player, window);
    if (!done) {
      std::printf("download: run %d did not complete\n", i + 1);
      return 1;
    }
    rates.push_back(total / 1048576.0 / seconds);
    std::printf("download: %.1f MiB in %.2f s = %.1f MiB/s\n", total / 1048576.0, seconds, rates.back());
  }
  std::printf("download: median of 3: %.1f MiB/s (Start -> last byte in the buffer, playing meanwhile)\n",
              Median(rates));
  return 0;
}

int PeakMemory(const std::wstring& folder, const std::wstring& url, int seconds) {
  TestMainWindow window;
  PROCESS_MEMORY_COUNTERS before = {};
  before.cb = sizeof before;
  GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
  CMusicPlayer* player = new CMusicPlayer();
  player->Start(window.Handle(), url, url, folder + L"\\测试歌曲.mp3");
  EngineEvents& e = window.Events();
  window.PumpUntil([&] { return !e.positions.empty() && e.positions.back() >= 1; }, 30000);
  window.PumpFor((DWORD)seconds * 1000);
  PROCESS_MEMORY_COUNTERS during = {};
  during.cb = sizeof during;
  GetProcessMemoryInfo(GetCurrentProcess(), &during, sizeof during);
  long long total = e.totals.empty() ? 0 : e.totals[0];
  StopAndDestroy(player, window);
  std::printf("memory: song of %.1f MiB: peak working set %.1f MiB (%.1f MiB before the song; now %.1f MiB)\n",
              total / 1048576.0, during.PeakWorkingSetSize / 1048576.0, before.WorkingSetSize / 1048576.0,
              during.WorkingSetSize / 1048576.0);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: playback_engine_bench start-local|start-http|cpu|download|memory <song> [seconds]\n");
    return 2;
  }
  std::wstring mode = argv[1];
  std::wstring source = argv[2];
  int seconds = argc > 3 ? _wtoi(argv[3]) : 10;
  std::wstring folder = PrepareSongFolder();
  if (mode == L"start-local") return StartLatency(folder, source, "local song");
  if (mode == L"start-http") return StartLatency(folder, source, "song from the service");
  if (mode == L"cpu") return CpuPerSecond(folder, source, seconds);
  if (mode == L"download") return DownloadThroughput(folder, source);
  if (mode == L"memory") return PeakMemory(folder, source, seconds);
  std::printf("unknown mode\n");
  return 2;
}
