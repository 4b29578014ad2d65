// The exchange containers of the site connectors: each builder's fields (name, type, size,
// attributes) in order, the fields marked for seeks, and a new, open, empty recordset each time;
// site dictionaries of unknown kinds without fields and never opened.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "auctions/sync/containers.h"

namespace {

constexpr LONG kNullable = 100;   // updatable, nullable, may be null
constexpr LONG kUpdatable = 4;    // updatable only

struct Expected {
  const wchar_t* name;
  DataTypeEnum type;
  LONG size;
  LONG attributes;
  bool index;
};

struct Layout {
  const char* name;
  std::function<_RecordsetPtr()> build;
  std::vector<Expected> fields;
};

std::vector<Expected> FieldDictFields() {
  return {{L"field_id", adInteger, 4, kNullable, true}, {L"name", adVarWChar, 255, kNullable, false},
          {L"ident", adInteger, 4, kNullable, true},    {L"code", adVarWChar, 50, kNullable, false},
          {L"position", adInteger, 4, kNullable, false}, {L"internal_id", adInteger, 4, kNullable, true}};
}

std::vector<Layout> Layouts() {
  const LONG n = kNullable, u = kUpdatable;
  std::vector<Layout> layouts = {
      {"categories",
       lotrix::CreateCategoriesContainer,
       {{L"id", adInteger, 4, n, true},
        {L"name", adVarWChar, 50, n, false},
        {L"parent_id", adInteger, 4, n, true},
        {L"position", adInteger, 4, n, false},
        {L"expired", adBoolean, 1, n, false},
        {L"leaf", adBoolean, 1, n, false},
        {L"virtual", adBoolean, 1, n, false},
        {L"cat_id", adInteger, 4, n, true}}},
      {"category-specific fields",
       lotrix::CreateCatSpecificContainer,
       {{L"id", adInteger, 4, n, true},
        {L"cat_id", adInteger, 4, n, false},
        {L"title", adVarWChar, 50, n, false},
        {L"input_type", adInteger, 4, n, false},
        {L"data_type", adInteger, 4, n, false},
        {L"default", adInteger, 4, n, false},
        {L"required", adBoolean, 1, n, false},
        {L"position", adInteger, 4, n, false},
        {L"length", adInteger, 4, n, false},
        {L"min_val", adDouble, 8, n, false},
        {L"max_val", adDouble, 8, n, false},
        {L"description", adVarWChar, 1000, n, false},
        {L"help", adLongVarWChar, 16, n, false},
        {L"internal_id", adInteger, 4, n, false}}},
      {"field dictionary", lotrix::CreateFieldDictContainer, FieldDictFields()},
      {"customers",
       lotrix::CreateCustomersContainer,
       {{L"user_id", adInteger, 4, u, true},       {L"user_name", adVarWChar, 255, u, false},
        {L"user_rank", adInteger, 4, u, false},    {L"first_name", adVarWChar, 255, u, false},
        {L"last_name", adVarWChar, 255, u, false}, {L"company", adVarWChar, 255, u, false},
        {L"email", adVarWChar, 255, u, false},     {L"street", adVarWChar, 255, u, false},
        {L"postcode", adVarWChar, 255, u, false},  {L"city", adVarWChar, 255, u, false},
        {L"country_name", adVarWChar, 50, u, false}, {L"country_id", adInteger, 4, u, false},
        {L"phone", adVarWChar, 255, u, false},     {L"phone2", adVarWChar, 255, u, false},
        {L"service_id", adInteger, 4, u, false},   {L"customer_id", adInteger, 4, u, false},
        {L"activated", adBoolean, 1, u, false},    {L"closed", adBoolean, 1, u, false},
        {L"blocked", adBoolean, 1, u, false},      {L"terminated", adBoolean, 1, u, false}}},
      {"transactions",
       lotrix::CreateTransactionsContainer,
       {{L"id", adInteger, 4, u, false},
        {L"item_number", adVarWChar, 255, u, false},
        {L"item_name", adVarWChar, 255, u, false},
        {L"user_id", adInteger, 4, u, false},
        {L"user_name", adVarWChar, 255, u, false},
        {L"country", adInteger, 4, u, false},
        {L"quantity", adInteger, 4, u, false},
        {L"price", adCurrency, 8, u, false},
        {L"currency", adVarChar, 4, u, false},
        {L"date", adDate, 8, u, false},
        {L"service_id", adInteger, 4, u, false}}},
      {"auctions",
       lotrix::CreateAuctionsContainer,
       {{L"number", adVarChar, 255, u, true},         {L"title", adVarWChar, 255, n, false},
        {L"category", adInteger, 4, n, false},        {L"country", adInteger, 4, n, false},
        {L"region", adInteger, 4, n, false},          {L"location", adVarWChar, 100, n, false},
        {L"description", adVarWChar, 5000, n, false}, {L"quantity", adInteger, 4, n, false},
        {L"start_price", adCurrency, 8, n, false},    {L"price", adCurrency, 8, n, false},
        {L"min_price", adCurrency, 8, n, false},      {L"bin_price", adCurrency, 8, n, false},
        {L"has_bin_price", adBoolean, 1, n, false},   {L"duration", adInteger, 4, n, false},
        {L"start_date", adDate, 8, n, false},         {L"end_date", adDate, 8, n, false},
        {L"ended", adBoolean, 1, n, false},           {L"sold", adInteger, 4, n, false},
        {L"sold_sum", adInteger, 4, n, false},        {L"bid_count", adInteger, 4, n, false},
        {L"hit_count", adInteger, 4, n, false},       {L"watcher_count", adInteger, 4, n, false},
        {L"fee", adCurrency, 8, n, false},            {L"commission", adCurrency, 8, n, false},
        {L"shipping_pay", adInteger, 4, n, false},    {L"blocked", adBoolean, 1, n, false},
        {L"private", adBoolean, 1, n, false},         {L"future", adBoolean, 1, n, false},
        {L"enh_opts", adInteger, 4, n, false},        {L"pay_opts", adInteger, 4, n, false},
        {L"ship_opts", adInteger, 4, n, false},       {L"additional_info", adVarWChar, 255, n, false},
        {L"shipping_cost", adCurrency, 8, n, false},  {L"transfer_cost", adCurrency, 8, n, false},
        {L"shop_item", adBoolean, 1, n, false},       {L"service_id", adInteger, 4, n, false},
        {L"auction_id", adInteger, 4, n, false},      {L"counted", adBoolean, 1, n, false},
        {L"has_full_data", adBoolean, 1, n, false},   {L"has_full_header", adBoolean, 1, n, false},
        {L"errors", adVarWChar, 1000, n, false}}},
      {"auction images",
       lotrix::CreateAuctionImagesContainer,
       {{L"auction_number", adVarChar, 50, u, true},
        {L"type", adInteger, 4, u, true},
        {L"url", adVarChar, 2000, u, false},
        {L"image", adLongVarBinary, 16, u, false}}},
      {"comments",
       lotrix::CreateCommentsContainer,
       {{L"auction_number", adVarChar, 50, u, true},
        {L"from_user_id", adBigInt, 8, u, false},
        {L"to_user_id", adBigInt, 8, u, false},
        {L"id", adInteger, 4, u, false},
        {L"comment", adVarWChar, 255, u, false},
        {L"score", adInteger, 4, u, false},
        {L"date", adDate, 8, u, false},
        {L"answer_date", adDate, 8, u, false},
        {L"answer_comment", adVarWChar, 255, u, false},
        {L"type", adInteger, 4, u, false},
        {L"user_name", adVarWChar, 50, u, false}}},
  };
  for (LONG kind = 0; kind <= 5; ++kind) {
    static const char* const kNames[] = {"durations", "enhancements", "payments", "regions", "shipping", "countries"};
    layouts.push_back({kNames[kind], [kind] { return lotrix::CreateSiteDictContainer(kind); }, FieldDictFields()});
  }
  return layouts;
}

std::wstring Name(const FieldPtr& f) { return static_cast<const wchar_t*>(f->GetName()); }

void ExpectLayout(const _RecordsetPtr& rs, const std::vector<Expected>& fields) {
  ASSERT_TRUE(rs);
  FieldsPtr list = rs->GetFields();
  ASSERT_EQ(list->GetCount(), static_cast<LONG>(fields.size()));
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldPtr f = list->GetItem(_variant_t(static_cast<LONG>(i)));
    SCOPED_TRACE(::testing::Message() << "field " << i);
    EXPECT_EQ(Name(f), fields[i].name);
    EXPECT_EQ(f->GetType(), fields[i].type) << fields[i].name;
    EXPECT_EQ(f->GetDefinedSize(), fields[i].size) << fields[i].name;
    EXPECT_EQ(f->GetAttributes(), fields[i].attributes) << fields[i].name;
    const _variant_t optimize = f->GetProperties()->GetItem(_variant_t(L"Optimize"))->GetValue();
    EXPECT_EQ(optimize.vt == VT_BOOL && optimize.boolVal == VARIANT_TRUE, fields[i].index) << fields[i].name;
  }
}

