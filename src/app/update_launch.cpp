#include "app/update_launch.h"

#include <optional>

#include "app/settings.h"
#include "common/error.h"
#include "common/publicFun.h"
#include "database/opUninstallFile.h"
#include "online/update_check.h"

namespace sv::app {

void LaunchUpdater(platform::Platform& platform, const std::string& settingsPath,
                   const std::string& executablePath, const OpenUpdater& open) {
  // The record is bookkeeping: a settings file that cannot be written must not keep the user
  // from the update. Its error is still reported, once the updater is on its way.
  std::optional<Error> unrecorded;
  try {
    WriteLastUpdateTime(platform, settingsPath);
  } catch (const Error& error) {
    unrecorded = error;
  }
  open(online::UpdaterPath(executablePath));
  if (unrecorded) throw *unrecorded;
}

int RunUpdateCheck(platform::Platform& platform, platform::HttpTransport& transport,
                   const std::string& settingsPath, const std::string& executablePath,
                   const OpenUpdater& open) {
  const std::string programVer =
      online::ProgramVersionText(GetFileDate(platform, executablePath, kFileDateLastWrite));
  std::string dataVer;
  std::string softDataVer;
  {
    // Read and let go before the exchange, which may take up to its read time-out.
    database::TUFileOp database(platform);
    dataVer = database.GetDataVersion(1);
    softDataVer = database.GetSoftDataVersion(1);
  }
  const int result = online::CheckUpdateOnline(
      transport, online::ExchangeOptions::ForSetting(ReadServiceUrlSetting(platform, settingsPath)),
      programVer, dataVer, softDataVer);
  if (online::UpdateAvailable(result) &&
      platform::PathExists(platform.files, online::UpdaterPath(executablePath))) {
    LaunchUpdater(platform, settingsPath, executablePath, open);
  }
  return result;
}

}  // namespace sv::app
