// The stores of received customers, transactions and comments.
#include "auctions/sync/receivestores.h"

#include "auctions/flgobject.h"
#include "auctions/sync/storetools.h"
#include "shared/satools.h"
#include "shared/sqltools.h"

namespace lotrix {

using namespace stores;

GUID CReceiveContext::AuctionClassOf(LONG serviceId) {
  if (auto known = m_auctionClasses.find(serviceId); known != m_auctionClasses.end()) return known->second;
  const GUID clsid = CHxSaTools::GetAuctionClsid(serviceId);
  // A failed lookup (the database busy, say) is not kept: the next record asks again.
  if (clsid != GUID_NULL) m_auctionClasses.emplace(serviceId, clsid);
  return clsid;
}

namespace stores {

CString ValidationMessages(const IFlgItemPtr& item) {
  CString messages;
  LONG count = 0;
  if (FAILED(item->GetErrorCount(&count))) return messages;
  for (LONG i = 0; i < count; ++i) {
    BSTR text = nullptr;
    if (SUCCEEDED(item->GetErrorText(i, &text))) messages += CString(text ? text : L"") + L"\r\n";
    SysFreeString(text);
  }
  return messages;
}

void RaiseCheckFailure(HRESULT hr, const IFlgItemPtr& item) {
  const CString messages = ValidationMessages(item);
  if (messages.IsEmpty()) _com_issue_errorex(hr, item, __uuidof(IFlgItem));
  platform::com::Raise(hr, messages, L"Lotrix", __uuidof(IFlgItem));
}

void CheckAndSave(const IFlgItemPtr& item) {
  const HRESULT checked = item->Check();
  if (FAILED(checked)) RaiseCheckFailure(checked, item);
  Check(item->Save(), item, __uuidof(IFlgItem));
}

IFlgItemPtr CreateItem(REFCLSID clsid) { return CreateItem(FlgClassObject(clsid)); }

IFlgItemPtr CreateItem(IClassFactory* factory) {
  IFlgItemPtr item(FlgCreateRunning(factory));
  if (!item) _com_issue_error(E_NOINTERFACE);
  return item;
}

_RecordsetPtr DataSetOf(const IFlgItemPtr& item, LONG index) {
  IFlgDataSetPtr sets = Face<IFlgDataSet>(item);
  IUnknown* raw = nullptr;
  Check(sets->GetDataSet(index, &raw), sets, __uuidof(IFlgDataSet));
  IUnknownPtr unknown(raw, false);
  _RecordsetPtr rs(unknown);
  if (!rs) _com_issue_error(E_NOINTERFACE);
  return rs;
}

}  // namespace stores

namespace {

constexpr UINT kStrFindTransaction = 135;
constexpr UINT kStrAnalyseTransaction = 136;
constexpr UINT kStrNoAuction = 137;
constexpr UINT kStrAddTransaction = 138;
constexpr UINT kStrPickupOnly = 139;
constexpr UINT kStrReadCustomer = 141;
constexpr UINT kStrSaveCustomer = 142;
constexpr UINT kStrSaveComment = 144;
constexpr UINT kStrUnknownNumber = 145;
constexpr UINT kStrNoTransaction = 146;
constexpr UINT kStrManualCustomer = 157;

// An object an interface method hands out as IUnknown, as interface I.
template <class I, class S>
_com_ptr_t<_com_IIID<I, nullptr>> Child(S* source, HRESULT (S::*get)(IUnknown**)) {
  IUnknown* raw = nullptr;
  Check((source->*get)(&raw), source, __uuidof(S));
  IUnknownPtr unknown(raw, false);
  return Face<I>(unknown);
}

_bstr_t Bstr(const CString& text) { return _bstr_t(text.GetString()); }

}  // namespace

CString CutText(const CString& text, LONG n) {
  if (n < 0) n = 0;
  return text.GetLength() > n ? text.Left(n) : text;
}

LONG WriteTextCut(const FieldPtr& field, const CString& text) {
  const DataTypeEnum type = field->GetType();
  if (type == adVarWChar || type == adVarChar || type == adChar) {
    const LONG size = static_cast<LONG>(field->GetDefinedSize());
    if (text.GetLength() > size) {
      field->PutValue(_variant_t(text.Left(size).GetString()));
      return size;
    }
  } else if (type != adLongVarWChar && type != adLongVarChar) {
    return 0;
  }
  field->PutValue(_variant_t(text.GetString()));
  return text.GetLength();
}

// ---------------------------------------------------------------------------------------------
// Customers

void WriteCustomerFields(const IFlgItemPtr& item, const _RecordsetPtr& row, LONG serviceId) {
  _RecordsetPtr main = DataSetOf(item, 0);
  // A buyer whose first or last name the site does not give still has the other one.
  CString name = TextOf(Value(row, L"first_name")) + L" " + TextOf(Value(row, L"last_name"));
  name.Trim();
  FieldsPtr fields = main->GetFields();
  WriteTextCut(fields->GetItem(_variant_t(L"cs_Name")), name);
  WriteTextCut(fields->GetItem(_variant_t(L"cs_Nick")), TextOf(Value(row, L"user_name")));
  Put(main, L"cs_Company", Value(row, L"company"));
  Put(main, L"cs_ExtServiceId", Value(row, L"user_id"));
  Put(main, L"cs_Rank", Value(row, L"user_rank"));
  Put(main, L"cs_SvcProvId", _variant_t(serviceId));
  Put(main, L"cs_Activated", Value(row, L"activated"));

  IHxCustomerPtr customer = Face<ICustomer>(item);
  IHxAddressPtr address = Child<ICustomerAddress>(customer.GetInterfacePtr(), &ICustomer::GetAddress);
  auto put = [&](HRESULT (ICustomerAddress::*method)(BSTR), const CString& text, LONG n) {
    Check((address.GetInterfacePtr()->*method)(Bstr(CutText(text, n))), address, __uuidof(ICustomerAddress));
  };
  put(&ICustomerAddress::PutFirstLine, TextOf(Value(row, L"street")), 64);   // the street
  put(&ICustomerAddress::PutName, name, 129);
  put(&ICustomerAddress::PutCompany, TextOf(Value(row, L"company")), 255);
  put(&ICustomerAddress::PutZipCode, TextOf(Value(row, L"postcode")), 32);   // the postcode
  put(&ICustomerAddress::PutCity, TextOf(Value(row, L"city")), 64);
  const _variant_t country = Value(row, L"country_name");
  if (IsText(country)) put(&ICustomerAddress::PutCountry, TextOf(country), 50);   // the country name

  Check(customer->PutEmail(Bstr(CutText(TextOf(Value(row, L"email")), 255)), -1), customer, __uuidof(ICustomer));
  const _variant_t phone = Value(row, L"phone");
  if (IsText(phone, true)) Check(customer->PutPhone(Bstr(CutText(TextOf(phone), 50)), -1), customer, __uuidof(ICustomer));
  const _variant_t phone2 = Value(row, L"phone2");
  if (IsText(phone2, true)) {
    IAuctionImagesPtr phones = Child<IAuctionImages>(customer.GetInterfacePtr(), &ICustomer::GetPhones);
    VARIANT_BOOL contains = VARIANT_FALSE;
    Check(phones->Contains(phone2, &contains), phones, __uuidof(IAuctionImages));
    if (contains == VARIANT_FALSE)
      Check(phones->Add(_variant_t(CutText(TextOf(phone2), 50).GetString())), phones, __uuidof(IAuctionImages));
  }
}

LONG SaveCustomer(CReceiveContext& context, const _RecordsetPtr& row, LONG serviceId, LONG customerId) {
  IFlgItemPtr item = CreateItem(__uuidof(HxCustomer));
  Face<IFlgData>(item);
  Face<IFlgDataSet>(item);
  Face<ICustomer>(item);
  IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
  if (customerId > 0) {
    // A stored customer that cannot be read or edited now is left as it is.
    if (FAILED(item->Load(factory, _variant_t(customerId))) || FAILED(item->BeginEdit())) return 0;
  } else {
    Check(item->InitNew(factory, _variant_t()), item, __uuidof(IFlgItem));
  }
  WriteCustomerFields(item, row, serviceId);
  CheckAndSave(item);
  _variant_t id;
  IFlgDataPtr data = Face<IFlgData>(item);
  Check(data->GetId(&id), data, __uuidof(IFlgData));
  const LONG saved = LongOr(id, 0);
  if (saved > 0) context.CountReceived(CHxLog::jsReceiveCustomers);
  return saved;
}

void StoreReceivedCustomer(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
  const LONG serviceId = LongOr(Value(accountSite, L"service_id"), 0);
  const LONG siteId = LongOr(Value(accountSite, L"site_id"), 0);
  if (context.IsTerminated()) return;
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveCustomers);
  CStoreStep step;
  try {
    const CRecordReads reads;
    CLookup lookup;
    const CString nick = TextOf(Value(row, L"user_name"));
    const LONG userId = LongOr(Value(row, L"user_id"), 0);
    step.Set(kStrReadCustomer, nick, userId);
    CString sql;
    sql.Format(L"SELECT cs_Id FROM cs__Customer WHERE cs_ExtServiceId=%ld AND cs_SvcProvId=%ld", userId, serviceId);
    _RecordsetPtr found = lookup.Open(sql);
    CString note;
    if (lookup.Empty()) {
      sql.Format(L"SELECT cs_Id, cs_Name + ' ' + cs_Surname As Name FROM cs__Customer WHERE cs_Nick='%ls' AND "
                 L"cs_SvcProvId=%ld",
                 hxSqlQuote(nick).GetString(), serviceId);
      found = lookup.Open(sql);
      // A customer without a surname has no Name (NULL): its previous data then read as empty.
      if (!lookup.Empty())
        note = Formatted(kStrManualCustomer, nick.GetString(), TextOf(Value(found, L"Name")).GetString());
    }
    const _variant_t countryId = Value(row, L"country_id");
    if (!IsText(Value(row, L"country_name"), true) && ToLong(countryId)) {
      CLookup countries;
      sql.Format(L"SELECT sc_Name FROM st_Country INNER JOIN st__Site ON sc_SiteId=st_SiteId AND "
                 L"sc_SvcProvId=st_SvcProvId WHERE sc_Ident=%ld AND sc_SvcProvId=%ld AND st_Id=%ld",
                 *ToLong(countryId), serviceId, siteId);
      _RecordsetPtr country = countries.Open(sql);
      if (!countries.Empty()) Put(row, L"country_name", Value(country, L"sc_Name"));
    }
    step.Set(kStrSaveCustomer, nick, userId);
    if (lookup.Empty()) {
      Put(row, L"customer_id", _variant_t(SaveCustomer(context, row, serviceId, 0)));
    } else {
      const LONG customerId = LongOr(Value(found, L"cs_Id"), 0);
      Put(row, L"customer_id", _variant_t(customerId));
      SaveCustomer(context, row, serviceId, customerId);
      if (!note.IsEmpty() && log.Started()) log.Warning(note);
    }
  } catch (const _com_error& e) {
    context.ReportError(e, step.Text(), log);
  }
}

