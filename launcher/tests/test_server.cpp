// A stand-in for the sync manager's automation objects, for the launcher's
// end-to-end test: an in-process server of the classes Rozirar.Host and
// Rozirar.SettingsProvider, whose four objects answer late-bound calls as
// outside_objects.h describes. The test steers it through the environment,
// read at each call:
//   ROZIRAR_TEST_DIRECTORY         the value of WorkingDirectory
//   ROZIRAR_TEST_COMMAND_LINE      the value of CommandLine
//   ROZIRAR_TEST_FAIL              the member that fails: Context, Value,
//                                  GetSettings, WorkingDirectory or CommandLine
//   ROZIRAR_TEST_FAIL_CODE         its HRESULT, in hexadecimal
//   ROZIRAR_TEST_FAIL_DESCRIPTION  when set, the failure's description, raised
//                                  through EXCEPINFO, or left as the thread's
//                                  error information when
//   ROZIRAR_TEST_FAIL_VIA          is "errorinfo"; unset: a bare HRESULT
//   ROZIRAR_TEST_LOG               file that receives "released in <current
//                                  directory>" when the host object goes
// GetSettings refuses any argument but the context value it handed out.
// While the settings provider lives, a hidden window of class
// RozirarTestProbe answers WM_APP with 'Roz', so that the test can tell
// whether the launcher handles its messages while it waits.
#include <windows.h>

#include <oleauto.h>
#include <olectl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

#include "launcher/outside_objects.h"

namespace {

// {2CD56A59-719B-46A8-AE4F-62BA88B1D1DE}
const CLSID kHostClassId = {
    0x2cd56a59, 0x719b, 0x46a8, {0xae, 0x4f, 0x62, 0xba, 0x88, 0xb1, 0xd1, 0xde}};
// {5FE7C377-4949-4674-95AE-F24686E8B891}
const CLSID kSettingsProviderClassId = {
    0x5fe7c377, 0x4949, 0x4674, {0x95, 0xae, 0xf2, 0x46, 0x86, 0xe8, 0xb8, 0x91}};

constexpr std::int32_t kContextValue = 20260;
constexpr LRESULT kProbeAnswer = 0x526F7A;  // 'Roz'
const wchar_t kProbeClass[] = L"RozirarTestProbe";

HINSTANCE module = nullptr;

const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

// The variable's value; `*set` tells an empty value from an unset variable.
std::wstring Environment(const wchar_t* name, bool* set = nullptr) {
  wchar_t value[1024];
  DWORD length = GetEnvironmentVariableW(name, value, 1024);
  if (set != nullptr) *set = length != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  return length < 1024 ? std::wstring(value, length) : std::wstring();
}

// The failure the test asked of `member`, or S_OK.
HRESULT ConfiguredFailure(const wchar_t* member, EXCEPINFO* exception) {
  if (_wcsicmp(Environment(L"ROZIRAR_TEST_FAIL").c_str(), member) != 0) return S_OK;
  HRESULT code = static_cast<HRESULT>(
      std::wcstoul(Environment(L"ROZIRAR_TEST_FAIL_CODE").c_str(), nullptr, 16));
  bool described = false;
  std::wstring description = Environment(L"ROZIRAR_TEST_FAIL_DESCRIPTION", &described);
  if (!described) return code;
  if (Environment(L"ROZIRAR_TEST_FAIL_VIA") == L"errorinfo") {
    ICreateErrorInfo* creator = nullptr;
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&creator))) {
      creator->SetDescription(const_cast<wchar_t*>(description.c_str()));
      if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
      }
      creator->Release();
    }
    return code;
  }
  if (exception == nullptr) return code;
  *exception = EXCEPINFO{};
  exception->scode = code;
  exception->bstrSource = SysAllocString(L"Rozirar test server");
  exception->bstrDescription = SysAllocString(description.c_str());
  return DISP_E_EXCEPTION;
}

// An object with a few named members, dispatched by hand: member i has
// DISPID i + 1.
class Object : public IDispatch {
 public:
  virtual ~Object() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (int m = 0; i == 0 && m < memberCount_; ++m) {
        if (_wcsicmp(names[0], members_[m]) == 0) ids[0] = m + 1;
      }
      if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id < 1 || id > memberCount_) return DISP_E_MEMBERNOTFOUND;
    const wchar_t* member = members_[id - 1];
    HRESULT failure = ConfiguredFailure(member, exception);
    if (failure != S_OK) return failure;
    if (result == nullptr) return E_INVALIDARG;
    VariantInit(result);
    return Answer(member, *parameters, *result, exception);
  }

 protected:
  Object(const wchar_t* const* members, int count) : members_(members), memberCount_(count) {}
  virtual HRESULT Answer(const wchar_t* member, const DISPPARAMS& parameters, VARIANT& result,
                         EXCEPINFO* exception) = 0;

  static HRESULT ObjectResult(IDispatch* object, VARIANT& result) {
    V_VT(&result) = VT_DISPATCH;
    V_DISPATCH(&result) = object;
    return S_OK;
  }

 private:
  ULONG references_ = 1;
  const wchar_t* const* members_;
  int memberCount_;
};

