// The store of received auctions: the provider's auction object made to agree with the row, and
// the answers the connector reads back from it.
#include "auctions/sync/receivestores.h"
#include "auctions/sync/storetools.h"
#include "platform/strings/oledatetime.h"
#include "shared/satools.h"
#include "shared/sqltools.h"

namespace lotrix {

using namespace stores;

namespace {

constexpr UINT kStrFindAuction = 130;
constexpr UINT kStrSaveAuctionData = 131;
constexpr UINT kStrSaveImages = 132;
constexpr UINT kStrSaveAuction = 133;

_variant_t Bool(bool value) {
  _variant_t v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
_variant_t Short(bool value) {
  _variant_t v;
  v.vt = VT_I2;
  v.iVal = value ? -1 : 0;
  return v;
}
bool IsMoney(const _variant_t& v) { return v.vt == VT_CY; }
bool IsDate(const _variant_t& v) { return v.vt == VT_DATE; }
// Whether the value converts to true.
bool IsTrue(const _variant_t& v) {
  if (IsNull(v)) return false;
  _variant_t converted;
  if (FAILED(VariantChangeType(&converted, &v, 0, VT_BOOL))) return false;
  return converted.boolVal != VARIANT_FALSE;
}
constexpr LONGLONG kOneZloty = 10000;  // 1.00 as a currency value

// The container's filter is empty again when the images are written, also on a failure.
class CEmptyFilterAtEnd {
 public:
  explicit CEmptyFilterAtEnd(_RecordsetPtr rs) : m_rs(std::move(rs)) {}
  ~CEmptyFilterAtEnd() {
    try {
      m_rs->PutFilter(_variant_t(L""));
    } catch (const _com_error&) {
    }
  }

 private:
  _RecordsetPtr m_rs;
};

// Checks and saves the auction, or writes the validation messages into the row and the log; a
// saved auction is counted once however often the connector hands the row over.
void SaveAndCount(CReceiveContext& context, const IFlgItemPtr& item, const _RecordsetPtr& row, bool withImages,
                  CString& step, CHxLog& log) {
  if (!withImages) {
    Put(row, L"has_full_header", Short(false));
    Check(item->Save(), item, __uuidof(IFlgItem));
  } else {
    const HRESULT checked = item->Check();
    if (FAILED(checked)) {
      const CString messages = ValidationMessages(item);
      if (!messages.IsEmpty()) Put(row, L"errors", _variant_t(messages.GetString()));
      step += L"\r\n" + messages;
      if (log.Started()) log.Error(step);
      return;
    }
    Check(item->Save(), item, __uuidof(IFlgItem));
  }
  const _variant_t counted = Value(row, L"counted");
  if (!(counted.vt == VT_BOOL && counted.boolVal != VARIANT_FALSE)) {
    Put(row, L"counted", Bool(true));
    context.CountReceived(CHxLog::jsReceiveAuctions);
  }
}

SAFEARRAY* AccountIds(const _RecordsetPtr& accountSite) {
  SAFEARRAY* ids = SafeArrayCreateVector(VT_I4, 0, 4);
  if (!ids) _com_issue_error(E_OUTOFMEMORY);
  const wchar_t* fields[] = {L"reg_id", L"regsite_id", L"site_id", L"service_id"};
  for (LONG i = 0; i < 4; ++i) {
    LONG value = LongOr(Value(accountSite, fields[i]), 0);
    SafeArrayPutElement(ids, &i, &value);
  }
  return ids;
}

}  // namespace

void WriteAuctionFields(const IHxAuctionPtr& auction, const _RecordsetPtr& row, bool skipDescription) {
  IHxAuction* a = auction.GetInterfacePtr();
  if (!a) _com_issue_error(E_POINTER);
  auto call = [&](HRESULT hr) { Check(hr, a, __uuidof(IAuction)); };
  auto text = [&](const wchar_t* field, HRESULT (IHxAuction::*put)(BSTR)) {
    const _variant_t v = Value(row, field);
    if (IsText(v)) call((a->*put)(v.bstrVal));
  };
  auto number = [&](const wchar_t* field, HRESULT (IHxAuction::*put)(LONG)) {
    const _variant_t v = Value(row, field);
    if (v.vt == VT_I4) call((a->*put)(v.lVal));
  };
  auto money = [&](const wchar_t* field, HRESULT (IHxAuction::*put)(CY), bool positive) {
    const _variant_t v = Value(row, field);
    if (IsMoney(v) && (!positive || v.cyVal.int64 > 0)) call((a->*put)(v.cyVal));
  };
  text(L"number", &IHxAuction::PutNumber);
  text(L"title", &IHxAuction::PutTitle);
  number(L"category", &IHxAuction::PutCategory);
  number(L"bid_count", &IHxAuction::PutBidCount);
  money(L"bin_price", &IHxAuction::PutBuyNowPrice, true);
  money(L"min_price", &IHxAuction::PutMinimumPrice, true);
  money(L"start_price", &IHxAuction::PutStartPrice, false);
  money(L"commission", &IHxAuction::PutCommission, false);
  number(L"sold", &IHxAuction::PutSoldCount);
  money(L"fee", &IHxAuction::PutFee, false);
  number(L"duration", &IHxAuction::PutDuration);
  const _variant_t start = Value(row, L"start_date");
  if (IsDate(start)) {
    // A start date that has passed makes the auction a running one.
    if (COleDateTime::GetCurrentTime().m_dt > start.date) call(a->PutState(3));
    call(a->PutStartDate(start.date));
  }
  const _variant_t end = Value(row, L"end_date");
  if (IsDate(end)) call(a->PutEndDate(end.date));
  number(L"hit_count", &IHxAuction::PutHitCount);
  money(L"price", &IHxAuction::PutPrice, false);
  number(L"watcher_count", &IHxAuction::PutWatcherCount);
  number(L"quantity", &IHxAuction::PutQuantity);
  text(L"location", &IHxAuction::PutLocation);
  const _variant_t country = Value(row, L"country");
  if (!IsNull(country)) call(a->PutCountry(country));
  const _variant_t region = Value(row, L"region");
  if (!IsNull(region)) call(a->PutRegion(region));
  const _variant_t isPrivate = Value(row, L"private");
  if (!IsNull(isPrivate)) call(a->PutPrivate(Converted(isPrivate, VT_BOOL).boolVal));
  if (!skipDescription) text(L"description", &IHxAuction::PutDescription);
  if (IsTrue(Value(row, L"ended"))) call(a->PutState(4));
}

void WriteAuctionOptions(const IHxAuctionPtr& auction, const _RecordsetPtr& row) {
  IAuctionOptions* raw = nullptr;
  if (!auction || FAILED(auction->QueryInterface(__uuidof(IAuctionOptions), reinterpret_cast<void**>(&raw))) || !raw)
    return;
  IAuctionOptionsPtr options(raw, false);
  auto call = [&](HRESULT hr) { Check(hr, raw, __uuidof(IAuctionOptions)); };
  const _variant_t start = Value(row, L"start_price");
  const _variant_t bin = Value(row, L"bin_price");
  LONG saleType = 0;
  if (IsTrue(Value(row, L"shop_item"))) saleType = 2;
  else if (IsMoney(start) && start.cyVal.int64 >= kOneZloty) saleType = 0;
  else if (IsMoney(bin) && bin.cyVal.int64 >= kOneZloty) saleType = 1;
  call(options->PutSaleType(saleType));
  const std::pair<const wchar_t*, HRESULT (IAuctionOptions::*)(LONG)> sets[] = {
      {L"enh_opts", &IAuctionOptions::PutEnhancements},
      {L"pay_opts", &IAuctionOptions::PutPaymentOptions},
      {L"ship_opts", &IAuctionOptions::PutShippingOptions}};
  for (const auto& [field, put] : sets) {
    const _variant_t v = Value(row, field);
    if (v.vt == VT_I4) call((raw->*put)(v.lVal));
  }
  const _variant_t info = Value(row, L"additional_info");
  if (IsText(info)) call(options->PutAdditionalInfo(info.bstrVal));
  const _variant_t transfer = Value(row, L"transfer_cost");
  if (IsMoney(transfer) && transfer.cyVal.int64 >= 0) call(options->PutTransferCost(transfer.cyVal));
  else if (transfer.vt == VT_NULL) call(options->PutTransferCostSet(0));
  const _variant_t shipping = Value(row, L"shipping_cost");
  if (IsMoney(shipping) && shipping.cyVal.int64 >= 0) call(options->PutShippingCost(shipping.cyVal));
  else if (shipping.vt == VT_NULL) call(options->PutShippingCostSet(0));
}

void WriteAuctionImages(const IHxAuctionPtr& auction, const _RecordsetPtr& images) {
  if (!images) return;
  IHxAuction* a = auction.GetInterfacePtr();
  if (!a) _com_issue_error(E_POINTER);
  BSTR rawNumber = nullptr;
  Check(a->GetNumber(&rawNumber), a, __uuidof(IAuction));
  const _bstr_t number(rawNumber, false);
  CString filter;
  filter.Format(L"auction_number='%ls' AND type=3", hxSqlQuote(static_cast<const wchar_t*>(number)).GetString());
  CEmptyFilterAtEnd restore(images);
  images->PutFilter(_variant_t(filter.GetString()));
  const bool numbered = images->GetRecordCount() >= 2;

  IUnknown* rawList = nullptr;
  Check(a->GetImages(&rawList), a, __uuidof(IAuction));
  IUnknownPtr listObject(rawList, false);
  IAuctionImagesPtr list = Face<IAuctionImages>(listObject);
  IHxAppServicesPtr services = Face<IHxAppServices>(hx::Instance());
  IUnknown* rawStore = nullptr;
  Check(services->GetImageStore(&rawStore), services, __uuidof(IHxAppServices));
  IUnknownPtr storeObject(rawStore, false);
  IHxImageStorePtr store = Face<IHxImageStore>(storeObject);
  Check(list->Clear(), list, __uuidof(IAuctionImages));

  BSTR rawTitle = nullptr;
  Check(a->GetTitle(&rawTitle), a, __uuidof(IAuction));
  const CString title(rawTitle ? rawTitle : L"");
  SysFreeString(rawTitle);
  LONG running = 0;
  if (images->GetRecordCount() > 0) images->MoveFirst();
  for (; !images->GetadoEOF(); images->MoveNext()) {
    ++running;
    const _variant_t image = Value(images, L"image");
    if (IsNull(image)) continue;
    if ((image.vt & VT_ARRAY) && (!image.parray || image.parray->rgsabound[0].cElements == 0)) continue;
    CString name = title;
    if (numbered) name.AppendFormat(L" %d", running);
    LONG id = 0;
    Check(store->AddImage(_bstr_t(name.GetString()), image, &id), store, __uuidof(IHxImageStore));
    VARIANT_BOOL contains = VARIANT_FALSE;
    Check(list->Contains(_variant_t(id), &contains), list, __uuidof(IAuctionImages));
    if (contains == VARIANT_FALSE) Check(list->Add(_variant_t(id)), list, __uuidof(IAuctionImages));
  }
}

void StoreReceivedAuction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& images,
                          const _RecordsetPtr& accountSite, LONG userId, bool checkOnly, bool noImages) {
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveAuctions);
  std::optional<LONG> auctionId;
  LONG categoryOfStored = 0;
  bool detailsMissing = false;
  GUID clsid = GUID_NULL;
  CLookup lookup;
  try {
    if (IsNull(Value(row, L"title"))) return;
    CString sql;
    sql.Format(L"SELECT au_Id, au_UserId, au_RegId, au_SiteId, au_CatId FROM au__Auction WHERE au_Number='%ls' AND "
               L"au_RegId=%ld",
               hxSqlQuote(TextOf(Value(row, L"number"))).GetString(), LongOr(Value(accountSite, L"reg_id"), 0));
    _RecordsetPtr found = lookup.Open(sql);
    detailsMissing = IsNull(Value(row, L"blocked"));
    clsid = CHxSaTools::GetAuctionClsid(LongOr(Value(accountSite, L"service_id"), 0));
    if (!lookup.Empty()) {
      found->MoveFirst();
      auctionId = AsLong(Value(found, L"au_Id"));
      categoryOfStored = LongOr(Value(found, L"au_CatId"), 0);
    }
  } catch (const _com_error& e) {
    context.ReportError(e, CHxResString(kStrFindAuction).Text(), log);
    return;
  }

