#include "player/online/Convert.h"

#include <climits>

#include "platform/Text.h"

namespace {

const UINT kCodePageGb2312 = 936;

// Both buffers of a conversion must stay within int: the byte buffer needs three bytes per input byte.
const std::size_t kMaxConvertibleLength = (INT_MAX - 1) / 3;

std::string ToLowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return s;
}

DWORD ConversionError() {
  DWORD error = GetLastError();
  return error ? error : ERROR_NO_UNICODE_TRANSLATION;
}

const CConvert& ProgramConverter() {
  static const CConvert converter;  // holds no data: safe to share between threads
  return converter;
}

}  // namespace

// The program's documents go through CConvert; window-free builds pass a converter of their own.
CXML::CXML() : CXML(ProgramConverter()) {}

bool CConvert::GetCodePages(const std::string& encoding, UINT& sourceCodePage, UINT& targetCodePage) const {
  const std::string name = ToLowerAscii(encoding);
  if (name == "utf-8") {
    sourceCodePage = CP_UTF8;
    targetCodePage = kCodePageGb2312;
    return true;
  }
  if (name == "gb2312") {
    // Already the reader's code page. Turning it into UTF-8 would make every reader of the
    // element texts, which decode them as code page 936, see mojibake.
    sourceCodePage = kCodePageGb2312;
    targetCodePage = kCodePageGb2312;
    return true;
  }
  return false;
}

std::string CConvert::ConvertCharset(const char* bytes, std::size_t length, const std::string& encoding) const {
  if (!bytes || length == 0) return std::string();
  const std::string unchanged(bytes, length);
  UINT source = 0, target = 0;
  if (!GetCodePages(encoding, source, target) || source == target) return unchanged;
  if (length > kMaxConvertibleLength) return unchanged;

  std::vector<wchar_t> wide(length + 1, L'\0');
  int wideLength = (int)wide.size();
  if (MultiToWide(source, bytes, (int)length, wide.data(), wideLength) != 0) return unchanged;
  std::vector<char> multi(3 * length + 1, '\0');
  int multiLength = (int)multi.size();
  if (WideToMulti(target, wide.data(), wideLength, multi.data(), multiLength) != 0) return unchanged;
  return std::string(multi.data(), multiLength);
}

DWORD CConvert::MultiToWide(UINT codePage, const char* bytes, int length, wchar_t* buffer, int& capacity) const {
  if (!buffer || capacity <= 0) return ERROR_INSUFFICIENT_BUFFER;
  buffer[0] = L'\0';
  if (!bytes || length <= 0) {
    capacity = 0;
    return ERROR_INVALID_PARAMETER;
  }
  int produced = MultiByteToWideChar(codePage, 0, bytes, length, buffer, capacity - 1);
  if (produced <= 0) {
    DWORD error = ConversionError();
    buffer[0] = L'\0';  // a conversion that ran out of room may have written part of its output
    capacity = 0;
    return error;
  }
  buffer[produced] = L'\0';
  capacity = produced;
  return 0;
}

DWORD CConvert::WideToMulti(UINT codePage, const wchar_t* text, int length, char* buffer, int& capacity) const {
  if (!buffer || capacity <= 0) return ERROR_INSUFFICIENT_BUFFER;
  buffer[0] = '\0';
  if (!text || length <= 0) {
    capacity = 0;
    return ERROR_INVALID_PARAMETER;
  }
  int produced = WideCharToMultiByte(codePage, 0, text, length, buffer, capacity - 1, nullptr, nullptr);
  if (produced <= 0) {
    DWORD error = ConversionError();
    buffer[0] = '\0';
    capacity = 0;
    return error;
  }
  buffer[produced] = '\0';
  capacity = produced;
  return 0;
}

std::wstring Utf8ToCString(const char* bytes) {
  if (!bytes || !*bytes) return std::wstring();
  int units = MultiByteToWideChar(CP_UTF8, 0, bytes, -1, nullptr, 0);  // terminator included
  if (units <= 0) return std::wstring();
  std::vector<wchar_t> buffer(units + 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, -1, buffer.data(), units);
  return std::wstring(buffer.data());
}

std::wstring Utf8ToCString(const std::string& bytes) { return Utf8ToCString(bytes.c_str()); }

int AppendElementText(void* context, const XMLNode* node) {
  if (!context || !node) return 0;
  static_cast<std::vector<std::wstring>*>(context)->push_back(ThreadAnsiToWide(node->m_element.GetText()));
  return 0;
}
