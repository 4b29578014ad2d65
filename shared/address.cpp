// Address records and their edit dialog.
#include "shared/address.h"

#include "framework/messages.h"
#include "shared/dialoglines.h"
#include "shared/hxinstance.h"

const UINT kIddAddressDlg = 1003;

namespace {

const wchar_t* const kColumns[] = {L"adr_Name", L"adr_Address1", L"adr_Address2", L"adr_ZipCode",
                                   L"adr_City", L"adr_Country",  L"adr_Company",  L"adr_NIP"};

bool HasRows(const _RecordsetPtr& rs) { return rs && !(rs->GetBOF() && rs->GetadoEOF()); }

// A column's value as text: NULL (and EMPTY) give an empty text.
CString Text(const _variant_t& value) {
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return CString();
  _bstr_t text(value);
  return CString(static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"");
}

// The text as written into a field: cut to the defined size of a fixed-size text field.
_variant_t FieldText(const FieldPtr& field, const CString& text) {
  const DataTypeEnum type = field->GetType();
  const ADO_LONGPTR size = field->GetDefinedSize();
  CString cut = text;
  if ((type == adVarWChar || type == adVarChar || type == adChar || type == adWChar) && size > 0 &&
      cut.GetLength() > size)
    cut = cut.Left(static_cast<int>(size));
  return _variant_t(_bstr_t(cut.GetString()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxAddress

void CHxAddress::Set(CString& field, const wchar_t* value) {
  const wchar_t* text = value ? value : L"";
  if (field == text) return;
  field = text;
  m_modified = true;
}

void CHxAddress::Empty() {
  for (CString* f : {&m_name, &m_address1, &m_address2, &m_zip, &m_city, &m_country, &m_company, &m_nip}) f->Empty();
}

void CHxAddress::Trim() {
  for (CString* f : {&m_name, &m_address1, &m_address2, &m_zip, &m_city, &m_country, &m_company, &m_nip}) f->Trim();
}

BOOL CHxAddress::IsEmpty() const {
  return (m_name.IsEmpty() && m_company.IsEmpty()) || m_city.IsEmpty() || (m_address1.IsEmpty() && m_address2.IsEmpty());
}

void CHxAddress::Format(CString& out) const {
  CString format = L"%s";
  format += !m_name.IsEmpty() && !m_company.IsEmpty() ? L" - %s" : L"%s";
  format += !m_address1.IsEmpty() ? L", %s" : L"%s";
  format += !m_address2.IsEmpty() ? L", %s" : L"%s";
  format += !m_zip.IsEmpty() || !m_city.IsEmpty() ? L", %s %s" : L"%s%s";
  format += !m_country.IsEmpty() ? L", %s" : L"%s";
  out.Format(format, m_company.GetString(), m_name.GetString(), m_address1.GetString(), m_address2.GetString(),
             m_zip.GetString(), m_city.GetString(), m_country.GetString());
}

_RecordsetPtr CHxAddress::GetRecordset(const IFlgDataSetPtr& dataSet, DWORD key) {
  if (!dataSet) _com_issue_error(E_POINTER);
  IUnknown* raw = nullptr;
  const HRESULT hr = dataSet->GetDataSet(static_cast<LONG>(key), &raw);
  IUnknownPtr held(raw, false);
  if (FAILED(hr)) _com_issue_error(hr);
  _RecordsetPtr rs;
  if (held) rs = held;
  return rs;
}

HRESULT CHxAddress::Load(_RecordsetPtr rowset) {
  try {
    if (!HasRows(rowset)) return E_FAIL;
    FieldsPtr fields = rowset->GetFields();
    CString* targets[] = {&m_name, &m_address1, &m_address2, &m_zip, &m_city, &m_country, &m_company, &m_nip};
    for (size_t i = 0; i < 8; ++i) *targets[i] = Text(fields->GetItem(_variant_t(kColumns[i]))->GetValue());
    m_modified = false;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CHxAddress::Load(const GUID& clsid, LONG id) {
  try {
    IFlgItemPtr item;
    HRESULT hr = item.CreateInstance(clsid, nullptr, 23);
    if (FAILED(hr)) return hr;
    if (!item) return E_NOINTERFACE;
    hr = item->Load(CHxInstance::GetDataFactory(), _variant_t(id));
    if (FAILED(hr)) return hr;
    IFlgDataSetPtr dataSet;
    dataSet = item;
    if (!dataSet) return E_NOINTERFACE;
    return Load(GetRecordset(dataSet, 0));
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CHxAddress::Load(IFlgDataSetPtr dataSet, DWORD key) {
  try {
    _RecordsetPtr rs = GetRecordset(dataSet, key);
    if (!HasRows(rs)) return S_OK;
    return Load(rs);
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CHxAddress::Save(_RecordsetPtr rowset) {
  try {
    if (!HasRows(rowset)) return E_FAIL;
    FieldsPtr fields = rowset->GetFields();
    const CString* sources[] = {&m_name, &m_address1, &m_address2, &m_zip, &m_city, &m_country, &m_company, &m_nip};
    for (size_t i = 0; i < 8; ++i) {
      FieldPtr field = fields->GetItem(_variant_t(kColumns[i]));
      field->PutValue(FieldText(field, *sources[i]));
    }
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CHxAddress::SaveTo(const IFlgDataSetPtr& dataSet, DWORD key, const LONG* type) {
  if (IsEmpty()) return S_FALSE;
  try {
    _RecordsetPtr rs = GetRecordset(dataSet, key);
    if (HasRows(rs)) {
      rs->MoveFirst();
      return Save(rs);
    }
    const HRESULT hr = dataSet->AddSubRow(static_cast<LONG>(key));
    if (FAILED(hr)) return hr;
    // The data set's own row set stands on the row it added.
    _RecordsetPtr added = CHxAddress::GetRecordset(dataSet, key);
    if (!added || added->GetadoEOF() || added->GetBOF()) return E_FAIL;
    if (type) added->GetFields()->GetItem(_variant_t(L"adr_Type"))->PutValue(_variant_t(*type));
    return Save(added);
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CHxAddress::Save(IFlgDataSetPtr dataSet, DWORD key) { return SaveTo(dataSet, key, nullptr); }

INT_PTR CHxAddress::Edit(CWnd* parent) {
  try {
    CHxAddressDlg dialog(this, parent);
    return dialog.DoModal();
  } catch (const _com_error&) {
    return IDCANCEL;
  } catch (CException* e) {
    e->Delete();
    return -1;
  }
}

void CHxAddress::Copy(IHxAddressPtr to, IHxAddressPtr from) {
  if (!to || !from) _com_issue_error(E_POINTER);
  using Getter = HRESULT (STDMETHODCALLTYPE IHxAddress::*)(BSTR*);
  using Setter = HRESULT (STDMETHODCALLTYPE IHxAddress::*)(BSTR);
  const std::pair<Getter, Setter> properties[] = {
      {&IHxAddress::GetName, &IHxAddress::PutName},       {&IHxAddress::GetFirstLine, &IHxAddress::PutFirstLine},
      {&IHxAddress::GetSecondLine, &IHxAddress::PutSecondLine}, {&IHxAddress::GetZipCode, &IHxAddress::PutZipCode},
      {&IHxAddress::GetCity, &IHxAddress::PutCity},       {&IHxAddress::GetCountry, &IHxAddress::PutCountry},
      {&IHxAddress::GetCompany, &IHxAddress::PutCompany}, {&IHxAddress::GetTaxNumber, &IHxAddress::PutTaxNumber},
  };
  for (const auto& [get, put] : properties) {
    BSTR value = nullptr;
    HRESULT hr = (from.GetInterfacePtr()->*get)(&value);
    _bstr_t held(value, false);
    if (FAILED(hr)) _com_issue_error(hr);
    hr = (to.GetInterfacePtr()->*put)(held.GetBSTR());
    if (FAILED(hr)) _com_issue_error(hr);
  }
}

// ---------------------------------------------------------------------------------------------
// CHxAddressWithType

_RecordsetPtr CHxAddressWithType::GetRecordset(const IFlgDataSetPtr& dataSet, DWORD key) {
  _RecordsetPtr own = CHxAddress::GetRecordset(dataSet, key);
  if (!own) return own;
  _RecordsetPtr view = own->Clone(adLockUnspecified);
  CString filter;
  filter.Format(L"adr_Type=%ld", TypAdresu2Long(m_type));
  view->PutFilter(_variant_t(filter.GetString()));
  return view;
}

HRESULT CHxAddressWithType::Save(IFlgDataSetPtr dataSet, DWORD key) {
  const LONG type = TypAdresu2Long(m_type);
  return SaveTo(dataSet, key, &type);
}

// ---------------------------------------------------------------------------------------------
// CHxAddressDlg

namespace {
struct FieldRule {
  UINT id;
  int maxChars;
};
const FieldRule kLimits[] = {{CHxAddressDlg::IDC_NAME, 129},   {CHxAddressDlg::IDC_COMPANY, 255},
                             {CHxAddressDlg::IDC_NIP, 20},     {CHxAddressDlg::IDC_ADDRESS1, 64},
                             {CHxAddressDlg::IDC_ADDRESS2, 64}, {CHxAddressDlg::IDC_ZIP, 32},
                             {CHxAddressDlg::IDC_CITY, 64},    {CHxAddressDlg::IDC_COUNTRY, 50}};
}  // namespace

CHxAddressDlg::CHxAddressDlg(CHxAddress* address, CWnd* parent)
    : CFlgDialog(kIddAddressDlg, parent), m_address(address) {
  if (address) m_edited = *address;
  SetFrameworkName(L"Okno_Edycja_adresu");
  SetWindowColorControl(IDC_BAND);
  if (IFlgInstancePtr instance = CHxInstance::GetInstance()) {
    IFlgSkinPtr skin;
    skin = instance;
    if (skin) SetSkin(skin);
  }
}

void CHxAddressDlg::OnLoadData(CFlgDataExchange& dx) {
  for (const FieldRule& rule : kLimits)
    if (HWND control = dx.PrepareCtrl(rule.id)) ::SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(rule.maxChars), 0);
  CString values[] = {m_edited.Name(),     m_edited.Company(), m_edited.NIP(),  m_edited.Address1(),
                      m_edited.Address2(), m_edited.Zip(),     m_edited.City(), m_edited.Country()};
  for (size_t i = 0; i < 8; ++i) DSX_Text(dx, kLimits[i].id, values[i]);
  static const int kBold[] = {IDC_NAME, IDC_ADDRESS1, IDC_CITY, 0};
  CWndTools::SetControlLabelBold(m_hWnd, kBold);
}

void CHxAddressDlg::OnSaveData(CFlgDataExchange& dx) {
  CString values[8];
  for (size_t i = 0; i < 8; ++i) DSX_Text(dx, kLimits[i].id, values[i]);
  m_edited.SetName(values[0]);
  m_edited.SetCompany(values[1]);
  m_edited.SetNIP(values[2]);
  m_edited.SetAddress1(values[3]);
  m_edited.SetAddress2(values[4]);
  m_edited.SetZip(values[5]);
  m_edited.SetCity(values[6]);
  m_edited.SetCountry(values[7]);
}

BOOL CHxAddressDlg::BeforeUpdate() {
  m_edited.Trim();
  struct Rule {
    bool failed;
    UINT id;
    const wchar_t* text;
  };
  const Rule rules[] = {
      {m_edited.Name().IsEmpty() && m_edited.Company().IsEmpty(), IDC_NAME, L"Należy podać nazwisko lub nazwę firmy"},
      {m_edited.Address1().IsEmpty() && m_edited.Address2().IsEmpty(), IDC_ADDRESS1, L"Należy podać adres"},
      {m_edited.City().IsEmpty(), IDC_CITY, L"Należy podać miejscowość"},
  };
  for (const Rule& rule : rules) {
    if (!rule.failed) continue;
    HWND control = ::GetDlgItem(m_hWnd, static_cast<int>(rule.id));
    if (control) ::SetFocus(control);
    TipMsgBox(control ? control : m_hWnd, L"Adres", rule.text, KD_TIP_ICONERROR);
    return FALSE;
  }
  return TRUE;
}

HRESULT CHxAddressDlg::OnUpdate() {
  if (m_address) *m_address = m_edited;
  return S_OK;
}
