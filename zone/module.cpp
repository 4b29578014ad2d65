// Vorlen's module: its resources, the application object, the object map and the four exports
// of an in-process server.
#include "platform/com/server.h"
#include "shared/svcapp.h"
#include "zone/connector.h"
#include "zone/statusmgr.h"
#include "zone/vorlen.h"

// Vorlen's resources; its module state carries the application name "Vorlen".
VANTOR_RESOURCE_MODULE(g_vorlenResources, L"Vorlen", platform::ModuleKind::Library);

namespace vorlen {

namespace {

// The application object of the library: it only opens its class factories (and names where its
// settings live: HKEY_CURRENT_USER\Software\Kordel\Vantor\Vorlen\1.0).
class CVorlenApp : public CHxSvcApp {
 public:
  CVorlenApp() : CHxSvcApp(nullptr) {}
  BOOL InitInstance() override {
    SetupRegistry();
    RegisterClassFactories();
    return TRUE;
  }
};

CHxLibraryApp<CVorlenApp> g_app(g_vorlenResources.State());

}  // namespace
}  // namespace vorlen

namespace {

// The classes of the type library that the library serves.
const platform::com::ServerClass kObjectMap[] = {
    {&CLSID_CoVorlenConnector, L"CoVorlenConnector Class", L"Vantor.CoVorlenConnector.1", L"Vantor.CoVorlenConnector",
     nullptr, &vorlen::CreateConnector, true},
    {&CLSID_CoStatusMgr, L"CoStatusMgr Class", L"Vantor.StatusMgr.1", L"Vantor.StatusMgr", nullptr,
     &vorlen::CreateStatusMgr, false},
};

const platform::com::ServerInfo kServer = {
    &APPID_Vorlen, L"Vorlen", L"Vorlen.DLL", &LIBID_VorlenLib, L"1.0", L"Vorlen 1.0 Type Library",
};

}  // namespace

VANTOR_COM_SERVER(kObjectMap, &kServer);
