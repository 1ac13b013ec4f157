#include "audio/Mp3Frames.h"

#include <cstring>

namespace audio {
namespace {

// Layer III bitrates in kbit/s by index; index 0 (free format) and 15 (bad) are not allowed.
constexpr int kBitratesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitratesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kSampleRatesMpeg1[3] = {44100, 48000, 32000};

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Offset of the side information's end, where a Xing/Info header sits.
std::size_t XingOffset(const Mp3FrameHeader& h) {
  const bool mono = h.channelMode == ChannelMode::kMono;
  if (h.version == MpegVersion::kMpeg1) return 4 + (mono ? 17 : 32);
  return 4 + (mono ? 9 : 17);
}

constexpr std::size_t kVbriOffset = 4 + 32;

enum class VbrKind { kNone, kXing, kVbri };

// Looks for a VBR header inside the frame; returns its kind and, when present, the frame count.
VbrKind FindVbrHeader(const std::uint8_t* data, std::size_t size, const Mp3FrameHeader& h,
                      std::uint32_t* frames) {
  *frames = 0;
  const std::size_t limit = size < std::size_t(h.frameBytes) ? size : std::size_t(h.frameBytes);
  // Some encoders count the CRC before the side information, some do not: accept both places.
  const std::size_t base = XingOffset(h);
  for (std::size_t off : {base, base + (h.crc ? 2u : 0u)}) {
    if (off + 8 > limit) continue;
    const std::uint8_t* p = data + off;
    if (std::memcmp(p, "Xing", 4) != 0 && std::memcmp(p, "Info", 4) != 0) continue;
    const std::uint32_t flags = BigEndian32(p + 4);
    if ((flags & 1u) && off + 12 <= limit) *frames = BigEndian32(p + 8);
    return VbrKind::kXing;
  }
  if (kVbriOffset + 18 <= limit && std::memcmp(data + kVbriOffset, "VBRI", 4) == 0) {
    // "VBRI", version, delay, quality (2 bytes each), stream bytes, frame count (4 bytes each).
    *frames = BigEndian32(data + kVbriOffset + 14);
    return VbrKind::kVbri;
  }
  return VbrKind::kNone;
}

}  // namespace

bool ParseMp3FrameHeader(const std::uint8_t* data, std::size_t size, Mp3FrameHeader* header) {
  if (!data || size < 4) return false;
  const std::uint8_t b1 = data[1], b2 = data[2], b3 = data[3];
  if (data[0] != 0xFF || (b1 & 0xE0) != 0xE0) return false;
  const int versionBits = (b1 >> 3) & 3;
  const int layerBits = (b1 >> 1) & 3;
  const int bitrateIndex = b2 >> 4;
  const int rateIndex = (b2 >> 2) & 3;
  const int emphasis = b3 & 3;
  if (versionBits == 1 || layerBits != 1 || rateIndex == 3 || emphasis == 2) return false;

  Mp3FrameHeader h;
  h.version = versionBits == 3 ? MpegVersion::kMpeg1 : versionBits == 2 ? MpegVersion::kMpeg2 : MpegVersion::kMpeg25;
  h.layer = 3;
  h.crc = (b1 & 1) == 0;
  const bool mpeg1 = h.version == MpegVersion::kMpeg1;
  h.bitrateKbps = (mpeg1 ? kBitratesMpeg1 : kBitratesMpeg2)[bitrateIndex];
  if (h.bitrateKbps == 0) return false;
  h.sampleRate = kSampleRatesMpeg1[rateIndex] / (mpeg1 ? 1 : h.version == MpegVersion::kMpeg2 ? 2 : 4);
  h.padding = (b2 >> 1) & 1;
  h.channelMode = static_cast<ChannelMode>(b3 >> 6);
  h.channels = h.channelMode == ChannelMode::kMono ? 1 : 2;
  h.samplesPerFrame = mpeg1 ? 1152 : 576;
  // Bytes per frame = samples / 8 * bitrate / sample rate, plus the padding byte.
  h.frameBytes = (h.samplesPerFrame / 8) * h.bitrateKbps * 1000 / h.sampleRate + h.padding;
  if (header) *header = h;
  return true;
}

bool SameStreamFormat(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

std::uint64_t Id3v2TagSize(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 10 || std::memcmp(data, "ID3", 3) != 0) return 0;
  const std::uint8_t major = data[3], revision = data[4], flags = data[5];
  if (major < 2 || major == 0xFF || revision == 0xFF) return 0;
  std::uint64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (data[i] & 0x80) return 0;  // sizes are "synchsafe": seven bits per byte
    body = (body << 7) | data[i];
  }
  const bool footer = major >= 4 && (flags & 0x10);
  return 10 + body + (footer ? 10 : 0);
}

