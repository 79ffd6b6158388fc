// Mirelda.FileSystem: receives a multipart/form-data post, stores its files and answers the
// posted fields and files by form field name.
#pragma once

#include <optional>
#include <string>

#include "frame/page_context.h"

namespace mirelda::upload {

class FileSystem final : public frame::PageContext {
 public:
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "FileSystem"; }
  std::optional<Guid> ClassId() const override;
};

}  // namespace mirelda::upload
