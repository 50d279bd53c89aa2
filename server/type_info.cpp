#include "server/type_info.h"

#include "server/KdDao_h.h"

namespace kdcom {

namespace {

// The type library's own locale.
constexpr LCID kLibraryLocale = 0x409;

// The registered type library for `locale`. A caller whose locale has no
// registration of its own gets the library's own locale, the only one there
// is, rather than a failure on every late-bound call.
HRESULT LoadLibraryTypes(LCID locale, ITypeLib** library) {
  HRESULT result = LoadRegTypeLib(LIBID_KdDAO, 1, 0, locale, library);
  if (FAILED(result) && locale != kLibraryLocale) {
    if (SUCCEEDED(LoadRegTypeLib(LIBID_KdDAO, 1, 0, kLibraryLocale, library))) result = S_OK;
  }
  return result;
}

// The vtable description of the dual interface `interfaceId`: the library
// lists a dual interface as its dispatch description, whose implemented type
// -1 is the function table.
HRESULT LoadInterfaceTypes(ITypeLib* library, const IID& interfaceId, ITypeInfo** info) {
  ITypeInfo* described = nullptr;
  HRESULT result = library->GetTypeInfoOfGuid(interfaceId, &described);
  if (FAILED(result)) return result;
  TYPEATTR* attributes = nullptr;
  result = described->GetTypeAttr(&attributes);
  if (FAILED(result)) {
    described->Release();
    return result;
  }
  const bool dispatchKind = attributes->typekind == TKIND_DISPATCH;
  described->ReleaseTypeAttr(attributes);
  if (!dispatchKind) {
    *info = described;
    return S_OK;
  }
  HREFTYPE functionTable = 0;
  result = described->GetRefTypeOfImplType(static_cast<UINT>(-1), &functionTable);
  if (SUCCEEDED(result)) result = described->GetRefTypeInfo(functionTable, info);
  described->Release();
  return result;
}

}  // namespace

HRESULT CTypeInfoHolder::Get(LCID locale, ITypeInfo** info) {
  *info = nullptr;
  AcquireSRWLockExclusive(&lock_);
  HRESULT result = S_OK;
  if (info_ == nullptr) {
    ITypeLib* library = nullptr;
    result = LoadLibraryTypes(locale, &library);
    if (SUCCEEDED(result)) {
      result = LoadInterfaceTypes(library, interfaceId_, &info_);
      library->Release();
    }
  }
  *info = info_;
  ReleaseSRWLockExclusive(&lock_);
  return result;
}

void CTypeInfoHolder::Release() {
  AcquireSRWLockExclusive(&lock_);
  if (info_ != nullptr) info_->Release();
  info_ = nullptr;
  ReleaseSRWLockExclusive(&lock_);
}

CTypeInfoHolder& RawDBTypeInfo() {
  static CTypeInfoHolder holder(IID_IKD_RawDB);
  return holder;
}

CTypeInfoHolder& RecordsetTypeInfo() {
  static CTypeInfoHolder holder(IID_IKD_Recordset);
  return holder;
}

void ReleaseTypeInfo() {
  RawDBTypeInfo().Release();
  RecordsetTypeInfo().Release();
}

}  // namespace kdcom
