#include "framework/listcnt.h"

#include <algorithm>

#include "platform/strings/locale.h"

namespace {

bool IsInteger(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// Two ids are the same when both are integers of equal value (whatever their widths), or both
// have the same text.
bool SameId(const _variant_t& a, const _variant_t& b) {
  if (a.vt == VT_EMPTY || a.vt == VT_NULL || b.vt == VT_EMPTY || b.vt == VT_NULL) return false;
  if (IsInteger(a.vt) && IsInteger(b.vt)) {
    _variant_t x, y;
    if (FAILED(VariantChangeType(&x, &a, 0, VT_I8)) || FAILED(VariantChangeType(&y, &b, 0, VT_I8))) return false;
    return x.llVal == y.llVal;
  }
  _variant_t x, y;
  if (FAILED(VariantChangeType(&x, &a, 0, VT_BSTR)) || FAILED(VariantChangeType(&y, &b, 0, VT_BSTR))) return false;
  return _bstr_t(x.bstrVal) == _bstr_t(y.bstrVal);
}

LRESULT GridProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(h, message, wParam, lParam); }

void RegisterGridClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = GridProc;
    wc.lpszClassName = kFlgGridClass;
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    return true;
  }();
  (void)registered;
}

// The recordset's field of that name; null when it has none.
FieldPtr FieldNamed(const _RecordsetPtr& rs, const wchar_t* name) {
  Field* raw = nullptr;
  if (FAILED(rs->GetFields()->get_Item(_variant_t(name), &raw))) return nullptr;
  return FieldPtr(raw, false);
}

bool KeyHeld(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// The caption of `value` in a "value=caption" choice list; false when no line has that value.
bool ChoiceCaption(const CString& choices, const CString& value, CString& caption) {
  int start = 0;
  while (start <= choices.GetLength()) {
    int end = choices.Find(L'\n', start);
    if (end < 0) end = choices.GetLength();
    CString line = choices.Mid(start, end - start);
    line.TrimRight(L'\r');
    const int equals = line.Find(L'=');
    if (equals >= 0 && line.Left(equals) == value) {
      caption = line.Mid(equals + 1);
      return true;
    }
    start = end + 1;
  }
  return false;
}

// The user's decimal separator (the locale table's, "," when it gives none).
CString UserDecimal() {
  wchar_t separator[8] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 0 || !separator[0]) return CString(L",");
  return CString(separator);
}

}  // namespace

BOOL CGXControl::GetControlText(CString& text, ROWCOL, ROWCOL, LPCWSTR value, const CGXStyle& style) {
  const CString shown = value ? CString(value) : style.GetValue();
  if (style.GetChoiceList().IsEmpty()) {
    text = shown;
    return TRUE;
  }
  text.Empty();
  return ChoiceCaption(style.GetChoiceList(), shown, text) ? TRUE : FALSE;
}

namespace {

}  // namespace

LPCWSTR FlgColumnText(LPCWSTR text) { return !text || IS_INTRESOURCE(text) ? L"" : text; }

namespace {
// A column the grid shows: not hidden, and naming a field (an empty record shows nothing).
bool IsShown(const FlgColumnInfo& c) { return !(c.flags & kFlgColHidden) && *FlgColumnText(c.field); }
}  // namespace

// ---------------------------------------------------------------------------------------------
// CBaseGrid

CBaseGrid::~CBaseGrid() {
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow();
}

BOOL CBaseGrid::CreateGrid(CWnd* parent, UINT id, const RECT& rect) {
  RegisterGridClass();
  if (!CreateEx(WS_EX_CLIENTEDGE, kFlgGridClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, rect, parent, id)) return FALSE;
  if (parent) {
    if (CFont* font = parent->GetFont()) SetFont(font, FALSE);
  }
  EnsureVisible();
  return TRUE;
}

void CBaseGrid::SetColumns(const FlgColumnInfo* columns, int count) {
  m_columns.clear();
  if (columns && count > 0) m_columns.assign(columns, columns + count);
  m_sortColumn = -1;
  m_sortDescending = false;
  if (m_hWnd) Invalidate();
}

