// MP3 frame parsing and length measurement on the fixture files and on hand-made bytes.
#include <doctest/doctest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Mp3TestFiles.h"
#include "audio/Mp3File.h"
#include "audio/Mp3Frames.h"

using namespace audio;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Header(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) { return {b0, b1, b2, b3}; }

// An ID3v2 header with the given version, flags and raw size bytes, followed by bodyBytes zeros.
Bytes Id3(std::uint8_t major, std::uint8_t flags, const std::uint8_t size[4], std::size_t bodyBytes) {
  Bytes b = {'I', 'D', '3', major, 0, flags, size[0], size[1], size[2], size[3]};
  b.resize(b.size() + bodyBytes, 0);
  return b;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t n) {
  if (from > b.size()) from = b.size();
  if (n > b.size() - from) n = b.size() - from;
  return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(from + n));
}

// A synthetic stream of `count` frames with the given header (frame bodies are a non-sync pattern).
Bytes Frames(const Bytes& header, int count) {
  Mp3FrameHeader h;
  REQUIRE(ParseMp3FrameHeader(header.data(), header.size(), &h));
  Bytes out;
  for (int i = 0; i < count; ++i) {
    Bytes f(std::size_t(h.frameBytes), 0x55);
    std::memcpy(f.data(), header.data(), 4);
    out = Concat(out, f);
  }
  return out;
}

int CountFrames(const Bytes& bytes) {
  int frames = 0;
  std::size_t pos = 0;
  Mp3FrameHeader h;
  while (ParseMp3FrameHeader(bytes.data() + pos, bytes.size() - pos, &h) && pos + std::size_t(h.frameBytes) <= bytes.size()) {
    ++frames;
    pos += std::size_t(h.frameBytes);
  }
  return frames;
}

}  // namespace

TEST_CASE("frame headers of every MPEG version decode to the right numbers") {
  struct Case {
    Bytes bytes;
    MpegVersion version;
    int bitrate, rate, padding, channels, frameBytes, samples;
    ChannelMode mode;
    bool crc;
  };
  const Case cases[] = {
      // MPEG-1: 128 kbit/s, 44100 Hz, joint stereo, no CRC (the fixtures' header)
      {Header(0xFF, 0xFB, 0x90, 0x64), MpegVersion::kMpeg1, 128, 44100, 0, 2, 417, 1152, ChannelMode::kJointStereo, false},
      // the same with padding: one byte more
      {Header(0xFF, 0xFB, 0x92, 0x64), MpegVersion::kMpeg1, 128, 44100, 1, 2, 418, 1152, ChannelMode::kJointStereo, false},
      // MPEG-1: 320 kbit/s, 32000 Hz, mono, CRC
      {Header(0xFF, 0xFA, 0xE8, 0xC0), MpegVersion::kMpeg1, 320, 32000, 0, 1, 1440, 1152, ChannelMode::kMono, true},
      // MPEG-1: 32 kbit/s, 48000 Hz, dual channel
      {Header(0xFF, 0xFB, 0x14, 0x80), MpegVersion::kMpeg1, 32, 48000, 0, 2, 96, 1152, ChannelMode::kDualChannel, false},
      // MPEG-2: 64 kbit/s, 22050 Hz, stereo
      {Header(0xFF, 0xF3, 0x80, 0x00), MpegVersion::kMpeg2, 64, 22050, 0, 2, 208, 576, ChannelMode::kStereo, false},
      // MPEG-2: 160 kbit/s, 16000 Hz, mono, padding
      {Header(0xFF, 0xF3, 0xEA, 0xC0), MpegVersion::kMpeg2, 160, 16000, 1, 1, 721, 576, ChannelMode::kMono, false},
      // MPEG-2.5: 32 kbit/s, 8000 Hz, stereo
      {Header(0xFF, 0xE3, 0x48, 0x00), MpegVersion::kMpeg25, 32, 8000, 0, 2, 288, 576, ChannelMode::kStereo, false},
      // MPEG-2.5: 8 kbit/s, 11025 Hz, mono, CRC
      {Header(0xFF, 0xE2, 0x10, 0xC0), MpegVersion::kMpeg25, 8, 11025, 0, 1, 52, 576, ChannelMode::kMono, true},
      // MPEG-2.5: 160 kbit/s, 8000 Hz, padding: the largest Layer III frame
      {Header(0xFF, 0xE3, 0xEA, 0x00), MpegVersion::kMpeg25, 160, 8000, 1, 2, 1441, 576, ChannelMode::kStereo, false},
  };
  for (const Case& c : cases) {
    CAPTURE(c.bytes[1]);
    CAPTURE(c.bytes[2]);
    CAPTURE(c.bytes[3]);
    Mp3FrameHeader h;
    REQUIRE(ParseMp3FrameHeader(c.bytes.data(), c.bytes.size(), &h));
    CHECK(h.version == c.version);
    CHECK(h.layer == 3);
    CHECK(h.bitrateKbps == c.bitrate);
    CHECK(h.sampleRate == c.rate);
    CHECK(h.padding == c.padding);
    CHECK(h.channels == c.channels);
    CHECK(h.channelMode == c.mode);
    CHECK(h.frameBytes == c.frameBytes);
    CHECK(h.samplesPerFrame == c.samples);
    CHECK(h.crc == c.crc);
  }
}

