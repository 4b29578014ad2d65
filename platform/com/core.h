#pragma once
// COM core: IUnknown, __uuidof, class factories, IDispatch declarations, GUID text, task memory
// and per-thread error information.
#include <type_traits>

#include "platform/base/wintypes.h"

namespace platform::com {

// Parses "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", with or without braces, at compile time.
// A malformed text cannot be a constant expression, so a bad VANTOR_UUIDOF does not compile.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  throw "GUID text: bad hex digit";
}
constexpr GUID GuidFromText(const char* text) {
  int i = 0;
  if (text[0] == '{') i = 1;
  auto take = [&](int digits) {
    unsigned long long v = 0;
    for (int k = 0; k < digits; ++k) v = v * 16 + static_cast<unsigned>(HexDigit(text[i++]));
    return v;
  };
  auto dash = [&] {
    if (text[i++] != '-') throw "GUID text: dash expected";
  };
  GUID g{};
  g.Data1 = static_cast<DWORD>(take(8));
  dash();
  g.Data2 = static_cast<WORD>(take(4));
  dash();
  g.Data3 = static_cast<WORD>(take(4));
  dash();
  g.Data4[0] = static_cast<BYTE>(take(2));
  g.Data4[1] = static_cast<BYTE>(take(2));
  dash();
  for (int k = 2; k < 8; ++k) g.Data4[k] = static_cast<BYTE>(take(2));
  if (text[0] == '{' && text[i++] != '}') throw "GUID text: closing brace expected";
  if (text[i] != '\0') throw "GUID text: trailing characters";
  return g;
}

// The GUID of a type, found through the vantor_uuidof_ function that VANTOR_UUIDOF declares
// beside the type (argument-dependent lookup, so it works in any namespace).
template <class T>
inline constexpr GUID uuid_v = vantor_uuidof_(static_cast<T*>(nullptr));

}  // namespace platform::com

// Associates a GUID with an interface or class type; use it in the namespace of the type, after
// its declaration (a forward declaration is enough).
#define VANTOR_UUIDOF(Type, text)                                               \
  [[maybe_unused]] constexpr GUID vantor_uuidof_(Type*) {                       \
    return ::platform::com::GuidFromText(text);                                 \
  }                                                                             \
  static_assert(true, "")

// __uuidof(Type): a const GUID lvalue with static storage, so &__uuidof(IFoo) is a constant.
#define __uuidof(Type) (::platform::com::uuid_v<std::remove_cvref_t<std::remove_pointer_t<Type>>>)

// ---- IUnknown and friends ----
struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) = 0;
  STDMETHOD_(ULONG, AddRef)() = 0;
  STDMETHOD_(ULONG, Release)() = 0;

  template <class Q>
  HRESULT QueryInterface(Q** pp) {
    return QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
  }

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;
VANTOR_UUIDOF(IUnknown, "00000000-0000-0000-C000-000000000046");

struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) = 0;
  STDMETHOD(LockServer)(BOOL lock) = 0;
};
VANTOR_UUIDOF(IClassFactory, "00000001-0000-0000-C000-000000000046");

// ---- OLE Automation declarations used by IDispatch ----
struct tagVARIANT;
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;
using BSTR = OLECHAR*;

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  PVOID pvReserved;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*);
  SCODE scode;
};

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8
#define DISPID_UNKNOWN (-1)
#define DISPID_VALUE 0
#define DISPID_PROPERTYPUT (-3)
#define DISPID_NEWENUM (-4)
#define DISPID_EVALUATE (-5)

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_NEUTRAL 0x0000
#define LOCALE_INVARIANT 0x007F

// Type information is not provided by this platform; the interfaces exist so that signatures
// match and GetTypeInfo can answer E_NOTIMPL.
struct ITypeInfo : IUnknown {};
VANTOR_UUIDOF(ITypeInfo, "00020401-0000-0000-C000-000000000046");
struct ITypeLib : IUnknown {};
VANTOR_UUIDOF(ITypeLib, "00020402-0000-0000-C000-000000000046");

struct IDispatch : IUnknown {
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) = 0;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
  STDMETHOD(Invoke)(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                    EXCEPINFO* excepinfo, UINT* argErr) = 0;
};
using LPDISPATCH = IDispatch*;
VANTOR_UUIDOF(IDispatch, "00020400-0000-0000-C000-000000000046");

// Enumerators of VARIANTs (collections' _NewEnum).
struct IEnumVARIANT : IUnknown {
  STDMETHOD(Next)(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) = 0;
  STDMETHOD(Skip)(ULONG celt) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Clone)(IEnumVARIANT** ppEnum) = 0;
};
VANTOR_UUIDOF(IEnumVARIANT, "00020404-0000-0000-C000-000000000046");
#define IID_IEnumVARIANT __uuidof(IEnumVARIANT)

// ---- error information ----
struct IErrorInfo : IUnknown {
  STDMETHOD(GetGUID)(GUID* pguid) = 0;
  STDMETHOD(GetSource)(BSTR* source) = 0;
  STDMETHOD(GetDescription)(BSTR* description) = 0;
  STDMETHOD(GetHelpFile)(BSTR* helpFile) = 0;
  STDMETHOD(GetHelpContext)(DWORD* helpContext) = 0;
};
VANTOR_UUIDOF(IErrorInfo, "1CF2B120-547D-101B-8E65-08002B2BD119");

struct ICreateErrorInfo : IUnknown {
  STDMETHOD(SetGUID)(REFGUID rguid) = 0;
  STDMETHOD(SetSource)(LPOLESTR source) = 0;
  STDMETHOD(SetDescription)(LPOLESTR description) = 0;
  STDMETHOD(SetHelpFile)(LPOLESTR helpFile) = 0;
  STDMETHOD(SetHelpContext)(DWORD helpContext) = 0;
};
VANTOR_UUIDOF(ICreateErrorInfo, "22F03340-547D-101B-8E65-08002B2BD119");

struct ISupportErrorInfo : IUnknown {
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) = 0;
};
VANTOR_UUIDOF(ISupportErrorInfo, "DF0B3D60-548F-101B-8E65-08002B2BD119");

#define IID_IUnknown __uuidof(IUnknown)
#define IID_IClassFactory __uuidof(IClassFactory)
#define IID_IDispatch __uuidof(IDispatch)
#define IID_ITypeInfo __uuidof(ITypeInfo)
#define IID_IErrorInfo __uuidof(IErrorInfo)
#define IID_ICreateErrorInfo __uuidof(ICreateErrorInfo)
#define IID_ISupportErrorInfo __uuidof(ISupportErrorInfo)

// Creates an error-information object (it answers IErrorInfo and ICreateErrorInfo).
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Replaces the calling thread's error information (null clears it); the slot holds a reference.
HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* perrinfo);
// Hands over the thread's error information and clears the slot; S_FALSE and null when empty.
HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** pperrinfo);

// ---- GUID text ----
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case) into lpsz; returns the characters written
// including the terminator, 0 when cchMax is below 39.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Allocates the braced text with CoTaskMemAlloc.
HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
HRESULT StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
// Braced text only; CO_E_CLASSSTRING for a malformed text (CLSIDFromString also accepts a
// registered ProgID, as on the platform).
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid);
HRESULT CoCreateGuid(GUID* pguid);

// ---- task memory ----
LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);

// ---- class contexts ----
enum CLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10,
};
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
