#include "framework/controls.h"

#include <map>
#include <string>

#include "framework/skin.h"
#include "platform/strings/locale.h"

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

std::wstring TextOf(HWND h) {
  const int length = GetWindowTextLengthW(h);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(h, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
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
  const std::wstring text = TextOf(h);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
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

// The units given to amount edits (the user-interface thread's only).
struct AmountUnit {
  CString unit;
  int decimals = 2;
};
std::map<HWND, AmountUnit>& AmountUnits() {
  static std::map<HWND, AmountUnit> units;
  return units;
}

// The amount with its unit at the right end: the amount right-aligned before the unit.
void PaintAmount(HWND h) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(h, &ps);
  RECT client{};
  GetClientRect(h, &client);
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  const bool enabled = IsWindowEnabled(h) != FALSE;
  const bool readOnly = (style & ES_READONLY) != 0;
  HWND parent = GetParent(h);
  HBRUSH background = parent ? reinterpret_cast<HBRUSH>(SendMessageW(
                                   parent, enabled && !readOnly ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                                   reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(h)))
                             : nullptr;
  FillRect(dc, &client, background ? background : GetSysColorBrush(enabled && !readOnly ? COLOR_WINDOW : COLOR_BTNFACE));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  RECT r = client;
  r.left += 2;
  r.right -= 3;
  const auto found = AmountUnits().find(h);
  if (found != AmountUnits().end() && !found->second.unit.IsEmpty()) {
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, found->second.unit.GetString(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    SIZE unit{};
    GetTextExtentPoint32W(dc, found->second.unit.GetString(), found->second.unit.GetLength(), &unit);
    r.right -= unit.cx + 4;
  }
  const std::wstring text = TextOf(h);
  SetTextColor(dc, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  if (old) SelectObject(dc, old);
  EndPaint(h, &ps);
}

LRESULT AmountEditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kFlgAmountSetUnit: {
      AmountUnit& unit = AmountUnits()[h];
      unit.unit = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
      unit.decimals = wParam == kFlgAmountPlain ? 4 : 2;
      InvalidateRect(h, nullptr, TRUE);
      return TRUE;
    }
    case WM_PAINT: PaintAmount(h); return 0;
    case WM_ENABLE:
      InvalidateRect(h, nullptr, TRUE);
      break;
    case WM_NCDESTROY: AmountUnits().erase(h); break;
    default: break;
  }
  return PassToEdit(h, message, wParam, lParam);
}

CString LocaleText(LCTYPE type, const wchar_t* fallback) {
  wchar_t text[16] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16) <= 0 || !text[0]) return CString(fallback);
  return CString(text);
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
  Register(kFlgAmountEditClass, AmountEditProc, LoadCursorW(nullptr, IDC_IBEAM));
}

CString FlgAmountUnit(HWND control) {
  const auto found = AmountUnits().find(control);
  return found == AmountUnits().end() ? CString() : found->second.unit;
}

int FlgAmountDecimals(HWND control) {
  const auto found = AmountUnits().find(control);
  return found == AmountUnits().end() ? 2 : found->second.decimals;
}

CString FlgFormatAmount(const COleCurrency& value, int decimals) {
  if (value.GetStatus() != COleCurrency::valid) return CString();
  const CString neutral = value.Format();
  CString decimal = LocaleText(LOCALE_SDECIMAL, L",");
  CString thousand = LocaleText(LOCALE_STHOUSAND, L" ");
  NUMBERFMTW format{};
  format.NumDigits = static_cast<UINT>(decimals < 0 ? 0 : decimals > 4 ? 4 : decimals);
  format.LeadingZero = 1;
  format.Grouping = 3;
  format.lpDecimalSep = const_cast<LPWSTR>(decimal.GetString());
  format.lpThousandSep = const_cast<LPWSTR>(thousand.GetString());
  format.NegativeOrder = 1;
  wchar_t out[64] = {};
  if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, neutral.GetString(), &format, out, 64) <= 0) return neutral;
  return CString(out);
}

bool FlgParseAmount(const wchar_t* text, COleCurrency& value) {
  const CString decimal = LocaleText(LOCALE_SDECIMAL, L",");
  const CString thousand = LocaleText(LOCALE_STHOUSAND, L" ");
  CString neutral;
  for (const wchar_t* p = text ? text : L""; *p; ++p) {
    const wchar_t c = *p;
    if (c == L' ' || c == 0xA0 || c == 0x202F) continue;
    if (!decimal.IsEmpty() && c == decimal[0]) {
      neutral += L'.';
    } else if (c == L'.') {
      neutral += L'.';
    } else if (!thousand.IsEmpty() && c == thousand[0]) {
      continue;
    } else {
      neutral += c;
    }
  }
  if (neutral.IsEmpty()) {
    value = COleCurrency();
    value.SetStatus(COleCurrency::null);
    return true;
  }
  return value.ParseCurrency(neutral.GetString());
}
