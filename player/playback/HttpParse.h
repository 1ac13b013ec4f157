// The window-free half of the song download: splitting a URL, the request text and reading the
// response header. CHttpDownloader does the socket work around these.
#pragma once
#include <string>

// Songs are always fetched from port 80, whatever the URL says.
constexpr int kHttpPort = 80;
constexpr int kRequestBufferSize = 4096;
constexpr int kReceiveChunkSize = 4096;
// The response header must end within this many bytes.
constexpr int kMaxHeaderBytes = 4096;
// A body larger than this is refused instead of being allocated: no song comes close.
constexpr long long kMaxContentLength = 256LL * 1024 * 1024;

struct ParsedUrl {
  std::string host;
  std::string path;  // starts with "/", keeps any query
};

// Only a lower-case "http:" scheme is removed; any other text before "//" stays part of the host
// (and then fails to resolve), and a port stays part of the host too. A URL with no path gets "/".
ParsedUrl ParseUrl(const std::string& url);

// The GET request for a path on a host, exactly as the service has always received it.
std::string FormatRequest(const std::string& host, const std::string& path);

enum class HeaderStatus {
  kOk,               // size > 0 and the body starts at headerLength
  kIncomplete,       // no "\r\n\r\n" within the bytes given
  kNoLength,         // no usable "Content-Length: " (missing, zero, not a number)
  kEmptyLength,      // "Content-Length: " with nothing after it
  kTooLarge,         // above kMaxContentLength
  kErrorStatus,      // the status line is not "HTTP/x.y 2xx"
  kChunked,          // a chunked body: its length is not known in advance
};

struct HeaderInfo {
  HeaderStatus status = HeaderStatus::kIncomplete;
  long long size = 0;     // the body's size when status is kOk, else 0
  int headerLength = 0;   // bytes up to and including "\r\n\r\n", when the header is complete
  int statusCode = 0;     // from the status line, 0 when it could not be read
};

// Reads the header at the start of chunk[0..length). Only the header is searched, never the body.
HeaderInfo ParseHeader(const char* chunk, int length);

// Offset of "\r\n\r\n" plus 4 within chunk[0..length), or 0 when the header has not ended.
int FindHeaderEnd(const char* chunk, int length);
