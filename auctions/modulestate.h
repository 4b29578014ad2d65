#pragma once
// What Lotrix's own classes need of the library's module: its state, which every COM method
// enters (AFX_MANAGE_STATE), and its lock, which keeps the library loaded while an object lives.
// Both belong to the library itself (the platform keeps one of each per loaded library), so this
// header serves Lotrix's sources only; the module (object map, registration, class objects and
// the application object) is module.h's, which is what code outside the library uses.
#include "platform/com/server.h"
#include "platform/resources/resources.h"

namespace lotrix {

// Lotrix's module state: its resources and application object.
inline AFX_MODULE_STATE* ModuleState() { return AfxGetStaticModuleState(); }

// Locks and unlocks the library for an object of its own (platform::com::ServerObject does it
// for the classes it serves).
inline void LockModule() { platform::com::g_thisModuleLocks.Lock(); }
inline void UnlockModule() { platform::com::g_thisModuleLocks.Unlock(); }

}  // namespace lotrix
