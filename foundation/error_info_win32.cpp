// Windows error description: the thread's error info object of the automation
// runtime (CreateErrorInfo / SetErrorInfo), as every automation client reads it.
#include <windows.h>

#include <oleauto.h>

#include "foundation/errors.h"

namespace kd {

void SetErrorDescription(const char16_t* description) {
  ICreateErrorInfo* creator = nullptr;
  if (FAILED(CreateErrorInfo(&creator)) || creator == nullptr) return;
  creator->SetDescription(const_cast<LPOLESTR>(reinterpret_cast<const wchar_t*>(description)));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    SetErrorInfo(0, info);
    info->Release();
  }
  creator->Release();
}

namespace {

// Takes the thread's error info and puts it back, so that reading leaves it
// in place. Returns null when there is none; the caller releases the result.
IErrorInfo* PeekErrorInfo() {
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return nullptr;
  SetErrorInfo(0, info);
  return info;
}

}  // namespace

std::u16string GetErrorDescription() {
  IErrorInfo* info = PeekErrorInfo();
  if (info == nullptr) return std::u16string();
  BSTR text = nullptr;
  std::u16string result;
  if (SUCCEEDED(info->GetDescription(&text)) && text != nullptr) {
    result.assign(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
  }
  SysFreeString(text);
  info->Release();
  return result;
}

bool HasErrorDescription() {
  IErrorInfo* info = PeekErrorInfo();
  if (info == nullptr) return false;
  info->Release();
  return true;
}

void ClearErrorDescription() {
  SetErrorInfo(0, nullptr);
}

}  // namespace kd
