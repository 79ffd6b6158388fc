// Mirelda.Database: database files, connection strings and the table probe, the table builder,
// path and file utilities, and the data dictionary bootstrap.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "frame/connected_page.h"

namespace mirelda::database {

class Database final : public frame::ConnectedPage {
 public:
  // Closes the handed-over connection, then drops it. Raises Object variable not set (91) when no
  // connection is set; when Close fails its error reaches the caller and the reference stays.
  void closeDB();

  const MemberTable& Members() const override;
  std::string ClassName() const override { return "Database"; }
  std::optional<Guid> ClassId() const override;
};

}  // namespace mirelda::database
