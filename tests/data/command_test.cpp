// ADODB.Command, its Parameters, and the connection's transactions, Errors and schema, on both
// engines.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "data/data_command.h"
#include "data/data_errors.h"
#include "data/engines.h"
#include "support/error_matchers.h"

namespace mirelda::data::testing {
namespace {

constexpr int32_t kVarWChar = 202, kInteger = 3, kDate = 7, kCurrency = 6, kDouble = 5;

class Commands : public BothEngines {
 protected:
  void SetUp() override {
    BothEngines::SetUp();
    Exec("create table item (id int, name varchar(200), note memo, price money, made datetime)");
    Fresh();
  }
  std::shared_ptr<RecordSet> Run(const std::string& text, std::vector<Variant> values = {},
                                 int32_t* affected = nullptr) {
    cmd_->SetCommandText(text);
    Variant records;
    auto rs = cmd_->Execute(
        records, values.empty() ? Variant::Missing() : Variant(VariantArray(std::move(values))),
        -1);
    if (affected) *affected = records.ToLong();
    return rs;
  }
  void Add(const std::string& name, int32_t type, Variant value, int32_t size = 0,
           int32_t dir = direction::kInput) {
    cmd_->Parameters()->Append(
        Variant(cmd_->CreateParameter(name, type, dir, size, std::move(value))));
  }
  // Starts over with a new command on the connection.
  void Fresh() {
    cmd_ = std::make_shared<DataCommand>();
    cmd_->SetActiveConnection(Variant(db_));
  }

  std::shared_ptr<DataCommand> cmd_;
};

TEST_P(Commands, TypedParametersBindTheirValues) {
  std::string large(100 * 1024, 'x');
  large += "末";
  struct Case {
    Variant name;
    Variant note;
  } cases[] = {{Variant("it's"), Variant(large)},
               {Variant("北京 \"?\" --"), Variant::Null()},
               {Variant("'); drop table item; --"), Variant("")}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    Fresh();
    Add("@id", kInteger, Variant(std::to_string(i)));  // text coerced to the type
    Add("@name", kVarWChar, cases[i].name, 200);
    Add("@note", 203, cases[i].note);
    Add("@price", kCurrency, Variant(1.25));
    Add("@made", kDate, Variant("2024-01-31 08:00:00"));
    int32_t affected = 0;
    auto rs =
        Run("insert into item (id, name, note, price, made) values (?, ?, ?, ?, ?)", {}, &affected);
    EXPECT_EQ(affected, 1);
    EXPECT_EQ(rs->State(), kStateClosed);
  }
  auto rows = Query("select id, name, note, price, made from item order by id");
  ASSERT_EQ(rows.size(), std::size(cases));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0].ToLong(), static_cast<int32_t>(i));
    EXPECT_EQ(rows[i][1], cases[i].name);
    EXPECT_EQ(rows[i][2], cases[i].note);
    EXPECT_EQ(rows[i][3].ToDouble(), 1.25);
    EXPECT_EQ(rows[i][4], Variant(Date::FromParts(2024, 1, 31, 8)));
  }
  // Values given to Execute stand for the parameters; parameters are found by name or by cmd(i).
  EXPECT_EQ(cmd_->ScriptParameters(Variant("@NAME")).ToObject(),
            cmd_->ScriptParameters(Variant(1)).ToObject());
  Fresh();
  auto found = Run("select name from item where id = ? and name <> ?", {Variant(1), Variant("")});
  EXPECT_EQ(found->FieldValue(Variant("name")), cases[1].name);
}

