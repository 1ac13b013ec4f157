#include "player/online/UrlFetcher.h"

#include <windows.h>
#include <wininet.h>

#include <new>
#include <string>
#include <vector>

#include "player/online/InternetSession.h"

bool CUrlFetcher::GetUrlText(std::string& text, const std::wstring& url) {
  text.clear();
  try {
    InternetSession session;
    if (!session.OpenUrl(url) || !session.IsSuccessStatus()) return false;
    char block[4096];
    for (;;) {
      DWORD got = 0;
      if (!InternetReadFile(session.File(), block, sizeof(block), &got)) return false;
      if (got == 0) break;
      if (text.size() + got > kMaxTextBytes) {
        text.append(block, kMaxTextBytes - text.size());
        return false;
      }
      text.append(block, got);
    }
    return session.IsWholeBody(text.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CUrlFetcher::DownloadUrlToFile(const std::wstring& path, const std::wstring& url) {
  InternetSession session;
  if (!session.OpenUrl(url) || !session.IsSuccessStatus()) return false;

  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;

  static_assert(kDownloadBlockBytes <= 65536, "the block lives on the stack");
  char block[kDownloadBlockBytes];
  unsigned long long written = 0;
  bool ok = true;
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(session.File(), block, sizeof(block), &got)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    DWORD put = 0;
    if (!WriteFile(file, block, got, &put, nullptr) || put != got) {
      ok = false;
      break;
    }
    written += got;
  }
  CloseHandle(file);
  return ok && session.IsWholeBody(written);
}
