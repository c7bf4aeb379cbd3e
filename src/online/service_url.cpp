#include "online/service_url.h"

#include <charconv>

#include "common/text.h"

namespace sv::online {
namespace {

bool IsHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool IsIpv6Char(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

ServiceUrl VendorServiceUrl() {
  return ServiceUrl{std::string(kVendorHost), 80, std::string(kServicePath)};
}

std::optional<ServiceUrl> ParseServiceUrl(std::string_view text) {
  for (const char c : text) {
    if (IsBlankOrControl(c) || c == '#' || static_cast<unsigned char>(c) >= 0x7F) {
      return std::nullopt;
    }
  }
  if (const auto scheme = text.find("://"); scheme != std::string_view::npos) {
    if (!SameTextAscii(text.substr(0, scheme), "http")) return std::nullopt;
    text.remove_prefix(scheme + 3);
  }
  const auto pathStart = text.find_first_of("/?");
  std::string_view authority = text.substr(0, pathStart);
  std::string path(pathStart == std::string_view::npos ? std::string_view()
                                                       : text.substr(pathStart));
  if (authority.find('@') != std::string_view::npos) return std::nullopt;

  ServiceUrl url;
  std::string_view portText;
  bool hasPort = false;
  if (authority.starts_with("[")) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view address = authority.substr(1, close - 1);
    if (address.empty()) return std::nullopt;
    for (const char c : address) {
      if (!IsIpv6Char(c)) return std::nullopt;
    }
    url.host = std::string(address);
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    const auto colon = authority.find(':');
    const std::string_view host = authority.substr(0, colon);
    if (host.empty()) return std::nullopt;
    for (const char c : host) {
      if (!IsHostNameChar(c)) return std::nullopt;
    }
    url.host = LowerAscii(host);
    if (colon != std::string_view::npos) {
      portText = authority.substr(colon + 1);
      hasPort = true;
    }
  }
  if (hasPort) {
    const auto port = ParsePort(portText);
    if (!port) return std::nullopt;
    url.port = *port;
  }

  if (path.empty() || path.front() == '?') path.insert(0, "/");
  // The form's name goes after a folder, before any query.
  const auto query = path.find('?');
  if (path[(query == std::string::npos ? path.size() : query) - 1] == '/') {
    path.insert(query == std::string::npos ? path.size() : query, kServicePath.substr(1));
  }
  url.path = std::move(path);
  return url;
}

std::optional<ServiceUrl> ServiceUrlFromSetting(std::string_view setting) {
  const std::string_view trimmed = TrimView(setting);
  if (trimmed.empty()) return VendorServiceUrl();
  return ParseServiceUrl(trimmed);
}

std::string FormatServiceUrl(const ServiceUrl& url) {
  const bool ipv6 = url.host.find(':') != std::string::npos;
  std::string text = "http://";
  text += ipv6 ? "[" + url.host + "]" : url.host;
  if (url.port != 80) text += ":" + std::to_string(url.port);
  text += url.path;
  return text;
}

}  // namespace sv::online
