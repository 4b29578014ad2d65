// The site object: the site row, its categories and its dictionaries by kind.
#include "auctions/site.h"

#include "shared/hxcheck.h"

namespace {

constexpr LONG kObjectType = 709;

const FlgDataSetDef kDefinitions[] = {
    {0, 0, 0, L"Site", L"st__Site", L"st_Id", L"", L"*", L"", 0, 0},
    {1, 1, 0, L"CAT", L"st_Category", L"cat_Id", L"cat_SiteId", L"*", L"", 1, 1},
};

// The statement of each kind and the columns its editable form adds at the first "%ls".
struct KindStatement {
  const wchar_t* select;
  const wchar_t* extra;
};

// The children of one category with the number of their own children. The count takes the
// children the list itself would show: of the same site, not expired, of the same account (or of
// none).
const wchar_t kCategoryChildren[] =
    L"SELECT Cat.cat_CatId, Cat.cat_Name, (SELECT Count(Cat2.cat_Id) FROM st_Category AS Cat2 "
    L"WHERE Cat2.cat_ParentId=Cat.cat_CatId AND Cat2.cat_SiteId=Cat.cat_SiteId AND Cat2.cat_Expired=0 "
    L"AND Cat2.cat_RegId IS NULL) AS ncount FROM st_Category AS Cat WHERE Cat.cat_SiteId=%ld AND "
    L"Cat.cat_ParentId=%ld AND Cat.cat_Expired=0 AND Cat.cat_RegId IS NULL ORDER BY Cat.cat_Id";
const wchar_t kShopCategoryChildren[] =
    L"SELECT Cat.cat_CatId, Cat.cat_Name, (SELECT Count(Cat2.cat_Id) FROM st_Category AS Cat2 "
    L"WHERE Cat2.cat_ParentId=Cat.cat_CatId AND Cat2.cat_SiteId=Cat.cat_SiteId AND Cat2.cat_Expired=0 "
    L"AND Cat2.cat_RegId=Cat.cat_RegId) AS ncount FROM st_Category AS Cat WHERE Cat.cat_SiteId=%ld AND "
    L"Cat.cat_ParentId=%ld AND Cat.cat_Expired=0 AND Cat.cat_RegId=%ld ORDER BY Cat.cat_Id";

const KindStatement kStatements[lotrixSpecificDataLast] = {
    {L"SELECT sc_Id, sc_Name, sc_Code, sc_Ident, sc_Expired %ls FROM st_Country WHERE sc_SiteId=%ld AND "
     L"sc_SvcProvId=%ld ORDER BY sc_Name",
     L", sc_SvcProvId, sc_SiteId"},
    {L"SELECT sr_Id, sr_Name, sr_Code, sr_Ident, sr_Expired %ls FROM st_Region WHERE sr_SiteId=%ld AND "
     L"sr_SvcProvId=%ld ORDER BY sr_Name",
     L", sr_SvcProvId, sr_SiteId"},
    {L"SELECT at_Id, at_Name, at_Code, at_Ident %ls FROM st_AuctionType WHERE at_SiteId=%ld AND at_SvcProvId=%ld "
     L"ORDER BY at_Name",
     L", at_SvcProvId, at_SiteId"},
    {L"SELECT se_Id, se_Name, se_Code, se_Ident, se_Expired %ls FROM st_Enhancement WHERE se_SiteId=%ld AND "
     L"se_SvcProvId=%ld ORDER BY se_Id",
     L", se_SvcProvId, se_SiteId"},
    {L"SELECT sp_Id, sp_Name, sp_Code, sp_Ident, sp_Expired %ls FROM st_Payment WHERE sp_SiteId=%ld AND "
     L"sp_SvcProvId=%ld ORDER BY sp_Id",
     L", sp_SvcProvId, sp_SiteId"},
    {L"SELECT ss_Id, ss_Name, ss_Code, ss_Ident, ss_Expired %ls FROM st_Shipping WHERE ss_SiteId=%ld AND "
     L"ss_SvcProvId=%ld ORDER BY ss_Id",
     L", ss_SvcProvId, ss_SiteId"},
    {kCategoryChildren, nullptr},
    {L"SELECT cat_ParentId FROM st_Category WHERE cat_SiteId=%ld AND cat_CatId=%ld", nullptr},
    {L"SELECT sd_Id, sd_Name, sd_Code, sd_Ident, sd_Expired %ls FROM st_Duration WHERE sd_SiteId=%ld AND "
     L"sd_SvcProvId=%ld ORDER BY sd_Id",
     L", sd_SvcProvId, sd_SiteId"},
    {L"SELECT reg_Id, reg_Username, reg_HasShop FROM vw_ActiveRegistrationList WHERE rs_SiteId=%ld", nullptr},
    {L"SELECT * %ls FROM st_CategorySpecific WHERE cs_SiteId=%ld AND cs_SvcProvId=%ld %ls ORDER BY cs_Position",
     L""},
    {L"SELECT csd_Ident, csd_Code, csd_Name, csd_Position %ls FROM st_CategorySpecificDict %ls ORDER BY "
     L"csd_Position, csd_Name",
     L", csd_CatSpecId, csd_Id"},
    {kShopCategoryChildren, nullptr},
    {L"SELECT cat_ParentId FROM st_Category WHERE cat_SiteId=%ld AND cat_CatId=%ld AND cat_RegId=%ld ", nullptr},
};

// The generic dictionaries: restricted by the site's own number and its service provider.
bool IsSiteDictionary(LONG kind) { return (kind >= 0 && kind <= 5) || kind == lotrixSpecificDataDuration; }

const wchar_t* Extra(LONG kind, bool forEdit) {
  const wchar_t* extra = kStatements[kind].extra;
  return forEdit && extra ? extra : L"";
}

}  // namespace

