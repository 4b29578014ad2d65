// The account list dialog over a recording manager, and the seller-zone settings dialog of a
// stored account over the seller-zone doubles. Each dialog is also saved as a picture.
#include <set>

#include "accounts_fixture.h"
#include "auctions/regmanager.h"
#include "auctions/regmanagerdlg.h"
#include "auctions/regstatusesdlg.h"
#include "framework/controls.h"
#include "framework/messages.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/gallery.h"
#include "platform/gui/headless.h"
#include "platform/gui/input.h"
#include "platform/strings/oledatetime.h"
#include "shared/hxlog.h"
#include "testing/host_doubles/zone_doubles.h"

namespace accounts_test {
namespace {

// A manager that records its calls and answers what the test says; the list is the test's.
class RecordingManager : public platform::com::DispatchFace<IRegManager> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IRegManager)) return E_NOINTERFACE;
    *out = static_cast<IRegManager*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

  STDMETHODIMP Show(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP RegAdd(LONG, LONG service, LONG* out) override {
    calls.push_back(L"RegAdd " + std::to_wstring(service));
    *out = addId;
    if (addId > 0) rows.push_back({addId, L"nowe", true});
    return S_OK;
  }
  STDMETHODIMP RegEdit(LONG, LONG id) override {
    calls.push_back(L"RegEdit " + std::to_wstring(id));
    return S_OK;
  }
  STDMETHODIMP RegDelete(LONG, LONG id) override {
    calls.push_back(L"RegDelete " + std::to_wstring(id));
    if (FAILED(deleteResult)) return deleteResult;
    std::erase_if(rows, [id](const Row& r) { return r.id == id; });
    return S_OK;
  }
  STDMETHODIMP GetRegList(_Recordset** out) override {
    ++lists;
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->GetFields()->Append(L"reg_Id", adInteger, 4, adFldUpdatable);
    rs->GetFields()->Append(L"reg_Username", adVarChar, 100, adFldUpdatable);
    rs->GetFields()->Append(L"ss_Name", adVarWChar, 100, adFldUpdatable);
    rs->GetFields()->Append(L"reg_Active", adBoolean, 1, adFldUpdatable);
    rs->GetFields()->Append(L"reg_HasShop", adBoolean, 1, adFldUpdatable);
    rs->GetFields()->Append(L"reg_SvcUserId", adBigInt, 8, adFldUpdatable);
    rs->GetFields()->Append(L"reg_SvcProvId", adInteger, 4, adFldUpdatable);
    rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
    for (const Row& r : rows) {
      rs->AddNew();
      rs->GetFields()->GetItem(_variant_t(L"reg_Id"))->PutValue(_variant_t(r.id));
      rs->GetFields()->GetItem(_variant_t(L"reg_Username"))->PutValue(_variant_t(r.login.c_str()));
      rs->GetFields()->GetItem(_variant_t(L"ss_Name"))->PutValue(_variant_t(L"Serwis wzorcowy"));
      rs->GetFields()->GetItem(_variant_t(L"reg_Active"))->PutValue(_variant_t(r.active));
      rs->GetFields()->GetItem(_variant_t(L"reg_HasShop"))->PutValue(_variant_t(r.id % 2 == 0));
      rs->GetFields()->GetItem(_variant_t(L"reg_SvcUserId"))->PutValue(_variant_t(LONGLONG{9000000000} + r.id));
      rs->GetFields()->GetItem(_variant_t(L"reg_SvcProvId"))->PutValue(_variant_t(LONG{1}));
      rs->Update();
    }
    *out = rs.Detach();
    return S_OK;
  }
  STDMETHODIMP RegActivate(LONG id, VARIANT_BOOL active) override {
    calls.push_back(L"RegActivate " + std::to_wstring(id) + (active ? L" 1" : L" 0"));
    if (FAILED(activateResult)) {
      if (!activateDescription.empty()) {
        ICreateErrorInfo* create = nullptr;
        CreateErrorInfo(&create);
        create->SetDescription(const_cast<LPOLESTR>(activateDescription.c_str()));
        IErrorInfo* info = nullptr;
        create->QueryInterface(__uuidof(IErrorInfo), reinterpret_cast<void**>(&info));
        SetErrorInfo(0, info);
        info->Release();
        create->Release();
      }
      return activateResult;
    }
    for (Row& r : rows)
      if (r.id == id) r.active = active != VARIANT_FALSE;
    return S_OK;
  }
  STDMETHODIMP RegEditStatuses(LONG, LONG id) override {
    calls.push_back(L"RegEditStatuses " + std::to_wstring(id));
    return E_FAIL;
  }

  struct Row {
    LONG id;
    std::wstring login;
    bool active;
  };
  std::vector<Row> rows;
  std::vector<std::wstring> calls;
  LONG addId = 0;
  HRESULT deleteResult = S_OK;
  HRESULT activateResult = S_OK;
  std::wstring activateDescription;
  int lists = 0;
  ULONG refs = 1;
};

