// File dates and version texts, shared by the main window and the online services.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"
#include "platform/platform.h"

namespace sv {

// Which of a file's three times GetFileDate reads.
inline constexpr int kFileDateCreation = 1;
inline constexpr int kFileDateLastWrite = 2;
inline constexpr int kFileDateLastAccess = 3;

// A file time as a DateTime; with `localFlag` 1 the time is first moved into the local time
// zone, with any other value it stays in UTC. A file time that stands for no calendar date
// gives 0.
[[nodiscard]] DateTime FileTimeToDate(platform::System& system, FileTime time,
                                      std::uint16_t localFlag);

// One of the file's times in UTC, chosen by `selector` (kFileDate...). Today's local date at
// midnight when the selector is another number or the times cannot be read; when the file
// cannot be opened also, after the message box "Can not open file!" (no owner window).
[[nodiscard]] DateTime GetFileDate(const platform::Platform& platform, std::string_view path,
                                   int selector);

// The "FileVersion" text of the file's version resource, in the string table of its first
// translation; empty when the file has no resource, no translation table or no such text.
[[nodiscard]] std::string GetFileVersion(platform::FileSystem& files, std::string_view path);

}  // namespace sv
