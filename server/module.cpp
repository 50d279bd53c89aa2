#include "server/module.h"

#include <atomic>

namespace kdcom {

namespace {
HMODULE g_module = nullptr;
std::atomic<LONG> g_lockCount{0};
}  // namespace

void ModuleAttach(HMODULE module) {
  g_module = module;
  g_lockCount = 0;
}

HMODULE ModuleHandle() {
  return g_module;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: try again with more room
  }
}

void LockModule() {
  ++g_lockCount;
}

void UnlockModule() {
  --g_lockCount;
}

LONG ModuleLockCount() {
  return g_lockCount.load();
}

}  // namespace kdcom
