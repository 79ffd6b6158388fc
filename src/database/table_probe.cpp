// TableExists: a table exists when a query on its name opens through the handed-over connection.
#include "database/database.h"
#include "mirelda/data.h"

namespace mirelda::database {

Variant Database::TableExists(Variant tableName) {
  ResumeNext trap;
  std::shared_ptr<RecordSet> rs;
  trap.Step([&] {
    rs = std::dynamic_pointer_cast<RecordSet>(Create("ADODB.RecordSet"));
    if (!rs) throw Error(errc::kTypeMismatch, "ADODB.RecordSet is no record set");
  });
  trap.Step([&] {
    if (!rs) throw Error(errc::kObjectVariableNotSet);
    rs->Open(Variant("select * from " + tableName.ToText()), Variant(objConn), -1, -1, -1);
  });
  bool exists = !PendingError().pending();
  ClearPendingError();
  trap.Step([&] {
    if (!rs) throw Error(errc::kObjectVariableNotSet);
    rs->Close();
  });
  return Variant(exists);
}

}  // namespace mirelda::database
