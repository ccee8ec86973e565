// A stand-in browser for the installer check: named iexplore.exe (so the
// module admits it), it reaches the module only as the browser does,
// through the registration and COM.
//
//   iexplore.exe FOLDER VERSION
// creates a CPub by class id, asks it for IObjectWithSite, and checks that
// the module COM loaded is FOLDER\Quillvane.dll and carries file version
// VERSION.  Prints one line; exit code 0 when all holds, 1 otherwise.
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include <initguid.h>  // this file defines the class ids it uses

#include "quillvane_i.h"

namespace {

int fail(const std::string& what) {
  std::printf("installed_host (%d-bit): %s\n", static_cast<int>(sizeof(void*) * 8), what.c_str());
  std::fflush(stdout);
  return 1;
}

std::string hex(HRESULT hr) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08lX", static_cast<unsigned long>(hr));
  return b;
}

std::string fileVersion(const char* path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return "(no version resource)";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return "(version resource unreadable)";
  char* text = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&text), &len) ||
      len == 0)
    return "(no FileVersion)";
  return std::string(text, strnlen(text, len));
}

int check(const std::string& folder, const std::string& version) {
  IUnknown* pub = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_CPub, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&pub));
  if (FAILED(hr)) return fail("CoCreateInstance(CPub) failed: " + hex(hr));
  IObjectWithSite* site = nullptr;
  hr = pub->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&site));
  if (site) site->Release();
  pub->Release();
  if (FAILED(hr)) return fail("the CPub has no IObjectWithSite: " + hex(hr));

  HMODULE module = GetModuleHandleA("Quillvane.dll");
  if (!module) return fail("Quillvane.dll is not loaded after the CPub was created");
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return fail("the module's path cannot be read");
  const std::string expected = folder + "\\Quillvane.dll";
  if (lstrcmpiA(path, expected.c_str()) != 0) return fail(std::string("loaded ") + path + ", expected " + expected);
  const std::string got = fileVersion(path);
  if (got != version) return fail(std::string("loaded ") + path + " of version " + got + ", expected " + version);
  std::printf("installed_host (%d-bit): a CPub from %s, version %s\n", static_cast<int>(sizeof(void*) * 8), path,
              got.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: iexplore.exe FOLDER VERSION\n", stderr);
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int rc = check(argv[1], argv[2]);
  CoUninitialize();
  return rc;
}
