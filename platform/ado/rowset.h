#pragma once
// The client-side cursor under a recordset: every row held in memory, with the row states that
// batch updating needs, filtering by ADO's criteria grammar, sorting, finding, clones sharing
// the rows, and writing changed rows back to the base table by primary key.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/database.h"
#include "platform/ado/row_index.h"
#include "platform/ado/value.h"

namespace platform::ado {

[[noreturn]] void ThrowAdo(HRESULT hr, std::wstring description);

// A field of a rowset: a result's column, or one made for a fabricated rowset (no base table).
using FieldDef = ColumnInfo;

enum class RowStatus { Unchanged, New, Modified, Deleted };

// One mark per field (nonzero: changed), held inside the row for up to 15 fields: a row edited
// or added then costs no allocation for its marks.
using ChangeMarks = std::string;

struct Row {
  std::vector<Value> values;
  std::vector<Value> original;  // values as read (or as last written back); empty while unchanged, and for a new row (NULLs)
  ChangeMarks changed;  // per field: set by an edit
  RowStatus status = RowStatus::Unchanged;
  bool dead = false;  // gone: a new row deleted before it was written, or a written deletion
  bool packed = false;  // stands for a row still in the store's packed block
};

struct RowUndoLog;
class Criteria;

// The rows a rowset shows, in order, as store indexes. While they are rows 0, 1, 2... of the
// store (a result as read, without filter or sort) the view is kept as their count alone. A list
// may be shared with other views (clones of one recordset): each view holds its own length of
// it, the list is copied before a view changes it otherwise than by taking the row that already
// follows its length, and the store may add rows at its end.
class RowView {
 public:
  using List = std::vector<std::size_t, BlockAllocator<std::size_t>>;
  static RowView Identity(std::size_t count) {
    RowView v;
    v.count_ = count;
    return v;
  }
  static RowView Shared(std::shared_ptr<List> list) {
    RowView v;
    v.identity_ = false;
    v.count_ = list->size();
    v.list_ = std::move(list);
    return v;
  }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::size_t operator[](std::size_t k) const { return identity_ ? k : (*list_)[k]; }
  // Whether the rows are in store order (so that a row's position can be searched for).
  bool Ascending() const { return ascending_; }
  void Clear() {
    identity_ = true;
    ascending_ = true;
    count_ = 0;
    list_.reset();
  }
  void PushBack(std::size_t row) {
    if (identity_ && row == count_) {
      ++count_;
      return;
    }
    if (!identity_ && count_ < list_->size() && (*list_)[count_] == row) {
      ++count_;  // the shared list holds it next already
      return;
    }
    if (ascending_ && count_ > 0 && row <= (*this)[count_ - 1]) ascending_ = false;
    Mutable().push_back(row);
    ++count_;
  }
  // The position of store row `row` in the view, or -1.
  long Find(std::size_t row) const;
  void EraseAt(std::size_t k) {
    List& list = Mutable();
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(k));
    --count_;
  }
  // The view as a list of indexes, to reorder.
  List& Reorder() {
    ascending_ = false;
    return Mutable();
  }

 private:
  List& Mutable();
  bool identity_ = true;
  bool ascending_ = true;
  std::size_t count_ = 0;
  std::shared_ptr<List> list_;
};

// Rows and fields shared by a recordset and its clones. The rows read are kept packed as read;
// a row becomes an object of its own (rows[i]) only when it is needed as one: edited, deleted,
// written or put back. Sorting makes every row one. Rows added come after the rows read.
struct RowStore {
  Columns fields;  // shared with the statement that read the rows, copied when a field changes
  PackedRows packed;                        // row i of the store is packed row i, i < packed.Count()
  std::vector<Row*> rows;   // by index (a bookmark is the index + 1); null: packed, unchanged
  std::weak_ptr<RowUndoLog> undo;           // the log that records edits and writes, if any
  int FieldIndex(std::wstring_view name) const;  // case-insensitive; -1 when missing
  std::size_t Size() const { return rows.size() > packed.Count() ? rows.size() : packed.Count(); }
  // Row i when it is an object of its own, else null.
  const Row* Find(std::size_t i) const { return i < rows.size() ? rows[i] : nullptr; }
  // Row i as an object of its own (made from its packed values when it is not one yet).
  Row& At(std::size_t i) {
    if (i < rows.size() && rows.size() >= packed.Count() && rows[i]) return *rows[i];
    return MakeAt(i);
  }
  Row& MakeAt(std::size_t i);
  // A new row after the others.
  Row& Append();
  // Every row an object of its own.
  void Expand();
  // The values of row i: its own, or its packed ones decoded into `scratch`.
  const std::vector<Value>& ValuesAt(std::size_t i, std::vector<Value>& scratch) const;

