// A data definition with an outer block of 10,000 rows of ten fields and an inner block per row,
// run through CHxExtractor; in the same run a baseline runs the same queries through the SQLite
// C API and writes the same XML with libxml2's text writer. Prints both times and their ratio.
#include <libxml/xmlwriter.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "shared/hxextractor.h"

namespace {

constexpr int kRows = 10000;
constexpr int kInnerPerRow = 2;
constexpr int kRepeats = 3;

const char* const kFields[] = {"o_Id", "o_Name", "o_Qty", "o_Price", "o_Ratio", "o_Added", "o_Code", "o_Note", "o_Flag", "o_Count"};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Fill(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL;"
               "CREATE TABLE b_Outer (o_Id int NOT NULL PRIMARY KEY, o_Name nvarchar(50), o_Qty int, o_Price money,"
               " o_Ratio float, o_Added datetime, o_Code nvarchar(20), o_Note nvarchar(200), o_Flag bit, o_Count int);"
               "CREATE TABLE b_Inner (i_Id int NOT NULL PRIMARY KEY, i_Outer int NOT NULL, i_Text nvarchar(100));"
               "CREATE INDEX ix_Inner ON b_Inner (i_Outer, i_Id);"
               "BEGIN",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* outer = nullptr;
  sqlite3_stmt* inner = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO b_Outer VALUES (?, ?, ?, ?, ?, '2024-05-06 07:08:09', ?, ?, ?, ?)", -1, &outer, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO b_Inner VALUES (?, ?, ?)", -1, &inner, nullptr);
  for (int i = 1; i <= kRows; ++i) {
    const std::string name = "Przedmiot nr " + std::to_string(i) + " & spółka";
    const std::string code = "K-" + std::to_string(i * 7);
    const std::string note = "Opis przedmiotu <" + std::to_string(i) + "> z kilkoma słowami więcej";
    sqlite3_bind_int(outer, 1, i);
    sqlite3_bind_text(outer, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(outer, 3, i % 100);
    sqlite3_bind_double(outer, 4, i * 0.25);
    sqlite3_bind_double(outer, 5, i / 8.0);
    sqlite3_bind_text(outer, 6, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(outer, 7, note.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(outer, 8, i % 2);
    sqlite3_bind_int(outer, 9, i * 3);
    sqlite3_step(outer);
    sqlite3_reset(outer);
    for (int k = 0; k < kInnerPerRow; ++k) {
      const std::string text = "Pozycja " + std::to_string(k + 1) + " przedmiotu " + std::to_string(i);
      sqlite3_bind_int(inner, 1, i * kInnerPerRow + k);
      sqlite3_bind_int(inner, 2, i);
      sqlite3_bind_text(inner, 3, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(inner);
      sqlite3_reset(inner);
    }
  }
  sqlite3_finalize(outer);
  sqlite3_finalize(inner);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

std::wstring Definition() {
  std::wstring def = std::wstring(L"<def:schema xmlns:def=\"") + kHxDefinitionNamespace + L"\"><def:data>"
                     L"<def:sql>SELECT * FROM b_Outer ORDER BY o_Id</def:sql><def:element name=\"rows\">"
                     L"<def:element name=\"row\"><def:attribute name=\"id\" src=\"o_Id\"/>";
  for (const char* field : kFields) {
    const std::wstring f(field, field + std::char_traits<char>::length(field));
    def += L"<def:element name=\"" + f.substr(2) + L"\" src=\"" + f + L"\"/>";
  }
  def += L"<def:data><def:sql>SELECT i_Id, i_Text FROM b_Inner WHERE i_Outer = %1 ORDER BY i_Id</def:sql>"
         L"<def:param idx=\"1\">o_Id</def:param><def:element name=\"item\"><def:attribute name=\"id\" src=\"i_Id\"/>"
         L"<def:element name=\"text\" src=\"i_Text\"/></def:element></def:data>"
         L"</def:element></def:element></def:data></def:schema>";
  return def;
}

size_t ThroughExtractor(const std::string& path, double& seconds) {
  _ConnectionPtr conn(__uuidof(Connection));
  conn->Open(_bstr_t(("Provider=SQLite;Data Source=" + path).c_str()), L"", L"", adConnectUnspecified);
  const std::wstring def = Definition();
  auto start = std::chrono::steady_clock::now();
  CHxExtractor extractor;
  extractor.putref_ActiveConnection(conn);
  extractor.put_XMLDefinition(_variant_t(def.c_str()));
  _variant_t xml;
  if (FAILED(extractor.GetData(CHxExtractor::hxWsResultText, &xml)) || xml.vt != VT_BSTR) {
    std::fprintf(stderr, "the extractor failed\n");
    return 0;
  }
  seconds = Seconds(start);
  conn->Close();
  return SysStringLen(xml.bstrVal);
}

size_t Baseline(const std::string& path, double& seconds) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  auto start = std::chrono::steady_clock::now();
  xmlBufferPtr buffer = xmlBufferCreate();
  xmlTextWriterPtr writer = xmlNewTextWriterMemory(buffer, 0);
  xmlTextWriterSetIndent(writer, 1);
  xmlTextWriterSetIndentString(writer, BAD_CAST "\t");
  xmlTextWriterStartDocument(writer, nullptr, "UTF-8", "no");
  sqlite3_stmt* outer = nullptr;
  sqlite3_prepare_v2(db, "SELECT * FROM b_Outer ORDER BY o_Id", -1, &outer, nullptr);
  while (sqlite3_step(outer) == SQLITE_ROW) {
    xmlTextWriterStartElement(writer, BAD_CAST "rows");
    xmlTextWriterStartElement(writer, BAD_CAST "row");
    xmlTextWriterWriteAttribute(writer, BAD_CAST "id", sqlite3_column_text(outer, 0));
    for (int c = 0; c < 10; ++c) {
      const char* name = kFields[c] + 2;
      const unsigned char* value = sqlite3_column_text(outer, c);
      xmlTextWriterStartElement(writer, BAD_CAST name);
      if (value && *value) xmlTextWriterWriteString(writer, value);
      xmlTextWriterEndElement(writer);
    }
    char* sql = sqlite3_mprintf("SELECT i_Id, i_Text FROM b_Inner WHERE i_Outer = %d ORDER BY i_Id", sqlite3_column_int(outer, 0));
    sqlite3_stmt* inner = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &inner, nullptr);
    sqlite3_free(sql);
    while (sqlite3_step(inner) == SQLITE_ROW) {
      xmlTextWriterStartElement(writer, BAD_CAST "item");
      xmlTextWriterWriteAttribute(writer, BAD_CAST "id", sqlite3_column_text(inner, 0));
      xmlTextWriterWriteElement(writer, BAD_CAST "text", sqlite3_column_text(inner, 1));
      xmlTextWriterEndElement(writer);
    }
    sqlite3_finalize(inner);
    xmlTextWriterEndElement(writer);
    xmlTextWriterEndElement(writer);
  }
  sqlite3_finalize(outer);
  xmlTextWriterEndDocument(writer);
  xmlFreeTextWriter(writer);
  const size_t bytes = static_cast<size_t>(xmlBufferLength(buffer));
  xmlBufferFree(buffer);
  seconds = Seconds(start);
  sqlite3_close(db);
  return bytes;
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  const std::string path = "/tmp/vantor-bench-xml-" + std::to_string(::getpid()) + ".db";
  Fill(path);
  double extractor = 1e9, baseline = 1e9;
  size_t chars = 0, bytes = 0;
  for (int i = 0; i < kRepeats; ++i) {
    double t = 0;
    chars = ThroughExtractor(path, t);
    extractor = std::min(extractor, t);
    bytes = Baseline(path, t);
    baseline = std::min(baseline, t);
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
  std::printf("rows: %d outer, %d inner queries of %d rows\n", kRows, kRows, kInnerPerRow);
  std::printf("extractor (ADO, DOM definition, SAX writer): %.3f s, %zu characters\n", extractor, chars);
  std::printf("baseline (SQLite C API, libxml2 text writer): %.3f s, %zu bytes\n", baseline, bytes);
  std::printf("ratio: %.2fx\n", extractor / baseline);
  CoUninitialize();
  return chars > 0 ? 0 : 1;
}
