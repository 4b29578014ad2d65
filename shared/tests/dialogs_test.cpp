// The check-box-guarded exchange, the object dialog base and the one-value dialogs.
#include <gtest/gtest.h>

#include "platform/gui/gallery.h"
#include "platform/gui/headless.h"
#include "shared/dialoglines.h"
#include "shared/hxhelpers.h"
#include "shared/objectdlg.h"
#include "testing/host_doubles/edited_object.h"

namespace {

using platform::gui::ModalScript;
using platform::gui::QueueModal;

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::gui::SetEcho(false);
    host = std::make_unique<doubles::HostDoubles>();
    object = std::make_unique<doubles::FakeEditedObject>(host->recorder, host->instancePtr);
    object->dataSets[0] = doubles::OneRowRecordset({{L"nazwa", adVarWChar}, {L"aktywne", adBoolean}});
    Field(L"nazwa", _variant_t(L"Sklep"));
    Field(L"aktywne", _variant_t(true));
  }
  void TearDown() override {
    object.reset();
    host.reset();
    platform::gui::ResetHeadless();
  }
  void Field(const wchar_t* name, const _variant_t& value) {
    object->dataSets[0]->Fields->Item[name]->Value = value;
  }
  _variant_t Field(const wchar_t* name) { return object->dataSets[0]->Fields->Item[name]->Value; }
  int Count(const wchar_t* method) { return host->recorder->Count(method); }
  std::vector<std::wstring> Messages() { return host->recorder->ArgsOf(L"IFlgInstance::ShowMessage"); }

  std::unique_ptr<doubles::HostDoubles> host;
  std::unique_ptr<doubles::FakeEditedObject> object;
};

// --- the guarded exchange

class Exchange : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    dialog = std::make_unique<COneFieldSimpleDlg>(L"c", L"l", L"n", L"", nullptr, false, true, L"k");
    ASSERT_TRUE(dialog->Create(kIddOneFieldDlg));
  }
  void TearDown() override {
    dialog.reset();
    DialogTest::TearDown();
  }
  void Set(bool checked, const wchar_t* text) {
    dialog->CheckDlgButton(1004, checked ? BST_CHECKED : BST_UNCHECKED);
    dialog->SetDlgItemText(1008, text);
  }
  std::unique_ptr<COneFieldSimpleDlg> dialog;
};

TEST_F(Exchange, SavingTheEditWhenCheckedKeepsTheValuesType) {
  CHxDataExchange dx(dialog.get());
  _variant_t value(LONG{5});
  Set(true, L"42");
  hxSaveIfChecked(dx, 1004, 1008, value);
  EXPECT_EQ(value.vt, VT_I4);
  EXPECT_EQ(value.lVal, 42);
  Set(false, L"77");
  hxSaveIfChecked(dx, 1004, 1008, value);
  EXPECT_EQ(value.vt, VT_NULL);
  // A NULL value has no type to keep: the text is taken.
  Set(true, L"nowy");
  hxSaveIfChecked(dx, 1004, 1008, value);
  EXPECT_EQ(value.vt, VT_BSTR);
  EXPECT_STREQ(value.bstrVal, L"nowy");
  // A text that is no number is a field error; the value stays.
  _variant_t number(3.5);
  Set(true, L"abc");
  hxSaveIfChecked(dx, 1004, 1008, number);
  EXPECT_EQ(number.dblVal, 3.5);
  ASSERT_EQ(dialog->GetErrorList()->GetSize(), 1);
  EXPECT_EQ(dialog->GetErrorList()->GetAt(0).fieldId, 1008);
  // The field form converts to the given type and writes the field.
  FieldPtr flag = object->dataSets[0]->Fields->Item[L"nazwa"];
  Set(false, L"x");
  hxSaveIfChecked(dx, 1004, 1008, flag, VT_BSTR);
  EXPECT_EQ(Field(L"nazwa").vt, VT_NULL);
  Set(true, L"Antyki");
  hxSaveIfChecked(dx, 1004, 1008, flag, VT_BSTR);
  EXPECT_EQ(_bstr_t(Field(L"nazwa")), _bstr_t(L"Antyki"));
}

