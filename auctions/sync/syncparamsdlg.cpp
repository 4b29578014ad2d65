// The dialogs of a receive or send run's options.
#include "auctions/sync/syncparamsdlg.h"

#include <memory>

#include "framework/interfaces.h"
#include "platform/gui/afxwin.h"
#include "shared/dialoglines.h"
#include "shared/hxinstance.h"

namespace lotrix {

namespace {

constexpr UINT kBand = 1023;
constexpr UINT kIcon = 128;

// The receive dialog's controls.
constexpr UINT kTransactions = 1037;
constexpr UINT kUseJournal = 5088;
constexpr UINT kComments = 1040;
constexpr UINT kCommentsLast = 1044;
constexpr UINT kCommentsMaxList = 1039;
constexpr UINT kCurrentAccount = 1045;
constexpr UINT kRunning = 1038;
constexpr UINT kSold = 1041;
constexpr UINT kUnsold = 1042;
constexpr UINT kFullData = 1043;
constexpr UINT kIncompleteOnly = 5091;

// The send dialog's control.
constexpr UINT kSendCurrentAccount = 1040;

bool Checked(HWND dialog, UINT id) { return IsDlgButtonChecked(dialog, static_cast<int>(id)) == BST_CHECKED; }

void Enable(HWND dialog, UINT id, bool enable) { ::EnableWindow(::GetDlgItem(dialog, static_cast<int>(id)), enable); }

// Without a selected account the "current account only" box is cleared and disabled.
void RefuseCurrentAccount(HWND dialog, UINT id) {
  if (SelectedAccount() != 0) return;
  CheckDlgButton(dialog, static_cast<int>(id), BST_UNCHECKED);
  Enable(dialog, id, false);
}

// The receive dialog's check boxes and the options they carry, either way.
void ExchangeChecks(CFlgDataExchange& dx, AuctSyncOptions& options) {
  DSX_Check(dx, kTransactions, options.transactions);
  DSX_Check(dx, kUseJournal, options.useJournal);
  DSX_Check(dx, kComments, options.comments);
  DSX_Check(dx, kCurrentAccount, options.receiveCurrentAccount);
  DSX_Check(dx, kRunning, options.runningAuctions);
  DSX_Check(dx, kSold, options.soldAuctions);
  DSX_Check(dx, kUnsold, options.unsoldAuctions);
  DSX_Check(dx, kFullData, options.fullAuctionData);
  DSX_Check(dx, kIncompleteOnly, options.fullDataIncompleteOnly);
}

HICON DialogIcon() { return LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kIcon)); }

void SetIcons(CWnd& dialog, HICON icon) {
  if (!icon) return;
  dialog.SetIcon(icon, TRUE);
  dialog.SetIcon(icon, FALSE);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CAuctServReceiveParamsDlg

CAuctServReceiveParamsDlg::CAuctServReceiveParamsDlg(CWnd* parent)
    : CFlgObjectDlg(nullptr, kIddAuctServReceiveParams, parent), m_icon(DialogIcon()) {
  SetWindowColorControl(kBand);
  SetHelpTopic(L"Okno_Odbieranie_danych_z_serwisu");
}

CAuctServReceiveParamsDlg::~CAuctServReceiveParamsDlg() = default;

void CAuctServReceiveParamsDlg::GetOptions(AuctSyncOptions& options) const {
  options.transactions = m_options.transactions;
  options.useJournal = m_options.useJournal;
  options.comments = m_options.comments;
  options.commentsMax = m_options.commentsMax;
  options.receiveCurrentAccount = m_options.receiveCurrentAccount;
  options.runningAuctions = m_options.runningAuctions;
  options.soldAuctions = m_options.soldAuctions;
  options.unsoldAuctions = m_options.unsoldAuctions;
  options.fullAuctionData = m_options.fullAuctionData;
  options.fullDataIncompleteOnly = m_options.fullDataIncompleteOnly;
}

BOOL CAuctServReceiveParamsDlg::OnInitDialog() {
  const BOOL result = CFlgObjectDlg::OnInitDialog();
  SetIcons(*this, m_icon);
  RefuseCurrentAccount(m_hWnd, kCurrentAccount);
  UpdateEnabling();
  return result;
}

void CAuctServReceiveParamsDlg::SubclassControls() {
  hxSubclassStaticsWithBorders(this);
  SendDlgItemMessage(kCommentsMaxList, CB_RESETCONTENT);
  for (LONG n : kCommentsMaxChoices) {
    CString text;
    text.Format(L"%ld", n);
    const LRESULT index =
        SendDlgItemMessage(kCommentsMaxList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.GetString()));
    if (index >= 0) SendDlgItemMessage(kCommentsMaxList, CB_SETITEMDATA, static_cast<WPARAM>(index), n);
  }
}

