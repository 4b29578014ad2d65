#include "platform/resources/resources.h"
#include "platform/resources/system_internal.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <memory>

namespace {

// A resource type or name: a 16-bit id or an upper-cased text ("#123" is the id 123).
struct ResName {
  bool isId = true;
  WORD id = 0;
  std::wstring text;

  static ResName From(LPCWSTR p) {
    ResName r;
    if (IS_INTRESOURCE(p)) {
      r.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(p));
      return r;
    }
    if (p[0] == L'#') {
      r.id = static_cast<WORD>(_wtoi(p + 1));
      return r;
    }
    r.isId = false;
    for (const wchar_t* q = p; *q; ++q) r.text.push_back(platform::ToUpperChar(*q));
    return r;
  }
  bool operator<(const ResName& o) const {
    if (isId != o.isId) return isId;  // ids first
    return isId ? id < o.id : text < o.text;
  }
};

struct Resource {
  std::vector<BYTE> data;
  HMODULE owner = nullptr;
};

struct Module {
  std::wstring name;
  std::wstring path;
  platform::ModuleKind kind = platform::ModuleKind::Library;
  AFX_MODULE_STATE* state = nullptr;
  std::map<std::pair<ResName, ResName>, std::unique_ptr<Resource>> resources;
  std::map<UINT, std::wstring> strings;   // the string table as registered, by id
  std::map<UINT, std::wstring> loaded;    // texts handed out by pointer (LoadStringW with size 0)
  std::map<DWORD, std::wstring> messages;
};

// Both live until the process ends (never destroyed), so modules that unregister while the
// process exits still find them.
std::recursive_mutex& RegistryMutex() {
  static auto* m = new std::recursive_mutex;
  return *m;
}

std::map<HMODULE, Module*>& Modules() {
  static auto* modules = new std::map<HMODULE, Module*>;
  return *modules;
}

Module* Lookup(HMODULE h) {
  auto& modules = Modules();
  auto it = modules.find(h);
  return it == modules.end() ? nullptr : it->second;
}

std::wstring ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::wstring();
  return platform::Utf8ToWide(std::string_view(buf, static_cast<size_t>(n)));
}

// The application's module state: one for the process, whichever module declares itself the
// application. Libraries are loaded (and join its extension chain) before the executable's own
// declaration runs, so the state must exist before and survive that declaration.
AFX_MODULE_STATE& AppState() {
  static auto* state = new AFX_MODULE_STATE;
  return *state;
}

// The application's module when no module declared itself the application: no resources.
Module& DefaultApplication() {
  static Module* module = [] {
    auto* m = new Module;
    m->name = L"";
    m->path = ExecutablePath();
    m->kind = platform::ModuleKind::Application;
    m->state = &AppState();
    auto h = reinterpret_cast<HMODULE>(m);
    AppState().m_hCurrentInstanceHandle = h;
    AppState().m_hCurrentResourceHandle = h;
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    Modules()[h] = m;
    return m;
  }();
  return *module;
}

Module* Application() {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  for (auto& [h, m] : Modules())
    if (m->kind == platform::ModuleKind::Application && m != &DefaultApplication()) return m;
  return &DefaultApplication();
}

thread_local AFX_MODULE_STATE* t_currentState = nullptr;

// Module names compare without directory, "lib" prefix, extension and case.
std::wstring NormalizeModuleName(std::wstring_view name) {
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
  std::wstring n;
  for (wchar_t c : name) n.push_back(platform::ToLowerChar(c));
  for (const wchar_t* ext : {L".dll", L".exe", L".so"}) {
    size_t len = std::wcslen(ext);
    if (n.size() > len && n.compare(n.size() - len, len, ext) == 0) {
      n.resize(n.size() - len);
      break;
    }
  }
  if (n.size() > 3 && n.compare(0, 3, L"lib") == 0) n.erase(0, 3);
  return n;
}

