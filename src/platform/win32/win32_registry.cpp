#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegValue;
using platform::WinError;

// Longest names the registry allows, plus the terminator.
constexpr DWORD kMaxKeyNameChars = 256;
constexpr DWORD kMaxValueNameChars = 16384;
// A value larger than this is not something an installer wrote for us to read.
constexpr DWORD kMaxValueBytes = 64u << 20;

HKEY RootOf(Hive hive) noexcept {
  switch (hive) {
    case Hive::ClassesRoot:
      return HKEY_CLASSES_ROOT;
    case Hive::CurrentUser:
      return HKEY_CURRENT_USER;
    case Hive::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case Hive::Users:
      return HKEY_USERS;
    case Hive::CurrentConfig:
      return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_CONFIG;
}

// The registry functions refuse a leading backslash; the program's key paths carry one.
// A value's stored bytes as the program sees them (see RegValue).
RegValue ValueOf(DWORD type, const std::vector<BYTE>& buffer) {
  RegValue value;
  value.type = type;
  if (platform::IsSingleStringType(type) || type == REG_MULTI_SZ) {
    std::wstring text(buffer.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), buffer.data(), text.size() * sizeof(wchar_t));
    if (type != REG_MULTI_SZ) {
      const auto end = text.find(L'\0');
      if (end != std::wstring::npos) text.resize(end);
    }
    value.data = Narrow(text);
  } else {
    value.data.assign(reinterpret_cast<const char*>(buffer.data()), buffer.size());
  }
  return value;
}

