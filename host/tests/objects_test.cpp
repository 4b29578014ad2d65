// The host's business objects that the seller-zone jobs load by class id, and the registration
// lookup and connection settings that the connector reads.
#include "testing/support/test_database.h"
#include "host/objects.h"
#include "host/tests/host_fixture.h"
#include "platform/http/wininet.h"
#include "shared/objtools.h"

namespace {

class Objects : public HostFixture {
 protected:
  void Exec(const wchar_t* sql) { host->Connection()->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords); }
  template <class I>
  I* Face(const IFlgItemPtr& item, _com_ptr_t<I>& holder) {
    holder = item;
    EXPECT_TRUE(holder);
    return holder.GetInterfacePtr();
  }
  // The text an out argument received (read after the call, through the reference).
  std::wstring Bstr(HRESULT hr, BSTR& text) {
    EXPECT_EQ(hr, S_OK);
    std::wstring out = text ? text : L"";
    SysFreeString(text);
    text = nullptr;
    return out;
  }
};

using IHxTransactionPtrT = _com_ptr_t<IHxTransaction>;

TEST_F(Objects, TransactionSlotsWorkOnTheColumnsTheJobsRead) {
  AddAccounts({5});
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_Name, tr_CustomerId, tr_AuctionId, tr_RegId, tr_Payment, tr_Paid, "
       L"tr_Complete, tr_Currency, tr_ValueCurrency, tr_CreationDate, tr_AddressLocked) VALUES (7, 'Kubek (1000-1)', 3, "
       L"11, 5, 123.45, 1, 2, 'PLN', 'EUR', '2024-03-31 03:15:00', 1)");
  // Loaded read-only, the transaction still saves.
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), 7, CHxObjTools::omReadOnly);
  IHxTransactionPtr t(item);
  ASSERT_TRUE(t);
  LONG value = 0;
  ASSERT_EQ(t->GetCustomerId(&value), S_OK);
  EXPECT_EQ(value, 3);
  ASSERT_EQ(t->GetAccountId(&value), S_OK);
  EXPECT_EQ(value, 5);
  ASSERT_EQ(t->GetCompletionState(&value), S_OK);
  EXPECT_EQ(value, 2);
  CY payment{};
  ASSERT_EQ(t->GetPayment(&payment), S_OK);
  EXPECT_EQ(payment.int64, 1234500);
  VARIANT_BOOL flag = VARIANT_FALSE;
  ASSERT_EQ(t->GetPaid(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  ASSERT_EQ(t->GetAddressLocked(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  ASSERT_EQ(t->GetIsGroup(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  BSTR text = nullptr;
  EXPECT_EQ(Bstr(t->GetBaseCurrency(&text), text), L"PLN");
  EXPECT_EQ(Bstr(t->GetPaymentCurrency(&text), text), L"EUR");
  EXPECT_EQ(Bstr(t->GetDisplayText(&text), text), L"Kubek (1000-1)");
  _variant_t v;
  ASSERT_EQ(t->GetAuctionLink(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 11);
  ASSERT_EQ(t->GetStatusPageId(&v), S_OK);
  EXPECT_EQ(v.vt, VT_NULL);
  ASSERT_EQ(t->GetBuyerDataAcknowledged(&v), S_OK);
  EXPECT_EQ(v.vt, VT_NULL);
  // Without a purchase date the buy date is the creation date, never 0.
  DATE bought = 0;
  ASSERT_EQ(t->GetBuyDate(&bought), S_OK);
  EXPECT_EQ(static_cast<const wchar_t*>(_bstr_t(_variant_t(bought, VT_DATE))), std::wstring(L"2024-03-31 03:15:00"));

  _variant_t page(LONG{4711});
  ASSERT_EQ(t->PutStatusPageId(page), S_OK);
  ASSERT_EQ(t->PutStatusPageAddress(_bstr_t(L"s/4711-1000")), S_OK);
  ASSERT_EQ(t->PutStatusDataModified(VARIANT_TRUE), S_OK);
  _variant_t trusted;
  trusted.vt = VT_I2;
  trusted.iVal = -1;
  ASSERT_EQ(t->PutBuyerDataTrusted(trusted), S_OK);
  ASSERT_EQ(t->PutBuyerDataAcknowledged(_variant_t(false)), S_OK);
  ASSERT_EQ(t->PutNotes(_variant_t(L"Proszę o fakturę")), S_OK);
  _variant_t entered;
  entered.vt = VT_DATE;
  entered.date = 45592.1;  // 2024-10-27 02:24
  ASSERT_EQ(t->PutBuyerEntryDate(entered), S_OK);
  ASSERT_EQ(t->PutStatusReceiveState(3), S_OK);
  ASSERT_EQ(t->PutStatusSendState(4), S_OK);
  EXPECT_EQ(t->CreateBuyerMessage(), S_FALSE);
  CHxObjTools::Save(item);

  _ConnectionPtr cn = host->Connection();
  EXPECT_EQ(Long(cn, L"SELECT tr_StatusPageId FROM tr__Transaction WHERE tr_Id = 7"), 4711);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_Id = 7 AND tr_StatusDataModified = 1 AND "
                     L"tr_StatusBuyerDataTrusted = -1 AND tr_StatusBuyerDataAcknowledged = 0 AND "
                     L"tr_StatusNotes = 'Proszę o fakturę' AND tr_StatusPageAddress = 's/4711-1000' AND "
                     L"tr_StatusReceiveState = 3 AND tr_StatusSendState = 4 AND "
                     L"tr_StatusBuyerEntryDate > '20241027' AND tr_LastModified IS NOT NULL"),
            1);
  // A living transaction's page is its own; only a deleted one leaves it to be closed.
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus"), 0);
  IHxTransactionPtr again(CHxObjTools::Fetch(__uuidof(HxTransaction), 7, CHxObjTools::omEdit));
  ASSERT_EQ(again->GetBuyerDataTrusted(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I2);
  EXPECT_EQ(v.iVal, -1);
  ASSERT_EQ(again->GetBuyerDataAcknowledged(&v), S_OK);
  EXPECT_EQ(v.vt, VT_BOOL);
  ASSERT_EQ(again->ClearStatusPageInfo(), S_OK);
  CHxObjTools::Save(IFlgItemPtr(again));
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_Id = 7 AND tr_StatusPageId IS NULL AND "
                     L"tr_StatusPageAddress IS NULL AND tr_StatusBuyerEntryDate IS NULL"),
            1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransId = 7"), 0);
}

TEST_F(Objects, ADeletedTransactionLeavesItsPageToBeClosedInTheSameTransaction) {
  AddAccounts({5});
  _ConnectionPtr cn = host->Connection();
  cn->Execute(_bstr_t(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_StatusPageId) VALUES (7, 5, 4711), "
                      L"(8, 5, NULL), (9, NULL, 4712)"),
              nullptr, kCmdTextNoRecords);
  CHxObjTools::Delete(__uuidof(HxTransaction), 7);
  CHxObjTools::Delete(__uuidof(HxTransaction), 8);
  CHxObjTools::Delete(__uuidof(HxTransaction), 9);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction"), 0);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransId = 7 AND ts_PageId = 4711 AND "
                     L"ts_TransRegId = 5 AND ts_ClosePage = 1"),
            1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransId = 9 AND ts_TransRegId IS NULL"), 1);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus"), 2);

  // A delete that fails takes its page row back with it.
  cn->Execute(_bstr_t(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_StatusPageId) VALUES (10, 5, 4713)"), nullptr,
              kCmdTextNoRecords);
  for (const std::wstring& sql : testdb::RefusingTrigger(
           L"CREATE TRIGGER test_KeepTen BEFORE DELETE ON tr__Transaction FOR EACH ROW WHEN OLD.tr_Id = 10 "
           L"BEGIN SELECT RAISE(ABORT, 'odmowa'); END"))
    Exec(sql.c_str());
  EXPECT_THROW(CHxObjTools::Delete(__uuidof(HxTransaction), 10), _com_error);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr_TransStatus WHERE ts_TransId = 10"), 0);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM tr__Transaction WHERE tr_Id = 10"), 1);
}

