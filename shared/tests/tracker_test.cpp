// The field-change tracker: change descriptions in every display mode and the value formatters.
#include <gtest/gtest.h>

#include "host/host.h"
#include "shared/hxinstance.h"
#include "shared/tests/fixture.h"
#include "shared/tracker.h"
#include "testing/host_doubles/address_doubles.h"

namespace {

class Tracking : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    book = doubles::FakeAddressBook::New(holder);
    ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
    rs->Fields->Append(L"kind", adInteger, 4, adFldIsNullable);
    rs->Fields->Append(L"name", adVarWChar, 50, adFldIsNullable);
    rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
    rs->AddNew();
    Set(L"kind", Null());
    Set(L"name", _variant_t(L"stara"));
    rs->Update();
    book->dataSets[0] = rs;
  }
  void TearDown() override {
    rs = nullptr;
    holder = nullptr;
    CoUninitialize();
  }
  static _variant_t Null() {
    _variant_t v;
    v.vt = VT_NULL;
    return v;
  }
  void Set(const wchar_t* column, const _variant_t& value) { rs->Fields->Item[column]->Value = value; }
  CString Describe(CHxTrackedFieldEx::DisplayedValue mode, const _variant_t& before, const _variant_t& after) {
    Set(L"kind", before);
    CHxTrackedFieldEx field(holder, 0, L"kind", L"Rodzaj");
    field.SaveData();
    Set(L"kind", after);
    field.DisplayValues(mode);
    return field.ChangeDescr();
  }

  IFlgDataSetPtr holder;
  doubles::FakeAddressBook* book = nullptr;
  _RecordsetPtr rs;
};

TEST_F(Tracking, DescriptionsInEveryDisplayMode) {
  using F = CHxTrackedFieldEx;
  const _variant_t five(LONG{5}), seven(LONG{7});
  EXPECT_STREQ(Describe(F::dvAuto, Null(), five), L"Zmieniono pole Rodzaj (nowa wartość: 5)");
  EXPECT_STREQ(Describe(F::dvAuto, five, Null()), L"Zmieniono pole Rodzaj (poprzednia wartość: 5)");
  EXPECT_STREQ(Describe(F::dvAuto, five, seven), L"Zmieniono pole Rodzaj (5 -> 7)");
  EXPECT_STREQ(Describe(F::dvOldAndNew, Null(), seven), L"Zmieniono pole Rodzaj ( -> 7)");
  EXPECT_STREQ(Describe(F::dvOld, five, seven), L"Zmieniono pole Rodzaj (poprzednia wartość: 5)");
  EXPECT_STREQ(Describe(F::dvNew, five, seven), L"Zmieniono pole Rodzaj (nowa wartość: 7)");
  EXPECT_STREQ(Describe(F::dvNone, five, seven), L"Zmieniono pole Rodzaj");
  EXPECT_STREQ(Describe(static_cast<F::DisplayedValue>(9), five, seven), L"Zmieniono pole Rodzaj");
}

TEST_F(Tracking, TheDescriptionIsBuiltOnceAndMayBeTheCallersOwn) {
  CHxTrackedFieldEx field(holder, 0, L"name");
  EXPECT_EQ(field.Displayed(), CHxTrackedFieldEx::dvNone);
  field.SaveData();
  EXPECT_FALSE(field.DataChanged());
  Set(L"name", _variant_t(L"nowa"));
  EXPECT_TRUE(field.DataChanged());
  field.SetChangeDescr(L"Zmieniono nazwę towaru");
  field.DisplayValues(CHxTrackedFieldEx::dvOldAndNew);
  EXPECT_STREQ(field.ChangeDescr(), L"Zmieniono nazwę towaru (stara -> nowa)");
  Set(L"name", _variant_t(L"jeszcze inna"));
  EXPECT_STREQ(field.ChangeDescr(), L"Zmieniono nazwę towaru (stara -> nowa)");
  // Without a text the column's name is the field's name.
  CHxTrackedFieldEx plain(holder, 0, L"name");
  EXPECT_STREQ(plain.ChangeDescr(), L"Zmieniono pole name");
}

class CountedFormatter : public CHxDefaultTrackedValueFormater {
 public:
  explicit CountedFormatter(int* freed) : m_freed(freed) {}
  void Free() override {
    ++*m_freed;
    delete this;
  }

 private:
  int* m_freed;
};

TEST_F(Tracking, TheFieldOwnsItsFormatter) {
  int freed = 0;
  {
    CHxTrackedFieldEx field(holder, 0, L"kind");
    CHxTrackedValueFormater* fallback = field.ValueFormater();
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(field.ValueFormater(), fallback);
    field.SetFormatter(new CountedFormatter(&freed));
    field.SetFormatter(new CountedFormatter(&freed));
    EXPECT_EQ(freed, 1);
  }
  EXPECT_EQ(freed, 2);
}

