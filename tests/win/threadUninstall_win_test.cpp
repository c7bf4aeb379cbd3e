// The scan and detail runs on the real system: shortcuts in the real shell folders, install
// folders under the real Windows and Program Files folders, a real Uninstall entry, a real
// folder listing, and the worker on a real thread.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "platform/win32/win32_platform.h"
#include "support/db_writer.h"
#include "support/trees.h"
#include "win/temp_folder.h"

namespace sv::engine {
namespace {

using platform::Hive;
using Texts = std::vector<std::string>;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class RealEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    stamp_ = testing::UniqueStamp();
    name_ = "Sv Engine " + stamp_;
    folder_ = testing::TempFolder() + "\\sv-engine-" + stamp_;
    ASSERT_EQ(platform_.files.MakeDir(folder_), platform::kSuccess);
  }

  void TearDown() override {
    for (const std::string& path : files_)
      (void)platform_.files.RemoveFile(path);
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder)
      testing::RemoveFileTree(platform_.files, *folder);
    testing::RemoveFileTree(platform_.files, folder_);
    for (const auto& [hive, key] : keys_)
      testing::RemoveKeyTree(platform_.registry, hive, key);
  }

  std::string Special(int csidl) { return platform_.system.SpecialFolder(csidl); }

  void PutFile(const std::string& path) {
    ASSERT_EQ(platform::WriteWholeFile(platform_.files, path, "x"), platform::kSuccess) << path;
    files_.push_back(path);
  }
  void PutFolder(const std::string& path) {
    ASSERT_EQ(platform_.files.MakeDir(path), platform::kSuccess) << path;
    folders_.push_back(path);
  }
  void PutKey(Hive hive, const std::string& path, const Texts& nameValuePairs) {
    auto key = platform_.registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    for (std::size_t i = 0; i + 1 < nameValuePairs.size(); i += 2)
      ASSERT_EQ(key->SetStringValue(nameValuePairs[i], nameValuePairs[i + 1]), platform::kSuccess);
    keys_.emplace_back(hive, path);
  }

  void PutDatabase(const std::vector<testing::DbEntry>& entries,
                   const std::vector<testing::DbSoft>& softs) {
    PutFile(folder_ + "\\SV.dat");
    PutFile(folder_ + "\\soft.dat");
    ASSERT_EQ(platform::WriteWholeFile(platform_.files, folder_ + "\\SV.dat",
                                       testing::WriteDataFile(1234567890, entries)),
              platform::kSuccess);
    ASSERT_EQ(platform::WriteWholeFile(platform_.files, folder_ + "\\soft.dat",
                                       testing::WriteSoftFile(1215432000, softs)),
              platform::kSuccess);
  }

  RunEnvironment Env() {
    return RunEnvironment{
        platform_, window_, small_, big_, folder_ + "\\SV.dat", folder_ + "\\soft.dat"};
  }

  Texts Rows(ListView list) {
    Texts rows;
    for (const ListRow& row : window_.Rows(list)) {
      std::string text = row.caption;
      for (const std::string& sub : row.subItems)
        text += "|" + sub;
      rows.push_back(text);
    }
    return rows;
  }

  win32::Win32Platform machine_;
  platform::Platform platform_ = machine_.Get();
  MemoryWindow window_;
  registry::CountingIconList small_, big_;
  std::string stamp_, name_, folder_;
  Texts files_, folders_;
  std::vector<std::pair<Hive, std::string>> keys_;
};

TEST_F(RealEngine, FindShortcutsLooksInTheRealShellFoldersInTheirOrder) {
  const std::string link = "Sv " + stamp_ + ".lnk";
  const std::string group = "Sv Group " + stamp_;
  PutFile(Special(platform::csidl::kDesktop) + "\\" + link);
  PutFile(Special(platform::csidl::kCommonDesktopDirectory) + "\\" + link);
  PutFolder(Special(platform::csidl::kPrograms) + "\\" + group);
  PutFile(Special(platform::csidl::kCommonStartup) + "\\" + link);
  PutFile(Special(platform::csidl::kStartup) + "\\" + link);

  Texts list;
  EXPECT_EQ(FindShortcuts(platform_, link + ",," + link.substr(1), 1, list), 2);
  EXPECT_EQ(list, (Texts{Special(platform::csidl::kDesktop) + "\\" + link,
                         Special(platform::csidl::kCommonDesktopDirectory) + "\\" + link}));
  EXPECT_EQ(FindShortcuts(platform_, group, 2, list), 1);
  EXPECT_EQ(list, Texts{Special(platform::csidl::kPrograms) + "\\" + group});
  EXPECT_EQ(FindShortcuts(platform_, link, 3, list), 2);
  EXPECT_EQ(list, (Texts{Special(platform::csidl::kCommonStartup) + "\\" + link,
                         Special(platform::csidl::kStartup) + "\\" + link}));
  // Names that would stand for the folder itself or its parent find nothing, though the
  // folders exist.
  EXPECT_EQ(FindShortcuts(platform_, " ,.,..,. ,x\\..", 1, list), 0);
  EXPECT_EQ(FindShortcuts(platform_, " ,.,..,. ,x\\..", 4, list), 0);
  // The programs menu inside the start menu is a shell folder, not a shortcut.
  EXPECT_EQ(FindShortcuts(platform_, "Programs", 4, list), 0);
}

