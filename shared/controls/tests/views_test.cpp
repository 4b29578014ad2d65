// Views, tasks and shortcuts: the catalogue, shortcut texts, the task table, the view list and
// its owner's veto, and the switch to a customer through the host's navigation.
#include "shared/controls/hxtask.h"
#include "shared/controls/hxviews.h"
#include "shared/controls/tests/support.h"
#include "shared/hxinstance.h"
#include "testing/host_doubles/host_doubles.h"

namespace {

using controls_test::Host;

GUID Guid(const wchar_t* text) {
  GUID g{};
  CLSIDFromString(text, &g);
  return g;
}

const GUID kCustomers = Guid(L"{B8900073-DE4B-490E-83AD-0774F42737F0}");
const GUID kMessages = Guid(L"{A7AA4AE3-B804-4322-9A28-D26D6AAF768E}");
const GUID kTransactions = Guid(L"{6F98FEF3-18C4-49D3-9E3C-BCBEB587DE09}");

TEST(ViewTranslator, FindsContextsByExactKeyAndLabelsByContext) {
  CHxViewTranslator views;
  EXPECT_EQ(views.GetCount(), 40);
  EXPECT_EQ(views.GetCtx(kCustomers, L"Zalegajacy"), 2);
  EXPECT_EQ(views.GetCtx(kTransactions, L"DoZatwierdzenia"), 9);
  EXPECT_EQ(views.GetCtx(kMessages, L"DoWyslania"), 4);
  EXPECT_EQ(views.GetCtx(kCustomers, L"zalegajacy"), 0);   // case counts
  EXPECT_EQ(views.GetCtx(kCustomers, L"Nieznany"), 0);     // as the first entry's context
  EXPECT_EQ(views.GetCtx(kCustomers, nullptr), 0);
  EXPECT_EQ(views.GetCtx(GUID_NULL, L"Wszyscy"), 0);
  EXPECT_STREQ(views.GetLabel(kCustomers, 2), L"Do zapłaty");
  EXPECT_STREQ(views.GetLabel(kMessages, 4), L"Skrzynka nadawcza");
  EXPECT_STREQ(views.GetLabel(kMessages, 3), L"Wysłane");
  EXPECT_STREQ(views.GetLabel(kTransactions, 2), L"Oczekujace na płatność");
  EXPECT_EQ(views.GetLabel(kCustomers, 4), nullptr);
  EXPECT_EQ(views.GetLabel(GUID_NULL, 0), nullptr);
}

TEST(Tasks, ShortcutTextsAreBuiltOnceAndShared) {
  const wchar_t* k = CHxTask::GetShortcut(CHxTask::htSwitchToCustomer);
  ASSERT_NE(k, nullptr);
  EXPECT_STREQ(k, L"Ctrl+K");
  EXPECT_EQ(CHxTask::GetShortcut(CHxTask::htSwitchToCustomer), k);
  const int kept = CHxTask::m_list.GetCount();
  EXPECT_STREQ(CHxTask::GetShortcut(CHxTask::htPackagePrints), L"Ctrl+Shift+P");
  EXPECT_EQ(CHxTask::m_list.GetCount(), kept + 1);
  EXPECT_EQ(CHxTask::GetShortcutKey(CHxTask::htPackagePrints), 'P');
  EXPECT_EQ(CHxTask::GetShortcutModifier(CHxTask::htPackagePrints), 12);
  // Two tasks with one shortcut get one text.
  EXPECT_EQ(CHxTask::GetShortcut(CHxTask::htMarkSentReceived), CHxTask::GetShortcut(CHxTask::htRegisterFullPayment));
  EXPECT_STREQ(CHxTask::GetShortcut(CHxTask::htNotReadyToList), L"Ctrl+Shift+G");
}

TEST(Tasks, FixedTextsHaveNoKeysAndTheTableHoldsItsFlags) {
  EXPECT_STREQ(CHxTask::GetShortcut(CHxTask::htPostComments), L"Insert");
  EXPECT_EQ(CHxTask::GetShortcutKey(CHxTask::htPostComments), 0);
  EXPECT_STREQ(CHxTask::GetShortcut(CHxTask::htShow), L"F3");
  EXPECT_STREQ(CHxTask::GetShortcut(CHxTask::htDuplicateTemplate), L"Ctrl+D");
  EXPECT_EQ(CHxTask::GetShortcut(CHxTask::htReverseView), nullptr);
  EXPECT_EQ(CHxTask::GetShortcut(CHxTask::htHelp), nullptr);
  EXPECT_STREQ(CHxTask::GetDescr(CHxTask::htAcceptZoneChanges), L"Zatwierdź zmiany ze Strefy Vantor");
  EXPECT_STREQ(CHxTask::GetDescr(CHxTask::htUndescribed), L"Brak opisu, zajrzyj do CHxTask::GetDescr");
  EXPECT_TRUE(CHxTask::Emphasize(CHxTask::htUndescribed));
  EXPECT_TRUE(CHxTask::IsTaskSpecific(CHxTask::htUndescribed));
  EXPECT_TRUE(CHxTask::Emphasize(CHxTask::htReply));
  EXPECT_FALSE(CHxTask::IsTaskSpecific(CHxTask::htReply));
  EXPECT_FALSE(CHxTask::Emphasize(CHxTask::htCreatePackage));
  EXPECT_TRUE(CHxTask::IsTaskSpecific(CHxTask::htCreatePackage));
  EXPECT_EQ(CHxTask::SkinImage(CHxTask::htCreatePackage), 0);
  // A value the table does not have.
  const auto unknown = static_cast<CHxTask::HxTaskEnum>(0x1234);
  EXPECT_STREQ(CHxTask::GetDescr(unknown), L"Brak opisu, zajrzyj do CHxTask::GetDescr");
  EXPECT_EQ(CHxTask::GetShortcut(unknown), nullptr);
  EXPECT_FALSE(CHxTask::Emphasize(unknown));
}

// A view item with a plain child window, recording what it is told.
class Item : public CHxViewItem {
 public:
  Item(int id, const GUID& view, LONG context, CSize size, std::vector<std::wstring>* log)
      : CHxViewItem(id, L"", nullptr, nullptr, view, context), m_size(size), m_log(log) {}
  BOOL Create(const CRect& rect, CWnd* parent) override {
    created = rect;
    return window.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, rect, parent, static_cast<UINT>(Id()));
  }
  HWND GetHWND() override { return window.m_hWnd; }
  void Invalidate(bool erase) override { m_log->push_back(L"invalidate " + std::to_wstring(Id())); }
  void Select(bool select) override {
    selected = select;
    m_log->push_back((select ? L"select " : L"unselect ") + std::to_wstring(Id()));
  }
  void GetSize(CSize& size) override { size = m_size; }
  CRect Placed() {
    CRect r;
    window.GetWindowRect(&r);
    window.GetParent()->ScreenToClient(&r);
    return r;
  }
  CWnd window;
  CRect created;
  bool selected = false;

