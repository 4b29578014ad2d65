// The data factory's reading and writing of data objects: each data object describes its data
// sets (table, key column, link to its parent) and keeps the recordsets that the factory fills;
// the factory turns the descriptions into SQL and writes the recordsets back.
//
// Rows a data object adds before they are saved carry temporary negative keys; saving gives them
// keys from the key table and puts the real keys into the link columns that point at them. A save
// is all or nothing for the recordsets too: the object's pending rows are kept (in its second
// recordsets) before anything is written, and a save that fails, here or later in the object's
// transaction (the object then runs its pending notification), puts them back, so that a
// corrected second save writes everything.
#include <algorithm>
#include <map>
#include <vector>

#include "host/host.h"

namespace host {
namespace {

void Check(HRESULT hr) {
  if (FAILED(hr)) _com_issue_error(hr);
}

bool HasLink(const FlgDataSetDef* def) { return def->link && *def->link; }
bool Named(const wchar_t* text) { return text && *text; }

// The object's definitions, checked: names present, parents in range and no data set its own
// ancestor.
std::vector<const FlgDataSetDef*> Definitions(IFlgDataSetup* object) {
  LONG count = 0;
  Check(object->GetDefinitionCount(&count));
  std::vector<const FlgDataSetDef*> defs;
  for (LONG i = 0; i < count; ++i) {
    const FlgDataSetDef* def = nullptr;
    Check(object->GetDefinition(i, &def));
    if (!def || !Named(def->table) || !Named(def->key)) _com_issue_error(E_UNEXPECTED);
    defs.push_back(def);
  }
  if (defs.empty()) _com_issue_error(E_FAIL);
  for (size_t i = 1; i < defs.size(); ++i) {
    LONG at = static_cast<LONG>(i);
    for (size_t steps = 0; at != 0; ++steps) {
      const LONG parent = defs[static_cast<size_t>(at)]->parent;
      if (parent < 0 || parent >= count || parent == at || steps > defs.size()) _com_issue_error(E_UNEXPECTED);
      at = parent;
    }
  }
  return defs;
}

const wchar_t* Columns(const FlgDataSetDef* def) { return Named(def->columns) ? def->columns : L"*"; }

LONG MainId(IFlgDataSetup* object) {
  _variant_t id;
  Check(object->GetId(&id));
  if (id.vt != VT_I4) _com_issue_error(E_INVALIDARG);
  return id.lVal;
}

// The condition that selects the rows of data set `index` of the object whose main key is `id`.
CString Where(const std::vector<const FlgDataSetDef*>& defs, size_t index, LONG id) {
  const FlgDataSetDef* def = defs[index];
  CString where;
  if (index == 0 || def->level == 0 || !HasLink(def)) {
    where.Format(L"%s = %ld", def->key, id);
    return where;
  }
  const size_t parentIndex = static_cast<size_t>(def->parent);
  const FlgDataSetDef* parent = defs[parentIndex];
  if (parentIndex == 0) {
    if (def->linkDirection == 1)
      where.Format(L"%s = %ld", def->link, id);
    else
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s = %ld)", def->key, def->link, parent->table, parent->key, id);
  } else {
    // One more level: the sub-rows of the parent's rows.
    const CString parentWhere = Where(defs, parentIndex, id);
    if (def->linkDirection == 1)
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s)", def->link, parent->key, parent->table,
                   parentWhere.GetString());
    else
      where.Format(L"%s IN (SELECT %s FROM %s WHERE %s)", def->key, def->link, parent->table, parentWhere.GetString());
  }
  return where;
}

_RecordsetPtr OpenSet(const _ConnectionPtr& connection, const FlgDataSetDef* def, const wchar_t* where) {
  CString sql;
  sql.Format(L"SELECT %s FROM %s WHERE %s", Columns(def), def->table, where);
  _RecordsetPtr rs;
  Check(OpenRS(rs, connection, sql, adOpenStatic, adLockBatchOptimistic));
  return rs;
}

