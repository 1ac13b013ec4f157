#include "audio/Mp3File.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "audio/Mp3Frames.h"

namespace audio {
namespace {

// Enough for the first frames (and their VBR header) after any tag.
constexpr std::size_t kHeadWindow = 256 * 1024;
constexpr int kMaxTags = 16;

class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const std::wstring& path)
      : m_h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ReadOnlyFile() {
    if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
  std::uint64_t Size() const {
    LARGE_INTEGER li{};
    return GetFileSizeEx(m_h, &li) ? std::uint64_t(li.QuadPart) : 0;
  }
  // Reads up to n bytes at offset; returns the count read.
  std::size_t Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    LARGE_INTEGER li;
    li.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(m_h, li, nullptr, FILE_BEGIN)) return 0;
    std::size_t done = 0;
    while (done < n) {
      DWORD got = 0;
      const DWORD want = DWORD(n - done > 1u << 20 ? 1u << 20 : n - done);
      if (!ReadFile(m_h, out + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  HANDLE m_h;
};

struct FileHead {
  bool readable = false;
  std::uint64_t tagBytes = 0;  // ID3v2 tags at the start
  bool tagCutShort = false;    // the tags claim more bytes than the file has
  bool audioAllZero = false;   // the bytes read after the tags are all zeros
  Mp3StreamInfo info;          // offsets relative to the file start
};

FileHead ReadHead(const std::wstring& path) {
  FileHead head;
  ReadOnlyFile file(path);
  if (!file.IsOpen()) return head;
  head.readable = true;
  const std::uint64_t size = file.Size();

  std::uint64_t offset = 0;
  for (int i = 0; i < kMaxTags && offset < size; ++i) {
    std::uint8_t tag[10];
    const std::size_t n = file.Read(offset, tag, sizeof tag);
    const std::uint64_t tagSize = Id3v2TagSize(tag, n);
    if (tagSize == 0) break;
    offset += tagSize;
  }
  head.tagBytes = offset;
  if (offset >= size) {
    head.tagCutShort = offset > size;
    return head;
  }

  std::uint64_t total = size;
  if (size - offset >= 128) {
    std::uint8_t tail[3];
    if (file.Read(size - 128, tail, 3) == 3 && tail[0] == 'T' && tail[1] == 'A' && tail[2] == 'G') total -= 128;
  }
  std::vector<std::uint8_t> window(std::size_t(size - offset < kHeadWindow ? size - offset : kHeadWindow));
  window.resize(file.Read(offset, window.data(), window.size()));
  head.info = AnalyzeMp3Head(window.data(), window.size(), total - offset);
  if (head.info.found) {
    head.info.firstFrame += std::size_t(offset);
    head.info.tagBytes = offset;
    return head;
  }
  head.audioAllZero = true;
  for (std::uint8_t b : window) {
    if (b != 0) {
      head.audioAllZero = false;
      break;
    }
  }
  if (offset > 0) {
    // The tag size may be wrong: look again from the very start.
    std::vector<std::uint8_t> start(std::size_t(size < kHeadWindow ? size : kHeadWindow));
    start.resize(file.Read(0, start.data(), start.size()));
    head.info = AnalyzeMp3Head(start.data(), start.size(), total);
  }
  return head;
}

}  // namespace

unsigned int MeasureMp3FileSeconds(const std::wstring& path) {
  const FileHead head = ReadHead(path);
  if (!head.info.found) return 0;
  const std::uint64_t seconds = head.info.milliseconds / 1000u;
  return seconds > 0xFFFFFFFFu ? 0xFFFFFFFFu : unsigned(seconds);
}

bool IsMp3File(const std::wstring& path) {
  const FileHead head = ReadHead(path);
  if (head.info.found) return true;
  // A song with a large tag (a cover picture) may not have its first frame yet.
  return head.tagBytes > 0 && (head.tagCutShort || head.audioAllZero);
}

}  // namespace audio
