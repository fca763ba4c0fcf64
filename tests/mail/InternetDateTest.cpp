#include "mail/InternetDate.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/TimeZone.h"

namespace quillet {
namespace {

struct BiasCase {
  const char* name;
  TimeZoneInformation zone;
  const char* offset;
};

void PrintTo(const BiasCase& c, std::ostream* out) { *out << c.name; }

class DateWithZone : public testing::TestWithParam<BiasCase> {};

TEST_P(DateWithZone, WritesTheOffsetInForce) {
  ScopedTimeZoneQuery query([](TDateTime) { return GetParam().zone; });
  EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 12, 9, 16, 5, 7), false),
            std::string("Wed, 9 Dec 2026 16:05:07 ") + GetParam().offset);
}

constexpr auto kNone = TimeZoneState::tzNone;
constexpr auto kStandard = TimeZoneState::tzStandard;
constexpr auto kDaylight = TimeZoneState::tzDaylight;

INSTANTIATE_TEST_SUITE_P(
    Zones, DateWithZone,
    testing::Values(BiasCase{"ThreeAhead", {kNone, -180, 0, 0}, "+0300"},
                    BiasCase{"FiveBehind", {kNone, 300, 0, -60}, "-0500"},
                    BiasCase{"FiveBehindStandard", {kStandard, 300, 0, -60}, "-0500"},
                    BiasCase{"FiveBehindDaylight", {kDaylight, 300, 0, -60}, "-0400"},
                    BiasCase{"FiveAndHalfAhead", {kNone, -330, 0, 0}, "+0530"},
                    BiasCase{"ThreeAndHalfBehind", {kNone, 210, 0, 0}, "-0330"},
                    BiasCase{"TwelveFortyFiveAhead", {kNone, -765, 0, 0}, "+1245"},
                    BiasCase{"Utc", {kNone, 0, 0, 0}, "+0000"},
                    BiasCase{"OneAheadWinter", {kStandard, -60, 0, -60}, "+0100"},
                    BiasCase{"OneAheadSummer", {kDaylight, -60, 0, -60}, "+0200"},
                    BiasCase{"StandardBiasAdded", {kStandard, -60, -30, -60}, "+0130"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InternetDateText, WritesDayWithoutZeroAndTimeWithZeros) {
  ScopedTimeZone zone("<+03>-3");
  EXPECT_EQ(InternetDateText(EncodeDateTime(2027, 1, 1, 9, 5, 3), false),
            "Fri, 1 Jan 2027 09:05:03 +0300");
  EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 3, 1), false), "Sun, 1 Mar 2026 00:00:00 +0300");
  // Cut, not rounded, to whole seconds.
  EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 7, 4, 23, 59, 59, 999), false),
            "Sat, 4 Jul 2026 23:59:59 +0300");
}

TEST(InternetDateText, TakesTheOffsetOfTheDateNotOfToday) {
  ScopedTimeZone zone("Europe/Berlin");
  ScopedFixedClock winterToday(EncodeDateTime(2026, 12, 9, 16, 5, 7));
  EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 7, 1, 10, 0, 0), false),
            "Wed, 1 Jul 2026 10:00:00 +0200");
  EXPECT_EQ(InternetDateText(EncodeDateTime(2026, 1, 1, 10, 0, 0), false),
            "Thu, 1 Jan 2026 10:00:00 +0100");
  EXPECT_DOUBLE_EQ(LocalUtcOffset(), 1.0 / 24);
}

TEST(InternetDateText, FailedZoneQueryRaisesEveryTime) {
  int queries = 0;
  ScopedTimeZoneQuery failing([&queries](TDateTime) {
    ++queries;
    return TimeZoneInformation{TimeZoneState::tzFailed, 0, 0, 0};
  });
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      InternetDateText(EncodeDateTime(2026, 12, 9), false);
      FAIL() << "no error";
    } catch (const EQlFailedToRetreiveTimeZoneInfo& e) {
      EXPECT_EQ(e.Message(), "Failed attempting to retrieve time zone information.");
    }
  }
  EXPECT_EQ(queries, 2);
}

struct OffsetCase {
  const char* name;
  TDateTime offset;
  bool allowGmt;
  const char* text;
};

void PrintTo(const OffsetCase& c, std::ostream* out) { *out << c.name; }

class ZoneOffsetText : public testing::TestWithParam<OffsetCase> {};

TEST_P(ZoneOffsetText, SignHoursAndMinutes) {
  EXPECT_EQ(quillet::ZoneOffsetText(GetParam().offset, GetParam().allowGmt), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ZoneOffsetText,
    testing::Values(OffsetCase{"ZeroWithoutGmt", 0, false, "+0000"},
                    OffsetCase{"ZeroWithGmt", 0, true, "GMT"},
                    OffsetCase{"NonZeroWithGmtAllowed", 3.0 / 24, true, "+0300"},
                    OffsetCase{"Negative", -(5.5 / 24), false, "-0530"},
                    OffsetCase{"SecondsAreCut", (2.0 / 24) + 59.0 / 86400, false, "+0200"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillet
