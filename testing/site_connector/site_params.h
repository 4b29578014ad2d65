#pragma once
// The reference site's parameters as its data file describes them, served to the parameter
// update through the session's slots 17 to 20, 24, 25 and 29.
//
// A site's section ("params" of a site) holds:
//   "versions": {"categories": text, "attributes": text, "form": text}  (null: no version)
//   "currency": text
//   "categories": [{"id", "name", "parent_id", "position", "expired", "leaf", "virtual"}, ...]
//   "dictionaries": {"0": [{"ident", "name", "code", "position"}, ...], ... "5": [...]}
//   "fields": [{"id", "cat_id", "title", "input_type", "data_type", "default", "required",
//               "position", "length", "min_val", "max_val", "description", "help",
//               "values": [{"ident", "code", "name", "position"}, ...]}, ...]
// An account's section (by login) holds its shop: "shop": false when the account has no shop at
// the site any more (slot 25 then fails and slot 29 answers false), "shop_version" and
// "shop_categories" (rows as the site's categories). A row's keys are the container's field
// names; a key the container lacks or a value of the wrong kind refuses the whole call.
#include <nlohmann/json.hpp>

#include "auctions/lotrix.h"

namespace reference_site {

// Slot 18: the three versions of the site's section (a missing or null one: a null text).
HRESULT ParamVersions(const nlohmann::json& site, BSTR* categories, BSTR* attributes, BSTR* form);
// Slot 17: the site's currency (a null text when it names none).
HRESULT Currency(const nlohmann::json& site, BSTR* currency);
// Slot 24: the site's categories into the container, telling `sync` (when given) the progress
// every tenth of the rows and stopping when it answers that the job was cancelled; the
// categories' version.
HRESULT ReceiveCategories(const nlohmann::json& site, _Recordset* categories, LotrixSync* sync, BSTR* version);
// Slot 20: the dictionary of `kind` (0 to 5) into the container; the form's version.
HRESULT ReceiveSpecificData(const nlohmann::json& site, LONG kind, _Recordset* dictionary, VARIANT* version);
// Slot 19: the form fields and their values (each value with its field's id); the attributes'
// version.
HRESULT ReceiveCatSpecific(const nlohmann::json& site, _Recordset* fields, _Recordset* values, VARIANT* version);
// Slot 25: the account's shop categories; `shopGone` tells a failure that means the account has
// no shop any more (what slot 29 then answers false to).
HRESULT ReceiveRegCategories(const nlohmann::json& account, _Recordset* categories, BSTR* version, bool& shopGone);

}  // namespace reference_site
