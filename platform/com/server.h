#pragma once
// Writing an in-process server library: a class table and one macro give the four exports.
//
//   static const platform::com::ServerClass kClasses[] = {
//       {&__uuidof(CoThing), L"Thing", L"Vantor.Thing.1", L"Vantor.Thing", nullptr, &CreateThing},
//   };
//   VANTOR_COM_SERVER(kClasses)
//
// A server that registers an AppID and a type library names them after the table:
//   VANTOR_COM_SERVER(kClasses, &kServerInfo)
//
// Objects derive from platform::com::ServerObject<Interfaces...> so that the library stays
// loaded while any of them lives (DllCanUnloadNow). A server that must enter its module state
// in its exports writes them itself over the helpers of activation.h (see auctions/module.cpp).
#include <new>

#include "platform/com/com.h"

namespace platform::com {

// One lock count per shared library (hidden, so every library that includes this has its own; its
// address also names the library itself, where an exported name may resolve to another library's).
[[gnu::visibility("hidden")]] inline ModuleLocks g_thisModuleLocks;

template <class... Interfaces>
class ServerObject : public ComObject<Interfaces...> {
 public:
  ServerObject() { g_thisModuleLocks.Lock(); }
  ~ServerObject() override { g_thisModuleLocks.Unlock(); }
};

// A class table's creation function for a class T made with new (a ComObject, starting with one
// reference): answered for `iid`; an outer object is refused (the class is not aggregatable).
template <class T>
HRESULT CreateServerObject(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  T* object = new (std::nothrow) T;
  if (!object) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

// The vtable face of a dispatch or dual interface I (declared on IDispatch) for a server whose
// callers bind early: IDispatch's four methods (slots 3 to 6) answer E_NOTIMPL, so I's own
// methods start at slot 7. Derive from DispatchFace<I> in place of I.
template <class I>
class DispatchFace : public I {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

}  // namespace platform::com

#define VANTOR_COM_SERVER(classTable, ...)                                                                     \
  extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {                            \
    return ::platform::com::ServerGetClassObject(classTable, sizeof(classTable) / sizeof((classTable)[0]),      \
                                                 &::platform::com::g_thisModuleLocks, rclsid, riid, ppv);      \
  }                                                                                                            \
  extern "C" HRESULT DllCanUnloadNow() { return ::platform::com::g_thisModuleLocks.Count() == 0 ? S_OK : S_FALSE; } \
  extern "C" HRESULT DllRegisterServer() {                                                                     \
    return ::platform::com::RegisterServerClasses(                                                             \
        ::platform::com::ModulePathOf(reinterpret_cast<const void*>(&::platform::com::g_thisModuleLocks)),     \
        classTable, sizeof(classTable) / sizeof((classTable)[0]) __VA_OPT__(, ) __VA_ARGS__);                  \
  }                                                                                                            \
  extern "C" HRESULT DllUnregisterServer() {                                                                   \
    return ::platform::com::UnregisterServerClasses(classTable, sizeof(classTable) / sizeof((classTable)[0])    \
                                                        __VA_OPT__(, ) __VA_ARGS__);                           \
  }                                                                                                            \
  static_assert(true, "")
