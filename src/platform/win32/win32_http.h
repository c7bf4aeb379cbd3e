// The HTTP transport of the real system: WinINet, one session per request.
#pragma once

#include "platform/http.h"

namespace sv::win32 {

class Win32HttpTransport final : public platform::HttpTransport {
 public:
  [[nodiscard]] platform::HttpResponse Post(const platform::HttpRequest& request) override;
};

}  // namespace sv::win32
