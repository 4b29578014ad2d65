// Registry semantics over the store file, persistence and sharing between processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/registry.h"

namespace fs = std::filesystem;

namespace {

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor-registry-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    file_ = dir_ + "/sub/registry";
    platform::registry::SetStoreFile(file_);
  }
  void TearDown() override {
    platform::registry::UseMemoryStore();
    fs::remove_all(dir_);
  }

  static LSTATUS SetText(HKEY key, const wchar_t* name, const wchar_t* text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
  }
  static std::wstring GetText(HKEY key, const wchar_t* name) {
    wchar_t buf[256] = {};
    DWORD cb = sizeof buf, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &cb) != ERROR_SUCCESS) return L"<none>";
    return buf;
  }

  std::string dir_;
  std::string file_;
};

}  // namespace

TEST_F(RegistryStore, CreateSetQueryWithTypesAndSizes) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Vantor\\Lotrix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(SetText(key, L"Nazwa", L"Zażółć gęślą"), ERROR_SUCCESS);
  DWORD number = 0x12345678;
  ASSERT_EQ(RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), ERROR_SUCCESS);
  const BYTE blob[] = {0, 1, 2, 0xFF};
  ASSERT_EQ(RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, 4), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, nullptr, L"default"), ERROR_SUCCESS);

  EXPECT_EQ(GetText(key, L"NAZWA"), L"Zażółć gęślą");  // names ignore case
  EXPECT_EQ(GetText(key, L""), L"default");
  DWORD type = 0, cb = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"Nazwa", nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(cb, 13 * sizeof(wchar_t));
  wchar_t small[4];
  cb = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, L"Nazwa", nullptr, &type, reinterpret_cast<BYTE*>(small), &cb), ERROR_MORE_DATA);
  EXPECT_EQ(cb, 13 * sizeof(wchar_t));
  DWORD readBack = 0;
  cb = sizeof readBack;
  ASSERT_EQ(RegQueryValueExW(key, L"count", nullptr, &type, reinterpret_cast<BYTE*>(&readBack), &cb), ERROR_SUCCESS);
  EXPECT_EQ(readBack, number);
  BYTE blobBack[8];
  cb = sizeof blobBack;
  ASSERT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, blobBack, &cb), ERROR_SUCCESS);
  EXPECT_EQ(cb, 4u);
  EXPECT_EQ(blobBack[3], 0xFF);
  EXPECT_EQ(RegQueryValueExW(key, L"Missing", nullptr, &type, nullptr, &cb), ERROR_FILE_NOT_FOUND);

  // RegGetValueW filters types and terminates strings.
  cb = sizeof readBack;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Vantor\\Lotrix", L"Count", RRF_RT_REG_SZ, nullptr, &readBack, &cb),
            ERROR_UNSUPPORTED_TYPE);
  const wchar_t unterminated[] = {L'a', L'b'};
  ASSERT_EQ(RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), sizeof unterminated),
            ERROR_SUCCESS);
  wchar_t buf[8];
  cb = sizeof buf;
  ASSERT_EQ(RegGetValueW(key, nullptr, L"Raw", RRF_RT_REG_SZ, nullptr, buf, &cb), ERROR_SUCCESS);
  EXPECT_STREQ(buf, L"ab");

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"software\\VANTOR\\lotrix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  RegCloseKey(again);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  HKEY missing;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nothing", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStore, EnumerationDeletionAndDeletedHandles) {
  HKEY root;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{X}", &root), ERROR_SUCCESS);
  HKEY child;
  for (const wchar_t* name : {L"ProgID", L"InprocServer32", L"VersionIndependentProgID"}) {
    ASSERT_EQ(RegCreateKeyW(root, name, &child), ERROR_SUCCESS);
    RegCloseKey(child);
  }
  SetText(root, L"b", L"2");
  SetText(root, L"a", L"1");
  wchar_t name[64];
  DWORD cch = 64;
  ASSERT_EQ(RegEnumKeyExW(root, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, L"InprocServer32");  // name order
  EXPECT_EQ(cch, 14u);
  cch = 3;
  EXPECT_EQ(RegEnumKeyExW(root, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  cch = 64;
  EXPECT_EQ(RegEnumKeyExW(root, 3, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  cch = 64;
  DWORD type;
  ASSERT_EQ(RegEnumValueW(root, 0, name, &cch, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, L"b");  // the order they were set
  DWORD subkeys = 0, values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(root, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 3u);
  EXPECT_EQ(values, 2u);

  EXPECT_EQ(RegDeleteValueW(root, L"A"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(root, L"A"), ERROR_FILE_NOT_FOUND);
  // A key with subkeys is only removed recursively.
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{X}"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(root, L"ProgID"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(root, L"ProgID"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SHDeleteKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{X}"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(root, L"late", L"x"), ERROR_KEY_DELETED);
  RegCloseKey(root);
  HKEY gone;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{X}", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &gone), ERROR_SUCCESS);
  RegCloseKey(gone);

  // Default values through the subkey helpers.
  ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, L"Vantor.Test\\CLSID", REG_SZ, L"{ABC}", 0), ERROR_SUCCESS);
  wchar_t def[16];
  LONG cbDef = sizeof def;
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, L"Vantor.Test\\CLSID", def, &cbDef), ERROR_SUCCESS);
  EXPECT_STREQ(def, L"{ABC}");
  cbDef = sizeof def;
  ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, L"Vantor.Test", def, &cbDef), ERROR_SUCCESS);
  EXPECT_STREQ(def, L"");
}

