// A second process for the start-up tests.  Copied under the names the
// module's gate looks at, it loads the module and reports through its exit
// code:
//   load DLL                 10 loaded, 11 refused
//   pub DLL                  10 CPub created, 11 module refused, 12 creation failed
//   shared-get DLL           after a CPub was made: the session record's
//                            `skin` field (11 refused, 13 no record)
//   shared-set DLL VALUE     10 after setting `skin` to VALUE
//   table-fill DLL EVENT     fills the browser table with entries of this
//                            process, sets the named EVENT and waits to be
//                            ended (as a crashed browser leaves its entries)
//   history DLL LINE         10 when the history region holds LINE (then
//                            appends "http://second.example/\n"), 11 otherwise
//   skin DLL                 10 when loading DLL loaded "Quillvane.skn" and
//                            unloading DLL freed it again; 16 / 17 otherwise
//   reload DLL               10 when the module unloads and loads again
//   time-empty               print microseconds since the process began
//   time-pub DLL             print microseconds since the process began at:
//                            first CPub created, main, COM ready, module loaded
// Further arguments (such as a tab-process marker) are ignored.  An
// unfathered browser ends inside the load with exit code 0.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/browser_table.h"
#include "core/startup.h"
#include "core/win/shared_state.h"
#include "platform/win/mutex_win.h"
#include "platform/win/process_win.h"
#include "platform/win/shared_memory_win.h"
#include "quillvane_i.h"
#include "shared_record_locator.h"

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

long long microsSinceStart() {
  FILETIME created, exited, kernel, user, now;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  GetSystemTimePreciseAsFileTime(&now);
  auto ticks = [](const FILETIME& f) {
    return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  return (ticks(now) - ticks(created)) / 10;
}

int createPub(HMODULE m) {
  auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m, "DllGetClassObject")));
  if (!get) return 12;
  IClassFactory* f = nullptr;
  if (FAILED(get(CLSID_CPub, IID_IClassFactory, reinterpret_cast<void**>(&f)))) return 12;
  IUnknown* pub = nullptr;
  const HRESULT hr = f->CreateInstance(nullptr, IID_IPub, reinterpret_cast<void**>(&pub));
  f->Release();
  if (FAILED(hr)) return 12;
  pub->Release();
  return 10;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string mode = argv[1];
  if (mode == "time-empty") {
    std::printf("%lld\n", microsSinceStart());
    return 10;
  }
  if (argc < 3) return 2;
  const char* dll = argv[2];
  const long long atMain = microsSinceStart();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const long long atCom = microsSinceStart();
  HMODULE m = LoadLibraryA(dll);
  if (!m) return 11;
  const long long atLoad = microsSinceStart();

  if (mode == "load") return 10;
  if (mode == "skin") {
    if (!GetModuleHandleA("Quillvane.skn")) return 16;
    FreeLibrary(m);
    return GetModuleHandleA("Quillvane.skn") ? 17 : 10;
  }
  if (mode == "reload") {
    FreeLibrary(m);
    if (GetModuleHandleA(dll)) return 18;
    m = LoadLibraryA(dll);
    return m && createPub(m) == 10 ? 10 : 19;
  }
  if (mode == "pub") return createPub(m);
  if (mode == "time-pub") {
    const int rc = createPub(m);
    std::printf("%lld %lld %lld %lld\n", microsSinceStart(), atMain, atCom, atLoad);
    return rc;
  }
  if (mode == "shared-get" || mode == "shared-set") {
    if (createPub(m) != 10) return 12;  // the module opens the record
    qv::SharedSettings* record = qvtest::openSharedRecord();
    if (!record) return 13;
    if (mode == "shared-get") return record->skin;
    if (argc < 4) return 2;
    record->skin = std::atoi(argv[3]);
    return 10;
  }
  if (mode == "table-fill") {
    if (argc < 4) return 2;
    const auto lock = qv::win::Win32NamedMutex::create(qv::kBrowserTableMutexName);
    qv::core::BrowserTable table(qv::sharedSettings(), lock.get(), &qv::win::processDirectory());
    for (std::uint32_t i = 1; table.Add(0x7000 + i, i, GetCurrentThreadId(), GetCurrentProcessId()) ==
                              qv::core::AddResult::Added;
         ++i) {
    }
    HANDLE filled = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (!filled) return 14;
    SetEvent(filled);
    Sleep(120000);  // until the test ends it; a bound in case it never does
    return 10;
  }
  if (mode == "history") {
    if (argc < 4) return 2;
    qv::win::Win32SharedMemory memory;
    auto region = qv::openOrCreateHistoryRegion(memory);
    if (!region) return 14;
    auto view = region->view();
    const std::string text(reinterpret_cast<const char*>(view.data()), strnlen(reinterpret_cast<const char*>(view.data()), view.size()));
    if (text.find(argv[3]) == std::string::npos) return 11;
    const std::string add = "http://second.example/\n";
    if (text.size() + add.size() >= view.size()) return 15;
    std::memcpy(view.data() + text.size(), add.data(), add.size());
    return 10;
  }
  return 2;
}