TEST_F(Exchange, LoadingChecksTheBoxOnlyForTheExpectedType) {
  CHxDataExchange dx(dialog.get());
  Set(false, L"stary");
  hxLoadIfChecked(dx, 1004, 1008, _variant_t(LONG{12}), VT_I4);
  EXPECT_TRUE(hxChecked(dx, 1004));
  CString text;
  dialog->GetDlgItemText(1008, text);
  EXPECT_EQ(text, L"12");
  _variant_t null;
  null.vt = VT_NULL;
  hxLoadIfChecked(dx, 1004, 1008, null, VT_I4);
  EXPECT_FALSE(hxChecked(dx, 1004));
  dialog->GetDlgItemText(1008, text);
  EXPECT_EQ(text, L"12");   // the edit is left as it was
  hxEnableIfChecked(dx, 1004, 1008);
  EXPECT_FALSE(dialog->GetDlgItem(1008)->IsWindowEnabled());
  dialog->CheckDlgButton(1004, BST_CHECKED);
  hxEnableIfChecked(dx, 1004, 1008);
  EXPECT_TRUE(dialog->GetDlgItem(1008)->IsWindowEnabled());
  // Ids naming no control: nothing happens.
  EXPECT_FALSE(hxChecked(dx, 4711));
  hxEnableIfChecked(dx, 4711, 4712);
  _variant_t untouched(LONG{1});
  hxSaveIfChecked(dx, 4711, 1008, untouched);
  EXPECT_EQ(untouched.vt, VT_NULL);
  EXPECT_EQ(hxDSX_CBIdent(dx, 4711), kNoLongValue);
  CHxDataExchange copy(dx);
  copy = dx;
  EXPECT_EQ(copy.m_hDialog, dialog->m_hWnd);
  EXPECT_EQ(copy.m_templateName, CString(kIddOneFieldDlg));
}

TEST_F(Exchange, CurrencyProductsRoundToTwoPlaces) {
  EXPECT_EQ(hxCompValue(_variant_t(2.345), _variant_t(LONG{3})).m_cur.int64, 70400);   // 7.035 → 7.04
  EXPECT_EQ(hxCompValue(_variant_t(L"0.5"), _variant_t(L"0.01")).m_cur.int64, 100);    // 0.005 → 0.01
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_EQ(hxCompValue(null, _variant_t(LONG{3})).GetStatus(), COleCurrency::null);
  EXPECT_EQ(hxCompValue(_variant_t(L"abc"), _variant_t(LONG{3})).GetStatus(), COleCurrency::invalid);
}

// --- the object dialog base

class BeforeRefusing : public COneFieldObjDlg {
 public:
  using COneFieldObjDlg::COneFieldObjDlg;
  BOOL BeforeUpdate() override { return FALSE; }
};

class ObjectDialog : public DialogTest {
 protected:
  std::unique_ptr<COneFieldObjDlg> Make(bool withCheck = false) {
    return std::make_unique<COneFieldObjDlg>(0, L"Nazwa konta", L"Nazwa:", L"NameDlg", L"nazwa", object.get(), nullptr,
                                             false, withCheck, L"Aktywne", L"aktywne", false);
  }
  INT_PTR RunOk(COneFieldObjDlg& dialog, ModalScript script = ModalScript()) {
    QueueModal(script.Click(IDOK));
    return dialog.DoModal();
  }
};

