#include "platform/strings/locale.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct LocaleTable {
  LCID id;
  const wchar_t* name;            // LOCALE_SNAME
  const wchar_t* language;        // LOCALE_SLANGUAGE
  const wchar_t* nativeLanguage;  // LOCALE_SNATIVELANGNAME
  const wchar_t* englishLanguage;
  const wchar_t* abbrevLanguage;
  const wchar_t* country;
  const wchar_t* englishCountry;
  const wchar_t* iso639;
  const wchar_t* iso3166;
  DWORD countryCode;
  DWORD ansiCodePage;
  const wchar_t* list;
  DWORD measure;
  const wchar_t* decimal;
  const wchar_t* thousand;
  const wchar_t* grouping;
  DWORD digits;
  DWORD leadingZero;
  DWORD negativeNumber;
  const wchar_t* currency;
  const wchar_t* intlSymbol;
  const wchar_t* monDecimal;
  const wchar_t* monThousand;
  const wchar_t* monGrouping;
  DWORD currencyDigits;
  DWORD currencyOrder;
  DWORD negativeCurrency;
  const wchar_t* dateSep;
  const wchar_t* timeSep;
  const wchar_t* shortDate;
  const wchar_t* longDate;
  const wchar_t* timeFormat;
  DWORD dateOrder;
  const wchar_t* am;
  const wchar_t* pm;
  DWORD firstDayOfWeek;  // 0 Monday
  const wchar_t* days[7];
  const wchar_t* abbrevDays[7];
  const wchar_t* months[12];
  const wchar_t* abbrevMonths[12];
};

// The thousand separator of Polish is the no-break space, as the platform gives it.
const LocaleTable kPolish{
    1045, L"pl-PL", L"polski (Polska)", L"polski", L"Polish", L"PLK", L"Polska", L"Poland", L"pl", L"PL", 48, 1250,
    L";", 0, L",", L"\u00a0", L"3;0", 2, 1, 1, L"zł", L"PLN", L",", L"\u00a0", L"3;0", 2, 3, 8, L".", L":",
    L"yyyy-MM-dd", L"d MMMM yyyy", L"HH:mm:ss", 2, L"", L"", 0,
    {L"poniedziałek", L"wtorek", L"środa", L"czwartek", L"piątek", L"sobota", L"niedziela"},
    {L"pn", L"wt", L"śr", L"cz", L"pt", L"so", L"N"},
    {L"styczeń", L"luty", L"marzec", L"kwiecień", L"maj", L"czerwiec", L"lipiec", L"sierpień", L"wrzesień",
     L"październik", L"listopad", L"grudzień"},
    {L"sty", L"lut", L"mar", L"kwi", L"maj", L"cze", L"lip", L"sie", L"wrz", L"paź", L"lis", L"gru"}};

