// The audio player object: MP3 frames -> ACM decoder -> waveOut, on a thread of each stream's own.
//
// Each open stream is a StreamSession with its own thread, decoder and device. The player only holds
// a reference to the current session, so Close() can detach it from any thread: called from another
// thread it waits for the session thread to end; called from inside the callback (on the session
// thread) it only marks the session to quit, and the thread tears everything down once the callback
// returns. The session never touches the player object, so even Release() from inside the callback
// is safe.
//
// Lock order: player lock, then session lock. The session thread calls the callback without holding
// its lock, and never calls waveOut functions from a waveOut callback (it uses CALLBACK_EVENT).
#include "audio/AudioPlayer.h"

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <atomic>
#include <new>
#include <cstring>
#include <vector>

#include "audio/Mp3File.h"
#include "audio/Mp3Frames.h"
#include "platform/Text.h"
#include "player/common/Trace.h"

namespace audio {
namespace {

constexpr int kBufferCount = 6;  // 0.6 s queued: a busy machine must not make the sound stutter
constexpr int kBufferMs = 100;          // each device buffer holds about this much sound
constexpr DWORD kIdleWaitMs = 200;      // the thread also looks at its stream this often
constexpr int kMaxRequestsPerRound = 8; // data requests in a row while a buffer is still to fill
// Queued sound that the device has not taken for this long means the device is gone (a pulled
// headset, a dead sound server): the stream ends instead of playing forever at one position.
constexpr ULONGLONG kDeviceStallMs = 10000;
constexpr std::size_t kMaxFrameBytes = 4096;  // Layer III frames are at most 1441 bytes
constexpr std::size_t kDecodeBytesPerFrame = 1152 * 2 * 2 * 4;  // generous: the decoder may lag a frame

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&m_cs); }
  ~CriticalSection() { DeleteCriticalSection(&m_cs); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { EnterCriticalSection(&m_cs); }
  void Leave() { LeaveCriticalSection(&m_cs); }

 private:
  CRITICAL_SECTION m_cs;
};

