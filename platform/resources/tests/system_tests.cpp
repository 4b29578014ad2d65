// Libraries loaded by name, the computer's name and the application's texts.
#include <gtest/gtest.h>

#include "platform/resources/resources.h"

namespace {

TEST(Loader, DllNamesStandForSharedLibraries) {
  EXPECT_EQ(platform::LibraryFileName(L"quillon.dll"), "libquillon.so");
  EXPECT_EQ(platform::LibraryFileName(L"Quillon.DLL"), "libQuillon.so");
  EXPECT_EQ(platform::LibraryFileName(L"libm.so.6"), "libm.so.6");
  EXPECT_EQ(platform::LibraryFileName(L"/opt/x/quillon.dll"), "/opt/x/quillon.dll");  // a path stays a path
  EXPECT_EQ(platform::LibraryFileName(L".dll"), ".dll");
}

TEST(Loader, LoadsFindsAndFreesLibrariesAndTheirExports) {
  EXPECT_EQ(LoadLibraryW(L"no-such-library-here.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"no-such-library-here.dll"), nullptr);
  // The test library is loaded (linked): found by its name as a resource module, and its exports
  // are reached through that handle too.
  HMODULE module = GetModuleHandleW(L"ResTestMod");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "ResTestModLoad"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
  // A library loaded by the process that is no resource module: by its file name.
  HMODULE linked = GetModuleHandleW(L"platform_resources_testmod.dll");
  ASSERT_NE(linked, nullptr);
  EXPECT_NE(GetProcAddress(linked, "ResTestModStaticState"), nullptr);
  HMODULE loaded = LoadLibraryW(L"platform_resources_testmod.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(GetProcAddress(loaded, "ResTestModStaticState"), GetProcAddress(module, "ResTestModStaticState"));
  EXPECT_TRUE(FreeLibrary(loaded));
  EXPECT_FALSE(FreeLibrary(loaded));  // counted once, freed once
  int unknown = 0;
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&unknown), "ResTestModLoad"), nullptr);
}

TEST(ComputerName, HostNameUpToItsFirstDotAndAtMostFifteenCharacters) {
  EXPECT_EQ(platform::ComputerNameOf("kasa1"), L"kasa1");
  EXPECT_EQ(platform::ComputerNameOf("kasa1.sklep.example.com"), L"kasa1");
  EXPECT_EQ(platform::ComputerNameOf("a-very-long-host-name-indeed"), L"a-very-long-hos");
  EXPECT_EQ(platform::ComputerNameOf(""), L"");
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(name, &size));
  EXPECT_EQ(size, std::wcslen(name));
  EXPECT_LE(size, 15u);
  DWORD small = size;  // no room for the terminator: the size needed comes back
  EXPECT_FALSE(GetComputerNameW(name, &small));
  EXPECT_EQ(small, size + 1);
}

class App : public CWinApp {
 public:
  App() : CWinApp(L"Próba") {}
  void Replace(const wchar_t* key, const wchar_t* profile) {
    SetOwnedText(m_pszRegistryKey, key);
    SetOwnedText(m_pszProfileName, profile);
  }
};

TEST(WinApp, ReplacedTextsAndTheApplicationsMessageBox) {
  AFX_MODULE_STATE state;
  AFX_MANAGE_STATE(&state);
  App app;
  app.Replace(L"A", L"B");
  app.Replace(L"Kordel\\Vantor", L"Próba\\1.0");  // the earlier copies are freed, not leaked
  EXPECT_STREQ(app.m_pszRegistryKey, L"Kordel\\Vantor");
  EXPECT_STREQ(app.m_pszProfileName, L"Próba\\1.0");
  // Without the window layer a box is answered IDOK unseen.
  EXPECT_EQ(AfxMessageBox(L"Gotowe.", 0), 1);
}

}  // namespace
