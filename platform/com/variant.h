#pragma once
// OLE Automation values: CY, DECIMAL, DATE, VARIANT, SAFEARRAY, the conversion functions and
// the _variant_t wrapper.
//
// Text conversions use one fixed, locale-neutral form whatever LCID is passed: '.' as the decimal
// separator, no thousands separators, dates as "YYYY-MM-DD HH:MM:SS" (the date alone at midnight,
// the time alone on day 0).
#include <cstring>

#include "platform/com/error.h"

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_PTR = 26,
  VT_SAFEARRAY = 27,
  VT_CARRAY = 28,
  VT_USERDEFINED = 29,
  VT_LPSTR = 30,
  VT_LPWSTR = 31,
  VT_RECORD = 36,
  VT_INT_PTR = 37,
  VT_UINT_PTR = 38,
  VT_FILETIME = 64,
  VT_BLOB = 65,
  VT_CLSID = 72,
  VT_VECTOR = 0x1000,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_RESERVED = 0x8000,
  VT_ILLEGAL = 0xffff,
  VT_ILLEGALMASKED = 0x0fff,
  VT_TYPEMASK = 0x0fff,
};

// Currency: a 64-bit integer scaled by 10,000.
union CY {
  struct {
    ULONG Lo;
    LONG Hi;
  };
  LONGLONG int64;
};
using CURRENCY = CY;

// Decimal: a 96-bit unsigned integer, a sign and a power-of-ten scale (0 to 28).
struct DECIMAL {
  USHORT wReserved;
  union {
    struct {
      BYTE scale;
      BYTE sign;
    };
    USHORT signscale;
  };
  ULONG Hi32;
  union {
    struct {
      ULONG Lo32;
      ULONG Mid32;
    };
    ULONGLONG Lo64;
  };
};
#define DECIMAL_NEG ((BYTE)0x80)
#define DECIMAL_SETZERO(dec) \
  { (dec).Lo64 = 0; (dec).Hi32 = 0; (dec).signscale = 0; }

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};
// rgsabound holds the bounds right to left, as the platform does (rgsabound[0] is the last
// dimension); the functions take and report dimensions left to right (1-based).
struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  PVOID pvData;
  SAFEARRAYBOUND rgsabound[1];
};
using LPSAFEARRAY = SAFEARRAY*;
#define FADF_AUTO 0x0001
#define FADF_STATIC 0x0002
#define FADF_EMBEDDED 0x0004
#define FADF_FIXEDSIZE 0x0010
#define FADF_RECORD 0x0020
#define FADF_HAVEIID 0x0040
#define FADF_HAVEVARTYPE 0x0080
#define FADF_BSTR 0x0100
#define FADF_UNKNOWN 0x0200
#define FADF_DISPATCH 0x0400
#define FADF_VARIANT 0x0800

struct tagVARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        tagVARIANT* pvarVal;
        PVOID byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        DECIMAL* pdecVal;
        CHAR* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
          PVOID pvRecord;
          PVOID pRecInfo;
        } brecVal;
      };
    };
    DECIMAL decVal;
  };
};
using LPVARIANT = VARIANT*;
using LPVARIANTARG = VARIANT*;

