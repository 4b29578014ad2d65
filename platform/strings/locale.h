#pragma once
// Locale information and number formatting from a fixed table, never the process locale.
//
// The user's and the system's default locale is Polish (pl-PL, 1045); English (en-US, 1033) and
// the invariant locale are also known. Any other LCID is refused (the calls return 0).
// VARIANT conversions stay locale-neutral whatever these calls say.
#include "platform/base/wintypes.h"

using LCTYPE = DWORD;

#ifndef LOCALE_USER_DEFAULT
#define LOCALE_USER_DEFAULT 0x0400
#endif
#ifndef LOCALE_SYSTEM_DEFAULT
#define LOCALE_SYSTEM_DEFAULT 0x0800
#endif
#ifndef LOCALE_INVARIANT
#define LOCALE_INVARIANT 0x007F
#endif
#define LOCALE_NEUTRAL 0x0000
#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define LANG_POLISH 0x15
#define SUBLANG_DEFAULT 0x01
#define SORT_DEFAULT 0x0
#ifndef MAKELANGID
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#endif
#define PRIMARYLANGID(lgid) ((WORD)(lgid) & 0x3ff)
#define SUBLANGID(lgid) ((WORD)(lgid) >> 10)
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LANGIDFROMLCID(lcid) ((WORD)(lcid))

// Flags of GetLocaleInfoW.
#define LOCALE_NOUSEROVERRIDE 0x80000000
#define LOCALE_RETURN_NUMBER 0x20000000
// Information kinds.
#define LOCALE_ILANGUAGE 0x00000001
#define LOCALE_SLANGUAGE 0x00000002
#define LOCALE_SABBREVLANGNAME 0x00000003
#define LOCALE_SNATIVELANGNAME 0x00000004
#define LOCALE_ICOUNTRY 0x00000005
#define LOCALE_SCOUNTRY 0x00000006
#define LOCALE_SLIST 0x0000000C
#define LOCALE_IMEASURE 0x0000000D
#define LOCALE_SDECIMAL 0x0000000E
#define LOCALE_STHOUSAND 0x0000000F
#define LOCALE_SGROUPING 0x00000010
#define LOCALE_IDIGITS 0x00000011
#define LOCALE_ILZERO 0x00000012
#define LOCALE_SNATIVEDIGITS 0x00000013
#define LOCALE_SCURRENCY 0x00000014
#define LOCALE_SINTLSYMBOL 0x00000015
#define LOCALE_SMONDECIMALSEP 0x00000016
#define LOCALE_SMONTHOUSANDSEP 0x00000017
#define LOCALE_SMONGROUPING 0x00000018
#define LOCALE_ICURRDIGITS 0x00000019
#define LOCALE_ICURRENCY 0x0000001B
#define LOCALE_INEGCURR 0x0000001C
#define LOCALE_SDATE 0x0000001D
#define LOCALE_STIME 0x0000001E
#define LOCALE_SSHORTDATE 0x0000001F
#define LOCALE_SLONGDATE 0x00000020
#define LOCALE_IDATE 0x00000021
#define LOCALE_S1159 0x00000028
#define LOCALE_S2359 0x00000029
#define LOCALE_SDAYNAME1 0x0000002A   // Monday; 2B to 30 Tuesday to Sunday
#define LOCALE_SABBREVDAYNAME1 0x00000031
#define LOCALE_SMONTHNAME1 0x00000038  // January; 39 to 43 February to December
#define LOCALE_SABBREVMONTHNAME1 0x00000044
#define LOCALE_SPOSITIVESIGN 0x00000050
#define LOCALE_SNEGATIVESIGN 0x00000051
#define LOCALE_SISO639LANGNAME 0x00000059
#define LOCALE_SISO3166CTRYNAME 0x0000005A
#define LOCALE_SNAME 0x0000005C
#define LOCALE_SENGLANGUAGE 0x00001001
#define LOCALE_SENGCOUNTRY 0x00001002
#define LOCALE_STIMEFORMAT 0x00001003
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004
#define LOCALE_IFIRSTDAYOFWEEK 0x0000100C
#define LOCALE_INEGNUMBER 0x00001010

struct NUMBERFMTW {
  UINT NumDigits;
  UINT LeadingZero;
  UINT Grouping;        // 3 groups by three; 32 groups three, then two ("3;2;0"); 0 none
  LPWSTR lpDecimalSep;
  LPWSTR lpThousandSep;
  UINT NegativeOrder;   // 0 "(1.1)", 1 "-1.1", 2 "- 1.1", 3 "1.1-", 4 "1.1 -"
};
using NUMBERFMT = NUMBERFMTW;

LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();
LANGID GetUserDefaultLangID();
LANGID GetSystemDefaultLangID();
LCID GetThreadLocale();
BOOL IsValidLocale(LCID locale, DWORD flags);

// The text of `type` for the locale, terminated; returns the characters written with the
// terminator (with size 0: the size needed), 0 for an unknown locale or kind or a short buffer.
// With LOCALE_RETURN_NUMBER a numeric kind is written as one DWORD (size counts wchar_ts: 2).
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size);
inline int GetLocaleInfo(LCID locale, LCTYPE type, LPWSTR data, int size) { return GetLocaleInfoW(locale, type, data, size); }

// Formats `value` (an optional '-', digits, an optional '.' and digits) by the locale's number
// rules or by `format` (then `flags` must be 0). Rounds half away from zero to the number of
// digits. Returns as GetLocaleInfoW; 0 for a malformed value.
int GetNumberFormatW(LCID locale, DWORD flags, LPCWSTR value, const NUMBERFMTW* format, LPWSTR number, int size);
inline int GetNumberFormat(LCID locale, DWORD flags, LPCWSTR value, const NUMBERFMTW* format, LPWSTR number, int size) {
  return GetNumberFormatW(locale, flags, value, format, number, size);
}
