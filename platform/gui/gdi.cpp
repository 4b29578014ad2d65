// GDI over cairo image surfaces: objects, device contexts and the pixel-exact primitives.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "platform/gui/internal.h"

namespace platform::gui::detail {

DWORD ToRgb(COLORREF c) { return (static_cast<DWORD>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
COLORREF FromRgb(DWORD v) { return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); }

COLORREF ReadPixel(Surface& s, int x, int y) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return CLR_INVALID;
  cairo_surface_flush(s.cairo);
  return FromRgb(s.Row(y)[x] & 0xFFFFFF);
}

void WritePixel(Surface& s, int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  cairo_surface_flush(s.cairo);
  s.Row(y)[x] = ToRgb(color);
  cairo_surface_mark_dirty(s.cairo);
}

namespace {

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

RECT SurfaceBounds(Surface& s) { return RECT{0, 0, s.width, s.height}; }

}  // namespace

void FillSurfaceRect(Surface& s, RECT r, COLORREF color, const RECT& clip) {
  r = Intersect(Intersect(r, clip), SurfaceBounds(s));
  if (r.right <= r.left || r.bottom <= r.top) return;
  cairo_surface_flush(s.cairo);
  const DWORD v = ToRgb(color);
  for (LONG y = r.top; y < r.bottom; ++y) {
    DWORD* row = s.Row(y);
    for (LONG x = r.left; x < r.right; ++x) row[x] = v;
  }
  cairo_surface_mark_dirty(s.cairo);
}

RECT DeviceClip(const Dc& dc) { return dc.state.clip; }

RECT ClipOn(const RECT& clip, const Surface& s) { return Intersect(clip, RECT{0, 0, s.width, s.height}); }

POINT ToDevice(const Dc& dc, int x, int y) {
  return POINT{x + dc.origin.x + dc.state.viewport.x, y + dc.origin.y + dc.state.viewport.y};
}

namespace {

// --- system colours and stock objects

const DWORD kSysColors[31] = {
    RGB(200, 200, 200),  // scroll bar
    RGB(58, 110, 165),   // desktop
    RGB(10, 36, 106),    // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(212, 208, 200),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(212, 208, 200),  // active border
    RGB(212, 208, 200),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(10, 36, 106),    // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(212, 208, 200),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(212, 208, 200),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(64, 64, 64),     // 3D dark shadow
    RGB(212, 208, 200),  // 3D light
    RGB(0, 0, 0),        // tooltip text
    RGB(255, 255, 225),  // tooltip background
    RGB(181, 181, 181),  // (unused)
    RGB(0, 0, 128),      // hot-tracked item
    RGB(166, 202, 240),  // active caption gradient
    RGB(192, 192, 192),  // inactive caption gradient
    RGB(49, 106, 197),   // menu highlight
    RGB(212, 208, 200),  // menu bar
};

struct Stock {
  HGDIOBJ objects[20]{};
  HBRUSH sysBrushes[31]{};
  HBITMAP defaultBitmap = nullptr;
};

template <class T>
T* MakeStock() {
  T* o = new T;
  o->stock = true;
  Register(o);
  return o;
}

HGDIOBJ StockBrushOf(COLORREF c, UINT style = BS_SOLID) {
  Brush* b = MakeStock<Brush>();
  b->color = c;
  b->style = style;
  return ToHandle<HGDIOBJ>(b->handle);
}

HGDIOBJ StockPenOf(COLORREF c, int style = PS_SOLID) {
  Pen* p = MakeStock<Pen>();
  p->color = c;
  p->style = style;
  return ToHandle<HGDIOBJ>(p->handle);
}

HGDIOBJ StockFontOf(const wchar_t* face, LONG height, LONG weight, BYTE pitch) {
  Font* f = MakeStock<Font>();
  f->lf.lfHeight = height;
  f->lf.lfWeight = weight;
  f->lf.lfCharSet = DEFAULT_CHARSET;
  f->lf.lfPitchAndFamily = pitch;
  std::wcsncpy(f->lf.lfFaceName, face, LF_FACESIZE - 1);
  return ToHandle<HGDIOBJ>(f->handle);
}

Stock& TheStock() {
  static Stock* stock = [] {
    auto* s = new Stock;
    s->objects[WHITE_BRUSH] = StockBrushOf(RGB(255, 255, 255));
    s->objects[LTGRAY_BRUSH] = StockBrushOf(RGB(192, 192, 192));
    s->objects[GRAY_BRUSH] = StockBrushOf(RGB(128, 128, 128));
    s->objects[DKGRAY_BRUSH] = StockBrushOf(RGB(64, 64, 64));
    s->objects[BLACK_BRUSH] = StockBrushOf(RGB(0, 0, 0));
    s->objects[NULL_BRUSH] = StockBrushOf(0, BS_NULL);
    s->objects[WHITE_PEN] = StockPenOf(RGB(255, 255, 255));
    s->objects[BLACK_PEN] = StockPenOf(RGB(0, 0, 0));
    s->objects[NULL_PEN] = StockPenOf(0, PS_NULL);
    s->objects[OEM_FIXED_FONT] = StockFontOf(L"Courier", 13, FW_NORMAL, FIXED_PITCH | FF_MODERN);
    s->objects[ANSI_FIXED_FONT] = s->objects[OEM_FIXED_FONT];
    s->objects[SYSTEM_FIXED_FONT] = s->objects[OEM_FIXED_FONT];
    s->objects[ANSI_VAR_FONT] = StockFontOf(L"MS Sans Serif", 13, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
    s->objects[SYSTEM_FONT] = StockFontOf(L"System", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS);
    s->objects[DEVICE_DEFAULT_FONT] = s->objects[SYSTEM_FONT];
    s->objects[DEFAULT_GUI_FONT] = StockFontOf(L"MS Shell Dlg", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
    s->objects[DC_BRUSH] = StockBrushOf(RGB(255, 255, 255));
    s->objects[DC_PEN] = StockPenOf(RGB(0, 0, 0));
    for (int i = 0; i < 31; ++i) s->sysBrushes[i] = static_cast<HBRUSH>(StockBrushOf(kSysColors[i]));
    Bitmap* b = MakeStock<Bitmap>();
    b->surface = std::make_unique<Surface>(1, 1, 0);
    b->bitsPerPixel = 1;
    s->defaultBitmap = ToHandle<HBITMAP>(b->handle);
    return s;
  }();
  return *stock;
}

// A brush handle may also be a system colour index plus 1, as class backgrounds give it.
bool BrushColor(HBRUSH brush, const Dc* dc, COLORREF& color) {
  const UINT_PTR v = reinterpret_cast<UINT_PTR>(brush);
  if (v >= 1 && v <= 31) {
    color = kSysColors[v - 1];
    return true;
  }
  Brush* b = FindBrush(brush);
  if (!b || b->style == BS_NULL) return false;
  color = (dc && brush == static_cast<HBRUSH>(TheStock().objects[DC_BRUSH])) ? dc->state.dcBrushColor : b->color;
  return true;
}

bool PenOf(const Dc& dc, COLORREF& color, int& width) {
  Pen* p = FindPen(dc.state.pen);
  if (!p || p->style == PS_NULL) return false;
  color = dc.state.pen == TheStock().objects[DC_PEN] ? dc.state.dcPenColor : p->color;
  width = p->width;
  return true;
}

Surface* TargetOf(HDC h, Dc** out = nullptr) {
  Dc* dc = FindDc(h);
  if (out) *out = dc;
  return dc ? dc->Target() : nullptr;
}

// One pixel through the DC's clip.
void Plot(Dc& dc, Surface& s, int dx, int dy, DWORD rgb) {
  const RECT& c = dc.state.clip;
  if (dx < c.left || dy < c.top || dx >= c.right || dy >= c.bottom) return;
  if (dx < 0 || dy < 0 || dx >= s.width || dy >= s.height) return;
  s.Row(dy)[dx] = rgb;
}

// A line of one pixel without its last pixel (Bresenham), in device coordinates.
void ThinLine(Dc& dc, Surface& s, POINT a, POINT b, COLORREF color) {
  const DWORD rgb = ToRgb(color);
  int x = a.x, y = a.y;
  const int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  cairo_surface_flush(s.cairo);
  while (x != b.x || y != b.y) {
    Plot(dc, s, x, y, rgb);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  cairo_surface_mark_dirty(s.cairo);
}

cairo_t* CairoFor(Dc& dc, Surface& s) {
  cairo_t* cr = cairo_create(s.cairo);
  const RECT c = ClipOn(dc.state.clip, s);
  cairo_rectangle(cr, c.left, c.top, std::max<LONG>(0, c.right - c.left), std::max<LONG>(0, c.bottom - c.top));
  cairo_clip(cr);
  cairo_translate(cr, dc.origin.x + dc.state.viewport.x, dc.origin.y + dc.state.viewport.y);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  return cr;
}

void SetSource(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void FinishCairo(cairo_t* cr, Surface& s) {
  cairo_destroy(cr);
  cairo_surface_flush(s.cairo);
}

void Line(Dc& dc, Surface& s, int x1, int y1, int x2, int y2) {
  COLORREF color;
  int width;
  if (!PenOf(dc, color, width)) return;
  if (width <= 1) {
    ThinLine(dc, s, ToDevice(dc, x1, y1), ToDevice(dc, x2, y2), color);
    return;
  }
  cairo_t* cr = CairoFor(dc, s);
  SetSource(cr, color);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
  cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
  cairo_stroke(cr);
  FinishCairo(cr, s);
}

RECT Normalized(int l, int t, int r, int b) { return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)}; }

RECT ToDeviceRect(const Dc& dc, const RECT& r) {
  POINT a = ToDevice(dc, r.left, r.top), b = ToDevice(dc, r.right, r.bottom);
  return RECT{a.x, a.y, b.x, b.y};
}

void FillDeviceRect(Dc& dc, Surface& s, const RECT& logical, COLORREF c) {
  FillSurfaceRect(s, ToDeviceRect(dc, logical), c, dc.state.clip);
}

DcState& StateOf(HDC h) {
  static DcState none;
  Dc* dc = FindDc(h);
  return dc ? dc->state : none;
}

int Channel16(int c0, int c1, LONGLONG i, LONGLONG n) {
  if (n <= 1) return c0;
  return static_cast<int>(c0 + (static_cast<LONGLONG>(c1) - c0) * i / (n - 1));
}

COLORREF VertexColor(int r, int g, int b) { return RGB((r >> 8) & 0xFF, (g >> 8) & 0xFF, (b >> 8) & 0xFF); }

void GradientRect(Dc& dc, Surface& s, const TRIVERTEX& a, const TRIVERTEX& b, bool vertical) {
  const POINT pa = ToDevice(dc, a.x, a.y), pb = ToDevice(dc, b.x, b.y);
  const LONG along0 = vertical ? pa.y : pa.x, along1 = vertical ? pb.y : pb.x;
  const LONG across0 = std::min(vertical ? pa.x : pa.y, vertical ? pb.x : pb.y);
  const LONG across1 = std::max(vertical ? pa.x : pa.y, vertical ? pb.x : pb.y);
  const LONGLONG n = std::abs(static_cast<LONGLONG>(along1) - along0);
  if (n == 0 || across1 <= across0) return;
  const RECT& clip = dc.state.clip;
  cairo_surface_flush(s.cairo);
  for (LONGLONG i = 0; i < n; ++i) {
    const LONG pos = along0 <= along1 ? static_cast<LONG>(along0 + i) : static_cast<LONG>(along0 - 1 - i);
    const COLORREF c = VertexColor(Channel16(a.Red, b.Red, i, n), Channel16(a.Green, b.Green, i, n),
                                   Channel16(a.Blue, b.Blue, i, n));
    const DWORD rgb = ToRgb(c);
    for (LONG q = across0; q < across1; ++q) {
      const int x = vertical ? q : pos, y = vertical ? pos : q;
      if (x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom) continue;
      if (x < 0 || y < 0 || x >= s.width || y >= s.height) continue;
      s.Row(y)[x] = rgb;
    }
  }
  cairo_surface_mark_dirty(s.cairo);
}

LONGLONG Edge(POINT a, POINT b, POINT p) {
  return static_cast<LONGLONG>(b.x - a.x) * (p.y - a.y) - static_cast<LONGLONG>(b.y - a.y) * (p.x - a.x);
}

void GradientTriangle(Dc& dc, Surface& s, const TRIVERTEX& v0, const TRIVERTEX& v1, const TRIVERTEX& v2) {
  const POINT p0 = ToDevice(dc, v0.x, v0.y), p1 = ToDevice(dc, v1.x, v1.y), p2 = ToDevice(dc, v2.x, v2.y);
  const LONGLONG area = Edge(p0, p1, p2);
  if (area == 0) return;
  RECT box{std::min({p0.x, p1.x, p2.x}), std::min({p0.y, p1.y, p2.y}), std::max({p0.x, p1.x, p2.x}) + 1,
           std::max({p0.y, p1.y, p2.y}) + 1};
  box = Intersect(Intersect(box, dc.state.clip), SurfaceBounds(s));
  cairo_surface_flush(s.cairo);
  for (LONG y = box.top; y < box.bottom; ++y)
    for (LONG x = box.left; x < box.right; ++x) {
      const POINT p{x, y};
      LONGLONG w0 = Edge(p1, p2, p), w1 = Edge(p2, p0, p), w2 = Edge(p0, p1, p);
      if (area < 0) w0 = -w0, w1 = -w1, w2 = -w2;
      if (w0 < 0 || w1 < 0 || w2 < 0) continue;
      const LONGLONG a = area < 0 ? -area : area;
      auto mix = [&](int c0, int c1, int c2) { return static_cast<int>((w0 * c0 + w1 * c1 + w2 * c2) / a); };
      s.Row(y)[x] = ToRgb(VertexColor(mix(v0.Red, v1.Red, v2.Red), mix(v0.Green, v1.Green, v2.Green),
                                      mix(v0.Blue, v1.Blue, v2.Blue)));
    }
  cairo_surface_mark_dirty(s.cairo);
}

bool SelectedAnywhere(HGDIOBJ object) {
  for (DWORD h : LiveHandles(Kind::Dc)) {
    Dc* dc = FindDc(ToHandle<HDC>(h));
    if (!dc) continue;
    const DcState& st = dc->state;
    if (st.pen == object || st.brush == object || st.font == object || st.bitmap == object) return true;
  }
  return false;
}

DWORD RopPixel(DWORD rop, DWORD dst, DWORD src, DWORD pattern) {
  switch (rop) {
    case SRCCOPY: return src;
    case SRCPAINT: return dst | src;
    case SRCAND: return dst & src;
    case SRCINVERT: return dst ^ src;
    case NOTSRCCOPY: return ~src & 0xFFFFFF;
    case PATCOPY: return pattern;
    case PATINVERT: return dst ^ pattern;
    case DSTINVERT: return ~dst & 0xFFFFFF;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFF;
    default: return src;
  }
}

bool UsesSource(DWORD rop) { return rop == SRCCOPY || rop == SRCPAINT || rop == SRCAND || rop == SRCINVERT || rop == NOTSRCCOPY; }

}  // namespace

HBRUSH StockBrush(int index) { return static_cast<HBRUSH>(GetStockObject(index)); }

HDC MakeWindowDc(Window* w, bool client) {
  auto* dc = new Dc;
  dc->window = ToHandle<HWND>(w->handle);
  const POINT o = SurfaceOrigin(w);
  RECT area{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
  if (client) {
    const RECT c = ClientRectInWindow(*w);
    area = RECT{o.x + c.left, o.y + c.top, o.x + c.right, o.y + c.bottom};
  }
  // A child draws only inside the client areas of its parents.
  for (Window* p = w->parent ? FindWindow(w->parent) : nullptr; p; p = p->parent ? FindWindow(p->parent) : nullptr) {
    const POINT po = SurfaceOrigin(p);
    const RECT c = ClientRectInWindow(*p);
    area = Intersect(area, RECT{po.x + c.left, po.y + c.top, po.x + c.right, po.y + c.bottom});
  }
  if (client) {
    const RECT c = ClientRectInWindow(*w);
    dc->origin = POINT{o.x + c.left, o.y + c.top};
  } else {
    dc->origin = o;
  }
  dc->bounds = area;
  dc->state.clip = area;
  dc->state.pen = GetStockObject(BLACK_PEN);
  dc->state.brush = GetStockObject(WHITE_BRUSH);
  dc->state.font = w->font ? static_cast<HGDIOBJ>(w->font) : GetStockObject(SYSTEM_FONT);
  Register(dc);
  return ToHandle<HDC>(dc->handle);
}

void FreeDc(HDC h) {
  if (FindDc(h)) Retire(FromHandle(h));
}

void ResetGdi() {
  for (Kind k : {Kind::Dc, Kind::Pen, Kind::Brush, Kind::Font, Kind::Bitmap, Kind::Region})
    for (DWORD h : LiveHandles(k)) Retire(h);
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

// --- rectangles

BOOL SetRect(LPRECT r, int l, int t, int rr, int b) {
  if (!r) return FALSE;
  *r = RECT{l, t, rr, b};
  return TRUE;
}
BOOL SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(LPRECT d, const RECT* s) {
  if (!d || !s) return FALSE;
  *d = *s;
  return TRUE;
}
BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
BOOL OffsetRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
  return TRUE;
}
BOOL InflateRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  r->left -= dx, r->right += dx, r->top -= dy, r->bottom += dy;
  return TRUE;
}
BOOL IntersectRect(LPRECT d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (r.right <= r.left || r.bottom <= r.top) {
    *d = RECT{};
    return FALSE;
  }
  *d = r;
  return TRUE;
}
BOOL UnionRect(LPRECT d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return FALSE;
  if (IsRectEmpty(a)) return CopyRect(d, b) && !IsRectEmpty(b);
  if (IsRectEmpty(b)) return CopyRect(d, a);
  *d = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
            std::max(a->bottom, b->bottom)};
  return TRUE;
}
BOOL PtInRect(const RECT* r, POINT p) { return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom; }
int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const LONGLONG product = static_cast<LONGLONG>(number) * numerator;
  LONGLONG q = product / denominator, rem = product % denominator;
  // Rounds half away from zero.
  if (std::llabs(rem) * 2 >= std::llabs(static_cast<LONGLONG>(denominator)))
    q += ((product < 0) != (denominator < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int>(q);
}

// --- colours and objects

DWORD GetSysColor(int index) { return index >= 0 && index < 31 ? kSysColors[index] : 0; }
HBRUSH GetSysColorBrush(int index) { return index >= 0 && index < 31 ? TheStock().sysBrushes[index] : nullptr; }

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= 20) return nullptr;
  return TheStock().objects[index];
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new Pen;
  p->style = style;
  p->width = width < 0 ? 0 : width;
  p->color = color & 0xFFFFFF;
  Register(p);
  return ToHandle<HPEN>(p->handle);
}
HPEN CreatePenIndirect(const LOGPEN* lp) {
  return lp ? CreatePen(static_cast<int>(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor) : nullptr;
}
HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new Brush;
  b->color = color & 0xFFFFFF;
  Register(b);
  return ToHandle<HBRUSH>(b->handle);
}
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  auto* b = new Brush;
  b->style = lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID;
  b->color = lb->lbColor & 0xFFFFFF;
  Register(b);
  return ToHandle<HBRUSH>(b->handle);
}
HFONT CreateFontIndirectW(const LOGFONTW* lf) {
  if (!lf) return nullptr;
  auto* f = new Font;
  f->lf = *lf;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  Register(f);
  return ToHandle<HFONT>(f->handle);
}
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR face) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (face) std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  auto* b = new Bitmap;
  if (width <= 0 || height <= 0) {
    b->surface = std::make_unique<Surface>(1, 1, 0);
    b->bitsPerPixel = 1;
  } else {
    if (static_cast<LONGLONG>(width) * height > 64LL * 1024 * 1024) {
      delete b;
      return nullptr;
    }
    b->surface = std::make_unique<Surface>(width, height, 0);
  }
  Register(b);
  return ToHandle<HBITMAP>(b->handle);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits) {
  HBITMAP h = CreateCompatibleBitmap(nullptr, width, height);
  Bitmap* b = FindBitmap(h);
  if (!b) return nullptr;
  if (bits && bitsPerPixel == 32 && width > 0 && height > 0) {
    const auto* src = static_cast<const DWORD*>(bits);
    cairo_surface_flush(b->surface->cairo);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) b->surface->Row(y)[x] = src[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    cairo_surface_mark_dirty(b->surface->cairo);
  }
  return h;
}

