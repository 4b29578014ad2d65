// Fuzzes VariantChangeType with arbitrary text. The first byte picks the conversion flags, the
// rest is UTF-8 text. For every numeric, date and boolean type: a conversion either fails with an
// error or gives a value whose text converts back to the same value (after one pass, text and
// value are stable; single precision comes back within its written digits, and the largest reals
// may overflow on the way back); values also convert between all the types without crashing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/base/utf8.h"
#include "platform/com/com.h"

namespace {

// Reports the failed property's line before stopping, so a crash report says which one broke.
#define Check(ok) \
  ((ok) ? (void)0 : (std::fprintf(stderr, "property failed at line %d: %s\n", __LINE__, #ok), std::abort()))

constexpr VARTYPE kTypes[] = {VT_I1, VT_UI1, VT_I2,  VT_UI2, VT_I4, VT_UI4,  VT_I8,  VT_UI8,
                              VT_INT, VT_UINT, VT_R4, VT_R8,  VT_CY, VT_DATE, VT_BOOL, VT_DECIMAL};

// The value's text, or "" with false when it has none.
bool TextOf(const VARIANT& v, USHORT flags, std::wstring* text) {
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = VariantChangeType(&out, &v, flags, VT_BSTR);
  if (FAILED(hr)) return false;
  Check(out.vt == VT_BSTR);
  *text = out.bstrVal ? std::wstring(out.bstrVal, SysStringLen(out.bstrVal)) : std::wstring();
  VariantClear(&out);
  return true;
}

HRESULT FromText(const std::wstring& text, USHORT flags, VARTYPE vt, VARIANT* out) {
  VARIANT src;
  VariantInit(&src);
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  VariantInit(out);
  HRESULT hr = VariantChangeType(out, &src, flags, vt);
  VariantClear(&src);
  if (FAILED(hr)) {
    Check(out->vt == VT_EMPTY);
    return hr;
  }
  Check(out->vt == vt);
  return hr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 512) return 0;
  const USHORT flags = static_cast<USHORT>(data[0] & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL));
  std::wstring text = platform::utf8::ToWide(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  for (VARTYPE vt : kTypes) {
    VARIANT value;
    if (FAILED(FromText(text, flags, vt, &value))) continue;
    std::wstring once;
    Check(TextOf(value, flags, &once));  // every value of these types has a text
    VARIANT again;
    HRESULT hr = FromText(once, flags, vt, &again);
    // The text reads back; only the largest reals, written with 15 significant digits, may round
    // up past the type's limit.
    if (hr == DISP_E_OVERFLOW && (vt == VT_R4 || vt == VT_R8)) {
      VariantClear(&value);
      continue;
    }
    Check(SUCCEEDED(hr));
    if (vt == VT_R4) {
      // Single precision is written with 7 significant digits, fewer than a float needs to
      // come back exactly: the value read back is within the last written digit.
      Check(std::fabs(again.fltVal - value.fltVal) <= 1e-6 * std::fabs(value.fltVal));
    } else {
      std::wstring twice;
      Check(TextOf(again, flags, &twice));
      Check(once == twice);
    }
    for (VARTYPE other : kTypes) {
      VARIANT converted;
      VariantInit(&converted);
      if (SUCCEEDED(VariantChangeType(&converted, &value, 0, other))) Check(converted.vt == other);
      VariantClear(&converted);
    }
    VariantClear(&again);
    VariantClear(&value);
  }
  return 0;
}
