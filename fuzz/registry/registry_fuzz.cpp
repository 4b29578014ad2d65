// Feeds arbitrary bytes to the registry as its store file. Whatever the file holds, reading it
// must not crash, every key the enumeration lists must open, and after one write (which saves
// the store) the saved file must read back exactly what was in memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "platform/registry/registry.h"

namespace {

// Reports the failed property's line before stopping, so a crash report says which one broke.
#define Check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "property failed at line %d: %s\n", __LINE__, #ok), std::abort()))

using Entry = std::tuple<std::wstring, std::wstring, DWORD, std::vector<BYTE>>;  // key path, name, type, data

void DumpKey(HKEY key, const std::wstring& path, std::vector<Entry>& out, int depth) {
  std::vector<wchar_t> nameBuf(16384);
  std::vector<BYTE> dataBuf(8192);
  wchar_t* name = nameBuf.data();
  BYTE* data = dataBuf.data();
  for (DWORD i = 0;; ++i) {
    DWORD cch = 16384;
    DWORD type = 0;
    DWORD cb = 8192;
    LSTATUS st = RegEnumValueW(key, i, name, &cch, nullptr, &type, data, &cb);
    if (st == ERROR_NO_MORE_ITEMS) break;
    if (st == ERROR_MORE_DATA) {
      // Too long for the buffers: record the sizes only (the name may not have been copied).
      out.emplace_back(path, L"<" + std::to_wstring(cch) + L">", type, std::vector<BYTE>(cb, 0xEE));
      continue;
    }
    Check(st == ERROR_SUCCESS);
    out.emplace_back(path, std::wstring(name, cch), type, std::vector<BYTE>(data, data + cb));
  }
  for (DWORD i = 0;; ++i) {
    DWORD cch = 16384;
    LSTATUS st = RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
    if (st == ERROR_NO_MORE_ITEMS) break;
    Check(st == ERROR_SUCCESS);
    HKEY sub;
    Check(RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS);  // a listed key opens
    if (depth < 400) DumpKey(sub, path + L"\\" + name, out, depth + 1);
    RegCloseKey(sub);
  }
}

std::vector<Entry> Dump() {
  std::vector<Entry> out;
  // HKEY_CLASSES_ROOT is a view of HKEY_LOCAL_MACHINE\Software\Classes, listed there.
  const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};
  for (HKEY root : roots) DumpKey(root, std::to_wstring(reinterpret_cast<ULONG_PTR>(root)), out, 0);
  return out;
}

// The store file, in a folder of the process's own that goes when the process ends.
const std::string& WorkFile() {
  static char dir[] = "/tmp/vantor-registry-fuzz-XXXXXX";
  static const std::string file = [] {
    Check(mkdtemp(dir) != nullptr);
    std::atexit([] { std::filesystem::remove_all(dir); });
    return std::string(dir) + "/registry";
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& file = WorkFile();
  std::remove((file + ".bad").c_str());
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  platform::registry::SetStoreFile(file);
  (void)Dump();

  HKEY key;
  Check(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Fuzz", &key) == ERROR_SUCCESS);
  DWORD one = 1;
  Check(RegSetValueExW(key, L"written", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one) ==
        ERROR_SUCCESS);
  RegCloseKey(key);
  std::vector<Entry> inMemory = Dump();
  platform::registry::SetStoreFile(file);  // forget the memory copy: read the saved file
  Check(Dump() == inMemory);
  return 0;
}