TEST_F(ObjectDialog, ApplySavesChecksAndSavesTheObject) {
  auto dialog = Make(true);
  EXPECT_EQ(RunOk(*dialog, ModalScript(L"IDD_ONE_FIELD_DLG").Type(1008, L"Antykwariat").Check(1004, false)), IDOK);
  EXPECT_EQ(_bstr_t(Field(L"nazwa")), _bstr_t(L"Antykwariat"));
  EXPECT_EQ(Field(L"aktywne").vt, VT_BOOL);
  EXPECT_EQ(Field(L"aktywne").boolVal, VARIANT_FALSE);
  EXPECT_EQ(host->recorder->Calls(),
            (std::vector<std::wstring>{L"IFlgDataSet::GetDataSet(0)", L"IFlgDataSet::GetDataSet(0)", L"IFlgItem::Check()",
                                       L"IFlgItem::Save()"}));
}

TEST_F(ObjectDialog, AViewModeObjectGivesAReadOnlyDialogThatClosesWithoutTouchingIt) {
  object->mode = 3;
  auto dialog = Make();
  QueueModal(ModalScript().Do([&](HWND) {
    EXPECT_TRUE(dialog->GetDlgItem(1008)->GetStyle() & ES_READONLY);
    EXPECT_TRUE(dialog->IsReadOnly());
  }).Type(1008, L"Inna").Click(IDOK));
  EXPECT_EQ(dialog->DoModal(), IDOK);
  EXPECT_EQ(_bstr_t(Field(L"nazwa")), _bstr_t(L"Sklep"));
  EXPECT_EQ(Count(L"IFlgItem::Check"), 0);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 0);
}

TEST_F(ObjectDialog, AnEmptyFieldIsRefusedBeforeTheObjectIsChecked) {
  auto dialog = Make();
  EXPECT_EQ(RunOk(*dialog, ModalScript().Type(1008, L"")), IDCANCEL);
  EXPECT_EQ(Count(L"IFlgItem::Check"), 0);
  ASSERT_EQ(object->errors.GetSize(), 1);   // the object's own list
  EXPECT_EQ(object->errors.GetAt(0).fieldId, 1008);
  EXPECT_EQ(platform::gui::MessageBoxes().back().text, kFlgRequiredFieldText);
  EXPECT_EQ(dialog->ErrorWindow().Lines().size(), 1u);
  EXPECT_EQ(_bstr_t(Field(L"nazwa")), _bstr_t(L"Sklep"));
}

TEST_F(ObjectDialog, FieldErrorsOfTheCheckKeepTheDialogOpenWithoutSaving) {
  FLG_OBJECT_ERROR_INFO error;
  error.fieldId = 1008;
  error.text = L"Taka nazwa już istnieje.";
  object->checkErrors = {error};
  object->checkResult = S_OK;
  auto dialog = Make();
  EXPECT_EQ(RunOk(*dialog, ModalScript().Type(1008, L"Duplikat")), IDCANCEL);
  EXPECT_EQ(Count(L"IFlgItem::Check"), 1);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 0);
  EXPECT_EQ(platform::gui::MessageBoxes().back().text, L"Taka nazwa już istnieje.");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ObjectDialog, AFailedCheckWithoutFieldErrorsShowsTheObjectsErrorInformation) {
  object->checkResult = E_FAIL;
  auto dialog = Make();
  EXPECT_EQ(RunOk(*dialog), IDCANCEL);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 0);
  EXPECT_EQ(host->recorder->ArgsOf(L"GetErrorInformation"), (std::vector<std::wstring>{std::to_wstring(0x80004005u)}));
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"Błąd,Nie można zapisać obiektu."}));
}

