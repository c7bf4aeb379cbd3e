// The update check and the submission end to end: WinINet against the reference service on
// loopback, which knows the versions in tests/win/online_versions.json.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "online/submission.h"
#include "online/update_check.h"
#include "platform/win32/win32_http.h"
#include "win/online_service_env.h"

namespace sv::online {
namespace {

using testing::ServiceAt;

// The newest versions the service was started with.
constexpr const char* kProgramVer = "1700000000";
constexpr const char* kDataVer = "1700000100";
constexpr const char* kSoftDataVer = "1700000200";

ExchangeOptions At(const std::string& path, std::uint32_t timeoutMs = kReadTimeoutMs) {
  ExchangeOptions options;
  options.service = ServiceAt(path);
  options.readTimeoutMs = timeoutMs;
  return options;
}

ExchangeOptions Scenario(const std::string& name, std::uint32_t timeoutMs = kReadTimeoutMs) {
  return At("/scenario/" + name + "/communicate.php", timeoutMs);
}

// Names no other test (or earlier run against the same service) has submitted.
std::string Unique(const std::string& name) {
  static int counter = 0;
  return name + " " + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
         "-" + std::to_string(++counter);
}

SoftwareSubmission Form(const std::string& name, const std::string& email) {
  SoftwareSubmission form;
  form.name = name;
  form.version = "1.0";
  form.type = std::string(kSoftTypeEntries[1]);
  form.os = std::string(kOsEntries[9]);
  form.email = email;
  return form;
}

struct UpdateCase {
  const char* name;
  const char* programVer;
  const char* dataVer;
  const char* softDataVer;
  int result;
};

class CheckUpdateAgainstTheService : public ::testing::TestWithParam<UpdateCase> {};

TEST_P(CheckUpdateAgainstTheService, ComparesTheVersionsItIsSent) {
  const auto& c = GetParam();
  win32::Win32HttpTransport transport;
  EXPECT_EQ(
      CheckUpdateOnline(transport, At("/communicate.php"), c.programVer, c.dataVer, c.softDataVer),
      c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, CheckUpdateAgainstTheService,
    ::testing::Values(UpdateCase{"Current", kProgramVer, kDataVer, kSoftDataVer, 0},
                      UpdateCase{"NewerThanKnown", "1800000000", "1800000000", "1800000000", 0},
                      UpdateCase{"OlderProgram", "1699999999", kDataVer, kSoftDataVer, 1},
                      UpdateCase{"OlderDatabase", kProgramVer, "1", kSoftDataVer, 2},
                      UpdateCase{"OlderSoftwareList", kProgramVer, kDataVer, "1", 4},
                      UpdateCase{"AllOlder", "1", "1", "1", 7}),
    [](const auto& test) { return std::string(test.param.name); });

struct ScenarioCase {
  const char* scenario;
  int update;  // result of an update check that would otherwise get 7
  int submit;  // result of a first submission (which would otherwise get 1)
};

class ExchangeScenario : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(ExchangeScenario, EndsWithTheReplyTablesResult) {
  const auto& c = GetParam();
  win32::Win32HttpTransport transport;
  EXPECT_EQ(CheckUpdateOnline(transport, Scenario(c.scenario), "1", "1", "1"), c.update);
  EXPECT_EQ(SubmitSoftwareOnline(transport, Scenario(c.scenario), Form(Unique("Tool"), "")),
            c.submit);
}

INSTANTIATE_TEST_SUITE_P(
    ReplyTable, ExchangeScenario,
    ::testing::Values(ScenarioCase{"maintenance", -7, -7}, ScenarioCase{"wrong-system", -1, -1},
                      ScenarioCase{"wrong-command", -2, -2}, ScenarioCase{"refuse-command", -2, -2},
                      ScenarioCase{"no-result", -999, -999}, ScenarioCase{"not-a-number", 0, 0},
                      ScenarioCase{"wrong-code", -4, -4}, ScenarioCase{"wrong-code-key", -4, -4},
                      ScenarioCase{"three-lines", -999, -999}, ScenarioCase{"four-lines", 7, 1},
                      ScenarioCase{"extra-lines", 7, 1}, ScenarioCase{"lf-only", 7, 1},
                      ScenarioCase{"empty", -999, -999}, ScenarioCase{"http-error", -999, -999},
                      ScenarioCase{"huge", -999, -999},
                      // Followed by the submission, never by the update check.
                      ScenarioCase{"redirect", -999, 1},
                      // Followed with a GET, which the service refuses.
                      ScenarioCase{"redirect-302", -999, -999},
                      // The service answers after two seconds, well within the time-out.
                      ScenarioCase{"delay", 7, 1}),
    [](const auto& test) {
      std::string name = test.param.scenario;
      std::erase(name, '-');
      return name;
    });

TEST(CheckUpdateOnlineUnderWine, AServiceThatNeverAnswersEndsWithTheFailureResult) {
  win32::Win32HttpTransport transport;
  EXPECT_EQ(CheckUpdateOnline(transport, Scenario("never", 1500), "1", "1", "1"), -999);
  EXPECT_EQ(SubmitSoftwareOnline(transport, Scenario("never", 1500), Form(Unique("Tool"), "")),
            -999);
}

TEST(CheckUpdateOnlineUnderWine, AnUnreachableServiceEndsWithTheFailureResult) {
  win32::Win32HttpTransport transport;
  ExchangeOptions options = At("/communicate.php");
  options.service->port = testing::ClosedPort();
  EXPECT_EQ(CheckUpdateOnline(transport, options, "1", "1", "1"), -999);
  const auto outcome = SubmitSoftwareForm(transport, options, Form("Editor", ""));
  EXPECT_EQ(outcome.result, -999);
  EXPECT_EQ(outcome.message, kMessageFailed);
  EXPECT_TRUE(outcome.clearTextFields);
}

TEST(SubmitSoftwareOnlineUnderWine, CountsDistinctSubmittersAndAnswersZeroForARepeat) {
  win32::Win32HttpTransport transport;
  const auto options = At("/communicate.php");
  const std::string name = Unique("Editor");
  EXPECT_EQ(SubmitSoftwareOnline(transport, options, Form(name, "a@example.org")), 1);
  EXPECT_EQ(SubmitSoftwareOnline(transport, options, Form(name, "b@example.org")), 2);
  EXPECT_EQ(SubmitSoftwareOnline(transport, options, Form(name, "a@example.org")), 0);
  EXPECT_EQ(SubmitSoftwareOnline(transport, Scenario("redirect"), Form(name, "c@example.org")), 3);
}

TEST(SubmitSoftwareOnlineUnderWine, ValuesWithAmpersandsLineBreaksAndUnicodeArriveIntact) {
  // The service recomputes the request code from what arrived; a changed byte would be
  // refused (-3). "À" ends in the byte 0x80, which goes out unescaped.
  win32::Win32HttpTransport transport;
  SoftwareSubmission form = Form(Unique("Tom & Jerry \xC3\x80 \xE2\x82\xAC \xE6\x97\xA5"), "");
  form.other = "first line\r\nsecond = line & more 100% <b>[x]</b> #1 *";
  form.downloadLink = "http://x.example/get?a=1&b=2";
  EXPECT_EQ(SubmitSoftwareOnline(transport, At("/communicate.php"), form), 1);
}

struct FormCase {
  const char* scenario;
  std::string message;
  bool clears;
};

class SubmitSoftwareFormUnderWine : public ::testing::TestWithParam<FormCase> {};

TEST_P(SubmitSoftwareFormUnderWine, ShowsTheMessageOfTheResult) {
  const auto& c = GetParam();
  win32::Win32HttpTransport transport;
  const std::string path = std::string(c.scenario).empty()
                               ? std::string("/communicate.php")
                               : "/scenario/" + std::string(c.scenario) + "/communicate.php";
  const auto outcome = SubmitSoftwareForm(transport, At(path), Form("  " + Unique("Viewer"), ""));
  EXPECT_TRUE(outcome.sent);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.clearTextFields, c.clears);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SubmitSoftwareFormUnderWine,
    ::testing::Values(
        FormCase{"", "Your submission was successful. \rYou are the 1th to submit this software.",
                 true},
        FormCase{"maintenance", std::string(kMessageMaintenance), false},
        FormCase{"refuse-command", std::string(kMessageInexistentRequest), false},
        FormCase{"wrong-command", std::string(kMessageInexistentRequest), false},
        FormCase{"wrong-code", std::string(kMessageFailed), true},
        FormCase{"http-error", std::string(kMessageFailed), true}));

TEST(SubmitSoftwareFormUnderWine, ARepeatSaysSubmittedBeforeAndKeepsTheFields) {
  win32::Win32HttpTransport transport;
  const auto options = At("/communicate.php");
  const auto form = Form(Unique("Player"), "same@example.org");
  ASSERT_EQ(SubmitSoftwareForm(transport, options, form).result, 1);
  const auto outcome = SubmitSoftwareForm(transport, options, form);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.message, kMessageSubmittedBefore);
  EXPECT_FALSE(outcome.clearTextFields);
}

}  // namespace
}  // namespace sv::online
