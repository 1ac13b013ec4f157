#include "player/online/InternetSession.h"

#include <cwchar>

namespace {

const wchar_t kUserAgent[] = L"Halvery";

// Our own limits instead of the platform's, which can be an hour or none at all: a service that
// accepts a connection and then stays silent must not hold a worker thread for ever. The receive
// limit applies to each read, so a slow download that keeps arriving is never cut.
const DWORD kConnectTimeoutMs = 30000;
const DWORD kSendTimeoutMs = 30000;
const DWORD kReceiveTimeoutMs = 30000;

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionW(handle, option, &ms, sizeof(ms));
}

bool QueryHeaderText(HINTERNET file, DWORD info, std::wstring& value) {
  wchar_t buffer[64] = {};
  DWORD size = sizeof(buffer);
  if (!HttpQueryInfoW(file, info, buffer, &size, nullptr)) return false;
  value = buffer;
  return true;
}

}  // namespace

InternetSession::InternetSession() {}

InternetSession::~InternetSession() {
  if (m_hFile) InternetCloseHandle(m_hFile);
  if (m_hConnect) InternetCloseHandle(m_hConnect);
  if (m_hSession) InternetCloseHandle(m_hSession);
}

bool InternetSession::OpenUrl(const std::wstring& url) {
  if (url.empty()) return false;
  // The URL is opened in its three steps rather than in one call, because only the connection
  // handle of the middle step takes time-outs that the platform honours for the whole exchange.
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = 1;  // non-zero: point into `url`
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
  if (!parts.lpszHostName || parts.dwHostNameLength == 0) return false;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring object;
  if (parts.lpszUrlPath) object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty()) object = L"/";

  m_hSession = InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!m_hSession) return false;
  m_hConnect = InternetConnectW(m_hSession, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!m_hConnect) return false;
  SetTimeout(m_hConnect, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
  SetTimeout(m_hConnect, INTERNET_OPTION_SEND_TIMEOUT, kSendTimeoutMs);
  SetTimeout(m_hConnect, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);

  DWORD flags = INTERNET_FLAG_TRANSFER_ASCII;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  const wchar_t* acceptTypes[] = {L"*/*", nullptr};
  m_hFile = HttpOpenRequestW(m_hConnect, L"GET", object.c_str(), nullptr, nullptr, acceptTypes, flags, 0);
  if (!m_hFile) return false;
  return HttpSendRequestW(m_hFile, nullptr, 0, nullptr, 0) != FALSE;
}

bool InternetSession::IsSuccessStatus() const {
  std::wstring status;
  // No status line at all: the server closed the connection without answering.
  if (!QueryHeaderText(m_hFile, HTTP_QUERY_STATUS_CODE, status)) return false;
  const long code = std::wcstol(status.c_str(), nullptr, 10);
  return code >= 200 && code <= 299;
}

bool InternetSession::IsWholeBody(unsigned long long received) const {
  std::wstring length;
  if (!QueryHeaderText(m_hFile, HTTP_QUERY_CONTENT_LENGTH, length)) return true;  // ends with the connection
  wchar_t* end = nullptr;
  const unsigned long long announced = std::wcstoull(length.c_str(), &end, 10);
  if (end == length.c_str()) return true;
  return received >= announced;
}
