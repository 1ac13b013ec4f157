#include "player/common/SkinImages.h"

Gdiplus::Image* g_pImgBackTop = nullptr;
Gdiplus::Image* g_pImgMenu = nullptr;
