#include "platform/ado/rowset.h"

#include <algorithm>
#include <cwctype>

#include "platform/ado/ado_enums.h"
#include "platform/ado/text.h"

namespace platform::ado {

void ThrowAdo(HRESULT hr, std::wstring description) {
  DbError e;
  e.hr = hr;
  e.description = std::move(description);
  e.source = L"ADODB.Recordset";
  throw DbException(std::move(e));
}

namespace {
bool Changed(const Row& row, int field) {
  auto i = static_cast<std::size_t>(field);
  return i < row.changed.size() && row.changed[i];
}

const wchar_t* kNoCurrent =
    L"Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current "
    L"record.";
const wchar_t* kNotUpdatable =
    L"Current Recordset does not support updating. This may be a limitation of the provider, or of the selected "
    L"locktype.";
const wchar_t* kRowNotFound =
    L"Row cannot be located for updating. Some values may have been changed since it was last read.";

std::string QuoteIdent(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}
}  // namespace

Rowset::Rowset() : store_(std::make_shared<RowStore>()) {}

std::shared_ptr<Rowset> Rowset::FromResult(ResultSet&& result) {
  auto rs = std::make_shared<Rowset>();
  for (auto& c : result.columns) {
    FieldDef f;
    f.name = c.name;
    f.type = c.type;
    f.size = c.size;
    f.attributes = c.attributes;
    f.table = c.table;
    f.column = c.column;
    f.key = c.key;
    f.autoIncrement = c.autoIncrement;
    rs->store_->fields.push_back(std::move(f));
  }
  if (result.isPacked && result.packed.Count() > 0) {
    std::size_t n = result.packed.Count();
    rs->store_->packed = std::move(result.packed);
    // Every row read is shown, in the order read (what Rebuild gives without filter or sort).
    rs->view_.resize(n);
    for (std::size_t i = 0; i < n; ++i) rs->view_[i] = i;
    return rs;
  }
  for (auto& values : result.rows) rs->store_->rows.emplace_back().values = std::move(values);
  rs->Rebuild(false);
  return rs;
}

void RowStore::Expand() {
  if (!IsPacked()) return;
  std::size_t n = packed.Count();
  rows.resize(n);
  for (std::size_t i = 0; i < n; ++i) packed.Decode(i, fields.size(), rows[i].values);
  packed.Clear();
}

namespace {
// What Current() gives for a row of a packed store: read, unchanged, shown.
const Row& PackedRowStandIn() {
  static const Row row = [] {
    Row r;
    r.packed = true;
    return r;
  }();
  return row;
}
}  // namespace

const std::vector<Value>& Rowset::ValuesOf(const Row& row, std::size_t index) const {
  if (!row.packed) return row.values;
  if (decodedRow_ != index) {
    decodedRow_ = static_cast<std::size_t>(-1);
    store_->packed.Decode(index, store_->fields.size(), decoded_);
    decodedRow_ = index;
  }
  return decoded_;
}

std::shared_ptr<Rowset> Rowset::Fabricate(std::vector<FieldDef> fields) {
  auto rs = std::make_shared<Rowset>();
  rs->store_->fields = std::move(fields);
  rs->Rebuild(false);
  return rs;
}

std::shared_ptr<Rowset> Rowset::Clone(LockMode mode) const {
  auto rs = std::make_shared<Rowset>();
  rs->store_ = store_;
  rs->db = db;
  rs->lock = mode;
  rs->Rebuild(false);
  return rs;
}

void Rowset::Check(bool cond, HRESULT hr, const wchar_t* text) const {
  if (!cond) ThrowAdo(hr, text);
}

bool Rowset::Visible(const Row& row) const {
  if (row.dead) return false;
  switch (filterGroup_) {
    case adFilterPendingRecords:
    case adFilterAffectedRecords:
      return row.status != RowStatus::Unchanged;
    case adFilterConflictingRecords:
      return false;
    default:
      return row.status != RowStatus::Deleted && filter_.Matches(row);
  }
}

void Rowset::Rebuild(bool keepCurrent) {
  if (!sort_.empty() || !filter_.Empty()) store_->Expand();
  std::size_t current = static_cast<std::size_t>(-1);
  if (keepCurrent && pos_ >= 0 && static_cast<std::size_t>(pos_) < view_.size()) current = view_[static_cast<std::size_t>(pos_)];
  view_.clear();
  const auto& rows = store_->rows;
  if (store_->IsPacked()) {
    // Packed rows are read and unchanged, and there is no filter (it would have unpacked them).
    if (Visible(PackedRowStandIn())) {
      view_.resize(store_->Size());
      for (std::size_t i = 0; i < view_.size(); ++i) view_[i] = i;
    }
  } else {
    view_.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (Visible(rows[i])) view_.push_back(i);
  }
  if (!sort_.empty()) {
    std::stable_sort(view_.begin(), view_.end(), [&](std::size_t a, std::size_t b) {
      for (auto [field, desc] : sort_) {
        int c = CompareValues(rows[a].values[static_cast<std::size_t>(field)],
                              rows[b].values[static_cast<std::size_t>(field)]);
        if (c != 0) return desc ? c > 0 : c < 0;
      }
      return false;
    });
  }
  currentDeleted_ = false;
  pos_ = 0;
  if (current != static_cast<std::size_t>(-1)) {
    auto it = std::find(view_.begin(), view_.end(), current);
    if (it != view_.end()) pos_ = it - view_.begin();
  }
}

// ---- position -----------------------------------------------------------------------------

bool Rowset::Bof() const { return !currentDeleted_ && (view_.empty() || pos_ < 0); }
bool Rowset::Eof() const {
  return view_.empty() ? !currentDeleted_ : (!currentDeleted_ && pos_ >= static_cast<long>(view_.size()));
}

void Rowset::EndEditIfAny() {
  if (editMode_ != adEditNone) Update();
}

void Rowset::MoveFirst() {
  EndEditIfAny();
  currentDeleted_ = false;
  pos_ = 0;
}
void Rowset::MoveLast() {
  EndEditIfAny();
  currentDeleted_ = false;
  pos_ = static_cast<long>(view_.size()) - 1;
  if (view_.empty()) pos_ = 0;
}
void Rowset::MoveNext() {
  EndEditIfAny();
  if (currentDeleted_) {  // the row after the deleted one already sits at pos_
    currentDeleted_ = false;
    return;
  }
  Check(!Eof(), adErrNoCurrentRecord, kNoCurrent);
  ++pos_;
}
void Rowset::MovePrevious() {
  EndEditIfAny();
  if (currentDeleted_) {
    currentDeleted_ = false;
    --pos_;
    return;
  }
  Check(!Bof(), adErrNoCurrentRecord, kNoCurrent);
  --pos_;
}

void Rowset::Move(LONG n, std::optional<double> start) {
  EndEditIfAny();
  long base = pos_;
  if (start) {
    SetBookmark(*start);
    base = pos_;
  } else if (n != 0) {
    Check(!(Bof() && n < 0) && !(Eof() && n > 0), adErrNoCurrentRecord, kNoCurrent);
  }
  currentDeleted_ = false;
  long target = base + n;
  long size = static_cast<long>(view_.size());
  pos_ = target < 0 ? -1 : (target > size ? size : target);
}

LONG Rowset::AbsolutePosition() const {
  if (view_.empty()) return adPosUnknown;
  if (Bof()) return adPosBOF;
  if (Eof()) return adPosEOF;
  return static_cast<LONG>(pos_ + 1);
}

void Rowset::SetAbsolutePosition(LONG p) {
  EndEditIfAny();
  Check(p >= 1 && p <= static_cast<LONG>(view_.size()), adErrInvalidArgument,
        L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  currentDeleted_ = false;
  pos_ = p - 1;
}

double Rowset::Bookmark() const {
  Current();  // raises when there is no current row
  return static_cast<double>(view_[static_cast<std::size_t>(pos_)] + 1);
}

void Rowset::SetBookmark(double bm) {
  EndEditIfAny();
  bool plausible = bm >= 1 && bm <= static_cast<double>(store_->Size());
  auto row = plausible ? static_cast<std::size_t>(bm) - 1 : 0;
  auto it = plausible ? std::find(view_.begin(), view_.end(), row) : view_.end();
  Check(it != view_.end(), adErrInvalidArgument,
        L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  currentDeleted_ = false;
  pos_ = it - view_.begin();
}

const Row* Rowset::Current() const {
  Check(!currentDeleted_ && pos_ >= 0 && static_cast<std::size_t>(pos_) < view_.size(), adErrNoCurrentRecord,
        kNoCurrent);
  if (store_->IsPacked()) return &PackedRowStandIn();
  const Row* r = &store_->rows[view_[static_cast<std::size_t>(pos_)]];
  Check(!r->dead && r->status != RowStatus::Deleted, adErrNoCurrentRecord, kNoCurrent);
  return r;
}

Row* Rowset::MutableCurrent() {
  store_->Expand();
  Current();  // raises when there is no current row
  return &store_->rows[view_[static_cast<std::size_t>(pos_)]];
}

const Value& Rowset::Get(int field) const {
  const Row* r = Current();
  return ValuesOf(*r, view_[static_cast<std::size_t>(pos_)])[static_cast<std::size_t>(field)];
}

const Value& Rowset::Original(int field) const {
  const Row* r = Current();
  if (r->original.empty()) return ValuesOf(*r, view_[static_cast<std::size_t>(pos_)])[static_cast<std::size_t>(field)];
  return r->original[static_cast<std::size_t>(field)];
}

RowStatus Rowset::CurrentStatus() const { return Current()->status; }
LONG Rowset::EditMode() const { return editMode_; }

void Rowset::RequireUpdatable() const { Check(lock != LockMode::ReadOnly, adErrFeatureNotAvailable, kNotUpdatable); }

Row& Rowset::CurrentForEdit() {
  RequireUpdatable();
  Row* r = MutableCurrent();
  std::size_t index = view_[static_cast<std::size_t>(pos_)];
  if (editMode_ == adEditNone) {
    editMode_ = adEditInProgress;
    editRow_ = index;
    editBackup_ = r->values;
    editChangedBackup_ = r->changed;
    editStatusBackup_ = r->status;
  }
  return *r;
}

void Rowset::Put(int field, const Value& v) {
  Row& r = CurrentForEdit();
  const FieldDef& f = store_->fields[static_cast<std::size_t>(field)];
  Value conv;
  if (!CoerceToType(v, f.type, f.size, conv))
    ThrowAdo(DB_E_ERRORSOCCURRED, L"Multiple-step operation generated errors. Check each status value. (field " +
                                      f.name + L")");
  if (r.status == RowStatus::Unchanged) {
    r.original = r.values;
    r.status = RowStatus::Modified;
  }
  r.values[static_cast<std::size_t>(field)] = std::move(conv);
  if (r.changed.size() != r.values.size()) r.changed.assign(r.values.size(), false);
  r.changed[static_cast<std::size_t>(field)] = true;
}

void Rowset::AddNew() {
  RequireUpdatable();
  store_->Expand();
  EndEditIfAny();
  std::size_t n = store_->fields.size();
  Row& row = store_->rows.emplace_back();
  row.values.assign(n, Value::Null());
  row.original.assign(n, Value::Null());
  row.changed.assign(n, false);
  row.status = RowStatus::New;
  std::size_t index = store_->rows.size() - 1;
  view_.push_back(index);  // a new row is shown whatever the filter says
  currentDeleted_ = false;
  pos_ = static_cast<long>(view_.size()) - 1;
  editMode_ = adEditAdd;
  editRow_ = index;
  editBackup_.clear();
}

void Rowset::Update() {
  if (editMode_ == adEditNone) return;
  // In immediate mode the row is written now; a failure leaves the edit open for another
  // try or CancelUpdate, as ADO does.
  if (lock == LockMode::Immediate && db) WriteRow(store_->rows[editRow_]);
  editMode_ = adEditNone;
  editBackup_.clear();
}

void Rowset::CancelUpdate() {
  if (editMode_ == adEditNone) return;
  Row& r = store_->rows[editRow_];
  if (editMode_ == adEditAdd) {
    r.dead = true;
    auto it = std::find(view_.begin(), view_.end(), editRow_);
    if (it != view_.end()) view_.erase(it);
    pos_ = static_cast<long>(view_.size());  // ADO leaves the cursor at the last row
    if (!view_.empty()) pos_ = static_cast<long>(view_.size()) - 1;
  } else {
    r.values = editBackup_;
    r.changed = editChangedBackup_;
    r.status = editStatusBackup_;
    if (r.status == RowStatus::Unchanged) r.original.clear();
  }
  editMode_ = adEditNone;
  editBackup_.clear();
}

std::vector<Row*> Rowset::Affected(LONG affect) {
  std::vector<Row*> out;
  if (affect == adAffectCurrent) {
    out.push_back(MutableCurrent());
  } else if (affect == adAffectGroup) {
    for (std::size_t i : view_) out.push_back(&store_->rows[i]);
  } else {
    for (auto& r : store_->rows) out.push_back(&r);
  }
  return out;
}

void Rowset::Delete(LONG affect) {
  RequireUpdatable();
  if (editMode_ == adEditAdd && affect == adAffectCurrent) {
    CancelUpdate();
    return;
  }
  if (editMode_ != adEditNone) CancelUpdate();
  store_->Expand();
  std::vector<Row*> rows = Affected(affect);
  for (Row* r : rows) {
    if (r->dead || r->status == RowStatus::Deleted) continue;
    if (r->status == RowStatus::New) {
      r->dead = true;
    } else {
      if (r->status == RowStatus::Unchanged) r->original = r->values;
      r->status = RowStatus::Deleted;
      if (lock == LockMode::Immediate && db) WriteRow(*r);
    }
  }
  // The deleted rows leave the view; the cursor stays where the current row was, so that
  // MoveNext reaches the row after it.
  std::size_t current = (pos_ >= 0 && static_cast<std::size_t>(pos_) < view_.size()) ? view_[static_cast<std::size_t>(pos_)] : 0;
  bool currentGone = false;
  decltype(view_) kept;
  long newPos = 0;
  for (std::size_t k = 0; k < view_.size(); ++k) {
    const Row& r = store_->rows[view_[k]];
    bool gone = r.dead || (r.status == RowStatus::Deleted && filterGroup_ == adFilterNone);
    if (static_cast<long>(k) < pos_ && !gone) ++newPos;
    if (view_[k] == current && static_cast<long>(k) == pos_) currentGone = gone;
    if (!gone) kept.push_back(view_[k]);
  }
  view_ = std::move(kept);
  pos_ = newPos;
  currentDeleted_ = currentGone;
}

// ---- writing back -------------------------------------------------------------------------

void Rowset::WriteRow(Row& row) {
  if (row.status == RowStatus::Unchanged || row.dead) return;
  store_->Expand();
  const auto& fields = store_->fields;
  std::string table;
  for (const auto& f : fields)
    if (!f.table.empty()) {
      table = f.table;
      break;
    }
  if (table.empty()) {  // fabricated rows have nowhere to go: the change is kept locally
    if (row.status == RowStatus::Deleted) row.dead = true;
    row.status = RowStatus::Unchanged;
    row.original.clear();
    std::fill(row.changed.begin(), row.changed.end(), false);
    return;
  }
  if (!db)
    ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed "
                                     L"or invalid in this context.");
  // Fields of the base table, and its key among them.
  std::vector<int> own;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].table == table && !fields[i].column.empty()) own.push_back(static_cast<int>(i));
  std::vector<int> keyFields;
  for (const auto& keyCol : db->PrimaryKey(table)) {
    for (int i : own)
      if (CompareNoCaseUtf8(fields[static_cast<std::size_t>(i)].column, keyCol) == 0) keyFields.push_back(i);
  }
  bool fullKey = !keyFields.empty() && keyFields.size() == db->PrimaryKey(table).size();
  std::vector<int> whereFields = fullKey ? keyFields : own;
  auto originalOf = [&](int i) -> const Value& {
    return row.original.empty() ? row.values[static_cast<std::size_t>(i)] : row.original[static_cast<std::size_t>(i)];
  };
  auto where = [&](std::string& sql, std::vector<Value>& params) {
    sql += " WHERE ";
    bool first = true;
    for (int i : whereFields) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      if (!first) sql += " AND ";
      first = false;
      if (KindOfType(f.type) == VKind::Bytes || IsLongType(f.type)) {
        sql += "1";  // long values take no part in locating the row
        continue;
      }
      sql += QuoteIdent(f.column) + " IS ?";
      params.push_back(originalOf(i));
    }
  };
  std::vector<Value> params;
  std::string sql;
  if (row.status == RowStatus::New) {
    std::string cols, marks;
    for (int i : own) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      const Value& v = row.values[static_cast<std::size_t>(i)];
      if (!Changed(row, i) && (v.IsNull() || v.IsEmpty())) continue;
      if (f.autoIncrement && (v.IsNull() || v.IsEmpty())) continue;
      if (!cols.empty()) {
        cols += ", ";
        marks += ", ";
      }
      cols += QuoteIdent(f.column);
      marks += "?";
      params.push_back(v);
    }
    sql = cols.empty() ? "INSERT INTO " + QuoteIdent(table) + " DEFAULT VALUES"
                       : "INSERT INTO " + QuoteIdent(table) + " (" + cols + ") VALUES (" + marks + ")";
    db->ExecuteNative(sql, params);
    std::int64_t id = db->LastInsertRowId();
    for (int i : own) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      Value& v = row.values[static_cast<std::size_t>(i)];
      if (f.autoIncrement && (v.IsNull() || v.IsEmpty())) CoerceToType(Value::Int(VKind::I8, id), f.type, f.size, v);
    }
  } else if (row.status == RowStatus::Modified) {
    std::string set;
    for (int i : own) {
      if (!Changed(row, i)) continue;
      if (!set.empty()) set += ", ";
      set += QuoteIdent(fields[static_cast<std::size_t>(i)].column) + " = ?";
      params.push_back(row.values[static_cast<std::size_t>(i)]);
    }
    if (!set.empty()) {
      sql = "UPDATE " + QuoteIdent(table) + " SET " + set;
      where(sql, params);
      if (db->ExecuteNative(sql, params) == 0) ThrowAdo(DB_E_CONCURRENCYVIOLATION, kRowNotFound);
    }
  } else if (row.status == RowStatus::Deleted) {
    sql = "DELETE FROM " + QuoteIdent(table);
    where(sql, params);
    if (db->ExecuteNative(sql, params) == 0) ThrowAdo(DB_E_CONCURRENCYVIOLATION, kRowNotFound);
    row.dead = true;
  }
  row.status = RowStatus::Unchanged;
  row.original.clear();
  std::fill(row.changed.begin(), row.changed.end(), false);
}