TEST_CASE("headers that are not Layer III frames are refused") {
  const Bytes cases[] = {
      Header(0xFF, 0xEB, 0x90, 0x64),  // reserved version
      Header(0xFF, 0xFD, 0x90, 0x64),  // Layer II
      Header(0xFF, 0xFF, 0x90, 0x64),  // Layer I
      Header(0xFF, 0xF9, 0x90, 0x64),  // reserved layer
      Header(0xFF, 0xFB, 0x00, 0x64),  // free format bitrate
      Header(0xFF, 0xFB, 0xF0, 0x64),  // bad bitrate index
      Header(0xFF, 0xFB, 0x9C, 0x64),  // reserved sample rate
      Header(0xFF, 0xFB, 0x90, 0x66),  // reserved emphasis
      Header(0xFF, 0x1B, 0x90, 0x64),  // sync cut short
      Header(0xFE, 0xFB, 0x90, 0x64),  // no sync
      Header(0x00, 0x00, 0x00, 0x00),
  };
  for (const Bytes& b : cases) {
    CAPTURE(b[0]);
    CAPTURE(b[1]);
    CAPTURE(b[2]);
    CAPTURE(b[3]);
    Mp3FrameHeader h;
    CHECK_FALSE(ParseMp3FrameHeader(b.data(), b.size(), &h));
  }
  const Bytes good = Header(0xFF, 0xFB, 0x90, 0x64);
  for (std::size_t n = 0; n < 4; ++n) CHECK_FALSE(ParseMp3FrameHeader(good.data(), n, nullptr));
  CHECK_FALSE(ParseMp3FrameHeader(nullptr, 4, nullptr));
}

TEST_CASE("ID3v2 tag sizes: footer, bad sizes and tags cut short") {
  const std::uint8_t size100[4] = {0, 0, 0, 100};
  const std::uint8_t size200[4] = {0, 0, 1, 0x48};  // synchsafe 200
  const std::uint8_t highBit[4] = {0, 0, 0x81, 0};  // not synchsafe: no tag
  struct Case {
    std::string what;
    Bytes bytes;
    std::uint64_t tagSize;  // Id3v2TagSize
  };
  const Case cases[] = {
      {"v3 tag", Id3(3, 0, size100, 100), 110},
      {"v4 tag with footer", Id3(4, 0x10, size100, 110), 120},
      {"v3 ignores the footer flag", Id3(3, 0x10, size100, 100), 110},
      {"synchsafe size", Id3(3, 0, size200, 200), 210},
      {"cut short: the size is kept", Id3(3, 0, size200, 20), 210},
      {"size byte with the high bit", Id3(3, 0, highBit, 100), 0},
      {"version 0xFF", Id3(0xFF, 0, size100, 100), 0},
      {"only 9 bytes", Slice(Id3(3, 0, size100, 100), 0, 9), 0},
      {"no tag", Header(0xFF, 0xFB, 0x90, 0x64), 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.what);
    CHECK(Id3v2TagSize(c.bytes.data(), c.bytes.size()) == c.tagSize);
  }
  // Two tags in a row are both skipped.
  const Bytes two = Concat(Id3(3, 0, size100, 100), Id3(4, 0x10, size100, 110));
  CHECK(SkipId3v2Tags(two.data(), two.size()) == 230);
}

