#include "zone/connector.h"

#include <cctype>
#include <new>
#include <vector>

#include "framework/comobject.h"
#include "platform/http/wininet.h"
#include "platform/resources/resources.h"
#include "shared/hxinstance.h"
#include "zone/containers.h"
#include "zone/mapping.h"
#include "zone/protocol/SoapStatus.h"
#include "zone/protocol/transport.h"

namespace vorlen {
namespace {

namespace status = soapstatus;

constexpr HRESULT kSoapBase = static_cast<HRESULT>(0x80044502u);

// The named faults of the service, in the order they are looked for in a fault string.
const struct {
  const wchar_t* name;
  HRESULT hr;
} kNamedFaults[] = {
    {L"IllegalArgumentFault", E_INVALIDARG},
    {L"UserAuthenticationFault", static_cast<HRESULT>(0x80044593u)},
    {L"ServiceUnavailableFault", static_cast<HRESULT>(0x80044595u)},
    {L"UnsupportedOperationFault", static_cast<HRESULT>(0x80044596u)},
    {L"UserIsNotPageOwnerFault", static_cast<HRESULT>(0x80044597u)},
    {L"BidDoesNotExistFault", static_cast<HRESULT>(0x80044598u)},
    {L"PageClosedFault", static_cast<HRESULT>(0x80044599u)},
    {L"StatusesDisabledFault", static_cast<HRESULT>(0x8004459Au)},
    {L"AuctionDoesNotExistFault", static_cast<HRESULT>(0x8004459Bu)},
    {L"UserIsNotSellerInAuctionFault", static_cast<HRESULT>(0x8004459Cu)},
    {L"PageAlreadyOpenedFault", static_cast<HRESULT>(0x8004459Du)},
    {L"PageNotOpenedFault", static_cast<HRESULT>(0x8004459Eu)},
    {L"PageDoesNotExistFault", static_cast<HRESULT>(0x8004459Fu)},
    {L"PagesDoNotHaveCommonBidsFault", static_cast<HRESULT>(0x800445A0u)},
};

// What the runtime decoded for one call is freed when the call's scope ends, once its answer is
// converted (or the call failed): the connector lives long and must not keep its answers.
class AnswerScope {
 public:
  explicit AnswerScope(struct soap* s) : m_soap(s) {}
  ~AnswerScope() {
    if (!m_soap) return;
    soap_destroy(m_soap);
    soap_end(m_soap);
  }
  AnswerScope(const AnswerScope&) = delete;
  AnswerScope& operator=(const AnswerScope&) = delete;

 private:
  struct soap* m_soap;
};

// While a page is opened, a send failure is never resolved by asking the user (nor resent).
DWORD AlwaysFail(HINTERNET, DWORD) { return static_cast<DWORD>(transport::ResolveSendErrorAnswer::Fail); }

class ResolveSendErrorSwap {
 public:
  explicit ResolveSendErrorSwap(struct soap* s) : m_soap(s), m_saved(transport::GetResolveSendError(s)) {
    transport::SetResolveSendError(m_soap, AlwaysFail);
  }
  ~ResolveSendErrorSwap() { transport::SetResolveSendError(m_soap, m_saved); }
  ResolveSendErrorSwap(const ResolveSendErrorSwap&) = delete;
  ResolveSendErrorSwap& operator=(const ResolveSendErrorSwap&) = delete;

