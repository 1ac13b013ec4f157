// The audio player object on real MP3 files, playing through waveOut into the session's null sink.
#include <doctest/doctest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Mp3TestFiles.h"
#include "audio/AudioPlayer.h"
#include "audio/Mp3File.h"
#include "platform/Text.h"

using namespace audio;

namespace {

constexpr unsigned int kOpenBytes = 40960;  // what the engine gives OpenStream first
constexpr unsigned int kFeedChunk = 10240;  // what the engine pushes per request

// Serves the rest of a song to the player's data requests, like the engine's feed callback.
struct Feeder {
  std::vector<std::uint8_t> song;
  std::size_t pos = 0;
  std::size_t chunk = kFeedChunk;
  std::atomic<int> requests{0};
  std::atomic<int> requestsAfterClose{0};
  std::atomic<bool> closed{false};
  std::atomic<DWORD> threadId{0};
  // Optional: what to do on a request instead of feeding (returns true when it handled the request).
  std::function<bool(AudioPlayer*, Feeder&)> onRequest;

  static int Callback(AudioPlayer* player, void* user, unsigned int message, std::uintptr_t, std::uintptr_t) {
    auto* self = static_cast<Feeder*>(user);
    if (message != kMsgStreamNeedData) return 0;
    self->threadId = GetCurrentThreadId();
    ++self->requests;
    if (self->closed) ++self->requestsAfterClose;
    if (self->onRequest && self->onRequest(player, *self)) return 0;
    self->FeedNext(player);
    return 0;
  }
  void FeedNext(AudioPlayer* player) {
    const std::size_t n = song.size() - pos < chunk ? song.size() - pos : chunk;
    player->PushDataToStream(n ? song.data() + pos : nullptr, unsigned(n));
    pos += n;
  }
};

PlayerStatus StatusOf(AudioPlayer* p) {
  PlayerStatus s{-1, -1};
  p->GetStatus(&s);
  return s;
}

TimePosition PositionOf(AudioPlayer* p) {
  TimePosition t{~0u, ~0u};
  p->GetPosition(&t);
  return t;
}

// Waits (a guard against hanging, not a speed check) until the stream stops by itself.
bool WaitForEnd(AudioPlayer* p, DWORD limitMs) {
  const ULONGLONG until = GetTickCount64() + limitMs;
  while (GetTickCount64() < until) {
    const PlayerStatus s = StatusOf(p);
    if (s.playing == 0 && s.paused == 0) return true;
    Sleep(50);
  }
  return false;
}

// Opens `file` from its first bytes with a feeder for the rest; returns the player (open, not playing).
AudioPlayer* OpenFed(Feeder& feeder, const char* file, unsigned int openBytes = kOpenBytes) {
  feeder.song = ReadTestFile(file);
  REQUIRE(feeder.song.size() > 0);
  AudioPlayer* p = CreateAudioPlayer();
  REQUIRE(p != nullptr);
  CHECK(p->SetCallbackFunc(&Feeder::Callback, kMsgStreamNeedData, &feeder) == 1);
  const unsigned int n = feeder.song.size() < openBytes ? unsigned(feeder.song.size()) : openBytes;
  REQUIRE(p->OpenStream(1, 1, feeder.song.data(), n, kFormatMp3) == 1);
  feeder.pos = n;
  return p;
}

// Runs fn on a thread of its own; false when it has not returned within limitMs (it hangs).
struct ThreadCall {
  std::function<void()> fn;
};
DWORD WINAPI RunThreadCall(void* param) {
  static_cast<ThreadCall*>(param)->fn();
  return 0;
}

bool ReturnsWithin(DWORD limitMs, std::function<void()> fn) {
  auto* ctx = new ThreadCall{std::move(fn)};
  HANDLE h = CreateThread(nullptr, 0, RunThreadCall, ctx, 0, nullptr);
  REQUIRE(h != nullptr);
  const bool done = WaitForSingleObject(h, limitMs) == WAIT_OBJECT_0;
  CloseHandle(h);
  if (done) delete ctx;  // a hung call keeps its context
  return done;
}

}  // namespace

