#pragma once
// Implementation classes of Connection and Recordset, shared by the object files.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ado/com_object.h"

namespace platform::ado {

[[noreturn]] inline void Closed() {
  ThrowAdo(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
}

class ConnectionImpl final : public ComObject<::_Connection> {
 public:
  ConnectionImpl();
  ~ConnectionImpl() override;
  // The implementation behind a connection object of this library; null for any other object.
  static ConnectionImpl* From(IUnknown* unk);
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;

  void OpenString(const std::wstring& text);
  std::shared_ptr<Database> RequireOpen();
  std::shared_ptr<Database> Db() const { return db_; }
  void AddError(const DbError& e);
  // Called each time the outermost transaction has ended (see SetTransactionEndHandler).
  void SetTransactionEndHandler(std::function<void()> handler) { onTransactionEnd_ = std::move(handler); }
  // Runs SQL text (or a table) with parameters; a recordset object unless `noRecords`.
  _RecordsetPtr Run(const std::wstring& text, LONG commandType, bool noRecords, const std::vector<Value>& params,
                    std::int64_t* affected, std::vector<std::pair<int, Value>>* outputs);

  STDMETHODIMP get_Properties(::Properties** out) override;
  STDMETHODIMP get_ConnectionString(BSTR* b) override;
  STDMETHODIMP put_ConnectionString(BSTR b) override;
  STDMETHODIMP get_CommandTimeout(LONG* t) override;
  STDMETHODIMP put_CommandTimeout(LONG t) override;
  STDMETHODIMP get_ConnectionTimeout(LONG* t) override;
  STDMETHODIMP put_ConnectionTimeout(LONG t) override;
  STDMETHODIMP get_Version(BSTR* b) override;
  STDMETHODIMP raw_Close() override;
  STDMETHODIMP raw_Execute(BSTR text, VARIANT* affected, LONG options, ::_Recordset** out) override;
  STDMETHODIMP raw_BeginTrans(LONG* level) override;
  STDMETHODIMP raw_CommitTrans() override;
  STDMETHODIMP raw_RollbackTrans() override;
  STDMETHODIMP raw_Open(BSTR cs, BSTR user, BSTR password, LONG options) override;
  STDMETHODIMP get_Errors(::Errors** out) override;
  STDMETHODIMP get_DefaultDatabase(BSTR* b) override;
  STDMETHODIMP put_DefaultDatabase(BSTR b) override;
  STDMETHODIMP get_CursorLocation(CursorLocationEnum* l) override;
  STDMETHODIMP put_CursorLocation(CursorLocationEnum l) override;
  STDMETHODIMP get_State(LONG* s) override;
  STDMETHODIMP get_Provider(BSTR* b) override;
  STDMETHODIMP put_Provider(BSTR b) override;
  STDMETHODIMP raw_Cancel() override;

 private:
  void TransactionEnded();

  std::shared_ptr<Database> db_;
  std::shared_ptr<std::vector<DbError>> errors_;
  std::function<void()> onTransactionEnd_;
  std::wstring connectionString_, provider_;
  LONG commandTimeout_ = 30, connectionTimeout_ = 15;
  CursorLocationEnum cursorLocation_ = adUseServer;
};

// What a recordset and its Field objects share: the rows (null while closed), the fields
// appended before Open, the connection, and the cached Field objects.
class RecordsetCore : public std::enable_shared_from_this<RecordsetCore> {
 public:
  ~RecordsetCore();
  std::shared_ptr<Rowset> rowset;
  std::vector<FieldDef> pending;
  _ConnectionPtr conn;

  bool IsOpen() const { return rowset != nullptr; }
  Rowset& Open() {
    if (!rowset) [[unlikely]] Closed();
    return *rowset;
  }
  const std::vector<FieldDef>& Defs() const;
  const FieldDef& Def(int i) const;
  FieldDef& MutableDef(int i);
  FieldDef& PendingDef(int i);
  int FieldIndex(std::wstring_view name) const;
  void AppendPending(FieldDef f);
  void DeletePending(std::size_t i);
  ::Field* FieldObject(int i);  // a new reference
  void ResetFieldObjects();
  void Shutdown();
  // The connection's object (null when the recordset has none, as a disconnected one).
  ConnectionImpl* Conn() const { return conn ? ConnectionImpl::From(conn.GetInterfacePtr()) : nullptr; }

 private:
  std::vector<::Field*> fieldObjects_;
};

class RecordsetImpl final : public ComObject<::_Recordset> {
 public:
  RecordsetImpl();
  ~RecordsetImpl() override;
  void Attach(std::shared_ptr<Rowset> rs, ConnectionImpl* conn, std::wstring source, LockMode mode);

  STDMETHODIMP get_Properties(::Properties** out) override;
  STDMETHODIMP get_AbsolutePosition(LONG* out) override;
  STDMETHODIMP put_AbsolutePosition(LONG p) override;
  STDMETHODIMP putref_ActiveConnection(IDispatch* c) override;
  STDMETHODIMP put_ActiveConnection(VARIANT v) override;
  STDMETHODIMP get_ActiveConnection(VARIANT* out) override;
  STDMETHODIMP get_BOF(VARIANT_BOOL* out) override;
  STDMETHODIMP get_Bookmark(VARIANT* out) override;
  STDMETHODIMP put_Bookmark(VARIANT v) override;
  STDMETHODIMP get_CacheSize(LONG* out) override;
  STDMETHODIMP put_CacheSize(LONG n) override;
  STDMETHODIMP get_CursorType(CursorTypeEnum* out) override;
  STDMETHODIMP put_CursorType(CursorTypeEnum t) override;
  STDMETHODIMP get_adoEOF(VARIANT_BOOL* out) override;
  STDMETHODIMP get_Fields(::Fields** out) override;
  STDMETHODIMP get_LockType(LockTypeEnum* out) override;
  STDMETHODIMP put_LockType(LockTypeEnum t) override;
  STDMETHODIMP get_MaxRecords(ADO_LONGPTR* out) override;
  STDMETHODIMP put_MaxRecords(ADO_LONGPTR n) override;
  STDMETHODIMP get_RecordCount(ADO_LONGPTR* out) override;
  STDMETHODIMP putref_Source(IDispatch* cmd) override;
  STDMETHODIMP put_Source(BSTR s) override;
  STDMETHODIMP get_Source(VARIANT* out) override;
  STDMETHODIMP raw_AddNew(VARIANT fields, VARIANT values) override;
  STDMETHODIMP raw_CancelUpdate() override;
  STDMETHODIMP raw_Close() override;
  STDMETHODIMP raw_Delete(AffectEnum affect) override;
  STDMETHODIMP raw_GetRows(LONG rows, VARIANT start, VARIANT fields, VARIANT* out) override;
  STDMETHODIMP raw_Move(ADO_LONGPTR n, VARIANT start) override;
  STDMETHODIMP raw_MoveNext() override;
  STDMETHODIMP raw_MovePrevious() override;
  STDMETHODIMP raw_MoveFirst() override;
  STDMETHODIMP raw_MoveLast() override;
  STDMETHODIMP raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType, LockTypeEnum lockType,
                        LONG options) override;
  STDMETHODIMP raw_Requery(LONG options) override;
  STDMETHODIMP raw_Update(VARIANT fields, VARIANT values) override;
  STDMETHODIMP get_EditMode(EditModeEnum* out) override;
  STDMETHODIMP get_Status(LONG* out) override;
  STDMETHODIMP get_Filter(VARIANT* out) override;
  STDMETHODIMP put_Filter(VARIANT v) override;
  STDMETHODIMP get_State(LONG* out) override;
  STDMETHODIMP raw_UpdateBatch(AffectEnum affect) override;
  STDMETHODIMP raw_CancelBatch(AffectEnum affect) override;
  STDMETHODIMP get_CursorLocation(CursorLocationEnum* out) override;
  STDMETHODIMP put_CursorLocation(CursorLocationEnum l) override;
  STDMETHODIMP raw_Clone(LockTypeEnum lock, ::_Recordset** out) override;
  STDMETHODIMP raw_Supports(CursorOptionEnum option, VARIANT_BOOL* out) override;
  STDMETHODIMP get_Sort(BSTR* out) override;
  STDMETHODIMP put_Sort(BSTR s) override;
  STDMETHODIMP raw_Find(BSTR criteria, ADO_LONGPTR skip, SearchDirectionEnum direction, VARIANT start) override;
  STDMETHODIMP get_MarshalOptions(MarshalOptionsEnum* out) override;
  STDMETHODIMP put_MarshalOptions(MarshalOptionsEnum m) override;

  RecordsetCore& Core() { return *core_; }

 private:
  void SetConnection(ConnectionImpl* conn, bool wanted);
  void PutList(const VARIANT& fields, const VARIANT& values);

  std::shared_ptr<RecordsetCore> core_;
  ::Fields* fields_ = nullptr;  // the Fields collection, made at the first ask and kept (a reference)
  std::wstring source_, sql_;
  IDispatchPtr sourceCommand_;
  _variant_t filter_;
  CursorTypeEnum cursorType_ = adOpenForwardOnly;
  LockTypeEnum lockType_ = adLockUnspecified;
  CursorLocationEnum cursorLocation_ = adUseServer;
  LONG cacheSize_ = 1;
  ADO_LONGPTR maxRecords_ = 0;
  MarshalOptionsEnum marshal_ = adMarshalAll;
};

}  // namespace platform::ado