void StoreResource(Module& m, const ResName& type, const ResName& name, std::vector<BYTE> data) {
  auto& slot = m.resources[{type, name}];
  if (!slot) slot = std::make_unique<Resource>();
  slot->data = std::move(data);
  slot->owner = reinterpret_cast<HMODULE>(&m);
}

// Rebuilds the RT_STRING block that holds `id` from the module's string table.
void RebuildStringBlock(Module& m, UINT id) {
  UINT first = id - id % 16;
  std::vector<BYTE> block;
  for (UINT i = 0; i < 16; ++i) {
    std::u16string units;
    auto it = m.strings.find(first + i);
    if (it != m.strings.end()) units = platform::WideToUtf16(it->second);
    if (units.size() > 0xFFFF) units.resize(0xFFFF);
    auto len = static_cast<std::uint16_t>(units.size());
    block.push_back(static_cast<BYTE>(len & 0xFF));
    block.push_back(static_cast<BYTE>(len >> 8));
    for (char16_t u : units) {
      block.push_back(static_cast<BYTE>(u & 0xFF));
      block.push_back(static_cast<BYTE>(u >> 8));
    }
  }
  ResName type;
  type.id = 6;
  ResName name;
  name.id = static_cast<WORD>(platform::StringBlockName(id));
  StoreResource(m, type, name, std::move(block));
}

Resource* FindIn(Module* m, LPCWSTR name, LPCWSTR type) {
  if (m == nullptr || name == nullptr || type == nullptr) return nullptr;
  auto it = m->resources.find({ResName::From(type), ResName::From(name)});
  return it == m->resources.end() ? nullptr : it->second.get();
}

Module* Resolve(HMODULE h) { return h == nullptr ? Application() : Lookup(h); }

// The text of string `id` in module h, read through its RT_STRING block.
bool ReadString(HMODULE h, UINT id, std::wstring& out) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  Resource* r = FindIn(Resolve(h), MAKEINTRESOURCEW(platform::StringBlockName(id)), RT_STRING);
  if (r == nullptr) return false;
  return platform::ReadStringBlockEntry(r->data.data(), r->data.size(), platform::StringBlockIndex(id), out);
}

// The module that string `id` is found in, as the current module state searches for it (its
// resource module, then its extension libraries), with the string read into `out`.
HINSTANCE FindString(UINT id, std::wstring& out) {
  AFX_MODULE_STATE* state = AfxGetModuleState();
  HINSTANCE current = state->m_hCurrentResourceHandle;
  if (current != nullptr && ReadString(current, id, out)) return current;
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  for (CDynLinkLibrary* lib : state->m_libraryList)
    if (lib->m_hResource != nullptr && ReadString(lib->m_hResource, id, out)) return lib->m_hResource;
  return nullptr;
}

bool LoadForCString(HINSTANCE module, UINT id, std::wstring& out) {
  if (module == nullptr) return FindString(id, out) != nullptr;
  return ReadString(module, id, out);
}

bool LoadMessage(HINSTANCE module, DWORD id, std::wstring& out) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  Module* m = Resolve(module);
  if (m == nullptr) return false;
  auto it = m->messages.find(id);
  if (it == m->messages.end()) return false;
  out = it->second;
  return true;
}

// CString::LoadString and FormatMessage(FROM_HMODULE) read through this component once loaded.
// The default application module is created here, while the library loads on one thread.
const bool g_hooksInstalled = [] {
  DefaultApplication();
  platform::SetStringLoader(&LoadForCString);
  platform::SetMessageLoader(&LoadMessage);
  return true;
}();

}  // namespace