TEST_CASE("a sound device is there (the PulseAudio null sink)") {
  REQUIRE(waveOutGetNumDevs() > 0);
}

TEST_CASE("a stream opened from its first 40960 bytes plays every fed byte to the end, at real-time pace") {
  struct Case {
    const char* file;
    unsigned int minMs, maxMs;  // the decoded length
  };
  const Case cases[] = {
      {kTone5s, 4950, 5150},
      {kShort1s, 950, 1150},  // shorter than 40960 bytes: all of it goes to OpenStream
  };
  for (const Case& c : cases) {
    const std::string name = c.file;
    CAPTURE(name);
    Feeder feeder;
    AudioPlayer* p = OpenFed(feeder, c.file);
    CHECK(StatusOf(p).playing == 1);
    CHECK(StatusOf(p).paused == 0);
    const ULONGLONG started = GetTickCount64();
    REQUIRE(p->Play() == 1);
    REQUIRE(WaitForEnd(p, 30000));
    const ULONGLONG elapsed = GetTickCount64() - started;
    CHECK(feeder.pos == feeder.song.size());
    const TimePosition end = PositionOf(p);
    CHECK(end.milliseconds >= c.minMs);
    CHECK(end.milliseconds <= c.maxMs);
    CHECK(end.seconds == end.milliseconds / 1000);
    // Sound cannot come out faster than it plays: a device draining buffers early would show here.
    CHECK(elapsed + 100 >= end.milliseconds);
    StreamFigures f{};
    REQUIRE(GetStreamFigures(p, &f));
    CHECK(f.bytesPushed == feeder.song.size());
    CHECK(f.bytesSkipped == 0);
    CHECK(f.firstBufferUs >= f.playUs);
    CHECK(f.playUs >= f.openedUs);
    CHECK(f.emptyAnswers >= 1);
    CHECK(p->Play() == 0);  // an ended stream does not start again
    p->Release();
  }
}

TEST_CASE("position advances while playing, holds while paused and continues after resume") {
  Feeder feeder;
  AudioPlayer* p = OpenFed(feeder, kTone5s);
  CHECK(PositionOf(p).milliseconds == 0);
  const ULONGLONG started = GetTickCount64();
  REQUIRE(p->Play() == 1);
  Sleep(1500);
  const TimePosition playing = PositionOf(p);
  const ULONGLONG elapsed = GetTickCount64() - started;
  CAPTURE(elapsed);
  CAPTURE(playing.milliseconds);
  CHECK(playing.milliseconds > 0);
  CHECK(playing.milliseconds <= elapsed + 100);  // never ahead of the clock
  // What is played, not what is queued: the device holds sound it has not played yet.
  StreamFigures f{};
  REQUIRE(GetStreamFigures(p, &f));
  CHECK(f.pcmBytesWritten * 1000 / 176400 >= playing.milliseconds + 100);

  REQUIRE(p->Pause() == 1);
  const PlayerStatus paused = StatusOf(p);
  CHECK(paused.playing == 1);
  CHECK(paused.paused == 1);
  const TimePosition atPause = PositionOf(p);
  // The device may take a moment to stop what it was playing; after that the position holds.
  Sleep(200);
  const TimePosition settled = PositionOf(p);
  CHECK(settled.milliseconds <= atPause.milliseconds + 100);
  Sleep(800);
  const TimePosition later = PositionOf(p);
  CHECK(later.milliseconds == settled.milliseconds);
  CHECK(StatusOf(p).paused == 1);

  REQUIRE(p->Play() == 1);
  CHECK(StatusOf(p).paused == 0);
  REQUIRE(WaitForEnd(p, 30000));
  CHECK(PositionOf(p).milliseconds >= 4950);  // nothing was lost by the pause
  p->Release();
}