TEST(ExchangeContainers, EachBuilderGivesItsFieldsInOrderOpenEmptyAndIndexed) {
  for (const Layout& layout : Layouts()) {
    SCOPED_TRACE(layout.name);
    _RecordsetPtr rs = layout.build();
    ExpectLayout(rs, layout.fields);
    EXPECT_EQ(rs->GetState(), adStateOpen);
    EXPECT_EQ(rs->GetRecordCount(), 0);
    EXPECT_TRUE(rs->GetadoEOF());
    EXPECT_TRUE(rs->GetBOF());
    // Every call makes a container of its own.
    _RecordsetPtr other = layout.build();
    EXPECT_NE(rs.GetInterfacePtr(), other.GetInterfacePtr());
    other->AddNew();
    other->Update();
    EXPECT_EQ(other->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetRecordCount(), 0);
  }
}

TEST(ExchangeContainers, SiteDictionaryOfAnotherKindHasNoFieldsAndIsNotOpened) {
  for (LONG kind : {LONG{6}, LONG{-1}, LONG{7}, LONG{0x7FFFFFFF}, static_cast<LONG>(0x80000000u)}) {
    SCOPED_TRACE(kind);
    _RecordsetPtr rs = lotrix::CreateSiteDictContainer(kind);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->GetFields()->GetCount(), 0);
    EXPECT_EQ(rs->GetState(), adStateClosed);
  }
}

