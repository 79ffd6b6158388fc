// Dates as the page language counts them (days since 1899-12-30, time of day as the fraction), and
// their text forms.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "mirelda/error.h"
#include "mirelda/variant.h"

namespace mirelda {
namespace {

namespace chr = std::chrono;

// chrono's years reach only -32767..32767; the Gregorian calendar repeats every 400 years, so a
// year outside them is counted as its place in a cycle plus whole cycles.
constexpr int64_t kCycleYears = 400;
constexpr int64_t kCycleDays = 146097;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0); }

// Days since 1970-01-01 of a proleptic Gregorian date. A month beyond 1..12 carries into the
// year and a day beyond the month's last runs on into the next, as date arithmetic wants.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  int64_t months = year * 12 + (month - 1);
  int64_t y = FloorDiv(months, 12);
  int64_t cycles = FloorDiv(y, kCycleYears);
  chr::year_month_day first{chr::year{static_cast<int>(y - cycles * kCycleYears)},
                            chr::month{static_cast<unsigned>(months - y * 12 + 1)}, chr::day{1}};
  return chr::sys_days{first}.time_since_epoch().count() + cycles * kCycleDays + (day - 1);
}

void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  int64_t cycles = FloorDiv(days, kCycleDays);
  chr::year_month_day ymd{chr::sys_days{chr::days{days - cycles * kCycleDays}}};
  // A year past int wraps as it always has; such dates print but mean nothing.
  *year = static_cast<int>(static_cast<int64_t>(int{ymd.year()}) + cycles * kCycleYears);
  *month = static_cast<int>(unsigned{ymd.month()});
  *day = static_cast<int>(unsigned{ymd.day()});
}

constexpr int64_t kEpochOffsetDays = 25569;  // 1899-12-30 to 1970-01-01

struct Parts {
  int year, month, day, hour, minute, second;
  bool has_day, has_time;
};

// A negative serial counts its date part towards the past and its time part forwards, as the
// page language's dates do (-1.25 is 1899-12-29 06:00).
Parts Split(Date date) {
  double whole = std::trunc(date.serial);
  // Beyond this (or NaN) the day count has no whole-number form at all.
  if (!(std::fabs(whole) < 9.2e18)) throw Error(errc::kOverflow);
  double frac = std::fabs(date.serial - whole);
  int64_t seconds = std::llround(frac * 86400.0);
  int64_t days = static_cast<int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += date.serial < 0 ? -1 : 1;
  }
  Parts p{};
  CivilFromDays(days - kEpochOffsetDays, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  p.has_day = days != 0;
  p.has_time = seconds != 0;
  return p;
}

Date FromTm(const std::tm& t) {
  return Date::FromParts(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

bool ReadNumber(std::string_view s, size_t* i, int min_digits, int max_digits, int* out) {
  int n = 0, digits = 0;
  while (*i < s.size() && s[*i] >= '0' && s[*i] <= '9' && digits < max_digits) {
    n = n * 10 + (s[*i] - '0');
    ++*i;
    ++digits;
  }
  if (digits < min_digits) return false;
  *out = n;
  return true;
}

bool ReadTime(std::string_view s, size_t* i, int* h, int* m, int* sec) {
  if (!ReadNumber(s, i, 1, 2, h) || *i >= s.size() || s[*i] != ':') return false;
  ++*i;
  if (!ReadNumber(s, i, 2, 2, m)) return false;
  *sec = 0;
  if (*i < s.size() && s[*i] == ':') {
    ++*i;
    if (!ReadNumber(s, i, 2, 2, sec)) return false;
    // Fractions of a second (as PostgreSQL writes them) are dropped.
    if (*i < s.size() && s[*i] == '.') {
      ++*i;
      while (*i < s.size() && s[*i] >= '0' && s[*i] <= '9') ++*i;
    }
  }
  return *h < 24 && *m < 60 && *sec < 60;
}

}  // namespace

Date Date::FromParts(int year, int month, int day, int hour, int minute, int second) {
  double days = static_cast<double>(
DaysFromCivil(year, month, day) + kEpochOffsetDays);
  double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return Date{days < 0 ? days - time : days + time};
}

Date Date::Now() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return FromTm(t);
}

Date Date::Today() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return FromParts(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

int64_t Date::ToUnixTime() const {
  Parts p = Split(*this);
  std::tm t{};
  t.tm_year = p.year - 1900;
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.minute;
  t.tm_sec = p.second;
  t.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&t));
}

Date Date::FromUnixTime(int64_t seconds) {
  std::time_t when = static_cast<std::time_t>(seconds);
  std::tm t{};
  localtime_r(&when, &t);
  return FromTm(t);
}

std::string FormatDateTime(Date date) {
  Parts p = Split(date);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

std::string FormatDate(Date date) {
  Parts p = Split(date);
  char buf[64];
  if (!p.has_day && p.has_time) {
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  } else if (!p.has_time) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  } else {
    return FormatDateTime(date);
  }
  return buf;
}

bool ParseDate(std::string_view s, Date* out) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  size_t start = i;
  bool has_date = false;
  if (ReadNumber(s, &i, 4, 4, &y) && i < s.size() && (s[i] == '-' || s[i] == '/')) {
    char sep = s[i++];
    if (!ReadNumber(s, &i, 1, 2, &mo) || i >= s.size() || s[i] != sep) return false;
    ++i;
    if (!ReadNumber(s, &i, 1, 2, &d)) return false;
    if (!chr::year_month_day{chr::year{y}, chr::month{static_cast<unsigned>(mo)},
                              chr::day{static_cast<unsigned>(d)}}
             .ok()) {
      return false;
    }
    has_date = true;
    if (i < s.size() && (s[i] == ' ' || s[i] == 'T')) {
      size_t mark = i;
      ++i;
      while (i < s.size() && s[i] == ' ') ++i;
      if (i == s.size()) {
        i = mark;
      } else if (!ReadTime(s, &i, &h, &mi, &sec)) {
        return false;
      }
    }
  } else {
    i = start;
    if (!ReadTime(s, &i, &h, &mi, &sec)) return false;
  }
  while (i < s.size() && s[i] == ' ') ++i;
  if (i != s.size()) return false;
  *out = has_date ? Date::FromParts(y, mo, d, h, mi, sec)
                  : Date{(h * 3600.0 + mi * 60.0 + sec) / 86400.0};
  return true;
}

}  // namespace mirelda
