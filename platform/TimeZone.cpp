#include "platform/TimeZone.h"

#include <cstdlib>
#include <ctime>

namespace quillet {

namespace {

TimeZoneQuery& Replacement() {
  static TimeZoneQuery query;
  return query;
}

struct ZoneSample {
  bool ok = false;
  bool daylight = false;
  long offsetSeconds = 0;  // east of UTC
};

ZoneSample SampleAt(time_t instant) {
  tm local{};
  ZoneSample sample;
  if (localtime_r(&instant, &local) == nullptr || local.tm_isdst < 0) return sample;
  sample.ok = true;
  sample.daylight = local.tm_isdst > 0;
  sample.offsetSeconds = local.tm_gmtoff;
  return sample;
}

std::optional<time_t> LocalToInstant(TDateTime localTime) {
  const DateTimeParts parts = DecodeDateTime(localTime);
  tm local{};
  local.tm_year = parts.year - 1900;
  local.tm_mon = parts.month - 1;
  local.tm_mday = parts.day;
  local.tm_hour = parts.hour;
  local.tm_min = parts.minute;
  local.tm_sec = parts.second;
  local.tm_isdst = -1;
  const time_t instant = mktime(&local);
  if (instant == static_cast<time_t>(-1) && local.tm_isdst < 0) return std::nullopt;
  return instant;
}

// The first sample of the year around the instant whose daylight flag is the
// one asked for: the zone's other offset, when it has one that year.
std::optional<long> OtherOffsetOfYear(time_t instant, bool daylight) {
  tm local{};
  if (localtime_r(&instant, &local) == nullptr) return std::nullopt;
  for (int month = 0; month < 12; ++month) {
    tm probe{};
    probe.tm_year = local.tm_year;
    probe.tm_mon = month;
    probe.tm_mday = 15;
    probe.tm_hour = 12;
    probe.tm_isdst = -1;
    const ZoneSample sample = SampleAt(mktime(&probe));
    if (sample.ok && sample.daylight == daylight) return sample.offsetSeconds;
  }
  return std::nullopt;
}

TimeZoneInformation SystemQuery(TDateTime localTime) {
  tzset();
  TimeZoneInformation info;
  const auto instant = LocalToInstant(localTime);
  if (!instant) return info;
  const ZoneSample now = SampleAt(*instant);
  if (!now.ok) return info;
  long standardOffset = now.offsetSeconds;
  long daylightOffset = now.offsetSeconds;
  if (now.daylight) {
    info.state = TimeZoneState::tzDaylight;
    standardOffset = OtherOffsetOfYear(*instant, false).value_or(now.offsetSeconds - 3600);
  } else if (const auto other = OtherOffsetOfYear(*instant, true)) {
    info.state = TimeZoneState::tzStandard;
    daylightOffset = *other;
  } else {
    info.state = TimeZoneState::tzNone;
  }
  info.bias = static_cast<int32_t>(-standardOffset / 60);
  info.daylightBias = static_cast<int32_t>(-(daylightOffset - standardOffset) / 60);
  return info;
}

}  // namespace

TimeZoneInformation QueryTimeZone(TDateTime localTime) {
  if (Replacement()) return Replacement()(localTime);
  return SystemQuery(localTime);
}

ScopedTimeZoneQuery::ScopedTimeZoneQuery(TimeZoneQuery query)
    : previous_(std::move(Replacement())) {
  Replacement() = std::move(query);
}

ScopedTimeZoneQuery::~ScopedTimeZoneQuery() { Replacement() = std::move(previous_); }

ScopedTimeZone::ScopedTimeZone(const std::string& tz) {
  if (const char* current = std::getenv("TZ")) previous_ = current;
  setenv("TZ", tz.c_str(), 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (previous_) {
    setenv("TZ", previous_->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace quillet
