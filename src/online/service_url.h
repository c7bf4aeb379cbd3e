// Where the web service is: the vendor's host unless the "Service URL" setting points the
// program at another one (a test service on loopback, the demo, an organisation's mirror).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sv::online {

inline constexpr std::string_view kVendorHost = "www.sorvane.com";
// The address the "Please visit " message names.
inline constexpr std::string_view kVendorWebSite = "http://www.sorvane.com/";
inline constexpr std::string_view kServicePath = "/communicate.php";

struct ServiceUrl {
  std::string host;  // a name or an address; IPv6 without brackets
  std::uint16_t port = 80;
  std::string path = std::string(kServicePath);

  friend bool operator==(const ServiceUrl&, const ServiceUrl&) = default;
};

[[nodiscard]] ServiceUrl VendorServiceUrl();

// Reads "http://host[:port][/path]" (the scheme may be left out; letter case of scheme and
// host does not matter). A path that is missing or ends in "/" gets "communicate.php"
// appended, so "http://127.0.0.1:8080" and "http://mirror.example/sorvane/" both name the
// service's form. Refused (nullopt): other schemes (the service is plain HTTP), user names,
// fragments, blanks or control characters anywhere, a port outside 1..65535, an empty host.
[[nodiscard]] std::optional<ServiceUrl> ParseServiceUrl(std::string_view text);

// The address from the "Service URL" setting: the vendor's service when the setting is empty
// or blank; nullopt when it is set but cannot be read. A set but broken override must not
// quietly send the user's data to the vendor instead of the mirror that was meant.
[[nodiscard]] std::optional<ServiceUrl> ServiceUrlFromSetting(std::string_view setting);

// "http://host:port/path", brackets around an IPv6 address, for messages and logs.
[[nodiscard]] std::string FormatServiceUrl(const ServiceUrl& url);

}  // namespace sv::online
