#pragma once
// The dialogs a program can list and render (`vantor dialog`): every dialog template the loaded
// modules keep, and the samples that libraries register for their dialogs, which show a dialog
// with sample contents instead of the bare template.
//
//   VANTOR_DIALOG_SAMPLE(L"IDD_ONE_FIELD_DLG", L"Vantor", L"Jedno pole", [] {
//     return std::unique_ptr<CWnd>(new COneFieldSimpleDlg(...));   // created modeless
//   });
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/gui/dialogs.h"

namespace platform::gui {

struct DialogSample {
  std::wstring name;          // as the template is named ("IDD_ONE_FIELD_DLG", "#108")
  std::wstring module;        // the module keeping the template
  std::wstring description;
  // Makes the dialog's window (modeless, not necessarily visible); the object owns it.
  std::function<std::unique_ptr<CWnd>()> create;
};

bool RegisterDialogSample(DialogSample sample);
// The samples, by name.
std::vector<DialogSample> DialogSamples();
// The sample of that name (without regard to case), or null.
const DialogSample* FindDialogSample(const std::wstring& name);

struct DialogTemplateEntry {
  HMODULE module = nullptr;
  std::wstring moduleName;
  std::wstring name;            // upper-cased text, or "#id"
  const DialogTemplate* dialog = nullptr;   // null when the template is malformed
};
// Every dialog template of every registered module, by module and name.
std::vector<DialogTemplateEntry> DialogTemplates();

}  // namespace platform::gui

#define VANTOR_DIALOG_SAMPLE_CONCAT2(a, b) a##b
#define VANTOR_DIALOG_SAMPLE_CONCAT(a, b) VANTOR_DIALOG_SAMPLE_CONCAT2(a, b)
#define VANTOR_DIALOG_SAMPLE(name, module, description, create)                                          \
  [[maybe_unused]] static const bool VANTOR_DIALOG_SAMPLE_CONCAT(vantor_dialog_sample_, __LINE__) =         \
      ::platform::gui::RegisterDialogSample(::platform::gui::DialogSample{name, module, description, create})
