// The XML data extractor on a real database: the definition walk, conditions, attributes,
// parameters, the exported methods, the log and hostile definitions.
#include <gtest/gtest.h>

#include <cwchar>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shared/hxextractor.h"
#include "shared/sqltools.h"
#include "shared/tests/fixture.h"
#include "testing/support/slots.h"

namespace {

const std::wstring kDecl = L"<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n";

std::wstring Schema(const std::wstring& body) {
  return std::wstring(L"<def:schema xmlns:def=\"") + kHxDefinitionNamespace + L"\">" + body + L"</def:schema>";
}

class Extractor : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    cn = db.Open();
    testutil::Exec(cn, L"CREATE TABLE t_Item (it_Id int NOT NULL PRIMARY KEY, it_Name nvarchar(50) NULL, "
                       L"it_Flag bit NULL, it_Price money NULL, it_Ratio float NULL, it_Big bigint NULL, "
                       L"it_Small tinyint NULL, it_Amount decimal(10,2) NULL, it_Day datetime NULL, it_Note ntext NULL)");
    testutil::Exec(cn, L"INSERT INTO t_Item VALUES (1, 'Kubek', 0, 12.50, 0.0, 5000000000, 7, 3.25, "
                       L"'2024-03-05 10:20:30', 'zwykły')");
    testutil::Exec(cn, L"INSERT INTO t_Item VALUES (2, 'O''Brien', 1, 0, 2.5, -1, 0, 0, NULL, '')");
    testutil::Exec(cn, L"INSERT INTO t_Item VALUES (3, 'Łyżka', 0, 1.99, NULL, 0, 255, -1.5, NULL, NULL)");
    testutil::Exec(cn, L"CREATE TABLE t_Line (ln_Id int NOT NULL PRIMARY KEY, ln_Item int NOT NULL, ln_Text nvarchar(50))");
    testutil::Exec(cn, L"INSERT INTO t_Line VALUES (1, 1, 'a'), (2, 1, 'b'), (3, 2, 'c')");
  }
  void TearDown() override {
    if (cn && cn->GetState() == adStateOpen) cn->Close();
    cn = nullptr;
    CoUninitialize();
  }

  // The XML text of a run of `definition` (the body of a def:schema unless `whole`).
  std::wstring Run(CHxExtractor& ex, const std::wstring& definition, bool whole = false) {
    EXPECT_EQ(ex.putref_ActiveConnection(cn), S_OK);
    EXPECT_EQ(ex.put_XMLDefinition(_variant_t((whole ? definition : Schema(definition)).c_str())), S_OK);
    _variant_t out;
    EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultText, &out), S_OK);
    return out.vt == VT_BSTR ? std::wstring(out.bstrVal, SysStringLen(out.bstrVal)) : L"<not text>";
  }
  std::wstring Run(const std::wstring& definition, bool whole = false) {
    CHxExtractor ex;
    return Run(ex, definition, whole);
  }
  std::wstring Log(CHxExtractor& ex) {
    const std::wstring path = db.File(L"extractor.log");
    EXPECT_EQ(ex.SaveLog(path.c_str()), S_OK);
    std::ifstream file(std::string(_bstr_t(path.c_str())), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(std::string(_bstr_t(path.c_str())).c_str());
    return platform::Cp1250ToWide(bytes);
  }
  static bool WellFormed(const std::wstring& xml) {
    IXMLDOMDocumentPtr doc;
    if (FAILED(doc.CreateInstance(__uuidof(DOMDocument40)))) return false;
    return doc->loadXML(xml.c_str()) == VARIANT_TRUE;
  }

  testutil::TempDatabase db;
  _ConnectionPtr cn;
};

// ---- the definition walk --------------------------------------------------------------------

