// Connections and record sets on both engines: values, names, cursors, errors.
#include <gtest/gtest.h>

#include "data/engines.h"
#include "mirelda/registry.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

class RecordSets : public BothEngines {
 protected:
  void MakeNews() {
    Exec(
        "CREATE TABLE news (id autoincrement ,Title char(50) ,body memo ,posted datetime ,"
        "hits int ,score float ,PRIMARY KEY (id))");
  }
};

TEST_P(RecordSets, ColumnNamesAreThoseTheStatementsWroteAndOnlyTheAutoNumberIsFlagged) {
  MakeNews();
  auto names = [](Fields& fields) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < fields.Count(); ++i) names.push_back(fields.Item(Variant(i))->Name());
    return names;
  };
  auto rs = OpenRs("select * from news");  // even without rows
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_TRUE(rs->IsBOF());
  auto fields = rs->GetFields();
  EXPECT_EQ(names(*fields),
            (std::vector<std::string>{"id", "Title", "body", "posted", "hits", "score"}));
  EXPECT_EQ(names(*OpenRs("select MAX(id) as maxID from news")->GetFields()),
            std::vector<std::string>{"maxID"});
  // A column taken straight from a table keeps the table's spelling; an alias keeps its own.
  EXPECT_EQ(names(*OpenRs("select title, BODY, n.hits AS Hits2, hits+1 AS MoreHits from news n")
                       ->GetFields()),
            (std::vector<std::string>{"Title", "body", "Hits2", "MoreHits"}));
  // Fields are found by name without regard to case.
  EXPECT_EQ(fields->Item(Variant("TITLE"))->Name(), "Title");
  EXPECT_ERROR(fields->Item(Variant("nothing")), errc::kItemNotFound);
  EXPECT_ERROR(fields->Item(Variant(6)), errc::kItemNotFound);
  EXPECT_ERROR(fields->Item(Variant(-1)), errc::kItemNotFound);

  // Ids start at one.
  Exec("insert into news (Title,hits) values ('a',1)");
  Exec("insert into news (Title,hits) values ('b',2)");
  EXPECT_EQ(Query("select id from news order by id"), (Table{{1}, {2}}));
  auto filled = OpenRs("select * from news")->GetFields();
  for (int32_t i = 0; i < 6; ++i) {
    Variant flag =
        filled->Item(Variant(i))->GetProperties()->Item(Variant("isautoincrement"))->Value();
    EXPECT_EQ(flag, Variant(i == 0)) << filled->Item(Variant(i))->Name();
  }
}

TEST_P(RecordSets, ValuesComeBackAsTheirPageLanguageTypes) {
  MakeNews();
  Exec(
      "insert into news (Title,body,posted,hits,score) values ('Hi','长文本','2024-03-05 "
      "06:07:08',42,2.5)");
  Exec("insert into news (Title) values ('empty')");
  auto rs = OpenRs("select * from news order by id");
  auto f = rs->GetFields();
  EXPECT_EQ(f->Item(Variant("id"))->Value(), Variant(1));
  EXPECT_EQ(f->Item(Variant("Title"))->Value(), Variant("Hi"));
  EXPECT_EQ(f->Item(Variant("body"))->Value(), Variant("长文本"));
  EXPECT_EQ(f->Item(Variant("posted"))->Value(), Variant(Date::FromParts(2024, 3, 5, 6, 7, 8)));
  EXPECT_EQ(f->Item(Variant("hits"))->Value(), Variant(42));
  EXPECT_EQ(f->Item(Variant("score"))->Value(), Variant(2.5));
  EXPECT_EQ(f->Item(Variant("posted"))->Type(), field_type::kDate);
  EXPECT_EQ(f->Item(Variant("hits"))->Type(), field_type::kInteger);
  EXPECT_EQ(f->Item(Variant("score"))->Type(), field_type::kDouble);
  rs->MoveNext();
  for (const char* name : {"body", "posted", "hits", "score"}) {
    EXPECT_TRUE(f->Item(Variant(name))->Value().is_null()) << name;
  }
}

