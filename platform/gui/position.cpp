// Deferred positioning: sets of window moves made together.
#include <map>
#include <vector>

#include "platform/gui/internal.h"

namespace {

std::map<DWORD, std::vector<WINDOWPOS>>& Sets() {
  static auto* sets = new std::map<DWORD, std::vector<WINDOWPOS>>;
  return *sets;
}

}  // namespace

using namespace platform::gui::detail;

HDWP BeginDeferWindowPos(int count) {
  if (count < 0) return nullptr;
  const DWORD h = NewHandle();
  Sets()[h].reserve(static_cast<size_t>(count));
  return ToHandle<HDWP>(h);
}

HDWP DeferWindowPos(HDWP set, HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  auto it = Sets().find(FromHandle(set));
  if (it == Sets().end()) return nullptr;
  if (!IsWindow(window)) {
    Sets().erase(it);
    return nullptr;
  }
  it->second.push_back(WINDOWPOS{window, insertAfter, x, y, width, height, flags});
  return set;
}

BOOL EndDeferWindowPos(HDWP set) {
  auto it = Sets().find(FromHandle(set));
  if (it == Sets().end()) return FALSE;
  const std::vector<WINDOWPOS> moves = std::move(it->second);
  Sets().erase(it);
  BOOL ok = TRUE;
  for (const WINDOWPOS& m : moves)
    if (!SetWindowPos(m.hwnd, m.hwndInsertAfter, m.x, m.y, m.cx, m.cy, m.flags)) ok = FALSE;
  return ok;
}

namespace platform::gui::detail {
void ResetPositions() { Sets().clear(); }
}  // namespace platform::gui::detail
