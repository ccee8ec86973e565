#include "com/module.h"

#include <oleauto.h>

namespace qv::com {
namespace {
HINSTANCE g_instance = nullptr;
LONG g_locks = 0;
ITypeLib* g_typeLib = nullptr;  // process lifetime; released never (loader-lock rules forbid it in detach)
}  // namespace

void setModuleInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE moduleInstance() { return g_instance; }

void lockModule() { InterlockedIncrement(&g_locks); }
void unlockModule() { InterlockedDecrement(&g_locks); }
long moduleLockCount() { return g_locks; }

bool modulePath(char (&path)[MAX_PATH]) {
  const DWORD n = GetModuleFileNameA(g_instance, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    path[0] = '\0';
    return false;
  }
  return true;
}

HRESULT getTypeInfo(REFGUID guid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (!g_typeLib) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
    ITypeLib* lib = nullptr;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    if (InterlockedCompareExchangePointer(reinterpret_cast<void**>(&g_typeLib), lib, nullptr) != nullptr)
      lib->Release();
  }
  return g_typeLib->GetTypeInfoOfGuid(guid, info);
}

}  // namespace qv::com
