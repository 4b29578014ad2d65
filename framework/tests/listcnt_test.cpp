// The list container and its grid: binding and reloading, the current row and the selection,
// moving to an id, removing a row, sorting, the notifications to the parent, the placeholder.
#include <gtest/gtest.h>

#include "framework/listcnt.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/headless.h"
#include "platform/gui/input.h"

namespace {

constexpr char kDialog[] = R"(DIALOGEX 0, 0, 300, 160
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION | WS_VISIBLE
CAPTION "Lista"
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  LTEXT           "Konta:", -1, 7, 7, 97, 8
  LTEXT           "grid", 1024, 7, 17, 200, 120
  PUSHBUTTON      "OK", IDOK, 243, 139, 50, 14
END
)";

// Records what the grid tells its parent.
class Parent : public CWnd {
 public:
  struct Event {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    UINT code;
  };
  std::vector<Event> events;
  int Count(UINT message, UINT code = 0) const {
    int n = 0;
    for (const Event& e : events) n += e.message == message && e.code == code;
    return n;
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kFlgListRowChanged || message == kFlgListSelChanged) events.push_back({message, wParam, lParam, 0});
    if (message == WM_NOTIFY) {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      events.push_back({message, wParam, lParam, header->code});
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

const FlgColumnInfo kColumns[] = {
    {L"id", nullptr, nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"name", L"Nazwa konta", nullptr, nullptr, nullptr, 50, 0},
    {L"site", L"Serwis", nullptr, nullptr, nullptr, 50, 0, L"site, name", L"site DESC, name DESC"},
    {L"active", L"Konto aktywne", L"A", nullptr, L"cx=15\ncy=15\nval=0\n1", 15, kFlgColCheck},
};

class ListCnt : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    CoInitialize(nullptr);
    platform::gui::DialogTemplate t;
    ASSERT_TRUE(platform::gui::ParseDialogTemplate(kDialog, t));
    dialog = platform::gui::CreateDialogFromTemplate(nullptr, t, nullptr, nullptr, 0, L"TEST");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(parent.SubclassWindow(dialog));
    FlgListInfo info;
    info.name = L"TestList";
    info.title = L"Konta";
    info.table = L"vw_Test";
    info.alias = L"T";
    info.key = L"id";
    info.printable = false;
    list.SetConfig(info, kColumns, 4);
    rs = Rows({{1, L"adam", L"B", true}, {2, L"bartek", L"A", false}, {3, L"celina", L"A", true}});
  }
  void TearDown() override {
    if (list.Grid().m_hWnd) list.Grid().DestroyWindow();
    parent.UnsubclassWindow();
    rs = nullptr;
    platform::gui::ResetHeadless();
    CoUninitialize();
  }
  struct Row {
    LONG id;
    const wchar_t* name;
    const wchar_t* site;
    bool active;
  };
  static _RecordsetPtr Rows(std::initializer_list<Row> rows, bool int64Ids = false) {
    _RecordsetPtr r;
    EXPECT_EQ(r.CreateInstance(__uuidof(Recordset)), S_OK);
    r->Fields->Append(L"id", int64Ids ? adBigInt : adInteger, int64Ids ? 8 : 4, adFldIsNullable);
    r->Fields->Append(L"name", adVarWChar, 20, adFldIsNullable);
    r->Fields->Append(L"site", adVarWChar, 20, adFldIsNullable);
    r->Fields->Append(L"active", adBoolean, 1, adFldIsNullable);
    r->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
    for (const Row& row : rows) {
      r->AddNew();
      if (int64Ids) r->Fields->Item[L"id"]->Value = _variant_t(static_cast<LONGLONG>(row.id));
      else r->Fields->Item[L"id"]->Value = _variant_t(row.id);
      if (row.name) r->Fields->Item[L"name"]->Value = _variant_t(row.name);
      r->Fields->Item[L"site"]->Value = _variant_t(row.site);
      r->Fields->Item[L"active"]->Value = _variant_t(row.active);
      r->Update();
    }
    return r;
  }
  void Attach() {
    ASSERT_TRUE(list.AttachToControl(&parent, 1024));
    parent.events.clear();
  }
  HWND Grid() { return list.Grid().m_hWnd; }
  CPoint RowPoint(int row) {
    const CRect r = list.Grid().RowRect(row);
    return CPoint(r.left + 20, r.top + 5);
  }
  std::vector<LONG> Ids() {
    std::vector<LONG> out;
    for (int i = 0; i < list.Grid().GetRowCount(); ++i) out.push_back(static_cast<LONG>(list.Grid().GetRowID(i)));
    return out;
  }

