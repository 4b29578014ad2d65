#include <gtest/gtest.h>

#include "platform/resources/resources.h"

#if defined(VANTOR_RESOURCES_HAVE_PROFILE) && defined(VANTOR_TEST_REGISTRY_STORE)
#include <unistd.h>

#include <filesystem>

#include "platform/registry/registry.h"

namespace {

// Each test runs against a registry file of its own in the temp folder.
class Profile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("vantor-profile-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove(path_);
    platform::registry::SetStoreFile(path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_;
};

}  // namespace

TEST_F(Profile, IntegersStringsAndBinaryRoundTrip) {
  CWinApp app(L"Lotrix");
  app.SetRegistryKey(L"Firma");
  EXPECT_EQ(app.GetProfileInt(L"StrefaVantor", L"Timeout", 30), 30u);
  EXPECT_EQ(app.GetProfileString(L"StrefaVantor", L"Adres", L"brak"), L"brak");
  EXPECT_EQ(app.GetProfileString(L"StrefaVantor", L"Adres"), L"");

  ASSERT_TRUE(app.WriteProfileInt(L"StrefaVantor", L"Timeout", 120));
  ASSERT_TRUE(app.WriteProfileInt(L"StrefaVantor", L"Ujemny", -5));
  ASSERT_TRUE(app.WriteProfileString(L"StrefaVantor", L"Adres", L"https://przykład.pl/ą"));
  BYTE bytes[] = {0, 1, 2, 0xFF};
  ASSERT_TRUE(app.WriteProfileBinary(L"Okno", L"Pozycja", bytes, sizeof bytes));

  EXPECT_EQ(app.GetProfileInt(L"StrefaVantor", L"Timeout", 30), 120u);
  EXPECT_EQ(static_cast<int>(app.GetProfileInt(L"StrefaVantor", L"Ujemny", 0)), -5);
  EXPECT_EQ(app.GetProfileString(L"StrefaVantor", L"Adres"), L"https://przykład.pl/ą");
  LPBYTE data = nullptr;
  UINT size = 0;
  ASSERT_TRUE(app.GetProfileBinary(L"Okno", L"Pozycja", &data, &size));
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(data, bytes, 4), 0);
  delete[] data;

  // The values live under HKEY_CURRENT_USER\Software\<key>\<app>\<section>.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Firma\\Lotrix\\StrefaVantor", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, value = 0, bytesRead = sizeof value;
  EXPECT_EQ(RegQueryValueExW(key, L"Timeout", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &bytesRead), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, 120u);
  RegCloseKey(key);
}

TEST_F(Profile, WrongTypesGiveDefaultsAndDeletesWork) {
  CWinApp app(L"Lotrix");
  app.SetRegistryKey(L"Firma");
  ASSERT_TRUE(app.WriteProfileString(L"S", L"Tekst", L"12"));
  EXPECT_EQ(app.GetProfileInt(L"S", L"Tekst", 7), 7u);  // a string is not read as a number
  ASSERT_TRUE(app.WriteProfileInt(L"S", L"Liczba", 3));
  EXPECT_EQ(app.GetProfileString(L"S", L"Liczba", L"d"), L"d");
  LPBYTE data = reinterpret_cast<LPBYTE>(1);
  UINT size = 9;
  EXPECT_FALSE(app.GetProfileBinary(L"S", L"Tekst", &data, &size));
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);

  ASSERT_TRUE(app.WriteProfileString(L"S", L"Tekst", nullptr));  // deletes the entry
  EXPECT_EQ(app.GetProfileString(L"S", L"Tekst", L"brak"), L"brak");
  EXPECT_EQ(app.GetProfileInt(L"S", L"Liczba", 0), 3u);
  ASSERT_TRUE(app.WriteProfileString(L"S", nullptr, nullptr));  // deletes the section
  EXPECT_EQ(app.GetProfileInt(L"S", L"Liczba", 0), 0u);
  EXPECT_TRUE(app.WriteProfileString(L"Nieistniejąca", L"x", nullptr));
}

TEST_F(Profile, WithoutRegistryKeyTheAppNameIsTheKey) {
  CWinApp app(L"Bez");
  ASSERT_TRUE(app.WriteProfileInt(L"Sekcja", L"v", 1));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Bez\\Sekcja", 0, KEY_READ, &key), ERROR_SUCCESS);
  if (key) RegCloseKey(key);
}
#endif
