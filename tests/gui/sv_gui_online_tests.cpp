// The window's online side against the reference service, which run_gui_tests.py ("online")
// starts on loopback and names in SV_TEST_SERVICE_URL: the automatic update check after the
// first showing, "Online Upgrade" and the tray's "Update Online" with a stand-in updater that
// leaves a mark, the submission form's messages, and the operating system it preselects.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/tray_menu_ids.h"
#include "gui_driver.h"
#include "sorvane_session.h"
#include "win/updater_files.h"
#include "win/online_service_env.h"

namespace sv::gui {
namespace {

using online::testing::RequestsReceived;
using online::testing::ServiceBase;

// The check runs 30 s after the first showing; it has ended well within this.
constexpr Milliseconds kCheckTimeout{75000};

std::wstring AppFile(const wchar_t* name) {
  return Folder(g_options.app) + L"\\" + name;
}

std::wstring MarkPath() {
  return AppFile(L"update-started.txt");
}

// Lines the stand-in updater wrote, one per start.
int UpdaterStarts() {
  const std::string mark = ReadFile(MarkPath());
  int lines = 0;
  for (const char c : mark)
    lines += c == '\n' ? 1 : 0;
  return lines;
}


// Today's date as "Last Time" starts ("yyyy-mm-dd ").
std::string TodayPrefix() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  char text[16];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay);
  return text;
}

constexpr char kOldLastTime[] = "Last Time=2001-02-03 04:05:06";

class Online : public SorvaneSession {
 protected:
  void SetUp() override {
    SorvaneSession::SetUp();
    ASSERT_FALSE(ServiceBase().empty()) << "run through run_gui_tests.py online";
    ::DeleteFileW(MarkPath().c_str());
    ::DeleteFileW(AppFile(L"Update.exe").c_str());
  }

  void TearDown() override {
    SorvaneSession::TearDown();
    ::DeleteFileW(AppFile(L"Update.exe").c_str());
    // A newer executable again, so that the next case finds the program current.
    EXPECT_TRUE(testing::SetLastWriteYear(g_options.app, 2026));
  }

  void PutUpdater() {
    ASSERT_TRUE(testing::PutStandInUpdater(AppFile(L"Update.exe")))
        << "sv-update-standin.exe is not beside the tests";
  }

  // The settings file the case starts with; the service under `path` of its base.
  std::string PutSettings(int autoUpdate, const std::string& path) {
    const std::string text =
        "[Settings]\r\nView Style=2\r\nAuto Update=" + std::to_string(autoUpdate) +
        "\r\n[Update Information]\r\n" + kOldLastTime + "\r\nService URL=" + ServiceBase() + path +
        "\r\n";
    std::ofstream(std::filesystem::path(SettingsPath()), std::ios::binary | std::ios::trunc)
        << text;
    return text;
  }
};

struct AutomaticCase {
  const char* name;
  int autoUpdate;
  const char* path;     // the service's form under its base
  WORD programYear;     // 2020: older than the newest the service knows
  int requests;         // update requests the service receives
  bool updaterStarted;  // and then "Last Time" is today's
};

class OnlineAutomaticCheck : public Online, public ::testing::WithParamInterface<AutomaticCase> {};

TEST_P(OnlineAutomaticCheck, RunsOnceAfterTheFirstShowingAndActsOnlyOnAnUpdate) {
  const AutomaticCase& check = GetParam();
  PutUpdater();
  ASSERT_TRUE(testing::SetLastWriteYear(g_options.app, check.programYear));
  const std::string settings = PutSettings(check.autoUpdate, check.path);
  const int before = RequestsReceived("Update");
  ASSERT_GE(before, 0) << "the service cannot be asked";
  Start(/*keepSettings=*/true);
  // Nothing is asked at start: the timer waits 30 s.
  std::this_thread::sleep_for(std::chrono::seconds(10));
  EXPECT_EQ(RequestsReceived("Update"), before) << "a request before the timer's first tick";
  if (check.requests > 0) {
    EXPECT_TRUE(WaitUntil([&] { return RequestsReceived("Update") >= before + 1; }, kCheckTimeout))
        << "no update request";
  } else {
    // Well past the tick: still nothing.
    std::this_thread::sleep_for(std::chrono::seconds(35));
  }
  if (check.updaterStarted) {
    EXPECT_TRUE(WaitUntil([] { return UpdaterStarts() >= 1; }, Milliseconds{20000}))
        << "the updater did not start";
  }
  // Once per start: no retry and no second tick.
  std::this_thread::sleep_for(std::chrono::seconds(5));
  EXPECT_EQ(RequestsReceived("Update"), before + check.requests);
  EXPECT_EQ(UpdaterStarts(), check.updaterStarted ? 1 : 0);
  const std::string written = ReadFile(SettingsPath());
  if (check.updaterStarted) {
    EXPECT_NE(written.find("Last Time=" + TodayPrefix()), std::string::npos) << written;
    EXPECT_NE(written.find("Service URL="), std::string::npos) << written;
  } else {
    EXPECT_EQ(written, settings);
  }
  EXPECT_TRUE(MessageBoxes(process_->Id()).empty()) << "the automatic check showed a message";
  EXPECT_EQ(Page(), "welcome");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OnlineAutomaticCheck,
    ::testing::Values(AutomaticCase{"UpdateAvailable", 1, "/", 2020, 1, true},
                      AutomaticCase{"Current", 1, "/", 2026, 1, false},
                      AutomaticCase{"Refused", 1, "/scenario/wrong-code/", 2020, 1, false},
                      // The check never follows a redirection: one request, nothing started.
                      AutomaticCase{"Redirected", 1, "/scenario/redirect/", 2020, 1, false},
                      AutomaticCase{"Off", 0, "/", 2020, 0, false}),
    [](const ::testing::TestParamInfo<AutomaticCase>& param) {
      return std::string(param.param.name);
    });

