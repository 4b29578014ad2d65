// Painting windows onto their surfaces, the non-client frame, and window pictures.
#include <cwchar>

#include "platform/gui/headless.h"
#include "platform/gui/internal.h"
#include "platform/strings/convert.h"

namespace platform::gui::detail {
namespace {

HFONT CaptionFont() {
  static HFONT font = [] {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    std::wcscpy(lf.lfFaceName, L"MS Shell Dlg");
    HFONT f = CreateFontIndirectW(&lf);
    if (Object* o = Find(FromHandle(f))) o->stock = true;
    return f;
  }();
  return font;
}

HFONT MenuFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

void PaintOne(HWND h) {
  Window* w = FindWindow(h);
  if (!w || !(w->style & WS_VISIBLE)) return;
  TopSurface(TopLevel(w));
  Deliver(h, WM_NCPAINT, 1, 0);
  w = FindWindow(h);
  if (!w) return;
  HDC dc = MakeWindowDc(w, true);
  if (Dc* d = FindDc(dc)) d->fromPaint = true;
  w->paintDc = dc;
  Deliver(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  if (FindWindow(h)) Deliver(h, WM_PAINT, 0, 0);
  if ((w = FindWindow(h))) {
    w->paintDc = nullptr;
    w->needsPaint = false;
  }
  FreeDc(dc);
  w = FindWindow(h);
  if (!w) return;
  const std::vector<HWND> children = w->children;
  for (auto it = children.rbegin(); it != children.rend(); ++it) PaintOne(*it);
}

}  // namespace

void PaintTree(HWND h) { PaintOne(h); }

void PaintNonClient(HWND h, HDC dc) {
  Window* w = FindWindow(h);
  if (!w || !dc) return;
  const int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  RECT outer{0, 0, width, height};
  int frame = 0;
  if (w->style & WS_THICKFRAME) frame = GetSystemMetrics(SM_CXFRAME);
  else if ((w->style & WS_DLGFRAME) || (w->exStyle & WS_EX_DLGMODALFRAME)) frame = GetSystemMetrics(SM_CXDLGFRAME);
  if (frame > 0) {
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    RECT ring = outer;
    for (int i = 0; i < frame; ++i) {
      FrameRect(dc, &ring, face);
      InflateRect(&ring, -1, -1);
    }
    DrawEdge(dc, &outer, EDGE_RAISED, BF_RECT);
    InflateRect(&outer, -frame, -frame);
  } else if (w->style & WS_BORDER) {
    FrameRect(dc, &outer, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&outer, -1, -1);
  }
  if ((w->style & WS_CAPTION) == WS_CAPTION) {
    const int caption = GetSystemMetrics((w->exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
    RECT bar{outer.left, outer.top, outer.right, outer.top + caption - 1};
    const bool active = GetActiveWindow() == h;
    const COLORREF a = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    const COLORREF b = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
    TRIVERTEX v[2] = {{bar.left, bar.top, static_cast<COLOR16>(GetRValue(a) << 8), static_cast<COLOR16>(GetGValue(a) << 8),
                       static_cast<COLOR16>(GetBValue(a) << 8), 0},
                      {bar.right, bar.bottom, static_cast<COLOR16>(GetRValue(b) << 8), static_cast<COLOR16>(GetGValue(b) << 8),
                       static_cast<COLOR16>(GetBValue(b) << 8), 0}};
    GRADIENT_RECT mesh{0, 1};
    GradientFill(dc, v, 2, &mesh, 1, GRADIENT_FILL_RECT_H);
    RECT line{outer.left, bar.bottom, outer.right, bar.bottom + 1};
    FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
    RECT text = bar;
    text.left += 4;
    if (w->style & WS_SYSMENU) {
      RECT button{bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2};
      FillRect(dc, &button, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &button, EDGE_RAISED, BF_RECT);
      HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
      HGDIOBJ old = SelectObject(dc, pen);
      const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
      for (int d = 0; d < 2; ++d) {
        MoveToEx(dc, cx - 4 + d, cy - 3, nullptr);
        LineTo(dc, cx + 3 + d, cy + 4);
        MoveToEx(dc, cx + 2 + d, cy - 3, nullptr);
        LineTo(dc, cx - 5 + d, cy + 4);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
      text.right = button.left - 2;
    }
    HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    DrawTextW(dc, w->text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);
    outer.top += caption;
  }
  if (HasMenuBar(*w)) {
    const int barHeight = GetSystemMetrics(SM_CYMENU);
    RECT bar{outer.left, outer.top, outer.right, outer.top + barHeight};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_MENUBAR));
    HGDIOBJ oldFont = SelectObject(dc, MenuFont());
    SetBkMode(dc, TRANSPARENT);
    int x = bar.left + 6;
    if (Menu* m = FindMenu(w->menu)) {
      for (const MenuItem& item : m->items) {
        if (item.flags & MF_SEPARATOR) continue;
        SIZE size{};
        std::wstring shown;
        for (size_t i = 0; i < item.text.size(); ++i)
          if (item.text[i] != L'&' || (i + 1 < item.text.size() && item.text[i + 1] == L'&' && ++i)) shown.push_back(item.text[i]);
        GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        RECT t{x, bar.top, x + size.cx + 2, bar.bottom};
        SetTextColor(dc, GetSysColor((item.flags & MF_GRAYED) ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
        DrawTextW(dc, item.text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
        x += size.cx + 14;
      }
    }
    SelectObject(dc, oldFont);
    outer.top += barHeight;
  }
  if (w->exStyle & WS_EX_CLIENTEDGE) {
    DrawEdge(dc, &outer, EDGE_SUNKEN, BF_RECT);
    InflateRect(&outer, -2, -2);
  }
  if (w->exStyle & WS_EX_STATICEDGE) {
    DrawEdge(dc, &outer, BDR_SUNKENOUTER, BF_RECT);
    InflateRect(&outer, -1, -1);
  }
  PaintScrollBars(*w, dc);
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

namespace platform::gui {

COLORREF Image::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return CLR_INVALID;
  return FromRgb(m_pixels[static_cast<size_t>(y) * m_width + x]);
}

void Image::SetPixel(int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  m_pixels[static_cast<size_t>(y) * m_width + x] = ToRgb(color);
}

bool Image::SavePng(const std::wstring& path) const {
  if (m_width <= 0 || m_height <= 0) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, m_width, m_height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return false;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < m_height; ++y) {
    auto* row = reinterpret_cast<DWORD*>(data + static_cast<ptrdiff_t>(y) * stride);
    for (int x = 0; x < m_width; ++x) row[x] = m_pixels[static_cast<size_t>(y) * m_width + x];
  }
  cairo_surface_mark_dirty(s);
  const std::string file = platform::WideToUtf8(path);
  const bool ok = cairo_surface_write_to_png(s, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

namespace {
Image Crop(HWND h, bool client) {
  Window* w = FindWindow(h);
  if (!w) return Image();
  ApplyMarkedInvalidations();
  Window* top = TopLevel(w);
  PaintTree(ToHandle<HWND>(top->handle));
  w = FindWindow(h);
  top = w ? TopLevel(w) : nullptr;
  if (!w || !top) return Image();
  Surface& s = TopSurface(top);
  POINT o = SurfaceOrigin(w);
  int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
  if (client) {
    const RECT c = ClientRectInWindow(*w);
    o.x += c.left;
    o.y += c.top;
    width = c.right - c.left;
    height = c.bottom - c.top;
  }
  Image image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const COLORREF c = ReadPixel(s, o.x + x, o.y + y);
      image.SetPixel(x, y, c == CLR_INVALID ? 0 : c);
    }
  return image;
}
}  // namespace

Image CaptureWindow(HWND window) { return Crop(window, false); }
Image CaptureClient(HWND window) { return Crop(window, true); }

bool SaveWindowPng(HWND window, const std::wstring& path) {
  Image image = CaptureWindow(window);
  return image.Width() > 0 && image.SavePng(path);
}

size_t LiveWindowCount() { return LiveHandles(Kind::Window).size(); }

size_t ResetHeadless() {
  const size_t alive = LiveWindowCount();
  ResetWindows();
  ResetInput();
  ResetPositions();
  ResetGdi();
  ClearScripts();
  ClearRecords();
  SetWorkArea(RECT{0, 0, 1024, 740});
  SetImageCodecsReadable(true);
  return alive;
}

}  // namespace platform::gui
