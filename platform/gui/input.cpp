// Pointer input of the headless layer: where the pointer is, the held button, leave tracking,
// mouse capture, the cursors windows set, and the remote-session switch.
#include "platform/gui/input.h"

#include <atomic>
#include <set>

#include "platform/gui/internal.h"

namespace platform::gui::detail {
namespace {

struct Pointer {
  HWND over = nullptr;
  POINT at{-1, -1};
  WPARAM buttons = 0;
  HWND capture = nullptr;
  std::set<HWND> leave;
  std::vector<CursorRecord> cursors;
};

Pointer& P() {
  static auto* p = new Pointer;
  return *p;
}

std::atomic<bool> g_remote{false};

bool Enabled(HWND h) {
  for (Window* w = FindWindow(h); w; w = (w->style & WS_CHILD) && w->parent ? FindWindow(w->parent) : nullptr)
    if (w->style & WS_DISABLED) return false;
  return h != nullptr;
}

LPARAM ClientPoint(HWND h, POINT screen) {
  ScreenToClient(h, &screen);
  return MAKELPARAM(screen.x, screen.y);
}

// The pointer to `screen`, over `target`; returns the window that takes the button messages.
HWND MoveTo(HWND target, POINT screen) {
  Pointer& p = P();
  const HWND previous = p.over;
  p.at = screen;
  if (previous != target) {
    p.over = target;
    if (previous && p.leave.erase(previous) && IsWindow(previous)) Deliver(previous, WM_MOUSELEAVE, 0, 0);
  }
  if (p.capture && !IsWindow(p.capture)) p.capture = nullptr;
  const HWND receiver = p.capture ? p.capture : target;
  if (!receiver || !IsWindow(receiver) || !Enabled(receiver)) return nullptr;
  if (!p.capture) {
    const LRESULT handled = Deliver(receiver, WM_SETCURSOR, reinterpret_cast<WPARAM>(receiver),
                                    MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    p.cursors.push_back(CursorRecord{receiver, GetCursor(), handled != 0});
  }
  if (IsWindow(receiver)) Deliver(receiver, WM_MOUSEMOVE, p.buttons, ClientPoint(receiver, screen));
  return IsWindow(receiver) ? receiver : nullptr;
}

POINT ScreenPoint(HWND h, int x, int y) {
  POINT pt{x, y};
  ClientToScreen(h, &pt);
  return pt;
}

void Button(HWND h, int x, int y, bool down) {
  const POINT screen = ScreenPoint(h, x, y);
  const HWND receiver = MoveTo(IsWindow(h) ? h : nullptr, screen);
  Pointer& p = P();
  if (down) p.buttons |= MK_LBUTTON;
  else p.buttons &= ~static_cast<WPARAM>(MK_LBUTTON);
  if (receiver && IsWindow(receiver))
    Deliver(receiver, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, p.buttons, ClientPoint(receiver, screen));
}

}  // namespace

bool RemoteSession() { return g_remote.load(); }

void ResetInput() {
  Pointer& p = P();
  p = Pointer{};
  g_remote = false;
}

}  // namespace platform::gui::detail

using namespace platform::gui::detail;

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT t) {
  if (!t || t->cbSize < sizeof(TRACKMOUSEEVENT)) return FALSE;
  Pointer& p = P();
  if (t->dwFlags & TME_QUERY) {
    t->dwFlags = p.leave.count(t->hwndTrack) ? TME_LEAVE : 0;
    return TRUE;
  }
  if (!IsWindow(t->hwndTrack)) return FALSE;
  if (!(t->dwFlags & TME_LEAVE)) return TRUE;
  if (t->dwFlags & TME_CANCEL) {
    p.leave.erase(t->hwndTrack);
    return TRUE;
  }
  if (p.over != t->hwndTrack) return PostMessageW(t->hwndTrack, WM_MOUSELEAVE, 0, 0);
  p.leave.insert(t->hwndTrack);
  return TRUE;
}

HWND SetCapture(HWND h) {
  Pointer& p = P();
  const HWND previous = p.capture && IsWindow(p.capture) ? p.capture : nullptr;
  p.capture = IsWindow(h) ? h : nullptr;
  return previous;
}

BOOL ReleaseCapture() {
  P().capture = nullptr;
  return TRUE;
}

HWND GetCapture() {
  Pointer& p = P();
  return p.capture && IsWindow(p.capture) ? p.capture : nullptr;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  const POINT at = P().at;
  *point = at.x < 0 ? POINT{0, 0} : at;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  P().at = POINT{x, y};
  return TRUE;
}

namespace platform::gui {

void MouseMove(HWND window, int x, int y) { MoveTo(IsWindow(window) ? window : nullptr, ScreenPoint(window, x, y)); }
void MouseMoveTo(POINT screen) { MoveTo(WindowFromPoint(screen), screen); }
void MouseLeave() { MoveTo(nullptr, POINT{-1, -1}); }
void MouseDown(HWND window, int x, int y) { Button(window, x, y, true); }
void MouseUp(HWND window, int x, int y) { Button(window, x, y, false); }
void Click(HWND window, int x, int y) {
  MouseDown(window, x, y);
  MouseUp(window, x, y);
}
void DoubleClick(HWND window, int x, int y) {
  Click(window, x, y);
  const POINT screen = ScreenPoint(window, x, y);
  const HWND receiver = MoveTo(IsWindow(window) ? window : nullptr, screen);
  if (!receiver || !IsWindow(receiver)) return;
  const Window* w = FindWindow(receiver);
  const bool dblclks = w && w->cls && (w->cls->style & CS_DBLCLKS);
  Pointer& p = P();
  p.buttons |= MK_LBUTTON;
  Deliver(receiver, dblclks ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, p.buttons, ClientPoint(receiver, screen));
  MouseUp(window, x, y);
}

void MouseWheel(HWND window, int x, int y, int delta) {
  const POINT screen = ScreenPoint(window, x, y);
  const HWND receiver = MoveTo(IsWindow(window) ? window : nullptr, screen);
  if (!receiver || !IsWindow(receiver)) return;
  Deliver(receiver, WM_MOUSEWHEEL, MAKEWPARAM(P().buttons, static_cast<WORD>(static_cast<short>(delta))),
          MAKELPARAM(screen.x, screen.y));
}

HWND WindowUnderMouse() {
  const HWND h = P().over;
  return IsWindow(h) ? h : nullptr;
}

bool TracksLeave(HWND window) { return P().leave.count(window) != 0; }

std::vector<CursorRecord> CursorRecords() { return P().cursors; }

void SetRemoteSession(bool on) { g_remote = on; }

std::vector<MSG> PostedMessages() {
  const std::deque<MSG>& q = PostedQueue();
  return std::vector<MSG>(q.begin(), q.end());
}

size_t DiscardPostedMessages() {
  std::deque<MSG>& q = PostedQueue();
  const size_t n = q.size();
  q.clear();
  return n;
}

}  // namespace platform::gui
