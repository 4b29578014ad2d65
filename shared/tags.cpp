// The template tag language: the vocabulary, the designers' trees and menus, the translator.
#include "shared/tags.h"

namespace {

using Category = CHxTagInfo::TagCategory;
using Tag = CHxTagInfo::Tag;

struct CategoryInfo {
  Category category;
  const wchar_t* name;
  std::initializer_list<Category> subcategories;
  int firstTag;
  std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> tags;   // tag text, display name
};

const CategoryInfo kCategories[] = {
    {CHxTagInfo::tcRoot, L"",
     {CHxTagInfo::tcKlient, CHxTagInfo::tcTowar, CHxTagInfo::tcMojaFirma, CHxTagInfo::tcSprzedawca,
      CHxTagInfo::tcPaczka, CHxTagInfo::tcTransakcja},
     0,
     {}},
    {CHxTagInfo::tcKlient, L"Klient", {}, 2,
     {{L"Klient::Nick", L"Nick"},
      {L"Klient::Imie", L"Imie"},
      {L"Klient::Nazwisko", L"Nazwisko"},
      {L"Klient::ImieNazwisko", L"Imie i nazwisko"},
      {L"Klient::Firma", L"Firma"},
      {L"Klient::Email", L"Email"},
      {L"Klient::AdresPodst", L"Adres podstawowy"},
      {L"Klient::AdresWysylkowy", L"Adres wysyłkowy"},
      {L"Klient::AdresDokum", L"Adres do dokumentów"},
      {L"Klient::DoZaplaty", L"Do zapłaty"}}},
    {CHxTagInfo::tcTowar, L"Towar", {CHxTagInfo::tcZdjecia}, 26,
     {{L"Towar::Nazwa", L"Nazwa"},
      {L"Towar::Symbol", L"Symbol"},
      {L"Towar::Cena", L"Cena"},
      {L"Towar::Opis", L"Opis"},
      {L"Towar::Producent", L"Producent"},
      {L"Towar::Masa", L"Masa"},
      {L"Towar::Grupa", L"Grupa"},
      {L"Towar::WWW", L"WWW"},
      {L"Towar::Stan", L"Stan"},
      {L"Towar::Dostepne", L"Ilość dostępna"}}},
    {CHxTagInfo::tcZdjecia, L"Zdjęcia", {}, 14,
     {{L"Towar::Zdjecie1", L"Zdjęcie 1"},
      {L"Towar::Zdjecie2", L"Zdjęcie 2"},
      {L"Towar::Zdjecie3", L"Zdjęcie 3"},
      {L"Towar::Zdjecie4", L"Zdjęcie 4"},
      {L"Towar::Zdjecie5", L"Zdjęcie 5"},
      {L"Towar::Zdjecie6", L"Zdjęcie 6"},
      {L"Towar::Zdjecie7", L"Zdjęcie 7"},
      {L"Towar::Zdjecie8", L"Zdjęcie 8"},
      {L"Towar::Zdjecie9", L"Zdjęcie 9"},
      {L"Towar::Zdjecie10", L"Zdjęcie 10"}}},
    {CHxTagInfo::tcMojaFirma, L"Moja firma", {CHxTagInfo::tcAdres, CHxTagInfo::tcRachunki}, 40,
     {{L"Podmiot::Imie", L"Imię"},
      {L"Podmiot::Nazwisko", L"Nazwisko"},
      {L"Podmiot::Nazwa", L"Nazwa"},
      {L"Podmiot::NIP", L"NIP"},
      {L"Podmiot::Regon", L"Regon"},
      {L"Podmiot::WWW", L"WWW"},
      {L"Podmiot::Email", L"Email"},
      {L"Podmiot::Wizytowka", L"Wizytowka"},
      {L"Podmiot::Regulamin", L"Regulamin"}}},
    {CHxTagInfo::tcAdres, L"Adres", {}, 49,
     {{L"Podmiot::UlicaINr", L"Ulica i numer"},
      {L"Podmiot::KodPoczt", L"Kod pocztowy"},
      {L"Podmiot::Miejscowosc", L"Miejscowość"},
      {L"Podmiot::Panstwo", L"Państwo"}}},
    {CHxTagInfo::tcRachunki, L"Rachunki bankowe", {}, 38,
     {{L"Podmiot::RachunekDomyslny", L"Rachunek domyślny"}, {L"Podmiot::WszystkieRachunki", L"Wszystkie rachunki"}}},
    {CHxTagInfo::tcSprzedawca, L"Sprzedawca", {}, 55,
     {{L"Sprzedawca::Nick", L"Nick"},
      {L"Sprzedawca::ImieNazwisko", L"Imię i nazwisko"},
      {L"Sprzedawca::Nazwa", L"Nazwa"},
      {L"Sprzedawca::WszystkieAukcje", L"Link - moje aukcje"},
      {L"Sprzedawca::MojaStrona", L"Link - moja strona"}}},
    {CHxTagInfo::tcPaczka, L"Paczka", {}, 62,
     {{L"Paczka::Symbol", L"Symbol paczki"},
      {L"Paczka::DokumentWysylki", L"Dokument wysyłki"},
      {L"Paczka::LinkDoStatusu", L"Link do statusu"},
      {L"Paczka::AdresWysylki", L"Adres wysyłki"},
      {L"Paczka::DataWysylki", L"Data wysyłki"},
      {L"Paczka::DataZwrotu", L"Data zwrotu"},
      {L"Paczka::Pobranie", L"Pobranie"},
      {L"Paczka::ListaTowarow", L"Lista towarów"},
      {L"Paczka::Dostawca", L"Dostawca"},
      {L"Paczka::Dostawa", L"Dostawa"}}},
    {CHxTagInfo::tcTransakcja, L"Transakcja", {}, 74,
     {{L"Transakcja::Dotyczy", L"Dotyczy"},
      {L"Transakcja::DataZakupu", L"Data zakupu"},
      {L"Transakcja::KosztyTransportu", L"Koszty transportu"},
      {L"Transakcja::KosztyInne", L"Koszty inne"},
      {L"Transakcja::DoZaplaty", L"Do zapłaty"},
      {L"Transakcja::Wartosc", L"Wartość"},
      {L"Transakcja::PozostaloDoZaplaty", L"Pozostało do zapłaty"},
      {L"Transakcja::WalutaZaplaty", L"Waluta zapłaty"},
      {L"Transakcja::WplataKwota", L"Kwota wpłaty"},
      {L"Transakcja::WplataData", L"Data wpłaty"},
      {L"Transakcja::ListaTowarow", L"Lista towarów"},
      {L"Transakcja::Dostawca", L"Dostawca"},
      {L"Transakcja::Dostawa", L"Dostawa"},
      {L"Transakcja::AdresWysylki", L"Adres wysylki"},
      {L"Transakcja::AdresDokum", L"Adres do dokumentu"},
      {L"Transakcja::DokumWstepny", L"Dokument wstępny"},
      {L"Transakcja::DokumKoncowy", L"Dokument końcowy"},
      {L"Transakcja::Paczki", L"Paczki"},
      {L"Transakcja::StronaStrefyVantor", L"Strona Strefy Vantor"}}},
};

const CategoryInfo* Find(Category category) {
  for (const CategoryInfo& info : kCategories)
    if (info.category == category) return &info;
  return nullptr;
}

// The category holding a tag number, with the tag's index in it.
const CategoryInfo* Holder(Tag tag, int& index) {
  for (const CategoryInfo& info : kCategories) {
    const int n = static_cast<int>(info.tags.size());
    if (n > 0 && tag >= info.firstTag && tag < info.firstTag + n) {
      index = tag - info.firstTag;
      return &info;
    }
  }
  return nullptr;
}

const CHxTagInfo::TagCategory kHtmlDesigner[] = {CHxTagInfo::tcTowar,   CHxTagInfo::tcZdjecia,    CHxTagInfo::tcMojaFirma,
                                                 CHxTagInfo::tcAdres,   CHxTagInfo::tcRachunki,   CHxTagInfo::tcSprzedawca,
                                                 CHxTagInfo::tcNone};
const CHxTagInfo::TagCategory kEmailDesigner[] = {CHxTagInfo::tcKlient,     CHxTagInfo::tcMojaFirma, CHxTagInfo::tcAdres,
                                                  CHxTagInfo::tcRachunki,   CHxTagInfo::tcSprzedawca, CHxTagInfo::tcPaczka,
                                                  CHxTagInfo::tcTransakcja, CHxTagInfo::tcNone};

bool Allowed(const CHxTagInfo::TagCategory* allowed, Category category) {
  if (!allowed) return true;
  for (const CHxTagInfo::TagCategory* a = allowed; *a != CHxTagInfo::tcNone; ++a)
    if (*a == category) return true;
  return false;
}

constexpr wchar_t kPlaceholder[] = L"<MENU_TAG>";
constexpr int kMaxMenuDepth = 32;

bool FindIn(CMenu* menu, int* position, CMenu** owner, int depth) {
  if (!menu || depth > kMaxMenuDepth) return false;
  const int count = static_cast<int>(menu->GetMenuItemCount());
  for (int i = 0; i < count; ++i) {
    if (CMenu* sub = menu->GetSubMenu(i)) {
      if (FindIn(sub, position, owner, depth + 1)) return true;
      continue;
    }
    CString text;
    menu->GetMenuString(static_cast<UINT>(i), text, MF_BYPOSITION);
    if (text == kPlaceholder) {
      if (position) *position = i;
      if (owner) *owner = menu;
      return true;
    }
  }
  return false;
}

void MapIn(CMenu* menu, CUIntArray* commands, int depth) {
  if (!menu || !commands || depth > kMaxMenuDepth) return;
  const int count = static_cast<int>(menu->GetMenuItemCount());
  for (int i = 0; i < count; ++i) {
    const UINT position = static_cast<UINT>(i);
    if (CMenu* sub = menu->GetSubMenu(i)) {
      MapIn(sub, commands, depth + 1);
      continue;
    }
    const UINT state = menu->GetMenuState(position, MF_BYPOSITION);
    if (state & MF_SEPARATOR) continue;
    CString text;
    menu->GetMenuString(position, text, MF_BYPOSITION);
    if (text == kPlaceholder) continue;
    const UINT former = menu->GetMenuItemID(i);
    const UINT id = static_cast<UINT>(commands->Add(former));
    menu->ModifyMenu(position, MF_BYPOSITION | MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED)), id, text);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxTagInfo

int CHxTagInfo::GetCategoriesCount(TagCategory category) {
  const CategoryInfo* info = Find(category);
  return info ? static_cast<int>(info->subcategories.size()) : 0;
}

CHxTagInfo::TagCategory CHxTagInfo::GetCategoryAt(TagCategory category, int index) {
  const CategoryInfo* info = Find(category);
  if (!info || index < 0 || index >= static_cast<int>(info->subcategories.size())) return tcNone;
  return info->subcategories.begin()[index];
}

int CHxTagInfo::GetTagsCount(TagCategory category) {
  const CategoryInfo* info = Find(category);
  return info ? static_cast<int>(info->tags.size()) : 0;
}

CHxTagInfo::Tag CHxTagInfo::GetTagAt(TagCategory category, int index) {
  const CategoryInfo* info = Find(category);
  if (!info || index < 0 || index >= static_cast<int>(info->tags.size())) return tNone;
  return static_cast<Tag>(info->firstTag + index);
}

CString CHxTagInfo::GetTagStringFromEnum(Tag tag) {
  int index = 0;
  const CategoryInfo* info = Holder(tag, index);
  CString out;
  if (info) out.Format(L"%s%s%s", L"[", info->tags.begin()[index].first, L"]");
  return out;
}

CString CHxTagInfo::GetTagNameFromEnum(Tag tag) {
  int index = 0;
  const CategoryInfo* info = Holder(tag, index);
  return info ? CString(info->tags.begin()[index].second) : CString();
}

CString CHxTagInfo::GetCatNameFromEnum(TagCategory category) {
  const CategoryInfo* info = Find(category);
  return info ? CString(info->name) : CString();
}

bool CHxTagInfo::IgnoreTag(Tag tag) {
  switch (static_cast<int>(tag)) {
    case 1: case 12: case 13: case 24: case 25: case 36: case 37: case 53: case 54: case 60: case 61: case 72:
    case 73: case 93:
      return true;
    default:
      return false;
  }
}

bool CHxTagInfo::TagObsolete(Tag tag) { return tag == tKlientImie || tag == tKlientNazwisko || tag == tTransakcjaDoZaplaty; }

// ---------------------------------------------------------------------------------------------
// CHxMessageTranslator

CHxMessageTranslator::CHxMessageTranslator(const CUIntArray& commands, const CTagArray& tags) {
  m_commands.Copy(commands);
  m_tags.Copy(tags);
}

CHxMessageTranslator::CHxMessageTranslator(const CHxMessageTranslator& other) { *this = other; }

CHxMessageTranslator& CHxMessageTranslator::operator=(const CHxMessageTranslator& other) {
  m_commands.Copy(other.m_commands);
  m_tags.Copy(other.m_tags);
  return *this;
}

UINT CHxMessageTranslator::GetMessageMapping(UINT id) const {
  return id < static_cast<UINT>(m_commands.GetSize()) ? m_commands.GetAt(static_cast<int>(id)) : 0;
}

CHxTagInfo::Tag CHxMessageTranslator::GetTagForMessage(UINT id) const {
  const UINT first = static_cast<UINT>(m_commands.GetSize());
  if (id < first || id - first >= static_cast<UINT>(m_tags.GetSize())) return CHxTagInfo::tNone;
  return m_tags.GetAt(static_cast<int>(id - first));
}

// ---------------------------------------------------------------------------------------------
// CHxTagFiller

void CHxTagFiller::TreeProcessCategory(CTreeCtrl* tree, HTREEITEM parent, CHxTagInfo::TagCategory category,
                                       const CHxTagInfo::TagCategory* allowed) {
  if (!tree) return;
  const int subcategories = CHxTagInfo::GetCategoriesCount(category);
  for (int i = 0; i < subcategories; ++i) {
    const CHxTagInfo::TagCategory sub = CHxTagInfo::GetCategoryAt(category, i);
    if (!Allowed(allowed, sub)) continue;
    HTREEITEM item = tree->InsertItem(CHxTagInfo::GetCatNameFromEnum(sub), parent, TVI_LAST);
    if (item) TreeProcessCategory(tree, item, sub, allowed);
  }
  const int tags = CHxTagInfo::GetTagsCount(category);
  for (int i = 0; i < tags; ++i) {
    const CHxTagInfo::Tag tag = CHxTagInfo::GetTagAt(category, i);
    if (CHxTagInfo::TagObsolete(tag)) continue;
    HTREEITEM item = tree->InsertItem(CHxTagInfo::GetTagNameFromEnum(tag), parent, TVI_LAST);
    if (item) tree->SetItemData(item, static_cast<DWORD_PTR>(tag));
  }
}

void CHxTagFiller::FillTree(CTreeCtrl* tree, CHxTagInfo::TagCategory* allowed) {
  TreeProcessCategory(tree, TVI_ROOT, CHxTagInfo::tcRoot, allowed);
}

void CHxTagFiller::FillTreeForHTMLDesigner(CTreeCtrl* tree, HTREEITEM parent) {
  TreeProcessCategory(tree, parent, CHxTagInfo::tcRoot, kHtmlDesigner);
}

void CHxTagFiller::FillTreeForEmailDesigner(CTreeCtrl* tree, HTREEITEM parent) {
  TreeProcessCategory(tree, parent, CHxTagInfo::tcRoot, kEmailDesigner);
}

void CHxTagFiller::MenuProcessCategory(CMenu* menu, CHxTagInfo::TagCategory category,
                                       const CHxTagInfo::TagCategory* allowed, UINT firstId, CTagArray& tags) {
  if (!menu) return;
  const int subcategories = CHxTagInfo::GetCategoriesCount(category);
  for (int i = 0; i < subcategories; ++i) {
    const CHxTagInfo::TagCategory sub = CHxTagInfo::GetCategoryAt(category, i);
    if (!Allowed(allowed, sub)) continue;
    CMenu popup;
    if (!popup.CreatePopupMenu()) continue;
    MenuProcessCategory(&popup, sub, allowed, firstId, tags);
    if (menu->AppendMenu(MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup.GetSafeHmenu()),
                         CHxTagInfo::GetCatNameFromEnum(sub)))
      popup.Detach();
  }
  const int count = CHxTagInfo::GetTagsCount(category);
  for (int i = 0; i < count; ++i) {
    const CHxTagInfo::Tag tag = CHxTagInfo::GetTagAt(category, i);
    const UINT id = firstId + static_cast<UINT>(tags.Add(tag));
    menu->AppendMenu(MF_STRING, id, CHxTagInfo::GetTagNameFromEnum(tag));
  }
}