class AccountDialogs : public AccountsTest {
 protected:
  void SetUp() override {
    AccountsTest::SetUp();
    platform::gui::ClearScripts();
    platform::gui::ClearRecords();
    zephra::ClearTips();
    zephra::SetTipsPrinted(false);
    host->Object().ClearEvents();
    manager.rows = {{5, L"jan", true}, {6, L"ewa", false}, {7, L"adam", true}};
  }
  void TearDown() override {
    platform::gui::ClearScripts();
    platform::gui::ResetHeadless();
    AccountsTest::TearDown();
  }
  // Runs the account list dialog with `steps` done on it.
  void RunList(const std::function<void(CRegManagerDlg&, HWND)>& steps) {
    AFX_MANAGE_STATE(LotrixModule().State());
    CRegManagerDlg dialog(&manager);
    platform::gui::QueueModal(platform::gui::ModalScript(L"#101").Do([&](HWND h) { steps(dialog, h); }));
    dialog.DoModal();
  }
  static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
  static void ClickLink(HWND dialog, int id) { platform::gui::Click(GetDlgItem(dialog, id), 2, 2); }
  std::vector<std::wstring> Messages() {
    std::vector<std::wstring> out;
    for (const host::HostEvent& e : host->Object().Events())
      if (e.kind == L"message") out.push_back(e.text);
    return out;
  }

  RecordingManager manager;
};

TEST_F(AccountDialogs, TheMenuLeavesOutTestProvidersAndThoseBeyondFifteen) {
  Run(L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name) VALUES (2, N'Serwis test'), (3, N'Serwis Test'), "
      L"(15, N'Piętnasty'), (16, N'Szesnasty'), (4, NULL)");
  RunList([](CRegManagerDlg& dialog, HWND) {
    CMenu& menu = dialog.ServicesMenu();
    std::vector<std::pair<std::wstring, UINT>> items;
    for (UINT i = 0; i < menu.GetMenuItemCount(); ++i) {
      CString text;
      menu.GetMenuString(i, text, MF_BYPOSITION);
      items.emplace_back(text.GetString(), menu.GetMenuItemID(static_cast<int>(i)));
    }
    EXPECT_EQ(items, (std::vector<std::pair<std::wstring, UINT>>{
                         {L"Serwis wzorcowy", 0x3401}, {L"Serwis Test", 0x3403}, {L"Piętnasty", 0x340F}}));
  });
}

TEST_F(AccountDialogs, TheAddLinksMenuAddsWithShiftRemappingTheFirstTwoProviders) {
  RunList([&](CRegManagerDlg&, HWND h) {
    platform::gui::QueuePopupCommand(0x3401);
    ClickLink(h, 132);
    platform::gui::SetKeyDown(VK_SHIFT, true);
    platform::gui::QueuePopupCommand(0x3401);
    ClickLink(h, 132);
    platform::gui::QueuePopupCommand(0x3402);
    ClickLink(h, 132);
    platform::gui::SetKeyDown(VK_SHIFT, false);
    // The edit command sits right after the providers' commands.
    SendMessageW(h, WM_COMMAND, 13328, 0);
  });
  EXPECT_EQ(manager.calls, (std::vector<std::wstring>{L"RegAdd 1", L"RegAdd 4", L"RegAdd 3", L"RegEdit 5"}));
}

