// The service's two calls on the service API host: the version document ("x.php?action=config")
// and the advertisement lists ("x.php?action=GetAdment"), read with the XML reader.
// Every call is synchronous; create a client on the stack for a call.
#pragma once
#include <string>
#include <vector>

#include "player/online/ServiceAnswers.h"

// The service's current version, written by CheckNewVersion and read by the update check and the
// update download. No lock: two version checks must not run at the same time.
extern ServiceConfig g_RemoteVersion;

class CServiceClient {
 public:
  // Fetches and reads the version document; false when the fetch or the answer failed (then `out`
  // is untouched).
  bool GetConfig(ServiceConfig& out);
  // The reading half of GetConfig: the answer must carry each of the seven elements of
  // kServiceConfigPaths exactly once.
  bool ParseConfig(const std::string& text, ServiceConfig& out);
  // GetConfig into g_RemoteVersion. When the service cannot tell, the remote version becomes the
  // local one (number g_strAppVersion, datetime g_strAppTime, URL empty) and the result is false.
  bool CheckNewVersion();

  // Appends the banner page URLs (result\ad64060\item\url) in document order. False only when the
  // answer could not be fetched (the list is unchanged); true also when it names no banner.
  bool GetBannerAds(std::vector<std::wstring>& urls);
  // Appends the text advertisements (result\adtext\item\text and \url) as text, URL, text, URL...,
  // for every item position that has both. False only when the answer could not be fetched.
  bool GetTextAds(std::vector<std::wstring>& entries);
};
