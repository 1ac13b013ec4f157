// What the player keeps of the service's answers, and the rules for reading them, apart from the
// XML reader and the network. No <windows.h>: the rules are checked natively too.
#pragma once
#include <string>
#include <vector>

// The answer to the version call ("x.php?action=config").
struct ServiceConfig {
  std::wstring versionNumber;    // result\version\number
  std::wstring versionUrl;       // result\version\url: the update archive
  std::wstring versionDatetime;  // result\version\datetime (yyyymmdd)
  int updateAsset = 0;           // result\update\asset
  int updateAdment = 0;          // result\update\adment
  std::wstring updateDatetime;   // result\update\datetime
};

// The element paths of the version answer, queried in this order into one list. "download" must be
// present although its value is not kept: the values are taken by position.
extern const char* const kServiceConfigPaths[7];

// Decimal text as the C library reads it: leading white space skipped, an optional sign, digits up
// to the first other character; 0 when there are none. Values beyond the range of int are clamped
// to INT_MIN / INT_MAX.
int DecimalTextToInt(const std::wstring& text);

// Fills `out` from the seven values of kServiceConfigPaths. Any other count: false, `out` unchanged.
bool ServiceConfigFromValues(const std::vector<std::wstring>& values, ServiceConfig& out);

// Appends text 0, URL 0, text 1, URL 1, ... for every position present in both lists.
void AppendTextAdPairs(const std::vector<std::wstring>& texts, const std::vector<std::wstring>& urls,
                       std::vector<std::wstring>& out);
