#include "framework/kdtools.h"

void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap) {
  BITMAP info{};
  if (!dc || !dc->m_hDC || !bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
  DrawTransparent(dc, x, y, bitmap, 0, 0, info.bmWidth, info.bmHeight);
}

void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap, int sourceX, int sourceY, int width, int height) {
  BITMAP info{};
  if (!dc || !dc->m_hDC || !bitmap || !GetObjectW(bitmap, sizeof info, &info) || width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc->m_hDC);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const COLORREF key = GetPixel(memory, sourceX, sourceY);
  TransparentBlt(dc->m_hDC, x, y, width, height, memory, sourceX, sourceY, width, height, key);
  SelectObject(memory, old);
  DeleteDC(memory);
}

namespace {
thread_local HWND t_tooltip = nullptr;
}  // namespace

HWND CKdTooltip::CreateToolTip(HWND owner) {
  if (t_tooltip && IsWindow(t_tooltip)) return t_tooltip;
  t_tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                              0, owner, nullptr, nullptr, nullptr);
  return t_tooltip;
}

HWND CKdTooltip::GetToolTip() { return t_tooltip && IsWindow(t_tooltip) ? t_tooltip : nullptr; }

void CKdTooltip::MakeTopmost(HWND tooltip) {
  if (tooltip) SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

CPenDC::CPenDC(CDC& dc, COLORREF color, int width, int style)
    : m_dc(dc), m_pen(CreatePen(style, width, color)), m_previous(SelectObject(dc.m_hDC, m_pen)) {}

CPenDC::~CPenDC() {
  SelectObject(m_dc.m_hDC, m_previous);
  DeleteObject(m_pen);
}

HCURSOR CKdStock::GetKdCursor(int index) { return LoadCursorW(nullptr, index == 0 ? IDC_HAND : IDC_ARROW); }
