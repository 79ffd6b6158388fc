// What Upload found in the body, read back by form field name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mirelda/variant.h"

namespace mirelda::upload {

// One part of a posted form.
struct UploadPart {
  std::string form_name;
  // The client's file name without its folder part (possibly empty); empty for a field.
  std::string file_name;
  // Bytes of content; for a file over the size limit its real size.
  int32_t size = 0;
  // A field's decoded text, or a file's bytes (empty when over the size limit).
  Variant value;
  bool is_file = false;
  // A file over the size limit: nothing of it is stored.
  bool over_limit = false;
};

class UploadResults {
 public:
  // The number of parts the last Upload counted. Set as soon as they are counted, so it may run
  // ahead of the parts when a run stopped early.
  int32_t part_count() const { return partCount; }
  void set_part_count(int32_t count) { partCount = count; }

  // Replaces the parts of any earlier run.
  void Publish(std::vector<UploadPart> parts) { parts_ = std::move(parts); }
  const std::vector<UploadPart>& parts() const { return parts_; }

  // The first part, among the first part_count(), whose form name equals name exactly (letter
  // case counts); null when there is none.
  const UploadPart* Find(const std::string& name) const;

 private:
  int32_t partCount = 0;
  std::vector<UploadPart> parts_;
};

}  // namespace mirelda::upload