TEST_F(ObjectDialog, BeforeUpdateRefusingOrAFailedSaveKeepsTheDialogOpen) {
  BeforeRefusing refusing(0, L"c", L"l", L"n", L"nazwa", object.get());
  EXPECT_EQ(RunOk(refusing), IDCANCEL);
  EXPECT_EQ(Count(L"IFlgItem::Check"), 1);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 0);
  object->saveResult = static_cast<HRESULT>(0x80040F20);
  auto dialog = Make();
  EXPECT_EQ(RunOk(*dialog), IDCANCEL);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 1);
  EXPECT_EQ(host->recorder->ArgsOf(L"GetErrorInformation"), (std::vector<std::wstring>{std::to_wstring(0x80040F20u)}));
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(ObjectDialog, AComErrorWhileSavingTheControlsIsShownAndKeepsTheDialogOpen) {
  auto dialog = std::make_unique<COneFieldObjDlg>(0, L"c", L"l", L"n", L"brak_kolumny", object.get());
  QueueModal(ModalScript().Type(1008, L"x").Click(IDOK));
  EXPECT_EQ(dialog->DoModal(), IDCANCEL);   // loading failed too, shown as well
  EXPECT_EQ(Count(L"IFlgItem::Check"), 0);
  EXPECT_EQ(Messages().size(), 2u);
  // A data set the object does not have.
  auto missing = std::make_unique<COneFieldObjDlg>(5, L"c", L"l", L"n", L"nazwa", object.get());
  EXPECT_EQ(missing->DoModal(), IDCANCEL);
}

TEST_F(ObjectDialog, TheCaptionNamesAParameterItem) {
  object->parameterItem = true;
  object->parameterName = L"Allegro";
  auto dialog = Make();
  ASSERT_TRUE(dialog->Create(kIddOneFieldDlg));
  CString caption;
  dialog->GetWindowText(caption);
  EXPECT_EQ(caption, L"Nazwa konta (Allegro)");
  object->nameResult = E_FAIL;
  auto plain = Make();
  ASSERT_TRUE(plain->Create(kIddOneFieldDlg));
  plain->GetWindowText(caption);
  EXPECT_EQ(caption, L"Nazwa konta");
}

TEST_F(ObjectDialog, TheObjectHandlesCommandsAndKeysFirst) {
  object->handledCommands = {IDOK};
  object->handledKeys = {VK_ESCAPE};
  auto dialog = Make();
  QueueModal(ModalScript().Click(IDOK).Key(VK_ESCAPE));
  EXPECT_EQ(dialog->DoModal(), IDCANCEL);   // OK and Escape went to the object; the default answer closed it
  EXPECT_EQ(Count(L"OnCmdMsg"), 1);
  EXPECT_EQ(Count(L"PreTranslateMessage"), 1);
  EXPECT_EQ(Count(L"IFlgItem::Save"), 0);
}

TEST_F(ObjectDialog, TheObjectsMenuIsAttachedAndItsFirstSubmenuIsTheContextMenu) {
  auto plain = Make();
  ASSERT_TRUE(plain->Create(kIddOneFieldDlg));
  RECT before, plainClient;
  plain->GetWindowRect(&before);
  plain->GetClientRect(&plainClient);
  plain->DestroyWindow();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 3001, L"Właściwości");
  object->menu = CreateMenu();
  AppendMenuW(object->menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Konto");
  object->handledCommands = {3001};
  auto dialog = Make();
  ASSERT_TRUE(dialog->Create(kIddOneFieldDlg));
  RECT after, client;
  dialog->GetWindowRect(&after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top + GetSystemMetrics(SM_CYMENU));
  dialog->GetClientRect(&client);
  EXPECT_EQ(client.bottom, plainClient.bottom);   // the client area kept its size
  EXPECT_EQ(GetMenu(dialog->m_hWnd), object->menu);
  platform::gui::QueuePopupCommand(3001);
  dialog->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(dialog->m_hWnd), MAKELONG(40, 50));
  const auto menus = platform::gui::PopupMenus();
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].items, (std::vector<std::wstring>{L"Właściwości"}));
  EXPECT_EQ(menus[0].flags & TPM_RIGHTBUTTON, static_cast<UINT>(TPM_RIGHTBUTTON));
  EXPECT_EQ(host->recorder->ArgsOf(L"OnCmdMsg"), (std::vector<std::wstring>{L"3001,0"}));
  // The window slot follows the window; the menu stays the object's.
  const LONG window = static_cast<LONG>(reinterpret_cast<UINT_PTR>(dialog->m_hWnd));
  HMENU menu = GetMenu(dialog->m_hWnd);
  dialog->DestroyWindow();
  EXPECT_TRUE(IsMenu(menu));
  ASSERT_GE(object->windowHandles.size(), 3u);
  EXPECT_EQ(object->windowHandles[2], window);
  EXPECT_EQ(object->windowHandle, 0);
  DestroyMenu(menu);
  // A dialog object that goes with its window open clears the slot too.
  auto open = Make();
  ASSERT_TRUE(open->Create(kIddOneFieldDlg));
  EXPECT_NE(object->windowHandle, 0);
  open.reset();
  EXPECT_EQ(object->windowHandle, 0);
}

