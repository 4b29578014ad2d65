// SAFEARRAY: descriptors with the element type kept just before them, column-major data.
#include <cstdlib>
#include <new>

#include "platform/com/com.h"

namespace {

struct alignas(16) Prefix {
  VARTYPE vt;
};

Prefix* PrefixOf(SAFEARRAY* psa) { return reinterpret_cast<Prefix*>(reinterpret_cast<BYTE*>(psa) - sizeof(Prefix)); }

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_DATE: case VT_CY: return 8;
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    case VT_DECIMAL: return sizeof(DECIMAL);
    default: return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: return FADF_BSTR;
    case VT_UNKNOWN: return FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_DISPATCH;
    case VT_VARIANT: return FADF_VARIANT;
    default: return 0;
  }
}

std::size_t ElementCount(const SAFEARRAY* psa) {
  std::size_t n = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
  return n;
}

// Releases what an element holds.
void ReleaseElement(SAFEARRAY* psa, void* cell) {
  if (psa->fFeatures & FADF_BSTR) {
    BSTR* b = static_cast<BSTR*>(cell);
    SysFreeString(*b);
    *b = nullptr;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown** u = static_cast<IUnknown**>(cell);
    if (*u) (*u)->Release();
    *u = nullptr;
  } else if (psa->fFeatures & FADF_VARIANT) {
    VariantClear(static_cast<VARIANT*>(cell));
  }
}

// Copies one element into uninitialised storage.
HRESULT CopyElement(SAFEARRAY* psa, const void* from, void* to) {
  if (psa->fFeatures & FADF_BSTR) {
    BSTR src = *static_cast<const BSTR*>(from);
    BSTR copy = src ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src)) : nullptr;
    if (src && !copy) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(to) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* u = *static_cast<IUnknown* const*>(from);
    if (u) u->AddRef();
    *static_cast<IUnknown**>(to) = u;
  } else if (psa->fFeatures & FADF_VARIANT) {
    VariantInit(static_cast<VARIANT*>(to));
    return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
  } else {
    std::memcpy(to, from, psa->cbElements);
  }
  return S_OK;
}

}  // namespace

HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** out) {
  if (!out || cDims == 0 || cDims > 0xFFFF) return E_INVALIDARG;
  std::size_t bytes = sizeof(Prefix) + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  void* block = std::calloc(1, bytes);
  if (!block) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(static_cast<BYTE*>(block) + sizeof(Prefix));
  psa->cDims = static_cast<USHORT>(cDims);
  PrefixOf(psa)->vt = VT_EMPTY;
  *out = psa;
  return S_OK;
}

HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** out) {
  ULONG size = ElementSize(vt);
  if (!size) return DISP_E_BADVARTYPE;
  HRESULT hr = SafeArrayAllocDescriptor(cDims, out);
  if (FAILED(hr)) return hr;
  (*out)->cbElements = size;
  (*out)->fFeatures = static_cast<USHORT>(FeaturesOf(vt) | FADF_HAVEVARTYPE);
  PrefixOf(*out)->vt = vt;
  return S_OK;
}

HRESULT SafeArrayAllocData(SAFEARRAY* psa) {
  if (!psa || !psa->cbElements) return E_INVALIDARG;
  std::size_t n = ElementCount(psa);
  psa->pvData = std::calloc(n ? n : 1, psa->cbElements);
  return psa->pvData ? S_OK : E_OUTOFMEMORY;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound || cDims == 0) return nullptr;
  SAFEARRAY* psa = nullptr;
  if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroyData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  if (psa->pvData) {
    std::size_t n = ElementCount(psa);
    if (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT)) {
      for (std::size_t i = 0; i < n; ++i) ReleaseElement(psa, static_cast<BYTE*>(psa->pvData) + i * psa->cbElements);
    }
    if (!(psa->fFeatures & FADF_STATIC)) {
      std::free(psa->pvData);
      psa->pvData = nullptr;
    }
  }
  return S_OK;
}

HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  std::free(PrefixOf(psa));
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  SafeArrayDestroyData(psa);
  return SafeArrayDestroyDescriptor(psa);
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }
UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_HAVEVARTYPE) {
    *pvt = PrefixOf(psa)->vt;
  } else if (psa->fFeatures & FADF_BSTR) {
    *pvt = VT_BSTR;
  } else if (psa->fFeatures & FADF_UNKNOWN) {
    *pvt = VT_UNKNOWN;
  } else if (psa->fFeatures & FADF_DISPATCH) {
    *pvt = VT_DISPATCH;
  } else if (psa->fFeatures & FADF_VARIANT) {
    *pvt = VT_VARIANT;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<std::int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  SafeArrayLock(psa);
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  std::size_t offset = 0, multiplier = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
    std::int64_t rel = static_cast<std::int64_t>(rgIndices[d]) - b.lLbound;
    if (rel < 0 || rel >= static_cast<std::int64_t>(b.cElements)) return DISP_E_BADINDEX;
    offset += static_cast<std::size_t>(rel) * multiplier;
    multiplier *= b.cElements;
  }
  *ppvData = static_cast<BYTE*>(psa->pvData) + offset * psa->cbElements;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !pv) return E_INVALIDARG;
  void* cell;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (FAILED(hr)) return hr;
  SafeArrayLock(psa);
  hr = CopyElement(psa, cell, pv);
  SafeArrayUnlock(psa);
  return hr;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa) return E_INVALIDARG;
  void* cell;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &cell);
  if (FAILED(hr)) return hr;
  SafeArrayLock(psa);
  if (psa->fFeatures & FADF_BSTR) {
    // The BSTR itself is passed, not its address.
    BSTR src = static_cast<BSTR>(pv);
    BSTR copy = src ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src)) : nullptr;
    if (src && !copy) {
      hr = E_OUTOFMEMORY;
    } else {
      ReleaseElement(psa, cell);
      *static_cast<BSTR*>(cell) = copy;
    }
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    // So is the interface pointer.
    auto* u = static_cast<IUnknown*>(pv);
    if (u) u->AddRef();
    ReleaseElement(psa, cell);
    *static_cast<IUnknown**>(cell) = u;
  } else if (psa->fFeatures & FADF_VARIANT) {
    if (!pv) {
      hr = E_INVALIDARG;
    } else {
      hr = VariantCopy(static_cast<VARIANT*>(cell), static_cast<const VARIANT*>(pv));
    }
  } else {
    if (!pv) {
      hr = E_INVALIDARG;
    } else {
      std::memcpy(cell, pv, psa->cbElements);
    }
  }
  SafeArrayUnlock(psa);
  return hr;
}

HRESULT SafeArrayCopyData(SAFEARRAY* src, SAFEARRAY* dst) {
  if (!src || !dst || src->cDims != dst->cDims || src->cbElements != dst->cbElements) return E_INVALIDARG;
  for (USHORT i = 0; i < src->cDims; ++i) {
    if (src->rgsabound[i].cElements != dst->rgsabound[i].cElements) return E_INVALIDARG;
  }
  std::size_t n = ElementCount(src);
  for (std::size_t i = 0; i < n; ++i) {
    void* target = static_cast<BYTE*>(dst->pvData) + i * dst->cbElements;
    ReleaseElement(dst, target);
    HRESULT hr = CopyElement(src, static_cast<BYTE*>(src->pvData) + i * src->cbElements, target);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy = nullptr;
  HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
  if (FAILED(hr)) return hr;
  copy->cbElements = psa->cbElements;
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_HAVEVARTYPE));
  PrefixOf(copy)->vt = PrefixOf(psa)->vt;
  for (USHORT i = 0; i < psa->cDims; ++i) copy->rgsabound[i] = psa->rgsabound[i];
  hr = SafeArrayAllocData(copy);
  if (SUCCEEDED(hr)) hr = SafeArrayCopyData(psa, copy);
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew) {
  if (!psa || !psaboundNew) return E_INVALIDARG;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  if (psa->fFeatures & FADF_FIXEDSIZE) return E_INVALIDARG;
  std::size_t oldCount = ElementCount(psa);
  std::size_t slice = oldCount / (psa->rgsabound[0].cElements ? psa->rgsabound[0].cElements : 1);
  if (psa->rgsabound[0].cElements == 0) {
    slice = 1;
    for (USHORT i = 1; i < psa->cDims; ++i) slice *= psa->rgsabound[i].cElements;
  }
  std::size_t newCount = slice * psaboundNew->cElements;
  for (std::size_t i = newCount; i < oldCount; ++i) {
    ReleaseElement(psa, static_cast<BYTE*>(psa->pvData) + i * psa->cbElements);
  }
  void* data = std::realloc(psa->pvData, (newCount ? newCount : 1) * psa->cbElements);
  if (!data) return E_OUTOFMEMORY;
  if (newCount > oldCount) {
    std::memset(static_cast<BYTE*>(data) + oldCount * psa->cbElements, 0, (newCount - oldCount) * psa->cbElements);
  }
  psa->pvData = data;
  psa->rgsabound[0] = *psaboundNew;
  return S_OK;
}