 private:
  CSize m_size;
  std::vector<std::wstring>* m_log;
};

class ViewList : public controls_test::Fixture {
 protected:
  void SetUp() override {
    Fixture::SetUp();
    ASSERT_TRUE(host.Make());
    a = new Item(1, kCustomers, 0, CSize(50, 20), &log);
    b = new Item(2, kCustomers, 1, CSize(70, 25), &log);
    c = new Item(3, kMessages, 1, CSize(30, 22), &log);
    list.AddItem(a);
    list.AddItem(b);
    list.AddItem(c);
  }
  Host host;
  CHxViewList list{&host};
  std::vector<std::wstring> log;
  Item *a, *b, *c;
};

TEST_F(ViewList, SelectingAsksTheOwnerAndSwapsTheSelection) {
  EXPECT_EQ(a->List(), &list);
  EXPECT_TRUE(list.SelectItem(kCustomers, 1));
  EXPECT_EQ(host.asked, 1);
  EXPECT_EQ(list.GetSelectedIndex(), 1);
  EXPECT_EQ(list.SelectedView(), kCustomers);
  EXPECT_EQ(list.SelectedViewCtx(), 1);
  EXPECT_EQ(log, (std::vector<std::wstring>{L"select 2", L"unselect 1"}));
  log.clear();
  c->OnSelect();   // an item asks for itself
  EXPECT_EQ(list.GetSelectedIndex(), 2);
  EXPECT_EQ(log, (std::vector<std::wstring>{L"select 3", L"unselect 2"}));
  EXPECT_FALSE(list.SelectItem(kMessages, 7));
  EXPECT_EQ(host.asked, 2);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));   // the wait cursor is gone again
}

TEST_F(ViewList, TheOwnersVetoKeepsTheSelection) {
  list.SelectDefaultItem();
  ASSERT_EQ(list.GetSelectedIndex(), 0);
  log.clear();
  host.answer = 0;
  EXPECT_FALSE(list.SelectItem(kMessages, 1));
  EXPECT_EQ(list.GetSelectedIndex(), 0);
  EXPECT_EQ(list.SelectedViewCtx(), 0);
  EXPECT_TRUE(log.empty());
}

