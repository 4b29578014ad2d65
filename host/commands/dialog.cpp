// `vantor dialog` and `vantor dialog NAME FILE`: the dialog templates of the loaded libraries,
// and one dialog (with sample contents when its library gives them) saved as a PNG image.
#include <memory>
#include <sstream>
#include <string>

#include "auctions/lotrix.h"
#include "host/command.h"
#include "platform/gui/gallery.h"
#include "platform/gui/headless.h"
#include "platform/strings/strings.h"

namespace {

using platform::gui::DialogSample;
using platform::gui::DialogTemplateEntry;

bool SameName(const std::wstring& a, const std::wstring& b) { return platform::CompareNoCase(a, b) == 0; }

int List() {
  std::wostringstream out;
  out << L"Szablony okien dialogowych:\n";
  const std::vector<DialogTemplateEntry> templates = platform::gui::DialogTemplates();
  for (const DialogTemplateEntry& t : templates) {
    out << L"  " << t.name << L"  (" << t.moduleName;
    if (t.dialog)
      out << L", " << (t.dialog->units.right - t.dialog->units.left) << L" x "
          << (t.dialog->units.bottom - t.dialog->units.top);
    else
      out << L", szablon uszkodzony";
    out << L")";
    if (const DialogSample* sample = platform::gui::FindDialogSample(t.name)) out << L": " << sample->description;
    out << L"\n";
  }
  if (templates.empty()) out << L"  (brak)\n";
  // Samples of controls and windows that are not dialog templates.
  bool heading = false;
  for (const DialogSample& sample : platform::gui::DialogSamples()) {
    bool isTemplate = false;
    for (const DialogTemplateEntry& t : templates) isTemplate = isTemplate || SameName(t.name, sample.name);
    if (isTemplate) continue;
    if (!heading) out << L"\nKontrolki z przykładową treścią:\n";
    heading = true;
    out << L"  " << sample.name << L"  (" << sample.module << L"): " << sample.description << L"\n";
  }
  out << L"\n`vantor dialog NAZWA PLIK.png` zapisuje okno jako obraz PNG.\n";
  host::Write(stdout, out.str());
  return 0;
}

// The dialog's window: the library's sample, else the bare template.
struct Shown {
  std::unique_ptr<CWnd> sample;
  HWND bare = nullptr;
  HWND Window() const { return sample ? sample->m_hWnd : bare; }
  ~Shown() {
    if (bare && IsWindow(bare)) DestroyWindow(bare);
  }
};

bool Open(const std::wstring& name, Shown& shown) {
  if (const DialogSample* sample = platform::gui::FindDialogSample(name)) {
    if (sample->create) shown.sample = sample->create();
    return shown.sample && shown.sample->m_hWnd;
  }
  for (const DialogTemplateEntry& t : platform::gui::DialogTemplates()) {
    if (!SameName(t.name, name) || !t.dialog) continue;
    LPCWSTR resource = t.name[0] == L'#' ? MAKEINTRESOURCEW(std::stoi(t.name.substr(1))) : t.name.c_str();
    shown.bare = CreateDialogParamW(t.module, resource, nullptr, nullptr, 0);
    if (shown.bare) ShowWindow(shown.bare, SW_SHOW);
    return shown.bare != nullptr;
  }
  return false;
}

bool Known(const std::wstring& name) {
  if (platform::gui::FindDialogSample(name)) return true;
  for (const DialogTemplateEntry& t : platform::gui::DialogTemplates())
    if (SameName(t.name, name)) return true;
  return false;
}

int Render(const std::wstring& name, const std::wstring& file) {
  if (!Known(name)) {
    host::Write(stderr, L"vantor: nie ma okna dialogowego o nazwie " + name + L" (lista: vantor dialog)\n");
    return 2;
  }
  Shown shown;
  if (!Open(name, shown)) {
    host::Write(stderr, L"vantor: nie można utworzyć okna dialogowego " + name + L"\n");
    return 1;
  }
  const platform::gui::Image image = platform::gui::CaptureWindow(shown.Window());
  if (!image.SavePng(file)) {
    host::Write(stderr, L"vantor: nie można zapisać pliku " + file + L"\n");
    return 1;
  }
  host::Write(stdout, L"Zapisano " + name + L" (" + std::to_wstring(image.Width()) + L" x " +
                          std::to_wstring(image.Height()) + L" pikseli) w pliku " + file + L"\n");
  return 0;
}

int Dialog(host::CommandContext& context) {
  // Lotrix's templates and samples are there once the library is loaded: its class object holds
  // it for the command.
  IClassFactory* lotrix = nullptr;
  if (FAILED(CoGetClassObject(CLSID_CoConnectorInfo, CLSCTX_INPROC_SERVER, nullptr, __uuidof(IClassFactory),
                              reinterpret_cast<void**>(&lotrix))))
    lotrix = nullptr;
  const IClassFactoryPtr held(lotrix, false);
  if (context.args.empty()) return List();
  if (context.args.size() != 2) {
    host::Write(stderr, L"vantor: użycie: vantor dialog [NAZWA PLIK.png]\n");
    return 2;
  }
  return Render(host::Widen(context.args[0]), host::Widen(context.args[1]));
}

}  // namespace

VANTOR_COMMAND("dialog",
               L"  dialog             lista szablonów okien dialogowych\n"
               L"  dialog NAZWA PLIK  okno NAZWA z przykładową treścią zapisane jako obraz PNG\n",
               30, Dialog);