class Locked {
 public:
  explicit Locked(CriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
  ~Locked() { m_cs.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& m_cs;
};

int ClampVolume(int v) { return v < 0 ? 0 : v > 100 ? 100 : v; }

struct CallbackTarget {
  StreamCallback callback = nullptr;
  unsigned int mask = 0;
  void* userData = nullptr;
};

class StreamSession {
 public:
  // Opens decoder and device for frames of `format`; `bytes` start at a frame. Null on failure.
  static StreamSession* Open(const Mp3FrameHeader& format, const std::uint8_t* bytes, std::size_t size,
                             AudioPlayer* owner, const CallbackTarget& target, int left, int right);

  void AddRef() { ++m_nRefs; }
  void Release() {
    if (--m_nRefs == 0) delete this;
  }

  void SetCallback(const CallbackTarget& target) {
    Locked lock(m_cs);
    m_target = target;
  }
  void SetVolume(int left, int right) {
    m_nLeft = left;
    m_nRight = right;
  }
  int Push(const void* data, unsigned int size);
  int Play();
  int Pause();
  void Position(TimePosition* position);
  void Status(PlayerStatus* status);
  void Figures(StreamFigures* figures) {
    Locked lock(m_cs);
    *figures = m_figures;
    figures->bytesSkipped = m_input.SkippedBytes();
  }
  // Ends the stream. From another thread: returns once the session thread has ended. From the
  // session thread itself (inside the callback): the thread ends after the callback returns.
  void Stop();

 private:
  StreamSession() = default;
  ~StreamSession();
  bool Start(const Mp3FrameHeader& format);
  static DWORD WINAPI ThreadProc(void* param);
  void Run();
  void Step();
  void ReclaimDoneBuffers();
  int FreeBuffer() const;
  bool AnyInFlight() const;
  std::size_t StagedBytes() const { return m_stage.size() - m_nStageRead; }
  void DecodeUntil(std::size_t wanted, bool endOfInput);
  bool Submit(int slot, std::size_t bytes);
  void Teardown();

  std::atomic<int> m_nRefs{1};
  CriticalSection m_cs;
  AudioPlayer* m_pOwner = nullptr;  // passed to the callback, never used here
  CallbackTarget m_target;
  std::atomic<int> m_nLeft{100}, m_nRight{100};

  HANDLE m_hThread = nullptr;
  DWORD m_nThreadId = 0;
  HANDLE m_hDeviceEvent = nullptr;  // signalled by waveOut when a buffer is done
  HANDLE m_hWake = nullptr;         // signalled by Play, Push and Stop

  HACMSTREAM m_hAcm = nullptr;
  ACMSTREAMHEADER m_acmHeader{};
  bool m_bAcmPrepared = false;
  bool m_bAcmStarted = false;
  std::vector<std::uint8_t> m_acmIn, m_acmOut;

  HWAVEOUT m_hWave = nullptr;
  WAVEFORMATEX m_pcm{};
  WAVEHDR m_headers[kBufferCount]{};
  std::vector<std::uint8_t> m_buffers[kBufferCount];
  bool m_bInFlight[kBufferCount]{};
  std::size_t m_nBufferBytes = 0;

  Mp3FrameSplitter m_input;
  std::vector<std::uint8_t> m_stage;  // decoded PCM not yet handed to the device
  std::size_t m_nStageRead = 0;

  bool m_bStarted = false;   // Play() was called once
  bool m_bPaused = false;
  bool m_bFinished = false;  // every byte played and the last request got nothing
  bool m_bQuit = false;
  bool m_bInRequest = false;
  unsigned int m_nRequestPushes = 0;  // bytes-carrying pushes during the current request
  bool m_bLastAnswerEmpty = false;
  std::uint64_t m_nDoneBytes = 0;     // PCM bytes of buffers the device has returned
  ULONGLONG m_nProgressTick = 0;      // when the device last took sound, or output was resumed
  std::uint64_t m_nDevicePosHigh = 0; // the device's 32-bit byte position, unwrapped
  DWORD m_nDevicePosLast = 0;
  StreamFigures m_figures{};
};

StreamSession* StreamSession::Open(const Mp3FrameHeader& format, const std::uint8_t* bytes, std::size_t size,
                                   AudioPlayer* owner, const CallbackTarget& target, int left, int right) {
  StreamSession* s = new StreamSession();
  s->m_pOwner = owner;
  s->m_target = target;
  s->m_nLeft = left;
  s->m_nRight = right;
  s->m_figures.openedUs = MonotonicMicroseconds();
  bool started = false;
  try {
    s->m_input.SetFormat(format);
    s->m_input.Append(bytes, size);
    s->m_figures.bytesPushed = size;
    started = s->Start(format);
  } catch (const std::bad_alloc&) {
    started = false;  // Start creates the thread last, so no thread runs here
  }
  if (!started) {
    s->Teardown();
    s->Release();
    return nullptr;
  }
  return s;
}

bool StreamSession::Start(const Mp3FrameHeader& format) {
  MPEGLAYER3WAVEFORMAT mp3{};
  mp3.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  mp3.wfx.nChannels = WORD(format.channels);
  mp3.wfx.nSamplesPerSec = DWORD(format.sampleRate);
  mp3.wfx.nAvgBytesPerSec = DWORD(format.bitrateKbps) * 125;
  mp3.wfx.nBlockAlign = 1;
  mp3.wfx.wBitsPerSample = 0;
  mp3.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  mp3.wID = MPEGLAYER3_ID_MPEG;
  mp3.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  mp3.nBlockSize = WORD(format.frameBytes - format.padding);
  mp3.nFramesPerBlock = 1;
  mp3.nCodecDelay = 0;

  m_pcm.wFormatTag = WAVE_FORMAT_PCM;
  m_pcm.nChannels = WORD(format.channels);
  m_pcm.nSamplesPerSec = DWORD(format.sampleRate);
  m_pcm.wBitsPerSample = 16;
  m_pcm.nBlockAlign = WORD(m_pcm.nChannels * 2);
  m_pcm.nAvgBytesPerSec = m_pcm.nSamplesPerSec * m_pcm.nBlockAlign;
  m_pcm.cbSize = 0;

  MMRESULT r = acmStreamOpen(&m_hAcm, nullptr, &mp3.wfx, &m_pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
  if (r != MMSYSERR_NOERROR) {
    m_hAcm = nullptr;
    Trace(StrFormat(L"audio: the MP3 decoder cannot open %d Hz, %d channels (error %u)", format.sampleRate,
                    format.channels, unsigned(r)));
    return false;
  }
  m_acmIn.resize(kMaxFrameBytes);
  m_acmOut.resize(kDecodeBytesPerFrame);
  m_acmHeader.cbStruct = sizeof m_acmHeader;
  m_acmHeader.pbSrc = m_acmIn.data();
  m_acmHeader.cbSrcLength = DWORD(m_acmIn.size());
  m_acmHeader.pbDst = m_acmOut.data();
  m_acmHeader.cbDstLength = DWORD(m_acmOut.size());
  r = acmStreamPrepareHeader(m_hAcm, &m_acmHeader, 0);
  if (r != MMSYSERR_NOERROR) {
    Trace(StrFormat(L"audio: the MP3 decoder refused its buffers (error %u)", unsigned(r)));
    return false;
  }
  m_bAcmPrepared = true;

  m_hDeviceEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  m_hWake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!m_hDeviceEvent || !m_hWake) return false;
  r = waveOutOpen(&m_hWave, WAVE_MAPPER, &m_pcm, DWORD_PTR(m_hDeviceEvent), 0, CALLBACK_EVENT);
  if (r != MMSYSERR_NOERROR) {
    m_hWave = nullptr;
    Trace(StrFormat(L"audio: no sound device for %d Hz, %d channels (error %u)", format.sampleRate,
                    format.channels, unsigned(r)));
    return false;
  }
  m_nBufferBytes = std::size_t(m_pcm.nSamplesPerSec) * kBufferMs / 1000 * m_pcm.nBlockAlign;
  for (auto& b : m_buffers) b.resize(m_nBufferBytes);

  AddRef();  // the thread's own reference
  m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, &m_nThreadId);
  if (!m_hThread) {
    --m_nRefs;
    return false;
  }
  // Sound must not stop because the interface thread is busy drawing.
  SetThreadPriority(m_hThread, THREAD_PRIORITY_ABOVE_NORMAL);
  return true;
}

StreamSession::~StreamSession() {
  if (m_hThread) CloseHandle(m_hThread);
  if (m_hDeviceEvent) CloseHandle(m_hDeviceEvent);
  if (m_hWake) CloseHandle(m_hWake);
}

DWORD WINAPI StreamSession::ThreadProc(void* param) {
  auto* self = static_cast<StreamSession*>(param);
  self->Run();
  self->Teardown();
  self->Release();
  return 0;
}

void StreamSession::Run() {
  const HANDLE events[2] = {m_hDeviceEvent, m_hWake};
  for (;;) {
    {
      Locked lock(m_cs);
      if (m_bQuit) return;
    }
    try {
      Step();
    } catch (...) {
      // Out of memory while decoding: end the stream rather than the program.
      Locked lock(m_cs);
      if (!m_bFinished) Trace(L"audio: out of memory; the stream ends");
      m_bFinished = true;
    }
    WaitForMultipleObjects(2, events, FALSE, kIdleWaitMs);
  }
}

void StreamSession::ReclaimDoneBuffers() {
  for (int i = 0; i < kBufferCount; ++i) {
    if (m_bInFlight[i] && (m_headers[i].dwFlags & WHDR_DONE)) {
      waveOutUnprepareHeader(m_hWave, &m_headers[i], sizeof(WAVEHDR));
      m_bInFlight[i] = false;
      m_nDoneBytes += m_headers[i].dwBufferLength;
      m_nProgressTick = GetTickCount64();
    }
  }
}

int StreamSession::FreeBuffer() const {
  for (int i = 0; i < kBufferCount; ++i)
    if (!m_bInFlight[i]) return i;
  return -1;
}

bool StreamSession::AnyInFlight() const {
  for (bool b : m_bInFlight)
    if (b) return true;
  return false;
}

void StreamSession::DecodeUntil(std::size_t wanted, bool endOfInput) {
  while (StagedBytes() < wanted) {
    const std::uint8_t* frame = nullptr;
    std::size_t n = 0;
    if (!m_input.Next(&frame, &n, endOfInput)) return;
    if (n > m_acmIn.size()) continue;
    std::memcpy(m_acmIn.data(), frame, n);
    m_acmHeader.cbSrcLength = DWORD(n);
    m_acmHeader.cbDstLength = DWORD(m_acmOut.size());
    m_acmHeader.cbSrcLengthUsed = 0;
    m_acmHeader.cbDstLengthUsed = 0;
    const DWORD flags = m_bAcmStarted ? ACM_STREAMCONVERTF_BLOCKALIGN : ACM_STREAMCONVERTF_START;
    if (acmStreamConvert(m_hAcm, &m_acmHeader, flags) != MMSYSERR_NOERROR) continue;  // a bad frame: skip it
    m_bAcmStarted = true;
    ++m_figures.framesDecoded;
    if (m_nStageRead > 0 && m_nStageRead * 2 >= m_stage.size()) {
      m_stage.erase(m_stage.begin(), m_stage.begin() + std::ptrdiff_t(m_nStageRead));
      m_nStageRead = 0;
    }
    const std::size_t got = m_acmHeader.cbDstLengthUsed;
    // Whole sample frames only: a decoder never returns less, but a broken one must not shift channels.
    m_stage.insert(m_stage.end(), m_acmOut.data(), m_acmOut.data() + got - got % m_pcm.nBlockAlign);
  }
}

bool StreamSession::Submit(int slot, std::size_t bytes) {
  std::uint8_t* out = m_buffers[slot].data();
  const std::uint8_t* in = m_stage.data() + m_nStageRead;
  const int left = ClampVolume(m_nLeft), right = ClampVolume(m_nRight);
  if (left == 100 && right == 100) {
    std::memcpy(out, in, bytes);
  } else {
    // Scaling the samples ourselves changes only this stream, on every system.
    const std::size_t samples = bytes / 2;
    const int channels = m_pcm.nChannels;
    const int mono = (left + right) / 2;
    for (std::size_t i = 0; i < samples; ++i) {
      std::int16_t s;
      std::memcpy(&s, in + i * 2, 2);
      const int v = channels == 1 ? mono : (i % 2 == 0 ? left : right);
      s = std::int16_t(int(s) * v / 100);
      std::memcpy(out + i * 2, &s, 2);
    }
  }
  m_nStageRead += bytes;

  if (!AnyInFlight()) m_nProgressTick = GetTickCount64();
  WAVEHDR& h = m_headers[slot];
  std::memset(&h, 0, sizeof h);
  h.lpData = reinterpret_cast<LPSTR>(out);
  h.dwBufferLength = DWORD(bytes);
  if (waveOutPrepareHeader(m_hWave, &h, sizeof h) != MMSYSERR_NOERROR) return false;
  if (waveOutWrite(m_hWave, &h, sizeof h) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(m_hWave, &h, sizeof h);
    return false;
  }
  m_bInFlight[slot] = true;
  m_figures.pcmBytesWritten += bytes;
  if (m_figures.firstBufferUs == 0) {
    m_figures.firstBufferUs = MonotonicMicroseconds();
    DebugLine(StrFormat(L"audio: first buffer to the device %u ms after open",
                        unsigned((m_figures.firstBufferUs - m_figures.openedUs) / 1000)));
  }
  return true;
}

void StreamSession::Step() {
  Locked lock(m_cs);
  if (m_bQuit || !m_hWave) return;
  ReclaimDoneBuffers();
  if (!m_bStarted || m_bPaused || m_bFinished) return;
  if (AnyInFlight() && GetTickCount64() - m_nProgressTick > kDeviceStallMs) {
    Trace(L"audio: the sound device stopped taking sound; the stream ends");
    m_bFinished = true;
    return;
  }

  int requests = 0;
  for (;;) {
    const int slot = FreeBuffer();
    if (slot < 0) break;
    const bool endOfInput = requests > 0 && m_bLastAnswerEmpty;
    DecodeUntil(m_nBufferBytes, endOfInput);
    const std::size_t staged = StagedBytes();
    if (staged >= m_nBufferBytes || (endOfInput && staged > 0)) {
      if (!Submit(slot, staged < m_nBufferBytes ? staged : m_nBufferBytes)) {
        Trace(L"audio: the sound device refused a buffer; the stream ends");
        m_bFinished = true;
        break;
      }
      continue;
    }
    // Asked in vain, or often enough for this round: the next round comes when a buffer is done.
    if (endOfInput || requests >= kMaxRequestsPerRound) break;

    // Ask for more bytes. The callback pushes from inside the call, possibly pauses or closes.
    ++requests;
    const CallbackTarget target = m_target;
    ++m_figures.dataRequests;
    if (target.callback && (target.mask & kMsgStreamNeedData)) {
      m_bInRequest = true;
      m_nRequestPushes = 0;
      m_cs.Leave();
      try {
        target.callback(m_pOwner, target.userData, kMsgStreamNeedData, 0, 0);
      } catch (...) {
        // The callback's own fault; no exception may leave this thread.
      }
      m_cs.Enter();
      m_bInRequest = false;
      if (m_nRequestPushes == 0) m_bLastAnswerEmpty = true;
    } else {
      m_bLastAnswerEmpty = true;
    }
    if (m_bLastAnswerEmpty) ++m_figures.emptyAnswers;
    if (m_bQuit || m_bPaused) return;
  }
  if (requests > 0 && m_bLastAnswerEmpty && !AnyInFlight() && StagedBytes() == 0) {
    m_bFinished = true;  // every pushed byte was played and the stream asked in vain
    m_nDoneBytes = m_figures.pcmBytesWritten;
  }
}

int StreamSession::Push(const void* data, unsigned int size) {
  if (size > 0 && !data) return 0;
  {
    Locked lock(m_cs);
    if (m_bQuit || m_bFinished) return 0;
    if (size == 0) {
      m_bLastAnswerEmpty = true;
      return 1;
    }
    try {
      m_input.Append(static_cast<const std::uint8_t*>(data), size);
    } catch (const std::bad_alloc&) {
      return 0;
    }
    m_figures.bytesPushed += size;
    m_bLastAnswerEmpty = false;
    if (m_bInRequest) {
      ++m_nRequestPushes;
      return 1;
    }
  }
  SetEvent(m_hWake);  // pushed from outside a request: the thread may be waiting for it
  return 1;
}

int StreamSession::Play() {
  {
    Locked lock(m_cs);
    if (m_bQuit || m_bFinished) return 0;
    if (!m_bStarted) {
      m_bStarted = true;
      m_figures.playUs = MonotonicMicroseconds();
    }
    if (m_bPaused) {
      waveOutRestart(m_hWave);
      m_bPaused = false;
      m_nProgressTick = GetTickCount64();
    }
  }
  SetEvent(m_hWake);
  return 1;
}

int StreamSession::Pause() {
  Locked lock(m_cs);
  if (m_bQuit || m_bFinished) return 0;
  if (!m_bPaused) {
    waveOutPause(m_hWave);  // buffers already queued stay queued
    m_bPaused = true;
  }
  return 1;
}

void StreamSession::Position(TimePosition* position) {
  Locked lock(m_cs);
  std::uint64_t bytes = m_nDoneBytes;
  if (!m_bFinished && !m_bQuit && m_hWave) {
    MMTIME t{};
    t.wType = TIME_BYTES;
    if (waveOutGetPosition(m_hWave, &t, sizeof t) == MMSYSERR_NOERROR && t.wType == TIME_BYTES) {
      if (t.u.cb < m_nDevicePosLast) m_nDevicePosHigh += 0x100000000ull;
      m_nDevicePosLast = t.u.cb;
      bytes = m_nDevicePosHigh + t.u.cb;
    }
  }
  if (bytes > m_figures.pcmBytesWritten) bytes = m_figures.pcmBytesWritten;
  const std::uint64_t ms = bytes * 1000u / m_pcm.nAvgBytesPerSec;
  position->milliseconds = unsigned(ms);
  position->seconds = unsigned(ms / 1000u);
}

void StreamSession::Status(PlayerStatus* status) {
  Locked lock(m_cs);
  const bool playing = !m_bQuit && !m_bFinished;
  status->playing = playing ? 1 : 0;
  status->paused = playing && m_bPaused ? 1 : 0;
}

void StreamSession::Stop() {
  {
    Locked lock(m_cs);
    m_bQuit = true;
  }
  SetEvent(m_hWake);
  if (m_hThread && GetCurrentThreadId() != m_nThreadId) WaitForSingleObject(m_hThread, INFINITE);
}

void StreamSession::Teardown() {
  Locked lock(m_cs);
  if (m_hWave) {
    waveOutReset(m_hWave);  // returns every queued buffer at once, also when paused
    for (int i = 0; i < kBufferCount; ++i) {
      if (!m_bInFlight[i]) continue;
      // After the reset the flag is set at once; the bound only guards against a broken driver.
      for (int tries = 0; tries < 200 && !(m_headers[i].dwFlags & WHDR_DONE); ++tries) Sleep(5);
      waveOutUnprepareHeader(m_hWave, &m_headers[i], sizeof(WAVEHDR));
      m_bInFlight[i] = false;
    }
    waveOutClose(m_hWave);
    m_hWave = nullptr;
  }
  if (m_hAcm) {
    if (m_bAcmPrepared) {
      m_acmHeader.cbSrcLength = DWORD(m_acmIn.size());
      m_acmHeader.cbDstLength = DWORD(m_acmOut.size());
      acmStreamUnprepareHeader(m_hAcm, &m_acmHeader, 0);
      m_bAcmPrepared = false;
    }
    acmStreamClose(m_hAcm, 0);
    m_hAcm = nullptr;
  }
}

// ---- the player object ----

class CAudioPlayer final : public AudioPlayer {
 public:
  int GetFileFormat(const char* path8) override;
  int SetCallbackFunc(StreamCallback callback, unsigned int messageMask, void* userData) override;
  int OpenStream(int buffered, int dynamic, const void* data, unsigned int size, int format) override;
  int PushDataToStream(const void* data, unsigned int size) override;
  int Play() override;
  int Pause() override;
  void GetPosition(TimePosition* position) override;
  void GetStatus(PlayerStatus* status) override;
  int SetPlayerVolume(int left, int right) override;
  int Close() override;
  void Release() override;

