// Record sets as classic pages use them, on both engines: paging, positions, Filter, Sort, Find,
// GetRows, field types, and changes written back by the primary key.
#include <gtest/gtest.h>

#include <functional>

#include "data/data_errors.h"
#include "data/engines.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

constexpr int kRows = 45;

class Cursors : public BothEngines {
 protected:
  // items: id 1..45, name "item01".., n = id mod 7, note Null on every fifth row.
  void MakeItems() {
    Exec(
        "CREATE TABLE items (id autoincrement, name char(20), n int, note memo, PRIMARY KEY (id))");
    for (int i = 1; i <= kRows; ++i) {
      std::string name = (i < 10 ? "'item0" : "'item") + std::to_string(i) + "'";
      std::string note = i % 5 == 0 ? "NULL" : "'note'";
      Exec("INSERT INTO items (name, n, note) VALUES (" + name + ", " + std::to_string(i % 7) +
           ", " + note + ")");
    }
  }
  static int32_t Id(RecordSet& rs) { return rs.FieldValue(Variant("id")).ToLong(); }
  // The ids from the current row to EOF.
  static std::vector<int32_t> IdsToEnd(RecordSet& rs) {
    std::vector<int32_t> ids;
    while (!rs.IsEOF()) {
      ids.push_back(Id(rs));
      rs.MoveNext();
    }
    return ids;
  }
  static std::vector<int32_t> IdsWhere(const std::function<bool(int)>& keep) {
    std::vector<int32_t> ids;
    for (int i = 1; i <= kRows; ++i) {
      if (keep(i)) ids.push_back(i);
    }
    return ids;
  }
};

TEST_P(Cursors, PagesOfTenThroughFortyFiveRowsOfATableOpenedByName) {
  MakeItems();
  auto rs = OpenRs("items", 1, 1);
  EXPECT_EQ(rs->RecordCount(), kRows);
  EXPECT_EQ(rs->PageSize(), 10);
  EXPECT_EQ(rs->PageCount(), 5);
  for (int32_t page = 1; page <= 5; ++page) {
    rs->SetAbsolutePage(page);
    std::vector<int32_t> ids;
    while (!rs->IsEOF() && rs->AbsolutePage() == page) {
      ids.push_back(Id(*rs));
      rs->MoveNext();
    }
    EXPECT_EQ(ids, IdsWhere([&](int i) { return (i - 1) / 10 + 1 == page; })) << page;
  }
  EXPECT_EQ(rs->AbsolutePage(), kPosEOF);
  EXPECT_EQ(rs->AbsolutePosition(), kPosEOF);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_EQ(rs->AbsolutePage(), kPosBOF);
  rs->SetPageSize(45);
  EXPECT_EQ(rs->PageCount(), 1);
  rs->SetPageSize(44);
  EXPECT_EQ(rs->PageCount(), 2);
  rs->SetAbsolutePage(2);
  EXPECT_EQ(Id(*rs), 45);
  rs->SetAbsolutePage(3);
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_ERROR(rs->SetAbsolutePage(0), errc::kWrongArguments);
  EXPECT_ERROR(rs->SetPageSize(0), errc::kWrongArguments);
  rs->SetAbsolutePosition(45);
  EXPECT_EQ(Id(*rs), 45);
  Variant mark = rs->Bookmark();
  EXPECT_ERROR(rs->SetAbsolutePosition(46), errc::kWrongArguments);
  rs->MoveFirst();
  rs->SetBookmark(mark);
  EXPECT_EQ(Id(*rs), 45);
  rs->Move(-44, Variant::Missing());
  EXPECT_EQ(Id(*rs), 1);

  auto forward = OpenRs("SELECT * FROM items", 0, 1);
  EXPECT_EQ(forward->RecordCount(), -1);
  EXPECT_EQ(forward->PageCount(), -1);
  EXPECT_EQ(forward->AbsolutePage(), kPosUnknown);
  EXPECT_ERROR(forward->SetAbsolutePage(2), data_errc::kNotSupported);
  EXPECT_FALSE(forward->Supports(cursor_option::kMovePrevious));
  EXPECT_TRUE(rs->Supports(cursor_option::kMovePrevious | cursor_option::kBookmark));
  EXPECT_FALSE(rs->Supports(cursor_option::kAddNew));
}

