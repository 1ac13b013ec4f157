#include "player/app/MainLayout.h"

namespace layout {

Hit HitTestBorder(int x, int y, const Rect& w) {
  if (x >= w.right - 3) return Hit::Right;
  if (y >= w.bottom - 3) return Hit::Bottom;
  if (x >= w.right - 10 && y >= w.bottom - 10) return Hit::BottomRight;
  return Hit::Client;
}

int BannerLeft(int clientWidth) { return (clientWidth - 935) / 2 + 295; }

std::vector<int> TitleButtonLefts(int clientWidth, const std::vector<int>& widthsRightToLeft) {
  std::vector<int> lefts;
  int x = clientWidth - 10;
  for (int width : widthsRightToLeft) {
    x -= width;
    lefts.push_back(x);
  }
  return lefts;
}

bool CountsAsMaximised(int clientWidth, int clientHeight, int workWidth, int workHeight) {
  return clientWidth == workWidth && clientHeight == workHeight + kTopStrip;
}

void CentreIn(const Rect& area, int width, int height, int* x, int* y) {
  *x = area.left + (area.Width() - width) / 2;
  *y = area.top + (area.Height() - height) / 2;
}

}  // namespace layout
