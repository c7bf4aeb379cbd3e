#include "platform/fake/fake_system.h"

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
  const auto offset = static_cast<std::int64_t>(clock_.LocalOffsetMinutes()) * 60 *
                      static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  const auto ticks = static_cast<std::int64_t>(utc.ticks) + offset;
  if (ticks < 0 || static_cast<std::uint64_t>(utc.ticks) > (1ULL << 63)) return std::nullopt;
  return FileTime{static_cast<std::uint64_t>(ticks)};
}

std::string FakeSystem::AnsiToUtf8(std::string_view bytes) {
  return Cp1252ToUtf8(bytes);
}

std::string FakeSystem::Utf8ToAnsi(std::string_view text) {
  return Utf8ToCp1252(text);
}

}  // namespace sv::fake
