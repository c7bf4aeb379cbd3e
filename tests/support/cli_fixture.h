// A fake machine with the console front end's context, for the command tests.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/fake/fake_machine.h"
#include "support/db_writer.h"

namespace sv::testing {

// SV.dat and soft.dat in `folder` (ending in a backslash), made by the independent writer.
inline void PutDatabase(fake::FakeFileSystem& files, const std::string& folder,
                        const std::vector<DbEntry>& entries, const std::vector<DbSoft>& softs) {
  files.PutFile(folder + "SV.dat", WriteDataFile(1234567890, entries));
  files.PutFile(folder + "soft.dat", WriteSoftFile(1215432000, softs));
}

struct CliFixture : ::testing::Test {
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
  std::ostringstream out;
  std::ostringstream err;
  cli::Context context{platform, out, err};

  // Runs a whole command line (without the program name) with fresh output streams.
  int RunCli(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return cli::Run(context, args);
  }
};

}  // namespace sv::testing
