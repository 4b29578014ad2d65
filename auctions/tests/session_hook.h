#pragma once
// Code of a test run around a reference session's slot (IReferenceConnectorControl::
// HookSessionSlot): the COM frame over two functions. A failure Before answers is the slot's
// answer; After only looks at the slot's.
#include <atomic>
#include <functional>
#include <utility>

#include "testing/site_connector/reference_connector.h"

namespace session_hook {

class SessionHook final : public IReferenceSessionHook {
 public:
  using BeforeWork = std::function<HRESULT(IUnknown* session, LONG slot)>;
  using AfterWork = std::function<void(IUnknown* session, LONG slot, HRESULT result)>;

  // A new hook (its one reference the pointer's).
  static IReferenceSessionHookPtr Make(BeforeWork before, AfterWork after = nullptr) {
    return IReferenceSessionHookPtr(new SessionHook(std::move(before), std::move(after)));
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IReferenceSessionHook)) return E_NOINTERFACE;
    *out = static_cast<IReferenceSessionHook*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP Before(IUnknown* session, LONG slot) override { return m_before ? m_before(session, slot) : S_OK; }
  STDMETHODIMP After(IUnknown* session, LONG slot, HRESULT result) override {
    if (m_after) m_after(session, slot, result);
    return S_OK;
  }

 private:
  SessionHook(BeforeWork before, AfterWork after) : m_before(std::move(before)), m_after(std::move(after)) {}

  BeforeWork m_before;
  AfterWork m_after;
  std::atomic<ULONG> m_refs{0};
};

// What the send running in `session` was given, asked for as `Ptr`'s interface (null outside a
// send or when it answers no such interface).
template <class Ptr>
Ptr SendObject(IUnknown* session) {
  IReferenceSessionPtr s(session);
  if (!s) return nullptr;
  IUnknown* raw = nullptr;
  if (FAILED(s->GetSendObject(&raw)) || !raw) return nullptr;
  IUnknownPtr object(raw, false);
  return Ptr(object);
}

}  // namespace session_hook
