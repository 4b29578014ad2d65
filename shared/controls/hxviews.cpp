#include "shared/controls/hxviews.h"

#include "framework/interfaces.h"
#include "shared/hxinstance.h"

// The views of the host's lists, in catalogue order.
namespace {

constexpr GUID kViewShipments = {0xFC4814F0, 0xF087, 0x4051, {0x90, 0xEE, 0xFC, 0x46, 0xF8, 0x3E, 0x83, 0xBA}};  // {FC4814F0-F087-4051-90EE-FC46F83E83BA}
constexpr GUID kViewShippingLists = {0x458F5A6B, 0xCA02, 0x4AC1, {0xAB, 0xE4, 0x19, 0x16, 0x68, 0xBA, 0xA2, 0x2B}};  // {458F5A6B-CA02-4AC1-ABE4-191668BAA22B}
constexpr GUID kViewAuctions = {0xF37A03B8, 0xF644, 0x4323, {0x81, 0x5F, 0x65, 0xC6, 0xCD, 0x3F, 0xF1, 0xC7}};  // {F37A03B8-F644-4323-815F-65C6CD3FF1C7}
constexpr GUID kViewTemplates = {0xF4BA130B, 0x1344, 0x4174, {0xB1, 0x2D, 0x02, 0x4F, 0xE5, 0xC0, 0x6C, 0x7F}};  // {F4BA130B-1344-4174-B12D-024FE5C06C7F}
constexpr GUID kViewTransactions = {0x6F98FEF3, 0x18C4, 0x49D3, {0x9E, 0x3C, 0xBC, 0xBE, 0xB5, 0x87, 0xDE, 0x09}};  // {6F98FEF3-18C4-49D3-9E3C-BCBEB587DE09}
constexpr GUID kViewMessages = {0xA7AA4AE3, 0xB804, 0x4322, {0x9A, 0x28, 0xD2, 0x6D, 0x6A, 0xAF, 0x76, 0x8E}};  // {A7AA4AE3-B804-4322-9A28-D26D6AAF768E}
constexpr GUID kViewMessageTemplates = {0x56F13CC9, 0x8167, 0x4588, {0xB1, 0x45, 0xE2, 0x5A, 0x23, 0x5E, 0xE3, 0xBA}};  // {56F13CC9-8167-4588-B145-E25A235EE3BA}
constexpr GUID kViewProducts = {0xAAE0611A, 0x5292, 0x4790, {0x9E, 0x28, 0xBB, 0x88, 0xE9, 0x1B, 0x84, 0x17}};  // {AAE0611A-5292-4790-9E28-BB88E91B8417}
constexpr GUID kViewCustomers = {0xB8900073, 0xDE4B, 0x490E, {0x83, 0xAD, 0x07, 0x74, 0xF4, 0x27, 0x37, 0xF0}};  // {B8900073-DE4B-490E-83AD-0774F42737F0}
constexpr GUID kViewComments = {0x9B3BF385, 0xC110, 0x419F, {0xA9, 0x39, 0x64, 0xE1, 0xDC, 0x78, 0xC2, 0xA8}};  // {9B3BF385-C110-419F-A939-64E1DC78C2A8}

}  // namespace

