// The class frame of Mirelda.Database: its interface, in interface order.
#include "database/database.h"

#include "frame/identity.h"

namespace mirelda::database {

void Database::closeDB() {
  RequireConnection().Close();
  objConn = nullptr;
}

std::optional<Guid> Database::ClassId() const { return frame::DatabaseIdentity().class_id; }

const MemberTable& Database::Members() const {
  static const MemberTable table =
      MemberTableBuilder<Database>("_Database", frame::DatabaseIdentity().interface_id)
          .Method<&Database::OnStartPage>("OnStartPage", {Arg("vScriptingContext").ByRef()})
          .Method<&Database::OnEndPage>("OnEndPage")
          .Set<&Database::setConnection>("setConnection", {Arg("sConn").ByRef()})
          .Method<&Database::closeDB>("closeDB")
          .Build();
  return table;
}

}  // namespace mirelda::database
