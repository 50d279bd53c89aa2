#include "server/type_info.h"

#include "server/KdDao_h.h"

#include <new>

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

// Each member's name and dispatch id (a property's get and put share both).
std::vector<std::pair<std::wstring, DISPID>> MemberNames(ITypeInfo* info) {
  std::vector<std::pair<std::wstring, DISPID>> members;
  TYPEATTR* attributes = nullptr;
  if (FAILED(info->GetTypeAttr(&attributes))) return members;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* function = nullptr;
    if (FAILED(info->GetFuncDesc(i, &function))) continue;
    BSTR name = nullptr;
    if (SUCCEEDED(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr)) &&
        name != nullptr) {
      members.emplace_back(name, function->memid);
    }
    SysFreeString(name);
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  return members;
}

// Whether `query` is `name` with any of its ASCII letters in the other case.
// Other characters must match exactly (a name with others is left to the
// type information's own rules).
bool SameNameIgnoringCase(const wchar_t* query, const std::wstring& name) {
  auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
  std::size_t i = 0;
  for (; query[i] != L'\0'; ++i) {
    if (i == name.size() || query[i] > 0x7F || fold(query[i]) != fold(name[i])) return false;
  }
  return i == name.size();
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
    if (SUCCEEDED(result)) {
      try {
        members_ = MemberNames(info_);
      } catch (const std::bad_alloc&) {
        members_.clear();  // every name is then left to the type information
      }
    }
  }
  *info = info_;
  ReleaseSRWLockExclusive(&lock_);
  return result;
}

bool CTypeInfoHolder::FindMember(const wchar_t* name, DISPID* id) const {
  for (const auto& member : members_) {
    if (SameNameIgnoringCase(name, member.first)) {
      *id = member.second;
      return true;
    }
  }
  return false;
}

void CTypeInfoHolder::Release() {
  AcquireSRWLockExclusive(&lock_);
  if (info_ != nullptr) info_->Release();
  info_ = nullptr;
  members_.clear();
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