  // Equality indexes by field. An index is built on first use and kept as rows change: whoever
  // changes a row's values says so (NoteValue, NoteRow), and the rows told of are filed once, with
  // the values they hold then, when the index is next asked (a row added and then written field
  // by field is filed once).
  EqualityIndex& IndexOf(int field);
  void DropIndex(int field);
  std::size_t IndexEntries(int field);
  [[gnu::always_inline]] void NoteValue(std::size_t row, int field) {
    const auto f = static_cast<std::size_t>(field);
    if (f < indexes_.size() && indexes_[f]) Pend(f, row);
  }
  void NoteRow(std::size_t row);
  // The rows that may match `criteria` when it holds an equality clause on its own or inside
  // AND (the fewest the indexes name), ascending and without repeats; false when it holds none.
  bool Candidates(const Criteria& criteria, std::vector<std::size_t>& out);

  // The rows neither gone nor deleted, in store order: what a recordset without filter shows.
  // Kept between calls (shared by the views given it) until a row's state changes (NoteHidden).
  RowView LiveRows();
  void NoteHidden() { liveValid_ = false; }

 private:
  // A new row object, owned by the store: the objects are made in chunks that never move (a few
  // allocations for the rows of a small list, instead of one a row).
  Row* NewRow();
  std::vector<std::unique_ptr<Row[]>> chunks_;
  std::size_t chunkUsed_ = 0, chunkSize_ = 0, chunkRows_ = 0;  // rows of the last chunk used, its size, all chunks' rows

  std::vector<std::unique_ptr<EqualityIndex>> indexes_;
  std::vector<std::size_t> indexBuilt_;  // entries of each index when built
  std::vector<std::vector<std::size_t>> pending_;  // rows changed since each index last filed them
  void Pend(std::size_t f, std::size_t row);
  bool liveValid_ = false;
  bool liveAll_ = false;  // every row is live
  std::shared_ptr<RowView::List> live_;
};

// A compiled filter or find criteria.
class Criteria {
 public:
  // Throws DbException (adErrInvalidArgument / adErrItemNotFound) for bad criteria.
  static Criteria Parse(std::wstring_view text, const RowStore& store);
  bool Matches(const Row& row) const { return Matches(row.values); }
  bool Matches(const std::vector<Value>& values) const;
  bool Empty() const { return nodes_.empty(); }
  // The equality clauses that every matching row satisfies (alone, or inside AND): field and
  // the value compared with.
  std::vector<std::pair<int, const Value*>> EqualityTerms() const;

  struct Node {
    enum Kind { And, Or, Compare } kind = Compare;
    int left = -1, right = -1;  // And/Or
    int field = -1;
    enum Op { Eq, Ne, Lt, Le, Gt, Ge, Like, NotLike } op = Eq;
    Value literal;  // Null for `= NULL`
    Value compared;  // what the field's values are compared with: the literal as the field's type when it becomes one
  };

 private:
  bool Eval(int node, const std::vector<Value>& values) const;
  std::vector<Node> nodes_;
  int root_ = -1;
  const RowStore* store_ = nullptr;
};

enum class LockMode { ReadOnly, Immediate, Batch };

// What one edit or one write changed in a row, so that it can be undone: the field's value
// before an edit, or the row's marks before it was written (or deleted).
struct RowUndo {
  std::size_t index = 0;
  bool marks = false;  // the row's marks, else one field's value
  int field = -1;
  Value old;
  bool oldChanged = false;
  RowStatus status = RowStatus::Unchanged;
  bool dead = false;
  std::vector<Value> original;
  ChangeMarks changed;
};

// The undo log of a write: while it records, every edit of the store's rows and every row
// marked written is logged, so that a write whose transaction is rolled back afterwards can be
// undone in the recordset too (rows written are pending again, values changed on the way back
// as they were, rows added since dropped).
struct RowUndoLog {
  std::weak_ptr<RowStore> store;
  std::size_t rowCount = 0;  // rows of the store when the log began
  bool recording = true;
  std::vector<RowUndo> entries;
};

class Rowset {
 public:
  Rowset();
  // A fabricated or freshly read rowset.
  static std::shared_ptr<Rowset> FromResult(ResultSet&& result);
  static std::shared_ptr<Rowset> Fabricate(std::vector<FieldDef> fields);
  std::shared_ptr<Rowset> Clone(LockMode lock) const;

  LockMode lock = LockMode::Batch;
  std::shared_ptr<Database> db;  // null when detached

  const std::vector<FieldDef>& Fields() const { return store_->fields.All(); }
  FieldDef& MutableField(int i) { return store_->fields.Mutable(static_cast<std::size_t>(i)); }
  int FieldIndex(std::wstring_view name) const { return store_->FieldIndex(name); }
  // The "Optimize" property of a field: its equality index is built now and kept, or dropped.
  void SetOptimize(int field, bool on);
  // The entries of the field's index as a lookup would find it now (0 without an index): how
  // much filing the rows' changes took.
  std::size_t IndexEntries(int field) const { return store_->IndexEntries(field); }

