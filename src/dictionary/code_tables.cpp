// The enumeration table, holding the code lists of the dictionary's coded columns, and the index
// table, which describes index columns and is seeded only when it is created.
#include "dictionary/bootstrap.h"
#include "dictionary/dictionary_table.h"
#include "dictionary/reports.h"

namespace mirelda::dictionary {
namespace {

struct CodeGroup {
  const char* lookup;  // finds the FieldReference id of the coded column
  std::vector<std::pair<const char*, const char*>> codes;
};

const std::vector<CodeGroup>& CodeGroups() {
  static const std::vector<CodeGroup> groups = {
      {"select id from FieldReference where tabID=1 and fieldCode='tableType'",
       {{"1", "系统表"}, {"2", "用户表"}}},
      {"select id from FieldReference where tabID=2 and fieldCode='fieldType'",
       {{"1", "一般"}, {"2", "索引"}, {"3", "枚举"}}},
      {"select id from FieldReference where tabID=2 and fieldCode='addStyle'",
       {{"0", "自动编号"},
        {"01", "表格代码"},
        {"02", "字段代码"},
        {"03", "页面打开位置"},
        {"1", "直接输入"},
        {"11", "区域输入"},
        {"2", "索引输入"},
        {"3", "枚举输入"},
        {"4", "时期输入"},
        {"5", "复选输入"},
        {"6", "文件输入"},
        {"7", "密码输入"}}},
  };
  return groups;
}

void WriteCodeLists(Seeder& seeder) {
  for (const CodeGroup& group : CodeGroups()) {
    Variant mate_id = seeder.ReadFirst(group.lookup, "id", true, Variant(int16_t{0}));
    for (const auto& [code, label] : group.codes) {
      seeder.Execute("insert into EnumTable (mateID,code,codeValue) values (" + mate_id.ToText() +
                     ",'" + code + "','" + label + "')");
    }
  }
}

}  // namespace

const DictionaryTable& EnumTableTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "EnumTable";
    t.names = "id|mateID|code|codeValue";
    t.types = "autoincrement|int|char|char";
    t.sizes = "|||";
    t.nulls = "|||";
    t.key = "id";
    t.precondition = Precondition::kBothReferenceTables;
    t.reports = StandardReports("枚举表", kNeedsBothReferenceTables);
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('EnumTable','字段枚举',1)";
    t.narrows_new_id = false;  // the new id is used as read
    t.field_rows = {
        {0, "id", "编  号", 1, "0"},
        {0, "mateID", "原始字段", 2, "2"},
        {0, "code", "枚举代码", 1, "1"},
        {0, "codeValue", "枚举名称", 1, "1"},
    };
    t.default_rows = WriteCodeLists;
    return t;
  }();
  return table;
}

const DictionaryTable& IndexTableTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "IndexTable";
    t.names = "id|mateID|objTable|objCode|objName";
    t.types = "autoincrement|int|int|int|int";
    t.sizes = "||||";
    t.nulls = "||||";
    t.key = "id";
    t.precondition = Precondition::kBothReferenceTables;
    t.reports = StandardReports("索引表", kNeedsBothReferenceTables);
    t.reports.present_nothing_to_seed = "索引表已存在！";
    t.seeded_only_when_created = true;
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('IndexTable','字段索引',1)";
    t.field_rows = {
        {0, "id", "编  号", 1, "0"},         {0, "mateID", "原始字段", 2, "2"},
        {0, "objTable", "目标表格", 2, "2"}, {0, "objCode", "目标代码", 2, "2"},
        {0, "objName", "目标名称", 2, "2"},
    };
    return t;
  }();
  return table;
}

}  // namespace mirelda::dictionary
