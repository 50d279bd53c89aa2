// Registration of the library's classes and type library in the system
// registry.
#ifndef KDDAO_SERVER_REGISTRATION_H_
#define KDDAO_SERVER_REGISTRATION_H_

#include <windows.h>

namespace kdcom {

// Runs every class's registry script in register mode, in class-table order,
// through the platform's registrar (with %MODULE% standing for the library's
// full path), stopping at the first failure; then registers the type library
// (from the library file, else from the .tlb file beside it) with the
// library's directory as its help directory.
HRESULT RegisterServer();

// Runs every class's registry script in unregister mode and unregisters the
// type library, ignoring failures.
void UnregisterServer();

}  // namespace kdcom

#endif  // KDDAO_SERVER_REGISTRATION_H_
