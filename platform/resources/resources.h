#pragma once
// Modules, their resources and the class library's module state.
//
// A module (the host, each system library, a test) declares its resources once with
// VANTOR_RESOURCE_MODULE in one of its source files:
//
//   VANTOR_RESOURCE_MODULE(g_vantorModule, L"Vantor", platform::ModuleKind::Library,
//       {{1014, L"opłacona"}, {1017, L"nieopłacona"}},          // string table
//       {{RT_HTML, L"HELP", data, size}},                      // other resources (optional)
//       {{0x1000, L"Nie można %1"}});                          // message table (optional)
//
// The module's HINSTANCE is `g_vantorModule.Handle()`. String tables are stored as the platform
// stores them: RT_STRING blocks named id / 16 + 1, 16 entries each, every entry a 16-bit length
// followed by that many UTF-16 code units.
//
// The current module state is per thread; each module's own state is process-wide.
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/strings/strings.h"

// --- resource ids and types
#ifndef MAKEINTRESOURCEW
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#endif
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEW(i)
#endif
#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_FONTDIR MAKEINTRESOURCEW(7)
#define RT_FONT MAKEINTRESOURCEW(8)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEW(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_HTML MAKEINTRESOURCEW(23)
#define RT_MANIFEST MAKEINTRESOURCEW(24)

// --- Windows resource calls
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
BOOL FreeResource(HGLOBAL data);
// Copies string `id` into buffer (at most size-1 characters, always terminated) and returns its
// length; 0 when there is no such string. With size 0, *(LPCWSTR*)buffer receives a read-only
// pointer to the text (terminated here) and the length is returned.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size);
// The generic names are functions rather than macros, so members named LoadString (CString's)
// are left alone.
inline HRSRC FindResource(HMODULE module, LPCWSTR name, LPCWSTR type) { return FindResourceW(module, name, type); }
inline int LoadString(HINSTANCE module, UINT id, LPWSTR buffer, int size) { return LoadStringW(module, id, buffer, size); }
// Calls `callback` with each resource name of that type in the module (ids first, then texts,
// upper-cased), until it returns FALSE. FALSE when the module has none of that type.
using ENUMRESNAMEPROCW = BOOL (*)(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param);
BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW callback, LONG_PTR param);
// The module registered under `name` (case-insensitive; "Vantor", "Vantor.dll" and
// "libVantor.so" all match), else a library that the process has loaded under that name (as
// LoadLibraryW names it); a name with a "/" is first taken as the full path of the module's file
// (the executable's path names the application module); null names the application's module.
HMODULE GetModuleHandleW(LPCWSTR name);
// The file the module was loaded from. Truncates (terminated) to `size` and returns `size` then.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
// Libraries loaded by name: "x.dll" stands for libx.so, looked for where the loader looks (a
// name with a slash is a path). LoadLibraryW loads (or counts once more) and gives null when the
// library cannot be loaded; GetProcAddress gives null for a missing export or an unknown handle.
using FARPROC = void (*)();
HMODULE LoadLibraryW(LPCWSTR name);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// The computer's name as the network knows it: the host name up to its first dot, at most
// MAX_COMPUTERNAME_LENGTH characters. *size is the buffer's length in characters; it receives
// the name's length, or the length needed (with the terminator) and FALSE when it is too small.
#define MAX_COMPUTERNAME_LENGTH 15
BOOL GetComputerNameW(LPWSTR buffer, DWORD* size);
inline HMODULE GetModuleHandle(LPCWSTR name) { return GetModuleHandleW(name); }
inline HMODULE LoadLibrary(LPCWSTR name) { return LoadLibraryW(name); }
inline BOOL GetComputerName(LPWSTR buffer, DWORD* size) { return GetComputerNameW(buffer, size); }
inline DWORD GetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size) { return GetModuleFileNameW(module, buffer, size); }

class CWinApp;
class CDynLinkLibrary;
using LPBYTE = BYTE*;

// --- module state
struct AFX_MODULE_STATE {
  HINSTANCE m_hCurrentInstanceHandle = nullptr;
  HINSTANCE m_hCurrentResourceHandle = nullptr;
  LPCWSTR m_lpszCurrentAppName = nullptr;
  CWinApp* m_pCurrentWinApp = nullptr;
  BOOL m_bDLL = FALSE;
  BOOL m_bSystem = FALSE;
  // Extension libraries attached while this state was current, most recent first.
  std::vector<CDynLinkLibrary*> m_libraryList;
};

