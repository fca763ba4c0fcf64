#include "platform/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <optional>

namespace quillet {

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

std::optional<TDateTime>& FixedNow() {
  static std::optional<TDateTime> fixed;
  return fixed;
}

std::chrono::sys_days Epoch() {
  using namespace std::chrono;
  return sys_days(year{1899} / December / 30);
}

}  // namespace

DateTimeParts DecodeDateTime(TDateTime value) {
  using namespace std::chrono;
  // Days count toward zero; the time of day is the magnitude of the fraction,
  // so a value before the epoch still has a time between 00:00 and 23:59.
  const auto totalMs = static_cast<int64_t>(std::llround(value * kMsPerDay));
  const int64_t dayCount = totalMs / kMsPerDay;
  const int64_t msOfDay = (totalMs < 0 ? -totalMs : totalMs) % kMsPerDay;
  const sys_days date = Epoch() + days{dayCount};
  const year_month_day ymd{date};
  DateTimeParts parts;
  parts.year = static_cast<int>(ymd.year());
  parts.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  parts.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  parts.dayOfWeek = static_cast<int>(weekday{date}.c_encoding());
  parts.hour = static_cast<int>(msOfDay / 3'600'000);
  parts.minute = static_cast<int>(msOfDay / 60'000 % 60);
  parts.second = static_cast<int>(msOfDay / 1000 % 60);
  parts.millisecond = static_cast<int>(msOfDay % 1000);
  return parts;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
  using namespace std::chrono;
  const sys_days date{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                      std::chrono::day{static_cast<unsigned>(day)}};
  const double dayCount = static_cast<double>((date - Epoch()).count());
  const double fraction =
      ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / 86'400.0;
  return dayCount >= 0 ? dayCount + fraction : dayCount - fraction;
}

TDateTime Now() {
  if (FixedNow()) return *FixedNow();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1'000'000));
}

ScopedFixedClock::ScopedFixedClock(TDateTime localNow)
    : hadPrevious_(FixedNow().has_value()), previous_(FixedNow().value_or(0)) {
  FixedNow() = localNow;
}

ScopedFixedClock::~ScopedFixedClock() {
  if (hadPrevious_) {
    FixedNow() = previous_;
  } else {
    FixedNow().reset();
  }
}

}  // namespace quillet
