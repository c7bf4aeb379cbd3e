// The gate as the executor of a plan: asked again before each deletion, never through a link
// (with the link behaviour of Windows and of Wine), checked afterwards, and deleting nothing in
// Record mode. What the policy decides is in removal_policy_test.cpp.
#include "engine/deletion_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace sv::engine {
namespace {

using Behaviour = fake::FakeFileSystem::LinkBehaviour;

PlanItem Item(GateAction action, std::string target, policy::PathUse use,
              policy::Source source = policy::Source::Database) {
  PlanItem item;
  item.action = action;
  item.target = std::move(target);
  item.use = use;
  item.source = source;
  return item;
}

class GateTest : public ::testing::TestWithParam<Behaviour> {
 protected:
  GateTest() {
    machine.files.SetLinkBehaviour(GetParam());
    machine.files.PutFile("C:\\Program Files\\Sorvane\\Sorvane.exe");
    machine.files.PutFile("C:\\users\\root\\Documents\\precious.txt", "keep");
    machine.files.PutFile("C:\\ProgramData\\Other\\shared.cfg", "keep");
    machine.files.PutFile("C:\\Program Files\\Acme\\a.exe", "MZ");
  }

  bool Exists(const std::string& path) {
    return machine.files.GetAttributes(path) != platform::kInvalidAttributes;
  }

  PlanItem Tree(const std::string& folder) {
    PlanItem item = Item(GateAction::DeleteTree, folder, policy::PathUse::Tree);
    if (const auto canonical = gate.CanonicalPath(folder))
      item.contents = ListTreeForRemoval(machine.files, *canonical);
    return item;
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  DeletionGate gate{machine.Get()};
};

TEST_P(GateTest, AFolderLinkWrittenWithATrailingBackslashKeepsItsTarget) {
  machine.files.PutDirectoryLink("C:\\Program Files\\Acme\\docs", "C:\\users\\root\\Documents");
  const ItemResult result = gate.Execute(Tree("C:\\Program Files\\Acme\\docs\\"));
  EXPECT_TRUE(Exists("C:\\users\\root\\Documents\\precious.txt"));
  EXPECT_NE(result.outcome, Outcome::Failed) << result.reason;
  // Windows removes the link itself; Wine would act on the target, so the link stays.
  EXPECT_EQ(Exists("C:\\Program Files\\Acme\\docs"), GetParam() == Behaviour::Wine);
}

TEST_P(GateTest, AFolderTreeNeverReachesThroughItsLinks) {
  machine.files.PutDirectoryLink("C:\\Program Files\\Acme\\docs", "C:\\users\\root\\Documents");
  machine.files.PutSymbolicLink("C:\\Program Files\\Acme\\shared.cfg",
                                "C:\\ProgramData\\Other\\shared.cfg", false);
  const PlanItem tree = Tree("C:\\Program Files\\Acme");
  // The plan lists the links as links, and nothing behind them.
  int links = 0;
  for (const TreeEntry& entry : tree.contents) {
    links += entry.link ? 1 : 0;
    EXPECT_EQ(entry.path.find("precious"), std::string::npos) << entry.path;
  }
  EXPECT_EQ(links, 2);
  const ItemResult result = gate.Execute(tree);
  EXPECT_TRUE(Exists("C:\\users\\root\\Documents\\precious.txt"));
  EXPECT_TRUE(Exists("C:\\ProgramData\\Other\\shared.cfg"));
  EXPECT_FALSE(Exists("C:\\Program Files\\Acme\\a.exe"));
  if (GetParam() == Behaviour::Windows) {
    EXPECT_EQ(result.outcome, Outcome::Done) << result.reason;
    EXPECT_FALSE(Exists("C:\\Program Files\\Acme"));
  } else {
    // The folder stays only for the links it holds, and says so.
    EXPECT_EQ(result.outcome, Outcome::Kept) << result.reason;
    EXPECT_TRUE(Exists("C:\\Program Files\\Acme\\docs"));
  }
}

TEST_P(GateTest, AFileLinkNamedByTheDatabaseKeepsItsTarget) {
  machine.files.PutSymbolicLink("C:\\Program Files\\Acme\\acme.cfg",
                                "C:\\ProgramData\\Other\\shared.cfg", false);
  const ItemResult result = gate.Execute(
      Item(GateAction::DeleteFile, "C:\\Program Files\\Acme\\acme.cfg", policy::PathUse::File));
  EXPECT_TRUE(Exists("C:\\ProgramData\\Other\\shared.cfg"));
  EXPECT_EQ(result.outcome, GetParam() == Behaviour::Windows ? Outcome::Done : Outcome::Kept)
      << result.reason;
}

TEST_P(GateTest, AFileBehindAFolderLinkIsKept) {
  machine.files.PutDirectoryLink("C:\\Program Files\\Acme\\docs", "C:\\users\\root\\Documents");
  const ItemResult result =
      gate.Execute(Item(GateAction::DeleteFile, "C:\\Program Files\\Acme\\docs\\precious.txt",
                        policy::PathUse::File));
  EXPECT_TRUE(Exists("C:\\users\\root\\Documents\\precious.txt"));
  EXPECT_EQ(result.outcome, Outcome::Kept) << result.reason;
}

INSTANTIATE_TEST_SUITE_P(Links, GateTest, ::testing::Values(Behaviour::Windows, Behaviour::Wine),
                         [](const ::testing::TestParamInfo<Behaviour>& param) {
                           return std::string(param.param == Behaviour::Windows ? "Windows"
                                                                                : "Wine");
                         });

TEST(DeletionGate, EveryDeletionIsCheckedAndReportedAsItEnded) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Program Files\\Acme\\a.exe");
  machine.files.PutFile("C:\\Program Files\\Acme\\held.dll");
  machine.registry.CreateKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme\\Writer");
  machine.faults.Inject(fake::Op::RemoveFile, "C:\\Program Files\\Acme\\held.dll",
                        platform::kErrorSharingViolation);
  DeletionGate gate(machine.Get());
  std::vector<GateEvent> events;
  gate.SetObserver([&events](const GateEvent& event) { events.push_back(event); });

  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteFile, "C:\\Program Files\\Acme\\a.exe",
                              policy::PathUse::File))
                .outcome,
            Outcome::Done);
  const ItemResult held = gate.Execute(
      Item(GateAction::DeleteFile, "C:\\Program Files\\Acme\\held.dll", policy::PathUse::File));
  EXPECT_EQ(held.outcome, Outcome::Failed);
  EXPECT_NE(held.reason.find("in use"), std::string::npos) << held.reason;
  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteFile, "C:\\Program Files\\Acme\\gone.txt",
                              policy::PathUse::File))
                .outcome,
            Outcome::Gone);
  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer",
                              policy::PathUse::File))
                .outcome,
            Outcome::Done);
  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteKey, "HKEY_LOCAL_MACHINE\\SOFTWARE",
                              policy::PathUse::File))
                .outcome,
            Outcome::Refused);
  ASSERT_EQ(events.size(), 5U);
  EXPECT_TRUE(events[4].refused);
  EXPECT_FALSE(events[4].reason.empty());
}

TEST(DeletionGate, RecordModeDecidesButDeletesNothing) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Program Files\\Acme\\a.exe");
  machine.registry.CreateKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme\\Writer");
  DeletionGate gate(machine.Get(), DeletionGate::Mode::Record);
  EXPECT_EQ(
      gate.Execute(Item(GateAction::DeleteTree, "C:\\Program Files\\Acme", policy::PathUse::Tree))
          .outcome,
      Outcome::Planned);
  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteTree, "C:\\Program Files", policy::PathUse::Tree))
                .outcome,
            Outcome::Refused);
  EXPECT_EQ(gate.Execute(Item(GateAction::DeleteKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer",
                              policy::PathUse::File))
                .outcome,
            Outcome::Planned);
  EXPECT_NE(machine.files.GetAttributes("C:\\Program Files\\Acme\\a.exe"),
            platform::kInvalidAttributes);
  EXPECT_TRUE(machine.registry.OpenKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme\\Writer",
                                       platform::KeyAccess::Read));
}

TEST(DeletionGate, ProfilesTheRegistryKnowsAreProtectedWhereverTheyLie) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  const std::string list = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  machine.registry.CreateKey(platform::Hive::LocalMachine, list)
      ->SetStringValue("ProfilesDirectory", "%SystemDrive%\\Profiles");
  machine.registry.CreateKey(platform::Hive::LocalMachine, list + "\\S-1-5-21-7")
      ->SetStringValue("ProfileImagePath", "D:\\Home\\ann");
  machine.files.AddDrive('D');
  machine.files.PutDirectory("C:\\Profiles\\bob");
  const DeletionGate gate(machine.Get());
  for (const char* path : {"C:\\Profiles", "C:\\Profiles\\bob", "C:\\Profiles\\Default User",
                           "D:\\Home\\ann", "D:\\Home", "D:\\Home\\ann\\AppData\\Local"}) {
    EXPECT_FALSE(gate.AllowsPath(path)) << path;
  }
  EXPECT_TRUE(gate.AllowsPath("D:\\Home\\ann\\AppData\\Local\\Acme"));
}

}  // namespace
}  // namespace sv::engine
