// The send job's fillers: what a transaction's status page is sent, gathered from the host's
// business objects into the exchange containers (buyer data, packages with their items, page
// data, item positions) and into the entry-constraints record.
#include "shared/hxinstance.h"
#include "zone/containers.h"
#include "zone/jobtools.h"
#include "zone/pagedata.h"
#include "zone/statusmgr.h"

namespace vorlen {

using jobs::Call;
using jobs::Get;
using jobs::IsNull;
using jobs::TextOf;

namespace {

// The address object of a kind (3 billing/document, 2 delivery) of the transaction.
jobs::Ptr<IHxAddress> AddressOf(const jobs::Ptr<IHxTransaction>& transaction, LONG kind) {
  IUnknown* raw = nullptr;
  Call(transaction, &IHxTransaction::GetAddress, kind, &raw);
  IUnknownPtr object(raw, false);
  return jobs::Face<IHxAddress>(object);
}

jobs::Ptr<IHxDocumentLink> DocumentLinkOf(const jobs::Ptr<IHxTransaction>& transaction) {
  IUnknown* raw = nullptr;
  Call(transaction, &IHxTransaction::GetDocumentLink, &raw);
  IUnknownPtr object(raw, false);
  return jobs::Face<IHxDocumentLink>(object);
}

// The eight parts of an address into the fields `<prefix>name` ... `<prefix>nip`, trusted.
void PutAddress(const _RecordsetPtr& rs, const jobs::Ptr<IHxAddress>& address, const wchar_t* prefix) {
  auto field = [&](const wchar_t* name) { return CString(prefix) + name; };
  PutRecordsetField(rs, field(L"trusted"), true);
  PutRecordsetField(rs, field(L"name"), TextOf(address, &IHxAddress::GetName));
  PutRecordsetField(rs, field(L"firstLine"), TextOf(address, &IHxAddress::GetFirstLine));
  PutRecordsetField(rs, field(L"secondLine"), TextOf(address, &IHxAddress::GetSecondLine));
  PutRecordsetField(rs, field(L"zipCode"), TextOf(address, &IHxAddress::GetZipCode));
  PutRecordsetField(rs, field(L"city"), TextOf(address, &IHxAddress::GetCity));
  PutRecordsetField(rs, field(L"country"), TextOf(address, &IHxAddress::GetCountry));
  PutRecordsetField(rs, field(L"company"), TextOf(address, &IHxAddress::GetCompany));
  PutRecordsetField(rs, field(L"nip"), TextOf(address, &IHxAddress::GetTaxNumber));
}

// The object id of a business object (its IFlgDataSet), for the detail lines.
LONG ObjectId(IUnknown* object) {
  jobs::Ptr<IFlgDataSet> data = jobs::Face<IFlgDataSet>(object);
  return static_cast<LONG>(Get<_variant_t>(data, &IFlgDataSet::GetId));
}

// The detail line "<head>\r\ntransakcja: <id>\r\nklient: <customer>" (detail level 2 only).
void TransactionLine(CCoStatusMgr& manager, const jobs::Ptr<IHxTransaction>& transaction, const wchar_t* head) {
  if (manager.m_log.LogLevel() < 2) return;
  CString line;
  line.Format(L"%ls\r\ntransakcja: %ld\r\nklient: %ld", head, ObjectId(transaction),
              Get<LONG>(transaction, &IHxTransaction::GetCustomerId));
  manager.m_log.LogMessage(2, line);
}

// A tracking link as the page shows it: trimmed, "http://" in front of one without a scheme.
CString TrackingLink(CString link) {
  link.Trim();
  CString lower(link);
  lower.MakeLower();
  if (!link.IsEmpty() && lower.Find(L"http://") < 0 && lower.Find(L"https://") < 0) link = L"http://" + link;
  return link;
}

}  // namespace

HRESULT FillBuyerData(_Recordset* container, CCoStatusMgr& manager, IHxTransaction* transactionRaw,
                      IHxCustomer* customer) {
  if (!container || !transactionRaw || !customer) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    _RecordsetPtr rs(container);
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    rs->AddNew();
    manager.m_log.LogMessage(2, L"Wypełnianie danych adresowych");
    PutRecordsetField(rs, L"notes_trusted", true);
    PutRecordsetField(rs, L"notes", Get<_variant_t>(transaction, &IHxTransaction::GetNotes));
    if (UseDocumentAddress(manager, transactionRaw)) {
      manager.m_log.LogMessage(2, L"- wypełnianie adresu do dokumentu");
      PutAddress(rs, AddressOf(transaction, 3), L"bill_");
      manager.m_log.LogMessage(2, L"-- wypełniono");
    }
    manager.m_log.LogMessage(2, L"- wypełnianie adresu do przesyłki");
    PutAddress(rs, AddressOf(transaction, 2), L"deliv_");
    manager.m_log.LogMessage(2, L"-- wypełniono");
  });
}

