// The service control manager as the removal uses it: open, ask, stop, delete.
#include <string>

#include "common/text.h"
#include "contract/contract_environment.h"

namespace sv::testing {
namespace {

using platform::WinError;

class ServicesContract : public PlatformContract {
 protected:
  std::unique_ptr<platform::ServiceManager> Manager() {
    WinError error = platform::kErrorInvalidHandle;
    auto manager = Services().OpenManager(&error);
    EXPECT_TRUE(manager);
    EXPECT_EQ(error, platform::kSuccess);
    return manager;
  }

  bool KeyExists(const std::string& name) {
    return Registry().OpenKey(platform::Hive::LocalMachine,
                              "SYSTEM\\CurrentControlSet\\Services\\" + name,
                              platform::KeyAccess::Read) != nullptr;
  }
};

TEST_F(ServicesContract, ServicesThatAreNotThereAreToldFromNamesThatAreNone) {
  using namespace std::string_literals;
  auto manager = Manager();
  ASSERT_TRUE(manager);
  const struct {
    std::string name;
    WinError error;
  } cases[] = {
      {env_->UniqueName() + "-missing", platform::kErrorServiceDoesNotExist},
      {"", platform::kErrorInvalidName},
      // Read up to the NUL, this would be another service's name.
      {env_->UniqueName() + "\0tail"s, platform::kErrorInvalidName},
  };
  for (const auto& c : cases) {
    WinError error = platform::kSuccess;
    EXPECT_FALSE(manager->Open(c.name, &error)) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST_F(ServicesContract, AnInstalledServiceOpensWhateverTheCaseAndReportsStopped) {
  const std::string name = env_->UniqueName();
  env_->InstallService(name);
  auto manager = Manager();
  ASSERT_TRUE(manager);
  for (const std::string& spelling : {name, UpperAscii(name), LowerAscii(name)}) {
    WinError error = platform::kErrorInvalidHandle;
    auto service = manager->Open(spelling, &error);
    ASSERT_TRUE(service) << spelling << ": " << error;
    EXPECT_EQ(error, platform::kSuccess);
    EXPECT_EQ(service->QueryState(&error), platform::kServiceStopped) << spelling;
    EXPECT_EQ(error, platform::kSuccess);
    // Stopping what does not run is refused, and changes nothing.
    EXPECT_EQ(service->Stop(), platform::kErrorServiceNotActive);
    EXPECT_EQ(service->QueryState(), platform::kServiceStopped);
  }
  EXPECT_TRUE(KeyExists(name));
}

TEST_F(ServicesContract, AnInstalledServiceReportsHowItWasCreated) {
  const std::string name = env_->UniqueName();
  env_->InstallService(name);
  auto manager = Manager();
  ASSERT_TRUE(manager);
  auto service = manager->Open(name);
  ASSERT_TRUE(service);
  WinError error = platform::kErrorInvalidHandle;
  const auto config = service->QueryConfig(&error);
  ASSERT_TRUE(config) << error;
  EXPECT_EQ(error, platform::kSuccess);
  EXPECT_EQ(config->serviceType, 0x10u);  // its own process
  EXPECT_EQ(config->startType, 3u);       // on demand
  EXPECT_EQ(config->errorControl, 1u);    // normal
  // The command line as stored, quoted or not.
  std::string program = config->binaryPath;
  if (program.starts_with('"')) program = program.substr(1, program.find('"', 1) - 1);
  EXPECT_TRUE(SameTextAscii(program, env_->ServiceProgram())) << config->binaryPath;
  EXPECT_EQ(config->displayName, name);
  EXPECT_EQ(config->account, "LocalSystem");
  EXPECT_EQ(config->dependencies, "");
}

// DeleteService only marks the service; it goes, with its key, when the last handle to it
// closes. Meanwhile it can still be opened and asked, but not deleted again.
TEST_F(ServicesContract, ADeletedServiceGoesWithItsKeyWhenTheLastHandleCloses) {
  const std::string name = env_->UniqueName();
  env_->InstallService(name);
  auto manager = Manager();
  ASSERT_TRUE(manager);
  auto first = manager->Open(name);
  auto second = manager->Open(name);
  ASSERT_TRUE(first && second);

  EXPECT_EQ(first->Delete(), platform::kSuccess);
  EXPECT_EQ(second->Delete(), platform::kErrorServiceMarkedForDelete);
  EXPECT_TRUE(KeyExists(name));
  first.reset();
  EXPECT_TRUE(KeyExists(name));
  {
    WinError error = platform::kErrorInvalidHandle;
    auto third = manager->Open(name, &error);
    ASSERT_TRUE(third) << error;
    EXPECT_EQ(third->QueryState(), platform::kServiceStopped);
  }
  EXPECT_EQ(second->QueryState(), platform::kServiceStopped);
  second.reset();

  EXPECT_FALSE(KeyExists(name));
  WinError error = platform::kSuccess;
  EXPECT_FALSE(manager->Open(name, &error));
  EXPECT_EQ(error, platform::kErrorServiceDoesNotExist);
}

}  // namespace
}  // namespace sv::testing
