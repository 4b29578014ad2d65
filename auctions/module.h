#pragma once
// Lotrix's module: its application object and its COM module (the object map of the classes
// the library serves, registration, class objects and the lock count that keeps it loaded).
//
// The library is loaded by the platform's activation (dlopen) or linked; either way, loading it
// constructs the application object in Lotrix's module state and runs its InitInstance, and
// unloading runs ExitInstance. Every COM method of a Lotrix class enters Lotrix's module state
// (AFX_MANAGE_STATE(AfxGetStaticModuleState())) and keeps the module locked while its object
// lives (platform::com::ServerObject, or LotrixModule().Lock() and Unlock()).
#include "auctions/lotrix.h"
#include "platform/com/server.h"
#include "shared/svcapp.h"

class CLotrixApp : public CHxSvcApp {
 public:
  CLotrixApp();
  // Closes the object map, then the framework's clean-up.
  int ExitInstance() override;

 protected:
  // Opens the object map: from here on the library hands out its class objects.
  void RegisterClassFactories() override;
};

class CLotrixModule {
 public:
  CLotrixModule() = default;
  CLotrixModule(const CLotrixModule&) = delete;
  CLotrixModule& operator=(const CLotrixModule&) = delete;

  // The object map: a row per class of the type library that the library registers. A row
  // without a creation function answers CLASS_E_CLASSNOTAVAILABLE.
  static const platform::com::ServerClass* ObjectMap();
  static std::size_t ObjectMapSize();
  // The AppID and the type library that every row names.
  static const platform::com::ServerInfo& ServerRegistration();

  void Init(HINSTANCE instance);
  void Term();
  bool IsInitialized() const { return m_instance != nullptr; }
  // Lotrix's module handle (its resources) and its module state.
  HINSTANCE GetModuleInstance() const;
  AFX_MODULE_STATE* State() const;
  // The application object while the library is loaded, else null.
  CLotrixApp* App() const;

  // Objects, and class objects locked by their callers, keep the library loaded.
  void Lock();
  void Unlock();
  LONG GetLockCount() const;

  // What the library's four exports do.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv);
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer();
  HRESULT UnregisterServer();

 private:
  HINSTANCE m_instance = nullptr;
};

// The library's one module object.
CLotrixModule& LotrixModule();
