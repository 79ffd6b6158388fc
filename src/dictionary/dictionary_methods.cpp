// The six public dictionary methods of Database: the bootstrap with each table's data.
#include "database/database.h"
#include "dictionary/bootstrap.h"

namespace mirelda::database {

using dictionary::RunBootstrap;

Variant Database::CreateTableReference(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::TableReferenceTable(), DbVer);
}

Variant Database::CreateFieldReference(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::FieldReferenceTable(), DbVer);
}

Variant Database::CreateEnumTable(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::EnumTableTable(), DbVer);
}

Variant Database::CreateIndexTable(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::IndexTableTable(), DbVer);
}

Variant Database::CreateAdministrator(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::AdministratorTable(), DbVer);
}

Variant Database::CreateAdminMenu(int16_t DbVer) {
  return RunBootstrap(*this, dictionary::AdminMenuTable(), DbVer);
}

}  // namespace mirelda::database
