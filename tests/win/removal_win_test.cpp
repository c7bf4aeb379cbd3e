// The removal's routines and its gate on the real system: a service made through the service
// manager, a running process, folder trees with read-only, hidden and open files, and paths
// the system reads in more than one way (8.3 names, trailing dots, "..").
#include <windows.h>
//
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "engine/deletion_gate.h"
#include "engine/threadUninstall.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "support/trees.h"
#include "win/temp_folder.h"

namespace sv::engine {
namespace {

class RealRemoval : public ::testing::Test {
 protected:
  void SetUp() override {
    stamp_ = testing::UniqueStamp();
    folder_ = testing::TempFolder() + "\\sv-removal-" + stamp_;
    ASSERT_EQ(platform_.files.MakeDir(folder_), platform::kSuccess);
  }
  void TearDown() override { testing::RemoveFileTree(platform_.files, folder_); }

  bool Exists(const std::string& path) {
    return platform_.files.GetAttributes(path) != platform::kInvalidAttributes;
  }
  void PutFile(const std::string& path, platform::FileAttributes attributes = 0) {
    ASSERT_EQ(platform::WriteWholeFile(platform_.files, path, "x"), platform::kSuccess) << path;
    if (attributes != 0) {
      ASSERT_EQ(platform_.files.SetAttributes(path, attributes), 0U);
    }
  }

  // The folder of the test program, where the build puts the demo program.
  std::string BinFolder() {
    const std::string exe = platform_.system.ExecutablePath();
    return exe.substr(0, exe.rfind('\\'));
  }

