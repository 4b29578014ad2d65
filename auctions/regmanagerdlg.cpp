// Grid caption language support and the account list dialog.
#include "auctions/regmanagerdlg.h"

#include "framework/controls.h"
#include "framework/messages.h"
#include "shared/hxcheck.h"
#include "shared/hxlog.h"
#include "shared/resstrings.h"

// ---------------------------------------------------------------------------------------------
// CHxGridLangSupp

CHxGridLangSupp::~CHxGridLangSupp() = default;

void CHxGridLangSupp::TranslateColumns(FlgColumnInfo* columns, LONG count) {
  if (!columns) return;
  for (LONG i = 0; i < count; ++i) {
    TranslateText(&columns[i].caption);
    TranslateText(&columns[i].shortCaption);
    TranslateText(&columns[i].hint);
    TranslateText(&columns[i].cellStyle);
  }
}

void CHxGridLangSupp::TranslateText(LPCWSTR* text) {
  if (!text || !*text || !IS_INTRESOURCE(*text)) return;
  CString loaded;
  if (!loaded.LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(*text)))) loaded.Empty();
  m_texts.push_back(loaded);
  *text = m_texts.back().GetString();
}

// ---------------------------------------------------------------------------------------------
// CRegManagerDlg

namespace {

constexpr UINT kGrid = 1024;
constexpr UINT kBand = 1023;
constexpr UINT kLinkAdd = 132;
constexpr UINT kLinkEdit = 133;
constexpr UINT kLinkDelete = 134;
constexpr UINT kLinkActivate = 138;
constexpr UINT kLinkDeactivate = 139;
constexpr UINT kLinkZone = 140;
constexpr UINT kHelpButton = 57670;
constexpr UINT kEditCommand = 13328;
constexpr UINT kIcon = 128;

constexpr UINT kDeleteQuestion = 106;
constexpr UINT kDeleteCaption = 107;
constexpr UINT kDeleteFailed = 108;
constexpr UINT kActivateQuestion = 114;
constexpr UINT kDeactivateQuestion = 115;
constexpr UINT kErrorCaption = 187;
constexpr UINT kErrorText = 194;

constexpr wchar_t kCheckStyle[] = L"cx=15\ncy=15\nval=0\n1";

// The account list's columns; the captions are string ids of Lotrix.
const FlgColumnInfo kColumns[] = {
    {L"reg_Id", nullptr, nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"reg_Username", MAKEINTRESOURCEW(253), nullptr, nullptr, nullptr, 50, 0},
    {L"ss_Name", MAKEINTRESOURCEW(254), nullptr, nullptr, nullptr, 50, 0, L"ss_Name, reg_Username",
     L"ss_Name DESC, reg_Username DESC"},
    {L"reg_Active", MAKEINTRESOURCEW(255), MAKEINTRESOURCEW(256), nullptr, kCheckStyle, 15, kFlgColCheck},
    {L"reg_HasShop", MAKEINTRESOURCEW(263), MAKEINTRESOURCEW(264), nullptr, kCheckStyle, 15, kFlgColCheck},
    {L"reg_SvcUserId", MAKEINTRESOURCEW(262), nullptr, nullptr, nullptr, 50, 0},
};

int NotifyCode(UINT code) { return static_cast<int>(MAKELONG(code, WM_NOTIFY)); }

LONG DialogLong(const CWnd* dialog) { return static_cast<LONG>(reinterpret_cast<INT_PTR>(dialog->m_hWnd)); }

_RecordsetPtr RegList(IRegManager* manager) {
  _Recordset* raw = nullptr;
  hx::Check(manager->GetRegList(&raw));
  return _RecordsetPtr(raw, false);
}

}  // namespace

CRegManagerDlg::CRegManagerDlg(IRegManager* manager, CWnd* parent) : CFlgDialog(kIddRegManager, parent), m_manager(manager) {
  SetWindowColorControl(kBand);
  SetHelpTopic(L"okno_konta_serwisow_aukcyjnych");
  m_icon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kIcon));
}

CRegManagerDlg::~CRegManagerDlg() {
  if (m_services.GetSafeHmenu()) m_services.DestroyMenu();
  m_manager = nullptr;
}

BOOL CRegManagerDlg::OnInitDialog() {
  const BOOL result = CFlgDialog::OnInitDialog();
  if (m_icon) {
    SetIcon(m_icon, TRUE);
    SetIcon(m_icon, FALSE);
  }
  UpdateEnabling();
  return result;
}

