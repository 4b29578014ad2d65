#pragma once
// A template plug-in of an auction-service provider, registered in this process under a ProgID:
// its objects answer the data object (IFlgItem) and its view (IFlgItemView), record slot 5 of
// both ("Template::Load" with the id, "Template::ShowReadOnly" with the owner window's handle and
// whether an instance came) and fail on demand through the recorder.
#include <memory>
#include <string>

#include "framework/comobject.h"
#include "testing/host_doubles/host_doubles.h"

namespace doubles {

// {6F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}
inline constexpr GUID CLSID_FakeTemplate = {0x6F1A2B3C, 0x4D5E, 0x4F60, {0x81, 0x72, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8}};

struct TemplatePluginOptions {
  bool withoutItem = false;   // the object does not answer IFlgItem
  bool withoutView = false;   // nor IFlgItemView
};

class TemplatePlugin {
 public:
  // Registers the class and the ProgID `progId` (in the registry store in use; tests use the
  // memory store). Both go with the object.
  TemplatePlugin(std::shared_ptr<Recorder> recorder, std::wstring progId);
  ~TemplatePlugin();
  TemplatePlugin(const TemplatePlugin&) = delete;
  TemplatePlugin& operator=(const TemplatePlugin&) = delete;

  std::shared_ptr<TemplatePluginOptions> options = std::make_shared<TemplatePluginOptions>();

 private:
  std::wstring m_progId;
  CFlgClassRegistration m_class;
};

}  // namespace doubles