BOOL DeleteObject(HGDIOBJ object) {
  Object* o = Find(FromHandle(object));
  if (!o || o->kind == Kind::Window || o->kind == Kind::Dc || o->kind == Kind::Menu) return FALSE;
  if (o->stock) return TRUE;
  if (SelectedAnywhere(object)) return FALSE;
  Retire(o->handle);
  return TRUE;
}

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  Object* o = Find(FromHandle(object));
  if (!o) return 0;
  auto give = [&](const void* data, int bytes) {
    if (!buffer) return bytes;
    const int n = std::min(bytes, size);
    if (n <= 0) return 0;
    std::memcpy(buffer, data, static_cast<size_t>(n));
    return n;
  };
  switch (o->kind) {
    case Kind::Pen: {
      auto* p = static_cast<Pen*>(o);
      LOGPEN lp{static_cast<UINT>(p->style), POINT{p->width, 0}, p->color};
      return give(&lp, sizeof lp);
    }
    case Kind::Brush: {
      auto* b = static_cast<Brush*>(o);
      LOGBRUSH lb{b->style, b->color, 0};
      return give(&lb, sizeof lb);
    }
    case Kind::Font: return give(&static_cast<Font*>(o)->lf, sizeof(LOGFONTW));
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      BITMAP bm{0, b->surface->width, b->surface->height, b->surface->width * 4, 1,
                static_cast<WORD>(b->bitsPerPixel), nullptr};
      return give(&bm, sizeof bm);
    }
    default: return 0;
  }
}

