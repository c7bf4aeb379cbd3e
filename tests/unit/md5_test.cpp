#include "common/md5.h"

#include <gtest/gtest.h>

namespace sv {
namespace {

struct Md5Case {
  const char* name;
  std::string text;
  const char* digest;
};

class Md5Hex : public ::testing::TestWithParam<Md5Case> {};

TEST_P(Md5Hex, GivesTheDigestOfExactlyTheTextsBytes) {
  EXPECT_EQ(sv::Md5Hex(GetParam().text), GetParam().digest);
}

// The test suite of RFC 1321, then letter case, an embedded NUL, all byte values and a long
// text that takes several blocks.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321AndMore, Md5Hex,
    ::testing::Values(
        Md5Case{"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
        Md5Case{"A", "a", "0cc175b9c0f1b6a831c399e269772661"},
        Md5Case{"Abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        Md5Case{"MessageDigest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        Md5Case{"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        Md5Case{"AlphaNumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                "d174ab98d277d9f5a5611c2c9f419d9f"},
        Md5Case{"Digits",
                "1234567890123456789012345678901234567890123456789012345678901234567890123456"
                "7890",
                "57edf4a22be3c955ac49da2e2107b67a"},
        Md5Case{"UpperAbc", "ABC", "902fbdd2b1df0c4f70b4a5d23525e932"},
        Md5Case{"EmbeddedNul", std::string("abc\0def", 7), "a5e4d5963ae44c1f4bfb37b1a3d55a3c"},
        Md5Case{"EveryByte",
                [] {
                  std::string all;
                  for (int b = 0; b < 256; ++b)
                    all += static_cast<char>(b);
                  return all;
                }(),
                "e2c865db4162bed963bfaa9ef6ac18f0"},
        Md5Case{"MillionAs", std::string(1000000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"}));

TEST(HexDigits, WritesTheHighDigitFirstInLowerCase) {
  const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xff};
  EXPECT_EQ(HexDigits(bytes, 4), "000fa5ff");
  EXPECT_EQ(HexDigits(bytes, 0), "");
}

}  // namespace
}  // namespace sv
