// Scroll bars of windows, scrolling a window's content, and the tooltip window class.
#include <algorithm>
#include <climits>

#include "platform/gui/headless.h"
#include "platform/gui/internal.h"

namespace platform::gui::detail {
namespace {

ScrollBar* BarOf(HWND h, int bar) {
  Window* w = FindWindow(h);
  if (!w) return nullptr;
  if (bar == SB_HORZ) return &w->hbar;
  if (bar == SB_VERT) return &w->vbar;
  return nullptr;
}

// The page no larger than the range, the position inside what the page leaves.
void Clamp(ScrollBar& b) {
  const long long span = static_cast<long long>(b.max) - b.min + 1;
  if (static_cast<long long>(b.page) > span) b.page = static_cast<UINT>(span);
  const long long last = static_cast<long long>(b.max) - std::max<long long>(static_cast<long long>(b.page) - 1, 0);
  if (b.pos > last) b.pos = static_cast<int>(last);
  if (b.pos < b.min) b.pos = b.min;
}

void SetRange(ScrollBar& b, int min, int max) {
  if (min > max || static_cast<long long>(max) - min > INT_MAX) min = max = 0;
  b.min = min;
  b.max = max;
}

void Repaint(HWND h, BOOL redraw) {
  if (redraw) InvalidateRect(h, nullptr, FALSE);
}

void SendClientSize(HWND h) {
  Window* w = FindWindow(h);
  if (!w) return;
  const RECT c = ClientRectInWindow(*w);
  Deliver(h, WM_SIZE, 0, MAKELONG(c.right - c.left, c.bottom - c.top));
}

void Arrow(HDC dc, RECT box, bool enabled) {
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
  const COLORREF color = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  RECT dot{cx - 1, cy - 1, cx + 2, cy + 2};
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &dot, brush);
  DeleteObject(brush);
}

// One bar in `area`: arrows at both ends, the trough, and the thumb where the position is.
void PaintBar(HDC dc, const ScrollBar& b, RECT area, bool horizontal) {
  FillRect(dc, &area, GetSysColorBrush(COLOR_SCROLLBAR));
  const int length = horizontal ? area.right - area.left : area.bottom - area.top;
  const int thickness = horizontal ? area.bottom - area.top : area.right - area.left;
  const int arrow = std::min(thickness, length / 2);
  const bool enabled = b.disabled != ESB_DISABLE_BOTH && b.max > b.min;
  RECT first = area, second = area;
  if (horizontal) first.right = area.left + arrow, second.left = area.right - arrow;
  else first.bottom = area.top + arrow, second.top = area.bottom - arrow;
  Arrow(dc, first, enabled && !(b.disabled & ESB_DISABLE_LTUP));
  Arrow(dc, second, enabled && !(b.disabled & ESB_DISABLE_RTDN));
  const int trough = length - 2 * arrow;
  if (!enabled || trough <= 8) return;
  const long long span = static_cast<long long>(b.max) - b.min + 1;
  int thumb = b.page ? static_cast<int>(trough * static_cast<long long>(b.page) / span) : thickness;
  thumb = std::clamp(thumb, 8, trough);
  const long long travel = span - std::max<long long>(b.page, 1);
  const int offset = travel > 0 ? static_cast<int>((trough - thumb) * static_cast<long long>(b.pos - b.min) / travel) : 0;
  RECT t = area;
  if (horizontal) t.left = area.left + arrow + offset, t.right = t.left + thumb;
  else t.top = area.top + arrow + offset, t.bottom = t.top + thumb;
  FillRect(dc, &t, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &t, EDGE_RAISED, BF_RECT);
}

}  // namespace