void CHxViewTranslator::AddViews() {
  Add(kViewShipments, L"Wszystkie", L"Wszystkie", 0);
  Add(kViewShipments, L"DoWyslania", L"Do wysłania", 1);
  Add(kViewShipments, L"DoOdbioru", L"Do odbioru", 2);
  Add(kViewShipments, L"WyslaneOdebrane", L"Wysłane/Odebrane", 3);
  Add(kViewShipments, L"Zablokowane", L"Zablokowane", 4);
  Add(kViewShippingLists, L"ListyWysylkowe", L"Listy wysyłkowe", 0);
  Add(kViewAuctions, L"Wszystkie", L"Wszystkie", 0);
  Add(kViewAuctions, L"Trwajace", L"Trwające", 1);
  Add(kViewAuctions, L"Przygotowane", L"Przygotowane", 2);
  Add(kViewAuctions, L"Zakonczone", L"Zakończone", 3);
  Add(kViewAuctions, L"KonczaceSieDzisiaj", L"Kończące się dzisiaj", 4);
  Add(kViewTemplates, L"Szablony", L"Szablony", 0);
  Add(kViewTransactions, L"Wszystkie", L"Wszystkie", 0);
  Add(kViewTransactions, L"Aktualne", L"Aktualne", 1);
  Add(kViewTransactions, L"OczekujacePlatnosc", L"Oczekujace na płatność", 2);
  Add(kViewTransactions, L"DoPaczek", L"Do paczek", 3);
  Add(kViewTransactions, L"Zalegle", L"Zaległe", 4);
  Add(kViewTransactions, L"Zakonczone", L"Zakończone", 5);
  Add(kViewTransactions, L"Nowe", L"Nowe", 6);
  Add(kViewTransactions, L"Trwajace", L"Trwające", 7);
  Add(kViewTransactions, L"DoDokumentowKoncowych", L"Do dokumentów końcowych", 8);
  Add(kViewTransactions, L"DoZatwierdzenia", L"Do zatwierdzenia", 9);
  Add(kViewMessages, L"Wszystkie", L"Wszystkie", 0);
  Add(kViewMessages, L"Odebrane", L"Odebrane", 1);
  Add(kViewMessages, L"Nieczytane", L"Nieprzeczytane", 2);
  Add(kViewMessages, L"DoWyslania", L"Skrzynka nadawcza", 4);
  Add(kViewMessages, L"Wyslane", L"Wysłane", 3);
  Add(kViewMessages, L"Robocze", L"Robocze", 5);
  Add(kViewMessageTemplates, L"SzablonyWiadom", L"Szablony wiadomości", 0);
  Add(kViewProducts, L"Towary", L"Towary", 0);
  Add(kViewProducts, L"NiskiStan", L"O niskim stanie", 1);
  Add(kViewProducts, L"ZerowyStan", L"O zerowym stanie", 2);
  Add(kViewCustomers, L"Wszyscy", L"Wszyscy", 0);
  Add(kViewCustomers, L"Aktualni", L"Aktualni", 1);
  Add(kViewCustomers, L"Zalegajacy", L"Do zapłaty", 2);
  Add(kViewCustomers, L"Potencjalni", L"Potencjalni", 3);
  Add(kViewComments, L"Wszystkie", L"Wszystkie", 0);
  Add(kViewComments, L"Nieotrzymane", L"Nieotrzymane", 1);
  Add(kViewComments, L"DoWystawienia", L"Do wystawienia", 2);
  Add(kViewComments, L"Przygotowane", L"Przygotowane", 3);
}

// ---------------------------------------------------------------------------------------------
// CHxViewTranslator

CHxViewTranslator::CHxViewTranslator() { AddViews(); }

void CHxViewTranslator::Add(const GUID& view, const wchar_t* key, const wchar_t* label, LONG context) {
  m_entries.push_back(Entry{view, key ? key : L"", label ? label : L"", context});
}

LONG CHxViewTranslator::GetCtx(const GUID& view, const wchar_t* key) const {
  if (!key) return 0;
  for (const Entry& e : m_entries)
    if (e.view == view && e.key == key) return e.context;
  return 0;
}

