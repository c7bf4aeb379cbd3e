// The signature database on the real system: existence tests on real files, folders, keys and
// values of the Wine prefix, expansion with the real Windows folder and user, and the console
// front end's db queries end to end against the sample database built beside this program.
#include <windows.h>
//
#include <lmcons.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "database/opUninstallFile.h"
#include "platform/listings.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "support/db_writer.h"
#include "support/trees.h"
#include "win/temp_folder.h"

namespace sv::database {
namespace {

using testing::TempFolder;

FileTime Utc(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  return SystemTimeToFileTime({year, month, 0, day, 12, 0, 0, 0}).value();
}

class RealDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    stamp_ = testing::UniqueStamp();
    folder_ = TempFolder() + "\\sv-database-" + stamp_;
    key_ = "Software\\SorvaneTests\\" + stamp_;
    ASSERT_EQ(Files().MakeDir(folder_), platform::kSuccess);
    auto key = platform_.registry.CreateKey(platform::Hive::CurrentUser, key_);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->SetStringValue("InstallDir", "C:\\x"), platform::kSuccess);
    ASSERT_EQ(key->SetStringValue("", "default"), platform::kSuccess);
    db_.emplace(platform_, folder_ + "\\SV.dat", folder_ + "\\soft.dat");
  }
  void TearDown() override {
    db_.reset();
    testing::RemoveFileTree(Files(), folder_);
    testing::RemoveKeyTree(platform_.registry, platform::Hive::CurrentUser, key_);
    (void)platform_.registry.DeleteKey(platform::Hive::CurrentUser, "Software\\SorvaneTests");
  }

  platform::FileSystem& Files() { return platform_.files; }

  std::string PutFile(const std::string& name, std::optional<FileTime> written = std::nullopt) {
    const std::string path = folder_ + "\\" + name;
    auto file = Files().OpenFile(path, platform::FileAccess::Write, platform::kShareNone,
                                 platform::Disposition::CreateAlways);
    EXPECT_TRUE(file);
    if (file && written) {
      auto times = file->GetTimes();
      EXPECT_TRUE(times);
      times->lastWrite = *written;
      EXPECT_EQ(file->SetTimes(*times), platform::kSuccess);
    }
    return path;
  }

  win32::Win32Platform machine_;
  platform::Platform platform_ = machine_.Get();
  std::string stamp_, folder_, key_;
  std::optional<TUFileOp> db_;
};

TEST_F(RealDatabase, MissingFilesAreCreatedWithEmptyHeaders) {
  EXPECT_EQ(platform::ReadWholeFile(Files(), folder_ + "\\SV.dat")->size(), 28u);
  EXPECT_EQ(platform::ReadWholeFile(Files(), folder_ + "\\soft.dat")->size(), 16u);
  EXPECT_EQ(db_->GetSoftCount(0), 0);
}

TEST_F(RealDatabase, FileAndDirectoryExistence) {
  const std::string file = PutFile("present.txt");
  const std::string dir = folder_ + "\\dir";
  ASSERT_EQ(Files().MakeDir(dir), platform::kSuccess);
  EXPECT_TRUE(db_->ItemExists(file, 1));
  EXPECT_FALSE(db_->ItemExists(file, 4));
  EXPECT_TRUE(db_->ItemExists(dir, 4));
  EXPECT_FALSE(db_->ItemExists(dir, 1));
  EXPECT_FALSE(db_->ItemExists(folder_ + "\\absent.txt", 1));
  EXPECT_FALSE(db_->ItemExists(folder_ + "\\absent", 4));
}

TEST_F(RealDatabase, FilesDatedBefore1980AreAbsent) {
  const std::string old = PutFile("old.txt", Utc(1979, 6, 1));
  const std::string fine = PutFile("fine.txt", Utc(1980, 6, 1));
  EXPECT_FALSE(db_->ItemExists(old, 1));
  EXPECT_TRUE(db_->ItemExists(fine, 1));
}

TEST_F(RealDatabase, WildcardPathExistsWhenItsFirstMatchIsAFile) {
  PutFile("log1.txt");
  EXPECT_TRUE(db_->ItemExists(folder_ + "\\*.txt", 1));
  EXPECT_FALSE(db_->ItemExists(folder_ + "\\*.none", 1));
}