 private:
  struct soap* m_soap;
  transport::ResolveSendErrorCallback m_saved;
};

// Hands a container to an [out] argument (the caller owns it).
void HandOut(const _RecordsetPtr& rs, _Recordset** out) {
  if (!out) return;
  *out = rs ? rs.GetInterfacePtr() : nullptr;
  if (*out) (*out)->AddRef();
}

void NullOut(_Recordset** out) {
  if (out) *out = nullptr;
}

std::string Narrow(const CString& text) { return TextToService(text.GetString()); }

std::string Trimmed(const CString& text) {
  std::string s = Narrow(text);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  return s.substr(start);
}

_bstr_t BstrOut(HRESULT hr, BSTR value) {
  _bstr_t text(value, false);
  if (FAILED(hr)) _com_issue_error(hr);
  return text;
}

bool AccountMissing(LONG lRegId) { return lRegId == 0; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

CCoVorlenConnector::CCoVorlenConnector() : m_endpoint(kStatusServiceDefaultEndpoint) {
  m_binding.endpoint = m_endpoint.c_str();
  platform::com::g_thisModuleLocks.Lock();
}

CCoVorlenConnector::~CCoVorlenConnector() { platform::com::g_thisModuleLocks.Unlock(); }

void* CCoVorlenConnector::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IVorlenConnector))
    return static_cast<IVorlenConnector*>(this);
  if (iid == __uuidof(ISupportErrorInfo)) return static_cast<ISupportErrorInfo*>(this);
  return nullptr;
}

HRESULT CCoVorlenConnector::Init() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) return E_POINTER;
  struct soap* s = m_binding.soap;
  if (!s) return E_OUTOFMEMORY;
  CWinApp* app = AfxGetApp();

  // The service's host (the scheme and the path are fixed).
  if (app) {
    const std::string host = Trimmed(app->GetProfileString(kProfileSection, kHostKey, L""));
    if (!host.empty()) m_endpoint = "https://" + host + kStatusServicePath;
  }
  m_binding.endpoint = m_endpoint.c_str();

  soap_set_imode(s, SOAP_C_UTFSTRING);
  soap_set_omode(s, SOAP_C_UTFSTRING | SOAP_XML_TREE);
  auto seconds = [&](const wchar_t* key) { return app ? static_cast<int>(app->GetProfileInt(kProfileSection, key, 5)) : 5; };
  s->send_timeout = seconds(L"SendTimeout");
  s->recv_timeout = seconds(L"ReceiveTimeout");
  s->connect_timeout = seconds(L"ConnectionTimeout");
  s->accept_timeout = seconds(L"AcceptTimeout");
  soap_set_imode(s, SOAP_C_UTFSTRING);
  soap_set_omode(s, SOAP_C_UTFSTRING | SOAP_XML_TREE);
  // One connection to the service carries the calls one after another instead of a connection
  // (and a TLS handshake) per call. The transport drops it after a call that failed on the wire
  // or whose answer was not read to its end, and opens a new one when the service closed it.
  soap_set_imode(s, SOAP_IO_KEEPALIVE);
  soap_set_omode(s, SOAP_IO_KEEPALIVE);

  // The test log, by the framework's setting; the runtime's message logs stay off.
  _variant_t logSwitch(LONG{0});
  const HRESULT settingHr = instance->GetSetting(_bstr_t(kTestSection), _bstr_t(kTestLogKey), &logSwitch);
  const bool testLog = SUCCEEDED(settingHr) && logSwitch.vt == VT_I4 && logSwitch.lVal > 0 && (logSwitch.lVal & 1);
  s->logfile[SOAP_INDEX_RECV] = nullptr;
  s->logfile[SOAP_INDEX_SENT] = nullptr;
  transport::SetTestLog(s, testLog ? kTestLogFile : nullptr);

  // The connection settings: a settings object that cannot be created fails the construction.
  IHxConnectionSettingsPtr settings;
  const HRESULT created = settings.CreateInstance(__uuidof(HxConnectionSettings), nullptr, CLSCTX_ALL);
  if (FAILED(created) && created != E_NOINTERFACE) return created;
  m_proxyHost.clear();
  m_proxyUser.clear();
  m_proxyPassword.clear();
  m_proxyPort = 0;
  bool stored = false;
  if (settings) {
    try {
      IFlgItemPtr item(settings);
      IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
      if (item && factory && SUCCEEDED(item->Load(factory, _variant_t(LONG{1})))) {
        VARIANT_BOOL useSystem = VARIANT_TRUE;
        HRESULT hr = settings->GetUseSystemSettings(&useSystem);
        if (FAILED(hr)) _com_issue_error(hr);
        if (useSystem == VARIANT_FALSE) {
          BSTR text = nullptr;
          HRESULT got = settings->GetProxyHost(&text);
          const std::string host = TextToService(BstrOut(got, text));
          LONG port = 0;
          hr = settings->GetProxyPort(&port);
          if (FAILED(hr)) _com_issue_error(hr);
          text = nullptr;
          got = settings->GetProxyUser(&text);
          const std::string user = TextToService(BstrOut(got, text));
          text = nullptr;
          got = settings->GetProxyPassword(&text);
          const std::string password = TextToService(BstrOut(got, text));
          m_proxyHost = host;
          m_proxyPort = port;
          m_proxyUser = user;
          m_proxyPassword = password;
          stored = true;
        }
      }
    } catch (const _com_error&) {
      // Settings that cannot be read: no proxy from them.
      stored = true;
    }
  }
  if (!stored) SetUpProxy();
  s->proxy_host = m_proxyHost.c_str();  // an empty host: no proxy
  if (m_proxyPort > 0) s->proxy_port = m_proxyPort;
  if (!m_proxyUser.empty()) {
    s->proxy_userid = m_proxyUser.c_str();
    s->proxy_passwd = m_proxyPassword.c_str();
  }

  // The transport takes over the time-outs, the proxy and the test log now. Its failure does
  // not fail the construction: the calls then fail.
  if (transport::Register(s) == status::kOk) {
    const LONG megabytes =
        app ? static_cast<LONG>(app->GetProfileInt(kProfileSection, CString(transport::kMaxAnswerSizeKey), 0)) : 0;
    transport::SetMaxAnswerSize(s, megabytes > 0 ? static_cast<uint64_t>(megabytes) << 20 : 0);
  }
  return S_OK;
}

