#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/strings/strings.h"

TEST(CString, ConstructionAndConversionBetweenWidths) {
  CString fromNarrow("Łódź");  // UTF-8
  EXPECT_EQ(fromNarrow, L"Łódź");
  EXPECT_EQ(fromNarrow.GetLength(), 4);
  CStringA back(fromNarrow);
  EXPECT_EQ(back, "Łódź");
  EXPECT_EQ(CString(L'x', 3), L"xxx");
  EXPECT_EQ(CString(L"abcdef", 3), L"abc");
  EXPECT_TRUE(CString(static_cast<const wchar_t*>(nullptr)).IsEmpty());
  EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
  CString s = L"a";
  s += "ż";
  s += L'b';
  s += CString(L"c");
  EXPECT_EQ(s, L"ażbc");
  EXPECT_EQ(L"<" + s + L'>', L"<ażbc>");
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(s)), L"ażbc");
  EXPECT_EQ(s.GetAt(1), L'ż');
  EXPECT_EQ(s.GetAt(99), L'\0');  // out of range reads never touch memory outside
  s.SetAt(0, L'A');
  s.SetAt(-1, L'?');
  EXPECT_EQ(s, L"Ażbc");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, ComparisonsOrdinalNoCaseAndCollate) {
  CString a = L"Żółw";
  EXPECT_EQ(a.Compare(L"Żółw"), 0);
  EXPECT_LT(a.Compare(L"żółw"), 0);  // ordinal: upper-case code points first
  EXPECT_EQ(a.CompareNoCase(L"ŻÓŁW"), 0);
  EXPECT_EQ(a.CompareNoCase(L"żółw"), 0);
  EXPECT_NE(a.CompareNoCase(L"zolw"), 0);
  EXPECT_TRUE(CString(L"a") < CString(L"b"));
  EXPECT_TRUE(CString(L"a") != L"b");
  // Dictionary order puts Polish letters right after their base letters.
  EXPECT_LT(CString(L"ala").Collate(L"ąb"), 0);
  EXPECT_LT(CString(L"ąz").Collate(L"b"), 0);
  EXPECT_LT(CString(L"lz").Collate(L"łą"), 0);
  EXPECT_LT(CString(L"łz").Collate(L"m"), 0);
  EXPECT_LT(CString(L"zz").Collate(L"źa"), 0);
  EXPECT_LT(CString(L"źz").Collate(L"ża"), 0);
  EXPECT_LT(CString(L"abc").Collate(L"Abc"), 0);
  EXPECT_EQ(CString(L"abc").CollateNoCase(L"ABC"), 0);
  EXPECT_LT(CString(L"a1").Collate(L"aa"), 0);
}

TEST(CString, CaseMappingUsesFixedTable) {
  CString s = L"zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ ÿ ß";
  s.MakeUpper();
  EXPECT_EQ(s, L"ZAŻÓŁĆ GĘŚLĄ JAŹŃ ĄĆĘŁŃÓŚŹŻ Ÿ ß");
  s.MakeLower();
  EXPECT_EQ(s, L"zażółć gęślą jaźń ąćęłńóśźż ÿ ß");
  CStringA narrow("łódź");
  narrow.MakeUpper();
  EXPECT_EQ(narrow, "ŁÓDŹ");
  CString r = L"abć";
  EXPECT_EQ(r.MakeReverse(), L"ćba");
  CStringA rn("abć");
  EXPECT_EQ(rn.MakeReverse(), "ćba");  // reverses characters, not UTF-8 bytes
}

TEST(CString, ExtractionClampsOutOfRangeArguments) {
  CString s = L"abcdef";
  EXPECT_EQ(s.Mid(2), L"cdef");
  EXPECT_EQ(s.Mid(2, 2), L"cd");
  EXPECT_EQ(s.Mid(-3, 2), L"ab");
  EXPECT_EQ(s.Mid(4, 100), L"ef");
  EXPECT_EQ(s.Mid(10), L"");
  EXPECT_EQ(s.Mid(1, -1), L"");
  EXPECT_EQ(s.Left(2), L"ab");
  EXPECT_EQ(s.Left(-1), L"");
  EXPECT_EQ(s.Left(99), L"abcdef");
  EXPECT_EQ(s.Right(2), L"ef");
  EXPECT_EQ(s.Right(99), L"abcdef");
  EXPECT_EQ(CString(L"12a3").SpanIncluding(L"0123456789"), L"12");
  EXPECT_EQ(CString(L"key=value").SpanExcluding(L"=;"), L"key");
  EXPECT_EQ(CString(L"novalue").SpanExcluding(L"="), L"novalue");
}

