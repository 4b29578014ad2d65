// Objects inside VARIANTs: reference counts through copies and conversions, default values of
// dispatch objects, smart pointers built from variants; element-wise array conversion.
#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

// A dispatch object whose default value (DISPID_VALUE) is a fixed VARIANT.
class ValueObject final : public platform::com::ComObject<IDispatch> {
 public:
  explicit ValueObject(_variant_t value, HRESULT fail = S_OK) : value_(std::move(value)), fail_(fail) { ++live; }
  ~ValueObject() override { --live; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    ++invokes;
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (FAILED(fail_)) return fail_;
    return VariantCopy(result, &value_);
  }
  ULONG Refs() {
    AddRef();
    return Release();
  }
  static inline int live = 0;
  int invokes = 0;

 private:
  _variant_t value_;
  HRESULT fail_;
};

}  // namespace

TEST(VariantObjects, CopiesClearsAndExtractionsBalanceReferences) {
  auto* obj = new ValueObject(_variant_t(5));
  {
    _variant_t v(static_cast<IDispatch*>(obj));  // AddRef
    EXPECT_EQ(obj->Refs(), 2u);
    _variant_t copy(v);
    EXPECT_EQ(obj->Refs(), 3u);
    IDispatch* extracted = copy;  // the extractor hands out a reference
    EXPECT_EQ(obj->Refs(), 4u);
    extracted->Release();
    IUnknown* asUnknown = v;  // VT_DISPATCH read as IUnknown
    EXPECT_EQ(asUnknown, static_cast<IUnknown*>(obj));
    asUnknown->Release();
    copy.Clear();
    EXPECT_EQ(obj->Refs(), 2u);
    _variant_t taken(static_cast<IDispatch*>(obj), false);  // takes the creator's reference
    EXPECT_EQ(obj->Refs(), 2u);
  }
  EXPECT_EQ(ValueObject::live, 0);
}

