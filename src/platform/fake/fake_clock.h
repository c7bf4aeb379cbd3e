// The fake machine's clock and time zone, shared by its file system and its system services.
#pragma once

#include "common/datetime.h"

namespace sv::fake {

class FakeClock {
 public:
  // 2024-03-15 12:00:00 UTC: a fixed, ordinary day unless a test sets another.
  static constexpr FileTime kDefaultNow{133549776000000000ULL};

  [[nodiscard]] FileTime UtcNow() const noexcept { return now_; }
  void SetUtcNow(FileTime now) noexcept { now_ = now; }
  void Advance(std::uint64_t ticks) noexcept { now_.ticks += ticks; }

  // Minutes to add to UTC to get local time (UTC+01:00 is 60).
  [[nodiscard]] int LocalOffsetMinutes() const noexcept { return offsetMinutes_; }
  void SetLocalOffsetMinutes(int minutes) noexcept { offsetMinutes_ = minutes; }

 private:
  FileTime now_ = kDefaultNow;
  int offsetMinutes_ = 0;
};

}  // namespace sv::fake