TEST(CString, Searching) {
  CString s = L"a.b.c";
  EXPECT_EQ(s.Find(L'.'), 1);
  EXPECT_EQ(s.Find(L'.', 2), 3);
  EXPECT_EQ(s.Find(L'.', 4), -1);
  EXPECT_EQ(s.Find(L'.', 100), -1);
  EXPECT_EQ(s.Find(L"b.c"), 2);
  EXPECT_EQ(s.Find(L"b", 3), -1);
  EXPECT_EQ(s.Find(L"", 5), 5);
  EXPECT_EQ(s.Find(static_cast<const wchar_t*>(nullptr)), -1);
  EXPECT_EQ(s.ReverseFind(L'.'), 3);
  EXPECT_EQ(s.ReverseFind(L'x'), -1);
  EXPECT_EQ(s.FindOneOf(L"cb"), 2);
  EXPECT_EQ(s.FindOneOf(L"xyz"), -1);
}

TEST(CString, Modification) {
  CString s = L"O'Brien's";
  EXPECT_EQ(s.Replace(L"'", L"''"), 2);
  EXPECT_EQ(s, L"O''Brien''s");
  EXPECT_EQ(s.Replace(L"", L"x"), 0);
  EXPECT_EQ(s.Replace(L"''", nullptr), 2);
  EXPECT_EQ(s, L"OBriens");
  EXPECT_EQ(s.Replace(L'O', L'0'), 1);
  CString aaa = L"aaaa";
  EXPECT_EQ(aaa.Replace(L"aa", L"a"), 2);  // non-overlapping, left to right
  EXPECT_EQ(aaa, L"aa");
  CString r = L"a-b-c";
  EXPECT_EQ(r.Remove(L'-'), 2);
  EXPECT_EQ(r, L"abc");
  EXPECT_EQ(r.Insert(1, L"XY"), 5);
  EXPECT_EQ(r, L"aXYbc");
  EXPECT_EQ(r.Insert(100, L'!'), 6);
  EXPECT_EQ(r.Insert(-5, L'^'), 7);
  EXPECT_EQ(r, L"^aXYbc!");
  EXPECT_EQ(r.Delete(1, 3), 4);
  EXPECT_EQ(r, L"^bc!");
  EXPECT_EQ(r.Delete(3, 100), 3);
  EXPECT_EQ(r.Delete(10, 1), 3);
  EXPECT_EQ(r, L"^bc");
}

TEST(CString, Trimming) {
  CString s = L" \t\r\n text \u00a0\n";
  EXPECT_EQ(CString(s).Trim(), L"text");
  EXPECT_EQ(CString(s).TrimLeft(), L"text \u00a0\n");
  EXPECT_EQ(CString(s).TrimRight(), L" \t\r\n text");
  EXPECT_EQ(CString(L"xxaxx").Trim(L'x'), L"a");
  EXPECT_EQ(CString(L"0012300").TrimLeft(L'0'), L"12300");
  EXPECT_EQ(CString(L"-=a=-").Trim(L"=-"), L"a");
  EXPECT_EQ(CString(L"----").Trim(L"-"), L"");
  EXPECT_EQ(CString(L"   ").Trim(), L"");
}

TEST(CString, Tokenize) {
  CString s = L";;alpha;beta;;gamma;";
  int pos = 0;
  std::vector<CString> tokens;
  for (CString t = s.Tokenize(L";", pos); pos != -1; t = s.Tokenize(L";", pos)) tokens.push_back(t);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0], L"alpha");
  EXPECT_EQ(tokens[1], L"beta");
  EXPECT_EQ(tokens[2], L"gamma");
  pos = 0;
  EXPECT_EQ(CString(L";;;").Tokenize(L";", pos), L"");
  EXPECT_EQ(pos, -1);
  pos = 50;
  EXPECT_EQ(s.Tokenize(L";", pos), L"");
  EXPECT_EQ(pos, -1);
}

TEST(CString, BufferAccess) {
  CString s = L"abc";
  wchar_t* p = s.GetBuffer(10);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::wstring(p, 3), L"abc");
  wcscpy(p, L"hello");
  s.ReleaseBuffer();
  EXPECT_EQ(s, L"hello");
  EXPECT_EQ(s.GetLength(), 5);
  p = s.GetBufferSetLength(3);
  p[0] = L'H';
  s.ReleaseBuffer();
  EXPECT_EQ(s, L"Hel");
  p = s.GetBuffer(8);
  p[0] = L'x';
  p[1] = L'y';
  s.ReleaseBuffer(2);
  EXPECT_EQ(s, L"xy");
  s.GetBuffer(0);
  s.ReleaseBuffer(100);  // longer than the buffer: ignored
  EXPECT_EQ(s, L"xy");
  p = s.GetBuffer(8);
  p[2] = L'z';
  p[3] = 0;
  s.ReleaseBuffer(100);  // longer than the buffer: up to the first NUL
  EXPECT_EQ(s, L"xyz");
  EXPECT_EQ(s.GetLength(), 3);
}

