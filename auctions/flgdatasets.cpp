// The data-object base's data sets: the description the factory reads, the recordsets it fills,
// reading them on first use, adding and deleting rows with temporary keys, and on these the named
// attributes, the copy of an object's rows and the history snapshot.
#include <new>

#include "auctions/dberror.h"
#include "auctions/flgobject.h"
#include "shared/hxcheck.h"
#include "shared/resstrings.h"
#include "shared/sqltools.h"

namespace {

bool IsMissing(const VARIANT& v) { return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND); }

bool IsEmptyValue(const _variant_t& v) {
  return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_BSTR && SysStringLen(v.bstrVal) == 0);
}

bool Empty(const _RecordsetPtr& rs) { return rs->GetBOF() && rs->GetadoEOF(); }

LONG LongOf(const _variant_t& v) {
  if (v.vt == VT_I4) return v.lVal;
  return static_cast<LONG>(v);
}

FieldPtr FieldOf(const _RecordsetPtr& rs, const wchar_t* name) { return rs->GetFields()->GetItem(_variant_t(name)); }

// The criterion "column=key" (a key of a data set, temporary keys included).
_variant_t KeyCriterion(const wchar_t* column, LONG key) {
  CString text;
  text.Format(L"%ls=%d", column, key);
  return _variant_t(text.GetString());
}

// The keys of the rows of `rs` (column `keyColumn`) whose `column` equals `value`.
std::vector<LONG> KeysWhere(const _RecordsetPtr& rs, const wchar_t* column, LONG value, const wchar_t* keyColumn) {
  std::vector<LONG> keys;
  if (Empty(rs)) return keys;
  CFlgFilterScope scope(rs);
  rs->PutFilter(KeyCriterion(column, value));
  for (; !rs->GetadoEOF(); rs->MoveNext()) {
    _variant_t key = FieldOf(rs, keyColumn)->GetValue();
    if (key.vt != VT_NULL && key.vt != VT_EMPTY) keys.push_back(LongOf(key));
  }
  return keys;
}

constexpr std::size_t kStatementRoom = 1024;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The key map of a copy

CString CFlgKeyMap::Key(const wchar_t* table, const wchar_t* column, LONG oldKey) {
  CString key;
  key.Format(L"%ls_%ls_%d", table ? table : L"", column ? column : L"", oldKey);
  return key;
}

void CFlgKeyMap::Set(const wchar_t* table, const wchar_t* column, LONG oldKey, LONG newKey) {
  m_map[Key(table, column, oldKey).str()] = newKey;
}

bool CFlgKeyMap::Lookup(const wchar_t* table, const wchar_t* column, LONG oldKey, LONG* newKey) const {
  auto it = m_map.find(Key(table, column, oldKey).str());
  if (it == m_map.end()) return false;
  if (newKey) *newKey = it->second;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Definitions and recordsets

void CComFlgObject::RequireIndex(LONG index) const {
  if (m_lDefinitionCount == 0) _com_issue_error(E_FAIL);
  if (index < 0 || index >= m_lDefinitionCount) _com_issue_error(E_INVALIDARG);
}

const FlgDataSetDef& CComFlgObject::Def(LONG index) const {
  RequireIndex(index);
  return m_pDefinitions[index];
}

void CComFlgObject::SizeArrays() {
  const auto count = static_cast<std::size_t>(m_lDefinitionCount);
  if (m_sets.size() < count) m_sets.resize(count);
  if (m_secondSets.size() < count) m_secondSets.resize(count);
}

// Reads data set `index` when it has no recordset, then its parent, and so on up to a data set
// that has one or one whose parent is the main data set.
void CComFlgObject::ReadLazily(LONG index) {
  SizeArrays();
  LONG current = index;
  for (LONG steps = 0; steps < m_lDefinitionCount; ++steps) {
    if (m_sets[static_cast<std::size_t>(current)]) break;
    if (!m_spFactory) _com_issue_error(E_FAIL);
    hx::Check(m_spFactory->ReadDataSet(static_cast<IFlgDataSetup*>(this), current));
    const LONG parent = Def(current).parent;
    if (current == 0 || parent == 0 || parent == current || parent < 0 || parent >= m_lDefinitionCount) break;
    current = parent;
  }
}

_RecordsetPtr CComFlgObject::DataSet(LONG index) {
  RequireIndex(index);
  ReadLazily(index);
  _RecordsetPtr rs = m_sets[static_cast<std::size_t>(index)];
  if (!rs) _com_issue_error(E_FAIL);
  return rs;
}

STDMETHODIMP CComFlgObject::GetDataSet(LONG index, IUnknown** recordset) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!recordset) return E_INVALIDARG;
  *recordset = nullptr;
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  return FlgBoundary(L"Błąd odczytu z bazy danych.", [&]() -> HRESULT {
    _RecordsetPtr rs = DataSet(index);
    if (index == 0 && !Empty(rs)) rs->MoveFirst();
    *recordset = static_cast<IUnknown*>(rs.Detach());
    return S_OK;
  });
}

