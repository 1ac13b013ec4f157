// The window-free half of the engine: URL splitting, the request text, the response header and
// the stream buffer's arithmetic.
#include <doctest/doctest.h>

#include <string>

#include "player/playback/HttpParse.h"
#include "player/playback/StreamMath.h"

TEST_CASE("ParseUrl splits host and path; only a lower-case http: scheme is removed") {
  struct Case { const char* url; const char* host; const char* path; };
  const Case cases[] = {
      {"http://127.0.0.5/music/tone5s.mp3", "127.0.0.5", "/music/tone5s.mp3"},
      {"http://music.example.com/a/b/c.mp3?id=7&key=x", "music.example.com", "/a/b/c.mp3?id=7&key=x"},
      {"http://host/", "host", "/"},
      // No path after the host, or no "//" at all: the path is "/".
      {"http://host", "host", "/"},
      {"http://host?x=1", "host?x=1", "/"},
      {"host/song.mp3", "host", "/song.mp3"},
      {"host", "host", "/"},
      {"", "", "/"},
      // A scheme in capitals stays: the host becomes "HTTP:" and nothing resolves.
      {"HTTP://host/song.mp3", "HTTP:", "//host/song.mp3"},
      {"Http://host/song.mp3", "Http:", "//host/song.mp3"},
      {"https://host/song.mp3", "https:", "//host/song.mp3"},
      // A port stays part of the host name; songs always come from port 80.
      {"http://127.0.0.5:8080/song.mp3", "127.0.0.5:8080", "/song.mp3"},
      // Only the first "//" counts.
      {"http://host/a//b.mp3", "host", "/a//b.mp3"},
      {"http:///song.mp3", "", "/song.mp3"},
  };
  for (const Case& c : cases) {
    CAPTURE(c.url);
    ParsedUrl parsed = ParseUrl(c.url);
    CHECK(parsed.host == c.host);
    CHECK(parsed.path == c.path);
  }
}

TEST_CASE("the request is the service's GET text, byte for byte") {
  CHECK(FormatRequest("127.0.0.5", "/music/a.mp3?x=1") ==
        "GET /music/a.mp3?x=1 HTTP/1.1\r\n"
        "Accept: */*\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\n"
        "Host: 127.0.0.5\r\n"
        "Connection: Keep-Alive\r\n"
        "\r\n");
}

