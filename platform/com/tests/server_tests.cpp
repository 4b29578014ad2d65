// Registering a server library into a temporary registry and creating its objects.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/com/server.h"
#include "platform/com/tests/test_server.h"
#include "platform/base/utf8.h"
#include "platform/registry/registry.h"

namespace {

class ServerLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor-com-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    platform::registry::SetStoreFile(dir_ + "/registry");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
    platform::registry::UseMemoryStore();
    std::filesystem::remove_all(dir_);
  }
  static std::wstring LibraryPath() { return platform::utf8::ToWide(VANTOR_TEST_SERVER_PATH); }
  static std::wstring ClassesText(const wchar_t* sub, const wchar_t* value = nullptr) {
    wchar_t buf[512] = {};
    DWORD cb = sizeof buf;
    if (RegGetValueW(HKEY_CLASSES_ROOT, sub, value, RRF_RT_REG_SZ, nullptr, buf, &cb) != ERROR_SUCCESS) return L"<none>";
    return buf;
  }
  std::string dir_;
};

}  // namespace

TEST_F(ServerLibrary, RegistrationWritesTheClassKeys) {
  ASSERT_EQ(platform::com::RegisterServerLibrary(LibraryPath()), S_OK);
  const wchar_t* clsidKey = L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}";
  EXPECT_EQ(ClassesText(clsidKey), L"Test greeter");
  EXPECT_EQ(ClassesText(L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}\\InprocServer32"),
            std::filesystem::canonical(VANTOR_TEST_SERVER_PATH).wstring());
  EXPECT_EQ(ClassesText(L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(ClassesText(L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}\\ProgID"), L"Vantor.TestGreeter.1");
  EXPECT_EQ(ClassesText(L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}\\VersionIndependentProgID"), L"Vantor.TestGreeter");
  EXPECT_EQ(ClassesText(L"Vantor.TestGreeter.1\\CLSID"), L"{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0002}");
  EXPECT_EQ(ClassesText(L"Vantor.TestGreeter\\CurVer"), L"Vantor.TestGreeter.1");
  EXPECT_EQ(ClassesText(L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0003}\\InprocServer32", L"ThreadingModel"), L"Both");
  // HKEY_CLASSES_ROOT is the machine's Software\Classes.
  HKEY machine;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Vantor.TestGreeter", 0, KEY_READ, &machine),
            ERROR_SUCCESS);
  RegCloseKey(machine);

  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"Vantor.TestGreeter", &clsid), S_OK);  // through CurVer
  EXPECT_EQ(clsid, __uuidof(CoGreeter));
  ASSERT_EQ(CLSIDFromProgID(L"vantor.testgreeter.1", &clsid), S_OK);
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.NoSuchThing", &clsid), CO_E_CLASSSTRING);
  // A version-independent ProgID that only names its current version.
  ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, L"Vantor.OnlyCurVer\\CurVer", REG_SZ, L"Vantor.TestGreeter.1", 0), ERROR_SUCCESS);
  ASSERT_EQ(CLSIDFromProgID(L"Vantor.OnlyCurVer", &clsid), S_OK);
  EXPECT_EQ(clsid, __uuidof(CoGreeter));
  ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, L"Vantor.Loop\\CurVer", REG_SZ, L"Vantor.Loop", 0), ERROR_SUCCESS);
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.Loop", &clsid), CO_E_CLASSSTRING);  // a loop ends, not hangs
  ASSERT_EQ(CLSIDFromString(L"Vantor.TestGreeter", &clsid), S_OK);  // ProgIDs are class strings too
  EXPECT_EQ(clsid, __uuidof(CoGreeter));
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(__uuidof(CoGreeter), &progId), S_OK);
  EXPECT_STREQ(progId, L"Vantor.TestGreeter.1");
  CoTaskMemFree(progId);
  EXPECT_EQ(ProgIDFromCLSID(__uuidof(CoQuietGreeter), &progId), REGDB_E_CLASSNOTREG);

  ASSERT_EQ(platform::com::UnregisterServerLibrary(LibraryPath()), S_OK);
  EXPECT_EQ(ClassesText(clsidKey), L"<none>");
  EXPECT_EQ(CLSIDFromProgID(L"Vantor.TestGreeter", &clsid), CO_E_CLASSSTRING);
}