TEST(VariantObjects, DispatchObjectsConvertThroughTheirDefaultValue) {
  auto* obj = new ValueObject(_variant_t(L"41.5"));
  _variant_t v(static_cast<IDispatch*>(obj), false);
  _variant_t out;
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_R8), S_OK);
  EXPECT_EQ(out.dblVal, 41.5);
  EXPECT_EQ(obj->invokes, 1);
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), S_OK);
  EXPECT_STREQ(out.bstrVal, L"41.5");
  EXPECT_EQ(static_cast<LONG>(v), 42);
  // VARIANT_NOVALUEPROP refuses to ask the object.
  EXPECT_EQ(VariantChangeType(&out, &v, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  // Objects to objects: no default value involved.
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(obj));

  auto* failing = new ValueObject(_variant_t(), E_FAIL);
  _variant_t bad(static_cast<IDispatch*>(failing), false);
  EXPECT_EQ(VariantChangeType(&out, &bad, 0, VT_I4), DISP_E_TYPEMISMATCH);
  _variant_t nullObject(static_cast<IDispatch*>(nullptr));
  EXPECT_EQ(VariantChangeType(&out, &nullObject, 0, VT_I4), DISP_E_TYPEMISMATCH);
  // A null object reads as null through the object types.
  ASSERT_EQ(VariantChangeType(&out, &nullObject, 0, VT_UNKNOWN), S_OK);
  EXPECT_EQ(out.punkVal, nullptr);
  // An empty value gives a null object.
  _variant_t empty;
  ASSERT_EQ(VariantChangeType(&out, &empty, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(out.pdispVal, nullptr);
}

TEST(VariantObjects, SmartPointersFromVariants) {
  auto* obj = new ValueObject(_variant_t(1));
  _variant_t holder(static_cast<IUnknown*>(static_cast<IDispatch*>(obj)), false);
  IDispatchPtr disp(holder);  // VT_UNKNOWN queried for IDispatch
  ASSERT_TRUE(disp);
  EXPECT_EQ(obj->Refs(), 2u);
  IStreamPtr notAStream(holder);  // no such interface: null, no exception
  EXPECT_TRUE(!notAStream);
  EXPECT_THROW(IDispatchPtr(_variant_t(L"text")), _com_error);
  disp = nullptr;
  holder.Clear();
  EXPECT_EQ(ValueObject::live, 0);
}

TEST(VariantArrays, ElementWiseConversionAndFailure) {
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 3);
  for (LONG i = 0; i < 3; ++i) {
    LONG v = (i + 1) * 100;
    SafeArrayPutElement(numbers, &i, &v);
  }
  _variant_t arr;
  arr.vt = VT_ARRAY | VT_I4;
  arr.parray = numbers;
  _variant_t texts;
  ASSERT_EQ(VariantChangeType(&texts, &arr, 0, VT_ARRAY | VT_BSTR), S_OK);
  LONG i = 2;
  BSTR third = nullptr;
  ASSERT_EQ(SafeArrayGetElement(texts.parray, &i, &third), S_OK);
  EXPECT_STREQ(third, L"300");
  SysFreeString(third);
  _variant_t bytes;
  EXPECT_EQ(VariantChangeType(&bytes, &arr, 0, VT_ARRAY | VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(bytes.vt, VT_EMPTY);
  _variant_t scalar;
  EXPECT_EQ(VariantChangeType(&scalar, &arr, 0, VT_I4), DISP_E_TYPEMISMATCH);
  _variant_t asVariants;
  ASSERT_EQ(VariantChangeType(&asVariants, &arr, 0, VT_ARRAY | VT_VARIANT), S_OK);
  VARIANT item;
  VariantInit(&item);
  i = 0;
  ASSERT_EQ(SafeArrayGetElement(asVariants.parray, &i, &item), S_OK);
  EXPECT_EQ(item.vt, VT_I4);
  EXPECT_EQ(item.lVal, 100);
}

TEST(VariantConversions, IntegerEdgesAndSignedness) {
  _variant_t out;
  auto convert = [&](const _variant_t& v, VARTYPE vt) { return VariantChangeType(&out, &v, 0, vt); };
  EXPECT_EQ(convert(_variant_t(-1), VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(convert(_variant_t(-129), VT_I1), DISP_E_OVERFLOW);
  ASSERT_EQ(convert(_variant_t(-128), VT_I1), S_OK);
  EXPECT_EQ(static_cast<signed char>(out.cVal), -128);
  ASSERT_EQ(convert(_variant_t(65535), VT_UI2), S_OK);
  EXPECT_EQ(out.uiVal, 65535);
  EXPECT_EQ(convert(_variant_t(static_cast<LONGLONG>(-1)), VT_UI8), DISP_E_OVERFLOW);
  ASSERT_EQ(convert(_variant_t(static_cast<ULONGLONG>(UINT64_MAX)), VT_R8), S_OK);
  EXPECT_EQ(convert(_variant_t(static_cast<ULONGLONG>(UINT64_MAX)), VT_I8), DISP_E_OVERFLOW);
  ASSERT_EQ(convert(_variant_t(L"18446744073709551615"), VT_UI8), S_OK);
  EXPECT_EQ(out.ullVal, UINT64_MAX);
  EXPECT_EQ(convert(_variant_t(L"-0.5"), VT_UI4), S_OK);  // rounds to 0, no overflow
  EXPECT_EQ(out.ulVal, 0u);
  EXPECT_EQ(convert(_variant_t(L"-0.6"), VT_UI4), DISP_E_OVERFLOW);
  // True (-1) keeps its bits in unsigned types.
  ASSERT_EQ(convert(_variant_t(true), VT_UI1), S_OK);
  EXPECT_EQ(out.bVal, 0xFF);
  ASSERT_EQ(convert(_variant_t(true), VT_UI4), S_OK);
  EXPECT_EQ(out.ulVal, 0xFFFFFFFFu);
  ASSERT_EQ(convert(_variant_t(false), VT_UI2), S_OK);
  EXPECT_EQ(out.uiVal, 0);
  // Dates are numbers of days.
  ASSERT_EQ(convert(_variant_t(39083.75, VT_DATE), VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 39084);
  ASSERT_EQ(convert(_variant_t(39083), VT_DATE), S_OK);
  EXPECT_EQ(out.date, 39083.0);
  EXPECT_EQ(convert(_variant_t(3000000), VT_DATE), DISP_E_OVERFLOW);
}

TEST(VariantConversions, DecimalAndCurrencyText) {
  DECIMAL d;
  ASSERT_EQ(VarDecFromR8(0.1, &d), S_OK);  // 15 significant digits: exactly one tenth
  EXPECT_EQ(d.scale, 1);
  EXPECT_EQ(d.Lo64, 1u);
  ASSERT_EQ(VarDecFromStr(L"-1.2500e1", 0, 0, &d), S_OK);
  BSTR text = nullptr;
  ASSERT_EQ(VarBstrFromDec(&d, 0, 0, &text), S_OK);
  EXPECT_STREQ(text, L"-12.5");
  SysFreeString(text);
  ASSERT_EQ(VarDecFromStr(L"0.00000000000000000000000000001", 0, 0, &d), S_OK);  // below the last step
  EXPECT_EQ(d.Lo64, 0u);
  CY cy;
  ASSERT_EQ(VarCyFromStr(L"922337203685477.5807", 0, 0, &cy), S_OK);
  EXPECT_EQ(cy.int64, INT64_MAX);
  EXPECT_EQ(VarCyFromStr(L"922337203685477.5808", 0, 0, &cy), DISP_E_OVERFLOW);
  ASSERT_EQ(VarBstrFromCy(cy, 0, 0, &text), S_OK);
  EXPECT_STREQ(text, L"922337203685477.5807");
  SysFreeString(text);
  ASSERT_EQ(VarBstrFromDate(39083.5, 0, VAR_DATEVALUEONLY, &text), S_OK);
  EXPECT_STREQ(text, L"2007-01-01");
  SysFreeString(text);
  ASSERT_EQ(VarBstrFromDate(39083.5, 0, VAR_TIMEVALUEONLY, &text), S_OK);
  EXPECT_STREQ(text, L"12:00:00");
  SysFreeString(text);
  EXPECT_EQ(VarBstrFromDate(1e7, 0, 0, &text), DISP_E_OVERFLOW);
  LONG l = 0;
  EXPECT_EQ(VarI4FromStr(L"  12  ", 0, 0, &l), S_OK);
  EXPECT_EQ(l, 12);
  VARIANT_BOOL b;
  ASSERT_EQ(VarBoolFromStr(L"#TRUE#", 0, 0, &b), S_OK);
  EXPECT_EQ(b, VARIANT_TRUE);
}

TEST(Initialisation, CountedAndAlwaysAccepted) {
  HRESULT first = CoInitialize(nullptr);
  EXPECT_TRUE(first == S_OK || first == S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();  // one too many is harmless
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

TEST(VariantConversions, ComparisonsOfValuesAndTexts) {
  auto cmp = [](_variant_t a, _variant_t b, ULONG flags = 0) { return VarCmp(&a, &b, LOCALE_USER_DEFAULT, flags); };
  EXPECT_EQ(cmp(_variant_t(2), _variant_t(2.0)), VARCMP_EQ);  // by value, not by type
  EXPECT_EQ(cmp(_variant_t(static_cast<LONGLONG>(INT64_MAX)), _variant_t(static_cast<LONGLONG>(INT64_MAX - 1))), VARCMP_GT);
  CY cy;
  cy.int64 = 15000;
  EXPECT_EQ(cmp(_variant_t(cy), _variant_t(1.5)), VARCMP_EQ);
  EXPECT_EQ(cmp(_variant_t(true), _variant_t(0)), VARCMP_LT);  // true is -1
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_EQ(cmp(null, _variant_t(1)), VARCMP_NULL);
  EXPECT_EQ(cmp(_variant_t(), _variant_t(0)), VARCMP_EQ);
  EXPECT_EQ(cmp(_variant_t(), _variant_t(L"")), VARCMP_EQ);
  EXPECT_EQ(cmp(_variant_t(5), _variant_t(L"1")), VARCMP_LT);  // numbers before texts
  EXPECT_EQ(cmp(_variant_t(L"Łódź"), _variant_t(L"łÓDŹ")), VARCMP_LT);
  EXPECT_EQ(cmp(_variant_t(L"Łódź"), _variant_t(L"łÓDŹ"), NORM_IGNORECASE), VARCMP_EQ);
  // Ignoring case folds the same letters as CString does, beyond Latin too.
  EXPECT_EQ(cmp(_variant_t(L"Журнал Ÿ"), _variant_t(L"жУРНАЛ ÿ"), NORM_IGNORECASE), VARCMP_EQ);
  EXPECT_EQ(cmp(_variant_t(L"ż"), _variant_t(L"Ź"), NORM_IGNORECASE), VARCMP_GT);
  EXPECT_EQ(cmp(_variant_t(L"ab"), _variant_t(L"abc")), VARCMP_LT);
  EXPECT_EQ(cmp(vtMissing, _variant_t(1)), DISP_E_TYPEMISMATCH);
  BSTR joined = nullptr;
  ASSERT_EQ(VarBstrCat(nullptr, _bstr_t(L"x").GetBSTR(), &joined), S_OK);
  EXPECT_STREQ(joined, L"x");
  SysFreeString(joined);
}
