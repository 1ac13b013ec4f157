// Plays an MP3 file through the audio player object the way the engine does (open from the first
// 40960 bytes, the rest pushed 10240 bytes per request) and prints what happened.
//   audio_play_file <file.mp3> [volume 0-100]
// Exit code 0 when the stream played to its end by itself. Used by the device output check and
// as a benchmark: it prints the time from Play() to the first buffer handed to the device.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Mp3TestFiles.h"
#include "audio/AudioPlayer.h"

namespace {

struct Feed {
  std::vector<std::uint8_t> song;
  std::size_t pos = 0;
};

int FeedCallback(audio::AudioPlayer* player, void* user, unsigned int message, std::uintptr_t, std::uintptr_t) {
  auto* feed = static_cast<Feed*>(user);
  if (message != audio::kMsgStreamNeedData) return 0;
  const std::size_t n = feed->song.size() - feed->pos < 10240 ? feed->song.size() - feed->pos : 10240;
  player->PushDataToStream(feed->song.data() + feed->pos, unsigned(n));
  feed->pos += n;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: audio_play_file <file.mp3> [volume]\n");
    return 2;
  }
  Feed feed;
  feed.song = ReadTestFile(argv[1]);
  if (feed.song.empty()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  const int volume = argc > 2 ? std::atoi(argv[2]) : 100;

  audio::AudioPlayer* player = audio::CreateAudioPlayer();
  player->SetCallbackFunc(&FeedCallback, audio::kMsgStreamNeedData, &feed);
  player->SetPlayerVolume(volume, volume);
  const unsigned int first = feed.song.size() < 40960 ? unsigned(feed.song.size()) : 40960u;
  if (player->OpenStream(1, 1, feed.song.data(), first, audio::kFormatMp3) != 1) {
    std::fprintf(stderr, "OpenStream refused %s\n", argv[1]);
    player->Release();
    return 1;
  }
  feed.pos = first;
  const std::uint64_t start = audio::MonotonicMicroseconds();
  player->Play();
  bool ended = false;
  // A guard against hanging: the longest fixture lasts 8 s.
  for (int i = 0; i < 600 && !ended; ++i) {
    Sleep(50);
    audio::PlayerStatus s{};
    player->GetStatus(&s);
    ended = s.playing == 0 && s.paused == 0;
  }
  const std::uint64_t wall = audio::MonotonicMicroseconds() - start;
  audio::TimePosition pos{};
  player->GetPosition(&pos);
  audio::StreamFigures f{};
  audio::GetStreamFigures(player, &f);
  std::printf("ended=%d played_ms=%u wall_ms=%llu first_buffer_after_play_us=%llu frames=%llu "
              "pushed=%llu skipped=%llu pcm_bytes=%llu requests=%u empty_answers=%u\n",
              ended ? 1 : 0, pos.milliseconds, (unsigned long long)(wall / 1000),
              (unsigned long long)(f.firstBufferUs - f.playUs), (unsigned long long)f.framesDecoded,
              (unsigned long long)f.bytesPushed, (unsigned long long)f.bytesSkipped,
              (unsigned long long)f.pcmBytesWritten, f.dataRequests, f.emptyAnswers);
  player->Release();
  return ended ? 0 : 1;
}