// ---------------------------------------------------------------------------------------------
// Transactions

namespace {

// A received purchase: the auction number, the buyer and the provider of the account-site row.
struct Purchase {
  CString number;
  CString buyer;
  LONG userId = 0;
  LONG serviceId = 0;
  // The step of the store's table about this purchase (number, buyer, buyer's id).
  void Say(CStoreStep& step, UINT id) const { step.Set(id, number, buyer, userId); }
  // A text of the store's table about this purchase.
  CString Said(UINT id) const { return Formatted(id, number.GetString(), buyer.GetString(), userId); }
};

// What a purchase stores: its auction (when the provider's lookup gives it) and the quantity,
// the rest of what the buyer bought on the auction before when it is a remainder.
struct PurchaseToStore {
  std::optional<LONG> auctionId;
  LONG auctionOwner = 0;
  LONG accountId = 0;
  LONG accountSiteId = 0;
  LONG productId = 0;
  LONG quantity = 0;
  bool remainder = false;
};

// Finds the purchase's auction and the buyer's earlier purchases on it; nothing when the
// purchase is stored already or the auction is unknown (then logged).
std::optional<PurchaseToStore> AnalysePurchase(const Purchase& purchase, const _RecordsetPtr& row, CHxLog& log,
                                               CStoreStep& step) {
  purchase.Say(step, kStrFindTransaction);
  CString sql;
  sql.Format(L"SELECT cs_Id, tr_Id, au_Id, au_UserId, au_RegId, au_RegSiteId, tr_OrigQuantity, au_ProductId FROM "
             L"(cs__Customer INNER JOIN tr__Transaction ON cs_Id=tr_CustomerId AND cs_ExtServiceId=%ld) RIGHT JOIN "
             L"au__Auction ON tr_AuctionId=au_Id WHERE au_Number='%ls' AND au_SvcProvId=%ld ",
             purchase.userId, hxSqlQuote(purchase.number).GetString(), purchase.serviceId);
  CLookup lookup;
  _RecordsetPtr found = lookup.Open(sql);
  purchase.Say(step, kStrAnalyseTransaction);
  PurchaseToStore store;
  store.quantity = Converted(Value(row, L"quantity"), VT_I4).lVal;
  if (lookup.Empty()) {
    log.Error(purchase.Said(kStrNoAuction));
    return std::nullopt;
  }
  found->MoveFirst();
  store.auctionId = AsLong(Value(found, L"au_Id"));
  const std::optional<LONG> earlier = AsLong(Value(found, L"tr_Id"));
  store.auctionOwner = LongOr(Value(found, L"au_UserId"), 0);
  store.accountId = LongOr(Value(found, L"au_RegId"), 0);
  store.accountSiteId = LongOr(Value(found, L"au_RegSiteId"), 0);
  store.productId = LongOr(Value(found, L"au_ProductId"), 0);
  if (!earlier) return store;
  // What the buyer bought before on the auction leaves a remainder, unless the site names the
  // purchase (then it is the one stored already).
  if (AsLong(Value(row, L"id"))) return std::nullopt;
  for (; !found->GetadoEOF(); found->MoveNext()) store.quantity -= LongOr(Value(found, L"tr_OrigQuantity"), 0);
  store.remainder = true;
  if (store.quantity <= 0) return std::nullopt;
  return store;
}

// The id of the provider's customer with the buyer's service id; 0 when none is stored.
LONG StoredBuyer(const Purchase& purchase) {
  CString sql;
  sql.Format(L"SELECT cs_Id FROM cs__Customer WHERE cs_SvcProvId=%ld AND cs_ExtServiceId=%ld", purchase.serviceId,
             purchase.userId);
  CLookup customers;
  _RecordsetPtr customer = customers.Open(sql);
  return customers.Empty() ? 0 : LongOr(Value(customer, L"cs_Id"), 0);
}

// The delivery options of the purchase's auction, when its object can be created, loaded and
// asked; null otherwise.
IUnknownPtr DeliveryOptions(CReceiveContext& context, const Purchase& purchase, LONG auctionId) {
  IUnknownPtr options;
  try {
    IFlgItemPtr auctionItem = CreateItem(context.AuctionClassOf(purchase.serviceId));
    if (SUCCEEDED(auctionItem->Load(CHxInstance::GetDataFactory(), _variant_t(auctionId)))) {
      IHxAuctionPtr auction = Face<IAuction>(auctionItem);
      IUnknown* raw = nullptr;
      if (SUCCEEDED(auction->GetDeliveryOptions(&raw))) options.Attach(raw);
    }
  } catch (const _com_error&) {
    options = nullptr;
  }
  return options;
}

// Writes the purchase into a new transaction of the stored buyer: its account, currency, one
// position, its name and the auction's delivery options.
void WriteTransaction(CReceiveContext& context, const IHxTransactionPtr& transaction, const Purchase& purchase,
                      const PurchaseToStore& store, LONG customerId, const _RecordsetPtr& row) {
  auto call = [&](HRESULT hr) { Check(hr, transaction, __uuidof(ITransaction)); };
  const CString currency = TextOf(Value(row, L"currency"));
  call(transaction->PutCustomerId(customerId));
  call(transaction->PutKind(2, 1));
  call(transaction->PutRegId(store.accountId));
  call(transaction->PutRegSiteId(store.accountSiteId));
  call(transaction->PutCurrency(Bstr(currency)));
  call(transaction->PutValueCurrency(Bstr(currency)));
  const CY price = Converted(Value(row, L"price"), VT_CY).cyVal;
  const CString itemName = TextOf(Value(row, L"item_name"));
  if (store.productId > 0) call(transaction->AddProductPosition(store.productId, store.quantity, price));
  else call(transaction->AddNamedPosition(Bstr(itemName), store.quantity, price));
  call(transaction->PutOrigQuantity(store.quantity));
  call(transaction->PutOriginal(store.remainder ? 0 : 1));
  call(transaction->PutRemainder(store.remainder ? VARIANT_TRUE : VARIANT_FALSE));
  CString name;
  name.Format(L"%ls (%ls)", itemName.GetString(), purchase.number.GetString());
  call(transaction->PutName(Bstr(name)));
  if (store.auctionId)
    if (IUnknownPtr options = DeliveryOptions(context, purchase, *store.auctionId)) call(transaction->PutDeliveryOptions(options));
}

// Checks and saves the transaction; a buyer without address data leaves only collection in
// person (a warning).
void CheckAndSaveTransaction(const IFlgItemPtr& item, const IHxTransactionPtr& transaction, const Purchase& purchase,
                             CHxLog& log) {
  HRESULT checked = item->Check();
  if (checked == HX_E_DELIVERY_NEEDS_ADDRESS) {
    Check(transaction->PutDeliveryMethod(_variant_t()), transaction, __uuidof(ITransaction));
    checked = item->Check();
    log.Warning(purchase.Said(kStrPickupOnly));
  }
  if (FAILED(checked)) RaiseCheckFailure(checked, item);
  Check(item->Save(), item, __uuidof(IFlgItem));
}

}  // namespace