DWORD GetObjectType(HGDIOBJ object) {
  Object* o = Find(FromHandle(object));
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Region: return OBJ_REGION;
    case Kind::Dc: return static_cast<Dc*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
    default: return 0;
  }
}

// --- device contexts

HDC GetDC(HWND window) {
  if (!window) {
    auto* dc = new Dc;
    Surface& s = ScreenSurface();
    dc->bounds = dc->state.clip = RECT{0, 0, s.width, s.height};
    dc->state.pen = GetStockObject(BLACK_PEN);
    dc->state.brush = GetStockObject(WHITE_BRUSH);
    dc->state.font = GetStockObject(SYSTEM_FONT);
    Register(dc);
    return ToHandle<HDC>(dc->handle);
  }
  Window* w = FindWindow(window);
  return w ? MakeWindowDc(w, true) : nullptr;
}

HDC GetWindowDC(HWND window) {
  if (!window) return GetDC(nullptr);
  Window* w = FindWindow(window);
  return w ? MakeWindowDc(w, false) : nullptr;
}

int ReleaseDC(HWND, HDC dc) {
  Dc* d = FindDc(dc);
  if (!d || d->memory || d->fromPaint) return 0;
  FreeDc(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC) {
  auto* dc = new Dc;
  dc->memory = true;
  dc->state.bitmap = TheStock().defaultBitmap;
  dc->bounds = dc->state.clip = RECT{0, 0, 0x3FFFFFFF, 0x3FFFFFFF};
  dc->state.pen = GetStockObject(BLACK_PEN);
  dc->state.brush = GetStockObject(WHITE_BRUSH);
  dc->state.font = GetStockObject(SYSTEM_FONT);
  Register(dc);
  return ToHandle<HDC>(dc->handle);
}

BOOL DeleteDC(HDC h) {
  Dc* dc = FindDc(h);
  if (!dc) return FALSE;
  if (Bitmap* b = FindBitmap(dc->state.bitmap)) {
    if (b->selectedIn == h) b->selectedIn = nullptr;
  }
  Retire(dc->handle);
  return TRUE;
}

HGDIOBJ SelectObject(HDC h, HGDIOBJ object) {
  Dc* dc = FindDc(h);
  Object* o = Find(FromHandle(object));
  if (!dc || !o) return nullptr;
  HGDIOBJ previous = nullptr;
  switch (o->kind) {
    case Kind::Pen: previous = dc->state.pen, dc->state.pen = object; break;
    case Kind::Brush: previous = dc->state.brush, dc->state.brush = object; break;
    case Kind::Font: previous = dc->state.font, dc->state.font = object; break;
    case Kind::Bitmap: {
      auto* b = static_cast<Bitmap*>(o);
      if (!dc->memory) return nullptr;
      if (!b->stock && b->selectedIn && b->selectedIn != h) return nullptr;
      previous = dc->state.bitmap;
      if (Bitmap* old = FindBitmap(previous); old && old->selectedIn == h) old->selectedIn = nullptr;
      if (!b->stock) b->selectedIn = h;
      dc->state.bitmap = object;
      break;
    }
    default: return nullptr;
  }
  return previous;
}

HGDIOBJ GetCurrentObject(HDC h, UINT type) {
  Dc* dc = FindDc(h);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->state.pen;
    case OBJ_BRUSH: return dc->state.brush;
    case OBJ_FONT: return dc->state.font;
    case OBJ_BITMAP: return dc->state.bitmap;
    default: return nullptr;
  }
}

