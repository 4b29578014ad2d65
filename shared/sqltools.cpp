#include "shared/sqltools.h"

#include "shared/hxcheck.h"

namespace {

_CommandPtr NewCommand() {
  _CommandPtr command;
  HRESULT hr = command.CreateInstance(__uuidof(Command));
  if (FAILED(hr)) _com_issue_error(hr);
  return command;
}

IHxStartCheckPtr StartCheck() {
  IFlgInstancePtr instance = CHxInstance::GetInstance();
  if (!instance) _com_issue_error(E_POINTER);
  return IHxStartCheckPtr(instance);  // raises when the interface is missing
}

}  // namespace

CString hxSqlQuote(const wchar_t* text) {
  CString quoted(text ? text : L"");
  quoted.Replace(L"'", L"''");
  return quoted;
}

LONG hxExecuteSql(_ConnectionPtr connection, const wchar_t* sql) {
  if (!connection || !sql) _com_issue_error(E_POINTER);
  _CommandPtr command = NewCommand();
  command->PutRefActiveConnection(connection);
  command->PutCommandText(_bstr_t(sql));
  command->PutCommandType(adCmdText);
  _RecordsetPtr result = command->Execute(nullptr, nullptr, adCmdText);
  return result ? 1 : 0;
}

LONG hxGetValueFromSql(_ConnectionPtr connection, const CString& sql, _variant_t& out) {
  out.Clear();
  out.vt = VT_NULL;
  try {
    _RecordsetPtr rs;
    HRESULT hr = OpenRS(rs, connection, sql, adOpenStatic, adLockReadOnly);
    if (FAILED(hr)) return hr;
    if (!rs->GetadoEOF()) out = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    rs->Close();
    return 0;
  } catch (const _com_error& e) {
    out.Clear();
    out.vt = VT_NULL;
    return e.Error();
  }
}

LONG hxGetValueFromSql(const CString& sql, _variant_t& out) {
  try {
    return hxGetValueFromSql(CHxInstance::GetConnection(), sql, out);
  } catch (const _com_error& e) {
    out.Clear();
    out.vt = VT_NULL;
    return e.Error();
  }
}

LONG hxGetLongFromSql(const CString& sql) {
  _RecordsetPtr rs;
  HRESULT hr = OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
  if (FAILED(hr)) _com_issue_error(hr);
  if (rs->GetadoEOF()) return kNoLongValue;
  _variant_t value = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
  if (value.vt != VT_I4) _com_issue_error(E_UNEXPECTED);
  return value.lVal;
}

LONG hxGetLongFromSqlWithId(const CString& format, LONG id) {
  CString sql;
  sql.Format(format, id);
  return hxGetLongFromSql(sql);
}