#define V_VT(X) ((X)->vt)
#define V_ISBYREF(X) (V_VT(X) & VT_BYREF)
#define V_ISARRAY(X) (V_VT(X) & VT_ARRAY)
#define V_UNION(X, Y) ((X)->Y)
#define V_UI1(X) V_UNION(X, bVal)
#define V_I1(X) V_UNION(X, cVal)
#define V_I2(X) V_UNION(X, iVal)
#define V_UI2(X) V_UNION(X, uiVal)
#define V_I4(X) V_UNION(X, lVal)
#define V_UI4(X) V_UNION(X, ulVal)
#define V_I8(X) V_UNION(X, llVal)
#define V_UI8(X) V_UNION(X, ullVal)
#define V_INT(X) V_UNION(X, intVal)
#define V_UINT(X) V_UNION(X, uintVal)
#define V_R4(X) V_UNION(X, fltVal)
#define V_R8(X) V_UNION(X, dblVal)
#define V_CY(X) V_UNION(X, cyVal)
#define V_DATE(X) V_UNION(X, date)
#define V_BSTR(X) V_UNION(X, bstrVal)
#define V_DISPATCH(X) V_UNION(X, pdispVal)
#define V_ERROR(X) V_UNION(X, scode)
#define V_BOOL(X) V_UNION(X, boolVal)
#define V_UNKNOWN(X) V_UNION(X, punkVal)
#define V_ARRAY(X) V_UNION(X, parray)
#define V_BYREF(X) V_UNION(X, byref)
#define V_DECIMAL(X) ((X)->decVal)
#define V_UI1REF(X) V_UNION(X, pbVal)
#define V_I2REF(X) V_UNION(X, piVal)
#define V_I4REF(X) V_UNION(X, plVal)
#define V_I8REF(X) V_UNION(X, pllVal)
#define V_R4REF(X) V_UNION(X, pfltVal)
#define V_R8REF(X) V_UNION(X, pdblVal)
#define V_CYREF(X) V_UNION(X, pcyVal)
#define V_DATEREF(X) V_UNION(X, pdate)
#define V_BSTRREF(X) V_UNION(X, pbstrVal)
#define V_DISPATCHREF(X) V_UNION(X, ppdispVal)
#define V_ERRORREF(X) V_UNION(X, pscode)
#define V_BOOLREF(X) V_UNION(X, pboolVal)
#define V_UNKNOWNREF(X) V_UNION(X, ppunkVal)
#define V_ARRAYREF(X) V_UNION(X, pparray)
#define V_VARIANTREF(X) V_UNION(X, pvarVal)
#define V_DECIMALREF(X) V_UNION(X, pdecVal)

// VariantChangeType(Ex) flags.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_LOCALBOOL 0x10
// VarBstrFromDate / VarDateFromStr flags.
#define VAR_TIMEVALUEONLY 0x00000001
#define VAR_DATEVALUEONLY 0x00000002
#define LOCALE_NOUSEROVERRIDE 0x80000000

void VariantInit(VARIANT* pvarg);
HRESULT VariantClear(VARIANT* pvarg);
namespace platform::com {
// What VariantInit makes of a VARIANT: VT_EMPTY, every byte zero.
inline void EmptyVariant(VARIANT& v) noexcept { std::memset(static_cast<void*>(&v), 0, sizeof(VARIANT)); }
// Whether VariantClear has something of v's to release (a string, an interface or an array it
// holds): for every other VARIANT it only empties it.
inline bool VariantHoldsResource(const VARIANT& v) noexcept {
  return !(v.vt & VT_BYREF) && ((v.vt & VT_ARRAY) || v.vt == VT_BSTR || v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN);
}
}  // namespace platform::com
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);
// As VariantCopy, but a VT_BYREF source is copied as the value it points at.
HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANT* pvargSrc);
// Converts pvarSrc to vt into pvargDest (which may be the source). On failure the destination
// is left as it was. Failures: DISP_E_TYPEMISMATCH (no conversion, VT_NULL, text that is not a
// number or date), DISP_E_OVERFLOW (value out of the target's range), DISP_E_BADVARTYPE.
HRESULT VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* pvargDest, const VARIANT* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt);

