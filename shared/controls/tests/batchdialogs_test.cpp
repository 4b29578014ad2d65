// The summary, progress and currency-change dialogs, the amount edit and the rounding division.
#include <gtest/gtest.h>

#include "framework/controls.h"
#include "framework/skin.h"
#include "host/schema.h"
#include "platform/gui/headless.h"
#include "shared/controls/hxsummarydlg.h"
#include "shared/controls/zmianawalutydlg.h"
#include "shared/hxlog.h"
#include "shared/tests/fixture.h"

namespace {

COleCurrency Money(LONGLONG tenThousandths) {
  CY cy;
  cy.int64 = tenThousandths;
  return COleCurrency(cy);
}

class BatchDialogTest : public testutil::HostTest {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    HostTest::SetUp();
  }
  void TearDown() override {
    HostTest::TearDown();
    platform::gui::ResetHeadless();
  }
  CString Text(CWnd& dialog, int id) {
    CString text;
    dialog.GetDlgItemText(id, text);
    return text;
  }
  bool Visible(CWnd& dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog.m_hWnd, id)) != FALSE; }
};

// --- the summary

using SummaryTest = BatchDialogTest;

TEST_F(SummaryTest, RecordsRunFromOneWithOkOrTheErrorText) {
  CHxSimpleSummaryDlg dialog;
  dialog.AddRecord(L"Aukcja 1", LONG{0});
  dialog.AddRecord(L"Aukcja 2", LONG{1});
  SetErrorInfo(0, nullptr);
  const CString error = hxFormatError(E_FAIL);
  dialog.AddRecord(L"Aukcja 3", E_FAIL);
  dialog.AddRecord(L"Aukcja 4", L"pominięta");
  ASSERT_FALSE(error.IsEmpty());
  EXPECT_NE(error, CString(L"Ok"));
  _RecordsetPtr rs = dialog.Recordset();
  ASSERT_EQ(dialog.RecordCount(), 4);
  const wchar_t* results[] = {L"Ok", L"Ok", error.GetString(), L"pominięta"};
  rs->MoveFirst();
  for (LONG id = 1; id <= 4; ++id, rs->MoveNext()) {
    EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"Id"]->Value), id);
    EXPECT_EQ(CString(static_cast<const wchar_t*>(_bstr_t(rs->Fields->Item[L"Wynik"]->Value))), CString(results[id - 1])) << id;
  }
  // The recordset's fields as the list expects them.
  EXPECT_EQ(rs->Fields->Item[L"Obiekt"]->DefinedSize, 100);
  EXPECT_EQ(rs->Fields->Item[L"Wynik"]->DefinedSize, 200);
  EXPECT_EQ(rs->Fields->Item[L"Id"]->Type, adInteger);
}

TEST_F(SummaryTest, OverlongAndNullTextsAreKeptWithinTheFields) {
  CHxSimpleSummaryDlg dialog;
  dialog.AddRecord(std::wstring(150, L'x').c_str(), std::wstring(250, L'y').c_str());
  dialog.AddRecord(nullptr, static_cast<const wchar_t*>(nullptr));
  _RecordsetPtr rs = dialog.Recordset();
  rs->MoveFirst();
  EXPECT_EQ(_bstr_t(rs->Fields->Item[L"Obiekt"]->Value).length(), 100u);
  EXPECT_EQ(_bstr_t(rs->Fields->Item[L"Wynik"]->Value).length(), 200u);
  rs->MoveNext();
  EXPECT_EQ(_bstr_t(rs->Fields->Item[L"Obiekt"]->Value).length(), 0u);
}

