// The contract's backend under Wine: the real registry and file system of the test prefix,
// with a scratch key and folder of this test's own that are removed afterwards.
#include <windows.h>

#include <map>
#include <optional>
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

// Under Wine, kernel32 converts a Windows path into the Unix one (also for a name that does
// not exist yet); null on Windows.
using WineUnixFileName = char*(CDECL*)(LPCWSTR);

WineUnixFileName WineUnixFileNameEntry() {
  // kernel32 is loaded for as long as the process runs; nothing to release.
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  const FARPROC found = ::GetProcAddress(kernel32, "wine_get_unix_file_name");
  return reinterpret_cast<WineUnixFileName>(reinterpret_cast<void (*)()>(found));
}

std::optional<std::string> UnixPathOf(WineUnixFileName convert, const std::string& path) {
  const win32::ProcessHeapMem unixPath(convert(win32::Widen(path).c_str()));
  if (!unixPath) return std::nullopt;
  return std::string(static_cast<const char*>(unixPath.Get()));
}

// Runs a Unix program of the machine Wine runs on, by its Unix path, and waits for it; whether
// it ended with 0. Wine hands out no process handle for a Unix program, so a shell around it
// writes the exit status into `statusFile` (a Windows path), which is awaited and removed.
bool RunUnixProgram(WineUnixFileName convert, const std::string& statusFile,
                    const std::vector<std::string>& command) {
  const auto unixStatus = UnixPathOf(convert, statusFile);
  if (!unixStatus || command.empty()) return false;
  // The status appears whole: written aside, then renamed.
  std::vector<std::string> arguments = {
      "-c", "status=$1; shift; \"$@\"; echo $? > \"$status.tmp\" && mv \"$status.tmp\" \"$status\"",
      "sh", *unixStatus};
  arguments.insert(arguments.end(), command.begin(), command.end());
  std::wstring commandLine = L"\"sh\"";
  for (const std::string& argument : arguments) {
    std::wstring quoted;
    for (const wchar_t c : win32::Widen(argument)) {
      if (c == L'"') quoted += L'\\';
      quoted += c;
    }
    commandLine += L" \"" + quoted + L"\"";
  }
  const std::wstring status = win32::Widen(statusFile);
  // A status left by a run that timed out must not answer for this one.
  ::DeleteFileW(status.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(L"\\\\?\\unix\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &started)) {
    return false;
  }
  const win32::KernelHandle thread(started.hThread);
  const win32::KernelHandle process(started.hProcess);
  for (int waited = 0; ::GetFileAttributesW(status.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited) {
    if (waited == 1000) return false;
    ::Sleep(10);
  }
  std::string text;
  {
    const win32::FileHandle file(::CreateFileW(status.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[16] = {};
    DWORD read = 0;
    if (file && ::ReadFile(file.Get(), buffer, sizeof buffer - 1, &read, nullptr)) {
      text.assign(buffer, read);
    }
  }
  ::DeleteFileW(status.c_str());
  return text == "0\n";
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
    // Every link goes first, by itself: removing the tree through one would reach whatever
    // it leads to. Should one stay, the scratch folder stays too.
    bool unlinked = true;
    for (auto link = links_.rbegin(); link != links_.rend(); ++link) {
      if (!Unlink(*link)) {
        ADD_FAILURE() << "cannot remove the link " << link->path << "; " << folder_ << " is left";
        unlinked = false;
      }
    }
    if (unlinked) RemoveFileTree(platform.files, folder_);
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

  std::string ServiceProgram() override { return DemoApp(); }

  // Under Wine, CreateSymbolicLinkW answers TRUE and makes nothing; a Unix symbolic link made
  // with ln is what Wine shows as a link.
  bool MakeLink(const std::string& link, const std::string& target, bool directory) override {
    if (const WineUnixFileName convert = WineUnixFileNameEntry()) {
      const auto unixLink = UnixPathOf(convert, link);
      const auto unixTarget = UnixPathOf(convert, target);
      if (!unixLink || !unixTarget) return false;
      // Whatever ln answers, the link may be there: it is removed at the end in any case.
      links_.push_back({link, *unixLink, directory});
      return RunUnixProgram(convert, StatusFile(), {"/bin/ln", "-s", *unixTarget, *unixLink});
    }
    const DWORD flags = directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    if (!::CreateSymbolicLinkW(win32::Widen(link).c_str(), win32::Widen(target).c_str(), flags)) {
      return false;
    }
    links_.push_back({link, {}, directory});
    return true;
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

  // Beside the scratch folder, so that no listing of it ever shows the file.
  std::string StatusFile() const { return folder_ + ".status"; }

  struct Link {
    std::string path;
    std::string unixPath;  // empty unless made under Wine
    bool directory = false;
  };

  // Removes the link itself. Under Wine DeleteFileW and RemoveDirectoryW would act on the
  // target, so the Unix link goes with rm (which never follows one); on Windows they remove
  // the link.
  bool Unlink(const Link& link) {
    if (!link.unixPath.empty()) {
      const WineUnixFileName convert = WineUnixFileNameEntry();
      return convert != nullptr &&
             RunUnixProgram(convert, StatusFile(), {"/bin/rm", "-f", "--", link.unixPath});
    }
    const std::wstring path = win32::Widen(link.path);
    const BOOL removed =
        link.directory ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str());
    return removed || ::GetLastError() == ERROR_FILE_NOT_FOUND;
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
  std::vector<Link> links_;
  std::map<std::uint32_t, win32::KernelHandle> processes_;
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() {
  return std::make_unique<Win32Environment>();
}

}  // namespace sv::testing