TEST_CASE("the first frame is found after tags and garbage, confirmed by the frame after it") {
  const std::uint8_t size100[4] = {0, 0, 0, 100};
  const std::uint8_t tooSmall[4] = {0, 0, 0, 20};
  const std::uint8_t highBit[4] = {0, 0x80, 0, 0};
  const Bytes cbr = Frames(Header(0xFF, 0xFB, 0x90, 0x64), 10);  // 417 bytes each
  const Bytes falseSync = {0xFF, 0xFB, 0x90, 0x64, 1, 2, 3};      // a header with no frame after it
  struct Case {
    std::string what;
    Bytes bytes;
    bool found;
    std::size_t offset;
    std::uint64_t seconds100;  // length in hundredths of a second from AnalyzeMp3
  };
  const Case cases[] = {
      {"plain frames", cbr, true, 0, 26},
      {"after a tag", Concat(Id3(3, 0, size100, 100), cbr), true, 110, 26},
      {"after a tag whose size is too small", Concat(Id3(3, 0, tooSmall, 100), cbr), true, 110, 26},
      {"after a tag with a bad size", Concat(Id3(3, 0, highBit, 100), cbr), true, 110, 26},
      {"after garbage with a false sync", Concat(Concat(Bytes(50, 0x11), falseSync), cbr), true, 57, 26},
      {"a tag cut short", Slice(Concat(Id3(3, 0, size100, 100), cbr), 0, 60), false, 0, 0},
      {"one frame and a cut header", Slice(cbr, 0, 420), false, 0, 0},
      {"garbage only", Bytes(5000, 0xFF), false, 0, 0},
      {"nothing", Bytes(), false, 0, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.what);
    Mp3FrameHeader h;
    const std::size_t tags = std::size_t(SkipId3v2Tags(c.bytes.data(), c.bytes.size()));
    std::size_t pos = tags <= c.bytes.size() ? FindFirstFrame(c.bytes.data(), c.bytes.size(), tags, &h, false) : kNoFrame;
    if (pos == kNoFrame && tags > 0 && tags <= c.bytes.size()) pos = FindFirstFrame(c.bytes.data(), c.bytes.size(), 0, &h, false);
    const Mp3StreamInfo info = AnalyzeMp3(c.bytes.data(), c.bytes.size());
    CHECK(info.found == c.found);
    if (c.found) {
      CHECK(pos == c.offset);
      CHECK(info.firstFrame == c.offset);
      CHECK(info.header.bitrateKbps == 128);
      CHECK(info.milliseconds / 10 == c.seconds100);
    }
  }
  // A single whole frame confirms itself only when the caller allows it.
  const Bytes one = Slice(cbr, 0, 417);
  CHECK(FindFirstFrame(one.data(), one.size(), 0, nullptr, true) == 0);
  CHECK(FindFirstFrame(one.data(), one.size(), 0, nullptr, false) == kNoFrame);
}

