// The software submission: the form's rules that do not depend on the window (what is sent,
// what is refused, which message follows which result, which fields are emptied), and the
// "SubmitSoft" exchange. The submission page reads its controls, calls SubmitSoftwareForm and
// shows what it returns.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "online/form_exchange.h"
#include "platform/http.h"

namespace sv::online {

inline constexpr std::string_view kCommandSubmitSoft = "SubmitSoft";
inline constexpr std::string_view kSubmitCaption = "Submit Software";

inline constexpr std::string_view kMessageNoName = "You do not enter the name of the software!";
inline constexpr std::string_view kMessageMaintenance =
    "We are sorry but your submission failed due to server maintenance.";
inline constexpr std::string_view kMessageInexistentRequest =
    "We are sorry but your submission failed due to inexistent submission request.";
inline constexpr std::string_view kMessageSubmittedBefore =
    "You have submitted the same software before.";
inline constexpr std::string_view kMessageFailed =
    "Sorry, submission failed. Try resetting the form and submitting again.";

// The entries of the two drop-down lists, in their order.
inline constexpr std::array<std::string_view, 10> kSoftTypeEntries = {
    "Networking Software",  "System Tools",         "Audio and video",
    "Graphic Tools",        "Application Software", "Profession",
    "Educational Software", "Security Tools",       "Games",
    "Other Tools"};
inline constexpr std::array<std::string_view, 10> kOsEntries = {"Windows 95",
                                                                "Windows 98",
                                                                "Windows NT",
                                                                "Windows ME",
                                                                "Windows 2000 Professional",
                                                                "Windows 2000 Server",
                                                                "Windows XP Home",
                                                                "Windows XP Professional",
                                                                "Windows 2003",
                                                                "VISTA"};
inline constexpr int kDefaultOsIndex = 6;

// The platform numbers of the system's version information.
inline constexpr std::uint32_t kPlatformWindows95Family = 1;
inline constexpr std::uint32_t kPlatformWindowsNtFamily = 2;

// The operating-system entry chosen for the running system's version.
[[nodiscard]] int PreselectedOsIndex(std::uint32_t platformId, std::uint32_t major,
                                     std::uint32_t minor) noexcept;

// The five-line hint above the form, lines separated by single carriage returns.
[[nodiscard]] std::string SubmitHintText();

// The seven values of a submission, in the order they are sent.
struct SoftwareSubmission {
  std::string name;
  std::string version;
  std::string type;  // the software type entry's text
  std::string os;    // the operating-system entry's text
  std::string downloadLink;
  std::string other;  // may hold line breaks (carriage return, line feed)
  std::string email;
};

// One "SubmitSoft" exchange with the values exactly as given; follows redirections. Greater
// than 0: accepted, the number of submitters of this software so far; 0: submitted before;
// -7: maintenance; -2: the command was not confirmed; other negatives: failed.
[[nodiscard]] int SubmitSoftwareOnline(platform::HttpTransport& transport,
                                       const ExchangeOptions& options,
                                       const SoftwareSubmission& submission);

// The values as the form sends them: name, version, link, other text and e-mail without
// blanks and control characters at both ends; the two list texts as they are.
[[nodiscard]] SoftwareSubmission TrimmedSubmission(const SoftwareSubmission& typed);

[[nodiscard]] std::string SubmissionMessage(int result);
// Whether the five text fields are emptied after `result` (all but -7, -2 and 0).
[[nodiscard]] bool SubmissionClearsFields(int result) noexcept;

struct SubmitOutcome {
  bool sent = false;  // false: refused locally, nothing went to the service
  int result = 0;
  std::string message;  // shown with kSubmitCaption and the information icon
  bool clearTextFields = false;
};

// The Submit command without its window: refuses an empty name, sends the trimmed values,
// and says which message to show and whether to empty the text fields before showing it.
[[nodiscard]] SubmitOutcome SubmitSoftwareForm(platform::HttpTransport& transport,
                                               const ExchangeOptions& options,
                                               const SoftwareSubmission& typed);

}  // namespace sv::online
