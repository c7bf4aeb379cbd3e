#include "app/settings.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/fake/fake_machine.h"

namespace sv::app {
namespace {

constexpr char kPath[] = "C:\\Program Files\\Sorvane\\Settings.ini";

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(machine.files.MakeDir("C:\\Program Files\\Sorvane"), platform::kSuccess);
  }
  std::string Content() {
    return platform::ReadWholeFile(machine.files, kPath).value_or("<missing>");
  }
  void Put(std::string_view text) {
    ASSERT_EQ(platform::WriteWholeFile(machine.files, kPath, text), platform::kSuccess);
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
};

TEST_F(SettingsFile, TheDefaultFileIsElevenLinesWithTheLocalTime) {
  machine.clock.SetLocalOffsetMinutes(90);  // 12:00 UTC is 13:30 here
  CreateDefaultSettings(platform, kPath);
  EXPECT_EQ(Content(),
            "[Settings]\r\nView Style=2\r\nHidden RightTips=0\r\nHidden Process=0\r\n"
            "Hidden Unsupport=0\r\nAuto Update=0\r\nDelete Update=1\r\nWindows Startup=0\r\n"
            "Startup Minimize=0\r\n[Update Information]\r\nLast Time=2024-03-15 13:30:00\r\n");
}

TEST_F(SettingsFile, ADefaultFileThatCannotBeWrittenIsAnError) {
  machine.faults.Inject(fake::Op::OpenFile, "*", platform::kErrorAccessDenied);
  try {
    CreateDefaultSettings(platform, kPath);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), std::string("Unable to write to ") + kPath);
  }
}

TEST_F(SettingsFile, AMissingFileReadsAsTheDefaults) {
  const SettingsValues values = ReadSettings(platform, kPath);
  SettingsValues expected;
  expected.lastTime = "2024-03-15 12:00:00";
  EXPECT_EQ(values, expected);
}

TEST_F(SettingsFile, ValuesAreReadAsTheSystemReadsThem) {
  Put("; options\r\n[settings]\r\n view style = 0 \r\nHidden RightTips=2\r\nHidden Process=x1\r\n"
      "Hidden Unsupport=\r\nAuto Update=+1\r\nDelete Update=0\r\nWindows Startup=1\r\n"
      "Startup Minimize=1\r\nHidden Process=1\r\n[Update Information]\r\n"
      "Last Time=2020-01-02 03:04:05\r\n[Settings]\r\nDelete Update=1\r\n");
  const SettingsValues values = ReadSettings(platform, kPath);
  EXPECT_EQ(values.viewStyle, 0);        // names without case, blanks around them dropped
  EXPECT_EQ(values.hiddenRightTips, 2);  // any integer is read; its meaning is decided later
  EXPECT_EQ(values.hiddenProcess, 0);    // not an integer: the default, not the later line
  EXPECT_EQ(values.hiddenUnsupport, 0);
  EXPECT_EQ(values.autoUpdate, 1);
  EXPECT_EQ(values.deleteUpdate, 0);  // the first section of a name is the one read
  EXPECT_EQ(values.windowsStartup, 1);
  EXPECT_EQ(values.startupMinimize, 1);
  EXPECT_EQ(values.lastTime, "2020-01-02 03:04:05");
}

TEST(ProfileText, WritingReplacesInPlaceAddsToTheSectionOrAppendsASection) {
  const std::string text = "[Settings]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n";
  EXPECT_EQ(WithProfileValue(text, "settings", "b", "9"),
            "[Settings]\r\nA=1\r\nb=9\r\n\r\n[Other]\r\nC=3\r\n");
  EXPECT_EQ(WithProfileValue(text, "Settings", "New", "x"),
            "[Settings]\r\nA=1\r\nB=2\r\nNew=x\r\n\r\n[Other]\r\nC=3\r\n");
  EXPECT_EQ(WithProfileValue(text, "Update Information", "Last Time", "t"),
            text + "[Update Information]\r\nLast Time=t\r\n");
  EXPECT_EQ(WithProfileValue("", "S", "K", "V"), "[S]\r\nK=V\r\n");
  // A file written with bare line feeds comes back with CR LF.
  EXPECT_EQ(WithProfileValue("[S]\nK=1\n", "S", "K", "2"), "[S]\r\nK=2\r\n");
}

