// The field-change tracker and its value formatters.
#include "shared/tracker.h"

#include "platform/gui/olecurrency.h"
#include "platform/strings/oledatetime.h"
#include "shared/sqltools.h"

namespace {
constexpr wchar_t kNoValue[] = L"(brak)";

bool IsNull(const _variant_t& v) { return v.vt == VT_NULL; }
}  // namespace

CString CHxDefaultTrackedValueFormater::FormatValue(const _variant_t& value) {
  if (IsNull(value)) return m_nullText;
  VARIANT text;
  VariantInit(&text);
  const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
  if (FAILED(hr)) _com_issue_error(hr);
  CString out(text.bstrVal ? text.bstrVal : L"");
  VariantClear(&text);
  return out;
}

CString CHxSimpleSqlValueFormater::FormatValue(const _variant_t& value) {
  if (value.vt != VT_I4) return CHxDefaultTrackedValueFormater::FormatValue(value);
  CString sql;
  sql.Format(m_sqlFormat, value.lVal);
  _variant_t found;
  hxGetValueFromSql(sql, found);
  return CHxDefaultTrackedValueFormater::FormatValue(found);
}

CString CHxCurrencyValueFormater::FormatValue(const _variant_t& value) {
  if (value.vt != VT_CY) return CString(L"0");
  return COleCurrency(value).Format(0, LOCALE_USER_DEFAULT);
}

CString CHxDateTimeValueFormater::FormatValue(const _variant_t& value) {
  if (value.vt != VT_DATE && value.vt != VT_R8) return CString(kNoValue);
  COleDateTime date(value.vt == VT_DATE ? value.date : value.dblVal);
  return date.Format(0, LOCALE_USER_DEFAULT);
}

CString CHxCustomMapValueFormater::FormatValue(const _variant_t& value) {
  if (value.vt == VT_BOOL) return GetStringFor(value.boolVal != VARIANT_FALSE ? 1 : 0);
  if (value.vt == VT_I4) return GetStringFor(value.lVal);
  return CString(kNoValue);
}

CString CHxCustomMapValueFormater::GetStringFor(LONG index) {
  if (index < 0) return CString();
  int start = 0;
  for (LONG i = 0;; ++i) {
    if (start > m_map.GetLength()) return CString();
    int bar = m_map.Find(L'|', start);
    const CString entry = bar < 0 ? m_map.Mid(start) : m_map.Mid(start, bar - start);
    if (entry.IsEmpty()) return CString();
    if (i == index) return entry;
    if (bar < 0) return CString();
    start = bar + 1;
  }
}

// ---------------------------------------------------------------------------------------------
// CHxTrackedFieldEx

CHxTrackedFieldEx::CHxTrackedFieldEx(IFlgDataSet* dataSet, LONG index, const wchar_t* field)
    : CHxTrackedField(dataSet, index, field) {}

CHxTrackedFieldEx::CHxTrackedFieldEx(IFlgDataSet* dataSet, LONG index, const wchar_t* field, const wchar_t* text)
    : CHxTrackedField(dataSet, index, field, text) {}

CHxTrackedFieldEx::~CHxTrackedFieldEx() {
  if (m_formatter) m_formatter->Free();
}

void CHxTrackedFieldEx::SetFormatter(CHxTrackedValueFormater* formatter) {
  if (m_formatter == formatter) return;
  if (m_formatter) m_formatter->Free();
  m_formatter = formatter;
}

CHxTrackedValueFormater* CHxTrackedFieldEx::ValueFormater() {
  if (!m_formatter) m_formatter = new CHxDefaultTrackedValueFormater();
  return m_formatter;
}

BOOL CHxTrackedFieldEx::DataChanged() {
  const _variant_t current = CurrentValue();
  try {
    return m_saved == current ? FALSE : TRUE;
  } catch (const _com_error&) {
    // Values that cannot be compared (arrays, records) count as changed.
    return TRUE;
  }
}

CString CHxTrackedFieldEx::ChangeDescr() {
  if (m_described) return m_descr;
  CString text;
  if (!m_customDescr.IsEmpty()) text = m_customDescr;
  else text.Format(L"Zmieniono pole %ls", FieldText().GetString());
  const _variant_t before = m_saved;
  const _variant_t after = CurrentValue();
  CHxTrackedValueFormater* f = ValueFormater();
  CString suffix;
  DisplayedValue mode = m_display;
  if (mode == dvAuto) mode = IsNull(after) ? dvOld : IsNull(before) ? dvNew : dvOldAndNew;
  switch (mode) {
    case dvOldAndNew:
      suffix.Format(L" (%s -> %s)", f->FormatValue(before).GetString(), f->FormatValue(after).GetString());
      break;
    case dvOld: suffix.Format(L" (poprzednia wartość: %s)", f->FormatValue(before).GetString()); break;
    case dvNew: suffix.Format(L" (nowa wartość: %s)", f->FormatValue(after).GetString()); break;
    default: break;
  }
  m_descr = text + suffix;
  m_described = true;
  return m_descr;
}

// ---------------------------------------------------------------------------------------------
// CHxTracker

CHxTrackedFieldEx* CHxTracker::AddFieldEx(const wchar_t* field, const wchar_t* text) {
  auto* item = new CHxTrackedFieldEx(FlgDataSetPtr(), DataSetIndex(), field, text);
  AddItem(item);
  return item;
}
