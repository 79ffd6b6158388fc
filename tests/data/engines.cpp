#include "data/engines.h"

namespace mirelda::data::testing {

std::string FreshDatabase(EngineKind kind, const mirelda::testing::TempDir& dir) {
  if (kind == EngineKind::kJet) return JetConnectionString(NewJetFile(dir));
  ADD_FAILURE() << "the server engine is not built yet";
  return {};
}

}  // namespace mirelda::data::testing
