#include "host/http/http_date.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace mirelda::host {
namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Reads the text left to right; every step fails once one has failed.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && text_.empty(); }

  void Literal(std::string_view expected) {
    if (ok_ && text_.substr(0, expected.size()) == expected) {
      text_.remove_prefix(expected.size());
    } else {
      ok_ = false;
    }
  }
  // The index of the name in names that the text goes on with; -1 when none.
  template <size_t N>
  int Name(const char* const (&names)[N]) {
    for (size_t i = 0; ok_ && i < N; ++i) {
      std::string_view name = names[i];
      if (text_.substr(0, name.size()) == name) {
        text_.remove_prefix(name.size());
        return static_cast<int>(i);
      }
    }
    ok_ = false;
    return -1;
  }
  // Exactly digits decimal digits.
  int Number(size_t digits) {
    int value = 0;
    for (size_t i = 0; i < digits; ++i) {
      if (!ok_ || text_.empty() || text_[0] < '0' || text_[0] > '9') {
        ok_ = false;
        return 0;
      }
      value = value * 10 + (text_[0] - '0');
      text_.remove_prefix(1);
    }
    return value;
  }
  // asctime's day of the month: two digits, or a space and one.
  int PaddedDay() {
    if (ok_ && !text_.empty() && text_[0] == ' ') {
      text_.remove_prefix(1);
      return Number(1);
    }
    return Number(2);
  }

 private:
  std::string_view text_;
  bool ok_ = true;
};

struct Fields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

void Clock(Reader& in, Fields& f) {
  f.hour = in.Number(2);
  in.Literal(":");
  f.minute = in.Number(2);
  in.Literal(":");
  f.second = in.Number(2);
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool ReadFixdate(std::string_view text, Fields& f) {
  Reader in(text);
  in.Name(kDays);
  in.Literal(", ");
  f.day = in.Number(2);
  in.Literal(" ");
  f.month = in.Name(kMonths);
  in.Literal(" ");
  f.year = in.Number(4);
  in.Literal(" ");
  Clock(in, f);
  in.Literal(" GMT");
  return in.AtEnd();
}

// "Sunday, 06-Nov-94 08:49:37 GMT"
bool ReadRfc850(std::string_view text, int now_year, Fields& f) {
  Reader in(text);
  in.Name(kLongDays);
  in.Literal(", ");
  f.day = in.Number(2);
  in.Literal("-");
  f.month = in.Name(kMonths);
  in.Literal("-");
  int two_digits = in.Number(2);
  in.Literal(" ");
  Clock(in, f);
  in.Literal(" GMT");
  if (!in.AtEnd()) return false;
  f.year = now_year / 100 * 100 + two_digits;
  if (f.year > now_year + 50) f.year -= 100;
  return true;
}

// "Sun Nov  6 08:49:37 1994"
bool ReadAsctime(std::string_view text, Fields& f) {
  Reader in(text);
  in.Name(kDays);
  in.Literal(" ");
  f.month = in.Name(kMonths);
  in.Literal(" ");
  f.day = in.PaddedDay();
  in.Literal(" ");
  Clock(in, f);
  in.Literal(" ");
  f.year = in.Number(4);
  return in.AtEnd();
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool Valid(const Fields& f) {
  constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int last = f.month == 1 && !IsLeap(f.year) ? 28 : kDaysIn[f.month];
  // 60 seconds is a leap second, which the clock then counts as the next minute's first.
  return f.day >= 1 && f.day <= last && f.hour <= 23 && f.minute <= 59 && f.second <= 60;
}

}  // namespace

std::string FormatHttpDate(int64_t unix_seconds) {
  std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  if (!::gmtime_r(&t, &tm)) return "Thu, 01 Jan 1970 00:00:00 GMT";
  // Names are written from fixed tables: the process locale must not change them.
  std::string text;
  text.reserve(29);
  // Zero-padded to width; a year past 9999 or before 0 is written whole, as printf would.
  auto digits = [&text](int value, int width) {
    char buf[16];
    char* end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    if (value >= 0)
      text.append(static_cast<size_t>(std::max<ptrdiff_t>(0, width - (end - buf))), '0');
    text.append(buf, end);
  };
  text += kDays[tm.tm_wday % 7];
  text += ", ";
  digits(tm.tm_mday, 2);
  text += ' ';
  text += kMonths[tm.tm_mon % 12];
  text += ' ';
  digits(tm.tm_year + 1900, 4);
  text += ' ';
  digits(tm.tm_hour, 2);
  text += ':';
  digits(tm.tm_min, 2);
  text += ':';
  digits(tm.tm_sec, 2);
  text += " GMT";
  return text;
}

std::optional<int64_t> ParseHttpDate(std::string_view text, int now_year) {
  Fields f;
  // The day name says which form it is, so only one reader can match.
  if (!ReadFixdate(text, f) && !ReadRfc850(text, now_year, f) && !ReadAsctime(text, f)) {
    return std::nullopt;
  }
  if (!Valid(f)) return std::nullopt;
  std::tm tm{};
  tm.tm_year = f.year - 1900;
  tm.tm_mon = f.month;
  tm.tm_mday = f.day;
  tm.tm_hour = f.hour;
  tm.tm_min = f.minute;
  tm.tm_sec = f.second;
  return static_cast<int64_t>(::timegm(&tm));
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  int year = ::gmtime_r(&now, &tm) ? tm.tm_year + 1900 : 1970;
  return ParseHttpDate(text, year);
}

}  // namespace mirelda::host
