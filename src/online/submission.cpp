#include "online/submission.h"

#include <vector>

#include "common/text.h"

namespace sv::online {

int PreselectedOsIndex(std::uint32_t platformId, std::uint32_t major,
                       std::uint32_t minor) noexcept {
  if (platformId == kPlatformWindows95Family && major == 4) {
    if (minor == 0) return 0;
    if (minor == 10) return 1;
    if (minor == 90) return 3;
  }
  if (platformId == kPlatformWindowsNtFamily) {
    if (major == 3 || major == 4) return 2;
    if (major == 5 && minor == 0) return 4;
    if (major == 5 && minor == 1) return 6;
    if (major == 5 && minor == 2) return 8;
    // Every NT system after XP and 2003: the newest entry is the nearest. Windows 10 and later
    // report major version 10 and must not fall back to "Windows XP Home".
    if (major >= 6) return 9;
  }
  return kDefaultOsIndex;
}

std::string SubmitHintText() {
  return "In case that Sorvane failed to uninstall the software you are willing to remove from "
         "the computer,\r"
         "as a purchased user, you can submit the software to us free of charge.\r"
         "Please fill in the form below and then click Submit button. \r"
         "We will address it for analysis and reply you within 48 hours.\r"
         "* To speed up the research process, please include the download link for the software "
         "you submit. ";
}

int SubmitSoftwareOnline(platform::HttpTransport& transport, const ExchangeOptions& options,
                         const SoftwareSubmission& submission) {
  const std::vector<FormLine> data = {{"SoftName", submission.name},
                                      {"SoftVer", submission.version},
                                      {"SoftType", submission.type},
                                      {"Os", submission.os},
                                      {"DownloadLink", submission.downloadLink},
                                      {"Other", submission.other},
                                      {"Email", submission.email}};
  return PerformFormExchange(transport, options, kCommandSubmitSoft, data,
                             /*followRedirects=*/true);
}

SoftwareSubmission TrimmedSubmission(const SoftwareSubmission& typed) {
  SoftwareSubmission sent = typed;
  sent.name = Trim(typed.name);
  sent.version = Trim(typed.version);
  sent.downloadLink = Trim(typed.downloadLink);
  sent.other = Trim(typed.other);
  sent.email = Trim(typed.email);
  return sent;
}

std::string SubmissionMessage(int result) {
  if (result == kResultMaintenance) return std::string(kMessageMaintenance);
  if (result == kResultWrongCommand) return std::string(kMessageInexistentRequest);
  if (result == 0) return std::string(kMessageSubmittedBefore);
  if (result > 0) {
    return "Your submission was successful. \rYou are the " + std::to_string(result) +
           "th to submit this software.";
  }
  return std::string(kMessageFailed);
}

bool SubmissionClearsFields(int result) noexcept {
  return result != kResultMaintenance && result != kResultWrongCommand && result != 0;
}

SubmitOutcome SubmitSoftwareForm(platform::HttpTransport& transport, const ExchangeOptions& options,
                                 const SoftwareSubmission& typed) {
  SubmitOutcome outcome;
  const SoftwareSubmission sent = TrimmedSubmission(typed);
  if (sent.name.empty()) {
    outcome.message = std::string(kMessageNoName);
    return outcome;
  }
  outcome.sent = true;
  outcome.result = SubmitSoftwareOnline(transport, options, sent);
  outcome.message = SubmissionMessage(outcome.result);
  outcome.clearTextFields = SubmissionClearsFields(outcome.result);
  return outcome;
}

}  // namespace sv::online
