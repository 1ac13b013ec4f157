#include "player/online/WanAddress.h"

#include <cwchar>

bool CutBracketedText(const std::wstring& page, std::wstring& inside) {
  const std::size_t open = page.find(L'[');
  if (open == std::wstring::npos) return false;
  const std::size_t close = page.find(L']', open + 1);
  if (close == std::wstring::npos) return false;
  inside = page.substr(open + 1, close - open - 1);
  return true;
}

bool IsDottedIPv4(const std::wstring& text) {
  std::size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != L'.') return false;
      ++i;
    }
    int value = 0, digits = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && digits < 3) {
      value = value * 10 + (text[i] - L'0');
      ++digits;
      ++i;
    }
    if (digits == 0 || value > 255) return false;
  }
  return i == text.size();
}

std::wstring FallbackWanAddress(unsigned int r) {
  return L"123.127.170." + std::to_wstring(r % 255 + 1);
}

std::wstring PickWanAddress(const std::wstring& page, unsigned int r) {
  std::wstring inside;
  if (CutBracketedText(page, inside) && IsDottedIPv4(inside)) return inside;
  return FallbackWanAddress(r);
}

std::wstring FormatMacAddress(const unsigned char bytes[6]) {
  wchar_t text[13] = {};
  std::swprintf(text, 13, L"%02X%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                bytes[5]);
  return text;
}