std::wstring SubKeyPath(std::string_view path) {
  if (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return Widen(path);
}

// Runs one of the registry's "name number i" enumerations with a buffer that fits any name.
template <class Enumerate>
std::optional<std::string> EnumName(DWORD maxChars, Enumerate enumerate,
                                    WinError* error = nullptr) {
  std::wstring name(maxChars, L'\0');
  DWORD length = maxChars;
  if (const LONG result = enumerate(name.data(), &length); result != ERROR_SUCCESS) {
    if (error != nullptr) *error = static_cast<WinError>(result);
    return std::nullopt;
  }
  name.resize(length);
  return Narrow(name);
}

void Report(WinError* error, LONG code) {
  if (error != nullptr) *error = static_cast<WinError>(code);
}

class Win32RegistryKey final : public platform::RegistryKey {
 public:
  explicit Win32RegistryKey(RegKey key) : key_(std::move(key)) {}

  std::optional<std::string> EnumKey(std::uint32_t index, WinError* error) const override {
    return EnumName(
        kMaxKeyNameChars,
        [&](wchar_t* name, DWORD* length) {
          return ::RegEnumKeyExW(key_.Get(), index, name, length, nullptr, nullptr, nullptr,
                                 nullptr);
        },
        error);
  }

  std::optional<std::string> EnumValue(std::uint32_t index) const override {
    return EnumName(kMaxValueNameChars, [&](wchar_t* name, DWORD* length) {
      return ::RegEnumValueW(key_.Get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::optional<RegValue> QueryValue(std::string_view name, WinError* error) const override {
    if (HoldsNul(name)) {
      Report(error, ERROR_INVALID_NAME);
      return std::nullopt;
    }
    const std::wstring wideName = Widen(name);
    std::vector<BYTE> buffer(512);
    DWORD type = REG_NONE;
    LONG result = ERROR_MORE_DATA;
    // The value may grow between two calls; a few rounds settle it.
    for (int round = 0; round < 4 && result == ERROR_MORE_DATA; ++round) {
      DWORD size = static_cast<DWORD>(buffer.size());
      result =
          ::RegQueryValueExW(key_.Get(), wideName.c_str(), nullptr, &type, buffer.data(), &size);
      if (result == ERROR_MORE_DATA) {
        if (size > kMaxValueBytes) break;
        buffer.resize(size);
      } else if (result == ERROR_SUCCESS) {
        buffer.resize(size);
      }
    }
    if (result != ERROR_SUCCESS) {
      Report(error, result);
      return std::nullopt;
    }
    Report(error, ERROR_SUCCESS);
    return ValueOf(type, buffer);
  }

  WinError SetValue(std::string_view name, const RegValue& value) override {
    if (HoldsNul(name)) return platform::kErrorInvalidName;
    const std::wstring wideName = Widen(name);
    LONG result;
    if (platform::IsSingleStringType(value.type) || value.type == REG_MULTI_SZ) {
      std::wstring text = Widen(value.data);
      if (value.type != REG_MULTI_SZ) text.push_back(L'\0');
      result = ::RegSetValueExW(key_.Get(), wideName.c_str(), 0, value.type,
                                reinterpret_cast<const BYTE*>(text.data()),
                                static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    } else {
      result = ::RegSetValueExW(key_.Get(), wideName.c_str(), 0, value.type,
                                reinterpret_cast<const BYTE*>(value.data.data()),
                                static_cast<DWORD>(value.data.size()));
    }
    return static_cast<WinError>(result);
  }

  WinError DeleteValue(std::string_view name) override {
    if (HoldsNul(name)) return platform::kErrorInvalidName;
    return static_cast<WinError>(::RegDeleteValueW(key_.Get(), Widen(name).c_str()));
  }

 private:
  RegKey key_;
};

}  // namespace

std::unique_ptr<platform::RegistryKey> Win32Registry::OpenKey(Hive hive, std::string_view path,
                                                              KeyAccess access, WinError* error) {
  const REGSAM rights = access == KeyAccess::Read
                            ? (STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)
                            : KEY_ALL_ACCESS;
  if (HoldsNul(path)) {
    Report(error, ERROR_INVALID_NAME);
    return nullptr;
  }
  RegKey key;
  const LONG result =
      ::RegOpenKeyExW(RootOf(hive), SubKeyPath(path).c_str(), 0, rights, key.Receive());
  Report(error, result);
  if (result != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(std::move(key));
}

std::optional<RegValue> Win32Registry::ReadValue(Hive hive, std::string_view path,
                                                 std::string_view name, WinError* error) {
  if (HoldsNul(path) || HoldsNul(name)) {
    Report(error, ERROR_INVALID_NAME);
    return std::nullopt;
  }
  const std::wstring subKey = SubKeyPath(path);
  const std::wstring wideName = Widen(name);
  // Environment references stay as stored, as RegQueryValueExW gives them.
  constexpr DWORD kFlags = RRF_RT_ANY | RRF_NOEXPAND;
  std::vector<BYTE> buffer(512);
  DWORD type = REG_NONE;
  LONG result = ERROR_MORE_DATA;
  for (int round = 0; round < 4 && result == ERROR_MORE_DATA; ++round) {
    DWORD size = static_cast<DWORD>(buffer.size());
    result = ::RegGetValueW(RootOf(hive), subKey.c_str(), wideName.c_str(), kFlags, &type,
                            buffer.data(), &size);
    if (result == ERROR_MORE_DATA) {
      if (size > kMaxValueBytes) break;
      buffer.resize(size);
    } else if (result == ERROR_SUCCESS) {
      buffer.resize(size);
    }
  }
  // RegGetValueW adds a terminator where the stored text lacks one; a list of texts keeps its
  // stored characters exactly, so it is read the usual way.
  if (result == ERROR_SUCCESS && type == REG_MULTI_SZ)
    return platform::Registry::ReadValue(hive, path, name, error);
  if (result != ERROR_SUCCESS) {
    Report(error, result);
    return std::nullopt;
  }
  Report(error, ERROR_SUCCESS);
  return ValueOf(type, buffer);
}

std::unique_ptr<platform::RegistryKey> Win32Registry::CreateKey(Hive hive, std::string_view path,
                                                                WinError* error) {
  if (HoldsNul(path)) {
    Report(error, ERROR_INVALID_NAME);
    return nullptr;
  }
  RegKey key;
  const LONG result =
      ::RegCreateKeyExW(RootOf(hive), SubKeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
  Report(error, result);
  if (result != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(std::move(key));
}

WinError Win32Registry::DeleteKey(Hive hive, std::string_view path) {
  if (HoldsNul(path)) return platform::kErrorInvalidName;
  const std::wstring subKey = SubKeyPath(path);
  // An empty name would address the hive itself, which is never ours to delete.
  if (subKey.empty()) return platform::kErrorAccessDenied;
  return static_cast<WinError>(::RegDeleteKeyW(RootOf(hive), subKey.c_str()));
}

}  // namespace sv::win32
