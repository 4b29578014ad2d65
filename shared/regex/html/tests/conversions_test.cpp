// Behaviour of the three conversions on the shapes auction descriptions come in.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shared/regex/html/tests/conversions.h"

namespace vantor::html::testing {
namespace {

template <class C>
class Conversions : public ::testing::Test {};

#ifdef VANTOR_HTML_WITH_ENGINE
using Implementations = ::testing::Types<ViaReference, ViaExports>;
#else
using Implementations = ::testing::Types<ViaReference>;
#endif
TYPED_TEST_SUITE(Conversions, Implementations);

TYPED_TEST(Conversions, PlaintextLineStructure) {
  using C = TypeParam;
  EXPECT_EQ(C::Plain(L""), L"");
  EXPECT_EQ(C::Plain(L"one\ntwo"), L"one two");
  EXPECT_EQ(C::Plain(L"one\ttwo"), L"onetwo");
  EXPECT_EQ(C::Plain(L"a     b\r\n c"), L"a b c");
  EXPECT_EQ(C::Plain(L"a<BR>b< br >c<br/>d<br class=x>e"), L"a\nb\ncde");
  EXPECT_EQ(C::Plain(L"<ul><li>one<LI >two<li class=x>three</ul>"), L"\none\ntwothree");
  EXPECT_EQ(C::Plain(L"<p>word"), L"\n\nword");
  EXPECT_EQ(C::Plain(L"<P align=center>a</p><div>b</div>"), L"\n\na\n\nb");
  // pre and param start like p; closing tags yield nothing
  EXPECT_EQ(C::Plain(L"<pre>x</pre><param>y"), L"\n\nx\n\ny");
  // spaces that meet after a tag is deleted stay
  EXPECT_EQ(C::Plain(L"word <b> word"), L"word  word");
  // six line breaks become four; spaces between breaks go pairwise
  EXPECT_EQ(C::Plain(L"a<br><br><br><br><br><br>b"), L"a\n\n\n\nb");
  EXPECT_EQ(C::Plain(L"a<br> <br> <br>b"), L"a\n\n \nb");
}

TYPED_TEST(Conversions, PlaintextTables) {
  using C = TypeParam;
  EXPECT_EQ(C::Plain(L"<table border=1><tr><th>Cecha</th><th>Opis</th></tr>"
                     L"<TR bgcolor=\"#EEE\"><td width=\"30%\">Stan</td><td style=\"color:red\">nowy</td></tr></table>"),
            L"\n\n | Cecha | Opis\n\n | Stan | nowy");
  EXPECT_EQ(C::Plain(L"<thead><track>"), L" | \n\n");
}

TYPED_TEST(Conversions, PlaintextElementsEndAtTheirOwnClosingTag) {
  using C = TypeParam;
  // Text between two scripts, two styles or after a head is the seller's and stays.
  EXPECT_EQ(C::Plain(L"<script>a()</script>kept<SCRIPT type=x>b()</ script >end"), L"keptend");
  EXPECT_EQ(C::Plain(L"<style>p{}</style>one<style>b{}</style>two"), L"onetwo");
  EXPECT_EQ(C::Plain(L"<head><title>t</title></head>body<head>x</head>more"), L"bodymore");
  EXPECT_EQ(C::Plain(L"<script>\nif (a < b && c > d) {}\n</script>after"), L"after");
  // an element without its closing tag: the tag goes, the content stays
  EXPECT_EQ(C::Plain(L"<script>var x;"), L"var x;");
  EXPECT_EQ(C::Plain(L"<script>a</script>b<script>c"), L"bc");
}

TYPED_TEST(Conversions, PlaintextEntities) {
  using C = TypeParam;
  EXPECT_EQ(C::Plain(L"&nbsp;&nbsp;x"), L"  x");
  EXPECT_EQ(C::Plain(L"&bull;&trade;&copy;&reg;&frasl;&lsaquo;&rsaquo;"), L" * (tm)(c)(r)/<>");
  // "&lt;" and "&gt;" leave no semicolon behind; a tag written with them is text
  EXPECT_EQ(C::Plain(L"1 &lt; 2 &gt; 0 &lt;b&gt;"), L"1 < 2 > 0 <b>");
  EXPECT_EQ(C::Plain(L"&lt &gt"), L"< >");
  // only entity-shaped sequences are entities
  EXPECT_EQ(C::Plain(L"Fish & Chips; ok"), L"Fish & Chips; ok");
  EXPECT_EQ(C::Plain(L"AT&T; R&D; a & b;<br>c"), L"AT&T; R&D; a & b;\nc");
  EXPECT_EQ(C::Plain(L"Kowalski &amp; Syn, &quot;cytat&quot;, &apos;x&apos;"), L"Kowalski & Syn, \"cytat\", 'x'");
  EXPECT_EQ(C::Plain(L"&amp;amp; &amp;lt;"), L"&amp; &lt;");
  // unknown names of two to six characters are dropped, longer ones are the seller's text
  EXPECT_EQ(C::Plain(L"a&foo;b &averylongname; &x;"), L"ab &averylongname; &x;");
  // references to no character are dropped; Windows code page references mean its characters
  EXPECT_EQ(C::Plain(L"[&#0;&#x110000;&#xD800;&#99999999999999999999;]"), L"[]");
  EXPECT_EQ(C::Plain(L"&#150;&#147;x&#148;&#128;"), L"\u2013\u201Cx\u201D\u20AC");
}

TYPED_TEST(Conversions, PlaintextPolishInEveryForm) {
  using C = TypeParam;
  const std::wstring expected = L"Zażółć gęślą jaźń, Łódź";
  EXPECT_EQ(C::Plain(expected), expected);
  EXPECT_EQ(C::Plain(L"Za&#380;&#243;&#322;&#263; g&#281;&#347;l&#261; ja&#378;&#324;, &#321;&#243;d&#378;"),
            expected);
  EXPECT_EQ(C::Plain(L"Za&#x17c;&#xf3;&#x142;&#x107; g&#x119;&#x15b;l&#x105; ja&#x17a;&#x144;, &#X141;&#XF3;d&#X17A;"),
            expected);
  EXPECT_EQ(C::Plain(L"Za&#x17c;&oacute;&#x142;&#x107; g&#x119;&#x15b;l&#x105; ja&#x17a;&#x144;, &#x141;&oacute;d&#x17a;"),
            expected);
  EXPECT_EQ(C::Plain(L"&Oacute;&oacute; &euro; &ndash; &hellip;"), L"Óó € – …");
}

TYPED_TEST(Conversions, PlaintextAuctionDescription) {
  using C = TypeParam;
  std::wstring page =
      L"<html>\r\n<head>\r\n<meta http-equiv=Content-Type content=\"text/html; charset=windows-1250\">\r\n"
      L"<title>Aukcja</title>\r\n<style>td { color: red }</style>\r\n</head>\r\n<body>\r\n"
      L"<h1>Wiertarka</h1>\r\n<p style=\"font-size:10pt\">Stan:&nbsp;<b>nowy</b></p>\r\n"
      L"<table><tr><td>Cena</td><td>100&nbsp;z&#322;</td></tr></table>\r\n"
      L"<script>licznik();</script>\r\n</body>\r\n</html>\r\n";
  EXPECT_EQ(C::Plain(page), L"   Wiertarka \n\nStan: nowy \n\n | Cena | 100 zł    ");
}

TYPED_TEST(Conversions, HeaderRemoval) {
  using C = TypeParam;
  EXPECT_EQ(C::Header(L""), L"");
  std::wstring page =
      L"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<HTML lang=pl>\n<HEAD><META charset=utf-8>"
      L"<TITLE>t</TITLE></HEAD>\n<BODY bgcolor=white>\n<p>Opis <b>aukcji</b></p>\n"
      L"<script>x=1</script><style>p{}</style>\n</BODY>\n</ HTML >\n";
  EXPECT_EQ(C::Header(page), L"\n\n\n\n<p>Opis <b>aukcji</b></p>\n\n\n\n");
  // a page on one line keeps its body
  EXPECT_EQ(C::Header(L"<!doctype html><html><head><title>x</title></head><body><p>Hi</p><br>end</body></html>"),
            L"<p>Hi</p><br>end");
  // text between two scripts stays
  EXPECT_EQ(C::Header(L"<script>a</script>kept<script>b</script>"), L"kept");
  // an element over several lines loses only its wrapper tags; script and style stay bare
  EXPECT_EQ(C::Header(L"<head>\n<title>t</title>\n</head><script>\nx\n</script>"),
            L"\n<title>t</title>\n<script>\nx\n</script>");
}

TYPED_TEST(Conversions, PlainTextToHTML) {
  using C = TypeParam;
  const std::wstring head =
      L"<html><head><meta http-equiv=Content-Type content=\"text/html; charset=windows-1250\"></head><body>";
  EXPECT_EQ(C::ToHTML(L""), head + L"</body></html>");
  EXPECT_EQ(C::ToHTML(L"a<b>\nc"), head + L"a&lt;b&gt;<br>c</body></html>");
  EXPECT_EQ(C::ToHTML(L"x & y\r\nż"), head + L"x & y\r<br>ż</body></html>");
}

// Inputs that must neither hang nor crash: each would take hours if a pass were quadratic.
TYPED_TEST(Conversions, HostileInputs) {
  using C = TypeParam;
  const size_t n = 1 << 20;
  EXPECT_EQ(C::Plain(L"a" + std::wstring(100000, L' ') + L"b"), L"a b");
  EXPECT_EQ(C::Header(L"a" + std::wstring(100000, L' ') + L"b").size(), 100002u);
  EXPECT_EQ(C::Plain(std::wstring(n, L'<')), std::wstring(n, L'<'));
  EXPECT_EQ(C::Plain(L"<td" + std::wstring(n, L'x')).size(), n + 3);
  std::wstring tds;
  for (size_t i = 0; i < n / 4; ++i) tds += L"<td ";
  EXPECT_EQ(C::Plain(tds + L">"), L" | ");
  EXPECT_EQ(C::Plain(L"<!-- " + std::wstring(n, L'-')).size(), n + 5);
  std::wstring openers;
  for (size_t i = 0; i < n / 8; ++i) openers += L"<script>";
  EXPECT_EQ(C::Header(openers + L"\n</script>"), openers + L"\n</script>");
  EXPECT_EQ(C::Plain(L"</script>" + openers), L"");
  std::wstring amps;
  for (size_t i = 0; i < n / 4; ++i) amps += L"&#12";
  EXPECT_EQ(C::Plain(amps + L";"), amps.substr(0, amps.size() - 4) + L"\u000C");
}

// A 10 MB description converts like its pieces do.
TYPED_TEST(Conversions, TenMegabytes) {
  using C = TypeParam;
  const std::wstring piece =
      L"<p style='margin:0'>Opis&nbsp;<b>aukcji</b> &#261;&amp;&oacute;</p><table><tr><td>x</td></tr></table>"
      L"<script>a()</script>Z";
  const size_t count = (10u << 20) / piece.size();
  std::wstring page;
  page.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) page += piece;
  const std::wstring plain = C::Plain(piece);
  ASSERT_EQ(plain, L"\n\nOpis aukcji ą&ó\n\n | xZ");
  const std::wstring header = C::Header(piece);
  ASSERT_EQ(header.size(), piece.size() - 20);
  std::wstring expectedPlain, expectedHeader;
  for (size_t i = 0; i < count; ++i) {
    expectedPlain += plain;
    expectedHeader += header;
  }
  EXPECT_TRUE(C::Plain(page) == expectedPlain);
  EXPECT_TRUE(C::Header(page) == expectedHeader);
}

TYPED_TEST(Conversions, BinaryJunk) {
  using C = TypeParam;
  std::mt19937 rng(7);
  std::uniform_int_distribution<uint32_t> any(1, 0x10FFFF);
  std::uniform_int_distribution<int> markup(0, 12);
  const wchar_t* pieces[] = {L"<", L">", L"&", L";", L"#", L"\n", L"\r", L" ", L"script", L"</", L"x"};
  for (int round = 0; round < 20; ++round) {
    std::wstring junk;
    for (int i = 0; i < 20000; ++i) {
      int k = markup(rng);
      if (k == 11)
        junk.push_back(wchar_t(any(rng)));
      else if (k == 12)  // not a character at all: surrogates, values past U+10FFFF, negative
        junk.push_back(wchar_t(rng() | 0xD800));
      else
        junk += pieces[k];
    }
    std::wstring plain = C::Plain(junk), header = C::Header(junk);
    EXPECT_LE(plain.size(), junk.size() * 4);
    EXPECT_EQ(plain.find(L'\r'), std::wstring::npos);
    EXPECT_LE(header.size(), junk.size());
  }
}

#ifdef VANTOR_HTML_WITH_ENGINE
TEST(Exports, NullTextIsEmpty) {
  EXPECT_EQ(hxConvertToPlaintext(nullptr), L"");
  EXPECT_EQ(hxRemoveHTMLHeader(nullptr), L"");
}
#endif

}  // namespace
}  // namespace vantor::html::testing
