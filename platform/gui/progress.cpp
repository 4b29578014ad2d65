// The progress bar control.
#include "platform/gui/progress.h"

#include <algorithm>
#include <map>

#include "platform/gui/internal.h"

namespace {

struct Bar {
  int lower = 0;
  int upper = 100;
  int position = 0;
  int step = 10;
};

std::map<HWND, Bar>& Bars() {
  static auto* bars = new std::map<HWND, Bar>;
  return *bars;
}

int Clamp(const Bar& b, int position) { return std::clamp(position, std::min(b.lower, b.upper), std::max(b.lower, b.upper)); }

int Move(HWND h, Bar& b, int position) {
  const int previous = b.position;
  b.position = Clamp(b, position);
  if (b.position != previous) InvalidateRect(h, nullptr, TRUE);
  return previous;
}

void Paint(HWND h, const Bar& b) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(h, &ps);
  RECT r{};
  GetClientRect(h, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  platform::gui::detail::DrawEdge3d(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  const int span = b.upper - b.lower;
  if (span > 0 && r.right - r.left > 2) {
    RECT bar{r.left + 1, r.top + 1, r.left + 1, r.bottom - 1};
    const long long inner = r.right - r.left - 2;
    bar.right = r.left + 1 + static_cast<int>(inner * (b.position - b.lower) / span);
    if (bar.right > bar.left) FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
  }
  EndPaint(h, &ps);
}

LRESULT ProgressProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Bar& b = Bars()[h];
  switch (message) {
    case WM_NCCREATE:
      b = Bar();
      return DefWindowProcW(h, message, wParam, lParam);
    case WM_PAINT: Paint(h, b); return 0;
    case WM_ERASEBKGND: return 1;
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
      const LRESULT previous = MAKELONG(static_cast<WORD>(b.lower), static_cast<WORD>(b.upper));
      if (message == PBM_SETRANGE) {
        b.lower = static_cast<short>(LOWORD(lParam));
        b.upper = static_cast<short>(HIWORD(lParam));
      } else {
        b.lower = static_cast<int>(wParam);
        b.upper = static_cast<int>(lParam);
      }
      b.position = Clamp(b, b.position);
      InvalidateRect(h, nullptr, TRUE);
      return previous;
    }
    case PBM_SETPOS: return Move(h, b, static_cast<int>(wParam));
    case PBM_DELTAPOS: return Move(h, b, b.position + static_cast<int>(wParam));
    case PBM_SETSTEP: {
      const int previous = b.step;
      b.step = static_cast<int>(wParam);
      return previous;
    }
    case PBM_STEPIT: {
      // Stepping past the end starts again from the low end.
      int next = b.position + b.step;
      if (next > b.upper) next = b.lower + (next - b.upper);
      return Move(h, b, next);
    }
    case PBM_GETRANGE: return wParam ? b.lower : b.upper;
    case PBM_GETPOS: return b.position;
    case WM_NCDESTROY: {
      Bars().erase(h);
      return DefWindowProcW(h, message, wParam, lParam);
    }
    default: return DefWindowProcW(h, message, wParam, lParam);
  }
}

}  // namespace

namespace platform::gui::detail {
void RegisterProgressClass() { RegisterClassDirect(PROGRESS_CLASSW, ProgressProc, nullptr); }
}  // namespace platform::gui::detail
