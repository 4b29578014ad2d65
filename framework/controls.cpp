#include "framework/controls.h"

#include <map>

#include "framework/skin.h"

namespace {

WNDPROC g_editProc = nullptr;

LRESULT PassToEdit(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  return g_editProc ? CallWindowProcW(g_editProc, h, message, wParam, lParam) : DefWindowProcW(h, message, wParam, lParam);
}

bool NipChar(WPARAM c) {
  if (c < 0x20) return true;   // backspace and the editing keys' control characters
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'-' || c == L' ';
}

LRESULT NipEditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && !NipChar(wParam)) {
    MessageBeep(0);
    return 0;
  }
  return PassToEdit(h, message, wParam, lParam);
}

LRESULT WwwEditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) { return PassToEdit(h, message, wParam, lParam); }

// The pop-up menus given to links (the user-interface thread's only).
std::map<HWND, HMENU>& LinkMenus() {
  static std::map<HWND, HMENU> menus;
  return menus;
}

void PaintLink(HWND h) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(h, &ps);
  RECT client{};
  GetClientRect(h, &client);
  HWND parent = GetParent(h);
  HBRUSH background = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                      reinterpret_cast<WPARAM>(dc),
                                                                      reinterpret_cast<LPARAM>(h)))
                             : nullptr;
  FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(h) ? RGB(0, 0, 0xCC) : GetSysColor(COLOR_GRAYTEXT));
  const int length = GetWindowTextLengthW(h);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(h, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  DrawTextW(dc, text.c_str(), length, &client, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
  if (old) SelectObject(dc, old);
  EndPaint(h, &ps);
}

void ClickLink(HWND h) {
  HWND parent = GetParent(h);
  if (!parent || !IsWindowEnabled(h)) return;
  const auto found = LinkMenus().find(h);
  if (found != LinkMenus().end() && IsMenu(found->second)) {
    RECT r{};
    GetWindowRect(h, &r);
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(found->second, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, r.left, r.bottom, 0, parent, nullptr));
    if (command) SendMessageW(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(command), 0), 0);
    return;
  }
  NMHDR header{};
  header.hwndFrom = h;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(h));
  header.code = kFlgLinkClicked;
  SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

LRESULT HyperlinkProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: PaintLink(h); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONUP: ClickLink(h); return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE || wParam == VK_RETURN) ClickLink(h);
      return 0;
    case WM_GETDLGCODE: return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case kFlgLinkSetMenu:
      if (wParam) LinkMenus()[h] = reinterpret_cast<HMENU>(wParam);
      else LinkMenus().erase(h);
      return TRUE;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(h, message, wParam, lParam);
      InvalidateRect(h, nullptr, TRUE);
      return result;
    }
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
    case WM_NCDESTROY: LinkMenus().erase(h); break;
    default: break;
  }
  return DefWindowProcW(h, message, wParam, lParam);
}

const bool g_registered = (ZphRegisterControls(), true);

void Register(const wchar_t* name, WNDPROC proc, HCURSOR cursor) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  wc.style = CS_GLOBALCLASS;
  wc.hCursor = cursor;
  RegisterClassW(&wc);
}

}  // namespace

void ZphRegisterControls() {
  WNDCLASSW edit{};
  if (!g_editProc && GetClassInfoW(nullptr, L"Edit", &edit)) g_editProc = edit.lpfnWndProc;
  Register(kFlgNipEditClass, NipEditProc, nullptr);
  Register(kFlgWwwEditClass, WwwEditProc, nullptr);
  Register(kFlgHyperlinkClass, HyperlinkProc, LoadCursorW(nullptr, IDC_HAND));
}
