#include "player/online/ServiceAnswers.h"

#include <climits>

const char* const kServiceConfigPaths[7] = {
    "result\\version\\number", "result\\version\\url",   "result\\version\\datetime",
    "result\\update\\download", "result\\update\\asset", "result\\update\\adment",
    "result\\update\\datetime",
};

namespace {

bool IsCSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

int DecimalTextToInt(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  // Accumulate in a wider type and stop growing once past the int range, so long digit runs from
  // the network cannot overflow.
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (value <= limit) value = value * 10 + (text[i] - L'0');
  }
  if (value > limit) value = limit;
  return static_cast<int>(negative ? -value : value);
}

bool ServiceConfigFromValues(const std::vector<std::wstring>& values, ServiceConfig& out) {
  if (values.size() != 7) return false;
  out.versionNumber = values[0];
  out.versionUrl = values[1];
  out.versionDatetime = values[2];
  // values[3] is result\update\download: required, not kept.
  out.updateAsset = DecimalTextToInt(values[4]);
  out.updateAdment = DecimalTextToInt(values[5]);
  out.updateDatetime = values[6];
  return true;
}

void AppendTextAdPairs(const std::vector<std::wstring>& texts, const std::vector<std::wstring>& urls,
                       std::vector<std::wstring>& out) {
  for (std::size_t i = 0; i < texts.size() && i < urls.size(); ++i) {
    out.push_back(texts[i]);
    out.push_back(urls[i]);
  }
}
