// The product's drawing helpers: device-context scopes, gradients, bars, corners and arcs.
#include "platform/gui/gdiplus.h"
#include "shared/hxhelpers.h"

namespace {

TRIVERTEX Vertex(LONG x, LONG y, COLORREF c) {
  return TRIVERTEX{x, y, static_cast<COLOR16>(GetRValue(c) << 8), static_cast<COLOR16>(GetGValue(c) << 8),
                   static_cast<COLOR16>(GetBValue(c) << 8), 0};
}

}  // namespace

CObjectDC::CObjectDC(HDC dc, HGDIOBJ object) : m_dc(dc) {
  if (object) m_previous = SelectObject(dc, object);
}

void CObjectDC::Detach() {
  if (m_previous) SelectObject(m_dc, m_previous);
  m_previous = nullptr;
}

void CBkModeDC::Detach() {
  if (m_previous) SetBkMode(m_dc, m_previous);
  m_previous = 0;
}

void CTextColorDC::Detach() {
  if (m_previous != CLR_INVALID) SetTextColor(m_dc, m_previous);
  m_previous = CLR_INVALID;
}

void hxFillGradientRect(HDC dc, RECT* rect, COLORREF from, COLORREF to, DWORD mode) {
  if (!rect) return;
  TRIVERTEX v[2] = {Vertex(rect->left, rect->top, from), Vertex(rect->right, rect->bottom, to)};
  GRADIENT_RECT mesh{0, 1};
  GradientFill(dc, v, 2, &mesh, 1, mode);
}

void hxFillGradientRectHorz(HDC dc, const CRect& rect, COLORREF from, COLORREF to) {
  const LONG middle = (rect.top + rect.bottom) / 2;
  RECT upper{rect.left, rect.top, rect.right, middle};
  RECT lower{rect.left, middle, rect.right, rect.bottom};
  hxFillGradientRect(dc, &upper, from, to, GRADIENT_FILL_RECT_V);
  hxFillGradientRect(dc, &lower, to, from, GRADIENT_FILL_RECT_V);
}

void hxFillGradientRectVert(HDC dc, const CRect& rect, COLORREF from, COLORREF to) {
  const LONG middle = (rect.left + rect.right) / 2;
  RECT left{rect.left, rect.top, middle, rect.bottom};
  RECT right{middle, rect.top, rect.right, rect.bottom};
  hxFillGradientRect(dc, &left, from, to, GRADIENT_FILL_RECT_H);
  hxFillGradientRect(dc, &right, to, from, GRADIENT_FILL_RECT_H);
}

void hxFillGradientTriangle(HDC dc, CPoint a, CPoint b, CPoint c, COLORREF ca, COLORREF cb, COLORREF cc) {
  TRIVERTEX v[3] = {Vertex(a.x, a.y, ca), Vertex(b.x, b.y, cb), Vertex(c.x, c.y, cc)};
  GRADIENT_TRIANGLE mesh{0, 1, 2};
  GradientFill(dc, v, 3, &mesh, 1, GRADIENT_FILL_TRIANGLE);
}

void hxDrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 0, color);
  {
    CObjectDC selected(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
  }
  DeleteObject(pen);
}

COLORREF hxLuminance(COLORREF color) {
  const int grey = (GetGValue(color) * 59 + GetBValue(color) * 11 + GetRValue(color) * 30) / 100;
  return RGB(grey, grey, grey);
}

COLORREF hxBlendColor(COLORREF a, COLORREF b, int percentB) {
  auto mix = [percentB](int x, int y) { return static_cast<BYTE>((x * (100 - percentB) + y * percentB) / 100); };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void hxDrawBar(HDC dc, RECT* rect, bool grey, COLORREF c1, COLORREF c2, COLORREF c3, COLORREF c4, COLORREF c5,
               COLORREF c6, COLORREF c7, COLORREF c8, COLORREF c9) {
  if (!rect) return;
  const LONG w = rect->right - rect->left + 1;
  const LONG h = rect->bottom - rect->top;
  if (w <= 0 || h <= 0) return;
  if (grey) {
    c1 = hxLuminance(c1);
    c2 = hxLuminance(c2);
  }
  // Each band only where it has rows: a bar lower than its bands draws what fits.
  auto band = [&](LONG top, LONG bottom, COLORREF from, COLORREF to) {
    if (bottom <= top) return;
    RECT r{0, top, w, bottom};
    hxFillGradientRect(dc, &r, from, to, GRADIENT_FILL_RECT_V);
  };
  band(0, 4, c1, c2);
  band(4, 8, c3, c4);
  band(8, h - 2, c5, c6);
  hxDrawLine(dc, 0, h - 2, w, h - 2, c7);
  hxDrawLine(dc, 0, h - 1, w, h - 1, c8);
  hxDrawLine(dc, 0, h, w, h, c9);
}

void fxDrawRoundCorner(CDC& dc, COLORREF a, int x, int y, int dx, int dy) {
  const COLORREF w = GetSysColor(COLOR_WINDOW);
  const COLORREF f = hxBlendColor(a, w, 50);
  auto af = [&](int p) { return hxBlendColor(a, f, p); };
  auto fw = [&](int p) { return hxBlendColor(f, w, p); };
  const COLORREF rows[5][5] = {
      {af(80), fw(75), w, w, w},
      {af(60), fw(25), w, w, w},
      {a, af(40), fw(50), w, w},
      {a, af(20), af(40), fw(25), fw(75)},
      {a, a, a, af(60), af(80)},
  };
  for (int r = 0; r < 5; ++r)
    for (int k = 0; k < 5; ++k) dc.SetPixel(x + k * dx, y + r * dy, rows[r][k]);
}

void hxFillArc(CDC& dc, const CRect& rect, COLORREF color, bool right, bool bottom) {
  const int w = rect.Width(), h = rect.Height();
  if (w <= 0 || h <= 0 || !dc.m_hDC) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(&dc)) return;
  CBitmap bitmap;
  if (!bitmap.CreateCompatibleBitmap(&dc, w, h)) return;
  CBitmap* old = memory.SelectObject(&bitmap);
  memory.BitBlt(0, 0, w, h, &dc, rect.left, rect.top, SRCCOPY);
  {
    Gdiplus::Graphics graphics(memory.m_hDC);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(color), GetGValue(color), GetBValue(color)));
    graphics.FillEllipse(&brush, right ? -w : 0, bottom ? -h : 0, 2 * w, 2 * h);
  }
  dc.BitBlt(rect.left, rect.top, w, h, &memory, 0, 0, SRCCOPY);
  memory.SelectObject(old);
}