TEST_F(Extractor, DefinitionWalk) {
  // No def:schema: the run ends before the document starts.
  EXPECT_EQ(Run(L"<other xmlns:def='x'><def:data/></other>", true), L"");
  // Neither data nor element: just the document's start and end.
  EXPECT_EQ(Run(L"<def:name>Pusta</def:name><def:other/>"), kDecl);
  // The first element child is the root when there is no data child; the last data child wins.
  EXPECT_EQ(Run(L"<def:element name='a' val='1'/><def:element name='b' val='2'/>"), kDecl + L"<a>1</a>");
  EXPECT_EQ(Run(L"<def:data><def:element name='first'/></def:data><def:element name='e'/>"
                L"<def:data><def:element name='last'/></def:data>"),
            kDecl + L"<last/>");

  const std::wstring out = Run(
      L"<def:data><def:sql>SELECT it_Id, it_Name FROM t_Item ORDER BY it_Id</def:sql>"
      L"<def:element name='items'>"
      // Unknown names are skipped; an element with a handled child writes no text of its own.
      L"<def:element name='item' val='nie'><def:attribute name='id' src='it_Id'/><def:note/>"
      L"<def:element name='name' src='it_Name'/></def:element></def:element></def:data>");
  EXPECT_EQ(out, kDecl + L"<items>\r\n\t<item id=\"1\">\r\n\t\t<name>Kubek</name>\r\n\t</item>\r\n</items>\r\n"
                         L"<items>\r\n\t<item id=\"2\">\r\n\t\t<name>O'Brien</name>\r\n\t</item>\r\n</items>\r\n"
                         L"<items>\r\n\t<item id=\"3\">\r\n\t\t<name>Łyżka</name>\r\n\t</item>\r\n</items>");

  // A data block without def:sql runs once per outer row on that row.
  const std::wstring nested = Run(
      L"<def:element name='r'><def:data><def:sql>SELECT it_Id, it_Name FROM t_Item WHERE it_Id &lt; 3 ORDER BY it_Id</def:sql>"
      L"<def:data><def:element name='n' src='it_Name'/></def:data>"
      L"<def:data><def:element name='id' src='it_Id'/></def:data></def:data></def:element>");
  EXPECT_EQ(nested, kDecl + L"<r>\r\n\t<n>Kubek</n>\r\n\t<id>1</id>\r\n\t<n>O'Brien</n>\r\n\t<id>2</id>\r\n</r>");

  // An element with only def:attribute children still takes its value; without a recordset
  // "src" gives nothing.
  EXPECT_EQ(Run(L"<def:element name='a' val='tekst' src='it_Name'><def:attribute name='x' src='it_Id'/>"
                L"<def:attribute name='y' val='2'/></def:element>"),
            kDecl + L"<a x=\"\" y=\"2\">tekst</a>");
}

TEST_F(Extractor, InnerBlocksUseTheOuterRowAndQuoteItsValues) {
  const std::wstring out = Run(
      L"<def:data><def:sql>SELECT it_Id, it_Name FROM t_Item ORDER BY it_Id</def:sql>"
      L"<def:element name='i'><def:attribute name='n' src='it_Name'/>"
      L"<def:data><def:sql>SELECT ln_Text FROM t_Line WHERE ln_Item = %1 ORDER BY ln_Id</def:sql>"
      L"<def:param idx='1'>it_Id</def:param><def:element name='l' src='ln_Text'/></def:data>"
      L"<def:data><def:sql>SELECT COUNT(*) AS c FROM t_Item WHERE it_Name = '%1'</def:sql>"
      L"<def:param idx='1'>it_Name</def:param><def:element name='same' src='c'/></def:data>"
      L"</def:element></def:data>");
  EXPECT_EQ(out, kDecl + L"<i n=\"Kubek\">\r\n\t<l>a</l>\r\n\t<l>b</l>\r\n\t<same>1</same>\r\n</i>\r\n"
                         L"<i n=\"O'Brien\">\r\n\t<l>c</l>\r\n\t<same>1</same>\r\n</i>\r\n"
                         L"<i n=\"Łyżka\">\r\n\t<same>1</same>\r\n</i>");
}