int CBaseGrid::FindColumn(const wchar_t* field) const {
  if (!field) return -1;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    const wchar_t* f = FlgColumnText(m_columns[i].field);
    if (_wcsicmp(f, field) == 0) return static_cast<int>(i);
  }
  return -1;
}

void CBaseGrid::ReadRows() {
  m_rows.clear();
  m_ids.clear();
  if (m_rs == nullptr) return;
  const LONG state = m_rs->State;
  if (!(state & adStateOpen)) return;
  if (m_rs->adoEOF && m_rs->BOF) return;
  m_rs->MoveFirst();
  while (!m_rs->adoEOF) {
    m_rows.push_back(m_rs->Bookmark);
    _variant_t id;
    if (!m_key.IsEmpty()) {
      if (FieldPtr field = FieldNamed(m_rs, m_key)) id = field->GetValue();
    }
    m_ids.push_back(id);
    m_rs->MoveNext();
  }
}

void CBaseGrid::Load(const _RecordsetPtr& rs, const wchar_t* key) {
  const _variant_t previous = GetID();
  m_rs = rs;
  m_key = key ? key : L"";
  m_rows.clear();
  m_ids.clear();
  m_selected.clear();
  m_current = -1;
  try {
    if (m_rs != nullptr && m_sortColumn >= 0 && m_sortColumn < GetColumnCount()) {
      const FlgColumnInfo& c = m_columns[static_cast<size_t>(m_sortColumn)];
      CString order = m_sortDescending ? FlgColumnText(c.sortDesc) : FlgColumnText(c.sortAsc);
      if (order.IsEmpty()) order.Format(m_sortDescending ? L"%s DESC" : L"%s", FlgColumnText(c.field));
      m_rs->Sort = _bstr_t(static_cast<const wchar_t*>(order));
    }
    ReadRows();
  } catch (const _com_error&) {
    m_rows.clear();
    m_ids.clear();
    m_selected.clear();
    m_current = -1;
    if (m_hWnd) Invalidate();
    Notify(kFlgListRowChanged);
    Notify(kFlgListSelChanged);
    throw;
  }
  m_selected.assign(m_rows.size(), false);
  int row = m_rows.empty() ? -1 : 0;
  for (size_t i = 0; i < m_ids.size(); ++i) {
    if (SameId(m_ids[i], previous)) {
      row = static_cast<int>(i);
      break;
    }
  }
  m_current = row;
  if (row >= 0) {
    m_selected[static_cast<size_t>(row)] = true;
    Position(row);
  }
  if (m_top > TopRowLimit()) m_top = TopRowLimit();
  EnsureVisible();
  if (m_hWnd) Invalidate();
  Notify(kFlgListRowChanged);
  Notify(kFlgListSelChanged);
}