namespace platform {

bool ReadStringBlockEntry(const void* block, size_t size, UINT index, std::wstring& out) {
  if (block == nullptr || index > 15) return false;
  const auto* p = static_cast<const BYTE*>(block);
  size_t pos = 0;
  for (UINT i = 0;; ++i) {
    if (pos + 2 > size) return false;
    size_t len = static_cast<size_t>(p[pos]) | (static_cast<size_t>(p[pos + 1]) << 8);
    pos += 2;
    if (i == index) {
      if (len == 0 || pos + len * 2 > size) return false;
      std::vector<std::uint16_t> units(len);
      for (size_t k = 0; k < len; ++k)
        units[k] = static_cast<std::uint16_t>(p[pos + 2 * k] | (p[pos + 2 * k + 1] << 8));
      out = Utf16ToWide(units.data(), len);
      return true;
    }
    pos += len * 2;
  }
}

ResourceModule::ResourceModule(const wchar_t* name, ModuleKind kind, std::initializer_list<StringResource> strings,
                               std::initializer_list<BinaryResource> resources,
                               std::initializer_list<MessageResource> messages) {
  auto* m = new Module;
  m->name = name ? name : L"";
  m->kind = kind;
  m_statePtr = kind == ModuleKind::Application ? &AppState() : &m_state;
  m->state = m_statePtr;
  if (kind == ModuleKind::Application) {
    m->path = ExecutablePath();
  } else {
    Dl_info info{};
    if (dladdr(static_cast<void*>(this), &info) != 0 && info.dli_fname != nullptr) m->path = Utf8ToWide(info.dli_fname);
    else m->path = m->name;
  }
  m_handle = reinterpret_cast<HINSTANCE>(m);
  {
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    if (kind == ModuleKind::Application) {
      // Take over the process's application state, keeping the chain and the application
      // object that may already be there; a redirected resource handle stays redirected.
      HMODULE previous = reinterpret_cast<HMODULE>(&DefaultApplication());
      if (m_statePtr->m_hCurrentResourceHandle == previous || m_statePtr->m_hCurrentResourceHandle == nullptr)
        m_statePtr->m_hCurrentResourceHandle = m_handle;
      m_statePtr->m_hCurrentInstanceHandle = m_handle;
      if (m_statePtr->m_lpszCurrentAppName == nullptr || *m_statePtr->m_lpszCurrentAppName == 0)
        m_statePtr->m_lpszCurrentAppName = m->name.c_str();
    } else {
      m_state.m_hCurrentInstanceHandle = m_handle;
      m_state.m_hCurrentResourceHandle = m_handle;
      m_state.m_lpszCurrentAppName = m->name.c_str();
      m_state.m_bDLL = TRUE;
    }
    Modules()[m_handle] = m;
  }
  AddStrings(strings);
  for (const auto& r : resources) AddResource(r.type, r.name, r.data, r.size);
  for (const auto& msg : messages) AddMessage(msg.id, msg.text ? msg.text : L"");
}

ResourceModule::~ResourceModule() {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  // Unlink this module from every chain it is still part of, then forget it.
  for (auto& [h, m] : Modules()) {
    auto& list = m->state->m_libraryList;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](CDynLinkLibrary* lib) { return lib->m_hResource == m_handle || lib->m_hModule == m_handle; }),
               list.end());
  }
  Module* m = Lookup(m_handle);
  if (m_statePtr == &AppState()) {
    // The application state falls back to the default application module.
    HMODULE fallback = reinterpret_cast<HMODULE>(&DefaultApplication());
    if (AppState().m_hCurrentInstanceHandle == m_handle) AppState().m_hCurrentInstanceHandle = fallback;
    if (AppState().m_hCurrentResourceHandle == m_handle) AppState().m_hCurrentResourceHandle = fallback;
    if (m != nullptr && AppState().m_lpszCurrentAppName == m->name.c_str()) AppState().m_lpszCurrentAppName = nullptr;
  }
  Modules().erase(m_handle);
  delete m;
}

void ResourceModule::AddStrings(std::initializer_list<StringResource> strings) {
  for (const auto& s : strings) AddString(s.id, s.text ? s.text : L"");
}

