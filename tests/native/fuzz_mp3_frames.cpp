// libFuzzer target: the MP3 frame parser on any bytes. Besides crashes and sanitizer reports it
// checks what callers rely on: found frames lie inside the data and match their headers, and the
// splitter accounts for every byte it was given (delivered, skipped or still buffered).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/Mp3Frames.h"

using namespace audio;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckSplitter(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  // The first byte chooses the chunk size, so chunk boundaries fall everywhere.
  const std::size_t chunk = std::size_t(data[0]) * 7 + 1;
  ++data;
  --size;
  Mp3FrameSplitter splitter;
  Mp3FrameHeader first;
  const bool locked = size > 0 && (data[0] & 1) && ParseMp3FrameHeader(data, size, &first);
  if (locked) splitter.SetFormat(first);
  std::uint64_t delivered = 0;
  const std::uint8_t* frame;
  std::size_t n;
  for (std::size_t pos = 0; pos < size; pos += chunk) {
    splitter.Append(data + pos, size - pos < chunk ? size - pos : chunk);
    while (splitter.Next(&frame, &n)) {
      Mp3FrameHeader h;
      Require(ParseMp3FrameHeader(frame, n, &h));
      Require(std::size_t(h.frameBytes) == n);
      if (locked) Require(SameStreamFormat(h, first));
      delivered += n;
    }
  }
  while (splitter.Next(&frame, &n, true)) delivered += n;
  Require(delivered + splitter.SkippedBytes() + splitter.BufferedBytes() == size);
  Require(splitter.BufferedBytes() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Mp3FrameHeader h;
  if (ParseMp3FrameHeader(data, size, &h)) {
    Require(h.frameBytes > 4 && h.frameBytes <= 1441);
    VbrHeaderFrameCount(data, size, h);
    IsVbrHeaderFrame(data, size, h);
  }
  Id3v2TagSize(data, size);
  const std::uint64_t tags = SkipId3v2Tags(data, size);
  for (bool acceptLast : {false, true}) {
    const std::size_t from = tags < size ? std::size_t(tags) : 0;
    const std::size_t pos = FindFirstFrame(data, size, from, &h, acceptLast);
    if (pos != kNoFrame) Require(pos >= from && pos + std::size_t(h.frameBytes) <= size);
  }
  const Mp3StreamInfo info = AnalyzeMp3(data, size);
  if (info.found) Require(info.firstFrame < size && info.header.sampleRate > 0);
  AnalyzeMp3Head(data, size, std::uint64_t(size) * 1000 + 7);
  MeasureMp3Seconds(data, size);
  CheckSplitter(data, size);
  return 0;
}