TEST_F(ViewList, ChoosingShowsTheMatchesWithoutAskingAnybody) {
  EXPECT_TRUE(list.ChooseSelected(kCustomers, 1));
  EXPECT_EQ(host.asked, 0);
  EXPECT_FALSE(a->selected);
  EXPECT_TRUE(b->selected);
  EXPECT_FALSE(c->selected);
  EXPECT_EQ(list.GetSelectedIndex(), 0);
  list.InvalidateWindows();
  EXPECT_EQ(log.back(), L"invalidate 3");
}

TEST_F(ViewList, WindowsAreMadeInSlotsAndLinedUpWithoutGaps) {
  ASSERT_TRUE(list.Create());
  EXPECT_EQ(b->created, CRect(100, 0, 200, 30));
  list.LineLayout();
  EXPECT_EQ(a->Placed(), CRect(20, 0, 70, 20));
  EXPECT_EQ(b->Placed(), CRect(70, 0, 140, 25));
  EXPECT_EQ(c->Placed(), CRect(140, 0, 170, 22));
  // An item whose window is gone is left out; the others still move.
  b->window.DestroyWindow();
  list.LineLayout();
  EXPECT_EQ(c->Placed(), CRect(70, 0, 100, 22));
}

TEST_F(ViewList, AnEmptyListAnswersTheNullView) {
  list.Clean();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.SelectedView(), GUID_NULL);
  EXPECT_EQ(list.SelectedViewCtx(), 0);
  EXPECT_FALSE(list.SelectItem(kCustomers, 0));
  list.SelectDefaultItem();
  list.LineLayout();
  EXPECT_EQ(host.asked, 0);
  CHxViewList orphan(nullptr);
  orphan.AddItem(new Item(9, kCustomers, 0, CSize(1, 1), &log));
  EXPECT_FALSE(orphan.SelectItem(kCustomers, 0));   // nobody to agree
  EXPECT_EQ(orphan.SelectedView(), kCustomers);
}

class Switcher : public ::testing::Test {
 protected:
  void SetUp() override { CHxInstance::SetInstance(doubles.instancePtr); }
  void TearDown() override { CHxInstance::SetInstance(nullptr); }
  std::vector<std::wstring> Calls() {
    std::vector<std::wstring> out;
    for (const std::wstring& call : doubles.recorder->Calls())
      if (call.find(L"Navigation") != std::wstring::npos || call.find(L"CustomerView") != std::wstring::npos)
        out.push_back(call);
    return out;
  }
  doubles::HostDoubles doubles;
};

TEST_F(Switcher, SwitchesToTheCustomerListAndShowsTheCustomer) {
  CHxSwitcher::SwitchOnCustomer(42);
  EXPECT_EQ(Calls(), (std::vector<std::wstring>{L"IFlgInstance::GetNavigation()",
                                                L"IHxNavigation::SwitchView({B8900073-DE4B-490E-83AD-0774F42737F0},3:0)",
                                                L"IHxNavigation::GetActiveView()",
                                                L"IHxCustomerView::ShowCustomer(42)"}));
}

TEST_F(Switcher, EveryFailureEndsTheCallQuietly) {
  doubles.recorder->FailOn(L"IHxNavigation::SwitchView", E_FAIL, 1);
  CHxSwitcher::SwitchOnCustomer(1);
  EXPECT_EQ(Calls().size(), 2u);   // no view asked for after a failed switch
  doubles.recorder->Clear();
  doubles.recorder->FailOn(L"IFlgInstance::GetNavigation", E_ACCESSDENIED, 1);
  CHxSwitcher::SwitchOnCustomer(1);
  EXPECT_EQ(Calls().size(), 1u);
  doubles.recorder->Clear();
  doubles.recorder->FailOn(L"IHxNavigation::GetActiveView", E_UNEXPECTED, 1);
  CHxSwitcher::SwitchOnCustomer(1);
  EXPECT_EQ(Calls().size(), 3u);
  doubles.recorder->Clear();
  doubles.recorder->FailOn(L"IHxCustomerView::ShowCustomer", E_FAIL, 1);
  CHxSwitcher::SwitchOnCustomer(1);
  EXPECT_EQ(Calls().size(), 4u);
  doubles.recorder->Clear();
  doubles.instance->hidden.insert(L"IHxCustomerView");   // another list is active
  CHxSwitcher::SwitchOnCustomer(1);
  EXPECT_EQ(Calls().size(), 3u);
  doubles.instance->hidden.insert(L"IHxNavigation");
  CHxSwitcher::SwitchOnCustomer(1);
  CHxInstance::SetInstance(nullptr);
  CHxSwitcher::SwitchOnCustomer(1);
}

}  // namespace