TEST_F(SummaryTest, DialogShowsTitleIconSummaryAndRows) {
  CHxSimpleSummaryDlg dialog;
  dialog.SetTitle(L"Wystawianie aukcji");
  dialog.SetSummary(L"Wystawiono 2 z 3 aukcji.");
  dialog.SetHelpTopic(L"Okno_Podsumowanie");
  dialog.SetColumnName(1, L"Aukcja");
  dialog.SetColumnName(7, L"nic");
  dialog.SetError();
  dialog.AddRecord(L"Lampa", LONG{0});
  dialog.AddRecord(L"Kubek", LONG{0});
  ASSERT_TRUE(dialog.Create(kIddSummaryDlg));
  dialog.ShowWindow(SW_SHOW);
  CString title;
  dialog.GetWindowText(title);
  EXPECT_EQ(title, CString(L"Wystawianie aukcji"));
  EXPECT_EQ(dialog.GetHelpTopic(), CString(L"Okno_Podsumowanie"));
  EXPECT_EQ(dialog.Icon(), IDI_HAND);
  EXPECT_NE(dialog.SendDlgItemMessage(CHxSummaryDlg::IDC_ICON, STM_GETICON), 0);
  EXPECT_TRUE(Visible(dialog, CHxSummaryDlg::IDC_ICON));
  EXPECT_EQ(Text(dialog, CHxSummaryDlg::IDC_SUMMARY), CString(L"Wystawiono 2 z 3 aukcji."));
  CBaseGrid& grid = dialog.List().Grid();
  EXPECT_EQ(grid.GetRowCount(), 2);
  EXPECT_EQ(grid.GetColCount(), 2u);
  EXPECT_EQ(grid.GetValueRowCol(0, 1), CString(L"Aukcja"));
  EXPECT_EQ(grid.GetValueRowCol(0, 2), CString(L"Wynik"));
  EXPECT_EQ(grid.GetValueRowCol(2, 1), CString(L"Kubek"));
  EXPECT_EQ(dialog.List().GetTitle(), CString(L"Okno_Podsumowanie"));
  // Rows added while the dialog is open are listed at once.
  dialog.AddRecord(L"Talerz", E_FAIL);
  EXPECT_EQ(grid.GetRowCount(), 3);
  dialog.DestroyWindow();
}

TEST_F(SummaryTest, IconFollowsTheOutcomeUnlessOneIsSet) {
  CHxSimpleSummaryDlg dialog;
  EXPECT_TRUE(dialog.Ok());
  EXPECT_EQ(dialog.Icon(), IDI_INFORMATION);
  dialog.SetError();
  EXPECT_TRUE(dialog.Error());
  EXPECT_EQ(dialog.Icon(), IDI_HAND);
  dialog.SetIcon(IDI_WARNING);
  EXPECT_EQ(dialog.Icon(), IDI_WARNING);
}

// A summary without icon, summary text or recordset.
class BareSummary : public CHxSummaryDlg {
 public:
  CString WindowText() override { return L"Bez niczego"; }
  CString HelpTopic() override { return L""; }
  const FlgColumnInfo* ColInfo() override { return nullptr; }
  int ColCount() override { return 0; }
  CString GridName() override { return L"Pusta"; }
  _RecordsetPtr Recordset() override { return nullptr; }
  CString SummaryText() override { return L""; }
  LPCWSTR Icon() override { return nullptr; }
};

TEST_F(SummaryTest, NoIconNoSummaryNoRecordsetHideTheStaticsAndCountNothing) {
  BareSummary dialog;
  EXPECT_EQ(dialog.RecordCount(), 0);
  ASSERT_TRUE(dialog.Create(kIddSummaryDlg));
  dialog.ShowWindow(SW_SHOW);
  EXPECT_FALSE(Visible(dialog, CHxSummaryDlg::IDC_ICON));
  EXPECT_FALSE(Visible(dialog, CHxSummaryDlg::IDC_SUMMARY));
  EXPECT_EQ(dialog.List().Grid().GetRowCount(), 0);
  EXPECT_EQ(dialog.List().Grid().GetValueRowCol(1, 1), CString());
  dialog.DestroyWindow();
}

// --- the progress window

class ProgressTest : public BatchDialogTest {
 protected:
  void SetUp() override {
    BatchDialogTest::SetUp();
    ASSERT_TRUE(dialog.Create(kIddProgressDlg));
  }
  void TearDown() override {
    dialog.DestroyWindow();
    BatchDialogTest::TearDown();
  }
  std::vector<int> Steps(DWORD total, int count, DWORD n = 1) {
    dialog.Init(total);
    std::vector<int> positions;
    for (int i = 0; i < count; ++i) {
      dialog.IncProgressAll(n);
      positions.push_back(dialog.GetPos());
    }
    return positions;
  }
  CProgressDlg dialog;
};