  HWND dialog = nullptr;
  Parent parent;
  CListCnt list;
  _RecordsetPtr rs;
};

TEST_F(ListCnt, BindingShowsTheRowsWithTheFirstCurrentAndTellsTheParent) {
  Attach();
  list.SetRecordset(rs);
  EXPECT_EQ(Ids(), (std::vector<LONG>{1, 2, 3}));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 1);
  EXPECT_EQ(list.GetSelectedCount(), 1);
  // The recordset stands on the current row.
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"id"]->Value), 1);
  _variant_t name;
  EXPECT_EQ(list.GetCurrentValue(L"name", name), S_OK);
  EXPECT_EQ(_bstr_t(name), _bstr_t(L"adam"));
  EXPECT_NE(list.GetCurrentValue(L"missing", name), S_OK);
  ASSERT_EQ(parent.Count(kFlgListRowChanged), 1);
  ASSERT_EQ(parent.Count(kFlgListSelChanged), 1);
  EXPECT_EQ(parent.events[0].wParam, 1024u);
  EXPECT_EQ(parent.events[0].lParam, reinterpret_cast<LPARAM>(&list));
}

TEST_F(ListCnt, ReloadKeepsTheCurrentIdOrFallsBackToTheFirstRow) {
  list.SetRecordset(rs);
  ASSERT_TRUE(list.MoveToId(_variant_t(LONG{3})));
  list.SetRecordset(Rows({{5, L"ewa", L"C", false}, {3, L"celina", L"A", true}}));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 3);
  EXPECT_EQ(list.Grid().GetCurrentRow(), 1);
  list.SetRecordset(Rows({{7, L"gosia", L"C", false}, {8, L"halina", L"A", true}}));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 7);
  list.SetRecordset(Rows({}));
  EXPECT_EQ(list.Grid().GetCurrentRow(), -1);
  EXPECT_EQ(list.GetID().vt, VT_EMPTY);
  EXPECT_EQ(list.GetSelectedCount(), 0);
  _variant_t value;
  EXPECT_NE(list.GetCurrentValue(L"name", value), S_OK);
  list.SetRecordset(nullptr);
  EXPECT_EQ(list.Grid().GetRowCount(), 0);
}

TEST_F(ListCnt, MoveToIdMatchesIntegersOfAnyWidthAndLeavesAnUnknownIdAlone) {
  list.SetRecordset(Rows({{1, L"a", L"A", true}, {2, L"b", L"A", true}}, true));
  EXPECT_TRUE(list.MoveToId(_variant_t(LONG{2})));
  EXPECT_EQ(list.Grid().GetCurrentRow(), 1);
  EXPECT_FALSE(list.MoveToId(_variant_t(LONG{9})));
  EXPECT_FALSE(list.MoveToId(_variant_t()));
  EXPECT_EQ(list.Grid().GetCurrentRow(), 1);
  EXPECT_TRUE(list.MoveToId(_variant_t(static_cast<LONGLONG>(1))));
  EXPECT_EQ(list.Grid().GetCurrentRow(), 0);
}

TEST_F(ListCnt, RemovingTheCurrentRowMakesTheNextOneCurrentAndTheLastRowsPredecessor) {
  Attach();
  list.SetRecordset(rs);
  parent.events.clear();
  ASSERT_TRUE(list.RemoveRow(_variant_t(LONG{1})));
  EXPECT_EQ(Ids(), (std::vector<LONG>{2, 3}));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 2);
  EXPECT_EQ(parent.Count(kFlgListRowChanged), 1);
  ASSERT_TRUE(list.MoveToId(_variant_t(LONG{3})));
  ASSERT_TRUE(list.RemoveRow(_variant_t(LONG{3})));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 2);
  // A row that is not current goes without moving the current one.
  list.SetRecordset(rs);
  ASSERT_TRUE(list.MoveToId(_variant_t(LONG{3})));
  ASSERT_TRUE(list.RemoveRow(_variant_t(LONG{1})));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 3);
  EXPECT_EQ(static_cast<LONG>(rs->Fields->Item[L"id"]->Value), 3);
  EXPECT_FALSE(list.RemoveRow(_variant_t(LONG{1})));
  ASSERT_TRUE(list.RemoveRow(_variant_t(LONG{2})));
  ASSERT_TRUE(list.RemoveRow(_variant_t(LONG{3})));
  EXPECT_EQ(list.Grid().GetCurrentRow(), -1);
  // The recordset keeps its rows.
  EXPECT_EQ(rs->RecordCount, 3);
}