// The recordset of data set `index` when the object has one (read or attached), else null.
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
  if (!rs) _com_issue_error(E_NOINTERFACE);
  return rs;
}

bool Empty(const _RecordsetPtr& rs) { return rs->GetadoEOF() && rs->GetBOF(); }

bool IsTemporary(const _variant_t& key) { return key.vt == VT_NULL || key.vt == VT_EMPTY || (key.vt == VT_I4 && key.lVal <= 0); }

// The order in which data sets are written: a data set after those its rows point at (a sub-row
// that holds its parent's key after the parent; a parent that holds its sub-row's key after the
// sub-row). Deleting goes the other way.
std::vector<size_t> WriteOrder(const std::vector<const FlgDataSetDef*>& defs) {
  std::vector<size_t> order;
  std::vector<char> placed(defs.size(), 0);
  auto before = [&](size_t a, size_t b) {  // whether a must be written before b
    const FlgDataSetDef* db = defs[b];
    const FlgDataSetDef* da = defs[a];
    if (b != 0 && static_cast<size_t>(db->parent) == a && HasLink(db) && db->linkDirection == 1) return true;
    if (a != 0 && static_cast<size_t>(da->parent) == b && HasLink(da) && da->linkDirection == 0) return true;
    return false;
  };
  while (order.size() < defs.size()) {
    bool progress = false;
    for (size_t b = 0; b < defs.size(); ++b) {
      if (placed[b]) continue;
      bool ready = true;
      for (size_t a = 0; a < defs.size() && ready; ++a)
        if (a != b && !placed[a] && before(a, b)) ready = false;
      if (ready) {
        placed[b] = 1;
        order.push_back(b);
        progress = true;
      }
    }
    if (!progress) _com_issue_error(E_UNEXPECTED);
  }
  return order;
}

// Records what a write does to the object's recordsets (an undo log per recordset) and undoes
// it when the write fails. The logs are also kept in the object's second recordsets, so that
// NotifyObject can undo the write when the object's own transaction fails later; an object
// without second recordsets gets that only for failures of the write itself.
class WriteGuard {
 public:
  WriteGuard(IFlgDataSetup* object, const std::vector<_RecordsetPtr>& sets) : m_object(object), m_sets(sets) {
    object->SetPendingNotification(0);
    bool kept = true;
    for (size_t i = 0; i < sets.size(); ++i) {
      // An edit in progress is part of what is saved.
      if (sets[i] && sets[i]->GetEditMode() != adEditNone) sets[i]->Update();
      m_logs.push_back(sets[i] ? platform::ado::BeginRowsUndo(sets[i]) : IUnknownPtr());
      kept = SUCCEEDED(object->SetSecondDataSet(static_cast<LONG>(i), m_logs.back())) && kept;
    }
    if (kept) object->SetPendingNotification(1);
  }
  ~WriteGuard() {
    // What the object does with its rows after the write is its own.
    for (const IUnknownPtr& log : m_logs)
      if (log) platform::ado::EndRowsUndo(log);
  }
  WriteGuard(const WriteGuard&) = delete;
  WriteGuard& operator=(const WriteGuard&) = delete;

  // Undoes the write logged in the object's second recordsets (its transaction failed).
  static void Restore(IFlgDataSetup* object) {
    LONG count = 0;
    if (FAILED(object->GetDefinitionCount(&count))) return;
    std::vector<IUnknownPtr> logs;
    for (LONG i = 0; i < count; ++i) {
      IUnknown* raw = nullptr;
      logs.push_back(SUCCEEDED(object->GetSecondDataSet(i, &raw)) ? IUnknownPtr(raw, false) : IUnknownPtr());
      if (logs.back()) object->SetSecondDataSet(i, nullptr);
    }
    Undo(object, logs);
  }

  // The write itself failed.
  void Failed() {
    for (const IUnknownPtr& log : m_logs)
      if (log) platform::ado::EndRowsUndo(log);
    Undo(m_object, m_logs);
    for (size_t i = 0; i < m_logs.size(); ++i) m_object->SetSecondDataSet(static_cast<LONG>(i), nullptr);
    m_object->SetPendingNotification(0);
  }

