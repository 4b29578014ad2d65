// Device contexts with GDI's rules on the headless surfaces.
#include <gtest/gtest.h>

#include "platform/gui/afxwin.h"
#include "platform/gui/gdiplus.h"
#include "platform/gui/headless.h"

namespace {

// A memory DC over a white bitmap of the given size.
class Canvas {
 public:
  Canvas(int w, int h) : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(dc, w, h)) {
    old = SelectObject(dc, bitmap);
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

const COLORREF kWhite = RGB(255, 255, 255);

class Gdi : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

TEST_F(Gdi, SelectingGivesBackWhatItReplacedAndStockObjectsSurviveDeletion) {
  Canvas c(4, 4);
  HPEN red = CreatePen(PS_SOLID, 0, RGB(255, 0, 0));
  HGDIOBJ first = SelectObject(c.dc, red);
  EXPECT_EQ(first, GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(c.dc, first), red);
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
  // An object in use is not deleted.
  SelectObject(c.dc, red);
  EXPECT_FALSE(DeleteObject(red));
  SelectObject(c.dc, first);
  EXPECT_TRUE(DeleteObject(red));
  EXPECT_EQ(GetObjectType(red), 0u);
  EXPECT_EQ(SelectObject(c.dc, red), nullptr);
  // A bitmap lives in one memory DC at a time.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, c.bitmap), nullptr);
  DeleteDC(other);
}

TEST_F(Gdi, LinesLeaveOutTheirLastPixelWhateverThePenWidth) {
  for (int width : {0, 1}) {
    Canvas c(10, 10);
    HPEN pen = CreatePen(PS_SOLID, width, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(c.dc, pen);
    MoveToEx(c.dc, 1, 2, nullptr);
    LineTo(c.dc, 6, 2);
    MoveToEx(c.dc, 8, 1, nullptr);
    LineTo(c.dc, 8, 5);
    SelectObject(c.dc, old);
    DeleteObject(pen);
    EXPECT_EQ(c.At(0, 2), kWhite);
    for (int x = 1; x <= 5; ++x) EXPECT_EQ(c.At(x, 2), RGB(0, 0, 255)) << x;
    EXPECT_EQ(c.At(6, 2), kWhite);
    EXPECT_EQ(c.At(5, 1), kWhite);
    EXPECT_EQ(c.At(5, 3), kWhite);
    EXPECT_EQ(c.At(8, 4), RGB(0, 0, 255));
    EXPECT_EQ(c.At(8, 5), kWhite);
    POINT at{};
    GetCurrentPositionEx(c.dc, &at);
    EXPECT_EQ(at.y, 5);
  }
}

TEST_F(Gdi, RectanglesFillTheirInsideAndEmptyOrInvertedOnesDrawNothing) {
  Canvas c(10, 10);
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  RECT r{2, 2, 5, 4};
  FillRect(c.dc, &r, green);
  EXPECT_EQ(c.At(2, 2), RGB(0, 255, 0));
  EXPECT_EQ(c.At(4, 3), RGB(0, 255, 0));
  EXPECT_EQ(c.At(5, 3), kWhite);
  EXPECT_EQ(c.At(4, 4), kWhite);
  RECT inverted{8, 8, 6, 6};
  EXPECT_EQ(FillRect(c.dc, &inverted, green), 1);
  EXPECT_EQ(c.At(7, 7), kWhite);
  FrameRect(c.dc, &inverted, green);
  EXPECT_EQ(c.At(7, 7), kWhite);
  // A system colour index plus one stands for that colour's brush.
  RECT one{0, 9, 1, 10};
  FillRect(c.dc, &one, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(c.At(0, 9), GetSysColor(COLOR_BTNFACE));
  // Rectangle: the pen outlines, the brush fills inside; without a pen the fill is a pixel smaller.
  HGDIOBJ oldBrush = SelectObject(c.dc, green);
  Rectangle(c.dc, 5, 5, 9, 9);
  EXPECT_EQ(c.At(5, 5), RGB(0, 0, 0));
  EXPECT_EQ(c.At(8, 8), RGB(0, 0, 0));
  EXPECT_EQ(c.At(6, 6), RGB(0, 255, 0));
  EXPECT_EQ(c.At(9, 9), kWhite);
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  Rectangle(c.dc, 0, 0, 3, 3);
  EXPECT_EQ(c.At(1, 1), RGB(0, 255, 0));
  EXPECT_EQ(c.At(2, 2), RGB(0, 255, 0));  // the earlier fill
  EXPECT_EQ(c.At(2, 0), kWhite);
  SelectObject(c.dc, oldBrush);
  DeleteObject(green);
}

TEST_F(Gdi, RectangleGradientsReachBothEndColoursExactly) {
  Canvas c(5, 3);
  TRIVERTEX v[2] = {{0, 0, 0, 0x1000, 0xFF00, 0}, {5, 3, 0xFF00, 0x1000, 0x0000, 0}};
  GRADIENT_RECT mesh{0, 1};
  ASSERT_TRUE(GradientFill(c.dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(c.At(0, 1), RGB(0, 16, 255));
  EXPECT_EQ(c.At(4, 1), RGB(255, 16, 0));
  // c(i) = c0 + (c1 - c0) * i / (n - 1): column 1 of 5 has 0xFF00 / 4 = 0x3FC0 red.
  EXPECT_EQ(GetRValue(c.At(1, 0)), 0x3F);
  EXPECT_EQ(GetBValue(c.At(1, 0)), (0xFF00 - 0xFF00 / 4) >> 8);
  // The first vertex on the right: the gradient runs right to left.
  TRIVERTEX back[2] = {{5, 0, 0, 0, 0, 0}, {0, 3, 0xFF00, 0xFF00, 0xFF00, 0}};
  GradientFill(c.dc, back, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
  EXPECT_EQ(c.At(2, 0), RGB(0, 0, 0));
  EXPECT_EQ(c.At(2, 2), RGB(255, 255, 255));
  EXPECT_FALSE(GradientFill(c.dc, v, 1, &mesh, 1, GRADIENT_FILL_RECT_H));  // a vertex index beyond the list
}

TEST_F(Gdi, TriangleGradientsTakeEachCornersColourAndStayInside) {
  Canvas c(12, 12);
  TRIVERTEX v[3] = {{0, 0, 0xFF00, 0, 0, 0}, {10, 0, 0, 0xFF00, 0, 0}, {0, 10, 0, 0, 0xFF00, 0}};
  GRADIENT_TRIANGLE mesh{0, 1, 2};
  ASSERT_TRUE(GradientFill(c.dc, v, 3, &mesh, 1, GRADIENT_FILL_TRIANGLE));
  EXPECT_EQ(c.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(c.At(10, 0), RGB(0, 255, 0));
  EXPECT_EQ(c.At(0, 10), RGB(0, 0, 255));
  EXPECT_EQ(c.At(5, 5), RGB(0, 127, 127));   // on the long edge: half and half
  EXPECT_EQ(c.At(6, 6), kWhite);
  EXPECT_EQ(c.At(11, 1), kWhite);
}

TEST_F(Gdi, BlitsCopyBetweenBitmapsAndClipsAndViewportsHold) {
  Canvas a(6, 6), b(6, 6);
  SetPixel(a.dc, 1, 1, RGB(9, 8, 7));
  ASSERT_TRUE(BitBlt(b.dc, 2, 3, 3, 3, a.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(b.At(3, 4), RGB(9, 8, 7));
  EXPECT_EQ(b.At(1, 1), kWhite);
  EXPECT_EQ(GetPixel(a.dc, 6, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(a.dc, -1, 0), CLR_INVALID);
  SetViewportOrgEx(b.dc, 2, 2, nullptr);
  SetPixel(b.dc, 0, 0, RGB(1, 2, 3));
  SetViewportOrgEx(b.dc, 0, 0, nullptr);
  EXPECT_EQ(b.At(2, 2), RGB(1, 2, 3));
  SaveDC(b.dc);
  IntersectClipRect(b.dc, 0, 0, 2, 2);
  EXPECT_EQ(SetPixel(b.dc, 4, 4, RGB(0, 0, 0)), CLR_INVALID);
  RestoreDC(b.dc, -1);
  EXPECT_NE(SetPixel(b.dc, 4, 4, RGB(0, 0, 0)), CLR_INVALID);
}

TEST_F(Gdi, TextDrawsInItsColourWithinItsExtent) {
  Canvas c(120, 30);
  HGDIOBJ font = SelectObject(c.dc, GetStockObject(DEFAULT_GUI_FONT));
  SIZE small{}, large{};
  GetTextExtentPoint32W(c.dc, L"Ab", 2, &small);
  GetTextExtentPoint32W(c.dc, L"Ab Ab Ab", 8, &large);
  EXPECT_GT(small.cx, 5);
  EXPECT_GT(large.cx, 3 * small.cx);
  TEXTMETRICW tm{};
  GetTextMetricsW(c.dc, &tm);
  EXPECT_EQ(small.cy, tm.tmHeight);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, RGB(0, 0, 0));
  TextOutW(c.dc, 2, 2, L"Mąka", 4);
  int dark = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      if (GetRValue(c.At(x, y)) >= 128) continue;
      const bool inside = x >= 2 && y >= 2 && y < 2 + tm.tmHeight && x < 2 + 60;
      (inside ? dark : outside)++;
    }
  EXPECT_GT(dark, 10);
  EXPECT_EQ(outside, 0);
  // Prefixes: "&&" is one ampersand; the rectangle grows to fit when asked.
  SIZE amp{};
  GetTextExtentPoint32W(c.dc, L"a&b", 3, &amp);
  RECT calc{0, 0, 0, 0};
  EXPECT_EQ(DrawTextW(c.dc, L"a&&b", -1, &calc, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight);
  EXPECT_EQ(calc.right, amp.cx);
  SIZE two{};
  GetTextExtentPoint32W(c.dc, L"Ab Ab", 5, &two);
  RECT wrapped{0, 0, two.cx, 0};
  EXPECT_EQ(DrawTextW(c.dc, L"Ab Ab Ab", -1, &wrapped, DT_CALCRECT | DT_WORDBREAK), 2 * tm.tmHeight);
  EXPECT_EQ(wrapped.right, two.cx);
  RECT narrow{0, 0, 1, 0};   // a word wider than the rectangle stays whole on its line
  EXPECT_EQ(DrawTextW(c.dc, L"Ab Ab Ab", -1, &narrow, DT_CALCRECT | DT_WORDBREAK), 3 * tm.tmHeight);
  EXPECT_EQ(narrow.right, small.cx);
  SelectObject(c.dc, font);
}

TEST_F(Gdi, AntiAliasedEllipsesBlendTheirEdge) {
  Canvas c(20, 20);
  Gdiplus::Graphics g(c.dc);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  Gdiplus::SolidBrush brush(Gdiplus::Color(255, 0, 0, 0));
  ASSERT_EQ(g.FillEllipse(&brush, 0, 0, 20, 20), Gdiplus::Ok);
  EXPECT_EQ(c.At(10, 10), RGB(0, 0, 0));
  EXPECT_EQ(c.At(0, 0), kWhite);
  // A pixel the circle's edge crosses is neither colour.
  const BYTE edge = GetRValue(c.At(2, 2));
  EXPECT_GT(edge, 0);
  EXPECT_LT(edge, 255);
  EXPECT_EQ(g.FillEllipse(nullptr, 0, 0, 5, 5), Gdiplus::InvalidParameter);
}

TEST_F(Gdi, RectanglesAndRoundingOfDialogUnits) {
  EXPECT_EQ(MulDiv(251, 6, 4), 377);   // 376.5 rounds up
  EXPECT_EQ(MulDiv(-7, 1, 2), -4);     // half away from zero
  EXPECT_EQ(MulDiv(5, 1, 0), -1);
  RECT a{0, 0, 4, 4}, b{2, 2, 6, 6}, out{};
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_EQ(out.left, 2);
  RECT far{10, 10, 12, 12};
  EXPECT_FALSE(IntersectRect(&out, &a, &far));
  EXPECT_TRUE(IsRectEmpty(&out));
  CRect r(5, 5, 1, 1);
  r.NormalizeRect();
  EXPECT_EQ(r.Width(), 4);
}

}  // namespace
