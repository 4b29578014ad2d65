// Equality filters and clone-and-find on an exchange container of 10,000 rows, as a merge of a
// category tree does them: 10,000 filters by id, each followed by a write into the row found, and
// 10,000 clones each searched for a parent id. Beside them the same steps on 1,000 ids with
// criteria that no index answers (a walk over every row), for scale. Then the first filter after
// filling containers of 10,000, 100,000 and 200,000 rows, with the field optimized from the
// start and without (the index built by the filter); the aim: under 30 ms at 200,000 rows.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/ado/ado.h"

namespace {

constexpr int kRows = 10000;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

_RecordsetPtr Container() {
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->Fields->Append(L"id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"parent_id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"cat_id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  rs->Fields->Item[L"id"]->Properties->Item[L"Optimize"]->Value = _variant_t(true);
  for (int i = 1; i <= kRows; ++i) {
    rs->AddNew();
    rs->Fields->Item[L"id"]->Value = _variant_t(i);
    rs->Fields->Item[L"parent_id"]->Value = _variant_t(i / 10);
    rs->Update();
  }
  return rs;
}

std::wstring Criteria(const wchar_t* field, int value, bool walk) {
  std::wstring c = std::wstring(field) + L"=" + std::to_wstring(value);
  return walk ? L"(" + c + L") OR (" + c + L")" : c;
}

// Filters by id, each writing the row found; returns the rows found.
long Filters(const _RecordsetPtr& rs, int count, bool walk) {
  long found = 0;
  for (int i = 1; i <= count; ++i) {
    rs->Filter = Criteria(L"id", i, walk).c_str();
    if (rs->RecordCount == 1) {
      ++found;
      rs->Fields->Item[L"cat_id"]->Value = _variant_t(i);
      rs->Update();
    }
  }
  rs->Filter = L"";
  return found;
}

// Clones searched for a parent id; returns the clones that found one.
long CloneAndFind(const _RecordsetPtr& rs, int count, bool walk) {
  long found = 0;
  for (int i = 1; i <= count; ++i) {
    _RecordsetPtr copy = rs->Clone(adLockReadOnly);
    copy->Find(Criteria(L"parent_id", i, walk).c_str(), 0, adSearchForward);
    if (!copy->adoEOF) ++found;
  }
  return found;
}

// Fills a container of `rows` rows as a connector does (AddNew, the fields, Update), then times
// its first filter by id.
double FirstFilter(int rows, bool optimized, long& found) {
  _RecordsetPtr rs(__uuidof(Recordset));
  rs->Fields->Append(L"id", adInteger, 4, static_cast<FieldAttributeEnum>(100));
  rs->Fields->Append(L"name", adVarWChar, 50, static_cast<FieldAttributeEnum>(100));
  rs->Open(vtMissing, vtMissing, adOpenUnspecified, adLockUnspecified, 0);
  if (optimized) rs->Fields->Item[L"id"]->Properties->Item[L"Optimize"]->Value = _variant_t(true);
  FieldsPtr fields = rs->Fields;
  for (int i = 1; i <= rows; ++i) {
    rs->AddNew();
    fields->Item[L"id"]->Value = _variant_t(i);
    fields->Item[L"name"]->Value = _variant_t(L"Kategoria");
    rs->Update();
  }
  const auto start = std::chrono::steady_clock::now();
  rs->Filter = Criteria(L"id", rows / 2, false).c_str();
  found = rs->RecordCount;
  return Seconds(start);
}

}  // namespace

int main() {
  _RecordsetPtr rs = Container();
  auto start = std::chrono::steady_clock::now();
  long f = Filters(rs, kRows, false);
  double filters = Seconds(start);
  start = std::chrono::steady_clock::now();
  long c = CloneAndFind(rs, kRows, false);
  double clones = Seconds(start);
  start = std::chrono::steady_clock::now();
  long wf = Filters(rs, kRows / 10, true);
  double walkFilters = Seconds(start);
  start = std::chrono::steady_clock::now();
  long wc = CloneAndFind(rs, kRows / 10, true);
  double walkClones = Seconds(start);
  std::printf("rows: %d\n", kRows);
  std::printf("%d equality filters with a write each   %.3f s (%ld found)\n", kRows, filters, f);
  std::printf("%d clones each found in                 %.3f s (%ld found)\n", kRows, clones, c);
  std::printf("%d filters walking every row             %.3f s (%ld found)\n", kRows / 10, walkFilters, wf);
  std::printf("%d clones found in walking every row     %.3f s (%ld found)\n", kRows / 10, walkClones, wc);
  bool ok = f == kRows && c == kRows / 10;
  std::printf("first filter after filling:   optimized   not optimized\n");
  for (int rows : {10000, 100000, 200000}) {
    long a = 0, b = 0;
    const double optimized = FirstFilter(rows, true, a), plain = FirstFilter(rows, false, b);
    std::printf("%8d rows                 %8.1f ms %11.1f ms\n", rows, optimized * 1e3, plain * 1e3);
    ok = ok && a == 1 && b == 1;
  }
  std::printf("aim: under 30 ms at 200,000 rows\n");
  return ok ? 0 : 1;
}
