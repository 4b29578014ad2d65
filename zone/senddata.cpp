// The send-page-data job: for each transaction of the current account whose page data is marked
// modified (or that owns a modified package), its buyer data, packages, page data, item
// positions and entry constraints go to its status page. Only a transaction whose five sends all
// went through loses its markers; any other is sent in full again by the next run.
#include <functional>

#include "shared/hxinstance.h"
#include "zone/containers.h"
#include "zone/jobtools.h"
#include "zone/pagedata.h"
#include "zone/statusmgr.h"
#include "zone/translist.h"

namespace vorlen {

using jobs::Call;
using jobs::Get;
using jobs::TextOf;

namespace {

// Raises a filler's failure with the error information it left.
void CheckFilled(HRESULT hr) {
  if (FAILED(hr)) platform::com::RaiseWithThreadInfo(hr);
}

}  // namespace

// What one of the five steps says: its detail header, and its failure line (the transaction's
// display text, for the buyer step the customer's name, then the failure's text).
struct CCoStatusMgr::SendStepTexts {
  const wchar_t* header;
  const wchar_t* failure;
  bool withCustomer;
};

HRESULT CCoStatusMgr::SendDataJob() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CTransactionList list;
    SelectTransactionsToSend(list, m_lCurrentRegId, true);
    if (list.IsEmpty()) {
      m_log.LogMessage(0, L"Nie ma danych do uaktualnienia");
      return S_OK;
    }
    LONG updated = 0;
    for (LONG id : list) {
      if (CheckCancel()) return kCancelled;
      try {
        if (SendTransactionData(id)) ++updated;
      } catch (const _com_error& e) {
        LogFailure(e);
      }
    }
    CString line;
    line.Format(L"Uaktualniono stron: %ld z %ld", updated, static_cast<LONG>(list.GetCount()));
    m_log.LogMessage(0, line);
    return S_OK;
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

bool CCoStatusMgr::SendTransactionData(LONG id) {
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omReadOnly);
  jobs::Ptr<IHxTransaction> transaction = jobs::Face<IHxTransaction>(item);
  if (m_log.LogLevel() >= 2) {
    CString line;
    line.Format(L"Wysyłanie danych do transakcji:\r\nid: %ld", id);
    m_log.LogMessage(2, line);
  }
  std::vector<LONG> packageIds;
  LoadPackageIds(packageIds, id);

  bool sent = false;
  const HRESULT results[] = {
      SendBuyerData(transaction, sent),           SendPackages(transaction, sent, packageIds),
      SendPageInfo(transaction, sent),            SendItems(transaction, sent),
      SendEntryConstraints(transaction, sent),
  };
  if (!sent) return false;
  for (HRESULT hr : results)
    if (FAILED(hr)) return false;

  m_log.LogMessage(2, L"- wszystkie dane wysłane");
  ClearModifiedPackages(packageIds);
  Call(transaction, &IHxTransaction::PutStatusSendState, LONG{0});
  Call(transaction, &IHxTransaction::PutStatusDataModified, static_cast<VARIANT_BOOL>(VARIANT_FALSE));
  CHxObjTools::Save(item);
  m_log.LogMessage(2, L"- transakcja zapisana");
  m_log.CountItem();
  m_log.LogMessage(1, L"Aktualizowanie stron");
  return true;
}

