// The contract's backend in unit-test binaries: a fresh fake machine per test.
#include "contract/contract_environment.h"
#include "platform/fake/fake_machine.h"
#include "platform/fake/version_resource.h"

namespace sv::testing {
namespace {

class FakeEnvironment final : public ContractEnvironment {
 public:
  FakeEnvironment() {
    machine_.files.PutFile(machine_.system.executablePath, "MZ");
    machine_.files.PutDirectory("C:\\users\\root\\Temp\\contract");
    machine_.registry.CreateKey(platform::Hive::CurrentUser, "Software\\SorvaneTests\\contract");
  }

  platform::Platform Platform() override { return machine_.Get(); }
  std::string Backend() const override { return "fake"; }
  std::string ScratchFolder() override { return "C:\\users\\root\\Temp\\contract"; }
  std::string ScratchKey() override { return "Software\\SorvaneTests\\contract"; }

  void PutVersionedFile(const std::string& path, VersionFixture fixture) override {
    fake::VersionResourceContent content;
    if (fixture == VersionFixture::WithTranslation) {
      content.fileVersion[0] = 1, content.fileVersion[1] = 7, content.fileVersion[2] = 5;
      content.fileVersion[3] = 199;
      content.stringTables = {
          {"040904B0", {{"CompanyName", "Sorvane"}, {"FileVersion", "1.7.5.199"}}}};
      content.translations = std::vector<std::uint32_t>{0x04B00409};
    } else {
      content.fileVersion[0] = 2, content.fileVersion[3] = 1;
      content.stringTables = {{"040904B0", {{"FileVersion", "2.0.0.1"}}}};
    }
    machine_.files.PutFile(path, "MZ");
    machine_.files.PutVersionResource(path, fake::BuildVersionResource(content));
  }

  void PutIconFile(const std::string& path) override {
    machine_.files.PutFile(path, "MZ");
    machine_.files.PutIcons(path, 2);
  }

  std::string UniqueName() override { return "SvContract"; }

  void InstallService(const std::string& name) override {
    machine_.services.Create(name, platform::kServiceStopped, ServiceProgram());
  }

  std::string ServiceProgram() override { return machine_.system.executablePath; }

  StartedProcess StartWaitingProcess() override {
    const std::string exeFile = "sv-demo-app.exe";
    return {machine_.processes.Start(exeFile), exeFile};
  }

  bool WaitForExit(std::uint32_t processId) override {
    return !machine_.processes.IsRunning(processId);
  }

  // The fake has no 8.3 names.
  std::optional<std::string> ShortPath(const std::string&) override { return std::nullopt; }

  // The Windows backend runs under Wine, where a link is a Unix symbolic link: the fake is
  // compared with that.
  bool MakeLink(const std::string& link, const std::string& target, bool directory) override {
    machine_.files.SetLinkBehaviour(fake::FakeFileSystem::LinkBehaviour::Wine);
    // Like ln, refuse a name that is taken.
    if (machine_.files.GetAttributes(link) != platform::kInvalidAttributes) return false;
    machine_.files.PutSymbolicLink(link, target, directory);
    return true;
  }

 private:
  fake::FakeMachine machine_{fake::FakeMachine::Layout::Standard};
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() {
  return std::make_unique<FakeEnvironment>();
}

}  // namespace sv::testing