  // Position.
  bool Bof() const;
  bool Eof() const;
  LONG RecordCount() const { return static_cast<LONG>(view_.size()); }
  void MoveFirst();
  void MoveLast();
  void MoveNext();
  void MovePrevious();
  void Move(LONG n, std::optional<double> start = std::nullopt);
  LONG AbsolutePosition() const;  // 1-based, or adPosBOF / adPosEOF / adPosUnknown
  void SetAbsolutePosition(LONG pos);
  double Bookmark() const;
  void SetBookmark(double bm);

  // Current row values.
  const Value& Get(int field) const {
    const Row* r = Current();
    return ValuesOf(*r, view_[static_cast<std::size_t>(pos_)])[static_cast<std::size_t>(field)];
  }
  const Value& Original(int field) const;
  void Put(int field, Value v);
  RowStatus CurrentStatus() const;
  LONG EditMode() const;

  // Editing.
  void AddNew();
  void Update();
  void CancelUpdate();
  void Delete(LONG affect);
  void UpdateBatch(LONG affect);
  void CancelBatch(LONG affect);

  // Views.
  void SetFilter(std::wstring_view criteria);
  void SetFilterGroup(LONG group);
  const std::wstring& FilterText() const { return filterText_; }
  LONG FilterGroup() const { return filterGroup_; }
  void SetSort(std::wstring_view sort);
  const std::wstring& SortText() const { return sortText_; }
  void Find(std::wstring_view criteria, LONG skip, LONG direction, std::optional<double> start);

  // Starts an undo log on the store (an edit in progress ends first; a log begun before stops
  // recording); Undo replays it backwards and raises adErrInvalidArgument for another store's log.
  std::shared_ptr<RowUndoLog> BeginUndo();
  void Undo(RowUndoLog& log);

 private:
  void Rebuild(bool keepCurrent);
  // The current row; while the store is packed, a stand-in that says so (ValuesOf decodes it).
  const Row* Current() const {
    if (currentDeleted_ || pos_ < 0 || static_cast<std::size_t>(pos_) >= view_.size()) [[unlikely]]
      NoCurrent();
    const Row* r = store_->Find(view_[static_cast<std::size_t>(pos_)]);
    if (!r) return &kPackedStandIn;
    if (r->dead || r->status == RowStatus::Deleted) [[unlikely]]
      NoCurrent();
    return r;
  }
  [[noreturn]] static void NoCurrent();
  // What Current() gives for a row of a packed store: read, unchanged, shown.
  static const Row kPackedStandIn;
  // The current row of the unpacked store.
  Row* MutableCurrent();
  Row& CurrentForEdit();
  // Put for a row that keeps what it had (an edit, or an addition under an undo log).
  [[gnu::noinline]] void PutEdited(int field, Value&& v);
  void EndEditIfAny();
  void Check(bool cond, HRESULT hr, const wchar_t* text) const {
    if (!cond) [[unlikely]] ThrowAdo(hr, text);
  }
  // Whether row `index` (`row` is it or the packed stand-in) is in the view.
  bool Visible(const Row& row, std::size_t index, std::vector<Value>& scratch) const;
  // The values of row `index` (`row` is Current()), decoded when it is still packed.
  const std::vector<Value>& ValuesOf(const Row& row, std::size_t index) const {
    if (!row.packed) return row.values;  // an object of its own
    if (decodedRow_ != index) DecodeRow(index);
    return decoded_;
  }
  void DecodeRow(std::size_t index) const;  // into decoded_
  // The rows an operation affects; with `everyRow` false, only rows that are objects of their
  // own (the others are unchanged).
  std::vector<std::size_t> Affected(LONG affect, bool everyRow);
  RowUndoLog* Recording() const;
  // Writing rows back: the target of the store's rows, one row's statement, the row's marks.
  struct WriteTarget;
  WriteTarget Target() const;
  void WriteRowSql(const WriteTarget& target, std::size_t index, Row& row, std::vector<RowUndo>& assigned);
  void MarkWritten(std::size_t index, Row& row);
  void WriteRowNow(std::size_t index);
  void RequireUpdatable() const;

  std::shared_ptr<RowStore> store_;
  RowView view_;
  long pos_ = 0;  // index in view_; -1 before the first row, view_.size() after the last
  bool currentDeleted_ = false;
  std::wstring filterText_;
  LONG filterGroup_ = 0;
  Criteria filter_;
  std::wstring sortText_;
  std::vector<std::pair<int, bool>> sort_;  // field, descending
  // The last packed row read, decoded.
  mutable std::size_t decodedRow_ = static_cast<std::size_t>(-1);
  mutable std::vector<Value> decoded_;
  // Edit buffer: the row's values and state before the edit in progress.
  LONG editMode_ = 0;
  std::size_t editRow_ = 0;
  std::vector<std::pair<int, Value>> editBackup_;  // each field's value before its first change in the edit
  ChangeMarks editChangedBackup_;
  RowStatus editStatusBackup_ = RowStatus::Unchanged;
};

}  // namespace platform::ado
