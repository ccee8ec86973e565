// Registration through the system's own registration tool, read back from
// the real registry, and the embedded type library as clients see it.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <optional>
#include <string>
#include <vector>

#include "com/registration.h"
#include "platform/win/registry_win.h"
#include "qv_guids.h"
#include "quillvane_i.h"
#include "win_test_support.h"

namespace {

using qv::RegRoot;
using qv::RegStatus;
using qv::RegValue;
using qv::com::KeyRole;

// Runs the registration tool on the DLL under test; its exit code, or -1
// when it could not be started or did not end within a minute.
int runRegsvr32(bool unregister, const std::string& dll = qvtest::dllPath()) {
  char system[MAX_PATH];
  const UINT n = GetSystemDirectoryA(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1;
  std::string cmd = std::string("\"") + system + "\\regsvr32.exe\" /s " + (unregister ? "/u " : "") + "\"" + dll + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

std::optional<std::string> readString(RegRoot root, const std::string& path, const std::string& name) {
  qv::win::Win32Registry reg;
  auto k = reg.openReadOnly(root, path);
  if (k.status != RegStatus::Ok) return std::nullopt;
  RegValue v;
  if (k.key->query(name, v) != RegStatus::Ok || v.type != qv::RegType::Sz) return std::nullopt;
  std::string s(v.data.begin(), v.data.end());
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

bool keyExists(RegRoot root, const std::string& path) {
  qv::win::Win32Registry reg;
  return reg.openReadOnly(root, path).status == RegStatus::Ok;
}

std::string guidText(const GUID& g) {
  wchar_t w[40];
  StringFromGUID2(g, w, 40);
  std::string s;
  for (const wchar_t* p = w; *p; ++p) s += static_cast<char>(*p);
  return s;
}

// Leaves the registration as it found it: a prefix may have a copy of the
// module registered (by the demo, say); it is registered again afterwards.
class RegistrationRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    registeredPath_ = readString(RegRoot::ClassesRoot,
                                 std::string("CLSID\\") + qv::guids::CLSID_CPub + "\\InprocServer32", "");
  }
  void TearDown() override {
    if (registeredPath_ && !registeredPath_->empty()) runRegsvr32(false, *registeredPath_);
  }
  std::optional<std::string> registeredPath_;
};

TEST_F(RegistrationRoundTrip, RegsvrWritesEveryEntryAndTheTypeLibraryThenRemovesThem) {
  const std::string dll = qvtest::dllPath();
  ASSERT_EQ(runRegsvr32(false), 0);
  // Registering again rewrites the class keys fresh: a leftover goes.
  const std::string stale = std::string("CLSID\\") + qv::guids::CLSID_CPub + "\\LocalServer32";
  {
    qv::win::Win32Registry reg;
    ASSERT_EQ(reg.create(RegRoot::ClassesRoot, stale).status, RegStatus::Ok);
  }
  ASSERT_EQ(runRegsvr32(false), 0);
  EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, stale));

