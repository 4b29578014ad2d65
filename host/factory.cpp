// The data factory's reading and writing of data objects: each data object describes its data
// sets (table, key column, link to its parent) and keeps the recordsets that the factory fills;
// the factory turns the descriptions into SQL and writes the recordsets back.
//
// Rows a data object adds before its first save carry temporary negative keys; saving gives
// them keys from the key table and puts the real keys into the link columns that point at them.
#include <map>
#include <vector>

#include "host/host.h"

namespace host {
namespace {

void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}

std::vector<const FlgDataSetDef*> Definitions(IFlgDataSetup* object) {
  LONG count = 0;
  Check(object->GetDefinitionCount(&count));
  std::vector<const FlgDataSetDef*> defs;
  for (LONG i = 0; i < count; ++i) {
    const FlgDataSetDef* def = nullptr;
    Check(object->GetDefinition(i, &def));
    if (!def) _com_issue_error(E_UNEXPECTED);
    defs.push_back(def);
  }
  if (defs.empty()) _com_issue_error(E_FAIL);
  return defs;
}

const wchar_t* Columns(const FlgDataSetDef* def) { return def->columns && *def->columns ? def->columns : L"*"; }
bool HasLink(const FlgDataSetDef* def) { return def->link && *def->link; }

LONG MainId(IFlgDataSetup* object) {
  _variant_t id;
  Check(object->GetId(&id));
  if (id.vt != VT_I4) _com_issue_error(E_INVALIDARG);
  return id.lVal;
}

// The condition that selects the rows of data set `def` of the object whose main key is `id`.
CString Where(const std::vector<const FlgDataSetDef*>& defs, const FlgDataSetDef* def, LONG id) {
  CString where;
  if (def->level == 0 || !HasLink(def)) {
    where.Format(L"%s = %ld", def->key, id);
    return where;
  }
  const FlgDataSetDef* parent = def->parent >= 0 && def->parent < static_cast<LONG>(defs.size()) ? defs[def->parent] : defs[0];
  if (parent->level == 0) {
    if (def->linkDirection == 1)
      where.Format(L"%s = %ld", def->link, id);
    else
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s = %ld)", def->key, def->link, parent->table, parent->key, id);
  } else {
    // One more level: the sub-rows of the parent's rows.
    CString parentWhere = Where(defs, parent, id);
    if (def->linkDirection == 1)
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s)", def->link, parent->key, parent->table,
                   parentWhere.GetString());
    else
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s)", def->key, def->link, parent->table, parentWhere.GetString());
  }
  return where;
}

_RecordsetPtr OpenSet(const _ConnectionPtr& connection, const FlgDataSetDef* def, const CString& where) {
  CString sql;
  sql.Format(L"SELECT %s FROM %s WHERE %s", Columns(def), def->table, where.GetString());
  _RecordsetPtr rs;
  Check(OpenRS(rs, connection, sql, adOpenStatic, adLockBatchOptimistic));
  return rs;
}

_RecordsetPtr DataSet(IFlgDataSetup* object, LONG index) {
  VARIANT_BOOL has = VARIANT_FALSE;
  Check(object->HasDataSet(index, &has));
  if (has == VARIANT_FALSE) return nullptr;
  IFlgDataSetPtr data(object);
  if (!data) _com_issue_error(E_NOINTERFACE);
  IUnknown* raw = nullptr;
  Check(data->GetDataSet(index, &raw));
  IUnknownPtr unknown(raw, false);
  _RecordsetPtr rs(unknown);
  return rs;
}

bool Empty(const _RecordsetPtr& rs) { return rs->GetadoEOF() && rs->GetBOF(); }

// Gives every row with a temporary key a key from the key table, then points the link columns
// that held temporary keys (or nothing, under the main row) at the real keys.
void ResolveKeys(const _ConnectionPtr& connection, const std::vector<const FlgDataSetDef*>& defs,
                 const std::vector<_RecordsetPtr>& sets, LONG mainKey) {
  std::map<std::pair<LONG, LONG>, LONG> real;  // (data set, temporary key) -> key
  for (size_t i = 0; i < defs.size(); ++i) {
    if (!sets[i] || Empty(sets[i]) || i == 0) continue;
    for (sets[i]->MoveFirst(); !sets[i]->GetadoEOF(); sets[i]->MoveNext()) {
      FieldPtr key = sets[i]->GetFields()->GetItem(_variant_t(defs[i]->key));
      _variant_t value = key->GetValue();
      if (value.vt == VT_I4 && value.lVal > 0) continue;
      const LONG first = ReserveKeys(connection, defs[i]->table, 1, defs[i]->key);
      if (value.vt == VT_I4) real[{static_cast<LONG>(i), value.lVal}] = first;
      key->PutValue(_variant_t(first));
    }
  }
  for (size_t i = 1; i < defs.size(); ++i) {
    if (!sets[i] || Empty(sets[i]) || !HasLink(defs[i]) || defs[i]->linkDirection != 1) continue;
    const LONG parent = defs[i]->parent;
    for (sets[i]->MoveFirst(); !sets[i]->GetadoEOF(); sets[i]->MoveNext()) {
      FieldPtr link = sets[i]->GetFields()->GetItem(_variant_t(defs[i]->link));
      _variant_t value = link->GetValue();
      if (value.vt == VT_I4 && value.lVal > 0) continue;
      if (parent == 0 || defs[static_cast<size_t>(parent)]->level == 0) {
        link->PutValue(_variant_t(mainKey));
      } else if (value.vt == VT_I4) {
        auto it = real.find({parent, value.lVal});
        if (it != real.end()) link->PutValue(_variant_t(it->second));
      }
    }
  }
}

