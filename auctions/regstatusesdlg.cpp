// The account's seller-zone settings dialog.
#include "auctions/regstatusesdlg.h"

#include "auctions/flgobject.h"
#include "auctions/regmanagerdlg.h"
#include "framework/controls.h"
#include "framework/messages.h"
#include "platform/strings/oledatetime.h"
#include "shared/dialoglines.h"
#include "shared/hxcheck.h"
#include "shared/hxlog.h"
#include "shared/pleasewait.h"
#include "shared/resstrings.h"
#include "shared/satools.h"

namespace {

constexpr UINT kActive = 1027;
constexpr UINT kDelivery = 1028;
constexpr UINT kDocument = 1029;
constexpr UINT kCard = 1030;
constexpr UINT kWww = 1025;
constexpr UINT kBand = 1026;
constexpr UINT kLinkServer = 1032;
constexpr UINT kLinkLocal = 1033;
constexpr UINT kLinkAdvanced = 1034;
constexpr UINT kLinkReceive = 1035;
constexpr UINT kLinkSend = 1036;
constexpr UINT kLine = 1041;
constexpr UINT kSectionLabel = 1042;
constexpr UINT kReceiveMarker = 1043;
constexpr UINT kSendMarker = 1044;
constexpr UINT kPageError = 500;

constexpr int kCardLimit = 500;
constexpr int kWwwLimit = 255;

constexpr UINT kErrorCaption = 187;
constexpr UINT kBadAddress = 205;
constexpr UINT kSaving = 206;
constexpr UINT kReading = 207;

constexpr wchar_t kMarker[] = L"(ustawione)";

const UINT kSection[] = {kSectionLabel, kLine, kLinkReceive, kLinkSend, kSendMarker, kReceiveMarker};

int NotifyCode(UINT code) { return static_cast<int>(MAKELONG(code, WM_NOTIFY)); }

FieldPtr FieldOf(const _RecordsetPtr& rs, const wchar_t* name) { return rs->GetFields()->GetItem(_variant_t(name)); }

bool BoolOf(const _variant_t& v) {
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return false;
  return static_cast<bool>(v);
}

CString TextOf(const _variant_t& v) {
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return CString();
  const _bstr_t text(v);
  return CString(static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"");
}

// The web address is accepted empty or holding a scheme anywhere.
bool AcceptedAddress(const CString& address) {
  return address.IsEmpty() || address.Find(L"http://") >= 0 || address.Find(L"https://") >= 0;
}

}  // namespace

CRegStatusesDlg::CRegStatusesDlg(bool registered, IHxEditedObject* object, CWnd* parent)
    : CFlgObjectDlg(object, kIddRegStatuses, parent), m_registered(registered) {
  SetWindowColorControl(kBand);
  SetFrameworkName(L"CVorlenParamDlg");
  SetHelpTopic(L"okno_konfiguracja_statusow_online");
  try {
    m_connector = FlgCreateRunning(CLSID_CoVorlenConnector);
  } catch (const _com_error&) {
    m_connector = nullptr;
  }
  try {
    IFlgDataSetPtr data = object ? object->GetDataSet() : nullptr;
    if (data) {
      IUnknown* raw = nullptr;
      if (SUCCEEDED(data->GetDataSet(0, &raw)) && raw) {
        _RecordsetPtr main(raw);
        raw->Release();
        const _variant_t id = FieldOf(main, L"reg_Id")->GetValue();
        if (id.vt != VT_NULL && id.vt != VT_EMPTY) m_accountId = static_cast<LONG>(id);
      }
    }
  } catch (const _com_error&) {
    m_accountId = 0;
  }
}

CRegStatusesDlg::~CRegStatusesDlg() { m_connector = nullptr; }

IRegistrationPtr CRegStatusesDlg::Registration() {
  IFlgItemPtr item = m_pObject ? m_pObject->GetItem() : nullptr;
  IRegistrationPtr registration(item);
  if (!registration) _com_issue_error(E_NOINTERFACE);
  return registration;
}

