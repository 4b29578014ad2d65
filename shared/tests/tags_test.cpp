// The template tag language: the vocabulary, the designers' trees and menus, the translator and
// the tag tree control.
#include <gtest/gtest.h>

#include "platform/gui/headless.h"
#include "shared/tags.h"

namespace {

using Info = CHxTagInfo;

TEST(TagInfo, TagTextsNamesAndNumbers) {
  EXPECT_STREQ(Info::GetTagStringFromEnum(Info::tKlientNick), L"[Klient::Nick]");
  EXPECT_STREQ(Info::GetTagStringFromEnum(static_cast<Info::Tag>(12)), L"");
  EXPECT_STREQ(Info::GetTagStringFromEnum(Info::tNone), L"");
  EXPECT_STREQ(Info::GetTagStringFromEnum(static_cast<Info::Tag>(23)), L"[Towar::Zdjecie10]");
  EXPECT_STREQ(Info::GetTagStringFromEnum(static_cast<Info::Tag>(92)), L"[Transakcja::StronaStrefyVantor]");
  EXPECT_STREQ(Info::GetTagNameFromEnum(static_cast<Info::Tag>(14)), L"Zdjęcie 1");
  EXPECT_STREQ(Info::GetTagNameFromEnum(static_cast<Info::Tag>(49)), L"Ulica i numer");
  EXPECT_STREQ(Info::GetCatNameFromEnum(Info::tcRachunki), L"Rachunki bankowe");
  EXPECT_STREQ(Info::GetCatNameFromEnum(Info::tcNone), L"");

  // Every number up to 93 is a tag or a gap between the categories; 94 is no tag.
  int tags = 0;
  for (int n = 0; n <= 95; ++n) {
    const auto tag = static_cast<Info::Tag>(n);
    const bool hasText = !Info::GetTagStringFromEnum(tag).IsEmpty();
    if (n >= 1 && n <= 93) {
      EXPECT_NE(hasText, Info::IgnoreTag(tag)) << n;
    }
    tags += hasText ? 1 : 0;
  }
  EXPECT_EQ(tags, 10 + 10 + 10 + 2 + 9 + 4 + 5 + 10 + 19);
  EXPECT_TRUE(Info::TagObsolete(Info::tKlientImie));
  EXPECT_TRUE(Info::TagObsolete(Info::tKlientNazwisko));
  EXPECT_TRUE(Info::TagObsolete(Info::tTransakcjaDoZaplaty));
  EXPECT_FALSE(Info::TagObsolete(Info::tKlientNick));
}

TEST(TagInfo, CategoriesAndTheirTags) {
  EXPECT_EQ(Info::GetCategoriesCount(Info::tcRoot), 6);
  EXPECT_EQ(Info::GetCategoriesCount(Info::tcTowar), 1);
  EXPECT_EQ(Info::GetCategoriesCount(Info::tcMojaFirma), 2);
  EXPECT_EQ(Info::GetCategoriesCount(Info::tcKlient), 0);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcRoot, 0), Info::tcKlient);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcRoot, 5), Info::tcTransakcja);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcRoot, 6), Info::tcNone);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcTowar, 0), Info::tcZdjecia);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcMojaFirma, 1), Info::tcRachunki);
  EXPECT_EQ(Info::GetCategoryAt(Info::tcKlient, 0), Info::tcNone);
  EXPECT_EQ(Info::GetTagsCount(Info::tcTransakcja), 19);
  EXPECT_EQ(Info::GetTagsCount(Info::tcRoot), 0);
  EXPECT_EQ(Info::GetTagAt(Info::tcTransakcja, 18), Info::tTransakcjaStronaStrefy);
  EXPECT_EQ(Info::GetTagAt(Info::tcRachunki, 1), static_cast<Info::Tag>(39));
  EXPECT_EQ(Info::GetTagAt(Info::tcRoot, 0), Info::tNone);
  EXPECT_EQ(Info::GetTagAt(Info::tcKlient, 10), Info::tNone);
  EXPECT_EQ(Info::GetTagAt(Info::tcKlient, -1), Info::tNone);
}

class TagWindows : public ::testing::Test {
 protected:
  void SetUp() override { platform::gui::SetEcho(false); }
  void TearDown() override { platform::gui::ResetHeadless(); }
};

class CommandRecorder : public CWnd {
 public:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back(wParam);
    return TRUE;
  }
  std::vector<WPARAM> commands;
};

std::vector<CString> Children(CTreeCtrl& tree, HTREEITEM parent) {
  std::vector<CString> out;
  for (HTREEITEM i = parent == TVI_ROOT ? tree.GetRootItem() : tree.GetChildItem(parent); i; i = tree.GetNextSiblingItem(i))
    out.push_back(tree.GetItemText(i));
  return out;
}

