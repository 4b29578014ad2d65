// The Stream object: text in a charset ("unicode", "utf-8", "windows-1250", "iso-8859-1",
// "us-ascii") or bytes, kept in memory, read and written at a position, saved to and loaded
// from files. Unicode and UTF-8 texts carry their byte-order mark, as the platform writes them.
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <sys/stat.h>

#include "platform/ado/com_object.h"
#include "platform/ado/text.h"
#include "platform/strings/convert.h"

namespace platform::ado {
namespace {

enum class CharsetKind { Unicode, Utf8, Cp1250, Latin1, Ascii };

bool CharsetOf(std::wstring_view name, CharsetKind& out) {
  std::wstring n = ToLower(name);
  if (n == L"unicode" || n == L"utf-16" || n == L"utf-16le") out = CharsetKind::Unicode;
  else if (n == L"utf-8" || n == L"utf8") out = CharsetKind::Utf8;
  else if (n == L"windows-1250" || n == L"cp1250" || n == L"x-cp1250") out = CharsetKind::Cp1250;
  else if (n == L"iso-8859-1" || n == L"latin1" || n == L"windows-1252") out = CharsetKind::Latin1;
  else if (n == L"us-ascii" || n == L"ascii") out = CharsetKind::Ascii;
  else return false;
  return true;
}

std::string Bom(CharsetKind c) {
  if (c == CharsetKind::Unicode) return "\xFF\xFE";
  if (c == CharsetKind::Utf8) return "\xEF\xBB\xBF";
  return {};
}

std::string Encode(CharsetKind c, std::wstring_view text) {
  switch (c) {
    case CharsetKind::Unicode: {
      std::u16string u = platform::WideToUtf16(text);
      std::string out;
      out.reserve(u.size() * 2);
      for (char16_t ch : u) {
        out.push_back(static_cast<char>(ch & 0xFF));
        out.push_back(static_cast<char>(ch >> 8));
      }
      return out;
    }
    case CharsetKind::Utf8: return ToUtf8(text);
    case CharsetKind::Cp1250: return platform::WideToCp1250(text);
    default: {
      std::string out;
      std::uint32_t limit = c == CharsetKind::Latin1 ? 0xFF : 0x7F;
      for (wchar_t ch : text) out.push_back(static_cast<std::uint32_t>(ch) <= limit ? static_cast<char>(ch) : '?');
      return out;
    }
  }
}

std::wstring Decode(CharsetKind c, std::string_view bytes) {
  std::string bom = Bom(c);
  if (!bom.empty() && bytes.substr(0, bom.size()) == bom) bytes.remove_prefix(bom.size());
  switch (c) {
    case CharsetKind::Unicode: {
      std::vector<std::uint16_t> units;
      for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                                   (static_cast<unsigned char>(bytes[i + 1]) << 8)));
      return platform::Utf16ToWide(units.data(), units.size());
    }
    case CharsetKind::Utf8: return FromUtf8(bytes);
    case CharsetKind::Cp1250: return platform::Cp1250ToWide(bytes);
    default: {
      std::wstring out;
      for (char ch : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(ch)));
      return out;
    }
  }
}

[[noreturn]] void StreamError(HRESULT hr, const wchar_t* text) {
  DbError e;
  e.hr = hr;
  e.description = text;
  e.source = L"ADODB.Stream";
  throw DbException(std::move(e));
}

constexpr HRESULT kFileOpenFailed = static_cast<HRESULT>(0x800A0BBA);   // 3002
constexpr HRESULT kFileWriteFailed = static_cast<HRESULT>(0x800A0BBC);  // 3004

