// CreateTable: the checks run untrapped and end the call with their message; from the statement on
// the method is trapped and answers with one of two fixed messages.
#include "database/database.h"
#include "database/field_list.h"

namespace mirelda::database {

Variant Database::CreateTable(int16_t DbVer, std::string sTableName, Variant aFieldname,
                              Variant aFieldType, Variant aFieldSize, Variant aFieldNull,
                              std::string sPrimarykey, std::string sReference) {
  FieldList list{DbVer == 2 ? int16_t{2} : int16_t{1},
                 std::move(sTableName),
                 std::move(aFieldname),
                 std::move(aFieldType),
                 std::move(aFieldSize),
                 std::move(aFieldNull),
                 std::move(sPrimarykey),
                 std::move(sReference)};
  if (std::optional<std::string> refused = CheckFieldList(list)) return Variant(*refused);

  ResumeNext trap;
  std::string statement;
  // A statement that could not be built whole is not run at all.
  bool built = trap.Step([&] { statement = BuildCreateTable(list); });
  if (built) trap.Step([&] { RequireConnection().Execute(statement, -1); });
  bool failed = PendingError().pending();
  ClearPendingError();
  return Variant(failed ? "创建表失败" : "创建表成功");
}

}  // namespace mirelda::database