TEST_F(Objects, TheAutomaticMessageGoesToTheOutboxWhenTheHostSendsThem) {
  AddAccounts({5});
  _ConnectionPtr cn = host->Connection();
  cn->Execute(_bstr_t(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_CustomerId, tr_StatusPageAddress) VALUES "
                      L"(7, 5, 3, 's/1-O''Brien')"),
              nullptr, kCmdTextNoRecords);
  IHxTransactionPtr t(CHxObjTools::Fetch(__uuidof(HxTransaction), 7, CHxObjTools::omEdit));
  EXPECT_EQ(t->CreateBuyerMessage(), S_FALSE);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_MessageOutbox"), 0);
  ASSERT_EQ(host->Instance()->PutSetting(_bstr_t(host::kMailSettingSection), _bstr_t(host::kAutomaticMessagesKey),
                                         _variant_t(L"1")),
            S_OK);
  EXPECT_EQ(t->CreateBuyerMessage(), S_OK);
  EXPECT_EQ(Long(cn, L"SELECT COUNT(*) FROM kd_MessageOutbox WHERE mo_TransId = 7 AND mo_CustomerId = 3 AND "
                     L"mo_PageAddress = 's/1-O''Brien' AND mo_Created IS NOT NULL"),
            1);
}

TEST_F(Objects, ANewTransactionGetsItsDatesAndAddressesAndTheBuyDateNeedsOne) {
  AddAccounts({5});
  IFlgItemPtr item = CHxObjTools::New(__uuidof(HxTransaction));
  IFlgDataSetPtr data(item);
  IUnknown* raw = nullptr;
  ASSERT_EQ(data->GetDataSet(0, &raw), S_OK);
  _RecordsetPtr row(raw);
  raw->Release();
  row->GetFields()->GetItem(_variant_t(L"tr_RegId"))->PutValue(_variant_t(LONG{5}));
  IHxTransactionPtr t(item);
  DATE bought = 1;
  EXPECT_EQ(t->GetBuyDate(&bought), static_cast<HRESULT>(0x80040F27u));
  EXPECT_EQ(bought, 0);
  for (LONG kind : {3L, 2L}) {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(t->GetAddress(kind, &unknown), S_OK);
    IHxAddressPtr address(unknown);
    unknown->Release();
    const std::wstring prefix = kind == 3 ? L"Firma " : L"Dom ";
    ASSERT_EQ(address->PutName(_bstr_t((prefix + L"Łukasz").c_str())), S_OK);
    ASSERT_EQ(address->PutCity(_bstr_t(L"Łódź")), S_OK);
    ASSERT_EQ(address->PutZipCode(_bstr_t(L"90-001")), S_OK);
    ASSERT_EQ(address->PutTaxNumber(_bstr_t(L"1234567890")), S_OK);
  }
  IUnknown* unknown = nullptr;
  EXPECT_EQ(t->GetAddress(1, &unknown), E_INVALIDARG);
  CHxObjTools::Save(item);
  const LONG id = CHxObjTools::ObjectId(IFlgDataPtr(item));
  ASSERT_GT(id, 0);

  IHxTransactionPtr loaded(CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omReadOnly));
  ASSERT_EQ(loaded->GetBuyDate(&bought), S_OK);  // the creation date the save stamped
  EXPECT_GT(bought, 45000);
  ASSERT_EQ(loaded->GetAddress(3, &unknown), S_OK);
  IHxAddressPtr billing(unknown);
  unknown->Release();
  BSTR text = nullptr;
  EXPECT_EQ(Bstr(billing->GetName(&text), text), L"Firma Łukasz");
  EXPECT_EQ(Bstr(billing->GetTaxNumber(&text), text), L"1234567890");
  EXPECT_EQ(Bstr(billing->GetCompany(&text), text), L"");
  VARIANT_BOOL skip = VARIANT_TRUE;
  ASSERT_EQ(billing->GetSkipBilling(&skip), S_OK);
  EXPECT_EQ(skip, VARIANT_FALSE);
  EXPECT_EQ(Bstr(loaded->GetAddressText(&text), text), L"Dom Łukasz, 90-001 Łódź");
}