  // Every row of the table, exactly, in the real registry.
  for (const auto& row : qv::com::registrationTable(dll)) {
    SCOPED_TRACE(row.path + (row.valueName ? "\\" + *row.valueName : std::string()));
    ASSERT_TRUE(keyExists(row.root, row.path));
    if (row.value) {
      EXPECT_EQ(readString(row.root, row.path, row.valueName.value_or("")), *row.value);
    }
  }
  const std::string bho =
      std::string(qv::com::kBrowserHelperObjectsPath) + "\\{8A5D3C21-4E7B-4F19-A2C6-5B0E9D71F3A4}";
  EXPECT_TRUE(keyExists(RegRoot::LocalMachine, bho));
  EXPECT_EQ(readString(RegRoot::ClassesRoot, "AppID", ""), "Quillvane");
  // Not declared fit for Enhanced Protected Mode (AppContainer) tabs: the
  // module's shared state is not built for them.
  EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, std::string("CLSID\\") + qv::guids::CLSID_CPub +
                                                   "\\Implemented Categories\\{59FB2056-D625-48D0-A944-1A85B5AB2640}"));

  // The type library, registered from the module with the module's folder
  // as help folder.
  const std::string lib = std::string("TypeLib\\") + qv::guids::LIBID_Quillvane + "\\1.0";
  EXPECT_EQ(readString(RegRoot::ClassesRoot, lib, ""), "Quillvane 1.0 Type Library");
  // The library's system kind follows the build: win64 or win32.
  const char* syskind = sizeof(void*) == 8 ? "\\409\\win64" : "\\409\\win32";
  EXPECT_EQ(readString(RegRoot::ClassesRoot, lib + syskind, ""), dll);
  EXPECT_EQ(readString(RegRoot::ClassesRoot, lib + "\\HELPDIR", ""), dll.substr(0, dll.find_last_of('\\')));
  EXPECT_EQ(readString(RegRoot::ClassesRoot, "Interface\\" + guidText(IID_IWhiteList) + "\\TypeLib", ""),
            qv::guids::LIBID_Quillvane);
  ITypeLib* registered = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_Quillvane, 1, 0, 0x409, &registered), S_OK);
  registered->Release();
  // A client finds the class through its ProgID.
  CLSID viaProgId{};
  EXPECT_EQ(CLSIDFromProgID(L"Quillvane.Pub", &viaProgId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(viaProgId, CLSID_CPub));

  ASSERT_EQ(runRegsvr32(true), 0);
  for (const auto& row : qv::com::registrationTable(dll)) {
    if (!row.isKey()) continue;
    SCOPED_TRACE(row.path);
    if (row.role == KeyRole::Owned || row.role == KeyRole::Fresh) {
      EXPECT_FALSE(keyExists(row.root, row.path));
    }
    if (row.role == KeyRole::Permanent) {
      EXPECT_TRUE(keyExists(row.root, row.path));
    }
  }
  EXPECT_FALSE(keyExists(RegRoot::LocalMachine, bho));
  EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, lib));
  EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, "Interface\\" + guidText(IID_IWhiteList)));
  EXPECT_NE(readString(RegRoot::ClassesRoot, "AppID", ""), std::optional<std::string>("Quillvane"));
  EXPECT_TRUE(keyExists(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer"));

  // Unregistering what is already gone succeeds.
  EXPECT_EQ(runRegsvr32(true), 0);
}

// A module path the ANSI code page cannot spell would be written with
// substitute characters, registering a file that does not exist; such a
// registration is refused before anything is written.
TEST(Registration, RefusesAModulePathTheAnsiCodePageCannotSpell) {
  const wchar_t folderName[] = L"qv-reg-\x4E2D\x6587";
  char probe[8];
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, folderName, -1, probe, 0, nullptr, &lossy);
  if (!lossy) GTEST_SKIP() << "the ANSI code page " << GetACP() << " spells every character";

  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder = std::wstring(temp) + folderName;
  const std::wstring copy = folder + L"\\Quillvane.dll";
  std::wstring source;
  for (char c : qvtest::dllPath()) source += static_cast<wchar_t>(c);
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(source.c_str(), copy.c_str(), FALSE));

  const auto before = readString(RegRoot::ClassesRoot,
                                 std::string("CLSID\\") + qv::guids::CLSID_CPub + "\\InprocServer32", "");
  HMODULE m = LoadLibraryW(copy.c_str());
  ASSERT_NE(m, nullptr);
  using RegisterFn = HRESULT(WINAPI*)();
  auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(m, "DllRegisterServer")));
  ASSERT_NE(reg, nullptr);
  EXPECT_EQ(reg(), HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
  EXPECT_EQ(readString(RegRoot::ClassesRoot,
                       std::string("CLSID\\") + qv::guids::CLSID_CPub + "\\InprocServer32", ""),
            before);
  FreeLibrary(m);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
}

