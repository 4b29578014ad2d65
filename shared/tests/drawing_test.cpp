// The drawing, message and data-exchange helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gui/headless.h"
#include "shared/hxhelpers.h"
#include "testing/support/canvas.h"

namespace {

using testutil::Canvas;

class Helpers : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

TEST_F(Helpers, DeviceContextScopesRestoreWhatTheyChanged) {
  Canvas c(2, 2);
  HPEN pen = CreatePen(PS_SOLID, 0, RGB(1, 2, 3));
  {
    CObjectDC selected(c.dc.m_hDC, pen);
    CBkModeDC mode(c.dc.m_hDC, TRANSPARENT);
    CTextColorDC color(c.dc.m_hDC, RGB(9, 9, 9));
    EXPECT_EQ(GetCurrentObject(c.dc.m_hDC, OBJ_PEN), pen);
    EXPECT_EQ(c.dc.GetBkMode(), TRANSPARENT);
    CTextColorDC remembered(c.dc.m_hDC);
    c.dc.SetTextColor(RGB(7, 7, 7));
  }
  EXPECT_EQ(GetCurrentObject(c.dc.m_hDC, OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(c.dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(c.dc.GetTextColor(), RGB(0, 0, 0));
  CObjectDC none(c.dc.m_hDC, nullptr);   // a null object selects nothing and restores nothing
  none.Detach();
  EXPECT_EQ(GetCurrentObject(c.dc.m_hDC, OBJ_PEN), GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}

TEST_F(Helpers, LuminanceAndBlending) {
  EXPECT_EQ(hxLuminance(RGB(255, 0, 0)), RGB(76, 76, 76));
  EXPECT_EQ(hxLuminance(RGB(0, 255, 0)), RGB(150, 150, 150));
  EXPECT_EQ(hxLuminance(RGB(10, 20, 30)), RGB(18, 18, 18));   // (1180 + 330 + 300) / 100
  EXPECT_EQ(hxBlendColor(RGB(10, 20, 30), RGB(200, 100, 0), 0), RGB(10, 20, 30));
  EXPECT_EQ(hxBlendColor(RGB(10, 20, 30), RGB(200, 100, 0), 100), RGB(200, 100, 0));
  EXPECT_EQ(hxBlendColor(RGB(0, 0, 0), RGB(255, 255, 255), 50), RGB(127, 127, 127));
}

TEST_F(Helpers, SplitGradientsMeetInTheirEndColourAtTheMiddle) {
  const COLORREF from = RGB(0, 0, 0), to = RGB(200, 100, 50);
  Canvas horz(6, 10);
  hxFillGradientRectHorz(horz.dc.m_hDC, CRect(0, 0, 6, 10), from, to);
  EXPECT_EQ(horz.At(3, 0), from);
  EXPECT_EQ(horz.At(3, 4), to);   // the last row of the upper half
  EXPECT_EQ(horz.At(3, 5), to);   // the first of the lower half
  EXPECT_EQ(horz.At(3, 9), from);
  EXPECT_EQ(horz.At(0, 2), RGB(100, 50, 25));
  Canvas vert(10, 3);
  hxFillGradientRectVert(vert.dc.m_hDC, CRect(0, 0, 10, 3), from, to);
  EXPECT_EQ(vert.At(0, 1), from);
  EXPECT_EQ(vert.At(4, 1), to);
  EXPECT_EQ(vert.At(5, 1), to);
  EXPECT_EQ(vert.At(9, 1), from);
  // Odd sizes split at (top + bottom) / 2; empty halves draw nothing.
  Canvas thin(4, 1);
  hxFillGradientRectHorz(thin.dc.m_hDC, CRect(0, 0, 4, 1), from, to);
  EXPECT_EQ(thin.At(0, 0), to);
  Canvas untouched(4, 4);
  hxFillGradientRectVert(untouched.dc.m_hDC, CRect(2, 1, 2, 3), from, to);
  hxFillGradientRect(untouched.dc.m_hDC, nullptr, from, to, 0);
  EXPECT_EQ(untouched.At(2, 2), RGB(255, 255, 255));
}

TEST_F(Helpers, TrianglesAndLines) {
  Canvas c(8, 8);
  hxFillGradientTriangle(c.dc.m_hDC, CPoint(0, 0), CPoint(6, 0), CPoint(0, 6), RGB(255, 0, 0), RGB(0, 255, 0),
                         RGB(0, 0, 255));
  EXPECT_EQ(c.At(6, 0), RGB(0, 255, 0));
  EXPECT_EQ(c.At(5, 5), RGB(255, 255, 255));
  hxDrawLine(c.dc.m_hDC, 0, 7, 4, 7, RGB(9, 9, 9));
  EXPECT_EQ(c.At(3, 7), RGB(9, 9, 9));
  EXPECT_EQ(c.At(4, 7), RGB(255, 255, 255));
  EXPECT_EQ(GetCurrentObject(c.dc.m_hDC, OBJ_PEN), GetStockObject(BLACK_PEN));
}

TEST_F(Helpers, TheBarDrawsItsBandsAndLinesRowByRow) {
  Canvas c(12, 20);
  const COLORREF c1 = RGB(255, 0, 0), c2 = RGB(0, 255, 0), c3 = RGB(0, 0, 255), c4 = RGB(255, 255, 0),
                 c5 = RGB(0, 255, 255), c6 = RGB(255, 0, 255), c7 = RGB(1, 1, 1), c8 = RGB(2, 2, 2), c9 = RGB(3, 3, 3);
  RECT r{20, 5, 29, 17};   // width 10, height 12: drawn at the origin
  hxDrawBar(c.dc.m_hDC, &r, false, c1, c2, c3, c4, c5, c6, c7, c8, c9);
  EXPECT_EQ(c.At(0, 0), c1);
  EXPECT_EQ(c.At(9, 3), c2);
  EXPECT_EQ(c.At(0, 4), c3);
  EXPECT_EQ(c.At(0, 7), c4);
  EXPECT_EQ(c.At(0, 8), c5);
  EXPECT_EQ(c.At(0, 9), c6);    // rows 8 to h - 2: two rows
  EXPECT_EQ(c.At(0, 10), c7);
  EXPECT_EQ(c.At(9, 11), c8);
  EXPECT_EQ(c.At(9, 12), c9);   // the line at h, below the bar's own rows
  EXPECT_EQ(c.At(10, 0), RGB(255, 255, 255));
  hxDrawBar(c.dc.m_hDC, &r, true, c1, c2, c3, c4, c5, c6, c7, c8, c9);
  EXPECT_EQ(c.At(0, 0), hxLuminance(c1));
  EXPECT_EQ(c.At(0, 3), hxLuminance(c2));
  // A bar lower than its bands: its lines are drawn over them at its own height; an empty bar
  // draws nothing.
  Canvas low(6, 6);
  RECT flat{0, 0, 5, 3};
  hxDrawBar(low.dc.m_hDC, &flat, false, c1, c2, c3, c4, c5, c6, c7, c8, c9);
  EXPECT_EQ(low.At(0, 0), c1);
  EXPECT_EQ(low.At(0, 1), c7);
  EXPECT_EQ(low.At(0, 3), c9);
  Canvas blank(6, 6);
  RECT none{5, 5, 5, 5};
  hxDrawBar(blank.dc.m_hDC, &none, false, c1, c2, c3, c4, c5, c6, c7, c8, c9);
  hxDrawBar(blank.dc.m_hDC, nullptr, false, c1, c2, c3, c4, c5, c6, c7, c8, c9);
  EXPECT_EQ(blank.At(0, 0), RGB(255, 255, 255));
}

TEST_F(Helpers, TheRoundCornerSetsItsTwentyFivePixelsInEitherDirection) {
  const COLORREF a = RGB(40, 80, 160), w = GetSysColor(COLOR_WINDOW);
  const COLORREF f = hxBlendColor(a, w, 50);
  Canvas c(12, 12, RGB(1, 1, 1));
  fxDrawRoundCorner(c.dc, a, 9, 9, -1, -1);
  // Row r lies at y = 9 - r, column k at x = 9 - k.
  EXPECT_EQ(c.At(9, 9), hxBlendColor(a, f, 80));
  EXPECT_EQ(c.At(8, 9), hxBlendColor(f, w, 75));
  EXPECT_EQ(c.At(5, 9), w);
  EXPECT_EQ(c.At(9, 8), hxBlendColor(a, f, 60));
  EXPECT_EQ(c.At(8, 8), hxBlendColor(f, w, 25));
  EXPECT_EQ(c.At(9, 7), a);
  EXPECT_EQ(c.At(7, 7), hxBlendColor(f, w, 50));
  EXPECT_EQ(c.At(6, 6), hxBlendColor(f, w, 25));
  EXPECT_EQ(c.At(5, 6), hxBlendColor(f, w, 75));
  EXPECT_EQ(c.At(7, 5), a);
  EXPECT_EQ(c.At(6, 5), hxBlendColor(a, f, 60));
  EXPECT_EQ(c.At(5, 5), hxBlendColor(a, f, 80));
  int set = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) set += c.At(x, y) != RGB(1, 1, 1);
  EXPECT_EQ(set, 25);
  EXPECT_EQ(c.At(4, 9), RGB(1, 1, 1));
  EXPECT_EQ(c.At(9, 4), RGB(1, 1, 1));
}

// Whether (x + 0.5, y + 0.5) lies inside the ellipse centred at (cx, cy) with radii rx, ry, by margin.
double Where(int x, int y, double cx, double cy, double rx, double ry) {
  const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
  return std::sqrt(dx * dx + dy * dy);
}

TEST_F(Helpers, TheArcFillsTheQuarterOfTheDoubledEllipse) {
  const int w = 40, h = 24;
  for (bool right : {false, true})
    for (bool bottom : {false, true}) {
      Canvas c(60, 40, RGB(255, 255, 255));
      const CRect r(10, 8, 10 + w, 8 + h);
      hxFillArc(c.dc, r, RGB(0, 0, 0), right, bottom);
      const double cx = right ? 0 : w, cy = bottom ? 0 : h;
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const double d = Where(x, y, cx, cy, w, h);
          const BYTE v = GetRValue(c.At(r.left + x, r.top + y));
          if (d < 0.95 && v != 0) ++wrong;
          if (d > 1.05 && v != 255) ++wrong;
        }
      EXPECT_EQ(wrong, 0) << right << bottom;
      // Outside the rectangle nothing changed; the edge is blended.
      EXPECT_EQ(c.At(r.left - 1, r.top), RGB(255, 255, 255));
      EXPECT_EQ(c.At(r.right, r.bottom - 1), RGB(255, 255, 255));
      int blended = 0;
      for (int x = 0; x < w; ++x) {
        const BYTE v = GetRValue(c.At(r.left + x, r.top + h / 2));
        blended += v > 0 && v < 255;
      }
      EXPECT_GE(blended, 1);
    }
  Canvas c(4, 4);
  hxFillArc(c.dc, CRect(3, 3, 1, 1), RGB(0, 0, 0), false, false);
  hxFillArc(c.dc, CRect(0, 0, 0, 4), RGB(0, 0, 0), false, false);
  EXPECT_EQ(c.At(2, 2), RGB(255, 255, 255));
}

TEST_F(Helpers, FileSizesInTheirThreeBands) {
  EXPECT_EQ(hxFileSizeString(0), L"0 B");
  EXPECT_EQ(hxFileSizeString(1023), L"1023 B");
  EXPECT_EQ(hxFileSizeString(1024), L"1 KB");
  EXPECT_EQ(hxFileSizeString(1048575), L"1023 KB");
  EXPECT_EQ(hxFileSizeString(1048576), L"1,00 MB");
  EXPECT_EQ(hxFileSizeString(1572864), L"1,50 MB");
  EXPECT_EQ(hxFileSizeString(4294967295u), L"4\u00a0096,00 MB");
}

TEST_F(Helpers, TheBodyOfAnHtmlText) {
  EXPECT_EQ(GetBodyFromHTML(L"<html><BODY>treść</Body></html>"), _bstr_t(L"treść"));
  EXPECT_EQ(GetBodyFromHTML(L"<body></body>"), _bstr_t(L""));
  const _bstr_t attributes(L"<body class=\"x\">a</body>");
  EXPECT_EQ(GetBodyFromHTML(attributes), attributes);
  const _bstr_t reversed(L"</body>a<body>");
  EXPECT_EQ(GetBodyFromHTML(reversed), reversed);
  const _bstr_t open(L"<body>a");
  EXPECT_EQ(GetBodyFromHTML(open), open);
  EXPECT_EQ(GetBodyFromHTML(_bstr_t()), _bstr_t());
}

TEST_F(Helpers, StreamsOverEmptyBlocks) {
  IStreamPtr empty = GetEmptyStream();
  ASSERT_TRUE(empty);
  char byte = 0;
  ULONG read = 7;
  EXPECT_TRUE(SUCCEEDED(empty->Read(&byte, 1, &read)));
  EXPECT_EQ(read, 0u);
  EXPECT_FALSE(hxStreamFromResource(nullptr, L"NONE", RT_HTML));
}

TEST_F(Helpers, TheStandardQuestionsAnswerNoUnlessYesIsPressed) {
  EXPECT_FALSE(hxNaPewnoUsunac());
  platform::gui::QueueMessageBoxAnswer(IDYES);
  EXPECT_TRUE(hxNaPewnoUsunac());
  EXPECT_FALSE(hxNaPewno(L"zamknąć konto"));
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, L"Czy na pewno usunąć wybraną pozycję?");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(0x134));
  EXPECT_EQ(boxes[2].text, L"Czy na pewno zamknąć konto?");
  EXPECT_EQ(hxIntMessageBox(L"Wysłano %d aukcji.", 12), IDOK);
  EXPECT_EQ(platform::gui::MessageBoxes().back().text, L"Wysłano 12 aukcji.");
  EXPECT_EQ(platform::gui::MessageBoxes().back().type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(hxMessageWithLong(L"Konto %ld", -5), L"Konto -5");
}

}  // namespace
