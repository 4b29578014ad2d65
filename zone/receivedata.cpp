// The receive-buyer-data job: what buyers entered on the current account's status pages since
// the account's last synchronisation (notes, billing and delivery addresses) comes into the
// transactions of those pages, each stamped with its page's entry date; the account's
// ST_LastSynch then moves to the newest entry date met, which is the next run's cut-off.
#include "shared/hxinstance.h"
#include "shared/sqltools.h"
#include "zone/containers.h"
#include "zone/jobtools.h"
#include "zone/pagedata.h"
#include "zone/statusmgr.h"
#include "zone/translist.h"

namespace vorlen {

using jobs::Call;
using jobs::Field;
using jobs::Get;
using jobs::IsNull;

namespace {

// The cut-off of an account that never synchronised.
const COleDateTime kFirstCutOff(2007, 11, 21, 0, 0, 0);

// A page id of a container row; false when the row has none.
bool PageOf(const _RecordsetPtr& rs, LONG& page) {
  _variant_t value = Field(rs, L"page_id");
  if (IsNull(value) || FAILED(VariantChangeType(&value, &value, 0, VT_I4))) return false;
  page = value.lVal;
  return true;
}

LONG Rows(const _RecordsetPtr& rs) { return static_cast<LONG>(rs->GetRecordCount()); }

}  // namespace

HRESULT CCoStatusMgr::ReceiveBuyerDataJob() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CTransactionList list;
    list.AddCondition(L"tr_StatusDisabled = 0");
    list.AddCondition(L"tr_StatusNotSupported = 0");
    list.AddCondition(L"tr_Grouped = 0");
    list.AddCondition(L"( (tr_Group = 0 AND tr_AuctionId IS NOT NULL) OR (tr_Group = 1 AND tr_AuctionId IS NULL) )");
    list.AddCondition(L"tr_StatusPageId IS NOT NULL");
    list.AddCondition(L"tr_RegId", m_lCurrentRegId);
    list.AddCondition(L"tr_Complete < 2");

    jobs::Ptr<IRegistration> account =
        jobs::Load<IRegistration>(CLSID_CoRegistration, m_lCurrentRegId, CHxObjTools::omReadOnly);
    _variant_t lastSynch;
    Call(account, &IRegistration::GetST_LastSynch, &lastSynch);
    COleDateTime cutOff = kFirstCutOff;
    if (lastSynch.vt == VT_DATE) cutOff = lastSynch.date;
    // The newest entry date is the account's own: it starts from the account's cut-off, so the
    // stored value never comes from another account's pages and never moves back.
    m_latestEntryDate = cutOff;
    CString line;
    line.Format(L"Data ostatniej zmiany wprowadzonej przez klientów: %ls",
                cutOff.Format(L"%Y-%m-%d %H:%M:%S").GetString());
    m_log.LogMessage(0, line);

