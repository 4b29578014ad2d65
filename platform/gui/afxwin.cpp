// The class library's windows, dialogs, drawing wrappers and data exchange.
#include "platform/gui/afxwin.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "platform/com/com.h"
#include "platform/gui/internal.h"

using namespace platform::gui::detail;

namespace {

// Temporary wrappers made by FromHandle: kept per handle, pruned once their handle is gone.
template <class Map, class Alive>
void Prune(Map& map, Alive alive) {
  if (map.size() < 512) return;
  for (auto it = map.begin(); it != map.end();) {
    if (!alive(it->first)) it = map.erase(it);
    else ++it;
  }
}

std::map<HGDIOBJ, std::unique_ptr<CGdiObject>>& GdiTemporaries() {
  static auto* map = new std::map<HGDIOBJ, std::unique_ptr<CGdiObject>>;
  return *map;
}

std::map<HDC, std::unique_ptr<CDC>>& DcTemporaries() {
  static auto* map = new std::map<HDC, std::unique_ptr<CDC>>;
  return *map;
}

std::map<HMENU, std::unique_ptr<CMenu>>& MenuTemporaries() {
  static auto* map = new std::map<HMENU, std::unique_ptr<CMenu>>;
  return *map;
}

const bool kMessageBoxInstalled = [] {
  platform::SetMessageBoxFunction(
      [](LPCWSTR text, LPCWSTR caption, UINT type) { return MessageBoxW(GetActiveWindow(), text, caption, type); });
  return true;
}();

void ReportHandlerFailure(HWND h, const std::wstring& text) {
  MessageBoxW(IsWindow(h) ? h : nullptr, text.c_str(), L"Błąd", MB_OK | MB_ICONERROR);
}

}  // namespace

template <class T>
T* TemporaryGdiObject(HGDIOBJ object) {
  if (!object) return nullptr;
  auto& map = GdiTemporaries();
  Prune(map, [](HGDIOBJ h) { return GetObjectType(h) != 0; });
  auto it = map.find(object);
  if (it != map.end()) return static_cast<T*>(it->second.get());
  auto wrapper = std::make_unique<T>();
  wrapper->m_hObject = object;
  wrapper->m_temporary = true;
  T* raw = wrapper.get();
  map[object] = std::move(wrapper);
  return raw;
}

CMenu* TemporaryMenu(HMENU menu) {
  auto& map = MenuTemporaries();
  Prune(map, [](HMENU h) { return IsMenu(h) != FALSE; });
  auto it = map.find(menu);
  if (it != map.end()) return it->second.get();
  auto wrapper = std::make_unique<CMenu>();
  wrapper->m_hMenu = menu;
  wrapper->m_temporary = true;
  CMenu* raw = wrapper.get();
  map[menu] = std::move(wrapper);
  return raw;
}

CWnd* TemporaryWindow(HWND h) {
  Window* w = FindWindow(h);
  if (!w) return nullptr;
  if (!w->temporary) {
    w->temporary = std::make_unique<CWnd>();
    w->temporary->m_hWnd = h;
    w->temporary->m_temporary = true;
  }
  return w->temporary.get();
}

void AfxThrowUserException() { throw new CUserException; }

// --- GDI objects

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (!object) return FALSE;
  DeleteObject();
  m_hObject = object;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  HGDIOBJ h = m_hObject;
  m_hObject = nullptr;
  return m_temporary ? TRUE : ::DeleteObject(h);
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) { return TemporaryGdiObject<CGdiObject>(object); }
CPen* CPen::FromHandle(HPEN pen) { return TemporaryGdiObject<CPen>(pen); }
CBrush* CBrush::FromHandle(HBRUSH brush) { return TemporaryGdiObject<CBrush>(brush); }
CFont* CFont::FromHandle(HFONT font) { return TemporaryGdiObject<CFont>(font); }
CBitmap* CBitmap::FromHandle(HBITMAP bitmap) { return TemporaryGdiObject<CBitmap>(bitmap); }

