// The settings file is written by our own profile code; the system's profile functions must
// read what it writes the same way, and it must read what they write the same way.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/settings.h"
#include "common/error.h"
#include "platform/filesystem.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "temp_folder.h"

namespace sv::app {
namespace {

class SettingsWin : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::TempFolder() + "\\sv-settings-" + std::to_string(::GetCurrentProcessId()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    ::DeleteFileW(win32::Widen(path_).c_str());
  }
  void TearDown() override { ::DeleteFileW(win32::Widen(path_).c_str()); }

  int SystemInteger(std::string_view section, std::string_view key, int fallback) {
    return static_cast<int>(::GetPrivateProfileIntW(win32::Widen(section).c_str(),
                                                    win32::Widen(key).c_str(), fallback,
                                                    win32::Widen(path_).c_str()));
  }
  std::string SystemString(std::string_view section, std::string_view key) {
    wchar_t buffer[256] = {};
    ::GetPrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"<none>",
                               buffer, 256, win32::Widen(path_).c_str());
    return win32::Narrow(buffer);
  }
  std::string Content() { return platform::ReadWholeFile(files_, path_).value_or("<missing>"); }

  win32::Win32Platform machine_;
  platform::Platform platform_ = machine_.Get();
  platform::FileSystem& files_ = platform_.files;
  std::string path_;
};

TEST_F(SettingsWin, TheSystemReadsTheDefaultFileAndOurWrites) {
  CreateDefaultSettings(platform_, path_);
  EXPECT_EQ(SystemInteger(kSectionSettings, kKeyViewStyle, -1), 2);
  EXPECT_EQ(SystemInteger(kSectionSettings, kKeyDeleteUpdate, -1), 1);
  EXPECT_EQ(SystemInteger(kSectionSettings, kKeyStartupMinimize, -1), 0);
  EXPECT_EQ(SystemString(kSectionUpdate, kKeyLastTime).size(), 19U);
  WriteProfileValue(platform_, path_, kSectionSettings, kKeyHiddenProcess, "1");
  WriteProfileValue(platform_, path_, kSectionUpdate, "Extra", "x y");
  WriteProfileValue(platform_, path_, "New Section", "K", "7");
  EXPECT_EQ(SystemInteger(kSectionSettings, kKeyHiddenProcess, -1), 1);
  EXPECT_EQ(SystemString(kSectionUpdate, "Extra"), "x y");
  EXPECT_EQ(SystemInteger("New Section", "K", -1), 7);
  EXPECT_EQ(SystemInteger(kSectionSettings, kKeyAutoUpdate, -1), 0);
}

TEST_F(SettingsWin, WeReadWhatTheSystemWrites) {
  CreateDefaultSettings(platform_, path_);
  const std::wstring file = win32::Widen(path_);
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Settings", L"Hidden RightTips", L"1", file.c_str()));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Settings", L"View Style", L"0", file.c_str()));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Update Information", L"Last Time",
                                           L"2025-01-02 03:04:05", file.c_str()));
  ASSERT_TRUE(::WritePrivateProfileStringW(L"Update Information", L"Service URL",
                                           L"http://127.0.0.1:9", file.c_str()));
  const SettingsValues values = ReadSettings(platform_, path_);
  EXPECT_EQ(values.hiddenRightTips, 1);
  EXPECT_EQ(values.viewStyle, 0);
  EXPECT_EQ(values.deleteUpdate, 1);
  EXPECT_EQ(values.lastTime, "2025-01-02 03:04:05");
  EXPECT_EQ(ReadServiceUrlSetting(platform_, path_), "http://127.0.0.1:9");
}

TEST_F(SettingsWin, AFolderThatCannotBeWrittenIsReported) {
  const std::string missing = testing::TempFolder() + "\\sv-no-such-folder\\Settings.ini";
  EXPECT_THROW(CreateDefaultSettings(platform_, missing), Error);
  EXPECT_THROW(WriteProfileValue(platform_, missing, kSectionSettings, kKeyAutoUpdate, "1"), Error);
}

}  // namespace
}  // namespace sv::app