    _RecordsetPtr changes;
    CollectChangedPages(list, *this, cutOff, changes);
    if (!changes) return S_OK;
    if (Rows(changes) == 0) {
      m_log.LogMessage(0, L"Nie wprowadzono żadnych zmian na stronach statusów od ostatniej synchronizacji");
      return S_OK;
    }
    if (CheckCancel()) return kCancelled;
    return ReceiveChangedPages(changes, account);
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

HRESULT CCoStatusMgr::ReceiveChangedPages(const _RecordsetPtr& changes, IRegistration* account) {
  CString line;
  line.Format(L"Liczba zmodyfikowanych stron od poprzedniej synchronizacji: %ld", Rows(changes));
  m_log.LogMessage(0, line);
  m_log.LogMessage(2, L"- wybieranie transakcji wymagających uaktualnienia");
  _RecordsetPtr pages;
  SelectPagesToUpdate(*this, changes, pages);
  if (!pages) return S_OK;
  const LONG n = Rows(pages);
  if (n == 0) {
    m_log.LogMessage(0, L"Wszystkie dane adresowe są aktualne");
    StoreLastSynch(*this, account);
    return S_OK;
  }
  std::set<LONG> requested;
  for (pages->MoveFirst(); !pages->GetadoEOF(); pages->MoveNext()) {
    LONG page = 0;
    if (PageOf(pages, page)) requested.insert(page);
  }
  line.Format(L"Aktualizacja transakcji: %ld", n);
  m_log.LogMessage(0, line);
  m_log.LogMessage(2, L"- pobieranie danych");
  _Recordset *rawBids = nullptr, *rawBuyers = nullptr;
  const HRESULT asked = Connector()->GetBuyerData(m_lCurrentRegId, pages, &rawBids, &rawBuyers);
  _RecordsetPtr bids(rawBids, false), buyers(rawBuyers, false);
  CheckConnector(asked);

  LONG saved = 0;
  std::set<LONG> savedPages;
  ApplyReceivedBuyerData(*this, changes, bids, buyers, saved, &savedPages, &requested);
  // The cut-off moves only once every requested page is in its transactions; otherwise the same
  // changes are asked for again.
  if (savedPages == requested) StoreLastSynch(*this, account);
  line.Format(L"Zaktualizowano %ld z %ld transakcji", saved, n);
  m_log.LogMessage(0, line);
  return S_OK;
}

HRESULT CollectChangedPages(CTransactionList& list, CCoStatusMgr& manager, DATE cutOff, _RecordsetPtr& changes) {
  changes = nullptr;
  try {
    manager.m_log.LogMessage(1, L"Pobieranie informacji o zmienionych stronach");
    if (!manager.Selected(list, L"Nie ma transakcji, dla których trzeba pobrać dane")) return S_OK;
    _RecordsetPtr pageIds = manager.MakeContainer(&IVorlenConnector::CreatePageIdsContainer);
    for (LONG id : list) {
      if (manager.CheckCancel()) return kCancelled;
      try {
        jobs::Ptr<IHxTransaction> transaction =
            jobs::Load<IHxTransaction>(__uuidof(HxTransaction), id, CHxObjTools::omReadOnly);
        const _variant_t page = Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId);
        pageIds->AddNew();
        PutRecordsetField(pageIds, L"page_id", page);
      } catch (const _com_error& e) {
        manager.LogFailure(e);
      }
    }
    if (Rows(pageIds) == 0) return S_OK;
    _Recordset* raw = nullptr;
    const HRESULT asked = manager.Connector()->GetPageChangesInfo(manager.m_lCurrentRegId, pageIds, cutOff, &raw);
    _RecordsetPtr answer(raw, false);
    manager.CheckConnector(asked);
    changes = answer;
    return S_OK;
  } catch (const _com_error& e) {
    return manager.JobFailed(e);
  }
}

HRESULT SelectPagesToUpdate(CCoStatusMgr& manager, _Recordset* changesRaw, _RecordsetPtr& pages) {
  pages = nullptr;
  try {
    _RecordsetPtr made = manager.MakeContainer(&IVorlenConnector::CreatePageIdsContainer);
    if (!changesRaw) return E_INVALIDARG;
    pages = made;
    _RecordsetPtr changes(changesRaw);
    if (Rows(changes) == 0) return S_OK;
    // A page named twice (the service answers once per transaction asked about) is asked for once.
    std::set<LONG> selected;
    for (changes->MoveFirst(); !changes->GetadoEOF(); changes->MoveNext()) {
      LONG page = 0;
      if (!PageOf(changes, page)) continue;  // a change the service gave without its page
      const _variant_t date = Field(changes, L"last_dataEntry_date");
      const COleDateTime entry(date.vt == VT_DATE ? date.date : 0.0);
      CString sql;
      sql.Format(L" select tr_id from tr__Transaction  WHERE tr_StatusPageId = %ld  AND ( tr_StatusBuyerEntryDate != "
                 L"'%ls' OR tr_StatusBuyerEntryDate IS NULL ) ",
                 page, entry.Format(L"%Y%m%d %H:%M:%S").GetString());
      _variant_t stale;
      const HRESULT hr = hxGetValueFromSql(sql, stale);
      if (FAILED(hr)) _com_issue_error(hr);
      if (entry > manager.m_latestEntryDate) manager.m_latestEntryDate = entry;
      if (stale.vt != VT_NULL && selected.insert(page).second) {
        pages->AddNew();
        PutRecordsetField(pages, L"page_id", page);
      }
    }
    return S_OK;
  } catch (const _com_error& e) {
    manager.LogFailure(e);
    return e.Error();
  }
}