TEST_P(RecordSets, BinaryColumnsGiveBytes) {
  Exec("CREATE TABLE files (id counter ,content image ,PRIMARY KEY (id))");
  Exec(IsJet() ? "insert into files (content) values (X'00FF7F')"
               : "insert into files (content) values ('\\x00ff7f')");
  auto f = OpenRs("select content from files")->GetFields()->Item(Variant(0));
  EXPECT_EQ(f->Type(), field_type::kLongVarBinary);
  EXPECT_EQ(f->Value(), Variant(ByteArray(std::string("\x00\xff\x7f", 3))));
}

TEST_P(RecordSets, TextComparesWithoutRegardToCaseAndTopLimitsItsOwnSelect) {
  MakeNews();
  Exec("insert into news (Title) values ('Admin')");
  EXPECT_EQ(Query("select id from news where Title='ADMIN'").size(), 1u);
  EXPECT_EQ(Query("select id from news where Title like 'adm%'").size(), 1u);
  // Top limits the rows of its own select only.
  Exec("delete from news");
  for (int i = 0; i < 5; ++i)
    Exec("insert into news (Title, hits) values ('t', " + std::to_string(i) + ")");
  EXPECT_EQ(Query("select top 2 hits from news order by hits desc"), (Table{{4}, {3}}));
  EXPECT_EQ(Query("select count(*) from news where id in (select top 3 id from news order by id)"),
            (Table{{3}}));
}

TEST_P(RecordSets, ForwardOnlyAndKeysetCursorsBehaveAsThePagesExpect) {
  MakeNews();
  for (const char* t : {"a", "b", "c"})
    Exec(std::string("insert into news (Title) values ('") + t + "')");
  auto forward = OpenRs("select Title from news order by id");
  EXPECT_EQ(forward->RecordCount(), -1);
  EXPECT_FALSE(forward->IsBOF());
  forward->MoveNext();
  EXPECT_ERROR(forward->MovePrevious(), errc::kFetchBackward);
  EXPECT_ERROR(forward->MoveLast(), errc::kFetchBackward);
  forward->MoveFirst();
  EXPECT_EQ(forward->FieldValue(Variant("title")), Variant("a"));

  auto keyset = OpenRs("select Title from news order by id", 1);
  EXPECT_EQ(keyset->RecordCount(), 3);
  keyset->MoveLast();
  EXPECT_EQ(keyset->FieldValue(Variant(0)), Variant("c"));
  keyset->MoveNext();
  EXPECT_TRUE(keyset->IsEOF());
  EXPECT_ERROR(keyset->FieldValue(Variant(0)), errc::kNoCurrentRecord);
  EXPECT_ERROR(keyset->MoveNext(), errc::kNoCurrentRecord);
  keyset->MovePrevious();
  keyset->MovePrevious();
  keyset->MovePrevious();
  EXPECT_EQ(keyset->FieldValue(Variant(0)), Variant("a"));
  keyset->MovePrevious();
  EXPECT_TRUE(keyset->IsBOF());
  EXPECT_ERROR(keyset->MovePrevious(), errc::kNoCurrentRecord);

  auto empty = OpenRs("select Title from news where id = 0", 1);
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_ERROR(empty->MoveFirst(), errc::kNoCurrentRecord);
}

