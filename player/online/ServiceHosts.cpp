#include "player/online/ServiceHosts.h"

#include <windows.h>

#include "player/common/Globals.h"
#include "player/common/Trace.h"

// Placeholders under the reserved .example domain: a deployment names its real hosts in Config.ini.
const wchar_t kDefaultApiHost[] = L"api.halvery.example";
const wchar_t kDefaultWebHost[] = L"www.halvery.example";
const wchar_t kDefaultIpEchoHost[] = L"ip.halvery.example";

namespace {

const wchar_t kSection[] = L"SERVICE";

std::wstring ReadHost(const std::wstring& iniPath, const wchar_t* key, const wchar_t* fallback) {
  wchar_t value[1024] = {};
  GetPrivateProfileStringW(kSection, key, L"", value, 1024, iniPath.c_str());
  const std::wstring host(value);
  if (host.empty()) return fallback;
  if (!IsUsableHostName(host)) {
    Trace(std::wstring(L"Config.ini [SERVICE] ") + key + L" 无效，使用默认主机 " + fallback);
    return fallback;
  }
  return host;
}

}  // namespace

ServiceHosts ReadServiceHosts(const std::wstring& iniPath) {
  ServiceHosts hosts;
  hosts.api = ReadHost(iniPath, L"ApiHost", kDefaultApiHost);
  hosts.web = ReadHost(iniPath, L"WebHost", kDefaultWebHost);
  hosts.ipEcho = ReadHost(iniPath, L"IpEchoHost", kDefaultIpEchoHost);
  return hosts;
}

const ServiceHosts& GetServiceHosts() {
  static const ServiceHosts hosts = ReadServiceHosts(GetAppFolder() + L"\\Config.ini");
  return hosts;
}

std::wstring ApiUrl(const std::wstring& pathAndQuery) { return ServiceUrl(GetServiceHosts().api, pathAndQuery); }
std::wstring WebUrl(const std::wstring& pathAndQuery) { return ServiceUrl(GetServiceHosts().web, pathAndQuery); }
std::wstring IpEchoUrl(const std::wstring& pathAndQuery) {
  return ServiceUrl(GetServiceHosts().ipEcho, pathAndQuery);
}