const wchar_t* CHxViewTranslator::GetLabel(const GUID& view, int context) const {
  for (const Entry& e : m_entries)
    if (e.view == view && e.context == context) return e.label;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// CHxViewItem

CHxViewItem::CHxViewItem(int id, const wchar_t* text, CHxViewList* list, CHxMenuItem* menuItem, const GUID& view,
                         LONG context)
    : m_id(id), m_text(text ? text : L""), m_list(list), m_menuItem(menuItem), m_view(view), m_context(context) {}

void CHxViewItem::OnSelect() {
  if (m_list) m_list->SelectItem(m_view, m_context);
}

// ---------------------------------------------------------------------------------------------
// CHxViewList

CHxViewList::CHxViewList(CWnd* owner) : m_owner(owner) {}

CHxViewList::~CHxViewList() { Clean(); }

void CHxViewList::AddItem(CHxViewItem* item) {
  if (!item) return;
  item->m_list = this;
  m_items.push_back(item);
}

CHxViewItem* CHxViewList::GetItem(int index) const {
  return index >= 0 && index < GetCount() ? m_items[static_cast<size_t>(index)] : nullptr;
}

BOOL CHxViewList::Create() {
  BOOL all = TRUE;
  for (int i = 0; i < GetCount(); ++i)
    if (!m_items[static_cast<size_t>(i)]->Create(CRect(100 * i, 0, 100 * i + 100, 30), m_owner)) all = FALSE;
  return all;
}

void CHxViewList::LineLayout() {
  HDWP moves = BeginDeferWindowPos(GetCount());
  int x = 20;
  for (CHxViewItem* item : m_items) {
    const HWND window = item->GetHWND();
    if (!IsWindow(window)) continue;
    CSize size;
    item->GetSize(size);
    moves = DeferWindowPos(moves, window, nullptr, x, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    x += size.cx;
  }
  if (moves) EndDeferWindowPos(moves);
}

void CHxViewList::InvalidateWindows() {
  for (CHxViewItem* item : m_items) item->Invalidate(true);
}

void CHxViewList::Clean() {
  for (CHxViewItem* item : m_items) delete item;
  m_items.clear();
  m_selected = 0;
}

bool CHxViewList::SelectIndex(int index) {
  const int previous = m_selected;
  m_selected = index;
  const HWND owner = m_owner ? m_owner->m_hWnd : nullptr;
  if (!IsWindow(owner) || SendMessageW(owner, kSelecting, 0, 0) == 0) {
    m_selected = previous;
    return false;
  }
  // The owner may have changed the list while it was asked.
  if (CHxViewItem* item = GetItem(index)) item->Select(true);
  if (previous != index)
    if (CHxViewItem* old = GetItem(previous)) old->Select(false);
  return true;
}

bool CHxViewList::SelectItem(const GUID& view, LONG context) {
  CWaitCursor wait;
  for (int i = 0; i < GetCount(); ++i) {
    const CHxViewItem* item = m_items[static_cast<size_t>(i)];
    if (item->CLSID() == view && item->Context() == context) return SelectIndex(i);
  }
  return false;
}

void CHxViewList::SelectDefaultItem() {
  if (!m_items.empty()) SelectIndex(0);
}

GUID CHxViewList::SelectedView() const {
  const CHxViewItem* item = GetItem(m_selected);
  return item ? item->CLSID() : GUID_NULL;
}

LONG CHxViewList::SelectedViewCtx() const {
  const CHxViewItem* item = GetItem(m_selected);
  return item ? item->Context() : 0;
}

bool CHxViewList::ChooseSelected(const GUID& view, LONG context) {
  for (CHxViewItem* item : m_items) item->Select(item->CLSID() == view && item->Context() == context);
  return true;
}

// ---------------------------------------------------------------------------------------------
// CHxSwitcher

void CHxSwitcher::SwitchOnCustomer(LONG customerId) {
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    if (!instance) _com_issue_error(E_POINTER);
    IHxNavigation* raw = nullptr;
    HRESULT hr = instance->GetNavigation(&raw);
    IHxNavigationPtr navigation(raw, false);
    if (FAILED(hr)) _com_issue_error(hr);
    if (!navigation) _com_issue_error(E_POINTER);
    hr = navigation->SwitchView(kViewCustomers, _variant_t(LONG{0}));
    if (FAILED(hr)) _com_issue_error(hr);
    IUnknown* view = nullptr;
    hr = navigation->GetActiveView(&view);
    IUnknownPtr active(view, false);
    if (FAILED(hr)) _com_issue_error(hr);
    if (!active) return;
    IHxCustomerView* customers = nullptr;
    hr = active->QueryInterface(__uuidof(IHxCustomerView), reinterpret_cast<void**>(&customers));
    IHxCustomerViewPtr list(customers, false);
    if (hr == E_NOINTERFACE || !list) return;
    if (FAILED(hr)) _com_issue_error(hr);
    hr = list->ShowCustomer(customerId);
    if (FAILED(hr)) _com_issue_error(hr);
  } catch (const _com_error&) {
  }
}