void StoreReceivedTransaction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
  if (context.IsTerminated()) return;
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveTransactions);
  CStoreStep step;
  try {
    const CRecordReads reads;
    const Purchase purchase{TextOf(Value(row, L"item_number")), TextOf(Value(row, L"user_name")),
                            LongOr(Value(row, L"user_id"), 0), LongOr(Value(accountSite, L"service_id"), 0)};
    const std::optional<PurchaseToStore> store = AnalysePurchase(purchase, row, log, step);
    if (!store) return;

    purchase.Say(step, kStrAddTransaction);
    IFlgItemPtr item = CreateItem(__uuidof(HxTransaction));
    Check(item->InitNew(CHxInstance::GetDataFactory(), _variant_t()), item, __uuidof(IFlgItem));
    IHxTransactionPtr transaction = Face<ITransaction>(item);
    auto call = [&](HRESULT hr) { Check(hr, transaction, __uuidof(ITransaction)); };
    call(transaction->PutDate(Value(row, L"date")));
    if (store->auctionId) {
      call(transaction->PutAuctionId(*store->auctionId));
      call(transaction->PutOriginal(-1));
      call(transaction->PutAuctionOwnerId(store->auctionOwner));
    }
    const LONG customerId = StoredBuyer(purchase);
    if (customerId < 1) {
      CString text;
      text.Format(L"Nie udało się zapisać transakcji do aukcji nr %ls.\r\nNie istnieje klient %ls (%ld)",
                  purchase.number.GetString(), purchase.buyer.GetString(), purchase.userId);
      log.Error(text);
      return;
    }
    WriteTransaction(context, transaction, purchase, *store, customerId, row);
    CheckAndSaveTransaction(item, transaction, purchase, log);
    context.CountReceived(CHxLog::jsReceiveTransactions);
  } catch (const _com_error& e) {
    context.ReportError(e, step.Text(), log);
  }
}

