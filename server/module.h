// The library as a loaded module: its handle and path, and the lock count that
// tells the component runtime whether the library may be unloaded.
#ifndef KDDAO_SERVER_MODULE_H_
#define KDDAO_SERVER_MODULE_H_

#include <windows.h>

#include <string>

namespace kdcom {

// Remembers the library's module handle; called once when the library is
// loaded, before anything else of this folder runs.
void ModuleAttach(HMODULE module);
HMODULE ModuleHandle();
// The library file's full path (what registration writes as the server).
std::wstring ModulePath();

// The lock count: one per live object and per class-object lock. Changed
// atomically; 0 at load.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// Holds one module lock for its lifetime: the first base of every object, so
// that the count is lowered only after everything else of the object is gone.
class CModuleLock {
 public:
  CModuleLock() { LockModule(); }
  ~CModuleLock() { UnlockModule(); }
  CModuleLock(const CModuleLock&) = delete;
  CModuleLock& operator=(const CModuleLock&) = delete;
};

}  // namespace kdcom

#endif  // KDDAO_SERVER_MODULE_H_
