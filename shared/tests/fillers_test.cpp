// Dictionary fillers on the host's product database, fixed lists and the ERP fillers.
#include <gtest/gtest.h>

#include "host/host.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/headless.h"
#include "shared/fillers.h"
#include "shared/hxinstance.h"
#include "shared/tests/fixture.h"

namespace {

constexpr UINT kCombo = 100;
constexpr UINT kList = 101;
constexpr LONG kNone = kFillNone;

constexpr char kDialog[] = R"(DIALOGEX 0, 0, 200, 120
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION
CAPTION "Słowniki"
BEGIN
  COMBOBOX        100, 7, 7, 180, 80, CBS_DROPDOWNLIST
  LISTBOX         101, 7, 30, 180, 80
END
)";

using Entries = std::vector<std::pair<std::wstring, LONG>>;

class Fillers : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    CoInitialize(nullptr);
    h = std::make_unique<host::Host>(db.Open());
    CHxInstance::SetInstance(h->Instance());
    platform::gui::DialogTemplate t;
    ASSERT_TRUE(platform::gui::ParseDialogTemplate(kDialog, t));
    dialog = platform::gui::CreateDialogFromTemplate(nullptr, t, nullptr, nullptr, 0, L"FILLERS");
    ASSERT_TRUE(dialog);
    dx = std::make_unique<CFlgDataExchange>(&errors, dialog, L"FILLERS", FALSE);
  }
  void TearDown() override {
    dx.reset();
    platform::gui::ResetHeadless();
    CHxInstance::SetInstance(nullptr);
    h.reset();
    CoUninitialize();
  }
  void Sql(const wchar_t* sql) { testutil::Exec(h->Connection(), sql); }
  Entries Read(UINT id) {
    const bool combo = id == kCombo;
    Entries out;
    const LRESULT n = SendDlgItemMessageW(dialog, static_cast<int>(id), combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      wchar_t text[512] = {};
      SendDlgItemMessageW(dialog, static_cast<int>(id), combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(text));
      const LRESULT data =
          SendDlgItemMessageW(dialog, static_cast<int>(id), combo ? CB_GETITEMDATA : LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
      out.emplace_back(text, static_cast<LONG>(data));
    }
    return out;
  }

  testutil::TempDatabase db;
  std::unique_ptr<host::Host> h;
  HWND dialog = nullptr;
  CObjErrorInfoArray errors;
  std::unique_ptr<CFlgDataExchange> dx;
};