// ---------------------------------------------------------------------------------------------
// Comments

void StoreReceivedComment(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
  const LONG serviceId = LongOr(Value(accountSite, L"service_id"), 0);
  CLookup lookup;
  if (row->GetadoEOF() || row->GetBOF() || context.IsTerminated()) return;
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveComments);
  CStoreStep step;
  try {
    const CRecordReads reads;
    const _variant_t numberValue = Value(row, L"auction_number");
    const CString number = TextOf(numberValue);
    step.Set(kStrSaveComment, IsText(numberValue) ? number : CHxResString(kStrUnknownNumber).Text());
    const std::optional<LONG> type = AsLong(Value(row, L"type"));
    // The buyer is the author of a comment received (0) and the addressee of one given (1); a
    // comment of another type names no buyer.
    LONGLONG buyerId = 0;
    const wchar_t* buyerField = type == 0 ? L"from_user_id" : type == 1 ? L"to_user_id" : nullptr;
    if (buyerField) {
      const _variant_t buyer = Value(row, buyerField);
      if (!IsNull(buyer)) buyerId = Converted(buyer, VT_I8).llVal;
    }
    CString sql;
    sql.Format(L"SELECT tr_Id, au_Id FROM (cs__Customer INNER JOIN tr__Transaction ON cs_Id=tr_CustomerId AND "
               L"cs_ExtServiceId=%I64d) RIGHT JOIN au__Auction ON tr_AuctionId=au_Id WHERE au_Number='%ls' AND "
               L"au_SvcProvId=%ld ",
               buyerId, hxSqlQuote(number).GetString(), serviceId);
    _RecordsetPtr found = lookup.Open(sql);
    if (lookup.Empty()) return;
    found->MoveFirst();
    const std::optional<LONG> transactionId = AsLong(Value(found, L"tr_Id"));
    if (!transactionId) {
      if (log.Started()) {
        CString text;
        text.Format(CHxResString(kStrNoTransaction).Text().GetString(), number.GetString(),
                    TextOf(Value(row, L"user_name")).GetString(), buyerId);
        log.Error(text);
      }
      return;
    }
    IFlgItemPtr item = CreateItem(__uuidof(HxTransactionComment));
    Check(item->Load(CHxInstance::GetDataFactory(), _variant_t(*transactionId)), item, __uuidof(IFlgItem));
    Check(item->BeginEdit(), item, __uuidof(IFlgItem));
    const bool isNew = DataSetOf(item, 1)->GetRecordCount() == 0;
    ITransactionCommentPtr comment = Face<ITransactionComment>(item);
    auto call = [&](HRESULT hr) { Check(hr, comment, __uuidof(ITransactionComment)); };
    if (type == 0) {
      call(comment->PutReceivedComment(_bstr_t(Converted(Value(row, L"comment"), VT_BSTR))));
      call(comment->PutReceivedDate(Converted(Value(row, L"date"), VT_DATE).date));
      call(comment->PutReceivedScore(Converted(Value(row, L"score"), VT_I4).lVal));
    } else if (type == 1) {
      call(comment->PutSentComment(_bstr_t(Converted(Value(row, L"comment"), VT_BSTR))));
      call(comment->PutSentDate(Converted(Value(row, L"date"), VT_DATE).date));
      call(comment->PutSentScore(Converted(Value(row, L"score"), VT_I4).lVal));
      call(comment->PutSentExternalId(Value(row, L"id")));
    }
    ICommentExtra* extra = nullptr;
    if (SUCCEEDED(item->QueryInterface(__uuidof(ICommentExtra), reinterpret_cast<void**>(&extra))) && extra) {
      IAuctionObjectPreparePtr held(extra, false);
      Check(extra->PutExtra(nullptr), extra, __uuidof(ICommentExtra));
    }
    CheckAndSave(item);
    if (isNew) context.CountReceived(CHxLog::jsReceiveComments);
  } catch (const _com_error& e) {
    context.ReportError(e, step.Text(), log);
  }
}

}  // namespace lotrix
