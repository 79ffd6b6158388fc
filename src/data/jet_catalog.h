// "ADOX.Catalog" and "JRO.JetEngine": creating and compacting Jet database files.
#pragma once

#include <string>

#include "data/live_objects.h"
#include "mirelda/data.h"

namespace mirelda::data {

class JetCatalog final : public Catalog {
 public:
  // Creates the file that a Jet connection string names, in the provider's format (3.51 or
  // 4.0) or the one "Jet OLEDB:Engine Type" asks for. Raises kDatabaseExists, touching nothing,
  // when the file exists; an unspecified error when its folder does not or the string names no
  // Jet file.
  void Create(const std::string& connection_string) override;
  std::optional<Guid> ClassId() const override;

 private:
  LiveObject live_;
};

class JetCompactor final : public JetEngine {
 public:
  // Writes a compacted copy of the source database to the destination, in the destination's
  // format ("Jet OLEDB:Engine Type=4" is Jet 3.x; otherwise the provider's). Raises, leaving no
  // destination file, when the source cannot be opened or the destination exists.
  void CompactDatabase(const std::string& source, const std::string& destination) override;
  std::optional<Guid> ClassId() const override;

 private:
  LiveObject live_;
};

}  // namespace mirelda::data
