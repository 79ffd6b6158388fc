#include "platform/iconv_converter.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace mirelda::platform {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

}  // namespace

IconvConverter::IconvConverter(const std::string& to, const std::string& from)
    : cd_(::iconv_open(to.c_str(), from.c_str())) {}

IconvConverter::~IconvConverter() {
  if (valid()) ::iconv_close(cd_);
}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : cd_(std::exchange(other.cd_, kNoDescriptor)) {}

IconvConverter& IconvConverter::operator=(IconvConverter&& other) noexcept {
  if (this != &other) {
    if (valid()) ::iconv_close(cd_);
    cd_ = std::exchange(other.cd_, kNoDescriptor);
  }
  return *this;
}

bool IconvConverter::valid() const { return cd_ != kNoDescriptor; }

int IconvConverter::Convert(std::string_view& in, std::string& out, size_t max_out) {
  char buffer[4096];
  size_t added = 0;
  while (!in.empty()) {
    if (added >= max_out) return E2BIG;
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = buffer;
    size_t dst_left = std::min(sizeof buffer, max_out - added);
    size_t r = ::iconv(cd_, &src, &src_left, &dst, &dst_left);
    int err = r == static_cast<size_t>(-1) ? errno : 0;
    size_t produced = static_cast<size_t>(dst - buffer);
    out.append(buffer, produced);
    added += produced;
    in.remove_prefix(in.size() - src_left);
    if (err == E2BIG) {
      // A chunk too small for even one character under the limit ends the call.
      if (produced == 0) return E2BIG;
      continue;
    }
    if (err != 0) return err;
  }
  return 0;
}

void IconvConverter::Reset() { ::iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

void IconvConverter::Finish(std::string& out) {
  char buffer[64];
  char* dst = buffer;
  size_t dst_left = sizeof buffer;
  ::iconv(cd_, nullptr, nullptr, &dst, &dst_left);
  out.append(buffer, static_cast<size_t>(dst - buffer));
}

}  // namespace mirelda::platform
