// Vorlen as the platform's activation finds it: registered into a temporary registry, and the
// connector created in a fresh process by its ProgID and by its class id (CLSCTX 23, OleRun).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/base/utf8.h"
#include "platform/registry/registry.h"
#include "testing/registry/classes.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"
#include "zone/vorlen.h"

namespace {

std::wstring LibraryPath() { return platform::utf8::ToWide(std::filesystem::canonical(VANTOR_VORLEN_LIBRARY).string()); }

using testing_registry::Classes;
using testing_registry::HasKey;
using testing_registry::Text;

// The method-table slot of a virtual member function (Itanium C++ ABI).
template <class M>
size_t Slot(M method) {
  struct Rep {
    std::uintptr_t ptr;
    std::ptrdiff_t adjust;
  };
  Rep rep;
  std::memcpy(&rep, &method, sizeof rep);
  return (rep.ptr - 1) / sizeof(void*);
}

class VorlenServer : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vantor-vorlen-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    platform::registry::SetStoreFile(dir_ + "/registry");
    CoInitialize(nullptr);
    ASSERT_EQ(platform::com::RegisterServerLibrary(LibraryPath()), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    platform::registry::UseMemoryStore();
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(VorlenServer, RegistrationWritesTheClassWithItsAppIdAndTypeLibrary) {
  const std::wstring key = L"CLSID\\" + Text(CLSID_CoVorlenConnector);
  EXPECT_EQ(Classes(key), L"CoVorlenConnector Class");
  EXPECT_EQ(Classes(key + L"\\InprocServer32"), LibraryPath());
  EXPECT_EQ(Classes(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Classes(key + L"\\ProgID"), L"Vantor.CoVorlenConnector.1");
  EXPECT_EQ(Classes(key + L"\\VersionIndependentProgID"), L"Vantor.CoVorlenConnector");
  EXPECT_TRUE(HasKey(key + L"\\Programmable"));
  EXPECT_EQ(Classes(key, L"AppID"), Text(APPID_Vorlen));
  EXPECT_EQ(Classes(key + L"\\TypeLib"), Text(LIBID_VorlenLib));
  EXPECT_EQ(Classes(L"Vantor.CoVorlenConnector\\CurVer"), L"Vantor.CoVorlenConnector.1");
  EXPECT_EQ(Classes(L"Vantor.CoVorlenConnector.1\\CLSID"), Text(CLSID_CoVorlenConnector));
  EXPECT_EQ(Classes(L"AppID\\" + Text(APPID_Vorlen)), L"Vorlen");
  EXPECT_EQ(Classes(L"AppID\\Vorlen.DLL", L"AppID"), Text(APPID_Vorlen));
  EXPECT_EQ(Classes(L"TypeLib\\" + Text(LIBID_VorlenLib) + L"\\1.0"), L"Vorlen 1.0 Type Library");

  const std::wstring manager = L"CLSID\\" + Text(CLSID_CoStatusMgr);
  EXPECT_EQ(Classes(manager), L"CoStatusMgr Class");
  EXPECT_EQ(Classes(manager + L"\\InprocServer32"), LibraryPath());
  EXPECT_EQ(Classes(manager + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(Classes(manager + L"\\ProgID"), L"Vantor.StatusMgr.1");
  EXPECT_EQ(Classes(manager + L"\\VersionIndependentProgID"), L"Vantor.StatusMgr");
  EXPECT_EQ(Classes(manager, L"AppID"), Text(APPID_Vorlen));
  EXPECT_EQ(Classes(L"Vantor.StatusMgr\\CurVer"), L"Vantor.StatusMgr.1");
  EXPECT_EQ(Classes(L"Vantor.StatusMgr.1\\CLSID"), Text(CLSID_CoStatusMgr));

  ASSERT_EQ(platform::com::UnregisterServerLibrary(LibraryPath()), S_OK);
  EXPECT_FALSE(HasKey(key));
  EXPECT_FALSE(HasKey(manager));
  EXPECT_FALSE(HasKey(L"Vantor.StatusMgr"));
  EXPECT_FALSE(HasKey(L"Vantor.CoVorlenConnector"));
  EXPECT_FALSE(HasKey(L"AppID\\" + Text(APPID_Vorlen)));
  EXPECT_FALSE(HasKey(L"TypeLib\\" + Text(LIBID_VorlenLib)));
}

// In a fresh process: the host's instance set, the connector created as its callers create it.
int CreateInFreshProcess(bool byProgId) {
  doubles::HostDoubles host;
  CHxInstance::SetInstance(host.instancePtr);
  CLSID clsid = CLSID_CoVorlenConnector;
  if (byProgId && FAILED(CLSIDFromProgID(L"Vantor.CoVorlenConnector", &clsid))) return 10;
  IUnknown* unknown = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, 23, __uuidof(IUnknown), reinterpret_cast<void**>(&unknown)))) return 11;
  if (FAILED(OleRun(unknown))) return 12;
  IVorlenConnector* connector = nullptr;
  if (FAILED(unknown->QueryInterface(__uuidof(IVorlenConnector), reinterpret_cast<void**>(&connector)))) return 13;
  unknown->Release();
  // Callers that count slots reach the first method at slot 7 (after IDispatch's four).
  using Method = HRESULT (*)(IVorlenConnector*, _Recordset**);
  void** table = *reinterpret_cast<void***>(connector);
  _Recordset* container = nullptr;
  if (reinterpret_cast<Method>(table[9])(connector, &container) != S_OK || !container) return 14;  // DISPID 3
  container->Release();
  if (connector->Release() != 0) return 15;
  if (platform::com::LoadedServerLibraryCount() != 1) return 16;
  CHxInstance::SetInstance(nullptr);
  return 0;
}

TEST_F(VorlenServer, AFreshProcessCreatesTheConnectorByProgIdAndByClassId) {
  EXPECT_EXIT(std::exit(CreateInFreshProcess(true)), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::exit(CreateInFreshProcess(false)), ::testing::ExitedWithCode(0), "");
}

TEST_F(VorlenServer, WithoutTheHostsInstanceCreationFails) {
  CHxInstance::SetInstance(nullptr);
  IUnknown* unknown = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_CoVorlenConnector, nullptr, 23, __uuidof(IUnknown), reinterpret_cast<void**>(&unknown)),
            E_POINTER);
  EXPECT_EQ(unknown, nullptr);
}

TEST(VorlenInterface, TheStatusManagersMethodsFollowIUnknown) {
  EXPECT_EQ(Slot(&IStatusMgr::Synchronize), 3u);
  EXPECT_EQ(Slot(&IStatusMgr::ForceSendAll), 4u);
}

TEST(VorlenInterface, MethodsSitInDispidOrderAfterIDispatch) {
  EXPECT_EQ(Slot(&IVorlenConnector::GetPageConfig), 7u);
  EXPECT_EQ(Slot(&IVorlenConnector::CreateStatusesOptionsContainer), 9u);
  EXPECT_EQ(Slot(&IVorlenConnector::OpenTrustedPage), 11u);
  EXPECT_EQ(Slot(&IVorlenConnector::SetItemData), 18u);
  EXPECT_EQ(Slot(&IVorlenConnector::SetAllData), 21u);
  EXPECT_EQ(Slot(&IVorlenConnector::SetDataEntryConstraints), 25u);
}

}  // namespace
