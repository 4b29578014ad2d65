// Libraries loaded by name (over the dynamic loader) and the computer's name.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <mutex>

#include "platform/base/utf8.h"
#include "platform/resources/resources.h"
#include "platform/resources/system_internal.h"

namespace {

// Handles this component gave out, with the loads LoadLibraryW counted on each. A handle that
// GetModuleHandleW found has a count of 0: the library stays as long as its loader keeps it.
std::mutex& HandlesMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::map<void*, long>& Handles() {
  static auto* handles = new std::map<void*, long>;
  return *handles;
}

void* Open(const std::string& file, int flags) { return file.empty() ? nullptr : ::dlopen(file.c_str(), flags); }

}  // namespace

namespace platform {

std::string LibraryFileName(const std::wstring& name) {
  std::string file = utf8::FromWide(name);
  if (file.find('/') != std::string::npos) return file;
  const std::string dll = ".dll";
  if (file.size() > dll.size()) {
    std::string tail = file.substr(file.size() - dll.size());
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (tail == dll) file = "lib" + file.substr(0, file.size() - dll.size()) + ".so";
  }
  return file;
}

std::wstring ComputerNameOf(const std::string& hostName) {
  std::wstring name = utf8::ToWide(hostName.substr(0, hostName.find('.')));
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  return name;
}

namespace detail {

HMODULE LoadedLibrary(LPCWSTR name) {
  if (name == nullptr || *name == 0) return nullptr;
  void* handle = Open(LibraryFileName(name), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return nullptr;
  ::dlclose(handle);  // RTLD_NOLOAD counted a load; the library stays loaded by whoever loaded it
  std::lock_guard<std::mutex> lock(HandlesMutex());
  Handles().emplace(handle, 0);
  return reinterpret_cast<HMODULE>(handle);
}

}  // namespace detail
}  // namespace platform

HMODULE LoadLibraryW(LPCWSTR name) {
  if (name == nullptr || *name == 0) return nullptr;
  void* handle = Open(platform::LibraryFileName(name), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(HandlesMutex());
  ++Handles()[handle];
  return reinterpret_cast<HMODULE>(handle);
}

BOOL FreeLibrary(HMODULE module) {
  void* handle = reinterpret_cast<void*>(module);
  std::lock_guard<std::mutex> lock(HandlesMutex());
  auto it = Handles().find(handle);
  if (it == Handles().end() || it->second == 0) return FALSE;
  if (--it->second == 0) Handles().erase(it);
  return ::dlclose(handle) == 0 ? TRUE : FALSE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (module == nullptr || name == nullptr) return nullptr;
  void* handle = reinterpret_cast<void*>(module);
  bool known;
  {
    std::lock_guard<std::mutex> lock(HandlesMutex());
    known = Handles().count(handle) != 0;
  }
  if (known) return reinterpret_cast<FARPROC>(::dlsym(handle, name));
  // A module of the resource registry: its library, when the process has loaded it.
  wchar_t path[PATH_MAX];
  if (GetModuleFileNameW(module, path, PATH_MAX) == 0) return nullptr;
  void* library = Open(platform::utf8::FromWide(path), RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return nullptr;
  auto* symbol = reinterpret_cast<FARPROC>(::dlsym(library, name));
  ::dlclose(library);
  return symbol;
}

namespace {
std::mutex& ComputerNameMutex() {
  static std::mutex m;
  return m;
}
std::wstring& ComputerNameSet() {
  static std::wstring name;
  return name;
}
}  // namespace

void platform::SetComputerName(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(ComputerNameMutex());
  ComputerNameSet() = name.substr(0, MAX_COMPUTERNAME_LENGTH);
}

BOOL GetComputerNameW(LPWSTR buffer, DWORD* size) {
  if (size == nullptr) return FALSE;
  std::wstring name;
  {
    std::lock_guard<std::mutex> lock(ComputerNameMutex());
    name = ComputerNameSet();
  }
  if (name.empty()) {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    name = platform::ComputerNameOf(host);
  }
  if (buffer == nullptr || *size < name.size() + 1) {
    *size = static_cast<DWORD>(name.size() + 1);
    return FALSE;
  }
  std::wmemcpy(buffer, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return TRUE;
}
