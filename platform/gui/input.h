#pragma once
// The headless side of pointer input and of the posted-message queue: what tests (and the
// program) use to move the mouse over windows, press and release its left button, see the
// cursors windows set, switch the remote-session metric, and read or drain posted messages.
//
// Moving the pointer onto a window sends it WM_SETCURSOR (HTCLIENT, WM_MOUSEMOVE) and then
// WM_MOUSEMOVE with the point in its client coordinates and the held buttons. When the pointer
// moves off a window that asked for it with TrackMouseEvent(TME_LEAVE), that window gets one
// WM_MOUSELEAVE. Pressing and releasing move the pointer there first, then send
// WM_LBUTTONDOWN / WM_LBUTTONUP (to the capturing window, if one has captured the mouse).
// Messages go out at once (synchronously); what the windows post waits in the queue.
#include <vector>

#include "platform/gui/windows.h"

namespace platform::gui {

// The pointer onto `window` at the client point (x, y).
void MouseMove(HWND window, int x, int y);
// The pointer onto whatever window is at the screen point (none: off every window).
void MouseMoveTo(POINT screen);
// The pointer off every window.
void MouseLeave();
void MouseDown(HWND window, int x, int y);
void MouseUp(HWND window, int x, int y);
// Down and up at one point.
void Click(HWND window, int x, int y);
// Two clicks at one point: the second press is WM_LBUTTONDBLCLK for a window whose class has
// CS_DBLCLKS, WM_LBUTTONDOWN otherwise.
void DoubleClick(HWND window, int x, int y);
// A turn of the wheel by `delta` (WHEEL_DELTA a notch, negative towards the user) with the
// pointer at the client point (x, y): WM_MOUSEWHEEL with the held buttons and the screen point.
void MouseWheel(HWND window, int x, int y, int delta);
// The window the pointer is over (null: none).
HWND WindowUnderMouse();
// Whether `window` waits for a WM_MOUSELEAVE.
bool TracksLeave(HWND window);

// After every WM_SETCURSOR the layer sent: the window and the cursor current when it returned.
struct CursorRecord {
  HWND window = nullptr;
  HCURSOR cursor = nullptr;
  bool handled = false;   // the window's answer
};
std::vector<CursorRecord> CursorRecords();

// GetSystemMetrics(SM_REMOTESESSION): 1 while on.
void SetRemoteSession(bool on);

// The posted messages waiting, oldest first (DispatchPostedMessages delivers them).
std::vector<MSG> PostedMessages();
// Forgets the posted messages without delivering them; returns how many there were.
size_t DiscardPostedMessages();

}  // namespace platform::gui
