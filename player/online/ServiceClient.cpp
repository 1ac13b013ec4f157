#include "player/online/ServiceClient.h"

#include <new>

#include "player/common/Globals.h"
#include "player/online/Convert.h"
#include "player/online/ServiceHosts.h"
#include "player/online/UrlFetcher.h"
#include "player/online/XmlReader.h"

ServiceConfig g_RemoteVersion;

namespace {

const char kBannerUrlPath[] = "result\\ad64060\\item\\url";
const char kTextAdTextPath[] = "result\\adtext\\item\\text";
const char kTextAdUrlPath[] = "result\\adtext\\item\\url";

// The advertisement answer, or false when it could not be fetched.
bool FetchAdmentAnswer(CXML& xml) {
  std::string text;
  if (!CUrlFetcher().GetUrlText(text, ApiUrl(kAdmentPath))) return false;
  xml.Load(text);
  xml.Parse();  // what was read before a structural error is still queried
  return true;
}

}  // namespace

bool CServiceClient::GetConfig(ServiceConfig& out) {
  std::string text;
  if (!CUrlFetcher().GetUrlText(text, ApiUrl(kConfigPath))) return false;
  return ParseConfig(text, out);
}

bool CServiceClient::ParseConfig(const std::string& text, ServiceConfig& out) {
  try {
    CXML xml;
    xml.Load(text);
    xml.Parse();  // not examined: a broken document simply yields fewer than seven values
    std::vector<std::wstring> values;
    for (const char* path : kServiceConfigPaths) xml.Query(path, AppendElementText, &values);
    return ServiceConfigFromValues(values, out);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CServiceClient::CheckNewVersion() {
  if (GetConfig(g_RemoteVersion)) return true;
  g_RemoteVersion.versionDatetime = g_strAppTime;
  g_RemoteVersion.versionNumber = g_strAppVersion;
  g_RemoteVersion.versionUrl.clear();
  return false;
}

bool CServiceClient::GetBannerAds(std::vector<std::wstring>& urls) {
  try {
    CXML xml;
    if (!FetchAdmentAnswer(xml)) return false;
    std::vector<std::wstring> found;
    xml.Query(kBannerUrlPath, AppendElementText, &found);
    urls.insert(urls.end(), found.begin(), found.end());
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CServiceClient::GetTextAds(std::vector<std::wstring>& entries) {
  try {
    CXML xml;
    if (!FetchAdmentAnswer(xml)) return false;
    std::vector<std::wstring> texts, urls;
    xml.Query(kTextAdTextPath, AppendElementText, &texts);
    xml.Query(kTextAdUrlPath, AppendElementText, &urls);
    AppendTextAdPairs(texts, urls, entries);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}
