// The program entry: one instance at a time, the main window, then the data module, then the
// message loop until the window closes.
#include <windows.h>
//
#include <commctrl.h>
#include <objbase.h>

#include "app/dm2.h"
#include "app/frmMain2.h"
#include "app/window_logic.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace sv::app;
  const std::wstring mutexName = sv::win32::Widen(kInstanceMutexName);
  // Another instance runs: end at once, silently.
  if (const HANDLE other = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, mutexName.c_str())) {
    ::CloseHandle(other);
    return 0;
  }
  // Kept until the process ends; the system releases it then.
  ::CreateMutexW(nullptr, FALSE, mutexName.c_str());

  // The artwork decoder is a COM component.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                                     ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (!RegisterMainWindowClasses(instance)) return 1;

  // The window and the data module live until the process ends: a removal started from the
  // detail page may still be running when the window closes, and it must find them in place.
  static sv::win32::Win32Platform machine;
  static TfrmMain frmMain(instance, machine.Get());
  if (!frmMain.Create()) return 1;
  static Tdm dm(instance);
  frmMain.AttachDataModule(dm);
  frmMain.Show();

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (frmMain.TranslateKeyboard(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  // Ends every thread at once, without running destructors a worker may still depend on.
  ::ExitProcess(static_cast<UINT>(msg.wParam));
}
