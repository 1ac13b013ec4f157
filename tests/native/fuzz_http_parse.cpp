// libFuzzer target: the song download's URL splitting and response-header reading, and the stream
// buffer's arithmetic, on any bytes. Besides crashes and sanitizer reports it checks what the
// download relies on: a path that starts with "/", a body size within the cap, a header length that
// ends on "\r\n\r\n" inside the bytes given, reads and seeks that stay inside the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "player/playback/HttpParse.h"
#include "player/playback/StreamMath.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

int IntAt(const std::uint8_t* data, std::size_t size, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | (at + i < size ? data[at + i] : 0);
  return (int)v;
}

void CheckUrl(const std::string& url) {
  ParsedUrl parsed = ParseUrl(url);
  Require(!parsed.path.empty() && parsed.path[0] == '/');
  Require(parsed.host.find('/') == std::string::npos);
  std::string request = FormatRequest(parsed.host, parsed.path);
  Require(request.size() >= 4 && request.compare(request.size() - 4, 4, "\r\n\r\n") == 0);
}

void CheckHeader(const std::uint8_t* data, std::size_t size) {
  const char* chunk = reinterpret_cast<const char*>(data);
  int length = size > (std::size_t)kMaxHeaderBytes ? kMaxHeaderBytes : (int)size;
  HeaderInfo info = ParseHeader(chunk, length);
  Require(info.headerLength == FindHeaderEnd(chunk, length));
  if (info.headerLength > 0) {
    Require(info.headerLength >= 4 && info.headerLength <= length);
    Require(std::memcmp(chunk + info.headerLength - 4, "\r\n\r\n", 4) == 0);
  } else {
    Require(info.status == HeaderStatus::kIncomplete);
  }
  if (info.status == HeaderStatus::kOk) {
    Require(info.size > 0 && info.size <= kMaxContentLength);
    Require(info.statusCode >= 200 && info.statusCode <= 299);
  } else {
    Require(info.size == 0);
  }
}

void CheckArithmetic(const std::uint8_t* data, std::size_t size) {
  int total = IntAt(data, size, 0) & 0x1fffffff;
  int writePos = total ? (int)((unsigned)IntAt(data, size, 4) % ((unsigned)total + 1)) : 0;
  int readPos = total ? (int)((unsigned)IntAt(data, size, 8) % ((unsigned)total + 1)) : 0;
  int max = IntAt(data, size, 12);
  int n = StreamReadCount(readPos, writePos, total, max);
  if (n >= 0) {
    Require(n <= writePos - readPos);
    Require(max <= 0 ? n == 0 : n <= max);
  } else {
    Require(n == kReadEndOfSong || n == kReadBeyondData);
  }
  int count = StreamWritableCount(writePos, total, max);
  Require(count >= 0 && writePos + (long long)count <= total);
  int seconds = IntAt(data, size, 16);
  int lengthSeconds = IntAt(data, size, 20);
  int seek = StreamSeekPosition(seconds, lengthSeconds, total);
  Require(seek >= 0 && seek <= total);
  long long bytes = (long long)IntAt(data, size, 24) - 0x40000000LL;
  int percent = BufferingPercent(bytes);
  Require(percent >= 0 && percent <= 99);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckUrl(std::string(reinterpret_cast<const char*>(data), size));
  CheckHeader(data, size);
  CheckArithmetic(data, size);
  return 0;
}
