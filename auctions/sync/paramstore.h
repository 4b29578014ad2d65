#pragma once
// The site parameter store: merges what a site connector delivered in the exchange containers
// (categories, category form fields with the dictionaries of their values, the generic site
// dictionaries) into the site tables. Rows the service still delivers are updated, new ones get
// internal ids of their own, rows it no longer delivers are marked expired (categories and
// generic dictionaries) or deleted (form fields and their values). Every loop polls the host's
// cancel flag between rows. Failures are raised as COM errors (_com_error); a container the
// store cannot merge soundly (a row without its id, an id delivered twice) is refused before
// anything changes.
#include "auctions/lotrix.h"
#include "platform/strings/strings.h"

namespace lotrix {

// Whether the host's status window reports a cancel request; any failure reads as false.
bool IsSyncTerminated();
// The progress line "<site> - aktualizowanie kategorii <percent>%" in the host's status window.
void ShowCategoryProgress(LONG percent, const wchar_t* siteName);

// The category progress of a parameter job (the download the connector reports and the merge
// below): the site it works on and the percent of the last line shown. A line is due when the
// percent rose by at least 10 since then, and always at 100; a lower percent (a new pass) lowers
// the threshold to it.
struct CategoryProgress {
  CString siteName;
  LONG lastShown = 0;
  bool Due(LONG percent);
};

// Merges `categories` into data set 1 of `dataObject` (the site object): the site's categories
// for account id 0, else the account's own. With `progress` naming a site, the merge shows its
// progress (null or no site name: none). The merged rows stay in the data object; saving it is
// the caller's.
void StoreCategories(IUnknown* dataObject, _Recordset* categories, CategoryProgress* progress, LONG regId);

// Merges the form fields and their dictionary values of `site` and writes each table in one
// batch (nothing when cancelled).
void StoreCategorySpecific(IUnknown* site, _Recordset* fields, _Recordset* dictionary);

// Merges the generic dictionary of store kind `kind` (0 durations, 1 enhancements, 2 payments,
// 3 regions, 4 shipping, 5 countries) of `site` and writes it in one batch; another kind does
// nothing.
void StoreSiteDictionary(LONG kind, IUnknown* site, _Recordset* dictionary);

// The internal id of a new generic dictionary row: the digits of the provider, the site number
// in three digits and the counter in five. Raises when the site number or the counter does not
// fit its digits or the id does not fit a long.
LONG ComposeDictionaryId(LONG provider, LONG siteNumber, LONG counter);

}  // namespace lotrix
