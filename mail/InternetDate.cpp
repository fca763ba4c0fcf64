#include "mail/InternetDate.h"

#include <cmath>
#include <cstdio>

#include "platform/Errors.h"
#include "platform/TimeZone.h"

namespace quillet {

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int32_t BiasInForce(const TimeZoneInformation& info) {
  switch (info.state) {
    case TimeZoneState::tzNone:
      return info.bias;
    case TimeZoneState::tzStandard:
      return info.bias + info.standardBias;
    case TimeZoneState::tzDaylight:
      return info.bias + info.daylightBias;
    default:
      throw EQlFailedToRetreiveTimeZoneInfo();
  }
}

}  // namespace

std::string InternetDateText(TDateTime value, bool allowGmt) {
  const DateTimeParts parts = DecodeDateTime(value);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %d %s %d %02d:%02d:%02d ", kDayNames[parts.dayOfWeek],
                parts.day, kMonthNames[parts.month - 1], parts.year, parts.hour, parts.minute,
                parts.second);
  // The offset of the date being written, not of today: a date on the other
  // side of a daylight-saving change has another offset.
  return text + ZoneOffsetText(LocalUtcOffsetAt(value), allowGmt);
}

std::string ZoneOffsetText(TDateTime offset, bool allowGmt) {
  if (offset == 0 && allowGmt) return "GMT";
  // Rounded to the millisecond, then cut to whole minutes, as the runtime's
  // time decomposition does.
  const long long ms = std::llround(std::fabs(offset) * 86'400'000.0);
  char text[16];
  std::snprintf(text, sizeof text, "%c%02lld%02lld", offset < 0 ? '-' : '+', ms / 3'600'000 % 24,
                ms / 60'000 % 60);
  return text;
}

TDateTime LocalUtcOffset() { return LocalUtcOffsetAt(Now()); }

TDateTime LocalUtcOffsetAt(TDateTime localTime) {
  const int32_t bias = BiasInForce(QueryTimeZone(localTime));
  return -bias / (24.0 * 60.0);
}

}  // namespace quillet
