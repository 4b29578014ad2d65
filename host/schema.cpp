// The product database schema in SQL Server's dialect; the ADO layer reads it on SQLite as well.
// Keys come from the key table (ReserveIds), so no column depends on server-side numbering.
#include "host/schema.h"

#include <string>

#include "host/host.h"

namespace host {
namespace {

const std::vector<SchemaStep> kSteps = {
    {1,
     {
         L"CREATE TABLE kd_SchemaVersion (sv_Version int NOT NULL PRIMARY KEY, "
         L"sv_Applied datetime NULL)",
         // Consecutive keys per table, handed out by the data factory's ReserveIds.
         L"CREATE TABLE kd_keys (ki_Table nvarchar(128) NOT NULL PRIMARY KEY, ki_NextId int NOT NULL)",
         // Per-key counters of CHxAutoNumberList.
         L"CREATE TABLE kd_counter (cn_Object int NOT NULL, cn_Key int NOT NULL, "
         L"cn_MaxNumber int NOT NULL, PRIMARY KEY (cn_Object, cn_Key))",
         // Auction-service providers and the ProgIDs of their plug-in objects.
         L"CREATE TABLE sl_ServiceProvider (ss_Id int NOT NULL PRIMARY KEY, ss_Name nvarchar(100) NULL, "
         L"ss_ProgId nvarchar(255) NULL, ss_AuctionProgId nvarchar(255) NULL, "
         L"ss_TemplateProgId nvarchar(255) NULL)",
         // Users of the host and their rights; user 1, the administrator, holds every right.
         L"CREATE TABLE kd_User (us_Id int NOT NULL PRIMARY KEY, us_Name nvarchar(50) NOT NULL)",
         L"CREATE TABLE kd_UserRight (ur_UserId int NOT NULL, ur_Right int NOT NULL, "
         L"PRIMARY KEY (ur_UserId, ur_Right))",
         L"INSERT INTO kd_User (us_Id, us_Name) VALUES (1, 'Szef')",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('kd_User', 2)",
         // Data parameters (object 5000) and program parameters (object 5004): one row each.
         L"CREATE TABLE kd_DataParams (pd_Id int NOT NULL PRIMARY KEY, "
         L"pd_BaseCurrency nvarchar(3) NULL, pd_IR_ThumbnailCX int NULL, pd_IR_ThumbnailCY int NULL)",
         L"INSERT INTO kd_DataParams (pd_Id, pd_BaseCurrency, pd_IR_ThumbnailCX, pd_IR_ThumbnailCY) "
         L"VALUES (1, 'PLN', 120, 90)",
         L"CREATE TABLE kd_ProgramParams (pa_Id int NOT NULL PRIMARY KEY, "
         L"pa_AuctionsReceiveDialog bit NOT NULL DEFAULT 1, pa_AuctionsSendDialog bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncTransaction bit NOT NULL DEFAULT 1, pa_AuctSyncFeedback bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncFeedbackMax int NOT NULL DEFAULT 0, pa_AuctSyncSellAuction bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncSoldAuction bit NOT NULL DEFAULT 1, pa_AuctSyncNotSoldAuction bit NOT NULL DEFAULT 1, "
         L"pa_AuctSyncFullAuctionData int NOT NULL DEFAULT 1, "
         L"pa_AuctSyncReceiveCurReg bit NOT NULL DEFAULT 0, pa_AuctSyncUseJournal bit NOT NULL DEFAULT 0, "
         L"pa_AuctSyncSendCurReg bit NOT NULL DEFAULT 0, pa_AuctSyncSendImgMaxSize int NOT NULL DEFAULT 0, "
         L"pa_AuctSyncSendImgMaxLen int NOT NULL DEFAULT 0)",
         L"INSERT INTO kd_ProgramParams (pa_Id) VALUES (1)",
     }},
    {2,
     {
         // The job log: one row per job, its dated lines beside it.
         L"CREATE TABLE kd_JobLog (jl_Id int NOT NULL PRIMARY KEY, jl_Type int NOT NULL, "
         L"jl_Subtype int NOT NULL, jl_Start datetime NOT NULL, jl_End datetime NULL, "
         L"jl_Count int NULL, jl_Result int NULL, jl_UserId int NULL)",
         L"CREATE TABLE kd_JobLogLine (jll_Id int NOT NULL PRIMARY KEY, jll_JobId int NOT NULL, "
         L"jll_Time datetime NOT NULL, jll_Status int NOT NULL, jll_Text nvarchar(4000) NULL)",
         L"CREATE INDEX ix_JobLogLine_Job ON kd_JobLogLine (jll_JobId, jll_Id)",
         // Locks of database objects between workstations: a row per held lock.
         L"CREATE TABLE kd_blokada (obid int NOT NULL, obextra int NOT NULL, obtype int NOT NULL, "
         L"workstation nvarchar(16) NULL, username nvarchar(50) NULL, "
         L"PRIMARY KEY (obid, obextra, obtype))",
         // Host settings by section and key.
         L"CREATE TABLE kd_Setting (st_Section nvarchar(100) NOT NULL, st_Key nvarchar(100) NOT NULL, "
         L"st_Value nvarchar(4000) NULL, PRIMARY KEY (st_Section, st_Key))",
     }},
    {3,
     {
         // The host's e-mail addresses (accounts may name one); a locked address is not handled.
         L"CREATE TABLE kd_EmailAddress (em_Id int NOT NULL PRIMARY KEY, em_Address nvarchar(255) NOT NULL, "
         L"em_Name nvarchar(255) NULL, em_Locked bit NOT NULL DEFAULT 0)",
     }},
    {4,
     {
         // Data definitions of the HTML preview (object type, definition XML) and their
         // stylesheets; a type without a stylesheet row is shown through the default one.
         L"CREATE TABLE vx_Definicja (vxd_Id int NOT NULL PRIMARY KEY, vxd_ObiektId int NOT NULL, "
         L"vxd_Definicja ntext NULL)",
         L"CREATE INDEX ix_Definicja_Obiekt ON vx_Definicja (vxd_ObiektId)",
         L"CREATE TABLE vx_Transformacja (vxt_Id int NOT NULL PRIMARY KEY, vxt_ObiektId int NOT NULL, "
         L"vxt_Transformacja ntext NULL)",
         L"CREATE INDEX ix_Transformacja_Obiekt ON vx_Transformacja (vxt_ObiektId, vxt_Id)",
         // Object 1: a user with the rights granted to it, shown by a stylesheet of its own.
         L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (1, 1, N'"
         L"<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\">\n"
         L"  <def:name>Użytkownik</def:name>\n"
         L"  <def:data>\n"
         L"    <def:sql>SELECT us_Id, us_Name, CASE WHEN us_Id = 1 THEN 1 ELSE 0 END AS us_Admin "
         L"FROM kd_User WHERE us_Id = %1</def:sql>\n"
         L"    <def:param idx=\"1\" name=\"id\">0</def:param>\n"
         L"    <def:element name=\"uzytkownik\">\n"
         L"      <def:attribute name=\"id\" src=\"us_Id\"/>\n"
         L"      <def:element name=\"nazwa\" src=\"us_Name\"/>\n"
         L"      <def:element name=\"administrator\" cond=\"us_Admin\" val=\"tak\"/>\n"
         L"      <def:element name=\"uprawnienia\">\n"
         L"        <def:data>\n"
         L"          <def:sql>SELECT ur_Right FROM kd_UserRight WHERE ur_UserId = %1 ORDER BY ur_Right</def:sql>\n"
         L"          <def:param idx=\"1\">us_Id</def:param>\n"
         L"          <def:element name=\"prawo\" src=\"ur_Right\"/>\n"
         L"        </def:data>\n"
         L"      </def:element>\n"
         L"    </def:element>\n"
         L"  </def:data>\n"
         L"</def:schema>')",
         L"INSERT INTO vx_Transformacja (vxt_Id, vxt_ObiektId, vxt_Transformacja) VALUES (1, 1, N'"
         L"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
         L"  <xsl:output method=\"html\" encoding=\"UTF-8\"/>\n"
         L"  <xsl:template match=\"/\">\n"
         L"    <html>\n"
         L"      <head><title>Użytkownik</title></head>\n"
         L"      <body style=\"font-family: Tahoma, Arial, sans-serif; font-size: 10pt\">\n"
         L"        <xsl:for-each select=\"uzytkownik\">\n"
         L"          <h1>Użytkownik <xsl:value-of select=\"nazwa\"/></h1>\n"
         L"          <p>Numer: <xsl:value-of select=\"@id\"/></p>\n"
         L"          <xsl:if test=\"administrator\"><p>Administrator programu: ma wszystkie uprawnienia.</p></xsl:if>\n"
         L"          <xsl:choose>\n"
         L"            <xsl:when test=\"uprawnienia/prawo\">\n"
         L"              <p>Nadane uprawnienia:</p>\n"
         L"              <ul><xsl:for-each select=\"uprawnienia/prawo\"><li><xsl:value-of select=\".\"/></li></xsl:for-each></ul>\n"
         L"            </xsl:when>\n"
         L"            <xsl:otherwise><p>Brak osobno nadanych uprawnień.</p></xsl:otherwise>\n"
         L"          </xsl:choose>\n"
         L"        </xsl:for-each>\n"
         L"        <xsl:if test=\"not(uzytkownik)\"><p>Nie ma takiego użytkownika.</p></xsl:if>\n"
         L"      </body>\n"
         L"    </html>\n"
         L"  </xsl:template>\n"
         L"</xsl:stylesheet>')",
         // Object 2: a job of the job log with its lines, shown by the default stylesheet.
         L"INSERT INTO vx_Definicja (vxd_Id, vxd_ObiektId, vxd_Definicja) VALUES (2, 2, N'"
         L"<def:schema xmlns:def=\"http://www.vantor.example/VXSchemas/xml-def.xsd\">\n"
         L"  <def:name>Zadanie dziennika</def:name>\n"
         L"  <def:data>\n"
         L"    <def:sql>SELECT jl_Id, jl_Type, jl_Subtype, CONVERT(varchar(19), jl_Start, 120) AS jl_Start, "
         L"CONVERT(varchar(19), jl_End, 120) AS jl_End, jl_Count, jl_Result FROM kd_JobLog WHERE jl_Id = %1</def:sql>\n"
         L"    <def:param idx=\"1\" name=\"id\">0</def:param>\n"
         L"    <def:element name=\"zadanie\">\n"
         L"      <def:attribute name=\"numer\" src=\"jl_Id\"/>\n"
         L"      <def:element name=\"rodzaj\" src=\"jl_Type\"/>\n"
         L"      <def:element name=\"podrodzaj\" src=\"jl_Subtype\"/>\n"
         L"      <def:element name=\"poczatek\" src=\"jl_Start\"/>\n"
         L"      <def:element name=\"koniec\" src=\"jl_End\"/>\n"
         L"      <def:element name=\"liczba\" src=\"jl_Count\"/>\n"
         L"      <def:element name=\"wynik\" src=\"jl_Result\"/>\n"
         L"      <def:element name=\"wiersze\">\n"
         L"        <def:data>\n"
         L"          <def:sql>SELECT CONVERT(varchar(19), jll_Time, 120) AS jll_Time, jll_Status, jll_Text "
         L"FROM kd_JobLogLine WHERE jll_JobId = %1 ORDER BY jll_Id</def:sql>\n"
         L"          <def:param idx=\"1\">jl_Id</def:param>\n"
         L"          <def:element name=\"wiersz\">\n"
         L"            <def:attribute name=\"status\" src=\"jll_Status\"/>\n"
         L"            <def:element name=\"czas\" src=\"jll_Time\"/>\n"
         L"            <def:element name=\"tekst\" src=\"jll_Text\"/>\n"
         L"          </def:element>\n"
         L"        </def:data>\n"
         L"      </def:element>\n"
         L"    </def:element>\n"
         L"  </def:data>\n"
         L"</def:schema>')",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('vx_Definicja', 3)",
         L"INSERT INTO kd_keys (ki_Table, ki_NextId) VALUES ('vx_Transformacja', 2)",
     }},
};

bool HasVersionTable(const _ConnectionPtr& connection) {
  try {
    _RecordsetPtr rs = connection->Execute(_bstr_t(L"SELECT MAX(sv_Version) FROM kd_SchemaVersion"),
                                           nullptr, adCmdText);
    rs->Close();
    return true;
  } catch (const _com_error&) {
    return false;
  }
}

[[noreturn]] void RefuseNewer(LONG stored) {
  RaiseHostError(E_FAIL, L"Baza danych ma schemat w wersji " + std::to_wstring(stored) +
                             L", nowszej niż obsługiwana przez program (" + std::to_wstring(CurrentSchemaVersion()) + L").");
}

}  // namespace

const std::vector<SchemaStep>& SchemaSteps() { return kSteps; }

LONG CurrentSchemaVersion() { return kSteps.back().version; }

LONG StoredSchemaVersion(const _ConnectionPtr& connection) {
  if (!HasVersionTable(connection)) return 0;
  _RecordsetPtr rs = connection->Execute(_bstr_t(L"SELECT MAX(sv_Version) FROM kd_SchemaVersion"),
                                         nullptr, adCmdText);
  LONG version = 0;
  if (!rs->GetadoEOF()) {
    _variant_t v = rs->GetFields()->GetItem(_variant_t(LONG{0}))->GetValue();
    if (v.vt != VT_NULL && v.vt != VT_EMPTY) version = static_cast<LONG>(v);
  }
  rs->Close();
  return version;
}

LONG UpgradeSchemaTo(const _ConnectionPtr& connection, LONG target) {
  const LONG before = StoredSchemaVersion(connection);
  if (before > CurrentSchemaVersion()) {
    // A database of a newer program: refused with an explanation, never touched.
    RefuseNewer(before);
  }
  for (const SchemaStep& step : kSteps) {
    if (step.version <= before || step.version > target) continue;
    connection->BeginTrans();
    try {
      for (const wchar_t* sql : step.statements)
        connection->Execute(_bstr_t(sql), nullptr, kCmdTextNoRecords);
      const std::wstring record = L"INSERT INTO kd_SchemaVersion (sv_Version, sv_Applied) VALUES (" +
                                  std::to_wstring(step.version) + L", GETDATE())";
      connection->Execute(_bstr_t(record.c_str()), nullptr, kCmdTextNoRecords);
      connection->CommitTrans();
    } catch (...) {
      connection->RollbackTrans();
      throw;
    }
  }
  return before;
}

void CheckSchemaCurrent(const _ConnectionPtr& connection) {
  const LONG stored = StoredSchemaVersion(connection);
  if (stored > CurrentSchemaVersion()) RefuseNewer(stored);
  if (stored < CurrentSchemaVersion())
    RaiseHostError(E_FAIL, L"Baza danych ma schemat w wersji " + std::to_wstring(stored) + L", starszej niż obsługiwana (" +
                               std::to_wstring(CurrentSchemaVersion()) +
                               L"); uaktualnia go program uruchomiony bez polecenia.");
}

LONG UpgradeSchema(const _ConnectionPtr& connection) {
  return UpgradeSchemaTo(connection, CurrentSchemaVersion());
}

}  // namespace host