TEST_CASE("Close returns promptly and ends the callback calls, whatever the stream is doing") {
  enum class State { kOpenNotPlaying, kPlaying, kPaused, kUnderrun, kEnded };
  const State states[] = {State::kOpenNotPlaying, State::kPlaying, State::kPaused, State::kUnderrun, State::kEnded};
  for (State state : states) {
    CAPTURE(int(state));
    Feeder feeder;
    std::atomic<bool> starved{false};
    if (state == State::kUnderrun) {
      // The download is behind: the request is answered with nothing and the stream paused.
      feeder.onRequest = [&](AudioPlayer* player, Feeder&) {
        player->Pause();
        starved = true;
        return true;
      };
    }
    AudioPlayer* p = OpenFed(feeder, state == State::kEnded ? kShort1s : kTone5s);
    if (state != State::kOpenNotPlaying) REQUIRE(p->Play() == 1);
    if (state == State::kPlaying || state == State::kPaused) Sleep(500);
    if (state == State::kPaused) REQUIRE(p->Pause() == 1);
    if (state == State::kUnderrun) {
      for (int i = 0; i < 200 && !starved; ++i) Sleep(50);
      REQUIRE(starved);
      CHECK(StatusOf(p).paused == 1);
    }
    if (state == State::kEnded) REQUIRE(WaitForEnd(p, 30000));

    CHECK(ReturnsWithin(5000, [&] { CHECK(p->Close() == 1); }));
    feeder.closed = true;
    const PlayerStatus after = StatusOf(p);
    CHECK(after.playing == 0);
    CHECK(after.paused == 0);
    Sleep(300);
    CHECK(feeder.requestsAfterClose == 0);
    CHECK(p->Play() == 0);
    CHECK(p->PushDataToStream(feeder.song.data(), 100) == 0);
    CHECK(p->Close() == 1);  // closing twice is harmless
    p->Release();
  }
}

TEST_CASE("the callback may pause, close or release the player from inside its call") {
  enum class Inside { kClose, kPauseThenClose, kRelease };
  for (Inside what : {Inside::kClose, Inside::kPauseThenClose, Inside::kRelease}) {
    CAPTURE(int(what));
    Feeder feeder;
    std::atomic<int> acted{0};
    AudioPlayer* p = nullptr;
    feeder.onRequest = [&](AudioPlayer* player, Feeder& f) {
      if (f.requests < 3) return false;  // feed normally a few times first
      if (acted++) return true;
      CHECK(player == p);
      if (what == Inside::kPauseThenClose) CHECK(player->Pause() == 1);
      if (what == Inside::kRelease) {
        player->Release();
      } else {
        CHECK(player->Close() == 1);
        PlayerStatus s{};
        player->GetStatus(&s);
        CHECK(s.playing == 0);
      }
      f.closed = true;
      return true;
    };
    p = OpenFed(feeder, kTone5s);
    REQUIRE(p->Play() == 1);
    for (int i = 0; i < 200 && !acted; ++i) Sleep(50);
    REQUIRE(acted == 1);
    Sleep(500);
    CHECK(feeder.requestsAfterClose == 0);
    if (what != Inside::kRelease) {
      CHECK(StatusOf(p).playing == 0);
      p->Release();
    }
  }
}

TEST_CASE("a player can be released without ever opening a stream, and reports nothing") {
  AudioPlayer* p = CreateAudioPlayer();
  REQUIRE(p != nullptr);
  CHECK(StatusOf(p).playing == 0);
  CHECK(StatusOf(p).paused == 0);
  CHECK(PositionOf(p).seconds == 0);
  CHECK(PositionOf(p).milliseconds == 0);
  CHECK(p->Play() == 0);
  CHECK(p->Pause() == 0);
  CHECK(p->PushDataToStream("x", 1) == 0);
  CHECK(p->SetPlayerVolume(50, 50) == 1);
  CHECK(p->Close() == 1);
  StreamFigures f{};
  CHECK_FALSE(GetStreamFigures(p, &f));
  p->Release();
}

