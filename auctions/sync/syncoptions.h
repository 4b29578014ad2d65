#pragma once
// The options of one receive or send run of the synchronisation manager: what to receive, whether
// only the host's selected account is handled, whether a dialog is offered first. They are read
// from the program parameters (pa_ columns of the host's parameter object 5004); the dialogs
// change them for one run only, nothing is written back.
#include "framework/zephra.h"

namespace lotrix {

struct AuctSyncOptions {
  bool transactions = false;            // pa_AuctSyncTransaction: transactions and customers
  bool comments = false;                // pa_AuctSyncFeedback
  LONG commentsMax = 0;                 // pa_AuctSyncFeedbackMax: only the last N comments, 0 all
  bool runningAuctions = false;         // pa_AuctSyncSellAuction
  bool soldAuctions = false;            // pa_AuctSyncSoldAuction
  bool unsoldAuctions = false;          // pa_AuctSyncNotSoldAuction
  bool fullAuctionData = false;         // pa_AuctSyncFullAuctionData > 0
  bool fullDataIncompleteOnly = false;  // pa_AuctSyncFullAuctionData = 2
  bool receiveCurrentAccount = false;   // pa_AuctSyncReceiveCurReg
  bool useJournal = false;              // pa_AuctSyncUseJournal: transactions from the history
  bool sendDialog = false;              // pa_AuctionsSendDialog
  bool sendCurrentAccount = false;      // pa_AuctSyncSendCurReg
  bool sendAllAuctions = false;         // set by a send of all prepared data
  bool sendAllComments = false;
  LONG imageMaxSize = 0;                // pa_AuctSyncSendImgMaxSize
  LONG imageMaxLength = 0;              // pa_AuctSyncSendImgMaxLen
  bool receiveDialog = false;           // pa_AuctionsReceiveDialog

  // Every field false or 0.
  void Reset();
  // Reset, then the fields from the host's program parameters. A failure (no instance, no
  // parameters, a missing column) ends the loading silently: the fields not read yet stay reset.
  void Load();
  // The same from a program-parameter row.
  void LoadFrom(_Recordset* params);
  // Whether any kind of auction (or the transactions' auctions) is to be received.
  bool ReceivesAuctions() const {
    return transactions || runningAuctions || soldAuctions || unsoldAuctions || fullAuctionData;
  }
};

}  // namespace lotrix
