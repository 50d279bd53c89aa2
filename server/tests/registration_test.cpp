// Registration in the system registry: the keys and values both classes
// write, the type library, and what unregistration removes. Runs in the test
// prefix, where the server is registered before and after this test.
#include <gtest/gtest.h>

#include <string>

#include "server/tests/com_client.h"
#include "testing/outcomes.h"

namespace kdcom::testing {
namespace {

// A string value under HKEY_CLASSES_ROOT, or "<missing>".
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024];
  DWORD size = sizeof data;
  DWORD type = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_ANY, &type, data, &size) !=
      ERROR_SUCCESS) {
    return L"<missing>";
  }
  if (type != REG_SZ) return L"<not a string>";
  return data;
}

bool ClassesKeyExists(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

// The full path Windows reports for the library file.
std::wstring LoadedPath(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  return std::wstring(path, length);
}

struct ClassKeys {
  const wchar_t* progId;
  const wchar_t* classId;
  const wchar_t* description;
};
const ClassKeys kClasses[] = {
    {L"KdDao.KD_Recordset", L"{20BFF56C-CAB9-439F-B2F8-0652CDFBFA71}", L"KD_Recordset Class"},
    {L"KdDao.KD_RawDB", L"{E6095FD6-1BBF-4ac4-A388-7E105D3C9F1D}", L"KD_RawDB Class"},
};
const wchar_t kTypeLibKey[] = L"TypeLib\\{A23BC4B0-E7B7-4303-9BDF-B860D405726E}";

// The exact data of each class, and the type library with the library's
// directory as its help directory.
void ExpectRegistered(const std::wstring& modulePath) {
  for (const ClassKeys& c : kClasses) {
    const std::wstring classKey = std::wstring(L"CLSID\\") + c.classId;
    EXPECT_EQ(ClassesValue(c.progId), c.description);
    EXPECT_EQ(ClassesValue(std::wstring(c.progId) + L"\\CLSID"), c.classId);
    EXPECT_EQ(ClassesValue(classKey), c.description);
    EXPECT_EQ(ClassesValue(classKey + L"\\ProgID"), c.progId);
    EXPECT_EQ(ClassesValue(classKey + L"\\VersionIndependentProgID"), c.progId);
    EXPECT_EQ(ClassesValue(classKey + L"\\InprocServer32"), modulePath);
    EXPECT_EQ(ClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel"), L"both");
  }
  const std::wstring version = std::wstring(kTypeLibKey) + L"\\1.0";
  EXPECT_EQ(ClassesValue(version), L"KD++ Data Access Objects");
  EXPECT_EQ(ClassesValue(version + L"\\409\\win64"), modulePath);
  EXPECT_EQ(ClassesValue(version + L"\\HELPDIR"),
            modulePath.substr(0, modulePath.find_last_of(L'\\')));
}

// Register, unregister and register again, each called directly by a thread
// without COM (the entry points initialise it themselves).
TEST(ServerRegistration, WritesAndRemovesTheRegistryData) {
  CServerLibrary library;
  const std::wstring modulePath = LoadedPath(library.module());

  ASSERT_EQ(library.Register(), S_OK);
  ExpectRegistered(modulePath);
  // Registering again replaces the class keys: nothing stale survives.
  const std::wstring stale = std::wstring(L"CLSID\\") + kClasses[1].classId + L"\\Stale";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, stale.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(library.Register(), S_OK);
  EXPECT_FALSE(ClassesKeyExists(stale));

  EXPECT_EQ(library.Unregister(), S_OK);
  for (const ClassKeys& c : kClasses) {
    EXPECT_FALSE(ClassesKeyExists(c.progId)) << Narrow(c.progId);
    EXPECT_FALSE(ClassesKeyExists(std::wstring(L"CLSID\\") + c.classId)) << Narrow(c.classId);
  }
  EXPECT_TRUE(ClassesKeyExists(L"CLSID"));
  EXPECT_FALSE(ClassesKeyExists(std::wstring(kTypeLibKey) + L"\\1.0"));
  EXPECT_EQ(library.Unregister(), S_OK) << "unregistering twice is no failure";

  // Without the type library registered, IDispatch fails and the function
  // table still works.
  {
    CComThread com;
    ComPtr<IKD_RawDB> raw = library.Create<IKD_RawDB>(CLSID_KD_RawDB);
    ASSERT_TRUE(raw);
    LPOLESTR name = const_cast<LPOLESTR>(L"MoveFirst");
    DISPID id = 0;
    EXPECT_TRUE(FAILED(raw->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id)));
    VARIANT_BOOL atEnd = 0;
    EXPECT_EQ(Result(raw->get_EOF(&atEnd)), kd::testing::kNotOpened);
  }

  ASSERT_EQ(library.Register(), S_OK);
  ExpectRegistered(modulePath);
}

}  // namespace
}  // namespace kdcom::testing
