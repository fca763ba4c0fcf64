#pragma once
// The text of a message's Date header (RFC 822 section 5), for example
// "Wed, 9 Dec 2026 16:05:07 +0300". Day and month names are fixed English.

#include <string>

#include "platform/DateTime.h"

namespace quillet {

// The local time and the zone offset in force at that time. Raises
// EQlFailedToRetreiveTimeZoneInfo when the zone cannot be queried.
std::string InternetDateText(TDateTime value, bool allowGmt);

// "+hhmm" or "-hhmm"; "GMT" for a zero offset when allowGmt is true.
std::string ZoneOffsetText(TDateTime offset, bool allowGmt);

// The signed offset of local time from UTC, as a fraction of a day; raises
// EQlFailedToRetreiveTimeZoneInfo.
TDateTime LocalUtcOffset();
TDateTime LocalUtcOffsetAt(TDateTime localTime);

}  // namespace quillet
