// The launcher's operations over Win32: automation calls through IDispatch,
// the current directory, CreateProcess, a wait on the process handle that
// keeps the launcher's messages flowing, and MessageBox.
#ifndef KDDAO_LAUNCHER_PLATFORM_WIN32_H_
#define KDDAO_LAUNCHER_PLATFORM_WIN32_H_

#include <memory>

#include "launcher/startup.h"

namespace launcher {

// REQUIRES: the calling thread has entered a single-threaded apartment
// (otherwise every outside object fails to be created, through the error path).
std::unique_ptr<LauncherPlatform> CreateWin32Platform();

}  // namespace launcher

#endif  // KDDAO_LAUNCHER_PLATFORM_WIN32_H_