int SaveDC(HDC h) {
  Dc* dc = FindDc(h);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC h, int saved) {
  Dc* dc = FindDc(h);
  if (!dc || dc->saved.empty()) return FALSE;
  const int n = static_cast<int>(dc->saved.size());
  const int index = saved < 0 ? n + saved : saved - 1;
  if (index < 0 || index >= n) return FALSE;
  dc->state = dc->saved[static_cast<size_t>(index)];
  dc->saved.resize(static_cast<size_t>(index));
  return TRUE;
}

HWND WindowFromDC(HDC h) {
  Dc* dc = FindDc(h);
  return dc ? dc->window : nullptr;
}

int SetBkMode(HDC h, int mode) {
  Dc* dc = FindDc(h);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int previous = dc->state.bkMode;
  dc->state.bkMode = mode;
  return previous;
}
int GetBkMode(HDC h) { return FindDc(h) ? StateOf(h).bkMode : 0; }
namespace {
// Sets a colour of the DC's state and gives the previous one (CLR_INVALID for no DC).
COLORREF SwapColor(HDC h, COLORREF DcState::*field, COLORREF c) {
  Dc* dc = FindDc(h);
  if (!dc) return CLR_INVALID;
  const COLORREF previous = dc->state.*field;
  dc->state.*field = c & 0xFFFFFF;
  return previous;
}
}  // namespace

