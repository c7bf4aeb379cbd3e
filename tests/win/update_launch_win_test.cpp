// The automatic update check on the real system: WinINet against the reference service, the
// settings file on disk, and a stand-in "Update.exe" opened by the shell, which leaves a mark.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/update_launch.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_platform.h"
#include "win/updater_files.h"
#include "win/online_service_env.h"
#include "win/temp_folder.h"

namespace sv::app {
namespace {

using online::testing::RequestsReceived;
using online::testing::ServiceBase;

std::string ReadText(const std::string& path) {
  std::ifstream file(std::filesystem::path(win32::Widen(path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(std::filesystem::path(win32::Widen(path)), std::ios::binary | std::ios::trunc)
      << text;
}

struct CheckCase {
  const char* name;
  const char* servicePath;  // after the service's base; "closed" for a port nobody listens on
  WORD programYear;         // the executable's last-write year: 2020 is older than the newest
  bool updaterPresent;
  bool started;
  int result;  // 1: the program is older than the newest the service knows
};

class AutomaticCheckUnderWine : public ::testing::TestWithParam<CheckCase> {
 protected:
  void SetUp() override {
    folder_ = testing::TempFolder() + "\\sv-update-" + GetParam().name;
    ::CreateDirectoryW(win32::Widen(folder_).c_str(), nullptr);
    for (const char* name : {"Update.exe", "update-started.txt", "Settings.ini"})
      ::DeleteFileW(win32::Widen(folder_ + "\\" + name).c_str());
    executable_ = folder_ + "\\Sorvane.exe";
    WriteText(executable_, "MZ");
    ASSERT_TRUE(testing::SetLastWriteYear(win32::Widen(executable_), GetParam().programYear));
    if (GetParam().updaterPresent) {
      ASSERT_TRUE(testing::PutStandInUpdater(win32::Widen(folder_ + "\\Update.exe")))
          << "sv-update-standin.exe is not beside the test program";
    }
    const std::string path = GetParam().servicePath;
    const std::string url =
        path == "closed" ? "http://127.0.0.1:" + std::to_string(online::testing::ClosedPort()) + "/"
                         : ServiceBase() + path;
    settings_ =
        "[Settings]\r\nAuto Update=1\r\n[Update Information]\r\n"
        "Last Time=2001-02-03 04:05:06\r\nService URL=" +
        url + "\r\n";
    WriteText(folder_ + "\\Settings.ini", settings_);
  }

  std::string folder_;
  std::string executable_;
  std::string settings_;
};

TEST_P(AutomaticCheckUnderWine, StartsTheUpdaterOnlyForAnUpdate) {
  const CheckCase& check = GetParam();
  win32::Win32Platform machine;
  platform::Platform platform = machine.Get();
  win32::Win32HttpTransport transport;
  int opened = 0;
  const int before = RequestsReceived("Update");
  const int result = RunUpdateCheck(platform, transport, folder_ + "\\Settings.ini", executable_,
                                    [&](const std::string& updater) {
                                      ++opened;
                                      OpenWithShell(updater);
                                    });
  EXPECT_EQ(result, check.result);
  // One request, and a redirection is not followed by a second one.
  if (std::string(check.servicePath) != "closed") {
    EXPECT_EQ(RequestsReceived("Update"), before + 1);
  }
  const std::string mark = folder_ + "\\update-started.txt";
  if (check.started) {
    EXPECT_EQ(opened, 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadText(mark).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string started = ReadText(mark);
    EXPECT_NE(started.find("Update.exe"), std::string::npos) << "the updater did not start";
    const std::string written = ReadText(folder_ + "\\Settings.ini");
    EXPECT_EQ(written.find("Last Time=2001-02-03 04:05:06"), std::string::npos) << written;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char today[16];
    std::snprintf(today, sizeof today, "%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay);
    EXPECT_NE(written.find(std::string("Last Time=") + today), std::string::npos) << written;
    EXPECT_NE(written.find("Service URL="), std::string::npos) << "the override was lost";
  } else {
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(ReadText(folder_ + "\\Settings.ini"), settings_);
    EXPECT_TRUE(ReadText(mark).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Results, AutomaticCheckUnderWine,
    ::testing::Values(CheckCase{"Older", "/", 2020, true, true, 1},
                      CheckCase{"Current", "/", 2026, true, false, 0},
                      CheckCase{"OlderWithoutUpdater", "/", 2020, false, false, 1},
                      CheckCase{"Maintenance", "/scenario/maintenance/", 2020, true, false, -7},
                      CheckCase{"WrongCode", "/scenario/wrong-code/", 2020, true, false, -4},
                      CheckCase{"OtherSystem", "/scenario/wrong-system/", 2020, true, false, -1},
                      CheckCase{"Redirect", "/scenario/redirect/", 2020, true, false, -999},
                      CheckCase{"HttpError", "/scenario/http-error/", 2020, true, false, -999},
                      CheckCase{"Closed", "closed", 2020, true, false, -999}),
    [](const ::testing::TestParamInfo<CheckCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace sv::app