TEST_P(Cursors, FilterSortAndFindPickTheRowsTheirCriteriaName) {
  MakeItems();
  struct Case {
    const char* criteria;
    std::function<bool(int)> keep;
  };
  const Case cases[] = {
      {"n = 3", [](int i) { return i % 7 == 3; }},
      {"name = 'item05' OR name = 'ITEM40'", [](int i) { return i == 5 || i == 40; }},
      {"name LIKE '*4*' AND n > 3",
       [](int i) { return (i % 10 == 4 || i / 10 == 4) && i % 7 > 3; }},
      {"name LIKE 'Item1%'", [](int i) { return i >= 10 && i <= 19; }},
      {"note = Null", [](int i) { return i % 5 == 0; }},
      {"note IS NOT NULL AND id <= 6", [](int i) { return i <= 6 && i != 5; }},
      {"(n = 1 OR [n] = 2) AND id < 20 AND id <> 9",
       [](int i) { return i < 20 && i != 9 && (i % 7 == 1 || i % 7 == 2); }},
      {"id >= 44 OR id < 2", [](int i) { return i >= 44 || i < 2; }},
      {"name = 'nobody'", [](int) { return false; }},
  };
  auto rs = OpenRs("SELECT * FROM items", 3, 1);
  for (const Case& c : cases) {
    rs->SetFilter(Variant(c.criteria));
    std::vector<int32_t> expected = IdsWhere(c.keep);
    EXPECT_EQ(rs->RecordCount(), static_cast<int32_t>(expected.size())) << c.criteria;
    EXPECT_EQ(IdsToEnd(*rs), expected) << c.criteria;
  }
  rs->SetFilter(Variant(0));
  EXPECT_EQ(rs->RecordCount(), kRows);
  EXPECT_EQ(rs->Filter(), Variant(0));
  for (const char* bad : {"n =", "n = 'open", "(n = 1", "n ~ 2", "n = 1 n = 2"}) {
    SCOPED_TRACE(bad);
    EXPECT_ERROR(rs->SetFilter(Variant(bad)), errc::kWrongArguments);
  }
  EXPECT_ERROR(rs->SetFilter(Variant("nothing = 1")), errc::kItemNotFound);

  rs->SetSort("n DESC, id ASC");
  std::vector<int32_t> sorted = IdsToEnd(*rs);
  ASSERT_EQ(sorted.size(), 45u);
  EXPECT_EQ((std::vector<int32_t>(sorted.begin(), sorted.begin() + 3)),
            (std::vector<int32_t>{6, 13, 20}));
  EXPECT_EQ(sorted.back(), 42);
  rs->SetSort("note, id DESC");
  EXPECT_EQ(Id(*rs), 45);  // Null first
  rs->SetSort("");

  rs->MoveFirst();
  rs->Find("n = 4", 0, kSearchForward, Variant::Missing());
  EXPECT_EQ(Id(*rs), 4);
  rs->Find("n = 4", 1, kSearchForward, Variant::Missing());
  EXPECT_EQ(Id(*rs), 11);
  rs->Find("n = 4", 0, kSearchBackward, Variant(2));
  EXPECT_EQ(Id(*rs), 39);
  rs->Find("name LIKE '*5'", 1, kSearchBackward, Variant::Missing());
  EXPECT_EQ(Id(*rs), 35);
  rs->Find("id = 99", 0, kSearchForward, Variant::Missing());
  EXPECT_TRUE(rs->IsEOF());
}

