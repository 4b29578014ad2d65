#include "platform/strings/cstring.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<StringLoader> g_loader{nullptr};
}

void SetStringLoader(StringLoader loader) { g_loader.store(loader); }

bool LoadResourceString(HINSTANCE module, UINT id, std::wstring& out) {
  StringLoader loader = g_loader.load();
  return loader != nullptr && loader(module, id, out);
}

}  // namespace platform

template class CStringT<wchar_t>;
template class CStringT<char>;
