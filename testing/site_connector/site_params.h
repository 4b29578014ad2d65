#pragma once
// The reference site's parameters as its data file describes them, served to the parameter
// update through the session's slots 17 to 20, 24, 25 and 29.
//
// The sections of the site's data document that they read (rows' keys are the containers' field
// names; "site" on a row restricts it to the site of that number):
//   "sites":           the site's entry ("number") gives its "currency" and may give its own
//                      "versions", which then stand for the document's
//   "versions":        {"categories": text, "attributes": text, "form": text} (null: no version)
//   "categories":      the site's categories
//   "dictionaries":    {"0": [...], ... "5": [...]} the form dictionaries by kind
//   "category_fields": the form fields, each with its dictionary's "values"
//   "accounts":        an account's entry ("login") gives its shop: "shop": false when it has no
//                      shop any more (slot 25 then fails and slot 29 answers false), else
//                      "shop_version" and "shop_categories"
//   "kill_at_kind":    the process ends at once (SIGKILL) when that dictionary kind is asked for
// A row's key the container lacks, or a value of the wrong kind, refuses the whole call.
#include <string>

#include <nlohmann/json.hpp>

#include "auctions/lotrix.h"

namespace reference_site {

// Slot 18: the three versions of site `site` (a missing or null one: a null text).
HRESULT ParamVersions(const nlohmann::json& doc, LONG site, BSTR* categories, BSTR* attributes, BSTR* form);
// Slot 17: the site's currency (a null text when it names none).
HRESULT Currency(const nlohmann::json& doc, LONG site, BSTR* currency);
// Slot 24: the site's categories into the container, telling `sync` (when given) the progress
// every tenth of the rows and stopping when it answers that the job was cancelled; the
// categories' version.
HRESULT ReceiveCategories(const nlohmann::json& doc, LONG site, _Recordset* categories, LotrixSync* sync,
                          BSTR* version);
// Slot 20: the dictionary of `kind` (0 to 5) into the container; the form's version.
HRESULT ReceiveSpecificData(const nlohmann::json& doc, LONG site, LONG kind, _Recordset* dictionary, VARIANT* version);
// Slot 19: the form fields and their values (each value with its field's id); the attributes'
// version.
HRESULT ReceiveCatSpecific(const nlohmann::json& doc, LONG site, _Recordset* fields, _Recordset* values,
                           VARIANT* version);
// Slot 25: the shop categories of the account of `login`; `shopGone` tells a failure that means
// the account has no shop any more (what slot 29 then answers false to).
HRESULT ReceiveRegCategories(const nlohmann::json& doc, const std::wstring& login, _Recordset* categories,
                             BSTR* version, bool& shopGone);

}  // namespace reference_site
