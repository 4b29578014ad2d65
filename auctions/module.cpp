// Lotrix's module: its resources, the object map and registration, the application object and
// the four exports of an in-process server.
#include "auctions/module.h"
#include "auctions/modulestate.h"

#include <new>

#include "auctions/connectorinfo.h"
#include "auctions/regmanager.h"
#include "auctions/registration.h"
#include "auctions/resdialogs.h"
#include "auctions/site.h"
#include "auctions/sync/auctservmgr.h"
#include "framework/zephra.h"

// Lotrix's resources (string table); its module state carries the application name "Lotrix".
VANTOR_RESOURCE_MODULE(g_lotrixResources, L"Lotrix", platform::ModuleKind::Library,
                       {
                           {102, L"Należy podać nazwę użytkownika zarejestrowanego na serwisie aukcyjnym"},
                           {103, L"Należy podać hasło użytkownika serwisu aukcyjnego"},
                           {105, L"Należy wybrać przynajmniej jeden serwis"},
                           // The parameter synchronisation.
                           {122, L"%ls - aktualizowanie kategorii %d%%"},
                           {147, L"Rozpoczęto sprawdzanie wersji parametrów w serwisach."},
                           {148, L"Rozpoczęto aktualizację wersji parametrów."},
                           {149, L"Parametry wszystkich serwisów są aktualne."},
                           {150, L"Rozpoczęto synchronizację parametrów z serwisów aukcyjnych"},
                           {151, L"Konto kd_demo jest pomijane przy synchronizacji parametrów."},
                           {152, L"Sprawdzenie wersji parametrów na serwisie %ls"},
                           {153, L"Aktualizacja parametrów z serwisu %ls"},
                           {154, L"%ls - pobieranie kategorii"},
                           {155, L"%ls - aktualizowanie kategorii"},
                           {156, L"%ls - zakończono pobieranie i aktualizowanie kategorii"},
                           {158, L"%ls - pobieranie i aktualizowanie słowników formularza"},
                           {159, L"W trakcie ostatniej operacji wystąpił błąd\r\n%s"},
                           {160, L"%ls - zakończono pobieranie i aktualizowanie słowników formularza"},
                           {161, L"%ls - pobieranie atrybutów"},
                           {162, L"%ls - aktualizowanie atrybutów"},
                           {163, L"%ls - zakończono pobieranie i aktualizowanie atrybutów"},
                           {164, L"Zakończono sprawdzanie wersji parametrów."},
                           {165, L"Zakończono aktualizację parametrów."},
                           // The steps of an account's update, each line of the log telling its step.
                           {166, L"\nNie udało się wczytać danych konta "},
                           {167, L"\nNie udało się przygotować konta do  zmian "},
                           {168, L"\nNie udało się poprawić konta "},
                           {169, L"\nNie udało się sprawdzić poprawności danych konta "},
                           {170, L"\nNie udało się zapisać danych konta "},
                           {171, L"W trakcie aktualizacji parametrów specyficznych dla konta w serwisie wystąpił błąd. "},
                           {172, L"Przy próbie aktualizacji parametrów specyficznych dla kont w serwisie wystąpił błąd. "},
                           // Receiving the accounts' data and storing what arrives.
                           {126, L"Pobieranie danych z konta %ls na %ls"},
                           {127, L"pobieranie transakcji"},
                           {128, L"pobieranie transakcji zakończone"},
                           {129, L"Odebrano aukcję nr %ls"},
                           {130, L"Nie powiodło się wyszukanie aukcji"},
                           {131, L"Zapisanie danych aukcji %ls nie powiodło się."},
                           {132, L"Zapisanie obrazów do aukcji %ls nie powiodło się."},
                           {133, L"Zapisanie aukcji %ls nie powiodło się."},
                           {134, L"Odebrano transakcję dla użytkownika %ls do aukcji nr %ls"},
                           {135, L"Nie udało się wyszukać transakcji do aukcji nr %ls dla klienta %ls (%ld)"},
                           {136, L"Nie udało się przeanalizować transakcji do aukcji nr %ls dla klienta %ls (%ld)"},
                           {137, L"Nie znaleziono aukcji nr %ls i nie można zapisać transakcji dla klienta %ls (%ld)"},
                           {138, L"Nie udało się dodać transakcji do aukcji nr %ls dla klienta %ls (%ld)"},
                           {139, L"Transakcja do aukcji nr %ls.\r\nUżytkownik %ls (%ld) nie podał danych adresowych, "
                                 L"więc możliwy jest tylko odbiór osobisty."},
                           {140, L"Odebrano klienta %ls (%ld)"},
                           {141, L"Wczytanie danych klienta %ls (%ld) nie powiodło się"},
                           {142, L"Nie udało się zapisać danych klienta %ls (%ld)"},
                           {143, L"Odebrano komentarz od %ls do aukcji nr %ls"},
                           {144, L"Nie udało się zapisać komentarza do aukcji nr %ls.\r\n"},
                           {145, L"(nieznany)"},
                           {146, L"Nie udało się zapisać komentarza do aukcji nr %ls.\r\nNie istnieje transakcja dla "
                                 L"użytkownika %ls (%I64d)"},
                           {157, L"Odnaleziono klienta o nazwie '%ls' z tego samego serwisu aukcyjnego wpisanego "
                                 L"ręcznie.\r\nJego dane zostały zaktualizowane. Poprzednie dane to: %ls"},
                           // Sending the accounts' prepared auctions and comments.
                           {178, L"Wysyłanie danych na konto %ls na %ls"},
                           {179, L"Brak uprawnień do wystawiania aukcji"},
                           {180, L"Brak uprawnień do wysyłania aukcji na konto %1 na %2"},
                           {181, L"wysyłanie aukcji"},
                           {182, L"wysyłanie aukcji zakończone"},
                           {220, L"Brak uprawnień do wystawiania komentarzy"},
                           {221, L"Brak uprawnień do wysyłania komentarzy na rzecz konta %1 na %2"},
                           {226, L"wysyłanie komentarzy"},
                           {227, L"wysyłanie komentarzy zakończone"},
                           {222, L"pobieranie aukcji"},
                           {223, L"pobieranie aukcji zakończone"},
                           {224, L"pobieranie komentarzy"},
                           {225, L"pobieranie komentarzy zakończone"},
                           // The example account's sample values.
                           {200, L"przykladowy_sprzedawca"},
                           {201, L"Jan Przykładowy"},
                           {202, L"Sklep Przykładowy"},
                           {203, L"about:aukcje-konta-przykladowy_sprzedawca"},
                           {204, L"about:strona-konta-przykladowy_sprzedawca"},
                           // The account manager and its dialogs.
                           {106, L"Czy na pewno usunąć informacje rejestracyjne użytkownika serwisu aukcyjnego?"},
                           {107, L"Usuwanie konta"},
                           {108, L"Nie można usunąć wskazanego konta."},
                           {114, L"Czy na pewno aktywować wybrane konto? Aktywacja dotyczy tylko pracy Vantor z "
                                 L"wybranym kontem, a nie aktywności konta w serwisie aukcyjnym."},
                           {115, L"Dezaktywowanie konta spowoduje, że nie będzie możliwa obsługa w tej bazie danych "
                                 L"Vantor aukcji i transakcji związanych z tym kontem.\nCzy na pewno dezaktywować "
                                 L"wybrane konto?"},
                           {116, L"Dezaktywowane konto ma przypisany adres email %ls (%ls).\nJest on używany tylko "
                                 L"przez to konto.\n\nCzy zablokować ten adres, aby wiadomości z niego nie były "
                                 L"obsługiwane przez Vantor?"},
                           {117, L"Aktywowane konto ma przypisany zablokowany adres email %ls (%ls).\nCzy odblokować "
                                 L"go, aby Vantor obsługiwało wiadomości z tego adresu?"},
                           {187, L"Błąd"},
                           {194, L"Wystąpił błąd:\n%s"},
                           {205, L"Podany adres nie jest poprawny. Wprowadź adres zaczynający się od http:// lub https://"},
                           {206, L"Zapisywanie ustawień na serwerze."},
                           {207, L"Pobieranie ustawień z serwera."},
                           {209, L"Dodanie konta"},
                           {210, L"Wystąpił błąd przy próbie połączenia z serwisem aukcyjnym."},
                           {211, L"Nadanie uprawnień użytkownikowi Szef..."},
                           {212, L"Nie powiodło się nadawanie uprawnień do nowego konta użytkownikowi Szef.\nByć może "
                                 L"ktoś w tej chwili poprawia dane tego użytkownika."},
                           {253, L"Nazwa konta"},
                           {254, L"Serwis"},
                           {255, L"Konto aktywne"},
                           {256, L"A"},
                           {262, L"Identyfikator"},
                           {263, L"Konto posiada sklep"},
                           {264, L"Sklep"},
                           // The auction services manager: its walk, errors, rights and lock.
                           {123, L"Nieokreślony błąd."},
                           {124, L"Błąd %ld (%lX)"},
                           {125, L"Ostatnia operacja nie powiodła się."},
                           {173, L"Dane z konta kd_demo nie są przetwarzane."},
                           {174, L"Nie udało się uzyskać informacji o stronie, na której handluje użytkownik %ls "
                                 L"serwisu %ls"},
                           {175, L"Nie udało się wczytać informacji o koncie %ls z %ls"},
                           {176, L"Nie udało się wczytać informacji o rodzaju konta %ls z %ls"},
                           {177, L"Nie udało się utworzyć obiektu do obsługi konta %ls z %ls"},
                           {218, L"Brak uprawnień do pobierania aukcji"},
                           {219, L"Brak uprawnień do pobierania danych dla konta %1 na %2"},
                           {265, L"Aktualnie trwa synchronizacja z serwisem aukcyjnym na innej stacji roboczej."},
                           {266, L"Szczegóły:"},
                       },
                       {
                           {RT_DIALOG, MAKEINTRESOURCEW(101), kRegManagerDlgScript, sizeof kRegManagerDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(106), kRegStatusesDlgScript, sizeof kRegStatusesDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(108), kAuctServReceiveParamsDlgScript,
                            sizeof kAuctServReceiveParamsDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(109), kAuctServSendParamsDlgScript,
                            sizeof kAuctServSendParamsDlgScript - 1},
                       });