COLORREF SetBkColor(HDC h, COLORREF c) { return SwapColor(h, &DcState::bkColor, c); }
COLORREF GetBkColor(HDC h) { return FindDc(h) ? StateOf(h).bkColor : CLR_INVALID; }
COLORREF SetTextColor(HDC h, COLORREF c) { return SwapColor(h, &DcState::textColor, c); }
COLORREF GetTextColor(HDC h) { return FindDc(h) ? StateOf(h).textColor : CLR_INVALID; }
COLORREF SetDCBrushColor(HDC h, COLORREF c) { return SwapColor(h, &DcState::dcBrushColor, c); }
COLORREF SetDCPenColor(HDC h, COLORREF c) { return SwapColor(h, &DcState::dcPenColor, c); }
UINT SetTextAlign(HDC h, UINT align) {
  Dc* dc = FindDc(h);
  if (!dc) return 0xFFFFFFFF;
  const UINT previous = dc->state.textAlign;
  dc->state.textAlign = align;
  return previous;
}
UINT GetTextAlign(HDC h) { return FindDc(h) ? StateOf(h).textAlign : 0xFFFFFFFF; }

namespace {
// Sets a point of the DC's state, giving the previous one; reads it with a null `to`.
BOOL SwapPoint(HDC h, POINT DcState::*field, const POINT* to, LPPOINT previous) {
  Dc* dc = FindDc(h);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.*field;
  if (to) dc->state.*field = *to;
  return TRUE;
}
}  // namespace

BOOL SetViewportOrgEx(HDC h, int x, int y, LPPOINT previous) {
  const POINT to{x, y};
  return SwapPoint(h, &DcState::viewport, &to, previous);
}
BOOL GetViewportOrgEx(HDC h, LPPOINT origin) { return origin && SwapPoint(h, &DcState::viewport, nullptr, origin); }
BOOL OffsetViewportOrgEx(HDC h, int dx, int dy, LPPOINT previous) {
  Dc* dc = FindDc(h);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.viewport;
  dc->state.viewport.x += dx;
  dc->state.viewport.y += dy;
  return TRUE;
}
BOOL DPtoLP(HDC h, LPPOINT points, int count) {
  Dc* dc = FindDc(h);
  if (!dc || !points) return FALSE;
  for (int i = 0; i < count; ++i) points[i].x -= dc->state.viewport.x, points[i].y -= dc->state.viewport.y;
  return TRUE;
}
BOOL LPtoDP(HDC h, LPPOINT points, int count) {
  Dc* dc = FindDc(h);
  if (!dc || !points) return FALSE;
  for (int i = 0; i < count; ++i) points[i].x += dc->state.viewport.x, points[i].y += dc->state.viewport.y;
  return TRUE;
}

int IntersectClipRect(HDC h, int left, int top, int right, int bottom) {
  Dc* dc = FindDc(h);
  if (!dc) return RGN_ERROR;
  const RECT r = ToDeviceRect(*dc, Normalized(left, top, right, bottom));
  dc->state.clip = Intersect(dc->state.clip, r);
  return IsRectEmpty(&dc->state.clip) ? NULLREGION : SIMPLEREGION;
}

namespace {
int Complexity(const RECT& r) { return IsRectEmpty(&r) ? NULLREGION : SIMPLEREGION; }
}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto* region = new Region;
  region->rect = Normalized(left, top, right, bottom);
  Register(region);
  return ToHandle<HRGN>(region->handle);
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

BOOL SetRectRgn(HRGN h, int left, int top, int right, int bottom) {
  Region* region = FindRegion(h);
  if (!region) return FALSE;
  region->rect = Normalized(left, top, right, bottom);
  return TRUE;
}

int GetRgnBox(HRGN h, LPRECT rect) {
  Region* region = FindRegion(h);
  if (!region || !rect) return RGN_ERROR;
  *rect = region->rect;
  return Complexity(region->rect);
}

int OffsetRgn(HRGN h, int dx, int dy) {
  Region* region = FindRegion(h);
  if (!region) return RGN_ERROR;
  OffsetRect(&region->rect, dx, dy);
  return Complexity(region->rect);
}

int SelectClipRgn(HDC h, HRGN rgn) {
  Dc* dc = FindDc(h);
  if (!dc) return RGN_ERROR;
  if (!rgn) {
    dc->state.clip = dc->bounds;
    return SIMPLEREGION;
  }
  Region* region = FindRegion(rgn);
  if (!region) return RGN_ERROR;
  RECT r = region->rect;
  OffsetRect(&r, dc->origin.x, dc->origin.y);
  dc->state.clip = Intersect(dc->bounds, r);
  return Complexity(dc->state.clip);
}