HTREEITEM Child(CTreeCtrl& tree, HTREEITEM parent, const wchar_t* text) {
  for (HTREEITEM i = parent == TVI_ROOT ? tree.GetRootItem() : tree.GetChildItem(parent); i; i = tree.GetNextSiblingItem(i))
    if (tree.GetItemText(i) == text) return i;
  return nullptr;
}

TEST_F(TagWindows, TheEmailDesignersTreeLeavesOutObsoleteTags) {
  CommandRecorder parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 400), nullptr, 0));
  CTagsTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(0, 0, 300, 400), &parent, 200));
  CHxTagFiller::FillTreeForEmailDesigner(&tree, TVI_ROOT);
  EXPECT_EQ(Children(tree, TVI_ROOT),
            (std::vector<CString>{L"Klient", L"Moja firma", L"Sprzedawca", L"Paczka", L"Transakcja"}));
  HTREEITEM client = Child(tree, TVI_ROOT, L"Klient");
  const std::vector<CString> clientTags = Children(tree, client);
  EXPECT_EQ(clientTags.size(), 8u);
  EXPECT_EQ(std::count(clientTags.begin(), clientTags.end(), CString(L"Imie")), 0);
  EXPECT_EQ(std::count(clientTags.begin(), clientTags.end(), CString(L"Nazwisko")), 0);
  EXPECT_EQ(tree.GetItemData(tree.GetChildItem(client)), static_cast<DWORD_PTR>(Info::tKlientNick));
  const std::vector<CString> firm = Children(tree, Child(tree, TVI_ROOT, L"Moja firma"));
  ASSERT_EQ(firm.size(), 2u + 9u);
  EXPECT_STREQ(firm[0], L"Adres");
  EXPECT_STREQ(firm[1], L"Rachunki bankowe");
  EXPECT_STREQ(firm[2], L"Imię");
  EXPECT_EQ(Children(tree, Child(tree, TVI_ROOT, L"Transakcja")).size(), 18u);

  // The HTML designer: the goods with their pictures, the firm and the seller only.
  tree.DeleteAllItems();
  CHxTagFiller::FillTreeForHTMLDesigner(&tree, TVI_ROOT);
  EXPECT_EQ(Children(tree, TVI_ROOT), (std::vector<CString>{L"Towar", L"Moja firma", L"Sprzedawca"}));
  EXPECT_STREQ(Children(tree, Child(tree, TVI_ROOT, L"Towar"))[0], L"Zdjęcia");
  tree.DeleteAllItems();
  CHxTagFiller::FillTree(&tree, nullptr);
  EXPECT_EQ(Children(tree, TVI_ROOT).size(), 6u);
}

TEST_F(TagWindows, TheTreeTellsItsParentOfAReleaseOverAnItem) {
  CommandRecorder parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 400), nullptr, 0));
  CEdit edit;
  ASSERT_TRUE(edit.Create(L"Edit", L"", WS_CHILD | WS_VISIBLE, CRect(0, 380, 300, 400), &parent, 300));
  CTagsTreeCtrl tree;
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(0, 0, 300, 370), &parent, 200));
  CHxTagFiller::FillTreeForEmailDesigner(&tree, TVI_ROOT);
  edit.SetFocus();
  tree.SetFocus();
  ASSERT_TRUE(tree.OldFocusWnd());
  EXPECT_EQ(tree.OldFocusWnd()->m_hWnd, edit.m_hWnd);

  HTREEITEM client = tree.GetRootItem();
  tree.Expand(client, TVE_EXPAND);
  CRect label;
  ASSERT_TRUE(tree.GetItemRect(tree.GetChildItem(client), label, TRUE));
  EXPECT_EQ(label.top, 16);
  EXPECT_EQ(label.left, 2 * 19 + 3);
  EXPECT_EQ(tree.HitItem(label.CenterPoint()), 1);
  EXPECT_EQ(tree.GetSelectedItem(), tree.GetChildItem(client));
  EXPECT_EQ(tree.HitItem(CPoint(10, 360)), 0);
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);

  tree.SendMessage(WM_LBUTTONUP, 0, MAKELONG(label.CenterPoint().x, label.CenterPoint().y));
  ASSERT_EQ(parent.commands.size(), 1u);
  EXPECT_EQ(parent.commands[0], static_cast<WPARAM>(MAKELONG(200, CTagsTreeCtrl::kItemReleased)));
  tree.SendMessage(WM_LBUTTONUP, 0, MAKELONG(250, label.CenterPoint().y));   // right of the label
  tree.SendMessage(WM_LBUTTONUP, 0, MAKELONG(10, 360));                      // below the items
  EXPECT_EQ(parent.commands.size(), 1u);
}

