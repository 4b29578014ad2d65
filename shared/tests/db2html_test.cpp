// The HTML preview on the host's product database with its sample definitions and the host's
// default stylesheet.
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "shared/db2html.h"
#include "shared/hxinstance.h"
#include "shared/tests/fixture.h"

namespace {

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    host = std::make_unique<host::Host>(db.Path());
    CHxInstance::SetInstance(host->Instance());
    cn = host->Connection();
  }
  void TearDown() override {
    CHxInstance::SetInstance(nullptr);
    cn = nullptr;
    host.reset();
    CoUninitialize();
  }
  void Exec(const std::wstring& sql) { testutil::Exec(cn, sql.c_str()); }
  static std::wstring Html(CDB2html& preview, LONG object, LONG record, bool financial = false) {
    return preview.Transform2Html(object, record, financial).GetString();
  }
  static bool Has(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

  testutil::TempDatabase db;
  std::unique_ptr<host::Host> host;
  _ConnectionPtr cn;
};

const wchar_t kEcho[] =
    L"<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\"><def:data>"
    L"<def:sql>SELECT %1 AS rec, %2 AS fin</def:sql><def:param idx=\"1\" name=\"id\">0</def:param>"
    L"<def:param idx=\"2\" name=\"upr_fin\">9</def:param>"
    L"<def:element name=\"p\"><def:attribute name=\"rec\" src=\"rec\"/><def:attribute name=\"fin\" src=\"fin\"/>"
    L"</def:element></def:data></def:schema>";

std::wstring Stylesheet(const std::wstring& mark) {
  return L"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"><xsl:output method=\"html\"/>"
         L"<xsl:template match=\"/\"><div>" + mark + L" <xsl:value-of select=\"p/@rec\"/>/<xsl:value-of select=\"p/@fin\"/>"
         L"</div></xsl:template></xsl:stylesheet>";
}

TEST_F(Preview, SamplesOfTheProductDatabase) {
  CDB2html preview;
  // Object 1 has a stylesheet of its own.
  const std::wstring user = Html(preview, 1, 1);
  EXPECT_TRUE(Has(user, L"<h1>Użytkownik Szef</h1>")) << user;
  EXPECT_TRUE(Has(user, L"Administrator programu")) << user;

  // Object 2 has none: the host's default stylesheet shows the job and its lines.
  Exec(L"INSERT INTO kd_JobLog (jl_Id, jl_Type, jl_Subtype, jl_Start, jl_End, jl_Count, jl_Result) "
       L"VALUES (5, 1, 2, '2024-05-01 10:00:00', NULL, 3, 0)");
  Exec(L"INSERT INTO kd_JobLogLine (jll_Id, jll_JobId, jll_Time, jll_Status, jll_Text) VALUES "
       L"(1, 5, '2024-05-01 10:00:01', 0, 'Odebrano <3> & więcej'), (2, 5, '2024-05-01 10:00:02', 2, 'Błąd O''Briena')");
  const std::wstring job = Html(preview, 2, 5);
  EXPECT_TRUE(Has(job, L"<h1>zadanie</h1>")) << job;
  EXPECT_TRUE(Has(job, L"<td>2024-05-01 10:00:00</td>")) << job;
  EXPECT_TRUE(Has(job, L"<td>Odebrano &lt;3&gt; &amp; więcej</td>")) << job;
  EXPECT_TRUE(Has(job, L"<td>Błąd O'Briena</td>")) << job;
  EXPECT_TRUE(Has(job, L"wiersz (2)")) << job;

  // A record that is not there gives no preview.
  EXPECT_EQ(Html(preview, 2, 99), L"");
  CDB2html fresh;
  EXPECT_EQ(Html(fresh, 77, 1), L"");  // no definition
}

TEST_F(Preview, StylesheetChoiceAndParameters) {
  Exec(L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (10, 7, N'" + std::wstring(kEcho) + L"')");
  Exec(L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (11, 8, N'" + std::wstring(kEcho) + L"')");
  // Object 7: several stylesheets, the lowest vxt_Id is used.
  Exec(L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (30, 7, N'" + Stylesheet(L"TRZECI") + L"')");
  Exec(L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (20, 7, N'" + Stylesheet(L"DRUGI") + L"')");
  Exec(L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (25, 7, N'" + Stylesheet(L"INNY") + L"')");
  // Object 8: a stylesheet row that is not XML falls back to the default stylesheet.
  Exec(L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (40, 8, N'<xsl:stylesheet')");

  CDB2html preview;
  EXPECT_EQ(Html(preview, 7, 42, true), L"<div>DRUGI 42/-1</div>\n");
  EXPECT_EQ(Html(preview, 7, -3, false), L"<div>DRUGI -3/0</div>\n");
  const std::wstring fallback = Html(preview, 8, 5);
  EXPECT_TRUE(Has(fallback, L"<h1>p</h1>")) << fallback;
  EXPECT_TRUE(Has(fallback, L"<th>fin</th><td>0</td>") || Has(fallback, L"<th>fin</th>\n<td>0</td>")) << fallback;

  // Copies share the documents and render alike.
  CDB2html copy(preview);
  EXPECT_TRUE(Has(Html(copy, 8, 6), L"6"));
}

TEST_F(Preview, ReuseNeverShowsAnotherRecord) {
  CDB2html preview;
  ASSERT_TRUE(Has(Html(preview, 1, 1), L"Szef"));
  // Another object type without a definition: nothing, not user 1 read through object 1.
  EXPECT_EQ(Html(preview, 55, 1), L"");
  // A definition whose output does not load (an empty result) renders nothing either.
  Exec(L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (12, 9, N'<nie-definicja/>')");
  ASSERT_TRUE(Has(Html(preview, 1, 1), L"Szef"));
  EXPECT_EQ(Html(preview, 9, 1), L"");
  // A definition that is not well-formed leaves no definition behind.
  Exec(L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (13, 10, N'<def:schema')");
  ASSERT_TRUE(Has(Html(preview, 1, 1), L"Szef"));
  EXPECT_EQ(Html(preview, 10, 1), L"");
  // A stylesheet that fails to transform gives nothing.
  Exec(L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (14, 11, N'" + std::wstring(kEcho) + L"')");
  Exec(L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (50, 11, N'<not-a-stylesheet/>')");
  ASSERT_TRUE(Has(Html(preview, 1, 1), L"Szef"));
  EXPECT_EQ(Html(preview, 11, 1), L"");
  // Without the host's instance there is no connection and no preview.
  CHxInstance::SetInstance(nullptr);
  EXPECT_EQ(Html(preview, 1, 1), L"");
}

}  // namespace
