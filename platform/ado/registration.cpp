// The class objects of the creatable classes and their registration when the library is loaded.
#include <mutex>

#include "platform/ado/objects_internal.h"
#include "platform/com/object.h"
#include "platform/threads/clock.h"

namespace {
// The SQL date functions read the process's clock.
[[maybe_unused]] const bool g_clockSet = [] {
  platform::ado::SetNowSource(&platform::clock::Now);
  return true;
}();
}  // namespace

namespace platform::ado {

namespace {

ClassFactory<ConnectionImpl> gConnectionFactory;
ClassFactory<RecordsetImpl> gRecordsetFactory;

}  // namespace

void RegisterAdoClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct Entry {
      const CLSID& clsid;
      IClassFactory* factory;
    };
    const Entry entries[] = {
        {__uuidof(::Connection), &gConnectionFactory}, {__uuidof(::Command), CommandFactory()},
        {__uuidof(::Recordset), &gRecordsetFactory},   {__uuidof(::Parameter), ParameterFactory()},
        {__uuidof(::Stream), StreamFactory()},
    };
    for (const auto& e : entries) {
      DWORD cookie = 0;
      CoRegisterClassObject(e.clsid, e.factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
  });
}

HRESULT RegisterAdoProgIds() {
  using platform::com::ServerClass;
  static const ServerClass kClasses[] = {
      {&__uuidof(::Connection), L"ADODB.Connection", L"ADODB.Connection.6.0", L"ADODB.Connection", L"Both"},
      {&__uuidof(::Command), L"ADODB.Command", L"ADODB.Command.6.0", L"ADODB.Command", L"Both"},
      {&__uuidof(::Recordset), L"ADODB.Recordset", L"ADODB.Recordset.6.0", L"ADODB.Recordset", L"Both"},
      {&__uuidof(::Stream), L"ADODB.Stream", L"ADODB.Stream.6.0", L"ADODB.Stream", L"Both"},
      {&__uuidof(::Parameter), L"ADODB.Parameter", L"ADODB.Parameter.6.0", L"ADODB.Parameter", L"Both"},
  };
  return platform::com::RegisterServerClasses(platform::com::ModulePathOf(reinterpret_cast<const void*>(&RegisterAdoProgIds)),
                                              kClasses, sizeof kClasses / sizeof kClasses[0]);
}

namespace {
// Registers the class objects when the library is loaded.
struct AutoRegister {
  AutoRegister() { RegisterAdoClasses(); }
} gAutoRegister;
}  // namespace

}  // namespace platform::ado
