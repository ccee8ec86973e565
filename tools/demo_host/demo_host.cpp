// A small stand-in browser process for the demo.  It is built as
// "iexplore.exe" in a folder of its own, so the module admits it, and it
// reaches the module only the way the browser does: through the registry
// and COM.
//
//   iexplore.exe entries        prints what registration wrote
//   iexplore.exe settings       prints the settings key of the current user
//   iexplore.exe first          creates a CPub, prints the shared record,
//                               keeps the module loaded until "second" is done
//   iexplore.exe second         waits for "first", loads the module, prints
//                               the shared record before and after its own CPub
//
// Output is plain lines; errors say what is missing.
#include <windows.h>
#include <objbase.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "com/registration.h"
#include "core/shared_names.h"
#include "core/shared_settings.h"
#include "platform/win/registry_win.h"
#include "qv_guids.h"

namespace {

using qv::RegRoot;
using qv::RegStatus;

constexpr char kSettingsKey[] = "Software\\Harrowlyn\\Quillvane";
constexpr char kReadyEvent[] = "QuillvaneDemoFirstReady";
constexpr char kDoneEvent[] = "QuillvaneDemoSecondDone";
constexpr DWORD kWaitMs = 30000;

void line(const std::string& s) {
  std::fputs(s.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string hex(unsigned long v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%08lX", v);
  return b;
}

// --- registry reading -------------------------------------------------------

std::optional<qv::RegValue> readValue(RegRoot root, const std::string& path, const std::string& name) {
  qv::win::Win32Registry reg;
  auto k = reg.openReadOnly(root, path);
  if (k.status != RegStatus::Ok) return std::nullopt;
  qv::RegValue v;
  if (k.key->query(name, v) != RegStatus::Ok) return std::nullopt;
  return v;
}

std::string text(const qv::RegValue& v) {
  if (v.type == qv::RegType::Dword) {
    if (auto d = v.asDword()) return std::to_string(static_cast<std::int32_t>(*d));
  }
  if (v.type == qv::RegType::Sz || v.type == qv::RegType::ExpandSz) {
    std::string s(v.data.begin(), v.data.end());
    const auto z = s.find('\0');
    if (z != std::string::npos) s.resize(z);
    return "\"" + s + "\"";
  }
  return "(" + std::to_string(v.data.size()) + " bytes of type " + std::to_string(static_cast<int>(v.type)) + ")";
}

// The default value of a key as text, "(missing)" when the key is absent.
std::string keyText(RegRoot root, const std::string& path, const std::string& name = "") {
  qv::win::Win32Registry reg;
  if (reg.openReadOnly(root, path).status != RegStatus::Ok) return "(missing)";
  auto v = readValue(root, path, name);
  return v ? text(*v) : "(no value)";
}

bool exists(RegRoot root, const std::string& path) {
  qv::win::Win32Registry reg;
  return reg.openReadOnly(root, path).status == RegStatus::Ok;
}

// Whether one row of the registration table is in the registry as written.
bool rowPresent(const qv::com::RegRow& row) {
  if (!exists(row.root, row.path)) return false;
  if (!row.value) return true;
  auto v = readValue(row.root, row.path, row.valueName.value_or(""));
  return v && v->type == qv::RegType::Sz && v->data == qv::RegValue::string(*row.value).data;
}

// The CPub's entries in full, the other classes checked row by row against
// the registration table for the module path registered for CPub.
int showEntries() {
  const std::string pubKey = "CLSID\\" + std::string(qv::guids::CLSID_CPub);
  auto server = readValue(RegRoot::ClassesRoot, pubKey + "\\InprocServer32", "");
  std::string modulePath;
  if (server && server->type == qv::RegType::Sz) modulePath.assign(server->data.begin(), server->data.end());
  modulePath.resize(std::strlen(modulePath.c_str()));
  for (const auto& c : qv::com::kCoclasses) {
    const std::string progId(c.progId);
    const std::string versioned = progId + std::string(qv::com::kProgIdVersionSuffix);
    const std::string clsidKey = "CLSID\\" + std::string(c.clsid);
    if (c.clsid == std::string_view(qv::guids::CLSID_CPub)) {
      line("HKCR\\" + versioned + " = " + keyText(RegRoot::ClassesRoot, versioned) +
           ", CLSID = " + keyText(RegRoot::ClassesRoot, versioned + "\\CLSID"));
      line("HKCR\\" + progId + " = " + keyText(RegRoot::ClassesRoot, progId) + ", CLSID = " +
           keyText(RegRoot::ClassesRoot, progId + "\\CLSID") + ", CurVer = " +
           keyText(RegRoot::ClassesRoot, progId + "\\CurVer"));
      line("HKCR\\" + clsidKey + " = " + keyText(RegRoot::ClassesRoot, clsidKey) +
           ", AppID = " + keyText(RegRoot::ClassesRoot, clsidKey, "AppID"));
      line("    InprocServer32 = " + keyText(RegRoot::ClassesRoot, clsidKey + "\\InprocServer32") +
           ", ThreadingModel = " + keyText(RegRoot::ClassesRoot, clsidKey + "\\InprocServer32", "ThreadingModel"));
      line("    ProgID = " + keyText(RegRoot::ClassesRoot, clsidKey + "\\ProgID") + ", VersionIndependentProgID = " +
           keyText(RegRoot::ClassesRoot, clsidKey + "\\VersionIndependentProgID") +
           (exists(RegRoot::ClassesRoot, clsidKey + "\\Programmable") ? ", Programmable" : ""));
      line("    TypeLib = " + keyText(RegRoot::ClassesRoot, clsidKey + "\\TypeLib"));
      continue;
    }
    const auto rows = qv::com::classRows(c, modulePath);
    std::size_t present = 0;
    std::string firstMissing;
    for (const auto& row : rows) {
      if (rowPresent(row)) {
        ++present;
      } else if (firstMissing.empty()) {
        firstMissing = row.path + (row.valueName ? "\\" + *row.valueName : std::string());
      }
    }
    line("HKCR " + progId + "(" + std::string(qv::com::kProgIdVersionSuffix) + ") " + clsidKey + " " +
         keyText(RegRoot::ClassesRoot, clsidKey) + ": " + std::to_string(present) + " of " +
         std::to_string(rows.size()) + " entries" +
         (firstMissing.empty() ? "" : " (missing or different: " + firstMissing + ")"));
  }
  const std::string lib = qv::com::typeLibraryKeyPath();
  line("HKCR\\" + lib + " = " + keyText(RegRoot::ClassesRoot, lib));
  const std::string syskind = sizeof(void*) == 8 ? "409\\win64" : "409\\win32";
  line("    " + syskind + " = " + keyText(RegRoot::ClassesRoot, lib + "\\" + syskind) +
       ", HELPDIR = " + keyText(RegRoot::ClassesRoot, lib + "\\HELPDIR"));
  line("HKCR\\AppID = " + keyText(RegRoot::ClassesRoot, "AppID") + ", HKCR\\" +
       std::string(qv::com::kModuleAppIdKey) + " AppID = " +
       keyText(RegRoot::ClassesRoot, std::string(qv::com::kModuleAppIdKey), "AppID"));
  const std::string bho = std::string(qv::com::kBrowserHelperObjectsPath) + "\\" + qv::guids::CLSID_CPub;
  line("HKLM\\" + bho + (exists(RegRoot::LocalMachine, bho) ? "  (present: every browser window creates a CPub)"
                                                               : "  (missing)"));
  return 0;
}

int showSettings() {
  qv::win::Win32Registry reg;
  auto k = reg.openReadOnly(RegRoot::CurrentUser, kSettingsKey);
  if (k.status != RegStatus::Ok) {
    line(std::string("HKCU\\") + kSettingsKey + ": (missing)");
    return 0;
  }
  std::vector<std::string> parts;
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::string name;
    if (k.key->enumValue(i, name) != RegStatus::Ok) break;
    qv::RegValue v;
    if (k.key->query(name, v) != RegStatus::Ok) continue;
    parts.push_back((name.empty() ? std::string("(default)") : name) + "=" + text(v));
  }
  line(std::string("HKCU\\") + kSettingsKey + " (" + std::to_string(parts.size()) + " values):");
  std::string row = "   ";
  for (const auto& p : parts) {
    if (row.size() + p.size() > 78) {
      line(row);
      row = "   ";
    }
    row += " " + p;
  }
  if (row.size() > 3) line(row);
  return 0;
}

// --- the shared record ---------------------------------------------------------

// The session's shared settings record, opened by its name as any browser
// process of the session opens it.  Null when no process has made it yet.
const qv::SharedSettings* findSharedRecord(HMODULE, std::string& why) {
  const std::string name(qv::kSharedRecordName);
  HANDLE m = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  if (!m) {
    why = "no process of this session has made the record \"" + name + "\" yet";
    return nullptr;
  }
  const void* v = MapViewOfFile(m, FILE_MAP_READ, 0, 0, sizeof(qv::SharedSettings));
  CloseHandle(m);
  if (!v) why = "the record cannot be mapped";
  return static_cast<const qv::SharedSettings*>(v);
}

void showRecord(const char* who, HMODULE module) {
  std::string why;
  const qv::SharedSettings* s = module ? findSharedRecord(module, why) : nullptr;
  if (!module) why = "Quillvane.dll is not loaded";
  if (!s) {
    line(std::string(who) + ": shared record not shown: " + why);
    return;
  }
  line(std::string(who) + ": SettingsLoaded=" + std::to_string(s->settingsLoaded) +
       " PopupEnable=" + std::to_string(s->popupEnable) + " UnfatheredEnable=" + std::to_string(s->unfatheredEnable) +
       " BlockedTotal=" + std::to_string(s->blockedTotal));
}

void showHistoryRegion(const char* who) {
  HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, "PubBlockedSiteList");
  if (!h) {
    line(std::string(who) + ": block-history region \"PubBlockedSiteList\" is not open in any process (not in this build yet)");
    return;
  }
  void* view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
  std::size_t lines = 0;
  if (view) {
    MEMORY_BASIC_INFORMATION mbi{};
    VirtualQuery(view, &mbi, sizeof mbi);
    const char* p = static_cast<const char*>(view);
    for (std::size_t i = 0; i < mbi.RegionSize && p[i]; ++i) lines += p[i] == '\n';
    UnmapViewOfFile(view);
  }
  CloseHandle(h);
  line(std::string(who) + ": block-history region \"PubBlockedSiteList\" is shared, " + std::to_string(lines) +
       " blocked page(s) recorded");
}

HRESULT pubClass(CLSID& clsid) { return CLSIDFromProgID(L"Quillvane.Pub", &clsid); }

// Loads the module through the CPub class object, shows the shared record,
// creates a CPub and shows the record again.  Returns the CPub (null on
// failure, which has been reported).
IUnknown* loadAndCreate(const std::string& me, const char* loadedNote) {
  CLSID clsid{};
  IClassFactory* factory = nullptr;
  HRESULT hr = pubClass(clsid);
  if (SUCCEEDED(hr))
    hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) {
    line(me + ": cannot load the module through ProgID Quillvane.Pub: " + hex(static_cast<unsigned long>(hr)));
    return nullptr;
  }
  showRecord((me + " loaded the module" + loadedNote).c_str(), GetModuleHandleA("Quillvane.dll"));
  IUnknown* pub = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pub));
  factory->Release();
  if (FAILED(hr)) {
    line(me + ": cannot create a CPub: " + hex(static_cast<unsigned long>(hr)));
    return nullptr;
  }
  showRecord((me + " created a CPub").c_str(), GetModuleHandleA("Quillvane.dll"));
  return pub;
}