TEST_F(Fillers, ExtraEntriesGoOnTopInTheirOrder) {
  Sql(L"INSERT INTO sl_CustomerGroup (cg_Id, cg_Name) VALUES (1, 'Hurt'), (2, 'Detal')");
  Sql(L"INSERT INTO sl_ItemGroup (ig_Id, ig_Name) VALUES (5, 'Lampy')");
  CHxFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillGrupyKlientow(kCombo, true, L"(wszystkie)", kFillAny, true, L"(brak)", kNone), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(wszystkie)", -2}, {L"(brak)", kNone}, {L"Hurt", 1}, {L"Detal", 2}}));
  // Item groups put the caller's second entry on top.
  EXPECT_EQ(fill.LBFillGrupyTowarow(kList, true, L"pierwszy", 10, true, L"drugi", 20), S_OK);
  EXPECT_EQ(Read(kList), (Entries{{L"drugi", 20}, {L"pierwszy", 10}, {L"Lampy", 5}}));
  EXPECT_EQ(fill.CBFillGrupyKlientow(kCombo, false, nullptr, 0, true, L"(brak)", kNone), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(brak)", kNone}, {L"Hurt", 1}, {L"Detal", 2}}));
}

TEST_F(Fillers, TheResetSwitchDecidesWhetherFillsAppend) {
  Sql(L"INSERT INTO sl_Payment (pm_Id, pm_Name) VALUES (1, 'Przelew'), (2, 'Gotówka')");
  CHxFillControls fill(*dx);
  EXPECT_TRUE(fill.ResetsContent());
  fill.CBFillSposobZaplaty(kCombo);
  fill.CBFillSposobZaplaty(kCombo);
  EXPECT_EQ(Read(kCombo).size(), 2u);
  fill.ResetContent(false);
  fill.CBFillSposobZaplaty(kCombo);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Przelew", 1}, {L"Gotówka", 2}, {L"Przelew", 1}, {L"Gotówka", 2}}));
  fill.CBFillTypTransakcji(kCombo);
  EXPECT_EQ(Read(kCombo).size(), 6u);
  // A copy shares the connection and keeps the switch.
  CHxFillControls copy = fill;
  EXPECT_FALSE(copy.ResetsContent());
  EXPECT_EQ(copy.GetConnection().GetInterfacePtr(), fill.GetConnection().GetInterfacePtr());
}

TEST_F(Fillers, TheDeliverersAndDeliveriesFillOneList) {
  Sql(L"INSERT INTO sl_Deliverer (dr_Id, dr_Name) VALUES (1, 'Poczta'), (2, 'Kurier')");
  Sql(L"INSERT INTO sl_Delivery (dm_Id, dm_Name, dm_DelivererId, dm_PayOnDelivery) VALUES "
      L"(11, 'List polecony', 1, 0), (12, 'Paczka pobraniowa', 1, 1), (21, 'Ekspres', 2, 0)");
  CHxFillControls fill(*dx);
  // With the reset switch on the second fill empties the list (keys of both would collide).
  EXPECT_EQ(fill.LBFillDostawcyDostawy(kList), S_OK);
  EXPECT_EQ(Read(kList), (Entries{{L"Poczta - List polecony", 11}, {L"Poczta - Paczka pobraniowa", 12},
                                  {L"Kurier - Ekspres", 21}}));
  fill.ResetContent(false);
  SendDlgItemMessageW(dialog, kList, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(fill.LBFillDostawcyDostawy(kList), S_OK);
  EXPECT_EQ(Read(kList).size(), 6u);
  EXPECT_EQ(Read(kList)[0], (std::pair<std::wstring, LONG>{L"Odbiór osobisty", 0}));
  fill.ResetContent(true);
  EXPECT_EQ(fill.CBFillDostawy(kCombo, 1, true), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Paczka pobraniowa", 12}}));
  EXPECT_EQ(fill.CBFillDostawcy(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Odbiór osobisty", 0}, {L"Poczta", 1}, {L"Kurier", 2}}));
  EXPECT_EQ(fill.LBFillSposobWysylki(kList, false), S_OK);
  EXPECT_EQ(Read(kList).size(), 3u);
}

TEST_F(Fillers, EmailAccountsTakeTheOffsetAndShowEmptyForNull) {
  Sql(L"INSERT INTO em_Account (ea_Id, ea_UserAddress, ea_AccountName, ea_Disabled, ea_SMTP) VALUES "
      L"(1, 'biuro@sklep.example', 'Biuro', 0, 'smtp.sklep.example'), (2, 'stare@sklep.example', 'Stare', 1, NULL), "
      L"(3, 'sklep@sklep.example', NULL, 0, NULL)");
  CHxFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillKontaEmailowe(kCombo, 1000), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"biuro@sklep.example (Biuro)", 1001}, {L"sklep@sklep.example ()", 1003}}));
  EXPECT_EQ(fill.CBFillKontaEmailoweSMTP(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"biuro@sklep.example (Biuro)", 1}}));
  Sql(L"INSERT INTO sl_User (usr_Id, usr_Name, usr_SurName) VALUES (4, 'Ewa', 'Lis'), (5, 'Olek', NULL)");
  EXPECT_EQ(fill.CBFillPersonel(kCombo, true), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(nieokreślono)", 0}, {L"Ewa Lis", 4}, {L"", 5}}));
}

TEST_F(Fillers, ServicesInUseAndServicesWithAccounts) {
  Sql(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name) VALUES (1, 'Aukcje A'), (2, 'Aukcje B'), (3, 'Aukcje C')");
  Sql(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Active) VALUES "
      L"(1, 1, 'sprzedawca', 1), (2, 2, 'uspiony', 0)");
  CHxFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillUzywaneStronySerwisow(kCombo, true, L"(wszystkie)", kFillAny), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(wszystkie)", -2}, {L"Aukcje A", 1}}));
  EXPECT_EQ(fill.CBFillSerwisyAukcyjne(kCombo, false, nullptr, 0), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Aukcje A", 1}, {L"Aukcje B", 2}}));
}