void CRegManagerDlg::SubclassControls() {
  // Failures of the set-up leave the grid or the menu empty.
  try {
    FlgListInfo info;
    info.name = L"RegManagerList";
    info.title = L"Konta";
    info.table = L"vw_RegManager";
    info.alias = L"RM";
    info.key = L"reg_Id";
    info.printable = false;
    FlgColumnInfo columns[std::size(kColumns)];
    std::copy(std::begin(kColumns), std::end(kColumns), columns);
    m_list.TranslateColumns(columns, static_cast<LONG>(std::size(columns)));
    m_list.SetConfig(info, columns, static_cast<int>(std::size(columns)));
    if (m_manager) m_list.SetRecordset(RegList(m_manager));
  } catch (const _com_error&) {
  }
  m_list.AttachToControl(this, kGrid);
  BuildServicesMenu();
}

void CRegManagerDlg::BuildServicesMenu() {
  if (!m_services.CreatePopupMenu()) return;
  try {
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, CHxInstance::GetConnection(), L"SELECT ss_Id, ss_Name FROM sl_ServiceProvider", adOpenStatic,
                      adLockReadOnly, adCmdText)))
      return;
    if (!(rs->GetBOF() && rs->GetadoEOF())) {
      for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
        try {
          const _variant_t idValue = rs->GetFields()->GetItem(_variant_t(L"ss_Id"))->GetValue();
          const _variant_t nameValue = rs->GetFields()->GetItem(_variant_t(L"ss_Name"))->GetValue();
          if (idValue.vt == VT_NULL || idValue.vt == VT_EMPTY || nameValue.vt != VT_BSTR) continue;
          const LONG provider = static_cast<LONG>(idValue);
          const CString name(nameValue.bstrVal ? nameValue.bstrVal : L"");
          if (name.Find(L"test") >= 0) continue;
          // Only providers 0 to 15 have a command of their own: higher ones would run others.
          if (provider < 0 || provider > static_cast<LONG>(kAddAccountLast - kAddAccountFirst)) continue;
          m_services.AppendMenu(MF_STRING, kAddAccountFirst + static_cast<UINT>(provider), name);
        } catch (const _com_error&) {
          // A row that cannot be read is skipped.
        }
      }
    }
  } catch (const _com_error&) {
  }
  if (HWND link = ::GetDlgItem(m_hWnd, kLinkAdd))
    ::SendMessageW(link, kFlgLinkSetMenu, reinterpret_cast<WPARAM>(m_services.GetSafeHmenu()), 0);
}

void CRegManagerDlg::AddFlexConstraints() {
  AddFlexConstraint(IDOK, kFlexMoveRight | kFlexMoveDown);
  AddFlexConstraint(kHelpButton, kFlexMoveRight | kFlexMoveDown);
  AddFlexConstraint(kGrid, kFlexGrowRight | kFlexGrowDown);
  for (UINT link : {kLinkAdd, kLinkEdit, kLinkDelete, kLinkActivate, kLinkDeactivate, kLinkZone})
    AddFlexConstraint(link, kFlexMoveRight);
}

BOOL CRegManagerDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  const bool command = code == CN_COMMAND && !extra;
  const bool clicked = code == NotifyCode(kFlgLinkClicked);
  if (command && id >= kAddAccountFirst && id <= kAddAccountLast) {
    AddAccount(id);
    return TRUE;
  }
  if (((command || clicked) && id == kLinkEdit) || (command && id == kEditCommand) ||
      (id == kGrid && code == NotifyCode(kFlgListEditNotify))) {
    EditAccount();
    return TRUE;
  }
  if ((clicked && id == kLinkDelete) || (id == kGrid && code == NotifyCode(kFlgListDeleteNotify))) {
    DeleteAccount();
    return TRUE;
  }
  if (clicked && (id == kLinkActivate || id == kLinkDeactivate)) {
    ActivateAccount(id == kLinkActivate);
    return TRUE;
  }
  if (clicked && id == kLinkZone) {
    EditStatuses();
    return TRUE;
  }
  // The add link opens its menu itself.
  if (clicked && id == kLinkAdd) return TRUE;
  return CFlgDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

BOOL CRegManagerDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if ((message == kFlgListRowChanged || message == kFlgListSelChanged) && wParam == kGrid) {
    UpdateEnabling();
    if (result) *result = 0;
    return TRUE;
  }
  return CFlgDialog::OnWndMsg(message, wParam, lParam, result);
}

