// The two skin images that many windows paint behind themselves: "backtop" (the main window's
// background, also the backdrop of buttons, labels, sliders and title strips) and "menu" (the
// backdrop of buttons taller or shorter than their face). The main window loads them, registers
// them with the skin manager (which replaces them on a skin change) and deletes them at the end.
// User-interface thread only.
#pragma once

namespace Gdiplus {
class Image;
}

extern Gdiplus::Image* g_pImgBackTop;
extern Gdiplus::Image* g_pImgMenu;