namespace {

using platform::com::ServerClass;

// A data object of the class, made by the framework's object wrapper in Lotrix's module state;
// nothing aggregates Lotrix's objects.
template <class T>
HRESULT CreateFlgObject(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  AFX_MANAGE_STATE(g_lotrixResources.State());
  return platform::com::Boundary([&] { return CFlgComObject<T>::Create(iid, out); });
}

// The classes of the type library, in its order. CoLotrixSync is declared there and never served.
const ServerClass kObjectMap[] = {
    {&CLSID_CoRegistration, L"CoRegistration Class", L"Vantor.CoRegistration.1", L"Vantor.CoRegistration", nullptr,
     &CreateFlgObject<CCoRegistration>, true},
    {&CLSID_CoSite, L"CoSite Class", L"Vantor.CoSite.1", L"Vantor.CoSite", nullptr, &CreateFlgObject<CCoSite>, false},
    {&CLSID_CoConnectorInfo, L"CoConnectorInfo Class", L"Vantor.CoConnectorInfo.1", L"Vantor.CoConnectorInfo",
     nullptr, &platform::com::CreateServerObject<CCoConnectorInfo>, false},
    {&CLSID_CoRegManager, L"CoRegManager Class", L"Vantor.RegManager.1", L"Vantor.RegManager", nullptr,
     &CreateFlgObject<CCoRegManager>, true},
    {&CLSID_CoRegistrationExampleData, L"CoRegistrationExampleData Class", L"Vantor.RegistrationExampleData.1",
     L"Vantor.RegistrationExampleData", nullptr, &CreateFlgObject<CCoRegistrationExampleData>, true},
    {&CLSID_CoAuctServMgr, L"CoAuctServMgr Class", L"Vantor.AuctServMgr.1", L"Vantor.AuctServMgr", nullptr,
     &CreateFlgObject<CCoAuctServMgr>, true},
};

const platform::com::ServerInfo kServer = {
    &APPID_Lotrix, L"Lotrix", L"Lotrix.DLL", &LIBID_LotrixLib, L"1.0", L"Lotrix 1.0 Type Library",
};

CLotrixModule g_module;

// The application object lives while the library is loaded; a start that fails closes the
// object map.
CHxLibraryApp<CLotrixApp> g_app(g_lotrixResources.State(), [] { g_module.Term(); });

}  // namespace

