// GDI+ images from files, with the rule the skins rely on: an image that cannot be loaded (a
// missing file, an empty path) still exists, reads as 0 x 0 and draws nothing.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <string>

// A new image from the file, with embedded colour management. Never null unless memory runs out.
Gdiplus::Image* LoadImageFile(const std::wstring& path);
bool IsImageLoaded(Gdiplus::Image* image);
int ImageWidth(Gdiplus::Image* image);   // 0 for null or not loaded
int ImageHeight(Gdiplus::Image* image);  // 0 for null or not loaded
// Unscaled at (x, y); nothing for null or not loaded.
void DrawImageAt(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y);
// Scaled into the rectangle.
void DrawImageStretched(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y, int width, int height);
// The part (srcX, srcY, width, height) of the image at (x, y), unscaled.
void DrawImagePart(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y, int srcX, int srcY, int width,
                   int height);

// GdiplusStartup / GdiplusShutdown around a scope (tests and tools; the program keeps its own token).
class CGdiPlusSession {
 public:
  CGdiPlusSession();
  ~CGdiPlusSession();
  CGdiPlusSession(const CGdiPlusSession&) = delete;
  CGdiPlusSession& operator=(const CGdiPlusSession&) = delete;

 private:
  ULONG_PTR m_token = 0;
};
