// Windows of the headless layer: classes, creation and destruction, messages, geometry, state.
#include <algorithm>
#include <cwchar>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_set>

#include "platform/gui/internal.h"
#include "platform/strings/strings.h"

namespace platform::gui::detail {
namespace {

std::wstring Lower(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) out.push_back(platform::ToLowerChar(c));
  return out;
}

std::map<std::wstring, WindowClass>& Classes() {
  static auto* classes = new std::map<std::wstring, WindowClass>;
  return *classes;
}

struct State {
  HWND desktop = nullptr;
  HWND focus = nullptr;
  HWND active = nullptr;
  std::vector<HWND> topLevels;   // creation order
  std::deque<MSG> posted;
  HCURSOR cursor = nullptr;
  bool cursorSet = false;   // until a cursor is set the arrow is current
  std::map<std::wstring, HCURSOR> cursors;
  std::map<std::wstring, HICON> icons;
};

State& S() {
  static auto* state = new State;
  return *state;
}

thread_local CWnd* t_creationHook = nullptr;

// What other threads may ask of the layer: whether a window exists, and invalidation marks that
// the user-interface thread applies. Guarded by one lock, apart from the handle table.
struct Shared {
  std::mutex lock;
  std::unordered_set<DWORD> live;     // the windows in the handle table
  std::unordered_set<DWORD> marked;   // invalidated by another thread
  std::thread::id owner;              // the thread that made the first window
};

Shared& Sh() {
  static auto* shared = new Shared;
  return *shared;
}

void AddLive(DWORD h) {
  Shared& sh = Sh();
  std::lock_guard<std::mutex> l(sh.lock);
  if (sh.owner == std::thread::id()) sh.owner = std::this_thread::get_id();
  sh.live.insert(h);
}

void RemoveLive(DWORD h) {
  Shared& sh = Sh();
  std::lock_guard<std::mutex> l(sh.lock);
  sh.live.erase(h);
  sh.marked.erase(h);
}

bool OnWindowThread() {
  Shared& sh = Sh();
  std::lock_guard<std::mutex> l(sh.lock);
  return sh.owner == std::thread::id() || sh.owner == std::this_thread::get_id();
}

std::vector<HWND>* SiblingsOf(Window* w) {
  if (w->parent) {
    Window* p = FindWindow(w->parent);
    return p ? &p->children : nullptr;
  }
  return &S().topLevels;
}

void Unlink(Window* w) {
  if (std::vector<HWND>* list = SiblingsOf(w)) {
    const HWND h = ToHandle<HWND>(w->handle);
    list->erase(std::remove(list->begin(), list->end(), h), list->end());
  }
}

void InvalidateTree(Window* w) {
  w->needsPaint = true;
  for (HWND c : w->children)
    if (Window* cw = FindWindow(c)) InvalidateTree(cw);
}

bool NeedsPaint(Window* w) {
  if (w->needsPaint) return true;
  for (HWND c : w->children)
    if (Window* cw = FindWindow(c); cw && NeedsPaint(cw)) return true;
  return false;
}

struct DepthGuard {
  DepthGuard() { ++g_deliveryDepth; }
  ~DepthGuard() {
    if (--g_deliveryDepth == 0) CollectRetired();
  }
};

void SendSize(HWND h) {
  Window* w = FindWindow(h);
  if (!w) return;
  const RECT c = ClientRectInWindow(*w);
  Deliver(h, WM_SIZE, 0, MAKELONG(c.right - c.left, c.bottom - c.top));
}

}  // namespace

const WindowClass* FindClass(const std::wstring& name) {
  RegisterSystemClasses();
  auto& classes = Classes();
  auto it = classes.find(Lower(name));
  return it == classes.end() ? nullptr : &it->second;
}

RECT NonClientInsets(DWORD style, DWORD exStyle, bool menuBar) {
  int frame = 0;
  if (style & WS_THICKFRAME) frame = GetSystemMetrics(SM_CXFRAME);
  else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) frame = GetSystemMetrics(SM_CXDLGFRAME);
  else if (style & WS_BORDER) frame = GetSystemMetrics(SM_CXBORDER);
  if (exStyle & WS_EX_CLIENTEDGE) frame += GetSystemMetrics(SM_CXEDGE);
  if (exStyle & WS_EX_STATICEDGE) frame += 1;
  RECT r{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION)
    r.top += GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (menuBar) r.top += GetSystemMetrics(SM_CYMENU);
  return r;
}

bool HasMenuBar(const Window& w) { return !(w.style & WS_CHILD) && w.menu && FindMenu(w.menu); }

