// The calendar arithmetic of the core against the system's own conversions.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/datetime.h"

namespace sv {
namespace {

std::vector<std::uint64_t> SampleTicks() {
  std::vector<std::uint64_t> ticks = {
      0,
      1,
      116444736000000000ULL,  // 1970
      119600064000000000ULL,  // 1980-01-01
      119600063990000000ULL,  // a second before it
      133549776000000000ULL,  // 2024-03-15 12:00
      0x7FFFFFFFFFFFFFFFULL,  // the last time the system converts
      0x8000000000000000ULL,  // past it
  };
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  for (int i = 0; i < 2000; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    ticks.push_back(state % 0x0200000000000000ULL);  // years 1601 to about 4500
  }
  return ticks;
}

FILETIME Split(std::uint64_t ticks) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

TEST(SystemConversions, FileTimeToCalendarFieldsAgrees) {
  for (const std::uint64_t ticks : SampleTicks()) {
    const FILETIME time = Split(ticks);
    SYSTEMTIME expected;
    const BOOL ok = ::FileTimeToSystemTime(&time, &expected);
    const auto ours = FileTimeToSystemTime({ticks});
    ASSERT_EQ(ours.has_value(), ok != FALSE) << ticks;
    if (!ok) continue;
    EXPECT_EQ(*ours, (SystemTime{expected.wYear, expected.wMonth, expected.wDayOfWeek,
                                 expected.wDay, expected.wHour, expected.wMinute, expected.wSecond,
                                 expected.wMilliseconds}))
        << ticks;
    FILETIME back;
    ASSERT_TRUE(::SystemTimeToFileTime(&expected, &back));
    EXPECT_EQ(SystemTimeToFileTime(*ours)->ticks,
              (static_cast<std::uint64_t>(back.dwHighDateTime) << 32) | back.dwLowDateTime);
  }
}

TEST(SystemConversions, DosDateTimeAgreesWithinItsRange) {
  std::vector<std::uint64_t> ticks = SampleTicks();
  for (const SystemTime edge :
       {SystemTime{1979, 12, 0, 31, 23, 59, 59, 999}, SystemTime{1980, 1, 0, 1, 0, 0, 0, 0},
        SystemTime{2107, 12, 0, 31, 23, 59, 59, 999}}) {
    ticks.push_back(SystemTimeToFileTime(edge)->ticks);
  }
  const std::uint64_t firstAfter = SystemTimeToFileTime({2108, 1, 0, 1, 0, 0, 0, 0})->ticks;
  for (const std::uint64_t value : ticks) {
    // Past 2107 Windows refuses while Wine returns a date whose year has overflowed; ours
    // refuses like Windows (checked on the host and below).
    if (value >= firstAfter) {
      EXPECT_FALSE(FileTimeToDosDateTime({value})) << value;
      continue;
    }
    const FILETIME time = Split(value);
    WORD date = 0, clock = 0;
    const BOOL ok = ::FileTimeToDosDateTime(&time, &date, &clock);
    const auto ours = FileTimeToDosDateTime({value});
    ASSERT_EQ(ours.has_value(), ok != FALSE) << value;
    if (ok) {
      EXPECT_EQ(ours->date, date) << value;
      EXPECT_EQ(ours->time, clock) << value;
    }
  }
}

}  // namespace
}  // namespace sv
