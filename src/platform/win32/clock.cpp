#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace {

FILETIME ToFileTime(std::uint64_t value) {
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

std::uint64_t FromFileTime(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Whether the fields of a DOS date and time name a moment that exists: the
// system takes 29 February of a common year as 1 March.
bool IsValidDosDateTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  const unsigned year = 1980u + (dosDate >> 9);
  const unsigned month = (dosDate >> 5) & 0x0Fu;
  const unsigned day = dosDate & 0x1Fu;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && leap ? 1u : 0u)) {
    return false;
  }
  return (dosTime >> 11) < 24 && ((dosTime >> 5) & 0x3Fu) < 60 && (dosTime & 0x1Fu) < 30;
}

}  // namespace

bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime,
                           std::uint64_t& localFileTime) {
  FILETIME time{};
  if (!IsValidDosDateTime(dosDate, dosTime) ||
      ::DosDateTimeToFileTime(dosDate, dosTime, &time) == FALSE) {
    return false;
  }
  localFileTime = FromFileTime(time);
  return true;
}

bool LocalFileTimeToFileTime(std::uint64_t localFileTime, std::uint64_t& fileTime) {
  // LocalFileTimeToFileTime applies today's offset to every date; the time
  // zone's rules give the offset that held at the date itself.
  const FILETIME local = ToFileTime(localFileTime);
  SYSTEMTIME localClock{};
  SYSTEMTIME utcClock{};
  FILETIME utc{};
  if (::FileTimeToSystemTime(&local, &localClock) == FALSE ||
      ::TzSpecificLocalTimeToSystemTime(nullptr, &localClock, &utcClock) == FALSE ||
      ::SystemTimeToFileTime(&utcClock, &utc) == FALSE) {
    return false;
  }
  // The clock fields hold milliseconds; the file time's finer units stay.
  fileTime = FromFileTime(utc) + localFileTime % 10'000;
  return true;
}

}  // namespace platform
