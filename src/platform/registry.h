// The registry as the program sees it: hives, keys opened below them, values read and written.
// Key and value names compare without regard to letter case, as on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace sv::platform {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// "HKEY_LOCAL_MACHINE" and so on.
[[nodiscard]] std::string_view HiveName(Hive hive) noexcept;

// Read: query values and enumerate sub-keys (the rights a presence test needs).
// AllAccess: everything, including writing and deleting values.
enum class KeyAccess { Read, AllAccess };

using ValueType = std::uint32_t;
inline constexpr ValueType kRegNone = 0;
inline constexpr ValueType kRegSz = 1;
inline constexpr ValueType kRegExpandSz = 2;
inline constexpr ValueType kRegBinary = 3;
inline constexpr ValueType kRegDword = 4;
inline constexpr ValueType kRegMultiSz = 7;
inline constexpr ValueType kRegQword = 11;

[[nodiscard]] constexpr bool IsSingleStringType(ValueType type) noexcept {
  return type == kRegSz || type == kRegExpandSz;
}

// A value's type and data. For kRegSz and kRegExpandSz, `data` is the text (UTF-8) up to the
// first NUL character: stored terminators, and anything a broken writer left after one, are
// not part of it. For kRegMultiSz it is every stored character, NULs included. For every
// other type it is the stored bytes.
struct RegValue {
  ValueType type = kRegNone;
  std::string data;
  friend bool operator==(const RegValue&, const RegValue&) = default;
};

[[nodiscard]] inline RegValue StringValue(std::string_view text) {
  return {kRegSz, std::string(text)};
}
[[nodiscard]] RegValue DwordValue(std::uint32_t number);

// An open key. Closed when destroyed.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // The name of sub-key or value number `index` in the registry's enumeration order; empty
  // past the last one (or when the key cannot be read any more). `error` tells the two apart:
  // kErrorNoMoreItems past the last one.
  [[nodiscard]] virtual std::optional<std::string> EnumKey(std::uint32_t index,
                                                           WinError* error = nullptr) const = 0;
  [[nodiscard]] virtual std::optional<std::string> EnumValue(std::uint32_t index) const = 0;

  // Empty when there is no value of that name. An empty name is the key's default value.
  [[nodiscard]] virtual std::optional<RegValue> QueryValue(std::string_view name,
                                                           WinError* error = nullptr) const = 0;

  // Strings are stored with a terminating NUL; kRegMultiSz data is stored as given.
  virtual WinError SetValue(std::string_view name, const RegValue& value) = 0;
  virtual WinError DeleteValue(std::string_view name) = 0;

  WinError SetStringValue(std::string_view name, std::string_view text) {
    return SetValue(name, StringValue(text));
  }
};

class Registry {
 public:
  virtual ~Registry() = default;

  // `path` lies below the hive's root; one leading backslash is allowed ("\Software\X" and
  // "Software\X" name the same key), empty names the root itself. Never creates anything:
  // a missing key is a failure (null, with the reason in `error`).
  [[nodiscard]] virtual std::unique_ptr<RegistryKey> OpenKey(Hive hive, std::string_view path,
                                                             KeyAccess access,
                                                             WinError* error = nullptr) = 0;

  // Opens the key, creating it and any missing parents first (the key handle may be dropped).
  virtual std::unique_ptr<RegistryKey> CreateKey(Hive hive, std::string_view path,
                                                 WinError* error = nullptr) = 0;

  // Deletes one key that has no sub-keys (a key with sub-keys is refused: access denied).
  virtual WinError DeleteKey(Hive hive, std::string_view path) = 0;

  // One value of the key at `path`, as the key's QueryValue gives it, in one request: a
  // search that reads one value of each of many keys asks half as often. Empty when the key
  // or the value is missing (the reason in `error`).
  [[nodiscard]] virtual std::optional<RegValue> ReadValue(Hive hive, std::string_view path,
                                                          std::string_view name,
                                                          WinError* error = nullptr);
};

}  // namespace sv::platform