TEST_F(RegistryStore, PersistsAtomicallyWithAwkwardNamesAndData) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\100% pewne\\Łódź", &key), ERROR_SUCCESS);
  const wchar_t tricky[] = L"line1\nline2\t%41 \\ end";
  SetText(key, L"name with spaces\\and backslash", tricky);
  const wchar_t withNul[] = {L'a', 0, L'b', 0};
  RegSetValueExW(key, L"nul", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(withNul), sizeof withNul);
  RegCloseKey(key);
  ASSERT_TRUE(fs::exists(file_));
  for (const auto& entry : fs::directory_iterator(fs::path(file_).parent_path())) {
    EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
  }

  platform::registry::SetStoreFile(file_);  // forget everything held in memory
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\100% PEWNE\\łódź", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, L"Name With Spaces\\And Backslash"), tricky);
  BYTE back[64];
  DWORD cb = sizeof back, type = 0;
  ASSERT_EQ(RegQueryValueExW(key, L"nul", nullptr, &type, back, &cb), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(cb, sizeof withNul);
  EXPECT_EQ(std::memcmp(back, withNul, sizeof withNul), 0);
  RegCloseKey(key);
  // Names in other alphabets are found ignoring case too, after a reload.
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Журнал", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  platform::registry::SetStoreFile(file_);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"жУРНАЛ", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStore, DamagedFileIsKeptAsideNotLost) {
  fs::create_directories(fs::path(file_).parent_path());
  {
    std::ofstream out(file_);
    out << "not a registry\n";
  }
  HKEY key;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software", &key), ERROR_SUCCESS);
  SetText(key, L"v", L"fresh");
  RegCloseKey(key);
  std::ifstream aside(file_ + ".bad");
  std::string first;
  std::getline(aside, first);
  EXPECT_EQ(first, "not a registry");
  // A second damaged file is kept beside the first, which stays as it was.
  {
    std::ofstream out(file_, std::ios::trunc);
    out << "damaged again\n";
  }
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software", &key), ERROR_SUCCESS);
  SetText(key, L"v", L"fresh");
  RegCloseKey(key);
  std::ifstream first2(file_ + ".bad"), second(file_ + ".bad.1");
  std::getline(first2, first);
  EXPECT_EQ(first, "not a registry");
  std::getline(second, first);
  EXPECT_EQ(first, "damaged again");
}

