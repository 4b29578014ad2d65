#include "shared/resstrings.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/strings/convert.h"
#include "shared/resdialogs.h"

// Vantor's resources: its string table and its dialog templates. Loading the library also joins it to the chain of
// extension libraries of the module state that is current at that moment (the host's).
VANTOR_RESOURCE_MODULE(g_vantorModule, L"Vantor", platform::ModuleKind::Library,
                       {
                           {104, L"zbiorczo"},
                           {105, L"z możliwością edycji"},
                           {106, L"Przerwano wysyłanie/odbieranie"},
                           {1000, L"Odbiór osobisty"},
                           {1002, L"Wszystkie towary do 1 paczki"},
                           {1003, L"Każda sztuka do osobnej paczki"},
                           {1004, L"Nie uwzględniaj przy operacjach zbiorczych i automatycznych"},
                           {1005, L"(nieokreślono)"},
                           {1006, L"naliczenie"},
                           {1007, L"odliczenie"},
                           {1008, L"suma kosztów poszczególnych transakcji"},
                           {1009, L"koszt najwyższy"},
                           {1010, L"w trakcie realizacji"},
                           {1011, L"zakończona"},
                           {1012, L"anulowana"},
                           {1013, L"Transakcja"},
                           {1014, L"opłacona"},
                           {1015, L"Wszystkie towary w paczkach"},
                           {1016, L"Nie wszystkie towary w paczkach"},
                           {1017, L"nieopłacona"},
                           {1018, L"Wszystkie towary dostarczone"},
                           {1019, L"Nie wszystkie towary dostarczone"},
                           {1020, L"w nieznanym stanie"},
                           {1021, L"Za pobraniem"},
                           {1022, L"Płatne z góry "},
                           {1023, L"Czy na pewno usunąć wybraną pozycję?"},
                           {1024, L"Pozytywny"},
                           {1025, L"Neutralny"},
                           {1026, L"Negatywny"},
                           {1027, L"nowa"},
                           {1028, L"(dowolny)"},
                           {1029, L"Dowolna wysyłka"},
                           {1030, L"nie synchronizuj automatycznie"},
                           {1031, L"tylko odbieraj"},
                           {1032, L"wysyłaj i odbieraj"},
                           {1033, L"Do zatwierdzenia"},
                           {1034, L"Zmieniona (niezaufana)"},
                       },
                       {
                           {RT_DIALOG, L"IDD_ONE_FIELD_DLG", kOneFieldDlgScript, sizeof kOneFieldDlgScript - 1},
                           {RT_DIALOG, L"IDD_ONE_BIG_FIELD_DLG", kOneBigFieldDlgScript, sizeof kOneBigFieldDlgScript - 1},
                           {RT_DIALOG, L"IDD_STD_PLEASE_WAIT", kStdPleaseWaitScript, sizeof kStdPleaseWaitScript - 1},
                           {RT_DIALOG, L"IDD_HTML_INNER_BROWSER", kHtmlInnerBrowserScript,
                            sizeof kHtmlInnerBrowserScript - 1},
                           {RT_DIALOG, L"IDD_DRUK_DLG", kDrukDlgScript, sizeof kDrukDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(1003), kAddressDlgScript, sizeof kAddressDlgScript - 1},
                           {RT_DIALOG, L"IDD_BMP_VIEW", kBmpViewScript, sizeof kBmpViewScript - 1},
                           {RT_DIALOG, L"IDD_SUMMARY_DLG", kSummaryDlgScript, sizeof kSummaryDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(13019), kProgressDlgScript, sizeof kProgressDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(1004), kZmianaWalutyDlgScript,
                            sizeof kZmianaWalutyDlgScript - 1},
                           {RT_DIALOG, MAKEINTRESOURCEW(13030), kSzablonAukcjiWyborDlgScript,
                            sizeof kSzablonAukcjiWyborDlgScript - 1},
                       });

