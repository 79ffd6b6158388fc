// The table builder's checks and statement text, apart from any connection.
#include "database/field_list.h"

#include <gtest/gtest.h>

#include "support/bar_list.h"
#include "support/error_matchers.h"

namespace mirelda::database {
namespace {

Variant Array(const std::string& bars, int32_t lower = 0) { return testing::BarList(bars, lower); }

FieldList List(const std::string& names, const std::string& types, const std::string& sizes,
               const std::string& nulls, std::string key = "", std::string refs = "",
               int16_t ver = 1) {
  return FieldList{ver,          "t",          Array(names),   Array(types),
                   Array(sizes), Array(nulls), std::move(key), std::move(refs)};
}

// The statements of the worked examples reach the database in the table builder's tests.
TEST(FieldList, KeysAndReferencesShapeTheEnd) {
  FieldList ab = List("a|b", "int|char", "|(20)", "NOT NULL|NULL", "a");
  ASSERT_FALSE(CheckFieldList(ab));
  EXPECT_EQ(BuildCreateTable(ab),
            "CREATE TABLE t (a int NOT NULL,b char(20) NULL,PRIMARY KEY (a))");
  EXPECT_EQ(BuildCreateTable(List("a|b", "int|int", "|", "|")), "CREATE TABLE t (a int ,b int )");
  // References count only with version 2; the key clause then ends in "))".
  EXPECT_EQ(BuildCreateTable(List("id|pid", "int|int", "|", "|", "id", "t1&pid", 1)),
            "CREATE TABLE t (id int ,pid int ,PRIMARY KEY (id))");
  EXPECT_EQ(BuildCreateTable(List("id|pid", "int|int", "|", "|", "", "t1&x&pid|t2&id", 2)),
            "CREATE TABLE t (id int ,pid int ,(pid) REFERENCES t1(pid),(id) REFERENCES t2(id))");
  EXPECT_EQ(BuildCreateTable(List("id", "int", "", "", "id,")),
            "CREATE TABLE t (id int ,PRIMARY KEY (id,))");
}

TEST(FieldList, ChecksRunInOrderWithTheirMessages) {
  EXPECT_EQ(*CheckFieldList(List("a|b", "int", "|", "|")), "所提供的字段属性错误");
  // More key entries than columns is refused before any name is looked at.
  EXPECT_EQ(*CheckFieldList(List("a", "autoincrement", "", "NULL", "x,y")),
            "要求设置为主键的字段有误");
  EXPECT_EQ(*CheckFieldList(List("a", "autoincrement", "", "null")), "自动编号字段不能为空");
  EXPECT_FALSE(CheckFieldList(List("a", "AUTOINCREMENT", "", "NULL")));
  // "id" occurs in "userid": substring tests, not whole names.
  EXPECT_EQ(*CheckFieldList(List("id|userid", "int|int", "|", "Null|", "userid")),
            "主键字段不能为空");
  // A key part passes when it occurs anywhere in the joined names, case-sensitively.
  EXPECT_FALSE(CheckFieldList(List("tableName|tableType", "char|int", "|", "|", "Name")));
  EXPECT_EQ(*CheckFieldList(List("tableName|tableType", "char|int", "|", "|", "name")),
            "要求设置为主键的字段有误");
  EXPECT_EQ(*CheckFieldList(List("a|b", "int|int", "|", "|", "c")), "要求设置为主键的字段有误");
  EXPECT_FALSE(CheckFieldList(List("id|pid", "int|int", "|", "|", "id", "t1&zz", 1)));
  EXPECT_EQ(*CheckFieldList(List("id|pid", "int|int", "|", "|", "id", "t1&zz", 2)),
            "要求设置为外键的字段有误");
}

TEST(FieldList, UnreadableInputRaisesInsteadOfAnsweringAMessage) {
  FieldList not_array = List("a", "int", "", "");
  not_array.types = Variant("int");
  EXPECT_ERROR(CheckFieldList(not_array), errc::kTypeMismatch);
  EXPECT_ERROR(CheckFieldList(List("id|pid", "int|int", "|", "|", "id", "t1&pid||", 2)),
               errc::kSubscriptOutOfRange);
  FieldList null_name = List("a", "int", "", "", "a");
  null_name.names = Variant(VariantArray({Variant::Null()}));
  EXPECT_ERROR(CheckFieldList(null_name), errc::kInvalidUseOfNull);
}

TEST(FieldList, ArraysWhoseLowerBoundsDifferAreRefused) {
  FieldList shifted = List("a|b", "int|int", "|", "|");
  shifted.types = Array("x|int|int", -1);  // same upper bound, another lower bound
  EXPECT_EQ(*CheckFieldList(shifted), "所提供的字段属性错误");
  FieldList all_shifted{
      1, "t", Array("a|b", 5), Array("int|int", 5), Array("|", 5), Array("|", 5), "a", ""};
  ASSERT_FALSE(CheckFieldList(all_shifted));
  EXPECT_EQ(BuildCreateTable(all_shifted), "CREATE TABLE t (a int ,b int ,PRIMARY KEY (a))");
}

}  // namespace
}  // namespace mirelda::database
