// The auction-template chooser on the host's product database with a template plug-in double.
#include <gtest/gtest.h>

#include "framework/messages.h"
#include "host/schema.h"
#include "platform/gui/headless.h"
#include "platform/registry/registry.h"
#include "shared/controls/szablonwybordlg.h"
#include "shared/tests/fixture.h"
#include "testing/host_doubles/template_doubles.h"

namespace {

using platform::gui::ModalScript;

class ChooserTest : public testutil::HostTest {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    platform::registry::UseMemoryStore();
    HostTest::SetUp();
    host::UpgradeSchema(cn);
    for (const wchar_t* sql : {
             L"INSERT INTO sl_ServiceProvider (ss_Id, ss_Name, ss_TemplateProgId) VALUES "
             L"(2, N'Aukcje A', 'Test.Template'), (3, N'Aukcje B', 'Nikt.Nie.Zarejestrowal')",
             L"INSERT INTO st__Site (st_Id, st_SiteId, st_SvcProvId, st_Name) VALUES (10, 1, 2, N'Serwis A'), "
             L"(20, 1, 3, N'Serwis B')",
             L"INSERT INTO st_AuctionType (at_Id, at_Name, at_SvcProvId, at_SiteId) VALUES (1, N'Licytacja', 2, 1), "
             L"(2, N'Kup teraz', 2, 1)",
             L"INSERT INTO st_Duration (sd_Id, sd_Name, sd_SvcProvId, sd_SiteId) VALUES (1, N'7 dni', 2, 1)",
             L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (12, 2, 'jan'), (13, 2, 'ewa')",
             L"INSERT INTO au__Auction (au_Id, au_SiteId, au_RegId, au_SvcProvId, au_Note, au_Title, au_TypeId, "
             L"au_DurationId, au_Template) VALUES "
             L"(101, 10, 12, 2, N'Lampy', N'Lampa stołowa mosiężna', 1, 1, 1), "
             L"(102, 10, NULL, 2, N'Ogólny', N'Przedmiot z kolekcji', 2, NULL, 1), "
             L"(103, 10, 13, 2, N'Cudzy', N'Kubek', NULL, NULL, 1), "
             L"(104, 20, 12, 3, N'Bez wtyczki', N'Talerz', 1, 1, 1), "
             L"(105, 10, 12, 2, N'Aukcja', N'Nie szablon', 1, 1, 0)"})
      testutil::Exec(cn, sql);
    plugin = std::make_unique<doubles::TemplatePlugin>(host->recorder, L"Test.Template");
    zephra::ClearTips();
  }
  void TearDown() override {
    plugin.reset();
    HostTest::TearDown();
    platform::gui::ResetHeadless();
    zephra::ClearTips();
  }
  // The template ids the chooser lists for a site and account, in list order.
  std::vector<LONG> Listed(LONG site, LONG account) {
    CSzablonAukcjiWyborDlg dialog;
    dialog.m_siteId = site;
    dialog.m_regId = account;
    EXPECT_TRUE(dialog.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor)));
    std::vector<LONG> ids;
    CBaseGrid& grid = dialog.m_list.Grid();
    for (int row = 0; row < grid.GetRowCount(); ++row) ids.push_back(static_cast<LONG>(grid.GetRowID(row)));
    filter = dialog.m_list.GetUserFilter();
    dialog.DestroyWindow();
    return ids;
  }
  std::vector<std::wstring> Calls(const wchar_t* method) { return host->recorder->ArgsOf(method); }

  std::unique_ptr<doubles::TemplatePlugin> plugin;
  CString filter;
};

TEST_F(ChooserTest, SiteAloneListsItsTemplates) {
  EXPECT_EQ(Listed(10, 0), (std::vector<LONG>{101, 102, 103}));
  EXPECT_EQ(filter, CString(L"au_SiteId=10"));
  EXPECT_EQ(Listed(20, -5), (std::vector<LONG>{104}));
}

TEST_F(ChooserTest, AccountAlsoAdmitsTemplatesOfNoAccount) {
  EXPECT_EQ(Listed(10, 12), (std::vector<LONG>{101, 102}));
  EXPECT_EQ(filter, CString(L"au_SiteId=10 AND (au_RegId=12 OR au_RegId IS NULL)"));
  EXPECT_EQ(Listed(10, 13), (std::vector<LONG>{102, 103}));
}

