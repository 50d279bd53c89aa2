// The launcher's operations over Win32 and the automation runtime.
//
// Errors: an automation failure becomes its HRESULT as a signed number; an
// exception an object raises through Invoke becomes the code it put in
// EXCEPINFO. The description is the object's own (EXCEPINFO first, where the
// type-library dispatcher leaves the object's error information, else the
// thread's error information), else the system's text for the code. A failed
// system call becomes its system error code with the system's text.
#include "launcher/platform_win32.h"

#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <string>

namespace launcher {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is passed to Win32 as it is");

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// The system's message text for an HRESULT or a system error code, without
// its trailing line break; empty when the system has none.
std::u16string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text;
  if (length != 0 && buffer != nullptr) text = FromWide(buffer, length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n'))
    text.pop_back();
  return text;
}

[[noreturn]] void RaiseSystemError(DWORD code) {
  throw LaunchError{static_cast<std::int32_t>(code), SystemMessage(code)};
}

// Takes the thread's error information, if an object left one, and gives its
// description.
std::u16string TakeErrorInfoDescription() {
  IErrorInfo* info = nullptr;
  std::u16string text;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr)
      text = FromWide(description, SysStringLen(description));
    SysFreeString(description);
    info->Release();
  }
  return text;
}

// Raises a failed automation call. `description` is what the call itself
// reported (EXCEPINFO); `systemText` says whether `number` is a code the
// system may describe.
[[noreturn]] void RaiseAutomationError(std::int32_t number, std::u16string description,
                                       bool systemText = true) {
  if (description.empty()) description = TakeErrorInfoDescription();
  if (description.empty() && systemText) description = SystemMessage(static_cast<DWORD>(number));
  throw LaunchError{number, description};
}

// Raises the exception an object reported through Invoke's EXCEPINFO, which
// it frees. The code is the HRESULT in scode, or else the object's own error
// number in wCode.
[[noreturn]] void RaiseInvokeException(EXCEPINFO& exception) {
  if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
  std::u16string description;
  if (exception.bstrDescription != nullptr)
    description = FromWide(exception.bstrDescription, SysStringLen(exception.bstrDescription));
  bool isHresult = exception.scode != 0;
  std::int32_t number = isHresult ? static_cast<std::int32_t>(exception.scode) : exception.wCode;
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  RaiseAutomationError(number, description, isHresult);
}

// A VARIANT cleared when it goes out of scope.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

// An outside object: one reference to its IDispatch.
class DispatchObject final : public OutsideObject {
 public:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}
  ~DispatchObject() override { dispatch_->Release(); }
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;
  IDispatch* get() const { return dispatch_; }

 private:
  IDispatch* dispatch_;
};

// A started program: the process handle that CreateProcess returned.
class Win32Program final : public StartedProgram {
 public:
  explicit Win32Program(HANDLE process) : process_(process) {}
  ~Win32Program() override { CloseHandle(process_); }
  Win32Program(const Win32Program&) = delete;
  Win32Program& operator=(const Win32Program&) = delete;
  HANDLE handle() const { return process_; }

 private:
  HANDLE process_;
};

// Invokes member `name` of `object` (a property read or a method call, as
// `flags` say) with at most one argument, and converts the result to `type`
// into `result`.
void InvokeMember(OutsideObject& object, const std::u16string& name, WORD flags, VARIANT* argument,
                  VARTYPE type, Variant& result) {
  IDispatch* dispatch = static_cast<DispatchObject&>(object).get();
  SetErrorInfo(0, nullptr);
  LPOLESTR names[] = {const_cast<LPOLESTR>(Wide(name))};
  DISPID member = DISPID_UNKNOWN;
  HRESULT status = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(status)) RaiseAutomationError(status, {});

  DISPPARAMS parameters = {argument, nullptr, argument != nullptr ? 1u : 0u, 0};
  EXCEPINFO exception = {};
  UINT badArgument = 0;
  Variant returned;
  status = dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                            returned.get(), &exception, &badArgument);
  if (status == DISP_E_EXCEPTION) RaiseInvokeException(exception);
  if (FAILED(status)) RaiseAutomationError(status, {});

  status = VariantChangeType(result.get(), returned.get(), 0, type);
  if (FAILED(status)) RaiseAutomationError(status, {});
}

