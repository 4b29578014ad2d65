#pragma once
// Base types of the platform layer, with the platform's own names.
// COM's LONG is 32-bit on every build: never use C++ `long` for it.
#include <cstddef>
#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using CHAR = char;
using UCHAR = unsigned char;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using BOOLEAN = BYTE;
// 64-bit integers are `long long`, a type of their own, so that C++ `long` (COM's 32-bit long in
// code written for the platform) and LONGLONG pick different overloads (VT_I4 and VT_I8).
using LONGLONG = long long;
using ULONGLONG = unsigned long long;
using LONG64 = std::int64_t;  // gSOAP's headers define LONG64 as int64_t: keep them identical
using ULONG64 = std::uint64_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using FLOAT = float;
using DOUBLE = double;

using WCHAR = wchar_t;  // 32-bit on Linux; converted to UTF-8 at the edges
using OLECHAR = wchar_t;
using TCHAR = wchar_t;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using LPTSTR = wchar_t*;
using LPCTSTR = const wchar_t*;
using PVOID = void*;
using LPVOID = void*;
using LPBYTE = BYTE*;
using PBYTE = BYTE*;
using LPDWORD = DWORD*;
using PDWORD = DWORD*;
using LPLONG = LONG*;
using LPINT = int*;
using PLONG = LONG*;
using LPCVOID = const void*;

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = DWORD;
using LANGID = WORD;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DATE = double;
using DISPID = LONG;
using MEMBERID = DISPID;
using COLORREF = DWORD;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// Opaque handles.
#define VANTOR_DECLARE_HANDLE(name) \
  struct name##__ {                 \
    int unused;                     \
  };                                \
  typedef struct name##__* name
VANTOR_DECLARE_HANDLE(HINSTANCE);
VANTOR_DECLARE_HANDLE(HKEY);
VANTOR_DECLARE_HANDLE(HWND);
VANTOR_DECLARE_HANDLE(HDC);
VANTOR_DECLARE_HANDLE(HMENU);
VANTOR_DECLARE_HANDLE(HICON);
VANTOR_DECLARE_HANDLE(HBITMAP);
VANTOR_DECLARE_HANDLE(HFONT);
VANTOR_DECLARE_HANDLE(HBRUSH);
VANTOR_DECLARE_HANDLE(HPEN);
VANTOR_DECLARE_HANDLE(HRGN);
VANTOR_DECLARE_HANDLE(HCURSOR);
VANTOR_DECLARE_HANDLE(HGLOBAL);
VANTOR_DECLARE_HANDLE(HRSRC);
using HMODULE = HINSTANCE;
using HANDLE = void*;
using HGDIOBJ = void*;
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

// Time and 64-bit integer structures shared by several components.
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};

// GUIDs. Text form and helpers live in platform/com.
struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
namespace platform {
inline constexpr GUID kNullGuid{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
}
#define GUID_NULL (::platform::kNullGuid)
#define IID_NULL (::platform::kNullGuid)
#define CLSID_NULL (::platform::kNullGuid)

// HRESULT construction and tests.
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define HRESULT_CODE(hr) ((hr) & 0xFFFF)
#define HRESULT_FACILITY(hr) (((hr) >> 16) & 0x1fff)
#define HRESULT_SEVERITY(hr) (((hr) >> 31) & 0x1)
#define SCODE_CODE(sc) HRESULT_CODE(sc)
#define MAKE_HRESULT(sev, fac, code) \
  ((HRESULT)(((unsigned int)(sev) << 31) | ((unsigned int)(fac) << 16) | ((unsigned int)(code))))
#define FACILITY_NULL 0
#define FACILITY_RPC 1
#define FACILITY_DISPATCH 2
#define FACILITY_STORAGE 3
#define FACILITY_ITF 4
#define FACILITY_WIN32 7
#define FACILITY_WINDOWS 8
#define FACILITY_CONTROL 10
#define FACILITY_INTERNET 12
#define SEVERITY_SUCCESS 0
#define SEVERITY_ERROR 1
constexpr HRESULT HRESULT_FROM_WIN32(DWORD x) {
  return (HRESULT)x <= 0 ? (HRESULT)x : (HRESULT)((x & 0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000);
}

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define NOERROR S_OK
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_HANDLE ((HRESULT)0x80070006)
#define E_ABORT ((HRESULT)0x80004004)
#define E_FAIL ((HRESULT)0x80004005)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define E_PENDING ((HRESULT)0x8000000A)

#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define REGDB_E_READREGDB ((HRESULT)0x80040150)
#define REGDB_E_WRITEREGDB ((HRESULT)0x80040151)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8)
#define CO_E_ERRORINDLL ((HRESULT)0x800401F9)
#define SELFREG_E_TYPELIB ((HRESULT)0x80040200)
#define SELFREG_E_CLASS ((HRESULT)0x80040201)

#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_ARRAYISLOCKED ((HRESULT)0x8002000D)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)
#define DISP_E_DIVBYZERO ((HRESULT)0x80020012)
#define TYPE_E_TYPEMISMATCH ((HRESULT)0x80028CA0)
#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001)
#define STG_E_ACCESSDENIED ((HRESULT)0x80030005)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070)

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_CANCELLED 1223L

#define MAKEWORD(a, b) ((WORD)(((BYTE)(((DWORD_PTR)(a)) & 0xff)) | ((WORD)((BYTE)(((DWORD_PTR)(b)) & 0xff))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))

// The smallest LONG, which several helpers use for "no value".
constexpr LONG kNoLongValue = static_cast<LONG>(0x80000000u);

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT
#define WINAPI
#define CALLBACK
#define PURE = 0