const LocaleTable kEnglish{
    1033, L"en-US", L"English (United States)", L"English", L"English", L"ENU", L"United States", L"United States",
    L"en", L"US", 1, 1252, L",", 1, L".", L",", L"3;0", 2, 1, 1, L"$", L"USD", L".", L",", L"3;0", 2, 0, 0, L"/",
    L":", L"M/d/yyyy", L"dddd, MMMM d, yyyy", L"h:mm:ss tt", 0, L"AM", L"PM", 6,
    {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday", L"Sunday"},
    {L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat", L"Sun"},
    {L"January", L"February", L"March", L"April", L"May", L"June", L"July", L"August", L"September", L"October",
     L"November", L"December"},
    {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"}};

const LocaleTable kInvariant{
    0x007F, L"", L"Invariant Language (Invariant Country)", L"Invariant Language", L"Invariant Language", L"IVL",
    L"Invariant Country", L"Invariant Country", L"iv", L"IV", 1, 1252, L",", 1, L".", L",", L"3;0", 2, 1, 1,
    L"\u00a4", L"XDR", L".", L",", L"3;0", 2, 0, 0, L"/", L":", L"MM/dd/yyyy", L"dddd, dd MMMM yyyy",
    L"HH:mm:ss", 0, L"AM", L"PM", 6,
    {L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday", L"Sunday"},
    {L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat", L"Sun"},
    {L"January", L"February", L"March", L"April", L"May", L"June", L"July", L"August", L"September", L"October",
     L"November", L"December"},
    {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"}};

const LocaleTable* Find(LCID locale) {
  switch (LANGIDFROMLCID(locale)) {
    case 0x0000:  // neutral: the user's default
    case LOCALE_USER_DEFAULT:
    case LOCALE_SYSTEM_DEFAULT:
    case 1045:
      return &kPolish;
    case 1033:
      return &kEnglish;
    case LOCALE_INVARIANT:
      return &kInvariant;
    default:
      return nullptr;
  }
}

// Writes `text` as the call's answer: with size 0 only the size is given.
int Answer(const std::wstring& text, LPWSTR out, int size) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (!out || size < needed) return 0;
  std::wmemcpy(out, text.c_str(), text.size() + 1);
  return needed;
}

int AnswerNumber(DWORD value, LPWSTR out, int size) {
  const int needed = static_cast<int>((sizeof(DWORD) + sizeof(wchar_t) - 1) / sizeof(wchar_t));
  if (size == 0) return needed;
  if (!out || size < needed) return 0;
  std::memcpy(out, &value, sizeof value);
  return needed;
}

bool NumericKind(const LocaleTable& t, LCTYPE kind, DWORD& value) {
  switch (kind) {
    case LOCALE_ILANGUAGE: value = t.id; return true;
    case LOCALE_ICOUNTRY: value = t.countryCode; return true;
    case LOCALE_IMEASURE: value = t.measure; return true;
    case LOCALE_IDIGITS: value = t.digits; return true;
    case LOCALE_ILZERO: value = t.leadingZero; return true;
    case LOCALE_ICURRDIGITS: value = t.currencyDigits; return true;
    case LOCALE_ICURRENCY: value = t.currencyOrder; return true;
    case LOCALE_INEGCURR: value = t.negativeCurrency; return true;
    case LOCALE_IDATE: value = t.dateOrder; return true;
    case LOCALE_IDEFAULTANSICODEPAGE: value = t.ansiCodePage; return true;
    case LOCALE_IFIRSTDAYOFWEEK: value = t.firstDayOfWeek; return true;
    case LOCALE_INEGNUMBER: value = t.negativeNumber; return true;
    default: return false;
  }
}

bool TextKind(const LocaleTable& t, LCTYPE kind, std::wstring& text) {
  if (kind >= LOCALE_SDAYNAME1 && kind < LOCALE_SDAYNAME1 + 7) return text = t.days[kind - LOCALE_SDAYNAME1], true;
  if (kind >= LOCALE_SABBREVDAYNAME1 && kind < LOCALE_SABBREVDAYNAME1 + 7)
    return text = t.abbrevDays[kind - LOCALE_SABBREVDAYNAME1], true;
  if (kind >= LOCALE_SMONTHNAME1 && kind < LOCALE_SMONTHNAME1 + 12)
    return text = t.months[kind - LOCALE_SMONTHNAME1], true;
  if (kind >= LOCALE_SABBREVMONTHNAME1 && kind < LOCALE_SABBREVMONTHNAME1 + 12)
    return text = t.abbrevMonths[kind - LOCALE_SABBREVMONTHNAME1], true;
  const wchar_t* s = nullptr;
  switch (kind) {
    case LOCALE_SLANGUAGE: s = t.language; break;
    case LOCALE_SABBREVLANGNAME: s = t.abbrevLanguage; break;
    case LOCALE_SNATIVELANGNAME: s = t.nativeLanguage; break;
    case LOCALE_SCOUNTRY: s = t.country; break;
    case LOCALE_SLIST: s = t.list; break;
    case LOCALE_SDECIMAL: s = t.decimal; break;
    case LOCALE_STHOUSAND: s = t.thousand; break;
    case LOCALE_SGROUPING: s = t.grouping; break;
    case LOCALE_SNATIVEDIGITS: s = L"0123456789"; break;
    case LOCALE_SCURRENCY: s = t.currency; break;
    case LOCALE_SINTLSYMBOL: s = t.intlSymbol; break;
    case LOCALE_SMONDECIMALSEP: s = t.monDecimal; break;
    case LOCALE_SMONTHOUSANDSEP: s = t.monThousand; break;
    case LOCALE_SMONGROUPING: s = t.monGrouping; break;
    case LOCALE_SDATE: s = t.dateSep; break;
    case LOCALE_STIME: s = t.timeSep; break;
    case LOCALE_SSHORTDATE: s = t.shortDate; break;
    case LOCALE_SLONGDATE: s = t.longDate; break;
    case LOCALE_STIMEFORMAT: s = t.timeFormat; break;
    case LOCALE_S1159: s = t.am; break;
    case LOCALE_S2359: s = t.pm; break;
    case LOCALE_SPOSITIVESIGN: s = L""; break;
    case LOCALE_SNEGATIVESIGN: s = L"-"; break;
    case LOCALE_SISO639LANGNAME: s = t.iso639; break;
    case LOCALE_SISO3166CTRYNAME: s = t.iso3166; break;
    case LOCALE_SNAME: s = t.name; break;
    case LOCALE_SENGLANGUAGE: s = t.englishLanguage; break;
    case LOCALE_SENGCOUNTRY: s = t.englishCountry; break;
    default: {
      DWORD value = 0;
      if (!NumericKind(t, kind, value)) return false;
      text = std::to_wstring(value);
      return true;
    }
  }
  text = s;
  return true;
}

// "3;2;0" as the NUMBERFMT grouping number 32.
UINT GroupingNumber(const wchar_t* grouping) {
  UINT n = 0;
  for (const wchar_t* p = grouping; *p; ++p)
    if (*p >= L'1' && *p <= L'9') n = n * 10 + static_cast<UINT>(*p - L'0');
  return n;
}

// Inserts the thousand separator into the integer digits by the grouping number: 3 groups by
// three; 32 three, then two; the last digit of the number repeats.
std::wstring GroupDigits(const std::wstring& digits, UINT grouping, const std::wstring& separator) {
  if (grouping == 0 || digits.size() <= 1) return digits;
  std::wstring sizes = std::to_wstring(grouping);
  std::wstring out;
  size_t left = digits.size();
  size_t group = 0;
  std::vector<std::wstring> parts;
  while (left > 0) {
    const size_t size = static_cast<size_t>(sizes[std::min(group, sizes.size() - 1)] - L'0');
    if (size == 0 || size >= left) {
      parts.push_back(digits.substr(0, left));
      break;
    }
    parts.push_back(digits.substr(left - size, size));
    left -= size;
    ++group;
  }
  for (size_t i = parts.size(); i-- > 0;) {
    out += parts[i];
    if (i) out += separator;
  }
  return out;
}

}  // namespace

LCID GetUserDefaultLCID() { return 1045; }
LCID GetSystemDefaultLCID() { return 1045; }
LANGID GetUserDefaultLangID() { return 1045; }
LANGID GetSystemDefaultLangID() { return 1045; }
LCID GetThreadLocale() { return 1045; }
BOOL IsValidLocale(LCID locale, DWORD) { return Find(locale) != nullptr; }

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size) {
  const LocaleTable* table = Find(locale);
  if (!table || size < 0) return 0;
  const LCTYPE kind = type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER);
  if (type & LOCALE_RETURN_NUMBER) {
    DWORD value = 0;
    if (!NumericKind(*table, kind, value)) return 0;
    return AnswerNumber(value, data, size);
  }
  std::wstring text;
  if (!TextKind(*table, kind, text)) return 0;
  return Answer(text, data, size);
}

int GetNumberFormatW(LCID locale, DWORD flags, LPCWSTR value, const NUMBERFMTW* format, LPWSTR number, int size) {
  const LocaleTable* table = Find(locale);
  if (!table || !value || size < 0) return 0;
  if (format && flags != 0) return 0;
  if (format && (!format->lpDecimalSep || !format->lpThousandSep || format->NumDigits > 9 ||
                 format->NegativeOrder > 4))
    return 0;

  // Parse: optional '-', digits, optional '.' and digits; nothing else.
  const wchar_t* p = value;
  bool negative = false;
  if (*p == L'-') negative = true, ++p;
  std::wstring whole, fraction;
  while (*p >= L'0' && *p <= L'9') whole.push_back(*p++);
  if (*p == L'.') {
    ++p;
    while (*p >= L'0' && *p <= L'9') fraction.push_back(*p++);
  }
  if (*p != 0 || (whole.empty() && fraction.empty())) return 0;

  const UINT digits = format ? format->NumDigits : table->digits;
  const UINT leadingZero = format ? format->LeadingZero : table->leadingZero;
  const UINT grouping = format ? format->Grouping : GroupingNumber(table->grouping);
  const std::wstring decimal = format ? format->lpDecimalSep : table->decimal;
  const std::wstring thousand = format ? format->lpThousandSep : table->thousand;
  const UINT negativeOrder = format ? format->NegativeOrder : table->negativeNumber;

  // Round half away from zero to `digits` decimals on the digit string.
  std::wstring all = whole + fraction;
  size_t wholeLength = whole.size();
  if (fraction.size() > digits) {
    const bool up = fraction[digits] >= L'5';
    all.resize(wholeLength + digits);
    if (up) {
      size_t i = all.size();
      while (i > 0) {
        --i;
        if (all[i] == L'9') {
          all[i] = L'0';
          continue;
        }
        ++all[i];
        break;
      }
      if (all.empty() || (i == 0 && all[0] == L'0')) {
        all.insert(all.begin(), L'1');
        ++wholeLength;
      }
    }
  } else {
    all.append(digits - fraction.size(), L'0');
  }
  whole = all.substr(0, wholeLength);
  fraction = all.substr(wholeLength);
  // Leading zeros of the integer part go; an empty one is "0" only with the leading-zero rule.
  size_t firstDigit = whole.find_first_not_of(L'0');
  whole = firstDigit == std::wstring::npos ? std::wstring() : whole.substr(firstDigit);
  const bool zero = whole.empty() && fraction.find_first_not_of(L'0') == std::wstring::npos;
  if (whole.empty() && (leadingZero || fraction.empty())) whole = L"0";

  std::wstring text = GroupDigits(whole, grouping, thousand);
  if (digits > 0) text += decimal + fraction;
  if (negative && !zero) {
    switch (negativeOrder) {
      case 0: text = L"(" + text + L")"; break;
      case 1: text = L"-" + text; break;
      case 2: text = L"- " + text; break;
      case 3: text = text + L"-"; break;
      default: text = text + L" -"; break;
    }
  }
  return Answer(text, number, size);
}
