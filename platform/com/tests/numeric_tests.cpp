// Currency, decimal and date arithmetic; SAFEARRAY bounds and element ownership.
#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {
DECIMAL Dec(const wchar_t* text) {
  DECIMAL d;
  EXPECT_EQ(VarDecFromStr(text, 0, 0, &d), S_OK) << text;
  return d;
}
std::wstring Text(const DECIMAL& d) {
  BSTR b = nullptr;
  EXPECT_EQ(VarBstrFromDec(&d, 0, 0, &b), S_OK);
  std::wstring s = b ? b : L"";
  SysFreeString(b);
  return s;
}
CY Cy(LONGLONG scaled) {
  CY c;
  c.int64 = scaled;
  return c;
}
}  // namespace

TEST(Currency, TextHasNoTrailingZerosAndKeepsEveryDigit) {
  const struct {
    LONGLONG scaled;
    const wchar_t* text;
  } kCases[] = {
      {0, L"0"},          {1, L"0.0001"},         {-1, L"-0.0001"},    {10, L"0.001"},
      {10000, L"1"},      {-10000, L"-1"},        {125000, L"12.5"},   {19900, L"1.99"},
      {1000000, L"100"},  {1230001, L"123.0001"}, {-15000, L"-1.5"},   {100000000000000LL, L"10000000000"},
      {INT64_MAX, L"922337203685477.5807"},       {INT64_MIN, L"-922337203685477.5808"},
  };
  for (const auto& c : kCases) {
    BSTR b = nullptr;
    ASSERT_EQ(VarBstrFromCy(Cy(c.scaled), 0, 0, &b), S_OK);
    EXPECT_STREQ(b, c.text) << c.scaled;
    SysFreeString(b);
  }
  // Decimals: 96 bits of digits, the largest scale, zeros on both sides of the point.
  for (const wchar_t* text : {L"79228162514264337593543950335", L"-7.9228162514264337593543950335",
                              L"0.0000000000000000000000000001", L"18446744073709551616", L"-18446744073709551615.5",
                              L"100.25", L"0", L"-0.5"})
    EXPECT_EQ(Text(Dec(text)), text);
  EXPECT_EQ(Text(Dec(L"1.2500")), L"1.25");
  EXPECT_EQ(Text(Dec(L"-0.000")), L"0");
}

TEST(Currency, ArithmeticRoundsAndDetectsOverflow) {
  CY r;
  ASSERT_EQ(VarCyAdd(Cy(15000), Cy(2500), &r), S_OK);
  EXPECT_EQ(r.int64, 17500);
  // 1.0005 * 1.0005 = 1.00100025 -> 1.0010 (half to even at the fifth place)
  ASSERT_EQ(VarCyMul(Cy(10005), Cy(10005), &r), S_OK);
  EXPECT_EQ(r.int64, 10010);
  ASSERT_EQ(VarCyMulI4(Cy(12345), 3, &r), S_OK);
  EXPECT_EQ(r.int64, 37035);
  EXPECT_EQ(VarCyAdd(Cy(INT64_MAX), Cy(1), &r), DISP_E_OVERFLOW);
  EXPECT_EQ(VarCyMulI4(Cy(INT64_MAX / 2), 3, &r), DISP_E_OVERFLOW);

  ASSERT_EQ(VarCyRound(Cy(12250), 2, &r), S_OK);  // 1.225 -> 1.22
  EXPECT_EQ(r.int64, 12200);
  ASSERT_EQ(VarCyRound(Cy(12350), 2, &r), S_OK);  // 1.235 -> 1.24
  EXPECT_EQ(r.int64, 12400);
  ASSERT_EQ(VarCyInt(Cy(-15000), &r), S_OK);
  EXPECT_EQ(r.int64, -20000);
  ASSERT_EQ(VarCyFix(Cy(-15000), &r), S_OK);
  EXPECT_EQ(r.int64, -10000);
  EXPECT_EQ(VarCyCmp(Cy(1), Cy(2)), VARCMP_LT);

  ASSERT_EQ(VarCyFromR8(19.99, &r), S_OK);
  EXPECT_EQ(r.int64, 199900);
  double back;
  ASSERT_EQ(VarR8FromCy(r, &back), S_OK);
  EXPECT_DOUBLE_EQ(back, 19.99);
  EXPECT_EQ(VarCyFromR8(1e16, &r), DISP_E_OVERFLOW);
}

