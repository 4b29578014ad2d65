#pragma once
// The selection lists of the seller-zone jobs: the ids (tr_Id) of the transactions a job works
// on, selected from tr__Transaction by the conditions the caller adds one by one. A job makes a
// list on its stack, adds its conditions, executes it once and walks the ids in order.
#include <unordered_set>
#include <vector>

#include "framework/zephra.h"

namespace vorlen {

class CTransactionList {
 public:
  using const_iterator = std::vector<LONG>::const_iterator;

  CTransactionList() = default;
  CTransactionList(const CTransactionList&) = delete;
  CTransactionList& operator=(const CTransactionList&) = delete;

  // "SELECT tr_Id FROM   tr__Transaction " (the statement before its WHERE part).
  virtual void BaseQuery(CString& query) const;
  virtual ~CTransactionList() = default;
  // Builds the statement, runs it on the framework's connection and fills the list again with
  // the ids it gives (a row that cannot be read is skipped). 0, or the HRESULT of the failure:
  // the list then keeps what was added before it.
  virtual HRESULT Execute();
  // Appends the id unless the list holds it already.
  virtual void AddUnique(LONG id);

  // Appends a condition, after " AND " when there are conditions already.
  void AddCondition(const wchar_t* condition);
  // Appends the condition "<column> = <value>".
  void AddCondition(const wchar_t* column, LONG value);

  // The statement Execute runs: the base query, the extension, then " WHERE " and the conditions
  // when there are any.
  CString Statement() const;

  size_t GetCount() const { return m_ids.size(); }
  bool IsEmpty() const { return m_ids.empty(); }
  const_iterator begin() const { return m_ids.begin(); }
  const_iterator end() const { return m_ids.end(); }
  const std::vector<LONG>& Ids() const { return m_ids; }

 protected:
  std::vector<LONG> m_ids;
  CString m_conditions;
  // Text between the base query and the WHERE part (nothing in this system sets it).
  CString m_extension;

 private:
  std::unordered_set<LONG> m_held;
};

// The transactions whose page data is to be sent: of the account, with a status page, not
// disabled, not grouped, whose data is marked modified (`modified`) or not, single ones linked
// to an auction or groups without one; then those that own a package marked modified. Returns
// the result of the list's Execute.
HRESULT SelectTransactionsToSend(CTransactionList& list, LONG regId, bool modified);
// Adds the transactions of the account that own a package marked modified (with a status page,
// not disabled, not grouped). A failure of its query ends it unreported.
void AddTransactionsWithModifiedPackages(CTransactionList& list, LONG regId);

}  // namespace vorlen
