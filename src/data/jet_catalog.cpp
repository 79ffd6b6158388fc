#include "data/jet_catalog.h"

#include "data/connection_string.h"
#include "data/data_classes.h"
#include "data/jet_file.h"
#include "mirelda/error.h"
#include "mirelda/path_map.h"

namespace mirelda::data {
namespace {

JetTarget JetFileOf(const std::string& connection_string) {
  ConnectionTarget target = Route(ConnectionString::Parse(connection_string));
  if (target.kind != ConnectionTarget::Kind::kJetFile) {
    throw Error(errc::kUnspecified,
                "The connection string names no Jet database file: " + connection_string);
  }
  return target.jet;
}

JetFormat FormatOf(const JetTarget& target) {
  return target.engine_type.value_or(target.provider_format);
}

}  // namespace

void JetCatalog::Create(const std::string& connection_string) {
  JetTarget target = JetFileOf(connection_string);
  CreateJetFile(paths::Resolve(target.path), target.path, FormatOf(target));
}

std::optional<Guid> JetCatalog::ClassId() const { return CatalogClassId(); }

void JetCompactor::CompactDatabase(const std::string& source, const std::string& destination) {
  JetTarget from = JetFileOf(source);
  JetTarget to = JetFileOf(destination);
  CompactJetFile(paths::Resolve(from.path), from.path, paths::Resolve(to.path), to.path,
                 FormatOf(to));
}

std::optional<Guid> JetCompactor::ClassId() const { return JetEngineClassId(); }

}  // namespace mirelda::data
