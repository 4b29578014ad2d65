// Lotrix as the platform's activation finds it: registered into a temporary registry, loaded by
// CLSID or ProgID, started once; and the program registering it at start.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "auctions/lotrix.h"
#include "framework/svcapp.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "testing/registry/classes.h"
#include "testing/site_connector/reference_connector.h"

namespace {

std::wstring LibraryPath() { return platform::utf8::ToWide(std::filesystem::canonical(VANTOR_LOTRIX_LIBRARY).string()); }

using testing_registry::Classes;
using testing_registry::HasKey;
using testing_registry::Text;

void Write(const std::wstring& sub, const wchar_t* value, const std::wstring& text) {
  ASSERT_EQ(SHSetValueW(HKEY_CLASSES_ROOT, sub.c_str(), value, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

struct Row {
  CLSID clsid;
  const wchar_t* name;
  const wchar_t* progId;
  bool programmable;
};
const Row kRows[] = {
    {CLSID_CoRegistration, L"CoRegistration", L"Vantor.CoRegistration", true},
    {CLSID_CoSite, L"CoSite", L"Vantor.CoSite", false},
    {CLSID_CoConnectorInfo, L"CoConnectorInfo", L"Vantor.CoConnectorInfo", false},
    {CLSID_CoRegManager, L"CoRegManager", L"Vantor.RegManager", true},
    {CLSID_CoRegistrationExampleData, L"CoRegistrationExampleData", L"Vantor.RegistrationExampleData", true},
    {CLSID_CoAuctServMgr, L"CoAuctServMgr", L"Vantor.AuctServMgr", true},
};

class LotrixServer : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor-lotrix-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    platform::registry::SetStoreFile(dir_ + "/registry");
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    platform::registry::UseMemoryStore();
    std::filesystem::remove_all(dir_);
  }
  void Register() { ASSERT_EQ(platform::com::RegisterServerLibrary(LibraryPath()), S_OK); }
  HRESULT Create(REFCLSID clsid) {
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IUnknown), reinterpret_cast<void**>(&object));
    if (object) object->Release();
    return hr;
  }
  std::string dir_;
};

TEST_F(LotrixServer, RegistrationWritesEveryRowWithItsAppIdAndTypeLibrary) {
  Register();
  const std::wstring appId = Text(APPID_Lotrix), libId = Text(LIBID_LotrixLib);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::wstring key = L"CLSID\\" + Text(row.clsid);
    const std::wstring versioned = std::wstring(row.progId) + L".1";
    EXPECT_EQ(Classes(key), std::wstring(row.name) + L" Class");
    EXPECT_EQ(Classes(key + L"\\InprocServer32"), LibraryPath());
    EXPECT_EQ(Classes(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Classes(key + L"\\ProgID"), versioned);
    EXPECT_EQ(Classes(key + L"\\VersionIndependentProgID"), row.progId);
    EXPECT_EQ(Classes(key, L"AppID"), appId);
    EXPECT_EQ(Classes(key + L"\\TypeLib"), libId);
    EXPECT_EQ(HasKey(key + L"\\Programmable"), row.programmable);
    EXPECT_EQ(Classes(versioned + L"\\CLSID"), Text(row.clsid));
    EXPECT_EQ(Classes(std::wstring(row.progId) + L"\\CLSID"), Text(row.clsid));
    EXPECT_EQ(Classes(std::wstring(row.progId) + L"\\CurVer"), versioned);
  }
  EXPECT_EQ(Classes(L"AppID\\" + appId), L"Lotrix");
  EXPECT_EQ(Classes(L"AppID\\Lotrix.DLL", L"AppID"), appId);
  EXPECT_EQ(Classes(L"TypeLib\\" + libId + L"\\1.0"), L"Lotrix 1.0 Type Library");
  EXPECT_FALSE(HasKey(L"CLSID\\" + Text(CLSID_CoLotrixSync)));
}