BOOL CFont::CreatePointFont(int tenths, LPCWSTR face, CDC*) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(tenths, 96, 720);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  if (face) std::wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

// --- device contexts

CDC::~CDC() {
  if (m_owned && m_hDC) ::DeleteDC(m_hDC);
}

BOOL CDC::Attach(HDC dc) {
  if (!dc) return FALSE;
  m_hDC = dc;
  m_owned = false;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = nullptr;
  m_owned = false;
  return h;
}

CDC* CDC::FromHandle(HDC dc) {
  if (!dc) return nullptr;
  auto& map = DcTemporaries();
  Prune(map, [](HDC h) { return FindDc(h) != nullptr; });
  auto it = map.find(dc);
  if (it != map.end()) return it->second.get();
  auto wrapper = std::make_unique<CDC>();
  wrapper->m_hDC = dc;
  CDC* raw = wrapper.get();
  map[dc] = std::move(wrapper);
  return raw;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  HDC h = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
  if (!h) return FALSE;
  if (m_owned && m_hDC) ::DeleteDC(m_hDC);
  m_hDC = h;
  m_owned = true;
  return TRUE;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  const BOOL ok = ::DeleteDC(m_hDC);
  m_hDC = nullptr;
  m_owned = false;
  return ok;
}

CWnd* CDC::GetWindow() const { return CWnd::FromHandle(::WindowFromDC(m_hDC)); }

CPen* CDC::SelectObject(CPen* pen) {
  return pen ? CPen::FromHandle(static_cast<HPEN>(::SelectObject(m_hDC, pen->m_hObject))) : nullptr;
}
CBrush* CDC::SelectObject(CBrush* brush) {
  return brush ? CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, brush->m_hObject))) : nullptr;
}
CFont* CDC::SelectObject(CFont* font) {
  return font ? CFont::FromHandle(static_cast<HFONT>(::SelectObject(m_hDC, font->m_hObject))) : nullptr;
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return bitmap ? CBitmap::FromHandle(static_cast<HBITMAP>(::SelectObject(m_hDC, bitmap->m_hObject))) : nullptr;
}
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
}

void CDC::FillSolidRect(LPCRECT r, COLORREF c) {
  if (!r) return;
  ::SetBkColor(m_hDC, c);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, r, L"", 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c) {
  RECT r{std::min(x, x + cx), std::min(y, y + cy), std::max(x, x + cx), std::max(y, y + cy)};
  FillSolidRect(&r, c);
}

void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight) {
  if (r) Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) {
  Attach(::BeginPaint(m_hWnd, &m_ps));
}
CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }
CClientDC::~CClientDC() { ::ReleaseDC(m_hWnd, Detach()); }

CWindowDC::CWindowDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) { Attach(::GetWindowDC(m_hWnd)); }
CWindowDC::~CWindowDC() { ::ReleaseDC(m_hWnd, Detach()); }

// --- menus

CMenu::~CMenu() {
  if (m_hMenu && !m_temporary) ::DestroyMenu(m_hMenu);
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  HMENU h = m_hMenu;
  m_hMenu = nullptr;
  return ::DestroyMenu(h);
}

BOOL CMenu::Attach(HMENU menu) {
  if (!menu) return FALSE;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU h = m_hMenu;
  m_hMenu = nullptr;
  return h;
}

CMenu* CMenu::FromHandle(HMENU menu) { return menu ? TemporaryMenu(menu) : nullptr; }

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
  const int n = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetMenuStringW(m_hMenu, item, buffer.data(), n + 1, flags);
  buffer.resize(static_cast<size_t>(got));
  text = buffer.c_str();
  return got;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect) {
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
}

// --- windows