 private:
  static void Undo(IFlgDataSetup* object, const std::vector<IUnknownPtr>& logs) {
    bool any = false;
    for (size_t i = 0; i < logs.size(); ++i) {
      if (!logs[i]) continue;
      try {
        _RecordsetPtr rs = DataSet(object, static_cast<LONG>(i));
        if (rs) platform::ado::UndoRows(rs, logs[i]);
        any = true;
      } catch (const _com_error&) {
      }
    }
    // A new object is new again.
    _variant_t state;
    if (any && SUCCEEDED(object->GetState(&state)) && state.vt == VT_I4 && state.lVal == 1) {
      _variant_t null;
      null.vt = VT_NULL;
      object->SetId(null);
    }
  }

  IFlgDataSetup* m_object;
  std::vector<_RecordsetPtr> m_sets;
  std::vector<IUnknownPtr> m_logs;
};

// The field's value in the current row; false for a row deleted in the view of pending rows.
bool ValueOf(const FieldPtr& field, _variant_t& value) {
  value.Clear();
  return SUCCEEDED(field->get_Value(&value));
}

// Gives every row with a temporary key a key from the key table (one reservation per data set;
// the main row takes `mainKey` when it is given), then points the link columns that held
// temporary keys at the real keys; a sub-row of the main row without a link gets the main row's
// key. `sets` are views of the pending rows (whatever filter the object left on its own): rows
// with temporary keys or links are new or changed. Returns the main row's key.
LONG ResolveKeys(const _ConnectionPtr& connection, const std::vector<const FlgDataSetDef*>& defs,
                 const std::vector<_RecordsetPtr>& sets, LONG mainKey) {
  std::map<std::pair<size_t, LONG>, LONG> real;  // (data set, temporary key) -> key
  for (size_t i = 0; i < defs.size(); ++i) {
    const _RecordsetPtr& rs = sets[i];
    if (!rs || Empty(rs)) continue;
    // A field object follows the current row.
    FieldPtr key = rs->GetFields()->GetItem(_variant_t(defs[i]->key));
    LONG count = 0;
    _variant_t old;
    for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext())
      if (ValueOf(key, old) && IsTemporary(old)) ++count;
    if (count == 0) continue;
    const bool mainGiven = i == 0 && mainKey > 0;
    LONG next = mainGiven && count == 1 ? 0 : ReserveKeys(connection, defs[i]->table, mainGiven ? count - 1 : count,
                                                           defs[i]->key);
    bool mainPending = mainGiven;
    for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
      if (!ValueOf(key, old) || !IsTemporary(old)) continue;
      const LONG given = mainPending ? mainKey : next++;
      mainPending = false;
      if (old.vt == VT_I4) real[{i, old.lVal}] = given;
      key->PutValue(_variant_t(given));
    }
  }
  if (sets[0] && !Empty(sets[0])) {
    sets[0]->MoveFirst();
    _variant_t key;
    if (ValueOf(sets[0]->GetFields()->GetItem(_variant_t(defs[0]->key)), key) && key.vt == VT_I4) mainKey = key.lVal;
  }
  for (size_t i = 1; i < defs.size(); ++i) {
    if (!HasLink(defs[i])) continue;
    const size_t parent = static_cast<size_t>(defs[i]->parent);
    // Direction 1: the sub-rows hold the parent's key; direction 0: the parent rows hold the sub-row's.
    const bool down = defs[i]->linkDirection == 1;
    const _RecordsetPtr& rs = down ? sets[i] : sets[parent];
    const size_t target = down ? parent : i;
    if (!rs || Empty(rs)) continue;
    FieldPtr link = rs->GetFields()->GetItem(_variant_t(defs[i]->link));
    _variant_t value;
    for (rs->MoveFirst(); !rs->GetadoEOF(); rs->MoveNext()) {
      if (!ValueOf(link, value) || !IsTemporary(value)) continue;
      if (value.vt == VT_I4) {
        auto it = real.find({target, value.lVal});
        if (it != real.end()) {
          link->PutValue(_variant_t(it->second));
          continue;
        }
      }
      if (down && parent == 0 && mainKey > 0 && value.vt != VT_I4) link->PutValue(_variant_t(mainKey));
    }
  }
  return mainKey;
}

