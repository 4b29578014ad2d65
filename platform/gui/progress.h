#pragma once
// The common controls' progress bar ("msctls_progress32"): a range (0 to 100 at first) and a
// position that is always kept inside it, painted as a bar in the highlight colour.
#include "platform/gui/afxwin.h"

#define PROGRESS_CLASSW L"msctls_progress32"
#define PBM_SETRANGE (WM_USER + 1)      // lParam MAKELONG(low, high); the previous range
#define PBM_SETPOS (WM_USER + 2)        // the previous position
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)    // wParam low, lParam high
#define PBM_GETRANGE (WM_USER + 7)      // wParam TRUE: the low end, FALSE: the high end
#define PBM_GETPOS (WM_USER + 8)

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, static_cast<LPARAM>(MAKELONG(static_cast<WORD>(lower), static_cast<WORD>(upper)))); }
  void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
  void GetRange(int& lower, int& upper) const {
    lower = static_cast<int>(SendMessage(PBM_GETRANGE, TRUE));
    upper = static_cast<int>(SendMessage(PBM_GETRANGE, FALSE));
  }
  int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
  int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

namespace platform::gui::detail {
void RegisterProgressClass();
}  // namespace platform::gui::detail