bool CHxTagFiller::FindPlaceholder(CMenu* menu, int* position, CMenu** owner) { return FindIn(menu, position, owner, 0); }

void CHxTagFiller::MapCommands(CMenu* menu, CUIntArray* commands) { MapIn(menu, commands, 0); }

CHxMessageTranslator CHxTagFiller::FillMenu(CMenu* menu, CHxTagInfo::TagCategory* allowed) {
  CUIntArray commands;
  commands.Add(0);
  CTagArray tags;
  int position = -1;
  CMenu* owner = nullptr;
  if (!menu || !FindPlaceholder(menu, &position, &owner)) return CHxMessageTranslator(commands, tags);
  // The placeholder's menu handle stays valid through the renumbering (items change in place).
  const HMENU ownerMenu = owner->GetSafeHmenu();
  MapCommands(menu, &commands);
  CMenu popup;
  if (!popup.CreatePopupMenu()) return CHxMessageTranslator(commands, tags);
  MenuProcessCategory(&popup, CHxTagInfo::tcRoot, allowed, static_cast<UINT>(commands.GetSize()), tags);
  if (::ModifyMenuW(ownerMenu, static_cast<UINT>(position), MF_BYPOSITION | MF_POPUP | MF_STRING,
                    reinterpret_cast<UINT_PTR>(popup.GetSafeHmenu()), L"Autotekst"))
    popup.Detach();
  return CHxMessageTranslator(commands, tags);
}

