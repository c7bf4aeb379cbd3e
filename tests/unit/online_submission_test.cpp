#include "online/submission.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_http.h"
#include "unit/online_test_support.h"

namespace sv::online {
namespace {

using fake::FakeHttpTransport;
using platform::HttpFailure;
using platform::HttpRequest;

SoftwareSubmission NameOnly(std::string name) {
  SoftwareSubmission form;
  form.name = std::move(name);
  form.type = "Networking Software";
  form.os = "Windows XP Home";
  return form;
}

class SubmissionTest : public ::testing::Test {
 protected:
  FakeHttpTransport transport_;
  ExchangeOptions options_ = ExchangeOptions::ForSetting("http://127.0.0.1:8080/");
};

TEST_F(SubmissionTest, OnlyANameStillSendsAllTenLinesWithBareKeys) {
  transport_.SetDefault(testing::Answering("SubmitSoft", "1"));
  EXPECT_EQ(SubmitSoftwareOnline(transport_, options_, NameOnly("Editor")), 1);
  ASSERT_EQ(transport_.Requests().size(), 1u);
  const std::string& body = transport_.Requests()[0].request.body;
  const std::string code = RequestValidationCode("SubmitSoft", {{"", "Editor"},
                                                                {"", ""},
                                                                {"", "Networking Software"},
                                                                {"", "Windows XP Home"},
                                                                {"", ""},
                                                                {"", ""},
                                                                {"", ""}});
  EXPECT_EQ(body,
            "System=Vestrel&Command=SubmitSoft&SoftName=Editor&SoftVer=&"
            "SoftType=Networking%20Software&Os=Windows%20XP%20Home&DownloadLink=&Other=&Email=&"
            "ValCode=" +
                code);
  EXPECT_EQ(testing::RequestLinesOf(body).size(), 10u);
}

TEST_F(SubmissionTest, BlanksLineBreaksAndAmpersandsAreSentAsTheFormWantsThem) {
  transport_.SetDefault(testing::Answering("SubmitSoft", "1"));
  SoftwareSubmission form = NameOnly("Tom & Jerry");
  form.other = "line one\r\nline two";
  EXPECT_EQ(SubmitSoftwareOnline(transport_, options_, form), 1);
  const std::string& body = transport_.Requests()[0].request.body;
  EXPECT_NE(body.find("SoftName=Tom%20&%20Jerry&"), std::string::npos) << body;
  EXPECT_NE(body.find("Other=line%20one%0D%0Aline%20two&"), std::string::npos) << body;
}

TEST_F(SubmissionTest, FollowsRedirectionsWithTheReadTimeOutAndContentType) {
  transport_.Route("/communicate.php", [](const HttpRequest&) {
    return FakeHttpTransport::Reply{307, "", "/new/communicate.php"};
  });
  transport_.Route("/new/communicate.php", testing::Answering("SubmitSoft", "4"));
  EXPECT_EQ(SubmitSoftwareOnline(transport_, options_, NameOnly("Editor")), 4);
  ASSERT_EQ(transport_.Requests().size(), 2u);
  const HttpRequest& request = transport_.Requests()[0].request;
  EXPECT_TRUE(request.followRedirects);
  EXPECT_EQ(request.readTimeoutMs, 30000u);
  EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(transport_.PostCount(), 1);
}

TEST_F(SubmissionTest, TheSecondLineMustConfirmSubmitSoft) {
  transport_.SetDefault(testing::Answering("Update", "1"));
  EXPECT_EQ(SubmitSoftwareOnline(transport_, options_, NameOnly("Editor")), -2);
}

TEST_F(SubmissionTest, TypedValuesAreTrimmedButTheListTextsKept) {
  SoftwareSubmission typed;
  typed.name = "  Editor\t";
  typed.version = " 1.0 ";
  typed.type = " Games ";
  typed.os = " VISTA ";
  typed.downloadLink = "\r\nhttp://x.example/a.exe ";
  typed.other = "\r\n first\r\nsecond \r\n";
  typed.email = " me@example.org ";
  const auto sent = TrimmedSubmission(typed);
  EXPECT_EQ(sent.name, "Editor");
  EXPECT_EQ(sent.version, "1.0");
  EXPECT_EQ(sent.type, " Games ");
  EXPECT_EQ(sent.os, " VISTA ");
  EXPECT_EQ(sent.downloadLink, "http://x.example/a.exe");
  EXPECT_EQ(sent.other, "first\r\nsecond");
  EXPECT_EQ(sent.email, "me@example.org");
}

TEST_F(SubmissionTest, ABlankNameIsRefusedAndNothingIsSent) {
  transport_.SetDefault(testing::Answering("SubmitSoft", "1"));
  for (const char* name : {"", "   ", "\t\r\n"}) {
    const auto outcome = SubmitSoftwareForm(transport_, options_, NameOnly(name));
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.message, "You do not enter the name of the software!");
    EXPECT_FALSE(outcome.clearTextFields);
  }
  EXPECT_EQ(transport_.PostCount(), 0);
}

TEST_F(SubmissionTest, AnEmptyEmailIsNotRefused) {
  transport_.SetDefault(testing::Answering("SubmitSoft", "1"));
  const auto outcome = SubmitSoftwareForm(transport_, options_, NameOnly("Editor"));
  EXPECT_TRUE(outcome.sent);
  EXPECT_EQ(outcome.result, 1);
}

TEST_F(SubmissionTest, TheFormSendsTrimmedValues) {
  transport_.SetDefault(testing::Answering("SubmitSoft", "1"));
  SoftwareSubmission typed = NameOnly("  Editor  ");
  typed.email = " a@b.example\r\n";
  (void)SubmitSoftwareForm(transport_, options_, typed);
  const auto lines = testing::RequestLinesOf(transport_.Requests()[0].request.body);
  EXPECT_EQ(lines[2], (FormLine{"SoftName", "Editor"}));
  EXPECT_EQ(lines[8], (FormLine{"Email", "a@b.example"}));
}

struct OutcomeCase {
  const char* name;
  FakeHttpTransport::Reply reply;  // an empty body means "answer signed with `result`"
  std::string result;
  int expected;
  std::string message;
  bool clears;
};

class SubmitSoftwareFormOutcome : public SubmissionTest,
                                  public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(SubmitSoftwareFormOutcome, ChoosesTheMessageAndWhetherToEmptyTheFields) {
  const auto& param = GetParam();
  if (param.reply.body.empty() && param.reply.failure == HttpFailure::kNone &&
      param.reply.status == 200) {
    transport_.SetDefault(testing::Answering("SubmitSoft", param.result));
  } else {
    transport_.ReplyAlways(param.reply);
  }
  const auto outcome = SubmitSoftwareForm(transport_, options_, NameOnly("Editor"));
  EXPECT_TRUE(outcome.sent);
  EXPECT_EQ(outcome.result, param.expected);
  EXPECT_EQ(outcome.message, param.message);
  EXPECT_EQ(outcome.clearTextFields, param.clears);
}

const std::string kFailed =
    "Sorry, submission failed. Try resetting the form and submitting again.";

INSTANTIATE_TEST_SUITE_P(
    Results, SubmitSoftwareFormOutcome,
    ::testing::Values(
        OutcomeCase{"Twelfth",
                    {200},
                    "12",
                    12,
                    "Your submission was successful. \rYou are the 12th to submit this software.",
                    true},
        OutcomeCase{"First",
                    {200},
                    "1",
                    1,
                    "Your submission was successful. \rYou are the 1th to submit this software.",
                    true},
        OutcomeCase{"SubmittedBefore",
                    {200},
                    "0",
                    0,
                    "You have submitted the same software before.",
                    false},
        OutcomeCase{"Maintenance",
                    {200},
                    "-7",
                    -7,
                    "We are sorry but your submission failed due to server maintenance.",
                    false},
        OutcomeCase{"ServiceAnswersMinusTwo",
                    {200},
                    "-2",
                    -2,
                    "We are sorry but your submission failed due to inexistent submission "
                    "request.",
                    false},
        OutcomeCase{"CommandNotConfirmed",
                    {200, "System=Vestrel\r\nCommand=Update\r\nx\r\nResult=3"},
                    "",
                    -2,
                    "We are sorry but your submission failed due to inexistent submission "
                    "request.",
                    false},
        OutcomeCase{"ServiceRefusedTheCode", {200}, "-3", -3, kFailed, true},
        OutcomeCase{"Unreachable", FakeHttpTransport::Reply::Failing(HttpFailure::kConnect), "",
                    -999, kFailed, true},
        OutcomeCase{"TimeOut", FakeHttpTransport::Reply::Failing(HttpFailure::kTimeout), "", -999,
                    kFailed, true},
        OutcomeCase{"HttpError", {503, "System=Vestrel"}, "", -999, kFailed, true},
        OutcomeCase{"WrongSystem", {200, "System=Other"}, "", -1, kFailed, true},
        OutcomeCase{"WrongCode",
                    {200, "System=Vestrel\r\nCommand=SubmitSoft\r\nx\r\nResult=3\r\nValCode=0"},
                    "",
                    -4,
                    kFailed,
                    true},
        OutcomeCase{"ThreeLines",
                    {200, "System=Vestrel\r\nCommand=SubmitSoft\r\nx"},
                    "",
                    -999,
                    kFailed,
                    true}),
    [](const auto& test) { return std::string(test.param.name); });

struct OsCase {
  std::uint32_t platformId;
  std::uint32_t major;
  std::uint32_t minor;
  int index;
};

class PreselectedOsIndex : public ::testing::TestWithParam<OsCase> {};

TEST_P(PreselectedOsIndex, FollowsTheVersionTable) {
  const auto& c = GetParam();
  EXPECT_EQ(online::PreselectedOsIndex(c.platformId, c.major, c.minor), c.index)
      << c.platformId << " " << c.major << "." << c.minor;
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PreselectedOsIndex,
    ::testing::Values(OsCase{1, 4, 0, 0}, OsCase{1, 4, 10, 1}, OsCase{1, 4, 90, 3},
                      OsCase{1, 4, 20, 6}, OsCase{1, 5, 0, 6}, OsCase{2, 3, 51, 2},
                      OsCase{2, 4, 0, 2}, OsCase{2, 5, 0, 4}, OsCase{2, 5, 1, 6},
                      OsCase{2, 5, 2, 8}, OsCase{2, 5, 3, 6}, OsCase{2, 6, 0, 9},
                      OsCase{2, 6, 1, 9}, OsCase{2, 6, 3, 9}, OsCase{2, 10, 0, 9},
                      OsCase{0, 3, 10, 6}, OsCase{3, 6, 0, 6}));

TEST(OsEntries, TheServerAndProfessionalEntriesAreNeverPreselected) {
  EXPECT_EQ(kOsEntries[5], "Windows 2000 Server");
  EXPECT_EQ(kOsEntries[7], "Windows XP Professional");
  for (std::uint32_t platform = 0; platform < 4; ++platform) {
    for (std::uint32_t major = 0; major < 12; ++major) {
      for (std::uint32_t minor = 0; minor < 100; ++minor) {
        const int index = online::PreselectedOsIndex(platform, major, minor);
        ASSERT_TRUE(index != 5 && index != 7) << platform << " " << major << "." << minor;
      }
    }
  }
  EXPECT_EQ(kOsEntries[kDefaultOsIndex], "Windows XP Home");
  EXPECT_EQ(kOsEntries[9], "VISTA");
}

TEST(SoftTypeEntries, AreTheTenTypesInTheDatabasesOrder) {
  EXPECT_EQ(kSoftTypeEntries.front(), "Networking Software");
  EXPECT_EQ(kSoftTypeEntries[4], "Application Software");
  EXPECT_EQ(kSoftTypeEntries.back(), "Other Tools");
}

TEST(SubmitHintText, IsFiveLinesSeparatedBySingleCarriageReturns) {
  const std::string hint = SubmitHintText();
  EXPECT_EQ(std::count(hint.begin(), hint.end(), '\r'), 4);
  EXPECT_EQ(hint.find('\n'), std::string::npos);
  EXPECT_TRUE(hint.starts_with("In case that Sorvane failed to uninstall"));
  EXPECT_NE(hint.find("Submit button. \rWe will"), std::string::npos);
  EXPECT_TRUE(hint.ends_with("for the software you submit. "));
}

}  // namespace
}  // namespace sv::online
