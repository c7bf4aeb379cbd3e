// The data module's icon lists on real common-control image lists.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <string>

#include "app/image_list_icons.h"
#include "platform/win32/win32_platform.h"
#include "registry/opUninstallRegistry.h"

namespace sv::app {
namespace {

std::string FixtureWithTwoIcons(platform::System& system) {
  const std::string self = system.ExecutablePath();
  return self.substr(0, self.rfind('\\')) + "\\sv_fixture_icons.exe";
}

TEST(ImageListIcons, ProgramIconsGoIntoBothListsInStep) {
  win32::Win32Platform machine;
  platform::Platform platform = machine.Get();
  ImageListIcons small(16), big(32);
  ASSERT_TRUE(small.Get());
  ASSERT_TRUE(big.Get());
  registry::TURegistryOp op(platform);
  const std::string file = FixtureWithTwoIcons(platform.system);

  EXPECT_EQ(op.AddIconFromFile(small, big, 0, file), 0);
  EXPECT_EQ(op.AddIconFromFile(small, big, 1, file), 1);
  // An icon the file does not have adds nothing to either list.
  EXPECT_EQ(op.AddIconFromFile(small, big, 7, file), -1);
  EXPECT_EQ(small.Count(), 2);
  EXPECT_EQ(big.Count(), 2);
  int width = 0, height = 0;
  ASSERT_TRUE(ImageList_GetIconSize(big.Get(), &width, &height));
  EXPECT_EQ(width, 32);
  ASSERT_TRUE(ImageList_GetIconSize(small.Get(), &width, &height));
  EXPECT_EQ(width, 16);

  big.RemoveLastIcon();
  EXPECT_EQ(big.Count(), 1);
  big.RemoveLastIcon();
  big.RemoveLastIcon();
  EXPECT_EQ(big.Count(), 0);
}

}  // namespace
}  // namespace sv::app
