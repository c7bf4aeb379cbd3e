#include "online/service_url.h"

#include <gtest/gtest.h>

namespace sv::online {
namespace {

struct UrlCase {
  const char* name;
  std::string text;
  std::string host;
  int port;
  std::string path;
};

class ParseServiceUrl : public ::testing::TestWithParam<UrlCase> {};

TEST_P(ParseServiceUrl, ReadsHostPortAndPath) {
  const auto url = online::ParseServiceUrl(GetParam().text);
  ASSERT_TRUE(url) << GetParam().text;
  EXPECT_EQ(url->host, GetParam().host);
  EXPECT_EQ(url->port, GetParam().port);
  EXPECT_EQ(url->path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, ParseServiceUrl,
    ::testing::Values(
        UrlCase{"HostOnly", "http://example.org", "example.org", 80, "/communicate.php"},
        UrlCase{"HostAndPort", "http://127.0.0.1:8080", "127.0.0.1", 8080, "/communicate.php"},
        UrlCase{"RootPath", "http://127.0.0.1:8080/", "127.0.0.1", 8080, "/communicate.php"},
        UrlCase{"FolderGetsTheFormName", "http://mirror.example/sorvane/", "mirror.example", 80,
                "/sorvane/communicate.php"},
        UrlCase{"FullPathKept", "http://m.example/x/communicate.php", "m.example", 80,
                "/x/communicate.php"},
        UrlCase{"OtherFormNameKept", "http://m.example/form.php", "m.example", 80, "/form.php"},
        UrlCase{"QueryAfterFolder", "http://m.example/?site=2", "m.example", 80,
                "/communicate.php?site=2"},
        UrlCase{"QueryWithoutPath", "http://m.example?site=2", "m.example", 80,
                "/communicate.php?site=2"},
        UrlCase{"NoScheme", "127.0.0.1:9000", "127.0.0.1", 9000, "/communicate.php"},
        UrlCase{"SchemeAndHostFoldCase", "HTTP://Mirror.Example.ORG", "mirror.example.org", 80,
                "/communicate.php"},
        UrlCase{"Ipv6", "http://[::1]:8080/", "::1", 8080, "/communicate.php"},
        UrlCase{"HighestPort", "http://h:65535", "h", 65535, "/communicate.php"}),
    [](const auto& test) { return std::string(test.param.name); });

class RefusedServiceUrl : public ::testing::TestWithParam<std::string> {};

TEST_P(RefusedServiceUrl, IsNotAnAddress) {
  EXPECT_FALSE(online::ParseServiceUrl(GetParam())) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Refused, RefusedServiceUrl,
                         ::testing::Values("", "https://example.org", "ftp://example.org",
                                           "http://", "http://:80", "http://h:0", "http://h:65536",
                                           "http://h:", "http://h:8x", "http://user@h/",
                                           "http://h/a b", "http://h/#frag", "http://h\t",
                                           "http://[::1", "http://[]:80", "http://[::g]/",
                                           "http://h$t/", "http://h\xC3\xA9/"));

TEST(ServiceUrlFromSetting, EmptyOrBlankMeansTheVendor) {
  EXPECT_EQ(*ServiceUrlFromSetting(""), VendorServiceUrl());
  EXPECT_EQ(*ServiceUrlFromSetting("  \t"), VendorServiceUrl());
  EXPECT_EQ(VendorServiceUrl().host, kVendorHost);
  EXPECT_EQ(VendorServiceUrl().port, 80);
  EXPECT_EQ(VendorServiceUrl().path, "/communicate.php");
}

TEST(ServiceUrlFromSetting, AnOverrideReplacesTheVendorAndBlanksAroundItDoNotMatter) {
  const auto url = ServiceUrlFromSetting("  http://127.0.0.1:8123  ");
  ASSERT_TRUE(url);
  EXPECT_EQ(*url, (ServiceUrl{"127.0.0.1", 8123, "/communicate.php"}));
}

TEST(ServiceUrlFromSetting, ABrokenOverrideIsNoAddressRatherThanTheVendor) {
  EXPECT_FALSE(ServiceUrlFromSetting("https://mirror.example/"));
}

TEST(FormatServiceUrl, WritesTheAddressBack) {
  EXPECT_EQ(FormatServiceUrl(VendorServiceUrl()), "http://www.sorvane.com/communicate.php");
  EXPECT_EQ(FormatServiceUrl({"::1", 8080, "/communicate.php"}),
            "http://[::1]:8080/communicate.php");
  EXPECT_EQ(*online::ParseServiceUrl(FormatServiceUrl({"h", 81, "/a/communicate.php"})),
            (ServiceUrl{"h", 81, "/a/communicate.php"}));
}

}  // namespace
}  // namespace sv::online
