// What the address fallback of the public-address lookup must look like: 123.127.170.N, N in 1..255.
#pragma once
#include <string>

inline bool IsFallbackAddress(const std::wstring& ip) {
  const std::wstring prefix = L"123.127.170.";
  if (ip.compare(0, prefix.size(), prefix) != 0) return false;
  const std::wstring n = ip.substr(prefix.size());
  if (n.empty() || n.size() > 3 || n.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
  const int value = std::stoi(n);
  return value >= 1 && value <= 255 && std::to_wstring(value) == n;
}
