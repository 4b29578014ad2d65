#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/strings/strings.h"

using platform::FormatA;
using platform::FormatW;

TEST(FormatW, StringConversionsFollowWindowsWidthRules) {
  const wchar_t* wide = L"zażółć";
  const char* narrow = "gęślą";  // UTF-8
  EXPECT_EQ(FormatW(L"[%s]", wide), L"[zażółć]");
  EXPECT_EQ(FormatW(L"[%ls]", wide), L"[zażółć]");
  EXPECT_EQ(FormatW(L"[%ws]", wide), L"[zażółć]");
  EXPECT_EQ(FormatW(L"[%S]", narrow), L"[gęślą]");
  EXPECT_EQ(FormatW(L"[%hs]", narrow), L"[gęślą]");
  // In a narrow format the roles swap.
  EXPECT_EQ(FormatA("[%s|%S|%ls]", narrow, wide, wide), "[gęślą|zażółć|zażółć]");
  EXPECT_EQ(FormatW(L"%c%C%lc%hc", L'ł', 'x', L'Ż', 'y'), L"łxŻy");
  EXPECT_EQ(FormatA("%c%C", 'a', L'ą'), "aą");
}

TEST(FormatW, NullStringsPrintNull) {
  EXPECT_EQ(FormatW(L"<%s>", static_cast<const wchar_t*>(nullptr)), L"<(null)>");
  EXPECT_EQ(FormatW(L"<%S>", static_cast<const char*>(nullptr)), L"<(null)>");
  EXPECT_EQ(FormatA("<%s>", static_cast<const char*>(nullptr)), "<(null)>");
  EXPECT_EQ(FormatW(L"<%8s>", static_cast<const wchar_t*>(nullptr)), L"<  (null)>");
}

TEST(FormatW, LongIsThirtyTwoBitsAndSizePrefixesPickTheirWidth) {
  long long big = 0x1'0000'0005LL;  // a 64-bit value passed where %ld reads 32 bits
  EXPECT_EQ(FormatW(L"%ld", static_cast<int>(big)), L"5");
  EXPECT_EQ(FormatW(L"%ld", static_cast<LONG>(0x80000000u)), L"-2147483648");
  EXPECT_EQ(FormatW(L"%lu", 0xFFFFFFFFu), L"4294967295");
  EXPECT_EQ(FormatW(L"%ld|%li", 0xFFFFFFFFu, 0x80000000u), L"-1|-2147483648");  // wraps at 32 bits
  EXPECT_EQ(FormatW(L"%I64d", big), L"4294967301");
  EXPECT_EQ(FormatW(L"%lld", LLONG_MIN), L"-9223372036854775808");
  EXPECT_EQ(FormatW(L"%I64u", ULLONG_MAX), L"18446744073709551615");
  EXPECT_EQ(FormatW(L"%I32d", -7), L"-7");
  EXPECT_EQ(FormatW(L"%Id|%Iu", static_cast<INT_PTR>(-1), static_cast<UINT_PTR>(1ULL << 40)), L"-1|1099511627776");
  EXPECT_EQ(FormatW(L"%hd|%hu", 70000, 70000), L"4464|4464");
  EXPECT_EQ(FormatW(L"%lX|%x|%o", 0xDEADBEEFu, 255u, 8u), L"DEADBEEF|ff|10");
  // Arguments after a 64-bit one are still read in step.
  EXPECT_EQ(FormatW(L"%I64d %d %s", big, 3, L"x"), L"4294967301 3 x");
}