TEST_F(Fillers, FailuresComeBackAsTheirCodes) {
  CHxFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillSposobZaplaty(999), E_FAIL);   // no such control
  testutil::Exec(h->Connection(), L"DROP TABLE sl_Language");
  EXPECT_EQ(fill.CBFillJezyk(kCombo), static_cast<HRESULT>(0x80040E37));
  EXPECT_EQ(fill.CBFillStanTransakcji(999), E_FAIL);
  // Without a framework instance there is no connection to query.
  CHxInstance::SetInstance(nullptr);
  CHxFillControls orphan(*dx);
  EXPECT_FALSE(orphan.GetConnection());
  EXPECT_TRUE(FAILED(orphan.CBFillWaluty(kCombo)));
}

TEST_F(Fillers, FixedListsInTheirOrder) {
  CHxFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillTypKomentarza(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Pozytywny", 1}, {L"Neutralny", 0}, {L"Negatywny", -1}}));
  EXPECT_EQ(fill.CBFillSposobTworzeniaPaczki(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Wszystkie towary do 1 paczki", 0},
                                   {L"Nie uwzględniaj przy operacjach zbiorczych i automatycznych", 2},
                                   {L"Każda sztuka do osobnej paczki", 3}}));
  EXPECT_EQ(fill.LBFillDoliczenia(kList), S_OK);
  EXPECT_EQ(Read(kList), (Entries{{L"odliczenie", 1}, {L"naliczenie", 0}}));
  EXPECT_EQ(fill.CBFillKwotyPrzyGrupowaniu(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo)[1], (std::pair<std::wstring, LONG>{L"koszt najwyższy", 1}));
  EXPECT_EQ(fill.CBFillSposobTwDokumKonc(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"zbiorczo", 0}, {L"z możliwością edycji", 2}}));
  EXPECT_EQ(fill.CBFillRodzajKursu(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"zakupu", 0}, {L"średni", 1}, {L"sprzedaży", 2}}));
  EXPECT_EQ(fill.CBFillKorektaCenyWynikowej(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo)[1].first, L"zaokrąglaj \"normalnie\" do pełnej kwoty");
  EXPECT_EQ(fill.CBFillMetodaWyliczaniaCenyDlaStrony(999), E_FAIL);
  EXPECT_EQ(fill.CBFillStanTransakcji(kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"nowa", 0}, {L"w trakcie realizacji", 1}, {L"zakończona", 2}, {L"anulowana", 3}}));
  CString state = L"x";
  CHxFillControls::LoadStringStanTransakcji(2, state);
  EXPECT_STREQ(state, L"zakończona");
  CHxFillControls::LoadStringStanTransakcji(4, state);
  EXPECT_TRUE(state.IsEmpty());
  CHxFillControls::LoadStringStanTransakcji(-1, state);
  EXPECT_TRUE(state.IsEmpty());
}

TEST_F(Fillers, FillingThroughMessagesChecksItsControlAndTable) {
  CHxFillControls fill(*dx);
  const CFillControls::LBEntry entries[] = {{5, L"pięć"}, {6, L"sześć"}, {7, L"siedem"}};
  SendDlgItemMessageW(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"było"));
  EXPECT_EQ(fill.LB_CB_Fill(CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA, CB_SETCURSEL, 999, entries, 3, true, nullptr, 0), 0);
  EXPECT_EQ(fill.LB_CB_Fill(CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA, CB_SETCURSEL, kCombo, nullptr, 3, true, nullptr, 0), 0);
  EXPECT_EQ(fill.LB_CB_Fill(CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA, CB_SETCURSEL, kCombo, entries, 0, true, nullptr, 0), 0);
  EXPECT_EQ(Read(kCombo), (Entries{{L"było", 0}}));
  const LONG excluded[] = {6};
  EXPECT_EQ(fill.LB_CB_Fill(LB_RESETCONTENT, LB_ADDSTRING, LB_SETITEMDATA, LB_SETCURSEL, kList, entries, 3, true, excluded, 1), 1);
  EXPECT_EQ(Read(kList), (Entries{{L"pięć", 5}, {L"siedem", 7}}));
  EXPECT_EQ(fill.LB_CB_Fill(LB_RESETCONTENT, LB_ADDSTRING, LB_SETITEMDATA, LB_SETCURSEL, kList, entries, 1, false, nullptr, 0), 1);
  EXPECT_EQ(Read(kList).size(), 3u);
}

