// The XML reader re-encodes each document by its declared encoding before parsing. The conversion
// needs the platform's code pages, so the reader sees it only through this interface: the program
// hands it CConvert (Convert.h), window-free builds a stand-in of their own.
#pragma once
#include <cstddef>
#include <string>

class ICharsetConverter {
 public:
  virtual ~ICharsetConverter() = default;
  // The document's bytes re-encoded by the declared encoding name, or the bytes unchanged when the
  // name is not one the converter knows.
  virtual std::string ConvertCharset(const char* bytes, std::size_t length,
                                     const std::string& encoding) const = 0;
};