// A menu: "Kopiuj" 500, a separator, "Wstaw" (grayed "Obraz" 600, the placeholder, "Tabela" 601),
// "Usuń" 501.
void MakeMenu(CMenu& menu, bool placeholder) {
  menu.CreatePopupMenu();
  CMenu insert;
  insert.CreatePopupMenu();
  insert.AppendMenu(MF_STRING | MF_GRAYED, 600, L"Obraz");
  if (placeholder) insert.AppendMenu(MF_STRING, 700, L"<MENU_TAG>");
  insert.AppendMenu(MF_STRING, 601, L"Tabela");
  menu.AppendMenu(MF_STRING, 500, L"Kopiuj");
  menu.AppendMenu(MF_SEPARATOR);
  menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(insert.Detach()), L"Wstaw");
  menu.AppendMenu(MF_STRING, 501, L"Usuń");
}

TEST_F(TagWindows, TheMenuIsRenumberedAndGetsTheAutotextPopup) {
  CMenu menu;
  MakeMenu(menu, true);
  const CHxMessageTranslator translator = CHxTagFiller::FillMenuForEmailDesigner(&menu);
  // Commands in order past the separator and the placeholder: 500, 600, 601, 501.
  EXPECT_EQ(menu.GetMenuItemID(0), 1u);
  CMenu* insert = menu.GetSubMenu(2);
  ASSERT_TRUE(insert);
  EXPECT_EQ(insert->GetMenuItemID(0), 2u);
  EXPECT_TRUE(insert->GetMenuState(0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(insert->GetMenuItemID(2), 3u);
  EXPECT_EQ(menu.GetMenuItemID(3), 4u);
  for (UINT id = 1; id <= 4; ++id) EXPECT_EQ(translator.GetTagForMessage(id), Info::tNone) << id;
  EXPECT_EQ(translator.GetMessageMapping(1), 500u);
  EXPECT_EQ(translator.GetMessageMapping(2), 600u);
  EXPECT_EQ(translator.GetMessageMapping(3), 601u);
  EXPECT_EQ(translator.GetMessageMapping(4), 501u);
  EXPECT_EQ(translator.GetMessageMapping(0), 0u);
  EXPECT_EQ(translator.GetMessageMapping(5), 0u);

  CString text;
  insert->GetMenuString(1, text, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Autotekst");
  CMenu* autotext = insert->GetSubMenu(1);
  ASSERT_TRUE(autotext);
  autotext->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Klient");
  CMenu* client = autotext->GetSubMenu(0);
  ASSERT_EQ(client->GetMenuItemCount(), 10u);   // the obsolete tags are offered here
  client->GetMenuString(1, text, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Imie");
  EXPECT_EQ(client->GetMenuItemID(0), 5u);
  EXPECT_EQ(translator.GetTagForMessage(client->GetMenuItemID(0)), Info::tKlientNick);
  EXPECT_EQ(translator.GetTagForMessage(client->GetMenuItemID(1)), Info::tKlientImie);
  // The firm's subcategories come before its own tags.
  CMenu* firm = autotext->GetSubMenu(1);
  ASSERT_TRUE(firm);
  firm->GetMenuString(0, text, MF_BYPOSITION);
  EXPECT_STREQ(text, L"Adres");
  EXPECT_EQ(translator.GetTagForMessage(firm->GetSubMenu(0)->GetMenuItemID(0)), static_cast<Info::Tag>(49));
  const UINT tags = static_cast<UINT>(translator.Tags().GetSize());
  EXPECT_EQ(tags, 10u + 4u + 2u + 9u + 5u + 10u + 19u);
  EXPECT_EQ(translator.GetTagForMessage(5 + tags - 1), Info::tTransakcjaStronaStrefy);
  EXPECT_EQ(translator.GetTagForMessage(5 + tags), Info::tNone);
  const CHxMessageTranslator copy = translator;
  EXPECT_EQ(copy.GetMessageMapping(4), 501u);
  EXPECT_EQ(copy.GetTagForMessage(5), Info::tKlientNick);
}

TEST_F(TagWindows, AMenuWithoutThePlaceholderKeepsItsCommands) {
  CMenu menu;
  MakeMenu(menu, false);
  const CHxMessageTranslator translator = CHxTagFiller::FillMenuForHTMLDesigner(&menu);
  EXPECT_EQ(menu.GetMenuItemID(0), 500u);
  EXPECT_EQ(menu.GetSubMenu(2)->GetMenuItemID(0), 600u);
  EXPECT_EQ(translator.Commands().GetSize(), 1);
  for (UINT id : {0u, 1u, 500u, 600u, 94u}) EXPECT_EQ(translator.GetTagForMessage(id), Info::tNone);
  EXPECT_EQ(translator.GetMessageMapping(0), 0u);
  EXPECT_EQ(CHxTagFiller::FillMenu(nullptr, nullptr).Commands().GetSize(), 1);
}

}  // namespace