TEST_F(AccountDialogs, AnAddWithoutAnIdLeavesTheGridAndAnAddedOneIsCurrent) {
  RunList([&](CRegManagerDlg& dialog, HWND h) {
    const int lists = manager.lists;
    dialog.List().MoveToId(_variant_t(LONG{6}));
    dialog.AddAccount(0x3401);
    EXPECT_EQ(manager.lists, lists);
    EXPECT_EQ(static_cast<LONG>(dialog.List().GetID()), 6);
    EXPECT_TRUE(host->Object().Events().empty());
    manager.addId = 9;
    dialog.AddAccount(0x3401);
    EXPECT_EQ(dialog.List().Grid().GetRowCount(), 4);
    EXPECT_EQ(static_cast<LONG>(dialog.List().GetID()), 9);
    ASSERT_FALSE(host->Object().Events().empty());
    EXPECT_EQ(host->Object().Events().back().kind, L"refresh");
  });
}

TEST_F(AccountDialogs, EnablingFollowsTheCurrentAccountAndSeveralRowsDisableTheAccountLinks) {
  RunList([&](CRegManagerDlg& dialog, HWND h) {
    EXPECT_FALSE(Enabled(h, 138));   // jan is active
    EXPECT_TRUE(Enabled(h, 139));
    EXPECT_TRUE(Enabled(h, 140));
    dialog.List().MoveToId(_variant_t(LONG{6}));
    EXPECT_TRUE(Enabled(h, 138));
    EXPECT_FALSE(Enabled(h, 139));
    dialog.List().Grid().SelectRow(0, true);
    EXPECT_EQ(dialog.List().GetSelectedCount(), 2);
    EXPECT_FALSE(Enabled(h, 138));
    EXPECT_FALSE(Enabled(h, 139));
    EXPECT_FALSE(Enabled(h, 140));
    dialog.List().Grid().SelectRow(0, false);
    EXPECT_TRUE(Enabled(h, 140));
    EXPECT_TRUE(Enabled(h, 138));
  });
}

TEST_F(AccountDialogs, DeletingAsksAndReportsAFailure) {
  RunList([&](CRegManagerDlg& dialog, HWND h) {
    platform::gui::QueueMessageBoxAnswer(IDNO);
    ClickLink(h, 134);
    EXPECT_TRUE(manager.calls.empty());
    platform::gui::QueueMessageBoxAnswer(IDYES);
    SendMessageW(dialog.List().Grid().m_hWnd, WM_KEYDOWN, VK_DELETE, 0);   // the grid's delete
    EXPECT_EQ(manager.calls, (std::vector<std::wstring>{L"RegDelete 5"}));
    EXPECT_EQ(dialog.List().Grid().GetRowCount(), 2);
    manager.deleteResult = E_ACCESSDENIED;
    platform::gui::QueueMessageBoxAnswer(IDYES);
    ClickLink(h, 134);
  });
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, L"Czy na pewno usunąć informacje rejestracyjne użytkownika serwisu aukcyjnego?");
  EXPECT_EQ(boxes[0].type, 0x134u);
  const auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(std::wstring(tips[0].caption), L"Usuwanie konta");
  EXPECT_EQ(std::wstring(tips[0].text), L"Nie można usunąć wskazanego konta.");
  EXPECT_EQ(tips[0].flags, 0x10u);
}

