#include "shared/objectdlg.h"

#include "framework/skin.h"
#include "shared/hxlog.h"

const wchar_t kIddOneFieldDlg[] = L"IDD_ONE_FIELD_DLG";
const wchar_t kIddOneBigFieldDlg[] = L"IDD_ONE_BIG_FIELD_DLG";

namespace {

constexpr UINT kEditId = 1008;
constexpr UINT kCheckId = 1004;
constexpr UINT kLabelId = 1010;
constexpr UINT kBandId = 1001;

BSTR Copy(const CString& text) { return text.IsEmpty() ? nullptr : SysAllocString(text); }

bool IsViewMode(IHxEditedObject* object) {
  if (!object) return false;
  const LONG mode = object->GetOpenMode();
  return mode == 0 || mode == 3;
}

// The label (bold), the caption and the check box of a one-value dialog.
void SetUpOneField(CFlgDialog& dialog, const CString& caption, const CString& label, bool withCheck,
                   const CString& checkLabel, bool checkDisabled) {
  if (CWnd* text = dialog.GetDlgItem(kLabelId)) {
    text->SetFont(CFont::FromHandle(FlgGetStockFont(zephra::kFontBold)));
    text->SetWindowText(label);
  }
  dialog.SetWindowText(caption);
  if (!withCheck) return;
  if (CWnd* check = dialog.GetDlgItem(kCheckId)) {
    check->SetWindowText(checkLabel);
    check->ShowWindow(SW_SHOW);
    check->EnableWindow(checkDisabled ? FALSE : TRUE);
  }
}

void PrepareOneField(CFlgDialog& dialog, const wchar_t* name) {
  dialog.SetFrameworkName(name);
  dialog.AddModifyingControl(kEditId);
  dialog.AddModifyingControl(kCheckId);
  dialog.SetWindowColorControl(kBandId);
}

CString FieldText(const _variant_t& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return CString();
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &value, 0, VT_BSTR))) return CString();
  return CString(text.bstrVal ? text.bstrVal : L"");
}

BOOL FieldFlag(const _variant_t& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return FALSE;
  _variant_t flag;
  if (FAILED(VariantChangeType(&flag, &value, 0, VT_BOOL))) return FALSE;
  return flag.boolVal != VARIANT_FALSE;
}

}  // namespace

// --- the object dialog base

CFlgObjectDlg::CFlgObjectDlg(IHxEditedObject* object, LPCWSTR templateName, CWnd* parent)
    : CFlgDialog(templateName, parent) {
  CFlgObjectDlg::SetObject(object);
}

CFlgObjectDlg::CFlgObjectDlg(IHxEditedObject* object, UINT templateId, CWnd* parent) : CFlgDialog(templateId, parent) {
  CFlgObjectDlg::SetObject(object);
}