TEST_F(ProgressTest, FourStepsOfFourGoByQuarters) {
  EXPECT_EQ(Steps(4, 4), (std::vector<int>{25, 50, 75, 100}));
  CString title;
  dialog.GetWindowText(title);
  EXPECT_EQ(title, CString(L"Postęp operacji"));
}

TEST_F(ProgressTest, ZeroTotalKeepsTheBarAtZero) { EXPECT_EQ(Steps(0, 3, 5), (std::vector<int>{0, 0, 0})); }

TEST_F(ProgressTest, ThreeStepsOfThreeEndAtTheEnd) { EXPECT_EQ(Steps(3, 3), (std::vector<int>{33, 66, 100})); }

TEST_F(ProgressTest, ManySmallStepsMoveTheBar) {
  const std::vector<int> positions = Steps(250, 250);
  EXPECT_EQ(positions[1], 0);
  EXPECT_EQ(positions[2], 1);
  EXPECT_EQ(positions[124], 50);
  EXPECT_EQ(positions.back(), 100);
  // Exact percent: 29 of 100 is 29.
  EXPECT_EQ(Steps(100, 29).back(), 29);
}

TEST_F(ProgressTest, MoreThanTheTotalStopsAtTheEndAndInitStartsAgain) {
  EXPECT_EQ(Steps(2, 3), (std::vector<int>{50, 100, 100}));
  dialog.Init(10);
  EXPECT_EQ(dialog.GetPos(), 0);
  dialog.IncProgressAll(3);
  EXPECT_EQ(dialog.GetPos(), 30);
}

TEST_F(ProgressTest, StatusAndTheBarsOwnRange) {
  dialog.SetStatus(L"Wysyłanie aukcji 3 z 10");
  EXPECT_EQ(Text(dialog, CProgressDlg::IDC_STATUS), CString(L"Wysyłanie aukcji 3 z 10"));
  HWND bar = ::GetDlgItem(dialog.m_hWnd, CProgressDlg::IDC_PROGRESS);
  ::SendMessageW(bar, PBM_SETRANGE32, 10, 20);
  ::SendMessageW(bar, PBM_SETPOS, 150, 0);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 20);
  ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(-5), 0);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 10);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 10);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 20);
}

// --- the rounding division and the amount edit

TEST(KdDivRound64C, RoundsHalfAwayFromZero) {
  EXPECT_EQ(KdDivRound64C(Money(1000000), Money(30000), 2), Money(333300));   // 100 / 3
  EXPECT_EQ(KdDivRound64C(Money(10000), Money(80000), 2), Money(1300));       // 0.125
  EXPECT_EQ(KdDivRound64C(Money(-10000), Money(80000), 2), Money(-1300));
  EXPECT_EQ(KdDivRound64C(Money(10000), Money(-80000), 2), Money(-1300));
  EXPECT_EQ(KdDivRound64C(Money(10000000), Money(41000), 2), Money(2439000));  // 1000 / 4.1
  EXPECT_EQ(KdDivRound64C(Money(10000), Money(0), 2).GetStatus(), COleCurrency::invalid);
  COleCurrency null;
  null.SetStatus(COleCurrency::null);
  EXPECT_EQ(KdDivRound64C(null, Money(10000), 2).GetStatus(), COleCurrency::null);
  EXPECT_EQ(KdDivRound64C(Money(10000), Money(10000), 5).GetStatus(), COleCurrency::invalid);
}

TEST(AmountText, LocaleFormAndBack) {
  EXPECT_EQ(FlgFormatAmount(Money(125000), 2), CString(L"12,50"));
  EXPECT_EQ(FlgFormatAmount(Money(41000), 4), CString(L"4,1000"));
  COleCurrency null;
  null.SetStatus(COleCurrency::null);
  EXPECT_EQ(FlgFormatAmount(null, 2), CString());
  COleCurrency read;
  ASSERT_TRUE(FlgParseAmount(FlgFormatAmount(Money(12345678900), 2).GetString(), read));
  EXPECT_EQ(read, Money(12345678900));
  ASSERT_TRUE(FlgParseAmount(L"3.5", read));
  EXPECT_EQ(read, Money(35000));
  ASSERT_TRUE(FlgParseAmount(L" 2,25 ", read));
  EXPECT_EQ(read, Money(22500));
  EXPECT_FALSE(FlgParseAmount(L"abc", read));
  ASSERT_TRUE(FlgParseAmount(L"", read));
  EXPECT_EQ(read.GetStatus(), COleCurrency::null);
}

