#include "common/datetime.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace sv {
namespace {

// Days since 1970-01-01 for a proleptic Gregorian date, and back (H. Hinnant's algorithms).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

constexpr Civil CivilFromDays(std::int64_t z) noexcept {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {y + (m <= 2), m, d};
}

constexpr int WeekdayFromDays(std::int64_t unixDays) noexcept {
  // 1970-01-01 was a Thursday (4).
  return static_cast<int>(unixDays >= -4 ? (unixDays + 4) % 7 : (unixDays + 5) % 7 + 6);
}

constexpr std::int64_t kMillisecondsPerDay = kSecondsPerDay * 1000;
constexpr std::uint64_t kTicksPerDay = kFileTimeTicksPerSecond * 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kFileTimeEpochDays = 134774;

}  // namespace

bool IsLeapYear(int year) noexcept {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) noexcept {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) noexcept {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

std::optional<DateTime> EncodeDate(int year, int month, int day) noexcept {
  if (!IsValidDate(year, month, day)) return std::nullopt;
  const std::int64_t unixDays =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return static_cast<DateTime>(unixDays) + kUnixEpochDate;
}

std::optional<DateTime> EncodeTime(int hour, int minute, int second, int millisecond) noexcept {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    return std::nullopt;
  }
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return static_cast<DateTime>(ms) / static_cast<DateTime>(kMillisecondsPerDay);
}

std::optional<DateTime> EncodeDateTime(const DateTimeParts& parts) noexcept {
  const auto date = EncodeDate(parts.year, parts.month, parts.day);
  const auto time = EncodeTime(parts.hour, parts.minute, parts.second, parts.millisecond);
  if (!date || !time) return std::nullopt;
  // Before the base day the time of day is subtracted: the fraction always runs forward.
  return *date < 0 ? *date - *time : *date + *time;
}

std::optional<DateTimeParts> DecodeDateTime(DateTime value) noexcept {
  // Years 1..9999 span about -693593 .. 2958466 days.
  if (!std::isfinite(value) || value < -693594.0 || value > 2958466.0) return std::nullopt;
  const double whole = std::trunc(value);
  auto days = static_cast<std::int64_t>(whole);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - whole) * kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {  // rounded up to the next midnight
    ms -= kMillisecondsPerDay;
    ++days;
  }
  const std::int64_t unixDays = days - static_cast<std::int64_t>(kUnixEpochDate);
  const Civil civil = CivilFromDays(unixDays);
  if (civil.year < 1 || civil.year > 9999) return std::nullopt;
  DateTimeParts parts;
  parts.year = static_cast<int>(civil.year);
  parts.month = static_cast<int>(civil.month);
  parts.day = static_cast<int>(civil.day);
  parts.hour = static_cast<int>(ms / 3'600'000);
  parts.minute = static_cast<int>(ms / 60'000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  parts.dayOfWeek = WeekdayFromDays(unixDays);
  return parts;
}

DateTime DateOf(DateTime value) noexcept {
  return std::trunc(value);
}

