#include "platform/ado/rowset.h"

#include <algorithm>
#include <cwctype>
#include <memory>

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

// Whether a result's column is the key column `key` by the collation, told at once for the usual
// names: the same, or of ASCII characters and of other lengths.
bool SameColumn(std::string_view column, std::string_view key) {
  if (column == key) return true;
  auto ascii = [](std::string_view s) {
    unsigned char any = 0;
    for (char c : s) any |= static_cast<unsigned char>(c);
    return any < 0x80;
  };
  if (column.size() != key.size() && !column.empty() && !key.empty() && column.back() != ' ' && key.back() != ' ' &&
      ascii(column) && ascii(key))
    return false;
  return CompareNoCaseUtf8(column, key) == 0;
}

// Appends `name` in double quotes (a quote in it doubled).
void AppendQuoted(std::string& out, const std::string& name) {
  out += '"';
  if (name.find('"') == std::string::npos) {
    out += name;
  } else {
    for (char c : name) {
      if (c == '"') out += '"';
      out += c;
    }
  }
  out += '"';
}
}  // namespace

Rowset::Rowset() : store_(std::make_shared<RowStore>()) {}

std::shared_ptr<Rowset> Rowset::FromResult(ResultSet&& result) {
  auto rs = std::make_shared<Rowset>();
  rs->store_->fields = std::move(result.columns);
  if (result.isPacked && result.packed.Count() > 0) {
    std::size_t n = result.packed.Count();
    rs->store_->packed = std::move(result.packed);
    // Every row read is shown, in the order read (what Rebuild gives without filter or sort).
    rs->view_ = RowView::Identity(n);
    return rs;
  }
  for (auto& values : result.rows) rs->store_->Append().values = std::move(values);
  rs->Rebuild(false);
  return rs;
}

Row* RowStore::NewRow() {
  if (chunkUsed_ == chunkSize_) {
    // 8 rows (under a kilobyte: the allocator's small blocks) until 64 rows are made, then as
    // many as are made already, up to 512 a chunk.
    const std::size_t size = chunkRows_ < 64 ? 8 : std::min<std::size_t>(chunkRows_, 512);
    chunks_.push_back(std::make_unique<Row[]>(size));
    chunkSize_ = size;
    chunkRows_ += size;
    chunkUsed_ = 0;
  }
  return &chunks_.back()[chunkUsed_++];
}

Row& RowStore::MakeAt(std::size_t i) {
  if (rows.size() < Size()) rows.resize(Size());
  Row*& slot = rows[i];
  if (!slot) {
    slot = NewRow();
    if (i < packed.Count()) packed.Decode(i, fields.size(), slot->values);
  }
  return *slot;
}

Row& RowStore::Append() {
  if (rows.size() < Size()) rows.resize(Size());
  if (rows.size() == rows.capacity()) rows.reserve(rows.size() < 8 ? 8 : rows.size() * 2);
  rows.push_back(NewRow());
  if (liveValid_ && !liveAll_) live_->push_back(rows.size() - 1);  // a new row is live
  return *rows.back();
}

void RowStore::Expand() {
  const std::size_t n = Size();
  for (std::size_t i = 0; i < n; ++i) At(i);
  packed.Clear();
}

const std::vector<Value>& RowStore::ValuesAt(std::size_t i, std::vector<Value>& scratch) const {
  if (const Row* row = Find(i)) return row->values;
  packed.Decode(i, fields.size(), scratch);
  return scratch;
}

