#include "shared/controls/hxsummarydlg.h"

#include <algorithm>

#include "shared/hxinstance.h"
#include "shared/hxlog.h"

const wchar_t kIddSummaryDlg[] = L"IDD_SUMMARY_DLG";

namespace {

// The columns of the simple summary: the id hidden, then the object and the result.
const FlgColumnInfo kSummaryColumns[3] = {
    {L"Id", L"Id", nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"Obiekt", L"Obiekt", nullptr, nullptr, nullptr, 5, 0},
    {L"Wynik", L"Wynik", nullptr, nullptr, nullptr, 20, 0},
};

// A text cut to `size` characters.
_variant_t CutTo(const wchar_t* text, long size) {
  CString value = text ? text : L"";
  if (value.GetLength() > size) value = value.Left(static_cast<int>(size));
  return _variant_t(value.GetString());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxSummaryDlg

CHxSummaryDlg::CHxSummaryDlg(CWnd* parent) : CFlgDialog(kIddSummaryDlg, parent) {
  SetWindowColorControl(IDC_BAND);
  if (IFlgSkinPtr skin = CHxInstance::GetSkin()) SetSkin(skin);
}

FlgListInfo CHxSummaryDlg::ListInfo() {
  FlgListInfo info;
  info.name = GridName();
  info.title = GridName();
  info.key = L"Id";
  return info;
}

void CHxSummaryDlg::SetupGrid() {
  m_list.SetConfig(ListInfo(), ColInfo(), ColCount());
  m_list.SetTitle(GridName());
  m_list.SetRecordset(Recordset());
  m_list.AttachToControl(this, IDC_LIST);
}

LONG CHxSummaryDlg::RecordCount() {
  _RecordsetPtr rs = Recordset();
  if (rs == nullptr) return 0;
  try {
    return rs->GetRecordCount();
  } catch (const _com_error&) {
    return 0;
  }
}

void CHxSummaryDlg::SubclassControls() {
  try {
    SetupGrid();
  } catch (const _com_error&) {
    // The list stays empty; the rest of the dialog still shows.
    if (!::GetDlgItem(m_hWnd, IDC_LIST) || !m_list.Grid().m_hWnd) m_list.AttachToControl(this, IDC_LIST);
  }
  SetWindowText(WindowText());
  CFlgDialog::SetHelpTopic(HelpTopic());
  HWND icon = ::GetDlgItem(m_hWnd, IDC_ICON);
  if (LPCWSTR resource = Icon()) {
    if (icon) ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, resource)), 0);
  } else if (icon) {
    ::ShowWindow(icon, SW_HIDE);
  }
  HWND summary = ::GetDlgItem(m_hWnd, IDC_SUMMARY);
  const CString text = SummaryText();
  if (summary) {
    if (text.IsEmpty())
      ::ShowWindow(summary, SW_HIDE);
    else
      ::SetWindowTextW(summary, text.GetString());
  }
}

void CHxSummaryDlg::AddFlexConstraints() {
  AddFlexConstraint(IDC_LIST, kFlexGrowRight | kFlexGrowDown);
  for (UINT id : {IDOK, IDCANCEL, IDHELP}) AddFlexConstraint(id, kFlexMoveRight | kFlexMoveDown);
}

// ---------------------------------------------------------------------------------------------
// CHxSimpleSummaryDlg

CHxSimpleSummaryDlg::CHxSimpleSummaryDlg(CWnd* parent) : CHxSummaryDlg(parent) {
  IUnknown* raw = nullptr;
  HRESULT hr = CoCreateInstance(__uuidof(::Recordset), nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
  if (FAILED(hr)) _com_issue_error(hr);
  IUnknownPtr object(raw, false);
  hr = OleRun(object);
  if (FAILED(hr)) _com_issue_error(hr);
  m_rs = object;
  if (m_rs == nullptr) _com_issue_error(E_NOINTERFACE);
  m_rs->Fields->Append(L"Id", adInteger, 4, adFldIsNullable);
  m_rs->Fields->Append(L"Obiekt", adVarWChar, kObjectSize, adFldIsNullable);
  m_rs->Fields->Append(L"Wynik", adVarWChar, kResultSize, adFldIsNullable);
  m_rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, adCmdUnspecified);
}

void CHxSimpleSummaryDlg::AddRecord(const wchar_t* object, const wchar_t* result) {
  m_rs->AddNew();
  m_rs->Fields->GetItem(L"Id")->PutValue(_variant_t(m_lastId + 1));
  m_rs->Fields->GetItem(L"Obiekt")->PutValue(CutTo(object, kObjectSize));
  m_rs->Fields->GetItem(L"Wynik")->PutValue(CutTo(result, kResultSize));
  m_rs->Update();
  ++m_lastId;
  if (m_list.Grid().m_hWnd) m_list.Reload();
}

void CHxSimpleSummaryDlg::AddRecord(const wchar_t* object, LONG hr) {
  if (hr >= 0) {
    AddRecord(object, L"Ok");
    return;
  }
  const CString text = hxFormatError(hr);
  AddRecord(object, text.GetString());
}

void CHxSimpleSummaryDlg::SetHelpTopic(const wchar_t* topic) {
  m_helpTopic = topic ? topic : L"";
  CFlgDialog::SetHelpTopic(m_helpTopic);
}

void CHxSimpleSummaryDlg::CopyColumns() {
  if (m_columnsCopied) return;
  for (int i = 0; i < 3; ++i) m_columns[i] = kSummaryColumns[i];
  m_columnsCopied = true;
}

const FlgColumnInfo* CHxSimpleSummaryDlg::ColInfo() {
  CopyColumns();
  return m_columns;
}

void CHxSimpleSummaryDlg::SetColumnName(UINT column, const wchar_t* caption) {
  if (column > 2) return;
  CopyColumns();
  m_captions.emplace_back(caption ? caption : L"");
  m_columns[column].caption = m_captions.back().GetString();
}

LPCWSTR CHxSimpleSummaryDlg::Icon() {
  if (m_icon) return m_icon;
  return m_ok ? IDI_INFORMATION : IDI_HAND;
}

// ---------------------------------------------------------------------------------------------
// CProgressDlg

CProgressDlg::CProgressDlg(CWnd* parent) : CFlgDialog(kIddProgressDlg, parent) {}

void CProgressDlg::SubclassControls() {
  if (HWND bar = ::GetDlgItem(m_hWnd, IDC_PROGRESS)) m_progress.SubclassWindow(bar);
}

void CProgressDlg::Init(DWORD total) {
  m_total = total;
  m_done = 0;
  if (m_progress.m_hWnd) {
    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
  }
  if (m_hWnd) {
    SetWindowText(L"Postęp operacji");
    RedrawWindow();
  }
}

void CProgressDlg::IncProgressAll(DWORD n) {
  m_done += n;
  if (!m_progress.m_hWnd) return;
  // Whole percent of the sum, counted exactly (29 of 100 is 29, not 28.999...).
  const unsigned long long percent = m_total == 0 ? 0 : std::min<unsigned long long>(m_done * 100 / m_total, 100);
  m_progress.SetPos(static_cast<int>(percent));
}

void CProgressDlg::SetStatus(const CString& status) {
  if (m_hWnd) SetDlgItemText(IDC_STATUS, status);
}

int CProgressDlg::GetPos() const { return m_progress.m_hWnd ? m_progress.GetPos() : 0; }