void Rowset::UpdateBatch(LONG affect) {
  RequireUpdatable();
  EndEditIfAny();
  store_->Expand();
  std::vector<Row*> rows = Affected(affect == 0 ? adAffectAll : affect);
  std::vector<Row*> pending;
  for (Row* r : rows)
    if (!r->dead && r->status != RowStatus::Unchanged) pending.push_back(r);
  if (pending.empty()) return;
  // One transaction for the batch: either every change is written or none is, and the rows
  // keep their pending state for another try.
  std::vector<Row> saved;
  saved.reserve(pending.size());
  for (Row* r : pending) saved.push_back(*r);
  bool transaction = false;
  try {
    if (db) {
      db->Begin();
      transaction = true;
    }
    for (Row* r : pending) WriteRow(*r);
    if (transaction) db->Commit();
  } catch (...) {
    if (transaction) {
      try {
        db->Rollback();
      } catch (...) {
      }
    }
    for (std::size_t k = 0; k < pending.size(); ++k) *pending[k] = std::move(saved[k]);
    throw;
  }
  if (filterGroup_ != adFilterNone) Rebuild(true);
}

void Rowset::CancelBatch(LONG affect) {
  if (editMode_ != adEditNone) CancelUpdate();
  store_->Expand();
  for (Row* r : Affected(affect == 0 ? adAffectAll : affect)) {
    if (r->dead) continue;
    if (r->status == RowStatus::New) {
      r->dead = true;
    } else if (r->status != RowStatus::Unchanged) {
      r->values = r->original;
      r->original.clear();
      r->status = RowStatus::Unchanged;
      std::fill(r->changed.begin(), r->changed.end(), false);
    }
  }
  Rebuild(false);
}

