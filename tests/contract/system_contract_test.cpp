#include <cstdlib>
#include <string>

#include "common/codepage.h"
#include "common/text.h"
#include "contract/contract_environment.h"

namespace sv::testing {
namespace {

namespace csidl = platform::csidl;

class SystemContract : public PlatformContract {
 protected:
  bool IsDirectory(const std::string& path) {
    const auto attributes = Files().GetAttributes(path);
    return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory);
  }
};

TEST_F(SystemContract, WindowsAndSystemFoldersExistWithoutTrailingBackslash) {
  const std::string windows = System().WindowsDirectory();
  const std::string system = System().SystemDirectory();
  ASSERT_FALSE(windows.empty());
  EXPECT_NE(windows.back(), '\\');
  EXPECT_TRUE(StartsWithTextAscii(system, windows + "\\")) << system;
  EXPECT_TRUE(IsDirectory(windows));
  EXPECT_TRUE(IsDirectory(system));
  EXPECT_EQ(windows.substr(1, 2), ":\\");
}

TEST_F(SystemContract, ShellFoldersAreExistingFoldersOfTheUserOrAllUsers) {
  const std::string user = System().UserName();
  ASSERT_FALSE(user.empty());
  const std::string profile = System().SpecialFolder(csidl::kProfile);
  EXPECT_TRUE(profile.ends_with("\\" + user)) << profile;
  for (int folder : {csidl::kDesktopDirectory, csidl::kPrograms, csidl::kStartup, csidl::kStartMenu,
                     csidl::kAppData, csidl::kLocalAppData, csidl::kPersonal}) {
    const std::string path = System().SpecialFolder(folder);
    EXPECT_TRUE(StartsWithTextAscii(path, profile + "\\")) << folder << ": " << path;
    EXPECT_NE(path.back(), '\\') << path;
    EXPECT_TRUE(IsDirectory(path)) << path;
  }
  for (int folder : {csidl::kCommonDesktopDirectory, csidl::kCommonPrograms, csidl::kCommonStartup,
                     csidl::kCommonStartMenu, csidl::kCommonAppData, csidl::kProgramFiles}) {
    const std::string path = System().SpecialFolder(folder);
    EXPECT_FALSE(path.empty()) << folder;
    EXPECT_FALSE(StartsWithTextAscii(path, profile)) << path;
    EXPECT_TRUE(IsDirectory(path)) << path;
  }
  EXPECT_TRUE(SameTextAscii(System().SpecialFolder(csidl::kWindows), System().WindowsDirectory()));
  // Virtual folders have no place on disk.
  EXPECT_EQ(System().SpecialFolder(0x0003), "");  // the control panel
}

// A NetBIOS name: what "\\NAME\C$" would call this machine.
TEST_F(SystemContract, ComputerNameIsAShortNameWithoutSeparators) {
  const std::string name = System().ComputerName();
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 15u);
  EXPECT_EQ(name.find_first_of("\\/ "), std::string::npos) << name;
}

TEST_F(SystemContract, ExecutablePathNamesAnExistingFile) {
  const std::string path = System().ExecutablePath();
  const auto attributes = Files().GetAttributes(path);
  ASSERT_NE(attributes, platform::kInvalidAttributes) << path;
  EXPECT_EQ(attributes & platform::kAttrDirectory, 0u);
}

TEST_F(SystemContract, AnsiCodePageIs1252AndConvertsEveryByte) {
  ASSERT_EQ(System().AnsiCodePage(), 1252u);
  std::string every;
  for (int b = 1; b < 256; ++b)
    every += static_cast<char>(b);
  EXPECT_EQ(System().AnsiToUtf8(every), Cp1252ToUtf8(every));
  EXPECT_EQ(System().Utf8ToAnsi(Cp1252ToUtf8(every)), every);
  EXPECT_EQ(System().Utf8ToAnsi("\xE2\x82\xAC"), "\x80");  // the euro sign
  // Characters the code page lacks become '?', never a look-alike.
  EXPECT_EQ(System().Utf8ToAnsi("A\xC4\x80Z"), "A?Z");
  EXPECT_EQ(System().Utf8ToAnsi("\xE6\x97\xA5"), "?");
  EXPECT_EQ(System().AnsiToUtf8(""), "");
}

TEST_F(SystemContract, LocalTimeIsACalendarDateAndTheZoneOffsetIsWholeMinutes) {
  const SystemTime now = System().LocalTimeNow();
  EXPECT_TRUE(IsValidDate(now.year, now.month, now.day));
  EXPECT_GE(now.year, 2020);
  const FileTime utc = SystemTimeToFileTime({2024, 1, 0, 1, 12, 0, 0, 0}).value();
  const auto local = System().FileTimeToLocal(utc);
  ASSERT_TRUE(local);
  const auto offset =
      static_cast<std::int64_t>(local->ticks) - static_cast<std::int64_t>(utc.ticks);
  const std::int64_t minute = 60 * static_cast<std::int64_t>(kFileTimeTicksPerSecond);
  EXPECT_EQ(offset % minute, 0);
  EXPECT_LE(std::abs(offset / minute), 14 * 60);
}

// The clock moves on while the caller sleeps (the fake's clock moves by the time asked).
TEST_F(SystemContract, SleepingLetsTheClockMoveOn) {
  const auto before = SystemTimeToFileTime(System().LocalTimeNow());
  System().Sleep(0);
  System().Sleep(50);
  const auto after = SystemTimeToFileTime(System().LocalTimeNow());
  ASSERT_TRUE(before && after);
  EXPECT_GT(after->ticks, before->ticks);
}

}  // namespace
}  // namespace sv::testing