int GetClipBox(HDC h, LPRECT rect) {
  Dc* dc = FindDc(h);
  if (!dc || !rect) return RGN_ERROR;
  const POINT o = ToDevice(*dc, 0, 0);
  RECT c = dc->state.clip;
  if (Surface* s = dc->Target()) c = Intersect(c, RECT{0, 0, s->width, s->height});
  *rect = RECT{c.left - o.x, c.top - o.y, c.right - o.x, c.bottom - o.y};
  return IsRectEmpty(rect) ? NULLREGION : SIMPLEREGION;
}

int GetDeviceCaps(HDC h, int index) {
  Dc* dc = FindDc(h);
  Surface* s = dc ? dc->Target() : nullptr;
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case HORZRES: return s ? s->width : 0;
    case VERTRES: return s ? s->height : 0;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case TECHNOLOGY: return DT_RASDISPLAY;
    default: return 0;
  }
}

// --- drawing

COLORREF SetPixel(HDC h, int x, int y, COLORREF color) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return CLR_INVALID;
  const POINT p = ToDevice(*dc, x, y);
  const RECT& c = dc->state.clip;
  if (p.x < c.left || p.y < c.top || p.x >= c.right || p.y >= c.bottom) return CLR_INVALID;
  if (p.x < 0 || p.y < 0 || p.x >= s->width || p.y >= s->height) return CLR_INVALID;
  WritePixel(*s, p.x, p.y, color);
  return color & 0xFFFFFF;
}
BOOL SetPixelV(HDC h, int x, int y, COLORREF color) { return SetPixel(h, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC h, int x, int y) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return CLR_INVALID;
  const POINT p = ToDevice(*dc, x, y);
  const RECT& c = dc->state.clip;
  if (p.x < c.left || p.y < c.top || p.x >= c.right || p.y >= c.bottom) return CLR_INVALID;
  return ReadPixel(*s, p.x, p.y);
}

BOOL MoveToEx(HDC h, int x, int y, LPPOINT previous) {
  const POINT to{x, y};
  return SwapPoint(h, &DcState::position, &to, previous);
}
BOOL GetCurrentPositionEx(HDC h, LPPOINT position) {
  return position && SwapPoint(h, &DcState::position, nullptr, position);
}

BOOL LineTo(HDC h, int x, int y) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  Line(*dc, *s, dc->state.position.x, dc->state.position.y, x, y);
  dc->state.position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC h, const POINT* points, int count) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s || !points || count < 2) return FALSE;
  for (int i = 1; i < count; ++i) Line(*dc, *s, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
  return TRUE;
}

BOOL Rectangle(HDC h, int left, int top, int right, int bottom) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  const RECT r = Normalized(left, top, right, bottom);
  COLORREF penColor, brushColor;
  int width;
  const bool pen = PenOf(*dc, penColor, width);
  if (!pen) {
    // Without a pen the filled area is one pixel smaller, as on the platform.
    if (BrushColor(static_cast<HBRUSH>(dc->state.brush), dc, brushColor))
      FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.right - 1, r.bottom - 1}, brushColor);
    return TRUE;
  }
  if (BrushColor(static_cast<HBRUSH>(dc->state.brush), dc, brushColor))
    FillDeviceRect(*dc, *s, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brushColor);
  if (r.right - r.left < 1 || r.bottom - r.top < 1) return TRUE;
  const int w = std::max(1, width);
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.right, r.top + w}, penColor);
  FillDeviceRect(*dc, *s, RECT{r.left, r.bottom - w, r.right, r.bottom}, penColor);
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.left + w, r.bottom}, penColor);
  FillDeviceRect(*dc, *s, RECT{r.right - w, r.top, r.right, r.bottom}, penColor);
  return TRUE;
}

namespace {

BOOL ShapeWithCairo(HDC h, const RECT& r, const std::function<void(cairo_t*, double)>& path) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  if (r.right - r.left < 1 || r.bottom - r.top < 1) return TRUE;
  COLORREF penColor, brushColor;
  int width;
  const bool pen = PenOf(*dc, penColor, width);
  const double w = pen ? std::max(1, width) : 0;
  cairo_t* cr = CairoFor(*dc, *s);
  if (BrushColor(static_cast<HBRUSH>(dc->state.brush), dc, brushColor)) {
    path(cr, w);
    SetSource(cr, brushColor);
    cairo_fill(cr);
  }
  if (pen) {
    path(cr, w);
    SetSource(cr, penColor);
    cairo_set_line_width(cr, w);
    cairo_stroke(cr);
  }
  FinishCairo(cr, *s);
  return TRUE;
}

}  // namespace

BOOL Ellipse(HDC h, int left, int top, int right, int bottom) {
  const RECT r = Normalized(left, top, right, bottom);
  return ShapeWithCairo(h, r, [r](cairo_t* cr, double w) {
    const double rx = (r.right - r.left - w) / 2.0, ry = (r.bottom - r.top - w) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
    cairo_scale(cr, rx, ry);
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
  });
}

BOOL RoundRect(HDC h, int left, int top, int right, int bottom, int cw, int ch) {
  const RECT r = Normalized(left, top, right, bottom);
  return ShapeWithCairo(h, r, [r, cw, ch](cairo_t* cr, double w) {
    const double x0 = r.left + w / 2, y0 = r.top + w / 2, x1 = r.right - w / 2, y1 = r.bottom - w / 2;
    const double rx = std::min(cw / 2.0, (x1 - x0) / 2), ry = std::min(ch / 2.0, (y1 - y0) / 2);
    cairo_new_path(cr);
    if (rx <= 0 || ry <= 0) {
      cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
      return;
    }
    auto corner = [&](double cx, double cy, double a0) {
      cairo_save(cr);
      cairo_translate(cr, cx, cy);
      cairo_scale(cr, rx, ry);
      cairo_arc(cr, 0, 0, 1, a0, a0 + M_PI / 2);
      cairo_restore(cr);
    };
    corner(x1 - rx, y0 + ry, -M_PI / 2);
    corner(x1 - rx, y1 - ry, 0);
    corner(x0 + rx, y1 - ry, M_PI / 2);
    corner(x0 + rx, y0 + ry, M_PI);
    cairo_close_path(cr);
  });
}

