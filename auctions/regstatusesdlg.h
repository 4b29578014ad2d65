#pragma once
// The account's seller-zone settings: on the account and on the seller-zone service (its page
// configuration, read and written through Vorlen's connector), and the one-time emergency
// receive and send.
#include "auctions/lotrix.h"
#include "shared/objectdlg.h"
#include "zone/vorlen.h"

class CRegStatusesDlg : public CFlgObjectDlg {
 public:
  // `registered`: whether the account has its seller-zone registration id.
  CRegStatusesDlg(bool registered, IHxEditedObject* object, CWnd* parent = nullptr);
  ~CRegStatusesDlg() override;

  // The window heights with and without the advanced section.
  static constexpr int kHeightAdvanced = 448;
  static constexpr int kHeightPlain = 369;

  bool HasConnector() const { return m_connector != nullptr; }
  LONG AccountId() const { return m_accountId; }
  bool AdvancedShown() const { return m_advanced != 0; }
  bool ReceiveRequested() const { return m_receiveAll != 0; }
  bool SendRequested() const { return m_sendAll != 0; }

  void LoadFromServer();
  void ToggleAdvanced();
  void ToggleReceive();
  void ToggleSend();
  void UpdateEnabling();

 protected:
  void OnLoadData(CFlgDataExchange& dx) override;
  void OnSaveData(CFlgDataExchange& dx) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

 private:
  void ApplyAdvanced();
  void SetMarkers();
  void ShowError(HRESULT hr);
  IRegistrationPtr Registration();

  IVorlenConnectorPtr m_connector;
  LONG m_accountId = 0;
  BYTE m_advanced = 0;
  BYTE m_receiveAll = 0;
  BYTE m_sendAll = 0;
  bool m_registered;
};
