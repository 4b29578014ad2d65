#pragma once
// Internal link between the module registry (resources.cpp) and the loader calls (system.cpp).
#include "platform/base/wintypes.h"

namespace platform::detail {
// A library the process has already loaded under `name` (as LoadLibraryW names it), or null.
HMODULE LoadedLibrary(LPCWSTR name);
}  // namespace platform::detail
