// Libraries loaded by name, the computer's name, the message box and the application's texts.
#include <gtest/gtest.h>

#include "platform/resources/messagebox.h"
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

TEST(MessageBox, RecordsEveryBoxAndAnswersScriptOrDefault) {
  platform::messagebox::SetPrinted(false);
  platform::messagebox::Clear();
  EXPECT_EQ(MessageBoxW(nullptr, L"Usunąć?", L"Vantor", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"Usunąć?", L"Vantor", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"x", nullptr, MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  EXPECT_EQ(MessageBoxW(nullptr, L"x", nullptr, MB_OK | MB_DEFBUTTON4), IDOK);  // no fourth button
  platform::messagebox::Script({IDCANCEL, IDRETRY});
  EXPECT_EQ(MessageBoxW(nullptr, L"a", L"b", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"a", L"b", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(MessageBoxW(nullptr, L"a", L"b", MB_OKCANCEL), IDOK);  // the script is used up
  auto boxes = platform::messagebox::Recorded();
  ASSERT_EQ(boxes.size(), 7u);
  EXPECT_EQ(boxes[0].text, L"Usunąć?");
  EXPECT_EQ(boxes[0].caption, L"Vantor");
  EXPECT_EQ(boxes[1].type, MB_YESNO | MB_DEFBUTTON2);
  EXPECT_EQ(boxes[2].caption, L"");
  EXPECT_EQ(boxes[4].answer, IDCANCEL);
  platform::messagebox::Clear();
  EXPECT_TRUE(platform::messagebox::Recorded().empty());
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
  platform::messagebox::SetPrinted(false);
  platform::messagebox::Clear();
  EXPECT_EQ(AfxMessageBox(L"Gotowe.", MB_OK), IDOK);
  auto boxes = platform::messagebox::Recorded();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Próba");
  platform::messagebox::Clear();
}

}  // namespace