TEST_F(AccountDialogs, ActivatingAsksAndShowsTheErrorWithTheSystemsTextWhenItHasNoDescription) {
  RunList([&](CRegManagerDlg& dialog, HWND h) {
    dialog.List().MoveToId(_variant_t(LONG{6}));
    platform::gui::QueueMessageBoxAnswer(IDYES);
    ClickLink(h, 138);
    EXPECT_EQ(manager.calls.back(), L"RegActivate 6 1");
    EXPECT_FALSE(Enabled(h, 138));   // reloaded: ewa is active now
    EXPECT_TRUE(Enabled(h, 139));
    manager.activateResult = E_ACCESSDENIED;
    manager.activateDescription = L"Konto zablokowane przez KASA2";
    platform::gui::QueueMessageBoxAnswer(IDYES);
    ClickLink(h, 139);
    manager.activateDescription.clear();
    platform::gui::QueueMessageBoxAnswer(IDYES);
    ClickLink(h, 139);
  });
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text.rfind(L"Czy na pewno aktywować wybrane konto?", 0), 0u);
  EXPECT_EQ(boxes[0].type & 0xF0F, 0x104u);
  EXPECT_EQ(boxes[1].text.rfind(L"Dezaktywowanie konta spowoduje", 0), 0u);
  const auto messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], L"Błąd: Wystąpił błąd:\nKonto zablokowane przez KASA2");
  EXPECT_EQ(messages[1], L"Błąd: Wystąpił błąd:\n" + std::wstring(hxSystemMessage(E_ACCESSDENIED).GetString()));
}

TEST_F(AccountDialogs, TheListDialogIsSavedAsAPicture) {
  RunList([&](CRegManagerDlg&, HWND h) {
    ShowWindow(h, SW_SHOW);
    const std::wstring file = L"/tmp/vantor-regmanager-" + std::to_wstring(::getpid()) + L".png";
    EXPECT_TRUE(platform::gui::SaveWindowPng(h, file));
    EXPECT_EQ(::access(platform::utf8::FromWide(file).c_str(), R_OK), 0);
    std::remove(platform::utf8::FromWide(file).c_str());
  });
}

// --- the seller-zone settings

class ZoneDialog : public AccountDialogs {
 protected:
  void SetUp() override {
    AccountDialogs::SetUp();
    Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_ST_StatusesServiceActive, "
        L"reg_ST_ShowDeliveryAddressForm, reg_ST_ShowDocumentAddressForm, reg_ST_Description, reg_ST_WWW) "
        L"VALUES (5, 1, 'jan', 'x', 1, 1, 1, 'Sklep Jana', 'http://jan.example')");
  }
  // Opens the account's settings through the manager with `steps` done on the dialog.
  HRESULT RunZone(const std::function<void(HWND)>& steps) {
    IRegManagerPtr real = CreateNamed(L"Vantor.RegManager");
    platform::gui::QueueModal(platform::gui::ModalScript(L"#106").Do(steps));
    return real->RegEditStatuses(0, 5);
  }
  bool Stored(const wchar_t* column) {
    const _variant_t v = Value(std::wstring(L"SELECT ") + column + L" FROM reg__Registration WHERE reg_Id=5");
    return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
  }
  static std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[600] = {};
    GetDlgItemTextW(dialog, id, text, 600);
    return text;
  }
  static void Ok(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }
  static int WindowHeight(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return r.bottom - r.top;
  }
  static int Top(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    return r.top;
  }
};

TEST_F(ZoneDialog, OkSendsThenStoresAndWithoutErpTheDocumentAddressIsCleared) {
  doubles::ZoneDoubles zone;
  EXPECT_EQ(RunZone([](HWND h) {
              EXPECT_EQ(IsDlgButtonChecked(h, 1029), static_cast<UINT>(BST_UNCHECKED));
              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 1029)));
              EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 1028)));
              EXPECT_EQ(ItemText(h, 1030), L"Sklep Jana");
              EXPECT_EQ(SendDlgItemMessageW(h, 1030, EM_GETLIMITTEXT, 0, 0), 500);
              EXPECT_EQ(SendDlgItemMessageW(h, 1025, EM_GETLIMITTEXT, 0, 0), 255);
              // Unchecking the service disables the settings but keeps them.
              SendDlgItemMessageW(h, 1027, BM_CLICK, 0, 0);
              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 1028)));
              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 1030)));
              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(h, 1034)));
              Ok(h);
            }),
            S_OK);
  ASSERT_EQ(zone.State().calls.size(), 1u);
  EXPECT_EQ(zone.State().calls[0],
            L"SetPageConfig 5 active=0 document=0 delivery=1 description=Sklep Jana www=http://jan.example");
  EXPECT_FALSE(Stored(L"reg_ST_StatusesServiceActive"));
  EXPECT_TRUE(Stored(L"reg_ST_ShowDeliveryAddressForm"));
  EXPECT_FALSE(Stored(L"reg_ST_ShowDocumentAddressForm"));
  EXPECT_EQ(platform::gui::ModalRuns().back().result, IDOK);
}