// Takes the object out of a VT_DISPATCH result.
std::unique_ptr<OutsideObject> TakeObject(Variant& result) {
  IDispatch* dispatch = V_DISPATCH(result.get());
  if (dispatch == nullptr) RaiseAutomationError(E_POINTER, {});
  V_VT(result.get()) = VT_EMPTY;  // the reference now belongs to the DispatchObject
  return std::make_unique<DispatchObject>(dispatch);
}

class Win32Platform final : public LauncherPlatform {
 public:
  std::unique_ptr<OutsideObject> CreateObject(const std::u16string& progId) override {
    SetErrorInfo(0, nullptr);
    CLSID classId = {};
    HRESULT status = CLSIDFromProgID(Wide(progId), &classId);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(status)) {
      status = CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch));
    }
    if (FAILED(status)) RaiseAutomationError(status, {});
    return std::make_unique<DispatchObject>(dispatch);
  }

  std::unique_ptr<OutsideObject> GetObjectProperty(OutsideObject& object,
                                                   const std::u16string& name) override {
    Variant result;
    InvokeMember(object, name, DISPATCH_PROPERTYGET, nullptr, VT_DISPATCH, result);
    return TakeObject(result);
  }

  std::int32_t GetNumberProperty(OutsideObject& object, const std::u16string& name) override {
    Variant result;
    InvokeMember(object, name, DISPATCH_PROPERTYGET, nullptr, VT_I4, result);
    return V_I4(result.get());
  }

  std::u16string GetTextProperty(OutsideObject& object, const std::u16string& name) override {
    Variant result;
    InvokeMember(object, name, DISPATCH_PROPERTYGET, nullptr, VT_BSTR, result);
    BSTR text = V_BSTR(result.get());
    return text != nullptr ? FromWide(text, SysStringLen(text)) : std::u16string();
  }

  // A method with a result may be implemented as either kind of member, so
  // both flags are given, as automation callers do.
  std::unique_ptr<OutsideObject> CallForObject(OutsideObject& object, const std::u16string& name,
                                               std::int32_t argument) override {
    Variant value;
    V_VT(value.get()) = VT_I4;
    V_I4(value.get()) = argument;
    Variant result;
    InvokeMember(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, value.get(), VT_DISPATCH,
                 result);
    return TakeObject(result);
  }

  std::u16string CurrentDirectory() override {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::u16string directory(size, u'\0');
    DWORD length = GetCurrentDirectoryW(size, reinterpret_cast<wchar_t*>(&directory[0]));
    if (length == 0 || length >= size) RaiseSystemError(GetLastError());
    directory.resize(length);
    return directory;
  }

  // "D:" makes drive D current, in the directory the system resolves for it
  // (the drive's root unless one is recorded for the drive).
  void ChangeDrive(char16_t letter) override {
    const wchar_t drive[] = {static_cast<wchar_t>(letter), L':', L'\0'};
    if (!SetCurrentDirectoryW(drive)) RaiseSystemError(GetLastError());
  }

  void ChangeDirectory(const std::u16string& path) override {
    if (!SetCurrentDirectoryW(Wide(path))) RaiseSystemError(GetLastError());
  }

  std::unique_ptr<StartedProgram> Start(const std::u16string& commandLine,
                                        std::int32_t* error) override {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    std::u16string line = commandLine;  // CreateProcessW may write into its command line
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&line[0]), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
      *error = static_cast<std::int32_t>(GetLastError());
      return nullptr;
    }
    CloseHandle(process.hThread);
    return std::make_unique<Win32Program>(process.hProcess);
  }

  bool WaitForEndOrInput(StartedProgram& program) override {
    HANDLE process = static_cast<Win32Program&>(program).handle();
    DWORD woken = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    return woken != WAIT_OBJECT_0 + 1;
  }

  void ProcessPendingMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  void ShowMessage(const std::u16string& text) override {
    MessageBoxW(nullptr, Wide(text), reinterpret_cast<const wchar_t*>(kLauncherTitle), MB_OK);
  }
};

}  // namespace

std::unique_ptr<LauncherPlatform> CreateWin32Platform() {
  return std::make_unique<Win32Platform>();
}

}  // namespace launcher