TEST_F(Extractor, EachRunReadsTheDefinitionItWasGiven) {
  // Texts of one length that differ in one character, given in turn to one extractor and to
  // new ones, more of them than are kept read: each run writes its own.
  auto text = [](int n) {
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%03d", n);
    return Schema(std::wstring(L"<def:data><def:sql>SELECT it_Name FROM t_Item WHERE it_Id = ") +
                  std::to_wstring(n % 3 + 1) + L"</def:sql><def:element name='v' val='" + digits + L"'>" +
                  L"<def:attribute name='n' src='it_Name'/></def:element></def:data>");
  };
  auto expected = [](int n) {
    const wchar_t* kNames[] = {L"Kubek", L"O'Brien", L"Łyżka"};
    wchar_t digits[8];
    std::swprintf(digits, 8, L"%03d", n);
    return kDecl + L"<v n=\"" + kNames[n % 3] + L"\">" + digits + L"</v>";
  };
  CHxExtractor same;
  for (int n : {1, 2, 1, 4}) EXPECT_EQ(Run(same, text(n), true), expected(n)) << n;
  for (int n = 0; n < 150; ++n) EXPECT_EQ(Run(n % 2 ? same : *std::make_unique<CHxExtractor>(), text(n), true), expected(n)) << n;
  for (int n = 149; n >= 0; --n) EXPECT_EQ(Run(same, text(n), true), expected(n)) << n;

  // A text that cannot be read gives nothing each time, and takes nothing from the one before.
  EXPECT_EQ(Run(same, text(7).substr(0, 60), true), L"");
  EXPECT_EQ(Run(same, text(7).substr(0, 60), true), L"");
  EXPECT_EQ(Run(same, text(7), true), expected(7));

  // A document of the caller's is read at every run: a change to it shows in the next run.
  IXMLDOMDocumentPtr document;
  ASSERT_EQ(document.CreateInstance(__uuidof(DOMDocument40)), S_OK);
  ASSERT_EQ(document->loadXML(_bstr_t(text(5).c_str())), VARIANT_TRUE);
  CHxExtractor given;
  ASSERT_EQ(given.putref_ActiveConnection(cn), S_OK);
  ASSERT_EQ(given.put_XMLDefinition(_variant_t(static_cast<IDispatch*>(document), true)), S_OK);
  auto output = [&given] {
    _variant_t out;
    EXPECT_EQ(given.GetData(CHxExtractor::hxWsResultText, &out), S_OK);
    return out.vt == VT_BSTR ? std::wstring(out.bstrVal, SysStringLen(out.bstrVal)) : L"<not text>";
  };
  EXPECT_EQ(output(), expected(5));
  ASSERT_EQ(document->loadXML(_bstr_t(text(8).c_str())), VARIANT_TRUE);
  EXPECT_EQ(output(), expected(8));

  // Extractors on several threads, each with its connection, running the same texts at once.
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      CoInitialize(nullptr);
      {
        _ConnectionPtr own = db.Open();
        CHxExtractor ex;
        ex.putref_ActiveConnection(own);
        for (int k = 0; k < 200; ++k) {
          const int n = (k * 7 + t * 13) % 100;
          _variant_t out;
          if (ex.put_XMLDefinition(_variant_t(text(n).c_str())) != S_OK ||
              ex.GetData(CHxExtractor::hxWsResultText, &out) != S_OK || out.vt != VT_BSTR ||
              std::wstring(out.bstrVal, SysStringLen(out.bstrVal)) != expected(n))
            ++wrong[t];
        }
        own->Close();
      }
      CoUninitialize();
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

// ---- values, conditions and attributes ------------------------------------------------------

TEST_F(Extractor, ValuesAsText) {
  auto text = [](const _variant_t& v) { return CDOMExtractor::ValueText(v); };
  EXPECT_EQ(text(_variant_t()), L"");
  _variant_t null;
  null.vt = VT_NULL;
  EXPECT_EQ(text(null), L"");
  EXPECT_EQ(text(_variant_t(L"a\x01" L"b\x0b" L"c\x1f" L"d\te\nf\rg\xfffe" L"h")), L"a b c d\te\nf\rg h");
  EXPECT_EQ(text(_variant_t(short{-1})), L"-1");
  EXPECT_EQ(text(_variant_t(LONG{-2000000000})), L"-2000000000");
  CY cy;
  cy.int64 = 125000;
  EXPECT_EQ(text(_variant_t(cy)), L"12.5");
  EXPECT_EQ(text(_variant_t(true)), L"1");
  EXPECT_EQ(text(_variant_t(false)), L"0");
  EXPECT_EQ(text(_variant_t(2.5)), L"2.5");
  EXPECT_EQ(text(_variant_t(0.1f)), L"0.1");
  EXPECT_EQ(text(_variant_t(LONGLONG{5000000000})), L"5000000000");
  _variant_t small;
  small.vt = VT_UI1;
  small.bVal = 255;
  EXPECT_EQ(text(small), L"255");
  DATE day = 0;
  SYSTEMTIME st{};
  st.wYear = 2024;
  st.wMonth = 3;
  st.wDay = 5;
  st.wHour = 23;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &day));
  _variant_t date;
  date.vt = VT_DATE;
  date.date = day;
  EXPECT_EQ(text(date), L"2024-03-05");
  _variant_t error;
  error.vt = VT_ERROR;
  EXPECT_EQ(text(error), L"");

  // Column types outside the old table no longer vanish from the output.
  EXPECT_EQ(Run(L"<def:data><def:sql>SELECT * FROM t_Item WHERE it_Id = 1</def:sql><def:element name='r'>"
                L"<def:attribute name='ratio' src='it_Ratio'/><def:attribute name='big' src='it_Big'/>"
                L"<def:attribute name='small' src='it_Small'/><def:attribute name='amount' src='it_Amount'/>"
                L"<def:attribute name='price' src='it_Price'/><def:attribute name='day' src='it_Day'/>"
                L"<def:attribute name='flag' src='it_Flag'/></def:element></def:data>"),
            kDecl + L"<r ratio=\"0\" big=\"5000000000\" small=\"7\" amount=\"3.25\" price=\"12.5\" day=\"2024-03-05\" flag=\"0\"/>");
}

