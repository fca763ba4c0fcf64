#pragma once
// The system's time-zone information: the bias of local standard time, the
// extra biases of standard and daylight time, and which of them is in force,
// all in minutes of UTC minus local time. Taken from the system's zone data
// with the TZ variable honoured; tests put a fixed zone in force with
// ScopedTimeZone, or replace the query itself with ScopedTimeZoneQuery.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/DateTime.h"

namespace quillet {

enum class TimeZoneState {
  tzNone,      // the zone has no daylight saving time
  tzStandard,
  tzDaylight,
  tzFailed,    // the system could not tell
};

struct TimeZoneInformation {
  TimeZoneState state = TimeZoneState::tzFailed;
  int32_t bias = 0;
  int32_t standardBias = 0;
  int32_t daylightBias = 0;
};

// The information in force at the given local date and time. Never throws;
// a failure is reported as tzFailed.
TimeZoneInformation QueryTimeZone(TDateTime localTime);

using TimeZoneQuery = std::function<TimeZoneInformation(TDateTime localTime)>;

// Replaces QueryTimeZone's answer while it lives.
class ScopedTimeZoneQuery {
 public:
  explicit ScopedTimeZoneQuery(TimeZoneQuery query);
  ~ScopedTimeZoneQuery();
  ScopedTimeZoneQuery(const ScopedTimeZoneQuery&) = delete;
  ScopedTimeZoneQuery& operator=(const ScopedTimeZoneQuery&) = delete;

 private:
  TimeZoneQuery previous_;
};

// Sets the TZ variable (for example "<+03>-3" or "Europe/Berlin") while it
// lives and restores the previous value, or its absence, afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace quillet