bool UseDocumentAddress(CCoStatusMgr& manager, IHxTransaction* transactionRaw) {
  if (!manager.m_bErpAvailable || !transactionRaw) return false;
  try {
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    if (Get<VARIANT_BOOL>(AddressOf(transaction, 3), &IHxAddress::GetSkipBilling) != VARIANT_FALSE) return false;
    const _variant_t kind = Get<_variant_t>(DocumentLinkOf(transaction), &IHxDocumentLink::GetDocumentKind);
    if (IsNull(kind)) return false;
    const LONG value = static_cast<LONG>(kind);
    return value == 4 || value == 5;
  } catch (const _com_error&) {
    return false;
  }
}

HRESULT FillPackages(CCoStatusMgr& manager, _Recordset* packages, _Recordset* items, std::vector<LONG>& packageIds) {
  if (!packages || !items) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    _RecordsetPtr rs(packages);
    manager.m_log.LogMessage(2, L"-- wypełnianie informacji o paczkach");
    if (packageIds.empty()) {
      manager.m_log.LogMessage(2, L"--- brak paczek");
      return;
    }
    LONG index = 0;
    // The list is walked as it was given; ids of unmodified packages leave it on the way.
    const std::vector<LONG> listed = packageIds;
    for (LONG id : listed) {
      if (id <= 0) continue;
      if (manager.m_log.LogLevel() >= 2) {
        CString line;
        line.Format(L"--- paczka\r\nid: %ld", id);
        manager.m_log.LogMessage(2, line);
      }
      jobs::Ptr<IHxPackage> package = jobs::Load<IHxPackage>(__uuidof(HxPackage), id, CHxObjTools::omReadOnly);
      if (Get<VARIANT_BOOL>(package, &IHxPackage::GetModified) == VARIANT_FALSE) {
        manager.m_log.LogMessage(2, L"---- usuwanie paczki z listy (niezmodyfikowana)");
        std::erase(packageIds, id);
      }
      const CString link = TrackingLink(TextOf(package, &IHxPackage::GetTrackingLink));
      rs->AddNew();
      PutRecordsetField(rs, L"id", index);
      PutRecordsetField(rs, L"symbol", TextOf(package, &IHxPackage::GetSymbol));
      PutRecordsetField(rs, L"status_link", link);
      if (Get<VARIANT_BOOL>(package, &IHxPackage::GetChargePresent) != VARIANT_FALSE) {
        PutRecordsetField(rs, L"charge", Get<CY>(package, &IHxPackage::GetCharge));
        PutRecordsetField(rs, L"charge_currency", TextOf(package, &IHxPackage::GetChargeCurrency));
      }
      PutRecordsetField(rs, L"send_date", Get<_variant_t>(package, &IHxPackage::GetSendDate));
      PutRecordsetField(rs, L"sort_order", index);
      manager.m_log.LogMessage(2, L"---- wypełniono informacjie o paczce");
      const HRESULT filled = FillPackageItems(manager, items, package, index);
      // A package whose items could not be read is not sent without them.
      if (FAILED(filled)) platform::com::RaiseWithThreadInfo(filled);
      ++index;
    }
  });
}

HRESULT FillPackageItems(CCoStatusMgr& manager, _Recordset* items, IHxPackage* packageRaw, LONG index) {
  if (!items || !packageRaw) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    _RecordsetPtr rs(items);
    jobs::Ptr<IHxPackage> package(packageRaw);
    if (manager.m_log.LogLevel() >= 2) {
      CString line;
      line.Format(L"-- wypełnianie informacji o towarach\r\npaczka: %ld", ObjectId(packageRaw));
      manager.m_log.LogMessage(2, line);
    }
    const LONG count = Get<LONG>(package, &IHxPackage::GetItemCount);
    for (LONG i = 0; i < count; ++i) {
      manager.m_log.LogMessage(2, L"--- wypełnianie informacji o towarze");
      rs->AddNew();
      PutRecordsetField(rs, L"id", index);
      PutRecordsetField(rs, L"name", TextOf(package, &IHxPackage::GetItemName, i));
      PutRecordsetField(rs, L"quantity", Get<LONG>(package, &IHxPackage::GetItemQuantity, i));
      PutRecordsetField(rs, L"price", Get<CY>(package, &IHxPackage::GetItemPrice, i));
      PutRecordsetField(rs, L"sort_order", i);
      manager.m_log.LogMessage(2, L"---- wypełniono");
    }
  });
}

