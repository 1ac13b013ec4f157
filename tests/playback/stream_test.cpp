// The player engine on songs from the local stand-in of the music service: playing while the song
// arrives, saving it, and every way a download can go wrong.
#include <doctest/doctest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "EngineHarness.h"
#include "player/common/Globals.h"
#include "player/common/PlayState.h"
#include "player/playback/HttpDownloader.h"
#include "player/playback/MusicPlayer.h"

namespace {

// "http://127.0.0.x/" from the stand-in's helper.
std::wstring ServiceUrl() {
  wchar_t url[256] = {};
  GetEnvironmentVariableW(L"STANDIN_URL", url, 256);
  return url;
}

std::wstring ServiceHost() {
  wchar_t host[256] = {};
  GetEnvironmentVariableW(L"STANDIN_HOST", host, 256);
  return host;
}

// The percentages of the buffering labels, in order; -1 for a label that is not one.
std::vector<int> BufferingPercents(const std::vector<std::wstring>& labels) {
  std::vector<int> percents;
  for (const std::wstring& label : labels) {
    int n = -1;
    if (swscanf(label.c_str(), L"正在缓冲：%d %%", &n) == 1) percents.push_back(n);
  }
  return percents;
}

struct Track {
  TestMainWindow& window;
  CMusicPlayer* player = nullptr;
  std::wstring cache;
  size_t trace = 0;

  Track(TestMainWindow& w, const std::wstring& url, const std::wstring& cachePath) : window(w), cache(cachePath) {
    window.Clear();
    g_bAutoNext = 0;
    trace = TraceSize();
    player = new CMusicPlayer();
    player->Start(window.Handle(), url, url, cachePath);
  }
  ~Track() {
    if (player) StopAndDestroy(player, window);
  }
  bool Traced(const char* text) const { return TraceSince(trace).find(text) != std::string::npos; }
  bool WaitTraced(const char* text, DWORD limitMs = 30000) {
    return window.PumpUntil([&] { return Traced(text); }, limitMs);
  }
  int Stop() {
    int calls = StopAndDestroy(player, window);
    player = nullptr;
    return calls;
  }
};

}  // namespace

TEST_CASE("a song from the service starts after 40960 bytes, plays while it arrives and is saved complete") {
  REQUIRE_FALSE(ServiceUrl().empty());
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::string source = ReadFileBytes(FixturePath(L"tone5s_128k.mp3"));
  // Dripped at 25 KB/s, so that playback begins long before the song is complete.
  Track t(window, ServiceUrl() + L"music/tone5s.mp3?mode=drip&rate=25000", folder + L"\\摇篮曲.mp3");
  EngineEvents& e = window.Events();
  REQUIRE(window.PumpUntil([&] { return e.ended > 0; }, 60000));

  CHECK(e.autoNextAtEnd == 1);
  REQUIRE(e.totals.size() == 1);
  CHECK(e.totals[0] == (long long)source.size());
  REQUIRE_FALSE(e.progress.empty());
  CHECK(e.progress.back() == (long long)source.size());
  for (size_t i = 1; i < e.progress.size(); ++i) CHECK(e.progress[i] > e.progress[i - 1]);
  REQUIRE(e.lengths.size() == 1);
  CHECK(e.lengths[0] == 5);
  CHECK(e.progressAtFirstLength >= 40960);
  CHECK(e.progressAtFirstLength < (long long)source.size());

  REQUIRE_FALSE(e.labels.empty());
  CHECK(e.labels.front() == L"正在缓冲……");
  auto title = std::find(e.labels.begin(), e.labels.end(), L"摇篮曲");
  REQUIRE(title != e.labels.end());
  // While the first bytes arrive the percentage only grows, and never shows 100.
  std::vector<int> percents = BufferingPercents(std::vector<std::wstring>(e.labels.begin(), title));
  REQUIRE(percents.size() >= 2);
  for (size_t i = 0; i < percents.size(); ++i) {
    CHECK(percents[i] >= 0);
    CHECK(percents[i] <= 99);
    if (i > 0) CHECK(percents[i] >= percents[i - 1]);
  }

  CHECK(ReadFileBytes(t.cache) == source);
  CHECK(t.Stop() == 1);
}

TEST_CASE("what the service sends beyond its Content-Length is dropped; the saved song is exact") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  Track t(window, ServiceUrl() + L"music/tone5s.mp3?mode=overlong&extra=5000", folder + L"\\晨曲.mp3");
  REQUIRE(window.PumpUntil([&] { return FileExists(t.cache); }, 30000));
  CHECK(ReadFileBytes(t.cache) == ReadFileBytes(FixturePath(L"tone5s_128k.mp3")));
  CHECK(t.Stop() == 1);
}

