#include "common/publicFun.h"

#include <cstdio>

namespace sv {
namespace {

std::optional<DateTime> TryFileTimeToDate(platform::System& system, FileTime time,
                                          std::uint16_t localFlag) {
  if (localFlag == 1) {
    const auto local = system.FileTimeToLocal(time);
    if (!local) return std::nullopt;
    time = *local;
  }
  const auto fields = FileTimeToSystemTime(time);
  if (!fields) return std::nullopt;
  return SystemTimeToDateTime(*fields);
}

}  // namespace

DateTime FileTimeToDate(platform::System& system, FileTime time, std::uint16_t localFlag) {
  return TryFileTimeToDate(system, time, localFlag).value_or(0.0);
}

DateTime GetFileDate(const platform::Platform& platform, std::string_view path, int selector) {
  const DateTime today = DateOf(SystemTimeToDateTime(platform.system.LocalTimeNow()).value_or(0.0));
  const auto file = platform.files.OpenFile(path, platform::FileAccess::Read, platform::kShareRead,
                                            platform::Disposition::OpenExisting);
  if (!file) {
    platform.messages.ShowMessageBox("Can not open file!", "Error", platform::kMbOk);
    return today;
  }
  const auto times = file->GetTimes();
  if (!times) return today;
  std::optional<DateTime> date;
  switch (selector) {
    case kFileDateCreation:
      date = TryFileTimeToDate(platform.system, times->creation, 0);
      break;
    case kFileDateLastWrite:
      date = TryFileTimeToDate(platform.system, times->lastWrite, 0);
      break;
    case kFileDateLastAccess:
      date = TryFileTimeToDate(platform.system, times->lastAccess, 0);
      break;
    default:
      break;
  }
  return date.value_or(today);
}

std::string GetFileVersion(platform::FileSystem& files, std::string_view path) {
  const auto block = files.ReadVersionResource(path);
  if (!block) return {};
  const auto translations = files.QueryVersionTranslations(*block);
  std::string key;
  if (!translations.empty()) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%04X%04X",
                  static_cast<unsigned>(translations.front() & 0xFFFF),
                  static_cast<unsigned>(translations.front() >> 16));
    key = digits;
  }
  return files.QueryVersionString(*block, "\\StringFileInfo\\" + key + "\\FileVersion")
      .value_or(std::string());
}

}  // namespace sv
