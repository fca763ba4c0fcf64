#pragma once
// The platform's date-time value, its calendar decomposition and the local
// clock. Tests fix "now" with ScopedFixedClock so whole outputs can be compared.

#include <cstdint>

namespace quillet {

// The platform's floating count of days since 30 December 1899; the fraction
// is the time of day.
using TDateTime = double;

struct DateTimeParts {
  int year = 1899;
  int month = 12;      // 1 to 12
  int day = 30;        // 1 to 31
  int dayOfWeek = 6;   // 0 is Sunday
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// The value is rounded to the millisecond first, as the runtime does.
DateTimeParts DecodeDateTime(TDateTime value);
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0, int millisecond = 0);

// The current local time (the TZ variable honoured), or the time fixed by the
// innermost ScopedFixedClock.
TDateTime Now();

class ScopedFixedClock {
 public:
  explicit ScopedFixedClock(TDateTime localNow);
  ~ScopedFixedClock();
  ScopedFixedClock(const ScopedFixedClock&) = delete;
  ScopedFixedClock& operator=(const ScopedFixedClock&) = delete;

 private:
  bool hadPrevious_;
  TDateTime previous_;
};

}  // namespace quillet