TEST_CASE("the fixture files: first frame, format, VBR frame count and length") {
  struct Case {
    const char* file;
    std::size_t firstFrame;
    int bitrate, rate, channels;
    bool vbrHeader;
    unsigned int seconds;
  };
  const Case cases[] = {
      {kTone5s, 0, 128, 44100, 2, false, 5},
      {kShort1s, 0, 128, 44100, 2, false, 1},
      {kTagged, 130, 128, 44100, 2, true, 5},  // lame wrote an Info frame after the tag
      {kVbrXing, 0, 128, 44100, 2, true, 8},   // the Xing frame itself is written at 128 kbit/s
      {kMono22k, 0, 32, 22050, 1, false, 2},
      {kMono8k, 0, 16, 8000, 1, false, 2},
  };
  for (const Case& c : cases) {
    const std::string name = c.file;
    CAPTURE(name);
    const Bytes song = ReadTestFile(c.file);
    REQUIRE(song.size() > 1000);
    const Mp3StreamInfo info = AnalyzeMp3(song.data(), song.size());
    REQUIRE(info.found);
    CHECK(info.firstFrame == c.firstFrame);
    CHECK(info.header.bitrateKbps == c.bitrate);
    CHECK(info.header.sampleRate == c.rate);
    CHECK(info.header.channels == c.channels);
    CHECK((info.vbrFrames > 0) == c.vbrHeader);
    CHECK(IsVbrHeaderFrame(song.data() + info.firstFrame, song.size() - info.firstFrame, info.header) == c.vbrHeader);
    if (c.vbrHeader) CHECK(info.vbrFrames + 1 == unsigned(CountFrames(Slice(song, info.firstFrame, song.size()))));
    CHECK(MeasureMp3Seconds(song.data(), song.size()) == c.seconds);
    CHECK(MeasureMp3FileSeconds(std::wstring(c.file, c.file + std::strlen(c.file))) == c.seconds);
    CHECK(IsMp3File(std::wstring(c.file, c.file + std::strlen(c.file))));

    // The stream's temporary file while the song still arrives: final size, only the start received.
    Bytes partial = Slice(song, 0, 4000);
    partial.resize(song.size(), 0);
    CHECK(MeasureMp3Seconds(partial.data(), partial.size()) == c.seconds);
    REQUIRE(WriteTestFile("partial.mp3", partial));
    CHECK(MeasureMp3FileSeconds(L"partial.mp3") == c.seconds);
    CHECK(IsMp3File(L"partial.mp3"));
  }
}

TEST_CASE("VBR headers: Xing with and without a frame count, Info, VBRI") {
  const Bytes header = Header(0xFF, 0xFB, 0x90, 0x64);  // MPEG-1 stereo: Xing at 4 + 32
  Mp3FrameHeader h;
  REQUIRE(ParseMp3FrameHeader(header.data(), 4, &h));
  auto frame = [&](std::size_t at, const char* tag, std::size_t extra, const std::vector<std::uint8_t>& fields) {
    Bytes f(417, 0);
    std::memcpy(f.data(), header.data(), 4);
    std::memcpy(f.data() + at, tag, 4);
    std::memcpy(f.data() + at + 4 + extra, fields.data(), fields.size());
    return f;
  };
  struct Case {
    std::string what;
    Bytes frame;
    bool isVbr;
    std::uint32_t frames;
  };
  const Case cases[] = {
      {"Xing with frames", frame(36, "Xing", 0, {0, 0, 0, 1, 0, 0, 0x01, 0x34}), true, 308},
      {"Info with frames", frame(36, "Info", 0, {0, 0, 0, 0x0F, 0, 0, 0, 200}), true, 200},
      {"Xing without the frames flag", frame(36, "Xing", 0, {0, 0, 0, 0x0E, 0, 0, 0x01, 0x34}), true, 0},
      // version, delay, quality, stream bytes, frame count
      {"VBRI", frame(36, "VBRI", 0, {0, 1, 0, 0, 0, 50, 0, 1, 0, 0, 0, 0, 1, 0}), true, 256},
      {"Xing at a wrong place", frame(40, "Xing", 0, {0, 0, 0, 1, 0, 0, 0x01, 0x34}), false, 0},
      {"audio frame", Bytes(Frames(header, 1)), false, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.what);
    CHECK(IsVbrHeaderFrame(c.frame.data(), c.frame.size(), h) == c.isVbr);
    CHECK(VbrHeaderFrameCount(c.frame.data(), c.frame.size(), h) == c.frames);
    // Cut inside the header: never read past the end, no count.
    CHECK(VbrHeaderFrameCount(c.frame.data(), 40, h) == 0);
  }
  // A frame count overrides size and bitrate: 308 frames of 1152 samples at 44100 Hz = 8.0457 s.
  Bytes song = Concat(cases[0].frame, Frames(header, 5));
  CHECK(AnalyzeMp3(song.data(), song.size()).milliseconds == 8045);
}