DWORD ShownScrollBars(const Window& w) {
  // A combo box's scroll bar styles are its dropped list's: the closed box shows none.
  if (w.cls && platform::CompareNoCase(w.cls->name, L"ComboBox") == 0) return 0;
  return w.style & (WS_HSCROLL | WS_VSCROLL);
}

RECT ClientRectInWindow(const Window& w) {
  const RECT in = NonClientInsets(w.style, w.exStyle, HasMenuBar(w));
  const LONG width = w.rect.right - w.rect.left, height = w.rect.bottom - w.rect.top;
  RECT r{in.left, in.top, width - in.right, height - in.bottom};
  // Shown scroll bars take their room from the client area.
  const DWORD bars = ShownScrollBars(w);
  if (bars & WS_VSCROLL) r.right -= GetSystemMetrics(SM_CXVSCROLL);
  if (bars & WS_HSCROLL) r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

POINT ScreenOrigin(const Window& w) {
  if ((w.style & WS_CHILD) && w.parent) {
    if (Window* p = FindWindow(w.parent)) {
      const POINT o = ClientScreenOrigin(*p);
      return POINT{o.x + w.rect.left, o.y + w.rect.top};
    }
  }
  return POINT{w.rect.left, w.rect.top};
}

POINT ClientScreenOrigin(const Window& w) {
  const POINT o = ScreenOrigin(w);
  const RECT c = ClientRectInWindow(w);
  return POINT{o.x + c.left, o.y + c.top};
}

Window* TopLevel(Window* w) {
  while (w && (w->style & WS_CHILD) && w->parent) {
    Window* p = FindWindow(w->parent);
    if (!p) break;
    w = p;
  }
  return w;
}

POINT SurfaceOrigin(Window* w) {
  Window* top = TopLevel(w);
  const POINT a = ScreenOrigin(*w), b = ScreenOrigin(*top);
  return POINT{a.x - b.x, a.y - b.y};
}

Surface& TopSurface(Window* top) {
  const int width = top->rect.right - top->rect.left, height = top->rect.bottom - top->rect.top;
  if (!top->surface) top->surface = std::make_unique<Surface>(width, height, ToRgb(GetSysColor(COLOR_BTNFACE)));
  else top->surface->Resize(width, height, ToRgb(GetSysColor(COLOR_BTNFACE)));
  return *top->surface;
}

Surface& ScreenSurface() {
  static auto* screen = new Surface(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                    ToRgb(GetSysColor(COLOR_DESKTOP)));
  return *screen;
}

bool IsShown(Window* w) {
  for (; w; w = (w->style & WS_CHILD) && w->parent ? FindWindow(w->parent) : nullptr)
    if (!(w->style & WS_VISIBLE)) return false;
  return true;
}

LRESULT Deliver(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w || !w->proc) return 0;
  WNDPROC proc = w->proc;
  DepthGuard guard;
  return proc(h, message, wParam, lParam);
}

void SetCreationHook(CWnd* object) { t_creationHook = object; }
CWnd* TakeCreationHook() {
  CWnd* hook = t_creationHook;
  t_creationHook = nullptr;
  return hook;
}

void SetTemplateName(HWND h, const std::wstring& name) {
  if (Window* w = FindWindow(h)) w->templateName = name;
}

std::deque<MSG>& PostedQueue() { return S().posted; }

void ApplyMarkedInvalidations() {
  std::unordered_set<DWORD> marked;
  {
    Shared& sh = Sh();
    std::lock_guard<std::mutex> l(sh.lock);
    marked.swap(sh.marked);
  }
  for (DWORD h : marked)
    if (Window* w = FindWindow(ToHandle<HWND>(h))) InvalidateTree(w);
}

void ResetWindows() {
  State& s = S();
  std::vector<HWND> tops = s.topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) DestroyWindow(*it);
  s.posted.clear();
  s.focus = s.active = nullptr;
  s.cursor = nullptr;
  s.cursorSet = false;
  for (DWORD h : LiveHandles(Kind::Menu)) DestroyMenu(ToHandle<HMENU>(h));
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

