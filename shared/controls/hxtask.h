#pragma once
// The vocabulary of the host's task commands: captions, keyboard shortcuts and how the task pane
// presents them.
#include <list>
#include <mutex>

#include "platform/gui/afxwin.h"

// Shortcut texts made at run time, each kept once for as long as the library is loaded.
class CShortcutList {
 public:
  // The kept text equal to `text`, kept now when new; the pointer stays valid.
  const wchar_t* Find(const CString& text);
  int GetCount() const;

 private:
  mutable std::mutex m_mutex;
  std::list<CString> m_texts;
};

class CHxTask {
 public:
  enum HxTaskEnum {
    htAdd = 0x3400,
    htEdit = 0x3410,
    htDelete = 0x3420,
    htPrint = 0x3430,
    htShow = 0x3440,
    htDuplicate = 0x3450,
    htReverseView = 0x4074,
    htSwitchToCustomer = 0x4075,
    htRecreate = 0x407F,
    htPrintDocuments = 0x4080,
    htPackagePrints = 0x4081,
    htCreateShippingLists = 0x4082,
    htAddToShippingList = 0x4083,
    htMarkSentReceived = 0x4084,
    htGroupTransactions = 0x4085,
    htGroupByCustomer = 0x4086,
    htUngroupTransactions = 0x4087,
    htCreatePackage = 0x4088,
    htCreatePackages = 0x4089,
    htRegisterFullPayment = 0x408A,
    htAcceptZoneChanges = 0x408B,
    htCreateFinalDocument = 0x408C,
    htCreateFinalDocuments = 0x408D,
    htPostComments = 0x408E,
    htShowTransaction = 0x408F,
    htOpen = 0x4090,
    htNewMessage = 0x4091,
    htReply = 0x4092,
    htForward = 0x4093,
    htAccounts = 0x4094,
    htMessageRules = 0x4095,
    htSignatures = 0x4096,
    htMarkRead = 0x4097,
    htMarkUnread = 0x4098,
    htAttachMany = 0x4099,
    htAssignToGroup = 0x409A,
    htListOnAuction = 0x409B,
    htListFromTemplate = 0x409C,
    htShowProductInErp = 0x409D,
    htShowInformer = 0x409E,
    htImportFromErp = 0x409F,
    htAssignFeature = 0x40A0,
    htChangeGroup = 0x40A1,
    htDefineListingSeries = 0x40A2,
    htSyncWithErp = 0x40A3,
    htLinkWithErp = 0x40A4,
    htUnlinkFromErp = 0x40A5,
    htShowOnAuctionSite = 0x40A6,
    htShowInErp = 0x40A7,
    htAddNote = 0x40A8,
    htCreateMessage = 0x40A9,
    htCreateMessages = 0x40AA,
    htAddToBlacklist = 0x40AB,
    htAddToTrusted = 0x40AC,
    htGrantDiscount = 0x40AD,
    htMergeCustomers = 0x40AE,
    htUndescribed = 0x40AF,
    htShowOnSite = 0x40B0,
    htRelist = 0x40B1,
    htRelistInShop = 0x40B2,
    htAddDescriptionNote = 0x40B3,
    htDefineProductListingSeries = 0x40B4,
    htShowProduct = 0x40B5,
    htWithdrawAuction = 0x40B6,
    htListAuction = 0x40B7,
    htCopyToOtherSite = 0x40B8,
    htLinkWithProduct = 0x40B9,
    htUnlinkFromProduct = 0x40BA,
    htUploadImages = 0x40BB,
    htReadyToList = 0x40BC,
    htNotReadyToList = 0x40BD,
    htChangeUser = 0x40BE,
    htChangeSettings = 0x40BF,
    htHelp = 0x40C0,
    htPrintList = 0x40C1,
    htNewTemplate = 0x40C2,
    htDuplicateTemplate = 0x40C3,
    htNewTemplateFromFile = 0x40C4,
    htUploadTemplateImages = 0x40C5,
    htUploadImagesAgain = 0x40C6,
    htAddAuction = 0x40C7,
    htUploadAuctionImages = 0x40C8,
  };

  // The caption; "Brak opisu, zajrzyj do CHxTask::GetDescr" for a task without one.
  static const wchar_t* GetDescr(HxTaskEnum task);
  // The shortcut text: the task's fixed text, else one made of its key and modifiers
  // ("Ctrl+Shift+P"), else null.
  static const wchar_t* GetShortcut(HxTaskEnum task);
  // The virtual-key code of the accelerator (0: none).
  static WORD GetShortcutKey(HxTaskEnum task);
  // The accelerator's modifier flags: 8 Ctrl, 12 Ctrl and Shift.
  static BYTE GetShortcutModifier(HxTaskEnum task);
  static bool Emphasize(HxTaskEnum task);
  static bool IsTaskSpecific(HxTaskEnum task);
  static int SkinImage(HxTaskEnum task) { return 0; }

  static CShortcutList m_list;
};