TEST_F(SettingsFile, SavingTwiceGivesTheSameFile) {
  CreateDefaultSettings(platform, kPath);
  for (int round = 0; round < 2; ++round) {
    WriteProfileValue(platform, kPath, kSectionSettings, kKeyHiddenProcess, "1");
    WriteProfileValue(platform, kPath, kSectionSettings, kKeyWindowsStartup, "0");
  }
  const std::string once = Content();
  WriteProfileValue(platform, kPath, kSectionSettings, kKeyHiddenProcess, "1");
  EXPECT_EQ(Content(), once);
  EXPECT_NE(once.find("Hidden Process=1\r\n"), std::string::npos);
  EXPECT_EQ(ReadSettings(platform, kPath).hiddenProcess, 1);
}

TEST_F(SettingsFile, AWriteThatFailsNamesTheFile) {
  CreateDefaultSettings(platform, kPath);
  machine.faults.Inject(fake::Op::OpenFile, "*", platform::kErrorAccessDenied);
  EXPECT_THROW(WriteProfileValue(platform, kPath, kSectionSettings, kKeyAutoUpdate, "1"), Error);
}

TEST_F(SettingsFile, TheUpdateTimeIsWrittenIntoTheFileOrANewDefaultFile) {
  machine.clock.SetLocalOffsetMinutes(-60);
  WriteLastUpdateTime(platform, kPath);
  EXPECT_NE(Content().find("Startup Minimize=0\r\n[Update Information]\r\n"
                           "Last Time=2024-03-15 11:00:00\r\n"),
            std::string::npos);
  Put("[Settings]\r\nAuto Update=1\r\n[Update Information]\r\nLast Time=old\r\n"
      "Service URL=http://127.0.0.1:8080\r\n");
  WriteLastUpdateTime(platform, kPath);
  EXPECT_EQ(Content(),
            "[Settings]\r\nAuto Update=1\r\n[Update Information]\r\n"
            "Last Time=2024-03-15 11:00:00\r\nService URL=http://127.0.0.1:8080\r\n");
  EXPECT_EQ(ReadServiceUrlSetting(platform, kPath), "http://127.0.0.1:8080");
}

TEST(SettingsRules, ViewStyleAndColumnWidths) {
  EXPECT_EQ(ViewStyleOf(0), ViewStyle::Icons);
  EXPECT_EQ(ViewStyleOf(2), ViewStyle::Report);
  for (const int other : {1, 3, 7, -1})
    EXPECT_EQ(ViewStyleOf(other), ViewStyle::List) << other;
  const ColumnWidths hidden = ColumnWidthsFor(1);
  EXPECT_EQ((std::vector<int>(hidden.residue, hidden.residue + 3)), (std::vector{40, 300, 300}));
  EXPECT_EQ((std::vector<int>(hidden.installed, hidden.installed + 5)),
            (std::vector{40, 300, 75, 95, 130}));
  for (const int shown : {0, 2}) {
    const ColumnWidths widths = ColumnWidthsFor(shown);
    EXPECT_EQ((std::vector<int>(widths.residue, widths.residue + 3)), (std::vector{40, 220, 205}));
    EXPECT_EQ((std::vector<int>(widths.installed, widths.installed + 5)),
              (std::vector{40, 165, 75, 85, 100}));
  }
  EXPECT_EQ(SettingsPathFor("C:\\Tools\\Sorvane.exe"), "C:\\Tools\\Settings.ini");
}

}  // namespace
}  // namespace sv::app
