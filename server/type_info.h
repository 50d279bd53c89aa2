// Type information of the dual interfaces, from the registered type library,
// for the objects' IDispatch.
#ifndef KDDAO_SERVER_TYPE_INFO_H_
#define KDDAO_SERVER_TYPE_INFO_H_

#include <windows.h>

#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

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
  // The dispatch id of the member `name`, from a table of the interface's
  // member names made when the type information was loaded: the name in any
  // case of its ASCII letters, as the type information binds it, without its
  // search through every function description on each late-bound call by
  // name. False for a name the table does not hold (the type information
  // answers those). REQUIRES: Get succeeded.
  bool FindMember(const wchar_t* name, DISPID* id) const;
  // Drops the cached type information. Called when the library is unloaded.
  void Release();

 private:
  const IID& interfaceId_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  ITypeInfo* info_ = nullptr;
  std::vector<std::pair<std::wstring, DISPID>> members_;  // filled with info_
};

// The holders of the two dual interfaces.
CTypeInfoHolder& RawDBTypeInfo();
CTypeInfoHolder& RecordsetTypeInfo();
// Releases every holder's type information (library unload).
void ReleaseTypeInfo();

}  // namespace kdcom

#endif  // KDDAO_SERVER_TYPE_INFO_H_