TEST_F(Extractor, ConditionsFollowTheTruthRules) {
  EXPECT_TRUE(CDOMExtractor::Truth(_variant_t(0.0)));
  EXPECT_FALSE(CDOMExtractor::Truth(_variant_t(L"")));
  EXPECT_TRUE(CDOMExtractor::Truth(_variant_t(L"0")));
  EXPECT_FALSE(CDOMExtractor::Truth(_variant_t(short{0})));
  EXPECT_FALSE(CDOMExtractor::Truth(_variant_t()));
  CY cy;
  cy.int64 = 1LL << 32;  // only the high half set
  EXPECT_TRUE(CDOMExtractor::Truth(_variant_t(cy)));

  CHxExtractor ex;
  ex.put_CreateLog(1);
  const std::wstring out = Run(
      ex, Schema(L"<def:data><def:sql>SELECT it_Id, it_Flag, it_Ratio, it_Note, it_Small FROM t_Item ORDER BY it_Id</def:sql>"
                 L"<def:element name='i'><def:attribute name='id' src='it_Id'/>"
                 L"<def:attribute name='flag' cond='it_Flag' val='tak'/>"
                 L"<def:element name='ratio' cond='it_Ratio' val='r'/>"   // 0.0 holds, NULL does not
                 L"<def:element name='note' cond='it_Note' val='n'/>"     // '' and NULL do not
                 L"<def:element name='small' cond='it_Small' val='s'/>"
                 L"<def:element name='broken' cond='no_such_field' val='b'/>"
                 L"</def:element></def:data>"),
      true);
  EXPECT_EQ(out, kDecl + L"<i id=\"1\">\r\n\t<ratio>r</ratio>\r\n\t<note>n</note>\r\n\t<small>s</small>\r\n\t<broken>b</broken>\r\n</i>\r\n"
                         L"<i id=\"2\" flag=\"tak\">\r\n\t<ratio>r</ratio>\r\n\t<broken>b</broken>\r\n</i>\r\n"
                         L"<i id=\"3\">\r\n\t<small>s</small>\r\n\t<broken>b</broken>\r\n</i>");
  // The condition that cannot be read is logged each time, and counts as true.
  const std::wstring log = Log(ex);
  size_t errors = 0;
  for (size_t at = log.find(L"- Pobieram wartość pola: no_such_field\r\n"); at != std::wstring::npos;
       at = log.find(L"- Pobieram wartość pola: no_such_field\r\n", at + 1))
    ++errors;
  EXPECT_EQ(errors, 3u) << log;
  EXPECT_NE(log.find(L"no_such_field\r\n" + std::wstring(_com_error(0x800A0CC1).ErrorMessage())), std::wstring::npos)
      << log;
}

// ---- parameters -----------------------------------------------------------------------------

TEST_F(Extractor, ParametersArePlacedByIndexAndQuoted) {
  CHxExtractor ex;
  EXPECT_EQ(ex.AddParamString(L"who", L"O'Brien"), S_OK);
  EXPECT_EQ(ex.AddParam(L"min", _variant_t(LONG{1})), S_OK);
  const std::wstring out = Run(
      ex, Schema(L"<def:data><def:sql>SELECT it_Id FROM t_Item WHERE it_Name = '%2' AND it_Id &gt;= %1 "
                 L"AND it_Note %3 AND '%%' = '%%'</def:sql>"
                 L"<def:param idx='2' name='who'>nikt</def:param><def:param idx='1' name='min'>0</def:param>"
                 L"<def:param idx='3'>= ''</def:param>"  // a definition's own text stays as written
                 L"<def:element name='id' src='it_Id'/></def:data>"),
      true);
  EXPECT_EQ(out, kDecl + L"<id>2</id>");

  // A name missing from the map takes the parameter's own text.
  EXPECT_EQ(Run(L"<def:data><def:sql>SELECT it_Name FROM t_Item WHERE it_Id = %1</def:sql>"
                L"<def:param idx='1' name='absent'>3</def:param><def:element name='n' src='it_Name'/></def:data>"),
            kDecl + L"<n>Łyżka</n>");
}