TEST_P(Cursors, GetRowsGivesFieldsByRowsAndMovesOn) {
  MakeItems();
  auto rs = OpenRs("SELECT id, name, note FROM items ORDER BY id", 1, 1);
  Variant some = rs->GetRows(3, Variant::Missing(), Variant(VariantArray({"name", 0})));
  const VariantArray& a = some.AsArray();
  ASSERT_EQ(a.rank(), 2u);
  EXPECT_EQ(a.upper_bound(1), 1);
  EXPECT_EQ(a.upper_bound(2), 2);
  int64_t name_of_third[2] = {0, 2}, id_of_first[2] = {1, 0};
  EXPECT_EQ(a.at(std::span<const int64_t>(name_of_third, 2)), Variant("item03"));
  EXPECT_EQ(a.at(std::span<const int64_t>(id_of_first, 2)), Variant(1));
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  const VariantArray rest = rs->GetRows(-1, Variant::Missing(), Variant::Missing()).AsArray();
  EXPECT_EQ(rest.upper_bound(1), 2);
  EXPECT_EQ(rest.upper_bound(2), 41);
  int64_t note_of_fifth[2] = {2, 1};
  EXPECT_TRUE(rest.at(std::span<const int64_t>(note_of_fifth, 2)).is_null());
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_ERROR(rs->GetRows(-1, Variant::Missing(), Variant::Missing()), errc::kNoCurrentRecord);
  Variant none;
  EXPECT_EQ(rs->NextRecordset(none), nullptr);
  EXPECT_EQ(rs->State(), kStateClosed);
}

TEST_P(Cursors, FieldTypesSizesAndAttributesFollowTheDeclaredColumns) {
  Exec(
      "CREATE TABLE kinds (id autoincrement, a smallint, b int, c real, d float, e datetime, "
      "f bit, g char(10), h memo, PRIMARY KEY (id))");
  struct Expect {
    const char* name;
    int32_t type;
    int32_t size;
  };
  // The server database keeps bit columns as smallint, which reads its 0 and 1 as numbers.
  const Expect expected[] = {{"id", field_type::kInteger, 4},
                             {"a", field_type::kSmallInt, 2},
                             {"b", field_type::kInteger, 4},
                             {"c", field_type::kSingle, 4},
                             {"d", field_type::kDouble, 8},
                             {"e", field_type::kDate, 8},
                             {"f", IsJet() ? field_type::kBoolean : field_type::kSmallInt, 2},
                             {"g", field_type::kVarWChar, 10},
                             {"h", field_type::kLongVarWChar, 536870910}};
  auto rs = OpenRs("kinds", 1, 3);
  auto fields = rs->GetFields();
  ASSERT_EQ(fields->Count(), 9);
  for (const Expect& e : expected) {
    auto field = fields->Item(Variant(e.name));
    EXPECT_EQ(field->Type(), e.type) << e.name;
    EXPECT_EQ(field->DefinedSize(), e.size) << e.name;
  }
  EXPECT_EQ(fields->Item(Variant("id"))->Attributes() & 0x8000, 0x8000);
  EXPECT_EQ(fields->Item(Variant("g"))->Attributes() & (0x8000 | 0x4 | 0x20), 0x4 | 0x20);
  EXPECT_EQ(fields->Item(Variant("h"))->Attributes() & 0x80, 0x80);
}