EqualityIndex& RowStore::IndexOf(int field) {
  const auto f = static_cast<std::size_t>(field);
  if (indexes_.size() <= f) {
    indexes_.resize(fields.size() > f ? fields.size() : f + 1);
    indexBuilt_.resize(indexes_.size());
    pending_.resize(indexes_.size());
  }
  std::unique_ptr<EqualityIndex>& index = indexes_[f];
  std::vector<std::size_t>& pending = pending_[f];
  const std::size_t n = Size();
  // An index that has taken many entries since it was built (stale ones among them) is built anew.
  if (index && index->Entries() + pending.size() > 2 * indexBuilt_[f] + n + 4096) index.reset();
  std::vector<Value> scratch;
  if (!index) {
    index = std::make_unique<EqualityIndex>();
    index->Reserve(n);
    for (std::size_t i = 0; i < n; ++i) index->Add(i, ValuesAt(i, scratch)[f]);
    indexBuilt_[f] = index->Entries();
  } else {
    index->Reserve(pending.size());
    for (std::size_t row : pending)
      if (row < n) index->Add(row, ValuesAt(row, scratch)[f]);
  }
  pending.clear();
  return *index;
}

void RowStore::DropIndex(int field) {
  const auto f = static_cast<std::size_t>(field);
  if (f < indexes_.size()) {
    indexes_[f].reset();
    pending_[f].clear();
  }
}

std::size_t RowStore::IndexEntries(int field) {
  const auto f = static_cast<std::size_t>(field);
  return f < indexes_.size() && indexes_[f] ? IndexOf(field).Entries() : 0;
}

void RowStore::Pend(std::size_t f, std::size_t row) {
  std::vector<std::size_t>& pending = pending_[f];
  if (pending.empty() || pending.back() != row) pending.push_back(row);
}

void RowStore::NoteRow(std::size_t row) {
  for (std::size_t f = 0; f < indexes_.size(); ++f)
    if (indexes_[f]) Pend(f, row);
}

bool RowStore::Candidates(const Criteria& criteria, std::vector<std::size_t>& out) {
  const EqualityIndex* best = nullptr;
  const Value* bestValue = nullptr;
  std::size_t bestCount = static_cast<std::size_t>(-1);
  for (auto [field, value] : criteria.EqualityTerms()) {
    const EqualityIndex& index = IndexOf(field);
    const std::size_t n = index.CandidateCount(*value);
    if (n == static_cast<std::size_t>(-1)) continue;  // this index cannot tell
    if (!best || n < bestCount) {
      best = &index;
      bestValue = value;
      bestCount = n;
    }
  }
  if (!best) return false;
  out.clear();
  out.reserve(bestCount);
  best->Candidates(*bestValue, out);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return true;
}

RowView RowStore::LiveRows() {
  if (!liveValid_) {
    const std::size_t n = Size();
    auto hidden = [&](std::size_t i) {
      const Row* row = i < rows.size() ? rows[i] : nullptr;
      return row && (row->dead || row->status == RowStatus::Deleted);
    };
    std::size_t first = 0;
    while (first < rows.size() && first < n && !hidden(first)) ++first;
    live_.reset();
    liveAll_ = first >= rows.size() || first >= n;
    if (!liveAll_) {
      live_ = std::make_shared<RowView::List>();
      live_->reserve(n);
      for (std::size_t k = 0; k < first; ++k) live_->push_back(k);
      for (std::size_t k = first + 1; k < n; ++k)
        if (!hidden(k)) live_->push_back(k);
    }
    liveValid_ = true;
  }
  return liveAll_ ? RowView::Identity(Size()) : RowView::Shared(live_);
}

long RowView::Find(std::size_t row) const {
  if (identity_) return row < count_ ? static_cast<long>(row) : -1;
  const auto begin = list_->begin(), end = list_->begin() + static_cast<std::ptrdiff_t>(count_);
  if (ascending_) {
    auto it = std::lower_bound(begin, end, row);
    return it != end && *it == row ? static_cast<long>(it - begin) : -1;
  }
  for (auto it = begin; it != end; ++it)
    if (*it == row) return static_cast<long>(it - begin);
  return -1;
}

RowView::List& RowView::Mutable() {
  if (identity_) {
    auto list = std::make_shared<List>();
    list->resize(count_);
    for (std::size_t k = 0; k < count_; ++k) (*list)[k] = k;
    list_ = std::move(list);
    identity_ = false;
  } else if (list_.use_count() > 1 || list_->size() != count_) {
    list_ = std::make_shared<List>(list_->begin(), list_->begin() + static_cast<std::ptrdiff_t>(count_));
  }
  return *list_;
}

