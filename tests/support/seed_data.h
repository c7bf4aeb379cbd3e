// The demo machine's description and the sample database source, built into the test program
// so that it needs no path to the source tree (under Wine that tree is out of reach).
#pragma once

namespace sv::testing {

extern const char* const kDemoMachineJson;
extern const char* const kSampleDatabaseJson;

}  // namespace sv::testing
