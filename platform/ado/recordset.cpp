// Recordset: the rows of a query or a fabricated set, with a client cursor, edits and filters.
#include <optional>

#include "platform/ado/objects_internal.h"
#include "platform/com/object.h"

namespace platform::ado {

RecordsetCore::~RecordsetCore() {
  for (auto* f : fieldObjects_)
    if (f) f->Release();
}

const std::vector<FieldDef>& RecordsetCore::Defs() const { return rowset ? rowset->Fields() : pending; }

const FieldDef& RecordsetCore::Def(int i) const {
  const auto& d = Defs();
  if (i < 0 || static_cast<std::size_t>(i) >= d.size())
    ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
  return d[static_cast<std::size_t>(i)];
}

FieldDef& RecordsetCore::MutableDef(int i) {
  Def(i);
  return rowset ? rowset->MutableField(i) : pending[static_cast<std::size_t>(i)];
}

FieldDef& RecordsetCore::PendingDef(int i) {
  if (rowset) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
  Def(i);
  return pending[static_cast<std::size_t>(i)];
}

int RecordsetCore::FieldIndex(std::wstring_view name) const {
  if (rowset) return rowset->FieldIndex(name);
  for (std::size_t i = 0; i < pending.size(); ++i)  // names of other lengths are told at once
    if (pending[i].name.size() == name.size() && SameNameNoCase(pending[i].name, name)) return static_cast<int>(i);
  return -1;
}

void RecordsetCore::AppendPending(FieldDef f) {
  if (pending.empty()) pending.reserve(8);  // room for the usual few without moving them
  pending.push_back(std::move(f));
  ResetFieldObjects();
}

void RecordsetCore::DeletePending(std::size_t i) {
  pending.erase(pending.begin() + static_cast<long>(i));
  ResetFieldObjects();
}

void RecordsetCore::ResetFieldObjects() {
  for (auto* f : fieldObjects_)
    if (f) f->Release();
  fieldObjects_.clear();
}

::Field* RecordsetCore::FieldObject(int i) {
  if (fieldObjects_.size() != Defs().size()) {
    ResetFieldObjects();
    fieldObjects_.assign(Defs().size(), nullptr);
  }
  ::Field*& f = fieldObjects_[static_cast<std::size_t>(i)];
  if (!f) f = NewField(shared_from_this(), i);
  f->AddRef();
  return f;
}

// Field objects hold the core; the core holds them: the cycle is broken when the recordset
// closes or goes away.
void RecordsetCore::Shutdown() {
  ResetFieldObjects();
  rowset.reset();
  conn = nullptr;
}

// ---- Recordset ----------------------------------------------------------------------------

RecordsetImpl::RecordsetImpl() : core_(std::make_shared<RecordsetCore>()) {}
RecordsetImpl::~RecordsetImpl() {
  if (fields_) fields_->Release();
  core_->Shutdown();
}

void RecordsetImpl::Attach(std::shared_ptr<Rowset> rs, ConnectionImpl* conn, std::wstring source, LockMode mode) {
  core_->ResetFieldObjects();
  rs->lock = mode;
  rs->db = conn ? conn->Db() : nullptr;
  core_->rowset = std::move(rs);
  core_->conn = conn ? conn->Interface() : nullptr;
  source_ = std::move(source);
  if (mode == LockMode::ReadOnly) lockType_ = adLockReadOnly;
  cursorType_ = adOpenStatic;
}

namespace {
LockMode ModeOf(LockTypeEnum lock, bool fabricated) {
  switch (lock) {
    case adLockOptimistic:
    case adLockPessimistic: return LockMode::Immediate;
    case adLockBatchOptimistic: return LockMode::Batch;
    case adLockReadOnly: return LockMode::ReadOnly;
    default: return fabricated ? LockMode::Batch : LockMode::ReadOnly;
  }
}
const wchar_t* kBadArgument = L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
}  // namespace

namespace {
// The Start argument of Move, Find and GetRows: a BookmarkEnum (an integer) positions the
// recordset; a bookmark (a double, as Bookmark gives) is returned for the caller to use.
std::optional<double> ApplyStart(Rowset& rs, const VARIANT& start) {
  if (IsMissing(start)) return std::nullopt;
  Cell b = FromVariant(start);
  if (!b.IsNumeric()) ThrowAdo(adErrInvalidArgument, kBadArgument);
  if (b.IsInteger()) {
    if (b.i == adBookmarkCurrent) return std::nullopt;
    if (b.i == adBookmarkFirst) {
      rs.MoveFirst();
      return std::nullopt;
    }
    if (b.i == adBookmarkLast) {
      rs.MoveLast();
      return std::nullopt;
    }
  }
  return b.AsDouble();
}
}  // namespace

STDMETHODIMP RecordsetImpl::get_Properties(::Properties** out) {
  if (!out) return E_POINTER;
  *out = NewProperties(std::make_shared<PropertyBag>());
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_AbsolutePosition(LONG* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().AbsolutePosition();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_AbsolutePosition(LONG p) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().SetAbsolutePosition(p);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::putref_ActiveConnection(IDispatch* c) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    SetConnection(c ? ConnectionImpl::From(c) : nullptr, c != nullptr);
    return S_OK;
  });
}
void RecordsetImpl::SetConnection(ConnectionImpl* conn, bool wanted) {
  if (wanted && !conn) ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
  core_->conn = conn ? conn->Interface() : nullptr;
  if (core_->rowset) core_->rowset->db = conn ? conn->Db() : nullptr;
}
STDMETHODIMP RecordsetImpl::put_ActiveConnection(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) {
      IUnknown* u = v.vt == VT_DISPATCH ? static_cast<IUnknown*>(v.pdispVal) : v.punkVal;
      SetConnection(u ? ConnectionImpl::From(u) : nullptr, u != nullptr);
    } else if (v.vt == VT_BSTR) {
      auto* c = new ConnectionImpl();
      _ConnectionPtr owned(c->Interface(), false);
      c->OpenString(BstrText(v.bstrVal));
      SetConnection(c, true);
    } else {
      SetConnection(nullptr, false);
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_ActiveConnection(VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  out->vt = VT_DISPATCH;
  out->pdispVal = core_->conn.GetInterfacePtr();
  if (out->pdispVal) out->pdispVal->AddRef();
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_BOF(VARIANT_BOOL* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().Bof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Bookmark(VARIANT* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    if (rs.Bof() || rs.Eof()) ThrowAdo(adErrNoCurrentRecord, L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
    VariantInit(out);
    out->vt = VT_R8;
    out->dblVal = rs.Bookmark();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_Bookmark(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Cell b = FromVariant(v);
    if (!b.IsNumeric()) ThrowAdo(adErrInvalidArgument, kBadArgument);
    core_->Open().SetBookmark(b.AsDouble());
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_CacheSize(LONG* out) { return PutOut(out, cacheSize_); }
STDMETHODIMP RecordsetImpl::put_CacheSize(LONG n) {
  if (n < 1) return platform::com::ReportError(adErrInvalidArgument, kBadArgument, L"ADODB.Recordset", __uuidof(::_Recordset));
  cacheSize_ = n;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_CursorType(CursorTypeEnum* out) { return PutOut(out, cursorType_); }
STDMETHODIMP RecordsetImpl::put_CursorType(CursorTypeEnum t) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    cursorType_ = t;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_adoEOF(VARIANT_BOOL* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().Eof() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Fields(::Fields** out) {
  if (!out) return E_POINTER;
  // One collection over the core, whatever the recordset holds meanwhile.
  if (!fields_) fields_ = NewFields(core_);
  fields_->AddRef();
  *out = fields_;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_LockType(LockTypeEnum* out) { return PutOut(out, lockType_); }
STDMETHODIMP RecordsetImpl::put_LockType(LockTypeEnum t) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    lockType_ = t;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_MaxRecords(ADO_LONGPTR* out) { return PutOut(out, maxRecords_); }
STDMETHODIMP RecordsetImpl::put_MaxRecords(ADO_LONGPTR n) {
  maxRecords_ = n;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_RecordCount(ADO_LONGPTR* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = core_->Open().RecordCount();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::putref_Source(IDispatch* cmd) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    sourceCommand_ = cmd;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::put_Source(BSTR s) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    source_ = BstrText(s);
    sourceCommand_ = nullptr;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Source(VARIANT* out) {
  if (!out) return E_POINTER;
  *out = _variant_t(source_.c_str()).Detach();
  return S_OK;
}

namespace {
// A field given by name or by a number (an index); -1 when neither names a field.
int FieldOf(const Rowset& rs, const Cell& v) {
  if (v.kind == VKind::Text) return rs.FieldIndex(v.s);
  if (!v.IsNumeric()) return -1;
  double d = v.AsDouble();
  return d >= 0 && d < static_cast<double>(rs.Fields().size()) ? static_cast<int>(d) : -1;
}
}  // namespace

void RecordsetImpl::PutList(const VARIANT& fields, const VARIANT& values) {
  Rowset& rs = core_->Open();
  auto fieldIndex = [&](const VARIANT& f) {
    Cell v = FromVariant(f);
    int i = FieldOf(rs, v);
    if (i < 0 || static_cast<std::size_t>(i) >= rs.Fields().size())
      ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return i;
  };
  if ((fields.vt & VT_ARRAY) && fields.parray) {
    if (!(values.vt & VT_ARRAY) || !values.parray) ThrowAdo(adErrInvalidArgument, kBadArgument);
    LONG lo = 0, hi = -1, vlo = 0, vhi = -1;
    SafeArrayGetLBound(fields.parray, 1, &lo);
    SafeArrayGetUBound(fields.parray, 1, &hi);
    SafeArrayGetLBound(values.parray, 1, &vlo);
    SafeArrayGetUBound(values.parray, 1, &vhi);
    if (hi - lo != vhi - vlo) ThrowAdo(adErrInvalidArgument, kBadArgument);
    for (LONG k = 0; k <= hi - lo; ++k) {
      _variant_t f, v;
      LONG fi = lo + k, vi = vlo + k;
      SafeArrayGetElement(fields.parray, &fi, &f);
      SafeArrayGetElement(values.parray, &vi, &v);
      rs.Put(fieldIndex(f), FromVariant(v));
    }
  } else {
    rs.Put(fieldIndex(fields), FromVariant(values));
  }
}

STDMETHODIMP RecordsetImpl::raw_AddNew(VARIANT fields, VARIANT values) {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    rs.AddNew();
    if (!IsMissing(fields)) {
      PutList(fields, values);
      rs.Update();
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_CancelUpdate() {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().CancelUpdate();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Close() {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!core_->IsOpen()) Closed();
    core_->ResetFieldObjects();
    core_->rowset.reset();
    core_->pending.clear();
    filter_ = _variant_t();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Delete(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().Delete(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_GetRows(LONG rows, VARIANT start, VARIANT fieldsArg, VARIANT* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    if (auto bm = ApplyStart(rs, start)) rs.SetBookmark(*bm);
    std::vector<int> cols;
    if (IsMissing(fieldsArg)) {
      for (std::size_t i = 0; i < rs.Fields().size(); ++i) cols.push_back(static_cast<int>(i));
    } else if ((fieldsArg.vt & VT_ARRAY) && fieldsArg.parray) {
      LONG lo = 0, hi = -1;
      SafeArrayGetLBound(fieldsArg.parray, 1, &lo);
      SafeArrayGetUBound(fieldsArg.parray, 1, &hi);
      for (LONG k = lo; k <= hi; ++k) {
        _variant_t f;
        SafeArrayGetElement(fieldsArg.parray, &k, &f);
        Cell v = FromVariant(f);
        int i = FieldOf(rs, v);
        if (i < 0) ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
        cols.push_back(i);
      }
    } else {
      Cell v = FromVariant(fieldsArg);
      int i = FieldOf(rs, v);
      if (i < 0) ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
      cols.push_back(i);
    }
    std::vector<std::vector<Cell>> data;
    while (!rs.Eof() && (rows < 0 || static_cast<LONG>(data.size()) < rows)) {
      std::vector<Cell> row;
      for (int c : cols) row.push_back(rs.Get(c));
      data.push_back(std::move(row));
      rs.MoveNext();
    }
    if (data.empty()) ThrowAdo(adErrNoCurrentRecord, L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.");
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(cols.size()), 0}, {static_cast<ULONG>(data.size()), 0}};
    SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (!sa) throw std::bad_alloc();
    for (std::size_t r = 0; r < data.size(); ++r) {
      for (std::size_t c = 0; c < cols.size(); ++c) {
        LONG idx[2] = {static_cast<LONG>(c), static_cast<LONG>(r)};
        _variant_t v = ToVariant(data[r][c]);
        SafeArrayPutElement(sa, idx, &v);
      }
    }
    VariantInit(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = sa;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Move(ADO_LONGPTR n, VARIANT start) {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    rs.Move(n, ApplyStart(rs, start));
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveNext() {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    core_->Open().MoveNext();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MovePrevious() {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    core_->Open().MovePrevious();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveFirst() {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    core_->Open().MoveFirst();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_MoveLast() {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    core_->Open().MoveLast();
    return S_OK;
  });
}

STDMETHODIMP RecordsetImpl::raw_Open(VARIANT source, VARIANT activeConnection, CursorTypeEnum cursorType,
                                     LockTypeEnum lockType, LONG options) {
  ConnectionImpl* errorConn = nullptr;
  return AdoBoundary(__uuidof(::_Recordset), errorConn, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
    if (lockType != adLockUnspecified) lockType_ = lockType;
    if (!IsMissing(activeConnection)) {
      HRESULT hr = put_ActiveConnection(activeConnection);
      if (FAILED(hr)) return hr;
    }
    // The source: a command, SQL text or a table name, or nothing for a fabricated recordset.
    std::wstring text;
    ::_Command* command = nullptr;
    _CommandPtr commandHolder;
    if (!IsMissing(source)) {
      if (source.vt == VT_DISPATCH || source.vt == VT_UNKNOWN) {
        commandHolder = _CommandPtr(source.vt == VT_DISPATCH ? static_cast<IUnknown*>(source.pdispVal) : source.punkVal);
        command = commandHolder.GetInterfacePtr();
      } else if (source.vt == VT_BSTR) {
        text = BstrText(source.bstrVal);
      } else {
        text = ValueText(FromVariant(source));
      }
    } else {
      text = source_;
      if (sourceCommand_) {
        commandHolder = _CommandPtr(sourceCommand_.GetInterfacePtr());
        command = commandHolder.GetInterfacePtr();
      }
    }
    if (command) {
      _RecordsetPtr result;
      _variant_t affected;
      HRESULT hr = command->raw_Execute(&affected, nullptr, options == adCmdUnspecified ? adOptionUnspecified : options,
                                        reinterpret_cast<::_Recordset**>(&result));
      if (FAILED(hr)) return hr;
      auto* other = static_cast<RecordsetImpl*>(result.GetInterfacePtr());
      if (other && other->core_->IsOpen()) {
        auto rows = other->core_->rowset;
        ::_Connection* c = CommandConnection(command);
        Attach(rows, ConnectionImpl::From(c), CommandText(command), ModeOf(lockType_, false));
      }
      return S_OK;
    }
    ConnectionImpl* conn = core_->Conn();
    errorConn = conn;
    if (text.empty() && (!conn || !core_->pending.empty())) {
      if (core_->pending.empty())
        ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
      // Once open, the fields are the rowset's (the pending list is read again only after Close,
      // which empties it).
      auto rs = Rowset::Fabricate(std::move(core_->pending));
      core_->pending.clear();
      rs->lock = ModeOf(lockType_, true);
      core_->ResetFieldObjects();
      core_->rowset = std::move(rs);
      if (lockType_ == adLockUnspecified) lockType_ = adLockBatchOptimistic;
      cursorType_ = adOpenStatic;
      return S_OK;
    }
    if (!conn)
      ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
    LONG type = options == adCmdUnspecified ? adCmdUnknown : (options & (adCmdText | adCmdTable | adCmdStoredProc | adCmdTableDirect | adCmdUnknown));
    if (type == adCmdUnknown || type == 0) {
      bool single = text.find_first_of(L" \t\r\n") == std::wstring::npos;
      type = single ? adCmdTable : adCmdText;
    }
    std::wstring table;
    if (type == adCmdTable || type == adCmdTableDirect) table = L"SELECT * FROM [" + text + L"]";
    const std::wstring& sql = table.empty() ? text : table;
    ExecResult r = conn->RequireOpen()->Execute(sql, {}, StatementOrigin::Command, true);
    source_ = text;
    if (!r.hasRows) return S_OK;  // a statement without rows leaves the recordset closed
    if (maxRecords_ > 0) r.result.Truncate(static_cast<std::size_t>(maxRecords_));
    LockMode mode = ModeOf(lockType_, false);
    sql_ = sql;
    Attach(Rowset::FromResult(std::move(r.result)), conn, std::move(text), mode);  // the source as source_ holds it
    if (lockType_ == adLockUnspecified) lockType_ = adLockReadOnly;
    return S_OK;
  });
}

STDMETHODIMP RecordsetImpl::raw_Requery(LONG) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    ConnectionImpl* conn = core_->Conn();
    if (sql_.empty() || !conn) ThrowAdo(adErrFeatureNotAvailable, L"Operation is not supported for this type of object.");
    ExecResult r = conn->RequireOpen()->Execute(sql_, {}, StatementOrigin::Command, true);
    LockMode mode = rs.lock;
    auto fresh = Rowset::FromResult(std::move(r.result));
    // Fields marked "Optimize" keep their indexes, built on the rows read again.
    for (const FieldDef& f : rs.Fields())
      if (f.optimize) {
        const int i = fresh->FieldIndex(f.name);
        if (i >= 0) fresh->SetOptimize(i, true);
      }
    Attach(std::move(fresh), conn, source_, mode);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Update(VARIANT fields, VARIANT values) {
  return AdoBoundaryWith(__uuidof(::_Recordset), [this] { return core_->Conn(); }, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    if (!IsMissing(fields)) PutList(fields, values);
    rs.Update();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_EditMode(EditModeEnum* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = static_cast<EditModeEnum>(core_->Open().EditMode());
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Status(LONG* out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    switch (core_->Open().CurrentStatus()) {
      case RowStatus::New: *out = adRecNew; break;
      case RowStatus::Modified: *out = adRecModified; break;
      case RowStatus::Deleted: *out = adRecDeleted; break;
      default: *out = adRecUnmodified; break;
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_Filter(VARIANT* out) {
  if (!out) return E_POINTER;
  if (filter_.vt == VT_EMPTY) {
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = adFilterNone;
    return S_OK;
  }
  return VariantCopy(out, &filter_);
}
STDMETHODIMP RecordsetImpl::put_Filter(VARIANT v) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    Cell f = FromVariant(v);
    if (f.kind == VKind::Text) {
      if (f.s.empty()) rs.SetFilterGroup(adFilterNone);
      else rs.SetFilter(f.s);
      filter_ = _variant_t(f.s.c_str());
    } else if (f.IsNumeric()) {
      double g = f.AsDouble();
      if (!(g >= 0 && g <= static_cast<double>(adFilterConflictingRecords))) ThrowAdo(adErrInvalidArgument, kBadArgument);
      rs.SetFilterGroup(static_cast<LONG>(g));
      filter_ = _variant_t(static_cast<int>(g));
    } else if (f.IsEmpty() || f.IsNull()) {
      rs.SetFilterGroup(adFilterNone);
      filter_ = _variant_t();
    } else {
      ThrowAdo(adErrInvalidArgument, kBadArgument);
    }
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_State(LONG* out) { return PutOut(out, LONG{core_->IsOpen() ? adStateOpen : adStateClosed}); }
STDMETHODIMP RecordsetImpl::raw_UpdateBatch(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), core_->Conn(), [&]() -> HRESULT {
    core_->Open().UpdateBatch(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_CancelBatch(AffectEnum affect) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().CancelBatch(affect);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_CursorLocation(CursorLocationEnum* out) { return PutOut(out, cursorLocation_); }
STDMETHODIMP RecordsetImpl::put_CursorLocation(CursorLocationEnum l) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (core_->IsOpen()) ThrowAdo(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    cursorLocation_ = l;
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Clone(LockTypeEnum lock, ::_Recordset** out) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    if (!out) return E_POINTER;
    Rowset& rs = core_->Open();
    LockMode mode = lock == adLockUnspecified ? rs.lock : ModeOf(lock, false);
    auto* copy = new RecordsetImpl();
    _RecordsetPtr holder(copy->Interface(), false);
    copy->core_->rowset = rs.Clone(mode);
    copy->core_->conn = core_->conn;
    copy->lockType_ = lock == adLockUnspecified ? lockType_ : lock;
    copy->cursorType_ = cursorType_;
    copy->cursorLocation_ = cursorLocation_;
    copy->source_ = source_;
    *out = holder.Detach();
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Supports(CursorOptionEnum option, VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  bool updatable = core_->rowset ? core_->rowset->lock != LockMode::ReadOnly : lockType_ != adLockReadOnly;
  bool yes;
  switch (option) {
    case adAddNew:
    case adDelete:
    case adUpdate: yes = updatable; break;
    case adUpdateBatch: yes = updatable && (!core_->rowset || core_->rowset->lock == LockMode::Batch); break;
    case adHoldRecords:
    case adMovePrevious:
    case adBookmark:
    case adApproxPosition:
    case adFind: yes = true; break;
    default: yes = false; break;
  }
  *out = yes ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
STDMETHODIMP RecordsetImpl::get_Sort(BSTR* out) {
  return PutBstr(out, core_->rowset ? core_->rowset->SortText() : std::wstring());
}
STDMETHODIMP RecordsetImpl::put_Sort(BSTR s) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    core_->Open().SetSort(BstrText(s));
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::raw_Find(BSTR criteria, ADO_LONGPTR skip, SearchDirectionEnum direction, VARIANT start) {
  return AdoBoundary(__uuidof(::_Recordset), nullptr, [&]() -> HRESULT {
    Rowset& rs = core_->Open();
    if (skip < 0) ThrowAdo(adErrInvalidArgument, kBadArgument);
    auto bm = ApplyStart(rs, start);
    rs.Find(BstrText(criteria), skip, direction, bm);
    return S_OK;
  });
}
STDMETHODIMP RecordsetImpl::get_MarshalOptions(MarshalOptionsEnum* out) { return PutOut(out, marshal_); }
STDMETHODIMP RecordsetImpl::put_MarshalOptions(MarshalOptionsEnum m) {
  marshal_ = m;
  return S_OK;
}

}  // namespace platform::ado