TEST_CASE("ParseHeader reads the body size and where the body starts") {
  struct Case {
    const char* name;
    std::string chunk;
    HeaderStatus status;
    long long size;
    int headerLength;  // checked when > 0
  };
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: 80666\r\n\r\n";
  const Case cases[] = {
      {"plain", ok + "ID3...", HeaderStatus::kOk, 80666, (int)ok.size()},
      {"length last, no body yet", ok, HeaderStatus::kOk, 80666, (int)ok.size()},
      {"length first", "HTTP/1.0 200 OK\r\nContent-Length: 12\r\nServer: x\r\n\r\nbody", HeaderStatus::kOk, 12, 0},
      {"value read like atoi", "HTTP/1.1 200 OK\r\nContent-Length: 42abc\r\n\r\n", HeaderStatus::kOk, 42, 0},
      {"206 is a success too", "HTTP/1.1 206 Partial\r\nContent-Length: 5\r\n\r\n", HeaderStatus::kOk, 5, 0},
      {"missing", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nbody", HeaderStatus::kNoLength, 0, 0},
      {"zero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      {"negative", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      {"not a number", "HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      {"empty value", "HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\n", HeaderStatus::kEmptyLength, 0, 0},
      // The field's exact spelling, at the start of a line.
      {"other case", "HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      {"no blank", "HTTP/1.1 200 OK\r\nContent-Length:5\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      {"other field", "HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\n\r\n", HeaderStatus::kNoLength, 0, 0},
      // Only the header is searched, never the body.
      {"length in body only", "HTTP/1.1 200 OK\r\n\r\nContent-Length: 5\r\n", HeaderStatus::kNoLength, 0, 0},
      {"header not ended", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", HeaderStatus::kIncomplete, 0, 0},
      {"nothing", "", HeaderStatus::kIncomplete, 0, 0},
      {"too large", "HTTP/1.1 200 OK\r\nContent-Length: 268435457\r\n\r\n", HeaderStatus::kTooLarge, 0, 0},
      {"at the cap", "HTTP/1.1 200 OK\r\nContent-Length: 268435456\r\n\r\n", HeaderStatus::kOk, 268435456, 0},
      {"huge", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", HeaderStatus::kTooLarge, 0, 0},
      {"error status", "HTTP/1.1 404 Not Found\r\nContent-Length: 300\r\n\r\n", HeaderStatus::kErrorStatus, 0, 0},
      {"server error", "HTTP/1.1 500 Internal\r\nContent-Length: 300\r\n\r\n", HeaderStatus::kErrorStatus, 0, 0},
      {"redirect", "HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n", HeaderStatus::kErrorStatus, 0, 0},
      {"not http", "ICY 200 OK\r\nContent-Length: 5\r\n\r\n", HeaderStatus::kErrorStatus, 0, 0},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000\r\n", HeaderStatus::kChunked, 0, 0},
      {"chunked with a length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\ntransfer-encoding: Chunked\r\n\r\n",
       HeaderStatus::kChunked, 0, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.name);
    HeaderInfo info = ParseHeader(c.chunk.data(), (int)c.chunk.size());
    CHECK(info.status == c.status);
    CHECK(info.size == c.size);
    if (c.headerLength > 0) CHECK(info.headerLength == c.headerLength);
  }
}

TEST_CASE("ParseHeader never reads past the bytes it is given") {
  // A header cut inside "\r\n\r\n" or inside the field: no terminating zero to rely on.
  const std::string full = "HTTP/1.1 200 OK\r\nContent-Length: 1234\r\n\r\n";
  for (size_t cut = 0; cut < full.size(); ++cut) {
    CAPTURE(cut);
    std::string piece = full.substr(0, cut);
    CHECK(ParseHeader(piece.data(), (int)piece.size()).status == HeaderStatus::kIncomplete);
  }
  CHECK(ParseHeader(nullptr, 0).status == HeaderStatus::kIncomplete);
  CHECK(ParseHeader(full.data(), -3).status == HeaderStatus::kIncomplete);
  const char raw[] = "HTTP/1.1 200 OK\r\nX: a\0b\r\nContent-Length: 7\r\n\r\n";
  const std::string withZero(raw, sizeof(raw) - 1);
  CHECK(ParseHeader(withZero.data(), (int)withZero.size()).size == 7);
}

TEST_CASE("reads take what lies between the read and the write position") {
  struct Case { int readPos, writePos, total, max, expected; };
  const Case cases[] = {
      {0, 0, 0, 10240, 0},               // nothing known yet
      {0, 0, 100000, 10240, 0},          // nothing arrived yet
      {0, 5000, 100000, 10240, 5000},
      {0, 50000, 100000, 10240, 10240},
      {95000, 100000, 100000, 10240, 5000},  // the last bytes
      {100000, 100000, 100000, 10240, kReadEndOfSong},
      {60000, 50000, 100000, 10240, kReadBeyondData},  // a seek went past the data
      {60000, 59999, 100000, 10240, kReadBeyondData},  // one byte past: not the end of the song
      {100, 200, 1000, 0, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.readPos);
    CAPTURE(c.writePos);
    CHECK(StreamReadCount(c.readPos, c.writePos, c.total, c.max) == c.expected);
  }
}

TEST_CASE("writes stop at the total size") {
  struct Case { int writePos, total, n, expected; };
  const Case cases[] = {
      {0, 100, 40, 40}, {80, 100, 40, 20}, {100, 100, 40, 0}, {0, 0, 40, 0}, {10, 100, 0, 0}, {10, 100, -5, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.writePos);
    CAPTURE(c.n);
    CHECK(StreamWritableCount(c.writePos, c.total, c.n) == c.expected);
  }
}

TEST_CASE("a seek puts the reader at the same share of the bytes as of the time") {
  struct Case { int seconds, length, total, expected; };
  const Case cases[] = {
      {0, 300, 4800000, 0},
      {150, 300, 4800000, 2400000},
      {1, 3, 100, 33},                         // truncated
      {299, 300, 268435456, 267540671},        // 64-bit intermediate: no overflow
      {10, 0, 4800000, 0},                     // unknown length
      {400, 300, 4800000, 4800000},            // past the end: held at the end
      {-5, 300, 4800000, 0},
      {10, 300, 0, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.seconds);
    CAPTURE(c.length);
    CHECK(StreamSeekPosition(c.seconds, c.length, c.total) == c.expected);
  }
}

TEST_CASE("the buffering percentage runs from 0 to 99") {
  struct Case { long long bytes; int expected; };
  const Case cases[] = {
      {0, 0}, {409, 0}, {410, 1}, {20480, 50}, {40550, 98}, {40551, 99}, {40959, 99}, {40960, 99}, {1000000, 99}, {-100, 0},
  };
  for (const Case& c : cases) {
    CAPTURE(c.bytes);
    CHECK(BufferingPercent(c.bytes) == c.expected);
  }
}

TEST_CASE("the position shown is the seek target plus what played since the seek") {
  struct Case { int target; unsigned library; int atSeek; unsigned expected; };
  const Case cases[] = {{0, 0, 0, 0}, {0, 12, 0, 12}, {90, 5, 5, 90}, {90, 8, 5, 93}, {10, 30, 20, 20}};
  for (const Case& c : cases) CHECK(DisplayPosition(c.target, c.library, c.atSeek) == c.expected);
}

TEST_CASE("sources and titles") {
  struct Source { const wchar_t* text; bool http; };
  const Source sources[] = {{L"http://h/a.mp3", true}, {L"HTTP://h/a.mp3", true}, {L"hTtp", true},
                            {L"C:\\音乐\\a.mp3", false}, {L"htt", false}, {L"", false}, {L"https://h/", true}};
  for (const Source& s : sources) CHECK(IsHttpSource(s.text) == s.http);

  struct Title { const wchar_t* path; const wchar_t* title; };
  const Title titles[] = {{L"C:\\音乐\\摇篮曲.mp3", L"摇篮曲"}, {L"C:\\a.b\\晨曲.春.mp3", L"晨曲.春"},
                          {L"D:\\music\\noext", L"noext"}, {L"song.mp3", L"song"}, {L"", L""},
                          {L"C:\\dir.x\\", L""}};
  for (const Title& t : titles) CHECK(TitleFromPath(t.path) == t.title);
}