TEST_F(ZoneDialog, AnAddressNeedsASchemeSomewhereOrNothing) {
  doubles::ZoneDoubles zone;
  std::wstring stored = L"http://jan.example";
  for (const auto& [address, accepted] : std::vector<std::pair<std::wstring, bool>>{
           {L"www.sklep.pl", false}, {L"sklep: https://sklep.pl", true}, {L"", true}, {L"ftp://x", false}}) {
    zone.State().calls.clear();
    platform::gui::ClearRecords();
    RunZone([&](HWND h) {
      SetDlgItemTextW(h, 1025, address.c_str());
      Ok(h);
    });
    EXPECT_EQ(platform::gui::ModalRuns().back().result, accepted ? IDOK : IDCANCEL) << address;
    EXPECT_EQ(zone.State().calls.size(), accepted ? 1u : 0u) << address;
    if (!accepted) {
      bool told = false;
      for (const auto& box : platform::gui::MessageBoxes())
        told = told || box.text.find(L"Podany adres nie jest poprawny.") != std::wstring::npos;
      EXPECT_TRUE(told) << address;
    } else {
      stored = address;
    }
    EXPECT_EQ(String(L"SELECT reg_ST_WWW FROM reg__Registration WHERE reg_Id=5"), stored) << address;
  }
}

TEST_F(ZoneDialog, AServiceFaultKeepsTheDialogOpenAndTheAccountUntouched) {
  doubles::ZoneDoubles zone;
  zone.State().failures[L"SetPageConfig"] = {static_cast<HRESULT>(0x80044503), L"Strona nie istnieje"};
  bool open = false;
  RunZone([&](HWND h) {
    SetDlgItemTextW(h, 1030, L"Nowa wizytówka");
    Ok(h);
    open = IsWindow(h) && GetDlgItem(h, 1030) != nullptr;
  });
  EXPECT_TRUE(open);
  EXPECT_EQ(platform::gui::ModalRuns().back().result, IDCANCEL);
  EXPECT_EQ(String(L"SELECT reg_ST_Description FROM reg__Registration WHERE reg_Id=5"), L"Sklep Jana");
  const auto messages = Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], L"Błąd: Strona nie istnieje");
}

TEST_F(ZoneDialog, WithoutTheConnectorReadingAndSavingFailWithEPointer) {
  doubles::ZoneDoubles zone(false);
  RunZone([&](HWND h) {
    ClickLink(h, 1032);
    Ok(h);
  });
  EXPECT_EQ(platform::gui::ModalRuns().back().result, IDCANCEL);
  const auto messages = Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0], L"Błąd: " + std::wstring(hxSystemMessage(E_POINTER).GetString()));
  EXPECT_TRUE(zone.State().calls.empty());
}

TEST_F(ZoneDialog, ReadingFromTheServerFillsTheControlsOnly) {
  doubles::ZoneDoubles zone;
  zone.State().pages[5] = {true, false, false, L"Z serwera", L"https://serwer.example"};
  RunZone([&](HWND h) {
    ClickLink(h, 1032);
    EXPECT_EQ(ItemText(h, 1030), L"Z serwera");
    EXPECT_EQ(ItemText(h, 1025), L"https://serwer.example");
    EXPECT_EQ(IsDlgButtonChecked(h, 1028), static_cast<UINT>(BST_UNCHECKED));
    // The local settings again.
    ClickLink(h, 1033);
    EXPECT_EQ(ItemText(h, 1030), L"Sklep Jana");
  });
  EXPECT_EQ(String(L"SELECT reg_ST_Description FROM reg__Registration WHERE reg_Id=5"), L"Sklep Jana");
}