TEST(FormatW, FlagsWidthAndPrecisionOnIntegers) {
  EXPECT_EQ(FormatW(L"%05ld|%09ld|%03ld", 42, -42, 7), L"00042|-00000042|007");
  EXPECT_EQ(FormatW(L"%+03d|% d|%+d", 5, 5, -5), L"+05| 5|-5");
  EXPECT_EQ(FormatW(L"%-5d|%5d|", 12, 12), L"12   |   12|");
  EXPECT_EQ(FormatW(L"%.3d|%8.3d|%08.3d", 5, -5, 5), L"005|    -005|     005");
  EXPECT_EQ(FormatW(L"[%.0d]", 0), L"[]");
  EXPECT_EQ(FormatW(L"%#x|%#X|%#o|%#x", 255u, 255u, 8u, 0u), L"0xff|0XFF|010|0");
  EXPECT_EQ(FormatW(L"%02x%02x", 0xAu, 0xBCu), L"0abc");
  EXPECT_EQ(FormatW(L"%-05d|", 3), L"3    |");
  EXPECT_EQ(FormatW(L"%*d|%-*d|%*d", 4, 1, 3, 2, -3, 3), L"   1|2  |3  ");
  EXPECT_EQ(FormatW(L"%.*d", 4, 9), L"0009");
}

TEST(FormatW, StringWidthAndPrecision) {
  EXPECT_EQ(FormatW(L"[%6s][%-6s][%.2s]", L"ab", L"ab", L"abcd"), L"[    ab][ab    ][ab]");
  EXPECT_EQ(FormatW(L"[%.*s]", 3, L"żółwik"), L"[żół]");
  EXPECT_EQ(FormatW(L"[%.3S]", "żółwik"), L"[żół]");
  EXPECT_EQ(FormatW(L"[%5c]", L'x'), L"[    x]");
}

TEST(FormatW, FloatingPoint) {
  EXPECT_EQ(FormatW(L"%.1f", 2.25), L"2.2");
  EXPECT_EQ(FormatW(L"%.2f|%f", 1234.5678, 0.5), L"1234.57|0.500000");
  EXPECT_EQ(FormatW(L"%e|%E", 12345.678, 0.00012), L"1.234568e+04|1.200000E-04");
  EXPECT_EQ(FormatW(L"%g|%G|%g", 0.0001, 1e20, 100.0), L"0.0001|1E+20|100");
  EXPECT_EQ(FormatW(L"%08.2f|%-8.1f|%+.0f", -3.14159, 2.5, 2.0), L"-0003.14|2.5     |+2");
  EXPECT_EQ(FormatW(L"%a", 1.0), L"0x1.0000000000000p+0");
  EXPECT_EQ(FormatW(L"%f|%F", HUGE_VAL, -HUGE_VAL), L"inf|-INF");
  // The decimal point is '.' and numbers around doubles stay in step.
  EXPECT_EQ(FormatW(L"%d %.3f %d", 1, 0.1234, 2), L"1 0.123 2");
}

TEST(FormatW, PointersPercentAndOddSpecs) {
  EXPECT_EQ(FormatW(L"%p", reinterpret_cast<void*>(0xABCDEFULL)), L"0000000000ABCDEF");
  EXPECT_EQ(FormatW(L"100%% %s", L"ok"), L"100% ok");
  EXPECT_EQ(FormatW(L"%k|%d", 5), L"%k|5");  // unknown conversion copied, arguments stay in step
  EXPECT_EQ(FormatW(L"end%"), L"end%");
  EXPECT_EQ(FormatW(nullptr), L"");
  EXPECT_EQ(FormatW(L"%Y-%m-%d", 7), L"%Y-%m-7");
}

TEST(FormatW, PercentNIsRefused) {
  int written = 1234;
  EXPECT_EQ(FormatW(L"ab%ncd%d", &written, 9), L"abcd9");
  EXPECT_EQ(written, 1234);
}

TEST(FormatW, LongOutputsAreNotTruncated) {
  std::wstring big(5000, L'q');
  EXPECT_EQ(FormatW(L"<%s>", big.c_str()).size(), 5002u);
  EXPECT_EQ(FormatW(L"%.300f", 1.0).size(), 302u);
  EXPECT_EQ(FormatW(L"%600d", 1).size(), 600u);
}
