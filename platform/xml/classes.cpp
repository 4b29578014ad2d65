// The class objects of DOMDocument40, MXXMLWriter40 and SAXAttributes40.
#include <mutex>

#include "platform/xml/internal.h"

namespace platform::xml {

void RegisterXmlClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    InitLibraries();
    struct Entry {
      const CLSID& clsid;
      platform::com::CreateFunction create;
    };
    const Entry entries[] = {
        {__uuidof(DOMDocument40), &CreateDocument},
        {__uuidof(MXXMLWriter40), &CreateWriter},
        {__uuidof(SAXAttributes40), &CreateAttributes},
    };
    for (const Entry& e : entries) {
      IClassFactory* factory = platform::com::NewClassFactory(e.create);
      if (!factory) continue;
      DWORD cookie = 0;
      CoRegisterClassObject(e.clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
      factory->Release();  // the class table holds it for the life of the process
    }
  });
}

namespace {
// Registers the class objects when the library is loaded.
const bool g_registered = (RegisterXmlClasses(), true);
}  // namespace

}  // namespace platform::xml
