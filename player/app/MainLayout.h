// The main window's geometry rules, free of any window: where the borderless window can be
// resized, where the banner goes, where the title buttons go and when the window counts as
// maximised. Rectangles are left/top inclusive, right/bottom exclusive, as Windows has them.
#pragma once
#include <vector>

namespace layout {

struct Rect {
  int left, top, right, bottom;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Height of the transparent strip along the window's top; the painted window starts below it.
constexpr int kTopStrip = 30;

enum class Hit { Client, Right, Bottom, BottomRight };
// The borderless window can be resized only at its right edge and bottom edge (3 pixels each)
// and its bottom-right corner (10 x 10); (x, y) and the window are in screen coordinates.
Hit HitTestBorder(int x, int y, const Rect& window);

// Left edge of the 640 x 60 banner for a client width: centred in the area right of the 295-pixel
// left column, as (cx - 935) / 2 + 295 with the quotient truncated toward zero.
int BannerLeft(int clientWidth);
constexpr int kBannerTop = 75;
constexpr int kBannerWidth = 640;
constexpr int kBannerHeight = 60;

// Left edges of the title buttons laid out right to left from 10 pixels inside the right edge,
// side by side; widths are given right to left and so are the results.
std::vector<int> TitleButtonLefts(int clientWidth, const std::vector<int>& widthsRightToLeft);
constexpr int kTitleButtonTop = 30;

// The window counts as maximised when its client area is the work area plus the top strip.
bool CountsAsMaximised(int clientWidth, int clientHeight, int workWidth, int workHeight);

// Top-left corner that centres a window of the given size in an area.
void CentreIn(const Rect& area, int width, int height, int* x, int* y);

}  // namespace layout
