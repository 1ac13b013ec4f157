// The three host names of the music service. They have compiled-in defaults and can be set in
// "Config.ini" next to the program:
//
//   [SERVICE]
//   ApiHost=<service API host>        x.php, getMusicXML.php, getPop.php, ad/pop.php, index.php, search.php
//   WebHost=<service web host>        soft/suggest.php
//   IpEchoHost=<public IP-echo host>  ic.asp
//
// A name only (no scheme, port or path): every URL is "http://" + host + "/" + path on port 80.
// A missing, empty or unusable value keeps the default. The file is read once, on first use.
#pragma once
#include <string>

#include "player/online/ServiceUrls.h"

struct ServiceHosts {
  std::wstring api;
  std::wstring web;
  std::wstring ipEcho;
};

extern const wchar_t kDefaultApiHost[];
extern const wchar_t kDefaultWebHost[];
extern const wchar_t kDefaultIpEchoHost[];

// The hosts named in the [SERVICE] section of the given INI file, defaults where it names none or
// names one that IsUsableHostName refuses (traced).
ServiceHosts ReadServiceHosts(const std::wstring& iniPath);

// The program's hosts: ReadServiceHosts of GetAppFolder() + "\Config.ini", read on the first call
// (any thread) and kept for the rest of the run.
const ServiceHosts& GetServiceHosts();

// Full URLs on each host, e.g. ApiUrl(kConfigPath), ApiUrl(MusicXmlPath(id, key)), WebUrl(kSuggestPath).
std::wstring ApiUrl(const std::wstring& pathAndQuery);
std::wstring WebUrl(const std::wstring& pathAndQuery);
std::wstring IpEchoUrl(const std::wstring& pathAndQuery);
