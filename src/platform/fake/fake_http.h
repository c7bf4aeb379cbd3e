// An HTTP transport for host tests: every request is recorded, and the answer comes from a
// handler per path (or a default one), so tests script the web service reply by reply.
// Redirections are followed the way WinINet follows them when the request asks for it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/http.h"

namespace sv::fake {

class FakeHttpTransport final : public platform::HttpTransport {
 public:
  // What the fake server does with one request.
  struct Reply {
    Reply() = default;
    Reply(int statusCode, std::string text = {}, std::string redirectTo = {})
        : status(statusCode), body(std::move(text)), location(std::move(redirectTo)) {}
    // A request that fails instead of being answered.
    static Reply Failing(platform::HttpFailure how) {
      Reply reply;
      reply.failure = how;
      return reply;
    }

    int status = 200;
    std::string body;
    std::string location;  // for 3xx: a path on the same server or an absolute http URL
    platform::HttpFailure failure = platform::HttpFailure::kNone;  // fail instead of answering
  };
  using Handler = std::function<Reply(const platform::HttpRequest&)>;

  // One request as the server saw it, hops of a redirection included.
  struct Sent {
    std::string method;  // "POST", or "GET" after a redirection that changes the method
    platform::HttpRequest request;
  };

  // Requests to `path` (on any host) go to `handler`; others to the default handler, which
  // answers 404 until SetDefault replaces it.
  void Route(const std::string& path, Handler handler);
  void SetDefault(Handler handler);
  // Shorthand: every request gets `reply`.
  void ReplyAlways(Reply reply);

  [[nodiscard]] const std::vector<Sent>& Requests() const noexcept { return sent_; }
  // How many times Post was called (redirect hops are not calls of their own).
  [[nodiscard]] int PostCount() const noexcept { return posts_; }

  [[nodiscard]] platform::HttpResponse Post(const platform::HttpRequest& request) override;

 private:
  [[nodiscard]] Reply Dispatch(const std::string& method, const platform::HttpRequest& request);

  std::map<std::string, Handler> routes_;
  Handler default_;
  std::vector<Sent> sent_;
  int posts_ = 0;
};

}  // namespace sv::fake