HRESULT FillPageData(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transactionRaw) {
  if (!container || !transactionRaw) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    _RecordsetPtr rs(container);
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    TransactionLine(manager, transaction, L"-- wypełnianie informacji o stronie");
    rs->AddNew();
    if (Get<VARIANT_BOOL>(transaction, &IHxTransaction::GetPaid) != VARIANT_FALSE) {
      const _variant_t remitted = Get<_variant_t>(transaction, &IHxTransaction::GetRemittanceDate);
      if (!IsNull(remitted)) PutRecordsetField(rs, L"remittance_date", remitted);
    }
    const bool sentAll = Get<VARIANT_BOOL>(transaction, &IHxTransaction::GetSentAll) != VARIANT_FALSE &&
                         Get<VARIANT_BOOL>(transaction, &IHxTransaction::GetItemsSent) != 0;
    PutRecordsetField(rs, L"sent_all", sentAll);
    PutRecordsetField(rs, L"base_currency", TextOf(transaction, &IHxTransaction::GetBaseCurrency));
    PutRecordsetField(rs, L"payment", Get<CY>(transaction, &IHxTransaction::GetPayment));
    PutRecordsetField(rs, L"payment_currency", TextOf(transaction, &IHxTransaction::GetPaymentCurrency));
    _variant_t bought;
    bought.vt = VT_DATE;
    bought.date = Get<DATE>(transaction, &IHxTransaction::GetBuyDate);
    PutRecordsetField(rs, L"buy_date", bought);
    manager.m_log.LogMessage(2, L"--- wypełniono");
  });
}

HRESULT FillItems(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transaction) {
  if (!container || !transaction) return E_INVALIDARG;
  try {
    return FillItemRows(manager, container, transaction) ? S_OK : E_FAIL;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

bool FillItemRows(CCoStatusMgr& manager, _Recordset* container, IHxTransaction* transactionRaw) {
  if (!container || !transactionRaw) _com_issue_error(E_INVALIDARG);
  _RecordsetPtr rs(container);
  jobs::Ptr<IHxTransaction> transaction(transactionRaw);
  TransactionLine(manager, transaction, L"-- wypełnianie informacji o towarze");
  IUnknown* raw = nullptr;
  Call(transaction, &IHxTransaction::GetPositions, &raw);
  IUnknownPtr object(raw, false);
  jobs::Ptr<IHxPositionCursor> positions = jobs::Face<IHxPositionCursor>(object);
  Call(positions, &IHxPositionCursor::MoveFirst);
  if (Get<VARIANT_BOOL>(positions, &IHxPositionCursor::IsEOF) != VARIANT_FALSE) return false;
  for (LONG i = 0; Get<VARIANT_BOOL>(positions, &IHxPositionCursor::IsEOF) == VARIANT_FALSE; ++i) {
    manager.m_log.LogMessage(2, L"--- pobieranie informacji o towarze");
    const _variant_t key = Get<_variant_t>(positions, &IHxPositionCursor::GetKey);
    BSTR name = nullptr;
    _variant_t unused1, unused2;
    CY quantity{}, price{};
    Call(transaction, &IHxTransaction::GetPositionData, key, LONG{1}, &name, &unused1, &unused2, &quantity, &price);
    const CString nameText = jobs::Take(name);
    rs->AddNew();
    PutRecordsetField(rs, L"name", nameText);
    PutRecordsetField(rs, L"quantity", quantity);
    PutRecordsetField(rs, L"price", price);
    PutRecordsetField(rs, L"sort_order", i);
    manager.m_log.LogMessage(2, L"---- informacje wpisano");
    Call(positions, &IHxPositionCursor::MoveNext);
  }
  return true;
}

HRESULT FillEntryConstraints(IHxTransaction* transactionRaw, EntryConstraints& record) {
  if (!transactionRaw) return E_INVALIDARG;
  return platform::com::Boundary([&] {
    jobs::Ptr<IHxTransaction> transaction(transactionRaw);
    record = EntryConstraints{1, 1, 1, 1};
    const LONG state = Get<LONG>(transaction, &IHxTransaction::GetCompletionState);
    const bool finished = state == 2 || state == 3;
    record.allEnabled =
        !finished && Get<VARIANT_BOOL>(transaction, &IHxTransaction::GetAllLocked) == VARIANT_FALSE ? 1 : 0;
    if (!record.allEnabled) return;
    const bool addressLocked = Get<VARIANT_BOOL>(transaction, &IHxTransaction::GetAddressLocked) != VARIANT_FALSE;
    const bool document =
        Get<_variant_t>(DocumentLinkOf(transaction), &IHxDocumentLink::GetDocumentId).vt == VT_I4;
    record.delivAddressEnabled = !addressLocked ? 1 : 0;
    record.billAddressEnabled = !addressLocked && !document ? 1 : 0;
    record.notesEnabled = record.delivAddressEnabled || record.billAddressEnabled ? 1 : 0;
  });
}

}  // namespace vorlen