TEST_F(ListCnt, ClicksSelectOneRowOrSeveralWithControlAndShift) {
  Attach();
  list.SetRecordset(rs);
  parent.events.clear();
  platform::gui::Click(Grid(), RowPoint(1).x, RowPoint(1).y);
  EXPECT_EQ(list.Grid().GetCurrentRow(), 1);
  EXPECT_EQ(list.GetSelectedCount(), 1);
  EXPECT_EQ(parent.Count(kFlgListRowChanged), 1);
  EXPECT_EQ(parent.Count(kFlgListSelChanged), 1);
  platform::gui::SetKeyDown(VK_CONTROL, true);
  platform::gui::Click(Grid(), RowPoint(2).x, RowPoint(2).y);
  platform::gui::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(list.GetSelectedCount(), 2);
  EXPECT_EQ(parent.Count(kFlgListSelChanged), 2);
  platform::gui::Click(Grid(), RowPoint(0).x, RowPoint(0).y);
  EXPECT_EQ(list.GetSelectedCount(), 1);
  platform::gui::SetKeyDown(VK_SHIFT, true);
  platform::gui::Click(Grid(), RowPoint(2).x, RowPoint(2).y);
  platform::gui::SetKeyDown(VK_SHIFT, false);
  EXPECT_EQ(list.GetSelectedCount(), 3);
  EXPECT_EQ(list.Grid().GetCurrentRow(), 2);
  // Below the rows nothing changes.
  platform::gui::Click(Grid(), 20, CBaseGrid::kHeaderHeight + 10 * CBaseGrid::kRowHeight);
  EXPECT_EQ(list.GetSelectedCount(), 3);
  list.Grid().SelectRow(0, false);
  EXPECT_EQ(list.GetSelectedCount(), 2);
  list.Grid().SelectAllRows();
  EXPECT_EQ(list.GetSelectedCount(), 3);
}

