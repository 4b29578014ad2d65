// Locale information and number formats from the fixed table.
#include <gtest/gtest.h>

#include "platform/strings/strings.h"

namespace {

std::wstring Number(LCID locale, const wchar_t* value, const NUMBERFMTW* format = nullptr) {
  wchar_t out[64] = {0};
  const int n = GetNumberFormatW(locale, 0, value, format, out, 64);
  return n > 0 ? std::wstring(out) : L"<failed>";
}

TEST(Locale, PolishIsTheUsersDefaultAndEnglishIsKnown) {
  EXPECT_EQ(GetUserDefaultLCID(), 1045u);
  wchar_t text[32];
  ASSERT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, 32), 2);
  EXPECT_STREQ(text, L",");
  ASSERT_GT(GetLocaleInfoW(1033, LOCALE_SDECIMAL, text, 32), 0);
  EXPECT_STREQ(text, L".");
  GetLocaleInfoW(1045, LOCALE_SNAME, text, 32);
  EXPECT_STREQ(text, L"pl-PL");
  EXPECT_EQ(GetLocaleInfoW(1045, LOCALE_SMONTHNAME1 + 2, nullptr, 0), 7);   // "marzec" and its end
  DWORD digits = 0;
  ASSERT_EQ(GetLocaleInfoW(1045, LOCALE_IDIGITS | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&digits), 2), 1);
  EXPECT_EQ(digits, 2u);
  EXPECT_EQ(GetLocaleInfoW(1031, LOCALE_SDECIMAL, text, 32), 0);     // German is not in the table
  EXPECT_EQ(GetLocaleInfoW(1045, LOCALE_SNAME, text, 3), 0);          // too short a buffer
}

TEST(Locale, NumbersAreGroupedRoundedAndSignedByTheLocale) {
  EXPECT_EQ(Number(LOCALE_USER_DEFAULT, L"1234567.891"), L"1\u00a0234\u00a0567,89");
  EXPECT_EQ(Number(1033, L"1234567.891"), L"1,234,567.89");
  EXPECT_EQ(Number(1045, L"1.5"), L"1,50");
  EXPECT_EQ(Number(1045, L"0.995"), L"1,00");
  EXPECT_EQ(Number(1045, L"-0.004"), L"0,00");   // rounds to zero: no sign
  EXPECT_EQ(Number(1045, L"-999.995"), L"-1\u00a0000,00");
  EXPECT_EQ(Number(1045, L".5"), L"0,50");
  EXPECT_EQ(Number(1045, L"1,5"), L"<failed>");
  EXPECT_EQ(Number(1045, L""), L"<failed>");
  EXPECT_EQ(Number(1045, L"12e3"), L"<failed>");
  wchar_t decimal[] = L".", thousand[] = L"'";
  NUMBERFMTW format{0, 0, 32, decimal, thousand, 0};
  EXPECT_EQ(Number(1045, L"-12345678.5", &format), L"(1'23'45'679)");
  EXPECT_EQ(GetNumberFormatW(1045, 0, L"1234", nullptr, nullptr, 0), 9);   // "1 234,00" and the end
}

}  // namespace
