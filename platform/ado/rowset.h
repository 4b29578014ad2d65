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

// Rows and fields shared by a recordset and its clones.
struct RowStore {
  std::vector<FieldDef> fields;
  std::deque<Row> rows;  // a row's bookmark is its index + 1; rows never move
  // The rows read and not yet needed as a whole, while `rows` is empty: reading the current
  // row decodes it; filtering, sorting, finding and editing first unpack every row into
  // `rows` (Expand). Until then no row has an object of its own.
  PackedRows packed;
  int FieldIndex(std::wstring_view name) const;  // case-insensitive; -1 when missing
  void Expand();
  bool IsPacked() const { return packed.Count() != 0; }
  std::size_t Size() const { return IsPacked() ? packed.Count() : rows.size(); }
};

// A compiled filter or find criteria.
class Criteria {
 public:
  // Throws DbException (adErrInvalidArgument / adErrItemNotFound) for bad criteria.
  static Criteria Parse(std::wstring_view text, const RowStore& store);
  bool Matches(const Row& row) const;
  bool Empty() const { return nodes_.empty(); }

  struct Node {
    enum Kind { And, Or, Compare } kind = Compare;
    int left = -1, right = -1;  // And/Or
    int field = -1;
    enum Op { Eq, Ne, Lt, Le, Gt, Ge, Like, NotLike } op = Eq;
    Value literal;  // Null for `= NULL`
  };

 private:
  bool Eval(int node, const Row& row) const;
  std::vector<Node> nodes_;
  int root_ = -1;
  const RowStore* store_ = nullptr;
};

enum class LockMode { ReadOnly, Immediate, Batch };

// The rows of a store that have changes not yet written, as they stood: what a write that failed
// after some batches went to the database (a transaction rolled back) puts back.
struct PendingRows {
  std::weak_ptr<RowStore> store;
  std::size_t rowCount = 0;                        // rows of the store when it was taken
  std::vector<std::pair<std::size_t, Row>> rows;   // index and state of each pending row
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

  // The pending rows as they stand (an edit in progress ends first), and putting them back: rows
  // written since are pending again, rows added since are dropped. RestorePending raises
  // adErrInvalidArgument for rows of another store.
  PendingRows SnapshotPending();
  void RestorePending(const PendingRows& snapshot);

  // Writes one row to the base table (used by Update in immediate mode and by UpdateBatch).
  void WriteRow(Row& row);

 private:
  void Rebuild(bool keepCurrent);
  // The current row; while the store is packed, a stand-in that says so (ValuesOf decodes it).
  const Row* Current() const;
  // The current row of the unpacked store.
  Row* MutableCurrent();
  Row& CurrentForEdit();
  void EndEditIfAny();
  void Check(bool cond, HRESULT hr, const wchar_t* text) const;
  bool Visible(const Row& row) const;
  // The values of row `index` (`row` is Current()), decoded when it is still packed.
  const std::vector<Value>& ValuesOf(const Row& row, std::size_t index) const;
  std::vector<Row*> Affected(LONG affect);
  void RequireUpdatable() const;

  std::shared_ptr<RowStore> store_;
  std::vector<std::size_t, BlockAllocator<std::size_t>> view_;
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
  std::vector<Value> editBackup_;
  std::vector<char> editChangedBackup_;
  RowStatus editStatusBackup_ = RowStatus::Unchanged;
};

[[noreturn]] void ThrowAdo(HRESULT hr, std::wstring description);

}  // namespace platform::ado