// The embedded type library: names, help strings, version, locale, dual
// interfaces and dispatch ids as automation clients rely on them.
TEST(TypeLibrary, DescribesTheFiveDualInterfacesAndTheirClasses) {
  std::wstring path;
  for (char c : qvtest::dllPath()) path += static_cast<wchar_t>(c);
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib), S_OK);

  auto doc = [&](int index) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    lib->GetDocumentation(index, &name, &help, nullptr, nullptr);
    std::pair<std::wstring, std::wstring> r{name ? name : L"", help ? help : L""};
    SysFreeString(name);
    SysFreeString(help);
    return r;
  };
  EXPECT_EQ(doc(-1), (std::pair<std::wstring, std::wstring>{L"Quillvane", L"Quillvane 1.0 Type Library"}));
  TLIBATTR* la = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
  EXPECT_TRUE(IsEqualGUID(la->guid, LIBID_Quillvane));
  EXPECT_EQ(la->wMajorVerNum, 1);
  EXPECT_EQ(la->wMinorVerNum, 0);
  EXPECT_EQ(la->lcid, 1033u);
  lib->ReleaseTLibAttr(la);

  struct Method {
    MEMBERID id;
    const wchar_t* name;
    int params;
  };
  struct Iface {
    const IID* iid;
    const wchar_t* help;
    std::vector<Method> methods;
  } ifaces[] = {
      {&IID_IPub, L"IPub Interface", {}},
      {&IID_IDocEventHandler, L"IDocEventHandler Interface", {}},
      {&IID_IWindowEventHandler, L"IWindowEventHandler Interface", {}},
      {&IID_IPubDomExtender, L"IPubDomExtender Interface", {{1, L"EditOptions", 0}}},
      {&IID_IWhiteList,
       L"IWhiteList Interface",
       {{1, L"Add", 1},
        {2, L"Delete", 1},
        {3, L"Find", 1},  // the [out, retval] is the call's result in the dispatch view
        {4, L"GetWhiteList", 1},
        {5, L"PutWhiteList", 1},
        {6, L"DeleteAll", 0},
        {7, L"GetFirst", 1},
        {8, L"GetNext", 1}}},
  };
  for (const auto& f : ifaces) {
    SCOPED_TRACE(testing::Message() << std::string(f.help, f.help + wcslen(f.help)).c_str());
    ITypeInfo* ti = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(*f.iid, &ti), S_OK);
    BSTR help = nullptr;
    ti->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_STREQ(help, f.help);
    SysFreeString(help);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(ti->GetTypeAttr(&ta), S_OK);
    EXPECT_EQ(ta->typekind, TKIND_DISPATCH) << "dual interfaces are reached as dispatch first";
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_EQ(ta->cFuncs, 7u + f.methods.size()) << "IUnknown and IDispatch plus the interface's own";
    ti->ReleaseTypeAttr(ta);
    for (const auto& m : f.methods) {
      // Found by walking the descriptions: the index a dispatch view reports
      // for a member id differs between implementations.
      int params = -1;
      for (UINT i = 0; i < 7 + f.methods.size(); ++i) {
        FUNCDESC* fd = nullptr;
        if (ti->GetFuncDesc(i, &fd) != S_OK) continue;
        if (fd->memid == m.id) params = fd->cParams;
        ti->ReleaseFuncDesc(fd);
      }
      EXPECT_EQ(params, m.params) << m.id;
      BSTR name = nullptr;
      BSTR mhelp = nullptr;
      ti->GetDocumentation(m.id, &name, &mhelp, nullptr, nullptr);
      EXPECT_STREQ(name, m.name);
      EXPECT_EQ(std::wstring(mhelp ? mhelp : L""), std::wstring(L"method ") + m.name);
      SysFreeString(name);
      SysFreeString(mhelp);
    }
    ti->Release();
  }

  struct Coclass {
    const CLSID* clsid;
    const wchar_t* help;
    const IID* defaultIface;
  } classes[] = {
      {&CLSID_CDocEventHandler, L"Harrowlyn,Inc. DocEventHandler Class", &IID_IDocEventHandler},
      {&CLSID_CWhiteList, L"WhiteList Class", &IID_IWhiteList},
      {&CLSID_CPub, L"Quillvane Class", &IID_IPub},
      {&CLSID_CPubDomExtender, L"Harrowlyn,Inc. PubDomExtender Class", &IID_IPubDomExtender},
      {&CLSID_CWindowEventHandler, L"Harrowlyn,Inc. WindowEventHandler Class", &IID_IWindowEventHandler},
  };
  for (const auto& c : classes) {
    ITypeInfo* ti = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(*c.clsid, &ti), S_OK);
    BSTR help = nullptr;
    ti->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr);
    EXPECT_STREQ(help, c.help);
    SysFreeString(help);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(ti->GetTypeAttr(&ta), S_OK);
    EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(ta->cImplTypes, 1);
    ti->ReleaseTypeAttr(ta);
    HREFTYPE ref = 0;
    INT flags = 0;
    ASSERT_EQ(ti->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    ASSERT_EQ(ti->GetRefTypeOfImplType(0, &ref), S_OK);
    ITypeInfo* impl = nullptr;
    ASSERT_EQ(ti->GetRefTypeInfo(ref, &impl), S_OK);
    TYPEATTR* ia = nullptr;
    ASSERT_EQ(impl->GetTypeAttr(&ia), S_OK);
    EXPECT_TRUE(IsEqualGUID(ia->guid, *c.defaultIface));
    impl->ReleaseTypeAttr(ia);
    impl->Release();
    ti->Release();
  }
  lib->Release();
}

}  // namespace
