#include "platform/win32/win32_services.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::WinError;

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
