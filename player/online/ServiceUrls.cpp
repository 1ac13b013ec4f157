#include "player/online/ServiceUrls.h"

const wchar_t kConfigPath[] = L"x.php?action=config";
const wchar_t kAdmentPath[] = L"x.php?action=GetAdment";
const wchar_t kIndexPath[] = L"index.php";
const wchar_t kSearchPath[] = L"search.php";
const wchar_t kSuggestPath[] = L"soft/suggest.php";
const wchar_t kIpEchoPath[] = L"ic.asp";

std::wstring MusicXmlPath(unsigned long musicId, const std::wstring& key) {
  return L"getMusicXML.php?id=" + std::to_wstring(musicId) + L"&key=" + key;
}

std::wstring PopQueryPath(const std::wstring& ip, const std::wstring& mac) {
  return L"getPop.php?ip=" + ip + L"&mac=" + mac;
}

std::wstring PopFallbackPath(const std::wstring& mac) { return L"ad/pop.php?admentid=1&mac=" + mac; }

std::wstring ServiceUrl(const std::wstring& host, const std::wstring& pathAndQuery) {
  return L"http://" + host + L"/" + pathAndQuery;
}

bool IsUsableHostName(const std::wstring& host) {
  if (host.empty() || host.size() > 253) return false;
  for (wchar_t c : host) {
    const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                    c == L'-' || c == L'.';
    if (!ok) return false;
  }
  return host.front() != L'.' && host.front() != L'-';
}
