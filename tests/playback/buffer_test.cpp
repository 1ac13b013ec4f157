// The stream buffer on its own: the memory block and its mirror file, reads and writes from two
// sides, seeks, the buffering label and saving the complete song under a Chinese name.
#include <doctest/doctest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "EngineHarness.h"
#include "audio/AudioPlayer.h"
#include "player/common/Globals.h"
#include "player/playback/HttpParse.h"
#include "player/playback/MusicBuffer.h"
#include "player/playback/StreamMath.h"

namespace {

std::string Pattern(int n, int seed = 0) {
  std::string bytes((size_t)n, '\0');
  for (int i = 0; i < n; ++i) bytes[(size_t)i] = (char)((i * 7 + seed) & 0xff);
  return bytes;
}

}  // namespace

TEST_CASE("writes fill the block and its mirror file; reads follow; the total is never passed") {
  std::wstring folder = PrepareSongFolder();
  TestMainWindow window;
  CMusicBuffer buffer;
  REQUIRE(buffer.SetTotal(100000));
  CHECK(buffer.Total() == 100000);
  CHECK(ReadFileBytes(g_strTempMusicPath).size() == 100000);  // the file has its final size at once

  std::string song = Pattern(100000);
  char out[20000];
  CHECK(buffer.Read(out, 10240) == 0);  // nothing arrived yet
  CHECK(buffer.Write(song.data(), 30000) == 30000);
  CHECK(buffer.Read(out, 10240) == 10240);
  CHECK(std::string(out, 10240) == song.substr(0, 10240));
  CHECK(buffer.Read(out, 20000) == 19760);
  CHECK(std::string(out, 19760) == song.substr(10240, 19760));
  CHECK(buffer.Read(out, 20000) == 0);
  CHECK(buffer.Write(song.data() + 30000, 70000) == 70000);
  // A server that sends more than it announced: the extra bytes are dropped, the count is kept.
  CHECK(buffer.Write("overlong", 8) == 8);
  CHECK(buffer.WritePosition() == 100000);

  int taken = 0;
  for (int n; (n = buffer.Read(out, 10240)) > 0;) {
    CHECK(std::string(out, (size_t)n) == song.substr(30000 + (size_t)taken, (size_t)n));
    taken += n;
  }
  CHECK(taken == 70000);
  CHECK(buffer.Read(out, 10240) == kReadEndOfSong);
}

TEST_CASE("the mirror file holds exactly the song once complete") {
  PrepareSongFolder();
  TestMainWindow window;
  std::string song = Pattern(50000, 3);
  {
    CMusicBuffer buffer;
    REQUIRE(buffer.SetTotal((long long)song.size()));
    for (size_t at = 0; at < song.size(); at += 4096) {
      buffer.Write(song.data() + at, (int)std::min<size_t>(4096, song.size() - at));
    }
  }
  CHECK(ReadFileBytes(g_strTempMusicPath) == song);
}

TEST_CASE("sizes the buffer refuses leave it empty and never crash") {
  PrepareSongFolder();
  struct Case { long long bytes; bool accepted; };
  const Case cases[] = {
      {0, false}, {-1, false}, {kMaxContentLength + 1, false}, {99999999999LL, false}, {1, true}, {40960, true},
  };
  for (const Case& c : cases) {
    CAPTURE(c.bytes);
    CMusicBuffer buffer;
    CHECK(buffer.SetTotal(c.bytes) == c.accepted);
    CHECK(buffer.Total() == (c.accepted ? (int)c.bytes : 0));
    CHECK(buffer.Write("abc", 3) == 3);  // nothing stored without room, and no crash
    char out[8];
    CHECK(buffer.Read(out, 8) >= 0);
    CHECK_FALSE(buffer.SaveIfComplete());
  }
}

TEST_CASE("a second total starts the buffer over") {
  PrepareSongFolder();
  CMusicBuffer buffer;
  REQUIRE(buffer.SetTotal(1000));
  buffer.Write(Pattern(600).data(), 600);
  char out[100];
  buffer.Read(out, 100);
  REQUIRE(buffer.SetTotal(2000));
  CHECK(buffer.Total() == 2000);
  CHECK(buffer.WritePosition() == 0);
  CHECK(buffer.ReadPosition() == 0);
}

TEST_CASE("a seek moves the reader in proportion to the time, and reads past the data say so") {
  PrepareSongFolder();
  CMusicBuffer buffer;
  REQUIRE(buffer.SetTotal(300000));
  buffer.Write(Pattern(100000).data(), 100000);
  char out[10240];

  buffer.Seek(10, 30);  // a third of the song: the 100000th byte, exactly where the data ends
  CHECK(buffer.ReadPosition() == 100000);
  CHECK(buffer.Read(out, 10240) == 0);

  buffer.Seek(20, 30);
  CHECK(buffer.ReadPosition() == 200000);
  CHECK(buffer.Read(out, 10240) == kReadBeyondData);
  buffer.Write(Pattern(200000).data(), 200000);  // the download passes the new position
  CHECK(buffer.Read(out, 10240) == 10240);

  buffer.Seek(5, 0);  // unknown length
  CHECK(buffer.ReadPosition() == 0);
  buffer.Seek(99, 30);  // past the end: held at the end
  CHECK(buffer.ReadPosition() == 300000);
  CHECK(buffer.Read(out, 10240) == kReadEndOfSong);
}

