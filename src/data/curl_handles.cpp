#include "data/curl_handles.h"

#include <mutex>

#include "mirelda/error.h"

namespace mirelda::data {

CurlEasy NewCurlEasy() {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CurlEasy easy(curl_easy_init());
  if (!easy) throw Error(errc::kOutOfMemory);
  curl_easy_setopt(easy.get(), CURLOPT_PROXY, "");
  curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
  return easy;
}

void Append(CurlList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (!grown) throw Error(errc::kOutOfMemory);
  // On success the first node stays the same, or a new list begins.
  if (!list) list.reset(grown);
}

}  // namespace mirelda::data