std::string who(const char* role) {
  return std::string(role) + " (" + std::to_string(sizeof(void*) * 8) + "-bit, pid " +
         std::to_string(GetCurrentProcessId()) + ")";
}

int runFirst() {
  const std::string me = who("process 1");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, kDoneEvent);
  IUnknown* pub = loadAndCreate(me, "");
  SetEvent(ready);
  // Keep the module (and so the shared section) alive while process 2 looks.
  if (WaitForSingleObject(done, kWaitMs) != WAIT_OBJECT_0) line(me + ": process 2 did not finish in time");
  if (pub) pub->Release();
  CloseHandle(ready);
  CloseHandle(done);
  return pub ? 0 : 1;
}

int runSecond() {
  const std::string me = who("process 2");
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, kReadyEvent);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, kDoneEvent);
  int rc = 1;
  if (WaitForSingleObject(ready, kWaitMs) != WAIT_OBJECT_0) {
    line(me + ": process 1 did not start in time");
  } else if (IUnknown* pub = loadAndCreate(me, " while process 1 runs")) {
    showHistoryRegion(me.c_str());
    pub->Release();
    rc = 0;
  }
  SetEvent(done);
  CloseHandle(ready);
  CloseHandle(done);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  // Plain line feeds, so the demo can show the output as it comes.
  _setmode(_fileno(stdout), _O_BINARY);
  if (mode == "entries") return showEntries();
  if (mode == "settings") return showSettings();
  if (mode != "first" && mode != "second") {
    std::fputs("usage: iexplore.exe entries|settings|first|second\n", stderr);
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int rc = mode == "first" ? runFirst() : runSecond();
  CoUninitialize();
  return rc;
}
