#pragma once
// What the system uses of the vendor framework: recordset openers and SQL helpers (with loading
// XML held in a field), the message library with the texts of the system's HRESULTs, the tip
// message box, and (in interfaces.h) the framework's and the host's COM interfaces.
#include "framework/interfaces.h"
#include "framework/messages.h"
#include "platform/ado/ado.h"
#include "platform/strings/strings.h"
#include "platform/xml/msxml.h"

// ---------------------------------------------------------------------------------------------
// SQL and recordset helpers.

// Execute options of a text command that gives no records.
constexpr LONG kCmdTextNoRecords = static_cast<LONG>(adCmdText) | static_cast<LONG>(adExecuteNoRecords);

// Opens `sql` on `connection` (a _Connection, given as IDispatch) into a new client-side recordset.
// Returns S_OK, or the HRESULT of the failure with `rs` left null; never raises.
HRESULT OpenRS(_RecordsetPtr& rs, IDispatch* connection, const wchar_t* sql, LONG cursorType = adOpenStatic,
               LONG lockType = adLockReadOnly, LONG options = adCmdText);

// Loads the XML text held in one recordset field into `document`. S_OK; E_POINTER without a
// document or field; E_FAIL with the parse error as error information when the field is null,
// not text or not well-formed XML. Never raises.
HRESULT XMLFromRs(IXMLDOMDocument2Ptr document, FieldPtr field);

// Whether `sql` gives at least one row: 1 yes, 0 no, a negative HRESULT when the statement fails.
HRESULT exeExistSql(IDispatch* connection, const wchar_t* sql);

// Runs a statement with one output marker ("SELECT ?=CONVERT( int, COUNT(*)) FROM ...") and gives
// the marker's value. Returns S_OK or the failure's HRESULT; never raises.
HRESULT exeSql_GetLongValue(IDispatch* connection, const wchar_t* sql, _variant_t& value);

// Sets the command's active connection to `connection` (a _Connection given as IDispatch). Raises.
void utCmdPutRefActiveConnection(const _CommandPtr& command, IDispatch* connection);

// The framework's process state: what the host hands over once for every library.
struct ZphProcessState {
  // The cookie of the framework instance (IFlgInstance) in the Global Interface Table; 0 none.
  DWORD m_dwFlgInstanceCookie = 0;
};
ZphProcessState* ZphGetProcessState();

// The framework instance that the host registered in the Global Interface Table (null when the
// table has none). Raises E_POINTER when the table cannot be reached.
IFlgInstancePtr GetGlobalFlgInstance();

class CBaseCnt;
class CBaseGrid;
struct FlgColumnInfo;

// The printer of a list container (framework/listcnt.h): the container's print command hands
// itself to it.
class CPrintGridHelper {
 public:
  virtual ~CPrintGridHelper() = default;
  // Prints the container's list; raises COM errors.
  virtual void Print(CBaseCnt* container) = 0;
};

// A framework list container: rows of named values with a current row.
class CBaseCnt {
 public:
  virtual ~CBaseCnt() = default;
  // The named value of the current row; S_OK, or a failure when there is no such value or row.
  virtual HRESULT GetCurrentValue(const wchar_t* name, _variant_t& value) const = 0;

  // What a printer reads of the container: its recordset, title, grid and column records (a
  // container without them gives null and nothing).
  virtual _RecordsetPtr GetRecordset() const { return nullptr; }
  virtual CString GetTitle() const { return CString(); }
  virtual CBaseGrid* GetGrid() { return nullptr; }
  virtual int GetColumnConfigCount() const { return 0; }
  virtual const FlgColumnInfo* GetColumnConfig(int index) const { return nullptr; }

  // The printer run by the print command (not owned; null: the list does not print).
  void SetPrinter(CPrintGridHelper* printer) { m_printer = printer; }
  CPrintGridHelper* GetPrinter() const { return m_printer; }
  // The print command: S_OK when the printer ran, S_FALSE without a printer, else the COM error
  // the printer raised (caught here).
  HRESULT PrintList() {
    if (!m_printer) return S_FALSE;
    try {
      m_printer->Print(this);
      return S_OK;
    } catch (const _com_error& e) {
      return e.Error();
    }
  }

 private:
  CPrintGridHelper* m_printer = nullptr;
};

