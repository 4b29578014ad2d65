#include "auctions/sync/containers.h"

#include "shared/sqltools.h"

namespace lotrix {
namespace {

// Updatable, nullable, may be null.
constexpr LONG kNullable = adFldUpdatable | adFldIsNullable | adFldMayBeNull;
// Updatable only.
constexpr LONG kUpdatable = adFldUpdatable;

constexpr bool kIndex = true;

_RecordsetPtr FieldDictLayout() {
  return CAdoRsTools::CreateContainer(kNullable, {{L"field_id", adInteger, 4, kIndex},
                                                  {L"name", adVarWChar, 255},
                                                  {L"ident", adInteger, 4, kIndex},
                                                  {L"code", adVarWChar, 50},
                                                  {L"position", adInteger, 4},
                                                  {L"internal_id", adInteger, 4, kIndex}});
}

}  // namespace

_RecordsetPtr CreateCategoriesContainer() {
  return CAdoRsTools::CreateContainer(kNullable, {{L"id", adInteger, 4, kIndex},
                                                  {L"name", adVarWChar, 50},
                                                  {L"parent_id", adInteger, 4, kIndex},
                                                  {L"position", adInteger, 4},
                                                  {L"expired", adBoolean, 1},
                                                  {L"leaf", adBoolean, 1},
                                                  {L"virtual", adBoolean, 1},
                                                  {L"cat_id", adInteger, 4, kIndex}});
}

_RecordsetPtr CreateCatSpecificContainer() {
  return CAdoRsTools::CreateContainer(kNullable, {{L"id", adInteger, 4, kIndex},
                                                  {L"cat_id", adInteger, 4},
                                                  {L"title", adVarWChar, 50},
                                                  {L"input_type", adInteger, 4},
                                                  {L"data_type", adInteger, 4},
                                                  {L"default", adInteger, 4},
                                                  {L"required", adBoolean, 1},
                                                  {L"position", adInteger, 4},
                                                  {L"length", adInteger, 4},
                                                  {L"min_val", adDouble, 8},
                                                  {L"max_val", adDouble, 8},
                                                  {L"description", adVarWChar, 1000},
                                                  {L"help", adLongVarWChar, 16},
                                                  {L"internal_id", adInteger, 4}});
}

_RecordsetPtr CreateFieldDictContainer() { return FieldDictLayout(); }

_RecordsetPtr CreateSiteDictContainer(LONG kind) {
  if (kind >= 0 && kind <= 5) return FieldDictLayout();
  return CAdoRsTools::CreateRecordset();
}

_RecordsetPtr CreateCustomersContainer() {
  return CAdoRsTools::CreateContainer(kUpdatable, {{L"user_id", adInteger, 4, kIndex},
                                                   {L"user_name", adVarWChar, 255},
                                                   {L"user_rank", adInteger, 4},
                                                   {L"first_name", adVarWChar, 255},
                                                   {L"last_name", adVarWChar, 255},
                                                   {L"company", adVarWChar, 255},
                                                   {L"email", adVarWChar, 255},
                                                   {L"street", adVarWChar, 255},
                                                   {L"postcode", adVarWChar, 255},
                                                   {L"city", adVarWChar, 255},
                                                   {L"country_name", adVarWChar, 50},
                                                   {L"country_id", adInteger, 4},
                                                   {L"phone", adVarWChar, 255},
                                                   {L"phone2", adVarWChar, 255},
                                                   {L"service_id", adInteger, 4},
                                                   {L"customer_id", adInteger, 4},
                                                   {L"activated", adBoolean, 1},
                                                   {L"closed", adBoolean, 1},
                                                   {L"blocked", adBoolean, 1},
                                                   {L"terminated", adBoolean, 1}});
}

_RecordsetPtr CreateTransactionsContainer() {
  return CAdoRsTools::CreateContainer(kUpdatable, {{L"id", adInteger, 4},
                                                   {L"item_number", adVarWChar, 255},
                                                   {L"item_name", adVarWChar, 255},
                                                   {L"user_id", adInteger, 4},
                                                   {L"user_name", adVarWChar, 255},
                                                   {L"country", adInteger, 4},
                                                   {L"quantity", adInteger, 4},
                                                   {L"price", adCurrency, 8},
                                                   {L"currency", adVarChar, 4},
                                                   {L"date", adDate, 8},
                                                   {L"service_id", adInteger, 4}});
}

_RecordsetPtr CreateAuctionsContainer() {
  return CAdoRsTools::CreateContainer(kNullable, {{L"number", adVarChar, 255, kIndex, kUpdatable},
                                                  {L"title", adVarWChar, 255},
                                                  {L"category", adInteger, 4},
                                                  {L"country", adInteger, 4},
                                                  {L"region", adInteger, 4},
                                                  {L"location", adVarWChar, 100},
                                                  {L"description", adVarWChar, 5000},
                                                  {L"quantity", adInteger, 4},
                                                  {L"start_price", adCurrency, 8},
                                                  {L"price", adCurrency, 8},
                                                  {L"min_price", adCurrency, 8},
                                                  {L"bin_price", adCurrency, 8},
                                                  {L"has_bin_price", adBoolean, 1},
                                                  {L"duration", adInteger, 4},
                                                  {L"start_date", adDate, 8},
                                                  {L"end_date", adDate, 8},
                                                  {L"ended", adBoolean, 1},
                                                  {L"sold", adInteger, 4},
                                                  {L"sold_sum", adInteger, 4},
                                                  {L"bid_count", adInteger, 4},
                                                  {L"hit_count", adInteger, 4},
                                                  {L"watcher_count", adInteger, 4},
                                                  {L"fee", adCurrency, 8},
                                                  {L"commission", adCurrency, 8},
                                                  {L"shipping_pay", adInteger, 4},
                                                  {L"blocked", adBoolean, 1},
                                                  {L"private", adBoolean, 1},
                                                  {L"future", adBoolean, 1},
                                                  {L"enh_opts", adInteger, 4},
                                                  {L"pay_opts", adInteger, 4},
                                                  {L"ship_opts", adInteger, 4},
                                                  {L"additional_info", adVarWChar, 255},
                                                  {L"shipping_cost", adCurrency, 8},
                                                  {L"transfer_cost", adCurrency, 8},
                                                  {L"shop_item", adBoolean, 1},
                                                  {L"service_id", adInteger, 4},
                                                  {L"auction_id", adInteger, 4},
                                                  {L"counted", adBoolean, 1},
                                                  {L"has_full_data", adBoolean, 1},
                                                  {L"has_full_header", adBoolean, 1},
                                                  {L"errors", adVarWChar, 1000}});
}

_RecordsetPtr CreateAuctionImagesContainer() {
  return CAdoRsTools::CreateContainer(kUpdatable, {{L"auction_number", adVarChar, 50, kIndex},
                                                   {L"type", adInteger, 4, kIndex},
                                                   {L"url", adVarChar, 2000},
                                                   {L"image", adLongVarBinary, 16}});
}

_RecordsetPtr CreateCommentsContainer() {
  return CAdoRsTools::CreateContainer(kUpdatable, {{L"auction_number", adVarChar, 50, kIndex},
                                                   {L"from_user_id", adBigInt, 8},
                                                   {L"to_user_id", adBigInt, 8},
                                                   {L"id", adInteger, 4},
                                                   {L"comment", adVarWChar, 255},
                                                   {L"score", adInteger, 4},
                                                   {L"date", adDate, 8},
                                                   {L"answer_date", adDate, 8},
                                                   {L"answer_comment", adVarWChar, 255},
                                                   {L"type", adInteger, 4},
                                                   {L"user_name", adVarWChar, 50}});
}

}  // namespace lotrix
