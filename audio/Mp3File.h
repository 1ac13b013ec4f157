// MP3 facts read from a file on disk (no MCI): whether it holds MP3 audio, and its length.
// Used on the stream's temporary file, which has its final size while the song still arrives:
// only the head of the file is read and the bytes beyond the received part do not matter.
#pragma once
#include <string>

namespace audio {

// Length in whole seconds (truncated) of the MP3 song in the file: from a Xing/Info or VBRI frame count
// when the first frame carries one, else from the file size and the first frame's bitrate.
// 0 when the file cannot be read or holds no MP3 frames.
unsigned int MeasureMp3FileSeconds(const std::wstring& path);

// True when the file holds MP3 frames, or starts with a well-formed ID3v2 tag whose audio has not
// arrived yet (the bytes after the tag are still zeros or beyond the end).
bool IsMp3File(const std::wstring& path);

}  // namespace audio