TEST_F(ListCnt, KeysMoveTheCurrentRowAndEnterDoubleClickAndDeleteNotify) {
  Attach();
  list.SetRecordset(rs);
  parent.events.clear();
  SendMessageW(Grid(), WM_KEYDOWN, 0x28, 0);   // down
  EXPECT_EQ(list.Grid().GetCurrentRow(), 1);
  SendMessageW(Grid(), WM_KEYDOWN, 0x23, 0);   // end
  EXPECT_EQ(list.Grid().GetCurrentRow(), 2);
  SendMessageW(Grid(), WM_KEYDOWN, 0x28, 0);
  EXPECT_EQ(list.Grid().GetCurrentRow(), 2);
  SendMessageW(Grid(), WM_KEYDOWN, 0x24, 0);   // home
  EXPECT_EQ(list.Grid().GetCurrentRow(), 0);
  SendMessageW(Grid(), WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(parent.Count(WM_NOTIFY, kFlgListDeleteNotify), 1);
  // Enter reaches the grid through the dialog's keyboard handling, not the default button.
  SetFocus(Grid());
  MSG msg{};
  msg.hwnd = Grid();
  msg.message = WM_KEYDOWN;
  msg.wParam = VK_RETURN;
  IsDialogMessageW(dialog, &msg);
  EXPECT_EQ(parent.Count(WM_NOTIFY, kFlgListEditNotify), 1);
  platform::gui::DoubleClick(Grid(), RowPoint(2).x, RowPoint(2).y);
  EXPECT_EQ(parent.Count(WM_NOTIFY, kFlgListEditNotify), 2);
  EXPECT_EQ(list.Grid().GetCurrentRow(), 2);
  const Parent::Event& last = parent.events.back();
  EXPECT_EQ(last.wParam, 1024u);
  // Without a current row nothing is asked.
  list.SetRecordset(Rows({}));
  SendMessageW(Grid(), WM_KEYDOWN, VK_DELETE, 0);
  SendMessageW(Grid(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(parent.Count(WM_NOTIFY, kFlgListDeleteNotify), 1);
  EXPECT_EQ(parent.Count(WM_NOTIFY, kFlgListEditNotify), 2);
}

TEST_F(ListCnt, CellsShowTextsChecksAndNothingForNull) {
  list.SetRecordset(Rows({{1, nullptr, L"A", true}, {2, L"bartek", L"A", false}}));
  EXPECT_EQ(list.Grid().GetCellText(0, 1), CString(L""));
  EXPECT_EQ(list.Grid().GetCellText(1, 1), CString(L"bartek"));
  EXPECT_EQ(list.Grid().GetCellText(0, 3), CString(L"1"));
  EXPECT_EQ(list.Grid().GetCellText(1, 3), CString(L"0"));
  EXPECT_EQ(list.Grid().GetCellText(5, 1), CString(L""));
  EXPECT_EQ(list.Grid().GetCellText(0, 9), CString(L""));
  // Reading a cell leaves the recordset on the current row.
  EXPECT_EQ(static_cast<LONG>(list.GetRecordset()->Fields->Item[L"id"]->Value), 1);
  EXPECT_STREQ(FlgColumnText(MAKEINTRESOURCEW(253)), L"");
  EXPECT_STREQ(FlgColumnText(nullptr), L"");
  EXPECT_STREQ(FlgColumnText(L"Serwis"), L"Serwis");
}

TEST_F(ListCnt, CaptionClicksSortByTheColumnsOrderThenDescending) {
  Attach();
  list.SetRecordset(rs);
  const CRect site = list.Grid().ColumnRect(2);
  ASSERT_FALSE(site.IsRectEmpty());
  EXPECT_TRUE(list.Grid().ColumnRect(0).IsRectEmpty());
  platform::gui::Click(Grid(), site.left + 5, 5);
  EXPECT_EQ(Ids(), (std::vector<LONG>{2, 3, 1}));
  EXPECT_EQ(static_cast<LONG>(list.GetID()), 1);   // the current row stays
  platform::gui::Click(Grid(), site.left + 5, 5);
  EXPECT_TRUE(list.Grid().IsSortDescending());
  EXPECT_EQ(Ids(), (std::vector<LONG>{1, 3, 2}));
  // A reload keeps the order.
  list.SetRecordset(Rows({{4, L"d", L"A", true}, {5, L"e", L"Z", true}}));
  EXPECT_EQ(Ids(), (std::vector<LONG>{5, 4}));
}

TEST_F(ListCnt, TheGridTakesThePlaceholdersIdRectangleAndPlace) {
  HWND placeholder = GetDlgItem(dialog, 1024);
  RECT before{};
  GetWindowRect(placeholder, &before);
  list.SetRecordset(rs);
  ASSERT_TRUE(list.AttachToControl(&parent, 1024));
  EXPECT_FALSE(IsWindow(placeholder));
  HWND grid = GetDlgItem(dialog, 1024);
  ASSERT_EQ(grid, Grid());
  RECT after{};
  GetWindowRect(grid, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  wchar_t name[32] = {};
  GetClassNameW(grid, name, 32);
  EXPECT_STREQ(name, kFlgGridClass);
  // Rows bound before the window are shown and announced.
  EXPECT_EQ(parent.Count(kFlgListRowChanged), 1);
  EXPECT_FALSE(list.AttachToControl(&parent, 999));
  // The picture has the captions' band and a highlighted current row.
  const platform::gui::Image image = platform::gui::CaptureClient(grid);
  ASSERT_GT(image.Width(), 0);
  EXPECT_EQ(image.Pixel(image.Width() / 2, list.Grid().RowRect(0).top + 1), GetSysColor(COLOR_HIGHLIGHT) & 0xFFFFFF);
  EXPECT_NE(image.Pixel(image.Width() / 2, list.Grid().RowRect(1).top + 1), GetSysColor(COLOR_HIGHLIGHT) & 0xFFFFFF);
}

}  // namespace
