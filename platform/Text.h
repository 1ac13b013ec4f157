// Text conversions at the program's boundaries. In memory and on screen all text is UTF-16;
// the database and the skin files hold 8-bit text in the calling thread's ANSI code page
// (GBK on a Chinese Windows), and the service speaks UTF-8.
#pragma once
#include <string>

// UTF-16 -> 8-bit text in the calling thread's ANSI code page (CP_THREAD_ACP).
// Characters the code page lacks become its replacement character.
std::string WideToThreadAnsi(const std::wstring& text);
// 8-bit text in the calling thread's ANSI code page -> UTF-16.
std::wstring ThreadAnsiToWide(const std::string& text);
std::wstring ThreadAnsiToWide(const char* text);  // null reads as empty

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// printf-style formatting into a new string. "%s" takes a wchar_t* in StrFormat and a char*
// in StrFormatA, as the Windows runtime has always done.
std::wstring StrFormat(const wchar_t* format, ...);
std::string StrFormatA(const char* format, ...);