bool CBaseGrid::Position(int row) const {
  if (m_rs == nullptr || row < 0 || row >= GetRowCount()) return false;
  try {
    m_rs->Bookmark = m_rows[static_cast<size_t>(row)];
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

BOOL CBaseGrid::SetCurrentRow(int row) {
  if (row < 0 || row >= GetRowCount()) return FALSE;
  const bool selectionChanges = GetSelectedCount() != 1 || !m_selected[static_cast<size_t>(row)];
  std::fill(m_selected.begin(), m_selected.end(), false);
  m_selected[static_cast<size_t>(row)] = true;
  ChangeCurrent(row, false);
  if (selectionChanges) Notify(kFlgListSelChanged);
  return TRUE;
}

void CBaseGrid::ChangeCurrent(int row, bool notifyAlways) {
  const bool changed = row != m_current;
  m_current = row;
  Position(row);
  EnsureVisible();
  if (m_hWnd) Invalidate();
  if (changed || notifyAlways) Notify(kFlgListRowChanged);
}

_variant_t CBaseGrid::GetID() const { return GetRowID(m_current); }

_variant_t CBaseGrid::GetRowID(int row) const {
  if (row < 0 || row >= GetRowCount()) return _variant_t();
  return m_ids[static_cast<size_t>(row)];
}

BOOL CBaseGrid::GetValue(int row, const wchar_t* field, _variant_t& value) const {
  value.Clear();
  if (!field || !Position(row)) return FALSE;
  FieldPtr f = FieldNamed(m_rs, field);
  if (!f) {
    Position(m_current);
    return FALSE;
  }
  bool ok = true;
  try {
    value = f->GetValue();
  } catch (const _com_error&) {
    ok = false;
  }
  Position(m_current);
  return ok ? TRUE : FALSE;
}

CString CBaseGrid::GetCellText(int row, int column) const {
  if (column < 0 || column >= GetColumnCount()) return CString();
  const FlgColumnInfo& c = m_columns[static_cast<size_t>(column)];
  _variant_t v;
  if (!GetValue(row, FlgColumnText(c.field), v)) return CString();
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return CString();
  if (c.flags & kFlgColCheck) {
    _variant_t b;
    if (FAILED(VariantChangeType(&b, &v, 0, VT_BOOL))) return CString();
    return b.boolVal ? CString(L"1") : CString(L"0");
  }
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return CString();
  return CString(text.bstrVal ? text.bstrVal : L"");
}

CString CBaseGrid::GetDisplayText(int row, int column) const {
  CString text = GetCellText(row, column);
  if (column < 0 || column >= GetColumnCount() || text.IsEmpty()) return text;
  const FlgColumnInfo& c = m_columns[static_cast<size_t>(column)];
  if (c.fieldType == kFlgFieldAmount) {
    text.Replace(L".", UserDecimal());
  } else if (c.fieldType == kFlgFieldChoice) {
    CString caption;
    text = ChoiceCaption(FlgColumnText(c.choices), text, caption) ? caption : CString();
  }
  return text;
}

ROWCOL CBaseGrid::GetColCount() const {
  ROWCOL count = 0;
  for (const FlgColumnInfo& c : m_columns)
    if (IsShown(c)) ++count;
  return count;
}

int CBaseGrid::GetCfgIndexForColumn(ROWCOL col) const {
  if (col == 0) return -1;
  ROWCOL shown = 0;
  for (size_t i = 0; i < m_columns.size(); ++i) {
    if (!IsShown(m_columns[i])) continue;
    if (++shown == col) return static_cast<int>(i);
  }
  return -1;
}

CString CBaseGrid::GetValueRowCol(ROWCOL row, ROWCOL col) {
  const int index = GetCfgIndexForColumn(col);
  if (index < 0) return CString();
  if (row == 0) return FlgColumnText(m_columns[static_cast<size_t>(index)].caption);
  if (row > static_cast<ROWCOL>(GetRowCount())) return CString();
  // The value as the cell holds it: a choice cell its value, an amount with the user's separator.
  const FlgColumnInfo& c = m_columns[static_cast<size_t>(index)];
  if (c.fieldType == kFlgFieldChoice) return GetCellText(static_cast<int>(row) - 1, index);
  return GetDisplayText(static_cast<int>(row) - 1, index);
}

void CBaseGrid::ComposeStyleRowCol(ROWCOL row, ROWCOL col, CGXStyle* style) {
  if (!style) return;
  *style = CGXStyle();
  style->SetValue(GetValueRowCol(row, col));
  const int index = GetCfgIndexForColumn(col);
  if (index >= 0 && row > 0 && m_columns[static_cast<size_t>(index)].fieldType == kFlgFieldChoice)
    style->SetChoiceList(FlgColumnText(m_columns[static_cast<size_t>(index)].choices));
}

CGXControl* CBaseGrid::GetControl(ROWCOL, ROWCOL) {
  static CGXControl control;
  return &control;
}

int CBaseGrid::GetSelectedCount() const {
  return static_cast<int>(std::count(m_selected.begin(), m_selected.end(), true));
}

bool CBaseGrid::IsRowSelected(int row) const {
  return row >= 0 && row < static_cast<int>(m_selected.size()) && m_selected[static_cast<size_t>(row)];
}

void CBaseGrid::SelectRow(int row, bool selected) {
  if (row < 0 || row >= static_cast<int>(m_selected.size())) return;
  if (m_selected[static_cast<size_t>(row)] == selected) return;
  m_selected[static_cast<size_t>(row)] = selected;
  if (m_hWnd) Invalidate();
  Notify(kFlgListSelChanged);
}

void CBaseGrid::SelectAllRows() {
  if (std::all_of(m_selected.begin(), m_selected.end(), [](bool s) { return s; })) return;
  std::fill(m_selected.begin(), m_selected.end(), true);
  if (m_hWnd) Invalidate();
  Notify(kFlgListSelChanged);
}

BOOL CBaseGrid::MoveToId(const _variant_t& id) {
  for (size_t i = 0; i < m_ids.size(); ++i)
    if (SameId(m_ids[i], id)) return SetCurrentRow(static_cast<int>(i));
  return FALSE;
}

BOOL CBaseGrid::RemoveRow(const _variant_t& id) {
  for (size_t i = 0; i < m_ids.size(); ++i) {
    if (!SameId(m_ids[i], id)) continue;
    const int row = static_cast<int>(i);
    const bool wasSelected = m_selected[i];
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(i));
    m_ids.erase(m_ids.begin() + static_cast<std::ptrdiff_t>(i));
    m_selected.erase(m_selected.begin() + static_cast<std::ptrdiff_t>(i));
    if (m_top > TopRowLimit()) m_top = TopRowLimit();
    if (row == m_current) {
      // The next row (else the one before) becomes current.
      m_current = -1;
      const int next = row < GetRowCount() ? row : row - 1;
      if (next >= 0) {
        m_selected[static_cast<size_t>(next)] = true;
        ChangeCurrent(next, true);
      } else {
        if (m_hWnd) Invalidate();
        Notify(kFlgListRowChanged);
      }
      Notify(kFlgListSelChanged);
    } else {
      if (row < m_current) --m_current;
      Position(m_current);
      if (m_hWnd) Invalidate();
      if (wasSelected) Notify(kFlgListSelChanged);
    }
    return TRUE;
  }
  return FALSE;
}

void CBaseGrid::SortByColumn(int column, bool descending) {
  if (column < 0 || column >= GetColumnCount()) return;
  m_sortColumn = column;
  m_sortDescending = descending;
  Load(m_rs, m_key);
}

void CBaseGrid::Notify(UINT message) const {
  if (!m_hWnd || !IsWindow(m_hWnd)) return;
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  ::SendMessageW(parent, message, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(m_container));
}

void CBaseGrid::NotifyCommand(UINT code) const {
  if (!m_hWnd || m_current < 0) return;
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  NMHDR header{};
  header.hwndFrom = m_hWnd;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
  header.code = code;
  ::SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// --- layout

CRect CBaseGrid::ColumnRect(int column) const {
  if (!m_hWnd || column < 0 || column >= GetColumnCount()) return CRect();
  if (!IsShown(m_columns[static_cast<size_t>(column)])) return CRect();
  CRect client;
  GetClientRect(client);
  int total = 0;
  for (const FlgColumnInfo& c : m_columns)
    if (IsShown(c)) total += std::max(c.width, 1);
  int x = 0;
  int sum = 0;
  for (int i = 0; i < GetColumnCount(); ++i) {
    const FlgColumnInfo& c = m_columns[static_cast<size_t>(i)];
    if (!IsShown(c)) continue;
    sum += std::max(c.width, 1);
    const int right = total ? client.Width() * sum / total : 0;
    if (i == column) return CRect(x, 0, right, client.bottom);
    x = right;
  }
  return CRect();
}

CRect CBaseGrid::RowRect(int row) const {
  if (!m_hWnd) return CRect();
  CRect client;
  GetClientRect(client);
  const int top = kHeaderHeight + (row - m_top) * kRowHeight;
  return CRect(0, top, client.right, top + kRowHeight);
}

int CBaseGrid::RowAt(CPoint point) const {
  if (point.y < kHeaderHeight) return -1;
  const int row = m_top + (point.y - kHeaderHeight) / kRowHeight;
  return row < GetRowCount() ? row : -1;
}

int CBaseGrid::TopRowLimit() const {
  if (!m_hWnd) return 0;
  CRect client;
  GetClientRect(client);
  const int visible = std::max(1, (client.Height() - kHeaderHeight) / kRowHeight);
  return std::max(0, GetRowCount() - visible);
}

void CBaseGrid::EnsureVisible() {
  if (!m_hWnd || m_current < 0) return;
  CRect client;
  GetClientRect(client);
  const int visible = std::max(1, (client.Height() - kHeaderHeight) / kRowHeight);
  if (m_current < m_top) m_top = m_current;
  if (m_current >= m_top + visible) m_top = m_current - visible + 1;
}

// --- input

LRESULT CBaseGrid::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTALLKEYS;
    case WM_LBUTTONDOWN:
      SetFocus();
      OnClick(CPoint(lParam), static_cast<UINT>(wParam));
      return 0;
    case WM_LBUTTONDBLCLK: {
      const int row = RowAt(CPoint(lParam));
      if (row >= 0) {
        if (row != m_current) SetCurrentRow(row);
        NotifyCommand(kFlgListEditNotify);
      }
      return 0;
    }
    case WM_KEYDOWN:
      OnKey(static_cast<UINT>(wParam));
      return 0;
    case WM_SIZE:
      if (m_top > TopRowLimit()) m_top = TopRowLimit();
      EnsureVisible();
      Invalidate();
      break;
    default: break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

void CBaseGrid::OnClick(CPoint point, UINT flags) {
  if (point.y < kHeaderHeight) {
    for (int i = 0; i < GetColumnCount(); ++i) {
      const CRect r = ColumnRect(i);
      if (!r.IsRectEmpty() && point.x >= r.left && point.x < r.right) {
        SortByColumn(i, m_sortColumn == i && !m_sortDescending);
        return;
      }
    }
    return;
  }
  const int row = RowAt(point);
  if (row < 0) return;
  if ((flags & MK_CONTROL) || KeyHeld(VK_CONTROL)) {
    const bool was = IsRowSelected(row);
    m_selected[static_cast<size_t>(row)] = !was;
    ChangeCurrent(row, false);
    Notify(kFlgListSelChanged);
  } else if (((flags & MK_SHIFT) || KeyHeld(VK_SHIFT)) && m_current >= 0) {
    const int from = std::min(row, m_current);
    const int to = std::max(row, m_current);
    for (int i = 0; i < GetRowCount(); ++i) m_selected[static_cast<size_t>(i)] = i >= from && i <= to;
    ChangeCurrent(row, false);
    Notify(kFlgListSelChanged);
  } else {
    SetCurrentRow(row);
  }
}

void CBaseGrid::OnKey(UINT key) {
  constexpr UINT kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24, kUp = 0x26, kDown = 0x28;
  if (key == VK_RETURN) {
    NotifyCommand(kFlgListEditNotify);
    return;
  }
  if (key == VK_DELETE) {
    NotifyCommand(kFlgListDeleteNotify);
    return;
  }
  if (key == 'A' && KeyHeld(VK_CONTROL)) {
    SelectAllRows();
    return;
  }
  if (key == 'P' && KeyHeld(VK_CONTROL)) {
    if (m_container && m_container->GetPrinter()) {
      const HRESULT hr = m_container->PrintList();
      if (FAILED(hr)) {
        CString text;
        text.Format(L"Nie można wydrukować listy (błąd 0x%08X).", static_cast<unsigned>(hr));
        ::MessageBoxW(m_hWnd, text, L"Drukowanie", MB_OK | MB_ICONERROR);
      }
    }
    return;
  }
  const int count = GetRowCount();
  if (count == 0) return;
  CRect client;
  if (m_hWnd) GetClientRect(client);
  const int page = std::max(1, (client.Height() - kHeaderHeight) / kRowHeight);
  int row = m_current;
  switch (key) {
    case kUp: row = row <= 0 ? 0 : row - 1; break;
    case kDown: row = row < 0 ? 0 : std::min(count - 1, row + 1); break;
    case kHome: row = 0; break;
    case kEnd: row = count - 1; break;
    case kPrior: row = std::max(0, row - page); break;
    case kNext: row = std::min(count - 1, std::max(row, 0) + page); break;
    default: return;
  }
  SetCurrentRow(row);
}

// --- painting

void CBaseGrid::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  dc.FillSolidRect(client, GetSysColor(COLOR_WINDOW));
  HGDIOBJ oldFont = nullptr;
  if (CFont* font = GetFont()) oldFont = dc.SelectObject(static_cast<HGDIOBJ>(*font));
  dc.SetBkMode(TRANSPARENT);
  CPen grid(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
  CPen dark(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  CPen* oldPen = dc.SelectObject(&grid);

  // Captions.
  CRect header(0, 0, client.right, kHeaderHeight);
  dc.FillSolidRect(header, GetSysColor(COLOR_BTNFACE));
  for (int i = 0; i < GetColumnCount(); ++i) {
    CRect r = ColumnRect(i);
    if (r.IsRectEmpty()) continue;
    r.bottom = kHeaderHeight;
    dc.Draw3dRect(r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    const FlgColumnInfo& c = m_columns[static_cast<size_t>(i)];
    CString caption = FlgColumnText(c.caption);
    CRect text = r;
    text.DeflateRect(3, 0);
    const CString shortCaption = FlgColumnText(c.shortCaption);
    if (!shortCaption.IsEmpty() && dc.GetTextExtent(caption).cx > text.Width()) caption = shortCaption;
    if (i == m_sortColumn) caption += m_sortDescending ? L" \u25BC" : L" \u25B2";
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc.DrawText(caption, text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  }

  // Rows.
  for (int row = m_top; row < GetRowCount(); ++row) {
    const CRect line = RowRect(row);
    if (line.top >= client.bottom) break;
    const bool selected = IsRowSelected(row);
    if (selected) dc.FillSolidRect(line, GetSysColor(COLOR_HIGHLIGHT));
    dc.SetTextColor(GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    for (int i = 0; i < GetColumnCount(); ++i) {
      CRect cell = ColumnRect(i);
      if (cell.IsRectEmpty()) continue;
      cell.top = line.top;
      cell.bottom = line.bottom;
      const CString text = GetDisplayText(row, i);
      if (m_columns[static_cast<size_t>(i)].flags & kFlgColCheck) {
        const int size = 11;
        CRect box(cell.CenterPoint().x - size / 2, cell.CenterPoint().y - size / 2, 0, 0);
        box.right = box.left + size;
        box.bottom = box.top + size;
        dc.FillSolidRect(box, GetSysColor(COLOR_WINDOW));
        dc.SelectObject(&dark);
        dc.MoveTo(box.left, box.top);
        dc.LineTo(box.right - 1, box.top);
        dc.LineTo(box.right - 1, box.bottom - 1);
        dc.LineTo(box.left, box.bottom - 1);
        dc.LineTo(box.left, box.top);
        if (text == L"1") {
          CPen mark(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
          dc.SelectObject(&mark);
          for (int d = 0; d < 2; ++d) {
            dc.MoveTo(box.left + 2, box.top + 4 + d);
            dc.LineTo(box.left + 4, box.top + 6 + d);
            dc.LineTo(box.left + 9, box.top + 1 + d);
          }
          dc.SelectObject(&grid);
        }
        dc.SelectObject(&grid);
      } else {
        CRect t = cell;
        t.DeflateRect(3, 0);
        dc.DrawText(text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
    }
    dc.MoveTo(0, line.bottom - 1);
    dc.LineTo(client.right, line.bottom - 1);
    if (row == m_current && GetFocus() == this) dc.DrawFocusRect(line);
  }
  dc.SelectObject(oldPen);
  if (oldFont) dc.SelectObject(oldFont);
}

// ---------------------------------------------------------------------------------------------
// CListCnt

CListCnt::CListCnt() { m_grid.SetContainer(this); }

CListCnt::~CListCnt() = default;

void CListCnt::SetConfig(const FlgListInfo& list, const FlgColumnInfo* columns, int count) {
  m_list = list;
  m_grid.SetColumns(columns, count);
}

void CListCnt::SetConfig(const FlgListInfo& list, const FlgColumnInfo* columns, int count, IFlgDataFactory* factory) {
  SetConfig(list, columns, count);
  m_factory = factory;
}

const FlgColumnInfo* CListCnt::GetColumnConfig(int index) const {
  if (index < 0 || index >= m_grid.GetColumnCount()) return nullptr;
  return &m_grid.GetColumn(index);
}

void CListCnt::SetUserFilter(const wchar_t* filter) { m_filter = filter ? filter : L""; }

void CListCnt::SetUserFilter(const wchar_t* filter, LONG argument) {
  m_filter.Empty();
  if (!filter) return;
  CString formatted;
  if (formatted.FormatMessage(filter, argument))
    m_filter = formatted;
  else
    m_filter = filter;
}

CString CListCnt::BuildSql() const {
  if (m_list.table.IsEmpty()) return CString();
  CString fields;
  for (int i = 0; i < m_grid.GetColumnCount(); ++i) {
    const CString field = FlgColumnText(m_grid.GetColumn(i).field);
    if (field.IsEmpty()) continue;
    if (!fields.IsEmpty()) fields += L", ";
    fields += field;
  }
  if (fields.IsEmpty()) fields = L"*";
  CString sql;
  sql.Format(L"SELECT %s FROM %s", fields.GetString(), m_list.table.GetString());
  const CString main = m_list.alias.IsEmpty() ? m_list.table : m_list.alias;
  if (!m_list.alias.IsEmpty()) sql += L" AS " + m_list.alias;
  for (const FlgJoinInfo& join : m_list.joins) {
    const CString alias = join.alias.IsEmpty() ? join.table : join.alias;
    CString part;
    part.Format(L" LEFT JOIN %s", join.table.GetString());
    if (!join.alias.IsEmpty()) part += L" AS " + join.alias;
    part += L" ON " + alias + L"." + join.key + L" = " + main + L"." + join.column;
    sql += part;
  }
  if (!m_filter.IsEmpty()) sql += L" WHERE " + m_filter;
  return sql;
}

void CListCnt::Requery() {
  const CString sql = BuildSql();
  if (sql.IsEmpty()) return;
  if (m_factory == nullptr) _com_issue_error(E_POINTER);
  IDispatch* raw = nullptr;
  HRESULT hr = m_factory->GetDbConnection(&raw);
  if (FAILED(hr)) _com_issue_error(hr);
  IDispatchPtr connection(raw, false);
  _RecordsetPtr rs;
  hr = OpenRS(rs, connection, sql);
  if (FAILED(hr)) _com_issue_error(hr);
  SetRecordset(rs);
}

void CListCnt::SetRecordset(const _RecordsetPtr& rs) {
  m_rs = rs;
  m_grid.Load(m_rs, m_list.key);
}

BOOL CListCnt::AttachToControl(CWnd* parent, UINT id) {
  if (!parent || !parent->m_hWnd) return FALSE;
  HWND placeholder = ::GetDlgItem(parent->m_hWnd, static_cast<int>(id));
  if (!placeholder) return FALSE;
  CRect rect;
  ::GetWindowRect(placeholder, rect);
  parent->ScreenToClient(rect);
  if (m_grid.m_hWnd) m_grid.DestroyWindow();
  ::SetWindowLongW(placeholder, GWL_ID, 0);
  if (!m_grid.CreateGrid(parent, id, rect)) {
    ::SetWindowLongW(placeholder, GWL_ID, static_cast<LONG>(id));
    return FALSE;
  }
  ::SetWindowPos(m_grid.m_hWnd, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::DestroyWindow(placeholder);
  // The rows read before the window existed are shown now; the parent hears of the current row.
  m_grid.Invalidate();
  ::SendMessageW(parent->m_hWnd, kFlgListRowChanged, id, reinterpret_cast<LPARAM>(this));
  ::SendMessageW(parent->m_hWnd, kFlgListSelChanged, id, reinterpret_cast<LPARAM>(this));
  if (m_factory != nullptr && !m_list.table.IsEmpty()) Requery();
  return TRUE;
}

HRESULT CListCnt::GetCurrentValue(const wchar_t* name, _variant_t& value) const {
  if (m_grid.GetCurrentRow() < 0) return E_FAIL;
  return m_grid.GetValue(m_grid.GetCurrentRow(), name, value) ? S_OK : DISP_E_MEMBERNOTFOUND;
}
