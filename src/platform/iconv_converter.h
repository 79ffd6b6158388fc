// One iconv conversion descriptor with one owner (move-only), and the loop around iconv(3) that
// every conversion needs: output in chunks, a stop at the first sequence it cannot convert.
// What a stop means (a replacement, a "?", an error) is the caller's choice. Not shared between
// threads.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace mirelda::platform {

class IconvConverter {
 public:
  // Converts from the charset named from to the one named to (iconv's names). valid() is false
  // when the system's iconv lacks either.
  IconvConverter(const std::string& to, const std::string& from);
  ~IconvConverter();
  IconvConverter(IconvConverter&& other) noexcept;
  IconvConverter& operator=(IconvConverter&& other) noexcept;
  IconvConverter(const IconvConverter&) = delete;
  IconvConverter& operator=(const IconvConverter&) = delete;

  bool valid() const;

  // Converts from the front of in, appending to out, and drops what it used from in. Returns 0
  // when all of in is done, E2BIG once max_out bytes are added, EILSEQ at a sequence that is
  // invalid or has no place in the target charset, EINVAL at an incomplete one at the end;
  // in then starts with that sequence.
  int Convert(std::string_view& in, std::string& out, size_t max_out = std::string::npos);
  // Back to the initial shift state, as after a stop.
  void Reset();
  // Appends the bytes that return a stateful target charset to its initial state.
  void Finish(std::string& out);

 private:
  iconv_t cd_;
};

}  // namespace mirelda::platform
