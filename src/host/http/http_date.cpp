#include "host/http/http_date.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace mirelda::host {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatHttpDate(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  if (!::gmtime_r(&t, &tm)) return "Thu, 01 Jan 1970 00:00:00 GMT";
  // Names are written from fixed tables: the process locale must not change them.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday % 7],
                tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec);
  return buf;
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
  // "Sun, 06 Nov 1994 08:49:37 GMT": 29 characters.
  if (text.size() != 29 || text.substr(3, 2) != ", " || text.substr(25) != " GMT") {
    return std::nullopt;
  }
  char month_name[4] = {};
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  std::string copy(text.substr(5, 20));
  if (std::sscanf(copy.c_str(), "%2d %3c %4d %2d:%2d:%2d", &day, month_name, &year, &hour, &minute,
                  &second) != 6) {
    return std::nullopt;
  }
  int month = -1;
  for (int i = 0; i < 12; ++i) {
    if (std::strcmp(month_name, kMonths[i]) == 0) month = i;
  }
  if (month < 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<int64_t>(::timegm(&tm));
}

}  // namespace mirelda::host
