// The close-pages job: for the current account it closes, on the service, the status pages that
// are no longer wanted and clears the local references to them, in three phases: pages of
// transactions deleted here, pages of transactions switched off for the service, and pages of
// completed transactions that have not changed for 30 days.
#include <vector>

#include "shared/sqltools.h"
#include "zone/jobtools.h"
#include "zone/statusmgr.h"
#include "zone/translist.h"

namespace vorlen {

using jobs::Call;

namespace {

constexpr HRESULT kPageClosed = static_cast<HRESULT>(0x80044599u);


}  // namespace

bool CCoStatusMgr::Selected(CTransactionList& list, const wchar_t* noneText) {
  if (SUCCEEDED(list.Execute()) && !list.IsEmpty()) return true;
  m_log.LogMessage(0, noneText);
  return false;
}

HRESULT CCoStatusMgr::ClosePages() {
  // Each phase ends on its own (a cancel too); the next one starts anyway and meets a cancel at
  // its first check.
  CloseDeletedTransactionPages();
  CloseUnusedPages();
  CloseOldPages();
  return S_OK;
}

bool CCoStatusMgr::ClosePage(LONG pageId, bool& alreadyClosed) {
  alreadyClosed = false;
  try {
    CheckConnector(Connector()->ClosePage(m_lCurrentRegId, pageId, vtMissing));
    return true;
  } catch (const _com_error& e) {
    const CString text = FailureText(e);
    if (e.Error() == kPageClosed) {
      CString line;
      line.Format(L"Próba zamknięcia strony już nieistniejącej:\r\n%ls", text.GetString());
      m_log.LogMessage(0, line);
      alreadyClosed = true;
      return true;
    }
    // The page stays for a later run; the log says why it could not be closed now.
    if (text.IsEmpty()) {
      CString code;
      code.Format(L"Błąd 0x%08X", static_cast<unsigned>(e.Error()));
      m_log.LogWarning(code);
    } else {
      m_log.LogWarning(text);
    }
    return false;
  }
}

HRESULT CCoStatusMgr::CloseDeletedTransactionPages() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CString sql;
    sql.Format(L"SELECT ts_PageId FROM tr_TransStatus WHERE ts_ClosePage = 1 and ts_TransRegId = %ld and not exists "
               L"(select tr_id from tr__Transaction where tr_id = ts_TransId ) ",
               m_lCurrentRegId);
    _RecordsetPtr rs;
    const HRESULT opened = OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
    if (FAILED(opened)) return opened;
    const LONG total = rs->GetRecordCount();
    if (total == 0) {
      m_log.LogMessage(0, L"Nie ma stron do zamknięcia dla transakcji usuniętych");
      return S_OK;
    }
    std::vector<LONG> closed;
    LONG number = 1;
    rs->MoveFirst();
    while (!rs->GetadoEOF()) {
      if (CheckCancel()) return kCancelled;
      try {
        const LONG pageId = static_cast<LONG>(jobs::Field(rs, L"ts_PageId"));
        CString line;
        line.Format(L"Zamykanie strony %ld z %ld", number++, total);
        m_log.LogMessage(1, line);
        bool alreadyClosed = false;
        if (ClosePage(pageId, alreadyClosed)) {
          closed.push_back(pageId);
          if (!alreadyClosed) m_log.CountItem();
        }
      } catch (const _com_error& e) {
        LogFailure(e);
      }
      rs->MoveNext();
    }
    if (!closed.empty()) {
      CString ids, remove;
      hxStringWithIDs(ids, closed);
      remove.Format(L"DELETE FROM tr_TransStatus WHERE ts_PageId IN(%ls)", ids.GetString());
      hxExecuteSql(CHxInstance::GetConnection(), remove);
    }
    CString summary;
    summary.Format(L"Zamknięto stron dla transakcji usuniętych: %ld z %ld", static_cast<LONG>(closed.size()), total);
    m_log.LogMessage(0, summary);
    return S_OK;
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

HRESULT CCoStatusMgr::CloseUnusedPages() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CTransactionList list;
    list.AddCondition(L"( tr_StatusDisabled = 1 OR tr_StatusNotSupported = 1 )");
    list.AddCondition(L"tr_StatusPageId IS NOT NULL");
    list.AddCondition(L"tr_RegId", m_lCurrentRegId);
    if (!Selected(list, L"Nie ma stron nieużywanych do zamknięcia")) return S_OK;
    return ClosePagesOfTransactions(list, L"- transakcja zapisana", L"Zamknięto stron nieużywanych: %ld z %ld");
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

HRESULT CCoStatusMgr::CloseOldPages() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CString cutOff;
    cutOff.Format(L"tr_LastModified < '%ls'", jobs::CutOffDay().GetString());
    CTransactionList list;
    list.AddCondition(L"tr_Grouped = 0");
    list.AddCondition(L"tr_StatusPageId IS NOT NULL");
    list.AddCondition(L"tr_RegId", m_lCurrentRegId);
    list.AddCondition(L"tr_Complete > 1");
    list.AddCondition(cutOff);
    if (!Selected(list, L"Nie ma starych stron do zamknięcia")) return S_OK;
    return ClosePagesOfTransactions(list, L"- czyszczenie informacji o stronie w transakcji",
                                    L"Zamknięto starych stron: %ld z %ld");
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

HRESULT CCoStatusMgr::ClosePagesOfTransactions(const CTransactionList& list, const wchar_t* savedLine,
                                               const wchar_t* summaryFormat) {
  const LONG total = static_cast<LONG>(list.GetCount());
  LONG number = 1, closed = 0;
  for (LONG id : list) {
    if (CheckCancel()) return kCancelled;
    try {
      IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omEdit);
      jobs::Ptr<IHxTransaction> transaction = jobs::Face<IHxTransaction>(item);
      _variant_t page;
      Call(transaction, &IHxTransaction::GetStatusPageId, &page);
      const LONG pageId = static_cast<LONG>(page);
      CString line;
      line.Format(L"Zamykanie strony %ld z %ld", number++, total);
      m_log.LogMessage(1, line);
      bool alreadyClosed = false;
      if (!ClosePage(pageId, alreadyClosed)) continue;
      // Closed on the service: the transaction forgets its page.
      Call(transaction, &IHxTransaction::ClearStatusPageInfo);
      m_log.LogMessage(2, L"- wyczyszczono informacje o stronie w transakcji");
      CHxObjTools::Save(item);
      m_log.LogMessage(2, savedLine);
      ++closed;
      m_log.CountItem();
    } catch (const _com_error& e) {
      LogFailure(e);
    }
  }
  CString summary;
  summary.Format(summaryFormat, closed, total);
  m_log.LogMessage(0, summary);
  return S_OK;
}

}  // namespace vorlen
