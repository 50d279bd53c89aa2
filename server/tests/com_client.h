// What the server's tests need to act as an automation client: the library
// loaded by path, owned strings and variants, and the caller's view of a
// result (HRESULT and error description).
#ifndef KDDAO_SERVER_TESTS_COM_CLIENT_H_
#define KDDAO_SERVER_TESTS_COM_CLIENT_H_

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "server/KdDao_h.h"

namespace kdcom::testing {

using Microsoft::WRL::ComPtr;

// The library file under test, as the build tree has it.
const wchar_t* ServerPath();

// COM for the calling thread, for a test's lifetime.
class CComThread {
 public:
  explicit CComThread(DWORD model = COINIT_APARTMENTTHREADED) { CoInitializeEx(nullptr, model); }
  ~CComThread() { CoUninitialize(); }
  CComThread(const CComThread&) = delete;
  CComThread& operator=(const CComThread&) = delete;
};

// The library loaded by path, and its four exports by name.
class CServerLibrary {
 public:
  CServerLibrary();
  ~CServerLibrary();
  CServerLibrary(const CServerLibrary&) = delete;
  CServerLibrary& operator=(const CServerLibrary&) = delete;

  HMODULE module() const { return module_; }
  FARPROC Export(const char* nameOrOrdinal) const { return GetProcAddress(module_, nameOrOrdinal); }

  HRESULT CanUnloadNow() const;
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) const;
  HRESULT Register() const;
  HRESULT Unregister() const;
  // A plain object of `classId`, asked for `iid` (null on failure).
  template <typename T>
  ComPtr<T> Create(REFCLSID classId) const {
    ComPtr<IClassFactory> factory;
    ComPtr<T> object;
    if (SUCCEEDED(GetClassObject(classId, IID_PPV_ARGS(&factory)))) {
      factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
    }
    return object;
  }

 private:
  HMODULE module_;
};

// An owned BSTR.
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(const std::wstring& text)
      : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~CBstr() { SysFreeString(value_); }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;

  BSTR get() const { return value_; }
  BSTR* out() {
    SysFreeString(value_);
    value_ = nullptr;
    return &value_;
  }
  std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

 private:
  BSTR value_ = nullptr;
};

// An owned VARIANT, cleared when it goes.
struct CVar : VARIANT {
  CVar() { VariantInit(this); }
  ~CVar() { VariantClear(this); }
  CVar(const CVar&) = delete;
  CVar& operator=(const CVar&) = delete;
};

// A one-dimensional byte array (lower bound 0) in `out`.
void MakeBytes(const std::vector<std::uint8_t>& bytes, VARIANT* out);
// The elements of a byte array; "not a byte array" is an empty vector and a
// test failure.
std::vector<std::uint8_t> BytesOf(const VARIANT& value);

// What a caller sees after a call: "ok", or the HRESULT in hexadecimal and the
// thread's error description ("80042720 Recordset not opened."), or only the
// HRESULT when no error information is set.
std::string Result(HRESULT result);

// UTF-16 text as narrow text (the tests' texts are ASCII).
std::string Narrow(const std::wstring& text);

}  // namespace kdcom::testing

#endif  // KDDAO_SERVER_TESTS_COM_CLIENT_H_