void PaintScrollBars(const Window& w, HDC dc) {
  const DWORD bars = ShownScrollBars(w);
  const bool h = (bars & WS_HSCROLL) != 0, v = (bars & WS_VSCROLL) != 0;
  if (!h && !v) return;
  const RECT c = ClientRectInWindow(w);
  const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  if (h) PaintBar(dc, w.hbar, RECT{c.left, c.bottom, c.right, c.bottom + cy}, true);
  if (v) PaintBar(dc, w.vbar, RECT{c.right, c.top, c.right + cx, c.bottom}, false);
  if (h && v) {
    RECT corner{c.right, c.bottom, c.right + cx, c.bottom + cy};
    FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
}

// --- the tooltip window: its tools and their texts
LRESULT TooltipProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  auto* info = reinterpret_cast<TOOLINFOW*>(lParam);
  auto find = [&](const TOOLINFOW& t) {
    return std::find_if(w->tools.begin(), w->tools.end(),
                        [&](const Tool& tool) { return tool.window == t.hwnd && tool.id == t.uId; });
  };
  switch (message) {
    case TTM_ADDTOOLW: {
      if (!info || info->cbSize < sizeof(TOOLINFOW) - sizeof(LPARAM)) return FALSE;
      Tool tool{info->uFlags, info->hwnd, info->uId, info->rect, info->lpszText ? info->lpszText : L""};
      auto it = find(*info);
      if (it != w->tools.end()) *it = std::move(tool);
      else w->tools.push_back(std::move(tool));
      return TRUE;
    }
    case TTM_DELTOOLW:
      if (info) {
        auto it = find(*info);
        if (it != w->tools.end()) w->tools.erase(it);
      }
      return 0;
    case TTM_UPDATETIPTEXTW:
      if (info) {
        auto it = find(*info);
        if (it != w->tools.end()) it->text = info->lpszText ? info->lpszText : L"";
      }
      return 0;
    case TTM_GETTEXTW:
      // wParam: the buffer's size in characters.
      if (info && info->lpszText && wParam > 0) {
        auto it = find(*info);
        const std::wstring text = it != w->tools.end() ? it->text : L"";
        const size_t n = std::min(text.size(), static_cast<size_t>(wParam - 1));
        std::copy_n(text.begin(), n, info->lpszText);
        info->lpszText[n] = 0;
      }
      return 0;
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(w->tools.size());
    case TTM_ACTIVATE:
    case TTM_SETMAXTIPWIDTH: return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(h, &ps);
      EndPaint(h, &ps);
      return 0;
    }
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

int SetScrollInfo(HWND h, int bar, LPCSCROLLINFO info, BOOL redraw) {
  ScrollBar* b = BarOf(h, bar);
  if (!b || !info) return 0;
  if (info->fMask & SIF_RANGE) SetRange(*b, info->nMin, info->nMax);
  if (info->fMask & SIF_PAGE) b->page = info->nPage;
  if (info->fMask & SIF_POS) b->pos = info->nPos;
  Clamp(*b);
  Repaint(h, redraw);
  return b->pos;
}

BOOL GetScrollInfo(HWND h, int bar, LPSCROLLINFO info) {
  ScrollBar* b = BarOf(h, bar);
  if (!b || !info) return FALSE;
  if (info->fMask & SIF_RANGE) info->nMin = b->min, info->nMax = b->max;
  if (info->fMask & SIF_PAGE) info->nPage = b->page;
  if (info->fMask & SIF_POS) info->nPos = b->pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b->trackPos;
  return TRUE;
}

int SetScrollPos(HWND h, int bar, int position, BOOL redraw) {
  ScrollBar* b = BarOf(h, bar);
  if (!b) return 0;
  const int previous = b->pos;
  b->pos = position;
  Clamp(*b);
  Repaint(h, redraw);
  return previous;
}

int GetScrollPos(HWND h, int bar) {
  ScrollBar* b = BarOf(h, bar);
  return b ? b->pos : 0;
}

BOOL SetScrollRange(HWND h, int bar, int min, int max, BOOL redraw) {
  ScrollBar* b = BarOf(h, bar);
  if (!b) return FALSE;
  SetRange(*b, min, max);
  Clamp(*b);
  Repaint(h, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND h, int bar, LPINT min, LPINT max) {
  ScrollBar* b = BarOf(h, bar);
  if (!b || !min || !max) return FALSE;
  *min = b->min;
  *max = b->max;
  return TRUE;
}

BOOL ShowScrollBar(HWND h, int bar, BOOL show) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  DWORD bits = 0;
  if (bar == SB_HORZ) bits = WS_HSCROLL;
  else if (bar == SB_VERT) bits = WS_VSCROLL;
  else if (bar == SB_BOTH) bits = WS_HSCROLL | WS_VSCROLL;
  else return FALSE;
  const DWORD before = w->style;
  if (show) w->style |= bits;
  else w->style &= ~bits;
  if (w->style != before) {
    InvalidateRect(h, nullptr, TRUE);
    SendClientSize(h);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND h, UINT bar, UINT arrows) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  bool changed = false;
  auto set = [&](ScrollBar& b) {
    changed = changed || b.disabled != arrows;
    b.disabled = arrows & ESB_DISABLE_BOTH;
  };
  if (bar == SB_HORZ || bar == SB_BOTH) set(w->hbar);
  if (bar == SB_VERT || bar == SB_BOTH) set(w->vbar);
  if (bar != SB_HORZ && bar != SB_VERT && bar != SB_BOTH) return FALSE;
  if (changed) InvalidateRect(h, nullptr, FALSE);
  return changed ? TRUE : FALSE;
}

BOOL ScrollWindow(HWND h, int dx, int dy, const RECT* rect, const RECT* clip) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  (void)clip;
  if (!rect) {
    for (HWND c : w->children)
      if (Window* cw = FindWindow(c)) OffsetRect(&cw->rect, dx, dy);
  }
  InvalidateRect(h, nullptr, TRUE);
  return TRUE;
}

namespace platform::gui {

bool ScrollBarEnabled(HWND window, int bar) {
  ScrollBar* b = BarOf(window, bar);
  return b && b->disabled != ESB_DISABLE_BOTH;
}

std::wstring TooltipText(HWND tool) {
  std::wstring text;
  for (DWORD handle : LiveHandles(Kind::Window)) {
    Window* w = FindWindow(ToHandle<HWND>(handle));
    if (!w || w->className != TOOLTIPS_CLASSW) continue;
    for (const Tool& t : w->tools)
      if ((t.flags & TTF_IDISHWND) && reinterpret_cast<HWND>(t.id) == tool) text = t.text;
  }
  return text;
}

}  // namespace platform::gui
