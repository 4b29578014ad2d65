#pragma once
// The template tag language: tags of the form "[Category::Field]" standing for data of the
// customer, the goods, the seller's firm, the package and the transaction in auction
// descriptions and e-mail messages. CHxTagInfo is the vocabulary; CHxTagFiller fills the tree
// controls and menus of the HTML and e-mail designers with it; CHxMessageTranslator maps the
// menu commands back to the menu's former commands and to tags.
#include "platform/base/collections.h"
#include "platform/gui/treectrl.h"

class CHxTagInfo {
 public:
  enum TagCategory : int {
    tcRoot = 1,
    tcKlient = 2,
    tcTowar = 3,
    tcZdjecia = 4,
    tcMojaFirma = 5,
    tcAdres = 6,
    tcRachunki = 7,
    tcSprzedawca = 8,
    tcPaczka = 9,
    tcTransakcja = 10,
    tcNone = 11,
  };
  // Tag numbers: each category's tags are consecutive from its first number.
  enum Tag : int {
    tFirst = 1,
    tKlientNick = 2,
    tKlientImie = 3,
    tKlientNazwisko = 4,
    tZdjecie1 = 14,
    tTowarNazwa = 26,
    tRachunekDomyslny = 38,
    tPodmiotImie = 40,
    tPodmiotUlicaINr = 49,
    tSprzedawcaNick = 55,
    tPaczkaSymbol = 62,
    tTransakcjaDotyczy = 74,
    tTransakcjaDoZaplaty = 78,
    tTransakcjaStronaStrefy = 92,
    tNone = 94,
  };

  CHxTagInfo() = delete;

  // 6 for the root, 1 for "Towar", 2 for "Moja firma", 0 otherwise.
  static int GetCategoriesCount(TagCategory category);
  // The subcategory at the index; tcNone out of range.
  static TagCategory GetCategoryAt(TagCategory category, int index);
  static int GetTagsCount(TagCategory category);
  // The category's first tag plus the index; tNone for a category without tags or an index
  // outside its tags.
  static Tag GetTagAt(TagCategory category, int index);
  // "[Category::Field]"; empty for a number without a tag.
  static CString GetTagStringFromEnum(Tag tag);
  static CString GetTagNameFromEnum(Tag tag);
  static CString GetCatNameFromEnum(TagCategory category);
  // Numbers between the categories' tags (and 1 and 93) are no tags.
  static bool IgnoreTag(Tag tag);
  // "Klient::Imie", "Klient::Nazwisko" and "Transakcja::DoZaplaty".
  static bool TagObsolete(Tag tag);
};

using CTagArray = CArray<CHxTagInfo::Tag, CHxTagInfo::Tag>;

class CHxMessageTranslator {
 public:
  CHxMessageTranslator() = default;
  CHxMessageTranslator(const CUIntArray& commands, const CTagArray& tags);
  CHxMessageTranslator(const CHxMessageTranslator& other);
  CHxMessageTranslator& operator=(const CHxMessageTranslator& other);

  // The former command id kept at that position; 0 beyond the command table.
  UINT GetMessageMapping(UINT id) const;
  // The tag of a tag command (ids from the command table's size on); tNone for any other id.
  CHxTagInfo::Tag GetTagForMessage(UINT id) const;

  const CUIntArray& Commands() const { return m_commands; }
  const CTagArray& Tags() const { return m_tags; }

 private:
  CUIntArray m_commands;
  CTagArray m_tags;
};

class CHxTagFiller {
 public:
  CHxTagFiller() = delete;

  // The vocabulary under the tree's root; `allowed` (ended by tcNone, may be null) limits the
  // categories.
  static void FillTree(CTreeCtrl* tree, CHxTagInfo::TagCategory* allowed);
  static void FillTreeForHTMLDesigner(CTreeCtrl* tree, HTREEITEM parent);
  static void FillTreeForEmailDesigner(CTreeCtrl* tree, HTREEITEM parent);
  // Renumbers the menu's commands and puts the pop-up "Autotekst" with the vocabulary in place of
  // the item "<MENU_TAG>"; a menu without it is left unchanged.
  static CHxMessageTranslator FillMenu(CMenu* menu, CHxTagInfo::TagCategory* allowed);
  static CHxMessageTranslator FillMenuForHTMLDesigner(CMenu* menu);
  static CHxMessageTranslator FillMenuForEmailDesigner(CMenu* menu);

  // The category's allowed subcategories as items (each filled in turn), then its tags that are
  // not obsolete, as last children of `parent`; a tag item's data is its number.
  static void TreeProcessCategory(CTreeCtrl* tree, HTREEITEM parent, CHxTagInfo::TagCategory category,
                                  const CHxTagInfo::TagCategory* allowed);
  // The category into a pop-up: allowed subcategories as pop-ups, then every tag as an item whose
  // id is `firstId` plus the tag's position in `tags` (where it is appended).
  static void MenuProcessCategory(CMenu* menu, CHxTagInfo::TagCategory category, const CHxTagInfo::TagCategory* allowed,
                                  UINT firstId, CTagArray& tags);
  // The first item named "<MENU_TAG>", searched depth first; its position and the menu holding it.
  static bool FindPlaceholder(CMenu* menu, int* position, CMenu** owner);
  // Depth first, skipping the placeholder and separators: each item's id is appended to
  // `commands` and the item takes its position there as its new id (its state kept).
  static void MapCommands(CMenu* menu, CUIntArray* commands);
};

// The tree of a designer's tags: remembers the window that had the focus before it, and tells
// its parent of a left-button release over an item (WM_COMMAND, notification 2, its own id).
class CTagsTreeCtrl : public CTreeCtrl {
 public:
  enum { kItemReleased = 2 };

  CWnd* OldFocusWnd() const { return m_oldFocus ? CWnd::FromHandle(m_oldFocus) : nullptr; }
  // Selects the item under the point (client coordinates): 1; else clears the selection: 0.
  int HitItem(CPoint point);

 protected:
  void OnSetFocus(CWnd* old) override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void ButtonReleased(CPoint point);
  HWND m_oldFocus = nullptr;
};
