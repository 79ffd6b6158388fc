// A date's calendar parts and the way back. A serial counts days from 1899-12-30; its fraction is
// the time of day, which for days before that still counts forward from midnight (-1.25 is
// 1899-12-29 06:00). Day numbers and seconds on one continuous line make date arithmetic plain.
#pragma once

#include <cstdint>
#include <string_view>

#include "mirelda/variant.h"

namespace mirelda::script::vbscript {

struct DateParts {
  int year, month, day, hour, minute, second;
  int weekday;  // 1 Sunday .. 7 Saturday
};

// Overflow (6) for a serial outside the years 100 to 9999 (or no number at all).
DateParts SplitDate(Date date);
// The whole day of the date, counted from 1899-12-30 (negative before it).
int64_t DayNumber(Date date);
// Seconds since midnight of the date's day (rounded to the second).
int SecondOfDay(Date date);
// The date of a day number and a second of that day.
Date DateOfDay(int64_t day, int64_t second);
// The date of calendar parts; months past 12 or below 1 carry into the year, days past the
// month's end clamp to its last day. Invalid procedure call (5) outside the years 100 to 9999.
Date JoinDate(int64_t year, int64_t month, int day, int64_t second);
int DaysInMonth(int year, int month);
// The English names of month 1..12 and of weekday 1 (Sunday) .. 7.
std::string_view MonthNameOf(int month);
std::string_view WeekdayNameOf(int weekday);

}  // namespace mirelda::script::vbscript
