// Dictionary fillers.
#include "shared/fillers.h"

#include <algorithm>
#include <vector>

#include "shared/hxinstance.h"
#include "shared/resstrings.h"

namespace {

constexpr int kMaxErpEntries = 100000;

LONG Result(bool ok) { return ok ? S_OK : E_FAIL; }

CString LoadWord(UINT id) {
  CString text;
  hxLoadString(text, id);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CFillControls

int CFillControls::LB_CB_Fill(UINT resetMessage, UINT addMessage, UINT setDataMessage, UINT, int ctrl,
                              const LBEntry* entries, int count, bool reset, const LONG* excluded, int excludedCount) {
  HWND control = m_dx->m_hDialog ? ::GetDlgItem(m_dx->m_hDialog, ctrl) : nullptr;
  if (!control || !IsWindow(control) || !entries || count <= 0) return 0;
  if (reset) SendMessageW(control, resetMessage, 0, 0);
  for (int i = 0; i < count; ++i) {
    const LBEntry& entry = entries[i];
    if (excluded && excludedCount > 0 && std::find(excluded, excluded + excludedCount, entry.value) != excluded + excludedCount)
      continue;
    const LRESULT index = SendMessageW(control, addMessage, 0, reinterpret_cast<LPARAM>(entry.text ? entry.text : L""));
    if (index >= 0) SendMessageW(control, setDataMessage, static_cast<WPARAM>(index), static_cast<LPARAM>(entry.value));
  }
  return 1;
}

LONG CFillControls::FillFromSql(bool list, int ctrl, const wchar_t* sql, const wchar_t* idColumn,
                                const wchar_t* const* columns, const wchar_t* format, bool addFirst,
                                const wchar_t* firstText, DWORD firstData, bool addSecond, const wchar_t* secondText,
                                DWORD secondData) {
  try {
    _RecordsetPtr rs;
    _ConnectionPtr connection = GetConnection();
    const HRESULT hr = OpenRS(rs, connection, sql, adOpenStatic, adLockReadOnly);
    if (FAILED(hr)) return hr;
    int count = 0;
    while (count < 5 && columns[count]) ++count;
    const UINT id = static_cast<UINT>(ctrl);
    const int filled = list ? LB_Fill(*m_dx, id, rs, idColumn, format, columns, count, m_reset)
                            : CB_Fill(*m_dx, id, rs, idColumn, format, columns, count, m_reset);
    if (filled == 0) return E_FAIL;
    auto addAtTop = [&](const wchar_t* text, DWORD data) {
      const LONG value = static_cast<LONG>(data);
      return (list ? LB_AddAt(*m_dx, id, 0, text, value) : CB_AddAt(*m_dx, id, 0, text, value)) >= 0;
    };
    if (addSecond && !addAtTop(secondText, secondData)) return E_FAIL;
    if (addFirst && !addAtTop(firstText, firstData)) return E_FAIL;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG CFillControls::CBFillFromSql(int ctrl, const wchar_t* sql, const wchar_t* idColumn, const wchar_t* col1,
                                  const wchar_t* col2, const wchar_t* col3, const wchar_t* col4, const wchar_t* col5,
                                  const wchar_t* format, bool addFirst, const wchar_t* firstText, DWORD firstData,
                                  bool addSecond, const wchar_t* secondText, DWORD secondData) {
  const wchar_t* columns[] = {col1, col2, col3, col4, col5, nullptr};
  return FillFromSql(false, ctrl, sql, idColumn, columns, format, addFirst, firstText, firstData, addSecond, secondText,
                     secondData);
}

LONG CFillControls::LBFillFromSql(int ctrl, const wchar_t* sql, const wchar_t* idColumn, const wchar_t* col1,
                                  const wchar_t* col2, const wchar_t* col3, const wchar_t* col4, const wchar_t* col5,
                                  const wchar_t* format, bool addFirst, const wchar_t* firstText, DWORD firstData,
                                  bool addSecond, const wchar_t* secondText, DWORD secondData) {
  const wchar_t* columns[] = {col1, col2, col3, col4, col5, nullptr};
  return FillFromSql(true, ctrl, sql, idColumn, columns, format, addFirst, firstText, firstData, addSecond, secondText,
                     secondData);
}

LONG CFillControls::CB_AddString(int ctrl, UINT stringId, LONG data) {
  const CString text = LoadWord(stringId);
  if (text.IsEmpty()) return E_FAIL;
  return Result(CB_Add(*m_dx, static_cast<UINT>(ctrl), text, data) >= 0);
}

LONG CFillControls::LB_AddString(int ctrl, UINT stringId, LONG data) {
  const CString text = LoadWord(stringId);
  if (text.IsEmpty()) return E_FAIL;
  return Result(LB_Add(*m_dx, static_cast<UINT>(ctrl), text, data) >= 0);
}

// ---------------------------------------------------------------------------------------------
// CHxFillControls

LONG CHxFillControls::SetConnection() {
  try {
    m_connection = CHxInstance::GetConnection();
    return S_OK;
  } catch (const _com_error& e) {
    m_connection = nullptr;
    return e.Error();
  }
}

_ConnectionPtr CHxFillControls::GetConnection() {
  if (!m_connection) SetConnection();
  return m_connection;
}

namespace {
constexpr wchar_t kOne[] = L"%1!ls!";
constexpr wchar_t kTwo[] = L"%1!ls! (%2!ls!)";
}  // namespace

LONG CHxFillControls::Fill(bool list, int ctrl, const wchar_t* sql, const wchar_t* id, const wchar_t* col1,
                           const wchar_t* col2, const wchar_t* format, bool addFirst, const wchar_t* firstText,
                           LONG firstData, bool addSecond, const wchar_t* secondText, LONG secondData) {
  const auto fill = list ? &CHxFillControls::LBFillFromSql : &CHxFillControls::CBFillFromSql;
  return (this->*fill)(ctrl, sql, id, col1, col2, nullptr, nullptr, nullptr, format, addFirst, firstText,
                       static_cast<DWORD>(firstData), addSecond, secondText, static_cast<DWORD>(secondData));
}

namespace {
constexpr wchar_t kPayments[] = L"SELECT pm_Id, pm_Name FROM sl_Payment";
constexpr wchar_t kDeliveries[] = L"SELECT dm_Id, dm_Name FROM sl_Delivery";
constexpr wchar_t kItemGroups[] = L"SELECT ig_Id, ig_Name FROM sl_ItemGroup";
constexpr wchar_t kCustomerGroups[] = L"SELECT cg_Id, cg_Name FROM sl_CustomerGroup";
constexpr wchar_t kAuctionGroups[] = L"SELECT ag_Id, ag_Name FROM sl_AuctionGroup";
constexpr wchar_t kTemplateGroups[] = L"SELECT atg_Id, atg_Name FROM sl_AuctionTemplateGroup";
constexpr wchar_t kItemProperties[] = L"SELECT ip_Id, ip_Name FROM sl_ItemProperty";
constexpr wchar_t kCurrencyBanks[] = L"SELECT cb_Id, cb_Name FROM sl_CurrencyBank";
constexpr wchar_t kEmailAccounts[] = L"SELECT ea_Id+%d as ID, ea_UserAddress, ea_AccountName FROM em_Account\nWHERE ea_Disabled = 0";
constexpr wchar_t kDeliverers[] = L"SELECT dr_Id,dr_Name FROM sl_Deliverer";
constexpr wchar_t kAllCurrencies[] = L"(wszystkie)";
}  // namespace

LONG CHxFillControls::CBFillSposobZaplaty(int ctrl) { return Fill(false, ctrl, kPayments, L"pm_Id", L"pm_Name", nullptr, kOne); }
LONG CHxFillControls::LBFillSposobZaplaty(int ctrl) { return Fill(true, ctrl, kPayments, L"pm_Id", L"pm_Name", nullptr, kOne); }

LONG CHxFillControls::CBFillSposobWysylki(int ctrl, bool personal) {
  return Fill(false, ctrl, kDeliveries, L"dm_Id", L"dm_Name", nullptr, kOne, personal, LoadWord(1000), 0);
}
LONG CHxFillControls::LBFillSposobWysylki(int ctrl, bool personal) {
  return Fill(true, ctrl, kDeliveries, L"dm_Id", L"dm_Name", nullptr, kOne, personal, LoadWord(1000), 0);
}

LONG CHxFillControls::CBFillUzywaneStronySerwisow(int ctrl, bool addEmpty, const wchar_t* emptyText, LONG emptyData) {
  try {
    _ConnectionPtr connection = GetConnection();
    if (!CB_Fill(DataExchange(), static_cast<UINT>(ctrl), connection, L"vw_ActiveSites", L"IDENT", L"NAZWA_STRONY",
                 ResetsContent()))
      return E_FAIL;
    if (addEmpty && CB_AddEmpty(DataExchange(), static_cast<UINT>(ctrl), emptyText, emptyData) < 0) return E_FAIL;
    return S_OK;
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG CHxFillControls::CBFillPersonel(int ctrl, bool undefined) {
  return Fill(false, ctrl, L"SELECT usr_Id, usr_Name + ' ' + usr_SurName AS name FROM sl_User", L"usr_Id", L"name",
              nullptr, kOne, undefined, LoadWord(1005), 0);
}

// The item groups put the caller's second entry on top.
LONG CHxFillControls::CBFillGrupyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData,
                                         bool addSecond, const wchar_t* secondText, LONG secondData) {
  return Fill(false, ctrl, kItemGroups, L"ig_Id", L"ig_Name", nullptr, kOne, addSecond, secondText, secondData, addFirst,
              firstText, firstData);
}
LONG CHxFillControls::LBFillGrupyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData,
                                         bool addSecond, const wchar_t* secondText, LONG secondData) {
  return Fill(true, ctrl, kItemGroups, L"ig_Id", L"ig_Name", nullptr, kOne, addSecond, secondText, secondData, addFirst,
              firstText, firstData);
}

#define HX_GROUP_FILLERS(cbName, lbName, sql, id, col)                                                                 \
  LONG CHxFillControls::cbName(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,      \
                               const wchar_t* secondText, LONG secondData) {                                           \
    return Fill(false, ctrl, sql, id, col, nullptr, kOne, addFirst, firstText, firstData, addSecond, secondText,        \
                secondData);                                                                                           \
  }                                                                                                                    \
  LONG CHxFillControls::lbName(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData, bool addSecond,      \
                               const wchar_t* secondText, LONG secondData) {                                           \
    return Fill(true, ctrl, sql, id, col, nullptr, kOne, addFirst, firstText, firstData, addSecond, secondText,         \
                secondData);                                                                                           \
  }

HX_GROUP_FILLERS(CBFillGrupyKlientow, LBFillGrupyKlientow, kCustomerGroups, L"cg_Id", L"cg_Name")
HX_GROUP_FILLERS(CBFillGrupyAukcji, LBFillGrupyAukcji, kAuctionGroups, L"ag_Id", L"ag_Name")
HX_GROUP_FILLERS(CBFillGrupySzablonowAukcji, LBFillGrupySzablonowAukcji, kTemplateGroups, L"atg_Id", L"atg_Name")
#undef HX_GROUP_FILLERS

LONG CHxFillControls::CBFillCechyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData) {
  return Fill(false, ctrl, kItemProperties, L"ip_Id", L"ip_Name", nullptr, kOne, addFirst, firstText, firstData);
}
LONG CHxFillControls::LBFillCechyTowarow(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData) {
  return Fill(true, ctrl, kItemProperties, L"ip_Id", L"ip_Name", nullptr, kOne, addFirst, firstText, firstData);
}
LONG CHxFillControls::LBFillCechaTransakcji(int ctrl) {
  return Fill(true, ctrl, L"SELECT tp_Id, tp_Name FROM sl_TransProperty", L"tp_Id", L"tp_Name", nullptr, kOne);
}
LONG CHxFillControls::LBFillCechaTowaru(int ctrl) { return Fill(true, ctrl, kItemProperties, L"ip_Id", L"ip_Name", nullptr, kOne); }
LONG CHxFillControls::LBFillCechaKlienta(int ctrl) {
  return Fill(true, ctrl, L"SELECT cp_Id, cp_Name FROM sl_CustProperty", L"cp_Id", L"cp_Name", nullptr, kOne);
}

LONG CHxFillControls::CBFillWaluty(int ctrl) {
  return Fill(false, ctrl, L"SELECT cy_Id, cy_Symbol, cy_Name FROM sl_Currency", L"cy_Id", L"cy_Symbol", L"cy_Name", kTwo);
}
LONG CHxFillControls::CBFillWalutaBank(int ctrl, bool all) {
  return Fill(false, ctrl, kCurrencyBanks, L"cb_Id", L"cb_Name", nullptr, kOne, all, kAllCurrencies, kFillAny);
}
LONG CHxFillControls::LBFillWalutaBank(int ctrl, bool all) {
  return Fill(true, ctrl, kCurrencyBanks, L"cb_Id", L"cb_Name", nullptr, kOne, all, kAllCurrencies, kFillAny);
}

LONG CHxFillControls::CBFillKontaEmailoweSMTP(int ctrl) {
  return Fill(false, ctrl,
              L"SELECT ea_Id, ea_UserAddress, ea_AccountName FROM em_Account\nWHERE ea_Disabled = 0\nAND ea_SMTP IS NOT NULL",
              L"ea_Id", L"ea_UserAddress", L"ea_AccountName", kTwo);
}
LONG CHxFillControls::CBFillKontaEmailowe(int ctrl, int offset) {
  CString sql;
  sql.Format(kEmailAccounts, offset);
  return Fill(false, ctrl, sql, L"ID", L"ea_UserAddress", L"ea_AccountName", kTwo);
}
LONG CHxFillControls::LBFillKontaEmailowe(int ctrl, int offset) {
  CString sql;
  sql.Format(kEmailAccounts, offset);
  return Fill(true, ctrl, sql, L"ID", L"ea_UserAddress", L"ea_AccountName", kTwo);
}
LONG CHxFillControls::CBFillGrupyEmailowe(int ctrl) {
  return Fill(false, ctrl, L"SELECT eg_Id, eg_Name FROM sl_EmailGroup", L"eg_Id", L"eg_Name", nullptr, kOne);
}
LONG CHxFillControls::LBFillGrupyEmailowe(int ctrl) {
  return Fill(true, ctrl, L"SELECT eg_Id, eg_Name FROM sl_EmailGroup ORDER BY eg_Name", L"eg_Id", L"eg_Name", nullptr, kOne);
}
LONG CHxFillControls::CBFillSzablKoment(int ctrl, LONG score) {
  CString sql;
  sql.Format(L"SELECT ct_Id, ct_Name FROM sl_CommentTemplate WHERE ct_Score=%ld", score);
  return Fill(false, ctrl, sql, L"ct_Id", L"ct_Name", nullptr, kOne);
}
LONG CHxFillControls::CBFillJezyk(int ctrl) {
  return Fill(false, ctrl, L"SELECT ln_Id, ln_Symbol FROM sl_Language", L"ln_Id", L"ln_Symbol", nullptr, kOne);
}

LONG CHxFillControls::CBFillDostawcy(int ctrl) {
  return Fill(false, ctrl, kDeliverers, L"dr_Id", L"dr_Name", nullptr, kOne, true, LoadWord(1000), 0);
}
LONG CHxFillControls::LBFillDostawcy(int ctrl, bool personal) {
  return Fill(true, ctrl, kDeliverers, L"dr_Id", L"dr_Name", nullptr, kOne, personal, LoadWord(1000), 0);
}
LONG CHxFillControls::LBFillDostawcyPocztowi(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData) {
  return Fill(true, ctrl, kDeliverers, L"dr_Id", L"dr_Name", nullptr, kOne, addFirst, firstText, firstData);
}
LONG CHxFillControls::LBFillDostawcyDostawy(int ctrl) {
  const LONG hr = Fill(true, ctrl, L"SELECT dr_Id as Id,dr_Name FROM sl_Deliverer", L"Id", L"dr_Name", nullptr, kOne, true,
                       LoadWord(1000), 0);
  if (FAILED(hr)) return hr;
  return Fill(true, ctrl, L"SELECT dm_Id, dr_Name, dm_Name FROM sl_Delivery INNER JOIN sl_Deliverer ON dm_DelivererId = dr_Id",
              L"dm_Id", L"dr_Name", L"dm_Name", L"%1!ls! - %2!ls!");
}
LONG CHxFillControls::CBFillDostawy(int ctrl, LONG delivererId, bool cashOnDelivery) {
  CString sql;
  sql.Format(L"SELECT dm_Id, dm_Name FROM sl_Delivery WHERE dm_DelivererId=%ld AND dm_PayOnDelivery=%d", delivererId,
             cashOnDelivery ? 1 : 0);
  return Fill(false, ctrl, sql, L"dm_Id", L"dm_Name", nullptr, kOne);
}
LONG CHxFillControls::CBFillSerwisyAukcyjne(int ctrl, bool addFirst, const wchar_t* firstText, LONG firstData) {
  return Fill(false, ctrl,
              L"SELECT ss_Id, ss_Name FROM sl_ServiceProvider\nWHERE EXISTS( SElECT reg_Id FROM reg__Registration WHERE ss_Id = reg_SvcProvId )",
              L"ss_Id", L"ss_Name", nullptr, kOne, addFirst, firstText, firstData);
}
LONG CHxFillControls::CBFillKomunikator(int ctrl) {
  return Fill(false, ctrl, L"SELECT im_Id, im_Name FROM sl_InstantMessenger ", L"im_Id", L"im_Name", nullptr, kOne);
}

// --- fixed lists

LONG CHxFillControls::Words(bool list, int ctrl, std::initializer_list<Word> words) {
  const UINT id = static_cast<UINT>(ctrl);
  if (ResetsContent() && !(list ? LB_ResetContent(DataExchange(), id) : CB_ResetContent(DataExchange(), id))) return E_FAIL;
  for (const Word& word : words) {
    const LONG hr = list ? LB_AddString(ctrl, word.id, word.data) : CB_AddString(ctrl, word.id, word.data);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

LONG CHxFillControls::Constants(int ctrl, const LBEntry* entries, int count) {
  return Result(LB_CB_Fill(CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA, CB_SETCURSEL, ctrl, entries, count,
                           ResetsContent(), nullptr, 0) == 1);
}

LONG CHxFillControls::CBFillSposobTworzeniaPaczki(int ctrl) { return Words(false, ctrl, {{1002, 0}, {1004, 2}, {1003, 3}}); }
LONG CHxFillControls::LBFillDoliczenia(int ctrl) { return Words(true, ctrl, {{1007, 1}, {1006, 0}}); }
LONG CHxFillControls::CBFillKwotyPrzyGrupowaniu(int ctrl) { return Words(false, ctrl, {{1008, 0}, {1009, 1}}); }
LONG CHxFillControls::CBFillStanTransakcji(int ctrl) {
  return Words(false, ctrl, {{1027, 0}, {1010, 1}, {1011, 2}, {1012, 3}});
}
LONG CHxFillControls::CBFillTypTransakcji(int ctrl) { return Words(false, ctrl, {{1022, 0}, {1021, 1}}); }
LONG CHxFillControls::CBFillTypKomentarza(int ctrl) { return Words(false, ctrl, {{1024, 1}, {1025, 0}, {1026, -1}}); }
LONG CHxFillControls::CBFillAutoSyncParam(int ctrl) { return Words(false, ctrl, {{1030, 0}, {1031, 1}, {1032, 2}}); }
LONG CHxFillControls::CBFillSposobTwDokumKonc(int ctrl) { return Words(false, ctrl, {{104, 0}, {105, 2}}); }

LONG CHxFillControls::CBFillRodzajKursu(int ctrl) {
  static const LBEntry kRates[] = {{0, L"zakupu"}, {1, L"średni"}, {2, L"sprzedaży"}};
  return Constants(ctrl, kRates, 3);
}
LONG CHxFillControls::CBFillKorektaCenyWynikowej(int ctrl) {
  static const LBEntry kRounding[] = {{0, L"zaokrąglaj w górę do pełnej kwoty"},
                                      {1, L"zaokrąglaj \"normalnie\" do pełnej kwoty"}};
  return Constants(ctrl, kRounding, 2);
}
LONG CHxFillControls::CBFillMetodaWyliczaniaCenyDlaStrony(int ctrl) {
  static const LBEntry kMethods[] = {{0, L"użyj ceny podstawowej"}, {1, L"cena podana przez użytkownika"},
                                     {2, L"wylicz automatycznie"}};
  return Constants(ctrl, kMethods, 3);
}

void CHxFillControls::LoadStringStanTransakcji(LONG state, CString& text) {
  static const UINT kStates[] = {1027, 1010, 1011, 1012};
  text.Empty();
  if (state >= 0 && state < 4) hxLoadString(text, kStates[state]);
}

// ---------------------------------------------------------------------------------------------
// CDSIFillControls

LONG CDSIFillControls::AddCollection(int ctrl, const DSICollectionPtr& collection) {
  IHxPositionCursorPtr cursor;
  cursor = collection;
  if (!cursor) return E_NOINTERFACE;
  HRESULT hr = cursor->MoveFirst();
  if (FAILED(hr)) return hr;
  for (int n = 0;; ++n) {
    VARIANT_BOOL end = VARIANT_TRUE;
    hr = cursor->IsEOF(&end);
    if (FAILED(hr)) return hr;
    if (end != VARIANT_FALSE) return S_OK;
    if (n >= kMaxErpEntries) return E_FAIL;
    _variant_t key;
    hr = cursor->GetKey(&key);
    if (FAILED(hr)) return hr;
    BSTR name = nullptr;
    hr = collection->GetName(key, &name);
    _bstr_t held(name, false);
    if (FAILED(hr)) return hr;
    const LONG data = static_cast<LONG>(key);
    if (CB_Add(DataExchange(), static_cast<UINT>(ctrl), static_cast<const wchar_t*>(held) ? static_cast<const wchar_t*>(held) : L"",
               data) < 0)
      return E_FAIL;
    hr = cursor->MoveNext();
    if (FAILED(hr)) return hr;
  }
}

namespace {
// The collection an ERP call gives; null with `empty` set when it is empty.
HRESULT Collection(HRESULT hr, IUnknown* raw, DSICollectionPtr& out, bool& empty) {
  IUnknownPtr held(raw, false);
  out = nullptr;
  empty = true;
  if (FAILED(hr)) return hr;
  if (!held) return S_OK;
  out = held;
  if (!out) return E_NOINTERFACE;
  VARIANT_BOOL isEmpty = VARIANT_TRUE;
  hr = out->GetIsEmpty(&isEmpty);
  if (FAILED(hr)) return hr;
  empty = isEmpty != VARIANT_FALSE;
  return S_OK;
}
}  // namespace

LONG CDSIFillControls::CBFillTypDokumentuEP(dsiDocType kind, DSIDocumentsPtr documents, int ctrl, bool none) {
  const UINT id = static_cast<UINT>(ctrl);
  try {
    if (!CB_ResetContent(DataExchange(), id)) return E_FAIL;
    if (kind != dsiDocPreliminary && kind != dsiDocFinal) return E_INVALIDARG;
    DSICollectionPtr types;
    bool empty = true;
    if (documents) {
      IUnknown* raw = nullptr;
      const HRESULT got = documents->GetDocTypes(kind, &raw);
      const HRESULT hr = Collection(got, raw, types, empty);
      if (FAILED(hr)) return hr;
    }
    if (!documents || empty) return Result(CB_Add(DataExchange(), id, L"(brak dokumentów)", kFillNone) >= 0);
    if (none && CB_Add(DataExchange(), id, L"(nie twórz dokumentu)", kFillNone) < 0) return E_FAIL;
    return AddCollection(ctrl, types);
  } catch (const _com_error& e) {
    return e.Error();
  }
}

LONG CDSIFillControls::CBFillTypDokumentuWstepnego(DSIDocumentsPtr documents, int ctrl, bool none) {
  return CBFillTypDokumentuEP(dsiDocPreliminary, documents, ctrl, none);
}

LONG CDSIFillControls::CBFillTypDokumentuKoncowego(DSIDocumentsPtr documents, int ctrl, bool none) {
  return CBFillTypDokumentuEP(dsiDocFinal, documents, ctrl, none);
}

LONG CDSIFillControls::CBFillFormaPlatnosci(DSIDocumentsPtr documents, int ctrl) {
  const UINT id = static_cast<UINT>(ctrl);
  try {
    if (!CB_ResetContent(DataExchange(), id)) return E_FAIL;
    if (!documents) return Result(CB_Add(DataExchange(), id, L"(brak form płatności)", kFillNone) >= 0);
    DSICollectionPtr forms;
    bool empty = true;
    IUnknown* raw = nullptr;
    const HRESULT got = documents->GetPaymentForms(&raw);
    const HRESULT hr = Collection(got, raw, forms, empty);
    if (FAILED(hr)) return hr;
    if (empty) return Result(CB_Add(DataExchange(), id, L"(brak dokumentów)", kFillNone) >= 0);
    if (CB_Add(DataExchange(), id, L"gotówka", kFillNone) < 0) return E_FAIL;
    return AddCollection(ctrl, forms);
  } catch (const _com_error& e) {
    return e.Error();
  }
}
