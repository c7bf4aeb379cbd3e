// The per-run listings of folders and keys: what they rule out must be missing for the system
// too, they must rule out the plainly missing, and the database's existence tests must answer
// the same with them as without.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/paths.h"
#include "database/opUninstallFile.h"
#include "platform/counting/counting.h"
#include "platform/fake/fake_machine.h"
#include "platform/listings.h"

namespace sv::platform {
namespace {

struct RuleCase {
  const char* path;
  bool ruledOut;
};

class FolderRulesTest : public ::testing::Test {
 protected:
  FolderRulesTest() {
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\app.exe", "MZ");
    machine.files.PutFile("C:\\Program Files\\Acme\\readme.txt", "x");
    machine.files.PutFile("C:\\Tools\\\xC3\x89" "diteur\\tool.exe", "MZ");
    machine.files.PutFile("C:\\Data\\notes.txt", "x");
  }
  // Whatever the listings rule out, the system must find nothing at.
  void ExpectNothingThere(const std::string& path) {
    EXPECT_EQ(machine.files.GetAttributes(path), kInvalidAttributes) << path;
    EXPECT_EQ(machine.files.FindFirst(path), nullptr) << path;
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
};

TEST_F(FolderRulesTest, RulesOutOnlyWhatTheListingsShowMissing) {
  const std::vector<RuleCase> cases{
      {"C:\\Program Files\\Acme\\Writer\\app.exe", false},
      {"c:\\PROGRAM FILES\\acme\\WRITER\\APP.EXE", false},
      {"C:\\Program Files\\Acme\\Writer\\missing.exe", true},
      {"C:\\Program Files\\Acme\\Gone\\app.exe", true},
      {"C:\\Program Files\\Nobody\\Thing\\app.exe", true},
      {"C:\\Nowhere", true},
      {"C:\\Program Files\\Acme", false},
      // A file where a folder would be holds nothing.
      {"C:\\Data\\notes.txt\\inner.txt", true},
      // A pattern is matched by the system; its folders are still looked up.
      {"C:\\Program Files\\Acme\\Writer\\*.exe", false},
      {"C:\\Program Files\\Acme\\Writer\\*.dll", false},
      {"C:\\Program Files\\Nobody\\*.exe", true},
      {"C:\\Program Files\\Nobody\\APP~1.EXE", true},
      // Names the system reads otherwise than the listing are left to it.
      {"C:\\Program Files\\Acme\\Writer\\missing.exe.", false},
      {"C:\\Program Files\\Acme\\Gone.\\app.exe", false},
      {"C:\\Program Files\\Acme\\Gone\\..\\readme.txt", false},
      {"C:\\Program Files\\Acme\\.\\Gone", false},
      {"C:\\Program Files\\ACME~1\\readme.txt", false},
      {"C:\\Program Files\\Acme\\Writer\\ app.exe", false},
      {"C:\\Program Files\\Acme\\Gone\\nul", false},
      {"C:\\Program Files\\Acme\\com1.txt", false},
      {"C:\\Program Files\\Acme/Gone\\app.exe", false},
      {"C:\\Program Files\\Acme\\\\Gone", false},
      {"C:\\Program Files\\Acme\\Gone\\", false},
      {"C:\\", false},
      {"\\\\server\\share\\app.exe", false},
      {"Program Files\\Nobody", false},
      // A folder holding a name outside ASCII cannot be listed, nor can such a name be looked up.
      {"C:\\Tools\\Missing", false},
      {"C:\\Tools\\\xC3\x89" "diteur\\missing.exe", false},
  };
  FolderListings listings(machine.files);
  for (const RuleCase& c : cases) {
    EXPECT_EQ(listings.RulesOut(c.path), c.ruledOut) << c.path;
    if (c.ruledOut) ExpectNothingThere(c.path);
  }
}

TEST_F(FolderRulesTest, AFolderThatCannotBeListedRulesOutNothing) {
  machine.faults.Inject(fake::Op::FindFirst, "C:\\Program Files\\Acme\\*",
                        kErrorAccessDenied);
  FolderListings listings(machine.files);
  EXPECT_FALSE(listings.RulesOut("C:\\Program Files\\Acme\\Gone\\app.exe"));
  EXPECT_TRUE(listings.RulesOut("C:\\Program Files\\Nobody\\app.exe"));
}

TEST_F(FolderRulesTest, EachFolderIsListedOnce) {
  CountingFileSystem files(machine.files);
  FolderListings listings(files);
  for (int i = 0; i < 50; ++i) {
    const std::string name = "C:\\Program Files\\Acme\\Gone" + std::to_string(i);
    EXPECT_TRUE(listings.RulesOut(name + "\\app.exe"));
    EXPECT_TRUE(listings.RulesOut(name));
  }
  // C:\, C:\Program Files and C:\Program Files\Acme.
  EXPECT_EQ(files.Counts()[FileCall::FindFirst], 3U);
  EXPECT_EQ(files.Counts()[FileCall::GetAttributes], 0U);
}

class KeyRulesTest : public ::testing::Test {
 protected:
  KeyRulesTest() {
    (void)machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Writer\\Settings");
    (void)machine.registry.CreateKey(Hive::CurrentUser, "Software\\Acme");
    (void)machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Intl\\\xC3\x89" "diteur");
    (void)machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Odd\\ spaced");
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
};

TEST_F(KeyRulesTest, RulesOutOnlyKeysMissingFromTheListings) {
  struct KeyCase {
    Hive hive;
    const char* path;
    bool ruledOut;
  };
  const std::vector<KeyCase> cases{
      {Hive::LocalMachine, "SOFTWARE\\Acme\\Writer", false},
      {Hive::LocalMachine, "\\software\\ACME\\writer\\SETTINGS", false},
      {Hive::LocalMachine, "\\SOFTWARE\\Acme\\Gone", true},
      {Hive::LocalMachine, "\\SOFTWARE\\Nobody\\Thing\\Deeper", true},
      {Hive::LocalMachine, "\\Nowhere", true},
      {Hive::CurrentUser, "\\Software\\Acme\\Writer", true},
      {Hive::CurrentUser, "\\Software\\Acme", false},
      {Hive::Users, "\\Nobody", true},
      // Merged and linked views are left to the registry.
      {Hive::ClassesRoot, "\\Nowhere", false},
      {Hive::CurrentConfig, "\\Nowhere", false},
      // The root, and names a listing cannot compare as the registry does.
      {Hive::LocalMachine, "", false},
      {Hive::LocalMachine, "\\", false},
      {Hive::LocalMachine, "\\SOFTWARE\\\\Gone", false},
      {Hive::LocalMachine, "\\SOFTWARE\\Acme\\Gone\\", false},
      {Hive::LocalMachine, "\\SOFTWARE\\\xC3\x89t\xC3\xA9", false},
      {Hive::LocalMachine, "\\SOFTWARE\\..\\Gone", false},
      {Hive::LocalMachine, "\\SOFTWARE\\Acme \\Gone", false},
      // A key holding a name outside ASCII, or one with blanks around it, cannot be listed.
      {Hive::LocalMachine, "\\SOFTWARE\\Intl\\Gone", false},
      {Hive::LocalMachine, "\\SOFTWARE\\Odd\\Gone", false},
  };
  KeyListings listings(machine.registry, true);
  KeyListings otherView(machine.registry, false);
  for (const KeyCase& c : cases) {
    EXPECT_EQ(listings.RulesOut(c.hive, c.path), c.ruledOut) << c.path;
    EXPECT_FALSE(otherView.RulesOut(c.hive, c.path)) << c.path;
    if (c.ruledOut) {
      EXPECT_EQ(machine.registry.OpenKey(c.hive, c.path, KeyAccess::Read), nullptr) << c.path;
    }
  }
}

TEST_F(KeyRulesTest, AKeyThatCannotBeReadRulesOutNothingBelowIt) {
  machine.faults.Inject(fake::Op::OpenKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme",
                        kErrorAccessDenied);
  KeyListings listings(machine.registry, true);
  EXPECT_FALSE(listings.RulesOut(Hive::LocalMachine, "\\SOFTWARE\\Acme\\Gone"));
  EXPECT_TRUE(listings.RulesOut(Hive::LocalMachine, "\\SOFTWARE\\Nobody"));
}

// The database's existence tests, with the listings and without, over items of every kind.
class ItemExistsWithListings : public ::testing::Test {
 protected:
  ItemExistsWithListings() {
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\app.exe", "MZ");
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\data\\a.dat", "x");
    (void)machine.files.MakeDir("C:\\db");
    (void)machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Writer");
    auto user = machine.registry.CreateKey(Hive::CurrentUser, "Software\\Acme");
    (void)user->SetStringValue("Last", "1");
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  CountingRegistry registry{machine.registry};
  CountingFileSystem files{machine.files};
  Platform platform{registry,          files,
                    machine.system,    machine.messages,
                    machine.services,  machine.processes};
};

TEST_F(ItemExistsWithListings, AnswerAsWithoutThem) {
  database::TUFileOp db(platform, "C:\\db\\SV.dat", "C:\\db\\soft.dat");
  const std::vector<std::pair<std::uint16_t, std::string>> items{
      {1, "C:\\Program Files\\Acme\\Writer\\app.exe"},
      {1, "C:\\program files\\acme\\writer\\APP.EXE"},
      {1, "C:\\Program Files\\Acme\\Writer\\*.exe"},
      {1, "C:\\Program Files\\Acme\\Writer\\*.dll"},
      {1, "C:\\Program Files\\Acme\\Writer\\data"},
      {1, "C:\\Program Files\\Acme\\Writer\\missing.exe"},
      {1, "C:\\Program Files\\Acme\\Gone\\app.exe"},
      {1, "C:\\Program Files\\Acme\\Gone\\..\\Writer\\app.exe"},
      {1, "C:\\Program Files\\Nobody\\*.*"},
      {4, "C:\\Program Files\\Acme\\Writer"},
      {4, "C:\\Program Files\\Acme\\Writer\\data\\"},
      {4, "C:\\Program Files\\Acme\\Writer\\app.exe"},
      {4, "C:\\Program Files\\Acme\\Gone"},
      {4, "C:\\Program Files\\Acme\\Gone\\.."},
      {2, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer"},
      {2, "HKEY_LOCAL_MACHINE\\software\\acme"},
      {2, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Gone"},
      {2, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Nobody\\Thing"},
      {2, "HKEY_CLASSES_ROOT\\Nowhere"},
      {3, "HKEY_CURRENT_USER\\Software\\Acme\\Last"},
      {3, "HKEY_CURRENT_USER\\Software\\Acme\\Gone"},
      {3, "HKEY_CURRENT_USER\\Software\\Nobody\\Last"},
  };
  RunListings listings(files, registry, true);
  int exists = 0;
  for (const auto& [kind, item] : items) {
    db.UseListings(nullptr);
    const bool system = db.ItemExists(item, kind);
    db.UseListings(&listings);
    EXPECT_EQ(db.ItemExists(item, kind), system) << item;
    exists += system ? 1 : 0;
  }
  EXPECT_EQ(exists, 10);
}

TEST_F(ItemExistsWithListings, ItemsBelowAMissingFolderOrKeyCostNoCallOnceListed) {
  database::TUFileOp db(platform, "C:\\db\\SV.dat", "C:\\db\\soft.dat");
  RunListings listings(files, registry, true);
  db.UseListings(&listings);
  EXPECT_FALSE(db.ItemExists("C:\\Program Files\\Nobody\\first.exe", 1));
  EXPECT_FALSE(db.ItemExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nobody\\First", 2));
  const FileCallCounts fileCalls = files.Counts();
  const RegistryCallCounts registryCalls = registry.Counts();
  for (const char* name : {"a.exe", "b.dll", "Sub\\c.txt", "*.ini"}) {
    EXPECT_FALSE(db.ItemExists(std::string("C:\\Program Files\\Nobody\\") + name, 1));
    EXPECT_FALSE(db.ItemExists(std::string("C:\\Program Files\\Nobody\\") + name, 4));
    EXPECT_FALSE(db.ItemExists(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nobody\\") + name, 2));
    EXPECT_FALSE(db.ItemExists(std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nobody\\") + name, 3));
  }
  EXPECT_EQ(files.Counts().Total(), fileCalls.Total());
  EXPECT_EQ(registry.Counts().Total(), registryCalls.Total());
}

}  // namespace
}  // namespace sv::platform