// The listings a scan keeps answer every existence test as the system does, short names,
// patterns, dots and devices included, and spare the system the items below missing parts.
TEST_F(RealDatabase, ListingsAnswerExistenceAsTheSystem) {
  // At the drive's root, whose few names are all plain in a prefix, so it can be listed.
  const std::string root = "C:\\sv-listings-" + stamp_;
  ASSERT_EQ(Files().MakeDir(root), platform::kSuccess);
  ASSERT_EQ(Files().MakeDir(root + "\\Long Folder Name"), platform::kSuccess);
  ASSERT_EQ(platform::WriteWholeFile(Files(), root + "\\Long Folder Name\\app.exe", "MZ"),
            platform::kSuccess);
  wchar_t shortName[MAX_PATH];
  const DWORD length = ::GetShortPathNameW(win32::Widen(root + "\\Long Folder Name").c_str(),
                                           shortName, MAX_PATH);
  ASSERT_GT(length, 0U);
  const std::string shortFolder = win32::Narrow(std::wstring(shortName, length));
  ASSERT_NE(shortFolder.find('~'), std::string::npos) << shortFolder;
  auto sub = platform_.registry.CreateKey(platform::Hive::CurrentUser, key_ + "\\Writer");
  ASSERT_TRUE(sub);
  ASSERT_EQ(sub->SetStringValue("Last", "1"), platform::kSuccess);
  const std::string key = "HKEY_CURRENT_USER\\" + key_;

  const std::vector<std::pair<std::uint16_t, std::string>> items{
      {1, root + "\\Long Folder Name\\app.exe"},
      {1, root + "\\LONG FOLDER NAME\\APP.EXE"},
      {1, shortFolder + "\\app.exe"},
      {1, root + "\\Long Folder Name\\*.exe"},
      {1, root + "\\Long Folder Name\\*.dll"},
      {1, root + "\\Long Folder Name\\app.exe."},
      {1, root + "\\Long Folder Name\\missing.exe"},
      {1, root + "\\Gone\\app.exe"},
      {1, root + "\\Gone\\..\\Long Folder Name\\app.exe"},
      {1, root + "\\Long Folder Name\\app.exe\\inner"},
      {1, root + "\\Gone\\nul"},
      {4, root + "\\Long Folder Name"},
      {4, shortFolder},
      {4, root + "\\Long Folder Name\\"},
      {4, root + "\\Long Folder Name."},
      {4, root + "\\Gone"},
      {4, root + "\\Gone\\Deeper"},
      {4, root + "\\Gone\\.."},
      {2, key + "\\Writer"},
      {2, key + "\\WRITER"},
      {2, key + "\\Gone"},
      {2, key + "\\Gone\\Deeper"},
      {3, key + "\\Writer\\Last"},
      {3, key + "\\Writer\\Gone"},
      {3, key + "\\Gone\\Last"},
  };
  platform::RunListings listings(Files(), platform_.registry,
                                 platform_.system.Is64BitBuild());
  int exists = 0;
  for (const auto& [kind, item] : items) {
    db_->UseListings(nullptr);
    const bool system = db_->ItemExists(item, kind);
    db_->UseListings(&listings);
    EXPECT_EQ(db_->ItemExists(item, kind), system) << item;
    exists += system ? 1 : 0;
  }
  EXPECT_GE(exists, 11);
  EXPECT_TRUE(listings.folders.RulesOut(root + "\\Gone\\Deeper"));
  EXPECT_TRUE(listings.folders.RulesOut(root + "\\Long Folder Name\\missing.exe"));
  EXPECT_EQ(listings.keys.RulesOut(platform::Hive::CurrentUser, key_ + "\\Gone\\Deeper"),
            platform_.system.Is64BitBuild());
  testing::RemoveFileTree(Files(), root);
}

