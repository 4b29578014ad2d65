#pragma once
// The framework's small drawing tools and stock cursors that controls use.
#include "platform/gui/afxwin.h"

// Draws the bitmap at its own size with its top-left corner at (x, y), leaving out every pixel
// of the colour its top-left pixel has. Nothing for a missing DC or bitmap.
void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap);
// The same for the part of the bitmap from (sourceX, sourceY), width x height, leaving out the
// colour of that part's top-left pixel.
void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap, int sourceX, int sourceY, int width, int height);

// Selects a new pen of that colour into the DC for the guard's life and puts the previous one back.
class CPenDC {
 public:
  CPenDC(CDC& dc, COLORREF color, int width = 1, int style = PS_SOLID);
  ~CPenDC();
  CPenDC(const CPenDC&) = delete;
  CPenDC& operator=(const CPenDC&) = delete;

 private:
  CDC& m_dc;
  HPEN m_pen;
  HGDIOBJ m_previous;
};

// The framework's stock objects.
class CKdStock {
 public:
  // Cursor 0 is the pointing hand of links and buttons; any other index gives the arrow.
  static HCURSOR GetKdCursor(int index);
};

// The framework's shared tooltip: one tooltip window per thread, owned by the window it was
// created for.
class CKdTooltip {
 public:
  // The thread's tooltip window, created for `owner` when there is none (or it was destroyed
  // with its owner); null when it cannot be made.
  static HWND CreateToolTip(HWND owner);
  // The thread's tooltip window, or null.
  static HWND GetToolTip();
  // Puts the tooltip window above all others.
  static void MakeTopmost(HWND tooltip);
};