TEST_CASE("a body under 40960 bytes is saved but not played") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  Track t(window, ServiceUrl() + L"music/short1s.mp3", folder + L"\\小星星.mp3");
  REQUIRE(window.PumpUntil([&] { return FileExists(t.cache); }, 30000));
  CHECK(ReadFileBytes(t.cache) == ReadFileBytes(FixturePath(L"short1s_128k.mp3")));
  window.PumpFor(1500);
  CHECK(window.Events().lengths.empty());
  CHECK(window.Events().ended == 0);
  CHECK(t.Stop() == 1);
  CHECK(window.Events().ended == 0);
}

TEST_CASE("answers without a usable length are refused: nothing is written, nothing saved, nothing played") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  const wchar_t* const queries[] = {
      L"music/tone5s.mp3?mode=nolength",
      L"music/tone5s.mp3?mode=chunked",
      L"music/tone5s.mp3?mode=error&status=404",
      L"music/tone5s.mp3?mode=error&status=500",
      L"music/nosuchsong.mp3",
      L"music/tone5s.mp3?mode=hugelength",
      L"music/tone5s.mp3?mode=hugelength&length=268435457",
      L"music/tone5s.mp3?mode=bigheader",
  };
  for (const wchar_t* query : queries) {
    CAPTURE(Utf8(query));
    Track t(window, ServiceUrl() + query, folder + L"\\没有长度.mp3");
    CHECK(t.WaitTraced(u8"数据接收失败"));
    CHECK(window.Events().totals.empty());
    CHECK(t.player->Buffer().Total() == 0);
    CHECK(t.player->Buffer().WritePosition() == 0);
    CHECK(ReadFileBytes(g_strTempMusicPath).empty());
    CHECK_FALSE(FileExists(t.cache));
    CHECK(t.Stop() == 1);
    CHECK(window.Events().lengths.empty());
    CHECK(window.Events().ended == 0);
  }
}

TEST_CASE("URLs that never reach the service: the scheme in capitals, a port, an unknown host") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  const std::wstring urls[] = {
      L"HTTP://" + ServiceHost() + L"/music/tone5s.mp3",
      L"http://" + ServiceHost() + L":80/music/tone5s.mp3",  // even the right port: it is part of the host
      L"http://" + ServiceHost() + L":8080/music/tone5s.mp3",
      L"http:///music/tone5s.mp3",
  };
  for (const std::wstring& url : urls) {
    CAPTURE(Utf8(url));
    Track t(window, url, folder + L"\\连不上.mp3");
    CHECK(t.WaitTraced(u8"不能与服务器建立连接"));
    CHECK(window.Events().totals.empty());
    CHECK(t.Stop() == 1);
    CHECK_FALSE(FileExists(t.cache));
  }
}

TEST_CASE("a connection cut short keeps what arrived, plays it, saves nothing and moves on") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  // 102400 bytes: 6.4 seconds of a song of five and a half minutes.
  Track t(window, ServiceUrl() + L"music/mid5m.mp3?mode=close&after=102400", folder + L"\\半途断线.mp3");
  EngineEvents& e = window.Events();
  CHECK(t.WaitTraced(u8"连接已断开或用户停止"));
  CHECK(t.player->Buffer().WritePosition() == 102400);
  REQUIRE(e.totals.size() == 1);
  CHECK(e.totals[0] == 5243290);
  CHECK(e.progress.back() == 102400);
  CHECK_FALSE(FileExists(t.cache));
  // What arrived plays to its end; then the next song is due instead of a buffering pause forever.
  REQUIRE(window.PumpUntil([&] { return e.ended > 0; }, 60000));
  CHECK(e.autoNextAtEnd == 1);
  REQUIRE_FALSE(e.positions.empty());
  CHECK(e.positions.back() >= 5);
  CHECK(e.positions.back() <= 7);
  CHECK(t.Stop() == 1);
}

TEST_CASE("safeExit releases a download blocked in a receive at once") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  struct Case { const wchar_t* query; bool waitForBody; };
  const Case cases[] = {
      {L"music/tone5s.mp3?mode=stall&seconds=120", false},  // blocked in the first receive
      {L"music/mid5m.mp3?mode=drip&rate=2000", true},        // blocked in the body loop
  };
  for (const Case& c : cases) {
    CAPTURE(Utf8(c.query));
    Track t(window, ServiceUrl() + c.query, folder + L"\\停止.mp3");
    if (c.waitForBody) {
      REQUIRE(window.PumpUntil([&] { return !window.Events().progress.empty(); }, 30000));
    } else {
      window.PumpFor(1000);
    }
    DWORD start = GetTickCount();
    int result = t.player->safeExit();
    MESSAGE("safeExit took " << (GetTickCount() - start) << " ms");
    CHECK(result == 1);  // the first call: both threads had ended
    delete t.player;
    t.player = nullptr;
    CHECK_FALSE(FileExists(folder + L"\\停止.mp3"));
  }
}

