// The service control manager, shaped like its Win32 calls: open the manager, open a service,
// send it the stop control, ask its state, delete it. Handles close when their owners go.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/errors.h"

namespace sv::platform {

// SERVICE_STATUS.dwCurrentState, with the system's numbers.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;

inline constexpr WinError kErrorServiceDoesNotExist = 1060;
// Stop asked of a service that is starting or already stopping.
inline constexpr WinError kErrorServiceCannotAcceptCtrl = 1061;
inline constexpr WinError kErrorServiceNotActive = 1062;
inline constexpr WinError kErrorServiceMarkedForDelete = 1072;

// QUERY_SERVICE_CONFIG: what the service manager knows of a service, as needed to judge whose
// it is and to create it again.
struct ServiceConfig {
  std::uint32_t serviceType = 0;
  std::uint32_t startType = 0;
  std::uint32_t errorControl = 0;
  std::string binaryPath;  // the command line, as stored (may be quoted, carry arguments)
  std::string loadOrderGroup;
  std::string dependencies;  // the names, separated by '\n'
  std::string account;
  std::string displayName;
  friend bool operator==(const ServiceConfig&, const ServiceConfig&) = default;
};

// A service opened with all access (SERVICE_ALL_ACCESS).
class Service {
 public:
  virtual ~Service() = default;
  // ControlService with SERVICE_CONTROL_STOP.
  virtual WinError Stop() = 0;
  // QueryServiceStatus: the current state; empty when it cannot be asked.
  [[nodiscard]] virtual std::optional<std::uint32_t> QueryState(WinError* error = nullptr) = 0;
  // QueryServiceConfig; empty when it cannot be asked.
  [[nodiscard]] virtual std::optional<ServiceConfig> QueryConfig(WinError* error = nullptr) = 0;
  // DeleteService: marks the service for deletion; it goes once stopped and no longer open.
  virtual WinError Delete() = 0;
};

// The service control manager of the local machine, opened with all access.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // Null when there is no such service (kErrorServiceDoesNotExist) or it cannot be opened.
  [[nodiscard]] virtual std::unique_ptr<Service> Open(std::string_view name,
                                                      WinError* error = nullptr) = 0;
};

class Services {
 public:
  virtual ~Services() = default;
  // OpenSCManager on the local machine with SC_MANAGER_ALL_ACCESS; null when refused.
  [[nodiscard]] virtual std::unique_ptr<ServiceManager> OpenManager(WinError* error = nullptr) = 0;
};

}  // namespace sv::platform
