#include "shared/hxhelpers.h"

#include <cstring>

COLORREF hxBlendColor(COLORREF a, COLORREF b, int percentB) {
  auto mix = [percentB](int x, int y) { return static_cast<BYTE>((x * (100 - percentB) + y * percentB) / 100); };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

IStreamPtr hxStreamFromResource(HINSTANCE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return nullptr;
  const DWORD size = SizeofResource(module, found);
  const void* bytes = LockResource(LoadResource(module, found));
  if (!bytes) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return nullptr;
  void* target = GlobalLock(memory);
  if (!target) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory);
  IStream* raw = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &raw)) || !raw) {
    GlobalFree(memory);
    return nullptr;
  }
  return IStreamPtr(raw, false);
}