TEST_F(RealDatabase, KeyAndValueExistence) {
  const std::string key = "HKEY_CURRENT_USER\\" + key_;
  EXPECT_TRUE(db_->ItemExists(key, 2));
  EXPECT_FALSE(db_->ItemExists(key + "\\Missing", 2));
  EXPECT_TRUE(db_->ItemExists(key + "\\InstallDir", 3));
  EXPECT_TRUE(db_->ItemExists(key + "\\", 3));  // the default value
  EXPECT_FALSE(db_->ItemExists(key + "\\Nope", 3));
  EXPECT_FALSE(db_->ItemExists(key + "\\Missing\\InstallDir", 3));
  EXPECT_FALSE(db_->ItemExists("HKEY_CURRENT_USER", 3));
}

TEST_F(RealDatabase, ExpandsWithTheRealWindowsFolderAndUser) {
  wchar_t windows[MAX_PATH + 1];
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
  ASSERT_GT(length, 2u);
  const std::string w = win32::Narrow(std::wstring(windows, length));
  wchar_t user[UNLEN + 1];
  DWORD userLength = UNLEN + 1;
  ASSERT_TRUE(::GetUserNameW(user, &userLength));
  const std::string u = win32::Narrow(std::wstring(user));

  EXPECT_EQ(db_->ExpandPath("{w}{s32}\\acme.sys", 1), w + "\\system32\\acme.sys");
  EXPECT_EQ(db_->ExpandPath("{das}{cur}{ad}\\Acme", 4),
            w.substr(0, 2) + "\\Documents and Settings\\" + u + "\\Application Data\\Acme");
  EXPECT_EQ(db_->ExpandPath("HKCU{sw}\\Acme", 2), "HKEY_CURRENT_USER\\Software\\Acme");
  EXPECT_TRUE(db_->ItemExists(db_->ExpandPath("{w}{s32}", 4), 4));
}

TEST_F(RealDatabase, ProfileFolderSkipsHiddenEntries) {
  const std::string profiles = folder_ + "\\Profiles";
  ASSERT_EQ(Files().MakeDir(profiles), platform::kSuccess);
  ASSERT_EQ(Files().MakeDir(profiles + "\\aaa.default"), platform::kSuccess);
  ASSERT_EQ(Files().SetAttributes(profiles + "\\aaa.default",
                                  platform::kAttrDirectory | platform::kAttrHidden),
            platform::kSuccess);
  EXPECT_EQ(db_->ExpandProfileDir(profiles + "\\{x}\\cache"), profiles + "\\{x}\\cache");
  ASSERT_EQ(Files().MakeDir(profiles + "\\bbb.default"), platform::kSuccess);
  EXPECT_EQ(db_->ExpandProfileDir(profiles + "\\{x}\\cache"), profiles + "\\bbb.default\\cache");
}

TEST_F(RealDatabase, ItemsPresentOnTheMachineAreListed) {
  // A database that names this test's own folder and key.
  const std::string file = PutFile("acme.exe");
  db_.reset();
  const std::string relative = folder_.substr(2);  // without the drive: expanded on drive C
  ASSERT_EQ(platform::WriteWholeFile(
                Files(), folder_ + "\\SV.dat",
                testing::WriteDataFile(
                    1, {{"ACME",
                         {{1, relative + "\\acme.exe"}, {4, relative + "\\absent"}},
                         {{2, "HKCU\\" + key_}, {3, "HKCU\\" + key_ + "\\InstallDir"}}}})),
            platform::kSuccess);
  testing::DbSoft soft;
  soft.id = "ACME";
  soft.name = "Acme";
  soft.category = 1;
  ASSERT_EQ(
      platform::WriteWholeFile(Files(), folder_ + "\\soft.dat", testing::WriteSoftFile(1, {soft})),
      platform::kSuccess);
  db_.emplace(platform_, folder_ + "\\SV.dat", folder_ + "\\soft.dat");
  StringList items;
  EXPECT_EQ(db_->GetSoftItems("Acme", 0, 1, items), 3);
  EXPECT_EQ(items, (StringList{"1" + file, "2HKEY_CURRENT_USER\\" + key_,
                               "3HKEY_CURRENT_USER\\" + key_ + "\\InstallDir"}));
}

// ---- sorvane-cli db, end to end ------------------------------------------------------------

