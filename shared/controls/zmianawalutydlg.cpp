#include "shared/controls/zmianawalutydlg.h"

#include "framework/controls.h"
#include "framework/skin.h"
#include "shared/hxinstance.h"

namespace {

CString FieldText(const _RecordsetPtr& rs, const wchar_t* name) {
  const _variant_t v = rs->GetFields()->GetItem(_variant_t(name))->GetValue();
  if (v.vt != VT_BSTR) return CString();
  return CString(v.bstrVal ? v.bstrVal : L"");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CListaWalut

bool CListaWalut::Read() {
  clear();
  try {
    _ConnectionPtr connection = CHxInstance::GetConnection();
    if (connection == nullptr) return false;
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, static_cast<IDispatch*>(connection), L"SELECT cy_Id, cy_Symbol, cy_Name FROM sl_Currency ORDER BY cy_Symbol",
                      adOpenStatic, adLockReadOnly, adCmdText)))
      return false;
    if (!(rs->GetBOF() && rs->GetadoEOF())) {
      for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
        CWaluta currency;
        const _variant_t id = rs->GetFields()->GetItem(_variant_t(L"cy_Id"))->GetValue();
        if (id.vt != VT_NULL && id.vt != VT_EMPTY) currency.m_id = static_cast<LONG>(id);
        currency.m_symbol = FieldText(rs, L"cy_Symbol");
        currency.m_name = FieldText(rs, L"cy_Name");
        push_back(currency);
      }
    }
    return true;
  } catch (const _com_error&) {
    clear();
    return false;
  }
}

const CWaluta* CListaWalut::FindId(LONG id) const {
  for (const CWaluta& c : *this)
    if (c.m_id == id) return &c;
  return nullptr;
}

const CWaluta* CListaWalut::FindSymbol(const CString& symbol) const {
  for (const CWaluta& c : *this)
    if (c.m_symbol == symbol) return &c;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// CZmianaWalutyDlg

CZmianaWalutyDlg::CZmianaWalutyDlg(bool simple, CWnd* parent)
    : CFlgDialog(simple ? kIddZmianaWalutySimple : kIddZmianaWaluty, parent), m_simple(simple) {
  SetWindowColorControl(IDC_BAND);
  SetHelpTopic(L"Okno_Zmiana_waluty");
  if (IFlgSkinPtr skin = CHxInstance::GetSkin()) SetSkin(skin);
}

const CListaWalut& CZmianaWalutyDlg::ListaWalut() {
  if (!m_currenciesLoaded) m_currenciesLoaded = m_currencies.Read();
  return m_currencies;
}

BOOL CZmianaWalutyDlg::OnInitDialog() {
  CFlgDialog::OnInitDialog();
  if (HWND combo = ::GetDlgItem(m_hWnd, IDC_CURRENCY)) ::SetFocus(combo);
  return FALSE;
}

void CZmianaWalutyDlg::OnLoadData(CFlgDataExchange& dx) {
  try {
    if (!m_simple) {
      SendDlgItemMessage(IDC_OLD_AMOUNT, kFlgAmountSetUnit, kFlgAmountCurrency,
                         reinterpret_cast<LPARAM>(m_oldSymbol.GetString()));
      SendDlgItemMessage(IDC_RATE, kFlgAmountSetUnit, kFlgAmountPlain, reinterpret_cast<LPARAM>(L""));
      DSX_Currency(dx, IDC_OLD_AMOUNT, m_oldAmount);
      DSX_Currency(dx, IDC_NEW_AMOUNT, m_newAmount);
      DSX_Currency(dx, IDC_RATE, m_rate);
    }
    if (HWND combo = ::GetDlgItem(m_hWnd, IDC_CURRENCY)) {
      ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
      LRESULT selected = -1;
      for (const CWaluta& currency : ListaWalut()) {
        CString entry;
        entry.Format(L"%s (%s)", currency.m_symbol.GetString(), currency.m_name.GetString());
        const LRESULT index = ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.GetString()));
        if (index < 0) continue;
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index),
                       static_cast<LPARAM>(static_cast<ULONG>(currency.m_id)));
        if (currency.m_symbol == m_newSymbol) selected = index;
      }
      ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
    WpiszRownanie();
    OnZmianaWaluty();
  } catch (const _com_error&) {
  }
}

