// Calls into the registered server as its clients make them: through the
// function tables of the dual interfaces and late-bound through IDispatch,
// with the values scripts pass (variables by reference, null strings), the
// error information they read, and objects on several threads.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "server/tests/com_client.h"
#include "testing/outcomes.h"
#include "testing/temp_dir.h"

namespace kdcom::testing {
namespace {

using kd::testing::ReadFileBytes;
using kd::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// The sample table's digest: UniqueID, Category, Title, Level, Done, Count,
// Total, Ratio, Amount, Due, Picture, Notes.
const wchar_t kSampleDigest[] =
    L"dkNzQ7DSBnPVJkbcerh_j0znjM9suPsEib7DDXubLSZfbbGJaolpxSm1o3qtwVDSgLwNPYcTJqe=t5RHqfjBrGa";

template <typename T>
ComPtr<T> CreateRegistered(REFCLSID classId) {
  ComPtr<T> object;
  EXPECT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)), S_OK);
  return object;
}

// A VARIANT referring to `target`, as a script passes a variable.
VARIANT ByReference(VARIANT* target) {
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | VT_VARIANT;
  reference.pvarVal = target;
  return reference;
}

class ServerCalls : public ::testing::Test {
 protected:
  CComThread com_;
  TempDir dir_;
};

TEST_F(ServerCalls, RawDatabaseThroughItsFunctionTable) {
  ComPtr<IKD_RawDB> raw = CreateRegistered<IKD_RawDB>(CLSID_KD_RawDB);
  ASSERT_TRUE(raw);
  CBstr path(Wide(dir_.File("raw.pdb")));
  CBstr name(L"Raw"), type(L"DATA"), creator(L"KdTs"), text(L"hello");
  LONG number = 0;
  ASSERT_EQ(Result(raw->CreateTable(path.get(), name.get(), type.get(), creator.get())), "ok");
  ASSERT_EQ(Result(raw->AddNew()), "ok");
  EXPECT_EQ(Result(raw->put_Int16At(-1, 1234)), "ok");
  EXPECT_EQ(Result(raw->put_StringAt(-1, nullptr)), "ok") << "a null string is empty";
  EXPECT_EQ(Result(raw->put_StringAt(-1, text.get())), "ok");
  CVar date;
  date.vt = VT_DATE;
  date.date = 45413.5;  // 2024-05-01 12:00
  EXPECT_EQ(Result(raw->put_DateAt(-1, ByReference(&date))), "ok");
  EXPECT_EQ(Result(raw->put_BooleanAt(-1, VARIANT_TRUE)), "ok");
  ASSERT_EQ(Result(raw->Update()), "ok");

  ASSERT_EQ(Result(raw->MoveFirst()), "ok");
  EXPECT_EQ(Result(raw->get_Int16At(0, &number)), "ok");
  EXPECT_EQ(number, 1234);
  CBstr read;
  EXPECT_EQ(Result(raw->get_StringAt(2, read.out())), "ok");
  EXPECT_EQ(read.text(), L"hello");
  CVar readDate;
  EXPECT_EQ(Result(raw->get_DateAt(8, &readDate)), "ok");
  EXPECT_EQ(readDate.vt, VT_DATE);
  EXPECT_EQ(readDate.date, 45413.5);
  CVar data;
  EXPECT_EQ(Result(raw->get_RecordData(&data)), "ok");
  EXPECT_EQ(BytesOf(data),
            (Bytes{0x04, 0xD2, 'h', 'e', 'l', 'l', 'o', 0, 0xE2, 0x57, 0xDF, 0x40, 0xFF}));

  // A byte array held in a variable, as a script passes it.
  CVar block;
  MakeBytes({1, 2, 3}, &block);
  EXPECT_EQ(Result(raw->put_AppInfoBlock(ByReference(&block))), "ok");
  CVar blockBack;
  EXPECT_EQ(Result(raw->get_AppInfoBlock(&blockBack)), "ok");
  EXPECT_EQ(BytesOf(blockBack), (Bytes{1, 2, 3}));

  // Failures: the HRESULT and the description a caller reads.
  CVar notADate;
  notADate.vt = VT_BSTR;
  notADate.bstrVal = SysAllocString(L"2024-05-01");
  EXPECT_EQ(Result(raw->put_DateAt(0, notADate)), "8004272C Variant must be of 'Date' type.");
  CVar dateByReference;  // a by-reference date itself is no date
  dateByReference.vt = VT_BYREF | VT_DATE;
  dateByReference.pdate = &date.date;
  EXPECT_EQ(Result(raw->put_DateAt(0, dateByReference)),
            "8004272C Variant must be of 'Date' type.");
  EXPECT_EQ(Result(raw->MoveNext()), "ok");
  EXPECT_EQ(Result(raw->MoveNext()), kd::testing::kInvalidCursor);
  EXPECT_EQ(Result(raw->get_Int16At(0, &number)),
            "8004272E Attempt to read outside record buffer.");

  // Null pointers are refused, never followed.
  EXPECT_EQ(raw->get_RecordCount(nullptr), E_POINTER);
  EXPECT_EQ(raw->get_StringAt(0, nullptr), E_POINTER);
  EXPECT_EQ(raw->get_AppInfoBlock(nullptr), E_POINTER);
  VARIANT nullReference;
  nullReference.vt = VT_BYREF | VT_VARIANT;
  nullReference.pvarVal = nullptr;
  EXPECT_EQ(raw->put_AppInfoBlock(nullReference), E_POINTER);
  CVar inner;
  inner.vt = VT_BYREF | VT_ARRAY | VT_UI1;
  inner.pparray = nullptr;
  EXPECT_EQ(raw->put_RecordData(ByReference(&inner)), E_POINTER);
}

