// Fixture MP3 files for the audio tests, copied next to the test programs by the build.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> ReadTestFile(const std::string& name) {
  std::vector<std::uint8_t> bytes;
  if (FILE* f = std::fopen(name.c_str(), "rb")) {
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

inline bool WriteTestFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

inline const char* const kTone5s = "mp3/tone5s_128k.mp3";
inline const char* const kShort1s = "mp3/short1s_128k.mp3";
inline const char* const kTagged = "mp3/tagged_id3v2.mp3";
inline const char* const kVbrXing = "mp3/vbr_xing.mp3";
inline const char* const kMono22k = "mp3/mono22k_2s.mp3";  // MPEG-2
inline const char* const kMono8k = "mp3/mono8k_2s.mp3";    // MPEG-2.5