TEST_CASE("a download slower than playback pauses with the buffering percentage and resumes") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  // 10000 bytes/s against 16000 bytes/s of playback: the song runs dry after a few seconds.
  Track t(window, ServiceUrl() + L"music/mid5m.mp3?mode=drip&rate=10000", folder + L"\\慢慢下载.mp3");
  EngineEvents& e = window.Events();
  auto titleAt = [&](size_t from) {
    for (size_t i = from; i < e.labels.size(); ++i)
      if (e.labels[i] == L"慢慢下载") return i;
    return e.labels.size();
  };
  auto bufferingAt = [&](size_t from) {
    for (size_t i = from; i < e.labels.size(); ++i)
      if (e.labels[i].rfind(L"正在缓冲：", 0) == 0) return i;
    return e.labels.size();
  };
  // Title once the stream is ready, then a buffering pause, then the title again on resuming.
  REQUIRE(window.PumpUntil([&] {
    size_t title = titleAt(0);
    size_t pause = title < e.labels.size() ? bufferingAt(title + 1) : e.labels.size();
    return pause < e.labels.size() && titleAt(pause + 1) < e.labels.size();
  }, 90000));
  size_t pause = bufferingAt(titleAt(0) + 1);
  size_t resumed = titleAt(pause + 1);
  for (int percent : BufferingPercents(std::vector<std::wstring>(e.labels.begin() + (long)pause,
                                                                 e.labels.begin() + (long)resumed))) {
    CHECK(percent >= 0);
    CHECK(percent <= 99);
  }
  // Playback went on after resuming: the position moves past where it stood during the pause.
  REQUIRE(e.positionsAtLabel[resumed] > 0);
  unsigned held = e.positions[e.positionsAtLabel[resumed] - 1];
  REQUIRE(window.PumpUntil([&] { return e.positions.back() >= held + 2; }, 30000));
  CHECK(e.ended == 0);
  CHECK(t.Stop() == 1);
}

TEST_CASE("a seek beyond the data received ends the track once the stream runs dry") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  Track t(window, ServiceUrl() + L"music/mid5m.mp3?mode=drip&rate=65536", folder + L"\\宝宝晚安曲.mp3");
  EngineEvents& e = window.Events();
  REQUIRE(window.PumpUntil([&] { return !e.positions.empty() && e.positions.back() >= 1; }, 30000));
  REQUIRE(e.lengths.size() == 1);
  t.player->Seek(300);
  REQUIRE(window.PumpUntil([&] { return e.ended > 0; }, 30000));
  CHECK(e.autoNextAtEnd == 1);
  CHECK(e.labels.back() == L"");
  CHECK(e.positions.back() >= 300);
  CHECK(e.positions.back() < (unsigned)e.lengths[0]);
  CHECK_FALSE(FileExists(t.cache));
  CHECK(t.Stop() == 1);
}

TEST_CASE("a big song arrives whole and the next play finds it locally") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::wstring cache = folder + L"\\宝宝晚安曲.mp3";
  {
    Track t(window, ServiceUrl() + L"music/mid5m.mp3", cache);
    REQUIRE(window.PumpUntil([&] { return FileExists(cache); }, 60000));
    CHECK(t.Stop() == 1);
  }
  // The service's song is 65 copies of one 5-second song (made from the fixture when the stand-in
  // first started, so compared with itself rather than with today's fixture).
  std::string saved = ReadFileBytes(cache);
  const size_t unit = ReadFileBytes(FixturePath(L"tone5s_128k.mp3")).size();
  REQUIRE(saved.size() == 65 * unit);
  CHECK(saved.compare(0, 3, "\xff\xfb\x90") == 0);  // an MPEG-1 Layer III frame at 128 kbps
  for (size_t copy = 1; copy < 65; ++copy) CHECK(saved.compare(copy * unit, unit, saved, 0, unit) == 0);
  Track local(window, cache, cache);
  REQUIRE(window.PumpUntil([&] { return !window.Events().lengths.empty(); }, 30000));
  CHECK(window.Events().lengths[0] == 327);
  CHECK(window.Events().totals.empty());
}

// Run by full_backlog_server.py, whose server never answers a connection request: the download
// thread is blocked in connect when safeExit comes.
TEST_CASE("safeExit releases a download blocked in connect" * doctest::skip()) {
  wchar_t url[512] = {};
  REQUIRE(GetEnvironmentVariableW(L"BLOCKED_URL", url, 512) > 0);
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  Track t(window, url, folder + L"\\连不上.mp3");
  window.PumpFor(1000);
  CHECK_FALSE(t.Traced(u8"不能与服务器建立连接"));  // still connecting
  DWORD start = GetTickCount();
  int result = t.player->safeExit();
  MESSAGE("safeExit took " << (GetTickCount() - start) << " ms");
  CHECK(result == 1);
  delete t.player;
  t.player = nullptr;
  CHECK(t.Traced(u8"不能与服务器建立连接"));
  CHECK(window.Events().totals.empty());
}
