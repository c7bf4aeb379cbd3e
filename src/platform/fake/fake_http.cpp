#include "platform/fake/fake_http.h"

#include <charconv>
#include <utility>

namespace sv::fake {
namespace {

using platform::HttpFailure;
using platform::HttpRequest;
using platform::HttpResponse;

// WinINet gives up after this many hops.
constexpr int kMaxRedirects = 10;

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Points `request` at `location`: a path on the same server, or "http://host[:port]/path".
bool Retarget(HttpRequest& request, const std::string& location) {
  if (location.starts_with("/")) {
    request.path = location;
    return true;
  }
  constexpr std::string_view kScheme = "http://";
  if (!location.starts_with(kScheme)) return false;
  const std::string rest = location.substr(kScheme.size());
  const auto slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  request.path = slash == std::string::npos ? "/" : rest.substr(slash);
  const auto colon = authority.rfind(':');
  if (colon == std::string::npos) {
    request.host = authority;
    request.port = 80;
  } else {
    request.host = authority.substr(0, colon);
    unsigned port = 0;
    const std::string digits = authority.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
      return false;
    }
    request.port = static_cast<std::uint16_t>(port);
  }
  return !request.host.empty();
}

}  // namespace

void FakeHttpTransport::Route(const std::string& path, Handler handler) {
  routes_[path] = std::move(handler);
}

void FakeHttpTransport::SetDefault(Handler handler) {
  default_ = std::move(handler);
}

void FakeHttpTransport::ReplyAlways(Reply reply) {
  routes_.clear();
  default_ = [reply](const HttpRequest&) { return reply; };
}

FakeHttpTransport::Reply FakeHttpTransport::Dispatch(const std::string& method,
                                                     const HttpRequest& request) {
  sent_.push_back({method, request});
  if (const auto route = routes_.find(request.path); route != routes_.end()) {
    return route->second(request);
  }
  if (default_) return default_(request);
  return Reply{404, "not found"};
}

HttpResponse FakeHttpTransport::Post(const HttpRequest& original) {
  ++posts_;
  HttpRequest request = original;
  std::string method = "POST";
  for (int hop = 0;; ++hop) {
    Reply reply = Dispatch(method, request);
    HttpResponse response;
    if (reply.failure != HttpFailure::kNone) {
      response.failure = reply.failure;
      return response;
    }
    if (request.followRedirects && IsRedirect(reply.status) && !reply.location.empty()) {
      if (hop >= kMaxRedirects || !Retarget(request, reply.location)) {
        response.failure = HttpFailure::kOther;
        return response;
      }
      // As browsers and WinINet do: 307 and 308 repeat the POST, the others fetch with GET.
      if (reply.status != 307 && reply.status != 308) {
        method = "GET";
        request.body.clear();
        request.contentType.clear();
      }
      continue;
    }
    if (reply.body.size() > platform::kMaxHttpResponseBytes) {
      response.failure = HttpFailure::kTooLarge;
      return response;
    }
    response.failure = HttpFailure::kNone;
    response.status = reply.status;
    response.body = std::move(reply.body);
    return response;
  }
}

}  // namespace sv::fake
