#pragma once
// A memory device context over a bitmap of one colour, for tests that draw and read pixels back.
#include "platform/gui/afxwin.h"

namespace testutil {

class Canvas {
 public:
  Canvas(int w, int h, COLORREF fill = RGB(255, 255, 255)) {
    dc.CreateCompatibleDC(nullptr);
    bitmap.CreateCompatibleBitmap(&dc, w, h);
    old = dc.SelectObject(&bitmap);
    dc.FillSolidRect(0, 0, w, h, fill);
  }
  ~Canvas() { dc.SelectObject(old); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  COLORREF At(int x, int y) const { return dc.GetPixel(x, y); }
  CDC dc;
  CBitmap bitmap;
  CBitmap* old;
};

}  // namespace testutil
