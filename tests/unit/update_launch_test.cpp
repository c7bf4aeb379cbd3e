#include "app/update_launch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error.h"
#include "platform/fake/fake_http.h"
#include "platform/fake/fake_machine.h"
#include "unit/online_test_support.h"

namespace sv::app {
namespace {

using fake::FakeHttpTransport;
using platform::HttpFailure;

constexpr char kFolder[] = "C:\\Program Files\\Sorvane";
constexpr char kSettings[] = "C:\\Program Files\\Sorvane\\Settings.ini";
constexpr char kUpdater[] = "C:\\Program Files\\Sorvane\\Update.exe";
constexpr char kSettingsWithMirror[] =
    "[Settings]\r\nAuto Update=1\r\n[Update Information]\r\nLast Time=2001-01-01 00:00:00\r\n"
    "Service URL=http://127.0.0.1:8080/mirror/\r\n";

class AutomaticCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(machine.files.MakeDir(kFolder), platform::kSuccess);
    ASSERT_EQ(platform::WriteWholeFile(machine.files, machine.system.executablePath, "MZ"),
              platform::kSuccess);
  }
  void Put(const char* path, std::string_view text) {
    ASSERT_EQ(platform::WriteWholeFile(machine.files, path, text), platform::kSuccess);
  }
  std::string Settings() {
    return platform::ReadWholeFile(machine.files, kSettings).value_or("<missing>");
  }
  int Run() {
    return RunUpdateCheck(platform, transport, kSettings, machine.system.executablePath,
                          [this](const std::string& path) { opened.push_back(path); });
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
  FakeHttpTransport transport;
  std::vector<std::string> opened;
};

TEST_F(AutomaticCheck, AnUpdateStartsTheUpdaterOnceAndRecordsTheTime) {
  Put(kSettings, kSettingsWithMirror);
  Put(kUpdater, "MZ");
  machine.clock.SetLocalOffsetMinutes(60);  // 12:00 UTC is 13:00 here
  transport.Route("/mirror/communicate.php", online::testing::Answering("Update", "3"));
  EXPECT_EQ(Run(), 3);
  ASSERT_EQ(transport.PostCount(), 1);
  EXPECT_EQ(transport.Requests()[0].request.host, "127.0.0.1");
  EXPECT_FALSE(transport.Requests()[0].request.followRedirects);
  EXPECT_EQ(opened, std::vector<std::string>{kUpdater});
  EXPECT_NE(Settings().find("Last Time=2024-03-15 13:00:00\r\n"), std::string::npos) << Settings();
  EXPECT_NE(Settings().find("Service URL=http://127.0.0.1:8080/mirror/"), std::string::npos);
}

TEST_F(AutomaticCheck, AnUpdateWithoutAnySettingsFileWritesTheDefaultsFirst) {
  Put(kUpdater, "MZ");
  transport.ReplyAlways({200, ""});
  transport.Route("/communicate.php", online::testing::Answering("Update", "1"));
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(transport.Requests().at(0).request.host, "www.sorvane.com");
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(Settings().rfind("[Settings]\r\nView Style=2\r\n", 0), 0u) << Settings();
  EXPECT_NE(Settings().find("Last Time=2024-03-15 12:00:00\r\n"), std::string::npos);
}

FakeHttpTransport::Handler Fixed(FakeHttpTransport::Reply reply) {
  return [reply](const platform::HttpRequest&) { return reply; };
}

TEST_F(AutomaticCheck, ASettingsFileThatCannotBeWrittenStillLetsTheUpdaterStart) {
  Put(kSettings, kSettingsWithMirror);
  Put(kUpdater, "MZ");
  transport.SetDefault(online::testing::Answering("Update", "2"));
  machine.faults.Inject(fake::Op::OpenFile, kSettings, platform::kErrorAccessDenied);
  EXPECT_THROW(static_cast<void>(Run()), Error);
  EXPECT_EQ(opened, std::vector<std::string>{kUpdater});
}

struct QuietCase {
  const char* name;
  FakeHttpTransport::Handler service;
  int result;
  bool updaterPresent;
};

class QuietCheck : public AutomaticCheck, public ::testing::WithParamInterface<QuietCase> {};

// Anything but a positive result with the updater present starts nothing and writes nothing.
TEST_P(QuietCheck, StartsNothingAndLeavesTheSettingsAsTheyWere) {
  Put(kSettings, kSettingsWithMirror);
  if (GetParam().updaterPresent) Put(kUpdater, "MZ");
  transport.SetDefault(GetParam().service);
  EXPECT_EQ(Run(), GetParam().result);
  EXPECT_EQ(transport.PostCount(), 1);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(Settings(), kSettingsWithMirror);
}

INSTANTIATE_TEST_SUITE_P(
    Results, QuietCheck,
    ::testing::Values(
        QuietCase{"Current", online::testing::Answering("Update", "0"), 0, true},
        QuietCase{"NewerButNoUpdater", online::testing::Answering("Update", "5"), 5, false},
        QuietCase{"NotANumber", Fixed({200, "System=Vestrel\r\nCommand=Update\r\nM\r\nResult=x"}),
                  0, true},
        QuietCase{"OtherSystem", Fixed({200, "System=Other\r\nCommand=Update\r\nM\r\nResult=3"}),
                  -1, true},
        QuietCase{
            "WrongCode",
            Fixed({200, "System=Vestrel\r\nCommand=Update\r\nM\r\nResult=3\r\nValCode=zzzzz"}), -4,
            true},
        QuietCase{"Redirected", Fixed({307, "", "/elsewhere.php"}), -999, true},
        QuietCase{"NoConnection", Fixed(FakeHttpTransport::Reply::Failing(HttpFailure::kConnect)),
                  -999, true},
        QuietCase{"TimeOut", Fixed(FakeHttpTransport::Reply::Failing(HttpFailure::kTimeout)), -999,
                  true}),
    [](const ::testing::TestParamInfo<QuietCase>& param) { return std::string(param.param.name); });

TEST_F(AutomaticCheck, AServiceUrlThatCannotBeReadSendsNothingAnywhere) {
  const std::string broken = "[Update Information]\r\nService URL=ftp://mirror.example/\r\n";
  Put(kSettings, broken);
  Put(kUpdater, "MZ");
  transport.ReplyAlways({200, ""});
  EXPECT_LT(Run(), 0);
  EXPECT_EQ(transport.PostCount(), 0);
  EXPECT_TRUE(opened.empty());
  EXPECT_EQ(Settings(), broken);
}

}  // namespace
}  // namespace sv::app
