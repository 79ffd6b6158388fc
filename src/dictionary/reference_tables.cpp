// The table of tables and the table of fields: the dictionary's first two tables. They are built
// first and in this order, so that they get the ids 1 and 2 that the later seeding steps rely on.
#include "dictionary/dictionary_table.h"
#include "dictionary/reports.h"

namespace mirelda::dictionary {

const DictionaryTable& TableReferenceTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "TableReference";
    t.names = "id|tableCode|tableName|tableType";
    t.types = "autoincrement|char|char|int";
    t.sizes = "|||";
    t.nulls = "|||";
    t.key = "id";
    t.precondition = Precondition::kNone;
    t.reports = StandardReports("数据表参考表", "");
    t.reports.present_nothing_to_seed = "数据表参考表已存在，不需要初始化";
    // Its own columns are registered by the table of fields, which is not there yet.
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('TableReference','数据表参考',1)";
    t.reads_new_id = false;
    return t;
  }();
  return table;
}

const DictionaryTable& FieldReferenceTable() {
  static const DictionaryTable table = [] {
    DictionaryTable t;
    t.name = "FieldReference";
    t.names = "id|tabID|fieldCode|fieldName|fieldType|addStyle";
    t.types = "autoincrement|int|char|char|int|char";
    t.sizes = "|||||";
    t.nulls = "|||||";
    t.key = "id";
    t.precondition = Precondition::kTableReference;
    t.reports = StandardReports("字段表", "请先建立数据表参考表！");
    t.registration =
        "insert into TableReference (tableCode,tableName,tableType) values "
        "('FieldReference','字段参考',1)";
    t.field_rows = {
        // The columns of the table of tables, which has id 1.
        {1, "id", "编  号", 1, "0"},           {1, "tableCode", "表格代码", 1, "01"},
        {1, "tableName", "表格名称", 1, "1"},  {1, "tableType", "表格类型", 3, "3"},
        {0, "id", "编  号", 1, "0"},           {0, "tabID", "表格名称", 2, "2"},
        {0, "fieldCode", "字段代码", 1, "02"}, {0, "fieldName", "字段名称", 1, "1"},
        {0, "fieldType", "字段类型", 3, "3"},  {0, "addStyle", "添加样式", 3, "3"},
    };
    return t;
  }();
  return table;
}

}  // namespace mirelda::dictionary
