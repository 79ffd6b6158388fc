// The Jet-file side of the import, driven with a table of every Access type that the sample
// lacks, and read back through the engine pages use.
#include "import/jet_store_builder.h"

#include <gtest/gtest.h>

#include "data/sqlite_engine.h"
#include "mirelda/data.h"
#include "mirelda/error.h"
#include "support/temp_dir.h"

namespace mirelda::testing {
namespace {

// The engine's target for a converted file, opened as a Jet file.
data::JetTarget JetFileAt(const std::string& path) {
  data::JetTarget target;
  target.path = path;
  return target;
}

using import::AccessType;
using import::Cell;

Cell Of(Cell::Kind kind, int64_t i = 0, double r = 0, std::string text = {}) {
  Cell c;
  c.kind = kind;
  c.integer = i;
  c.real = r;
  c.text = std::move(text);
  return c;
}

struct TypeCase {
  AccessType type;
  Cell value;
  int32_t field_type;
  std::string text;  // the value read back, as text
};

TEST(JetStoreBuilder, EveryTypeKeepsItsValueAndFieldType) {
  const TypeCase cases[] = {
      {AccessType::kLong, Of(Cell::Kind::kInteger, 7), field_type::kInteger, "7"},
      {AccessType::kBoolean, Of(Cell::Kind::kInteger, 1), field_type::kBoolean, "True"},
      {AccessType::kByte, Of(Cell::Kind::kInteger, 255), field_type::kUnsignedTinyInt, "255"},
      {AccessType::kInteger, Of(Cell::Kind::kInteger, -32768), field_type::kSmallInt, "-32768"},
      {AccessType::kLong, Of(Cell::Kind::kInteger, -2147483648LL), field_type::kInteger,
       "-2147483648"},
      {AccessType::kCurrency, Of(Cell::Kind::kReal, 0, 1234.5678), field_type::kCurrency,
       "1234.5678"},
      {AccessType::kSingle, Of(Cell::Kind::kReal, 0, 0.5), field_type::kSingle, "0.5"},
      {AccessType::kDouble, Of(Cell::Kind::kReal, 0, 3.141592653589793), field_type::kDouble,
       "3.14159265358979"},
      {AccessType::kDateTime, Of(Cell::Kind::kDate, 0, 45292.5), field_type::kDate,
       "2024-01-01 12:00:00"},
      {AccessType::kDateTime, Of(Cell::Kind::kDate, 0, 2.0), field_type::kDate, "1900-01-01"},
      {AccessType::kText, Of(Cell::Kind::kText, 0, 0, "苹果 café"), field_type::kVarWChar,
       "苹果 café"},
      {AccessType::kMemo, Of(Cell::Kind::kText, 0, 0, std::string(5000, 'm')),
       field_type::kLongVarWChar, std::string(5000, 'm')},
      {AccessType::kGuid, Of(Cell::Kind::kText, 0, 0, "{6D1E2F30-8A4B-4C5D-9E6F-7A8B9C0D1E2F}"),
       field_type::kVarWChar, "{6D1E2F30-8A4B-4C5D-9E6F-7A8B9C0D1E2F}"},
      {AccessType::kOle, Of(Cell::Kind::kBytes, 0, 0, std::string("\0\x01\xff", 3)),
       field_type::kLongVarBinary, ""},
      {AccessType::kText, Of(Cell::Kind::kNull), field_type::kVarWChar, "<null>"},
  };
  TempDir dir;
  import::AccessTable table;
  table.name = "All Types";
  std::vector<Cell> row;
  table.columns.push_back({"ID", AccessType::kLong, 4, 0, 0, 0, true, true, "", {}});
  row.push_back(Of(Cell::Kind::kInteger, 41));
  for (size_t i = 0; i < std::size(cases); ++i) {
    table.columns.push_back({.name = "c" + std::to_string(i),
                             .type = cases[i].type,
                             .size_chars = 20,
                             .default_number = i == 5 ? "-2.5" : "",
                             .lost_properties = {}});
    row.push_back(cases[i].value);
  }
  table.columns.push_back({"Attach", AccessType::kComplex, 18, 0, 0, 0, false, false, "", {}});
  row.push_back(Of(Cell::Kind::kText, 0, 0, "never stored"));
  table.indexes.push_back({"PrimaryKey", {{"ID", false}}, true, true, false, false});
  table.indexes.push_back({"ByText", {{"c10", true}}, false, true, false, false});
  table.indexes.push_back({"ByAttachment", {{"Attach", false}}, false, false, false, false});

  std::vector<std::string> lost;
  {
    import::JetStoreBuilder builder(dir / "types.mdb", data::JetFormat::kJet40, false);
    builder.BeginTable(table, lost);
    EXPECT_EQ(builder.AddRow(row), std::nullopt);
    row[0].integer = 9;
    row[11] = Of(Cell::Kind::kText, 0, 0, "苹果 CAFÉ");
    EXPECT_EQ(builder.AddRow(row), std::nullopt);
    row[0].integer = 10;
    row[9] = Of(Cell::Kind::kUnreadable, 0, 0, "a broken page");
    EXPECT_EQ(builder.AddRow(row), "column c8: a broken page");
    builder.EndTable(lost);
    builder.Publish();
  }
  EXPECT_EQ(lost, (std::vector<std::string>{
                      "table All Types, column Attach: Attachment or multi-valued field has no Jet "
                      "equivalent; column not converted",
                      "table All Types, index ByAttachment: it names a column that was not "
                      "converted; index not converted"}));

  data::SqliteEngine engine(JetFileAt((dir / "types.mdb").string()));
  auto t = engine.Run("SELECT * FROM [All Types] WHERE ID = 41");
  ASSERT_EQ(t->RowCount(), 1u);
  ASSERT_EQ(t->columns().size(), std::size(cases) + 1);
  EXPECT_TRUE(t->columns()[0].auto_increment);
  for (size_t i = 0; i < std::size(cases); ++i) {
    Variant v = t->Value(0, i + 1);
    EXPECT_EQ(t->columns()[i + 1].type, cases[i].field_type) << i;
    if (cases[i].type == AccessType::kOle) {
      ASSERT_TRUE(v.is_bytes()) << i;
      EXPECT_EQ(v.AsBytes().view(), std::string_view("\0\x01\xff", 3));
    } else {
      EXPECT_EQ(v.is_null() ? "<null>" : v.ToString(), cases[i].text) << i;
    }
  }
  // The AutoNumber goes on after the highest number copied, not after the last row.
  engine.Run("INSERT INTO [All Types] (c0) VALUES (1)");
  EXPECT_EQ(engine.Run("SELECT MAX(ID) FROM [All Types]")->Value(0, 0).ToLong(), 42);
  EXPECT_EQ(engine.Run("SELECT c5 FROM [All Types] WHERE ID = 42")->Value(0, 0).ToString(), "-2.5");
  // Two rows copied (the third failed), and the unique index on c10 holds in the copy.
  EXPECT_EQ(engine.Run("SELECT COUNT(*) FROM [All Types]")->Value(0, 0).ToLong(), 3);
  EXPECT_THROW(engine.Run("INSERT INTO [All Types] (c10) VALUES ('苹果 café')"), Error);
}

}  // namespace
}  // namespace mirelda::testing