namespace platform::gui::detail {
void AttachCwnd(HWND h, CWnd* object) {
  Window* w = FindWindow(h);
  if (!w || !object) return;
  w->cwnd = object;
  object->m_hWnd = h;
  object->m_pfnSuper = w->proc;
  w->proc = AfxWndProc;
}
}  // namespace platform::gui::detail

LRESULT AfxWndProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* w = CWnd::FromHandlePermanent(h);
  if (!w) return ::DefWindowProcW(h, message, wParam, lParam);
  try {
    return w->WindowProc(message, wParam, lParam);
  } catch (CException* e) {
    e->Delete();   // a user exception was shown to the user already
  } catch (const _com_error& e) {
    _bstr_t description = e.Description();
    CString text;
    if (static_cast<const wchar_t*>(description)) text = static_cast<const wchar_t*>(description);
    else text.Format(L"Błąd 0x%08X", static_cast<unsigned>(e.Error()));
    ReportHandlerFailure(h, text.GetString());
  } catch (const std::exception& e) {
    ReportHandlerFailure(h, platform::Utf8ToWide(e.what()));
  } catch (...) {
    ReportHandlerFailure(h, L"Nieoczekiwany błąd.");
  }
  return 0;
}

CWnd::~CWnd() {
  if (!m_temporary && m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND h) {
  if (!h) return nullptr;
  if (CWnd* w = FromHandlePermanent(h)) return w;
  return TemporaryWindow(h);
}

CWnd* CWnd::FromHandlePermanent(HWND h) {
  Window* w = FindWindow(h);
  return w ? w->cwnd : nullptr;
}

BOOL CWnd::Attach(HWND h) {
  Window* w = FindWindow(h);
  if (!w || w->cwnd || m_hWnd) return FALSE;
  w->cwnd = this;
  m_hWnd = h;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  if (Window* w = FindWindow(h); w && w->cwnd == this) w->cwnd = nullptr;
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::SubclassWindow(HWND h) {
  Window* w = FindWindow(h);
  if (!w || w->cwnd || m_hWnd) return FALSE;
  AttachCwnd(h, this);
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent) return FALSE;
  HWND control = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
  return control ? SubclassWindow(control) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  HWND h = m_hWnd;
  Window* w = FindWindow(h);
  if (!w || w->cwnd != this) return nullptr;
  if (m_pfnSuper) w->proc = m_pfnSuper;
  m_pfnSuper = nullptr;
  w->cwnd = nullptr;
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id, void*) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, nullptr);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, LPVOID param) {
  if (m_hWnd) return FALSE;
  SetCreationHook(this);
  HMENU menuOrId = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
  HWND h = ::CreateWindowExW(exStyle, className ? className : L"AfxWnd", windowName, style, rect.left, rect.top,
                             rect.right - rect.left, rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                             menuOrId, AfxGetInstanceHandle(), param);
  TakeCreationHook();
  if (!h) {
    m_hWnd = nullptr;
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

void CWnd::GetWindowText(CString& text) const {
  const int n = ::GetWindowTextLengthW(m_hWnd);
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(m_hWnd, buffer.data(), n + 1);
  buffer.resize(static_cast<size_t>(got));
  text = buffer.c_str();
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  text.Empty();
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (!control) return 0;
  FromHandle(control)->GetWindowText(text);
  return text.GetLength();
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font ? font->m_hObject : nullptr), redraw);
}

CFont* CWnd::GetFont() const { return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  const DWORD style = GetStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  const DWORD style = GetExStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(changed));
  if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

void CWnd::ScreenToClient(LPRECT r) const {
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&r->left));
  ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&r->right));
}

void CWnd::ClientToScreen(LPRECT r) const {
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&r->left));
  ::ClientToScreen(m_hWnd, reinterpret_cast<LPPOINT>(&r->right));
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
  RECT self{}, around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  ::GetWindowRect(m_hWnd, &self);
  HWND owner = alternateOwner ? alternateOwner->m_hWnd : ::GetParent(m_hWnd);
  if (owner) ::GetWindowRect(owner, &around);
  const int w = self.right - self.left, h = self.bottom - self.top;
  POINT at{around.left + (around.right - around.left - w) / 2, around.top + (around.bottom - around.top - h) / 2};
  if (GetStyle() & WS_CHILD) ::ScreenToClient(::GetParent(m_hWnd), &at);
  ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