// The process-wide proxy of the internet client: the host is the text before the first colon,
// the port the digits after it.
void CCoVorlenConnector::SetUpProxy() {
  DWORD length = 0;
  InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, nullptr, &length);
  if (length < sizeof(INTERNET_PROXY_INFOA)) return;
  std::vector<char> buffer(length);
  if (!InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer.data(), &length)) return;
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFOA*>(buffer.data());
  if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy) return;
  const std::string text = info->lpszProxy;
  const size_t colon = text.find(':');
  m_proxyHost = text.substr(0, colon);
  if (colon != std::string::npos) {
    LONG port = 0;
    for (size_t i = colon + 1; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && port < 100000; ++i)
      port = port * 10 + (text[i] - '0');
    m_proxyPort = port;
  }
}

HRESULT CreateConnector(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // Nothing aggregates the connector.
  if (outer) return CLASS_E_NOAGGREGATION;
  CFlgComObject<CCoVorlenConnector>* object = nullptr;
  try {
    object = new CFlgComObject<CCoVorlenConnector>();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  object->AddRef();
  HRESULT hr = object->Init();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

// ---------------------------------------------------------------------------------------------
// Faults

HRESULT CCoVorlenConnector::ServiceFailure(int result) {
  if (result == status::kOk) return S_OK;
  std::wstring code, text;
  if (result == status::kFault) {
    code = TextFromService(m_binding.FaultCode());
    text = TextFromService(m_binding.FaultString());
  }
  // A status beyond the classic table (an HTTP status the runtime passed on) counts as an HTTP
  // failure, so that the code never lands among the service's named faults.
  if (result < status::kEof || result > status::kFdExceeded) result = status::kHttpError;

  const size_t colon = text.find(L':');
  const std::wstring tail = colon == std::wstring::npos ? text : text.substr(colon);
  CString message;
  message.Format(L"Serwer zwrócił błąd: %s", tail.c_str());
  HRESULT hr = E_FAIL;
  if (code.find(L"userException") == std::wstring::npos) {
    // Without a fault code or text there is nothing to add to the library's text.
    if (code.empty() && text.empty())
      message.Empty();
    else
      message.Format(L"%s: %s", code.c_str(), text.c_str());
    hr = static_cast<HRESULT>(static_cast<uint32_t>(kSoapBase) + static_cast<uint32_t>(result));
  } else {
    for (const auto& fault : kNamedFaults) {
      if (text.find(fault.name) != std::wstring::npos) {
        hr = fault.hr;
        break;
      }
    }
  }
  const CString library = hr == E_FAIL ? CString() : CKdSmartMessage(L"Error.dll").FormatMessage(hr, KdGetUserDefaultLangID());
  CString description;
  description.Format(L"%s%s", library.GetString(), message.GetString());
  return platform::com::ReportError(hr, description, kConnectorProgId);
}

STDMETHODIMP CCoVorlenConnector::InterfaceSupportsErrorInfo(REFIID riid) {
  return riid == __uuidof(IVorlenConnector) ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Containers

#define VORLEN_CONTAINER_METHOD(Method, out)                     \
  STDMETHODIMP CCoVorlenConnector::Method(_Recordset** out) {    \
    AFX_MANAGE_STATE(AfxGetStaticModuleState());                 \
    if (!out) return E_INVALIDARG;                               \
    *out = nullptr;                                              \
    return platform::com::Boundary([&] {                                           \
      HandOut(vorlen::Method(), out);                            \
      return S_OK;                                               \
    });                                                          \
  }

VORLEN_CONTAINER_METHOD(CreateStatusesOptionsContainer, ppOutRecordset)
VORLEN_CONTAINER_METHOD(CreateAuctionBidInfoContainer, ppOutRecordset)
VORLEN_CONTAINER_METHOD(CreatePageIdsContainer, ppPageIds)
VORLEN_CONTAINER_METHOD(CreateItemInfoContainer, ppItemInfo)
VORLEN_CONTAINER_METHOD(CreatePackageInfoContainer, ppRsPackageInfo)
VORLEN_CONTAINER_METHOD(CreateBuyerDataInfoContainer, ppBuyerDataInfo)
VORLEN_CONTAINER_METHOD(CreatePageDataInfoContainer, ppPageDataInfo)

#undef VORLEN_CONTAINER_METHOD

// ---------------------------------------------------------------------------------------------
// Service methods

STDMETHODIMP CCoVorlenConnector::GetPageConfig(LONG lRegId, _Recordset** ppRsPageConfigData) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  NullOut(ppRsPageConfigData);
  if (AccountMissing(lRegId) || !ppRsPageConfigData) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__getPageConfigResponse out;
    const int result = m_binding.getPageConfig(&user, out);
    if (result != status::kOk) return ServiceFailure(result);
    if (out.getPageConfigReturn) HandOut(PageConfigToRecordset(*out.getPageConfigReturn), ppRsPageConfigData);
    return S_OK;
  });
}

