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
}
