#include "server/class_table.h"

#include <atomic>
#include <new>

#include "server/KdDao_h.h"
#include "server/module.h"
#include "server/objects.h"

namespace kdcom {

const ClassEntry kClassTable[] = {
    {&CLSID_KD_Recordset, 203, CreateRecordset},
    {&CLSID_KD_RawDB, 204, CreateRawDB},
};
const std::size_t kClassCount = sizeof kClassTable / sizeof kClassTable[0];

namespace {

// The class object of one class. Its own reference count is interlocked and
// does not count towards the module's; LockServer does.
class CClassFactory final : public IClassFactory {
 public:
  explicit CClassFactory(const ClassEntry& entry) : entry_(entry) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr && iid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return entry_.createInstance(outer, iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      LockModule();
    } else {
      UnlockModule();
    }
    return S_OK;
  }

 private:
  const ClassEntry& entry_;
  LONG references_ = 0;
};

SRWLOCK g_classTableLock = SRWLOCK_INIT;
// The cached class objects, one reference each, parallel to kClassTable.
std::atomic<IClassFactory*> g_classObjects[sizeof kClassTable / sizeof kClassTable[0]];

// The class object of entry `index`, created on first use; null when memory
// ran out.
IClassFactory* ClassObject(std::size_t index) {
  IClassFactory* existing = g_classObjects[index].load(std::memory_order_acquire);
  if (existing != nullptr) return existing;
  AcquireSRWLockExclusive(&g_classTableLock);
  existing = g_classObjects[index].load(std::memory_order_relaxed);
  if (existing == nullptr) {
    existing = new (std::nothrow) CClassFactory(kClassTable[index]);
    if (existing != nullptr) {
      existing->AddRef();
      g_classObjects[index].store(existing, std::memory_order_release);
    }
  }
  ReleaseSRWLockExclusive(&g_classTableLock);
  return existing;
}

}  // namespace

HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  for (std::size_t i = 0; i < kClassCount; ++i) {
    if (*kClassTable[i].classId != classId) continue;
    IClassFactory* classObject = ClassObject(i);
    if (classObject == nullptr) return E_OUTOFMEMORY;
    return classObject->QueryInterface(iid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

void ReleaseClassObjects() {
  for (std::atomic<IClassFactory*>& cached : g_classObjects) {
    IClassFactory* classObject = cached.exchange(nullptr);
    if (classObject != nullptr) classObject->Release();
  }
}

}  // namespace kdcom
