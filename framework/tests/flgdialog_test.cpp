// The framework's dialog base, its data exchange, stock skin and rounding multiplication.
#include <gtest/gtest.h>

#include "framework/flgdialog.h"
#include "framework/kdtools.h"
#include "framework/skin.h"
#include "platform/gui/headless.h"

namespace {

constexpr char kTemplate[] = R"(DIALOGEX 0, 0, 200, 80
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION
FONT 8, "MS Shell Dlg"
BEGIN
  CONTROL         "", 50, "Static", SS_BLACKFRAME, 0, 0, 200, 30
  LTEXT           "Etykieta", 51, 5, 5, 40, 8
  EDITTEXT        101, 50, 7, 140, 12
  AUTOCHECKBOX    "Pole", 102, 50, 40, 100, 10
  COMBOBOX        103, 50, 52, 100, 60, CBS_DROPDOWNLIST
  DEFPUSHBUTTON   "OK", IDOK, 90, 62, 50, 14
  PUSHBUTTON      "Pomoc", IDHELP, 143, 62, 50, 14
END
)";
VANTOR_RESOURCE_MODULE(g_module, L"framework_dialog_test", platform::ModuleKind::Application, {},
                       {{RT_DIALOG, L"IDD_FLG", kTemplate, sizeof kTemplate - 1}});

class Edited : public CFlgDialog {
 public:
  Edited() : CFlgDialog(L"IDD_FLG") {
    SetWindowColorControl(50);
    AddModifyingControl(101);
  }
  CString text = L"zapisany";
  BOOL flag = TRUE;
  LONG ident = 20;
  bool refuseUpdate = false;
  HRESULT update = S_OK;
  int updates = 0;
  void OnLoadData(CFlgDataExchange& dx) override {
    if (HWND combo = dx.PrepareCtrl(103)) {
      for (LONG id : {10, 20, 30}) {
        const LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(id).c_str()));
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), id);
      }
    }
    DSX_Text(dx, 101, text);
    DSX_Check(dx, 102, flag);
    DSX_CBIdent(dx, 103, ident);
  }
  void OnSaveData(CFlgDataExchange& dx) override {
    DSX_Text(dx, 101, text);
    DSX_Required(dx, 101);
    DSX_Check(dx, 102, flag);
    DSX_CBIdent(dx, 103, ident);
  }
  BOOL BeforeUpdate() override { return !refuseUpdate; }
  HRESULT OnUpdate() override {
    ++updates;
    return update;
  }
};

class FrameworkDialog : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

TEST_F(FrameworkDialog, LoadsItsControlsAndMarksItselfModifiedOnlyByTheUser) {
  Edited d;
  ASSERT_TRUE(d.Create(L"IDD_FLG"));
  CString text;
  d.GetDlgItemText(101, text);
  EXPECT_EQ(text, L"zapisany");
  EXPECT_EQ(d.IsDlgButtonChecked(102), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(d.SendDlgItemMessage(103, CB_GETCURSEL), 1);
  EXPECT_FALSE(d.IsModified());   // the load step changed the edit, not the user
  d.SendDlgItemMessage(102, BM_CLICK);
  EXPECT_FALSE(d.IsModified());   // not a modifying control
  d.GetDlgItem(101)->SendMessage(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"x"));
  EXPECT_TRUE(d.IsModified());
  EXPECT_FALSE(d.GetDlgItem(50)->IsWindowVisible());   // the band is painted by the dialog
}