TEST(CString, FormatAndAppendFormat) {
  CString s;
  s.Format(L"%s zakończone błędem (%ld)", L"Wysyłanie", 12);
  EXPECT_EQ(s, L"Wysyłanie zakończone błędem (12)");
  s.AppendFormat(L" %S/%d", "ok", 3);
  EXPECT_EQ(s, L"Wysyłanie zakończone błędem (12) ok/3");
  CString other = L"x";
  s.Format(L"%s%s", static_cast<const wchar_t*>(other), other.GetString());
  EXPECT_EQ(s, L"xx");
  CStringA a;
  a.Format("%s=%ls %d", "ą", L"ę", 5);
  EXPECT_EQ(a, "ą=ę 5");
}

TEST(CString, FormatMessageInserts) {
  CString s;
  ASSERT_TRUE(s.FormatMessage(L"Brak uprawnień do pobierania danych dla konta %1 na %2", L"jan", L"Allegro"));
  EXPECT_EQ(s, L"Brak uprawnień do pobierania danych dla konta jan na Allegro");
  ASSERT_TRUE(s.FormatMessage(L"%2!ld!-%1!ls!-%2!d!%%", L"a", 7));
  EXPECT_EQ(s, L"7-a-7%");
  CStringA a;
  ASSERT_TRUE(a.FormatMessage("%1 ma %2!d! lat", L"Ola", 5));
  EXPECT_EQ(a, "Ola ma 5 lat");
}

TEST(CString, LoadStringWithoutResourcesIsNotFound) {
  CString s = L"keep";
  // The resource loader is installed by the resources component; with none, nothing loads.
  platform::SetStringLoader(nullptr);
  EXPECT_FALSE(s.LoadString(1234));
  EXPECT_EQ(s, L"keep");
  platform::SetStringLoader([](HINSTANCE, UINT id, std::wstring& out) {
    if (id != 7) return false;
    out = L"siedem";
    return true;
  });
  EXPECT_TRUE(s.LoadString(7));
  EXPECT_EQ(s, L"siedem");
  EXPECT_EQ(CString(reinterpret_cast<const wchar_t*>(7)), L"siedem");  // MAKEINTRESOURCE form
  CString f;
  f.Format(7U);
  EXPECT_EQ(f, L"siedem");
  platform::SetStringLoader(nullptr);
}

TEST(CString, HashAndStreaming) {
  std::unordered_set<CString> set{CString(L"a"), CString(L"b"), CString(L"a")};
  EXPECT_EQ(set.size(), 2u);
  std::ostringstream os;
  os << CString(L"żaba");
  EXPECT_EQ(os.str(), "żaba");
}

#if defined(VANTOR_STRINGS_HAVE_COM)
TEST(CString, AutomationStrings) {
  CString s = L"żółw";
  BSTR b = s.AllocSysString();
  EXPECT_EQ(SysStringLen(b), 4u);
  EXPECT_STREQ(b, L"żółw");
  BSTR t = SysAllocString(L"old");
  CString(L"new").SetSysString(&t);
  EXPECT_STREQ(t, L"new");
  SysFreeString(t);
  SysFreeString(b);
  BSTR empty = CString().AllocSysString();
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}
#endif

TEST(CString, SubStringsAndPlainInserts) {
  CString part;
  EXPECT_TRUE(AfxExtractSubString(part, L"Nazwa\nOpis\n\nKoniec", 1));
  EXPECT_EQ(part, L"Opis");
  EXPECT_TRUE(AfxExtractSubString(part, L"Nazwa\nOpis\n\nKoniec", 2));
  EXPECT_EQ(part, L"");
  EXPECT_TRUE(AfxExtractSubString(part, L"a;b", 1, L';'));
  EXPECT_EQ(part, L"b");
  EXPECT_FALSE(AfxExtractSubString(part, L"a;b", 2, L';'));
  EXPECT_EQ(part, L"");
  LPCWSTR texts[] = {L"jan", L"50%"};
  CString out;
  AfxFormatStrings(out, L"%1 ma %2 rabatu, %3 zostaje pominięte, 100%% bez zmian", texts, 2);
  EXPECT_EQ(out, L"jan ma 50% rabatu,  zostaje pominięte, 100%% bez zmian");
}