HRESULT CCoStatusMgr::SendStep(IHxTransaction* transactionRaw, bool& sent, const SendStepTexts& texts,
                               const std::function<bool(SendPhase&, IUnknownPtr&)>& work) {
  SendPhase phase = SendPhase::Prepare;
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  IUnknownPtr customer;
  try {
    if (m_log.LogLevel() >= 2) {
      jobs::Ptr<IFlgDataSet> data = jobs::Face<IFlgDataSet>(transaction);
      CString line;
      line.Format(texts.header, static_cast<LONG>(Get<_variant_t>(data, &IFlgDataSet::GetId)),
                  Get<LONG>(transaction, &IHxTransaction::GetCustomerId));
      m_log.LogMessage(2, line);
    }
    if (!work(phase, customer)) return S_OK;
    sent = true;
    m_log.LogMessage(2, L"-- dane wysłano");
    return S_OK;
  } catch (const _com_error& e) {
    if (phase == SendPhase::Prepare) return JobFailed(e);
    // A filler or the service failed: the step's line names the transaction (and the buyer).
    const CString text = FailureText(e);
    if (text.IsEmpty()) {
      m_log.LogErrorCode(e.Error());
      return e.Error();
    }
    try {
      const CString shown = TextOf(transaction, &IHxTransaction::GetDisplayText);
      CString line;
      if (texts.withCustomer)
        line.Format(texts.failure, shown.GetString(),
                    customer ? TextOf(jobs::Face<IHxCustomer>(customer), &IHxCustomer::GetDisplayName).GetString() : L"",
                    text.GetString());
      else
        line.Format(texts.failure, shown.GetString(), text.GetString());
      m_log.LogError(line);
    } catch (const _com_error&) {
      m_log.LogError(text);
    }
    return e.Error();
  }
}

HRESULT CCoStatusMgr::SendBuyerData(IHxTransaction* transactionRaw, bool& sent) {
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  static const SendStepTexts kTexts = {
      L"- wysyłanie danych kupującego\r\ntransakcja: %ld\r\nklient: %ld",
      L"Wysyłanie danych adresowych nie powiodło się:\r\ndotyczy: %ls\r\nklient: %ls\r\n%ls", true};
  return SendStep(transactionRaw, sent, kTexts, [&](SendPhase& phase, IUnknownPtr& customerHolder) {
    // Buyer data goes out while the seller acknowledged it, or while the page has none yet.
    const _variant_t trusted = Get<_variant_t>(transaction, &IHxTransaction::GetBuyerDataTrusted);
    const _variant_t acknowledged = Get<_variant_t>(transaction, &IHxTransaction::GetBuyerDataAcknowledged);
    const bool acknowledgedTrue = acknowledged.vt == VT_BOOL && acknowledged.boolVal != VARIANT_FALSE;
    const bool bothNull = trusted.vt == VT_NULL && acknowledged.vt == VT_NULL;
    if (!acknowledgedTrue && !bothNull) return false;
    _RecordsetPtr bidInfo = MakeContainer(&IVorlenConnector::CreateAuctionBidInfoContainer);
    _RecordsetPtr buyerData = MakeContainer(&IVorlenConnector::CreateBuyerDataInfoContainer);
    jobs::Ptr<IHxCustomer> customer = jobs::Load<IHxCustomer>(
        __uuidof(HxCustomer), Get<LONG>(transaction, &IHxTransaction::GetCustomerId), CHxObjTools::omReadOnly);
    customerHolder = customer.GetInterfacePtr();
    phase = SendPhase::Fill;
    // A transaction no bid names (no auction to point to) has no buyer data to send.
    if (!AppendTransactionBid(*this, transaction, customer, bidInfo)) return false;
    CheckFilled(FillBuyerData(buyerData, *this, transaction, customer));
    phase = SendPhase::Send;
    const LONG page = static_cast<LONG>(Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId));
    CheckConnector(Connector()->SetAcknowledgedBuyerData(m_lCurrentRegId, page, bidInfo, buyerData));
    return true;
  });
}

HRESULT CCoStatusMgr::SendPackages(IHxTransaction* transactionRaw, bool& sent, std::vector<LONG>& packageIds) {
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  static const SendStepTexts kTexts = {
      L"- wysyłanie informacji o paczkach\r\ntransakcja: %ld\r\nklient: %ld",
      L"Wysyłanie informacji o paczkach nie powiodło się:\r\ndotyczy: %ls\r\n%ls", false};
  return SendStep(transactionRaw, sent, kTexts, [&](SendPhase& phase, IUnknownPtr&) {
    _RecordsetPtr packages = MakeContainer(&IVorlenConnector::CreatePackageInfoContainer);
    _RecordsetPtr items = MakeContainer(&IVorlenConnector::CreateItemInfoContainer);
    phase = SendPhase::Fill;
    CheckFilled(FillPackages(*this, packages, items, packageIds));
    phase = SendPhase::Send;
    const LONG page = static_cast<LONG>(Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId));
    CheckConnector(Connector()->SetPackageData(m_lCurrentRegId, page, packages, items));
    return true;
  });
}