CDC* CWnd::GetWindowDC() { return CDC::FromHandle(::GetWindowDC(m_hWnd)); }
int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (CUserException* e) {
    e->Delete();
    return FALSE;
  }
  return TRUE;
}

namespace {
struct CurrentMessage {
  CurrentMessage(const MSG*& slot, const MSG* message) : m_slot(slot), m_saved(slot) { slot = message; }
  ~CurrentMessage() { m_slot = m_saved; }
  const MSG*& m_slot;
  const MSG* m_saved;
};
}  // namespace

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{m_hWnd, message, wParam, lParam, 0, POINT{}};
  if (message == WM_NCDESTROY) {
    // The object may be gone after this: nothing of it is touched on the way back.
    m_currentMessage = &msg;
    OnNcDestroy();
    return 0;
  }
  CurrentMessage current(m_currentMessage, &msg);
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (!m_currentMessage) return 0;
  const MSG m = *m_currentMessage;
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

void CWnd::OnNcDestroy() {
  const HWND h = m_hWnd;
  Default();
  if (Window* w = FindWindow(h); w && w->cwnd == this) {
    if (m_pfnSuper) w->proc = m_pfnSuper;
    w->cwnd = nullptr;
  }
  m_hWnd = nullptr;
  m_pfnSuper = nullptr;
  m_currentMessage = nullptr;
  PostNcDestroy();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT r = 0;
  switch (message) {
    case WM_COMMAND:
      if (!OnCommand(wParam, lParam)) return FALSE;
      break;
    case WM_NOTIFY:
      if (!OnNotify(wParam, lParam, &r)) return FALSE;
      break;
    case WM_CREATE: r = OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam)); break;
    case WM_DESTROY: OnDestroy(); break;
    case WM_PAINT: OnPaint(); break;
    case WM_ERASEBKGND: r = OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam))); break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      CWnd* child = FromHandlePermanent(control);
      if (child && child != this && child->OnChildNotify(message, wParam, lParam, &r)) break;
      r = reinterpret_cast<LRESULT>(OnCtlColor(CDC::FromHandle(reinterpret_cast<HDC>(wParam)), FromHandle(control),
                                               message - WM_CTLCOLORMSGBOX));
      break;
    }
    case WM_CONTEXTMENU: OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)), CPoint(lParam)); break;
    case WM_SIZE: OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); break;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
      CWnd* child = item ? FromHandlePermanent(item->hwndItem) : nullptr;
      if (!(child && child != this && child->OnChildNotify(message, wParam, lParam, &r)))
        OnDrawItem(static_cast<int>(wParam), item);
      r = TRUE;
      break;
    }
    case WM_SETFOCUS: OnSetFocus(FromHandle(reinterpret_cast<HWND>(wParam))); break;
    case WM_KILLFOCUS: OnKillFocus(FromHandle(reinterpret_cast<HWND>(wParam))); break;
    case WM_SHOWWINDOW: OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); break;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam)); break;
    case WM_MOUSELEAVE: OnMouseLeave(); break;
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam)); break;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam)); break;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(static_cast<UINT>(wParam), CPoint(lParam)); break;
    case WM_MOUSEWHEEL: {
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      r = OnMouseWheel(GET_KEYSTATE_WPARAM(wParam), GET_WHEEL_DELTA_WPARAM(wParam), CPoint(at));
      break;
    }
    case WM_KEYDOWN: OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      auto* bar = dynamic_cast<CScrollBar*>(FromHandlePermanent(reinterpret_cast<HWND>(lParam)));
      const UINT position = static_cast<UINT>(static_cast<short>(HIWORD(wParam)));
      if (message == WM_HSCROLL) OnHScroll(LOWORD(wParam), position, bar);
      else OnVScroll(LOWORD(wParam), position, bar);
      break;
    }
    case WM_GETDLGCODE: r = static_cast<LRESULT>(OnGetDlgCode()); break;
    case WM_SETCURSOR:
      r = OnSetCursor(FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); break;
    default: return FALSE;
  }
  if (result) *result = r;
  return TRUE;
}

