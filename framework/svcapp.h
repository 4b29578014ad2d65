#pragma once
// The framework's service application: the application object of a server library, with its
// settings key, the optional tracing hook, the framework's controls and grid, and its message box.
#include <string>
#include <vector>

#include "platform/gui/windows.h"
#include "platform/resources/resources.h"
#include "platform/strings/strings.h"

// The framework's control and grid set-up. Headless: each call is only recorded.
class CHookSupp {
 public:
  CHookSupp() = delete;
  static void InitCtrlsDll();
  static void InitGrid();
  static void TerminateGrid();
};

namespace zephra {
// The CHookSupp calls made so far, oldest first, each as "<call> <current application name>".
std::vector<std::wstring> HookSuppCalls();
void ClearHookSuppCalls();
}  // namespace zephra

// The framework's message hook: the framework watches the messages of the application's windows
// (keyboard shortcuts, help requests). Code that runs a dialog the user must not interrupt
// suspends it for that time; suspensions nest, and the hook works again after the last resume.
class CFlgMessageHook {
 public:
  CFlgMessageHook() = delete;
  static void Suspend();
  // A resume without a suspension does nothing.
  static void Resume();
  static bool IsSuspended();
};

// What the tracing library exports under "HookModule": it is given the library's module handle.
using QuillonHookModule = void (*)(HINSTANCE module);

class CFlgSvcApp : public CWinApp {
 public:
  // Registry key text "Kordel\Kordel VX", profile text empty.
  explicit CFlgSvcApp(LPCWSTR appName = nullptr);

  // The tracing hook, SetupRegistry, the controls, the class library's own set-up (its result is
  // the result), the grid.
  BOOL InitInstance() override;
  // The grid's clean-up, then the class library's.
  int ExitInstance() override;
  // The class library's box with the exclamation icon by default for OK, OK/Cancel, Yes/No/Cancel
  // and Yes/No, captioned by the host (IHxAppCaption) or with the application's name.
  int DoMessageBox(LPCWSTR prompt, UINT type, UINT idPrompt) override;

  // Profile text = the module's application name and "\1.0"; the class library's registry key and
  // profile name become copies of the two texts. Settings then live under
  // HKEY_CURRENT_USER\Software\<registry key>\<application name>\1.0.
  virtual void SetupRegistry();

  // The type with the default icon added where the box has none (see DoMessageBox).
  static UINT WithDefaultIcon(UINT type);

 protected:
  CString m_strRegistryKey;
  CString m_strProfile;
};
