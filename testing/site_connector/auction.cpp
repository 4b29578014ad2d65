// The reference provider's auction object: an auction of the host's au__Auction table with the
// provider's details beside it (au_SiteDetail) and its images (au_Image, ids of the host's image
// store), created by the synchronisation under the provider's ss_AuctionProgId.
#include <atomic>
#include <optional>
#include <vector>

#include "platform/com/server.h"
#include "platform/strings/strings.h"
#include "testing/site_connector/reference_connector.h"

namespace {

_variant_t NullValue() {
  _variant_t v;
  v.vt = VT_NULL;
  return v;
}
_variant_t Money(CY value) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal = value;
  return v;
}
_variant_t DateValue(DATE value) {
  _variant_t v;
  v.vt = VT_DATE;
  v.date = value;
  return v;
}
_variant_t Flag(bool value) {
  _variant_t v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
bool IsNull(const _variant_t& v) { return v.vt == VT_NULL || v.vt == VT_EMPTY; }

// The delivery a purchase of the auction gets: shipment (delivery method 1) when the auction
// names shipping options, else collection in person only.
class DeliveryOptions : public platform::com::ServerObject<IHxDeliveryOptions> {
 public:
  explicit DeliveryOptions(bool shipped) : m_shipped(shipped) {}
  STDMETHODIMP GetDeliveryMethod(VARIANT* method) override {
    if (!method) return E_POINTER;
    VariantInit(method);
    if (m_shipped) {
      method->vt = VT_I4;
      method->lVal = 1;
    } else {
      method->vt = VT_NULL;
    }
    return S_OK;
  }

 private:
  bool m_shipped;
};

class Auction;

// The auction's image list, by image ids of the host's store.
class ImageList : public platform::com::ServerObject<IAuctionImages> {
 public:
  ImageList(IUnknown* owner, std::vector<LONG>* ids, bool* changed) : m_owner(owner), m_ids(ids), m_changed(changed) {}
  STDMETHODIMP Contains(VARIANT imageId, VARIANT_BOOL* contains) override {
    if (!contains) return E_POINTER;
    *contains = VARIANT_FALSE;
    LONG id = 0;
    if (!IdOf(imageId, id)) return E_INVALIDARG;
    for (LONG known : *m_ids)
      if (known == id) *contains = VARIANT_TRUE;
    return S_OK;
  }
  STDMETHODIMP Add(VARIANT imageId) override {
    LONG id = 0;
    if (!IdOf(imageId, id) || id <= 0) return E_INVALIDARG;
    m_ids->push_back(id);
    *m_changed = true;
    return S_OK;
  }
  STDMETHODIMP Clear() override {
    if (!m_ids->empty()) *m_changed = true;
    m_ids->clear();
    return S_OK;
  }

 private:
  static bool IdOf(const VARIANT& value, LONG& id) {
    _variant_t converted;
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_I4))) return false;
    id = converted.lVal;
    return true;
  }
  IUnknownPtr m_owner;  // keeps the auction (and the list) alive
  std::vector<LONG>* m_ids;
  bool* m_changed;
};

// The failure that tests give every auction object's Save (S_OK: none).
std::atomic<HRESULT> g_saveFailure{S_OK};