STDMETHODIMP CComFlgObject::SetDataSet(LONG index, IUnknown* recordset) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  SizeArrays();
  _RecordsetPtr rs(recordset);
  if (recordset && !rs) return E_NOINTERFACE;
  m_sets[static_cast<std::size_t>(index)] = rs;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetDefinition(LONG index, const FlgDataSetDef** definition) {
  if (!definition) return E_INVALIDARG;
  *definition = nullptr;
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  *definition = &m_pDefinitions[index];
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetDefinitionCount(LONG* count) {
  if (!count) return E_INVALIDARG;
  *count = m_lDefinitionCount;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetTempKey(LONG* key) {
  if (!key) return E_INVALIDARG;
  *key = m_lTempKey;
  return S_OK;
}

STDMETHODIMP CComFlgObject::SetTempKey(LONG key) {
  m_lTempKey = key;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetSecondDataSet(LONG index, IUnknown** recordset) {
  if (!recordset) return E_INVALIDARG;
  *recordset = nullptr;
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  SizeArrays();
  IUnknownPtr held = m_secondSets[static_cast<std::size_t>(index)];
  *recordset = held.Detach();
  return S_OK;
}

STDMETHODIMP CComFlgObject::SetSecondDataSet(LONG index, IUnknown* recordset) {
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  SizeArrays();
  m_secondSets[static_cast<std::size_t>(index)] = recordset;
  return S_OK;
}

STDMETHODIMP CComFlgObject::SetId(VARIANT id) { return VariantCopy(&m_vId, &id); }

STDMETHODIMP CComFlgObject::HasDataSet(LONG index, VARIANT_BOOL* has) {
  if (!has) return E_INVALIDARG;
  *has = VARIANT_FALSE;
  if (m_lDefinitionCount == 0) return E_FAIL;
  if (index < 0 || index >= m_lDefinitionCount) return E_INVALIDARG;
  SizeArrays();
  *has = m_sets[static_cast<std::size_t>(index)] ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CComFlgObject::SetPendingNotification(LONG value) {
  m_lPendingNotification = value;
  return S_OK;
}

STDMETHODIMP CComFlgObject::GetPendingNotification(LONG* value) {
  if (!value) return E_INVALIDARG;
  *value = m_lPendingNotification;
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// The main row's columns

FieldPtr CComFlgObject::MainField(const wchar_t* column) {
  _RecordsetPtr rs = DataSet(0);
  if (rs->GetadoEOF() && !rs->GetBOF()) rs->MoveFirst();
  return FieldOf(rs, column);
}

_bstr_t CComFlgObject::MainText(const wchar_t* column) {
  const _variant_t value = MainField(column)->GetValue();
  return value.vt == VT_NULL || value.vt == VT_EMPTY ? _bstr_t() : _bstr_t(value);
}

void CComFlgObject::PutMainText(const wchar_t* column, BSTR value) {
  MainField(column)->PutValue(_variant_t(value ? value : L""));
}

LONG CComFlgObject::MainLong(const wchar_t* column) {
  const _variant_t value = MainField(column)->GetValue();
  return value.vt == VT_NULL || value.vt == VT_EMPTY ? 0 : LongOf(value);
}

void CComFlgObject::PutMainLong(const wchar_t* column, LONG value) { MainField(column)->PutValue(_variant_t(value)); }

HRESULT CComFlgObject::GetMainText(const wchar_t* column, BSTR* value, HRESULT nullOut) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return nullOut;
    *value = MainText(column).Detach();
    return S_OK;
  });
}

HRESULT CComFlgObject::SetMainText(const wchar_t* column, BSTR value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    PutMainText(column, value);
    return S_OK;
  });
}

