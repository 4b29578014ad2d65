#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/strings/strings.h"

TEST(Crt, CaseInsensitiveComparisonFoldsPolishLetters) {
  EXPECT_EQ(_wcsicmp(L"ŻÓŁW", L"żółw"), 0);
  EXPECT_LT(_wcsicmp(L"abc", L"ABD"), 0);
  EXPECT_GT(_wcsicmp(L"abcd", L"ABC"), 0);
  EXPECT_EQ(_wcsnicmp(L"ŁódźX", L"łódźy", 4), 0);
  EXPECT_NE(_wcsnicmp(L"ŁódźX", L"łódźy", 5), 0);
  EXPECT_EQ(_stricmp("Hello", "hELLO"), 0);
  EXPECT_EQ(_strnicmp("abX", "ABy", 2), 0);
  wchar_t s[] = L"zażółć ĄĘ";
  EXPECT_STREQ(_wcsupr(s), L"ZAŻÓŁĆ ĄĘ");
  EXPECT_STREQ(_wcslwr(s), L"zażółć ąę");
  wchar_t r[] = L"abc";
  EXPECT_STREQ(_wcsrev(r), L"cba");
}

TEST(Crt, NumberParsingStopsAndSaturates) {
  EXPECT_EQ(_wtoi(L"  -42abc"), -42);
  EXPECT_EQ(_wtoi(L"+7"), 7);
  EXPECT_EQ(_wtoi(L"x1"), 0);
  EXPECT_EQ(_wtoi(nullptr), 0);
  EXPECT_EQ(_wtol(L"99999999999"), INT32_MAX);  // 32-bit, saturated
  EXPECT_EQ(_wtol(L"-99999999999"), INT32_MIN);
  EXPECT_EQ(_wtoi64(L"9223372036854775807"), LLONG_MAX);
  EXPECT_EQ(_wtoi64(L"-9223372036854775808"), LLONG_MIN);
  EXPECT_EQ(_wtoi64(L"123456789012"), 123456789012LL);
  wchar_t* end = nullptr;
  EXPECT_EQ(_wcstoi64(L"0x1F rest", &end, 16), 31);
  EXPECT_STREQ(end, L" rest");
  EXPECT_EQ(_wcstoi64(L"zz", &end, 10), 0);
  EXPECT_STREQ(end, L"zz");
  EXPECT_DOUBLE_EQ(_wtof(L" 12.5e1x"), 125.0);
  EXPECT_DOUBLE_EQ(_wtof(L"3,5"), 3.0);  // the decimal separator is always '.'
  EXPECT_DOUBLE_EQ(_wtof(L"abc"), 0.0);
}

TEST(Crt, IntegerToText) {
  wchar_t buf[72];
  EXPECT_STREQ(_itow(-123, buf, 10), L"-123");
  EXPECT_STREQ(_itow(-1, buf, 16), L"ffffffff");  // negative values only signed in radix 10
  EXPECT_STREQ(_ltow(255, buf, 2), L"11111111");
  EXPECT_STREQ(_i64tow(LLONG_MIN, buf, 10), L"-9223372036854775808");
  EXPECT_STREQ(_ui64tow(ULLONG_MAX, buf, 16), L"ffffffffffffffff");
  char a[16];
  EXPECT_STREQ(_itoa(42, a, 10), "42");
  wchar_t tiny[3];
  EXPECT_EQ(_itow_s(123, tiny, 3, 10), ERANGE);
  EXPECT_STREQ(tiny, L"");
  EXPECT_EQ(_itow_s(12, tiny, 3, 10), 0);
  EXPECT_STREQ(tiny, L"12");
}

TEST(Crt, SafeCopiesNeverOverrun) {
  wchar_t buf[4];
  EXPECT_EQ(wcscpy_s(buf, L"abc"), 0);
  EXPECT_STREQ(buf, L"abc");
  EXPECT_EQ(wcscpy_s(buf, L"abcd"), ERANGE);
  EXPECT_STREQ(buf, L"");
  EXPECT_EQ(wcsncpy_s(buf, 4, L"abcdef", 2), 0);
  EXPECT_STREQ(buf, L"ab");
  EXPECT_EQ(wcsncpy_s(buf, 4, L"abcdef", _TRUNCATE), STRUNCATE);
  EXPECT_STREQ(buf, L"abc");
  EXPECT_EQ(wcscpy_s(buf, L"a"), 0);
  EXPECT_EQ(wcscat_s(buf, 4, L"bc"), 0);
  EXPECT_STREQ(buf, L"abc");
  EXPECT_EQ(wcscat_s(buf, 4, L"d"), ERANGE);
  EXPECT_STREQ(buf, L"");
  EXPECT_EQ(wcscpy_s(buf, 4, nullptr), EINVAL);
  char c[3];
  EXPECT_EQ(strcpy_s(c, "xyz"), ERANGE);
  EXPECT_EQ(memcpy_s(c, 3, "ab", 2), 0);
  EXPECT_EQ(memcpy_s(c, 2, "abc", 3), ERANGE);
  wchar_t* dup = _wcsdup(L"kopia");
  EXPECT_STREQ(dup, L"kopia");
  std::free(dup);
  EXPECT_EQ(_wcsdup(nullptr), nullptr);
}

