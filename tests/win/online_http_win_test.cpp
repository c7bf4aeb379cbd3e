// The WinINet transport against the reference service on loopback.
#include "platform/win32/win32_http.h"

#include <gtest/gtest.h>

#include "online/form_exchange.h"
#include "online/update_check.h"
#include "win/online_service_env.h"

namespace sv::win32 {
namespace {

using online::testing::ServiceAt;
using platform::HttpFailure;
using platform::HttpRequest;

HttpRequest RequestTo(const online::ServiceUrl& url, std::string body, bool follow) {
  HttpRequest request;
  request.host = url.host;
  request.port = url.port;
  request.path = url.path;
  request.contentType = "application/x-www-form-urlencoded";
  request.body = std::move(body);
  request.followRedirects = follow;
  request.readTimeoutMs = 20000;
  return request;
}

// A correct update request (the versions the service knows, so the answer is 0).
std::string UpdateBody() {
  return online::EncodeFormBody(online::BuildRequestLines(
      "Update",
      {{"ProgramVer", "1700000000"}, {"DataVer", "1700000100"}, {"SoftDataVer", "1700000200"}}));
}

TEST(Win32HttpTransport, PostsTheBodyBytesWithTheContentType) {
  Win32HttpTransport transport;
  const std::string body = std::string("a=b&c=%20+\x80\x7F", 12);
  const auto response = transport.Post(RequestTo(ServiceAt("/echo"), body, false));
  ASSERT_TRUE(response.Completed()) << response.systemError;
  EXPECT_EQ(response.status, 200);
  EXPECT_NE(response.body.find("Method=POST\r\n"), std::string::npos) << response.body;
  EXPECT_NE(response.body.find("ContentType=application/x-www-form-urlencoded\r\n"),
            std::string::npos)
      << response.body;
  EXPECT_NE(response.body.find("Body=" + body + "\r\n"), std::string::npos) << response.body;
}

TEST(Win32HttpTransport, AnswersTheFormOfTheService) {
  Win32HttpTransport transport;
  const auto response =
      transport.Post(RequestTo(ServiceAt("/communicate.php"), UpdateBody(), false));
  ASSERT_TRUE(response.Succeeded()) << response.systemError << " " << response.status;
  EXPECT_TRUE(response.body.starts_with("System=Vestrel\r\nCommand=Update\r\n")) << response.body;
}

TEST(Win32HttpTransport, HandsARedirectBackWhenNotFollowing) {
  Win32HttpTransport transport;
  for (const char* scenario : {"redirect", "redirect-302"}) {
    const auto response = transport.Post(RequestTo(
        ServiceAt(std::string("/scenario/") + scenario + "/communicate.php"), UpdateBody(), false));
    ASSERT_TRUE(response.Completed()) << scenario << " " << response.systemError;
    EXPECT_EQ(response.status, std::string(scenario) == "redirect" ? 307 : 302);
    EXPECT_FALSE(response.Succeeded());
  }
}

TEST(Win32HttpTransport, FollowsA307WithThePostAndItsBody) {
  Win32HttpTransport transport;
  const auto response = transport.Post(
      RequestTo(ServiceAt("/scenario/redirect/communicate.php"), UpdateBody(), true));
  ASSERT_TRUE(response.Succeeded()) << response.systemError << " " << response.status;
  EXPECT_NE(response.body.find("Result=0\r\n"), std::string::npos) << response.body;
}

TEST(Win32HttpTransport, FollowsA302WithAGetAsBrowsersDo) {
  // The service answers a GET with 405: the form is not sent to a place that did not ask
  // for it to be repeated.
  Win32HttpTransport transport;
  const auto response = transport.Post(
      RequestTo(ServiceAt("/scenario/redirect-302/communicate.php"), UpdateBody(), true));
  ASSERT_TRUE(response.Completed()) << response.systemError;
  EXPECT_EQ(response.status, 405);
}

TEST(Win32HttpTransport, HttpErrorsComeBackWithTheirStatus) {
  Win32HttpTransport transport;
  const auto error = transport.Post(
      RequestTo(ServiceAt("/scenario/http-error/communicate.php"), UpdateBody(), false));
  ASSERT_TRUE(error.Completed());
  EXPECT_EQ(error.status, 500);
  EXPECT_FALSE(error.Succeeded());
  const auto missing = transport.Post(RequestTo(ServiceAt("/nothing.php"), UpdateBody(), false));
  ASSERT_TRUE(missing.Completed());
  EXPECT_EQ(missing.status, 404);
}

TEST(Win32HttpTransport, GivesUpOnAServerThatNeverAnswers) {
  Win32HttpTransport transport;
  auto request = RequestTo(ServiceAt("/scenario/never/communicate.php"), UpdateBody(), false);
  request.readTimeoutMs = 1500;
  const auto response = transport.Post(request);
  EXPECT_FALSE(response.Completed());
  // Windows reports the time-out as such (12002); Wine 8 as an aborted connection (12030).
  EXPECT_TRUE(response.failure == HttpFailure::kTimeout || response.systemError == 12030)
      << static_cast<int>(response.failure) << " " << response.systemError;
}

TEST(Win32HttpTransport, ReportsARefusedConnection) {
  Win32HttpTransport transport;
  auto request = RequestTo(ServiceAt("/communicate.php"), UpdateBody(), false);
  request.port = online::testing::ClosedPort();
  const auto response = transport.Post(request);
  EXPECT_FALSE(response.Completed());
  EXPECT_EQ(response.failure, HttpFailure::kConnect) << response.systemError;
}

TEST(Win32HttpTransport, RefusesAnOversizedAnswer) {
  Win32HttpTransport transport;
  const auto response =
      transport.Post(RequestTo(ServiceAt("/scenario/huge/communicate.php"), UpdateBody(), false));
  EXPECT_EQ(response.failure, HttpFailure::kTooLarge) << response.systemError;
}

TEST(Win32HttpTransport, SuccessiveExchangesEachGetTheirOwnAnswer) {
  // Every call is a session of its own; nothing of one answer may leak into the next.
  Win32HttpTransport transport;
  for (int i = 0; i < 20; ++i) {
    const bool older = i % 2 == 1;
    const std::string body = online::EncodeFormBody(
        online::BuildRequestLines("Update", {{"ProgramVer", older ? "1" : "1700000000"},
                                             {"DataVer", "1700000100"},
                                             {"SoftDataVer", "1700000200"}}));
    const auto response = transport.Post(RequestTo(ServiceAt("/communicate.php"), body, false));
    ASSERT_TRUE(response.Succeeded()) << i << " " << response.systemError;
    EXPECT_NE(response.body.find(older ? "Result=1\r\n" : "Result=0\r\n"), std::string::npos)
        << i << " " << response.body;
  }
}

}  // namespace
}  // namespace sv::win32
