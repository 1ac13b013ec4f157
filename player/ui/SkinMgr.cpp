#include "player/ui/SkinMgr.h"

#include <vector>

#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "player/common/Trace.h"
#include "player/library/MusicListDB.h"
#include "player/online/Convert.h"
#include "player/online/XmlReader.h"
#include "player/ui/SkinImageName.h"

namespace {

// All three sections feed one table; this order decides which of two equal names wins.
const char* const kImageSections[] = {"Skin\\MainDlg\\img", "Skin\\Setting\\img", "Skin\\AdDlg\\img"};

std::wstring SkinFolder() { return GetAppFolder() + L"\\skin\\"; }

// The whole file, or false when it cannot be opened or read. The path stays UTF-16 all the way, so
// a program folder with characters outside the ANSI code page still finds its skins.
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  char buffer[8192];
  DWORD read = 0;
  bool ok = true;
  for (;;) {
    if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace

SkinMgr* SkinMgr::s_pInstance = nullptr;

SkinMgr& SkinMgr::GetInstance() {
  if (!s_pInstance) {
    DebugLine(L"-------------SkinMgr---0---------------");
    s_pInstance = new SkinMgr();
    s_pInstance->LoadSkin(CMusicListDB::GetInstance().GetSkin());
    s_pInstance->m_bLoaded = 1;
  }
  return *s_pInstance;
}

void SkinMgr::ReleaseInstance() {
  if (!s_pInstance) return;
  s_pInstance->m_mapImages.clear();
  s_pInstance->m_mapRegistrations.clear();
  delete s_pInstance;
  s_pInstance = nullptr;
}

bool SkinMgr::LoadSkin(const std::wstring& fileName) {
  m_mapImages.clear();

  std::string text;
  if (!ReadWholeFile(SkinFolder() + fileName, text)) {
    Trace(L"skin description not readable: " + fileName);
    return false;
  }

  // A structural error keeps the elements read before it: the entries found so far still count.
  CXML xml;
  xml.Load(text);
  xml.Parse();
  std::vector<std::wstring> paths;
  for (const char* section : kImageSections) xml.Query(section, AppendElementText, &paths);

  const std::wstring folder = SkinFolder();
  for (const std::wstring& path : paths) m_mapImages[SkinImageName(path)] = folder + path;

  if (m_bLoaded) ApplySkin();
  return true;
}

std::wstring SkinMgr::GetImagePath(const std::wstring& name) const {
  auto found = m_mapImages.find(name);
  return found == m_mapImages.end() ? std::wstring() : found->second;
}

void SkinMgr::RegisterImage(Gdiplus::Image** image, const std::wstring& name) {
  if (!image || name.empty()) return;
  m_mapRegistrations[name] = Registration{image, false};
}

void SkinMgr::RegisterImage(Gdiplus::Bitmap** image, const std::wstring& name) {
  if (!image || name.empty()) return;
  m_mapRegistrations[name] = Registration{image, true};
}

void SkinMgr::UnregisterImage(const void* image) {
  for (auto it = m_mapRegistrations.begin(); it != m_mapRegistrations.end();) {
    if (it->second.variable == image)
      it = m_mapRegistrations.erase(it);
    else
      ++it;
  }
}

void SkinMgr::ApplySkin() {
  for (const auto& entry : m_mapRegistrations) {
    std::wstring path = GetImagePath(entry.first);
    if (path.empty()) continue;  // the new skin lacks it: keep the previous skin's picture
    const Registration& r = entry.second;
    if (r.isBitmap) {
      Gdiplus::Bitmap** variable = static_cast<Gdiplus::Bitmap**>(r.variable);
      delete *variable;
      *variable = new Gdiplus::Bitmap(path.c_str(), TRUE);
    } else {
      Gdiplus::Image** variable = static_cast<Gdiplus::Image**>(r.variable);
      delete *variable;
      *variable = new Gdiplus::Image(path.c_str(), TRUE);
    }
  }
  // Without a main window yet there is nobody to repaint; a null handle would post to this thread.
  if (g_hMainWnd) PostMessageW(g_hMainWnd, WM_SKIN_CHANGED, 0, 0);
}
