#include "shared/controls/hxtask.h"

namespace {

struct TaskRow {
  CHxTask::HxTaskEnum task;
  const wchar_t* caption;    // null: the default text
  const wchar_t* fixed;      // a fixed shortcut text (no accelerator of its own)
  WORD key;
  BYTE modifier;
  bool emphasised;
  bool specific;
};

constexpr TaskRow kTasks[] = {
    {CHxTask::htAdd, L"Dodaj", L"Insert", 0, 8, false, false},
    {CHxTask::htEdit, L"Popraw", L"Enter", 0, 8, false, false},
    {CHxTask::htDelete, L"Usuń", L"Delete", 0, 8, false, false},
    {CHxTask::htPrint, L"Drukuj", L"Ctrl+P", 0, 8, false, false},
    {CHxTask::htShow, L"Pokaż", L"F3", 0, 8, false, false},
    {CHxTask::htDuplicate, L"Powiel", L"Ctrl+D", 0, 8, false, false},
    {CHxTask::htReverseView, L"Odwróć widok", nullptr, 0, 8, false, false},
    {CHxTask::htSwitchToCustomer, L"Przełącz widok na klienta", nullptr, 75, 8, false, false},
    {CHxTask::htRecreate, L"Utwórz ponownie", nullptr, 0, 8, false, true},
    {CHxTask::htPrintDocuments, L"Drukuj", nullptr, 0, 8, false, false},
    {CHxTask::htPackagePrints, L"Druki do paczki", nullptr, 80, 12, false, false},
    {CHxTask::htCreateShippingLists, L"Utwórz listy wysyłkowe", nullptr, 76, 8, false, true},
    {CHxTask::htAddToShippingList, L"Dodaj do listy wysyłkowej", nullptr, 79, 8, false, true},
    {CHxTask::htMarkSentReceived, L"Oznacz jako wysłane/odebrane", nullptr, 87, 8, false, true},
    {CHxTask::htGroupTransactions, L"Grupuj transakcje", nullptr, 0, 8, false, true},
    {CHxTask::htGroupByCustomer, L"Grupuj transakcje wg klienta", nullptr, 71, 8, false, true},
    {CHxTask::htUngroupTransactions, L"Rozgrupuj transakcje", nullptr, 0, 8, false, true},
    {CHxTask::htCreatePackage, L"Utwórz paczkę", nullptr, 82, 8, false, true},
    {CHxTask::htCreatePackages, L"Utwórz paczki zbiorczo", nullptr, 82, 12, false, true},
    {CHxTask::htRegisterFullPayment, L"Zarejestruj pełną wpłatę", nullptr, 87, 8, false, false},
    {CHxTask::htAcceptZoneChanges, L"Zatwierdź zmiany ze Strefy Vantor", nullptr, 84, 8, false, false},
    {CHxTask::htCreateFinalDocument, L"Utwórz dokument końcowy", nullptr, 83, 8, false, true},
    {CHxTask::htCreateFinalDocuments, L"Utwórz zbiorczo dokumenty końcowe", nullptr, 83, 12, false, true},
    {CHxTask::htPostComments, L"Wystaw komentarze", L"Insert", 0, 8, true, false},
    {CHxTask::htShowTransaction, L"Pokaż transakcję", nullptr, 0, 8, false, true},
    {CHxTask::htOpen, L"Otwórz", nullptr, 0, 8, false, false},
    {CHxTask::htNewMessage, L"Nowa wiadomość", nullptr, 0, 8, true, false},
    {CHxTask::htReply, L"Odpowiedz", nullptr, 82, 8, true, false},
    {CHxTask::htForward, L"Prześlij dalej", nullptr, 0, 8, false, false},
    {CHxTask::htAccounts, L"Konta", nullptr, 0, 8, false, true},
    {CHxTask::htMessageRules, L"Reguły wiadomości", nullptr, 0, 8, false, true},
    {CHxTask::htSignatures, L"Podpisy", nullptr, 0, 8, false, true},
    {CHxTask::htMarkRead, L"Oznacz jako przeczytane", nullptr, 79, 12, false, true},
    {CHxTask::htMarkUnread, L"Oznacz jako nieprzeczytane", nullptr, 79, 8, false, true},
    {CHxTask::htAttachMany, L"Podepnij zbiorczo", nullptr, 0, 8, false, true},
    {CHxTask::htAssignToGroup, L"Przypisz do grupy", nullptr, 0, 8, false, true},
    {CHxTask::htListOnAuction, L"Wystaw na aukcji", nullptr, 87, 8, false, true},
    {CHxTask::htListFromTemplate, L"Wystaw na aukcji z szablonu", nullptr, 87, 12, false, true},
    {CHxTask::htShowProductInErp, L"Pokaż w Handlarze VX", nullptr, 83, 12, false, true},
    {CHxTask::htShowInformer, L"Pokaż informator", nullptr, 0, 8, false, true},
    {CHxTask::htImportFromErp, L"Importuj z Handlara VX", nullptr, 0, 8, false, true},
    {CHxTask::htAssignFeature, L"Przypisz cechę", nullptr, 0, 8, false, true},
    {CHxTask::htChangeGroup, L"Zmień grupe", nullptr, 0, 8, false, true},
    {CHxTask::htDefineListingSeries, L"Zdefiniuj serię wystawień", nullptr, 0, 8, false, true},
    {CHxTask::htSyncWithErp, L"Synchronizuj z Handlarem VX", nullptr, 83, 8, false, true},
    {CHxTask::htLinkWithErp, L"Powiąż z Handlarem VX", nullptr, 0, 8, false, true},
    {CHxTask::htUnlinkFromErp, L"Usuń powiązanie z Handlarem VX", nullptr, 0, 8, false, true},
    {CHxTask::htShowOnAuctionSite, L"Pokaż w serwisie aukcyjnym", nullptr, 84, 8, false, true},
    {CHxTask::htShowInErp, L"Pokaż w Handlarze VX", nullptr, 83, 8, false, true},
    {CHxTask::htAddNote, L"Dodaj notatkę", nullptr, 0, 8, false, true},
    {CHxTask::htCreateMessage, L"Utwórz wiadomość", nullptr, 69, 8, false, true},
    {CHxTask::htCreateMessages, L"Utwórz wiadomość zbiorczo", nullptr, 0, 8, false, true},
    {CHxTask::htAddToBlacklist, L"Dodaj do Czarnej listy", nullptr, 0, 8, false, true},
    {CHxTask::htAddToTrusted, L"Dodaj do Zaufanych klientów", nullptr, 0, 8, false, true},
    {CHxTask::htGrantDiscount, L"Przyznaj rabat", nullptr, 0, 8, false, true},
    {CHxTask::htMergeCustomers, L"Połącz klientów", nullptr, 0, 8, false, true},
    {CHxTask::htUndescribed, nullptr, nullptr, 0, 8, true, true},
    {CHxTask::htShowOnSite, L"Pokaż w serwisie", nullptr, 0, 8, false, false},
    {CHxTask::htRelist, L"Wystaw ponownie", nullptr, 87, 8, false, false},
    {CHxTask::htRelistInShop, L"Wystaw ponownie w sklepie", nullptr, 83, 8, false, false},
    {CHxTask::htAddDescriptionNote, L"Dodaj notatkę do opisu", nullptr, 0, 8, false, true},
    {CHxTask::htDefineProductListingSeries, L"Zdefiniuj serię wystawień", nullptr, 0, 8, false, true},
    {CHxTask::htShowProduct, L"Pokaż towar", nullptr, 84, 8, false, true},
    {CHxTask::htWithdrawAuction, L"Wycofaj aukcję", nullptr, 0, 8, false, true},
    {CHxTask::htListAuction, L"Wystaw aukcję", nullptr, 0, 8, false, false},
    {CHxTask::htCopyToOtherSite, L"Kopiuj na inny serwis", nullptr, 0, 8, false, true},
    {CHxTask::htLinkWithProduct, L"Powiąż z towarem", nullptr, 0, 8, false, true},
    {CHxTask::htUnlinkFromProduct, L"Usuń powiązanie z towarem", nullptr, 0, 8, false, true},
    {CHxTask::htUploadImages, L"Wyślij grafiki na serwer", nullptr, 0, 8, false, true},
    {CHxTask::htReadyToList, L"Gotowa do wystawienia", nullptr, 71, 8, false, false},
    {CHxTask::htNotReadyToList, L"Niegotowa do wystawienia", nullptr, 71, 12, false, false},
    {CHxTask::htChangeUser, L"Zmień użytkownika", nullptr, 0, 8, false, false},
    {CHxTask::htChangeSettings, L"Zmień ustawienia", nullptr, 0, 8, false, false},
    {CHxTask::htHelp, L"Pomoc", nullptr, 0, 8, false, true},
    {CHxTask::htPrintList, L"Drukuj", nullptr, 0, 8, false, true},
    {CHxTask::htNewTemplate, L"Nowy szablon", L"Insert", 0, 8, true, false},
    {CHxTask::htDuplicateTemplate, L"Powiel", L"Ctrl+D", 0, 8, true, false},
    {CHxTask::htNewTemplateFromFile, L"Nowy szablon z pliku", nullptr, 0, 8, false, false},
    {CHxTask::htUploadTemplateImages, L"Wyślij grafiki na serwer", nullptr, 0, 8, false, true},
    {CHxTask::htUploadImagesAgain, L"Wyślij grafiki ponownie", nullptr, 0, 8, false, true},
    {CHxTask::htAddAuction, L"Dodaj aukcję", nullptr, 0, 8, false, true},
    {CHxTask::htUploadAuctionImages, L"Wyślij grafiki na serwer", nullptr, 0, 8, false, true},
};

constexpr BYTE kCtrl = 8, kShift = 4, kAlt = 16;   // FCONTROL, FSHIFT, FALT

const TaskRow* Row(CHxTask::HxTaskEnum task) {
  for (const TaskRow& row : kTasks)
    if (row.task == task) return &row;
  return nullptr;
}

}  // namespace