PendingRows Rowset::SnapshotPending() {
  EndEditIfAny();
  PendingRows snapshot;
  snapshot.store = store_;
  snapshot.rowCount = store_->Size();
  if (store_->IsPacked()) return snapshot;  // rows as read: nothing pending
  for (std::size_t i = 0; i < store_->rows.size(); ++i) {
    const Row& row = store_->rows[i];
    if (!row.dead && row.status != RowStatus::Unchanged) snapshot.rows.emplace_back(i, row);
  }
  return snapshot;
}

void Rowset::RestorePending(const PendingRows& snapshot) {
  if (snapshot.store.lock() != store_)
    ThrowAdo(adErrInvalidArgument, L"The saved rows belong to another recordset.");
  if (editMode_ != adEditNone) CancelUpdate();
  store_->Expand();
  for (const auto& [index, row] : snapshot.rows)
    if (index < store_->rows.size()) store_->rows[index] = row;
  for (std::size_t i = snapshot.rowCount; i < store_->rows.size(); ++i) store_->rows[i].dead = true;
  decodedRow_ = static_cast<std::size_t>(-1);
  Rebuild(true);
}

// ---- filter, sort, find -------------------------------------------------------------------

void Rowset::SetFilter(std::wstring_view criteria) {
  EndEditIfAny();
  Criteria c = Criteria::Parse(criteria, *store_);
  filter_ = std::move(c);
  filterText_.assign(criteria);
  filterGroup_ = adFilterNone;
  Rebuild(false);
}

