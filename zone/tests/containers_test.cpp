// The exchange containers: their field lists, as the builders and the connector's Create methods
// make them, and the field setters.
#include <functional>

#include "zone/tests/fixtures.h"

namespace vorlen::test {
namespace {

struct Expected {
  const wchar_t* name;
  DataTypeEnum type;
  LONG size;
};

struct Format {
  const char* name;
  std::function<_RecordsetPtr()> build;
  std::vector<Expected> fields;
};

std::vector<Format> Formats() {
  const std::vector<Expected> address = {{L"bill_trusted", adBoolean, 1},   {L"bill_name", adVarWChar, 129},
                                         {L"bill_firstLine", adVarWChar, 64}, {L"bill_secondLine", adVarWChar, 64},
                                         {L"bill_zipCode", adVarWChar, 16},   {L"bill_city", adVarWChar, 64},
                                         {L"bill_country", adVarWChar, 50},   {L"bill_company", adVarWChar, 255},
                                         {L"bill_nip", adVarWChar, 15}};
  std::vector<Expected> buyer = {{L"id", adInteger, 4}, {L"notes_trusted", adBoolean, 1}, {L"notes", adVarWChar, 4000}};
  buyer.insert(buyer.end(), address.begin(), address.end());
  const std::vector<Expected> delivery = {{L"deliv_trusted", adBoolean, 1},   {L"deliv_name", adVarWChar, 129},
                                          {L"deliv_firstLine", adVarWChar, 64}, {L"deliv_secondLine", adVarWChar, 64},
                                          {L"deliv_zipCode", adVarWChar, 16},   {L"deliv_city", adVarWChar, 64},
                                          {L"deliv_country", adVarWChar, 50},   {L"deliv_company", adVarWChar, 255},
                                          {L"deliv_nip", adVarWChar, 15}};
  buyer.insert(buyer.end(), delivery.begin(), delivery.end());
  return {
      {"StatusesOptions",
       CreateStatusesOptionsContainer,
       {{L"StatusesServiceActive", adBoolean, 1},
        {L"ShowDocumentAddressForm", adBoolean, 1},
        {L"ShowDeliveryAddressForm", adBoolean, 1},
        {L"Description", adVarWChar, 500},
        {L"WWW", adVarWChar, 255}}},
      {"AuctionBidInfo",
       CreateAuctionBidInfoContainer,
       {{L"id", adInteger, 4}, {L"buyer_id", adInteger, 4}, {L"auction_id", adVarWChar, 50}, {L"service_id", adInteger, 4}}},
      {"PageIds", CreatePageIdsContainer, {{L"page_id", adInteger, 4}}},
      {"ItemInfo",
       CreateItemInfoContainer,
       {{L"id", adInteger, 4},
        {L"name", adVarWChar, 50},
        {L"quantity", adInteger, 4},
        {L"price", adCurrency, 8},
        {L"sort_order", adInteger, 4}}},
      {"PackageInfo",
       CreatePackageInfoContainer,
       {{L"id", adInteger, 4},
        {L"symbol", adVarWChar, 50},
        {L"status_link", adVarWChar, 255},
        {L"charge", adCurrency, 8},
        {L"charge_currency", adVarWChar, 3},
        {L"send_date", adDate, 8},
        {L"sort_order", adInteger, 4}}},
      {"BuyerDataInfo", CreateBuyerDataInfoContainer, buyer},
      {"PageDataInfo",
       CreatePageDataInfoContainer,
       {{L"remittance_date", adDate, 8},
        {L"sent_all", adBoolean, 1},
        {L"base_currency", adVarWChar, 3},
        {L"payment", adCurrency, 8},
        {L"payment_currency", adVarWChar, 3},
        {L"buy_date", adDate, 8}}},
      {"StatusPageInfo",
       CreateStatusPageInfoContainer,
       {{L"page_urlPart", adVarWChar, 25}, {L"page_id", adInteger, 4}, {L"last_entryDate", adDate, 8}}},
      {"PageChangesInfo", CreatePageChangesInfoContainer, {{L"page_id", adInteger, 4}, {L"last_dataEntry_date", adDate, 8}}},
  };
}

void ExpectShape(const _RecordsetPtr& rs, const std::vector<Expected>& fields) {
  ASSERT_TRUE(rs);
  FieldsPtr list = rs->GetFields();
  ASSERT_EQ(list->GetCount(), static_cast<LONG>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldPtr f = list->GetItem(_variant_t(static_cast<LONG>(i)));
    EXPECT_STREQ(static_cast<const wchar_t*>(f->GetName()), fields[i].name) << i;
    EXPECT_EQ(f->GetType(), fields[i].type) << static_cast<const wchar_t*>(f->GetName());
    EXPECT_EQ(f->GetDefinedSize(), fields[i].size) << static_cast<const wchar_t*>(f->GetName());
  }
  EXPECT_EQ(rs->GetRecordCount(), 0);
  EXPECT_EQ(rs->GetState(), adStateOpen);
}

TEST(Containers, EachFormatHasItsFieldsInOrderAndNoRows) {
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    ExpectShape(format.build(), format.fields);
  }
}

using ConnectorContainers = ConnectorTest;

TEST_F(ConnectorContainers, TheSevenCreateMethodsHandOutNewEmptyContainers) {
  IVorlenConnectorPtr connector = NewConnector();
  const std::vector<Format> formats = Formats();
  auto shape = [&](const char* name) {
    for (const Format& f : formats)
      if (std::string(f.name) == name) return f.fields;
    return std::vector<Expected>{};
  };
  using Method = HRESULT (IVorlenConnector::*)(_Recordset**);
  const std::pair<const char*, Method> methods[] = {
      {"StatusesOptions", &IVorlenConnector::CreateStatusesOptionsContainer},
      {"AuctionBidInfo", &IVorlenConnector::CreateAuctionBidInfoContainer},
      {"PageIds", &IVorlenConnector::CreatePageIdsContainer},
      {"ItemInfo", &IVorlenConnector::CreateItemInfoContainer},
      {"PackageInfo", &IVorlenConnector::CreatePackageInfoContainer},
      {"BuyerDataInfo", &IVorlenConnector::CreateBuyerDataInfoContainer},
      {"PageDataInfo", &IVorlenConnector::CreatePageDataInfoContainer},
  };
  for (const auto& [name, method] : methods) {
    SCOPED_TRACE(name);
    _Recordset* first = nullptr;
    _Recordset* second = nullptr;
    ASSERT_EQ((connector.GetInterfacePtr()->*method)(&first), S_OK);
    ASSERT_EQ((connector.GetInterfacePtr()->*method)(&second), S_OK);
    _RecordsetPtr a(first, false), b(second, false);
    ExpectShape(a, shape(name));
    EXPECT_NE(first, second);  // a new container each time
    EXPECT_EQ((connector.GetInterfacePtr()->*method)(nullptr), E_INVALIDARG);
  }
}

TEST(Containers, SettersStoreTheirVariantTypes) {
  _RecordsetPtr rs = CreatePackageInfoContainer();
  rs->AddNew();
  // A missing text is an empty text, never Null; only the variant setter stores Null.
  PutRecordsetField(rs, L"symbol", static_cast<const wchar_t*>(nullptr));
  EXPECT_EQ(Value(rs, L"symbol").vt, VT_BSTR);
  EXPECT_EQ(Text(rs, L"symbol"), L"");
  PutRecordsetField(rs, L"status_link", _bstr_t());
  EXPECT_EQ(Text(rs, L"status_link"), L"");
  PutRecordsetField(rs, L"status_link", CString(L"http://kurier.example/śledź"));
  EXPECT_EQ(Text(rs, L"status_link"), L"http://kurier.example/śledź");
  _variant_t null;
  null.vt = VT_NULL;
  PutRecordsetField(rs, L"symbol", null);
  EXPECT_EQ(Value(rs, L"symbol").vt, VT_NULL);
  // A date written as its OLE number reads back as that date.
  PutRecordsetField(rs, L"send_date", static_cast<double>(Date(2024, 3, 31, 2, 30)));
  EXPECT_EQ(Value(rs, L"send_date").vt, VT_DATE);
  EXPECT_DOUBLE_EQ(Value(rs, L"send_date").date, Date(2024, 3, 31, 2, 30));
  CY charge{};
  charge.int64 = 123456789;
  PutRecordsetField(rs, L"charge", charge);
  EXPECT_EQ(Value(rs, L"charge").cyVal.int64, 123456789);
  PutRecordsetField(rs, L"sort_order", LONG{-7});
  EXPECT_EQ(Long(rs, L"sort_order"), -7);

  _RecordsetPtr options = CreateStatusesOptionsContainer();
  options->AddNew();
  // A boolean written as the 16-bit -1 reads back as true.
  PutRecordsetField(options, L"StatusesServiceActive", static_cast<short>(-1));
  PutRecordsetField(options, L"ShowDocumentAddressForm", static_cast<short>(0));
  PutRecordsetField(options, L"ShowDeliveryAddressForm", true);
  EXPECT_EQ(Value(options, L"StatusesServiceActive").vt, VT_BOOL);
  EXPECT_EQ(Value(options, L"StatusesServiceActive").boolVal, VARIANT_TRUE);
  EXPECT_EQ(Value(options, L"ShowDocumentAddressForm").boolVal, VARIANT_FALSE);
  EXPECT_EQ(Value(options, L"ShowDeliveryAddressForm").boolVal, VARIANT_TRUE);
}

TEST(Containers, SettersRaiseTheRecordsetsFailures) {
  _RecordsetPtr rs = CreateItemInfoContainer();
  // No current row.
  EXPECT_THROW(PutRecordsetField(rs, L"name", L"x"), _com_error);
  rs->AddNew();
  try {
    PutRecordsetField(rs, L"no_such_field", L"x");
    FAIL() << "an unknown field was written";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), static_cast<HRESULT>(0x800A0CC1u));
  }
  EXPECT_THROW(PutRecordsetField(rs, L"quantity", L"dużo"), _com_error);
}

}  // namespace
}  // namespace vorlen::test