TEST_F(Extractor, RowValuesGiveWhatTheQueryTextWouldRead) {
  // An inner query whose placeholders are values its conditions compare with runs once, bound
  // row by row; the output is what the query's text with the values in it gives (the run with
  // the log reads every query as text). The outer rows: it_Id 1 to 3, it_Small 7, 0, 255, it_Big
  // 5000000000, -1, 0.
  struct Case {
    const wchar_t* sql;
    const wchar_t* params;
    const wchar_t* expected;  // the three rows' elements, a space between two, a "|" between rows
  };
  const Case kCases[] = {
      // Markers in the order of the text, whatever the order of the parameters.
      {L"SELECT ln_Text AS v FROM t_Line WHERE ln_Id &gt; %2 AND ln_Item = %1 ORDER BY ln_Id",
       L"<def:param idx='2'>it_Small</def:param><def:param idx='1'>it_Id</def:param>", L"|<v>c</v> <t/>|"},
      {L"SELECT it_Name AS v FROM t_Item WHERE it_Big = %1", L"<def:param idx='1'>it_Big</def:param>",
       L"<v>Kubek</v> <t/>|<v>O'Brien</v> <t/>|<v>Łyżka</v> <t/>"},  // -1 is no whole number of digits: as text
      // A select list's "alias = value" is a column the value types.
      {L"SELECT v = %1 FROM t_Item WHERE it_Id = 1", L"<def:param idx='1'>it_Small</def:param>",
       L"<v>7</v> <t/>|<v>0</v>|<v>255</v> <t/>"},
      // An ORDER BY position, a number that goes on and a value in a literal stay text.
      {L"SELECT ln_Text AS v FROM t_Line WHERE ln_Item = 1 ORDER BY %1 DESC", L"<def:param idx='1'>it_Id</def:param>",
       L"<v>b</v> <t/> <v>a</v> <t/>||"},  // no second column to order by
      {L"SELECT it_Name AS v FROM t_Item WHERE it_Id = %1 + 1", L"<def:param idx='1'>it_Id</def:param>",
       L"<v>O'Brien</v> <t/>|<v>Łyżka</v> <t/>|"},
      {L"SELECT COUNT(*) AS v FROM t_Item WHERE it_Name &lt;&gt; '%1'", L"<def:param idx='1'>it_Id</def:param>",
       L"<v>3</v> <t/>|<v>3</v> <t/>|<v>3</v> <t/>"},
      // A query that fails as a statement fails as text.
      {L"SELECT nope AS v FROM t_Line WHERE ln_Item = %1", L"<def:param idx='1'>it_Id</def:param>", L"||"},
  };
  for (const Case& c : kCases) {
    const std::wstring definition = Schema(
        std::wstring(L"<def:data><def:sql>SELECT it_Id, it_Small, it_Big FROM t_Item ORDER BY it_Id</def:sql>"
                     L"<def:element name='r'><def:data><def:sql>") +
        c.sql + L"</def:sql>" + c.params +
        L"<def:element name='v' src='v'/><def:element name='t' cond='v'/></def:data></def:element></def:data>");
    CHxExtractor bound, text;
    text.put_CreateLog(1);
    const std::wstring out = Run(bound, definition, true);
    EXPECT_EQ(out, Run(text, definition, true)) << c.sql;
    std::wstring expected = kDecl;
    const std::wstring rows = c.expected;
    for (size_t start = 0, row = 0; row < 3; ++row) {
      const size_t end = std::min(rows.find(L'|', start), rows.size());
      if (row > 0) expected += L"\r\n";
      if (end == start) {
        expected += L"<r/>";
      } else {
        expected += L"<r>\r\n\t";
        for (size_t k = start; k < end; ++k) expected += rows[k] == L' ' ? std::wstring(L"\r\n\t") : std::wstring(1, rows[k]);
        expected += L"\r\n</r>";
      }
      start = end + 1;
    }
    EXPECT_EQ(out, expected) << c.sql;
  }
}

