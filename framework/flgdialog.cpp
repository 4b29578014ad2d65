#include "framework/flgdialog.h"

#include <cwctype>

#include "framework/controls.h"
#include "framework/messages.h"
#include "framework/zephra.h"

const wchar_t kFlgRequiredFieldText[] = L"Pole musi być wypełnione.";

namespace {

std::vector<CString>& HelpTopics() {
  static auto* topics = new std::vector<CString>;
  return *topics;
}

std::wstring ClassOf(HWND h) {
  wchar_t name[64] = {0};
  GetClassNameW(h, name, 64);
  std::wstring lower;
  for (const wchar_t* p = name; *p; ++p) lower.push_back(static_cast<wchar_t>(std::towlower(*p)));
  return lower;
}

UINT IconFlags(UINT icon) {
  switch (icon) {
    case 0x7F01: return MB_ICONERROR;
    case 0x7F02: return MB_ICONQUESTION;
    case 0x7F03: return MB_ICONWARNING;
    case 0x7F04: return MB_ICONINFORMATION;
    default: return 0;
  }
}

// The text of a failure: the thread's error information when it has a description, else the
// message library's text of the code.
CString FailureText(HRESULT hr, const _bstr_t& description) {
  if (static_cast<const wchar_t*>(description) && description.length() > 0)
    return CString(static_cast<const wchar_t*>(description));
  return CKdSmartMessage().SystemMessage(hr, KdGetUserDefaultLangID());
}

CString CurrentErrorText(HRESULT hr) {
  IErrorInfo* info = nullptr;
  _bstr_t description;
  if (GetErrorInfo(0, &info) == S_OK && info) {
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text))) description.Attach(text);
    info->Release();
  }
  return FailureText(hr, description);
}

