#include <winsock2.h>

#include "player/playback/HttpDownloader.h"

#include <algorithm>

#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "player/common/Trace.h"
#include "player/playback/HttpParse.h"
#include "player/playback/MusicBuffer.h"
#include "player/playback/MusicPlayer.h"
#include "player/playback/StreamMath.h"
#include "player/playback/TitleLabel.h"

namespace {

// Winsock is started by the first client and stopped by the last.
CRITICAL_SECTION* ClientCountLock() {
  static CRITICAL_SECTION lock;
  static bool ready = [] { InitializeCriticalSection(&lock); return true; }();
  (void)ready;
  return &lock;
}
int g_nClientCount = 0;

void SendToMainWindow(UINT message, WPARAM wParam) {
  HWND main = g_hMainWnd;
  if (main) SendMessageW(main, message, wParam, 0);
}

}  // namespace

CHttpDownloader::CHttpDownloader(CMusicPlayer* owner) : m_socket(INVALID_SOCKET), m_pOwner(owner) {
  InitializeCriticalSection(&m_socketLock);
  EnterCriticalSection(ClientCountLock());
  if (g_nClientCount == 0) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ++g_nClientCount;
  LeaveCriticalSection(ClientCountLock());
}

CHttpDownloader::~CHttpDownloader() {
  CloseSocket();
  EnterCriticalSection(ClientCountLock());
  if (--g_nClientCount == 0) WSACleanup();
  LeaveCriticalSection(ClientCountLock());
  DeleteCriticalSection(&m_socketLock);
}

bool CHttpDownloader::Download(CMusicBuffer* buffer, const std::string& url, const std::string& url2) {
  if (!buffer) return false;
  return Fetch(buffer, url);
}

void CHttpDownloader::Abort() {
  EnterCriticalSection(&m_socketLock);
  m_bAborted = true;
  if (m_socket != INVALID_SOCKET) {
    shutdown(m_socket, SD_BOTH);
    closesocket(m_socket);
    m_socket = INVALID_SOCKET;
  }
  LeaveCriticalSection(&m_socketLock);
}

std::uintptr_t CHttpDownloader::CurrentSocket() {
  EnterCriticalSection(&m_socketLock);
  SOCKET s = m_bAborted ? INVALID_SOCKET : m_socket;
  LeaveCriticalSection(&m_socketLock);
  return s;
}

void CHttpDownloader::CloseSocket() {
  EnterCriticalSection(&m_socketLock);
  if (m_socket != INVALID_SOCKET) {
    closesocket(m_socket);
    m_socket = INVALID_SOCKET;
  }
  LeaveCriticalSection(&m_socketLock);
}

bool CHttpDownloader::Fetch(CMusicBuffer* buffer, const std::string& url) {
  ParsedUrl parsed = ParseUrl(url);
  Connect(parsed.host, kHttpPort);
  if (CurrentSocket() == INVALID_SOCKET) {
    Trace(L"不能与服务器建立连接");
    return false;
  }
  char first[kMaxHeaderBytes];
  int firstLength = 0;
  if (!SendRequest(parsed.host, parsed.path, first, &firstLength)) {
    CloseSocket();
    return false;
  }
  int result = ReceiveBody(buffer, first, firstLength);
  // The request asked to keep the connection alive; we are done with it.
  CloseSocket();
  if (result == -1) return false;
  buffer->SaveIfComplete();
  return true;
}

void CHttpDownloader::Connect(const std::string& host, int port) {
  // An empty host would resolve to this machine.
  hostent* entry = host.empty() ? nullptr : gethostbyname(host.c_str());
  if (!entry || entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0]) {
    m_strLastError = "gethostbyname error";
    return;
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons((u_short)port);
  memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof(address.sin_addr));

  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    m_strLastError = "create socket failed";
    return;
  }
  EnterCriticalSection(&m_socketLock);
  bool aborted = m_bAborted;
  if (!aborted) m_socket = s;
  LeaveCriticalSection(&m_socketLock);
  if (aborted) {
    closesocket(s);
    m_strLastError = "connect error";
    return;
  }
  if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == SOCKET_ERROR) {
    m_strLastError = "connect error";
    CloseSocket();
  }
}

bool CHttpDownloader::SendRequest(const std::string& host, const std::string& path, char* first, int* firstLength) {
  *firstLength = 0;
  std::string request = FormatRequest(host, path);
  SOCKET s = CurrentSocket();
  size_t sent = 0;
  while (sent < request.size()) {
    int n = s == INVALID_SOCKET ? SOCKET_ERROR : send(s, request.data() + sent, (int)(request.size() - sent), 0);
    if (n < 0) {
      m_strLastError = "send http failed";
      return false;
    }
    sent += (size_t)n;
  }
  // The header may come in several pieces; it must end within kMaxHeaderBytes.
  memset(first, 0, kMaxHeaderBytes);
  int have = 0;
  while (have < kMaxHeaderBytes && FindHeaderEnd(first, have) == 0) {
    s = CurrentSocket();
    int n = s == INVALID_SOCKET ? SOCKET_ERROR : recv(s, first + have, kMaxHeaderBytes - have, 0);
    if (n <= 0) {
      if (have == 0) have = n;
      break;
    }
    have += n;
  }
  *firstLength = have;
  return true;
}

int CHttpDownloader::ReceiveBody(CMusicBuffer* buffer, const char* first, int firstLength) {
  HeaderInfo header = ParseHeader(first, firstLength);
  if (header.status == HeaderStatus::kEmptyLength) Trace(L"网络数据有误1");
  if (header.status != HeaderStatus::kOk || !buffer->SetTotal(header.size)) {
    Trace(L"数据接收失败");
    return -1;
  }
  const int size = (int)header.size;
  SendToMainWindow(WM_DOWNLOAD_TOTAL, (WPARAM)size);

  int received = 0;
  int bodyInFirst = firstLength - header.headerLength;
  if (bodyInFirst > 0) {
    buffer->Write(first + header.headerLength, bodyInFirst);
    received = std::min(bodyInFirst, size);
  }
  bool preBuffering = true;
  char chunk[kReceiveChunkSize];
  while (received < size) {
    SOCKET s = buffer->IsAborted() ? INVALID_SOCKET : CurrentSocket();
    int n = s == INVALID_SOCKET ? SOCKET_ERROR : recv(s, chunk, kReceiveChunkSize, 0);
    if (n <= 0 || buffer->IsAborted()) {
      Trace(L"连接已断开或用户停止");
      break;
    }
    buffer->Write(chunk, n);
    received = std::min(received + n, size);  // what a server sends beyond the size is dropped
    if (preBuffering) {
      if (received >= kPreBufferBytes) {
        preBuffering = false;
        if (m_pOwner) m_pOwner->SetReady();
      } else {
        SetTitleLabel(BufferingLabel(received));
      }
    }
    SendToMainWindow(WM_DOWNLOAD_PROGRESS, (WPARAM)received);
  }
  return received != size ? 1 : 0;
}
