// Mirelda.WebPage: the dictionary-labelled add form, the code lookup, and the person and
// administrator logons.
#pragma once

#include <optional>
#include <string>

#include "frame/connected_page.h"

namespace mirelda::webpage {

class WebPage final : public frame::ConnectedPage {
 public:
  const MemberTable& Members() const override;
  std::string ClassName() const override { return "WebPage"; }
  std::optional<Guid> ClassId() const override;
};

}  // namespace mirelda::webpage
