#include <windows.h>
//
#include <shellapi.h>

#include "app/update_launch.h"
#include "platform/win32/wide.h"

namespace sv::app {

void OpenWithShell(const std::string& updaterPath) {
  ::ShellExecuteW(nullptr, L"open", win32::Widen(updaterPath).c_str(), L"", L"", SW_SHOWNORMAL);
}

}  // namespace sv::app