BOOL Polygon(HDC h, const POINT* points, int count) {
  if (!points || count < 2) return FALSE;
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  COLORREF brushColor;
  if (BrushColor(static_cast<HBRUSH>(dc->state.brush), dc, brushColor)) {
    cairo_t* cr = CairoFor(*dc, *s);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_move_to(cr, points[0].x, points[0].y);
    for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i].x, points[i].y);
    cairo_close_path(cr);
    SetSource(cr, brushColor);
    cairo_fill(cr);
    FinishCairo(cr, *s);
  }
  for (int i = 0; i < count; ++i) {
    const POINT& a = points[i];
    const POINT& b = points[(i + 1) % count];
    Line(*dc, *s, a.x, a.y, b.x, b.y);
  }
  return TRUE;
}

int FillRect(HDC h, const RECT* rect, HBRUSH brush) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  COLORREF c;
  if (!s || !rect || !BrushColor(brush, dc, c)) return 0;
  FillDeviceRect(*dc, *s, *rect, c);
  return 1;
}

int FrameRect(HDC h, const RECT* rect, HBRUSH brush) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  COLORREF c;
  if (!s || !rect || !BrushColor(brush, dc, c)) return 0;
  const RECT& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return 1;
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.right, r.top + 1}, c);
  FillDeviceRect(*dc, *s, RECT{r.left, r.bottom - 1, r.right, r.bottom}, c);
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.left + 1, r.bottom}, c);
  FillDeviceRect(*dc, *s, RECT{r.right - 1, r.top, r.right, r.bottom}, c);
  return 1;
}

BOOL PatBlt(HDC h, int x, int y, int width, int height, DWORD rop) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  COLORREF pattern = 0;
  BrushColor(static_cast<HBRUSH>(dc->state.brush), dc, pattern);
  RECT r = ToDeviceRect(*dc, Normalized(x, y, x + width, y + height));
  r = Intersect(Intersect(r, dc->state.clip), RECT{0, 0, s->width, s->height});
  cairo_surface_flush(s->cairo);
  for (LONG yy = r.top; yy < r.bottom; ++yy)
    for (LONG xx = r.left; xx < r.right; ++xx) {
      DWORD& px = s->Row(yy)[xx];
      px = RopPixel(rop, px & 0xFFFFFF, 0, ToRgb(pattern));
    }
  cairo_surface_mark_dirty(s->cairo);
  return TRUE;
}

BOOL InvertRect(HDC h, const RECT* rect) {
  if (!rect) return FALSE;
  return PatBlt(h, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

namespace platform::gui::detail {
void DrawEdge3d(HDC h, RECT r, COLORREF topLeft, COLORREF bottomRight) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s || r.right - r.left < 1 || r.bottom - r.top < 1) return;
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
  FillDeviceRect(*dc, *s, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
  FillDeviceRect(*dc, *s, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
  FillDeviceRect(*dc, *s, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}
}  // namespace platform::gui::detail

BOOL DrawEdge(HDC h, LPRECT rect, UINT edge, UINT flags) {
  if (!rect || !FindDc(h)) return FALSE;
  RECT r = *rect;
  auto one = [&](bool raised, bool outer) {
    COLORREF tl, br;
    if (outer) {
      tl = GetSysColor(raised ? COLOR_3DLIGHT : COLOR_BTNSHADOW);
      br = GetSysColor(raised ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT);
    } else {
      tl = GetSysColor(raised ? COLOR_BTNHIGHLIGHT : COLOR_3DDKSHADOW);
      br = GetSysColor(raised ? COLOR_BTNSHADOW : COLOR_3DLIGHT);
    }
    if (outer && raised && (edge & BDR_RAISEDINNER) == 0 && (edge & BDR_SUNKENINNER) == 0)
      tl = GetSysColor(COLOR_BTNHIGHLIGHT), br = GetSysColor(COLOR_BTNSHADOW);
    RECT e = r;
    if (!(flags & BF_LEFT)) e.left -= 1;
    if (!(flags & BF_TOP)) e.top -= 1;
    if (!(flags & BF_RIGHT)) e.right += 1;
    if (!(flags & BF_BOTTOM)) e.bottom += 1;
    DrawEdge3d(h, e, tl, br);
    InflateRect(&r, -1, -1);
  };
  if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) one((edge & BDR_RAISEDOUTER) != 0, true);
  if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) one((edge & BDR_RAISEDINNER) != 0, false);
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

BOOL DrawFocusRect(HDC h, const RECT* rect) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s || !rect) return FALSE;
  const RECT r = ToDeviceRect(*dc, *rect);
  cairo_surface_flush(s->cairo);
  auto flip = [&](LONG x, LONG y) {
    const RECT& c = dc->state.clip;
    if (x < c.left || y < c.top || x >= c.right || y >= c.bottom || x < 0 || y < 0 || x >= s->width || y >= s->height)
      return;
    s->Row(y)[x] ^= 0xFFFFFF;
  };
  for (LONG x = r.left; x < r.right; x += 2) flip(x, r.top), flip(x, r.bottom - 1);
  for (LONG y = r.top + 2; y < r.bottom - 1; y += 2) flip(r.left, y), flip(r.right - 1, y);
  cairo_surface_mark_dirty(s->cairo);
  return TRUE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  Dc* d = nullptr;
  Surface* ds = TargetOf(dst, &d);
  if (!ds) return FALSE;
  Dc* sdc = nullptr;
  Surface* ss = UsesSource(rop) ? TargetOf(src, &sdc) : nullptr;
  if (UsesSource(rop) && !ss) return FALSE;
  if (width == 0 || height == 0) return TRUE;
  COLORREF pattern = 0;
  BrushColor(static_cast<HBRUSH>(d->state.brush), d, pattern);
  // Read the source first: source and target may be one surface.
  std::vector<DWORD> source;
  const int w = std::abs(width), hgt = std::abs(height);
  if (ss) {
    cairo_surface_flush(ss->cairo);
    source.resize(static_cast<size_t>(w) * hgt, 0);
    for (int j = 0; j < hgt; ++j)
      for (int i = 0; i < w; ++i) {
        const int si = static_cast<int>(static_cast<LONGLONG>(i) * srcWidth / w);
        const int sj = static_cast<int>(static_cast<LONGLONG>(j) * srcHeight / hgt);
        const POINT p = ToDevice(*sdc, srcX + si, srcY + sj);
        if (p.x >= 0 && p.y >= 0 && p.x < ss->width && p.y < ss->height)
          source[static_cast<size_t>(j) * w + i] = ss->Row(p.y)[p.x] & 0xFFFFFF;
      }
  }
  cairo_surface_flush(ds->cairo);
  const RECT& c = d->state.clip;
  for (int j = 0; j < hgt; ++j)
    for (int i = 0; i < w; ++i) {
      const POINT p = ToDevice(*d, x + (width < 0 ? -i - 1 : i), y + (height < 0 ? -j - 1 : j));
      if (p.x < c.left || p.y < c.top || p.x >= c.right || p.y >= c.bottom) continue;
      if (p.x < 0 || p.y < 0 || p.x >= ds->width || p.y >= ds->height) continue;
      DWORD& px = ds->Row(p.y)[p.x];
      px = RopPixel(rop, px & 0xFFFFFF, ss ? source[static_cast<size_t>(j) * w + i] : 0, ToRgb(pattern));
    }
  cairo_surface_mark_dirty(ds->cairo);
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  if (width < 0 || height < 0) return TRUE;
  return StretchBlt(dst, x, y, width, height, src, srcX, srcY, width, height, rop);
}