void CRegStatusesDlg::OnLoadData(CFlgDataExchange& dx) {
  IRegistrationPtr registration = Registration();
  if (!CEPTools::EPAvaiable()) hx::Check(registration->PutST_ShowDocumentAddressForm(FALSE));
  BOOL active = FALSE, delivery = FALSE, document = FALSE;
  hx::Check(registration->GetST_StatusesServiceActive(&active));
  hx::Check(registration->GetST_ShowDeliveryAddressForm(&delivery));
  hx::Check(registration->GetST_ShowDocumentAddressForm(&document));
  BSTR rawCard = nullptr;
  BSTR rawWww = nullptr;
  hx::Check(registration->GetST_Description(&rawCard));
  _bstr_t card(rawCard, false);
  hx::Check(registration->GetST_WWW(&rawWww));
  _bstr_t www(rawWww, false);
  CString cardText(static_cast<const wchar_t*>(card) ? static_cast<const wchar_t*>(card) : L"");
  CString wwwText(static_cast<const wchar_t*>(www) ? static_cast<const wchar_t*>(www) : L"");
  cardText = cardText.Left(kCardLimit);
  wwwText = wwwText.Left(kWwwLimit);
  DSX_Check(dx, kActive, active);
  DSX_Check(dx, kDelivery, delivery);
  DSX_Check(dx, kDocument, document);
  DSX_Text(dx, kCard, cardText);
  DSX_Text(dx, kWww, wwwText);
  SendDlgItemMessage(kCard, EM_LIMITTEXT, kCardLimit);
  SendDlgItemMessage(kWww, EM_LIMITTEXT, kWwwLimit);
  UpdateEnabling();
  ApplyAdvanced();
}

void CRegStatusesDlg::UpdateEnabling() {
  if (!m_hWnd) return;
  const bool active = IsDlgButtonChecked(kActive) == BST_CHECKED;
  CWndTools::EnableControls(m_hWnd, kDelivery, kWww, active);
  ::EnableWindow(::GetDlgItem(m_hWnd, kDocument), active && CEPTools::EPAvaiable());
  ::EnableWindow(::GetDlgItem(m_hWnd, kLinkAdvanced), active);
  for (UINT id : {kLinkReceive, kLinkSend}) ::EnableWindow(::GetDlgItem(m_hWnd, id), active && m_advanced);
}

void CRegStatusesDlg::SetMarkers() {
  SetDlgItemText(kReceiveMarker, m_receiveAll ? kMarker : L"");
  SetDlgItemText(kSendMarker, m_sendAll ? kMarker : L"");
}

