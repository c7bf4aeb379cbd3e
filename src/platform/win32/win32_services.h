// The service control manager through OpenSCManager, OpenService, ControlService,
// QueryServiceStatus and DeleteService.
#pragma once

#include "platform/services.h"

namespace sv::win32 {

class Win32Services final : public platform::Services {
 public:
  [[nodiscard]] std::unique_ptr<platform::ServiceManager> OpenManager(
      platform::WinError* error = nullptr) override;
};

}  // namespace sv::win32