HRESULT CCoStatusMgr::SendPageInfo(IHxTransaction* transactionRaw, bool& sent) {
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  static const SendStepTexts kTexts = {
      L"- wysyłanie informacji o stronie\r\ntransakcja: %ld\r\nklient: %ld",
      L"Wysyłanie informacji podstawowych o stronie nie powiodło się:\r\ndotyczy: %ls\r\n%ls", false};
  return SendStep(transactionRaw, sent, kTexts, [&](SendPhase& phase, IUnknownPtr&) {
    _RecordsetPtr pageData = MakeContainer(&IVorlenConnector::CreatePageDataInfoContainer);
    phase = SendPhase::Fill;
    CheckFilled(FillPageData(*this, pageData, transaction));
    phase = SendPhase::Send;
    const LONG page = static_cast<LONG>(Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId));
    CheckConnector(Connector()->SetPageData(m_lCurrentRegId, page, pageData));
    return true;
  });
}

HRESULT CCoStatusMgr::SendItems(IHxTransaction* transactionRaw, bool& sent) {
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  static const SendStepTexts kTexts = {
      L"- wysyłanie danych przedmiotu\r\ntransakcja: %ld\r\nklient: %ld",
      L"Wysyłanie informacji o towarach transakcji nie powiodło się:\r\ndotyczy: %ls\r\n%ls", false};
  return SendStep(transactionRaw, sent, kTexts, [&](SendPhase& phase, IUnknownPtr&) {
    _RecordsetPtr items = MakeContainer(&IVorlenConnector::CreateItemInfoContainer);
    phase = SendPhase::Fill;
    // No positions: the page's item list is sent empty.
    FillItemRows(*this, items, transaction);
    phase = SendPhase::Send;
    const LONG page = static_cast<LONG>(Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId));
    CheckConnector(Connector()->SetItemData(m_lCurrentRegId, page, items));
    return true;
  });
}

HRESULT CCoStatusMgr::SendEntryConstraints(IHxTransaction* transactionRaw, bool& sent) {
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  static const SendStepTexts kTexts = {
      L"- wysyłanie znaczników dostępności edycji\r\ntransakcja: %ld\r\nklient: %ld",
      L"Ustawianie dostępności edycji danych przez klienta zakończone niepowodzeniem:\r\ndotyczy: %ls\r\n%ls", false};
  return SendStep(transactionRaw, sent, kTexts, [&](SendPhase& phase, IUnknownPtr&) {
    phase = SendPhase::Fill;
    EntryConstraints record{1, 1, 1, 1};
    CheckFilled(FillEntryConstraints(transaction, record));
    phase = SendPhase::Send;
    const LONG page = static_cast<LONG>(Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId));
    CheckConnector(Connector()->SetDataEntryConstraints(m_lCurrentRegId, page, record));
    return true;
  });
}

void LoadPackageIds(std::vector<LONG>& packageIds, LONG transactionId) {
  try {
    CString sql;
    sql.Format(L"SELECT pc_Id FROM pc__Package WHERE pc_TransId=%ld", transactionId);
    _RecordsetPtr rs;
    if (FAILED(OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly))) return;
    for (; !rs->GetadoEOF(); rs->MoveNext()) packageIds.push_back(static_cast<LONG>(jobs::Field(rs, L"pc_Id")));
  } catch (const _com_error&) {
    // What was read is sent.
  }
}

HRESULT ClearModifiedPackages(const std::vector<LONG>& packageIds) {
  try {
    for (LONG id : packageIds) {
      if (id <= 0) continue;
      IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxPackage), id, CHxObjTools::omEdit);
      jobs::Ptr<IHxPackage> package = jobs::Face<IHxPackage>(item);
      Call(package, &IHxPackage::PutModified, LONG{0});
      Call(package, &IHxPackage::Recompute);
      CHxObjTools::Save(item);
    }
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

}  // namespace vorlen