namespace {
// The original value of each field of a row added and not yet written.
const Value& NullValue() {
  static const Value null = Value::Null();
  return null;
}

}  // namespace

// Made when the library loads (no recordset exists before), so that reaching it costs no check.
// Not constinit: a row's change marks are a string, which clang does not make at compile time.
const Row Rowset::kPackedStandIn{{}, {}, {}, RowStatus::Unchanged, false, true};

void Rowset::NoCurrent() { ThrowAdo(adErrNoCurrentRecord, kNoCurrent); }

void Rowset::DecodeRow(std::size_t index) const {
  decodedRow_ = static_cast<std::size_t>(-1);
  store_->packed.Decode(index, store_->fields.size(), decoded_);
  decodedRow_ = index;
}

std::shared_ptr<Rowset> Rowset::Fabricate(std::vector<FieldDef> fields) {
  auto rs = std::make_shared<Rowset>();
  rs->store_->fields = Columns(std::move(fields));
  for (std::size_t f = 0; f < rs->store_->fields.size(); ++f)
    if (rs->store_->fields[f].optimize) rs->store_->IndexOf(static_cast<int>(f));
  rs->Rebuild(false);
  return rs;
}

std::shared_ptr<Rowset> Rowset::Clone(LockMode mode) const {
  auto rs = std::make_shared<Rowset>();
  rs->store_ = store_;
  rs->db = db;
  rs->lock = mode;
  rs->view_ = store_->LiveRows();  // shared: no pass over the rows
  return rs;
}

void Rowset::SetOptimize(int field, bool on) {
  MutableField(field).optimize = on;
  if (on) store_->IndexOf(field);
  else store_->DropIndex(field);
}

bool Rowset::Visible(const Row& row, std::size_t index, std::vector<Value>& scratch) const {
  if (row.dead) return false;
  switch (filterGroup_) {
    case adFilterPendingRecords:
    case adFilterAffectedRecords:
      return row.status != RowStatus::Unchanged;
    case adFilterConflictingRecords:
      return false;
    default:
      if (row.status == RowStatus::Deleted) return false;
      if (filter_.Empty()) return true;
      return filter_.Matches(row.packed ? store_->ValuesAt(index, scratch) : row.values);
  }
}

void Rowset::Rebuild(bool keepCurrent) {
  if (!sort_.empty()) store_->Expand();
  std::size_t current = static_cast<std::size_t>(-1);
  if (keepCurrent && pos_ >= 0 && static_cast<std::size_t>(pos_) < view_.size()) current = view_[static_cast<std::size_t>(pos_)];
  view_.Clear();
  const std::size_t n = store_->Size();
  std::vector<std::size_t> candidates;
  if (filterGroup_ == adFilterNone && filter_.Empty()) {
    view_ = store_->LiveRows();
  } else if (store_->rows.empty() && filter_.Empty()) {
    // Every row is packed and unchanged: all are shown or none.
    if (Visible(kPackedStandIn, 0, decoded_))
      for (std::size_t i = 0; i < n; ++i) view_.PushBack(i);
  } else if (filterGroup_ == adFilterNone && store_->Candidates(filter_, candidates)) {
    std::vector<Value> scratch;
    for (std::size_t i : candidates) {
      const Row* row = store_->Find(i);
      if (Visible(row ? *row : kPackedStandIn, i, scratch)) view_.PushBack(i);
    }
  } else {
    std::vector<Value> scratch;
    for (std::size_t i = 0; i < n; ++i) {
      const Row* row = store_->Find(i);
      if (Visible(row ? *row : kPackedStandIn, i, scratch)) view_.PushBack(i);
    }
  }
  if (!sort_.empty()) {
    const auto& rows = store_->rows;
    auto& list = view_.Reorder();
    std::stable_sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) {
      for (auto [field, desc] : sort_) {
        int c = CompareValues(rows[a]->values[static_cast<std::size_t>(field)],
                              rows[b]->values[static_cast<std::size_t>(field)]);
        if (c != 0) return desc ? c > 0 : c < 0;
      }
      return false;
    });
  }
  currentDeleted_ = false;
  pos_ = 0;
  if (current != static_cast<std::size_t>(-1)) {
    const long found = view_.Find(current);
    if (found >= 0) pos_ = found;
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
  const long found = plausible ? view_.Find(row) : -1;
  Check(found >= 0, adErrInvalidArgument,
        L"Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  currentDeleted_ = false;
  pos_ = found;
}

Row* Rowset::MutableCurrent() {
  Current();  // raises when there is no current row
  return &store_->At(view_[static_cast<std::size_t>(pos_)]);
}

const Value& Rowset::Original(int field) const {
  const Row* r = Current();
  if (r->original.empty()) {
    // A row added and not yet written had no values before: each is NULL.
    if (r->status == RowStatus::New) return NullValue();
    return ValuesOf(*r, view_[static_cast<std::size_t>(pos_)])[static_cast<std::size_t>(field)];
  }
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
    editBackup_.clear();
    editChangedBackup_ = r->changed;
    editStatusBackup_ = r->status;
  }
  return *r;
}

RowUndoLog* Rowset::Recording() const {
  std::shared_ptr<RowUndoLog> log = store_->undo.lock();
  return log && log->recording ? log.get() : nullptr;
}

namespace {
[[noreturn]] void RefuseValue(const FieldDef& f) {
  ThrowAdo(DB_E_ERRORSOCCURRED,
           L"Multiple-step operation generated errors. Check each status value. (field " + f.name + L")");
}
}  // namespace

void Rowset::Put(int field, Value v) {
  // The row being added (the current row until the addition ends) outside an undo log keeps no
  // copy of the values it had: the value is converted into its place (a value that cannot be
  // converted leaves it as it was).
  if (editMode_ == adEditAdd && editRow_ < store_->rows.size() && store_->undo.expired()) [[likely]] {
    const FieldDef& f = store_->fields[static_cast<std::size_t>(field)];
    const auto k = static_cast<std::size_t>(field);
    Row& r = *store_->rows[editRow_];
    if (!CoerceToType(std::move(v), f.type, f.size, r.values[k])) RefuseValue(f);
    if (r.changed.size() != r.values.size()) r.changed.assign(r.values.size(), false);
    r.changed[k] = true;
    store_->NoteValue(editRow_, field);
    return;
  }
  PutEdited(field, std::move(v));
}

void Rowset::PutEdited(int field, Value&& v) {
  const FieldDef& f = store_->fields[static_cast<std::size_t>(field)];
  const auto k = static_cast<std::size_t>(field);
  auto refuse = [&] { RefuseValue(f); };
  Row& r = CurrentForEdit();
  const std::size_t index = view_[static_cast<std::size_t>(pos_)];
  Value conv;
  if (!CoerceToType(std::move(v), f.type, f.size, conv)) refuse();
  if (editMode_ == adEditInProgress &&
      std::none_of(editBackup_.begin(), editBackup_.end(), [&](const auto& b) { return b.first == field; }))
    editBackup_.emplace_back(field, r.values[k]);
  if (RowUndoLog* log = Recording()) {
    RowUndo undo;
    undo.index = index;
    undo.field = field;
    undo.old = r.values[k];
    undo.oldChanged = Changed(r, field);
    undo.status = r.status;
    log->entries.push_back(std::move(undo));
  }
  if (r.status == RowStatus::Unchanged) {
    r.original = r.values;
    r.status = RowStatus::Modified;
  }
  r.values[k] = std::move(conv);
  if (r.changed.size() != r.values.size()) r.changed.assign(r.values.size(), false);
  r.changed[k] = true;
  store_->NoteValue(index, field);
}