HRESULT CComFlgObject::GetMainLong(const wchar_t* column, LONG* value, HRESULT nullOut) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    if (!value) return nullOut;
    *value = MainLong(column);
    return S_OK;
  });
}

HRESULT CComFlgObject::SetMainLong(const wchar_t* column, LONG value) {
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    PutMainLong(column, value);
    return S_OK;
  });
}

// ---------------------------------------------------------------------------------------------
// Rows

FieldPtr CComFlgObject::KeyField(LONG index) {
  _RecordsetPtr rs = DataSet(index);
  if (m_setFields.size() < m_sets.size()) m_setFields.resize(m_sets.size());
  SetFields& cached = m_setFields[static_cast<std::size_t>(index)];
  if (cached.recordset.GetInterfacePtr() != rs.GetInterfacePtr()) cached = SetFields{rs, nullptr, nullptr};
  if (!cached.key) cached.key = FieldOf(rs, Def(index).key);
  return cached.key;
}

FieldPtr CComFlgObject::LinkField(LONG index) {
  KeyField(index);  // the cache entry of the present recordset
  SetFields& cached = m_setFields[static_cast<std::size_t>(index)];
  if (!cached.link) cached.link = FieldOf(m_sets[static_cast<std::size_t>(index)], Def(index).link);
  return cached.link;
}

void CComFlgObject::CompleteNewRow(LONG index, const _variant_t& link) {
  const FlgDataSetDef& def = Def(index);
  const LONG key = m_lTempKey--;
  KeyField(index)->PutValue(_variant_t(key));
  if (def.linkDirection == 1 && def.link && *def.link && !IsMissing(link)) LinkField(index)->PutValue(link);
}

LONG CComFlgObject::AddRowTo(LONG index, const _variant_t& link) {
  _RecordsetPtr rs = DataSet(index);
  rs->AddNew();
  const LONG key = m_lTempKey;
  CompleteNewRow(index, link);
  return key;
}

STDMETHODIMP CComFlgObject::CompleteRow(LONG index, VARIANT link) {
  AFX_MANAGE_STATE(m_pModuleState);
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    CompleteNewRow(index, _variant_t(link));
    return S_OK;
  });
}

STDMETHODIMP CComFlgObject::AddRow(LONG index, VARIANT link, VARIANT* key) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!key) return E_INVALIDARG;
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    const LONG added = AddRowTo(index, _variant_t(link));
    VariantClear(key);
    key->vt = VT_I4;
    key->lVal = added;
    return S_OK;
  });
}

STDMETHODIMP CComFlgObject::AddRowChecked(LONG index, VARIANT link, VARIANT* key) { return AddRow(index, link, key); }

STDMETHODIMP CComFlgObject::AddSubRowKey(LONG index, VARIANT* key) {
  AFX_MANAGE_STATE(m_pModuleState);
  if (!key) return E_INVALIDARG;
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    const FlgDataSetDef& def = Def(index);
    if (def.level != 1) return E_FAIL;
    const _variant_t link(LongOf(KeyField(def.parent)->GetValue()));
    return AddRow(index, link, key);
  });
}