TEST_F(LotrixServer, UnregisteringRemovesExactlyItsOwnKeys) {
  const std::wstring other = L"{11111111-2222-3333-4444-555555555555}";
  Write(L"CLSID\\" + other + L"\\InprocServer32", nullptr, L"/opt/other/libother.so");
  Write(L"Other.Thing\\CLSID", nullptr, other);
  Write(L"AppID\\" + other, nullptr, L"Other");
  Write(L"TypeLib\\" + Text(LIBID_LotrixLib) + L"\\2.0", nullptr, L"Lotrix 2.0 Type Library");
  Register();
  // Another server took over a ProgID and the AppID's name key meanwhile.
  Write(L"Vantor.CoSite\\CLSID", nullptr, other);
  Write(L"AppID\\Lotrix.DLL", L"AppID", other);

  ASSERT_EQ(platform::com::UnregisterServerLibrary(LibraryPath()), S_OK);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(HasKey(L"CLSID\\" + Text(row.clsid)));
    EXPECT_FALSE(HasKey(std::wstring(row.progId) + L".1"));
    if (std::wstring(row.progId) != L"Vantor.CoSite") {
      EXPECT_FALSE(HasKey(row.progId));
    }
  }
  EXPECT_EQ(Classes(L"Vantor.CoSite\\CLSID"), other);
  EXPECT_FALSE(HasKey(L"AppID\\" + Text(APPID_Lotrix)));
  EXPECT_EQ(Classes(L"AppID\\Lotrix.DLL", L"AppID"), other);
  EXPECT_FALSE(HasKey(L"TypeLib\\" + Text(LIBID_LotrixLib) + L"\\1.0"));
  EXPECT_EQ(Classes(L"TypeLib\\" + Text(LIBID_LotrixLib) + L"\\2.0"), L"Lotrix 2.0 Type Library");
  EXPECT_EQ(Classes(L"CLSID\\" + other + L"\\InprocServer32"), L"/opt/other/libother.so");
  EXPECT_EQ(Classes(L"Other.Thing\\CLSID"), other);
  EXPECT_EQ(Classes(L"AppID\\" + other), L"Other");
  // With its own name key gone, the type library key goes with its last version.
  ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + Text(LIBID_LotrixLib) + L"\\2.0").c_str()), ERROR_SUCCESS);
  Register();
  ASSERT_EQ(platform::com::UnregisterServerLibrary(LibraryPath()), S_OK);
  EXPECT_FALSE(HasKey(L"TypeLib\\" + Text(LIBID_LotrixLib)));
}

TEST_F(LotrixServer, EitherProgIdLoadsTheLibraryOnceAndServesItsBuiltClasses) {
  Register();
  // The account needs the access-key converter, which is not registered yet.
  const HRESULT expected[] = {REGDB_E_CLASSNOTREG, S_OK, S_OK, S_OK, S_OK, S_OK};
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    const Row& row = kRows[i];
    SCOPED_TRACE(row.name);
    CLSID byName{}, byVersion{};
    ASSERT_EQ(CLSIDFromProgID(row.progId, &byName), S_OK);
    ASSERT_EQ(CLSIDFromProgID((std::wstring(row.progId) + L".1").c_str(), &byVersion), S_OK);
    EXPECT_EQ(byName, row.clsid);
    EXPECT_EQ(byVersion, row.clsid);
    EXPECT_EQ(Create(byName), expected[i]);
    EXPECT_EQ(Create(byVersion), expected[i]);
  }
  EXPECT_EQ(platform::com::LoadedServerLibraryCount(), 1u);
  // The library started once, in its own module state, in the framework's order.
  const std::vector<std::wstring> started = {L"InitCtrlsDll Lotrix", L"InitGrid Lotrix"};
  EXPECT_EQ(zephra::HookSuppCalls(), started);
  ASSERT_EQ(platform::com::RegisterServerLibrary(platform::utf8::ToWide(VANTOR_ACCESS_KEY_LIBRARY)), S_OK);
  EXPECT_EQ(Create(CLSID_CoRegistration), S_OK);
}

