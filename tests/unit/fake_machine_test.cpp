// What the fake machine does beyond the shared platform contract: failures on request, the
// standard layout, directory links, services and processes as tests drive them, and its
// handling of paths and version blocks.
#include "platform/fake/fake_machine.h"

#include <gtest/gtest.h>

#include "common/text.h"

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

TEST(FakeFileSystem, DirectoryLinksLookLikeJunctionsAndLeadToTheirTarget) {
  FakeMachine machine;
  machine.files.PutFile("C:\\Target\\a.txt", "x");
  machine.files.PutDirectory("C:\\Target\\sub");
  machine.files.PutDirectoryLink("C:\\Folder\\Link", "C:\\Target");
  constexpr platform::FileAttributes kJunction = 0x410;
  EXPECT_EQ(machine.files.GetAttributes("C:\\folder\\link"), kJunction);
  auto entry = machine.files.FindFirst("C:\\Folder\\L*");
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->Current().name, "Link");
  EXPECT_EQ(entry->Current().attributes, kJunction);

  std::vector<std::string> names;
  for (auto search = machine.files.FindFirst("C:\\Folder\\Link\\*.*");
       search && names.size() < 9;) {
    names.push_back(search->Current().name);
    if (!search->Next()) break;
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "sub"}));
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\Folder\\Link\\a.txt"), "x");
  EXPECT_EQ(machine.files.MakeDir("C:\\Folder\\Link\\new"), platform::kSuccess);
  EXPECT_NE(machine.files.GetAttributes("C:\\Target\\new"), platform::kInvalidAttributes);
  // Setting attributes leaves it a link.
  ASSERT_EQ(machine.files.SetAttributes("C:\\Folder\\Link", platform::kAttrHidden),
            platform::kSuccess);
  EXPECT_EQ(machine.files.GetAttributes("C:\\Folder\\Link"), kJunction | platform::kAttrHidden);
  // The long-name lookup walks through it but keeps the link's own name.
  EXPECT_EQ(machine.files.ResolvePath("C:\\FOLDER\\LINK\\A.TXT"), "C:\\Folder\\Link\\a.txt");
}

TEST(FakeFileSystem, RemovingALinkLeavesItsTargetAlone) {
  FakeMachine machine;
  machine.files.PutFile("C:\\Target\\a.txt", "x");
  machine.files.PutDirectoryLink("C:\\Link", "C:\\Target");
  EXPECT_EQ(machine.files.RemoveFile("C:\\Link"), platform::kErrorAccessDenied);
  EXPECT_EQ(machine.files.RemoveDir("C:\\Link\\a.txt"), platform::kErrorDirectory);
  EXPECT_EQ(machine.files.RemoveDir("C:\\Link"), platform::kSuccess);
  EXPECT_EQ(machine.files.GetAttributes("C:\\Link"), platform::kInvalidAttributes);
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\Target\\a.txt"), "x");
}

TEST(FakeFileSystem, LinksToNothingOrInCirclesLeadNowhere) {
  FakeMachine machine;
  machine.files.PutDirectoryLink("C:\\Dangling", "C:\\Nowhere");
  machine.files.PutDirectoryLink("C:\\A", "C:\\B");
  machine.files.PutDirectoryLink("C:\\B", "C:\\A");
  for (const char* link : {"C:\\Dangling", "C:\\A"}) {
    EXPECT_EQ(machine.files.GetAttributes(link), 0x410u) << link;
    platform::WinError error = platform::kSuccess;
    EXPECT_FALSE(machine.files.FindFirst(std::string(link) + "\\*", &error)) << link;
    EXPECT_EQ(error, platform::kErrorPathNotFound) << link;
    EXPECT_EQ(machine.files.RemoveDir(link), platform::kSuccess) << link;
  }
  // A link is never made over what exists, and seeding through a dangling one makes nothing.
  machine.files.PutFile("C:\\file.txt", "x");
  machine.files.PutDirectoryLink("C:\\file.txt", "C:\\Target");
  EXPECT_EQ(machine.files.GetAttributes("C:\\file.txt") & platform::kAttrReparsePoint, 0u);
  machine.files.PutDirectoryLink("C:\\Lost", "C:\\Nowhere");
  machine.files.PutFile("C:\\Lost\\inside.txt", "x");
  EXPECT_EQ(machine.files.GetAttributes("C:\\Nowhere"), platform::kInvalidAttributes);
}