std::optional<SystemTime> FileTimeToSystemTime(FileTime time) noexcept {
  if (time.ticks > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  const auto days = static_cast<std::int64_t>(time.ticks / kTicksPerDay);
  const std::uint64_t rest = time.ticks % kTicksPerDay;
  const std::int64_t unixDays = days - kFileTimeEpochDays;
  const Civil civil = CivilFromDays(unixDays);
  const std::uint64_t ms = rest / 10'000;
  SystemTime st;
  st.year = static_cast<std::uint16_t>(civil.year);
  st.month = static_cast<std::uint16_t>(civil.month);
  st.day = static_cast<std::uint16_t>(civil.day);
  st.dayOfWeek = static_cast<std::uint16_t>(WeekdayFromDays(unixDays));
  st.hour = static_cast<std::uint16_t>(ms / 3'600'000);
  st.minute = static_cast<std::uint16_t>(ms / 60'000 % 60);
  st.second = static_cast<std::uint16_t>(ms / 1000 % 60);
  st.milliseconds = static_cast<std::uint16_t>(ms % 1000);
  return st;
}

std::optional<FileTime> SystemTimeToFileTime(const SystemTime& st) noexcept {
  if (st.year < 1601 || st.year > 30828 || st.month < 1 || st.month > 12 || st.day < 1 ||
      st.day > DaysInMonth(st.year, st.month) || st.hour > 23 || st.minute > 59 || st.second > 59 ||
      st.milliseconds > 999) {
    return std::nullopt;
  }
  const std::int64_t days = DaysFromCivil(st.year, st.month, st.day) + kFileTimeEpochDays;
  const std::uint64_t ms =
      ((st.hour * 60ULL + st.minute) * 60 + st.second) * 1000 + st.milliseconds;
  const std::uint64_t ticks = static_cast<std::uint64_t>(days) * kTicksPerDay + ms * 10'000;
  // File times are signed 64-bit counts: the calendar ends in September 30828.
  if (ticks > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
    return std::nullopt;
  }
  return FileTime{ticks};
}

std::optional<DateTime> SystemTimeToDateTime(const SystemTime& st) noexcept {
  return EncodeDateTime(
      {st.year, st.month, st.day, st.hour, st.minute, st.second, st.milliseconds, 0});
}

std::optional<SystemTime> DateTimeToSystemTime(DateTime value) noexcept {
  const auto parts = DecodeDateTime(value);
  if (!parts) return std::nullopt;
  SystemTime st;
  st.year = static_cast<std::uint16_t>(parts->year);
  st.month = static_cast<std::uint16_t>(parts->month);
  st.dayOfWeek = static_cast<std::uint16_t>(parts->dayOfWeek);
  st.day = static_cast<std::uint16_t>(parts->day);
  st.hour = static_cast<std::uint16_t>(parts->hour);
  st.minute = static_cast<std::uint16_t>(parts->minute);
  st.second = static_cast<std::uint16_t>(parts->second);
  st.milliseconds = static_cast<std::uint16_t>(parts->millisecond);
  return st;
}

std::optional<DosDateTime> FileTimeToDosDateTime(FileTime time) noexcept {
  const auto st = FileTimeToSystemTime(time);
  if (!st || st->year < 1980 || st->year > 2107) return std::nullopt;
  DosDateTime dos;
  dos.date = static_cast<std::uint16_t>(((st->year - 1980) << 9) | (st->month << 5) | st->day);
  dos.time = static_cast<std::uint16_t>((st->hour << 11) | (st->minute << 5) | (st->second / 2));
  return dos;
}

std::int32_t BuildStampFromDateTime(DateTime value) noexcept {
  // nearbyint rounds ties to even in the default rounding mode.
  const double seconds =
      std::nearbyint((value - kUnixEpochDate) * static_cast<double>(kSecondsPerDay));
  if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e18) return 0;
  const auto wide = static_cast<std::int64_t>(seconds);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

DateTime DateTimeFromBuildStamp(std::int32_t stamp) noexcept {
  return static_cast<DateTime>(stamp) / static_cast<DateTime>(kSecondsPerDay) + kUnixEpochDate;
}

std::string FormatDateTime(std::string_view pattern, DateTime value, char timeSeparator) {
  const auto parts = DecodeDateTime(value);
  if (!parts) return {};
  std::string out;
  auto number = [&out](int n, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, n);
    out += buffer;
  };
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = static_cast<char>(pattern[i] | 0x20);  // fold letters to lower case
    std::size_t run = 1;
    while (i + run < pattern.size() && static_cast<char>(pattern[i + run] | 0x20) == c &&
           std::string_view("ymdhnsz").find(c) != std::string_view::npos) {
      ++run;
    }
    switch (c) {
      case 'y':
        if (run >= 3) {
          number(parts->year, 4);
        } else {
          number(parts->year % 100, 2);
        }
        break;
      case 'm':
        number(parts->month, run >= 2 ? 2 : 1);
        break;
      case 'd':
        number(parts->day, run >= 2 ? 2 : 1);
        break;
      case 'h':
        number(parts->hour, run >= 2 ? 2 : 1);
        break;
      case 'n':
        number(parts->minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        number(parts->second, run >= 2 ? 2 : 1);
        break;
      case 'z':
        number(parts->millisecond, run >= 3 ? 3 : 1);
        break;
      default:
        run = 1;
        out += pattern[i] == ':' ? timeSeparator : pattern[i];
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace sv
