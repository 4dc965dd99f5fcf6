#include "platform/clock.h"

#include <cerrno>
#include <ctime>
#include <limits>

namespace platform {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDifference = 11'644'473'600;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  const int y = month <= 2 ? year - 1 : year;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yearOfEra = y - era * 400;
  const int dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return static_cast<std::int64_t>(era) * 146'097 + dayOfEra - 719'468;
}

}  // namespace

bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime,
                           std::uint64_t& localFileTime) {
  const int year = 1980 + (dosDate >> 9);
  const int month = (dosDate >> 5) & 0x0F;
  const int day = dosDate & 0x1F;
  const int hour = dosTime >> 11;
  const int minute = (dosTime >> 5) & 0x3F;
  const int second = (dosTime & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  const std::int64_t clock = (hour * 3600) + (minute * 60) + second;
  const std::int64_t seconds =
      (DaysFromCivil(year, month, day) * kSecondsPerDay) + clock + kEpochDifference;
  localFileTime = static_cast<std::uint64_t>(seconds * kTicksPerSecond);
  return true;
}

bool LocalFileTimeToFileTime(std::uint64_t localFileTime, std::uint64_t& fileTime) {
  if (localFileTime > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return false;
  }
  const auto local = static_cast<std::int64_t>(localFileTime);
  // The local clock reading, as if it were UTC, broken into its fields...
  const std::time_t localSeconds = (local / kTicksPerSecond) - kEpochDifference;
  std::tm fields{};
  if (::gmtime_r(&localSeconds, &fields) == nullptr) {
    return false;
  }
  // ...and read back in the local time zone, which finds that date's offset.
  fields.tm_isdst = -1;
  errno = 0;
  const std::time_t utcSeconds = std::mktime(&fields);
  if (utcSeconds == static_cast<std::time_t>(-1) && errno != 0) {
    return false;
  }
  const std::int64_t offset = (static_cast<std::int64_t>(localSeconds) - utcSeconds);
  if (offset > 0 && local < offset * kTicksPerSecond) {
    return false;
  }
  if (offset < 0 && local > std::numeric_limits<std::int64_t>::max() + offset * kTicksPerSecond) {
    return false;
  }
  fileTime = static_cast<std::uint64_t>(local - offset * kTicksPerSecond);
  return true;
}

}  // namespace platform