// --- classes

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  RegisterSystemClasses();
  auto& classes = Classes();
  const std::wstring key = Lower(wc->lpszClassName);
  auto it = classes.find(key);
  if (it != classes.end()) {
    if (it->second.system) return 0;
    // The same class registered again by the same module keeps its first registration.
    if (it->second.instance == wc->hInstance) return 0;
  }
  WindowClass c;
  c.name = wc->lpszClassName;
  c.proc = wc->lpfnWndProc;
  c.background = wc->hbrBackground;
  c.cursor = wc->hCursor;
  c.instance = wc->hInstance;
  c.style = wc->style;
  classes[key] = c;
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
  if (!name) return FALSE;
  auto& classes = Classes();
  auto it = classes.find(Lower(name));
  if (it == classes.end() || it->second.system) return FALSE;
  classes.erase(it);
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR name, WNDCLASSW* wc) {
  if (!name || !wc) return FALSE;
  const WindowClass* c = FindClass(name);
  if (!c) return FALSE;
  *wc = WNDCLASSW{c->style, c->proc, 0, 0, c->instance, nullptr, c->cursor, c->background, nullptr, c->name.c_str()};
  return TRUE;
}

namespace platform::gui::detail {
void RegisterClassDirect(const std::wstring& name, WNDPROC proc, HBRUSH background) {
  WindowClass c;
  c.name = name;
  c.proc = proc;
  c.background = background;
  c.system = true;
  Classes()[Lower(name)] = c;
}
}  // namespace platform::gui::detail

// --- creation and destruction

HWND GetDesktopWindow() {
  State& s = S();
  if (!s.desktop) {
    auto* w = new Window;
    w->className = L"#32769";
    w->style = WS_VISIBLE | WS_CLIPCHILDREN;
    w->rect = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    w->proc = DefWindowProcW;
    w->stock = true;
    Register(w);
    AddLive(w->handle);
    s.desktop = ToHandle<HWND>(w->handle);
  }
  return s.desktop;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param) {
  CWnd* hook = TakeCreationHook();
  if (!className) return nullptr;
  const WindowClass* cls = FindClass(className);
  if (!cls) return nullptr;
  if (parent == GetDesktopWindow()) parent = nullptr;
  Window* parentWindow = parent ? FindWindow(parent) : nullptr;
  if (parent && !parentWindow) return nullptr;
  if ((style & WS_CHILD) && !parentWindow) return nullptr;

  auto* w = new Window;
  w->cls = cls;
  w->className = cls->name;
  w->style = style;
  w->exStyle = exStyle;
  w->text = text ? text : L"";
  w->proc = cls->proc;
  w->instance = instance;
  if (x == CW_USEDEFAULT) x = 100, y = 100;
  if (width == CW_USEDEFAULT) width = 400, height = 300;
  w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
  if (style & WS_CHILD) {
    w->parent = parent;
    w->id = static_cast<LONG_PTR>(reinterpret_cast<INT_PTR>(menuOrId));
  } else {
    w->owner = parent;
    if (menuOrId && FindMenu(menuOrId)) w->menu = menuOrId;
  }
  Register(w);
  AddLive(w->handle);
  const HWND h = ToHandle<HWND>(w->handle);
  if (parentWindow) parentWindow->children.push_back(h);
  else S().topLevels.push_back(h);
  if (Menu* m = FindMenu(w->menu)) m->window = h;
  if (hook) AttachCwnd(h, hook);

  CREATESTRUCTW cs{param, instance, w->menu, parent, height, width, y, x, static_cast<LONG>(style), text, className,
                   exStyle};
  if (!Deliver(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) || !IsWindow(h) ||
      Deliver(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (IsWindow(h)) SendSize(h);
  if (!IsWindow(h)) return nullptr;
  // A top-level window made visible becomes the active one, as when it is shown.
  if (!(style & WS_CHILD) && (style & WS_VISIBLE)) S().active = h;
  return h;
}

BOOL DestroyWindow(HWND h) {
  Window* w = FindWindow(h);
  if (!w || w->destroying || h == S().desktop) return FALSE;
  w->destroying = true;
  State& s = S();
  // Owned pop-ups go first.
  std::vector<HWND> owned;
  for (HWND t : s.topLevels)
    if (Window* tw = FindWindow(t); tw && tw->owner == h) owned.push_back(t);
  for (HWND o : owned) DestroyWindow(o);
  if (s.focus && (s.focus == h || IsChild(h, s.focus))) s.focus = nullptr;
  Deliver(h, WM_DESTROY, 0, 0);
  w = FindWindow(h);
  if (!w) return TRUE;
  std::vector<HWND> children = w->children;
  for (HWND c : children) DestroyWindow(c);
  Deliver(h, WM_NCDESTROY, 0, 0);
  w = FindWindow(h);
  if (!w) return TRUE;
  if (w->modal) w->ended = true;
  if (w->menu && !(w->style & WS_CHILD) && FindMenu(w->menu)) DestroyMenu(w->menu);
  if (s.active == h) s.active = w->owner && IsWindow(w->owner) ? w->owner : nullptr;
  Unlink(w);
  s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(), [h](const MSG& m) { return m.hwnd == h; }),
                 s.posted.end());
  RemoveLive(w->handle);
  Retire(w->handle);
  return TRUE;
}

