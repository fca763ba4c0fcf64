#include "platform/TimeZone.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/DateTime.h"

namespace quillet {
namespace {

TEST(DateTime, DecodesCalendarAndTimeOfDay) {
  const DateTimeParts parts = DecodeDateTime(EncodeDateTime(2026, 12, 9, 16, 5, 7, 250));
  EXPECT_EQ(parts.year, 2026);
  EXPECT_EQ(parts.month, 12);
  EXPECT_EQ(parts.day, 9);
  EXPECT_EQ(parts.dayOfWeek, 3);  // Wednesday
  EXPECT_EQ(parts.hour, 16);
  EXPECT_EQ(parts.minute, 5);
  EXPECT_EQ(parts.second, 7);
  EXPECT_EQ(parts.millisecond, 250);

  const DateTimeParts epoch = DecodeDateTime(0);
  EXPECT_EQ(epoch.year, 1899);
  EXPECT_EQ(epoch.month, 12);
  EXPECT_EQ(epoch.day, 30);
  EXPECT_EQ(epoch.dayOfWeek, 6);  // Saturday
  EXPECT_EQ(EncodeDateTime(2000, 1, 1), 36526.0);
}

TEST(DateTime, RoundsToTheMillisecondBeforeCutting) {
  const TDateTime almost = EncodeDateTime(2026, 12, 31, 23, 59, 59) + 0.9996 / 86400;
  const DateTimeParts parts = DecodeDateTime(almost);
  EXPECT_EQ(parts.year, 2027);
  EXPECT_EQ(parts.day, 1);
  EXPECT_EQ(parts.hour, 0);
  EXPECT_EQ(parts.second, 0);
  EXPECT_EQ(DecodeDateTime(EncodeDateTime(2026, 1, 1, 9, 5, 3, 999)).second, 3);
}

TEST(Clock, FixedClockNestsAndRestores) {
  const TDateTime a = EncodeDateTime(2026, 12, 9, 16, 5, 7);
  const TDateTime b = EncodeDateTime(2020, 1, 1);
  {
    ScopedFixedClock outer(a);
    EXPECT_EQ(Now(), a);
    {
      ScopedFixedClock inner(b);
      EXPECT_EQ(Now(), b);
    }
    EXPECT_EQ(Now(), a);
  }
  EXPECT_GT(Now(), EncodeDateTime(2024, 1, 1));  // the real clock again
}

struct ZoneCase {
  const char* name;
  const char* tz;
  int month;
  TimeZoneState state;
  int32_t bias;
  int32_t daylightBias;
};

void PrintTo(const ZoneCase& c, std::ostream* out) { *out << c.name; }

class SystemTimeZone : public testing::TestWithParam<ZoneCase> {};

TEST_P(SystemTimeZone, ReportsTheZoneInForceAtTheDate) {
  const auto& c = GetParam();
  ScopedTimeZone zone(c.tz);
  const TimeZoneInformation info = QueryTimeZone(EncodeDateTime(2026, c.month, 15, 12, 0, 0));
  EXPECT_EQ(info.state, c.state);
  EXPECT_EQ(info.bias, c.bias);
  EXPECT_EQ(info.standardBias, 0);
  EXPECT_EQ(info.daylightBias, c.daylightBias);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, SystemTimeZone,
    testing::Values(
        ZoneCase{"FixedPlusThree", "<+03>-3", 12, TimeZoneState::tzNone, -180, 0},
        ZoneCase{"Utc", "UTC0", 7, TimeZoneState::tzNone, 0, 0},
        ZoneCase{"KolkataHalfHour", "Asia/Kolkata", 7, TimeZoneState::tzNone, -330, 0},
        ZoneCase{"BerlinWinter", "Europe/Berlin", 1, TimeZoneState::tzStandard, -60, -60},
        ZoneCase{"BerlinSummer", "Europe/Berlin", 7, TimeZoneState::tzDaylight, -60, -60},
        ZoneCase{"NewYorkWinter", "America/New_York", 12, TimeZoneState::tzStandard, 300, -60},
        ZoneCase{"NewYorkSummer", "America/New_York", 6, TimeZoneState::tzDaylight, 300, -60},
        ZoneCase{"PosixRuleSummer", "EST5EDT,M3.2.0,M11.1.0", 7, TimeZoneState::tzDaylight, 300,
                 -60}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScopedTimeZone, RestoresThePreviousValueOrItsAbsence) {
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "";
  unsetenv("TZ");
  {
    ScopedTimeZone outer("Europe/Berlin");
    {
      ScopedTimeZone inner("<+03>-3");
      EXPECT_STREQ(std::getenv("TZ"), "<+03>-3");
    }
    EXPECT_STREQ(std::getenv("TZ"), "Europe/Berlin");
  }
  EXPECT_EQ(std::getenv("TZ"), nullptr);
  if (before) setenv("TZ", saved.c_str(), 1);
}

TEST(ScopedTimeZoneQuery, ReplacesTheSystemAnswerWhileItLives) {
  ScopedTimeZone zone("<+03>-3");
  {
    ScopedTimeZoneQuery fake([](TDateTime) { return TimeZoneInformation{}; });
    EXPECT_EQ(QueryTimeZone(0).state, TimeZoneState::tzFailed);
  }
  EXPECT_EQ(QueryTimeZone(EncodeDateTime(2026, 1, 1)).bias, -180);
}

}  // namespace
}  // namespace quillet
