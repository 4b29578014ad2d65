// The parameter job of the synchronisation manager: checking the sites' parameter versions
// against what the connectors report, and updating what changed (the category tree, the form
// dictionaries, the category attributes, the currency) with each account's own data.
#include <cmath>
#include <optional>
#include <set>

#include "auctions/sync/auctservmgr.h"
#include "auctions/sync/containers.h"
#include "auctions/sync/paramstore.h"
#include "auctions/sync/storetools.h"
#include "platform/strings/oledatetime.h"
#include "shared/objlock.h"
#include "shared/objtools.h"

namespace lotrix {

using namespace stores;

namespace {

constexpr UINT kStrLastFailed = 125;
constexpr UINT kStrCheckStart = 147;
constexpr UINT kStrUpdateStart = 148;
constexpr UINT kStrAllCurrent = 149;
constexpr UINT kStrSyncStart = 150;
constexpr UINT kStrDemoSkipped = 151;
constexpr UINT kStrCheckSite = 152;
constexpr UINT kStrUpdateSite = 153;
constexpr UINT kStrCategoriesDownload = 154;
constexpr UINT kStrCategoriesStore = 155;
constexpr UINT kStrCategoriesDone = 156;
constexpr UINT kStrFormStart = 158;
constexpr UINT kStrFormKindFailed = 159;
constexpr UINT kStrFormDone = 160;
constexpr UINT kStrAttributesDownload = 161;
constexpr UINT kStrAttributesStore = 162;
constexpr UINT kStrAttributesDone = 163;
constexpr UINT kStrCheckEnd = 164;
constexpr UINT kStrUpdateEnd = 165;
constexpr UINT kStrAccountStep1 = 166;  // 166-170: steps 1 to 5
constexpr UINT kStrAccountFailed = 171;
constexpr UINT kStrAccountsFailed = 172;

// The store kinds of the form dictionaries, in the order they are downloaded.
constexpr LONG kFormKinds[] = {0, 1, 2, 3, 4, 5};

constexpr wchar_t kDemoLogin[] = L"kd_demo";

CString Res(UINT id) { return CHxResString(id).Text(); }

// The local date-time now (the platform's clock).
DATE Now() { return COleDateTime::GetCurrentTime().m_dt; }

// A truth value of a bit column or a computed one (an integer not 0 reads as true too).
bool IsTrue(const _variant_t& v) {
  if (v.vt == VT_BOOL) return v.boolVal != VARIANT_FALSE;
  const std::optional<LONG> n = AsLong(v);
  return n && *n != 0;
}

// A version the site row holds: none when NULL, not a text or empty.
std::optional<CString> StoredVersion(const _RecordsetPtr& site, const wchar_t* column) {
  const _variant_t v = Value(site, column);
  if (!IsText(v, true)) return std::nullopt;
  return CString(v.bstrVal);
}

// A version text from the connector: none for a null text (an empty text is a version).
using Version = std::optional<CString>;
Version FromBstr(BSTR text) {
  if (!text) return std::nullopt;
  return CString(text);
}
Version FromVariant(const _variant_t& v) {
  if (IsNull(v)) return std::nullopt;
  if (v.vt == VT_BSTR) return FromBstr(v.bstrVal);
  return TextOf(v);
}
_variant_t VersionValue(const Version& v) {
  if (!v) return _variant_t(VT_NULL, 0);  // "null" of the column
  return _variant_t(v->GetString());
}

struct Versions {
  Version categories, attributes, form;
};

Versions ParamVersions(IAuctionSiteConnector* session) {
  BSTR categories = nullptr, attributes = nullptr, form = nullptr;
  const HRESULT hr = session->GetParamVersions(&categories, &attributes, &form);
  _bstr_t c(categories, false), a(attributes, false), f(form, false);
  Check(hr, session, __uuidof(IAuctionSiteConnector));
  return {FromBstr(categories), FromBstr(attributes), FromBstr(form)};
}

// Whether a kind's download is due: the connector names a version, and the stored one is
// missing or another.
bool Due(const Version& offered, const std::optional<CString>& stored) {
  return offered && (!stored || *stored != *offered);
}

// A failed call of an object's interface raised with the error information the object set.
void CheckItem(HRESULT hr, IUnknown* object) { Check(hr, object, __uuidof(IFlgItem)); }

_RecordsetPtr DataSet(IUnknown* object, LONG index) {
  IFlgDataSetPtr data = Face<IFlgDataSet>(object);
  IUnknown* raw = nullptr;
  Check(data->GetDataSet(index, &raw), data, __uuidof(IFlgDataSet));
  _RecordsetPtr rs(raw);
  if (raw) raw->Release();
  if (!rs) _com_issue_error(E_POINTER);
  return rs;
}

// Rows read from the product database into a detached, read-only recordset.
_RecordsetPtr ReadRows(const CString& sql) {
  CLookup lookup;
  _RecordsetPtr rs = lookup.Open(sql);
  rs->PutRefActiveConnection(nullptr);
  return rs;
}

bool NoRows(const _RecordsetPtr& rs) { return rs->GetadoEOF() && rs->GetBOF(); }

// The account object of the parameter job, with its two other faces.
struct Account {
  Account() {
    item = CreateItem(CLSID_CoRegistration);
    registration = Face<IRegistration>(item);
    lotrix = Face<LotrixRegistration>(item);
  }
  IFlgItemPtr item;
  IRegistrationPtr registration;
  LotrixRegistrationPtr lotrix;
};

// Whether an account's login is the demonstration account's.
bool IsDemo(const CString& login) { return login.CompareNoCase(kDemoLogin) == 0; }

// The text of an error as the manager's error report gives it (its description, or the
// framework's message for its code, with the error records), without a prefix.
CString ErrorText(CCoAuctServMgr& manager, const _com_error& e) {
  CString text = manager.ReportStepError(e, CString(), nullptr);
  if (text.Left(2) == L"\r\n") text = text.Mid(2);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The job

// One call of the parameter job: its mode, its rows and what it keeps between them.
class CCoAuctServMgr::ParamsJob {
 public:
  ParamsJob(CCoAuctServMgr& manager, bool check, bool force)
      : m_mgr(manager), m_check(check), m_force(force), m_log(manager.ParamsLog()) {
    m_mgr.m_categoryProgress = CategoryProgress();
  }

  void Run();

 private:
  enum class RowEnd { Next, Terminated };
  RowEnd Row(const _RecordsetPtr& rows);
  RowEnd CheckVersions(const IFlgItemPtr& site, const _RecordsetPtr& siteRow, LONG siteId, const CString& siteName);
  RowEnd FullUpdate(const IFlgItemPtr& site, const _RecordsetPtr& siteRow, LONG siteId, const CString& siteName);
  // Shows the text in the status window, then echoes it to the log.
  void ShowAndEcho(const CString& text) {
    m_mgr.ShowStatus(text);
    Echo(text);
  }
  void Echo(const CString& text) {
    if (m_log.Started()) m_log.Echo(text);
  }
  void Report(const _com_error& e) { m_mgr.ReportStepError(e, Res(kStrLastFailed), &m_log); }
  bool Terminated() { return m_mgr.IsTerminated(); }

  CCoAuctServMgr& m_mgr;
  const bool m_check, m_force;
  CHxLog& m_log;
  // The sites handled in this call: each site is checked or updated once per call.
  std::set<LONG> m_done;
  std::optional<Account> m_account;
  _variant_t m_previousAccount{0L};
  GUID m_connectorClass = GUID_NULL;
  IAuctionSiteAccountPtr m_connector;
  IAuctionSiteConnectorPtr m_session;
};

void CCoAuctServMgr::ParamsJob::Run() {
  _RecordsetPtr rows;
  if (m_check) {
    IHxStartCheckPtr start = Face<IHxStartCheck>(hx::Instance());
    IUnknown* raw = nullptr;
    hx::Check(start->GetAccountSites(&raw));
    IUnknownPtr unknown(raw, false);
    rows = unknown;
    if (!rows) _com_issue_error(E_NOINTERFACE);
  } else {
    rows = ReadRows(L"SELECT * FROM vw_SubsitesParamsUpdate");
  }
  if (NoRows(rows)) {
    if (!m_check) Echo(Res(kStrAllCurrent));
    return;
  }
  if (!m_check) m_mgr.ShowStatus(Res(kStrSyncStart));
  m_account.emplace();
  for (rows->MoveFirst(); !rows->GetadoEOF(); rows->MoveNext()) {
    if (Terminated()) return;
    try {
      if (Row(rows) == RowEnd::Terminated) return;
    } catch (const _com_error& e) {
      // The site object is dropped unsaved: what this row wrote into its row is lost.
      Report(e);
    }
  }
}

auto CCoAuctServMgr::ParamsJob::Row(const _RecordsetPtr& rows) -> RowEnd {
  const _variant_t regId = Value(rows, L"reg_id");
  const std::optional<LONG> siteId = ToLong(Value(rows, L"site_id"));
  const std::optional<LONG> subsiteId = ToLong(Value(rows, L"subsite_id"));
  if (!subsiteId || !siteId) return RowEnd::Next;
  if (m_done.count(*siteId)) return RowEnd::Next;
  const CString siteName = TextOf(Value(rows, L"site_name"));

  IFlgItemPtr site = CreateItem(CLSID_CoSite);
  Face<ISite>(site);
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  if (FAILED(site->Load(factory, _variant_t(*siteId)))) return RowEnd::Next;
  _RecordsetPtr siteRow = DataSet(site, 0);

  if (m_check) {
    if (IsTrue(Value(siteRow, L"st_UpdateNeeded"))) {
      ++m_mgr.m_receiveCounts.params;
      return RowEnd::Next;
    }
    if (!m_force) {
      const _variant_t checked = Value(siteRow, L"st_Checked");
      if (checked.vt == VT_DATE) {
        const double now = Now();
        if (std::floor(now) - std::floor(checked.date) < 1) return RowEnd::Next;  // checked today
      }
    }
  }
  if (FAILED(site->BeginEdit())) return RowEnd::Next;

  if (regId != m_previousAccount) {
    // Another account: its session is opened below, once the account is known to be usable.
    m_previousAccount.Clear();
    m_session = nullptr;
    if (FAILED(m_account->item->Load(factory, regId))) return RowEnd::Next;
  }
  BSTR login = nullptr;
  Check(m_account->lotrix->GetUsername(&login), m_account->lotrix, __uuidof(LotrixRegistration));
  _bstr_t owned(login, false);
  if (IsDemo(CString(login ? login : L""))) {
    Echo(Res(kStrDemoSkipped));
    return RowEnd::Next;
  }
  GUID clsid = GUID_NULL;
  if (FAILED(m_account->registration->GetConnectorClsid(&clsid))) return RowEnd::Next;
  if (!m_connector || clsid != m_connectorClass) {
    IAuctionSiteAccount* raw = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IAuctionSiteAccount),
                                reinterpret_cast<void**>(&raw))) ||
        !raw)
      return RowEnd::Next;
    m_connector = IAuctionSiteAccountPtr(raw, false);
    m_connectorClass = clsid;
  }
  if (regId != m_previousAccount) {
    IAuctionSiteConnector* raw = nullptr;
    Check(m_connector->OpenSession(m_account->lotrix, &raw), m_connector, __uuidof(IAuctionSiteAccount));
    m_session = IAuctionSiteConnectorPtr(raw, false);
    if (!m_session) _com_issue_error(E_POINTER);
    Check(m_session->SetSync(static_cast<LotrixSync*>(&m_mgr)), m_session, __uuidof(IAuctionSiteConnector));
    m_previousAccount = regId;
  }
  Check(m_session->SetRegSite(_variant_t(*subsiteId)), m_session, __uuidof(IAuctionSiteConnector));
  if (Terminated()) return RowEnd::Terminated;

  if (m_check) return CheckVersions(site, siteRow, *siteId, siteName);
  if (IsTrue(Value(rows, L"need_upd"))) return FullUpdate(site, siteRow, *siteId, siteName);
  // The site's parameters are current: only the accounts with a shop get their categories.
  m_mgr.UpdateAccountParams(site, m_connector, true);
  CheckItem(site->Save(), site);
  m_done.insert(*siteId);
  return RowEnd::Next;
}

