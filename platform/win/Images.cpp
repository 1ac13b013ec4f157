#include "platform/win/Images.h"

Gdiplus::Image* LoadImageFile(const std::wstring& path) { return new Gdiplus::Image(path.c_str(), TRUE); }

bool IsImageLoaded(Gdiplus::Image* image) { return image && image->GetLastStatus() == Gdiplus::Ok; }

int ImageWidth(Gdiplus::Image* image) { return IsImageLoaded(image) ? (int)image->GetWidth() : 0; }

int ImageHeight(Gdiplus::Image* image) { return IsImageLoaded(image) ? (int)image->GetHeight() : 0; }

void DrawImageAt(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y) {
  if (!IsImageLoaded(image)) return;
  g.DrawImage(image, x, y, (INT)image->GetWidth(), (INT)image->GetHeight());
}

void DrawImageStretched(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y, int width, int height) {
  if (!IsImageLoaded(image) || width <= 0 || height <= 0) return;
  g.DrawImage(image, x, y, width, height);
}

void DrawImagePart(Gdiplus::Graphics& g, Gdiplus::Image* image, int x, int y, int srcX, int srcY, int width,
                   int height) {
  if (!IsImageLoaded(image) || width <= 0 || height <= 0) return;
  g.DrawImage(image, Gdiplus::Rect(x, y, width, height), srcX, srcY, width, height, Gdiplus::UnitPixel);
}

CGdiPlusSession::CGdiPlusSession() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
}

CGdiPlusSession::~CGdiPlusSession() {
  if (m_token) Gdiplus::GdiplusShutdown(m_token);
}
