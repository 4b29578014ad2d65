#pragma once
// The reference access-key converter (outside the system): an in-process COM server with the
// converter's class id, whose stored form of a password is "ak1:" and the hexadecimal digits of
// its UTF-8 bytes, each xor 0x5A (an empty password stays empty). A stored text not in that
// form fails to convert back (E_INVALIDARG).
//
// Tests steer it through IAccessKeyControl on the same class; its settings hold for every object
// of the process until Reset.
#include "auctions/lotrix.h"

// ProgIDs "Reference.AccessKey.1" and "Reference.AccessKey".
inline constexpr const wchar_t kAccessKeyProgId[] = L"Reference.AccessKey";

struct IAccessKeyControl : public IUnknown {
  // 3: the class answers E_NOINTERFACE for the converter's interface (while `refuse`).
  STDMETHOD(RefuseInterface)(BOOL refuse) = 0;
  // 4: both conversions fail with `hr` (S_OK: they work again).
  STDMETHOD(FailConversions)(HRESULT hr) = 0;
  // 5: the conversions done so far.
  STDMETHOD(GetConversionCount)(LONG* count) = 0;
  // 6: back to the start.
  STDMETHOD(Reset)() = 0;
};
VANTOR_UUIDOF(IAccessKeyControl, "76030251-CEBF-4B28-8061-3DB99C5D7436");
_COM_SMARTPTR_TYPEDEF(IAccessKeyControl, __uuidof(IAccessKeyControl));
