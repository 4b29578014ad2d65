// The host's image store over kd_Image.
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/objects.h"
#include "platform/gui/gdiplus.h"

namespace host {
namespace {

constexpr ULONG kMaxImageBytes = 64u << 20;

// FNV-1a over the bytes: the lookup key of an image (equal bytes are then compared in full).
LONGLONG Fingerprint(const unsigned char* bytes, ULONG size) {
  unsigned long long hash = 1469598103934665603ull;
  for (ULONG i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 1099511628211ull;
  }
  return static_cast<LONGLONG>(hash >> 1);  // kept positive
}

bool SameBytes(const _variant_t& stored, const unsigned char* bytes, ULONG size) {
  if (stored.vt != (VT_ARRAY | VT_UI1) || !stored.parray) return false;
  if (stored.parray->rgsabound[0].cElements != size) return false;
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(stored.parray, &data))) return false;
  const bool same = size == 0 || std::memcmp(data, bytes, size) == 0;
  SafeArrayUnaccessData(stored.parray);
  return same;
}

}  // namespace

void* CHostImageStore::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxImageStore)) return static_cast<IHxImageStore*>(this);
  return nullptr;
}

STDMETHODIMP CHostImageStore::AddImage(BSTR name, VARIANT image, LONG* id) {
  if (!id) return E_POINTER;
  *id = 0;
  const VARIANT* data = &image;
  if (data->vt == (VT_BYREF | VT_VARIANT) && data->pvarVal) data = data->pvarVal;
  if (data->vt != (VT_ARRAY | VT_UI1) || !data->parray || SafeArrayGetDim(data->parray) != 1)
    return platform::com::ReportError(E_INVALIDARG, L"Obraz nie jest tablicą bajtów.", L"Vantor.Host");
  const ULONG size = data->parray->rgsabound[0].cElements;
  if (size == 0) return platform::com::ReportError(E_INVALIDARG, L"Obraz jest pusty.", L"Vantor.Host");
  if (size > kMaxImageBytes)
    return platform::com::ReportError(E_INVALIDARG, L"Obraz jest większy niż 64 MB.", L"Vantor.Host");
  void* raw = nullptr;
  HRESULT hr = SafeArrayAccessData(data->parray, &raw);
  if (FAILED(hr)) return hr;
  const std::string bytes(static_cast<const char*>(raw), size);
  SafeArrayUnaccessData(data->parray);
  const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
  const LONGLONG hash = Fingerprint(begin, size);
  try {
    InTransaction(m_connection, [&] {
      CString sql;
      sql.Format(L"SELECT im_Id, im_Data FROM kd_Image WHERE im_Hash = %I64d AND im_Size = %ld ORDER BY im_Id", hash,
                 static_cast<LONG>(size));
      _RecordsetPtr found;
      HRESULT opened = OpenRS(found, m_connection, sql, adOpenStatic, adLockReadOnly);
      if (FAILED(opened)) _com_issue_error(opened);
      for (; !found->GetadoEOF(); found->MoveNext()) {
        if (SameBytes(found->GetFields()->GetItem(_variant_t(L"im_Data"))->GetValue(), begin, size)) {
          *id = static_cast<LONG>(found->GetFields()->GetItem(_variant_t(L"im_Id"))->GetValue());
          return;
        }
      }
      _RecordsetPtr rows;
      opened = OpenRS(rows, m_connection, L"SELECT * FROM kd_Image WHERE 1 = 0", adOpenStatic, adLockBatchOptimistic);
      if (FAILED(opened)) _com_issue_error(opened);
      const LONG key = ReserveKeys(m_connection, L"kd_Image", 1, L"im_Id");
      rows->AddNew();
      FieldsPtr f = rows->GetFields();
      f->GetItem(_variant_t(L"im_Id"))->PutValue(_variant_t(key));
      CString shown(name ? name : L"");
      shown.Trim();
      if (shown.GetLength() > 255) shown = shown.Left(255);
      f->GetItem(_variant_t(L"im_Name"))->PutValue(shown.IsEmpty() ? NullValue() : _variant_t(shown.GetString()));
      f->GetItem(_variant_t(L"im_Size"))->PutValue(_variant_t(static_cast<LONG>(size)));
      f->GetItem(_variant_t(L"im_Hash"))->PutValue(_variant_t(hash));
      f->GetItem(_variant_t(L"im_Data"))->PutValue(_variant_t(*data));
      _variant_t now;
      now.vt = VT_DATE;
      now.date = KdNow();
      f->GetItem(_variant_t(L"im_Added"))->PutValue(now);
      rows->UpdateBatch(adAffectAll);
      *id = key;
    });
    return S_OK;
  } catch (...) {
    *id = 0;
    return platform::com::AnswerCurrentException();
  }
}

