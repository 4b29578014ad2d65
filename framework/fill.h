#pragma once
// The framework's filling of combo and list boxes of a dialog.
//
// Entries carry their key as item data. A fill makes one entry per row of a recordset (or of a
// table or view, read by name): the item data from the key column, the text from a message
// format such as "%1!ls!" or "%1!ls! (%2!ls!)" whose arguments are the display columns in
// order (a NULL column shows as an empty text). With `reset` the control is emptied first.
// Fills answer 1 when the control was filled (also with no rows) and 0 when the control is
// missing, a column is unknown, a key is not a number or an entry cannot be added; the adding
// functions answer the new entry's index, or -1.
#include "framework/flgdialog.h"
#include "platform/ado/ado.h"

int CB_Fill(CFlgDataExchange& dx, UINT id, _Recordset* rs, const wchar_t* keyColumn, const wchar_t* format,
            const wchar_t* const* columns, int columnCount, bool reset);
int LB_Fill(CFlgDataExchange& dx, UINT id, _Recordset* rs, const wchar_t* keyColumn, const wchar_t* format,
            const wchar_t* const* columns, int columnCount, bool reset);
// A table or view by name over the connection: key column and one text column.
int CB_Fill(CFlgDataExchange& dx, UINT id, _Connection* connection, const wchar_t* table, const wchar_t* keyColumn,
            const wchar_t* textColumn, bool reset);
int LB_Fill(CFlgDataExchange& dx, UINT id, _Connection* connection, const wchar_t* table, const wchar_t* keyColumn,
            const wchar_t* textColumn, bool reset);

// Adds an entry at the end.
int CB_Add(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data);
int LB_Add(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data);
// Adds an entry at `position` (0: on top; past the end or negative: at the end).
int CB_AddAt(CFlgDataExchange& dx, UINT id, int position, const wchar_t* text, LONG data);
int LB_AddAt(CFlgDataExchange& dx, UINT id, int position, const wchar_t* text, LONG data);
// The "empty" entry of a combo box (no choice made): on top, with its text and item data.
int CB_AddEmpty(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data);
// Empties the control; FALSE when it is missing.
BOOL CB_ResetContent(CFlgDataExchange& dx, UINT id);
BOOL LB_ResetContent(CFlgDataExchange& dx, UINT id);
