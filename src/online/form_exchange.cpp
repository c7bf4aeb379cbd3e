#include "online/form_exchange.h"

#include <limits>

#include "common/md5.h"
#include "common/text.h"

namespace sv::online {
namespace {

// The salts of the two validation codes, three pieces of three letters each. The reference
// service (tools/service) holds the same; changing one breaks every exchange with it.
constexpr std::string_view kRequestSalt = "KVRTOMPAX";
constexpr std::string_view kReplySalt = "ZELNUWHIQ";
constexpr std::size_t kCodeLength = 5;

std::string SaltedCode(std::string_view salt, std::string_view first, std::string_view second) {
  std::string text;
  text.reserve(salt.size() + first.size() + second.size());
  text += salt.substr(0, 3);
  text += first;
  text += salt.substr(3, 3);
  text += second;
  text += salt.substr(6, 3);
  return Md5Hex(text).substr(0, kCodeLength);
}

bool NeedsEscape(unsigned char c) {
  if (c < 33 || c > 128) return true;
  switch (c) {
    case '#':
    case '%':
    case '*':
    case '<':
    case '>':
    case '[':
    case ']':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string EncodeFormText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    } else {
      encoded += ch;
    }
  }
  return encoded;
}

std::string EncodeFormBody(const std::vector<FormLine>& lines) {
  std::string body;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) body += '&';
    body += EncodeFormText(lines[i].key + "=" + lines[i].value);
  }
  return Trim(body);
}

std::string RequestValidationCode(std::string_view command,
                                  const std::vector<FormLine>& dataLines) {
  std::string data;
  for (const auto& line : dataLines)
    data += line.value;
  return SaltedCode(kRequestSalt, command, data);
}

std::string ReplyValidationCode(std::string_view resultValue, std::string_view requestCode) {
  return SaltedCode(kReplySalt, resultValue, requestCode);
}

std::vector<FormLine> BuildRequestLines(std::string_view command,
                                        const std::vector<FormLine>& dataLines) {
  std::vector<FormLine> lines;
  lines.reserve(dataLines.size() + 3);
  lines.push_back({"System", std::string(kSystemName)});
  lines.push_back({"Command", std::string(command)});
  lines.insert(lines.end(), dataLines.begin(), dataLines.end());
  lines.push_back({"ValCode", RequestValidationCode(command, dataLines)});
  return lines;
}

std::vector<FormLine> SplitReplyLines(std::string_view body) {
  std::vector<FormLine> lines;
  std::size_t pos = 0;
  while (pos < body.size()) {
    const auto end = body.find_first_of("\r\n", pos);
    const std::string_view line =
        body.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (const auto equals = line.find('='); equals == std::string_view::npos) {
      lines.push_back({std::string(), std::string(line)});
    } else {
      lines.push_back({std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))});
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
    if (body[end] == '\r' && pos < body.size() && body[pos] == '\n') ++pos;
  }
  return lines;
}

int ResultNumber(std::string_view value) {
  bool negative = false;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty()) return 0;
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  long long number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
    if (number > kLimit) return 0;
  }
  if (negative) number = -number;
  if (number > std::numeric_limits<int>::max()) return 0;
  return static_cast<int>(number);
}

int ExamineReply(std::string_view body, std::string_view command, std::string_view requestCode) {
  int result = kResultNoReply;
  const auto lines = SplitReplyLines(body);
  if (lines.size() >= 1 && !(lines[0].key == "System" && lines[0].value == kSystemName)) {
    return kResultWrongSystem;
  }
  if (lines.size() >= 2 && !(lines[1].key == "Command" && lines[1].value == command)) {
    return kResultWrongCommand;
  }
  if (lines.size() >= 4 && lines[3].key == "Result") result = ResultNumber(lines[3].value);
  if (lines.size() >= 5 && !(lines[4].key == "ValCode" &&
                             lines[4].value == ReplyValidationCode(lines[3].value, requestCode))) {
    return kResultWrongCode;
  }
  return result;
}

ExchangeOptions ExchangeOptions::ForSetting(std::string_view serviceUrlSetting) {
  ExchangeOptions options;
  options.service = ServiceUrlFromSetting(serviceUrlSetting);
  return options;
}

platform::HttpRequest BuildHttpRequest(const ServiceUrl& service,
                                       const std::vector<FormLine>& lines, bool followRedirects,
                                       std::uint32_t readTimeoutMs) {
  platform::HttpRequest request;
  request.host = service.host;
  request.port = service.port;
  request.path = service.path;
  request.contentType = std::string(kContentType);
  request.body = EncodeFormBody(lines);
  request.followRedirects = followRedirects;
  request.readTimeoutMs = readTimeoutMs;
  return request;
}

int PerformFormExchange(platform::HttpTransport& transport, const ExchangeOptions& options,
                        std::string_view command, const std::vector<FormLine>& dataLines,
                        bool followRedirects) {
  if (!options.service) return kResultNoReply;
  const auto lines = BuildRequestLines(command, dataLines);
  const auto response = transport.Post(
      BuildHttpRequest(*options.service, lines, followRedirects, options.readTimeoutMs));
  if (!response.Succeeded()) return kResultNoReply;
  return ExamineReply(response.body, command, lines.back().value);
}

}  // namespace sv::online