TEST(Decimal, ExactArithmeticAndScales) {
  DECIMAL r;
  DECIMAL a = Dec(L"0.1"), b = Dec(L"0.2");
  ASSERT_EQ(VarDecAdd(&a, &b, &r), S_OK);
  EXPECT_EQ(Text(r), L"0.3");
  EXPECT_EQ(VarDecCmp(&r, &a), VARCMP_GT);
  DECIMAL neg = Dec(L"-5.25");
  ASSERT_EQ(VarDecSub(&a, &neg, &r), S_OK);
  EXPECT_EQ(Text(r), L"5.35");
  DECIMAL x = Dec(L"1.5"), y = Dec(L"-2.25");
  ASSERT_EQ(VarDecMul(&x, &y, &r), S_OK);
  EXPECT_EQ(Text(r), L"-3.375");
  DECIMAL one = Dec(L"1"), three = Dec(L"3");
  ASSERT_EQ(VarDecDiv(&one, &three, &r), S_OK);
  EXPECT_EQ(Text(r), L"0.3333333333333333333333333333");
  DECIMAL ten = Dec(L"10"), four = Dec(L"4");
  ASSERT_EQ(VarDecDiv(&ten, &four, &r), S_OK);
  EXPECT_EQ(Text(r), L"2.5");
  DECIMAL zero = Dec(L"0");
  EXPECT_EQ(VarDecDiv(&one, &zero, &r), DISP_E_DIVBYZERO);
  DECIMAL big = Dec(L"79228162514264337593543950335");
  EXPECT_EQ(VarDecAdd(&big, &one, &r), DISP_E_OVERFLOW);
  EXPECT_EQ(VarDecMul(&big, &big, &r), DISP_E_OVERFLOW);
  // Adding a tiny fraction to a huge number drops the fraction instead of overflowing.
  DECIMAL tiny = Dec(L"0.4");
  ASSERT_EQ(VarDecAdd(&big, &tiny, &r), S_OK);
  EXPECT_EQ(VarDecCmp(&r, &big), VARCMP_EQ);

  DECIMAL half = Dec(L"2.345");
  ASSERT_EQ(VarDecRound(&half, 2, &r), S_OK);
  EXPECT_EQ(Text(r), L"2.34");
  ASSERT_EQ(VarDecInt(&neg, &r), S_OK);
  EXPECT_EQ(Text(r), L"-6");
  ASSERT_EQ(VarDecFix(&neg, &r), S_OK);
  EXPECT_EQ(Text(r), L"-5");

  CY cy;
  ASSERT_EQ(VarCyFromDec(&neg, &cy), S_OK);
  EXPECT_EQ(cy.int64, -52500);
  double d;
  ASSERT_EQ(VarR8FromDec(&x, &d), S_OK);
  EXPECT_EQ(d, 1.5);
  LONG l;
  EXPECT_EQ(VarI4FromDec(&big, &l), DISP_E_OVERFLOW);
}

TEST(Dates, SystemTimeRoundTripAndValidation) {
  SYSTEMTIME st{};
  st.wYear = 2007;
  st.wMonth = 1;
  st.wDay = 1;
  DATE d;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
  EXPECT_EQ(d, 39083.0);
  st.wHour = 18;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
  EXPECT_EQ(d, 39083.75);

  SYSTEMTIME back;
  ASSERT_TRUE(VariantTimeToSystemTime(39083.75, &back));
  EXPECT_EQ(back.wYear, 2007);
  EXPECT_EQ(back.wHour, 18);
  EXPECT_EQ(back.wDayOfWeek, 1);  // a Monday
  // Before the epoch the fraction is still the time of day: -1.25 is 29 Dec 1899 06:00.
  ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &back));
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wHour, 6);
  // Rounding to the second may carry into the next day.
  ASSERT_TRUE(VariantTimeToSystemTime(39083.9999999, &back));
  EXPECT_EQ(back.wDay, 2);
  EXPECT_EQ(back.wHour, 0);

  SYSTEMTIME bad = st;
  bad.wMonth = 2;
  bad.wDay = 29;  // 2007 is not a leap year
  EXPECT_FALSE(SystemTimeToVariantTime(&bad, &d));
  bad.wYear = 2008;
  EXPECT_TRUE(SystemTimeToVariantTime(&bad, &d));
  EXPECT_FALSE(VariantTimeToSystemTime(3e6, &back));

  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wHour, 18);
  EXPECT_EQ(back.wDay, 1);

  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_GE(now.wYear, 2024);
}

