#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "player/app/MainLayout.h"

using layout::Hit;

TEST_CASE("the borderless window resizes only at its right edge, bottom edge and bottom-right corner") {
  const layout::Rect w = {100, 50, 1061, 724};  // 961 x 674 on the screen
  struct Case {
    const char* where;
    int x, y;
    Hit expected;
  };
  const Case cases[] = {
      {"right edge, last pixel", 1060, 400, Hit::Right},
      {"right edge, third pixel from the edge", 1058, 400, Hit::Right},
      {"fourth pixel from the right edge", 1057, 400, Hit::Client},
      {"bottom edge, last pixel", 500, 723, Hit::Bottom},
      {"bottom edge, third pixel", 500, 721, Hit::Bottom},
      {"fourth pixel from the bottom", 500, 720, Hit::Client},
      {"corner, just inside the 3-pixel edges", 1057, 720, Hit::BottomRight},
      {"corner, its far inner pixel", 1051, 714, Hit::BottomRight},
      {"left of the corner", 1050, 720, Hit::Client},
      {"above the corner", 1057, 713, Hit::Client},
      {"right edge wins in the very corner", 1060, 723, Hit::Right},
      {"bottom edge beside the corner", 1055, 722, Hit::Bottom},
      {"left edge", 100, 400, Hit::Client},
      {"top edge", 500, 50, Hit::Client},
      {"top-right corner", 1057, 52, Hit::Client},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.where));
    CHECK(layout::HitTestBorder(c.x, c.y, w) == c.expected);
  }
}

TEST_CASE("the banner is centred right of the left column, the quotient truncated toward zero") {
  struct Case {
    int clientWidth, left;
  };
  const Case cases[] = {{1280, 467}, {900, 278}, {935, 295}, {961, 308}, {936, 295}, {934, 295}, {933, 294},
                        {1920, 787}, {0, -172}};
  for (const Case& c : cases) {
    CAPTURE(c.clientWidth);
    CHECK(layout::BannerLeft(c.clientWidth) == c.left);
  }
}

TEST_CASE("title buttons sit side by side, right to left, 10 pixels from the right edge") {
  struct Case {
    int clientWidth;
    std::vector<int> widths, lefts;
  };
  const Case cases[] = {
      {961, {24, 26, 26, 26}, {927, 901, 875, 849}},
      {1280, {24, 26, 26, 26}, {1246, 1220, 1194, 1168}},
      {100, {}, {}},
      {50, {0, 10}, {40, 30}},
  };
  for (const Case& c : cases) {
    CAPTURE(c.clientWidth);
    CHECK(layout::TitleButtonLefts(c.clientWidth, c.widths) == c.lefts);
  }
}

TEST_CASE("the window counts as maximised only at the work area's size plus the top strip") {
  struct Case {
    int cw, ch, ww, wh;
    bool maximised;
  };
  const Case cases[] = {
      {1280, 1054, 1280, 1024, true}, {1280, 1024, 1280, 1024, false}, {1279, 1054, 1280, 1024, false},
      {961, 674, 1280, 1024, false},  {1280, 1014, 1280, 984, true},
  };
  for (const Case& c : cases) {
    CAPTURE(c.cw);
    CAPTURE(c.ch);
    CHECK(layout::CountsAsMaximised(c.cw, c.ch, c.ww, c.wh) == c.maximised);
  }
}

TEST_CASE("centring in an area") {
  int x = 0, y = 0;
  layout::CentreIn({0, 0, 1280, 1024}, 961, 674, &x, &y);
  CHECK(x == 159);
  CHECK(y == 175);
  layout::CentreIn({0, 40, 1280, 1024}, 961, 674, &x, &y);
  CHECK(y == 40 + 155);
  layout::CentreIn({0, 0, 800, 600}, 961, 674, &x, &y);  // larger than the area: overhangs evenly
  CHECK(x == -80);
  CHECK(y == -37);
}