auto CCoAuctServMgr::ParamsJob::CheckVersions(const IFlgItemPtr& site, const _RecordsetPtr& siteRow, LONG siteId,
                                              const CString& siteName) -> RowEnd {
  Echo(Formatted(kStrCheckSite, siteName.GetString()));
  const std::optional<CString> categories = StoredVersion(siteRow, L"st_CategoriesVersion");
  const std::optional<CString> form = StoredVersion(siteRow, L"st_FormVersion");
  const std::optional<CString> attributes = StoredVersion(siteRow, L"st_AttributesVersion");
  bool needed = true;
  if (categories && form && attributes) {
    const Versions offered = ParamVersions(m_session);
    // A version the connector does not name is not compared: the update would not take it.
    auto differs = [](const Version& v, const CString& stored) { return v && *v != stored; };
    needed = differs(offered.categories, *categories) || differs(offered.form, *form) ||
             differs(offered.attributes, *attributes);
  }
  Put(siteRow, L"st_Checked", _variant_t(Now(), VT_DATE));
  Put(siteRow, L"st_UpdateNeeded", _variant_t(static_cast<short>(needed ? -1 : 0)));
  if (needed) ++m_mgr.m_receiveCounts.params;
  // A site whose row cannot be written is not taken as checked.
  CheckItem(site->Save(), site);
  m_done.insert(siteId);
  return RowEnd::Next;
}

