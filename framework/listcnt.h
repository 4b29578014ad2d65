#pragma once
// The framework's list container and its grid.
//
// A list container (CListCnt) shows a recordset in a grid window (CBaseGrid) that it makes in
// place of a placeholder control of a dialog, under the placeholder's id. The container keeps the
// list's configuration (list name and title, the main table with its alias and key column,
// whether the list prints) and the column records; the grid keeps the rows in view order (the
// recordset's rows from the first, one bookmark each), the current row and the selection, and
// positions the recordset on the current row.
//
// Binding a new recordset reloads the grid: the current row stays on the same key when the new
// rows still hold it, otherwise it is the first row; the selection is the current row alone.
//
// The grid tells its parent (the dialog) what happens:
// - kFlgListRowChanged (message 0x8011, wParam the grid's control id, lParam the container)
//   whenever the current row changes (reload included);
// - kFlgListSelChanged (message 0x8037, same arguments) whenever the selection changes;
// - WM_NOTIFY with code kFlgListEditNotify (0x3410) on a double click on a row or Enter, and
//   kFlgListDeleteNotify (0x3420) on the Delete key, both only when there is a current row.
// A left click makes the row current and selected (Ctrl adds or removes it, Shift selects the
// range from the current row); the arrow, Home, End, Page Up and Page Down keys move the current
// row and select it alone; a click on a caption sorts by that column (again: descending).
//
// Column texts (caption, short caption, hint, cell style) are text pointers or string-table ids
// (MAKEINTRESOURCEW values below 0x10000); the grid never reads through an id (it shows nothing
// for one), so an owner translates them first (Lotrix: CHxGridLangSupp).
#include <vector>

#include "framework/zephra.h"
#include "platform/gui/afxwin.h"

inline constexpr UINT kFlgListRowChanged = 0x8011;
inline constexpr UINT kFlgListSelChanged = 0x8037;
inline constexpr UINT kFlgListEditNotify = 0x3410;
inline constexpr UINT kFlgListDeleteNotify = 0x3420;

// The grid's window class.
inline constexpr wchar_t kFlgGridClass[] = L"kd_grid";

enum FlgColumnFlags : DWORD {
  kFlgColHidden = 0x1,   // kept in the row, never shown (a key column)
  kFlgColCheck = 0x2,    // a check box cell: the value as a boolean
};

// One column record of a list.
struct FlgColumnInfo {
  LPCWSTR field = nullptr;          // the recordset's field
  LPCWSTR caption = nullptr;        // the column's caption
  LPCWSTR shortCaption = nullptr;   // the caption when the column is too narrow for it
  LPCWSTR hint = nullptr;           // what the caption's tip says
  LPCWSTR cellStyle = nullptr;      // the cells' style ("cx=15\ncy=15\nval=0\n1" for a check box)
  int width = 0;                    // relative width among the shown columns
  DWORD flags = 0;                  // FlgColumnFlags
  LPCWSTR sortAsc = nullptr;        // the order of an ascending sort by this column (null: the field)
  LPCWSTR sortDesc = nullptr;       // the order of a descending sort (null: the field DESC)
};

// The text a column record holds: empty for null and for a string-table id.
LPCWSTR FlgColumnText(LPCWSTR text);

// The list's description.
struct FlgListInfo {
  CString name;          // the list's name (its layout's profile key)
  CString title;         // the list's title
  CString table;         // the main table or view
  CString alias;         // the main table's alias
  CString key;           // the key column: the row's id
  bool printable = true;
};

class CListCnt;

class CBaseGrid : public CWnd {
 public:
  CBaseGrid() = default;
  ~CBaseGrid() override;

  // The grid window as a child of `parent` with control id `id` over `rect` (client coordinates).
  BOOL CreateGrid(CWnd* parent, UINT id, const RECT& rect);
  void SetContainer(CListCnt* container) { m_container = container; }

  void SetColumns(const FlgColumnInfo* columns, int count);
  int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
  const FlgColumnInfo& GetColumn(int index) const { return m_columns[static_cast<size_t>(index)]; }
  // The index of the column record of `field`; -1 when there is none.
  int FindColumn(const wchar_t* field) const;