TEST(Crt, BufferFormattingUsesWindowsRules) {
  wchar_t buf[16];
  EXPECT_EQ(swprintf_s(buf, L"%S-%ld", "ą", 5), 3);
  EXPECT_STREQ(buf, L"ą-5");
  EXPECT_EQ(swprintf_s(buf, 4, L"%s", L"toolong"), -1);
  EXPECT_STREQ(buf, L"");
  // _snwprintf: exactly full is not terminated, longer is -1.
  wchar_t raw[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(_snwprintf(raw, 4, L"%d", 1234), 4);
  EXPECT_EQ(raw[3], L'4');
  EXPECT_EQ(_snwprintf(raw, 4, L"%d", 12345), -1);
  EXPECT_EQ(_snwprintf(raw, 4, L"%d", 1), 1);
  EXPECT_STREQ(raw, L"1");
  EXPECT_EQ(_snwprintf_s(buf, 16, _TRUNCATE, L"%s", L"0123456789abcdefXYZ"), -1);
  EXPECT_STREQ(buf, L"0123456789abcde");
  EXPECT_EQ(_scwprintf(L"%05d", 3), 5);
  char a[8];
  EXPECT_EQ(sprintf_s(a, 8, "%s=%d", "k", 10), 4);
  EXPECT_STREQ(a, "k=10");
  // The counted checked forms agree for both widths: a count below the buffer cuts the text,
  // a count the buffer cannot hold leaves it empty.
  EXPECT_EQ(_snprintf_s(a, 8, 3, "%s", "abcdef"), -1);
  EXPECT_STREQ(a, "abc");
  EXPECT_EQ(_snprintf_s(a, 8, 20, "%s", "0123456789"), -1);
  EXPECT_STREQ(a, "");
  EXPECT_EQ(_snwprintf_s(buf, 16, 20, L"%s", L"0123456789abcdefXYZ"), -1);
  EXPECT_STREQ(buf, L"");
  EXPECT_EQ(_snprintf_s(a, 8, _TRUNCATE, "%d", 123456789), -1);
  EXPECT_STREQ(a, "1234567");
}

TEST(WindowsStringCalls, ComparisonCaseAndCounting) {
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrlenW(L"żółw"), 4);
  EXPECT_LT(lstrcmpW(L"łania", L"mama"), 0);  // ł sorts between l and m
  EXPECT_GT(lstrcmpW(L"łania", L"lama"), 0);
  EXPECT_EQ(lstrcmpiW(L"ŁÓDŹ", L"łódź"), 0);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, L"ABCx", 3, L"abcy", 3), CSTR_EQUAL);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, L"a", -1, L"b", -1), CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringW(LOCALE_USER_DEFAULT, 0, nullptr, -1, L"b", -1), 0);
  wchar_t dst[4];
  EXPECT_STREQ(lstrcpynW(dst, L"abcdef", 4), L"abc");
  wchar_t s[] = L"ąBc";
  CharUpperW(s);
  EXPECT_STREQ(s, L"ĄBC");
  CharLowerBuffW(s, 2);
  EXPECT_STREQ(s, L"ąbC");
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(L'ż')))),
            static_cast<ULONG_PTR>(L'Ż'));
  EXPECT_TRUE(IsCharAlphaW(L'ł'));
  EXPECT_FALSE(IsCharAlphaW(L'5'));
  EXPECT_TRUE(IsCharAlphaNumericW(L'5'));
  EXPECT_TRUE(IsCharUpperW(L'Ś'));
  EXPECT_TRUE(IsCharLowerW(L'ś'));
  EXPECT_FALSE(IsCharUpperW(L'1'));
}

TEST(WindowsStringCalls, BoundedFormattingAndCopies) {
  std::vector<wchar_t> big(2048);
  std::wstring longText(1500, L'x');
  EXPECT_EQ(wsprintfW(big.data(), L"%s", longText.c_str()), 1024);  // the system call's limit
  EXPECT_EQ(wsprintfW(big.data(), L"%ld-%S", 5, "ż"), 3);
  EXPECT_STREQ(big.data(), L"5-ż");
  wchar_t buf[5];
  EXPECT_EQ(StringCchCopyW(buf, 5, L"abcd"), S_OK);
  EXPECT_EQ(StringCchCopyW(buf, 5, L"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(buf, L"abcd");  // truncated but terminated
  StringCchCopyW(buf, 5, L"ab");
  EXPECT_EQ(StringCchCatW(buf, 5, L"cdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(buf, L"abcd");
  EXPECT_EQ(StringCchPrintfW(buf, 5, L"%d", 123), S_OK);
  EXPECT_STREQ(buf, L"123");
  EXPECT_EQ(StringCchPrintfW(buf, 5, L"%d", 123456), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_STREQ(buf, L"1234");
  size_t len = 99;
  EXPECT_EQ(StringCchLengthW(L"abc", 10, &len), S_OK);
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(StringCchLengthW(L"abc", 3, &len), STRSAFE_E_INVALID_PARAMETER);
}