// Deletes the rows of the host's own tables that belong to an object deleted from `table`: an
// account's rights (kd_UserRight holds the account's id in the upper 16 bits of the right).
void DeleteOwnedRows(const _ConnectionPtr& connection, const wchar_t* table, LONG id) {
  if (_wcsicmp(table, L"reg__Registration") != 0 || id <= 0 || id > kHighestAccountId) return;
  CString sql;
  sql.Format(L"DELETE FROM kd_UserRight WHERE ur_Right >= %ld AND ur_Right <= %ld", AccountRightNumber(id, 0),
             AccountRightNumber(id, 0xFFFF));
  connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
}

}  // namespace

// Writes the object's data sets: keys, links, then each data set's batch, in one transaction (a
// part of the caller's when it has one). Foreign keys are checked when the outermost transaction
// ends, so that rows removed together (a row and the sub-rows that belong to it) may go in any order.
void CHostInstance::WriteObject(IFlgDataSetup* object, bool inserting) {
  const auto defs = Definitions(object);
  std::vector<_RecordsetPtr> sets;
  for (size_t i = 0; i < defs.size(); ++i) sets.push_back(DataSet(object, static_cast<LONG>(i)));
  if (inserting && (!sets[0] || Empty(sets[0]))) _com_issue_error(E_UNEXPECTED);
  const LONG id = inserting ? 0 : MainId(object);
  WriteGuard guard(object, sets);
  bool transaction = false;
  try {
    m_connection->BeginTrans();
    transaction = true;
    m_connection->Execute(_bstr_t(L"PRAGMA defer_foreign_keys = ON"), nullptr, kCmdTextNoRecords);
    // Clones showing the pending rows, whatever filter the object left on its recordsets; they
    // leave the object's positions alone, and a batch writes every pending row.
    std::vector<_RecordsetPtr> all(sets.size());
    for (size_t i = 0; i < sets.size(); ++i) {
      if (!sets[i]) continue;
      all[i] = sets[i]->Clone(adLockUnspecified);
      all[i]->PutFilter(_variant_t(static_cast<LONG>(adFilterPendingRecords)));
    }
    LONG mainKey = id;
    if (inserting) {
      _RecordsetPtr main = sets[0]->Clone(adLockUnspecified);
      main->MoveFirst();
      const _variant_t key = main->GetFields()->GetItem(_variant_t(defs[0]->key))->GetValue();
      mainKey = IsTemporary(key) ? ReserveKeys(m_connection, defs[0]->table, 1, defs[0]->key) : key.lVal;
    }
    mainKey = ResolveKeys(m_connection, defs, all, mainKey);
    for (size_t i : WriteOrder(defs))
      if (all[i]) all[i]->UpdateBatch(adAffectAll);
    m_connection->CommitTrans();
    transaction = false;
    if (inserting) Check(object->SetId(_variant_t(mainKey)));
  } catch (const _com_error&) {
    if (transaction) {
      try {
        m_connection->RollbackTrans();
      } catch (const _com_error&) {
      }
    }
    guard.Failed();
    throw;
  }
}

STDMETHODIMP CHostInstance::AttachObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    const auto defs = Definitions(object);
    // The main row, with the next temporary key, so that the object fills it and sub-rows link to it.
    _RecordsetPtr main = OpenSet(m_connection, defs[0], L"1 = 0");
    LONG temp = -1;
    Check(object->GetTempKey(&temp));
    main->AddNew();
    main->GetFields()->GetItem(_variant_t(defs[0]->key))->PutValue(_variant_t(temp));
    Check(object->SetTempKey(temp - 1));
    Check(object->SetDataSet(0, main));
    for (size_t i = 1; i < defs.size(); ++i)
      Check(object->SetDataSet(static_cast<LONG>(i), OpenSet(m_connection, defs[i], L"1 = 0")));
  });
}

