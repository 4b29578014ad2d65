#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/resources/resources.h"

extern "C" AFX_MODULE_STATE* ResTestModStaticState();
extern "C" bool ResTestModLoad(UINT id, wchar_t* out, int size);

namespace {

CString Load(UINT id) {
  CString s;
  if (!s.LoadString(id)) return CString(L"<none>");
  return s;
}

std::wstring LoadInLibrary(UINT id) {
  wchar_t buf[64];
  return ResTestModLoad(id, buf, 64) ? std::wstring(buf) : std::wstring(L"<none>");
}

}  // namespace

TEST(ModuleState, EachModuleHasItsOwnStaticState) {
  AFX_MODULE_STATE* app = AfxGetStaticModuleState();
  AFX_MODULE_STATE* lib = ResTestModStaticState();
  ASSERT_NE(app, nullptr);
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(app, lib);
  EXPECT_EQ(AfxGetModuleState(), AfxGetAppModuleState());
  EXPECT_EQ(app, AfxGetAppModuleState());
  EXPECT_EQ(lib->m_hCurrentResourceHandle, GetModuleHandleW(L"ResTestMod"));
  EXPECT_TRUE(lib->m_bDLL);
  EXPECT_FALSE(app->m_bDLL);
}

TEST(ModuleState, ManageStateSwitchesAndRestoresAlsoOnExceptions) {
  AFX_MODULE_STATE* lib = ResTestModStaticState();
  HINSTANCE appHandle = AfxGetResourceHandle();
  {
    AFX_MANAGE_STATE(lib);
    EXPECT_EQ(AfxGetModuleState(), lib);
    EXPECT_EQ(AfxGetResourceHandle(), lib->m_hCurrentResourceHandle);
    EXPECT_EQ(AfxGetInstanceHandle(), lib->m_hCurrentInstanceHandle);
    {
      AFX_MANAGE_STATE(AfxGetAppModuleState());
      EXPECT_EQ(AfxGetResourceHandle(), appHandle);
    }
    EXPECT_EQ(AfxGetModuleState(), lib);
  }
  EXPECT_EQ(AfxGetResourceHandle(), appHandle);
  try {
    AFX_MANAGE_STATE(lib);
    throw std::runtime_error("x");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(AfxGetModuleState(), AfxGetAppModuleState());
}

TEST(ModuleState, CurrentStateIsPerThread) {
  AFX_MANAGE_STATE(ResTestModStaticState());
  AFX_MODULE_STATE* seen = nullptr;
  std::thread([&] { seen = AfxGetModuleState(); }).join();
  EXPECT_EQ(seen, AfxGetAppModuleState());
  EXPECT_EQ(AfxGetModuleState(), ResTestModStaticState());
}

TEST(StringLookup, CurrentModuleFirstThenExtensionChain) {
  EXPECT_EQ(Load(100), L"z aplikacji");
  EXPECT_EQ(Load(200), L"<none>");  // only the library has it, and it is not in the chain
  AFX_EXTENSION_MODULE ext;
  ASSERT_TRUE(AfxInitExtensionModule(ext, GetModuleHandleW(L"ResTestMod")));
  {
    CDynLinkLibrary link(ext);
    EXPECT_EQ(Load(100), L"z aplikacji");  // the current module still wins
    EXPECT_EQ(Load(200), L"tylko w bibliotece");
    // Inside the library's own state, its resources come first and the application's chain
    // is not searched.
    EXPECT_EQ(LoadInLibrary(100), L"z biblioteki");
    EXPECT_EQ(LoadInLibrary(300), L"<none>");
  }
  EXPECT_EQ(Load(200), L"<none>");  // detached again
  AfxTermExtensionModule(ext);
}

TEST(StringLookup, LibrariesLinkedBeforeTheApplicationDeclaredItselfStayInTheChain) {
  EXPECT_EQ(Load(700), L"wcześnie dołączony");
  EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleW(nullptr));
  EXPECT_STREQ(AfxGetAppName(), L"ResTests");
}

TEST(StringLookup, MostRecentlyAttachedExtensionIsSearchedFirst) {
  platform::ResourceModule first(L"ExtFirst", platform::ModuleKind::Library, {{500, L"first"}, {501, L"only first"}});
  platform::ResourceModule second(L"ExtSecond", platform::ModuleKind::Library, {{500, L"second"}});
  AFX_EXTENSION_MODULE a, b;
  AfxInitExtensionModule(a, first.Handle());
  AfxInitExtensionModule(b, second.Handle());
  CDynLinkLibrary linkA(a);
  {
    CDynLinkLibrary linkB(b);
    EXPECT_EQ(Load(500), L"second");
    EXPECT_EQ(Load(501), L"only first");
    EXPECT_EQ(AfxFindStringResourceHandle(500), second.Handle());
  }
  EXPECT_EQ(Load(500), L"first");
  EXPECT_EQ(AfxFindStringResourceHandle(9999), nullptr);
}

TEST(StringLookup, ResourceHandleCanBeRedirected) {
  HINSTANCE saved = AfxGetResourceHandle();
  AfxSetResourceHandle(GetModuleHandleW(L"ResTestMod"));
  EXPECT_EQ(Load(100), L"z biblioteki");
  EXPECT_EQ(Load(300), L"<none>");
  AfxSetResourceHandle(saved);
  EXPECT_EQ(Load(100), L"z aplikacji");
  // An explicit module bypasses the current state.
  CString s;
  EXPECT_TRUE(s.LoadString(GetModuleHandleW(L"ResTestMod"), 200));
  EXPECT_EQ(s, L"tylko w bibliotece");
  // The MAKEINTRESOURCE constructor and Format by id go through the same lookup.
  EXPECT_EQ(CString(MAKEINTRESOURCEW(300)), L"tylko w aplikacji");
}

TEST(StringLookup, ModuleThatGoesAwayLeavesTheChain) {
  AFX_EXTENSION_MODULE ext;
  auto mod = std::make_unique<platform::ResourceModule>(L"Transient", platform::ModuleKind::Library,
                                                        std::initializer_list<platform::StringResource>{{600, L"t"}});
  AfxInitExtensionModule(ext, mod->Handle());
  auto link = std::make_unique<CDynLinkLibrary>(ext);
  EXPECT_EQ(Load(600), L"t");
  mod.reset();
  EXPECT_EQ(Load(600), L"<none>");
  link.reset();
}

TEST(WinApp, RegistersItselfInTheCurrentModuleState) {
  EXPECT_EQ(AfxGetApp(), nullptr);
  {
    CWinApp app(L"Lotrix");
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_STREQ(app.m_pszAppName, L"Lotrix");
    EXPECT_EQ(app.m_hInstance, AfxGetInstanceHandle());
    EXPECT_EQ(app.m_pszRegistryKey, nullptr);
    app.SetRegistryKey(L"Firma");
    EXPECT_STREQ(app.m_pszRegistryKey, L"Firma");
    EXPECT_STREQ(app.m_pszProfileName, L"Lotrix");
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
}
