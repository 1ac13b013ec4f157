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
bool ReturnsWithin(DWORD limitMs, std::function<void()> fn) {
  struct Ctx {
    std::function<void()> fn;
  };
  auto* ctx = new Ctx{std::move(fn)};
  HANDLE h = CreateThread(
      nullptr, 0,
      [](void* param) -> DWORD {
        static_cast<Ctx*>(param)->fn();
        return 0;
      },
      ctx, 0, nullptr);
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
  CHECK(playing.milliseconds > 0);
  CHECK(playing.milliseconds <= elapsed + 100);  // never ahead of the clock

  REQUIRE(p->Pause() == 1);
  const PlayerStatus paused = StatusOf(p);
  CHECK(paused.playing == 1);
  CHECK(paused.paused == 1);
  const TimePosition atPause = PositionOf(p);
  Sleep(800);
  const TimePosition later = PositionOf(p);
  CHECK(later.milliseconds == atPause.milliseconds);
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
