// Small helpers shared by the XML reader tests.
#pragma once
#include <windows.h>

#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "player/online/XmlReader.h"

// Readable failure messages for lists of texts: {"a", "b"}.
namespace doctest {
template <>
struct StringMaker<std::vector<std::string>> {
  static String convert(const std::vector<std::string>& texts) {
    std::string s = "{";
    for (size_t i = 0; i < texts.size(); ++i) s += (i ? ", \"" : "\"") + texts[i] + "\"";
    return String((s + "}").c_str());
  }
};
}  // namespace doctest

// Text in code page 936 and back, whatever the thread's code page is.
inline std::string Gbk(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(936, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(936, 0, text.data(), (int)text.size(), &out[0], n, nullptr, nullptr);
  return out;
}

inline std::wstring FromGbk(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(936, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(936, 0, text.data(), (int)text.size(), &out[0], n);
  return out;
}

inline int CollectText(void* context, const XMLNode* node) {
  static_cast<std::vector<std::string>*>(context)->push_back(node->m_element.GetText());
  return 0;
}

// The 8-bit texts of every element at the path, in document order.
inline std::vector<std::string> Texts(const CXML& xml, const std::string& path) {
  std::vector<std::string> texts;
  xml.Query(path, CollectText, &texts);
  return texts;
}

// Loads and parses with the program's converter; `ok` receives Parse's result.
struct ParsedXml {
  CXML xml;
  bool ok;
  explicit ParsedXml(const std::string& text) {
    xml.Load(text);
    ok = xml.Parse();
  }
};
