// The program's one error type. Its message is the text the user is shown ("Cannot open file
// C:\...\SV.dat", "Invalid data type for 'DisplayName'"), so callers can put it in a message box
// or on stderr unchanged.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace sv {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The program's messages are written with one "%s" for the name they are about.
[[nodiscard]] inline std::string FillPlaceholder(std::string_view pattern, std::string_view arg) {
  std::string text(pattern);
  if (const auto at = text.find("%s"); at != std::string::npos) {
    text.replace(at, 2, arg);
  }
  return text;
}

}  // namespace sv