TEST(SafeArray, BoundsElementsAndLocks) {
  SAFEARRAY* sa = SafeArrayCreateVector(VT_I4, 1, 3);
  ASSERT_NE(sa, nullptr);
  LONG lo, hi;
  ASSERT_EQ(SafeArrayGetLBound(sa, 1, &lo), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(sa, 1, &hi), S_OK);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  EXPECT_EQ(SafeArrayGetUBound(sa, 2, &hi), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetDim(sa), 1u);
  for (LONG i = 1; i <= 3; ++i) {
    LONG v = i * 10;
    ASSERT_EQ(SafeArrayPutElement(sa, &i, &v), S_OK);
  }
  LONG idx = 0, v = 0;
  EXPECT_EQ(SafeArrayPutElement(sa, &idx, &v), DISP_E_BADINDEX);
  idx = 4;
  EXPECT_EQ(SafeArrayGetElement(sa, &idx, &v), DISP_E_BADINDEX);
  idx = 3;
  ASSERT_EQ(SafeArrayGetElement(sa, &idx, &v), S_OK);
  EXPECT_EQ(v, 30);

  LONG* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(sa, reinterpret_cast<void**>(&data)), S_OK);
  EXPECT_EQ(data[0], 10);
  EXPECT_EQ(SafeArrayDestroy(sa), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(sa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(sa), E_UNEXPECTED);

  SAFEARRAYBOUND grow{5, 1};
  ASSERT_EQ(SafeArrayRedim(sa, &grow), S_OK);
  idx = 5;
  ASSERT_EQ(SafeArrayGetElement(sa, &idx, &v), S_OK);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(SafeArrayDestroy(sa), S_OK);
}

TEST(SafeArray, OwnedElementsAreCopiedAndFreed) {
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
  BSTR text = SysAllocString(L"kept by caller");
  LONG i = 0;
  ASSERT_EQ(SafeArrayPutElement(strings, &i, text), S_OK);  // the BSTR itself, copied
  SysFreeString(text);
  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(strings, &i, &out), S_OK);
  EXPECT_STREQ(out, L"kept by caller");
  SysFreeString(out);

  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(strings, &copy), S_OK);
  SafeArrayDestroy(strings);
  ASSERT_EQ(SafeArrayGetElement(copy, &i, &out), S_OK);
  EXPECT_STREQ(out, L"kept by caller");
  SysFreeString(out);
  VARTYPE vt;
  ASSERT_EQ(SafeArrayGetVartype(copy, &vt), S_OK);
  EXPECT_EQ(vt, VT_BSTR);
  SafeArrayDestroy(copy);

  // A VARIANT array inside a _variant_t: copied deeply, destroyed with it.
  SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  _variant_t first(L"one"), second(2);
  i = 0;
  SafeArrayPutElement(variants, &i, &first);
  i = 1;
  SafeArrayPutElement(variants, &i, &second);
  _variant_t holder;
  holder.vt = VT_ARRAY | VT_VARIANT;
  holder.parray = variants;
  _variant_t duplicate(holder);
  EXPECT_NE(duplicate.parray, holder.parray);
  VARIANT element;
  VariantInit(&element);
  i = 0;
  ASSERT_EQ(SafeArrayGetElement(duplicate.parray, &i, &element), S_OK);
  EXPECT_STREQ(element.bstrVal, L"one");
  VariantClear(&element);

  // Byte arrays and BSTRs convert into each other.
  _variant_t bytes, ab(L"ab");
  ASSERT_EQ(VariantChangeType(&bytes, &ab, 0, VT_ARRAY | VT_UI1), S_OK);
  EXPECT_EQ(bytes.parray->rgsabound[0].cElements, 2 * sizeof(wchar_t));
  _variant_t back;
  ASSERT_EQ(VariantChangeType(&back, &bytes, 0, VT_BSTR), S_OK);
  EXPECT_STREQ(back.bstrVal, L"ab");
}

TEST(SafeArray, TwoDimensionsAreColumnMajor) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 10}};  // [0..1][10..12]
  SAFEARRAY* sa = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(sa, nullptr);
  LONG lo;
  ASSERT_EQ(SafeArrayGetLBound(sa, 2, &lo), S_OK);
  EXPECT_EQ(lo, 10);
  LONG idx[2] = {1, 10};
  LONG v = 7;
  ASSERT_EQ(SafeArrayPutElement(sa, idx, &v), S_OK);
  EXPECT_EQ(static_cast<LONG*>(sa->pvData)[1], 7);  // the left index varies fastest
  idx[1] = 13;
  EXPECT_EQ(SafeArrayPutElement(sa, idx, &v), DISP_E_BADINDEX);
  SafeArrayDestroy(sa);
}
