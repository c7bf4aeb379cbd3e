#include "common/codepage.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

TEST(Cp1252, EveryByteRoundTrips) {
  std::string every;
  for (int b = 0; b < 256; ++b)
    every += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(every);
  bool lossless = false;
  EXPECT_EQ(Utf8ToCp1252(utf8, &lossless), every);
  EXPECT_TRUE(lossless);
}

TEST(Cp1252, HighControlRangeMapsToTypographicCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");          // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\x99"), "\xE2\x84\xA2");          // trade mark
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D"), "\xC2\x81\xC2\x8D");  // undefined: same-numbered controls
  EXPECT_EQ(Cp1252ToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  struct Case {
    const char* utf8;
    const char* bytes;
  };
  const Case cases[] = {
      {"A\xC4\x80Z", "A?Z"},  // Latin A with macron: no look-alike substitution
      {"\xE6\x97\xA5\xE6\x9C\xAC", "??"},
      {"\xF0\x9F\x98\x80", "?"},  // one four-byte character, one mark
      {"a\xFF"
       "b",
       "a?b"},                  // not UTF-8 at all
      {"\xC3", "?"},            // cut short
      {"\xE0\x80\xAF", "???"},  // overlong form
      {"\xEF\xBF\xBD", "?"},    // the replacement character itself
  };
  for (const Case& c : cases) {
    bool lossless = true;
    EXPECT_EQ(Utf8ToCp1252(c.utf8, &lossless), c.bytes) << c.utf8;
    EXPECT_FALSE(lossless) << c.utf8;
  }
}

TEST(Utf16, SurrogatePairsJoinAndLoneHalvesAreReplaced) {
  EXPECT_EQ(Utf16ToUtf8(u"A\u00E9\u65E5"), "A\xC3\xA9\xE6\x97\xA5");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, u'x'}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(Utf8ToUtf16("a\xFF"), (std::u16string{u'a', 0xFFFD}));
}

}  // namespace
}  // namespace sv
