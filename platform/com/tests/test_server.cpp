// A small in-process server library: two classes registered from a table.
#include "platform/com/server.h"
#include "platform/com/tests/test_server.h"

namespace {

std::atomic<LONG> g_loads{0};
struct CountLoad {
  CountLoad() { ++g_loads; }
} g_countLoad;

class Greeter final : public platform::com::ServerObject<IGreeter, ISupportErrorInfo> {
 public:
  STDMETHODIMP Greet(BSTR name, BSTR* greeting) override {
    if (!greeting) return E_POINTER;
    *greeting = nullptr;
    if (SysStringLen(name) == 0) {
      return platform::com::ReportError(E_INVALIDARG, L"Brak imienia", L"Vantor.TestGreeter", __uuidof(IGreeter));
    }
    _bstr_t text = _bstr_t(L"Cześć, ") + _bstr_t(name) + L"!";
    *greeting = text.Detach();
    return S_OK;
  }
  STDMETHODIMP LoadCount(LONG* count) override {
    *count = g_loads;
    return S_OK;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == __uuidof(IGreeter) ? S_OK : S_FALSE;
  }
};

HRESULT CreateGreeter(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* g = new Greeter;
  HRESULT hr = g->QueryInterface(riid, ppv);
  g->Release();
  return hr;
}

const platform::com::ServerClass kClasses[] = {
    {&__uuidof(CoGreeter), L"Test greeter", L"Vantor.TestGreeter.1", L"Vantor.TestGreeter", nullptr, &CreateGreeter},
    {&__uuidof(CoQuietGreeter), L"Quiet greeter", nullptr, nullptr, L"Both", &CreateGreeter},
};

}  // namespace

VANTOR_COM_SERVER(kClasses);
