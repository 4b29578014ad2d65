#pragma once
// Internal links between the activation sources of platform_com.
#include "platform/com/core.h"

namespace platform::com::detail {
// The factory of the process's one Global Interface Table (never released).
IClassFactory* GlobalInterfaceTableFactory();
// The class object of a class registered in the registry (loading its library once).
HRESULT GetServerClassObject(REFCLSID clsid, REFIID riid, void** ppv);
}  // namespace platform::com::detail
