// The start of the external updater and the automatic update check's work, apart from the
// thread and the shell that run them, so both are tested on the fake machine.
#pragma once

#include <functional>
#include <string>

#include "platform/http.h"
#include "platform/platform.h"

namespace sv::app {

// Opens the updater file: the shell on Windows, a recorder in tests. Its failure is not
// examined; the program neither waits for the updater nor ends.
using OpenUpdater = std::function<void(const std::string& updaterPath)>;

#ifdef _WIN32
// The shell opens the updater ("open", no owner window, no parameters, SW_SHOWNORMAL).
void OpenWithShell(const std::string& updaterPath);
#endif

// Records the start as "Last Time" in the settings file, then opens "Update.exe" beside the
// executable. When the record cannot be written the updater is opened all the same, and then
// the write's Error is thrown.
void LaunchUpdater(platform::Platform& platform, const std::string& settingsPath,
                   const std::string& executablePath, const OpenUpdater& open);

// One automatic check: the executable's and the database's versions, one exchange with the
// service the settings name, and the updater started when the service reports something newer
// and the updater file is there (looked for now, never remembered). Returns the exchange's
// result. Shows nothing; a failure only means nothing is started and nothing is written.
int RunUpdateCheck(platform::Platform& platform, platform::HttpTransport& transport,
                   const std::string& settingsPath, const std::string& executablePath,
                   const OpenUpdater& open);

}  // namespace sv::app
