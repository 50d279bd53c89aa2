// The type library embedded in the library file, member by member, against
// the published interface tables (written out here by hand, not derived from
// the interface definition).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/tests/com_client.h"

namespace kdcom::testing {
namespace {

enum Kind { kMethod, kGet, kPut };

struct Member {
  int slot;  // in the function table; IUnknown and IDispatch take slots 0 to 6
  DISPID id;
  const char* name;
  Kind kind;
  std::vector<const char*> parameters;  // names, the return value included
};

const std::vector<Member> kRawDBMembers = {
    {7, 0x0a, "OpenTable", kMethod, {"PdbFile"}},
    {8, 0x0b, "Close", kMethod, {}},
    {9, 0x0c, "AddNew", kMethod, {}},
    {10, 0x0d, "CancelUpdate", kMethod, {}},
    {11, 0x0e, "Delete", kMethod, {"Delete"}},
    {12, 0x0f, "Edit", kMethod, {}},
    {13, 0x10, "LookupUniqueID", kMethod, {"UniqueID"}},
    {14, 0x11, "MoveFirst", kMethod, {}},
    {15, 0x12, "MoveLast", kMethod, {}},
    {16, 0x13, "MoveNext", kMethod, {}},
    {17, 0x14, "MovePrevious", kMethod, {}},
    {18, 0x15, "Update", kMethod, {}},
    {19, 0x16, "Blank", kMethod, {}},
    {20, 0x17, "CreateTable", kMethod, {"PdbFile", "DatabaseName", "DatabaseType", "Creator"}},
    {21, 0x18, "Truncate", kMethod, {"Offset"}},
    {22, 0x1e, "AbsolutePosition", kGet, {"Index"}},
    {23, 0x1e, "AbsolutePosition", kPut, {"Index"}},
    {24, 0x1f, "BOF", kGet, {"Value"}},
    {25, 0x20, "EOF", kGet, {"Value"}},
    {26, 0x21, "RecordCount", kGet, {"Count"}},
    {27, 0x22, "AppInfoBlock", kGet, {"ByteArray"}},
    {28, 0x22, "AppInfoBlock", kPut, {"ByteArray"}},
    {29, 0x23, "SortInfoBlock", kGet, {"ByteArray"}},
    {30, 0x23, "SortInfoBlock", kPut, {"ByteArray"}},
    {31, 0x24, "RecordData", kGet, {"ByteArray"}},
    {32, 0x24, "RecordData", kPut, {"ByteArray"}},
    {33, 0x25, "Int8At", kGet, {"Offset", "Value"}},
    {34, 0x25, "Int8At", kPut, {"Offset", "Value"}},
    {35, 0x26, "UInt8At", kGet, {"Offset", "Value"}},
    {36, 0x26, "UInt8At", kPut, {"Offset", "Value"}},
    {37, 0x27, "Int16At", kGet, {"Offset", "Value"}},
    {38, 0x27, "Int16At", kPut, {"Offset", "Value"}},
    {39, 0x28, "UInt16At", kGet, {"Offset", "Value"}},
    {40, 0x28, "UInt16At", kPut, {"Offset", "Value"}},
    {41, 0x29, "Int32At", kGet, {"Offset", "Value"}},
    {42, 0x29, "Int32At", kPut, {"Offset", "Value"}},
    {43, 0x2a, "UInt32At", kGet, {"Offset", "Value"}},
    {44, 0x2a, "UInt32At", kPut, {"Offset", "Value"}},
    {45, 0x2b, "DoubleAt", kGet, {"Offset", "Value"}},
    {46, 0x2b, "DoubleAt", kPut, {"Offset", "Value"}},
    {47, 0x2c, "SingleAt", kGet, {"Offset", "Value"}},
    {48, 0x2c, "SingleAt", kPut, {"Offset", "Value"}},
    {49, 0x2d, "DateAt", kGet, {"Offset", "Value"}},
    {50, 0x2d, "DateAt", kPut, {"Offset", "Value"}},
    {51, 0x37, "BooleanAt", kGet, {"Offset", "Value"}},
    {52, 0x37, "BooleanAt", kPut, {"Offset", "Value"}},
    {53, 0x2e, "StringAt", kGet, {"Offset", "Value"}},
    {54, 0x2e, "StringAt", kPut, {"Offset", "Value"}},
    {55, 0x38, "FixedLengthStringAt", kGet, {"Offset", "Length", "Value"}},
    {56, 0x38, "FixedLengthStringAt", kPut, {"Offset", "Length", "Value"}},
    {57, 0x2f, "UniqueID", kGet, {"Value"}},
    {58, 0x2f, "UniqueID", kPut, {"Value"}},
    {59, 0x30, "Category", kGet, {"Value"}},
    {60, 0x30, "Category", kPut, {"Value"}},
    {61, 0x31, "Dirty", kGet, {"Value"}},
    {62, 0x32, "Secret", kGet, {"Value"}},
    {63, 0x32, "Secret", kPut, {"Value"}},
};

const std::vector<Member> kRecordsetMembers = {
    {7, 10, "OpenTable", kMethod, {"PdbFile", "KdxFile"}},
    {8, 11, "Close", kMethod, {}},
    {9, 12, "AddNew", kMethod, {}},
    {10, 13, "CancelUpdate", kMethod, {}},
    {11, 14, "Delete", kMethod, {"Delete"}},
    {12, 15, "Edit", kMethod, {}},
    {13, 16, "LookupUniqueID", kMethod, {"UniqueID"}},
    {14, 17, "MoveFirst", kMethod, {}},
    {15, 18, "MoveLast", kMethod, {}},
    {16, 19, "MoveNext", kMethod, {}},
    {17, 20, "MovePrevious", kMethod, {}},
    {18, 21, "Update", kMethod, {}},
    {19, 22, "Blank", kMethod, {}},
    {20,
     23,
     "CreateTable",
     kMethod,
     {"PdbFile", "KdxFile", "DatabaseName", "DatabaseType", "Creator"}},
    {21, 24, "CreateOlePicture", kGet, {"ByteArrayToConvert", "Value"}},
    {22, 25, "CreateKDBitmap", kGet, {"PictureObjectToConvert", "Value"}},
    {23, 30, "AbsolutePosition", kGet, {"Index"}},
    {24, 30, "AbsolutePosition", kPut, {"Index"}},
    {25, 31, "BOF", kGet, {"Value"}},
    {26, 32, "EOF", kGet, {"Value"}},
    {27, 33, "RecordCount", kGet, {"Count"}},
    {28, 34, "AppInfoBlock", kGet, {"ByteArray"}},
    {29, 34, "AppInfoBlock", kPut, {"ByteArray"}},
    {30, 35, "SortInfoBlock", kGet, {"ByteArray"}},
    {31, 35, "SortInfoBlock", kPut, {"ByteArray"}},
    {32, 36, "FieldByIndex", kGet, {"FieldIndex", "Value"}},
    {33, 36, "FieldByIndex", kPut, {"FieldIndex", "Value"}},
    {34, 37, "FieldCount", kGet, {"Count"}},
    {35, 38, "FieldName", kGet, {"FieldIndex", "Value"}},
    {36, 0, "Field", kGet, {"FieldName", "Value"}},
    {37, 0, "Field", kPut, {"FieldName", "Value"}},
};

INVOKEKIND InvokeKind(Kind kind) {
  return kind == kMethod ? INVOKE_FUNC : kind == kGet ? INVOKE_PROPERTYGET : INVOKE_PROPERTYPUT;
}

class TypeLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LoadTypeLibEx(ServerPath(), REGKIND_NONE, &library_), S_OK); }

  // The function-table description of a dual interface.
  ComPtr<ITypeInfo> InterfaceTypes(const IID& iid) {
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> functions;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(iid, &dispatch), S_OK);
    if (!dispatch) return functions;
    TYPEATTR* attributes = nullptr;
    dispatch->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    dispatch->ReleaseTypeAttr(attributes);
    HREFTYPE reference = 0;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    EXPECT_EQ(dispatch->GetRefTypeInfo(reference, &functions), S_OK);
    return functions;
  }

  void ExpectMembers(const IID& iid, const std::vector<Member>& members) {
    ComPtr<ITypeInfo> types = InterfaceTypes(iid);
    ASSERT_TRUE(types);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(types->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->cFuncs, members.size());
    EXPECT_EQ(attributes->cbSizeVft, (members.back().slot + 1) * sizeof(void*));
    types->ReleaseTypeAttr(attributes);

    for (UINT index = 0; index < members.size(); ++index) {
      const Member& m = members[index];
      FUNCDESC* function = nullptr;
      ASSERT_EQ(types->GetFuncDesc(index, &function), S_OK);
      BSTR names[8] = {};
      UINT count = 0;
      types->GetNames(function->memid, names, 8, &count);
      // GetNames by dispatch id finds the get half of a property; the put
      // half is compared through its own description below.
      std::vector<std::string> got;
      for (UINT i = 0; i < count; ++i)
        got.push_back(Narrow(names[i] ? names[i] : L""));
      for (BSTR name : names)
        SysFreeString(name);

      EXPECT_EQ(got.empty() ? "" : got[0], m.name) << "slot " << m.slot;
      EXPECT_EQ(function->memid, m.id) << m.name;
      EXPECT_EQ(function->invkind, InvokeKind(m.kind)) << m.name;
      EXPECT_EQ(function->oVft, m.slot * static_cast<int>(sizeof(void*))) << m.name;
      EXPECT_EQ(function->cParams, static_cast<SHORT>(m.parameters.size())) << m.name;
      if (m.kind != kPut) {
        std::vector<std::string> expected(m.parameters.begin(), m.parameters.end());
        expected.insert(expected.begin(), m.name);
        EXPECT_EQ(got, expected) << m.name;
      }
      types->ReleaseFuncDesc(function);
    }
  }

  ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, LibraryIdentity) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(library_->GetLibAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_KdDAO));
  EXPECT_EQ(attributes->wMajorVerNum, 1);
  EXPECT_EQ(attributes->wMinorVerNum, 0);
  EXPECT_EQ(attributes->lcid, 0x409u);
  EXPECT_EQ(attributes->syskind, SYS_WIN64);
  library_->ReleaseTLibAttr(attributes);
  CBstr name;
  CBstr help;
  ASSERT_EQ(library_->GetDocumentation(-1, name.out(), help.out(), nullptr, nullptr), S_OK);
  EXPECT_EQ(name.text(), L"KdDAO");
  EXPECT_EQ(help.text(), L"KD++ Data Access Objects");
}

