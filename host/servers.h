#pragma once
// The system's in-process servers as the host finds them: a server library is registered when
// the registry does not name it for every one of its classes.
#include <initializer_list>
#include <string>

#include "platform/com/com.h"

namespace host {

// Whether HKCR\CLSID\{clsid}\InprocServer32 names `libraryPath` (the same file) for each class.
bool RegistryNamesLibrary(const std::wstring& libraryPath, std::initializer_list<CLSID> classes);
// Registers the library (its DllRegisterServer) unless the registry already names it for each
// class. S_FALSE when nothing needed doing.
HRESULT RegisterServerUnlessNamed(const std::wstring& libraryPath, std::initializer_list<CLSID> classes);

}  // namespace host