TEST_F(ServerCalls, RecordsetThroughItsFunctionTable) {
  ComPtr<IKD_Recordset> rs = CreateRegistered<IKD_Recordset>(CLSID_KD_Recordset);
  ASSERT_TRUE(rs);
  CBstr path(Wide(dir_.File("sample.pdb")));
  CBstr digest(kSampleDigest), name(L"Sample"), type(L"DATA"), creator(L"KdSm");
  ASSERT_EQ(
      Result(rs->CreateTable(path.get(), digest.get(), name.get(), type.get(), creator.get())),
      "ok");
  ASSERT_EQ(Result(rs->AddNew()), "ok");

  // Values as scripts pass them, in variables: the field's type decides what
  // is stored; currency, which the portable values do not hold, arrives as a
  // double.
  struct Put {
    const wchar_t* field;
    VARTYPE type;  // of the value put, made from `value`
    const wchar_t* value;
    VARTYPE readType;  // of the value read back after Update
    const wchar_t* readText;
  } puts[] = {
      {L"Title", VT_BSTR, L"Call Ada", VT_BSTR, L"Call Ada"},
      {L"Level", VT_I4, L"3", VT_UI1, L"3"},
      {L"Done", VT_BOOL, L"-1", VT_BOOL, L"-1"},
      {L"Count", VT_R8, L"-4.5", VT_I2, L"-4"},  // half to even
      {L"Amount", VT_CY, L"18.5", VT_R8, L"18.5"},
      {L"Due", VT_DATE, L"12/24/2024 6:00:00 PM", VT_DATE, L"12/24/2024 6:00:00 PM"},
  };
  for (const Put& p : puts) {
    CVar text, value;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(p.value);
    ASSERT_EQ(VariantChangeTypeEx(&value, &text, 0x409, 0, p.type), S_OK) << Narrow(p.value);
    CBstr field(p.field);
    EXPECT_EQ(Result(rs->put_Field(field.get(), ByReference(&value))), "ok") << Narrow(p.field);
  }
  ASSERT_EQ(Result(rs->Update()), "ok");
  ASSERT_EQ(Result(rs->MoveFirst()), "ok");
  for (const Put& p : puts) {
    CBstr field(p.field);
    CVar value, text;
    ASSERT_EQ(Result(rs->get_Field(field.get(), &value)), "ok");
    EXPECT_EQ(value.vt, p.readType) << Narrow(p.field);
    ASSERT_EQ(VariantChangeTypeEx(&text, &value, 0x409, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::wstring(text.bstrVal), p.readText) << Narrow(p.field);
  }
  LONG count = 0;
  EXPECT_EQ(Result(rs->get_FieldCount(&count)), "ok");
  EXPECT_EQ(count, 12);
  CBstr fieldName;
  EXPECT_EQ(Result(rs->get_FieldName(3, fieldName.out())), "ok");
  EXPECT_EQ(fieldName.text(), L"Title");
  CVar byIndex;
  EXPECT_EQ(Result(rs->get_FieldByIndex(3, &byIndex)), "ok");
  EXPECT_EQ(std::wstring(byIndex.bstrVal), L"Call Ada");

  CBstr missing(L"Nope");
  CVar none;
  EXPECT_EQ(Result(rs->get_Field(missing.get(), &none)), "8004271D Field does not exist.");
  EXPECT_EQ(none.vt, VT_EMPTY);
  EXPECT_EQ(Result(rs->get_FieldName(13, fieldName.out())), "80042727 Invalid field number.");
  CBstr nowhere(Wide(dir_.File("none.pdb")));
  EXPECT_EQ(Result(rs->OpenTable(nowhere.get(), digest.get())),
            "80042710 Generic error: Cannot access file '" + dir_.File("none.pdb") + "'.");
  EXPECT_EQ(Result(rs->get_RecordCount(&count)), kd::testing::kNotOpened);
}

// Late-bound calls, as scripts make them: names, the default member, variables
// by reference, and failures as exceptions with the error's description.
TEST_F(ServerCalls, LateBoundThroughTheTypeLibrary) {
  ComPtr<IDispatch> rs = CreateRegistered<IDispatch>(CLSID_KD_Recordset);
  ASSERT_TRUE(rs);
  UINT typeInfoCount = 0;
  EXPECT_EQ(rs->GetTypeInfoCount(&typeInfoCount), S_OK);
  EXPECT_EQ(typeInfoCount, 1u);
  ComPtr<ITypeInfo> typeInfo;
  EXPECT_EQ(rs->GetTypeInfo(1, 0x409, &typeInfo), DISP_E_BADINDEX);

  struct Name {
    const wchar_t* name;
    DISPID id;
  } names[] = {{L"OpenTable", 10}, {L"createtable", 23}, {L"Field", 0}, {L"FieldCount", 37}};
  for (const Name& n : names) {
    LPOLESTR name = const_cast<LPOLESTR>(n.name);
    DISPID id = -1;
    EXPECT_EQ(rs->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id), S_OK) << Narrow(n.name);
    EXPECT_EQ(id, n.id) << Narrow(n.name);
  }
  // A caller in a locale the type library is not registered for binds too.
  LPOLESTR fieldName = const_cast<LPOLESTR>(L"Field");
  DISPID fieldId = -1;
  EXPECT_EQ(rs->GetIDsOfNames(IID_NULL, &fieldName, 1, 0x407, &fieldId), S_OK);
  EXPECT_EQ(fieldId, DISPID_VALUE);
  // Every member of both interfaces, in lower and in upper case, binds to the
  // id the type information itself gives.
  for (ComPtr<IDispatch> object : {rs, CreateRegistered<IDispatch>(CLSID_KD_RawDB)}) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, 0x409, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_GT(attributes->cFuncs, 20);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
      FUNCDESC* function = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
      BSTR name = nullptr;
      ASSERT_EQ(info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr), S_OK);
      for (auto change : {::towlower, ::towupper}) {
        std::wstring text(name);
        for (wchar_t& c : text)
          c = static_cast<wchar_t>(change(c));
        LPOLESTR asked = text.data();
        DISPID expected = -1;
        DISPID bound = -2;
        EXPECT_EQ(info->GetIDsOfNames(&asked, 1, &expected), S_OK) << Narrow(text.c_str());
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &asked, 1, 0x409, &bound), S_OK);
        EXPECT_EQ(bound, expected) << Narrow(text.c_str());
      }
      SysFreeString(name);
      info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Fieldz");
  DISPID id = 0;
  EXPECT_EQ(rs->GetIDsOfNames(IID_NULL, &unknown, 1, 0x409, &id), DISP_E_UNKNOWNNAME);

  // A failing call: DISP_E_EXCEPTION, with the error's code and description.
  DISPPARAMS noArguments = {nullptr, nullptr, 0, 0};
  CVar result;
  EXCEPINFO exception = {};
  EXPECT_EQ(rs->Invoke(33, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &noArguments, &result, &exception,
                       nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(static_cast<std::uint32_t>(exception.scode), 0x80042720u);
  EXPECT_EQ(std::wstring(exception.bstrDescription ? exception.bstrDescription : L""),
            L"Recordset not opened.");
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);

  // CreateTable with variables, then rs("Title") = "..." and rs("Title").
  CVar arguments[5];
  const std::wstring values[5] = {L"KdSm", L"DATA", L"Late", kSampleDigest,
                                  Wide(dir_.File("late.pdb"))};
  VARIANT references[5];
  for (int i = 0; i < 5; ++i) {  // arguments go last to first
    arguments[i].vt = VT_BSTR;
    arguments[i].bstrVal = SysAllocString(values[i].c_str());
    references[i] = ByReference(&arguments[i]);
  }
  DISPPARAMS create = {references, nullptr, 5, 0};
  ASSERT_EQ(rs->Invoke(23, IID_NULL, 0x409, DISPATCH_METHOD, &create, nullptr, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(
      rs->Invoke(12, IID_NULL, 0x409, DISPATCH_METHOD, &noArguments, nullptr, nullptr, nullptr),
      S_OK);
  CVar title;
  title.vt = VT_BSTR;
  title.bstrVal = SysAllocString(L"Late bound");
  CVar field;
  field.vt = VT_BSTR;
  field.bstrVal = SysAllocString(L"Title");
  VARIANT putArguments[2] = {ByReference(&title), field};
  DISPID propertyPut = DISPID_PROPERTYPUT;
  DISPPARAMS put = {putArguments, &propertyPut, 2, 1};
  EXPECT_EQ(rs->Invoke(DISPID_VALUE, IID_NULL, 0x409, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                       nullptr),
            S_OK);
  ASSERT_EQ(
      rs->Invoke(21, IID_NULL, 0x409, DISPATCH_METHOD, &noArguments, nullptr, nullptr, nullptr),
      S_OK);
  VARIANT getArguments[1] = {field};
  DISPPARAMS get = {getArguments, nullptr, 1, 0};
  CVar read;
  EXPECT_EQ(rs->Invoke(DISPID_VALUE, IID_NULL, 0x409, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &get,
                       &read, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(read.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(read.bstrVal), L"Late bound");
}

// The last Release of an object with an open table and a pending edit drops
// the edit: the file is not written. A success leaves earlier error
// information in place.
TEST_F(ServerCalls, ReleasingAnOpenObjectWritesNothing) {
  const std::string file = dir_.File("kept.pdb");
  CBstr path(Wide(file));
  CBstr name(L"Kept"), type(L"DATA"), creator(L"KdTs");
  {
    ComPtr<IKD_RawDB> raw = CreateRegistered<IKD_RawDB>(CLSID_KD_RawDB);
    ASSERT_EQ(Result(raw->CreateTable(path.get(), name.get(), type.get(), creator.get())), "ok");
    ASSERT_EQ(Result(raw->AddNew()), "ok");
    ASSERT_EQ(Result(raw->put_Int32At(0, 7)), "ok");
    ASSERT_EQ(Result(raw->Update()), "ok");
  }
  const Bytes before = ReadFileBytes(file);
  {
    ComPtr<IKD_RawDB> raw = CreateRegistered<IKD_RawDB>(CLSID_KD_RawDB);
    ASSERT_EQ(Result(raw->OpenTable(path.get())), "ok");
    ASSERT_EQ(Result(raw->Edit()), "ok");
    ASSERT_EQ(Result(raw->put_Int32At(0, 8)), "ok");
    LONG number = 0;
    const HRESULT failed = raw->get_Int16At(100, &number);
    LONG count = 0;
    EXPECT_EQ(raw->get_RecordCount(&count), S_OK);
    EXPECT_EQ(Result(failed), "8004272E Attempt to read outside record buffer.")
        << "a success leaves the failure's description in place";
  }
  EXPECT_EQ(ReadFileBytes(file), before);
}

// Distinct objects on distinct threads at once; and one object whose
// references are released from two threads.
TEST_F(ServerCalls, ObjectsOnSeveralThreads) {
  constexpr int kRecords = 200;
  std::atomic<int> failures{0};
  auto fill = [&](const std::string& file, bool cursorFailures) {
    CComThread com(COINIT_MULTITHREADED);
    ComPtr<IKD_RawDB> raw;
    if (FAILED(
            CoCreateInstance(CLSID_KD_RawDB, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&raw)))) {
      ++failures;
      return;
    }
    CBstr path(Wide(file));
    CBstr name(L"Threads"), type(L"DATA"), creator(L"KdTs");
    if (FAILED(raw->CreateTable(path.get(), name.get(), type.get(), creator.get()))) ++failures;
    for (int i = 0; i < kRecords; ++i) {
      if (FAILED(raw->AddNew()) || FAILED(raw->put_Int32At(0, i)) || FAILED(raw->Update())) {
        ++failures;
      }
      // Each thread fails in its own way now and then, and reads its own
      // failure's description.
      LONG number = 0;
      if (i % 10 != 0) continue;
      if (cursorFailures) {
        raw->MoveLast();
        raw->MoveNext();
        if (Result(raw->MoveNext()) != kd::testing::kInvalidCursor) ++failures;
      } else if (Result(raw->get_Int16At(5000, &number)) !=
                 "8004272E Attempt to read outside record buffer.") {
        ++failures;
      }
    }
  };
  std::thread first(fill, dir_.File("first.pdb"), true);
  std::thread second(fill, dir_.File("second.pdb"), false);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
  for (const char* file : {"first.pdb", "second.pdb"}) {
    ComPtr<IKD_RawDB> raw = CreateRegistered<IKD_RawDB>(CLSID_KD_RawDB);
    CBstr path(Wide(dir_.File(file)));
    ASSERT_EQ(Result(raw->OpenTable(path.get())), "ok");
    LONG count = 0;
    raw->get_RecordCount(&count);
    EXPECT_EQ(count, kRecords) << file;
  }

  CServerLibrary library;
  ComPtr<IKD_Recordset> shared = library.Create<IKD_Recordset>(CLSID_KD_Recordset);
  ASSERT_TRUE(shared);
  IKD_Recordset* object = shared.Detach();
  constexpr int kReferences = 20000;
  for (int i = 0; i < 2 * kReferences; ++i)
    object->AddRef();
  auto release = [object] {
    for (int i = 0; i < kReferences; ++i)
      object->Release();
  };
  std::thread a(release);
  std::thread b(release);
  a.join();
  b.join();
  EXPECT_EQ(library.CanUnloadNow(), S_FALSE) << "the first reference is left";
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace kdcom::testing