TEST_F(ChooserTest, WithoutSiteTheListIsEmpty) {
  EXPECT_TRUE(Listed(CSzablonAukcjiWyborDlg::kNoValue, 12).empty());
  EXPECT_EQ(filter, CString(L"au_SiteId=-2147483648 AND (au_RegId=12 OR au_RegId IS NULL)"));
}

TEST_F(ChooserTest, ListShowsTheJoinedNamesUnderTheirCaptions) {
  CSzablonAukcjiWyborDlg dialog;
  dialog.m_siteId = 10;
  ASSERT_TRUE(dialog.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor)));
  CBaseGrid& grid = dialog.m_list.Grid();
  ASSERT_EQ(grid.GetColCount(), 5u);
  const wchar_t* captions[] = {L"Serwis", L"Nazwa szablonu", L"Tytuł aukcji", L"Typ aukcji", L"Data wystawienia"};
  for (ROWCOL col = 1; col <= 5; ++col) EXPECT_EQ(grid.GetValueRowCol(0, col), CString(captions[col - 1]));
  EXPECT_EQ(grid.GetValueRowCol(1, 1), CString(L"Aukcje A"));
  EXPECT_EQ(grid.GetValueRowCol(1, 2), CString(L"Lampy"));
  EXPECT_EQ(grid.GetValueRowCol(1, 4), CString(L"Licytacja"));
  EXPECT_EQ(grid.GetValueRowCol(3, 4), CString());
  EXPECT_EQ(dialog.m_list.GetTitle(), CString(L"Lista szablonów aukcji"));
  EXPECT_EQ(dialog.m_list.GetListInfo().name, CString(L"SzablonAukcjiWyborDlg"));
  EXPECT_EQ(dialog.GetHelpTopic(), CString(L"Okno_Wybor_szablonu_aukcji"));
  dialog.DestroyWindow();
}

TEST_F(ChooserTest, OkTakesTheCurrentTemplate) {
  CSzablonAukcjiWyborDlg dialog;
  dialog.m_siteId = 10;
  dialog.m_regId = 12;
  platform::gui::QueueModal(
      ModalScript(L"#13030").Do([&](HWND) { dialog.m_list.MoveToId(_variant_t(LONG{102})); }).Click(IDOK));
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_templateId, 102);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(dialog.m_note)), L"Ogólny");
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(dialog.m_title)), L"Przedmiot z kolekcji");
  EXPECT_TRUE(zephra::RecordedTips().empty());
}

TEST_F(ChooserTest, OkWithoutARowKeepsTheDialogOpen) {
  CSzablonAukcjiWyborDlg dialog;
  bool openAfterOk = false;
  platform::gui::QueueModal(ModalScript(L"#13030")
                                .Click(IDOK)
                                .Do([&](HWND h) { openAfterOk = ::IsWindow(h) && ::IsWindowVisible(h); })
                                .Click(IDCANCEL));
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(openAfterOk);
  EXPECT_EQ(dialog.m_templateId, CSzablonAukcjiWyborDlg::kNoValue);
  EXPECT_EQ(dialog.m_note.length(), 0u);
  const auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].caption, L"Wybór szablonu aukcji");
  EXPECT_EQ(tips[0].text, L"Należy wybrać pozycję z listy.");
}

TEST_F(ChooserTest, ShowLoadsTheTemplateAndShowsItOwnedByTheDialog) {
  CSzablonAukcjiWyborDlg dialog;
  dialog.m_siteId = 10;
  LONG hwnd = 0;
  platform::gui::QueueModal(ModalScript(L"#13030")
                                .Do([&](HWND h) {
                                  hwnd = static_cast<LONG>(reinterpret_cast<INT_PTR>(h));
                                  dialog.m_list.MoveToId(_variant_t(LONG{101}));
                                })
                                .Click(CSzablonAukcjiWyborDlg::IDC_SHOW)
                                .Do([&](HWND) {
                                  dialog.m_list.MoveToId(_variant_t(LONG{103}));
                                  dialog.m_list.Grid().NotifyShow();
                                })
                                .Click(IDCANCEL));
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(Calls(L"Template::Load"), (std::vector<std::wstring>{L"factory,I4:101", L"factory,I4:103"}));
  const std::wstring shown = std::to_wstring(hwnd) + L",instance";
  EXPECT_EQ(Calls(L"Template::ShowReadOnly"), (std::vector<std::wstring>{shown, shown}));
  // The plug-in kept no reference to the window face; the ended dialog's face has no window.
  EXPECT_EQ(dialog.ExternalReferences(), 0u);
  LONG after = 1;
  EXPECT_EQ(dialog.GetOleWindow()->GetWindow(&after), E_FAIL);
}

