#pragma once
// The exchange containers of the site connectors: disconnected recordsets that the manager
// creates empty, with a fixed list of fields, and hands to a connector, which fills them
// (receive) or reads them (send). A connector relies on the names, types and sizes exactly.
//
// Each builder returns a new open, empty recordset (no rows, at end of file) with its index
// fields marked "Optimize"; a failure of the creation, an append or the opening is raised as a
// _com_error.
#include "auctions/lotrix.h"

namespace lotrix {

// The site's categories (the account's own categories too).
_RecordsetPtr CreateCategoriesContainer();
// The categories' form fields.
_RecordsetPtr CreateCatSpecificContainer();
// The values of the form fields' dictionaries.
_RecordsetPtr CreateFieldDictContainer();
// The site dictionary of a kind: 0 durations, 1 enhancements, 2 payment options, 3 regions,
// 4 shipping options, 5 countries, in the field dictionary's layout. For any other kind a
// recordset without fields, not opened.
_RecordsetPtr CreateSiteDictContainer(LONG kind);
_RecordsetPtr CreateCustomersContainer();
_RecordsetPtr CreateTransactionsContainer();
_RecordsetPtr CreateAuctionsContainer();
_RecordsetPtr CreateAuctionImagesContainer();
_RecordsetPtr CreateCommentsContainer();

}  // namespace lotrix