BOOL IsWindow(HWND h) {
  if (!h) return FALSE;
  Shared& sh = Sh();
  std::lock_guard<std::mutex> l(sh.lock);
  return sh.live.count(FromHandle(h)) ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND h) {
  Window* w = FindWindow(h);
  while (w && (w->style & WS_CHILD) && w->parent) {
    if (w->parent == parent) return TRUE;
    w = FindWindow(w->parent);
  }
  return FALSE;
}

HWND GetParent(HWND h) {
  Window* w = FindWindow(h);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return nullptr;
}

HWND SetParent(HWND h, HWND parent) {
  Window* w = FindWindow(h);
  if (!w || h == parent) return nullptr;
  if (parent == GetDesktopWindow()) parent = nullptr;
  Window* p = parent ? FindWindow(parent) : nullptr;
  if (parent && !p) return nullptr;
  const HWND old = w->parent ? w->parent : GetDesktopWindow();
  Unlink(w);
  w->parent = parent;
  if (p) {
    p->children.push_back(h);
    w->style |= WS_CHILD;
  } else {
    S().topLevels.push_back(h);
    w->style &= ~static_cast<DWORD>(WS_CHILD);
  }
  InvalidateTree(w);
  return old;
}

HWND GetAncestor(HWND h, UINT flags) {
  Window* w = FindWindow(h);
  if (!w) return nullptr;
  if (flags == GA_PARENT) return (w->style & WS_CHILD) && w->parent ? w->parent : GetDesktopWindow();
  Window* top = TopLevel(w);
  return ToHandle<HWND>(top->handle);
}

HWND GetWindow(HWND h, UINT relation) {
  Window* w = FindWindow(h);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation == GW_OWNER) return w->owner;
  std::vector<HWND>* list = SiblingsOf(w);
  if (!list || list->empty()) return nullptr;
  auto it = std::find(list->begin(), list->end(), h);
  switch (relation) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return it == list->end() || it + 1 == list->end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == list->end() || it == list->begin() ? nullptr : *(it - 1);
    default: return nullptr;
  }
}

HWND GetTopWindow(HWND h) {
  if (!h || h == GetDesktopWindow()) return S().topLevels.empty() ? nullptr : S().topLevels.front();
  return GetWindow(h, GW_CHILD);
}
HWND GetNextWindow(HWND h, UINT relation) { return GetWindow(h, relation); }

int GetClassNameW(HWND h, LPWSTR name, int size) {
  Window* w = FindWindow(h);
  if (!w || !name || size <= 0) return 0;
  const size_t n = std::min(w->className.size(), static_cast<size_t>(size - 1));
  std::wmemcpy(name, w->className.c_str(), n);
  name[n] = 0;
  return static_cast<int>(n);
}

LONG_PTR GetWindowLongPtrW(HWND h, int index) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->style & WS_CHILD ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_USERDATA: return w->userData;
    default: break;
  }
  if (!w->dialog) return 0;
  switch (index) {
    case DWLP_MSGRESULT: return w->msgResult;
    case DWLP_DLGPROC: return reinterpret_cast<LONG_PTR>(w->dlgProc);
    case DWLP_USER: return w->dlgUser;
    default: return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND h, int index, LONG_PTR value) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  LONG_PTR old = GetWindowLongPtrW(h, index);
  switch (index) {
    case GWLP_WNDPROC:
      if (!value) return 0;
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); return old;
    case GWLP_HWNDPARENT:
      if (!(w->style & WS_CHILD)) w->owner = reinterpret_cast<HWND>(value);
      return old;
    case GWLP_ID: w->id = value; return old;
    case GWL_STYLE:
      w->style = static_cast<DWORD>(value);
      Deliver(h, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), 0);
      InvalidateTree(w);
      return old;
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      Deliver(h, WM_STYLECHANGED, static_cast<WPARAM>(GWL_EXSTYLE), 0);
      InvalidateTree(w);
      return old;
    case GWLP_USERDATA: w->userData = value; return old;
    default: break;
  }
  if (!w->dialog) return 0;
  switch (index) {
    case DWLP_MSGRESULT: w->msgResult = value; return old;
    case DWLP_DLGPROC: w->dlgProc = reinterpret_cast<DLGPROC>(value); return old;
    case DWLP_USER: w->dlgUser = value; return old;
    default: return 0;
  }
}