STDMETHODIMP CComFlgObject::AddSubRow(LONG index) {
  _variant_t key;
  return AddSubRowKey(index, &key);
}

// Deletes the row `key` of data set `index` after the rows of its child data sets that belong to
// it; false when the row is not there.
bool CComFlgObject::DeleteRowCascade(LONG index, LONG key, int depth) {
  if (depth > m_lDefinitionCount) _com_issue_error(E_UNEXPECTED);  // definitions that loop
  const FlgDataSetDef& def = Def(index);
  _RecordsetPtr rs = DataSet(index);
  if (Empty(rs)) return false;
  CFlgFilterScope scope(rs);
  rs->PutFilter(KeyCriterion(def.key, key));
  if (rs->GetadoEOF()) return false;
  // The child rows, found while the row is still current: a child's link column holds this key
  // (direction 1), or this row's column of the child's link names the child row (direction 0).
  std::vector<std::pair<LONG, LONG>> children;
  for (LONG c = 0; c < m_lDefinitionCount; ++c) {
    const FlgDataSetDef& child = m_pDefinitions[c];
    if (c == index || child.parent != index || c == 0 || !child.link || !*child.link) continue;
    if (child.linkDirection == 1) {
      for (LONG k : KeysWhere(DataSet(c), child.link, key, child.key)) children.emplace_back(c, k);
    } else {
      _variant_t held = FieldOf(rs, child.link)->GetValue();
      if (held.vt != VT_NULL && held.vt != VT_EMPTY) children.emplace_back(c, LongOf(held));
    }
  }
  for (const auto& [c, k] : children) DeleteRowCascade(c, k, depth + 1);
  // The children were other recordsets: this one still shows the row.
  rs->Delete(adAffectCurrent);
  return true;
}

STDMETHODIMP CComFlgObject::DeleteRow(LONG index, LONG key) {
  AFX_MANAGE_STATE(m_pModuleState);
  return FlgBoundary(nullptr, [&]() -> HRESULT {
    RequireIndex(index);
    return DeleteRowCascade(index, key, 0) ? S_OK : S_FALSE;
  });
}

// ---------------------------------------------------------------------------------------------
// Required fields

HRESULT CComFlgObject::RequireField(const wchar_t* column, LONG fieldId, LONG kind, const wchar_t* message,
                                    LONG dataSet, HRESULT hr) {
  _RecordsetPtr rs = DataSet(dataSet);
  _variant_t value;
  if (!rs->GetadoEOF() && !rs->GetBOF()) value = FieldOf(rs, column)->GetValue();
  if (!IsEmptyValue(value)) return S_OK;
  AddError(fieldId, kind, message, hr);
  return hr;
}

HRESULT CComFlgObject::RequireFieldRes(const wchar_t* column, LONG fieldId, LONG kind, UINT messageId, LONG dataSet,
                                       HRESULT hr) {
  const CHxResString message(messageId);
  return RequireField(column, fieldId, kind, message, dataSet, hr);
}

// ---------------------------------------------------------------------------------------------
// Attributes

namespace {
_variant_t NameCriterion(const wchar_t* name) {
  CString text;
  text.Format(L"vxa_Nazwa = '%ls'", hxSqlQuote(name ? name : L"").GetString());
  return _variant_t(text.GetString());
}
}  // namespace

