// An account's custom values: typed values under names, saved with the account.
#include "auctions/tests/accounts_fixture.h"

namespace {

using accounts_test::AccountsTest;

class CustomValueTest : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (5, 1, 'jan')");
    // Stored rows: a name holding both a text and a long, and a numeric name.
    Run(L"INSERT INTO reg_Data (rd_Id, rd_RegId, rd_Name, rd_vint, rd_vvarchar) VALUES (1, 5, 'obie', 3, 'tekst'), "
        L"(2, 5, '7', 70, NULL)");
    Run(L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('reg_Data', 100)");
    account = Load(L"Vantor.CoRegistration", 5);
    ASSERT_EQ(IFlgItemPtr(account)->BeginEdit(), S_OK);
    LotrixRegCustData* raw = nullptr;
    ASSERT_EQ(LotrixRegistrationPtr(account)->GetCustData(&raw), S_OK);
    values = LotrixRegCustDataPtr(raw, false);
  }
  void TearDown() override {
    values = nullptr;
    account = nullptr;
    AccountsTest::TearDown();
  }
  _variant_t ValueOf(const _variant_t& name) {
    _variant_t value;
    EXPECT_EQ(values->GetValue(name, &value), S_OK);
    return value;
  }
  LONG Count() {
    LONG count = -1;
    EXPECT_EQ(values->GetCount(&count), S_OK);
    return count;
  }

  IUnknownPtr account;
  LotrixRegCustDataPtr values;
};

TEST_F(CustomValueTest, EachTypeIsStoredAndReadInItsOwnColumn) {
  CY money;
  money.int64 = 123450;
  _variant_t cy;
  cy.vt = VT_CY;
  cy.cyVal = money;
  const _variant_t values_[] = {_variant_t(LONG{42}), _variant_t(9007199254740993LL), cy, _variant_t(45296.5, VT_DATE),
                                _variant_t(L"zażółć")};
  const wchar_t* names[] = {L"long", L"big", L"money", L"date", L"text"};
  for (int i = 0; i < 5; ++i) ASSERT_EQ(values->SetValue(_variant_t(names[i]), values_[i]), S_OK) << names[i];
  EXPECT_EQ(Count(), 7);
  ASSERT_EQ(IFlgItemPtr(account)->Save(), S_OK);
  // Read again from the database.
  IUnknownPtr reread = Load(L"Vantor.CoRegistration", 5);
  LotrixRegCustData* raw = nullptr;
  ASSERT_EQ(LotrixRegistrationPtr(reread)->GetCustData(&raw), S_OK);
  values = LotrixRegCustDataPtr(raw, false);
  for (int i = 0; i < 5; ++i) {
    const _variant_t read = ValueOf(_variant_t(names[i]));
    EXPECT_EQ(read.vt, values_[i].vt) << names[i];
    EXPECT_TRUE(read == values_[i]) << names[i];
  }
  EXPECT_EQ(Value(L"SELECT rd_vbigint FROM reg_Data WHERE rd_Name = 'big'").llVal, 9007199254740993LL);
  EXPECT_EQ(Count(), 7);
}

TEST_F(CustomValueTest, AStoredRowReadsItsTextFirstAndANewValueReplacesTheOld) {
  EXPECT_EQ(ValueOf(_variant_t(L"obie")), _variant_t(L"tekst"));
  // A text, then a long, under one name: the long is what is read (the text is emptied).
  ASSERT_EQ(values->SetValue(_variant_t(L"zmienna"), _variant_t(L"najpierw tekst")), S_OK);
  ASSERT_EQ(values->SetValue(_variant_t(L"zmienna"), _variant_t(LONG{5})), S_OK);
  const _variant_t read = ValueOf(_variant_t(L"zmienna"));
  EXPECT_EQ(read.vt, VT_I4);
  EXPECT_EQ(read.lVal, 5);
  EXPECT_EQ(Count(), 3);
  ASSERT_EQ(IFlgItemPtr(account)->Save(), S_OK);
  EXPECT_EQ(Value(L"SELECT rd_vvarchar FROM reg_Data WHERE rd_Name = 'zmienna'").vt, VT_NULL);
  EXPECT_EQ(Long(L"SELECT rd_vint FROM reg_Data WHERE rd_Name = 'zmienna'"), 5);
  // No such name: empty, S_OK.
  EXPECT_EQ(ValueOf(_variant_t(L"brak")).vt, VT_EMPTY);
}

TEST_F(CustomValueTest, NamesAreMatchedAsTheyAreWrittenQuotesIncluded) {
  ASSERT_EQ(values->SetValue(_variant_t(L"O'Brien"), _variant_t(L"irlandzki")), S_OK);
  ASSERT_EQ(values->SetValue(_variant_t(L"O'Brien"), _variant_t(L"zmieniony")), S_OK);
  EXPECT_EQ(ValueOf(_variant_t(L"O'Brien")), _variant_t(L"zmieniony"));
  EXPECT_EQ(Count(), 3);
  ASSERT_EQ(IFlgItemPtr(account)->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Data WHERE rd_Name = 'O''Brien'"), 1);
  // A numeric name: looked up as a number, never written.
  EXPECT_EQ(ValueOf(_variant_t(LONG{7})), _variant_t(LONG{70}));
  EXPECT_EQ(values->SetValue(_variant_t(LONG{7}), _variant_t(LONG{1})), E_NOTIMPL);
}

TEST_F(CustomValueTest, RefusedCallsAddNothing) {
  EXPECT_EQ(values->SetValue(_variant_t(L"ułamek"), _variant_t(1.5)), E_INVALIDARG);
  EXPECT_EQ(values->SetValue(_variant_t(L"tak"), _variant_t(true)), E_INVALIDARG);
  EXPECT_EQ(values->SetValue(_variant_t(2.0), _variant_t(LONG{1})), E_INVALIDARG);
  _variant_t value;
  EXPECT_EQ(values->GetValue(_variant_t(2.0), &value), E_INVALIDARG);
  EXPECT_EQ(values->GetValue(_variant_t(L"obie"), nullptr), E_POINTER);
  EXPECT_EQ(values->GetCount(nullptr), E_POINTER);
  EXPECT_EQ(Count(), 2);
  ASSERT_EQ(IFlgItemPtr(account)->Save(), S_OK);
  EXPECT_EQ(Long(L"SELECT COUNT(*) FROM reg_Data"), 2);
}

}  // namespace
