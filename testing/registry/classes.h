#pragma once
// Reading the classes' registry (HKEY_CLASSES_ROOT) in the server libraries' tests.
#include <string>

#include "platform/com/com.h"
#include "platform/registry/registry.h"

namespace testing_registry {

// A GUID as the registry spells it ("{...}").
inline std::wstring Text(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

// The string value of HKCR\<sub>, or "<none>".
inline std::wstring Classes(const std::wstring& sub, const wchar_t* value = nullptr) {
  wchar_t buffer[1024] = {};
  DWORD cb = sizeof buffer;
  if (RegGetValueW(HKEY_CLASSES_ROOT, sub.c_str(), value, RRF_RT_REG_SZ, nullptr, buffer, &cb) != ERROR_SUCCESS)
    return L"<none>";
  return buffer;
}

inline bool HasKey(const std::wstring& sub) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace testing_registry
