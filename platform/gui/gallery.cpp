#include "platform/gui/gallery.h"

#include <algorithm>

#include "platform/strings/strings.h"

namespace platform::gui {
namespace {

std::vector<DialogSample>& Samples() {
  static auto* samples = new std::vector<DialogSample>;
  return *samples;
}

BOOL Collect(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
  if (IS_INTRESOURCE(name)) names->push_back(L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name)));
  else names->push_back(name);
  (void)module;
  return TRUE;
}

}  // namespace

bool RegisterDialogSample(DialogSample sample) {
  Samples().push_back(std::move(sample));
  return true;
}

std::vector<DialogSample> DialogSamples() {
  std::vector<DialogSample> sorted = Samples();
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const DialogSample& a, const DialogSample& b) { return platform::CompareNoCase(a.name, b.name) < 0; });
  return sorted;
}

const DialogSample* FindDialogSample(const std::wstring& name) {
  for (const DialogSample& s : Samples())
    if (platform::CompareNoCase(s.name, name) == 0) return &s;
  return nullptr;
}

std::vector<DialogTemplateEntry> DialogTemplates() {
  std::vector<DialogTemplateEntry> out;
  for (const auto& [module, moduleName] : platform::ResourceModules()) {
    std::vector<std::wstring> names;
    EnumResourceNamesW(module, RT_DIALOG, Collect, reinterpret_cast<LONG_PTR>(&names));
    for (const std::wstring& name : names) {
      DialogTemplateEntry entry;
      entry.module = module;
      entry.moduleName = moduleName;
      entry.name = name;
      LPCWSTR resource = name[0] == L'#' ? MAKEINTRESOURCEW(std::stoi(name.substr(1))) : name.c_str();
      entry.dialog = FindDialogTemplate(module, resource);
      out.push_back(std::move(entry));
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const DialogTemplateEntry& a, const DialogTemplateEntry& b) {
    const int m = platform::CompareNoCase(a.moduleName, b.moduleName);
    return m != 0 ? m < 0 : platform::CompareNoCase(a.name, b.name) < 0;
  });
  return out;
}

}  // namespace platform::gui