LONG exeSqlWithParams(IDispatch* connection, const wchar_t* sql, ExSqlParamEntry* params, LONG count,
                      bool returnRecordset, IDispatch** recordset) {
  if (!params || count < 1 || (returnRecordset && !recordset)) return E_FAIL;
  try {
    _ConnectionPtr cn(connection);
    _CommandPtr command = NewCommand();
    command->PutCommandText(_bstr_t(sql));
    command->PutCommandType(adCmdText);
    std::vector<_ParameterPtr> created;
    for (LONG i = 0; i < count; ++i) {
      CString name;
      name.Format(L"PARAM%ld", i);
      const ExSqlParamEntry& entry = params[i];
      const bool input = entry.direction == adParamInput || entry.direction == adParamInputOutput;
      _ParameterPtr p = command->CreateParameter(
          _bstr_t(static_cast<const wchar_t*>(name)), static_cast<DataTypeEnum>(entry.type),
          static_cast<ParameterDirectionEnum>(entry.direction), entry.size,
          input ? _variant_t(entry.value) : vtMissing);
      command->GetParameters()->Append(p);
      created.push_back(p);
    }
    utCmdPutRefActiveConnection(command, cn);
    if (returnRecordset) {
      _RecordsetPtr result = command->Execute(nullptr, nullptr, adCmdText);
      *recordset = nullptr;
      if (!result) return E_NOINTERFACE;
      return result->QueryInterface(__uuidof(IDispatch), reinterpret_cast<void**>(recordset));
    }
    command->Execute(nullptr, nullptr, kCmdTextNoRecords);
    for (LONG i = 0; i < count; ++i) {
      if (params[i].direction == adParamOutput || params[i].direction == adParamInputOutput) {
        _variant_t value = created[static_cast<size_t>(i)]->GetValue();
        VariantClear(&params[i].value);
        VariantCopy(&params[i].value, &value);
      }
    }
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

bool CDBTools::GetUsed(IDispatch* connection, const wchar_t* table, const wchar_t* column, LONG id) {
  try {
    CString sql;
    sql.Format(L"SELECT %ls FROM %ls WHERE %ls=%ld", column, table, column, id);
    HRESULT hr = exeExistSql(connection, sql);
    if (FAILED(hr)) return true;
    return hr == 1;
  } catch (...) {
    return true;
  }
}

LONG CDBTools::Records(IDispatch* connection, const wchar_t* table, const wchar_t* condition) {
  try {
    const bool hasCondition = condition && *condition;
    CString sql;
    sql.Format(L"SELECT ?=CONVERT( int, COUNT(*)) FROM %ls %ls %ls", table, hasCondition ? L"WHERE" : L"",
               hasCondition ? condition : L"");
    _variant_t value;
    HRESULT hr = exeSql_GetLongValue(connection, sql, value);
    if (FAILED(hr) || value.vt != VT_I4) return -1;
    return value.lVal;
  } catch (...) {
    return -1;
  }
}

namespace {
template <typename Range>
void JoinLongs(CString& out, const Range& ids) {
  out.Empty();
  for (LONG id : ids) {
    if (!out.IsEmpty()) out += L",";
    CString item;
    item.Format(L"%ld", id);
    out += item;
  }
}
}  // namespace

void hxStringWithIDs(CString& out, const std::list<LONG>& ids) { JoinLongs(out, ids); }
void hxStringWithIDs(CString& out, const std::vector<LONG>& ids) { JoinLongs(out, ids); }

void hxStringWithIDs(CString& out, const std::list<CString>& texts) {
  out.Empty();
  for (const CString& text : texts) {
    if (!out.IsEmpty()) out += L",";
    out += L"'";
    out += hxSqlQuote(text);
    out += L"'";
  }
}

void hxStringWithIDs(CString& out, const _RecordsetPtr& rs, const _variant_t& column) {
  out.Empty();
  if (rs->GetadoEOF() && rs->GetBOF()) return;
  rs->MoveFirst();
  while (!rs->GetadoEOF()) {
    _variant_t value = rs->GetFields()->GetItem(column)->GetValue();
    if (value.vt == VT_I4) {
      if (!out.IsEmpty()) out += L",";
      CString item;
      item.Format(L"%ld", value.lVal);
      out += item;
    }
    rs->MoveNext();
  }
}

void hxAddCond(CString& where, const CString& cond) {
  if (cond.IsEmpty()) return;
  CString part;
  if (where.IsEmpty()) {
    part.Format(L"(%s)", static_cast<const wchar_t*>(cond));
    where = part;
  } else {
    part.Format(L" AND (%s)", static_cast<const wchar_t*>(cond));
    where += part;
  }
}

LONG hxAddOwnerSql(CString& where, const wchar_t* column) {
  try {
    IHxStartCheckPtr check = StartCheck();
    LONG filter = 0;
    hx::Check(check->GetOwnerFilter(&filter));
    CString cond;
    if (filter == 1) {
      IHxUserPtr user(CHxInstance::GetInstance());
      LONG id = 0;
      hx::Check(user->GetUserId(&id));
      if (id > 0) cond.Format(L"%s = %ld", column, id);
    } else if (filter == 2) {
      cond.Format(L"%s IS NULL", column);
    }
    hxAddCond(where, cond);
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG hxAddRegSql(CString& where, const wchar_t* column, bool exact) {
  try {
    IHxStartCheckPtr check = StartCheck();
    LONG account = 0;
    hx::Check(check->GetSelectedAccount(&account));
    if (account > 0) {
      CString cond;
      if (exact)
        cond.FormatMessage(L"%1 = %2!ld!", column, account);
      else
        cond.FormatMessage(L"%1 = %2!ld! OR %1 IS NULL", column, account);
      hxAddCond(where, cond);
    }
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG hxAddSiteSql(CString& where, const wchar_t* accountColumn, const wchar_t* siteColumn) {
  try {
    IHxStartCheckPtr check = StartCheck();
    LONG account = 0;
    hx::Check(check->GetSelectedAccount(&account));
    LONG site = 0;
    hx::Check(check->GetSelectedSite(&site));
    if (account > 0) {
      CString cond;
      if (site < 1)
        cond.Format(L"%s = %ld", accountColumn, account);
      else
        cond.Format(L"%s = %ld AND %s = %ld", accountColumn, account, siteColumn, site);
      hxAddCond(where, cond);
    }
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG hxAddSiteSql(CString& where, const wchar_t* column) {
  try {
    IHxStartCheckPtr check = StartCheck();
    LONG accountSite = 0;
    hx::Check(check->GetSelectedAccountSite(&accountSite));
    if (accountSite > 0) {
      CString cond;
      cond.Format(L"%s = %ld", column, accountSite);
      hxAddCond(where, cond);
    }
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

bool hxSeek(_RecordsetPtr rs, const wchar_t* column, LONG value) {
  if (rs->GetadoEOF() && rs->GetBOF()) return false;
  rs->MoveFirst();
  while (!rs->GetadoEOF()) {
    _variant_t v = rs->GetFields()->GetItem(_variant_t(column))->GetValue();
    if (v.vt == VT_I4 && v.lVal == value) return true;
    rs->MoveNext();
  }
  return false;
}

LONG hxGetLongFromCnt(CBaseCnt& container, const wchar_t* column) {
  _variant_t value;
  if (FAILED(container.GetCurrentValue(column, value))) return kNoLongValue;
  return value.vt == VT_I4 ? value.lVal : kNoLongValue;
}

_RecordsetPtr CAdoRsTools::CreateRecordset() {
  _RecordsetPtr rs;
  const HRESULT hr = rs.CreateInstance(__uuidof(Recordset), nullptr, CLSCTX_ALL);
  if (FAILED(hr)) _com_issue_error(hr);
  if (!rs) _com_issue_error(E_NOINTERFACE);
  return rs;
}

_RecordsetPtr CAdoRsTools::CreateContainer(LONG attributes, std::initializer_list<ContainerField> fields) {
  _RecordsetPtr rs = CreateRecordset();
  FieldsPtr list = rs->GetFields();
  for (const ContainerField& f : fields)
    list->Append(_bstr_t(f.name), f.type, f.size,
                 static_cast<FieldAttributeEnum>(f.attributes == kContainerAttributes ? attributes : f.attributes));
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  for (const ContainerField& f : fields)
    if (f.index) list->GetItem(_variant_t(f.name))->GetProperties()->GetItem(_variant_t(L"Optimize"))->PutValue(_variant_t(true));
  return rs;
}

bool CAdoRsTools::ValdateRsFieldId(const _variant_t& id) { return id.vt == VT_I4 || id.vt == VT_BSTR; }

bool CAdoRsTools::ValdateRsOpen(const _RecordsetPtr& rs) {
  if (!rs) return false;
  try {
    return (rs->GetState() & adStateOpen) != 0;
  } catch (const _com_error&) {
    return false;
  }
}

CString CAdoRsTools::CreateFindMask(const FieldPtr& field, const _variant_t& value) {
  CString mask;
  try {
    _bstr_t name = field->GetName();
    if (value.vt == VT_I4) {
      mask.Format(L"%ls = %ld", static_cast<const wchar_t*>(name), value.lVal);
    } else if (value.vt == VT_BSTR) {
      CString text = hxSqlQuote(value.bstrVal);
      mask.Format(L"%ls = '%ls'", static_cast<const wchar_t*>(name), static_cast<const wchar_t*>(text));
    }
  } catch (const _com_error&) {
    mask.Empty();
  }
  return mask;
}

LONG CAdoRsTools::UpdateTableColumnFromTableColumn(const _RecordsetPtr& source, const _variant_t& sourceKey,
                                                   const _variant_t& sourceValue, const _RecordsetPtr& target,
                                                   const _variant_t& targetKey, const _variant_t& targetValue,
                                                   bool existingOnly) {
  if (!ValdateRsOpen(source) || !ValdateRsOpen(target) || !ValdateRsFieldId(sourceKey) ||
      !ValdateRsFieldId(sourceValue) || !ValdateRsFieldId(targetKey) || !ValdateRsFieldId(targetValue))
    return E_FAIL;
  try {
    if (source->GetadoEOF() && source->GetBOF()) return 0;
    if (existingOnly && target->GetadoEOF() && target->GetBOF()) return 0;
    while (!source->GetadoEOF()) {
      _variant_t key = source->GetFields()->GetItem(sourceKey)->GetValue();
      bool found = false;
      if (!(target->GetadoEOF() && target->GetBOF())) {
        target->MoveFirst();
        CString mask = CreateFindMask(target->GetFields()->GetItem(targetKey), key);
        target->Find(_bstr_t(static_cast<const wchar_t*>(mask)), 0, adSearchForward, vtMissing);
        found = !target->GetadoEOF();
      }
      if (!found) {
        if (existingOnly) {
          source->MoveNext();
          continue;
        }
        target->AddNew();
        target->GetFields()->GetItem(targetKey)->PutValue(key);
      }
      target->GetFields()->GetItem(targetValue)->PutValue(source->GetFields()->GetItem(sourceValue)->GetValue());
      target->Update();
      source->MoveNext();
    }
    return 0;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG CHxAutoNumberList::GetNext(LONG key) {
  // The number is drawn inside a transaction, never outside one: within the caller's transaction
  // (as a nested one) or in a transaction of its own, which takes the database's write lock at
  // its start. So the number read back after the update is this caller's own even when other
  // workstations draw from the same key at the same time. When another workstation holds the
  // lock past the busy timeout, beginning fails after that one wait and nothing is drawn.
  _ConnectionPtr connection = CHxInstance::GetConnection();
  if (!connection) _com_issue_error(E_POINTER);
  CString update;
  update.Format(L"UPDATE kd_counter \nSET cn_MaxNumber=cn_MaxNumber+1 WHERE cn_Object=%d AND cn_Key=%d",
                m_object, key);
  CString select;
  select.Format(L"SELECT cn_MaxNumber \nFROM kd_counter \nWHERE cn_Object=%d AND cn_Key = %d", m_object, key);
  CString insert;
  insert.Format(L"INSERT INTO kd_counter \n(cn_Object, cn_Key, cn_MaxNumber) VALUES (%ld, %ld, %ld)", m_object,
                key, 1);
  for (int attempt = 0;; ++attempt) {
    connection->BeginTrans();
    bool inserting = false;
    try {
      _variant_t affected;
      connection->Execute(_bstr_t(static_cast<const wchar_t*>(update)), &affected, kCmdTextNoRecords);
      LONG result = 1;
      if (static_cast<LONG>(affected) > 0) {
        _variant_t value;
        HRESULT hr = hxGetValueFromSql(connection, select, value);
        if (FAILED(hr)) _com_issue_error(hr);
        if (value.vt != VT_I4) _com_issue_error(E_UNEXPECTED);
        result = value.lVal;
      } else {
        inserting = true;
        connection->Execute(_bstr_t(static_cast<const wchar_t*>(insert)), nullptr, kCmdTextNoRecords);
      }
      connection->CommitTrans();
      return result;
    } catch (const _com_error&) {
      try {
        connection->RollbackTrans();
      } catch (const _com_error&) {
      }
      // A database that lets another workstation insert the key's first row between our update
      // and insert refuses the insert: the next attempt finds the row and counts on from it.
      if (inserting && attempt == 0) continue;
      throw;
    }
  }
}