class OnlineUpgrade : public Online, public ::testing::WithParamInterface<bool> {
 protected:
  // The button, or the tray menu's "Update Online", which does exactly what it does.
  void Press() {
    if (GetParam()) {
      ::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(app::kMenuUpdateOnline1, 0), 0);
    } else {
      ASSERT_TRUE(Click(C(ids::sbtnUpdate)));
    }
  }
};

TEST_P(OnlineUpgrade, StartsTheUpdaterAtOnceWithoutAskingTheService) {
  PutUpdater();
  PutSettings(0, "/");
  const int before = RequestsReceived("Update");
  Start(/*keepSettings=*/true);
  Press();
  EXPECT_TRUE(WaitUntil([] { return UpdaterStarts() == 1; }, Milliseconds{20000}))
      << "the updater did not start";
  const std::string written = ReadFile(SettingsPath());
  EXPECT_NE(written.find("Last Time=" + TodayPrefix()), std::string::npos) << written;
  EXPECT_EQ(written.find(kOldLastTime), std::string::npos);
  EXPECT_EQ(RequestsReceived("Update"), before);
  EXPECT_TRUE(MessageBoxes(process_->Id()).empty());
}

TEST_P(OnlineUpgrade, WithoutAnUpdaterAsksTheUserToVisitAndWritesNothing) {
  const std::string settings = PutSettings(0, "/");
  const int before = RequestsReceived("Update");
  Start(/*keepSettings=*/true);
  Press();
  const auto box = ExpectBox(L"Update", L"Please visit http://www.sorvane.com/ download updates!");
  PressMessageBoxButton(box.window, IDOK);
  EXPECT_EQ(ReadFile(SettingsPath()), settings);
  EXPECT_EQ(RequestsReceived("Update"), before);
  EXPECT_EQ(UpdaterStarts(), 0);
}

INSTANTIATE_TEST_SUITE_P(ButtonOrTrayMenu, OnlineUpgrade, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return param.param ? "TrayMenu" : "Button";
                         });

// Names no earlier run against the same service has submitted.
std::wstring Unique(const wchar_t* name) {
  static int counter = 0;
  return std::wstring(name) + L" " + std::to_wstring(::GetTickCount64()) + L"-" +
         std::to_wstring(++counter);
}

struct SubmitCase {
  const char* name;
  const char* path;  // the service's form under its base; "closed" for a dead port
  std::wstring softName;
  std::wstring email;
  std::wstring message;
  bool emptied;
  int requests;  // submissions the service receives
};

