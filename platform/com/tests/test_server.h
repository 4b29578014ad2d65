#pragma once
// The interface and classes of the small server library used by the server tests.
#include "platform/com/com.h"

struct IGreeter : IUnknown {
  // "Cześć, <name>!"; an empty name fails with E_INVALIDARG and error information.
  STDMETHOD(Greet)(BSTR name, BSTR* greeting) = 0;
  // How many times the library's static data has been initialised in this process.
  STDMETHOD(LoadCount)(LONG* count) = 0;
};
VANTOR_UUIDOF(IGreeter, "0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0001");
_COM_SMARTPTR_TYPEDEF(IGreeter, __uuidof(IGreeter));

struct CoGreeter;
VANTOR_UUIDOF(CoGreeter, "0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002");
struct CoQuietGreeter;  // registered without ProgIDs
VANTOR_UUIDOF(CoQuietGreeter, "0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0003");