STDMETHODIMP CCoVorlenConnector::SetPageConfig(LONG lRegId, _Recordset* ppRsPageConfigData) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || !ppRsPageConfigData) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    _RecordsetPtr rs(ppRsPageConfigData);
    FieldsPtr fields = rs->GetFields();
    auto value = [&](const wchar_t* name) { return fields->GetItem(_variant_t(name))->GetValue(); };
    auto flag = [&](const wchar_t* name) {
      const _variant_t v = value(name);
      if (v.vt == VT_NULL || v.vt == VT_EMPTY) return false;
      _variant_t b;
      const HRESULT hr = VariantChangeType(&b, &v, 0, VT_BOOL);
      if (FAILED(hr)) _com_issue_error(hr);
      return b.boolVal != VARIANT_FALSE;
    };
    auto text = [&](const wchar_t* name, std::string& out) {
      const _variant_t v = value(name);
      if (v.vt == VT_NULL || v.vt == VT_EMPTY) return false;
      out = TextToService(static_cast<const wchar_t*>(_bstr_t(v)));
      return true;
    };
    std::string description, url;
    text(L"Description", description);
    char* descriptionText = description.data();
    ss__PageConfigInfo config;
    config.sellerShortDescription = &descriptionText;  // always present, possibly empty
    if (text(L"WWW", url)) config.sellerUrl = url.data();
    config.statusesEnabled = flag(L"StatusesServiceActive");
    config.allowDeliveryAddressEntry = flag(L"ShowDeliveryAddressForm");
    config.allowBillingAddressEntry = flag(L"ShowDocumentAddressForm");
    ss__setPageConfigResponse out;
    return ServiceFailure(m_binding.setPageConfig(&user, &config, out));
  });
}