std::uint64_t SkipId3v2Tags(const std::uint8_t* data, std::size_t size) {
  std::uint64_t offset = 0;
  // Some taggers write a second tag after the first; each is at most 256 MiB, so this ends.
  while (offset < size) {
    const std::uint64_t tag = Id3v2TagSize(data + offset, size - std::size_t(offset));
    if (tag == 0) break;
    offset += tag;
  }
  return offset;
}

std::size_t FindFirstFrame(const std::uint8_t* data, std::size_t size, std::size_t from, Mp3FrameHeader* header,
                           bool acceptLastFrame) {
  if (!data) return kNoFrame;
  for (std::size_t pos = from; pos + 4 <= size; ++pos) {
    const void* sync = std::memchr(data + pos, 0xFF, size - pos);
    if (!sync) break;
    pos = std::size_t(static_cast<const std::uint8_t*>(sync) - data);
    Mp3FrameHeader h;
    if (!ParseMp3FrameHeader(data + pos, size - pos, &h)) continue;
    const std::size_t next = pos + std::size_t(h.frameBytes);
    bool confirmed = acceptLastFrame && next == size;
    Mp3FrameHeader n;
    if (!confirmed && next < size && ParseMp3FrameHeader(data + next, size - next, &n)) confirmed = SameStreamFormat(h, n);
    if (confirmed) {
      if (header) *header = h;
      return pos;
    }
  }
  return kNoFrame;
}

std::uint32_t VbrHeaderFrameCount(const std::uint8_t* data, std::size_t size, const Mp3FrameHeader& header) {
  std::uint32_t frames = 0;
  if (data) FindVbrHeader(data, size, header, &frames);
  return frames;
}

bool IsVbrHeaderFrame(const std::uint8_t* data, std::size_t size, const Mp3FrameHeader& header) {
  std::uint32_t frames = 0;
  return data && FindVbrHeader(data, size, header, &frames) != VbrKind::kNone;
}

Mp3StreamInfo AnalyzeMp3(const std::uint8_t* data, std::size_t size) {
  std::uint64_t total = size;
  if (data && size >= 128 && std::memcmp(data + size - 128, "TAG", 3) == 0) total -= 128;  // ID3v1
  return AnalyzeMp3Head(data, size, total);
}

Mp3StreamInfo AnalyzeMp3Head(const std::uint8_t* data, std::size_t size, std::uint64_t totalSize) {
  Mp3StreamInfo info;
  if (!data) return info;
  if (totalSize < size) size = std::size_t(totalSize);
  info.tagBytes = SkipId3v2Tags(data, size);
  // A tag with a bad size is no tag: search from the start, the frame check rejects tag bytes.
  std::size_t from = info.tagBytes <= size ? std::size_t(info.tagBytes) : size;
  std::size_t pos = FindFirstFrame(data, size, from, &info.header);
  if (pos == kNoFrame && from > 0 && info.tagBytes <= size) pos = FindFirstFrame(data, size, 0, &info.header);
  if (pos == kNoFrame) return info;
  info.found = true;
  info.firstFrame = pos;
  const Mp3FrameHeader& h = info.header;
  info.vbrFrames = VbrHeaderFrameCount(data + pos, size - pos, h);
  if (info.vbrFrames > 0) {
    info.milliseconds = std::uint64_t(info.vbrFrames) * std::uint64_t(h.samplesPerFrame) * 1000u /
                        std::uint64_t(h.sampleRate);
  } else {
    const std::uint64_t audioBytes = totalSize - pos;
    const std::uint64_t bytesPerSecond = std::uint64_t(h.bitrateKbps) * 125u;
    info.milliseconds = audioBytes / bytesPerSecond * 1000u + audioBytes % bytesPerSecond * 1000u / bytesPerSecond;
  }
  return info;
}

