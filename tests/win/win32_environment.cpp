// The contract's backend under Wine: the real registry and file system of the test prefix,
// with a scratch key and folder of this test's own that are removed afterwards.
#include <windows.h>

#include "contract/contract_environment.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "support/trees.h"
#include "win/temp_folder.h"

namespace sv::testing {
namespace {

std::string Folder(const std::string& path) {
  return path.substr(0, path.rfind('\\'));
}

class Win32Environment final : public ContractEnvironment {
 public:
  Win32Environment()
      : stamp_(UniqueStamp()),
        folder_(TempFolder() + "\\sv-contract-" + stamp_),
        key_("Software\\SorvaneTests\\" + stamp_) {
    auto platform = machine_.Get();
    if (platform.files.MakeDir(folder_) != platform::kSuccess ||
        !platform.registry.CreateKey(platform::Hive::CurrentUser, key_)) {
      ADD_FAILURE() << "cannot make the scratch folder " << folder_ << " or key " << key_;
    }
  }

  ~Win32Environment() override {
    auto platform = machine_.Get();
    RemoveFileTree(platform.files, folder_);
    RemoveKeyTree(platform.registry, platform::Hive::CurrentUser, key_);
    (void)platform.registry.DeleteKey(platform::Hive::CurrentUser, "Software\\SorvaneTests");
  }

  platform::Platform Platform() override { return machine_.Get(); }
  std::string Backend() const override { return "win32"; }
  std::string ScratchFolder() override { return folder_; }
  std::string ScratchKey() override { return key_; }

  // The fixture programs are built beside the test binary with their version resources.
  void PutVersionedFile(const std::string& path, VersionFixture fixture) override {
    auto platform = machine_.Get();
    const std::string source =
        Folder(platform.system.ExecutablePath()) + "\\" +
        (fixture == VersionFixture::WithTranslation ? "sv_fixture_versioned.exe"
                                                    : "sv_fixture_no_translation.exe");
    const auto bytes = platform::ReadWholeFile(platform.files, source);
    ASSERT_TRUE(bytes) << "missing fixture " << source;
    ASSERT_EQ(platform::WriteWholeFile(platform.files, path, *bytes), platform::kSuccess);
  }

  void PutIconFile(const std::string& path) override {
    auto platform = machine_.Get();
    const std::string source = Folder(platform.system.ExecutablePath()) + "\\sv_fixture_icons.exe";
    const auto bytes = platform::ReadWholeFile(platform.files, source);
    ASSERT_TRUE(bytes) << "missing fixture " << source;
    ASSERT_EQ(platform::WriteWholeFile(platform.files, path, *bytes), platform::kSuccess);
  }

 private:
  win32::Win32Platform machine_;
  std::string stamp_;
  std::string folder_;
  std::string key_;
};

}  // namespace

std::unique_ptr<ContractEnvironment> MakeContractEnvironment() {
  return std::make_unique<Win32Environment>();
}

}  // namespace sv::testing