STDMETHODIMP CCoVorlenConnector::OpenTrustedPage(LONG lRegId, _Recordset* pRsAuctionsBidInfo, BOOL bAutoRegroup,
                                                 _Recordset** ppRsStatusPageInfo, _Recordset** ppRsBuyerData,
                                                 _Recordset** ppRsBid) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  NullOut(ppRsStatusPageInfo);
  NullOut(ppRsBuyerData);
  NullOut(ppRsBid);
  if (AccountMissing(lRegId) || !pRsAuctionsBidInfo || !ppRsStatusPageInfo || !ppRsBuyerData || !ppRsBid)
    return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ArrayOfAuctionBidInfoEx bids(pRsAuctionsBidInfo);
    ss__openTrustedPageResponse out;
    int result;
    {
      ResolveSendErrorSwap noDialog(m_binding.soap);
      result = m_binding.openTrustedPage(&user, &bids, bAutoRegroup != FALSE, out);
    }
    const ss__StatusPageInfo* page = out.openTrustedPageReturn;
    bool alreadyOpen = false;
    if (result == status::kFault) {
      const ss__StatusServiceFault* fault = m_binding.DetailFault();
      if (fault && fault->soap_type() == SOAP_TYPE_ss__PageAlreadyOpenedFault) {
        page = static_cast<const ss__PageAlreadyOpenedFault*>(fault)->pageInfo;
        alreadyOpen = page != nullptr;
      }
    }
    if (result != status::kOk && !alreadyOpen) return ServiceFailure(result);
    if (page) {
      _RecordsetPtr info, buyers, bidRows;
      StatusPageInfoToRecordsets(*page, info, buyers, bidRows);
      HandOut(info, ppRsStatusPageInfo);
      HandOut(buyers, ppRsBuyerData);
      HandOut(bidRows, ppRsBid);
    }
    if (alreadyOpen) {
      SetErrorInfo(0, nullptr);
      return S_FALSE;
    }
    return S_OK;
  });
}

STDMETHODIMP CCoVorlenConnector::ClosePage(LONG lRegId, LONG closedPageId, VARIANT vRegroupedPageId) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || closedPageId == 0) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__PageClosingInfo closing;
    closing.closedPageId = closedPageId;
    int regrouped = 0;
    if (vRegroupedPageId.vt == VT_I4 && vRegroupedPageId.lVal != -1) {
      regrouped = vRegroupedPageId.lVal;
      closing.regroupedPageId = &regrouped;
    }
    ss__closePageResponse out;
    return ServiceFailure(m_binding.closePage(&user, &closing, out));
  });
}

STDMETHODIMP CCoVorlenConnector::SetPageData(LONG lRegId, LONG lPageId, _Recordset* pRsPageDataInfo) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || lPageId == 0 || !pRsPageDataInfo) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__StatusPageDataInfoEx data(pRsPageDataInfo);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__setPageDataResponse out;
    return ServiceFailure(m_binding.setPageData(&user, lPageId, &data, out));
  });
}

STDMETHODIMP CCoVorlenConnector::SetAcknowledgedBuyerData(LONG lRegId, LONG lPageId, _Recordset* pRsAuctionBidInfo,
                                                          _Recordset* pRsBuyerData) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || !pRsAuctionBidInfo || !pRsBuyerData) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__BuyerDataInfoEx buyer(pRsBuyerData);
    ArrayOfAuctionBidInfoEx bids(pRsAuctionBidInfo);
    buyer.bids = &bids;
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__setAcknowledgedBuyerDataResponse out;
    return ServiceFailure(m_binding.setAcknowledgedBuyerData(&user, lPageId, &buyer, out));
  });
}

