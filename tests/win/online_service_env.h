// Where the Wine tests find the reference service: tests/win/with_service.py starts it on a
// free loopback port and names it in the environment.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "online/service_url.h"
#include "platform/win32/win32_http.h"

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

// How many requests with the command ("Update", "SubmitSoft") have reached the service's
// paths since it started; -1 when the service cannot be asked.
inline int RequestsReceived(const std::string& command) {
  const ServiceUrl service = ServiceAt("/requests");
  platform::HttpRequest request;
  request.host = service.host;
  request.port = service.port;
  request.path = service.path;
  request.contentType = "application/x-www-form-urlencoded";
  request.readTimeoutMs = 10000;
  win32::Win32HttpTransport transport;
  const platform::HttpResponse response = transport.Post(request);
  if (!response.Succeeded()) return -1;
  const std::string key = "\n" + command + "=";
  const std::string body = "\n" + response.body;
  const auto at = body.find(key);
  return at == std::string::npos ? -1 : std::atoi(body.c_str() + at + key.size());
}

}  // namespace sv::online::testing
