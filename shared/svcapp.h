#pragma once
// The product's service application: the application object of the system's server libraries.
#include <optional>

#include "framework/svcapp.h"

class CHxSvcApp : public CFlgSvcApp {
 public:
  // Registry key text "Kordel\Vantor".
  explicit CHxSvcApp(LPCWSTR appName = nullptr);

  // The framework's set-up, then Vantor's resources joined to this library's chain
  // (CHxHookProc::InitCtrlsDll), then the library's class factories; the framework's result.
  BOOL InitInstance() override;

 protected:
  // Opens the library's class factories to its callers; a server library serves its object map
  // from here on.
  virtual void RegisterClassFactories() {}
};

// The application object of a server library, held by a static of the library: constructed and
// initialised in the library's module state when the library attaches to the process, ended when
// it detaches. `failed` is called when the start throws or InitInstance answers FALSE.
template <class App>
class CHxLibraryApp {
 public:
  explicit CHxLibraryApp(AFX_MODULE_STATE* state, void (*failed)() = nullptr) : m_state(state) {
    AFX_MANAGE_STATE(m_state);
    try {
      m_app.emplace();
      if (!m_app->InitInstance() && failed) failed();
    } catch (...) {
      if (failed) failed();
    }
  }
  ~CHxLibraryApp() {
    AFX_MANAGE_STATE(m_state);
    try {
      if (m_app) m_app->ExitInstance();
    } catch (...) {
    }
    m_app.reset();
  }
  CHxLibraryApp(const CHxLibraryApp&) = delete;
  CHxLibraryApp& operator=(const CHxLibraryApp&) = delete;

  // The application object while the library is loaded, else null.
  App* Get() { return m_app ? &*m_app : nullptr; }

 private:
  AFX_MODULE_STATE* m_state;
  std::optional<App> m_app;
};