// --- the change of currency

class CurrencyTest : public BatchDialogTest {
 protected:
  void SetUp() override {
    BatchDialogTest::SetUp();
    host::UpgradeSchema(cn);
    testutil::Exec(cn, L"DELETE FROM sl_Currency");
    testutil::Exec(cn, L"INSERT INTO sl_Currency (cy_Id, cy_Symbol, cy_Name) VALUES (7, 'USD', 'dolar amerykański'), "
                       L"(3, 'EUR', 'euro'), (5, 'PLN', 'złoty polski')");
  }
  void TearDown() override {
    if (dialog && dialog->m_hWnd) dialog->DestroyWindow();
    dialog.reset();
    BatchDialogTest::TearDown();
  }
  void Open(bool simple, const wchar_t* oldSymbol, const wchar_t* newSymbol, LONGLONG amount) {
    dialog = std::make_unique<CZmianaWalutyDlg>(simple);
    dialog->SetStaraWaluta(oldSymbol);
    dialog->SetNowaWaluta(newSymbol);
    dialog->SetStareDoZaplaty(Money(amount));
    ASSERT_TRUE(dialog->Create(simple ? kIddZmianaWalutySimple : kIddZmianaWaluty));
  }
  void Choose(int index) {
    dialog->SendDlgItemMessage(CZmianaWalutyDlg::IDC_CURRENCY, CB_SETCURSEL, static_cast<WPARAM>(index));
    dialog->SendMessage(WM_COMMAND, MAKELONG(CZmianaWalutyDlg::IDC_CURRENCY, CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_CURRENCY)));
  }
  void TypeRate(const wchar_t* text) { dialog->SetDlgItemText(CZmianaWalutyDlg::IDC_RATE, text); }
  std::unique_ptr<CZmianaWalutyDlg> dialog;
};

TEST_F(CurrencyTest, CurrenciesComeFromTheDatabaseBySymbolWithTheirIds) {
  Open(false, L"PLN", L"USD", 1000000);
  CComboBox combo;
  combo.Attach(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_CURRENCY));
  CComboBox* box = &combo;
  ASSERT_EQ(box->GetCount(), 3);
  const wchar_t* entries[] = {L"EUR (euro)", L"PLN (złoty polski)", L"USD (dolar amerykański)"};
  const DWORD_PTR ids[] = {3, 5, 7};
  for (int i = 0; i < 3; ++i) {
    CString text;
    box->GetLBText(i, text);
    EXPECT_EQ(text, CString(entries[i]));
    EXPECT_EQ(box->GetItemData(i), ids[i]);
  }
  EXPECT_EQ(box->GetCurSel(), 2);
  EXPECT_EQ(::GetFocus(), box->m_hWnd);
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_EQUATION_NEW), CString(L"1 USD ="));
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_EQUATION_OLD), CString(L"PLN"));
  EXPECT_EQ(FlgAmountUnit(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_OLD_AMOUNT)), CString(L"PLN"));
  EXPECT_EQ(FlgAmountUnit(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_NEW_AMOUNT)), CString(L"USD"));
  EXPECT_EQ(FlgAmountDecimals(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_RATE)), 4);
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_OLD_AMOUNT), CString(L"100,00"));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_RATE)));
  combo.Detach();
}

TEST_F(CurrencyTest, ChoosingTheOldCurrencyAgainSetsRateOneAndEqualAmounts) {
  Open(false, L"PLN", L"EUR", 1234500);
  Choose(1);
  EXPECT_EQ(dialog->NowaWaluta(), CString(L"PLN"));
  EXPECT_EQ(dialog->Kurs(), Money(10000));
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_RATE), CString(L"1,0000"));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_RATE)));
  EXPECT_EQ(dialog->NoweDoZaplaty(), Money(1234500));
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_NEW_AMOUNT), CString(L"123,45"));
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_EQUATION_NEW), CString(L"1 PLN ="));
  Choose(0);
  EXPECT_EQ(dialog->NowaWaluta(), CString(L"EUR"));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_RATE)));
}