void WriteBack(const std::vector<_RecordsetPtr>& sets) {
  for (const _RecordsetPtr& rs : sets)
    if (rs) rs->UpdateBatch(adAffectAll);
}

HRESULT Guard(const std::function<void()>& work) {
  try {
    work();
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

}  // namespace

STDMETHODIMP CHostInstance::AttachObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    for (size_t i = 0; i < defs.size(); ++i)
      Check(object->SetDataSet(static_cast<LONG>(i), OpenSet(m_connection, defs[i], CString(L"1 = 0"))));
  });
}

STDMETHODIMP CHostInstance::ReadObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    const LONG id = MainId(object);
    _RecordsetPtr main = OpenSet(m_connection, defs[0], Where(defs, defs[0], id));
    if (main->GetadoEOF()) _com_issue_error(static_cast<HRESULT>(0x800A0BCDu));  // no such row
    Check(object->SetDataSet(0, main));
  });
}

STDMETHODIMP CHostInstance::ReadDataSet(IFlgDataSetup* object, LONG index) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    if (index < 0 || index >= static_cast<LONG>(defs.size())) _com_issue_error(E_INVALIDARG);
    VARIANT_BOOL has = VARIANT_FALSE;
    Check(object->HasDataSet(index, &has));
    if (has != VARIANT_FALSE) return;
    _variant_t id;
    Check(object->GetId(&id));
    const auto* def = defs[static_cast<size_t>(index)];
    CString where = id.vt == VT_I4 ? Where(defs, def, id.lVal) : CString(L"1 = 0");
    Check(object->SetDataSet(index, OpenSet(m_connection, def, where)));
  });
}

STDMETHODIMP CHostInstance::InsertObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    std::vector<_RecordsetPtr> sets;
    for (size_t i = 0; i < defs.size(); ++i) sets.push_back(DataSet(object, static_cast<LONG>(i)));
    if (!sets[0] || Empty(sets[0])) _com_issue_error(E_UNEXPECTED);
    sets[0]->MoveFirst();
    FieldPtr key = sets[0]->GetFields()->GetItem(_variant_t(defs[0]->key));
    _variant_t value = key->GetValue();
    LONG mainKey = value.vt == VT_I4 && value.lVal > 0 ? value.lVal : 0;
    if (mainKey == 0) {
      mainKey = ReserveKeys(m_connection, defs[0]->table, 1, defs[0]->key);
      key->PutValue(_variant_t(mainKey));
    }
    ResolveKeys(m_connection, defs, sets, mainKey);
    WriteBack(sets);
    Check(object->SetId(_variant_t(mainKey)));
    m_newKeys[object] = mainKey;
  });
}

STDMETHODIMP CHostInstance::UpdateObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    std::vector<_RecordsetPtr> sets;
    for (size_t i = 0; i < defs.size(); ++i) sets.push_back(DataSet(object, static_cast<LONG>(i)));
    ResolveKeys(m_connection, defs, sets, MainId(object));
    WriteBack(sets);
  });
}

STDMETHODIMP CHostInstance::DeleteObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return Guard([&] {
    const auto defs = Definitions(object);
    const LONG id = MainId(object);
    // Sub-rows first, deepest first, then the main row.
    for (size_t i = defs.size(); i-- > 1;) {
      if (!HasLink(defs[i]) || defs[i]->linkDirection != 1) continue;
      CString sql;
      sql.Format(L"DELETE FROM %s WHERE %s", defs[i]->table, Where(defs, defs[i], id).GetString());
      m_connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
    }
    CString sql;
    sql.Format(L"DELETE FROM %s WHERE %s = %ld", defs[0]->table, defs[0]->key, id);
    m_connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
    m_newKeys.erase(object);
  });
}

STDMETHODIMP CHostInstance::NotifyObject(IFlgDataSetup* object) {
  m_newKeys.erase(object);
  return S_OK;
}

STDMETHODIMP CHostInstance::GetNewKey(IFlgDataSetup* object, VARIANT* key) {
  if (!key) return E_POINTER;
  VariantInit(key);
  auto it = m_newKeys.find(object);
  if (it == m_newKeys.end()) {
    key->vt = VT_NULL;
    return S_FALSE;
  }
  key->vt = VT_I4;
  key->lVal = it->second;
  return S_OK;
}

}  // namespace host
