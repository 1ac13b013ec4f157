// MPEG audio Layer III frame parsing: tag skipping, frame sync, header decoding, VBR headers and
// length. Pure C++ (no <windows.h>): every function takes any bytes, including cut or hostile ones,
// and never reads outside [data, data + size).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

enum class MpegVersion : int { kMpeg1 = 1, kMpeg2 = 2, kMpeg25 = 25 };

enum class ChannelMode : int { kStereo = 0, kJointStereo = 1, kDualChannel = 2, kMono = 3 };

// One decoded 4-byte frame header.
struct Mp3FrameHeader {
  MpegVersion version = MpegVersion::kMpeg1;
  int layer = 3;
  bool crc = false;          // a 16-bit CRC follows the header
  int bitrateKbps = 0;
  int sampleRate = 0;        // Hz
  int padding = 0;           // 0 or 1 byte
  ChannelMode channelMode = ChannelMode::kStereo;
  int channels = 2;
  int frameBytes = 0;        // whole frame, header included
  int samplesPerFrame = 0;   // per channel
};

// Decodes the header at data[0..3]. Only Layer III with a table bitrate (no free format) is accepted;
// reserved versions, sample rates and emphasis are rejected. False when size < 4 or invalid.
bool ParseMp3FrameHeader(const std::uint8_t* data, std::size_t size, Mp3FrameHeader* header);

// True when two headers can belong to the same stream: version, layer, sample rate and channel count.
bool SameStreamFormat(const Mp3FrameHeader& a, const Mp3FrameHeader& b);

// Full size (header, body, footer) of the ID3v2 tag that starts at data[0], or 0 when no well-formed
// tag header starts there. The result may exceed size: the tag is then cut short.
std::uint64_t Id3v2TagSize(const std::uint8_t* data, std::size_t size);

// Offset just after the ID3v2 tags at the start of data (0 when there is none); may exceed size.
std::uint64_t SkipId3v2Tags(const std::uint8_t* data, std::size_t size);

constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);

// Offset of the first frame at or after `from` that is confirmed by a matching frame header right
// after it, kNoFrame when none. With acceptLastFrame, a frame that ends exactly at the end of data
// counts as confirmed too (a whole file of one frame). Fills *header when found.
std::size_t FindFirstFrame(const std::uint8_t* data, std::size_t size, std::size_t from,
                           Mp3FrameHeader* header, bool acceptLastFrame = true);

// The frame count of a Xing/Info or VBRI header inside the frame at data[0] (whose header is given),
// 0 when the frame carries none or no count.
std::uint32_t VbrHeaderFrameCount(const std::uint8_t* data, std::size_t size, const Mp3FrameHeader& header);

// True when the frame at data[0] is a Xing/Info or VBRI header frame (it holds no audio).
bool IsVbrHeaderFrame(const std::uint8_t* data, std::size_t size, const Mp3FrameHeader& header);

// What the start of an MP3 byte sequence tells about the whole song.
struct Mp3StreamInfo {
  bool found = false;            // frames were found
  std::uint64_t tagBytes = 0;    // ID3v2 bytes before the audio (may exceed the data when cut short)
  std::size_t firstFrame = 0;    // offset of the first frame
  Mp3FrameHeader header;         // the first frame's header
  std::uint32_t vbrFrames = 0;   // frame count from a Xing/Info or VBRI header, 0 when none
  std::uint64_t milliseconds = 0;
};

// Analyses a song whose total size is `size`. Only the first frames must be real: the rest may be
// zeros or garbage (a file that already has its final size while the song still arrives). The length
// comes from the Xing/Info or VBRI frame count when present, else from the size and first bitrate.
// A trailing ID3v1 tag ("TAG", 128 bytes) is not counted.
Mp3StreamInfo AnalyzeMp3(const std::uint8_t* data, std::size_t size);

// The same for a song of totalSize bytes of which only the first `size` bytes are given (a file read
// in part); its end is not seen, so a trailing tag must be left out of totalSize by the caller.
Mp3StreamInfo AnalyzeMp3Head(const std::uint8_t* data, std::size_t size, std::uint64_t totalSize);

// Length in whole seconds (truncated) by AnalyzeMp3; 0 when no frames are found.
unsigned int MeasureMp3Seconds(const std::uint8_t* data, std::size_t size);

// Cuts a growing MP3 byte stream into whole frames of one format, for a decoder that wants whole
// frames. Bytes that are not frames (tags, garbage, frames of another format) are skipped; after a
// skip a frame must be confirmed by the header right after it before it is delivered.
class Mp3FrameSplitter {
 public:
  // Frames must match this format from now on.
  void SetFormat(const Mp3FrameHeader& format);
  void Append(const std::uint8_t* data, std::size_t size);
  // The next whole frame; false when more bytes are needed. With endOfInput, a last frame that
  // cannot be confirmed by a following one is delivered anyway when the data is in sync.
  // *frame stays valid until the next call of Append or Next.
  bool Next(const std::uint8_t** frame, std::size_t* frameBytes, bool endOfInput = false);
  std::size_t BufferedBytes() const { return m_bytes.size() - m_nRead; }
  std::uint64_t SkippedBytes() const { return m_nSkipped; }
  void Clear();

 private:
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_nRead = 0;
  bool m_bHasFormat = false;
  bool m_bInSync = false;  // the read position is where the last delivered frame ended
  Mp3FrameHeader m_format;
  std::uint64_t m_nSkipped = 0;
};

}  // namespace audio
