// Loading the options of a run from the program parameters.
#include "auctions/sync/syncoptions.h"

#include "shared/hxinstance.h"

namespace lotrix {

namespace {

// The program parameters (object 5004 of the framework instance).
constexpr LONG kProgramParams = 5004;

// A parameter's value as 32 bits; NULL counts as 0. A missing column raises.
LONG ParamValue(_Recordset* params, const wchar_t* name) {
  const _variant_t value = params->GetFields()->GetItem(_variant_t(name))->GetValue();
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) return 0;
  return static_cast<LONG>(value);
}

bool LowWordSet(LONG value) { return (static_cast<ULONG>(value) & 0xFFFFu) != 0; }
SHORT LowWord(LONG value) { return static_cast<SHORT>(static_cast<USHORT>(static_cast<ULONG>(value) & 0xFFFFu)); }

}  // namespace

void AuctSyncOptions::Reset() { *this = AuctSyncOptions(); }

void AuctSyncOptions::Load() {
  Reset();
  try {
    IFlgInstancePtr instance = CHxInstance::GetInstance();
    if (!instance) return;
    IUnknown* raw = nullptr;
    if (FAILED(instance->GetObjectByNumber(kProgramParams, &raw)) || !raw) return;
    IUnknownPtr object(raw, false);
    _RecordsetPtr params(object);
    if (params) LoadFrom(params);
  } catch (const _com_error&) {
  }
}

void AuctSyncOptions::LoadFrom(_Recordset* params) {
  Reset();
  if (!params) return;
  // Read in this order; the first failure keeps the rest reset.
  try {
    receiveDialog = LowWordSet(ParamValue(params, L"pa_AuctionsReceiveDialog"));
    transactions = LowWordSet(ParamValue(params, L"pa_AuctSyncTransaction"));
    comments = LowWordSet(ParamValue(params, L"pa_AuctSyncFeedback"));
    commentsMax = ParamValue(params, L"pa_AuctSyncFeedbackMax");
    runningAuctions = LowWordSet(ParamValue(params, L"pa_AuctSyncSellAuction"));
    soldAuctions = LowWordSet(ParamValue(params, L"pa_AuctSyncSoldAuction"));
    unsoldAuctions = LowWordSet(ParamValue(params, L"pa_AuctSyncNotSoldAuction"));
    fullAuctionData = LowWord(ParamValue(params, L"pa_AuctSyncFullAuctionData")) > 0;
    fullDataIncompleteOnly = LowWord(ParamValue(params, L"pa_AuctSyncFullAuctionData")) == 2;
    receiveCurrentAccount = LowWordSet(ParamValue(params, L"pa_AuctSyncReceiveCurReg"));
    useJournal = LowWordSet(ParamValue(params, L"pa_AuctSyncUseJournal"));
    sendDialog = LowWordSet(ParamValue(params, L"pa_AuctionsSendDialog"));
    sendCurrentAccount = LowWordSet(ParamValue(params, L"pa_AuctSyncSendCurReg"));
    imageMaxSize = ParamValue(params, L"pa_AuctSyncSendImgMaxSize");
    imageMaxLength = ParamValue(params, L"pa_AuctSyncSendImgMaxLen");
  } catch (const _com_error&) {
  }
}

}  // namespace lotrix
