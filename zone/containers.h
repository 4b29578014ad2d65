#pragma once
// The seller-zone exchange containers: disconnected recordsets with a fixed field list that the
// connector builds empty and hands out, and the field setters that writers of a container use
// for the fields of its current row.
//
// Every builder and setter raises the recordset library's failure as a _com_error.
#include "framework/zephra.h"

namespace vorlen {

// The nine container formats, fields in order (see each builder's field table in containers.cpp).
_RecordsetPtr CreateStatusesOptionsContainer();
_RecordsetPtr CreateAuctionBidInfoContainer();
_RecordsetPtr CreatePageIdsContainer();
_RecordsetPtr CreateItemInfoContainer();
_RecordsetPtr CreatePackageInfoContainer();
_RecordsetPtr CreateBuyerDataInfoContainer();
_RecordsetPtr CreatePageDataInfoContainer();
_RecordsetPtr CreateStatusPageInfoContainer();
_RecordsetPtr CreatePageChangesInfoContainer();

// Field setters: store the value, wrapped in the variant type of the form, as the field `name`
// of the current row. A missing text is stored as an empty text (never Null); Null, or a date
// typed as such, needs the variant form. Booleans go as -1 and 0 through the 16-bit form.
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const wchar_t* value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const CString& value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const _bstr_t& value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, short value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, LONG value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, CY value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, bool value);
// Dates are written as their OLE date number.
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, double value);
void PutRecordsetField(const _RecordsetPtr& rs, const wchar_t* name, const _variant_t& value);

}  // namespace vorlen
