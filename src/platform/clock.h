// DOS date and time, local and UTC file times. A file time counts 100 ns
// units since 1601-01-01 00:00; a local one in the local time zone's clock.
#pragma once

#include <cstdint>

namespace platform {

// The DOS date (bits 15-9 year since 1980, 8-5 month, 4-0 day) and time
// (bits 15-11 hour, 10-5 minute, 4-0 seconds / 2) as a local file time.
// False, leaving `localFileTime` unchanged, when a field is out of range
// (month 0 or 13, 30 February, hour 24, 60 seconds, ...).
bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime,
                           std::uint64_t& localFileTime);

// A local file time as UTC, with the local time zone's offset (daylight
// saving included) at that date. False, leaving `fileTime` unchanged, when
// the result would fall outside the file-time range.
bool LocalFileTimeToFileTime(std::uint64_t localFileTime, std::uint64_t& fileTime);

}  // namespace platform
