// The please-wait window, dialog lines and the window tools.
#include <gtest/gtest.h>

#include "framework/skin.h"
#include "platform/gui/headless.h"
#include "shared/dialoglines.h"
#include "shared/pleasewait.h"

namespace {

constexpr char kTools[] = R"(DIALOGEX 0, 0, 200, 120
STYLE DS_SETFONT | WS_POPUP | WS_CAPTION
FONT 8, "MS Shell Dlg"
BEGIN
  LTEXT           "Nagłówek", 10, 7, 5, 150, 12, SS_LEFT, WS_EX_CLIENTEDGE
  LTEXT           "Bez ramki", 11, 7, 20, 100, 10
  CONTROL         "Wklęsły", 12, "Static", SS_SUNKEN, 7, 35, 100, 10
  LTEXT           "Etykieta:", 13, 7, 50, 40, 8
  EDITTEXT        14, 50, 50, 100, 12
  AUTOCHECKBOX    "Opcja", 15, 7, 65, 80, 10
  EDITTEXT        16, 90, 65, 60, 12
  CONTROL         "Obcy", 17, "StaticLabel", 0, 7, 80, 100, 10, WS_EX_CLIENTEDGE
  DEFPUSHBUTTON   "OK", IDOK, 90, 100, 50, 14
END
)";
VANTOR_RESOURCE_MODULE(g_tools, L"shared_tools_test", platform::ModuleKind::Application, {},
                       {{RT_DIALOG, L"IDD_TOOLS", kTools, sizeof kTools - 1}});

class Tools : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    WNDCLASSW wc{0, DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"StaticLabel"};
    RegisterClassW(&wc);
    ASSERT_TRUE(dialog.Create(L"IDD_TOOLS"));
    dialog.ShowWindow(SW_SHOW);
  }
  void TearDown() override {
    dialog.DestroyWindow();
    platform::gui::ResetHeadless();
  }
  bool Enabled(int id) { return dialog.GetDlgItem(id)->IsWindowEnabled() != FALSE; }
  std::wstring ClassOf(int id) {
    wchar_t name[32] = {0};
    GetClassNameW(::GetDlgItem(dialog.m_hWnd, id), name, 32);
    return name;
  }
  LONG Weight(int id) {
    LOGFONTW lf{};
    HFONT font = reinterpret_cast<HFONT>(dialog.GetDlgItem(id)->SendMessage(WM_GETFONT));
    GetObjectW(font, sizeof lf, &lf);
    return lf.lfWeight;
  }
  CDialog dialog;
};

TEST(PleaseWait, ShowsTheStatusWithTheWaitCursorAndRestoresTheCursor) {
  platform::gui::SetEcho(false);
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW), wait = LoadCursorW(nullptr, IDC_WAIT);
  const HCURSOR hand = LoadCursorW(nullptr, IDC_HAND);
  SetCursor(hand);
  {
    CHxStdPleaseWaitDlg window;
    ASSERT_TRUE(window.m_hWnd);
    EXPECT_TRUE(window.IsWindowVisible());
    CString text;
    window.GetDlgItemText(1007, text);
    EXPECT_EQ(text, L"Operacja w toku.\nProszę czekać...");
    EXPECT_EQ(GetCursor(), wait);
    window.Show();   // shown again: the cursor of before stays remembered
    window.Hide();
    EXPECT_EQ(GetCursor(), hand);
    EXPECT_FALSE(window.IsWindowVisible());
    window.SetStatus(L"Zapisywanie ustawień na serwerze.");
    window.GetDlgItemText(1007, text);
    EXPECT_EQ(text, L"Zapisywanie ustawień na serwerze.\nProszę czekać...");
    window.Show();
    EXPECT_EQ(GetCursor(), wait);
  }
  EXPECT_EQ(GetCursor(), hand);
  EXPECT_EQ(platform::gui::LiveWindowCount(), 0u);
  // No cursor was current before: hiding shows the arrow.
  SetCursor(nullptr);
  {
    CHxStdPleaseWaitDlg window(CString(L"Pobieranie ustawień z serwera."));
    EXPECT_EQ(window.GetStatus(), L"Pobieranie ustawień z serwera.");
    window.Hide();
    EXPECT_EQ(GetCursor(), arrow);
  }
  // Over a parent: owned by it; Enter and Escape leave it open.
  HWND parent = CreateWindowExW(0, L"#32770", L"p", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
  {
    CHxStdPleaseWaitDlg window(CWnd::FromHandle(parent));
    EXPECT_EQ(GetWindow(window.m_hWnd, GW_OWNER), parent);
    window.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(window.IsWindowVisible());
  }
  DestroyWindow(parent);
  platform::gui::ResetHeadless();
}

