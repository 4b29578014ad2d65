#include "shared/controls/hxdrawplus.h"

#include <algorithm>
#include <memory>

namespace {

enum Corner { kTopLeft = 1, kTopRight = 2, kBottomRight = 4, kBottomLeft = 8 };

void FillRounded(Gdiplus::Graphics& graphics, COLORREF color, int x, int y, int width, int height, int radius,
                 int alpha, int corners) {
  if (width <= 0 || height <= 0) return;
  const int d = radius > 0 ? std::min(2 * radius, std::min(width, height)) : 0;
  if (d == 0) corners = 0;
  Gdiplus::GraphicsPath path;
  const int right = x + width, bottom = y + height;
  if (corners & kTopLeft) path.AddArc(x, y, d, d, 180.0f, 90.0f);
  else path.AddLine(x, y, x, y);
  if (corners & kTopRight) path.AddArc(right - d, y, d, d, 270.0f, 90.0f);
  else path.AddLine(right, y, right, y);
  if (corners & kBottomRight) path.AddArc(right - d, bottom - d, d, d, 0.0f, 90.0f);
  else path.AddLine(right, bottom, right, bottom);
  if (corners & kBottomLeft) path.AddArc(x, bottom - d, d, d, 90.0f, 90.0f);
  else path.AddLine(x, bottom, x, bottom);
  path.CloseFigure();
  const BYTE a = static_cast<BYTE>(std::clamp(alpha, 0, 255));
  Gdiplus::SolidBrush brush(Gdiplus::Color(a, GetRValue(color), GetGValue(color), GetBValue(color)));
  graphics.FillPath(&brush, &path);
}

// The font of the shared rule: the face, else the generic sans-serif family.
std::unique_ptr<Gdiplus::Font> FontOf(int points, bool bold, bool underline, const wchar_t* face) {
  const INT style = (bold ? Gdiplus::FontStyleBold : 0) | (underline ? Gdiplus::FontStyleUnderline : 0);
  Gdiplus::FontFamily family(face ? face : L"Trebuchet MS");
  if (family.GetLastStatus() == Gdiplus::Ok) {
    auto font = std::make_unique<Gdiplus::Font>(&family, static_cast<Gdiplus::REAL>(points), style, Gdiplus::UnitPoint);
    if (font->GetLastStatus() == Gdiplus::Ok) return font;
  }
  return std::make_unique<Gdiplus::Font>(Gdiplus::FontFamily::GenericSansSerif(), static_cast<Gdiplus::REAL>(points),
                                         style, Gdiplus::UnitPoint);
}

}  // namespace

void hxDrawRoundRect(Gdiplus::Graphics& g, COLORREF color, int x, int y, int width, int height, int radius, int alpha) {
  FillRounded(g, color, x, y, width, height, radius, alpha, kTopLeft | kTopRight | kBottomRight | kBottomLeft);
}

void hxDrawDownRoundRect(Gdiplus::Graphics& g, COLORREF color, int x, int y, int width, int height, int radius,
                         int alpha) {
  FillRounded(g, color, x, y, width, height, radius, alpha, kBottomRight | kBottomLeft);
}

void hxDrawLeftRoundRect(Gdiplus::Graphics& g, COLORREF color, int x, int y, int width, int height, int radius,
                         int alpha) {
  FillRounded(g, color, x, y, width, height, radius, alpha, kTopLeft | kBottomLeft);
}

void hxDrawLeftUpRoundRect(Gdiplus::Graphics& g, COLORREF color, int x, int y, int width, int height, int radius,
                           int alpha) {
  FillRounded(g, color, x, y, width, height, radius, alpha, kBottomLeft);
}

void hxDrawRightRoundRect(Gdiplus::Graphics& g, COLORREF color, int x, int y, int width, int height, int radius,
                          int alpha) {
  FillRounded(g, color, x, y, width, height, radius, alpha, kTopRight | kBottomRight);
}

void hxDrawText(CDC& dc, const wchar_t* text, const CRect& rect, int points, UINT format, COLORREF color, bool bold,
                bool underline, const wchar_t* face) {
  if (!text || !dc.m_hDC) return;
  Gdiplus::Graphics graphics(dc.m_hDC);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  const std::unique_ptr<Gdiplus::Font> font = FontOf(points, bold, underline, face);
  Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(color), GetGValue(color), GetBValue(color)));
  Gdiplus::StringFormat format2;
  format2.SetAlignment((format & DT_RIGHT)    ? Gdiplus::StringAlignmentFar
                       : (format & DT_CENTER) ? Gdiplus::StringAlignmentCenter
                                              : Gdiplus::StringAlignmentNear);
  format2.SetLineAlignment((format & DT_BOTTOM)    ? Gdiplus::StringAlignmentFar
                           : (format & DT_VCENTER) ? Gdiplus::StringAlignmentCenter
                                                   : Gdiplus::StringAlignmentNear);
  const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                              static_cast<Gdiplus::REAL>(rect.Width()), static_cast<Gdiplus::REAL>(rect.Height()));
  graphics.DrawString(text, -1, font.get(), layout, &format2, &brush);
}

CSize hxTextExtent(CDC& dc, const wchar_t* text, int points, bool bold, bool underline, const wchar_t* face) {
  if (!text) return CSize();
  Gdiplus::Graphics graphics(dc.m_hDC);
  const std::unique_ptr<Gdiplus::Font> font = FontOf(points, bold, underline, face);
  Gdiplus::RectF bounds;
  if (graphics.MeasureString(text, -1, font.get(), Gdiplus::RectF(), nullptr, &bounds) != Gdiplus::Ok) return CSize();
  return CSize(static_cast<int>(bounds.Width), static_cast<int>(bounds.Height));
}
