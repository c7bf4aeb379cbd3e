// Calendar arithmetic shared by the database headers, the file-date helpers and the settings.
// A DateTime counts days since 1899-12-30 with the time of day as the fraction; before that
// day the whole part counts backwards while the fraction still runs forward within the day
// (-1.25 is 1899-12-29 06:00), the convention the stored version stamps were made with.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv {

using DateTime = double;

// The day 1970-01-01, where build stamps and Unix times count from.
inline constexpr DateTime kUnixEpochDate = 25569.0;
inline constexpr std::int64_t kSecondsPerDay = 86400;

// 100-nanosecond intervals since 1601-01-01, as file times are kept.
struct FileTime {
  std::uint64_t ticks = 0;
  friend auto operator<=>(const FileTime&, const FileTime&) = default;
};

inline constexpr std::uint64_t kFileTimeTicksPerSecond = 10'000'000;

// Calendar fields as the system hands them out (dayOfWeek: 0 is Sunday).
struct SystemTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

struct DateTimeParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int dayOfWeek = 0;  // 0 is Sunday
  friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};

[[nodiscard]] bool IsLeapYear(int year) noexcept;
[[nodiscard]] int DaysInMonth(int year, int month) noexcept;  // 0 for a month outside 1..12
[[nodiscard]] bool IsValidDate(int year, int month, int day) noexcept;  // years 1..9999

[[nodiscard]] std::optional<DateTime> EncodeDate(int year, int month, int day) noexcept;
[[nodiscard]] std::optional<DateTime> EncodeTime(int hour, int minute, int second,
                                                 int millisecond) noexcept;
[[nodiscard]] std::optional<DateTime> EncodeDateTime(const DateTimeParts& parts) noexcept;
// Empty for values that stand for no day of the years 1..9999 (or are not finite).
[[nodiscard]] std::optional<DateTimeParts> DecodeDateTime(DateTime value) noexcept;
// Midnight of the day of `value`.
[[nodiscard]] DateTime DateOf(DateTime value) noexcept;

[[nodiscard]] std::optional<SystemTime> FileTimeToSystemTime(FileTime time) noexcept;
[[nodiscard]] std::optional<FileTime> SystemTimeToFileTime(const SystemTime& time) noexcept;
[[nodiscard]] std::optional<DateTime> SystemTimeToDateTime(const SystemTime& time) noexcept;
[[nodiscard]] std::optional<SystemTime> DateTimeToSystemTime(DateTime value) noexcept;

// The packed date and time of FAT directory entries; only the years 1980 to 2107 fit.
struct DosDateTime {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};
[[nodiscard]] std::optional<DosDateTime> FileTimeToDosDateTime(FileTime time) noexcept;

// Seconds since 1970-01-01 00:00 counted in the same (local) time as `value`, rounded to the
// nearest second with ties to even; only the low 32 bits are kept.
[[nodiscard]] std::int32_t BuildStampFromDateTime(DateTime value) noexcept;
[[nodiscard]] DateTime DateTimeFromBuildStamp(std::int32_t stamp) noexcept;

// Formats with these letter runs (case-insensitive): yyyy (year, 4 digits), yy (2 digits),
// mm/m (month), dd/d (day), hh/h (hour 0-23), nn/n (minute), ss/s (second), zzz/z
// (millisecond). ':' becomes `timeSeparator`; every other character stands for itself.
// The month is always "m": minutes are "n". Empty for a value DecodeDateTime rejects.
[[nodiscard]] std::string FormatDateTime(std::string_view pattern, DateTime value,
                                         char timeSeparator = ':');

}  // namespace sv
