#pragma once
// The framework's small drawing tools and stock cursors that controls use.
#include "platform/gui/afxwin.h"

// Draws the bitmap at its own size with its top-left corner at (x, y), leaving out every pixel
// of the colour its top-left pixel has. Nothing for a missing DC or bitmap.
void DrawTransparent(CDC* dc, int x, int y, HBITMAP bitmap);

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