void ResourceModule::AddString(UINT id, const std::wstring& text) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  Module* m = Lookup(m_handle);
  if (m == nullptr) return;
  m->strings[id] = text;
  RebuildStringBlock(*m, id);
}

void ResourceModule::AddResource(LPCWSTR type, LPCWSTR name, const void* data, size_t size) {
  if (type == nullptr || name == nullptr) return;
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  Module* m = Lookup(m_handle);
  if (m == nullptr) return;
  const auto* bytes = static_cast<const BYTE*>(data);
  StoreResource(*m, ResName::From(type), ResName::From(name),
                bytes ? std::vector<BYTE>(bytes, bytes + size) : std::vector<BYTE>());
}

void ResourceModule::AddMessage(DWORD id, const std::wstring& text) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  Module* m = Lookup(m_handle);
  if (m != nullptr) m->messages[id] = text;
}

}  // namespace platform

// --- Windows resource calls

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  return reinterpret_cast<HRSRC>(FindIn(Resolve(module), name, type));
}

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD) { return FindResourceW(module, name, type); }

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) return nullptr;
  static BYTE empty[1] = {0};
  auto* r = reinterpret_cast<Resource*>(resource);
  return reinterpret_cast<HGLOBAL>(r->data.empty() ? empty : r->data.data());
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) return 0;
  return static_cast<DWORD>(reinterpret_cast<Resource*>(resource)->data.size());
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size) {
  if (buffer == nullptr || size < 0) return 0;
  std::wstring text;
  bool found = ReadString(module, id, text);
  if (size == 0) {
    if (!found) {
      *reinterpret_cast<LPCWSTR*>(buffer) = nullptr;
      return 0;
    }
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    Module* m = Resolve(module);
    if (m == nullptr) return 0;
    std::wstring& kept = m->loaded[id];
    if (kept != text) kept = text;  // an unchanged text keeps its address
    *reinterpret_cast<LPCWSTR*>(buffer) = kept.c_str();
    return static_cast<int>(kept.size());
  }
  if (!found) {
    buffer[0] = 0;
    return 0;
  }
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (name == nullptr) return reinterpret_cast<HMODULE>(Application());
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  if (std::wcschr(name, L'/') != nullptr) {
    // A path names the module loaded from that file (the executable's file is the application);
    // failing that, the module of that file name.
    Module* app = Application();
    if (app->path == name) return reinterpret_cast<HMODULE>(app);
    for (auto& [h, m] : Modules())
      if (m->kind == platform::ModuleKind::Library && m->path == name) return h;
  }
  std::wstring wanted = NormalizeModuleName(name);
  for (auto& [h, m] : Modules())
    if (!m->name.empty() && NormalizeModuleName(m->name) == wanted) return h;
  return platform::detail::LoadedLibrary(name);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  std::wstring path;
  {
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    Module* m = Resolve(module);
    if (m == nullptr) {
      buffer[0] = 0;
      return 0;
    }
    path = m->path;
  }
  if (path.size() + 1 > size) {
    std::wmemcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = 0;
    return size;
  }
  std::wmemcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

// --- module state

AFX_MODULE_STATE* AfxGetAppModuleState() {
  DefaultApplication();
  return &AppState();
}

AFX_MODULE_STATE* AfxGetModuleState() { return t_currentState != nullptr ? t_currentState : AfxGetAppModuleState(); }

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* state) : m_previous(t_currentState) {
  if (state != nullptr) t_currentState = state;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() { t_currentState = m_previous; }

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
void AfxSetResourceHandle(HINSTANCE resource) { AfxGetModuleState()->m_hCurrentResourceHandle = resource; }
HINSTANCE AfxGetInstanceHandle() { return AfxGetModuleState()->m_hCurrentInstanceHandle; }
CWinApp* AfxGetApp() { return AfxGetModuleState()->m_pCurrentWinApp; }
LPCWSTR AfxGetAppName() { return AfxGetModuleState()->m_lpszCurrentAppName; }

HINSTANCE AfxFindStringResourceHandle(UINT id) {
  std::wstring text;
  return FindString(id, text);
}

HINSTANCE AfxFindResourceHandle(LPCWSTR name, LPCWSTR type) {
  AFX_MODULE_STATE* state = AfxGetModuleState();
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  auto has = [&](HINSTANCE h) { return h != nullptr && FindIn(Resolve(h), name, type) != nullptr; };
  if (has(state->m_hCurrentResourceHandle)) return state->m_hCurrentResourceHandle;
  for (CDynLinkLibrary* lib : state->m_libraryList)
    if (has(lib->m_hResource)) return lib->m_hResource;
  if (has(state->m_hCurrentInstanceHandle)) return state->m_hCurrentInstanceHandle;
  Module* app = Application();
  if (app && FindIn(app, name, type)) return reinterpret_cast<HMODULE>(app);
  return nullptr;
}

BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW callback, LONG_PTR param) {
  if (!callback || !type) return FALSE;
  std::vector<std::wstring> texts;
  std::vector<WORD> ids;
  {
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    Module* m = Resolve(module);
    if (!m) return FALSE;
    const ResName t = ResName::From(type);
    for (auto& [key, resource] : m->resources) {
      if (key.first.isId != t.isId || key.first.id != t.id || key.first.text != t.text) continue;
      if (key.second.isId) ids.push_back(key.second.id);
      else texts.push_back(key.second.text);
    }
  }
  if (ids.empty() && texts.empty()) return FALSE;
  for (WORD id : ids)
    if (!callback(module, type, MAKEINTRESOURCEW(id), param)) return TRUE;
  for (std::wstring& text : texts)
    if (!callback(module, type, text.data(), param)) return TRUE;
  return TRUE;
}