HRESULT ApplyReceivedBuyerData(CCoStatusMgr& manager, _Recordset* changes, _Recordset* bidInfo, _Recordset* buyerData,
                               LONG& count, std::set<LONG>* savedPages, const std::set<LONG>* requested) {
  count = 0;
  try {
    manager.m_log.LogMessage(2, L"-- zapisywanie danych do transakcji");
    if (!changes || !bidInfo || !buyerData) return S_OK;
    _RecordsetPtr bids(bidInfo), buyers(buyerData), changed(changes);
    if (Rows(changed) == 0 || Rows(bids) == 0 || Rows(buyers) == 0) return S_OK;
    if (Rows(bids) != Rows(buyers)) manager.m_log.LogMessage(2, L"--- UWAGA! Różna ilość danych w BidInfo i BuyerInfo!");
    for (bids->MoveFirst(); !bids->GetadoEOF(); bids->MoveNext()) {
      try {
        _variant_t buyer = Field(bids, L"buyer_id");
        jobs::Check(VariantChangeType(&buyer, &buyer, 0, VT_I8), bidInfo, __uuidof(_Recordset));
        const CString auction = jobs::Text(Field(bids, L"auction_id"));
        const LONG service = static_cast<LONG>(Field(bids, L"service_id"));
        manager.m_log.LogMessage(2, L"--- pobieranie Id transakcji");
        LONG id = 0;
        if (FAILED(FindBidTransaction(service, manager, buyer.llVal, auction, id, requested))) continue;
        manager.m_log.LogMessage(2, L"---- pobrano");
        IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omReadOnly);
        jobs::Ptr<IHxTransaction> transaction = jobs::Face<IHxTransaction>(item);
        const _variant_t pageValue = Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId);
        const LONG page = pageValue.vt == VT_I4 ? pageValue.lVal : 0;
        CString line;
        if (requested && (pageValue.vt != VT_I4 || !requested->count(page))) {
          // The bid names a transaction whose page was not asked for: its data is not this one's.
          line.Format(L"Dane kupującego ze Strefy Vantor pominięto: oferta nie dotyczy pobieranych stron.\r\n"
                      L"kupujący: %I64d\r\naukcja: %ls\r\ntransakcja: %ld",
                      buyer.llVal, auction.GetString(), id);
          manager.m_log.LogWarning(line);
          continue;
        }
        jobs::Check(item->BeginEdit(), item, __uuidof(IFlgItem));
        const _variant_t key = Field(bids, L"id");
        const HRESULT written = WriteBuyerData(key.vt == VT_I4 ? key.lVal : -2, buyers, manager, transaction);
        if (FAILED(written)) {
          if (Rows(buyers) != 0) platform::com::RaiseWithThreadInfo(written);
          // Without its buyer's row the page would be marked current with nothing brought in.
          line.Format(L"Strefa Vantor nie podała danych kupującego dla oferty:\r\nkupujący: %I64d\r\naukcja: %ls",
                      buyer.llVal, auction.GetString());
          manager.m_log.LogError(line);
          continue;
        }
        jobs::Check(SetBuyerEntryDate(transaction, changes), transaction, __uuidof(IHxTransaction));
        Call(transaction, &IHxTransaction::PutStatusReceiveState, LONG{0});
        CHxObjTools::Save(item);
        manager.m_log.LogMessage(2, L"--- transakcja zapisana");
        ++count;
        manager.m_log.CountItem();
        if (savedPages) savedPages->insert(page);
      } catch (const _com_error& e) {
        manager.LogFailure(e);
      }
    }
    return S_OK;
  } catch (const _com_error& e) {
    return manager.JobFailed(e);
  }
}

CString LikeLiteral(const wchar_t* text) {
  CString out;
  for (const wchar_t* c = text ? text : L""; *c; ++c) {
    switch (*c) {
      case L'\'': out += L"''"; break;
      case L'%': out += L"[%]"; break;
      case L'_': out += L"[_]"; break;
      case L'[': out += L"[[]"; break;
      default: out += *c; break;
    }
  }
  return out;
}