  CString step;
  const _variant_t numberValue = Value(row, L"number");
  const CString number = TextOf(numberValue);
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  if (auctionId) {
    try {
      const bool fullHeader = categoryOfStored >= 1;
      if (noImages) Put(row, L"has_full_header", Bool(fullHeader));
      if (context.FullAuctionData()) {
        bool fullData = false;
        if (fullHeader) {
          CString sql;
          sql.Format(L"SELECT aal_Description FROM au_SiteDetail WHERE aal_AuctionId=%ld", *auctionId);
          _RecordsetPtr detail = lookup.Open(sql);
          if (!lookup.Empty()) {
            detail->MoveFirst();
            const _variant_t description = detail->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
            fullData = IsText(description, true);
          }
        }
        Put(row, L"has_full_data", Bool(fullData));
      }
      CString sql;
      sql.Format(L"SELECT ISNULL(SUM(tr_OrigQuantity), 0) AS sold_sum FROM tr__Transaction WHERE tr_AuctionId=%ld",
                 *auctionId);
      _RecordsetPtr sold = lookup.Open(sql);
      Put(row, L"sold_sum", Converted(Value(sold, L"sold_sum"), VT_I4));
      Put(row, L"auction_id", _variant_t(*auctionId));
      if (checkOnly || detailsMissing) {
        row->Update();
        return;
      }
      row->Update();
      IFlgItemPtr item = CreateItem(clsid);
      IHxAuctionPtr auction = Face<IAuction>(item);
      if (IsText(numberValue, true)) step = Formatted(kStrSaveAuction, number.GetString());
      if (noImages) Check(auction->PutHeaderFlag(0), auction, __uuidof(IAuction));
      Check(item->Load(factory, _variant_t(*auctionId)), item, __uuidof(IFlgItem));
      Check(item->BeginEdit(), item, __uuidof(IFlgItem));
      VARIANT_BOOL shopItem = VARIANT_FALSE;
      Check(auction->GetShopItem(&shopItem), auction, __uuidof(IAuction));
      // A stored auction keeps its sale type.
      Put(row, L"shop_item", Short(shopItem != VARIANT_FALSE));
      WriteAuctionFields(auction, row, false);
      WriteAuctionOptions(auction, row);
      WriteAuctionImages(auction, images);
      SaveAndCount(context, item, row, !noImages && images, step, log);
    } catch (const _com_error& e) {
      context.ReportError(e, step, log);
    }
    return;
  }

  if (detailsMissing) return;
  try {
    IFlgItemPtr item = CreateItem(clsid);
    IHxAuctionPtr auction = Face<IAuction>(item);
    if (!IsText(numberValue, true)) _com_issue_error(E_UNEXPECTED);
    step = Formatted(kStrSaveAuctionData, number.GetString());
    _variant_t ids;
    ids.vt = VT_ARRAY | VT_I4;
    ids.parray = AccountIds(accountSite);
    Check(item->InitNew(factory, ids), item, __uuidof(IFlgItem));
    Check(auction->PutOwnerUserId(userId), auction, __uuidof(IAuction));
    Check(auction->PutDescription(_bstr_t(L"")), auction, __uuidof(IAuction));
    WriteAuctionFields(auction, row, false);
    WriteAuctionOptions(auction, row);
    if (images) {
      step = Formatted(kStrSaveImages, number.GetString());
      WriteAuctionImages(auction, images);
      step = Formatted(kStrSaveAuction, number.GetString());
    }
    SaveAndCount(context, item, row, static_cast<bool>(images), step, log);
  } catch (const _com_error& e) {
    context.ReportError(e, step, log);
  }
}

}  // namespace lotrix