TEST_F(ZoneDialog, TheAdvancedSectionResizesMovesTheButtonsAndShowsTheMarkers) {
  doubles::ZoneDoubles zone;
  zone.State().failures[L"ForceSendAll"] = {E_FAIL, L"nie"};
  RunZone([&](HWND h) {
    EXPECT_EQ(WindowHeight(h), CRegStatusesDlg::kHeightPlain);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 1035)));
    const int okTop = Top(h, IDOK);
    ClickLink(h, 1034);
    EXPECT_EQ(WindowHeight(h), CRegStatusesDlg::kHeightAdvanced);
    EXPECT_EQ(Top(h, IDOK) - okTop, CRegStatusesDlg::kHeightAdvanced - CRegStatusesDlg::kHeightPlain);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, 1035)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(h, 1036)));
    EXPECT_EQ(ItemText(h, 1043), L"");
    ClickLink(h, 1035);
    ClickLink(h, 1036);
    EXPECT_EQ(ItemText(h, 1043), L"(ustawione)");
    EXPECT_EQ(ItemText(h, 1044), L"(ustawione)");
    const std::wstring file = L"/tmp/vantor-regstatuses-" + std::to_wstring(::getpid()) + L".png";
    ShowWindow(h, SW_SHOW);
    EXPECT_TRUE(platform::gui::SaveWindowPng(h, file));
    std::remove(platform::utf8::FromWide(file).c_str());
    Ok(h);
  });
  EXPECT_EQ(platform::gui::ModalRuns().back().result, IDOK);
  const auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(std::wstring(tips[0].caption), L"Pobranie danych");
  EXPECT_EQ(std::wstring(tips[1].caption), L"Wysyłanie danych");
  EXPECT_EQ(tips[0].flags, 0x40u);
  // The emergency receive moved the cut-off back; the emergency send was asked and its error dropped.
  const _variant_t cutoff = Value(L"SELECT reg_ST_LastSynch FROM reg__Registration WHERE reg_Id=5");
  ASSERT_EQ(cutoff.vt, VT_DATE);
  EXPECT_EQ(cutoff.date, static_cast<DATE>(COleDateTime(2007, 1, 1, 0, 0, 0)));
  ASSERT_EQ(zone.State().calls.size(), 2u);
  EXPECT_EQ(zone.State().calls[1], L"ForceSendAll 5");
}