int CWnd::GetScrollLimit(int bar) const {
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
  if (!::GetScrollInfo(m_hWnd, bar, &info)) return 0;
  return info.nMax - std::max(static_cast<int>(info.nPage) - 1, 0);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control) {
    CWnd* child = FromHandlePermanent(control);
    LRESULT r = 0;
    if (child && child != this && child->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
  } else {
    code = CN_COMMAND;
  }
  return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (!header) return FALSE;
  CWnd* child = FromHandlePermanent(header->hwndFrom);
  if (child && child != this && child->OnChildNotify(WM_NOTIFY, 0, lParam, result)) return TRUE;
  AFX_NOTIFY notify{result, header};
  return OnCmdMsg(static_cast<UINT>(header->idFrom), MAKELONG(header->code, WM_NOTIFY), &notify, nullptr);
}

// --- dialogs

CDialog::CDialog(LPCWSTR templateName, CWnd* parent) : m_pParentWnd(parent) { SetTemplate(templateName); }
CDialog::CDialog(UINT templateId, CWnd* parent) : m_pParentWnd(parent) { SetTemplate(MAKEINTRESOURCEW(templateId)); }

CDialog::~CDialog() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

void CDialog::SetTemplate(LPCWSTR name) {
  if (!name) {
    m_templateId = 0;
    m_templateText.clear();
  } else if (IS_INTRESOURCE(name)) {
    m_templateId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(name));
    m_templateText.clear();
  } else {
    m_templateId = 0;
    m_templateText = name;
  }
}

std::wstring CDialog::TemplateName() const {
  return m_templateId ? L"#" + std::to_wstring(m_templateId) : m_templateText;
}

LPCWSTR CDialog::TemplateResource() const {
  if (m_templateId) return MAKEINTRESOURCEW(m_templateId);
  return m_templateText.empty() ? nullptr : m_templateText.c_str();
}

BOOL CDialog::Create(LPCWSTR templateName, CWnd* parent) {
  if (m_hWnd) return FALSE;
  if (templateName) SetTemplate(templateName);
  if (parent) m_pParentWnd = parent;
  LPCWSTR name = TemplateResource();
  HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
  const platform::gui::DialogTemplate* t = platform::gui::FindDialogTemplate(module, name);
  if (!t) return FALSE;
  SetCreationHook(this);
  HWND h = CreateDialogNamed(module, *t, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, nullptr, 0, TemplateName(), false);
  TakeCreationHook();
  return h != nullptr && m_hWnd == h;
}

BOOL CDialog::CreateIndirect(const platform::gui::DialogTemplate& dialog, CWnd* parent) {
  if (m_hWnd) return FALSE;
  if (parent) m_pParentWnd = parent;
  SetCreationHook(this);
  HWND h = CreateDialogNamed(AfxGetResourceHandle(), dialog, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, nullptr, 0,
                             TemplateName(), false);
  TakeCreationHook();
  return h != nullptr && m_hWnd == h;
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd) return -1;
  LPCWSTR name = TemplateResource();
  HINSTANCE module = AfxFindResourceHandle(name, RT_DIALOG);
  const platform::gui::DialogTemplate* t = platform::gui::FindDialogTemplate(module, name);
  if (!t) return -1;
  SetCreationHook(this);
  const INT_PTR result = RunDialogBox(module, *t, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, nullptr, 0, TemplateName());
  TakeCreationHook();
  return result;
}