TEST_CASE("CheckBuffered writes the title or the buffering percentage") {
  PrepareSongFolder();
  TestMainWindow window;
  struct Case {
    int total, written, readTo;
    bool buffered;
    const wchar_t* label;
  };
  const Case cases[] = {
      {200000, 100000, 0, true, L"摇篮曲"},             // far ahead
      {200000, 40961, 0, true, L"摇篮曲"},              // just past the threshold
      {200000, 40960, 0, false, L"正在缓冲：99 %"},     // not past it
      {200000, 20480, 0, false, L"正在缓冲：50 %"},
      {200000, 20480, 20480, false, L"正在缓冲：0 %"},  // everything read
      {200000, 20480, 30000, false, L"正在缓冲：0 %"},  // a seek went past the data
      // The rest of a complete song is here, however little: playback may go on.
      {50000, 50000, 30000, true, L"摇篮曲"},
  };
  for (const Case& c : cases) {
    CAPTURE(c.written);
    CAPTURE(c.readTo);
    CMusicBuffer buffer;
    buffer.SetNames(L"C:\\音乐\\摇篮曲.mp3", L"http://127.0.0.1/music/tone5s.mp3");
    REQUIRE(buffer.SetTotal(c.total));
    buffer.Write(Pattern(c.written).data(), c.written);
    buffer.Seek(c.readTo, c.total);  // seconds = bytes with a length equal to the total
    REQUIRE(buffer.ReadPosition() == c.readTo);
    CHECK(buffer.CheckBuffered() == c.buffered);
    CHECK(window.Label() == c.label);
  }
}

TEST_CASE("the complete song is saved under its Chinese name; an incomplete one never replaces a file") {
  std::wstring folder = PrepareSongFolder();
  std::wstring cache = folder + L"\\月光奏鸣曲.mp3";
  std::string song = Pattern(70000, 5);

  CMusicBuffer partial;
  partial.SetNames(cache, L"http://127.0.0.1/a.mp3");
  REQUIRE(WriteFileBytes(cache, "an older copy"));
  REQUIRE(partial.SetTotal(70000));
  partial.Write(song.data(), 69999);
  CHECK_FALSE(partial.SaveIfComplete());
  CHECK(ReadFileBytes(cache) == "an older copy");

  CMusicBuffer complete;
  complete.SetNames(cache, L"http://127.0.0.1/a.mp3");
  REQUIRE(complete.SetTotal(70000));
  complete.Write(song.data(), 70000);
  CHECK(complete.SaveIfComplete());
  CHECK(ReadFileBytes(cache) == song);
  CHECK_FALSE(FileExists(cache + L".part"));

  CMusicBuffer nowhere;  // a folder that does not exist: false, nothing else happens
  nowhere.SetNames(folder + L"\\没有这个文件夹\\歌.mp3", L"");
  REQUIRE(nowhere.SetTotal(10));
  nowhere.Write(song.data(), 10);
  CHECK_FALSE(nowhere.SaveIfComplete());
  CHECK(complete.Title() == L"月光奏鸣曲");
}

TEST_CASE("format and length come from the song's first frames") {
  std::wstring folder = PrepareSongFolder();
  struct Case { const wchar_t* fixture; int format; int seconds; };
  const Case cases[] = {
      {L"tone5s_128k.mp3", audio::kFormatMp3, 5},
      {L"short1s_128k.mp3", audio::kFormatMp3, 1},
      {L"tagged_id3v2.mp3", audio::kFormatMp3, 5},
      {L"vbr_xing.mp3", audio::kFormatMp3, 8},
  };
  audio::AudioPlayer* library = audio::CreateAudioPlayer();
  for (const Case& c : cases) {
    CAPTURE(Utf8(c.fixture));
    std::string song = ReadFileBytes(FixturePath(c.fixture));
    REQUIRE(song.size() > 0);
    CMusicBuffer buffer;
    REQUIRE(buffer.SetTotal((long long)song.size()));
    // Only the start has arrived, as when the stream becomes ready.
    int arrived = (int)std::min<size_t>(song.size(), 40960);
    buffer.Write(song.data(), arrived);
    CHECK(buffer.DetectFormat(library) == c.format);
    CHECK(buffer.MeasureLength() == c.seconds);
    // Writing goes on after the file was handed to the library.
    buffer.Write(song.data() + arrived, (int)song.size() - arrived);
    CHECK(buffer.WritePosition() == (int)song.size());
  }
  CHECK(ReadFileBytes(g_strTempMusicPath).size() > 0);

  CMusicBuffer text;
  std::string notMp3(50000, 'x');
  REQUIRE(text.SetTotal(50000));
  text.Write(notMp3.data(), 50000);
  CHECK(text.DetectFormat(library) == audio::kFormatUnknown);
  CHECK(text.MeasureLength() == 0);
  library->Release();
}

TEST_CASE("a temporary file in a folder the ANSI code page cannot spell still reaches the library") {
  std::wstring folder = TestFolder() + L"\\노래 ♫";
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring saved = g_strTempMusicPath;
  g_strTempMusicPath = folder + L"\\music.mp3";
  std::string song = ReadFileBytes(FixturePath(L"tone5s_128k.mp3"));
  REQUIRE(song.size() > 0);
  audio::AudioPlayer* library = audio::CreateAudioPlayer();
  {
    CMusicBuffer buffer;
    REQUIRE(buffer.SetTotal((long long)song.size()));
    buffer.Write(song.data(), (int)song.size());
    CHECK(buffer.DetectFormat(library) == audio::kFormatMp3);
  }
  CHECK(ReadFileBytes(g_strTempMusicPath) == song);
  library->Release();
  g_strTempMusicPath = saved;
}