TEST_F(TypeLibraryTest, RawDBMembers) {
  ExpectMembers(IID_IKD_RawDB, kRawDBMembers);
}

TEST_F(TypeLibraryTest, RecordsetMembers) {
  ExpectMembers(IID_IKD_Recordset, kRecordsetMembers);
}

TEST_F(TypeLibraryTest, CreatableClassesAndDeleteModes) {
  struct Class {
    const CLSID& classId;
    const wchar_t* name;
    const IID& interfaceId;
  } classes[] = {{CLSID_KD_Recordset, L"KD_Recordset", IID_IKD_Recordset},
                 {CLSID_KD_RawDB, L"KD_RawDB", IID_IKD_RawDB}};
  for (const Class& c : classes) {
    ComPtr<ITypeInfo> types;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(c.classId, &types), S_OK);
    CBstr name;
    types->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr);
    EXPECT_EQ(name.text(), c.name);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(types->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attributes->cImplTypes, 1);
    types->ReleaseTypeAttr(attributes);
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(types->GetRefTypeOfImplType(0, &reference), S_OK);
    ASSERT_EQ(types->GetRefTypeInfo(reference, &implemented), S_OK);
    ASSERT_EQ(implemented->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, c.interfaceId));
    implemented->ReleaseTypeAttr(attributes);
    INT flags = 0;
    types->GetImplTypeFlags(0, &flags);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
  }

  // KD_DeleteMode and its three members.
  ComPtr<ITypeInfo> modes;
  MEMBERID id = 0;
  USHORT found = 1;
  LPOLESTR name = const_cast<LPOLESTR>(L"KD_DeleteMode");
  ITypeInfo* info = nullptr;
  ASSERT_EQ(library_->FindName(name, 0, &info, &id, &found), S_OK);
  ASSERT_EQ(found, 1);
  modes.Attach(info);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(modes->GetTypeAttr(&attributes), S_OK);
  const bool isAlias = attributes->typekind == TKIND_ALIAS;
  HREFTYPE aliased = isAlias ? attributes->tdescAlias.hreftype : 0;
  modes->ReleaseTypeAttr(attributes);
  if (isAlias) {
    ComPtr<ITypeInfo> target;
    ASSERT_EQ(modes->GetRefTypeInfo(aliased, &target), S_OK);
    modes = target;
  }
  ASSERT_EQ(modes->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->typekind, TKIND_ENUM);
  ASSERT_EQ(attributes->cVars, 3);
  modes->ReleaseTypeAttr(attributes);
  const wchar_t* const members[] = {L"kdRecordDelete", L"kdRecordArchive", L"kdRecordRemove"};
  for (UINT i = 0; i < 3; ++i) {
    VARDESC* variable = nullptr;
    ASSERT_EQ(modes->GetVarDesc(i, &variable), S_OK);
    CBstr memberName;
    UINT count = 0;
    BSTR names[1] = {};
    modes->GetNames(variable->memid, names, 1, &count);
    EXPECT_EQ(std::wstring(names[0] ? names[0] : L""), members[i]);
    SysFreeString(names[0]);
    EXPECT_EQ(variable->lpvarValue->vt, VT_I4);
    EXPECT_EQ(variable->lpvarValue->lVal, static_cast<LONG>(i));
    modes->ReleaseVarDesc(variable);
  }
}

}  // namespace
}  // namespace kdcom::testing
