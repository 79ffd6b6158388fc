// libcurl's handles under RAII, and the process-wide initialisation that must come before the
// first transfer. Used by the mail and the server-side HTTP objects only; nothing public includes
// curl.h.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace mirelda::data {

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

// A fresh easy handle that never goes through a proxy from the environment (the objects reach
// the hosts the page names, as the platform's do). Raises Error Out of memory (7) when libcurl
// cannot make one.
CurlEasy NewCurlEasy();

// Appends one line to a list. Raises Error Out of memory (7) when libcurl cannot.
void Append(CurlList& list, const std::string& line);

}  // namespace mirelda::data
