// Tarnwick Rozirar: started during synchronisation, it runs the command that
// the outside objects name in the directory they name, waits for it to end and
// exits. No arguments, no window of its own; a failure shows one message box.
// Exit status 0 after a complete run, 1 after the message box.
#include <windows.h>

#include <objbase.h>

#include <memory>

#include "launcher/platform_win32.h"
#include "launcher/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // One single-threaded apartment: the outside objects are called, and the
  // launcher's messages handled, on this thread only.
  HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 0;
  {
    std::unique_ptr<launcher::LauncherPlatform> platform = launcher::CreateWin32Platform();
    status = launcher::RunStartup(*platform) ? 1 : 0;
  }
  if (SUCCEEDED(apartment)) CoUninitialize();
  return status;
}
