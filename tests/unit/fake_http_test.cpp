#include "platform/fake/fake_http.h"

#include <gtest/gtest.h>

namespace sv::fake {
namespace {

using platform::HttpFailure;
using platform::HttpRequest;

HttpRequest Request(std::string path, bool follow) {
  HttpRequest request;
  request.host = "127.0.0.1";
  request.port = 8000;
  request.path = std::move(path);
  request.contentType = "application/x-www-form-urlencoded";
  request.body = "a=b";
  request.followRedirects = follow;
  return request;
}

TEST(FakeHttpTransport, RoutesByPathAndAnswers404Otherwise) {
  FakeHttpTransport transport;
  transport.Route("/x", [](const HttpRequest&) { return FakeHttpTransport::Reply{200, "hi"}; });
  const auto hit = transport.Post(Request("/x", false));
  EXPECT_TRUE(hit.Succeeded());
  EXPECT_EQ(hit.body, "hi");
  const auto miss = transport.Post(Request("/y", false));
  EXPECT_TRUE(miss.Completed());
  EXPECT_FALSE(miss.Succeeded());
  EXPECT_EQ(miss.status, 404);
}

TEST(FakeHttpTransport, ARedirectIsReturnedWhenNotFollowed) {
  FakeHttpTransport transport;
  transport.Route("/old", [](const HttpRequest&) {
    return FakeHttpTransport::Reply{307, "", "/new"};
  });
  const auto response = transport.Post(Request("/old", false));
  EXPECT_EQ(response.status, 307);
  EXPECT_EQ(transport.Requests().size(), 1u);
}

TEST(FakeHttpTransport, FollowedRedirectsKeepOrDropThePostLikeWinInet) {
  for (const int status : {301, 302, 303, 307, 308}) {
    FakeHttpTransport transport;
    transport.Route("/old", [status](const HttpRequest&) {
      return FakeHttpTransport::Reply{status, "", "http://other.example:81/new"};
    });
    transport.Route("/new", [](const HttpRequest& r) {
      return FakeHttpTransport::Reply{200, r.body};
    });
    const auto response = transport.Post(Request("/old", true));
    ASSERT_TRUE(response.Succeeded()) << status;
    ASSERT_EQ(transport.Requests().size(), 2u);
    const auto& hop = transport.Requests()[1];
    EXPECT_EQ(hop.request.host, "other.example");
    EXPECT_EQ(hop.request.port, 81);
    const bool keepsPost = status == 307 || status == 308;
    EXPECT_EQ(hop.method, keepsPost ? "POST" : "GET") << status;
    EXPECT_EQ(response.body, keepsPost ? "a=b" : "") << status;
    EXPECT_EQ(transport.PostCount(), 1);
  }
}

TEST(FakeHttpTransport, EndlessRedirectsFail) {
  FakeHttpTransport transport;
  transport.ReplyAlways({302, "", "/again"});
  const auto response = transport.Post(Request("/again", true));
  EXPECT_FALSE(response.Completed());
}

TEST(FakeHttpTransport, InjectedFailuresAndOversizedBodiesAreNotCompleted) {
  FakeHttpTransport transport;
  transport.ReplyAlways(FakeHttpTransport::Reply::Failing(HttpFailure::kTimeout));
  EXPECT_EQ(transport.Post(Request("/x", false)).failure, HttpFailure::kTimeout);
  transport.ReplyAlways({200, std::string(platform::kMaxHttpResponseBytes + 1, 'x')});
  EXPECT_EQ(transport.Post(Request("/x", false)).failure, HttpFailure::kTooLarge);
}

}  // namespace
}  // namespace sv::fake