unsigned int MeasureMp3Seconds(const std::uint8_t* data, std::size_t size) {
  const Mp3StreamInfo info = AnalyzeMp3(data, size);
  const std::uint64_t seconds = info.milliseconds / 1000u;
  return seconds > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned int>(seconds);
}

// ---- Mp3FrameSplitter ----

void Mp3FrameSplitter::SetFormat(const Mp3FrameHeader& format) {
  m_format = format;
  m_bHasFormat = true;
  m_bInSync = true;
}

void Mp3FrameSplitter::Append(const std::uint8_t* data, std::size_t size) {
  // Drop what was read once it is a good part of the buffer, so the buffer stays near one push.
  if (m_nRead > 0 && (m_nRead >= 65536 || m_nRead * 2 >= m_bytes.size())) {
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(m_nRead));
    m_nRead = 0;
  }
  if (data && size) m_bytes.insert(m_bytes.end(), data, data + size);
}

bool Mp3FrameSplitter::Next(const std::uint8_t** frame, std::size_t* frameBytes, bool endOfInput) {
  for (;;) {
    const std::size_t avail = m_bytes.size() - m_nRead;
    if (avail < 4) {
      if (endOfInput && avail) {
        m_nSkipped += avail;
        m_nRead = m_bytes.size();
      }
      return false;
    }
    const std::uint8_t* p = m_bytes.data() + m_nRead;
    Mp3FrameHeader h;
    if (ParseMp3FrameHeader(p, avail, &h) && (!m_bHasFormat || SameStreamFormat(h, m_format))) {
      const std::size_t fb = std::size_t(h.frameBytes);
      if (avail < fb) {
        if (!endOfInput) return false;
        m_nSkipped += avail;  // a cut last frame: nothing will complete it
        m_nRead = m_bytes.size();
        return false;
      }
      bool confirmed = m_bInSync;
      if (!confirmed) {
        Mp3FrameHeader n;
        if (avail >= fb + 4)
          confirmed = ParseMp3FrameHeader(p + fb, avail - fb, &n) && SameStreamFormat(h, n);
        else if (endOfInput)
          confirmed = true;  // nothing follows to check against
        else
          return false;  // wait for the next header
      }
      if (confirmed) {
        if (!m_bHasFormat) {
          m_format = h;
          m_bHasFormat = true;
        }
        // A frame in sync is taken even when no header follows (the last one before a tag), but
        // then the bytes after it must prove themselves again.
        Mp3FrameHeader n;
        m_bInSync = avail < fb + 4 || (ParseMp3FrameHeader(p + fb, avail - fb, &n) && SameStreamFormat(h, n));
        *frame = p;
        *frameBytes = fb;
        m_nRead += fb;
        return true;
      }
    }
    // Not a frame here: skip to the next possible sync byte.
    m_bInSync = false;
    const void* sync = std::memchr(p + 1, 0xFF, avail - 1);
    const std::size_t skip = sync ? std::size_t(static_cast<const std::uint8_t*>(sync) - p) : avail;
    m_nSkipped += skip;
    m_nRead += skip;
  }
}

void Mp3FrameSplitter::Clear() {
  m_bytes.clear();
  m_nRead = 0;
  m_bHasFormat = false;
  m_bInSync = false;
  m_nSkipped = 0;
}

}  // namespace audio