namespace {

struct WideWrapper {  // shaped like an automation-string wrapper
  operator const wchar_t*() const { return L"wrapped"; }
};
struct DerivedString : CString {};

// How many of the variadic formatting calls take an argument of type T.
template <class T>
constexpr int FormattingCallsTaking() {
  constexpr bool takes[] = {
      requires(CString s, const T& v) { s.Format(L"%s", v); },
      requires(CString s, const T& v) { s.Format(7U, v); },
      requires(CString s, const T& v) { s.AppendFormat(L"%s", v); },
      requires(CString s, const T& v) { s.FormatMessage(L"%1", v); },
      requires(CString s, const T& v) { s.FormatMessage(7U, v); },
      requires(CStringA s, const T& v) { s.Format("%s", v); },
      requires(CStringA s, const T& v) { s.AppendFormat("%s", v); },
      requires(CStringA s, const T& v) { s.FormatMessage("%1", v); },
      requires(const T& v) { platform::FormatW(L"%s", v); },
      requires(const T& v) { platform::FormatA("%s", v); },
      requires(wchar_t* buf, const T& v) { swprintf_s(buf, 8, L"%s", v); },
      requires(wchar_t (&buf)[8], const T& v) { swprintf_s(buf, L"%s", v); },
      requires(wchar_t* buf, const T& v) { _snwprintf(buf, 8, L"%s", v); },
      requires(wchar_t* buf, const T& v) { _snwprintf_s(buf, 8, 7, L"%s", v); },
      requires(const T& v) { _scwprintf(L"%s", v); },
      requires(char* buf, const T& v) { sprintf_s(buf, 8, "%s", v); },
      requires(char* buf, const T& v) { _snprintf_s(buf, 8, 7, "%s", v); },
      requires(wchar_t* buf, const T& v) { wsprintfW(buf, L"%s", v); },
      requires(wchar_t* buf, const T& v) { StringCchPrintfW(buf, 8, L"%s", v); },
  };
  int count = 0;
  for (bool t : takes) count += t ? 1 : 0;
  return count;
}
constexpr int kFormattingCalls = 19;

// A CString (wide or narrow, or a class derived from one) handed to a format as it stands does
// not compile, whichever formatting call it goes to; nor does any other class object that is no
// string. Plain values, standard strings and automation-string wrappers are taken by every one.
static_assert(FormattingCallsTaking<CString>() == 0);
static_assert(FormattingCallsTaking<CStringA>() == 0);
static_assert(FormattingCallsTaking<DerivedString>() == 0);
static_assert(FormattingCallsTaking<std::unordered_set<int>>() == 0);
static_assert(FormattingCallsTaking<const wchar_t*>() == kFormattingCalls);
static_assert(FormattingCallsTaking<const char*>() == kFormattingCalls);
static_assert(FormattingCallsTaking<int>() == kFormattingCalls);
static_assert(FormattingCallsTaking<std::wstring>() == kFormattingCalls);
static_assert(FormattingCallsTaking<WideWrapper>() == kFormattingCalls);

}  // namespace

TEST(CString, StringObjectsPassTheirTextToFormattingCalls) {
  // A CString's text goes with GetString() or a cast to its pointer type; standard strings and
  // automation-string wrappers pass their text themselves.
  CString name = L"Zażółć gęślą jaźń, a text too long to be kept inside the object";
  CStringA narrow("wąż");
  std::wstring stdWide = L"std";
  CString s;
  s.Format(L"[%s|%S|%s|%d]", name.GetString(), narrow.GetString(), stdWide, 5);
  EXPECT_EQ(s, L"[" + name + L"|wąż|std|5]");
  s.AppendFormat(L"%s", static_cast<LPCWSTR>(CString(L"+")));
  EXPECT_EQ(s.Right(2), L"]+");
  ASSERT_TRUE(s.FormatMessage(L"%1 / %2!S! / %3!d!", name.GetString(), narrow.GetString(), 7));
  EXPECT_EQ(s, name + L" / wąż / 7");
  CStringA a;
  a.Format("%s-%S", narrow.GetString(), name.GetString());
  EXPECT_EQ(CString(a), L"wąż-" + name);
  wchar_t buf[128];
  EXPECT_EQ(swprintf_s(buf, L"%s!", CString(L"ok").GetString()), 3);
  EXPECT_STREQ(buf, L"ok!");
  EXPECT_EQ(_snwprintf(buf, 128, L"<%s>", CString(L"x").GetString()), 3);
  EXPECT_EQ(platform::FormatW(L"%s", CString(L"y").GetString()), L"y");
  EXPECT_EQ(platform::FormatW(L"%s", WideWrapper{}), L"wrapped");
}