TEST_F(LotrixServer, TheSyncClassIsNeverServed) {
  Register();
  EXPECT_EQ(Create(CLSID_CoLotrixSync), REGDB_E_CLASSNOTREG);
  // Even a registry entry that sends it to the library gets no class object.
  Write(L"CLSID\\" + Text(CLSID_CoLotrixSync) + L"\\InprocServer32", nullptr, LibraryPath());
  EXPECT_EQ(Create(CLSID_CoLotrixSync), CLASS_E_CLASSNOTAVAILABLE);
  void* library = ::dlopen(VANTOR_LOTRIX_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr);
  auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(::dlsym(library, "DllGetClassObject"));
  ASSERT_NE(getClassObject, nullptr);
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(CLSID_CoLotrixSync, __uuidof(IClassFactory), &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(getClassObject(CLSID_CoSite, __uuidof(IClassFactory), nullptr), E_INVALIDARG);
  ::dlclose(library);
}

TEST_F(LotrixServer, MissingOrDamagedEntriesFailWithTheirCodes) {
  Register();
  const std::wstring server = L"CLSID\\" + Text(CLSID_CoSite) + L"\\InprocServer32";
  Write(server, nullptr, platform::utf8::ToWide(dir_) + L"/libLotrix.so");  // no such file
  EXPECT_EQ(Create(CLSID_CoSite), CO_E_DLLNOTFOUND);
  {
    std::ofstream(dir_ + "/notalibrary.so") << "not a library";
  }
  Write(server, nullptr, platform::utf8::ToWide(dir_) + L"/notalibrary.so");
  EXPECT_EQ(Create(CLSID_CoSite), CO_E_ERRORINDLL);
  ASSERT_EQ(SHDeleteKeyW(HKEY_CLASSES_ROOT, server.c_str()), ERROR_SUCCESS);
  EXPECT_EQ(Create(CLSID_CoSite), REGDB_E_CLASSNOTREG);
  // A damaged class id under the ProgID falls back to its current version; both damaged fail.
  Write(L"Vantor.RegManager\\CLSID", nullptr, L"{not a class id}");
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.RegManager", &clsid), S_OK);
  Write(L"Vantor.RegManager.1\\CLSID", nullptr, L"{not a class id}");
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.RegManager", &clsid), CO_E_CLASSSTRING);
  // A damaged registry file is put aside: nothing is registered any more.
  {
    std::ofstream(dir_ + "/registry", std::ios::trunc) << "\x01garbage\nK \xff\n";
  }
  EXPECT_EQ(Create(CLSID_CoAuctServMgr), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.AuctServMgr", &clsid), CO_E_CLASSSTRING);
}

// Each start-up check runs in a fresh process: loading is what runs the start-up.
class LotrixStartUp : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Loads Lotrix in this process and exits 0 when `check` holds afterwards.
template <class Check>
[[noreturn]] void LoadAndExit(Check check) {
  void* lotrix = ::dlopen(VANTOR_LOTRIX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (!lotrix) ::_exit(10);
  const std::vector<std::wstring> started = {L"InitCtrlsDll Lotrix", L"InitGrid Lotrix"};
  if (zephra::HookSuppCalls() != started) ::_exit(11);
  ::_exit(check() ? 0 : 12);
}

TEST_F(LotrixStartUp, TracingLibraryGetsLotrixModuleHandle) {
  EXPECT_EXIT(
      {
        void* quillon = ::dlopen(VANTOR_QUILLON, RTLD_NOW | RTLD_LOCAL);
        if (!quillon) ::_exit(20);
        auto hooked = reinterpret_cast<void* (*)()>(::dlsym(quillon, "QuillonHookedModule"));
        auto calls = reinterpret_cast<int (*)()>(::dlsym(quillon, "QuillonHookCalls"));
        LoadAndExit([&] {
          HMODULE lotrix = GetModuleHandleW(L"Lotrix");
          return calls() == 1 && lotrix != nullptr && hooked() == reinterpret_cast<void*>(lotrix);
        });
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LotrixStartUp, MissingTracingLibraryOrExportChangesNothing) {
  EXPECT_EXIT(LoadAndExit([] { return GetModuleHandleW(L"quillon.dll") == nullptr; }), ::testing::ExitedWithCode(0),
              "");
  EXPECT_EXIT(
      {
        if (!::dlopen(VANTOR_QUILLON_BARE, RTLD_NOW | RTLD_LOCAL)) ::_exit(20);
        LoadAndExit([] { return GetModuleHandleW(L"quillon.dll") != nullptr; });
      },
      ::testing::ExitedWithCode(0), "");
}

#ifdef VANTOR_PROGRAM
int RunProgram(const std::string& args) {
  const std::string command = std::string(VANTOR_PROGRAM) + " " + args + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LotrixServer, ProgramRegistersThisBuildsLibraryAtStart) {
  const std::string args = "--registry " + dir_ + "/registry --db " + dir_ + "/vantor.db";
  ASSERT_EQ(RunProgram(args), 0);
  for (const Row& row : kRows)
    EXPECT_EQ(Classes(L"CLSID\\" + Text(row.clsid) + L"\\InprocServer32"), LibraryPath()) << row.name;
  EXPECT_EQ(Classes(L"AppID\\Lotrix.DLL", L"AppID"), Text(APPID_Lotrix));
  // With it the outside components it works with here: the access-key converter and the
  // reference site connector, under the ProgID of the provider the program adds.
  auto canonical = [](const char* path) { return platform::utf8::ToWide(std::filesystem::canonical(path).string()); };
  EXPECT_EQ(Classes(L"CLSID\\" + Text(CLSID_AccessKeyConverter) + L"\\InprocServer32"),
            canonical(VANTOR_ACCESS_KEY_LIBRARY));
  EXPECT_EQ(Classes(L"CLSID\\" + Text(CLSID_ReferenceConnector) + L"\\InprocServer32"),
            canonical(VANTOR_REFERENCE_CONNECTOR_LIBRARY));
  EXPECT_EQ(Classes(L"Reference.SiteConnector\\CLSID"), Text(CLSID_ReferenceConnector));
  // A registry that names another library for one class is brought back to this build's.
  Write(L"CLSID\\" + Text(CLSID_CoRegManager) + L"\\InprocServer32", nullptr, L"/opt/old/libLotrix.so");
  SHDeleteKeyW(HKEY_CLASSES_ROOT, L"Vantor.RegManager");
  ASSERT_EQ(RunProgram(args), 0);
  EXPECT_EQ(Classes(L"CLSID\\" + Text(CLSID_CoRegManager) + L"\\InprocServer32"), LibraryPath());
  EXPECT_EQ(Classes(L"Vantor.RegManager\\CurVer"), L"Vantor.RegManager.1");
  // One that names it for every class is left as it is.
  SHDeleteKeyW(HKEY_CLASSES_ROOT, L"Vantor.RegManager");
  ASSERT_EQ(RunProgram(args), 0);
  EXPECT_EQ(Classes(L"Vantor.RegManager\\CurVer"), L"<none>");
}
#endif

}  // namespace