class StreamImpl final : public ComObject<::_Stream> {
 public:
  STDMETHODIMP get_Size(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      RequireOpen();
      *out = static_cast<LONG>(type_ == adTypeText ? EncodedPrefix(text_.size()) : bytes_.size());
      return S_OK;
    });
  }
  STDMETHODIMP get_EOS(VARIANT_BOOL* out) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      RequireOpen();
      *out = pos_ >= Length() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHODIMP get_Position(ADO_LONGPTR* out) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      RequireOpen();
      *out = static_cast<LONG>(type_ == adTypeText ? EncodedPrefix(pos_) : pos_);
      return S_OK;
    });
  }
  STDMETHODIMP put_Position(ADO_LONGPTR p) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      RequireOpen();
      if (p < 0) StreamError(adErrInvalidArgument, L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
      if (type_ == adTypeBinary) {
        if (static_cast<std::size_t>(p) > bytes_.size()) bytes_.resize(static_cast<std::size_t>(p));
        pos_ = static_cast<std::size_t>(p);
      } else {
        // The character at which the encoded text reaches the byte position.
        std::size_t k = 0;
        while (k < text_.size() && EncodedPrefix(k) < static_cast<std::size_t>(p)) ++k;
        pos_ = k;
      }
      return S_OK;
    });
  }
  STDMETHODIMP get_Type(StreamTypeEnum* out) override {
    if (!out) return E_POINTER;
    *out = type_;
    return S_OK;
  }
  STDMETHODIMP put_Type(StreamTypeEnum t) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (t != adTypeText && t != adTypeBinary) StreamError(adErrInvalidArgument, L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
      if (open_ && pos_ != 0) StreamError(adErrIllegalOperation, L"Operation is not allowed in this context.");
      if (t != type_) {
        if (t == adTypeBinary) {
          bytes_ = text_.empty() ? std::string() : Bom(charset_) + Encode(charset_, text_);
          text_.clear();
        } else {
          text_ = Decode(charset_, bytes_);
          undecoded_ = std::move(bytes_);  // read again if the charset is set next
          bytes_.clear();
        }
        type_ = t;
      }
      return S_OK;
    });
  }
  STDMETHODIMP get_LineSeparator(LineSeparatorEnum* out) override {
    if (!out) return E_POINTER;
    *out = separator_;
    return S_OK;
  }
  STDMETHODIMP put_LineSeparator(LineSeparatorEnum l) override {
    separator_ = l;
    return S_OK;
  }
  STDMETHODIMP get_State(ObjectStateEnum* out) override {
    if (!out) return E_POINTER;
    *out = open_ ? adStateOpen : adStateClosed;
    return S_OK;
  }
  STDMETHODIMP get_Mode(ConnectModeEnum* out) override {
    if (!out) return E_POINTER;
    *out = mode_;
    return S_OK;
  }
  STDMETHODIMP put_Mode(ConnectModeEnum m) override {
    mode_ = m;
    return S_OK;
  }
  STDMETHODIMP get_Charset(BSTR* out) override {
    if (!out) return E_POINTER;
    *out = SysAllocString(charsetName_.c_str());
    return S_OK;
  }
  STDMETHODIMP put_Charset(BSTR name) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      CharsetKind c;
      std::wstring n = BstrText(name);
      if (!CharsetOf(n, c)) StreamError(adErrInvalidArgument, L"The charset is not supported.");
      if (open_ && pos_ != 0) StreamError(adErrIllegalOperation, L"Operation is not allowed in this context.");
      charset_ = c;
      charsetName_ = n;
      if (undecoded_) text_ = Decode(charset_, *undecoded_);
      return S_OK;
    });
  }
  STDMETHODIMP raw_Read(LONG n, VARIANT* out) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      RequireOpen();
      RequireType(adTypeBinary);
      std::size_t count = n < 0 ? bytes_.size() - pos_ : std::min<std::size_t>(static_cast<std::size_t>(n), bytes_.size() - pos_);
      Cell v = Cell::Blob(bytes_.substr(pos_, count));
      pos_ += count;
      *out = count == 0 ? _variant_t().Detach() : ToVariant(v).Detach();
      if (count == 0) out->vt = VT_NULL;
      return S_OK;
    });
  }
  STDMETHODIMP raw_Open(VARIANT source, ConnectModeEnum mode, StreamOpenOptionsEnum, BSTR, BSTR) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (open_) StreamError(adErrObjectOpen, L"Operation is not allowed when the object is open.");
      if (!IsMissing(source) && !(source.vt == VT_BSTR && BstrText(source.bstrVal).empty()))
        StreamError(adErrFeatureNotAvailable, L"Opening a stream from a URL or record is not supported.");
      open_ = true;
      mode_ = mode;
      text_.clear();
      bytes_.clear();
      pos_ = 0;
      return S_OK;
    });
  }
  STDMETHODIMP raw_Close() override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      undecoded_.reset();
      RequireOpen();
      open_ = false;
      text_.clear();
      bytes_.clear();
      pos_ = 0;
      return S_OK;
    });
  }
  STDMETHODIMP raw_SkipLine() override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      RequireOpen();
      RequireType(adTypeText);
      std::wstring sep = Separator();
      std::size_t e = text_.find(sep, pos_);
      pos_ = e == std::wstring::npos ? text_.size() : e + sep.size();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Write(VARIANT buffer) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      RequireOpen();
      RequireType(adTypeBinary);
      Cell v = FromVariant(buffer);
      if (v.kind != VKind::Bytes) StreamError(DISP_E_TYPEMISMATCH, L"Type mismatch: Write takes an array of bytes.");
      std::string add = v.Bytes();
      bytes_.replace(pos_, std::min(add.size(), bytes_.size() - pos_), add);
      pos_ += add.size();
      return S_OK;
    });
  }
  STDMETHODIMP raw_SetEOS() override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      undecoded_.reset();
      RequireOpen();
      if (type_ == adTypeText) text_.resize(pos_);
      else bytes_.resize(pos_);
      return S_OK;
    });
  }
  STDMETHODIMP raw_CopyTo(::_Stream* dest, ADO_LONGPTR count) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      RequireOpen();
      if (!dest) return E_POINTER;
      if (type_ == adTypeText) {
        std::size_t n = count < 0 ? text_.size() - pos_ : std::min<std::size_t>(static_cast<std::size_t>(count), text_.size() - pos_);
        _bstr_t part(text_.substr(pos_, n).c_str());
        pos_ += n;
        HRESULT hr = dest->raw_WriteText(part, adWriteChar);
        if (FAILED(hr)) return hr;
      } else {
        std::size_t n = count < 0 ? bytes_.size() - pos_ : std::min<std::size_t>(static_cast<std::size_t>(count), bytes_.size() - pos_);
        _variant_t part = ToVariant(Cell::Blob(bytes_.substr(pos_, n)));
        pos_ += n;
        HRESULT hr = dest->raw_Write(part);
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    });
  }
  STDMETHODIMP raw_Flush() override { return S_OK; }
  STDMETHODIMP raw_SaveToFile(BSTR fileName, SaveOptionsEnum options) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      RequireOpen();
      std::string path = ToUtf8(BstrText(fileName));
      struct stat st{};
      bool exists = ::stat(path.c_str(), &st) == 0;
      if (exists && !(options & adSaveCreateOverWrite)) StreamError(kFileWriteFailed, L"Write to file failed.");
      std::string data = type_ == adTypeText ? (text_.empty() ? std::string() : Bom(charset_) + Encode(charset_, text_)) : bytes_;
      std::ofstream f(path, std::ios::binary | std::ios::trunc);
      if (!f) StreamError(kFileWriteFailed, L"Write to file failed.");
      f.write(data.data(), static_cast<std::streamsize>(data.size()));
      if (!f) StreamError(kFileWriteFailed, L"Write to file failed.");
      return S_OK;
    });
  }
  STDMETHODIMP raw_LoadFromFile(BSTR fileName) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      undecoded_.reset();
      RequireOpen();
      std::ifstream f(ToUtf8(BstrText(fileName)), std::ios::binary);
      if (!f) StreamError(kFileOpenFailed, L"File could not be opened.");
      std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      if (type_ == adTypeText) {
        text_ = Decode(charset_, data);
      } else {
        bytes_ = std::move(data);
      }
      pos_ = 0;
      return S_OK;
    });
  }
  STDMETHODIMP raw_ReadText(LONG n, BSTR* out) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      if (!out) return E_POINTER;
      RequireOpen();
      RequireType(adTypeText);
      std::size_t count;
      if (n == adReadLine) {
        std::wstring sep = Separator();
        std::size_t e = text_.find(sep, pos_);
        count = (e == std::wstring::npos ? text_.size() : e) - pos_;
        *out = SysAllocStringLen(text_.data() + pos_, static_cast<UINT>(count));
        pos_ += count + (e == std::wstring::npos ? 0 : sep.size());
        return S_OK;
      }
      count = n < 0 ? text_.size() - pos_ : std::min<std::size_t>(static_cast<std::size_t>(n), text_.size() - pos_);
      *out = SysAllocStringLen(text_.data() + pos_, static_cast<UINT>(count));
      pos_ += count;
      return S_OK;
    });
  }
  STDMETHODIMP raw_WriteText(BSTR data, StreamWriteEnum options) override {
    return AdoBoundary(__uuidof(::_Stream), nullptr, [&]() -> HRESULT {
      undecoded_.reset();
      RequireOpen();
      RequireType(adTypeText);
      std::wstring add = BstrText(data);
      if (options == adWriteLine) add += Separator();
      text_.replace(pos_, std::min(add.size(), text_.size() - pos_), add);
      pos_ += add.size();
      return S_OK;
    });
  }
  STDMETHODIMP raw_Cancel() override { return S_OK; }

 private:
  void RequireOpen() const {
    if (!open_) StreamError(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
  }
  void RequireType(StreamTypeEnum t) const {
    if (type_ != t) StreamError(adErrIllegalOperation, L"Operation is not allowed in this context.");
  }
  std::size_t Length() const { return type_ == adTypeText ? text_.size() : bytes_.size(); }
  std::size_t EncodedPrefix(std::size_t chars) const {
    if (chars == 0 && text_.empty()) return 0;
    return Bom(charset_).size() + Encode(charset_, std::wstring_view(text_).substr(0, chars)).size();
  }
  std::wstring Separator() const { return separator_ == adLF ? L"\n" : separator_ == adCR ? L"\r" : L"\r\n"; }

  bool open_ = false;
  StreamTypeEnum type_ = adTypeText;
  CharsetKind charset_ = CharsetKind::Unicode;
  std::wstring charsetName_ = L"Unicode";
  LineSeparatorEnum separator_ = adCRLF;
  ConnectModeEnum mode_ = adModeUnknown;
  std::wstring text_;
  std::string bytes_;
  std::optional<std::string> undecoded_;  // bytes behind text_ since the switch from binary
  std::size_t pos_ = 0;
};

}  // namespace

IClassFactory* StreamFactory() {
  static ClassFactory<StreamImpl> factory;
  return &factory;
}

}  // namespace platform::ado
