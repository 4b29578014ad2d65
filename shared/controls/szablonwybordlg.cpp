#include "shared/controls/szablonwybordlg.h"

#include <iterator>

#include "framework/messages.h"
#include "shared/hxinstance.h"
#include "shared/satools.h"

namespace {

const FlgColumnInfo kTemplateColumns[10] = {
    {L"au_Id", nullptr, nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"au_RegId", nullptr, nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"st_SiteId", nullptr, nullptr, nullptr, nullptr, 0, kFlgColHidden},
    {L"ss_Name", L"Serwis", nullptr, nullptr, nullptr, 5, 0},
    {L"au_Note", L"Nazwa szablonu", nullptr, nullptr, nullptr, 25, 0},
    {L"au_Title", L"Tytuł aukcji", nullptr, nullptr, nullptr, 25, 0},
    {L"at_Name", L"Typ aukcji", L"Typ", nullptr, nullptr, 10, 0},
    {L"au_StartDate", L"Data wystawienia", nullptr, nullptr, nullptr, 20, 0},
    {},
    {},
};

int NotifyCode(UINT code) { return static_cast<int>(MAKELONG(code, WM_NOTIFY)); }

const wchar_t kNoRowText[] = L"Należy wybrać pozycję z listy.";

}  // namespace

CSzablonAukcjiWyborDlg::CSzablonAukcjiWyborDlg(CWnd* parent) : CFlgDialog(kIddSzablonAukcjiWybor, parent) {
  if (IFlgSkinPtr skin = CHxInstance::GetSkin()) SetSkin(skin);
  SetWindowColorControl(IDC_BAND);
  SetFrameworkName(L"CSzablonAukcjiWyborDlg");
  FlgListInfo info;
  info.name = L"SzablonAukcjiWyborDlg";
  info.title = L"Szablony aukcji";
  info.table = L"vw_AuctionTemplate";
  info.alias = L"AU";
  info.key = L"au_Id";
  info.joins = {{L"st_Duration", L"DUR", L"sd_Id", L"au_DurationId"},
                {L"st_AuctionType", L"AT", L"at_Id", L"au_TypeId"},
                {L"sl_ServiceProvider", L"SP", L"ss_Id", L"au_SvcProvId"},
                {L"st__Site", L"ST", L"st_Id", L"au_SiteId"}};
  IFlgDataFactoryPtr factory;
  try {
    factory = CHxInstance::GetDataFactory();
  } catch (const _com_error&) {
  }
  m_list.SetConfig(info, kTemplateColumns, static_cast<int>(std::size(kTemplateColumns)), factory);
  m_list.SetTitle(L"Lista szablonów aukcji");
  SetHelpTopic(L"Okno_Wybor_szablonu_aukcji");
}

CSzablonAukcjiWyborDlg::~CSzablonAukcjiWyborDlg() = default;

void CSzablonAukcjiWyborDlg::SubclassControls() {
  try {
    CString filter;
    filter.Format(L"au_SiteId=%ld", m_siteId);
    if (m_regId > 0) {
      filter += L" AND (au_RegId=%1!ld! OR au_RegId IS NULL)";
      m_list.SetUserFilter(filter, m_regId);
    } else {
      m_list.SetUserFilter(filter);
    }
    m_list.AttachToControl(this, IDC_LIST);
  } catch (const _com_error&) {
  }
}

void CSzablonAukcjiWyborDlg::AddFlexConstraints() {
  AddFlexConstraint(IDC_LIST, kFlexGrowRight | kFlexGrowDown);
  AddFlexConstraint(IDC_SHOW, kFlexMoveDown);
  for (UINT id : {static_cast<UINT>(IDOK), static_cast<UINT>(IDCANCEL), static_cast<UINT>(IDC_HELP_BUTTON)})
    AddFlexConstraint(id, kFlexMoveRight | kFlexMoveDown);
}

LONG CSzablonAukcjiWyborDlg::CurrentId(_variant_t& id) const {
  id = m_list.GetID();
  switch (id.vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT: break;
    default: return 0;
  }
  _variant_t wide;
  if (FAILED(VariantChangeType(&wide, &id, 0, VT_I8))) return 0;
  return wide.llVal > 0 && wide.llVal <= 0x7FFFFFFF ? static_cast<LONG>(wide.llVal) : 0;
}

