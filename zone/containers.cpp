#include "zone/containers.h"

#include <initializer_list>

#include "shared/sqltools.h"

namespace vorlen {
namespace {

// Updatable, nullable, may be null.
constexpr LONG kFieldAttributes = 0x64;

// A fabricated recordset that lives in memory, with the fields in order and without rows.
_RecordsetPtr Build(std::initializer_list<CAdoRsTools::ContainerField> fields) {
  return CAdoRsTools::CreateContainer(kFieldAttributes, fields);
}

void Put(const _RecordsetPtr& rs, const wchar_t* name, const _variant_t& value) {
  rs->GetFields()->GetItem(_variant_t(name))->PutValue(value);
}

}  // namespace

_RecordsetPtr CreateStatusesOptionsContainer() {
  return Build({{L"StatusesServiceActive", adBoolean, 1},
                {L"ShowDocumentAddressForm", adBoolean, 1},
                {L"ShowDeliveryAddressForm", adBoolean, 1},
                {L"Description", adVarWChar, 500},
                {L"WWW", adVarWChar, 255}});
}

_RecordsetPtr CreateAuctionBidInfoContainer() {
  return Build({{L"id", adInteger, 4}, {L"buyer_id", adInteger, 4}, {L"auction_id", adVarWChar, 50},
                {L"service_id", adInteger, 4}});
}

_RecordsetPtr CreatePageIdsContainer() { return Build({{L"page_id", adInteger, 4}}); }

_RecordsetPtr CreateItemInfoContainer() {
  return Build({{L"id", adInteger, 4}, {L"name", adVarWChar, 50}, {L"quantity", adInteger, 4},
                {L"price", adCurrency, 8}, {L"sort_order", adInteger, 4}});
}

_RecordsetPtr CreatePackageInfoContainer() {
  return Build({{L"id", adInteger, 4},
                {L"symbol", adVarWChar, 50},
                {L"status_link", adVarWChar, 255},
                {L"charge", adCurrency, 8},
                {L"charge_currency", adVarWChar, 3},
                {L"send_date", adDate, 8},
                {L"sort_order", adInteger, 4}});
}

_RecordsetPtr CreateBuyerDataInfoContainer() {
  return Build({{L"id", adInteger, 4},
                {L"notes_trusted", adBoolean, 1},
                {L"notes", adVarWChar, 4000},
                {L"bill_trusted", adBoolean, 1},
                {L"bill_name", adVarWChar, 129},
                {L"bill_firstLine", adVarWChar, 64},
                {L"bill_secondLine", adVarWChar, 64},
                {L"bill_zipCode", adVarWChar, 16},
                {L"bill_city", adVarWChar, 64},
                {L"bill_country", adVarWChar, 50},
                {L"bill_company", adVarWChar, 255},
                {L"bill_nip", adVarWChar, 15},
                {L"deliv_trusted", adBoolean, 1},
                {L"deliv_name", adVarWChar, 129},
                {L"deliv_firstLine", adVarWChar, 64},
                {L"deliv_secondLine", adVarWChar, 64},
                {L"deliv_zipCode", adVarWChar, 16},
                {L"deliv_city", adVarWChar, 64},
                {L"deliv_country", adVarWChar, 50},
                {L"deliv_company", adVarWChar, 255},
                {L"deliv_nip", adVarWChar, 15}});
}

_RecordsetPtr CreatePageDataInfoContainer() {
  return Build({{L"remittance_date", adDate, 8},
                {L"sent_all", adBoolean, 1},
                {L"base_currency", adVarWChar, 3},
                {L"payment", adCurrency, 8},
                {L"payment_currency", adVarWChar, 3},
                {L"buy_date", adDate, 8}});
}

_RecordsetPtr CreateStatusPageInfoContainer() {
  return Build({{L"page_urlPart", adVarWChar, 25}, {L"page_id", adInteger, 4}, {L"last_entryDate", adDate, 8}});
}

_RecordsetPtr CreatePageChangesInfoContainer() {
  return Build({{L"page_id", adInteger, 4}, {L"last_dataEntry_date", adDate, 8}});
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const wchar_t* value) {
  Put(rs, name, _variant_t(value ? value : L""));
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const CString& value) {
  Put(rs, name, _variant_t(value.GetString()));
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const _bstr_t& value) {
  const wchar_t* text = static_cast<const wchar_t*>(value);
  Put(rs, name, _variant_t(text ? text : L""));
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, short value) {
  _variant_t v;
  v.vt = VT_I2;
  v.iVal = value;
  Put(rs, name, v);
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, LONG value) {
  _variant_t v;
  v.vt = VT_I4;
  v.lVal = value;
  Put(rs, name, v);
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, CY value) {
  _variant_t v;
  v.vt = VT_CY;
  v.cyVal = value;
  Put(rs, name, v);
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, bool value) {
  _variant_t v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  Put(rs, name, v);
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, double value) {
  _variant_t v;
  v.vt = VT_R8;
  v.dblVal = value;
  Put(rs, name, v);
}

void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const _variant_t& value) { Put(rs, name, value); }

}  // namespace vorlen
