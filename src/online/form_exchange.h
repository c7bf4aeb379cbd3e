// The form exchange with the vendor's web service, shared by the update check and the
// software submission: the request lines and their body encoding, the validation codes, one
// POST, and the examination of the reply lines by position.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "online/service_url.h"
#include "platform/http.h"

namespace sv::online {

inline constexpr std::string_view kSystemName = "Vestrel";
inline constexpr std::string_view kContentType = "application/x-www-form-urlencoded";
inline constexpr std::uint32_t kReadTimeoutMs = 30000;

// Result numbers the program itself produces (the service may answer others).
inline constexpr int kResultNoReply = -999;     // nothing usable came back
inline constexpr int kResultWrongSystem = -1;   // first reply line is not System=Vestrel
inline constexpr int kResultWrongCommand = -2;  // second line does not confirm the command
inline constexpr int kResultWrongCode = -4;     // fifth line is not the reply's validation code
// Results the service answers.
inline constexpr int kResultMaintenance = -7;

// One request or reply line, key=value.
struct FormLine {
  std::string key;
  std::string value;

  friend bool operator==(const FormLine&, const FormLine&) = default;
};

// The body encoding of one line: a blank, every byte below 33 or above 128, and # % * < > [ ]
// become "%" and two upper-case hexadecimal digits; everything else ("=", "&", "+", "/", ...)
// is sent as it is. Works on the bytes of the text, which inside the program is UTF-8.
[[nodiscard]] std::string EncodeFormText(std::string_view text);

// The whole body: each "key=value" encoded, joined with "&", blanks and control characters at
// both ends removed.
[[nodiscard]] std::string EncodeFormBody(const std::vector<FormLine>& lines);

// The two validation codes: the first five hexadecimal digits of the MD5 digest of a salt of
// nine letters cut into three pieces, with client data between them:
//   request: R1 + command + R2 + (values of the lines between "Command" and "ValCode",
//            concatenated in order, as the program holds them before the body encoding) + R3
//   reply:   P1 + (value of the reply's fourth line, as received) + P2 + request code + P3
// where R and P are the two salts (docs/online.md); the reference service computes the same.
[[nodiscard]] std::string RequestValidationCode(std::string_view command,
                                                const std::vector<FormLine>& dataLines);
[[nodiscard]] std::string ReplyValidationCode(std::string_view resultValue,
                                              std::string_view requestCode);

// The request lines of a command in their order: System, Command, the data lines, ValCode.
[[nodiscard]] std::vector<FormLine> BuildRequestLines(std::string_view command,
                                                      const std::vector<FormLine>& dataLines);

// Reply lines split at carriage return, line feed, or both together; a line break at the very
// end ends the last line rather than starting an empty one. Each line is cut at its first "=";
// a line without one has an empty key and the whole line as value.
[[nodiscard]] std::vector<FormLine> SplitReplyLines(std::string_view body);

// The decimal integer of a "Result" value: an optional sign and digits, nothing else, within
// the range of a 32-bit number; 0 for anything else.
[[nodiscard]] int ResultNumber(std::string_view value);

// Examines a reply to `command` by position and gives the result number: -999 before any
// line; -1, -2 or -4 at the first failing line; the "Result" value of line 4; line 5 must carry
// the reply code computed from line 4's value and `requestCode`; further lines are ignored.
[[nodiscard]] int ExamineReply(std::string_view body, std::string_view command,
                               std::string_view requestCode);

// Where and how an exchange is made. The read time-out is the service's; tests shorten it.
struct ExchangeOptions {
  std::optional<ServiceUrl> service = VendorServiceUrl();  // nullopt: no usable address
  std::uint32_t readTimeoutMs = kReadTimeoutMs;

  // Options for the "Service URL" setting's text (empty: the vendor's service).
  [[nodiscard]] static ExchangeOptions ForSetting(std::string_view serviceUrlSetting);
};

// The HTTP request of one exchange, as it goes to the transport.
[[nodiscard]] platform::HttpRequest BuildHttpRequest(const ServiceUrl& service,
                                                     const std::vector<FormLine>& lines,
                                                     bool followRedirects,
                                                     std::uint32_t readTimeoutMs);

// One exchange: builds the lines, posts them once and examines the reply. Any failure of the
// exchange (no address, no connection, time-out, an HTTP status other than 2xx) ends it before
// the reply is read, with -999.
[[nodiscard]] int PerformFormExchange(platform::HttpTransport& transport,
                                      const ExchangeOptions& options, std::string_view command,
                                      const std::vector<FormLine>& dataLines, bool followRedirects);

}  // namespace sv::online