// ---- single conversions (same rules as VariantChangeType) ----
HRESULT VarI2FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, SHORT* psOut);
HRESULT VarI4FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, LONG* plOut);
HRESULT VarI8FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, LONG64* pi64Out);
HRESULT VarR4FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, FLOAT* pfltOut);
HRESULT VarR8FromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DOUBLE* pdblOut);
HRESULT VarCyFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, CY* pcyOut);
HRESULT VarDecFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DECIMAL* pdecOut);
HRESULT VarDateFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DATE* pdateOut);
HRESULT VarBoolFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, VARIANT_BOOL* pboolOut);
HRESULT VarBstrFromI2(SHORT iVal, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromI4(LONG lIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromI8(LONG64 i64In, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromR4(FLOAT fltIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromR8(DOUBLE dblIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromCy(CY cyIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromDec(const DECIMAL* pdecIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
// "True"/"False" (VAR_LOCALBOOL gives the same here).
HRESULT VarBstrFromBool(VARIANT_BOOL boolIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
HRESULT VarI4FromR8(DOUBLE dblIn, LONG* plOut);
HRESULT VarI4FromCy(CY cyIn, LONG* plOut);
HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut);
HRESULT VarR8FromI4(LONG lIn, DOUBLE* pdblOut);
HRESULT VarR8FromCy(CY cyIn, DOUBLE* pdblOut);
HRESULT VarR8FromDec(const DECIMAL* pdecIn, DOUBLE* pdblOut);
HRESULT VarCyFromR8(DOUBLE dblIn, CY* pcyOut);
HRESULT VarCyFromI4(LONG lIn, CY* pcyOut);
HRESULT VarCyFromI8(LONG64 i64In, CY* pcyOut);
HRESULT VarCyFromDec(const DECIMAL* pdecIn, CY* pcyOut);
HRESULT VarDecFromR8(DOUBLE dblIn, DECIMAL* pdecOut);
HRESULT VarDecFromI4(LONG lIn, DECIMAL* pdecOut);
HRESULT VarDecFromI8(LONG64 i64In, DECIMAL* pdecOut);
HRESULT VarDecFromCy(CY cyIn, DECIMAL* pdecOut);
HRESULT VarDateFromR8(DOUBLE dblIn, DATE* pdateOut);

#define VARCMP_LT 0
#define VARCMP_EQ 1
#define VARCMP_GT 2
#define VARCMP_NULL 3

// ---- comparisons (VARCMP_LT, VARCMP_EQ, VARCMP_GT, VARCMP_NULL) ----
#ifndef NORM_IGNORECASE
#define NORM_IGNORECASE 0x00000001
#endif
// Ordinal comparison of texts (a null BSTR is ""); NORM_IGNORECASE folds letters, Polish included.
HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID lcid, ULONG dwFlags);
HRESULT VarBstrCat(BSTR bstrLeft, BSTR bstrRight, BSTR* pbstrResult);
// Numbers by value (empty is 0), texts as VarBstrCmp, a number below any text; VT_NULL on
// either side gives VARCMP_NULL; other types DISP_E_TYPEMISMATCH.
HRESULT VarCmp(VARIANT* pvarLeft, VARIANT* pvarRight, LCID lcid, ULONG dwFlags);

// ---- currency arithmetic (results rounded to 4 places, half to even) ----
HRESULT VarCyAdd(CY cyLeft, CY cyRight, CY* pcyResult);
HRESULT VarCySub(CY cyLeft, CY cyRight, CY* pcyResult);
HRESULT VarCyMul(CY cyLeft, CY cyRight, CY* pcyResult);
HRESULT VarCyMulI4(CY cyLeft, LONG lRight, CY* pcyResult);
HRESULT VarCyMulI8(CY cyLeft, LONG64 lRight, CY* pcyResult);
HRESULT VarCyNeg(CY cyIn, CY* pcyResult);
HRESULT VarCyAbs(CY cyIn, CY* pcyResult);
HRESULT VarCyFix(CY cyIn, CY* pcyResult);
HRESULT VarCyInt(CY cyIn, CY* pcyResult);
// Rounds to cDecimals (0 to 4) places, half to even.
HRESULT VarCyRound(CY cyIn, int cDecimals, CY* pcyResult);
HRESULT VarCyCmp(CY cyLeft, CY cyRight);
HRESULT VarCyCmpR8(CY cyLeft, double dblRight);

// ---- decimal arithmetic (DISP_E_OVERFLOW past 96 bits; DISP_E_DIVBYZERO) ----
HRESULT VarDecAdd(const DECIMAL* pdecLeft, const DECIMAL* pdecRight, DECIMAL* pdecResult);
HRESULT VarDecSub(const DECIMAL* pdecLeft, const DECIMAL* pdecRight, DECIMAL* pdecResult);
HRESULT VarDecMul(const DECIMAL* pdecLeft, const DECIMAL* pdecRight, DECIMAL* pdecResult);
HRESULT VarDecDiv(const DECIMAL* pdecLeft, const DECIMAL* pdecRight, DECIMAL* pdecResult);
HRESULT VarDecNeg(const DECIMAL* pdecIn, DECIMAL* pdecResult);
HRESULT VarDecAbs(const DECIMAL* pdecIn, DECIMAL* pdecResult);
HRESULT VarDecFix(const DECIMAL* pdecIn, DECIMAL* pdecResult);
HRESULT VarDecInt(const DECIMAL* pdecIn, DECIMAL* pdecResult);
HRESULT VarDecRound(const DECIMAL* pdecIn, int cDecimals, DECIMAL* pdecResult);
HRESULT VarDecCmp(const DECIMAL* pdecLeft, const DECIMAL* pdecRight);

// ---- dates: days since 30 December 1899; the fraction is the time of day (of the absolute
// value for dates before that day) ----
// Rounds to the nearest second; FALSE outside 1 January 100 .. 31 December 9999.
INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime);
// Milliseconds are ignored; FALSE for an invalid date or time.
INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime);
void GetLocalTime(LPSYSTEMTIME lpSystemTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);
// FILETIME: 100-ns intervals since 1 January 1601 (UTC).
void GetSystemTimeAsFileTime(FILETIME* lpFileTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, FILETIME* lpFileTime);
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);

// ---- SAFEARRAY ----
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut);
HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut);
HRESULT SafeArrayAllocData(SAFEARRAY* psa);
HRESULT SafeArrayDestroyData(SAFEARRAY* psa);
HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa);
UINT SafeArrayGetDim(SAFEARRAY* psa);
UINT SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
// rgIndices: one index per dimension, left to right. Elements are copied in and out (BSTRs
// duplicated, VARIANTs copied, interfaces AddRef'd).
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
HRESULT SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget);
// Changes the last (rightmost) dimension.
HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew);