CCoSite::CCoSite() {
  SetDefinitions(kDefinitions, static_cast<LONG>(std::size(kDefinitions)));
  m_lObjectType = kObjectType;
  AddErrorInterface(__uuidof(ISite));
}

CCoSite::~CCoSite() {
  AFX_MANAGE_STATE(m_pModuleState);
  for (auto& rs : m_cache) rs = nullptr;
}

void* CCoSite::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(ISite)) return static_cast<ISite*>(this);
  return CComFlgObject::FlgGetInterface(iid);
}

// ---------------------------------------------------------------------------------------------
// The site row

STDMETHODIMP CCoSite::GetId(LONG* id) { return GetMainLong(L"st_Id", id, E_POINTER); }
STDMETHODIMP CCoSite::PutSiteId(LONG siteId) { return SetMainLong(L"st_SiteId", siteId); }
STDMETHODIMP CCoSite::GetSiteId(LONG* siteId) { return GetMainLong(L"st_SiteId", siteId, E_POINTER); }
STDMETHODIMP CCoSite::PutSvcProvId(LONG svcProvId) { return SetMainLong(L"st_SvcProvId", svcProvId); }
STDMETHODIMP CCoSite::GetSvcProvId(LONG* svcProvId) { return GetMainLong(L"st_SvcProvId", svcProvId, E_POINTER); }
STDMETHODIMP CCoSite::PutCurrency(BSTR currency) { return SetMainText(L"st_Currency", currency); }
STDMETHODIMP CCoSite::GetCurrency(BSTR* currency) { return GetMainText(L"st_Currency", currency, E_POINTER); }

// ---------------------------------------------------------------------------------------------
// Dictionaries

_RecordsetPtr CCoSite::Open(const CString& sql, bool forEdit) {
  _RecordsetPtr rs;
  hx::Check(rs.CreateInstance(__uuidof(Recordset)));
  rs->PutCursorLocation(adUseClient);
  _ConnectionPtr connection = CHxInstance::GetConnection();
  if (!connection) _com_issue_error(E_POINTER);
  rs->Open(_variant_t(sql.GetString()), _variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr())),
           adOpenStatic, forEdit ? adLockBatchOptimistic : adLockReadOnly, adCmdText);
  // An editable dictionary is edited offline; its owner reconnects it to write it back.
  if (forEdit) rs->PutRefActiveConnection(nullptr);
  return rs;
}