TEST_F(ZoneDialog, CancellingDropsTheEmergencyRequests) {
  doubles::ZoneDoubles zone;
  RunZone([&](HWND h) {
    ClickLink(h, 1034);
    ClickLink(h, 1035);
    ClickLink(h, 1035);   // off again
    EXPECT_EQ(ItemText(h, 1043), L"");
    ClickLink(h, 1036);
    SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(zone.State().calls.empty());
  EXPECT_EQ(Value(L"SELECT reg_ST_LastSynch FROM reg__Registration WHERE reg_Id=5").vt, VT_NULL);
}

// The program's dialogs show the database: the account list its accounts in the grid, the
// settings dialog the selected account (else the first), the run dialogs the stored options.
TEST_F(ZoneDialog, TheProgramsDialogsShowTheDatabasesAccountsAndOptions) {
  Run(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username, reg_Accesskey, reg_ST_StatusesServiceActive, "
      L"reg_ST_Description) VALUES (6, 1, 'ewa_sprzedaje', 'x', 0, 'Kramik Ewy')");
  Run(L"UPDATE kd_ProgramParams SET pa_AuctSyncTransaction = 0, pa_AuctSyncFeedbackMax = 100");
  doubles::ZoneDoubles zone;
  auto sample = [](const wchar_t* name) {
    const platform::gui::DialogSample* found = platform::gui::FindDialogSample(name);
    return found ? found->create() : nullptr;
  };

  std::unique_ptr<CWnd> list = sample(L"#101");
  auto* accounts = dynamic_cast<CRegManagerDlg*>(list.get());
  ASSERT_NE(accounts, nullptr);
  CBaseGrid& grid = accounts->List().Grid();
  std::wstring shown;
  for (ROWCOL row = 0; row <= static_cast<ROWCOL>(grid.GetRowCount()); ++row)
    for (ROWCOL col = 1; col <= grid.GetColCount(); ++col) shown += std::wstring(grid.GetValueRowCol(row, col)) + L"|";
  for (const wchar_t* text : {L"Nazwa konta|", L"jan|", L"ewa_sprzedaje|", L"Serwis wzorcowy|"})
    EXPECT_NE(shown.find(text), std::wstring::npos) << text << L" in " << shown;
  list.reset();

  std::unique_ptr<CWnd> first = sample(L"#106");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ItemText(first->m_hWnd, 1030), L"Sklep Jana");
  EXPECT_EQ(IsDlgButtonChecked(first->m_hWnd, 1027), BST_CHECKED);
  first.reset();
  host->Object().SetSelection(6, 0, 0);
  std::unique_ptr<CWnd> selected = sample(L"#106");
  ASSERT_NE(selected, nullptr);
  EXPECT_EQ(ItemText(selected->m_hWnd, 1030), L"Kramik Ewy");
  EXPECT_EQ(IsDlgButtonChecked(selected->m_hWnd, 1027), BST_UNCHECKED);
  selected.reset();
  // The account was only shown: nothing of it changed, no edit lock is left.
  EXPECT_EQ(static_cast<LONG>(Value(L"SELECT COUNT(*) FROM kd_blokada")), 0);

  std::unique_ptr<CWnd> receive = sample(L"#108");
  ASSERT_NE(receive, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(receive->m_hWnd, 1037), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(receive->m_hWnd, 1044), BST_CHECKED);
  EXPECT_EQ(ItemText(receive->m_hWnd, 1039), L"100");
}

// --- every dialog template of the libraries and the host

// The part of a control that its text may take and how it is laid out there; false for controls
// without a text of their own (frames, pictures, edits, lists).
bool TextArea(HWND control, RECT& area, UINT& format) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
  GetClientRect(control, &area);
  if (lstrcmpiW(name, L"Static") == 0) {
    const DWORD type = style & SS_TYPEMASK;
    if (style & SS_ENDELLIPSIS) return false;   // cut with "..." by design
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) format = DT_WORDBREAK;
    else if (type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) format = DT_SINGLELINE;
    else return false;
    return true;
  }
  if (lstrcmpiW(name, L"Button") == 0) {
    const DWORD type = style & BS_TYPEMASK;
    if (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX && type != BS_3STATE && type != BS_AUTO3STATE &&
        type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON)
      return false;
    area.left += 13 + 4;   // the box and the gap before the text
    format = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    return true;
  }
  if (lstrcmpiW(name, L"kd_hyperlink") == 0) {
    format = DT_SINGLELINE;
    return true;
  }
  return false;
}

// Every static text, check box and link of every dialog template that the libraries and the host
// keep shows its whole text in the dialog's font: on its line, or a word-wrapping static within
// its height once wrapped.
TEST(DialogTemplates, EveryLabelFitsItsControlInTheDialogFont) {
  std::set<std::wstring> modules;
  size_t labels = 0;
  for (const platform::gui::DialogTemplateEntry& t : platform::gui::DialogTemplates()) {
    ASSERT_NE(t.dialog, nullptr) << t.name;
    modules.insert(t.moduleName);
    HWND dialog = platform::gui::CreateDialogFromTemplate(t.module, *t.dialog, nullptr, nullptr, 0, t.name);
    ASSERT_NE(dialog, nullptr) << t.name;
    HDC dc = GetDC(dialog);
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t text[512] = {};
      GetWindowTextW(c, text, 512);
      RECT area{};
      UINT format = 0;
      if (!text[0] || !TextArea(c, area, format)) continue;
      ++labels;
      const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
      RECT needed{0, 0, area.right - area.left, 0};
      DrawTextW(dc, text, -1, &needed, format | DT_CALCRECT);
      SelectObject(dc, old);
      EXPECT_LE(needed.right, area.right - area.left) << t.moduleName << L" " << t.name << L": " << text;
      EXPECT_LE(needed.bottom, area.bottom - area.top) << t.moduleName << L" " << t.name << L": " << text;
    }
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);
  }
  EXPECT_EQ(modules, (std::set<std::wstring>{L"Lotrix", L"Vantor", L"VantorHost"}));
  EXPECT_GT(labels, 50u);
}

}  // namespace
}  // namespace accounts_test
