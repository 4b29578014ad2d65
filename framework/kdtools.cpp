#include "framework/kdtools.h"

void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap) {
  BITMAP info{};
  if (!dc || !dc->m_hDC || !bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
  HDC memory = CreateCompatibleDC(dc->m_hDC);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const COLORREF key = GetPixel(memory, 0, 0);
  TransparentBlt(dc->m_hDC, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight, key);
  SelectObject(memory, old);
  DeleteDC(memory);
}

CPenDC::CPenDC(CDC& dc, COLORREF color, int width, int style)
    : m_dc(dc), m_pen(CreatePen(style, width, color)), m_previous(SelectObject(dc.m_hDC, m_pen)) {}

CPenDC::~CPenDC() {
  SelectObject(m_dc.m_hDC, m_previous);
  DeleteObject(m_pen);
}

HCURSOR CKdStock::GetKdCursor(int index) { return LoadCursorW(nullptr, index == 0 ? IDC_HAND : IDC_ARROW); }
