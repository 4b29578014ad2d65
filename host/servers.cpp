#include "host/servers.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/base/utf8.h"
#include "platform/registry/registry.h"

namespace host {
namespace {

// The file a path names, with links and relative parts resolved; the path itself when it names
// no file.
std::string Canonical(const std::wstring& path) {
  const std::string narrow = platform::utf8::FromWide(path);
  char resolved[PATH_MAX];
  return ::realpath(narrow.c_str(), resolved) ? std::string(resolved) : narrow;
}

std::wstring InprocServer(REFCLSID clsid) {
  OLECHAR text[39];
  StringFromGUID2(clsid, text, 39);
  const std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
  DWORD cb = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &cb) != ERROR_SUCCESS)
    return std::wstring();
  std::vector<wchar_t> buffer(cb / sizeof(wchar_t) + 1);
  cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer.data(), &cb) !=
      ERROR_SUCCESS)
    return std::wstring();
  return buffer.data();
}

}  // namespace

bool RegistryNamesLibrary(const std::wstring& libraryPath, std::initializer_list<CLSID> classes) {
  const std::string wanted = Canonical(libraryPath);
  for (const CLSID& clsid : classes) {
    const std::wstring named = InprocServer(clsid);
    if (named.empty() || Canonical(named) != wanted) return false;
  }
  return true;
}

HRESULT RegisterServerUnlessNamed(const std::wstring& libraryPath, std::initializer_list<CLSID> classes) {
  if (RegistryNamesLibrary(libraryPath, classes)) return S_FALSE;
  return platform::com::RegisterServerLibrary(libraryPath);
}

}  // namespace host