void Rowset::AddNew() {
  RequireUpdatable();
  EndEditIfAny();
  std::size_t n = store_->fields.size();
  Row& row = store_->Append();
  row.values.reserve(n);  // a new row: every value NULL, each made in place
  for (std::size_t k = 0; k < n; ++k) row.values.emplace_back().kind = VKind::Null;
  row.changed.assign(n, false);
  row.status = RowStatus::New;
  std::size_t index = store_->Size() - 1;
  store_->NoteRow(index);
  view_.PushBack(index);  // a new row is shown whatever the filter says
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
  if (lock == LockMode::Immediate && db) WriteRowNow(editRow_);
  editMode_ = adEditNone;
  editBackup_.clear();
}

void Rowset::CancelUpdate() {
  if (editMode_ == adEditNone) return;
  Row& r = store_->At(editRow_);
  if (editMode_ == adEditAdd) {
    r.dead = true;
    store_->NoteHidden();
    const long found = view_.Find(editRow_);
    if (found >= 0) view_.EraseAt(static_cast<std::size_t>(found));
    pos_ = static_cast<long>(view_.size());  // ADO leaves the cursor at the last row
    if (!view_.empty()) pos_ = static_cast<long>(view_.size()) - 1;
  } else {
    for (auto& [field, value] : editBackup_) {
      r.values[static_cast<std::size_t>(field)] = std::move(value);
      store_->NoteValue(editRow_, field);
    }
    r.changed = editChangedBackup_;
    r.status = editStatusBackup_;
    if (r.status == RowStatus::Unchanged) r.original.clear();
  }
  editMode_ = adEditNone;
  editBackup_.clear();
}