void Rowset::SetFilterGroup(LONG group) {
  EndEditIfAny();
  Check(group == adFilterNone || group == adFilterPendingRecords || group == adFilterAffectedRecords ||
            group == adFilterFetchedRecords || group == adFilterConflictingRecords,
        adErrInvalidArgument, L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
                              L"one another.");
  filter_ = Criteria();
  filterText_.clear();
  filterGroup_ = group == adFilterFetchedRecords ? adFilterNone : group;
  Rebuild(false);
}

void Rowset::SetSort(std::wstring_view text) {
  EndEditIfAny();
  std::vector<std::pair<int, bool>> spec;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
  };
  while (true) {
    skip();
    if (i >= text.size()) break;
    std::wstring name;
    if (text[i] == L'[') {
      std::size_t e = text.find(L']', i);
      if (e == std::wstring_view::npos) ThrowAdo(adErrInvalidArgument, L"Bad sort text.");
      name.assign(text.substr(i + 1, e - i - 1));
      i = e + 1;
    } else {
      while (i < text.size() && text[i] != L',' && !std::iswspace(static_cast<wint_t>(text[i]))) name.push_back(text[i++]);
    }
    int field = store_->FieldIndex(name);
    if (field < 0)
      ThrowAdo(adErrItemNotFound, L"Item cannot be found in the collection corresponding to the requested name or "
                                  L"ordinal (" + name + L").");
    skip();
    bool desc = false;
    std::wstring word;
    while (i < text.size() && text[i] != L',' && !std::iswspace(static_cast<wint_t>(text[i]))) word.push_back(text[i++]);
    word = ToUpper(word);
    if (word == L"DESC") desc = true;
    else if (!word.empty() && word != L"ASC") ThrowAdo(adErrInvalidArgument, L"Bad sort order " + word + L".");
    spec.emplace_back(field, desc);
    skip();
    if (i < text.size()) {
      if (text[i] != L',') ThrowAdo(adErrInvalidArgument, L"Bad sort text.");
      ++i;
    }
  }
  sort_ = std::move(spec);
  sortText_.assign(text);
  Rebuild(false);
}

void Rowset::Find(std::wstring_view criteria, LONG skip, LONG direction, std::optional<double> start) {
  EndEditIfAny();
  Criteria c = Criteria::Parse(criteria, *store_);
  store_->Expand();
  long p = pos_;
  long size = static_cast<long>(view_.size());
  if (start) {
    SetBookmark(*start);
    p = pos_;
  } else if (direction == adSearchBackward) {
    if (p >= size) p = size - 1;
  } else if (p < 0) {
    p = 0;
  }
  currentDeleted_ = false;
  long step = direction == adSearchBackward ? -1 : 1;
  for (p += step * skip; p >= 0 && p < size; p += step) {
    if (c.Matches(store_->rows[view_[static_cast<std::size_t>(p)]])) {
      pos_ = p;
      return;
    }
  }
  pos_ = step > 0 ? size : -1;
}

}  // namespace platform::ado
