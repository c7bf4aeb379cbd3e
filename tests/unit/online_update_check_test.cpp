#include "online/update_check.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_http.h"
#include "unit/online_test_support.h"

namespace sv::online {
namespace {

using fake::FakeHttpTransport;
using platform::HttpFailure;
using platform::HttpRequest;

class CheckUpdateOnlineTest : public ::testing::Test {
 protected:
  int Check() { return CheckUpdateOnline(transport_, options_, "1700000000", "1700000100", "17"); }

  FakeHttpTransport transport_;
  ExchangeOptions options_ = ExchangeOptions::ForSetting("http://127.0.0.1:8080");
};

TEST_F(CheckUpdateOnlineTest, SendsTheSixLinesInOrderOnceWithoutFollowingRedirects) {
  transport_.SetDefault(testing::Answering("Update", "0"));
  EXPECT_EQ(Check(), 0);
  ASSERT_EQ(transport_.Requests().size(), 1u);
  const HttpRequest& request = transport_.Requests()[0].request;
  const auto lines = testing::RequestLinesOf(request.body);
  const std::vector<FormLine> expected = {
      {"System", "Vestrel"},
      {"Command", "Update"},
      {"ProgramVer", "1700000000"},
      {"DataVer", "1700000100"},
      {"SoftDataVer", "17"},
      {"ValCode",
       RequestValidationCode("Update", {{"", "1700000000"}, {"", "1700000100"}, {"", "17"}})}};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(request.path, "/communicate.php");
  EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(request.readTimeoutMs, 30000u);
  EXPECT_FALSE(request.followRedirects);
}

TEST_F(CheckUpdateOnlineTest, ThePositiveResultOfAValidReplyMeansAnUpdate) {
  transport_.SetDefault(testing::Answering("Update", "3"));
  const int result = Check();
  EXPECT_EQ(result, 3);
  EXPECT_TRUE(UpdateAvailable(result));
}

TEST_F(CheckUpdateOnlineTest, ZeroAndNotANumberMeanCurrent) {
  for (const char* value : {"0", "many"}) {
    transport_.SetDefault(testing::Answering("Update", value));
    const int result = Check();
    EXPECT_EQ(result, 0) << value;
    EXPECT_FALSE(UpdateAvailable(result));
  }
}

TEST_F(CheckUpdateOnlineTest, AReplySignedForAnotherRequestIsRefused) {
  transport_.SetDefault([](const HttpRequest&) {
    return FakeHttpTransport::Reply{200, testing::SignedReply("Update", "3", "00000")};
  });
  EXPECT_EQ(Check(), -4);
}

TEST_F(CheckUpdateOnlineTest, AFourLineReplyIsTakenWithoutACode) {
  transport_.ReplyAlways({200, "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=2\r\n"});
  EXPECT_EQ(Check(), 2);
}

struct FailureCase {
  const char* name;
  FakeHttpTransport::Reply reply;
  int result;
};

class CheckUpdateFailure : public CheckUpdateOnlineTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CheckUpdateFailure, EndsWithTheResultReachedAndNoUpdate) {
  transport_.ReplyAlways(GetParam().reply);
  const int result = Check();
  EXPECT_EQ(result, GetParam().result);
  EXPECT_FALSE(UpdateAvailable(result));
  EXPECT_EQ(transport_.PostCount(), 1);
}

const std::string kGoodFourLines = "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=1";

INSTANTIATE_TEST_SUITE_P(
    Failures, CheckUpdateFailure,
    ::testing::Values(
        FailureCase{"NoConnection", FakeHttpTransport::Reply::Failing(HttpFailure::kConnect), -999},
        FailureCase{"TimeOut", FakeHttpTransport::Reply::Failing(HttpFailure::kTimeout), -999},
        FailureCase{"OtherClientFailure", FakeHttpTransport::Reply::Failing(HttpFailure::kOther),
                    -999},
        FailureCase{"OversizedAnswer", FakeHttpTransport::Reply::Failing(HttpFailure::kTooLarge),
                    -999},
        FailureCase{"HttpErrorWithAGoodLookingBody", {500, kGoodFourLines}, -999},
        FailureCase{"NotFound", {404, kGoodFourLines}, -999},
        FailureCase{"RedirectIsNotFollowed", {307, kGoodFourLines, "/communicate.php"}, -999},
        FailureCase{"Redirect302IsNotFollowed", {302, kGoodFourLines, "/communicate.php"}, -999},
        FailureCase{"EmptyBody", {200, ""}, -999},
        FailureCase{"WrongSystem", {200, "System=Other\r\n" + kGoodFourLines}, -1},
        FailureCase{
            "WrongCommand", {200, "System=Vestrel\r\nCommand=SubmitSoft\r\nx\r\nResult=1"}, -2},
        FailureCase{"ThreeLines", {200, "System=Vestrel\r\nCommand=Update\r\nResult=1"}, -999},
        FailureCase{"WrongCode", {200, kGoodFourLines + "\r\nValCode=00000"}, -4},
        FailureCase{
            "ServiceMaintenance", {200, "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=-7"}, -7}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(CheckUpdateOnlineTest, TheRedirectTargetIsNeverAsked) {
  transport_.Route("/communicate.php", [](const HttpRequest&) {
    return FakeHttpTransport::Reply{307, "", "/moved.php"};
  });
  transport_.Route("/moved.php", testing::Answering("Update", "5"));
  EXPECT_EQ(Check(), -999);
  EXPECT_EQ(transport_.Requests().size(), 1u);
}

TEST_F(CheckUpdateOnlineTest, TestsCanShortenTheReadTimeOut) {
  options_.readTimeoutMs = 500;
  transport_.ReplyAlways(FakeHttpTransport::Reply::Failing(HttpFailure::kTimeout));
  EXPECT_EQ(Check(), -999);
  EXPECT_EQ(transport_.Requests()[0].request.readTimeoutMs, 500u);
}

TEST_F(CheckUpdateOnlineTest, ABrokenServiceUrlSendsNoRequest) {
  options_ = ExchangeOptions::ForSetting("https://mirror.example/");
  transport_.SetDefault(testing::Answering("Update", "3"));
  EXPECT_EQ(Check(), -999);
  EXPECT_EQ(transport_.PostCount(), 0);
}

TEST_F(CheckUpdateOnlineTest, TheVendorIsAskedWithoutAnOverride) {
  options_ = ExchangeOptions::ForSetting("");
  transport_.SetDefault(testing::Answering("Update", "0"));
  EXPECT_EQ(Check(), 0);
  EXPECT_EQ(transport_.Requests()[0].request.host, "www.sorvane.com");
  EXPECT_EQ(transport_.Requests()[0].request.port, 80);
}

struct VersionCase {
  const char* name;
  DateTime date;
  const char* text;
};

class ProgramVersionText : public ::testing::TestWithParam<VersionCase> {};

TEST_P(ProgramVersionText, IsWholeSecondsSince1970RoundedToTheNearest) {
  EXPECT_EQ(online::ProgramVersionText(GetParam().date), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, ProgramVersionText,
    ::testing::Values(VersionCase{"Epoch", kUnixEpochDate, "0"},
                      VersionCase{"OneDay", kUnixEpochDate + 1, "86400"},
                      // 2023-11-14 22:13:20 UTC
                      VersionCase{"Recent", kUnixEpochDate + 1700000000.0 / 86400, "1700000000"},
                      VersionCase{"RoundsDown", kUnixEpochDate + 10.4 / 86400, "10"},
                      VersionCase{"RoundsUp", kUnixEpochDate + 10.6 / 86400, "11"},
                      VersionCase{"Before1970", kUnixEpochDate - 1, "-86400"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(UpdaterPath, IsUpdateExeBesideTheExecutable) {
  EXPECT_EQ(UpdaterPath("C:\\Program Files\\Sorvane\\Sorvane.exe"),
            "C:\\Program Files\\Sorvane\\Update.exe");
  EXPECT_EQ(UpdaterPath("Sorvane.exe"), "Update.exe");
}

TEST(PleaseVisitMessage, NamesTheVendorsSite) {
  EXPECT_EQ(PleaseVisitMessage(), "Please visit http://www.sorvane.com/ download updates!");
}

TEST(UpdateAvailable, OnlyForPositiveResults) {
  EXPECT_TRUE(UpdateAvailable(1));
  EXPECT_TRUE(UpdateAvailable(7));
  EXPECT_FALSE(UpdateAvailable(0));
  EXPECT_FALSE(UpdateAvailable(-1));
  EXPECT_FALSE(UpdateAvailable(-999));
}

}  // namespace
}  // namespace sv::online