LONG CSzablonAukcjiWyborDlg::ChosenId(const wchar_t* caption, _variant_t& id) const {
  const LONG chosen = CurrentId(id);
  if (chosen <= 0) {
    HWND list = ::GetDlgItem(m_hWnd, IDC_LIST);
    TipMsgBox(list ? list : m_hWnd, caption, kNoRowText, KD_TIP_ICONERROR);
  }
  return chosen;
}

void CSzablonAukcjiWyborDlg::OnOK() {
  try {
    SaveData();
  } catch (const _com_error&) {
  }
  _variant_t id;
  const LONG chosen = ChosenId(L"Wybór szablonu aukcji", id);
  if (chosen <= 0) return;
  m_templateId = chosen;
  _variant_t value;
  if (SUCCEEDED(m_list.GetCurrentValue(L"au_Note", value)) && value.vt == VT_BSTR) m_note = value.bstrVal;
  value.Clear();
  if (SUCCEEDED(m_list.GetCurrentValue(L"au_Title", value)) && value.vt == VT_BSTR) m_title = value.bstrVal;
  EndDialog(IDOK);
}

void CSzablonAukcjiWyborDlg::OnPokaz() {
  CWaitCursor wait;
  _variant_t id;
  const LONG chosen = ChosenId(L"Pokaż szablon", id);
  if (chosen <= 0) return;
  try {
    const GUID clsid = CHxSaTools::GetAuTemplClsidEx(chosen);
    IUnknown* raw = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, 0x17, __uuidof(IUnknown), reinterpret_cast<void**>(&raw));
    if (FAILED(hr)) _com_issue_error(hr);
    IUnknownPtr object(raw, false);
    hr = OleRun(object);
    if (FAILED(hr)) _com_issue_error(hr);
    IFlgItemPtr item(object);
    if (!item) _com_issue_error(E_POINTER);
    hr = item->Load(CHxInstance::GetDataFactory(), id);
    if (FAILED(hr)) _com_issue_error(hr);
    IFlgItemViewPtr view(object);
    if (!view) _com_issue_error(E_NOINTERFACE);
    hr = view->ShowReadOnly(static_cast<IUnknown*>(&m_xOleWindow), CHxInstance::GetInstance());
    if (FAILED(hr)) _com_issue_error(hr);
  } catch (const _com_error&) {
    // A template that cannot be opened is not shown.
  }
}

BOOL CSzablonAukcjiWyborDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if ((id == IDC_SHOW && code == CN_COMMAND && !extra) || (id == IDC_LIST && code == NotifyCode(kFlgListShowNotify))) {
    OnPokaz();
    return TRUE;
  }
  return CFlgDialog::OnCmdMsg(id, code, extra, handlerInfo);
}

// --- the window face

STDMETHODIMP CSzablonAukcjiWyborDlg::XOleWindow::QueryInterface(REFIID iid, void** out) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != __uuidof(IUnknown) && iid != __uuidof(IFlgWnd)) return E_NOINTERFACE;
  *out = static_cast<IFlgWnd*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CSzablonAukcjiWyborDlg::XOleWindow::AddRef() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return ++m_owner->m_externalRefs;
}

STDMETHODIMP_(ULONG) CSzablonAukcjiWyborDlg::XOleWindow::Release() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  // The dialog belongs to whoever made it: the last reference does not delete it.
  ULONG refs = m_owner->m_externalRefs.load();
  while (refs > 0 && !m_owner->m_externalRefs.compare_exchange_weak(refs, refs - 1)) {
  }
  return refs > 0 ? refs - 1 : 0;
}

STDMETHODIMP CSzablonAukcjiWyborDlg::XOleWindow::GetWindow(LONG* hwnd) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return m_owner->m_oleWindow.GetWindow(hwnd);
}

STDMETHODIMP CSzablonAukcjiWyborDlg::XOleWindow::ContextSensitiveHelp(BOOL enter) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return m_owner->m_oleWindow.ContextSensitiveHelp(enter);
}