// On Windows a link named last is the link itself; anything beyond it, or a trailing
// backslash, reaches the target.
TEST(FakeFileSystem, InWindowsModeALinkNamedLastIsTheLinkItself) {
  using platform::PathIdentity;
  enum class Kind { Junction, FolderLink, FileLink };
  const struct {
    Kind kind;
    const char* link;
    platform::FileAttributes own;
  } cases[] = {
      {Kind::Junction, "C:\\Links\\Junction", 0x410},
      {Kind::FolderLink, "C:\\Links\\Folder", 0x410},
      {Kind::FileLink, "C:\\Links\\File.txt", 0x420},
  };
  for (const auto& c : cases) {
    FakeMachine machine;
    FakeFileSystem& files = machine.files;
    files.PutFile("C:\\Target\\sub\\a.txt", "a");
    files.PutFile("C:\\Real\\file.txt", "content");
    switch (c.kind) {
      case Kind::Junction:
        files.PutDirectoryLink(c.link, "C:\\Target");
        break;
      case Kind::FolderLink:
        files.PutSymbolicLink(c.link, "C:\\Target", true);
        break;
      case Kind::FileLink:
        files.PutSymbolicLink(c.link, "C:\\Real\\file.txt", false);
        break;
    }
    const std::string link = c.link;
    const bool folder = c.kind != Kind::FileLink;
    EXPECT_EQ(files.GetAttributes(UpperAscii(link)), c.own) << link;
    auto entry = files.FindFirst(link);
    ASSERT_TRUE(entry) << link;
    EXPECT_EQ(entry->Current().attributes, c.own) << link;
    EXPECT_EQ(files.Identify(UpperAscii(link)), (PathIdentity{link, c.own})) << link;
    if (folder) {
      EXPECT_EQ(files.GetAttributes(link + "\\"), platform::kAttrDirectory) << link;
      EXPECT_EQ(files.Identify(link + "\\"), (PathIdentity{"C:\\Target", 0x10})) << link;
      EXPECT_EQ(files.Identify(link + "\\SUB\\A.TXT"),
                (PathIdentity{"C:\\Target\\sub\\a.txt", platform::kAttrArchive}))
          << link;
      EXPECT_EQ(files.RemoveFile(link), platform::kErrorAccessDenied) << link;
      EXPECT_EQ(files.RemoveDir(link), platform::kSuccess) << link;  // however full the target
    } else {
      EXPECT_EQ(platform::ReadWholeFile(files, link), "content");
      platform::WinError error = platform::kSuccess;
      EXPECT_FALSE(files.Identify(link + "\\", &error));
      EXPECT_EQ(error, platform::kErrorInvalidName);  // a file named as a folder
      EXPECT_EQ(files.RemoveDir(link), platform::kErrorDirectory);
      EXPECT_EQ(files.RemoveFile(link), platform::kSuccess);
    }
    EXPECT_EQ(files.GetAttributes(link), platform::kInvalidAttributes) << link;
    EXPECT_EQ(platform::ReadWholeFile(files, "C:\\Target\\sub\\a.txt"), "a") << link;
    EXPECT_EQ(platform::ReadWholeFile(files, "C:\\Real\\file.txt"), "content") << link;
  }
}