TEST_CASE("length from size and bitrate: ID3v1 left out, huge sizes do not overflow") {
  const Bytes cbr = Frames(Header(0xFF, 0xFB, 0x90, 0x64), 40);  // 16680 bytes = 1.0425 s at 128 kbit/s
  Bytes withV1 = cbr;
  Bytes v1(128, 0);
  std::memcpy(v1.data(), "TAG", 3);
  withV1 = Concat(withV1, v1);
  CHECK(AnalyzeMp3(cbr.data(), cbr.size()).milliseconds == 1042);
  CHECK(AnalyzeMp3(withV1.data(), withV1.size()).milliseconds == 1042);
  // Only the head of a 100 GB song: 6 250 000 s.
  CHECK(AnalyzeMp3Head(cbr.data(), cbr.size(), 100000000000ull).milliseconds == 6250000000ull);
  CHECK(MeasureMp3Seconds(nullptr, 100) == 0);
}

TEST_CASE("the splitter cuts any chunking of a stream into the same whole frames") {
  const Bytes song = ReadTestFile(kTone5s);
  REQUIRE(song.size() > 0);
  const int expected = CountFrames(song);
  REQUIRE(expected > 150);
  // Sync-like bytes: a Layer I header, and a mono header made with the next frame's first byte.
  const Bytes garbage = {0x00, 0xFF, 0xFF, 0x12, 0xFF, 0xFB, 0x90};
  struct Case {
    std::string what;
    std::size_t chunk;
    bool garbageInside;
  };
  const Case cases[] = {
      {"byte by byte", 1, false},    {"odd chunks", 333, false},     {"push size", 10240, false},
      {"all at once", 1u << 30, false}, {"garbage in the middle", 1000, true},
  };
  for (const Case& c : cases) {
    CAPTURE(c.what);
    Bytes input = song;
    if (c.garbageInside) {
      // Between two frames, 100 frames in.
      Mp3FrameHeader h;
      std::size_t pos = 0;
      for (int i = 0; i < 100; ++i) {
        REQUIRE(ParseMp3FrameHeader(song.data() + pos, song.size() - pos, &h));
        pos += std::size_t(h.frameBytes);
      }
      input.insert(input.begin() + std::ptrdiff_t(pos), garbage.begin(), garbage.end());
    }
    Mp3FrameSplitter splitter;
    Mp3FrameHeader first;
    REQUIRE(ParseMp3FrameHeader(song.data(), 4, &first));
    splitter.SetFormat(first);
    int frames = 0;
    std::size_t bytes = 0;
    for (std::size_t pos = 0; pos < input.size(); pos += c.chunk) {
      const std::size_t n = input.size() - pos < c.chunk ? input.size() - pos : c.chunk;
      splitter.Append(input.data() + pos, n);
      const std::uint8_t* f;
      std::size_t fn;
      while (splitter.Next(&f, &fn)) {
        Mp3FrameHeader h;
        CHECK(ParseMp3FrameHeader(f, fn, &h));
        CHECK(std::size_t(h.frameBytes) == fn);
        ++frames;
        bytes += fn;
      }
    }
    const std::uint8_t* f;
    std::size_t fn;
    while (splitter.Next(&f, &fn, true)) ++frames;
    CHECK(frames == expected);
    CHECK(splitter.SkippedBytes() == (c.garbageInside ? garbage.size() : 0));
    CHECK(splitter.BufferedBytes() == 0);
  }
}

TEST_CASE("the splitter skips frames of another format and waits for cut frames") {
  const Bytes stereo = Frames(Header(0xFF, 0xFB, 0x90, 0x64), 3);
  const Bytes mono22k = Frames(Header(0xFF, 0xF3, 0x80, 0xC0), 3);
  Mp3FrameSplitter s;
  Mp3FrameHeader format;
  REQUIRE(ParseMp3FrameHeader(stereo.data(), 4, &format));
  s.SetFormat(format);
  const Bytes all = Concat(Concat(stereo, mono22k), stereo);
  s.Append(all.data(), all.size() - 10);  // the last frame cut
  const std::uint8_t* f;
  std::size_t n;
  int frames = 0;
  while (s.Next(&f, &n)) ++frames;
  CHECK(frames == 5);  // the cut frame waits
  CHECK(s.SkippedBytes() == mono22k.size());
  CHECK_FALSE(s.Next(&f, &n, true));  // the end: the cut frame is dropped
  CHECK(s.BufferedBytes() == 0);
  s.Append(all.data() + all.size() - 10, 10);
  CHECK_FALSE(s.Next(&f, &n, true));
}