bool CRegManagerDlg::Selected(LONG& id) {
  const _variant_t current = m_list.GetID();
  if (current.vt == VT_EMPTY || current.vt == VT_NULL) return false;
  try {
    id = static_cast<LONG>(current);
  } catch (const _com_error&) {
    return false;
  }
  return true;
}

void CRegManagerDlg::Reload() {
  if (m_manager) m_list.SetRecordset(RegList(m_manager));
}

void CRegManagerDlg::TellStatusWindow() {
  IHxStatusWindowPtr window(CHxInstance::GetInstance());
  if (window) window->Refresh(-1);
}

void CRegManagerDlg::AddAccount(UINT command) {
  CWaitCursor wait;
  try {
    LONG provider = static_cast<LONG>(command - kAddAccountFirst);
    if (GetKeyState(VK_SHIFT) & 0x8000) {
      if (command == kAddAccountFirst + 1) provider = 4;
      else if (command == kAddAccountFirst + 2) provider = 3;
    }
    LONG id = 0;
    hx::Check(m_manager->RegAdd(DialogLong(this), provider, &id));
    if (id > 0) {
      TellStatusWindow();
      Reload();
      m_list.MoveToId(_variant_t(id));
    }
  } catch (const _com_error&) {
  }
}

void CRegManagerDlg::EditAccount() {
  CWaitCursor wait;
  try {
    LONG id = 0;
    if (!Selected(id)) return;
    if (m_manager->RegEdit(DialogLong(this), id) == S_OK) {
      Reload();
      UpdateEnabling();
      TellStatusWindow();
    }
  } catch (const _com_error&) {
  }
}

void CRegManagerDlg::DeleteAccount() {
  CWaitCursor wait;
  try {
    LONG id = 0;
    if (!Selected(id)) return;
    if (AfxMessageBox(CHxResString(kDeleteQuestion), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return;
    if (id <= 0) return;
    hx::Check(m_manager->RegDelete(DialogLong(this), id));
    Reload();
    m_list.RemoveRow(_variant_t(id));
  } catch (const _com_error&) {
    TipMsgBox(m_hWnd, CHxResString(kDeleteCaption), CHxResString(kDeleteFailed), MB_ICONERROR);
  }
}

void CRegManagerDlg::ActivateAccount(bool activate) {
  CWaitCursor wait;
  try {
    LONG id = 0;
    if (!Selected(id)) return;
    if (AfxMessageBox(CHxResString(activate ? kActivateQuestion : kDeactivateQuestion), MB_YESNO | MB_DEFBUTTON2) ==
        IDYES) {
      const HRESULT hr = m_manager->RegActivate(id, activate ? VARIANT_TRUE : VARIANT_FALSE);
      if (FAILED(hr)) _com_issue_error(hr);
      if (hr == S_OK) {
        Reload();
        UpdateEnabling();
      }
    }
  } catch (const _com_error& e) {
    CString description;
    if (std::optional<CString> taken = hx::TakeErrorDescription()) description = *taken;
    if (description.IsEmpty()) description = hxSystemMessage(e.Error());
    CString text;
    text.Format(CHxResString(kErrorText), static_cast<const wchar_t*>(description));
    ShowMessage(CHxResString(kErrorCaption), text);
  }
  UpdateEnabling();
}

void CRegManagerDlg::EditStatuses() {
  CWaitCursor wait;
  try {
    LONG id = 0;
    if (!Selected(id)) return;
    m_manager->RegEditStatuses(DialogLong(this), id);
  } catch (const _com_error&) {
  }
}

void CRegManagerDlg::UpdateEnabling() {
  if (!m_hWnd) return;
  try {
    _variant_t active;
    if (SUCCEEDED(m_list.GetCurrentValue(L"reg_Active", active)) && active.vt == VT_BOOL) {
      ::EnableWindow(::GetDlgItem(m_hWnd, kLinkActivate), active.boolVal == VARIANT_FALSE);
      ::EnableWindow(::GetDlgItem(m_hWnd, kLinkDeactivate), active.boolVal != VARIANT_FALSE);
    }
    if (m_list.GetSelectedCount() >= 2) {
      for (UINT link : {kLinkActivate, kLinkDeactivate, kLinkZone}) ::EnableWindow(::GetDlgItem(m_hWnd, link), FALSE);
    } else {
      ::EnableWindow(::GetDlgItem(m_hWnd, kLinkZone), TRUE);
    }
  } catch (const _com_error&) {
  }
}
