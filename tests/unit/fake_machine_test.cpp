// What the fake machine does beyond the shared platform contract: failures on request, the
// standard layout, and its handling of paths and version blocks.
#include "platform/fake/fake_machine.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_paths.h"
#include "platform/fake/version_resource.h"

namespace sv::fake {
namespace {

using platform::Hive;
using platform::KeyAccess;

TEST(FakeFaults, RegistryOperationsFailOnTheTargetTheyWereToldAbout) {
  FakeMachine machine;
  auto key = machine.registry.CreateKey(Hive::LocalMachine, "Software\\Acme");
  key->SetValue("Size", platform::DwordValue(5));
  machine.faults.Inject(Op::OpenKey, "hkey_local_machine\\software\\ACME",
                        platform::kErrorAccessDenied);
  machine.faults.Inject(Op::SetValue, "HKEY_LOCAL_MACHINE\\Software\\Acme\\Locked",
                        platform::kErrorAccessDenied);
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(
      machine.registry.OpenKey(Hive::LocalMachine, "\\Software\\Acme", KeyAccess::Read, &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  EXPECT_EQ(key->SetStringValue("Locked", "x"), platform::kErrorAccessDenied);
  EXPECT_EQ(key->SetStringValue("Other", "x"), platform::kSuccess);
  machine.faults.Clear();
  EXPECT_TRUE(machine.registry.OpenKey(Hive::LocalMachine, "\\Software\\Acme", KeyAccess::Read));
}

TEST(FakeFaults, FileOperationsFailEverywhereWithTheStar) {
  FakeMachine machine;
  machine.files.PutFile("C:\\a.txt", "x");
  machine.faults.Inject(Op::RemoveFile, "*", platform::kErrorSharingViolation);
  machine.faults.Inject(Op::ReadFile, "C:\\a.txt", platform::kErrorAccessDenied);
  EXPECT_EQ(machine.files.RemoveFile("C:\\a.txt"), platform::kErrorSharingViolation);
  EXPECT_FALSE(platform::ReadWholeFile(machine.files, "C:\\a.txt"));
  EXPECT_NE(machine.files.GetAttributes("C:\\a.txt"), platform::kInvalidAttributes);
}

TEST(FakeRegistry, AliasesShareTheirKeysWithTheHivesTheyStandFor) {
  FakeMachine machine;
  machine.registry.CreateKey(Hive::CurrentUser, "Software\\Acme");
  EXPECT_TRUE(machine.registry.OpenKey(
      Hive::Users, std::string(FakeRegistry::kUserSid) + "\\Software\\Acme", KeyAccess::Read));
  EXPECT_EQ(machine.registry.DeleteKey(Hive::Users, std::string(FakeRegistry::kUserSid)),
            platform::kErrorAccessDenied);
  EXPECT_EQ(machine.registry.DeleteKey(Hive::LocalMachine, ""), platform::kErrorAccessDenied);
  EXPECT_EQ(machine.registry.OpenKey(Hive::LocalMachine, "\\\\Software", KeyAccess::Read), nullptr);
}

TEST(FakeRegistry, EnumerationNoticesKeysAddedOrRemovedMeanwhile) {
  FakeMachine machine;
  for (const char* name : {"a", "c", "e"})
    machine.registry.CreateKey(Hive::LocalMachine, std::string("T\\") + name);
  auto key = machine.registry.OpenKey(Hive::LocalMachine, "T", KeyAccess::Read);
  EXPECT_EQ(key->EnumKey(1), "c");
  machine.registry.CreateKey(Hive::LocalMachine, "T\\b");
  EXPECT_EQ(key->EnumKey(1), "b");
  EXPECT_EQ(key->EnumKey(2), "c");
  ASSERT_EQ(machine.registry.DeleteKey(Hive::LocalMachine, "T\\a"), platform::kSuccess);
  EXPECT_EQ(key->EnumKey(0), "b");
  EXPECT_EQ(key->EnumKey(3), std::nullopt);
}

TEST(FakeFileSystem, SeedingMakesMissingFoldersButNeverGoesThroughAFile) {
  FakeMachine machine;
  machine.files.PutFile("C:\\deep\\er\\file.txt", "x");
  EXPECT_NE(machine.files.GetAttributes("C:\\deep\\er") & platform::kAttrDirectory, 0u);
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\deep\\er\\file.txt"), "x");
  machine.files.PutFile("C:\\deep\\er\\file.txt\\inner.txt", "y");
  machine.files.PutDirectory("C:\\deep\\er\\file.txt\\sub");
  machine.files.PutFile("C:\\deep\\er", "not over a folder");
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\deep\\er\\file.txt"), "x");
  EXPECT_EQ(machine.files.GetAttributes("C:\\deep\\er\\file.txt\\inner.txt"),
            platform::kInvalidAttributes);
  EXPECT_NE(machine.files.GetAttributes("C:\\deep\\er") & platform::kAttrDirectory, 0u);
}

TEST(FakeSystem, LocalTimeConversionStaysInsideTheRangeOfFileTimes) {
  FakeMachine machine;
  machine.clock.SetLocalOffsetMinutes(-60);
  EXPECT_FALSE(machine.system.FileTimeToLocal({0}));
  EXPECT_EQ(machine.system.FileTimeToLocal({36'000'000'000ULL})->ticks, 0u);
  machine.clock.SetLocalOffsetMinutes(60);
  EXPECT_FALSE(machine.system.FileTimeToLocal({0x7FFFFFFFFFFFFFFFULL}));
  EXPECT_FALSE(machine.system.FileTimeToLocal({0x8000000000000000ULL}));
  EXPECT_EQ(machine.system.FileTimeToLocal({0})->ticks, 36'000'000'000ULL);
}

TEST(FakeMachineLayout, StandardFoldersExistAndAreRecordedAsShellFolders) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  for (int folder : {platform::csidl::kDesktopDirectory, platform::csidl::kCommonStartMenu,
                     platform::csidl::kAppData, platform::csidl::kProgramFiles}) {
    const std::string path = machine.system.SpecialFolder(folder);
    ASSERT_FALSE(path.empty()) << folder;
    EXPECT_NE(machine.files.GetAttributes(path), platform::kInvalidAttributes) << path;
  }
  auto shell = machine.registry.OpenKey(
      Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      KeyAccess::Read);
  ASSERT_TRUE(shell);
  EXPECT_EQ(shell->QueryValue("AppData")->data, "C:\\users\\root\\AppData\\Roaming");
  FakeMachine empty;
  EXPECT_EQ(empty.system.SpecialFolder(platform::csidl::kAppData), "");
}

TEST(FakePaths, ParsingFollowsTheWindowsRules) {
  struct Case {
    const char* path;
    char drive;
    std::vector<std::string> segments;
  };
  const Case cases[] = {
      {"c:\\A\\b", 'C', {"A", "b"}},
      {"C:", 'C', {}},
      {"C:\\", 'C', {}},
      {"D:/x/y/", 'D', {"x", "y"}},
      {"\\\\?\\C:\\x", 'C', {"x"}},
      {"C:\\a\\.\\b\\..\\c", 'C', {"a", "c"}},
      {"C:\\..\\..\\a", 'C', {"a"}},
      {"C:\\dir.\\name. ", 'C', {"dir", "name"}},
      {"C:\\dir \\name", 'C', {"dir ", "name"}},  // blanks stay on folder names
      {"C:\\\\a\\\\\\b", 'C', {"a", "b"}},
  };
  for (const Case& c : cases) {
    const auto parsed = ParsePath(c.path, nullptr);
    ASSERT_TRUE(parsed) << c.path;
    EXPECT_EQ(parsed->drive, c.drive) << c.path;
    EXPECT_EQ(parsed->segments, c.segments) << c.path;
  }
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(ParsePath("relative\\path", &error));
  EXPECT_EQ(error, platform::kErrorPathNotFound);
  EXPECT_FALSE(ParsePath("\\\\server\\share\\x", &error));
  EXPECT_EQ(error, platform::kErrorBadNetPath);
  EXPECT_FALSE(ParsePath("C:\\*\\x", &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);
  EXPECT_TRUE(ParsePath("C:\\x\\*.txt", nullptr)->hasWildcards);
}

TEST(FakePaths, WildcardMatching) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*", "anything.txt", true},
      {"*.default", "abc.default", true},
      {"*.default", "abc.defaults", false},
      {"*.DEFAULT", "x.default", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"*.*", "noextension", true},
      {"name.*", "name", true},
      {"name.*", "names", false},
      {"*a*b*", "xxaxxbxx", true},
      {"*a*b", "xxaxxbxx", false},
      {"", "", true},
      {"?", ".", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;
  }
}

TEST(VersionResource, BrokenBlocksNeverReadOutsideTheirBytes) {
  VersionResourceContent content;
  content.stringTables = {{"040904B0", {{"FileVersion", "1.2.3.4"}, {"ProductName", "Acme"}}}};
  content.translations = std::vector<std::uint32_t>{0x04B00409};
  const auto block = BuildVersionResource(content);
  ASSERT_EQ(ReadVersionString(block, "\\StringFileInfo\\040904B0\\FileVersion"), "1.2.3.4");
  // Every truncation and every single-byte corruption must be answered without a crash
  // (the sanitizers watch the reads).
  for (std::size_t size = 0; size < block.size(); ++size) {
    const std::vector<std::uint8_t> cut(block.begin(), block.begin() + static_cast<long>(size));
    (void)ReadVersionTranslations(cut);
    (void)ReadVersionString(cut, "\\StringFileInfo\\040904B0\\FileVersion");
  }
  for (std::size_t at = 0; at < block.size(); ++at) {
    for (std::uint8_t value : {0x00, 0x01, 0x7F, 0xFF}) {
      auto broken = block;
      broken[at] = value;
      (void)ReadVersionTranslations(broken);
      (void)ReadVersionString(broken, "\\StringFileInfo\\040904B0\\ProductName");
    }
  }
}

}  // namespace
}  // namespace sv::fake
