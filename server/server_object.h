// The common shell of the two automation objects: identity and reference
// counting (plain or aggregated), IDispatch through the type library, and
// ISupportErrorInfo. The derived class adds its dual interface's methods, each
// forwarded to the portable object it owns.
//
// Identity. Every object has a non-delegating IUnknown (CInner) that keeps the
// reference count and answers the interface map:
//   IUnknown           plain: the object's IDispatch; aggregated: CInner itself
//   IDispatch          the dual interface
//   the dual interface
//   ISupportErrorInfo
// The interfaces' own IUnknown methods go to the controlling unknown: CInner
// for a plain object, the outer object for an aggregated one. An aggregated
// object hands CInner to its outer object at creation.
//
// Reference counts are interlocked, since the objects are registered for any
// thread; the objects themselves take no locks, so one object serves one
// thread at a time. Each live object holds one module lock.
#ifndef KDDAO_SERVER_SERVER_OBJECT_H_
#define KDDAO_SERVER_SERVER_OBJECT_H_

#include "server/wire.h"

#include <new>

#include "server/module.h"
#include "server/type_info.h"

namespace kdcom {

template <typename Derived, typename Dual, typename Core>
class CServerObject : private CModuleLock, public Dual, public ISupportErrorInfo {
 public:
  // Creates an object (aggregated when `outer` is not null, and then `iid`
  // must be IUnknown) and answers `iid` from it. The object is destroyed
  // again when that fails.
  static HRESULT Create(IUnknown* outer, REFIID iid, void** out) {
    Derived* object = nullptr;
    try {
      object = new (std::nothrow) Derived(outer);
    } catch (const std::bad_alloc&) {
      object = nullptr;
    }
    if (object == nullptr) return E_OUTOFMEMORY;
    object->inner_.AddRef();
    const HRESULT result = object->inner_.QueryInterface(iid, out);
    object->inner_.Release();  // destroys the object when nothing answered
    return result;
  }

  // IUnknown of every interface: the controlling unknown's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (outer_ == nullptr) return inner_.QueryInterface(iid, out);
    const HRESULT result = outer_->QueryInterface(iid, out);
    if (SUCCEEDED(result) || out == nullptr) return result;
    return inner_.QueryInterface(iid, out);  // what the outer object does not answer
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Controlling()->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return Controlling()->Release(); }

  // IDispatch, through the dual interface's type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT result = Derived::TypeInfo().Get(locale, info);
    if (SUCCEEDED(result)) (*info)->AddRef();
    return result;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT result = Derived::TypeInfo().Get(locale, &info);
    if (FAILED(result)) return result;
    // A script binds a member by name on every call: one name, looked up in
    // the members' table first.
    if (count == 1 && names != nullptr && names[0] != nullptr && ids != nullptr &&
        Derived::TypeInfo().FindMember(names[0], ids)) {
      return S_OK;
    }
    return info->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT loaded = Derived::TypeInfo().Get(locale, &info);
    if (FAILED(loaded)) return loaded;
    return info->Invoke(static_cast<Dual*>(this), id, flags, parameters, result, exception,
                        argumentError);
  }

  // ISupportErrorInfo: the dual interface reports its failures as error info.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == __uuidof(Dual) ? S_OK : S_FALSE;
  }

 protected:
  explicit CServerObject(IUnknown* outer) : inner_(this), outer_(outer) {}
  virtual ~CServerObject() = default;  // the portable object closes, writing nothing

  // Forwards one method of the dual interface to the portable object.
  template <typename... Params, typename... Wire>
  HRESULT Forward(kd::HRESULT (Core::*operation)(Params...), Wire... wire) {
    return ForwardCall(core_, operation, wire...);
  }

 private:
  // The non-delegating IUnknown: reference count and interface map.
  class CInner final : public IUnknown {
   public:
    explicit CInner(CServerObject* object) : object_(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      IUnknown* found = nullptr;
      if (iid == IID_IUnknown) {
        found = object_->outer_ == nullptr ? static_cast<IUnknown*>(static_cast<Dual*>(object_))
                                           : static_cast<IUnknown*>(this);
      } else if (iid == IID_IDispatch || iid == __uuidof(Dual)) {
        found = static_cast<Dual*>(object_);
      } else if (iid == IID_ISupportErrorInfo) {
        found = static_cast<ISupportErrorInfo*>(object_);
      } else {
        return E_NOINTERFACE;
      }
      found->AddRef();
      *out = found;
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
      return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
      const LONG left = InterlockedDecrement(&references_);
      if (left == 0) delete static_cast<Derived*>(object_);
      return static_cast<ULONG>(left);
    }

   private:
    CServerObject* object_;
    LONG references_ = 0;
  };

  IUnknown* Controlling() { return outer_ != nullptr ? outer_ : &inner_; }

  CInner inner_;
  IUnknown* outer_;  // the aggregating object, not counted; null when plain
  Core core_;
};

}  // namespace kdcom

#endif  // KDDAO_SERVER_SERVER_OBJECT_H_