TEST_F(RealEngine, ResolveInstallFolderUsesTheRealFolders) {
  const std::string leaf = "sv-folder-" + stamp_;
  const std::string windows = platform_.system.WindowsDirectory();
  const std::string programs = windows.substr(0, 2) + "\\Program Files\\" + leaf;
  PutFolder(programs);
  PutFolder(windows + "\\" + leaf);
  PutFolder(platform_.system.SystemDirectory() + "\\" + leaf);
  PutFolder("C:\\" + leaf);
  EXPECT_EQ(ResolveInstallFolder(platform_, "1" + leaf), programs);
  EXPECT_EQ(ResolveInstallFolder(platform_, "2" + leaf), windows + "\\" + leaf);
  EXPECT_EQ(ResolveInstallFolder(platform_, "3" + leaf),
            platform_.system.SystemDirectory() + "\\" + leaf);
  EXPECT_EQ(ResolveInstallFolder(platform_, "0" + leaf), "C:\\" + leaf);
  EXPECT_EQ(ResolveInstallFolder(platform_, "1" + leaf + "-missing"), "");
  EXPECT_EQ(ResolveInstallFolder(platform_, "7" + leaf), "");
  EXPECT_EQ(ResolveInstallFolder(platform_, "2system32"), "");
  EXPECT_EQ(ResolveInstallFolder(platform_, "1" + leaf + "\\.."), "");
}

TEST_F(RealEngine, ScanOnAWorkerThreadMatchesARealUninstallEntry) {
  const std::string residue = "Sv Residue " + stamp_;
  testing::DbSoft installed, left;
  installed.id = "INST";
  installed.name = name_;
  installed.category = 2;
  left.id = "LEFT";
  left.name = residue;
  left.category = 9;
  PutDatabase({{"INST", {}, {}}, {"LEFT", {{1, folder_ + "\\left.dat"}}, {}}}, {installed, left});
  PutFile(folder_ + "\\left.dat");
  std::string iconFile = platform_.system.ExecutablePath();
  iconFile = iconFile.substr(0, iconFile.rfind('\\')) + "\\sv_fixture_icons.exe";
  PutKey(Hive::CurrentUser, std::string(kUninstall) + "\\SvEngine" + stamp_,
         {"DisplayName", name_ + " 1.0", "UninstallString", "C:\\x\\uninstall.exe", "Publisher",
          "Sv Tests", "InstallDate", "20240301", "DisplayIcon", iconFile + ",1"});

  TUninstallThread(Env(), kModeScan).WaitFor();

  EXPECT_TRUE(window_.Messages().empty());
  const auto rows = window_.Rows(ListView::lstvNList);
  const auto ours = std::find_if(rows.begin(), rows.end(), [&](const ListRow& row) {
    return row.subItems.at(0) == name_ + " 1.0";
  });
  ASSERT_NE(ours, rows.end());
  EXPECT_EQ(ours->subItems.at(1), "Supported");
  EXPECT_EQ(ours->subItems.at(3), "Sv Tests");
  EXPECT_FALSE(ours->subItems.at(2).empty());
  // Its icon came from the file its DisplayIcon names.
  EXPECT_GE(ours->imageIndex, 0);
  // Supported rows come first after the final sort.
  EXPECT_EQ(rows.front().subItems.at(1), "Supported");
  EXPECT_EQ(Rows(ListView::lstvRList), Texts{"1|" + residue + "|Games"});
  EXPECT_EQ(window_.Text(Label::labSoftNum), "2  Software");
  EXPECT_EQ(window_.CurrentPage(), Page::pgResults);
  EXPECT_TRUE(window_.IsEnabled(Control::imgScan));
  // The program's own icon and one per entry went into both lists alike.
  EXPECT_EQ(small_.Count(), big_.Count());
  EXPECT_GE(big_.Count(), 1);
}

TEST_F(RealEngine, DetailsListTheInstallFoldersOwnFilesInLowerCase) {
  const std::string install = folder_ + "\\Install";
  PutFolder(install);
  PutFile(install + "\\ReadMe.TXT");
  PutFolder(install + "\\Sub");
  PutFile(install + "\\Sub\\Deep.dll");
  const std::string key = "Software\\SorvaneTests\\" + stamp_;
  PutKey(Hive::CurrentUser, key, {"InstallDir", install});
  testing::DbSoft soft;
  soft.id = "DET";
  soft.name = name_;
  soft.category = 5;
  soft.locations = {{"HKCU\\" + key, "InstallDir"}};
  PutDatabase(
      {{"DET", {{4, install}}, {{2, "HKCU\\" + key}, {3, "HKCU\\" + key + "\\InstallDir"}}}},
      {soft});

  window_.SetText(Label::labUS1Soft, name_);
  TUninstallThread(Env(), kModeDetails).WaitFor();

  EXPECT_TRUE(window_.Messages().empty());
  std::string lowered = install;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  EXPECT_EQ(Rows(ListView::lstvUS2File),
            (Texts{"1|" + install + "|Directory", "2|" + lowered + "\\readme.txt|File"}));
  EXPECT_EQ(Rows(ListView::lstvUS2Registry),
            (Texts{"1|HKEY_CURRENT_USER\\" + key + "|Key",
                   "2|HKEY_CURRENT_USER\\" + key + "\\InstallDir|Value"}));
  EXPECT_EQ(window_.CurrentPage(), Page::pgDetail);
  EXPECT_EQ(window_.GaugeProgress(), 0);
}

}  // namespace
}  // namespace sv::engine