TEST_F(ChooserTest, ShowWithoutARowTellsSo) {
  CSzablonAukcjiWyborDlg dialog;
  dialog.m_siteId = 10;
  platform::gui::QueueModal(ModalScript(L"#13030")
                                .Do([&](HWND) { dialog.m_list.RemoveRow(dialog.m_list.GetID()); })
                                .Do([&](HWND) {
                                  while (dialog.m_list.Grid().GetRowCount() > 0) dialog.m_list.RemoveRow(dialog.m_list.GetID());
                                })
                                .Click(CSzablonAukcjiWyborDlg::IDC_SHOW)
                                .Click(IDCANCEL));
  dialog.DoModal();
  const auto tips = zephra::RecordedTips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].caption, L"Pokaż szablon");
  EXPECT_TRUE(Calls(L"Template::Load").empty());
}

TEST_F(ChooserTest, UnregisteredOrFailingPluginsAreDropped) {
  CSzablonAukcjiWyborDlg dialog;
  dialog.m_siteId = 20;
  ASSERT_TRUE(dialog.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor)));
  dialog.OnPokaz();   // template 104: its provider's ProgID names no class
  EXPECT_TRUE(Calls(L"Template::Load").empty());
  dialog.DestroyWindow();

  CSzablonAukcjiWyborDlg other;
  other.m_siteId = 10;
  ASSERT_TRUE(other.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor)));
  host->recorder->FailOn(L"Template::Load", E_FAIL, 1);
  other.OnPokaz();
  EXPECT_EQ(Calls(L"Template::Load").size(), 1u);
  EXPECT_TRUE(Calls(L"Template::ShowReadOnly").empty());
  plugin->options->withoutItem = true;
  other.OnPokaz();
  EXPECT_EQ(Calls(L"Template::Load").size(), 1u);
  plugin->options->withoutItem = false;
  plugin->options->withoutView = true;
  other.OnPokaz();
  EXPECT_EQ(Calls(L"Template::Load").size(), 2u);
  EXPECT_TRUE(Calls(L"Template::ShowReadOnly").empty());
  EXPECT_TRUE(zephra::RecordedTips().empty());
  other.DestroyWindow();
}

TEST_F(ChooserTest, WindowFaceCountsReferencesWithoutOwningTheDialog) {
  CSzablonAukcjiWyborDlg dialog;
  ASSERT_TRUE(dialog.Create(MAKEINTRESOURCEW(kIddSzablonAukcjiWybor)));
  IFlgWnd* face = dialog.GetOleWindow();
  IUnknown* unknown = nullptr;
  ASSERT_EQ(face->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(dialog.ExternalReferences(), 1u);
  EXPECT_EQ(face->AddRef(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(face->Release(), 0u);
  EXPECT_EQ(face->Release(), 0u);
  void* none = nullptr;
  EXPECT_EQ(face->QueryInterface(__uuidof(IFlgItem), &none), E_NOINTERFACE);
  LONG hwnd = 0;
  EXPECT_EQ(face->GetWindow(&hwnd), S_OK);
  EXPECT_EQ(hwnd, static_cast<LONG>(reinterpret_cast<INT_PTR>(dialog.m_hWnd)));
  dialog.DestroyWindow();
  EXPECT_EQ(face->GetWindow(&hwnd), E_FAIL);
}

TEST_F(ChooserTest, MissingViewLeavesTheListEmpty) {
  testutil::Exec(cn, L"DROP VIEW vw_AuctionTemplate");
  EXPECT_TRUE(Listed(10, 12).empty());
}

}  // namespace
