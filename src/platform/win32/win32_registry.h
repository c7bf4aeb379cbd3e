// The registry through the Windows registry functions.
#pragma once

#include "platform/registry.h"

namespace sv::win32 {

class Win32Registry final : public platform::Registry {
 public:
  [[nodiscard]] std::unique_ptr<platform::RegistryKey> OpenKey(
      platform::Hive hive, std::string_view path, platform::KeyAccess access,
      platform::WinError* error = nullptr) override;
  std::unique_ptr<platform::RegistryKey> CreateKey(platform::Hive hive, std::string_view path,
                                                   platform::WinError* error = nullptr) override;
  platform::WinError DeleteKey(platform::Hive hive, std::string_view path) override;
  // RegGetValueW: the key is opened and read in one request.
  [[nodiscard]] std::optional<platform::RegValue> ReadValue(
      platform::Hive hive, std::string_view path, std::string_view name,
      platform::WinError* error = nullptr) override;
};

}  // namespace sv::win32