HRESULT CCoSite::HandOut(const _RecordsetPtr& rs, _Recordset** data) {
  *data = rs;
  if (*data) (*data)->AddRef();
  return S_OK;
}

HRESULT CCoSite::Dictionary(LONG kind, bool forEdit, _Recordset** data) {
  if (kind == lotrixSpecificDataCategory) return HandOut(DataSet(1), data);
  const bool known = IsSiteDictionary(kind) || kind == lotrixSpecificDataRegistration ||
                     kind == lotrixSpecificDataCatSpecific || kind == lotrixSpecificDataCatSpecificDict;
  if (!known) return E_NOTIMPL;
  if (!forEdit && m_cache[kind]) return HandOut(m_cache[kind], data);
  CString sql;
  const wchar_t* format = kStatements[kind].select;
  if (IsSiteDictionary(kind))
    sql.Format(format, Extra(kind, forEdit), MainLong(L"st_SiteId"), MainLong(L"st_SvcProvId"));
  else if (kind == lotrixSpecificDataRegistration)
    sql.Format(format, MainLong(L"st_Id"));
  else if (kind == lotrixSpecificDataCatSpecific)
    sql.Format(format, L"", MainLong(L"st_SiteId"), MainLong(L"st_SvcProvId"), L"");
  else
    sql.Format(format, Extra(kind, forEdit), L"");
  _RecordsetPtr rs = Open(sql, forEdit);
  if (forEdit) return HandOut(rs, data);
  rs->PutFilter(_variant_t(L""));
  m_cache[kind] = rs;
  return HandOut(rs, data);
}

HRESULT CCoSite::DictionaryOf(LONG kind, LONG ident, bool forEdit, _Recordset** data) {
  CString sql, filter;
  switch (kind) {
    case lotrixSpecificDataCategory:
    case lotrixSpecificDataCategoryParent:
      if (forEdit) return E_NOTIMPL;
      sql.Format(kStatements[kind].select, MainLong(L"st_Id"), ident);
      break;
    case lotrixSpecificDataCatSpecific:
      filter.Format(forEdit ? L"AND cs_ItemId=%ld" : L"AND cs_CatId=%ld", ident);
      sql.Format(kStatements[kind].select, L"", MainLong(L"st_SiteId"), MainLong(L"st_SvcProvId"), filter.GetString());
      break;
    case lotrixSpecificDataCatSpecificDict:
      filter.Format(L"WHERE csd_CatSpecId=%ld", ident);
      sql.Format(kStatements[kind].select, Extra(kind, forEdit), filter.GetString());
      break;
    default:
      return E_NOTIMPL;
  }
  return HandOut(Open(sql, forEdit), data);
}

STDMETHODIMP CCoSite::GetSpecificData(lotrixSpecificDataType kind, _Recordset** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    return Dictionary(kind, false, data);
  });
}

STDMETHODIMP CCoSite::GetSpecificDataForEdit(lotrixSpecificDataType kind, _Recordset** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    return Dictionary(kind, true, data);
  });
}

STDMETHODIMP CCoSite::GetSpecificDataExt(lotrixSpecificDataType kind, LONG ident, _Recordset** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    return DictionaryOf(kind, ident, false, data);
  });
}

STDMETHODIMP CCoSite::GetSpecificDataExtForEdit(lotrixSpecificDataType kind, LONG ident, _Recordset** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    return DictionaryOf(kind, ident, true, data);
  });
}

STDMETHODIMP CCoSite::GetSpecificRegDataExt(lotrixSpecificDataType kind, LONG ident, LONG regId, _Recordset** data) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!data) return E_POINTER;
    *data = nullptr;
    if (kind != lotrixSpecificDataShopCategory && kind != lotrixSpecificDataShopCategoryParent) return E_NOTIMPL;
    CString sql;
    sql.Format(kStatements[kind].select, MainLong(L"st_Id"), ident, regId);
    return HandOut(Open(sql, false), data);
  });
}
