// An icon list for tests: records which icon of which file was appended, or refuses on demand.
#pragma once

#include <string>
#include <vector>

#include "platform/fake/fake_filesystem.h"
#include "registry/icon_list.h"

namespace sv::testing {

class RecordingIconList final : public registry::IconList {
 public:
  struct Entry {
    std::string file;
    int index = 0;
    int size = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  int AppendIcon(const platform::Icon& icon) override {
    if (refuse) return -1;
    const auto* fakeIcon = dynamic_cast<const fake::FakeIcon*>(&icon);
    entries.push_back(fakeIcon != nullptr ? Entry{fakeIcon->file, fakeIcon->index, fakeIcon->size}
                                          : Entry{"(system icon)", 0, 0});
    return static_cast<int>(entries.size()) - 1;
  }
  void RemoveLastIcon() override {
    if (!entries.empty()) entries.pop_back();
  }

  std::vector<Entry> entries;
  bool refuse = false;
};

}  // namespace sv::testing