CShortcutList CHxTask::m_list;

const wchar_t* CShortcutList::Find(const CString& text) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (const CString& kept : m_texts)
    if (kept == text) return kept;
  m_texts.push_back(text);
  return m_texts.back();
}

int CShortcutList::GetCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_texts.size());
}

const wchar_t* CHxTask::GetDescr(HxTaskEnum task) {
  const TaskRow* row = Row(task);
  return row && row->caption ? row->caption : L"Brak opisu, zajrzyj do CHxTask::GetDescr";
}

WORD CHxTask::GetShortcutKey(HxTaskEnum task) {
  if (task < htSwitchToCustomer || task > htNotReadyToList) return 0;
  const TaskRow* row = Row(task);
  return row ? row->key : 0;
}

BYTE CHxTask::GetShortcutModifier(HxTaskEnum task) {
  const TaskRow* row = Row(task);
  return row ? row->modifier : kCtrl;
}

const wchar_t* CHxTask::GetShortcut(HxTaskEnum task) {
  if (const TaskRow* row = Row(task); row && row->fixed) return row->fixed;
  const WORD key = GetShortcutKey(task);
  if (key == 0) return nullptr;
  const BYTE modifier = GetShortcutModifier(task);
  CString text;
  if (modifier & kCtrl) text += L"Ctrl";
  if (modifier & kAlt) text += text.IsEmpty() ? L"Alt" : L"+Alt";
  if (modifier & kShift) text += text.IsEmpty() ? L"Shift" : L"+Shift";
  if (!text.IsEmpty()) text += L"+";
  text += static_cast<wchar_t>(key);
  return m_list.Find(text);
}

bool CHxTask::Emphasize(HxTaskEnum task) {
  const TaskRow* row = Row(task);
  return row && row->emphasised;
}

bool CHxTask::IsTaskSpecific(HxTaskEnum task) {
  const TaskRow* row = Row(task);
  return row && row->specific;
}
