// The application profile over the registry: HKEY_CURRENT_USER\Software\<key>\<app>\<section>.
#include <cstring>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/resources/resources.h"

namespace {

std::wstring AppKeyPath(const CWinApp& app) {
  std::wstring path = L"Software\\";
  if (app.m_pszRegistryKey != nullptr && *app.m_pszRegistryKey) {
    path += app.m_pszRegistryKey;
    path += L"\\";
    path += app.m_pszProfileName ? app.m_pszProfileName : (app.m_pszAppName ? app.m_pszAppName : L"");
  } else {
    path += app.m_pszAppName ? app.m_pszAppName : L"";
  }
  return path;
}

HKEY OpenKey(const std::wstring& path, bool create) {
  HKEY key = nullptr;
  LONG rc;
  if (create) {
    DWORD disposition = 0;
    rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                         &key, &disposition);
  } else {
    rc = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
  }
  return rc == ERROR_SUCCESS ? key : nullptr;
}

// Reads a value of the given type; false when missing or of another type.
bool QueryValue(HKEY key, LPCWSTR entry, DWORD wantedType, std::vector<BYTE>& data) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != wantedType) return false;
  data.assign(size, 0);
  if (size == 0) return true;
  if (RegQueryValueExW(key, entry, nullptr, &type, data.data(), &size) != ERROR_SUCCESS || type != wantedType) return false;
  data.resize(size);
  return true;
}

HKEY SectionKey(CWinApp& app, LPCWSTR section, bool create) {
  if (section == nullptr) return nullptr;
  return OpenKey(AppKeyPath(app) + L"\\" + section, create);
}

}  // namespace

HKEY CWinApp::GetAppRegistryKey() { return OpenKey(AppKeyPath(*this), true); }

HKEY CWinApp::GetSectionKey(LPCWSTR section) { return SectionKey(*this, section, true); }

UINT CWinApp::GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue) {
  HKEY key = SectionKey(*this, section, false);
  if (key == nullptr) return static_cast<UINT>(defaultValue);
  std::vector<BYTE> data;
  UINT result = static_cast<UINT>(defaultValue);
  if (QueryValue(key, entry, REG_DWORD, data) && data.size() == sizeof(DWORD)) {
    DWORD v;
    std::memcpy(&v, data.data(), sizeof v);
    result = v;
  }
  RegCloseKey(key);
  return result;
}

CString CWinApp::GetProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue) {
  CString fallback(defaultValue);
  HKEY key = SectionKey(*this, section, false);
  if (key == nullptr) return fallback;
  std::vector<BYTE> data;
  CString result = fallback;
  if (QueryValue(key, entry, REG_SZ, data)) {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    result = CString(text);
  }
  RegCloseKey(key);
  return result;
}

BOOL CWinApp::WriteProfileInt(LPCWSTR section, LPCWSTR entry, int value) {
  if (entry == nullptr) return FALSE;
  HKEY key = SectionKey(*this, section, true);
  if (key == nullptr) return FALSE;
  DWORD v = static_cast<DWORD>(value);
  LONG rc = RegSetValueExW(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL CWinApp::WriteProfileStringW(LPCWSTR section, LPCWSTR entry, LPCWSTR value) {
  if (section == nullptr) return FALSE;
  if (entry == nullptr) {
    // Removes the whole section.
    HKEY app = OpenKey(AppKeyPath(*this), false);
    if (app == nullptr) return TRUE;
    LONG rc = RegDeleteKeyW(app, section);
    RegCloseKey(app);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
  }
  if (value == nullptr) {
    HKEY key = SectionKey(*this, section, false);
    if (key == nullptr) return TRUE;
    LONG rc = RegDeleteValueW(key, entry);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
  }
  HKEY key = SectionKey(*this, section, true);
  if (key == nullptr) return FALSE;
  DWORD bytes = static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t));
  LONG rc = RegSetValueExW(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL CWinApp::GetProfileBinary(LPCWSTR section, LPCWSTR entry, LPBYTE* data, UINT* bytes) {
  if (data == nullptr || bytes == nullptr) return FALSE;
  *data = nullptr;
  *bytes = 0;
  HKEY key = SectionKey(*this, section, false);
  if (key == nullptr) return FALSE;
  std::vector<BYTE> value;
  bool ok = QueryValue(key, entry, REG_BINARY, value);
  RegCloseKey(key);
  if (!ok) return FALSE;
  *data = new BYTE[value.empty() ? 1 : value.size()];
  if (!value.empty()) std::memcpy(*data, value.data(), value.size());
  *bytes = static_cast<UINT>(value.size());
  return TRUE;
}

BOOL CWinApp::WriteProfileBinary(LPCWSTR section, LPCWSTR entry, LPBYTE data, UINT bytes) {
  if (entry == nullptr || (data == nullptr && bytes != 0)) return FALSE;
  HKEY key = SectionKey(*this, section, true);
  if (key == nullptr) return FALSE;
  LONG rc = RegSetValueExW(key, entry, 0, REG_BINARY, data, bytes);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? TRUE : FALSE;
}
