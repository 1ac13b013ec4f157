// Reads the body of a URL as 8-bit text, or saves it to a file, over the platform's Internet client
// library (WinINet). Each call opens its own session (user agent "Halvery", the system's proxy
// settings, ASCII transfer, the platform's cache and time-outs) and closes it before returning.
// Calls block their thread for the whole exchange; different threads never share network state.
#pragma once
#include <cstddef>
#include <string>

class CUrlFetcher {
 public:
  // The body as the server sent it (no character-set decoding). True when the whole body was read.
  // False when the URL cannot be opened, the server answers with an error status (then `text` is
  // empty), the transfer breaks off or the body is longer than kMaxTextBytes (then `text` holds
  // what arrived before).
  bool GetUrlText(std::string& text, const std::wstring& url);

  // Streams the body through one buffer of kDownloadBlockBytes into the file at `path`, created or
  // truncated once the server has answered with a success status. True when the whole body was
  // written. False when the URL cannot be opened, the status is an error (the file is not touched),
  // the file cannot be created or written, or the transfer breaks off (the part written so far
  // stays in the file).
  bool DownloadUrlToFile(const std::wstring& path, const std::wstring& url);

  static constexpr std::size_t kDownloadBlockBytes = 10240;
  // Text answers are small documents; a larger body is not what we asked for.
  static constexpr std::size_t kMaxTextBytes = 8 * 1024 * 1024;
};
