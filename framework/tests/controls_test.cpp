// The framework's combo and list box fills, the flexible layout, the message hook's suspension
// and the change tracker bases.
#include <gtest/gtest.h>

#include "framework/controls.h"
#include "framework/fill.h"
#include "framework/flexlayout.h"
#include "framework/svcapp.h"
#include "framework/tracker.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/headless.h"

namespace {

constexpr char kDialog[] = R"(DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION | WS_THICKFRAME
CAPTION "Test"
BEGIN
  COMBOBOX        100, 7, 7, 100, 80, CBS_DROPDOWNLIST
  LISTBOX         101, 7, 30, 100, 40
  PUSHBUTTON      "OK", IDOK, 143, 79, 50, 14
  EDITTEXT        102, 110, 7, 83, 65
END
)";

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    CoInitialize(nullptr);
    platform::gui::DialogTemplate t;
    ASSERT_TRUE(platform::gui::ParseDialogTemplate(kDialog, t));
    dialog = platform::gui::CreateDialogFromTemplate(nullptr, t, nullptr, nullptr, 0, L"TEST");
    ASSERT_TRUE(dialog);
    dx = std::make_unique<CFlgDataExchange>(&errors, dialog, L"TEST", FALSE);
    ASSERT_EQ(rs.CreateInstance(__uuidof(Recordset)), S_OK);
    rs->Fields->Append(L"id", adInteger, 4, adFldIsNullable);
    rs->Fields->Append(L"a", adVarWChar, 20, adFldIsNullable);
    rs->Fields->Append(L"b", adVarWChar, 20, adFldIsNullable);
    rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  }
  void TearDown() override {
    rs = nullptr;
    dx.reset();
    platform::gui::ResetHeadless();
    CoUninitialize();
  }
  void Row(const _variant_t& id, const _variant_t& a, const _variant_t& b) {
    rs->AddNew();
    rs->Fields->Item[L"id"]->Value = id;
    rs->Fields->Item[L"a"]->Value = a;
    rs->Fields->Item[L"b"]->Value = b;
    rs->Update();
  }
  std::vector<std::pair<std::wstring, LONG>> Combo() {
    std::vector<std::pair<std::wstring, LONG>> out;
    const LRESULT n = SendDlgItemMessageW(dialog, 100, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      wchar_t text[128] = {};
      SendDlgItemMessageW(dialog, 100, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.emplace_back(text, static_cast<LONG>(SendDlgItemMessageW(dialog, 100, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
    }
    return out;
  }
  static _variant_t Null() {
    _variant_t v;
    v.vt = VT_NULL;
    return v;
  }

  HWND dialog = nullptr;
  CObjErrorInfoArray errors;
  std::unique_ptr<CFlgDataExchange> dx;
  _RecordsetPtr rs;
};

TEST_F(Controls, FillsFormatTheDisplayColumnsWithNullShownEmpty) {
  Row(_variant_t(LONG{7}), _variant_t(L"PLN"), _variant_t(L"złoty"));
  Row(_variant_t(L"8"), _variant_t(L"EUR"), Null());
  const wchar_t* columns[] = {L"a", L"b"};
  EXPECT_EQ(CB_Fill(*dx, 100, rs, L"id", L"%1!ls! (%2!ls!)", columns, 2, true), 1);
  EXPECT_EQ(Combo(), (std::vector<std::pair<std::wstring, LONG>>{{L"PLN (złoty)", 7}, {L"EUR ()", 8}}));
  EXPECT_EQ(CB_Fill(*dx, 100, rs, L"id", L"%1!ls!", columns, 1, false), 1);
  EXPECT_EQ(Combo().size(), 4u);
  EXPECT_EQ(CB_Fill(*dx, 100, rs, L"id", L"%1!ls!", columns, 1, true), 1);
  EXPECT_EQ(Combo().size(), 2u);
  // Failures: no control, an unknown column, a key that is no number.
  EXPECT_EQ(CB_Fill(*dx, 999, rs, L"id", L"%1!ls!", columns, 1, true), 0);
  const wchar_t* unknown[] = {L"nie_ma"};
  EXPECT_EQ(CB_Fill(*dx, 100, rs, L"id", L"%1!ls!", unknown, 1, true), 0);
  EXPECT_EQ(LB_Fill(*dx, 101, rs, L"a", L"%1!ls!", columns, 1, true), 0);   // "PLN" is no key
  EXPECT_EQ(CB_Fill(*dx, 100, nullptr, L"id", L"%1!ls!", columns, 1, true), 0);
  // An empty recordset fills nothing and succeeds.
  _RecordsetPtr empty;
  empty.CreateInstance(__uuidof(Recordset));
  empty->Fields->Append(L"id", adInteger, 4, adFldIsNullable);
  empty->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  EXPECT_EQ(CB_Fill(*dx, 100, empty, L"id", L"%1!ls!", nullptr, 0, true), 1);
  EXPECT_TRUE(Combo().empty());
}

TEST_F(Controls, AddingAtPositionsAndTheEmptyEntry) {
  EXPECT_EQ(CB_Add(*dx, 100, L"b", 2), 0);
  EXPECT_EQ(CB_Add(*dx, 100, L"c", 3), 1);
  EXPECT_EQ(CB_AddAt(*dx, 100, 0, L"a", 1), 0);
  EXPECT_EQ(CB_AddAt(*dx, 100, 99, L"d", 4), 3);
  EXPECT_EQ(CB_AddEmpty(*dx, 100, L"(brak)", static_cast<LONG>(0x80000000)), 0);
  EXPECT_EQ(Combo(), (std::vector<std::pair<std::wstring, LONG>>{
                         {L"(brak)", static_cast<LONG>(0x80000000)}, {L"a", 1}, {L"b", 2}, {L"c", 3}, {L"d", 4}}));
  EXPECT_EQ(CB_Add(*dx, 999, L"x", 1), -1);
  EXPECT_TRUE(CB_ResetContent(*dx, 100));
  EXPECT_TRUE(Combo().empty());
  EXPECT_FALSE(LB_ResetContent(*dx, 999));
  EXPECT_EQ(LB_AddAt(*dx, 101, 0, L"l", 5), 0);
}

TEST_F(Controls, TheFlexibleLayoutMovesAndGrowsWithTheEdges) {
  CFlgFlexLayout layout;
  layout.Attach(dialog);
  EXPECT_TRUE(layout.Add(IDOK, kFlexMoveRight | kFlexMoveDown));
  EXPECT_TRUE(layout.Add(102, kFlexGrowRight | kFlexGrowDown));
  EXPECT_TRUE(layout.Add(101, kFlexMoveDown | kFlexGrowRight));
  EXPECT_FALSE(layout.Add(999, kFlexMoveDown));
  auto rectOf = [&](int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return CRect(r);
  };
  const CRect ok = rectOf(IDOK), edit = rectOf(102), list = rectOf(101), combo = rectOf(100);
  RECT client{};
  GetClientRect(dialog, &client);
  layout.Apply(client.right + 40, client.bottom + 30);
  CRect moved = ok;
  moved.OffsetRect(40, 30);
  EXPECT_EQ(rectOf(IDOK), moved);
  EXPECT_EQ(rectOf(102), CRect(edit.left, edit.top, edit.right + 40, edit.bottom + 30));
  EXPECT_EQ(rectOf(101), CRect(list.left, list.top + 30, list.right + 40, list.bottom + 30));
  EXPECT_EQ(rectOf(100).left, combo.left);
  EXPECT_EQ(rectOf(100).top, combo.top);
  EXPECT_EQ(rectOf(100).Width(), combo.Width());
  EXPECT_EQ(rectOf(100).Height(), combo.Height());
  // Smaller than the start: growing controls never turn inside out.
  layout.Apply(client.right - 1000, client.bottom - 1000);
  EXPECT_GE(rectOf(102).Width(), 0);
  layout.Apply(client.right, client.bottom);
  EXPECT_EQ(rectOf(IDOK), ok);
}

TEST(MessageHook, SuspensionsNest) {
  EXPECT_FALSE(CFlgMessageHook::IsSuspended());
  CFlgMessageHook::Resume();   // without a suspension: nothing
  CFlgMessageHook::Suspend();
  CFlgMessageHook::Suspend();
  CFlgMessageHook::Resume();
  EXPECT_TRUE(CFlgMessageHook::IsSuspended());
  CFlgMessageHook::Resume();
  EXPECT_FALSE(CFlgMessageHook::IsSuspended());
}

class CountedItem : public CHxTrackedItem {
 public:
  CountedItem(int* freed, bool changed) : m_freed(freed), m_changed(changed) {}
  void Free() override {
    ++*m_freed;
    delete this;
  }
  BOOL DataChanged() override { return m_changed; }
  void OnChange() override { ++changes; }
  CString ChangeDescr() override { return CString(std::wstring(5000, L'x').c_str()); }
  int changes = 0;

 private:
  int* m_freed;
  bool m_changed;
};

TEST(TrackerBases, TheTrackerOwnsItsItemsAndWritesCutHistory) {
  int freed = 0;
  {
    CHxHistoryTracker tracker(nullptr, nullptr, 0, L"Obiekt", L"ob_Id", L"oh_Opis");
    auto* changed = new CountedItem(&freed, true);
    tracker.AddItem(changed);
    tracker.AddItem(new CountedItem(&freed, false));
    tracker.AddItem(nullptr);
    EXPECT_EQ(tracker.ItemCount(), 2);
    EXPECT_EQ(tracker.CheckChanges(), 1);
    EXPECT_EQ(changed->changes, 1);
    ASSERT_EQ(tracker.History().size(), 1u);
    EXPECT_EQ(tracker.History()[0].GetLength(), tracker.ChangeFieldSize());
    EXPECT_STREQ(tracker.ObjectName(), L"Obiekt");
  }
  EXPECT_EQ(freed, 2);
}

// The framework's link: a click notifies its parent, a link with a menu opens it and sends the
// chosen command instead, a disabled link does nothing.
class LinkParent : public CWnd {
 public:
  std::vector<std::pair<UINT, UINT>> heard;   // (message, code or command)
 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NOTIFY) heard.emplace_back(message, reinterpret_cast<NMHDR*>(lParam)->code);
    if (message == WM_COMMAND) heard.emplace_back(message, LOWORD(wParam));
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

TEST_F(Controls, LinksNotifyOrOpenTheirMenu) {
  LinkParent parent;
  ASSERT_TRUE(parent.SubclassWindow(dialog));
  HWND link = CreateWindowExW(0, kFlgHyperlinkClass, L"Dodaj konto", WS_CHILD | WS_VISIBLE, 10, 10, 80, 14, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(132)), nullptr, nullptr);
  ASSERT_TRUE(link);
  SendMessageW(link, WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(parent.heard.size(), 1u);
  EXPECT_EQ(parent.heard[0], std::make_pair(static_cast<UINT>(WM_NOTIFY), kFlgLinkClicked));
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 0x3401, L"Serwis");
  SendMessageW(link, kFlgLinkSetMenu, reinterpret_cast<WPARAM>(menu), 0);
  platform::gui::QueuePopupCommand(0x3401);
  SendMessageW(link, WM_LBUTTONUP, 0, 0);
  ASSERT_EQ(parent.heard.size(), 2u);
  EXPECT_EQ(parent.heard[1], std::make_pair(static_cast<UINT>(WM_COMMAND), 0x3401u));
  ASSERT_FALSE(platform::gui::PopupMenus().empty());
  EXPECT_EQ(platform::gui::PopupMenus().back().items, (std::vector<std::wstring>{L"Serwis"}));
  SendMessageW(link, WM_LBUTTONUP, 0, 0);   // dismissed: nothing
  EXPECT_EQ(parent.heard.size(), 2u);
  EnableWindow(link, FALSE);
  SendMessageW(link, kFlgLinkSetMenu, 0, 0);
  SendMessageW(link, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(parent.heard.size(), 2u);
  DestroyMenu(menu);
  parent.UnsubclassWindow();
}

TEST_F(Controls, TheWebAddressEditIsAnEditWithATextLimit) {
  HWND edit = CreateWindowExW(0, kFlgWwwEditClass, L"", WS_CHILD | WS_VISIBLE, 10, 30, 80, 14, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(1025)), nullptr, nullptr);
  ASSERT_TRUE(edit);
  SendMessageW(edit, EM_LIMITTEXT, 5, 0);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 5);
  SetWindowTextW(edit, L"http://x");
  wchar_t text[32] = {};
  GetWindowTextW(edit, text, 32);
  EXPECT_STREQ(text, L"http://x");
  EXPECT_NE(SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL, 0);
}

}  // namespace