class _variant_t;
// The "missing argument" value: VT_ERROR holding DISP_E_PARAMNOTFOUND.
extern _variant_t vtMissing;

// VARIANT wrapper. Constructors pick the type from the C++ type: bool -> VT_BOOL, short ->
// VT_I2 (VARIANT_BOOL is a short, so _variant_t(VARIANT_TRUE) is VT_I2 -1 as on the platform),
// int/LONG and C++ long -> VT_I4 (a long beyond 32 bits becomes VT_I8 rather than being cut),
// LONGLONG (long long) -> VT_I8, DWORD/ULONG -> VT_UI4. Extractors convert with
// VariantChangeType and raise _com_error when that fails.
class _variant_t : public tagVARIANT {
 public:
  _variant_t() noexcept { platform::com::EmptyVariant(*this); }
  _variant_t(const VARIANT& varSrc);
  _variant_t(const VARIANT* pSrc);
  _variant_t(const _variant_t& varSrc);
  _variant_t(_variant_t&& varSrc) noexcept;
  // fCopy false takes over varSrc (which is left VT_EMPTY).
  _variant_t(VARIANT& varSrc, bool fCopy);
  // vtSrc may be VT_I2 or VT_BOOL.
  _variant_t(short sSrc, VARTYPE vtSrc = VT_I2);
  // vtSrc may be VT_I4, VT_INT, VT_ERROR or VT_BOOL.
  _variant_t(int lSrc, VARTYPE vtSrc = VT_I4);
  // VT_I4 (VT_I8 only for a value beyond 32 bits).
  _variant_t(long lSrc) noexcept;
  _variant_t(long long lSrc) noexcept;
  _variant_t(float fltSrc) noexcept;
  // vtSrc may be VT_R8 or VT_DATE.
  _variant_t(double dblSrc, VARTYPE vtSrc = VT_R8);
  _variant_t(const CY& cySrc) noexcept;
  _variant_t(const _bstr_t& bstrSrc);
  _variant_t(const wchar_t* pSrc);
  _variant_t(const char* pSrc);
  _variant_t(IDispatch* pSrc, bool fAddRef = true) noexcept;
  _variant_t(bool boolSrc) noexcept;
  _variant_t(IUnknown* pSrc, bool fAddRef = true) noexcept;
  _variant_t(const DECIMAL& decSrc) noexcept;
  _variant_t(BYTE bSrc) noexcept;
  _variant_t(char cSrc) noexcept;
  _variant_t(signed char cSrc) noexcept;
  _variant_t(unsigned short usSrc) noexcept;
  _variant_t(unsigned int ulSrc) noexcept;
  _variant_t(unsigned long ullSrc) noexcept;
  _variant_t(unsigned long long ullSrc) noexcept;
  ~_variant_t() {
    if (platform::com::VariantHoldsResource(*this)) VariantClear(this);
  }

