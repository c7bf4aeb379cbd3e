#include "online/update_check.h"

#include <cmath>
#include <vector>

namespace sv::online {

std::string ProgramVersionText(DateTime lastWriteUtc) {
  const double seconds = (lastWriteUtc - kUnixEpochDate) * static_cast<double>(kSecondsPerDay);
  return std::to_string(std::llround(seconds));
}

int CheckUpdateOnline(platform::HttpTransport& transport, const ExchangeOptions& options,
                      std::string_view programVer, std::string_view dataVer,
                      std::string_view softDataVer) {
  const std::vector<FormLine> data = {{"ProgramVer", std::string(programVer)},
                                      {"DataVer", std::string(dataVer)},
                                      {"SoftDataVer", std::string(softDataVer)}};
  return PerformFormExchange(transport, options, kCommandUpdate, data, /*followRedirects=*/false);
}

std::string UpdaterPath(std::string_view executablePath) {
  const auto slash = executablePath.find_last_of("\\/");
  std::string path(slash == std::string_view::npos ? std::string_view()
                                                   : executablePath.substr(0, slash + 1));
  path += kUpdaterFileName;
  return path;
}

std::string PleaseVisitMessage() {
  return "Please visit " + std::string(kVendorWebSite) + " download updates!";
}

}  // namespace sv::online
