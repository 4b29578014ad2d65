// The reference access-key converter (see access_key.h).
#include "testing/access_key/access_key.h"

#include <atomic>
#include <string>

#include "platform/base/utf8.h"
#include "platform/com/server.h"

namespace {

constexpr char kPrefix[] = "ak1:";
constexpr unsigned char kMask = 0x5A;

std::atomic<bool> g_refuse{false};
std::atomic<HRESULT> g_failure{S_OK};
std::atomic<LONG> g_conversions{0};

std::wstring Stored(const wchar_t* typed) {
  const std::string bytes = platform::utf8::FromWide(typed ? typed : L"");
  if (bytes.empty()) return std::wstring();
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = kPrefix;
  for (unsigned char c : bytes) {
    const unsigned char x = c ^ kMask;
    out += kHex[x >> 4];
    out += kHex[x & 15];
  }
  return platform::utf8::ToWide(out);
}

int Digit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool Typed(const wchar_t* stored, std::wstring& typed) {
  const std::wstring text = stored ? stored : L"";
  typed.clear();
  if (text.empty()) return true;
  const std::wstring prefix = platform::utf8::ToWide(kPrefix);
  if (text.compare(0, prefix.size(), prefix) != 0 || (text.size() - prefix.size()) % 2 != 0) return false;
  std::string bytes;
  for (std::size_t i = prefix.size(); i < text.size(); i += 2) {
    const int high = Digit(text[i]), low = Digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(static_cast<unsigned char>(high * 16 + low) ^ kMask);
  }
  typed = platform::utf8::ToWide(bytes);
  return true;
}

// Asked for the converter while it is refused, creation fails with E_NOINTERFACE.
class Converter : public platform::com::ServerObject<IAccessKeyConverter, IAccessKeyControl, ISupportErrorInfo> {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out && iid == __uuidof(IAccessKeyConverter) && g_refuse) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return ServerObject::QueryInterface(iid, out);
  }

  STDMETHODIMP ToStored(BSTR typed, BSTR* stored) override {
    if (!stored) return E_POINTER;
    *stored = nullptr;
    if (FAILED(g_failure)) return Fail(g_failure);
    ++g_conversions;
    const std::wstring text = Stored(typed);
    *stored = SysAllocString(text.c_str());
    return *stored ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP ToTyped(BSTR stored, BSTR* typed) override {
    if (!typed) return E_POINTER;
    *typed = nullptr;
    if (FAILED(g_failure)) return Fail(g_failure);
    ++g_conversions;
    std::wstring text;
    if (!Typed(stored, text)) return Fail(E_INVALIDARG, L"Zapisane hasło nie ma postaci konwertera.");
    *typed = SysAllocString(text.c_str());
    return *typed ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP RefuseInterface(BOOL refuse) override {
    g_refuse = refuse != FALSE;
    return S_OK;
  }
  STDMETHODIMP FailConversions(HRESULT hr) override {
    g_failure = hr;
    return S_OK;
  }
  STDMETHODIMP GetConversionCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = g_conversions;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    g_refuse = false;
    g_failure = S_OK;
    g_conversions = 0;
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(IAccessKeyConverter) ? S_OK : S_FALSE;
  }

 private:
  static HRESULT Fail(HRESULT hr, const wchar_t* text = L"Konwerter hasła zawiódł.") {
    return platform::com::ReportError(hr, text, kAccessKeyProgId, __uuidof(IAccessKeyConverter));
  }
};

const platform::com::ServerClass kClasses[] = {
    {&CLSID_AccessKeyConverter, L"AccessKeyConverter Class", L"Reference.AccessKey.1", kAccessKeyProgId, nullptr,
     &platform::com::CreateServerObject<Converter>},
};

}  // namespace

VANTOR_COM_SERVER(kClasses);
