#pragma once
// The dialogs that change the options of one receive or send run: the options are copied in, the
// dialog runs modally, and only on OK are its values copied back (for that run; nothing is
// written to the program parameters).
#include "auctions/sync/syncoptions.h"
#include "shared/objectdlg.h"

namespace lotrix {

// The templates of the dialogs.
inline constexpr UINT kIddAuctServReceiveParams = 108;
inline constexpr UINT kIddAuctServSendParams = 109;

// The host's selected account; 0 for none or when the host cannot tell.
LONG SelectedAccount();

// The numbers the receive dialog offers for "the last comments only".
inline constexpr LONG kCommentsMaxChoices[] = {25, 50, 75, 100, 200, 500, 1000};

class CAuctServReceiveParamsDlg : public CFlgObjectDlg {
 public:
  explicit CAuctServReceiveParamsDlg(CWnd* parent = nullptr);
  ~CAuctServReceiveParamsDlg() override;

  void SetOptions(const AuctSyncOptions& options) { m_options = options; }
  void GetOptions(AuctSyncOptions& options) const;
  // The enable rules of the check boxes and the list.
  void UpdateEnabling();

 protected:
  BOOL OnInitDialog() override;
  void SubclassControls() override;
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

 private:
  AuctSyncOptions m_options;
  HICON m_icon = nullptr;
};

class CAuctServSendParamsDlg : public CFlgObjectDlg {
 public:
  explicit CAuctServSendParamsDlg(CWnd* parent = nullptr);
  ~CAuctServSendParamsDlg() override;

  void SetOptions(const AuctSyncOptions& options) { m_options = options; }
  void GetOptions(AuctSyncOptions& options) const;

 protected:
  BOOL OnInitDialog() override;
  void SubclassControls() override;
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;

 private:
  AuctSyncOptions m_options;
  HICON m_icon = nullptr;
};

}  // namespace lotrix

using lotrix::CAuctServReceiveParamsDlg;
using lotrix::CAuctServSendParamsDlg;
