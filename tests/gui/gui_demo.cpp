// The demo without a display of its own: starts Sorvane.exe, scans, saves a screenshot of the
// results page and closes the program again.
//   sv_gui_demo.exe --app=C:\Sorvane\Sorvane.exe --shot=C:\results.bmp
#include <windows.h>
//
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "gui_driver.h"

namespace {

namespace ids = sv::app::ids;
using namespace sv::gui;

int Run(const std::wstring& app, const std::wstring& shot) {
  auto process = Process::Launch(app);
  if (!process) {
    std::fprintf(stderr, "sv_gui_demo: Sorvane.exe did not start\n");
    return 1;
  }
  HWND main = WaitForTopLevelWindow(process->Id(), SV_MAIN_WINDOW_CLASS);
  if (main == nullptr) {
    std::fprintf(stderr, "sv_gui_demo: no window appeared\n");
    return 1;
  }
  HWND scan = nullptr;
  if (!WaitUntil([&] {
        scan = FindControl(main, ids::imgScan);
        return scan != nullptr && IsVisible(scan) && IsEnabled(scan);
      }) ||
      !Click(scan)) {
    std::fprintf(stderr, "sv_gui_demo: the Scan button never became usable\n");
    return 1;
  }
  // The scan has ended when the results page is shown and Scan is usable again.
  const bool scanned = WaitUntil(
      [&] {
        HWND clean = FindControl(main, ids::pan_Foot_Clean);
        return clean != nullptr && IsVisible(clean) && IsEnabled(scan);
      },
      Milliseconds{180000});
  if (!scanned) std::fprintf(stderr, "sv_gui_demo: the scan did not reach the results page\n");
  std::printf("sv_gui_demo: %ls\n", Text(FindControl(main, ids::labSoftNum)).c_str());
  const bool saved = SaveScreenshot(main, shot);
  if (!saved) std::fprintf(stderr, "sv_gui_demo: the screenshot failed\n");
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  if (!process->WaitForExit()) process->Terminate();
  return scanned && saved ? 0 : 1;
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  const sv::win32::LocalMem owner(arguments);
  std::wstring app;
  std::wstring shot;
  for (int i = 1; arguments != nullptr && i < count; ++i) {
    const std::wstring argument = arguments[i];
    if (argument.rfind(L"--app=", 0) == 0) app = argument.substr(6);
    if (argument.rfind(L"--shot=", 0) == 0) shot = argument.substr(7);
  }
  if (app.empty() || shot.empty()) {
    std::fprintf(stderr, "usage: sv_gui_demo --app=SORVANE.EXE --shot=FILE.bmp\n");
    return 2;
  }
  return Run(app, shot);
}