TEST_F(Online, EverySubmissionResultShowsItsMessageAndEmptiesOrKeepsTheForm) {
  PutSettings(0, "/");
  Start(/*keepSettings=*/true);
  ASSERT_TRUE(Click(C(ids::sbtnSubmitSoft)));
  ASSERT_TRUE(WaitUntil([&] { return Page() == "submit"; }));
  EXPECT_EQ(Text(C(ids::labSubmitHint)),
            L"In case that Sorvane failed to uninstall the software you are willing to remove "
            L"from the computer,\ras a purchased user, you can submit the software to us free of "
            L"charge.\rPlease fill in the form below and then click Submit button. \rWe will "
            L"address it for analysis and reply you within 48 hours.\r* To speed up the research "
            L"process, please include the download link for the software you submit. ");
  EXPECT_EQ(ComboItems(C(ids::cmbSoftType)).at(0), L"Networking Software");
  EXPECT_EQ(ComboSelection(C(ids::cmbSoftType)), 0);
  const std::wstring first = Unique(L"Quillfeather");
  const std::wstring second = Unique(L"Marrowdeep Mail");
  const std::wstring failure =
      L"Sorry, submission failed. Try resetting the form and submitting "
      L"again.";
  const std::vector<SubmitCase> cases = {
      {"BlankName", "/", L" \t ", L"a@example.org", L"You do not enter the name of the software!",
       false, 0},
      {"First", "/", first, L"a@example.org",
       L"Your submission was successful. \rYou are the 1th to submit this software.", true, 1},
      {"SameSubmitterAgain", "/", first, L"A@Example.org",
       L"You have submitted the same software before.", false, 1},
      {"SecondSubmitter", "/", L"  " + first + L"  ", L"b@example.org",
       L"Your submission was successful. \rYou are the 2th to submit this software.", true, 1},
      // A submission follows a redirection to the service's own form.
      {"Redirected", "/scenario/redirect/", second, L"",
       L"Your submission was successful. \rYou are the 1th to submit this software.", true, 2},
      {"Maintenance", "/scenario/maintenance/", second, L"c@example.org",
       L"We are sorry but your submission failed due to server maintenance.", false, 1},
      {"CommandNotConfirmed", "/scenario/wrong-command/", second, L"c@example.org",
       L"We are sorry but your submission failed due to inexistent submission request.", false, 1},
      {"CommandRefused", "/scenario/refuse-command/", second, L"c@example.org",
       L"We are sorry but your submission failed due to inexistent submission request.", false, 1},
      {"WrongCode", "/scenario/wrong-code/", second, L"c@example.org", failure, true, 1},
      {"HttpError", "/scenario/http-error/", second, L"c@example.org", failure, true, 1},
      {"Unreachable", "closed", second, L"c@example.org", failure, true, 0},
  };
  for (const SubmitCase& submit : cases) {
    SCOPED_TRACE(submit.name);
    const std::string path = submit.path;
    const std::string url =
        path == "closed" ? "http://127.0.0.1:" + std::to_string(online::testing::ClosedPort()) + "/"
                         : ServiceBase() + path;
    // The address is read at every Submit, so the running program follows the change.
    ASSERT_TRUE(::WritePrivateProfileStringW(L"Update Information", L"Service URL",
                                             Wide(url).c_str(), SettingsPath().c_str()));
    const std::vector<std::pair<int, std::wstring>> fields = {
        {ids::edtSoftName, submit.softName},
        {ids::edtSoftVer, L"2.1 beta"},
        {ids::edtDownLink, L"http://example.org/get?a=1&b=2"},
        {ids::memoOther, L"line one\r\nline two"},
        {ids::edtEMail, submit.email}};
    for (const auto& [id, text] : fields)
      SetText(C(id), text);
    ::SendMessageW(C(ids::cmbSoftType), CB_SETCURSEL, 7, 0);
    ::SendMessageW(C(ids::cmbOS), CB_SETCURSEL, 3, 0);
    const int before = RequestsReceived("SubmitSoft");
    ASSERT_TRUE(Click(C(ids::imgSubmit)));
    const auto box = ExpectBox(L"Submit Software", submit.message, Milliseconds{60000});
    // The fields are emptied before the message shows.
    for (const auto& [id, text] : fields)
      EXPECT_EQ(Text(C(id)), submit.emptied ? std::wstring() : text) << "control " << id;
    EXPECT_EQ(ComboSelection(C(ids::cmbSoftType)), 7);
    EXPECT_EQ(ComboSelection(C(ids::cmbOS)), 3);
    ASSERT_TRUE(PressMessageBoxButton(box.window, IDOK));
    EXPECT_EQ(Page(), "submit");
    EXPECT_EQ(RequestsReceived("SubmitSoft"), before + submit.requests);
  }
}

struct OsCase {
  const char* wineVersion;  // Wine's name of the Windows version it reports to Sorvane.exe
  std::wstring entry;
};

class OnlineOsPreselection : public Online, public ::testing::WithParamInterface<OsCase> {
 protected:
  void TearDown() override {
    Online::TearDown();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Sorvane.exe");
  }
};

TEST_P(OnlineOsPreselection, FollowsTheRunningWindowsVersion) {
  const std::string version = GetParam().wineVersion;
  if (!version.empty()) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Sorvane.exe", 0,
                                nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring value = Wide(version);
    ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  Start();
  HWND os = C(ids::cmbOS);
  const int selected = ComboSelection(os);
  ASSERT_GE(selected, 0);
  EXPECT_EQ(ComboItems(os).at(static_cast<size_t>(selected)), GetParam().entry);
}

INSTANTIATE_TEST_SUITE_P(WineVersions, OnlineOsPreselection,
                         // Wine's own default is Windows 10, which reports 10.0 to a program that
                         // declares it supports it, as Sorvane.exe does.
                         ::testing::Values(OsCase{"", L"VISTA"}, OsCase{"nt40", L"Windows NT"},
                                           OsCase{"win2k", L"Windows 2000 Professional"},
                                           OsCase{"winxp", L"Windows XP Home"},
                                           OsCase{"win2003", L"Windows 2003"},
                                           OsCase{"vista", L"VISTA"}, OsCase{"win7", L"VISTA"}),
                         [](const ::testing::TestParamInfo<OsCase>& param) {
                           return std::string(*param.param.wineVersion ? param.param.wineVersion
                                                                       : "default");
                         });

}  // namespace
}  // namespace sv::gui