struct AFX_EXTENSION_MODULE {
  BOOL bInitialized = FALSE;
  HMODULE hModule = nullptr;
  HMODULE hResource = nullptr;
};

// The current thread's module state (the application's when none was entered).
AFX_MODULE_STATE* AfxGetModuleState();
AFX_MODULE_STATE* AfxGetAppModuleState();
// This module's own state. Each module gets its own through VANTOR_RESOURCE_MODULE; the
// function is local to the module that calls it.
extern "C" __attribute__((visibility("hidden"))) AFX_MODULE_STATE* vantor_this_module_state();
static inline AFX_MODULE_STATE* AfxGetStaticModuleState() { return vantor_this_module_state(); }

// Enters a module state for a scope and restores the previous one when the scope ends, also
// when it ends by an exception.
class AFX_MAINTAIN_STATE2 {
 public:
  explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* state);
  ~AFX_MAINTAIN_STATE2();
  AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
  AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

 private:
  AFX_MODULE_STATE* m_previous;
};
using AFX_MAINTAIN_STATE = AFX_MAINTAIN_STATE2;
#define VANTOR_AFX_CONCAT2(a, b) a##b
#define VANTOR_AFX_CONCAT(a, b) VANTOR_AFX_CONCAT2(a, b)
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 VANTOR_AFX_CONCAT(_afxManageState, __LINE__)(p)

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resource);
HINSTANCE AfxGetInstanceHandle();
CWinApp* AfxGetApp();
LPCWSTR AfxGetAppName();
// The module holding string `id`: the current resource module, then the extension chain of the
// current module state; null when none has it.
HINSTANCE AfxFindStringResourceHandle(UINT id);
// The module holding resource `name` of `type`, searched as strings are, then the application's
// module; null when none has it.
HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type);

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module);
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all = FALSE);

// One extension library in the current module state's chain, from construction to destruction.
class CDynLinkLibrary {
 public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL system = FALSE);
  CDynLinkLibrary(HINSTANCE module, HINSTANCE resource);
  virtual ~CDynLinkLibrary();
  CDynLinkLibrary(const CDynLinkLibrary&) = delete;
  CDynLinkLibrary& operator=(const CDynLinkLibrary&) = delete;

  HMODULE m_hModule;
  HMODULE m_hResource;
  BOOL m_bSystem;

 private:
  AFX_MODULE_STATE* m_owner;
};

// --- the application object and its profile
class CWinApp {
 public:
  explicit CWinApp(LPCWSTR appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // The application's message box (AfxMessageBox comes here): the window layer's box over the
  // active window with the application's name as caption. `idPrompt` is the prompt's help id.
  virtual int DoMessageBox(LPCWSTR prompt, UINT type, UINT idPrompt);

  // Profile entries live under HKEY_CURRENT_USER\Software\<registry key>\<app name>\<section>
  // (without a registry key: HKEY_CURRENT_USER\Software\<app name>\<section>).
  void SetRegistryKey(LPCWSTR key);
  void SetRegistryKey(UINT keyStringId);
  UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue);
  CString GetProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue = nullptr);
  CString GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue = nullptr) {
    return GetProfileStringW(section, entry, defaultValue);
  }
  BOOL WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value);
  // A null value deletes the entry; a null entry deletes the whole section.
  BOOL WriteProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR value);
  BOOL WriteProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR value) {
    return WriteProfileStringW(section, entry, value);
  }
  // *data receives a new[] copy the caller delete[]s; FALSE (and null) when absent.
  BOOL GetProfileBinary(LPCWSTR section, LPCWSTR entry, LPBYTE* data, UINT* bytes);
  BOOL WriteProfileBinary(LPCWSTR section, LPCWSTR entry, LPBYTE data, UINT bytes);
  HKEY GetAppRegistryKey();
  HKEY GetSectionKey(LPCWSTR section);

  LPCWSTR m_pszAppName = nullptr;
  LPCWSTR m_pszRegistryKey = nullptr;
  LPCWSTR m_pszProfileName = nullptr;
  LPCWSTR m_pszExeName = nullptr;
  HINSTANCE m_hInstance = nullptr;

 protected:
  // Points `field` (one of the texts above) at a copy of `text` that the application owns; the
  // copy it held before is freed.
  void SetOwnedText(LPCWSTR& field, const std::wstring& text);

 private:
  std::vector<wchar_t*> m_owned;
  AFX_MODULE_STATE* m_state;
};

