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
// A list configured with a table description reads its rows itself: "SELECT <the columns' fields>
// FROM <main> AS <alias> LEFT JOIN <table> AS <alias> ON <alias>.<key> = <main alias>.<column> ...",
// with the user filter as its WHERE clause, over the connection of the data factory given; a list
// without one shows the recordset given to it.
//
// Column records also carry the printed look of a column: header and cell fonts as
// "name,size,bold,italic,underline,strikeout" (empty: the default), alignments (0 left, 1 centre,
// 2 right) and the field type (kFlgFieldAmount: an amount shown with the user's decimal
// separator; kFlgFieldChoice: a choice list whose cells show the caption of their value, the
// choices given as "value=caption" lines).
//
// The grid also answers the least of the grid-core face that printers use: the grid's columns
// are the shown columns (1 to GetColCount, column 0 the row header), its rows the captions (row 0)
// and the list's rows (1 to GetRowCount).
//
// Column texts (caption, short caption, hint, cell style) are text pointers or string-table ids
// (MAKEINTRESOURCEW values below 0x10000); the grid never reads through an id (it shows nothing
// for one), so an owner translates them first (Lotrix: CHxGridLangSupp). A record naming no field
// is not shown.
#include <vector>

#include "framework/zephra.h"
#include "platform/gui/afxwin.h"

inline constexpr UINT kFlgListRowChanged = 0x8011;
inline constexpr UINT kFlgListSelChanged = 0x8037;
inline constexpr UINT kFlgListEditNotify = 0x3410;
inline constexpr UINT kFlgListDeleteNotify = 0x3420;
// The list's "Pokaż" task (WM_NOTIFY to the parent, only with a current row).
inline constexpr UINT kFlgListShowNotify = 0x3440;

// Field types of column records.
inline constexpr LONG kFlgFieldText = 0;
inline constexpr LONG kFlgFieldAmount = 1;
inline constexpr LONG kFlgFieldChoice = 6;

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
  LPCWSTR headerFont = nullptr;     // "Arial,10,1,0,0,0"; null or empty: the default
  LPCWSTR cellFont = nullptr;
  LONG headerAlign = 0;             // 0 left, 1 centre, 2 right
  LONG cellAlign = 0;
  LONG fieldType = kFlgFieldText;
  LPCWSTR choices = nullptr;        // a choice list's "value=caption" lines
};

// A table joined to the list's main source: LEFT JOIN table AS alias ON alias.key = main.column.
struct FlgJoinInfo {
  CString table;
  CString alias;
  CString key;      // the joined table's column
  CString column;   // the main source's column
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
  std::vector<FlgJoinInfo> joins;
};

// The grid-core face: a cell's style (its value and choice list) and its control.
typedef ULONG ROWCOL;

class CGXStyle {
 public:
  const CString& GetValue() const { return m_value; }
  void SetValue(const CString& value) { m_value = value; }
  // The choice list ("value=caption" lines); empty for a plain cell.
  const CString& GetChoiceList() const { return m_choiceList; }
  void SetChoiceList(const CString& choices) { m_choiceList = choices; }

 private:
  CString m_value;
  CString m_choiceList;
};

class CGXControl {
 public:
  virtual ~CGXControl() = default;
  // The text the control shows for `value` in that cell; FALSE when it shows none.
  virtual BOOL GetControlText(CString& text, ROWCOL row, ROWCOL col, LPCWSTR value, const CGXStyle& style);
};

class CGXGridCore {
 public:
  virtual ~CGXGridCore() = default;
  virtual ROWCOL GetColCount() const = 0;
  // The cell's value as text (row 0 the captions, column 0 the row header: empty).
  virtual CString GetValueRowCol(ROWCOL row, ROWCOL col) = 0;
  virtual void ComposeStyleRowCol(ROWCOL row, ROWCOL col, CGXStyle* style) = 0;
  virtual CGXControl* GetControl(ROWCOL row, ROWCOL col) = 0;
};

class CListCnt;

class CBaseGrid : public CWnd, public CGXGridCore {
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
  ROWCOL GetColCount() const override;
  CString GetValueRowCol(ROWCOL row, ROWCOL col) override;
  void ComposeStyleRowCol(ROWCOL row, ROWCOL col, CGXStyle* style) override;
  CGXControl* GetControl(ROWCOL row, ROWCOL col) override;
  // The column record of grid column `col` (1 and on); -1 for the row header or out of range.
  int GetCfgIndexForColumn(ROWCOL col) const;
  // What a cell shows: for an amount its text with the user's decimal separator, for a choice its
  // caption, else its text.
  CString GetDisplayText(int row, int column) const;
  // Sends the "Pokaż" task's notification (with a current row).
  void NotifyShow() const { NotifyCommand(kFlgListShowNotify); }
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
  // The same with the data factory that a list with a table description reads through.
  void SetConfig(const FlgListInfo& list, const FlgColumnInfo* columns, int count, IFlgDataFactory* factory);
  const FlgListInfo& GetListInfo() const { return m_list; }
  void SetTitle(const wchar_t* title) { m_list.title = title ? title : L""; }
  CString GetTitle() const override { return m_list.title; }

  // The WHERE clause of a list with a table description; with `argument`, its message-format
  // placeholder %1 (as "%1!ld!") is given that value.
  void SetUserFilter(const wchar_t* filter);
  void SetUserFilter(const wchar_t* filter, LONG argument);
  const CString& GetUserFilter() const { return m_filter; }
  // The statement a list with a table description reads; empty without a main source.
  CString BuildSql() const;
  // Reads the rows of a list with a table description again (nothing without one). Raises.
  void Requery();

  // Binds the recordset and reloads the grid (see above). Raises the recordset's COM errors.
  void SetRecordset(const _RecordsetPtr& rs);
  _RecordsetPtr GetRecordset() const override { return m_rs; }
  CBaseGrid* GetGrid() override { return &m_grid; }
  int GetColumnConfigCount() const override { return m_grid.GetColumnCount(); }
  const FlgColumnInfo* GetColumnConfig(int index) const override;
  // Reloads the grid from the bound recordset.
  void Reload() { SetRecordset(m_rs); }

  // Makes the grid in place of the parent's control `id` (the placeholder goes; the grid takes
  // its id, rectangle and place in the tab order). FALSE when the parent has no such control. A
  // list with a table description and a data factory then reads its rows (raising the COM
  // errors of the read).
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
  IFlgDataFactoryPtr m_factory;
  CString m_filter;
  _RecordsetPtr m_rs;
  CBaseGrid m_grid;
};
