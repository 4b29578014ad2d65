#pragma once
// ComObject<Interfaces...>: IUnknown for a C++ class that implements COM interfaces.
// QueryInterface answers IUnknown and each listed interface (by __uuidof); QueryMore may add
// others (e.g. base interfaces). The object deletes itself when its count reaches zero and
// starts with a count of 1 (the creator's reference).
#include <atomic>

#include "platform/com/core.h"

namespace platform::com {

template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  virtual ~ComObject() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(First)) {
      *ppv = static_cast<First*>(this);
    } else {
      static_cast<void>(((riid == __uuidof(Rest) ? (*ppv = static_cast<Rest*>(this), true) : false) || ...));
    }
    if (!*ppv) *ppv = QueryMore(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }

 protected:
  // Further interfaces: return the pointer (no AddRef) or null.
  virtual void* QueryMore(REFIID) { return nullptr; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace platform::com
