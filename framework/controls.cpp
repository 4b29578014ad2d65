#include "framework/controls.h"

namespace {

WNDPROC g_editProc = nullptr;

bool NipChar(WPARAM c) {
  if (c < 0x20) return true;   // backspace and the editing keys' control characters
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'-' || c == L' ';
}

LRESULT NipEditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && !NipChar(wParam)) {
    MessageBeep(0);
    return 0;
  }
  return g_editProc ? CallWindowProcW(g_editProc, h, message, wParam, lParam) : DefWindowProcW(h, message, wParam, lParam);
}

const bool g_registered = (ZphRegisterControls(), true);

}  // namespace

void ZphRegisterControls() {
  WNDCLASSW edit{};
  if (!g_editProc && GetClassInfoW(nullptr, L"Edit", &edit)) g_editProc = edit.lpfnWndProc;
  WNDCLASSW wc{};
  wc.lpfnWndProc = NipEditProc;
  wc.lpszClassName = kFlgNipEditClass;
  wc.style = CS_GLOBALCLASS;
  RegisterClassW(&wc);
}
