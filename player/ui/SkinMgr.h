// The skin manager: which file to load for an image name of the current skin.
//
// A skin is a description file skin\<name>.xml next to the program, listing image files relative
// to the skin folder in three sections (MainDlg, Setting, AdDlg). Windows ask GetImagePath for the
// file of an image name when they build their controls; windows that must follow a skin change
// while they are open register their image variables, which LoadSkin then reloads in place before
// telling the main window (WM_SKIN_CHANGED).
//
// User-interface thread only; no lock.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <map>
#include <string>

class SkinMgr {
 public:
  // The one instance. The first call creates it, loads the skin stored in the database
  // (CMusicListDB::GetSkin) and only then counts as loaded, so that first load posts nothing.
  static SkinMgr& GetInstance();
  // At program exit: forgets the image table and the registrations and destroys the instance;
  // a later GetInstance creates a new one.
  static void ReleaseInstance();

  // Reads skin\<fileName> and rebuilds the image table from it. A file that cannot be read leaves
  // the table empty and changes nothing else (false). After the first load, a readable file is
  // applied to the registered images and the main window is told.
  bool LoadSkin(const std::wstring& fileName);

  // Program folder + "\skin\" + the listed path, or "" when the skin has no image of that name.
  // Names are case-sensitive.
  std::wstring GetImagePath(const std::wstring& name) const;

  // Records the address of a window's image variable, reloaded under `name` by later loads. A null
  // address or an empty name is ignored; one variable per name (a later registration replaces the
  // earlier one). The variable must stay alive until UnregisterImage or ReleaseInstance.
  void RegisterImage(Gdiplus::Image** image, const std::wstring& name);
  void RegisterImage(Gdiplus::Bitmap** image, const std::wstring& name);
  // Forgets every registration of that variable; owners call it before the variable goes away.
  void UnregisterImage(const void* image);

  size_t ImageCount() const { return m_mapImages.size(); }

 private:
  SkinMgr() = default;
  ~SkinMgr() = default;
  SkinMgr(const SkinMgr&) = delete;
  SkinMgr& operator=(const SkinMgr&) = delete;

  // Reloads every registered variable whose name the new skin has, then posts WM_SKIN_CHANGED.
  void ApplySkin();

  struct Registration {
    void* variable;  // Gdiplus::Image** or Gdiplus::Bitmap**
    bool isBitmap;
  };

  int m_bLoaded = 0;
  std::map<std::wstring, std::wstring> m_mapImages;         // image name -> full path
  std::map<std::wstring, Registration> m_mapRegistrations;  // image name -> window's variable

  static SkinMgr* s_pInstance;
};
