#pragma once
// Object activation (in-process servers), the Global Interface Table, memory streams and
// global memory handles.
#include <atomic>
#include <string>
#include <vector>

#include "platform/com/core.h"

// ---- library initialisation: counted, always accepted ----
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
HRESULT OleInitialize(LPVOID pvReserved);
void OleUninitialize();

// ---- activation ----
// Any class context is accepted; every object is created in process. Class objects registered
// with CoRegisterClassObject win over the registry (HKCR\CLSID\{clsid}\InprocServer32).
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
// ProgID or version-independent ProgID (followed through CurVer); CO_E_CLASSSTRING when unknown.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
// REGDB_E_CLASSNOTREG when the class has no ProgID; the text is allocated with CoTaskMemAlloc.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
// Objects are always running here: S_OK (E_INVALIDARG for null).
HRESULT OleRun(LPUNKNOWN pUnknown);

#define REGCLS_SINGLEUSE 0
#define REGCLS_MULTIPLEUSE 1
#define REGCLS_MULTI_SEPARATE 2
#define REGCLS_SUSPENDED 4
#define REGCLS_SURROGATE 8
HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags, DWORD* lpdwRegister);
HRESULT CoRevokeClassObject(DWORD dwRegister);
// Unloads server libraries whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// What a server library exports (C linkage, looked up with dlsym).
extern "C" {
using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using LPFNCANUNLOADNOW = HRESULT (*)();
using LPFNREGISTERSERVER = HRESULT (*)();
}

// ---- Global Interface Table (same-thread semantics: the registered pointer is handed back) ----
struct IGlobalInterfaceTable : IUnknown {
  STDMETHOD(RegisterInterfaceInGlobal)(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) = 0;
  STDMETHOD(RevokeInterfaceFromGlobal)(DWORD dwCookie) = 0;
  STDMETHOD(GetInterfaceFromGlobal)(DWORD dwCookie, REFIID riid, void** ppv) = 0;
};
VANTOR_UUIDOF(IGlobalInterfaceTable, "00000146-0000-0000-C000-000000000046");
struct StdGlobalInterfaceTable;
VANTOR_UUIDOF(StdGlobalInterfaceTable, "00000323-0000-0000-C000-000000000046");
#define IID_IGlobalInterfaceTable __uuidof(IGlobalInterfaceTable)
#define CLSID_StdGlobalInterfaceTable __uuidof(StdGlobalInterfaceTable)

// ---- global memory handles ----
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
SIZE_T GlobalSize(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);

// ---- streams ----
struct STATSTG {
  LPOLESTR pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};
#define STGTY_STORAGE 1
#define STGTY_STREAM 2
#define STGTY_LOCKBYTES 3
#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STGM_READ 0x0
#define STGM_WRITE 0x1
#define STGM_READWRITE 0x2

struct ISequentialStream : IUnknown {
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};
VANTOR_UUIDOF(ISequentialStream, "0C733A30-2A1C-11CE-ADE5-00AA0044773D");

struct IStream : ISequentialStream {
  STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) = 0;
  STDMETHOD(CopyTo)(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) = 0;
  STDMETHOD(Commit)(DWORD grfCommitFlags) = 0;
  STDMETHOD(Revert)() = 0;
  STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  STDMETHOD(Clone)(IStream** ppstm) = 0;
};
using LPSTREAM = IStream*;
VANTOR_UUIDOF(IStream, "0000000C-0000-0000-C000-000000000046");
#define IID_IStream __uuidof(IStream)
#define IID_ISequentialStream __uuidof(ISequentialStream)

// A stream over a global memory block (a new one when hGlobal is null); clones share the block.
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

namespace platform::com {

// One class of a server library, for the registration helpers below.
struct ServerClass {
  const CLSID* clsid;
  const wchar_t* name;                      // default value of HKCR\CLSID\{clsid}
  const wchar_t* progId;                    // e.g. L"Vantor.AuctServMgr.1" (may be null)
  const wchar_t* versionIndependentProgId;  // e.g. L"Vantor.AuctServMgr" (may be null)
  const wchar_t* threadingModel;            // null gives "Apartment"
  HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv) = nullptr;  // for ServerGetClassObject
  bool programmable = false;                // writes the empty key HKCR\CLSID\{clsid}\Programmable
};

// What a server registers once for all its classes: its AppID and its type library. Every class
// then names both (the value AppID and the key TypeLib under HKCR\CLSID\{clsid}).
struct ServerInfo {
  const GUID* appId = nullptr;              // HKCR\AppID\{appId} (default = appName)
  const wchar_t* appName = nullptr;
  const wchar_t* appModuleName = nullptr;   // HKCR\AppID\<appModuleName> with AppID = {appId}
  const GUID* typeLib = nullptr;            // HKCR\TypeLib\{typeLib}\<version> (default = help text)
  const wchar_t* typeLibVersion = nullptr;  // null gives "1.0"
  const wchar_t* typeLibHelp = nullptr;
};

// Writes the registry entries of the classes for the library at libraryPath:
// HKCR\CLSID\{clsid} (default = name) with InprocServer32 (default = path, ThreadingModel),
// ProgID and VersionIndependentProgID; HKCR\<ProgID>\CLSID and HKCR\<VIProgID>\CLSID + CurVer;
// with a ServerInfo also its AppID and type-library keys.
HRESULT RegisterServerClasses(const std::wstring& libraryPath, const ServerClass* classes, std::size_t count,
                              const ServerInfo* info = nullptr);
// Removes exactly what RegisterServerClasses wrote. A ProgID or AppID name key that meanwhile
// names another class or AppID belongs to another server and stays; so do other versions of the
// type library.
HRESULT UnregisterServerClasses(const ServerClass* classes, std::size_t count, const ServerInfo* info = nullptr);
// The file path of the shared library that contains address (for DllRegisterServer).
std::wstring ModulePathOf(const void* address);

// Loads a server library (once) and calls its DllRegisterServer / DllUnregisterServer.
HRESULT RegisterServerLibrary(const std::wstring& path);
HRESULT UnregisterServerLibrary(const std::wstring& path);

// Module lock counting for server libraries: objects and LockServer(TRUE) add a lock;
// DllCanUnloadNow answers S_OK when the count is 0.
class ModuleLocks {
 public:
  void Lock() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
  void Unlock() noexcept { count_.fetch_sub(1, std::memory_order_relaxed); }
  long Count() const noexcept { return count_.load(std::memory_order_relaxed); }

 private:
  std::atomic<long> count_{0};
};

// A class factory over a creation function, for servers and test doubles; LockServer and the
// factory's own life count on locks when given. Returns a new factory (one reference).
using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);
IClassFactory* NewClassFactory(CreateFunction create, ModuleLocks* locks = nullptr);

// The number of server libraries currently loaded by CoCreateInstance.
std::size_t LoadedServerLibraryCount();

// DllGetClassObject over a class table: a factory for the class whose clsid matches, counting
// on locks; CLASS_E_CLASSNOTAVAILABLE for other classes.
HRESULT ServerGetClassObject(const ServerClass* classes, std::size_t count, ModuleLocks* locks, REFCLSID rclsid,
                             REFIID riid, void** ppv);

}  // namespace platform::com
