// Undo logs of a recordset's writes, for callers that retry a batch of edits.
#include "platform/ado/objects_internal.h"
#include "platform/com/object.h"

namespace platform::ado {

namespace {
constexpr GUID kUndoLogId = platform::com::GuidFromText("5B0C2E71-8D3A-4C6F-A1E9-7F24D06B93C8");

class UndoLogImpl final : public platform::com::ComObject<IUnknown> {
 public:
  std::shared_ptr<RowUndoLog> log;

 protected:
  void* QueryMore(REFIID riid) override { return riid == kUndoLogId ? static_cast<IUnknown*>(this) : nullptr; }
};

Rowset& OpenRowsetOf(_Recordset* recordset) {
  if (!recordset) _com_issue_error(E_POINTER);
  auto* impl = static_cast<RecordsetImpl*>(recordset);
  try {
    return impl->Core().Open();
  } catch (const DbException& e) {
    _com_issue_error(e.error.hr);
  }
}

UndoLogImpl* LogOf(IUnknown* log, IUnknownPtr& holder) {
  void* p = nullptr;
  if (!log || FAILED(log->QueryInterface(kUndoLogId, &p)) || !p) _com_issue_error(E_INVALIDARG);
  holder = IUnknownPtr(static_cast<IUnknown*>(p), false);
  return static_cast<UndoLogImpl*>(static_cast<IUnknown*>(p));
}
}  // namespace

IUnknownPtr BeginRowsUndo(_Recordset* recordset) {
  Rowset& rs = OpenRowsetOf(recordset);
  auto* log = new UndoLogImpl();
  IUnknownPtr held(static_cast<IUnknown*>(log), false);
  log->log = rs.BeginUndo();
  return held;
}

void EndRowsUndo(IUnknown* log) {
  IUnknownPtr holder;
  LogOf(log, holder)->log->recording = false;
}

void UndoRows(_Recordset* recordset, IUnknown* log) {
  Rowset& rs = OpenRowsetOf(recordset);
  IUnknownPtr holder;
  UndoLogImpl* impl = LogOf(log, holder);
  try {
    rs.Undo(*impl->log);
  } catch (const DbException& e) {
    _com_issue_error(e.error.hr);
  }
}

}  // namespace platform::ado
