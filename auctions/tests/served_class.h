#pragma once
// Classes of the tests' own served in the test process: a reference count for their objects and
// a class registered by class id and named by its ProgID (in the current registry) while it is
// served.
#include <atomic>
#include <functional>
#include <string>

#include "platform/com/com.h"
#include "platform/registry/registry.h"

namespace served_test {

template <class Face>
class Counted : public Face {
 public:
  virtual ~Counted() = default;
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> m_refs{0};
};

// Answers the interfaces a test object serves: `first` for IUnknown and IDispatch.
template <class First, class... More>
HRESULT Answer(First* first, REFIID iid, void** out, More*... more) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(First)) {
    *out = first;
  } else {
    ((iid == __uuidof(More) && !*out ? (*out = more, 0) : 0), ...);
    if (!*out) return E_NOINTERFACE;
  }
  first->AddRef();
  return S_OK;
}

// Serves the class `clsid` under `progId` while the object lives; `create` makes its objects.
class ServedClass {
 public:
  using Create = std::function<HRESULT(REFIID iid, void** out)>;
  ServedClass(REFCLSID clsid, const wchar_t* progId, Create create) : m_progId(progId) {
    auto* factory = new Factory(std::move(create));
    factory->AddRef();
    CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
    factory->Release();
    OLECHAR text[39];
    StringFromGUID2(clsid, text, 39);
    HKEY key = nullptr;
    const std::wstring sub = m_progId + L"\\CLSID";
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS) {
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  }
  ~ServedClass() {
    CoRevokeClassObject(m_cookie);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, m_progId.c_str());
  }
  ServedClass(const ServedClass&) = delete;
  ServedClass& operator=(const ServedClass&) = delete;

 private:
  class Factory : public Counted<IClassFactory> {
   public:
    explicit Factory(Create create) : m_create(std::move(create)) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (iid != __uuidof(IUnknown) && iid != __uuidof(IClassFactory)) return E_NOINTERFACE;
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (outer) return CLASS_E_NOAGGREGATION;
      return m_create(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

   private:
    Create m_create;
  };

  std::wstring m_progId;
  DWORD m_cookie = 0;
};

// A new object of T answered as `iid`.
template <class T>
HRESULT CreateAs(REFIID iid, void** out) {
  auto* created = new T;
  created->AddRef();
  const HRESULT hr = created->QueryInterface(iid, out);
  created->Release();
  return hr;
}

}  // namespace served_test
