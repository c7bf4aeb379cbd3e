#include "cli/cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace sv::cli {
namespace {

using Args = std::vector<std::string>;

TEST(CliArguments, SplitsPositionalsSwitchesAndValues) {
  const Args args{"first", "--json", "--db", "C:\\data", "--category=3", "--", "--second"};
  const Arguments parsed(args, {"json", "all"}, {"db", "category"});
  EXPECT_EQ(parsed.Positionals(), (Args{"first", "--second"}));
  EXPECT_TRUE(parsed.Has("json"));
  EXPECT_FALSE(parsed.Has("all"));
  EXPECT_EQ(parsed.Value("db"), "C:\\data");
  EXPECT_EQ(parsed.Number("category"), 3);
  EXPECT_EQ(parsed.Value("missing"), std::nullopt);
}

TEST(CliArguments, LastValueWins) {
  const Args args{"--db", "a", "--db", "b"};
  EXPECT_EQ(Arguments(args, {}, {"db"}).Value("db"), "b");
}

TEST(CliArguments, RefusesWhatTheCommandDoesNotKnow) {
  const std::vector<Args> bad{
      {"--unknown"},   // not an option of the command
      {"--db"},        // value missing at the end
      {"--json=yes"},  // a switch takes no value
  };
  for (const Args& args : bad) {
    EXPECT_THROW(Arguments(args, {"json"}, {"db"}), UsageError) << args.front();
  }
}

TEST(CliArguments, NumbersMustBeWholeNumbers) {
  for (const char* text : {"", "3x", "x", "1.5"}) {
    const Args args{"--category", text};
    const Arguments parsed(args, {}, {"category"});
    EXPECT_THROW((void)parsed.Number("category"), UsageError) << text;
  }
  const Args negative{"--category", "-4"};
  EXPECT_EQ(Arguments(negative, {}, {"category"}).Number("category"), -4);
}

TEST(CliArguments, ExpectPositionalsCountsExactly) {
  const Args two{"a", "b"};
  const Arguments parsed(two, {}, {});
  EXPECT_NO_THROW(parsed.ExpectPositionals(2));
  EXPECT_THROW(parsed.ExpectPositionals(1), UsageError);
  EXPECT_THROW(parsed.ExpectPositionals(3), UsageError);
}

struct CliRun : ::testing::Test {
  fake::FakeMachine machine{fake::FakeMachine::Layout::Empty};
  platform::Platform platform = machine.Get();
  std::ostringstream out;
  std::ostringstream err;
  Context context{platform, out, err};

  int RunWith(const Args& args) { return cli::Run(context, args); }
};

TEST_F(CliRun, NoCommandIsAUsageError) {
  EXPECT_EQ(RunWith({}), kExitUsage);
  EXPECT_NE(err.str().find("usage: sorvane-cli"), std::string::npos);
}

TEST_F(CliRun, HelpPrintsUsageAndSucceeds) {
  EXPECT_EQ(RunWith({"help"}), kExitOk);
  EXPECT_NE(out.str().find("commands:"), std::string::npos);
  EXPECT_TRUE(err.str().empty());
}

TEST_F(CliRun, UnknownCommandIsAUsageError) {
  EXPECT_EQ(RunWith({"frobnicate"}), kExitUsage);
  EXPECT_NE(err.str().find("unknown command 'frobnicate'"), std::string::npos);
}

}  // namespace
}  // namespace sv::cli