// --- the ERP fillers

class ErpFillers : public Fillers {
 protected:
  void SetUp() override {
    Fillers::SetUp();
    erp = doubles::FakeErpObjects::New(erpHolder);
    documents = erpHolder;
  }
  IUnknownPtr erpHolder;
  doubles::FakeErpObjects* erp = nullptr;
  DSIDocumentsPtr documents;
};

TEST_F(ErpFillers, DocumentTypesOfAKind) {
  CDSIFillControls fill(*dx);
  SendDlgItemMessageW(dialog, kCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"stary wpis"));
  EXPECT_EQ(fill.CBFillTypDokumentuWstepnego(nullptr, kCombo, true), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(brak dokumentów)", kNone}}));
  EXPECT_EQ(fill.CBFillTypDokumentuWstepnego(documents, kCombo, true), S_OK);   // the kind has none
  EXPECT_EQ(Read(kCombo), (Entries{{L"(brak dokumentów)", kNone}}));
  erp->docTypes[1] = {{31, L"Zamówienie"}, {32, L"Faktura pro forma"}};
  erp->docTypes[2] = {{41, L"Faktura VAT"}};
  fill.ResetContent(false);   // the ERP fillers always empty their combo
  EXPECT_EQ(fill.CBFillTypDokumentuWstepnego(documents, kCombo, true), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(nie twórz dokumentu)", kNone}, {L"Zamówienie", 31}, {L"Faktura pro forma", 32}}));
  EXPECT_EQ(fill.CBFillTypDokumentuKoncowego(documents, kCombo, false), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Faktura VAT", 41}}));
  EXPECT_EQ(fill.CBFillTypDokumentuEP(static_cast<dsiDocType>(3), documents, kCombo, true), E_INVALIDARG);
  EXPECT_TRUE(Read(kCombo).empty());
}

TEST_F(ErpFillers, PaymentForms) {
  CDSIFillControls fill(*dx);
  EXPECT_EQ(fill.CBFillFormaPlatnosci(nullptr, kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(brak form płatności)", kNone}}));
  EXPECT_EQ(fill.CBFillFormaPlatnosci(documents, kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"(brak dokumentów)", kNone}}));
  erp->paymentForms = {{1, L"przelew"}, {2, L"karta"}};
  EXPECT_EQ(fill.CBFillFormaPlatnosci(documents, kCombo), S_OK);
  EXPECT_EQ(Read(kCombo), (Entries{{L"gotówka", kNone}, {L"przelew", 1}, {L"karta", 2}}));
}

TEST_F(ErpFillers, AFailingConnectorGivesItsCode) {
  CDSIFillControls fill(*dx);
  erp->failure = static_cast<HRESULT>(0x80044589);
  EXPECT_EQ(fill.CBFillFormaPlatnosci(documents, kCombo), static_cast<HRESULT>(0x80044589));
  EXPECT_EQ(fill.CBFillTypDokumentuKoncowego(documents, kCombo, true), static_cast<HRESULT>(0x80044589));
  erp->failure = S_OK;
  erp->docTypes[2] = {{41, L"Faktura VAT"}, {42, L"Paragon"}};
  erp->failKeyAt = 1;
  EXPECT_EQ(fill.CBFillTypDokumentuKoncowego(documents, kCombo, false), E_FAIL);
  EXPECT_EQ(Read(kCombo), (Entries{{L"Faktura VAT", 41}}));
  EXPECT_EQ(fill.CBFillFormaPlatnosci(documents, 999), E_FAIL);
}

}  // namespace
