// The library as the component runtime sees it: exports, class objects, the
// lock count, aggregation, interface maps, and what the file imports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "server/tests/com_client.h"

namespace kdcom::testing {
namespace {

TEST(ServerModule, ExportsTheFourEntryPointsByNameAndOrdinal) {
  CServerLibrary library;
  const char* const names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                               "DllUnregisterServer"};
  for (int ordinal = 1; ordinal <= 4; ++ordinal) {
    FARPROC byName = library.Export(names[ordinal - 1]);
    EXPECT_NE(byName, nullptr) << names[ordinal - 1];
    EXPECT_EQ(library.Export(MAKEINTRESOURCEA(ordinal)), byName) << names[ordinal - 1];
  }
  EXPECT_EQ(library.Export(MAKEINTRESOURCEA(5)), nullptr);
}

TEST(ServerModule, ClassObjects) {
  CServerLibrary library;
  IUnknown* out = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(library.GetClassObject(CLSID_KD_RawDB, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(
      library.GetClassObject(IID_IKD_RawDB, IID_IClassFactory, reinterpret_cast<void**>(&out)),
      CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);

  for (const CLSID* classId : {&CLSID_KD_Recordset, &CLSID_KD_RawDB}) {
    ComPtr<IClassFactory> first;
    ComPtr<IClassFactory> second;
    ComPtr<IUnknown> unknown;
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(library.GetClassObject(*classId, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(library.GetClassObject(*classId, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_EQ(first.Get(), second.Get()) << "one class object per class";
    EXPECT_EQ(library.GetClassObject(*classId, IID_PPV_ARGS(&unknown)), S_OK);
    EXPECT_EQ(library.GetClassObject(*classId, IID_PPV_ARGS(&dispatch)), E_NOINTERFACE);
    EXPECT_EQ(first->CreateInstance(nullptr, IID_IKD_RawDB, nullptr), E_POINTER);
  }
}

TEST(ServerModule, LockCountFollowsObjectsAndServerLocks) {
  CServerLibrary library;
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(library.GetClassObject(CLSID_KD_Recordset, IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_OK) << "class objects do not count";

  ComPtr<IKD_Recordset> recordset;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&recordset)), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  ComPtr<IDispatch> second = recordset;
  recordset.Reset();
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE) << "one reference is left";
  second.Reset();
  EXPECT_EQ(library.CanUnloadNow(), S_OK);

  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);

  // An interface the object does not have: the object is not kept.
  ComPtr<IPersist> persist;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&persist)), E_NOINTERFACE);
  EXPECT_EQ(persist.Get(), nullptr);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

// Each object answers its interface map, with one identity.
TEST(ServerModule, InterfaceMapsAndErrorInfoSupport) {
  CServerLibrary library;
  struct Case {
    const CLSID& classId;
    const IID& own;
    const IID& other;
  } cases[] = {{CLSID_KD_RawDB, IID_IKD_RawDB, IID_IKD_Recordset},
               {CLSID_KD_Recordset, IID_IKD_Recordset, IID_IKD_RawDB}};
  for (const Case& c : cases) {
    ComPtr<IUnknown> identity = library.Create<IUnknown>(c.classId);
    ASSERT_TRUE(identity);
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &c.own, &IID_ISupportErrorInfo}) {
      ComPtr<IUnknown> answer;
      ASSERT_EQ(identity->QueryInterface(*iid, reinterpret_cast<void**>(answer.GetAddressOf())),
                S_OK);
      ComPtr<IUnknown> back;
      ASSERT_EQ(answer.As(&back), S_OK);
      EXPECT_EQ(back.Get(), identity.Get()) << "IUnknown of every interface is the object";
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(identity->QueryInterface(c.other, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(identity->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(identity.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(c.own), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(c.other), S_FALSE);
  }
}

// An object that aggregates a server object: it answers IUnknown itself and
// everything else from the inner object.
class COuter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (inner == nullptr) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return inner->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

  IUnknown* inner = nullptr;  // the inner object's own IUnknown
  LONG references = 1;
};

TEST(ServerModule, AggregatedObjectsShowTheOuterIdentity) {
  CServerLibrary library;
  for (const CLSID* classId : {&CLSID_KD_RawDB, &CLSID_KD_Recordset}) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(library.GetClassObject(*classId, IID_PPV_ARGS(&factory)), S_OK);
    COuter outer;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IKD_RawDB, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(library.CanUnloadNow(), S_OK);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    EXPECT_EQ(library.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(outer.references, 1) << "creation does not count on the outer object";

    IDispatch* dispatch = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(outer.references, 2) << "the inner object's interfaces count on the outer";
    IUnknown* identity = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    ISupportErrorInfo* support = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
              S_OK);
    if (support != nullptr) support->Release();
    void* none = nullptr;
    EXPECT_EQ(dispatch->QueryInterface(IID_IPersist, &none), E_NOINTERFACE);
    dispatch->Release();
    EXPECT_EQ(outer.references, 1);

    // The inner object's own IUnknown is not the outer identity.
    IUnknown* innerIdentity = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerIdentity)),
              S_OK);
    EXPECT_EQ(innerIdentity, outer.inner);
    innerIdentity->Release();

    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(library.CanUnloadNow(), S_OK);
  }
}

// The names of the libraries a loaded module imports, in lower case.
std::set<std::string> ImportedLibraries(HMODULE module) {
  const auto* base = reinterpret_cast<const std::uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::set<std::string> names;
  const auto* entry =
      reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
  for (; entry->Name != 0; ++entry) {
    std::string name = reinterpret_cast<const char*>(base + entry->Name);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    names.insert(name);
  }
  return names;
}

TEST(ServerModule, NeedsOnlyTheSystemsOwnLibraries) {
  CServerLibrary library;
  const std::set<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll", "ole32.dll",
                                        "oleaut32.dll", "advapi32.dll", "msvcrt.dll"};
  const std::set<std::string> imported = ImportedLibraries(library.module());
  EXPECT_FALSE(imported.empty());
  for (const std::string& name : imported) {
    EXPECT_EQ(system.count(name), 1u) << name << " is not a system library";
  }
}

}  // namespace
}  // namespace kdcom::testing