CLotrixModule& LotrixModule() { return g_module; }

// ---------------------------------------------------------------------------------------------
// CLotrixApp

CLotrixApp::CLotrixApp() : CHxSvcApp(nullptr) {}

void CLotrixApp::RegisterClassFactories() { g_module.Init(m_hInstance); }

int CLotrixApp::ExitInstance() {
  g_module.Term();
  return CHxSvcApp::ExitInstance();
}

// ---------------------------------------------------------------------------------------------
// CLotrixModule

const ServerClass* CLotrixModule::ObjectMap() { return kObjectMap; }
std::size_t CLotrixModule::ObjectMapSize() { return std::size(kObjectMap); }
const platform::com::ServerInfo& CLotrixModule::ServerRegistration() { return kServer; }

void CLotrixModule::Init(HINSTANCE instance) { m_instance = instance; }
void CLotrixModule::Term() { m_instance = nullptr; }

HINSTANCE CLotrixModule::GetModuleInstance() const { return g_lotrixResources.Handle(); }
AFX_MODULE_STATE* CLotrixModule::State() const { return lotrix::ModuleState(); }
CLotrixApp* CLotrixModule::App() const { return g_app.Get(); }

void CLotrixModule::Lock() { lotrix::LockModule(); }
void CLotrixModule::Unlock() { lotrix::UnlockModule(); }
LONG CLotrixModule::GetLockCount() const { return static_cast<LONG>(platform::com::g_thisModuleLocks.Count()); }