  // Shows the rows of `rs` (null: none) with `key` as the id column. Raises the recordset's COM
  // errors (the grid is then empty).
  void Load(const _RecordsetPtr& rs, const wchar_t* key);
  int GetRowCount() const { return static_cast<int>(m_rows.size()); }
  // -1 when there is no current row.
  int GetCurrentRow() const { return m_current; }
  // Makes `row` current and selects it alone; FALSE for a row out of range.
  BOOL SetCurrentRow(int row);
  // The current row's id (VT_EMPTY without one).
  _variant_t GetID() const;
  // The id of a row (VT_EMPTY out of range).
  _variant_t GetRowID(int row) const;
  // A field's value in a row; FALSE for a row out of range or an unknown field.
  BOOL GetValue(int row, const wchar_t* field, _variant_t& value) const;
  // What a cell shows: the text of its value (empty for NULL), "1"/"0" for a check box.
  CString GetCellText(int row, int column) const;

  int GetSelectedCount() const;
  bool IsRowSelected(int row) const;
  // Adds a row to the selection or takes it out of it.
  void SelectRow(int row, bool selected);
  void SelectAllRows();
  // Makes the row with that id current; FALSE when no row has it (nothing changes then).
  BOOL MoveToId(const _variant_t& id);
  // Takes the row with that id out of the view (the recordset keeps it); FALSE when none has it.
  BOOL RemoveRow(const _variant_t& id);
  // Orders the rows by a column's sort order and reloads them.
  void SortByColumn(int column, bool descending);
  int GetSortColumn() const { return m_sortColumn; }
  bool IsSortDescending() const { return m_sortDescending; }

  // The pixel rectangle of a shown column's cells in the client area (the shown columns share
  // the width by their relative widths); an empty rectangle for a hidden column.
  CRect ColumnRect(int column) const;
  // The row at a client point; -1 on the captions or below the rows.
  int RowAt(CPoint point) const;
  CRect RowRect(int row) const;
  static constexpr int kHeaderHeight = 19;
  static constexpr int kRowHeight = 17;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }

 private:
  void ReadRows();
  bool Position(int row) const;
  void ChangeCurrent(int row, bool notifyAlways);
  void Notify(UINT message) const;
  void NotifyCommand(UINT code) const;
  void OnClick(CPoint point, UINT flags);
  void OnKey(UINT key);
  int TopRowLimit() const;
  void EnsureVisible();

  CListCnt* m_container = nullptr;
  std::vector<FlgColumnInfo> m_columns;
  _RecordsetPtr m_rs;
  CString m_key;
  std::vector<_variant_t> m_rows;   // bookmarks in view order
  std::vector<_variant_t> m_ids;    // the rows' ids, in the same order
  std::vector<bool> m_selected;
  int m_current = -1;
  int m_top = 0;                    // the first row shown
  int m_sortColumn = -1;
  bool m_sortDescending = false;
};

class CListCnt : public CBaseCnt {
 public:
  CListCnt();
  ~CListCnt() override;
  CListCnt(const CListCnt&) = delete;
  CListCnt& operator=(const CListCnt&) = delete;

  // The list's description and its columns (copied; their texts are not).
  void SetConfig(const FlgListInfo& list, const FlgColumnInfo* columns, int count);
  const FlgListInfo& GetListInfo() const { return m_list; }
  void SetTitle(const wchar_t* title) { m_list.title = title ? title : L""; }
  const CString& GetTitle() const { return m_list.title; }

  // Binds the recordset and reloads the grid (see above). Raises the recordset's COM errors.
  void SetRecordset(const _RecordsetPtr& rs);
  const _RecordsetPtr& GetRecordset() const { return m_rs; }
  // Reloads the grid from the bound recordset.
  void Reload() { SetRecordset(m_rs); }

  // Makes the grid in place of the parent's control `id` (the placeholder goes; the grid takes
  // its id, rectangle and place in the tab order). FALSE when the parent has no such control.
  BOOL AttachToControl(CWnd* parent, UINT id);
  CBaseGrid& Grid() { return m_grid; }
  const CBaseGrid& Grid() const { return m_grid; }

  _variant_t GetID() const { return m_grid.GetID(); }
  HRESULT GetCurrentValue(const wchar_t* name, _variant_t& value) const override;
  int GetSelectedCount() const { return m_grid.GetSelectedCount(); }
  BOOL MoveToId(const _variant_t& id) { return m_grid.MoveToId(id); }
  BOOL RemoveRow(const _variant_t& id) { return m_grid.RemoveRow(id); }

 private:
  FlgListInfo m_list;
  _RecordsetPtr m_rs;
  CBaseGrid m_grid;
};
