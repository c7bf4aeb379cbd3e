#include "common/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "common/paths.h"

namespace sv {
namespace {

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEndsOnly) {
  EXPECT_EQ(Trim("  \t\r\n Acme  Tools \x01\x1f "), "Acme  Tools");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(TrimLeftView("  a "), "a ");
  EXPECT_EQ(TrimRightView("  a "), "  a");
}

TEST(Trim, KeepsCharactersBeyondAscii) {
  // A no-break space in UTF-8 is not a blank for us, and its bytes are never cut apart.
  EXPECT_EQ(Trim("\xC2\xA0x\xC3\xA9"), "\xC2\xA0x\xC3\xA9");
}

TEST(CaseFolding, TouchesOnlyAsciiLetters) {
  EXPECT_EQ(UpperAscii("abc-xyz_\xC3\xA9"), "ABC-XYZ_\xC3\xA9");
  EXPECT_EQ(LowerAscii("ABC[Z]\xC3\x89"), "abc[z]\xC3\x89");
}

TEST(CompareTextAscii, FoldsLettersThenComparesBytesThenLength) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"acme", "ACME", 0},
      {"a", "B", -1},
      {"b", "A", 1},
      {"abc", "ab", 1},
      {"", "", 0},
      {"", "a", -1},
      {"_", "a", 1},  // '_' (5F) is above 'A' (41) after folding to upper case
      {"Z", "_", -1},
      {"\xC3\xA9", "\xC3\x89", 1},  // bytes beyond ASCII are not folded
      {"item10", "item9", -1},
  };
  for (const Case& c : cases) {
    const int result = CompareTextAscii(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
  }
  EXPECT_TRUE(SameTextAscii("Program Files", "PROGRAM files"));
  EXPECT_FALSE(SameTextAscii("Program Files", "Program Files "));
}

TEST(StartsWithTextAscii, IgnoresCaseAndNeedsTheWholePrefix) {
  EXPECT_TRUE(StartsWithTextAscii("Foo Pro 9", "foo"));
  EXPECT_TRUE(StartsWithTextAscii("Foo", "FOO"));
  EXPECT_TRUE(StartsWithTextAscii("Foo", ""));
  EXPECT_FALSE(StartsWithTextAscii("Fo", "Foo"));
  EXPECT_FALSE(StartsWithTextAscii("Bar Foo", "Foo"));
}

TEST(FindTextAscii, FindsTheFirstOccurrenceFromAPosition) {
  EXPECT_EQ(FindTextAscii("MsiExec.exe /X{ABC}", "msiexec.EXE"), 0u);
  EXPECT_EQ(FindTextAscii("a.exe b.EXE", ".exe", 2), 7u);
  EXPECT_EQ(FindTextAscii("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindTextAscii("abc", "", 1), 1u);
  EXPECT_EQ(FindTextAscii("abc", "a", 9), std::string_view::npos);
}

TEST(FoldedOrders, RegistryFoldsToLowerAndDirectoriesToUpper) {
  const std::set<std::string, LessFoldLower> registry = {"Zeta", "_under", "alpha", "Beta"};
  const std::set<std::string, LessFoldUpper> listing = {"Zeta", "_under", "alpha", "Beta"};
  EXPECT_EQ(std::vector<std::string>(registry.begin(), registry.end()),
            (std::vector<std::string>{"_under", "alpha", "Beta", "Zeta"}));
  EXPECT_EQ(std::vector<std::string>(listing.begin(), listing.end()),
            (std::vector<std::string>{"alpha", "Beta", "Zeta", "_under"}));
  // Names differing only in case are one name.
  EXPECT_TRUE(registry.contains("ZETA"));
  EXPECT_TRUE(listing.contains("beta"));
}

TEST(ReplaceAll, ReplacesEveryOccurrenceLeftToRightCaseSensitively) {
  EXPECT_EQ(ReplaceAll("{pf}{cf}\\{pf}", "{pf}", "\\Program Files"),
            "\\Program Files{cf}\\\\Program Files");
  EXPECT_EQ(ReplaceAll("{PF}", "{pf}", "x"), "{PF}");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  // The replacement is not searched again.
  EXPECT_EQ(ReplaceAll("{s}", "{s}", "{s}{s}"), "{s}{s}");
}

TEST(SplitSkippingEmpty, DropsEmptyPiecesAnywhere) {
  EXPECT_EQ(SplitSkippingEmpty("\\Software\\\\Acme\\", '\\'),
            (std::vector<std::string>{"Software", "Acme"}));
  EXPECT_EQ(SplitSkippingEmpty("a b", '\\'), std::vector<std::string>{"a b"});
  EXPECT_TRUE(SplitSkippingEmpty("\\\\", '\\').empty());
  EXPECT_TRUE(SplitSkippingEmpty("", '\\').empty());
}

TEST(SplitCommaList, KeepsPiecesUntrimmedAndDropsOnlyAnEmptyLastPiece) {
  struct Case {
    const char* list;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {"a,b,", {"a", "b"}}, {"a,b", {"a", "b"}},         {"a,,b", {"a", "", "b"}},
      {",a", {"", "a"}},    {" a , b ", {" a ", " b "}}, {"", {}},
      {",", {""}},          {"single", {"single"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplitCommaList(c.list), c.pieces) << '"' << c.list << '"';
}

TEST(IsFullyQualifiedPath, OnlyDrivePathsAndUncPathsStandOnTheirOwn) {
  const std::vector<std::pair<std::string_view, bool>> cases = {
      {"C:\\", true},
      {"c:\\Program Files", true},
      {"\\\\server\\share", true},
      {"C:", false},
      {"C:dir", false},
      {"\\dir", false},
      {"dir\\file", false},
      {"1:\\x", false},
      {"\\\\", false},
      {"", false},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(IsFullyQualifiedPath(path), expected) << path;
}

TEST(WithoutTrailingBackslashes, DropsEveryTrailingBackslashAndNothingElse) {
  const std::vector<std::pair<std::string_view, std::string_view>> cases = {
      {"C:\\Program Files\\\\", "C:\\Program Files"},
      {"C:\\a\\b", "C:\\a\\b"},
      {"C:\\", "C:"},
      {"\\\\", ""},
      {"", ""},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(WithoutTrailingBackslashes(path), expected) << path;
}

}  // namespace
}  // namespace sv
