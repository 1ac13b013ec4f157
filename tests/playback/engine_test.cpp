// The player engine on local song files: real MP3s through our audio player into the sound device.
#include <doctest/doctest.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "EngineHarness.h"
#include "player/common/PlayState.h"
#include "player/playback/MusicPlayer.h"

namespace {

// A long song made of whole copies of a fixture (each copy ends on a frame boundary).
std::wstring MakeLongSong(const std::wstring& folder, int copies) {
  std::string unit = ReadFileBytes(FixturePath(L"tone5s_128k.mp3"));
  std::string song;
  for (int i = 0; i < copies; ++i) song += unit;
  std::wstring path = folder + L"\\宝宝晚安曲.mp3";
  WriteFileBytes(path, song);
  return path;
}

std::wstring CopyFixture(const std::wstring& folder, const wchar_t* fixture, const wchar_t* name) {
  std::wstring path = folder + L"\\" + name;
  CopyFileW(FixturePath(fixture).c_str(), path.c_str(), FALSE);
  return path;
}

}  // namespace

TEST_CASE("a local song plays to its end and the next one is due") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  struct Case { const wchar_t* fixture; const wchar_t* name; int seconds; };
  const Case cases[] = {
      {L"short1s_128k.mp3", L"小星星.mp3", 1},  // under 40960 bytes: ready from the end of the file
      {L"tone5s_128k.mp3", L"摇篮曲.mp3", 5},
      {L"vbr_xing.mp3", L"春天的故事.mp3", 8},
  };
  for (const Case& c : cases) {
    CAPTURE(Utf8(c.name));
    std::wstring path = CopyFixture(folder, c.fixture, c.name);
    window.Clear();
    g_bAutoNext = 0;
    size_t trace = TraceSize();
    CMusicPlayer* player = new CMusicPlayer();
    player->Start(window.Handle(), path, path, path);
    CHECK(window.PumpUntil([&] { return window.Events().ended > 0; }, 60000));
    const EngineEvents& e = window.Events();
    CHECK(e.ended == 1);
    CHECK(e.autoNextAtEnd == 1);
    REQUIRE(e.lengths.size() == 1);
    CHECK(e.lengths[0] == c.seconds);
    REQUIRE_FALSE(e.labels.empty());
    CHECK(e.labels.front() == L"正在缓冲……");
    std::wstring title = std::wstring(c.name).substr(0, wcslen(c.name) - 4);
    CHECK(std::find(e.labels.begin(), e.labels.end(), title) != e.labels.end());
    REQUIRE_FALSE(e.positions.empty());
    CHECK(e.positions.back() <= (unsigned)c.seconds);
    for (size_t i = 1; i < e.positions.size(); ++i) CHECK(e.positions[i] >= e.positions[i - 1]);
    CHECK(e.totals.empty());  // no download messages for a local file
    CHECK(TraceSince(trace).find(u8"文件下载失败") == std::string::npos);
    CHECK(StopAndDestroy(player, window) == 1);
    CHECK(ReadFileBytes(path) == ReadFileBytes(FixturePath(c.fixture)));  // a local song is only read
  }
}

TEST_CASE("a local song that cannot play ends at once with its reason traced and the next one due") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::string tagOnly = ReadFileBytes(FixturePath(L"tagged_id3v2.mp3"));
  REQUIRE(tagOnly.size() > 60000);
  // An ID3v2 tag followed by zeros: it looks like the start of an MP3, but no frame ever comes.
  size_t tagSize = 10 + (((size_t)tagOnly[6] & 0x7f) << 21 | ((size_t)tagOnly[7] & 0x7f) << 14 |
                         ((size_t)tagOnly[8] & 0x7f) << 7 | ((size_t)tagOnly[9] & 0x7f));
  REQUIRE(tagSize < 60000);
  tagOnly = tagOnly.substr(0, tagSize) + std::string(60000 - tagSize, '\0');
  WriteFileBytes(folder + L"\\只有标签.mp3", tagOnly);
  WriteFileBytes(folder + L"\\文本.mp3", std::string(50000, 'x'));
  WriteFileBytes(folder + L"\\空的.mp3", "");

  struct Case { std::wstring path; const char* trace; };
  const Case cases[] = {
      {folder + L"\\不存在.mp3", u8"文件下载失败！"},
      {folder, u8"文件下载失败！"},  // a folder, not a file
      {folder + L"\\文本.mp3", u8"不支持的格式！"},
      {folder + L"\\空的.mp3", u8"不支持的格式！"},
      {folder + L"\\只有标签.mp3", u8"无效的MP3格式！"},
  };
  for (const Case& c : cases) {
    CAPTURE(Utf8(c.path));
    window.Clear();
    g_bAutoNext = 0;
    size_t trace = TraceSize();
    CMusicPlayer* player = new CMusicPlayer();
    player->Start(window.Handle(), c.path, c.path, c.path);
    CHECK(window.PumpUntil([&] { return window.Events().ended > 0; }, 30000));
    CHECK(window.Events().ended == 1);
    CHECK(window.Events().autoNextAtEnd == 1);
    CHECK(TraceSince(trace).find(c.trace) != std::string::npos);
    CHECK(StopAndDestroy(player, window) == 1);
  }
}

