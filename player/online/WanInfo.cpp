#include "player/online/WanInfo.h"

#include <windows.h>
#include <iphlpapi.h>

#include <ctime>
#include <new>
#include <random>
#include <vector>

#include "platform/Text.h"
#include "player/online/InternetSession.h"
#include "player/online/ServiceHosts.h"
#include "player/online/WanAddress.h"

namespace {

// The first block of the echo page is all we read; a block larger than this is not an echo page.
const DWORD kMaxEchoBlock = 64 * 1024;

}  // namespace

std::wstring CWanInfo::GetWanIP() {
  std::wstring page;
  try {
    InternetSession session;
    DWORD available = 0;
    if (session.OpenUrl(IpEchoUrl(kIpEchoPath)) && session.IsSuccessStatus() &&
        InternetQueryDataAvailable(session.File(), &available, 0, 0) && available > 0) {
      if (available > kMaxEchoBlock) available = kMaxEchoBlock;
      std::vector<char> block(available + 1, '\0');
      DWORD got = 0;
      if (InternetReadFile(session.File(), block.data(), available, &got)) {
        page = ThreadAnsiToWide(std::string(block.data(), got));
      }
    }
  } catch (const std::bad_alloc&) {
    page.clear();
  }
  return ExtractIP(page);
}

std::wstring CWanInfo::ExtractIP(const std::wstring& page) {
  // A generator of our own, seeded from the clock on every call: reseeding the runtime's shared
  // one would disturb everybody else's random numbers.
  std::minstd_rand generator(static_cast<unsigned int>(std::time(nullptr)));
  return PickWanAddress(page, static_cast<unsigned int>(generator()));
}

std::wstring CWanInfo::GetMacAddress() {
  unsigned char mac[6] = {};
  ULONG size = 0;
  if (GetAdaptersInfo(nullptr, &size) == ERROR_BUFFER_OVERFLOW && size > 0) {
    std::vector<unsigned char> buffer(size, 0);
    IP_ADAPTER_INFO* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(adapters, &size) == NO_ERROR) {
      // AddressLength may be shorter than six bytes; the rest stays zero.
      const UINT length = adapters->AddressLength < 6 ? adapters->AddressLength : 6;
      for (UINT i = 0; i < length; ++i) mac[i] = adapters->Address[i];
    }
  }
  return FormatMacAddress(mac);
}
