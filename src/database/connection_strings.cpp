// Connection strings for a Jet file and a server database. They only compute text: nothing is
// opened, tested or escaped.
#include "database/arguments.h"
#include "database/database.h"

namespace mirelda::database {

Variant Database::CreateAccessConnection(Variant DBPath, Variant DBName, Variant ConnectionVer) {
  std::string folder = NormaliseFolder(DBPath.ToText());
  std::string name = NormaliseFileName(DBName.ToText());
  if (IsNumber(ConnectionVer, 1)) {
    return Variant("driver={Microsoft Access Driver (*.mdb)};dbq=" + folder + name);
  }
  return Variant("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + name);
}

Variant Database::CreateSqlConnection(Variant ServerName, Variant DatabaseName, Variant UserName,
                                      Variant Password) {
  return Variant("driver={sql server};server=" + ServerName.ToText() + ";database=" +
                 DatabaseName.ToText() + ";uid=" + UserName.ToText() + ";pwd=" + Password.ToText());
}

}  // namespace mirelda::database
