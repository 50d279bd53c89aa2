// The two creatable automation objects, KD_RawDB and KD_Recordset: each owns
// its portable object and forwards every method of its dual interface to it.
#ifndef KDDAO_SERVER_OBJECTS_H_
#define KDDAO_SERVER_OBJECTS_H_

#include <windows.h>

#include <objbase.h>

namespace kdcom {

// Create an object, plain or (with `outer`, when `iid` is IUnknown)
// aggregated, and answer `iid` from it: E_OUTOFMEMORY, or the interface
// request's result (the object is destroyed again when that fails).
HRESULT CreateRawDB(IUnknown* outer, REFIID iid, void** out);
HRESULT CreateRecordset(IUnknown* outer, REFIID iid, void** out);

}  // namespace kdcom

#endif  // KDDAO_SERVER_OBJECTS_H_