LONG GetWindowLongW(HWND h, int index) { return static_cast<LONG>(GetWindowLongPtrW(h, index)); }
LONG SetWindowLongW(HWND h, int index, LONG value) {
  if (index == GWLP_WNDPROC) return 0;   // a procedure does not fit in 32 bits here
  return static_cast<LONG>(SetWindowLongPtrW(h, index, value));
}

int GetWindowTextW(HWND h, LPWSTR text, int size) {
  if (!text || size <= 0) return 0;
  text[0] = 0;
  return static_cast<int>(SendMessageW(h, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}
int GetWindowTextLengthW(HWND h) { return static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0)); }
BOOL SetWindowTextW(HWND h, LPCWSTR text) {
  if (!IsWindow(h)) return FALSE;
  return static_cast<BOOL>(SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")));
}

// --- geometry

BOOL GetWindowRect(HWND h, LPRECT rect) {
  Window* w = FindWindow(h);
  if (!w || !rect) return FALSE;
  const POINT o = ScreenOrigin(*w);
  *rect = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
  return TRUE;
}

BOOL GetClientRect(HWND h, LPRECT rect) {
  Window* w = FindWindow(h);
  if (!w || !rect) return FALSE;
  const RECT c = ClientRectInWindow(*w);
  *rect = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL SetWindowPos(HWND h, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  Window* w = FindWindow(h);
  if (!w || h == S().desktop) return FALSE;
  RECT r = w->rect;
  if (!(flags & SWP_NOMOVE)) {
    const LONG dx = x - r.left, dy = y - r.top;
    OffsetRect(&r, dx, dy);
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, width);
    r.bottom = r.top + std::max(0, height);
  }
  const bool moved = r.left != w->rect.left || r.top != w->rect.top;
  const bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                     (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
  w->rect = r;
  if (!(flags & SWP_NOZORDER)) {
    if (std::vector<HWND>* list = SiblingsOf(w)) {
      list->erase(std::remove(list->begin(), list->end(), h), list->end());
      if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        list->insert(list->begin(), h);
      } else if (insertAfter == HWND_BOTTOM) {
        list->push_back(h);
      } else {
        auto it = std::find(list->begin(), list->end(), insertAfter);
        list->insert(it == list->end() ? list->end() : it + 1, h);
      }
    }
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(h, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(h, SW_HIDE);
  w = FindWindow(h);
  if (!w) return TRUE;
  if (!(flags & SWP_NOREDRAW)) InvalidateTree(w);
  if (moved || sized) {
    WINDOWPOS pos{h, insertAfter, static_cast<int>(r.left), static_cast<int>(r.top),
                  static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top), flags};
    Deliver(h, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    if (moved) Deliver(h, WM_MOVE, 0, MAKELONG(r.left, r.top));
    if (sized) SendSize(h);
  }
  return TRUE;
}

BOOL MoveWindow(HWND h, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(h, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ScreenToClient(HWND h, LPPOINT p) {
  Window* w = FindWindow(h);
  if (!w || !p) return FALSE;
  const POINT o = ClientScreenOrigin(*w);
  p->x -= o.x;
  p->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND h, LPPOINT p) {
  Window* w = FindWindow(h);
  if (!w || !p) return FALSE;
  const POINT o = ClientScreenOrigin(*w);
  p->x += o.x;
  p->y += o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from && from != GetDesktopWindow()) {
    Window* w = FindWindow(from);
    if (!w) return 0;
    a = ClientScreenOrigin(*w);
  }
  if (to && to != GetDesktopWindow()) {
    Window* w = FindWindow(to);
    if (!w) return 0;
    b = ClientScreenOrigin(*w);
  }
  const LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) points[i].x += dx, points[i].y += dy;
  return MAKELONG(dx, dy);
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return FALSE;
  const RECT in = NonClientInsets(style, exStyle, menu != FALSE);
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return TRUE;
}
BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

// --- state

namespace {
// Sizes a window to the work area (a child to its parent's client area), or back.
void Maximize(HWND h, bool maximize) {
  Window* w = FindWindow(h);
  if (!w || w->maximized == maximize) return;
  RECT target = w->restore;
  if (maximize) {
    w->restore = w->rect;
    if ((w->style & WS_CHILD) && w->parent) GetClientRect(w->parent, &target);
    else SystemParametersInfoW(SPI_GETWORKAREA, 0, &target, 0);
  }
  w->maximized = maximize;
  if (maximize) w->style |= WS_MAXIMIZE;
  else w->style &= ~static_cast<DWORD>(WS_MAXIMIZE);
  SetWindowPos(h, nullptr, target.left, target.top, target.right - target.left, target.bottom - target.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

BOOL ShowWindow(HWND h, int command) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  const BOOL wasVisible = (w->style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE;
  if (show && !wasVisible) {
    WINDOWPOS pos{h, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER};
    Deliver(h, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!FindWindow(h)) return FALSE;
    if (!(pos.flags & SWP_SHOWWINDOW)) return wasVisible;
  }
  if (command == SW_MAXIMIZE) Maximize(h, true);
  else if (command == SW_RESTORE || command == SW_SHOWNORMAL) Maximize(h, false);
  w = FindWindow(h);
  if (!w) return wasVisible;
  if (show) w->style |= WS_VISIBLE;
  else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  if (wasVisible != static_cast<BOOL>(show)) Deliver(h, WM_SHOWWINDOW, show ? 1 : 0, 0);
  w = FindWindow(h);
  if (!w) return wasVisible;
  InvalidateTree(w);
  State& s = S();
  if (!(w->style & WS_CHILD)) {
    if (show && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE)
      s.active = h;
    else if (!show && s.active == h)
      s.active = w->owner && IsWindow(w->owner) ? w->owner : nullptr;
  }
  if (!show && s.focus && (s.focus == h || IsChild(h, s.focus))) s.focus = nullptr;
  return wasVisible;
}

BOOL IsWindowVisible(HWND h) {
  Window* w = FindWindow(h);
  return w && IsShown(w);
}

BOOL EnableWindow(HWND h, BOOL enable) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  const BOOL wasDisabled = (w->style & WS_DISABLED) != 0;
  if (enable) w->style &= ~static_cast<DWORD>(WS_DISABLED);
  else w->style |= WS_DISABLED;
  if (wasDisabled == static_cast<BOOL>(enable != FALSE)) {
    Deliver(h, WM_ENABLE, enable ? 1 : 0, 0);
    if (Window* again = FindWindow(h)) InvalidateTree(again);
  }
  State& s = S();
  if (!enable && s.focus == h) s.focus = nullptr;
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND h) {
  Window* w = FindWindow(h);
  return w && !(w->style & WS_DISABLED);
}

HWND SetFocus(HWND h) {
  State& s = S();
  const HWND previous = s.focus;
  if (h && !IsWindow(h)) return nullptr;
  if (h == previous) return previous;
  if (previous) Deliver(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
  s.focus = h;
  if (h) Deliver(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() { return IsWindow(S().focus) ? S().focus : nullptr; }

HWND SetActiveWindow(HWND h) {
  State& s = S();
  const HWND previous = s.active;
  if (h && !IsWindow(h)) return nullptr;
  s.active = h;
  return previous;
}
HWND GetActiveWindow() { return IsWindow(S().active) ? S().active : nullptr; }
HWND GetForegroundWindow() { return GetActiveWindow(); }
BOOL SetForegroundWindow(HWND h) { return SetActiveWindow(h) != nullptr || IsWindow(h); }

BOOL UpdateWindow(HWND h) {
  ApplyMarkedInvalidations();
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  if (IsShown(w) && NeedsPaint(w)) PaintTree(h);
  return TRUE;
}

BOOL InvalidateRect(HWND h, const RECT*, BOOL) {
  if (!OnWindowThread()) {
    // Another thread only marks the window; the user-interface thread repaints it.
    Shared& sh = Sh();
    std::lock_guard<std::mutex> l(sh.lock);
    if (!h || !sh.live.count(FromHandle(h))) return FALSE;
    sh.marked.insert(FromHandle(h));
    return TRUE;
  }
  ApplyMarkedInvalidations();
  if (!h) {
    for (HWND t : S().topLevels)
      if (Window* w = FindWindow(t)) InvalidateTree(w);
    return TRUE;
  }
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  InvalidateTree(w);
  return TRUE;
}

BOOL ValidateRect(HWND h, const RECT*) {
  Window* w = FindWindow(h);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

BOOL RedrawWindow(HWND h, const RECT* rect, HRGN, UINT flags) {
  if (flags & (RDW_INVALIDATE | RDW_FRAME)) InvalidateRect(h, rect, (flags & RDW_ERASE) != 0);
  if (flags & RDW_UPDATENOW) UpdateWindow(h);
  return TRUE;
}

HDC BeginPaint(HWND h, LPPAINTSTRUCT paint) {
  Window* w = FindWindow(h);
  if (!w || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  HDC dc = w->paintDc;
  if (!dc) {
    dc = MakeWindowDc(w, true);
    if (Dc* d = FindDc(dc)) d->fromPaint = true;
    Deliver(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    w = FindWindow(h);
    if (!w) return nullptr;
  }
  paint->hdc = dc;
  const RECT c = ClientRectInWindow(*w);
  paint->rcPaint = RECT{0, 0, c.right - c.left, c.bottom - c.top};
  w->needsPaint = false;
  return dc;
}

BOOL EndPaint(HWND h, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  Window* w = FindWindow(h);
  if (w && w->paintDc == paint->hdc) return TRUE;
  FreeDc(paint->hdc);
  return TRUE;
}

namespace {
HWND HitTest(HWND h, POINT screen) {
  Window* w = FindWindow(h);
  if (!w || !(w->style & WS_VISIBLE)) return nullptr;
  RECT r;
  GetWindowRect(h, &r);
  if (!PtInRect(&r, screen)) return nullptr;
  for (HWND c : w->children)
    if (HWND hit = HitTest(c, screen)) return hit;
  return h;
}
}  // namespace

HWND WindowFromPoint(POINT point) {
  std::vector<HWND> tops = S().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if (HWND hit = HitTest(*it, point)) return hit;
  return nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Window* w = FindWindow(parent);
  if (!w) return nullptr;
  POINT screen = point;
  ClientToScreen(parent, &screen);
  for (HWND c : w->children) {
    RECT r;
    GetWindowRect(c, &r);
    if (PtInRect(&r, screen)) return c;
  }
  RECT client;
  GetClientRect(parent, &client);
  return PtInRect(&client, point) ? parent : nullptr;
}

namespace {
bool EnumTree(HWND parent, WNDENUMPROC callback, LPARAM param) {
  Window* w = FindWindow(parent);
  if (!w) return true;
  std::vector<HWND> children = w->children;
  for (HWND c : children) {
    if (!IsWindow(c)) continue;
    if (!callback(c, param)) return false;
    if (!EnumTree(c, callback, param)) return false;
  }
  return true;
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
  if (!callback) return FALSE;
  if (!parent || parent == GetDesktopWindow()) {
    std::vector<HWND> tops = S().topLevels;
    for (HWND t : tops) {
      if (!IsWindow(t)) continue;
      if (!callback(t, param) || !EnumTree(t, callback, param)) return TRUE;
    }
    return TRUE;
  }
  EnumTree(parent, callback, param);
  return TRUE;
}

// --- messages

LRESULT SendMessageW(HWND h, UINT message, WPARAM wParam, LPARAM lParam) { return Deliver(h, message, wParam, lParam); }

BOOL PostMessageW(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (h && !IsWindow(h)) return FALSE;
  if (S().posted.size() >= 10000) return FALSE;
  S().posted.push_back(MSG{h, message, wParam, lParam, 0, POINT{}});
  return TRUE;
}

void DispatchPostedMessages() {
  ApplyMarkedInvalidations();
  State& s = S();
  for (int guard = 0; guard < 10000 && !s.posted.empty(); ++guard) {
    MSG m = s.posted.front();
    s.posted.pop_front();
    if (m.hwnd) Deliver(m.hwnd, m.message, m.wParam, m.lParam);
  }
}

BOOL PeekMessageW(LPMSG msg, HWND h, UINT first, UINT last, UINT remove) {
  State& s = S();
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (h && it->hwnd != h) continue;
    if ((first || last) && (it->message < first || it->message > last)) continue;
    if (msg) *msg = *it;
    if (remove & PM_REMOVE) s.posted.erase(it);
    return TRUE;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  const WPARAM key = msg->wParam;
  if ((key >= 0x20 && key <= 0x7E) || key == VK_RETURN || key == VK_BACK)
    PostMessageW(msg->hwnd, WM_CHAR, key, msg->lParam);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) { return msg && msg->hwnd ? Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0; }

LRESULT CallWindowProcW(WNDPROC proc, HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  DepthGuard guard;
  return proc(h, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FindWindow(h);
  if (!w) return 0;
  switch (message) {
    case WM_NCCREATE: return TRUE;
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
      InvalidateTree(w);
      return TRUE;
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<LPWSTR>(lParam);
      if (!out || wParam == 0) return 0;
      const size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
      std::wmemcpy(out, w->text.c_str(), n);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateTree(w);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    case WM_SETICON: {
      HICON& slot = wParam == ICON_SMALL ? w->smallIcon : w->bigIcon;
      HICON old = slot;
      slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON: return reinterpret_cast<LRESULT>(wParam == ICON_SMALL ? w->smallIcon : w->bigIcon);
    case WM_CLOSE: DestroyWindow(h); return 0;
    case WM_ERASEBKGND: {
      HBRUSH brush = w->cls ? w->cls->background : nullptr;
      if (!brush) return 0;
      RECT r;
      GetClientRect(h, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
      return 1;
    }
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(h);
      PaintNonClient(h, dc);
      ReleaseDC(h, dc);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(h, &ps);
      EndPaint(h, &ps);
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CONTEXTMENU:
      if ((w->style & WS_CHILD) && w->parent) return Deliver(w->parent, WM_CONTEXTMENU, wParam, lParam);
      return 0;
    case WM_SETCURSOR:
      // The parent decides first; otherwise the class's cursor over the client area.
      if ((w->style & WS_CHILD) && w->parent && Deliver(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if ((w = FindWindow(h)) && LOWORD(lParam) == HTCLIENT && w->cls && w->cls->cursor) {
        SetCursor(w->cls->cursor);
        return TRUE;
      }
      return FALSE;
    default: return 0;
  }
}

// --- cursors, icons, keys

namespace {
HANDLE NamedHandle(std::map<std::wstring, HANDLE>& table, Kind kind, HINSTANCE instance, LPCWSTR name, bool stock) {
  std::wstring key = std::to_wstring(reinterpret_cast<UINT_PTR>(instance)) + L":" +
                     (IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name)) : Lower(name));
  auto it = table.find(key);
  if (it != table.end() && Find(FromHandle(it->second))) return it->second;
  auto* c = new Cursor;
  c->kind = kind;
  c->stock = stock;
  c->name = key;
  Register(c);
  HANDLE h = ToHandle<HANDLE>(c->handle);
  table[key] = h;
  return h;
}
std::map<std::wstring, HANDLE>& CursorTable() {
  static auto* t = new std::map<std::wstring, HANDLE>;
  return *t;
}
std::map<std::wstring, HANDLE>& IconTable() {
  static auto* t = new std::map<std::wstring, HANDLE>;
  return *t;
}
}  // namespace

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (!name) return nullptr;
  if (!instance && !IS_INTRESOURCE(name)) return nullptr;
  return static_cast<HCURSOR>(NamedHandle(CursorTable(), Kind::Cursor, instance, name, true));
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!name) return nullptr;
  if (!instance && !IS_INTRESOURCE(name)) return nullptr;
  return static_cast<HICON>(NamedHandle(IconTable(), Kind::Icon, instance, name, true));
}

BOOL DestroyIcon(HICON icon) { return Find<Cursor>(icon, Kind::Icon) != nullptr; }

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
  Cursor* c = Find<Cursor>(icon, Kind::Icon);
  Dc* d = FindDc(dc);
  if (!c || !d) return FALSE;
  if (DrawSystemIcon(*d, x, y, c->name)) return TRUE;
  // An icon without artwork of the layer's own.
  RECT r{x, y, x + 32, y + 32};
  FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  State& s = S();
  HCURSOR previous = GetCursor();
  s.cursor = cursor;
  s.cursorSet = true;
  return previous;
}

HCURSOR GetCursor() {
  State& s = S();
  if (!s.cursorSet) return LoadCursorW(nullptr, IDC_ARROW);
  return s.cursor;
}


// --- metrics

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return 1280;
    case SM_CYSCREEN: return 1024;
    case SM_CXVSCROLL: return 17;
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 19;
    case SM_CXFULLSCREEN: return 1280;
    case SM_CYFULLSCREEN: return 975;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 15;
    case SM_REMOTESESSION: return RemoteSession() ? 1 : 0;
    default: return 0;
  }
}

namespace {
std::mutex g_workAreaMutex;
RECT g_workArea{0, 0, 1024, 740};
}  // namespace

void platform::gui::SetWorkArea(const RECT& area) {
  std::lock_guard<std::mutex> lock(g_workAreaMutex);
  g_workArea = area;
}

BOOL SystemParametersInfoW(UINT action, UINT, PVOID value, UINT) {
  if (action == SPI_GETWORKAREA && value) {
    std::lock_guard<std::mutex> lock(g_workAreaMutex);
    *static_cast<RECT*>(value) = g_workArea;
    return TRUE;
  }
  return FALSE;
}