std::vector<std::size_t> Rowset::Affected(LONG affect, bool everyRow) {
  std::vector<std::size_t> out;
  if (affect == adAffectCurrent) {
    MutableCurrent();
    out.push_back(view_[static_cast<std::size_t>(pos_)]);
  } else if (affect == adAffectGroup) {
    for (std::size_t k = 0; k < view_.size(); ++k) {
      const std::size_t i = view_[k];
      if (everyRow) store_->At(i);
      if (store_->Find(i)) out.push_back(i);
    }
  } else {
    if (everyRow) store_->Expand();
    for (std::size_t i = 0; i < store_->rows.size(); ++i)
      if (store_->rows[i]) out.push_back(i);
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
  for (std::size_t i : Affected(affect, true)) {
    Row* r = store_->rows[i];
    if (r->dead || r->status == RowStatus::Deleted) continue;
    store_->NoteHidden();
    if (RowUndoLog* log = Recording()) {
      RowUndo undo;
      undo.index = i;
      undo.marks = true;
      undo.status = r->status;
      undo.dead = r->dead;
      undo.original = r->original;
      undo.changed = r->changed;
      log->entries.push_back(std::move(undo));
    }
    if (r->status == RowStatus::New) {
      r->dead = true;
    } else {
      if (r->status == RowStatus::Unchanged) r->original = r->values;
      r->status = RowStatus::Deleted;
      if (lock == LockMode::Immediate && db) WriteRowNow(i);
    }
  }
  // The deleted rows leave the view; the cursor stays where the current row was, so that
  // MoveNext reaches the row after it.
  std::size_t current = (pos_ >= 0 && static_cast<std::size_t>(pos_) < view_.size()) ? view_[static_cast<std::size_t>(pos_)] : 0;
  bool currentGone = false;
  RowView kept;
  long newPos = 0;
  for (std::size_t k = 0; k < view_.size(); ++k) {
    const Row* found = store_->Find(view_[k]);
    const Row& r = found ? *found : kPackedStandIn;
    bool gone = r.dead || (r.status == RowStatus::Deleted && filterGroup_ == adFilterNone);
    if (static_cast<long>(k) < pos_ && !gone) ++newPos;
    if (view_[k] == current && static_cast<long>(k) == pos_) currentGone = gone;
    if (!gone) kept.PushBack(view_[k]);
  }
  view_ = std::move(kept);
  pos_ = newPos;
  currentDeleted_ = currentGone;
}

// ---- writing back -------------------------------------------------------------------------

// Where a batch goes: the base table, its fields and the fields that locate a row.
struct Rowset::WriteTarget {
  std::string table;
  std::vector<int> own;
  std::vector<int> whereFields;
};

Rowset::WriteTarget Rowset::Target() const {
  WriteTarget t;
  const auto& fields = store_->fields;
  for (const auto& f : fields)
    if (!f.Table().empty()) {
      t.table = f.Table();
      break;
    }
  if (t.table.empty()) return t;  // fabricated rows have nowhere to go: changes are kept locally
  if (!db)
    ThrowAdo(adErrInvalidConnection, L"The connection cannot be used to perform this operation. It is either closed "
                                     L"or invalid in this context.");
  t.own.reserve(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Table() == t.table && !fields[i].Column().empty()) t.own.push_back(static_cast<int>(i));
  const std::vector<std::string> key = db->PrimaryKey(t.table);
  std::vector<int> keyFields;
  for (const auto& keyCol : key)
    for (int i : t.own)
      if (SameColumn(fields[static_cast<std::size_t>(i)].Column(), keyCol)) keyFields.push_back(i);
  const bool fullKey = !keyFields.empty() && keyFields.size() == key.size();
  t.whereFields = fullKey ? keyFields : t.own;
  return t;
}

void Rowset::WriteRowSql(const WriteTarget& target, std::size_t index, Row& row, std::vector<RowUndo>& assigned) {
  if (row.status == RowStatus::Unchanged || row.dead || target.table.empty()) return;
  const auto& fields = store_->fields;
  const std::string& table = target.table;
  auto originalOf = [&](int i) -> const Value& {
    return row.original.empty() ? row.values[static_cast<std::size_t>(i)] : row.original[static_cast<std::size_t>(i)];
  };
  auto where = [&](std::string& sql, std::vector<Value>& params) {
    sql += " WHERE ";
    bool first = true;
    for (int i : target.whereFields) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      if (!first) sql += " AND ";
      first = false;
      if (KindOfType(f.type) == VKind::Bytes || IsLongType(f.type)) {
        sql += "1";  // long values take no part in locating the row
        continue;
      }
      // A NULL is located by IS NULL, any other value by `=` (which every engine can look up by
      // an index).
      const Value& original = originalOf(i);
      AppendQuoted(sql, f.Column());
      if (original.IsNull() || original.IsEmpty()) {
        sql += " IS NULL";
      } else {
        sql += " = ?";
        params.push_back(original);
      }
    }
  };
  std::vector<Value> params;
  params.reserve(target.own.size());
  std::string sql;
  sql.reserve(64 + 24 * target.own.size());
  if (row.status == RowStatus::New) {
    sql = "INSERT INTO ";
    AppendQuoted(sql, table);
    sql += " (";
    for (int i : target.own) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      const Value& v = row.values[static_cast<std::size_t>(i)];
      if (!Changed(row, i) && (v.IsNull() || v.IsEmpty())) continue;
      if (f.autoIncrement && (v.IsNull() || v.IsEmpty())) continue;
      if (!params.empty()) sql += ", ";
      AppendQuoted(sql, f.Column());
      params.push_back(v);
    }
    if (params.empty()) {
      sql.resize(sql.size() - 2);  // the " ("
      sql += " DEFAULT VALUES";
    } else {
      sql += ") VALUES (?";
      for (std::size_t k = 1; k < params.size(); ++k) sql += ", ?";
      sql += ')';
    }
    db->ExecuteNative(sql, params);
    std::int64_t id = db->LastInsertRowId();
    for (int i : target.own) {
      const FieldDef& f = fields[static_cast<std::size_t>(i)];
      Value& v = row.values[static_cast<std::size_t>(i)];
      if (f.autoIncrement && (v.IsNull() || v.IsEmpty())) {
        RowUndo undo;
        undo.index = index;
        undo.field = i;
        undo.old = v;
        undo.oldChanged = Changed(row, i);
        undo.status = row.status;
        assigned.push_back(std::move(undo));
        CoerceToType(Value::Int(VKind::I8, id), f.type, f.size, v);
        store_->NoteValue(index, i);
      }
    }
  } else if (row.status == RowStatus::Modified) {
    sql = "UPDATE ";
    AppendQuoted(sql, table);
    sql += " SET ";
    for (int i : target.own) {
      if (!Changed(row, i)) continue;
      if (!params.empty()) sql += ", ";
      AppendQuoted(sql, fields[static_cast<std::size_t>(i)].Column());
      sql += " = ?";
      params.push_back(row.values[static_cast<std::size_t>(i)]);
    }
    if (!params.empty()) {
      where(sql, params);
      if (db->ExecuteNative(sql, params) == 0) ThrowAdo(DB_E_CONCURRENCYVIOLATION, kRowNotFound);
    }
  } else if (row.status == RowStatus::Deleted) {
    sql = "DELETE FROM ";
    AppendQuoted(sql, table);
    where(sql, params);
    if (db->ExecuteNative(sql, params) == 0) ThrowAdo(DB_E_CONCURRENCYVIOLATION, kRowNotFound);
  }
}