TEST_CASE("OpenStream opens only on bytes holding two frames in a row, after any tag") {
  const std::vector<std::uint8_t> tone = ReadTestFile(kTone5s);
  const std::vector<std::uint8_t> tagged = ReadTestFile(kTagged);
  const std::vector<std::uint8_t> vbr = ReadTestFile(kVbrXing);
  REQUIRE(tone.size() > 40960);
  auto prefix = [](const std::vector<std::uint8_t>& b, std::size_t n) {
    return std::vector<std::uint8_t>(b.begin(), b.begin() + std::ptrdiff_t(n < b.size() ? n : b.size()));
  };
  std::vector<std::uint8_t> junkFirst(1000);
  for (std::size_t i = 0; i < junkFirst.size(); ++i) junkFirst[i] = std::uint8_t(i % 3 == 0 ? 0xFF : i * 7);
  junkFirst.insert(junkFirst.end(), tone.begin(), tone.begin() + 20000);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int format;
    int result;
  };
  const Case cases[] = {
      {"the first 40960 bytes", prefix(tone, 40960), kFormatMp3, 1},
      {"a tagged song", prefix(tagged, 40960), kFormatMp3, 1},
      {"a VBR song (Xing frame first)", prefix(vbr, 40960), kFormatMp3, 1},
      {"junk before the frames", junkFirst, kFormatMp3, 1},
      {"two frames exactly and the next header", prefix(tone, 417 + 418 + 4), kFormatMp3, 1},
      {"one frame and a cut header", prefix(tone, 420), kFormatMp3, 0},
      {"the tag cut short", prefix(tagged, 100), kFormatMp3, 0},
      {"the tag and less than two frames", prefix(tagged, 130 + 417 + 2), kFormatMp3, 0},
      {"no frames at all", std::vector<std::uint8_t>(40960, 0x5A), kFormatMp3, 0},
      {"an unknown format", prefix(tone, 40960), kFormatUnknown, 0},
      {"another format number", prefix(tone, 40960), 7, 0},
  };
  AudioPlayer* p = CreateAudioPlayer();
  for (const Case& c : cases) {
    CAPTURE(std::string(c.what));
    CHECK(p->OpenStream(1, 1, c.bytes.data(), unsigned(c.bytes.size()), c.format) == c.result);
    CHECK(StatusOf(p).playing == c.result);
    CHECK(p->Close() == 1);
  }
  const std::vector<std::uint8_t> some = prefix(tone, 40960);
  CHECK(p->OpenStream(1, 1, nullptr, 40960, kFormatMp3) == 0);
  CHECK(p->OpenStream(1, 1, some.data(), 0, kFormatMp3) == 0);
  p->Release();
}

TEST_CASE("GetFileFormat knows MP3 files by their frames, with 8-bit paths in the thread code page") {
  REQUIRE(GetACP() == 936);
  const std::vector<std::uint8_t> tagged = ReadTestFile(kTagged);
  // A song with a large tag whose audio has not arrived: the stream's temporary file at its final size.
  std::vector<std::uint8_t> bigTag = {'I', 'D', '3', 3, 0, 0, 0, 0x04, 0, 0};  // 65536-byte body
  bigTag.resize(10 + 65536 + 40000, 0);
  std::vector<std::uint8_t> tagThenJunk = bigTag;
  for (std::size_t i = 10 + 65536; i < tagThenJunk.size(); ++i) tagThenJunk[i] = std::uint8_t(i * 13 + 1);
  REQUIRE(WriteTestFile("big_tag_pending.mp3", bigTag));
  REQUIRE(WriteTestFile("tag_then_junk.mp3", tagThenJunk));
  REQUIRE(WriteTestFile("zeros.mp3", std::vector<std::uint8_t>(100000, 0)));
  REQUIRE(WriteTestFile("text.mp3", std::vector<std::uint8_t>(5000, 'a')));
  REQUIRE(WriteTestFile("empty.mp3", {}));
  // A Chinese file name, given as GBK bytes as the engine does.
  const std::wstring chineseName = L"\u80ce\u6559\u97f3\u4e50.mp3";  // 胎教音乐.mp3
  {
    FILE* f = _wfopen(chineseName.c_str(), L"wb");
    REQUIRE(f != nullptr);
    std::fwrite(tagged.data(), 1, tagged.size(), f);
    std::fclose(f);
  }
  const std::string chinese8 = WideToThreadAnsi(chineseName);
  REQUIRE(chinese8.size() == 12);  // 4 characters of 2 bytes and ".mp3"

  struct Case {
    std::string path8;
    int format;
  };
  const Case cases[] = {
      {kTone5s, kFormatMp3},
      {kTagged, kFormatMp3},
      {kVbrXing, kFormatMp3},
      {kMono8k, kFormatMp3},
      {chinese8, kFormatMp3},
      {"big_tag_pending.mp3", kFormatMp3},
      {"tag_then_junk.mp3", kFormatUnknown},
      {"zeros.mp3", kFormatUnknown},
      {"text.mp3", kFormatUnknown},
      {"empty.mp3", kFormatUnknown},
      {"no_such_file.mp3", kFormatUnknown},
      {"", kFormatUnknown},
  };
  AudioPlayer* p = CreateAudioPlayer();
  for (const Case& c : cases) {
    CAPTURE(c.path8);
    CHECK(p->GetFileFormat(c.path8.c_str()) == c.format);
  }
  CHECK(p->GetFileFormat(nullptr) == kFormatUnknown);
  p->Release();
}