TEST_F(ServerLibrary, CreatedByProgIdAndClsidFromOneLoadedLibrary) {
  ASSERT_EQ(platform::com::RegisterServerLibrary(LibraryPath()), S_OK);
  IGreeterPtr byProgId(L"Vantor.TestGreeter");
  ASSERT_TRUE(byProgId);
  IGreeterPtr byClsid;
  ASSERT_EQ(byClsid.CreateInstance(__uuidof(CoGreeter), nullptr, 0x17), S_OK);
  IGreeterPtr byText;
  ASSERT_EQ(byText.CreateInstance(L"{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0003}"), S_OK);
  LONG loads = 0;
  byClsid->LoadCount(&loads);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(platform::com::LoadedServerLibraryCount(), 1u);

  BSTR greeting = nullptr;
  ASSERT_EQ(byProgId->Greet(_bstr_t(L"Ania").GetBSTR(), &greeting), S_OK);
  EXPECT_EQ(_bstr_t(greeting, false), _bstr_t(L"Cześć, Ania!"));

  // Error information set inside the library reaches the caller's _com_error.
  HRESULT hr = byProgId->Greet(nullptr, &greeting);
  ASSERT_EQ(hr, E_INVALIDARG);
  try {
    _com_issue_errorex(hr, byProgId, __uuidof(IGreeter));
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Description(), _bstr_t(L"Brak imienia"));
    EXPECT_EQ(e.Source(), _bstr_t(L"Vantor.TestGreeter"));
  }

  // Live objects keep the library loaded; once they are gone it may be unloaded.
  CoFreeUnusedLibraries();
  EXPECT_EQ(platform::com::LoadedServerLibraryCount(), 1u);
  byProgId = nullptr;
  byClsid = nullptr;
  byText = nullptr;
  CoFreeUnusedLibraries();
  EXPECT_EQ(platform::com::LoadedServerLibraryCount(), 0u);
}

TEST_F(ServerLibrary, ProcessRegistrationsWinAndMissingLibrariesFail) {
  ASSERT_EQ(platform::com::RegisterServerLibrary(LibraryPath()), S_OK);
  // A test double registered in process replaces the library's class.
  struct Double {
    static HRESULT Create(IUnknown*, REFIID, void**) { return E_ACCESSDENIED; }
  };
  IClassFactory* factory = platform::com::NewClassFactory(&Double::Create);
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(__uuidof(CoGreeter), factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  factory->Release();
  IGreeterPtr p;
  EXPECT_EQ(p.CreateInstance(L"Vantor.TestGreeter"), E_ACCESSDENIED);
  EXPECT_THROW(IGreeterPtr(L"Vantor.TestGreeter"), _com_error);
  CoRevokeClassObject(cookie);
  EXPECT_EQ(p.CreateInstance(L"Vantor.TestGreeter"), S_OK);
  p = nullptr;

  // A registration that points at a missing file.
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L"CLSID\\{0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0009}\\InprocServer32", &key),
            ERROR_SUCCESS);
  const wchar_t missing[] = L"/nonexistent/libnothing.so";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing), sizeof missing);
  RegCloseKey(key);
  IUnknown* unk = nullptr;
  EXPECT_EQ(CoCreateInstance(platform::com::GuidFromText("0D6E2E5B-3C57-4F7A-9D0B-5C8E8B1A0009"), nullptr, CLSCTX_ALL,
                             IID_IUnknown, reinterpret_cast<void**>(&unk)),
            CO_E_DLLNOTFOUND);
  EXPECT_EQ(platform::com::RegisterServerLibrary(L"/nonexistent/libnothing.so"), CO_E_DLLNOTFOUND);
}

namespace {

struct ITestDual : IDispatch {
  STDMETHOD(First)(LONG* value) = 0;
};

class TestDual final : public platform::com::DispatchFace<ITestDual> {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP First(LONG* value) override {
    *value = 42;
    return S_OK;
  }
};

}  // namespace

TEST(DispatchFace, IDispatchAnswersNotImplementedAndOwnMethodsStartAtSlotSeven) {
  TestDual dual;
  ITestDual* face = &dual;
  UINT count = 7;
  EXPECT_EQ(face->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(face->GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(face->GetIDsOfNames(GUID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(face->Invoke(0, GUID_NULL, 0, 0, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
  // Callers that count slots reach First at slot 7.
  using Method = HRESULT (*)(ITestDual*, LONG*);
  void** table = *reinterpret_cast<void***>(face);
  LONG value = 0;
  EXPECT_EQ(reinterpret_cast<Method>(table[7])(face, &value), S_OK);
  EXPECT_EQ(value, 42);
}