// The current application's message box (CWinApp::DoMessageBox); without an application
// object, the system box captioned with the executable's path.
int AfxMessageBox(LPCWSTR text, UINT type = 0, UINT idHelp = 0);

namespace platform {

enum class ModuleKind { Application, Library };

struct StringResource {
  UINT id;
  const wchar_t* text;
};
struct BinaryResource {
  LPCWSTR type;  // MAKEINTRESOURCE id or text
  LPCWSTR name;  // MAKEINTRESOURCE id or text
  const void* data;
  size_t size;
};
struct MessageResource {
  DWORD id;
  const wchar_t* text;
};

// A module and its resources, registered for as long as the object lives.
class ResourceModule {
 public:
  ResourceModule(const wchar_t* name, ModuleKind kind, std::initializer_list<StringResource> strings = {},
                 std::initializer_list<BinaryResource> resources = {},
                 std::initializer_list<MessageResource> messages = {});
  ~ResourceModule();
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;

  HINSTANCE Handle() const { return m_handle; }
  // The module's own state; for the application module, the process's application state.
  AFX_MODULE_STATE* State() { return m_statePtr; }

  // Adds to (or replaces in) the module's tables after construction.
  void AddStrings(std::initializer_list<StringResource> strings);
  void AddString(UINT id, const std::wstring& text);
  void AddResource(LPCWSTR type, LPCWSTR name, const void* data, size_t size);
  void AddMessage(DWORD id, const std::wstring& text);

 private:
  HINSTANCE m_handle;
  AFX_MODULE_STATE m_state;
  AFX_MODULE_STATE* m_statePtr;
};

// The computer name that a host name gives (see GetComputerNameW).
std::wstring ComputerNameOf(const std::string& hostName);
// The name that GetComputerNameW answers in this process from now on, cut to the computer name's
// MAX_COMPUTERNAME_LENGTH characters: the workstation a process stands for when several run on one
// machine (the host program's --workstation). Empty: the host name's again.
void SetComputerName(const std::wstring& name);
// The library file name that LoadLibraryW looks for: "quillon.dll" gives "libquillon.so".
std::string LibraryFileName(const std::wstring& name);
// The bytes of the resource that a "res://<module file>/<type>/<name>" address names (the type
// may be left out for an HTML resource; "#n" is the id n). False when the module or the
// resource is not there.
bool ReadResourceUrl(std::wstring_view url, std::vector<BYTE>& bytes);

// Every registered module with its name, in registration order of their handles.
std::vector<std::pair<HMODULE, std::wstring>> ResourceModules();

// The window layer's message box over the active window, which CWinApp::DoMessageBox and
// AfxMessageBox show (the layer sets it when it loads; without it a box answers IDOK unseen).
using MessageBoxFunction = int (*)(LPCWSTR text, LPCWSTR caption, UINT type);
void SetMessageBoxFunction(MessageBoxFunction box);
int ShowMessageBox(LPCWSTR text, LPCWSTR caption, UINT type);

// The RT_STRING block layout: the block holding `id` and the entry's index inside it.
constexpr UINT StringBlockName(UINT id) { return id / 16 + 1; }
constexpr UINT StringBlockIndex(UINT id) { return id % 16; }

// Walks a RT_STRING block as stored: returns false when the entry is absent, empty or runs past
// the end of the block.
bool ReadStringBlockEntry(const void* block, size_t size, UINT index, std::wstring& out);

}  // namespace platform

#define VANTOR_RESOURCE_MODULE(var, ...)    \
  ::platform::ResourceModule var{__VA_ARGS__}; \
  extern "C" __attribute__((visibility("hidden"))) AFX_MODULE_STATE* vantor_this_module_state() { return var.State(); }
