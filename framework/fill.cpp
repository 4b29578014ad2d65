#include "framework/fill.h"

#include <string>
#include <vector>

#include "framework/zephra.h"

namespace {

struct Messages {
  UINT reset, add, insert, setData, error;
};
constexpr Messages kCombo{CB_RESETCONTENT, CB_ADDSTRING, CB_INSERTSTRING, CB_SETITEMDATA, static_cast<UINT>(CB_ERR)};
constexpr Messages kList{LB_RESETCONTENT, LB_ADDSTRING, LB_INSERTSTRING, LB_SETITEMDATA, static_cast<UINT>(LB_ERR)};

int Insert(HWND control, const Messages& m, int position, const wchar_t* text, LONG data) {
  if (!control) return -1;
  const LPARAM t = reinterpret_cast<LPARAM>(text ? text : L"");
  const LRESULT index = position < 0 ? SendMessageW(control, m.add, 0, t)
                                     : SendMessageW(control, m.insert, static_cast<WPARAM>(position), t);
  if (index < 0) return -1;
  if (SendMessageW(control, m.setData, static_cast<WPARAM>(index), static_cast<LPARAM>(data)) < 0) return -1;
  return static_cast<int>(index);
}

int AddAt(CFlgDataExchange& dx, UINT id, const Messages& m, int position, const wchar_t* text, LONG data) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return -1;
  const LRESULT count = SendMessageW(control, m.add == CB_ADDSTRING ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  if (position > count) position = -1;
  return Insert(control, m, position, text, data);
}

// A column's value as display text: NULL and EMPTY give an empty text.
std::wstring Text(const _variant_t& v) {
  if (v.vt == VT_NULL || v.vt == VT_EMPTY) return std::wstring();
  if (v.vt == VT_BSTR) return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
  VARIANT converted;
  VariantInit(&converted);
  std::wstring out;
  if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_BSTR)) && converted.bstrVal)
    out.assign(converted.bstrVal, SysStringLen(converted.bstrVal));
  VariantClear(&converted);
  return out;
}

std::wstring Formatted(const wchar_t* format, const std::vector<std::wstring>& args) {
  std::vector<DWORD_PTR> pointers;
  for (const std::wstring& a : args) pointers.push_back(reinterpret_cast<DWORD_PTR>(a.c_str()));
  while (pointers.size() < 9) pointers.push_back(reinterpret_cast<DWORD_PTR>(L""));
  LPWSTR buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 format, 0, 0, reinterpret_cast<LPWSTR>(&buffer), 0,
                                 reinterpret_cast<va_list*>(pointers.data()));
  std::wstring out = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  return out;
}

int Fill(CFlgDataExchange& dx, UINT id, const Messages& m, _Recordset* rs, const wchar_t* keyColumn, const wchar_t* format,
         const wchar_t* const* columns, int columnCount, bool reset) {
  HWND control = dx.PrepareCtrl(id);
  if (!control || !rs || !keyColumn || !format || columnCount < 0 || columnCount > 9 || (columnCount > 0 && !columns))
    return 0;
  try {
    _RecordsetPtr rows(rs);
    FieldsPtr fields = rows->GetFields();
    FieldPtr key = fields->GetItem(_variant_t(keyColumn));
    std::vector<FieldPtr> shown;
    for (int i = 0; i < columnCount; ++i) {
      if (!columns[i]) return 0;
      shown.push_back(fields->GetItem(_variant_t(columns[i])));
    }
    if (reset) SendMessageW(control, m.reset, 0, 0);
    if (rows->GetadoEOF() && rows->GetBOF()) return 1;
    rows->MoveFirst();
    while (!rows->GetadoEOF()) {
      _variant_t keyValue = key->GetValue();
      VARIANT asLong;
      VariantInit(&asLong);
      if (FAILED(VariantChangeType(&asLong, &keyValue, 0, VT_I4))) return 0;
      std::vector<std::wstring> args;
      for (const FieldPtr& f : shown) args.push_back(Text(f->GetValue()));
      if (Insert(control, m, -1, Formatted(format, args).c_str(), asLong.lVal) < 0) return 0;
      rows->MoveNext();
    }
    return 1;
  } catch (const _com_error&) {
    return 0;
  }
}

int FillTable(CFlgDataExchange& dx, UINT id, const Messages& m, _Connection* connection, const wchar_t* table,
              const wchar_t* keyColumn, const wchar_t* textColumn, bool reset) {
  if (!connection || !table || !keyColumn || !textColumn) return 0;
  CString sql;
  sql.Format(L"SELECT %s, %s FROM %s", keyColumn, textColumn, table);
  _RecordsetPtr rs;
  if (FAILED(OpenRS(rs, connection, sql, adOpenStatic, adLockReadOnly))) return 0;
  const wchar_t* columns[] = {textColumn};
  return Fill(dx, id, m, rs, keyColumn, L"%1!ls!", columns, 1, reset);
}

}  // namespace

int CB_Fill(CFlgDataExchange& dx, UINT id, _Recordset* rs, const wchar_t* keyColumn, const wchar_t* format,
            const wchar_t* const* columns, int columnCount, bool reset) {
  return Fill(dx, id, kCombo, rs, keyColumn, format, columns, columnCount, reset);
}
int LB_Fill(CFlgDataExchange& dx, UINT id, _Recordset* rs, const wchar_t* keyColumn, const wchar_t* format,
            const wchar_t* const* columns, int columnCount, bool reset) {
  return Fill(dx, id, kList, rs, keyColumn, format, columns, columnCount, reset);
}
int CB_Fill(CFlgDataExchange& dx, UINT id, _Connection* connection, const wchar_t* table, const wchar_t* keyColumn,
            const wchar_t* textColumn, bool reset) {
  return FillTable(dx, id, kCombo, connection, table, keyColumn, textColumn, reset);
}
int LB_Fill(CFlgDataExchange& dx, UINT id, _Connection* connection, const wchar_t* table, const wchar_t* keyColumn,
            const wchar_t* textColumn, bool reset) {
  return FillTable(dx, id, kList, connection, table, keyColumn, textColumn, reset);
}

int CB_Add(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data) { return AddAt(dx, id, kCombo, -1, text, data); }
int LB_Add(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data) { return AddAt(dx, id, kList, -1, text, data); }
int CB_AddAt(CFlgDataExchange& dx, UINT id, int position, const wchar_t* text, LONG data) {
  return AddAt(dx, id, kCombo, position, text, data);
}
int LB_AddAt(CFlgDataExchange& dx, UINT id, int position, const wchar_t* text, LONG data) {
  return AddAt(dx, id, kList, position, text, data);
}
int CB_AddEmpty(CFlgDataExchange& dx, UINT id, const wchar_t* text, LONG data) { return AddAt(dx, id, kCombo, 0, text, data); }

BOOL CB_ResetContent(CFlgDataExchange& dx, UINT id) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return FALSE;
  SendMessageW(control, CB_RESETCONTENT, 0, 0);
  return TRUE;
}
BOOL LB_ResetContent(CFlgDataExchange& dx, UINT id) {
  HWND control = dx.PrepareCtrl(id);
  if (!control) return FALSE;
  SendMessageW(control, LB_RESETCONTENT, 0, 0);
  return TRUE;
}