TEST_F(CurrencyTest, NewAmountIsTheOldOneByTheRateRoundedToCents) {
  Open(false, L"PLN", L"EUR", 1000000);
  TypeRate(L"3,0000");
  EXPECT_EQ(dialog->NoweDoZaplaty(), Money(333300));
  EXPECT_EQ(Text(*dialog, CZmianaWalutyDlg::IDC_NEW_AMOUNT), CString(L"33,33"));
  // 4.1 is 4.1, not 4.0999: 1,000.00 becomes 243.90.
  dialog->SetStareDoZaplaty(Money(10000000));
  TypeRate(L"4,1");
  EXPECT_EQ(dialog->KursZKontrolki(), Money(41000));
  EXPECT_EQ(dialog->NoweDoZaplaty(), Money(2439000));
  TypeRate(L"3.5");
  EXPECT_EQ(dialog->KursZKontrolki(), Money(35000));
  // More places than four go to the nearest ten-thousandth.
  TypeRate(L"2,00006");
  EXPECT_EQ(dialog->KursZKontrolki(), Money(20001));
}

TEST_F(CurrencyTest, InvalidRatesLeaveTheNewAmount) {
  Open(false, L"PLN", L"EUR", 1000000);
  TypeRate(L"4");
  const COleCurrency before = dialog->NoweDoZaplaty();
  ASSERT_EQ(before, Money(250000));
  for (const wchar_t* rate : {L"abc", L"0", L"-2", L"", L"0,00001"}) {
    TypeRate(rate);
    EXPECT_EQ(dialog->KursZKontrolki().GetStatus(), COleCurrency::invalid) << rate;
    EXPECT_EQ(dialog->NoweDoZaplaty(), before) << rate;
  }
}

TEST_F(CurrencyTest, SavingKeepsTheRate) {
  Open(false, L"PLN", L"EUR", 1000000);
  TypeRate(L"4,25");
  dialog->SaveData();
  EXPECT_EQ(dialog->Kurs(), Money(42500));
  TypeRate(L"zły");
  dialog->SaveData();
  EXPECT_EQ(dialog->Kurs(), Money(42500));
}

TEST_F(CurrencyTest, UnknownNewSymbolSelectsNothingAndIsKept) {
  Open(true, L"PLN", L"CHF", 1000000);
  HWND box = ::GetDlgItem(dialog->m_hWnd, CZmianaWalutyDlg::IDC_CURRENCY);
  EXPECT_EQ(::SendMessageW(box, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(box, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(dialog->NowaWaluta(), CString(L"CHF"));
  Choose(1);
  EXPECT_EQ(dialog->NowaWaluta(), CString(L"PLN"));
  EXPECT_EQ(dialog->Kurs(), Money(10000));
}

TEST_F(CurrencyTest, FailedListReadIsRetried) {
  testutil::Exec(cn, L"DROP TABLE sl_Currency");
  CZmianaWalutyDlg first(true);
  EXPECT_TRUE(first.ListaWalut().empty());
  testutil::Exec(cn, L"CREATE TABLE sl_Currency (cy_Id int NOT NULL PRIMARY KEY, cy_Symbol varchar(3) NOT NULL, "
                     L"cy_Name nvarchar(50) NOT NULL)");
  testutil::Exec(cn, L"INSERT INTO sl_Currency VALUES (1, 'GBP', 'funt')");
  ASSERT_EQ(first.ListaWalut().size(), 1u);
  EXPECT_EQ(first.ListaWalut()[0].m_symbol, CString(L"GBP"));
  EXPECT_EQ(first.ListaWalut()[0].m_id, 1);
  // Once read, the list is kept.
  testutil::Exec(cn, L"INSERT INTO sl_Currency VALUES (2, 'CZK', 'korona')");
  EXPECT_EQ(first.ListaWalut().size(), 1u);
}

TEST_F(CurrencyTest, MissingCurrencyTableStillOpensTheDialog) {
  testutil::Exec(cn, L"DROP TABLE sl_Currency");
  Open(false, L"PLN", L"EUR", 1000000);
  EXPECT_EQ(dialog->SendDlgItemMessage(CZmianaWalutyDlg::IDC_CURRENCY, CB_GETCOUNT), 0);
  TypeRate(L"2");
  EXPECT_EQ(dialog->NoweDoZaplaty(), Money(500000));
}

}  // namespace