TEST_F(Extractor, BadParametersRunNoSql) {
  const wchar_t* kBad[] = {
      L"<def:param>1</def:param>",                                       // no idx
      L"<def:param idx='x'>1</def:param>",                               // not a number
      L"<def:param idx='0'>1</def:param>",                               // below 1
      L"<def:param idx='11'>1</def:param>",                              // above 10
      L"<def:param idx='1'>1</def:param><def:param idx='1'>2</def:param>",  // repeated
      L"<def:param idx='2'>1</def:param>",                               // %1 has no parameter
  };
  for (const wchar_t* params : kBad) {
    CHxExtractor ex;
    ex.put_CreateLog(1);
    const std::wstring out = Run(ex, Schema(std::wstring(L"<def:element name='r'><def:data><def:sql>SELECT it_Id "
                                                         L"FROM t_Item WHERE it_Id = %1</def:sql>") +
                                            params + L"<def:element name='id' src='it_Id'/></def:data></def:element>"),
                                 true);
    EXPECT_EQ(out, kDecl + L"<r/>") << params;
    const std::wstring log = Log(ex);
    EXPECT_EQ(log.find(L"- Zapytanie do bazy danych:"), std::wstring::npos) << params;
    EXPECT_NE(log.find(L"def:param"), std::wstring::npos) << params << L"\n" << log;
  }
  std::wstring eleven;
  for (int i = 1; i <= 11; ++i) eleven += L"<def:param idx='" + std::to_wstring(i % 10 + 1) + L"'>1</def:param>";
  EXPECT_EQ(Run(L"<def:data><def:sql>SELECT 1 AS one</def:sql>" + eleven + L"<def:element name='x' src='one'/></def:data>"),
            kDecl);
}

// ---- the exported methods -------------------------------------------------------------------

TEST_F(Extractor, MethodTableAndArguments) {
  using testutil::Slot;
  EXPECT_EQ(Slot(&CHxExtractor::get_ActiveConnection), 0u);
  EXPECT_EQ(Slot(&CHxExtractor::putref_ActiveConnection), 1u);
  EXPECT_EQ(Slot(&CHxExtractor::Init), 2u);
  EXPECT_EQ(Slot(&CHxExtractor::AddParam), 3u);
  EXPECT_EQ(Slot(&CHxExtractor::AddParamString), 4u);
  EXPECT_EQ(Slot(&CHxExtractor::get_XMLDefinition), 5u);
  EXPECT_EQ(Slot(&CHxExtractor::put_XMLDefinition), 6u);
  EXPECT_EQ(Slot(&CHxExtractor::GetData), 7u);
  EXPECT_EQ(Slot(&CHxExtractor::GetBufferedData), 8u);
  EXPECT_EQ(Slot(&CHxExtractor::get_CreateLog), 9u);
  EXPECT_EQ(Slot(&CHxExtractor::put_CreateLog), 10u);
  EXPECT_EQ(Slot(&CHxExtractor::SaveLog), 11u);

  CHxExtractor ex;
  EXPECT_EQ(ex.AddParamString(L"a", L"1"), S_OK);
  EXPECT_EQ(ex.AddParamString(L"a", L"1"), S_FALSE);
  EXPECT_EQ(ex.AddParamString(L"a", L"2"), S_OK);
  EXPECT_EQ(ex.AddParamString(L"A", L"2"), S_OK);  // names match exactly
  _variant_t flag;
  flag.vt = VT_I2;
  flag.iVal = -1;
  EXPECT_EQ(ex.AddParam(L"f", flag), S_OK);
  EXPECT_EQ(ex.AddParamString(L"f", L"-1"), S_FALSE);
  EXPECT_EQ(ex.Init(), S_OK);
  EXPECT_EQ(ex.AddParamString(L"a", L"2"), S_OK);  // Init emptied the map

  IDispatch* conn = nullptr;
  EXPECT_EQ(ex.get_ActiveConnection(nullptr), E_INVALIDARG);
  EXPECT_EQ(ex.get_ActiveConnection(&conn), S_OK);
  EXPECT_EQ(conn, nullptr);
  EXPECT_EQ(ex.putref_ActiveConnection(nullptr), E_INVALIDARG);
  EXPECT_EQ(ex.putref_ActiveConnection(cn), S_OK);
  EXPECT_EQ(ex.get_ActiveConnection(&conn), S_OK);
  ASSERT_NE(conn, nullptr);
  conn->Release();
  VARIANT v;
  VariantInit(&v);
  EXPECT_EQ(ex.get_XMLDefinition(&v), E_NOTIMPL);
  EXPECT_EQ(ex.put_XMLDefinition(_variant_t(LONG{5})), E_INVALIDARG);
  _variant_t notADocument(static_cast<IDispatch*>(cn), true);
  EXPECT_EQ(ex.put_XMLDefinition(notADocument), E_FAIL);
  EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultText, &v), E_FAIL);  // no definition
  EXPECT_EQ(ex.put_XMLDefinition(_variant_t(Schema(L"<def:element name='a' val='1'/>").c_str())), S_OK);
  EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultText, nullptr), E_INVALIDARG);
  EXPECT_EQ(ex.GetData(static_cast<CHxExtractor::hxWsResultType>(2), &v), E_INVALIDARG);
  short on = 5;
  EXPECT_EQ(ex.get_CreateLog(nullptr), E_INVALIDARG);
  EXPECT_EQ(ex.get_CreateLog(&on), S_OK);
  EXPECT_EQ(on, 0);
  ex.put_CreateLog(7);
  EXPECT_EQ(ex.get_CreateLog(&on), S_OK);
  EXPECT_EQ(on, -1);
}

