// Type information of the dual interfaces, from the registered type library,
// for the objects' IDispatch.
#ifndef KDDAO_SERVER_TYPE_INFO_H_
#define KDDAO_SERVER_TYPE_INFO_H_

#include <windows.h>

#include <oaidl.h>

namespace kdcom {

// The type information of one dual interface: loaded from the registered type
// library on first use (by its identity, version 1.0 and the caller's locale,
// under a lock, so that two threads load it once) and kept until the library
// is unloaded.
class CTypeInfoHolder {
 public:
  explicit CTypeInfoHolder(const IID& interfaceId) : interfaceId_(interfaceId) {}
  CTypeInfoHolder(const CTypeInfoHolder&) = delete;
  CTypeInfoHolder& operator=(const CTypeInfoHolder&) = delete;

  // The interface's type information (vtable kind, so that Invoke calls
  // through the function table), without a new reference: valid until
  // Release. Returns the platform's failure when the type library is not
  // registered.
  HRESULT Get(LCID locale, ITypeInfo** info);
  // Drops the cached type information. Called when the library is unloaded.
  void Release();

 private:
  const IID& interfaceId_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  ITypeInfo* info_ = nullptr;
};

// The holders of the two dual interfaces.
CTypeInfoHolder& RawDBTypeInfo();
CTypeInfoHolder& RecordsetTypeInfo();
// Releases every holder's type information (library unload).
void ReleaseTypeInfo();

}  // namespace kdcom

#endif  // KDDAO_SERVER_TYPE_INFO_H_
