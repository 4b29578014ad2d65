// VariantChangeType rules and failures, and the _variant_t wrapper.
#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

// Converts v to vt and returns the HRESULT; the converted value lands in out.
HRESULT Convert(const _variant_t& v, VARTYPE vt, _variant_t& out, USHORT flags = 0) {
  return VariantChangeType(&out, &v, flags, vt);
}

std::wstring AsText(const _variant_t& v, USHORT flags = 0) {
  _variant_t out;
  HRESULT hr = Convert(v, VT_BSTR, out, flags);
  if (FAILED(hr)) return L"<failed>";
  return out.bstrVal ? std::wstring(out.bstrVal) : std::wstring();
}

HRESULT ConvertText(const wchar_t* text, VARTYPE vt, _variant_t& out) { return Convert(_variant_t(text), vt, out); }

}  // namespace

TEST(VariantChangeType, NullEmptyAndErrorsFailAsTheCallersExpect) {
  _variant_t null;
  null.vt = VT_NULL;
  _variant_t out(L"untouched");
  EXPECT_EQ(Convert(null, VT_BSTR, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(null, VT_I4, out), DISP_E_TYPEMISMATCH);
  // A failed conversion leaves the destination as it was.
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_STREQ(out.bstrVal, L"untouched");

  _variant_t empty;
  EXPECT_EQ(Convert(empty, VT_I4, out), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 0);
  EXPECT_EQ(AsText(empty), L"");
  EXPECT_EQ(Convert(empty, VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);

  EXPECT_EQ(Convert(vtMissing, VT_I4, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(_variant_t(5), static_cast<VARTYPE>(VT_VARIANT), out), DISP_E_BADVARTYPE);
  EXPECT_EQ(Convert(_variant_t(5), VT_EMPTY, out), S_OK);
  EXPECT_EQ(out.vt, VT_EMPTY);
}

TEST(VariantChangeType, NumbersRoundHalfToEvenAndOverflow) {
  _variant_t out;
  ASSERT_EQ(Convert(_variant_t(2.5), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 2);
  ASSERT_EQ(Convert(_variant_t(3.5), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 4);
  ASSERT_EQ(Convert(_variant_t(-2.5), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, -2);
  EXPECT_EQ(Convert(_variant_t(3e9), VT_I4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(256), VT_UI1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(-1), VT_UI4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(40000), VT_I2, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(1e300), VT_R4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(1e300), VT_CY, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(_variant_t(1e300), VT_DATE, out), DISP_E_OVERFLOW);
  ASSERT_EQ(Convert(_variant_t(static_cast<long long>(INT64_MAX)), VT_R8, out), S_OK);
  ASSERT_EQ(Convert(_variant_t(-7), VT_I8, out), S_OK);
  EXPECT_EQ(out.llVal, -7);

  // Booleans are -1 and 0 as numbers; any non-zero number is true.
  ASSERT_EQ(Convert(_variant_t(true), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  ASSERT_EQ(Convert(_variant_t(0.001), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);

  // Currency keeps four decimals, rounded half to even.
  ASSERT_EQ(ConvertText(L"1.23455", VT_CY, out), S_OK);
  EXPECT_EQ(out.cyVal.int64, 12346);
  ASSERT_EQ(ConvertText(L"1.23445", VT_CY, out), S_OK);
  EXPECT_EQ(out.cyVal.int64, 12344);
  ASSERT_EQ(Convert(_variant_t(1.5), VT_CY, out), S_OK);
  EXPECT_EQ(out.cyVal.int64, 15000);
  ASSERT_EQ(Convert(_variant_t(12.5), VT_DECIMAL, out), S_OK);
  EXPECT_EQ(out.decVal.scale, 1);
  EXPECT_EQ(out.decVal.Lo64, 125u);
}

TEST(VariantChangeType, TextToNumbersIsLocaleNeutral) {
  _variant_t out;
  ASSERT_EQ(ConvertText(L"  -42 ", VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, -42);
  ASSERT_EQ(ConvertText(L"1.5", VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 2);
  ASSERT_EQ(ConvertText(L"2.5", VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 2);
  ASSERT_EQ(ConvertText(L"1.25e2", VT_R8, out), S_OK);
  EXPECT_DOUBLE_EQ(out.dblVal, 125.0);
  ASSERT_EQ(ConvertText(L"0.1", VT_R8, out), S_OK);
  EXPECT_EQ(out.dblVal, 0.1);
  ASSERT_EQ(ConvertText(L"&HFF", VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 255);
  ASSERT_EQ(ConvertText(L"12.3456", VT_CY, out), S_OK);
  EXPECT_EQ(out.cyVal.int64, 123456);
  ASSERT_EQ(ConvertText(L"79228162514264337593543950335", VT_DECIMAL, out), S_OK);
  EXPECT_EQ(out.decVal.Hi32, 0xFFFFFFFFu);

  for (const wchar_t* bad : {L"", L"abc", L"12abc", L"1,5", L"--1", L".", L"1e", L"0x10"}) {
    EXPECT_EQ(ConvertText(bad, VT_I4, out), DISP_E_TYPEMISMATCH) << bad;
  }
  EXPECT_EQ(ConvertText(L"2147483648", VT_I4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(ConvertText(L"79228162514264337593543950336", VT_DECIMAL, out), DISP_E_OVERFLOW);
  EXPECT_EQ(ConvertText(L"1e400", VT_R8, out), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, ValuesToText) {
  EXPECT_EQ(AsText(_variant_t(-17)), L"-17");
  EXPECT_EQ(AsText(_variant_t(0.1)), L"0.1");
  EXPECT_EQ(AsText(_variant_t(1.0 / 3)), L"0.333333333333333");
  EXPECT_EQ(AsText(_variant_t(1e20)), L"1E+20");
  EXPECT_EQ(AsText(_variant_t(2.5f)), L"2.5");
  CY cy;
  cy.int64 = 15000;
  EXPECT_EQ(AsText(_variant_t(cy)), L"1.5");
  cy.int64 = -5;
  EXPECT_EQ(AsText(_variant_t(cy)), L"-0.0005");
  // Booleans: digits by default, words with VARIANT_ALPHABOOL.
  EXPECT_EQ(AsText(_variant_t(true)), L"-1");
  EXPECT_EQ(AsText(_variant_t(false)), L"0");
  EXPECT_EQ(AsText(_variant_t(true), VARIANT_ALPHABOOL), L"True");
  EXPECT_EQ(AsText(_variant_t(false), VARIANT_ALPHABOOL), L"False");
  BSTR words = nullptr;
  ASSERT_EQ(VarBstrFromBool(VARIANT_TRUE, 0, 0, &words), S_OK);
  EXPECT_STREQ(words, L"True");
  SysFreeString(words);
}

TEST(VariantChangeType, TextAndBooleansAndDates) {
  _variant_t out;
  ASSERT_EQ(ConvertText(L"true", VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(ConvertText(L"False", VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  ASSERT_EQ(ConvertText(L"-1", VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(ConvertText(L"yes", VT_BOOL, out), DISP_E_TYPEMISMATCH);

  ASSERT_EQ(ConvertText(L"2007-01-01", VT_DATE, out), S_OK);
  EXPECT_EQ(out.date, 39083.0);
  ASSERT_EQ(ConvertText(L"2007-01-01 12:00:00", VT_DATE, out), S_OK);
  EXPECT_EQ(out.date, 39083.5);
  ASSERT_EQ(ConvertText(L"31.12.1899", VT_DATE, out), S_OK);
  EXPECT_EQ(out.date, 1.0);
  ASSERT_EQ(ConvertText(L"06:00", VT_DATE, out), S_OK);
  EXPECT_EQ(out.date, 0.25);
  EXPECT_EQ(ConvertText(L"2007-02-30", VT_DATE, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(ConvertText(L"2007-01-01 25:00", VT_DATE, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(ConvertText(L"soon", VT_DATE, out), DISP_E_TYPEMISMATCH);

  EXPECT_EQ(AsText(_variant_t(39083.5, VT_DATE)), L"2007-01-01 12:00:00");
  EXPECT_EQ(AsText(_variant_t(39083.0, VT_DATE)), L"2007-01-01");
  EXPECT_EQ(AsText(_variant_t(0.75, VT_DATE)), L"18:00:00");
  // Round trip date -> text -> date.
  _variant_t text(L"1999-12-31 23:59:59");
  ASSERT_EQ(Convert(text, VT_DATE, out), S_OK);
  EXPECT_EQ(AsText(out), L"1999-12-31 23:59:59");
}

TEST(VariantChangeType, ByRefSourcesAndInPlaceConversion) {
  LONG value = 77;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &value;
  _variant_t out;
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_STREQ(out.bstrVal, L"77");
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 77);

  _variant_t self(L"123");
  ASSERT_EQ(VariantChangeType(&self, &self, 0, VT_I4), S_OK);
  EXPECT_EQ(self.vt, VT_I4);
  EXPECT_EQ(self.lVal, 123);
}

TEST(VariantT, ConstructorsPickPlatformTypes) {
  EXPECT_EQ(_variant_t(static_cast<LONG>(5)).vt, VT_I4);
  EXPECT_EQ(_variant_t(5).vt, VT_I4);
  EXPECT_EQ(_variant_t(static_cast<LONGLONG>(5)).vt, VT_I8);
  EXPECT_EQ(_variant_t(5L).vt, VT_I4);  // COM long, even where C++ long is 64-bit
  _variant_t wide(1L << 40);
  EXPECT_EQ(wide.vt, VT_I8);
  EXPECT_EQ(wide.llVal, 1LL << 40);
  EXPECT_EQ(static_cast<long>(_variant_t(L"-7")), -7L);
  EXPECT_EQ(_variant_t(static_cast<short>(5)).vt, VT_I2);
  _variant_t vb(VARIANT_TRUE);  // a short: VT_I2 holding -1
  EXPECT_EQ(vb.vt, VT_I2);
  EXPECT_EQ(vb.iVal, -1);
  _variant_t asBool(VARIANT_TRUE, VT_BOOL);
  EXPECT_EQ(asBool.vt, VT_BOOL);
  _variant_t b(true);
  EXPECT_EQ(b.vt, VT_BOOL);
  EXPECT_EQ(b.boolVal, VARIANT_TRUE);
  EXPECT_EQ(_variant_t(static_cast<BYTE>(1)).vt, VT_UI1);
  EXPECT_EQ(_variant_t(static_cast<DWORD>(1)).vt, VT_UI4);
  EXPECT_EQ(_variant_t(1.5).vt, VT_R8);
  EXPECT_EQ(_variant_t(1.5, VT_DATE).vt, VT_DATE);
  EXPECT_THROW(_variant_t(1.5, VT_I4), _com_error);
  EXPECT_EQ(_variant_t("ąę").vt, VT_BSTR);
  EXPECT_STREQ(_variant_t("ąę").bstrVal, L"ąę");
  _variant_t nullText(static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(nullText.vt, VT_BSTR);
  EXPECT_EQ(nullText.bstrVal, nullptr);
  EXPECT_EQ(vtMissing.vt, VT_ERROR);
  EXPECT_EQ(vtMissing.scode, DISP_E_PARAMNOTFOUND);
}

TEST(VariantT, ExtractorsConvertOrRaise) {
  _variant_t text(L"12");
  EXPECT_EQ(static_cast<LONG>(text), 12);
  EXPECT_EQ(static_cast<double>(text), 12.0);
  EXPECT_EQ(static_cast<_bstr_t>(_variant_t(3)), _bstr_t(L"3"));
  EXPECT_TRUE(static_cast<bool>(_variant_t(L"True")));

  _variant_t null;
  null.vt = VT_NULL;
  try {
    _bstr_t b = null;
    FAIL() << "NULL converted to text";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
  }
  EXPECT_THROW(static_cast<void>(static_cast<LONG>(_variant_t(L"x"))), _com_error);
  try {
    static_cast<void>(static_cast<short>(_variant_t(100000)));
    FAIL();
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), DISP_E_OVERFLOW);
  }
}

TEST(VariantT, AssignmentKeepsBoolDateAndErrorTypes) {
  _variant_t v(true);
  v = 0;
  EXPECT_EQ(v.vt, VT_BOOL);
  EXPECT_EQ(v.boolVal, VARIANT_FALSE);
  _variant_t d(1.0, VT_DATE);
  d = 2.0;
  EXPECT_EQ(d.vt, VT_DATE);
  EXPECT_EQ(d.date, 2.0);
  _variant_t text(L"x");
  text = 5;
  EXPECT_EQ(text.vt, VT_I4);
  text = L"again";
  EXPECT_EQ(text.vt, VT_BSTR);
  text = static_cast<LONGLONG>(1) << 40;
  EXPECT_EQ(text.vt, VT_I8);

  _variant_t a(L"same"), b(L"same"), c(L"other");
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a != c);
  EXPECT_FALSE(_variant_t(1) == _variant_t(1.0));  // types differ

  _variant_t changing(L"42");
  changing.ChangeType(VT_I4);
  EXPECT_EQ(changing.lVal, 42);
  EXPECT_THROW(changing.ChangeType(VT_DISPATCH), _com_error);
  EXPECT_EQ(changing.vt, VT_I4);

  VARIANT raw = _variant_t(L"moved").Detach();
  _variant_t holder;
  holder.Attach(raw);
  EXPECT_STREQ(holder.bstrVal, L"moved");
  VARIANT* slot = holder.GetAddress();
  EXPECT_EQ(slot->vt, VT_EMPTY);
}
