// Commands of the tray menu: WM_COMMAND identifiers sent to the main window (the GUI tests
// send them too).
#pragma once

namespace sv::app {

inline constexpr unsigned kMenuVestrel1 = 40001;
inline constexpr unsigned kMenuUpdateOnline1 = 40002;
inline constexpr unsigned kMenuExit1 = 40003;

}  // namespace sv::app
