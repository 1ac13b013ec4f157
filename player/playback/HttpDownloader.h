// Fetches one song with a single HTTP GET on a raw socket, straight into the player's stream
// buffer, while the song already plays.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

class CMusicBuffer;
class CMusicPlayer;

class CHttpDownloader {
 public:
  explicit CHttpDownloader(CMusicPlayer* owner);
  ~CHttpDownloader();
  CHttpDownloader(const CHttpDownloader&) = delete;
  CHttpDownloader& operator=(const CHttpDownloader&) = delete;

  // Both URLs are 8-bit text in the thread's ANSI code page; the second is not used.
  bool Download(CMusicBuffer* buffer, const std::string& url, const std::string& url2);
  // Closes the socket from another thread so that a blocked connect or receive returns, and keeps
  // a download that has not connected yet from connecting.
  void Abort();

  const std::string& LastError() const { return m_strLastError; }

 private:
  bool Fetch(CMusicBuffer* buffer, const std::string& url);
  void Connect(const std::string& host, int port);
  // Sends the request and receives the start of the answer, up to the end of its header or
  // kMaxHeaderBytes, into first / *firstLength.
  bool SendRequest(const std::string& host, const std::string& path, char* first, int* firstLength);
  // -1 refused, 0 complete, 1 cut short.
  int ReceiveBody(CMusicBuffer* buffer, const char* first, int firstLength);
  // The socket for one call, or INVALID_SOCKET once aborted.
  std::uintptr_t CurrentSocket();
  void CloseSocket();

  std::string m_strLastError;
  // A Winsock SOCKET; kept as its integer type so this header needs no <winsock2.h>.
  std::uintptr_t m_socket;
  CMusicPlayer* m_pOwner;
  // Guards m_socket and m_bAborted against Abort on another thread.
  CRITICAL_SECTION m_socketLock;
  bool m_bAborted = false;
};
