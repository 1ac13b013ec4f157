// The URLs of the music service: "http://" + host + "/" + path and query, always the default port.
// Three hosts: the service API host, the service web host and the public IP-echo host (see
// ServiceHosts.h for where their names come from). No <windows.h>.
#pragma once
#include <string>

// Paths and queries on the service API host.
extern const wchar_t kConfigPath[];      // "x.php?action=config"
extern const wchar_t kAdmentPath[];      // "x.php?action=GetAdment"
extern const wchar_t kIndexPath[];       // "index.php"
extern const wchar_t kSearchPath[];      // "search.php"
// On the service web host.
extern const wchar_t kSuggestPath[];     // "soft/suggest.php"
// On the public IP-echo host.
extern const wchar_t kIpEchoPath[];      // "ic.asp"

// "getMusicXML.php?id=<id>&key=<key>": the key exactly as the page gave it.
std::wstring MusicXmlPath(unsigned long musicId, const std::wstring& key);
// "getPop.php?ip=<ip>&mac=<mac>"
std::wstring PopQueryPath(const std::wstring& ip, const std::wstring& mac);
// "ad/pop.php?admentid=1&mac=<mac>"
std::wstring PopFallbackPath(const std::wstring& mac);

std::wstring ServiceUrl(const std::wstring& host, const std::wstring& pathAndQuery);

// A host name we put into URLs: 1 to 253 characters of letters, digits, "-" and ".", so that a
// configured name can neither carry a port, a path, a query or user information, nor break the URL.
bool IsUsableHostName(const std::wstring& host);
