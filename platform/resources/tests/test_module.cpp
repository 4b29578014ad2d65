// A library module for the tests: its own string table and module state.
#include "platform/resources/resources.h"

VANTOR_RESOURCE_MODULE(g_testModule, L"ResTestMod", platform::ModuleKind::Library,
                       {{100, L"z biblioteki"}, {200, L"tylko w bibliotece"}})

// A second module of the library that joins the extension chain while the library loads, that
// is before the program's own module declaration has run.
platform::ResourceModule g_earlyExtension(L"ResTestEarly", platform::ModuleKind::Library, {{700, L"wcześnie dołączony"}});
struct EarlyLink {
  AFX_EXTENSION_MODULE module;
  CDynLinkLibrary* link = nullptr;
  EarlyLink() {
    if (AfxInitExtensionModule(module, g_earlyExtension.Handle())) link = new CDynLinkLibrary(module);
  }
  ~EarlyLink() { delete link; }
};
EarlyLink g_earlyLink;

extern "C" __attribute__((visibility("default"))) AFX_MODULE_STATE* ResTestModStaticState() {
  return AfxGetStaticModuleState();
}

// What a COM method of the library does: enter its own module state, then load by id.
extern "C" __attribute__((visibility("default"))) bool ResTestModLoad(UINT id, wchar_t* out, int size) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CString s;
  if (!s.LoadString(id)) return false;
  return wcscpy_s(out, static_cast<size_t>(size), s.GetString()) == 0;
}