// --- the picture repository

CHostImageRepository::~CHostImageRepository() {
  // Transactions never ended are rolled back.
  for (size_t i = 0; i < m_levels.size(); ++i) {
    try {
      m_connection->RollbackTrans();
    } catch (const _com_error&) {
    }
  }
}

void* CHostImageRepository::FlgGetInterface(REFIID iid) {
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IHxImageRepository)) return static_cast<IHxImageRepository*>(this);
  return nullptr;
}

STDMETHODIMP CHostImageRepository::GetPicture(LONG id, BSTR* name, IUnknown** stream, LONG* width, LONG* height,
                                              LONG* size, VARIANT_BOOL* found) {
  if (!name || !stream || !width || !height || !size || !found) return E_POINTER;
  *name = nullptr;
  *stream = nullptr;
  *width = *height = *size = 0;
  *found = VARIANT_FALSE;
  try {
    CString sql;
    sql.Format(L"SELECT im_Name, im_Size, im_Data FROM kd_Image WHERE im_Id = %ld", id);
    _RecordsetPtr rows;
    HRESULT hr = OpenRS(rows, m_connection, sql, adOpenStatic, adLockReadOnly);
    if (FAILED(hr)) return hr;
    if (rows->GetadoEOF()) return S_OK;
    FieldsPtr f = rows->GetFields();
    const _variant_t data = f->GetItem(_variant_t(L"im_Data"))->GetValue();
    if (data.vt != (VT_ARRAY | VT_UI1) || !data.parray || SafeArrayGetDim(data.parray) != 1)
      return platform::com::ReportError(E_FAIL, L"Obraz w bazie danych nie jest tablicą bajtów.", L"Vantor.Host");
    const ULONG bytes = data.parray->rgsabound[0].cElements;
    if (bytes > kMaxImageBytes)
      return platform::com::ReportError(E_FAIL, L"Obraz w bazie danych jest większy niż 64 MB.", L"Vantor.Host");
    IStream* raw = nullptr;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &raw);
    if (FAILED(hr) || !raw) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    IStreamPtr out(raw, false);
    void* content = nullptr;
    hr = SafeArrayAccessData(data.parray, &content);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = bytes ? out->Write(content, bytes, &written) : S_OK;
    SafeArrayUnaccessData(data.parray);
    if (FAILED(hr) || written != bytes) return FAILED(hr) ? hr : E_FAIL;
    LARGE_INTEGER zero{};
    out->Seek(zero, STREAM_SEEK_SET, nullptr);
    // The picture's size as its header gives it (0 x 0 for bytes that are no picture).
    {
      Gdiplus::Image picture(static_cast<IStream*>(out));
      if (picture.GetLastStatus() == Gdiplus::Ok) {
        *width = static_cast<LONG>(picture.GetWidth());
        *height = static_cast<LONG>(picture.GetHeight());
      }
    }
    out->Seek(zero, STREAM_SEEK_SET, nullptr);
    const _variant_t shown = f->GetItem(_variant_t(L"im_Name"))->GetValue();
    *name = SysAllocString(shown.vt == VT_BSTR && shown.bstrVal ? shown.bstrVal : L"");
    const _variant_t stored = f->GetItem(_variant_t(L"im_Size"))->GetValue();
    *size = stored.vt == VT_NULL ? static_cast<LONG>(bytes) : static_cast<LONG>(stored);
    *stream = out.Detach();
    *found = VARIANT_TRUE;
    return S_OK;
  } catch (...) {
    if (*name) SysFreeString(*name), *name = nullptr;
    *width = *height = *size = 0;
    return platform::com::AnswerCurrentException();
  }
}

STDMETHODIMP CHostImageRepository::BeginTransaction(LONG* state) {
  if (!state) return E_POINTER;
  *state = 0;
  return platform::com::Boundary([&]() -> HRESULT {
    const LONG level = m_connection->BeginTrans();
    m_levels.push_back(level);
    *state = level;
    return S_OK;
  });
}

STDMETHODIMP CHostImageRepository::EndTransaction(LONG state) {
  if (state == 0) return S_OK;
  if (m_levels.empty() || m_levels.back() != state)
    return platform::com::ReportError(E_INVALIDARG, L"Nie rozpoczęto takiej transakcji obrazów.", L"Vantor.Host");
  m_levels.pop_back();
  return platform::com::Boundary([&]() -> HRESULT {
    m_connection->CommitTrans();
    return S_OK;
  });
}

}  // namespace host
