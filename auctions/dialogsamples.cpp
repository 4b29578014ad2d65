// Lotrix's dialogs for the program's dialog lister and renderer, each shown as the library shows
// it, initialised over the current database: the account list with the database's accounts, the
// seller-zone settings of the host's selected account (else the first one), and the run dialogs
// with the stored options of the program parameters.
#include <memory>

#include "auctions/modulestate.h"
#include "auctions/registration.h"
#include "auctions/regmanagerdlg.h"
#include "auctions/regstatusesdlg.h"
#include "auctions/sync/syncparamsdlg.h"
#include "platform/gui/gallery.h"
#include "shared/hxinstance.h"
#include "shared/objtools.h"

namespace {

// Creates the dialog modeless on its template and shows it; null when it cannot be made.
template <class Dialog>
std::unique_ptr<CWnd> Shown(std::unique_ptr<Dialog> dialog, UINT templateId) {
  if (!dialog || !dialog->Create(templateId)) return nullptr;
  dialog->ShowWindow(SW_SHOW);
  return dialog;
}

std::unique_ptr<CWnd> AccountList() {
  AFX_MANAGE_STATE(lotrix::ModuleState());
  IRegManagerPtr manager;
  if (FAILED(manager.CreateInstance(CLSID_CoRegManager))) return nullptr;
  return Shown(std::make_unique<CRegManagerDlg>(manager), kIddRegManager);
}

// The account's settings dialog keeps the account object (opened for editing, never saved) for
// its window's life.
class AccountSettings : public CRegStatusesDlg {
 public:
  AccountSettings(IFlgItemPtr item, CCoRegistration* account)
      : CRegStatusesDlg(account->ZoneRegistered(), account), m_item(std::move(item)) {}
  ~AccountSettings() override {
    if (m_hWnd) DestroyWindow();
  }

 private:
  IFlgItemPtr m_item;
};

// The host's selected account, else the first account of the database; 0 when there is none.
LONG ShownAccount() {
  if (const LONG selected = lotrix::SelectedAccount(); selected > 0) return selected;
  try {
    _RecordsetPtr rs = CHxInstance::GetConnection()->Execute(
        _bstr_t(L"SELECT MIN(reg_Id) FROM reg__Registration"), nullptr, adCmdText);
    const _variant_t id = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (id.vt != VT_NULL && id.vt != VT_EMPTY) return static_cast<LONG>(id);
  } catch (const _com_error&) {
  }
  return 0;
}

std::unique_ptr<CWnd> AccountZoneSettings() {
  AFX_MANAGE_STATE(lotrix::ModuleState());
  const LONG id = ShownAccount();
  if (id <= 0) return nullptr;
  try {
    IFlgItemPtr item = CHxObjTools::Fetch(CLSID_CoRegistration, id, CHxObjTools::omEdit);
    CLSID type = GUID_NULL;
    if (!item || FAILED(item->GetClassID(&type)) || type != CLSID_CoRegistration) return nullptr;
    // The account object is Lotrix's own (made in process by its class id).
    auto* account = static_cast<CCoRegistration*>(static_cast<CComFlgObject*>(static_cast<IFlgItem*>(item)));
    return Shown(std::make_unique<AccountSettings>(item, account), kIddRegStatuses);
  } catch (const _com_error&) {
    return nullptr;
  }
}

template <class Dialog>
std::unique_ptr<CWnd> RunOptions(UINT templateId) {
  AFX_MANAGE_STATE(lotrix::ModuleState());
  lotrix::AuctSyncOptions options;
  options.Load();
  auto dialog = std::make_unique<Dialog>();
  dialog->SetOptions(options);
  return Shown(std::move(dialog), templateId);
}

}  // namespace

VANTOR_DIALOG_SAMPLE(L"#101", L"Lotrix", L"konta serwisów aukcyjnych bazy (CRegManagerDlg)", AccountList);

VANTOR_DIALOG_SAMPLE(L"#106", L"Lotrix",
                     L"ustawienia Strefy Vantor konta --account N albo pierwszego konta bazy (CRegStatusesDlg)",
                     AccountZoneSettings);

VANTOR_DIALOG_SAMPLE(L"#108", L"Lotrix", L"opcje odbierania danych z serwisu aukcyjnego, zapisane w parametrach (CAuctServReceiveParamsDlg)", [] {
  return RunOptions<CAuctServReceiveParamsDlg>(lotrix::kIddAuctServReceiveParams);
});

VANTOR_DIALOG_SAMPLE(L"#109", L"Lotrix", L"opcje wysyłania danych na serwis aukcyjny, zapisane w parametrach (CAuctServSendParamsDlg)", [] {
  return RunOptions<CAuctServSendParamsDlg>(lotrix::kIddAuctServSendParams);
});