STDMETHODIMP CHostInstance::ReadObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    const auto defs = Definitions(object);
    const LONG id = MainId(object);
    _RecordsetPtr main = OpenSet(m_connection, defs[0], Where(defs, 0, id));
    if (main->GetadoEOF()) _com_issue_error(static_cast<HRESULT>(0x800A0BCDu));  // no such row
    Check(object->SetDataSet(0, main));
  });
}

STDMETHODIMP CHostInstance::ReadDataSet(IFlgDataSetup* object, LONG index) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    const auto defs = Definitions(object);
    if (index < 0 || index >= static_cast<LONG>(defs.size())) _com_issue_error(E_INVALIDARG);
    VARIANT_BOOL has = VARIANT_FALSE;
    Check(object->HasDataSet(index, &has));
    if (has != VARIANT_FALSE) return;
    _variant_t id;
    Check(object->GetId(&id));
    const CString where = id.vt == VT_I4 ? Where(defs, static_cast<size_t>(index), id.lVal) : CString(L"1 = 0");
    Check(object->SetDataSet(index, OpenSet(m_connection, defs[static_cast<size_t>(index)], where)));
  });
}

STDMETHODIMP CHostInstance::InsertObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] { WriteObject(object, true); });
}

STDMETHODIMP CHostInstance::UpdateObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] { WriteObject(object, false); });
}

STDMETHODIMP CHostInstance::DeleteObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    const auto defs = Definitions(object);
    const LONG id = MainId(object);
    // The keys of every sub-row first, while the rows that lead to them are all there; then the
    // rows by key, sub-rows before the rows they point at.
    std::vector<std::vector<LONG>> keys(defs.size());
    for (size_t i = 1; i < defs.size(); ++i) {
      if (!HasLink(defs[i])) continue;
      CString sql;
      sql.Format(L"SELECT %s FROM %s WHERE %s", defs[i]->key, defs[i]->table, Where(defs, i, id).GetString());
      _RecordsetPtr rs;
      Check(OpenRS(rs, m_connection, sql));
      for (; !rs->GetadoEOF(); rs->MoveNext()) {
        const _variant_t key = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
        if (key.vt != VT_NULL && key.vt != VT_EMPTY) keys[i].push_back(static_cast<LONG>(key));
      }
    }
    keys[0].push_back(id);
    std::vector<size_t> order = WriteOrder(defs);
    std::reverse(order.begin(), order.end());
    m_connection->BeginTrans();
    try {
      for (size_t i : order) {
        for (size_t from = 0; from < keys[i].size(); from += 500) {
          CString list;
          for (size_t k = from; k < keys[i].size() && k < from + 500; ++k) {
            if (k > from) list += L",";
            CString one;
            one.Format(L"%ld", keys[i][k]);
            list += one;
          }
          CString sql;
          sql.Format(L"DELETE FROM %s WHERE %s IN (%s)", defs[i]->table, defs[i]->key, list.GetString());
          m_connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
        }
      }
      DeleteOwnedRows(m_connection, defs[0]->table, id);
      m_connection->CommitTrans();
    } catch (const _com_error&) {
      try {
        m_connection->RollbackTrans();
      } catch (const _com_error&) {
      }
      throw;
    }
  });
}

STDMETHODIMP CHostInstance::NotifyObject(IFlgDataSetup* object) {
  if (!object) return E_INVALIDARG;
  WriteGuard::Restore(object);
  return S_OK;
}

STDMETHODIMP CHostInstance::GetNewKey(IFlgDataSetup* object, VARIANT* key) {
  if (!key) return E_POINTER;
  VariantInit(key);
  key->vt = VT_NULL;
  if (!object) return E_INVALIDARG;
  _variant_t id;
  if (FAILED(object->GetId(&id)) || id.vt != VT_I4) return S_FALSE;
  key->vt = VT_I4;
  key->lVal = id.lVal;
  return S_OK;
}

}  // namespace host