INT_PTR CDialog::DoModalIndirect(const platform::gui::DialogTemplate& dialog, const std::wstring& name) {
  if (m_hWnd) return -1;
  SetCreationHook(this);
  const INT_PTR result =
      RunDialogBox(AfxGetResourceHandle(), dialog, m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, nullptr, 0, name);
  TakeCreationHook();
  return result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (!msg || !m_hWnd) return FALSE;
  if (msg->message < WM_KEYDOWN || msg->message > WM_SYSKEYDOWN + 4) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_INITDIALOG) {
    const BOOL focus = OnInitDialog();
    if (result) *result = focus;
    return TRUE;
  }
  return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (code == CN_COMMAND && !extra) {
    if (id == IDOK) {
      OnOK();
      return TRUE;
    }
    if (id == IDCANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return CWnd::OnCmdMsg(id, code, extra, handlerInfo);
}

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control) ::SetFocus(control->m_hWnd);
}

void CDialog::NextDlgCtrl() const {
  if (HWND next = ::GetNextDlgTabItem(m_hWnd, ::GetFocus(), FALSE)) ::SetFocus(next);
}

// --- data exchange of the class library

HWND CDataExchange::PrepareCtrl(int id) {
  HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, id) : nullptr;
  if (!control) Fail();
  m_idLastControl = control;
  return control;
}

void CDataExchange::Fail() {
  if (!m_bSaveAndValidate) throw new CUserException;
  if (m_idLastControl) ::SetFocus(m_idLastControl);
  throw new CUserException;
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) CWnd::FromHandle(control)->GetWindowText(value);
  else ::SetWindowTextW(control, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    ::SetWindowTextW(control, std::to_wstring(value).c_str());
    return;
  }
  CString text;
  CWnd::FromHandle(control)->GetWindowText(text);
  text.Trim();
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(text, &end, 10);
  if (text.IsEmpty() || !end || *end || v < INT32_MIN || v > INT32_MAX) {
    AfxMessageBox(L"Wprowadź liczbę całkowitą.", MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = static_cast<int>(v);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
  else ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
  else ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_LBIndex(CDataExchange* dx, int id, int& index) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) index = static_cast<int>(::SendMessageW(control, LB_GETCURSEL, 0, 0));
  else ::SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    CWnd::FromHandle(control)->GetWindowText(value);
    return;
  }
  if (::SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.GetString())) == CB_ERR)
    ::SetWindowTextW(control, value);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  if (!control.SubclassWindow(dx->PrepareCtrl(id))) dx->Fail();
}

void CComboBox::GetLBText(int index, CString& text) const {
  const int n = GetLBTextLen(index);
  if (n < 0) {
    text.Empty();
    return;
  }
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(n));
  text = buffer.c_str();
}

void CListBox::GetText(int index, CString& text) const {
  const int n = static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
  if (n < 0) {
    text.Empty();
    return;
  }
  std::wstring buffer(static_cast<size_t>(n) + 1, L'\0');
  SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(n));
  text = buffer.c_str();
}

// --- application helpers

int AfxMessageBox(UINT textId, UINT type, UINT helpId) {
  (void)kMessageBoxInstalled;
  CString text;
  text.LoadString(textId);
  return AfxMessageBox(text.GetString(), type, helpId);
}

LPCWSTR AfxRegisterWndClass(UINT style, HCURSOR cursor, HBRUSH background, HICON) {
  static auto* names = new std::set<std::wstring>;
  CString name;
  name.Format(L"Afx:%x:%x:%x", style, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(cursor)),
              static_cast<unsigned>(reinterpret_cast<UINT_PTR>(background)));
  auto [it, added] = names->insert(name.GetString());
  if (added) {
    WNDCLASSW wc{style, ::DefWindowProcW, 0, 0, nullptr, nullptr, cursor, background, nullptr, it->c_str()};
    ::RegisterClassW(&wc);
  }
  return it->c_str();
}
