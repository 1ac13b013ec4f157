// Character-set conversions of the service client: the XML reader's re-encoding of a document by
// its declared encoding, UTF-8 answers to UTF-16, and the collecting callback for XML queries.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "player/online/CharsetConverter.h"
#include "player/online/XmlReader.h"

// The reader works in code page 936: a document declared "utf-8" is re-encoded from UTF-8 to 936;
// one declared "gb2312" (the default when nothing is declared) already is 936 text and stays as
// it is; any other name leaves the document unchanged. Names are compared in lower case.
class CConvert : public ICharsetConverter {
 public:
  CConvert() = default;
  ~CConvert() override = default;

  // The re-encoded document, or the input unchanged when the encoding needs no conversion (or the
  // conversion fails). An empty input gives an empty text.
  std::string ConvertCharset(const char* bytes, std::size_t length,
                             const std::string& encoding) const override;
  // False when the name is not recognised.
  bool GetCodePages(const std::string& encoding, UINT& sourceCodePage, UINT& targetCodePage) const;

  // MultiByteToWideChar / WideCharToMultiByte with flags 0. `capacity` is the size of the buffer
  // in units, room for the terminating zero included; on return it holds the number of units
  // produced (terminator not counted). Returns 0, or the platform's error code when nothing was
  // produced (empty input, output that does not fit).
  DWORD MultiToWide(UINT codePage, const char* bytes, int length, wchar_t* buffer, int& capacity) const;
  DWORD WideToMulti(UINT codePage, const wchar_t* text, int length, char* buffer, int& capacity) const;
};

// UTF-8 bytes up to their terminating zero as UTF-16; a null pointer gives an empty text.
std::wstring Utf8ToCString(const char* bytes);
std::wstring Utf8ToCString(const std::string& bytes);  // also stops at the first zero byte

// The collecting callback for CXML::Query: appends the element's text, read in the calling
// thread's ANSI code page, to the std::vector<std::wstring> given as context. Returns 0.
int AppendElementText(void* context, const XMLNode* node);