CHxMessageTranslator CHxTagFiller::FillMenuForHTMLDesigner(CMenu* menu) {
  return FillMenu(menu, const_cast<CHxTagInfo::TagCategory*>(kHtmlDesigner));
}

CHxMessageTranslator CHxTagFiller::FillMenuForEmailDesigner(CMenu* menu) {
  return FillMenu(menu, const_cast<CHxTagInfo::TagCategory*>(kEmailDesigner));
}

// ---------------------------------------------------------------------------------------------
// CTagsTreeCtrl

int CTagsTreeCtrl::HitItem(CPoint point) {
  UINT flags = 0;
  HTREEITEM item = HitTest(point, &flags);
  if (item) {
    SelectItem(item);
    return 1;
  }
  SelectItem(nullptr);
  return 0;
}

void CTagsTreeCtrl::OnSetFocus(CWnd* old) {
  m_oldFocus = old ? old->m_hWnd : nullptr;
  CTreeCtrl::OnSetFocus(old);
}

void CTagsTreeCtrl::ButtonReleased(CPoint point) {
  UINT flags = 0;
  if (!HitTest(point, &flags) || !(flags & TVHT_ONITEM)) return;
  if (CWnd* parent = GetParent())
    parent->SendMessage(WM_COMMAND, MAKELONG(GetDlgCtrlID(), kItemReleased), reinterpret_cast<LPARAM>(m_hWnd));
}

BOOL CTagsTreeCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const BOOL handled = CTreeCtrl::OnWndMsg(message, wParam, lParam, result);
  if (message == WM_LBUTTONUP && m_hWnd) ButtonReleased(CPoint(lParam));
  return handled;
}