class HostContext final : public Object {
 public:
  HostContext() : Object(kMembers, 1) {}

 private:
  inline static const wchar_t* const kMembers[] = {Wide(launcher::kValueProperty)};
  HRESULT Answer(const wchar_t*, const DISPPARAMS&, VARIANT& result, EXCEPINFO*) override {
    V_VT(&result) = VT_I4;
    V_I4(&result) = kContextValue;
    return S_OK;
  }
};

class Host final : public Object {
 public:
  Host() : Object(kMembers, 1) {}
  ~Host() override {
    std::wstring log = Environment(L"ROZIRAR_TEST_LOG");
    if (log.empty()) return;
    wchar_t directory[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, directory);
    if (FILE* file = _wfopen(log.c_str(), L"ab")) {
      std::fprintf(file, "released in %ls\n", directory);
      std::fclose(file);
    }
  }

 private:
  inline static const wchar_t* const kMembers[] = {Wide(launcher::kContextProperty)};
  HRESULT Answer(const wchar_t*, const DISPPARAMS&, VARIANT& result, EXCEPINFO*) override {
    return ObjectResult(new HostContext, result);
  }
};

class LaunchSettings final : public Object {
 public:
  LaunchSettings() : Object(kMembers, 2) {}

 private:
  inline static const wchar_t* const kMembers[] = {Wide(launcher::kWorkingDirectoryProperty),
                                                   Wide(launcher::kCommandLineProperty)};
  HRESULT Answer(const wchar_t* member, const DISPPARAMS&, VARIANT& result, EXCEPINFO*) override {
    bool directory = member == kMembers[0];
    std::wstring value =
        Environment(directory ? L"ROZIRAR_TEST_DIRECTORY" : L"ROZIRAR_TEST_COMMAND_LINE");
    V_VT(&result) = VT_BSTR;
    V_BSTR(&result) = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return S_OK;
  }
};

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) return kProbeAnswer;
  return DefWindowProcW(window, message, wParam, lParam);
}

class SettingsProvider final : public Object {
 public:
  SettingsProvider() : Object(kMembers, 1) {}
  ~SettingsProvider() override {
    if (probe_ != nullptr) DestroyWindow(probe_);
  }

 private:
  inline static const wchar_t* const kMembers[] = {Wide(launcher::kGetSettingsMethod)};
  HRESULT Answer(const wchar_t*, const DISPPARAMS& parameters, VARIANT& result,
                 EXCEPINFO* exception) override {
    VARIANT value;
    VariantInit(&value);
    if (parameters.cArgs != 1 ||
        FAILED(VariantChangeType(&value, &parameters.rgvarg[0], 0, VT_I4)) ||
        V_I4(&value) != kContextValue) {
      if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->scode = E_INVALIDARG;
        exception->bstrDescription = SysAllocString(L"GetSettings: not the host's context value");
      }
      return DISP_E_EXCEPTION;
    }
    if (probe_ == nullptr) {
      WNDCLASSW probeClass = {};
      probeClass.lpfnWndProc = ProbeProcedure;
      probeClass.hInstance = module;
      probeClass.lpszClassName = kProbeClass;
      RegisterClassW(&probeClass);  // fails harmlessly when registered before
      probe_ = CreateWindowExW(0, kProbeClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module,
                               nullptr);
    }
    return ObjectResult(new LaunchSettings, result);
  }
  HWND probe_ = nullptr;
};

template <typename T>
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static: never deleted
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    T* object = new T;
    HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory<Host> hostFactory;
Factory<SettingsProvider> settingsProviderFactory;

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG status =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool RegisterOutsideClass(const char16_t* progId, const CLSID& classId, const std::wstring& path) {
  std::wstring clsid = GuidText(classId);
  std::wstring key = L"CLSID\\" + clsid;
  return SetValue(Wide(progId), nullptr, Wide(progId)) &&
         SetValue(std::wstring(Wide(progId)) + L"\\CLSID", nullptr, clsid) &&
         SetValue(key, nullptr, Wide(progId)) &&
         SetValue(key + L"\\ProgID", nullptr, Wide(progId)) &&
         SetValue(key + L"\\InprocServer32", nullptr, path) &&
         SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

void UnregisterOutsideClass(const char16_t* progId, const CLSID& classId) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, Wide(progId));
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(classId)).c_str());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  if (classId == kHostClassId) return hostFactory.QueryInterface(iid, out);
  if (classId == kSettingsProviderClassId) return settingsProviderFactory.QueryInterface(iid, out);
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

// Stays loaded for the process's life, so that the probe's window procedure
// outlives every window of its class.
STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return SELFREG_E_CLASS;
  bool registered =
      RegisterOutsideClass(launcher::kHostClass, kHostClassId, path) &&
      RegisterOutsideClass(launcher::kSettingsProviderClass, kSettingsProviderClassId, path);
  return registered ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  UnregisterOutsideClass(launcher::kHostClass, kHostClassId);
  UnregisterOutsideClass(launcher::kSettingsProviderClass, kSettingsProviderClassId);
  return S_OK;
}
