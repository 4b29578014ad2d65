// In-process servers found through the registry: HKCR\CLSID\{clsid}\InprocServer32 names the
// library, which is loaded once (RTLD_NOW) and asked for its class objects.
#include <dlfcn.h>
#include <sys/stat.h>

#include <climits>
#include <cwchar>
#include <wchar.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "platform/base/utf8.h"
#include "platform/com/activation_internal.h"
#include "platform/com/com.h"
#include "platform/registry/registry.h"

namespace {

struct Library {
  void* handle = nullptr;
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  LPFNCANUNLOADNOW canUnloadNow = nullptr;
};

std::recursive_mutex& LibraryMutex() {
  static auto* m = new std::recursive_mutex;
  return *m;
}
std::map<std::string, Library>& Libraries() {
  static auto* libs = new std::map<std::string, Library>;
  return *libs;
}

std::wstring GuidText(REFGUID g) {
  OLECHAR buf[39];
  StringFromGUID2(g, buf, 39);
  return buf;
}

// The default (or named) string value of HKCR\<sub>; empty when missing.
std::wstring ReadClassesText(const std::wstring& sub, const wchar_t* value = nullptr) {
  // Most texts (class ids, ProgIDs, paths) fit a small buffer: one read.
  wchar_t small[128];
  DWORD cb = sizeof small;
  LSTATUS st = RegGetValueW(HKEY_CLASSES_ROOT, sub.c_str(), value, RRF_RT_REG_SZ, nullptr, small, &cb);
  if (st == ERROR_SUCCESS) return std::wstring(small);
  if (st != ERROR_MORE_DATA) return std::wstring();
  std::vector<wchar_t> buf(cb / sizeof(wchar_t) + 1);
  cb = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, sub.c_str(), value, RRF_RT_REG_SZ, nullptr, buf.data(), &cb) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return buf.data();
}

bool WriteClassesText(const std::wstring& sub, const wchar_t* value, const std::wstring& text) {
  return SHSetValueW(HKEY_CLASSES_ROOT, sub.c_str(), value, REG_SZ, text.c_str(),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool CreateClassesKey(const std::wstring& sub) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Whether the named value of HKCR\<sub> is `expected` (GUID texts compare without case) or the
// key lacks it: the key then belongs to the server that wrote `expected`.
bool NamesOrNothing(const std::wstring& sub, const wchar_t* value, const std::wstring& expected) {
  const std::wstring text = ReadClassesText(sub + (value ? L"" : L"\\CLSID"), value);
  return text.empty() || ::wcscasecmp(text.c_str(), expected.c_str()) == 0;
}

bool KeyIsEmpty(const std::wstring& sub) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subKeys = 0, values = 0;
  const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                      nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                     subKeys == 0 && values == 0;
  RegCloseKey(key);
  return empty;
}

const wchar_t* TypeLibVersion(const platform::com::ServerInfo& info) {
  return info.typeLibVersion && *info.typeLibVersion ? info.typeLibVersion : L"1.0";
}

// Loads (once) the library at path. Caller holds LibraryMutex.
HRESULT LoadServerLibrary(const std::string& path, Library** out) {
  auto& libs = Libraries();
  auto it = libs.find(path);
  if (it == libs.end()) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return CO_E_DLLNOTFOUND;
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      std::fprintf(stderr, "COM: cannot load %s: %s\n", path.c_str(), ::dlerror());
      return CO_E_ERRORINDLL;
    }
    Library lib;
    lib.handle = handle;
    lib.getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(::dlsym(handle, "DllGetClassObject"));
    lib.canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(handle, "DllCanUnloadNow"));
    it = libs.emplace(path, lib).first;
  }
  *out = &it->second;
  return S_OK;
}

HRESULT CallExport(const std::wstring& path, const char* name) {
  std::lock_guard lock(LibraryMutex());
  Library* lib = nullptr;
  HRESULT hr = LoadServerLibrary(platform::utf8::FromWide(path), &lib);
  if (FAILED(hr)) return hr;
  auto fn = reinterpret_cast<LPFNREGISTERSERVER>(::dlsym(lib->handle, name));
  if (!fn) return CO_E_ERRORINDLL;
  return fn();
}

}  // namespace

namespace platform::com::detail {

HRESULT GetServerClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  *ppv = nullptr;
  std::wstring path = ReadClassesText(L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32");
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  std::lock_guard lock(LibraryMutex());
  Library* lib = nullptr;
  HRESULT hr = LoadServerLibrary(platform::utf8::FromWide(path), &lib);
  if (FAILED(hr)) return hr;
  if (!lib->getClassObject) return CO_E_ERRORINDLL;
  return lib->getClassObject(clsid, riid, ppv);
}

}  // namespace platform::com::detail

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  std::wstring progId = lpszProgID;
  // A version-independent ProgID may only name its current version.
  for (int hop = 0; hop < 2; ++hop) {
    std::wstring text = ReadClassesText(progId + L"\\CLSID");
    CLSID clsid;
    if (!text.empty() && SUCCEEDED(IIDFromString(text.c_str(), &clsid))) {
      *lpclsid = clsid;
      return S_OK;
    }
    std::wstring current = ReadClassesText(progId + L"\\CurVer");
    if (current.empty()) break;
    progId = current;
  }
  return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  std::wstring progId = ReadClassesText(L"CLSID\\" + GuidText(clsid) + L"\\ProgID");
  if (progId.empty()) return REGDB_E_CLASSNOTREG;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc((progId.size() + 1) * sizeof(OLECHAR)));
  if (!*out) return E_OUTOFMEMORY;
  std::wmemcpy(*out, progId.c_str(), progId.size() + 1);
  return S_OK;
}

