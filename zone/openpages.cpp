// The open-pages job: a status page on the service for each recent transaction of the current
// account that has none yet. The page's id and address go into the transaction, with the buyer
// data the service already holds; the transaction is marked for the send job and the host is
// asked to send the buyer the automatic message about the page.
#include "shared/hxinstance.h"
#include "zone/containers.h"
#include "zone/jobtools.h"
#include "zone/statusmgr.h"
#include "zone/translist.h"

namespace vorlen {

using jobs::Call;
using jobs::Field;
using jobs::IsNull;
using jobs::Text;
using jobs::TextOf;

namespace {

// Appends the bid of `customer` in `auction` to the bid info; raises a failure.
void AppendBid(_Recordset* bidInfo, CCoStatusMgr& manager, const jobs::Ptr<IHxCustomer>& customer,
                  const jobs::Ptr<IHxAuction>& auction) {
  _variant_t buyer;
  Call(customer, &IHxCustomer::GetServiceUserId, &buyer);
  LONG service = 0;
  Call(auction, &IHxAuction::GetServiceId, &service);
  const CString number = TextOf(auction, &IHxAuction::GetNumber);
  jobs::Check(AddBidInfoRow(bidInfo, manager, buyer.vt == VT_I4 ? buyer.lVal : 0, number, service), bidInfo,
              __uuidof(_Recordset));
}

jobs::Ptr<IHxAuction> LinkedAuction(const _variant_t& link) {
  return jobs::Load<IHxAuction>(__uuidof(HxAuction), static_cast<LONG>(link), CHxObjTools::omReadOnly);
}

}  // namespace

HRESULT CCoStatusMgr::OpenPages() {
  try {
    SetHostState(0);
    if (CheckCancel()) return kCancelled;
    CString cutOff;
    cutOff.Format(L"tr_CreationDate > '%ls'", jobs::CutOffDay().GetString());
    CTransactionList list;
    list.AddCondition(L"tr_StatusDisabled = 0");
    list.AddCondition(L"tr_StatusNotSupported = 0");
    list.AddCondition(L"tr_Grouped = 0");
    list.AddCondition(L"tr_StatusPageId IS NULL");
    list.AddCondition(L"tr_RegId", m_lCurrentRegId);
    list.AddCondition(L"tr_Complete < 2");
    list.AddCondition(cutOff);
    if (!Selected(list, L"Nie ma nowych stron do otwarcia")) return S_OK;
    const LONG total = static_cast<LONG>(list.GetCount());
    LONG number = 1, pages = 0, buyerData = 0;
    for (LONG id : list) {
      if (CheckCancel()) return kCancelled;
      try {
        OpenPageOfTransaction(id, number, total, pages, buyerData);
      } catch (const _com_error& e) {
        LogFailure(e);
      }
    }
    CString line;
    line.Format(L"Utworzono nowych stron: %ld z %ld", pages, total);
    m_log.LogMessage(0, line);
    line.Format(L"Odebrano niepotwierdzonych danych: %ld", buyerData);
    m_log.LogMessage(0, line);
    return S_OK;
  } catch (const _com_error& e) {
    return JobFailed(e);
  }
}

void CCoStatusMgr::OpenPageOfTransaction(LONG id, LONG& number, LONG total, LONG& pages, LONG& buyerData) {
  _RecordsetPtr bidInfo = MakeContainer(&IVorlenConnector::CreateAuctionBidInfoContainer);
  IFlgItemPtr item = CHxObjTools::Fetch(__uuidof(HxTransaction), id, CHxObjTools::omEdit);
  jobs::Ptr<IHxTransaction> transaction = jobs::Face<IHxTransaction>(item);
  LONG customerId = 0;
  Call(transaction, &IHxTransaction::GetCustomerId, &customerId);
  jobs::Ptr<IHxCustomer> customer = jobs::Load<IHxCustomer>(__uuidof(HxCustomer), customerId, CHxObjTools::omReadOnly);

  // A transaction whose buyer cannot be named by a bid (no auction) is left for later.
  if (FAILED(FillBidInfo(*this, transaction, customer, bidInfo))) return;

  CString line;
  line.Format(L"Otwieranie strony %ld z %ld", number++, total);
  m_log.LogMessage(1, line);
  line.Format(L"- transakcja:\r\nid: %ld\r\nklient: %ld", id, customerId);
  m_log.LogMessage(2, line);

  _Recordset *rawPage = nullptr, *rawBuyer = nullptr, *rawBids = nullptr;
  const HRESULT opened =
      Connector()->OpenTrustedPage(m_lCurrentRegId, bidInfo, static_cast<BOOL>(VARIANT_TRUE), &rawPage, &rawBuyer, &rawBids);
  _RecordsetPtr pageInfo(rawPage, false), buyer(rawBuyer, false), bids(rawBids, false);
  // What the transaction is called in the error lines and warnings.
  auto failed = [&](const CString& text) {
    CString message;
    message.Format(L"Otwieranie strony w Strefie Vantor nie powiodło się:\r\ndotyczy: %ls\r\nklient: %ls\r\n%ls",
                   TextOf(transaction, &IHxTransaction::GetDisplayText).GetString(),
                   TextOf(customer, &IHxCustomer::GetDisplayName).GetString(), text.GetString());
    m_log.LogError(message);
  };
  if (opened == S_FALSE) m_log.LogMessage(2, L"- strona jest już otwarta");
  if (FAILED(opened)) {
    try {
      CheckConnector(opened);
    } catch (const _com_error& e) {
      const CString text = FailureText(e);
      if (text.IsEmpty())
        m_log.LogErrorCode(opened);
      else
        failed(text);
    }
    return;
  }

  const HRESULT written = WritePageInfo(*this, transaction, pageInfo);
  if (SUCCEEDED(written)) {
    ++pages;
  } else {
    // The service answered without the page (or its id could not be written): the transaction
    // is opened again by a later run.
    const bool noPage = !pageInfo || pageInfo->GetRecordCount() == 0;
    failed(noPage ? CString(L"Strefa Vantor nie podała danych otwartej strony.") : FailureText(_com_error(written)));
  }
  if (SUCCEEDED(WriteBuyerData(-1, buyer, *this, transaction))) ++buyerData;

  Call(transaction, &IHxTransaction::PutStatusDataModified, static_cast<VARIANT_BOOL>(VARIANT_TRUE));
  Call(transaction, &IHxTransaction::PutStatusReceiveState, LONG{0});
  Call(transaction, &IHxTransaction::PutStatusSendState, LONG{0});
  CHxObjTools::Save(item);
  m_log.LogMessage(2, L"- transakcja zapisana");

  // The buyer is told of the page only once the transaction knows it.
  if (SUCCEEDED(written)) {
    const HRESULT mail = transaction->CreateBuyerMessage();
    if (mail == S_FALSE || FAILED(mail)) {
      CString warning;
      warning.Format(mail == S_FALSE
                         ? L"Tworzenie automatycznej wiadomości nie powiodło się.\r\nPrawdopodbnie klient poczty nie "
                           L"jest poprawnie skonfigurowany lub nie zostały włączone wiadomości "
                           L"automatyczne.\r\ndotyczy: %ls\r\nklient: %ls\r\nadres: %ls"
                         : L"Tworzenie automatycznej wiadomości nie powiodło się :\r\ndotyczy: %ls\r\nklient: "
                           L"%ls\r\nadres: %ls",
                     TextOf(transaction, &IHxTransaction::GetDisplayText).GetString(),
                     TextOf(customer, &IHxCustomer::GetDisplayName).GetString(),
                     TextOf(transaction, &IHxTransaction::GetAddressText).GetString());
      m_log.LogWarning(warning);
    }
  }
  m_log.CountItem();
}

HRESULT FillBidInfo(CCoStatusMgr& manager, IHxTransaction* transaction, IHxCustomer* customer, _Recordset* bidInfo) {
  if (!transaction || !customer || !bidInfo) return E_INVALIDARG;
  try {
    return AppendTransactionBid(manager, transaction, customer, bidInfo) ? S_OK : E_FAIL;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

bool AppendTransactionBid(CCoStatusMgr& manager, IHxTransaction* transactionRaw, IHxCustomer* customerRaw,
                          _Recordset* bidInfo) {
  if (!transactionRaw || !customerRaw || !bidInfo) _com_issue_error(E_INVALIDARG);
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  jobs::Ptr<IHxCustomer> customer(customerRaw);
  manager.m_log.LogMessage(2, L"Wypełnianie BidInfo");
  VARIANT_BOOL group = VARIANT_FALSE;
  Call(transaction, &IHxTransaction::GetIsGroup, &group);
  if (group == VARIANT_FALSE) {
    manager.m_log.LogMessage(2, L"- pojedyncza transakcja");
    _variant_t link;
    Call(transaction, &IHxTransaction::GetAuctionLink, &link);
    if (IsNull(link)) return false;
    AppendBid(bidInfo, manager, customer, LinkedAuction(link));
    return true;
  }

  // A group: the bid of its first member that belongs to the group's account and is linked to
  // an auction.
  jobs::Ptr<IFlgData> data = jobs::Face<IFlgData>(transactionRaw);
  _variant_t groupId;
  Call(data, &IFlgData::GetId, &groupId);
  const LONG id = static_cast<LONG>(groupId);
  CString sql;
  sql.Format(L"SELECT tg_PrimaryTransId FROM tr_Group WHERE tg_TransId = %ld order by tg_Id", id);
  _RecordsetPtr members;
  const HRESULT opened = OpenRS(members, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
  if (FAILED(opened)) _com_issue_error(opened);
  CString line;
  line.Format(L"- grupa transakcji\r\nid: %ld", id);
  manager.m_log.LogMessage(2, line);
  if (members->GetRecordCount() == 0) return false;
  LONG groupAccount = 0;
  Call(transaction, &IHxTransaction::GetAccountId, &groupAccount);
  for (members->MoveFirst(); !members->GetadoEOF(); members->MoveNext()) {
    const LONG memberId = static_cast<LONG>(Field(members, L"tg_PrimaryTransId"));
    jobs::Ptr<IHxTransaction> member =
        jobs::Load<IHxTransaction>(__uuidof(HxTransaction), memberId, CHxObjTools::omReadOnly);
    line.Format(L"-- transakcja zgrupowana\r\nid: %ld", memberId);
    manager.m_log.LogMessage(2, line);
    _variant_t link;
    Call(member, &IHxTransaction::GetAuctionLink, &link);
    if (IsNull(link)) {
      manager.m_log.LogMessage(2, L"--- ominięta, nie powiązana z aukcją");
      continue;
    }
    LONG memberAccount = 0;
    Call(member, &IHxTransaction::GetAccountId, &memberAccount);
    if (memberAccount != groupAccount) {
      line.Format(L"--- ominięta, inne konto\r\nkonto grupy: %ld\r\nkonto trans: %ld", groupAccount, memberAccount);
      manager.m_log.LogMessage(2, line);
      continue;
    }
    jobs::Ptr<IHxAuction> auction = LinkedAuction(link);
    LONG memberCustomer = 0;
    Call(member, &IHxTransaction::GetCustomerId, &memberCustomer);
    AppendBid(bidInfo, manager, jobs::Load<IHxCustomer>(__uuidof(HxCustomer), memberCustomer, CHxObjTools::omReadOnly),
              auction);
    return true;
  }
  return false;
}

HRESULT AddBidInfoRow(_Recordset* bidInfo, CCoStatusMgr& manager, LONG buyerId, const wchar_t* auctionNumber,
                      LONG serviceId) {
  if (!bidInfo) return E_INVALIDARG;
  try {
    CString line;
    line.Format(L"-- wypełnianie podstawowego BidInfo\r\nkupujący: %ld\r\naukcja: %ls", buyerId,
                auctionNumber ? auctionNumber : L"");
    manager.m_log.LogMessage(2, line);
    _RecordsetPtr rs(bidInfo);
    rs->AddNew();
    PutRecordsetField(rs, L"buyer_id", buyerId);
    PutRecordsetField(rs, L"auction_id", auctionNumber);
    PutRecordsetField(rs, L"service_id", serviceId);
    manager.m_log.LogMessage(2, L"--- wypełniono");
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT WritePageInfo(CCoStatusMgr& manager, IHxTransaction* transactionRaw, _Recordset* pageInfo) {
  if (!transactionRaw || !pageInfo) return E_INVALIDARG;
  try {
    _RecordsetPtr rs(pageInfo);
    if (rs->GetRecordCount() == 0) return E_INVALIDARG;
    rs->MoveFirst();
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    const CString url = Text(Field(rs, L"page_urlPart"));
    const LONG pageId = static_cast<LONG>(Field(rs, L"page_id"));
    if (manager.m_log.LogLevel() >= 2) {
      CString line;
      line.Format(L"Wpisywanie danych strony do transakcji:\r\nurl: %ls\r\nid :%ld", url.GetString(), pageId);
      manager.m_log.LogMessage(2, line);
      CString sql;
      sql.Format(L"SELECT tr_Id FROM tr__Transaction WHERE tr_StatusPageId = %ld", pageId);
      _RecordsetPtr holders;
      const HRESULT opened = OpenRS(holders, CHxInstance::GetConnection(), sql, adOpenStatic, adLockReadOnly);
      if (FAILED(opened)) return opened;
      if (!holders->GetadoEOF()) {
        line.Format(L"UWAGA! istnieje już w bazie transakcja z tą stroną!\r\nid: %ld",
                    static_cast<LONG>(Field(holders, L"tr_Id")));
        manager.m_log.LogMessage(2, line);
        manager.m_log.LogWarning(line);
      }
    }
    Call(transaction, &IHxTransaction::PutStatusPageAddress, _bstr_t(url.GetString()).GetBSTR());
    Call(transaction, &IHxTransaction::PutStatusPageId, _variant_t(pageId));
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

HRESULT WriteBuyerData(LONG keyId, _Recordset* buyerData, CCoStatusMgr& manager, IHxTransaction* transactionRaw) {
  if (!buyerData || !transactionRaw) return E_INVALIDARG;
  return platform::com::Boundary([&]() -> HRESULT {
    CString line;
    line.Format(L"Wpisywanie danych ze statusów do transakcji\r\nkeyId: %ld", keyId);
    manager.m_log.LogMessage(2, line);
    _RecordsetPtr rs(buyerData);
    CString filter;
    if (keyId != -1) filter.Format(L"id = %ld", keyId);
    rs->PutFilter(_variant_t(filter.GetString()));
    if (rs->GetRecordCount() == 0) return E_FAIL;
    rs->MoveFirst();
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);

    bool allTrusted = true, anyTrusted = false;
    // The trusted mark of a group when it is there (a missing one leaves the group out).
    auto present = [&](const wchar_t* field) {
      const _variant_t trusted = Field(rs, field);
      if (IsNull(trusted)) return false;
      anyTrusted = true;
      if (!static_cast<bool>(trusted)) allTrusted = false;
      return true;
    };
    auto writeAddress = [&](LONG kind, const wchar_t* prefix) {
      IUnknown* raw = nullptr;
      Call(transaction, &IHxTransaction::GetAddress, kind, &raw);
      IUnknownPtr object(raw, false);
      jobs::Ptr<IHxAddress> address = jobs::Face<IHxAddress>(object);
      auto put = [&](HRESULT (IHxAddress::*setter)(BSTR), const wchar_t* field) {
        const CString value = Text(Field(rs, (CString(prefix) + field).GetString()));
        Call(address, setter, _bstr_t(value.GetString()).GetBSTR());
      };
      put(&IHxAddress::PutName, L"name");
      put(&IHxAddress::PutFirstLine, L"firstLine");
      put(&IHxAddress::PutSecondLine, L"secondLine");
      put(&IHxAddress::PutZipCode, L"zipCode");
      put(&IHxAddress::PutCity, L"city");
      put(&IHxAddress::PutCountry, L"country");
      put(&IHxAddress::PutCompany, L"company");
      put(&IHxAddress::PutTaxNumber, L"nip");
    };
    if (present(L"bill_trusted")) {
      manager.m_log.LogMessage(2, L"- nowy adres dokumentowy");
      writeAddress(3, L"bill_");
      manager.m_log.LogMessage(2, L"-- wpisany");
    }
    if (present(L"deliv_trusted")) {
      manager.m_log.LogMessage(2, L"- nowy adres do wysyłki");
      writeAddress(2, L"deliv_");
      manager.m_log.LogMessage(2, L"-- wpisany");
    }
    if (present(L"notes_trusted")) {
      manager.m_log.LogMessage(2, L"- nowa notatka");
      Call(transaction, &IHxTransaction::PutNotes, Field(rs, L"notes"));
      manager.m_log.LogMessage(2, L"-- wpisana");
    }
    if (anyTrusted) {
      _variant_t trusted;
      trusted.vt = VT_I2;
      trusted.iVal = allTrusted ? -1 : 0;
      Call(transaction, &IHxTransaction::PutBuyerDataTrusted, trusted);
      Call(transaction, &IHxTransaction::PutBuyerDataAcknowledged, _variant_t(false));
    }
    return S_OK;
  });
}

}  // namespace vorlen