TEST_CASE("after a seek the position shown is the target plus what played since") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::wstring path = MakeLongSong(folder, 65);  // about 5 minutes 27 seconds
  CMusicPlayer* player = new CMusicPlayer();
  player->Start(window.Handle(), path, path, path);
  EngineEvents& e = window.Events();
  REQUIRE(window.PumpUntil([&] { return !e.positions.empty() && e.positions.back() >= 1; }, 30000));
  REQUIRE(e.lengths.size() == 1);
  CHECK(e.lengths[0] == 327);

  player->Seek(100);
  size_t seekAt = e.positions.size();
  REQUIRE(window.PumpUntil([&] { return e.positions.size() > seekAt + 1 && e.positions.back() >= 101; }, 30000));
  // The monitor may post one position computed before the seek; every one after it counts from 100.
  size_t first = seekAt;
  while (first < e.positions.size() && e.positions[first] < 100) ++first;
  REQUIRE(first < e.positions.size());
  CHECK(first <= seekAt + 1);
  CHECK(e.positions[first] <= 101);
  for (size_t i = first + 1; i < e.positions.size(); ++i) CHECK(e.positions[i] >= e.positions[i - 1]);
  CHECK(player->Buffer().ReadPosition() > player->Buffer().Total() * 100LL / 327 - 1);
  CHECK(StopAndDestroy(player, window) == 1);
  CHECK(e.ended == 0);  // stopped, not ended
}

TEST_CASE("pause and resume by the user") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::wstring path = MakeLongSong(folder, 4);
  CMusicPlayer* player = new CMusicPlayer();
  CHECK_FALSE(player->IsPlaying());
  player->Start(window.Handle(), path, path, path);
  EngineEvents& e = window.Events();
  // Positions come once the play thread has started playback (the stream is open a moment before).
  REQUIRE(window.PumpUntil([&] { return !e.positions.empty() && player->IsPlaying(); }, 30000));
  player->Pause();
  CHECK_FALSE(player->IsPlaying());
  // While the user has paused, the monitor keeps the label up to date; a complete song is all here.
  window.PumpFor(1000);
  CHECK_FALSE(player->IsPlaying());
  CHECK(window.Label() == L"宝宝晚安曲");
  player->Resume();
  CHECK(player->IsPlaying());
  size_t seen = e.positions.size();
  CHECK(window.PumpUntil([&] { return e.positions.size() > seen + 2; }, 30000));
  CHECK(StopAndDestroy(player, window) == 1);
  CHECK(e.ended == 0);
}

TEST_CASE("safeExit: a player never started, stopped twice, or stopped while its song plays") {
  PrepareSongFolder();
  TestMainWindow window;
  {
    CMusicPlayer* player = new CMusicPlayer();
    CHECK(player->safeExit() == 1);  // nothing runs: it may go at once
    CHECK(player->safeExit() == 1);
    delete player;
  }
  {
    std::wstring path = FixturePath(L"tone5s_128k.mp3");
    CMusicPlayer* player = new CMusicPlayer();
    size_t trace = TraceSize();
    g_bAutoNext = 7;
    player->Start(window.Handle(), path, path, path);
    REQUIRE(window.PumpUntil([&] { return !window.Events().positions.empty(); }, 30000));
    CHECK(StopAndDestroy(player, window) == 1);
    CHECK(TraceSince(trace).find(u8"播放线程或下载线程已停止") != std::string::npos);
    // Stopped from outside: no end message, and the flag stays as the monitor left it.
    window.PumpFor(400);
    CHECK(window.Events().ended == 0);
    CHECK(g_bAutoNext == 0);
  }
  {
    // Destroyed without safeExit: the destructor stops the threads itself instead of leaving them
    // with a dangling player.
    std::wstring path = FixturePath(L"tone5s_128k.mp3");
    CMusicPlayer* player = new CMusicPlayer();
    player->Start(window.Handle(), path, path, path);
    window.PumpFor(300);
    delete player;
  }
}

TEST_CASE("the play request flag starts idle and holds what was set") {
  CHECK(g_PlayRequest.Get() == 1);
  g_PlayRequest.Set(0);
  CHECK(g_PlayRequest.Get() == 0);
  g_PlayRequest.Set(1);
  CHECK(g_PlayRequest.Get() == 1);
}

// Run by audio_output_check.sh, which records the sound device meanwhile: plays the song named by
// PLAYBACK_SONG (a path or a URL) at PLAYBACK_VOLUME to its end.
TEST_CASE("one song to its end for the recording of the sound device" * doctest::skip()) {
  wchar_t song[1024] = {};
  wchar_t volume[16] = {};
  REQUIRE(GetEnvironmentVariableW(L"PLAYBACK_SONG", song, 1024) > 0);
  GetEnvironmentVariableW(L"PLAYBACK_VOLUME", volume, 16);
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  std::wstring cache = folder + L"\\录音.mp3";
  CMusicPlayer* player = new CMusicPlayer();
  player->SetVolume(volume[0] ? _wtoi(volume) : 100);
  player->Start(window.Handle(), song, song, std::wstring(song).rfind(L"http", 0) == 0 ? cache : std::wstring(song));
  CHECK(window.PumpUntil([&] { return window.Events().ended > 0; }, 120000));
  CHECK(window.Events().autoNextAtEnd == 1);
  // When the player reports its end the sound server still holds the last fraction of a second;
  // closing at once would cut that off. Here it is what the engine delivered that counts.
  window.PumpFor(1500);
  CHECK(StopAndDestroy(player, window) == 1);
}