void CoFreeUnusedLibraries() {
  std::lock_guard lock(LibraryMutex());
  auto& libs = Libraries();
  for (auto it = libs.begin(); it != libs.end();) {
    if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
      ::dlclose(it->second.handle);
      it = libs.erase(it);
    } else {
      ++it;
    }
  }
}

namespace platform::com {

HRESULT RegisterServerClasses(const std::wstring& libraryPath, const ServerClass* classes, std::size_t count,
                              const ServerInfo* info) {
  if (!classes && count) return E_INVALIDARG;
  const std::wstring appId = info && info->appId ? GuidText(*info->appId) : std::wstring();
  const std::wstring typeLib = info && info->typeLib ? GuidText(*info->typeLib) : std::wstring();
  for (std::size_t i = 0; i < count; ++i) {
    const ServerClass& c = classes[i];
    if (!c.clsid) return E_INVALIDARG;
    std::wstring clsid = GuidText(*c.clsid);
    std::wstring key = L"CLSID\\" + clsid;
    std::wstring name = c.name ? c.name : L"";
    bool ok = WriteClassesText(key, nullptr, name) && WriteClassesText(key + L"\\InprocServer32", nullptr, libraryPath) &&
              WriteClassesText(key + L"\\InprocServer32", L"ThreadingModel",
                               c.threadingModel ? c.threadingModel : L"Apartment");
    if (ok && c.progId) {
      ok = WriteClassesText(key + L"\\ProgID", nullptr, c.progId) && WriteClassesText(c.progId, nullptr, name) &&
           WriteClassesText(std::wstring(c.progId) + L"\\CLSID", nullptr, clsid);
    }
    if (ok && c.versionIndependentProgId) {
      std::wstring vi = c.versionIndependentProgId;
      ok = WriteClassesText(key + L"\\VersionIndependentProgID", nullptr, vi) && WriteClassesText(vi, nullptr, name) &&
           WriteClassesText(vi + L"\\CLSID", nullptr, clsid) &&
           (!c.progId || WriteClassesText(vi + L"\\CurVer", nullptr, c.progId));
    }
    if (ok && c.programmable) ok = CreateClassesKey(key + L"\\Programmable");
    if (ok && !appId.empty()) ok = WriteClassesText(key, L"AppID", appId);
    if (ok && !typeLib.empty()) ok = WriteClassesText(key + L"\\TypeLib", nullptr, typeLib);
    if (!ok) return SELFREG_E_CLASS;
  }
  if (!appId.empty()) {
    bool ok = WriteClassesText(L"AppID\\" + appId, nullptr, info->appName ? info->appName : L"");
    if (ok && info->appModuleName && *info->appModuleName)
      ok = WriteClassesText(std::wstring(L"AppID\\") + info->appModuleName, L"AppID", appId);
    if (!ok) return SELFREG_E_CLASS;
  }
  if (!typeLib.empty() &&
      !WriteClassesText(L"TypeLib\\" + typeLib + L"\\" + TypeLibVersion(*info), nullptr,
                        info->typeLibHelp ? info->typeLibHelp : L""))
    return SELFREG_E_TYPELIB;
  return S_OK;
}

HRESULT UnregisterServerClasses(const ServerClass* classes, std::size_t count, const ServerInfo* info) {
  if (!classes && count) return E_INVALIDARG;
  for (std::size_t i = 0; i < count; ++i) {
    const ServerClass& c = classes[i];
    if (!c.clsid) return E_INVALIDARG;
    const std::wstring clsid = GuidText(*c.clsid);
    SHDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
    for (const wchar_t* progId : {c.progId, c.versionIndependentProgId}) {
      if (progId && NamesOrNothing(progId, nullptr, clsid)) SHDeleteKeyW(HKEY_CLASSES_ROOT, progId);
    }
  }
  if (info && info->appId) {
    const std::wstring appId = GuidText(*info->appId);
    SHDeleteKeyW(HKEY_CLASSES_ROOT, (L"AppID\\" + appId).c_str());
    if (info->appModuleName && *info->appModuleName) {
      const std::wstring named = std::wstring(L"AppID\\") + info->appModuleName;
      if (NamesOrNothing(named, L"AppID", appId)) SHDeleteKeyW(HKEY_CLASSES_ROOT, named.c_str());
    }
  }
  if (info && info->typeLib) {
    const std::wstring lib = L"TypeLib\\" + GuidText(*info->typeLib);
    SHDeleteKeyW(HKEY_CLASSES_ROOT, (lib + L"\\" + TypeLibVersion(*info)).c_str());
    if (KeyIsEmpty(lib)) RegDeleteKeyW(HKEY_CLASSES_ROOT, lib.c_str());
  }
  return S_OK;
}

std::wstring ModulePathOf(const void* address) {
  Dl_info info{};
  if (!::dladdr(address, &info) || !info.dli_fname) return std::wstring();
  char resolved[PATH_MAX];
  const char* path = ::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  return platform::utf8::ToWide(path);
}

HRESULT RegisterServerLibrary(const std::wstring& path) { return CallExport(path, "DllRegisterServer"); }
HRESULT UnregisterServerLibrary(const std::wstring& path) { return CallExport(path, "DllUnregisterServer"); }

std::size_t LoadedServerLibraryCount() {
  std::lock_guard lock(LibraryMutex());
  return Libraries().size();
}

HRESULT ServerGetClassObject(const ServerClass* classes, std::size_t count, ModuleLocks* locks, REFCLSID rclsid,
                             REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    if (classes[i].clsid && *classes[i].clsid == rclsid && classes[i].create) {
      IClassFactory* factory = NewClassFactory(classes[i].create, locks);
      if (!factory) return E_OUTOFMEMORY;
      HRESULT hr = factory->QueryInterface(riid, ppv);
      factory->Release();
      return hr;
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace platform::com
