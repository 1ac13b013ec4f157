// Reading the public address out of the IP-echo page, its fallback, and the adapter address text.
// No <windows.h>: the rules are checked natively too.
#pragma once
#include <string>

// The text between the first "[" of the page and the first "]" after it; false when either is
// missing.
bool CutBracketedText(const std::wstring& page, std::wstring& inside);

// True for four decimal numbers 0..255 separated by dots, nothing else ("1.2.3.4").
bool IsDottedIPv4(const std::wstring& text);

// "123.127.170.N" with N = (r mod 255) + 1, so 1 to 255.
std::wstring FallbackWanAddress(unsigned int r);

// The address the echo page names, or the fallback made from r when the page names none. The
// address goes into a query URL, so anything but a dotted IPv4 address counts as none.
std::wstring PickWanAddress(const std::wstring& page, unsigned int r);

// Six bytes as 12 upper-case hexadecimal digits.
std::wstring FormatMacAddress(const unsigned char bytes[6]);
