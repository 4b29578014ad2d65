#pragma once
// The framework's COM object wrapper and class factory.
//
// A concrete class derives from the interfaces it serves and answers, in
//   void* FlgGetInterface(REFIID iid)
// the interface pointer for `iid` (static_cast<IFoo*>(this)) or null. CFlgComObject<T> adds the
// reference count and IUnknown; CFlgComClassFactory<T> creates it for CoCreateInstance.
#include <atomic>
#include <functional>
#include <utility>

#include "platform/com/com.h"

namespace zephra {
// Live objects and server locks of the framework's classes in this process.
LONG& LiveObjects();
}  // namespace zephra

template <class T>
class CFlgComObject final : public T {
 public:
  template <class... Args>
  explicit CFlgComObject(Args&&... args) : T(std::forward<Args>(args)...) {
    ++zephra::LiveObjects();
  }
  ~CFlgComObject() { --zephra::LiveObjects(); }

  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = this->FlgGetInterface(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }

  // A new object, answered for `iid` (the caller owns the reference).
  template <class... Args>
  static HRESULT Create(REFIID iid, void** out, Args&&... args) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* object = new CFlgComObject<T>(std::forward<Args>(args)...);
    object->AddRef();
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }

 private:
  std::atomic<ULONG> m_refs{0};
};

// A class factory that makes objects with a maker function (default: CFlgComObject<T>).
class CFlgComClassFactory final : public IClassFactory {
 public:
  using Maker = std::function<HRESULT(REFIID, void**)>;
  explicit CFlgComClassFactory(Maker maker) : m_maker(std::move(maker)) {}
  virtual ~CFlgComClassFactory() = default;

  template <class T>
  static CFlgComClassFactory* For() {
    return new CFlgComClassFactory([](REFIID iid, void** out) { return CFlgComObject<T>::Create(iid, out); });
  }

  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return m_maker(iid, out);
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    zephra::LiveObjects() += lock ? 1 : -1;
    return S_OK;
  }

 private:
  Maker m_maker;
  std::atomic<ULONG> m_refs{0};
};

// Registers a class factory in this process for `clsid`; revoked when the registration ends.
class CFlgClassRegistration {
 public:
  CFlgClassRegistration() = default;
  CFlgClassRegistration(REFCLSID clsid, CFlgComClassFactory* factory);
  CFlgClassRegistration(CFlgClassRegistration&& other) noexcept;
  CFlgClassRegistration& operator=(CFlgClassRegistration&& other) noexcept;
  CFlgClassRegistration(const CFlgClassRegistration&) = delete;
  CFlgClassRegistration& operator=(const CFlgClassRegistration&) = delete;
  ~CFlgClassRegistration();

  HRESULT Result() const { return m_hr; }
  void Revoke();

 private:
  DWORD m_cookie = 0;
  HRESULT m_hr = E_FAIL;
};
