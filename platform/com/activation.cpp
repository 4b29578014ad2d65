// CoInitialize, class objects registered in process, CoCreateInstance and the Global Interface
// Table. Server libraries found through the registry are handled in server.cpp.
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "platform/com/activation_internal.h"
#include "platform/com/com.h"

namespace {

std::atomic<long> g_initCount{0};

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
// The class of each registration, by its cookie.
std::map<DWORD, CLSID>& Table() {
  static auto* table = new std::map<DWORD, CLSID>;
  return *table;
}
// The registrations' objects by class and then cookie: a class's newest is the last of its own.
struct ByClass {
  bool operator()(const std::pair<CLSID, DWORD>& a, const std::pair<CLSID, DWORD>& b) const {
    const int order = std::memcmp(&a.first, &b.first, sizeof(CLSID));
    return order != 0 ? order < 0 : a.second < b.second;
  }
};
std::map<std::pair<CLSID, DWORD>, IUnknown*, ByClass>& ClassIndex() {
  static auto* index = new std::map<std::pair<CLSID, DWORD>, IUnknown*, ByClass>;
  return *index;
}
DWORD g_nextCookie = 1;

// The newest registration of the class, with a reference.
IUnknown* FindRegistered(REFCLSID clsid) {
  std::lock_guard lock(TableMutex());
  auto& index = ClassIndex();
  auto it = index.upper_bound({clsid, ~DWORD{0}});
  if (it == index.begin()) return nullptr;
  --it;
  if (!(it->first.first == clsid)) return nullptr;
  it->second->AddRef();
  return it->second;
}

}  // namespace

HRESULT CoInitialize(LPVOID) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD) {
  return g_initCount.fetch_add(1) == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  long expected = g_initCount.load();
  while (expected > 0 && !g_initCount.compare_exchange_weak(expected, expected - 1)) {
  }
}

HRESULT OleInitialize(LPVOID) { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
void OleUninitialize() { CoUninitialize(); }

HRESULT OleRun(LPUNKNOWN pUnknown) { return pUnknown ? S_OK : E_INVALIDARG; }

HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD, DWORD, DWORD* lpdwRegister) {
  if (!pUnk || !lpdwRegister) return E_INVALIDARG;
  std::lock_guard lock(TableMutex());
  pUnk->AddRef();
  DWORD cookie = g_nextCookie++;
  Table()[cookie] = rclsid;
  ClassIndex()[{rclsid, cookie}] = pUnk;
  *lpdwRegister = cookie;
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD dwRegister) {
  IUnknown* object = nullptr;
  {
    std::lock_guard lock(TableMutex());
    auto it = Table().find(dwRegister);
    if (it == Table().end()) return E_INVALIDARG;
    auto entry = ClassIndex().find({it->second, dwRegister});
    object = entry->second;
    ClassIndex().erase(entry);
    Table().erase(it);
  }
  object->Release();
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD, LPVOID, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (IUnknown* registered = FindRegistered(rclsid)) {
    HRESULT hr = registered->QueryInterface(riid, ppv);
    registered->Release();
    return hr;
  }
  if (rclsid == CLSID_StdGlobalInterfaceTable) {
    return platform::com::detail::GlobalInterfaceTableFactory()->QueryInterface(riid, ppv);
  }
  return platform::com::detail::GetServerClassObject(rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  return hr;
}

// ---- class factory over a function ----

namespace {

class FunctionFactory final : public platform::com::ComObject<IClassFactory> {
 public:
  FunctionFactory(platform::com::CreateFunction create, platform::com::ModuleLocks* locks)
      : create_(create), locks_(locks) {
    if (locks_) locks_->Lock();
  }
  ~FunctionFactory() override {
    if (locks_) locks_->Unlock();
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return create_(outer, riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (locks_) {
      if (lock) {
        locks_->Lock();
      } else {
        locks_->Unlock();
      }
    }
    return S_OK;
  }

 private:
  platform::com::CreateFunction create_;
  platform::com::ModuleLocks* locks_;
};

// ---- Global Interface Table ----

// One table for the whole process; the factory keeps a reference for ever.
class GlobalInterfaceTable final : public platform::com::ComObject<IGlobalInterfaceTable> {
 public:
  STDMETHODIMP RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override {
    if (!pUnk || !pdwCookie) return E_INVALIDARG;
    IUnknown* held = nullptr;
    HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&held));
    if (FAILED(hr)) return hr;
    std::lock_guard lock(mutex_);
    DWORD cookie = next_++;
    entries_[cookie] = Entry{riid, held};
    *pdwCookie = cookie;
    return S_OK;
  }
  STDMETHODIMP RevokeInterfaceFromGlobal(DWORD dwCookie) override {
    IUnknown* held = nullptr;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(dwCookie);
      if (it == entries_.end()) return E_INVALIDARG;
      held = it->second.object;
      entries_.erase(it);
    }
    held->Release();
    return S_OK;
  }
  STDMETHODIMP GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    IUnknown* held = nullptr;
    {
      std::lock_guard lock(mutex_);
      auto it = entries_.find(dwCookie);
      if (it == entries_.end()) return E_INVALIDARG;
      held = it->second.object;
      held->AddRef();
    }
    HRESULT hr = held->QueryInterface(riid, ppv);
    held->Release();
    return hr;
  }

 private:
  struct Entry {
    IID iid;
    IUnknown* object;
  };
  std::mutex mutex_;
  std::map<DWORD, Entry> entries_;
  DWORD next_ = 0x100;
};

class GitFactory final : public platform::com::ComObject<IClassFactory> {
 public:
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    static auto* table = new GlobalInterfaceTable;
    return table->QueryInterface(riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

namespace platform::com {

IClassFactory* NewClassFactory(CreateFunction create, ModuleLocks* locks) {
  if (!create) return nullptr;
  return new (std::nothrow) FunctionFactory(create, locks);
}

namespace detail {
IClassFactory* GlobalInterfaceTableFactory() {
  static auto* factory = new GitFactory;
  return factory;
}
}  // namespace detail

}  // namespace platform::com