// A link that leads nowhere, or round in a circle: Windows still shows the link, Wine leaves
// it out of listings and fails to look it up; neither hangs.
TEST(FakeFileSystem, BrokenLinksInEitherMode) {
  using Behaviour = FakeFileSystem::LinkBehaviour;
  const struct {
    Behaviour behaviour;
    std::vector<std::string> listed;
    platform::WinError danglingError;
    platform::WinError loopError;
  } cases[] = {
      {Behaviour::Windows, {"Dangling", "Loop"}, platform::kSuccess, platform::kSuccess},
      {Behaviour::Wine, {}, platform::kErrorFileNotFound, 1921},
  };
  for (const auto& c : cases) {
    FakeMachine machine;
    machine.files.SetLinkBehaviour(c.behaviour);
    machine.files.PutSymbolicLink("C:\\L\\Dangling", "C:\\Nowhere\\file.txt", false);
    machine.files.PutSymbolicLink("C:\\L\\Loop", "C:\\L\\Loop", true);
    std::vector<std::string> names;
    for (auto search = machine.files.FindFirst("C:\\L\\*"); search;) {
      if (search->Current().name != "." && search->Current().name != "..") {
        names.push_back(search->Current().name);
      }
      if (!search->Next()) break;
    }
    EXPECT_EQ(names, c.listed);
    platform::WinError error = platform::kErrorInvalidHandle;
    (void)machine.files.Identify("C:\\L\\Dangling", &error);
    EXPECT_EQ(error, c.danglingError);
    (void)machine.files.Identify("C:\\L\\Loop", &error);
    EXPECT_EQ(error, c.loopError);
    EXPECT_FALSE(machine.files.Identify("C:\\L\\Loop\\x", &error));
    EXPECT_EQ(error, platform::kErrorPathNotFound);
    // The name is taken in both.
    EXPECT_EQ(machine.files.MakeDir("C:\\L\\Dangling"), platform::kErrorAlreadyExists);
  }
}

// Wine follows a Unix link everywhere: the junctions tests make behave as such a link there.
TEST(FakeFileSystem, InWineModeRemovingThroughALinkReachesTheTarget) {
  FakeMachine machine;
  FakeFileSystem& files = machine.files;
  files.SetLinkBehaviour(FakeFileSystem::LinkBehaviour::Wine);
  files.PutDirectory("C:\\Empty");
  files.PutFile("C:\\Real\\file.txt", "content");
  files.PutDirectoryLink("C:\\Junction", "C:\\Empty");
  files.PutSymbolicLink("C:\\FileLink", "C:\\Real\\file.txt", false);
  EXPECT_EQ(files.Identify("C:\\junction"), (platform::PathIdentity{"C:\\Empty", 0x10}));
  EXPECT_EQ(files.SetAttributes("C:\\Junction", platform::kAttrHidden), platform::kSuccess);
  EXPECT_EQ(files.GetAttributes("C:\\Empty"), platform::kAttrDirectory | platform::kAttrHidden);
  EXPECT_EQ(files.RemoveDir("C:\\Junction"), platform::kSuccess);
  EXPECT_EQ(files.GetAttributes("C:\\Empty"), platform::kInvalidAttributes);
  EXPECT_EQ(files.RemoveDir("C:\\FileLink"), platform::kErrorDirectory);
  EXPECT_EQ(files.RemoveFile("C:\\FileLink"), platform::kSuccess);
  EXPECT_EQ(files.GetAttributes("C:\\Real\\file.txt"), platform::kInvalidAttributes);
  // Creating through the link that now leads nowhere makes its target again.
  EXPECT_EQ(platform::WriteWholeFile(files, "C:\\FileLink", "new"), platform::kSuccess);
  EXPECT_EQ(platform::ReadWholeFile(files, "C:\\Real\\file.txt"), "new");
  // Back in Windows mode the same links are themselves again.
  files.SetLinkBehaviour(FakeFileSystem::LinkBehaviour::Windows);
  EXPECT_EQ(files.GetAttributes("C:\\FileLink"), 0x420u);
  EXPECT_EQ(files.RemoveFile("C:\\FileLink"), platform::kSuccess);
  EXPECT_EQ(platform::ReadWholeFile(files, "C:\\Real\\file.txt"), "new");
}