LONG SelectedIdent(HWND control, bool combo) {
  const LRESULT index = SendMessageW(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  if (index < 0) return kNoLongValue;
  return static_cast<LONG>(SendMessageW(control, combo ? CB_GETITEMDATA : LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

void IdentExchange(CFlgDataExchange& dx, UINT id, LONG& ident, bool combo) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return;
  if (dx.m_bSaveAndValidate) {
    ident = SelectedIdent(control, combo);
    return;
  }
  const LRESULT count = SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  LRESULT found = -1;
  for (LRESULT i = 0; i < count && found < 0; ++i)
    if (static_cast<LONG>(SendMessageW(control, combo ? CB_GETITEMDATA : LB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == ident)
      found = i;
  SendMessageW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

}  // namespace

std::vector<CString> FlgShownHelpTopics() { return HelpTopics(); }

// --- data exchange

CFlgDataExchange::CFlgDataExchange(CObjErrorInfoArray* errors, HWND dialog, LPCWSTR templateName, BOOL save)
    : m_bSaveAndValidate(save), m_hDialog(dialog), m_pErrors(errors), m_templateName(templateName ? templateName : L"") {}

CFlgDataExchange::CFlgDataExchange(CFlgDialog* dialog, BOOL save)
    : m_bSaveAndValidate(save),
      m_hDialog(dialog ? dialog->m_hWnd : nullptr),
      m_pErrors(dialog ? dialog->GetErrorList() : nullptr),
      m_templateName(dialog ? dialog->TemplateName().c_str() : L"") {}

HWND CFlgDataExchange::PrepareCtrl(UINT id) const {
  return m_hDialog ? GetDlgItem(m_hDialog, static_cast<int>(id)) : nullptr;
}

void CFlgDataExchange::AddError(UINT id, LPCWSTR text, LONG kind) {
  if (!m_pErrors) return;
  FLG_OBJECT_ERROR_INFO entry;
  entry.fieldId = static_cast<LONG>(id);
  entry.kind = kind;
  entry.text = text ? text : L"";
  m_pErrors->AddUnique(entry);
}

void DSX_Text(CFlgDataExchange& dx, UINT id, CString& value) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return;
  if (dx.m_bSaveAndValidate) CWnd::FromHandle(control)->GetWindowText(value);
  else SetWindowTextW(control, value);
}

void DSX_Check(CFlgDataExchange& dx, UINT id, BOOL& value) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return;
  if (dx.m_bSaveAndValidate) value = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  else SendMessageW(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DSX_Check(CFlgDataExchange& dx, UINT id, bool& value) {
  BOOL v = value ? TRUE : FALSE;
  DSX_Check(dx, id, v);
  value = v != FALSE;
}

void DSX_CBIdent(CFlgDataExchange& dx, UINT id, LONG& ident) { IdentExchange(dx, id, ident, true); }
void DSX_LBIdent(CFlgDataExchange& dx, UINT id, LONG& ident) { IdentExchange(dx, id, ident, false); }

const wchar_t kFlgBadAmountText[] = L"Niepoprawna kwota.";

void DSX_Currency(CFlgDataExchange& dx, UINT id, COleCurrency& value) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return;
  if (!dx.m_bSaveAndValidate) {
    ::SetWindowTextW(control, FlgFormatAmount(value, FlgAmountDecimals(control)).GetString());
    return;
  }
  CString text;
  CWnd::FromHandle(control)->GetWindowText(text);
  COleCurrency read;
  if (!FlgParseAmount(text.GetString(), read)) {
    dx.AddError(id, kFlgBadAmountText);
    return;
  }
  value = read;
}

BOOL DSX_Required(CFlgDataExchange& dx, UINT id) {
  if (!dx.m_bSaveAndValidate) return TRUE;
  HWND control = dx.PrepareCtrl(id);
  if (!control) return TRUE;
  CString text;
  CWnd::FromHandle(control)->GetWindowText(text);
  text.Trim();
  if (!text.IsEmpty()) return TRUE;
  dx.AddError(id, kFlgRequiredFieldText);
  return FALSE;
}

// --- error tool window

void CFlgErrorWnd::AddErrors(CWnd* owner, const CObjErrorInfoArray& errors) {
  for (const FLG_OBJECT_ERROR_INFO& e : errors)
    if (!e.text.IsEmpty()) m_lines.push_back(e.text);
  if (!m_hWnd) {
    RECT around{0, 0, 0, 0};
    if (owner && owner->m_hWnd) owner->GetWindowRect(&around);
    const RECT r{around.right + 4, around.top, around.right + 244, around.top + 120};
    CreateEx(WS_EX_TOOLWINDOW, AfxRegisterWndClass(0, nullptr, reinterpret_cast<HBRUSH>(COLOR_INFOBK + 1)), L"Błędy",
             WS_POPUP | WS_CAPTION | WS_BORDER, r, owner, 0);
  }
  if (m_hWnd) {
    ShowWindow(SW_SHOWNA);
    Invalidate();
  }
}

void CFlgErrorWnd::Clear() {
  m_lines.clear();
  if (m_hWnd) Invalidate();
}

void CFlgErrorWnd::OnPaint() {
  CPaintDC dc(this);
  CRect r;
  GetClientRect(&r);
  dc.FillSolidRect(&r, GetSysColor(COLOR_INFOBK));
  CFont* old = dc.SelectObject(CFont::FromHandle(FlgGetStockFont(zephra::kFontDialog)));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_INFOTEXT));
  TEXTMETRICW tm{};
  dc.GetTextMetrics(&tm);
  int y = 2;
  for (const CString& line : m_lines) {
    CRect row(4, y, r.right - 4, y + tm.tmHeight);
    dc.DrawText(line, &row, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    y += tm.tmHeight;
  }
  dc.SelectObject(old);
}

// --- the dialog

CFlgDialog::CFlgDialog(LPCWSTR templateName, CWnd* parent) : CDialog(templateName, parent) {}
CFlgDialog::CFlgDialog(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CFlgDialog::~CFlgDialog() {
  if (m_errorWindow.m_hWnd) m_errorWindow.DestroyWindow();
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

IFlgInstancePtr CFlgDialog::GetFlgInstance() const {
  if (m_instance) return m_instance;
  try {
    return GetGlobalFlgInstance();
  } catch (const _com_error&) {
    return nullptr;
  }
}

void CFlgDialog::ShowMessage(LPCWSTR caption, LPCWSTR text) {
  IFlgInstancePtr instance = GetFlgInstance();
  if (instance) {
    _bstr_t c(caption ? caption : L""), t(text ? text : L"");
    if (SUCCEEDED(instance->ShowMessage(c, t, static_cast<LONG>(reinterpret_cast<UINT_PTR>(m_hWnd))))) return;
  }
  ::MessageBoxW(m_hWnd, text, caption, MB_OK | MB_ICONERROR);
}

void CFlgDialog::ShowComError(const _com_error& error) {
  ShowMessage(L"Błąd", FailureText(error.Error(), error.Description()));
}

void CFlgDialog::LoadData() {
  CFlgDataExchange dx(this, FALSE);
  m_loading = true;
  try {
    OnLoadData(dx);
  } catch (...) {
    m_loading = false;
    throw;
  }
  m_loading = false;
}

void CFlgDialog::SaveData() {
  CFlgDataExchange dx(this, TRUE);
  OnSaveData(dx);
}

void CFlgDialog::ShowFieldErrors() {
  if (!m_errors || m_errors->IsEmpty()) return;
  const FLG_OBJECT_ERROR_INFO* first = nullptr;
  CString text;
  for (const FLG_OBJECT_ERROR_INFO& e : *m_errors) {
    if (!first) first = &e;
    if (e.text.IsEmpty()) continue;
    if (!text.IsEmpty()) text += L"\n";
    text += e.text;
  }
  for (const FLG_OBJECT_ERROR_INFO& e : *m_errors)
    if (e.fieldId >= 0)
      if (HWND control = ::GetDlgItem(m_hWnd, e.fieldId); control && ::IsWindowVisible(control)) {
        ::SetFocus(control);
        break;
      }
  if (text.IsEmpty()) return;
  ::MessageBoxW(m_hWnd, text, first->caption.IsEmpty() ? L"Błąd" : first->caption.GetString(), MB_OK | IconFlags(first->icon));
}

void CFlgDialog::AddErrorsToToolWindow() {
  if (m_errors && !m_errors->IsEmpty()) m_errorWindow.AddErrors(this, *m_errors);
}

int CFlgDialog::HandleApply() {
  if (m_readOnly) return 1;
  m_errors->RemoveAll();
  try {
    SaveData();
  } catch (const _com_error& e) {
    ShowComError(e);
    return 0;
  }
  if (!m_errors->IsEmpty()) {
    ShowFieldErrors();
    AddErrorsToToolWindow();
    return 0;
  }
  if (!BeforeUpdate()) return 0;
  const HRESULT hr = OnUpdate();
  if (FAILED(hr)) {
    ShowMessage(L"Błąd", CurrentErrorText(hr));
    return 0;
  }
  return 1;
}

INT_PTR CFlgDialog::ShowObjectDetails(IFlgDataSetup* object) {
  if (!object) return -1;
  std::vector<CString> lines;
  _variant_t id;
  CString line;
  if (SUCCEEDED(object->GetId(&id)) && id.vt != VT_NULL && id.vt != VT_EMPTY) {
    line.Format(L"Identyfikator: %s", static_cast<const wchar_t*>(_bstr_t(id)));
  } else {
    line = L"Identyfikator: (brak)";
  }
  lines.push_back(line);
  _variant_t state;
  if (SUCCEEDED(object->GetState(&state)) && state.vt == VT_I4) {
    line.Format(L"Stan: %ld", state.lVal);
    lines.push_back(line);
  }
  LONG count = 0;
  if (FAILED(object->GetDefinitionCount(&count))) count = 0;
  for (LONG i = 0; i < count && i < 40; ++i) {
    const FlgDataSetDef* def = nullptr;
    if (FAILED(object->GetDefinition(i, &def)) || !def) continue;
    line.Format(L"%ld. %s: %s (%s)", def->index, def->name ? def->name : L"", def->table ? def->table : L"",
                def->key ? def->key : L"");
    lines.push_back(line);
  }
  platform::gui::DialogTemplate t;
  const LONG height = 36 + 10 * static_cast<LONG>(lines.size());
  t.units = RECT{0, 0, 230, height};
  t.style = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t.caption = L"Szczegóły obiektu";
  for (size_t i = 0; i < lines.size(); ++i) {
    platform::gui::DialogItem item;
    item.className = L"Static";
    item.text = lines[i].GetString();
    item.id = 1000 + static_cast<int>(i);
    item.style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    const LONG y = 7 + 10 * static_cast<LONG>(i);
    item.units = RECT{7, y, 223, y + 8};
    t.items.push_back(item);
  }
  platform::gui::DialogItem ok;
  ok.className = L"Button";
  ok.text = L"OK";
  ok.id = IDOK;
  ok.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
  ok.units = RECT{173, height - 21, 223, height - 7};
  t.items.push_back(ok);
  CDialog details;
  details.m_pParentWnd = this;
  return details.DoModalIndirect(t, L"FlgObjectDetails");
}

STDMETHODIMP CFlgDialog::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(ITodayWindow)) {
    *out = static_cast<ITodayWindow*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP CFlgDialog::GetInfoText(BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  return S_OK;
}

STDMETHODIMP CFlgDialog::GetInfoTitle(BSTR* title) {
  if (!title) return E_POINTER;
  *title = nullptr;
  return S_OK;
}

STDMETHODIMP CFlgDialog::GetInfoType(LONG* type) {
  if (!type) return E_POINTER;
  *type = 64;
  return S_OK;
}

BOOL CFlgDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  if (m_bandId)
    if (HWND band = ::GetDlgItem(m_hWnd, static_cast<int>(m_bandId))) ::ShowWindow(band, SW_HIDE);
  SubclassControls();
  m_flex.Attach(m_hWnd);
  AddFlexConstraints();
  try {
    LoadData();
  } catch (const _com_error& e) {
    ShowComError(e);
  }
  if (m_readOnly) ApplyReadOnly();
  m_modified = FALSE;
  return TRUE;
}

void CFlgDialog::OnOK() {
  if (HandleApply() == 1) EndDialog(IDOK);
}

void CFlgDialog::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  m_flex.Apply(cx, cy);
}

BOOL CFlgDialog::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (code == CN_COMMAND && !extra && (id == IDHELP || id == 0xE146)) {
    HelpTopics().push_back(m_helpTopic);
    return TRUE;
  }
  if (!m_loading && !extra && m_modifying.count(id) &&
      (code == EN_CHANGE || code == BN_CLICKED || code == CBN_SELCHANGE || code == CBN_EDITCHANGE))
    m_modified = TRUE;
  return CDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

HBRUSH CFlgDialog::OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) {
  if (m_bandId && control && (ctlColor == CTLCOLOR_STATIC || ctlColor == CTLCOLOR_BTN)) {
    if (HWND band = ::GetDlgItem(m_hWnd, static_cast<int>(m_bandId))) {
      RECT b, c, both;
      ::GetWindowRect(band, &b);
      ::GetWindowRect(control->m_hWnd, &c);
      if (::IntersectRect(&both, &b, &c) && ::EqualRect(&both, &c)) {
        dc->SetBkColor(GetSysColor(COLOR_WINDOW));
        return GetSysColorBrush(COLOR_WINDOW);
      }
    }
  }
  if (m_skin && (ctlColor == CTLCOLOR_DLG || ctlColor == CTLCOLOR_STATIC || ctlColor == CTLCOLOR_BTN)) {
    COLORREF face = FlgGetStockColor(zephra::kColorDialogFace);
    m_skin->GetColor(zephra::kColorDialogFace, &face);
    if (!m_faceBrush.m_hObject) m_faceBrush.CreateSolidBrush(face);
    LOGBRUSH lb{};
    m_faceBrush.GetObject(sizeof lb, &lb);
    if (lb.lbColor != (face & 0xFFFFFF)) m_faceBrush.CreateSolidBrush(face);
    dc->SetBkColor(face);
    dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    return m_faceBrush;
  }
  return CDialog::OnCtlColor(dc, control, ctlColor);
}

BOOL CFlgDialog::OnEraseBkgnd(CDC* dc) {
  const BOOL erased = CDialog::OnEraseBkgnd(dc);
  if (m_bandId)
    if (HWND band = ::GetDlgItem(m_hWnd, static_cast<int>(m_bandId))) {
      RECT r;
      ::GetWindowRect(band, &r);
      ScreenToClient(&r);
      ::FillRect(dc->m_hDC, &r, GetSysColorBrush(COLOR_WINDOW));
    }
  return erased;
}

void CFlgDialog::OnDestroy() {
  if (m_errorWindow.m_hWnd) m_errorWindow.DestroyWindow();
  CDialog::OnDestroy();
}

void CFlgDialog::ApplyReadOnly() {
  for (HWND c = ::GetWindow(m_hWnd, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    const std::wstring cls = ClassOf(c);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(c, GWL_STYLE));
    if (cls == L"edit" || cls.rfind(L"richedit", 0) == 0) {
      ::SendMessageW(c, EM_SETREADONLY, TRUE, 0);
    } else if (cls == L"combobox" || cls == L"listbox") {
      ::EnableWindow(c, FALSE);
    } else if (cls == L"button") {
      const DWORD type = style & BS_TYPEMASK;
      if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_GROUPBOX && type != BS_OWNERDRAW)
        ::EnableWindow(c, FALSE);
    }
  }
}
