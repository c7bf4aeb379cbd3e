#include "common/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace sv {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return EncodeDateTime({y, mo, d, h, mi, s, ms, 0}).value();
}

TEST(CalendarDates, ValidityFollowsTheGregorianRules) {
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(2008, 13, 1));
  EXPECT_FALSE(IsValidDate(2008, 0, 1));
  EXPECT_FALSE(IsValidDate(2008, 4, 31));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_TRUE(IsValidDate(9999, 12, 31));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
}

TEST(CalendarDates, DaysCountFromDecember30th1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(1970, 1, 1), kUnixEpochDate);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  EXPECT_FALSE(EncodeDate(2008, 2, 30));
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0));
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
}

TEST(CalendarDates, BeforeTheBaseDayTheTimeStillRunsForward) {
  EXPECT_EQ(At(1899, 12, 29, 6), -1.25);
  const auto parts = DecodeDateTime(-1.25);
  ASSERT_TRUE(parts);
  EXPECT_EQ(*parts, (DateTimeParts{1899, 12, 29, 6, 0, 0, 0, 5}));
  EXPECT_EQ(DateOf(-1.25), -1.0);
  EXPECT_EQ(DateOf(At(2008, 7, 7, 23, 59)), At(2008, 7, 7));
}

TEST(CalendarDates, DecodingRoundTripsEveryFieldAndTheWeekday) {
  const DateTimeParts samples[] = {
      {2008, 7, 7, 12, 0, 0, 0, 1},      {2009, 2, 13, 23, 31, 30, 0, 5},
      {1970, 1, 1, 0, 0, 0, 0, 4},       {1601, 1, 1, 0, 0, 0, 0, 1},
      {2000, 2, 29, 23, 59, 59, 999, 2}, {9999, 12, 31, 23, 59, 59, 0, 5},
      {1, 1, 1, 0, 0, 0, 0, 1},
  };
  for (const auto& sample : samples) {
    const auto value = EncodeDateTime(sample);
    ASSERT_TRUE(value) << sample.year;
    EXPECT_EQ(DecodeDateTime(*value), sample) << sample.year << "-" << sample.month;
  }
}