TEST_F(Extractor, ResultsAsDocumentsAndBufferedWithoutARun) {
  CHxExtractor ex;
  const std::wstring def = L"<def:data><def:sql>SELECT COUNT(*) AS n FROM t_Item</def:sql><def:element name='n' src='n'/></def:data>";
  EXPECT_EQ(Run(ex, def), kDecl + L"<n>3</n>");

  // Into a document the caller gives: the same object receives the XML.
  IXMLDOMDocumentPtr given;
  ASSERT_EQ(given.CreateInstance(__uuidof(DOMDocument40)), S_OK);
  _variant_t holder(static_cast<IDispatch*>(given), true);
  EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultDocument, &holder), S_OK);
  EXPECT_EQ(holder.pdispVal, static_cast<IDispatch*>(given));
  EXPECT_EQ(std::wstring(given->GetdocumentElement()->Gettext()), L"3");

  // The buffered result comes from the last run in either form, whatever the data does since.
  testutil::Exec(cn, L"DELETE FROM t_Item");
  _variant_t text, doc;
  EXPECT_EQ(ex.GetBufferedData(CHxExtractor::hxWsResultText, &text), S_OK);
  EXPECT_EQ(std::wstring(text.bstrVal), kDecl + L"<n>3</n>");
  text = L"replaced";
  EXPECT_EQ(ex.GetBufferedData(CHxExtractor::hxWsResultDocument, &text), S_OK);  // not a document: a new one
  ASSERT_EQ(text.vt, VT_DISPATCH);
  EXPECT_EQ(std::wstring(IXMLDOMDocumentPtr(text.pdispVal)->GetdocumentElement()->Gettext()), L"3");
  EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultDocument, &doc), S_OK);
  EXPECT_EQ(std::wstring(IXMLDOMDocumentPtr(doc.pdispVal)->GetdocumentElement()->Gettext()), L"0");

  // A closed connection fails the run.
  cn->Close();
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(ex.GetData(CHxExtractor::hxWsResultText, &out), E_FAIL);
}

