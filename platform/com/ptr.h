#pragma once
// _com_ptr_t: the reference-counting interface smart pointer, and _COM_SMARTPTR_TYPEDEF.
#include "platform/com/activation.h"
#include "platform/com/variant.h"

#include <concepts>
#include <memory>
#include <type_traits>

namespace platform::com {
// A raw interface pointer or a smart pointer (anything with GetInterfacePtr()).
template <class T>
concept InterfacePointerLike =
    (std::is_pointer_v<T> && std::is_convertible_v<T, IUnknown*>) || requires(const T& t) {
      { t.GetInterfacePtr() } -> std::convertible_to<IUnknown*>;
    };
}  // namespace platform::com

template <class I, const IID* piid>
class _com_IIID {
 public:
  using Interface = I;
  static const IID& GetIID() noexcept {
    if constexpr (piid != nullptr) {
      return *piid;
    } else {
      return __uuidof(I);
    }
  }
};

template <class IIID>
class _com_ptr_t {
 public:
  using ThisIIID = IIID;
  using Interface = typename IIID::Interface;

  static const IID& GetIID() noexcept { return ThisIIID::GetIID(); }

  _com_ptr_t() noexcept = default;
  // NULL, 0 and nullptr all arrive here as a null Interface*.
  _com_ptr_t(Interface* p) noexcept : p_(p) { _AddRef(); }
  _com_ptr_t(Interface* p, bool fAddRef) noexcept : p_(p) {
    if (fAddRef) _AddRef();
  }
  _com_ptr_t(const _com_ptr_t& cp) noexcept : p_(cp.p_) { _AddRef(); }
  _com_ptr_t(_com_ptr_t&& cp) noexcept : p_(cp.p_) { cp.p_ = nullptr; }
  // From another smart pointer or interface pointer: QueryInterface. E_NOINTERFACE leaves the
  // pointer null; any other failure raises.
  template <class Other>
    requires platform::com::InterfacePointerLike<Other> && (!std::is_same_v<Other, _com_ptr_t>) &&
             (!std::is_same_v<Other, Interface*>)
  _com_ptr_t(const Other& p) {
    QueryFrom(p);
  }
  // From a VARIANT holding an object: converted to VT_UNKNOWN, then queried.
  _com_ptr_t(const _variant_t& varSrc) {
    _variant_t v(varSrc);
    v.ChangeType(VT_UNKNOWN);
    if (HRESULT hr = QueryStdInterfaces(v.punkVal); FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
  }
  explicit _com_ptr_t(const CLSID& clsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
    if (HRESULT hr = CreateInstance(clsid, pOuter, dwClsContext); FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
  }
  // A ProgID or braced CLSID text (a template so that NULL never picks it).
  template <class S>
    requires std::same_as<S, const wchar_t*> || std::same_as<S, wchar_t*> || std::same_as<S, const char*> ||
             std::same_as<S, char*>
  explicit _com_ptr_t(S str, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) {
    if (HRESULT hr = CreateInstance(str, pOuter, dwClsContext); FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
  }
  ~_com_ptr_t() { _Release(); }

  _com_ptr_t& operator=(Interface* p) noexcept {
    if (p_ != p) {
      Interface* old = p_;
      p_ = p;
      _AddRef();
      if (old) old->Release();
    }
    return *this;
  }
  _com_ptr_t& operator=(const _com_ptr_t& cp) noexcept { return *this = cp.p_; }
  _com_ptr_t& operator=(_com_ptr_t&& cp) noexcept {
    if (this != std::addressof(cp)) {
      _Release();
      p_ = cp.p_;
      cp.p_ = nullptr;
    }
    return *this;
  }
  template <class Other>
    requires platform::com::InterfacePointerLike<Other> && (!std::is_same_v<Other, _com_ptr_t>) &&
             (!std::is_same_v<Other, Interface*>)
  _com_ptr_t& operator=(const Other& p) {
    QueryFrom(p);
    return *this;
  }
  _com_ptr_t& operator=(const _variant_t& varSrc) {
    _com_ptr_t tmp(varSrc);
    return *this = std::move(tmp);
  }

  // Takes over p (no AddRef) / with AddRef when fAddRef.
  void Attach(Interface* p) noexcept {
    _Release();
    p_ = p;
  }
  void Attach(Interface* p, bool fAddRef) noexcept {
    _Release();
    p_ = p;
    if (fAddRef) _AddRef();
  }
  Interface* Detach() noexcept {
    Interface* p = p_;
    p_ = nullptr;
    return p;
  }

  operator Interface*() const noexcept { return p_; }
  Interface& operator*() const {
    if (!p_) _com_issue_error(E_POINTER);
    return *p_;
  }
  // Releases the held interface and returns the address of the null pointer, for [out] use.
  Interface** operator&() noexcept {
    _Release();
    return &p_;
  }
  Interface* operator->() const {
    if (!p_) _com_issue_error(E_POINTER);
    return p_;
  }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  bool operator!() const noexcept { return p_ == nullptr; }

  Interface* GetInterfacePtr() const noexcept { return p_; }
  Interface*& GetInterfacePtr() noexcept { return p_; }

  void AddRef() {
    if (!p_) _com_issue_error(E_POINTER);
    p_->AddRef();
  }
  void Release() {
    if (!p_) _com_issue_error(E_POINTER);
    p_->Release();
    p_ = nullptr;
  }

  // Identity comparison through IUnknown.
  template <class Other>
    requires platform::com::InterfacePointerLike<Other>
  bool operator==(const Other& p) const {
    return CompareUnknown(p) == 0;
  }
  // Also the comparison with NULL / nullptr.
  bool operator==(Interface* p) const noexcept { return p_ == p; }
  template <class Other>
    requires platform::com::InterfacePointerLike<Other>
  bool operator<(const Other& p) const {
    return CompareUnknown(p) < 0;
  }

  HRESULT CreateInstance(const CLSID& rclsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept {
    _Release();
    HRESULT hr;
    if (dwClsContext & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) {
      IUnknown* unk = nullptr;
      hr = CoCreateInstance(rclsid, pOuter, dwClsContext, __uuidof(IUnknown), reinterpret_cast<void**>(&unk));
      if (SUCCEEDED(hr)) {
        hr = OleRun(unk);
        if (SUCCEEDED(hr)) hr = unk->QueryInterface(GetIID(), reinterpret_cast<void**>(&p_));
        unk->Release();
      }
    } else {
      hr = CoCreateInstance(rclsid, pOuter, dwClsContext, GetIID(), reinterpret_cast<void**>(&p_));
    }
    if (FAILED(hr)) p_ = nullptr;
    return hr;
  }
  // A braced CLSID text or a ProgID.
  HRESULT CreateInstance(LPCWSTR clsidString, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept {
    if (!clsidString) return E_INVALIDARG;
    CLSID clsid;
    HRESULT hr = clsidString[0] == L'{' ? CLSIDFromString(clsidString, &clsid) : CLSIDFromProgID(clsidString, &clsid);
    if (FAILED(hr)) return hr;
    return CreateInstance(clsid, pOuter, dwClsContext);
  }
  HRESULT CreateInstance(LPCSTR clsidStringA, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept {
    if (!clsidStringA) return E_INVALIDARG;
    std::wstring w;
    try {
      w = platform::com::Utf8ToWide(clsidStringA);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    return CreateInstance(w.c_str(), pOuter, dwClsContext);
  }

  template <class Q>
  HRESULT QueryInterface(const IID& iid, Q& p) noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, reinterpret_cast<void**>(&p));
  }
  template <class Q>
  HRESULT QueryInterface(const IID& iid, Q** p) noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, reinterpret_cast<void**>(p));
  }

 private:
  void _AddRef() noexcept {
    if (p_) p_->AddRef();
  }
  void _Release() noexcept {
    if (p_) {
      Interface* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  HRESULT QueryStdInterfaces(IUnknown* unk) noexcept {
    Interface* fresh = nullptr;
    HRESULT hr = unk ? unk->QueryInterface(GetIID(), reinterpret_cast<void**>(&fresh)) : S_OK;
    _Release();
    p_ = SUCCEEDED(hr) ? fresh : nullptr;
    return hr;
  }
  template <class Other>
  static IUnknown* RawOf(const Other& p) noexcept {
    if constexpr (std::is_pointer_v<Other>) {
      return p;
    } else {
      return p.GetInterfacePtr();
    }
  }
  template <class Other>
  void QueryFrom(const Other& p) {
    IUnknown* unk = RawOf(p);
    if (!unk) {
      _Release();
      return;
    }
    if (HRESULT hr = QueryStdInterfaces(unk); FAILED(hr) && hr != E_NOINTERFACE) _com_issue_error(hr);
  }
  template <class Other>
  int CompareUnknown(const Other& p) const {
    IUnknown* other = RawOf(p);
    IUnknown* mine = p_;
    if (mine == other) return 0;
    if (!mine || !other) return mine ? 1 : -1;
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    if (FAILED(mine->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&a))) ||
        FAILED(other->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&b)))) {
      if (a) a->Release();
      if (b) b->Release();
      _com_issue_error(E_NOINTERFACE);
    }
    a->Release();
    b->Release();
    return a == b ? 0 : (a < b ? -1 : 1);
  }

  Interface* p_ = nullptr;
};

// _COM_SMARTPTR_TYPEDEF(IFoo, __uuidof(IFoo)) declares IFooPtr. The IID argument is taken from
// the interface's VANTOR_UUIDOF.
#define _COM_SMARTPTR_TYPEDEF(Interface, IID) \
  typedef _com_ptr_t<_com_IIID<Interface, nullptr>> Interface##Ptr

_COM_SMARTPTR_TYPEDEF(IUnknown, __uuidof(IUnknown));
_COM_SMARTPTR_TYPEDEF(IDispatch, __uuidof(IDispatch));
_COM_SMARTPTR_TYPEDEF(IClassFactory, __uuidof(IClassFactory));
_COM_SMARTPTR_TYPEDEF(IErrorInfo, __uuidof(IErrorInfo));
_COM_SMARTPTR_TYPEDEF(ICreateErrorInfo, __uuidof(ICreateErrorInfo));
_COM_SMARTPTR_TYPEDEF(ISupportErrorInfo, __uuidof(ISupportErrorInfo));
_COM_SMARTPTR_TYPEDEF(IStream, __uuidof(IStream));
_COM_SMARTPTR_TYPEDEF(IGlobalInterfaceTable, __uuidof(IGlobalInterfaceTable));