HRESULT CComFlgObject::GetAttribute(LONG dataSet, const wchar_t* name, VARIANT* value) {
  if (m_vAttributeOwner.vt == VT_NULL) return E_NOTIMPL;
  if (!value) return E_INVALIDARG;
  try {
    _RecordsetPtr rs = DataSet(dataSet);
    if (Empty(rs)) return S_FALSE;
    CFlgFilterScope scope(rs);
    rs->PutFilter(NameCriterion(name));
    if (rs->GetadoEOF()) return S_FALSE;
    _variant_t stored = FieldOf(rs, L"vxa_Wartosc")->GetValue();
    VariantClear(value);
    return VariantCopy(value, &stored);
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT CComFlgObject::SetAttribute(LONG dataSet, const wchar_t* name, const VARIANT& value) {
  if (m_vAttributeOwner.vt == VT_NULL) return E_NOTIMPL;
  try {
    _RecordsetPtr rs = DataSet(dataSet);
    bool found = false;
    {
      CFlgFilterScope scope(rs);
      if (!Empty(rs)) {
        rs->PutFilter(NameCriterion(name));
        found = !rs->GetadoEOF();
      }
      if (found) {
        if (value.vt == VT_NULL) {
          rs->Delete(adAffectCurrent);
          return S_OK;
        }
        _variant_t text;
        const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
        if (FAILED(hr)) return hr;
        FieldOf(rs, L"vxa_Wartosc")->PutValue(text);
        return S_OK;
      }
    }
    _variant_t text;
    const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    _variant_t key;
    hx::Check(AddSubRowKey(dataSet, &key));
    FieldOf(rs, L"vxa_idObiektuVx")->PutValue(m_vAttributeOwner);
    FieldOf(rs, L"vxa_Nazwa")->PutValue(_variant_t(name ? name : L""));
    FieldOf(rs, L"vxa_Wartosc")->PutValue(text);
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

// ---------------------------------------------------------------------------------------------
// Copies

HRESULT CComFlgObject::CopyFrom(IFlgItem* source, CFlgKeyMap& keys) {
  IFlgDataSetPtr from(source);
  if (!from) return E_INVALIDARG;
  for (LONG i = 0; i < m_lDefinitionCount; ++i) {
    const HRESULT hr = CopyDataSet(from, i, keys);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CComFlgObject::CopyDataSet(IFlgDataSet* source, LONG index, CFlgKeyMap& keys) {
  try {
    const FlgDataSetDef& def = Def(index);
    IUnknown* raw = nullptr;
    hx::Check(source->GetDataSet(index, &raw));
    IUnknownPtr unknown(raw, false);
    _RecordsetPtr from(unknown);
    if (!from) return E_NOINTERFACE;
    _RecordsetPtr to = DataSet(index);
    if (Empty(from)) return S_OK;
    // The columns copied as they are: those the target can write, other than the key and the
    // link that the row operations set.
    FieldsPtr fromFields = from->GetFields();
    std::vector<_bstr_t> columns;
    const LONG count = fromFields->GetCount();
    for (LONG f = 0; f < count; ++f) {
      FieldPtr field = fromFields->GetItem(_variant_t(f));
      const _bstr_t name = field->GetName();
      if (_wcsicmp(name, def.key) == 0) continue;
      if (def.linkDirection == 1 && def.link && *def.link && _wcsicmp(name, def.link) == 0) continue;
      if (!(field->GetAttributes() & (adFldUpdatable | adFldUnknownUpdatable))) continue;
      columns.push_back(name);
    }
    const bool attachedMain = def.level == 0 && !Empty(to);
    bool first = true;
    for (from->MoveFirst(); !from->GetadoEOF(); from->MoveNext()) {
      const LONG oldKey = LongOf(FieldOf(from, def.key)->GetValue());
      LONG newKey = 0;
      if (def.level == 0 && first && attachedMain) {
        to->MoveFirst();  // the row the factory attached
        newKey = LongOf(FieldOf(to, def.key)->GetValue());
      } else if (def.level != 0 && def.linkDirection == 1 && def.link && *def.link) {
        const FlgDataSetDef& parent = Def(def.parent);
        _variant_t link = FieldOf(from, def.link)->GetValue();
        LONG mapped = 0;
        if (link.vt != VT_NULL && link.vt != VT_EMPTY && keys.Lookup(parent.table, parent.key, LongOf(link), &mapped))
          link = _variant_t(mapped);
        newKey = AddRowTo(index, link);
      } else {
        newKey = AddRowTo(index, _variant_t());
      }
      first = false;
      FieldsPtr toFields = to->GetFields();
      for (const _bstr_t& column : columns) {
        Field* raw = nullptr;
        if (FAILED(toFields->get_Item(_variant_t(column), &raw)) || !raw) continue;  // not in the target
        FieldPtr target(raw, false);
        target->PutValue(FieldOf(from, column)->GetValue());
      }
      keys.Set(def.table, def.key, oldKey, newKey);
      // A parent row that names this row (direction 0) names its copy from now on.
      if (def.level != 0 && def.linkDirection == 0 && def.link && *def.link) {
        _RecordsetPtr parents = DataSet(def.parent)->Clone(adLockUnspecified);
        for (parents->MoveFirst(); !parents->GetadoEOF(); parents->MoveNext()) {
          FieldPtr link = FieldOf(parents, def.link);
          _variant_t held = link->GetValue();
          if (held.vt != VT_NULL && held.vt != VT_EMPTY && LongOf(held) == oldKey) link->PutValue(_variant_t(newKey));
        }
      }
    }
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

// ---------------------------------------------------------------------------------------------
// History snapshots

HRESULT CComFlgObject::SaveHistorySnapshot(const VARIANT& id, const wchar_t* table, const wchar_t* keyColumn,
                                           const wchar_t* historyTable, const wchar_t* orderColumn,
                                           const wchar_t* historyKeyColumn) {
  if (!table || !keyColumn || !historyTable || !orderColumn || !historyKeyColumn) return E_INVALIDARG;
  try {
    if (!m_spFactory) return S_OK;
    _ConnectionPtr connection;
    try {
      connection = Connection(m_spFactory);
    } catch (const _com_error&) {
      return S_OK;
    }
    if (!connection || !(connection->GetState() & adStateOpen)) return S_OK;
    const LONG key = LongOf(_variant_t(id));
    CString currentSql, historySql;
    currentSql.Format(L"SELECT * FROM %ls WHERE %ls=%d", table, keyColumn, key);
    historySql.Format(L"SELECT * FROM %ls WHERE %ls=%d ORDER BY %ls DESC", historyTable, historyKeyColumn, key,
                      orderColumn);
    // The statements have room for 1,024 characters: longer names are refused, not cut.
    if (static_cast<std::size_t>(currentSql.GetLength()) >= kStatementRoom ||
        static_cast<std::size_t>(historySql.GetLength()) >= kStatementRoom)
      return E_INVALIDARG;
    _RecordsetPtr current, history;
    hx::Check(OpenRS(current, connection, currentSql, adOpenStatic, adLockBatchOptimistic));
    hx::Check(OpenRS(history, connection, historySql, adOpenStatic, adLockBatchOptimistic));
    if (current->GetadoEOF()) {
      current->Close();
      history->Close();
      return S_OK;
    }
    FieldsPtr now = current->GetFields();
    FieldsPtr past = history->GetFields();
    const LONG columns = now->GetCount();
    const LONG historyColumns = past->GetCount();
    if (!history->GetadoEOF()) {
      bool same = true;
      for (LONG k = 3; k < columns && k - 1 < historyColumns && same; ++k) {
        const _variant_t a = now->GetItem(_variant_t(k))->GetValue();
        const _variant_t b = past->GetItem(_variant_t(k - 1))->GetValue();
        same = a == b;
      }
      if (same) return S_OK;
    }
    LONG newKey = 0;
    hx::Check(m_spFactory->ReserveIds(_bstr_t(historyTable), 1, &newKey));
    history->AddNew();
    past->GetItem(_variant_t(LONG{0}))->PutValue(_variant_t(newKey));
    past->GetItem(_variant_t(LONG{1}))->PutValue(now->GetItem(_variant_t(LONG{0}))->GetValue());
    for (LONG k = 3; k < columns && k - 1 < historyColumns; ++k)
      past->GetItem(_variant_t(k - 1))->PutValue(now->GetItem(_variant_t(k))->GetValue());
    history->UpdateBatch(adAffectAll);
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}