STDMETHODIMP CCoVorlenConnector::GetBuyerData(LONG lRegId, _Recordset* pRsPageIds, _Recordset** ppRsAuctionBidInfo,
                                              _Recordset** ppRsBuyerData) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  NullOut(ppRsAuctionBidInfo);
  NullOut(ppRsBuyerData);
  if (AccountMissing(lRegId) || !pRsPageIds || !ppRsAuctionBidInfo || !ppRsBuyerData) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ArrayOf_xsd_intEx pages(pRsPageIds);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__getBuyerDataResponse out;
    const int result = m_binding.getBuyerData(&user, &pages, out);
    if (result != status::kOk) return ServiceFailure(result);
    if (out.getBuyerDataReturn) {
      _RecordsetPtr buyers, bids;
      BuyerDataToRecordsets(*out.getBuyerDataReturn, buyers, bids);
      HandOut(bids, ppRsAuctionBidInfo);
      HandOut(buyers, ppRsBuyerData);
    }
    return S_OK;
  });
}

STDMETHODIMP CCoVorlenConnector::SetItemData(LONG lRegId, LONG lPageId, _Recordset* pRsArrayOfItemInfo) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || lPageId == 0 || !pRsArrayOfItemInfo) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ArrayOfItemInfoEx items(pRsArrayOfItemInfo);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__setItemDataResponse out;
    return ServiceFailure(m_binding.setItemData(&user, lPageId, &items, out));
  });
}

STDMETHODIMP CCoVorlenConnector::SetPackageData(LONG lRegId, LONG lPageId, _Recordset* pRsPackageInfo,
                                                _Recordset* pRsArrayOfItemInfo) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || lPageId == 0 || !pRsPackageInfo || !pRsArrayOfItemInfo) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ArrayOfPackageInfoEx packages(pRsPackageInfo, pRsArrayOfItemInfo);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__setPackageDataResponse out;
    return ServiceFailure(m_binding.setPackageData(&user, lPageId, &packages, out));
  });
}

STDMETHODIMP CCoVorlenConnector::SetAllData(LONG lRegId, LONG lPageId, StatusPageDataInfoEx*,
                                            _Recordset* pRsAuctionBidInfo, NotesEx*, AddressInfoEx*, AddressInfoEx*,
                                            _Recordset* pRsArrayOfItemInfo, _Recordset* pRsPackageInfo,
                                            _Recordset* pRsArrayOfPackageItemInfo) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || lPageId == 0 || !pRsAuctionBidInfo || !pRsArrayOfItemInfo || !pRsPackageInfo ||
      !pRsArrayOfPackageItemInfo)
    return E_INVALIDARG;
  return E_NOTIMPL;
}

STDMETHODIMP CCoVorlenConnector::GetPageChangesInfo(LONG lRegId, _Recordset* pRsPageIds, DATE cutoffEntryDate,
                                                    _Recordset** ppRsChangesInfo) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  NullOut(ppRsChangesInfo);
  if (AccountMissing(lRegId) || !pRsPageIds || !ppRsChangesInfo) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    const time_t cutoff = DateToService(cutoffEntryDate);
    ArrayOf_xsd_intEx pages(pRsPageIds);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__getPageChangesInfoResponse out;
    const int result = m_binding.getPageChangesInfo(&user, &pages, cutoff, out);
    if (result != status::kOk) return ServiceFailure(result);
    if (out.getPageChangesInfoReturn) HandOut(PageChangesToRecordset(*out.getPageChangesInfoReturn), ppRsChangesInfo);
    return S_OK;
  });
}

STDMETHODIMP CCoVorlenConnector::SetDataEntryConstraints(LONG lRegId, LONG lPageId, EntryConstraints ec) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (AccountMissing(lRegId) || lPageId == 0) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    AnswerScope answers(m_binding.soap);
    ss__RegisteredServiceUserInfoEx user(lRegId);
    ss__setDataEntryConstraintsResponse out;
    return ServiceFailure(m_binding.setDataEntryConstraints(&user, lPageId, ec.allEnabled != FALSE,
                                                             ec.billAddressEnabled != FALSE,
                                                             ec.delivAddressEnabled != FALSE, ec.notesEnabled != FALSE,
                                                             out));
  });
}

}  // namespace vorlen
