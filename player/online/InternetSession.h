// One Internet session with one opened URL, as every exchange of the service client makes it;
// every handle is closed when the object goes. Used by CUrlFetcher and CWanInfo only.
// Time-outs: 30 s to connect, 30 s to send, 30 s for each wait on the server's answer or body.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <string>

class InternetSession {
 public:
  InternetSession();
  ~InternetSession();
  InternetSession(const InternetSession&) = delete;
  InternetSession& operator=(const InternetSession&) = delete;

  // Opens the session and the http or https URL and sends the GET; false when anything fails (bad,
  // empty or other URL, name resolution, connection, no answer in time).
  bool OpenUrl(const std::wstring& url);
  HINTERNET File() const { return m_hFile; }

  // False for an HTTP answer outside 200..299, whose body is an error page and not what was asked
  // for, and when no answer came at all.
  bool IsSuccessStatus() const;
  // Whether `received` body bytes are the whole body: false when the answer announced a longer
  // Content-Length, which is how a connection cut in the middle shows.
  bool IsWholeBody(unsigned long long received) const;

 private:
  HINTERNET m_hSession = nullptr;
  HINTERNET m_hConnect = nullptr;
  HINTERNET m_hFile = nullptr;
};