auto CCoAuctServMgr::ParamsJob::FullUpdate(const IFlgItemPtr& site, const _RecordsetPtr& siteRow, LONG siteId,
                                           const CString& siteName) -> RowEnd {
  Echo(Formatted(kStrUpdateSite, siteName.GetString()));
  const std::optional<CString> storedCategories = StoredVersion(siteRow, L"st_CategoriesVersion");
  const std::optional<CString> storedForm = StoredVersion(siteRow, L"st_FormVersion");
  const std::optional<CString> storedAttributes = StoredVersion(siteRow, L"st_AttributesVersion");
  const Versions offered = ParamVersions(m_session);
  if (Terminated()) return RowEnd::Terminated;
  bool failed = false;

  if (Due(offered.categories, storedCategories)) {
    try {
      m_mgr.m_categoryProgress.siteName = siteName;
      ShowAndEcho(Formatted(kStrCategoriesDownload, siteName.GetString()));
      _RecordsetPtr categories = CreateCategoriesContainer();
      BSTR result = nullptr;
      const HRESULT hr = m_session->ReceiveCategories(categories, &result);
      _bstr_t version(result, false);
      Check(hr, m_session, __uuidof(IAuctionSiteConnector));
      if (Terminated()) return RowEnd::Terminated;
      ShowAndEcho(Formatted(kStrCategoriesStore, siteName.GetString()));
      StoreCategories(site, categories, &m_mgr.m_categoryProgress, 0);
      Put(siteRow, L"st_CategoriesVersion", VersionValue(FromBstr(result)));
      ShowAndEcho(Formatted(kStrCategoriesDone, siteName.GetString()));
    } catch (const _com_error& e) {
      Report(e);
      failed = true;
    }
  }

  if (Terminated()) return RowEnd::Terminated;
  if (Due(offered.form, storedForm)) {
    try {
      ShowAndEcho(Formatted(kStrFormStart, siteName.GetString()));
      Version kind0;
      bool kindFailed = false;
      for (const LONG kind : kFormKinds) {
        try {
          _RecordsetPtr dictionary = CreateSiteDictContainer(kind);
          _variant_t result;
          Check(m_session->ReceiveSpecificData(kind, dictionary, &result), m_session, __uuidof(IAuctionSiteConnector));
          if (Terminated()) return RowEnd::Terminated;
          StoreSiteDictionary(kind, site, dictionary);
          if (kind == 0) kind0 = FromVariant(result);
        } catch (const _com_error& e) {
          // The kind's line carries the error's text in its own place.
          CString line;
          line.Format(Res(kStrFormKindFailed).GetString(), ErrorText(m_mgr, e).GetString());
          if (m_log.Started()) m_log.Error(line);
          kindFailed = true;
        }
      }
      // The form's version stands for all its dictionaries: a kind not stored leaves the
      // version as it was, so that the next update takes the form again.
      if (kindFailed)
        failed = true;
      else
        Put(siteRow, L"st_FormVersion", VersionValue(kind0));
      ShowAndEcho(Formatted(kStrFormDone, siteName.GetString()));
    } catch (const _com_error& e) {
      Report(e);
      failed = true;
    }
  }

  if (Terminated()) return RowEnd::Terminated;
  if (Due(offered.attributes, storedAttributes)) {
    try {
      ShowAndEcho(Formatted(kStrAttributesDownload, siteName.GetString()));
      _RecordsetPtr fields = CreateCatSpecificContainer();
      _RecordsetPtr values = CreateFieldDictContainer();
      _variant_t result;
      Check(m_session->ReceiveCatSpecific(fields, values, &result), m_session, __uuidof(IAuctionSiteConnector));
      if (Terminated()) return RowEnd::Terminated;
      ShowAndEcho(Formatted(kStrAttributesStore, siteName.GetString()));
      StoreCategorySpecific(site, fields, values);
      Put(siteRow, L"st_AttributesVersion", VersionValue(FromVariant(result)));
      ShowAndEcho(Formatted(kStrAttributesDone, siteName.GetString()));
    } catch (const _com_error& e) {
      Report(e);
      failed = true;
    }
  }

  if (Terminated()) return RowEnd::Terminated;
  m_mgr.UpdateAccountParams(site, m_connector, false);
  if (Terminated()) return RowEnd::Terminated;
  BSTR currency = nullptr;
  const HRESULT hr = m_session->Currency(&currency);
  _bstr_t ownedCurrency(currency, false);
  Check(hr, m_session, __uuidof(IAuctionSiteConnector));
  Put(siteRow, L"st_Currency", VersionValue(FromBstr(currency)));
  Put(siteRow, L"st_UpdateNeeded", _variant_t(static_cast<short>(failed ? -1 : 0)));
  Put(siteRow, L"st_Checked", _variant_t(Now(), VT_DATE));
  CheckItem(site->Save(), site);
  m_done.insert(siteId);
  ++m_mgr.m_receiveCounts.params;
  return RowEnd::Next;
}