HRESULT CLotrixModule::GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  // A library whose initialisation failed serves nothing.
  if (!IsInitialized()) return CO_E_ERRORINDLL;
  return platform::com::ServerGetClassObject(kObjectMap, std::size(kObjectMap), &platform::com::g_thisModuleLocks,
                                             clsid, iid, ppv);
}

HRESULT CLotrixModule::CanUnloadNow() const { return GetLockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CLotrixModule::RegisterServer() {
  const std::wstring path = platform::com::ModulePathOf(reinterpret_cast<const void*>(&LotrixModule));
  if (path.empty()) return SELFREG_E_CLASS;
  return platform::com::RegisterServerClasses(path, kObjectMap, std::size(kObjectMap), &kServer);
}

HRESULT CLotrixModule::UnregisterServer() {
  return platform::com::UnregisterServerClasses(kObjectMap, std::size(kObjectMap), &kServer);
}

// ---------------------------------------------------------------------------------------------
// The exports of an in-process server.

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return g_module.GetClassObject(rclsid, riid, ppv);
}

extern "C" HRESULT DllCanUnloadNow() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return g_module.CanUnloadNow();
}

extern "C" HRESULT DllRegisterServer() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return g_module.RegisterServer();
}

extern "C" HRESULT DllUnregisterServer() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  return g_module.UnregisterServer();
}
