#include "server/tests/com_client.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace kdcom::testing {

const wchar_t* ServerPath() {
  static const std::wstring path = [] {
    wchar_t program[MAX_PATH];
    std::wstring folder(program, GetModuleFileNameW(nullptr, program, MAX_PATH));
    for (int up = 0; up < 2; ++up)
      folder.resize(folder.find_last_of(L'\\'));
    return folder + L"\\KdDao.dll";
  }();
  return path.c_str();
}

namespace {

template <typename Function>
Function Entry(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

CServerLibrary::CServerLibrary() : module_(LoadLibraryW(ServerPath())) {
  EXPECT_NE(module_, nullptr) << "cannot load " << Narrow(ServerPath());
}

CServerLibrary::~CServerLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

HRESULT CServerLibrary::CanUnloadNow() const {
  return Entry<HRESULT(WINAPI*)()>(module_, "DllCanUnloadNow")();
}

HRESULT CServerLibrary::GetClassObject(REFCLSID classId, REFIID iid, void** out) const {
  return Entry<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(module_, "DllGetClassObject")(classId,
                                                                                         iid, out);
}

HRESULT CServerLibrary::Register() const {
  return Entry<HRESULT(WINAPI*)()>(module_, "DllRegisterServer")();
}

HRESULT CServerLibrary::Unregister() const {
  return Entry<HRESULT(WINAPI*)()>(module_, "DllUnregisterServer")();
}

void MakeBytes(const std::vector<std::uint8_t>& bytes, VARIANT* out) {
  VariantInit(out);
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  if (!bytes.empty()) std::memcpy(array->pvData, bytes.data(), bytes.size());
  out->vt = VT_ARRAY | VT_UI1;
  out->parray = array;
}

std::vector<std::uint8_t> BytesOf(const VARIANT& value) {
  EXPECT_EQ(value.vt, VT_ARRAY | VT_UI1);
  if (value.vt != (VT_ARRAY | VT_UI1) || value.parray == nullptr) return {};
  EXPECT_EQ(SafeArrayGetDim(value.parray), 1u);
  LONG lower = 0;
  LONG upper = -1;
  SafeArrayGetLBound(value.parray, 1, &lower);
  SafeArrayGetUBound(value.parray, 1, &upper);
  const auto* data = static_cast<const std::uint8_t*>(value.parray->pvData);
  return std::vector<std::uint8_t>(data, data + (upper - lower + 1));
}

std::string Result(HRESULT result) {
  if (SUCCEEDED(result)) return "ok";
  char code[16];
  std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(result));
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, &info) != S_OK || !info) return code;
  CBstr description;
  info->GetDescription(description.out());
  return std::string(code) + " " + Narrow(description.text());
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text)
    narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

}  // namespace kdcom::testing
