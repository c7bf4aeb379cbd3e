#include "platform/fake/fake_system.h"

#include <limits>

#include "common/codepage.h"

namespace sv::fake {

std::string FakeSystem::SpecialFolder(int csidl) {
  const auto it = specialFolders.find(csidl);
  return it == specialFolders.end() ? std::string() : it->second;
}

SystemTime FakeSystem::LocalTimeNow() {
  const auto local = FileTimeToLocal(clock_.UtcNow());
  return FileTimeToSystemTime(local.value_or(clock_.UtcNow())).value_or(SystemTime{});
}

std::optional<FileTime> FakeSystem::FileTimeToLocal(FileTime utc) {
  constexpr auto kLast = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto offset = static_cast<std::int64_t>(clock_.LocalOffsetMinutes()) * 60 *
                      static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  // Like the system, refuse what would leave the range of file times.
  if (utc.ticks > kLast) return std::nullopt;
  if (offset < 0 && utc.ticks < static_cast<std::uint64_t>(-offset)) return std::nullopt;
  if (offset > 0 && utc.ticks > kLast - static_cast<std::uint64_t>(offset)) return std::nullopt;
  return FileTime{static_cast<std::uint64_t>(static_cast<std::int64_t>(utc.ticks) + offset)};
}

std::string FakeSystem::AnsiToUtf8(std::string_view bytes) {
  return Cp1252ToUtf8(bytes);
}

std::string FakeSystem::Utf8ToAnsi(std::string_view text) {
  return Utf8ToCp1252(text);
}

std::string FakeSystem::ShortMonthName(int month) {
  if (month < 1 || month > 12 || static_cast<std::size_t>(month) > shortMonthNames.size()) {
    return {};
  }
  return shortMonthNames[static_cast<std::size_t>(month - 1)];
}

void FakeSystem::Sleep(std::uint32_t milliseconds) {
  clock_.Advance(static_cast<std::uint64_t>(milliseconds) * (kFileTimeTicksPerSecond / 1000));
  sleptMilliseconds += milliseconds;
  sleeps.push_back(milliseconds);
  if (onSleep) onSleep(milliseconds);
}

}  // namespace sv::fake