TEST_P(Commands, ValuesThatDoNotFitAreRefused) {
  struct Case {
    int32_t type;
    int32_t size;
    Variant value;
    int32_t error;
  } cases[] = {
      {kInteger, 0, Variant("abc"), data_errc::kDataConversion},
      {2, 0, Variant(40000), data_errc::kDataConversion},
      {kDate, 0, Variant("not a date"), data_errc::kDataConversion},
      {kVarWChar, 3, Variant("北京市朝"), data_errc::kDataOverflow},
      {kDouble, 0, Variant(VariantArray()), data_errc::kDataConversion},
  };
  for (const Case& c : cases) {
    Fresh();
    Add("p", c.type, c.value, c.size);
    EXPECT_ERROR(Run("insert into item (name) values (?)"), c.error);
  }
  EXPECT_TRUE(Query("select id from item").empty());
  EXPECT_ERROR(cmd_->CreateParameter("p", 999, 1, 0, Variant()), data_errc::kBadArguments);
  Fresh();
  EXPECT_ERROR(Run("insert into item (id, name) values (?, ?)", {Variant(1)}),
               data_errc::kParameterMissing);
  EXPECT_ERROR(Run(""), data_errc::kNoCommandText);
  EXPECT_ERROR(DataCommand().Run(-1), errc::kConnectionInvalid);
}

TEST_P(Commands, TextNulIsKeptByTheFileDatabaseOnly) {
  Add("n", kVarWChar, Variant(std::string_view("a\0b", 3)));
  if (IsJet()) {
    Run("insert into item (name) values (?)");
    EXPECT_EQ(Query("select name from item")[0][0], Variant(std::string_view("a\0b", 3)));
  } else {
    EXPECT_ERROR(Run("insert into item (name) values (?)"), errc::kUnspecified);
    EXPECT_TRUE(Query("select name from item").empty());
  }
}

TEST_P(Commands, TablesByNameAndRecordSetsOnCommands) {
  Exec("create table [order details] (k int)");
  Exec("insert into [order details] (k) values (7)");
  cmd_->SetCommandType(command_type::kTable);
  EXPECT_EQ(Run("order details")->FieldValue(Variant("k")).ToLong(), 7);
  EXPECT_ERROR(Run("nothing here"), errc::kNoSuchTable);
  cmd_->SetCommandType(command_type::kText);
  Add("k", kInteger, Variant(7));
  cmd_->SetCommandText("select k * 2 as twice from [order details] where k = ?");
  DataRecordSet rs;
  rs.Open(Variant(cmd_), Variant::Missing(), 3, -1, -1);
  EXPECT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.FieldValue(Variant("twice")).ToLong(), 14);
}

TEST_P(Commands, RolledBackTransactionsLeaveNothing) {
  EXPECT_ERROR(db_->CommitTrans(), data_errc::kNoTransaction);
  EXPECT_ERROR(db_->RollbackTrans(), data_errc::kNoTransaction);
  EXPECT_EQ(db_->BeginTrans(), 1);
  Exec("insert into item (id) values (1)");
  EXPECT_EQ(db_->BeginTrans(), 2);
  Exec("insert into item (id) values (2)");
  db_->RollbackTrans();
  db_->CommitTrans();
  EXPECT_EQ(Query("select id from item"), (Table{{1}}));
  db_->BeginTrans();
  Exec("delete from item");
  Exec("insert into item (id) values (3)");
  db_->RollbackTrans();
  EXPECT_EQ(Query("select id from item"), (Table{{1}}));
}

TEST_P(Commands, ProviderErrorsFillErrors) {
  auto errors = std::dynamic_pointer_cast<DataErrors>(db_->Errors());
  EXPECT_EQ(errors->Count(), 0);
  EXPECT_ERROR(Exec("select * from missing_table"), errc::kNoSuchTable);
  ASSERT_EQ(errors->Count(), 1);
  auto e = errors->Item(Variant(0));
  EXPECT_EQ(e->Number(), errc::kNoSuchTable);
  EXPECT_EQ(e->SqlState(), IsJet() ? "42S02" : "42P01");
  EXPECT_NE(e->Description().find("missing_table"), std::string::npos);
  EXPECT_FALSE(e->Source().empty());
  errors->Clear();
  EXPECT_EQ(errors->Count(), 0);
  EXPECT_ERROR(errors->Item(Variant(0)), errc::kItemNotFound);
}