HRESULT CCoAuctServMgr::UpdateSiteParams() {
  CHxRefreshLock refresh;
  const bool update = m_paramsFlags.plain, check = m_paramsFlags.versionCheck;
  m_logs.StartParamsLog(m_paramsFlags);
  // Cleared before the lock, so that a refusal ends the logs with this job's counts.
  m_receiveCounts.Clear();
  try {
    if (!LockSync(kSyncLockParams, m_receiveCounts)) return S_OK;
  } catch (const _com_error& e) {
    ReportStepError(e, Res(kStrLastFailed), &ParamsLog());
    m_logs.EndAll(m_receiveCounts, false);
    return S_OK;
  }
  CHxLog& log = ParamsLog();
  if (check) {
    if (log.Started()) log.Echo(Res(kStrCheckStart));
  } else if (update) {
    if (log.Started()) log.Echo(Res(kStrUpdateStart));
  } else {
    ReleaseSync();
    return S_OK;
  }
  m_receiveCounts.Clear();
  try {
    ParamsJob(*this, check, check && m_paramsFlags.force).Run();
  } catch (const _com_error& e) {
    ReportStepError(e, Res(kStrLastFailed), &log);
  }
  const bool terminated = IsTerminated();
  if (!terminated && log.Started()) log.Echo(Res(check ? kStrCheckEnd : kStrUpdateEnd));
  m_logs.EndAll(m_receiveCounts, terminated);
  ReleaseSync();
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The accounts' own data

void CCoAuctServMgr::UpdateAccountParams(IFlgItem* site, IAuctionSiteAccount* connector, bool onlyShops) {
  CHxLog& log = ParamsLog();
  _RecordsetPtr accounts;
  try {
    _variant_t siteId;
    IFlgDataSetPtr data = Face<IFlgDataSet>(site);
    Check(data->GetId(&siteId), data, __uuidof(IFlgData));
    CString sql;
    sql.Format(L"SELECT rs_RegId AS reg_id, reg_Username as name FROM reg_Site INNER JOIN reg__Registration ON "
               L"rs_RegId=reg_Id WHERE rs_SiteId=%ld %ls",
               static_cast<long>(Converted(siteId, VT_I4).lVal), onlyShops ? L"AND reg_HasShop=1" : L"");
    accounts = ReadRows(sql);
  } catch (const _com_error& e) {
    if (log.Started()) log.Error(Res(kStrAccountsFailed) + ErrorText(*this, e));
    throw;
  }
  if (NoRows(accounts)) return;
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  // The step and the name stay from one account to the next until set anew.
  int step = 0;
  CString name;
  for (accounts->MoveFirst(); !accounts->GetadoEOF(); accounts->MoveNext()) {
    if (IsTerminated()) return;
    try {
      Account account;
      name = TextOf(Value(accounts, L"name"));
      if (IsDemo(name)) continue;
      const _variant_t regId = Value(accounts, L"reg_id");
      step = 1;
      CheckItem(account.item->Load(factory, regId), account.item);
      BOOL active = FALSE;
      Check(account.lotrix->GetActive(&active), account.lotrix, __uuidof(LotrixRegistration));
      if (!active) continue;
      if (!onlyShops) {
        step = 2;
        CheckItem(account.item->BeginEdit(), account.item);
        step = 3;
        Check(connector->FixAccount(account.lotrix), connector, __uuidof(IAuctionSiteAccount));
        step = 4;
        const HRESULT checked = account.item->Check();
        if (FAILED(checked)) RaiseCheckFailure(checked, account.item);
        step = 5;
        CheckItem(account.item->Save(), account.item);
      }
      BOOL hasShop = FALSE;
      Check(account.lotrix->GetHasShop(&hasShop), account.lotrix, __uuidof(LotrixRegistration));
      if (hasShop) {
        IAuctionSiteConnector* raw = nullptr;
        Check(connector->OpenSession(account.lotrix, &raw), connector, __uuidof(IAuctionSiteAccount));
        IAuctionSiteConnectorPtr session(raw, false);
        if (!session) _com_issue_error(E_POINTER);
        bool noShop = false;
        UpdateAccountCategories(site, session, Converted(regId, VT_I4).lVal, noShop);
        if (noShop) {
          step = 2;
          CheckItem(account.item->BeginEdit(), account.item);
          Check(account.lotrix->PutHasShop(FALSE), account.lotrix, __uuidof(LotrixRegistration));
          step = 4;
          const HRESULT checked = account.item->Check();
          if (FAILED(checked)) RaiseCheckFailure(checked, account.item);
          step = 5;
          CheckItem(account.item->Save(), account.item);
        }
      }
    } catch (const _com_error& e) {
      if (!log.Started()) continue;
      CString line = Res(kStrAccountFailed);
      if (step != 0) line += Res(kStrAccountStep1 + step - 1) + name;
      line += ErrorText(*this, e);
      log.Error(line);
    }
  }
}

void CCoAuctServMgr::UpdateAccountCategories(IFlgItem* site, IAuctionSiteConnector* session, LONG regId,
                                             bool& noShop) {
  noShop = false;
  try {
    Face<IFlgDataSet>(site);
    _RecordsetPtr categories = CreateCategoriesContainer();
    BSTR result = nullptr;
    const HRESULT hr = session->ReceiveRegCategories(categories, &result);
    _bstr_t version(result, false);
    if (FAILED(hr)) {
      // Keep what the connector said about the failure for the log line.
      IErrorInfo* info = nullptr;
      if (GetErrorInfo(0, &info) != S_OK) info = nullptr;
      IErrorInfoPtr failure(info, false);
      VARIANT_BOOL state = VARIANT_FALSE;
      Check(session->GetErrorState(0, &state, 0), session, __uuidof(IAuctionSiteConnector));
      if (state != VARIANT_FALSE) {
        if (failure) failure->AddRef();
        _com_raise_error(E_FAIL, failure);
      }
      // The connector reports that the account has no shop at the site any more.
      noShop = true;
      return;
    }
    if (!IsTerminated()) StoreCategories(site, categories, nullptr, regId);
  } catch (const _com_error& e) {
    noShop = false;
    ReportStepError(e, Res(kStrLastFailed), &ParamsLog());
  }
}

}  // namespace lotrix