TEST_F(Extractor, LogIsSavedOnlyWhenSwitchedOn) {
  const std::wstring def = L"<def:data><def:sql>SELECT it_Name FROM t_Item WHERE it_Id = %1</def:sql>"
                           L"<def:param idx='1' name='id'>0</def:param><def:element name='n' src='it_Name'/></def:data>";
  CHxExtractor off;
  Run(off, def);
  const std::wstring path = db.File(L"extractor.off.log");
  EXPECT_EQ(off.SaveLog(path.c_str()), S_FALSE);
  EXPECT_FALSE(std::ifstream(std::string(_bstr_t(path.c_str()))).good());

  CHxExtractor on;
  on.put_CreateLog(-1);
  on.AddParamString(L"id", L"3");
  EXPECT_EQ(Run(on, def), kDecl + L"<n>Łyżka</n>");
  on.AddParamString(L"id", L"2");  // the map changes nothing in the log; the second run adds to it
  Run(on, def);
  const std::wstring logPath = db.File(L"extractor.on.log");
  EXPECT_EQ(on.SaveLog(logPath.c_str()), S_OK);
  std::ifstream file(std::string(_bstr_t(logPath.c_str())), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::string run1 = "- Zapytanie do bazy danych:\r\nSELECT it_Name FROM t_Item WHERE it_Id = 3\r\n"
                           "- Pobieram warto\x9c\xe6 pola: it_Name\r\n";
  const std::string run2 = "- Zapytanie do bazy danych:\r\nSELECT it_Name FROM t_Item WHERE it_Id = 2\r\n"
                           "- Pobieram warto\x9c\xe6 pola: it_Name\r\n";
  EXPECT_EQ(bytes, run1 + run2);
  std::remove(std::string(_bstr_t(logPath.c_str())).c_str());
  EXPECT_EQ(on.SaveLog(L"/no/such/folder/x.log"), E_FAIL);
}

// ---- failures keep the output well-formed ----------------------------------------------------

TEST_F(Extractor, FailingBlocksAndRunsEndTheirElements) {
  CHxExtractor ex;
  ex.put_CreateLog(1);
  // The second row fails inside its element (an element without a name): the rows before stay,
  // the block's open elements are ended and the run goes on after the block.
  const std::wstring out = Run(
      ex, Schema(L"<def:element name='root'><def:data><def:sql>SELECT it_Id, it_Flag FROM t_Item ORDER BY it_Id</def:sql>"
                 L"<def:element name='item'><def:element name='id' src='it_Id'/>"
                 L"<def:element name='w'><def:element cond='it_Flag'/></def:element></def:element></def:data>"
                 L"<def:element name='after' val='1'/></def:element>"),
      true);
  EXPECT_EQ(out, kDecl + L"<root>\r\n\t<item>\r\n\t\t<id>1</id>\r\n\t\t<w/>\r\n\t</item>\r\n\t<item>\r\n\t\t<id>2</id>\r\n"
                         L"\t\t<w/>\r\n\t</item>\r\n\t<after>1</after>\r\n</root>");
  EXPECT_TRUE(WellFormed(out));
  EXPECT_NE(Log(ex).find(L"not an XML element name"), std::wstring::npos);

  // A failure outside every block ends the run with its elements ended.
  const std::wstring run = Run(L"<def:element name='root'><def:element name='ok' val='1'/>"
                               L"<def:element name='1bad'/><def:element name='never'/></def:element>");
  EXPECT_EQ(run, kDecl + L"<root>\r\n\t<ok>1</ok>\r\n</root>");

  // A block whose query fails writes nothing and the run goes on.
  EXPECT_EQ(Run(L"<def:element name='r'><def:data><def:sql>SELECT nope FROM nowhere</def:sql>"
                L"<def:element name='x'/></def:data><def:element name='y' val='2'/></def:element>"),
            kDecl + L"<r>\r\n\t<y>2</y>\r\n</r>");
  // The runs' reads of one state of the database are over with them, failed or not.
  EXPECT_EQ(platform::ado::TransactionDepth(cn), 0);
}

TEST_F(Extractor, HostileDefinitionsGiveEmptyOutput) {
  const wchar_t* kHostile[] = {
      L"<def:schema",  // not well-formed
      L"<!DOCTYPE s [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><s>&x;</s>",
      L"<!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
      L"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><s>&c;</s>",
  };
  for (const wchar_t* text : kHostile) EXPECT_EQ(Run(text, true), L"") << text;
  std::wstring deep;
  for (int i = 0; i < 400; ++i) deep += L"<def:element name='e'>";
  for (int i = 0; i < 400; ++i) deep += L"</def:element>";
  EXPECT_EQ(Run(deep), L"");
  std::wstring deepest;  // the deepest nesting a definition may have runs
  for (int i = 0; i < 254; ++i) deepest += L"<def:element name='e'>";
  for (int i = 0; i < 254; ++i) deepest += L"</def:element>";
  EXPECT_TRUE(WellFormed(Run(deepest)));

  // A 10 MB text field is written whole (the platform's tests load such text back).
  ExSqlParamEntry note{adParamInput, adLongVarWChar, 10 << 20, {}};
  VariantInit(&note.value);
  note.value.vt = VT_BSTR;
  note.value.bstrVal = SysAllocStringLen(nullptr, 10u << 20);
  std::wmemset(note.value.bstrVal, L'x', 10u << 20);
  note.value.bstrVal[0] = L'&';
  ASSERT_EQ(exeSqlWithParams(cn, L"UPDATE t_Item SET it_Note = ? WHERE it_Id = 1", &note, 1, false, nullptr), S_OK);
  VariantClear(&note.value);
  const std::wstring out = Run(L"<def:data><def:sql>SELECT it_Note FROM t_Item WHERE it_Id = 1</def:sql>"
                               L"<def:element name='note' src='it_Note'/></def:data>");
  EXPECT_EQ(out.size(), kDecl.size() + (10u << 20) + 4 + 13);
  EXPECT_EQ(out.compare(kDecl.size(), 12, L"<note>&amp;x"), 0);
}

}  // namespace
