#include "player/playback/HttpParse.h"

#include <cstdio>
#include <cstring>

namespace {

// Position of needle in text[0..length), or -1. The text may hold zero bytes.
int FindBytes(const char* text, int length, const char* needle) {
  int n = (int)std::strlen(needle);
  for (int i = 0; i + n <= length; ++i) {
    if (std::memcmp(text + i, needle, n) == 0) return i;
  }
  return -1;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

bool ContainsNoCase(const char* text, int length, const char* needle) {
  int n = (int)std::strlen(needle);
  for (int i = 0; i + n <= length; ++i) {
    int k = 0;
    while (k < n && Lower(text[i + k]) == Lower(needle[k])) ++k;
    if (k == n) return true;
  }
  return false;
}

// "HTTP/1.1 200 OK" -> 200; 0 when the line does not look like a status line.
int ReadStatusCode(const char* text, int length) {
  if (length < 12 || std::memcmp(text, "HTTP/", 5) != 0) return 0;
  int i = 5;
  while (i < length && text[i] != ' ') ++i;
  if (i + 4 > length) return 0;
  int code = 0;
  for (int k = 1; k <= 3; ++k) {
    char c = text[i + k];
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

}  // namespace

ParsedUrl ParseUrl(const std::string& url) {
  std::string rest = url;
  size_t slashes = url.find("//");
  if (slashes != std::string::npos && url.compare(0, slashes, "http:") == 0) rest = url.substr(slashes + 2);
  ParsedUrl parsed;
  size_t slash = rest.find('/');
  if (slash == std::string::npos) {
    parsed.host = rest;
    parsed.path = "/";
  } else {
    parsed.host = rest.substr(0, slash);
    parsed.path = rest.substr(slash);
  }
  return parsed;
}

std::string FormatRequest(const std::string& host, const std::string& path) {
  return "GET " + path +
         " HTTP/1.1\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\r\nHost: " +
         host + "\r\nConnection: Keep-Alive\r\n\r\n";
}

int FindHeaderEnd(const char* chunk, int length) {
  if (!chunk || length <= 0) return 0;
  int end = FindBytes(chunk, length, "\r\n\r\n");
  return end < 0 ? 0 : end + 4;
}

HeaderInfo ParseHeader(const char* chunk, int length) {
  HeaderInfo info;
  info.headerLength = FindHeaderEnd(chunk, length);
  if (info.headerLength == 0) return info;  // kIncomplete
  const int headerLength = info.headerLength;

  info.statusCode = ReadStatusCode(chunk, headerLength);
  if (info.statusCode < 200 || info.statusCode > 299) {
    info.status = HeaderStatus::kErrorStatus;
    return info;
  }
  if (ContainsNoCase(chunk, headerLength, "\r\nTransfer-Encoding: chunked")) {
    info.status = HeaderStatus::kChunked;
    return info;
  }

  // Matched at the start of a line, so that "X-Content-Length: " is not taken for it.
  static const char kField[] = "\r\nContent-Length: ";
  int field = FindBytes(chunk, headerLength, kField);
  if (field < 0) {
    info.status = HeaderStatus::kNoLength;
    return info;
  }
  int value = field + (int)sizeof(kField) - 1;
  int lineEnd = value + FindBytes(chunk + value, headerLength - value, "\r\n");  // always found: the header ends in one
  while (value < lineEnd && chunk[value] == ' ') ++value;
  if (value == lineEnd) {
    info.status = HeaderStatus::kEmptyLength;
    return info;
  }
  // Digits up to the first other character, as atoi reads them, but without overflow.
  long long size = 0;
  int i = value;
  if (chunk[i] == '+') ++i;
  for (; i < lineEnd && chunk[i] >= '0' && chunk[i] <= '9'; ++i) {
    size = size * 10 + (chunk[i] - '0');
    if (size > kMaxContentLength) {
      info.status = HeaderStatus::kTooLarge;
      return info;
    }
  }
  if (size <= 0) {
    info.status = HeaderStatus::kNoLength;
    return info;
  }
  info.size = size;
  info.status = HeaderStatus::kOk;
  return info;
}
