// Lotrix's application object, linked: its start-up and clean-up, settings key, message box and
// resource chain.
#include <gtest/gtest.h>

#include "auctions/module.h"
#include "framework/zephra.h"
#include "platform/gui/headless.h"
#include "platform/registry/registry.h"
#include "shared/resstrings.h"
#include "testing/host_doubles/host_doubles.h"

namespace {

// Puts `instance` into the Global Interface Table as the host does; takes it out at the end.
class GlobalInstance {
 public:
  explicit GlobalInstance(IFlgInstance* instance) {
    EXPECT_EQ(m_table.CreateInstance(CLSID_StdGlobalInterfaceTable), S_OK);
    EXPECT_EQ(m_table->RegisterInterfaceInGlobal(instance, __uuidof(IFlgInstance), &m_cookie), S_OK);
    ZphGetProcessState()->m_dwFlgInstanceCookie = m_cookie;
  }
  ~GlobalInstance() {
    ZphGetProcessState()->m_dwFlgInstanceCookie = 0;
    m_table->RevokeInterfaceFromGlobal(m_cookie);
  }

 private:
  IGlobalInterfaceTablePtr m_table;
  DWORD m_cookie = 0;
};

// A host instance whose query for the caption interface fails with `hr`.
class RefusingInstance final : public IFlgInstance {
 public:
  explicit RefusingInstance(HRESULT hr) : m_hr(hr) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IFlgInstance)) {
      *out = static_cast<IFlgInstance*>(this);
      return S_OK;
    }
    return iid == __uuidof(IHxAppCaption) ? m_hr : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP RefreshObjectType(REFGUID, LONG, VARIANT) override { return E_NOTIMPL; }
  STDMETHODIMP GetObjectByNumber(LONG, IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP CheckRight(LONG, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP CheckRightText(LONG, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP ShowRightRefused(LONG, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP ShowMessage(BSTR, BSTR, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP GetMainWindow(IUnknown**) override { return E_NOTIMPL; }
  STDMETHODIMP GetSetting(BSTR, BSTR, VARIANT*) override { return E_NOTIMPL; }
  STDMETHODIMP PutSetting(BSTR, BSTR, VARIANT) override { return E_NOTIMPL; }

 private:
  HRESULT m_hr;
};

class LotrixApp : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::registry::UseMemoryStore();
    platform::gui::SetEcho(false);
    platform::gui::ClearRecords();
  }
  void TearDown() override { platform::gui::ResetHeadless(); }
  // The box that one DoMessageBox of the application showed, inside Lotrix's module state.
  platform::gui::MessageBoxCall Box(UINT type, bool inLotrixState = true) {
    platform::gui::ClearRecords();
    {
      AFX_MANAGE_STATE(inLotrixState ? LotrixModule().State() : nullptr);
      LotrixModule().App()->DoMessageBox(L"Czy na pewno?", type, 0);
    }
    auto boxes = platform::gui::MessageBoxes();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? platform::gui::MessageBoxCall{} : boxes.back();
  }
};

TEST_F(LotrixApp, StartsInItsModuleStateAndEndsInTheFrameworksOrder) {
  ASSERT_NE(LotrixModule().App(), nullptr);
  const std::vector<std::wstring> started = {L"InitCtrlsDll Lotrix", L"InitGrid Lotrix"};
  EXPECT_EQ(zephra::HookSuppCalls(), started);
  IUnknown* factory = nullptr;
  EXPECT_EQ(LotrixModule().GetClassObject(CLSID_CoLotrixSync, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  {
    AFX_MANAGE_STATE(LotrixModule().State());
    EXPECT_EQ(AfxGetApp(), LotrixModule().App());
    EXPECT_STREQ(AfxGetApp()->m_pszAppName, L"Lotrix");
    EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleW(L"Lotrix"));
    // Ending closes the object map after the grid; starting again opens it.
    LotrixModule().App()->ExitInstance();
    EXPECT_EQ(zephra::HookSuppCalls().back(), L"TerminateGrid Lotrix");
    EXPECT_EQ(LotrixModule().GetClassObject(CLSID_CoSite, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)),
              CO_E_ERRORINDLL);
    EXPECT_TRUE(LotrixModule().App()->InitInstance());
  }
  ASSERT_EQ(LotrixModule().GetClassObject(CLSID_CoSite, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->Release();
  EXPECT_EQ(zephra::HookSuppCalls().size(), 5u);
  EXPECT_EQ(LotrixModule().GetLockCount(), 0);
  EXPECT_EQ(LotrixModule().CanUnloadNow(), S_OK);
  LotrixModule().Lock();
  EXPECT_EQ(LotrixModule().CanUnloadNow(), S_FALSE);
  LotrixModule().Unlock();
}

TEST_F(LotrixApp, SettingsLiveUnderTheProductKeyAndVersion) {
  AFX_MANAGE_STATE(LotrixModule().State());
  CWinApp* app = AfxGetApp();
  EXPECT_STREQ(app->m_pszRegistryKey, L"Kordel\\Vantor");
  EXPECT_STREQ(app->m_pszProfileName, L"Lotrix\\1.0");
  ASSERT_TRUE(app->WriteProfileInt(L"StrefaVantor", L"Timeout", 30));
  DWORD value = 0, cb = sizeof value;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Kordel\\Vantor\\Lotrix\\1.0\\StrefaVantor", L"Timeout",
                         RRF_RT_REG_DWORD, nullptr, &value, &cb),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 30u);
  EXPECT_EQ(app->GetProfileInt(L"StrefaVantor", L"Timeout", 0), 30u);
}

TEST_F(LotrixApp, VantorStringsAreFoundInLotrixModuleState) {
  AFX_MANAGE_STATE(LotrixModule().State());
  EXPECT_STREQ(CHxResString(1014), L"opłacona");
  EXPECT_STREQ(CHxResString(104), L"zbiorczo");
  // Lotrix's own strings come first.
  EXPECT_STREQ(CHxResString(106), L"Czy na pewno usunąć informacje rejestracyjne użytkownika serwisu aukcyjnego?");
  // Joining again adds no second link.
  CHxHookProc::InitCtrlsDll();
  int links = 0;
  for (CDynLinkLibrary* link : AfxGetModuleState()->m_libraryList)
    if (link->m_hResource == hxVantorModule()) ++links;
  EXPECT_EQ(links, 1);
}

TEST_F(LotrixApp, MessageBoxAddsTheExclamationWhereNoIconIsGiven) {
  EXPECT_EQ(Box(MB_YESNO).type, MB_YESNO | MB_ICONEXCLAMATION);
  EXPECT_EQ(Box(MB_OK).type, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(Box(MB_OKCANCEL | MB_DEFBUTTON2).type, MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION);
  EXPECT_EQ(Box(MB_YESNOCANCEL).type, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
  EXPECT_EQ(Box(MB_ABORTRETRYIGNORE).type, MB_ABORTRETRYIGNORE);
  EXPECT_EQ(Box(MB_RETRYCANCEL).type, MB_RETRYCANCEL);
  EXPECT_EQ(Box(MB_YESNO | MB_ICONINFORMATION).type, MB_YESNO | MB_ICONINFORMATION);
  EXPECT_EQ(Box(MB_OK | MB_ICONHAND).type, MB_OK | MB_ICONHAND);
  EXPECT_EQ(Box(MB_YESNO | MB_ICONQUESTION).type, MB_YESNO | MB_ICONQUESTION);
  // The answer is the box's.
  platform::gui::QueueMessageBoxAnswer(IDNO);
  AFX_MANAGE_STATE(LotrixModule().State());
  EXPECT_EQ(AfxMessageBox(L"Usunąć?", MB_YESNO), IDNO);
}

TEST_F(LotrixApp, CaptionIsTheHostsOrTheApplicationsName) {
  // No instance in the Global Interface Table: the application's name.
  EXPECT_EQ(Box(MB_OK).caption, L"Lotrix");
  {
    doubles::HostDoubles host;
    host.instance->caption = L"Vantor – sklep";
    GlobalInstance global(host.instancePtr);
    EXPECT_EQ(Box(MB_OK).caption, L"Vantor – sklep");
    EXPECT_EQ(host.recorder->ArgsOf(L"IHxAppCaption::GetCaption"), std::vector<std::wstring>{L"0"});
    // A host without the caption interface: the application's name again.
    host.instance->hidden.insert(L"IHxAppCaption");
    EXPECT_EQ(Box(MB_OK).caption, L"Lotrix");
  }
  // Without an application object in the current state: the executable's path.
  const std::wstring caption = Box(MB_OK, false).caption;
  EXPECT_NE(caption.find(L"lotrix_test"), std::wstring::npos) << caption;
  EXPECT_EQ(caption.front(), L'/');
}

TEST_F(LotrixApp, FailedCaptionQueryOtherThanNoInterfaceRaises) {
  RefusingInstance refusing(E_ACCESSDENIED);
  GlobalInstance global(&refusing);
  AFX_MANAGE_STATE(LotrixModule().State());
  try {
    LotrixModule().App()->DoMessageBox(L"x", MB_OK, 0);
    FAIL() << "no exception";
  } catch (const _com_error& e) {
    EXPECT_EQ(e.Error(), E_ACCESSDENIED);
  }
  EXPECT_TRUE(platform::gui::MessageBoxes().empty());
}

}  // namespace
