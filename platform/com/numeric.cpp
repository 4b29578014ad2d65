// Exact decimals, currency arithmetic and the locale-neutral number text forms.
#include <charconv>
#include <cmath>
#include <cwctype>

#include "platform/com/numeric_internal.h"

namespace platform::com::detail {
namespace {

using Wide = std::uint64_t[4];

bool IsZero(const Wide& w) { return (w[0] | w[1] | w[2] | w[3]) == 0; }
bool Fits96(const Wide& w) { return w[3] == 0 && w[2] == 0 && (w[1] >> 32) == 0; }

// w *= m; returns false on overflow past 256 bits.
bool MulSmall(Wide& w, std::uint64_t m) {
  u128 carry = 0;
  for (auto& limb : w) {
    u128 p = static_cast<u128>(limb) * m + carry;
    limb = static_cast<std::uint64_t>(p);
    carry = p >> 64;
  }
  return carry == 0;
}

bool AddSmall(Wide& w, std::uint64_t a) {
  for (auto& limb : w) {
    u128 s = static_cast<u128>(limb) + a;
    limb = static_cast<std::uint64_t>(s);
    a = static_cast<std::uint64_t>(s >> 64);
    if (!a) return true;
  }
  return a == 0;
}

std::uint32_t DivSmall(Wide& w, std::uint32_t d) {
  u128 rem = 0;
  for (int i = 3; i >= 0; --i) {
    u128 cur = (rem << 64) | w[i];
    w[i] = static_cast<std::uint64_t>(cur / d);
    rem = cur % d;
  }
  return static_cast<std::uint32_t>(rem);
}

int Compare(const Wide& a, const Wide& b) {
  for (int i = 3; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

void Sub(Wide& a, const Wide& b) {  // a -= b, a >= b
  std::uint64_t borrow = 0;
  for (int i = 0; i < 4; ++i) {
    u128 d = static_cast<u128>(a[i]) - b[i] - borrow;
    a[i] = static_cast<std::uint64_t>(d);
    borrow = (d >> 64) ? 1 : 0;
  }
}

void Add(Wide& a, const Wide& b) {
  std::uint64_t carry = 0;
  for (int i = 0; i < 4; ++i) {
    u128 s = static_cast<u128>(a[i]) + b[i] + carry;
    a[i] = static_cast<std::uint64_t>(s);
    carry = static_cast<std::uint64_t>(s >> 64);
  }
}

void FromU128(Wide& w, u128 v) {
  w[0] = static_cast<std::uint64_t>(v);
  w[1] = static_cast<std::uint64_t>(v >> 64);
  w[2] = w[3] = 0;
}

u128 ToU128(const Wide& w) { return (static_cast<u128>(w[1]) << 64) | w[0]; }

bool ScaleUp(Wide& w, int digits) {
  for (int i = 0; i < digits; ++i) {
    if (!MulSmall(w, 10)) return false;
  }
  return true;
}

// Quotient and remainder of 256-bit by 256-bit, shift and subtract.
void DivWide(const Wide& n, const Wide& d, Wide& q, Wide& r) {
  for (int i = 0; i < 4; ++i) q[i] = r[i] = 0;
  for (int bit = 255; bit >= 0; --bit) {
    // r = (r << 1) | bit
    for (int i = 3; i > 0; --i) r[i] = (r[i] << 1) | (r[i - 1] >> 63);
    r[0] = (r[0] << 1) | ((n[bit / 64] >> (bit % 64)) & 1);
    if (Compare(r, d) >= 0) {
      Sub(r, d);
      q[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
  }
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

Dec FromDECIMAL(const DECIMAL& d) {
  Dec out;
  out.neg = (d.sign & DECIMAL_NEG) != 0;
  out.mant = (static_cast<u128>(d.Hi32) << 64) | d.Lo64;
  out.scale = d.scale;
  return out;
}

DECIMAL ToDECIMAL(const Dec& d) {
  DECIMAL out;
  out.wReserved = VT_DECIMAL;
  out.scale = static_cast<BYTE>(d.scale);
  out.sign = (d.neg && d.mant != 0) ? DECIMAL_NEG : 0;
  out.Hi32 = static_cast<ULONG>(d.mant >> 64);
  out.Lo64 = static_cast<ULONGLONG>(d.mant);
  return out;
}

bool NormalizeWide(bool neg, const std::uint64_t (&wide)[4], int scale, bool sticky, Dec* out) {
  Wide w = {wide[0], wide[1], wide[2], wide[3]};
  int last = -1;
  for (;;) {
    while (scale > 28 || !Fits96(w)) {
      if (scale <= 0) return false;
      if (last > 0) sticky = true;
      last = static_cast<int>(DivSmall(w, 10));
      --scale;
    }
    if (last > 5 || (last == 5 && (sticky || (w[0] & 1)))) {
      AddSmall(w, 1);
      last = 0;
      sticky = true;
      if (!Fits96(w)) continue;
    }
    break;
  }
  out->neg = neg;
  out->mant = ToU128(w);
  out->scale = scale;
  return true;
}

std::optional<Dec> DecFromDouble(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  if (std::fabs(v) >= 7.9228162514264337593543950335e28) return std::nullopt;
  std::wstring text = FormatDouble(v, 15);
  auto parsed = ParseNumber(text.c_str());
  if (!parsed || !parsed->dec) {
    // Smaller than the smallest decimal step: zero.
    if (std::fabs(v) < 1e-28) return Dec{};
    return std::nullopt;
  }
  return parsed->dec;
}

double DecToDouble(const Dec& d) {
  long double v = static_cast<long double>(d.mant);
  for (int i = 0; i < d.scale; ++i) v /= 10.0L;
  return static_cast<double>(d.neg ? -v : v);
}

Dec DecRound(const Dec& d, int decimals) {
  if (decimals < 0) decimals = 0;
  if (d.scale <= decimals) return d;
  Wide w;
  FromU128(w, d.mant);
  int last = -1;
  bool sticky = false;
  int scale = d.scale;
  while (scale > decimals) {
    if (last > 0) sticky = true;
    last = static_cast<int>(DivSmall(w, 10));
    --scale;
  }
  if (last > 5 || (last == 5 && (sticky || (w[0] & 1)))) AddSmall(w, 1);
  Dec out{d.neg, ToU128(w), scale};
  return out;
}

bool DecToUInt64(const Dec& d, std::uint64_t* out) {
  Dec r = DecRound(d, 0);
  if (r.mant == 0) {
    *out = 0;
    return true;
  }
  if (r.neg || r.mant > UINT64_MAX) return false;
  *out = static_cast<std::uint64_t>(r.mant);
  return true;
}

bool DecToInt64(const Dec& d, std::int64_t* out) {
  Dec r = DecRound(d, 0);
  if (r.mant == 0) {
    *out = 0;
    return true;
  }
  u128 limit = r.neg ? (static_cast<u128>(INT64_MAX) + 1) : static_cast<u128>(INT64_MAX);
  if (r.mant > limit) return false;
  *out = r.neg ? static_cast<std::int64_t>(-static_cast<__int128>(r.mant)) : static_cast<std::int64_t>(r.mant);
  return true;
}

std::wstring DecToText(const Dec& d) {
  // The digits, last first, then turned; whole numbers of 64 bits divide without 128-bit steps.
  wchar_t reversed[48];  // the 39 digits of 128 bits at most
  int count = 0;
  u128 m = d.mant;
  while (m > UINT64_MAX) {
    reversed[count++] = static_cast<wchar_t>(L'0' + static_cast<int>(m % 10));
    m /= 10;
  }
  std::uint64_t low = static_cast<std::uint64_t>(m);
  do {
    reversed[count++] = static_cast<wchar_t>(L'0' + static_cast<int>(low % 10));
    low /= 10;
  } while (low != 0);
  const int scale = d.scale > 0 ? d.scale : 0;
  // The fraction's digits are the first `scale` of the reversed ones (zeros where there are
  // fewer), its trailing zeros the first of those.
  int skip = 0;
  while (skip < scale && (skip >= count || reversed[skip] == L'0')) ++skip;
  std::wstring text;
  text.reserve(static_cast<size_t>(count + scale + 3));
  if (d.neg && d.mant != 0) text += L'-';
  if (count <= scale) text += L'0';
  for (int k = count - 1; k >= scale; --k) text += reversed[k];
  if (skip < scale) {
    text += L'.';
    for (int k = scale - 1; k >= skip; --k) text += k < count ? reversed[k] : L'0';
  }
  return text;
}

int DecCompare(const Dec& a, const Dec& b) {
  bool an = a.neg && a.mant != 0, bn = b.neg && b.mant != 0;
  if (an != bn) return an ? -1 : 1;
  Wide wa, wb;
  FromU128(wa, a.mant);
  FromU128(wb, b.mant);
  int s = a.scale > b.scale ? a.scale : b.scale;
  ScaleUp(wa, s - a.scale);
  ScaleUp(wb, s - b.scale);
  int c = Compare(wa, wb);
  return an ? -c : c;
}

std::optional<ParsedNumber> ParseNumber(const wchar_t* text) {
  if (!text) return std::nullopt;
  const wchar_t* p = text;
  while (IsSpace(*p)) ++p;
  ParsedNumber result;
  // &H / &O integers.
  if (p[0] == L'&' && (p[1] == L'H' || p[1] == L'h' || p[1] == L'O' || p[1] == L'o')) {
    unsigned base = (p[1] == L'H' || p[1] == L'h') ? 16 : 8;
    p += 2;
    std::uint64_t v = 0;
    int count = 0;
    for (;; ++p, ++count) {
      unsigned digit;
      if (*p >= L'0' && *p <= L'9') {
        digit = static_cast<unsigned>(*p - L'0');
      } else if (base == 16 && std::iswxdigit(static_cast<wint_t>(*p))) {
        digit = static_cast<unsigned>(std::towupper(static_cast<wint_t>(*p)) - L'A' + 10);
      } else {
        break;
      }
      if (digit >= base || v > (UINT64_MAX >> 4)) return std::nullopt;
      v = v * base + digit;
    }
    while (IsSpace(*p)) ++p;
    if (count == 0 || *p) return std::nullopt;
    result.dec = Dec{false, v, 0};
    result.real = static_cast<double>(v);
    return result;
  }
  bool neg = false;
  if (*p == L'+' || *p == L'-') {
    neg = *p == L'-';
    ++p;
  }
  std::string ascii;  // for from_chars
  Wide w = {0, 0, 0, 0};
  int sigDigits = 0, fracDigits = 0, droppedScale = 0;
  bool sticky = false, anyDigit = false;
  auto takeDigit = [&](wchar_t c, bool fraction) {
    int digit = c - L'0';
    anyDigit = true;
    ascii.push_back(static_cast<char>(c));
    if (sigDigits == 0 && digit == 0) {
      if (fraction) ++fracDigits;
      return;
    }
    if (sigDigits < 70) {
      MulSmall(w, 10);
      AddSmall(w, static_cast<std::uint64_t>(digit));
      ++sigDigits;
      if (fraction) ++fracDigits;
    } else {
      // Beyond 70 digits only the rounding matters.
      if (digit) sticky = true;
      if (!fraction) ++droppedScale;
    }
  };
  while (*p >= L'0' && *p <= L'9') takeDigit(*p++, false);
  if (*p == L'.') {
    ascii.push_back('.');
    ++p;
    while (*p >= L'0' && *p <= L'9') takeDigit(*p++, true);
  }
  if (!anyDigit) return std::nullopt;
  long exponent = 0;
  if (*p == L'e' || *p == L'E' || *p == L'd' || *p == L'D') {
    ++p;
    bool eneg = false;
    if (*p == L'+' || *p == L'-') {
      eneg = *p == L'-';
      ++p;
    }
    if (!(*p >= L'0' && *p <= L'9')) return std::nullopt;
    while (*p >= L'0' && *p <= L'9') {
      if (exponent < 100000) exponent = exponent * 10 + (*p - L'0');
      ++p;
    }
    if (eneg) exponent = -exponent;
  }
  while (IsSpace(*p)) ++p;
  if (*p) return std::nullopt;

  std::string full = ascii + "e" + std::to_string(exponent);
  double real = 0;
  auto [end, ec] = std::from_chars(full.data(), full.data() + full.size(), real);
  if (ec == std::errc::result_out_of_range) {
    real = std::fabs(exponent) > 0 && exponent < 0 ? 0.0 : HUGE_VAL;
  }
  result.real = neg ? -real : real;

  long scale = static_cast<long>(fracDigits) - exponent - droppedScale;
  if (IsZero(w)) {
    result.dec = Dec{};
    return result;
  }
  if (scale < 0) {
    if (scale < -40 || !ScaleUp(w, static_cast<int>(-scale))) return result;
    scale = 0;
  }
  if (scale > 120) {
    result.dec = Dec{};  // far below the smallest step
    return result;
  }
  Dec d;
  if (NormalizeWide(neg, w, static_cast<int>(scale), sticky, &d)) result.dec = d;
  return result;
}

std::wstring FormatDouble(double v, int significant) {
  if (v == 0) return L"0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, significant);
  std::wstring out;
  for (char* c = buf; c < end; ++c) out.push_back(*c == 'e' ? L'E' : static_cast<wchar_t>(*c));
  return out;
}

std::wstring FormatCy(std::int64_t cy) {
  Dec d;
  d.neg = cy < 0;
  d.mant = cy < 0 ? static_cast<u128>(-static_cast<__int128>(cy)) : static_cast<u128>(cy);
  d.scale = 4;
  return DecToText(d);
}

}  // namespace platform::com::detail

using namespace platform::com::detail;

// ---- currency ----

namespace {
constexpr __int128 kCyMax = INT64_MAX;
constexpr __int128 kCyMin = INT64_MIN;

HRESULT StoreCy(__int128 v, CY* out) {
  if (!out) return E_INVALIDARG;
  if (v > kCyMax || v < kCyMin) return DISP_E_OVERFLOW;
  out->int64 = static_cast<LONGLONG>(v);
  return S_OK;
}

// v / d rounded half to even.
__int128 DivRound(__int128 v, __int128 d) {
  __int128 q = v / d, r = v % d;
  __int128 twice = (r < 0 ? -r : r) * 2;
  if (twice > d || (twice == d && (q & 1))) q += (v < 0) ? -1 : 1;
  return q;
}
}  // namespace

HRESULT VarCyAdd(CY a, CY b, CY* r) { return StoreCy(static_cast<__int128>(a.int64) + b.int64, r); }
HRESULT VarCySub(CY a, CY b, CY* r) { return StoreCy(static_cast<__int128>(a.int64) - b.int64, r); }
HRESULT VarCyMul(CY a, CY b, CY* r) {
  return StoreCy(DivRound(static_cast<__int128>(a.int64) * b.int64, 10000), r);
}
HRESULT VarCyMulI4(CY a, LONG b, CY* r) { return StoreCy(static_cast<__int128>(a.int64) * b, r); }
HRESULT VarCyMulI8(CY a, LONG64 b, CY* r) { return StoreCy(static_cast<__int128>(a.int64) * b, r); }
HRESULT VarCyNeg(CY a, CY* r) { return StoreCy(-static_cast<__int128>(a.int64), r); }
HRESULT VarCyAbs(CY a, CY* r) {
  __int128 v = a.int64;
  return StoreCy(v < 0 ? -v : v, r);
}
HRESULT VarCyFix(CY a, CY* r) { return StoreCy(static_cast<__int128>(a.int64 / 10000) * 10000, r); }
HRESULT VarCyInt(CY a, CY* r) {
  __int128 v = a.int64, q = v / 10000;
  if (v % 10000 < 0) --q;
  return StoreCy(q * 10000, r);
}
HRESULT VarCyRound(CY a, int decimals, CY* r) {
  if (decimals < 0) return E_INVALIDARG;
  if (decimals >= 4) return StoreCy(a.int64, r);
  __int128 unit = 1;
  for (int i = decimals; i < 4; ++i) unit *= 10;
  return StoreCy(DivRound(a.int64, unit) * unit, r);
}
HRESULT VarCyCmp(CY a, CY b) { return a.int64 < b.int64 ? VARCMP_LT : a.int64 > b.int64 ? VARCMP_GT : VARCMP_EQ; }
HRESULT VarCyCmpR8(CY a, double b) {
  CY other;
  HRESULT hr = VarCyFromR8(b, &other);
  if (FAILED(hr)) return b > 0 ? VARCMP_LT : VARCMP_GT;
  return VarCyCmp(a, other);
}

HRESULT VarCyFromR8(DOUBLE v, CY* out) {
  if (!out) return E_INVALIDARG;
  if (!std::isfinite(v)) return DISP_E_OVERFLOW;
  double scaled = std::nearbyint(v * 10000.0);
  if (scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0) return DISP_E_OVERFLOW;
  out->int64 = static_cast<LONGLONG>(scaled);
  return S_OK;
}
HRESULT VarR8FromCy(CY v, DOUBLE* out) {
  if (!out) return E_INVALIDARG;
  *out = static_cast<double>(v.int64) / 10000.0;
  return S_OK;
}
HRESULT VarCyFromI4(LONG v, CY* out) { return StoreCy(static_cast<__int128>(v) * 10000, out); }
HRESULT VarCyFromI8(LONG64 v, CY* out) { return StoreCy(static_cast<__int128>(v) * 10000, out); }
HRESULT VarI4FromCy(CY v, LONG* out) {
  if (!out) return E_INVALIDARG;
  __int128 q = DivRound(v.int64, 10000);
  if (q > INT32_MAX || q < INT32_MIN) return DISP_E_OVERFLOW;
  *out = static_cast<LONG>(q);
  return S_OK;
}

// ---- decimals ----

namespace {
HRESULT StoreDec(bool neg, const std::uint64_t (&w)[4], int scale, bool sticky, DECIMAL* out) {
  if (!out) return E_INVALIDARG;
  Dec d;
  if (!NormalizeWide(neg, w, scale, sticky, &d)) return DISP_E_OVERFLOW;
  *out = ToDECIMAL(d);
  return S_OK;
}

HRESULT AddDec(const DECIMAL* l, const DECIMAL* r, bool negateRight, DECIMAL* out) {
  if (!l || !r || !out) return E_INVALIDARG;
  Dec a = FromDECIMAL(*l), b = FromDECIMAL(*r);
  if (negateRight) b.neg = !b.neg;
  int s = a.scale > b.scale ? a.scale : b.scale;
  Wide wa, wb;
  FromU128(wa, a.mant);
  FromU128(wb, b.mant);
  ScaleUp(wa, s - a.scale);
  ScaleUp(wb, s - b.scale);
  bool an = a.neg && a.mant != 0, bn = b.neg && b.mant != 0;
  if (an == bn) {
    Add(wa, wb);
    return StoreDec(an, wa, s, false, out);
  }
  if (Compare(wa, wb) >= 0) {
    Sub(wa, wb);
    return StoreDec(an, wa, s, false, out);
  }
  Sub(wb, wa);
  return StoreDec(bn, wb, s, false, out);
}
}  // namespace

HRESULT VarDecAdd(const DECIMAL* l, const DECIMAL* r, DECIMAL* out) { return AddDec(l, r, false, out); }
HRESULT VarDecSub(const DECIMAL* l, const DECIMAL* r, DECIMAL* out) { return AddDec(l, r, true, out); }

HRESULT VarDecMul(const DECIMAL* l, const DECIMAL* r, DECIMAL* out) {
  if (!l || !r || !out) return E_INVALIDARG;
  Dec a = FromDECIMAL(*l), b = FromDECIMAL(*r);
  // 96 x 96 bits: multiply limb by limb.
  Wide w = {0, 0, 0, 0};
  std::uint32_t x[3] = {static_cast<std::uint32_t>(a.mant), static_cast<std::uint32_t>(a.mant >> 32),
                        static_cast<std::uint32_t>(a.mant >> 64)};
  for (int i = 0; i < 3; ++i) {
    Wide part;
    FromU128(part, b.mant);
    MulSmall(part, x[i]);
    for (int s = 0; s < i; ++s) MulSmall(part, std::uint64_t{1} << 32);
    Add(w, part);
  }
  return StoreDec(a.neg != b.neg, w, a.scale + b.scale, false, out);
}

HRESULT VarDecDiv(const DECIMAL* l, const DECIMAL* r, DECIMAL* out) {
  if (!l || !r || !out) return E_INVALIDARG;
  Dec a = FromDECIMAL(*l), b = FromDECIMAL(*r);
  if (b.mant == 0) return DISP_E_DIVBYZERO;
  Wide n, d, q, rem;
  FromU128(n, a.mant);
  FromU128(d, b.mant);
  int k = 0;
  while (k < 48) {
    Wide t = {n[0], n[1], n[2], n[3]};
    if (!MulSmall(t, 10) || (t[3] >> 62)) break;
    for (int i = 0; i < 4; ++i) n[i] = t[i];
    ++k;
  }
  DivWide(n, d, q, rem);
  int scale = a.scale + k - b.scale;
  if (scale < 0) {
    if (!ScaleUp(q, -scale)) return DISP_E_OVERFLOW;
    scale = 0;
  }
  HRESULT hr = StoreDec(a.neg != b.neg, q, scale, !IsZero(rem), out);
  if (SUCCEEDED(hr)) {
    // Drop trailing zeros that the widening introduced.
    Dec res = FromDECIMAL(*out);
    while (res.scale > 0 && res.mant % 10 == 0) {
      res.mant /= 10;
      --res.scale;
    }
    *out = ToDECIMAL(res);
  }
  return hr;
}

HRESULT VarDecNeg(const DECIMAL* in, DECIMAL* out) {
  if (!in || !out) return E_INVALIDARG;
  *out = *in;
  out->sign ^= DECIMAL_NEG;
  return S_OK;
}
HRESULT VarDecAbs(const DECIMAL* in, DECIMAL* out) {
  if (!in || !out) return E_INVALIDARG;
  *out = *in;
  out->sign = 0;
  return S_OK;
}
HRESULT VarDecFix(const DECIMAL* in, DECIMAL* out) {
  if (!in || !out) return E_INVALIDARG;
  Dec d = FromDECIMAL(*in);
  while (d.scale > 0) {
    d.mant /= 10;
    --d.scale;
  }
  *out = ToDECIMAL(d);
  return S_OK;
}
HRESULT VarDecInt(const DECIMAL* in, DECIMAL* out) {
  if (!in || !out) return E_INVALIDARG;
  Dec d = FromDECIMAL(*in);
  bool dropped = false;
  while (d.scale > 0) {
    if (d.mant % 10) dropped = true;
    d.mant /= 10;
    --d.scale;
  }
  if (dropped && d.neg) d.mant += 1;
  *out = ToDECIMAL(d);
  return S_OK;
}
HRESULT VarDecRound(const DECIMAL* in, int decimals, DECIMAL* out) {
  if (!in || !out || decimals < 0) return E_INVALIDARG;
  *out = ToDECIMAL(DecRound(FromDECIMAL(*in), decimals));
  return S_OK;
}
HRESULT VarDecCmp(const DECIMAL* l, const DECIMAL* r) {
  if (!l || !r) return E_INVALIDARG;
  int c = DecCompare(FromDECIMAL(*l), FromDECIMAL(*r));
  return c < 0 ? VARCMP_LT : c > 0 ? VARCMP_GT : VARCMP_EQ;
}

HRESULT VarDecFromR8(DOUBLE v, DECIMAL* out) {
  if (!out) return E_INVALIDARG;
  auto d = DecFromDouble(v);
  if (!d) return DISP_E_OVERFLOW;
  *out = ToDECIMAL(*d);
  return S_OK;
}
HRESULT VarR8FromDec(const DECIMAL* in, DOUBLE* out) {
  if (!in || !out) return E_INVALIDARG;
  *out = DecToDouble(FromDECIMAL(*in));
  return S_OK;
}
HRESULT VarDecFromI8(LONG64 v, DECIMAL* out) {
  if (!out) return E_INVALIDARG;
  Dec d;
  d.neg = v < 0;
  d.mant = v < 0 ? static_cast<u128>(-static_cast<__int128>(v)) : static_cast<u128>(v);
  *out = ToDECIMAL(d);
  return S_OK;
}
HRESULT VarDecFromI4(LONG v, DECIMAL* out) { return VarDecFromI8(v, out); }
HRESULT VarDecFromCy(CY v, DECIMAL* out) {
  if (!out) return E_INVALIDARG;
  Dec d;
  d.neg = v.int64 < 0;
  d.mant = v.int64 < 0 ? static_cast<u128>(-static_cast<__int128>(v.int64)) : static_cast<u128>(v.int64);
  d.scale = 4;
  *out = ToDECIMAL(d);
  return S_OK;
}
HRESULT VarCyFromDec(const DECIMAL* in, CY* out) {
  if (!in || !out) return E_INVALIDARG;
  Dec d = FromDECIMAL(*in);
  Wide w;
  FromU128(w, d.mant);
  Dec scaled;
  if (d.scale <= 4) {
    if (!ScaleUp(w, 4 - d.scale)) return DISP_E_OVERFLOW;
    scaled = Dec{d.neg, 0, 0};
    if (!Fits96(w) && (w[2] || w[3])) return DISP_E_OVERFLOW;
    scaled.mant = ToU128(w);
  } else {
    scaled = DecRound(d, 4);
    scaled.scale = 0;
  }
  std::int64_t v;
  if (!DecToInt64(scaled, &v)) return DISP_E_OVERFLOW;
  out->int64 = v;
  return S_OK;
}
HRESULT VarI4FromDec(const DECIMAL* in, LONG* out) {
  if (!in || !out) return E_INVALIDARG;
  std::int64_t v;
  if (!DecToInt64(FromDECIMAL(*in), &v) || v > INT32_MAX || v < INT32_MIN) return DISP_E_OVERFLOW;
  *out = static_cast<LONG>(v);
  return S_OK;
}
