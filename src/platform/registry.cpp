#include "platform/registry.h"

namespace sv::platform {

std::string_view HiveName(Hive hive) noexcept {
  switch (hive) {
    case Hive::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser:
      return "HKEY_CURRENT_USER";
    case Hive::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case Hive::Users:
      return "HKEY_USERS";
    case Hive::CurrentConfig:
      return "HKEY_CURRENT_CONFIG";
  }
  return {};
}

std::optional<RegValue> Registry::ReadValue(Hive hive, std::string_view path, std::string_view name,
                                            WinError* error) {
  const auto key = OpenKey(hive, path, KeyAccess::Read, error);
  if (!key) return std::nullopt;
  return key->QueryValue(name, error);
}

RegValue DwordValue(std::uint32_t number) {
  RegValue value{kRegDword, std::string(4, '\0')};
  for (int i = 0; i < 4; ++i)
    value.data[static_cast<std::size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return value;
}

}  // namespace sv::platform
