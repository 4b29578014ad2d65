#include "zone/translist.h"

#include "shared/hxinstance.h"

namespace vorlen {
namespace {

// Opens a read-only static recordset on the framework's connection; a failure is raised.
_RecordsetPtr OpenReadOnly(const CString& sql) {
  _RecordsetPtr rs;
  const HRESULT hr = OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
  if (FAILED(hr)) _com_issue_error(hr);
  return rs;
}

// Reads the long values of `column` of every row into the list; a row that cannot be read is
// skipped.
void AddEveryRow(CTransactionList& list, const _RecordsetPtr& rs, const wchar_t* column) {
  if (rs->GetRecordCount() <= 0) return;
  rs->MoveFirst();
  while (!rs->GetadoEOF()) {
    try {
      list.AddUnique(static_cast<LONG>(rs->GetFields()->GetItem(_variant_t(column))->GetValue()));
    } catch (const _com_error&) {
    }
    rs->MoveNext();
  }
}

}  // namespace

void CTransactionList::BaseQuery(CString& query) const { query = L"SELECT tr_Id FROM   tr__Transaction "; }

void CTransactionList::AddCondition(const wchar_t* condition) {
  if (!m_conditions.IsEmpty()) m_conditions += L" AND ";
  m_conditions += condition ? condition : L"";
}

void CTransactionList::AddCondition(const wchar_t* column, LONG value) {
  CString condition;
  condition.Format(L"%s = %ld", column ? column : L"", value);
  AddCondition(condition.GetString());
}

CString CTransactionList::Statement() const {
  CString statement;
  BaseQuery(statement);
  if (!m_extension.IsEmpty()) statement += m_extension;
  if (!m_conditions.IsEmpty()) {
    statement += L" WHERE ";
    statement += m_conditions;
  }
  return statement;
}

HRESULT CTransactionList::Execute() {
  const CString statement = Statement();
  m_ids.clear();
  m_held.clear();
  try {
    AddEveryRow(*this, OpenReadOnly(statement), L"tr_Id");
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

void CTransactionList::AddUnique(LONG id) {
  if (m_held.insert(id).second) m_ids.push_back(id);
}

HRESULT SelectTransactionsToSend(CTransactionList& list, LONG regId, bool modified) {
  list.AddCondition(L"tr_StatusDisabled = 0");
  list.AddCondition(L"tr_StatusNotSupported = 0");
  list.AddCondition(L"tr_Grouped = 0");
  list.AddCondition(modified ? L"tr_StatusDataModified = 1" : L"tr_StatusDataModified = 0");
  list.AddCondition(L"tr_StatusPageId IS NOT NULL");
  list.AddCondition(L"( (tr_Group = 0 AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) )");
  list.AddCondition(L"tr_RegId", regId);
  const HRESULT hr = list.Execute();
  AddTransactionsWithModifiedPackages(list, regId);
  return hr;
}

void AddTransactionsWithModifiedPackages(CTransactionList& list, LONG regId) {
  CString sql;
  sql.Format(L" select distinct pc_Transid from pc__Package  join tr__Transaction on tr_id = pc_TransId  "
             L"where pc_StatusDataModified = 1  and tr_StatusDisabled = 0  and tr_grouped = 0  and ( (tr_Group = 0 "
             L"AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) )  and tr_statusPageId is "
             L"not NULL  and pc_RegId = %ld",
             regId);
  try {
    AddEveryRow(list, OpenReadOnly(sql), L"pc_Transid");
  } catch (const _com_error&) {
  }
}

}  // namespace vorlen