void CZmianaWalutyDlg::OnSaveData(CFlgDataExchange&) {
  try {
    if (m_simple) return;
    const COleCurrency rate = KursZKontrolki();
    if (rate.GetStatus() == COleCurrency::valid) m_rate = rate;
  } catch (const _com_error&) {
  }
}

BOOL CZmianaWalutyDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  if (id == IDC_CURRENCY && code == CBN_SELCHANGE) OnZmianaWaluty();
  if (id == IDC_RATE && code == EN_CHANGE) OnZmianaKursu();
  return CFlgDialog::OnCommand(wParam, lParam);
}

void CZmianaWalutyDlg::WpiszRownanie() {
  if (m_simple || !m_hWnd) return;
  CString left;
  left.Format(L"1 %ls =", m_newSymbol.GetString());
  SetDlgItemText(IDC_EQUATION_NEW, left);
  SetDlgItemText(IDC_EQUATION_OLD, m_oldSymbol);
}

void CZmianaWalutyDlg::ShowRate() {
  if (HWND rate = ::GetDlgItem(m_hWnd, IDC_RATE))
    ::SetWindowTextW(rate, FlgFormatAmount(m_rate, FlgAmountDecimals(rate)).GetString());
}

void CZmianaWalutyDlg::OnZmianaWaluty() {
  if (!m_hWnd) return;
  HWND combo = ::GetDlgItem(m_hWnd, IDC_CURRENCY);
  if (combo) {
    const LRESULT index = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index >= 0) {
      const LONG id = static_cast<LONG>(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
      if (const CWaluta* currency = ListaWalut().FindId(id)) m_newSymbol = currency->m_symbol;
    }
  }
  if (m_simple) {
    if (m_newSymbol == m_oldSymbol) m_rate = COleCurrency(1, 0);
    return;
  }
  SendDlgItemMessage(IDC_NEW_AMOUNT, kFlgAmountSetUnit, kFlgAmountCurrency,
                     reinterpret_cast<LPARAM>(m_newSymbol.GetString()));
  const bool same = m_newSymbol == m_oldSymbol;
  if (same) {
    m_rate = COleCurrency(1, 0);
    ShowRate();
  }
  if (HWND rate = ::GetDlgItem(m_hWnd, IDC_RATE)) ::EnableWindow(rate, same ? FALSE : TRUE);
  WpiszRownanie();
}

COleCurrency CZmianaWalutyDlg::KursZKontrolki() const {
  COleCurrency rate;
  rate.SetStatus(COleCurrency::invalid);
  if (!m_hWnd) return rate;
  CString text;
  GetDlgItemText(IDC_RATE, text);
  COleCurrency read;
  if (!FlgParseAmount(text.GetString(), read) || read.GetStatus() != COleCurrency::valid || read.m_cur.int64 <= 0)
    return rate;
  return read;
}

void CZmianaWalutyDlg::OnZmianaKursu() {
  if (m_simple || !m_hWnd) return;
  const COleCurrency rate = KursZKontrolki();
  if (rate.GetStatus() == COleCurrency::valid) {
    const COleCurrency amount = KdDivRound64C(m_oldAmount, rate, 2);
    if (amount.GetStatus() == COleCurrency::valid) {
      m_newAmount = amount;
      if (HWND shown = ::GetDlgItem(m_hWnd, IDC_NEW_AMOUNT)) ::SetWindowTextW(shown, FlgFormatAmount(m_newAmount, 2).GetString());
    }
  }
  WpiszRownanie();
}