TEST_F(ObjectDialog, InformationAndDetailsComeFromTheObject) {
  object->infoText = L"Konto jest nieaktywne.";
  object->infoType = 48;
  auto dialog = Make();
  BSTR text = nullptr;
  LONG type = 0;
  dialog->GetInfoText(&text);
  dialog->GetInfoType(&type);
  EXPECT_STREQ(text, L"Konto jest nieaktywne.");
  EXPECT_EQ(type, 48);
  SysFreeString(text);
  ASSERT_TRUE(dialog->Create(kIddOneFieldDlg));
  EXPECT_EQ(dialog->ShowDetails(), IDCANCEL);
  const auto runs = platform::gui::ModalRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].dialog, L"FlgObjectDetails");
  EXPECT_EQ(runs[0].caption, L"Szczegóły obiektu");
  // The one-value dialogs: the label is bold, the check box hidden unless asked for.
  LOGFONTW lf{};
  GetObjectW(dialog->GetDlgItem(1010)->GetFont()->m_hObject, sizeof lf, &lf);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_FALSE(dialog->GetDlgItem(1004)->IsWindowVisible());
}

TEST_F(ObjectDialog, WithoutAnObjectNothingReachesThroughIt) {
  COneFieldSimpleDlg simple(L"Opis", L"Opis:", L"n", L"pierwszy", nullptr, true, true, L"Ważne", false, true);
  EXPECT_EQ(simple.GetObject(), nullptr);
  LONG type = 0;
  simple.GetInfoType(&type);
  EXPECT_EQ(type, 64);
  EXPECT_EQ(simple.CheckObject(), S_OK);
  EXPECT_EQ(simple.ShowDetails(), -1);
  QueueModal(ModalScript(L"IDD_ONE_BIG_FIELD_DLG").Do([&](HWND) {
    EXPECT_TRUE(simple.GetDlgItem(1004)->IsWindowVisible());
    EXPECT_FALSE(simple.GetDlgItem(1004)->IsWindowEnabled());
    simple.SendMessage(WM_CONTEXTMENU, 0, MAKELONG(1, 1));
  }).Type(1008, L"drugi\r\nwiersz").Click(IDOK));
  EXPECT_EQ(simple.DoModal(), IDOK);   // Apply saved the controls and closed
  EXPECT_EQ(simple.GetValue(), L"drugi\r\nwiersz");
  EXPECT_FALSE(simple.IsChecked());
  EXPECT_TRUE(platform::gui::PopupMenus().empty());
  EXPECT_TRUE(host->recorder->Calls().empty());
}