  operator short() const;
  operator int() const;
  operator long() const;
  operator long long() const;
  operator float() const;
  operator double() const;
  operator CY() const;
  operator _bstr_t() const;
  operator IDispatch*() const;
  operator bool() const;
  operator IUnknown*() const;
  operator DECIMAL() const;
  operator BYTE() const;
  operator char() const;
  operator unsigned short() const;
  operator unsigned int() const;
  operator unsigned long() const;
  operator unsigned long long() const;

  _variant_t& operator=(const VARIANT& varSrc);
  _variant_t& operator=(const VARIANT* pSrc);
  _variant_t& operator=(const _variant_t& varSrc);
  _variant_t& operator=(_variant_t&& varSrc) noexcept;
  // Keeps VT_BOOL; otherwise becomes VT_I2.
  _variant_t& operator=(short sSrc);
  // Keeps VT_ERROR, VT_BOOL and VT_INT; otherwise becomes VT_I4.
  _variant_t& operator=(int lSrc);
  _variant_t& operator=(long lSrc);
  _variant_t& operator=(long long lSrc);
  _variant_t& operator=(float fltSrc);
  // Keeps VT_DATE; otherwise becomes VT_R8.
  _variant_t& operator=(double dblSrc);
  _variant_t& operator=(const CY& cySrc);
  _variant_t& operator=(const _bstr_t& bstrSrc);
  _variant_t& operator=(const wchar_t* pSrc);
  _variant_t& operator=(const char* pSrc);
  _variant_t& operator=(IDispatch* pSrc);
  _variant_t& operator=(bool boolSrc);
  _variant_t& operator=(IUnknown* pSrc);
  _variant_t& operator=(const DECIMAL& decSrc);
  _variant_t& operator=(BYTE bSrc);
  _variant_t& operator=(char cSrc);
  _variant_t& operator=(unsigned short usSrc);
  _variant_t& operator=(unsigned int ulSrc);
  _variant_t& operator=(unsigned long ullSrc);
  _variant_t& operator=(unsigned long long ullSrc);

  // Same type and value (BSTRs by content, interfaces by pointer); raises E_INVALIDARG for
  // types that cannot be compared.
  bool operator==(const VARIANT& varSrc) const;
  bool operator==(const _variant_t& varSrc) const { return *this == static_cast<const VARIANT*>(&varSrc); }
  bool operator!=(const _variant_t& varSrc) const { return !(*this == varSrc); }
  bool operator==(const VARIANT* pSrc) const;
  bool operator!=(const VARIANT& varSrc) const { return !(*this == varSrc); }
  bool operator!=(const VARIANT* pSrc) const { return !(*this == pSrc); }

  void Clear();
  void Attach(VARIANT& varSrc);
  VARIANT Detach() noexcept;
  VARIANT& GetVARIANT() noexcept { return *this; }
  // Clears the value and returns its address, for [out] parameters.
  VARIANT* GetAddress() {
    if (platform::com::VariantHoldsResource(*this)) Clear();
    else platform::com::EmptyVariant(*this);
    return this;
  }
  // Converts this value (or pSrc into this) to vt; raises _com_error on failure.
  void ChangeType(VARTYPE vartype, const _variant_t* pSrc = nullptr);
  void SetString(const char* pSrc);

 private:
  template <class T>
  T Extract(VARTYPE vt) const;
};