  win32::Win32Platform real_;
  platform::Platform platform_ = real_.Get();
  std::string stamp_;
  std::string folder_;
};

TEST_F(RealRemoval, DeleteDirTreeTakesReadOnlyHiddenAndNestedFilesButNotOneInUse) {
  PutFile(folder_ + "\\a.txt", FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(platform_.files.MakeDir(folder_ + "\\sub"), platform::kSuccess);
  PutFile(folder_ + "\\sub\\b.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  ASSERT_EQ(platform_.files.MakeDir(folder_ + "\\sub\\deeper"), platform::kSuccess);
  ASSERT_EQ(platform_.files.SetAttributes(folder_ + "\\sub", FILE_ATTRIBUTE_READONLY), 0U);
  PutFile(folder_ + "\\held.txt");
  {
    // Held without delete sharing, as a running program holds its files.
    auto held = platform_.files.OpenFile(folder_ + "\\held.txt", platform::FileAccess::Read,
                                         platform::kShareRead, platform::Disposition::OpenExisting);
    ASSERT_TRUE(held);
    EXPECT_FALSE(DeleteDirTree(platform_, folder_));
    EXPECT_TRUE(Exists(folder_ + "\\held.txt"));
    EXPECT_FALSE(Exists(folder_ + "\\a.txt"));
    EXPECT_FALSE(Exists(folder_ + "\\sub"));
    EXPECT_FALSE(IsDirEmpty(platform_, folder_));
  }
  EXPECT_TRUE(DeleteDirTree(platform_, folder_ + "\\"));
  EXPECT_TRUE(IsDirEmpty(platform_, folder_));
}

TEST_F(RealRemoval, TheGateReadsPathsAsTheSystemDoes) {
  const DeletionGate gate(platform_);
  const std::string programFiles = platform_.system.SpecialFolder(platform::csidl::kProgramFiles);
  ASSERT_FALSE(programFiles.empty());
  wchar_t shortName[MAX_PATH];
  const DWORD length = ::GetShortPathNameW(win32::Widen(programFiles).c_str(), shortName, MAX_PATH);
  ASSERT_GT(length, 0U);
  const std::string shortPath = win32::Narrow(std::wstring(shortName, length));
  EXPECT_FALSE(gate.AllowsPath(shortPath)) << shortPath;
  EXPECT_FALSE(gate.AllowsPath(shortPath + "\\"));
  EXPECT_FALSE(gate.AllowsPath(programFiles + "\\Acme\\.."));
  EXPECT_FALSE(gate.AllowsPath(programFiles + "."));
  EXPECT_TRUE(gate.AllowsPath(programFiles + "\\Acme"));
  EXPECT_TRUE(gate.AllowsPath(shortPath + "\\Acme"));
  EXPECT_TRUE(gate.AllowsPath(folder_));

  for (const int csidl :
       {platform::csidl::kDesktopDirectory, platform::csidl::kPersonal, platform::csidl::kAppData,
        platform::csidl::kLocalAppData, platform::csidl::kPrograms,
        platform::csidl::kCommonPrograms, platform::csidl::kStartup,
        platform::csidl::kCommonAppData, platform::csidl::kProfile, platform::csidl::kSystem,
        platform::csidl::kWindows}) {
    const std::string folder = platform_.system.SpecialFolder(csidl);
    if (folder.empty()) continue;
    EXPECT_FALSE(gate.AllowsPath(folder)) << folder;
    EXPECT_FALSE(gate.AllowsPath(folder.substr(0, folder.rfind('\\')))) << folder;
  }
  // The test program's own folder stands in for Sorvane's.
  EXPECT_FALSE(gate.AllowsPath(BinFolder()));
}

// Paths resolved part by part, each part asked once, come out as the system's resolver makes
// them, and the protected list is the same.
TEST_F(RealRemoval, TheGateResolvesPathsByPartsAsTheSystemDoes) {
  DeletionGate literal(platform_);
  literal.SetSearchMode(SearchMode::Literal);
  const DeletionGate indexed(platform_);
  EXPECT_EQ(indexed.ProtectedFolders(), literal.ProtectedFolders());
  ASSERT_EQ(platform_.files.MakeDir(folder_ + "\\Mixed Case Folder"), platform::kSuccess);
  PutFile(folder_ + "\\Mixed Case Folder\\App.Exe");
  const std::string programFiles = platform_.system.SpecialFolder(platform::csidl::kProgramFiles);
  std::vector<std::string> paths{folder_ + "\\MIXED CASE FOLDER\\app.exe",
                                 folder_ + "\\mixed case folder\\Gone\\Deeper",
                                 folder_ + "\\Mixed Case Folder\\App.Exe\\inner",
                                 folder_ + "\\Mixed Case Folder.\\App.Exe",
                                 folder_ + "\\Gone\\..\\Mixed Case Folder",
                                 folder_ + "\\Mixed Case Folder\\nul",
                                 programFiles + "\\Acme",
                                 programFiles,
                                 platform_.system.SpecialFolder(platform::csidl::kDesktopDirectory),
                                 platform_.system.WindowsDirectory() + "\\SYSTEM32\\Drivers",
                                 "C:\\Users",
                                 "Q:\\No Drive\\Here"};
  wchar_t shortName[MAX_PATH];
  const DWORD length = ::GetShortPathNameW(
      win32::Widen(folder_ + "\\Mixed Case Folder").c_str(), shortName, MAX_PATH);
  ASSERT_GT(length, 0U);
  paths.push_back(win32::Narrow(std::wstring(shortName, length)) + "\\App.Exe");
  for (const std::string& path : paths) {
    EXPECT_EQ(indexed.CanonicalPath(path), literal.CanonicalPath(path)) << path;
    EXPECT_EQ(indexed.AllowsPath(path), literal.AllowsPath(path)) << path;
  }
}

TEST_F(RealRemoval, RemoveServiceStopsAndDeletesARealService) {
  const std::string name = "SvRemovalTest" + stamp_;
  const std::string binary = BinFolder() + "\\sv-demo-app.exe";
  {
    win32::ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    win32::ServiceHandle service(::CreateServiceW(
        manager.Get(), win32::Widen(name).c_str(), win32::Widen(name).c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
        win32::Widen(binary).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << ::GetLastError();
  }
  EXPECT_EQ(RemoveService(platform_, name), 1);
  win32::ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  win32::ServiceHandle gone(
      ::OpenServiceW(manager.Get(), win32::Widen(name).c_str(), SERVICE_ALL_ACCESS));
  EXPECT_FALSE(gone);
  EXPECT_EQ(RemoveService(platform_, name), -2);
}

TEST_F(RealRemoval, EndProcessByNameEndsEveryRunningCopy) {
  const std::string name = "svend" + stamp_ + ".exe";
  const std::string program = folder_ + "\\" + name;
  ASSERT_TRUE(::CopyFileW(win32::Widen(BinFolder() + "\\sv-demo-app.exe").c_str(),
                          win32::Widen(program).c_str(), FALSE));
  std::vector<win32::KernelHandle> processes;
  for (int copy = 0; copy < 2; ++copy) {
    std::wstring command = L"\"" + win32::Widen(program) + L"\" --wait 60";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &info));
    ::CloseHandle(info.hThread);
    processes.emplace_back(info.hProcess);
  }
  EXPECT_TRUE(IsProcessRunning(platform_, name));
  EXPECT_TRUE(IsProcessRunning(platform_, UpperAscii(name)));
  EXPECT_FALSE(IsProcessRunning(platform_, "sv" + stamp_ + ".exe"));
  EndProcessByName(platform_, name);
  for (auto& process : processes)
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsProcessRunning(platform_, name));
  // Its files are free once it has ended.
  EXPECT_TRUE(DeleteDirTree(platform_, folder_));
}

}  // namespace
}  // namespace sv::engine