void CAuctServReceiveParamsDlg::OnLoadData(CFlgDataExchange& dx) {
  ExchangeChecks(dx, m_options);
  // The number shown: the item whose text is the number, none when it is not offered.
  bool last = m_options.commentsMax > 0;
  DSX_Check(dx, kCommentsLast, last);
  if (last) {
    CString text;
    text.Format(L"%ld", m_options.commentsMax);
    const LRESULT found =
        SendDlgItemMessage(kCommentsMaxList, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(text.GetString()));
    SendDlgItemMessage(kCommentsMaxList, CB_SETCURSEL, static_cast<WPARAM>(found));
  } else {
    SendDlgItemMessage(kCommentsMaxList, CB_SETCURSEL, 0);
  }
  UpdateEnabling();
}

void CAuctServReceiveParamsDlg::OnSaveData(CFlgDataExchange& dx) {
  ExchangeChecks(dx, m_options);
  bool last = false;
  DSX_Check(dx, kCommentsLast, last);
  if (!last) {
    m_options.commentsMax = 0;
  } else {
    // A number the list does not offer stays as it was while nothing else is chosen.
    const LRESULT selected = SendDlgItemMessage(kCommentsMaxList, CB_GETCURSEL);
    if (selected >= 0)
      m_options.commentsMax =
          static_cast<LONG>(SendDlgItemMessage(kCommentsMaxList, CB_GETITEMDATA, static_cast<WPARAM>(selected)));
  }
  UpdateEnabling();
}

void CAuctServReceiveParamsDlg::UpdateEnabling() {
  if (!m_hWnd) return;
  Enable(m_hWnd, kUseJournal, Checked(m_hWnd, kTransactions));
  const bool auctions = Checked(m_hWnd, kRunning) || Checked(m_hWnd, kSold) || Checked(m_hWnd, kUnsold);
  Enable(m_hWnd, kFullData, auctions);
  if (HWND full = ::GetDlgItem(m_hWnd, static_cast<int>(kFullData)))
    if (HWND after = ::GetWindow(full, GW_HWNDNEXT)) ::EnableWindow(after, auctions);
  Enable(m_hWnd, kIncompleteOnly, auctions && Checked(m_hWnd, kFullData));
  const bool comments = Checked(m_hWnd, kComments);
  Enable(m_hWnd, kCommentsLast, comments);
  Enable(m_hWnd, kCommentsMaxList, comments && Checked(m_hWnd, kCommentsLast));
}

BOOL CAuctServReceiveParamsDlg::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  const BOOL handled = CFlgObjectDlg::OnCmdMsg(id, code, extra, handlerInfo);
  if (code == BN_CLICKED && !extra) {
    switch (id) {
      case kTransactions:
      case kComments:
      case kCommentsLast:
      case kRunning:
      case kSold:
      case kUnsold:
      case kFullData: UpdateEnabling(); return TRUE;
      default: break;
    }
  }
  return handled;
}

// ---------------------------------------------------------------------------------------------
// CAuctServSendParamsDlg

CAuctServSendParamsDlg::CAuctServSendParamsDlg(CWnd* parent)
    : CFlgObjectDlg(nullptr, kIddAuctServSendParams, parent), m_icon(DialogIcon()) {
  SetWindowColorControl(kBand);
  SetHelpTopic(L"Okno_Wysylanie_danych_do_serwisu");
}

CAuctServSendParamsDlg::~CAuctServSendParamsDlg() = default;

void CAuctServSendParamsDlg::GetOptions(AuctSyncOptions& options) const {
  options.sendCurrentAccount = m_options.sendCurrentAccount;
}

BOOL CAuctServSendParamsDlg::OnInitDialog() {
  const BOOL result = CFlgObjectDlg::OnInitDialog();
  SetIcons(*this, m_icon);
  RefuseCurrentAccount(m_hWnd, kSendCurrentAccount);
  return result;
}

void CAuctServSendParamsDlg::SubclassControls() { hxSubclassStaticsWithBorders(this); }

void CAuctServSendParamsDlg::OnLoadData(CFlgDataExchange& dx) {
  DSX_Check(dx, kSendCurrentAccount, m_options.sendCurrentAccount);
}

void CAuctServSendParamsDlg::OnSaveData(CFlgDataExchange& dx) {
  DSX_Check(dx, kSendCurrentAccount, m_options.sendCurrentAccount);
}

LONG SelectedAccount() {
  try {
    IHxStartCheckPtr check(CHxInstance::GetInstance());
    LONG selected = 0;
    if (check && SUCCEEDED(check->GetSelectedAccount(&selected))) return selected;
  } catch (const _com_error&) {
  }
  return 0;
}

}  // namespace lotrix
