// sv-seed.exe: applies a demo machine description to the machine it runs on.
//   sv-seed.exe [DESCRIPTION.json] [--expected FILE]   seed, check, write the expectations
//   sv-seed.exe [DESCRIPTION.json] --check             only check what seeding made
// Without DESCRIPTION.json, demo-machine.json beside the program is used.
// It seeds only under Wine: on a real Windows machine it would register made-up programs,
// services and COM classes there. --real-machine overrides that for a throw-away test machine.
// Exit 0 when everything is there, 1 on any failure (each printed), 2 on a usage error.
#include <windows.h>
//
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "seed/seed.h"

namespace {

using sv::win32::Narrow;
using sv::win32::Widen;

std::string SystemMessage(DWORD error) {
  return "error " + std::to_string(error);
}

std::string HresultText(HRESULT result) {
  std::ostringstream text;
  text << "HRESULT 0x" << std::hex << static_cast<unsigned long>(result);
  return text.str();
}

// COM for the calling thread, for the life of the object.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  [[nodiscard]] HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

sv::win32::ComPtr<IShellLinkW> NewShellLink(HRESULT& result) {
  sv::win32::ComPtr<IShellLinkW> link;
  result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                            reinterpret_cast<void**>(link.Receive()));
  return link;
}

sv::win32::ComPtr<IPersistFile> PersistFileOf(IShellLinkW& link, HRESULT& result) {
  sv::win32::ComPtr<IPersistFile> file;
  result = link.QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()));
  return file;
}