TEST_CASE("pushes of any size are cut into whole frames: every frame of the song is decoded") {
  struct Case {
    const char* file;
    unsigned int openBytes;
    std::size_t chunk;
    std::uint64_t frames;  // audio frames in the file
    unsigned int minMs, maxMs;
  };
  const Case cases[] = {
      {kShort1s, 2000, 417, 40, 1000, 1100},     // about a frame per push
      {kShort1s, 2000, 1000, 40, 1000, 1100},    // pushes end inside frames
      {kShort1s, 40960, 10240, 40, 1000, 1100},  // all of it in OpenStream
      {kMono22k, 2000, 10240, 79, 2000, 2100},   // MPEG-2 mono (576 samples per frame)
      {kMono8k, 2000, 10240, 30, 2100, 2200},    // MPEG-2.5 mono
  };
  for (const Case& c : cases) {
    const std::string name = c.file;
    CAPTURE(name);
    CAPTURE(c.chunk);
    Feeder feeder;
    feeder.chunk = c.chunk;
    AudioPlayer* p = OpenFed(feeder, c.file, c.openBytes);
    REQUIRE(p->Play() == 1);
    REQUIRE(WaitForEnd(p, 30000));
    StreamFigures f{};
    REQUIRE(GetStreamFigures(p, &f));
    CHECK(f.bytesPushed == feeder.song.size());
    CHECK(f.bytesSkipped == 0);
    CHECK(f.framesDecoded == c.frames);
    const TimePosition end = PositionOf(p);
    CHECK(end.milliseconds >= c.minMs);
    CHECK(end.milliseconds <= c.maxMs);
    p->Release();
  }
}

TEST_CASE("when the data runs out the stream plays what it has and stops by itself") {
  enum class Answer { kPushZero, kNoPush, kNoCallback, kMaskWithoutNeedData };
  for (Answer answer : {Answer::kPushZero, Answer::kNoPush, Answer::kNoCallback, Answer::kMaskWithoutNeedData}) {
    CAPTURE(int(answer));
    const std::vector<std::uint8_t> song = ReadTestFile(kTone5s);
    std::atomic<int> calls{0};
    struct Ctx {
      Answer answer;
      std::atomic<int>* calls;
    } ctx{answer, &calls};
    AudioPlayer* p = CreateAudioPlayer();
    StreamCallback cb = [](AudioPlayer* player, void* user, unsigned int, std::uintptr_t, std::uintptr_t) {
      auto* c = static_cast<Ctx*>(user);
      ++*c->calls;
      if (c->answer == Answer::kPushZero) player->PushDataToStream(nullptr, 0);
      return 0;
    };
    if (answer != Answer::kNoCallback)
      p->SetCallbackFunc(cb, answer == Answer::kMaskWithoutNeedData ? 0x1u : kMsgStreamNeedData, &ctx);
    REQUIRE(p->OpenStream(1, 1, song.data(), kOpenBytes, kFormatMp3) == 1);
    REQUIRE(p->Play() == 1);
    REQUIRE(WaitForEnd(p, 30000));
    // 40960 bytes hold 97 whole frames after the first: about 2.5 s.
    const TimePosition end = PositionOf(p);
    CHECK(end.milliseconds >= 2450);
    CHECK(end.milliseconds <= 2650);
    CHECK(end.seconds == 2);
    if (answer == Answer::kPushZero || answer == Answer::kNoPush) CHECK(calls > 0);
    if (answer == Answer::kMaskWithoutNeedData) CHECK(calls == 0);
    p->Release();
  }
}

