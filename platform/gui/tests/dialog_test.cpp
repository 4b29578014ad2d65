// Dialog templates, modal runs answered by the script, message boxes and window pictures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/gui/afxwin.h"
#include "platform/gui/headless.h"

namespace {

constexpr char kTemplate[] = R"(// a test dialog
DIALOGEX 0, 0, 200, 80
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Próba ""dialogu"""
FONT 8, "MS Shell Dlg", 400, 0
BEGIN
  LTEXT           "Nazwa:", -1, 7, 9, 40, 8
  EDITTEXT        101, 50, 7, 140, 12, ES_AUTOHSCROLL
  AUTOCHECKBOX    "Aktywne", 102, 50, 23, 100, 10
  CONTROL         "Ukryty", 103, "Button", BS_PUSHBUTTON | NOT WS_VISIBLE, 7, 40, 40, 14
  COMBOBOX        104, 50, 40, 100, 60, CBS_DROPDOWNLIST | WS_TABSTOP
  DEFPUSHBUTTON   "OK", IDOK, 90, 60, 50, 14
  PUSHBUTTON      "Anuluj", IDCANCEL, 143, 60, 50, 14, WS_DISABLED
END
)";
constexpr char kBroken[] = "DIALOGEX 0, 0, 10\nBEGIN\nEND\n";

VANTOR_RESOURCE_MODULE(g_testModule, L"gui_dialog_test", platform::ModuleKind::Application, {},
                       {{RT_DIALOG, L"IDD_TEST", kTemplate, sizeof kTemplate - 1},
                        {RT_DIALOG, MAKEINTRESOURCEW(108), kTemplate, sizeof kTemplate - 1},
                        {RT_DIALOG, L"IDD_BROKEN", kBroken, sizeof kBroken - 1}});

class TestDialog : public CDialog {
 public:
  TestDialog() : CDialog(L"IDD_TEST") {}
  CString name = L"Adam";
  int active = 0;
  int inits = 0;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, 101, name);
    DDX_Check(dx, 102, active);
  }
  BOOL OnInitDialog() override {
    ++inits;
    SendDlgItemMessage(104, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"pierwszy"));
    SendDlgItemMessage(104, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"drugi"));
    return CDialog::OnInitDialog();
  }
};

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

TEST_F(Dialogs, TemplatesReadTheirStatementsControlsAndDefaults) {
  const platform::gui::DialogTemplate* t = platform::gui::FindDialogTemplate(g_testModule.Handle(), L"idd_test");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->caption, L"Próba \"dialogu\"");
  EXPECT_EQ(t->units.right, 200);
  EXPECT_EQ(t->pointSize, 8);
  ASSERT_EQ(t->items.size(), 7u);
  EXPECT_EQ(t->items[0].id, -1);
  EXPECT_EQ(t->items[0].className, L"Static");
  EXPECT_EQ(t->items[1].style & (WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL), WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
  EXPECT_EQ(t->items[3].style & WS_VISIBLE, 0u);
  EXPECT_EQ(t->items[6].style & WS_DISABLED, static_cast<DWORD>(WS_DISABLED));
  const platform::gui::DialogTemplate* numbered = platform::gui::FindDialogTemplate(g_testModule.Handle(), MAKEINTRESOURCEW(108));
  ASSERT_TRUE(numbered);
  EXPECT_EQ(numbered->items.size(), t->items.size());
  EXPECT_EQ(platform::gui::FindDialogTemplate(g_testModule.Handle(), L"IDD_TEST"), t) << "parsed once";
  EXPECT_EQ(platform::gui::FindDialogTemplate(g_testModule.Handle(), L"IDD_BROKEN"), nullptr);
  std::wstring error;
  platform::gui::DialogTemplate out;
  EXPECT_FALSE(platform::gui::ParseDialogTemplate("DIALOGEX 0, 0, 1, 1\nSTYLE WS_NONSENSE\nBEGIN\nEND\n", out, &error));
  EXPECT_NE(error.find(L"line 2"), std::wstring::npos) << error;
  EXPECT_FALSE(platform::gui::ParseDialogTemplate("DIALOGEX 0, 0, 1, 1\nBEGIN\n LTEXT \"a, 1, 0, 0, 1, 1\nEND\n", out));
}

TEST_F(Dialogs, DialogUnitsBecomePixelsByTheFixedBaseUnits) {
  TestDialog d;
  ASSERT_TRUE(d.Create(L"IDD_TEST"));
  RECT c;
  d.GetClientRect(&c);
  EXPECT_EQ(c.right, 300);
  EXPECT_EQ(c.bottom, 130);
  RECT e;
  d.GetDlgItem(101)->GetWindowRect(&e);
  d.ScreenToClient(&e);
  EXPECT_EQ(e.left, 75);
  EXPECT_EQ(e.bottom - e.top, 20);   // 12 dialog units
  EXPECT_EQ(d.inits, 1);
  CString name;
  d.GetDlgItemText(101, name);
  EXPECT_EQ(name, L"Adam");          // the exchange loaded the control
  EXPECT_FALSE(d.IsWindowVisible()); // the template is not visible
  EXPECT_EQ(d.GetDefID(), static_cast<DWORD>(MAKELONG(IDOK, DC_HASDEFID)));
  EXPECT_EQ(d.TemplateName(), L"IDD_TEST");
}

TEST_F(Dialogs, AScriptedModalRunPlaysItsStepsAndSavesTheData) {
  platform::gui::QueueModal(platform::gui::ModalScript(L"IDD_TEST")
                                .Type(101, L"Ewa")
                                .Check(102)
                                .Select(104, L"drugi")
                                .Click(IDOK));
  TestDialog d;
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_EQ(d.name, L"Ewa");
  EXPECT_EQ(d.active, 1);
  EXPECT_EQ(d.m_hWnd, nullptr);
  const auto runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_TRUE(runs[0].scripted);
  EXPECT_EQ(runs[0].dialog, L"IDD_TEST");
  EXPECT_EQ(runs[0].result, IDOK);
  EXPECT_TRUE(runs[0].refused.empty());
}

TEST_F(Dialogs, UnscriptedRunsTakeTheDefaultAnswerAndRefusedStepsAreListed) {
  TestDialog d;
  EXPECT_EQ(d.DoModal(), IDCANCEL);   // closed as Escape closes it, though Cancel is disabled
  EXPECT_EQ(d.name, L"Adam");
  // A script for another dialog does not answer this one and stays queued.
  platform::gui::QueueModal(platform::gui::ModalScript(L"IDD_OTHER").Click(IDOK));
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  platform::gui::ClearScripts();
  platform::gui::QueueModal(platform::gui::ModalScript().Click(103).Click(IDCANCEL).Type(999, L"x").Key(VK_RETURN));
  EXPECT_EQ(d.DoModal(), IDOK);   // Enter pressed the default button
  const auto runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_FALSE(runs[0].scripted);
  EXPECT_FALSE(runs[1].scripted);
  EXPECT_EQ(runs[2].refused, (std::vector<std::wstring>{L"Click 103", L"Click 2", L"Type 999"}));
  // A numbered template is known as "#108".
  platform::gui::QueueModal(platform::gui::ModalScript(L"#108").Key(VK_ESCAPE).Click(IDOK));
  CDialog numbered(108u);
  EXPECT_EQ(numbered.DoModal(), IDOK);   // Escape is refused by the disabled Cancel
}

TEST_F(Dialogs, MessageBoxesTakeTheirDefaultButtonOrTheScriptedAnswer) {
  EXPECT_EQ(MessageBoxW(nullptr, L"Usunąć?", L"Pytanie", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"Dalej?", nullptr, MB_YESNOCANCEL), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"?", L"", MB_OKCANCEL | MB_DEFBUTTON4), IDOK);   // out of range: the first
  platform::gui::QueueMessageBoxAnswer(IDYES);
  HWND owner = CreateWindowExW(0, L"#32770", L"o", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(MessageBoxW(owner, L"Usunąć?", L"Pytanie", MB_YESNO | MB_DEFBUTTON2), IDYES);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(0x134));
  EXPECT_EQ(boxes[1].caption, L"Błąd");
  EXPECT_FALSE(boxes[2].scripted);
  EXPECT_TRUE(boxes[3].scripted);
  EXPECT_EQ(boxes[3].owner, owner);
  EXPECT_EQ(boxes[3].text, L"Usunąć?");
  EXPECT_EQ(MessageBoxW(nullptr, L"x", nullptr, MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  platform::gui::QueueMessageBoxAnswer(IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"a", L"b", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"a", L"b", MB_OKCANCEL), IDOK);   // the script is used up
}

class App : public CWinApp {
 public:
  App() : CWinApp(L"Próba") {}
};

TEST_F(Dialogs, TheApplicationsBoxIsCaptionedWithItsNameOverTheActiveWindow) {
  HWND active = CreateWindowExW(0, L"#32770", L"a", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
  {
    AFX_MODULE_STATE state;
    AFX_MANAGE_STATE(&state);
    App app;
    EXPECT_EQ(AfxMessageBox(L"Gotowe.", MB_OK | MB_ICONINFORMATION), IDOK);
  }
  EXPECT_EQ(AfxMessageBox(L"Bez aplikacji.", MB_OK), IDOK);
  const auto boxes = platform::gui::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, L"Próba");
  EXPECT_EQ(boxes[0].owner, active);
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_NE(boxes[1].caption.find(L"platform_gui_tests"), std::wstring::npos) << boxes[1].caption;
}

TEST_F(Dialogs, WindowsArePaintedIntoPicturesAndSavedAsPng) {
  TestDialog d;
  ASSERT_TRUE(d.Create(L"IDD_TEST"));
  d.ShowWindow(SW_SHOW);
  platform::gui::Image picture = platform::gui::CaptureWindow(d.m_hWnd);
  RECT w;
  d.GetWindowRect(&w);
  ASSERT_EQ(picture.Width(), w.right - w.left);
  // The caption bar starts in the active caption colour; the client area is the button face.
  EXPECT_EQ(picture.Pixel(3, 3), GetSysColor(COLOR_ACTIVECAPTION));
  platform::gui::Image client = platform::gui::CaptureClient(d.m_hWnd);
  EXPECT_EQ(client.Pixel(5, 120), GetSysColor(COLOR_BTNFACE));
  // Inside the edit's client area, away from its text: the window colour.
  EXPECT_EQ(client.Pixel(75 + 200, 10 + 5), GetSysColor(COLOR_WINDOW));
  const std::wstring path = L"/tmp/vantor-gui-test-" + std::to_wstring(::getpid()) + L".png";
  ASSERT_TRUE(platform::gui::SaveWindowPng(d.m_hWnd, path));
  const std::string file = platform::WideToUtf8(path);
  FILE* f = std::fopen(file.c_str(), "rb");
  ASSERT_TRUE(f);
  unsigned char magic[4] = {0};
  EXPECT_EQ(std::fread(magic, 1, 4, f), 4u);
  std::fclose(f);
  std::remove(file.c_str());
  EXPECT_EQ(magic[1], 'P');
  EXPECT_FALSE(platform::gui::SaveWindowPng(d.m_hWnd, L"/nonexistent-folder/x.png"));
  EXPECT_FALSE(platform::gui::SaveWindowPng(nullptr, path));
}

}  // namespace
