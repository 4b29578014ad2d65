// The stores of received customers, transactions and comments.
#include "auctions/sync/receivestores.h"

#include "auctions/flgobject.h"
#include "auctions/sync/storetools.h"
#include "shared/satools.h"
#include "shared/sqltools.h"

namespace lotrix {

using namespace stores;

namespace stores {

void RaiseCheckFailure(HRESULT hr, const IFlgItemPtr& item) {
  LONG count = 0;
  CString messages;
  if (SUCCEEDED(item->GetErrorCount(&count))) {
    for (LONG i = 0; i < count; ++i) {
      BSTR text = nullptr;
      if (SUCCEEDED(item->GetErrorText(i, &text)) && text && *text) {
        if (!messages.IsEmpty()) messages += L"\r\n";
        messages += text;
      }
      SysFreeString(text);
    }
  }
  if (messages.IsEmpty()) _com_issue_errorex(hr, item, __uuidof(IFlgItem));
  platform::com::Raise(hr, messages, L"Lotrix", __uuidof(IFlgItem));
}

void CheckAndSave(const IFlgItemPtr& item) {
  const HRESULT checked = item->Check();
  if (FAILED(checked)) RaiseCheckFailure(checked, item);
  Check(item->Save(), item, __uuidof(IFlgItem));
}

IFlgItemPtr CreateItem(REFCLSID clsid) {
  IFlgItemPtr item(FlgCreateRunning(clsid));
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
  CString step;
  try {
    CLookup lookup;
    const CString nick = TextOf(Value(row, L"user_name"));
    const LONG userId = LongOr(Value(row, L"user_id"), 0);
    step = Formatted(kStrReadCustomer, nick.GetString(), userId);
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
    step = Formatted(kStrSaveCustomer, nick.GetString(), userId);
    if (lookup.Empty()) {
      Put(row, L"customer_id", _variant_t(SaveCustomer(context, row, serviceId, 0)));
    } else {
      const LONG customerId = LongOr(Value(found, L"cs_Id"), 0);
      Put(row, L"customer_id", _variant_t(customerId));
      SaveCustomer(context, row, serviceId, customerId);
      if (!note.IsEmpty() && log.Started()) log.Warning(note);
    }
  } catch (const _com_error& e) {
    context.ReportError(e, step, log);
  }
}

// ---------------------------------------------------------------------------------------------
// Transactions

void StoreReceivedTransaction(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
  if (context.IsTerminated()) return;
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveTransactions);
  CString step;
  try {
    const LONG serviceId = LongOr(Value(accountSite, L"service_id"), 0);
    CLookup lookup;
    const CString number = TextOf(Value(row, L"item_number"));
    const CString buyer = TextOf(Value(row, L"user_name"));
    const LONG userId = LongOr(Value(row, L"user_id"), 0);
    step = Formatted(kStrFindTransaction, number.GetString(), buyer.GetString(), userId);
    CString sql;
    sql.Format(L"SELECT cs_Id, tr_Id, au_Id, au_UserId, au_RegId, au_RegSiteId, tr_OrigQuantity, au_ProductId FROM "
               L"(cs__Customer INNER JOIN tr__Transaction ON cs_Id=tr_CustomerId AND cs_ExtServiceId=%ld) RIGHT JOIN "
               L"au__Auction ON tr_AuctionId=au_Id WHERE au_Number='%ls' AND au_SvcProvId=%ld ",
               userId, hxSqlQuote(number).GetString(), serviceId);
    _RecordsetPtr found = lookup.Open(sql);
    step = Formatted(kStrAnalyseTransaction, number.GetString(), buyer.GetString(), userId);
    LONG quantity = Converted(Value(row, L"quantity"), VT_I4).lVal;
    if (lookup.Empty()) {
      log.Error(Formatted(kStrNoAuction, number.GetString(), buyer.GetString(), userId));
      return;
    }
    found->MoveFirst();
    const std::optional<LONG> auctionId = AsLong(Value(found, L"au_Id"));
    const std::optional<LONG> earlier = AsLong(Value(found, L"tr_Id"));
    const LONG auctionOwner = LongOr(Value(found, L"au_UserId"), 0);
    const LONG accountId = LongOr(Value(found, L"au_RegId"), 0);
    const LONG accountSiteId = LongOr(Value(found, L"au_RegSiteId"), 0);
    const LONG productId = LongOr(Value(found, L"au_ProductId"), 0);
    // What the buyer bought before on the auction leaves a remainder, unless the site names
    // the purchase (then it is the one stored already).
    bool remainder = false;
    bool counts = false;
    if (earlier && !AsLong(Value(row, L"id"))) {
      for (; !found->GetadoEOF(); found->MoveNext()) quantity -= LongOr(Value(found, L"tr_OrigQuantity"), 0);
      found->MoveFirst();
      remainder = true;
      counts = quantity > 0;
    }
    if (earlier && !counts) return;

    step = Formatted(kStrAddTransaction, number.GetString(), buyer.GetString(), userId);
    IFlgItemPtr item = CreateItem(__uuidof(HxTransaction));
    IFlgDataFactoryPtr factory = CHxInstance::GetDataFactory();
    Check(item->InitNew(factory, _variant_t()), item, __uuidof(IFlgItem));
    IHxTransactionPtr transaction = Face<ITransaction>(item);
    auto call = [&](HRESULT hr) { Check(hr, transaction, __uuidof(ITransaction)); };
    call(transaction->PutDate(Value(row, L"date")));
    if (auctionId) {
      call(transaction->PutAuctionId(*auctionId));
      call(transaction->PutOriginal(-1));
      call(transaction->PutAuctionOwnerId(auctionOwner));
    }
    CLookup customers;
    sql.Format(L"SELECT cs_Id FROM cs__Customer WHERE cs_SvcProvId=%ld AND cs_ExtServiceId=%ld", serviceId, userId);
    _RecordsetPtr customer = customers.Open(sql);
    const LONG customerId = customers.Empty() ? 0 : LongOr(Value(customer, L"cs_Id"), 0);
    if (customerId < 1) {
      CString text;
      text.Format(L"Nie udało się zapisać transakcji do aukcji nr %ls.\r\nNie istnieje klient %ls (%ld)",
                  number.GetString(), buyer.GetString(), userId);
      log.Error(text);
      return;
    }
    const CString currency = TextOf(Value(row, L"currency"));
    call(transaction->PutCustomerId(customerId));
    call(transaction->PutKind(2, 1));
    call(transaction->PutRegId(accountId));
    call(transaction->PutRegSiteId(accountSiteId));
    call(transaction->PutCurrency(Bstr(currency)));
    call(transaction->PutValueCurrency(Bstr(currency)));
    const CY price = Converted(Value(row, L"price"), VT_CY).cyVal;
    const CString itemName = TextOf(Value(row, L"item_name"));
    if (productId > 0) call(transaction->AddProductPosition(productId, quantity, price));
    else call(transaction->AddNamedPosition(Bstr(itemName), quantity, price));
    call(transaction->PutOrigQuantity(quantity));
    call(transaction->PutOriginal(remainder ? 0 : 1));
    call(transaction->PutRemainder(remainder ? VARIANT_TRUE : VARIANT_FALSE));
    CString name;
    name.Format(L"%ls (%ls)", itemName.GetString(), number.GetString());
    call(transaction->PutName(Bstr(name)));

    // The auction's delivery options, when its object can be created, loaded and asked.
    if (auctionId) {
      IUnknownPtr options;
      try {
        IFlgItemPtr auctionItem = CreateItem(CHxSaTools::GetAuctionClsid(serviceId));
        if (SUCCEEDED(auctionItem->Load(factory, _variant_t(*auctionId)))) {
          IHxAuctionPtr auction = Face<IAuction>(auctionItem);
          IUnknown* raw = nullptr;
          if (SUCCEEDED(auction->GetDeliveryOptions(&raw))) options.Attach(raw);
        }
      } catch (const _com_error&) {
        options = nullptr;
      }
      if (options) call(transaction->PutDeliveryOptions(options));
    }

    HRESULT checked = item->Check();
    if (checked == HX_E_DELIVERY_NEEDS_ADDRESS) {
      call(transaction->PutDeliveryMethod(_variant_t()));
      checked = item->Check();
      log.Warning(Formatted(kStrPickupOnly, number.GetString(), buyer.GetString(), userId));
    }
    if (FAILED(checked)) RaiseCheckFailure(checked, item);
    Check(item->Save(), item, __uuidof(IFlgItem));
    context.CountReceived(CHxLog::jsReceiveTransactions);
  } catch (const _com_error& e) {
    context.ReportError(e, step, log);
  }
}

// ---------------------------------------------------------------------------------------------
// Comments

void StoreReceivedComment(CReceiveContext& context, const _RecordsetPtr& row, const _RecordsetPtr& accountSite) {
  const LONG serviceId = LongOr(Value(accountSite, L"service_id"), 0);
  CLookup lookup;
  if (row->GetadoEOF() || row->GetBOF() || context.IsTerminated()) return;
  CHxLog& log = context.ReceiveLog(CHxLog::jsReceiveComments);
  CString step;
  try {
    const _variant_t numberValue = Value(row, L"auction_number");
    const CString number = TextOf(numberValue);
    step = Formatted(kStrSaveComment, IsText(numberValue) ? number.GetString() : CHxResString(kStrUnknownNumber).Text().GetString());
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
    context.ReportError(e, step, log);
  }
}

}  // namespace lotrix