TEST_CASE("an underrun paused by the callback resumes with bytes pushed from another thread") {
  Feeder feeder;
  std::atomic<bool> starved{false};
  feeder.onRequest = [&](AudioPlayer* player, Feeder&) {
    if (starved) return false;  // after the resume: feed normally
    // The download is behind: nothing now, hold the output (the engine's way).
    CHECK(player->PushDataToStream(nullptr, 0) == 1);
    CHECK(player->Pause() == 1);
    starved = true;
    return true;
  };
  AudioPlayer* p = OpenFed(feeder, kTone5s);
  REQUIRE(p->Play() == 1);
  for (int i = 0; i < 200 && !starved; ++i) Sleep(50);
  REQUIRE(starved);
  Sleep(200);  // the device stops what it was playing
  const TimePosition held = PositionOf(p);
  CHECK(StatusOf(p).playing == 1);
  CHECK(StatusOf(p).paused == 1);
  Sleep(600);
  CHECK(PositionOf(p).milliseconds == held.milliseconds);
  // The download catches up: its thread pushes, the monitor resumes.
  CHECK(p->PushDataToStream(feeder.song.data() + feeder.pos, 20480) == 1);
  feeder.pos += 20480;
  REQUIRE(p->Play() == 1);
  REQUIRE(WaitForEnd(p, 30000));
  CHECK(feeder.pos == feeder.song.size());
  CHECK(PositionOf(p).milliseconds >= 4950);
  p->Release();
}

TEST_CASE("opening a new stream replaces the open one; the old one's callback calls end") {
  Feeder first, second;
  AudioPlayer* p = OpenFed(first, kTone5s);
  REQUIRE(p->Play() == 1);
  Sleep(300);
  const std::vector<std::uint8_t> junk(5000, 0x5A);
  CHECK(p->OpenStream(1, 1, junk.data(), unsigned(junk.size()), kFormatMp3) == 0);
  CHECK(StatusOf(p).playing == 1);  // bytes that cannot open leave the open stream alone
  CHECK(p->SetCallbackFunc(&Feeder::Callback, kMsgStreamNeedData, &second) == 1);
  second.song = ReadTestFile(kShort1s);
  REQUIRE(p->OpenStream(1, 1, second.song.data(), 2000, kFormatMp3) == 1);
  second.pos = 2000;
  first.closed = true;
  REQUIRE(p->Play() == 1);
  REQUIRE(WaitForEnd(p, 30000));
  CHECK(first.requestsAfterClose == 0);
  CHECK(second.pos == second.song.size());
  const TimePosition end = PositionOf(p);
  CHECK(end.milliseconds >= 1000);
  CHECK(end.milliseconds <= 1100);
  p->Release();
}

TEST_CASE("volume: any pair is taken, out-of-range values are clamped, before and during a stream") {
  const int pairs[][2] = {{0, 0}, {100, 100}, {30, 70}, {-5, 150}, {100, 0}};
  Feeder feeder;
  AudioPlayer* p = CreateAudioPlayer();
  for (const auto& v : pairs) CHECK(p->SetPlayerVolume(v[0], v[1]) == 1);
  p->Release();
  p = OpenFed(feeder, kShort1s);
  REQUIRE(p->Play() == 1);
  for (const auto& v : pairs) CHECK(p->SetPlayerVolume(v[0], v[1]) == 1);
  REQUIRE(WaitForEnd(p, 30000));
  p->Release();
}
