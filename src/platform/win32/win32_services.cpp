#include "platform/win32/win32_services.h"

#include <windows.h>

#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::WinError;

std::string TextOf(const wchar_t* text) {
  return text == nullptr ? std::string() : Narrow(text);
}

// A list of names, each ended by a NUL and the list by one more, as names separated by '\n'.
std::string NameListOf(const wchar_t* list) {
  std::string names;
  if (list == nullptr) return names;
  for (std::wstring_view name = list; !name.empty(); name = list) {
    if (!names.empty()) names += '\n';
    names += Narrow(name);
    list += name.size() + 1;
  }
  return names;
}

class Win32Service final : public platform::Service {
 public:
  explicit Win32Service(ServiceHandle handle) : handle_(std::move(handle)) {}

  WinError Stop() override {
    SERVICE_STATUS status{};
    return ::ControlService(handle_.Get(), SERVICE_CONTROL_STOP, &status) ? platform::kSuccess
                                                                          : LastError();
  }

  std::optional<std::uint32_t> QueryState(WinError* error) override {
    SERVICE_STATUS status{};
    if (!::QueryServiceStatus(handle_.Get(), &status)) {
      Report(error, LastError());
      return std::nullopt;
    }
    Report(error, platform::kSuccess);
    return status.dwCurrentState;
  }

  std::optional<platform::ServiceConfig> QueryConfig(WinError* error) override {
    // The first call tells the size; the configuration may change between the calls, so the
    // size is asked again a few times.
    DWORD needed = 0;
    std::vector<std::uint64_t> buffer;  // aligned for the structure at its start
    for (int round = 0; round < 4; ++round) {
      const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
      auto* config =
          buffer.empty() ? nullptr : reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
      if (::QueryServiceConfigW(handle_.Get(), config, size, &needed)) {
        Report(error, platform::kSuccess);
        return platform::ServiceConfig{config->dwServiceType,
                                       config->dwStartType,
                                       config->dwErrorControl,
                                       TextOf(config->lpBinaryPathName),
                                       TextOf(config->lpLoadOrderGroup),
                                       NameListOf(config->lpDependencies),
                                       TextOf(config->lpServiceStartName),
                                       TextOf(config->lpDisplayName)};
      }
      const WinError failure = LastError();
      if (failure != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
        Report(error, failure);
        return std::nullopt;
      }
      buffer.assign((needed + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    }
    Report(error, ERROR_INSUFFICIENT_BUFFER);
    return std::nullopt;
  }

  WinError Delete() override {
    return ::DeleteService(handle_.Get()) ? platform::kSuccess : LastError();
  }

 private:
  ServiceHandle handle_;
};

class Win32ServiceManager final : public platform::ServiceManager {
 public:
  explicit Win32ServiceManager(ServiceHandle handle) : handle_(std::move(handle)) {}

  std::unique_ptr<platform::Service> Open(std::string_view name, WinError* error) override {
    if (HoldsNul(name)) {
      Report(error, platform::kErrorInvalidName);
      return nullptr;
    }
    ServiceHandle service(::OpenServiceW(handle_.Get(), Widen(name).c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
      Report(error, LastError());
      return nullptr;
    }
    Report(error, platform::kSuccess);
    return std::make_unique<Win32Service>(std::move(service));
  }

 private:
  ServiceHandle handle_;
};

}  // namespace

std::unique_ptr<platform::ServiceManager> Win32Services::OpenManager(WinError* error) {
  ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) {
    Report(error, LastError());
    return nullptr;
  }
  Report(error, platform::kSuccess);
  return std::make_unique<Win32ServiceManager>(std::move(manager));
}

}  // namespace sv::win32
