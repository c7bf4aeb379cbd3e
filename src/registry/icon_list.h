// The image lists that program icons go into. The window's data module implements this over
// its two common-control image lists; the console and the tests use their own.
#pragma once

#include "platform/filesystem.h"

namespace sv::registry {

class IconList {
 public:
  virtual ~IconList() = default;
  // Appends a copy of the icon at the end (the caller releases its own). The position it got,
  // or -1 when the list refused it.
  virtual int AppendIcon(const platform::Icon& icon) = 0;
  // Takes back the icon just appended, when its partner could not go into the other list.
  virtual void RemoveLastIcon() = 0;
};

// A list that keeps nothing but the count, for callers that show no icons.
class CountingIconList final : public IconList {
 public:
  int AppendIcon(const platform::Icon&) override { return count_++; }
  void RemoveLastIcon() override {
    if (count_ > 0) --count_;
  }
  [[nodiscard]] int Count() const noexcept { return count_; }

 private:
  int count_ = 0;
};

}  // namespace sv::registry
