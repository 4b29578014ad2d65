// File, URL and MD5 tools.
#include "shared/filetools.h"

#include <algorithm>
#include <vector>

#include "platform/files/files.h"
#include "platform/resources/resources.h"

namespace {

constexpr DWORD kModulePathMax = 260;
constexpr DWORD kStreamBlock = 50000;
constexpr DWORD kDigestBlock = 512;

bool Separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The position after the last folder separator (0 when there is none).
int NameStart(const CString& path) {
  for (int i = path.GetLength(); i > 0; --i)
    if (Separator(path[i - 1])) return i;
  return 0;
}

// The drive part of a path ("C:"), empty for paths without one.
CString DrivePart(const CString& path) {
  if (path.GetLength() >= 2 && path[1] == L':' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')))
    return path.Left(2);
  return CString();
}

// Whether `text` starts with `prefix`, in any case.
bool StartsNoCase(const CString& text, const wchar_t* prefix) {
  const int n = static_cast<int>(std::wcslen(prefix));
  return text.GetLength() >= n && text.Left(n).CompareNoCase(prefix) == 0;
}

// The text with `scheme` put before it unless it starts with one of the kept schemes.
CString WithScheme(const CString& text, const wchar_t* scheme, std::initializer_list<const wchar_t*> kept) {
  for (const wchar_t* k : kept)
    if (StartsNoCase(text, k)) return text;
  return CString(scheme) + text;
}

bool Prepare(const CString& text, CUrl& url, const wchar_t* scheme, std::initializer_list<const wchar_t*> kept) {
  if (text.IsEmpty()) return false;
  if (!url.CrackUrl(WithScheme(text, scheme, kept))) return false;
  return url.GetHostNameLength() > 0;
}

class File {
 public:
  explicit File(const wchar_t* path)
      : m_handle(path ? CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)
                      : INVALID_HANDLE_VALUE) {}
  ~File() {
    if (Open()) CloseHandle(m_handle);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool Open() const { return m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return m_handle; }

 private:
  HANDLE m_handle;
};

void Hex(const unsigned char* digest, unsigned size, CString& out) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  text.reserve(size * 2);
  for (unsigned i = 0; i < size; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 0xF];
  }
  out = text.c_str();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CHxFileTools

CString CHxFileTools::GetNameFromPath(const wchar_t* path) {
  if (!path) return CString();
  const CString text(path);
  CString name = text.Mid(NameStart(text));
  const int dot = name.ReverseFind(L'.');
  if (dot >= 0) name = name.Left(dot);
  return name;
}

CString CHxFileTools::GetAppPath(AppFolders folder) {
  if (folder != afModuleFile && folder != afTemplateScripts) return CString();
  wchar_t buffer[kModulePathMax + 1] = {};
  GetModuleFileNameW(AfxGetInstanceHandle(), buffer, kModulePathMax);
  CString path(buffer);
  if (folder == afModuleFile) return path;
  return path.Left(NameStart(path)) + L"Skrypty\\Wzorzec\\";
}

LONG CHxFileTools::GetNewGUIDString(CString& out, GUID* guid) {
  GUID value{};
  const HRESULT hr = CoCreateGuid(&value);
  if (FAILED(hr)) return hr;
  wchar_t text[64] = {};
  if (StringFromGUID2(value, text, 64) <= 0) return E_FAIL;
  out = text;
  out.Trim(L"{}");
  if (guid) *guid = value;
  return S_OK;
}

bool CHxFileTools::GetGUIDTempFile(const wchar_t* ext, CString& out, UINT parts) {
  wchar_t folder[kModulePathMax + 1] = {};
  const DWORD length = GetTempPathW(kModulePathMax + 1, folder);
  if (length == 0 || length > kModulePathMax) return false;
  CString name;
  if (FAILED(GetNewGUIDString(name, nullptr))) return false;
  const CString temp(folder);
  const CString drive = DrivePart(temp);
  CString dir = temp.Mid(drive.GetLength());
  if (!dir.IsEmpty() && !Separator(dir[dir.GetLength() - 1])) dir += L"/";
  CString result;
  if (parts & 1) result += drive;
  if (parts & 2) result += dir;
  if (parts & 4) result += name;
  if ((parts & 8) && ext && *ext) {
    if (*ext != L'.') result += L".";
    result += ext;
  }
  out = result;
  return true;
}

bool CHxFileTools::GetGUIDTempFileName(const CString& ext, CString& out) {
  CString name;
  if (FAILED(GetNewGUIDString(name, nullptr))) return false;
  if (!ext.IsEmpty() && ext[0] == L'.') out.Format(L"%s%s", name.GetString(), ext.GetString());
  else out.Format(L"%s.%s", name.GetString(), ext.GetString());
  return true;
}

bool CHxFileTools::StreamFromFileWithMD5(IStreamPtr& stream, const wchar_t* path, CString& md5) {
  md5.Empty();
  File file(path);
  if (!file.Open()) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Handle(), &size) || size.QuadPart < 0) return false;
  const ULONGLONG length = static_cast<ULONGLONG>(size.QuadPart);
  CMD5::CTX ctx;
  if (!CMD5::StartCalcMD5(ctx)) return false;
  IStreamPtr target = stream;
  if (!target) {
    // A stream of our own: the blocks are read straight into its memory.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length));
    if (!memory) return false;
    BYTE* data = static_cast<BYTE*>(GlobalLock(memory));
    ULONGLONG done = 0;
    bool ok = data != nullptr;
    while (ok) {
      const DWORD want = static_cast<DWORD>(std::min<ULONGLONG>(kStreamBlock, length - done));
      DWORD read = 0;
      // A file that grew since its size was taken is read as far as that size.
      ok = want == 0 || ReadFile(file.Handle(), data + done, want, &read, nullptr);
      if (!ok) break;
      CMD5::CalcMD5Buf(ctx, data + done, read);
      done += read;
      if (read < kStreamBlock) break;
    }
    if (data) GlobalUnlock(memory);
    IStream* created = nullptr;
    if (!ok || FAILED(CreateStreamOnHGlobal(memory, TRUE, &created)) || !created) {
      GlobalFree(memory);
      return false;
    }
    target.Attach(created);
    ULARGE_INTEGER used{};
    used.QuadPart = done;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(done);
    if (done != length && FAILED(target->SetSize(used))) return false;
    if (FAILED(target->Seek(end, STREAM_SEEK_SET, nullptr))) return false;
  } else {
    ULARGE_INTEGER newSize{};
    newSize.QuadPart = length;
    LARGE_INTEGER start{};
    if (FAILED(target->SetSize(newSize)) || FAILED(target->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
    std::vector<BYTE> block(kStreamBlock);
    for (;;) {
      DWORD read = 0;
      if (!ReadFile(file.Handle(), block.data(), kStreamBlock, &read, nullptr)) return false;
      CMD5::CalcMD5Buf(ctx, block.data(), read);
      if (read > 0) {
        ULONG written = 0;
        if (FAILED(target->Write(block.data(), read, &written)) || written != read) return false;
      }
      if (read < kStreamBlock) break;
    }
  }
  CString digest;
  if (!CMD5::EndCalcMD5(ctx, digest)) return false;
  md5 = digest;
  stream = target;
  return true;
}

// ---------------------------------------------------------------------------------------------
// CHxURLTools

bool CHxURLTools::FixHtmlUrl(CString& url, eResourceType type) {
  CString text = url;
  text.Trim();
  if (text.IsEmpty()) return false;
  if (!StartsNoCase(text, L"https://") && !StartsNoCase(text, L"http://")) {
    if (type == rtHttp) text = L"http://" + text;
    else if (type == rtHttps) text = L"https://" + text;
  }
  url = text;
  return true;
}

bool CHxURLTools::PrepareHttpURL(const CString& text, CUrl& url) {
  return Prepare(text, url, L"http://", {L"http://", L"https://"});
}

bool CHxURLTools::PrepareFtpURL(const CString& text, CUrl& url) { return Prepare(text, url, L"ftp://", {L"ftp://"}); }

bool CHxURLTools::IsValidHttpURL(const CString& text) {
  CUrl url;
  url.SetScheme(ATL_URL_SCHEME_HTTP);
  url.SetPortNumber(ATL_URL_DEFAULT_HTTP_PORT);
  return PrepareHttpURL(text, url);
}

bool CHxURLTools::IsValidFtpURL(const CString& text) {
  CUrl url;
  url.SetScheme(ATL_URL_SCHEME_HTTP);
  url.SetPortNumber(ATL_URL_DEFAULT_HTTP_PORT);
  return PrepareFtpURL(text, url);
}

bool CHxURLTools::CUrlToCString(const CUrl& url, CString& out) {
  CString text;
  if (url.GetSchemeNameLength() > 0) {
    text += url.GetSchemeName();
    text += L"://";
  }
  if (url.GetUserNameLength() > 0) {
    text += url.GetUserName();
    if (url.GetPasswordLength() > 0) {
      text += L":";
      text += url.GetPassword();
    }
    text += L"@";
  }
  text += url.GetHostName();
  if (url.GetPortNumber() != CUrl::DefaultPort(url.GetScheme())) {
    CString port;
    port.Format(L":%d", static_cast<int>(url.GetPortNumber()));
    text += port;
  }
  CString path(url.GetUrlPath());
  path.TrimRight();
  const bool extra = url.GetExtraInfoLength() > 0;
  if (!extra && (path.IsEmpty() || path[path.GetLength() - 1] != L'/')) path += L"/";
  text += path;
  text += url.GetExtraInfo();
  out = text;
  return true;
}

// ---------------------------------------------------------------------------------------------
// CMD5

CMD5::CTX::~CTX() {
  if (context.evp) EVP_MD_CTX_free(context.evp);
}

bool CMD5::StartCalcMD5(CTX& ctx) {
  if (!ctx.context.evp) ctx.context.evp = EVP_MD_CTX_new();
  return ctx.context.evp && EVP_DigestInit_ex(ctx.context.evp, EVP_md5(), nullptr) == 1;
}

bool CMD5::CalcMD5Buf(CTX& ctx, const BYTE* data, DWORD size) {
  if (!ctx.context.evp || (!data && size > 0)) return false;
  return size == 0 || EVP_DigestUpdate(ctx.context.evp, data, size) == 1;
}

bool CMD5::EndCalcMD5(CTX& ctx, CString& hex) {
  if (!ctx.context.evp) return false;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(ctx.context.evp, digest, &size) != 1) return false;
  Hex(digest, size, hex);
  return true;
}

