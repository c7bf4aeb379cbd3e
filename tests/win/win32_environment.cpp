// The contract's backend under Wine: the real registry and file system of the test prefix,
// with a scratch key and folder of this test's own that are removed afterwards.
#include <windows.h>

#include <map>
#include <vector>

#include "contract/contract_environment.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "support/trees.h"
#include "win/temp_folder.h"

namespace sv::testing {
namespace {

std::string Folder(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

class Win32Environment final : public ContractEnvironment {
 public:
  Win32Environment()
      : stamp_(UniqueStamp()),
        folder_(TempFolder() + "\\sv-contract-" + stamp_),
        key_("Software\\SorvaneTests\\" + stamp_) {
    auto platform = machine_.Get();
    if (platform.files.MakeDir(folder_) != platform::kSuccess ||
        !platform.registry.CreateKey(platform::Hive::CurrentUser, key_)) {
      ADD_FAILURE() << "cannot make the scratch folder " << folder_ << " or key " << key_;
    }
  }

  ~Win32Environment() override {
    for (auto& [id, process] : processes_) {
      if (::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), kExitWaitMilliseconds);
      }
    }
    for (const std::string& name : services_)
      RemoveService(name);
    auto platform = machine_.Get();
    RemoveFileTree(platform.files, folder_);
    RemoveKeyTree(platform.registry, platform::Hive::CurrentUser, key_);
    (void)platform.registry.DeleteKey(platform::Hive::CurrentUser, "Software\\SorvaneTests");
  }

  platform::Platform Platform() override { return machine_.Get(); }
  std::string Backend() const override { return "win32"; }
  std::string ScratchFolder() override { return folder_; }
  std::string ScratchKey() override { return key_; }

  // The fixture programs are built beside the test binary with their version resources.
  void PutVersionedFile(const std::string& path, VersionFixture fixture) override {
    auto platform = machine_.Get();
    const std::string source =
        Folder(platform.system.ExecutablePath()) + "\\" +
        (fixture == VersionFixture::WithTranslation ? "sv_fixture_versioned.exe"
                                                    : "sv_fixture_no_translation.exe");
    const auto bytes = platform::ReadWholeFile(platform.files, source);
    ASSERT_TRUE(bytes) << "missing fixture " << source;
    ASSERT_EQ(platform::WriteWholeFile(platform.files, path, *bytes), platform::kSuccess);
  }

  void PutIconFile(const std::string& path) override {
    auto platform = machine_.Get();
    const std::string source = Folder(platform.system.ExecutablePath()) + "\\sv_fixture_icons.exe";
    const auto bytes = platform::ReadWholeFile(platform.files, source);
    ASSERT_TRUE(bytes) << "missing fixture " << source;
    ASSERT_EQ(platform::WriteWholeFile(platform.files, path, *bytes), platform::kSuccess);
  }

  std::string UniqueName() override { return "SvContract-" + stamp_; }

  void InstallService(const std::string& name) override {
    const win32::ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager) << "OpenSCManager: " << ::GetLastError();
    const std::wstring program = L"\"" + win32::Widen(DemoApp()) + L"\"";
    const win32::ServiceHandle service(::CreateServiceW(
        manager.Get(), win32::Widen(name).c_str(), win32::Widen(name).c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program.c_str(),
        nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << "CreateService " << name << ": " << ::GetLastError();
    services_.push_back(name);
  }

  StartedProcess StartWaitingProcess() override {
    const std::string program = DemoApp();
    std::wstring commandLine = L"\"" + win32::Widen(program) + L"\" --wait 120";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
      ADD_FAILURE() << "cannot start " << program << ": " << ::GetLastError();
      return {};
    }
    const win32::KernelHandle thread(started.hThread);
    processes_.emplace(started.dwProcessId, win32::KernelHandle(started.hProcess));
    return {started.dwProcessId, "sv-demo-app.exe"};
  }

  bool WaitForExit(std::uint32_t processId) override {
    const auto it = processes_.find(processId);
    return it != processes_.end() &&
           ::WaitForSingleObject(it->second.Get(), kExitWaitMilliseconds) == WAIT_OBJECT_0;
  }

  std::optional<std::string> ShortPath(const std::string& path) override {
    const std::wstring wide = win32::Widen(path);
    const std::wstring shortPath = win32::GrowingBuffer([&wide](wchar_t* buffer, std::size_t size) {
      return ::GetShortPathNameW(wide.c_str(), buffer, static_cast<DWORD>(size));
    });
    if (shortPath.empty()) return std::nullopt;
    return win32::Narrow(shortPath);
  }

 private:
  static constexpr DWORD kExitWaitMilliseconds = 10'000;

  // The demo machine's stand-in program, built beside the test binary: it waits when asked.
  std::string DemoApp() {
    return Folder(machine_.Get().system.ExecutablePath()) + "\\sv-demo-app.exe";
  }

  static void RemoveService(const std::string& name) {
    const win32::ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    const win32::ServiceHandle service(
        ::OpenServiceW(manager.Get(), win32::Widen(name).c_str(), SERVICE_ALL_ACCESS));
    if (service) ::DeleteService(service.Get());
  }

  win32::Win32Platform machine_;
  std::string stamp_;
  std::string folder_;
  std::string key_;
  std::vector<std::string> services_;
  std::map<std::uint32_t, win32::KernelHandle> processes_;
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() {
  return std::make_unique<Win32Environment>();
}

}  // namespace sv::testing
