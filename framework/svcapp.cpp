#include "framework/svcapp.h"

#include <atomic>
#include <climits>
#include <mutex>

#include "framework/controls.h"
#include "framework/zephra.h"

namespace {

// The longest executable path a caption takes.
constexpr DWORD kMaxPath = 260;

std::mutex& CallsMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::vector<std::wstring>& Calls() {
  static auto* calls = new std::vector<std::wstring>;
  return *calls;
}

void RecordCall(const wchar_t* call) {
  const wchar_t* app = AfxGetAppName();
  std::lock_guard<std::mutex> lock(CallsMutex());
  Calls().push_back(std::wstring(call) + L" " + (app ? app : L""));
}

}  // namespace

namespace {
std::atomic<int> g_hookSuspensions{0};
}  // namespace

void CFlgMessageHook::Suspend() { ++g_hookSuspensions; }
void CFlgMessageHook::Resume() {
  int n = g_hookSuspensions.load();
  while (n > 0 && !g_hookSuspensions.compare_exchange_weak(n, n - 1)) {
  }
}
bool CFlgMessageHook::IsSuspended() { return g_hookSuspensions.load() > 0; }

void CHookSupp::InitCtrlsDll() {
  RecordCall(L"InitCtrlsDll");
  ZphRegisterControls();
}
void CHookSupp::InitGrid() { RecordCall(L"InitGrid"); }
void CHookSupp::TerminateGrid() { RecordCall(L"TerminateGrid"); }

namespace zephra {
std::vector<std::wstring> HookSuppCalls() {
  std::lock_guard<std::mutex> lock(CallsMutex());
  return Calls();
}
void ClearHookSuppCalls() {
  std::lock_guard<std::mutex> lock(CallsMutex());
  Calls().clear();
}
}  // namespace zephra

CFlgSvcApp::CFlgSvcApp(LPCWSTR appName) : CWinApp(appName), m_strRegistryKey(L"Kordel\\Kordel VX") {}

BOOL CFlgSvcApp::InitInstance() {
  HMODULE quillon = GetModuleHandleW(L"quillon.dll");
  if (quillon == nullptr) quillon = LoadLibraryW(L"quillon.dll");
  if (quillon != nullptr) {
    if (auto hook = reinterpret_cast<QuillonHookModule>(GetProcAddress(quillon, "HookModule"))) hook(m_hInstance);
  }
  SetupRegistry();
  CHookSupp::InitCtrlsDll();
  const BOOL result = CWinApp::InitInstance();
  CHookSupp::InitGrid();
  return result;
}

int CFlgSvcApp::ExitInstance() {
  CHookSupp::TerminateGrid();
  return CWinApp::ExitInstance();
}

void CFlgSvcApp::SetupRegistry() {
  const wchar_t* app = AfxGetAppName();
  m_strProfile = app ? app : L"";
  m_strProfile += L"\\1.0";
  SetOwnedText(m_pszRegistryKey, m_strRegistryKey.GetString());
  SetOwnedText(m_pszProfileName, m_strProfile.GetString());
}

UINT CFlgSvcApp::WithDefaultIcon(UINT type) {
  if ((type & MB_ICONMASK) != 0) return type;
  switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return type | MB_ICONEXCLAMATION;
    default:
      return type;
  }
}

int CFlgSvcApp::DoMessageBox(LPCWSTR prompt, UINT type, UINT) {
  type = WithDefaultIcon(type);
  CString caption;
  bool captioned = false;
  if (IFlgInstancePtr instance = GetGlobalFlgInstance()) {
    IHxAppCaption* host = nullptr;
    const HRESULT hr = instance->QueryInterface(__uuidof(IHxAppCaption), reinterpret_cast<void**>(&host));
    if (SUCCEEDED(hr) && host != nullptr) {
      IHxAppCaptionPtr held(host, false);
      BSTR text = nullptr;
      if (SUCCEEDED(held->GetCaption(0, &text))) {
        caption = text ? text : L"";
        captioned = true;
      }
      SysFreeString(text);
    } else if (hr != E_NOINTERFACE) {
      _com_issue_error(hr);
    }
  }
  if (!captioned) {
    if (CWinApp* app = AfxGetApp()) {
      caption = app->m_pszAppName ? app->m_pszAppName : L"";
    } else {
      wchar_t path[kMaxPath + 1] = {};
      GetModuleFileNameW(nullptr, path, kMaxPath);
      caption = path;
    }
  }
  return MessageBoxW(GetActiveWindow(), prompt, caption.GetString(), type);
}
