#include "platform/Text.h"

#include <windows.h>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

std::string WideToMultiByte(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(n, '\0');
  WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring MultiByteToWide(UINT codePage, const char* text, size_t len) {
  if (!text || len == 0) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text, (int)len, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(n, L'\0');
  MultiByteToWideChar(codePage, 0, text, (int)len, &out[0], n);
  return out;
}

}  // namespace

std::string WideToThreadAnsi(const std::wstring& text) { return WideToMultiByte(CP_THREAD_ACP, text); }

std::wstring ThreadAnsiToWide(const std::string& text) {
  return MultiByteToWide(CP_THREAD_ACP, text.data(), text.size());
}

std::wstring ThreadAnsiToWide(const char* text) {
  return text ? MultiByteToWide(CP_THREAD_ACP, text, strlen(text)) : std::wstring();
}

std::string WideToUtf8(const std::wstring& text) { return WideToMultiByte(CP_UTF8, text); }

std::wstring Utf8ToWide(const std::string& text) { return MultiByteToWide(CP_UTF8, text.data(), text.size()); }

// The runtime's own _vsnwprintf/_vsnprintf keep the Windows meaning of "%s" (a string of the
// function's own width) whatever the C library's ANSI-stdio setting is.
std::wstring StrFormat(const wchar_t* format, ...) {
  std::vector<wchar_t> buf(256);
  for (;;) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buf.data(), buf.size() - 1, format, args);
    va_end(args);
    if (n >= 0 && (size_t)n < buf.size() - 1) return std::wstring(buf.data(), n);
    if (buf.size() > (1u << 24)) return std::wstring();
    buf.resize(buf.size() * 2);
  }
}

std::string StrFormatA(const char* format, ...) {
  std::vector<char> buf(256);
  for (;;) {
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(buf.data(), buf.size() - 1, format, args);
    va_end(args);
    if (n >= 0 && (size_t)n < buf.size() - 1) return std::string(buf.data(), n);
    if (buf.size() > (1u << 24)) return std::string();
    buf.resize(buf.size() * 2);
  }
}