TEST_P(Commands, SchemasListTablesAndColumns) {
  auto tables = db_->OpenSchema(schema::kTables,
                                Variant(VariantArray({Variant(), Variant(), Variant("ITEM")})));
  ASSERT_FALSE(tables->IsEOF());
  EXPECT_EQ(tables->FieldValue(Variant("TABLE_NAME")), Variant("item"));
  EXPECT_EQ(tables->FieldValue(Variant("TABLE_TYPE")), Variant("TABLE"));
  tables->MoveNext();
  EXPECT_TRUE(tables->IsEOF());
  auto columns = db_->OpenSchema(
      schema::kColumns,
      Variant(VariantArray({Variant(), Variant(), Variant("item"), Variant("name")})));
  ASSERT_FALSE(columns->IsEOF());
  EXPECT_EQ(columns->FieldValue(Variant("ORDINAL_POSITION")).ToLong(), 2);
  EXPECT_EQ(columns->FieldValue(Variant("DATA_TYPE")).ToLong(), kVarWChar);
  EXPECT_EQ(columns->FieldValue(Variant("CHARACTER_MAXIMUM_LENGTH")).ToLong(), 200);
  EXPECT_EQ(columns->FieldValue(Variant("IS_NULLABLE")), Variant(true));
  EXPECT_EQ(db_->OpenSchema(schema::kColumns, Variant::Missing())->RecordCount(), 5);
  EXPECT_ERROR(db_->OpenSchema(99, Variant::Missing()), data_errc::kBadArguments);
}

TEST_P(Commands, StoredProceduresAreServerFunctionsAndProcedures) {
  cmd_->SetCommandType(command_type::kStoredProc);
  if (IsJet()) {
    EXPECT_ERROR(Run("anything"), data_errc::kNotSupported);
    return;
  }
  Exec(
      "create function twice(n integer, out doubled integer, out label text) language sql as "
      "'select n * 2, ''n='' || n'");
  Exec(
      "create procedure add_item(p_name varchar, inout p_count integer) language plpgsql as "
      "'begin insert into item (name) values (p_name); select count(*) into p_count from item; "
      "end'");
  Add("@n", kInteger, Variant(21));
  Add("@label", kVarWChar, Variant(), 50, direction::kOutput);
  Add("@doubled", kInteger, Variant(), 0, direction::kOutput);
  auto rs = Run("dbo.Twice");
  EXPECT_EQ(cmd_->Parameters()->Item(Variant("@doubled"))->Value(), Variant(42));
  EXPECT_EQ(cmd_->Parameters()->Item(Variant("@label"))->Value(), Variant("n=21"));
  EXPECT_EQ(rs->FieldValue(Variant("doubled")).ToLong(), 42);

  Fresh();
  cmd_->SetCommandType(command_type::kStoredProc);
  Add("RETURN_VALUE", kInteger, Variant(), 0, direction::kReturnValue);
  Add("@p_name", kVarWChar, Variant("it's"));
  Add("@p_count", kInteger, Variant(0), 0, direction::kInputOutput);
  EXPECT_EQ(Run("[add_item]")->State(), kStateClosed);
  EXPECT_EQ(cmd_->Parameters()->Item(Variant("@p_count"))->Value(), Variant(1));
  EXPECT_EQ(cmd_->Parameters()->Item(Variant(0))->Value(), Variant(0));
  EXPECT_EQ(Query("select name from item")[0][0], Variant("it's"));
  EXPECT_ERROR(Run("no_such_routine"), errc::kSyntaxError);
}

INSTANTIATE_TEST_SUITE_P(Engines, Commands,
                         ::testing::Values(EngineKind::kJet, EngineKind::kServer), EngineName);

TEST(SqliteDriver, OpensAnSqliteFileThatHasNoJetMark) {
  mirelda::testing::TempDir dir;
  std::filesystem::path file = dir / "plain.db";
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
  sqlite3_exec(raw, "create table t (v text); insert into t values ('x')", nullptr, nullptr,
               nullptr);
  sqlite3_close(raw);
  auto conn = Connect("DRIVER=SQLite3 ODBC Driver;Database=" + file.string());
  EXPECT_EQ(Rows(*conn, "select v from t"), (Table{{"x"}}));
  EXPECT_ERROR(Connect(JetConnectionString(file)), errc::kUnspecified);
  EXPECT_ERROR(Connect("Driver={SQLite3 ODBC Driver};Database=" + (dir / "none.db").string()),
               errc::kUnspecified);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.db"));
}

}  // namespace
}  // namespace mirelda::data::testing