TEST_F(Objects, DocumentLinkAndPositions) {
  AddAccounts({5});
  Exec(L"INSERT INTO tr__Transaction (tr_Id, tr_RegId, tr_ErpDocumentKind) VALUES (8, 5, 4)");
  Exec(L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_Name, tp_Quantity, tp_Price) VALUES "
       L"(21, 8, 2, 'Drugi', 1, 9.99)");
  Exec(L"INSERT INTO tr_Position (tp_Id, tp_TransId, tp_Order, tp_ProductId, tp_Name, tp_Quantity, tp_Price) VALUES "
       L"(20, 8, 1, 77, 'Pierwszy', 2.5, 1234567.89)");
  IHxTransactionPtr t(CHxObjTools::Fetch(__uuidof(HxTransaction), 8, CHxObjTools::omReadOnly));
  IUnknown* unknown = nullptr;
  ASSERT_EQ(t->GetDocumentLink(&unknown), S_OK);
  IHxDocumentLinkPtr link(unknown);
  unknown->Release();
  _variant_t v;
  ASSERT_EQ(link->GetDocumentId(&v), S_OK);
  EXPECT_EQ(v.vt, VT_NULL);  // no document yet
  ASSERT_EQ(link->GetDocumentKind(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 4);

  ASSERT_EQ(t->GetPositions(&unknown), S_OK);
  IHxPositionCursorPtr positions(unknown);
  unknown->Release();
  std::vector<std::wstring> names;
  std::vector<LONGLONG> quantities, prices;
  VARIANT_BOOL eof = VARIANT_FALSE;
  for (positions->MoveFirst(); positions->IsEOF(&eof) == S_OK && eof == VARIANT_FALSE; positions->MoveNext()) {
    _variant_t key;
    ASSERT_EQ(positions->GetKey(&key), S_OK);
    BSTR name = nullptr;
    _variant_t extra1, extra2;
    CY quantity{}, price{};
    ASSERT_EQ(t->GetPositionData(key, 1, &name, &extra1, &extra2, &quantity, &price), S_OK);
    names.push_back(Bstr(S_OK, name));
    quantities.push_back(quantity.int64);
    prices.push_back(price.int64);
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Pierwszy", L"Drugi"}));
  EXPECT_EQ(quantities, (std::vector<LONGLONG>{25000, 10000}));
  EXPECT_EQ(prices, (std::vector<LONGLONG>{12345678900, 99900}));
  _variant_t key;
  EXPECT_EQ(positions->GetKey(&key), static_cast<HRESULT>(0x800A0BCDu));  // past the end
  BSTR name = nullptr;
  CY quantity{}, price{};
  EXPECT_EQ(t->GetPositionData(_variant_t(LONG{99}), 1, &name, nullptr, nullptr, &quantity, &price),
            static_cast<HRESULT>(0x800A0BCDu));
}

TEST_F(Objects, CustomerAuctionAndPackage) {
  Exec(L"INSERT INTO cs__Customer (cs_Id, cs_Name, cs_Nick, cs_ExtServiceId) VALUES (3, 'Anna Nowak', 'anka', 501)");
  Exec(L"INSERT INTO cs__Customer (cs_Id, cs_Nick, cs_ExtServiceId) VALUES (4, 'duzy', 8589934592)");
  Exec(L"INSERT INTO cs__Customer (cs_Id) VALUES (6)");
  Exec(L"INSERT INTO au__Auction (au_Id, au_Number, au_SvcProvId) VALUES (11, '1000-1', 2)");
  Exec(L"INSERT INTO pc__Package (pc_Id, pc_TransId, pc_Symbol, pc_TrackingLink, pc_Charge, pc_ChargeCurrency, "
       L"pc_StatusDataModified) VALUES (30, 7, 'PP-1', 'kurier.example/PP-1', 15.5, 'PLN', 1)");
  Exec(L"INSERT INTO pc__Package (pc_Id, pc_TransId) VALUES (31, 7)");
  Exec(L"INSERT INTO pc_PackageItem (pi_Id, pi_PackageId, pi_Order, pi_Name, pi_Quantity, pi_Price) VALUES "
       L"(1, 30, 2, 'Talerz', 3, 2.5), (2, 30, 1, 'Kubek', 2, 10)");

  BSTR text = nullptr;
  _variant_t v;
  IHxCustomerPtr anna(CHxObjTools::Fetch(__uuidof(HxCustomer), 3, CHxObjTools::omReadOnly));
  EXPECT_EQ(Bstr(anna->GetDisplayName(&text), text), L"Anna Nowak");
  ASSERT_EQ(anna->GetServiceUserId(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 501);
  IHxCustomerPtr big(CHxObjTools::Fetch(__uuidof(HxCustomer), 4, CHxObjTools::omReadOnly));
  EXPECT_EQ(Bstr(big->GetDisplayName(&text), text), L"duzy");
  ASSERT_EQ(big->GetServiceUserId(&v), S_OK);
  EXPECT_EQ(v.vt, VT_I8);  // too large for VT_I4
  EXPECT_EQ(v.llVal, 8589934592);
  IHxCustomerPtr nameless(CHxObjTools::Fetch(__uuidof(HxCustomer), 6, CHxObjTools::omReadOnly));
  EXPECT_EQ(Bstr(nameless->GetDisplayName(&text), text), L"Klient nr 6");
  ASSERT_EQ(nameless->GetServiceUserId(&v), S_OK);
  EXPECT_EQ(v.vt, VT_NULL);

  IHxAuctionPtr auction(CHxObjTools::Fetch(__uuidof(HxAuction), 11, CHxObjTools::omReadOnly));
  EXPECT_EQ(Bstr(auction->GetNumber(&text), text), L"1000-1");
  LONG service = 0;
  ASSERT_EQ(auction->GetServiceId(&service), S_OK);
  EXPECT_EQ(service, 2);

  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxPackage), 30, CHxObjTools::omEdit);
  IHxPackagePtr package(item);
  VARIANT_BOOL flag = VARIANT_FALSE;
  ASSERT_EQ(package->GetChargePresent(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  LONG count = 0;
  ASSERT_EQ(package->GetItemCount(&count), S_OK);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(Bstr(package->GetItemName(0, &text), text), L"Kubek");  // in their order
  LONG quantity = 0;
  ASSERT_EQ(package->GetItemQuantity(1, &quantity), S_OK);
  EXPECT_EQ(quantity, 3);
  CY price{};
  ASSERT_EQ(package->GetItemPrice(1, &price), S_OK);
  EXPECT_EQ(price.int64, 25000);
  EXPECT_EQ(package->GetItemName(2, &text), E_INVALIDARG);
  EXPECT_EQ(Bstr(package->GetTrackingLink(&text), text), L"kurier.example/PP-1");
  ASSERT_EQ(package->GetModified(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  ASSERT_EQ(package->PutModified(0), S_OK);
  ASSERT_EQ(package->Recompute(), S_OK);
  CHxObjTools::Save(item);
  EXPECT_EQ(Long(host->Connection(), L"SELECT COUNT(*) FROM pc__Package WHERE pc_Id = 30 AND pc_StatusDataModified = 0 "
                                     L"AND pc_Value = 27.5"),
            1);
  IHxPackagePtr empty(CHxObjTools::Fetch(__uuidof(HxPackage), 31, CHxObjTools::omReadOnly));
  ASSERT_EQ(empty->GetChargePresent(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  ASSERT_EQ(empty->GetSendDate(&v), S_OK);
  EXPECT_EQ(v.vt, VT_NULL);
}

TEST_F(Objects, RegistrationLookupAndConnectionSettings) {
  Exec(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_SvcUserId, reg_Username) VALUES (5, 4, 8000000001, 'jan')");
  Exec(L"INSERT INTO reg__Registration (reg_Id, reg_SvcProvId, reg_Username) VALUES (6, 1, 'ola')");
  Exec(L"INSERT INTO kd_SellerZoneAccount (sz_RegId, sz_RegistrationId) VALUES (5, 'REG-5')");
  IHxRegistrationSourcePtr source(host->Instance());
  ASSERT_TRUE(source);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(source->GetRegistrationTable(&unknown), S_OK);
  IHxRegistrationTablePtr table(unknown);
  unknown->Release();
  ASSERT_EQ(table->GetRecord(_variant_t(LONG{5}), &unknown), S_OK);
  FieldsPtr fields(unknown);
  unknown->Release();
  const _variant_t user = fields->GetItem(_variant_t(L"user_id"))->GetValue();
  EXPECT_EQ(user.vt, VT_I8);
  EXPECT_EQ(user.llVal, 8000000001);
  EXPECT_EQ(static_cast<LONG>(fields->GetItem(_variant_t(L"service_id"))->GetValue()), 4);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(_bstr_t(fields->GetItem(_variant_t(L"registration_id"))->GetValue()))),
            L"REG-5");
  ASSERT_EQ(table->GetRecord(_variant_t(LONG{6}), &unknown), S_OK);
  FieldsPtr without(unknown);
  unknown->Release();
  EXPECT_EQ(without->GetItem(_variant_t(L"registration_id"))->GetValue().vt, VT_NULL);
  EXPECT_EQ(table->GetRecord(_variant_t(LONG{99}), &unknown), E_INVALIDARG);
  EXPECT_EQ(unknown, nullptr);

  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxConnectionSettings), 1, CHxObjTools::omReadOnly);
  IHxConnectionSettingsPtr settings(item);
  VARIANT_BOOL system = VARIANT_FALSE;
  ASSERT_EQ(settings->GetUseSystemSettings(&system), S_OK);
  EXPECT_EQ(system, VARIANT_TRUE);  // the host's record 1 defers to the system at first
  Exec(L"UPDATE kd_ConnectionSettings SET cn_UseSystem = 0, cn_ProxyHost = 'proxy.example', cn_ProxyPort = 3128 "
       L"WHERE cn_Id = 1");
  settings = CHxObjTools::Fetch(__uuidof(HxConnectionSettings), 1, CHxObjTools::omReadOnly);
  ASSERT_EQ(settings->GetUseSystemSettings(&system), S_OK);
  EXPECT_EQ(system, VARIANT_FALSE);
  BSTR text = nullptr;
  EXPECT_EQ(Bstr(settings->GetProxyHost(&text), text), L"proxy.example");
  LONG port = 0;
  ASSERT_EQ(settings->GetProxyPort(&port), S_OK);
  EXPECT_EQ(port, 3128);
  EXPECT_EQ(Bstr(settings->GetProxyUser(&text), text), L"");
}

TEST_F(Objects, TheHostSetsTheSystemProxyFromItsSetting) {
  host->Instance()->PutSetting(_bstr_t(host::kProxySettingSection), _bstr_t(host::kProxySettingKey),
                               _variant_t(L"cache.example:8081"));
  host.reset();
  CHxInstance::SetInstance(nullptr);
  host = std::make_unique<host::Host>(path);
  CHxInstance::SetInstance(host->Instance());
  char buffer[512] = {};
  DWORD size = sizeof buffer;
  ASSERT_TRUE(InternetQueryOptionA(nullptr, INTERNET_OPTION_PROXY, buffer, &size));
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFOA*>(buffer);
  EXPECT_EQ(info->dwAccessType, static_cast<DWORD>(INTERNET_OPEN_TYPE_PROXY));
  EXPECT_STREQ(info->lpszProxy, "cache.example:8081");
  INTERNET_PROXY_INFOA direct{INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr};
  InternetSetOptionA(nullptr, INTERNET_OPTION_PROXY, &direct, sizeof direct);
}

}  // namespace
