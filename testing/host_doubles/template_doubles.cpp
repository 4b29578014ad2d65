#include "testing/host_doubles/template_doubles.h"

#include "platform/registry/registry.h"

namespace doubles {

namespace {

std::wstring IdText(const VARIANT& id) {
  _variant_t text;
  if (FAILED(VariantChangeType(&text, &id, 0, VT_BSTR))) return L"?";
  return std::wstring(id.vt == VT_I4 ? L"I4:" : L"?:") + (text.bstrVal ? text.bstrVal : L"");
}

class FakeTemplate : public IFlgItem, public IFlgItemView {
 public:
  FakeTemplate(std::shared_ptr<Recorder> recorder, std::shared_ptr<TemplatePluginOptions> options)
      : m_recorder(std::move(recorder)), m_options(std::move(options)) {}
  virtual ~FakeTemplate() = default;

  void* FlgGetInterface(REFIID iid) {
    if (iid == __uuidof(IUnknown)) return static_cast<IFlgItem*>(this);
    if (iid == __uuidof(IFlgItem) && !m_options->withoutItem) return static_cast<IFlgItem*>(this);
    if (iid == __uuidof(IFlgItemView) && !m_options->withoutView) return static_cast<IFlgItemView*>(this);
    return nullptr;
  }

  // IFlgItem: slot 5 loads the template.
  STDMETHOD(GetClassID)(CLSID* clsid) override {
    if (clsid) *clsid = CLSID_FakeTemplate;
    return S_OK;
  }
  STDMETHOD(InitNew)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(Load)(IFlgDataFactory* factory, VARIANT id) override {
    return m_recorder->Call(L"Template::Load", std::wstring(factory ? L"factory," : L"null,") + IdText(id));
  }
  STDMETHOD(InitCopy)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(BeginEdit)() override { return E_NOTIMPL; }
  STDMETHOD(EndEdit)() override { return E_NOTIMPL; }
  STDMETHOD(Save)() override { return E_NOTIMPL; }
  STDMETHOD(Check)() override { return E_NOTIMPL; }
  STDMETHOD(Delete)(IFlgDataFactory*, VARIANT) override { return E_NOTIMPL; }
  STDMETHOD(GetErrorCount)(LONG*) override { return E_NOTIMPL; }
  STDMETHOD(GetErrorText)(LONG, BSTR*) override { return E_NOTIMPL; }
  STDMETHOD(Slot14)() override { return E_NOTIMPL; }
  STDMETHOD(Slot15)() override { return E_NOTIMPL; }
  STDMETHOD(SetUseTransaction)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetLockOnEdit)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetCheckRights)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetCallbackValue)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(GetCallbackValue)(LONG*) override { return E_NOTIMPL; }

  // IFlgItemView: slot 5 shows the template with its owner window.
  STDMETHOD(GetWindow)(LONG*) override { return E_NOTIMPL; }
  STDMETHOD(ContextSensitiveHelp)(BOOL) override { return E_NOTIMPL; }
  STDMETHOD(ShowReadOnly)(IUnknown* window, IFlgInstance* instance) override {
    std::wstring owner = L"none";
    IFlgWndPtr face;
    if (window) face = window;
    LONG hwnd = 0;
    if (face && SUCCEEDED(face->GetWindow(&hwnd))) owner = std::to_wstring(hwnd);
    return m_recorder->Call(L"Template::ShowReadOnly", owner + (instance ? L",instance" : L",null"));
  }
  STDMETHOD(Show)(IUnknown*, IFlgInstance*) override { return E_NOTIMPL; }
  STDMETHOD(ShowDelete)(IUnknown*, IFlgInstance*) override { return E_NOTIMPL; }
  STDMETHOD(ShowExtra)(IUnknown*, IFlgInstance*) override { return E_NOTIMPL; }

 private:
  std::shared_ptr<Recorder> m_recorder;
  std::shared_ptr<TemplatePluginOptions> m_options;
};

}  // namespace

TemplatePlugin::TemplatePlugin(std::shared_ptr<Recorder> recorder, std::wstring progId) : m_progId(std::move(progId)) {
  auto options = this->options;
  m_class = CFlgClassRegistration(CLSID_FakeTemplate, new CFlgComClassFactory([recorder, options](REFIID iid, void** out) {
                                    return CFlgComObject<FakeTemplate>::Create(iid, out, recorder, options);
                                  }));
  HKEY key = nullptr;
  const std::wstring sub = m_progId + L"\\CLSID";
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    OLECHAR text[39];
    StringFromGUID2(CLSID_FakeTemplate, text, 39);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);
  }
}

TemplatePlugin::~TemplatePlugin() {
  m_class.Revoke();
  RegDeleteTreeW(HKEY_CLASSES_ROOT, m_progId.c_str());
}

}  // namespace doubles