namespace {

struct ExtensionLink {
  AFX_EXTENSION_MODULE module;
  CDynLinkLibrary* library = nullptr;
  // Links made later into the states of regular libraries (CHxHookProc::InitCtrlsDll).
  std::vector<std::unique_ptr<CDynLinkLibrary>> joined;
  ExtensionLink() {
    if (AfxInitExtensionModule(module, g_vantorModule.Handle())) library = new CDynLinkLibrary(module);
  }
  ~ExtensionLink() {
    joined.clear();
    delete library;
    AfxTermExtensionModule(module);
  }
};
ExtensionLink g_extensionLink;
std::mutex g_joinMutex;

const UINT kWordIds[] = {1014, 1017, 1013, 1027, 1012, 1011, 1010, 1020, 1033, 1034, 1015, 1016, 1018,
                         1019, 1021, 1022, 1024, 1025, 1026, 1000, 1028, 1029, 1030, 1031, 1032, 106};

CString Load(HINSTANCE module, UINT id) {
  std::wstring text;
  if (!platform::LoadResourceString(module, id, text)) return CString();
  return CString(text.c_str());
}

// The entry `id` of the string table of `module`, walked as stored: a 16-bit length followed by
// that many UTF-16 units per entry, 16 entries a block. Null for a missing or empty entry.
BSTR LoadEntry(HINSTANCE module, UINT id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
  const size_t size = SizeofResource(module, found);
  if (!bytes) return nullptr;
  size_t pos = 0;
  auto unitAt = [&](size_t at) {
    std::uint16_t unit;
    std::memcpy(&unit, bytes + at, 2);
    return unit;
  };
  for (UINT skip = id % 16; skip > 0; --skip) {
    if (pos + 2 > size) return nullptr;
    pos += 2 + 2 * static_cast<size_t>(unitAt(pos));
  }
  if (pos + 2 > size) return nullptr;
  const size_t length = unitAt(pos);
  pos += 2;
  if (length == 0 || pos + 2 * length > size) return nullptr;
  std::vector<std::uint16_t> units(length);
  std::memcpy(units.data(), bytes + pos, 2 * length);
  const std::wstring text = platform::Utf16ToWide(units.data(), length);
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

BSTR Copy(BSTR source) {
  if (!source) return nullptr;
  BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(source), SysStringByteLen(source));
  if (!copy) _com_issue_error(E_OUTOFMEMORY);
  return copy;
}

}  // namespace

HINSTANCE hxVantorModule() { return g_vantorModule.Handle(); }

void CHxHookProc::InitCtrlsDll() {
  AFX_MODULE_STATE* state = AfxGetModuleState();
  std::lock_guard<std::mutex> lock(g_joinMutex);
  for (CDynLinkLibrary* link : state->m_libraryList)
    if (link->m_hResource == g_vantorModule.Handle()) return;
  g_extensionLink.joined.push_back(std::make_unique<CDynLinkLibrary>(g_extensionLink.module));
}

CHxResString::CHxResString(UINT id) : m_text(Load(nullptr, id)) {}

CHxResBSTR::CHxResBSTR(UINT id) : m_bstr(LoadEntry(AfxGetResourceHandle(), id)) {}

CHxResBSTR::CHxResBSTR(const CHxResBSTR& other) : m_bstr(Copy(other.m_bstr)) {}

CHxResBSTR& CHxResBSTR::operator=(const CHxResBSTR& other) {
  if (this != &other) {
    BSTR copy = Copy(other.m_bstr);
    SysFreeString(m_bstr);
    m_bstr = copy;
  }
  return *this;
}

CHxResBSTR::~CHxResBSTR() { SysFreeString(m_bstr); }

CHxResBSTR::operator _bstr_t() const { return _bstr_t(m_bstr, true); }

UINT CHxString::IdOf(int which) {
  if (which < 0 || which >= static_cast<int>(sizeof(kWordIds) / sizeof(kWordIds[0]))) return 0;
  return kWordIds[which];
}

CHxString::CHxString(HxString which) {
  const UINT id = IdOf(static_cast<int>(which));
  if (id != 0) m_text = Load(g_vantorModule.Handle(), id);
}

void hxLoadString(CString& out, UINT id) { out = Load(g_vantorModule.Handle(), id); }

CString hxLoadString(UINT id) { return Load(nullptr, id); }