  bool Figures(StreamFigures* figures);

 private:
  ~CAudioPlayer() override { Close(); }
  // The current session with a reference for the caller, or null.
  StreamSession* Current();

  CriticalSection m_cs;
  StreamSession* m_pSession = nullptr;  // the open stream
  StreamSession* m_pLast = nullptr;     // the last opened stream, kept for its figures
  CallbackTarget m_target;
  int m_nLeft = 100, m_nRight = 100;
};

StreamSession* CAudioPlayer::Current() {
  Locked lock(m_cs);
  if (m_pSession) m_pSession->AddRef();
  return m_pSession;
}

int CAudioPlayer::GetFileFormat(const char* path8) {
  if (!path8 || !*path8) return kFormatUnknown;
  return IsMp3File(ThreadAnsiToWide(path8)) ? kFormatMp3 : kFormatUnknown;
}

int CAudioPlayer::SetCallbackFunc(StreamCallback callback, unsigned int messageMask, void* userData) {
  Locked lock(m_cs);
  m_target.callback = callback;
  m_target.mask = messageMask;
  m_target.userData = userData;
  if (m_pSession) m_pSession->SetCallback(m_target);
  return 1;
}

int CAudioPlayer::OpenStream(int buffered, int dynamic, const void* data, unsigned int size, int format) {
  // Every stream is buffered and may grow; the two flags are accepted for the caller's sake.
  if (format != kFormatMp3 || !data || size == 0) return 0;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::uint64_t tags = SkipId3v2Tags(bytes, size);
  if (tags >= size) return 0;  // the tag is not complete yet
  Mp3FrameHeader header;
  std::size_t first = FindFirstFrame(bytes, size, std::size_t(tags), &header, false);
  if (first == kNoFrame && tags > 0) first = FindFirstFrame(bytes, size, 0, &header, false);
  if (first == kNoFrame) return 0;  // not two frames in a row yet
  // A VBR header frame holds no sound; the frame after it has the stream's format too.
  if (IsVbrHeaderFrame(bytes + first, size - first, header)) first += std::size_t(header.frameBytes);

  Close();  // a new stream replaces the open one
  Locked lock(m_cs);
  StreamSession* session = nullptr;
  try {
    session = StreamSession::Open(header, bytes + first, size - first, this, m_target, m_nLeft, m_nRight);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (!session) return 0;
  if (m_pLast) m_pLast->Release();
  m_pSession = session;
  m_pLast = session;
  m_pLast->AddRef();
  return 1;
}

int CAudioPlayer::PushDataToStream(const void* data, unsigned int size) {
  StreamSession* s = Current();
  if (!s) return 0;
  const int r = s->Push(data, size);
  s->Release();
  return r;
}

int CAudioPlayer::Play() {
  StreamSession* s = Current();
  if (!s) return 0;
  const int r = s->Play();
  s->Release();
  return r;
}

int CAudioPlayer::Pause() {
  StreamSession* s = Current();
  if (!s) return 0;
  const int r = s->Pause();
  s->Release();
  return r;
}

void CAudioPlayer::GetPosition(TimePosition* position) {
  if (!position) return;
  position->seconds = 0;
  position->milliseconds = 0;
  StreamSession* s = Current();
  if (!s) return;
  s->Position(position);
  s->Release();
}

void CAudioPlayer::GetStatus(PlayerStatus* status) {
  if (!status) return;
  status->playing = 0;
  status->paused = 0;
  StreamSession* s = Current();
  if (!s) return;
  s->Status(status);
  s->Release();
}

int CAudioPlayer::SetPlayerVolume(int left, int right) {
  Locked lock(m_cs);
  m_nLeft = ClampVolume(left);
  m_nRight = ClampVolume(right);
  if (m_pSession) m_pSession->SetVolume(m_nLeft, m_nRight);
  return 1;
}

int CAudioPlayer::Close() {
  StreamSession* s;
  {
    Locked lock(m_cs);
    s = m_pSession;
    m_pSession = nullptr;
  }
  if (!s) return 1;
  // Not under the lock: a callback running now may call back into this object.
  s->Stop();
  s->Release();
  return 1;
}

void CAudioPlayer::Release() {
  Close();
  {
    Locked lock(m_cs);
    if (m_pLast) m_pLast->Release();
    m_pLast = nullptr;
  }
  delete this;
}

bool CAudioPlayer::Figures(StreamFigures* figures) {
  Locked lock(m_cs);
  if (!m_pLast) return false;
  m_pLast->Figures(figures);
  return true;
}

}  // namespace

AudioPlayer* CreateAudioPlayer() { return new CAudioPlayer(); }

bool GetStreamFigures(AudioPlayer* instance, StreamFigures* figures) {
  if (!figures) return false;
  *figures = StreamFigures{};
  auto* player = dynamic_cast<CAudioPlayer*>(instance);
  return player && player->Figures(figures);
}

std::uint64_t MonotonicMicroseconds() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return std::uint64_t(now.QuadPart / frequency) * 1000000u +
         std::uint64_t(now.QuadPart % frequency) * 1000000u / std::uint64_t(frequency);
}

}  // namespace audio
