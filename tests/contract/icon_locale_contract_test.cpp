// The platform additions of the registry inventory: icons from files, the user's month names
// and the width of the build, the same on the fake machine and under Wine.
#include <set>
#include <string>

#include "contract/contract_environment.h"

namespace sv::testing {
namespace {

class IconContract : public PlatformContract {
 protected:
  std::string Path(const std::string& name) { return env_->ScratchFolder() + "\\" + name; }
};

TEST_F(IconContract, ExtractsTheLargeAndTheSmallIconByNumberOrResourceId) {
  const std::string file = Path("icons.exe");
  env_->PutIconFile(file);
  for (int index : {0, 1, -2}) {
    const platform::ExtractedIcons icons = Files().ExtractIcons(file, index);
    EXPECT_TRUE(icons.large) << index;
    EXPECT_TRUE(icons.small) << index;
  }
  // -1 asks for the number of icons: nothing is extracted.
  for (int index : {2, 50, -1, -3}) {
    const platform::ExtractedIcons icons = Files().ExtractIcons(file, index);
    EXPECT_FALSE(icons.large) << index;
    EXPECT_FALSE(icons.small) << index;
  }
}

TEST_F(IconContract, FilesWithoutIconsGiveNone) {
  const std::string text = Path("plain.txt");
  ASSERT_EQ(platform::WriteWholeFile(Files(), text, "no icons here"), platform::kSuccess);
  for (const std::string& path : {text, Path("missing.exe"), env_->ScratchFolder()}) {
    const platform::ExtractedIcons icons = Files().ExtractIcons(path, 0);
    EXPECT_FALSE(icons.large) << path;
    EXPECT_FALSE(icons.small) << path;
  }
}

TEST_F(PlatformContract, ShortMonthNamesForTwelveMonthsOnly) {
  std::set<std::string> names;
  for (int month = 1; month <= 12; ++month) {
    const std::string name = System().ShortMonthName(month);
    EXPECT_FALSE(name.empty()) << month;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 12u);
  for (int month : {0, 13, -1})
    EXPECT_EQ(System().ShortMonthName(month), "") << month;
}

TEST_F(PlatformContract, KnowsTheWidthOfTheBuild) {
  EXPECT_EQ(System().Is64BitBuild(), sizeof(void*) == 8);
}

}  // namespace
}  // namespace sv::testing
