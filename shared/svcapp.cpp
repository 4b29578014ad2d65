#include "shared/svcapp.h"

#include "shared/resstrings.h"

CHxSvcApp::CHxSvcApp(LPCWSTR appName) : CFlgSvcApp(appName) { m_strRegistryKey = L"Kordel\\Vantor"; }

BOOL CHxSvcApp::InitInstance() {
  const BOOL result = CFlgSvcApp::InitInstance();
  CHxHookProc::InitCtrlsDll();
  RegisterClassFactories();
  return result;
}