class Auction : public platform::com::ServerObject<IFlgItem, IFlgData, IHxAuction, IAuctionOptions,
                                                   IAuctionObjectPrepare, IReferenceAuctionData,
                                                   IReferenceAuctionControl, ISupportErrorInfo> {
 public:
  // --- IFlgItem
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_ReferenceAuction;
    return S_OK;
  }
  // `init`: the account, its site row, the local site and the service provider (four VT_I4).
  STDMETHODIMP InitNew(IFlgDataFactory* factory, VARIANT init) override {
    return platform::com::Boundary([&] {
      LONG ids[4] = {};
      HRESULT hr = ReadIds(init, ids);
      if (FAILED(hr)) return hr;
      hr = Open(factory, L"1 = 0");
      if (FAILED(hr)) return hr;
      m_row->AddNew();
      m_detail->AddNew();
      if (m_headerFlag) Put(m_detail, L"aal_HeaderFlag", _variant_t(*m_headerFlag));
      Put(m_row, L"au_RegId", _variant_t(ids[0]));
      Put(m_row, L"au_RegSiteId", _variant_t(ids[1]));
      Put(m_row, L"au_SiteId", _variant_t(ids[2]));
      Put(m_row, L"au_SvcProvId", _variant_t(ids[3]));
      m_id = 0;
      m_state = 1;
      return S_OK;
    });
  }
  STDMETHODIMP Load(IFlgDataFactory* factory, VARIANT id) override {
    if (id.vt != VT_I4) return E_INVALIDARG;
    return platform::com::Boundary([&] {
      CString where;
      where.Format(L"au_Id = %ld", id.lVal);
      HRESULT hr = Open(factory, where);
      if (FAILED(hr)) return hr;
      if (m_row->GetadoEOF()) return platform::com::ReportError(E_INVALIDARG, L"Nie ma takiej aukcji.",
                                                               kReferenceAuctionProgId, __uuidof(IFlgItem));
      if (m_detail->GetadoEOF()) {
        m_detail->AddNew();
        Put(m_detail, L"aal_AuctionId", id);
      }
      if (m_headerFlag) Put(m_detail, L"aal_HeaderFlag", _variant_t(*m_headerFlag));
      // The images are read when they are first asked for (a send never asks).
      m_imagesRead = false;
      m_id = id.lVal;
      m_state = 3;
      return S_OK;
    });
  }
  STDMETHODIMP InitCopy(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP BeginEdit() override {
    if (m_state == 3) m_state = 2;
    return m_state == 2 || m_state == 1 ? S_OK : E_UNEXPECTED;
  }
  STDMETHODIMP EndEdit() override {
    if (m_state == 2) m_state = 3;
    return S_OK;
  }
  STDMETHODIMP Save() override {
    if (!m_row || m_state == 0) return E_UNEXPECTED;
    if (const HRESULT failure = g_saveFailure.load(); FAILED(failure))
      return platform::com::ReportError(failure, L"Nie udało się zapisać aukcji.", kReferenceAuctionProgId,
                                        __uuidof(IFlgItem));
    return platform::com::Boundary([&] {
      m_connection->BeginTrans();
      try {
        if (m_state == 1) {
          LONG key = 0;
          const HRESULT hr = m_factory->ReserveIds(_bstr_t(L"au__Auction"), 1, &key);
          if (FAILED(hr)) _com_issue_error(hr);
          Put(m_row, L"au_Id", _variant_t(key));
          Put(m_detail, L"aal_AuctionId", _variant_t(key));
          m_id = key;
        }
        m_row->UpdateBatch(adAffectAll);
        m_detail->UpdateBatch(adAffectAll);
        if (m_imagesChanged) WriteImages();
        m_connection->CommitTrans();
      } catch (const _com_error&) {
        try {
          m_connection->RollbackTrans();
        } catch (const _com_error&) {
        }
        if (m_state == 1) m_id = 0;
        throw;
      }
      m_imagesChanged = false;
      if (m_state == 1) m_state = 3;
      return S_OK;
    });
  }
  // A title, a number and no negative quantity; a text over its column is cut by the row.
  STDMETHODIMP Check() override {
    m_errors.clear();
    if (!m_row) return E_UNEXPECTED;
    return platform::com::Boundary([&] {
      const _variant_t title = Value(m_row, L"au_Title");
      if (IsNull(title) || CString(static_cast<const wchar_t*>(_bstr_t(title))).Trim().IsEmpty())
        m_errors.push_back(L"Nie podano tytułu aukcji.");
      if (IsNull(Value(m_row, L"au_Number"))) m_errors.push_back(L"Nie podano numeru aukcji.");
      const _variant_t quantity = Value(m_row, L"au_Quantity");
      if (!IsNull(quantity) && static_cast<LONG>(quantity) < 0) m_errors.push_back(L"Liczba sztuk nie może być ujemna.");
      return m_errors.empty() ? S_OK : E_INVALIDARG;
    });
  }
  STDMETHODIMP Delete(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP GetErrorCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<LONG>(m_errors.size());
    return S_OK;
  }
  STDMETHODIMP GetErrorText(LONG index, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (index < 0 || index >= static_cast<LONG>(m_errors.size())) return E_INVALIDARG;
    *text = SysAllocString(m_errors[static_cast<size_t>(index)].GetString());
    return S_OK;
  }
  STDMETHODIMP SetUseTransaction(LONG) override { return S_OK; }
  STDMETHODIMP SetLockOnEdit(LONG) override { return S_OK; }
  STDMETHODIMP SetCheckRights(LONG) override { return S_OK; }
  STDMETHODIMP SetCallbackValue(LONG) override { return S_OK; }
  STDMETHODIMP GetCallbackValue(LONG* value) override {
    if (!value) return E_POINTER;
    *value = 0;
    return S_OK;
  }

  // --- IFlgData
  STDMETHODIMP GetId(VARIANT* id) override {
    if (!id) return E_POINTER;
    VariantInit(id);
    if (m_id > 0) {
      id->vt = VT_I4;
      id->lVal = m_id;
    } else {
      id->vt = VT_NULL;
    }
    return S_OK;
  }
  STDMETHODIMP GetState(VARIANT* state) override {
    if (!state) return E_POINTER;
    VariantInit(state);
    state->vt = VT_I4;
    state->lVal = m_state;
    return S_OK;
  }
  STDMETHODIMP GetFormat(LONG* format) override {
    if (!format) return E_POINTER;
    *format = 1;
    return S_OK;
  }
  STDMETHODIMP GetLocked(VARIANT_BOOL* locked) override {
    if (!locked) return E_POINTER;
    *locked = m_state == 2 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  // --- IAuction
  STDMETHODIMP GetTitle(BSTR* title) override { return GetText(m_row, L"au_Title", title); }
  STDMETHODIMP PutTitle(BSTR title) override { return Set(m_row, L"au_Title", Text(title)); }
  STDMETHODIMP PutOwnerUserId(LONG user) override { return Set(m_row, L"au_UserId", _variant_t(user)); }
  STDMETHODIMP GetState(LONG* state) override {
    if (!state) return E_POINTER;
    return platform::com::Boundary([&] {
      const _variant_t value = Value(m_row, L"au_State");
      *state = IsNull(value) ? 0 : static_cast<LONG>(value);
      return S_OK;
    });
  }
  STDMETHODIMP PutState(LONG state) override { return Set(m_row, L"au_State", _variant_t(state)); }
  STDMETHODIMP GetNumber(BSTR* number) override { return GetText(m_row, L"au_Number", number); }
  STDMETHODIMP PutNumber(BSTR number) override { return Set(m_row, L"au_Number", Text(number)); }
  STDMETHODIMP PutCategory(LONG category) override { return Set(m_row, L"au_CatId", _variant_t(category)); }
  STDMETHODIMP PutQuantity(LONG quantity) override { return Set(m_row, L"au_Quantity", _variant_t(quantity)); }
  STDMETHODIMP PutStartPrice(CY price) override { return Set(m_row, L"au_StartPrice", Money(price)); }
  STDMETHODIMP PutMinimumPrice(CY price) override { return Set(m_row, L"au_MinPrice", Money(price)); }
  STDMETHODIMP PutBuyNowPrice(CY price) override { return Set(m_row, L"au_BuyNowPrice", Money(price)); }
  STDMETHODIMP PutStartDate(DATE date) override { return Set(m_row, L"au_StartDate", DateValue(date)); }
  STDMETHODIMP PutDuration(LONG duration) override { return Set(m_row, L"au_Duration", _variant_t(duration)); }
  STDMETHODIMP PutEndDate(DATE date) override { return Set(m_row, L"au_EndDate", DateValue(date)); }
  STDMETHODIMP PutHitCount(LONG count) override { return Set(m_row, L"au_HitCount", _variant_t(count)); }
  STDMETHODIMP PutPrice(CY price) override { return Set(m_row, L"au_Price", Money(price)); }
  STDMETHODIMP PutBidCount(LONG count) override { return Set(m_row, L"au_BidCount", _variant_t(count)); }
  STDMETHODIMP PutFee(CY fee) override { return Set(m_row, L"au_Fee", Money(fee)); }
  STDMETHODIMP PutCommission(CY commission) override { return Set(m_row, L"au_Commission", Money(commission)); }
  STDMETHODIMP PutLocation(BSTR location) override { return Set(m_row, L"au_Location", Text(location)); }
  STDMETHODIMP PutDescription(BSTR description) override {
    return Set(m_detail, L"aal_Description", Text(description));
  }
  STDMETHODIMP PutWatcherCount(LONG count) override { return Set(m_row, L"au_WatcherCount", _variant_t(count)); }
  STDMETHODIMP PutSoldCount(LONG count) override { return Set(m_row, L"au_SoldCount", _variant_t(count)); }
  STDMETHODIMP PutCountry(VARIANT country) override { return SetLong(L"au_Country", country); }
  STDMETHODIMP PutRegion(VARIANT region) override { return SetLong(L"au_Region", region); }
  STDMETHODIMP GetImages(IUnknown** images) override {
    if (!images) return E_POINTER;
    *images = nullptr;
    if (!m_row) return E_UNEXPECTED;
    return platform::com::Boundary([&] {
      if (!m_imagesRead) {
        CString sql;
        sql.Format(L"SELECT ai_ImageId FROM au_Image WHERE ai_AuctionId = %ld ORDER BY ai_Order", m_id);
        _RecordsetPtr read = Query(sql, adLockReadOnly);
        for (; !read->GetadoEOF(); read->MoveNext())
          m_images.push_back(static_cast<LONG>(read->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue()));
        m_imagesRead = true;
      }
      ImageList* list = new ImageList(static_cast<IFlgItem*>(this), &m_images, &m_imagesChanged);
      *images = static_cast<IAuctionImages*>(list);
      return S_OK;
    });
  }
  STDMETHODIMP GetDeliveryOptions(IUnknown** options) override {
    if (!options) return E_POINTER;
    *options = nullptr;
    if (!m_detail) return E_UNEXPECTED;
    return platform::com::Boundary([&] {
      const _variant_t shipping = Value(m_detail, L"aal_ShippingOptions");
      *options = static_cast<IHxDeliveryOptions*>(new DeliveryOptions(!IsNull(shipping) && static_cast<LONG>(shipping) != 0));
      return S_OK;
    });
  }
  STDMETHODIMP PutHeaderFlag(LONG flag) override {
    // Before the auction is loaded the flag waits for its row.
    m_headerFlag = flag;
    if (!m_detail || m_detail->GetadoEOF()) return S_OK;
    return Set(m_detail, L"aal_HeaderFlag", _variant_t(flag));
  }
  STDMETHODIMP PutPrivate(VARIANT_BOOL isPrivate) override {
    return Set(m_row, L"au_Private", Flag(isPrivate != VARIANT_FALSE));
  }
  STDMETHODIMP GetShopItem(VARIANT_BOOL* shopItem) override {
    if (!shopItem) return E_POINTER;
    return platform::com::Boundary([&] {
      const _variant_t value = Value(m_row, L"au_ShopItem");
      *shopItem = !IsNull(value) && static_cast<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHODIMP GetServiceId(LONG* service) override {
    if (!service) return E_POINTER;
    return platform::com::Boundary([&] {
      const _variant_t value = Value(m_row, L"au_SvcProvId");
      *service = IsNull(value) ? 0 : static_cast<LONG>(value);
      return S_OK;
    });
  }

  // --- IAuctionOptions
  STDMETHODIMP PutSaleType(LONG saleType) override {
    HRESULT hr = Set(m_detail, L"aal_SaleType", _variant_t(saleType));
    if (SUCCEEDED(hr)) hr = Set(m_row, L"au_ShopItem", Flag(saleType == 2));
    return hr;
  }
  STDMETHODIMP PutEnhancements(LONG options) override { return Set(m_detail, L"aal_Enhancements", _variant_t(options)); }
  STDMETHODIMP PutPaymentOptions(LONG options) override {
    return Set(m_detail, L"aal_PaymentOptions", _variant_t(options));
  }
  STDMETHODIMP PutShippingOptions(LONG options) override {
    return Set(m_detail, L"aal_ShippingOptions", _variant_t(options));
  }
  STDMETHODIMP PutTransferCost(CY cost) override { return Set(m_detail, L"aal_TransferCost", Money(cost)); }
  STDMETHODIMP PutShippingCost(CY cost) override { return Set(m_detail, L"aal_ShippingCost", Money(cost)); }
  STDMETHODIMP PutAdditionalInfo(BSTR info) override { return Set(m_detail, L"aal_AdditionalInfo", Text(info)); }
  STDMETHODIMP PutTransferCostSet(LONG set) override {
    return set ? S_OK : Set(m_detail, L"aal_TransferCost", NullValue());
  }
  STDMETHODIMP PutShippingCostSet(LONG set) override {
    return set ? S_OK : Set(m_detail, L"aal_ShippingCost", NullValue());
  }

  // --- ISupportErrorInfo: its failures carry error information.
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(IFlgItem) || iid == __uuidof(IHxAuction) ? S_OK : S_FALSE;
  }

  // --- IAuctionObjectPrepare: the provider has no extra listing data.
  STDMETHODIMP PutExtra(IUnknown* extra) override { return extra ? E_INVALIDARG : S_OK; }

  // --- IReferenceAuctionData
  STDMETHODIMP GetRows(IUnknown** auction, IUnknown** detail) override {
    if (!auction || !detail) return E_POINTER;
    *auction = *detail = nullptr;
    if (!m_row || m_row->GetadoEOF() || !m_detail || m_detail->GetadoEOF()) return E_UNEXPECTED;
    m_row->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(auction));
    m_detail->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(detail));
    return S_OK;
  }

  // --- IReferenceAuctionControl
  STDMETHODIMP FailSave(HRESULT hr) override {
    g_saveFailure = hr;
    return S_OK;
  }

 private:
  static _variant_t Text(BSTR text) { return text ? _variant_t(text) : NullValue(); }
  static _variant_t Value(const _RecordsetPtr& rs, const wchar_t* column) {
    if (!rs || rs->GetadoEOF()) _com_issue_error(E_UNEXPECTED);
    return rs->GetFields()->GetItem(_variant_t(column))->GetValue();
  }
  static void Put(const _RecordsetPtr& rs, const wchar_t* column, const _variant_t& value) {
    rs->GetFields()->GetItem(_variant_t(column))->PutValue(value);
  }
  static HRESULT Set(const _RecordsetPtr& rs, const wchar_t* column, const _variant_t& value) {
    if (!rs || rs->GetadoEOF()) return E_UNEXPECTED;
    return platform::com::Boundary([&] {
      Put(rs, column, value);
      return S_OK;
    });
  }
  static HRESULT GetText(const _RecordsetPtr& rs, const wchar_t* column, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return platform::com::Boundary([&] {
      const _variant_t value = Value(rs, column);
      *out = SysAllocString(IsNull(value) ? L"" : static_cast<const wchar_t*>(_bstr_t(value)));
      return S_OK;
    });
  }
  HRESULT SetLong(const wchar_t* column, const VARIANT& value) {
    _variant_t converted;
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return Set(m_row, column, NullValue());
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    return Set(m_row, column, converted);
  }
  static HRESULT ReadIds(const VARIANT& init, LONG (&ids)[4]) {
    if (init.vt != (VT_ARRAY | VT_I4) || !init.parray || SafeArrayGetDim(init.parray) != 1 ||
        init.parray->rgsabound[0].cElements != 4)
      return E_INVALIDARG;
    for (LONG i = 0; i < 4; ++i) {
      LONG index = static_cast<LONG>(init.parray->rgsabound[0].lLbound) + i;
      const HRESULT hr = SafeArrayGetElement(init.parray, &index, &ids[i]);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  _RecordsetPtr Query(const CString& sql, LockTypeEnum lock) {
    _RecordsetPtr rs;
    HRESULT hr = rs.CreateInstance(__uuidof(Recordset));
    if (FAILED(hr)) _com_issue_error(hr);
    rs->PutCursorLocation(adUseClient);
    rs->Open(_variant_t(sql.GetString()), _variant_t(static_cast<IDispatch*>(m_connection.GetInterfacePtr())),
             adOpenStatic, lock, adCmdText);
    return rs;
  }
  HRESULT Open(IFlgDataFactory* factory, const CString& where) {
    if (!factory) return E_INVALIDARG;
    IDispatch* raw = nullptr;
    HRESULT hr = factory->GetDbConnection(&raw);
    IDispatchPtr dispatch(raw, false);
    if (FAILED(hr)) return hr;
    m_connection = _ConnectionPtr(dispatch);
    if (!m_connection) return E_NOINTERFACE;
    m_factory = factory;
    m_row = Query(L"SELECT * FROM au__Auction WHERE " + where, adLockBatchOptimistic);
    CString detail = where;
    detail.Replace(L"au_Id", L"aal_AuctionId");
    m_detail = Query(L"SELECT * FROM au_SiteDetail WHERE " + detail, adLockBatchOptimistic);
    m_images.clear();
    m_imagesChanged = false;
    m_imagesRead = true;
    return S_OK;
  }
  void WriteImages() {
    CString sql;
    sql.Format(L"DELETE FROM au_Image WHERE ai_AuctionId = %ld", m_id);
    m_connection->Execute(_bstr_t(sql.GetString()), nullptr, adCmdText | adExecuteNoRecords);
    if (m_images.empty()) return;
    LONG key = 0;
    const HRESULT hr = m_factory->ReserveIds(_bstr_t(L"au_Image"), static_cast<LONG>(m_images.size()), &key);
    if (FAILED(hr)) _com_issue_error(hr);
    _RecordsetPtr rows = Query(L"SELECT * FROM au_Image WHERE 1 = 0", adLockBatchOptimistic);
    LONG order = 0;
    for (LONG image : m_images) {
      rows->AddNew();
      Put(rows, L"ai_Id", _variant_t(key++));
      Put(rows, L"ai_AuctionId", _variant_t(m_id));
      Put(rows, L"ai_ImageId", _variant_t(image));
      Put(rows, L"ai_Order", _variant_t(++order));
    }
    rows->UpdateBatch(adAffectAll);
  }

  IFlgDataFactoryPtr m_factory;
  _ConnectionPtr m_connection;
  _RecordsetPtr m_row, m_detail;
  std::vector<LONG> m_images;
  bool m_imagesChanged = false;
  bool m_imagesRead = true;  // m_images holds the stored auction's images
  std::optional<LONG> m_headerFlag;
  std::vector<CString> m_errors;
  LONG m_id = 0;
  LONG m_state = 0;  // 0 none, 1 new, 2 edited, 3 read
};

}  // namespace

HRESULT CreateReferenceAuction(IUnknown* outer, REFIID iid, void** out) {
  return platform::com::CreateServerObject<Auction>(outer, iid, out);
}