TEST(ExchangeContainers, RowsAreFoundThroughTheIndexedFieldsAndTextsAreCut) {
  _RecordsetPtr rs = lotrix::CreateCategoriesContainer();
  for (LONG id = 1; id <= 50; ++id) {
    rs->AddNew();
    rs->GetFields()->GetItem(_variant_t(L"id"))->PutValue(_variant_t(id));
    rs->GetFields()->GetItem(_variant_t(L"parent_id"))->PutValue(_variant_t(id % 5));
    rs->GetFields()->GetItem(_variant_t(L"name"))->PutValue(_variant_t(std::wstring(60, L'ż').c_str()));
    rs->Update();
  }
  rs->PutFilter(_variant_t(L"parent_id = 3"));
  EXPECT_EQ(rs->GetRecordCount(), 10);
  rs->PutFilter(_variant_t(LONG{adFilterNone}));
  rs->MoveFirst();
  rs->Find(_bstr_t(L"id = 42"), 0, adSearchForward, vtMissing);
  ASSERT_FALSE(rs->GetadoEOF());
  EXPECT_EQ(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(L"id"))->GetValue()), 42);
  // A fixed-size text keeps its first 50 characters.
  const _variant_t name = rs->GetFields()->GetItem(_variant_t(L"name"))->GetValue();
  EXPECT_EQ(std::wstring(name.bstrVal), std::wstring(50, L'ż'));
}

}  // namespace
