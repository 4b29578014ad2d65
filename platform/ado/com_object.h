#pragma once
// Shared pieces of the object model's implementation: the COM object base, conversions
// between VARIANTs and the engine's values, and the error reporting of raw methods.
#include <atomic>
#include <new>
#include <string>

#include "platform/ado/ado.h"
#include "platform/ado/database.h"
#include "platform/ado/rowset.h"

namespace platform::ado {

class ConnectionImpl;

// The engine's value type under a name that the interfaces' `Value` members do not hide.
using Cell = Value;

// Reference counting, IDispatch (no type information) and ISupportErrorInfo for one interface.
template <class I>
class ComObject : public I, public ISupportErrorInfo {
 public:
  virtual ~ComObject() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(I)) {
      *ppv = static_cast<I*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override { return riid == __uuidof(I) ? S_OK : S_FALSE; }

  I* Interface() { return static_cast<I*>(this); }

 private:
  std::atomic<ULONG> refs_{1};
};

// The class object of a creatable class: static lifetime, no aggregation.
template <class Impl>
class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Impl* obj = new (std::nothrow) Impl();
    if (!obj) return E_OUTOFMEMORY;
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

// Raises a database failure as a COM error: the provider's errors also go to `conn`'s Errors
// collection (when there is a connection) and into the error information.
[[noreturn]] void RaiseDbError(const DbError& error, REFIID iid, ConnectionImpl* conn);
// Sets the thread's error information for the database errors of one failure (the first one's
// source and description, with one error record each) and returns the first one's HRESULT.
HRESULT ReportProviderError(const std::vector<DbError>& errors, REFIID iid);

_variant_t ToVariant(const Value& v);
void ToVariant(const Value& v, VARIANT* target);  // into an empty VARIANT
Value FromVariant(const VARIANT& v);
bool IsMissing(const VARIANT& v);
std::wstring BstrText(BSTR b);

// A raw method of interface `iid` at the COM boundary: its work's database failures are raised
// as COM errors (RaiseDbError); what the work raises becomes the method's HRESULT with error
// information from "ADODB".
template <class F>
HRESULT AdoBoundary(REFIID iid, ConnectionImpl* conn, F&& work) noexcept {
  return platform::com::Boundary(
      [&]() -> HRESULT {
        try {
          return work();
        } catch (const DbException& e) {
          RaiseDbError(e.error, iid, conn);
        }
      },
      {L"ADODB", iid});
}
// The same with the connection named by `connOf`, which is asked only when a database failure
// is reported: a method called for every row does not look its connection up each time.
template <class ConnOf, class F>
HRESULT AdoBoundaryWith(REFIID iid, ConnOf&& connOf, F&& work) noexcept {
  return platform::com::Boundary(
      [&]() -> HRESULT {
        try {
          return work();
        } catch (const DbException& e) {
          RaiseDbError(e.error, iid, connOf());
        }
      },
      {L"ADODB", iid});
}

}  // namespace platform::ado