TEST_P(Cursors, ChangesRoundTripByThePrimaryKey) {
  MakeItems();
  auto rs = OpenRs("SELECT * FROM items WHERE id > 40 ORDER BY id", 1, 3);
  auto fields = rs->GetFields();
  EXPECT_TRUE(rs->Supports(cursor_option::kAddNew | cursor_option::kUpdate));
  const std::string awkward = "O'Brien 中文 \"x\"";

  rs->AddNew(Variant::Missing(), Variant::Missing());
  EXPECT_EQ(rs->EditMode(), 2);
  fields->Item(Variant("name"))->SetValue(Variant(awkward));
  rs->PutFieldItem(Variant("note"), Variant::Null());
  rs->PutFieldItem(Variant("n"), Variant(7));
  rs->Update(Variant::Missing(), Variant::Missing());
  EXPECT_EQ(rs->EditMode(), 0);
  EXPECT_EQ(Id(*rs), 46);
  EXPECT_EQ(Query("SELECT name, n, note FROM items WHERE id = 46"),
            (Table{{awkward, 7, Variant::Null()}}));

  rs->MoveFirst();
  fields->Item(Variant("name"))->SetValue(Variant("changed"));
  EXPECT_EQ(rs->EditMode(), 1);
  EXPECT_EQ(fields->Item(Variant("name"))->OriginalValue(), Variant("item41"));
  rs->CancelUpdate();
  EXPECT_EQ(fields->Item(Variant("name"))->Value(), Variant("item41"));
  rs->Update(Variant(VariantArray({"name", "note"})),
             Variant(VariantArray({"it's", Variant::Null()})));
  EXPECT_EQ(Query("SELECT name, note FROM items WHERE id = 41"),
            (Table{{"it's", Variant::Null()}}));
  // A move writes an edit in progress.
  rs->PutFieldItem(Variant("n"), Variant(99));
  rs->MoveNext();
  EXPECT_EQ(Query("SELECT n FROM items WHERE id = 41"), (Table{{99}}));

  rs->AddNew(Variant::Missing(), Variant::Missing());
  rs->CancelUpdate();
  EXPECT_EQ(Id(*rs), 42);
  EXPECT_EQ(rs->RecordCount(), 6);
  rs->AddNew(Variant(VariantArray({"name", "n"})), Variant(VariantArray({"pair", 3})));
  EXPECT_EQ(Id(*rs), 47);
  EXPECT_EQ(Query("SELECT name FROM items WHERE id = 47"), (Table{{"pair"}}));

  // The classic loop: Delete then MoveNext removes every row.
  rs->MoveFirst();
  while (!rs->IsEOF()) {
    rs->Delete(1);
    EXPECT_EQ(rs->EditMode(), 4);
    EXPECT_ERROR(fields->Item(Variant("id"))->Value(), errc::kNoCurrentRecord);
    rs->MoveNext();
  }
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM items WHERE id > 40")[0][0].ToLong(), 0);
}

TEST_P(Cursors, ReadOnlyAndKeylessRecordSetsRefuseWhatTheyCannotWrite) {
  MakeItems();
  auto read_only = OpenRs("items", 1, 1);
  EXPECT_ERROR(read_only->PutFieldItem(Variant("name"), Variant("x")), data_errc::kNotSupported);
  EXPECT_ERROR(read_only->AddNew(Variant::Missing(), Variant::Missing()), data_errc::kNotSupported);
  EXPECT_ERROR(read_only->Delete(1), data_errc::kNotSupported);
  auto joined = OpenRs("SELECT a.id FROM items a, items b WHERE a.id = b.id", 1, 3);
  EXPECT_ERROR(joined->Delete(1), data_errc::kNotSupported);

  Exec("CREATE TABLE loose (a int, b char(5))");
  Exec("INSERT INTO loose (a, b) VALUES (1, 'x')");
  auto loose = OpenRs("loose", 1, 3);
  loose->PutFieldItem(Variant("b"), Variant("y"));
  EXPECT_ERROR(loose->Update(Variant::Missing(), Variant::Missing()), data_errc::kNotSupported);
  loose->CancelUpdate();
  loose->AddNew(Variant(VariantArray({"a", "b"})), Variant(VariantArray({2, "z"})));
  EXPECT_EQ(Query("SELECT a, b FROM loose ORDER BY a"), (Table{{1, "x"}, {2, "z"}}));
  // A table name is a name, never statement text.
  EXPECT_THROW(OpenRs("items; DROP TABLE items", 1, 3, kCmdTable), Error);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM items")[0][0].ToLong(), kRows);
}

INSTANTIATE_TEST_SUITE_P(Engines, Cursors, ::testing::Values(EngineKind::kJet, EngineKind::kServer),
                         EngineName);

}  // namespace
}  // namespace mirelda::data::testing
