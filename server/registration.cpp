#include "server/registration.h"

#include <oleauto.h>

#include <string>

// The registrar's interface and class identity come with the interface
// definition; defined (not only declared) in this file.
#define ATL_INITGUID
#include "server/KdDao_h.h"
#include "server/atliface.h"
#include "server/class_table.h"
#include "server/module.h"

namespace kdcom {

namespace {

constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;
constexpr LCID kLibraryLocale = 0x409;
constexpr SYSKIND kLibrarySystem = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

// COM for the calling thread while registration runs: a program that calls the
// entry points directly (rather than through the component runtime) has not
// initialised it. Balanced: uninitialised again only when initialised here.
class CComForThisThread {
 public:
  CComForThisThread() : result_(CoInitialize(nullptr)) {}
  ~CComForThisThread() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  CComForThisThread(const CComForThisThread&) = delete;
  CComForThisThread& operator=(const CComForThisThread&) = delete;

 private:
  HRESULT result_;
};

// Runs the registry script held in resource `script` (type REGISTRY) of the
// library, in register or unregister mode.
HRESULT RunRegistryScript(UINT script, bool install) {
  IRegistrar* registrar = nullptr;
  HRESULT result = CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                    reinterpret_cast<void**>(&registrar));
  if (FAILED(result)) return result;
  const std::wstring module = ModulePath();
  result = registrar->AddReplacement(L"MODULE", module.c_str());
  if (SUCCEEDED(result)) {
    result = install ? registrar->ResourceRegister(module.c_str(), script, L"REGISTRY")
                     : registrar->ResourceUnregister(module.c_str(), script, L"REGISTRY");
  }
  registrar->Release();
  return result;
}

// `path` with its extension (the text from the last dot of the file name)
// replaced by `extension`.
std::wstring WithExtension(const std::wstring& path, const wchar_t* extension) {
  const std::size_t name = path.find_last_of(L"\\/");
  const std::size_t dot = path.rfind(L'.');
  const bool hasExtension = dot != std::wstring::npos && (name == std::wstring::npos || dot > name);
  return (hasExtension ? path.substr(0, dot) : path) + extension;
}

// The directory part of `path`, without the separator.
std::wstring DirectoryOf(const std::wstring& path) {
  const std::size_t name = path.find_last_of(L"\\/");
  return name == std::wstring::npos ? std::wstring() : path.substr(0, name);
}

HRESULT RegisterTypeLibrary() {
  std::wstring path = ModulePath();
  ITypeLib* library = nullptr;
  HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  if (FAILED(result)) {
    path = WithExtension(path, L".tlb");
    result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
  }
  if (FAILED(result)) return result;
  std::wstring helpDirectory = DirectoryOf(ModulePath());
  result = RegisterTypeLib(library, path.data(), helpDirectory.data());
  library->Release();
  return result;
}

// The type library's unregistration is looked up when needed: a system
// without it simply keeps the registration.
void UnregisterTypeLibrary() {
  using Unregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  HMODULE automation = GetModuleHandleW(L"oleaut32.dll");
  if (automation == nullptr) return;
  auto unregister = reinterpret_cast<Unregister>(
      reinterpret_cast<void (*)()>(GetProcAddress(automation, "UnRegisterTypeLib")));
  if (unregister != nullptr) {
    unregister(LIBID_KdDAO, kLibraryMajor, kLibraryMinor, kLibraryLocale, kLibrarySystem);
  }
}

}  // namespace

HRESULT RegisterServer() {
  CComForThisThread com;
  for (std::size_t i = 0; i < kClassCount; ++i) {
    const HRESULT result = RunRegistryScript(kClassTable[i].registryScript, true);
    if (FAILED(result)) return result;
  }
  return RegisterTypeLibrary();
}

void UnregisterServer() {
  CComForThisThread com;
  for (std::size_t i = 0; i < kClassCount; ++i) {
    RunRegistryScript(kClassTable[i].registryScript, false);
  }
  UnregisterTypeLibrary();
}

}  // namespace kdcom
