// In-process servers found through the registry.
#include "platform/com/activation_internal.h"
#include "platform/com/com.h"

namespace platform::com::detail {
HRESULT GetServerClassObject(REFCLSID, REFIID, void** ppv) {
  *ppv = nullptr;
  return REGDB_E_CLASSNOTREG;
}
}  // namespace platform::com::detail

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return REGDB_E_CLASSNOTREG;
}

void CoFreeUnusedLibraries() {}