TEST_F(Tracking, TheTrackerOwnsItsFieldsAndWritesTheirChanges) {
  CHxTracker tracker(nullptr, holder, 0, L"Towar", L"tw_Id", L"th_Opis");
  CHxTrackedFieldEx* name = tracker.AddFieldEx(L"name", L"Nazwa");
  CHxTrackedFieldEx* kind = tracker.AddFieldEx(L"kind", L"Rodzaj");
  name->DisplayValues(CHxTrackedFieldEx::dvAuto);
  EXPECT_EQ(tracker.ItemCount(), 2);
  EXPECT_EQ(tracker.FlgDataSetPtr().GetInterfacePtr(), holder.GetInterfacePtr());
  tracker.SaveData();
  EXPECT_EQ(tracker.CheckChanges(), 0);
  Set(L"name", _variant_t(L"nowa"));
  EXPECT_EQ(tracker.CheckChanges(), 1);
  ASSERT_EQ(tracker.History().size(), 1u);
  EXPECT_STREQ(tracker.History()[0], L"Zmieniono pole Nazwa (stara -> nowa)");
  EXPECT_FALSE(kind->DataChanged());
  tracker.DataSaved();
  EXPECT_EQ(tracker.CheckChanges(), 0);
}

TEST(Formatters, DefaultAndMappedValues) {
  CHxDefaultTrackedValueFormater plain;
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_STREQ(plain.FormatValue(null), L"");
  EXPECT_STREQ(CHxDefaultTrackedValueFormater(L"(nie podano)").FormatValue(null), L"(nie podano)");
  EXPECT_STREQ(plain.FormatValue(_variant_t(2.5)), L"2.5");
  EXPECT_STREQ(plain.FormatValue(_variant_t(true)), L"-1");   // the conversion's text of a VT_BOOL
  _variant_t object;
  object.vt = VT_UNKNOWN;
  object.punkVal = nullptr;
  EXPECT_THROW(plain.FormatValue(object), _com_error);

  CHxCustomMapValueFormater map(L"nie|tak");
  EXPECT_STREQ(map.FormatValue(_variant_t(true)), L"tak");
  EXPECT_STREQ(map.FormatValue(_variant_t(false)), L"nie");
  EXPECT_STREQ(map.FormatValue(_variant_t(LONG{1})), L"tak");
  EXPECT_STREQ(map.FormatValue(_variant_t(LONG{5})), L"");
  EXPECT_STREQ(map.FormatValue(_variant_t(LONG{-1})), L"");
  EXPECT_STREQ(map.FormatValue(_variant_t(L"tak")), L"(brak)");
  CHxCustomMapValueFormater gap(L"a||c");
  EXPECT_STREQ(gap.GetStringFor(0), L"a");
  EXPECT_STREQ(gap.GetStringFor(2), L"");   // an empty entry ends the list
  EXPECT_STREQ(CHxCustomMapValueFormater(L"").GetStringFor(0), L"");
}

TEST(Formatters, CurrencyAndDates) {
  CHxCurrencyValueFormater money;
  CY cy;
  cy.int64 = 125000;   // 12.5
  _variant_t amount;
  amount.vt = VT_CY;
  amount.cyVal = cy;
  EXPECT_STREQ(money.FormatValue(amount), L"12.5");
  EXPECT_STREQ(money.FormatValue(_variant_t(LONG{12})), L"0");

  CHxDateTimeValueFormater dates;
  DATE d = 0;
  SYSTEMTIME st{2024, 3, 0, 5, 14, 7, 0, 0};
  SystemTimeToVariantTime(&st, &d);
  _variant_t date;
  date.vt = VT_DATE;
  date.date = d;
  EXPECT_STREQ(dates.FormatValue(date), L"2024-03-05 14:07:00");
  EXPECT_STREQ(dates.FormatValue(_variant_t(d)), L"2024-03-05 14:07:00");   // VT_R8
  EXPECT_STREQ(dates.FormatValue(_variant_t(1.0e9)), L"Invalid DateTime");
  EXPECT_STREQ(dates.FormatValue(_variant_t(L"2024-03-05")), L"(brak)");
}

TEST(Formatters, ValuesLookedUpBySql) {
  CoInitialize(nullptr);
  {
    testutil::TempDatabase db;
    host::Host h(db.Open());
    CHxInstance::SetInstance(h.Instance());
    testutil::Exec(h.Connection(), L"INSERT INTO sl_Payment (pm_Id, pm_Name) VALUES (2, 'Gotówka')");
    CHxSimpleSqlValueFormater lookup(L"SELECT pm_Name FROM sl_Payment WHERE pm_Id=%ld", L"(brak)");
    EXPECT_STREQ(lookup.FormatValue(_variant_t(LONG{2})), L"Gotówka");
    EXPECT_STREQ(lookup.FormatValue(_variant_t(LONG{3})), L"(brak)");
    EXPECT_STREQ(lookup.FormatValue(_variant_t(L"tekst")), L"tekst");
    CHxSimpleSqlValueFormater broken(L"SELECT nic FROM brak WHERE x=%ld");
    EXPECT_STREQ(broken.FormatValue(_variant_t(LONG{2})), L"");
    CHxInstance::SetInstance(nullptr);
  }
  CoUninitialize();
}

}  // namespace