void Rowset::MarkWritten(std::size_t index, Row& row) {
  if (row.status == RowStatus::Unchanged || row.dead) return;
  if (RowUndoLog* log = Recording()) {
    RowUndo undo;
    undo.index = index;
    undo.marks = true;
    undo.status = row.status;
    undo.dead = row.dead;
    undo.original = std::move(row.original);
    undo.changed = std::move(row.changed);  // an empty list reads as nothing changed
    log->entries.push_back(std::move(undo));
  }
  if (row.status == RowStatus::Deleted) row.dead = true;
  row.status = RowStatus::Unchanged;
  row.original.clear();
  std::fill(row.changed.begin(), row.changed.end(), false);
}

void Rowset::WriteRowNow(std::size_t index) {
  Row& row = store_->At(index);
  std::vector<RowUndo> assigned;
  WriteRowSql(Target(), index, row, assigned);
  if (RowUndoLog* log = Recording())
    for (RowUndo& undo : assigned) log->entries.push_back(std::move(undo));
  MarkWritten(index, row);
}

void Rowset::UpdateBatch(LONG affect) {
  RequireUpdatable();
  EndEditIfAny();
  std::vector<std::size_t> pending;
  for (std::size_t i : Affected(affect == 0 ? adAffectAll : affect, false)) {
    const Row& r = *store_->rows[i];
    if (!r.dead && r.status != RowStatus::Unchanged) pending.push_back(i);
  }
  if (pending.empty()) return;
  // One transaction for the batch: either every change is written or none is, and the rows
  // keep their pending state for another try. The rows are marked written only at the end. A
  // single row is one statement, which either engine writes whole or not at all.
  const WriteTarget target = Target();
  std::vector<RowUndo> assigned;  // numbers the database gave new rows
  bool transaction = false;
  try {
    if (db && !target.table.empty() && pending.size() > 1) {
      db->Begin();
      transaction = true;
    }
    for (std::size_t i : pending) WriteRowSql(target, i, *store_->rows[i], assigned);
    if (transaction) db->Commit();
  } catch (...) {
    if (transaction) {
      try {
        db->Rollback();
      } catch (...) {
      }
    }
    for (auto it = assigned.rbegin(); it != assigned.rend(); ++it) {
      store_->rows[it->index]->values[static_cast<std::size_t>(it->field)] = std::move(it->old);
      store_->NoteValue(it->index, it->field);
    }
    throw;
  }
  if (RowUndoLog* log = Recording())
    for (RowUndo& undo : assigned) log->entries.push_back(std::move(undo));
  for (std::size_t i : pending) MarkWritten(i, *store_->rows[i]);
  if (filterGroup_ != adFilterNone) Rebuild(true);
}