TEST_F(FrameworkDialog, ApplySavesThenUpdatesAndEachRefusalKeepsTheDialogOpen) {
  platform::gui::QueueModal(platform::gui::ModalScript().Type(101, L"nowy").Check(102, false).Select(103, 2).Click(IDOK));
  Edited d;
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_EQ(d.text, L"nowy");
  EXPECT_FALSE(d.flag);
  EXPECT_EQ(d.ident, 30);
  EXPECT_EQ(d.updates, 1);

  // An empty required field: an error for the field, shown and listed; no update.
  platform::gui::QueueModal(platform::gui::ModalScript().Type(101, L"   ").Click(IDOK).Do([&](HWND) {
    EXPECT_EQ(d.GetErrorList()->GetSize(), 1);
    EXPECT_EQ(d.GetErrorList()->GetAt(0).fieldId, 101);
    ASSERT_EQ(d.ErrorWindow().Lines().size(), 1u);
    EXPECT_EQ(d.ErrorWindow().Lines()[0], kFlgRequiredFieldText);
    EXPECT_EQ(CWnd::GetFocus(), d.GetDlgItem(101));
  }));
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  EXPECT_EQ(d.updates, 1);
  auto boxes = platform::gui::MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, kFlgRequiredFieldText);
  EXPECT_EQ(boxes.back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));

  d.text = L"poprawiony";
  d.refuseUpdate = true;
  platform::gui::QueueModal(platform::gui::ModalScript().Click(IDOK));
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  EXPECT_EQ(d.updates, 1);
  d.refuseUpdate = false;
  d.update = E_ACCESSDENIED;
  platform::gui::QueueModal(platform::gui::ModalScript().Click(IDOK));
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  EXPECT_EQ(d.updates, 2);
  boxes = platform::gui::MessageBoxes();
  EXPECT_EQ(boxes.back().caption, L"Błąd");   // no framework instance: the platform's box
}

TEST_F(FrameworkDialog, ReadOnlyDialogsShowTheirDataAndCloseWithoutSaving) {
  Edited d;
  d.SetReadOnly();
  platform::gui::QueueModal(platform::gui::ModalScript().Type(101, L"inny").Do([&](HWND) {
    EXPECT_TRUE(d.GetDlgItem(101)->GetStyle() & ES_READONLY);
    EXPECT_FALSE(d.GetDlgItem(102)->IsWindowEnabled());
    EXPECT_FALSE(d.GetDlgItem(103)->IsWindowEnabled());
    EXPECT_TRUE(d.GetDlgItem(IDOK)->IsWindowEnabled());
  }).Click(IDOK));
  EXPECT_EQ(d.DoModal(), IDOK);
  EXPECT_EQ(d.text, L"zapisany");
  EXPECT_EQ(d.updates, 0);
  EXPECT_EQ(platform::gui::ModalRuns().back().refused, (std::vector<std::wstring>{L"Type 101"}));
}

TEST_F(FrameworkDialog, IdentifierExchangeGivesNoValueWithoutASelection) {
  Edited d;
  d.ident = 99;   // no entry has it: nothing selected
  ASSERT_TRUE(d.Create(L"IDD_FLG"));
  EXPECT_EQ(d.SendDlgItemMessage(103, CB_GETCURSEL), CB_ERR);
  CFlgDataExchange save(&d, TRUE);
  LONG ident = 0;
  DSX_CBIdent(save, 103, ident);
  EXPECT_EQ(ident, kNoLongValue);
  DSX_CBIdent(save, 999, ident);   // no such control: nothing happens
  EXPECT_EQ(ident, kNoLongValue);
  save.AddError(101, L"zły");
  save.AddError(101, L"zły");
  EXPECT_EQ(save.ErrorCount(), 1);
}

