// The one HTTP operation the program needs: a single form POST to the vendor's web service.
// Each call is a whole client lifetime: the connection is made, used and released inside it,
// on every path, so a caller never holds a client between exchanges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sv::platform {

// The web service answers with a few short lines; anything much larger is not a reply of
// ours, and reading it whole would only let a broken or hostile server fill our memory.
inline constexpr std::size_t kMaxHttpResponseBytes = 1024 * 1024;

struct HttpRequest {
  std::string host;  // a name or an address; an IPv6 address without brackets
  std::uint16_t port = 80;
  std::string path;  // "/communicate.php", with any query
  std::string contentType;
  std::string body;  // sent as these bytes
  bool followRedirects = false;
  // How long to wait for the connection, for sending and for each read of the answer.
  std::uint32_t readTimeoutMs = 30000;
};

enum class HttpFailure {
  kNone,      // the exchange completed: a status and a body were read
  kConnect,   // no connection (name not resolved, refused, unreachable)
  kTimeout,   // the server did not answer in time
  kTooLarge,  // the answer exceeded kMaxHttpResponseBytes
  kOther,     // any other failure of the client or the protocol
};

struct HttpResponse {
  HttpFailure failure = HttpFailure::kOther;
  std::uint32_t systemError = 0;  // the client library's error number, when it gave one
  int status = 0;                 // the final status (after redirections when followed)
  std::string body;

  [[nodiscard]] bool Completed() const noexcept { return failure == HttpFailure::kNone; }
  [[nodiscard]] bool Succeeded() const noexcept {
    return Completed() && status >= 200 && status <= 299;
  }
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // Exactly one POST (plus the hops of followed redirections). Never throws for network or
  // protocol failures; they come back in the response.
  [[nodiscard]] virtual HttpResponse Post(const HttpRequest& request) = 0;
};

}  // namespace sv::platform
