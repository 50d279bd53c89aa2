// The creatable classes and their class objects.
#ifndef KDDAO_SERVER_CLASS_TABLE_H_
#define KDDAO_SERVER_CLASS_TABLE_H_

#include <windows.h>

#include <objbase.h>

#include <cstddef>

namespace kdcom {

// One creatable class: its identity, the registry script resource that
// registers it, and how an instance is made.
struct ClassEntry {
  const CLSID* classId;
  UINT registryScript;  // resource of type REGISTRY
  HRESULT (*createInstance)(IUnknown* outer, REFIID iid, void** out);
};

// The class table, in registration order: KD_Recordset, then KD_RawDB.
extern const ClassEntry kClassTable[];
extern const std::size_t kClassCount;

// DllGetClassObject: E_POINTER for a null `out`; CLASS_E_CLASSNOTAVAILABLE for
// a class not in the table; else the class object's answer to `iid`. A class
// object is created on first request (once, under the class-table lock) and
// kept until the library is unloaded.
HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out);

// Releases the cached class objects (library unload).
void ReleaseClassObjects();

}  // namespace kdcom

#endif  // KDDAO_SERVER_CLASS_TABLE_H_