void CMD5::GetMD5(const BYTE* data, DWORD size, CString& hex) {
  CTX ctx;
  if (StartCalcMD5(ctx) && CalcMD5Buf(ctx, data, data ? size : 0)) EndCalcMD5(ctx, hex);
}

bool CMD5::GetMD5(const wchar_t* path, CString& hex) {
  File file(path);
  if (!file.Open()) return false;
  CTX ctx;
  if (!StartCalcMD5(ctx)) return false;
  BYTE block[kDigestBlock];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Handle(), block, kDigestBlock, &read, nullptr)) return false;
    if (read == 0) break;
    CalcMD5Buf(ctx, block, read);
  }
  return EndCalcMD5(ctx, hex);
}

bool CMD5::GetMD5(IStreamPtr& stream, CString& hex) {
  if (!stream) return false;
  LARGE_INTEGER start{};
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return false;
  CTX ctx;
  if (!StartCalcMD5(ctx)) return false;
  BYTE block[kDigestBlock];
  for (;;) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(block, kDigestBlock, &read);
    if (FAILED(hr) || read > kDigestBlock) return false;
    if (read == 0) break;
    CalcMD5Buf(ctx, block, read);
  }
  return EndCalcMD5(ctx, hex);
}

// ---------------------------------------------------------------------------------------------
// CHxAutoMsg

const wchar_t* CHxAutoMsg::ZnajdzAukcje(const wchar_t* text, CString& number) {
  number.Empty();
  if (!text) return nullptr;
  const wchar_t* p = text;
  while (*p && !(*p >= L'0' && *p <= L'9')) ++p;
  const wchar_t* start = p;
  while (*p >= L'0' && *p <= L'9') ++p;
  number = CString(std::wstring(start, p).c_str());
  return p;
}
