#pragma once
// The registry API over a small persistent store.
//
// The store is one file, by default ~/.config/vantor/registry (home directory from the user
// database), rewritten atomically (temporary file and rename) under an advisory lock, and
// re-read whenever another process has changed it. Key and value names are compared without
// regard to case. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes. Tests point the
// store at a file of their own, or keep it in memory.
#include <string>

#include "platform/base/wintypes.h"

using REGSAM = DWORD;
using LSTATUS = LONG;
using PHKEY = HKEY*;
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)((LONG)0x80000005))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x0
#define REG_OPTION_VOLATILE 0x1
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// RegGetValueW type filters.
#define RRF_RT_REG_NONE 0x00000001
#define RRF_RT_REG_SZ 0x00000002
#define RRF_RT_REG_EXPAND_SZ 0x00000004
#define RRF_RT_REG_BINARY 0x00000008
#define RRF_RT_REG_DWORD 0x00000010
#define RRF_RT_REG_MULTI_SZ 0x00000020
#define RRF_RT_REG_QWORD 0x00000040
#define RRF_RT_ANY 0x0000FFFF

#ifndef ERROR_BADDB
#define ERROR_BADDB 1009L
#endif
#ifndef ERROR_BADKEY
#define ERROR_BADKEY 1010L
#endif
#ifndef ERROR_CANTOPEN
#define ERROR_CANTOPEN 1011L
#endif
#ifndef ERROR_CANTREAD
#define ERROR_CANTREAD 1012L
#endif
#ifndef ERROR_CANTWRITE
#define ERROR_CANTWRITE 1013L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif
#ifndef ERROR_UNSUPPORTED_TYPE
#define ERROR_UNSUPPORTED_TYPE 1630L
#endif
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LSTATUS RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
// Creates every missing key on the path; *lpdwDisposition tells whether the last one was new.
LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes, PHKEY phkResult,
                        DWORD* lpdwDisposition);
LSTATUS RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
LSTATUS RegCloseKey(HKEY hKey);
LSTATUS RegFlushKey(HKEY hKey);

// lpValueName null or "" is the key's default value. For REG_SZ, cbData counts bytes and
// normally includes the terminating null.
LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                       DWORD cbData);
// With lpData null, *lpcbData receives the size; a buffer too small gives ERROR_MORE_DATA and
// the size needed.
LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType, LPBYTE lpData,
                         DWORD* lpcbData);
// As RegQueryValueExW on a subkey, checking the type against dwFlags (RRF_RT_*); strings are
// always returned terminated.
LSTATUS RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags, DWORD* pdwType, PVOID pvData,
                     DWORD* pcbData);
// The default value (REG_SZ) of a subkey.
LSTATUS RegSetValueW(HKEY hKey, LPCWSTR lpSubKey, DWORD dwType, LPCWSTR lpData, DWORD cbData);
LSTATUS RegQueryValueW(HKEY hKey, LPCWSTR lpSubKey, LPWSTR lpData, LONG* lpcbData);
LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
// Only a key without subkeys (ERROR_ACCESS_DENIED otherwise).
LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
// The subkey and everything below it; with lpSubKey null, the contents of hKey itself.
LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
// The subkey and everything below it.
LSTATUS SHDeleteKeyW(HKEY hKey, LPCWSTR pszSubKey);
LSTATUS SHDeleteValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue);
LSTATUS SHGetValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD* pdwType, void* pvData, DWORD* pcbData);
LSTATUS SHSetValueW(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD dwType, LPCVOID pvData, DWORD cbData);

// Subkeys in name order; *lpcchName is in characters without the terminator.
LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD* lpReserved, LPWSTR lpClass,
                      DWORD* lpcchClass, PFILETIME lpftLastWriteTime);
LSTATUS RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName);
// Values in the order they were first set.
LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcchValueName, DWORD* lpReserved,
                      DWORD* lpType, LPBYTE lpData, DWORD* lpcbData);
LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, DWORD* lpcchClass, DWORD* lpReserved, DWORD* lpcSubKeys,
                         DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                         DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime);

namespace platform::registry {

// Points the store at another file (UTF-8 path; created on the first write). An empty path
// returns to the default file. Open keys stay valid (they name paths, not file contents).
void SetStoreFile(const std::string& path);
// Keeps the store in memory only, starting empty (for tests).
void UseMemoryStore();
// The file in use (empty in memory mode).
std::string StoreFile();
// ~/.config/vantor/registry for the current user.
std::string DefaultStoreFile();

}  // namespace platform::registry