std::string QuotedIfBlank(const std::string& path) {
  return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

class Win32Shell final : public sv::seed::Shell {
 public:
  explicit Win32Shell(std::string demoProgram) : demoProgram_(std::move(demoProgram)) {}

  std::string CopyProgram(const std::string& destination) override {
    const std::wstring target = Widen(destination);
    // A copy that is there already may be running (a service, a demo process): keep it.
    if (SameSize(Widen(demoProgram_), target)) return {};
    if (!CopyFileW(Widen(demoProgram_).c_str(), target.c_str(), FALSE)) {
      return "cannot copy " + demoProgram_ + " to " + destination + " (" +
             SystemMessage(GetLastError()) + ")";
    }
    return {};
  }

  std::string MakeShortcut(const sv::seed::Shortcut& shortcut) override {
    HRESULT result = S_OK;
    auto link = NewShellLink(result);
    if (FAILED(result))
      return "no shell link object for " + shortcut.path + " (" + HresultText(result) + ")";
    const auto check = [&](HRESULT step, const char* what) -> std::string {
      if (SUCCEEDED(step)) return {};
      return std::string("cannot set the ") + what + " of " + shortcut.path + " (" +
             HresultText(step) + ")";
    };
    std::string failure = check(link.Get()->SetPath(Widen(shortcut.target).c_str()), "target");
    if (failure.empty() && !shortcut.arguments.empty()) {
      failure = check(link.Get()->SetArguments(Widen(shortcut.arguments).c_str()), "arguments");
    }
    if (failure.empty() && !shortcut.workingDirectory.empty()) {
      failure = check(link.Get()->SetWorkingDirectory(Widen(shortcut.workingDirectory).c_str()),
                      "working folder");
    }
    if (failure.empty() && !shortcut.description.empty()) {
      failure = check(link.Get()->SetDescription(Widen(shortcut.description).c_str()), "comment");
    }
    if (failure.empty() && !shortcut.iconPath.empty()) {
      failure =
          check(link.Get()->SetIconLocation(Widen(shortcut.iconPath).c_str(), shortcut.iconIndex),
                "icon");
    }
    if (!failure.empty()) return failure;
    auto file = PersistFileOf(*link.Get(), result);
    if (FAILED(result))
      return "no file interface for " + shortcut.path + " (" + HresultText(result) + ")";
    result = file.Get()->Save(Widen(shortcut.path).c_str(), TRUE);
    if (FAILED(result)) return "cannot save " + shortcut.path + " (" + HresultText(result) + ")";
    return {};
  }

  std::string MakeService(const sv::seed::Service& service) override {
    const sv::win32::ServiceHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager)
      return "cannot open the service control manager (" + SystemMessage(GetLastError()) + ")";
    const std::wstring name = Widen(service.name);
    if (sv::win32::ServiceHandle existing(
            OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
        existing) {
      return {};
    }
    const std::wstring display =
        Widen(service.displayName.empty() ? service.name : service.displayName);
    const sv::win32::ServiceHandle created(CreateServiceW(
        manager.Get(), name.c_str(), display.c_str(), SERVICE_QUERY_CONFIG,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
        Widen(QuotedIfBlank(service.binary)).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!created)
      return "cannot create service " + service.name + " (" + SystemMessage(GetLastError()) + ")";
    return {};
  }

 private:
  static bool SameSize(const std::wstring& a, const std::wstring& b) {
    WIN32_FILE_ATTRIBUTE_DATA first{};
    WIN32_FILE_ATTRIBUTE_DATA second{};
    return GetFileAttributesExW(a.c_str(), GetFileExInfoStandard, &first) &&
           GetFileAttributesExW(b.c_str(), GetFileExInfoStandard, &second) &&
           first.nFileSizeLow == second.nFileSizeLow && first.nFileSizeHigh == second.nFileSizeHigh;
  }

  std::string demoProgram_;
};

// What seeding made, read back through the system: the services as the service control
// manager reports them and the shortcuts as the shell loads them.
std::vector<std::string> CheckSeeded(const sv::seed::Plan& plan) {
  std::vector<std::string> failures;
  const sv::win32::ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager && !plan.services.empty()) {
    failures.push_back("cannot open the service control manager (" + SystemMessage(GetLastError()) +
                       ")");
  }
  for (const sv::seed::Service& service : plan.services) {
    if (!manager) break;
    const sv::win32::ServiceHandle handle(OpenServiceW(
        manager.Get(), Widen(service.name).c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!handle) {
      failures.push_back("service " + service.name + " is missing");
      continue;
    }
    DWORD needed = 0;
    QueryServiceConfigW(handle.Get(), nullptr, 0, &needed);
    std::vector<unsigned char> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(handle.Get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
      failures.push_back("cannot read the configuration of service " + service.name);
      continue;
    }
    if (config->dwStartType != SERVICE_DEMAND_START) {
      failures.push_back("service " + service.name + " does not start on demand");
    }
    const std::string binary = config->lpBinaryPathName ? Narrow(config->lpBinaryPathName) : "";
    if (!sv::SameTextAscii(binary, QuotedIfBlank(service.binary))) {
      failures.push_back("service " + service.name + " runs '" + binary + "', not '" +
                         QuotedIfBlank(service.binary) + "'");
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(handle.Get(), &status) || status.dwCurrentState != SERVICE_STOPPED) {
      failures.push_back("service " + service.name + " is not stopped");
    }
  }

  for (const sv::seed::Shortcut& shortcut : plan.shortcuts) {
    HRESULT result = S_OK;
    auto link = NewShellLink(result);
    if (FAILED(result)) {
      failures.push_back("no shell link object (" + HresultText(result) + ")");
      break;
    }
    auto file = PersistFileOf(*link.Get(), result);
    if (SUCCEEDED(result)) result = file.Get()->Load(Widen(shortcut.path).c_str(), STGM_READ);
    if (FAILED(result)) {
      failures.push_back(shortcut.path + " is not a shell link (" + HresultText(result) + ")");
      continue;
    }
    wchar_t target[MAX_PATH] = {};
    if (FAILED(link.Get()->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        !sv::SameTextAscii(Narrow(target), shortcut.target)) {
      failures.push_back(shortcut.path + " points to '" + Narrow(target) + "', not '" +
                         shortcut.target + "'");
    }
  }
  return failures;
}

std::string FolderOf(const std::string& path) {
  const auto at = path.find_last_of('\\');
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

int Usage() {
  std::cerr << "usage: sv-seed [DESCRIPTION.json] [--expected FILE | --check] [--real-machine]\n";
  return 2;
}

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int Run(const std::vector<std::string>& args) {
  std::string description;
  std::string expectedFile;
  bool checkOnly = false;
  bool realMachine = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--expected" && i + 1 < args.size()) {
      expectedFile = args[++i];
    } else if (args[i] == "--check") {
      checkOnly = true;
    } else if (args[i] == "--real-machine") {
      realMachine = true;
    } else if (!args[i].starts_with("--") && description.empty()) {
      description = args[i];
    } else {
      return Usage();
    }
  }
  if (checkOnly && !expectedFile.empty()) return Usage();
  if (!checkOnly && !realMachine && !RunsUnderWine()) {
    std::cerr << "sv-seed: this is not a Wine prefix; seeding would change this machine "
                 "(--real-machine if it is a throw-away test machine)\n";
    return 1;
  }

  sv::win32::Win32Platform machine;
  sv::platform::Platform platform = machine.Get();
  // The build puts the demo machine's description beside the program.
  if (description.empty())
    description = FolderOf(platform.system.ExecutablePath()) + "\\demo-machine.json";
  const auto text = sv::platform::ReadWholeFile(platform.files, description);
  if (!text) {
    std::cerr << "sv-seed: cannot read " << description << "\n";
    return 1;
  }
  const nlohmann::json document = nlohmann::json::parse(*text, nullptr, false);
  if (document.is_discarded()) {
    std::cerr << "sv-seed: " << description << " is not valid JSON\n";
    return 1;
  }

  const sv::seed::Folders folders = sv::seed::MachineFolders(platform.system);
  const sv::seed::Plan plan = sv::seed::ReadPlan(document, folders);

  const ComApartment com;
  if (FAILED(com.Result())) {
    std::cerr << "sv-seed: COM does not start (" << HresultText(com.Result()) << ")\n";
    return 1;
  }

  std::vector<std::string> failures;
  if (!checkOnly) {
    Win32Shell shell(FolderOf(platform.system.ExecutablePath()) + "\\sv-demo-app.exe");
    failures = sv::seed::Apply(plan, platform, shell);
  }
  for (std::string& failure : CheckSeeded(plan))
    failures.push_back(std::move(failure));

  if (failures.empty() && !expectedFile.empty()) {
    nlohmann::json expected = sv::seed::ResolveExpected(
        document.value("expected", nlohmann::json::object()), folders, platform.files);
    expected["folders"] = folders;
    std::ofstream out(expectedFile, std::ios::binary);
    out << expected.dump(2) << "\n";
    if (!out) failures.push_back("cannot write " + expectedFile);
  }

  for (const std::string& failure : failures)
    std::cerr << "sv-seed: " << failure << "\n";
  if (!failures.empty()) return 1;
  std::cout << "sv-seed: " << (checkOnly ? "checked " : "seeded ") << plan.registry.size()
            << " keys, " << plan.directories.size() + plan.files.size() + plan.programs.size()
            << " folders and files, " << plan.shortcuts.size() << " shortcuts, "
            << plan.services.size() << " services\n";
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(Narrow(argv[i]));
  try {
    return Run(args);
  } catch (const std::exception& error) {
    std::cerr << "sv-seed: " << error.what() << "\n";
    return 1;
  }
}