void Rowset::CancelBatch(LONG affect) {
  if (editMode_ != adEditNone) CancelUpdate();
  for (std::size_t i : Affected(affect == 0 ? adAffectAll : affect, false)) {
    Row* r = store_->rows[i];
    if (r->dead) continue;
    if (r->status == RowStatus::New) {
      r->dead = true;
    } else if (r->status != RowStatus::Unchanged) {
      r->values = r->original;
      r->original.clear();
      r->status = RowStatus::Unchanged;
      std::fill(r->changed.begin(), r->changed.end(), false);
      store_->NoteRow(i);
    }
    store_->NoteHidden();
  }
  Rebuild(false);
}

// ---- undoing a write ----------------------------------------------------------------------

std::shared_ptr<RowUndoLog> Rowset::BeginUndo() {
  EndEditIfAny();
  auto log = std::make_shared<RowUndoLog>();
  log->store = store_;
  log->rowCount = store_->Size();
  std::size_t pending = 0;
  for (const auto& row : store_->rows)
    if (row && !row->dead && row->status != RowStatus::Unchanged) ++pending;
  log->entries.reserve(2 * pending);  // the marks of each pending row, and about as many edits
  store_->undo = log;
  return log;
}

void Rowset::Undo(RowUndoLog& log) {
  if (log.store.lock() != store_) ThrowAdo(adErrInvalidArgument, L"The undo log belongs to another recordset.");
  log.recording = false;
  if (editMode_ != adEditNone) CancelUpdate();
  for (auto it = log.entries.rbegin(); it != log.entries.rend(); ++it) {
    if (it->index >= store_->Size()) continue;
    Row& row = store_->At(it->index);
    if (it->marks) {
      row.status = it->status;
      row.dead = it->dead;
      row.original = std::move(it->original);
      row.changed = std::move(it->changed);
    } else {
      const auto k = static_cast<std::size_t>(it->field);
      if (k < row.values.size()) {
        row.values[k] = std::move(it->old);
        store_->NoteValue(it->index, it->field);
      }
      if (k < row.changed.size()) row.changed[k] = it->oldChanged;
      if (it->status == RowStatus::Unchanged) {
        row.status = RowStatus::Unchanged;
        row.original.clear();
      }
    }
  }
  log.entries.clear();
  for (std::size_t i = log.rowCount; i < store_->rows.size(); ++i)
    if (store_->rows[i]) store_->rows[i]->dead = true;
  store_->NoteHidden();
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
  std::vector<Value> scratch;
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
  std::vector<std::size_t> candidates;
  if (view_.Ascending() && store_->Candidates(c, candidates)) {
    // The rows an index names, from the start row on: their positions follow store order.
    p += step * skip;
    if (p >= 0 && p < size) {
      const std::size_t from = view_[static_cast<std::size_t>(p)];
      auto test = [&](std::size_t row) {
        const long k = view_.Find(row);
        if (k < 0 || !c.Matches(store_->ValuesAt(row, scratch))) return false;
        pos_ = k;
        return true;
      };
      if (step > 0) {
        for (auto it = std::lower_bound(candidates.begin(), candidates.end(), from); it != candidates.end(); ++it)
          if (test(*it)) return;
      } else {
        for (auto it = std::upper_bound(candidates.begin(), candidates.end(), from); it != candidates.begin();)
          if (test(*--it)) return;
      }
    }
    pos_ = step > 0 ? size : -1;
    return;
  }
  for (p += step * skip; p >= 0 && p < size; p += step) {
    if (c.Matches(store_->ValuesAt(view_[static_cast<std::size_t>(p)], scratch))) {
      pos_ = p;
      return;
    }
  }
  pos_ = step > 0 ? size : -1;
}

}  // namespace platform::ado
