// The module as a COM server: its exports, class objects and lock count.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include "quillvane_i.h"
#include "win_test_support.h"

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(WINAPI*)();

TEST(Module, LoadsInBrowserNamedHost) { ASSERT_NE(qvtest::module(), nullptr) << qvtest::dllPath(); }

TEST(Module, EveryClassObjectCreatesItsDefaultInterface) {
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  struct Case {
    const CLSID* clsid;
    const IID* iid;
  } cases[] = {{&CLSID_CPub, &IID_IPub},
               {&CLSID_CWhiteList, &IID_IWhiteList},
               {&CLSID_CPubDomExtender, &IID_IPubDomExtender},
               {&CLSID_CDocEventHandler, &IID_IDocEventHandler},
               {&CLSID_CWindowEventHandler, &IID_IWindowEventHandler}};
  for (const auto& c : cases) {
    IClassFactory* f = nullptr;
    ASSERT_EQ(get(*c.clsid, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
    IUnknown* obj = nullptr;
    EXPECT_EQ(f->CreateInstance(nullptr, *c.iid, reinterpret_cast<void**>(&obj)), S_OK);
    IDispatch* disp = nullptr;
    EXPECT_EQ(obj->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)), S_OK);
    UINT n = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&n), S_OK);
    EXPECT_EQ(n, 1u);
    disp->Release();
    obj->Release();
    f->Release();
  }
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(IID_IUnknown, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);
}

TEST(Module, CanUnloadOnlyWhenNoObjectOrLockLives) {
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllGetClassObject")));
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(qvtest::module(), "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
  IClassFactory* f = nullptr;
  ASSERT_EQ(get(CLSID_CWhiteList, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  IUnknown* obj = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&obj)), S_OK);
  f->Release();
  EXPECT_EQ(canUnload(), S_FALSE);
  obj->Release();
  EXPECT_EQ(canUnload(), S_OK);
  // A live browser helper object keeps the module too.
  ASSERT_EQ(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  IUnknown* pub = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pub)), S_OK);
  f->Release();
  EXPECT_EQ(canUnload(), S_FALSE);
  pub->Release();
  EXPECT_EQ(canUnload(), S_OK);
  ASSERT_EQ(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  f->LockServer(TRUE);
  f->Release();
  EXPECT_EQ(canUnload(), S_FALSE);
  ASSERT_EQ(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
  f->LockServer(FALSE);
  f->Release();
  EXPECT_EQ(canUnload(), S_OK);
}

}  // namespace
