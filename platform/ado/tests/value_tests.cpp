// Values, dates, case folding and the criteria grammar of the engine.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "platform/ado/ado_enums.h"
#include "platform/ado/database.h"
#include "platform/ado/rowset.h"
#include "platform/ado/text.h"

using namespace platform::ado;

TEST(AdoDates, OleDatesRoundTripThroughTheStoredText) {
  EXPECT_EQ(DateTextFromOle(0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(DateTextFromOle(2.5), "1900-01-01 12:00:00");
  EXPECT_EQ(DateTextFromOle(-1.25), "1899-12-29 06:00:00");  // the time stays positive before the epoch
  EXPECT_EQ(DateTextFromOle(45000.0 + 0.5 / 86400), "2023-03-15 00:00:00.500");
  for (const char* text : {"2024-02-29 23:59:59", "1900-03-01 00:00:00", "2000-01-01 12:34:56.789", "9999-12-31 00:00:00"}) {
    auto d = OleDateFromText(text);
    ASSERT_TRUE(d) << text;
    EXPECT_EQ(DateTextFromOle(*d), text);
  }
  EXPECT_EQ(DateTextFromOle(*OleDateFromText("20240105")), "2024-01-05 00:00:00");
  EXPECT_EQ(DateTextFromOle(*OleDateFromText("05.01.2024 10:11")), "2024-01-05 10:11:00");
  EXPECT_EQ(DateTextFromOle(*OleDateFromText("2024-01-05T10:11:12")), "2024-01-05 10:11:12");
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-01-01 24:00", "abc", "2024-01-01x", ""})
    EXPECT_FALSE(OleDateFromText(bad)) << bad;
  EXPECT_TRUE(DateTextFromOle(1e12).empty());
  // The stored text sorts in time order.
  EXPECT_LT(DateTextFromOle(45000.25), DateTextFromOle(45000.2500001 + 1.0 / 86400000 * 5));
}

TEST(AdoText, FoldingAndCollationKnowPolishLetters) {
  EXPECT_EQ(ToUpper(L"zażółć gęślą jaźń"), L"ZAŻÓŁĆ GĘŚLĄ JAŹŃ");
  EXPECT_EQ(ToLower(L"ZAŻÓŁĆ GĘŚLĄ JAŹŃ"), L"zażółć gęślą jaźń");
  EXPECT_EQ(ToUpper(L"ÿ"), L"Ÿ");
  EXPECT_EQ(CompareNoCase(L"Łódź", L"ŁÓDŹ  "), 0);
  // A blank with something after it counts, at the end of the shorter text too.
  EXPECT_LT(CompareNoCase(L"Kubek", L"Kubek 1"), 0);
  EXPECT_GT(CompareNoCase(L"jan kowalski", L"JAN"), 0);
  EXPECT_LT(CompareNoCaseUtf8("Kubek", "Kubek 1 "), 0);
  EXPECT_LT(CompareNoCase(L"a", L"ą"), 0);
  EXPECT_LT(CompareNoCase(L"ą", L"b"), 0);
  EXPECT_LT(CompareNoCase(L"z", L"ź"), 0);
  EXPECT_LT(CompareNoCase(L"ź", L"ż"), 0);
  EXPECT_LT(CompareNoCase(L"ab", L"abc"), 0);
  EXPECT_EQ(CompareNoCaseUtf8("Żółw", "żÓŁW"), 0);
  // Stored text in its bytes: an ASCII prefix, then letters past ASCII, a blank before more text.
  for (auto [a, b, order] : {std::tuple{"kubek-ą", "KUBEK-Ą", 0}, {"kubek-a", "kubek-ą", -1}, {"kubek-ż", "kubek-Ź", 1},
                             {"a_", "A`", -1}, {"Kubek ", "kubek 1", -1}, {"zz", "ą", 1}, {"", "  ", 0}, {"1", "A", -1}})
    EXPECT_EQ(CompareNoCaseUtf8(a, b), order) << a << " " << b;
  // The collation of stored texts orders as the one of wide texts: ASCII and other letters mixed
  // anywhere, letters folded to ASCII ones (ı, ſ), blanks, punctuation before letters.
  const auto sign = [](int r) { return r < 0 ? -1 : r > 0 ? 1 : 0; };
  for (auto [a, b] : {std::pair{L"Zażółć gęślą", L"ZAŻÓŁĆ GĘŚLĄ  "}, {L"Zażółć", L"Zazolc"}, {L"x_y", L"xąy"},
                      {L"ąb", L"ĄC"}, {L"kıt", L"KIT"}, {L"ſad", L"SAE"}, {L"a", L"A "}, {L"", L" "}, {L"", L"a"},
                      {L"Ab1", L"aB2"}, {L"a_", L"aa"}, {L"9", L"a"}, {L"Łódź 1", L"łódź"}, {L"é", L"e"},
                      {L"ab€", L"AB€"}, {L"ż", L"źz"}, {L"a😀", L"A😀b"},
                      {L"account_name_Zażółć", L"account_name_ZAZOLC"}, {L"abcdefghijklmnop", L"abcdefghijklmnoq"},
                      {L"abcdefgh", L"abcdefgh  "}, {L"abcdefghij", L"ABCDEFGHIJ"}, {L"abcdefgh_1", L"abcdefghą"}})
    for (auto [x, y] : {std::pair{a, b}, std::pair{b, a}})
      EXPECT_EQ(sign(CompareNoCaseUtf8(ToUtf8(x), ToUtf8(y))), sign(CompareNoCase(x, y))) << ToUtf8(x) << " " << ToUtf8(y);
  // Names of fields: equal as the collation says, of the same length.
  for (auto [a, b, same] : {std::tuple{L"au_Id", L"AU_ID", true}, {L"Żółw_1", L"żÓŁW_1", true}, {L"a_b", L"a-b", false},
                            {L"a@", L"a`", false}, {L"cs_Nick", L"cs_Nick ", false}, {L"ą", L"a", false}})
    EXPECT_EQ(SameNameNoCase(a, b), same) << ToUtf8(a) << " " << ToUtf8(b);
  EXPECT_EQ(FromUtf8(ToUtf8(L"zażółć 😀")), L"zażółć 😀");
  EXPECT_EQ(FromUtf8("a\xFF" "b"), L"a\xFFFD" L"b");  // a bad byte is kept visible, nothing is lost
  // Into a buffer used before (as rows are decoded): nothing of the earlier text is left.
  std::wstring reused = L"a much longer earlier text";
  for (auto [utf8, wide] : {std::pair{"", L""}, {"abc", L"abc"}, {"Gr\xc5\xbc" "egorz", L"Grżegorz"},
                            {"x\xff", L"x\xFFFD"}, {"zażółć gęślą jaźń, a longer one", L"zażółć gęślą jaźń, a longer one"},
                            {"ok", L"ok"}}) {
    FromUtf8(utf8, reused);
    EXPECT_EQ(reused, wide) << utf8;
  }
}

TEST(AdoLike, ServerPatternsAndRecordsetWildcards) {
  EXPECT_TRUE(LikeMatch(L"ab%", L"ABC"));
  EXPECT_TRUE(LikeMatch(L"%ć", L"Mać"));
  EXPECT_TRUE(LikeMatch(L"a_c", L"abc"));
  EXPECT_FALSE(LikeMatch(L"a_c", L"abbc"));
  EXPECT_TRUE(LikeMatch(L"[a-c]%", L"Bolek"));
  EXPECT_FALSE(LikeMatch(L"[^a-c]%", L"bolek"));
  EXPECT_TRUE(LikeMatch(L"100!%", L"100%", L'!'));
  EXPECT_FALSE(LikeMatch(L"100!%", L"1000", L'!'));
  EXPECT_TRUE(LikeMatch(L"[x", L"[x"));
  EXPECT_TRUE(LikeMatch(L"a*", L"Alpha", 0, true));
  EXPECT_TRUE(LikeMatch(L"*ha", L"alpha", 0, true));
  EXPECT_FALSE(LikeMatch(L"[a]*", L"alpha", 0, true));  // no classes in recordset filters
  EXPECT_TRUE(LikeMatch(L"%%%%%%%%%%%%%%%%%%%%b", std::wstring(5000, L'a') + L"b"));
}

TEST(AdoValues, CoercionFollowsTheFieldType) {
  Value out;
  EXPECT_TRUE(CoerceToType(Value::Text(L" 42 "), adInteger, 4, out));
  EXPECT_EQ(out.kind, VKind::I4);
  EXPECT_EQ(out.i, 42);
  EXPECT_FALSE(CoerceToType(Value::Text(L"4x"), adInteger, 4, out));
  EXPECT_FALSE(CoerceToType(Value::Int(VKind::I8, 1LL << 40), adInteger, 4, out));
  EXPECT_TRUE(CoerceToType(Value::Real(VKind::R8, 2.5), adInteger, 4, out));
  EXPECT_EQ(out.i, 2);  // banker's rounding, as the platform converts
  EXPECT_TRUE(CoerceToType(Value::Text(L"1.23456"), adCurrency, 8, out));
  EXPECT_EQ(out.i, 12346);
  EXPECT_TRUE(CoerceToType(Value::Text(L"true"), adBoolean, 2, out));
  EXPECT_EQ(out.i, 1);
  EXPECT_TRUE(CoerceToType(Value::Text(L"2024-01-02"), adDBTimeStamp, 16, out));
  EXPECT_EQ(out.kind, VKind::Date);
  EXPECT_TRUE(CoerceToType(Value::Int(VKind::I4, 123456), adVarChar, 3, out));
  EXPECT_EQ(out.s, L"123");
  EXPECT_TRUE(CoerceToType(Value::Text(L"abcdef"), adLongVarWChar, 3, out));
  EXPECT_EQ(out.s, L"abcdef");
  EXPECT_FALSE(CoerceToType(Value::Real(VKind::R8, 1e300), adSingle, 4, out));
  EXPECT_FALSE(CoerceToType(Value::Text(L"1e400"), adDouble, 8, out));
  EXPECT_TRUE(CoerceToType(Value(), adInteger, 4, out));
  EXPECT_TRUE(out.IsNull());
  // A value of the field's own kind: kept, a flag made 0 or 1, a number out of the type's range
  // refused (and the target left as it was), over a text the target held before.
  struct {
    Value in;
    LONG type;
    bool ok;
    VKind kind;
    std::int64_t i;
  } const sameKind[] = {
      {Value::Int(VKind::I4, -7), adInteger, true, VKind::I4, -7},
      {Value::Int(VKind::Bool, 5), adBoolean, true, VKind::Bool, 1},
      {Value::Int(VKind::Bool, 0), adBoolean, true, VKind::Bool, 0},
      {Value::Int(VKind::I8, 1LL << 40), adBigInt, true, VKind::I8, 1LL << 40},
      {Value::Int(VKind::I2, 40000), adSmallInt, false, VKind::Text, 0},
      {Value::Int(VKind::I4, 1LL << 40), adInteger, false, VKind::Text, 0},
      {Value::Int(VKind::UI1, 256), adUnsignedTinyInt, false, VKind::Text, 0},
  };
  for (const auto& c : sameKind) {
    Value target = Value::Text(L"held before");
    Value in = c.in;
    EXPECT_EQ(CoerceToType(std::move(in), c.type, 0, target), c.ok) << c.type;
    EXPECT_EQ(target.kind, c.kind) << c.type;
    if (c.ok) {
      EXPECT_EQ(target.i, c.i) << c.type;
      EXPECT_TRUE(target.s.empty()) << c.type;
    } else {
      EXPECT_EQ(target.s, L"held before") << c.type;
    }
  }
  EXPECT_EQ(CompareValues(Value::Null(), Value::Int(VKind::I4, 0)), -1);
  EXPECT_EQ(CompareValues(Value::Int(VKind::I4, 10), Value::Text(L"9")), 1);
  EXPECT_EQ(CompareValues(Value::Text(L"Ąb"), Value::Text(L"ąB")), 0);
  EXPECT_EQ(Value::Blob(std::string("\0\xFF", 2)).Bytes(), std::string("\0\xFF", 2));
}

namespace {
std::shared_ptr<Rowset> People() {
  std::vector<FieldDef> f(3);
  f[0].name = L"id";
  f[0].type = adInteger;
  f[1].name = L"name";
  f[1].type = adVarWChar;
  f[1].size = 20;
  f[2].name = L"born";
  f[2].type = adDate;
  auto rs = Rowset::Fabricate(f);
  const wchar_t* names[] = {L"Ala", L"Ola", L"Ela", L"Iza"};
  for (int i = 0; i < 4; ++i) {
    rs->AddNew();
    rs->Put(0, Value::Int(VKind::I4, i + 1));
    rs->Put(1, Value::Text(names[i]));
    rs->Put(2, Value::Text(i % 2 ? L"2000-01-01" : L"1990-06-15 12:00"));
    rs->Update();
  }
  rs->UpdateBatch(adAffectAll);  // no base table: the rows are accepted as they stand
  return rs;
}
std::vector<int> Visit(Rowset& rs) {
  std::vector<int> ids;
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) ids.push_back(static_cast<int>(rs.Get(0).i));
  return ids;
}
}  // namespace

TEST(AdoCriteria, GrammarCoversDatesNumbersTextsAndNesting) {
  auto rs = People();
  auto ids = [&](const wchar_t* c) {
    rs->SetFilter(c);
    return Visit(*rs);
  };
  EXPECT_EQ(ids(L"born < #1995-01-01#"), (std::vector<int>{1, 3}));
  EXPECT_EQ(ids(L"born = #6/15/1990 12:00:00#"), (std::vector<int>{1, 3}));
  EXPECT_EQ(ids(L"id <> 2 AND id <= 3"), (std::vector<int>{1, 3}));
  EXPECT_EQ(ids(L"(id = 1 OR id = 4) AND name LIKE '*a'"), (std::vector<int>{1, 4}));
  EXPECT_EQ(ids(L"[name] = \"ola\""), (std::vector<int>{2}));
  EXPECT_EQ(ids(L"name IS NOT NULL AND id > -1.5"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ids(L"id = '3'"), (std::vector<int>{3}));
  for (const wchar_t* bad : {L"id =", L"id = 'x", L"(id = 1", L"id = #notadate#", L"id ~ 1", L"id = 1 AND", L"id = NULL OR",
                             L"id > NULL"}) {
    EXPECT_THROW(rs->SetFilter(bad), DbException) << bad;
  }
  rs->SetFilterGroup(adFilterNone);
  rs->SetSort(L"born DESC, name");
  EXPECT_EQ(Visit(*rs), (std::vector<int>{4, 2, 1, 3}));
  EXPECT_THROW(rs->SetSort(L"name SIDEWAYS"), DbException);
}

TEST(AdoRowset, PositionBookmarksAndEditing) {
  auto rs = People();
  rs->MoveFirst();
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->Move(2);
  EXPECT_EQ(rs->Get(0).i, 3);
  double mark = rs->Bookmark();
  rs->Move(10);
  EXPECT_TRUE(rs->Eof());
  EXPECT_THROW(rs->MoveNext(), DbException);
  rs->SetBookmark(mark);
  EXPECT_EQ(rs->Get(0).i, 3);
  rs->MovePrevious();
  rs->MovePrevious();
  rs->MovePrevious();
  EXPECT_TRUE(rs->Bof());
  EXPECT_THROW(rs->Get(0), DbException);
  rs->SetAbsolutePosition(4);
  rs->Put(1, Value::Text(L"Zoe"));
  EXPECT_EQ(rs->EditMode(), adEditInProgress);
  rs->CancelUpdate();
  EXPECT_EQ(rs->Get(1).s, L"Iza");
  EXPECT_EQ(rs->CurrentStatus(), RowStatus::Unchanged);
  rs->AddNew();
  rs->CancelUpdate();
  EXPECT_EQ(rs->RecordCount(), 4);
  // A row added had no values before: every original is NULL, before and after its update.
  rs->AddNew();
  rs->Put(1, Value::Text(L"Ewa"));
  EXPECT_TRUE(rs->Original(0).IsNull());
  EXPECT_TRUE(rs->Original(1).IsNull());
  rs->Update();
  EXPECT_EQ(rs->CurrentStatus(), RowStatus::New);
  EXPECT_EQ(rs->Get(1).s, L"Ewa");
  EXPECT_TRUE(rs->Original(1).IsNull());
  EXPECT_TRUE(rs->Original(2).IsNull());
  rs->MoveFirst();
  rs->Put(1, Value::Text(L"Ula"));
  rs->MoveNext();  // moving on ends the edit
  EXPECT_EQ(rs->EditMode(), adEditNone);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get(1).s, L"Ula");
  EXPECT_EQ(rs->Original(1).s, L"Ala");
  rs->CancelBatch(adAffectAll);
  rs->MoveFirst();
  EXPECT_EQ(rs->Get(1).s, L"Ala");
}
