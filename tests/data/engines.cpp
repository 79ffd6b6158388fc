#include "data/engines.h"

#include "support/postgres.h"

namespace mirelda::data::testing {

std::string FreshDatabase(EngineKind kind, const mirelda::testing::TempDir& dir) {
  if (kind == EngineKind::kJet) return JetConnectionString(NewJetFile(dir));
  return mirelda::testing::Postgres().ConnectionString(mirelda::testing::FreshPostgresDatabase());
}

}  // namespace mirelda::data::testing
