// The update check: one "Update" exchange with the web service that tells whether a newer
// program or database exists. The window's timer, thread, settings and the start of the
// updater sit on top of this and only act on the result.
#pragma once

#include <string>
#include <string_view>

#include "common/datetime.h"
#include "online/form_exchange.h"
#include "platform/http.h"

namespace sv::online {

inline constexpr std::string_view kCommandUpdate = "Update";
inline constexpr std::string_view kUpdaterFileName = "Update.exe";
inline constexpr std::string_view kUpdateCaption = "Update";

// "ProgramVer": the executable's last-write time (a date in UTC, as GetFileDate gives it) as
// whole seconds since 1970-01-01 00:00:00, rounded to the nearest second, in decimal.
[[nodiscard]] std::string ProgramVersionText(DateTime lastWriteUtc);

// One update exchange: System, Command=Update, ProgramVer, DataVer, SoftDataVer, ValCode,
// posted once without following redirections. Greater than 0: an update is available; 0:
// program and database are current; negative: the check failed (-999 for no usable reply).
[[nodiscard]] int CheckUpdateOnline(platform::HttpTransport& transport,
                                    const ExchangeOptions& options, std::string_view programVer,
                                    std::string_view dataVer, std::string_view softDataVer);

// Whether a result asks for the updater (which is then looked for, and started if present).
[[nodiscard]] constexpr bool UpdateAvailable(int result) noexcept {
  return result > 0;
}

// "Update.exe" in the folder of the executable at `executablePath`.
[[nodiscard]] std::string UpdaterPath(std::string_view executablePath);

// The message of the "Online Upgrade" button when there is no updater to start.
[[nodiscard]] std::string PleaseVisitMessage();

}  // namespace sv::online