TEST_P(RecordSets, ClosedObjectsRefuseWork) {
  MakeNews();
  auto rs = OpenRs("select * from news");
  auto field = rs->GetFields()->Item(Variant(0));
  EXPECT_ERROR(rs->Open(Variant("select 1"), Variant(std::shared_ptr<Dispatch>(db_)), -1, -1, -1),
               errc::kObjectOpen);
  rs->Close();
  EXPECT_EQ(rs->State(), kStateClosed);
  EXPECT_ERROR(rs->Close(), errc::kObjectClosed);
  EXPECT_ERROR(rs->IsEOF(), errc::kObjectClosed);
  EXPECT_ERROR(field->Name(), errc::kObjectClosed);

  // A statement without rows leaves the record set closed.
  auto insert = OpenRs("insert into news (Title) values ('x')");
  EXPECT_EQ(insert->State(), kStateClosed);
  EXPECT_EQ(Query("select id from news").size(), 1u);
  // A record set opens its own connection from a string.
  auto own = std::make_shared<DataRecordSet>();
  own->Open(Variant("select Title from news"), Variant(connection_string_), 1, -1, -1);
  EXPECT_EQ(own->RecordCount(), 1);
  own->Close();

  EXPECT_ERROR(db_->Open(connection_string_), errc::kObjectOpen);
  db_->Close();
  EXPECT_EQ(db_->State(), kStateClosed);
  EXPECT_ERROR(db_->Close(), errc::kObjectClosed);
  EXPECT_ERROR(db_->Execute("select 1", -1), errc::kObjectClosed);
  EXPECT_ERROR(OpenRs("select * from news"), errc::kConnectionInvalid);
  auto nothing = std::make_shared<DataRecordSet>();
  EXPECT_ERROR(nothing->Open(Variant("select 1"), Variant::Nothing(), -1, -1, -1),
               errc::kConnectionInvalid);
  EXPECT_ERROR(nothing->Open(Variant::Missing(), Variant(connection_string_), -1, -1, -1),
               errc::kWrongArguments);
}

TEST_P(RecordSets, ErrorsCarryTheirNumbersAndTheEnginesMessageAndASecondStatementRunsNothing) {
  try {
    Query("select * from nosuch");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kNoSuchTable);
    EXPECT_NE(e.description().find("nosuch"), std::string::npos) << e.description();
  }
  EXPECT_ERROR(Exec("selec * from x"), errc::kSyntaxError);
  MakeNews();
  EXPECT_ERROR(Exec("CREATE TABLE news (id int)"), errc::kSyntaxError);
  Exec("CREATE TABLE u (id int ,PRIMARY KEY (id))");
  Exec("insert into u (id) values (1)");
  EXPECT_ERROR(Exec("insert into u (id) values (1)"), errc::kUnspecified);
  // A second statement is refused and nothing runs.
  EXPECT_ERROR(Exec("insert into news (Title) values ('a'); drop table news"), errc::kSyntaxError);
  EXPECT_ERROR(Exec("drop table news; insert into news (Title) values ('a')"), errc::kSyntaxError);
  EXPECT_ERROR(OpenRs("select * from news; delete from news"), errc::kSyntaxError);
  EXPECT_TRUE(Query("select * from news").empty());
  Exec("insert into news (Title) values ('a;b');");
  // Cut at the NUL the statement would delete everything.
  EXPECT_ERROR(Exec(std::string("delete from news\0 where id = 0", 30)), errc::kSyntaxError);
  EXPECT_EQ(Query("select Title from news"), (Table{{"a;b"}}));
}

TEST_P(RecordSets, TheClassesAreCreatedByProgIdAndReachedByName) {
  std::shared_ptr<Dispatch> conn = CreateObject("adodb.connection");
  conn->Call("Open", connection_string_);
  EXPECT_EQ(conn->Get("State"), Variant(kStateOpen));
  conn->Call("Execute", "CREATE TABLE t (id counter, name text(10))", Variant::Missing(), -1);
  conn->Call("Execute", "insert into t (name) values ('n')");
  std::shared_ptr<Dispatch> rs = CreateObject("ADODB.Recordset");
  rs->Call("Open", "select * from t", conn, 1);
  EXPECT_EQ(rs->Get("RecordCount"), Variant(1));
  EXPECT_EQ(rs->Get("EOF"), Variant(false));
  Variant name = rs->Call("", "NAME");  // rs("NAME"): the field, whose default member is Value
  EXPECT_EQ(name.ToObject()->Get(""), Variant("n"));
  Variant field = rs->Get("Fields", 0);
  EXPECT_EQ(field.ToObject()->Get("Name"), Variant("id"));
  Variant flag = field.ToObject()->Get("Properties", "ISAUTOINCREMENT");
  EXPECT_EQ(flag.ToObject()->Get("Value"), Variant(true));
  rs->Call("Close");
  conn->Call("Close");
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordSets,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

}  // namespace
}  // namespace mirelda::data::testing