void CRegStatusesDlg::ApplyAdvanced() {
  if (!m_hWnd) return;
  SetMarkers();
  CRect window;
  GetWindowRect(window);
  const int height = m_advanced ? kHeightAdvanced : kHeightPlain;
  const int change = height - window.Height();
  SetWindowPos(nullptr, 0, 0, window.Width(), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (UINT id : {static_cast<UINT>(IDOK), static_cast<UINT>(IDCANCEL), static_cast<UINT>(IDHELP)}) {
    HWND button = ::GetDlgItem(m_hWnd, static_cast<int>(id));
    if (!button) continue;
    CRect r;
    ::GetWindowRect(button, r);
    ScreenToClient(r);
    ::SetWindowPos(button, nullptr, r.left, r.top + change, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  for (UINT id : kSection) {
    HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(id));
    if (!control) continue;
    ::EnableWindow(control, m_advanced ? TRUE : FALSE);
    ::ShowWindow(control, m_advanced ? SW_SHOW : SW_HIDE);
  }
  UpdateEnabling();
}

void CRegStatusesDlg::ToggleAdvanced() {
  m_advanced = !m_advanced;
  ApplyAdvanced();
}

void CRegStatusesDlg::ToggleReceive() {
  m_receiveAll = !m_receiveAll;
  if (m_receiveAll)
    TipMsgBox(m_hWnd, L"Pobranie danych",
              L"Naciśnij OK aby ustawić awaryjne pobieranie danych.\r\nZostanie ono uruchomione podczas następnej "
              L"operacji pobierania danych ze Strefy Vantor.",
              MB_ICONINFORMATION);
  SetMarkers();
}

void CRegStatusesDlg::ToggleSend() {
  m_sendAll = !m_sendAll;
  if (m_sendAll)
    TipMsgBox(m_hWnd, L"Wysyłanie danych",
              L"Naciśnij OK aby ustawić awaryjne wysyłanie danych.\r\nZostanie ono uruchomione podczas następnej "
              L"operacji synchronizacji danych ze Strefą Vantor.",
              MB_ICONINFORMATION);
  SetMarkers();
}

void CRegStatusesDlg::ShowError(HRESULT hr) {
  CString description;
  if (std::optional<CString> taken = hx::TakeErrorDescription()) description = *taken;
  if (description.IsEmpty()) description = hxSystemMessage(hr);
  ShowMessage(CHxResString(kErrorCaption), description);
}

void CRegStatusesDlg::LoadFromServer() {
  try {
    if (!m_connector) _com_issue_error(E_POINTER);
    _RecordsetPtr config;
    {
      CHxStdPleaseWaitDlg wait(CHxResString(kReading).Text(), this);
      _Recordset* raw = nullptr;
      const HRESULT hr = m_connector->GetPageConfig(m_accountId, &raw);
      config.Attach(raw);
      wait.Hide();
      if (FAILED(hr)) _com_issue_error(hr);
    }
    if (!config || (config->GetBOF() && config->GetadoEOF())) _com_issue_error(E_FAIL);
    CheckDlgButton(kActive, BoolOf(FieldOf(config, L"StatusesServiceActive")->GetValue()) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kDelivery, BoolOf(FieldOf(config, L"ShowDeliveryAddressForm")->GetValue()) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(kDocument, BoolOf(FieldOf(config, L"ShowDocumentAddressForm")->GetValue()) ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemText(kCard, TextOf(FieldOf(config, L"Description")->GetValue()).Left(kCardLimit));
    SetDlgItemText(kWww, TextOf(FieldOf(config, L"WWW")->GetValue()).Left(kWwwLimit));
    UpdateEnabling();
  } catch (const _com_error& e) {
    ShowError(e.Error());
  }
}

void CRegStatusesDlg::OnSaveData(CFlgDataExchange& dx) {
  if (!m_connector) _com_issue_error(E_POINTER);
  BOOL active = FALSE, delivery = FALSE, document = FALSE;
  CString card, www;
  DSX_Check(dx, kActive, active);
  DSX_Check(dx, kDelivery, delivery);
  DSX_Check(dx, kDocument, document);
  DSX_Text(dx, kCard, card);
  DSX_Text(dx, kWww, www);

  _Recordset* raw = nullptr;
  const HRESULT created = m_connector->CreateStatusesOptionsContainer(&raw);
  _RecordsetPtr config(raw, false);
  if (FAILED(created)) _com_issue_error(created);
  if (!config) _com_issue_error(E_POINTER);
  config->AddNew();
  FieldOf(config, L"StatusesServiceActive")->PutValue(_variant_t(active != FALSE));
  FieldOf(config, L"ShowDeliveryAddressForm")->PutValue(_variant_t(delivery != FALSE));
  FieldOf(config, L"ShowDocumentAddressForm")->PutValue(_variant_t(document != FALSE));
  FieldOf(config, L"Description")->PutValue(_variant_t(card.GetString()));
  FieldOf(config, L"WWW")->PutValue(_variant_t(www.GetString()));
  config->Update();

  if (!AcceptedAddress(www)) {
    dx.AddError(kWww, CHxResString(kBadAddress));
    return;
  }

  HRESULT sent = S_OK;
  {
    CHxStdPleaseWaitDlg wait(CHxResString(kSaving).Text(), this);
    sent = m_connector->SetPageConfig(m_accountId, config);
    wait.Hide();
  }
  if (FAILED(sent)) {
    ShowError(sent);
    dx.AddError(kPageError, L"");
    return;
  }

  IRegistrationPtr registration = Registration();
  hx::Check(registration->PutST_StatusesServiceActive(active));
  hx::Check(registration->PutST_ShowDeliveryAddressForm(delivery));
  hx::Check(registration->PutST_ShowDocumentAddressForm(document));
  hx::Check(registration->PutST_Description(_bstr_t(card.GetString())));
  hx::Check(registration->PutST_WWW(_bstr_t(www.GetString())));
  if (m_receiveAll) {
    _variant_t cutoff;
    cutoff.vt = VT_R8;
    cutoff.dblVal = static_cast<DATE>(COleDateTime(2007, 1, 1, 0, 0, 0));
    hx::Check(registration->PutST_LastSynch(cutoff));
  }
  if (m_sendAll) {
    IFlgDataPtr data(registration);
    _variant_t id;
    if (data && SUCCEEDED(data->GetId(&id)) && id.vt == VT_I4) {
      // The emergency send is a request: its count and its errors do not stop the save.
      try {
        IStatusMgrPtr manager(FlgCreateRunning(CLSID_CoStatusMgr));
        LONG count = 0;
        if (manager) manager->ForceSendAll(m_accountId, &count);
      } catch (const _com_error&) {
      }
    }
  }
}

BOOL CRegStatusesDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (id == kActive && code == BN_CLICKED && !extra) {
    UpdateEnabling();
    // Modified-state bookkeeping of the base.
    return CFlgObjectDlg::OnCmdMsg(id, code, extra, handlerInfo) || TRUE;
  }
  if (code == NotifyCode(kFlgLinkClicked)) {
    switch (id) {
      case kLinkServer: LoadFromServer(); return TRUE;
      case kLinkLocal:
        try {
          LoadData();
        } catch (const _com_error& e) {
          ShowComError(e);
        }
        return TRUE;
      case kLinkAdvanced: ToggleAdvanced(); return TRUE;
      case kLinkReceive: ToggleReceive(); return TRUE;
      case kLinkSend: ToggleSend(); return TRUE;
      default: break;
    }
  }
  return CFlgObjectDlg::OnCmdMsg(id, code, extra, handlerInfo);
}
