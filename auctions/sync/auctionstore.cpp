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
                  const CStoreStep& step, CHxLog& log) {
  if (!withImages) {
    Put(row, L"has_full_header", Short(false));
    Check(item->Save(), item, __uuidof(IFlgItem));
  } else {
    const HRESULT checked = item->Check();
    if (FAILED(checked)) {
      const CString messages = ValidationMessages(item);
      if (!messages.IsEmpty()) Put(row, L"errors", _variant_t(messages.GetString()));
      if (log.Started()) log.Error(step.Text() + L"\r\n" + messages);
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

namespace {

// One call of the auction store: the received row with its download's images, and what the
// lookup found of the stored auction.
struct AuctionCall {
  CReceiveContext& context;
  const _RecordsetPtr& row;
  const _RecordsetPtr& images;
  const _RecordsetPtr& accountSite;
  bool noImages;
  CHxLog& log;
  // The text of the current step, which a failure is reported with.
  CStoreStep step{};
  GUID clsid = GUID_NULL;
  // A row without auction details (NULL `blocked`) never writes an auction.
  bool detailsMissing = false;
  std::optional<LONG> storedId{};
  LONG storedCategory = 0;
};

// Finds the stored auction by the row's number and the account; false when there is nothing to
// store (a row without title) or the lookup failed (reported).
bool FindStoredAuction(AuctionCall& call, CLookup& lookup) {
  try {
    if (IsNull(Value(call.row, L"title"))) return false;
    CString sql;
    sql.Format(L"SELECT au_Id, au_UserId, au_RegId, au_SiteId, au_CatId FROM au__Auction WHERE au_Number='%ls' AND "
               L"au_RegId=%ld",
               hxSqlQuote(TextOf(Value(call.row, L"number"))).GetString(),
               LongOr(Value(call.accountSite, L"reg_id"), 0));
    _RecordsetPtr found = lookup.Open(sql);
    call.detailsMissing = IsNull(Value(call.row, L"blocked"));
    call.clsid = call.context.AuctionClassOf(LongOr(Value(call.accountSite, L"service_id"), 0));
    if (!lookup.Empty()) {
      found->MoveFirst();
      call.storedId = AsLong(Value(found, L"au_Id"));
      call.storedCategory = LongOr(Value(found, L"au_CatId"), 0);
    }
    return true;
  } catch (const _com_error& e) {
    call.context.ReportError(e, CHxResString(kStrFindAuction).Text(), call.log);
    return false;
  }
}

// Answers the connector about the stored auction in the row (written with ADO Update): whether
// it has a full header and full data, how much of it was sold, its id.
void AnswerStoredAuction(AuctionCall& call, CLookup& lookup) {
  const _RecordsetPtr& row = call.row;
  const LONG id = *call.storedId;
  const bool fullHeader = call.storedCategory >= 1;
  if (call.noImages) Put(row, L"has_full_header", Bool(fullHeader));
  if (call.context.FullAuctionData()) {
    bool fullData = false;
    if (fullHeader) {
      CString sql;
      sql.Format(L"SELECT aal_Description FROM au_SiteDetail WHERE aal_AuctionId=%ld", id);
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
  sql.Format(L"SELECT ISNULL(SUM(tr_OrigQuantity), 0) AS sold_sum FROM tr__Transaction WHERE tr_AuctionId=%ld", id);
  _RecordsetPtr sold = lookup.Open(sql);
  Put(row, L"sold_sum", Converted(Value(sold, L"sold_sum"), VT_I4));
  Put(row, L"auction_id", _variant_t(id));
  row->Update();
}

// Loads the stored auction, writes the row into it (it keeps its own sale type) and saves it.
void UpdateStoredAuction(AuctionCall& call) {
  const _variant_t number = Value(call.row, L"number");
  IFlgItemPtr item = CreateItem(call.clsid);
  IHxAuctionPtr auction = Face<IAuction>(item);
  if (IsText(number, true)) call.step.Set(kStrSaveAuction, TextOf(number));
  if (call.noImages) Check(auction->PutHeaderFlag(0), auction, __uuidof(IAuction));
  Check(item->Load(CHxInstance::GetDataFactory(), _variant_t(*call.storedId)), item, __uuidof(IFlgItem));
  Check(item->BeginEdit(), item, __uuidof(IFlgItem));
  VARIANT_BOOL shopItem = VARIANT_FALSE;
  Check(auction->GetShopItem(&shopItem), auction, __uuidof(IAuction));
  Put(call.row, L"shop_item", Short(shopItem != VARIANT_FALSE));
  WriteAuctionFields(auction, call.row, false);
  WriteAuctionOptions(auction, call.row);
  WriteAuctionImages(auction, call.images);
  SaveAndCount(call.context, item, call.row, !call.noImages && call.images, call.step, call.log);
}

// Creates the auction for the account of the account-site row, owned by the user, from the row
// with its images, and saves it.
void CreateAuction(AuctionCall& call, LONG userId) {
  const _variant_t numberValue = Value(call.row, L"number");
  IFlgItemPtr item = CreateItem(call.clsid);
  IHxAuctionPtr auction = Face<IAuction>(item);
  if (!IsText(numberValue, true)) _com_issue_error(E_UNEXPECTED);
  const CString number = TextOf(numberValue);
  call.step.Set(kStrSaveAuctionData, number);
  _variant_t ids;
  ids.vt = VT_ARRAY | VT_I4;
  ids.parray = AccountIds(call.accountSite);
  Check(item->InitNew(CHxInstance::GetDataFactory(), ids), item, __uuidof(IFlgItem));
  Check(auction->PutOwnerUserId(userId), auction, __uuidof(IAuction));
  Check(auction->PutDescription(_bstr_t(L"")), auction, __uuidof(IAuction));
  WriteAuctionFields(auction, call.row, false);
  WriteAuctionOptions(auction, call.row);
  if (call.images) {
    call.step.Set(kStrSaveImages, number);
    WriteAuctionImages(auction, call.images);
    call.step.Set(kStrSaveAuction, number);
  }
  SaveAndCount(call.context, item, call.row, static_cast<bool>(call.images), call.step, call.log);
}

}  // namespace

void StoreReceivedAuction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& images,
                          const _RecordsetPtr& accountSite, LONG userId, bool checkOnly, bool noImages) {
  AuctionCall call{context, row, images, accountSite, noImages, context.ReceiveLog(CHxLog::jsReceiveAuctions), {}};
  const CRecordReads reads;
  CLookup lookup;
  if (!FindStoredAuction(call, lookup)) return;
  try {
    if (call.storedId) {
      AnswerStoredAuction(call, lookup);
      // A check, or a row without details, leaves the stored auction as it is.
      if (!checkOnly && !call.detailsMissing) UpdateStoredAuction(call);
    } else if (!call.detailsMissing) {
      CreateAuction(call, userId);
    }
  } catch (const _com_error& e) {
    context.ReportError(e, call.step.Text(), call.log);
  }
}

}  // namespace lotrix