TEST(FakeFileSystem, OnlyFilesMarkedAsProtectedAreProtectedWhateverTheSpelling) {
  FakeMachine machine;
  machine.files.PutFile("C:\\windows\\system32\\kernel32.dll", "MZ");
  machine.files.PutFile("C:\\windows\\system32\\other.dll", "MZ");
  machine.files.PutProtectedFile("C:\\windows\\system32\\kernel32.dll");
  machine.files.PutProtectedFile("C:\\windows\\system32\\missing.dll");
  machine.files.PutProtectedFile("C:\\windows\\system32");
  const struct {
    const char* path;
    bool isProtected;
  } cases[] = {
      {"C:\\windows\\system32\\kernel32.dll", true},
      {"c:/WINDOWS/System32/./KERNEL32.DLL", true},
      {"\\\\?\\C:\\windows\\system32\\kernel32.dll", true},
      {"C:\\windows\\system32\\other.dll", false},
      {"C:\\windows\\system32\\missing.dll", false},
      {"C:\\windows\\system32", false},
      {"D:\\windows\\system32\\kernel32.dll", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(machine.files.IsSystemProtectedFile(c.path), c.isProtected) << c.path;
  }
}

TEST(FakeFaults, IdentifyFailsWhereToldAndOtherCallsGoOn) {
  FakeMachine machine;
  machine.files.PutFile("C:\\a.txt", "x");
  machine.faults.Inject(Op::Identify, "c:\\A.TXT", platform::kErrorAccessDenied);
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(machine.files.Identify("C:\\a.txt", &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  EXPECT_NE(machine.files.GetAttributes("C:\\a.txt"), platform::kInvalidAttributes);
}

// Which names take their stored spelling: those that could be 8.3 names, as the system's
// long-name lookup has it.
TEST(FakeFileSystem, ResolvingSpellsOnlyShortNameShapesAsStored) {
  struct Case {
    const char* stored;
    bool asStored;
  } const cases[] = {
      {"abcdefgh", true},    {"abcdefgh.txt", true}, {"a b", true},      {"x.y", true},
      {"abcdefghi", false},  {"abc.text", false},    {"a.b.c", false},   {"x+y", false},
      {"with blank", false}, {"a .b", false},        {".hidden", false}, {"Caf\xC3\xA9", false},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    const std::string stored = std::string("C:\\") + c.stored;
    machine.files.PutDirectory(stored);
    const std::string given = UpperAscii(stored);
    EXPECT_EQ(machine.files.ResolvePath(given + "\\missing"),
              (c.asStored ? stored : given) + "\\missing")
        << c.stored;
  }
}

TEST(FakeFileSystem, ResolvingLeavesDrivesThatAreNotThereAndRefusesNetworkPaths) {
  FakeMachine machine;
  EXPECT_EQ(machine.files.ResolvePath("q:\\Some\\.\\Where. "), "q:\\Some\\Where");
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(machine.files.ResolvePath("\\\\server\\share\\x", &error));
  EXPECT_EQ(error, platform::kErrorBadNetPath);
  machine.faults.Inject(Op::ResolvePath, "C:\\x", platform::kErrorAccessDenied);
  EXPECT_FALSE(machine.files.ResolvePath("c:\\X", &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
}

TEST(FakeServices, CreatingAServiceMakesItsKeyAndNamesCompareWithoutCase) {
  FakeMachine machine;
  machine.services.Create("Acme Updater", platform::kServiceRunning, "C:\\Acme\\upd.exe");
  EXPECT_TRUE(machine.services.Exists("ACME UPDATER"));
  EXPECT_EQ(machine.services.State("acme updater"), platform::kServiceRunning);
  EXPECT_FALSE(machine.services.State("Other"));
  auto key = machine.registry.OpenKey(
      Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Acme Updater", KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->QueryValue("ImagePath"),
            (platform::RegValue{platform::kRegExpandSz, "C:\\Acme\\upd.exe"}));
  EXPECT_EQ(key->QueryValue("Start"), platform::DwordValue(3));
  // A name that would put the key elsewhere is no service name.
  machine.services.Create("..\\Evil");
  EXPECT_FALSE(machine.services.Exists("..\\Evil"));
  EXPECT_TRUE(machine.registry.OpenKey(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services",
                                       KeyAccess::Read));
  EXPECT_FALSE(machine.registry.OpenKey(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Evil",
                                        KeyAccess::Read));
}

TEST(FakeServices, StoppingDependsOnTheStateAndMayTakeAFewQueries) {
  struct Case {
    std::uint32_t state;
    int delay;
    platform::WinError stop;
    std::vector<std::uint32_t> queries;  // what the following status queries report
  } const cases[] = {
      {platform::kServiceRunning, 0, platform::kSuccess, {platform::kServiceStopped}},
      {platform::kServiceRunning,
       2,
       platform::kSuccess,
       {platform::kServiceStopPending, platform::kServiceStopPending, platform::kServiceStopped}},
      {platform::kServiceRunning,
       -1,
       platform::kSuccess,
       {platform::kServiceStopPending, platform::kServiceStopPending,
        platform::kServiceStopPending}},
      {platform::kServiceStopped, 0, platform::kErrorServiceNotActive, {platform::kServiceStopped}},
      {platform::kServiceStartPending,
       0,
       platform::kErrorServiceCannotAcceptCtrl,
       {platform::kServiceStartPending}},
      {platform::kServiceStopPending,
       0,
       platform::kErrorServiceCannotAcceptCtrl,
       {platform::kServiceStopPending}},
  };
  for (const Case& c : cases) {
    FakeMachine machine;
    machine.services.Create("Svc", c.state);
    machine.services.SetStopDelay("Svc", c.delay);
    auto manager = machine.services.OpenManager();
    ASSERT_TRUE(manager);
    auto service = manager->Open("svc");
    ASSERT_TRUE(service);
    EXPECT_EQ(service->Stop(), c.stop) << c.state << "/" << c.delay;
    std::vector<std::uint32_t> seen;
    for (std::size_t i = 0; i < c.queries.size(); ++i)
      seen.push_back(service->QueryState().value_or(0));
    EXPECT_EQ(seen, c.queries) << c.state << "/" << c.delay;
  }
}

TEST(FakeServices, ARunningServiceMarkedForDeletionGoesOnceStoppedAndClosed) {
  FakeMachine machine;
  machine.services.Create("Svc", platform::kServiceRunning);
  machine.registry.CreateKey(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Svc\\Enum");
  auto manager = machine.services.OpenManager();
  auto service = manager->Open("Svc");
  ASSERT_TRUE(service);
  EXPECT_EQ(machine.services.OpenHandleCount(), 2);
  EXPECT_EQ(service->Delete(), platform::kSuccess);
  EXPECT_TRUE(machine.services.MarkedForDelete("Svc"));
  service.reset();
  EXPECT_TRUE(machine.services.Exists("Svc"));  // still running
  machine.services.SetState("Svc", platform::kServiceStopped);
  EXPECT_FALSE(machine.services.Exists("Svc"));
  EXPECT_FALSE(machine.registry.OpenKey(
      Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Svc", KeyAccess::Read));
  EXPECT_TRUE(machine.registry.OpenKey(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services",
                                       KeyAccess::Read));
  EXPECT_EQ(machine.services.OpenHandleCount(), 1);
  manager.reset();
  EXPECT_EQ(machine.services.OpenHandleCount(), 0);
  EXPECT_EQ(machine.services.Calls(),
            (std::vector<std::string>{"OpenManager", "OpenService Svc", "Delete Svc"}));
}

TEST(FakeServices, FailuresComeWhereTheyWereInjected) {
  FakeMachine machine;
  machine.services.Create("Locked", platform::kServiceRunning);
  machine.services.Create("Free", platform::kServiceRunning);
  machine.faults.Inject(Op::OpenService, "locked", platform::kErrorAccessDenied);
  machine.faults.Inject(Op::StopService, "Free", platform::kErrorAccessDenied);
  machine.faults.Inject(Op::DeleteService, "Free", platform::kErrorAccessDenied);
  machine.faults.Inject(Op::QueryServiceState, "Free", platform::kErrorInvalidHandle);
  auto manager = machine.services.OpenManager();
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(manager->Open("LOCKED", &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  auto free = manager->Open("Free", &error);
  ASSERT_TRUE(free);
  EXPECT_EQ(free->Stop(), platform::kErrorAccessDenied);
  EXPECT_EQ(free->Delete(), platform::kErrorAccessDenied);
  EXPECT_FALSE(free->QueryState(&error));
  EXPECT_EQ(error, platform::kErrorInvalidHandle);
  EXPECT_EQ(machine.services.State("Free"), platform::kServiceRunning);
  EXPECT_FALSE(machine.services.MarkedForDelete("Free"));
  machine.faults.Inject(Op::OpenServiceManager, "*", platform::kErrorAccessDenied);
  EXPECT_FALSE(machine.services.OpenManager(&error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
}

TEST(FakeServices, TheConfigurationIsWhatCreateStoredOrWhatATestSet) {
  FakeMachine machine;
  machine.services.Create("Acme", platform::kServiceStopped, "\"C:\\Acme\\svc.exe\" -run");
  machine.services.Create("Bare");
  machine.faults.Inject(Op::QueryServiceConfig, "Locked", platform::kErrorAccessDenied);
  machine.services.Create("Locked");
  auto manager = machine.services.OpenManager();
  ASSERT_TRUE(manager);
  const auto config = [&manager](const char* name, platform::WinError* error = nullptr) {
    auto service = manager->Open(name);
    EXPECT_TRUE(service) << name;
    return service ? service->QueryConfig(error) : std::nullopt;
  };
  EXPECT_EQ(config("ACME"), (platform::ServiceConfig{0x10, 3, 1, "\"C:\\Acme\\svc.exe\" -run", "",
                                                     "", "LocalSystem", "Acme"}));
  EXPECT_EQ(config("Bare")->binaryPath, "");
  platform::ServiceConfig set{0x20,
                              2,
                              0,
                              "C:\\svchost.exe -k x",
                              "Group",
                              "RpcSs\nPlugPlay",
                              "NT AUTHORITY\\LocalService",
                              "Bare Service"};
  machine.services.SetConfig("bare", set);
  EXPECT_EQ(config("Bare"), set);
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(config("Locked", &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  EXPECT_EQ(machine.services.Calls()[2], "QueryConfig Acme");
}

TEST(FakeProcesses, EndingAProcessReleasesTheFilesItHeld) {
  FakeMachine machine;
  machine.files.PutFile("C:\\App\\app.dll", "x");
  std::vector<std::unique_ptr<platform::File>> held;
  held.push_back(machine.files.OpenFile("C:\\App\\app.dll", platform::FileAccess::Read,
                                        platform::kShareRead, platform::Disposition::OpenExisting));
  ASSERT_TRUE(held.back());
  const std::uint32_t app = machine.processes.Start("APP.EXE", std::move(held));
  EXPECT_EQ(machine.files.RemoveFile("C:\\App\\app.dll"), platform::kErrorSharingViolation);
  auto process = machine.processes.OpenForTerminate(app);
  ASSERT_TRUE(process);
  EXPECT_EQ(machine.processes.OpenHandleCount(), 1);
  EXPECT_EQ(process->Terminate(3), platform::kSuccess);
  EXPECT_FALSE(machine.processes.IsRunning(app));
  EXPECT_EQ(machine.files.RemoveFile("C:\\App\\app.dll"), platform::kSuccess);
  // Windows refuses to end it twice.
  EXPECT_EQ(process->Terminate(4), platform::kErrorAccessDenied);
  EXPECT_EQ(machine.processes.EndedProcesses(),
            (std::vector<FakeProcesses::Ended>{{app, "APP.EXE", 3, true}}));
}

TEST(FakeProcesses, TheSnapshotListsTheProgramAmongTheOthersByNumber) {
  FakeMachine machine;
  machine.processes.currentProcessId = 0x204;
  const std::uint32_t first = machine.processes.Start("first.exe");
  const std::uint32_t second = machine.processes.Start("second.exe");
  EXPECT_NE(second, 0x204u);
  EXPECT_EQ(machine.processes.Snapshot(),
            (std::vector<platform::ProcessEntry>{
                {first, "first.exe"}, {0x204, "Sorvane.exe"}, {second, "second.exe"}}));
  EXPECT_TRUE(machine.processes.Exit(first, 0));
  EXPECT_FALSE(machine.processes.Exit(first, 0));
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(machine.processes.OpenForTerminate(first, &error));
  EXPECT_EQ(error, platform::kErrorInvalidParameter);
  // Ending the program itself is recorded, so a test can catch a removal that tries.
  auto self = machine.processes.OpenForTerminate(machine.processes.CurrentProcessId());
  ASSERT_TRUE(self);
  EXPECT_EQ(self->Terminate(1), platform::kSuccess);
  EXPECT_EQ(machine.processes.Snapshot(),
            (std::vector<platform::ProcessEntry>{{second, "second.exe"}}));
  EXPECT_EQ(machine.processes.EndedProcesses().back(),
            (FakeProcesses::Ended{0x204, "Sorvane.exe", 1, true}));
}

TEST(FakeProcesses, FailuresComeWhereTheyWereInjected) {
  FakeMachine machine;
  const std::uint32_t guarded = machine.processes.Start("guarded.exe");
  const std::uint32_t sturdy = machine.processes.Start("sturdy.exe");
  machine.faults.Inject(Op::OpenProcess, "GUARDED.EXE", platform::kErrorAccessDenied);
  machine.faults.Inject(Op::TerminateProcess, "sturdy.exe", platform::kErrorAccessDenied);
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(machine.processes.OpenForTerminate(guarded, &error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
  auto process = machine.processes.OpenForTerminate(sturdy);
  ASSERT_TRUE(process);
  EXPECT_EQ(process->Terminate(1), platform::kErrorAccessDenied);
  EXPECT_TRUE(machine.processes.IsRunning(sturdy));
  machine.faults.Inject(Op::ProcessSnapshot, "*", platform::kErrorAccessDenied);
  EXPECT_FALSE(machine.processes.Snapshot(&error));
  EXPECT_EQ(error, platform::kErrorAccessDenied);
}

TEST(FakeSystem, SleepingAdvancesTheClockAndLetsTheWorldMoveOn) {
  FakeMachine machine;
  const std::uint32_t app = machine.processes.Start("app.exe");
  machine.system.onSleep = [&](std::uint32_t) {
    if (machine.system.sleptMilliseconds >= 300) machine.processes.Exit(app);
  };
  const FileTime start = machine.clock.UtcNow();
  while (machine.processes.IsRunning(app) && machine.system.sleeps.size() < 10)
    machine.system.Sleep(100);
  machine.system.Sleep(0);
  EXPECT_EQ(machine.system.sleeps, (std::vector<std::uint32_t>{100, 100, 100, 0}));
  EXPECT_EQ(machine.system.sleptMilliseconds, 300u);
  EXPECT_EQ(machine.clock.UtcNow().ticks - start.ticks, 300u * 10'000u);
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