TEST_F(RegistryStore, KeyNamesTheApiCannotOpenMakeTheFileDamaged) {
  // A listed key must open by its name: a name holding the separator, a NUL or more than 255
  // characters cannot, so such a file is damaged, read as empty and kept aside on the next write.
  const std::string names[] = {"a%5Cb", "a%00b", std::string(256, 'n')};
  fs::create_directories(fs::path(file_).parent_path());
  for (const auto& name : names) {
    fs::remove(file_ + ".bad");
    {
      std::ofstream out(file_, std::ios::trunc);
      out << "vantor-registry 1\nK HKEY_CURRENT_USER\\" << name << "\nV 4 =v d:1\n";
    }
    platform::registry::SetStoreFile(file_);
    HKEY key;
    wchar_t sub[300];
    DWORD cch = 300;
    EXPECT_EQ(RegEnumKeyExW(HKEY_CURRENT_USER, 0, sub, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS)
        << name;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Fresh", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    std::ifstream aside(file_ + ".bad");
    std::string text((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(name), std::string::npos) << name;
  }
  // The longest allowed name is fine.
  {
    std::ofstream out(file_, std::ios::trunc);
    out << "vantor-registry 1\nK HKEY_CURRENT_USER\\" << std::string(255, 'n') << "\n";
  }
  platform::registry::SetStoreFile(file_);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, std::wstring(255, L'N').c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST_F(RegistryStore, ChangesFromOtherProcessesAreSeenAndNotLost) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Shared", &key), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, L"child"), L"<none>");
  constexpr int kPerChild = 25;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      int failures = 0;
      for (int i = 0; i < kPerChild; ++i) {
        std::wstring name = L"c" + std::to_wstring(c) + L"_" + std::to_wstring(i);
        if (SetText(key, name.c_str(), L"x") != ERROR_SUCCESS) ++failures;
      }
      if (c == 0) failures += SetText(key, L"child", L"written") != ERROR_SUCCESS;
      _exit(failures);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Both writers' values are there: each write re-read the file under the lock.
  EXPECT_EQ(GetText(key, L"child"), L"written");
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 2u * kPerChild + 1);
  RegCloseKey(key);
}

TEST(RegistryMemory, MemoryModeWritesNoFile) {
  platform::registry::UseMemoryStore();
  EXPECT_EQ(platform::registry::StoreFile(), "");
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Volatile", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, L"Volatile", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  platform::registry::UseMemoryStore();  // starts empty again
  EXPECT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, L"Volatile", &key), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(platform::registry::DefaultStoreFile().find("/.config/vantor/registry"), std::string::npos);
}

TEST_F(RegistryStore, HandlesFollowChangesMadeElsewhere) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Vantor\\Profile", &key), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, L"Okno", L"max"), ERROR_SUCCESS);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Another program removes the whole branch.
    _exit(SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vantor") == ERROR_SUCCESS ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // The open handle now names a key that is gone.
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExW(key, L"Okno", nullptr, nullptr, nullptr, &cb), ERROR_KEY_DELETED);
  EXPECT_EQ(SetText(key, L"Okno", L"min"), ERROR_KEY_DELETED);
  RegCloseKey(key);
  // Creating it again brings a fresh, empty key.
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Vantor\\Profile", &key), ERROR_SUCCESS);
  EXPECT_EQ(GetText(key, L"Okno"), L"<none>");

  // Buffers that are too small report the size needed; bad handles are refused.
  SetText(key, L"a rather long value name", L"v");
  wchar_t name[4];
  DWORD cch = 4;
  EXPECT_EQ(RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(cch, 24u);
  EXPECT_EQ(RegGetValueW(key, L"NoSuchSub", nullptr, RRF_RT_ANY, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegQueryValueExW(key, L"x", nullptr, nullptr, nullptr, &cb), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExW(HKEY_CURRENT_USER, L"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryStore, ThreadsOfOneProcessShareTheStoreSafely) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 20; ++i) {
        HKEY key;
        std::wstring path = L"Threads\\T" + std::to_wstring(t);
        if (RegCreateKeyW(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) continue;
        DWORD v = static_cast<DWORD>(i);
        RegSetValueExW(key, (L"v" + std::to_wstring(i)).c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
        RegCloseKey(key);
      }
    });
  }
  for (auto& th : threads) th.join();
  platform::registry::SetStoreFile(file_);  // read back from the file
  for (int t = 0; t < 4; ++t) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, (L"Threads\\T" + std::to_wstring(t)).c_str(), &key), ERROR_SUCCESS);
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(values, 20u);
    RegCloseKey(key);
  }
}