HRESULT FindBidTransaction(LONG serviceId, CCoStatusMgr& manager, LONGLONG buyerId, const wchar_t* auctionNumber,
                           LONG& transactionId, const std::set<LONG>* requested) {
  transactionId = 0;
  try {
    CString provider;
    if (serviceId == 1)
      provider = L"(au_svcProvId = 1 OR au_svcProvId = 4)";
    else
      provider.Format(L"au_svcProvId = %ld", serviceId);
    const wchar_t* number = auctionNumber ? auctionNumber : L"";
    CString line;
    if (manager.m_log.LogLevel() >= 2) {
      line.Format(L"-- wyszukiwanie transakcji\r\nklient: %I64d\r\naukcja: %ls", buyerId, number);
      manager.m_log.LogMessage(2, line);
    }
    CString sql;
    sql.Format(L" select tr_id, tr_Grouped from tr__Transaction  inner join au__Auction on tr_AuctionId = au_Id  inner "
               L"join cs__Customer on tr_CustomerId = cs_Id  WHERE %ls  AND au_Number like '%ls' AND cs_ExtServiceId = "
               L"%I64d",
               provider.GetString(), LikeLiteral(number).GetString(), buyerId);
    _RecordsetPtr rs;
    HRESULT hr = OpenRS(rs, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
    if (FAILED(hr)) return hr;
    if (rs->GetadoEOF()) return E_FAIL;
    // A buyer may have bought more than once in the auction: the bid is the transaction (of a
    // group, the group) whose page was asked for; when none is, the first row's.
    HRESULT first = E_FAIL;
    for (; !rs->GetadoEOF(); rs->MoveNext()) {
      const LONG id = static_cast<LONG>(Field(rs, L"tr_Id"));
      LONG found = id;
      const _variant_t grouped = Field(rs, L"tr_Grouped");
      if (!IsNull(grouped) && static_cast<bool>(grouped)) {
        if (manager.m_log.LogLevel() >= 2) {
          line.Format(L"--- transakcja zgrupowana\r\nid: %ld", id);
          manager.m_log.LogMessage(2, line);
        }
        sql.Format(L"SELECT tg_TransId FROM tr_Group WHERE tg_PrimaryTransId = %ld", id);
        _RecordsetPtr group;
        hr = OpenRS(group, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
        if (FAILED(hr)) return hr;
        if (group->GetadoEOF()) continue;
        found = static_cast<LONG>(Field(group, L"tg_TransId"));
        if (manager.m_log.LogLevel() >= 2) {
          line.Format(L"--- grupa transakcji\r\nid: %ld", id);
          manager.m_log.LogMessage(2, line);
        }
      }
      if (FAILED(first)) {
        first = S_OK;
        transactionId = found;
      }
      if (!requested) break;
      sql.Format(L"SELECT tr_StatusPageId FROM tr__Transaction WHERE tr_Id = %ld", found);
      _variant_t page;
      hr = hxGetValueFromSql(sql, page);
      if (FAILED(hr)) return hr;
      if (page.vt != VT_NULL && SUCCEEDED(VariantChangeType(&page, &page, 0, VT_I4)) && requested->count(page.lVal)) {
        transactionId = found;
        return S_OK;
      }
    }
    return first;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT SetBuyerEntryDate(IHxTransaction* transactionRaw, _Recordset* changesRaw) {
  if (!transactionRaw || !changesRaw) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    const _variant_t page = Get<_variant_t>(transaction, &IHxTransaction::GetStatusPageId);
    if (page.vt != VT_I4) return S_OK;
    _RecordsetPtr changes(changesRaw);
    CString filter;
    filter.Format(L"page_id = %ld", page.lVal);
    changes->PutFilter(_variant_t(filter.GetString()));
    if (Rows(changes) == 0) return S_OK;
    changes->MoveFirst();
    Call(transaction, &IHxTransaction::PutBuyerEntryDate, Field(changes, L"last_dataEntry_date"));
    return S_OK;
  });
}

HRESULT StoreLastSynch(CCoStatusMgr& manager, IRegistration* registrationRaw) {
  if (!registrationRaw) return E_INVALIDARG;
  jobs::Ptr<IFlgItem> item;
  bool editing = false;
  try {
    jobs::Ptr<IRegistration> registration(registrationRaw);
    item = jobs::Face<IFlgItem>(registrationRaw);
    // The account is saved only while it is edited (under its edit lock).
    Call(item, &IFlgItem::BeginEdit);
    editing = true;
    _variant_t date;
    date.vt = VT_R8;
    date.dblVal = manager.m_latestEntryDate;
    Call(registration, &IRegistration::PutST_LastSynch, date);
    Call(item, &IFlgItem::Check);
    Call(item, &IFlgItem::Save);
    editing = false;
    Call(item, &IFlgItem::EndEdit);
    return S_OK;
  } catch (const _com_error& e) {
    if (editing) item->EndEdit();
    return manager.JobFailed(e);
  }
}

}  // namespace vorlen
