#include "model/local_time.h"

#include <windows.h>

namespace tollwick {
namespace {

constexpr ULONGLONG UNIX_EPOCH_AS_FILETIME = 116444736000000000ULL; // 100 ns units since 1601
constexpr ULONGLONG TICKS_PER_SECOND = 10000000ULL;

ULONGLONG ticksOf(const SYSTEMTIME& time) {
    FILETIME file{};
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int dayOfYear(const SYSTEMTIME& time) {
    static constexpr int DAYS_BEFORE_MONTH[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int leapDay = time.wMonth > 2 && isLeapYear(time.wYear) ? 1 : 0;
    return DAYS_BEFORE_MONTH[time.wMonth - 1] + leapDay + time.wDay - 1;
}

} // namespace

// The Windows clock and the zone set in Windows, with that zone's rules for the year in question
// (the C library's localtime would follow a TZ variable, and only with the rules of today).
std::tm localTm(std::time_t t) {
    const ULONGLONG ticks = static_cast<ULONGLONG>(t) * TICKS_PER_SECOND + UNIX_EPOCH_AS_FILETIME;
    const FILETIME file{static_cast<DWORD>(ticks & 0xffffffffULL), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    ::FileTimeToSystemTime(&file, &utc);

    // The zone's rules for the year of the moment: they differ from year to year in many zones.
    TIME_ZONE_INFORMATION zone{};
    SYSTEMTIME local = utc;
    bool isDst = false;
    if (::GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) &&
        ::SystemTimeToTzSpecificLocalTime(&zone, &utc, &local) && zone.DaylightDate.wMonth != 0 &&
        zone.DaylightBias != zone.StandardBias) {
        // Daylight saving time is in force when the offset applied is the zone's daylight one.
        const LONGLONG offsetMinutes = (static_cast<LONGLONG>(ticksOf(local)) - static_cast<LONGLONG>(ticksOf(utc))) /
                                       static_cast<LONGLONG>(60 * TICKS_PER_SECOND);
        isDst = offsetMinutes == -(zone.Bias + zone.DaylightBias);
    }

    std::tm tm{};
    tm.tm_year = local.wYear - 1900;
    tm.tm_mon = local.wMonth - 1;
    tm.tm_mday = local.wDay;
    tm.tm_hour = local.wHour;
    tm.tm_min = local.wMinute;
    tm.tm_sec = local.wSecond;
    tm.tm_wday = local.wDayOfWeek; // 0 = Sunday, as in the C library
    tm.tm_yday = dayOfYear(local);
    tm.tm_isdst = isDst ? 1 : 0;
    return tm;
}

} // namespace tollwick