TEST_F(FrameworkDialog, HelpInformationAndSkin) {
  Edited d;
  d.SetHelpTopic(L"okno_testowe");
  ASSERT_TRUE(d.Create(L"IDD_FLG"));
  d.SendDlgItemMessage(IDHELP, BM_CLICK);
  EXPECT_EQ(FlgShownHelpTopics().back(), L"okno_testowe");
  LONG type = 0;
  EXPECT_EQ(d.GetInfoType(&type), S_OK);
  EXPECT_EQ(type, 64);
  ITodayWindowPtr today;
  ASSERT_EQ(static_cast<CFlgDialog&>(d).QueryInterface(__uuidof(ITodayWindow), reinterpret_cast<void**>(&today)), S_OK);
  BSTR text = reinterpret_cast<BSTR>(1);
  today->GetInfoText(&text);
  EXPECT_EQ(text, nullptr);
  // The band is painted in the window colour and statics on it share it.
  d.ShowWindow(SW_SHOW);
  platform::gui::Image client = platform::gui::CaptureClient(d.m_hWnd);
  EXPECT_EQ(client.Pixel(290, 30), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(client.Pixel(290, 60), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(client.Pixel(66, 19), GetSysColor(COLOR_WINDOW));   // inside the label, after its text
}

TEST(FrameworkStock, ColoursFontsAndTheRoundingMultiplication) {
  EXPECT_EQ(FlgGetStockColor(zephra::kColorLineEnd), RGB(122, 150, 223));
  EXPECT_EQ(FlgGetStockColor(99), RGB(0, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(FlgGetStockFont(zephra::kFontBold), sizeof lf, &lf));
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(FlgGetStockFont(9), nullptr);
  auto cy = [](LONGLONG scaled) {
    CY v;
    v.int64 = scaled;
    return COleCurrency(v);
  };
  // 1.2345 × 2 = 2.469 → 2.47; -1.005 × 1 = -1.005 → -1.01 (half away from zero).
  EXPECT_EQ(FlgMulRound(cy(12345), cy(20000), 2).m_cur.int64, 24700);
  EXPECT_EQ(FlgMulRound(cy(-10050), cy(10000), 2).m_cur.int64, -10100);
  EXPECT_EQ(FlgMulRound(cy(10049), cy(10000), 2).m_cur.int64, 10000);
  COleCurrency null;
  null.SetStatus(COleCurrency::null);
  EXPECT_EQ(FlgMulRound(null, cy(1), 2).GetStatus(), COleCurrency::null);
  EXPECT_EQ(FlgMulRound(cy(INT64_MAX / 2), cy(40000), 2).GetStatus(), COleCurrency::invalid);
  EXPECT_EQ(FlgMulRound(cy(1), cy(1), 5).GetStatus(), COleCurrency::invalid);
}

}  // namespace

namespace {

TEST(KdTools, TransparentDrawingLeavesTheTopLeftColourOutAndThePenComesBack) {
  CDC target, source;
  target.CreateCompatibleDC(nullptr);
  source.CreateCompatibleDC(nullptr);
  CBitmap canvas, picture;
  canvas.CreateCompatibleBitmap(&target, 10, 10);
  picture.CreateCompatibleBitmap(&source, 3, 3);
  CBitmap* oldCanvas = target.SelectObject(&canvas);
  target.FillSolidRect(0, 0, 10, 10, RGB(0, 0, 255));
  CBitmap* oldPicture = source.SelectObject(&picture);
  source.FillSolidRect(0, 0, 3, 3, RGB(255, 0, 255));
  source.SetPixel(1, 1, RGB(10, 20, 30));
  source.SelectObject(oldPicture);
  DrawTransparent(&target, 4, 5, picture);
  EXPECT_EQ(target.GetPixel(4, 5), RGB(0, 0, 255));
  EXPECT_EQ(target.GetPixel(5, 6), RGB(10, 20, 30));
  DrawTransparent(nullptr, 0, 0, picture);
  DrawTransparent(&target, 0, 0, nullptr);
  {
    CPenDC pen(target, RGB(255, 0, 0));
    target.MoveTo(0, 0);
    target.LineTo(3, 0);
  }
  EXPECT_EQ(target.GetPixel(1, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetCurrentObject(target, OBJ_PEN), GetStockObject(BLACK_PEN));
  target.SelectObject(oldCanvas);
  EXPECT_EQ(CKdStock::GetKdCursor(0), LoadCursorW(nullptr, IDC_HAND));
  EXPECT_EQ(CKdStock::GetKdCursor(3), LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace
