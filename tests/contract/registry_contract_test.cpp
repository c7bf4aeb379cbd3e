#include <optional>
#include <string>
#include <vector>

#include "contract/contract_environment.h"
#include "support/trees.h"

namespace sv::testing {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegValue;

class RegistryContract : public PlatformContract {
 protected:
  std::string Key(const std::string& below) { return env_->ScratchKey() + "\\" + below; }

  std::unique_ptr<platform::RegistryKey> Make(const std::string& below) {
    auto key = Registry().CreateKey(Hive::CurrentUser, Key(below));
    EXPECT_TRUE(key) << below;
    return key;
  }

  static std::vector<std::string> SubKeys(const platform::RegistryKey& key) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; auto name = key.EnumKey(i); ++i)
      names.push_back(*name);
    return names;
  }

  static std::vector<std::string> Values(const platform::RegistryKey& key) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; auto name = key.EnumValue(i); ++i)
      names.push_back(*name);
    return names;
  }
};

TEST_F(RegistryContract, MissingKeyFailsToOpenAndIsNotCreatedByTheAttempt) {
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(Registry().OpenKey(Hive::CurrentUser, Key("Missing"), KeyAccess::AllAccess, &error));
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_FALSE(Registry().OpenKey(Hive::CurrentUser, Key("Missing"), KeyAccess::Read));
  EXPECT_FALSE(Registry().OpenKey(Hive::CurrentUser, Key("Missing\\Deeper"), KeyAccess::Read));
}

TEST_F(RegistryContract, KeyAndValueNamesCompareWithoutCase) {
  Make("Acme\\Tools")->SetStringValue("DisplayName", "Acme Tools");
  auto key = Registry().OpenKey(Hive::CurrentUser, Key("ACME\\tools"), KeyAccess::Read);
  ASSERT_TRUE(key);
  const auto value = key->QueryValue("displayNAME");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->data, "Acme Tools");
}

TEST_F(RegistryContract, SubKeysAndValuesEnumerateSortedByNamesFoldedToLowerCase) {
  auto parent = Make("Order");
  // '_' sorts before letters when names fold to lower case, after them when they fold to upper.
  for (const char* name : {"Zeta", "_under", "alpha", "Beta"}) {
    ASSERT_TRUE(Make(std::string("Order\\") + name));
    ASSERT_EQ(parent->SetStringValue(name, "x"), platform::kSuccess);
  }
  const std::vector<std::string> expected = {"_under", "alpha", "Beta", "Zeta"};
  auto key = Registry().OpenKey(Hive::CurrentUser, Key("Order"), KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(SubKeys(*key), expected);
  EXPECT_EQ(Values(*key), expected);
  EXPECT_FALSE(key->EnumKey(4));
  EXPECT_FALSE(key->EnumValue(99));
}

TEST_F(RegistryContract, EnumerationCanJumpBackAndForth) {
  for (const char* name : {"a", "b", "c"})
    Make(std::string("Jump\\") + name);
  auto key = Registry().OpenKey(Hive::CurrentUser, Key("Jump"), KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->EnumKey(2), "c");
  EXPECT_EQ(key->EnumKey(0), "a");
  EXPECT_EQ(key->EnumKey(1), "b");
}

TEST_F(RegistryContract, KeyPathsMayStartWithOneBackslashAndRepeatSeparators) {
  Make("Paths\\Inner");
  for (const std::string& path :
       {"\\" + Key("Paths\\Inner"), Key("Paths\\\\Inner"), Key("Paths\\Inner\\")}) {
    EXPECT_TRUE(Registry().OpenKey(Hive::CurrentUser, path, KeyAccess::Read)) << path;
  }
}

TEST_F(RegistryContract, StringValuesKeepTheirTextInAnyScript) {
  auto key = Make("Text");
  const std::string texts[] = {"", "plain", "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
                               std::string(5000, 'x')};
  for (std::size_t i = 0; i < std::size(texts); ++i) {
    const std::string name = "v" + std::to_string(i);
    ASSERT_EQ(key->SetStringValue(name, texts[i]), platform::kSuccess);
    const auto value = key->QueryValue(name);
    ASSERT_TRUE(value) << name;
    EXPECT_EQ(value->type, platform::kRegSz);
    EXPECT_EQ(value->data, texts[i]) << name;
  }
}

TEST_F(RegistryContract, DefaultValueHasTheEmptyName) {
  auto key = Make("Default");
  EXPECT_FALSE(key->QueryValue(""));
  ASSERT_EQ(key->SetStringValue("", "unnamed"), platform::kSuccess);
  EXPECT_EQ(key->QueryValue("")->data, "unnamed");
  EXPECT_EQ(Values(*key), std::vector<std::string>{""});
}

TEST_F(RegistryContract, ValuesOfOtherTypesComeBackAsStored) {
  auto key = Make("Types");
  const RegValue values[] = {
      platform::DwordValue(0x12345678),
      {platform::kRegExpandSz, "%SystemRoot%\\acme.exe"},
      {platform::kRegMultiSz, std::string("one\0two\0\0", 9)},
      {platform::kRegBinary, std::string("\x01\x00\xff", 3)},
      {platform::kRegBinary, ""},
  };
  for (std::size_t i = 0; i < std::size(values); ++i) {
    const std::string name = "t" + std::to_string(i);
    ASSERT_EQ(key->SetValue(name, values[i]), platform::kSuccess);
    EXPECT_EQ(key->QueryValue(name), values[i]) << name;
  }
  EXPECT_EQ(key->QueryValue("t0")->data, std::string("\x78\x56\x34\x12", 4));
}

TEST_F(RegistryContract, ReadValueGivesWhatTheOpenedKeyGives) {
  auto key = Make("Read\\Sub");
  const RegValue values[] = {
      platform::StringValue("C:\\Program Files\\Acme\\acme.dll"),
      platform::StringValue(""),
      {platform::kRegSz, std::string("cut\0after", 9)},
      {platform::kRegExpandSz, "%SystemRoot%\\acme.exe"},
      {platform::kRegMultiSz, std::string("one\0two\0\0", 9)},
      {platform::kRegMultiSz, std::string("no end", 6)},
      platform::DwordValue(7),
      {platform::kRegBinary, std::string("\x01\x00\xff", 3)},
      {platform::kRegBinary, ""},
      platform::StringValue("\xD0\x9F\xD1\x80\xD0\xBE \xE6\x96\x87"),
  };
  for (std::size_t i = 0; i < std::size(values); ++i)
    ASSERT_EQ(key->SetValue("v" + std::to_string(i), values[i]), platform::kSuccess);
  ASSERT_EQ(key->SetStringValue("", "default"), platform::kSuccess);

  struct Read {
    std::string path;
    std::string name;
  };
  std::vector<Read> reads{{"Read\\Sub", ""},
                          {"read\\SUB", "V0"},
                          {"Read\\Sub", "missing"},
                          {"Read\\Missing", "v0"},
                          {"Read", "v0"}};
  for (std::size_t i = 0; i < std::size(values); ++i)
    reads.push_back({"Read\\Sub", "v" + std::to_string(i)});
  for (const Read& read : reads) {
    platform::WinError viaKey = platform::kSuccess;
    std::optional<RegValue> expected;
    if (auto opened =
            Registry().OpenKey(Hive::CurrentUser, Key(read.path), KeyAccess::Read, &viaKey)) {
      expected = opened->QueryValue(read.name, &viaKey);
    }
    platform::WinError direct = platform::kSuccess;
    EXPECT_EQ(Registry().ReadValue(Hive::CurrentUser, Key(read.path), read.name, &direct), expected)
        << read.path << " " << read.name;
    EXPECT_EQ(direct, viaKey) << read.path << " " << read.name;
  }
  EXPECT_EQ(Registry().ReadValue(Hive::CurrentUser, Key("Read\\Sub"), "v0")->data,
            "C:\\Program Files\\Acme\\acme.dll");
}

TEST_F(RegistryContract, MissingValueIsAbsent) {
  auto key = Make("Absent");
  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(key->QueryValue("Nothing", &error));
  EXPECT_EQ(error, platform::kErrorFileNotFound);
  EXPECT_EQ(key->DeleteValue("Nothing"), platform::kErrorFileNotFound);
}

TEST_F(RegistryContract, OverwritingAValueKeepsTheNameItWasCreatedWith) {
  auto key = Make("Spelling");
  key->SetStringValue("DisplayName", "first");
  key->SetStringValue("DISPLAYNAME", "second");
  EXPECT_EQ(Values(*key), std::vector<std::string>{"DisplayName"});
  EXPECT_EQ(key->QueryValue("displayname")->data, "second");
}

TEST_F(RegistryContract, KeyOpenedForReadingRefusesChanges) {
  Make("ReadOnly")->SetStringValue("Keep", "kept");
  auto key = Registry().OpenKey(Hive::CurrentUser, Key("ReadOnly"), KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->SetStringValue("New", "x"), platform::kErrorAccessDenied);
  EXPECT_EQ(key->DeleteValue("Keep"), platform::kErrorAccessDenied);
  EXPECT_EQ(key->QueryValue("Keep")->data, "kept");
}

TEST_F(RegistryContract, DeletingValuesAndLeafKeys) {
  auto key = Make("Delete\\Leaf");
  key->SetStringValue("Gone", "x");
  EXPECT_EQ(key->DeleteValue("GONE"), platform::kSuccess);
  EXPECT_FALSE(key->QueryValue("Gone"));
  // A key with a sub-key stays; its last leaf can go, and then the key itself.
  EXPECT_EQ(Registry().DeleteKey(Hive::CurrentUser, Key("Delete")), platform::kErrorAccessDenied);
  EXPECT_EQ(Registry().DeleteKey(Hive::CurrentUser, "\\" + Key("delete\\leaf")),
            platform::kSuccess);
  EXPECT_EQ(Registry().DeleteKey(Hive::CurrentUser, Key("Delete")), platform::kSuccess);
  EXPECT_FALSE(Registry().OpenKey(Hive::CurrentUser, Key("Delete"), KeyAccess::Read));
  EXPECT_EQ(Registry().DeleteKey(Hive::CurrentUser, Key("Delete")), platform::kErrorFileNotFound);
}

TEST_F(RegistryContract, HandleOfADeletedKeyFailsEveryLaterCall) {
  auto key = Make("Doomed");
  key->SetStringValue("v", "x");
  ASSERT_EQ(Registry().DeleteKey(Hive::CurrentUser, Key("Doomed")), platform::kSuccess);
  EXPECT_EQ(key->SetStringValue("v", "y"), platform::kErrorKeyDeleted);
  EXPECT_FALSE(key->QueryValue("v"));
  EXPECT_FALSE(key->EnumValue(0));
  EXPECT_FALSE(key->EnumKey(0));
}

TEST_F(RegistryContract, HiveRootsOpen) {
  for (Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
    auto root = Registry().OpenKey(hive, "", KeyAccess::Read);
    ASSERT_TRUE(root) << platform::HiveName(hive);
    EXPECT_TRUE(root->EnumKey(0)) << platform::HiveName(hive) << " has sub-keys";
  }
}

TEST_F(RegistryContract, ClassesRootShowsTheMachinesClasses) {
  const std::string name = "SorvaneTests." + UniqueStamp();
  const std::string machinePath = "Software\\Classes\\" + name;
  ASSERT_TRUE(Registry().CreateKey(Hive::LocalMachine, machinePath));
  auto seen = Registry().OpenKey(Hive::ClassesRoot, name, KeyAccess::Read);
  EXPECT_TRUE(seen);
  seen.reset();
  EXPECT_EQ(Registry().DeleteKey(Hive::ClassesRoot, name), platform::kSuccess);
  EXPECT_FALSE(Registry().OpenKey(Hive::LocalMachine, machinePath, KeyAccess::Read));
}

// A name with a NUL inside would reach Windows cut short, as its parent key or another value:
// it is refused, and what the shorter name addresses stays untouched.
TEST_F(RegistryContract, NamesHoldingANulAreRefusedNotCutShort) {
  using namespace std::string_literals;
  auto parent = Make("parent");
  ASSERT_TRUE(parent);
  ASSERT_EQ(parent->SetStringValue("name", "kept"), platform::kSuccess);
  const std::string withNul = Key("parent") + "\0\\child"s;

  platform::WinError error = platform::kSuccess;
  EXPECT_FALSE(Registry().OpenKey(Hive::CurrentUser, withNul, KeyAccess::Read, &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);
  EXPECT_EQ(Registry().DeleteKey(Hive::CurrentUser, Key("parent\\sub") + "\0x"s),
            platform::kErrorInvalidName);
  EXPECT_FALSE(Registry().CreateKey(Hive::CurrentUser, Key("parent") + "\0new"s, &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);

  EXPECT_EQ(parent->DeleteValue("name\0other"s), platform::kErrorInvalidName);
  EXPECT_FALSE(parent->QueryValue("name\0other"s, &error));
  EXPECT_EQ(error, platform::kErrorInvalidName);
  EXPECT_EQ(parent->SetStringValue("name\0other"s, "changed"), platform::kErrorInvalidName);

  const auto kept = parent->QueryValue("name");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->data, "kept");
  EXPECT_TRUE(Registry().OpenKey(Hive::CurrentUser, Key("parent"), KeyAccess::Read));
}

}  // namespace
}  // namespace sv::testing
