// Names for parameterised test cases.
#pragma once

#include <string>
#include <string_view>

namespace sv::testing {

// A test name from a case's text, letters and digits only, so CTest lists it readably.
[[nodiscard]] inline std::string Plain(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  return name.substr(0, 60);
}

}  // namespace sv::testing
