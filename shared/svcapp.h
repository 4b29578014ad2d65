#pragma once
// The product's service application: the application object of the system's server libraries.
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