struct CliResult {
  DWORD code = 0;
  std::string out;
};

class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string self = machine_.Get().system.ExecutablePath();
    bin_ = self.substr(0, self.rfind('\\'));
    output_ = TempFolder() + "\\sv-cli-" + testing::UniqueStamp() + ".txt";
  }
  void TearDown() override { (void)machine_.Get().files.RemoveFile(output_); }

  // Runs sorvane-cli with its standard output and error in a file (not a pipe).
  CliResult Run(const std::string& arguments) {
    CliResult result;
    {
      SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
      const win32::FileHandle out(::CreateFileW(win32::Widen(output_).c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
      EXPECT_TRUE(out);
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = out.Get();
      startup.hStdError = out.Get();
      startup.hStdInput = nullptr;
      std::wstring command = win32::Widen("\"" + bin_ + "\\sorvane-cli.exe\" " + arguments);
      PROCESS_INFORMATION info{};
      const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &info);
      EXPECT_TRUE(started);
      if (!started) return result;
      const win32::KernelHandle process(info.hProcess);
      const win32::KernelHandle thread(info.hThread);
      ::WaitForSingleObject(process.Get(), INFINITE);
      ::GetExitCodeProcess(process.Get(), &result.code);
    }  // our writing handle is closed before the output is read
    result.out = platform::ReadWholeFile(machine_.Get().files, output_).value_or("<unreadable>");
    // The console streams are in text mode: lines end in CR LF, as Windows programs write them.
    std::erase(result.out, '\r');
    return result;
  }

  win32::Win32Platform machine_;
  std::string bin_, output_;
};

TEST_F(CliEndToEnd, VersionAndCountOfTheSampleDatabase) {
  const CliResult version = Run("db version");
  EXPECT_EQ(version.code, 0u);
  EXPECT_EQ(version.out,
            "SV.dat    2024.1208.120000 (1733659200)\nsoft.dat  2024.1208.120000 (1733659200)\n");
  const CliResult count = Run("db count");
  EXPECT_EQ(count.code, 0u);
  EXPECT_EQ(count.out, "22\n");
  const CliResult games = Run("db names --category 9");
  EXPECT_EQ(games.out, "Star Racer 3\nMine Maze Deluxe\n");
}

TEST_F(CliEndToEnd, InfoAndItemsAsJson) {
  const CliResult info = Run("db info \"Kestrel Browser 120.1\" --json");
  ASSERT_EQ(info.code, 0u) << info.out;
  const auto value = nlohmann::json::parse(info.out);
  EXPECT_EQ(value["id"], "NETSURF");
  EXPECT_EQ(value["categoryName"], "Networking Software");
  EXPECT_EQ(value["locations"][0]["key"],
            "HKEY_LOCAL_MACHINE\\Software\\Kestrel Labs\\Kestrel Browser");

  const CliResult items = Run("db items \"Kestrel Browser\" --all --kind 3 --json");
  ASSERT_EQ(items.code, 0u) << items.out;
  const auto list = nlohmann::json::parse(items.out);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list[0]["path"],
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Kestrel "
            "Browser");
  // Nothing of it is installed in the test prefix.
  const CliResult present = Run("db items \"Kestrel Browser\"");
  EXPECT_EQ(present.code, 0u);
  EXPECT_EQ(present.out, "");
}

TEST_F(CliEndToEnd, ExitCodesForUnknownNamesAndBadUsage) {
  const CliResult unknown = Run("db id \"No Such Program\"");
  EXPECT_EQ(unknown.code, 1u);
  EXPECT_NE(unknown.out.find("no software in the database matches"), std::string::npos);
  const CliResult usage = Run("db items X --kind 9");
  EXPECT_EQ(usage.code, 2u);
  EXPECT_NE(usage.out.find("usage: sorvane-cli db"), std::string::npos);
  const CliResult missing = Run("db count --db C:\\no\\such\\folder");
  EXPECT_EQ(missing.code, 1u);
  EXPECT_NE(missing.out.find("Cannot create file C:\\no\\such\\folder\\SV.dat"), std::string::npos);
}

}  // namespace
}  // namespace sv::database