namespace platform {

std::vector<std::pair<HMODULE, std::wstring>> ResourceModules() {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  std::vector<std::pair<HMODULE, std::wstring>> out;
  for (auto& [h, m] : Modules()) out.emplace_back(h, m->name);
  return out;
}

namespace {
std::atomic<MessageBoxFunction> g_messageBox{nullptr};
}

void SetMessageBoxFunction(MessageBoxFunction box) { g_messageBox = box; }

int ShowMessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
  MessageBoxFunction box = g_messageBox;
  return box ? box(text, caption, type) : 1;
}

}  // namespace platform

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module) {
  if (state.bInitialized) return TRUE;
  state.hModule = module;
  state.hResource = module;
  state.bInitialized = TRUE;
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL) { state.bInitialized = FALSE; }

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL system)
    : m_hModule(state.hModule), m_hResource(state.hResource), m_bSystem(system), m_owner(AfxGetModuleState()) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  m_owner->m_libraryList.insert(m_owner->m_libraryList.begin(), this);
}

CDynLinkLibrary::CDynLinkLibrary(HINSTANCE module, HINSTANCE resource)
    : m_hModule(module), m_hResource(resource), m_bSystem(FALSE), m_owner(AfxGetModuleState()) {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  m_owner->m_libraryList.insert(m_owner->m_libraryList.begin(), this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
  std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
  // The owning state may have belonged to a module that is gone; search every live state.
  for (auto& [h, m] : Modules()) {
    auto& list = m->state->m_libraryList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

// --- the application object (the profile calls are in profile.cpp)

CWinApp::CWinApp(LPCWSTR appName) : m_state(AfxGetModuleState()) {
  m_state->m_pCurrentWinApp = this;
  m_hInstance = m_state->m_hCurrentInstanceHandle;
  std::wstring exe;
  wchar_t path[PATH_MAX];
  if (GetModuleFileNameW(m_hInstance, path, PATH_MAX) > 0) {
    std::wstring p(path);
    size_t slash = p.find_last_of(L'/');
    exe = slash == std::wstring::npos ? p : p.substr(slash + 1);
    size_t dot = exe.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) exe.resize(dot);
  }
  SetOwnedText(m_pszExeName, exe);
  if (appName != nullptr) SetOwnedText(m_pszAppName, appName);
  else if (m_state->m_lpszCurrentAppName != nullptr && *m_state->m_lpszCurrentAppName) SetOwnedText(m_pszAppName, m_state->m_lpszCurrentAppName);
  else SetOwnedText(m_pszAppName, exe);
  if (m_state->m_lpszCurrentAppName == nullptr || *m_state->m_lpszCurrentAppName == 0) m_state->m_lpszCurrentAppName = m_pszAppName;
}

CWinApp::~CWinApp() {
  if (m_state->m_pCurrentWinApp == this) m_state->m_pCurrentWinApp = nullptr;
  if (m_state->m_lpszCurrentAppName == m_pszAppName) m_state->m_lpszCurrentAppName = nullptr;
  for (wchar_t* p : m_owned) std::free(p);
}

void CWinApp::SetOwnedText(LPCWSTR& field, const std::wstring& text) {
  wchar_t* copy = _wcsdup(text.c_str());
  auto previous = std::find(m_owned.begin(), m_owned.end(), field);
  if (field != nullptr && previous != m_owned.end()) {
    if (m_state->m_lpszCurrentAppName == field) m_state->m_lpszCurrentAppName = copy;
    std::free(*previous);
    *previous = copy;
  } else {
    m_owned.push_back(copy);
  }
  field = copy;
}

int CWinApp::DoMessageBox(LPCWSTR prompt, UINT type, UINT) {
  return platform::ShowMessageBox(prompt, m_pszAppName != nullptr ? m_pszAppName : L"", type);
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT idHelp) {
  if (CWinApp* app = AfxGetApp()) return app->DoMessageBox(text, type, idHelp);
  wchar_t path[PATH_MAX];
  if (GetModuleFileNameW(nullptr, path, PATH_MAX) == 0) path[0] = 0;
  return platform::ShowMessageBox(text, path, type);
}

void CWinApp::SetRegistryKey(LPCWSTR key) {
  if (key == nullptr) return;
  SetOwnedText(m_pszRegistryKey, key);
  SetOwnedText(m_pszProfileName, m_pszAppName ? m_pszAppName : L"");
}

void CWinApp::SetRegistryKey(UINT keyStringId) {
  CString key;
  key.LoadString(keyStringId);
  SetRegistryKey(key.GetString());
}

namespace platform {

bool ReadResourceUrl(std::wstring_view url, std::vector<BYTE>& bytes) {
  bytes.clear();
  constexpr std::wstring_view kScheme = L"res://";
  if (url.size() <= kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i)
    if (platform::ToLowerChar(url[i]) != kScheme[i]) return false;
  const std::wstring rest(url.substr(kScheme.size()));
  const size_t last = rest.rfind(L'/');
  if (last == std::wstring::npos || last == 0 || last + 1 == rest.size()) return false;
  const std::wstring name = rest.substr(last + 1);
  auto find = [&](const std::wstring& module, LPCWSTR type) -> bool {
    HMODULE h = module.empty() ? nullptr : GetModuleHandleW(module.c_str());
    if (h == nullptr) return false;
    HRSRC r = FindResourceW(h, name.c_str(), type);
    if (r == nullptr) return false;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(h, r)));
    bytes.assign(data, data + SizeofResource(h, r));
    return true;
  };
  // res://<module file>/<type>/<name>, or res://<module file>/<name> for an HTML resource.
  const size_t typeStart = rest.rfind(L'/', last - 1);
  if (typeStart != std::wstring::npos && typeStart > 0) {
    const std::wstring type = rest.substr(typeStart + 1, last - typeStart - 1);
    if (!type.empty() && find(rest.substr(0, typeStart), type.c_str())) return true;
  }
  return find(rest.substr(0, last), RT_HTML);
}

}  // namespace platform
