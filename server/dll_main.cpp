// The library's entry point and its four exports (ordinals in KdDao.def).
#include <windows.h>

#include <ole2.h>

#include "foundation/messages.h"
#include "server/class_table.h"
#include "server/module.h"
#include "server/registration.h"
#include "server/type_info.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!kd::FoundationStart(module, kd::kDefaultSlotSize)) return FALSE;
      kdcom::ModuleAttach(module);
      DisableThreadLibraryCalls(module);
      return TRUE;
    case DLL_PROCESS_DETACH:
      kdcom::ReleaseClassObjects();
      // When the process is ending (rather than the library being freed),
      // other libraries may already be gone: their objects are left alone.
      if (reserved == nullptr) kdcom::ReleaseTypeInfo();
      kd::FoundationStop();
      return TRUE;
    default:
      return TRUE;
  }
}

// S_OK when no object lives and no class object is locked, else S_FALSE.
STDAPI DllCanUnloadNow() {
  return kdcom::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  return kdcom::GetClassObject(classId, iid, out);
}

STDAPI DllRegisterServer() {
  return kdcom::RegisterServer();
}

// Always S_OK: what cannot be removed stays.
STDAPI DllUnregisterServer() {
  kdcom::UnregisterServer();
  return S_OK;
}