CFlgObjectDlg::~CFlgObjectDlg() {
  if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

void CFlgObjectDlg::SetObject(IHxEditedObject* object) {
  m_pObject = object;
  if (!object) {
    SetErrorList(nullptr);
    return;
  }
  SetErrorList(object->GetErrorList());
  SetReadOnly(IsViewMode(object) ? TRUE : FALSE);
  IFlgInstancePtr instance = object->GetFlgInstance();
  SetFlgInstance(instance);
  if (instance) {
    IFlgSkinPtr skin = instance;
    if (skin) SetSkin(skin);
  }
}

HRESULT CFlgObjectDlg::CheckObject() {
  if (!m_pObject) return S_OK;
  IFlgItemPtr item = m_pObject->GetItem();
  return item ? item->Check() : E_POINTER;
}

HRESULT CFlgObjectDlg::OnUpdate() {
  if (!m_pObject) return S_OK;
  IFlgItemPtr item = m_pObject->GetItem();
  if (!item) return E_POINTER;
  CWaitCursor wait;
  return item->Save();
}

void CFlgObjectDlg::ShowErrorForHr(HRESULT hr) {
  if (!m_pObject) {
    ShowMessage(L"Błąd", hxFormatError(hr));
    return;
  }
  const CString text = m_pObject->GetErrorInformation(hr);
  IFlgInstancePtr instance = m_pObject->GetFlgInstance();
  if (instance &&
      SUCCEEDED(instance->ShowMessage(_bstr_t(L"Błąd"), _bstr_t(text.GetString()),
                                      static_cast<LONG>(reinterpret_cast<UINT_PTR>(m_hWnd)))))
    return;
  ::MessageBoxW(m_hWnd, text, L"Błąd", MB_OK | MB_ICONERROR);
}

INT_PTR CFlgObjectDlg::ShowDetails() {
  if (!m_pObject) return -1;
  IFlgDataSetupPtr setup = m_pObject->GetDataSetup();
  return setup ? ShowObjectDetails(setup) : -1;
}

void CFlgObjectDlg::ExtendCaption() {
  if (!m_pObject || !m_hWnd) return;
  IFlgItemPtr item = m_pObject->GetItem();
  if (!item) return;
  IFlgParameterItemPtr parameter = item;
  if (!parameter) return;
  BSTR name = nullptr;
  if (FAILED(parameter->GetName(&name))) {
    SysFreeString(name);
    return;
  }
  CString caption;
  GetWindowText(caption);
  CString extended;
  extended.Format(L"%s (%s)", caption.GetString(), name ? name : L"");
  SysFreeString(name);
  SetWindowText(extended);
}

int CFlgObjectDlg::RefuseWithErrors() {
  ShowFieldErrors();
  AddErrorsToToolWindow();
  return 0;
}

int CFlgObjectDlg::HandleApply() {
  if (IsViewMode(m_pObject)) return 1;
  CObjErrorInfoArray* errors = GetErrorList();
  errors->RemoveAll();
  try {
    SaveData();
  } catch (const _com_error& e) {
    ShowComError(e);
    return 0;
  }
  if (!errors->IsEmpty()) return RefuseWithErrors();
  // Without an object the controls are saved into the dialog, and that is all.
  if (!m_pObject) return 1;
  const HRESULT checked = CheckObject();
  if (!errors->IsEmpty()) return RefuseWithErrors();
  if (FAILED(checked)) {
    ShowErrorForHr(checked);
    return 0;
  }
  if (!BeforeUpdate()) return 0;
  const HRESULT saved = OnUpdate();
  if (SUCCEEDED(saved)) return 1;
  ShowErrorForHr(saved);
  return 0;
}

BOOL CFlgObjectDlg::OnInitDialog() {
  if (m_pObject) {
    m_pObject->SetWindowHandle(static_cast<LONG>(reinterpret_cast<UINT_PTR>(m_hWnd)));
    HMENU menu = m_pObject->GetMenu();
    if (menu && ::IsMenu(menu)) {
      RECT r;
      GetWindowRect(&r);
      if (::SetMenu(m_hWnd, menu)) {
        m_menuAttached = true;
        SetWindowPos(nullptr, 0, 0, r.right - r.left, r.bottom - r.top + GetSystemMetrics(SM_CYMENU),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
    }
  }
  const BOOL focus = CFlgDialog::OnInitDialog();
  ExtendCaption();
  return focus;
}

BOOL CFlgObjectDlg::PreTranslateMessage(MSG* msg) {
  if (m_pObject && m_pObject->PreTranslateMessage(msg)) return TRUE;
  return CFlgDialog::PreTranslateMessage(msg);
}

BOOL CFlgObjectDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (m_pObject && m_pObject->OnCmdMsg(id, code, extra, handlerInfo)) return TRUE;
  return CFlgDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

void CFlgObjectDlg::OnContextMenu(CWnd*, CPoint point) {
  HMENU menu = m_pObject ? m_pObject->GetMenu() : nullptr;
  HMENU popup = menu ? ::GetSubMenu(menu, 0) : nullptr;
  if (!popup) return;
  if (point.x == -1 && point.y == -1) {
    point = CPoint(0, 0);
    ClientToScreen(&point);
  }
  ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, m_hWnd, nullptr);
}

void CFlgObjectDlg::OnDestroy() {
  // The menu is the object's: the window's end must not take it along.
  if (m_menuAttached) {
    ::SetMenu(m_hWnd, nullptr);
    m_menuAttached = false;
  }
  CFlgDialog::OnDestroy();
}

void CFlgObjectDlg::PostNcDestroy() {
  if (m_pObject) m_pObject->SetWindowHandle(0);
  CFlgDialog::PostNcDestroy();
}

STDMETHODIMP CFlgObjectDlg::GetInfoText(BSTR* text) {
  if (!text) return E_POINTER;
  *text = m_pObject ? Copy(m_pObject->GetInfoText()) : nullptr;
  return S_OK;
}

STDMETHODIMP CFlgObjectDlg::GetInfoTitle(BSTR* title) {
  if (!title) return E_POINTER;
  *title = m_pObject ? Copy(m_pObject->GetInfoTitle()) : nullptr;
  return S_OK;
}

STDMETHODIMP CFlgObjectDlg::GetInfoType(LONG* type) {
  if (!type) return E_POINTER;
  *type = m_pObject ? m_pObject->GetInfoType() : 64;
  return S_OK;
}

// --- one column of the object

COneFieldObjDlg::COneFieldObjDlg(DWORD dataSetId, const wchar_t* caption, const wchar_t* label, const wchar_t* name,
                                 const wchar_t* column, IHxEditedObject* object, CWnd* parent, bool big,
                                 bool withCheck, const wchar_t* checkLabel, const wchar_t* checkColumn,
                                 bool checkDisabled)
    : CFlgObjectDlg(object, big ? kIddOneBigFieldDlg : kIddOneFieldDlg, parent),
      m_caption(caption ? caption : L""),
      m_label(label ? label : L""),
      m_column(column ? column : L""),
      m_checkLabel(checkLabel ? checkLabel : L""),
      m_checkColumn(checkColumn ? checkColumn : L""),
      m_dataSetId(dataSetId),
      m_withCheck(withCheck ? 1 : 0),
      m_checkDisabled(checkDisabled ? 1 : 0) {
  PrepareOneField(*this, name);
}

void COneFieldObjDlg::SubclassControls() {
  SetUpOneField(*this, m_caption, m_label, m_withCheck != 0, m_checkLabel, m_checkDisabled != 0);
}

_RecordsetPtr COneFieldObjDlg::DataSetRecordset() {
  if (!m_pObject) return nullptr;
  IFlgDataSetPtr data = m_pObject->GetDataSet();
  if (!data) _com_issue_error(E_POINTER);
  IUnknown* raw = nullptr;
  const HRESULT hr = data->GetDataSet(static_cast<LONG>(m_dataSetId), &raw);
  IUnknownPtr unknown(raw, false);
  if (FAILED(hr)) _com_issue_error(hr);
  _RecordsetPtr rs = unknown;
  if (!rs) _com_issue_error(E_NOINTERFACE);
  return rs;
}

void COneFieldObjDlg::OnLoadData(CFlgDataExchange& dx) {
  _RecordsetPtr rs = DataSetRecordset();
  if (!rs) return;
  FieldPtr field = rs->GetFields()->GetItem(_variant_t(m_column.GetString()));
  CString text = FieldText(field->GetValue());
  DSX_Text(dx, kEditId, text);
  // A text column of fixed size takes no more than it can hold.
  const DataTypeEnum type = field->GetType();
  const LONG size = static_cast<LONG>(field->GetDefinedSize());
  if ((type == adVarWChar || type == adVarChar || type == adWChar || type == adChar) && size > 0)
    if (HWND edit = dx.PrepareCtrl(kEditId)) SendMessageW(edit, EM_LIMITTEXT, static_cast<WPARAM>(size), 0);
  if (m_withCheck) {
    BOOL checked = FieldFlag(rs->GetFields()->GetItem(_variant_t(m_checkColumn.GetString()))->GetValue());
    DSX_Check(dx, kCheckId, checked);
  }
}

void COneFieldObjDlg::OnSaveData(CFlgDataExchange& dx) {
  _RecordsetPtr rs = DataSetRecordset();
  if (!rs) return;
  CString text;
  DSX_Text(dx, kEditId, text);
  if (!DSX_Required(dx, kEditId)) return;
  rs->GetFields()->GetItem(_variant_t(m_column.GetString()))->PutValue(_variant_t(text.GetString()));
  if (m_withCheck) {
    bool checked = false;
    DSX_Check(dx, kCheckId, checked);
    rs->GetFields()->GetItem(_variant_t(m_checkColumn.GetString()))->PutValue(_variant_t(checked));
  }
}

// --- one text without an object

COneFieldSimpleDlg::COneFieldSimpleDlg(const wchar_t* caption, const wchar_t* label, const wchar_t* name,
                                       const wchar_t* value, CWnd* parent, bool big, bool withCheck,
                                       const wchar_t* checkLabel, bool checked, bool checkDisabled)
    : CFlgObjectDlg(nullptr, big ? kIddOneBigFieldDlg : kIddOneFieldDlg, parent),
      m_caption(caption ? caption : L""),
      m_label(label ? label : L""),
      m_checkLabel(checkLabel ? checkLabel : L""),
      m_withCheck(withCheck ? 1 : 0),
      m_checkDisabled(checkDisabled ? 1 : 0),
      m_value(value ? value : L""),
      m_checked(checked ? 1 : 0) {
  PrepareOneField(*this, name);
}

void COneFieldSimpleDlg::SubclassControls() {
  SetUpOneField(*this, m_caption, m_label, m_withCheck != 0, m_checkLabel, m_checkDisabled != 0);
}

void COneFieldSimpleDlg::OnLoadData(CFlgDataExchange& dx) {
  DSX_Text(dx, kEditId, m_value);
  if (m_withCheck) {
    BOOL checked = m_checked;
    DSX_Check(dx, kCheckId, checked);
  }
}

void COneFieldSimpleDlg::OnSaveData(CFlgDataExchange& dx) {
  DSX_Text(dx, kEditId, m_value);
  if (m_withCheck) {
    BOOL checked = m_checked;
    DSX_Check(dx, kCheckId, checked);
    m_checked = checked ? 1 : 0;
  }
}
