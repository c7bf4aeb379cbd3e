// Where the Wine tests find the reference service: tests/win/with_service.py starts it on a
// free loopback port and names it in the environment.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "online/service_url.h"

namespace sv::online::testing {

// "http://127.0.0.1:PORT", without a path.
inline std::string ServiceBase() {
  const char* base = std::getenv("SV_TEST_SERVICE_URL");
  return base ? std::string(base) : std::string();
}

// The service's form under `path` ("/communicate.php", "/scenario/never/communicate.php").
inline ServiceUrl ServiceAt(const std::string& path) {
  const auto url = ParseServiceUrl(ServiceBase() + path);
  if (!url) {
    ADD_FAILURE() << "SV_TEST_SERVICE_URL is not set; run through tests/win/with_service.py";
    return ServiceUrl{"127.0.0.1", 9, path};
  }
  return *url;
}

inline std::uint16_t ClosedPort() {
  const char* port = std::getenv("SV_TEST_CLOSED_PORT");
  if (!port) ADD_FAILURE() << "SV_TEST_CLOSED_PORT is not set";
  return static_cast<std::uint16_t>(port ? std::atoi(port) : 9);
}

}  // namespace sv::online::testing
