// Our audio player object: plays one MP3 stream that grows in memory while it arrives.
//
// The engine obtains an instance from CreateAudioPlayer() and drives it through these eleven operations.
// Decoding runs through the system's ACM MP3 codec and output through waveOut, on a thread of the
// object's own; that thread calls the registered callback with kMsgStreamNeedData whenever the stream
// wants more bytes, and the callback answers by pushing data (possibly 0 bytes) from inside the call.
//
// Stream rules the engine relies on:
//  - OpenStream returns 1 once the bytes given are enough to find the first MP3 frames; any other value
//    means "not yet, give me more".
//  - Pushing 0 bytes means "nothing more right now". When every pushed byte has been played and the last
//    request was answered with 0 bytes, the stream stops by itself: GetStatus then reports playing = 0 and
//    paused = 0.
//  - Pause() called from inside the callback (download behind) holds output without losing data;
//    GetStatus reports paused = 1 until Play() resumes.
//  - Close() stops output, ends the callback calls before it returns, and never hangs.
//    Called from another thread while the callback runs, it waits for that call to return, so the
//    caller must not hold a lock the callback takes. Called from inside the callback it returns at
//    once and no further call comes; even Release() may be called there.
//  - A device that stops taking sound for 10 s (a sound server gone) ends the stream as if the data
//    had run out, instead of leaving it "playing" at one position forever.
// No <windows.h> here: the engine's logic stays free of it.
//
// Added after the first version, source-compatible (elsewhere only comments were added):
// StreamFigures, GetStreamFigures and MonotonicMicroseconds at the end, for benchmarks.
#pragma once
#include <cstdint>

namespace audio {

enum StreamFormat : int { kFormatUnknown = 0, kFormatMp3 = 1 };

// The callback message that asks for more stream data.
constexpr unsigned int kMsgStreamNeedData = 0x800000;

struct TimePosition {
  unsigned int seconds;       // whole seconds since the stream's start
  unsigned int milliseconds;  // the same position in milliseconds
};

struct PlayerStatus {
  int playing;  // 1 while a stream is open and not stopped (also while paused)
  int paused;   // 1 while output is held by Pause()
};

class AudioPlayer;
// Called on the player's own thread; returns 0.
using StreamCallback = int (*)(AudioPlayer* instance, void* userData, unsigned int message,
                               std::uintptr_t param1, std::uintptr_t param2);

class AudioPlayer {
 public:
  // Format of the file at path8 (8-bit, thread ANSI code page): kFormatUnknown when it holds no MP3 frames.
  // A file that starts with a well-formed ID3v2 tag followed only by zeros (a song with a large picture
  // whose audio has not arrived in the stream's temporary file) counts as MP3.
  virtual int GetFileFormat(const char* path8) = 0;
  // Registers the callback for the messages in messageMask.
  virtual int SetCallbackFunc(StreamCallback callback, unsigned int messageMask, void* userData) = 0;
  // Opens a stream from its first bytes; returns 1 when open: format is kFormatMp3 and the bytes hold
  // two frames in a row after any ID3v2 tag. Every stream is buffered and may grow, whatever the
  // first two arguments say. Bytes that open replace an open stream; others leave it alone.
  virtual int OpenStream(int buffered, int dynamic, const void* data, unsigned int size, int format) = 0;
  // Appends bytes to the open stream (size 0 allowed, see above).
  virtual int PushDataToStream(const void* data, unsigned int size) = 0;
  virtual int Play() = 0;   // starts playback; resumes after Pause()
  virtual int Pause() = 0;
  // The sound the device has actually played (not what was decoded or queued); 0 when closed.
  virtual void GetPosition(TimePosition* position) = 0;
  virtual void GetStatus(PlayerStatus* status) = 0;
  // 0..100 each (clamped); kept for later streams. The samples are scaled, so only this stream's
  // sound changes; a change is heard after the sound already queued (at most 0.6 s).
  virtual int SetPlayerVolume(int left, int right) = 0;
  virtual int Close() = 0;
  virtual void Release() = 0;  // frees the instance (closes first)

 protected:
  virtual ~AudioPlayer() = default;
};

// The factory: a new, closed player instance (never null).
AudioPlayer* CreateAudioPlayer();

// Benchmark figures of an instance's open (or last opened) stream. Times are MonotonicMicroseconds()
// values, 0 while the event has not happened.
struct StreamFigures {
  std::uint64_t openedUs;         // OpenStream succeeded
  std::uint64_t playUs;           // the first Play()
  std::uint64_t firstBufferUs;    // the first decoded buffer was handed to the sound device
  std::uint64_t bytesPushed;      // MP3 bytes received through OpenStream and PushDataToStream
  std::uint64_t bytesSkipped;     // received bytes that were not frames of the stream
  std::uint64_t framesDecoded;
  std::uint64_t pcmBytesWritten;  // PCM bytes handed to the device
  unsigned int dataRequests;      // callback calls asking for data
  unsigned int emptyAnswers;      // requests answered with no bytes
};
// False (and *figures zeroed) when the instance has never opened a stream.
bool GetStreamFigures(AudioPlayer* instance, StreamFigures* figures);
// A steady clock in microseconds (the one StreamFigures uses).
std::uint64_t MonotonicMicroseconds();

}  // namespace audio
