#include "upload/upload_results.h"

namespace mirelda::upload {

const UploadPart* UploadResults::Find(const std::string& name) const {
  for (int32_t i = 0; i < partCount; ++i) {
    auto index = static_cast<size_t>(i);
    if (index >= parts_.size()) break;
    if (parts_[index].form_name == name) return &parts_[index];
  }
  return nullptr;
}

}  // namespace mirelda::upload