TEST_F(Tools, BorderedStaticsBecomeLinesInTheirPlace) {
  RECT before;
  dialog.GetDlgItem(10)->GetWindowRect(&before);
  dialog.ScreenToClient(&before);
  hxSubclassStaticsWithBorders(&dialog);
  EXPECT_EQ(ClassOf(10), L"AfxWnd");
  EXPECT_EQ(ClassOf(11), L"Static");
  EXPECT_EQ(ClassOf(12), L"Static");        // sunken, but without the client-edge bit
  EXPECT_EQ(ClassOf(17), L"StaticLabel");   // another class
  CWnd* line = dialog.GetDlgItem(10);
  CString text;
  line->GetWindowText(text);
  EXPECT_EQ(text, L"Nagłówek");
  RECT after;
  line->GetWindowRect(&after);
  dialog.ScreenToClient(&after);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.bottom - after.top, 13 + 4);
  EXPECT_EQ(dialog.GetWindow(GW_CHILD), line);   // the first in window order, as the static was
  // A gradient from the active caption colour to stock colour 17, the text over it.
  platform::gui::Image client = platform::gui::CaptureClient(dialog.m_hWnd);
  EXPECT_EQ(client.Pixel(after.left, after.top + 1), GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(client.Pixel(after.right - 1, after.top + 1), FlgGetStockColor(zephra::kColorLineEnd));
  int text_pixels = 0;
  for (int x = after.left + 2; x < after.left + 60; ++x)
    for (int y = after.top; y < after.bottom; ++y) text_pixels += GetRValue(client.Pixel(x, y)) > 200;
  EXPECT_GT(text_pixels, 5);
}

TEST_F(Tools, LinesMadeByIdOrHandle) {
  CHxDialogLines lines(&dialog);
  EXPECT_EQ(lines.GetLineHeight(), 17);
  lines.Add(11);
  lines.Add(11);
  lines.Add(4711);
  lines.Add(12);
  lines.Remove(12);
  lines.AddWnd(::GetDlgItem(dialog.m_hWnd, 13));
  lines.SubclassControls();
  EXPECT_EQ(lines.Lines().size(), 2u);
  EXPECT_EQ(ClassOf(11), L"AfxWnd");
  EXPECT_EQ(ClassOf(12), L"Static");
  EXPECT_EQ(ClassOf(13), L"AfxWnd");
  EXPECT_EQ(lines.CreateLineCtrl(4711), nullptr);
  EXPECT_EQ(lines.CreateLineCtrl(nullptr, 5), nullptr);
  lines.SetLineHeight(0);   // the control's own height
  RECT before;
  dialog.GetDlgItem(14)->GetWindowRect(&before);
  CHxDialogLine* line = lines.CreateLineCtrl(14);
  ASSERT_TRUE(line);
  RECT after;
  line->GetWindowRect(&after);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  CHxDialogLines orphan;   // no parent: nothing to do
  orphan.AddStaticWithBorders();
  EXPECT_EQ(orphan.CreateLineCtrl(10), nullptr);
}

TEST_F(Tools, EnablingAndShowingRunsOfControlsInWindowOrder) {
  const HWND h = dialog.m_hWnd;
  CWndTools::EnableControls(h, 13, 15, FALSE);
  EXPECT_TRUE(Enabled(12));
  EXPECT_FALSE(Enabled(13));
  EXPECT_FALSE(Enabled(14));
  EXPECT_FALSE(Enabled(15));
  EXPECT_TRUE(Enabled(16));
  CWndTools::EnableControls(h, 15, 4711, FALSE);   // the last id is not there: to the end
  EXPECT_FALSE(Enabled(16));
  EXPECT_FALSE(Enabled(IDOK));
  CWndTools::EnableControls(h, 0, 11, FALSE);       // from the first child
  EXPECT_FALSE(Enabled(10));
  EXPECT_FALSE(Enabled(11));
  EXPECT_TRUE(Enabled(12));
  CWndTools::EnableControls(h, 4711, 12, TRUE);     // no first control: nothing
  EXPECT_FALSE(Enabled(10));
  CWndTools::EnableControls(h, 13, ::GetDlgItem(h, 10), 2, TRUE);   // the handle first
  EXPECT_TRUE(Enabled(10));
  EXPECT_TRUE(Enabled(11));
  EXPECT_FALSE(Enabled(13));
  CWndTools::EnableControls(h, 13, nullptr, 3, TRUE);
  EXPECT_TRUE(Enabled(15));
  EXPECT_FALSE(Enabled(16));
  CWndTools::EnableControls(h, 0, nullptr, 100, TRUE);
  EXPECT_TRUE(Enabled(IDOK));
  CWndTools::ShowControls(h, 14, 16, SW_HIDE);
  EXPECT_TRUE(dialog.GetDlgItem(13)->IsWindowVisible());
  EXPECT_FALSE(dialog.GetDlgItem(14)->IsWindowVisible());
  EXPECT_FALSE(dialog.GetDlgItem(16)->IsWindowVisible());
  EXPECT_TRUE(dialog.GetDlgItem(17)->IsWindowVisible());
  CWndTools::EnableControls(nullptr, 13, 15, FALSE);
}

TEST_F(Tools, LabelsBeforeControlsTurnBold) {
  EXPECT_EQ(Weight(13), FW_NORMAL);
  CWndTools::SetControlLabelBold(dialog.m_hWnd, 14);
  EXPECT_EQ(Weight(13), FW_BOLD);
  EXPECT_EQ(Weight(14), FW_NORMAL);
  CWndTools::SetControlLabelBold(dialog.m_hWnd, 10);     // the first child has no label
  CWndTools::SetControlLabelBold(dialog.m_hWnd, 4711);   // no such control
  EXPECT_EQ(Weight(10), FW_NORMAL);
  const int ids[] = {16, 12, 0, 17};
  CWndTools::SetControlLabelBold(dialog.m_hWnd, ids);
  EXPECT_EQ(Weight(15), FW_BOLD);
  EXPECT_EQ(Weight(11), FW_BOLD);
  EXPECT_EQ(Weight(16), FW_NORMAL);   // the list ended before 17
}

}  // namespace