TEST(CalendarDates, ValuesOutsideTheCalendarDoNotDecode) {
  EXPECT_FALSE(DecodeDateTime(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(DecodeDateTime(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(DecodeDateTime(3e6));
  EXPECT_FALSE(DecodeDateTime(-7e5));
  EXPECT_EQ(FormatDateTime("yyyy", 3e6), "");
}

TEST(CalendarDates, AlmostMidnightRoundsIntoTheNextDay) {
  const auto parts = DecodeDateTime(At(2008, 7, 7) + 0.99999999999);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->day, 8);
  EXPECT_EQ(parts->hour, 0);
}

TEST(BuildStamp, TextFormsOfKnownStamps) {
  struct Case {
    std::int32_t stamp;
    const char* text;
  };
  const Case cases[] = {
      {1234567890, "2009.0213.233130"},
      {0, "1970.0101.000000"},
      {-86400, "1969.1231.000000"},
      {1215432000, "2008.0707.120000"},
      {std::numeric_limits<std::int32_t>::min(), "1901.1213.204552"},
      {std::numeric_limits<std::int32_t>::max(), "2038.0119.031407"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime("yyyy.MMdd.hhnnss", DateTimeFromBuildStamp(c.stamp)), c.text);
    EXPECT_EQ(BuildStampFromDateTime(DateTimeFromBuildStamp(c.stamp)), c.stamp) << c.text;
  }
  EXPECT_EQ(BuildStampFromDateTime(At(2008, 7, 7, 12)), 1215432000);
}

TEST(BuildStamp, HalfSecondsRoundToEven) {
  // 1/256 of a day is exactly 337.5 seconds.
  EXPECT_EQ(BuildStampFromDateTime(kUnixEpochDate + 1.0 / 256), 338);
  EXPECT_EQ(BuildStampFromDateTime(kUnixEpochDate + 3.0 / 256), 1012);
  EXPECT_EQ(BuildStampFromDateTime(kUnixEpochDate - 1.0 / 256), -338);
}

TEST(BuildStamp, KeepsTheLow32Bits) {
  // 2038-01-19 03:14:08 is 2^31 seconds: the stored stamp wraps to the lowest number.
  EXPECT_EQ(BuildStampFromDateTime(At(2038, 1, 19, 3, 14, 8)),
            std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(BuildStampFromDateTime(At(2106, 2, 7, 6, 28, 16)), 0);
  EXPECT_EQ(BuildStampFromDateTime(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(FormatDateTime, PatternsOfTheProgram) {
  const DateTime t = At(2008, 7, 5, 9, 3, 7, 45);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t), "2008-07-05 09:03:07");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t, '.'), "2008-07-05 09.03.07");
  EXPECT_EQ(FormatDateTime("yyyy.mmdd.hhnn.ss", t), "2008.0705.0903.07");
  EXPECT_EQ(FormatDateTime("YYYY.MMDD", t), "2008.0705");
  EXPECT_EQ(FormatDateTime("yy d/m h:n:s zzz", t), "08 5/7 9:3:7 045");
  EXPECT_EQ(FormatDateTime("[x]", t), "[x]");
}

TEST(FileTimes, ConvertToCalendarFieldsAndBack) {
  struct Case {
    std::uint64_t ticks;
    SystemTime fields;
  };
  const Case cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {133549776000000000ULL, {2024, 3, 5, 15, 12, 0, 0, 0}},
      {116444736000000000ULL, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {116444736000000000ULL + 1234567, {1970, 1, 4, 1, 0, 0, 0, 123}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileTimeToSystemTime({c.ticks}), c.fields) << c.ticks;
    // Sub-millisecond ticks are lost on the way to fields.
    EXPECT_EQ(SystemTimeToFileTime(c.fields)->ticks, c.ticks - c.ticks % 10000);
  }
  EXPECT_FALSE(FileTimeToSystemTime({0x8000000000000000ULL}));
  EXPECT_TRUE(FileTimeToSystemTime({0x7FFFFFFFFFFFFFFFULL}));
  EXPECT_FALSE(SystemTimeToFileTime({1600, 12, 0, 31, 0, 0, 0, 0}));
  EXPECT_EQ(SystemTimeToFileTime({30828, 9, 0, 14, 2, 48, 5, 477})->ticks,
            0x7FFFFFFFFFFFFFFFULL - 0x7FFFFFFFFFFFFFFFULL % 10000);
  EXPECT_FALSE(SystemTimeToFileTime({30828, 9, 0, 14, 2, 48, 5, 478}));
  EXPECT_FALSE(SystemTimeToFileTime({2001, 2, 0, 29, 0, 0, 0, 0}));
  EXPECT_FALSE(SystemTimeToFileTime({2001, 1, 0, 1, 24, 0, 0, 0}));
}

TEST(FileTimes, SystemTimeAsDateTime) {
  EXPECT_EQ(SystemTimeToDateTime({2008, 7, 1, 7, 12, 0, 0, 0}), At(2008, 7, 7, 12));
  EXPECT_FALSE(SystemTimeToDateTime({2008, 13, 0, 7, 12, 0, 0, 0}));
  EXPECT_EQ(DateTimeToSystemTime(At(2008, 7, 7, 12)), (SystemTime{2008, 7, 1, 7, 12, 0, 0, 0}));
}

TEST(FileTimes, DosDatesCoverOnly1980To2107) {
  auto dos = [](SystemTime st) { return FileTimeToDosDateTime(SystemTimeToFileTime(st).value()); };
  EXPECT_FALSE(dos({1979, 12, 0, 31, 23, 59, 59, 999}));
  const auto first = dos({1980, 1, 0, 1, 0, 0, 0, 0});
  ASSERT_TRUE(first);
  EXPECT_EQ(first->date, 33);
  EXPECT_EQ(first->time, 0);
  const auto last = dos({2107, 12, 0, 31, 23, 59, 59, 0});
  ASSERT_TRUE(last);
  EXPECT_EQ(last->date, (127 << 9) | (12 << 5) | 31);
  EXPECT_EQ(last->time, (23 << 11) | (59 << 5) | 29);
  EXPECT_FALSE(dos({2108, 1, 0, 1, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace sv