TEST_F(ObjectDialog, TextAndBooleanColumnsRoundTrip) {
  Field(L"nazwa", _variant_t(L"Zażółć"));
  Field(L"aktywne", _variant_t(false));
  auto dialog = Make(true);
  QueueModal(ModalScript().Do([&](HWND) {
    CString text;
    dialog->GetDlgItemText(1008, text);
    EXPECT_EQ(text, L"Zażółć");
    EXPECT_EQ(dialog->IsDlgButtonChecked(1004), 0u);
  }).Check(1004).Click(IDOK));
  EXPECT_EQ(dialog->DoModal(), IDOK);
  EXPECT_EQ(_bstr_t(Field(L"nazwa")), _bstr_t(L"Zażółć"));
  EXPECT_EQ(Field(L"aktywne").boolVal, VARIANT_TRUE);
  // NULL columns load as an empty text and a clear box.
  _variant_t null;
  null.vt = VT_NULL;
  Field(L"nazwa", null);
  Field(L"aktywne", null);
  auto empty = Make(true);
  QueueModal(ModalScript().Do([&](HWND) {
    EXPECT_EQ(empty->GetDlgItem(1008)->GetWindowTextLength(), 0);
    EXPECT_EQ(empty->IsDlgButtonChecked(1004), 0u);
  }));
  EXPECT_EQ(empty->DoModal(), IDCANCEL);
}

// --- rendering the dialogs as the program does

TEST_F(DialogTest, TheOneFieldAndPleaseWaitSamplesRenderWithTheirTexts) {
  const platform::gui::DialogSample* one = platform::gui::FindDialogSample(L"idd_one_field_dlg");
  ASSERT_TRUE(one);
  std::unique_ptr<CWnd> window = one->create();
  ASSERT_TRUE(window && window->m_hWnd);
  platform::gui::Image picture = platform::gui::CaptureClient(window->m_hWnd);
  ASSERT_EQ(picture.Width(), 377);
  ASSERT_EQ(picture.Height(), 106);
  EXPECT_EQ(picture.Pixel(370, 20), GetSysColor(COLOR_WINDOW));   // the band behind the field
  EXPECT_EQ(picture.Pixel(20, 90), GetSysColor(COLOR_BTNFACE));   // below it, the dialog face
  // The OK button: its face, its dark bottom edge, text in its middle.
  RECT ok;
  window->GetDlgItem(IDOK)->GetWindowRect(&ok);
  window->ScreenToClient(&ok);
  EXPECT_EQ(picture.Pixel(ok.left + 3, ok.top + 3), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(picture.Pixel(ok.left + 3, ok.bottom - 1), RGB(0, 0, 0));
  int dark = 0;
  for (int y = ok.top + 4; y < ok.bottom - 4; ++y)
    for (int x = ok.left + 4; x < ok.right - 4; ++x) dark += GetRValue(picture.Pixel(x, y)) < 100;
  EXPECT_GT(dark, 5);
  window.reset();

  const platform::gui::DialogSample* wait = platform::gui::FindDialogSample(L"IDD_STD_PLEASE_WAIT");
  ASSERT_TRUE(wait);
  window = wait->create();
  ASSERT_TRUE(window && window->IsWindowVisible());
  picture = platform::gui::CaptureWindow(window->m_hWnd);
  EXPECT_EQ(picture.Width(), 279 + 6);
  EXPECT_EQ(picture.Height(), 114 + 6);
  // Two centred lines in the static's middle; nothing beside them.
  RECT text;
  window->GetDlgItem(1007)->GetWindowRect(&text);
  RECT frame;
  window->GetWindowRect(&frame);
  OffsetRect(&text, -frame.left, -frame.top);
  int left = 0, right = 0, rows = 0;
  for (int y = text.top; y < text.bottom; ++y) {
    bool any = false;
    for (int x = text.left; x < text.right; ++x)
      if (GetRValue(picture.Pixel(x, y)) < 100) {
        any = true;
        (x < (text.left + text.right) / 2 ? left : right)++;
      }
    rows += any;
  }
  EXPECT_GT(rows, 12);
  EXPECT_GT(left, 20);
  EXPECT_GT(right, 20);
  EXPECT_EQ(picture.Pixel(5, 5), GetSysColor(COLOR_BTNFACE));
}

}  // namespace