BOOL GradientFill(HDC h, const TRIVERTEX* vertices, ULONG vertexCount, const void* meshes, ULONG meshCount,
                  ULONG mode) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s || !vertices || !meshes) return FALSE;
  if (mode == GRADIENT_FILL_TRIANGLE) {
    const auto* t = static_cast<const GRADIENT_TRIANGLE*>(meshes);
    for (ULONG i = 0; i < meshCount; ++i) {
      if (t[i].Vertex1 >= vertexCount || t[i].Vertex2 >= vertexCount || t[i].Vertex3 >= vertexCount) return FALSE;
      GradientTriangle(*dc, *s, vertices[t[i].Vertex1], vertices[t[i].Vertex2], vertices[t[i].Vertex3]);
    }
    return TRUE;
  }
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V) return FALSE;
  const auto* r = static_cast<const GRADIENT_RECT*>(meshes);
  for (ULONG i = 0; i < meshCount; ++i) {
    if (r[i].UpperLeft >= vertexCount || r[i].LowerRight >= vertexCount) return FALSE;
    GradientRect(*dc, *s, vertices[r[i].UpperLeft], vertices[r[i].LowerRight], mode == GRADIENT_FILL_RECT_V);
  }
  return TRUE;
}

namespace {

// The source rectangle scaled to width x height (nearest pixel), read before anything is written
// (source and target may share a surface); pixels outside the source surface read as black.
std::vector<DWORD> ReadScaled(Dc& src, Surface& s, int srcX, int srcY, int srcWidth, int srcHeight, int width,
                              int height) {
  std::vector<DWORD> out(static_cast<size_t>(width) * height, 0);
  cairo_surface_flush(s.cairo);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      const int si = static_cast<int>(static_cast<LONGLONG>(i) * srcWidth / width);
      const int sj = static_cast<int>(static_cast<LONGLONG>(j) * srcHeight / height);
      const POINT p = ToDevice(src, srcX + si, srcY + sj);
      if (p.x >= 0 && p.y >= 0 && p.x < s.width && p.y < s.height)
        out[static_cast<size_t>(j) * width + i] = s.Row(p.y)[p.x] & 0xFFFFFF;
    }
  return out;
}

// Writes the scaled source into the target through `combine(dst, src, &out)`, which returns
// false to leave a pixel alone.
template <class Combine>
BOOL Compose(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth, int srcHeight,
             Combine combine) {
  Dc* d = nullptr;
  Surface* ds = TargetOf(dst, &d);
  Dc* sdc = nullptr;
  Surface* ss = TargetOf(src, &sdc);
  if (!ds || !ss || width < 0 || height < 0 || srcWidth < 0 || srcHeight < 0) return FALSE;
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return TRUE;
  const std::vector<DWORD> source = ReadScaled(*sdc, *ss, srcX, srcY, srcWidth, srcHeight, width, height);
  cairo_surface_flush(ds->cairo);
  const RECT& c = d->state.clip;
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) {
      const POINT p = ToDevice(*d, x + i, y + j);
      if (p.x < c.left || p.y < c.top || p.x >= c.right || p.y >= c.bottom) continue;
      if (p.x < 0 || p.y < 0 || p.x >= ds->width || p.y >= ds->height) continue;
      DWORD& px = ds->Row(p.y)[p.x];
      DWORD out = 0;
      if (combine(px & 0xFFFFFF, source[static_cast<size_t>(j) * width + i], &out)) px = out;
    }
  cairo_surface_mark_dirty(ds->cairo);
  return TRUE;
}

}  // namespace

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend) {
  if (blend.BlendOp != AC_SRC_OVER || blend.AlphaFormat != 0) return FALSE;
  const DWORD a = blend.SourceConstantAlpha;
  return Compose(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, [a](DWORD d, DWORD s, DWORD* out) {
    DWORD r = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const DWORD dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
      r |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
    }
    *out = r;
    return true;
  });
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent) {
  const DWORD key = ToRgb(transparent);
  return Compose(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, [key](DWORD, DWORD s, DWORD* out) {
    if (s == key) return false;
    *out = s;
    return true;
  });
}

BOOL Arc(HDC h, int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  Dc* dc = nullptr;
  Surface* s = TargetOf(h, &dc);
  if (!s) return FALSE;
  const RECT r = Normalized(left, top, right, bottom);
  COLORREF color;
  int width;
  if (!PenOf(*dc, color, width)) return TRUE;
  const double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  const double rx = (r.right - r.left - 1) / 2.0, ry = (r.bottom - r.top - 1) / 2.0;
  if (rx <= 0 || ry <= 0) return TRUE;
  // Parametric angles of the radials through the two points (y grows downwards, so decreasing
  // angles run counter-clockwise on the screen).
  const double a0 = std::atan2((yStart - cy) / ry, (xStart - cx) / rx);
  double a1 = std::atan2((yEnd - cy) / ry, (xEnd - cx) / rx);
  if (a1 >= a0) a1 -= 2 * M_PI;
  cairo_t* cr = CairoFor(*dc, *s);
  SetSource(cr, color);
  cairo_set_line_width(cr, std::max(1, width));
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_path(cr);
  cairo_arc_negative(cr, 0, 0, 1, a0, a1);
  cairo_restore(cr);
  cairo_stroke(cr);
  FinishCairo(cr, *s);
  return TRUE;
}
