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
#include "platform/ado/value.h"

namespace platform::ado {

struct FieldDef {
  std::wstring name;
  LONG type = 0;
  LONG size = 0;
  LONG attributes = 0;
  std::string table;   // base table, empty for fabricated fields and expressions
  std::string column;  // base column
  bool key = false;
  bool autoIncrement = false;
  bool optimize = false;  // the dynamic "Optimize" property (an index hint; nothing to do here)
};

enum class RowStatus { Unchanged, New, Modified, Deleted };

struct Row {
  std::vector<Value> values;
  std::vector<Value> original;  // values as read (or as last written back)
  std::vector<char> changed;  // per field: set by an edit
  RowStatus status = RowStatus::Unchanged;
  bool dead = false;  // gone: a new row deleted before it was written, or a written deletion
  bool packed = false;  // stands for a row still in the store's packed block
};

struct RowUndoLog;

// Rows and fields shared by a recordset and its clones. The rows read are kept packed as read;
// a row becomes an object of its own (rows[i]) only when it is needed as one: edited, deleted,
// written or put back. Sorting makes every row one. Rows added come after the rows read.
struct RowStore {
  std::vector<FieldDef> fields;
  PackedRows packed;                        // row i of the store is packed row i, i < packed.Count()
  std::vector<std::unique_ptr<Row>> rows;   // by index (a bookmark is the index + 1); null: packed, unchanged
  std::weak_ptr<RowUndoLog> undo;           // the log that records edits and writes, if any
  int FieldIndex(std::wstring_view name) const;  // case-insensitive; -1 when missing
  std::size_t Size() const { return rows.size() > packed.Count() ? rows.size() : packed.Count(); }
  // Row i when it is an object of its own, else null.
  const Row* Find(std::size_t i) const { return i < rows.size() ? rows[i].get() : nullptr; }
  // Row i as an object of its own (made from its packed values when it is not one yet).
  Row& At(std::size_t i);
  // A new row after the others.
  Row& Append();
  // Every row an object of its own.
  void Expand();
  // The values of row i: its own, or its packed ones decoded into `scratch`.
  const std::vector<Value>& ValuesAt(std::size_t i, std::vector<Value>& scratch) const;
};

// A compiled filter or find criteria.
class Criteria {
 public:
  // Throws DbException (adErrInvalidArgument / adErrItemNotFound) for bad criteria.
  static Criteria Parse(std::wstring_view text, const RowStore& store);
  bool Matches(const Row& row) const { return Matches(row.values); }
  bool Matches(const std::vector<Value>& values) const;
  bool Empty() const { return nodes_.empty(); }

  struct Node {
    enum Kind { And, Or, Compare } kind = Compare;
    int left = -1, right = -1;  // And/Or
    int field = -1;
    enum Op { Eq, Ne, Lt, Le, Gt, Ge, Like, NotLike } op = Eq;
    Value literal;  // Null for `= NULL`
  };

 private:
  bool Eval(int node, const std::vector<Value>& values) const;
  std::vector<Node> nodes_;
  int root_ = -1;
  const RowStore* store_ = nullptr;
};

enum class LockMode { ReadOnly, Immediate, Batch };

// The rows a rowset shows, in order, as store indexes. While they are rows 0, 1, 2... of the
// store (a result as read, without filter or sort) the view is kept as their count alone.
class RowView {
 public:
  std::size_t size() const { return identity_ ? count_ : list_.size(); }
  bool empty() const { return size() == 0; }
  std::size_t operator[](std::size_t k) const { return identity_ ? k : list_[k]; }
  void Clear() {
    identity_ = true;
    count_ = 0;
    list_.clear();
  }
  void PushBack(std::size_t row) {
    if (identity_ && row == count_) {
      ++count_;
      return;
    }
    Own().push_back(row);
  }
  // The position of store row `row` in the view, or -1.
  long Find(std::size_t row) const {
    if (identity_) return row < count_ ? static_cast<long>(row) : -1;
    for (std::size_t k = 0; k < list_.size(); ++k)
      if (list_[k] == row) return static_cast<long>(k);
    return -1;
  }
  void EraseAt(std::size_t k) { Own().erase(Own().begin() + static_cast<std::ptrdiff_t>(k)); }
  // The view as a list of indexes, to reorder.
  std::vector<std::size_t, BlockAllocator<std::size_t>>& Own() {
    if (identity_) {
      list_.resize(count_);
      for (std::size_t k = 0; k < count_; ++k) list_[k] = k;
      identity_ = false;
    }
    return list_;
  }

 private:
  bool identity_ = true;
  std::size_t count_ = 0;
  std::vector<std::size_t, BlockAllocator<std::size_t>> list_;
};

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
  std::vector<char> changed;
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

  const std::vector<FieldDef>& Fields() const { return store_->fields; }
  FieldDef& MutableField(int i) { return store_->fields[static_cast<std::size_t>(i)]; }
  int FieldIndex(std::wstring_view name) const { return store_->FieldIndex(name); }

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
  const Value& Get(int field) const;
  const Value& Original(int field) const;
  void Put(int field, const Value& v);
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
  const Row* Current() const;
  // The current row of the unpacked store.
  Row* MutableCurrent();
  Row& CurrentForEdit();
  void EndEditIfAny();
  void Check(bool cond, HRESULT hr, const wchar_t* text) const;
  // Whether row `index` (`row` is it or the packed stand-in) is in the view.
  bool Visible(const Row& row, std::size_t index, std::vector<Value>& scratch) const;
  // The values of row `index` (`row` is Current()), decoded when it is still packed.
  const std::vector<Value>& ValuesOf(const Row& row, std::size_t index) const;
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
  std::vector<char> editChangedBackup_;
  RowStatus editStatusBackup_ = RowStatus::Unchanged;
};

[[noreturn]] void ThrowAdo(HRESULT hr, std::wstring description);

}  // namespace platform::ado
