// The computer's public IP address, as a public IP-echo page sees it, and the hardware address of
// its first network adapter. The popup advertisement sends both to the service.
#pragma once
#include <string>

class CWanInfo {
 public:
  virtual ~CWanInfo() = default;

  // The address the echo page "ic.asp" of the IP-echo host names between square brackets, read from
  // the first block of the answer; a random 123.127.170.N (N in 1..255) when the page cannot be
  // read or names no address.
  std::wstring GetWanIP();
  // The address named in the page text, or the random fallback (see PickWanAddress).
  std::wstring ExtractIP(const std::wstring& page);
  // 12 upper-case hexadecimal digits of the first adapter; "000000000000" without adapter information.
  std::wstring GetMacAddress();
};
