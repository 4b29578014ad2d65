// The HTML preview from data definitions.
#include "shared/db2html.h"

#include <chrono>
#include <thread>

#include "platform/resources/resources.h"
#include "shared/hxextractor.h"
#include "shared/hxinstance.h"

namespace {

constexpr DWORD kAnyContext = 23;  // in process, local server or remote
// How long the default stylesheet may take to load.
constexpr std::chrono::seconds kDefaultStylesheetWait{5};

IDispatch* ProductConnection(_ConnectionPtr& holder) {
  holder = CHxInstance::GetConnection();
  return holder ? static_cast<IDispatch*>(holder) : nullptr;
}

// The XML of the first field of the first row of `sql` into a new document.
HRESULT LoadFirstField(const CString& sql, IXMLDOMDocument2Ptr& document) {
  _ConnectionPtr connection;
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, ProductConnection(connection), sql, adOpenStatic, adLockReadOnly);
  if (FAILED(hr)) return hr;
  if (rs->GetRecordCount() < 1) return E_FAIL;
  IXMLDOMDocument2Ptr loaded;
  hr = loaded.CreateInstance(__uuidof(DOMDocument40), nullptr, kAnyContext);
  if (FAILED(hr)) return hr;
  hr = XMLFromRs(loaded, rs->GetFields()->GetItem(_variant_t(LONG{0})));
  if (SUCCEEDED(hr)) document = loaded;
  return hr;
}

}  // namespace

CString CDB2html::Transform2Html(LONG objectId, LONG recordId, bool financial) {
  m_objectId = objectId;
  m_recordId = recordId;
  m_financial = financial;
  LoadDefinition();
  LoadTransformation();
  Render();
  return m_html;
}

HRESULT CDB2html::LoadDefinition() {
  m_definition = nullptr;
  try {
    CString sql;
    sql.Format(L"SELECT vxd_Definicja FROM vx_Definicja WHERE vxd_ObiektId = %ld", m_objectId);
    return LoadFirstField(sql, m_definition);
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CDB2html::LoadTransformation() {
  m_stylesheet = nullptr;
  HRESULT hr = SetXSLT(m_objectId);
  if (FAILED(hr)) hr = SetXSLT(-1);
  return hr;
}

HRESULT CDB2html::SetXSLT(LONG id) {
  try {
    if (id >= 1) {
      CString sql;
      sql.Format(L"SELECT vxt_Transformacja FROM vx_Transformacja WHERE vxt_ObiektId = %ld ORDER BY vxt_Id", id);
      return LoadFirstField(sql, m_stylesheet);
    }
    IXMLDOMDocument2Ptr document;
    HRESULT hr = document.CreateInstance(__uuidof(DOMDocument40), nullptr, kAnyContext);
    if (FAILED(hr)) return hr;
    wchar_t program[4096];
    if (GetModuleFileNameW(nullptr, program, 4096) == 0) return E_FAIL;
    CString url;
    url.Format(L"res://%s/XML/STD_PREVIEW_XSLT", program);
    document->Putasync(VARIANT_TRUE);
    document->load(_variant_t(url.GetString()));
    const auto deadline = std::chrono::steady_clock::now() + kDefaultStylesheetWait;
    while (document->GetreadyState() != 4) {
      if (std::chrono::steady_clock::now() >= deadline) return E_FAIL;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!document->GetdocumentElement()) return E_FAIL;  // the resource is missing or broken
    m_stylesheet = document;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

void CDB2html::Render() {
  m_html.Empty();
  if (!m_stylesheet || !m_definition) return;
  try {
    CHxExtractor extractor;
    _ConnectionPtr connection;
    if (IDispatch* cn = ProductConnection(connection)) extractor.putref_ActiveConnection(cn);
    _variant_t definition(static_cast<IDispatch*>(m_definition), true);
    extractor.put_XMLDefinition(definition);
    extractor.AddParam(L"id", _variant_t(LONG{m_recordId}));
    VARIANT financial;
    VariantInit(&financial);
    financial.vt = VT_I2;
    financial.iVal = m_financial ? -1 : 0;
    extractor.AddParam(L"upr_fin", financial);
    _variant_t xml;
    if (FAILED(extractor.GetData(CHxExtractor::hxWsResultText, &xml)) || xml.vt != VT_BSTR) return;
    if (!m_output) {
      IXMLDOMDocumentPtr output;
      if (FAILED(output.CreateInstance(__uuidof(DOMDocument40), nullptr, kAnyContext))) return;
      m_output = output;
    }
    if (m_output->loadXML(xml.bstrVal) != VARIANT_TRUE) return;
    _bstr_t html = m_output->transformNode(m_stylesheet);
    m_html = static_cast<const wchar_t*>(html);
  } catch (const _com_error&) {
    m_html.Empty();
  } catch (const std::bad_alloc&) {
    m_html.Empty();
  }
}
